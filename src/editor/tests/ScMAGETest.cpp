// The two bend editors driven through a headless pane, and the section rebuilds.
#include <cmath>
#include <set>

#include "editor/editors/uScMAGE.h"
#include "editor/tests/ShapeEditorTestUtil.h"

using editor::TScMAGE;
using editor::TScMAGETorus;
using editor_test::Pane;

namespace {

class MageTest : public editor_test::ShapeEditorTest {
 protected:
  shape::TCS& Shape(TScMAGE& e, shape::TScType type, int columns, int rows) {
    shape::TCS& cs = NewShape(type, columns, rows);
    e.ResetForShape();
    e.SyncFromShape(cs);
    return cs;
  }
  TScMAGE mage;
  TScMAGETorus torus;
};

}  // namespace

TEST_F(MageTest, NormalAgainChangesNothing) {
  shape::TCS& cs = Shape(mage, shape::SCTYPE_SPHERE, 9, 9);
  editor::CurrentSection = editor::SECTION_NORMAL;
  EXPECT_FALSE(mage.SectionChanged(cs));
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) ExpectSame(cs.CP[i][j], cs.DP[i][j], 0);
}

TEST_F(MageTest, ADraggedEdgeCarriesItsRingButNeverThePoles) {
  shape::TCS& cs = Shape(mage, shape::SCTYPE_SPHERE, 9, 9);
  ASSERT_EQ(mage.EdgeA, 0);
  ASSERT_EQ(mage.EdgeB, 4);
  Pane pane(mage, cs);
  pane.Paint();
  // Select the whole edge line A with a band, then drag it right.
  const QPoint middle = At(mage, cs.CP[0][4]);
  pane.Drag({middle - QPoint(20, 190), middle + QPoint(20, 190)});
  ASSERT_TRUE(cs.SP[0][4]);
  const QPoint p = At(mage, cs.CP[0][4]);
  pane.Drag({p, p + QPoint(32, 0)}, Qt::AltModifier);  // Alt: move, whatever handle lies there
  EXPECT_NEAR(cs.CP[0][4][0], 0.75 + 32.0 / 256, 1e-9);
  // Ring 4 moved and scaled with its edges: the point halfway round lies on the new midline.
  EXPECT_NEAR(cs.CP[2][4][0], (cs.CP[0][4][0] + cs.CP[4][4][0]) / 2, 1e-9);
  // The pole rows stay.
  for (int i = 1; i < 8; ++i) {
    ExpectSame(cs.CP[i][0], cs.DP[i][0]);
    ExpectSame(cs.CP[i][8], cs.DP[i][8]);
  }
}

TEST_F(MageTest, CoincidingEdgePointsGiveACircleInBothTwins) {
  for (TScMAGE* e : {static_cast<TScMAGE*>(&mage), static_cast<TScMAGE*>(&torus)}) {
    SCOPED_TRACE(e->Transposed() ? "torus" : "open");
    shape::TCS& cs = Shape(*e, shape::SCTYPE_TORUS, 9, 9);
    // Ring 2: both committed edge points on one spot; the current pair 0.2 apart.
    const int ring = 2;
    e->CommittedAt(cs, e->EdgeA, ring) = {{0.1, 0.1, 0.1}};
    e->CommittedAt(cs, e->EdgeB, ring) = {{0.1, 0.1, 0.1}};
    e->PointAt(cs, e->EdgeA, ring) = {{0.2, 0.1, 0.1}};
    e->PointAt(cs, e->EdgeB, ring) = {{0.0, 0.1, 0.1}};
    e->RebuildSimilar(cs, ring);
    std::set<std::pair<long, long>> places;
    for (int p = 0; p < 8; ++p) {
      const shape::TDbl3D& q = e->PointAt(cs, p, ring);
      EXPECT_NEAR(std::hypot(q[0] - 0.1, q[1] - 0.1, q[2] - 0.1), 0.2, 1e-9) << p;
      places.insert({std::lround(q[0] * 1e6), std::lround(q[2] * 1e6 + q[1] * 1e3)});
    }
    EXPECT_EQ(places.size(), 8u);  // eight distinct places, not one
  }
}

