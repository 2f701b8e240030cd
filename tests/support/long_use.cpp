#include "support/long_use.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <utility>

#include "base/handles.h"
#include "resources/resource.h"
#include "standin_host.h"
#include "automation/box_watcher.h"
#include "automation/burn_dialog_driver.h"
#include "support/engine_standin.h"
#include "support/registry_fixture.h"
#include "support/test_paths.h"

namespace {

using MemoryLeftOut = std::vector<std::pair<const void*, size_t>>;

constexpr size_t kMostFaultsKept = 20;
constexpr UINT kBurnPlaylist = 8000;
constexpr UINT kBurnSelected = 8001;
constexpr const char* kSettingsKey = "Software\\Outwell\\Tolvane";
constexpr const char* kCrashGuard = "NeroFuckedUpAgain";

std::string PluginPath() { return BinDir() + "\\Tolvane.dll"; }

void Fault(LongUseReport& report, const std::string& what) {
    if (report.faults.size() < kMostFaultsKept) {
        report.faults.push_back(what);
    } else if (report.faults.size() == kMostFaultsKept) {
        report.faults.push_back("(further faults not kept)");
    }
}

// What the stand-in engine keeps for its own checks grows with every call; it is not ours.
MemoryLeftOut StandinBookkeeping() {
    HMODULE engine = GetModuleHandleA("NeroAPI.dll");
    if (engine == nullptr) return {};
    typedef int(__cdecl * ArenaFn)(const void**, size_t*);
    auto arena = reinterpret_cast<ArenaFn>(GetProcAddress(engine, "StandinLedgerArena"));
    const void* base = nullptr;
    size_t size = 0;
    if (arena == nullptr || arena(&base, &size) == 0) return {};
    return {{base, size}};
}

// Wine 8's buttons of version 6 copy every image they are handed and free only the copy they
// hold when they are destroyed: each image the plug-in hands them leaves a GDI object that is
// the system's, not the plug-in's. Measured once here on a button made with the plug-in's
// manifest, with images of the test's own, before a run starts; a system without that fault
// gives 0.
long SystemCopiesPerButtonImage() {
    static const long copies = [] {
        const std::string path = PluginPath();
        ACTCTXA request = {};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.lpSource = path.c_str();
        request.lpResourceName = MAKEINTRESOURCEA(2);
        const UniqueActCtx manifest(CreateActCtxA(&request));
        const ScopedActivation controls(manifest.get());
        HWND button =
            CreateWindowA("Button", "", WS_POPUP | BS_BITMAP, 0, 0, 20, 20, nullptr, nullptr, nullptr, nullptr);
        auto hand = [button](HBITMAP image) {
            const LPARAM handed = reinterpret_cast<LPARAM>(image);
            UniqueBitmap previous(reinterpret_cast<HBITMAP>(SendMessageA(button, BM_SETIMAGE, IMAGE_BITMAP, handed)));
        };
        constexpr long kImages = 4;
        hand(CreateBitmap(1, 1, 1, 1, nullptr));
        const long before = CountGdiObjects();
        for (long i = 0; i < kImages; ++i) hand(CreateBitmap(1, 1, 1, 1, nullptr));
        const long after = CountGdiObjects();
        hand(nullptr);
        DestroyWindow(button);
        return (after - before + kImages / 2) / kImages;
    }();
    return copies;
}

// The end of a round: the first reading is the baseline, every one counts for the highest.
void TakeReading(LongUseReport& report) {
    Counts now = ReadCounts(StandinBookkeeping());
    now.value[kGdiObjects] -= SystemCopiesPerButtonImage() * report.buttonImages;
    if (report.rounds == 0) report.baseline = report.highest = now;
    report.highest = Highest(report.highest, now);
    report.end = now;
    ++report.rounds;
}

// What every run needs besides the player: a private current-user hive, the stand-in engine
// with one recorder, and a box watcher that presses OK or Yes.
class StandIns {
public:
    StandIns(const char* name, LongUseReport& report) : hive_(name) {
        if (!hive_.active()) Fault(report, "cannot redirect the current user's hive");
        // Measured while no thread of the plug-in runs, so nothing else moves the count meanwhile.
        SystemCopiesPerButtonImage();
        engine_.PointRegistry();
        engine_.Use(OneRecorder());
    }
    ScopedUserHive& hive() { return hive_; }
    EngineStandin& engine() { return engine_; }
    BoxWatcher& boxes() { return boxes_; }

private:
    // The stand-in engine imports the audio compression manager, which under Wine opens a dozen
    // registry keys each time it is loaded and never closes them. Kept loaded for the whole run,
    // it is loaded once, and what a run shows is the plug-in's own.
    UniqueModule audioCompression_{LoadLibraryA("msacm32.dll")};
    ScopedUserHive hive_;
    EngineStandin engine_;
    BoxWatcher boxes_;
};

// LoadLibrary and QGeneralModule; false with a fault when either fails.
bool StartPlugin(standin::Host& host, LongUseReport& report) {
    if (!host.Load(PluginPath())) {
        Fault(report, host.error());
        return false;
    }
    if (host.CallModule() == 1) return true;
    Fault(report, "QGeneralModule did not return 1");
    return false;
}

HWND OpenDialog(standin::Host& host, LongUseReport& report) {
    host.SendCommand(kBurnPlaylist);
    HWND dialog = WaitForBurnDialog();
    if (dialog == nullptr) {
        Fault(report, "the burn dialog did not open");
    } else {
        report.buttonImages += 2;
    }
    return dialog;
}

void CloseDialog(HWND dialog, LongUseReport& report) {
    PostButtonCommand(dialog, IDC_EXIT_BUTTON);
    if (!WaitForBurnDialogGone()) Fault(report, "the burn dialog did not close on Exit");
}

// Empties what the stand-ins remember, so their memory does not count as the plug-in's.
void ForgetLogs(standin::Host& host, StandIns& standIns) {
    host.ClearLog();
    standIns.boxes().Clear();
}

// ---- burns ----

struct BurnKind {
    const char* what;
    int discType;  // position in the dialog's type box: 0 audio, 1 data
    EngineScenario scenario;
    bool userAborts;
    const char* resultText;
};

std::vector<BurnKind> BurnKinds() {
    const EngineScenario plain = OneRecorder();
    EngineScenario burned = plain;
    burned.Progress(50).Phase("Writing").Progress(100);
    EngineScenario laserFault = plain;
    laserFault.Progress(20).BurnResult(3).LastError("Laser fault");
    EngineScenario unknownFormat = plain;
    unknownFormat.BurnResult(1).LastError("Unknown format");
    EngineScenario waitsForAbort = plain;
    waitsForAbort.Progress(30).Phase("Writing").WaitUntilAborted(60000);
    EngineScenario noRecorder = plain;
    noRecorder.OpenDeviceSucceeds(false);
    const char* const kAccessError = "There was an error while trying to access the drive!";
    return {
        {"audio, burned", 0, burned, false, "Ok."},
        {"data, burned", 1, burned, false, "Ok."},
        {"audio, engine failure", 0, laserFault, false, "Burn process failed!"},
        {"data, engine failure", 1, unknownFormat, false, "Unknown CD format!"},
        {"audio, aborted by the user", 0, waitsForAbort, true, "User aborted!"},
        {"data, aborted by the user", 1, waitsForAbort, true, "User aborted!"},
        {"audio, recorder fails to open", 0, noRecorder, false, kAccessError},
        {"data, recorder fails to open", 1, noRecorder, false, kAccessError},
    };
}

// One burn from the idle dialog up to its result box and the idle look again.
void Burn(StandIns& run, HWND dialog, const BurnKind& kind, BurnRunReport& report) {
    run.engine().Use(kind.scenario);
    ChooseComboItem(dialog, IDC_TYPE_BOX, kind.discType);
    BoxWatcher& boxes = run.boxes();
    const size_t before = boxes.Count();
    const size_t boxesExpected = kind.userAborts ? 2 : 1;  // "Do you want to cancel now ?" first
    bool ended;
    if (kind.userAborts) {
        PostButtonCommand(dialog, IDC_BURN_BUTTON);
        if (!PumpUntil([&] { return ControlText(dialog, IDC_STATUS) == "Writing"; }))
            Fault(report, std::string(kind.what) + ": the burn never started writing");
        PostButtonCommand(dialog, IDC_EXIT_BUTTON);
    } else {
        SendButtonCommand(dialog, IDC_BURN_BUTTON);
    }
    ended = PumpUntil([&] { return boxes.Count() >= before + boxesExpected && DialogLooksIdle(dialog); });
    const std::vector<SeenBox> seen = boxes.Seen();
    const std::string result = seen.size() > before ? seen.back().text : std::string("<no box>");
    if (!ended || result != kind.resultText || seen.size() != before + boxesExpected) {
        Fault(report, std::string(kind.what) + ": expected one result box \"" + kind.resultText + "\", saw \"" +
                          result + "\"" + (ended ? "" : " and the dialog did not come back to idle"));
    }
    ++report.outcomes[kind.what];
    ++report.burns;
    report.buttonImages += 2;
}

// Counts from the engine's log what it handed out and what came back.
void CountEngineBlocks(const EngineLog& log, BurnRunReport& report) {
    static const std::set<std::string> handers = {"NeroGetAvailableDrivesEx", "NeroGetCDInfo",
                                                  "NeroGetLastError",         "NeroGetLocalizedWaitCDTexts",
                                                  "NeroCreateIsoItemOfSize",  "NeroCreateIsoTrackEx"};
    static const std::vector<std::pair<std::string, std::string>> releasers = {
        {"NeroFreeMem", "block"}, {"NeroFreeIsoItem", "item"}, {"NeroFreeIsoTrack", "track"},
        {"NeroFreeCDStamp", "stamp"}};
    for (const EngineLogEntry& entry : log.Entries()) {
        if (entry.tag == "ret" && entry.Int("result") != 0) {
            if (handers.count(entry.name) != 0) ++report.blocksHandedOut;
            if (entry.name == "NeroOpenDevice") ++report.devicesOpened;
        } else if (entry.tag == "call") {
            for (const auto& releaser : releasers)
                if (entry.name == releaser.first && entry.Int(releaser.second) != 0) ++report.blocksReleased;
            if (entry.name == "NeroCloseDevice" && entry.Int("device") != 0) ++report.devicesClosed;
        }
    }
    report.ledgerReports = static_cast<long>(log.LedgerReports().size());
    for (const EngineLogEntry& ledger : log.LedgerReports()) Fault(report, "stand-in engine ledger: " + ledger.line);
    if (report.blocksHandedOut != report.blocksReleased || report.devicesOpened != report.devicesClosed) {
        char line[160];
        std::snprintf(line, sizeof line, "engine blocks handed out %ld, released %ld; devices opened %ld, closed %ld",
                      report.blocksHandedOut, report.blocksReleased, report.devicesOpened, report.devicesClosed);
        Fault(report, line);
    }
}

standin::Playlist ThreeTracks(const std::string& folder) {
    standin::Playlist playlist;
    const char* const names[] = {"one.wav", "two.mp3", "three.wav"};
    for (const char* name : names) {
        const std::string path = folder + "\\" + name;
        WriteFileText(path, std::string(4096, 'x'));
        playlist.tracks.push_back({path, name, "Artist", 180, true});
    }
    return playlist;
}

// The player's main pop-up menu with a sub-menu of its own.
std::vector<standin::MenuItem> PlayerMenu() {
    using standin::MenuItem;
    return {MenuItem::Command(40400, "&Open File..."), MenuItem::Separator(),
            MenuItem::SubMenu("Playback", {MenuItem::Command(40011, "&Play")}), MenuItem::Command(40003, "E&xit")};
}

// "Nero" items of a menu, and how many of them still open our two commands.
std::pair<int, int> NeroItems(HMENU menu) {
    std::pair<int, int> found{0, 0};
    for (int position = 0; position < GetMenuItemCount(menu); ++position) {
        char text[16] = {};
        GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION);
        if (std::strcmp(text, "Nero") != 0) continue;
        ++found.first;
        HMENU sub = GetSubMenu(menu, position);
        if (sub != nullptr && IsMenu(sub) && GetMenuItemCount(sub) == 2) ++found.second;
    }
    return found;
}

}  // namespace

