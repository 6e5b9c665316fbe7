#pragma once
// What the object tests share: a recording context made current, a render context for it, a root
// object drawn directly, and the markers drawn in a frame (glPassThrough, see SceneTestSupport.h).
#include <vector>

#include "scene3d/gl/GLTransformation.h"
#include "scene3d/gl/tests/RecordingFixture.h"
#include "scene3d/scene/Scene3dScene.h"
#include "scene3d/scene/core/tests/SceneTestSupport.h"

namespace gl3d::test {

class ObjectsFixture : public RecordingFixture {
 protected:
  void SetUp() override {
    Scene3dSceneStartup();
    RecordingFixture::SetUp();
    rec.OnCall = [](const TGLRecordedCall& call) {
      TGLArgValue a;
      if (call.Name == "GenLists") a.I = ++nextList;
      return a;
    };
    rci.StateCache = &S();
    rci.Transformation = &ctx->PipelineTransformation();
    rci.ObjectsSorting = osNone;
    rci.VisibilityCulling = vcNone;
    root->SetObjectStyle(ObjectStyleBit(sfDirectDraw));
  }
  void TearDown() override {
    delete root;
    RecordingFixture::TearDown();
  }
  std::vector<int> Drawn() const {
    std::vector<int> out;
    for (const TGLRecordedCall& c : rec.Calls)
      if (c.Name == "PassThrough") out.push_back(static_cast<int>(c.Args[0].F));
    return out;
  }
  void Frame() {
    rec.Clear();
    root->Render(rci);
  }

  static inline int nextList = 0;
  TRenderContextInfo rci;
  TGLBaseSceneObject* root = new TGLBaseSceneObject(nullptr);
};

}  // namespace gl3d::test
