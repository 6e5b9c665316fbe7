// The effects that reveal the Target through a clip region.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "TransitionTestFrames.h"
#include "common/Random.h"
#include "rastova/view/transitions/TransitionRegions.h"

using namespace rv;

namespace {

// Which pixels show the Target, row by row.
std::vector<bool> TargetMask(const test::TTransition& t) {
  std::vector<bool> mask;
  for (int y = 0; y < t.Frame->Height(); ++y)
    for (int x = 0; x < t.Frame->Width(); ++x) mask.push_back(t.ShowsTarget(x, y));
  return mask;
}

void Restart(test::TTransition& t) { t.Frame->Assign(*t.Source); }

struct TProbe {
  int x, y;
  bool target;
};

}  // namespace

TEST(RegionEffects, RandomHeartsRepeatAndGrow) {
  test::TTransition t(200, 150);
  common::SetRandSeed(77);
  t.Step(191, 40);
  EXPECT_EQ(common::RandSeed(), 77u);
  const std::vector<bool> first = TargetMask(t);
  Restart(t);
  t.Step(191, 40);
  EXPECT_EQ(TargetMask(t), first);  // the same hearts: every frame starts from the Target's seed
  Restart(t);
  t.Step(191, 41);
  const std::vector<bool> more = TargetMask(t);
  int shown = 0;
  for (size_t i = 0; i < first.size(); ++i) {
    ASSERT_TRUE(!first[i] || more[i]) << i;  // a heart once shown stays shown
    shown += first[i];
  }
  EXPECT_GT(shown, 0);
  EXPECT_LT(shown, 200 * 150);
  EXPECT_EQ(common::RandSeed(), 77u);
}

TEST(RegionEffects, RandomShapesOnTooSmallAFrameDrawNothing) {
  // Hearts on 10 x 8: a = 8 / 12 + 1 = 1, spacing Trunc(0.6) = 0; the frame is left as it was.
  for (int row : {191, 192, 193, 194}) {
    test::TTransition t(10, 8);
    common::SetRandSeed(5);
    t.Step(row, 100);
    EXPECT_EQ(test::Matching(*t.Frame, *t.Source), 80) << row;
    EXPECT_EQ(common::RandSeed(), 5u) << row;
  }
  // "Random Big Boxes" needs no spacing check: its cells are at least 2 wide.
  test::TTransition boxes(10, 8);
  boxes.Step(184, 100);
  EXPECT_EQ(test::Matching(*boxes.Frame, *boxes.Target), 80);
}

