// The transition regions: the rectangle list, bars, shreds, speckles, sectors, shapes and the
// point routines. Regions are checked by their bounds and by points inside and outside.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "TransitionTestFrames.h"
#include "common/Random.h"
#include "rastova/view/transitions/ComplexRegion.h"
#include "rastova/view/transitions/TransitionRegions.h"

using namespace rv;
using platform::TPoint;
using platform::TRect;

namespace {

TRect SlotAt(const TComplexRegion& list, int i) {
  TRect r;
  std::memcpy(&r, list.Data() + 32 + 16 * i, 16);
  return r;
}

int32_t HeaderInt(const TComplexRegion& list, int offset) {
  int32_t v;
  std::memcpy(&v, list.Data() + offset, 4);
  return v;
}

}  // namespace

TEST(ComplexRegion, GrowsBy500AndKeepsEveryRectangle) {
  TComplexRegion list;
  EXPECT_EQ(list.CreateRegion(), nullptr);  // nothing added: no region at all
  for (int i = 0; i < 501; ++i) list.AddRect(i * 3, i % 7, i * 3 + 2, i % 7 + 5);
  EXPECT_EQ(list.Capacity(), 1000);
  EXPECT_EQ(list.Count(), 501);
  for (int i : {0, 250, 499, 500})
    EXPECT_EQ(SlotAt(list, i), (TRect{i * 3, i % 7, i * 3 + 2, i % 7 + 5})) << i;
  EXPECT_EQ(list.Bounds(), (TRect{0, 0, 1502, 11}));
  const PRegion region = list.CreateRegion();
  ASSERT_NE(region, nullptr);
  EXPECT_EQ(HeaderInt(list, 0), 32);
  EXPECT_EQ(HeaderInt(list, 4), 1);
  EXPECT_EQ(HeaderInt(list, 8), 501);
  EXPECT_EQ(HeaderInt(list, 12), 16);
  EXPECT_EQ(region->BoundingBox(), (TRect{0, 0, 1502, 11}));
  EXPECT_TRUE(region->Contains(1501, 500 % 7));
  EXPECT_FALSE(region->Contains(2, 3));  // the gap between the first two
  list.Clear();
  EXPECT_EQ(list.Data(), nullptr);
  EXPECT_EQ(list.Capacity(), 0);
  EXPECT_EQ(list.Bounds(), (TRect{2147483647, 2147483647, -2147483647, -2147483647}));
}

TEST(ComplexRegion, KeepsRectanglesAsGiven) {
  TComplexRegion list;
  list.AddRect(10, 0, 0, 10);  // right before left: stored, covers nothing
  EXPECT_EQ(SlotAt(list, 0), (TRect{10, 0, 0, 10}));
  EXPECT_EQ(list.Bounds(), (TRect{10, 0, 0, 10}));
  const PRegion region = list.CreateRegion();
  ASSERT_NE(region, nullptr);
  EXPECT_TRUE(region->IsEmpty());
}

TEST(BarsRegion, Halves) {
  // Rows of zero width only: an empty region, not none.
  const PRegion none = CreateBarsRegion(0, 0, 100, 60, 1, 0);
  ASSERT_NE(none, nullptr);
  EXPECT_TRUE(none->IsEmpty());

  // Thickness 60 / 50 + 1 = 2; second half from the left: rows from y = 2 cover 0 to 50, and
  // the rows above them are complete.
  const PRegion second = CreateBarsRegion(150, 0, 100, 60, 2, 0);
  for (int y = 2; y < 60; y += 4) {
    EXPECT_TRUE(second->Contains(0, y) && second->Contains(49, y + 1)) << y;
    EXPECT_FALSE(second->Contains(50, y)) << y;
    EXPECT_TRUE(second->Contains(0, y - 2) && second->Contains(99, y - 1)) << y;
  }

  // First half, mode 3: a bar from the right, the next from the left.
  const PRegion both = CreateBarsRegion(30, 0, 100, 60, 3, 0);
  EXPECT_TRUE(both->Contains(70, 0) && !both->Contains(69, 0));
  EXPECT_TRUE(both->Contains(29, 2) && !both->Contains(30, 2));

  // Columns mode 1 grow from the bottom.
  const PRegion columns = CreateBarsRegion(0, 20, 100, 60, 0, 1);
  EXPECT_TRUE(columns->Contains(0, 40) && !columns->Contains(0, 39));
  EXPECT_FALSE(columns->Contains(2, 59));
}

