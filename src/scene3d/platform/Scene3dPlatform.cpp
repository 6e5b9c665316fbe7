#include "scene3d/platform/Scene3dPlatform.h"

#include "platform/gfx/Color.h"
#include "scene3d/base/GLColor.h"

namespace gl3d {

namespace {
int32_t ResolveSystemColor(int32_t color) { return platform::ColorToRGB(color); }
}  // namespace

void Scene3dPlatformStartup() { SetSysColorResolver(&ResolveSystemColor); }

void Scene3dPlatformShutdown() { SetSysColorResolver(nullptr); }

void AddScene3dPlatformSteps(common::TStartupSequence& sequence) {
  sequence.Add("scene3d_platform", Scene3dPlatformStartup, Scene3dPlatformShutdown);
}

}  // namespace gl3d
