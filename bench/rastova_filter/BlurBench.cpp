// The Gaussian blur of a 4096 x 4096 grey image at sigma 3, on the calling thread (the blur has
// no workers). compare.sh runs the same blur through libvips on one thread.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVColorReduce.h"
#include "rastova/core/RVStartup.h"

namespace {

constexpr int32_t kSide = 4096;

// The same picture compare.sh writes: detail at every scale.
std::unique_ptr<rv::TRVBitmap> Picture() {
  rv::RastovaLibraryStartup();
  auto b = std::make_unique<rv::TRVBitmap>(kSide, kSide, rv::rv8g);
  for (int32_t y = 0; y < kSide; ++y) {
    uint8_t* p = b->GetScanLine(y);
    for (int32_t x = 0; x < kSide; ++x) p[x] = static_cast<uint8_t>((x ^ y) + ((x * y) >> 7));
  }
  return b;
}

// Argument: 1 takes the path for processors without AVX2.
void BM_GaussianBlurGray(benchmark::State& state) {
  static std::unique_ptr<rv::TRVBitmap> picture = Picture();
  rv::testing::BlurWithoutAvx2 = state.range(0) != 0;
  for (auto _ : state) {
    // In place: each round blurs the last one's result, which costs the same.
    rv::GaussianBlurGray(*picture, 0, 0, kSide - 1, kSide - 1, 3.0);
    benchmark::DoNotOptimize(picture->GetScanLine(0));
  }
  rv::testing::BlurWithoutAvx2 = false;
  state.SetItemsProcessed(state.iterations() * int64_t(kSide) * kSide);
}
BENCHMARK(BM_GaussianBlurGray)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("plain")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
