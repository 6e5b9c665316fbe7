#pragma once
// TTimer: calls OnTimer every Interval milliseconds while Enabled, on the thread's event
// loop. Changing Interval or Enabled restarts the count. An Interval of 0 never fires.
#include <QTimer>
#include <functional>

namespace platform {

class TTimer {
 public:
  TTimer();
  ~TTimer();
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  int Interval() const { return interval_; }
  void SetInterval(int milliseconds);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  std::function<void(TTimer* Sender)> OnTimer;

 private:
  void Update();

  QTimer timer_;
  int interval_ = 1000;
  bool enabled_ = true;
};

}  // namespace platform
