// The burn dialog as the user meets it: opened from the player's menu commands on the built
// plug-in, with the stand-in engine's recorders.

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>

#include "base/plugin_state.h"
#include "burn/burn_job.h"
#include "engine/engine_session.h"
#include "plugin/host_api.h"
#include "plugin/host_playlist.h"
#include "resources/resource.h"
#include "support/burn_dialog_fixture.h"
#include "support/plugin_module.h"
#include "ui/burn_dialog.h"

namespace {

const char* const kOldEngineText =
    "You are running an older version of Nero (%d.%d.%d.%d).\nYou may experience problems burning cds from the plugin.";

std::string OldEngineText(int a, int b, int c, int d) {
    char text[256];
    std::snprintf(text, sizeof text, kOldEngineText, a, b, c, d);
    return text;
}

standin::Playlist ThreeTracks() {
    standin::Playlist playlist;
    for (const char* name : {"one", "two", "three"})
        playlist.tracks.push_back(BurnDialogFixture::Track(std::string("Z:\\nowhere\\") + name + ".wav", name));
    return playlist;
}

using BurnDialogTest = BurnDialogFixture;

}  // namespace

TEST_F(BurnDialogTest, OpensFromEmptyRegistryWithDefaultsAndUpperCaseRecorders) {
    StartPlugin(ThreeTracks(), TwoRecorders());
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);

    EXPECT_TRUE(IsChecked(dialog, IDC_UNDERRUN));
    EXPECT_TRUE(IsChecked(dialog, IDC_SIMULATE));
    EXPECT_EQ(ControlText(dialog, IDC_GAP), "0");
    EXPECT_EQ(ComboItems(dialog, IDC_TYPE_BOX), (std::vector<std::string>{"Audio", "Data"}));
    EXPECT_EQ(ComboSelection(dialog, IDC_TYPE_BOX), 0);
    EXPECT_EQ(ComboItems(dialog, IDC_DRIVE_BOX),
              (std::vector<std::string>{"D: PLEXTOR PX-W4824A", "E: _NEC DVD_RW ND-3520A"}));
    EXPECT_EQ(ComboSelection(dialog, IDC_DRIVE_BOX), 0);
    EXPECT_EQ(ButtonBitmapWidth(dialog, IDC_BURN_BUTTON), 47);
    EXPECT_EQ(ButtonBitmapWidth(dialog, IDC_EXIT_BUTTON), 42) << "the Exit face";
    EXPECT_NE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), host_->mainWindow());

    // A current engine is never reported and its version is not recorded.
    EXPECT_EQ(boxes_->Count(), 0u);
    EXPECT_FALSE(HasSetting("LastVersionMajor"));
    EXPECT_FALSE(HasSetting("LastVersionMinor"));
    EXPECT_TRUE(CloseDialog(dialog));
}

TEST_F(BurnDialogTest, LastDriveSelectsTheFirstLabelItBegins) {
    StartPlugin(ThreeTracks(), TwoRecorders());
    const struct {
        const char* stored;
        int selected;
    } cases[] = {{"e: _nec", 1}, {"E: _NEC DVD_RW ND-3520A", 1}, {"d", 0}, {"Z: nothing", 0}, {"", 0}};
    for (const auto& c : cases) {
        WriteSetting("Last Drive", c.stored);
        HWND dialog = OpenDialog();
        ASSERT_NE(dialog, nullptr) << c.stored;
        EXPECT_EQ(ComboSelection(dialog, IDC_DRIVE_BOX), c.selected) << "Last Drive \"" << c.stored << "\"";
        ASSERT_TRUE(CloseDialog(dialog));
    }
}

