// Mesh-object draws on the recording table: the preview mesh's one indexed draw from buffer
// objects, uploads only after changes, buffers given up inside a display-list compilation, the
// array coverage rules and index checks that keep OpenGL inside its memory, and immediate mode.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <string>

#include "MeshTestSupport.h"
#include "scene3d/gl/tests/RecordingFixture.h"
#include "scene3d/scene/Scene3dScene.h"
#include "scene3d/scene/material/GLMaterialLibrary.h"
#include "scene3d/scene/material/GLShader.h"
#include "scene3d/scene/texture/GLMultitextureCoordinator.h"

using namespace gl3d;
using namespace gl3d::test;

namespace {

class MeshRender : public RecordingFixture {
 protected:
  void SetUp() override {
    Scene3dSceneStartup();
    RecordingFixture::SetUp();
    rec.OnCall = [this](const TGLRecordedCall& call) {
      if (call.Name == "GenBuffers") *static_cast<GLuint*>(const_cast<void*>(call.Args[1].P)) = ++nextName;
      return TGLArgValue{};
    };
    rci.StateCache = &S();
    CurrentMultitextureCoordinator()->SetMainMapping();
  }

  void Frame() {
    rec.Clear();
    list.BuildList(rci);
  }
  std::vector<const TGLRecordedCall*> Calls(std::string_view name) const {
    std::vector<const TGLRecordedCall*> out;
    for (const TGLRecordedCall& c : rec.Calls)
      if (c.Name == name) out.push_back(&c);
    return out;
  }
  // The sizes of the buffers uploaded to target, in call order.
  std::vector<int64_t> Uploads(GLenum target) const {
    std::vector<int64_t> out;
    for (const TGLRecordedCall* c : Calls("BufferData"))
      if (c->Args[0].I == target) out.push_back(c->Args[1].I);
    return out;
  }
  // The array buffer bound when the call named `pointerCall` with first argument `size` ran.
  int64_t BufferBoundFor(std::string_view pointerCall, int64_t size) const {
    int64_t bound = 0;
    for (const TGLRecordedCall& c : rec.Calls) {
      if (c.Name == "BindBuffer" && c.Args[0].I == GL_ARRAY_BUFFER) bound = c.Args[1].I;
      if (c.Name == pointerCall && c.Args[0].I == size) return bound;
    }
    return -1;
  }

  GLuint nextName = 0;
  TRenderContextInfo rci;
  TMeshObjectList list;
};

}  // namespace

TEST_F(MeshRender, PreviewFrameIsOneIndexedDrawFromBuffers) {
  TMeshObject* mesh = BuildPreviewMesh(list, 33);
  Frame();
  const auto draws = Calls("DrawElements");
  ASSERT_EQ(draws.size(), 1u) << rec.Names();
  EXPECT_EQ(draws[0]->Args[0].I, GL_TRIANGLES);
  EXPECT_EQ(draws[0]->Args[1].I, 6144);
  EXPECT_EQ(draws[0]->Args[2].I, GL_UNSIGNED_INT);
  EXPECT_EQ(draws[0]->Args[3].P, nullptr);  // offset 0 into the element buffer
  EXPECT_EQ(Uploads(GL_ARRAY_BUFFER), (std::vector<int64_t>{1089 * 12, 1089 * 12, 1089 * 12}));
  EXPECT_EQ(Uploads(GL_ELEMENT_ARRAY_BUFFER), (std::vector<int64_t>{6144 * 4}));
  EXPECT_EQ(Calls("VertexPointer").at(0)->Args[3].P, nullptr);
  EXPECT_EQ(rec.Count("LockArrays"), 0u);
  EXPECT_EQ(rec.Count("Begin"), 0u);
  EXPECT_TRUE(mesh->UseVBO());
  EXPECT_FALSE(mesh->ArraysDeclared());
  EXPECT_EQ(mesh->ValidBuffers(),
            MeshBufferBit(vbVertices) | MeshBufferBit(vbNormals) | MeshBufferBit(vbTexCoords));
}

