#include "burn_script.h"

#include <windows.h>

#include <memory>

#include "base/handles.h"
#include "log_writer.h"
#include "raw_memory.h"

namespace standin {
namespace {

// The callback shapes of the engine contract, declared here from the contract alone.
typedef BOOL(__cdecl* AnswerFn)(void* userData);
typedef BOOL(__cdecl* ProgressFn)(void* userData, DWORD percent);
typedef void(__cdecl* AddLogLineFn)(void* userData, int32_t kind, const char* text);
typedef void(__cdecl* SetPhaseFn)(void* userData, const char* text);
typedef void(__cdecl* DisableAbortFn)(void* userData, BOOL enable);
typedef void(__cdecl* SetMajorPhaseFn)(void* userData, int32_t phase, void* reserved);
typedef int32_t(__cdecl* UserDialogFn)(void* userData, int32_t code, void* data);
typedef DWORD(__cdecl* PcmReadFn)(void* userData, BYTE* buffer, DWORD size);
typedef BOOL(__cdecl* PcmTestFn)(void* userData);

template <typename Fn>
Fn As(const void* address) {
    return reinterpret_cast<Fn>(const_cast<void*>(address));
}

constexpr DWORD kWaitPollMs = 10;
// A safety net only: whoever holds a burn at a wait_file or wait_event step releases it.
constexpr DWORD kMostHoldMs = 300000;
constexpr size_t kMismatchRecordSize = 20;

class ScriptRunner {
public:
    ScriptRunner(const Scenario& scenario, const BurnCallbacks& callbacks, const std::vector<PcmSource>& pcm,
                 const RecordStep& record)
        : scenario_(scenario), callbacks_(callbacks), pcm_(pcm), record_(record) {}

    int32_t Run() {
        for (const ScriptStep& step : scenario_.script) {
            if (RunStep(step)) {
                End(scenario_.abortResult);
                return scenario_.abortResult;
            }
        }
        // Only a burn the script lets succeed is written.
        int32_t result = scenario_.burnResult;
        if (result == 0 && record_) result = record_();
        End(result);
        return result;
    }

    // Whatever the callbacks answer, every step runs.
    void RunAfterBurn() {
        for (const ScriptStep& step : scenario_.afterBurn) RunStep(step);
        Log(LogLine("step", "after_burn").Number("steps", static_cast<long long>(scenario_.afterBurn.size())));
    }

private:
    // True when the step ends the burn with an abort.
    bool RunStep(const ScriptStep& step) {
        switch (step.kind) {
        case StepKind::Progress: return Progress(step.number);
        case StepKind::Phase: return SetPhase(step.text);
        case StepKind::MajorPhase: return MajorPhase(step.number);
        case StepKind::DisableAbort: return DisableAbort(step.number);
        case StepKind::LogLine: return AddLogLine(step.number, step.text);
        case StepKind::Aborted: return Answer("aborted", callbacks_.aborted, callbacks_.userData);
        case StepKind::Idle: return Answer("idle", callbacks_.idle, callbacks_.idleUserData);
        case StepKind::UserDialog: return UserDialog(step.number, step.data, step.dataGiven);
        case StepKind::Wait: return Wait(static_cast<DWORD>(step.number));
        case StepKind::ReadPcm: return ReadPcm();
        case StepKind::WaitFile: return WaitFile(step.text);
        case StepKind::WaitEvent: return WaitEvent(step.text);
        case StepKind::SetEvent: return SignalEvent(step.text);
        }
        return false;
    }

    void Log(const LogLine& line) const {
        if (!scenario_.quiet) WriteLog(line);
    }
    bool Skipped(LogLine line) const {
        Log(line.Flag("skipped", true));
        return false;
    }
    bool Aborts(BOOL answer) const { return answer && scenario_.abortEndsBurn; }

