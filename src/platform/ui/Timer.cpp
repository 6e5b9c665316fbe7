#include "platform/ui/Timer.h"

#include "platform/ui/Application.h"

namespace platform {

TTimer::TTimer() {
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    if (OnTimer) GuardedCall([this] { OnTimer(this); });
  });
  Update();
}

TTimer::~TTimer() { timer_.stop(); }

void TTimer::SetInterval(int milliseconds) {
  if (milliseconds == interval_) return;
  interval_ = milliseconds;
  Update();
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Update();
}

void TTimer::Update() {
  timer_.stop();
  if (enabled_ && interval_ > 0) timer_.start(interval_);
}

}  // namespace platform
