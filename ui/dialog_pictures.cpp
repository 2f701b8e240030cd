#include "ui/dialog_pictures.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/handles.h"
#include "base/plugin_state.h"
#include "base/text.h"
#include "resources/resource.h"

namespace {

// The dialog base units of "MS Sans Serif" 8 at 96 dots per inch: a template of 313 units is
// then 470 pixels wide, the banner's width.
constexpr int kBaseUnitsX = 6;
constexpr int kBaseUnitsY = 13;

// Every bitmap drawn at larger scales besides 100 % (resources/make_bitmaps.py), smallest first.
struct DrawnSizes {
    int id;
    int larger[3];  // 0: none
};
constexpr DrawnSizes kDrawnSizes[] = {
    {IDB_BURN_BUTTON, {IDB_BURN_BUTTON_125, IDB_BURN_BUTTON_150, IDB_BURN_BUTTON_200}},
    {IDB_CANCEL_BUTTON, {IDB_CANCEL_BUTTON_125, IDB_CANCEL_BUTTON_150, IDB_CANCEL_BUTTON_200}},
    {IDB_EXIT_BUTTON, {IDB_EXIT_BUTTON_125, IDB_EXIT_BUTTON_150, IDB_EXIT_BUTTON_200}},
    {IDB_BANNER, {IDB_BANNER_150, IDB_BANNER_200, 0}},
};

const DrawnSizes* DrawnSizesOf(int id) {
    for (const DrawnSizes& sizes : kDrawnSizes) {
        if (sizes.id == id) return &sizes;
    }
    return nullptr;
}

// A bitmap resource's size from its header, 0 by 0 when there is none.
SIZE ResourceSize(int id) {
    HRSRC found = FindResourceA(moduleInstance, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2));  // RT_BITMAP
    if (found == nullptr || SizeofResource(moduleInstance, found) < sizeof(BITMAPINFOHEADER)) return {0, 0};
    const void* data = LockResource(LoadResource(moduleInstance, found));
    if (data == nullptr) return {0, 0};
    BITMAPINFOHEADER header;
    std::memcpy(&header, data, sizeof header);
    return {header.biWidth, std::labs(header.biHeight)};
}

SIZE Scaled(SIZE size, double x, double y) {
    return {static_cast<LONG>(std::floor(size.cx * x + 0.5)), static_cast<LONG>(std::floor(size.cy * y + 0.5))};
}

SIZE WantedSize(SIZE drawn, DialogScale scale, PictureFit fit) {
    return fit == PictureFit::Place ? Scaled(drawn, scale.x, scale.y) : Scaled(drawn, scale.y, scale.y);
}

// Rounding of the dialog's units leaves the places a pixel or two off the drawn scales; a
// picture that near is shown as drawn, sharper than any stretch of it.
bool NearEnough(LONG drawn, LONG wanted) { return std::labs(drawn - wanted) <= 1 + wanted / 25; }
bool NearEnough(SIZE drawn, SIZE wanted) { return NearEnough(drawn.cx, wanted.cx) && NearEnough(drawn.cy, wanted.cy); }
bool Covers(SIZE drawn, SIZE wanted) { return drawn.cx >= wanted.cx && drawn.cy >= wanted.cy; }

struct Choice {
    int id;
    SIZE drawn;
    bool stretch;
};

// The drawn size near enough to the wanted one; else the smallest that covers it, to be shrunk
// (a shrunk picture stays sharp); else the largest, to be enlarged.
Choice ChoosePicture(int id, SIZE wanted, SIZE drawn100) {
    Choice best{id, drawn100, !NearEnough(drawn100, wanted)};
    if (!best.stretch) return best;
    const DrawnSizes* sizes = DrawnSizesOf(id);
    if (sizes == nullptr) return best;
    bool covered = Covers(drawn100, wanted);
    for (int larger : sizes->larger) {
        if (larger == 0) break;
        SIZE drawn = ResourceSize(larger);
        if (drawn.cx == 0) continue;
        if (NearEnough(drawn, wanted)) return {larger, drawn, false};
        if (!covered) {
            best = {larger, drawn, true};
            covered = Covers(drawn, wanted);
        }
    }
    return best;
}