EngineScenario OneRecorder() {
    StandinDrive drive;
    drive.name = "Plextor PX-W4824A";
    drive.letter = 'D';
    drive.speeds1 = {4, 8, 16, 24};
    EngineScenario scenario;
    scenario.AddDrive(drive);
    return scenario;
}

std::string LongUseReport::Check(const Bounds& bounds) const {
    std::string problems;
    for (const std::string& fault : faults) problems += fault + "\n";
    if (rounds < 2) problems += "fewer than two readings: nothing to compare\n";
    // The highest reading is beyond a bound whenever the last one is; the last is still checked
    // for a reading of 0, which the highest may hide.
    const std::string beyond = CheckFlat(baseline, highest, bounds);
    const std::string last = CheckFlat(baseline, end, bounds);
    problems += beyond;
    if (last != beyond) problems += last;
    return problems;
}

Bounds LongUseBounds() {
    Bounds bounds;
    bounds.most[kKernelHandles] = 4;
    bounds.most[kGdiObjects] = 6;
    bounds.most[kMenus] = 1;
    bounds.most[kUserObjects] = 2;
    bounds.most[kThreads] = 0;
    bounds.most[kPrivateKiB] = 256;
    return bounds;
}

Bounds MenuRunBounds() {
    Bounds bounds = LongUseBounds();
    bounds.most[kPrivateKiB] = 64;
    return bounds;
}