TEST_F(MeshRender, BuffersAreUploadedOnlyAfterAChange) {
  TMeshObject* mesh = BuildPreviewMesh(list, 9);
  auto* group = static_cast<TFGVertexIndexList*>(mesh->FaceGroups()->Items(0));
  Frame();
  Frame();
  EXPECT_EQ(rec.Count("BufferData"), 0u);
  // Add marks the index buffer alone.
  group->Add(0);
  group->Add(1);
  group->Add(2);
  Frame();
  EXPECT_TRUE(Uploads(GL_ARRAY_BUFFER).empty());
  EXPECT_EQ(Uploads(GL_ELEMENT_ARRAY_BUFFER), (std::vector<int64_t>{(384 + 3) * 4}));
  // A structure change marks the vertex lists, not the indices.
  list.InvalidateBuffers();
  Frame();
  EXPECT_EQ(Uploads(GL_ARRAY_BUFFER).size(), 3u);
  EXPECT_TRUE(Uploads(GL_ELEMENT_ARRAY_BUFFER).empty());
  // Indices changed behind Add still reach the buffer when their number changes.
  group->VertexIndices()->Add(4);
  group->VertexIndices()->Add(5);
  group->VertexIndices()->Add(6);
  Frame();
  EXPECT_EQ(Uploads(GL_ELEMENT_ARRAY_BUFFER), (std::vector<int64_t>{390 * 4}));
  EXPECT_EQ(Calls("DrawElements").at(0)->Args[1].I, 390);
  // So do vertices appended without a structure change: an index to the new vertex draws from
  // a buffer that holds it.
  mesh->Vertices()->Add({0, 0, 1});
  group->Add(81);
  group->Add(0);
  group->Add(1);
  Frame();
  EXPECT_EQ(Uploads(GL_ARRAY_BUFFER), (std::vector<int64_t>{82 * 12}));
  EXPECT_EQ(Calls("DrawElements").size(), 1u);
  // A rebuild of the same length: flushed, then as many indices added.
  const int count = group->VertexIndices()->Count();
  group->VertexIndices()->Flush();
  for (int i = 0; i < count; ++i) group->Add(i % 3);
  Frame();
  EXPECT_EQ(Uploads(GL_ELEMENT_ARRAY_BUFFER), (std::vector<int64_t>{count * 4}));
  Frame();
  EXPECT_TRUE(Uploads(GL_ELEMENT_ARRAY_BUFFER).empty());
}

TEST_F(MeshRender, ADrawInsideAListCompilationGivesUpBuffersForGood) {
  TMeshObject* mesh = BuildPreviewMesh(list, 9);
  auto* group = static_cast<TFGVertexIndexList*>(mesh->FaceGroups()->Items(0));
  rec.Clear();
  S().NewList(1, GL_COMPILE);
  list.BuildList(rci);
  S().EndList();
  EXPECT_FALSE(mesh->UseVBO());
  EXPECT_EQ(rec.Count("BufferData"), 0u);
  for (int frame = 0; frame < 2; ++frame) {
    const auto draws = Calls("DrawElements");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0]->Args[3].P, group->VertexIndices()->List());
    EXPECT_EQ(Calls("VertexPointer").at(0)->Args[3].P, mesh->Vertices()->List());
    // Client arrays are locked for the draw.
    EXPECT_EQ(rec.Count("LockArrays"), 1u);
    EXPECT_EQ(rec.Count("UnlockArrays"), 1u);
    Frame();  // outside the list now, still without buffers
    EXPECT_EQ(rec.Count("BufferData"), 0u);
  }
}

TEST_F(MeshRender, IndicesPastTheVerticesAreNotDrawn) {
  for (const bool buffers : {true, false}) {
    TMeshObject* mesh = BuildPreviewMesh(list, 5);
    if (!buffers) {
      S().NewList(1, GL_COMPILE);
      list.BuildList(rci);
      S().EndList();
    }
    auto* group = static_cast<TFGVertexIndexList*>(mesh->FaceGroups()->Items(0));
    group->Add(0);
    group->Add(1);
    group->Add(25);  // 25 vertices: one past the last
    Frame();
    EXPECT_EQ(rec.Count("DrawElements"), 0u) << buffers;
    // The arrays are still closed again.
    EXPECT_FALSE(mesh->ArraysDeclared());
    group->VertexIndices()->Put(group->VertexIndices()->Count() - 1, 24);
    group->InvalidateIndexBuffer();
    Frame();
    EXPECT_EQ(rec.Count("DrawElements"), 1u) << buffers;
  }
}

