// The 3D library's scene graph is started once for the whole test program, as the program's
// start-up does (its classes registered by name), beside the image library's start-up.
#include <gtest/gtest.h>

#include "scene3d/scene/Scene3dScene.h"

namespace {
class SceneEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { gl3d::Scene3dSceneStartup(); }
  void TearDown() override { gl3d::Scene3dSceneShutdown(); }
};
const auto* const kSceneEnvironment = ::testing::AddGlobalTestEnvironment(new SceneEnvironment);
}  // namespace