TEST(ShredsAndSpeckles, StayNearTheirEdgeAndDrawFromTheGenerator) {
  common::SetRandSeed(5);
  const PRegion shreds = CreateShredsRegion(100, 0, 400, 300, 2, 0);
  EXPECT_NE(common::RandSeed(), 5u);  // the jagged ends come from the shared generator
  // Jag of 400 / 10 = 40: every strip reaches 60 and none passes 140.
  for (int y = 0; y < 300; y += 5) {
    EXPECT_TRUE(shreds->Contains(59, y)) << y;
    EXPECT_FALSE(shreds->Contains(140, y)) << y;
  }
  // Complete: no jag.
  const PRegion full = CreateShredsRegion(400, 300, 400, 300, 3, 4);
  EXPECT_EQ(full->Region(), QRegion(0, 0, 400, 300));

  // Speckles from the right: solid from 300, cells at most 40 beyond.
  const PRegion speckles = CreateSpecklesRegion(100, 0, 400, 300, 1, 0);
  EXPECT_TRUE(speckles->Contains(300, 150) && speckles->Contains(399, 299));
  EXPECT_FALSE(speckles->Contains(259, 150));
  EXPECT_GE(speckles->BoundingBox().Left, 260);
}

TEST(SectorRegion, StopsOneStepShort) {
  const long double pi = std::numbers::pi_v<long double>;
  const PRegion sector = CreateSectorRegion(100, 100, 90, -pi / 2, 3 * pi / 2, 100);
  // The last 3.6 degrees before straight up are left out.
  auto at = [&](double degrees) {
    const double a = (degrees - 90) * std::numbers::pi / 180;
    return sector->Contains(100 + int(std::lround(60 * std::cos(a))),
                            100 + int(std::lround(60 * std::sin(a))));
  };
  EXPECT_TRUE(at(10) && at(180) && at(350));
  EXPECT_FALSE(at(358.5));
  EXPECT_TRUE(CreateSectorRegion(10, 10, 5, 0, 1, 0)->IsEmpty());
}

