#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/handles.h"
#include "resources/resource.h"
#include "support/leak_measures.h"
#include "support/plugin_module.h"
#include "ui/dialog_framework.h"

namespace {

// A dialog template read back from the module, as the dialog manager will see it.
struct TemplateItem {
    DWORD style;
    int id, x, y, cx, cy;
    std::string className, text;
};
struct DialogTemplate {
    DWORD style;
    int cx, cy;
    std::string caption, fontName;
    int fontSize;
    std::vector<TemplateItem> items;
};

class TemplateReader {
public:
    explicit TemplateReader(const BYTE* data) : p_(data) {}
    WORD Word() {
        WORD value;
        std::memcpy(&value, p_, 2);
        p_ += 2;
        return value;
    }
    DWORD Dword() { return Word() | (static_cast<DWORD>(Word()) << 16); }
    std::string Wide() {
        std::string text;
        for (WORD c = Word(); c != 0; c = Word()) text += static_cast<char>(c);
        return text;
    }
    // A text or an ordinal; ordinals of the predefined classes become their names.
    std::string TextOrOrdinal() {
        WORD first;
        std::memcpy(&first, p_, 2);
        if (first != 0xFFFF) return Wide();
        Word();
        WORD ordinal = Word();
        switch (ordinal) {
        case 0x80: return "Button";
        case 0x81: return "Edit";
        case 0x82: return "Static";
        case 0x85: return "ComboBox";
        default: return "#" + std::to_string(ordinal);
        }
    }
    void AlignDword(const BYTE* base) {
        while ((p_ - base) % 4 != 0) ++p_;
    }

private:
    const BYTE* p_;
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

DialogTemplate ReadDialog(int id) {
    HRSRC found = FindResourceA(PluginModule(), MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));  // RT_DIALOG
    EXPECT_NE(nullptr, found) << "dialog " << id;
    if (found == nullptr) return {};
    auto* base = static_cast<const BYTE*>(LockResource(LoadResource(PluginModule(), found)));
    TemplateReader in(base);
    DialogTemplate dialog{};
    dialog.style = in.Dword();
    in.Dword();  // extended style
    int count = in.Word();
    in.Word();
    in.Word();
    dialog.cx = static_cast<short>(in.Word());
    dialog.cy = static_cast<short>(in.Word());
    in.TextOrOrdinal();  // menu
    in.TextOrOrdinal();  // class
    dialog.caption = in.Wide();
    if (dialog.style & DS_SETFONT) {
        dialog.fontSize = in.Word();
        dialog.fontName = in.Wide();
    }
    for (int i = 0; i < count; ++i) {
        in.AlignDword(base);
        TemplateItem item{};
        item.style = in.Dword();
        in.Dword();
        item.x = static_cast<short>(in.Word());
        item.y = static_cast<short>(in.Word());
        item.cx = static_cast<short>(in.Word());
        item.cy = static_cast<short>(in.Word());
        item.id = static_cast<short>(in.Word());
        item.className = Lower(in.TextOrOrdinal());
        item.text = in.TextOrOrdinal();
        WORD extra = in.Word();
        for (WORD b = 0; b < extra; b += 2) in.Word();
        dialog.items.push_back(item);
    }
    return dialog;
}

struct ExpectedItem {
    int id;
    const char* className;
    int x, y, cx, cy;
    const char* text;
    DWORD typeMask;  // the low style bits that must equal those of `style`
    DWORD style;     // every other bit given here must be set
};

void ExpectItems(const DialogTemplate& dialog, const std::vector<ExpectedItem>& expected) {
    ASSERT_EQ(expected.size(), dialog.items.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const ExpectedItem& want = expected[i];
        const TemplateItem& got = dialog.items[i];
        SCOPED_TRACE("control " + std::to_string(i) + " \"" + want.text + "\" id " + std::to_string(want.id));
        EXPECT_EQ(want.id, got.id);
        EXPECT_EQ(Lower(want.className), got.className);
        EXPECT_EQ(want.x, got.x);
        EXPECT_EQ(want.y, got.y);
        EXPECT_EQ(want.cx, got.cx);
        EXPECT_EQ(want.cy, got.cy);
        EXPECT_EQ(want.text, got.text);
        EXPECT_EQ(want.style & want.typeMask, got.style & want.typeMask);
        DWORD flags = want.style & ~want.typeMask;
        EXPECT_EQ(flags, got.style & flags);
        EXPECT_NE(0u, got.style & WS_VISIBLE);
    }
}

constexpr DWORD kButtonType = 0xF;
constexpr DWORD kStaticType = 0x1F;
constexpr DWORD kComboType = 0x3;

TEST(Resources, BurnDialogTemplate) {
    DialogTemplate dialog = ReadDialog(IDD_BURN);
    EXPECT_EQ("Tolvane", dialog.caption);
    EXPECT_EQ(313, dialog.cx);
    EXPECT_EQ(215, dialog.cy);
    EXPECT_EQ("MS Sans Serif", dialog.fontName);
    EXPECT_EQ(8, dialog.fontSize);
    const DWORD frame = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME;
    EXPECT_EQ(frame, dialog.style & frame);
    EXPECT_EQ(0u, dialog.style & (WS_VISIBLE | WS_MAXIMIZEBOX));
    ExpectItems(dialog, {
        {1, "Button", 202, 190, 50, 18, "Burn", kButtonType, BS_DEFPUSHBUTTON | BS_BITMAP},
        {2, "Button", 256, 190, 50, 18, "Exit", kButtonType, BS_PUSHBUTTON | BS_BITMAP},
        {1009, "msctls_progress32", 9, 173, 297, 11, "", 0, WS_BORDER},
        {1013, "ComboBox", 45, 57, 252, 159, "", kComboType, CBS_DROPDOWNLIST | WS_VSCROLL},
        {1014, "ComboBox", 45, 41, 252, 159, "", kComboType, CBS_DROPDOWNLIST | WS_VSCROLL},
        {-1, "Static", 14, 42, 17, 8, "Type", kStaticType, SS_LEFT},
        {-1, "Static", 14, 58, 18, 8, "Drive", kStaticType, SS_LEFT},
        {1015, "Button", 14, 91, 115, 10, "Use Buffer Underrun Protection", kButtonType, BS_AUTOCHECKBOX},
        {1016, "Button", 7, 194, 59, 10, "Simulate Only", kButtonType, BS_AUTOCHECKBOX},
        {1010, "Edit", 9, 112, 297, 56, "", 0,
         ES_MULTILINE | ES_READONLY | WS_BORDER | WS_VSCROLL | ES_AUTOHSCROLL},
        {-1, "Static", 14, 75, 116, 8, "Gap Between Audio Tracks (0 to 5s)", kStaticType, SS_LEFT},
        {1017, "Edit", 132, 73, 21, 14, "", 0, ES_NUMBER | WS_BORDER | ES_AUTOHSCROLL},
        {-1, "Static", 0, 0, 313, 33, "#132", kStaticType, SS_BITMAP},
        {-1, "Button", 7, 32, 299, 75, "", kButtonType, BS_GROUPBOX},
    });
    for (const TemplateItem& item : dialog.items) {
        if (item.id == 1013 || item.id == 1014) {
            EXPECT_EQ(0u, item.style & CBS_SORT) << "boxes keep their order";
        }
    }
}

TEST(Resources, AboutDialogTemplate) {
    DialogTemplate dialog = ReadDialog(IDD_ABOUT);
    EXPECT_EQ("About...", dialog.caption);
    EXPECT_EQ(186, dialog.cx);
    EXPECT_EQ(68, dialog.cy);
    EXPECT_EQ("MS Sans Serif", dialog.fontName);
    EXPECT_EQ(8, dialog.fontSize);
    const DWORD frame = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    EXPECT_EQ(frame, dialog.style & frame);
    EXPECT_EQ(0u, dialog.style & WS_VISIBLE);
    ExpectItems(dialog, {
        {1, "Button", 129, 47, 50, 14, "OK", kButtonType, BS_DEFPUSHBUTTON},
        {1021, "Static", 7, 7, 172, 8, "", kStaticType, SS_LEFT},
        {1022, "Static", 7, 19, 172, 8, "", kStaticType, SS_LEFT},
        {1023, "Static", 7, 32, 172, 8, "", kStaticType, SS_LEFT},
        {1020, "Static", 7, 50, 110, 8, "Visit the Marlpit website.", kStaticType, SS_LEFT},
    });
    EXPECT_EQ(0u, dialog.items.back().style & SS_NOTIFY) << "the link gets mouse input only once drawn";
}

TEST(Resources, BitmapSizesAndDepths) {
    struct Expected {
        int id, width, height, bits;
    };
    const Expected bitmaps[] = {
        {IDB_BURN_BUTTON, 47, 22, 8},
        {IDB_CANCEL_BUTTON, 52, 20, 8},
        {IDB_EXIT_BUTTON, 42, 20, 8},
        {IDB_BANNER, 470, 53, 24},
    };
    for (const Expected& want : bitmaps) {
        HRSRC found = FindResourceA(PluginModule(), MAKEINTRESOURCEA(want.id), MAKEINTRESOURCEA(2));  // RT_BITMAP
        ASSERT_NE(nullptr, found) << "bitmap " << want.id;
        BITMAPINFOHEADER header;
        std::memcpy(&header, LockResource(LoadResource(PluginModule(), found)), sizeof header);
        EXPECT_EQ(want.width, header.biWidth) << "bitmap " << want.id;
        EXPECT_EQ(want.height, header.biHeight) << "bitmap " << want.id;
        EXPECT_EQ(want.bits, header.biBitCount) << "bitmap " << want.id;
    }
}

// A dialog object that does nothing: the templates alone are being tried.
class NoObjectFactory : public DialogFactory {
public:
    std::unique_ptr<DialogBase> Create(HWND) override { return nullptr; }
};

// A dialog made from the template alone, hidden; null when the template cannot be made.
HWND CreateFromTemplate(int id) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    static NoObjectFactory factory;
    return CreateDialogParamA(PluginModule(), MAKEINTRESOURCEA(id), nullptr, DialogProc,
                              reinterpret_cast<LPARAM>(static_cast<DialogFactory*>(&factory)));
}

