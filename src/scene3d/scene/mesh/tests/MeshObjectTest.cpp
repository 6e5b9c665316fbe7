// Mesh objects and face groups without a driver: ownership, extents and their cache, triangle
// counts and extraction, assignment, and the editor's preview mesh.
#include <gtest/gtest.h>

#include <string>

#include "MeshTestSupport.h"
#include "scene3d/scene/Scene3dScene.h"

using namespace gl3d;
using namespace gl3d::test;

namespace {

void Fill(TAffineVectorList& list, int n) {
  for (int i = 0; i < n; ++i) list.Add({static_cast<float>(i), static_cast<float>(2 * i), static_cast<float>(-i)});
}

void FillIndices(TIntegerList& list, std::initializer_list<int32_t> indices) {
  for (int32_t i : indices) list.Add(i);
}

}  // namespace

TEST(MeshObject, OwnersTrackTheirItemsBothWays) {
  TMeshObjectList list;
  TMeshObject* a = TMeshObject::CreateOwned(&list);
  TMeshObject* b = TMeshObject::CreateOwned(&list);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(a->Owner(), &list);
  auto* group = TFaceGroup::CreateOwned<TFGVertexIndexList>(b->FaceGroups());
  EXPECT_EQ(group->MeshObject(), b);
  EXPECT_EQ(group->LightMapIndex(), -1);
  delete group;
  EXPECT_EQ(b->FaceGroups()->Count(), 0);
  delete a;
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Items(0), b);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(MeshObject, ExtentsAreCachedPerVertexRevision) {
  TMeshObject mesh;
  TVector3f lo, hi;
  // A new object reports the empty box until its vertex list changes (both revisions are 0).
  mesh.GetExtents(lo, hi);
  EXPECT_EQ(lo.X, 0);
  EXPECT_EQ(hi.X, 0);
  Fill(*mesh.Vertices(), 4);
  mesh.GetExtents(lo, hi);
  EXPECT_EQ(lo.Y, 0);
  EXPECT_EQ(hi.Y, 6);
  EXPECT_EQ(lo.Z, -3);
  // A change that bypasses the revision is not seen; one through Put is.
  mesh.Vertices()->List()[0].Y = -10;
  mesh.GetExtents(lo, hi);
  EXPECT_EQ(lo.Y, 0);
  mesh.Vertices()->Put(1, {0, -20, 0});
  EXPECT_EQ(mesh.GetExtentsBox().Min.Y, -20);
  EXPECT_TRUE(mesh.PointInObject({3, 6, -3}));
  EXPECT_FALSE(mesh.PointInObject({3.5f, 0, 0}));

  TMeshObjectList list;
  list.GetExtents(lo, hi);
  EXPECT_EQ(lo.X, 1e30f);
  EXPECT_EQ(hi.Z, -1e30f);
}

TEST(MeshObject, TriangleCountsAndExtractionByMode) {
  TMeshObject mesh;
  Fill(*mesh.Vertices(), 8);
  Fill(*mesh.Normals(), 8);
  mesh.SetMode(moTriangles);
  EXPECT_EQ(mesh.TriangleCount(), 2);
  TAffineVectorList normals;
  EXPECT_EQ(mesh.ExtractTriangles(nullptr, &normals)->Count(), 0);  // 8 is no multiple of 3
  mesh.SetMode(moTriangleStrip);
  EXPECT_EQ(mesh.TriangleCount(), 6);
  normals.Clear();
  EXPECT_EQ(mesh.ExtractTriangles(nullptr, &normals)->Count(), 18);
  EXPECT_EQ(normals.Count(), 18);
  mesh.SetMode(static_cast<TMeshObjectMode>(7));
  EXPECT_THROW(mesh.TriangleCount(), common::EAssertionFailed);

  TMeshObject strip;
  strip.SetMode(moTriangleStrip);
  Fill(*strip.Vertices(), 1);
  EXPECT_EQ(strip.TriangleCount(), 0);

  // GetTexCoordsEx makes the lists up to the index asked for.
  EXPECT_EQ(mesh.TexCoordsExCount(), 0);
  mesh.GetTexCoordsEx(2);
  EXPECT_EQ(mesh.TexCoordsExCount(), 3);
  EXPECT_THROW(mesh.SetExtraCoordIndex1(-1), common::EAssertionFailed);
}

