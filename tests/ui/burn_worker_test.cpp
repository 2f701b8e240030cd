// Burns started from the dialog's Burn button on the built plug-in, seen from the stand-in
// engine's log and from the boxes the user gets.

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <regex>
#include <set>

#include "resources/resource.h"
#include "support/burn_dialog_fixture.h"
#include "ui/burn_worker.h"

namespace {

using BurnWorkerTest = BurnDialogFixture;

standin::Playlist NamedTracks(const std::vector<std::string>& files, const std::vector<bool>& selected = {}) {
    standin::Playlist playlist;
    for (size_t i = 0; i < files.size(); ++i)
        playlist.tracks.push_back(BurnDialogFixture::Track(files[i], "T" + std::to_string(i), 60,
                                                           selected.empty() || selected[i]));
    return playlist;
}

// Plays a user who clicks at the very first moment the dialog looks idle after a burn: a hook on
// the dialog's thread looks after every message that thread handles and, once the look has
// turned from busy to idle, has the next command of its script handled at once, before anything
// else the thread would handle next. One instance at a time.
class ClicksAtFirstIdleMoment {
public:
    ClicksAtFirstIdleMoment(HWND dialog, std::vector<int> script) {
        state_ = State{dialog, std::move(script)};
        hook_ = SetWindowsHookExA(WH_CALLWNDPROCRET, Hook, nullptr, GetWindowThreadProcessId(dialog, nullptr));
    }
    ~ClicksAtFirstIdleMoment() {
        if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    }
    bool installed() const { return hook_ != nullptr; }
    // Read once the dialog's thread is done with the dialog.
    size_t clicks() const { return state_.next; }

private:
    struct State {
        HWND dialog = nullptr;
        std::vector<int> script;
        size_t next = 0;
        bool sawBusy = false;
        bool inside = false;
    };

    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        State& s = state_;
        if (code == HC_ACTION && !s.inside && s.next < s.script.size()) {
            s.inside = true;
            if (ExitButtonFace(s.dialog) == ExitFace::Cancel) s.sawBusy = true;
            if (s.sawBusy && DialogLooksIdle(s.dialog)) {
                s.sawBusy = false;
                SendButtonCommand(s.dialog, s.script[s.next++]);
            }
            s.inside = false;
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static State state_;
    HHOOK hook_ = nullptr;
};
ClicksAtFirstIdleMoment::State ClicksAtFirstIdleMoment::state_;

void ExpectResultBox(const SeenBox& box, HWND dialog, const std::string& text) {
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, "Tolvane");
    EXPECT_EQ(box.icon, "information");
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(box.owner, dialog);
}

}  // namespace

TEST(BurnWorkerParts, RecorderNameAndVolumeLabel) {
    EXPECT_EQ(RecorderNameFromLabel("E: _NEC DVD_RW ND-3520A"), "_NEC DVD_RW ND-3520A");
    EXPECT_EQ(RecorderNameFromLabel("E:"), "");
    EXPECT_EQ(RecorderNameFromLabel(""), "");
    EXPECT_EQ(VolumeLabelFromTicks(0), "QCD0000");
    EXPECT_EQ(VolumeLabelFromTicks(0xABCD), "QCDabcd");
    EXPECT_EQ(VolumeLabelFromTicks(0xFFFF), "QCD0000");  // modulo 0xffff, so never "ffff"
    EXPECT_EQ(VolumeLabelFromTicks(0x1FFFD), "QCDfffe");
}

