#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <vector>

#include "resources/resource.h"
#include "support/plugin_module.h"
#include "ui/dialog_framework.h"
#include "ui/hyperlink.h"

namespace {

// A dialog holding the link control, with no object of its own.
class NoObjectFactory : public DialogFactory {
public:
    std::unique_ptr<DialogBase> Create(HWND) override { return nullptr; }
};

class HyperLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        dialog = CreateDialogParamA(PluginModule(), MAKEINTRESOURCEA(IDD_ABOUT), nullptr, DialogProc,
                                    reinterpret_cast<LPARAM>(static_cast<DialogFactory*>(&factory)));
        ASSERT_NE(nullptr, dialog);
        control = GetDlgItem(dialog, IDC_ABOUT_LINK);
        ASSERT_NE(nullptr, control);
        dc = CreateCompatibleDC(nullptr);
        originalFont = GetCurrentObject(dc, OBJ_FONT);
    }
    void TearDown() override {
        DeleteDC(dc);
        DestroyWindow(dialog);
    }
    LRESULT Colour(HWND target, HDC context = nullptr) {
        return SendMessageA(target, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(context != nullptr ? context : dc),
                            reinterpret_cast<LPARAM>(target));
    }
    LOGFONTA SelectedFont() {
        LOGFONTA font{};
        GetObjectA(GetCurrentObject(dc, OBJ_FONT), sizeof font, &font);
        return font;
    }

    NoObjectFactory factory;
    HWND dialog = nullptr;
    HWND control = nullptr;
    HDC dc = nullptr;
    HGDIOBJ originalFont = nullptr;
};

TEST_F(HyperLinkTest, PointingShowsTheHandCursor) {
    HyperLink link(dialog, IDC_ABOUT_LINK, "");
    SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));  // the arrow
    EXPECT_EQ(TRUE, SendMessageA(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control), HTCLIENT));
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)), GetCursor());
}

TEST_F(HyperLinkTest, DrawsUnderlinedInTheLinkColourOnTheDialogBackground) {
    auto link = std::make_unique<HyperLink>(dialog, IDC_ABOUT_LINK, "");
    auto controlFont = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    ASSERT_NE(nullptr, controlFont);
    LOGFONTA expected{};
    GetObjectA(controlFont, sizeof expected, &expected);
    EXPECT_EQ(0, GetWindowLongPtrA(control, GWL_STYLE) & SS_NOTIFY);

    EXPECT_EQ(reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)), Colour(control));
    EXPECT_NE(0, GetWindowLongPtrA(control, GWL_STYLE) & SS_NOTIFY) << "the static now gets mouse input";
    EXPECT_EQ(0x00FF0000u, GetTextColor(dc));
    EXPECT_EQ(TRANSPARENT, GetBkMode(dc));
    LOGFONTA drawn = SelectedFont();
    EXPECT_EQ(1, drawn.lfUnderline);
    EXPECT_EQ(expected.lfHeight, drawn.lfHeight);
    EXPECT_STREQ(expected.lfFaceName, drawn.lfFaceName);

    HGDIOBJ underlined = GetCurrentObject(dc, OBJ_FONT);
    EXPECT_EQ(underlined, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)))
        << "the static paints with the font it owns, so it owns the underlined one";
    Colour(control);
    EXPECT_EQ(underlined, GetCurrentObject(dc, OBJ_FONT)) << "the underlined font is made once";
    EXPECT_EQ(TRUE, SendMessageA(control, WM_LBUTTONDOWN, 0, 0)) << "a click with no target does nothing";

    SelectObject(dc, originalFont);
    link.reset();
    EXPECT_EQ(controlFont, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    EXPECT_EQ(0u, GetObjectType(underlined)) << "the underlined font is released with the link";
}

TEST_F(HyperLinkTest, DestructionRestoresTheControl) {
    auto ownProcedure = GetWindowLongPtrA(control, GWLP_WNDPROC);
    {
        HyperLink link(dialog, IDC_ABOUT_LINK, "http://www.marlpit.example/");
        EXPECT_EQ(control, link.control());
        EXPECT_NE(ownProcedure, GetWindowLongPtrA(control, GWLP_WNDPROC));
        Colour(control);
        SelectObject(dc, originalFont);
    }
    EXPECT_EQ(ownProcedure, GetWindowLongPtrA(control, GWLP_WNDPROC));
    EXPECT_EQ(HTCLIENT, SendMessageA(control, WM_NCHITTEST, 0, 0)) << "the static answers for itself again";

    // Gone while painted contexts still hold the underlined font: each gets back its own font,
    // so the underlined one is selected nowhere and really goes.
    HDC other = CreateCompatibleDC(nullptr);
    const HGDIOBJ otherFont = GetCurrentObject(other, OBJ_FONT);
    const struct {
        const char* painted;
        std::vector<HDC> contexts;
    } cases[] = {{"one context", {dc}}, {"one context twice", {dc, dc}}, {"two contexts", {dc, other}}};
    for (const auto& c : cases) {
        HGDIOBJ underlined = nullptr;
        {
            HyperLink link(dialog, IDC_ABOUT_LINK, "");
            for (HDC context : c.contexts) Colour(control, context);
            underlined = GetCurrentObject(c.contexts.back(), OBJ_FONT);
            ASSERT_NE(originalFont, underlined) << c.painted;
        }
        EXPECT_EQ(originalFont, GetCurrentObject(dc, OBJ_FONT)) << c.painted;
        EXPECT_EQ(otherFont, GetCurrentObject(other, OBJ_FONT)) << c.painted;
        EXPECT_EQ(0u, GetObjectType(underlined)) << c.painted;
    }
    DeleteDC(other);
}

TEST_F(HyperLinkTest, ControlsThatCannotBeALink) {
    {
        HyperLink missing(dialog, 4242, "http://www.marlpit.example/");
        EXPECT_EQ(nullptr, missing.control());
    }
    {
        HWND icon = GetDlgItem(dialog, IDC_ABOUT_LINE1);
        SetWindowLongPtrA(icon, GWL_STYLE, GetWindowLongPtrA(icon, GWL_STYLE) | SS_ICON);
        HyperLink notText(dialog, IDC_ABOUT_LINE1, "");
        EXPECT_EQ(0, Colour(icon)) << "only a text static is drawn as a link";
        EXPECT_EQ(originalFont, GetCurrentObject(dc, OBJ_FONT));
    }
    SendMessageA(control, WM_SETFONT, 0, FALSE);
    HyperLink noFont(dialog, IDC_ABOUT_LINK, "");
    Colour(control);
    EXPECT_EQ(originalFont, GetCurrentObject(dc, OBJ_FONT)) << "a control without font gets no underlined font";
    EXPECT_EQ(0x00FF0000u, GetTextColor(dc));
}

}  // namespace
