// The transition engine on a view, driven by a test clock: the step table, the engine's own
// effects at their ends and middle, catalogue effects, the end of a transition and Stop.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "rastova/view/tests/ViewTestTools.h"
#include "rastova/view/transitions/RVTransitionEffects.h"

using namespace rv;
using namespace rv::viewtest;
using platform::RGB;
using TransitionEngine = rv::viewtest::ViewLibraryTest;

namespace {

constexpr platform::TColor kSource = RGB(200, 0, 0), kTarget = RGB(0, 0, 200), kBack = RGB(0, 100, 0);

struct TEngineRig {
  TViewInWindow window{20, 10};
  TRVTransitionEffects* engine;
  uint32_t now = 5000;
  platform::TBitmap source{20, 10, platform::pf24bit}, target{20, 10, platform::pf24bit};
  std::map<int32_t, platform::TColor> painted;  // step -> colour of frame pixel (7, 5)
  TEngineRig() {
    window.view->WriteBackground(kBack);
    engine = window.view->EnsureTransition();
    engine->TickCount = [this] { return now; };
    test::FillBitmap(source, kSource);
    test::FillBitmap(target, kTarget);
    window.view->WriteOnTransitionPaint([this](TRastovaView*, platform::TBitmap* b, TRVTransitionEffects*,
                                               int32_t step) { painted[step] = b->PixelColor(7, 5); });
  }
  // The frame of `code` at `step` (the engine's step set directly, the clock not moved on).
  platform::TBitmap& FrameAt(uint8_t code, int32_t step) {
    engine->Stop();
    EXPECT_TRUE(engine->Start(code, source, target, 1000, rvttLinear));
    engine->FStep = step;
    engine->TimerStep(nullptr);
    return *engine->FFrameBitmap;
  }
};

platform::TColor Surface(TRastovaView& v, int x, int y) {
  const TRGB p = SurfacePixel(v, x, y);
  return RGB(p.r, p.g, p.b);
}

}  // namespace

TEST_F(TransitionEngine, StepTable) {
  TEngineRig rig;
  TRVTransitionEffects& e = *rig.engine;
  e.FDuration = 1000;
  e.FTiming = rvttLinear;
  EXPECT_EQ(e.StepFor(500), 512);
  EXPECT_EQ(e.StepFor(1000), 1024);
  e.FTiming = rvttExponential;
  EXPECT_EQ(e.StepFor(0), 6);
  EXPECT_EQ(e.StepFor(1000), 1003);
  e.FTiming = rvttLogarithmic;
  EXPECT_EQ(e.StepFor(0), 0);  // minus infinity kept at the start
  EXPECT_EQ(e.StepFor(5), 0);  // below r of about 0.0066 the curve is negative
  EXPECT_EQ(e.StepFor(999), 1024);
  EXPECT_GT(e.StepFor(500), 512);
}

TEST_F(TransitionEngine, StartRefusesWhatCannotRun) {
  TEngineRig rig;
  EXPECT_FALSE(rig.engine->Start(0, rig.source, rig.target, 1000, rvttLinear));
  EXPECT_FALSE(rig.engine->Start(215, rig.source, rig.target, 1000, rvttLinear));
  EXPECT_FALSE(rig.engine->Start(213, rig.source, rig.target, 1000, rvttLinear));
  EXPECT_FALSE(rig.engine->FRunning);
  rig.window.view->resize(0, 0);
  EXPECT_FALSE(rig.engine->Start(1, rig.source, rig.target, 1000, rvttLinear));
}

