// The menus and the About box of the built plug-in, inside the stand-in player.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "standin_host.h"
#include "automation/box_watcher.h"
#include "automation/burn_dialog_driver.h"
#include "support/registry_fixture.h"
#include "support/test_paths.h"

namespace {

using standin::MenuItem;

const MenuItem* FindNero(const std::vector<MenuItem>& items) {
    auto nero = std::find_if(items.begin(), items.end(), [](const MenuItem& item) { return item.text == "Nero"; });
    return nero != items.end() ? &*nero : nullptr;
}

bool Reached(const standin::Host& host, UINT message, WPARAM wParam) {
    for (const standin::WindowMessage& seen : host.Messages())
        if (seen.message == message && (message != WM_COMMAND || seen.wParam == wParam)) return true;
    return false;
}

class PluginInPlayer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(hive.active());
        ASSERT_TRUE(host.Load(BinDir() + "\\Tolvane.dll")) << host.error();
        ASSERT_EQ(1, host.CallModule());
    }
    void TearDown() override {
        host.Shutdown();
        EXPECT_TRUE(host.Unload());
    }

    ScopedUserHive hive{"ui-framework-player"};
    // Started before the plug-in is loaded, like every helper thread of these tests.
    BoxWatcher boxes;
    standin::Host host;
};

TEST_F(PluginInPlayer, EveryOpeningOfAPlayerMenuCarriesTheCommands) {
    const std::vector<MenuItem> playerMenu = {
        MenuItem::Command(40400, "&Open File..."), MenuItem::Command(40401, "Open &Folder..."),
        MenuItem::Separator(), MenuItem::SubMenu("Playback", {MenuItem::Command(40011, "&Play")}),
        MenuItem::Command(40402, "&Preferences..."), MenuItem::Command(40003, "E&xit")};
    // The player destroys the menu after each use, and our sub-menu with it; keep one too.
    for (bool destroyAfterUse : {true, true, false, true}) {
        std::vector<MenuItem> shown = host.OpenPopupMenu(playerMenu, destroyAfterUse);
        const MenuItem* nero = FindNero(shown);
        ASSERT_NE(nullptr, nero) << standin::DescribeMenu(shown);
        ASSERT_EQ(2u, nero->subItems.size());
        EXPECT_EQ(8000, nero->subItems[0].id);
        EXPECT_EQ("Burn Playlist...", nero->subItems[0].text);
        EXPECT_EQ(8001, nero->subItems[1].id);
        EXPECT_EQ("Burn Selected Tracks...", nero->subItems[1].text);
        EXPECT_EQ("E&xit", shown.back().text) << "inserted before the last item";
    }
    EXPECT_TRUE(Reached(host, WM_INITMENUPOPUP, 0)) << "the player still sees its menus open";
}

TEST_F(PluginInPlayer, CommandsStillReachThePlayer) {
    host.SendCommand(8001);
    // An empty playlist has nothing to burn: the worker answers with a box over the player.
    EXPECT_TRUE(host.PumpUntil([&] { return boxes.Count() >= 1; }, 60000));
    EXPECT_TRUE(Reached(host, WM_COMMAND, 8001));
    host.SendCommand(40402);
    EXPECT_TRUE(Reached(host, WM_COMMAND, 40402));
    ASSERT_EQ(1u, boxes.Count());
    EXPECT_EQ("Tolvane", boxes.Seen()[0].caption);
}

struct AboutReading {
    DWORD playerThread;
    std::string line1;
};

// Plays the user at the About box: reads its first line and presses OK.
DWORD WINAPI CloseAboutWithOk(LPVOID param) {
    auto* reading = static_cast<AboutReading*>(param);
    HWND about = nullptr;
    // Shown only once initialised, with its lines in place.
    if (!PumpUntil([&] { return (about = FindAboutBox(reading->playerThread)) != nullptr; }, 10000)) return 1;
    reading->line1 = ControlText(about, IDC_ABOUT_LINE1);
    PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
    return 0;
}

TEST_F(PluginInPlayer, AboutShowsTheModuleDescription) {
    // A thread started while the plug-in's worker is still starting up can crash the emulator
    // this runs under. The worker answers a command only once its start-up is done: an empty
    // playlist's "Burn Selected Tracks..." box says it is. The About box is owned by the player's
    // last active pop-up, so the answered box must be gone first.
    host.SendCommand(8001);
    ASSERT_TRUE(host.PumpUntil([&] {
        return boxes.Count() == 1 && GetLastActivePopup(host.mainWindow()) == host.mainWindow();
    }, 60000));
    AboutReading reading{GetCurrentThreadId(), ""};
    UniqueThreadHandle user(CreateThread(nullptr, 0, CloseAboutWithOk, &reading, 0, nullptr));
    ASSERT_TRUE(user);
    EXPECT_EQ(1, host.About());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(user.get(), 10000));
    EXPECT_EQ("Tolvane Version 1.1.0 Build 594", reading.line1);
}

// The mode for a person at a display: the playlist in a shown window, whose right-click opens
// the player's pop-up menu on screen with the plug-in's sub-menu in it.
TEST_F(PluginInPlayer, InteractiveWindowListsThePlaylistAndRightClickOpensThePlayerMenu) {
    standin::Playlist playlist;
    playlist.tracks = {{"Z:\\m\\one.wav", "One", "Band", 215, true}, {"Z:\\m\\two.mp3", "Two", "Band", 187, true}};
    host.SetPlaylist(playlist);
    host.ShowPlaylistWindow();
    ASSERT_TRUE(IsWindowVisible(host.mainWindow()));
    ASSERT_EQ(2, SendMessageA(host.playlistBox(), LB_GETCOUNT, 0, 0));
    char line[300] = {};
    SendMessageA(host.playlistBox(), LB_GETTEXT, 1, reinterpret_cast<LPARAM>(line));
    EXPECT_NE(std::string::npos, std::string(line).find("Band - Two  (3:07)")) << line;

    std::vector<MenuItem> shown;
    size_t menuWindows = 0;
    host.SetMenuWatcher([&](HMENU menu) {
        shown = standin::ReadMenu(menu);
        menuWindows = standin::VisibleMenuWindows().size();
        return true;
    });
    PostMessageA(host.playlistBox(), WM_RBUTTONUP, 0, MAKELPARAM(20, 10));
    EXPECT_TRUE(host.PumpUntil([&] { return !shown.empty(); }, 30000)) << "no menu opened";
    host.SetMenuWatcher(nullptr);
    EXPECT_EQ(1u, menuWindows) << "the menu is on screen";
    const MenuItem* nero = FindNero(shown);
    ASSERT_NE(nullptr, nero) << standin::DescribeMenu(shown);
    ASSERT_EQ(2u, nero->subItems.size());
    EXPECT_EQ(8000, nero->subItems[0].id);
    PostMessageA(host.mainWindow(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(host.PumpUntil([&] { return host.closed(); }, 10000));
    EXPECT_FALSE(IsWindowVisible(host.mainWindow()));
}

}  // namespace
