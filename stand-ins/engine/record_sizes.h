#pragma once
// Sizes of the engine's records as the stand-in reads and builds them: one place for the
// decoder, the recorder and the exports.

#include <cstddef>

namespace standin {

constexpr size_t kDeviceRecordSize = 1720;
constexpr size_t kOlderDeviceRecordSize = 360;
constexpr size_t kIsoItemSize = 592;
constexpr size_t kAudioHeaderSize = 156;
constexpr size_t kAudioEntrySize = 800;
// A chain longer than this is taken for a loop.
constexpr size_t kMostIsoItems = 100000;

}  // namespace standin
