#pragma once
// The burning engine's side of the contract: entry point signatures, the callbacks the engine
// calls, and the records that cross the boundary, each pinned to its byte offsets.
// 32-bit x86, C calling convention, little-endian 32-bit fields, 32-bit pointers.

#include <windows.h>

#include <cstddef>
#include <cstdint>

extern "C" {

// ---- callbacks handed to the engine (first argument: the record's user data) ----
typedef BOOL(__cdecl* EngineIdleCallback)(void* userData);
typedef BOOL(__cdecl* EngineProgressCallback)(void* userData, DWORD percent);
typedef BOOL(__cdecl* EngineAbortedCallback)(void* userData);
typedef void(__cdecl* EngineAddLogLineCallback)(void* userData, int32_t kind, const char* text);
typedef void(__cdecl* EngineSetPhaseCallback)(void* userData, const char* text);
typedef void(__cdecl* EngineDisableAbortCallback)(void* userData, BOOL enable);
typedef void(__cdecl* EngineSetMajorPhaseCallback)(void* userData, int32_t phase, void* reserved);
typedef int32_t(__cdecl* EngineUserDialogCallback)(void* userData, int32_t code, void* data);
typedef DWORD(__cdecl* PcmReadCallback)(void* userData, BYTE* buffer, DWORD size);
typedef BOOL(__cdecl* PcmEofCallback)(void* userData);
typedef BOOL(__cdecl* PcmErrorCallback)(void* userData);

// ---- records ----

// Passed to NeroInit.
struct EngineSettings {
    const char* filesPath;                     // 0
    const char* vendor;                        // 4
    const char* software;                      // 8
    const char* languageFile;                  // 12
    EngineIdleCallback idle;                   // 16
    void* idleUserData;                        // 20
    EngineUserDialogCallback userDialog;       // 24
    void* userDialogUserData;                  // 28
    uint32_t overburn;                         // 32
    uint32_t overburnSize;                     // 36
};

// Passed to every NeroBurn.
struct ProgressRecord {
    EngineProgressCallback progress;           // 0
    EngineAbortedCallback aborted;             // 4
    EngineAddLogLineCallback addLogLine;       // 8
    EngineSetPhaseCallback setPhase;           // 12
    void* userData;                            // 16
    EngineDisableAbortCallback disableAbort;   // 20
    EngineSetMajorPhaseCallback setMajorPhase; // 24
    void* furtherCallback;                     // 28
};

// The data of user-dialog code 28 (media mismatch); only the two texts are read.
struct MediaMismatchRecord {
    uint32_t reserved[3];                      // 0
    const char* lastDetectedMedia;             // 12
    const char* requestedMedia;                // 16
};

constexpr int kSpeedTableEntries = 64;

// One recorder of the drive list, as far as the plug-in reads it.
struct DeviceRecord {
    char name[64];                             // 0: terminated text (not trusted to be)
    char shortText[8];                         // 64
    uint32_t words[3];                         // 72, 76, 80
    uint8_t driveLetter;                       // 84: 0 when the device has none
    uint8_t pad85[3];
    uint32_t capabilities;                     // 88
    uint32_t speedCount1;                      // 92
    uint8_t pad96[260];
    uint32_t speeds1[kSpeedTableEntries];      // 356
    uint8_t pad612[128];
    uint32_t speedCount2;                      // 740
    uint8_t pad744[260];
    uint32_t speeds2[kSpeedTableEntries];      // 1004
    uint8_t pad1260[128];
    uint32_t word1388;                         // 1388
    char text1392[64];                         // 1392
    uint32_t word1456;                         // 1456
    uint8_t pad1460[260];
};

// The layout passed to NeroOpenDevice by engines below API version 5555.
constexpr int kOldSpeedTableEntries = 20;
struct OldDeviceRecord {
    char name[32];                             // 0
    char shortText[8];                         // 32
    uint32_t words[3];                         // 40, 44, 48
    uint8_t driveLetter;                       // 52
    uint8_t pad53[3];
    uint32_t capabilities;                     // 56
    uint32_t speedCount1;                      // 60
    uint32_t speeds1[kOldSpeedTableEntries];   // 64
    uint32_t speedCount2;                      // 144
    uint32_t speeds2[kOldSpeedTableEntries];   // 148
    uint32_t word228;                          // 228
    char text232[32];                          // 232
    uint32_t word264;                          // 264
    uint8_t pad268[92];
};

// Engine-owned: a count followed by that many device records, back to back.
struct DriveList {
    uint32_t count;                            // 0
    DeviceRecord devices[1];                   // 4
};

}  // extern "C"

