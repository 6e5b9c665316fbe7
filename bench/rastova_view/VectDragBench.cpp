// One drag step of the vector layer's selection (100 selected objects among 10,000 mixed ones on
// a 1920 x 1080 view, moved by the mouse handler and repainted) against a repaint of the same
// layer with nothing moved.
#include <benchmark/benchmark.h>

#include <QWidget>
#include <random>

#include "BenchApp.h"
#include "rastova/view/vector/RastovaVect.h"

namespace {

constexpr int kW = 1920, kH = 1080;

// The application object before the window.
struct TAppFirst {
  TAppFirst() { viewbench::App(); }
};

struct TDragLayer {
  TDragLayer() {
    v = viewbench::NewVectLayer(parent, kW, kH);
    // Both measure the quality drawing (a held button would switch to the fast one).
    v->PrimaryButtonProbe = [] { return false; };
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> x(0, kW - 60), y(0, kH - 60), s(5, 60);
    for (int i = 0; i < 10000; ++i) {
      rv::TRVVObjRecord o = v->NewObjectTemplate;
      o.Kind = i % 4 == 0 ? rv::rvkLINE : i % 4 == 1 ? rv::rvkBOX : i % 4 == 2 ? rv::rvkELLIPSE : rv::rvkPOLYLINE;
      o.X1 = x(rng), o.Y1 = y(rng), o.X2 = o.X1 + s(rng), o.Y2 = o.Y1 + s(rng);
      o.PenColor = 0x204080;
      o.PenWidth = 2;
      const int32_t h = v->AddNewObject(o);
      if (o.Kind == rv::rvkPOLYLINE)
        for (int k = 0; k < 10; ++k) v->AddPolylinePoint(h, o.X1 + (k * 37) % 50, o.Y1 + (k * 23) % 50);
      if (i % 100 == 0) v->AppendSelObject(h);
    }
    v->ObjectInteract = rv::rvoiEditObjects;
    v->Update();
    v->PaintPendingNow();
  }
  TAppFirst app;
  QWidget parent;
  rv::TRastovaVect* v;
};

void BM_VectDragStep(benchmark::State& state) {
  TDragLayer l;
  rv::TRastovaVect& v = *l.v;
  // The button went down inside the selection: every move drags it (grip 3). The press itself
  // must not select the object under it.
  v.SelectOnMouseDown = false;
  v.MouseDown(platform::mbLeft, {}, 5, 5);
  v.DragGrip = 3;
  int step = 0;
  for (auto _ : state) {
    // Back and forth by one pixel, never onto the mouse-down point.
    v.MouseMove({}, 6 + (step++ & 1), 6);
    v.PaintPendingNow();
  }
  if (v.SelObjectsCount() != 100 || v.ObjectMoving != 1) state.SkipWithError("no selection was dragged");
}
BENCHMARK(BM_VectDragStep)->Unit(benchmark::kMillisecond);

void BM_VectRepaintUnmoved(benchmark::State& state) {
  TDragLayer l;
  for (auto _ : state) {
    l.v->Update();
    l.v->PaintPendingNow();
  }
}
BENCHMARK(BM_VectRepaintUnmoved)->Unit(benchmark::kMillisecond);

}  // namespace
