// Drop shadows and backgrounds of the drawing helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "common/Random.h"
#include "common/tests/support/AllocationWatch.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "rastova/core/draw/RVBackgrounds.h"
#include "rastova/core/draw/RVShadows.h"

using namespace rv;
using platform::TBitmap;

namespace {

// A 24-bit bitmap filled with one grey.
void FillGrey(TBitmap& b, int w, int h, uint8_t grey) {
  b.SetPixelFormat(platform::pf24bit);
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y) std::fill(b.ScanLine(y), b.ScanLine(y) + 3 * w, grey);
}

uint8_t BlueAt(const TBitmap& b, int x, int y) { return b.ScanLine(y)[3 * x]; }

// Bytes of two bitmaps of the same size and format agree.
bool SamePixels(const TBitmap& a, const TBitmap& b) {
  for (int y = 0; y < a.Height(); ++y)
    if (!std::equal(a.ScanLine(y), a.ScanLine(y) + 3 * a.Width(), b.ScanLine(y))) return false;
  return true;
}

}  // namespace

TEST(DrawShadow, SolidStripsStartOneStripWidthFurther) {
  struct Case {
    bool vertical;
    platform::TRect filled;
  } cases[] = {{true, {50, 18, 57, 41}}, {false, {18, 50, 41, 57}}};
  for (const Case& c : cases) {
    TBitmap b;
    FillGrey(b, 80, 80, 255);
    b.Canvas().Brush.Color = platform::clBlack;
    // A strip 8 pixels wide (vertical) or high (horizontal).
    if (c.vertical)
      DrawVerticalShadow(b.Canvas(), nullptr, 50, 10, 57, 40, 1);
    else
      DrawHorizontalShadow(b.Canvas(), nullptr, 10, 50, 40, 57, 1);
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 80; ++x)
        ASSERT_EQ(BlueAt(b, x, y), c.filled.Contains({x, y}) ? 0 : 255) << c.vertical << " " << x << "," << y;
  }
}

TEST(DrawShadow, OtherStylesAndEmptyStripsPaintNothing) {
  TBitmap b, before;
  FillGrey(b, 40, 40, 200);
  FillGrey(before, 40, 40, 200);
  for (uint8_t style : {0, 4, 255}) {
    DrawVerticalShadow(b.Canvas(), &b, 5, 5, 12, 30, style);
    DrawHorizontalShadow(b.Canvas(), &b, 5, 5, 30, 12, style);
  }
  for (uint8_t style : {1, 2, 3}) {
    DrawVerticalShadow(b.Canvas(), &b, 12, 5, 5, 30, style);
    DrawHorizontalShadow(b.Canvas(), &b, 5, 30, 30, 5, style);
  }
  EXPECT_TRUE(SamePixels(b, before));
}

TEST(DrawShadow, FadingStripsDarkenMostBesideTheImage) {
  // Through the bitmap's rows and through the canvas alone: the same pixels.
  TBitmap viaRows, viaCanvas;
  FillGrey(viaRows, 60, 60, 255);
  FillGrey(viaCanvas, 60, 60, 255);
  DrawVerticalShadow(viaRows.Canvas(), &viaRows, 40, 10, 47, 39, 2);
  DrawVerticalShadow(viaCanvas.Canvas(), nullptr, 40, 10, 47, 39, 2);
  EXPECT_TRUE(SamePixels(viaRows, viaCanvas));
  // Column g is darkened by exp(-0.1 - t^2 / 6), t = (8 - g) / (8 / 3), from row 18 to 34 + g.
  for (int g = 0; g < 8; ++g) {
    const double t = (8 - g) / (8.0 / 3);
    const int expected = int(255 * std::exp(-0.1 - t * t / 6));
    EXPECT_EQ(BlueAt(viaRows, 40 + g, 17), 255) << g;
    EXPECT_EQ(BlueAt(viaRows, 40 + g, 18), expected) << g;
    EXPECT_EQ(BlueAt(viaRows, 40 + g, 34 + g), expected) << g;
    EXPECT_EQ(BlueAt(viaRows, 40 + g, 35 + g), 255) << g;
  }
  EXPECT_EQ(BlueAt(viaRows, 40, 20), 51);   // about 0.2 next to the image
  EXPECT_EQ(BlueAt(viaRows, 47, 20), 225);  // about 0.9 at the far side

  // The strip below: row g darkened from column 18 to 32 + g.
  TBitmap below;
  FillGrey(below, 60, 60, 255);
  DrawHorizontalShadow(below.Canvas(), &below, 10, 40, 39, 47, 2);
  EXPECT_EQ(BlueAt(below, 17, 40), 255);
  EXPECT_EQ(BlueAt(below, 18, 40), 51);
  EXPECT_EQ(BlueAt(below, 32, 40), 51);
  EXPECT_EQ(BlueAt(below, 33, 40), 255);
  EXPECT_EQ(BlueAt(below, 39, 47), 225);
}

