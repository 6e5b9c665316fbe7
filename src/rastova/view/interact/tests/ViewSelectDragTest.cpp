// Selections drawn with the mouse: polygons ended by a double click, lassos, rectangles kept
// inside the picture, circles and ellipses point by point, and selections a zoom click or a zoom
// rectangle leave behind; and the bounds of a polygon record as its points come and go.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <cmath>
#include <vector>

#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/view/core/RastovaView.h"
#include "rastova/view/tests/ViewTestTools.h"

namespace rv {
namespace {

class ViewSelectDrag : public viewtest::ViewLibraryTest {};

void SendPointer(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held,
                 Qt::KeyboardModifiers mods) {
  QMouseEvent e(type, QPointF(p), w->mapToGlobal(QPointF(p)), button, held, mods);
  QApplication::sendEvent(w, &e);
}
void PointerDown(QWidget* w, QPoint p, Qt::KeyboardModifiers m = {}) {
  SendPointer(w, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton, m);
}
void PointerDrag(QWidget* w, QPoint p, Qt::KeyboardModifiers m = {}) {
  SendPointer(w, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton, m);
}
void PointerUp(QWidget* w, QPoint p, Qt::KeyboardModifiers m = {}) {
  SendPointer(w, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton, m);
}
void PointerClick(QWidget* w, QPoint p) {
  PointerDown(w, p);
  PointerUp(w, p);
}
// The window system's double click: a click, then a second press reported as a double click.
void PointerDoubleClick(QWidget* w, QPoint p) {
  PointerClick(w, p);
  SendPointer(w, QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton, {});
  PointerUp(w, p);
}

std::vector<TRVPoint> PolygonOf(TRastovaView& v) {
  std::vector<TRVPoint> out;
  for (int32_t i = 0; i < v.GetPolySelCount(); ++i) out.push_back(v.GetPolySel(i));
  return out;
}

TEST_F(ViewSelectDrag, PolygonBoundsFollowThePointsWhateverChangedThem) {
  // The second point (separators not counted) sets the bounds from the first two, later ones
  // widen them: also after points were taken away or the record was emptied in between.
  viewtest::TViewInWindow w{60, 60};
  w.SetPicture(60, 60);
  TRastovaView& v = *w.view;
  TRVSelectionPolygon* r = v.FSelectionPolygon;
  auto bounds = [&] { return std::vector<int32_t>{r->X1, r->Y1, r->X2, r->Y2}; };
  v.AddPolygonPoint(r, 10, 10);
  v.AddPolygonPoint(r, 30, 5);
  EXPECT_EQ(bounds(), (std::vector<int32_t>{10, 5, 30, 10}));
  v.RemoveLastPoint(r);
  v.AddPolygonPoint(r, 2, 40);  // the second point again
  EXPECT_EQ(bounds(), (std::vector<int32_t>{2, 10, 10, 40}));
  v.AddPolygonBreak(r);
  v.AddPolygonPoint(r, 50, 50);
  EXPECT_EQ(bounds(), (std::vector<int32_t>{2, 10, 50, 50}));
  v.ClearPolygon(r);
  v.AddPolygonBreak(r);
  v.AddPolygonPoint(r, 7, 7);
  v.AddPolygonPoint(r, 9, 3);
  EXPECT_EQ(bounds(), (std::vector<int32_t>{7, 3, 9, 7}));
  // A record read back from a stream counts its own points, even when it is as long as the one
  // it replaces: here two points after one point and a separator.
  v.ClearPolygon(r);
  v.AddPolygonPoint(r, 7, 7);
  v.AddPolygonPoint(r, 20, 3);
  v.AddPolygonPoint(r, 9, 20);
  v.ApplySelectionPolygon();
  v.RemoveLastPoint(r);
  TMemoryStream saved;
  v.SaveSelectionToStream(saved);
  v.ClearPolygon(r);
  v.AddPolygonPoint(r, 1, 1);
  v.AddPolygonBreak(r);
  saved.SetPosition(0);
  ASSERT_TRUE(v.LoadSelectionFromStream(saved, 0));
  ASSERT_EQ(v.GetPolySelCount(), 2);
  v.AddPolygonPoint(r, 30, 1);  // the third point: widens
  EXPECT_EQ(bounds(), (std::vector<int32_t>{7, 1, 30, 20}));
}

TEST_F(ViewSelectDrag, ADoubleClickEndsAPolygon) {
  viewtest::TViewInWindow w{100, 100};
  w.SetPicture(100, 100);
  w.Paint();
  TRastovaView& v = *w.view;
  v.WriteMouseInteract(MouseInteractOf({miSelectPolygon}));
  PointerClick(&v, {20, 20});
  PointerClick(&v, {80, 20});
  PointerClick(&v, {80, 80});
  EXPECT_TRUE(v.FPolySelecting);
  bool changed = false;
  v.FOnSelectionChange = [&](TRastovaView*) { changed = true; };
  PointerDoubleClick(&v, {20, 80});
  // The double click's own point is taken once, and the polygon is closed into the mask.
  EXPECT_FALSE(v.FPolySelecting);
  EXPECT_TRUE(changed);
  const std::vector<TRVPoint> want{{20, 20}, {80, 20}, {80, 80}, {20, 80}};
  const std::vector<TRVPoint> got = PolygonOf(v);
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got[i].x, want[i].x) << i;
    EXPECT_EQ(got[i].y, want[i].y) << i;
  }
  EXPECT_TRUE(v.FSelected);
  EXPECT_TRUE(v.FSelectionMask->IsPointInside(50, 50));
  EXPECT_FALSE(v.FSelectionMask->IsPointInside(90, 50));
}

