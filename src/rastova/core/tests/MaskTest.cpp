#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVPlatformBitmap.h"

using namespace rv;

namespace {
int CountSet(const TRVMask& m) {
  int n = 0;
  for (int y = 0; y < m.Height(); ++y)
    for (int x = 0; x < m.Width(); ++x) n += m.GetPixel(x, y) != 0;
  return n;
}

struct RecordingPainter : TRVMaskPainter {
  std::map<std::pair<int, int>, TRGB> painted;
  std::vector<std::pair<int, int>> inverted;
  void PaintPixel(int32_t x, int32_t y, const TRGB& c) override { painted[{x, y}] = c; }
  void InvertPixel(int32_t x, int32_t y) override { inverted.emplace_back(x, y); }
};
}  // namespace

TEST(Mask, PixelsBoxAndFullFlag) {
  TRVMask m;
  m.AllocateBits(10, 10, 8);
  m.Fill(255);
  EXPECT_TRUE(m.Full);
  m.SetPixel(3, 3, 0);
  EXPECT_FALSE(m.Full);
  m.CheckFull();
  EXPECT_FALSE(m.Full);
  m.SetPixel(3, 3, 255);
  m.CheckFull();
  EXPECT_TRUE(m.Full);

  TRVMask one;
  one.AllocateBits(10, 2, 1);
  one.SetPixel(9, 0, 1);
  EXPECT_EQ(one.GetPixel(9, 0), 64);
  EXPECT_EQ(one.GetScanLine(0)[1], 0x40);
  EXPECT_EQ(one.GetPixel(-1, 0), 0);
  EXPECT_EQ(one.GetPixel(10, 0), 0);
  one.SetPixel(2, 1, 1);
  EXPECT_EQ(one.Left, 2);
  EXPECT_EQ(one.Right, 9);
  EXPECT_EQ(one.Bottom, 1);
  one.SetPixel(9, 0, 0);  // clearing never narrows the box
  EXPECT_EQ(one.Right, 9);
  one.RecomputeBounds();
  EXPECT_EQ(one.Left, 2);
  EXPECT_EQ(one.Right, 2);
  EXPECT_EQ(one.Top, 1);
  // 1-bit full flag: exact after a fill with 0 or 1, and after the check.
  one.Fill(0xFF);
  EXPECT_TRUE(one.Full);
  one.DrawHorizontalSpan(255, 0, 0, 3);  // any value but 1 clears
  EXPECT_FALSE(one.Full);
  EXPECT_EQ(one.GetPixel(2, 0), 0);
  one.Fill(0);
  EXPECT_FALSE(one.Full);
  one.DrawHorizontalSpan(1, -5, 0, 100);
  one.DrawHorizontalSpan(1, -5, 7, 100);  // a row outside goes to the nearest edge row
  one.CheckFull();
  EXPECT_TRUE(one.Full);
  one.Clear();
  EXPECT_TRUE(one.IsEmpty());

  TRVMask empty;
  empty.CheckFull();
  EXPECT_TRUE(empty.Full);
}

TEST(Mask, PolygonCases) {
  TRVMask m;
  m.AllocateBits(10, 10, 1);
  TRVPoint square[] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
  m.AddPolygons(1, square, 4);
  EXPECT_EQ(CountSet(m), 16);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_NE(m.GetPixel(x, y), 0);
  EXPECT_EQ(m.Left, 0);
  EXPECT_EQ(m.Top, 0);
  EXPECT_EQ(m.Right, 3);
  EXPECT_EQ(m.Bottom, 3);

  // Two polygons in one list, and a trailing separator that adds an empty one.
  const int S = TRVMask::kPolygonSeparator;
  TRVPoint two[] = {{0, 0}, {2, 0}, {2, 2}, {0, 2}, {S, 0}, {5, 5}, {8, 5}, {8, 7}, {5, 7}, {S, 0}};
  TRVMask t;
  t.AllocateBits(10, 10, 8);
  t.AddPolygons(200, two, 10);
  EXPECT_EQ(CountSet(t), 4 + 6);
  EXPECT_EQ(t.GetPixel(6, 6), 200);
  EXPECT_FALSE(t.IsEmpty()) << "an empty polygon at the end keeps the box of the others";
  EXPECT_EQ(t.Right, 7);
  EXPECT_EQ(t.Bottom, 6);

  // A triangle: its rows and crossings follow the half-open scan.
  TRVMask tri;
  tri.AllocateBits(8, 8, 8);
  TRVPoint tp[] = {{0, 0}, {8, 8}, {0, 8}};
  tri.AddPolygon(255, tp, 3);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(tri.GetPixel(x, y) != 0, x < y) << x << "," << y;

  // Outside the mask nothing changes; far-off points cost nothing.
  TRVMask o;
  o.AllocateBits(10, 10, 1);
  o.SetPixel(5, 5, 1);
  TRVPoint above[] = {{0, -10}, {5, -10}, {5, -2}, {0, -2}};
  o.AddPolygons(1, above, 4);
  TRVPoint left[] = {{-10, 0}, {-2, 0}, {-2, 5}, {-10, 5}};
  o.AddPolygons(1, left, 4);
  EXPECT_EQ(CountSet(o), 1);
  EXPECT_EQ(o.Left, 5);
  EXPECT_EQ(o.Right, 5);
  TRVPoint huge[] = {{-2000000000, -2000000000}, {2000000000, -2000000000}, {2000000000, 2000000000},
                     {-2000000000, 2000000000}};
  o.AddPolygons(1, huge, 4);
  EXPECT_EQ(CountSet(o), 100);
  EXPECT_TRUE(o.Full);
  EXPECT_EQ(o.Left, 0);
  EXPECT_EQ(o.Right, 9);
  EXPECT_EQ(o.Bottom, 9);
  // A thin sliver crossing the mask from far away keeps its slope.
  TRVMask s;
  s.AllocateBits(10, 10, 8);
  TRVPoint sliver[] = {{-1000000, -1000000}, {1000000, 1000000}, {1000000, 1000002}};
  s.AddPolygon(255, sliver, 3);
  EXPECT_LE(CountSet(s), 12);
}

