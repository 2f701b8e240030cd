// The stand-in engine's entry points. Each one refreshes the scenario, logs its call, decodes
// what it was given, and answers as the scenario says. Nothing thrown leaves an entry point.

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "burn_script.h"
#include "record_sizes.h"
#include "base/handles.h"
#include "ledger.h"
#include "log_writer.h"
#include "raw_memory.h"
#include "record_decoder.h"
#include "recorder.h"
#include "scenario.h"
#include "stand-ins/code_page_text.h"

// The C++ runtime's own release of what it keeps for its whole life (declared by no header).
namespace __gnu_cxx {
void __freeres() noexcept;
}

namespace standin {
namespace {

constexpr size_t kDriveListHeader = 4;
constexpr size_t kDiscInfoSize = 512;
constexpr size_t kDiscInfoTrackCount = 272;
constexpr size_t kHandleSize = 16;

HMODULE g_module = nullptr;

struct ScenarioFile {
    std::string path;
    bool exists = false;
    FILETIME written = {0, 0};
    ULONGLONG size = 0;

    bool operator==(const ScenarioFile& other) const {
        return path == other.path && exists == other.exists && size == other.size &&
               written.dwLowDateTime == other.written.dwLowDateTime &&
               written.dwHighDateTime == other.written.dwHighDateTime;
    }
};

// What the stand-in remembers between calls.
struct EngineState {
    std::shared_ptr<const Scenario> scenario = std::make_shared<Scenario>();
    ScenarioFile file;
    bool loadedOnce = false;
    int32_t isoItemsCreated = 0;
    BurnCallbacks initCallbacks;  // the idle and user-dialog callbacks given to NeroInit
    std::string recorderError;    // why the last burn could not be written; answers NeroGetLastError
};

CRITICAL_SECTION* StateCriticalSection() {
    static CRITICAL_SECTION section;
    static bool ready = (InitializeCriticalSection(&section), true);
    (void)ready;
    return &section;
}

class StateLock {
public:
    StateLock() { EnterCriticalSection(StateCriticalSection()); }
    ~StateLock() { LeaveCriticalSection(StateCriticalSection()); }
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;
};

EngineState& State() {
    static EngineState state;
    return state;
}

std::string Environment(const char* name) {
    char small[512];
    DWORD length = GetEnvironmentVariableA(name, small, sizeof small);
    if (length == 0) return std::string();
    if (length < sizeof small) return std::string(small, length);
    std::string large(length, '\0');
    length = GetEnvironmentVariableA(name, &large[0], length);
    large.resize(length);
    return large;
}

ScenarioFile LookAtScenarioFile() {
    ScenarioFile file;
    file.path = Environment("TOLVANE_ENGINE_SCENARIO");
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!file.path.empty() && GetFileAttributesExA(file.path.c_str(), GetFileExInfoStandard, &data)) {
        file.exists = true;
        file.written = data.ftLastWriteTime;
        file.size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    return file;
}

std::string ReadWholeFile(const std::string& path) {
    std::string text;
    UniqueCFile file(std::fopen(path.c_str(), "rb"));
    if (!file) return text;
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) text.append(buffer, got);
    return text;
}

void NoteLoaded(const Scenario& scenario, const std::string& path) {
    if (scenario.quiet) return;
    // The log's texts are the bytes the engine was given; the code page says how to read them.
    WriteLog(LogLine("note", "scenario-loaded").Text("path", path).Number("codePage", GetACP()));
    for (const auto& error : scenario.errors) {
        WriteLog(LogLine("note", "scenario-error").Number("line", error.line).Text("text", error.text));
    }
}

// Cheap when nothing changed: one environment read and one attribute query. The per-item calls
// of a data track pass `hotPath`: under a quiet (timing) scenario they take the scenario in force
// without looking at the environment, which costs more than the rest of such a call.
std::shared_ptr<const Scenario> CurrentScenario(bool hotPath = false) {
    StateLock lock;
    EngineState& state = State();
    if (hotPath && state.loadedOnce && state.scenario->quiet) return state.scenario;
    // A quiet scenario is for timing: while the variable names the same file, it is not looked at.
    if (state.loadedOnce && state.scenario->quiet && Environment("TOLVANE_ENGINE_SCENARIO") == state.file.path) {
        return state.scenario;
    }
    ScenarioFile file = LookAtScenarioFile();
    bool reload = !state.loadedOnce || !(file == state.file);
    if (reload) {
        state.scenario = std::make_shared<Scenario>(file.exists ? ParseScenario(ReadWholeFile(file.path)) : Scenario());
        state.file = file;
        state.loadedOnce = true;
        state.isoItemsCreated = 0;
    }
    const Scenario& scenario = *state.scenario;
    std::string logPath = scenario.logPath.empty() ? Environment("TOLVANE_ENGINE_LOG") : scenario.logPath;
    SetLogPath(scenario.quiet ? std::string() : logPath);
    if (reload && file.exists) NoteLoaded(scenario, file.path);
    return state.scenario;
}

std::string EngineFolder() {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(g_module, path, sizeof path);
    std::string folder(path, length < sizeof path ? length : 0);
    size_t slash = LastCharacterOf(folder, "\\/");
    return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

// One entry point call: the scenario it runs under and its log lines.
class Call {
public:
    explicit Call(const char* name, bool hotPath = false)
        : scenario_(CurrentScenario(hotPath)), name_(name), line_("call", name, scenario_->quiet) {}
    const Scenario& scenario() const { return *scenario_; }
    const std::shared_ptr<const Scenario>& sharedScenario() const { return scenario_; }
    bool logging() const { return !scenario_->quiet; }
    LogLine& arguments() { return line_; }
    void Start() const {
        if (logging()) WriteLog(line_);
    }
    LogLine Result() const { return LogLine("ret", name_, !logging()); }
    void Finish(const LogLine& result) const {
        if (logging()) WriteLog(result);
    }

private:
    std::shared_ptr<const Scenario> scenario_;
    const char* name_;
    LogLine line_;
};

void* HandOut(const Call& call, BlockKind kind, size_t size, const char* by) {
    LedgerLock lock;
    return TheLedger().HandOut(kind, size, by, call.scenario().quiet);
}

void Release(const char* name, const char* argument, ReleaseFunction function, void* block,
             bool hotPath = false) {
    Call call(name, hotPath);
    call.arguments().Pointer(argument, block);
    call.Start();
    LedgerLock lock;
    TheLedger().Release(function, block, call.scenario().quiet);
}

char* HandOutText(const Call& call, BlockKind kind, const std::string& text, const char* by) {
    char* block = static_cast<char*>(HandOut(call, kind, text.size() + 1, by));
    if (block) std::memcpy(block, text.c_str(), text.size() + 1);
    return block;
}

LogLine& TextResult(LogLine& line, const char* text) {
    line.Pointer("result", text);
    if (text) line.PointerText("text", text);
    return line;
}

void WriteDevice(uint8_t* record, const DriveSpec& drive) {
    WriteFieldText(record, 0, 64, drive.name);
    WriteFieldText(record, 64, 7, drive.shortText);
    for (int i = 0; i < 3; ++i) WriteU32(record, 72 + 4 * i, drive.words[i]);
    record[84] = drive.letter;
    WriteU32(record, 88, drive.capabilities);
    WriteU32(record, 92, drive.count1Given ? drive.count1 : static_cast<uint32_t>(drive.speeds1.size()));
    for (size_t i = 0; i < drive.speeds1.size(); ++i) WriteU32(record, 356 + 4 * i, drive.speeds1[i]);
    WriteU32(record, 740, drive.count2Given ? drive.count2 : static_cast<uint32_t>(drive.speeds2.size()));
    for (size_t i = 0; i < drive.speeds2.size(); ++i) WriteU32(record, 1004 + 4 * i, drive.speeds2[i]);
    WriteU32(record, 1388, drive.word1388);
    WriteFieldText(record, 1392, 63, drive.text1392);
    WriteU32(record, 1456, drive.word1456);
}

void* BuildDriveList(const Call& call) {
    const auto& drives = call.scenario().drives;
    auto* list = static_cast<uint8_t*>(HandOut(call, BlockKind::DriveList,
                                               kDriveListHeader + kDeviceRecordSize * drives.size(),
                                               "NeroGetAvailableDrivesEx"));
    if (!list) return nullptr;
    WriteU32(list, 0, static_cast<uint32_t>(drives.size()));
    for (size_t i = 0; i < drives.size(); ++i) WriteDevice(list + kDriveListHeader + kDeviceRecordSize * i, drives[i]);
    return list;
}

// Imported items are the engine's own: reference flag set, released with NeroFreeMem.
void* BuildImportedChain(const Call& call) {
    void* first = nullptr;
    for (int32_t i = call.scenario().importItems - 1; i >= 0; --i) {
        void* item = HandOut(call, BlockKind::ImportedItem, kIsoItemSize, "NeroImportIsoTrackEx");
        if (!item) break;
        WriteFieldText(item, 0, 255, "IMPORTED" + std::to_string(i));
        WriteU32(item, 260, 1);
        WritePointer(item, 524, first);
        first = item;
    }
    return first;
}

void RememberInitCallbacks(const void* settings) {
    BurnCallbacks callbacks;
    if (Readable(settings, 40)) {
        callbacks.idle = ReadPointer(settings, 16);
        callbacks.idleUserData = const_cast<void*>(ReadPointer(settings, 20));
        callbacks.userDialog = ReadPointer(settings, 24);
        callbacks.userDialogUserData = const_cast<void*>(ReadPointer(settings, 28));
    }
    StateLock lock;
    State().initCallbacks = callbacks;
}

BurnCallbacks CallbacksForBurn(const void* progress) {
    BurnCallbacks callbacks;
    {
        StateLock lock;
        callbacks = State().initCallbacks;
    }
    if (Readable(progress, 32)) {
        callbacks.progress = ReadPointer(progress, 0);
        callbacks.aborted = ReadPointer(progress, 4);
        callbacks.addLogLine = ReadPointer(progress, 8);
        callbacks.setPhase = ReadPointer(progress, 12);
        callbacks.userData = const_cast<void*>(ReadPointer(progress, 16));
        callbacks.disableAbort = ReadPointer(progress, 20);
        callbacks.setMajorPhase = ReadPointer(progress, 24);
    }
    return callbacks;
}

void SetRecorderError(const std::string& error) {
    StateLock lock;
    State().recorderError = error;
}

std::string RecorderError() {
    StateLock lock;
    return State().recorderError;
}

bool TakeIsoItemAllowance(const Scenario& scenario) {
    StateLock lock;
    int32_t& created = State().isoItemsCreated;
    if (scenario.isoItemLimit >= 0 && created >= scenario.isoItemLimit) return false;
    ++created;
    return true;
}

template <typename Result, typename Body>
Result Guarded(Result fallback, Body body) {
    try {
        return body();
    } catch (...) {
        return fallback;
    }
}

template <typename Body>
void Guarded(Body body) {
    try {
        body();
    } catch (...) {
    }
}

}  // namespace
}  // namespace standin

