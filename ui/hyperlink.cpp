#include "ui/hyperlink.h"

#include <shellapi.h>

#include <cstring>

#include "base/handles.h"

namespace {

struct LinkState {
    WNDPROC savedProcedure = nullptr;
    UniqueFont underlinedFont;
    // The latest selection of the underlined font; it puts back, in the context it changed, the
    // font it replaced, when the next context is painted or the link goes. Declared after the
    // font, so that it goes first.
    ScopedSelectObject selection;
    // The control's own font, handed back to it when the link goes.
    HFONT controlFont = nullptr;
    COLORREF colour = kLinkColour;
    char target[260] = {};
};

LinkState link;

constexpr DWORD kStaticTypeMask = 0xFF;

void EnsureNotify(HWND control) {
    LONG_PTR style = GetWindowLongPtrA(control, GWL_STYLE);
    if ((style & SS_NOTIFY) == 0) SetWindowLongPtrA(control, GWL_STYLE, style | SS_NOTIFY);
}

bool IsTextStatic(HWND control) {
    return (static_cast<DWORD>(GetWindowLongPtrA(control, GWL_STYLE)) & kStaticTypeMask) <= SS_RIGHT;
}

// An underlined copy of the control's font, made once; none when the control has no font.
void EnsureUnderlinedFont(HWND control) {
    if (link.underlinedFont) return;
    auto font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    if (font == nullptr) return;
    LOGFONTA description = {};
    if (GetObjectA(font, sizeof description, &description) == 0) return;
    description.lfUnderline = 1;
    link.underlinedFont.reset(CreateFontIndirectA(&description));
    if (!link.underlinedFont) return;
    // The static selects its own font after asking for its colours, so it must own the
    // underlined one too for the underline to show.
    link.controlFont = font;
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(link.underlinedFont.get()), FALSE);
}

LRESULT OnColour(HWND control, HDC dc) {
    EnsureNotify(control);
    if (!IsTextStatic(control)) return 0;
    EnsureUnderlinedFont(control);
    if (link.underlinedFont) {
        // Undone first, so that a context painted again gives back its own font, not ours.
        link.selection.reset();
        link.selection = ScopedSelectObject(dc, link.underlinedFont.get());
    }
    SetTextColor(dc, link.colour);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
}

void Open() {
    if (link.target[0] != '\0') ShellExecuteA(nullptr, "open", link.target, nullptr, nullptr, SW_SHOW);
}

LRESULT CALLBACK LinkProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
        case WM_SETCURSOR:
            SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));  // IDC_HAND
            return TRUE;
        case WM_CTLCOLORSTATIC:
            return OnColour(control, reinterpret_cast<HDC>(wParam));
        case WM_LBUTTONDOWN:
            Open();
            return TRUE;
        default:
            break;
        }
    } catch (...) {
        return 0;
    }
    return CallWindowProcA(link.savedProcedure, control, message, wParam, lParam);
}

}  // namespace

HyperLink::HyperLink(HWND dialog, int controlId, const char* target) {
    control_ = GetDlgItem(dialog, controlId);
    link.savedProcedure = nullptr;
    if (control_ != nullptr) {
        link.savedProcedure = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(control_, GWLP_WNDPROC));
        // A subclassing that failed hands back no procedure: there is then nothing to put back.
        if (SetWindowLongPtrA(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LinkProcedure)) == 0)
            link.savedProcedure = nullptr;
    }
    link.colour = kLinkColour;
    link.selection.reset();
    link.underlinedFont.reset();
    link.controlFont = nullptr;
    std::strncpy(link.target, target != nullptr ? target : "", sizeof link.target - 1);
    link.target[sizeof link.target - 1] = '\0';
}

HyperLink::~HyperLink() {
    if (control_ == nullptr || link.savedProcedure == nullptr) return;
    SetWindowLongPtrA(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(link.savedProcedure));
    if (link.underlinedFont) {
        // The underlined font must not stay selected anywhere once it is deleted.
        SendMessageA(control_, WM_SETFONT, reinterpret_cast<WPARAM>(link.controlFont), FALSE);
        link.selection.reset();
        link.underlinedFont.reset();
        link.controlFont = nullptr;
    }
    control_ = nullptr;
}