TEST_F(BurnWorkerTest, AudioBurnTakesTheChosenTracksGapAndOptions) {
    const std::vector<std::string> files = {"Z:\\m\\a.wav", "Z:\\m\\skip.wav", "Z:\\m\\b.MP3", "Z:\\m\\c.wma"};
    StartPlugin(NamedTracks(files, {true, false, true, true}), TwoRecorders().Progress(40).Phase("Writing"));
    HWND dialog = OpenDialog(8001);
    ASSERT_NE(dialog, nullptr);
    ChooseComboItem(dialog, IDC_DRIVE_BOX, 1);

    // A gap above 5 is burned, shown and saved as 5.
    SetControlText(dialog, IDC_GAP, "9");
    engine_->ClearLog();
    ExpectResultBox(BurnAndWait(dialog), dialog, "Ok.");
    EXPECT_EQ(ControlText(dialog, IDC_GAP), "5");
    EXPECT_EQ(ReadSettingNumber("Audio Gap"), 5u);

    EngineLog log = engine_->ReadLog();
    const auto devices = log.Records("device");
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].Get("name"), "_NEC DVD_RW ND-3520A");
    const auto burns = log.Calls("NeroBurn");
    ASSERT_EQ(burns.size(), 1u);
    EXPECT_EQ(burns[0].Int("format"), 0);
    EXPECT_EQ(burns[0].Int("flags"), 0xCA) << "simulated, underrun protection on";
    ASSERT_EQ(log.Records("audio").size(), 1u);
    EXPECT_EQ(log.Records("audio")[0].Int("count"), 3);
    const auto tracks = log.Records("audiotrack");
    ASSERT_EQ(tracks.size(), 3u);
    const struct {
        const char* file;
        int kind;
        int pause;
    } expected[] = {{"Z:\\m\\a.wav", 0, 150}, {"Z:\\m\\b.MP3", 2, 375}, {"Z:\\m\\c.wma", 3, 375}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(tracks[i].Get("file"), expected[i].file) << i;
        EXPECT_EQ(tracks[i].Int("kind"), expected[i].kind) << i;
        EXPECT_EQ(tracks[i].Int("pause"), expected[i].pause) << i;
    }

    // Written for real without protection, and an empty gap burns as 0.
    ClickCheckBox(dialog, IDC_UNDERRUN, false);
    ClickCheckBox(dialog, IDC_SIMULATE, false);
    SetControlText(dialog, IDC_GAP, "");
    engine_->ClearLog();
    ExpectResultBox(BurnAndWait(dialog), dialog, "Ok.");
    EXPECT_EQ(ControlText(dialog, IDC_GAP), "0");
    EXPECT_EQ(ReadSettingNumber("Audio Gap"), 0u);
    log = engine_->ReadLog();
    ASSERT_EQ(log.CallCount("NeroBurn"), 1u);
    EXPECT_EQ(log.Calls("NeroBurn")[0].Int("flags"), 0x8C);
    const auto second = log.Records("audiotrack");
    ASSERT_EQ(second.size(), 3u);
    EXPECT_EQ(second[1].Int("pause"), 0);
    EXPECT_TRUE(CloseDialog(dialog));
}

TEST_F(BurnWorkerTest, DataBurnNamesTheTrackAndCarriesEveryFile) {
    const std::vector<std::string> files = {MakeFile("first.wav", 1000), MakeFile("second.mp3", 2000)};
    StartPlugin(NamedTracks(files), TwoRecorders());
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    ChooseComboItem(dialog, IDC_TYPE_BOX, 1);
    engine_->ClearLog();
    ExpectResultBox(BurnAndWait(dialog), dialog, "Ok.");

    const EngineLog log = engine_->ReadLog();
    ASSERT_EQ(log.CallCount("NeroBurn"), 1u);
    EXPECT_EQ(log.Calls("NeroBurn")[0].Int("flags"), 0x1DA);
    EXPECT_EQ(log.Records("audio")[0].Int("count"), 0);
    const auto isoTracks = log.Calls("NeroCreateIsoTrackEx");
    ASSERT_EQ(isoTracks.size(), 1u);
    const std::string label = isoTracks[0].Get("name");
    EXPECT_TRUE(std::regex_match(label, std::regex("QCD[0-9a-f]{4}"))) << label;
    std::set<std::string> names;
    for (const auto& item : log.Records("isoitem")) names.insert(item.Get("name"));
    EXPECT_EQ(names, (std::set<std::string>{"first.wav", "second.mp3"}));
    EXPECT_TRUE(CloseDialog(dialog));
}

