#pragma once
// Pop-up menus as tables: built into real menus for the player to open, and read back to see
// what a plug-in put into them.

#include <windows.h>

#include <string>
#include <vector>

namespace standin {

struct MenuItem {
    // As the menu reports it: 0 for a separator, -1 for an item that opens a sub-menu.
    int id = 0;
    std::string text;
    bool separator = false;
    std::vector<MenuItem> subItems;

    static MenuItem Command(int id, const std::string& text);
    static MenuItem Separator();
    static MenuItem SubMenu(const std::string& text, const std::vector<MenuItem>& items);
};

// The player's main pop-up menu: where a plug-in puts its own sub-menu.
std::vector<MenuItem> PlayerMainMenu();

// A new pop-up menu holding the items; the caller owns it (sub-menus go with it).
HMENU BuildMenu(const std::vector<MenuItem>& items);
std::vector<MenuItem> ReadMenu(HMENU menu);
// One line per item ("8000 Burn Playlist...", "----", "-1 Nero {...}"), for test messages.
std::string DescribeMenu(const std::vector<MenuItem>& items);

}  // namespace standin
