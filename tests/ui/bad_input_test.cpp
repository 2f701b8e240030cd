// What the plug-in does with input it did not make: settings stored by someone else, the
// player's odd answers and paths, and a playlist that empties under an open dialog. Each case
// says what the user sees.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "resources/resource.h"
#include "support/burn_dialog_fixture.h"
#include "support/test_paths.h"

namespace {

using BadInputTest = BurnDialogFixture;

std::string Dword(uint32_t value) { return std::string(reinterpret_cast<const char*>(&value), sizeof value); }

std::string Repeated(const std::string& piece, size_t times) {
    std::string text;
    for (size_t i = 0; i < times; ++i) text += piece;
    return text;
}

void ExpectBox(const SeenBox& box, HWND owner, const std::string& text) {
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, "Tolvane");
    EXPECT_EQ(box.icon, "information");
    EXPECT_EQ(box.owner, owner);
}

standin::Playlist OneTrack(const standin::Track& track) {
    standin::Playlist playlist;
    playlist.tracks.push_back(track);
    return playlist;
}

}  // namespace

// The number settings hold the opposite of their defaults, so a value wrongly taken shows.
TEST_F(BadInputTest, SettingsStoredBySomeoneElseLoadAndOpenWithTheDefaults) {
    const char* const numbers[] = {"NeroFuckedUpAgain", "Last Mode",        "Audio Gap",       "Underrun",
                                   "Simulate",          "LastVersionMajor", "LastVersionMinor"};
    const uint32_t held[] = {1, 1, 3, 0, 0, 7, 7};
    const struct {
        const char* what;
        DWORD numberType;
        bool numberData;  // false: no data at all
        size_t repeat;    // times the number's four bytes are stored
        DWORD driveType;
        std::string drive;
    } cases[] = {
        {"wrong types", REG_BINARY, true, 1, REG_DWORD, Dword(1)},
        {"empty data", REG_DWORD, false, 1, REG_SZ, ""},
        {"oversized data", REG_DWORD, true, 4096, REG_SZ, Repeated("E: _NEC DVD_RW ND-3520A ", 1000)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (size_t i = 0; i < 7; ++i) {
            const std::string bytes = c.numberData ? Repeated(Dword(held[i]), c.repeat) : std::string();
            ASSERT_TRUE(SetRawValue(HKEY_CURRENT_USER, kSettingsKey, numbers[i], c.numberType, bytes));
        }
        ASSERT_TRUE(SetRawValue(HKEY_CURRENT_USER, kSettingsKey, "Last Drive", c.driveType, c.drive));
        const size_t before = boxes_->Count();
        StartPlugin(OneTrack(Track("Z:\\a.wav", "A")), TwoRecorders().VersionParts(5, 5, 9, 10));
        EXPECT_EQ(boxes_->Count(), before) << "an unreadable crash guard counts as a clean end: no question";

        HWND dialog = OpenDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(IsChecked(dialog, IDC_UNDERRUN));
        EXPECT_TRUE(IsChecked(dialog, IDC_SIMULATE));
        EXPECT_EQ(ControlText(dialog, IDC_GAP), "0");
        EXPECT_EQ(ComboSelection(dialog, IDC_TYPE_BOX), 0);
        EXPECT_EQ(ComboSelection(dialog, IDC_DRIVE_BOX), 0);
        // Unreadable versions were never seen: the old engine is told once more, then recorded.
        ASSERT_EQ(boxes_->Count(), before + 1);
        ExpectBox(boxes_->Seen().back(), dialog,
                  "You are running an older version of Nero (5.5.9.10).\n"
                  "You may experience problems burning cds from the plugin.");
        EXPECT_EQ(ReadSettingNumber("LastVersionMajor"), 5u * 65536 + 5);
        EXPECT_EQ(ReadSettingNumber("LastVersionMinor"), 9u * 65536 + 10);
        ASSERT_TRUE(CloseDialog(dialog));
        StopPlugin();
        EXPECT_EQ(ReadSettingNumber("NeroFuckedUpAgain"), 0u);
    }
}

TEST_F(BadInputTest, TrackPathsAndTextsAsThePlayerGivesThem) {
    const std::string prefix = folder_ + "\\";
    const std::string longest = MakeFile(std::string(259 - prefix.size() - 4, 'n') + ".wav", 1 << 20);
    ASSERT_EQ(longest.size(), 259u);
    const std::string noExtension = MakeFile("noextension", 100);
    const std::string longText(259, 'a');
    standin::Playlist textsFail = OneTrack(Track(noExtension, "A"));
    textsFail.textsFail = true;

    const char* const kSummary = "1 Track(s), 1 min 00 sec\r\n";
    const struct {
        const char* what;
        standin::Playlist playlist;
        std::string summary;  // after the first line
        const char* audio;    // the result box of an audio burn, then of a data burn
        const char* data;
    } cases[] = {
        {"empty path", OneTrack(Track("", "A")), "0.0 MB\r\nArtist / A\r\n", "File type is unknown!",
         "Specified file was not found!"},
        // The engine's fields hold 255 characters: the path goes by its short form, the same file.
        {"path of 259 characters", OneTrack(Track(longest, "A")), "1.0 MB\r\nArtist / A\r\n", "Ok.", "Ok."},
        {"path without an extension", OneTrack(Track(noExtension, "A")), "0.0 MB\r\nArtist / A\r\n",
         "File type is unknown!", "Ok."},
        // A missing file is the engine's to find.
        {"missing file", OneTrack(Track(prefix + "missing.wav", "A")), "0.0 MB\r\nArtist / A\r\n", "Ok.",
         "Specified file was not found!"},
        {"title and artist of 259 characters",
         OneTrack(standin::Track{noExtension, longText, longText, 60, true}), "0.0 MB\r\n" + longText + "\r\n",
         "File type is unknown!", "Ok."},
        {"every text request failing", textsFail, "0.0 MB\r\n / \r\n", "File type is unknown!",
         "Specified file was not found!"},
    };
    StartPlugin(standin::Playlist(), TwoRecorders());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        host_->SetPlaylist(c.playlist);
        HWND dialog = OpenDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(ControlText(dialog, IDC_STATUS), kSummary + c.summary);
        ExpectBox(BurnAndWait(dialog), dialog, c.audio);
        SetComboSelection(dialog, IDC_TYPE_BOX, 1);
        ExpectBox(BurnAndWait(dialog), dialog, c.data);
        ASSERT_TRUE(CloseDialog(dialog));
    }
}

