// Mesh connectivity: one face-group connectivity per visible mesh object over the object's own
// vertex list, faces from strips, fans and triangle lists, the unsupported groups, and the free
// form's silhouette against the outline numpy finds (make_outline_table.py).
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>

#include "scene3d/scene/Scene3dScene.h"
#include "scene3d/scene/animation/GLActor.h"
#include "scene3d/scene/animation/GLBaseMeshConnectivity.h"
#include "scene3d/scene/mesh/GLBaseMesh.h"

using namespace gl3d;

namespace {

#include "OutlineTable.inc"

// A mesh object in face-group mode with `vertices` points and one vertex-index group.
TFGVertexIndexList* AddObject(TGLBaseMesh& mesh, int vertices, TFaceGroupMode mode,
                              std::initializer_list<int> indices) {
  auto* object = TMeshObject::CreateOwned(mesh.MeshObjects());
  object->SetMode(moFaceGroups);
  for (int i = 0; i < vertices; ++i) object->Vertices()->Add({float(i), float(i * i % 7), float(i % 3)});
  auto* group = TFaceGroup::CreateOwned<TFGVertexIndexList>(object->FaceGroups());
  group->SetMode(mode);
  for (int i : indices) group->Add(i);
  return group;
}

// A face group of another kind than a vertex-index list.
class TOtherFaceGroup : public TFaceGroup {
 public:
  using TFaceGroup::TFaceGroup;
  std::unique_ptr<TPersistentObject> NewInstance() const override {
    return std::make_unique<TOtherFaceGroup>();
  }
  void BuildList(TRenderContextInfo&) override {}
  int TriangleCount() const override { return 0; }
};

}  // namespace

TEST(MeshConnectivity, OneConnectivityPerVisibleObjectOverItsOwnVertices) {
  TGLFreeForm form(nullptr);
  AddObject(form, 5, fgTriangleStrip, {0, 1, 2, 3, 4});
  AddObject(form, 4, fgTriangles, {0, 1, 2, 2, 1, 3});
  AddObject(form, 4, fgTriangleFan, {0, 1, 2, 3});
  form.MeshObjects()->Items(1)->SetVisible(false);

  TGLBaseMeshConnectivity c(&form);
  EXPECT_TRUE(c.PrecomputeFaceNormal());
  ASSERT_EQ(c.FaceGroupConnectivityCount(), 2);
  TFaceGroupConnectivity& strip = *c.GetFaceGroupConnectivity(0);
  EXPECT_EQ(strip.MeshObject(), form.MeshObjects()->Items(0));
  EXPECT_FALSE(strip.OwnsVertices());
  EXPECT_EQ(&strip.Vertices(), form.MeshObjects()->Items(0)->Vertices());
  // Strip faces alternate their winding: (0 1 2), (3 2 1), (2 3 4).
  const TIntegerList& f = strip.FaceVertexIndex();
  ASSERT_EQ(f.Count(), 9);
  EXPECT_EQ((std::vector<int>{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8]}),
            (std::vector<int>{0, 1, 2, 3, 2, 1, 2, 3, 4}));
  const TIntegerList& fan = c.GetFaceGroupConnectivity(1)->FaceVertexIndex();
  EXPECT_EQ((std::vector<int>{fan[0], fan[1], fan[2], fan[3], fan[4], fan[5]}),
            (std::vector<int>{0, 1, 2, 0, 2, 3}));
  EXPECT_EQ(c.FaceCount(), 3 + 2);
  EXPECT_EQ(c.EdgeCount(), 7 + 5);

  // Clearing keeps the mesh's vertices; rebuilding finds the faces again.
  strip.Clear();
  EXPECT_EQ(strip.FaceCount(), 0);
  EXPECT_EQ(form.MeshObjects()->Items(0)->Vertices()->Count(), 5);
  strip.RebuildEdgeList();
  EXPECT_EQ(strip.FaceCount(), 3);
  c.ClearConnectivities(true);
  EXPECT_EQ(c.FaceGroupConnectivityCount(), 2);
  EXPECT_EQ(c.FaceCount(), 0);
  c.ClearConnectivities(false);
  EXPECT_EQ(c.FaceGroupConnectivityCount(), 0);
  EXPECT_EQ(form.MeshObjects()->Items(2)->Vertices()->Count(), 4);

  TGLActor actor(nullptr);
  TGLBaseMeshConnectivity moving(&actor);
  EXPECT_FALSE(moving.PrecomputeFaceNormal()) << "an actor's vertices move";
}