TEST(Resources, BothDialogsCanBeCreated) {
    for (int id : {IDD_BURN, IDD_ABOUT}) {
        HWND dialog = CreateFromTemplate(id);
        ASSERT_NE(nullptr, dialog) << "dialog " << id;
        EXPECT_FALSE(IsWindowVisible(dialog)) << "shown only by its own initialisation";
        if (id == IDD_BURN) {
            HWND banner = GetWindow(GetDlgItem(dialog, IDC_GAP), GW_HWNDNEXT);
            EXPECT_NE(0, SendMessageA(banner, STM_GETIMAGE, IMAGE_BITMAP, 0)) << "the banner shows bitmap 132";
            EXPECT_NE(nullptr, GetDlgItem(dialog, IDC_PROGRESS));
        }
        DestroyWindow(dialog);
    }
}

// Every label's text fits its control at the font the template names: a wider substitute font
// cuts the gap label after "(0 to" (SS_LEFT wraps the rest onto a line the control has no room for).
TEST(Resources, LabelsFitTheirControlsAtTheTemplatesFont) {
    for (int id : {IDD_BURN, IDD_ABOUT}) {
        HWND dialog = CreateFromTemplate(id);
        ASSERT_NE(nullptr, dialog) << "dialog " << id;
        int labels = 0;
        for (HWND control = GetWindow(dialog, GW_CHILD); control != nullptr; control = GetWindow(control, GW_HWNDNEXT)) {
            char className[32] = "", text[256] = "";
            GetClassNameA(control, className, sizeof className);
            const int length = GetWindowTextA(control, text, sizeof text);
            if (lstrcmpiA(className, "Static") != 0 || (GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK) != SS_LEFT ||
                length == 0)
                continue;
            ++labels;
            ScopedWindowDC dc(control);
            ScopedSelectObject font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
            char face[LF_FACESIZE] = "";
            GetTextFaceA(dc.get(), sizeof face, face);
            EXPECT_STREQ("MS Sans Serif", face) << "the font the template names is installed (Debian: fonts-wine)";
            SIZE extent{};
            ASSERT_TRUE(GetTextExtentPoint32A(dc.get(), text, length, &extent));
            RECT client{};
            GetClientRect(control, &client);
            EXPECT_LE(extent.cx, client.right) << "\"" << text << "\" in dialog " << id;
        }
        EXPECT_GT(labels, 0) << "dialog " << id;
        DestroyWindow(dialog);
    }
}


