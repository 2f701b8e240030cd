#pragma once
// Drives the plug-in's burn dialog from a test the way a user would, through window messages
// only: the dialog lives on the plug-in's worker thread.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Runs the calling thread's messages (other threads send to its windows while it waits) until
// the condition holds; false on time-out.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 30000);
// The same until the handle is signalled (an auto-reset event is consumed).
bool PumpUntilSignalled(HANDLE handle, DWORD timeoutMs = 30000);
// Runs the calling thread's messages for a while.
void PumpFor(DWORD ms);

// The burn dialog of this process: caption "Tolvane", dialog class, with a drive box. Hidden
// dialogs count only when asked for.
HWND FindBurnDialog(bool visibleOnly = true);
HWND WaitForBurnDialog(DWORD timeoutMs = 60000);
// The visible About box ("About...") shown by that thread, or null.
HWND FindAboutBox(DWORD thread);
bool WaitForBurnDialogGone(DWORD timeoutMs = 30000);

std::string ControlText(HWND dialog, int id);
void SetControlText(HWND dialog, int id, const char* text);
bool IsChecked(HWND dialog, int id);
// Sets a check box and tells the dialog as a click would.
void ClickCheckBox(HWND dialog, int id, bool checked);
std::vector<std::string> ComboItems(HWND dialog, int id);
int ComboSelection(HWND dialog, int id);
// Selects an entry (-1: none) and tells the dialog as the user's choice would.
void ChooseComboItem(HWND dialog, int id, int index);
// Selects without telling the dialog.
void SetComboSelection(HWND dialog, int id, int index);
int ProgressPosition(HWND dialog);
// Size in pixels of the bitmap a button shows, 0 by 0 without one.
SIZE ButtonBitmapSize(HWND dialog, int id);
int ButtonBitmapWidth(HWND dialog, int id);
// The face the Exit button shows, told apart by its shape so that it holds at every display scale.
enum class ExitFace { None, Exit, Cancel };
ExitFace ExitButtonFace(HWND dialog);
// The idle look: enabled (no box of the plug-in's over it), empty status box, progress 0, the
// Exit face. The dialog restores it in the same step that ends a burn, so once it shows, the
// dialog acts idle too.
bool DialogLooksIdle(HWND dialog);

// Posts the command a click on a button gives; returns at once.
void PostButtonCommand(HWND dialog, int id);
// Sends it and waits for the dialog to handle it.
void SendButtonCommand(HWND dialog, int id);
void PostCloseButton(HWND dialog);