TEST_F(MeshRender, ArraysAreEnabledOnlyForListsThatCoverEveryVertex) {
  TMeshObject* mesh = BuildPreviewMesh(list, 5);
  mesh->Normals()->SetCount(24);
  for (int i = 0; i < 25; ++i) mesh->GetTexCoordsEx(0)->AddPoint({0, 0, 0});
  mesh->GetTexCoordsEx(1)->AddPoint({0, 0, 0});  // one item for 25 vertices
  Frame();
  EXPECT_EQ(rec.Count("NormalPointer"), 0u);
  EXPECT_EQ(rec.Count("DrawElements"), 1u);
  // The main texture coordinates and the first extra list have buffers of their own.
  const int64_t mainBuffer = BufferBoundFor("TexCoordPointer", 2);
  const int64_t extraBuffer = BufferBoundFor("TexCoordPointer", 4);
  EXPECT_GT(mainBuffer, 0);
  EXPECT_GT(extraBuffer, 0);
  EXPECT_NE(mainBuffer, extraBuffer);
  std::vector<int64_t> uploads = Uploads(GL_ARRAY_BUFFER);
  EXPECT_NE(std::find(uploads.begin(), uploads.end(), 25 * 16), uploads.end());
  // Only the first extra list is declared (once: the second covers one vertex of 25).
  EXPECT_EQ(rec.Count("TexCoordPointer"), 2u);
}

TEST_F(MeshRender, IgnoreMaterialsDisablesEverythingButVertices) {
  BuildPreviewMesh(list, 3);
  rci.IgnoreMaterials = true;
  Frame();
  EXPECT_EQ(rec.Count("NormalPointer"), 0u);
  EXPECT_EQ(rec.Count("TexCoordPointer"), 0u);
  EXPECT_EQ(rec.Count("VertexPointer"), 1u);
  EXPECT_EQ(rec.Count("DrawElements"), 1u);
}

TEST_F(MeshRender, PlainModesDrawInImmediateMode) {
  TMeshObject* mesh = TMeshObject::CreateOwned(&list);
  for (int i = 0; i < 3; ++i) {
    mesh->Vertices()->Add({static_cast<float>(i), 0, 0});
    mesh->Normals()->Add({0, 0, 1});
    mesh->TexCoords()->Add({0.5f, 0.25f, 0});
  }
  Frame();
  EXPECT_EQ(rec.Count("ColorMaterial"), 0u);  // 3 vertices, no colours
  EXPECT_EQ(rec.Count("Begin"), 1u);
  EXPECT_EQ(Calls("Begin").at(0)->Args[0].I, GL_TRIANGLES);
  EXPECT_EQ(rec.Count("Normal3fv"), 3u);
  EXPECT_EQ(rec.Count("TexCoord2fv"), 3u);
  EXPECT_EQ(rec.Count("Vertex3fv"), 3u);
  EXPECT_EQ(rec.Count("Color4fv"), 0u);
  for (int i = 0; i < 3; ++i) mesh->Colors()->Add({1, 0, 0, 1});
  mesh->SetMode(moTriangleStrip);
  Frame();
  EXPECT_EQ(Calls("Begin").at(0)->Args[0].I, GL_TRIANGLE_STRIP);
  EXPECT_EQ(rec.Count("ColorMaterial"), 1u);
  EXPECT_EQ(rec.Count("Color4fv"), 3u);
}

TEST_F(MeshRender, ImmediateGroupsCheckTheirIndicesFirst) {
  TMeshObject* mesh = TMeshObject::CreateOwned(&list);
  mesh->SetMode(moFaceGroups);
  for (int i = 0; i < 3; ++i) mesh->Vertices()->Add({static_cast<float>(i), 0, 0});
  mesh->Normals()->Add({0, 0, 1});
  auto* group = TFaceGroup::CreateOwned<TFGVertexNormalTexIndexList>(mesh->FaceGroups());
  for (int i = 0; i < 3; ++i) {
    group->VertexIndices()->Add(i);
    group->NormalIndices()->Add(0);
  }
  Frame();
  EXPECT_EQ(rec.Count("Vertex3fv"), 3u);
  EXPECT_EQ(rec.Count("Normal3fv"), 3u);
  group->NormalIndices()->Put(1, 1);  // one normal only
  Frame();
  EXPECT_EQ(rec.Count("Begin"), 0u);
  EXPECT_EQ(rec.Count("Vertex3fv"), 0u);
}