// The dialogs at the display scale this run has: CTest's display_scale runs these at 96, 120, 144
// and 192 dots per inch, each in a Wine prefix of its own (TOLVANE_DPI in scripts/wine-env).
class DisplayScale : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ScopedWindowDC screen(nullptr);
        dpi_ = GetDeviceCaps(screen.get(), LOGPIXELSY);
        const char* wanted = std::getenv("TOLVANE_DPI");
        if (wanted != nullptr) {
            EXPECT_EQ(std::atoi(wanted), dpi_) << "the prefix's scale";
        }
    }
    // How far the dialog's own layout has grown: its base units against 6 by 13 at 96 dpi.
    static double FontScale(HWND dialog) {
        RECT units{0, 0, 4, 8};
        MapDialogRect(dialog, &units);
        return units.bottom / 13.0;
    }
    static HBITMAP Shown(HWND control, bool button) {
        return reinterpret_cast<HBITMAP>(
            SendMessageA(control, button ? BM_GETIMAGE : STM_GETIMAGE, IMAGE_BITMAP, 0));
    }
    static SIZE SizeOf(HBITMAP bitmap) {
        BITMAP info{};
        GetObjectA(bitmap, sizeof info, &info);
        return {info.bmWidth, info.bmHeight};
    }
    // The picture's pixels, top row first, 0x00RRGGBB.
    static std::vector<DWORD> Pixels(HBITMAP bitmap) {
        SIZE size = SizeOf(bitmap);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), size.cx, -size.cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        std::vector<DWORD> pixels(static_cast<size_t>(size.cx) * size.cy);
        ScopedWindowDC screen(nullptr);
        GetDIBits(screen.get(), bitmap, 0, size.cy, pixels.data(), &info, DIB_RGB_COLORS);
        return pixels;
    }
    // Rows from the label's top to its bottom: dark pixels in the face's right half, where the
    // word stands beside its symbol.
    static int LabelHeight(HBITMAP face) {
        SIZE size = SizeOf(face);
        std::vector<DWORD> pixels = Pixels(face);
        int top = size.cy, bottom = -1;
        for (int y = 0; y < size.cy; ++y) {
            for (int x = size.cx * 11 / 20; x < size.cx; ++x) {
                DWORD p = pixels[static_cast<size_t>(y) * size.cx + x];
                if (GetRValue(p) < 80 && GetGValue(p) < 80 && GetBValue(p) < 80) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
        }
        return bottom - top + 1;
    }
    static int dpi_;
};
int DisplayScale::dpi_ = 0;

