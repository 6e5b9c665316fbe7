// The colour picker: the wheel angle, the picture it draws, its markers, and the mouse on the
// square and the ring, run modally and closed through OK or Cancel.
#include <QPushButton>
#include <cstring>
#include <vector>

#include "editor/controls/ColorSwatch.h"
#include "editor/dialogs/ColorDlg.h"
#include "editor/tests/DialogTestUtil.h"
#include "shape/model/uScColor.h"

namespace editor_test {
namespace {

using editor::TColorDlg;
using platform::TColor;

TColor Hsl(int h, int s, int l) {
  uint8_t r, g, b;
  shape::HSLToRGB(h, s, l, r, g, b);
  return platform::RGB(r, g, b);
}

TEST(ColorWheelAngle, ZeroAtTheTopGrowingAnticlockwise) {
  const int cases[][3] = {
      {0, 10, 0},      {10, 10, 45},  {10, 0, 90},     {10, -10, 135}, {0, -10, 180},
      {-10, -10, 225}, {-10, 0, 270}, {-10, 10, 315},  {0, 0, 270},    {1, 94, 1},
      {-1, 94, 359},   {94, 1, 89},   {-1, 1000, 360},  // just left of the top, far out: rounds to 0 before
                                                        // the turn is added
  };
  for (const auto& c : cases) EXPECT_EQ(editor::ColorWheelAngle(c[0], c[1]), c[2]) << c[0] << "," << c[1];
}

class ColorDlgTest : public DialogTest {
 protected:
  void Press(int x, int y) { QTest::mousePress(dlg.Image1, Qt::LeftButton, Qt::NoModifier, QPoint(x, y)); }
  void Move(int x, int y) {
    QMouseEvent e(QEvent::MouseMove, QPointF(x, y), dlg.Image1->mapToGlobal(QPointF(x, y)), Qt::NoButton,
                  Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dlg.Image1, &e);
  }
  void Release(int x, int y) {
    QTest::mouseRelease(dlg.Image1, Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
  }
  TColorDlg dlg{nullptr};
};

// FormCreate makes the 200 x 200 picture the dialog draws into.
TEST_F(ColorDlgTest, FormCreateMakesThePicture) {
  EXPECT_EQ(dlg.Picture.Width(), 200);
  dlg.Picture.SetSize(0, 0);
  dlg.FormCreate();
  EXPECT_EQ(dlg.Picture.Width(), 200);
  EXPECT_EQ(dlg.Picture.Height(), 200);
}

TEST_F(ColorDlgTest, OkPacksTheChosenColourAndCancelKeepsTheOld) {
  OnceShown(dlg, [&] {
    EXPECT_EQ(dlg.Hue, 0);
    EXPECT_EQ(dlg.Sat, 100);
    EXPECT_EQ(dlg.Light, 50);
    Press(60, 140);
    Release(60, 140);
    Click(dlg.OkButton);
  });
  ASSERT_TRUE(dlg.Execute(platform::clRed));
  EXPECT_EQ(dlg.Sat, 10);
  EXPECT_EQ(dlg.Light, 90);
  EXPECT_EQ(dlg.PickedColor, Hsl(0, 10, 90));
  OnceShown(dlg, [&] {
    Press(60, 60);
    Click(dlg.CancelButton);
  });
  EXPECT_FALSE(dlg.Execute(0x123456));
  EXPECT_EQ(dlg.PickedColor, TColor(0x123456));
}

TEST_F(ColorDlgTest, PressesPickInTheSquareOrOnTheRing) {
  struct Case {
    int x, y;
    int hue, sat, light, dragPart;
  } cases[] = {
      {60, 140, 33, 10, 90, 1},                                // the square
      {51, 51, 33, 1, 1, 1},                                   // its corners
      {150, 150, 33, 100, 100, 1}, {50, 100, 33, 50, 50, 0},   // just outside it, inside the ring
      {194, 100, 270, 50, 50, 2},                              // the ring at distance 94
      {100, 6, 0, 50, 50, 2},      {195, 100, 33, 50, 50, 0},  // distance 95: nothing
      {100, 25, 33, 50, 50, 0},                                // distance 75: nothing
  };
  for (const Case& c : cases) {
    dlg.Hue = 33;
    dlg.Sat = 50;
    dlg.Light = 50;
    Press(c.x, c.y);
    EXPECT_EQ(dlg.DragPart, c.dragPart) << c.x << "," << c.y;
    EXPECT_EQ(dlg.Hue, c.hue) << c.x << "," << c.y;
    if (c.dragPart == 1) {
      EXPECT_EQ(dlg.Sat, c.sat);
      EXPECT_EQ(dlg.Light, c.light);
    }
    Release(c.x, c.y);
    EXPECT_EQ(dlg.DragPart, 0);
  }
}

TEST_F(ColorDlgTest, DragsFollowTheirPart) {
  Press(194, 100);  // on the ring: the hue follows the pointer wherever it goes
  Move(6, 100);
  EXPECT_EQ(dlg.Hue, 90);
  Move(100, 100);
  EXPECT_EQ(dlg.Hue, 270);
  Move(100, -400);
  EXPECT_EQ(dlg.Hue, 0);
  Release(100, -400);
  Press(60, 140);  // in the square: only inside it
  Move(170, 80);
  EXPECT_EQ(dlg.Sat, 10);
  Move(150, 51);
  EXPECT_EQ(dlg.Sat, 100);
  EXPECT_EQ(dlg.Light, 1);
  Release(150, 51);
  EXPECT_EQ(dlg.Hue, 0);
  Move(60, 60);  // no drag after the release
  EXPECT_EQ(dlg.Sat, 100);
}

TEST_F(ColorDlgTest, DrawsRingSquareSwatchAndXorMarkers) {
  dlg.Hue = 0;  // its marker at (100, 15)
  dlg.Sat = 80;
  dlg.Light = 30;  // its marker at (130, 80)
  dlg.DrawPicker();
  const platform::TBitmap& picture = dlg.Picture;
  EXPECT_EQ(picture.PixelColor(20, 100), Hsl(90, 80, 30));    // the ring, left
  EXPECT_EQ(picture.PixelColor(100, 180), Hsl(180, 80, 30));  // bottom
  EXPECT_EQ(picture.PixelColor(185, 100), Hsl(270, 80, 30));  // right
  EXPECT_EQ(picture.PixelColor(60, 70), Hsl(0, 10, 20));      // the square
  EXPECT_EQ(picture.PixelColor(150, 150), Hsl(0, 100, 100));
  EXPECT_EQ(picture.PixelColor(3, 3), platform::ColorToRGB(platform::clBtnFace));
  EXPECT_EQ(picture.PixelColor(100, 100 - 75), platform::ColorToRGB(platform::clBtnFace));  // distance 75
  EXPECT_EQ(dlg.Shape1->BrushColor(), Hsl(0, 80, 30));
  // the picture is what the image shows
  dlg.Image1->Repaint();
  EXPECT_EQ(dlg.Image1->Surface().PixelColor(60, 70), Hsl(0, 10, 20));

  // The markers: drawn again they are gone, byte for byte; drawn once they change only pixels
  // round their two centres.
  const int bytes = picture.BytesPerLine() * picture.Height();
  const std::vector<uint8_t> with(picture.Bits(), picture.Bits() + bytes);
  dlg.DrawMarkers();
  const std::vector<uint8_t> without(picture.Bits(), picture.Bits() + bytes);
  dlg.DrawMarkers();
  EXPECT_EQ(std::memcmp(with.data(), picture.Bits(), bytes), 0);
  int nearHue = 0, nearSquare = 0, elsewhere = 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 200; ++x) {
      const size_t at = y * picture.BytesPerLine() + x * 4;
      if (std::memcmp(&with[at], &without[at], 3) == 0) continue;
      if (std::abs(x - 100) <= 5 && std::abs(y - 15) <= 5)
        ++nearHue;
      else if (std::abs(x - 130) <= 5 && std::abs(y - 80) <= 5)
        ++nearSquare;
      else
        ++elsewhere;
    }
  EXPECT_GT(nearHue, 10);
  EXPECT_GT(nearSquare, 10);
  EXPECT_EQ(elsewhere, 0);
}

}  // namespace
}  // namespace editor_test
