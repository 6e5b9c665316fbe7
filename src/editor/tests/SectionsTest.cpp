// The cross-section profiles and the two point routines of the bend editors.
#include <gtest/gtest.h>

#include <cmath>

#include "editor/editors/uScKANTEN.h"

using editor::MakeSection;
using shape::TDbl2D;
using shape::TDbl2DAry;

namespace {

constexpr double kUnset = 99;

// A profile array of n entries that all hold the marker value, so unwritten entries show.
TDbl2DAry Marked(int n) { return TDbl2DAry(static_cast<size_t>(n), TDbl2D{{kUnset, kUnset}}); }

bool IsMarked(const TDbl2D& p) { return p[0] == kUnset && p[1] == kUnset; }

void ExpectPoint(const TDbl2D& p, double x, double y) {
  EXPECT_NEAR(p[0], x, 1e-12);
  EXPECT_NEAR(p[1], y, 1e-12);
}

}  // namespace

TEST(Sections, ThirtyThreePointsAreAllWrittenAndClosed) {
  for (int type = 0; type < editor::SectionTypeCount; ++type) {
    SCOPED_TRACE(type);
    TDbl2DAry p = Marked(33);
    MakeSection(type, 33, p);
    ASSERT_EQ(p.size(), 33u);
    for (int i = 0; i < 33; ++i) EXPECT_FALSE(IsMarked(p[i])) << i;
    ExpectPoint(p[0], 0, 0);
    ExpectPoint(p[8], 0.5, -1);
    ExpectPoint(p[16], 1, 0);
    ExpectPoint(p[24], 0.5, 1);
    ExpectPoint(p[32], p[0][0], p[0][1]);
  }
}

TEST(Sections, ShapesOfEachType) {
  TDbl2DAry p;
  // The rectangle: corners at h, 3h, 5h, 7h (h = 4), straight sides.
  MakeSection(editor::SECTION_SQUARE, 33, p);
  ExpectPoint(p[4], 0, -1);
  ExpectPoint(p[12], 1, -1);
  ExpectPoint(p[20], 1, 1);
  ExpectPoint(p[28], 0, 1);
  ExpectPoint(p[6], 0.25, -1);
  // The ellipse about (0.5, 0) with half axes 0.5 and 1.
  MakeSection(editor::SECTION_ROUND, 33, p);
  for (int i = 1; i < 32; ++i)
    EXPECT_NEAR(std::pow((p[i][0] - 0.5) / 0.5, 2) + p[i][1] * p[i][1], 1, 1e-12) << i;
  // ROUND-SQUARE1: curved where y < 0, square where y > 0.
  MakeSection(editor::SECTION_ROUND_SQUARE1, 33, p);
  EXPECT_NEAR(p[4][1], -std::sin(4 * 2 * M_PI / 32), 1e-12);
  ExpectPoint(p[20], 1, 1);
  // ROUND-SQUARE2: curved on the first edge's half (x < 0.5).
  MakeSection(editor::SECTION_ROUND_SQUARE2, 33, p);
  EXPECT_NEAR(p[28][0], 0.5 - 0.5 * std::cos(28 * 2 * M_PI / 32), 1e-12);
  ExpectPoint(p[12], 1, -1);
  // BLADE and Fin: straight from (0.5, -1) to (1, 0) to (0.5, 1); the back square or curved.
  for (int type : {editor::SECTION_BLADE, editor::SECTION_FIN}) {
    MakeSection(type, 33, p);
    ExpectPoint(p[12], 0.75, -0.5);
    ExpectPoint(p[20], 0.75, 0.5);
  }
  MakeSection(editor::SECTION_BLADE, 33, p);
  ExpectPoint(p[4], 0, -1);
  MakeSection(editor::SECTION_FIN, 33, p);
  EXPECT_NEAR(p[4][0], 0.5 - 0.5 * std::cos(M_PI / 4), 1e-12);
}

