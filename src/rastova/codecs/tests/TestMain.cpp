// The library is started once for the whole test program, as the program's start-up does.
#include <gtest/gtest.h>

#include "rastova/codecs/j2000/rvj2000.h"
#include "rastova/core/RVStartup.h"

namespace {
class LibraryEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    rv::RegisterRastovaStartupStep(rv::TRVStartupSlot::J2000, "RVJ2000", rv::RVJ2000Startup, rv::RVJ2000Shutdown);
    rv::RastovaLibraryStartup();
  }
  void TearDown() override { rv::RastovaLibraryShutdown(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);
}  // namespace
