#include <gtest/gtest.h>

#include <atomic>
#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/ClassRegistry.h"
#include "common/Exception.h"
#include "common/MainThreadQueue.h"
#include "common/Random.h"
#include "common/StartupSequence.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ZEPHOR_OWN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZEPHOR_OWN_ALLOCATOR 1
#endif
#endif

using namespace common;

TEST(Assert, ThrowsWithItsTextInEveryBuild) {
  try {
    ZASSERT(1 + 1 == 3, "Sum is wrong");
    FAIL() << "the assertion did not fire";
  } catch (const EAssertionFailed& e) {
    EXPECT_STREQ(e.what(), "Sum is wrong");
    EXPECT_GT(e.Line(), 0);
    EXPECT_NE(e.File().find("CoreTest"), std::string::npos);
  }
  EXPECT_NO_THROW(ZASSERT(true, "never"));
}

TEST(Random, SequenceReplaysFromASavedSeed) {
  TRandomGenerator& g = GlobalRandom();
  g.SetSeed(12345);
  uint32_t saved = RandSeed();
  std::vector<int32_t> first;
  for (int i = 0; i < 20; ++i) first.push_back(Random(100));
  double f1 = Random();
  SetRandSeed(saved);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(Random(100), first[i]);
  EXPECT_EQ(Random(), f1);
  for (int v : first) EXPECT_TRUE(v >= 0 && v < 100);

  // The generator is the linear congruential one with multiplier 134775813.
  TRandomGenerator r(0);
  EXPECT_EQ(r.Next(0), 0);
  EXPECT_EQ(r.Seed(), 1u);
  r.SetSeed(1);
  r.Next(10);
  EXPECT_EQ(r.Seed(), 134775814u);
}

namespace {
struct Shape {
  virtual ~Shape() = default;
  virtual std::string Name() const = 0;
};
struct Cube : Shape {
  std::string Name() const override { return "cube"; }
};
struct Ball : Shape {
  std::string Name() const override { return "ball"; }
};
}  // namespace

TEST(ClassRegistry, CreatesByNameIgnoringCase) {
  TClassRegistry<Shape> reg;
  reg.Register<Cube>("TGLCube");
  reg.Register("TBall", [] { return std::unique_ptr<Shape>(new Ball()); });
  EXPECT_TRUE(reg.IsRegistered("tglcube"));
  EXPECT_EQ(reg.Create("TGLCUBE")->Name(), "cube");
  EXPECT_EQ(reg.Create("TBall")->Name(), "ball");
  EXPECT_EQ(reg.TryCreate("TNothing"), nullptr);
  EXPECT_THROW(reg.Create("TNothing"), EClassNotFound);
  reg.Unregister("tball");
  EXPECT_FALSE(reg.IsRegistered("TBall"));
  EXPECT_EQ(reg.Names().size(), 1u);
  EXPECT_EQ(&TClassRegistry<Shape>::Instance(), &TClassRegistry<Shape>::Instance());
}

TEST(MainThreadQueue, OtherThreadsReachTheMainThread) {
  TMainThreadQueue& q = TMainThreadQueue::Instance();
  q.SetMainThread();
  std::atomic<int> wakes{0};
  q.SetWakeUp([&] { ++wakes; });
  std::vector<int> order;
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    q.Post([&] { order.push_back(1); });
    // Synchronize blocks until the main thread drains; it rethrows the call's exception.
    q.Synchronize([&] { order.push_back(2); });
    EXPECT_THROW(q.Synchronize([] { throw Exception("boom"); }), Exception);
    finished = true;
  });
  // Shut-down style: keep draining while waiting for the thread, so it cannot deadlock.
  for (int spins = 0; spins < 1000 && !finished; ++spins) q.WaitAndDrain(std::chrono::milliseconds(10));
  worker.join();
  q.Drain();
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_GE(wakes.load(), 3);
  // On the main thread Synchronize runs the call directly.
  bool ran = false;
  q.Synchronize([&] { ran = true; });
  EXPECT_TRUE(ran);
  q.SetWakeUp(nullptr);
}

TEST(StartupSequence, RunsInOrderAndShutsDownInReverse) {
  std::vector<std::string> log;
  TStartupSequence seq;
  seq.Add("a", [&] { log.push_back("+a"); }, [&] { log.push_back("-a"); });
  seq.Add("b", [&] { log.push_back("+b"); }, [&] { log.push_back("-b"); });
  seq.Startup();
  seq.Startup();  // steps run once
  EXPECT_TRUE(seq.IsStarted("b"));
  seq.Shutdown();
  EXPECT_EQ(log, (std::vector<std::string>{"+a", "+b", "-b", "-a"}));

  log.clear();
  TStartupSequence failing;
  failing.Add("a", [&] { log.push_back("+a"); }, [&] { log.push_back("-a"); });
  failing.Add("b", [&] { throw Exception("no"); }, [&] { log.push_back("-b"); });
  EXPECT_THROW(failing.Startup(), Exception);
  EXPECT_EQ(log, (std::vector<std::string>{"+a", "-a"}));
  EXPECT_FALSE(failing.IsStarted("a"));
}

TEST(FloatingPoint, MaskedExceptionsYieldInfinityAndNaN) {
  MaskFloatingPointExceptions();
  volatile double zero = 0.0;
  EXPECT_TRUE(std::isinf(1.0 / zero));
  EXPECT_TRUE(std::isnan(zero / zero));
  EXPECT_EQ(fegetround(), FE_TONEAREST);
}

TEST(Allocator, FreedBlocksOfAFewMegabytesStayWithTheProcess) {
#if !defined(__GLIBC__) || defined(ZEPHOR_OWN_ALLOCATOR)
  GTEST_SKIP() << "the C library's allocator is not the one in use";
#else
  ASSERT_TRUE(KeepFreedMemoryForReuse());
  const size_t mapped = mallinfo2().hblkhd;
  // 8 MiB comes from the heap and, freed, stays there as free memory.
  void* block = std::malloc(8 << 20);
  ASSERT_NE(block, nullptr);
  std::memset(block, 1, 8 << 20);
  EXPECT_EQ(mallinfo2().hblkhd, mapped);
  std::free(block);
  EXPECT_GE(mallinfo2().fordblks, size_t{8} << 20);
  // A picture of tens of megabytes is mapped on its own.
  void* picture = std::malloc(48 << 20);
  ASSERT_NE(picture, nullptr);
  EXPECT_GE(mallinfo2().hblkhd, mapped + (size_t{48} << 20));
  std::free(picture);
  EXPECT_EQ(mallinfo2().hblkhd, mapped);
#endif
}
