// Building a selection polygon point by point (as lasso drags and the magic wand's outlines do):
// 100,000 points added one at a time against one block copy of the same points. Each point costs
// the same whatever the polygon's length; the polygon keeps its block between runs, so that the
// allocator and the system's page faults are not what is measured.
#include <benchmark/benchmark.h>

#include <QWidget>
#include <cstring>
#include <vector>

#include "BenchApp.h"
#include "rastova/view/core/RastovaView.h"

namespace {

constexpr int32_t kPoints = 100000;

// An outline that wanders over a 1000 x 1000 picture.
std::vector<rv::TRVPoint> Outline() {
  std::vector<rv::TRVPoint> p(kPoints);
  for (int32_t i = 0; i < kPoints; ++i) p[size_t(i)] = {(i * 37) % 1000, (i * 91 + i / 7) % 1000};
  return p;
}

void BM_AddPolygonPointOneByOne(benchmark::State& state) {
  viewbench::App();
  QWidget parent;
  auto* v = new rv::TRastovaView(&parent);
  v->resize(200, 200);
  v->LockPaint();  // the points, not repaints
  const std::vector<rv::TRVPoint> points = Outline();
  for (auto _ : state) {
    v->FSelectionPolygon->Points.clear();
    for (const rv::TRVPoint& p : points) v->AddPolygonPoint(v->FSelectionPolygon, p.x, p.y);
    benchmark::DoNotOptimize(v->FSelectionPolygon->Points.data());
  }
  if (v->GetPolySelCount() != kPoints || v->FSelectionPolygon->X2 != 999) state.SkipWithError("points lost");
  state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_AddPolygonPointOneByOne)->Unit(benchmark::kMicrosecond);

void BM_CopyPolygonPointsAtOnce(benchmark::State& state) {
  const std::vector<rv::TRVPoint> points = Outline();
  std::vector<rv::TRVPoint> copy(points.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), points.data(), points.size() * sizeof(rv::TRVPoint));
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_CopyPolygonPointsAtOnce)->Unit(benchmark::kMicrosecond);

}  // namespace