TEST(FaceGroup, TriangleCountsAndCornersOfEveryMode) {
  struct Case {
    TFaceGroupMode mode;
    std::initializer_list<int32_t> indices;
    int triangles;
    std::vector<float> cornersX;  // x of each corner = the vertex index
  };
  const Case cases[] = {
      {fgTriangles, {0, 1, 2, 3, 4}, 1, {0, 1, 2}},
      {fgTriangles2, {0, 1, 2, 3, 4, 5}, 2, {0, 1, 2, 3, 4, 5}},
      {fgTriangleStrip, {0, 1, 2, 3}, 2, {0, 1, 2, 3, 2, 1}},
      {fgTriangleStrip, {0, 1}, 0, {}},
      {fgTriangleFan, {0, 1, 2, 3}, 2, {0, 1, 2, 0, 2, 3}},
      {fgQuads, {0, 1, 2, 3, 4, 5, 6, 7}, 4, {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7}},
      // An index outside the vertices gives a zero corner instead of a read past the list.
      {fgTriangles, {0, 99, 2}, 1, {0, 0, 2}},
  };
  for (const Case& c : cases) {
    TMeshObject mesh;
    mesh.SetMode(moFaceGroups);
    Fill(*mesh.Vertices(), 8);
    auto* group = TFaceGroup::CreateOwned<TFGVertexIndexList>(mesh.FaceGroups());
    group->SetMode(c.mode);
    FillIndices(*group->VertexIndices(), c.indices);
    EXPECT_EQ(group->TriangleCount(), c.triangles) << int(c.mode);
    EXPECT_EQ(mesh.TriangleCount(), c.triangles) << int(c.mode);
    TAffineVectorList texCoords;
    std::unique_ptr<TAffineVectorList> corners = mesh.ExtractTriangles(&texCoords);
    ASSERT_EQ(corners->Count(), static_cast<int>(c.cornersX.size())) << int(c.mode);
    for (int i = 0; i < corners->Count(); ++i) EXPECT_EQ(corners->Get(i).X, c.cornersX[static_cast<size_t>(i)]);
    // The mesh object has no texture coordinates: as many zero vectors as corners.
    ASSERT_EQ(texCoords.Count(), corners->Count());
    for (int i = 0; i < texCoords.Count(); ++i) EXPECT_EQ(texCoords.Get(i).X, 0);
  }
}

TEST(FaceGroup, SeparateIndexListsAndOwnTexCoords) {
  TMeshObject mesh;
  mesh.SetMode(moFaceGroups);
  Fill(*mesh.Vertices(), 4);
  Fill(*mesh.Normals(), 4);
  Fill(*mesh.TexCoords(), 4);
  auto* nt = TFaceGroup::CreateOwned<TFGVertexNormalTexIndexList>(mesh.FaceGroups());
  FillIndices(*nt->VertexIndices(), {0, 1, 2});
  FillIndices(*nt->NormalIndices(), {3, 3, 3});
  FillIndices(*nt->TexCoordIndices(), {2, 1, 0});
  auto* own = TFaceGroup::CreateOwned<TFGIndexTexCoordList>(mesh.FaceGroups());
  own->SetMode(fgTriangleFan);
  FillIndices(*own->VertexIndices(), {0, 1, 2, 3});
  for (int i = 0; i < 4; ++i) own->TexCoords()->Add({10.0f + i, 0, 0});
  TAffineVectorList tex, normals;
  std::unique_ptr<TAffineVectorList> corners = mesh.ExtractTriangles(&tex, &normals);
  ASSERT_EQ(corners->Count(), 9);
  ASSERT_EQ(tex.Count(), 9);
  ASSERT_EQ(normals.Count(), 9);
  EXPECT_EQ(normals.Get(0).X, 3);
  EXPECT_EQ(tex.Get(0).X, 2);
  EXPECT_EQ(tex.Get(2).X, 0);
  // The fan's own coordinates go by position: (0, 1, 2), (0, 2, 3).
  const float fan[] = {10, 11, 12, 10, 12, 13};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(tex.Get(3 + i).X, fan[i]);
  EXPECT_EQ(corners->Get(8).X, 3);
}

