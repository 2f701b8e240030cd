// The engine misbehaving under the built plug-in, as the user meets it: entry points missing,
// drive lists of every shape, a long burn the user interrupts, callbacks that come after an abort
// or after the burn, and the player shutting down in the middle of each.

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "resources/resource.h"
#include "support/burn_dialog_fixture.h"
#include "support/test_paths.h"

namespace {

using EngineFaultsTest = BurnDialogFixture;

const char kOk[] = "Ok.";
const char kBurnFailed[] = "Burn process failed!";
const char kNoDrive[] = "No valid drive found !";
const char kCancelQuestion[] = "Do you want to cancel now ?";
const char kUserAborted[] = "User aborted!";
const char kTooMuchData[] =
    "Sorry, this compilation contains too much data to fit on the CD\n\t\t\t\twith respect to the normal CD "
    "capacity.";
const char kCrashGuard[] = "NeroFuckedUpAgain";

standin::Playlist OneTrack() {
    standin::Playlist playlist;
    playlist.tracks.push_back(BurnDialogFixture::Track("Z:\\m\\a.wav", "A"));
    return playlist;
}

std::vector<std::string> TextsSince(const BoxWatcher& boxes, size_t first) {
    std::vector<std::string> texts;
    const std::vector<SeenBox> seen = boxes.Seen();
    for (size_t i = first; i < seen.size(); ++i) texts.push_back(seen[i].text);
    return texts;
}

// Each progress step of the engine's log: the percent given and what the plug-in answered.
std::vector<std::pair<long long, long long>> ProgressAnswers(const EngineLog& log) {
    std::vector<std::pair<long long, long long>> answers;
    for (const EngineLogEntry& step : log.Steps("progress"))
        answers.emplace_back(step.Int("percent"), step.Int("result"));
    return answers;
}

// The entry points the stand-in has a variant without: one folder "engine-without-NAME" each.
std::set<std::string> VariantsWithoutAnEntryPoint() {
    std::set<std::string> names;
    const std::string prefix = "engine-without-";
    WIN32_FIND_DATAA entry;
    UniqueFindHandle find(FindFirstFileA((BinDir() + "\\" + prefix + "*").c_str(), &entry));
    if (!find) return names;
    do {
        names.insert(std::string(entry.cFileName).substr(prefix.size()));
    } while (FindNextFileA(find.get(), &entry));
    return names;
}

std::string OldEngineNotice(int a, int b, int c, int d) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "You are running an older version of Nero (%d.%d.%d.%d).\nYou may experience problems burning "
                  "cds from the plugin.",
                  a, b, c, d);
    return text;
}

// A burn that would take the engine 30 seconds unless cancelled. It stops at two holds until the
// test lets it go on, so that the user's answers come while the engine is busy; on the way it
// asks user-dialog 28 without a record and 15 without a wait text (nothing to show), and 28 with
// a record whose texts are null.
struct LongBurn {
    ScriptEvent atFirstHold{"at-first-hold"};
    ScriptEvent firstHold{"first-hold"};
    ScriptEvent atSecondHold{"at-second-hold"};
    ScriptEvent secondHold{"second-hold"};

    EngineScenario Script(EngineScenario recorders) const {
        return recorders.NoMediaMismatchTexts()
            .Progress(10)
            .Phase("Writing")
            .NullMediaMismatchDialog()
            .UserDialog(15, 2)
            .SignalEvent(atFirstHold.name())
            .WaitForEvent(firstHold.name())
            .UserDialog(28)
            .Progress(50)
            .SignalEvent(atSecondHold.name())
            .WaitForEvent(secondHold.name())
            .Progress(70)
            .Phase("Still writing after the abort")
            .WaitUntilAborted(30000)
            .Progress(100);
    }

    // What the user saw, in a form another thread can hand back.
    struct Seen {
        std::string stuckAt;  // empty when the burn went all the way
        int progressAtSecondHold = -1;
        std::string statusAtSecondHold;
    };