TEST_F(BurnDialogTest, SavesSelectionsAndCheckBoxesAsTheyChange) {
    StartPlugin(ThreeTracks(), TwoRecorders());
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);

    ChooseComboItem(dialog, IDC_DRIVE_BOX, 1);
    EXPECT_EQ(ReadSetting("Last Drive"), "E: _NEC DVD_RW ND-3520A");
    EXPECT_EQ(ReadSettingNumber("Last Mode"), 0u);
    ChooseComboItem(dialog, IDC_TYPE_BOX, 1);
    EXPECT_EQ(ReadSettingNumber("Last Mode"), 1u);

    ClickCheckBox(dialog, IDC_UNDERRUN, false);
    EXPECT_EQ(ReadSettingNumber("Underrun"), 0u);
    EXPECT_EQ(ReadSettingNumber("Simulate"), 1u);
    ClickCheckBox(dialog, IDC_SIMULATE, false);
    EXPECT_EQ(ReadSettingNumber("Simulate"), 0u);
    ASSERT_TRUE(CloseDialog(dialog));

    // The next opening restores them.
    dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ComboSelection(dialog, IDC_DRIVE_BOX), 1);
    EXPECT_EQ(ComboSelection(dialog, IDC_TYPE_BOX), 1);
    EXPECT_FALSE(IsChecked(dialog, IDC_UNDERRUN));
    EXPECT_FALSE(IsChecked(dialog, IDC_SIMULATE));
    EXPECT_TRUE(CloseDialog(dialog));
}

TEST_F(BurnDialogTest, SummaryCountsChosenTracksTimeAndSize) {
    standin::Playlist playlist;
    playlist.tracks = {Track(MakeFile("a.wav", 4 << 20), "Alpha", 200), Track(MakeFile("b.wav", 1 << 20), "Left", 999, false),
                       Track(MakeFile("c.wav", 4 << 20), "Gamma", 250), Track(MakeFile("d.wav", 2 << 20), "Delta", 300)};
    StartPlugin(playlist, TwoRecorders());

    HWND dialog = OpenDialog(8001);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ControlText(dialog, IDC_STATUS),
              "3 Track(s), 12 min 30 sec\r\n10.0 MB\r\nArtist / Alpha\r\nArtist / Gamma\r\nArtist / Delta\r\n");
    ASSERT_TRUE(CloseDialog(dialog));

    // Sizes are summed whole (no wrap at 4 GiB); a missing file still counts as a track.
    playlist.tracks = {Track(MakeFile("big.wav", (4ull << 30) + (1 << 20)), "Big", 3000),
                       Track(folder_ + "\\missing.wav", "Missing", 725)};
    host_->SetPlaylist(playlist);
    dialog = OpenDialog(8000);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ControlText(dialog, IDC_STATUS),
              "2 Track(s), 1 hr 2 min 05 sec\r\n4097.0 MB\r\nArtist / Big\r\nArtist / Missing\r\n");
    ASSERT_TRUE(CloseDialog(dialog));

    // Seconds are summed whole too: no wrap past 2^31.
    playlist.tracks = {Track(folder_ + "\\long.wav", "Long", 2147483647), Track(folder_ + "\\hour.wav", "Hour", 3600)};
    host_->SetPlaylist(playlist);
    dialog = OpenDialog(8000);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ControlText(dialog, IDC_STATUS),
              "2 Track(s), 596524 hr 14 min 07 sec\r\n0.0 MB\r\nArtist / Long\r\nArtist / Hour\r\n");
    EXPECT_TRUE(CloseDialog(dialog));
}

TEST_F(BurnDialogTest, SummarySizesOnlyFilesThatAreThere) {
    const std::string file = MakeFile("real.wav", 1 << 20);
    // A folder named as a track, with something in it that a search of the name would find.
    ASSERT_TRUE(CreateDirectoryA((folder_ + "\\album.wav").c_str(), nullptr));
    MakeFile("album.wav\\inside.wav", 2 << 20);
    const struct {
        const char* what;
        std::string file;
        const char* megabytes;
    } cases[] = {
        {"a file", file, "1.0 MB"},
        {"a missing file", folder_ + "\\missing.wav", "0.0 MB"},
        {"a name no file has", folder_ + "\\nowhere\\real.wav", "0.0 MB"},
        {"a folder", folder_ + "\\album.wav", "0.0 MB"},
        {"a name with *", folder_ + "\\*.wav", "0.0 MB"},
        {"a name with ?", folder_ + "\\rea?.wav", "0.0 MB"},
    };
    StartPlugin(standin::Playlist(), TwoRecorders());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        standin::Playlist playlist;
        playlist.tracks = {Track(c.file, "A")};
        host_->SetPlaylist(playlist);
        HWND dialog = OpenDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(ControlText(dialog, IDC_STATUS), std::string("1 Track(s), 1 min 00 sec\r\n") + c.megabytes +
                                                      "\r\nArtist / A\r\n");
        ASSERT_TRUE(CloseDialog(dialog));
    }
}

