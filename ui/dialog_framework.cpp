#include "ui/dialog_framework.h"

#include <cstring>
#include <utility>

#include "base/handles.h"
#include "base/plugin_state.h"
#include "base/text.h"

void DialogBase::Close(INT_PTR result) {
    if (mode_ == DialogMode::Modal) {
        EndDialog(window_, result);
        return;
    }
    // The loop ends first; the window (and with it this object) goes last.
    PostQuitMessage(0);
    DestroyWindow(window_);
}

namespace {

// The window's user data holds the object it owns, none before WM_INITDIALOG and after WM_DESTROY.
DialogBase* BoundDialog(HWND window) {
    return reinterpret_cast<DialogBase*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// The window takes the object over; none when the window's user data could not be set (the
// object then goes here: nothing holds it).
DialogBase* Bind(HWND window, std::unique_ptr<DialogBase> dialog) {
    SetLastError(0);
    // The window is new: its user data was 0, so a 0 back with an error is a failure.
    if (SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(dialog.get())) == 0 &&
        GetLastError() != 0)
        return nullptr;
    return dialog.release();
}

// The window gives its object back; none when it cannot: the object then stays bound, alive,
// and goes at WM_NCDESTROY, the window's very last message.
std::unique_ptr<DialogBase> Unbind(HWND window) {
    SetLastError(0);
    LONG_PTR previous = SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    if (previous == 0 && GetLastError() != 0) return nullptr;
    return std::unique_ptr<DialogBase>(reinterpret_cast<DialogBase*>(previous));
}

std::unique_ptr<DialogBase> NewDialog(DialogFactory* factory, HWND window) {
    if (factory == nullptr) return nullptr;
    try {
        return factory->Create(window);
    } catch (...) {
        return nullptr;  // out of memory: a window without object, as below
    }
}

DialogOpening Open(DialogFactory* factory, HWND window) {
    DialogBase* dialog = Bind(window, NewDialog(factory, window));
    if (dialog == nullptr) return DialogOpening::Failed;
    try {
        return dialog->OnInitDialog(window) ? DialogOpening::Opened : DialogOpening::Declined;
    } catch (...) {
        return DialogOpening::Failed;
    }
}

// Without an object the window keeps the system's default dialog handling, and nothing could
// close it: a dialog that did not open is ended at once.
INT_PTR OnInitDialog(HWND window, LPARAM factoryParameter) {
    auto* factory = reinterpret_cast<DialogFactory*>(factoryParameter);
    const DialogOpening opening = Open(factory, window);
    if (factory != nullptr) factory->SetOpening(opening);
    if (opening != DialogOpening::Opened) EndDialog(window, -1);
    return TRUE;
}

// A picture static of a dialog template loads its bitmap itself, and leaves it behind when it
// goes away: one bitmap lost at every opening of the dialog.
BOOL CALLBACK ReleasePictureBitmap(HWND child, LPARAM) {
    char className[16] = {};
    GetClassNameA(child, className, sizeof className);
    if (EqualIgnoringCase(className, "Static") && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) {
        UniqueBitmap previous(reinterpret_cast<HBITMAP>(SendMessageA(child, STM_SETIMAGE, IMAGE_BITMAP, 0)));
    }
    return TRUE;
}

// The last message at which the dialog's controls still exist, which the object's destructor
// may need. Unbound before it goes, so nothing it triggers reaches a half-destroyed object.
INT_PTR OnDestroy(HWND window, DialogBase& dialog) {
    dialog.OnDestroy(window);
    Unbind(window).reset();
    EnumChildWindows(window, ReleasePictureBitmap, 0);
    return FALSE;
}

// Only an object whose unbinding failed at WM_DESTROY is still bound here.
INT_PTR OnNcDestroy(HWND window) {
    std::unique_ptr<DialogBase> left(BoundDialog(window));
    return FALSE;
}

INT_PTR Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogBase* dialog = BoundDialog(window);
    if (message == WM_INITDIALOG) return OnInitDialog(window, lParam);
    if (dialog == nullptr) return FALSE;
    switch (message) {
    case WM_DESTROY:
        return OnDestroy(window, *dialog);
    case WM_NCDESTROY:
        return OnNcDestroy(window);
    case WM_NOTIFY:
        return dialog->OnNotify(window, wParam, lParam) ? TRUE : FALSE;
    case WM_COMMAND:
        return dialog->OnCommand(window, LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE
                                                                                                            : FALSE;
    default:
        return dialog->OnMessage(window, message, wParam, lParam);
    }
}

bool IsKeyboardMessage(UINT message) { return message >= WM_KEYFIRST && message <= 0x108; }

// A control inside a container of the dialog (a child dialog, a property page) gets that
// container's own keyboard navigation.
bool HandledByNestedContainer(HWND dialog, MSG& message) {
    if (!IsKeyboardMessage(message.message)) return false;
    HWND parent = GetParent(message.hwnd);
    return parent != nullptr && parent != dialog && IsDialogMessageA(parent, &message) == 1;
}

}  // namespace

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return Dispatch(window, message, wParam, lParam);
    } catch (...) {
        return FALSE;
    }
}

int MessageLoop::Run() {
    if (dialog_ == nullptr) return 0;
    MSG message;
    for (;;) {
        BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(message.wParam);
        if (got == -1) return -1;
        if (IsDialogMessageA(dialog_, &message)) continue;
        if (HandledByNestedContainer(dialog_, message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

UniqueBitmap LoadButtonBitmap(int bitmapId) {
    return UniqueBitmap(static_cast<HBITMAP>(LoadImageA(moduleInstance, MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP, 0,
                                                        0, LR_LOADMAP3DCOLORS | LR_LOADTRANSPARENT)));
}

void SetButtonBitmap(HWND button, int bitmapId) {
    if (!IsWindow(button)) return;
    UniqueBitmap image = LoadButtonBitmap(bitmapId);
    // The button does not own its image: the one it hands back is ours to release.
    UniqueBitmap previous(reinterpret_cast<HBITMAP>(
        SendMessageA(button, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(image.release()))));
}

void ShowButtonBitmap(HWND button, HBITMAP image) {
    if (IsWindow(button)) SendMessageA(button, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(image));
}

void ReleaseButtonBitmap(HWND button) {
    if (!IsWindow(button)) return;
    UniqueBitmap previous(reinterpret_cast<HBITMAP>(SendMessageA(button, BM_SETIMAGE, IMAGE_BITMAP, 0)));
}

std::string WindowText(HWND window) {
    LRESULT length = SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(length) + 1, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(std::strlen(text.c_str()));
    return text;
}
