#pragma once
// The virtual recorder: when the scenario names an output folder, each real burn is written
// there as disc images real tools can read (ISO 9660 with Joliet names for the data track,
// BIN/CUE for the audio tracks). A simulated burn writes nothing.

#include <windows.h>

#include <cstdint>
#include <string>

#include "scenario.h"

namespace standin {

// The engine's result for a failed write.
constexpr int32_t kRecordFailedResult = 3;

// Writes what one NeroBurn was given and logs it; 0, or kRecordFailedResult with the reason
// in `error`.
int32_t RecordBurn(const Scenario& scenario, int32_t format, const void* record, DWORD flags, std::string& error);

}  // namespace standin
