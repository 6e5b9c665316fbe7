// Regions built from polygons, ellipses, rounded rectangles and rectangle lists, and the block
// copies that go through them.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "TestBitmaps.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/Region.h"

using namespace platform;

namespace {

// The union of the rectangles, pixel by pixel, within a box.
bool CoveredByAny(const std::vector<TRect>& rects, int x, int y) {
  for (const TRect& r : rects)
    if (!r.IsEmpty() && r.Contains({x, y})) return true;
  return false;
}

}  // namespace

TEST(Region, FromRectsIsTheUnionOfAnyList) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> coord(-5, 60);
  for (int round = 0; round < 20; ++round) {
    std::vector<TRect> rects;
    for (int i = 0; i < 40; ++i)
      rects.push_back({coord(rng), coord(rng), coord(rng), coord(rng)});  // some inverted
    const TRegion region = TRegion::FromRects(rects);
    QRegion expected;
    for (const TRect& r : rects)
      if (!r.IsEmpty()) expected += QRect(r.Left, r.Top, r.Width(), r.Height());
    EXPECT_EQ(region.Region(), expected) << "round " << round;
    for (int y = -6; y < 62; y += 3)
      for (int x = -6; x < 62; x += 3)
        ASSERT_EQ(region.Contains(x, y), CoveredByAny(rects, x, y)) << x << "," << y;
  }
}

TEST(Region, FromRectsOfNothingIsEmpty) {
  const TRect inverted[] = {{10, 0, 0, 10}, {0, 10, 10, 10}};
  EXPECT_TRUE(TRegion::FromRects(inverted).IsEmpty());
  EXPECT_TRUE(TRegion::FromRects({}).IsEmpty());
}

TEST(Region, PolygonsFillByTheWindingRule) {
  // A five-pointed star drawn in one stroke: its centre is wound twice, so it stays inside.
  const TPoint star[] = {{50, 0}, {79, 90}, {2, 35}, {98, 35}, {21, 90}};
  const TRegion r = TRegion::Polygon(star);
  EXPECT_TRUE(r.Contains(50, 45));
  EXPECT_TRUE(r.Contains(50, 10));
  EXPECT_FALSE(r.Contains(5, 80));
  const TPoint two[] = {{0, 0}, {10, 10}};
  EXPECT_TRUE(TRegion::Polygon(two).IsEmpty());
}

TEST(Region, EllipsesAndRoundedRectangles) {
  const TRegion e = TRegion::Ellipse({0, 0, 100, 50});
  EXPECT_EQ(e.BoundingBox().Left, 0);
  EXPECT_EQ(e.BoundingBox().Right, 100);
  EXPECT_LE(e.BoundingBox().Top, 1);
  EXPECT_GE(e.BoundingBox().Bottom, 49);
  EXPECT_TRUE(e.Contains(50, 25));
  EXPECT_FALSE(e.Contains(2, 2));
  EXPECT_TRUE(TRegion::Ellipse({5, 5, 5, 20}).IsEmpty());

  const TRegion rr = TRegion::RoundRect({0, 0, 100, 60}, 40, 20);
  EXPECT_EQ(rr.BoundingBox(), (TRect{0, 0, 100, 60}));
  EXPECT_FALSE(rr.Contains(0, 0));
  EXPECT_FALSE(rr.Contains(99, 59));
  EXPECT_TRUE(rr.Contains(21, 0));
  EXPECT_TRUE(rr.Contains(0, 11));
  EXPECT_TRUE(rr.Contains(50, 30));
  // An ellipse larger than the box is limited to it.
  EXPECT_TRUE(TRegion::RoundRect({0, 0, 40, 40}, 400, 400).Contains(20, 20));
  EXPECT_EQ(TRegion::RoundRect({0, 0, 40, 40}, 0, 10).Region(), QRegion(0, 0, 40, 40));
}

TEST(CanvasCopy, OneToOneCopiesFollowTheClipRegion) {
  const std::pair<TPixelFormat, TPixelFormat> pairs[] = {
      {pf24bit, pf24bit}, {pf32bit, pf32bit}, {pf32bit, pf24bit}};
  for (const auto& [format, sourceFormat] : pairs) {
    TBitmap dest(40, 30, format), source(40, 30, sourceFormat);
    test::FillNoise(dest, 1);
    test::FillNoise(source, 2);
    const TRect parts[] = {{0, 0, 10, 10}, {5, 5, 20, 8}, {30, 20, 45, 35}};
    const TRegion clip = TRegion::FromRects(parts);
    const auto old = test::Snapshot(dest);
    dest.Canvas().SetClipRegion(&clip);
    dest.Canvas().CopyRect({-3, 2, 37, 32}, source.Canvas(), {0, 0, 40, 30});
    dest.Canvas().SetClipRegion(nullptr);
    TBitmap oldCopy(40, 30, format);
    std::memcpy(oldCopy.Bits(), old.data(), old.size());
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) {
        const bool in = clip.Contains(x, y) && y >= 2 && x < 37;
        const TColor want = in ? source.PixelColor(x + 3, y - 2) : oldCopy.PixelColor(x, y);
        ASSERT_EQ(dest.PixelColor(x, y), want) << format << " " << x << "," << y;
      }
  }
}

TEST(CanvasCopy, ACopyOntoItselfReadsTheSourceFirst) {
  struct Move {
    int dx, dy;
    bool clipped;
  };
  for (const Move m : {Move{7, 0, false}, Move{-7, 0, false}, Move{0, 5, false}, Move{0, -5, false},
                       Move{4, 3, true}, Move{-4, -3, true}}) {
    TBitmap b(40, 30, pf24bit);
    test::FillNoise(b, 3);
    TBitmap old(40, 30, pf24bit);
    old.Assign(b);
    const TRect parts[] = {{0, 0, 40, 10}, {0, 12, 20, 30}};
    const TRegion clip = TRegion::FromRects(parts);
    if (m.clipped) b.Canvas().SetClipRegion(&clip);
    b.Canvas().CopyRect(Bounds(m.dx, m.dy, 40, 30), b.Canvas(), {0, 0, 40, 30});
    b.Canvas().SetClipRegion(nullptr);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) {
        const int sx = x - m.dx, sy = y - m.dy;
        const bool moved = sx >= 0 && sx < 40 && sy >= 0 && sy < 30 && (!m.clipped || clip.Contains(x, y));
        ASSERT_EQ(b.PixelColor(x, y), moved ? old.PixelColor(sx, sy) : old.PixelColor(x, y))
            << m.dx << "," << m.dy << " at " << x << "," << y;
      }
  }
}

TEST(CanvasCopy, HalftoneStretchAverages) {
  TBitmap source(2, 1, pf24bit), dest(8, 1, pf24bit);
  source.SetPixelColor(0, 0, RGB(0, 0, 0));
  source.SetPixelColor(1, 0, RGB(200, 200, 200));
  dest.Canvas().StretchDraw({0, 0, 8, 1}, source);
  EXPECT_EQ(GetRValue(dest.PixelColor(3, 0)), 0);  // nearest pixel: a hard step
  dest.Canvas().StretchMode = smHalftone;
  dest.Canvas().StretchDraw({0, 0, 8, 1}, source);
  const int mid = GetRValue(dest.PixelColor(3, 0));
  EXPECT_GT(mid, 20);
  EXPECT_LT(mid, 180);
}
