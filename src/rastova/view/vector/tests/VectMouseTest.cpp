// Insertion and mouse editing of the vector layer, driven through its mouse handlers.
#include <gtest/gtest.h>

#include "rastova/view/vector/tests/VectTestTools.h"

namespace rv::vecttest {
namespace {

class VectMouse : public viewtest::ViewLibraryTest {};
using platform::mbLeft;
using platform::TShiftState;

constexpr TRVVStyle kAll = rvvsSelectable | rvvsMoveable | rvvsSizeable | rvvsVisible;

void Drag(TRastovaVect& v, int x0, int y0, int x1, int y1, TShiftState s = {}) {
  v.MouseDown(mbLeft, s, x0, y0);
  if (x1 != x0 || y1 != y0) v.MouseMove(s, x1, y1);
  v.MouseUp(mbLeft, s, x1, y1);
}

TEST_F(VectMouse, ClickInsertsATemplateSizedBoxUnlessNoClickInsert) {
  TVectInWindow w(200, 200, 150, 150);
  TRastovaVect& v = *w.vect;
  v.NewObjectTemplate.Style = kAll;
  v.NewObjectTemplate.X1 = 0, v.NewObjectTemplate.Y1 = 0, v.NewObjectTemplate.X2 = 64, v.NewObjectTemplate.Y2 = 64;
  v.ObjectInteract = rvoiInsertBox;
  Drag(v, 20, 30, 20, 30);
  ASSERT_EQ(v.ObjectsCount(), 1);
  const TRVVObjRecord& o = v.Objects[0];
  EXPECT_EQ(o.Kind, rvkBOX);
  EXPECT_EQ((std::array{o.X1, o.Y1, o.X2, o.Y2}), (std::array{20, 30, 84, 94}));
  EXPECT_EQ(v.SelObjectsCount(), 1);
  v.ObjectInteract = rvoiInsertBox | rvoiNoClickInsert;
  Drag(v, 50, 50, 50, 50);
  EXPECT_EQ(v.ObjectsCount(), 1);
  Drag(v, 50, 50, 70, 60);
  ASSERT_EQ(v.ObjectsCount(), 2);
  EXPECT_EQ((std::array{v.Objects[1].X1, v.Objects[1].Y1, v.Objects[1].X2, v.Objects[1].Y2}),
            (std::array{50, 50, 70, 60}));
}

TEST_F(VectMouse, CtrlDragsASquare) {
  TVectInWindow w(200, 200, 150, 150);
  TRastovaVect& v = *w.vect;
  v.NewObjectTemplate.Style = kAll;
  v.ObjectInteract = rvoiInsertBox;
  // From (50, 50): the larger offset decides the side, its sign the direction.
  const struct {
    int x, y, ex, ey;
  } cases[] = {{80, 65, 80, 80}, {65, 80, 80, 80}, {30, 65, 30, 30}};
  for (const auto& c : cases) {
    v.MouseDown(mbLeft, platform::ssCtrl, 50, 50);
    v.MouseMove(platform::ssCtrl, c.x, c.y);
    EXPECT_EQ(v.InsertX, c.ex) << c.x << "," << c.y;
    EXPECT_EQ(v.InsertY, c.ey) << c.x << "," << c.y;
    v.MouseUp(mbLeft, platform::ssCtrl, c.x, c.y);
  }
  EXPECT_EQ(v.ObjectsCount(), 3);
}

TEST_F(VectMouse, GripDragsMoveAndResizeAndKeepTheirUndoEntry) {
  TVectInWindow w(200, 200, 150, 150);
  TRastovaVect& v = *w.vect;
  TRVVObjRecord b = Obj(v, rvkBOX, 20, 20, 60, 40);
  b.Style = kAll;
  b.BrushStyle = platform::bsSolid;  // filled: the inside takes the object
  v.AddNewObject(b);
  v.ObjectInteract = rvoiEditObjects;
  v.ObjAutoUndo = true;
  // A click on the object selects it and changes nothing: the entry is dropped.
  Drag(v, 40, 30, 40, 30);
  EXPECT_EQ(v.SelObjectsCount(), 1);
  EXPECT_TRUE(v.ObjUndoList.empty());
  // Inside the box: grip 3 moves; OnObjectMoveResize confines it to vertical movement.
  v.OnObjectMoveResize = [](TRastovaVect*, int32_t, int32_t, int32_t& dx, int32_t&) { dx = 0; };
  Drag(v, 40, 30, 50, 45);
  EXPECT_EQ((std::array{v.Objects[0].X1, v.Objects[0].Y1, v.Objects[0].X2, v.Objects[0].Y2}),
            (std::array{20, 35, 60, 55}));
  EXPECT_EQ(v.ObjUndoList.size(), 1u);
  v.OnObjectMoveResize = nullptr;
  // The bottom-right corner (grip 2) past the top-left: mouse-up orders the corners.
  Drag(v, 60, 55, 10, 25);
  EXPECT_EQ((std::array{v.Objects[0].X1, v.Objects[0].Y1, v.Objects[0].X2, v.Objects[0].Y2}),
            (std::array{10, 25, 20, 35}));
}

TEST_F(VectMouse, ResizeKeepsTheDownRatioAndAngleBounds) {
  TVectInWindow w(100, 100, 100, 100);
  TRastovaVect& v = *w.vect;
  v.AddNewObject(Obj(v, rvkBOX, 0, 0, 40, 20));
  TRVVObjRecord& o = v.Objects[0];
  std::copy_n(std::array{0, 0, 40, 20}.data(), 4, o.DownRect);
  v.ResizeObject(0, 0, 0, 20, 0, true, 2);  // width 60 drives the height to 30
  EXPECT_EQ((std::array{o.X1, o.Y1, o.X2, o.Y2}), (std::array{0, 0, 60, 30}));
  v.ResizeObject(0, 0, 0, 0, 10, true, 9);  // height 40 drives the width to 80
  EXPECT_EQ((std::array{o.X1, o.Y1, o.X2, o.Y2}), (std::array{0, 0, 80, 40}));
  std::copy_n(std::array{0, 0, 0, 20}.data(), 4, o.DownRect);  // zero width: the ratio is not used
  v.ResizeObject(0, 0, 0, 5, 0, true, 2);
  EXPECT_EQ(o.Y2, 40);
  const TRVPoint pts[3] = {{10, 30}, {20, 20}, {40, 25}};
  const platform::TRect r = TRastovaVect::AngleBounds(pts);
  EXPECT_EQ((std::array{r.Left, r.Top, r.Right, r.Bottom}), (std::array{0, 10, 40, 30}));
}

}  // namespace
}  // namespace rv::vecttest
