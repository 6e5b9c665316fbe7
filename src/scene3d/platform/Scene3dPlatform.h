#pragma once
// Start-up and shut-down of the scene viewer library, as ordered steps: the 3D library resolves
// system colours (the render buffer's default background is the button face) through the colour
// table of the GUI library's drawing layer, which the scene library itself may not use.
#include "common/StartupSequence.h"

namespace gl3d {

// Installs the system-colour resolver; the shut-down removes it.
void Scene3dPlatformStartup();
void Scene3dPlatformShutdown();
// Adds both as the step "scene3d_platform".
void AddScene3dPlatformSteps(common::TStartupSequence& sequence);

}  // namespace gl3d
