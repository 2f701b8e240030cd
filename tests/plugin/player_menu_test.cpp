#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/handles.h"
#include "base/plugin_state.h"
#include "plugin/player_menu.h"

namespace {

// A menu item written as text: "-" a separator, "Name>" an item opening a sub-menu,
// "Name>>" one opening a sub-menu of eight items, "Name#id" a command.
using Items = std::vector<std::string>;

UniqueMenu MakeMenu(const Items& items) {
    UniqueMenu menu(CreatePopupMenu());
    for (const std::string& item : items) {
        if (item == "-") {
            AppendMenuA(menu.get(), MF_SEPARATOR, 0, nullptr);
        } else if (item.back() == '>') {
            const size_t marks = item.size() >= 2 && item[item.size() - 2] == '>' ? 2 : 1;
            HMENU sub = CreatePopupMenu();
            for (int inner = 0; inner < (marks == 2 ? 8 : 1); ++inner) AppendMenuA(sub, MF_STRING, 999 - inner, "inner");
            AppendMenuA(menu.get(), MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub),
                        item.substr(0, item.size() - marks).c_str());
        } else {
            size_t hash = item.find('#');
            AppendMenuA(menu.get(), MF_STRING, std::stoul(item.substr(hash + 1)), item.substr(0, hash).c_str());
        }
    }
    return menu;
}

// Reads a menu back in the same notation, without identifiers.
Items ReadMenu(HMENU menu) {
    Items items;
    for (int pos = 0; pos < GetMenuItemCount(menu); ++pos) {
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE;
        if (GetMenuItemInfoA(menu, static_cast<UINT>(pos), TRUE, &info) && (info.fType & MFT_SEPARATOR)) {
            items.push_back("-");
            continue;
        }
        char text[256] = {};
        GetMenuStringA(menu, static_cast<UINT>(pos), text, sizeof text, MF_BYPOSITION);
        items.push_back(std::string(text) + (GetSubMenu(menu, pos) ? ">" : ""));
    }
    return items;
}

std::string Show(const Items& items) {
    std::string text;
    for (const std::string& item : items) text += "[" + item + "] ";
    return text;
}

HMENU NeroSubMenu(HMENU menu) {
    for (int pos = 0; pos < GetMenuItemCount(menu); ++pos) {
        char text[64] = {};
        GetMenuStringA(menu, static_cast<UINT>(pos), text, sizeof text, MF_BYPOSITION);
        if (std::string(text) == "Nero") return GetSubMenu(menu, pos);
    }
    return nullptr;
}

class PlayerMenuTest : public ::testing::Test {
protected:
    void TearDown() override { DestroyBurnPopupMenu(); }
};

TEST_F(PlayerMenuTest, PlacesTheNeroMenuInThePlayersMenus) {
    struct Case {
        const char* what;
        Items before;
        Items after;
    };
    const Case cases[] = {
        {"main menu (first item 40400): before the last item, separators either side",
         {"Open#40400", "A#101", "B#102", "C#103", "D#104", "Quit#105"},
         {"Open", "A", "B", "C", "D", "-", "Nero>", "-", "Quit"}},
        {"three recognised texts: before the item ahead of the last",
         {"Playback#201", "Playlist#202", "-", "E&xit#203"},
         {"Playback", "Playlist", "-", "Nero>", "-", "E&xit"}},
        {"recognised texts in any case; E&xit only as the start of the text",
         {"PLAYBACK>", "playlist#301", "A#302", "e&XIT QCD#303"},
         {"PLAYBACK>", "playlist", "-", "Nero>", "-", "A", "e&XIT QCD"}},
        {"first item opens a sub-menu, last is 40301: no separator check before",
         {"Recent>", "A#401", "B#402", "Z#40301"},
         {"Recent>", "A", "Nero>", "-", "B", "Z"}},
        {"first item opens a sub-menu, last is 40003, a separator follows already",
         {"Recent>", "A#401", "-", "Z#40003"},
         {"Recent>", "A", "Nero>", "-", "Z"}},
        {"small menu (first item 40007) with 4 items: nothing",
         {"Play#40007", "Playback#2", "Playlist#3", "E&xit#4"},
         {"Play", "Playback", "Playlist", "E&xit"}},
        {"first item 40007 with 5 items and three recognised texts",
         {"Play#40007", "Playback#2", "Playlist#3", "-", "E&xit#4"},
         {"Play", "Playback", "Playlist", "-", "Nero>", "-", "E&xit"}},
        {"only two recognised texts: nothing",
         {"Open#1", "Playlist#2", "E&xit#3"},
         {"Open", "Playlist", "E&xit"}},
        {"four recognised texts: nothing",
         {"Playback#1", "Playlist#2", "playlist#3", "E&xit#4"},
         {"Playback", "Playlist", "playlist", "E&xit"}},
        {"first item opens a sub-menu but the last is no player item: nothing",
         {"Recent>", "A#401", "Z#40302"},
         {"Recent>", "A", "Z"}},
        {"a sub-menu of eight items ahead of the place is no separator",
         {"Playback#201", "Playlist>>", "-", "E&xit#203"},
         {"Playback", "Playlist>", "-", "Nero>", "-", "E&xit"}},
        {"a sub-menu of eight items after the place is no separator",
         {"Recent>", "A#401", "More>>", "Z#40301"},
         {"Recent>", "A", "Nero>", "-", "More>", "Z"}},
        {"special identifiers ahead of the first item are stepped over",
         {"Logo#70000", "Open#40400", "A#101", "B#102", "C#103", "Quit#105"},
         {"Logo", "Open", "A", "B", "-", "Nero>", "-", "C", "Quit"}},
    };
    for (const Case& c : cases) {
        UniqueMenu menu = MakeMenu(c.before);
        BuildPlayerMenu(menu.get());
        EXPECT_EQ(Show(c.after), Show(ReadMenu(menu.get()))) << c.what;
    }
}

