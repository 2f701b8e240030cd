#include "support/callback_windows.h"

#include <commctrl.h>

#include "engine/engine_callbacks.h"

namespace {

const char kClassName[] = "TolvaneCallbackTestDialog";
int appMessages = 0;

LRESULT CALLBACK TestDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        ++appMessages;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterOnce() {
    static bool registered = false;
    if (registered) return;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = TestDialogProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);
    registered = true;
}

}  // namespace

CallbackWindows::CallbackWindows() {
    RegisterOnce();
    appMessages = 0;
    dialog_ = CreateWindowExA(0, kClassName, "Burn", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    progress_ = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 10, 10, 300, 20, dialog_,
                                reinterpret_cast<HMENU>(1009), GetModuleHandleA(nullptr), nullptr);
    status_ = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY, 10, 40, 300, 100,
                              dialog_, reinterpret_cast<HMENU>(1010), GetModuleHandleA(nullptr), nullptr);
    SetCallbackDialogWindow(dialog_);
    SetCallbackStatusWindow(status_);
    SetCallbackProgressWindow(progress_);
}

CallbackWindows::~CallbackWindows() {
    SetCallbackDialogWindow(nullptr);
    SetCallbackStatusWindow(nullptr);
    SetCallbackProgressWindow(nullptr);
    DestroyWindow(dialog_);
}

std::string CallbackWindows::StatusText() const {
    char text[1024] = {};
    GetWindowTextA(status_, text, sizeof text);
    return text;
}

int CallbackWindows::ProgressPosition() const {
    return static_cast<int>(SendMessageA(progress_, PBM_GETPOS, 0, 0));
}

int CallbackWindows::appMessagesDispatched() const { return appMessages; }

bool CallbackWindows::PumpUntil(HANDLE handle, DWORD timeoutMs) const {
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return false;
        DWORD wait = MsgWaitForMultipleObjects(1, &handle, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0) return true;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}
