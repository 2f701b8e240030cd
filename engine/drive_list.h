#pragma once
// Drive-list helpers shared by the session and the engine binders.

#include <cstddef>
#include <string>

#include "engine/engine_api.h"
#include "engine/engine_session.h"

// A drive label starts with the drive letter, a colon and a blank ("X: ") before the device name.
constexpr size_t kLabelPrefixLength = 3;

// A device name as stored in its fixed field, never read past the field's end.
std::string DeviceName(const DeviceRecord& device);

// True when the recorder is offered to the user: capability bit 0 set and bit 6 clear.
bool IsOfferedDevice(const DeviceRecord& device);

// The label "%c: %s" of a device, cut to the whole characters that fit in 63 bytes ("?" for a device without a letter).
std::string DeviceLabel(const DeviceRecord& device);

// Writes the labels of the offered recorders in list order; returns how many (at most 26).
int WriteDriveLabels(const DriveList* list, DriveLabels labels);

// The index of the recorder named by the burn job's drive name, or -1. A name matches without
// regard to case after its trailing blanks are cut, also when it is the device name as its label
// cut it; a name of one character also matches the drive letter.
int FindDriveIndex(const DriveList* list, const char* driveName);

// The layout that engines below 5555 expect; speed tables carry their first 19 entries and
// their last one when they have more than 20.
void FillOldDeviceRecord(const DeviceRecord& device, OldDeviceRecord& old);

// Moves DVDR.DLL of the engine directory aside for its lifetime (one engine version needs this
// during the drive query). Failures of either rename are ignored.
class DvdrMovedAside {
public:
    explicit DvdrMovedAside(const char* engineDirectory);
    ~DvdrMovedAside();
    DvdrMovedAside(const DvdrMovedAside&) = delete;
    DvdrMovedAside& operator=(const DvdrMovedAside&) = delete;

private:
    std::string library_;
    std::string asideName_;
};
