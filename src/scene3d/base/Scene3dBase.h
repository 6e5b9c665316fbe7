#pragma once
// Start-up and shut-down of the 3D library's base, as ordered steps.
#include "common/StartupSequence.h"

namespace gl3d {

// Takes the clock's base and registers the persistent classes that archives name
// (TPersistentObjectList and the vector lists).
void Scene3dBaseStartup();
// Releases the extensible-collection item classes.
void Scene3dBaseShutdown();
// Adds both as the step "scene3d_base".
void AddScene3dBaseSteps(common::TStartupSequence& sequence);

}  // namespace gl3d