    // The user's side, from the first hold on: the first Exit (unless shutdown gave it) is answered
    // No and the burn goes on; the second is answered Yes and the burn ends. The box watcher gives
    // the answers.
    Seen Play(HWND dialog, const BoxWatcher& boxes, size_t boxesBefore, bool userGivesFirstExit) const {
        Seen seen;
        if (userGivesFirstExit) PostButtonCommand(dialog, IDC_EXIT_BUTTON);
        if (!PumpUntil([&] { return boxes.Count() >= boxesBefore + 1; })) return Fail(seen, "no first question");
        firstHold.Set();
        if (!PumpUntilSignalled(atSecondHold.handle())) return Fail(seen, "the burn did not go on after No");
        seen.progressAtSecondHold = ProgressPosition(dialog);
        seen.statusAtSecondHold = ControlText(dialog, IDC_STATUS);
        PostButtonCommand(dialog, IDC_EXIT_BUTTON);
        if (!PumpUntil([&] { return boxes.Count() >= boxesBefore + 2; })) return Fail(seen, "no second question");
        secondHold.Set();
        // Once shutdown has begun the dialog closes itself after the result.
        if (!PumpUntil([&] { return boxes.Count() >= boxesBefore + 3 && (DialogLooksIdle(dialog) || !IsWindow(dialog)); }))
            return Fail(seen, "no result, or the dialog did not come back to idle");
        return seen;
    }

private:
    static Seen Fail(Seen seen, const char* where) {
        seen.stuckAt = where;
        return seen;
    }
};

}  // namespace

// The plug-in reaches every entry point by name; without one, its fallback stands in and the
// caller's own checks decide. Each row runs a whole plug-in life: a data burn, then an audio burn
// the engine fails (between them every entry point the plug-in uses is reached), then shutdown.
// Blocks the engine cannot take back without their release function stay with it; nothing else
// may be left behind or released twice.
TEST_F(EngineFaultsTest, EachMissingEntryPointFallsBackAndTheUserSeesWhatFollows) {
    standin::Playlist playlist;
    playlist.tracks = {Track(MakeFile("one.wav", 4096), "One"), Track(MakeFile("two.mp3", 4096), "Two")};
    const std::vector<std::string> fine = {kOk, kBurnFailed};
    const std::string access = "There was an error while trying to access the drive!";
    const std::string format = "Unknown CD format!";
    const struct Case {
        std::string missing;  // empty: the complete engine
        std::vector<std::string> boxes;
        std::set<std::string> leaked;
        DWORD version = 5599;  // what NeroGetAPIVersion answers when present
    } cases[] = {
        {"", fine, {}},
        {"NeroGetAPIVersionEx", {OldEngineNotice(5, 5, 9, 9), kOk, kBurnFailed}, {}},
        {"NeroSetExpectedAPIVersionEx", fine, {}},
        // An engine that cannot tell its number counts as older: the stand-in reads the older
        // device record it then gets.
        {"NeroGetAPIVersion", fine, {}, 0},
        {"NeroSetExpectedAPIVersion", fine, {}},
        {"NeroInit", fine, {}},
        {"NeroDone", fine, {}},
        {"NeroGetAvailableDrivesEx", {kNoDrive}, {}},
        {"NeroOpenDevice", {access, access}, {}},
        {"NeroCloseDevice", fine, {"device"}},
        {"NeroGetCDInfo", fine, {}},
        {"NeroImportIsoTrackEx", fine, {}},
        {"NeroFreeCDStamp", fine, {}},
        {"NeroCreateIsoItemOfSize", {"Out of memory!", kBurnFailed}, {}},
        {"NeroFreeIsoItem", fine, {"isoitem"}},
        {"NeroCreateIsoTrackEx", {"Failed to create ISO track!", kBurnFailed}, {}},
        {"NeroFreeIsoTrack", fine, {"isotrack"}},
        {"NeroBurn", {format, format}, {}},
        {"NeroGetLastError", fine, {}},
        {"NeroClearErrors", fine, {}},
        {"NeroFreeMem", fine, {"drivelist", "waittext", "errortext"}},
        {"NeroGetLocalizedWaitCDTexts", fine, {}},
    };
    std::set<std::string> covered;
    for (const Case& c : cases) {
        if (!c.missing.empty()) covered.insert(c.missing);
    }
    EXPECT_EQ(covered, VariantsWithoutAnEntryPoint()) << "every variant of the stand-in has its row";

    for (const Case& c : cases) {
        SCOPED_TRACE(c.missing.empty() ? "complete engine" : "without " + c.missing);
        engine_ = c.missing.empty() ? std::make_unique<EngineStandin>() : std::make_unique<EngineStandin>(c.missing);
        engine_->PointRegistry();
        const auto scenario = [&] {
            return TwoRecorders().Version(c.version).WaitText("Insert a blank disc").Progress(50).UserDialog(15, 3);
        };
        const size_t before = boxes_->Count();
        StartPlugin(playlist, scenario());
        host_->SendCommand(8000);
        if (c.boxes.front() == kNoDrive) {
            ASSERT_TRUE(WaitForBoxes(before + 1, 60000));
            EXPECT_TRUE(WaitForBurnDialogGone());
        } else {
            HWND dialog = WaitForBurnDialog();
            ASSERT_NE(dialog, nullptr);
            ChooseComboItem(dialog, IDC_TYPE_BOX, 1);
            BurnAndWait(dialog);
            engine_->Use(scenario().BurnResult(3).LastError("Laser fault"));
            ChooseComboItem(dialog, IDC_TYPE_BOX, 0);
            BurnAndWait(dialog);
            EXPECT_TRUE(CloseDialog(dialog));
        }
        StopPlugin();
        EXPECT_EQ(TextsSince(*boxes_, before), c.boxes);

        const EngineLog log = engine_->ReadLog();
        std::set<std::string> leaked;
        for (const EngineLogEntry& report : log.LedgerReports()) {
            EXPECT_EQ(report.name, "leak") << report.line;
            leaked.insert(report.Get("kind"));
        }
        EXPECT_EQ(leaked, c.leaked);
        for (const EngineLogEntry& device : log.Records("device"))
            EXPECT_EQ(device.Get("layout"), c.version >= 5555 ? "current" : "older");
        if (c.missing == "NeroSetExpectedAPIVersionEx") {
            ASSERT_EQ(log.CallCount("NeroSetExpectedAPIVersion"), 1u);
            EXPECT_EQ(log.Calls("NeroSetExpectedAPIVersion")[0].Int("version"), 5599);
        }
    }
    // The fixture checks its own stand-in's ledger at the end.
    engine_ = std::make_unique<EngineStandin>();
}

