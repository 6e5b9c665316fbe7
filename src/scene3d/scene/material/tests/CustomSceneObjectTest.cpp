// Scene objects with a material: the passes of DoRender, objects whose material is never applied,
// and what the material brings to copies, loads, handles and sorting.
#include <gtest/gtest.h>

#include "scene3d/scene/core/tests/SceneTestSupport.h"
#include "scene3d/scene/material/GLCustomSceneObject.h"
#include "scene3d/scene/material/GLMaterialLibrary.h"
#include "scene3d/scene/material/tests/MaterialTestSupport.h"

using namespace gl3d;
using gl3d::test::CountingShader;

namespace {

// Draws glPassThrough(1) as its geometry.
template <class Base>
class Drawn : public Base {
 public:
  explicit Drawn(TComponent* owner = nullptr) : Base(owner) {
    this->SetObjectStyle(ObjectStyleBit(sfDirectDraw));
  }
  void BuildList(TRenderContextInfo&) override { CurrentGLEntryPoints().PassThrough(1); }
};

class CustomObject : public gl3d::test::MaterialFixture {
 protected:
  // The pass markers: 1 for the geometry, 100 + n for the shader's pass n.
  std::string Markers() const {
    std::string out;
    for (const TGLRecordedCall& c : rec.Calls)
      if (c.Name == "PassThrough") out += std::to_string(static_cast<int>(c.Args[0].F)) + " ";
    return out;
  }
};

}  // namespace

TEST_F(CustomObject, AMultiPassMaterialDrawsOncePerPass) {
  TGLMaterialLibrary library(nullptr);
  TGLLibMaterial* lib = library.Materials()->Add();
  CountingShader shader;
  shader.passes = 3;
  lib->SetShader(&shader);
  Drawn<TGL3DSceneObject> object;
  object.Material()->SetMaterialLibrary(&library);
  object.Material()->SetLibMaterialName(lib->Name());
  object.DoRender(rci, true, false);
  EXPECT_EQ(Markers(), "100 1 1 1 ") << "applied once, drawn three times";
  EXPECT_FALSE(shader.Active());

  rec.Clear();
  rci.IgnoreMaterials = true;
  object.DoRender(rci, true, false);
  EXPECT_EQ(Markers(), "1 ");
}

TEST_F(CustomObject, AnImmaterialObjectNeverAppliesItsMaterial) {
  Drawn<TGLImmaterialSceneObject> object;
  object.Material()->SetBlendingMode(bmAdditive);
  Drawn<TGLCustomSceneObject> custom;
  custom.Material()->SetBlendingMode(bmAdditive);
  object.DoRender(rci, true, false);
  EXPECT_EQ(rec.Count("BlendFunc"), 0u);
  EXPECT_EQ(Markers(), "1 ");
  custom.DoRender(rci, true, false);
  EXPECT_EQ(rec.Count("BlendFunc"), 1u);
}

TEST_F(CustomObject, TheMaterialInCopiesNoticesAndHandles) {
  TGL3DSceneObject a(nullptr), b(nullptr);
  a.Material()->SetBlendingMode(bmTransparency);
  a.SetHint("glass");
  EXPECT_TRUE(a.Blended()) << "sorting asks the material";
  b.Assign(&a);
  EXPECT_EQ(b.Material()->BlendingMode(), bmTransparency);
  EXPECT_EQ(b.Hint(), "glass");

  TGLMaterial other(nullptr);
  other.SetPolygonMode(pmPoints);
  b.SetMaterial(&other);
  EXPECT_EQ(b.Material()->PolygonMode(), pmPoints);

  a.Material()->Texture()->SetDisabled(false);
  a.Material()->PrepareTexture();
  EXPECT_TRUE(a.Material()->Texture()->HasHandle());
  a.DestroyHandle();
  EXPECT_FALSE(a.Material()->Texture()->HasHandle());

  a.Material()->TextureEx()->Add()->TextureOffset()->AssignVectorQuietly({0.5f, 0, 0, 0});
  a.Loaded();
  EXPECT_FALSE(a.Material()->TextureEx()->Items(0)->TextureMatrixIsIdentity())
      << "the material finishes loading";
}

TEST_F(CustomObject, MaterialChangesReachTheScene) {
  TGL3DScene scene(nullptr);
  gl3d::test::TCountingBuffer buffer;
  scene.AddBuffer(&buffer);
  auto* object = scene.Objects()->AddNewChild<TGL3DSceneObject>();
  buffer.notices = 0;
  object->Material()->FrontProperties()->Diffuse()->SetRed(0.1f);
  EXPECT_GT(buffer.notices, 0);
  scene.RemoveBuffer(&buffer);
}