TEST(ShapeRegion, CodesAndFitting) {
  EXPECT_EQ(CreateShapeRegion(255, 0, 0, 100, 100), nullptr);
  EXPECT_EQ(CreateShapeRegion(127, 0, 0, 100, 100), nullptr);
  EXPECT_EQ(CreateShapeRegion(16, 0, 0, 100, 100), nullptr);
  EXPECT_EQ(CreateShapeRegion(128, 0, 0, 100, 100)->Region(), CreateStar5Region(0, 0, 100, 100)->Region());

  // Heart of side 40 centred in 100 x 40: X becomes 30.
  const PRegion heart = CreateShapeRegion(15, 0, 0, 100, 40);
  const TRect hb = heart->BoundingBox();
  EXPECT_EQ(hb.Left, 30);
  EXPECT_EQ(hb.Right, 70);
  EXPECT_TRUE(heart->Contains(50, 35) && heart->Contains(40, 10) && heart->Contains(60, 10));
  EXPECT_FALSE(heart->Contains(50, 1));  // the notch between the lobes
  EXPECT_FALSE(heart->Contains(32, 36));

  // Cross narrowed to 75 (X = 12), bars 15 thick, cross bar at y = 28.
  const PRegion cross = CreateShapeRegion(10, 0, 0, 100, 100);
  EXPECT_EQ(cross->BoundingBox(), (TRect{12, 0, 87, 100}));
  const QRegion expected = QRegion(12 + 30, 0, 15, 100) + QRegion(12, 28, 75, 15);
  EXPECT_EQ(cross->Region(), expected);

  // Outline points: the star's top at (Round(99 * 0.5), 0) in a square box.
  const PRegion star = CreateShapeRegion(0, 0, 0, 100, 100);
  EXPECT_TRUE(star->Contains(50, 50) && star->Contains(50, 5));
  EXPECT_FALSE(star->Contains(10, 10) || star->Contains(50, 85));

  // Arrows: the head sits in the corner the orientation names.
  struct Corner {
    uint8_t code;
    int x, y;
  };
  for (const Corner c : {Corner{2, 3, 3}, Corner{3, 96, 3}, Corner{4, 3, 96}, Corner{5, 96, 96},
                         Corner{11, 3, 3}, Corner{14, 96, 96}}) {
    const PRegion arrow = CreateShapeRegion(c.code, 0, 0, 100, 100);
    EXPECT_TRUE(arrow->Contains(c.x, c.y)) << int(c.code);
    EXPECT_FALSE(arrow->Contains(99 - c.x, c.y)) << int(c.code);
  }

  // Lightning bolt: width fitted to the height; 7 is its mirror image.
  const PRegion bolt = CreateShapeRegion(6, 0, 0, 200, 100);
  EXPECT_GE(bolt->BoundingBox().Left, 50);
  EXPECT_LE(bolt->BoundingBox().Right, 150);
  const PRegion mirrored = CreateShapeRegion(7, 0, 0, 200, 100);
  for (const TPoint p : {TPoint{60, 95}, TPoint{140, 25}, TPoint{110, 40}})
    EXPECT_EQ(bolt->Contains(p.X, p.Y), mirrored->Contains(199 - p.X, p.Y)) << p.X << "," << p.Y;
  // Explosion: unfitted; 9 turned half round.
  const PRegion burst = CreateShapeRegion(8, 0, 0, 200, 100);
  EXPECT_GT(burst->BoundingBox().Width(), 190);
  const PRegion turned = CreateShapeRegion(9, 0, 0, 200, 100);
  EXPECT_EQ(burst->Contains(100, 50), turned->Contains(99, 49));
}

TEST(PointRoutines, PolarFitAndRotate) {
  TPoint p;
  PolarPoint({10, 10}, 5, p, 0);
  EXPECT_EQ(p, (TPoint{10, 5}));  // straight up
  PolarPoint({10, 10}, 5, p, 90);
  EXPECT_EQ(p, (TPoint{15, 10}));  // clockwise
  int x = 0, y = 0, w = 100, h = 40;
  FitSquare(x, y, w, h);
  EXPECT_EQ((TRect{x, y, w, h}), (TRect{30, 0, 40, 40}));
  TPoint pts[] = {{20, 10}, {10, 10}};
  RotatePolygonPoints(pts, 1, 10, std::numbers::pi_v<long double> / 2, 10);
  EXPECT_EQ(pts[0], (TPoint{10, 20}));  // a quarter turn clockwise on the screen
  EXPECT_EQ(pts[1], (TPoint{10, 10}));
}

TEST(StretchDrawFlipped, ClipsItsSourceAndMirrors) {
  auto source = test::Picture(10, 4, 0);
  platform::TBitmap frame(20, 4, platform::pf24bit);
  // Columns 5 to 15 asked for: only 5 to 9 exist, stretched over all 20 columns, mirrored.
  StretchDrawFlipped(frame.Canvas(), {0, 0, 20, 4}, *source, {5, 0, 15, 4}, true, false);
  EXPECT_EQ(frame.Canvas().StretchMode, platform::smHalftone);
  auto column = [&](int x) { return frame.ScanLine(1)[3 * x]; };  // blue holds the source column
  EXPECT_EQ(column(0), 9);
  EXPECT_EQ(column(19), 5);
  EXPECT_GT(column(3), column(16));
  // Unflipped, top to bottom mirrored.
  platform::TBitmap tall(10, 8, platform::pf24bit);
  StretchDrawFlipped(tall.Canvas(), {0, 0, 10, 8}, *source, {0, 0, 10, 8}, false, true);
  EXPECT_EQ(tall.ScanLine(0)[1], 3);  // green holds the source row
  EXPECT_EQ(tall.ScanLine(7)[1], 0);
}