TEST(Mask, TranslateResizeAndCopy) {
  TRVMask m;
  m.AllocateBits(20, 5, 1);
  for (int x = 10; x <= 12; ++x) m.SetPixel(x, 1, 1);
  int32_t dx = -100, dy = 0;
  m.Translate(dx, dy, false);
  EXPECT_EQ(dx, -10);
  EXPECT_EQ(m.Left, 0);
  EXPECT_EQ(CountSet(m), 3);
  EXPECT_NE(m.GetPixel(2, 1), 0);
  dx = 3;
  dy = 2;
  m.Translate(dx, dy, true);
  EXPECT_NE(m.GetPixel(3, 3), 0);
  EXPECT_EQ(m.GetPixel(0, 1), 0);

  TRVMask g;
  g.AllocateBits(6, 6, 8);
  g.SetPixel(1, 1, 9);
  g.SetPixel(5, 5, 7);
  dx = 2;
  dy = 0;
  g.Translate(dx, dy, true);  // cropped: the pixel pushed out is lost
  EXPECT_EQ(g.GetPixel(3, 1), 9);
  EXPECT_EQ(CountSet(g), 1);

  TRVMask r;
  r.AllocateBits(10, 10, 8);
  r.SetPixel(9, 0, 5);
  r.SetPixel(0, 9, 5);
  r.Resize(4, 3);
  EXPECT_EQ(r.Width(), 4);
  EXPECT_EQ(r.GetPixel(0, 2), 0);
  EXPECT_LE(r.Right, 3);
  EXPECT_LE(r.Bottom, 2);
  TRVMask col;
  col.AllocateBits(10, 10, 8);
  col.SetPixel(9, 4, 5);  // a one-column box
  col.Resize(5, 10);
  EXPECT_LE(col.Left, 4);
  EXPECT_LE(col.Right, 4);

  // Copy through a mask that is larger than both bitmaps: clipped to each of them.
  TRVBitmap src(4, 4, rv24RGB), dst(3, 5, rv24RGB);
  src.Fill(0x0000FF);
  dst.Fill(0);
  TRVMask big;
  big.AllocateBits(50, 50, 1);
  TRVPoint all[] = {{0, 0}, {50, 0}, {50, 50}, {0, 50}};
  big.AddPolygons(1, all, 4);
  big.CopyBitmap(dst, src, true, false, false);
  EXPECT_EQ(PackRGB(dst.GetPixels(2, 3)), 0xFF0000u);
  EXPECT_EQ(PackRGB(dst.GetPixels(2, 4)), 0u);
  EXPECT_EQ(dst.GetAlpha(2, 3), 255);
  EXPECT_EQ(dst.GetAlpha(2, 4), 255);  // no source pixel there: untouched
  // An 8-bit mask blends by m / 256.
  TRVMask half;
  half.AllocateBits(3, 3, 8);
  half.SetPixel(1, 1, 128);
  TRVBitmap a(3, 3, rv8g), b(3, 3, rv8g);
  a.Fill(200);
  b.Fill(100);
  half.CopyBitmap(b, a, false, false, false);
  EXPECT_EQ(b.GetPixels_rv8(1, 1), 150);
  EXPECT_EQ(b.GetPixels_rv8(0, 0), 100);
  TRVBitmap other(3, 3, rv16g);
  half.CopyBitmap(other, a, false, false, false);  // formats differ: left alone
}

