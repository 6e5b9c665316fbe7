#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <vector>

#include "UiTestApp.h"
#include "platform/ui/Control.h"
#include "platform/ui/Cursors.h"
#include "platform/ui/Timer.h"

using namespace platform;
using platform::test::App;
using platform::test::WaitFor;

namespace {

struct MouseRecord {
  char kind;  // 'd' down, 'm' move, 'u' up, 'c' double click
  TMouseButton button;
  TShiftState shift;
  int x, y;
};

class Recorder {
 public:
  explicit Recorder(TControl& c) {
    c.OnMouseDown = [this](TControl*, TMouseButton b, TShiftState s, int x, int y) {
      log.push_back({'d', b, s, x, y});
    };
    c.OnMouseMove = [this](TControl*, TShiftState s, int x, int y) { log.push_back({'m', mbLeft, s, x, y}); };
    c.OnMouseUp = [this](TControl*, TMouseButton b, TShiftState s, int x, int y) {
      log.push_back({'u', b, s, x, y});
    };
    c.OnDblClick = [this](TControl*) { log.push_back({'c', mbLeft, {}, 0, 0}); };
  }
  std::vector<MouseRecord> log;
};

std::unique_ptr<TCustomControl> ShownControl(int w = 60, int h = 40) {
  App();
  auto c = std::make_unique<TCustomControl>();
  c->resize(w, h);
  c->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(c.get()));
  return c;
}

}  // namespace

TEST(Control, MouseEventsCarryButtonShiftStateAndPosition) {
  auto c = ShownControl();
  Recorder rec(*c);
  QTest::mousePress(c.get(), Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 6));
  QTest::mouseMove(c.get(), QPoint(9, 11));
  QTest::mouseRelease(c.get(), Qt::LeftButton, Qt::ShiftModifier, QPoint(9, 11));
  QTest::mousePress(c.get(), Qt::RightButton, Qt::ControlModifier | Qt::AltModifier, QPoint(1, 2));
  QTest::mouseRelease(c.get(), Qt::RightButton, Qt::NoModifier, QPoint(1, 2));
  QTest::mousePress(c.get(), Qt::MiddleButton, Qt::NoModifier, QPoint(3, 3));
  QTest::mouseRelease(c.get(), Qt::MiddleButton, Qt::NoModifier, QPoint(3, 3));
  QTest::mouseMove(c.get(), QPoint(20, 21));  // no button held: still reported

  // Only the events of interest (QTest may add moves of its own before a press).
  std::vector<MouseRecord> log;
  for (const auto& r : rec.log)
    if (r.kind != 'm' || r.x == 9 || r.x == 20) log.push_back(r);
  ASSERT_EQ(log.size(), 8u);
  EXPECT_EQ(log[0].kind, 'd');
  EXPECT_EQ(log[0].button, mbLeft);
  EXPECT_EQ(log[0].shift, ssShift | ssLeft);
  EXPECT_EQ(log[0].x, 5);
  EXPECT_EQ(log[0].y, 6);
  EXPECT_EQ(log[1].kind, 'm');
  EXPECT_TRUE(log[1].shift.Contains(ssLeft));
  EXPECT_EQ(log[1].y, 11);
  EXPECT_EQ(log[2].kind, 'u');
  EXPECT_EQ(log[2].shift, TShiftState(ssShift)) << "the released button is no longer held";
  EXPECT_EQ(log[3].button, mbRight);
  EXPECT_EQ(log[3].shift, ssCtrl | ssAlt | TShiftState(ssRight));
  EXPECT_EQ(log[4].kind, 'u');
  EXPECT_EQ(log[5].button, mbMiddle);
  EXPECT_EQ(log[5].shift, TShiftState(ssMiddle));
  EXPECT_EQ(log[7].kind, 'm');
  EXPECT_TRUE(log[7].shift.Empty());
  EXPECT_EQ(log[7].x, 20);
  // The window system's bit order: Shift, Alt, Ctrl, then the buttons.
  EXPECT_EQ((ssShift | ssAlt).Bits(), 3);
  EXPECT_EQ(TShiftState(ssCtrl).Bits(), 4);
}

