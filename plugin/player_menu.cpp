#include "plugin/player_menu.h"

#include "base/handles.h"
#include "base/plugin_state.h"
#include "base/text.h"
#include "base/trace.h"
#include "base/user_texts.h"
#include "plugin/lifecycle.h"

namespace {

constexpr UINT kSubMenuItem = static_cast<UINT>(-1);
constexpr UINT kMaxOrdinaryId = 65535;
constexpr int kMaxLeadingSkip = 20;
constexpr int kItemTextSize = 256;
constexpr int kRecognisedTextCount = 3;

constexpr UINT kPlayerMainMenuFirst = 40400;
constexpr UINT kPlayerSmallMenuFirst = 40007;
constexpr int kPlayerSmallMenuMinItems = 5;
constexpr UINT kPlayerLastItems[] = {40003, 40301};

bool IsOrdinaryId(UINT id) { return id <= kMaxOrdinaryId || id == kSubMenuItem; }

// Only a live menu that still holds our two commands is ours: a destroyed handle may be reused.
bool IsLiveBurnMenu(HMENU menu) {
    return menu != nullptr && IsMenu(menu) && GetMenuItemCount(menu) == 2 &&
           GetMenuItemID(menu, 0) == kCommandBurnPlaylist && GetMenuItemID(menu, 1) == kCommandBurnSelected;
}

// The "Nero" sub-menu last inserted. Owned here, but a player that destroys its pop-up menu
// after use destroys it too.
UniqueInsertedMenu<IsLiveBurnMenu> burnPopupMenu;

// Asks for the item's type alone: GetMenuState puts a sub-menu's item count in the bits where
// the separator flag lives, so a sub-menu of 8 items would read as a separator.
bool IsSeparatorAt(HMENU menu, int pos) {
    if (pos < 0 || pos >= GetMenuItemCount(menu)) return false;
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE;
    if (!GetMenuItemInfoA(menu, static_cast<UINT>(pos), TRUE, &item)) return false;
    return (item.fType & MFT_SEPARATOR) != 0;
}

void InsertSeparator(HMENU menu, int pos) {
    InsertMenuA(menu, static_cast<UINT>(pos), MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
}

bool IsRecognisedText(const char* text) {
    return StartsWithIgnoringCase(text, "E&xit") || EqualIgnoringCase(text, "Playlist") ||
           EqualIgnoringCase(text, "Playback");
}

int CountRecognisedTexts(HMENU menu, int count) {
    int matches = 0;
    for (int pos = 0; pos < count; ++pos) {
        char text[kItemTextSize] = {};
        GetMenuStringA(menu, static_cast<UINT>(pos), text, kItemTextSize, MF_BYPOSITION);
        if (IsRecognisedText(text)) ++matches;
    }
    return matches;
}

bool IsPlayerLastItem(UINT id) {
    for (UINT known : kPlayerLastItems)
        if (id == known) return true;
    return false;
}

struct MenuEnds {
    UINT first;
    UINT last;
    int skip;
};

// Owner-drawn or other special items at either end do not count as the menu's ends.
MenuEnds ScanMenuEnds(HMENU menu, int count) {
    MenuEnds ends{GetMenuItemID(menu, 0), 0, 0};
    for (int pos = 0; !IsOrdinaryId(ends.first) && ends.skip < kMaxLeadingSkip;) {
        ++ends.skip;
        ends.first = GetMenuItemID(menu, ++pos);
    }
    int pos = count - 1;
    ends.last = GetMenuItemID(menu, pos);
    while (!IsOrdinaryId(ends.last) && pos > 0) {
        ++ends.skip;
        ends.last = GetMenuItemID(menu, --pos);
    }
    return ends;
}

struct Placement {
    bool insert;
    int pos;
    bool separatorBefore;
};

Placement ChoosePlacement(HMENU menu, int count, const MenuEnds& ends) {
    if (ends.first == kPlayerMainMenuFirst) return {true, count - ends.skip - 1, true};
    if (ends.first == kPlayerSmallMenuFirst && count < kPlayerSmallMenuMinItems) return {false, 0, false};
    if (CountRecognisedTexts(menu, count) == kRecognisedTextCount) return {true, count - ends.skip - 2, true};
    if (ends.first == kSubMenuItem && IsPlayerLastItem(ends.last)) return {true, count - ends.skip - 2, false};
    return {false, 0, false};
}

// Both commands or none: a sub-menu short of one is destroyed here, not inserted.
UniqueMenu MakeBurnMenu() {
    UniqueMenu menu(CreatePopupMenu());
    if (menu && (!AppendMenuA(menu.get(), MF_STRING, kCommandBurnPlaylist, "Burn Playlist...") ||
                 !AppendMenuA(menu.get(), MF_STRING, kCommandBurnSelected, "Burn Selected Tracks...")))
        menu.reset();
    return menu;
}

void InsertBurnMenu(HMENU menu, int pos) {
    DestroyBurnPopupMenu();
    UniqueMenu burnMenu = MakeBurnMenu();
    if (!burnMenu) return;
    if (!InsertMenuA(menu, static_cast<UINT>(pos), MF_BYPOSITION | MF_POPUP | MF_STRING,
                     reinterpret_cast<UINT_PTR>(burnMenu.get()), "Nero"))
        return;
    // From here on the player's menu may destroy it with itself.
    burnPopupMenu.reset(burnMenu.release());
    if (!IsSeparatorAt(menu, pos + 1)) InsertSeparator(menu, pos + 1);
}

// A player that keeps its pop-up menu and opens it again still shows the sub-menu inserted the
// last time: a second one would only pile up "Nero" items.
bool HoldsLiveBurnMenu(HMENU menu, int count) {
    HMENU burnMenu = burnPopupMenu.get();
    if (!IsLiveBurnMenu(burnMenu)) return false;
    for (int i = 0; i < count; ++i) {
        if (GetSubMenu(menu, i) == burnMenu) return true;
    }
    return false;
}

}  // namespace

void BuildPlayerMenu(HMENU menu) {
    int count = GetMenuItemCount(menu);
    if (count <= 0 || HoldsLiveBurnMenu(menu, count)) return;
    MenuEnds ends = ScanMenuEnds(menu, count);
    Trace("Opening popup with first itm %u 0x%x\n", ends.first, ends.first);
    Placement placement = ChoosePlacement(menu, count, ends);
    if (!placement.insert) return;
    int pos = placement.pos < 0 ? 0 : (placement.pos > count ? count : placement.pos);
    if (placement.separatorBefore && !IsSeparatorAt(menu, pos - 1)) InsertSeparator(menu, pos++);
    InsertBurnMenu(menu, pos);
}

void DestroyBurnPopupMenu() { burnPopupMenu.reset(); }

namespace {

void RoutePlayerMessage(HWND window, UINT message, WPARAM wParam) {
    if (message == WM_COMMAND && (wParam == kCommandBurnPlaylist || wParam == kCommandBurnSelected)) {
        burnWholePlaylist = wParam == kCommandBurnPlaylist;
        if (!SignalBurnEvent())
            MessageBoxA(window, kDialogCannotOpenText, kMessageBoxCaption, MB_ICONERROR | MB_OK);
    } else if (message == WM_INITMENUPOPUP && BurnCommandsAvailable()) {
        BuildPlayerMenu(reinterpret_cast<HMENU>(wParam));
    }
}

}  // namespace

// After shutdown it may still be in the chain, under a later subclass: it then only forwards,
// touching nothing that shutdown released.
LRESULT CALLBACK PlayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (!shutdownBegun) RoutePlayerMessage(window, message, wParam);
    } catch (...) {
    }
    if (previousPlayerWindowProc == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    return CallWindowProcA(previousPlayerWindowProc, window, message, wParam, lParam);
}