    bool Progress(int32_t percent) {
        LogLine line("step", "progress");
        line.Number("percent", percent);
        if (!callbacks_.progress) return Skipped(line);
        BOOL answer = As<ProgressFn>(callbacks_.progress)(callbacks_.userData, static_cast<DWORD>(percent));
        Log(line.Flag("result", answer != FALSE));
        return Aborts(answer);
    }

    bool Answer(const char* name, const void* callback, void* userData) {
        LogLine line("step", name);
        if (!callback) return Skipped(line);
        BOOL answer = As<AnswerFn>(callback)(userData);
        Log(line.Flag("result", answer != FALSE));
        return Aborts(answer);
    }

    bool SetPhase(const std::string& text) {
        LogLine line("step", "phase");
        line.Text("text", text);
        if (!callbacks_.setPhase) return Skipped(line);
        Log(line);
        As<SetPhaseFn>(callbacks_.setPhase)(callbacks_.userData, text.c_str());
        return false;
    }

    bool MajorPhase(int32_t code) {
        LogLine line("step", "major_phase");
        line.Number("code", code);
        if (!callbacks_.setMajorPhase) return Skipped(line);
        Log(line);
        As<SetMajorPhaseFn>(callbacks_.setMajorPhase)(callbacks_.userData, code, nullptr);
        return false;
    }

    bool DisableAbort(int32_t flag) {
        LogLine line("step", "disable_abort");
        line.Number("flag", flag);
        if (!callbacks_.disableAbort) return Skipped(line);
        Log(line);
        As<DisableAbortFn>(callbacks_.disableAbort)(callbacks_.userData, flag);
        return false;
    }

    bool AddLogLine(int32_t kind, const std::string& text) {
        LogLine line("step", "log_line");
        line.Number("kind", kind).Text("text", text);
        if (!callbacks_.addLogLine) return Skipped(line);
        Log(line);
        As<AddLogLineFn>(callbacks_.addLogLine)(callbacks_.userData, kind, text.c_str());
        return false;
    }

    bool UserDialog(int32_t code, int32_t data, bool dataGiven) {
        // Code 28 carries a media-mismatch record: two text pointers at bytes 12 and 16.
        uint8_t mismatch[kMismatchRecordSize] = {};
        WritePointer(mismatch, 12, scenario_.hasMismatchLast ? scenario_.mismatchLast.c_str() : nullptr);
        WritePointer(mismatch, 16, scenario_.hasMismatchRequested ? scenario_.mismatchRequested.c_str() : nullptr);
        void* argument = code == 28 && !dataGiven ? static_cast<void*>(mismatch)
                                                  : reinterpret_cast<void*>(static_cast<intptr_t>(data));
        LogLine line("step", "user_dialog");
        line.Number("code", code).Pointer("data", argument);
        if (!callbacks_.userDialog) return Skipped(line);
        int32_t answer = As<UserDialogFn>(callbacks_.userDialog)(callbacks_.userDialogUserData, code, argument);
        Log(line.Number("result", answer));
        return false;
    }

    bool Wait(DWORD milliseconds) {
        DWORD start = GetTickCount();
        const char* by = "none";
        for (;;) {
            if (callbacks_.aborted && As<AnswerFn>(callbacks_.aborted)(callbacks_.userData)) {
                by = "aborted";
                break;
            }
            if (callbacks_.idle && As<AnswerFn>(callbacks_.idle)(callbacks_.idleUserData)) {
                by = "idle";
                break;
            }
            if (GetTickCount() - start >= milliseconds) break;
            Sleep(kWaitPollMs);
        }
        bool aborted = std::string(by) != "none";
        Log(LogLine("step", "wait")
                .Number("ms", milliseconds)
                .Flag("aborted", aborted)
                .Raw("by", by)
                .Number("elapsed", GetTickCount() - start));
        return aborted;
    }

    // Holds the burn until the file appears, then takes it away, so the next burn holds again.
    bool WaitFile(const std::string& path) {
        DWORD start = GetTickCount();
        bool found = false;
        while (!(found = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) &&
               GetTickCount() - start < kMostHoldMs) {
            Sleep(kWaitPollMs);
        }
        if (found) DeleteFileA(path.c_str());
        Log(LogLine("step", "wait_file").Text("path", path).Flag("found", found));
        return false;
    }

