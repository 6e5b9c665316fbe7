#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "scene3d/base/Classes.h"
#include "scene3d/base/GLSLog.h"
#include "scene3d/base/GLUtils.h"
#include "scene3d/base/PersistentClasses.h"
#include "scene3d/base/Scene3dBase.h"

using namespace gl3d;

namespace {

uint32_t Bits(float f) {
  uint32_t b;
  std::memcpy(&b, &f, 4);
  return b;
}

std::string ReadFile(const std::string& name) {
  std::ifstream in(name);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

TEST(GLClock, StepsWithinAMillisecondAndNeverGoesBack) {
  StartGLClock();
  double previous = GLClockMs();
  bool sawStep = false;
  for (int i = 0; i < 200000; ++i) {
    const double t = GLClockMs();
    ASSERT_GE(t, previous);
    const double whole = std::floor(t);
    if (t != whole) {
      sawStep = true;
      // Fractions stay below the next millisecond.
      ASSERT_LT(t - whole, 1.0);
      // The first repeat within a millisecond is exactly t + 0.1.
      if (previous == whole) {
        ASSERT_DOUBLE_EQ(t, whole + 0.1);
      }
    }
    previous = t;
  }
  EXPECT_TRUE(sawStep);
}

TEST(HalfFloats, ConversionTable) {
  struct Case {
    uint16_t half;
    float value;
  };
  const Case toFloat[] = {
      {0x3C00, 1.0f},     {0xC000, -2.0f},           {0x0001, std::ldexp(1.0f, -24)}, {0x0000, 0.0f},
      {0x7BFF, 65504.0f}, {0x3555, 0.333251953125f}, {0x0200, std::ldexp(1.0f, -15)}};
  for (const Case& c : toFloat) EXPECT_EQ(HalfToFloat(c.half), c.value) << std::hex << c.half;
  EXPECT_EQ(Bits(HalfToFloat(0x8000)), 0x80000000u);
  EXPECT_TRUE(std::isinf(HalfToFloat(0x7C00)));
  EXPECT_TRUE(std::isnan(HalfToFloat(0x7E00)));

  struct Back {
    float value;
    uint16_t half;
  };
  const Back toHalf[] = {{1.0f, 0x3C00},     {-2.0f, 0xC000},
                         {65520.0f, 0x7C00}, {65504.0f, 0x7BFF},
                         {1e-10f, 0x0000},   {0.0f, 0x0000},
                         {-0.0f, 0x0000},    {1e6f, 0x7C00},
                         {-1e6f, 0xFC00},    {std::ldexp(1.0f, -24), 0x0001},
                         {0.5f, 0x3800},     {std::numeric_limits<float>::infinity(), 0x7C00}};
  for (const Back& b : toHalf) EXPECT_EQ(FloatToHalf(b.value), b.half) << b.value;
  // Every finite half survives the round trip.
  for (uint32_t h = 0; h < 0x10000; ++h) {
    const uint16_t half = static_cast<uint16_t>(h);
    const float f = HalfToFloat(half);
    if (std::isnan(f)) {
      EXPECT_TRUE(std::isnan(HalfToFloat(FloatToHalf(f))));
    } else if (f != 0) {
      ASSERT_EQ(FloatToHalf(f), half) << std::hex << h;
    }
  }
  // A NaN with only low mantissa bits stays a NaN.
  float nan;
  const uint32_t lowNaN = 0x7F800001u;
  std::memcpy(&nan, &lowNaN, 4);
  EXPECT_TRUE(std::isnan(HalfToFloat(FloatToHalf(nan))));
}

TEST(PlatformUtils, ColoursErrorsAndComponents) {
  EXPECT_EQ(ColorFromRGB(255, 0, 0), 255);
  EXPECT_EQ(ColorFromRGB(1, 2, 3), 0x030201);
  errno = ENOENT;
  try {
    RaiseLastOSErrorText();
  } catch (const EOSError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("OS Error : ", 0), 0u);
  }
  TComponent owner(nullptr);
  auto* sub = new TComponent(&owner);
  EXPECT_FALSE(IsSubComponent(sub));
  sub->SetSubComponent(true);
  EXPECT_TRUE(IsSubComponent(sub));
  EXPECT_EQ(owner.ComponentCount(), 1);
  delete sub;  // leaves its owner
  EXPECT_EQ(owner.ComponentCount(), 0);
  int64_t f = 0, c1 = 0, c2 = 0;
  EXPECT_TRUE(ReadPerformanceFrequency(f));
  ReadPerformanceCounter(c1);
  ReadPerformanceCounter(c2);
  EXPECT_GE(c2, c1);
}

TEST(LogSession, TheProcessSessionDiscardsEverything) {
  const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "scene3d_log_null";
  std::filesystem::create_directories(dir);
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  TLogSession& log = GLSLogger();
  EXPECT_TRUE(log.IsNullSession());
  log.LogError("No active rendering context");
  log.LogWarningFmt("OpenGL error - %s", "x");
  log.SetLevels(llAll);
  log.LogFatalError("fatal");
  EXPECT_EQ(log.MessageCount(lkError), 0);
  EXPECT_TRUE(std::filesystem::is_empty(dir));
  std::filesystem::current_path(old);
  std::filesystem::remove_all(dir);
}

TEST(LogSession, AFileSessionWritesLevelsAndNeverHalts) {
  const std::string dir = ::testing::TempDir() + "/scene3d_log_file";
  std::filesystem::create_directories(dir);
  const std::string name = dir + "/test.log";
  {
    TLogSession log(name, LogLevel(lkNotice) | LogLevel(lkWarning) | LogLevel(lkFatalError), lfNone);
    log.LogDebug("hidden");
    log.LogWarningFmt("value %d", 42);
    for (int i = 0; i < 15; ++i) log.LogFatalError("fatal");  // the limit is 10; the process goes on
    EXPECT_EQ(log.MessageCount(lkFatalError), 10);
    log.SetLevels(LogLevel(lkInfo));
  }
  const std::string text = ReadFile(name);
  EXPECT_EQ(text.find("hidden"), std::string::npos);
  EXPECT_NE(text.find(" (I)  \tThread ID "), std::string::npos);
  EXPECT_NE(text.find("Log subsystem started in no timestamp mode."), std::string::npos);
  EXPECT_NE(text.find("(WW)   \tThread ID "), std::string::npos);
  EXPECT_NE(text.find("\tvalue 42\n"), std::string::npos);
  EXPECT_NE(text.find("LOGGING [info (i)]"), std::string::npos);
  EXPECT_NE(text.find("Logged fatal errors: 10, errors: 0, warnings: 1"), std::string::npos);
  EXPECT_NE(text.find("Log session shutdown"), std::string::npos);
  size_t fatal = 0;
  for (size_t p = text.find("(!!) "); p != std::string::npos; p = text.find("(!!) ", p + 1)) ++fatal;
  EXPECT_EQ(fatal, 10u);

  // A file that cannot be made leaves every level off.
  TLogSession bad(dir + "/no/such/folder/x.log", llAll, lfElapsed);
  EXPECT_EQ(bad.Levels(), 0);
  std::filesystem::remove_all(dir);
}

TEST(Startup, RegistersTheArchiveClasses) {
  common::TStartupSequence seq;
  AddScene3dBaseSteps(seq);
  seq.Startup();
  EXPECT_TRUE(TPersistentObjectRegistry::Instance().IsRegistered("TAffineVectorList"));
  EXPECT_TRUE(TPersistentObjectRegistry::Instance().IsRegistered("TPersistentObjectList"));
  EXPECT_FALSE(TPersistentObjectRegistry::Instance().IsRegistered("TIntegerList"));
  seq.Shutdown();
}
