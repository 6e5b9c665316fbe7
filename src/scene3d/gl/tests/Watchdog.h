#pragma once
// Ends the test program when `fn` does not finish in time: a deadlock would otherwise hang CI.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>

namespace gl3d::test {

inline void WithWatchdog(std::chrono::seconds limit, const std::function<void()>& fn) {
  std::atomic<bool> done{false};
  std::thread dog([&done, limit] {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!done) {
      std::fprintf(stderr, "watchdog: deadlock\n");
      std::_Exit(3);
    }
  });
  fn();
  done = true;
  dog.join();
}

}  // namespace gl3d::test