TEST(BurnSummaryFormat, NoChosenTrackShowsZeros) {
    EXPECT_EQ(FormatBurnSummary(BurnSummary()), "0 Track(s), 0 min 00 sec\r\n0.0 MB\r\n");
}

TEST_F(BurnDialogTest, OldEngineIsReportedOncePerVersion) {
    StartPlugin(ThreeTracks(), TwoRecorders().VersionParts(5, 5, 9, 10));
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(boxes_->Count(), 1u);
    SeenBox notice = boxes_->Seen()[0];
    EXPECT_EQ(notice.caption, "Tolvane");
    EXPECT_EQ(notice.text, OldEngineText(5, 5, 9, 10));
    EXPECT_EQ(notice.icon, "information");
    EXPECT_EQ(notice.owner, dialog);
    EXPECT_EQ(ReadSettingNumber("LastVersionMajor"), 5u * 65536 + 5);
    EXPECT_EQ(ReadSettingNumber("LastVersionMinor"), 9u * 65536 + 10);
    ASSERT_TRUE(CloseDialog(dialog));

    dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(boxes_->Count(), 1u) << "the same old version was reported twice";
    ASSERT_TRUE(CloseDialog(dialog));

    engine_->Use(TwoRecorders().VersionParts(5, 5, 8, 0));
    dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(boxes_->Count(), 2u);
    EXPECT_EQ(boxes_->Seen()[1].text, OldEngineText(5, 5, 8, 0));
    EXPECT_TRUE(CloseDialog(dialog));
}

TEST_F(BurnDialogTest, NoRecorderListClosesTheDialogUnshown) {
    StartPlugin(ThreeTracks(), TwoRecorders().NoDriveList());
    host_->SendCommand(8000);
    ASSERT_TRUE(WaitForBoxes(1, 60000));
    const SeenBox box = boxes_->Seen()[0];
    EXPECT_EQ(box.text, "No valid drive found !");
    EXPECT_EQ(box.caption, "Tolvane");
    EXPECT_EQ(box.icon, "error");
    EXPECT_TRUE(WaitForBurnDialogGone());
    EXPECT_EQ(FindBurnDialog(), nullptr);
    // The worker is free again: the next command is answered.
    engine_->Use(TwoRecorders());
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(CloseDialog(dialog));
}

TEST_F(BurnDialogTest, NothingToBurnAsksForTracksInstead) {
    standin::Playlist noneSelected;
    noneSelected.tracks = {Track("Z:\\a.wav", "A", 10, false), Track("Z:\\b.wav", "B", 10, false)};
    StartPlugin(noneSelected, TwoRecorders());
    const struct {
        bool emptyPlaylist;
        UINT command;
    } cases[] = {{false, 8001}, {true, 8000}, {true, 8001}};
    size_t expected = 0;
    for (const auto& c : cases) {
        host_->SetPlaylist(c.emptyPlaylist ? standin::Playlist() : noneSelected);
        host_->SendCommand(c.command);
        ASSERT_TRUE(WaitForBoxes(++expected, 60000)) << "command " << c.command;
        const SeenBox box = boxes_->Seen().back();
        EXPECT_EQ(box.text, "Select some tracks first !");
        EXPECT_EQ(box.caption, "Tolvane");
        EXPECT_EQ(box.icon, "information");
        EXPECT_EQ(box.owner, host_->mainWindow());
        EXPECT_EQ(FindBurnDialog(false), nullptr);
    }
    EXPECT_EQ(engine_->ReadLog().CallCount("NeroGetAvailableDrivesEx"), 0u);
}

