// Insertion and mouse editing of the vector layer, driven through its mouse handlers.
#include <gtest/gtest.h>

#include <QTest>
#include <string>
#include <vector>

#include "rastova/core/RastovaProc.h"
#include "rastova/view/vector/RVVectStreams.h"
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

// A poly-line record through the points (bitmap pixels), unscaled.
int32_t AddPolyline(TRastovaVect& v, std::initializer_list<TRVPoint> pts) {
  TRVVObjRecord o = Obj(v, rvkPOLYLINE, 1000000, 1000000, -1000000, -1000000);
  o.Style = kAll;
  const int32_t h = v.AddNewObject(o);
  for (const TRVPoint& p : pts) v.AddPolylinePoint(h, p.x, p.y);
  return h;
}

using TPts = std::vector<std::pair<int32_t, int32_t>>;

// The poly-line's points in bitmap pixels.
TPts PolyPoints(TRastovaVect& v, int32_t h) {
  TPts out;
  for (int32_t i = 0; i < v.GetObjPolylinePointsCount(h); ++i) {
    platform::TPoint p;
    v.GetObjPolylinePoints(h, i, p);
    out.emplace_back(p.X, p.Y);
  }
  return out;
}

TEST_F(VectMouse, AngleTakesThreeClicksAndIgnoresDoubleClicks) {
  TVectInWindow w(200, 200, 150, 150);
  TRastovaVect& v = *w.vect;
  v.ObjectInteract = rvoiInsertAngle;
  std::vector<int32_t> made;
  v.OnNewObject = [&](TRastovaVect*, int32_t h) { made.push_back(h); };
  Drag(v, 20, 60, 20, 60);
  ASSERT_EQ(v.ObjectsCount(), 1);
  EXPECT_EQ(v.Inserting, rvkANGLE);
  // The double-click of a first click neither places a point nor ends the angle.
  v.MouseDown(mbLeft, platform::ssDouble, 20, 60);
  v.MouseUp(mbLeft, {}, 20, 60);
  EXPECT_EQ(v.Objects[0].AnglePoints[1].x, kAnglePointUnset);
  // Ctrl snaps the vertex onto the horizontal through the first point.
  Drag(v, 90, 65, 90, 65, platform::ssCtrl);
  EXPECT_TRUE(made.empty());
  Drag(v, 70, 20, 70, 20);
  const TRVVObjRecord& o = v.Objects[0];
  EXPECT_EQ(o.Kind, rvkANGLE);
  EXPECT_EQ((std::array{o.AnglePoints[0].x, o.AnglePoints[0].y, o.AnglePoints[1].x, o.AnglePoints[1].y,
                        o.AnglePoints[2].x, o.AnglePoints[2].y}),
            (std::array{20, 60, 90, 60, 70, 20}));
  const platform::TRect r = TRastovaVect::AngleBounds(o.AnglePoints);
  EXPECT_EQ((std::array{o.X1, o.Y1, o.X2, o.Y2}), (std::array{r.Left, r.Top, r.Right, r.Bottom}));
  EXPECT_EQ(v.Inserting, rvkNONE);
  EXPECT_EQ(made, std::vector<int32_t>{0});
  EXPECT_EQ(v.SelObjects, std::vector<int32_t>{0});
  EXPECT_EQ(v.ObjectsCount(), 1);
}

TEST_F(VectMouse, PolylineByClicksAndHeldButtonEndsOnDoubleClickKeepingItsUndo) {
  TVectInWindow w(200, 200, 150, 150);
  TRastovaVect& v = *w.vect;
  v.ObjectInteract = rvoiInsertPolyline;
  v.ObjAutoUndo = true;
  // Clicks through the window's own mouse events.
  QTest::mouseClick(&v, Qt::LeftButton, {}, QPoint(10, 10));
  QTest::mouseClick(&v, Qt::LeftButton, {}, QPoint(50, 10));
  // Releasing a held button adds the points it went through and does not end the poly-line.
  v.MouseDown(mbLeft, {}, 50, 40);
  v.MouseMove({}, 60, 45);
  v.MouseMove({}, 70, 50);
  v.MouseUp(mbLeft, {}, 70, 50);
  EXPECT_EQ(v.Inserting, rvkPOLYLINE);
  QTest::mouseDClick(&v, Qt::LeftButton, {}, QPoint(90, 90));
  EXPECT_EQ(v.Inserting, rvkNONE);
  ASSERT_EQ(v.ObjectsCount(), 1);
  EXPECT_EQ(PolyPoints(v, 0), (TPts{{10, 10}, {50, 10}, {50, 40}, {60, 45}, {70, 50}, {90, 90}}));
  EXPECT_EQ(v.SelObjects, std::vector<int32_t>{0});
  EXPECT_EQ(v.ObjUndoList.size(), 1u);
  // The next click starts a new poly-line.
  QTest::mouseClick(&v, Qt::LeftButton, {}, QPoint(100, 20));
  EXPECT_EQ(v.ObjectsCount(), 2);
}

