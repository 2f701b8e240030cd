// The soak program: the built plug-in in long use (the runs of tests/support/long_use.h at full
// length) and its speed against bare Win32 round trips, printed as figures. Long; not a test.
// Run under Wine from build/bin: soak.exe [long] [speed | load dialog track]   (all when none is
// named); scripts/soak builds and runs it.

#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"
#include "engine/engine_library.h"
#include "plugin/host_api.h"
#include "resources/resource.h"
#include "import_table.h"
#include "standin_host.h"
#include "automation/burn_dialog_driver.h"
#include "support/engine_standin.h"
#include "support/long_use.h"
#include "support/registry_fixture.h"
#include "support/test_paths.h"

namespace {

constexpr int kBurns = 300;
constexpr int kReopenEvery = 25;
constexpr int kMenuOpenings = 1000;
constexpr int kMenusPerRound = 100;
constexpr int kLoadCycles = 50;
constexpr int kRoundTrips = 15;
constexpr int kDataTrackRuns = 5;
constexpr int kTreeFolders = 2000;
constexpr int kFilesPerFolder = 10;
// One track gives the opening's fixed part (the window, the drive query, the settings); the
// small sizes are repeated more, their medians being the most easily moved by a busy machine.
constexpr struct {
    int tracks;
    int repetitions;
} kDialogSizes[] = {{1, 15}, {100, 15}, {1000, 15}, {10000, 7}};

// ---- long use ----

bool PrintVerdict(const LongUseReport& report, const Bounds& bounds) {
    const Counts& base = report.baseline;
    std::printf("  %-16s %9s %9s %8s %16s %8s\n", "counter", "baseline", "last", "growth", "highest growth", "bound");
    for (int i = 0; i < kCounterCount; ++i) {
        std::printf("  %-16s %9ld %9ld %+8ld %+16ld %8ld\n", CounterName(static_cast<Counter>(i)), base.value[i],
                    report.end.value[i], report.end.value[i] - base.value[i], report.highest.value[i] - base.value[i],
                    bounds.most[i]);
    }
    const std::string problems = report.Check(bounds);
    std::printf("  verdict: %s\n%s", problems.empty() ? "flat within the bounds" : "FAULTY", problems.c_str());
    return problems.empty();
}

// What Windows' own counters say here, for the record: under Wine 8 they read 0, which is why
// the measures of support/leak_measures.h count from the tables behind them instead.
void PrintSystemCounters() {
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    std::printf("Windows' own counters: GetProcessHandleCount %lu, GetGuiResources GDI %lu and USER %lu, "
                "PrivateUsage %lu KiB\n  the measures used instead:",
                handles, GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS),
                GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), static_cast<unsigned long>(memory.PrivateUsage / 1024));
    const Counts counts = ReadCounts();
    for (int i = 0; i < kCounterCount; ++i)
        std::printf("%s %s %ld", i == 0 ? "" : ",", CounterName(static_cast<Counter>(i)), counts.value[i]);
    std::printf("\n\n");
}