// An audio CD holds 99 tracks: with more chosen the user is asked before anything is written, and
// No leaves the recorder alone. A data disc takes every file without a question.
TEST_F(BurnWorkerTest, MoreTracksThanAnAudioCdHoldsAreBurnedOnlyAfterTheUsersYes) {
    const std::string question =
        "An audio CD holds 99 tracks, and 120 tracks are chosen.\nDo you want to burn the first 99?";
    std::vector<std::string> files;
    for (int i = 0; i < 120; ++i) files.push_back(MakeFile("t" + std::to_string(i) + ".wav", 10));
    const struct {
        const char* what;
        int type;
        size_t tracks;
        int answer;
        std::vector<std::string> boxes;
        size_t burnedTracks;  // audio entries the engine got; 0: no burn at all
        size_t dataFiles;
    } cases[] = {
        {"audio, Yes", 0, 120, IDYES, {question, "Ok."}, 99, 0},
        {"audio, No", 0, 120, IDNO, {question}, 0, 0},
        {"audio, 99 tracks", 0, 99, IDNO, {"Ok."}, 99, 0},
        {"data", 1, 120, IDNO, {"Ok."}, 0, 120},
    };
    StartPlugin(NamedTracks(files), TwoRecorders());
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        host_->SetPlaylist(NamedTracks(std::vector<std::string>(files.begin(), files.begin() + c.tracks)));
        SetComboSelection(dialog, IDC_TYPE_BOX, c.type);
        boxes_->SetAnswer([&](const SeenBox& box) { return box.hasButton(IDNO) ? c.answer : IDOK; });
        engine_->ClearLog();
        const size_t before = boxes_->Count();
        BurnAndWait(dialog);
        const auto seen = boxes_->Seen();
        std::vector<std::string> texts;
        for (size_t i = before; i < seen.size(); ++i) texts.push_back(seen[i].text);
        EXPECT_EQ(texts, c.boxes);
        if (seen.size() > before && seen[before].text == question) {
            EXPECT_EQ(seen[before].caption, "Tolvane");
            EXPECT_EQ(seen[before].buttons, (std::vector<int>{IDYES, IDNO}));
            EXPECT_EQ(seen[before].owner, dialog);
        }
        const EngineLog log = engine_->ReadLog();
        const bool burned = c.burnedTracks != 0 || c.dataFiles != 0;
        EXPECT_EQ(log.CallCount("NeroOpenDevice"), burned ? 1u : 0u);
        EXPECT_EQ(log.CallCount("NeroBurn"), burned ? 1u : 0u);
        const auto tracks = log.Records("audiotrack");
        ASSERT_EQ(tracks.size(), c.burnedTracks);
        if (!tracks.empty()) {
            EXPECT_EQ(tracks.back().Get("file"), files[98]);
        }
        EXPECT_EQ(log.Records("isoitem").size(), c.dataFiles);
        EXPECT_TRUE(DialogLooksIdle(dialog));
    }
    boxes_->SetAnswer(BoxWatcher::PressDefault);
    EXPECT_TRUE(CloseDialog(dialog));
}

