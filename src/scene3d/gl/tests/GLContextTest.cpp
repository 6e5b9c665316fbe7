// Contexts, handles and the service thread over recording contexts (no driver needed).
#include <GL/gl.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#include "RecordingFixture.h"
#include "Watchdog.h"
#include "common/Exception.h"
#include "common/MainThreadQueue.h"
#include "scene3d/base/GLUtils.h"
#include "scene3d/gl/GLContextManager.h"
#include "scene3d/gl/GLLog.h"

using namespace gl3d;

using gl3d::test::WithWatchdog;

namespace {

std::unique_ptr<TGLRecordingContext> MakeContext() {
  auto c = std::make_unique<TGLRecordingContext>();
  c->CreateContext(nullptr);
  return c;
}

// Answers glGenTextures/glGenLists with fresh names and glIs* with true.
struct NameSource {
  GLuint next = 100;
  explicit NameSource(TGLCallRecorder& rec) {
    rec.OnCall = [this](const TGLRecordedCall& c) {
      TGLArgValue r;
      if (c.Name == "GenTextures" || c.Name == "GenBuffers")
        *static_cast<GLuint*>(const_cast<void*>(c.Args[1].P)) = next++;
      else if (c.Name == "GenLists")
        r.I = next++;
      else if (c.Name.substr(0, 2) == "Is")
        r.I = GL_TRUE;
      return r;
    };
  }
};

}  // namespace

TEST(GLContext, ActivationsNestAndBalance) {
  auto c = MakeContext();
  c->Activate();
  c->Activate();
  EXPECT_EQ(CurrentGLContext(), c.get());
  EXPECT_EQ(&CurrentGLEntryPoints(), &c->GL());
  c->Deactivate();
  EXPECT_TRUE(c->GetActive());
  c->Deactivate();
  EXPECT_EQ(c->DoActivateCount, 1);
  EXPECT_EQ(c->DoDeactivateCount, 1);
  EXPECT_EQ(CurrentGLContext(), nullptr);
  // the context-less record: never null, every entry the stub
  EXPECT_FALSE(CurrentGLEntryPoints().Initialized());
  EXPECT_THROW(CurrentGLEntryPoints().Enable(GL_BLEND), EAbort);
  try {
    c->Deactivate();
    FAIL();
  } catch (const EGLContext& e) {
    EXPECT_STREQ(e.what(), "Unbalanced context activations");
  }
  EXPECT_EQ(c->ActivationCount(), 0);
  c->Activate();  // the lock was left alone: activation still works
  c->Deactivate();
}

TEST(GLContext, RequestIsFrozenWhileActive) {
  auto c = MakeContext();
  c->Activate();
  try {
    c->SetColorBits(24);
    FAIL();
  } catch (const EGLContext& e) {
    EXPECT_STREQ(e.what(), "Cannot alter an active context");
  }
  c->Deactivate();
  c->SetColorBits(24);
  EXPECT_EQ(c->ColorBits(), 24);
  EXPECT_THROW(c->CreateContext(nullptr), EGLContext);
  TGLRecordingContext fresh;
  EXPECT_THROW(fresh.Activate(), EGLContext);
  EXPECT_EQ(fresh.ActivationCount(), 0);
  EXPECT_THROW(SafeCurrentGLContext(), EAbort);
}

