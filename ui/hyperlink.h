#pragma once
// Turns a static text control into a link: hand cursor, underlined text in the link colour,
// the target opened with the shell's "open" verb on a click. The drawing state is
// process-wide, so only one link exists at a time (the About box is modal).

#include <windows.h>

constexpr COLORREF kLinkColour = 0x00FF0000;

class HyperLink {
public:
    HyperLink(HWND dialog, int controlId, const char* target);
    // Puts back the control's own procedure and font and releases the underlined font.
    ~HyperLink();
    HyperLink(const HyperLink&) = delete;
    HyperLink& operator=(const HyperLink&) = delete;

    // The link control; none when the dialog has no such control.
    HWND control() const { return control_; }

private:
    HWND control_ = nullptr;
};
