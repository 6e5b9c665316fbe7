// The allocation watch: every request goes through Note, which keeps the largest size seen and
// the sum of all.
#include "AllocationWatch.h"

#include <atomic>

namespace {

std::atomic<size_t> largest{0};
std::atomic<size_t> total{0};

void Note(size_t n) {
  total.fetch_add(n, std::memory_order_relaxed);
  size_t seen = largest.load(std::memory_order_relaxed);
  while (n > seen && !largest.compare_exchange_weak(seen, n, std::memory_order_relaxed)) {
  }
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
#define ZEPHOR_WATCH_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZEPHOR_WATCH_SANITIZER 1
#endif
#endif

#ifdef ZEPHOR_WATCH_SANITIZER
// The sanitizer owns malloc; it calls these hooks for every block it hands out.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                                          void (*onFree)(const volatile void*));
namespace {
void OnMalloc(const volatile void*, size_t n) { Note(n); }
void OnFree(const volatile void*) {}
const int kInstalled = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
}  // namespace
#else
// The C library's allocator under its internal names; the definitions below stand in for the
// public ones in this program (and in the libraries it loads).
extern "C" {
void* __libc_malloc(size_t n);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t n);

void* malloc(size_t n) noexcept {
  Note(n);
  return __libc_malloc(n);
}
void* calloc(size_t count, size_t size) noexcept {
  size_t n = 0;
  Note(__builtin_mul_overflow(count, size, &n) ? static_cast<size_t>(-1) : n);
  return __libc_calloc(count, size);
}
void* realloc(void* p, size_t n) noexcept {
  Note(n);
  return __libc_realloc(p, n);
}
}
#endif

namespace test_support {

size_t LargestAllocationDuring(const std::function<void()>& body) {
  largest.store(0, std::memory_order_relaxed);
  body();
  return largest.load(std::memory_order_relaxed);
}

size_t TotalAllocationDuring(const std::function<void()>& body) {
  total.store(0, std::memory_order_relaxed);
  body();
  return total.load(std::memory_order_relaxed);
}

}  // namespace test_support
