// Texture-ex items: unit numbers, texture matrices, the notifications to the material, and on the
// recording table what the list applies per unit and the units it adds to the coordinator.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TextureTestObjects.h"
#include "scene3d/gl/tests/RecordingFixture.h"
#include "scene3d/scene/texture/GLMultitextureCoordinator.h"
#include "scene3d/scene/texture/GLTextureEx.h"
#include "scene3d/scene/texture/TextureStartup.h"
#include "scene3d/scene/texture/picture/Bitmap.h"

using namespace gl3d;

namespace {

using Material = test::ListeningMaterial;

TEST(TextureEx, ItemsUnitsAndNotifications) {
  TextureStartup();
  Material material;
  TGLTextureEx list(&material);
  EXPECT_EQ(list.GetOwner(), &material);
  TGLTextureExItem* first = list.Add();
  TGLTextureExItem* second = list.Add();
  EXPECT_EQ(first->TextureIndex(), 0);
  EXPECT_EQ(second->TextureIndex(), 1);
  EXPECT_EQ(second->GetDisplayName(), "Tex [1]");
  EXPECT_EQ(first->Texture()->Owner(), first);

  material.changes = 0;
  second->SetTextureIndex(-3);
  EXPECT_EQ(second->TextureIndex(), 0);
  EXPECT_EQ(material.changes, 1);
  second->SetTextureIndex(0);
  EXPECT_EQ(material.changes, 1) << "unchanged";

  // The texture's changes reach the material: plain ones through the list, enabling as a
  // texture-mapping change.
  material.changes = 0;
  first->Texture()->SetMagFilter(maNearest);
  EXPECT_GE(material.changes, 1);
  material.texMapChanges = 0;
  first->Texture()->SetDisabled(false);
  EXPECT_EQ(material.texMapChanges, 1);

  // Unit 0 counts as enabled only while an item on it has an enabled texture.
  EXPECT_TRUE(list.IsTextureEnabled(0));
  first->Texture()->SetDisabled(true);
  EXPECT_FALSE(list.IsTextureEnabled(0));
  EXPECT_FALSE(list.IsTextureEnabled(1));

  // Copies take texture, unit, offset and scale.
  first->TextureOffset()->SetPoint(0.25f, 0, 0);
  first->Texture()->SetTextureMode(tmAdd);
  second->Assign(first);
  EXPECT_EQ(second->Texture()->TextureMode(), tmAdd);
  EXPECT_TRUE(second->TextureOffset()->Equals({0.25f, 0, 0, 1}));
  EXPECT_FALSE(second->TextureMatrixIsIdentity());
  EXPECT_FLOAT_EQ(second->TextureMatrix()[3].X, 0.25f);
  EXPECT_THROW(second->Assign(&list), EConvertError);
}

TEST(TextureEx, TextureMatrixFollowsOffsetAndScale) {
  TGLTextureEx list(nullptr);
  TGLTextureExItem* item = list.Add();
  EXPECT_FALSE(item->TextureMatrixIsIdentity()) << "the identity is loaded explicitly until computed";
  item->TextureOffset()->SetPoint(0.5f, 0, 0);
  item->TextureOffset()->SetW(0);
  EXPECT_FALSE(item->TextureMatrixIsIdentity());
  const TMatrix4f& m = item->TextureMatrix();
  EXPECT_FLOAT_EQ(m[3].X, 0.5f);
  EXPECT_FLOAT_EQ(m[0].X, 1.0f);
  item->TextureScale()->SetX(2);
  EXPECT_FLOAT_EQ(item->TextureMatrix()[0].X, 2.0f);

  TGLCoordinates3 zero(nullptr, {0, 0, 0, 0});
  TGLCoordinates3 one(nullptr, {1, 1, 1, 0});
  item->SetTextureOffset(&zero);
  item->SetTextureScale(&one);
  EXPECT_TRUE(item->TextureMatrixIsIdentity());
  list.Loaded();
  EXPECT_TRUE(item->TextureMatrixIsIdentity());
}

class TextureExGL : public test::TextureRecordingFixture {
 protected:
  TGLTextureExItem* Item(TGLTextureEx& list, int unit, TGLTextureMappingMode mapping = tmmUser) {
    TGLTextureExItem* item = list.Add();
    TBitmap bitmap;
    bitmap.SetSize(4, 4);
    item->Texture()->Assign(&bitmap);
    item->Texture()->SetDisabled(false);
    item->Texture()->SetMappingMode(mapping);
    item->SetTextureIndex(unit);
    return item;
  }
};

TEST_F(TextureExGL, AnItemLoadsItsMatrixOnItsUnit) {
  TGLTextureEx list(nullptr);
  TGLTextureExItem* item = Item(list, 2);
  item->TextureOffset()->SetPoint(0.5f, 0, 0);
  item->TextureOffset()->SetW(0);
  item->Texture()->GetHandle();
  rec.Clear();
  item->Apply(rci);
  EXPECT_TRUE(item->Applied());
  std::string log = rec.Log();
  EXPECT_EQ(log.substr(0, log.find("; BindTexture")),
            "ActiveTexture(33986); MatrixMode(5890); PushMatrix(); "
            "LoadMatrixf([1 0 0 0 0 1 0 0 0 0 1 0 0.5 0 0 1]); MatrixMode(5888); ActiveTexture(33984); "
            "ActiveTexture(33986)");
  EXPECT_EQ(S().GetTextureBinding(2, ttTexture2D), item->Texture()->TextureHandle().GetHandle());
  rec.Clear();
  item->UnApply(rci);
  EXPECT_EQ(
      rec.Log(),
      "ActiveTexture(33986); Disable(3553); ActiveTexture(33984); ActiveTexture(33986); MatrixMode(5890); "
      "PopMatrix(); MatrixMode(5888); ActiveTexture(33984)");
  EXPECT_FALSE(item->Applied());
  rec.Clear();
  item->UnApply(rci);
  EXPECT_EQ(rec.Calls.size(), 0u) << "only what was applied is undone";

  // Back to the default offset: the identity is loaded.
  item->TextureOffset()->SetPoint(0, 0, 0);
  item->TextureOffset()->SetW(0);
  rec.Clear();
  item->Apply(rci);
  EXPECT_EQ(rec.Count("LoadMatrixf"), 0u);
  EXPECT_EQ(rec.Calls[2].Text(), "PushMatrix()");
  EXPECT_EQ(rec.Calls[3].Text(), "LoadIdentity()");
  item->UnApply(rci);

  // A disabled texture is not applied.
  item->Texture()->SetDisabled(true);
  rec.Clear();
  item->Apply(rci);
  EXPECT_FALSE(item->Applied());
  EXPECT_EQ(rec.Calls.size(), 0u);
}

TEST_F(TextureExGL, ListAppliesTheUnitsTheContextHasAndMasksUserCoordinates) {
  TGLTextureEx list(nullptr);
  TGLTextureExItem* unit0 = Item(list, 0);
  TGLTextureExItem* unit1 = Item(list, 1);
  TGLTextureExItem* unit2 = Item(list, 2, tmmSphere);
  TGLTextureExItem* unit3 = Item(list, 3);
  TGLTextureExItem* unit9 = Item(list, 9);
  TGLMultitextureCoordinator* coordinator = CurrentMultitextureCoordinator();
  coordinator->SetNullMapping();
  list.Apply(rci);
  EXPECT_TRUE(unit0->Applied());
  EXPECT_TRUE(unit1->Applied());
  EXPECT_TRUE(unit2->Applied());
  EXPECT_TRUE(unit3->Applied());
  EXPECT_FALSE(unit9->Applied()) << "the context has 8 units";
  EXPECT_EQ(coordinator->Mode(), mtcmArbitrary);
  EXPECT_EQ(coordinator->MappingBits(), 0b1011) << "unit 0 from the main texture, 1 and 3; not 2 (sphere)";
  EXPECT_EQ(S().GetTextureBinding(3, ttTexture2D), unit3->Texture()->TextureHandle().GetHandle());
  list.UnApply(rci);
  EXPECT_FALSE(unit3->Applied());
  EXPECT_FALSE(S().GetActiveTextureEnabled(ttTexture2D));

  // Nothing without multitexturing.
  G().ARB_multitexture = false;
  rec.Clear();
  list.Apply(rci);
  list.UnApply(rci);
  EXPECT_EQ(rec.Calls.size(), 0u);
}

}  // namespace
