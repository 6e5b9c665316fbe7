// Resampling of a 4000 x 3000 24-bit picture with Lanczos3 to 511 x 511 (the background
// picture) and 1024 x 1024 (a large texture), on 1, 2 and all cores. compare.sh runs the
// same work through libvips and ImageMagick.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVResample.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RastovaProc.h"

namespace {

// A picture with detail at every scale, the same as the one compare.sh writes.
rv::TRVBitmap& Source() {
  static std::unique_ptr<rv::TRVBitmap> source = [] {
    rv::RastovaLibraryStartup();
    auto b = std::make_unique<rv::TRVBitmap>(4000, 3000, rv::rv24RGB);
    for (int32_t y = 0; y < 3000; ++y) {
      uint8_t* p = b->GetScanLine(y);
      for (int32_t x = 0; x < 4000; ++x) {
        p[3 * x] = static_cast<uint8_t>((x * y) >> 6);
        p[3 * x + 1] = static_cast<uint8_t>(x ^ y);
        p[3 * x + 2] = static_cast<uint8_t>((x + 2 * y) >> 3);
      }
    }
    return b;
  }();
  return *source;
}

// Arguments: destination side, thread count (0 = one per core).
void BM_ResampleLanczos3(benchmark::State& state) {
  rv::TRVBitmap& src = Source();
  const auto side = static_cast<int32_t>(state.range(0));
  rv::testing::ResampleThreadCount = static_cast<int32_t>(state.range(1));
  rv::TRVBitmap dst(side, side, rv::rv24RGB);
  for (auto _ : state) {
    rv::ResampleFiltered(src, dst, rv::rfLanczos3, nullptr, rv::TRVProgressEvent());
    benchmark::DoNotOptimize(dst.GetScanLine(0));
  }
  rv::testing::ResampleThreadCount = 0;
  state.counters["threads"] = state.range(1) == 0 ? rv::GetProcessorCoreCount() : static_cast<double>(state.range(1));
}
BENCHMARK(BM_ResampleLanczos3)
    ->ArgsProduct({{511, 1024}, {1, 2, 0}})
    ->ArgNames({"side", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The program's own road: a component without owner resampling an attached image in place.
void BM_ProcResampleInPlace(benchmark::State& state) {
  rv::TRVBitmap& src = Source();
  for (auto _ : state) {
    state.PauseTiming();
    rv::TRVBitmap image;
    image.Assign(&src);
    state.ResumeTiming();
    rv::TRastovaProc proc;
    proc.SetAttachedRVBitmap(&image);
    proc.Resample(511, 511, rv::rfLanczos3);
    benchmark::DoNotOptimize(image.GetScanLine(0));
  }
}
BENCHMARK(BM_ProcResampleInPlace)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
