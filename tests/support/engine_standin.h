#pragma once
// The test side of the stand-in engine (stand-ins/engine/README.md): build a scenario, point the
// registry and the environment at the stand-in, and read its log back.

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/handles.h"

// One device record of the stand-in's drive list.
struct StandinDrive {
    std::string name;
    char letter = 0;  // 0: the device has no letter
    uint32_t capabilities = 1;
    std::vector<uint32_t> speeds1;
    std::vector<uint32_t> speeds2;
    int64_t speedCount1 = -1;  // raw count written to the record; -1: the number of entries
    int64_t speedCount2 = -1;
    std::string shortText;
    uint32_t words[3] = {0, 0, 0};
    uint32_t word1388 = 0;
    std::string text1392;
    uint32_t word1456 = 0;
};

// Builds the scenario text. Texts may not contain line breaks.
class EngineScenario {
public:
    EngineScenario& Version(DWORD version);
    EngineScenario& VersionParts(WORD major, WORD minor, WORD release, WORD build);
    EngineScenario& NoVersionParts();
    EngineScenario& AcceptExpected(bool accept);
    EngineScenario& InitResult(int32_t result);
    EngineScenario& NoDriveList();
    EngineScenario& AddDrive(const StandinDrive& drive);
    EngineScenario& OpenDeviceSucceeds(bool succeeds);
    EngineScenario& BurnResult(int32_t result);
    EngineScenario& AbortResult(int32_t result);
    EngineScenario& AbortEndsBurn(bool ends);
    EngineScenario& LastError(const std::string& text);
    EngineScenario& WaitText(const std::string& text);
    EngineScenario& MediaMismatch(const std::string& lastDetected, const std::string& requested);
    // Both texts of the media-mismatch record are null pointers.
    EngineScenario& NoMediaMismatchTexts();
    EngineScenario& DiscTracks(uint32_t count);
    EngineScenario& ImportSucceeds(bool succeeds);
    EngineScenario& ImportItems(int32_t count);
    EngineScenario& IsoItemLimit(int32_t count);
    EngineScenario& CreateIsoTrackSucceeds(bool succeeds);
    EngineScenario& PcmChunk(uint32_t bytes);
    EngineScenario& Quiet(bool quiet);
    // Any [engine] key, written as given.
    EngineScenario& Set(const std::string& key, const std::string& value);

    // The script run inside every NeroBurn, in call order.
    EngineScenario& Progress(DWORD percent);
    EngineScenario& Phase(const std::string& text);
    EngineScenario& MajorPhase(int32_t code);
    EngineScenario& DisableAbort(int32_t flag);
    EngineScenario& LogLine(int32_t kind, const std::string& text);
    EngineScenario& Aborted();
    EngineScenario& Idle();
    // Code 28 carries the stand-in's media-mismatch record; `data` is passed for every other code.
    EngineScenario& UserDialog(int32_t code, int32_t data = 0);
    // User-dialog 28 with a null record.
    EngineScenario& NullMediaMismatchDialog();
    EngineScenario& WaitUntilAborted(DWORD milliseconds);
    // Holds the burn until the file exists, then deletes it (so the next burn holds again).
    EngineScenario& HoldUntilFile(const std::string& path);
    EngineScenario& ReadPcmSources();
    // Holds the burn until the named event is set; sets a named event.
    EngineScenario& WaitForEvent(const std::string& name);
    EngineScenario& SignalEvent(const std::string& name);
    // The steps that follow run on an engine thread of its own once NeroBurn has returned.
    EngineScenario& AfterBurn();

    // The file's text; `logPath` empty leaves the log to TOLVANE_ENGINE_LOG.
    std::string Text(const std::string& logPath) const;

private:
    std::vector<std::pair<std::string, std::string>> engine_;
    std::vector<StandinDrive> drives_;
    std::vector<std::pair<std::string, std::string>> script_;
};

// A named auto-reset event of this process, shared with the stand-in's wait_event and
// set_event steps.
class ScriptEvent {
public:
    explicit ScriptEvent(const std::string& purpose);
    const std::string& name() const { return name_; }
    HANDLE handle() const { return event_.get(); }
    void Set() const { SetEvent(event_.get()); }

private:
    std::string name_;
    UniqueEvent event_;
};