// A copy at another size, averaged (HALFTONE, which Windows NT has always had) rather than
// pixels dropped or doubled; null on failure.
HBITMAP Stretched(HBITMAP source, SIZE from, SIZE to) {
    ScopedWindowDC screen(nullptr);
    UniqueMemoryDC sourceDc(CreateCompatibleDC(screen.get()));
    UniqueMemoryDC targetDc(CreateCompatibleDC(screen.get()));
    UniqueBitmap target(CreateCompatibleBitmap(screen.get(), to.cx, to.cy));
    if (!sourceDc || !targetDc || !target) return nullptr;
    ScopedSelectObject sourceSelected(sourceDc.get(), source);
    ScopedSelectObject targetSelected(targetDc.get(), target.get());
    SetStretchBltMode(targetDc.get(), HALFTONE);
    SetBrushOrgEx(targetDc.get(), 0, 0, nullptr);
    if (!StretchBlt(targetDc.get(), 0, 0, to.cx, to.cy, sourceDc.get(), 0, 0, from.cx, from.cy, SRCCOPY))
        return nullptr;
    targetSelected.reset();
    return target.release();
}

HBITMAP LoadBitmapResource(int id, UINT loadFlags) {
    return static_cast<HBITMAP>(LoadImageA(moduleInstance, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, loadFlags));
}

HBITMAP LoadChoice(const Choice& choice, SIZE wanted, UINT loadFlags) {
    UniqueBitmap drawn(LoadBitmapResource(choice.id, loadFlags));
    if (!drawn || !choice.stretch) return drawn.release();
    // A picture a little off its place is still better than none.
    HBITMAP stretched = Stretched(drawn.get(), choice.drawn, wanted);
    return stretched != nullptr ? stretched : drawn.release();
}

SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP info{};
    if (bitmap == nullptr || GetObjectA(bitmap, sizeof info, &info) == 0) return {0, 0};
    return {info.bmWidth, info.bmHeight};
}

// The 100 % bitmap a picture static shows, known by its size (each is drawn at a size of its own).
int DrawnBitmapOfSize(SIZE size) {
    for (const DrawnSizes& sizes : kDrawnSizes) {
        SIZE drawn = ResourceSize(sizes.id);
        if (drawn.cx == size.cx && drawn.cy == size.cy) return sizes.id;
    }
    return 0;
}

BOOL CALLBACK ScalePictureStatic(HWND control, LPARAM parameter) {
    if (!IsPictureStatic(control)) return TRUE;
    const DialogScale scale = *reinterpret_cast<const DialogScale*>(parameter);
    SIZE shown = BitmapSize(reinterpret_cast<HBITMAP>(SendMessageA(control, STM_GETIMAGE, IMAGE_BITMAP, 0)));
    int id = DrawnBitmapOfSize(shown);
    if (id == 0) return TRUE;
    SIZE wanted = WantedSize(shown, scale, PictureFit::Place);
    Choice choice = ChoosePicture(id, wanted, shown);
    if (choice.id == id && !choice.stretch) return TRUE;  // the template's own bitmap, as drawn
    // The static loads its template's bitmap without flags, and so its replacement is loaded.
    UniqueBitmap picture(LoadChoice(choice, wanted, 0));
    if (!picture) return TRUE;
    // The static resizes itself to its new picture; the one it hands back is ours to release.
    UniqueBitmap previous(reinterpret_cast<HBITMAP>(
        SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture.get()))));
    // A static of the common controls version 6 shows a copy of a picture with alpha, and the
    // picture given stays ours; else the static has it now.
    if (SendMessageA(control, STM_GETIMAGE, IMAGE_BITMAP, 0) == reinterpret_cast<LRESULT>(picture.get()))
        picture.release();
    return TRUE;
}

}  // namespace

bool IsPictureStatic(HWND control) {
    char className[16] = {};
    GetClassNameA(control, className, sizeof className);
    return EqualIgnoringCase(className, "Static") && (GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP;
}

DialogScale MeasureDialogScale(HWND dialog) {
    RECT units{0, 0, 4, 8};
    if (!IsWindow(dialog) || !MapDialogRect(dialog, &units) || units.right <= 0 || units.bottom <= 0) return {};
    return {static_cast<double>(units.right) / kBaseUnitsX, static_cast<double>(units.bottom) / kBaseUnitsY};
}

HBITMAP LoadScaledPicture(int bitmapId, DialogScale scale, PictureFit fit, UINT loadFlags) {
    SIZE drawn100 = ResourceSize(bitmapId);
    SIZE wanted = WantedSize(drawn100, scale, fit);
    if (drawn100.cx == 0 || wanted.cx <= 0 || wanted.cy <= 0) return LoadBitmapResource(bitmapId, loadFlags);
    return LoadChoice(ChoosePicture(bitmapId, wanted, drawn100), wanted, loadFlags);
}

void ScalePictureStatics(HWND dialog) {
    DialogScale scale = MeasureDialogScale(dialog);
    EnumChildWindows(dialog, ScalePictureStatic, reinterpret_cast<LPARAM>(&scale));
}
