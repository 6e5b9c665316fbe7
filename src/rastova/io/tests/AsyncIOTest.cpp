// Loads and saves on worker threads: the gate of every operation, the finish event on the worker
// or through the main thread's call queue, waiting for the workers and the component's
// destruction while they run.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "AviTools.h"
#include "IoTestTools.h"
#include "common/MainThreadQueue.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RVMetafileImport.h"
#include "rastova/io/RastovaIO.h"

namespace rv {
namespace {

using iotest::TempDir;
using namespace std::chrono_literals;

// A small picture saved as Targa (and GIF) by a component working in the calling thread.
std::unique_ptr<TRVBitmap> AsyncPicture(int32_t w, int32_t h) {
  auto b = std::make_unique<TRVBitmap>(w, h, rv24RGB);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) b->SetPixels(x, y, uint32_t(x * 40) << 16 | uint32_t(y * 50) << 8 | 7);
  return b;
}

// Where and how often the finish event ran.
struct FinishLog {
  explicit FinishLog(TRastovaIO& io) {
    io.OnFinishWork = [this](TRastovaIO&) {
      std::lock_guard lock(mutex);
      ++finished;
      thread = std::this_thread::get_id();
    };
  }
  int Finished() {
    std::lock_guard lock(mutex);
    return finished;
  }
  std::thread::id Thread() {
    std::lock_guard lock(mutex);
    return thread;
  }
  std::mutex mutex;
  int finished = 0;
  std::thread::id thread;
};

// An outside format: "ZZA!" and a 3 x 2 picture.
void ZzaRead(TStream& stream, TRVBitmap& bitmap, TIOParamsVals&, bool, TRVProgressRec& progress) {
  char b[4];
  if (stream.Read(b, 4) != 4) progress.SetAborting();
  bitmap.Allocate(3, 2, rv24RGB);
}
void ZzaWrite(TStream& stream, TRVBitmap&, TIOParamsVals&, TRVProgressRec&) { stream.WriteBuffer("ZZA!", 4); }
bool ZzaTest(TStream& stream, int32_t) {
  char b[4] = {};
  const int64_t at = stream.GetPosition();
  const bool ok = stream.Read(b, 4) == 4 && std::string(b, 4) == "ZZA!";
  stream.SetPosition(at);
  return ok;
}

class AsyncIO : public ::testing::Test {
 protected:
  void SetUp() override {
    auto row = std::make_unique<TRVFileFormatInfo>();
    row->FileType = 102;
    row->Description = "Asynchronous test format";
    row->Extensions = "ZZA";
    row->ReadRoutine = ZzaRead;
    row->WriteRoutine = ZzaWrite;
    row->TestRoutine = ZzaTest;
    RegisterFileFormat(std::move(row));
    picture = AsyncPicture(6, 4);
    TRastovaIO out(picture.get());
    out.SaveToFileTGA(dir.File("p.tga"));
    out.SaveToFileGIF(dir.File("p.gif"));
    iotest::WriteFileBytes(dir.File("p.zza"), {'Z', 'Z', 'A', '!'});
    iotest::WriteFileBytes(dir.File("p.avi"), iotest::MakeAvi(iotest::AviSpec{}));
    std::vector<uint8_t> emf(128, 0);
    emf[0] = 1;
    emf[16] = 9;  // bounds 0, 0 .. 9, 0
    std::memcpy(&emf[40], " EMF", 4);
    iotest::WriteFileBytes(dir.File("p.emf"), emf);
  }
  void TearDown() override { UnregisterFileFormat(102); }

