// The image library is started once for the whole test program, as the program's start-up does,
// with the I/O step registered into it first.
#include <gtest/gtest.h>

#include "rastova/core/RVStartup.h"
#include "rastova/io/RastovaIOStartup.h"

namespace {
class LibraryEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    rv::RegisterRastovaIOStartup();
    rv::RastovaLibraryStartup();
  }
  void TearDown() override { rv::RastovaLibraryShutdown(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);
}  // namespace
