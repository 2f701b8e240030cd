#pragma once
// MP3 to CD audio through the system's audio compression manager (Wine ships an MP3 codec).

#include <cstdint>
#include <functional>
#include <string>

namespace standin {

// Receives decoded 16-bit stereo PCM at 44.1 kHz; false stops the decoding.
using PcmSink = std::function<bool(const uint8_t* data, size_t size)>;

// Decodes the whole file; false with a reason in `error`.
bool DecodeMp3File(const std::string& path, const PcmSink& sink, std::string& error);

}  // namespace standin
