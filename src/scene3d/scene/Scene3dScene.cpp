#include "scene3d/scene/Scene3dScene.h"

#include "scene3d/scene/animation/GLActor.h"
#include "scene3d/scene/core/GLBaseSceneObject.h"
#include "scene3d/scene/core/GLBehaviours.h"
#include "scene3d/scene/core/GLCoordinates.h"
#include "scene3d/scene/material/GLMaterialLibrary.h"
#include "scene3d/scene/mesh/GLBaseMesh.h"
#include "scene3d/scene/mesh/MeshObject.h"
#include "scene3d/scene/objects/ObjectsStartup.h"
#include "scene3d/scene/primitives/PrimitivesStartup.h"
#include "scene3d/scene/render/GLNonVisualViewer.h"
#include "scene3d/scene/texture/TextureStartup.h"

namespace gl3d {

void Scene3dSceneStartup() {
  RegisterCoordinatesClasses();
  RegisterSceneClasses();
  RegisterBehaviourClasses();
  RegisterMeshObjectClasses();
  RegisterBaseMeshClasses();
  RegisterAnimationClasses();
  RegisterActorClasses();
  ObjectsStartup();
  RegisterClass<TGLMemoryViewer>("TGLMemoryViewer");
  RegisterClass<TGLMaterialLibrary>("TGLMaterialLibrary");
  RegisterPrimitiveClasses();
  TextureStartup();
  ReadCounterFrequency();
}

void Scene3dSceneShutdown() {}

void AddScene3dSceneSteps(common::TStartupSequence& sequence) {
  sequence.Add("scene3d_scene", Scene3dSceneStartup, Scene3dSceneShutdown);
}

}  // namespace gl3d