TEST(DrawShadow, GradientStripsRunFromGreyToWhite) {
  TBitmap b;
  FillGrey(b, 40, 40, 7);
  // 4 columns by 11 rows at (20, 5).
  DrawVerticalShadow(b.Canvas(), nullptr, 20, 5, 23, 15, 3);
  const auto u = [](int j) { return int(std::exp(j / 4.0) / std::numbers::e * 255); };
  EXPECT_EQ(BlueAt(b, 20, 5), 255);    // the top row is white (v = 255)
  EXPECT_EQ(BlueAt(b, 20, 12), u(0));  // lower down the column gradient shows
  EXPECT_EQ(BlueAt(b, 23, 12), u(3));
  EXPECT_EQ(BlueAt(b, 24, 12), 255);  // the gradient ends one column past the strip
  EXPECT_EQ(BlueAt(b, 20, 16), 7);    // the bottom rows start further right
  EXPECT_EQ(BlueAt(b, 23, 16), u(3));
  EXPECT_EQ(BlueAt(b, 19, 10), 7);
  TBitmap h;
  FillGrey(h, 40, 40, 7);
  DrawHorizontalShadow(h.Canvas(), nullptr, 5, 20, 15, 23, 3);
  for (int i = 0; i < 11; ++i)
    for (int j = 0; j < 5; ++j)
      EXPECT_EQ(BlueAt(h, 5 + i, 20 + j), BlueAt(b, 20 + j, 5 + i)) << i << "," << j;
}

TEST(DrawShadow, SoftShadowLeavesTheImageAlone) {
  TBitmap b;
  FillGrey(b, 60, 50, 255);
  for (int y = 15; y < 35; ++y)
    for (int x = 20; x < 40; ++x) b.ScanLine(y)[3 * x + 1] = 100;
  DrawSoftShadow(b, 20, 15, 40, 35);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 60; ++x) {
      const bool image = x >= 20 && x < 40 && y >= 15 && y < 35;
      const bool shadow = x >= 15 && x <= 45 && y >= 10 && y <= 40;
      if (image) {
        ASSERT_EQ(b.ScanLine(y)[3 * x + 1], 100) << x << "," << y;
      }
      if (!shadow) {
        ASSERT_EQ(BlueAt(b, x, y), 255) << x << "," << y;
      }
    }
  // Right of and below the image is darker than left of and above it.
  EXPECT_LT(BlueAt(b, 40, 25), BlueAt(b, 19, 25));
  EXPECT_LT(BlueAt(b, 30, 35), BlueAt(b, 30, 14));
  EXPECT_LT(BlueAt(b, 41, 25), 128);
  EXPECT_LT(BlueAt(b, 41, 25), BlueAt(b, 45, 25));
}