BurnRunReport RunBurns(int burns, int reopenEvery) {
    BurnRunReport report;
    StandIns standIns("LongUseBurns", report);
    standin::Host host(ThreeTracks(MakeTempDir("longuse-burns")));
    if (!StartPlugin(host, report)) return report;
    const std::vector<BurnKind> kinds = BurnKinds();
    while (report.burns < burns && report.faults.empty()) {
        HWND dialog = OpenDialog(host, report);
        if (dialog == nullptr) break;
        // Read with the dialog just opened and painted: by then the previous dialog's close is
        // complete, and no painting on the dialog's thread moves the GDI count while it is read.
        // The readings start once every kind of burn has run: those warm caches of their own.
        RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        ForgetLogs(host, standIns);
        if (report.burns >= static_cast<int>(kinds.size())) TakeReading(report);
        for (int i = 0; i < reopenEvery && report.burns < burns; ++i)
            Burn(standIns, dialog, kinds[static_cast<size_t>(report.burns) % kinds.size()], report);
        CloseDialog(dialog, report);
    }
    if (HWND dialog = OpenDialog(host, report)) {
        RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        ForgetLogs(host, standIns);
        TakeReading(report);
        CloseDialog(dialog, report);
    }
    host.Shutdown();
    if (!host.Unload()) Fault(report, "the plug-in did not unload");
    // The engine library is gone now, and with it every leak report it had to write.
    CountEngineBlocks(standIns.engine().ReadLog(), report);
    return report;
}

