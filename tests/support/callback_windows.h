#pragma once
// A stand-in for the burn dialog as the engine callbacks see it: a top-level window with a
// progress bar and a read-only multi-line status box, registered with the callbacks.

#include <windows.h>

#include <string>

class CallbackWindows {
public:
    CallbackWindows();
    ~CallbackWindows();
    CallbackWindows(const CallbackWindows&) = delete;
    CallbackWindows& operator=(const CallbackWindows&) = delete;

    HWND dialog() const { return dialog_; }
    HWND status() const { return status_; }
    HWND progress() const { return progress_; }

    std::string StatusText() const;
    int ProgressPosition() const;
    // Messages of WM_APP the dialog window has had dispatched to it.
    int appMessagesDispatched() const;
    // Pumps this thread's messages until the handle is signalled or the time runs out.
    bool PumpUntil(HANDLE handle, DWORD timeoutMs = 10000) const;

private:
    HWND dialog_ = nullptr;
    HWND status_ = nullptr;
    HWND progress_ = nullptr;
};
