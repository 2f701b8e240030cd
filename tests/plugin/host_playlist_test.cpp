#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugin/host_playlist.h"
#include "support/code_page.h"
#include "support/test_paths.h"

namespace {

struct FakeTrack {
    std::string title, artist, file;
    int32_t length;
    bool selected;
};

struct Request {
    int32_t op;
    bool hasBuffer;
    int32_t param1, param2;
};

// A player answering the service operations from these values.
struct FakePlayer {
    std::vector<FakeTrack> tracks;
    std::string settingsFile;
    bool failTexts = false;
    bool unterminatedTexts = false;
    std::vector<Request> requests;
};
FakePlayer player;

int32_t AnswerText(const std::string& text, void* buffer, int32_t size) {
    if (player.failTexts) {
        std::memset(buffer, 'z', static_cast<size_t>(size));
        return 0;
    }
    if (player.unterminatedTexts) {
        std::memset(buffer, 'x', static_cast<size_t>(size));
        return 1;
    }
    std::strncpy(static_cast<char*>(buffer), text.c_str(), static_cast<size_t>(size) - 1);
    return 1;
}

int32_t __cdecl Service(int32_t op, void* buffer, int32_t param1, int32_t param2) {
    player.requests.push_back({op, buffer != nullptr, param1, param2});
    auto track = [&](int32_t i) -> const FakeTrack& { return player.tracks.at(static_cast<size_t>(i)); };
    switch (op) {
    case 10: return static_cast<int32_t>(player.tracks.size());
    case 14: return track(param1).length;
    case 16: return track(param1).selected ? 1 : 0;
    case 100: return AnswerText(track(param2).title, buffer, param1);
    case 101: return AnswerText(track(param2).artist, buffer, param1);
    case 103: return param2 < 0 ? 0 : AnswerText(track(param2).file, buffer, param1);
    case 108: return AnswerText(player.settingsFile, buffer, param1);
    default: return 0;
    }
}

class HostPlaylistTest : public ::testing::Test {
protected:
    void SetUp() override {
        player = FakePlayer();
        player.tracks = {{"T", "A", "C:\\music\\one.wav", 200, false},
                         {"Second", "Band", "C:\\music\\two.mp3", 250, true},
                         {"", "", "", 0, false}};
        host.service = &Service;
    }
    // Each case gets its own file: the system may cache an initialisation file it has read.
    std::string SettingsFile(const std::string& contents) {
        static std::string dir = MakeTempDir("tolvane-playlist");
        std::string path = dir + "\\player" + std::to_string(++files) + ".ini";
        EXPECT_TRUE(WriteFileText(path, contents));
        return path;
    }

