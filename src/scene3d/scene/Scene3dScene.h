#pragma once
// Start-up and shut-down of the 3D library's scene graph, as ordered steps.
#include "common/StartupSequence.h"

namespace gl3d {

// Registers the classes that stored descriptions and archives name (coordinates, camera, light,
// scene, behaviour and effect items, mesh objects and face groups, morph targets, skeletons and
// actors, scene objects, primitives, memory viewer, material library, picture formats, texture
// image classes and the multitexturing coordinator) and reads the performance counter's
// frequency for the render loop.
void Scene3dSceneStartup();
void Scene3dSceneShutdown();
// Adds both as the step "scene3d_scene".
void AddScene3dSceneSteps(common::TStartupSequence& sequence);

}  // namespace gl3d