// Without the main window the plug-in has nothing to subclass, so no command reaches it.
TEST_F(BadInputTest, PlayerAnsweringNothingLoadsAndShutsDownInOrder) {
    standin::Playlist silent = OneTrack(Track("Z:\\a.wav", "A"));
    silent.answersNothing = true;
    StartPlugin(silent, TwoRecorders());
    EXPECT_EQ(host_->CurrentWindowProc(), standin::Host::OwnWindowProc());
    host_->SendCommand(8000);
    StopPlugin();
    EXPECT_EQ(boxes_->Count(), 0u);
    EXPECT_EQ(engine_->ReadLog().CallCount("NeroGetAvailableDrivesEx"), 0u);
    EXPECT_EQ(ReadSettingNumber("NeroFuckedUpAgain"), 0u);
}

// Burning nothing would waste a disc and report "Ok.": a Burn that finds no chosen track leaves
// the recorder alone and asks for tracks, as the menu command does.
TEST_F(BadInputTest, PlaylistEmptiedWhileTheDialogIsOpenOrABurnRuns) {
    standin::Playlist two;
    two.tracks = {Track("Z:\\a.wav", "A"), Track("Z:\\b.wav", "B")};
    standin::Playlist noneSelected = two;
    for (standin::Track& track : noneSelected.tracks) track.selected = false;
    StartPlugin(two, TwoRecorders());
    const struct {
        const char* what;
        UINT command;
        standin::Playlist shrunk;
    } cases[] = {{"whole playlist emptied", 8000, standin::Playlist()}, {"selection cleared", 8001, noneSelected}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        host_->SetPlaylist(two);
        HWND dialog = OpenDialog(c.command);
        ASSERT_NE(dialog, nullptr);
        host_->SetPlaylist(c.shrunk);
        engine_->ClearLog();
        ExpectBox(BurnAndWait(dialog), dialog, "Select some tracks first !");
        EXPECT_EQ(engine_->ReadLog().CallCount("NeroOpenDevice"), 0u);
        EXPECT_EQ(engine_->ReadLog().CallCount("NeroBurn"), 0u);
        ASSERT_TRUE(CloseDialog(dialog));
    }

    // Emptied while the engine burns: the burn keeps the tracks it took, the next Burn has none.
    const std::string release = folder_ + "\\release";
    engine_->Use(TwoRecorders().Progress(30).HoldUntilFile(release));
    host_->SetPlaylist(two);
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    engine_->ClearLog();
    const size_t before = boxes_->Count();
    PostButtonCommand(dialog, IDC_BURN_BUTTON);
    ASSERT_TRUE(PumpUntil([&] { return ProgressPosition(dialog) == 30; }));
    host_->SetPlaylist(standin::Playlist());
    ASSERT_TRUE(WriteFileText(release, ""));
    ASSERT_TRUE(PumpUntil([&] { return boxes_->Count() > before && DialogLooksIdle(dialog); }));
    ExpectBox(boxes_->Seen().back(), dialog, "Ok.");
    EXPECT_EQ(engine_->ReadLog().Records("audiotrack").size(), 2u);
    ExpectBox(BurnAndWait(dialog), dialog, "Select some tracks first !");
    EXPECT_TRUE(CloseDialog(dialog));
}