  TempDir dir;
  std::unique_ptr<TRVBitmap> picture;
};

TEST_F(AsyncIO, EveryOperationAndRegistryPathRunsOnAWorker) {
  // Streams live until the worker that uses them is done.
  TMemoryStream tga, zza, out;
  {
    TRastovaIO out(picture.get());
    out.SaveToStreamTGA(tga);
  }
  zza.WriteBuffer("ZZA!", 4);
  struct Case {
    const char* what;
    std::function<void(TRastovaIO&)> run;
    bool aborting;
  } cases[] = {
      {"LoadFromFileTGA", [&](TRastovaIO& io) { io.LoadFromFileTGA(dir.File("p.tga")); }, false},
      {"LoadFromStreamTGA",
       [&](TRastovaIO& io) {
         tga.SetPosition(0);
         io.LoadFromStreamTGA(tga);
       },
       false},
      {"SaveToFileTGA", [&](TRastovaIO& io) { io.SaveToFileTGA(dir.File("s.tga")); }, false},
      {"SaveToStreamPNG", [&](TRastovaIO& io) { io.SaveToStreamPNG(out); }, false},
      {"LoadFromFile", [&](TRastovaIO& io) { io.LoadFromFile(dir.File("p.tga")); }, false},
      {"LoadFromFileFormat", [&](TRastovaIO& io) { io.LoadFromFileFormat(dir.File("p.tga"), ioTGA); }, false},
      {"LoadFromStream",
       [&](TRastovaIO& io) {
         tga.SetPosition(0);
         io.LoadFromStream(tga);
       },
       false},
      {"LoadFromFileGIF", [&](TRastovaIO& io) { EXPECT_EQ(io.LoadFromFileGIF(dir.File("p.gif")), -1); },
       false},
      {"outside LoadFromFile", [&](TRastovaIO& io) { io.LoadFromFile(dir.File("p.zza")); }, false},
      {"outside LoadFromFileFormat", [&](TRastovaIO& io) { io.LoadFromFileFormat(dir.File("p.zza"), 102); },
       false},
      {"outside LoadFromStream",
       [&](TRastovaIO& io) {
         zza.SetPosition(0);
         io.LoadFromStream(zza);
       },
       false},
      {"outside LoadFromStreamFormat",
       [&](TRastovaIO& io) {
         zza.SetPosition(0);
         io.LoadFromStreamFormat(zza, 102);
       },
       false},
      {"outside SaveToFile", [&](TRastovaIO& io) { io.SaveToFile(dir.File("s.zza")); }, false},
      {"outside SaveToStream", [&](TRastovaIO& io) { io.SaveToStream(out, 102); }, false},
      {"LoadFromFile of an AVI file", [&](TRastovaIO& io) { io.LoadFromFile(dir.File("p.avi")); }, false},
      {"ImportMetafile (sized, not drawn)",
       [&](TRastovaIO& io) { io.ImportMetafile(dir.File("p.emf"), -1, -1, true); }, true},
      {"LoadFromFileTGA of a missing file", [&](TRastovaIO& io) { io.LoadFromFileTGA(dir.File("none.tga")); },
       true},
  };
  for (const Case& c : cases) {
    TRVBitmap target;
    target.Assign(picture.get());
    TRastovaIO io(&target);
    FinishLog log(io);
    io.Asynchronous = true;
    c.run(io);
    io.WaitThreads(false);
    EXPECT_EQ(log.Finished(), 1) << c.what;
    EXPECT_NE(log.Thread(), std::this_thread::get_id()) << c.what;
    EXPECT_EQ(io.Aborting.load(), c.aborting) << c.what;
  }
  // LoadAVIFrame of an open file.
  TRVBitmap target;
  TRastovaIO io(&target);
  FinishLog log(io);
  ASSERT_EQ(io.OpenAVIFile(dir.File("p.avi")), 3);
  io.Asynchronous = true;
  io.LoadAVIFrame(2);
  io.WaitThreads(false);
  EXPECT_EQ(log.Finished(), 1);
  EXPECT_NE(log.Thread(), std::this_thread::get_id());
  EXPECT_EQ(target.GetWidth(), 5);
}

TEST_F(AsyncIO, AnOwnBitmapKeepsWorkInTheCallingThread) {
  TRastovaIO io;
  FinishLog log(io);
  io.Asynchronous = true;
  EXPECT_EQ(io.LoadFromFileGIF(dir.File("p.gif")), 1);
  EXPECT_EQ(log.Finished(), 1);
  EXPECT_EQ(log.Thread(), std::this_thread::get_id());
  EXPECT_EQ(io.GetAttachedRVBitmap()->GetWidth(), 6);
}

TEST_F(AsyncIO, TheCallReturnsBeforeTheWorkIsDone) {
  TRVBitmap target;
  TRastovaIO io(&target);
  std::promise<void> returned;
  std::shared_future<void> returnedFuture = returned.get_future().share();
  std::atomic<bool> sawReturn{false};
  io.OnFinishWork = [&](TRastovaIO&) {
    sawReturn = returnedFuture.wait_for(10s) == std::future_status::ready;
  };
  io.Asynchronous = true;
  io.LoadFromFileTGA(dir.File("p.tga"));
  returned.set_value();
  io.WaitThreads(false);
  EXPECT_TRUE(sawReturn);
  EXPECT_FALSE(io.Aborting);
  EXPECT_EQ(target.GetWidth(), 6);
  EXPECT_EQ(target.GetPixels(5, 3).r, 200);
}

TEST_F(AsyncIO, WaitThreadsWithoutWorkersReturnsAtOnce) {
  TRastovaIO io;
  io.WaitThreads(false);
  EXPECT_FALSE(io.Aborting);
  io.WaitThreads(true);
  EXPECT_TRUE(io.Aborting);
  EXPECT_FALSE(io.IsInsideAsyncThreads());
}

TEST_F(AsyncIO, DestroyWaitsForRunningWorkers) {
  std::atomic<int> done{0};
  TRVBitmap targets[4];
  {
    TRastovaIO io(&targets[0]);
    io.Asynchronous = true;
    io.OnFinishWork = [&](TRastovaIO& sender) {
      EXPECT_TRUE(sender.IsInsideAsyncThreads());
      std::this_thread::sleep_for(100ms);
      ++done;
    };
    io.LoadFromFileTGA(dir.File("p.tga"));
    EXPECT_FALSE(io.IsInsideAsyncThreads());
  }
  EXPECT_EQ(done, 1);
}

TEST_F(AsyncIO, AThousandShortLoadsAllFinish) {
  // A worker that finished before it was registered would be waited for for ever. Eight
  // components load at once, so that a thread starting a worker is often preempted.
  constexpr int kComponents = 8, kLoads = 1000;
  auto loads = std::make_shared<std::promise<int>>();
  std::future<int> finished = loads->get_future();
  const std::string name = dir.File("p.tga");
  std::thread([loads, name] {
    std::atomic<int> count{0};
    std::vector<std::thread> drivers;
    for (int c = 0; c < kComponents; ++c)
      drivers.emplace_back([&count, name] {
        TRVBitmap target;
        TRastovaIO io(&target);
        io.OnFinishWork = [&count](TRastovaIO&) { ++count; };
        io.Asynchronous = true;
        for (int i = 0; i < kLoads; ++i) {
          io.LoadFromFileTGA(name);
          io.WaitThreads(false);
        }
      });
    for (std::thread& d : drivers) d.join();
    loads->set_value(count);
  }).detach();
  ASSERT_EQ(finished.wait_for(120s), std::future_status::ready) << "WaitThreads did not return";
  EXPECT_EQ(finished.get(), kComponents * kLoads);
}

// A view whose calls are counted with the thread they came on.
class AsyncTestView : public iotest::StubView {
 public:
  explicit AsyncTestView(bool parent) : parent_(parent) {}
  void Update() override { Count(updates); }
  void ImageChange() override { Count(changes); }
  bool HasParent() override { return parent_; }
  void Count(int& n) {
    std::lock_guard lock(mutex);
    ++n;
    if (std::this_thread::get_id() != mainThread) ++offMain;
  }
  std::mutex mutex;
  int updates = 0, changes = 0, offMain = 0;
  std::thread::id mainThread = std::this_thread::get_id();