TEST_F(MageTest, ChamferWritesItsWalkOnce) {
  editor::CurrentSection = editor::SECTION_CHAMFER;
  struct Case {
    int columns;
    int changed;
  } cases[] = {{33, 32}, {25, 24}, {9, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.columns);
    shape::TCS& cs = Shape(mage, shape::SCTYPE_CYLINDER, c.columns, 5);
    for (int i = 0; i < c.columns; ++i) cs.CP[i][2] = {{0.5, 0.5, 0.5}};
    shape::CommitShapePoints(cs);
    mage.RebuildChamfer(cs, 2);
    int changed = 0;
    for (int i = 0; i + 1 < c.columns; ++i) changed += !shape::EqualDbl3D(cs.CP[i][2], cs.DP[i][2]);
    // The edge points' H and V stay; only where the walk writes does anything move.
    EXPECT_LE(changed, c.changed);
    EXPECT_GE(changed, c.changed == 0 ? 0 : c.changed - 2);
    ExpectSame(cs.CP[c.columns - 1][2], cs.CP[0][2], 0);
  }
  // SectionChanged with a profile rebuilds every handled ring and reports it.
  editor::CurrentSection = editor::SECTION_ROUND;
  shape::TCS& cs = Shape(mage, shape::SCTYPE_CYLINDER, 33, 9);
  ASSERT_TRUE(mage.SectionChanged(cs));
  // Side 0 looks along -y: the profile's depth -1 at its quarter point lies at y = +1, halfway
  // between the edges.
  for (int r = 0; r < 9; ++r) {
    EXPECT_NEAR(cs.CP[8][r][1], 1, 1e-9) << r;
    EXPECT_NEAR(cs.CP[8][r][0], (cs.CP[0][r][0] + cs.CP[16][r][0]) / 2, 1e-9) << r;
  }
  EXPECT_TRUE(AllFinite(cs));
}

TEST_F(MageTest, TheCurrentLineStepsByQuartersWithItsViewSide) {
  shape::TCS& cs = Shape(mage, shape::SCTYPE_SPHERE, 33, 33);
  const int expectLines[] = {8, 16, 24, 0};
  const int expectSides[] = {1, 3, 4, 0};
  for (int k = 0; k < 4; ++k) {
    mage.NextLine(cs);
    EXPECT_EQ(mage.CurrentLine, expectLines[k]);
    EXPECT_EQ(mage.ViewSide, expectSides[k]);
  }
  mage.PrevLine(cs);
  EXPECT_EQ(mage.CurrentLine, 24);
  shape::TCS& t = Shape(torus, shape::SCTYPE_TORUS, 17, 33);
  EXPECT_EQ(torus.ViewSide, 5);
  const int torusSides[] = {1, 2, 4, 5};
  for (int k = 0; k < 4; ++k) {
    torus.NextLine(t);
    EXPECT_EQ(torus.CurrentLine, expectLines[k]);
    EXPECT_EQ(torus.ViewSide, torusSides[k]);
  }
  torus.SyncFromShape(t);
  torus.PublishLineMarks();
  EXPECT_EQ(shape::RowMarks[0], 3);
  EXPECT_EQ(shape::RowMarks[32], 3);
  EXPECT_EQ(shape::RowMarks[16], 4);
  EXPECT_EQ(shape::ColumnMarks[0], 0);
}

TEST_F(MageTest, SameWidthEvensTheSelectedRings) {
  shape::TCS& cs = Shape(mage, shape::SCTYPE_CYLINDER, 9, 5);
  for (int r : {1, 2}) cs.SP[0][r] = cs.SP[4][r] = true;
  cs.CP[0][1] = {{0.25, 0, cs.CP[0][1][2]}};
  cs.CP[4][1] = {{-0.25, 0, cs.CP[4][1][2]}};
  shape::CountSelectedPoints(cs);
  ASSERT_TRUE(mage.CanSameWidth(cs));
  ASSERT_TRUE(mage.SameWidth(cs));
  EXPECT_NEAR(editor::Distance3D(cs.CP[0][1], cs.CP[4][1]), 1.0, 1e-9);
  EXPECT_NEAR(editor::Distance3D(cs.CP[0][2], cs.CP[4][2]), 1.0, 1e-9);
  cs.SP[0][2] = false;
  shape::CountSelectedPoints(cs);
  EXPECT_FALSE(mage.CanSameWidth(cs));
}
