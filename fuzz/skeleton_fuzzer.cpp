// Skeleton archives: bones in a tree, frames of angles or quaternions, colliders linked to bones.
// A skeleton that loads is also asked for every bone by ID and posed from each frame, which walks
// the tree and every frame's matrices.
#include <exception>
#include <string>

#include "scene3d/scene/Scene3dScene.h"
#include "scene3d/scene/animation/Skeleton.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = [] {
    gl3d::Scene3dSceneStartup();
    return true;
  }();
  (void)started;
  gl3d::TSkeleton skeleton;
  try {
    skeleton.LoadFromString(std::string(reinterpret_cast<const char*>(data), size));
    for (int id = 0; id < 64; ++id) skeleton.BoneByID(id);
  } catch (const std::exception&) {
  }
  for (int i = 0; i < skeleton.Frames()->Count(); ++i) {
    try {
      skeleton.SetCurrentFrame(skeleton.Frames()->Items(i));
      skeleton.RootBones()->PrepareGlobalMatrices();
      skeleton.Colliders()->AlignColliders();
    } catch (const std::exception&) {
    }
  }
  return 0;
}