 private:
  bool parent_;
};

TEST_F(AsyncIO, AViewHearsOfTheWorkThroughTheMainThread) {
  common::TMainThreadQueue& queue = common::TMainThreadQueue::Instance();
  queue.Drain();
  for (bool parent : {true, false}) {
    AsyncTestView view(parent);
    TRastovaIO io;
    io.SetAttachedView(&view);
    FinishLog log(io);
    std::atomic<int> progress{0};
    io.OnProgress = [&](TRastovaIO&, int32_t) { ++progress; };
    io.Asynchronous = true;
    io.LoadFromFileTGA(dir.File("p.tga"));
    io.WaitThreads(false);
    EXPECT_EQ(view.bitmap.GetWidth(), 6) << parent;
    if (parent) {
      // Nothing reached the view or the events before the main thread ran its queue.
      EXPECT_EQ(log.Finished(), 0);
      EXPECT_EQ(view.changes, 0);
      EXPECT_GT(queue.Drain(), 0u);
      EXPECT_EQ(log.Finished(), 1);
      EXPECT_EQ(log.Thread(), std::this_thread::get_id());
      EXPECT_EQ(view.updates, 1);
      EXPECT_GT(progress, 0);
    } else {
      // Without a window the view gets no refresh, and the finish event runs on the worker.
      EXPECT_EQ(log.Finished(), 1);
      EXPECT_NE(log.Thread(), std::this_thread::get_id());
      queue.Drain();
      EXPECT_EQ(view.updates, 0);
    }
    EXPECT_EQ(view.changes, 1) << parent;
    EXPECT_EQ(view.offMain, 0) << parent;
  }
  // Calls still queued when the component is gone do nothing.
  AsyncTestView view(true);
  {
    TRastovaIO io;
    io.SetAttachedView(&view);
    FinishLog log(io);
    io.Asynchronous = true;
    io.LoadFromFileTGA(dir.File("p.tga"));
  }
  queue.Drain();
  EXPECT_EQ(view.changes, 0);
}

}  // namespace
}  // namespace rv
