#include "platform/ui/Application.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMetaObject>
#include <QThread>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

#include "common/MainThreadQueue.h"
#include "platform/ui/Keys.h"

namespace platform {

namespace {

TApplication* gInstance = nullptr;

void WriteException(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "Unknown exception\n");
  }
}

// Runs the queued calls of other threads; posted to the application object, so it runs on
// the main thread as soon as the loop gets to it.
void PostDrain() {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  QMetaObject::invokeMethod(
      app, [] { GuardedCall([] { common::TMainThreadQueue::Instance().Drain(); }); }, Qt::QueuedConnection);
}

}  // namespace

// Sees every event of the main thread: feeds GetKeyState, counts what happened since the
// last idle run, and receives the idle probe.
//
// Idle detection: when the dispatcher is about to wait and something happened since the
// last run, a probe event of the lowest priority is posted; it is delivered after every
// event already waiting, and its delivery runs OnIdle. So OnIdle follows the events that
// were waiting (whichever dispatcher Qt uses), and a loop with nothing to do simply waits.
class TApplication::KeyFilter : public QObject {
 public:
  explicit KeyFilter(TApplication& app) : app_(app) {}

  static QEvent::Type ProbeType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }

  void AboutToBlock() {
    if (eventsSinceIdle_ == 0 || probePending_) return;
    probePending_ = true;
    QCoreApplication::postEvent(this, new QEvent(ProbeType()), Qt::LowEventPriority);
  }

  bool event(QEvent* event) override {
    if (event->type() != ProbeType()) return QObject::event(event);
    probePending_ = false;
    if (!app_.inIdle_) {
      eventsSinceIdle_ = 0;
      app_.RunIdle();
    }
    return true;
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != ProbeType()) ++eventsSinceIdle_;
    switch (event->type()) {
      case QEvent::KeyPress:
        NoteKeyDown(VirtualKeyOf(*static_cast<QKeyEvent*>(event)));
        break;
      case QEvent::KeyRelease: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat()) NoteKeyUp(VirtualKeyOf(*key));
        break;
      }
      case QEvent::ApplicationDeactivate:
        ForgetKeys();
        break;
      default:
        break;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  TApplication& app_;
  uint64_t eventsSinceIdle_ = 1;  // the first wait runs it once
  bool probePending_ = false;
};

TApplication::TApplication() {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) throw std::logic_error("TApplication needs a QApplication");
  if (gInstance) throw std::logic_error("TApplication exists already");
  gInstance = this;
  filter_ = std::make_unique<KeyFilter>(*this);
  app->installEventFilter(filter_.get());
  // The connection lives as long as the filter object (its context).
  QObject::connect(QAbstractEventDispatcher::instance(app->thread()), &QAbstractEventDispatcher::aboutToBlock,
                   filter_.get(), [f = filter_.get()] { f->AboutToBlock(); });
  auto& queue = common::TMainThreadQueue::Instance();
  queue.SetMainThread();
  queue.SetWakeUp(PostDrain);
  if (queue.Pending() > 0) PostDrain();
}

TApplication::~TApplication() {
  common::TMainThreadQueue::Instance().SetWakeUp(nullptr);
  if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(filter_.get());
  filter_.reset();
  gInstance = nullptr;
}

TApplication* TApplication::Instance() { return gInstance; }

void TApplication::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void TApplication::RunIdle() {
  if (inIdle_ || !OnIdle) return;
  inIdle_ = true;
  GuardedCall([this] { OnIdle(); });
  inIdle_ = false;
}

void TApplication::HandleException(std::exception_ptr error) {
  if (!error) return;
  if (OnException) {
    try {
      OnException(error);
      return;
    } catch (...) {
      error = std::current_exception();
    }
  }
  WriteException(error);
}

void GuardedCall(const std::function<void()>& call) {
  try {
    call();
  } catch (...) {
    if (TApplication* app = TApplication::Instance())
      app->HandleException(std::current_exception());
    else
      WriteException(std::current_exception());
  }
}

}  // namespace platform