bool SoakLongUse() {
    const Bounds bounds = LongUseBounds();
    PrintSystemCounters();
    std::printf("Long use: every reading against the first, taken once a first round has warmed caches\n\n");
    bool flat = true;

    const BurnRunReport burns = RunBurns(kBurns, kReopenEvery);
    std::printf("%d burns from one plug-in instance, the dialog closed and opened again every %d (%d readings)\n",
                burns.burns, kReopenEvery, burns.rounds);
    for (const auto& outcome : burns.outcomes) std::printf("  %-32s %4d\n", outcome.first.c_str(), outcome.second);
    std::printf("  engine: %ld blocks handed out, %ld released; %ld devices opened, %ld closed; %ld ledger reports\n",
                burns.blocksHandedOut, burns.blocksReleased, burns.devicesOpened, burns.devicesClosed,
                burns.ledgerReports);
    flat = PrintVerdict(burns, bounds) && flat;

    for (bool destroys : {true, false}) {
        const MenuRunReport menus = RunMenuOpenings(kMenuOpenings, destroys, kMenusPerRound);
        std::printf("\n%d openings of the player's pop-up menu, the player %s (%d readings)\n", menus.openings,
                    destroys ? "building it anew and destroying it after each use"
                             : "keeping one menu and opening it again each time",
                    menus.rounds);
        if (!destroys) std::printf("  \"Nero\" items in the kept menu at the end: %d\n", menus.neroItemsInKeptMenu);
        flat = PrintVerdict(menus, MenuRunBounds()) && flat;
    }

    const LongUseReport cycles = RunLoadCycles(kLoadCycles);
    std::printf("\n%d cycles of LoadLibrary, QGeneralModule, burn dialog opened and closed, shutdown, FreeLibrary "
                "(%d readings)\n  after each: no plug-in thread once shutdown returned, crash guard 0, plug-in and "
                "engine unloaded at once\n",
                cycles.rounds, cycles.rounds);
    flat = PrintVerdict(cycles, bounds) && flat;
    return flat;
}

// ---- speed: load and shutdown ----

// Stamps taken inside the plug-in's own calls, through its import table.
LARGE_INTEGER workerWaitingAt;
LARGE_INTEGER shutdownWaitEndedAt;
HANDLE workerWaiting = nullptr;
decltype(&WaitForMultipleObjects) realWaitForMultipleObjects = nullptr;
decltype(&MsgWaitForMultipleObjectsEx) realMsgWaitEx = nullptr;
decltype(&MsgWaitForMultipleObjects) realMsgWait = nullptr;

// The worker's wait on its two events: the end of start-up.
DWORD WINAPI StampWorkerWaiting(DWORD count, const HANDLE* handles, BOOL all, DWORD ms) {
    if (count == 2 && !all && ms == INFINITE) {
        workerWaitingAt = Now();
        SetEvent(workerWaiting);
    }
    return realWaitForMultipleObjects(count, handles, all, ms);
}

// Shutdown's wait for the worker: its last return is when shutdown saw the worker's end.
DWORD WINAPI StampShutdownWaitEx(DWORD count, const HANDLE* handles, DWORD ms, DWORD mask, DWORD flags) {
    const DWORD result = realMsgWaitEx(count, handles, ms, mask, flags);
    shutdownWaitEndedAt = Now();
    return result;
}
DWORD WINAPI StampShutdownWait(DWORD count, const HANDLE* handles, BOOL all, DWORD ms, DWORD mask) {
    const DWORD result = realMsgWait(count, handles, all, ms, mask);
    shutdownWaitEndedAt = Now();
    return result;
}

// Points the module's import of `function` at `replacement`; returns what it pointed at, or null
// when the module does not import it from that library.
void* RedirectImport(HMODULE module, const char* library, const char* function, void* replacement) {
    void* previous = nullptr;
    standin::ReplaceImports(module, [&](const char* from, const char* name, void* current) -> void* {
        if (_stricmp(from, library) != 0 || std::strcmp(name, function) != 0) return nullptr;
        previous = current;
        return replacement;
    });
    return previous;
}

void StampThePluginsWaits(HMODULE plugin) {
    realWaitForMultipleObjects = reinterpret_cast<decltype(realWaitForMultipleObjects)>(RedirectImport(
        plugin, "KERNEL32.dll", "WaitForMultipleObjects", reinterpret_cast<void*>(StampWorkerWaiting)));
    realMsgWaitEx = reinterpret_cast<decltype(realMsgWaitEx)>(RedirectImport(
        plugin, "USER32.dll", "MsgWaitForMultipleObjectsEx", reinterpret_cast<void*>(StampShutdownWaitEx)));
    realMsgWait = reinterpret_cast<decltype(realMsgWait)>(
        RedirectImport(plugin, "USER32.dll", "MsgWaitForMultipleObjects", reinterpret_cast<void*>(StampShutdownWait)));
}

