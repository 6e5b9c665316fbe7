// Image buffer benchmarks on a 4096 x 4096 picture: conversions from 24-bit RGB as a ratio to
// a plain memcpy of the same bytes, and allocation plus a GetScanLine sweep in memory and in
// a temporary file.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStartup.h"

using namespace rv;

namespace {

constexpr int kSize = 4096;

struct Library {
  Library() { RastovaLibraryStartup(); }
  ~Library() { RastovaLibraryShutdown(); }
};
Library& Started() {
  static Library library;
  return library;
}

TRVBitmap& Source() {
  static TRVBitmap* source = [] {
    Started();
    auto* b = new TRVBitmap(kSize, kSize, rv24RGB);
    for (int y = 0; y < kSize; ++y) {
      uint8_t* r = b->GetScanLine(y);
      for (int x = 0; x < kSize * 3; ++x) r[x] = static_cast<uint8_t>(x * 7 + y * 13);
    }
    return b;
  }();
  return *source;
}

void BM_MemcpyOf24BitImage(benchmark::State& state) {
  size_t bytes = static_cast<size_t>(kSize) * kSize * 3;
  std::vector<uint8_t> a(bytes, 1), b(bytes);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_MemcpyOf24BitImage)->Unit(benchmark::kMillisecond);

void Convert(benchmark::State& state, TRVPixelFormat format) {
  TRVBitmap& src = Source();
  TRVBitmap dst(kSize, kSize, format);
  dst.CopyAndConvertFormat(src);  // the first touch of fresh pages is not the conversion's cost
  for (auto _ : state) {
    dst.CopyAndConvertFormat(src);
    benchmark::DoNotOptimize(dst.GetScanLine(0));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSize * kSize * 3);
}
void BM_Convert24To32RGB(benchmark::State& state) { Convert(state, rv32RGB); }
void BM_Convert24To8Grey(benchmark::State& state) { Convert(state, rv8g); }
BENCHMARK(BM_Convert24To32RGB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Convert24To8Grey)->Unit(benchmark::kMillisecond);

// Allocation and one pass over every row (reading and writing a byte of each).
void Sweep(benchmark::State& state, bool inFile) {
  Started();
  GlobalMemoryThreshold = inFile ? 0 : -1;
  for (auto _ : state) {
    TRVBitmap b(kSize, kSize, rv24RGB);
    if (b.GetLocation() != (inFile ? rvInTempFile : rvInMemory)) state.SkipWithError("unexpected location");
    for (int y = 0; y < kSize; ++y) {
      uint8_t* r = b.GetScanLine(y);
      r[0] = static_cast<uint8_t>(r[1] + 1);
    }
    b.ReleaseFileRows();
    benchmark::DoNotOptimize(b.GetScanLine(0));
  }
  GlobalMemoryThreshold = -1;
}
void BM_AllocateAndSweepInMemory(benchmark::State& state) { Sweep(state, false); }
void BM_AllocateAndSweepInTempFile(benchmark::State& state) { Sweep(state, true); }
BENCHMARK(BM_AllocateAndSweepInMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllocateAndSweepInTempFile)->Unit(benchmark::kMillisecond);

}  // namespace
