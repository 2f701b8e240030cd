#pragma once
// The small framework behind the plug-in's dialogs: a dialog object that its window owns from
// WM_INITDIALOG to WM_DESTROY, a factory handed to the system as the creation parameter that
// makes it, one dialog procedure, a message loop for modeless dialogs, and three helpers.

#include <windows.h>

#include <memory>
#include <string>

#include "base/handles.h"

// How a dialog runs, which decides how it closes.
enum class DialogMode { Modal, Modeless };

class DialogBase {
public:
    DialogBase(HWND window, DialogMode mode) : window_(window), mode_(mode) {}
    DialogBase(const DialogBase&) = delete;
    DialogBase& operator=(const DialogBase&) = delete;
    virtual ~DialogBase() = default;

    // Each handler's default leaves the message to the system's dialog handling.
    // False: the dialog must not open (it has told the user why); its creator destroys it.
    virtual bool OnInitDialog(HWND /*window*/) { return true; }
    // WM_DESTROY, while the controls still exist: what the dialog gave them is taken back here.
    virtual void OnDestroy(HWND /*window*/) {}
    // WM_COMMAND; true when handled.
    virtual bool OnCommand(HWND /*window*/, int /*id*/, int /*code*/, HWND /*control*/) { return false; }
    // WM_NOTIFY; true when handled.
    virtual bool OnNotify(HWND /*window*/, WPARAM /*wParam*/, LPARAM /*lParam*/) { return false; }
    // Every other message; 0 when not handled.
    virtual INT_PTR OnMessage(HWND /*window*/, UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) { return 0; }

    HWND window() const { return window_; }

    // Modal: EndDialog with the result. Modeless: end the message loop, then destroy the window,
    // and with it this object: nothing of it may be used once this returns.
    void Close(INT_PTR result);

private:
    HWND window_;
    DialogMode mode_;
};

// How a dialog's opening went, as its factory learns it at WM_INITDIALOG.
enum class DialogOpening {
    Opened,
    // Its OnInitDialog said no, and told the user why.
    Declined,
    // No object could be made or bound to the window, or its OnInitDialog failed.
    Failed,
};

class DialogFactory {
public:
    DialogFactory() = default;
    DialogFactory(const DialogFactory&) = delete;
    DialogFactory& operator=(const DialogFactory&) = delete;
    virtual ~DialogFactory() = default;
    // The dialog object for the window, which takes it over; none leaves the window without one.
    virtual std::unique_ptr<DialogBase> Create(HWND window) = 0;

    // A dialog that did not open is ended at once (EndDialog): a modal one returns -1, and the
    // creator of a modeless one must destroy its window, which is hidden.
    DialogOpening opening() const { return opening_; }
    void SetOpening(DialogOpening opening) { opening_ = opening; }

private:
    DialogOpening opening_ = DialogOpening::Failed;
};

// The dialog procedure of every dialog; the creation parameter must be a DialogFactory*.
INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class MessageLoop {
public:
    explicit MessageLoop(HWND dialog) : dialog_(dialog) {}
    // Runs the calling thread's messages until the dialog posts WM_QUIT; returns its exit code,
    // -1 when GetMessageA fails, 0 at once without a dialog.
    int Run();

private:
    HWND dialog_;
};

// A bitmap resource of the plug-in module as a button shows it; none when it cannot be loaded.
UniqueBitmap LoadButtonBitmap(int bitmapId);
// Shows a bitmap resource of the plug-in module on a button; releases the bitmap it replaces.
void SetButtonBitmap(HWND button, int bitmapId);
// Shows a bitmap the caller keeps (none: no picture); the one it replaces stays the caller's.
void ShowButtonBitmap(HWND button, HBITMAP image);
// Takes the bitmap off a button and releases it (before the button goes away).
void ReleaseButtonBitmap(HWND button);
// The whole text of a window or control.
std::string WindowText(HWND window);
