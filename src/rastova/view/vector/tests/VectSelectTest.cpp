// Selection, hit testing and grips.
#include <gtest/gtest.h>

#include "rastova/view/vector/tests/VectTestTools.h"

using namespace rv;
using namespace rv::vecttest;

TEST_F(VectSelect, FindObjectAtTakesTheNearestTopmost) {
  TVectInWindow w(100, 100, 100, 100);
  TRastovaVect& v = *w.vect;
  TRVVObjRecord filled = Obj(v, rvkBOX, 10, 10, 50, 50);
  filled.BrushStyle = platform::bsSolid;
  const int32_t lower = v.AddNewObject(filled);
  filled.X1 = filled.Y1 = 30, filled.X2 = filled.Y2 = 70;
  const int32_t upper = v.AddNewObject(filled);
  double d = -1;
  EXPECT_EQ(v.FindObjectAt(40, 40, d, false), upper);
  EXPECT_EQ(d, 0);
  EXPECT_EQ(v.FindObjectAt(15, 15, d, false), lower);
  // No distance limit: the nearest object is found however far.
  EXPECT_EQ(v.FindObjectAt(95, 95, d, false), upper);
  EXPECT_GT(d, 30);
  // Hidden and (when asked) unselectable objects are skipped.
  v.GetObj(upper)->Style &= static_cast<TRVVStyle>(~rvvsSelectable);
  EXPECT_EQ(v.FindObjectAt(40, 40, d, true), lower);
  v.GetObj(upper)->Style = 0;
  EXPECT_EQ(v.FindObjectAt(40, 40, d, false), lower);
  v.GetObj(lower)->Style = 0;
  EXPECT_EQ(v.FindObjectAt(40, 40, d, false), kObjAll);
}

TEST_F(VectSelect, DistancePerKind) {
  TVectInWindow w(100, 100, 100, 100);
  TRastovaVect& v = *w.vect;
  TRVVObjRecord clear = Obj(v, rvkBOX, 10, 10, 50, 50);
  clear.BrushStyle = platform::bsClear;
  clear.PenWidth = 5;
  TRVVObjRecord line = Obj(v, rvkLINE, 0, 0, 100, 0);
  line.PenWidth = 6;
  const struct {
    const TRVVObjRecord* o;
    int32_t x, y;
    double d;
  } cases[] = {
      {&clear, 30, 30, 18},  // inside a clear box: only the outline counts
      {&clear, 12, 30, 0},   // within the pen's half width of the outline
      {&line, 50, 2, 0},     // a wide line: within half the pen
      {&line, 50, 10, 7},    // beyond it: the distance less half the pen
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.x * 1000 + c.y);
    EXPECT_NEAR(v.ObjectDistance(*c.o, c.x, c.y), c.d, 1e-9);
  }
  TRVVObjRecord none = Obj(v, rvkNONE, 0, 0, 1, 1);
  EXPECT_EQ(v.ObjectDistance(none, 0, 0), -1);
  // A bitmap with alpha is hit only on its opaque pixels.
  TRVBitmap b(4, 4, rv24RGB);
  b.AlphaBitmap()->Fill(0);
  b.SetAlpha(3, 3, 255);
  TRVVObjRecord bo = Obj(v, rvkBITMAP, 0, 0, 4, 4);
  const int32_t h = v.AddNewObject(bo);
  v.SetObjBitmap(h, &b);
  EXPECT_EQ(v.ObjectDistance(*v.GetObj(h), 0, 0), 1000);
  EXPECT_EQ(v.ObjectDistance(*v.GetObj(h), 3, 3), 0);
}

TEST_F(VectSelect, GripsAndTheirEdges) {
  TVectInWindow w(100, 100, 100, 100);
  TRastovaVect& v = *w.vect;
  EXPECT_TRUE(v.PointInGrip(50, 50, 45, 50));
  EXPECT_FALSE(v.PointInGrip(50, 50, 55, 50));
  EXPECT_FALSE(v.PointInGrip(50, 50, 50, 55));
  const int32_t box = v.AddNewObject(Obj(v, rvkBOX, 20, 20, 60, 40));
  v.AddSelObject(box);
  const struct {
    int32_t x, y, grip;
  } cases[] = {{20, 20, 1}, {60, 40, 2}, {40, 20, 8}, {60, 30, 7}, {20, 30, 6}, {60, 20, 4}, {20, 40, 5},
               {40, 40, 9}, {30, 20, 3}, {90, 90, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.x * 1000 + c.y);
    int32_t grip = -1;
    const int32_t pos = v.FindGrip(c.x, c.y, grip);
    EXPECT_EQ(grip, c.grip);
    EXPECT_EQ(pos, c.grip ? 0 : kNoGrip);
  }
  v.GetObj(box)->Style &= static_cast<TRVVStyle>(~rvvsSizeable);
  int32_t grip = 0;
  v.FindGrip(20, 20, grip);
  EXPECT_EQ(grip, 3);
  // A grip picture sets the grip size the first time a grip is drawn.
  platform::TBitmap pic(20, 12, platform::pf24bit);
  v.WriteObjGripImage(&pic);
  v.GripSize = 5;
  auto target = WhiteBitmap(100, 100);
  v.DrawSelectionGrips(target->Canvas());
  EXPECT_EQ(v.GripSize, 10);
}

