#pragma once
// The plug-in's single handle on the burning engine: loads and initialises it, keeps the open
// recorder with the engine blocks obtained for it (drive list, disc information and stamp), imports
// a track already on the disc, and releases everything in a fixed order. What a burn builds and
// hands over is burn/'s; it works through the session it is handed.
// Thread use: load, initialise, query drives, the window setters and close on the worker thread;
// open device and a burn on the burn thread; destroy at shutdown. No locks.

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "engine/engine_api.h"
#include "engine/engine_result.h"
#include "engine/recorder_choice.h"

constexpr int kMaxDriveLabels = 26;
constexpr int kDriveLabelSize = 64;
typedef char DriveLabels[kMaxDriveLabels][kDriveLabelSize];

class EngineSession {
public:
    explicit EngineSession(const RecorderChoice& recorder);
    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;

    // ---- engine session and results ----
    EngineResult Load();                 // 0, or 3 when the engine failed to load
    EngineResult Initialise();           // 0 when NeroInit returned 0, otherwise 2
    EngineResult QueryDrives();          // 0 (also when a list is held), 9 without a list
    EngineResult OpenDevice();           // 0, 10, 11 or 12; closes an earlier device first
    void Close();                        // device, drive list, disc info, stamp, errors
    void Destroy();                      // Close, NeroDone (version gate), library released

    void SetDialogWindow(HWND window);
    void SetStatusWindow(HWND window);
    void SetProgressWindow(HWND window);

    // ---- drive list ----
    // Labels "%c: %s" of the offered recorders, at most 26 of at most 63 characters.
    int GetDriveLabels(DriveLabels labels) const;
    // Index of the chosen recorder in the drive list, or -1.
    int FindDrive(const RecorderChoice& recorder) const;

    // ---- a track already on the disc ----
    // True when the disc information held lists a track.
    bool DiscHasTracks() const;
    // Reads the disc's information afresh and imports the items of one of its tracks: `track`, or
    // with -1 the last track of the information held before. The information and stamp read
    // replace the held ones. 0 with the engine's chain of items in `items`; 18 without
    // information, 26 for a track the disc lacks (or -1 when the held information lists none),
    // 6 when the engine imports nothing.
    int32_t ImportDiscTrack(int32_t track, DWORD flags, void** items);

    // ---- state, for the builders and tests ----
    void* deviceHandle() const { return deviceHandle_; }
    const DriveList* driveList() const { return driveList_; }
    void* discInfo() const { return discInfo_; }
    void* discStamp() const { return discStamp_; }
    bool loaded() const { return loaded_; }

private:
    void* deviceHandle_ = nullptr;
    DriveList* driveList_ = nullptr;
    void* discInfo_ = nullptr;
    void* discStamp_ = nullptr;
    bool loaded_ = false;
    const RecorderChoice& recorder_;
};

// The single engine session as the other threads see it: made by the worker thread, cleared
// at shutdown before the lifecycle, its owner, destroys it.
extern std::atomic<EngineSession*> engineSession;