TEST(MeshObject, AssignCopiesListsGroupsAndExtraLists) {
  TMeshObject source;
  source.SetName("grid");
  source.SetMode(moFaceGroups);
  source.SetRenderingOptions(RenderingOptionBit(moroGroupByMaterial));
  Fill(*source.Vertices(), 3);
  Fill(*source.TexCoords(), 3);
  source.GetTexCoordsEx(1)->AddPoint({1, 2, 3});
  source.SetVisible(false);
  auto* group = TFaceGroup::CreateOwned<TFGVertexIndexList>(source.FaceGroups());
  group->SetMaterialName("stone");
  FillIndices(*group->VertexIndices(), {0, 1, 2});

  Scene3dSceneStartup();
  TMeshObject copy;
  copy.GetTexCoordsEx(4);
  copy.Assign(&source);
  EXPECT_EQ(copy.Name(), "grid");
  EXPECT_EQ(copy.Mode(), moFaceGroups);
  EXPECT_EQ(copy.RenderingOptions(), 1);
  EXPECT_EQ(copy.Vertices()->Count(), 3);
  EXPECT_EQ(copy.TexCoords()->Count(), 3);
  EXPECT_TRUE(copy.Visible());  // the flag is not copied
  ASSERT_EQ(copy.TexCoordsExCount(), 2);
  EXPECT_EQ(copy.GetTexCoordsEx(1)->Get(0).Z, 3);
  ASSERT_EQ(copy.FaceGroups()->Count(), 1);
  auto* copied = dynamic_cast<TFGVertexIndexList*>(copy.FaceGroups()->Items(0));
  ASSERT_NE(copied, nullptr);
  EXPECT_EQ(copied->MaterialName(), "stone");
  EXPECT_EQ(copied->MeshObject(), &copy);
  EXPECT_EQ(copied->VertexIndices()->Count(), 3);
}

TEST(MeshObjectList, ExtractTrianglesSkipsInvisibleObjects) {
  TMeshObjectList list;
  for (int k = 0; k < 3; ++k) {
    TMeshObject* mesh = TMeshObject::CreateOwned(&list);
    Fill(*mesh->Vertices(), 3);
    Fill(*mesh->Normals(), 3);
    mesh->SetVisible(k != 1);
  }
  TAffineVectorList normals;
  EXPECT_EQ(list.ExtractTriangles(nullptr, &normals)->Count(), 6);
  EXPECT_EQ(normals.Count(), 6);
  list.Translate({1, 0, 0});
  EXPECT_EQ(list.Items(1)->Vertices()->Get(0).X, 1);
}

TEST(PreviewMesh, GridOf33HasItsVerticesTrianglesAndExtents) {
  TMeshObjectList list;
  TMeshObject* mesh = BuildPreviewMesh(list, 33);
  EXPECT_EQ(mesh->Vertices()->Count(), 1089);
  EXPECT_EQ(mesh->Normals()->Count(), 1089);
  EXPECT_EQ(mesh->TriangleCount(), 2048);
  TVector3f lo, hi;
  list.GetExtents(lo, hi);
  EXPECT_FLOAT_EQ(lo.Y, -0.5f);
  EXPECT_FLOAT_EQ(hi.Y, 0.5f);
  EXPECT_NEAR(lo.X, -0.5f, 1e-6);
  EXPECT_NEAR(hi.X, 0.5f, 1e-6);
  EXPECT_NEAR(lo.Z, -0.5f, 1e-6);
  EXPECT_NEAR(hi.Z, 0.5f, 1e-6);
  // A rebuild replaces the object.
  BuildPreviewMesh(list, 5);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Items(0)->TriangleCount(), 32);
}
