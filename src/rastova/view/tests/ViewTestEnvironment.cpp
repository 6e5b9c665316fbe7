// The view tests run with the image library started as the program starts it (the view's steps
// registered first) and one application object.
#include <gtest/gtest.h>

#include "platform/ui/tests/UiTestApp.h"
#include "rastova/core/RVStartup.h"
#include "rastova/view/RastovaViewStartup.h"

namespace {
class ViewLibraryEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    platform::test::App();
    rv::RegisterRastovaViewStartup();
    rv::RastovaLibraryStartup();
  }
  void TearDown() override { rv::RastovaLibraryShutdown(); }
};
const auto* const kViewEnvironment = ::testing::AddGlobalTestEnvironment(new ViewLibraryEnvironment);
}  // namespace
