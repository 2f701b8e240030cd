#include "engine/drive_list.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "base/text.h"
#include "engine/engine_session.h"

namespace {

constexpr uint32_t kCapabilityUsable = 0x1;
constexpr uint32_t kCapabilityExcluded = 0x40;

size_t BoundedLength(const char* text, size_t field) {
    const void* end = std::memchr(text, '\0', field);
    return end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - text) : field;
}

// Copies the whole characters of a fixed field that fit in `limit` bytes and terminates; never
// reads past the field.
void CopyField(char* target, size_t limit, const char* source, size_t sourceField) {
    CopyWholeCharacters(target, limit, std::string_view(source, BoundedLength(source, sourceField)));
}

// Copies at most 20 entries; beyond 20, the last place takes the table's last entry. A count the
// engine claims beyond its 64 slots is held to 64.
uint32_t CopySpeedTable(const uint32_t* entries, uint32_t count, uint32_t* target) {
    const uint32_t held = count < static_cast<uint32_t>(kSpeedTableEntries) ? count : kSpeedTableEntries;
    const uint32_t copied = held < static_cast<uint32_t>(kOldSpeedTableEntries) ? held : kOldSpeedTableEntries;
    if (copied == 0) return 0;
    std::memcpy(target, entries, copied * sizeof(uint32_t));
    target[copied - 1] = entries[held - 1];
    return copied;
}

std::string TrimTrailingBlanks(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

bool SameLetter(char a, char b) { return EqualIgnoringCase(std::string_view(&a, 1), std::string_view(&b, 1)); }

bool MatchesDriveName(const DeviceRecord& device, const std::string& wanted) {
    return EqualIgnoringCase(DeviceName(device), wanted);
}

// The name the burn dialog hands back is the label without its "X: " prefix; a long device name
// is therefore cut there, and must still find its recorder.
bool MatchesNameFromLabel(const DeviceRecord& device, const std::string& wanted) {
    const std::string fromLabel = DeviceLabel(device).substr(kLabelPrefixLength);
    return !wanted.empty() && EqualIgnoringCase(TrimTrailingBlanks(fromLabel), wanted);
}

}  // namespace

std::string DeviceName(const DeviceRecord& device) {
    return std::string(device.name, BoundedLength(device.name, sizeof device.name));
}

bool IsOfferedDevice(const DeviceRecord& device) {
    return (device.capabilities & kCapabilityUsable) != 0 && (device.capabilities & kCapabilityExcluded) == 0;
}

std::string DeviceLabel(const DeviceRecord& device) {
    std::string label;
    label += device.driveLetter != 0 ? static_cast<char>(device.driveLetter) : '?';
    label += ": ";
    label += DeviceName(device);
    return CutToWholeCharacters(label, kDriveLabelSize - 1);
}

void FillOldDeviceRecord(const DeviceRecord& device, OldDeviceRecord& old) {
    std::memset(&old, 0, sizeof old);
    CopyField(old.name, sizeof old.name - 1, device.name, sizeof device.name);
    CopyField(old.shortText, sizeof old.shortText - 1, device.shortText, sizeof device.shortText);
    std::memcpy(old.words, device.words, sizeof old.words);
    old.driveLetter = device.driveLetter;
    old.capabilities = device.capabilities;
    old.speedCount1 = CopySpeedTable(device.speeds1, device.speedCount1, old.speeds1);
    old.speedCount2 = CopySpeedTable(device.speeds2, device.speedCount2, old.speeds2);
    old.word228 = device.word1388;
    CopyField(old.text232, sizeof old.text232 - 1, device.text1392, sizeof device.text1392);
    old.word264 = device.word1456;
}

DvdrMovedAside::DvdrMovedAside(const char* engineDirectory) {
    const std::string directory =
        CutToWholeCharacters(std::string_view(engineDirectory, BoundedLength(engineDirectory, 247)), 246);
    library_ = directory + "\\DVDR.DLL";
    asideName_ = directory + "\\DVDR._DLL";
    std::rename(library_.c_str(), asideName_.c_str());
}

DvdrMovedAside::~DvdrMovedAside() { std::rename(asideName_.c_str(), library_.c_str()); }

int WriteDriveLabels(const DriveList* list, DriveLabels labels) {
    if (list == nullptr) return 0;
    int written = 0;
    for (uint32_t i = 0; i < list->count && written < kMaxDriveLabels; ++i) {
        const DeviceRecord& device = list->devices[i];
        if (!IsOfferedDevice(device)) continue;
        const std::string label = DeviceLabel(device);
        std::memcpy(labels[written], label.c_str(), label.size() + 1);
        ++written;
    }
    return written;
}

int FindDriveIndex(const DriveList* list, const char* driveName) {
    if (list == nullptr || driveName == nullptr) return -1;
    const std::string wanted = TrimTrailingBlanks(driveName);
    const bool oneLetter = std::strlen(driveName) == 1;
    for (uint32_t i = 0; i < list->count; ++i) {
        const DeviceRecord& device = list->devices[i];
        if (MatchesDriveName(device, wanted)) return static_cast<int>(i);
        if (oneLetter && SameLetter(driveName[0], static_cast<char>(device.driveLetter))) return static_cast<int>(i);
    }
    // Only when no recorder has the name itself: a cut label must not pick a longer-named
    // recorder over the one that bears exactly that name.
    for (uint32_t i = 0; i < list->count; ++i) {
        if (MatchesNameFromLabel(list->devices[i], wanted)) return static_cast<int>(i);
    }
    return -1;
}

int EngineSession::GetDriveLabels(DriveLabels labels) const { return WriteDriveLabels(driveList_, labels); }

int EngineSession::FindDrive(const RecorderChoice& recorder) const {
    return FindDriveIndex(driveList_, recorder.driveName);
}
