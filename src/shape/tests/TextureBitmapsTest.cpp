#include <gtest/gtest.h>

#include <cstring>

#include "shape/TextureBitmaps.h"
#include "shape/tests/TextureTestUtil.h"

using namespace shape;
using namespace platform;
using shape_test::CountColor;
using shape_test::NewShape;
using shape_test::TextureFixture;

TEST(TextureBitmaps, GridSizeResizesAllSixBitmaps) {
  TextureFixture fx;
  auto cs = NewShape(SCTYPE_SPHERE, 33, 33);
  TTextureBitmaps& t = fx.T();
  for (TBitmap* b :
       {&t.LoadedColor, &t.BaseColor, &t.DisplayColor, &t.LoadedAlpha, &t.BaseAlpha, &t.DisplayAlpha}) {
    EXPECT_EQ(b->Width(), 512);
    EXPECT_EQ(b->Height(), 512);
  }
  EXPECT_EQ(t.LoadedColor.PixelFormat(), pf32bit);
  EXPECT_EQ(t.LoadedAlpha.PixelFormat(), pf8bit);
  EXPECT_EQ(GetPaletteColor255(t.LoadedAlpha), clWhite);
  InitShape(*cs, SCTYPE_PLANE, 65, 9);
  EXPECT_EQ(t.DisplayAlpha.Width(), 1024);
  EXPECT_EQ(t.DisplayAlpha.Height(), 128);
  FreeTextureBitmaps();
  InitShape(*cs, SCTYPE_PLANE, 9, 9);  // no hook left behind
  CreateTextureBitmaps();
  EXPECT_EQ(fx.T().BaseColor.Width(), 128);
}

TEST(TextureBitmaps, GridLineColours) {
  shape_test::SettingsGuard guard;
  auto cs = NewShape(SCTYPE_PLANE, 33, 33);  // the upper rim row does not depend on the type
  EXPECT_EQ(GridLineColor(24, 33, 1), 0xFF00FF);
  EXPECT_EQ(GridLineColor(24, 33, 0), clRed);
  EXPECT_EQ(GridLineColor(16, 33, 1), clRed);
  EXPECT_EQ(GridLineColor(12, 33, 1), clBlue);
  EXPECT_EQ(GridLineColor(13, 33, 1), clGray);
  EXPECT_EQ(GridLineColor(14, 33, 1), clBlack);
  EXPECT_EQ(GridLineColor(0, 33, 1), clRed);  // LinesPerPart = 32 = n - 1: no part boundaries

  settings::AppSettings.DividedHorizontal = true;
  InitShape(*cs, SCTYPE_PLANE, 257, 257);
  ASSERT_EQ(LinesPerPart, 4);
  for (int a : {0, 4, 8, 12, 252, 256}) {
    EXPECT_EQ(GridLineColor(a, 257, 1), 0x00FF00) << a;
    EXPECT_NE(GridLineColor(a, 257, 0), 0x00FF00) << a;
  }
  EXPECT_EQ(GridLineColor(248, 257, 1), 0x00FF00);  // part boundary before the upper rim row
  EXPECT_EQ(GridLineColor(6, 257, 1), clBlack);
  settings::AppSettings.DividedHorizontal = false;
  InitShape(*cs, SCTYPE_PLANE, 257, 257);
  EXPECT_EQ(GridLineColor(4, 257, 0), 0x00FF00);
  EXPECT_EQ(GridLineColor(4, 257, 1), clBlue);
  EXPECT_EQ(GridLineColor(248, 257, 1), 0xFF00FF);  // the upper rim row of 257 rows
}

TEST(TextureBitmaps, GridLabels) {
  EXPECT_EQ(GridLabelChar(32, 33), "G");
  EXPECT_EQ(GridLabelChar(6, 33), "3");
  EXPECT_EQ(GridLabelChar(31, 33), "F");
  EXPECT_EQ(GridLabelChar(32, 65), "0");  // wraps after F
  EXPECT_EQ(GridLabelChar(0, 2), "0");
  EXPECT_EQ(GridLabelPair(7, 33), "31");
  EXPECT_EQ(GridLabelPair(32, 33), "G0");
  EXPECT_EQ(GridLabelPair(0, 33), "00");
  EXPECT_EQ(GridLabelPair(31, 65), "F1");
  EXPECT_EQ(GridLabelPair(32, 65), "00");
}

TEST(TextureBitmaps, GroundIsWhiteOrOneBandPerPart) {
  TextureFixture fx;
  auto cs = NewShape(SCTYPE_SPHERE, 33, 33);
  DrawTextureBackground(33, 33);
  EXPECT_EQ(CountColor(fx.T().LoadedColor, clWhite), 512 * 512);

  settings::AppSettings.DividedHorizontal = true;
  // 257 columns: parts of 4 rows, each one band of 64 pixels (a 257 x 257 grid has 64 of them).
  InitShape(*cs, SCTYPE_SPHERE, 257, 33);
  DrawTextureBackground(257, 33);
  const TBitmap& b = fx.T().LoadedColor;
  ASSERT_EQ(b.Height(), 512);
  for (int band = 0; band < 8; ++band) {
    const TColor expected = band % 2 == 0 ? 0xFFFFFF : 0xDDDDDD;
    for (int y : {band * 64, band * 64 + 63})
      for (int x : {0, 2000, 4095}) ASSERT_EQ(b.PixelColor(x, y), expected) << band << " " << x << "," << y;
  }
  settings::AppSettings.DividedHorizontal = false;
  InitShape(*cs, SCTYPE_SPHERE, 257, 9);  // parts of 128 columns side by side
  DrawTextureBackground(257, 9);
  EXPECT_EQ(b.PixelColor(0, 5), 0xFFFFFF);
  EXPECT_EQ(b.PixelColor(16 * 128 - 1, 100), 0xFFFFFF);
  EXPECT_EQ(b.PixelColor(16 * 128, 100), 0xDDDDDD);
  EXPECT_EQ(b.PixelColor(4095, 127), 0xDDDDDD);
}

