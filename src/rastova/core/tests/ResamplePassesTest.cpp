// The fast linear, projection, area-weighted and 1-bit box passes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVResample.h"
#include "rastova/core/RVUtils.h"
#include "rastova/core/tests/GeomTestUtil.h"

namespace rv {
namespace {

const TRVProgressEvent kNoProgress;

TEST(FastLinear, UnchangedWidthStillAveragesNeighbours) {
  TRVBitmap src(4, 2, rv8g), dst(4, 5, rv8g);
  const uint8_t row[4] = {0, 100, 200, 50};
  for (int y = 0; y < 2; ++y) std::memcpy(src.GetScanLine(y), row, 4);
  ResampleFastLinearGray(src, dst, nullptr, kNoProgress);
  // Columns q .. q + 1, except the last one.
  EXPECT_EQ(dst.GetPixels_rv8(0, 0), 50);
  EXPECT_EQ(dst.GetPixels_rv8(1, 0), 150);
  EXPECT_EQ(dst.GetPixels_rv8(2, 0), 125);
  EXPECT_EQ(dst.GetPixels_rv8(3, 0), 50);
}

TEST(FastLinear, EnlargingInterpolatesWith17BitFractions) {
  TRVBitmap src(2, 1, rv24RGB), dst(4, 1, rv24RGB);
  src.SetPixels_rv24RGB(0, 0, 0x000000);
  src.SetPixels_rv24RGB(1, 0, 0xFF6401);
  ResampleFastLinear24(src, dst, nullptr, kNoProgress);
  // Positions 0, 0.5, 1, 1.5: a + Floor((b - a) x f / 131072).
  EXPECT_EQ(dst.GetPixels_rv24RGB(0, 0).r, 0);
  EXPECT_EQ(dst.GetPixels_rv24RGB(1, 0).r, 127);
  EXPECT_EQ(dst.GetPixels_rv24RGB(1, 0).g, 50);
  EXPECT_EQ(dst.GetPixels_rv24RGB(1, 0).b, 0);
  EXPECT_EQ(dst.GetPixels_rv24RGB(2, 0).r, 255);
  EXPECT_EQ(dst.GetPixels_rv24RGB(3, 0).r, 255);
  // Equal sizes copy.
  TRVBitmap same(2, 1, rv24RGB);
  ResampleFastLinear24(src, same, nullptr, kNoProgress);
  EXPECT_EQ(PackRGB(same.GetPixels_rv24RGB(1, 0)), 0xFF6401u);
}

TEST(FastLinear, OneBitQuarterReductionAveragesBoxes) {
  // A single set pixel at (4, 4): inside the 5 x 5 box of destination (1, 1) only, and
  // outside the 3 x 3 box of (0, 0).
  TRVBitmap src(16, 16, rv1g), dst(4, 4, rv24RGB);
  src.Fill(0);
  src.SetPixels_rv1g(4, 4, true);
  ResampleFastLinearBW(src, dst, nullptr, kNoProgress);
  EXPECT_EQ(dst.GetPixels_rv24RGB(1, 1).r, 255 / 25);
  EXPECT_EQ(dst.GetPixels_rv24RGB(0, 0).r, 0);
  src.SetPixels_rv1g(2, 2, true);
  ResampleFastLinearBW(src, dst, nullptr, kNoProgress);
  EXPECT_EQ(dst.GetPixels_rv24RGB(0, 0).g, 255 / 9);
  EXPECT_EQ(dst.GetPixels_rv24RGB(1, 1).b, 2 * 255 / 25);
  // Through the dispatch of 1-bit sources.
  TRVBitmap viaDispatch(4, 4, rv24RGB);
  ResampleBWFiltered(src, viaDispatch, rfFastLinear);
  EXPECT_EQ(viaDispatch.GetPixels_rv24RGB(1, 1).b, 2 * 255 / 25);
}

TEST(Projection, KeepsThinStrokes) {
  // A page of white with a one-pixel black line every 7 rows and columns, reduced 4 times.
  TRVBitmap page(64, 64, rv24RGB);
  page.Fill(0xFFFFFF);
  for (int i = 0; i < 64; i += 7)
    for (int k = 0; k < 64; ++k) {
      page.SetPixels_rv24RGB(i, k, 0);
      page.SetPixels_rv24RGB(k, i, 0);
    }
  TRVBitmap bw(16, 16, rv24RGB);
  ResampleFiltered(page, bw, rfProjectBW, nullptr, kNoProgress);
  ASSERT_EQ(bw.GetPixelFormat(), rv1g);
  int black = 0;
  for (int x = 0; x < 16; ++x) black += bw.GetPixels_rv1g(x, 5) ? 0 : 1;
  // Every destination column of a row crossing a line is black; other rows keep their
  // crossings with the vertical lines.
  for (int j = 0; j < 16; ++j) {
    int row = static_cast<int>(4.0 * j);
    bool crosses = false;
    for (int r = (j == 0 ? 0 : static_cast<int>(4.0 * (j - 1))); r <= row; ++r) crosses |= r % 7 == 0;
    if (!crosses) continue;
    for (int x = 0; x < 16; ++x) EXPECT_FALSE(bw.GetPixels_rv1g(x, j)) << x << "," << j;
  }
  EXPECT_GT(black, 0);

  // White strokes on black with the white-on-black variant, from a 1-bit page.
  TRVBitmap dark(64, 64, rv1g);
  dark.Fill(0);
  for (int k = 0; k < 64; ++k) dark.SetPixels_rv1g(k, 30, true);
  TRVBitmap out(16, 16, rv1g);
  ResampleProjectBW1(dark, out, true, nullptr, kNoProgress);
  int lit = 0;
  for (int j = 0; j < 16; ++j)
    for (int x = 0; x < 16; ++x) lit += out.GetPixels_rv1g(x, j) ? 1 : 0;
  EXPECT_EQ(lit, 16);
  for (int x = 0; x < 16; ++x) EXPECT_TRUE(out.GetPixels_rv1g(x, 8));
}

TEST(AreaInterp, BilinearEnlargementOfTwoPixels) {
  TRVBitmap src(2, 1, rv8g), dst(4, 1, rv8g);
  src.SetPixels_rv8(0, 0, 10);
  src.SetPixels_rv8(1, 0, 30);
  ResampleFiltered(src, dst, rfBilinear, nullptr, kNoProgress);
  EXPECT_EQ(dst.GetPixels_rv8(0, 0), 20);
  EXPECT_EQ(dst.GetPixels_rv8(1, 0), 30);
  EXPECT_EQ(dst.GetPixels_rv8(2, 0), 30);
  EXPECT_EQ(dst.GetPixels_rv8(3, 0), 30);
}

TEST(AreaInterp, ReductionIsTheAreaAverage) {
  // 6 x 4 to 3 x 2: every destination pixel averages a 2 x 2 block, for 8-bit and 16-bit.
  TRVBitmap src8(6, 4, rv24RGB), dst8(3, 2, rv24RGB);
  TRVBitmap src16(6, 4, rv48RGB), dst16(3, 2, rv48RGB);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      uint8_t v = static_cast<uint8_t>(x * 40 + y * 3);
      src8.SetPixels_rv24RGB(x, y, static_cast<uint32_t>(v) * 0x010101u);
      src16.SetPixels_rv48RGB(x, y, TRGB48{static_cast<uint16_t>(v * 257), 7, 65535});
    }
  for (bool bicubic : {false, true}) {
    ResampleAreaInterp8(src8, dst8, bicubic, nullptr, kNoProgress);
    ResampleAreaInterp16(src16, dst16, bicubic, nullptr, kNoProgress);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) {
        double mean = 80 * x + 20 + 6 * y + 1.5;  // block mean of x * 40 + y * 3
        EXPECT_NEAR(dst8.GetPixels_rv24RGB(x, y).g, mean, 0.51) << x << "," << y;
        EXPECT_NEAR(dst16.GetPixels_rv48RGB(x, y).r, mean * 257, 0.51);
        EXPECT_EQ(dst16.GetPixels_rv48RGB(x, y).b, 65535);
      }
  }
  // Other formats return at once.
  TRVBitmap f(4, 4, rv32f), g(2, 2, rv32f);
  ResampleAreaInterp8(f, g, false, nullptr, kNoProgress);
}