// The drive box shows what the list offers, at most 26 labels of at most 63 characters, and a
// burn from any of them opens that very recorder.
TEST_F(EngineFaultsTest, DriveListsOfEveryShapeOfferWhatFitsAndBurnTheChosenRecorder) {
    const auto drive = [](const std::string& name, int letter) {
        StandinDrive recorder;
        recorder.name = name;
        recorder.letter = static_cast<char>(letter);
        return recorder;
    };
    const auto recorders = [&](int count) {
        EngineScenario scenario;
        for (int i = 0; i < count; ++i) scenario.AddDrive(drive("Recorder " + std::to_string(100 + i), 'A' + i % 26));
        return scenario;
    };
    const auto withLongName = [&](const std::string& name) {
        return EngineScenario().AddDrive(drive("Short", 'D')).AddDrive(drive(name, 'G'));
    };
    const std::string name63 = "Optiarc DVD RW AD-7170A, firmware 1.02, " + std::string(23, 'x');
    const std::string name64 = "Optiarc DVD RW AD-7170A, firmware 1.02, " + std::string(24, 'y');
    const auto upper = [](std::string text) {
        CharUpperA(&text[0]);
        return text;
    };
    const struct Case {
        const char* what;
        EngineScenario scenario;
        size_t labels;
        std::string lastLabel;
        const char* result;
        int opened;  // the index in the list of the recorder opened, -1 for none
        std::string openedName;
    } cases[] = {
        {"an empty list", EngineScenario(), 0, "", "Drive was not found!", -1, ""},
        {"26 recorders", recorders(26), 26, "Z: RECORDER 125", kOk, 25, "Recorder 125"},
        {"40 recorders", recorders(40), 26, "Z: RECORDER 125", kOk, 25, "Recorder 125"},
        {"a name of 63 characters", withLongName(name63), 2, "G: " + upper(name63.substr(0, 60)), kOk, 1, name63},
        {"a name filling its 64 bytes", withLongName(name64), 2, "G: " + upper(name64.substr(0, 60)), kOk, 1, name64},
    };
    ASSERT_EQ(name63.size(), 63u);
    ASSERT_EQ(name64.size(), 64u);
    StartPlugin(OneTrack(), TwoRecorders());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        engine_->Use(c.scenario);
        HWND dialog = OpenDialog();
        ASSERT_NE(dialog, nullptr);
        const std::vector<std::string> labels = ComboItems(dialog, IDC_DRIVE_BOX);
        EXPECT_EQ(labels.size(), c.labels);
        if (!labels.empty()) {
            EXPECT_EQ(labels.back(), c.lastLabel);
            ChooseComboItem(dialog, IDC_DRIVE_BOX, static_cast<int>(labels.size()) - 1);
        }
        engine_->ClearLog();
        EXPECT_EQ(BurnAndWait(dialog).text, c.result);
        const std::vector<EngineLogEntry> devices = engine_->ReadLog().Records("device");
        ASSERT_EQ(devices.size(), c.opened < 0 ? 0u : 1u);
        if (c.opened >= 0) {
            EXPECT_EQ(devices[0].Int("listIndex"), c.opened);
            EXPECT_EQ(devices[0].Get("name"), c.openedName);
        }
        ASSERT_TRUE(CloseDialog(dialog));
    }
}

