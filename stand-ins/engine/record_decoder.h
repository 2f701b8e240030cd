#pragma once
// Writes the records a caller hands over to the log, decoded by raw byte offsets only.

#include <cstdint>
#include <string>
#include <vector>

namespace standin {

void LogEngineSettings(const void* settings);
void LogProgressRecord(const void* progress);
// The layout follows the engine's own API version: below 5555 the 360-byte older record.
void LogDeviceRecord(const void* device, uint32_t apiVersion);
void LogIsoChain(const void* root);
void LogBurnRecord(int32_t format, const void* record);
void LogDvdrState(uint32_t apiVersion, const std::string& engineFolder);

// A kind-1 entry of an audio record: the caller's read callbacks and their user data.
struct PcmSource {
    uint32_t index = 0;
    void* userData = nullptr;
    const void* read = nullptr;
    const void* endOfFile = nullptr;
    const void* error = nullptr;
};
std::vector<PcmSource> PcmSources(const void* audioRecord);

// Where a device record lies in a live drive list, or -1.
int32_t DriveListIndex(const void* device);

}  // namespace standin