TEST(DrawShadow, FarAwayCornersCostNoMoreThanTheBitmap) {
  constexpr int32_t kFar = 1000000;
  TBitmap b;
  FillGrey(b, 64, 48, 255);
  const size_t largest = test_support::LargestAllocationDuring([&] {
    for (uint8_t style : {1, 2, 3}) {
      DrawVerticalShadow(b.Canvas(), &b, -kFar, -kFar, kFar, kFar, style);
      DrawHorizontalShadow(b.Canvas(), nullptr, -kFar, -kFar, kFar, kFar, style);
      DrawVerticalShadow(b.Canvas(), nullptr, 10, 10, kFar, kFar, style);
      DrawHorizontalShadow(b.Canvas(), &b, -kFar, 10, 10, kFar, style);
    }
    DrawSoftShadow(b, -kFar, -kFar, kFar, kFar);
    DrawSoftShadow(b, 10, 10, kFar, kFar);
    DrawSoftShadow(b, -kFar, -kFar, 10, 10);
    DrawSoftShadow(b, kFar, kFar, -kFar, -kFar);
  });
  EXPECT_LT(largest, size_t(1) << 20);
  // A shadow whose image covers the bitmap leaves it alone.
  TBitmap covered;
  FillGrey(covered, 20, 20, 255);
  DrawSoftShadow(covered, -kFar, -kFar, kFar, kFar);
  EXPECT_EQ(BlueAt(covered, 10, 10), 255);
}

TEST(DrawBackground, GaussianRampAndStripes) {
  std::vector<double> s;
  GaussianRamp(4, 130, 255, 0.5, s);
  ASSERT_EQ(s.size(), 4u);
  // 240.3.., 251.1.., 255, 251.1..
  EXPECT_NEAR(s[0], 240.35, 0.05);
  EXPECT_NEAR(s[1], 251.15, 0.05);
  EXPECT_DOUBLE_EQ(s[2], 255);
  EXPECT_DOUBLE_EQ(s[3], s[1]);
  GaussianRamp(1, 130, 255, 0.5, s);
  EXPECT_EQ(s, std::vector<double>{255});
  for (int32_t count : {0, -5}) {
    GaussianRamp(count, 130, 255, 0.5, s);
    EXPECT_TRUE(s.empty());
  }

  TBitmap b(3, 3, platform::pf32bit);
  PaintStripedBackground(b, 5, 6);
  ASSERT_EQ(b.PixelFormat(), platform::pf24bit);
  ASSERT_EQ(b.Width(), 5);
  const uint8_t rows[] = {240, 251, 255, 251, 240, 251};
  for (int y = 0; y < 6; ++y)
    for (int i = 0; i < 15; ++i) EXPECT_EQ(b.ScanLine(y)[i], rows[y]) << y;
  PaintStripedBackground(b, 0, 7);
  EXPECT_TRUE(b.Empty());
}

TEST(DrawBackground, NoisyBackgroundRepeatsWithTheSeed) {
  const int w = 300, h = 6;
  std::vector<double> ramp;
  GaussianRamp(w, 160, 208, 3, ramp);
  TBitmap first, second;
  common::SetRandSeed(1234);
  PaintNoisyBackground(first, w, h);
  common::SetRandSeed(1234);
  PaintNoisyBackground(second, w, h);
  EXPECT_TRUE(SamePixels(first, second));
  int changes = 0;
  for (int y = 0; y < h; ++y) {
    int last = -1;
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = first.ScanLine(y) + 3 * x;
      ASSERT_TRUE(p[0] == p[1] && p[1] == p[2]);
      const int n = p[0] - int(ramp[x]);
      ASSERT_GE(n, 0);
      ASSERT_LE(n, 10);
      // The noise holds for more than 100 pixels of a row before it may change.
      if (y == 0 && x <= 100) {
        EXPECT_EQ(n, 0) << x;
      }
      changes += x > 0 && n != last;
      last = n;
    }
  }
  EXPECT_GT(changes, 0);
}
