// Resampling of a 4000 x 3000 24-bit picture with Lanczos3 to 511 x 511 (the background
// picture) and 1024 x 1024 (a large texture), on 1, 2 and all cores, beside libvips' reduce of
// the same memory with the same kernel and thread count in the same process. compare.sh runs
// the work through the libvips and ImageMagick programs too.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

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

// libvips through its C interface, loaded at run time from the runtime library that the
// comparison tools install (no development package needed for one baseline). Only the calls
// the comparison makes; vips_reduce's default kernel is Lanczos3 and it never box-shrinks first.
struct Vips {
  using InitFn = int (*)(const char*);
  using FromMemoryFn = void* (*)(const void*, size_t, int, int, int, int);
  using ReduceFn = int (*)(void*, void**, double, double, ...);
  using ToMemoryFn = void* (*)(void*, size_t*);
  using ConcurrencyFn = void (*)(int);
  using UnrefFn = void (*)(void*);
  InitFn init = nullptr;
  FromMemoryFn fromMemory = nullptr;
  ReduceFn reduce = nullptr;
  ToMemoryFn toMemory = nullptr;
  ConcurrencyFn concurrency = nullptr;
  UnrefFn unref = nullptr, gfree = nullptr;
  bool ok = false;

  static Vips& Get() {
    static Vips v = [] {
      Vips r;
      void* lib = dlopen("libvips.so.42", RTLD_NOW | RTLD_GLOBAL);
      void* gobject = dlopen("libgobject-2.0.so.0", RTLD_NOW | RTLD_GLOBAL);
      void* glib = dlopen("libglib-2.0.so.0", RTLD_NOW | RTLD_GLOBAL);
      if (!lib || !gobject || !glib) return r;
      r.init = reinterpret_cast<InitFn>(dlsym(lib, "vips_init"));
      r.fromMemory = reinterpret_cast<FromMemoryFn>(dlsym(lib, "vips_image_new_from_memory"));
      r.reduce = reinterpret_cast<ReduceFn>(dlsym(lib, "vips_reduce"));
      r.toMemory = reinterpret_cast<ToMemoryFn>(dlsym(lib, "vips_image_write_to_memory"));
      r.concurrency = reinterpret_cast<ConcurrencyFn>(dlsym(lib, "vips_concurrency_set"));
      r.unref = reinterpret_cast<UnrefFn>(dlsym(gobject, "g_object_unref"));
      r.gfree = reinterpret_cast<UnrefFn>(dlsym(glib, "g_free"));
      r.ok = r.init && r.fromMemory && r.reduce && r.toMemory && r.concurrency && r.unref && r.gfree &&
             r.init("bench_rastova_proc") == 0;
      return r;
    }();
    return v;
  }
};

// The benchmark picture as packed 3-band rows (the band order does not change the work).
const std::vector<uint8_t>& PackedSource() {
  static const std::vector<uint8_t> packed = [] {
    rv::TRVBitmap& src = Source();
    std::vector<uint8_t> v(static_cast<size_t>(4000) * 3000 * 3);
    for (int32_t y = 0; y < 3000; ++y)
      std::memcpy(&v[static_cast<size_t>(y) * 12000], src.GetScanLine(y), 12000);
    return v;
  }();
  return packed;
}

// Arguments: destination side, thread count (0 = one per core).
void BM_VipsReduceLanczos3(benchmark::State& state) {
  Vips& vips = Vips::Get();
  if (!vips.ok) {
    state.SkipWithError("libvips.so.42 could not be loaded");
    return;
  }
  const std::vector<uint8_t>& packed = PackedSource();
  const auto side = static_cast<double>(state.range(0));
  const int threads = state.range(1) == 0 ? rv::GetProcessorCoreCount() : static_cast<int>(state.range(1));
  vips.concurrency(threads);
  for (auto _ : state) {
    void* in = vips.fromMemory(packed.data(), packed.size(), 4000, 3000, 3, 0 /* unsigned char */);
    void* out = nullptr;
    if (!in || vips.reduce(in, &out, 4000.0 / side, 3000.0 / side, nullptr) != 0) {
      state.SkipWithError("vips_reduce failed");
      if (in) vips.unref(in);
      return;
    }
    size_t size = 0;
    void* pixels = vips.toMemory(out, &size);
    benchmark::DoNotOptimize(pixels);
    vips.gfree(pixels);
    vips.unref(out);
    vips.unref(in);
  }
  state.counters["threads"] = threads;
}
BENCHMARK(BM_VipsReduceLanczos3)
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