TEST(GLContext, ActivationOnAnotherThreadWaits) {
  auto c = MakeContext();
  c->Activate();
  std::atomic<bool> got{false};
  std::thread t([&] {
    c->Activate();
    got = true;
    c->Deactivate();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(got);
  c->Deactivate();
  t.join();
  EXPECT_TRUE(got);
}

TEST(GLContext, FailedActivationSkipsDeletions) {
  TGLCallRecorder rec;
  NameSource names(rec);
  auto c = MakeContext();
  TGLListHandle list;
  c->Activate();
  ASSERT_NE(list.AllocateHandle(), 0u);
  c->Deactivate();
  c->FailActivation = true;
  rec.Clear();
  list.DestroyHandle();
  EXPECT_TRUE(ActivationFailed());
  EXPECT_EQ(rec.Count("DeleteLists"), 0u);
  EXPECT_EQ(c->DoDeactivateCount, 1);  // the failed activation is not undone
}

TEST(GLContext, ShareListsPropagate) {
  auto a = MakeContext(), b = MakeContext(), c = MakeContext();
  a->ShareLists(b.get());
  c->ShareLists(a.get());
  auto list_c = c->ShareList();
  EXPECT_EQ(list_c.size(), 3u);
  EXPECT_EQ(b->ShareList().size(), 3u);
  c->DestroyContext();
  EXPECT_EQ(a->ShareList().size(), 2u);
  EXPECT_EQ(c->ShareList().size(), 1u);
}

TEST(GLContextHandle, SharedNamesAreReused) {
  TGLCallRecorder rec;
  NameSource names(rec);
  auto a = MakeContext(), b = MakeContext();
  a->ShareLists(b.get());
  TGLTextureHandle tex;
  EXPECT_EQ(tex.GetHandle(), 0u);  // no current context
  EXPECT_EQ(tex.AllocateHandle(), 0u);
  a->Activate();
  GLuint name = tex.AllocateHandle();
  EXPECT_EQ(name, 100u);
  EXPECT_TRUE(tex.IsDataNeedUpdate());
  tex.NotifyDataUpdated();
  EXPECT_FALSE(tex.IsDataNeedUpdate());
  a->Deactivate();
  b->Activate();
  EXPECT_EQ(tex.GetHandle(), 0u);
  EXPECT_EQ(tex.AllocateHandle(), name);
  EXPECT_FALSE(tex.IsDataNeedUpdate());
  EXPECT_EQ(rec.Count("GenTextures"), 1u);
  EXPECT_EQ(tex.GetContext(), b.get());
  // B dies while A still holds the name: the object survives
  b->Deactivate();
  rec.Clear();
  b->DestroyContext();
  EXPECT_EQ(rec.Count("DeleteTextures"), 0u);
  a->Activate();
  EXPECT_EQ(tex.GetHandle(), name);
  a->Deactivate();
  rec.Clear();
  a->DestroyContext();
  EXPECT_EQ(rec.Count("DeleteTextures"), 1u);
  EXPECT_EQ(tex.GetContext(), nullptr);
}

TEST(GLContextHandle, UnsharedHandlesMakeOneNamePerContext) {
  TGLCallRecorder rec;
  auto a = MakeContext(), b = MakeContext();
  a->ShareLists(b.get());
  GLuint next = 1;
  std::vector<GLuint> destroyed;
  TGLVirtualHandle h;
  h.OnAllocate = [&next] { return next++; };
  h.OnDestroy = [&destroyed](GLuint n) { destroyed.push_back(n); };
  a->Activate();
  EXPECT_EQ(h.AllocateHandle(), 1u);
  a->Deactivate();
  b->Activate();
  EXPECT_EQ(h.AllocateHandle(), 2u);
  b->Deactivate();
  h.DestroyHandle();
  EXPECT_EQ(destroyed, (std::vector<GLuint>{2, 1}));
  EXPECT_EQ(h.RecordCount(), 1u);
}

TEST(GLContextHandle, DestroyHandleRestoresTheCurrentContext) {
  TGLCallRecorder rec;
  NameSource names(rec);
  auto a = MakeContext(), b = MakeContext();
  TGLListHandle list;
  a->Activate();
  list.AllocateHandle();
  a->Deactivate();
  b->Activate();
  b->Activate();
  list.DestroyHandle();
  EXPECT_EQ(CurrentGLContext(), b.get());
  EXPECT_EQ(b->ActivationCount(), 2);
  EXPECT_EQ(rec.Count("DeleteLists"), 1u);
  EXPECT_EQ(a->OwnedObjectsCount(), 0);
  b->SetActive(false);
}

TEST(GLContextHandle, TextureDeletionClearsCachedBindings) {
  TGLCallRecorder rec;
  NameSource names(rec);
  auto a = MakeContext();
  a->Activate();
  TGLTextureHandle tex;
  GLuint n = tex.AllocateHandle();
  a->GLStates().SetTextureBinding(1, ttTexture2D, n);
  rec.OnCall = [old = rec.OnCall](const TGLRecordedCall& c) {
    if (c.Name == "GetIntegerv") {
      *static_cast<GLint*>(const_cast<void*>(c.Args[1].P)) = 4;
      return TGLArgValue();
    }
    return old(c);
  };
  a->Deactivate();
  tex.DestroyHandle();
  EXPECT_EQ(a->GLStates().GetTextureBinding(1, ttTexture2D), 0u);
  EXPECT_EQ(rec.Count("DeleteTextures"), 1u);
}

TEST(GLContextHandle, BufferHandles) {
  TGLCallRecorder rec;
  NameSource names(rec);
  auto a = MakeContext();
  a->Activate();
  {
    TGLVBOArrayBufferHandle vbo;
    vbo.AllocateHandle();
    char data[16] = {};
    vbo.BufferData(data, sizeof data, GL_STATIC_DRAW);
    EXPECT_EQ(a->GLStates().ArrayBufferBinding(), vbo.GetHandle());
    EXPECT_EQ(vbo.BufferSize(), 16);
    EXPECT_THROW(vbo.BindBase(0), common::EAssertionFailed);
    rec.Clear();
  }
  EXPECT_EQ(rec.Names(), "IsBuffer GetError BindBuffer DeleteBuffers GetError");
  EXPECT_EQ(CurrentGLContext(), a.get());
  a->Deactivate();
}

// ---- the service context

namespace {
class ServiceContext : public ::testing::Test {
 protected:
  void SetUp() override {
    common::TMainThreadQueue::Instance().SetMainThread();
    RegisterGLContextClass(&TGLRecordingContext::Create);
  }
  void TearDown() override {
    WithWatchdog(std::chrono::seconds(20), [] { GLContextShutdown(); });
  }
};
}  // namespace

TEST_F(ServiceContext, StartsRunsTasksAndShutsDownWhileTheThreadWaitsForTheMainThread) {
  auto start = std::chrono::steady_clock::now();
  WithWatchdog(std::chrono::seconds(20), [] { GLContextManager().CreateServiceContext(); });
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  TGLContext* service = GetServiceContext();
  ASSERT_NE(service, nullptr);
  EXPECT_TRUE(service->IsValid());
  EXPECT_FALSE(service->GetActive());

  // A context made afterwards shares with the service context.
  auto viewer = MakeContext();
  EXPECT_EQ(viewer->ShareList().size(), 2u);

  // A task queued on the main thread runs on the service thread with the service context current.
  std::thread::id ran_on;
  TGLContext* current = nullptr;
  WithWatchdog(std::chrono::seconds(20), [&] {
    QueueServiceContextTask(nullptr, [&] {
      ran_on = std::this_thread::get_id();
      current = CurrentGLContext();
      throw std::runtime_error("swallowed");
    });
  });
  EXPECT_NE(ran_on, std::this_thread::get_id());
  EXPECT_EQ(current, service);

  // From another thread the task runs at once on that thread.
  std::thread other([&] {
    TFinishTaskEvent ev;
    QueueServiceContextTask(&ev, [&] { ran_on = std::this_thread::get_id(); });
    EXPECT_TRUE(ev.IsSet());
    EXPECT_EQ(ran_on, std::this_thread::get_id());
  });
  other.join();

  // Leave the main thread's queue undrained for a while, so that the service thread blocks in its
  // call to the main thread; shut-down must still end.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  viewer.reset();
  WithWatchdog(std::chrono::seconds(20), [] { GLContextManager().Terminate(); });
  EXPECT_EQ(GetServiceContext(), nullptr);
}

TEST_F(ServiceContext, TasksAreDroppedWithoutAServiceContext) {
  bool ran = false;
  QueueServiceContextTask(nullptr, [&ran] { ran = true; });
  EXPECT_FALSE(ran);
}

namespace {
// Counts the log lines equal to `text`, from any thread.
struct LogCounter {
  std::string text;
  std::mutex mutex;
  int count = 0;
  explicit LogCounter(std::string t) : text(std::move(t)) {
    gllog::SetObserver(
        [](gllog::TLevel, std::string_view line, void* d) {
          auto* self = static_cast<LogCounter*>(d);
          std::lock_guard<std::mutex> lock(self->mutex);
          if (line == self->text) ++self->count;
        },
        this);
  }
  ~LogCounter() { gllog::SetObserver(nullptr, nullptr); }
  int Count() {
    std::lock_guard<std::mutex> lock(mutex);
    return count;
  }
};
}  // namespace

// The service thread remembers when the last task was queued: an empty queue is reported once,
// only when that was more than 30 s ago, and a new task re-arms the report.
TEST_F(ServiceContext, EmptyQueueIsReportedOnceThirtySecondsAfterTheLastTask) {
  WithWatchdog(std::chrono::seconds(20), [] { GLContextManager().CreateServiceContext(); });
  TGLContextManager& m = GLContextManager();
  TServiceContextThread* thread = m.ServiceThread();
  ASSERT_NE(thread, nullptr);
  EXPECT_FALSE(thread->Finished());
  LogCounter depleted("Service context queue task depleted");

  EXPECT_LE(GLClockMs() - thread->LastTaskTime, 30000);  // the start-up task was just queued
  m.QueueTaskDepleted();
  EXPECT_EQ(depleted.Count(), 0);
  EXPECT_EQ(m.QueuedRecordCount(), 0u);  // consumed records are cleared with the queue

  thread->LastTaskTime = GLClockMs() - 30001;
  m.QueueTaskDepleted();
  m.QueueTaskDepleted();
  EXPECT_EQ(depleted.Count(), 1);
  EXPECT_TRUE(thread->DepletionReported);

  WithWatchdog(std::chrono::seconds(20), [] { QueueServiceContextTask(nullptr, [] {}); });
  EXPECT_FALSE(thread->DepletionReported);
  m.QueueTaskDepleted();
  EXPECT_EQ(depleted.Count(), 1);
  thread->LastTaskTime = GLClockMs() - 30001;
  m.QueueTaskDepleted();
  EXPECT_EQ(depleted.Count(), 2);

  WithWatchdog(std::chrono::seconds(20), [] { GLContextManager().Terminate(); });
  EXPECT_EQ(m.ServiceThread(), nullptr);
}
