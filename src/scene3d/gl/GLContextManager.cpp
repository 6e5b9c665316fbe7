#include "scene3d/gl/GLContextManager.h"

#include <algorithm>

#include "common/MainThreadQueue.h"
#include "scene3d/base/GLUtils.h"
#include "scene3d/gl/GLEGLContext.h"
#include "scene3d/gl/GLLog.h"

namespace gl3d {

TGLContextFactory LastRegisteredGLContextClass();

namespace {
std::mutex g_manager_mutex;
TGLContextManager* g_manager = nullptr;

bool IsMainThread() { return common::TMainThreadQueue::Instance().IsMainThread(); }

// Waits for `done`, running the main thread's queued calls meanwhile, so that a thread which
// needs the main thread while we wait for it can always finish.
void WaitDraining(const std::function<bool()>& done) {
  auto& queue = common::TMainThreadQueue::Instance();
  while (!done()) queue.WaitAndDrain(std::chrono::milliseconds(5));
}
}  // namespace

// ---- TFinishTaskEvent

void TFinishTaskEvent::SetEvent() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = true;
  }
  cv_.notify_all();
}

void TFinishTaskEvent::ResetEvent() {
  std::lock_guard<std::mutex> lock(mutex_);
  set_ = false;
}

bool TFinishTaskEvent::IsSet() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return set_;
}

bool TFinishTaskEvent::WaitFor(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, timeout, [this] { return set_; });
}

// ---- TGLContextManager

TGLContextManager& GLContextManager() {
  std::lock_guard<std::mutex> lock(g_manager_mutex);
  if (!g_manager) g_manager = new TGLContextManager();
  return *g_manager;
}

TGLContextManager::TGLContextManager() = default;

TGLContextManager::~TGLContextManager() {
  if (service_thread_) {
    service_thread_->Terminate();
    wake_.SetEvent();
    service_thread_.reset();
  }
}

std::unique_ptr<TGLContext> TGLContextManager::CreateContext(TGLContextFactory factory) {
  if (!factory) factory = LastRegisteredGLContextClass();
  if (!factory) return nullptr;
  return factory();
}

void TGLContextManager::RegisterContext(TGLContext* context) {
  std::lock_guard<std::recursive_mutex> lock(contexts_mutex_);
  if (std::find(contexts_.begin(), contexts_.end(), context) != contexts_.end())
    throw EGLContext("Invalid context registration");
  contexts_.push_back(context);
}

void TGLContextManager::UnRegisterContext(TGLContext* context) {
  std::lock_guard<std::recursive_mutex> lock(contexts_mutex_);
  auto it = std::find(contexts_.begin(), contexts_.end(), context);
  if (it == contexts_.end()) throw EGLContext("Invalid context registration");
  contexts_.erase(it);
}

int TGLContextManager::ContextCount() const {
  std::lock_guard<std::recursive_mutex> lock(contexts_mutex_);
  return static_cast<int>(contexts_.size());
}

void TGLContextManager::ContextCreatedBy(TGLContext*) {
  std::lock_guard<std::recursive_mutex> lock(contexts_mutex_);
  ++native_count_;
}

void TGLContextManager::DestroyingContextBy(TGLContext*) {
  std::lock_guard<std::recursive_mutex> lock(contexts_mutex_);
  --native_count_;
}

int TGLContextManager::NativeContextCount() const {
  std::lock_guard<std::recursive_mutex> lock(contexts_mutex_);
  return native_count_;
}

void TGLContextManager::NotifyPreparationNeed() {
  std::lock_guard<std::recursive_mutex> lock(contexts_mutex_);
  for (TGLContext* c : contexts_) c->SetPreparationNeed();
}

void TGLContextManager::RegisterHandle(TGLContextHandle* handle) {
  std::lock_guard<std::recursive_mutex> lock(handles_mutex_);
  handles_.push_back(handle);
}

void TGLContextManager::UnRegisterHandle(TGLContextHandle* handle) {
  std::lock_guard<std::recursive_mutex> lock(handles_mutex_);
  auto it = std::find(handles_.begin(), handles_.end(), handle);
  if (it != handles_.end()) handles_.erase(it);
}

void TGLContextManager::ForEachHandleBackwards(const std::function<void(TGLContextHandle*)>& fn) {
  std::lock_guard<std::recursive_mutex> lock(handles_mutex_);
  for (size_t i = handles_.size(); i-- > 0;)
    if (i < handles_.size()) fn(handles_[i]);
}

// ---- service context

void TGLContextManager::CreateServiceContext() {
  if (service_thread_) return;
  service_owner_ = CreateContext(nullptr);
  service_context_ = service_owner_.get();
  terminated_ = false;
  service_thread_ = std::make_unique<TServiceContextThread>(*this);
  TServiceContextThread* thread = service_thread_.get();
  QueueServiceContextTask(nullptr, [thread] { thread->StartupTask(); });
}

void TGLContextManager::QueueTask(std::function<void()> task, TFinishTaskEvent* event) {
  common::TMainThreadQueue::Instance().Drain();
  std::unique_ptr<TFinishTaskEvent> own;
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    if (!event) {
      own = std::make_unique<TFinishTaskEvent>();
      event = own.get();
    }
    queue_.push_back(TServiceContextTask{std::move(task), event});
    if (service_thread_) {
      service_thread_->LastTaskTime = GLClockMs();
      service_thread_->DepletionReported = false;
    }
  }
  wake_.SetEvent();
  if (own) {
    WaitDraining([&own] { return own->IsSet(); });
    common::TMainThreadQueue::Instance().Drain();
  }
}