TEST_F(PlayerMenuTest, NeroMenuHoldsTheTwoCommands) {
    UniqueMenu menu = MakeMenu({"Playback#1", "Playlist#2", "-", "E&xit#3"});
    BuildPlayerMenu(menu.get());
    HMENU nero = NeroSubMenu(menu.get());
    ASSERT_NE(nullptr, nero);
    ASSERT_EQ(2, GetMenuItemCount(nero));
    EXPECT_EQ(8000u, GetMenuItemID(nero, 0));
    EXPECT_EQ(8001u, GetMenuItemID(nero, 1));
    EXPECT_EQ((Items{"Burn Playlist...", "Burn Selected Tracks..."}), ReadMenu(nero));
}

TEST_F(PlayerMenuTest, EachOpeningReplacesTheEarlierSubMenu) {
    const Items player = {"Playback#1", "Playlist#2", "-", "E&xit#3"};
    UniqueMenu kept = MakeMenu(player);
    BuildPlayerMenu(kept.get());
    HMENU first = NeroSubMenu(kept.get());
    ASSERT_TRUE(IsMenu(first));

    UniqueMenu next = MakeMenu(player);
    BuildPlayerMenu(next.get());
    EXPECT_FALSE(IsMenu(first)) << "the earlier sub-menu is destroyed, not leaked";
    HMENU second = NeroSubMenu(next.get());
    EXPECT_TRUE(IsMenu(second));

    DestroyBurnPopupMenu();
    EXPECT_FALSE(IsMenu(second));
    DestroyBurnPopupMenu();  // nothing left: no effect
}

TEST_F(PlayerMenuTest, PlayerThatDestroysItsMenusAfterUse) {
    const Items player = {"Playback#1", "Playlist#2", "-", "E&xit#3"};
    UniqueMenu used = MakeMenu(player);
    BuildPlayerMenu(used.get());
    HMENU gone = NeroSubMenu(used.get());
    used.reset();
    ASSERT_FALSE(IsMenu(gone)) << "destroying a menu destroys its sub-menus";

    // Menus the player makes afterwards must survive our clean-up of the dead handle.
    UniqueMenu other = MakeMenu({"Something#7"});
    UniqueMenu next = MakeMenu(player);
    BuildPlayerMenu(next.get());
    EXPECT_TRUE(IsMenu(other.get()));
    EXPECT_EQ((Items{"Something"}), ReadMenu(other.get()));
    EXPECT_EQ(Show({"Playback", "Playlist", "-", "Nero>", "-", "E&xit"}), Show(ReadMenu(next.get())));

    next.reset();
    DestroyBurnPopupMenu();
    EXPECT_TRUE(IsMenu(other.get()));
}

// The player's own window procedure, recording what reaches it.
std::vector<UINT> playerSaw;
LRESULT CALLBACK PlayerOwnProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND || message == WM_INITMENUPOPUP) playerSaw.push_back(message);
    if (message == WM_COMMAND) return 0x1234;
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(PlayerMenuTest, CommandsAreRecordedAndStillReachThePlayer) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = PlayerOwnProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TolvaneTestPlayer";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("TolvaneTestPlayer", "player", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    previousPlayerWindowProc = PlayerOwnProc;
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PlayerWindowProc));
    playerSaw.clear();

    burnWholePlaylist = false;
    EXPECT_EQ(0x1234, SendMessageA(window, WM_COMMAND, 8000, 0));
    EXPECT_TRUE(burnWholePlaylist) << "Burn Playlist...";
    EXPECT_EQ(0x1234, SendMessageA(window, WM_COMMAND, 8001, 0));
    EXPECT_FALSE(burnWholePlaylist) << "Burn Selected Tracks...";
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(8000, 1), 0);
    EXPECT_FALSE(burnWholePlaylist) << "a notification with the same identifier is no menu command";

    UniqueMenu menu = MakeMenu({"Playback#1", "Playlist#2", "-", "E&xit#3"});
    SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu.get()), 0);
    EXPECT_NE(nullptr, NeroSubMenu(menu.get()));
    EXPECT_EQ((std::vector<UINT>{WM_COMMAND, WM_COMMAND, WM_COMMAND, WM_INITMENUPOPUP}), playerSaw);

    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PlayerOwnProc));
    previousPlayerWindowProc = nullptr;
    DestroyWindow(window);
}

}  // namespace
