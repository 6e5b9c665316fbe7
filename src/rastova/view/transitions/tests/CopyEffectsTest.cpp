// The effects that copy, stretch or move pictures.
#include <gtest/gtest.h>

#include "TransitionTestFrames.h"
#include "rastova/view/transitions/TransitionEffects.h"

using namespace rv;

namespace {

// Whether frame column x (all rows) shows the Target's column tx.
bool ColumnFromTarget(const test::TTransition& t, int x, int tx) {
  for (int y = 0; y < t.Frame->Height(); ++y)
    if (!test::SamePixel(*t.Frame, x, y, *t.Target, tx, y)) return false;
  return true;
}

bool ColumnFromSource(const test::TTransition& t, int x) {
  for (int y = 0; y < t.Frame->Height(); ++y)
    if (!t.ShowsSource(x, y)) return false;
  return true;
}

}  // namespace

TEST(CopyEffects, StepSizes) {
  struct Case {
    int W, H, progress, w, h;
  };
  for (const Case c :
       {Case{400, 300, 50, 200, 150}, Case{300, 400, 50, 150, 200}, Case{400, 300, 33, 132, 99},
        Case{400, 300, 0, 0, 0}, Case{400, 300, 100, 400, 300}, Case{3, 3, 50, 2, 2}}) {
    int32_t W, H, w, h;
    GetStepSizes({0, 0, c.W, c.H}, c.progress, W, H, w, h);
    EXPECT_EQ(W, c.W);
    EXPECT_EQ(H, c.H);
    EXPECT_EQ(w, c.w) << c.W << "x" << c.H << " at " << c.progress;
    EXPECT_EQ(h, c.h) << c.W << "x" << c.H << " at " << c.progress;
  }
}

TEST(CopyEffects, PushesCompoundFromFrameToFrame) {
  test::TTransition t(400, 20);
  t.Step(151, 10);  // "Push Right and Slide out": the frame moves 40, the Target's last 40 columns enter
  EXPECT_TRUE(ColumnFromTarget(t, 0, 360) && ColumnFromTarget(t, 39, 399));
  for (int x : {40, 100, 399}) EXPECT_TRUE(test::SamePixel(*t.Frame, x, 5, *t.Source, x - 40, 5)) << x;
  t.Step(151, 20);  // the frame moves 80 more: the first strip now lies at 80 to 120
  EXPECT_TRUE(ColumnFromTarget(t, 80, 360) && ColumnFromTarget(t, 119, 399));
  EXPECT_TRUE(ColumnFromTarget(t, 0, 320) && ColumnFromTarget(t, 79, 399));
  EXPECT_TRUE(test::SamePixel(*t.Frame, 120, 5, *t.Source, 0, 5));

  // Upward: the frame's rows move up, the Target's top rows enter at the bottom.
  test::TTransition up(40, 100);
  up.Step(152, 10);
  EXPECT_TRUE(test::SamePixel(*up.Frame, 3, 0, *up.Source, 3, 10));
  EXPECT_TRUE(test::SamePixel(*up.Frame, 3, 90, *up.Target, 3, 0));
}

TEST(CopyEffects, PageFlipAroundTheMiddle) {
  test::TTransition t(400, 10);
  t.Step(185, 50);  // the folding page is 0 wide: the Target's right half beside the old left half
  EXPECT_TRUE(ColumnFromSource(t, 0) && ColumnFromSource(t, 199));
  EXPECT_TRUE(ColumnFromTarget(t, 200, 200) && ColumnFromTarget(t, 399, 399));
  t.Step(185, 51);  // MulDiv(400, 1, 50) / 2 = 4 columns of the Target's left half at the spine
  EXPECT_TRUE(ColumnFromSource(t, 195));
  for (int x = 196; x < 200; ++x) EXPECT_FALSE(ColumnFromSource(t, x)) << x;
  EXPECT_TRUE(ColumnFromTarget(t, 200, 200));

  test::TTransition lined(400, 10);
  lined.Step(186, 51);
  EXPECT_EQ(lined.Frame->PixelColor(196, 3), platform::clBlack);  // the fold line at the moving edge
  test::TTransition reverse(400, 10);
  reverse.Step(188, 25);  // the old left page squeezed from a = 100 to the spine, the line at 100
  EXPECT_TRUE(ColumnFromTarget(reverse, 0, 0) && ColumnFromTarget(reverse, 99, 99));
  EXPECT_EQ(reverse.Frame->PixelColor(100, 3), platform::clBlack);
  EXPECT_TRUE(ColumnFromSource(reverse, 300));
}

