#pragma once
// Calls that other threads hand to the main (user-interface) thread. The GUI layer installs
// a wake-up hook that nudges its event loop, which then drains the queue; code without a GUI
// (tests, the 3D library's service thread at shut-down) drains it directly.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace common {

class TMainThreadQueue {
 public:
  static TMainThreadQueue& Instance();

  // The calling thread becomes the main thread (start-up calls this first).
  void SetMainThread();
  bool IsMainThread() const;

  // Called, from the posting thread, after every Post; may be empty.
  void SetWakeUp(std::function<void()> wake);

  // Queues a call for the main thread and returns at once.
  void Post(std::function<void()> call);
  // Runs a call on the main thread and waits for it; on the main thread it runs directly.
  // An exception thrown by the call is rethrown in the caller.
  void Synchronize(const std::function<void()>& call);

  // Runs every queued call, in order (main thread only). Returns how many ran.
  size_t Drain();
  // Waits up to `timeout` for a call to arrive, then drains. Shut-down loops on this while
  // it waits for another thread, so that thread's Synchronize calls never deadlock.
  size_t WaitAndDrain(std::chrono::milliseconds timeout);
  size_t Pending() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::function<void()>> calls_;
  std::function<void()> wake_;
  std::thread::id main_ = std::this_thread::get_id();
};

}  // namespace common