namespace {

// Asks for a second pass every other time it is unapplied.
class TTwoPassShader : public TGLShader {
 public:
  using TGLShader::TGLShader;

 protected:
  void ShaderApply(TRenderContextInfo&, TObject*) override {}
  bool ShaderUnApply(TRenderContextInfo&) override { return ++unapplied % 2 == 1; }
  int unapplied = 0;
};

}  // namespace

TEST_F(MeshRender, MaterialRunsRepeatForEveryPassOfTheirMaterial) {
  TComponent owner(nullptr);
  auto* library = new TGLMaterialLibrary(&owner);
  auto* shader = new TTwoPassShader(&owner);
  TGLLibMaterial* two = library->Materials()->Add();
  two->SetName("two");
  two->SetShader(shader);
  library->Materials()->Add()->SetName("one");
  TMeshObject* mesh = TMeshObject::CreateOwned(&list);
  mesh->SetMode(moFaceGroups);
  for (int i = 0; i < 3; ++i) mesh->Vertices()->Add({static_cast<float>(i), 0, 0});
  // The groups tell themselves apart by their index counts 3, 6 and 9.
  const char* names[] = {"two", "one", "two"};
  for (int g = 0; g < 3; ++g) {
    auto* group = TFaceGroup::CreateOwned<TFGVertexIndexList>(mesh->FaceGroups());
    group->SetMaterialName(names[g]);
    for (int k = 0; k < 3 * (g + 1); ++k) group->Add(k % 3);
  }
  list.BindMaterialCache(library);
  rci.MaterialLibrary = library;
  auto drawn = [this] {
    std::vector<int64_t> counts;
    for (const TGLRecordedCall* c : Calls("DrawElements")) counts.push_back(c->Args[1].I);
    return counts;
  };
  // Grouped: both groups of "two" per pass, then "one".
  mesh->SetRenderingOptions(RenderingOptionBit(moroGroupByMaterial));
  Frame();
  EXPECT_EQ(drawn(), (std::vector<int64_t>{3, 9, 3, 9, 6}));
  // Runs of consecutive groups: each run repeats on its own.
  mesh->SetRenderingOptions(0);
  Frame();
  EXPECT_EQ(drawn(), (std::vector<int64_t>{3, 3, 6, 9, 9}));
  EXPECT_FALSE(shader->Active());
  // Face culling comes back to the buffer's setting.
  S().Enable(capCullFace);
  rci.FaceCulling = false;
  Frame();
  EXPECT_FALSE(S().IsEnabled(capCullFace));
}

TEST_F(MeshRender, ALightmapIsBoundOncePerRunOfItsIndex) {
  TComponent owner(nullptr);
  auto* lightmaps = new TGLMaterialLibrary(&owner);
  lightmaps->Materials()->Add()->SetName("light");
  TMeshObject* mesh = TMeshObject::CreateOwned(&list);
  mesh->SetMode(moFaceGroups);
  for (int i = 0; i < 3; ++i) {
    mesh->Vertices()->Add({static_cast<float>(i), 0, 0});
    mesh->LightMapTexCoords()->Add({0.5f, 0.5f, 0});
  }
  for (const int32_t index : {0, 0, -1}) {
    auto* group = TFaceGroup::CreateOwned<TFGVertexIndexList>(mesh->FaceGroups());
    group->SetLightMapIndex(index);
    for (int k = 0; k < 3; ++k) group->Add(k);
  }
  rci.LightmapLibrary = lightmaps;
  Frame();
  // The first group binds the lightmap on unit 1, the second finds it bound, the third turns it off.
  EXPECT_EQ(rec.Count("TexEnvi"), 1u) << rec.Names();
  EXPECT_EQ(rec.Count("DrawElements"), 3u);
  EXPECT_FALSE(S().GetActiveTextureEnabled(ttTexture2D));
  // An index beyond the library fails its assertion.
  static_cast<TFGVertexIndexList*>(mesh->FaceGroups()->Items(2))->SetLightMapIndex(1);
  EXPECT_THROW(Frame(), common::EAssertionFailed);
}