TEST_F(VectMouse, PolylinePointsAreMovedInsertedAndDeleted) {
  TVectInWindow w(200, 200, 150, 150);
  TRastovaVect& v = *w.vect;
  const int32_t h = AddPolyline(v, {{20, 20}, {80, 20}, {80, 80}});
  v.AddSelObject(h);
  v.ObjectInteract = rvoiEditPolylinePoints;
  v.ObjAutoUndo = true;
  int changed = 0;
  v.OnVectorialChanged = [&](TRastovaVect*) { ++changed; };
  auto points = [&] { return PolyPoints(v, h); };
  w.Paint();  // the drawn points are what the pointer hits
  // Hover: a point, a point with Ctrl (delete), a segment.
  const struct {
    int x, y;
    TShiftState s;
    platform::TCursor cursor;
  } hovers[] = {{80, 21, {}, 1790}, {80, 21, platform::ssCtrl, 1792}, {50, 20, {}, 1791}};
  for (const auto& c : hovers) {
    v.MouseMove(c.s, c.x, c.y);
    EXPECT_EQ(v.ReadCursor(), c.cursor) << c.x << "," << c.y;
  }
  // Ctrl-click on a point of three deletes it, and the gesture keeps its undo entry.
  Drag(v, 80, 20, 80, 20, platform::ssCtrl);
  EXPECT_EQ(points(), (TPts{{20, 20}, {80, 80}}));
  EXPECT_EQ(v.ObjUndoList.size(), 1u);
  EXPECT_EQ(changed, 1);
  w.Paint();
  // Never below two points.
  Drag(v, 20, 20, 20, 20, platform::ssCtrl);
  EXPECT_EQ(points(), (TPts{{20, 20}, {80, 80}}));
  // A click on a segment puts a point there.
  Drag(v, 50, 50, 50, 50);
  EXPECT_EQ(points(), (TPts{{20, 20}, {50, 50}, {80, 80}}));
  w.Paint();
  // A dragged point follows the pointer; the box follows the points.
  Drag(v, 50, 50, 30, 90);
  EXPECT_EQ(points(), (TPts{{20, 20}, {30, 90}, {80, 80}}));
  const TRVVObjRecord& o = v.Objects[size_t(h)];
  EXPECT_EQ((std::array{o.X1, o.Y1, o.X2, o.Y2}), (std::array{20, 20, 80, 90}));
  EXPECT_EQ(changed, 3);
  // A point taken by that gesture is not deleted by a Ctrl-click of another mode.
  v.ObjectInteract = rvoiEditObjects;
  Drag(v, 30, 90, 30, 90, platform::ssCtrl);
  EXPECT_EQ(v.GetObjPolylinePointsCount(h), 3);
}

TEST_F(VectMouse, ADraggedPointOfAResizedPolylineStaysUnderThePointer) {
  TVectInWindow w(200, 200, 150, 150);
  TRastovaVect& v = *w.vect;
  const int32_t h = AddPolyline(v, {{10, 10}, {30, 10}, {30, 30}});
  // Drawn twice as large: the base space keeps the points, the box doubles.
  v.Objects[size_t(h)].X2 = 50, v.Objects[size_t(h)].Y2 = 50;
  v.AddSelObject(h);
  v.ObjectInteract = rvoiEditPolylinePoints;
  w.Paint();
  Drag(v, 50, 10, 70, 30);
  EXPECT_EQ(PolyPoints(v, h), (TPts{{10, 10}, {70, 30}, {50, 50}}));
  // A new point on a segment lands at the click.
  w.Paint();
  Drag(v, 40, 20, 40, 20);
  EXPECT_EQ(PolyPoints(v, h), (TPts{{10, 10}, {40, 20}, {70, 30}, {50, 50}}));
}

