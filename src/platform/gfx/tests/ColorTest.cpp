#include <gtest/gtest.h>

#include <QColor>

#include "platform/gfx/Color.h"

using namespace platform;

TEST(Color, RedIsInTheLowByte) {
  EXPECT_EQ(RGB(0x12, 0x34, 0x56), 0x563412);
  EXPECT_EQ(GetRValue(clRed), 255);
  EXPECT_EQ(GetBValue(clBlue), 255);
  EXPECT_EQ(GetGValue(clLime), 255);
  const QColor q = ToQColor(RGB(1, 2, 3));
  EXPECT_EQ(q.red(), 1);
  EXPECT_EQ(q.green(), 2);
  EXPECT_EQ(q.blue(), 3);
  EXPECT_EQ(FromQColor(QColor(10, 20, 30)), RGB(10, 20, 30));
}

TEST(Color, SystemColoursAreNegativeAndResolveThroughTheTable) {
  struct Case {
    TColor color;
    TColor rgb;
  };
  const Case cases[] = {
      {clWindow, clWhite},
      {clWindowText, clBlack},
      {clBtnFace, RGB(240, 240, 240)},
      {clBtnShadow, RGB(160, 160, 160)},
      {clHighlight, RGB(51, 153, 255)},
      {clInfoBk, RGB(255, 255, 225)},
      {clGrayText, RGB(109, 109, 109)},
      {clMenuBar, RGB(240, 240, 240)},
  };
  for (const auto& c : cases) {
    EXPECT_LT(c.color, 0);
    EXPECT_EQ(ColorToRGB(c.color), c.rgb) << std::hex << c.color;
  }
  // An index beyond the table is black, never a read past it.
  EXPECT_EQ(ColorToRGB(static_cast<TColor>(0xFF0000FF)), clBlack);
  // Ordinary colours pass unchanged, clNone included.
  for (TColor c : {clBlack, clWhite, clRed, clMoneyGreen, clNone, clDefault}) EXPECT_EQ(ColorToRGB(c), c);
  EXPECT_EQ(FromQColor(ToQColor(clBtnFace)), RGB(240, 240, 240));
}
