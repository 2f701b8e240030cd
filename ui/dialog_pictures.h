#pragma once
// The dialogs' pictures at the display scale a dialog is shown with. A dialog grows with its
// template's font, and the font with the scale the dialog was created at; the bitmaps are drawn
// for a few scales, and each picture takes the drawn size that fits its place, stretched only
// for what is left. At 100 % every picture is the bitmap as drawn, loaded as it always was.

#include <windows.h>

// How many times larger than at 100 % the dialog's layout is, per axis: its own dialog base
// units against those of the templates' font at 96 dots per inch, which the bitmaps are drawn
// for. Measured from the dialog, not from a process-wide figure, so it follows the scale of the
// monitor the dialog was created on.
struct DialogScale {
    double x = 1, y = 1;
};
DialogScale MeasureDialogScale(HWND dialog);

// How a picture follows the scale: a button face carries a word and grows with the font's
// height; a picture static fills its place, which grows with the layout on each axis.
enum class PictureFit { FontHeight, Place };

// The picture of a bitmap resource (its 100 % identifier) for a dialog at that scale: one of its
// drawn sizes, stretched when none is near enough; loaded with these LoadImageA flags. Null on
// failure.
HBITMAP LoadScaledPicture(int bitmapId, DialogScale scale, PictureFit fit, UINT loadFlags);

// A static control that shows a bitmap (SS_BITMAP).
bool IsPictureStatic(HWND control);

// Gives each picture static (SS_BITMAP) of the dialog the picture for the dialog's scale, in
// place of the 100 % bitmap its template gave it; nothing changes at 100 %.
void ScalePictureStatics(HWND dialog);