// Exit during a burn the engine is still busy with: No lets it run on, Yes aborts it. The engine
// goes on calling back after the abort and, from a thread of its own, after the burn returned:
// while the result is shown, and once the dialog is closed.
TEST_F(EngineFaultsTest, LongBurnAnsweredNoThenYesAndCallbacksThatComeLate) {
    LongBurn burn;
    ScriptEvent lateStart("late-start"), lateShown("late-shown"), lateAgain("late-again"), lateDone("late-done");
    StartPlugin(OneTrack(), burn.Script(TwoRecorders())
                                .AfterBurn()
                                .WaitForEvent(lateStart.name())
                                .Progress(90)
                                .Phase("Late phase")
                                .SignalEvent(lateShown.name())
                                .WaitForEvent(lateAgain.name())
                                .Progress(95)
                                .Phase("Later still")
                                .Idle()
                                .SignalEvent(lateDone.name()));
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    std::atomic<int> questions{0};
    std::atomic<bool> lateLanded{false};
    boxes_->SetAnswer([&](const SeenBox& box) {
        if (box.text == kCancelQuestion) return ++questions == 1 ? IDNO : IDYES;
        if (box.text == kUserAborted) {
            lateStart.Set();
            lateLanded = WaitForSingleObject(lateShown.handle(), 30000) == WAIT_OBJECT_0 &&
                         ControlText(dialog, IDC_STATUS) == "Late phase" && ProgressPosition(dialog) == 90;
        }
        return IDOK;
    });
    engine_->ClearLog();
    const size_t before = boxes_->Count();
    PostButtonCommand(dialog, IDC_BURN_BUTTON);
    ASSERT_TRUE(PumpUntilSignalled(burn.atFirstHold.handle()));
    // A media mismatch without a record and a wait for a disc without a text show nothing.
    EXPECT_EQ(ProgressPosition(dialog), 10);
    EXPECT_EQ(ControlText(dialog, IDC_STATUS), "Writing");
    const LongBurn::Seen seen = burn.Play(dialog, *boxes_, before, true);
    ASSERT_EQ(seen.stuckAt, "");
    EXPECT_EQ(seen.progressAtSecondHold, 50);
    EXPECT_EQ(seen.statusAtSecondHold, "Last detected media: \nRequested media: ");

    EXPECT_EQ(TextsSince(*boxes_, before), (std::vector<std::string>{kCancelQuestion, kCancelQuestion, kUserAborted}));
    EXPECT_TRUE(lateLanded) << "callbacks after the burn reach the dialog while its result is shown";
    EXPECT_TRUE(DialogLooksIdle(dialog)) << "and the idle look that follows replaces what they wrote";
    EngineLog log = engine_->ReadLog();
    // The engine hears of the abort at its first callback after the Yes, and after the burn too.
    EXPECT_EQ(ProgressAnswers(log), (std::vector<std::pair<long long, long long>>{{10, 0}, {50, 0}, {70, 1}, {90, 1}}));
    ASSERT_EQ(log.Steps("wait").size(), 1u);
    EXPECT_EQ(log.Steps("wait")[0].Get("by"), "aborted");
    EXPECT_EQ(log.Result("NeroBurn").Int("result"), 6);
    EXPECT_EQ(log.Result("NeroGetLocalizedWaitCDTexts").Get("result"), "null");
    for (const EngineLogEntry& step : log.Steps("user_dialog")) EXPECT_EQ(step.Int("result"), 0) << step.line;

    // Late callbacks into a closed dialog reach nothing, and the next dialog is whole.
    ASSERT_TRUE(CloseDialog(dialog));
    lateAgain.Set();
    ASSERT_TRUE(PumpUntilSignalled(lateDone.handle())) << "the engine's thread got stuck calling back";
    log = engine_->ReadLog();
    ASSERT_FALSE(log.Steps("progress").empty());
    EXPECT_EQ(log.Steps("progress").back().Int("percent"), 95);
    dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ControlText(dialog, IDC_STATUS).substr(0, 11), "1 Track(s),");
    EXPECT_EQ(ProgressPosition(dialog), 0);
    EXPECT_TRUE(CloseDialog(dialog));
}