constexpr int kNearPixels = 4;

// The banner fills its place of the template; each button face keeps the share of its button's
// height it has at 100 % (22 of 29 pixels, 20 of 29) and its proportions, and its word grows
// with the dialog's font (7 pixels high at 100 %). The About box has no picture.
TEST_F(DisplayScale, PicturesFillTheirPlaces) {
    struct Face {
        int button, bitmap, width, height;
    };
    const Face faces[] = {
        {IDC_BURN_BUTTON, IDB_BURN_BUTTON, 47, 22},
        {IDC_EXIT_BUTTON, IDB_EXIT_BUTTON, 42, 20},
        {IDC_EXIT_BUTTON, IDB_CANCEL_BUTTON, 52, 20},
    };
    // Twice: the first round makes what the system keeps (fonts, caches), the second must leave nothing.
    long gdiObjects = 0;
    for (int id : {IDD_BURN, IDD_ABOUT, 0, IDD_BURN, IDD_ABOUT}) {
        if (id == 0) {
            gdiObjects = CountGdiObjects();
            continue;
        }
        SCOPED_TRACE("dialog " + std::to_string(id) + " at " + std::to_string(dpi_) + " dpi");
        HWND dialog = CreateFromTemplate(id);
        ASSERT_NE(nullptr, dialog);
        const double scale = FontScale(dialog);
        int pictures = 0;
        HWND control = GetWindow(dialog, GW_CHILD);
        for (const TemplateItem& item : ReadDialog(id).items) {
            SCOPED_TRACE(item.className + " " + item.text);
            RECT place{item.x, item.y, item.x + item.cx, item.y + item.cy};
            MapDialogRect(dialog, &place);
            if (item.className == "static" && (item.style & SS_TYPEMASK) == SS_BITMAP) {
                ++pictures;
                SIZE shown = SizeOf(Shown(control, false));
                EXPECT_NEAR(place.right - place.left, shown.cx, kNearPixels);
                EXPECT_NEAR(place.bottom - place.top, shown.cy, kNearPixels);
            }
            for (const Face& face : faces) {
                if (!(item.style & BS_BITMAP) || item.id != face.button) continue;
                ++pictures;
                SetButtonBitmap(control, face.bitmap);
                SIZE shown = SizeOf(Shown(control, true));
                SCOPED_TRACE("bitmap " + std::to_string(face.bitmap));
                EXPECT_NEAR(face.height * (place.bottom - place.top) / 29.0, shown.cy, kNearPixels);
                EXPECT_NEAR(face.width * shown.cy / static_cast<double>(face.height), shown.cx, kNearPixels);
                const int label = LabelHeight(Shown(control, true));
                EXPECT_NEAR(7 * scale, label, 2.0);
                EXPECT_GT(label, scale > 1.2 ? 8 : 6) << "the word grows with the dialog's font";
            }
            control = GetWindow(control, GW_HWNDNEXT);
        }
        EXPECT_EQ(id == IDD_BURN ? 4 : 0, pictures);
        for (int button : {IDC_BURN_BUTTON, IDC_EXIT_BUTTON}) ReleaseButtonBitmap(GetDlgItem(dialog, button));
        DestroyWindow(dialog);
    }
    EXPECT_EQ(gdiObjects, CountGdiObjects()) << "every picture loaded, replaced or stretched is released";
}