TEST_F(VectMouse, RubberBandSelectsTheObjectsInside) {
  TVectInWindow w(200, 200, 150, 150);
  TRastovaVect& v = *w.vect;
  for (const auto& b : {std::array{10, 10, 30, 30}, std::array{40, 40, 60, 60}, std::array{100, 100, 120, 120}}) {
    TRVVObjRecord o = Obj(v, rvkBOX, b[0], b[1], b[2], b[3]);
    o.Style = kAll;
    v.AddNewObject(o);
  }
  v.ObjectInteract = rvoiEditObjects;
  v.ObjAutoUndo = true;
  v.SelectOnMouseDown = false;  // a press would select the nearest object, however far
  Drag(v, 2, 2, 70, 70);
  EXPECT_EQ(v.SelObjects, (std::vector<int32_t>{0, 1}));
  // With Shift a second band adds to the selection, without it the band replaces it.
  Drag(v, 90, 145, 130, 90, platform::ssShift);
  EXPECT_EQ(v.SelObjects, (std::vector<int32_t>{0, 1, 2}));
  Drag(v, 65, 65, 35, 35);
  EXPECT_EQ(v.SelObjects, (std::vector<int32_t>{1}));
  // Selecting changes no object: no undo entry stays.
  EXPECT_TRUE(v.ObjUndoList.empty());
}

TEST_F(VectMouse, RubberOutlinesComeAndGoWithoutATrace) {
  TVectInWindow w(200, 200, 150, 150);
  TRastovaVect& v = *w.vect;
  TRVVObjRecord b = Obj(v, rvkBOX, 20, 20, 100, 100);
  b.BrushStyle = platform::bsSolid;
  b.BrushColor = 0x3080C0;
  v.AddNewObject(b);
  w.Paint();
  const QImage before = v.Surface().Image().copy();
  v.FDownInImageX = 10, v.FDownInImageY = 15;
  v.InsertX = 120, v.InsertY = 90;
  using TDraw = void (TRastovaVect::*)(bool);
  for (TDraw draw : {&TRastovaVect::DrawRubberLine, &TRastovaVect::DrawRubberBox, &TRastovaVect::DrawRubberEllipse}) {
    // The NOT pen: drawing again restores every pixel.
    (v.*draw)(false);
    const QImage shown = v.Surface().Image().copy();
    EXPECT_NE(shown, before);
    // A repaint of a part of the window copies the back buffer over it; the outline is put back.
    v.InvalidateRect(platform::Rect(0, 0, 60, 200));
    w.Paint();
    EXPECT_EQ(v.Surface().Image(), shown);
    // Two apart: the view copies the box around them.
    v.InvalidateRect(platform::Rect(0, 0, 30, 30));
    v.InvalidateRect(platform::Rect(100, 80, 140, 120));
    w.Paint();
    EXPECT_EQ(v.Surface().Image(), shown);
    (v.*draw)(true);
    EXPECT_EQ(v.Surface().Image(), before);
  }
  // Another pen mode: erasing copies the back buffer back.
  v.RubberPen.Mode = platform::pmCopy;
  v.RubberPen.Color = platform::clRed;
  v.DrawRubberBox(false);
  EXPECT_EQ(v.Surface().PixelColor(10, 50) & 0xFFFFFF, platform::clRed);
  v.DrawRubberBox(true);
  EXPECT_EQ(v.Surface().Image(), before);
}

TEST_F(VectMouse, DraggingABoxLeavesOnlyTheObject) {
  TVectInWindow w(200, 200, 150, 150);
  TRastovaVect& v = *w.vect;
  v.NewObjectTemplate.Style = kAll;
  v.NewObjectTemplate.PenColor = 0;
  v.ObjectInteract = rvoiInsertBox;
  w.Paint();
  v.MouseDown(mbLeft, {}, 20, 20);
  v.MouseMove({}, 60, 50);
  EXPECT_EQ(v.Surface().PixelColor(40, 20) & 0xFFFFFF, 0u);  // the outline, white inverted
  v.MouseMove({}, 80, 40);
  EXPECT_EQ(v.Surface().PixelColor(40, 50) & 0xFFFFFF, 0xFFFFFFu);  // the old bottom side is gone
  v.MouseUp(mbLeft, {}, 80, 40);
  w.Paint();
  // Below the box and its grips the picture is white again.
  EXPECT_EQ(NonWhite(v.Surface(), 0, 47, 150, 150), 0);
  EXPECT_GT(NonWhite(v.Surface(), 0, 0, 150, 41), 0);
}

