// Texture drawing with labels: needs fonts, so a QGuiApplication.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <cstdlib>
#include <cstring>

#include "platform/gfx/Canvas.h"
#include "shape/TextureBitmaps.h"
#include "shape/tests/TextureTestUtil.h"

using namespace shape;
using namespace platform;
using shape_test::CountColor;
using shape_test::NewShape;
using shape_test::TextureFixture;

namespace {

void App() {
  static int argc = 1;
  static char name[] = "test_shape_gui";
  static char* argv[] = {name, nullptr};
  // Never destroyed: destroying it among Qt's own exit-time destructors is not safe.
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  (void)app;
}

// Pixels of the box (x1..x2, y1..y2 inclusive) that are not `color`.
int CountOther(const TBitmap& b, int x1, int y1, int x2, int y2, TColor color) {
  int n = 0;
  for (int y = y1; y <= y2; ++y)
    for (int x = x1; x <= x2; ++x) n += b.PixelColor(x, y) != color;
  return n;
}

int CountIn(const TBitmap& b, int x1, int y1, int x2, int y2, TColor color) {
  int n = 0;
  for (int y = y1; y <= y2; ++y)
    for (int x = x1; x <= x2; ++x) n += b.PixelColor(x, y) == color;
  return n;
}

}  // namespace

TEST(TextureGui, DefaultTextureIsLabelledOpaqueAndCopiedToTheBase) {
  App();
  TextureFixture fx;
  auto cs = NewShape(SCTYPE_SPHERE, 33, 33);
  TTextureBitmaps& t = fx.T();
  std::memset(t.LoadedAlpha.Bits(), 0, static_cast<size_t>(t.LoadedAlpha.BytesPerLine()) * 512);
  DrawDefaultTexture(33, 33);
  EXPECT_EQ(CountColor(t.LoadedAlpha, clWhite), 512 * 512);
  for (int y = 0; y < 512; ++y) {
    ASSERT_EQ(std::memcmp(t.BaseColor.ScanLine(y), t.LoadedColor.ScanLine(y), 512 * 4), 0) << y;
    ASSERT_EQ(std::memcmp(t.BaseAlpha.ScanLine(y), t.LoadedAlpha.ScanLine(y), 512), 0) << y;
  }
  // 16 x 16 label cells of 32 pixels: each has its two characters inside the grid lines.
  for (int cell : {0, 5, 15}) {
    const int x0 = 32 * cell, y0 = 32 * cell;
    EXPECT_GT(CountOther(t.LoadedColor, x0 + 2, y0 + 2, x0 + 14, y0 + 14, clWhite), 5) << cell;
    EXPECT_GT(CountOther(t.LoadedColor, x0 + 18, y0 + 2, x0 + 30, y0 + 14, clWhite), 5) << cell;
  }
  // Cell interiors below the labels stay white.
  EXPECT_EQ(CountOther(t.LoadedColor, 2, 26, 13, 29, clWhite), 0);
}

TEST(TextureGui, LabelsOfTwoColumnGridsDoNotDivideByZero) {
  App();
  TextureFixture fx;
  auto cs = NewShape(SCTYPE_PLANE, 2, 2);
  EXPECT_NO_THROW(DrawDefaultTexture(2, 2));
  EXPECT_EQ(fx.T().BaseColor.Width(), 16);
  EXPECT_NO_THROW(RefreshTextureDisplay(*cs));
}

