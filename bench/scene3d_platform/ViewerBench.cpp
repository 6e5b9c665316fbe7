// The scene viewer's copy of a swapped frame into its window surface (run by hand, Release
// build): a 400 x 454 RGBA frame, bottom row first, turned into the surface's blue-green-red
// rows, top row first, against a memcpy of the same bytes. The goal is within 3 times memcpy.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "platform/gfx/Bitmap.h"
#include "scene3d/platform/GL3DSceneViewer.h"

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 454;

std::vector<uint8_t> Frame() {
  std::vector<uint8_t> frame(static_cast<size_t>(kWidth) * kHeight * 4);
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
  return frame;
}

void BM_CopyFrameToSurface(benchmark::State& state) {
  const std::vector<uint8_t> frame = Frame();
  platform::TBitmap surface(kWidth, kHeight);
  for (auto _ : state) {
    gl3d::CopyFrameToSurface(frame.data(), kWidth, kHeight, surface);
    benchmark::DoNotOptimize(surface.Bits());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(frame.size()));
}
BENCHMARK(BM_CopyFrameToSurface)->Unit(benchmark::kMicrosecond);

void BM_Memcpy(benchmark::State& state) {
  const std::vector<uint8_t> frame = Frame();
  std::vector<uint8_t> target(frame.size());
  for (auto _ : state) {
    std::memcpy(target.data(), frame.data(), frame.size());
    benchmark::DoNotOptimize(target.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(frame.size()));
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);

}  // namespace