TEST_F(VectMouse, TheViewsMouseInteractTakesTheLeftButton) {
  TVectInWindow w(200, 200, 150, 150);
  TRastovaVect& v = *w.vect;
  v.ObjectInteract = 0x1FFFF;
  v.Inserting = rvkBOX;
  v.WriteMouseInteract(0);
  EXPECT_EQ(v.ObjectInteract, 0x1FFFFu);  // an empty value leaves the bits
  EXPECT_EQ(v.Inserting, rvkNONE);
  v.WriteMouseInteract(MouseInteractOf({miSelect}));
  EXPECT_EQ(v.ObjectInteract, rvoiMeasureArea | rvoiMeasureLength | rvoiNoClickInsert);
  EXPECT_EQ(v.MouseInteract(), MouseInteractOf({miSelect}));
}

TEST_F(VectMouse, SharedUndoDropsTheGesturesObjectEntry) {
  TVectInWindow w(200, 200, 150, 150);
  TRastovaVect& v = *w.vect;
  TRVVObjRecord b = Obj(v, rvkBOX, 20, 20, 60, 60);
  b.Style = kAll;
  b.BrushStyle = platform::bsSolid;
  v.AddNewObject(b);
  v.ObjectInteract = rvoiEditObjects;
  v.ObjAutoUndo = true;
  v.ObjUndoMode = rvumShared;
  TRastovaProc& proc = *v.GetProc();
  proc.SetUndoLimit(10);
  proc.SaveUndo(rvuObject);  // older entries, which stay
  proc.SaveUndo(rvuImage);
  // A handler stores an image step after the gesture's entry: the walk passes over it.
  v.OnObjectClick = [&](TRastovaVect*, int32_t) { proc.SaveUndo(rvuImage); };
  Drag(v, 40, 40, 40, 40);
  ASSERT_EQ(proc.GetUndoCount(), 3);
  EXPECT_EQ((std::array{proc.GetUndoSourceAt(0), proc.GetUndoSourceAt(1), proc.GetUndoSourceAt(2)}),
            (std::array{rvuObject, rvuImage, rvuImage}));
  EXPECT_TRUE(v.ObjUndoList.empty());
  // A gesture that moved the box keeps its entry.
  v.OnObjectClick = nullptr;
  Drag(v, 40, 40, 50, 45);
  ASSERT_EQ(proc.GetUndoCount(), 4);
  EXPECT_EQ(proc.GetUndoSourceAt(3), rvuObject);
}

// An extended object that notes the mouse operations it receives.
class TNotingObject : public TRVExtendedObject {
 public:
  explicit TNotingObject(std::vector<std::string>& Log) : log(Log) {}
  void MouseDown(platform::TMouseButton, TShiftState, int32_t, int32_t) override { log.push_back("down"); }
  void MouseUp(platform::TMouseButton, TShiftState, int32_t, int32_t) override { log.push_back("up"); }
  void MouseMove(TShiftState, int32_t X, int32_t Y) override {
    log.push_back("move " + std::to_string(X) + "," + std::to_string(Y));
  }
  void MouseEnter() override { log.push_back("enter"); }
  void MouseLeave() override { log.push_back("leave"); }
  std::vector<std::string>& log;
};

TEST_F(VectMouse, ExtendedObjectsHearThePointer) {
  TVectInWindow w(200, 200, 150, 150);
  TRastovaVect& v = *w.vect;
  TRVVObjRecord e = Obj(v, rvkEXTENDED, 20, 20, 60, 60);
  e.Style = kAll;
  const int32_t h = v.AddNewObject(e);
  std::vector<std::string> log;
  v.Objects[size_t(h)].ExtendedObject = new TNotingObject(log);  // the record owns it
  v.ObjectInteract = rvoiEditObjects;
  v.MouseMove({}, 40, 40);
  v.MouseMove({}, 45, 41);
  v.MouseMove({}, 100, 100);
  v.MouseMove({}, 110, 100);
  v.MouseDown(mbLeft, {}, 30, 30);
  v.MouseUp(mbLeft, {}, 30, 30);
  EXPECT_EQ(log, (std::vector<std::string>{"enter", "move 40,40", "move 45,41", "leave", "down", "up"}));
  EXPECT_EQ(v.ObjectUnderMouse, -1);
}

