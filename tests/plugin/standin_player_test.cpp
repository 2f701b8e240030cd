#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "standin_host.h"
#include "support/test_paths.h"

namespace {

using standin::MenuItem;

std::string TextOp(standin::Host& host, int32_t op, int32_t index, int32_t size = 260, int32_t* result = nullptr) {
    char buffer[300];
    std::memset(buffer, 'x', sizeof buffer);
    int32_t got = host.record().service(op, buffer, size, index);
    if (result != nullptr) *result = got;
    return got != 0 ? std::string(buffer) : std::string("<none>");
}

// The tests of every other subsystem rely on these answers.
TEST(StandinPlayer, AnswersServiceCallsFromItsPlaylistFile) {
    const std::string dir = MakeTempDir("standin");
    const std::string path = dir + "\\list.txt";
    ASSERT_TRUE(WriteFileText(path,
                              "# comment\r\n"
                              "Z:\\m\\one.wav\tOne\tBand\t215\t1\r\n"
                              "\r\n"
                              "Z:\\m\\two.mp3\tTwo\t\t187\r\n"
                              "DelimArtAlb=3\r\n"));
    standin::Playlist playlist;
    std::string error;
    ASSERT_TRUE(standin::ReadPlaylistFile(path, playlist, error)) << error;
    standin::Host host(playlist);

    EXPECT_EQ(host.record().service(1, nullptr, 0, 0), static_cast<int32_t>(reinterpret_cast<intptr_t>(host.mainWindow())));
    EXPECT_EQ(host.record().service(10, nullptr, 0, 0), 2);
    EXPECT_EQ(host.record().service(14, nullptr, 1, 0), 187);
    EXPECT_EQ(host.record().service(16, nullptr, 0, 0), 1);
    EXPECT_EQ(host.record().service(16, nullptr, 1, 0), 0);
    EXPECT_EQ(host.record().service(14, nullptr, 2, 0), 0) << "index past the end";
    EXPECT_EQ(TextOp(host, 100, 0), "One");
    EXPECT_EQ(TextOp(host, 101, 0), "Band");
    EXPECT_EQ(TextOp(host, 103, 1), "Z:\\m\\two.mp3");
    EXPECT_EQ(TextOp(host, 100, 5), "<none>");
    EXPECT_EQ(TextOp(host, 103, 0, 5), "Z:\\m") << "cut to the buffer and terminated";

    const std::string settingsFile = TextOp(host, 108, 0);
    EXPECT_EQ(GetPrivateProfileIntA("QCD Player", "DelimArtAlb", -1, settingsFile.c_str()), 3);
    EXPECT_EQ(host.Calls().size(), 12u) << "every call is logged";

    standin::Playlist bad;
    ASSERT_TRUE(WriteFileText(path, "Z:\\a.wav\tA\tB\tlong\t1\n"));
    EXPECT_FALSE(standin::ReadPlaylistFile(path, bad, error));
}

// An Artist/Album library gives its tracks in the order a file manager shows them: in each folder
// the subfolders first, then the files, each by name without regard to case.
TEST(StandinPlayer, PlaylistFromAFolderTakesItsSubfoldersInFileManagerOrder) {
    const std::string dir = MakeTempDir("standin-library");
    for (const char* folder : {"\\b artist", "\\b artist\\Album 2", "\\A Artist", "\\A Artist\\album 1",
                               "\\A Artist\\Album 0 empty"})
        ASSERT_TRUE(CreateDirectoryA((dir + folder).c_str(), nullptr)) << folder;
    for (const char* file : {"\\b artist\\Album 2\\02 Two.wav", "\\b artist\\Album 2\\01 One.MP3",
                             "\\b artist\\Album 2\\cover.jpg", "\\A Artist\\album 1\\x.pcm",
                             "\\a top.wav", "\\Z top.wma"})
        ASSERT_TRUE(WriteFileText(dir + file, "")) << file;
    standin::Playlist playlist;
    std::string error;
    ASSERT_TRUE(standin::ReadPlaylistFolder(dir, playlist, error)) << error;
    std::vector<std::string> files, titles;
    for (const standin::Track& track : playlist.tracks) {
        files.push_back(track.file.substr(dir.size()));
        titles.push_back(track.title);
        EXPECT_TRUE(track.selected);
    }
    EXPECT_EQ(files, (std::vector<std::string>{"\\A Artist\\album 1\\x.pcm", "\\b artist\\Album 2\\01 One.MP3",
                                               "\\b artist\\Album 2\\02 Two.wav", "\\a top.wav", "\\Z top.wma"}));
    EXPECT_EQ(titles, (std::vector<std::string>{"x", "01 One", "02 Two", "a top", "Z top"}));
}

TEST(StandinPlayer, OpensPopupMenusFromTablesAndRecordsWhatItsWindowReceives) {
    standin::Host host;
    const std::vector<MenuItem> items = {
        MenuItem::Command(40400, "Play"), MenuItem::Separator(),
        MenuItem::SubMenu("More", {MenuItem::Command(40001, "Inner")}), MenuItem::Command(40003, "E&xit")};
    const std::vector<MenuItem> shown = host.OpenPopupMenu(items);
    EXPECT_EQ(standin::DescribeMenu(shown), "40400 Play\n----\n-1 More {\n40001 Inner\n}\n40003 E&xit\n");
    host.SendCommand(8000);
    const std::vector<standin::WindowMessage> messages = host.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, static_cast<UINT>(WM_INITMENUPOPUP));
    EXPECT_EQ(messages[1].message, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(messages[1].wParam, 8000u);
}

}  // namespace