MenuRunReport RunMenuOpenings(int openings, bool playerDestroysMenus, int perRound) {
    MenuRunReport report;
    StandIns standIns("LongUseMenus", report);
    standin::Host host;  // an empty playlist
    if (!StartPlugin(host, report)) return report;
    // The worker answers a request only once its start-up is done: the counts stop moving then.
    // The openings wait for its box to be gone too: under Wine a window destroyed on one thread
    // can take with it a menu another thread creates at that instant.
    host.SendCommand(kBurnSelected);
    BoxWatcher& boxes = standIns.boxes();
    if (!host.PumpUntil([&] { return boxes.Count() == 1 && boxes.AllClosed(); }, 30000))
        Fault(report, "no \"Select some tracks first !\" box, or it stayed open: the worker did not start");
    const std::vector<standin::MenuItem> items = PlayerMenu();
    UniqueMenu kept(playerDestroysMenus ? nullptr : standin::BuildMenu(items));
    for (report.openings = 0; report.openings < openings;) {
        for (int i = 0; i < perRound && report.openings < openings; ++i, ++report.openings) {
            if (playerDestroysMenus) {
                const std::vector<standin::MenuItem> shown = host.OpenPopupMenu(items, true);
                if (shown.size() < items.size() + 2 || shown[shown.size() - 3].text != "Nero")
                    Fault(report, "no \"Nero\" item before the last one:\n" + standin::DescribeMenu(shown));
            } else {
                SendMessageA(host.mainWindow(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(kept.get()), 0);
                if (NeroItems(kept.get()).first == 0) Fault(report, "the kept menu got no \"Nero\" item");
            }
        }
        if (!playerDestroysMenus) {
            const std::pair<int, int> nero = NeroItems(kept.get());
            report.neroItemsInKeptMenu = nero.first;
            if (nero.second != 1) Fault(report, "the kept menu holds " + std::to_string(nero.second) + " live sub-menus");
        }
        ForgetLogs(host, standIns);
        TakeReading(report);
    }
    host.Shutdown();
    kept.reset();
    if (!host.Unload()) Fault(report, "the plug-in did not unload");
    return report;
}

LongUseReport RunLoadCycles(int cycles) {
    LongUseReport report;
    const standin::Playlist playlist = ThreeTracks(MakeTempDir("longuse-cycles"));
    StandIns standIns("LongUseCycles", report);
    for (int cycle = 0; cycle < cycles; ++cycle) {
        const std::set<DWORD> threadsBefore = ThreadsOfThisProcess();
        {
            standin::Host host(playlist);
            if (!StartPlugin(host, report)) break;
            if (HWND dialog = OpenDialog(host, report)) CloseDialog(dialog, report);
            host.Shutdown();
            if (ThreadsOfThisProcess() != threadsBefore)
                Fault(report, "cycle " + std::to_string(cycle) + ": a thread of the plug-in outlived shutdown");
            const std::string guard = QueryRawValue(standIns.hive().key(), kSettingsKey, kCrashGuard).bytes;
            if (guard != std::string(4, '\0'))
                Fault(report, "cycle " + std::to_string(cycle) + ": the crash-guard value is not 0 after shutdown");
            if (!host.Unload(0))
                Fault(report, "cycle " + std::to_string(cycle) + ": the plug-in stayed loaded after FreeLibrary");
            if (GetModuleHandleA("NeroAPI.dll") != nullptr)
                Fault(report, "cycle " + std::to_string(cycle) + ": the engine library stayed loaded");
            ForgetLogs(host, standIns);
        }
        TakeReading(report);
    }
    for (const EngineLogEntry& ledger : standIns.engine().ReadLog().LedgerReports())
        Fault(report, "stand-in engine ledger: " + ledger.line);
    return report;
}
