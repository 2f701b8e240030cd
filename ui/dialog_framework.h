#pragma once
// The small framework behind the plug-in's dialogs: an abstract dialog bound to its window
// through the window's user data, a factory handed to the system as the creation parameter,
// one dialog procedure, a message loop for modeless dialogs, and three helpers.

#include <windows.h>

#include <string>

class DialogBase {
public:
    DialogBase(HWND window, LPARAM creationParameter, bool modal)
        : window_(window), creationParameter_(creationParameter), modal_(modal) {}
    DialogBase(const DialogBase&) = delete;
    DialogBase& operator=(const DialogBase&) = delete;

    virtual bool OnCommand(HWND window, int id, int code, HWND control) = 0;
    virtual bool OnNotify(HWND window, WPARAM wParam, LPARAM lParam) = 0;
    virtual INT_PTR OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // Would move and resize listed controls after a change of the client size; our dialogs
    // have fixed frames.
    virtual void Layout() {}
    virtual ~DialogBase() = default;
    virtual void OnInitDialog(HWND window) = 0;

    HWND window() const { return window_; }
    LPARAM creationParameter() const { return creationParameter_; }
    bool modal() const { return modal_; }

    // Modal: EndDialog with the result. Modeless: end the message loop, then destroy the window.
    void Close(INT_PTR result);

private:
    HWND window_;
    LPARAM creationParameter_;
    bool modal_;
};

class DialogFactory {
public:
    DialogFactory(LPARAM creationParameter, bool modal) : creationParameter(creationParameter), modal(modal) {}
    virtual ~DialogFactory() = default;
    // A new dialog object for the window, owned by the window from then on; null on failure.
    virtual DialogBase* Create(HWND window) = 0;

    LPARAM creationParameter;
    bool modal;
};

// The dialog procedure of every dialog; the creation parameter must be a DialogFactory*.
INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class MessageLoop {
public:
    explicit MessageLoop(HWND dialog, HACCEL accelerators = nullptr) : dialog_(dialog), accelerators_(accelerators) {}
    // Runs the calling thread's messages until the dialog posts WM_QUIT; returns its exit code,
    // -1 when GetMessageA fails, 0 at once without a dialog.
    int Run();

private:
    HWND dialog_;
    HACCEL accelerators_;
};

// Shows a bitmap resource of the plug-in module on a button; releases the bitmap it replaces.
void SetButtonBitmap(HWND button, int bitmapId);
// Takes the bitmap off a button and releases it (before the button goes away).
void ReleaseButtonBitmap(HWND button);
// The whole text of a window or control.
std::string WindowText(HWND window);