TEST_F(BurnWorkerTest, ResultBoxTellsEveryOutcomeAndTheDialogComesBackIdle) {
    StartPlugin(NamedTracks({"Z:\\m\\a.wav", "Z:\\m\\b.wav"}), TwoRecorders());
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    enum Setup { kNone, kNoDrive, kNoType, kOggTrack, kLongPath };
    // 259 characters, the longest path the player hands over; no such file, so no short form.
    const std::string longPath = "Z:\\m\\" + std::string(250, 'x') + ".wav";
    const struct {
        const char* what;
        EngineScenario scenario;
        Setup setup;
        std::string message;
    } cases[] = {
        {"no recorder chosen", TwoRecorders(), kNoDrive, "Drive was not found!"},
        {"success", TwoRecorders().Progress(70).Phase("Writing"), kNone, "Ok."},
        {"recorder refused", TwoRecorders().OpenDeviceSucceeds(false), kNone,
         "There was an error while trying to access the drive!"},
        {"no disc type", TwoRecorders(), kNoType, "Internal error!"},
        {"unknown file type", TwoRecorders(), kOggTrack, "File type is unknown!"},
        {"a path too long for the disc", TwoRecorders(), kLongPath,
         "The path of this file is too long for the disc:\n" + longPath},
        {"engine 1", TwoRecorders().BurnResult(1), kNone, "Unknown CD format!"},
        {"engine 2", TwoRecorders().BurnResult(2), kNone, "Invalid drive!"},
        {"engine 3", TwoRecorders().BurnResult(3).LastError("Laser fault"), kNone, "Burn process failed!"},
        {"engine 3, a long engine text", TwoRecorders().BurnResult(3).LastError(std::string(10000, 'L')), kNone,
         "Burn process failed!"},
        {"engine 4", TwoRecorders().BurnResult(4), kNone, "Function was not allowed!"},
        {"engine 5", TwoRecorders().BurnResult(5), kNone, "Drive was not allowed!"},
        {"engine 6", TwoRecorders().BurnResult(6), kNone, "User aborted!"},
        {"engine 7", TwoRecorders().BurnResult(7), kNone, "Internal error!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        engine_->Use(c.scenario);
        const std::string second = c.setup == kOggTrack ? "Z:\\m\\b.ogg" : c.setup == kLongPath ? longPath : "Z:\\m\\b.wav";
        host_->SetPlaylist(NamedTracks({"Z:\\m\\a.wav", second}));
        if (c.setup == kNoDrive) SetComboSelection(dialog, IDC_DRIVE_BOX, -1);
        if (c.setup == kNoType) SetComboSelection(dialog, IDC_TYPE_BOX, -1);
        engine_->ClearLog();
        const size_t before = boxes_->Count();
        ExpectResultBox(BurnAndWait(dialog), dialog, c.message);
        EXPECT_EQ(boxes_->Count(), before + 1) << "exactly one box per burn";
        EXPECT_EQ(engine_->ReadLog().CallCount("NeroGetLastError"), c.message == "Ok." ? 0u : 1u)
            << "the engine is asked for its last error once per failure";
        if (c.setup == kNoType || c.setup == kNoDrive || c.setup == kLongPath) {
            EXPECT_EQ(engine_->ReadLog().CallCount("NeroBurn"), 0u);
        }
        SetComboSelection(dialog, IDC_DRIVE_BOX, 0);
        SetComboSelection(dialog, IDC_TYPE_BOX, 0);
    }
    EXPECT_TRUE(CloseDialog(dialog));
}

TEST_F(BurnWorkerTest, CancelWithYesAbortsTheBurn) {
    StartPlugin(NamedTracks({"Z:\\m\\a.wav"}), TwoRecorders().Progress(60).Phase("Writing").WaitUntilAborted(30000));
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    engine_->ClearLog();
    PostButtonCommand(dialog, 1);
    ASSERT_TRUE(PumpUntil([&] { return ControlText(dialog, IDC_STATUS) == "Writing"; }));
    EXPECT_EQ(ProgressPosition(dialog), 60);
    EXPECT_EQ(ButtonBitmapWidth(dialog, IDC_EXIT_BUTTON), 52) << "the Cancel face";

    PostButtonCommand(dialog, 2);
    ASSERT_TRUE(WaitForBoxes(2, 30000));
    const auto seen = boxes_->Seen();
    EXPECT_EQ(seen[0].text, "Do you want to cancel now ?");
    EXPECT_EQ(seen[0].icon, "question");
    EXPECT_EQ(seen[0].buttons, (std::vector<int>{IDYES, IDNO}));
    ExpectResultBox(seen[1], dialog, "User aborted!");
    ASSERT_TRUE(PumpUntil([&] { return DialogLooksIdle(dialog); }));
    const auto waits = engine_->ReadLog().Steps("wait");
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_EQ(waits[0].Get("aborted"), "1");
    EXPECT_TRUE(IsWindowVisible(dialog)) << "a cancelled burn leaves the dialog open";
    EXPECT_TRUE(CloseDialog(dialog));
}

TEST_F(BurnWorkerTest, CancelWithNoAndTheCloseButtonLeaveTheBurnRunning) {
    StartPlugin(NamedTracks({"Z:\\m\\a.wav"}), TwoRecorders().Progress(10).WaitUntilAborted(3000));
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    boxes_->SetAnswer([](const SeenBox& box) { return box.hasButton(IDNO) ? IDNO : IDOK; });
    engine_->ClearLog();
    PostButtonCommand(dialog, 1);
    ASSERT_TRUE(PumpUntil([&] { return ProgressPosition(dialog) == 10; }));
    PostCloseButton(dialog);
    SendButtonCommand(dialog, 1);  // a second Burn while busy does nothing
    PostButtonCommand(dialog, 2);
    ASSERT_TRUE(WaitForBoxes(2, 30000));
    ASSERT_TRUE(PumpUntil([&] { return DialogLooksIdle(dialog); }));
    const auto seen = boxes_->Seen();
    EXPECT_EQ(seen[0].text, "Do you want to cancel now ?");
    EXPECT_EQ(seen[1].text, "Ok.");
    const EngineLog log = engine_->ReadLog();
    EXPECT_EQ(log.CallCount("NeroBurn"), 1u);
    ASSERT_EQ(log.Steps("wait").size(), 1u);
    EXPECT_EQ(log.Steps("wait")[0].Get("aborted"), "0");
    EXPECT_TRUE(IsWindowVisible(dialog));

    // Idle, the close button closes it.
    PostCloseButton(dialog);
    EXPECT_TRUE(WaitForBurnDialogGone());
}

// The burn ends while "Do you want to cancel now ?" is open and unanswered: the question is gone
// before the outcome shows, counts as No, and the dialog is idle and open afterwards.
TEST_F(BurnWorkerTest, CancelQuestionStillOpenWhenTheBurnEndsIsWithdrawnBeforeTheOutcome) {
    ScriptEvent atHold("at-hold"), hold("hold");
    StartPlugin(NamedTracks({"Z:\\m\\a.wav"}),
                TwoRecorders().Progress(40).SignalEvent(atHold.name()).WaitForEvent(hold.name()).Progress(100));
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    std::atomic<HWND> question{nullptr};
    std::atomic<int> questionVisibleAtOutcome{-1};
    boxes_->SetAnswer([&](const SeenBox& box) {
        if (box.text == "Do you want to cancel now ?") {
            question = box.window;
            return 0;  // the user does not answer
        }
        if (questionVisibleAtOutcome < 0) questionVisibleAtOutcome = IsWindowVisible(question.load()) ? 1 : 0;
        return IDOK;
    });
    engine_->ClearLog();
    const size_t before = boxes_->Count();
    PostButtonCommand(dialog, IDC_BURN_BUTTON);
    ASSERT_TRUE(PumpUntilSignalled(atHold.handle()));
    PostButtonCommand(dialog, IDC_EXIT_BUTTON);
    ASSERT_TRUE(PumpUntil([&] { return question.load() != nullptr; }));
    hold.Set();
    ASSERT_TRUE(PumpUntil([&] { return boxes_->Count() > before && DialogLooksIdle(dialog); }));
    EXPECT_EQ(questionVisibleAtOutcome.load(), 0) << "the question stood beside the outcome";
    EXPECT_FALSE(IsWindow(question.load()));
    // The withdrawn question may or may not have been read before it went; the outcome is the one other box.
    std::vector<std::string> outcomes;
    const auto seen = boxes_->Seen();
    for (size_t i = before; i < seen.size(); ++i)
        if (seen[i].text != "Do you want to cancel now ?") outcomes.push_back(seen[i].text);
    EXPECT_EQ(outcomes, std::vector<std::string>{"Ok."});
    EXPECT_EQ(engine_->ReadLog().Result("NeroBurn").Int("result"), 0);
    // No abort is left behind: the next burn runs to its end.
    engine_->Use(TwoRecorders().Progress(100));
    EXPECT_EQ(BurnAndWait(dialog).text, "Ok.");
    EXPECT_TRUE(IsWindowVisible(dialog));
    boxes_->SetAnswer(BoxWatcher::PressDefault);
    EXPECT_TRUE(CloseDialog(dialog));
}

TEST_F(BurnWorkerTest, BurnAndExitArrivingTogetherStartOneBurnAndKeepTheDialog) {
    StartPlugin(NamedTracks({"Z:\\m\\a.wav"}), TwoRecorders().WaitUntilAborted(1500));
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    boxes_->SetAnswer([](const SeenBox& box) { return box.hasButton(IDNO) ? IDNO : IDOK; });
    engine_->ClearLog();
    // Handled one after the other before the burn thread can have started.
    PostButtonCommand(dialog, 1);
    PostButtonCommand(dialog, 1);
    PostButtonCommand(dialog, 2);
    ASSERT_TRUE(WaitForBoxes(2, 30000));
    // All three were handled before the burn could end, so nothing more can come.
    ASSERT_TRUE(PumpUntil([&] { return DialogLooksIdle(dialog); }));
    const auto seen = boxes_->Seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, "Do you want to cancel now ?");
    EXPECT_EQ(seen[1].text, "Ok.");
    EXPECT_EQ(engine_->ReadLog().CallCount("NeroBurn"), 1u);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_TRUE(CloseDialog(dialog));
}

TEST_F(BurnWorkerTest, BurnAndExitAtTheFirstIdleMomentAreActedOn) {
    StartPlugin(NamedTracks({"Z:\\m\\a.wav"}), TwoRecorders().Progress(50).Phase("Writing"));
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    constexpr size_t kBurns = 30;
    std::vector<int> script(kBurns - 1, IDC_BURN_BUTTON);
    script.push_back(IDC_EXIT_BUTTON);
    ClicksAtFirstIdleMoment user(dialog, script);
    ASSERT_TRUE(user.installed());
    engine_->ClearLog();
    PostButtonCommand(dialog, IDC_BURN_BUTTON);

    // Every Burn starts the next burn, and the last Exit closes the dialog without asking.
    EXPECT_TRUE(WaitForBurnDialogGone(60000)) << "a click at the first idle moment was lost";
    EXPECT_EQ(user.clicks(), script.size());
    const auto seen = boxes_->Seen();
    EXPECT_EQ(seen.size(), kBurns);
    for (const SeenBox& box : seen) EXPECT_EQ(box.text, "Ok.");
    EXPECT_EQ(engine_->ReadLog().CallCount("NeroBurn"), kBurns);
}
