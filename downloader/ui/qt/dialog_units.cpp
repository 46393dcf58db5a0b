#include "downloader/ui/qt/dialog_units.h"

namespace dravik {

int MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return 0;
  const int64_t product = static_cast<int64_t>(number) * numerator;
  const int64_t half = (denominator < 0 ? -denominator : denominator) / 2;
  const bool negative = (product < 0) != (denominator < 0);
  const int64_t magnitude = (product < 0 ? -product : product) + half;
  const int64_t quotient = magnitude / (denominator < 0 ? -denominator : denominator);
  return static_cast<int>(negative ? -quotient : quotient);
}

int AverageCharWidth(int advanceOfAllLetters) {
  return (advanceOfAllLetters / 26 + 1) / 2;
}

int HorizontalPixels(int units, DialogBaseUnits base) {
  return MulDiv(units, base.x, 4);
}

int VerticalPixels(int units, DialogBaseUnits base) {
  return MulDiv(units, base.y, 8);
}

PixelRect ToPixels(const DialogRect& rect, DialogBaseUnits base) {
  return {HorizontalPixels(rect.x, base), VerticalPixels(rect.y, base),
          HorizontalPixels(rect.w, base), VerticalPixels(rect.h, base)};
}

PixelRect WidenToFit(PixelRect rect, int textWidth, TextAlignment alignment, int clientWidth) {
  if (textWidth <= rect.w) return rect;
  int x = rect.x;
  if (alignment == TextAlignment::Right) x = rect.x + rect.w - textWidth;
  if (alignment == TextAlignment::Centre) x = rect.x - (textWidth - rect.w) / 2;
  const int width = textWidth < clientWidth ? textWidth : clientWidth;
  const int lastX = clientWidth - width;
  x = x < 0 ? 0 : (x > lastX ? lastX : x);
  return {x, rect.y, width, rect.h};
}

int DropDownItems(int templatePixels, int controlPixels, int itemPixels) {
  if (itemPixels <= 0) return 1;
  const int items = (templatePixels - controlPixels) / itemPixels;
  return items < 1 ? 1 : items;
}

}  // namespace dravik
