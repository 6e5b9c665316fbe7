#include <gtest/gtest.h>

#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>
#include <atomic>
#include <stdexcept>
#include <thread>

#include "UiTestApp.h"
#include "common/MainThreadQueue.h"
#include "platform/ui/Application.h"

using namespace platform;
using platform::test::App;
using platform::test::WaitFor;

namespace {

// Runs the event loop for `ms` milliseconds.
void RunLoopFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

TEST(Application, IdleRunsWhenTheQueueHasRunEmpty) {
  App();
  TApplication app;
  int idles = 0;
  int pendingHandled = 0;
  int handledAtFirstIdle = -1;
  app.OnIdle = [&] {
    if (idles++ == 0) handledAtFirstIdle = pendingHandled;
  };
  for (int i = 0; i < 3; ++i)
    QMetaObject::invokeMethod(
        &App(), [&] { ++pendingHandled; }, Qt::QueuedConnection);
  RunLoopFor(100);
  EXPECT_EQ(handledAtFirstIdle, 3) << "the waiting events come first";
  EXPECT_GE(idles, 1);
  // Nothing happens for 100 ms: the loop waits instead of spinning through the handler.
  EXPECT_LT(idles, 10);
}

TEST(Application, IdleIsNotReentered) {
  App();
  TApplication app;
  int depth = 0, maxDepth = 0, idles = 0;
  app.OnIdle = [&] {
    ++idles;
    maxDepth = std::max(maxDepth, ++depth);
    EXPECT_TRUE(app.InIdle());
    if (idles == 1) {
      // A nested loop (as a modal dialog runs) also comes to block while inside the handler.
      RunLoopFor(30);
      app.ProcessMessages();
    }
    --depth;
  };
  RunLoopFor(80);
  EXPECT_GE(idles, 2);
  EXPECT_EQ(maxDepth, 1);
  EXPECT_FALSE(app.InIdle());
}

TEST(Application, ExceptionsOfHandlersDoNotEnterTheEventLoop) {
  App();
  TApplication app;
  int errors = 0;
  std::string message;
  app.OnException = [&](std::exception_ptr e) {
    ++errors;
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& x) {
      message = x.what();
    }
  };
  app.OnIdle = [&] { throw std::runtime_error("idle failed"); };
  RunLoopFor(20);
  EXPECT_GE(errors, 1);
  EXPECT_EQ(message, "idle failed");
  EXPECT_FALSE(app.InIdle());
}

TEST(Application, CallsPostedByOtherThreadsRunOnTheMainThread) {
  App();
  TApplication app;
  auto& queue = common::TMainThreadQueue::Instance();
  EXPECT_TRUE(queue.IsMainThread());
  const std::thread::id mainId = std::this_thread::get_id();
  std::atomic<int> ran{0};
  std::thread::id ranOn;
  std::thread worker([&] {
    queue.Post([&] {
      ranOn = std::this_thread::get_id();
      ++ran;
    });
    // Synchronize waits for the main thread, which is in its event loop, not in Drain.
    int answer = 0;
    queue.Synchronize([&] { answer = 42; });
    EXPECT_EQ(answer, 42);
    ++ran;
  });
  EXPECT_TRUE(WaitFor([&] { return ran.load() == 2; }));
  worker.join();
  EXPECT_EQ(ranOn, mainId);
  EXPECT_EQ(queue.Pending(), 0u);
}
