#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVRectCopy.h"
#include "rastova/core/RVUtils.h"
#include "rastova/core/tests/GeomTestUtil.h"

using namespace rv;

namespace {

// An rv8g image whose pixel values are x + 16 y.
std::unique_ptr<TRVBitmap> Grid(int32_t w, int32_t h) {
  auto b = std::make_unique<TRVBitmap>(w, h, rv8g);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) b->SetPixels_rv8(x, y, static_cast<uint8_t>(x + 16 * y));
  return b;
}

}  // namespace

TEST(RectCopy, ClippingOnBothSides) {
  auto src = Grid(10, 8);
  struct Case {
    int32_t sx, sy, dx, dy, w, h;
    // First copied source pixel, where it lands, and the copied size.
    int32_t fromX, fromY, toX, toY, cw, ch;
  } cases[] = {
      {2, 1, 1, 1, 3, 2, 2, 1, 1, 1, 3, 2},   // plain
      {2, 1, -3, 0, 6, 2, 5, 1, 0, 0, 3, 2},  // negative destination x: source moves right
      {0, 2, 0, -1, 2, 3, 0, 3, 0, 0, 2, 2},  // negative destination y: source moves down
      {7, 6, 4, 3, 9, 9, 7, 6, 4, 3, 2, 2},   // reaching past both images: only the overlap
      {12, 0, 0, 0, 2, 1, 9, 0, 0, 0, 1, 1},  // origin past the last column is clamped
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dx);
    TRVBitmap dst(6, 5, rv8g);
    dst.Fill(250);
    CopyRectTo(*src, dst, c.sx, c.sy, c.dx, c.dy, c.w, c.h);
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 6; ++x) {
        const bool in = x >= c.toX && x < c.toX + c.cw && y >= c.toY && y < c.toY + c.ch;
        const int expected = in ? (c.fromX + x - c.toX) + 16 * (c.fromY + y - c.toY) : 250;
        ASSERT_EQ(dst.GetPixels_rv8(x, y), expected) << x << "," << y;
      }
  }
}

TEST(RectCopy, FormatPairs) {
  // Equal formats copy whole pixels, 32-bit RGB included.
  for (TRVPixelFormat f : {rv8p, rv16g, rv24RGB, rv32f, rvCMYK, rv48RGB, rvCIELab, rv32RGB}) {
    SCOPED_TRACE(static_cast<int>(f));
    TRVBitmap s(5, 4, f), d(5, 4, f);
    rvtest::FillPattern(s);
    std::memset(d.GetScanLine(0), 0, static_cast<size_t>(d.GetRowLen()));
    CopyRectTo(s, d, 1, 1, 0, 0, 5, 5);
    const int32_t n = s.GetBitCount() / 8;
    EXPECT_EQ(0, std::memcmp(d.GetScanLine(0), s.GetScanLine(1) + n, static_cast<size_t>(4 * n)));
  }
  // 1-bit into 1-bit at an odd bit offset keeps the neighbouring destination bits.
  TRVBitmap s(16, 1, rv1g), d(16, 1, rv1g);
  s.GetScanLine(0)[0] = 0xFF;
  s.GetScanLine(0)[1] = 0x00;
  d.GetScanLine(0)[0] = 0x00;
  d.GetScanLine(0)[1] = 0xFF;
  CopyRectTo(s, d, 6, 0, 3, 0, 4, 1);  // source bits 6..9 = 1 1 0 0 to destination bits 3..6
  EXPECT_EQ(d.GetScanLine(0)[0], 0x18);
  EXPECT_EQ(d.GetScanLine(0)[1], 0xFF);
  // 1-bit into 24-bit gives black and white pixels.
  TRVBitmap rgb(4, 1, rv24RGB);
  rgb.Fill(0x00FF00);
  CopyRectTo(s, rgb, 6, 0, 0, 0, 4, 1);
  EXPECT_EQ(PackRGB(rgb.GetPixels_rv24RGB(0, 0)), 0xFFFFFFu);
  EXPECT_EQ(PackRGB(rgb.GetPixels_rv24RGB(2, 0)), 0x000000u);
  // Other pairs copy nothing.
  TRVBitmap g(4, 1, rv8g), c(4, 1, rv24RGB);
  g.Fill(7);
  c.Fill(0x010203);
  CopyRectTo(g, c, 0, 0, 0, 0, 4, 1);
  EXPECT_EQ(PackRGB(c.GetPixels_rv24RGB(0, 0)), 0x030201u);
}

