#pragma once
// The process-wide registry of rendering contexts and context handles, and the service context:
// a hidden OpenGL context on a thread of its own, with which every later context shares its
// objects. Calls from the service thread to the main thread go through common::TMainThreadQueue.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "scene3d/gl/GLContext.h"

namespace gl3d {

// A manual-reset event, initially not signalled.
class TFinishTaskEvent {
 public:
  void SetEvent();
  void ResetEvent();
  bool IsSet() const;
  // Returns whether the event was set within the time.
  bool WaitFor(std::chrono::milliseconds timeout);

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool set_ = false;
};

struct TServiceContextTask {
  std::function<void()> Task;  // empty: the record holds no task
  TFinishTaskEvent* Event = nullptr;
};

class TGLContextManager;

// The thread of the service context, started by its constructor. It takes the manager's queued
// tasks one by one and runs each with the service context current; with nothing queued it has
// the main thread run TGLContextManager::QueueTaskDepleted and then sleeps on the wake event, at
// most 30 s. Its first task is the service context's start-up (StartupTask). EGL needs no window
// for a context, so the thread keeps none.
class TServiceContextThread {
 public:
  explicit TServiceContextThread(TGLContextManager& manager);
  // Tells the thread to stop and waits for it.
  ~TServiceContextThread();
  TServiceContextThread(const TServiceContextThread&) = delete;
  TServiceContextThread& operator=(const TServiceContextThread&) = delete;

  // Tells the thread to stop after the task it runs; it wakes when the wake event is set.
  void Terminate() { terminated_ = true; }
  // The thread has left its loop (and freed the service context).
  bool Finished() const { return finished_; }
  // Waits until the thread has ended (Terminate and the wake event first).
  void WaitFor();

  // The start-up task: makes the service context a pbuffer context, or an ordinary one when
  // pbuffers are refused, and leaves it current (Execute makes it inactive after the task).
  void StartupTask();

  // GLClockMs of the last queued task, and whether the empty queue has been reported since
  // (both guarded by the manager's queue lock).
  double LastTaskTime = 0;
  bool DepletionReported = false;

 private:
  void Execute();

  TGLContextManager& manager_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

class TGLContextManager {
 public:
  TGLContextManager();
  ~TGLContextManager();

  // A context of the given class, or of the last registered class when none is given; nullptr
  // when no class is registered.
  std::unique_ptr<TGLContext> CreateContext(TGLContextFactory factory = nullptr);
  void RegisterContext(TGLContext* context);
  void UnRegisterContext(TGLContext* context);
  int ContextCount() const;
  void ContextCreatedBy(TGLContext* context);
  void DestroyingContextBy(TGLContext* context);
  int NativeContextCount() const;
  void NotifyPreparationNeed();

  void RegisterHandle(TGLContextHandle* handle);
  void UnRegisterHandle(TGLContextHandle* handle);
  // Runs `fn` for every registered handle from the last to the first, under the handle lock.
  void ForEachHandleBackwards(const std::function<void(TGLContextHandle*)>& fn);

  // Makes the service context and starts its thread; returns when the thread has run the
  // context's start-up task (main thread).
  void CreateServiceContext();
  TGLContext* ServiceContext() const { return service_context_.load(); }
  // The service thread while it exists (from CreateServiceContext to Terminate).
  TServiceContextThread* ServiceThread() const { return service_thread_.get(); }
  // Stops the service thread, draining the main-thread queue while it waits.
  void Terminate();
  bool Terminated() const { return terminated_; }

  // Runs on the main thread: resets the wake event and clears the queue when nothing is pending.
  void QueueTaskDepleted();
  // Queues a task for the service thread (see QueueServiceContextTask).
  void QueueTask(std::function<void()> task, TFinishTaskEvent* event);
  // The queue's records, consumed ones included (tests).
  size_t QueuedRecordCount() const;

 private:
  friend class TServiceContextThread;
  TServiceContextTask TakeNextTask();

  mutable std::recursive_mutex contexts_mutex_;
  std::vector<TGLContext*> contexts_;
  int native_count_ = 0;
  mutable std::recursive_mutex handles_mutex_;
  std::vector<TGLContextHandle*> handles_;
  std::atomic<bool> terminated_{false};

  std::atomic<TGLContext*> service_context_{nullptr};
  std::unique_ptr<TGLContext> service_owner_;
  mutable std::mutex queue_mutex_;
  std::vector<TServiceContextTask> queue_;
  TFinishTaskEvent wake_;
  std::unique_ptr<TServiceContextThread> service_thread_;
};

// The process-wide manager (made on first use).
TGLContextManager& GLContextManager();

// A task for the service context. Off the main thread it runs at once on the calling thread.
// On the main thread it is queued when a service context exists: without an event the call
// waits for it (draining the main-thread queue meanwhile), with one it returns at once. Without
// a service context the task is dropped.
void QueueServiceContextTask(TFinishTaskEvent* event, std::function<void()> task);

// Module start-up and shut-down of the GL layer: the context-less record and the manager, the
// EGL context class; then (after the program's own initialisation) the service context.
// Shut-down stops the service thread and frees the manager when no context is left.
void GLContextStartup();
void GLContextShutdown();

}  // namespace gl3d
