#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include "rastova/core/RVDefs.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RVUtils.h"

using namespace rv;

namespace {
std::vector<std::string>* journal = nullptr;
}

TEST(Startup, CountedStartupsRunTheStepsOnceInSlotOrderAndShutDownInReverse) {
  // The test program holds one start-up; bring the library fully down first.
  RastovaLibraryShutdown();
  ASSERT_EQ(RastovaStartupCount(), 0);
  std::vector<std::string> log;
  journal = &log;
  RegisterRastovaStartupStep(TRVStartupSlot::IO, "TestIO", [] { journal->push_back("+IO"); },
                             [] { journal->push_back("-IO"); });
  RegisterRastovaStartupStep(TRVStartupSlot::GdiPlus, "TestGdi", [] { journal->push_back("+Gdi"); },
                             [] { journal->push_back("-Gdi"); });
  RegisterRastovaStartupStep(TRVStartupSlot::View, "TestView", [] { journal->push_back("+View"); },
                             [] { journal->push_back("-View"); });
  std::vector<std::string> names = RastovaStartupStepNames();
  ASSERT_EQ(names, (std::vector<std::string>{"TestGdi", "HyRVDefs", "HyRVUtils", "TestIO", "RVColorReduction",
                                             "RastovaProc", "TestView"}));

  RedToGrayCoef = 1;
  GlobalMemoryThreshold = 5;
  AllowFileFallback = false;
  RastovaLibraryStartup();
  RastovaLibraryStartup();
  EXPECT_EQ(RastovaStartupCount(), 2);
  EXPECT_EQ(log, (std::vector<std::string>{"+Gdi", "+IO", "+View"}));
  EXPECT_EQ(RedToGrayCoef, 21);
  EXPECT_EQ(GreenToGrayCoef, 71);
  EXPECT_EQ(BlueToGrayCoef, 8);
  EXPECT_EQ(GlobalMemoryThreshold, -1);
  EXPECT_TRUE(AllowFileFallback);
  EXPECT_TRUE(AllowMemoryChunks);
  EXPECT_EQ(DefaultDpiX, 300);
  EXPECT_EQ(DefaultDpiY, 300);

  RastovaLibraryShutdown();
  EXPECT_EQ(log.size(), 3u) << "one shut-down of two leaves everything in place";
  RastovaLibraryShutdown();
  EXPECT_EQ(log, (std::vector<std::string>{"+Gdi", "+IO", "+View", "-View", "-IO", "-Gdi"}));
  RastovaLibraryShutdown();  // more shut-downs than start-ups do nothing
  EXPECT_EQ(RastovaStartupCount(), 0);
  EXPECT_EQ(log.size(), 6u);

  UnregisterRastovaStartupStep("TestIO");
  UnregisterRastovaStartupStep("TestGdi");
  UnregisterRastovaStartupStep("TestView");
  RastovaLibraryStartup();
  journal = nullptr;
}

TEST(Startup, AFailingStepLeavesTheLibraryDownAndALaterStartupRunsEveryStepAgain) {
  RastovaLibraryShutdown();
  std::vector<std::string> log;
  journal = &log;
  static bool fail = true;
  RegisterRastovaStartupStep(TRVStartupSlot::Vect, "A", [] { journal->push_back("+A"); }, [] { journal->push_back("-A"); });
  RegisterRastovaStartupStep(TRVStartupSlot::Proc, "B", [] {
    if (fail) throw std::runtime_error("no");
    journal->push_back("+B");
  }, [] { journal->push_back("-B"); });
  EXPECT_THROW(RastovaLibraryStartup(), std::runtime_error);
  EXPECT_EQ(RastovaStartupCount(), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"+A", "-A"}));
  fail = false;
  RastovaLibraryStartup();
  EXPECT_EQ(RastovaStartupCount(), 1);
  EXPECT_EQ(log, (std::vector<std::string>{"+A", "-A", "+A", "+B"}));
  UnregisterRastovaStartupStep("A");
  UnregisterRastovaStartupStep("B");
  RastovaLibraryShutdown();
  RastovaLibraryStartup();
  journal = nullptr;
}

TEST(Startup, GreyWeightsAndCosineRamp) {
  EXPECT_EQ(RGBToGrayLevel(0xFF0000), 53);
  EXPECT_EQ(RGBToGrayLevel(0xFFFFFF), 255);
  EXPECT_EQ(CosineRampTable[0], 0);
  EXPECT_EQ(CosineRampTable[85], 32);
  EXPECT_EQ(CosineRampTable[127], 64);
  EXPECT_EQ(CosineRampTable[128], 64);
  EXPECT_EQ(CosineRampTable[255], 128);
  EXPECT_STREQ(RastovaVersion, "3.1.2");
}

TEST(ThreadPool, RunsEveryWorkerAndWaitsInOrder) {
  EXPECT_GE(GetProcessorCoreCount(), 1);
  TRVThreadPool pool;
  pool.WaitAll();  // empty: returns at once
  std::atomic<int> sum{0};
  for (int i = 1; i <= 8; ++i) pool.Add([&sum, i] { sum += i; });
  EXPECT_EQ(pool.Count(), 8u);
  pool.WaitAll();
  EXPECT_EQ(sum.load(), 36);
  EXPECT_EQ(pool.Count(), 0u);
  pool.Add([] { throw std::runtime_error("worker"); });
  EXPECT_THROW(pool.WaitAll(), std::runtime_error);
  {
    TRVThreadPool running;
    running.Add([&sum] { sum += 100; });
  }  // destroying a pool waits for its threads
  EXPECT_EQ(sum.load(), 136);
}
