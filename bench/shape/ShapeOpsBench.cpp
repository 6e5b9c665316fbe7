// The shape operations on the largest grid, 257 x 257. Run by hand, for instance:
//   build/bench/bench_shape_ops --benchmark_min_time=0.2
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "settings/AppSettings.h"
#include "shape/model/LineMarks.h"
#include "shape/model/uEqualSpacing.h"
#include "shape/model/uRelocate.h"
#include "shape/model/uScPrim.h"
#include "shape/model/uScSelect.h"
#include "shape/model/uTwistPresets.h"
#include "shape/model/uWarpFrame.h"

using namespace shape;

namespace {

constexpr int kSize = 257;

// A committed 257 x 257 grid of the given type, bent a little so nothing is evenly spaced, with
// every point selected.
std::unique_ptr<TCS> BigShape(TScType type) {
  auto cs = std::make_unique<TCS>();
  InitShape(*cs, type, kSize, kSize);
  for (int i = 0; i < kSize; ++i)
    for (int j = 0; j < kSize; ++j) cs->CP[i][j][1] += 0.01 * std::sin(0.37 * i + 0.11 * j * j);
  CopySeams(*cs, 0);
  CommitShapePoints(*cs);
  return cs;
}

void SelectAll(TCS& cs) {
  FillPointFlags(cs.SP, cs.CPMaxI, cs.CPMaxJ, true);
  CountSelectedPoints(cs);
}

void BM_GridEqualDistance(benchmark::State& state) {
  auto base = BigShape(SCTYPE_PLANE);
  SelectAll(*base);
  auto cs = std::make_unique<TCS>();
  for (auto _ : state) {
    *cs = *base;
    benchmark::DoNotOptimize(GridEqualDistance(*cs));
  }
}
BENCHMARK(BM_GridEqualDistance)->Unit(benchmark::kMillisecond);

void BM_GridEqualIntervalsBlock(benchmark::State& state) {
  auto base = BigShape(SCTYPE_PLANE);
  SelectAll(*base);
  auto cs = std::make_unique<TCS>();
  for (auto _ : state) {
    *cs = *base;
    GridEqualIntervals(*cs);
  }
}
BENCHMARK(BM_GridEqualIntervalsBlock)->Unit(benchmark::kMillisecond);

// Every level point selected: the refinement runs round each of them.
void BM_RelocateBySubdivision(benchmark::State& state) {
  const settings::TAppSettings saved = settings::AppSettings;
  settings::AppSettings.EditLevel = static_cast<int>(state.range(0));
  auto base = BigShape(SCTYPE_SPHERE);
  SelectAll(*base);
  auto cs = std::make_unique<TCS>();
  for (auto _ : state) {
    *cs = *base;
    RelocateBySubdivision(*cs);
  }
  settings::AppSettings = saved;
}
BENCHMARK(BM_RelocateBySubdivision)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);

// Every level point moved: every cell is re-spaced.
void BM_RelocateLinear(benchmark::State& state) {
  const settings::TAppSettings saved = settings::AppSettings;
  settings::AppSettings.EditLevel = 2;
  auto base = BigShape(SCTYPE_SPHERE);
  for (int i = 0; i < kSize; i += 2)
    for (int j = 0; j < kSize; j += 2) base->CP[i][j][2] += 0.001;
  auto cs = std::make_unique<TCS>();
  for (auto _ : state) {
    *cs = *base;
    RelocateLinear(*cs);
  }
  settings::AppSettings = saved;
}
BENCHMARK(BM_RelocateLinear)->Unit(benchmark::kMillisecond);

void BM_TwistTorus(benchmark::State& state) {
  auto base = BigShape(SCTYPE_TORUS);
  auto cs = std::make_unique<TCS>();
  for (auto _ : state) {
    *cs = *base;
    TwistTorus(*cs, 1);
  }
}
BENCHMARK(BM_TwistTorus)->Unit(benchmark::kMillisecond);

void BM_ReshapeThroughMarks(benchmark::State& state) {
  auto base = BigShape(SCTYPE_CYLINDER);
  TLineMarks marks{};
  MarkLineRuns(marks, 4);
  auto cs = std::make_unique<TCS>();
  for (auto _ : state) {
    *cs = *base;
    ReshapeThroughMarks(*cs, marks);
  }
}
BENCHMARK(BM_ReshapeThroughMarks)->Unit(benchmark::kMillisecond);

void BM_MakeCushion(benchmark::State& state) {
  auto base = BigShape(SCTYPE_SPHERE);
  auto cs = std::make_unique<TCS>();
  for (auto _ : state) {
    *cs = *base;
    MakeCushion(*cs, 0);
  }
}
BENCHMARK(BM_MakeCushion)->Unit(benchmark::kMillisecond);

// The copy of the record that every case above pays once per iteration.
void BM_CopyRecord(benchmark::State& state) {
  auto base = BigShape(SCTYPE_SPHERE);
  auto cs = std::make_unique<TCS>();
  for (auto _ : state) {
    *cs = *base;
    benchmark::DoNotOptimize(cs->CP[0][0][0]);
  }
}
BENCHMARK(BM_CopyRecord)->Unit(benchmark::kMillisecond);

// The curve warp of every point of a selection as large as the grid.
void BM_CurveWarpGrid(benchmark::State& state) {
  auto cs = std::make_unique<TCS>();
  cs->R1.r00 = TDbl2D{{-1, -1}};
  cs->R1.r11 = TDbl2D{{1, 1}};
  ResetFrameHandles(*cs);
  cs->R0 = cs->R1;
  cs->R1.b6[1] += 0.3;
  cs->R1.b3[0] -= 0.2;
  for (auto _ : state) {
    double sum = 0;
    for (int i = 0; i < kSize; ++i)
      for (int j = 0; j < kSize; ++j) {
        const TDbl2D p{{-1 + 2.0 * i / (kSize - 1), -1 + 2.0 * j / (kSize - 1)}};
        sum += CurveWarpPoint(cs->R0, cs->R1, p)[1];
      }
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_CurveWarpGrid)->Unit(benchmark::kMillisecond);

}  // namespace
