#pragma once
// The 3D library's base and scene classes registered once per process, as the program's
// start-up does, for the fuzz targets that read the scene library's files and streams.
#include "scene3d/base/Scene3dBase.h"
#include "scene3d/scene/Scene3dScene.h"

namespace zephor_fuzz {

inline void StartSceneLibrary() {
  static const bool started = [] {
    gl3d::Scene3dBaseStartup();
    gl3d::Scene3dSceneStartup();
    return true;
  }();
  (void)started;
}

}  // namespace zephor_fuzz
