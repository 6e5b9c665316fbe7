// The library is started once for the whole test program, as the program's start-up does.
#include <gtest/gtest.h>

#include "rastova/core/RVStartup.h"

namespace {
class LibraryEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { rv::RastovaLibraryStartup(); }
  void TearDown() override { rv::RastovaLibraryShutdown(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);
}  // namespace
