#pragma once
// What the preview tests share: one object of class T in a scene whose one buffer counts the change
// notices (each notice repaints the 3D view), and the texture image of the object's material.
#include "scene3d/scene/core/tests/SceneTestSupport.h"
#include "scene3d/scene/material/GLCustomSceneObject.h"
#include "shape/tests/ShapeIoTestUtil.h"

namespace shape_test {

template <class T>
struct TPreviewSceneFixture {
  TPreviewSceneFixture() { scene->AddBuffer(&buffer); }
  ~TPreviewSceneFixture() { scene->RemoveBuffer(&buffer); }
  gl3d::TGLImage& Image() { return *object->Material()->Texture()->Image()->GetImageBuffer(); }

  SettingsGuard guard;
  gl3d::TComponent form{nullptr};
  gl3d::TGL3DScene* scene = new gl3d::TGL3DScene(&form);
  gl3d::test::TCountingBuffer buffer;
  T* object = scene->Objects()->template AddNewChild<T>();
};

}  // namespace shape_test