TServiceContextTask TGLContextManager::TakeNextTask() {
  std::lock_guard<std::mutex> lock(queue_mutex_);
  for (auto& r : queue_) {
    if (r.Task) {
      TServiceContextTask out = std::move(r);
      r = TServiceContextTask{};  // consumed: the record stays, empty, until the queue is depleted
      return out;
    }
  }
  return TServiceContextTask{};
}

size_t TGLContextManager::QueuedRecordCount() const {
  std::lock_guard<std::mutex> lock(queue_mutex_);
  return queue_.size();
}

void TGLContextManager::QueueTaskDepleted() {
  bool report = false;
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    for (const auto& r : queue_) {
      if (r.Task) {
        wake_.SetEvent();
        return;
      }
    }
    wake_.ResetEvent();
    queue_.clear();
    TServiceContextThread* t = service_thread_.get();
    if (t && GLClockMs() - t->LastTaskTime > 30000 && !t->DepletionReported) {
      t->DepletionReported = true;
      report = true;
    }
  }
  if (report) gllog::Info("Service context queue task depleted");
}

void TGLContextManager::Terminate() {
  terminated_ = true;
  if (service_thread_) {
    common::TMainThreadQueue::Instance().Drain();
    service_thread_->Terminate();
    wake_.SetEvent();
    TServiceContextThread* t = service_thread_.get();
    WaitDraining([t] { return t->Finished(); });
    service_thread_.reset();
    gllog::Debug("Service thread destroyed");
    std::lock_guard<std::mutex> lock(queue_mutex_);
    queue_.clear();
  }
}

// ---- TServiceContextThread

TServiceContextThread::TServiceContextThread(TGLContextManager& manager)
    : manager_(manager), thread_([this] { Execute(); }) {}

TServiceContextThread::~TServiceContextThread() {
  Terminate();
  manager_.wake_.SetEvent();
  WaitFor();
}

void TServiceContextThread::WaitFor() {
  if (thread_.joinable()) thread_.join();
}

void TServiceContextThread::StartupTask() {
  TGLContext* ctx = manager_.service_context_.load();
  if (!ctx) return;
  const char* who = "TServiceContextThread";
  try {
    try {
      ctx->SetAcceleration(hmHardware);
      ctx->CreateMemoryContext(nullptr, 1, 1, 1);
    } catch (const EPBuffer&) {
      gllog::Warning(gllog::Format(
          "%s: can't initialize memory rendering context. Try initialize common context.", who));
      ctx->CreateContext(nullptr);
    }
  } catch (const std::exception&) {
    gllog::Error(gllog::Format("%s: can't initialize rendering context", who));
    return;
  }
  gllog::Notice("Service context successfuly initialized");
  ctx->Activate();
}

void TServiceContextThread::Execute() {
  gllog::Notice("Service thread started");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  try {
    while (!terminated_) {
      TServiceContextTask t = manager_.TakeNextTask();
      if (t.Task) {
        TGLContext* ctx = manager_.service_context_.load();
        bool valid = ctx && ctx->IsValid();
        if (valid) ctx->Activate();
        try {
          t.Task();
        } catch (...) {
          gllog::Error("Service thread task raised exception");
        }
        // The start-up task leaves the new context active; every task ends with it inactive.
        if (ctx && ctx->IsValid() && ctx->GetActive()) {
          try {
            ctx->SetActive(false);
          } catch (...) {
          }
        }
        if (t.Event) t.Event->SetEvent();
      } else {
        common::TMainThreadQueue::Instance().Synchronize([this] { manager_.QueueTaskDepleted(); });
      }
      if (terminated_) break;
      manager_.wake_.WaitFor(std::chrono::milliseconds(30000));
    }
  } catch (...) {
  }
  // The service context lives and dies on this thread.
  try {
    manager_.service_owner_.reset();
  } catch (...) {
  }
  manager_.service_context_ = nullptr;
  gllog::Notice("Service thread finished");
  finished_ = true;
}

void QueueServiceContextTask(TFinishTaskEvent* event, std::function<void()> task) {
  if (!IsMainThread()) {
    try {
      if (task) task();
    } catch (...) {
      gllog::Error("Service thread task raised exception");
    }
    if (event) event->SetEvent();
    return;
  }
  TGLContextManager& m = GLContextManager();
  if (!m.ServiceContext() || !task) return;
  m.QueueTask(std::move(task), event);
}

void GLContextStartup() {
  RegisterGLContextClass(&TGLEGLContext::Create);
  GLContextManager();
  CurrentGLEntryPoints();  // makes the closed context-less record
}

void GLContextShutdown() {
  TGLContextManager* m;
  {
    std::lock_guard<std::mutex> lock(g_manager_mutex);
    m = g_manager;
  }
  if (!m) return;
  m->Terminate();
  if (m->ContextCount() == 0) {
    std::lock_guard<std::mutex> lock(g_manager_mutex);
    g_manager = nullptr;
    delete m;
  }
}

}  // namespace gl3d