    HostRecord host{};
    int files = 0;
};

TEST_F(HostPlaylistTest, TitleFollowsThePlayersDelimiterStyle) {
    struct Case {
        const char* settings;  // null: no settings file at all
        const char* expected;
    };
    const Case cases[] = {
        {"[QCD Player]\r\nDelimArtAlb=0\r\n", "A / T"},
        {"[QCD Player]\r\nDelimArtAlb=1\r\n", "A : T"},
        {"[QCD Player]\r\nDelimArtAlb=2\r\n", "A - T"},
        {"[QCD Player]\r\nDelimArtAlb=3\r\n", "A -- T"},
        {"[QCD Player]\r\nDelimArtAlb=4\r\n", "(A) T"},
        {"[QCD Player]\r\nDelimArtAlb=5\r\n", "[A] T"},
        // Values the table does not have fall back to the default style.
        {"[QCD Player]\r\nDelimArtAlb=6\r\n", "A / T"},
        {"[QCD Player]\r\nDelimArtAlb=-1\r\n", "A / T"},
        {"[QCD Player]\r\nDelimArtAlb=99\r\n", "A / T"},
        {"[QCD Player]\r\nDelimArtAlb=4096\r\n", "A / T"},
        {"[QCD Player]\r\nOther=5\r\n", "A / T"},
        {"[Elsewhere]\r\nDelimArtAlb=5\r\n", "A / T"},
        {nullptr, "A / T"},
    };
    HostPlaylist playlist(host);
    for (const Case& c : cases) {
        player.settingsFile = c.settings ? SettingsFile(c.settings) : "Z:\\no\\such\\player.ini";
        EXPECT_EQ(c.expected, playlist.TrackTitle(0)) << (c.settings ? c.settings : "(no file)");
    }
    player.settingsFile.clear();
    EXPECT_EQ("A / T", playlist.TrackTitle(0)) << "empty settings path";
}

TEST_F(HostPlaylistTest, EmptyTitleAndArtistGiveTheDelimiterAlone) {
    HostPlaylist playlist(host);
    EXPECT_EQ(" / ", playlist.TrackTitle(2));
    player.settingsFile = SettingsFile("[QCD Player]\r\nDelimArtAlb=4\r\n");
    EXPECT_EQ("() ", playlist.TrackTitle(2));
}

TEST_F(HostPlaylistTest, LongTitleIsCutTo259Characters) {
    player.tracks[0].artist = std::string(200, 'a');
    player.tracks[0].title = std::string(200, 't');
    HostPlaylist playlist(host);
    std::string title = playlist.TrackTitle(0);
    EXPECT_EQ(259u, title.size());
    EXPECT_EQ(std::string(200, 'a') + " / " + std::string(56, 't'), title);

    // The longest texts the player can give, in every style: the artist alone fills the title.
    player.tracks[0].artist = std::string(259, 'a');
    player.tracks[0].title = std::string(259, 't');
    const struct {
        const char* style;
        std::string expected;
    } longest[] = {{"0", std::string(259, 'a')}, {"4", "(" + std::string(258, 'a')}, {"5", "[" + std::string(258, 'a')}};
    for (const auto& c : longest) {
        player.settingsFile = SettingsFile(std::string("[QCD Player]\r\nDelimArtAlb=") + c.style + "\r\n");
        EXPECT_EQ(c.expected, playlist.TrackTitle(0)) << "style " << c.style;
    }
}

// The player's texts and the composed title keep whole characters of the code page this run has.
class CodePageTitles : public HostPlaylistTest {};

TEST_F(CodePageTitles, CutsKeepWholeCharacters) {
    std::string manyTable;
    for (int i = 0; i < 130; ++i) manyTable += "表";
    std::string withoutLast;
    for (int i = 0; i < 128; ++i) withoutLast += "表";
    const struct {
        const char* what;
        std::string artist, title, expected;
    } cases[] = {
        {"short texts whole", "アーティスト", "表示", "アーティスト / 表示"},
        {"the title cut before 予", std::string(255, 'a'), "予定", std::string(255, 'a') + " / "},
        {"the player's 259 bytes cut before half a 表", "", manyTable, " / " + withoutLast},
        {"accented letters", "Caf\xc3\xa9", "\xc3\x89t\xc3\xa9", "Caf\xc3\xa9 / \xc3\x89t\xc3\xa9"},
    };
    HostPlaylist playlist(host);
    int ran = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AnsiTexts ansi;
        player.tracks[0].artist = ansi(c.artist.c_str());
        player.tracks[0].title = ansi(c.title.c_str());
        const std::string expected = ansi(c.expected.c_str());
        if (!ansi.representable()) continue;
        ++ran;
        EXPECT_EQ(expected, playlist.TrackTitle(0));
    }
    EXPECT_GE(ran, 1);
}

TEST_F(HostPlaylistTest, TextRequestsPassTheBufferSizeAndTheIndex) {
    HostPlaylist playlist(host);
    EXPECT_EQ("C:\\music\\two.mp3", playlist.TrackFile(1));
    EXPECT_EQ("", playlist.TrackFile(-7));
    player.settingsFile = "C:\\QCD\\QCDPlayer.ini";
    EXPECT_EQ("C:\\QCD\\QCDPlayer.ini", playlist.PlayerSettingsFile());
    ASSERT_EQ(3u, player.requests.size());
    const Request expected[] = {{103, true, 260, 1}, {103, true, 260, -1}, {108, true, 260, 0}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(expected[i].op, player.requests[i].op) << "request " << i;
        EXPECT_TRUE(player.requests[i].hasBuffer) << "request " << i;
        EXPECT_EQ(expected[i].param1, player.requests[i].param1) << "request " << i;
        EXPECT_EQ(expected[i].param2, player.requests[i].param2) << "request " << i;
    }
}

TEST_F(HostPlaylistTest, FailedOrUnterminatedTextsStayBounded) {
    HostPlaylist playlist(host);
    player.failTexts = true;
    EXPECT_EQ("", playlist.TrackFile(0)) << "a zero answer gives an empty text whatever the buffer holds";
    EXPECT_EQ(" / ", playlist.TrackTitle(0));
    player.failTexts = false;
    player.unterminatedTexts = true;
    EXPECT_EQ(std::string(259, 'x'), playlist.TrackFile(0));
}

TEST_F(HostPlaylistTest, CountSelectionAndLengthComeFromThePlayer) {
    HostPlaylist playlist(host);
    EXPECT_EQ(3, playlist.TrackCount());
    EXPECT_FALSE(playlist.IsSelected(0));
    EXPECT_TRUE(playlist.IsSelected(1));
    EXPECT_EQ(250, playlist.TrackLength(1));
    EXPECT_TRUE(playlist.IsChosen(0, true));
    EXPECT_FALSE(playlist.IsChosen(0, false));
    EXPECT_TRUE(playlist.IsChosen(1, false));
    const Request length = player.requests[3];
    EXPECT_EQ(14, length.op);
    EXPECT_EQ(1, length.param1);
    EXPECT_EQ(0, length.param2);

    player.tracks.clear();
    player.requests.clear();
    EXPECT_EQ(0, playlist.TrackCount());
    EXPECT_EQ(1u, player.requests.size());
}

}  // namespace