TEST(CopyEffects, UnrollEnds) {
  struct Case {
    int progress, edge, rollEnd;
  };
  // 500 wide: w = 50 rolls to 75, w = 250 to 300, w = 460 to 480.
  for (const Case c : {Case{10, 50, 75}, Case{50, 250, 300}, Case{92, 460, 480}}) {
    test::TTransition t(500, 6);
    t.Step(60, c.progress);
    EXPECT_TRUE(ColumnFromTarget(t, 0, 0) && ColumnFromTarget(t, c.edge - 1, c.edge - 1)) << c.edge;
    EXPECT_FALSE(ColumnFromSource(t, c.edge)) << c.edge;
    EXPECT_FALSE(ColumnFromSource(t, c.rollEnd - 1)) << c.edge;
    EXPECT_TRUE(ColumnFromSource(t, c.rollEnd)) << c.edge;
    // The roll mirrors the Target beyond it: its left end shows columns near 2r - w.
    const int near = t.Frame->ScanLine(2)[3 * c.edge];
    EXPECT_NEAR(near, (2 * c.rollEnd - c.edge - 1) % 256, 2) << c.edge;
  }
  // From the bottom: the unrolled rows at the bottom, the roll above them.
  test::TTransition t(20, 500);
  t.Step(63, 10);
  EXPECT_TRUE(t.ShowsTarget(5, 499) && t.ShowsTarget(5, 450));
  EXPECT_FALSE(t.ShowsSource(5, 449) || t.ShowsSource(5, 425));
  EXPECT_TRUE(t.ShowsSource(5, 424));
}

TEST(CopyEffects, HalfwayFrames) {
  struct Case {
    int row;
    int x, y;
    bool target;
  };
  // 400 x 300 at Progress 50: w = 200, h = 150.
  for (const Case c : {Case{48, 199, 149, true}, Case{48, 200, 149, false}, Case{53, 5, 75, true},
                       Case{53, 5, 74, false}, Case{54, 99, 10, true}, Case{54, 100, 10, false},
                       Case{54, 300, 10, true}, Case{73, 99, 74, true}, Case{73, 100, 75, false}}) {
    test::TTransition t(400, 300);
    t.Step(c.row, 50);
    EXPECT_EQ(t.ShowsTarget(c.x, c.y), c.target) << c.row << " at " << c.x << "," << c.y;
    EXPECT_TRUE(c.target || t.ShowsSource(c.x, c.y)) << c.row;
  }
  // Slides: the Target's top-left corner at (w - W, 0).
  test::TTransition slide(400, 300);
  slide.Step(64, 50);
  EXPECT_TRUE(test::SamePixel(*slide.Frame, 0, 7, *slide.Target, 200, 7));
  // Expanding: the whole Target squeezed into the left half.
  test::TTransition expand(400, 300);
  expand.Step(30, 50);
  EXPECT_EQ(expand.Frame->ScanLine(7)[2], 200);  // red tells the Target from the Source
  EXPECT_GE(expand.Frame->ScanLine(7)[3 * 199 + 2], 200);
  EXPECT_TRUE(expand.ShowsSource(200, 7));
  EXPECT_NEAR(expand.Frame->ScanLine(7)[3 * 100], 200, 2);
}
