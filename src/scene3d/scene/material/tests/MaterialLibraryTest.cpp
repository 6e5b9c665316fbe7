// Library materials and the material library: names, texture folders, texture matrices, links by
// name and their cycles, the second texture, shaders around the material, users.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "scene3d/scene/material/GLMaterialLibrary.h"
#include "scene3d/scene/material/tests/MaterialTestSupport.h"
#include "scene3d/scene/texture/GLMultitextureCoordinator.h"

using namespace gl3d;
using gl3d::test::CountingOwner;
using gl3d::test::CountingShader;
using gl3d::test::LogWatch;

namespace {

class Library : public gl3d::test::MaterialFixture {
 protected:
  TGLMaterialLibrary library{nullptr};
  TGLLibMaterial* Add(const std::string& name) {
    TGLLibMaterial* m = library.Materials()->Add();
    m->SetName(name);
    return m;
  }
};

// A material of the scene that names a library material.
struct User {
  CountingOwner owner;
  TGLMaterial material{&owner};
  User(TGLMaterialLibrary& library, const std::string& name) {
    material.SetMaterialLibrary(&library);
    material.SetLibMaterialName(name);
  }
};

}  // namespace

TEST_F(Library, NamesAreMadeUnique) {
  EXPECT_EQ(library.Materials()->Add()->Name(), "LibMaterial");
  EXPECT_EQ(library.Materials()->Add()->Name(), "LibMaterial1");
  TGLLibMaterial* third = library.Materials()->Add();
  EXPECT_EQ(third->Name(), "LibMaterial2");

  TGLLibMaterial* wood = Add("Wood");
  Add("Wood1");
  third->SetName("Wood");
  EXPECT_EQ(third->Name(), "Wood2") << "the first number no material has";
  wood->SetName("Wood");
  EXPECT_EQ(wood->Name(), "Wood") << "its own name stays";
  EXPECT_EQ(library.FindLibMaterial("Wood2"), third);
  EXPECT_EQ(library.FindLibMaterial("wood"), nullptr) << "names compare with their case";
  EXPECT_EQ(NameHashKey(""), 0u);
  EXPECT_EQ(NameHashKey("Ab"), ((2u * 2 + 'A') * 2) + 'b');

  TGLLibMaterial* copy = library.Materials()->Add();
  copy->Assign(wood);
  EXPECT_EQ(copy->Name(), "Wood3");
}

TEST_F(Library, TexturePathsBecomeFolders) {
  library.SetTexturePaths(" tex ;   ;/data/img/ ");
  EXPECT_EQ(library.TextureFolders(), (std::vector<std::string>{"tex/", "/data/img/"}));
  library.SetTexturePaths("");
  EXPECT_TRUE(library.TextureFolders().empty());
}

TEST_F(Library, TextureFilesAreFoundInTheFoldersInOrder) {
  const std::filesystem::path root = std::filesystem::temp_directory_path() / "zephor-material-folders";
  std::filesystem::remove_all(root);
  for (const char* folder : {"a", "b", "c"}) std::filesystem::create_directories(root / folder);
  std::ofstream(root / "b" / "stone.bmp") << "x";
  std::ofstream(root / "c" / "stone.bmp") << "x";
  library.SetTexturePaths((root / "a").string() + ";" + (root / "b").string() + ";" + (root / "c").string());
  std::vector<std::string> asked;
  library.OnTextureNeeded = [&](TObject* sender, std::string& name) {
    EXPECT_EQ(sender, &library);
    asked.push_back(name);
  };
  TGLLibMaterial* m = Add("Stone");
  struct Row {
    std::string Name, Found;
  };
  const Row rows[] = {{"stone.bmp", (root / "b" / "stone.bmp").string()},
                      {"missing.bmp", "missing.bmp"},
                      {"/stone.bmp", "/stone.bmp"},
                      {"\\stone.bmp", "\\stone.bmp"},
                      {"c:stone.bmp", "c:stone.bmp"}};
  for (const Row& r : rows) {
    std::string name = r.Name;
    m->FindTextureFile(nullptr, name);
    EXPECT_EQ(name, r.Found) << r.Name;
  }
  EXPECT_EQ(asked.size(), 5u) << "the library's handler is asked first, every time";
  std::filesystem::remove_all(root);
}

TEST_F(Library, TextureMatrix) {
  TGLLibMaterial* m = Add("M");
  EXPECT_TRUE(m->TextureMatrixIsIdentity());
  m->SetTextureRotate(90);
  EXPECT_FALSE(m->TextureMatrixIsIdentity()) << "a rotation about Z";
  EXPECT_NEAR(m->TextureMatrix()[0].Y, 1.0f, 1e-6f);
  EXPECT_NEAR(m->TextureMatrix()[1].X, -1.0f, 1e-6f);
  m->SetTextureRotate(0);
  EXPECT_TRUE(m->TextureMatrixIsIdentity());
  m->TextureOffset()->SetX(0.5f);
  EXPECT_FALSE(m->TextureMatrixIsIdentity()) << "the offset's own change recomputes";
  EXPECT_FLOAT_EQ(m->TextureMatrix()[3].X, 0.5f);
  m->SetTextureMatrix(IdentityMatrix4f);
  EXPECT_TRUE(m->TextureMatrixIsIdentity());
  EXPECT_TRUE(m->TextureMatrixIsExplicit());
}