TEST_F(ViewSelectDrag, ALassoFollowsThePointerAndAClickRemovesIt) {
  viewtest::TViewInWindow w{100, 100};
  w.SetPicture(50, 50);
  w.view->WriteCenter(false);
  w.view->SetZoom(200);
  w.Paint();
  TRastovaView& v = *w.view;
  v.WriteMouseInteract(MouseInteractOf({miSelectLasso}));
  PointerDown(&v, {20, 20});
  EXPECT_TRUE(v.FPolySelecting);
  EXPECT_TRUE(v.FLassoSelecting);
  PointerDrag(&v, {60, 20});
  PointerDrag(&v, {60, 60});
  PointerDrag(&v, {20, 60});
  // Every point in the picture's pixels (half the view's at 200 %).
  const std::vector<TRVPoint> got = PolygonOf(v);
  const std::vector<TRVPoint> want{{10, 10}, {30, 10}, {30, 30}, {10, 30}};
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) EXPECT_TRUE(got[i].x == want[i].x && got[i].y == want[i].y) << i;
  PointerUp(&v, {20, 60});
  EXPECT_FALSE(v.FPolySelecting);
  EXPECT_FALSE(v.FLassoSelecting);
  EXPECT_TRUE(v.FSelectionMask->IsPointInside(20, 20));
  EXPECT_FALSE(v.FSelectionMask->IsPointInside(40, 40));
  // A click outside the selection, without moving, removes it.
  PointerClick(&v, {90, 90});
  EXPECT_FALSE(v.FSelected);
  EXPECT_EQ(v.GetPolySelCount(), 0);
  EXPECT_FALSE(v.FPolySelecting);
}

TEST_F(ViewSelectDrag, RectangleDragsAreShiftedInsideOnlyWhenNotSizeable) {
  // A box dragged from column 80 past the right edge of a 100 x 100 picture at 100 % (the
  // pointer is taken one pixel past the picture, 101): cut at the edge (X2 exclusive, 100) when
  // the selection is sizeable, else shifted back inside keeping its width of 21 (78 .. 99).
  struct Case {
    TRVSelectionOptions options;
    int32_t left, right;
  } const cases[] = {
      {SelectionOption(rvsoSizeable) | SelectionOption(rvsoCutBorders), 80, 100},
      {SelectionOption(rvsoSizeable), 80, 100},
      {SelectionOption(rvsoCutBorders), 78, 99},
      {0, 78, 99},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    viewtest::TViewInWindow w{100, 100};
    w.SetPicture(100, 100);
    w.Paint();
    TRastovaView& v = *w.view;
    v.WriteMouseInteract(MouseInteractOf({miSelect}));
    v.WriteSelectionOptions(c.options);
    PointerDown(&v, {80, 20});
    PointerDrag(&v, {120, 40});
    ASSERT_EQ(v.GetPolySelCount(), 4);
    EXPECT_EQ(v.GetPolySel(0).x, c.left);
    EXPECT_EQ(v.GetPolySel(1).x, c.right);
    EXPECT_EQ(v.GetPolySel(2).y, 40);
    PointerUp(&v, {120, 40});
  }
}

TEST_F(ViewSelectDrag, ANavigatorRectangleStaysWholeAtThePictureEdge) {
  // The navigator fits a 400 x 400 picture at 50 %; its rectangle is the main view's 100 x 100
  // visible pixels, fixed in size and not sizeable. Pressed near the right edge it is moved
  // back inside at its full size (98 picture pixels here: 2 x 25 view pixels less one).
  viewtest::TViewInWindow w{100, 100};
  w.SetPicture(400, 400);
  TRastovaView& v = *w.view;
  auto* nav = new TRastovaView(&w.parent);
  nav->WriteBorderStyle(platform::bsNone);
  nav->WriteScrollBars(ssNone);
  nav->resize(200, 200);
  v.SetNavigator(nav, 0);
  nav->Update();
  ASSERT_DOUBLE_EQ(nav->GetZoom(), 50);
  PointerDown(nav, {195, 100});
  ASSERT_EQ(nav->GetPolySelCount(), 4);
  EXPECT_EQ(nav->GetPolySel(0).x, 301);
  EXPECT_EQ(nav->GetPolySel(0).y, 150);
  EXPECT_EQ(nav->GetPolySel(2).x, 399);
  EXPECT_EQ(nav->GetPolySel(2).y, 248);
  PointerUp(nav, {195, 100});
  v.SetNavigator(nullptr, 0);
  delete nav;
}

// The points of an ellipse drag: radii RX, RY in view pixels at zoom 200 % become Trunc (r / 2)
// picture pixels; N = Trunc (min (RXB, RYB) x 2 pi), at least 50, points at the angles
// 2 pi / N x h around the centre, rounded (halves to even) and kept inside 0..W, 0..H.
std::vector<TRVPoint> EllipsePoints(int32_t cx, int32_t cy, double rx, double ry, int32_t w, int32_t h) {
  const int32_t rxb = common::TruncInt(rx * 0.5), ryb = common::TruncInt(ry * 0.5);
  const int32_t n = std::max(common::TruncInt(std::min(rxb, ryb) * 2 * M_PI), 50);
  std::vector<TRVPoint> out;
  for (int32_t k = 0; k < n; ++k) {
    const double a = 2 * M_PI / n * k;
    out.push_back({std::clamp(common::RoundInt(std::cos(a) * rxb + cx), 0, w),
                   std::clamp(common::RoundInt(std::sin(a) * ryb + cy), 0, h)});
  }
  return out;
}

TEST_F(ViewSelectDrag, EllipseDragsFollowTheirRadiiAndStayInThePicture) {
  struct Case {
    const char* what;
    QPoint down, to;
    Qt::KeyboardModifiers mods;
    double ratio;
    double rx, ry;  // radii in view pixels
  } const cases[] = {
      {"free", {40, 40}, {70, 50}, {}, -1, 30, 10},
      {"circle with Alt", {40, 40}, {50, 70}, Qt::AltModifier, -1, 30, 30},
      {"fixed ratio takes the larger offset", {40, 40}, {50, 70}, {}, 0.5, 30, 15},
      {"at the picture's corner", {90, 90}, {100, 60}, {}, -1, 10, 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    viewtest::TViewInWindow w{100, 100};
    w.SetPicture(50, 50);
    TRastovaView& v = *w.view;
    v.WriteCenter(false);
    v.SetZoom(200);
    w.Paint();
    v.WriteMouseInteract(MouseInteractOf({miSelectCircle}));
    v.WriteSelectionAspectRatio(c.ratio);
    PointerDown(&v, c.down, c.mods);
    PointerDrag(&v, c.to, c.mods);
    const std::vector<TRVPoint> want = EllipsePoints(c.down.x() / 2, c.down.y() / 2, c.rx, c.ry, 50, 50);
    const std::vector<TRVPoint> got = PolygonOf(v);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
      ASSERT_TRUE(got[i].x == want[i].x && got[i].y == want[i].y)
          << i << ": " << got[i].x << "," << got[i].y << " want " << want[i].x << "," << want[i].y;
    PointerUp(&v, c.to, c.mods);
    EXPECT_FALSE(v.FCircleSelecting);
    EXPECT_TRUE(v.FSelectionMask->IsPointInside(c.down.x() / 2, c.down.y() / 2));
  }
}

TEST_F(ViewSelectDrag, ZoomingToASelectionRemovesIt) {
  viewtest::TViewInWindow w{100, 100};
  w.SetPicture(100, 100);
  TRastovaView& v = *w.view;
  v.FSelectionBase = rvsbBitmap;
  v.SelectRectangle(20, 20, 60, 40, 0);
  ASSERT_EQ(v.GetPolySelCount(), 4);
  // 40 x 20 pixels in a 100 x 100 control: 250 %, the selection centred.
  v.ZoomSelection(true, false);
  EXPECT_DOUBLE_EQ(v.GetZoom(), 250);
  EXPECT_EQ(v.FViewX, 50);
  EXPECT_EQ(v.FViewY, 25);
  EXPECT_FALSE(v.FSelected);
  EXPECT_EQ(v.GetPolySelCount(), 0);
  EXPECT_FALSE(v.FSelectionPolygon->Visible);
  EXPECT_TRUE(v.FSelectionMask->IsEmpty());
}

TEST_F(ViewSelectDrag, AZoomRectangleZoomsAndBringsTheOldSelectionBack) {
  viewtest::TViewInWindow w{100, 100};
  w.SetPicture(100, 100);
  TRastovaView& v = *w.view;
  v.FSelectionBase = rvsbBitmap;
  v.SelectRectangle(5, 5, 15, 15, 0);
  v.FSelectionBase = rvsbClientArea;
  w.Paint();
  v.WriteMouseInteract(MouseInteractOf({miSelectZoom}));
  PointerDown(&v, {20, 20});
  PointerDrag(&v, {60, 40});
  PointerUp(&v, {60, 40});
  EXPECT_DOUBLE_EQ(v.GetZoom(), 250);
  EXPECT_TRUE(v.FSelected);
  ASSERT_EQ(v.GetPolySelCount(), 4);
  EXPECT_EQ(v.GetPolySel(0).x, 5);
  EXPECT_EQ(v.GetPolySel(2).x, 15);
}

TEST_F(ViewSelectDrag, AZoomClickEndsAPolygonInProgress) {
  viewtest::TViewInWindow w{100, 100};
  w.SetPicture(100, 100);
  TRastovaView& v = *w.view;
  w.Paint();
  v.WriteMouseInteract(MouseInteractOf({miZoom}));
  v.FPolySelecting = true;
  PointerClick(&v, {50, 50});
  EXPECT_DOUBLE_EQ(v.GetZoom(), 200);
  EXPECT_FALSE(v.FPolySelecting);
}

TEST_F(ViewSelectDrag, TheRotationHintKeepsRoomForFourDigits) {
  viewtest::TViewInWindow w{100, 100};
  w.SetPicture(100, 100);
  TRastovaView& v = *w.view;
  v.LayersAdd();
  viewtest::FillPicture(*v.GetRVBitmap(), 20, 20);
  v.Update();
  v.FRotatingLayer = 1;
  v.FRawMoveX = 5;
  v.FRawMoveY = 5;
  v.LayerStep({}, 9, 5);
  EXPECT_EQ(v.FHintText2, "0000\xC2\xB0");
  EXPECT_EQ(v.FHintText.substr(v.FHintText.size() - 2), "\xC2\xB0");
  v.FRotatingLayer = -1;
}

}  // namespace
}  // namespace rv
