#pragma once
// Process-wide values shared across the plug-in's threads. Each has a single writer at a
// time; the cross-thread ones are atomics so every reader sees the latest write.

#include <windows.h>

#include <atomic>
#include <string>

// The plug-in's own module, for its resources. Set at process attach.
extern HINSTANCE moduleInstance;
// "<file description> <version text>", handed to the player; stable until unload.
extern std::string moduleDescription;
// The player's main window: owner of every message box, parent of the burn dialog.
extern std::atomic<HWND> playerWindow;
// Which menu command came last: true for "Burn Playlist...", false for "Burn Selected Tracks...".
extern std::atomic<bool> burnWholePlaylist;
// True when the engine's interface version is above 5.5.9.10; written once by the worker.
extern std::atomic<bool> engineVersionIsCurrent;
// The open burn dialog; cleared when the dialog is destroyed.
extern std::atomic<HWND> burnDialogWindow;
// True from the start of shutdown: a burn dialog that opens after shutdown looked for one
// closes itself, and no new one opens.
extern std::atomic<bool> shutdownBegun;