TEST_F(TransitionEngine, OwnEffectsAtTheEnds) {
  TEngineRig rig;
  for (uint8_t code = 1; code <= 30; ++code) {
    const platform::TColor atStart = code == 3 ? kBack : kSource;
    EXPECT_EQ(rig.FrameAt(code, 0).PixelColor(7, 5), atStart) << int(code);
    if (code == 25 || code == 26) continue;  // random pieces: not all drawn at the end
    const platform::TColor atEnd = code == 2 ? kBack : kTarget;
    platform::TBitmap& end = rig.FrameAt(code, 1024);
    EXPECT_EQ(end.PixelColor(7, 5), atEnd) << int(code);
    EXPECT_EQ(end.PixelColor(15, 2), atEnd) << int(code);
  }
  // Halfway: the fades blend by halves, the wipes show both pictures.
  EXPECT_EQ(rig.FrameAt(1, 512).PixelColor(7, 5), RGB(100, 0, 100));
  EXPECT_EQ(rig.FrameAt(2, 512).PixelColor(7, 5), RGB(100, 50, 0));
  for (uint8_t code : {5, 7, 9, 11, 13, 17, 19, 21, 23, 27, 29}) {
    platform::TBitmap& f = rig.FrameAt(code, 512);
    int source = 0, target = 0;
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 20; ++x) {
        source += f.PixelColor(x, y) == kSource;
        target += f.PixelColor(x, y) == kTarget;
      }
    EXPECT_GT(source, 0) << int(code);
    EXPECT_GT(target, 0) << int(code);
  }
  // "Wipe Left to Right 2" draws its red line at the edge.
  EXPECT_EQ(rig.FrameAt(6, 512).PixelColor(10, 3), RGB(255, 0, 0));
}

// The fades' wide rows give the bytes of the plain rows at every weight, also in the bytes past
// the last whole block of a row; a pixel is checked against the rule itself.
TEST_F(TransitionEngine, FadesGiveTheSameBytesOnWideAndPlainRows) {
  TViewInWindow window{45, 7};
  window.view->WriteBackground(RGB(13, 140, 251));
  TRVTransitionEffects* engine = window.view->EnsureTransition();
  platform::TBitmap source{45, 7, platform::pf24bit}, target{45, 7, platform::pf24bit};
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 45; ++x) {
      source.SetPixelColor(x, y, RGB((x * 37 + y * 11) % 256, (x * x + y) % 256, (x ^ (y * 29)) % 256));
      target.SetPixelColor(x, y, RGB((x * 5 + y * 97) % 256, (255 - x * 3) % 256, (x * y * 7) % 256));
    }
  auto frame = [&](uint8_t code, int32_t step, bool wide) {
    rv::testing::TransitionWideRows = wide;
    engine->Stop();
    EXPECT_TRUE(engine->Start(code, source, target, 1000, rvttLinear));
    engine->FStep = step;
    engine->TimerStep(nullptr);
    rv::testing::TransitionWideRows = true;
    std::vector<platform::TColor> pixels;
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 45; ++x) pixels.push_back(engine->FFrameBitmap->PixelColor(x, y));
    return pixels;
  };
  for (uint8_t code : {1, 2, 3, 4})
    for (int32_t step : {1, 300, 511, 512, 777, 1023}) EXPECT_EQ(frame(code, step, true), frame(code, step, false));
  // Cross fade at 300: (a x 724 + b x 300) >> 10 per byte.
  const platform::TColor a = source.PixelColor(44, 6), b = target.PixelColor(44, 6);
  const platform::TColor got = frame(1, 300, true)[6 * 45 + 44];
  EXPECT_EQ(platform::GetRValue(got), (platform::GetRValue(a) * 724 + platform::GetRValue(b) * 300) >> 10);
  EXPECT_EQ(platform::GetBValue(got), (platform::GetBValue(a) * 724 + platform::GetBValue(b) * 300) >> 10);
}

TEST_F(TransitionEngine, FadeOutThenIn) {
  TEngineRig rig;
  const platform::TColor c511 = rig.FrameAt(4, 511).PixelColor(7, 5);
  EXPECT_NEAR(platform::GetRValue(c511), 0, 1);  // almost the background
  EXPECT_NEAR(platform::GetGValue(c511), 100, 1);
  EXPECT_NE(c511, kBack);
  EXPECT_EQ(rig.FrameAt(4, 512).PixelColor(7, 5), kBack);
}