TEST(Mask, DrawingRoutines) {
  TRVMask m;
  m.AllocateBits(8, 8, 1);
  TRVPoint sq[] = {{2, 2}, {6, 2}, {6, 6}, {2, 6}};
  m.AddPolygons(1, sq, 4);
  RecordingPainter p;
  m.DrawXor(p, 0, 0, 8, 8, 0, 0, 8, 8);
  EXPECT_EQ(p.inverted.size(), 16u);
  TRVMask g;
  g.AllocateBits(8, 8, 8);
  g.AddPolygons(255, sq, 4);
  RecordingPainter none;
  g.DrawXor(none, 0, 0, 8, 8, 0, 0, 8, 8);
  EXPECT_TRUE(none.inverted.empty());

  RecordingPainter border;
  TRVMask::TRect rect;
  m.DrawSelectionBorder(border, 0, 0, 8, 8, 0, 0, 8, 8, 0, 0x000000, 0xFFFFFF, &rect);
  EXPECT_EQ(border.painted.size(), 12u);  // the ring of a 4 x 4 square
  EXPECT_EQ(border.painted.count({3, 3}), 0u);
  EXPECT_EQ(border.painted[std::make_pair(2, 2)], (TRGB{0, 0, 0}));        // (2 + 2) mod 8 = 4: colour 1
  EXPECT_EQ(border.painted[std::make_pair(5, 5)], (TRGB{255, 255, 255}));  // (5 + 5) mod 8 < 4: colour 2

  auto bmp = CreateMemoryPlatformBitmap();
  bmp->SetSize(8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 24; ++x) bmp->ScanLine(y)[x] = 200;
  m.ShadeUnselectedArea(*bmp, 0, 0, 8, 8, 0, 0, 8, 8, -1, 0);
  EXPECT_EQ(bmp->ScanLine(0)[0], 97);      // (0, 0): both even
  EXPECT_EQ(bmp->ScanLine(0)[3], 200);     // (1, 0): every second pixel untouched
  EXPECT_EQ(bmp->ScanLine(3)[3 * 3], 200);  // selected
  m.ShadeUnselectedArea(*bmp, 0, 0, 8, 8, 0, 0, 8, 8, 255, 0x0000FF);
  EXPECT_EQ(bmp->ScanLine(0)[5], 255);
  EXPECT_EQ(bmp->ScanLine(0)[3], 0);
}

TEST(Mask, BorderDashesFollowTheScreenPositionAndPhase) {
  // The dash colour of a border pixel depends on x + y + phase alone: colour 2 where the sum
  // mod 8 is below 4, and where the sum is negative. Rows are coloured from a shared pattern,
  // so check every pixel, at offsets and phases that make the sums of some rows negative and
  // on a 1-bit mask wide enough for whole words of 64 pixels.
  TRVMask m;
  m.AllocateBits(150, 20, 1);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 150; ++x)
      if ((x / 9 + y / 4) % 3 != 0) m.SetPixel(x, y, 1);
  m.RecomputeBounds();
  const TRGB one = ColorToTRGB(0x123456), two = ColorToTRGB(0xABCDEF);
  for (const int xDst : {0, -37, 5})
    for (const int phase : {0, 3, -90, 1000}) {
      RecordingPainter p;
      m.DrawSelectionBorder(p, xDst, -4, 150, 20, 0, 0, 150, 20, phase, 0x123456, 0xABCDEF, nullptr);
      ASSERT_GT(p.painted.size(), 500u);
      for (const auto& [at, c] : p.painted) {
        const int sum = at.first + at.second + phase;
        EXPECT_EQ(c, sum % 8 < 4 ? two : one) << at.first << ", " << at.second << " phase " << phase;
      }
    }
}

TEST(Mask, BorderOfOneBitMaskMatchesTheBytePerPixelMask) {
  // The 1-bit border is worked out eight pixels at a time; the 8-bit mask goes pixel by pixel.
  // Both must paint the same pixels in the same colours, at 1:1 and scaled, offset or not.
  TRVMask bits, bytes;
  bits.AllocateBits(83, 61, 1);
  bytes.AllocateBits(83, 61, 8);
  for (int y = 0; y < 61; ++y)
    for (int x = 0; x < 83; ++x)
      if (((x / 3) * 5 + (y / 2) * 3 + (x * y) % 7) % 4 < 2 || (x > 20 && x < 60 && y > 10 && y < 50)) {
        bits.SetPixel(x, y, 1);
        bytes.SetPixel(x, y, 255);
      }
  bits.RecomputeBounds();
  bytes.RecomputeBounds();
  struct Case {
    int xDst, yDst, dstW, dstH, srcX, srcY, srcW, srcH;
  } const cases[] = {{0, 0, 83, 61, 0, 0, 83, 61}, {5, 3, 83, 61, 0, 0, 83, 61}, {0, 0, 166, 122, 0, 0, 83, 61},
                     {0, 0, 40, 30, 0, 0, 83, 61}, {0, 0, 64, 40, 9, 7, 64, 40}};
  for (const Case& c : cases) {
    RecordingPainter a, b;
    bits.DrawSelectionBorder(a, c.xDst, c.yDst, c.dstW, c.dstH, c.srcX, c.srcY, c.srcW, c.srcH, 3, 0, 0xFFFFFF, nullptr);
    bytes.DrawSelectionBorder(b, c.xDst, c.yDst, c.dstW, c.dstH, c.srcX, c.srcY, c.srcW, c.srcH, 3, 0, 0xFFFFFF, nullptr);
    EXPECT_GT(a.painted.size(), 100u);
    EXPECT_TRUE(a.painted == b.painted) << c.dstW << " x " << c.dstH;
  }
}
