#include "scene3d/gl/GLLog.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "common/NumberText.h"
#include "scene3d/base/GLSLog.h"

namespace gl3d::gllog {
namespace {
std::mutex g_mutex;
TObserver g_observer = nullptr;
void* g_data = nullptr;
std::atomic<bool> g_watched{false};
}  // namespace

void Write(TLevel level, std::string_view text) {
  TLogSession& session = GLSLogger();
  if (!session.IsNullSession()) session.Log(std::string(text), static_cast<TLogLevel>(level));
  if (!g_watched.load(std::memory_order_acquire)) return;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_observer) g_observer(level, text, g_data);
}

std::string Format(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string out = common::FormatCV(fmt, ap);
  va_end(ap);
  return out;
}

void SetObserver(TObserver observer, void* data) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_observer = observer;
  g_data = data;
  g_watched.store(observer != nullptr, std::memory_order_release);
}

}  // namespace gl3d::gllog
