#include "ui/about_dialog.h"

#include <memory>

#include "resources/resource.h"
#include "ui/dialog_framework.h"
#include "ui/hyperlink.h"

namespace {

constexpr const char* kMakerSite = "http://www.marlpit.example/";

struct AboutText {
    int linkId;
    const char* line1;
    const char* line2;
    const char* line3;
};

class AboutDialog : public DialogBase {
public:
    AboutDialog(HWND window, const AboutText& text)
        : DialogBase(window, DialogMode::Modal),
          text_(text),
          link_(window, text.linkId, kMakerSite) {}

    bool OnInitDialog(HWND window) override {
        SetLine(window, IDC_ABOUT_LINE1, text_.line1);
        SetLine(window, IDC_ABOUT_LINE2, text_.line2);
        SetLine(window, IDC_ABOUT_LINE3, text_.line3);
        ShowWindow(window, SW_SHOW);
        return true;
    }

    bool OnCommand(HWND /*window*/, int id, int /*code*/, HWND /*control*/) override {
        if (id != IDOK && id != IDCANCEL) return false;
        Close(id == IDOK ? 1 : 0);
        return true;
    }

    INT_PTR OnMessage(HWND /*window*/, UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_CTLCOLORSTATIC && IsLink(reinterpret_cast<HWND>(lParam))) {
            // The link's own procedure chooses its font, colour and brush.
            return static_cast<INT_PTR>(SendMessageA(link_.control(), WM_CTLCOLORSTATIC, wParam, lParam));
        }
        if (message == WM_SYSCOMMAND && wParam == SC_CLOSE) {
            Close(0);
            return 1;
        }
        return 0;
    }

private:
    static void SetLine(HWND window, int id, const char* line) { SetDlgItemTextA(window, id, line ? line : ""); }

    bool IsLink(HWND control) const {
        return control != nullptr && GetDlgCtrlID(control) == text_.linkId && link_.control() != nullptr;
    }

    const AboutText& text_;
    HyperLink link_;
};

class AboutDialogFactory : public DialogFactory {
public:
    explicit AboutDialogFactory(const AboutText& text) : text_(text) {}

    std::unique_ptr<DialogBase> Create(HWND window) override { return std::make_unique<AboutDialog>(window, text_); }

private:
    const AboutText& text_;
};

}  // namespace

INT_PTR ShowAbout(HINSTANCE instance, HWND owner, const char* line1, const char* line2, const char* line3) {
    AboutText text{IDC_ABOUT_LINK, line1, line2, line3};
    AboutDialogFactory factory(text);
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_ABOUT), owner, DialogProc,
                           reinterpret_cast<LPARAM>(static_cast<DialogFactory*>(&factory)));
}
