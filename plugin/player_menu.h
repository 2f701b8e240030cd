#pragma once
// The "Nero" sub-menu in the player's pop-up menus and the routing of its two commands.

#include <windows.h>

constexpr UINT kCommandBurnPlaylist = 8000;
constexpr UINT kCommandBurnSelected = 8001;

// Installed on the player's main window; forwards every message to the saved procedure (only that,
// once shut down: a later subclass may keep it in the window's chain).
LRESULT CALLBACK PlayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Where PlayerWindowProc forwards to (set by QGeneralModule when it subclasses the window).
extern WNDPROC previousPlayerWindowProc;

void BuildPlayerMenu(HMENU menu);
// Destroys the plug-in's sub-menu if it still exists (at shutdown).
void DestroyBurnPopupMenu();