// One log line: tag ("call", "ret", "rec", "step", "LEDGER", "note"), name, and its fields with
// quoted texts already unescaped.
struct EngineLogEntry {
    std::string tag;
    std::string name;
    std::vector<std::pair<std::string, std::string>> fields;
    std::string line;

    bool Has(const std::string& key) const;
    // Empty when absent.
    std::string Get(const std::string& key) const;
    // Decimal or 0x hexadecimal; "null" and absent give 0.
    long long Int(const std::string& key) const;
    std::vector<uint32_t> List(const std::string& key) const;
};

class EngineLog {
public:
    static EngineLog Parse(const std::string& text);

    const std::vector<EngineLogEntry>& Entries() const { return entries_; }
    // The "call" lines of one entry point, in order.
    std::vector<EngineLogEntry> Calls(const std::string& name) const;
    size_t CallCount(const std::string& name) const;
    // Every entry point called, in order.
    std::vector<std::string> CallSequence() const;
    // "rec" lines of one kind ("device", "audiotrack", "isoitem", ...), in order.
    std::vector<EngineLogEntry> Records(const std::string& kind) const;
    // "step" lines, all or of one kind.
    std::vector<EngineLogEntry> Steps(const std::string& kind = std::string()) const;
    // The "ret" line of the n-th call of an entry point; tag empty when there is none.
    EngineLogEntry Result(const std::string& name, size_t n = 0) const;
    // The "rec" and "step" lines that belong to the n-th call of an entry point.
    std::vector<EngineLogEntry> LinesOfCall(const std::string& name, size_t n = 0) const;
    std::vector<EngineLogEntry> LedgerReports() const;

private:
    std::vector<EngineLogEntry> entries_;
};

// The stand-in for one test: a temporary folder with the scenario files and the log, the
// environment variable naming the scenario, and the registry pointing at the stand-in.
class EngineStandin {
public:
    enum class Variant { Current, Legacy };

    explicit EngineStandin(Variant variant = Variant::Current);
    // The variant that lacks this one entry point of the engine contract.
    explicit EngineStandin(const std::string& missingEntryPoint);
    // Leaves the environment pointing at the last scenario, so leak reports written when the
    // library is unloaded later still reach the log.
    ~EngineStandin() = default;
    EngineStandin(const EngineStandin&) = delete;
    EngineStandin& operator=(const EngineStandin&) = delete;

    // Writes the scenario to a new file and points TOLVANE_ENGINE_SCENARIO at it; the stand-in
    // picks it up at its next call, even while loaded.
    void Use(const EngineScenario& scenario);
    // HKLM "SOFTWARE\ahead\Shared" "NeroAPI" = the stand-in's folder; the App Paths key of
    // Nero.exe is removed unless kept.
    void PointRegistry(bool keepAppPaths = false) const;

    // build/bin/engine, engine-legacy or engine-without-NAME, without a trailing backslash.
    std::string EngineFolder() const;
    std::string EngineDll() const;
    std::string Folder() const { return folder_; }
    std::string LogPath() const;

    EngineLog ReadLog() const;
    void ClearLog() const;
    // Asks a loaded stand-in to write a leak line for every block still handed out; returns their
    // number, or -1 when no NeroAPI.dll is loaded in this process.
    int ReportOutstanding() const;

private:
    struct InFolder {
        std::string name;  // below build/bin
    };
    explicit EngineStandin(InFolder engine);

    std::string engineFolderName_;
    std::string folder_;
    int scenarios_ = 0;
};

// Fails the current test for every ledger report in the log.
void ExpectNoLedgerReports(const EngineLog& log);
// Asks the loaded stand-in (if any) for what is still outstanding, then fails the current test on
// any ledger report in its log.
void ExpectAllReleased(const EngineStandin& standin);

// The registry places the engine loader reads (HKEY_LOCAL_MACHINE).
extern const char* const kSharedEngineKey;    // "SOFTWARE\ahead\Shared", value "NeroAPI"
extern const char* const kAppPathsEngineKey;  // "...\App Paths\Nero.exe", value "Path"
void SetSharedEngineDirectory(const std::string& directory);
void DeleteSharedEngineDirectory();
// False when the value is missing.
bool ReadSharedEngineDirectory(std::string& directory);
void SetAppPathsEngineDirectory(const std::string& directory);
void DeleteAppPathsEngineKey();
