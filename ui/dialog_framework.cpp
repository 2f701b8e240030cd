#include "ui/dialog_framework.h"

#include <cstring>
#include <utility>

#include "base/handles.h"
#include "ui/dialog_pictures.h"

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

// The window takes the object over.
DialogBase* Bind(HWND window, std::unique_ptr<DialogBase> dialog) {
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(dialog.get()));
    return dialog.release();
}

// The window gives its object back.
std::unique_ptr<DialogBase> Unbind(HWND window) {
    return std::unique_ptr<DialogBase>(
        reinterpret_cast<DialogBase*>(SetWindowLongPtrA(window, GWLP_USERDATA, 0)));
}

std::unique_ptr<DialogBase> NewDialog(LPARAM factoryParameter, HWND window) {
    auto* factory = reinterpret_cast<DialogFactory*>(factoryParameter);
    if (factory == nullptr) return nullptr;
    try {
        return factory->Create(window);
    } catch (...) {
        return nullptr;  // out of memory: a window without object, as below
    }
}

INT_PTR OnInitDialog(HWND window, LPARAM factoryParameter) {
    ScalePictureStatics(window);
    std::unique_ptr<DialogBase> dialog = NewDialog(factoryParameter, window);
    // Without an object the window keeps the system's default dialog handling.
    if (!dialog) return TRUE;
    Bind(window, std::move(dialog))->OnInitDialog(window);
    return TRUE;
}

// A picture static of a dialog template loads its bitmap itself, and leaves it behind when it
// goes away: one bitmap lost at every opening of the dialog.
BOOL CALLBACK ReleasePictureBitmap(HWND child, LPARAM) {
    if (IsPictureStatic(child)) {
        UniqueBitmap previous(reinterpret_cast<HBITMAP>(SendMessageA(child, STM_SETIMAGE, IMAGE_BITMAP, 0)));
    }
    return TRUE;
}

// The last message at which the dialog's controls still exist, which the object's destructor
// may need. Unbound before it goes, so nothing it triggers reaches a half-destroyed object.
INT_PTR OnDestroy(HWND window) {
    Unbind(window).reset();
    EnumChildWindows(window, ReleasePictureBitmap, 0);
    return FALSE;
}

INT_PTR Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogBase* dialog = BoundDialog(window);
    if (message == WM_INITDIALOG) return OnInitDialog(window, lParam);
    // Also without an object (its factory failed): the pictures go with the window.
    if (message == WM_DESTROY) return OnDestroy(window);
    if (dialog == nullptr) return FALSE;
    switch (message) {
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

void SetButtonBitmap(HWND button, int bitmapId) {
    if (!IsWindow(button)) return;
    // The face's first pixel and its grey take the system's button colour.
    UniqueBitmap image(LoadScaledPicture(bitmapId, MeasureDialogScale(GetParent(button)), PictureFit::FontHeight,
                                         LR_LOADMAP3DCOLORS | LR_LOADTRANSPARENT));
    // The button does not own its image: the one it hands back is ours to release.
    UniqueBitmap previous(reinterpret_cast<HBITMAP>(
        SendMessageA(button, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(image.release()))));
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