TEST_F(BurnDialogTest, ShutdownClosesAnIdleDialogAndReleasesTheSession) {
    StartPlugin(ThreeTracks(), TwoRecorders());
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    host_->Shutdown();
    EXPECT_FALSE(IsWindow(dialog));
    const EngineLog log = engine_->ReadLog();
    EXPECT_EQ(log.CallCount("NeroDone"), 1u);
    EXPECT_GE(log.CallCount("NeroClearErrors"), 1u);
    host_->Unload(preloaded_ ? 0 : 10000);
}

TEST_F(BurnDialogTest, ShutdownWhileTheDialogOpensClosesItOnceOpen) {
    StartPlugin(ThreeTracks(), TwoRecorders().VersionParts(5, 5, 9, 10));
    // The old-engine notice holds the dialog in its opening until shutdown has begun.
    std::atomic<bool> noticeShown{false};
    std::atomic<bool> shutdownCalled{false};
    boxes_->SetAnswer([&](const SeenBox&) {
        noticeShown = true;
        return shutdownCalled ? IDOK : 0;
    });
    host_->SendCommand(8000);
    ASSERT_TRUE(PumpUntil([&] { return noticeShown.load(); }));
    // Only if shutdown never sees the dialog: close it from outside, so the run cannot hang.
    UniqueEvent shutdownDone(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    std::atomic<bool> rescued{false};
    std::thread rescue([&] {
        if (WaitForSingleObject(shutdownDone.get(), 30000) == WAIT_OBJECT_0) return;
        rescued = true;
        if (HWND dialog = FindBurnDialog(false)) PostButtonCommand(dialog, 2);
    });
    shutdownCalled = true;
    host_->Shutdown();
    SetEvent(shutdownDone.get());
    rescue.join();
    EXPECT_FALSE(rescued) << "shutdown waited on a dialog that was still opening when it looked";
    EXPECT_EQ(FindBurnDialog(false), nullptr);
    EXPECT_EQ(engine_->ReadLog().CallCount("NeroDone"), 1u);
    host_->Unload(preloaded_ ? 0 : 10000);
}

TEST_F(BurnDialogTest, ACommandWhileTheDialogIsOpenAppliesToTheNextDialog) {
    standin::Playlist playlist = ThreeTracks();
    playlist.tracks[1].selected = false;
    playlist.tracks[2].selected = false;
    StartPlugin(playlist, TwoRecorders());
    HWND dialog = OpenDialog(8001);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ControlText(dialog, IDC_STATUS).substr(0, 11), "1 Track(s),");

    // What the open dialog shows is what it burns.
    host_->SendCommand(8000);
    engine_->ClearLog();
    BurnAndWait(dialog);
    const auto audio = engine_->ReadLog().Records("audio");
    ASSERT_EQ(audio.size(), 1u);
    EXPECT_EQ(audio[0].Int("count"), 1);

    // The waiting command opens the next dialog, for the whole playlist.
    PostButtonCommand(dialog, IDC_EXIT_BUTTON);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(dialog); }));
    dialog = WaitForBurnDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ControlText(dialog, IDC_STATUS).substr(0, 11), "3 Track(s),");
    EXPECT_TRUE(CloseDialog(dialog));
}