static_assert(offsetof(EngineSettings, filesPath) == 0, "engine settings layout");
static_assert(offsetof(EngineSettings, vendor) == 4, "engine settings layout");
static_assert(offsetof(EngineSettings, software) == 8, "engine settings layout");
static_assert(offsetof(EngineSettings, languageFile) == 12, "engine settings layout");
static_assert(offsetof(EngineSettings, idle) == 16, "engine settings layout");
static_assert(offsetof(EngineSettings, idleUserData) == 20, "engine settings layout");
static_assert(offsetof(EngineSettings, userDialog) == 24, "engine settings layout");
static_assert(offsetof(EngineSettings, userDialogUserData) == 28, "engine settings layout");
static_assert(offsetof(EngineSettings, overburn) == 32, "engine settings layout");
static_assert(offsetof(EngineSettings, overburnSize) == 36, "engine settings layout");
static_assert(sizeof(EngineSettings) == 40, "engine settings size");

static_assert(offsetof(ProgressRecord, progress) == 0, "progress record layout");
static_assert(offsetof(ProgressRecord, aborted) == 4, "progress record layout");
static_assert(offsetof(ProgressRecord, addLogLine) == 8, "progress record layout");
static_assert(offsetof(ProgressRecord, setPhase) == 12, "progress record layout");
static_assert(offsetof(ProgressRecord, userData) == 16, "progress record layout");
static_assert(offsetof(ProgressRecord, disableAbort) == 20, "progress record layout");
static_assert(offsetof(ProgressRecord, setMajorPhase) == 24, "progress record layout");
static_assert(offsetof(ProgressRecord, furtherCallback) == 28, "progress record layout");
static_assert(sizeof(ProgressRecord) == 32, "progress record size");

static_assert(offsetof(MediaMismatchRecord, lastDetectedMedia) == 12, "media mismatch layout");
static_assert(offsetof(MediaMismatchRecord, requestedMedia) == 16, "media mismatch layout");
static_assert(sizeof(MediaMismatchRecord) == 20, "media mismatch size");

static_assert(offsetof(DeviceRecord, name) == 0, "device record layout");
static_assert(offsetof(DeviceRecord, shortText) == 64, "device record layout");
static_assert(offsetof(DeviceRecord, words) == 72, "device record layout");
static_assert(offsetof(DeviceRecord, driveLetter) == 84, "device record layout");
static_assert(offsetof(DeviceRecord, capabilities) == 88, "device record layout");
static_assert(offsetof(DeviceRecord, speedCount1) == 92, "device record layout");
static_assert(offsetof(DeviceRecord, speeds1) == 356, "device record layout");
static_assert(offsetof(DeviceRecord, speedCount2) == 740, "device record layout");
static_assert(offsetof(DeviceRecord, speeds2) == 1004, "device record layout");
static_assert(offsetof(DeviceRecord, word1388) == 1388, "device record layout");
static_assert(offsetof(DeviceRecord, text1392) == 1392, "device record layout");
static_assert(offsetof(DeviceRecord, word1456) == 1456, "device record layout");
static_assert(sizeof(DeviceRecord) == 1720, "device record size");

static_assert(offsetof(OldDeviceRecord, shortText) == 32, "older device record layout");
static_assert(offsetof(OldDeviceRecord, words) == 40, "older device record layout");
static_assert(offsetof(OldDeviceRecord, driveLetter) == 52, "older device record layout");
static_assert(offsetof(OldDeviceRecord, capabilities) == 56, "older device record layout");
static_assert(offsetof(OldDeviceRecord, speedCount1) == 60, "older device record layout");
static_assert(offsetof(OldDeviceRecord, speeds1) == 64, "older device record layout");
static_assert(offsetof(OldDeviceRecord, speedCount2) == 144, "older device record layout");
static_assert(offsetof(OldDeviceRecord, speeds2) == 148, "older device record layout");
static_assert(offsetof(OldDeviceRecord, word228) == 228, "older device record layout");
static_assert(offsetof(OldDeviceRecord, text232) == 232, "older device record layout");
static_assert(offsetof(OldDeviceRecord, word264) == 264, "older device record layout");
static_assert(sizeof(OldDeviceRecord) == 360, "older device record size");

static_assert(offsetof(DriveList, devices) == 4, "drive list layout");
static_assert(sizeof(DriveList) == 4 + sizeof(DeviceRecord), "drive list header and its first device");

// Disc information from NeroGetCDInfo: only the track count is read.
constexpr size_t kDiscInfoTrackCountOffset = 272;

// Engine formats given to NeroBurn.
enum EngineFormat : int32_t {
    kEngineFormatAudio = 0,       // the audio record, also for data discs
    kEngineFormatVideo = 1,
    kEngineFormatImage = 2,
    kEngineFormatTrackMode = 3,
};

// API version numbers are four decimal digits: 5564 is 5.5.6.4.
constexpr DWORD kEngineVersionOlderDeviceRecordBelow = 5555;
constexpr DWORD kEngineVersionDvdrWorkaround = 5564;
// The engines from the first to the last of these are never given NeroDone at unload.
constexpr DWORD kEngineVersionWithoutDoneFirst = 5564;
constexpr DWORD kEngineVersionWithoutDoneLast = 5566;