TEST(TextureBitmaps, DefaultGridLinesAreDoubleAndIndexedFromRightAndBottom) {
  TextureFixture fx;
  auto cs = NewShape(SCTYPE_SPHERE, 33, 33);
  DrawTextureBackground(33, 33);
  DrawDefaultGridLines(33, 33);
  const TBitmap& b = fx.T().LoadedColor;
  // Column lines: x = 16 e and 16 e - 1 carry column 32 - e; a pixel between two row lines.
  EXPECT_EQ(b.PixelColor(0, 8), clRed);    // column 32
  EXPECT_EQ(b.PixelColor(15, 8), clGray);  // column 31
  EXPECT_EQ(b.PixelColor(16, 8), clGray);
  EXPECT_EQ(b.PixelColor(8 * 16, 8), clRed);       // column 24
  EXPECT_EQ(b.PixelColor(4 * 16 - 1, 8), clBlue);  // column 28
  EXPECT_EQ(b.PixelColor(511, 8), clRed);          // column 0 (the last line, e = 32)
  EXPECT_EQ(b.PixelColor(496, 8), clGray);         // column 1
  EXPECT_EQ(b.PixelColor(8, 8), clWhite);
  // Row lines: y = 16 f and 16 f - 1 carry row 32 - f; row 24 (the upper rim) is at f = 8.
  EXPECT_EQ(b.PixelColor(8, 8 * 16), 0xFF00FF);
  EXPECT_EQ(b.PixelColor(8, 8 * 16 - 1), 0xFF00FF);
  EXPECT_EQ(b.PixelColor(8, 18 * 16), clBlack);  // row 14
}

TEST(TextureBitmaps, CopiesBetweenPairs) {
  TextureFixture fx;
  auto cs = NewShape(SCTYPE_SPHERE, 9, 5);  // 128 x 64
  TTextureBitmaps& t = fx.T();
  t.BaseAlpha.ScanLine(3)[7] = 99;
  CopyAlphaRows(t.BaseAlpha, t.DisplayAlpha);
  EXPECT_EQ(t.DisplayAlpha.ScanLine(3)[7], 99);

  // Other heights, narrower rows or other formats: nothing is copied.
  TBitmap tall(128, 65, pf8bit), narrow(100, 64, pf8bit), wide(128, 64, pf32bit);
  tall.ScanLine(0)[0] = 5;
  CopyAlphaRows(tall, t.LoadedAlpha);
  EXPECT_EQ(t.LoadedAlpha.ScanLine(0)[0], 0);
  CopyAlphaRows(t.BaseAlpha, narrow);
  EXPECT_EQ(narrow.ScanLine(3)[7], 0);
  CopyAlphaRows(t.BaseAlpha, wide);
  EXPECT_EQ(wide.ScanLine(3)[7], 0);

  // With the grid hidden the display pair is the base pair.
  ShowTextureGrid = false;
  t.BaseColor.SetPixelColor(10, 20, 0x123456);
  t.BaseAlpha.ScanLine(20)[10] = 17;
  cs->SP[2][2] = true;
  RefreshTextureDisplay(*cs);
  for (int y = 0; y < 64; ++y) {
    ASSERT_EQ(std::memcmp(t.DisplayColor.ScanLine(y), t.BaseColor.ScanLine(y), 128 * 4), 0);
    ASSERT_EQ(std::memcmp(t.DisplayAlpha.ScanLine(y), t.BaseAlpha.ScanLine(y), 128), 0);
  }
}

TEST(TextureBitmaps, PreviewCopyIsRgbaBottomUp) {
  TextureFixture fx;
  auto cs = NewShape(SCTYPE_PLANE, 5, 3);  // 64 x 32
  TTextureBitmaps& t = fx.T();
  t.DisplayColor.SetPixelColor(3, 0, RGB(10, 20, 30));
  t.DisplayAlpha.ScanLine(0)[3] = 40;
  t.DisplayColor.SetPixelColor(63, 31, RGB(1, 2, 3));
  t.DisplayAlpha.ScanLine(31)[63] = 4;
  TRGBAImage img;
  CopyPreviewTexture(img);
  ASSERT_EQ(img.Width, 64);
  ASSERT_EQ(img.Height, 32);
  ASSERT_EQ(img.Pixels.size(), 64u * 32 * 4);
  const uint8_t* top = &img.Pixels[(31 * 64 + 3) * 4];
  EXPECT_EQ(top[0], 10);
  EXPECT_EQ(top[1], 20);
  EXPECT_EQ(top[2], 30);
  EXPECT_EQ(top[3], 40);
  const uint8_t* bottom = &img.Pixels[63 * 4];
  EXPECT_EQ(bottom[0], 1);
  EXPECT_EQ(bottom[3], 4);
  // Display bitmaps of another size: all zero.
  t.DisplayAlpha.SetSize(64, 30);
  CopyPreviewTexture(img);
  EXPECT_EQ(img.Pixels[(31 * 64 + 3) * 4], 0);
}
