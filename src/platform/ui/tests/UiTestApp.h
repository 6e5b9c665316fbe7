#pragma once
// One QApplication for the whole test program, made on first use. It is never destroyed:
// destroying it among the exit-time destructors of Qt's own objects crashes.
#include <QApplication>

namespace platform::test {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "test_platform_ui";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace platform::test

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <functional>

namespace platform::test {

// Runs the event loop until `done` holds or `ms` milliseconds have passed.
inline bool WaitFor(const std::function<bool()>& done, int ms = 2000) {
  QDeadlineTimer deadline(ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QTest::qSleep(1);
  }
  return true;
}

}  // namespace platform::test