// At 100 % the pictures are the bitmaps drawn for it, byte for byte as they have always been,
// and shown as loaded, unstretched.
TEST_F(DisplayScale, At96DpiThePicturesAreTheBitmapsAsDrawn) {
    if (dpi_ != 96) GTEST_SKIP() << "at " << dpi_ << " dpi";
    struct Drawn {
        int id;
        DWORD size, fnv1a;  // of the resource, the .bmp file without its 14-byte file header
    };
    for (const Drawn& drawn : {Drawn{IDB_BURN_BUTTON, 2120, 0x349e7069}, Drawn{IDB_CANCEL_BUTTON, 2104, 0x860bfa79},
                               Drawn{IDB_EXIT_BUTTON, 1944, 0xf91eb586}, Drawn{IDB_BANNER, 74876, 0x138e27fb}}) {
        HRSRC found = FindResourceA(PluginModule(), MAKEINTRESOURCEA(drawn.id), MAKEINTRESOURCEA(2));  // RT_BITMAP
        ASSERT_NE(nullptr, found);
        auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(PluginModule(), found)));
        DWORD hash = 0x811c9dc5;
        for (DWORD i = 0; i < SizeofResource(PluginModule(), found); ++i) hash = (hash ^ bytes[i]) * 0x01000193;
        EXPECT_EQ(drawn.size, SizeofResource(PluginModule(), found)) << "bitmap " << drawn.id;
        EXPECT_EQ(drawn.fnv1a, hash) << "bitmap " << drawn.id;
    }
    HWND dialog = CreateFromTemplate(IDD_BURN);
    ASSERT_NE(nullptr, dialog);
    const std::pair<int, int> faces[] = {{IDC_BURN_BUTTON, IDB_BURN_BUTTON}, {IDC_EXIT_BUTTON, IDB_EXIT_BUTTON},
                                         {IDC_EXIT_BUTTON, IDB_CANCEL_BUTTON}};
    for (const auto& face : faces) {
        HWND button = GetDlgItem(dialog, face.first);
        SetButtonBitmap(button, face.second);
        UniqueBitmap drawn(static_cast<HBITMAP>(LoadImageA(PluginModule(), MAKEINTRESOURCEA(face.second), IMAGE_BITMAP,
                                                           0, 0, LR_LOADMAP3DCOLORS | LR_LOADTRANSPARENT)));
        EXPECT_EQ(Pixels(drawn.get()), Pixels(Shown(button, true))) << "bitmap " << face.second;
        ReleaseButtonBitmap(button);
    }
    HWND banner = GetWindow(GetDlgItem(dialog, IDC_GAP), GW_HWNDNEXT);
    UniqueBitmap drawn(static_cast<HBITMAP>(
        LoadImageA(PluginModule(), MAKEINTRESOURCEA(IDB_BANNER), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    EXPECT_EQ(Pixels(drawn.get()), Pixels(Shown(banner, false)));
    DestroyWindow(dialog);
}

}  // namespace
