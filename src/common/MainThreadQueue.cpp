#include "common/MainThreadQueue.h"

#include <exception>
#include <memory>

namespace common {

TMainThreadQueue& TMainThreadQueue::Instance() {
  static TMainThreadQueue queue;
  return queue;
}

void TMainThreadQueue::SetMainThread() {
  std::lock_guard lock(mutex_);
  main_ = std::this_thread::get_id();
}

bool TMainThreadQueue::IsMainThread() const {
  std::lock_guard lock(mutex_);
  return main_ == std::this_thread::get_id();
}

void TMainThreadQueue::SetWakeUp(std::function<void()> wake) {
  std::lock_guard lock(mutex_);
  wake_ = std::move(wake);
}

void TMainThreadQueue::Post(std::function<void()> call) {
  std::function<void()> wake;
  {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
    wake = wake_;
  }
  arrived_.notify_all();
  if (wake) wake();
}

void TMainThreadQueue::Synchronize(const std::function<void()>& call) {
  if (IsMainThread()) {
    call();
    return;
  }
  struct Done {
    std::mutex m;
    std::condition_variable cv;
    bool finished = false;
    std::exception_ptr error;
  };
  auto done = std::make_shared<Done>();
  Post([call, done] {
    try {
      call();
    } catch (...) {
      done->error = std::current_exception();
    }
    std::lock_guard lock(done->m);
    done->finished = true;
    done->cv.notify_all();
  });
  std::unique_lock lock(done->m);
  done->cv.wait(lock, [&] { return done->finished; });
  if (done->error) std::rethrow_exception(done->error);
}

size_t TMainThreadQueue::Drain() {
  size_t ran = 0;
  for (;;) {
    std::function<void()> call;
    {
      std::lock_guard lock(mutex_);
      if (calls_.empty()) return ran;
      call = std::move(calls_.front());
      calls_.pop_front();
    }
    call();
    ++ran;
  }
}

size_t TMainThreadQueue::WaitAndDrain(std::chrono::milliseconds timeout) {
  {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, timeout, [&] { return !calls_.empty(); });
  }
  return Drain();
}

size_t TMainThreadQueue::Pending() const {
  std::lock_guard lock(mutex_);
  return calls_.size();
}

}  // namespace common