TEST(AreaInterp, BicubicStaysInRangeAndKeepsFlatAreas) {
  TRVBitmap src(5, 5, rv8g), dst(13, 11, rv8g);
  src.Fill(0);
  src.SetPixels_rv8(2, 2, 255);
  ResampleFiltered(src, dst, rfBicubic, nullptr, kNoProgress);
  EXPECT_EQ(dst.GetPixels_rv8(0, 0), 0);
  int peak = 0;
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 13; ++x) peak = std::max(peak, int(dst.GetPixels_rv8(x, y)));
  EXPECT_GT(peak, 150);
  EXPECT_DOUBLE_EQ(CubicInterpolate(1, 2, 3, 4, 255, 0, 0.0), 2.0);
  EXPECT_DOUBLE_EQ(CubicInterpolate(1, 2, 3, 4, 255, 0, 1.0), 3.0);
  EXPECT_DOUBLE_EQ(CubicInterpolate(0, 0, 255, 255, 255, 0, 0.5), 127.5);
  EXPECT_DOUBLE_EQ(CubicInterpolate(0, 255, 255, 0, 255, 0, 0.5), 255.0);  // clamped
}

TEST(Passes, FileBackedSourcesGiveTheSameResult) {
  for (TResampleFilter f : {rfFastLinear, rfBilinear, rfBicubic, rfProjectBW}) {
    TRVBitmap mem(37, 29, rv24RGB), file;
    for (int y = 0; y < 29; ++y)
      for (int x = 0; x < 37; ++x) mem.SetPixels_rv24RGB(x, y, static_cast<uint32_t>((x * 7919 + y * 104729) & 0xFFFFFF));
    file.MemoryThreshold = 0;
    file.Allocate(37, 29, rv24RGB);
    ASSERT_EQ(file.GetLocation(), rvInTempFile);
    for (int y = 0; y < 29; ++y) std::memcpy(file.GetScanLine(y), mem.GetScanLine(y), 37 * 3);
    for (auto [w, h] : {std::pair{11, 50}, std::pair{60, 13}}) {
      TRVBitmap a(w, h, rv24RGB), b(w, h, rv24RGB);
      ResampleFiltered(mem, a, f, nullptr, kNoProgress);
      ResampleFiltered(file, b, f, nullptr, kNoProgress);
      ASSERT_EQ(a.GetPixelFormat(), b.GetPixelFormat());
      for (int y = 0; y < h; ++y)
        EXPECT_EQ(std::memcmp(a.GetScanLine(y), b.GetScanLine(y), static_cast<size_t>((w * a.GetBitCount() + 7) / 8)), 0)
            << int(f) << " row " << y;
    }
  }
}