    // Holds the burn until whoever shares the named event sets it.
    bool WaitEvent(const std::string& name) {
        UniqueEvent event(CreateEventA(nullptr, FALSE, FALSE, name.c_str()));
        const bool set = event && WaitForSingleObject(event.get(), kMostHoldMs) == WAIT_OBJECT_0;
        Log(LogLine("step", "wait_event").Text("name", name).Flag("set", set));
        return false;
    }

    // Tells whoever shares the named event that the script got here.
    bool SignalEvent(const std::string& name) {
        UniqueEvent event(CreateEventA(nullptr, FALSE, FALSE, name.c_str()));
        Log(LogLine("step", "set_event").Text("name", name));
        if (event) SetEvent(event.get());
        return false;
    }

    bool ReadPcm() {
        std::vector<BYTE> buffer(scenario_.pcmChunk);
        for (const PcmSource& source : pcm_) ReadOneSource(source, buffer);
        return false;
    }

    void ReadOneSource(const PcmSource& source, std::vector<BYTE>& buffer) {
        LogLine line("step", "read_pcm");
        line.Number("index", source.index);
        if (!source.read || !source.endOfFile || !source.error) {
            Skipped(line);
            return;
        }
        unsigned long long bytes = 0;
        unsigned long reads = 0;
        bool endOfFile = false;
        while (!endOfFile) {
            DWORD got = As<PcmReadFn>(source.read)(source.userData, buffer.data(), static_cast<DWORD>(buffer.size()));
            ++reads;
            bytes += got;
            endOfFile = As<PcmTestFn>(source.endOfFile)(source.userData) != FALSE;
            if (got == 0) break;
        }
        BOOL error = As<PcmTestFn>(source.error)(source.userData);
        Log(line.Number("bytes", static_cast<long long>(bytes))
                .Number("reads", reads)
                .Flag("eof", endOfFile)
                .Flag("error", error != FALSE));
    }

    void End(int32_t result) const { Log(LogLine("step", "end").Number("result", result)); }

    const Scenario& scenario_;
    const BurnCallbacks& callbacks_;
    const std::vector<PcmSource>& pcm_;
    const RecordStep& record_;
};

struct AfterBurnWork {
    std::shared_ptr<const Scenario> scenario;
    BurnCallbacks callbacks;
    HMODULE module = nullptr;
};

DWORD WINAPI AfterBurnThread(LPVOID parameter) {
    std::unique_ptr<AfterBurnWork> work(static_cast<AfterBurnWork*>(parameter));
    const std::vector<PcmSource> noPcm;
    const RecordStep noRecord;
    try {
        ScriptRunner(*work->scenario, work->callbacks, noPcm, noRecord).RunAfterBurn();
    } catch (...) {
    }
    HMODULE module = work->module;
    work.reset();
    if (module != nullptr) FreeLibraryAndExitThread(module, 0);
    return 0;
}

}  // namespace

void StartAfterBurnScript(const std::shared_ptr<const Scenario>& scenario, const BurnCallbacks& callbacks) {
    if (scenario->afterBurn.empty()) return;
    std::unique_ptr<AfterBurnWork> work(new AfterBurnWork{scenario, callbacks, nullptr});
    // The thread keeps this library loaded until it has left its code.
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&AfterBurnThread),
                       &work->module);
    UniqueThreadHandle thread(CreateThread(nullptr, 0, AfterBurnThread, work.get(), 0, nullptr));
    if (thread) {
        work.release();
        return;
    }
    if (work->module != nullptr) FreeLibrary(work->module);
}

int32_t RunBurnScript(const Scenario& scenario, const BurnCallbacks& callbacks, const std::vector<PcmSource>& pcm,
                      const RecordStep& record) {
    return ScriptRunner(scenario, callbacks, pcm, record).Run();
}

}  // namespace standin
