#include "downloader/ui/qt/dialog_units.h"

#include <gtest/gtest.h>

namespace dravik {
namespace {

TEST(DialogUnits, MulDivRoundsHalfAwayFromZero) {
  struct Case {
    int number, numerator, denominator, result;
  };
  const Case cases[] = {
      {10, 6, 4, 15},
      {7, 6, 4, 11},
      {5, 6, 4, 8},
      {1, 1, 2, 1},
      {-1, 1, 2, -1},
      {-7, 6, 4, -11},
      {7, -6, 4, -11},
      {7, 6, -4, -11},
      {3, 13, 8, 5},
      {0, 9, 4, 0},
      {100, 0, 4, 0},
      {5, 5, 0, 0},
      {40000, 60000, 3, 800'000'000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MulDiv(c.number, c.numerator, c.denominator), c.result)
        << c.number << " * " << c.numerator << " / " << c.denominator;
  }
}

TEST(DialogUnits, AverageWidthOfTheFiftyTwoLetters) {
  // A font whose letters take 6.5 pixels on average counts as 7 wide, 6.4 as 6.
  EXPECT_EQ(AverageCharWidth(338), 7);
  EXPECT_EQ(AverageCharWidth(333), 6);
  EXPECT_EQ(AverageCharWidth(312), 6);
  EXPECT_EQ(AverageCharWidth(0), 0);
}

TEST(DialogUnits, TemplateRectanglesInPixels) {
  struct Case {
    DialogRect rect;
    DialogBaseUnits base;
    PixelRect pixels;
  };
  const Case cases[] = {
      // The port dialog's OK button in the classic 6 x 13 cell, and in larger ones.
      {{10, 52, 50, 14}, {6, 13}, {15, 85, 75, 23}},
      {{10, 52, 50, 14}, {8, 16}, {20, 104, 100, 28}},
      // The download dialog's percentage label: a quarter and an eighth of a cell.
      {{176, 47, 18, 9}, {7, 15}, {308, 88, 32, 17}},
      {{0, 0, 1, 1}, {7, 15}, {0, 0, 2, 2}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToPixels(c.rect, c.base), c.pixels) << c.rect.x << "," << c.rect.y;
  }
}

TEST(DialogUnits, AStaticWidensToItsTextOnItsFreeSide) {
  using A = TextAlignment;
  struct Case {
    PixelRect rect;
    int textWidth;
    TextAlignment alignment;
    int clientWidth;
    PixelRect result;
  };
  const Case cases[] = {
      {{308, 88, 32, 17}, 30, A::Right, 352, {308, 88, 32, 17}},  // fits: as the template says
      {{308, 88, 32, 17}, 34, A::Right, 352, {306, 88, 34, 17}},  // grows to the left
      {{10, 5, 40, 17}, 50, A::Left, 120, {10, 5, 50, 17}},       // grows to the right
      {{40, 5, 40, 17}, 50, A::Centre, 120, {35, 5, 50, 17}},     // both ways
      {{80, 5, 40, 17}, 70, A::Left, 120, {50, 5, 70, 17}},       // stopped by the right edge
      {{2, 5, 10, 17}, 30, A::Right, 120, {0, 5, 30, 17}},        // stopped by the left edge
      {{0, 5, 10, 17}, 200, A::Centre, 120, {0, 5, 120, 17}},     // never wider than the dialog
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WidenToFit(c.rect, c.textWidth, c.alignment, c.clientWidth), c.result) << c.textWidth;
  }
}

TEST(DialogUnits, DropDownListShowsWhatFitsBelowTheClosedControl) {
  EXPECT_EQ(DropDownItems(140, 24, 15), 7);
  EXPECT_EQ(DropDownItems(30, 24, 15), 1);  // too short for one: one all the same
  EXPECT_EQ(DropDownItems(140, 24, 0), 1);
}

}  // namespace
}  // namespace dravik
