#include "automation/burn_dialog_driver.h"

#include <commctrl.h>

#include <cstring>

#include "resources/resource.h"

namespace {

struct Search {
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK InspectWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) return TRUE;
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    // The caption only of dialogs: asking another thread's window for its text waits for that
    // thread, and the player's thread may have stopped answering.
    if (std::string(className) != "#32770") return TRUE;
    char caption[16] = {};
    GetWindowTextA(window, caption, sizeof caption);
    if (std::string(caption) != "Tolvane") return TRUE;
    if (GetDlgItem(window, IDC_DRIVE_BOX) == nullptr) return TRUE;
    if (search->visibleOnly && !IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}

void PumpPending() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

struct AboutSearch {
    DWORD thread;
    HWND found;
};

BOOL CALLBACK FindAboutWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<AboutSearch*>(param);
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    if (GetWindowThreadProcessId(window, nullptr) != search->thread || std::string(name) != "#32770" ||
        !IsWindowVisible(window))
        return TRUE;
    char caption[64] = {};
    GetWindowTextA(window, caption, sizeof caption);
    if (std::string(caption) != "About...") return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        PumpPending();
        if (condition()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

bool PumpUntilSignalled(HANDLE handle, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        PumpPending();
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed > timeoutMs) return false;
        const DWORD woke = MsgWaitForMultipleObjects(1, &handle, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0) return true;
        if (woke != WAIT_OBJECT_0 + 1) return false;
    }
}

void PumpFor(DWORD ms) { PumpUntil([] { return false; }, ms); }

HWND FindBurnDialog(bool visibleOnly) {
    Search search{visibleOnly, nullptr};
    EnumWindows(InspectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindAboutBox(DWORD thread) {
    AboutSearch search{thread, nullptr};
    EnumWindows(FindAboutWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForBurnDialog(DWORD timeoutMs) {
    HWND dialog = nullptr;
    PumpUntil([&] { return (dialog = FindBurnDialog()) != nullptr; }, timeoutMs);
    return dialog;
}

bool WaitForBurnDialogGone(DWORD timeoutMs) {
    return PumpUntil([] { return FindBurnDialog(false) == nullptr; }, timeoutMs);
}

std::string ControlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    const LRESULT length = SendMessageA(control, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(std::strlen(text.c_str()));
    return text;
}

void SetControlText(HWND dialog, int id, const char* text) {
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

bool IsChecked(HWND dialog, int id) {
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void ClickCheckBox(HWND dialog, int id, bool checked) {
    HWND box = GetDlgItem(dialog, id);
    SendMessageA(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(box));
}

std::vector<std::string> ComboItems(HWND dialog, int id) {
    HWND box = GetDlgItem(dialog, id);
    std::vector<std::string> items;
    const LRESULT count = SendMessageA(box, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageA(box, CB_GETLBTEXTLEN, i, 0);
        std::string text(static_cast<size_t>(length) + 1, '\0');
        SendMessageA(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(std::strlen(text.c_str()));
        items.push_back(text);
    }
    return items;
}

int ComboSelection(HWND dialog, int id) {
    return static_cast<int>(SendMessageA(GetDlgItem(dialog, id), CB_GETCURSEL, 0, 0));
}

void SetComboSelection(HWND dialog, int id, int index) {
    SendMessageA(GetDlgItem(dialog, id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void ChooseComboItem(HWND dialog, int id, int index) {
    SetComboSelection(dialog, id, index);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

int ProgressPosition(HWND dialog) {
    return static_cast<int>(SendMessageA(GetDlgItem(dialog, IDC_PROGRESS), PBM_GETPOS, 0, 0));
}

SIZE ButtonBitmapSize(HWND dialog, int id) {
    auto bitmap = reinterpret_cast<HBITMAP>(SendMessageA(GetDlgItem(dialog, id), BM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP info = {};
    if (bitmap == nullptr || GetObjectA(bitmap, sizeof info, &info) == 0) return {0, 0};
    return {info.bmWidth, info.bmHeight};
}

int ButtonBitmapWidth(HWND dialog, int id) { return ButtonBitmapSize(dialog, id).cx; }

// Exit is 42 by 20 pixels at 100 %, Cancel 52 by 20; both keep their proportions when scaled.
ExitFace ExitButtonFace(HWND dialog) {
    SIZE face = ButtonBitmapSize(dialog, IDC_EXIT_BUTTON);
    if (face.cy <= 0) return ExitFace::None;
    return face.cx * 100 >= face.cy * 235 ? ExitFace::Cancel : ExitFace::Exit;
}

bool DialogLooksIdle(HWND dialog) {
    return IsWindowEnabled(dialog) && ControlText(dialog, IDC_STATUS).empty() && ProgressPosition(dialog) == 0 &&
           ExitButtonFace(dialog) == ExitFace::Exit;
}

void PostButtonCommand(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void SendButtonCommand(HWND dialog, int id) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void PostCloseButton(HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }
