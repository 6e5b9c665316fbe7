// The view's mouse interaction, selections, layer editing and the navigator, driven headless
// through the widget's mouse events.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <memory>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/view/core/RastovaView.h"
#include "rastova/view/tests/ViewTestTools.h"

namespace rv {
namespace {

class ViewInteract : public viewtest::ViewLibraryTest {};

void SendMouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held,
               Qt::KeyboardModifiers mods = {}) {
  QMouseEvent e(type, QPointF(p), w->mapToGlobal(QPointF(p)), button, held, mods);
  QApplication::sendEvent(w, &e);
}
void Press(QWidget* w, QPoint p, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {}) {
  SendMouse(w, QEvent::MouseButtonPress, p, b, b, m);
}
void Drag(QWidget* w, QPoint p, Qt::KeyboardModifiers m = {}) {
  SendMouse(w, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton, m);
}
void Release(QWidget* w, QPoint p, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {}) {
  SendMouse(w, QEvent::MouseButtonRelease, p, b, Qt::NoButton, m);
}

TEST_F(ViewInteract, ZoomClicksStepThroughThePresets) {
  struct Case {
    double from;
    Qt::MouseButton button;
    double to;
  } const cases[] = {{60, Qt::LeftButton, 75},   {100, Qt::LeftButton, 200}, {250, Qt::LeftButton, 350},
                     {150, Qt::RightButton, 100}, {1, Qt::RightButton, 2},    {300, Qt::RightButton, 200},
                     {40, Qt::RightButton, 33}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from);
    viewtest::TViewInWindow w{100, 100};
    w.SetPicture(400, 400);
    w.view->WriteMouseInteract(MouseInteractOf({miZoom}));
    w.view->SetZoom(c.from);
    w.Paint();
    // The middle of the view lies on the centred picture at every zoom.
    Press(w.view, {50, 50}, c.button);
    Release(w.view, {50, 50}, c.button);
    EXPECT_DOUBLE_EQ(w.view->GetZoom(), c.to);
  }
}

TEST_F(ViewInteract, DragScrollFollowsThePointerAtTheScrollRate) {
  viewtest::TViewInWindow w{100, 100};
  w.SetPicture(400, 400);
  w.view->WriteMouseInteract(MouseInteractOf({miScroll}));
  w.view->FMouseScrollRate = 2.0;
  w.view->SetViewXY(100, 100);
  Press(w.view, {50, 50});
  Drag(w.view, {40, 45});
  EXPECT_EQ(w.view->FViewX, 120);
  EXPECT_EQ(w.view->FViewY, 110);
  Release(w.view, {30, 45});
  EXPECT_EQ(w.view->FViewX, 140);
}

TEST_F(ViewInteract, RectangleSelectionsFixedSizeShiftAndClicks) {
  viewtest::TViewInWindow w{100, 100};
  w.SetPicture(100, 100);
  w.Paint();
  TRastovaView& v = *w.view;
  v.WriteMouseInteract(MouseInteractOf({miSelect}));
  // A fixed size: made at mouse-down, centred on the pointer; the click leaves it.
  v.WriteSelectionAspectRatio(0);
  v.FSelectionAbsWidth = 10;
  v.FSelectionAbsHeight = 6;
  Press(&v, {30, 30});
  ASSERT_EQ(v.GetPolySelCount(), 4);
  EXPECT_EQ(v.GetPolySel(0).x, 25);
  EXPECT_EQ(v.GetPolySel(0).y, 27);
  Release(&v, {30, 30});
  EXPECT_TRUE(v.FSelected);
  EXPECT_TRUE(v.FSelectionMask->IsPointInside(25, 27));
  EXPECT_FALSE(v.FSelectionMask->IsPointInside(35, 33));

  // Free rectangles: Shift adds a second one; releasing Shift mid-drag replaces the selection.
  v.WriteSelectionAspectRatio(-1);
  Press(&v, {10, 10});
  Drag(&v, {20, 20});
  Release(&v, {20, 20});
  EXPECT_EQ(v.GetPolySelCount(), 4);
  Press(&v, {40, 40}, Qt::LeftButton, Qt::ShiftModifier);
  Drag(&v, {50, 50}, Qt::ShiftModifier);
  EXPECT_EQ(v.GetPolySelCount(), 9);
  Drag(&v, {55, 55});
  EXPECT_EQ(v.GetPolySelCount(), 4);
  Release(&v, {55, 55});
  EXPECT_FALSE(v.FSelectionMask->IsPointInside(12, 12));
  EXPECT_TRUE(v.FSelectionMask->IsPointInside(45, 45));
  // A click elsewhere removes it.
  Press(&v, {80, 80});
  Release(&v, {80, 80});
  EXPECT_FALSE(v.FSelected);
}

TEST_F(ViewInteract, GripsMirrorAndNeverCollapseAndMovingNeedsTheOption) {
  viewtest::TViewInWindow w{100, 100};
  w.SetPicture(100, 100);
  TRastovaView& v = *w.view;
  v.FSelectionBase = rvsbBitmap;
  v.SelectRectangle(10, 10, 30, 30, 0);
  v.FGripStartX1 = 10;
  v.FGripStartY1 = 10;
  v.FGripStartX2 = 30;
  v.FGripStartY2 = 30;
  EXPECT_EQ(v.HitSelectionGrip(10, 10), 1);
  EXPECT_EQ(v.HitSelectionGrip(10, 20), 5);
  // The left side dragged past the right edge becomes the right side.
  EXPECT_EQ(v.ResizeSelectionByGrip(5, 50, 20, false), 6);
  EXPECT_EQ(v.GetPolySel(0).x, 30);
  EXPECT_EQ(v.GetPolySel(1).x, 50);
  // Onto the opposite edge: one pixel wide, never zero.
  EXPECT_EQ(v.ResizeSelectionByGrip(5, 50, 20, false), 5);
  EXPECT_GT(v.GetPolySel(1).x - v.GetPolySel(0).x, 0);

  v.SelectRectangle(10, 10, 30, 30, 0);
  EXPECT_EQ(v.HitSelectionInside(20, 20, {}), 0);
  EXPECT_EQ(v.HitSelectionInside(20, 20, platform::ssShift), -1);
  v.WriteSelectionOptions(v.SelectionOptions() & ~SelectionOption(rvsoMoveable));
  EXPECT_EQ(v.HitSelectionInside(20, 20, {}), -1);
}

TEST_F(ViewInteract, DashesMarchOnePixelPerTickAndTheRubberLineErasesItself) {
  viewtest::TViewInWindow w{100, 100};
  w.SetPicture(100, 100);
  w.Paint();
  TRastovaView& v = *w.view;
  v.FSelectionBase = rvsbBitmap;
  v.SelectRectangleCore(10, 10, 60, 40, 0, false, false);
  TRVSelectionPolygon& r = *v.FSelectionPolygon;
  auto row = [&](int32_t counter) {
    r.Counter = counter;
    v.DrawPolygonBorder(r);
    std::vector<int> dark;
    for (int x = 11; x < 31; ++x) dark.push_back(viewtest::SurfacePixel(v, x, 10).r < 128 ? 1 : 0);
    return dark;
  };
  const std::vector<int> t0 = row(0), t1 = row(1);
  // Four pixels of each colour (the corner pixel is the left edge's), moved on by one pixel
  // per tick.
  EXPECT_EQ(std::vector<int>(t0.begin(), t0.begin() + 8), (std::vector<int>{1, 1, 1, 0, 0, 0, 0, 1}));
  EXPECT_EQ(std::vector<int>(t1.begin(), t1.end() - 1), std::vector<int>(t0.begin() + 1, t0.end()));

  // The polygon's rubber line drawn twice leaves every pixel as it was.
  v.FPolySelecting = true;
  v.FPolyLastX = 80;
  v.FPolyLastY = 70;
  const QImage before = v.Surface().Image().copy();
  v.DrawPolyRubberLine();
  EXPECT_NE(v.Surface().Image(), before);
  v.DrawPolyRubberLine();
  EXPECT_EQ(v.Surface().Image(), before);
  v.FPolySelecting = false;
}

TEST_F(ViewInteract, LayerDragEventsComeInOrderAndRotationSnaps) {
  viewtest::TViewInWindow w{100, 100};
  w.SetPicture(100, 100);
  TRastovaView& v = *w.view;
  v.LayersAdd();
  viewtest::FillPicture(*v.GetRVBitmap(), 20, 20);
  v.GetCurrentLayer()->PosX = 10;
  v.GetCurrentLayer()->PosY = 10;
  v.SetCurrentLayer(0);
  v.Update();
  w.Paint();
  std::vector<TRVLayerEvent> events;
  v.FOnLayerNotify = [&](TRastovaView*, int32_t, TRVLayerEvent e) { events.push_back(e); };
  v.WriteMouseInteract(MouseInteractOf({miMoveLayers}));
  Press(&v, {15, 15});
  Drag(&v, {20, 15});
  Drag(&v, {25, 18});
  Release(&v, {25, 18});
  EXPECT_EQ(events, (std::vector<TRVLayerEvent>{rvlSelected, rvlBeginMoving, rvlMoving, rvlMoving, rvlMoved}));
  EXPECT_EQ(v.FLayersCurrent, 1);
  EXPECT_EQ(v.GetLayer(1)->PosX, 20);
  EXPECT_EQ(v.GetLayer(1)->PosY, 13);

  // With Shift the accumulated angle snaps towards zero by the step.
  for (auto [angle, snapped] : {std::pair{89.0, 45.0}, std::pair{-50.0, -45.0}, std::pair{30.0, 0.0}}) {
    v.FRotatingLayer = 1;
    v.FRotationAngle = angle;
    v.FRawMoveX = 5;
    v.FRawMoveY = 5;
    v.LayerStep(platform::ssShift, 5, 5);
    EXPECT_DOUBLE_EQ(v.GetLayer(1)->Rotation, snapped) << angle;
  }
  EXPECT_NE(v.FHintText.find("\xC2\xB0"), std::string::npos);
  v.FRotatingLayer = -1;
}

TEST_F(ViewInteract, NavigatorKeepsStepWithoutFeedbackAndForgetsAFreedNavigator) {
  viewtest::TViewInWindow w{100, 100};
  w.SetPicture(400, 400);
  TRastovaView& v = *w.view;
  v.SetZoom(200);
  auto* nav = new TRastovaView(&w.parent);
  nav->resize(50, 50);
  v.SetNavigator(nav, 1);
  v.SetViewXY(100, 60);
  EXPECT_EQ(nav->SelX1(), 50);
  EXPECT_EQ(nav->SelY1(), 30);
  // Scrolling the main view by 10 view pixels moves the rectangle by 5 bitmap pixels, and the
  // rectangle's change does not scroll the main view again.
  int scrolls = 0;
  v.FOnViewChange = [&](TRastovaView*, int32_t) { ++scrolls; };
  v.SetViewXY(110, 60);
  EXPECT_EQ(nav->SelX1(), 55);
  EXPECT_EQ(scrolls, 1);
  EXPECT_EQ(v.FViewX, 110);
  // Moving the rectangle scrolls the main view to it.
  nav->MoveSelectionBy(10, 4);
  nav->DoSelectionChanging();
  EXPECT_EQ(v.FViewX, 130);
  EXPECT_EQ(v.FViewY, 68);
  delete nav;
  EXPECT_TRUE(v.FNavigator.isNull());
  v.SetViewXY(0, 0);
  EXPECT_EQ(scrolls, 3);
}

}  // namespace
}  // namespace rv

namespace rv {
namespace {

TEST_F(ViewInteract, SelectionRecordsKeepTheirRules) {
  viewtest::TViewInWindow w{100, 100};
  w.SetPicture(50, 40);
  TRastovaView& v = *w.view;
  v.FSelectionBase = rvsbBitmap;
  // Degenerate rectangles do nothing; reversed corners select the same pixels.
  v.SelectRectangle(10, 10, 10, 30, 0);
  EXPECT_FALSE(v.FSelected);
  v.SelectRectangle(30, 30, 10, 10, 0);
  EXPECT_EQ(v.GetPolySel(0).x, 10);
  EXPECT_EQ(v.GetPolySel(2).y, 30);
  EXPECT_EQ(v.GetPolySel(v.GetPolySelCount()).x, 0);  // past the end: (0, 0)
  // Reaching the right edge: X2 is the width, SelX2 the last column.
  v.SelectRectangle(20, 5, 80, 15, 0);
  EXPECT_EQ(v.FSelectionPolygon->X2, 50);
  EXPECT_EQ(v.SelX2(), 49);
  // A height-to-width ratio of 2 cut at the bottom by shortening the width.
  v.FSelectionAspectRatio = 2.0;
  v.SelectRectangleCore(0, 0, 30, 30, 0, false, false);
  EXPECT_EQ(v.GetPolySel(2).y, 40);
  EXPECT_LT(v.GetPolySel(2).x, 30);
  v.FSelectionAspectRatio = -1;
  // Two separators in a row are stored once; removing the last polygon leaves the first.
  v.SelectRectangle(1, 1, 5, 5, 0);
  v.AddPolygonBreak(v.FSelectionPolygon);
  v.AddPolygonBreak(v.FSelectionPolygon);
  EXPECT_EQ(v.GetPolySelCount(), 5);
  v.AddPolygonPoint(v.FSelectionPolygon, 8, 8);
  v.RemoveLastPolygon(v.FSelectionPolygon);
  EXPECT_EQ(v.GetPolySelCount(), 4);
  v.RemoveLastPolygon(v.FSelectionPolygon);
  EXPECT_EQ(v.GetPolySelCount(), 0);
  // The magic wand in its connected mode selects the picture's pixels of one colour.
  v.GetRVBitmap()->Fill(0xFFFFFF);
  v.FMagicWandMode = 1;
  v.SelectMagicWand(3, 3, 0);
  EXPECT_TRUE(v.FSelected);
  EXPECT_TRUE(v.FSelectionMask->IsPointInside(49, 39));
  v.DeSelect();
  EXPECT_FALSE(v.FSelected);
  EXPECT_TRUE(v.FSelectionMask->IsEmpty());
}

}  // namespace
}  // namespace rv

#include <QTest>

namespace rv {
namespace {

TEST_F(ViewInteract, SpecialKeysStayWhenAskedAndVirtualKeysFollowEachKey) {
  viewtest::TViewInWindow w{60, 60};
  TRastovaView& v = *w.view;
  std::vector<std::pair<uint16_t, bool>> keys;
  v.FOnVirtualKey = [&](TRastovaView*, uint16_t Key, uint32_t, bool Down) { keys.push_back({Key, Down}); };
  EXPECT_FALSE(v.WantSpecialKey(9, {}));
  v.FOnSpecialKey = [](TRastovaView*, uint16_t Key, platform::TShiftState, bool& Handled) { Handled = Key == 9; };
  EXPECT_TRUE(v.WantSpecialKey(9, {}));
  EXPECT_FALSE(v.WantSpecialKey(37, {}));
  QTest::keyPress(&v, Qt::Key_A);
  QTest::keyRelease(&v, Qt::Key_A);
  EXPECT_EQ(keys, (std::vector<std::pair<uint16_t, bool>>{{uint16_t('A'), true}, {uint16_t('A'), false}}));
}

}  // namespace
}  // namespace rv

namespace rv {
namespace {

TEST_F(ViewInteract, AutoAndSmoothScrolling) {
  viewtest::TViewInWindow w{100, 100};
  w.SetPicture(400, 400);
  TRastovaView& v = *w.view;
  w.Paint();
  int32_t maxX = 0, maxY = 0;
  v.GetMaxViewXY(maxX, maxY);
  // A pointer right of the image scrolls to the image's right end and moves the drag's anchor
  // with it; inside the image nothing scrolls.
  const auto savedPos = TRastovaView::GetCursorPosProvider;
  TRastovaView::GetCursorPosProvider = [&] { return v.ClientToScreen({150, 50}); };
  v.FDownX = 40;
  EXPECT_TRUE(v.AutoScrollDrag());
  EXPECT_EQ(v.FViewX, maxX);
  EXPECT_EQ(v.FDownX, 40 - maxX);
  EXPECT_FALSE(v.FSelectionDrawingSuspended);
  TRastovaView::GetCursorPosProvider = [&] { return v.ClientToScreen({50, 50}); };
  EXPECT_FALSE(v.AutoScrollDrag());
  TRastovaView::GetCursorPosProvider = savedPos;

  // Smooth scrolling: the first step runs at once, an eighth of the way; a held button stops it.
  const auto savedButton = TRastovaView::PrimaryMouseButtonDownProvider;
  TRastovaView::PrimaryMouseButtonDownProvider = [] { return false; };
  v.SetViewXY(0, 0);
  v.SmoothScrollTo(160, 80);
  EXPECT_EQ(v.FViewX, 20);
  EXPECT_EQ(v.FViewY, 10);
  EXPECT_NE(v.FSmoothScrollTimer, nullptr);
  TRastovaView::PrimaryMouseButtonDownProvider = [] { return true; };
  v.SmoothScrollTo(160, 80);  // retargets the running scroll
  v.FSmoothScrollTimer->OnTimer(v.FSmoothScrollTimer.get());
  EXPECT_EQ(v.FSmoothScrollTimer, nullptr);
  TRastovaView::PrimaryMouseButtonDownProvider = savedButton;
}

}  // namespace
}  // namespace rv