TEST_F(VectSelect, ClickSelect) {
  TVectInWindow w(100, 100, 100, 100);
  TRastovaVect& v = *w.vect;
  TRVVObjRecord b = Obj(v, rvkBOX, 10, 10, 30, 30);
  b.BrushStyle = platform::bsSolid;
  const int32_t a = v.AddNewObject(b);
  b.X1 = b.Y1 = 60, b.X2 = b.Y2 = 80;
  const int32_t c = v.AddNewObject(b);
  std::vector<int32_t> selected, deselected;
  v.OnUserSelectObject = [&](TRastovaVect*, int32_t h) { selected.push_back(h); };
  v.OnUserDeselectObject = [&](TRastovaVect*, int32_t h) { deselected.push_back(h); };
  v.ClickSelect(false, 20, 20, false);
  v.ClickSelect(true, 70, 70, false);
  EXPECT_EQ(v.SelObjects, (std::vector<int32_t>{a, c}));
  EXPECT_EQ(selected, (std::vector<int32_t>{a, c}));
  // The nearest object is found however far: a click finds nothing only where no visible
  // object is. There Shift keeps the selection.
  auto hideAll = [&](TRVVStyle s) { v.GetObj(a)->Style = v.GetObj(c)->Style = s; };
  hideAll(rvvsSelectable);
  v.ClickSelect(true, 45, 5, false);
  EXPECT_EQ(v.SelObjectsCount(), 2);
  hideAll(15);
  // Shift on a selected object deselects it.
  v.ClickSelect(true, 20, 20, false);
  EXPECT_EQ(v.SelObjects, (std::vector<int32_t>{c}));
  EXPECT_EQ(deselected, (std::vector<int32_t>{a}));
  // A click on a selected object with selection on mouse-down waits for mouse-up.
  v.ClickSelect(false, 70, 70, true);
  EXPECT_TRUE(v.SelectPending);
  EXPECT_EQ(v.SelObjects, (std::vector<int32_t>{c}));
  // Empty space without Shift deselects every object.
  deselected.clear();
  hideAll(rvvsSelectable);
  v.ClickSelect(false, 45, 5, false);
  EXPECT_EQ(v.SelObjectsCount(), 0);
  EXPECT_EQ(deselected, (std::vector<int32_t>{c}));
}

TEST_F(VectSelect, SelectionListAndRectangle) {
  TVectInWindow w(100, 100, 100, 100);
  TRastovaVect& v = *w.vect;
  const int32_t line = v.AddNewObject(Obj(v, rvkLINE, 40, 40, 10, 10));
  const int32_t box = v.AddNewObject(Obj(v, rvkBOX, 50, 50, 90, 90));
  int fired = 0;
  v.OnSelectObject = [&](TRastovaVect*) { ++fired; };
  v.SelectObjectsInRect(kObjAll, 10, 10, 40, 40);
  EXPECT_EQ(v.SelObjects, (std::vector<int32_t>{line}));
  EXPECT_EQ(fired, 0);
  v.UnSelObject(box);  // not selected: nothing
  EXPECT_EQ(fired, 0);
  v.SetObjStyle(line, rvvsVisible);  // no longer selectable: leaves the selection
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(v.GetSelObjects(0), 0);
  EXPECT_EQ(v.GetSelObjects(-1), 0);
  v.AddSelObject(line);  // not selectable: not added, still fires
  EXPECT_EQ(v.SelObjectsCount(), 0);
  EXPECT_EQ(fired, 2);
}

TEST_F(VectSelect, FindObjectAtAgreesWithEveryDistance) {
  // Objects that cannot be nearer than the best so far are skipped: the answer must be the one
  // a walk over every distance gives.
  TVectInWindow w(200, 200, 200, 200);
  TRastovaVect& v = *w.vect;
  uint32_t seed = 12345;
  auto next = [&seed](int32_t n) {
    seed = seed * 1103515245u + 12345u;
    return int32_t((seed >> 8) % uint32_t(n));
  };
  const TRVVObjectKind kinds[] = {rvkLINE, rvkBOX, rvkELLIPSE, rvkARC, rvkTEXT, rvkRULER, rvkANGLE};
  for (int i = 0; i < 300; ++i) {
    TRVVObjRecord o = Obj(v, kinds[i % 7], next(180), next(180), 0, 0);
    o.X2 = o.X1 + next(40) - (i % 3 == 0 ? 20 : 0), o.Y2 = o.Y1 + next(40);
    o.PenWidth = 1 + next(12);
    o.BrushStyle = i % 2 ? platform::bsSolid : platform::bsClear;
    o.AnglePoints[0] = {next(200), next(200)}, o.AnglePoints[1] = {next(200), next(200)};
    o.AnglePoints[2] = {next(200), next(200)};
    v.AddNewObject(o);
  }
  for (int q = 0; q < 200; ++q) {
    const int32_t x = next(260) - 30, y = next(260) - 30;
    double best = 2147483647.0;
    int32_t expect = kObjAll;
    for (auto it = v.ObjectOrder.rbegin(); it != v.ObjectOrder.rend(); ++it) {
      const double d = v.ObjectDistance(*v.GetObj(*it), x, y);
      if (d < best) best = d, expect = *it;
    }
    double d = 0;
    ASSERT_EQ(v.FindObjectAt(x, y, d, false), expect) << x << "," << y;
    EXPECT_EQ(d, best);
  }
}