TEST(TextureGui, OverlayShowsMarksLocksAndSelection) {
  App();
  TextureFixture fx;
  auto cs = NewShape(SCTYPE_SPHERE, 33, 33);
  TTextureBitmaps& t = fx.T();
  DrawDefaultTexture(33, 33);
  std::memset(t.BaseAlpha.Bits(), 0, static_cast<size_t>(t.BaseAlpha.BytesPerLine()) * 512);
  cs->SP[4][10] = true;
  cs->RP[4][10] = true;  // selected and locked: a red dot inside an aqua ring
  cs->RP[20][10] = true;
  cs->SP[12][20] = true;
  ColumnMarks[8] = 2;
  ColumnMarks[18] = 3;
  RowMarks[5] = 0;
  RefreshTextureDisplay(*cs);

  const TBitmap& c = t.DisplayColor;
  const TBitmap& a = t.DisplayAlpha;
  const int y10 = 16 * (32 - 10);
  EXPECT_EQ(c.PixelColor(64 - 2, y10 - 2), clRed);
  EXPECT_GT(CountIn(c, 64 - 7, y10 - 7, 64 + 7, y10 + 7, clAqua), 4);
  EXPECT_GT(CountIn(c, 64 - 7, y10 - 7, 64 + 7, y10 + 7, clRed), 20);
  EXPECT_EQ(c.PixelColor(320 - 3, y10 - 3), clAqua);
  EXPECT_EQ(CountIn(c, 320 - 7, y10 - 7, 320 + 7, y10 + 7, clRed), 0);
  EXPECT_EQ(c.PixelColor(192 - 2, 16 * 12 - 2), clRed);
  EXPECT_EQ(CountIn(c, 192 - 7, 16 * 12 - 7, 192 + 7, 16 * 12 + 7, clAqua), 0);

  // Mark 2 doubles column 8 in orange at x - 3 and x + 2; mark 3 in dark red.
  const int yFree = 16 * 3 + 8;
  EXPECT_EQ(c.PixelColor(128 - 3, yFree), 0x0F81EF);
  EXPECT_EQ(c.PixelColor(128 + 2, yFree), 0x0F81EF);
  EXPECT_EQ(c.PixelColor(288 - 3, yFree), 0x000099);
  // Marked lines take their grid colour, unmarked ones silver.
  EXPECT_EQ(c.PixelColor(128, yFree), clRed);
  EXPECT_EQ(c.PixelColor(16 * 3, yFree), clGray);
  EXPECT_EQ(c.PixelColor(8 + 4 * 16, 16 * (32 - 5)), clSilver);

  // The alpha overlay is opaque wherever it draws: every line, mark 2 doubled (not 3), points.
  EXPECT_EQ(a.PixelColor(128 - 3, yFree), clWhite);
  EXPECT_EQ(a.PixelColor(288 - 3, yFree), clBlack);
  EXPECT_EQ(a.PixelColor(8 + 4 * 16, 16 * (32 - 5)), clWhite);
  EXPECT_EQ(a.PixelColor(320 - 3, y10 - 3), clWhite);
  EXPECT_EQ(a.PixelColor(16 * 3 + 8, 16 * 12 + 8 + 20), clBlack);
  EXPECT_GT(CountIn(a, 2, 2, 14, 14, clWhite), 5);  // a label
}

TEST(TextureGui, StampedLabelsMatchTextDrawnByTheCanvas) {
  App();
  TextureFixture fx;
  auto cs = NewShape(SCTYPE_PLANE, 5, 3);  // 64 x 32: two label cells of 32 pixels
  for (TPixelFormat format : {pf32bit, pf8bit}) {
    TBitmap stamped(64, 32, format), direct(64, 32, format);
    for (TBitmap* b : {&stamped, &direct}) {
      b->Canvas().Brush.Color = RGB(200, 220, 240);
      b->Canvas().FillRect(TRect{0, 0, 64, 32});
      b->Canvas().Font.Color = clBlue;
    }
    DrawGridLabels(stamped.Canvas(), 5, 3);
    TCanvas& c = direct.Canvas();
    c.Brush.Style = bsClear;
    c.Font.SetSize(16);
    c.TextOut(4, 4, "0");
    c.TextOut(16, 4, "0");
    c.TextOut(36, 4, "1");
    c.TextOut(48, 4, "0");
    int differing = 0, inked = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 64; ++x) {
        const TColor a = stamped.PixelColor(x, y), b = direct.PixelColor(x, y);
        inked += b != RGB(200, 220, 240) && format == pf32bit;
        for (int shift : {0, 8, 16}) differing += std::abs(((a >> shift) & 0xFF) - ((b >> shift) & 0xFF)) > 2;
      }
    EXPECT_EQ(differing, 0) << format;
    if (format == pf32bit) {
      EXPECT_GT(inked, 20);
    }
  }
}