struct BareThread {
    UniqueEvent stop{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    UniqueEvent ready{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    LARGE_INTEGER readyAt = {};
};

DWORD WINAPI BareThreadMain(LPVOID parameter) {
    auto* bare = static_cast<BareThread*>(parameter);
    bare->readyAt = Now();
    SetEvent(bare->ready.get());
    WaitForSingleObject(bare->stop.get(), INFINITE);
    return 0;
}

struct RoundTrip {
    double start = 0;  // to the thread waiting
    double stop = 0;   // to the thread's end seen
    double stopCall = 0;
};

// What the plug-in's load and shutdown do at the least: two events, a thread that waits, its end.
RoundTrip BareRoundTrip() {
    RoundTrip trip;
    const LARGE_INTEGER start = Now();
    BareThread bare;
    UniqueThreadHandle thread(CreateThread(nullptr, 0, BareThreadMain, &bare, 0, nullptr));
    WaitForSingleObject(bare.ready.get(), INFINITE);
    trip.start = Milliseconds(start, bare.readyAt);
    const LARGE_INTEGER stop = Now();
    SetEvent(bare.stop.get());
    WaitForSingleObject(thread.get(), INFINITE);
    trip.stop = trip.stopCall = Milliseconds(stop, Now());
    return trip;
}

// QGeneralModule to the worker waiting; PluginShutdown, and within it the worker's end seen.
bool PluginRoundTrip(RoundTrip& trip) {
    standin::Host host;
    if (!host.Load(BinDir() + "\\Tolvane.dll")) return false;
    StampThePluginsWaits(host.module());
    if (realWaitForMultipleObjects == nullptr) return false;
    const LARGE_INTEGER start = Now();
    if (host.CallModule() != 1 || WaitForSingleObject(workerWaiting, 60000) != WAIT_OBJECT_0) return false;
    trip.start = Milliseconds(start, workerWaitingAt);
    shutdownWaitEndedAt = {};
    const LARGE_INTEGER stop = Now();
    host.Shutdown();
    const LARGE_INTEGER returned = Now();
    trip.stopCall = Milliseconds(stop, returned);
    trip.stop = shutdownWaitEndedAt.QuadPart != 0 ? Milliseconds(stop, shutdownWaitEndedAt) : 0;
    return host.Unload();
}

void Ratio(const char* what, double plugin, const char* bareWhat, double bare) {
    std::printf("  %-46s %9.3f ms   %-34s %8.3f ms   %6.2f\n", what, plugin, bareWhat, bare, plugin / bare);
}

bool SoakLoadAndShutdown() {
    std::vector<double> load, stop, stopCall, bareStart, bareStop;
    RoundTrip warm;
    if (!PluginRoundTrip(warm)) {
        std::printf("  the plug-in did not load, start its worker and shut down\n");
        return false;
    }
    BareRoundTrip();
    for (int i = 0; i < kRoundTrips; ++i) {
        RoundTrip plugin;
        if (!PluginRoundTrip(plugin)) return false;
        const RoundTrip bare = BareRoundTrip();
        load.push_back(plugin.start);
        stop.push_back(plugin.stop);
        stopCall.push_back(plugin.stopCall);
        bareStart.push_back(bare.start);
        bareStop.push_back(bare.stop);
    }
    std::printf("Load and shutdown, medians of %d, taken in turn with the bare round trip     ratio\n", kRoundTrips);
    Ratio("load: QGeneralModule to the worker waiting", Median(load), "CreateThread to the thread waiting",
          Median(bareStart));
    Ratio("shutdown: PluginShutdown, whole call", Median(stopCall), "SetEvent to the thread's end seen",
          Median(bareStop));
    if (Median(stop) > 0)
        Ratio("  of which: until it saw the worker's end", Median(stop), "SetEvent to the thread's end seen",
              Median(bareStop));
    Ratio("load and shutdown together", Median(load) + Median(stopCall), "the whole bare round trip",
          Median(bareStart) + Median(bareStop));
    return true;
}

// ---- speed: the burn dialog's opening ----

LARGE_INTEGER dialogInitialised;

struct HookTraits {
    using Handle = HHOOK;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { UnhookWindowsHookEx(h); }
};

LRESULT CALLBACK StampDialogInitialised(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && reinterpret_cast<const CWPRETSTRUCT*>(lParam)->message == WM_INITDIALOG)
        dialogInitialised = Now();
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

standin::Playlist TracksOf(const std::vector<std::string>& files, int count, const std::string& settingsFile) {
    standin::Playlist playlist;
    playlist.settingsFile = settingsFile;
    for (int i = 0; i < count && i < static_cast<int>(files.size()); ++i)
        playlist.tracks.push_back({files[static_cast<size_t>(i)], "Track " + std::to_string(i), "Artist", 200, true});
    return playlist;
}

// Sends the commands, returns the time from "Burn Playlist..." to the dialog's initialisation
// done (on the worker's thread), 0 on failure. With `statusFill`, also times the status box given
// its own text once more: what the edit control alone makes of the summary.
double OpenAndClose(standin::Host& host, double* statusFill = nullptr) {
    dialogInitialised = {};
    const LARGE_INTEGER start = Now();
    host.SendCommand(8000);
    HWND dialog = WaitForBurnDialog();
    if (dialog == nullptr) return 0;
    if (statusFill != nullptr) {
        HWND status = GetDlgItem(dialog, IDC_STATUS);
        std::string text(static_cast<size_t>(GetWindowTextLengthA(status)) + 1, '\0');
        text.resize(static_cast<size_t>(GetWindowTextA(status, &text[0], static_cast<int>(text.size()))));
        const LARGE_INTEGER fillStart = Now();
        SetWindowTextA(status, text.c_str());
        *statusFill = Milliseconds(fillStart, Now());
    }
    PostButtonCommand(dialog, IDC_EXIT_BUTTON);
    // Back to its wait, the worker is done with the dialog: the next opening starts afresh.
    if (!WaitForBurnDialogGone() || WaitForSingleObject(workerWaiting, 30000) != WAIT_OBJECT_0) return 0;
    return dialogInitialised.QuadPart != 0 ? Milliseconds(start, dialogInitialised) : 0;
}

// The same service calls, made directly, none of the dialog's work around them.
double ReplayServiceCalls(standin::Host& host, const std::vector<standin::HostCall>& calls) {
    char buffer[kHostTextBufferSize];
    const LARGE_INTEGER start = Now();
    for (const standin::HostCall& call : calls) host.record().service(call.op, buffer, call.param1, call.param2);
    return Milliseconds(start, Now());
}

// What the summary asked for each track before it read file attributes and the title style once:
// the player's service calls (the count, then per track selection, settings file, title, artist,
// length and path), the player's settings file read for the title style, and one FindFirstFileA.
double BarePerTrackCalls(standin::Host& host) {
    const HostServiceFunc service = host.record().service;
    char buffer[kHostTextBufferSize];
    const LARGE_INTEGER start = Now();
    const int32_t count = service(kHostTrackCount, nullptr, 0, 0);
    for (int32_t i = 0; i < count; ++i) {
        service(kHostTrackSelected, nullptr, i, 0);
        service(kHostSettingsFile, buffer, kHostTextBufferSize, 0);
        GetPrivateProfileIntA("QCD Player", "DelimArtAlb", 0, buffer);
        service(kHostTrackTitle, buffer, kHostTextBufferSize, i);
        service(kHostTrackArtist, buffer, kHostTextBufferSize, i);
        service(kHostTrackLength, nullptr, i, 0);
        service(kHostTrackFile, buffer, kHostTextBufferSize, i);
        WIN32_FIND_DATAA data;
        UniqueFindHandle find(FindFirstFileA(buffer, &data));
    }
    return Milliseconds(start, Now());
}

// The attribute read the summary now makes for each track's size, bare.
double ReadAttributes(const standin::Playlist& playlist) {
    const LARGE_INTEGER start = Now();
    for (const standin::Track& track : playlist.tracks) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        GetFileAttributesExA(track.file.c_str(), GetFileExInfoStandard, &data);
    }
    return Milliseconds(start, Now());
}

bool SoakDialogOpening(const std::vector<std::string>& files, const std::string& scratch) {
    const std::string settingsFile = scratch + "\\qcd.ini";
    standin::WritePlayerSettingsFile(settingsFile, 2);
    standin::Host host(TracksOf(files, 1, settingsFile));
    if (!host.Load(BinDir() + "\\Tolvane.dll")) return false;
    StampThePluginsWaits(host.module());
    if (host.CallModule() != 1 || WaitForSingleObject(workerWaiting, 60000) != WAIT_OBJECT_0) return false;
    host.SendCommand(8000);
    HWND first = WaitForBurnDialog();
    if (first == nullptr) return false;
    const DWORD worker = GetWindowThreadProcessId(first, nullptr);
    PostButtonCommand(first, IDC_EXIT_BUTTON);
    WaitForBurnDialogGone();
    WaitForSingleObject(workerWaiting, 30000);
    const UniqueHandle<HookTraits> hook(SetWindowsHookExA(WH_CALLWNDPROCRET, StampDialogInitialised, nullptr, worker));

    std::printf("The burn dialog's opening (\"Burn Playlist...\" to its initialisation done) against the bare\n"
                "  per-track calls its summary made before (service calls, title-style read of the player's\n"
                "  settings file, FindFirstFileA), medians, each repetition timing them in turn; then what the\n"
                "  opening makes now, bare: its own service calls replayed, one attribute read per track, and\n"
                "  the status box given the summary's text again once the dialog is open\n");
    std::printf("  %7s %5s %11s %15s %7s %9s %14s   %14s %12s %13s %14s\n", "tracks", "runs", "opening ms",
                "bare calls ms", "ratio", "growth", "per track us", "service calls", "replayed ms", "attributes ms",
                "status box ms");
    double previous = 0;
    double fixed = 0;
    bool ok = hook.valid();
    for (const auto& size : kDialogSizes) {
        if (!ok) break;
        const int count = size.tracks;
        const standin::Playlist playlist = TracksOf(files, count, settingsFile);
        host.SetPlaylist(playlist);
        OpenAndClose(host);  // the first opening of a size warms the file system's caches
        BarePerTrackCalls(host);
        // Each repetition times all of them in turn, so a busy moment of the machine touches them alike.
        std::vector<double> openings, bare, replays, attributes, fills;
        std::vector<standin::HostCall> calls;
        for (int i = 0; i < size.repetitions && ok; ++i) {
            host.ClearLog();
            double fill = 0;
            const double opening = OpenAndClose(host, &fill);
            ok = opening > 0;
            openings.push_back(opening);
            fills.push_back(fill);
            calls.clear();
            for (const standin::HostCall& call : host.Calls())
                if (call.threadId == worker) calls.push_back(call);
            bare.push_back(BarePerTrackCalls(host));
            replays.push_back(ReplayServiceCalls(host, calls));
            attributes.push_back(ReadAttributes(playlist));
        }
        const double opening = Median(openings);
        char growth[32] = "";
        char perTrack[32] = "";
        if (previous > 0) std::snprintf(growth, sizeof growth, "x%.1f", opening / previous);
        if (count > 1) std::snprintf(perTrack, sizeof perTrack, "%.1f", (opening - fixed) * 1000 / (count - 1));
        std::printf("  %7d %5d %11.2f %15.2f %7.3f %9s %14s   %14zu %12.3f %13.2f %14.2f\n", count,
                    size.repetitions, opening, Median(bare), opening / Median(bare), growth, perTrack, calls.size(),
                    Median(replays), Median(attributes), Median(fills));
        if (count == 1) fixed = opening;
        previous = opening;
    }
    std::printf("  per track: the opening less its one-track figure (the dialog, the drive query, the settings),\n"
                "  over the tracks beyond the first\n");
    host.Shutdown();
    host.Unload();
    if (!ok) std::printf("  the dialog did not open\n");
    return ok;
}

// ---- speed: the data track ----

bool SoakDataTrack(const std::string& root, const std::string& scratch) {
    if (!LoadQuietStandinEngine(scratch)) {
        std::printf("  cannot load the stand-in engine\n");
        return false;
    }
    const DataTrackTimes times = TimeDataTrack(root, kDataTrackRuns);
    releaseEngine();
    if (times.code != 0) {
        std::printf("  BuildIsoTrack failed with %ld\n", static_cast<long>(times.code));
        return false;
    }
    const double walk = Median(times.walkMs);
    const double build = Median(times.buildMs);
    std::printf("The data track of %ld files and folders, medians of %d                       ratio\n", times.walked,
                kDataTrackRuns);
    Ratio("BuildIsoTrack of the whole tree", build, "bare FindFirstFile walk", walk);
    std::printf("  items built %ld (root folder included), %.0f items per second\n", times.items,
                static_cast<double>(times.items) * 1000 / build);
    return true;
}

enum SpeedParts { kLoadAndShutdown = 1, kDialogOpening = 2, kDataTrack = 4, kAllSpeed = 7 };

bool SoakSpeed(int parts) {
    const std::string scratch = MakeTempDir("soak");
    const std::string root = scratch + "\\tree";
    ScopedUserHive hive("Soak");
    EngineStandin engine;
    engine.PointRegistry();
    engine.Use(OneRecorder().Quiet(true));
    std::vector<std::string> files;
    const bool needsTree = (parts & (kDialogOpening | kDataTrack)) != 0;
    if (scratch.empty() || (needsTree && !MakeTree(root, kTreeFolders, kFilesPerFolder, &files))) {
        std::printf("cannot build the tree in %s\n", root.c_str());
        RemoveTree(scratch);
        return false;
    }
    std::printf("Speed (the stand-in engine quiet)\n");
    const UniqueEvent waiting(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    workerWaiting = waiting.get();
    bool ok = true;
    if (parts & kLoadAndShutdown) {
        std::printf("\n");
        ok = SoakLoadAndShutdown() && ok;
    }
    if (parts & kDialogOpening) {
        std::printf("\n");
        ok = SoakDialogOpening(files, scratch) && ok;
    }
    if (parts & kDataTrack) {
        std::printf("\n");
        ok = SoakDataTrack(root, scratch) && ok;
    }
    RemoveTree(scratch);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    bool longUse = argc < 2;
    int speed = argc < 2 ? kAllSpeed : 0;
    for (int i = 1; i < argc; ++i) {
        const std::string part = argv[i];
        if (part == "long") longUse = true;
        if (part == "speed") speed |= kAllSpeed;
        if (part == "load") speed |= kLoadAndShutdown;
        if (part == "dialog") speed |= kDialogOpening;
        if (part == "track") speed |= kDataTrack;
    }
    // The stand-in engine imports the audio compression manager, whose every load under Wine opens
    // registry keys it never closes; loaded once here, its reloading with the engine costs nothing.
    const UniqueModule audioCompression(LoadLibraryA("msacm32.dll"));
    bool ok = true;
    if (longUse) ok = SoakLongUse() && ok;
    if (longUse && speed != 0) std::printf("\n");
    if (speed != 0) ok = SoakSpeed(speed) && ok;
    std::fflush(stdout);
    return ok ? 0 : 1;
}