TEST(RectCopy, AlphaMergeAndMoveRect) {
  TRVBitmap a(4, 4, rv24RGB), b(4, 4, rv24RGB);
  a.AlphaBitmap()->Fill(100);
  a.AlphaBitmap()->SetPixels_rv8(1, 1, 220);
  b.AlphaBitmap()->Fill(150);
  MergeAlphaRectTo(a, b, 0, 0, 0, 0, 2, 2);
  EXPECT_EQ(b.AlphaBitmap()->GetPixels_rv8(0, 0), 150);
  EXPECT_EQ(b.AlphaBitmap()->GetPixels_rv8(1, 1), 220);
  EXPECT_EQ(b.AlphaBitmap()->GetPixels_rv8(3, 3), 150);
  // Without an alpha channel the destination gets one (all 255), and keeps 255.
  TRVBitmap c(4, 4, rv24RGB);
  MergeAlphaRectTo(a, c, 0, 0, 0, 0, 4, 4);
  EXPECT_EQ(c.AlphaBitmap()->GetPixels_rv8(1, 1), 255);

  auto g = Grid(6, 6);
  MoveRect(*g, 1, 1, 2, 2, 3, 3, 99, true);  // overlapping source and target, corners included
  EXPECT_EQ(g->GetPixels_rv8(3, 3), 1 + 16);
  EXPECT_EQ(g->GetPixels_rv8(4, 4), 2 + 32);
  EXPECT_EQ(g->GetPixels_rv8(1, 1), 99);
  EXPECT_EQ(g->GetPixels_rv8(2, 1), 99);
  EXPECT_EQ(g->GetPixels_rv8(0, 0), 0);
  // The buffer's own MoveRect is the same operation; without the flag the old place stays.
  auto m = Grid(6, 6);
  m->MoveRect(1, 1, 2, 2, 3, 3, 99, true);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 6; ++x) ASSERT_EQ(m->GetPixels_rv8(x, y), g->GetPixels_rv8(x, y)) << x << "," << y;
  auto kept = Grid(6, 6);
  kept->MoveRect(0, 0, 1, 0, 4, 5, 99, false);
  EXPECT_EQ(kept->GetPixels_rv8(0, 0), 0);
  EXPECT_EQ(kept->GetPixels_rv8(5, 5), 1);
}

TEST(Resize, GrowAndShrinkWithAlignmentsAndAlpha) {
  TRVBitmap b(10, 10, rv24RGB);
  b.Fill(0x000080);
  b.AlphaBitmap()->Fill(40);
  Resize(b, 20, 10, 0xFFFFFF, 7, rvAlignCenter, rvAlignNear);
  ASSERT_EQ(b.GetWidth(), 20);
  ASSERT_EQ(b.AlphaBitmap()->GetWidth(), 20);
  for (int32_t x = 0; x < 20; ++x) {
    const bool old = x >= 5 && x <= 14;
    EXPECT_EQ(PackRGB(b.GetPixels_rv24RGB(x, 3)), old ? 0x800000u : 0xFFFFFFu) << x;
    EXPECT_EQ(b.AlphaBitmap()->GetPixels_rv8(x, 3), old ? 40 : 7) << x;
  }
  // Shrinking with the far alignment keeps the right half.
  auto g = Grid(20, 10);
  Resize(*g, 10, 10, 0, 0, rvAlignFar, rvAlignNear);
  ASSERT_EQ(g->GetWidth(), 10);
  EXPECT_EQ(g->GetPixels_rv8(0, 0), 10);
  EXPECT_EQ(g->GetPixels_rv8(9, 9), 19 + 16 * 9);
  // Growing both sides to the far corner, and centring vertically when shrinking.
  auto h = Grid(4, 4);
  Resize(*h, 6, 7, 200, 0, rvAlignFar, rvAlignFar);
  EXPECT_EQ(h->GetPixels_rv8(2, 3), 0);
  EXPECT_EQ(h->GetPixels_rv8(5, 6), 3 + 48);
  EXPECT_EQ(h->GetPixels_rv8(1, 6), 200);
  EXPECT_EQ(h->GetPixels_rv8(5, 2), 200);
  auto v = Grid(3, 9);
  Resize(*v, 3, 4, 0, 0, rvAlignNear, rvAlignCenter);
  EXPECT_EQ(v->GetPixels_rv8(0, 0), 16 * 2);  // (9 - 4) div 2 = 2 rows dropped at the top
  EXPECT_EQ(v->GetPixels_rv8(2, 3), 2 + 16 * 5);
}