TEST(RegionEffects, RegionAtGivenSteps) {
  struct Case {
    int row, width, height, progress;
    std::vector<TProbe> probes;
  };
  const Case cases[] = {
      // Circle from the centre at 100 on 200 x 100: (-100, -50) to (300, 150), corner ellipse 360 x 180.
      {116, 200, 100, 100, {{0, 0, true}, {199, 99, true}, {0, 99, true}}},
      {116, 200, 100, 50, {{100, 50, true}, {0, 0, false}}},
      // Bars in from the right at 50 on 200 x 100 (bars 3 thick): every second bar across the width.
      {85, 200, 100, 50, {{0, 0, true}, {199, 2, true}, {0, 3, false}, {199, 5, false}, {0, 96, true}}},
      {85, 200, 100, 100, {{0, 3, true}, {199, 5, true}}},
      // Sweep at 100 leaves the last 3.6 degrees before straight up.
      {138, 200, 200, 100, {{99, 5, false}, {80, 10, true}, {110, 5, true}}},
      {139, 200, 200, 100, {{101, 5, false}, {120, 10, true}, {90, 5, true}}},
      {138, 200, 200, 25, {{150, 60, true}, {60, 150, false}}},
      // Zigzag from the horizon: the band about the middle.
      {178, 200, 100, 50, {{100, 50, true}, {100, 2, false}}},
      {189, 200, 100, 50, {{100, 50, false}, {100, 2, true}}},
      // Triangular wipe, Factor 1 on 100 x 80: one cell of 2 x 2 triangles.
      {183, 100, 80, 50, {{60, 45, true}, {60, 2, true}, {10, 50, true}, {40, 30, false}, {10, 10, false}}},
      // Star to the centre: the Target outside the shrinking star.
      {203, 200, 200, 50, {{100, 100, false}, {2, 2, true}}},
      // Diamond in and out at 50: between the outer and the inner diamond.
      {182, 200, 200, 50, {{100, 100, false}, {100, 20, true}, {0, 0, false}}},
      // Rotating rectangle a quarter turn: 50 x 25 standing upright about the centre of 200 x 100.
      {142, 200, 100, 25, {{100, 30, true}, {80, 50, false}}},
      // Spiralling: the same rectangle turned about (w, h) = (100, 50).
      {168, 200, 100, 50, {{100, 50, true}, {5, 5, false}}},
      // Vertical blinds: n = 400 / 40 + 1 = 11, a = 6 at 50: columns 5 to 16 of every 22.
      {159, 400, 100, 50, {{5, 0, true}, {16, 99, true}, {4, 0, false}, {17, 0, false}, {27, 0, true}}},
      // Uneven blinds from the right: period w = 200, a = 100.
      {161, 400, 300, 50, {{399, 0, true}, {300, 0, true}, {299, 0, false}, {100, 0, true}}},
      // Expanding circles: the cell centres first.
      {114, 200, 200, 20, {{21, 21, true}, {42, 42, false}}},
      // Curved wipe from the left at 50: (-800, 0) to (400, 101), its corners rounded over the whole
      // height, so the edge reaches the right side in the middle row only.
      {76, 400, 100, 50, {{390, 50, true}, {250, 5, false}, {150, 5, true}}},
      // Diagonal cross from the centre at 50.
      {176, 200, 200, 50, {{100, 100, true}, {0, 100, false}, {100, 0, false}}},
  };
  for (const Case& c : cases) {
    test::TTransition t(c.width, c.height);
    t.Step(c.row, c.progress);
    EXPECT_EQ(t.Frame->Canvas().ClipRect(), t.Rect()) << c.row;
    for (const TProbe& p : c.probes) {
      EXPECT_EQ(t.ShowsTarget(p.x, p.y), p.target)
          << c.row << " at " << c.progress << ": " << p.x << "," << p.y;
      EXPECT_TRUE(p.target || t.ShowsSource(p.x, p.y)) << c.row << ": " << p.x << "," << p.y;
    }
  }
}

TEST(RegionEffects, CrisscrossIntersection) {
  test::TTransition t(200, 100);
  t.Step(131, 30);  // w = 60, h = 30
  const PRegion a = CreateBarsRegion(120, 60, 200, 100, 1, 1), b = CreateBarsRegion(120, 60, 200, 100, 2, 2);
  int both = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x) {
      const bool in = a->Contains(x, y) && b->Contains(x, y);
      both += in;
      ASSERT_EQ(t.ShowsTarget(x, y), in) << x << "," << y;
    }
  EXPECT_GT(both, 0);
}

TEST(RegionEffects, NothingToShowDrawsNothing) {
  struct Case {
    int row, width, height, progress;
  };
  // Rectangles need H / 20 (or W / 20) of at least 1; uneven blinds a period; random grids a draw.
  for (const Case c : {Case{164, 40, 10, 50}, Case{166, 10, 40, 50}, Case{160, 40, 30, 0},
                       Case{163, 40, 30, 0}, Case{184, 40, 30, 0}, Case{191, 200, 150, 0}}) {
    test::TTransition t(c.width, c.height);
    t.Step(c.row, c.progress);
    EXPECT_EQ(test::Matching(*t.Frame, *t.Source), c.width * c.height) << c.row;
  }
}

TEST(RegionEffects, CrossWipeCopiesTheSourceFirst) {
  test::TTransition t(200, 200);
  t.Frame->Canvas().Brush.Color = platform::clBlack;
  t.Frame->Canvas().FillRect(t.Rect());  // whatever the previous frame held
  t.Step(208, 10);
  EXPECT_TRUE(t.ShowsSource(2, 2));
  EXPECT_TRUE(t.ShowsTarget(100, 100));
}
