#include "scene3d/gl/GLLog.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace gl3d::gllog {
namespace {
std::mutex g_mutex;
TObserver g_observer = nullptr;
void* g_data = nullptr;
std::atomic<bool> g_watched{false};
}  // namespace

void Write(TLevel level, std::string_view text) {
  if (!g_watched.load(std::memory_order_acquire)) return;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_observer) g_observer(level, text, g_data);
}

std::string Format(const char* fmt, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, fmt);
  int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  if (n < 0) return std::string();
  return std::string(buf, static_cast<size_t>(n) < sizeof buf ? static_cast<size_t>(n) : sizeof buf - 1);
}

void SetObserver(TObserver observer, void* data) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_observer = observer;
  g_data = data;
  g_watched.store(observer != nullptr, std::memory_order_release);
}

}  // namespace gl3d::gllog
