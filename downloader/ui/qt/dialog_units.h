#pragma once
// Dialog units to pixels, as the dialog manager maps a template: a horizontal unit
// is a quarter of the dialog font's average character width, a vertical unit an
// eighth of its character height. Pure arithmetic, so the layout rules are tested
// by tables without a display.

#include <cstdint>

#include "downloader/resources/dialogs.h"

namespace dravik {

// The dialog font's average character cell in pixels.
struct DialogBaseUnits {
  int x = 0;
  int y = 0;
};

struct PixelRect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;

  bool operator==(const PixelRect&) const = default;
};

// number * numerator / denominator rounded half away from zero (0 for a zero
// denominator), in 64 bits so nothing overflows.
int MulDiv(int number, int numerator, int denominator);

// The average character width the dialog manager takes for a font: the advance of
// the 52 letters a-z and A-Z over 26, halved and rounded up.
int AverageCharWidth(int advanceOfAllLetters);

// The 52 letters whose advance AverageCharWidth wants.
inline constexpr char kAverageWidthLetters[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

int HorizontalPixels(int units, DialogBaseUnits base);
int VerticalPixels(int units, DialogBaseUnits base);
PixelRect ToPixels(const DialogRect& rect, DialogBaseUnits base);

enum class TextAlignment { Left, Centre, Right };

// A one-line static whose text is wider than its rectangle is widened to the text,
// on the side its alignment leaves free, and kept within the dialog's client area:
// a text is never cut, whatever the desktop's font makes of it.
PixelRect WidenToFit(PixelRect rect, int textWidth, TextAlignment alignment, int clientWidth);

// A drop-down list's template height covers the closed control and its open list;
// how many items the open list shows (at least one) when the closed control is
// controlPixels high.
int DropDownItems(int templatePixels, int controlPixels, int itemPixels);

}  // namespace dravik