// The player shuts down while the engine holds the burn, while an engine box stands over the
// player's window, while the result is shown, and while "No valid drive found !" is shown.
// Shutdown's Exit asks the user like the Exit button while the engine works (not once the result
// shows: nothing is left to cancel); whatever the answer, the dialog closes itself once the result
// has been seen, the plug-in ends in order, and no box is lost or shown twice.
TEST_F(EngineFaultsTest, ShutdownInTheMiddleOfEachEndsInOrderOnceTheDialogIsClosed) {
    const LongBurn longBurn;
    enum class Release { None, AfterQuestion, AfterShutdownBegan };
    const struct Case {
        const char* what;
        EngineScenario scenario;
        bool dialogOpens;
        bool isLongBurn;
        const char* heldBox;  // held open until the release
        Release release;
        std::vector<int> questionAnswers;
        std::vector<std::string> boxes;
    } cases[] = {
        {"a long burn", longBurn.Script(TwoRecorders()), true, true, nullptr, Release::None, {IDNO, IDYES},
         {kCancelQuestion, kCancelQuestion, kUserAborted}},
        {"an engine box over the player", TwoRecorders().Progress(20).UserDialog(13).Progress(60), true, false,
         kTooMuchData, Release::AfterQuestion, {IDNO}, {kCancelQuestion, kTooMuchData, kOk}},
        {"the result box", TwoRecorders(), true, false, kOk, Release::AfterShutdownBegan, {}, {kOk}},
        {"no valid drive", TwoRecorders().NoDriveList(), false, false, kNoDrive, Release::AfterShutdownBegan, {},
         {kNoDrive}},
    };
    std::atomic<size_t> questions{0};
    std::atomic<bool> heldShown{false};
    const Case* current = nullptr;
    boxes_->SetAnswer([&](const SeenBox& box) {
        if (box.text == kCancelQuestion) {
            const size_t n = questions++;
            return n < current->questionAnswers.size() ? current->questionAnswers[n] : IDNO;
        }
        if (current->heldBox != nullptr && box.text == current->heldBox) {
            heldShown = true;
            const bool released = current->release == Release::AfterQuestion ? questions > 0
                                                                             : ReadSettingNumber(kCrashGuard) == 0;
            if (!released) return 0;
        }
        return IDOK;
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        current = &c;
        questions = 0;
        heldShown = false;
        const size_t before = boxes_->Count();
        engine_->ClearLog();
        StartPlugin(OneTrack(), c.scenario);
        HWND dialog = nullptr;
        if (c.dialogOpens) {
            dialog = OpenDialog();
            ASSERT_NE(dialog, nullptr);
            PostButtonCommand(dialog, IDC_BURN_BUTTON);
        } else {
            host_->SendCommand(8000);
        }
        ASSERT_TRUE(c.isLongBurn ? PumpUntilSignalled(longBurn.atFirstHold.handle())
                                 : PumpUntil([&] { return heldShown.load(); }));

        // The user, while the player's thread sits in shutdown. Nothing here may send to the
        // player's window: its thread stops answering once shutdown returns.
        LongBurn::Seen seen;
        std::atomic<bool> closedItself{true};
        std::thread user([&] {
            if (c.isLongBurn) seen = longBurn.Play(dialog, *boxes_, before, false);
            if (dialog == nullptr) return;
            if (PumpUntil([&] { return !IsWindow(dialog); }, 60000)) return;
            // Closed by hand, so that a fault fails the test instead of hanging it.
            closedItself = false;
            while (IsWindow(dialog)) {
                PostButtonCommand(dialog, IDC_EXIT_BUTTON);
                PumpUntil([&] { return !IsWindow(dialog); }, 500);
            }
        });
        host_->Shutdown();
        const bool goneWhenShutdownReturned = dialog == nullptr || !IsWindow(dialog);
        user.join();

        EXPECT_TRUE(goneWhenShutdownReturned) << "shutdown returned while the dialog was still open";
        EXPECT_EQ(TextsSince(*boxes_, before), c.boxes);
        EXPECT_EQ(seen.stuckAt, "");
        EXPECT_TRUE(closedItself) << "the dialog waited for an Exit nobody can give";
        EXPECT_EQ(FindBurnDialog(false), nullptr);
        EXPECT_EQ(ReadSettingNumber(kCrashGuard), 0u);
        EXPECT_EQ(engine_->ReadLog().CallCount("NeroDone"), 1u);
        host_->Unload(preloaded_ ? 0 : 10000);
    }
    boxes_->SetAnswer(BoxWatcher::PressDefault);
}
