// A transition ended by what its own events do: every way of stopping it (Stop, the view's
// Clear, a resize) from the step and the paint event, for the effects that read the row tables
// and for those that copy through the canvas; and the pan-and-zoom between rectangles at the
// ends of the integer range.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

#include "rastova/view/tests/ViewTestTools.h"
#include "rastova/view/transitions/RVTransitionEffects.h"

using namespace rv;
using namespace rv::viewtest;
using TransitionSafety = rv::viewtest::ViewLibraryTest;

namespace enginesafety {

struct TStopPath {
  const char* Name;
  std::function<void(TViewInWindow&)> Run;
};

const TStopPath kStopPaths[] = {
    {"Stop", [](TViewInWindow& w) { w.view->EnsureTransition()->Stop(); }},
    {"Clear", [](TViewInWindow& w) { w.view->Clear(); }},
    {"resize", [](TViewInWindow& w) { w.view->resize(w.view->width() + 7, w.view->height() + 3); }},
};

// A handler that stops the transition leaves the rest of the tick undone: the frame is neither
// drawn from the emptied row tables nor copied, and the transition ends once.
TEST_F(TransitionSafety, StoppedFromItsOwnEvents) {
  platform::TBitmap source{24, 12, platform::pf24bit}, target{24, 12, platform::pf24bit};
  test::FillBitmap(source, platform::RGB(200, 0, 0));
  test::FillBitmap(target, platform::RGB(0, 0, 200));
  // Fades, pushes by columns and by rows, random points (all through the row tables), a wipe,
  // random boxes and a catalogue effect (through the canvas).
  const uint8_t codes[] = {1, 4, 17, 21, 25, 5, 26, 31};
  for (const TStopPath& path : kStopPaths)
    for (bool fromPaint : {false, true})
      for (uint8_t code : codes)
        for (int32_t step : {0, 512}) {
          const std::string what = std::string(path.Name) + (fromPaint ? " from paint" : " from step") +
                                   ", code " + std::to_string(code) + ", step " + std::to_string(step);
          TViewInWindow w{24, 12};
          w.parent.show();  // a shown view hears its resize at once
          w.SetPicture(24, 12);
          TRVTransitionEffects& engine = *w.view->EnsureTransition();
          uint32_t now = 100;
          engine.TickCount = [&now] { return now; };
          int stops = 0, paints = 0;
          w.view->WriteOnTransitionStop([&](TRastovaView*) { ++stops; });
          auto stop = [&] { path.Run(w); };
          if (fromPaint)
            w.view->WriteOnTransitionPaint(
                [&](TRastovaView*, platform::TBitmap*, TRVTransitionEffects*, int32_t) {
                  ++paints;
                  stop();
                });
          else
            w.view->WriteOnTransitionStep([&](TRastovaView*, int32_t) { stop(); });
          ASSERT_TRUE(engine.Start(code, source, target, 1000, rvttLinear)) << what;
          engine.FStep = step;
          now += 400;
          engine.TimerStep(nullptr);
          EXPECT_FALSE(engine.FRunning) << what;
          EXPECT_EQ(stops, 1) << what;
          EXPECT_EQ(paints, fromPaint ? 1 : 0) << what;
          EXPECT_EQ(w.view->PaintLockCount(), 0) << what;
          // The next tick of a stopped engine draws nothing.
          engine.TimerStep(nullptr);
          EXPECT_EQ(stops, 1) << what;
          EXPECT_EQ(paints, fromPaint ? 1 : 0) << what;
        }
}

// A handler may start the next transition after stopping the first: the tick goes on with the
// new one, whose tables are whole.
TEST_F(TransitionSafety, RestartedFromItsStepEvent) {
  TViewInWindow w{16, 8};
  platform::TBitmap a{16, 8, platform::pf24bit}, b{16, 8, platform::pf24bit};
  test::FillBitmap(a, platform::RGB(10, 20, 30));
  test::FillBitmap(b, platform::RGB(90, 80, 70));
  TRVTransitionEffects& engine = *w.view->EnsureTransition();
  uint32_t now = 0;
  engine.TickCount = [&now] { return now; };
  bool restarted = false;
  w.view->WriteOnTransitionStep([&](TRastovaView*, int32_t) {
    if (restarted) return;
    restarted = true;
    engine.Stop();
    ASSERT_TRUE(engine.Start(21, b, a, 1000, rvttLinear));
  });
  ASSERT_TRUE(engine.Start(1, a, b, 1000, rvttLinear));
  engine.FStep = 700;
  engine.TimerStep(nullptr);
  EXPECT_TRUE(engine.FRunning);
  EXPECT_EQ(engine.FTransition, 21);
  EXPECT_EQ(engine.FFrameBitmap->PixelColor(3, 3), platform::RGB(90, 80, 70));  // step 0 of the push
  EXPECT_EQ(w.view->PaintLockCount(), 1);
  engine.Stop();
}

// The sides of the shown rectangle are interpolated from rectangles anywhere in the 32-bit
// range: the differences of far-apart sides and the clipped widths stay exact or saturate, and
// a rectangle that leaves the image on every side shows the whole image fitted in the frame.
TEST_F(TransitionSafety, PanZoomBetweenFarRectangles) {
  TViewInWindow w{20, 10};
  w.view->WriteBackground(platform::RGB(0, 100, 0));
  TRVTransitionEffects& engine = *w.view->EnsureTransition();
  uint32_t now = 0;
  engine.TickCount = [&now] { return now; };
  TRVBitmap image;
  FillPicture(image, 40, 20);
  const platform::TRect whole{0, 0, 40, 20}, everything{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
  struct Case {
    platform::TRect from, to;
    int32_t step;
  } cases[] = {
      {everything, whole, 0},
      {everything, whole, 1},
      {whole, everything, 1024},
      {everything, everything, 512},
      {{INT_MAX, INT_MAX, INT_MIN, INT_MIN}, whole, 0},
      {{INT_MIN, 0, INT_MAX, 20}, {INT_MAX, 0, INT_MIN, 20}, 700},
      {{30, 5, 70, 25}, {30, 5, 70, 25}, 0},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(engine.StartPanZoom(&image, c.from, c.to, 1000, rvttLinear));
    engine.FStep = c.step;
    engine.TimerStep(nullptr);
    engine.Stop();
  }
  struct Shown {
    platform::TRect from, to;
    int32_t step;
    int32_t x, y;  // the image pixel at frame pixel (7, 5)
  } shown[] = {
      // The whole range: the image, 40 x 20 fitted into 20 x 10, covers the frame.
      {everything, whole, 0, 14, 10},
      // Halfway between sides 2^32 - 1 apart: left 0 and right 20, the rectangle (0, 5)-(20, 15)
      // shown at its own size.
      {{INT_MIN, 5, INT_MAX, 15}, {INT_MAX, 5, 40 - INT_MAX, 15}, 512, 7, 10},
  };
  for (const Shown& c : shown) {
    ASSERT_TRUE(engine.StartPanZoom(&image, c.from, c.to, 1000, rvttLinear));
    engine.FStep = c.step;
    engine.TimerStep(nullptr);
    const TRGB want = PictureColour(c.x, c.y);
    EXPECT_EQ(engine.FFrameBitmap->PixelColor(7, 5), platform::RGB(want.r, want.g, want.b)) << c.step;
    engine.Stop();
  }
}

}  // namespace enginesafety
