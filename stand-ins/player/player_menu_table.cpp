#include "player_menu_table.h"

#include "base/handles.h"

namespace standin {

MenuItem MenuItem::Command(int id, const std::string& text) {
    MenuItem item;
    item.id = id;
    item.text = text;
    return item;
}

MenuItem MenuItem::Separator() {
    MenuItem item;
    item.separator = true;
    return item;
}

MenuItem MenuItem::SubMenu(const std::string& text, const std::vector<MenuItem>& items) {
    MenuItem item;
    item.id = -1;
    item.text = text;
    item.subItems = items;
    return item;
}

std::vector<MenuItem> PlayerMainMenu() {
    return {MenuItem::Command(40010, "Playback"), MenuItem::Command(40011, "Playlist"), MenuItem::Separator(),
            MenuItem::Command(40012, "E&xit")};
}

HMENU BuildMenu(const std::vector<MenuItem>& items) {
    UniqueMenu menu(CreatePopupMenu());
    if (!menu) return nullptr;
    for (const MenuItem& item : items) {
        if (item.separator) {
            AppendMenuA(menu.get(), MF_SEPARATOR, 0, nullptr);
        } else if (item.id == -1 || !item.subItems.empty()) {
            UniqueMenu sub(BuildMenu(item.subItems));
            if (sub && AppendMenuA(menu.get(), MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub.get()),
                                   item.text.c_str()))
                sub.release();  // now part of the parent
        } else {
            AppendMenuA(menu.get(), MF_STRING, static_cast<UINT_PTR>(item.id), item.text.c_str());
        }
    }
    return menu.release();
}

std::vector<MenuItem> ReadMenu(HMENU menu) {
    std::vector<MenuItem> items;
    int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        MenuItem item;
        item.id = static_cast<int>(GetMenuItemID(menu, position));
        // The item's type, not GetMenuState: for a sub-menu item that returns the sub-menu's
        // item count in the bits where the separator flag sits.
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE;
        item.separator = GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &info) &&
                         (info.fType & MFT_SEPARATOR) != 0;
        char text[256] = {};
        GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION);
        item.text = text;
        if (HMENU sub = GetSubMenu(menu, position)) item.subItems = ReadMenu(sub);
        items.push_back(item);
    }
    return items;
}

std::string DescribeMenu(const std::vector<MenuItem>& items) {
    std::string out;
    for (const MenuItem& item : items) {
        if (item.separator) {
            out += "----\n";
            continue;
        }
        out += std::to_string(item.id) + " " + item.text;
        if (!item.subItems.empty()) out += " {\n" + DescribeMenu(item.subItems) + "}";
        out += "\n";
    }
    return out;
}

}  // namespace standin