TEST(ReduceBW, CountsSetBitsOfTheRectangle) {
  TRVBitmap src(8, 8, rv1g), dst(2, 2, rv24RGB);
  src.Fill(0);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 4; ++x) src.SetPixels_rv1g(x, y, true);
  // The rectangle 0..7 x 0..7 into 2 x 2.
  ReduceBWRectToGray(src, 0, 0, dst, 7, 7);
  EXPECT_EQ(dst.GetPixels_rv24RGB(0, 0).r, 255);
  EXPECT_EQ(dst.GetPixels_rv24RGB(1, 0).r, 255 * 6 / 15);  // columns 2..6 (2 set) by rows 0..2
  TRVBitmap empty;
  ReduceBWRectToGray(empty, 0, 0, dst, 7, 7);
  // The same reduction under the image buffer's name, which takes the corners in order.
  for (int y = 0; y < 8; ++y) src.SetPixels_rv1g(7 - y, y, true);
  TRVBitmap byName(3, 2, rv24RGB), direct(3, 2, rv24RGB);
  Reduce1BitTo24(src, 1, 2, 6, 7, byName);
  ReduceBWRectToGray(src, 1, 2, direct, 7, 6);
  EXPECT_EQ(rvtest::Pixels(byName), rvtest::Pixels(direct));
  TRVBitmap swapped(3, 2, rv24RGB);
  ReduceBWRectToGray(src, 1, 2, swapped, 6, 7);
  EXPECT_NE(rvtest::Pixels(byName), rvtest::Pixels(swapped)) << "the case cannot tell the corners apart";
}

TEST(ReduceBW, ServiceNamesResampleAlphaAndOneBitImages) {
  TRVBitmap alpha(8, 6, rv8g), small(4, 3, rv8g), byName(4, 3, rv8g);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x) alpha.SetPixels_rv8(x, y, static_cast<uint8_t>(x * 30 + y));
  ResampleGrayFiltered(alpha, small, rfTriangle);
  ResampleAlpha(alpha, byName, rfTriangle);
  EXPECT_EQ(rvtest::Pixels(byName), rvtest::Pixels(small));
  TRVBitmap bits(16, 8, rv1g), bw(4, 2, rv1g), colour(4, 2, rv24RGB);
  bits.Fill(0);
  for (int32_t y = 0; y < 8; ++y) bits.SetPixels_rv1g(y, y, true);  // a thin diagonal stroke
  Resample1Bit(bits, bw, rfProjectWB);
  EXPECT_TRUE(bw.GetPixels_rv1g(0, 0));  // the light stroke is kept
  Resample1Bit(bits, colour, rfTriangle);
  EXPECT_GT(colour.GetPixels_rv24RGB(0, 0).r, 0);
  EXPECT_EQ(colour.GetPixels_rv24RGB(3, 1).r, 0);
}

}  // namespace
}  // namespace rv
