#pragma once
// The plug-in's single handle on the burning engine: loads and initialises it, keeps the open
// recorder with the engine blocks obtained for it, burns, and releases everything in a fixed order.
// Thread use: load, initialise, query drives, the window setters and close on the worker thread;
// open device and Burn on the burn thread; destroy at shutdown. No locks.

#include <windows.h>

#include <cstdint>
#include <string>

#include "engine/engine_api.h"
#include "engine/engine_result.h"
#include "engine/recorder_choice.h"

class BurnJob;
struct IsoItem;

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
    static int32_t MapBurnResult(int32_t engineResult);
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

    // ---- burn ----
    // Dispatches the job to the builder of its compilation kind.
    EngineResult Burn(BurnJob& job);
    // The file the last burn failed on, when its code names one; empty otherwise.
    const char* failedFile() const { return failedFile_.c_str(); }
    void NoteFailedFile(const std::string& path) { failedFile_ = path; }
    // The common end of every builder: one NeroBurn with the job's speed and flags; the mapped code.
    int32_t BurnStep(const BurnJob& job, int32_t format, void* record);

    // Builders (one per compilation kind); each returns an EXITCODE and releases what it built.
    // Failures travel as codes: nothing is thrown, and nothing thrown by the runtime gets out.
    int32_t BuildAudioCompilation(const BurnJob& job) noexcept;
    int32_t BuildVideoCompilation(const BurnJob& job) noexcept;
    int32_t BuildImageBurn(const BurnJob& job) noexcept;
    int32_t BuildTrackModeRecord(const BurnJob& job) noexcept;

    // The data track: items for every path of the job's isoFiles, joined to an imported track.
    int32_t BuildIsoTrack(const BurnJob& job, void** track, IsoItem** root) noexcept;
    int32_t AddPathItems(const BurnJob& job, const char* path, IsoItem** chain, int depth);

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
    std::string failedFile_;
    const RecorderChoice& recorder_;
};
