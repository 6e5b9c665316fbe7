// The magic wand on a uniform 4000 x 3000 24-bit picture: the region written into an 8-bit mask
// of the picture's size beside a memset of the same mask, and the region's outline with the
// peak of heap memory it takes.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/select/RVMagicWand.h"

// ---------------------------------------------------------------- heap in use

// Every allocation entry point of the C library counts the bytes it hands out, so that the
// benchmark can report the peak of a call.
namespace {
std::atomic<int64_t> heapInUse{0};
std::atomic<int64_t> heapPeak{0};
void Counted(void* p, int64_t sign) {
  if (p == nullptr) return;
  const int64_t now = heapInUse.fetch_add(sign * static_cast<int64_t>(malloc_usable_size(p))) +
                      sign * static_cast<int64_t>(malloc_usable_size(p));
  int64_t peak = heapPeak.load(std::memory_order_relaxed);
  while (now > peak && !heapPeak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
  }
}
}  // namespace

extern "C" {
void* __libc_malloc(size_t n);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t n);
void* __libc_memalign(size_t alignment, size_t n);
void __libc_free(void* p);

void* malloc(size_t n) noexcept {
  void* p = __libc_malloc(n);
  Counted(p, 1);
  return p;
}
void* calloc(size_t count, size_t size) noexcept {
  void* p = __libc_calloc(count, size);
  Counted(p, 1);
  return p;
}
void* realloc(void* p, size_t n) noexcept {
  Counted(p, -1);
  void* q = __libc_realloc(p, n);
  Counted(q != nullptr ? q : (n != 0 ? p : nullptr), 1);
  return q;
}
void free(void* p) noexcept {
  Counted(p, -1);
  __libc_free(p);
}
void* memalign(size_t alignment, size_t n) noexcept {
  void* p = __libc_memalign(alignment, n);
  Counted(p, 1);
  return p;
}
void* aligned_alloc(size_t alignment, size_t n) noexcept { return memalign(alignment, n); }
int posix_memalign(void** out, size_t alignment, size_t n) noexcept {
  void* p = memalign(alignment, n);
  if (p == nullptr) return 12;  // ENOMEM
  *out = p;
  return 0;
}
}

namespace {

constexpr int32_t kWidth = 4000, kHeight = 3000;

rv::TRVBitmap& Uniform() {
  static std::unique_ptr<rv::TRVBitmap> picture = [] {
    rv::RastovaLibraryStartup();
    auto b = std::make_unique<rv::TRVBitmap>(kWidth, kHeight, rv::rv24RGB);
    b->Fill(0x336699);
    return b;
  }();
  return *picture;
}

void BM_MagicWandFillMask(benchmark::State& state) {
  rv::TRVBitmap& picture = Uniform();
  rv::TRVMask mask;
  mask.AllocateBits(kWidth, kHeight, 8);
  for (auto _ : state) {
    rv::MagicWandFillMask(picture, kWidth / 2, kHeight / 2, 255, mask, 0, false);
    benchmark::DoNotOptimize(mask.GetScanLine(0));
  }
  state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
}
BENCHMARK(BM_MagicWandFillMask)->Unit(benchmark::kMillisecond)->UseRealTime();

// What the fill is measured against: the same mask set with one memset.
void BM_MaskMemset(benchmark::State& state) {
  rv::TRVMask mask;
  mask.AllocateBits(kWidth, kHeight, 8);
  uint8_t* bits = mask.GetScanLine(kHeight - 1);  // rows are stored bottom-up
  const size_t size = static_cast<size_t>(mask.RowLen()) * kHeight;
  for (auto _ : state) {
    std::memset(bits, 255, size);
    benchmark::DoNotOptimize(bits);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t(kWidth) * kHeight);
}
BENCHMARK(BM_MaskMemset)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MagicWandOutline(benchmark::State& state) {
  rv::TRVBitmap& picture = Uniform();
  int64_t peak = 0;
  for (auto _ : state) {
    heapPeak.store(heapInUse.load());
    const int64_t before = heapInUse.load();
    int32_t count = 0;
    std::vector<rv::TRVPoint> outline =
        rv::MagicWandOutline(picture, kWidth / 2, kHeight / 2, count, 0, false);
    benchmark::DoNotOptimize(outline.data());
    peak = std::max(peak, heapPeak.load() - before);
    if (count != 8) state.SkipWithError("the uniform picture's outline has 8 vertices");
  }
  state.counters["peak_MB"] = static_cast<double>(peak) / (1 << 20);
  state.counters["picture_MB"] = static_cast<double>(picture.ImageSize()) / (1 << 20);
}
BENCHMARK(BM_MagicWandOutline)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