TEST(MeshConnectivity, QuadsAndForeignFaceGroupsAreNotSupported) {
  TGLFreeForm quads(nullptr);
  AddObject(quads, 4, fgQuads, {0, 1, 2, 3});
  try {
    TGLBaseMeshConnectivity c(&quads);
    ADD_FAILURE() << "quads were accepted";
  } catch (const common::EAssertionFailed& e) {
    EXPECT_STREQ(e.what(), "Not supported");
    EXPECT_EQ(e.File(), "GLBaseMeshSilhouette");
  }
  TGLFreeForm other(nullptr);
  auto* object = TMeshObject::CreateOwned(other.MeshObjects());
  object->SetMode(moFaceGroups);
  TFaceGroup::CreateOwned<TOtherFaceGroup>(object->FaceGroups());
  try {
    TGLBaseMeshConnectivity c(&other);
    ADD_FAILURE() << "a foreign face group was accepted";
  } catch (const common::EAssertionFailed& e) {
    EXPECT_STREQ(e.what(), "Method only works for descendants of TFGVertexIndexList.");
  }
}

TEST(MeshConnectivity, ASilhouettePassedInIsEmptiedEvenWhenAdding) {
  TGLFreeForm form(nullptr);
  AddObject(form, 4, fgTriangles, {0, 1, 2, 2, 1, 3});
  TGLBaseMeshConnectivity c(&form);
  auto silhouette = std::make_unique<TGLSilhouette>();
  silhouette->Vertices().AddPoint({9, 9, 9});
  silhouette->Indices().AddTwo(0, 0);
  TGLSilhouette* kept = silhouette.get();
  c.CreateSilhouette({{0, 0, 50}, {0, 0, 0}, ssOmni, false}, silhouette, true);
  EXPECT_EQ(silhouette.get(), kept) << "the same object, filled anew";
  for (int i = 0; i < silhouette->Vertices().Count(); ++i) EXPECT_NE(silhouette->Vertices()[i].X, 9);
  std::unique_ptr<TGLSilhouette> none;
  c.CreateSilhouette({{0, 0, 50}, {0, 0, 0}, ssOmni, false}, none, false);
  ASSERT_TRUE(none);
  EXPECT_EQ(none->Indices().Count(), silhouette->Indices().Count());
}

TEST(MeshConnectivity, TheFreeFormsSilhouetteIsTheOutlineNumpyFinds) {
  Scene3dSceneStartup();  // the hidden copy's face groups go through their archive
  TGLFreeForm form(nullptr);
  auto* object = TMeshObject::CreateOwned(form.MeshObjects());
  object->SetMode(moFaceGroups);
  for (const auto& v : kTorusVertices) object->Vertices()->Add({v[0], v[1], v[2]});
  auto* group = TFaceGroup::CreateOwned<TFGVertexIndexList>(object->FaceGroups());
  for (const auto& t : kTorusTriangles)
    for (int k = 0; k < 3; ++k) group->Add(t[k]);
  // Only the visible objects count: a hidden copy adds nothing.
  auto* hidden = TMeshObject::CreateOwned(form.MeshObjects());
  hidden->Assign(object);
  hidden->SetVisible(false);

  const auto silhouette =
      form.GenerateSilhouette({{kTorusEye[0], kTorusEye[1], kTorusEye[2]}, {0, 0, 0}, ssOmni, false});
  ASSERT_TRUE(silhouette);
  // The silhouette's vertices are copies of the mesh's: map them back to their indices.
  auto indexOf = [&](const TVector4f& p) {
    for (int i = 0; i < object->Vertices()->Count(); ++i)
      if (VectorEquals3f(object->Vertices()->Get(i), {p.X, p.Y, p.Z})) return i;
    return -1;
  };
  std::set<std::pair<int, int>> edges, expected;
  for (int e = 0; e < silhouette->Indices().Count(); e += 2) {
    const int a = indexOf(silhouette->Vertices()[silhouette->Indices()[e]]);
    const int b = indexOf(silhouette->Vertices()[silhouette->Indices()[e + 1]]);
    edges.insert({std::min(a, b), std::max(a, b)});
  }
  for (const auto& e : kTorusOutline) expected.insert({e[0], e[1]});
  EXPECT_EQ(edges, expected);
  EXPECT_EQ(silhouette->Indices().Count(), static_cast<int>(2 * std::size(kTorusOutline))) << "no edge twice";
}