TEST(Control, DoubleClickComesAsASecondDownWithDouble) {
  auto c = ShownControl();
  Recorder rec(*c);
  // Through the window, as the window system delivers it: press, release, double click,
  // release.
  QTest::mouseDClick(c->windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(7, 8));
  std::string kinds;
  for (const auto& r : rec.log)
    if (r.kind != 'm') kinds += r.kind;
  EXPECT_EQ(kinds, "ducdu");
  for (const auto& r : rec.log) {
    if (r.kind == 'd') {
      EXPECT_EQ(r.x, 7);
    }
  }
  const auto second =
      std::find_if(rec.log.begin(), rec.log.end(), [](const auto& r) { return r.kind == 'c'; }) + 1;
  ASSERT_NE(second, rec.log.end());
  EXPECT_EQ(second->shift, ssLeft | ssDouble);
  EXPECT_FALSE(rec.log.front().shift.Contains(ssDouble));
}

TEST(Control, WheelReportsNotchesAndScreenPosition) {
  auto c = ShownControl();
  int delta = 0;
  TPoint pos;
  TShiftState shift;
  c->OnMouseWheel = [&](TControl*, TShiftState s, int d, TPoint p, bool& handled) {
    delta = d;
    pos = p;
    shift = s;
    handled = true;
  };
  const QPointF local(10, 12);
  QWheelEvent wheel(local, c->mapToGlobal(local), QPoint(), QPoint(0, -120), Qt::NoButton,
                    Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(c.get(), &wheel);
  EXPECT_EQ(delta, -120);
  EXPECT_EQ(shift, TShiftState(ssCtrl));
  EXPECT_EQ(c->ScreenToClient(pos), (TPoint{10, 12}));
  EXPECT_TRUE(wheel.isAccepted());
}

TEST(Control, SurfaceDrawnOutsideAPaintReachesTheScreen) {
  auto c = ShownControl(60, 40);
  int paints = 0;
  c->OnPaint = [&](TControl*) { ++paints; };
  c->Update();
  paints = 0;
  // Drawn at any time, not in a paint handler.
  TCanvas& canvas = c->Canvas();
  canvas.Brush.Color = clRed;
  canvas.FillRect(Rect(10, 10, 20, 20));
  EXPECT_EQ(c->Surface().PixelColor(15, 15), clRed);
  c->Update();  // copies the change only: Paint does not run
  EXPECT_EQ(paints, 0);
  const QImage shown = c->grab().toImage();
  EXPECT_EQ(shown.pixelColor(15, 15), QColor(255, 0, 0));
  EXPECT_EQ(shown.pixelColor(5, 5), QColor(240, 240, 240)) << "the button-face background";
  EXPECT_EQ(paints, 0);

  // Invalidate: Paint redraws on a background-filled surface, clipped to the invalid part.
  c->OnPaint = [&](TControl* sender) {
    ++paints;
    auto* self = static_cast<TCustomControl*>(sender);
    self->Canvas().Brush.Color = clBlue;
    self->Canvas().FillRect(Rect(0, 0, 60, 40));
  };
  c->InvalidateRect(Rect(0, 0, 12, 12));
  c->Update();
  EXPECT_EQ(paints, 1);
  EXPECT_EQ(c->Surface().PixelColor(11, 11), clBlue);
  EXPECT_EQ(c->Surface().PixelColor(15, 15), clRed) << "outside the invalid part";
  EXPECT_EQ(c->grab().toImage().pixelColor(11, 11), QColor(0, 0, 255));
  c->Repaint();
  EXPECT_EQ(paints, 2);
  EXPECT_EQ(c->Surface().PixelColor(15, 15), clBlue);
}

TEST(Control, PaintRunsOnceForManyInvalidationsAndOnResize) {
  auto c = ShownControl(30, 20);
  int paints = 0, resizes = 0;
  c->OnPaint = [&](TControl*) { ++paints; };
  c->OnResize = [&](TControl*) { ++resizes; };
  QCoreApplication::processEvents();
  paints = 0;
  for (int i = 0; i < 5; ++i) c->InvalidateRect(Rect(i, i, i + 3, i + 3));
  EXPECT_TRUE(WaitFor([&] { return paints == 1; }));
  QCoreApplication::processEvents();
  EXPECT_EQ(paints, 1);
  // A resize keeps the surface in step and asks for a whole paint.
  c->Canvas().SetPixels(1, 1, clLime);
  c->resize(50, 35);
  EXPECT_EQ(resizes, 1);
  EXPECT_EQ(c->Surface().Width(), 50);
  EXPECT_EQ(c->Surface().Height(), 35);
  EXPECT_TRUE(WaitFor([&] { return paints == 2; }));
  EXPECT_EQ(c->Surface().PixelColor(1, 1), RGB(240, 240, 240)) << "repainted from the background";
}

TEST(Control, ControlThatCoversItsSurfaceSkipsTheBackgroundFill) {
  // A control that draws every pixel itself (the 3D viewer) is not filled with its colour first.
  class Opaque : public TCustomControl {
   public:
    bool erase = false;

   protected:
    bool EraseBackground() override { return erase; }
  };
  App();
  Opaque c;
  c.resize(20, 10);
  c.Canvas().SetPixels(3, 3, clLime);
  c.Repaint();
  EXPECT_EQ(c.Surface().PixelColor(3, 3), clLime);
  c.erase = true;
  c.Repaint();
  EXPECT_EQ(c.Surface().PixelColor(3, 3), RGB(240, 240, 240));
}

TEST(Control, CursorsById) {
  App();
  TControl c;
  c.SetCursor(crCross);
  EXPECT_EQ(c.Cursor(), crCross);
  EXPECT_EQ(c.cursor().shape(), Qt::CrossCursor);
  struct Case {
    TCursor id;
    Qt::CursorShape shape;
  };
  for (const Case& k : {Case{crSizeAll, Qt::SizeAllCursor}, Case{crSizeNWSE, Qt::SizeFDiagCursor},
                        Case{crSizeNESW, Qt::SizeBDiagCursor}, Case{crSizeNS, Qt::SizeVerCursor},
                        Case{crSizeWE, Qt::SizeHorCursor}, Case{crHandPoint, Qt::PointingHandCursor},
                        Case{crHourGlass, Qt::WaitCursor}, Case{crArrow, Qt::ArrowCursor},
                        Case{crNone, Qt::BlankCursor}, Case{12345, Qt::ArrowCursor}})
    EXPECT_EQ(Cursors().Get(k.id).shape(), k.shape) << k.id;
  // The program's own cursors, registered from images under positive ids.
  QImage hand(32, 32, QImage::Format_ARGB32);
  hand.fill(Qt::transparent);
  hand.setPixelColor(4, 4, Qt::black);
  Cursors().SetFromImage(5, hand, 4, 4);
  EXPECT_TRUE(Cursors().Has(5));
  c.SetCursor(5);
  EXPECT_EQ(c.cursor().shape(), Qt::BitmapCursor);
  EXPECT_EQ(c.cursor().hotSpot(), QPoint(4, 4));
  Cursors().Remove(5);
  EXPECT_FALSE(Cursors().Has(5));
  c.SetCursor(crDefault);
  EXPECT_EQ(c.Cursor(), crDefault);
  EXPECT_EQ(c.cursor().shape(), Qt::ArrowCursor);
}

TEST(Timer, FiresWhileEnabled) {
  App();
  TTimer timer;
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(timer.Interval(), 1000);
  int ticks = 0;
  TTimer* sender = nullptr;
  timer.OnTimer = [&](TTimer* s) {
    ++ticks;
    sender = s;
  };
  timer.SetInterval(5);
  EXPECT_TRUE(WaitFor([&] { return ticks >= 2; }));
  EXPECT_EQ(sender, &timer);
  timer.SetEnabled(false);
  const int stopped = ticks;
  QTest::qWait(30);
  EXPECT_EQ(ticks, stopped);
  timer.SetEnabled(true);
  timer.SetInterval(0);  // never fires
  QTest::qWait(30);
  EXPECT_EQ(ticks, stopped);
}