TEST_F(Library, AMaterialNamingALibraryMaterialAppliesIt) {
  TGLLibMaterial* glass = Add("Glass");
  glass->Material()->SetBlendingMode(bmAdditive);
  glass->TextureScale()->SetX(2);
  User user(library, "Glass");
  EXPECT_EQ(user.material.LibMaterial(), glass);
  EXPECT_TRUE(user.material.Blended());
  EXPECT_EQ(user.owner.texMapChanges, 1) << "linking is a mapping change";

  user.owner.changes = 0;
  glass->Material()->FrontProperties()->SetShininess(9);
  EXPECT_GT(user.owner.changes, 0) << "users hear of the library material's changes";

  rec.Clear();
  user.material.Apply(rci);
  EXPECT_EQ(rec.Count("BlendFunc"), 1u);
  EXPECT_EQ(rec.Calls[rec.Calls.size() - 1].Name, "DepthFunc");
  EXPECT_EQ(rec.Count("LoadMatrixf"), 1u) << "the texture matrix";
  EXPECT_FALSE(user.material.UnApply(rci));

  user.material.SetLibMaterialName("Nothing");
  EXPECT_EQ(user.material.LibMaterial(), nullptr);
  EXPECT_EQ(glass->UserCount(), 0);
}

TEST_F(Library, CyclicNamesAreRefusedAndLogged) {
  TGLLibMaterial* a = Add("A");
  TGLLibMaterial* b = Add("B");
  a->Material()->SetMaterialLibrary(&library);
  b->Material()->SetMaterialLibrary(&library);
  a->Material()->SetLibMaterialName("B");
  LogWatch log;
  b->Material()->SetLibMaterialName("A");
  EXPECT_EQ(log.errors, (std::vector<std::string>{"Cyclic reference detected in material \"A\""}));
  EXPECT_EQ(b->Material()->LibMaterialName(), "") << "nothing changes";
  EXPECT_EQ(b->Material()->LibMaterial(), nullptr);
  a->Material()->SetLibMaterialName("A");
  EXPECT_EQ(log.errors.size(), 2u) << "a material naming its own library material";

  // A cycle made while the materials had no library shows when the library is set.
  TGLLibMaterial* c = Add("C");
  TGLLibMaterial* d = Add("D");
  c->Material()->SetLibMaterialName("D");
  d->Material()->SetLibMaterialName("C");
  User user(library, "C");
  EXPECT_EQ(log.errors.size(), 3u);
  EXPECT_EQ(user.material.LibMaterial(), nullptr);

  // Chains deeper than 16 links count as cyclic too.
  for (int i = 0; i <= 16; ++i) {
    TGLLibMaterial* m = Add("L" + std::to_string(i));
    m->Material()->SetMaterialLibrary(&library);
    if (i < 16) m->Material()->SetLibMaterialName("L" + std::to_string(i + 1));
  }
  User deep(library, "L1");
  EXPECT_EQ(deep.material.LibMaterial(), library.FindLibMaterial("L1"));
  User tooDeep(library, "L0");
  EXPECT_EQ(tooDeep.material.LibMaterial(), nullptr);
}

TEST_F(Library, AFreedLibraryMaterialIsForgottenByItsUsers) {
  TGLLibMaterial* base = Add("Base");
  TGLLibMaterial* detail = Add("Detail");
  detail->SetTexture2Name("Base");
  User user(library, "Base");
  base->Material()->Texture()->SetDisabled(false);
  detail->Apply(rci);  // caches the second-texture link
  detail->UnApply(rci);
  ASSERT_EQ(detail->Texture2Link(), base);
  library.Materials()->Delete(base->Index());
  EXPECT_EQ(user.material.LibMaterial(), nullptr);
  EXPECT_EQ(user.material.LibMaterialName(), "");
  EXPECT_EQ(user.material.MaterialLibrary(), nullptr);
  EXPECT_EQ(detail->Texture2Link(), nullptr);
  EXPECT_EQ(detail->Texture2Name(), "");
}

TEST_F(Library, AFreedLibraryIsForgottenByTheMaterialsThatUseIt) {
  // One material links to a library material, one names a material the library lacks, one
  // chose the library and then another; a copy takes its library from its source.
  auto doomed = std::make_unique<TGLMaterialLibrary>(nullptr);
  doomed->Materials()->Add()->SetName("Stone");
  User linked(*doomed, "Stone");
  User unresolved(*doomed, "Missing");
  User moved(*doomed, "Stone");
  moved.material.SetMaterialLibrary(&library);
  CountingOwner owner;
  TGLMaterial copy(&owner);
  copy.Assign(&unresolved.material);
  ASSERT_EQ(linked.material.LibMaterial(), doomed->FindLibMaterial("Stone"));
  EXPECT_EQ(doomed->MaterialUserCount(), 3);
  {
    // A material freed first leaves the library's list.
    User shortLived(*doomed, "Stone");
  }
  EXPECT_EQ(doomed->MaterialUserCount(), 3);
  doomed.reset();

  for (TGLMaterial* m : {&linked.material, &unresolved.material, &copy}) {
    EXPECT_EQ(m->MaterialLibrary(), nullptr);
    EXPECT_EQ(m->LibMaterial(), nullptr);
    // A later name looks nowhere instead of into the freed library.
    m->SetLibMaterialName("Stone");
    EXPECT_EQ(m->LibMaterial(), nullptr);
  }
  EXPECT_EQ(unresolved.material.LibMaterialName(), "Stone");
  EXPECT_EQ(moved.material.MaterialLibrary(), &library);
  EXPECT_EQ(library.MaterialUserCount(), 1);
}

