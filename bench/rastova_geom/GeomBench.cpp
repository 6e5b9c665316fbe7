// Colour reduction and rotation benchmarks: quantizing a 2048 x 2048 photograph to 256
// colours and turning a 4000 x 3000 picture by 30 degrees. compare.sh runs the same work with
// ImageMagick and prints the ratios; it hands over its pictures as binary PPM files through
// GEOM_BENCH_PHOTO (2048 x 2048) and GEOM_BENCH_WIDE (4000 x 3000). Without them the
// benchmark makes photograph-like pictures of its own.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVColorReduce.h"
#include "rastova/core/RVQuantizer.h"
#include "rastova/core/RVRotate.h"
#include "rastova/core/RVStartup.h"

using namespace rv;

namespace {

struct Library {
  Library() { RastovaLibraryStartup(); }
  ~Library() { RastovaLibraryShutdown(); }
};
void Started() { static Library library; }

// Reads a binary PPM (P6, maxval 255) into a 24-bit image; nullptr when it cannot.
std::unique_ptr<TRVBitmap> ReadPPM(const char* name) {
  FILE* f = std::fopen(name, "rb");
  if (!f) return nullptr;
  int w = 0, h = 0, maxval = 0;
  std::unique_ptr<TRVBitmap> b;
  if (std::fscanf(f, "P6 %d %d %d", &w, &h, &maxval) == 3 && maxval == 255 && w > 0 && h > 0 && w <= 65536 &&
      h <= 65536 && std::fgetc(f) != EOF) {
    b = std::make_unique<TRVBitmap>(w, h, rv24RGB);
    for (int y = 0; y < h && b; ++y) {
      uint8_t* r = b->GetScanLine(y);
      if (std::fread(r, 3, static_cast<size_t>(w), f) != static_cast<size_t>(w))
        b.reset();
      else
        for (int x = 0; x < w; ++x) std::swap(r[3 * x], r[3 * x + 2]);
    }
  }
  std::fclose(f);
  return b;
}

// Smooth gradients with soft rings and a little noise, like a photograph's content.
std::unique_ptr<TRVBitmap> MakePhoto(int w, int h) {
  auto b = std::make_unique<TRVBitmap>(w, h, rv24RGB);
  uint32_t s = 12345;
  for (int y = 0; y < h; ++y) {
    uint8_t* r = b->GetScanLine(y);
    for (int x = 0; x < w; ++x) {
      s = s * 1103515245u + 12345u;
      int noise = static_cast<int>((s >> 16) % 7) - 3;
      int dx = x - w / 3, dy = y - h / 2;
      int ring = ((dx * dx + dy * dy) / (w / 8 + 1)) % 256;
      auto c = [&](int v) { return static_cast<uint8_t>(std::clamp(v + noise, 0, 255)); };
      r[3 * x] = c((ring + x / 16) % 256);
      r[3 * x + 1] = c(y * 255 / h);
      r[3 * x + 2] = c(x * 255 / w);
    }
  }
  return b;
}

TRVBitmap& Picture(const char* env, int w, int h) {
  Started();
  const char* name = std::getenv(env);
  std::unique_ptr<TRVBitmap> b = name ? ReadPPM(name) : nullptr;
  if (!b) b = MakePhoto(w, h);
  return *b.release();
}

TRVBitmap& Photo() {
  static TRVBitmap& b = Picture("GEOM_BENCH_PHOTO", 2048, 2048);
  return b;
}
TRVBitmap& Wide() {
  static TRVBitmap& b = Picture("GEOM_BENCH_WIDE", 4000, 3000);
  return b;
}

// Quantizes a copy of the photograph in place to 256 colours (automatic method: NeuQuant).
void BM_Quantize256(benchmark::State& state) {
  TRVBitmap& src = Photo();
  for (auto _ : state) {
    state.PauseTiming();
    TRVBitmap work;
    work.Assign(&src);
    state.ResumeTiming();
    QuantizeBitmap(work, 256, nullptr, nullptr, {});
    benchmark::DoNotOptimize(work.GetScanLine(0));
  }
}
BENCHMARK(BM_Quantize256)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same with the variance split.
void BM_Quantize256VarianceSplit(benchmark::State& state) {
  TRVBitmap& src = Photo();
  const int32_t saved = ColorReductionMethod;
  ColorReductionMethod = 1;
  for (auto _ : state) {
    state.PauseTiming();
    TRVBitmap work;
    work.Assign(&src);
    state.ResumeTiming();
    QuantizeBitmap(work, 256, nullptr, nullptr, {});
    benchmark::DoNotOptimize(work.GetScanLine(0));
  }
  ColorReductionMethod = saved;
}
BENCHMARK(BM_Quantize256VarianceSplit)->Unit(benchmark::kMillisecond)->UseRealTime();

// Turns a copy of the 4000 x 3000 picture by 30 degrees: bilinear, bicubic, three shears.
void BM_Rotate30(benchmark::State& state) {
  TRVBitmap& src = Wide();
  const int method = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    TRVBitmap work;
    work.Assign(&src);
    state.ResumeTiming();
    if (method == 3)
      RotateShear24(work, 30, true, 0xFFFFFF, {}, nullptr);
    else if (method == 0)
      RotateBitmapNearest(work, 0xFFFFFF, nullptr, {}, 30);
    else
      RotateInterpolated24(work, 0xFFFFFF, method, nullptr, {}, 30);
    benchmark::DoNotOptimize(work.GetScanLine(0));
  }
}
BENCHMARK(BM_Rotate30)->Arg(1)->Arg(2)->Arg(3)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