TEST_F(TransitionEngine, RunsToTheEndWithTheClock) {
  TEngineRig rig;
  int stops = 0;
  std::vector<int32_t> steps;
  rig.window.view->WriteOnTransitionStop([&](TRastovaView*) { ++stops; });
  rig.window.view->WriteOnTransitionStep([&](TRastovaView*, int32_t s) { steps.push_back(s); });
  rig.engine->FUpdateOnStop = true;
  ASSERT_TRUE(rig.engine->Start(1, rig.source, rig.target, 1000, rvttLinear));
  EXPECT_EQ(rig.window.view->PaintLockCount(), 1);
  for (uint32_t t : {0u, 500u, 999u, 1000u}) {
    rig.now = 5000 + t;
    rig.engine->TimerStep(nullptr);
  }
  EXPECT_EQ(steps, (std::vector<int32_t>{0, 0, 512, 1022}));
  EXPECT_FALSE(rig.engine->FRunning);
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(rig.window.view->PaintLockCount(), 0);
  EXPECT_EQ(rig.painted.at(1024), kTarget);  // the end picture, step 1024
  EXPECT_EQ(Surface(*rig.window.view, 3, 3), kTarget);
  EXPECT_EQ(rig.engine->FFrameBitmap->Width(), 1);
  EXPECT_TRUE(rig.engine->FSourceRows.empty());
  // Idle: Stop does nothing, the timer's ticks draw nothing.
  rig.engine->Stop();
  rig.engine->TimerStep(nullptr);
  EXPECT_EQ(stops, 1);
}

TEST_F(TransitionEngine, ZeroDurationEndsAtTheFirstTickAndTheClockWraps) {
  TEngineRig rig;
  ASSERT_TRUE(rig.engine->Start(1, rig.source, rig.target, 0, rvttLinear));
  rig.engine->TimerStep(nullptr);
  EXPECT_FALSE(rig.engine->FRunning);
  // A start just before the counter wraps: 2^32 - 10 to 490 is 500 ms.
  rig.now = 0xFFFFFFF6u;
  ASSERT_TRUE(rig.engine->Start(1, rig.source, rig.target, 1000, rvttLinear));
  rig.now = 490;
  rig.engine->TimerStep(nullptr);
  EXPECT_TRUE(rig.engine->FRunning);
  EXPECT_EQ(rig.engine->FStep, 512);
}

TEST_F(TransitionEngine, CatalogueCodes) {
  TEngineRig rig;
  // Code 31 runs row 30, "Expand from Left": at step 1024 the whole Target.
  EXPECT_EQ(rig.FrameAt(31, 1024).PixelColor(19, 9), kTarget);
  EXPECT_EQ(rig.FrameAt(31, 0).PixelColor(19, 9), kSource);
  // The frame the procedure leaves is the next call's canvas: a push compounds.
  rig.engine->FStep = 512;
  rig.engine->TimerStep(nullptr);
  EXPECT_EQ(rig.engine->FFrameBitmap->PixelColor(0, 0), kTarget);
  // A code whose row has no procedure would keep the previous frame; codes 1 to 30 are the
  // engine's own, so every catalogue code from 31 up has one.
  for (int code = 31; code <= 214; ++code) EXPECT_NE(TransitionEffects[code - 1].Proc, nullptr);
}

TEST_F(TransitionEngine, PanAndZoomDoesNotPaintTheEndPicture) {
  TEngineRig rig;
  TRVBitmap image;
  FillPicture(image, 40, 20);
  rig.engine->FUpdateOnStop = true;
  ASSERT_TRUE(rig.engine->StartPanZoom(&image, {0, 0, 40, 20}, {10, 5, 30, 15}, 100, rvttLinear));
  rig.engine->TimerStep(nullptr);
  EXPECT_EQ(rig.painted.size(), 1u);
  const platform::TColor first = rig.painted.at(0);
  const TRGB want = PictureColour(14, 10);  // frame (7, 5) shows image (14, 10) at half scale
  EXPECT_EQ(first, RGB(want.r, want.g, want.b));
  rig.now += 100;
  rig.engine->TimerStep(nullptr);
  EXPECT_FALSE(rig.engine->FRunning);
  EXPECT_FALSE(rig.painted.contains(1024));
  // A rectangle reaching out of the image: its 10 x 20 inside part fitted into the frame (5 x 10,
  // from column 7), over the background.
  ASSERT_TRUE(rig.engine->StartPanZoom(&image, {-30, 0, 10, 20}, {-30, 0, 10, 20}, 100, rvttLinear));
  rig.engine->TimerStep(nullptr);
  EXPECT_EQ(rig.engine->FFrameBitmap->PixelColor(2, 5), kBack);
  EXPECT_EQ(rig.engine->FFrameBitmap->PixelColor(15, 5), kBack);
  EXPECT_NE(rig.engine->FFrameBitmap->PixelColor(9, 5), kBack);
}
