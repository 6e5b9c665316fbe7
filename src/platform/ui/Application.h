#pragma once
// TApplication: the program's hooks into Qt's event loop.
//
// - OnIdle runs each time the event loop's queue has run empty: when the loop is about to
//   wait (QAbstractEventDispatcher::aboutToBlock) after something has happened since the
//   last run, and after the events that were waiting then. With nothing to do the loop
//   waits; OnIdle never runs on a timer. It never runs inside itself: an event loop that a
//   handler starts (a modal dialog, ProcessMessages) does not call it again.
// - Calls other threads post to common::TMainThreadQueue wake the loop and run on this
//   (the main) thread.
// - Key events of every window feed GetKeyState.
// - Exceptions thrown by event handlers must not cross Qt's event loop: the handlers of this
//   layer run through GuardedCall, which hands them to OnException (by default the message
//   is written to the error output).
//
// Create it on the main thread after the QApplication; at most one exists at a time.
#include <exception>
#include <functional>
#include <memory>

namespace platform {

class TApplication {
 public:
  TApplication();
  ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // The helper in existence, or nullptr.
  static TApplication* Instance();

  std::function<void()> OnIdle;
  std::function<void(std::exception_ptr)> OnException;

  // Handles the events that are waiting, then returns (does not wait for more).
  void ProcessMessages();
  // Whether OnIdle is running now.
  bool InIdle() const { return inIdle_; }

  void HandleException(std::exception_ptr error);

 private:
  class KeyFilter;
  void RunIdle();

  std::unique_ptr<KeyFilter> filter_;
  bool inIdle_ = false;
};

// Runs `call`; an exception it throws goes to TApplication::HandleException (or, without an
// application helper, to the error output) instead of into the event loop.
void GuardedCall(const std::function<void()>& call);

}  // namespace platform