// Shutdown during a burn asks the cancel question; after No the burn runs to its end, and the
// dialog closes itself once the result has been dismissed: the player's window is gone, nobody is
// left to press Exit, and shutdown waits for the dialog.
TEST_F(BurnDialogTest, ShutdownDuringABurnAnsweredNoClosesTheDialogAfterTheResult) {
    ScriptEvent atHold("at-hold"), hold("hold");
    StartPlugin(ThreeTracks(),
                TwoRecorders().Progress(30).SignalEvent(atHold.name()).WaitForEvent(hold.name()).Progress(100));
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    std::atomic<bool> resultSeenOpen{false};
    boxes_->SetAnswer([&](const SeenBox& box) {
        if (box.hasButton(IDNO)) return IDNO;
        resultSeenOpen = IsWindow(dialog) != FALSE;
        return IDOK;
    });
    PostButtonCommand(dialog, 1);
    ASSERT_TRUE(PumpUntilSignalled(atHold.handle()));

    // The user's side while the player's thread sits in shutdown. Nothing here may send to the
    // player's window: its thread stops answering once shutdown returns.
    std::atomic<bool> closedItself{false};
    std::thread user([&] {
        if (boxes_->WaitForCount(1, 30000)) hold.Set();
        closedItself = PumpUntil([&] { return !IsWindow(dialog); }, 60000);
        // Only so that a fault fails the test instead of hanging it.
        while (IsWindow(dialog)) {
            PostButtonCommand(dialog, 2);
            PumpUntil([&] { return !IsWindow(dialog); }, 500);
        }
    });
    host_->Shutdown();
    const bool goneWhenShutdownReturned = !IsWindow(dialog);
    user.join();

    const auto seen = boxes_->Seen();
    EXPECT_TRUE(goneWhenShutdownReturned) << "shutdown returned while the dialog was still open";
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, "Do you want to cancel now ?");
    EXPECT_EQ(seen[1].text, "Ok.");
    EXPECT_TRUE(resultSeenOpen) << "the dialog closed before the result was seen";
    EXPECT_TRUE(closedItself) << "the dialog waited for an Exit nobody can give";
    EXPECT_EQ(engine_->ReadLog().Result("NeroBurn").Int("result"), 0) << "No lets the burn finish";
    EXPECT_EQ(FindBurnDialog(false), nullptr);
    host_->Unload(preloaded_ ? 0 : 10000);
}

namespace {

int32_t __cdecl OneTrackService(int32_t op, void* buffer, int32_t size, int32_t) {
    switch (op) {
    case kHostTrackCount: return 1;
    case kHostTrackSelected: return 1;
    case kHostTrackLength: return 61;
    case kHostTrackFile:
    case kHostTrackTitle:
        std::snprintf(static_cast<char*>(buffer), static_cast<size_t>(size), "Z:\\x.wav");
        return 1;
    default: return 0;
    }
}

}  // namespace

// Inside this test program's own copy of the plug-in, where the process-wide values can be seen.
TEST_F(BurnDialogTest, ClosingClearsTheDialogWindowAndReleasesTheButtonFaces) {
    engine_->Use(TwoRecorders());
    moduleInstance = PluginModule();
    engineVersionIsCurrent = true;
    EngineSession session(processBurnJob);
    session.Load();
    session.Initialise();
    engineSession = &session;
    HostRecord record{};
    record.service = OneTrackService;
    HostPlaylist playlist(record);
    hostPlaylist = &playlist;

    BurnDialogFactory factory(burnWholePlaylist);
    HWND dialog = CreateDialogParamA(moduleInstance, MAKEINTRESOURCEA(IDD_BURN), nullptr, DialogProc,
                                     reinterpret_cast<LPARAM>(static_cast<DialogFactory*>(&factory)));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(burnDialogWindow.load(), dialog);
    EXPECT_EQ(ControlText(dialog, IDC_STATUS), "1 Track(s), 1 min 01 sec\r\n0.0 MB\r\n / Z:\\x.wav\r\n");
    HGDIOBJ faces[] = {reinterpret_cast<HGDIOBJ>(SendDlgItemMessageA(dialog, 1, BM_GETIMAGE, IMAGE_BITMAP, 0)),
                       reinterpret_cast<HGDIOBJ>(SendDlgItemMessageA(dialog, 2, BM_GETIMAGE, IMAGE_BITMAP, 0))};
    BITMAP info;
    for (HGDIOBJ face : faces) ASSERT_NE(GetObjectA(face, sizeof info, &info), 0);

    SendButtonCommand(dialog, 2);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message != WM_QUIT) DispatchMessageA(&message);
    }
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(burnDialogWindow.load(), nullptr) << "shutdown would post to a dialog that is gone";
    for (HGDIOBJ face : faces) EXPECT_EQ(GetObjectA(face, sizeof info, &info), 0) << "button face not released";

    hostPlaylist = nullptr;
    engineSession = nullptr;
    session.Destroy();
}