using namespace standin;

extern "C" {

DWORD __cdecl NeroGetAPIVersion(void) {
    return Guarded<DWORD>(0, [] {
        Call call("NeroGetAPIVersion");
        call.Start();
        DWORD version = call.scenario().version;
        call.Finish(call.Result().Number("result", version));
        return version;
    });
}

BOOL __cdecl NeroGetAPIVersionEx(WORD* major, WORD* minor, WORD* release, WORD* build, void* reserved) {
    return Guarded<BOOL>(FALSE, [&] {
        Call call("NeroGetAPIVersionEx");
        call.arguments()
            .Pointer("major", major)
            .Pointer("minor", minor)
            .Pointer("release", release)
            .Pointer("build", build)
            .Pointer("reserved", reserved);
        call.Start();
        const Scenario& s = call.scenario();
        LogLine result = call.Result();
        if (!s.hasVersionEx) {
            call.Finish(result.Number("result", 0));
            return FALSE;
        }
        WORD* outputs[4] = {major, minor, release, build};
        for (int i = 0; i < 4; ++i) {
            if (outputs[i]) *outputs[i] = s.versionEx[i];
        }
        call.Finish(result.Number("result", 1).Raw("parts", std::to_string(s.versionEx[0]) + "." +
                                                               std::to_string(s.versionEx[1]) + "." +
                                                               std::to_string(s.versionEx[2]) + "." +
                                                               std::to_string(s.versionEx[3])));
        return TRUE;
    });
}

BOOL __cdecl NeroSetExpectedAPIVersionEx(WORD major, WORD minor, WORD release, WORD build, void* reserved) {
    return Guarded<BOOL>(FALSE, [&] {
        Call call("NeroSetExpectedAPIVersionEx");
        call.arguments()
            .Number("major", major)
            .Number("minor", minor)
            .Number("release", release)
            .Number("build", build)
            .Pointer("reserved", reserved);
        call.Start();
        BOOL accepted = call.scenario().acceptExpected;
        call.Finish(call.Result().Number("result", accepted));
        return accepted;
    });
}

BOOL __cdecl NeroSetExpectedAPIVersion(DWORD version) {
    return Guarded<BOOL>(FALSE, [&] {
        Call call("NeroSetExpectedAPIVersion");
        call.arguments().Number("version", version);
        call.Start();
        BOOL accepted = call.scenario().acceptExpected;
        call.Finish(call.Result().Number("result", accepted));
        return accepted;
    });
}

int32_t __cdecl NeroInit(const void* settings, const char* reserved) {
    return Guarded<int32_t>(1, [&] {
        Call call("NeroInit");
        call.arguments().Pointer("settings", settings).Pointer("reserved", reserved);
        call.Start();
        if (call.logging()) LogEngineSettings(settings);
        RememberInitCallbacks(settings);
        int32_t result = call.scenario().initResult;
        call.Finish(call.Result().Number("result", result));
        return result;
    });
}

void __cdecl NeroDone(void) {
    Guarded([] {
        Call call("NeroDone");
        call.Start();
    });
}

void* __cdecl NeroGetAvailableDrivesEx(int32_t mediumType, void* reserved) {
    return Guarded<void*>(nullptr, [&]() -> void* {
        Call call("NeroGetAvailableDrivesEx");
        call.arguments().Number("mediumType", mediumType).Pointer("reserved", reserved);
        call.Start();
        if (call.logging()) LogDvdrState(call.scenario().version, EngineFolder());
        void* list = call.scenario().driveListNone ? nullptr : BuildDriveList(call);
        LogLine result = call.Result();
        result.Pointer("result", list).Number("count", list ? ReadU32(list, 0) : 0);
        call.Finish(result);
        return list;
    });
}

void* __cdecl NeroOpenDevice(const void* device) {
    return Guarded<void*>(nullptr, [&]() -> void* {
        Call call("NeroOpenDevice");
        call.arguments().Pointer("device", device);
        call.Start();
        if (call.logging()) LogDeviceRecord(device, call.scenario().version);
        void* handle = call.scenario().openDevice ? HandOut(call, BlockKind::Device, kHandleSize, "NeroOpenDevice")
                                                  : nullptr;
        call.Finish(call.Result().Pointer("result", handle));
        return handle;
    });
}

void __cdecl NeroCloseDevice(void* device) {
    Guarded([&] { Release("NeroCloseDevice", "device", ReleaseFunction::CloseDevice, device); });
}

void* __cdecl NeroGetCDInfo(void* device, DWORD flags) {
    return Guarded<void*>(nullptr, [&]() -> void* {
        Call call("NeroGetCDInfo");
        call.arguments().Pointer("device", device).Hex("flags", flags);
        call.Start();
        void* info = nullptr;
        if (call.scenario().hasDiscTracks) {
            info = HandOut(call, BlockKind::CdInfo, kDiscInfoSize, "NeroGetCDInfo");
            if (info) WriteU32(info, kDiscInfoTrackCount, call.scenario().discTracks);
        }
        call.Finish(call.Result().Pointer("result", info));
        return info;
    });
}

void* __cdecl NeroImportIsoTrackEx(void* device, DWORD track, void** stampSlot, DWORD flags) {
    return Guarded<void*>(nullptr, [&]() -> void* {
        Call call("NeroImportIsoTrackEx");
        call.arguments().Pointer("device", device).Number("track", track).Pointer("stampSlot", stampSlot).Hex("flags", flags);
        call.Start();
        void* root = nullptr;
        void* stamp = nullptr;
        if (call.scenario().importSucceeds) {
            root = BuildImportedChain(call);
            if (stampSlot && Readable(stampSlot, sizeof(void*))) {
                stamp = HandOut(call, BlockKind::Stamp, kHandleSize, "NeroImportIsoTrackEx");
                *stampSlot = stamp;
            }
            if (call.logging()) LogIsoChain(root);
        }
        call.Finish(call.Result().Pointer("result", root).Pointer("stamp", stamp));
        return root;
    });
}

void __cdecl NeroFreeCDStamp(void* stamp) {
    Guarded([&] { Release("NeroFreeCDStamp", "stamp", ReleaseFunction::FreeCDStamp, stamp); });
}

void* __cdecl NeroCreateIsoItemOfSize(size_t size) {
    return Guarded<void*>(nullptr, [&]() -> void* {
        Call call("NeroCreateIsoItemOfSize", true);
        call.arguments().Number("size", static_cast<long long>(size));
        call.Start();
        // Never smaller than the layout we decode, whatever size was asked for.
        size_t blockSize = size > kIsoItemSize ? size : kIsoItemSize;
        void* item = TakeIsoItemAllowance(call.scenario())
                         ? HandOut(call, BlockKind::IsoItem, blockSize, "NeroCreateIsoItemOfSize")
                         : nullptr;
        call.Finish(call.Result().Pointer("result", item));
        return item;
    });
}

void __cdecl NeroFreeIsoItem(void* item) {
    Guarded([&] { Release("NeroFreeIsoItem", "item", ReleaseFunction::FreeIsoItem, item, true); });
}

void* __cdecl NeroCreateIsoTrackEx(void* root, const char* name, DWORD flags) {
    return Guarded<void*>(nullptr, [&]() -> void* {
        Call call("NeroCreateIsoTrackEx");
        call.arguments().Pointer("root", root).PointerText("name", name).Hex("flags", flags);
        call.Start();
        if (call.logging()) LogIsoChain(root);
        void* track = nullptr;
        if (call.scenario().createIsoTrack) {
            track = HandOut(call, BlockKind::IsoTrack, kHandleSize, "NeroCreateIsoTrackEx");
            std::string trackName;
            if (name) PointerText(name, 1024, trackName);
            LedgerLock lock;
            TheLedger().NameIsoTrack(track, root, trackName);
        }
        call.Finish(call.Result().Pointer("result", track));
        return track;
    });
}

void __cdecl NeroFreeIsoTrack(void* track) {
    Guarded([&] { Release("NeroFreeIsoTrack", "track", ReleaseFunction::FreeIsoTrack, track); });
}

int32_t __cdecl NeroBurn(void* device, int32_t format, void* record, DWORD flags, DWORD speed, void* progress) {
    return Guarded<int32_t>(1, [&] {
        Call call("NeroBurn");
        call.arguments()
            .Pointer("device", device)
            .Number("format", format)
            .Pointer("record", record)
            .Hex("flags", flags)
            .Number("speed", speed)
            .Pointer("progress", progress);
        call.Start();
        if (call.logging()) {
            LogProgressRecord(progress);
            LogBurnRecord(format, record);
        }
        std::vector<PcmSource> pcm = format == 0 ? PcmSources(record) : std::vector<PcmSource>();
        SetRecorderError(std::string());
        RecordStep recordStep;
        if (!call.scenario().outputFolder.empty()) {
            recordStep = [&] {
                std::string error;
                int32_t recorded = RecordBurn(call.scenario(), format, record, flags, error);
                SetRecorderError(error);
                return recorded;
            };
        }
        const BurnCallbacks callbacks = CallbacksForBurn(progress);
        int32_t result = RunBurnScript(call.scenario(), callbacks, pcm, recordStep);
        StartAfterBurnScript(call.sharedScenario(), callbacks);
        call.Finish(call.Result().Number("result", result));
        return result;
    });
}

char* __cdecl NeroGetLastError(void) {
    return Guarded<char*>(nullptr, [] {
        Call call("NeroGetLastError");
        call.Start();
        const Scenario& s = call.scenario();
        std::string recorderError = RecorderError();
        char* text = !recorderError.empty() ? HandOutText(call, BlockKind::ErrorText, recorderError, "NeroGetLastError")
                     : s.hasLastError       ? HandOutText(call, BlockKind::ErrorText, s.lastError, "NeroGetLastError")
                                            : nullptr;
        LogLine result = call.Result();
        call.Finish(TextResult(result, text));
        return text;
    });
}

void __cdecl NeroClearErrors(void) {
    Guarded([] {
        Call call("NeroClearErrors");
        call.Start();
    });
}

void __cdecl NeroFreeMem(void* block) {
    Guarded([&] { Release("NeroFreeMem", "block", ReleaseFunction::FreeMem, block); });
}

char* __cdecl NeroGetLocalizedWaitCDTexts(int32_t reason) {
    return Guarded<char*>(nullptr, [&] {
        Call call("NeroGetLocalizedWaitCDTexts");
        call.arguments().Number("reason", reason);
        call.Start();
        const Scenario& s = call.scenario();
        char* text = s.hasWaitText ? HandOutText(call, BlockKind::WaitText, s.waitText, "NeroGetLocalizedWaitCDTexts")
                                   : nullptr;
        LogLine result = call.Result();
        call.Finish(TextResult(result, text));
        return text;
    });
}

// Test-only: reports what is still handed out, without releasing it.
int __cdecl StandinLedgerReport(void) {
    return Guarded<int>(-1, [] {
        CurrentScenario();
        LedgerLock lock;
        return TheLedger().ReportLeaks();
    });
}

// Test-only: the stretch of address space that holds every block the ledger keeps and its own
// records, for memory measures that leave the stand-in's bookkeeping out. 0 before the first
// block is handed out.
int __cdecl StandinLedgerArena(const void** base, size_t* size) {
    return Guarded<int>(0, [&] {
        LedgerLock lock;
        if (base != nullptr) *base = LedgerArena().base();
        if (size != nullptr) *size = LedgerArena().reserved();
        return LedgerArena().reserved() != 0 ? 1 : 0;
    });
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        Guarded([&] {
            bool processEnding = reserved != nullptr;
            std::shared_ptr<const Scenario> scenario;
            {
                // Other threads are gone when the process ends; their locks may never be released.
                if (!processEnding) scenario = CurrentScenario();
                else scenario = State().scenario;
            }
            if (!scenario->quiet) TheLedger().ReportLeaks();
            if (!processEnding) TheLedger().FreeAll();
        });
        // What the C++ runtime set aside at load for exceptions when memory runs out; kept
        // otherwise, every load and unload of the stand-in would grow the process it serves.
        if (reserved == nullptr) __gnu_cxx::__freeres();
    }
    return TRUE;
}

}  // extern "C"