TEST_F(Library, SecondTexture) {
  TGLLibMaterial* missing = Add("M");
  missing->SetTexture2Name("Nowhere");
  missing->Apply(rci);
  missing->UnApply(rci);
  EXPECT_EQ(missing->Texture2Name(), "") << "a name that finds nothing is cleared at the first Apply";

  TGLLibMaterial* base = Add("Base");
  TGLLibMaterial* light = Add("Light");
  base->Material()->Texture()->SetDisabled(false);
  light->Material()->Texture()->SetDisabled(false);
  base->SetTexture2Name("Light");
  rec.Clear();
  base->Apply(rci);
  EXPECT_GT(rec.Count("ActiveTexture"), 0u) << rec.Log();
  EXPECT_EQ(S().GetTextureBinding(1, ttTexture2D), light->Material()->Texture()->TextureHandle().GetHandle());
  EXPECT_EQ(CurrentMultitextureCoordinator()->Mode(), mtcmDual);
  base->UnApply(rci);
  EXPECT_EQ(CurrentMultitextureCoordinator()->Mode(), mtcmMain);
  EXPECT_EQ(light->UserCount(), 1);

  light->Material()->Texture()->SetMappingMode(tmmSphere);
  base->Apply(rci);
  EXPECT_EQ(CurrentMultitextureCoordinator()->Mode(), mtcmMain) << "a generated second texture";
  base->UnApply(rci);
  base->Material()->Texture()->SetDisabled(true);
  light->Material()->Texture()->SetMappingMode(tmmUser);
  base->Apply(rci);
  EXPECT_EQ(CurrentMultitextureCoordinator()->Mode(), mtcmSecond) << "only the second texture";
  base->UnApply(rci);

  // Texture2Name chains that loop are each visited once.
  light->SetTexture2Name("Base");
  base->DestroyHandles();
}

TEST_F(Library, ShadersGoBeforeAfterOrInsteadOfTheMaterial) {
  TGLLibMaterial* m = Add("M");
  m->Material()->SetBlendingMode(bmAdditive);
  CountingShader shader;
  m->SetShader(&shader);
  struct Row {
    TGLShaderApplyOrder Order;
    const char* Sequence;  // P: the shader's pass marker, B: the material's blend factors
  };
  const Row rows[] = {{saBeforeMaterial, "PB"}, {saAfterMaterial, "BP"}, {saReplaceMaterial, "P"}};
  for (const Row& r : rows) {
    Restart();
    shader.SetApplyOrder(r.Order);
    shader.passes = 2;
    std::string seen;
    int passes = 0;
    rec.Clear();
    library.ApplyMaterial("M", rci);
    for (const auto& call : rec.Calls) {
      if (call.Name == "PassThrough") seen += 'P';
      if (call.Name == "BlendFunc") seen += 'B';
    }
    do ++passes;
    while (library.UnApplyMaterial(rci));
    EXPECT_EQ(passes, 2) << int(r.Order);
    EXPECT_EQ(seen, r.Sequence) << int(r.Order);
    EXPECT_EQ(library.LastAppliedMaterial(), nullptr);
    EXPECT_FALSE(shader.Active());
  }
  EXPECT_FALSE(library.ApplyMaterial("Other", rci));
  EXPECT_FALSE(library.UnApplyMaterial(rci));
}

TEST_F(Library, ALibraryFreedWhileAMaterialIsAppliedLogsTheImbalance) {
  LogWatch log;
  {
    TGLMaterialLibrary applied(nullptr);
    applied.Materials()->Add();
    applied.ApplyMaterial("LibMaterial", rci);
  }
  EXPECT_EQ(log.errors, (std::vector<std::string>{"Unbalanced material application"}));
}

TEST_F(Library, AddTextureMaterial) {
  const TBitmap picture = gl3d::test::PlainBitmap(4, 2, 255, 0, 0);
  Add("Red");
  TGLLibMaterial* m = library.AddTextureMaterial("Red", &picture);
  EXPECT_EQ(m->Name(), "Red1");
  TGLTexture* t = m->Material()->Texture();
  EXPECT_FALSE(t->Disabled());
  EXPECT_EQ(t->TextureMode(), tmModulate);
  EXPECT_EQ(t->MinFilter(), miLinearMipmapLinear);
  EXPECT_EQ(t->Image()->GetWidth(), 4);
}