TEST(Sections, OddQuarterLeavesTheUnreachedEntries) {
  // n = 45: q = 11, h = 5. The rectangle never writes 10, 20, 30 and 40..43, and point 44 only
  // by the key point 4q.
  TDbl2DAry p = Marked(45);
  MakeSection(editor::SECTION_SQUARE, 45, p);
  for (int i : {10, 20, 30, 40, 41, 42, 43}) EXPECT_TRUE(IsMarked(p[i])) << i;
  ExpectPoint(p[5], 0, -1);
  ExpectPoint(p[15], 1, -1);
  ExpectPoint(p[25], 1, 1);
  ExpectPoint(p[35], 0, 1);
  ExpectPoint(p[44], 0, 0);
  // The side from entry 10 to the corner at 15 is interpolated from what entry 10 holds.
  EXPECT_DOUBLE_EQ(p[11][0], (4 * kUnset + 1) / 5);
  // The ellipse types write 1..43, the key points 0 and 44.
  p = Marked(45);
  MakeSection(editor::SECTION_ROUND, 45, p);
  for (int i = 0; i < 45; ++i) EXPECT_FALSE(IsMarked(p[i])) << i;
}

TEST(Sections, SmallSizesWriteOnlyTheirEntries) {
  // n = 9: the rectangle is its key points and corners alone.
  TDbl2DAry p = Marked(9);
  MakeSection(editor::SECTION_SQUARE, 9, p);
  const double expected[9][2] = {{0, 0}, {0, -1},  {0.5, -1}, {1, -1}, {1, 0},
                                 {1, 1}, {0.5, 1}, {0, 1},    {0, 0}};
  for (int i = 0; i < 9; ++i) ExpectPoint(p[i], expected[i][0], expected[i][1]);
  // Below 9 the key points alone; below 5 they share entries. Kept entries keep their values,
  // entries added by the resize start at (0, 0).
  for (int n = 0; n <= 8; ++n)
    for (int type = 0; type < editor::SectionTypeCount; ++type) {
      TDbl2DAry q(2, TDbl2D{{kUnset, kUnset}});
      MakeSection(type, n, q);
      ASSERT_EQ(static_cast<int>(q.size()), n);
      for (const TDbl2D& point : q) EXPECT_TRUE(std::isfinite(point[0]) && std::isfinite(point[1]));
    }
  TDbl2DAry seven = Marked(3);
  MakeSection(editor::SECTION_ROUND, 7, seven);
  ExpectPoint(seven[5], 0, 0);  // added by the resize, not written (q = 1)
  ExpectPoint(seven[1], 0.5, -1);
}

TEST(Sections, CurrentSectionAndCaptions) {
  EXPECT_STREQ(editor::SectionCaptions[0], "Normal");
  EXPECT_STREQ(editor::SectionCaptions[4], "ROUND-SQUARE1");
  EXPECT_STREQ(editor::SectionCaptions[7], "Fin");
  const int32_t saved = editor::CurrentSection;
  editor::CurrentSection = editor::SECTION_FIN;
  TDbl2DAry a, b;
  editor::MakeCurrentSection(17, a);
  MakeSection(editor::SECTION_FIN, 17, b);
  editor::CurrentSection = saved;
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) ExpectPoint(a[i], b[i][0], b[i][1]);
}

TEST(Sections, IconPixelsRoundHalvesToEven) {
  editor::TIconPixel px[33];
  editor::SectionIconPixels(editor::SECTION_SQUARE, px);
  // (0, 0) -> (0, 7.5) -> (0, 8); (0.5, -1) -> (7.5, 15) -> (8, 15); corner (1, 1) -> (15, 0).
  EXPECT_EQ(px[0].X, 0);
  EXPECT_EQ(px[0].Y, 8);
  EXPECT_EQ(px[8].X, 8);
  EXPECT_EQ(px[8].Y, 15);
  EXPECT_EQ(px[20].X, 15);
  EXPECT_EQ(px[20].Y, 0);
  // (0.25, -1) on the rectangle's first long side: 3.75 -> 4; (0.125, ...) 1.875 -> 2.
  EXPECT_EQ(px[6].X, 4);
  for (const auto& p : px) {
    EXPECT_GE(p.X, 0);
    EXPECT_LE(p.X, 15);
    EXPECT_GE(p.Y, 0);
    EXPECT_LE(p.Y, 15);
  }
}

TEST(Sections, MidpointAndDistance) {
  shape::TDbl3D m;
  editor::Midpoint3D({{1, 2, 3}}, {{3, -2, 5}}, m);
  EXPECT_EQ(m[0], 2);
  EXPECT_EQ(m[1], 0);
  EXPECT_EQ(m[2], 4);
  EXPECT_DOUBLE_EQ(editor::Distance3D({{1, 2, 3}}, {{4, 6, 3}}), 5);
}
