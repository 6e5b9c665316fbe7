// Transition frames on 1920 x 1080 24-bit pictures against the plain copies they are made of:
// a push frame against a memcpy of the frame, speckled and shredded frames (region and clipped
// copy) against one unclipped copy of the Target, and regions of 20,000 rectangles against 2,000.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPainter>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "rastova/core/RVStartup.h"
#include "rastova/view/RastovaViewStartup.h"
#include "rastova/view/core/RastovaView.h"
#include "rastova/view/transitions/ComplexRegion.h"
#include "rastova/view/transitions/RVTransitionEffects.h"
#include "rastova/view/transitions/TransitionEffects.h"

using namespace platform;

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

struct Frames {
  TBitmap Source{kWidth, kHeight, pf24bit}, Target{kWidth, kHeight, pf24bit}, Frame{kWidth, kHeight, pf24bit};
  Frames() {
    std::memset(Source.Bits(), 0x40, static_cast<size_t>(Source.BytesPerLine()) * kHeight);
    std::memset(Target.Bits(), 0xC0, static_cast<size_t>(Target.BytesPerLine()) * kHeight);
    Frame.Assign(Source);
    Frame.Canvas().StretchMode = smHalftone;
  }
  TRect Rect() const { return {0, 0, kWidth, kHeight}; }
};

void BM_FrameMemcpy(benchmark::State& state) {
  Frames f;
  const size_t bytes = static_cast<size_t>(f.Frame.BytesPerLine()) * kHeight;
  for (auto _ : state) {
    std::memcpy(f.Frame.Bits(), f.Target.Bits(), bytes);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FrameMemcpy)->Unit(benchmark::kMicrosecond);

void BM_TargetCopyRect(benchmark::State& state) {
  Frames f;
  for (auto _ : state) {
    f.Frame.Canvas().CopyRect(f.Rect(), f.Target.Canvas(), f.Rect());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_TargetCopyRect)->Unit(benchmark::kMicrosecond);

// One frame of a catalogue row at Progress; the arg is the row.
void BM_EffectFrame(benchmark::State& state) {
  Frames f;
  const rv::TEffect& effect = rv::TransitionEffects[state.range(0)];
  for (auto _ : state) {
    effect.Proc(f.Frame.Canvas(), f.Source, f.Target, f.Rect(), 1, static_cast<int32_t>(state.range(1)));
    benchmark::ClobberMemory();
  }
  state.SetLabel(std::string(effect.Name));
}
// 150 "Push Left and Slide out", 151 its mirror; 146 "Speckled Wipe from Left"; 94 "Shredded from
// Left", 98 "Shredded from Top and Left" (rows and columns).
BENCHMARK(BM_EffectFrame)
    ->Args({150, 10})
    ->Args({151, 50})
    ->Args({146, 50})
    ->Args({94, 50})
    ->Args({98, 50})
    ->Unit(benchmark::kMicrosecond);

// ---- the engine: one timer step (frame, copy to the window surface) of a running transition

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_rastova_view_transitions";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    auto* a = new QApplication(argc, argv);
    rv::RegisterRastovaViewStartup();
    rv::RastovaLibraryStartup();
    return a;
  }();
  return *app;
}

struct EngineRig {
  Frames f;
  std::unique_ptr<rv::TRastovaView> view;
  rv::TRVTransitionEffects* engine;
  EngineRig() {
    App();
    view = std::make_unique<rv::TRastovaView>();
    view->WriteBorderStyle(platform::bsNone);
    view->WriteScrollBars(rv::ssNone);
    view->resize(kWidth, kHeight);
    engine = view->EnsureTransition();
    engine->TickCount = [] { return 0u; };  // the clock stands still: the transition never ends
  }
};

// The frame alone (arg 1) or the whole step with the copy to the window surface (arg 0).
void BM_EngineStep(benchmark::State& state) {
  EngineRig rig;
  const auto code = static_cast<uint8_t>(state.range(0));
  if (!rig.engine->Start(code, rig.f.Source, rig.f.Target, 1000, rv::rvttLinear))
    state.SkipWithError("no start");
  for (auto _ : state) {
    rig.engine->FStep = 512;
    rig.engine->TimerStep(nullptr);
    benchmark::ClobberMemory();
  }
  state.SetLabel(std::string(rv::TransitionEffects[code - 1].Name));
}
// 1 "Cross Fade", 17 "Push Left to Right", 21 "Push Top to Bottom".
BENCHMARK(BM_EngineStep)->Arg(1)->Arg(17)->Arg(21)->Unit(benchmark::kMicrosecond);

void BM_EnginePanZoomStep(benchmark::State& state) {
  EngineRig rig;
  rv::TRVBitmap image;
  image.Allocate(kWidth, kHeight, rv::rv24RGB);
  if (!rig.engine->StartPanZoom(&image, {0, 0, kWidth, kHeight}, {480, 270, 1440, 810}, 1000, rv::rvttLinear))
    state.SkipWithError("no start");
  for (auto _ : state) {
    rig.engine->FStep = 512;
    rig.engine->TimerStep(nullptr);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_EnginePanZoomStep)->Unit(benchmark::kMicrosecond);

// What every step above includes: the 24-bit frame copied onto the 32-bit window surface.
void BM_FrameToSurface(benchmark::State& state) {
  EngineRig rig;
  platform::TCanvas& surface = rig.view->GetCanvas();
  for (auto _ : state) {
    surface.CopyRect(rig.f.Rect(), rig.f.Frame.Canvas(), rig.f.Rect());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FrameToSurface)->Unit(benchmark::kMicrosecond);

// The pan-and-zoom's reference: the same rectangle (240, 135, 1440 x 810) scaled onto the frame.
void BM_QPainterScaledRect(benchmark::State& state) {
  QImage source(kWidth, kHeight, QImage::Format_BGR888), frame(kWidth, kHeight, QImage::Format_BGR888);
  source.fill(Qt::gray);
  for (auto _ : state) {
    QPainter p(&frame);
    p.drawImage(QRectF(0, 0, kWidth, kHeight), source, QRectF(240, 135, 1440, 810));
    p.end();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_QPainterScaledRect)->Unit(benchmark::kMicrosecond);

// Rectangles laid out as the grids and fringes lay them: rows half-overlapping, ragged ends.
// As in a running transition every frame's list differs, the iterations go round eight lists
// (one list repeated would let the processor learn its branches by heart at the small size).
void BM_CreateRegion(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  std::mt19937 rng(3);
  std::vector<std::unique_ptr<rv::TComplexRegion>> lists;
  for (int k = 0; k < 8; ++k) {
    lists.push_back(std::make_unique<rv::TComplexRegion>());
    for (int i = 0; i < count; ++i) {
      const int row = i / 40, x = (i % 40) * 48 + static_cast<int>(rng() % 16);
      lists.back()->AddRect(x, row * 3, x + 8 + static_cast<int>(rng() % 40), row * 3 + 6);
    }
  }
  size_t k = 0;
  for (auto _ : state) benchmark::DoNotOptimize(lists[k++ % lists.size()]->CreateRegion());
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_CreateRegion)->Arg(2000)->Arg(20000)->Arg(200000)->Unit(benchmark::kMicrosecond);

}  // namespace