TEST_F(VectMouse, HoverCursorsFollowTheGrips) {
  TVectInWindow w(200, 200, 150, 150);
  TRastovaVect& v = *w.vect;
  TRVVObjRecord b = Obj(v, rvkBOX, 20, 20, 80, 60);
  b.Style = kAll;
  v.AddNewObject(b);
  v.AddSelObject(0);
  v.ObjectInteract = rvoiEditObjects;
  const struct {
    int x, y;
    platform::TCursor cursor;
  } cases[] = {{20, 20, 1786}, {80, 60, 1786}, {80, 20, 1788}, {80, 40, 1789}, {50, 60, 1787},
               {50, 40, v.FUserCursor}, {20, 30, 1790}};
  for (const auto& c : cases) {
    v.MouseMove({}, c.x, c.y);
    EXPECT_EQ(v.ReadCursor(), c.cursor) << c.x << "," << c.y;
  }
}

TEST_F(VectMouse, TextsOpenTheirEditorOnInsertionAndDoubleClick) {
  TVectInWindow w(200, 200, 150, 150);
  TRastovaVect& v = *w.vect;
  v.NewObjectTemplate.Style = kAll;
  v.ObjectInteract = rvoiInsertText;
  Drag(v, 10, 10, 90, 40);
  ASSERT_EQ(v.ObjectsCount(), 1);
  EXPECT_EQ(v.EditingObject, 0);
  // The next press ends the editing; a box is selected, the text double-clicked.
  v.ObjectInteract = rvoiEditObjects;
  TRVVObjRecord b = Obj(v, rvkBOX, 100, 100, 140, 140);
  b.Style = kAll;
  v.AddNewObject(b);
  Drag(v, 100, 100, 100, 100);
  EXPECT_EQ(v.EditingObject, -1);
  EXPECT_EQ(v.SelObjects, std::vector<int32_t>{1});
  std::vector<std::string> events;
  v.OnObjectDblClick = [&](TRastovaVect*, int32_t h) { events.push_back("dbl " + std::to_string(h)); };
  v.OnUserDeselectObject = [&](TRastovaVect*, int32_t h) { events.push_back("deselect " + std::to_string(h)); };
  v.OnUserSelectObject = [&](TRastovaVect*, int32_t h) { events.push_back("select " + std::to_string(h)); };
  v.MouseDown(mbLeft, platform::ssDouble, 50, 25);
  v.MouseUp(mbLeft, {}, 50, 25);
  EXPECT_EQ(v.EditingObject, 0);
  EXPECT_EQ(v.SelObjects, std::vector<int32_t>{0});
  EXPECT_EQ(events, (std::vector<std::string>{"dbl 0", "deselect 1", "select 0"}));
}

TEST_F(VectMouse, DragLengthMeasuresWithoutMakingAnObject) {
  TVectInWindow w(200, 200, 150, 150);
  TRastovaVect& v = *w.vect;
  v.NewObjectTemplate.Style = kAll;
  v.ObjectInteract = rvoiDragLength;
  std::vector<double> ends;
  v.OnDragLenEnd = [&](TRastovaVect*, double len) { ends.push_back(len); };
  v.MouseDown(mbLeft, {}, 10, 10);
  // The measured line follows the pointer beyond the picture.
  v.MouseMove({}, 180, 10);
  EXPECT_EQ(v.InsertX, 180);
  EXPECT_TRUE(v.HintVisible);
  v.MouseMove({}, 40, 50);
  v.MouseUp(mbLeft, {}, 40, 50);
  EXPECT_EQ(v.ObjectsCount(), 0);
  EXPECT_FALSE(v.HintVisible);
  ASSERT_EQ(ends.size(), 1u);
  EXPECT_NEAR(ends[0], 50, 2);
}

}  // namespace
}  // namespace rv::vecttest
