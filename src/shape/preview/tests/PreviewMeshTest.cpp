// The preview mesh built into a real free form: counts, the vertex order and texture coordinates,
// the triangles, the quantisation it takes, finite normals and damaged grid sizes.
#include <gtest/gtest.h>

#include <cmath>

#include "scene3d/scene/mesh/GLBaseMesh.h"
#include "settings/AppSettings.h"
#include "shape/preview/PreviewMesh.h"
#include "shape/preview/tests/PreviewSceneFixture.h"

using namespace shape;
using shape_test::NewShape;

namespace {

struct TMeshFixture : shape_test::TPreviewSceneFixture<gl3d::TGLFreeForm> {
  gl3d::TMeshObject& Mesh() {
    EXPECT_EQ(object->MeshObjects()->Count(), 1);
    return *object->MeshObjects()->GetMeshObject(0);
  }
  gl3d::TFGVertexIndexList& Group() {
    EXPECT_EQ(Mesh().FaceGroups()->Count(), 1);
    return *static_cast<gl3d::TFGVertexIndexList*>(Mesh().FaceGroups()->GetFaceGroup(0));
  }
  static void ExpectVector(const gl3d::TVector3f& v, float x, float y, float z) {
    EXPECT_EQ(v.X, x);
    EXPECT_EQ(v.Y, y);
    EXPECT_EQ(v.Z, z);
  }
};

}  // namespace

TEST(BuildPreviewMesh, The33By33GridAtViewLevel1) {
  TMeshFixture f;
  auto cs = NewShape(SCTYPE_SPHERE, 33, 33);
  BuildPreviewMesh(*cs, *f.object);
  BuildPreviewMesh(*cs, *f.object);  // the old mesh goes
  gl3d::TMeshObject& mesh = f.Mesh();
  EXPECT_EQ(mesh.Mode(), gl3d::moFaceGroups);
  EXPECT_EQ(mesh.Vertices()->Count(), 1089);
  EXPECT_EQ(mesh.TexCoords()->Count(), 1089);
  EXPECT_EQ(mesh.Normals()->Count(), 1089);
  gl3d::TFGVertexIndexList& group = f.Group();
  EXPECT_EQ(group.Mode(), gl3d::fgTriangles);
  EXPECT_EQ(group.VertexIndices()->Count(), 6144);
  EXPECT_EQ(mesh.TriangleCount(), 2048);

  // Row by row from the top: vertex 0 is point (0, 32), the last point (32, 0). 32 x 32 cells
  // already take the part quantisation, with one part over the whole grid.
  const TPreviewQuantizer q(*cs);
  ASSERT_TRUE(q.ByParts());
  ASSERT_EQ(q.PartCount(), 1);
  const gl3d::TVector3f* v = mesh.Vertices()->List();
  const gl3d::TVector3f* t = mesh.TexCoords()->List();
  for (const auto& [index, i, j] :
       {std::tuple{0, 0, 32}, {32, 32, 32}, {33, 0, 31}, {40, 7, 31}, {1088, 32, 0}}) {
    const gl3d::TVector3f p = q.Position(i, j);
    TMeshFixture::ExpectVector(v[index], p.X, p.Y, p.Z);
    TMeshFixture::ExpectVector(t[index], static_cast<float>(i / 32.0), static_cast<float>(j / 32.0), 0);
  }
  TMeshFixture::ExpectVector(t[0], 0, 1, 0);
  TMeshFixture::ExpectVector(t[1088], 1, 0, 0);

  // Two triangles per quad: k, k + W, k + 1 and k + 1, k + W, k + W + 1.
  const int32_t* idx = group.VertexIndices()->List();
  const int32_t first[] = {0, 33, 1, 1, 33, 34, 1, 34, 2, 2, 34, 35};
  for (int n = 0; n < 12; ++n) EXPECT_EQ(idx[n], first[n]) << n;
  const int32_t last[] = {1054, 1087, 1055, 1055, 1087, 1088};  // the quad k = 31 + 33 * 31
  for (int n = 0; n < 6; ++n) EXPECT_EQ(idx[6138 + n], last[n]) << n;
}

TEST(BuildPreviewMesh, ViewLevelsSampleTheGrid) {
  const struct {
    int columns, rows, level;
    int w, h;
  } cases[] = {
      {33, 33, 4, 9, 9},  // columns and rows 0, 4, ..., 32
      {33, 17, 2, 17, 9},
      {10, 7, 4, 3, 2},  // 9 and 6 are no multiples of 4: the last column and row are not sampled
  };
  for (const auto& c : cases) {
    TMeshFixture f;
    settings::AppSettings.ViewLevel = c.level;
    auto cs = NewShape(SCTYPE_PLANE, c.columns, c.rows);
    BuildPreviewMesh(*cs, *f.object);
    gl3d::TMeshObject& mesh = f.Mesh();
    ASSERT_EQ(mesh.Vertices()->Count(), c.w * c.h) << c.columns << " x " << c.rows << " at " << c.level;
    EXPECT_EQ(f.Group().VertexIndices()->Count(), 6 * (c.w - 1) * (c.h - 1));
    const TPreviewQuantizer q(*cs);
    for (int r = 0; r < c.h; ++r)
      for (int col = 0; col < c.w; ++col) {
        const int i = c.level * col, j = c.level * (c.h - 1 - r);
        const gl3d::TVector3f p = q.Position(i, j);
        const gl3d::TVector3f& v = mesh.Vertices()->List()[col + c.w * r];
        ASSERT_TRUE(v.X == p.X && v.Y == p.Y && v.Z == p.Z) << "vertex " << col + c.w * r;
        ASSERT_EQ(mesh.TexCoords()->List()[col + c.w * r].Y, static_cast<float>(j / double(c.rows - 1)));
      }
  }
}

TEST(BuildPreviewMesh, SmallGridsTakeThe128thSteps) {
  TMeshFixture f;
  auto cs = NewShape(SCTYPE_SPHERE, 17, 17);
  for (int i = 0; i < 17; ++i)
    for (int j = 0; j < 17; ++j) cs->CP[i][j][2] += 0.003 * i;  // off the 1/128 steps
  BuildPreviewMesh(*cs, *f.object);
  const gl3d::TAffineVectorList& vertices = *f.Mesh().Vertices();
  ASSERT_EQ(vertices.Count(), 289);
  for (int n = 0; n < vertices.Count(); ++n) {
    const gl3d::TVector3f& v = vertices.List()[n];
    for (const float c : {v.X, v.Y, v.Z}) ASSERT_EQ(c * 128, std::round(c * 128)) << "vertex " << n;
  }
}

TEST(BuildPreviewMesh, TheStructureChangeReachesTheScene) {
  TMeshFixture f;
  auto cs = NewShape(SCTYPE_TORUS, 9, 9);
  f.object->ClearStructureChanged();
  f.buffer.notices = 0;
  BuildPreviewMesh(*cs, *f.object);
  EXPECT_GE(f.buffer.notices, 1);
  EXPECT_TRUE(f.object->Changes() & gl3d::ObjectChangeBit(gl3d::chStructure));
}

TEST(BuildPreviewMesh, EveryNormalOfTheDefaultAndTheLargestSphereIsFinite) {
  // The sphere's poles are rows of one point each: their triangles have no area.
  for (const int size : {33, 257}) {
    TMeshFixture f;
    auto cs = NewShape(SCTYPE_SPHERE, size, size);
    BuildPreviewMesh(*cs, *f.object);
    const gl3d::TAffineVectorList& normals = *f.Mesh().Normals();
    ASSERT_EQ(normals.Count(), size * size);
    for (int n = 0; n < normals.Count(); ++n) {
      const gl3d::TVector3f& v = normals.List()[n];
      ASSERT_TRUE(std::isfinite(v.X) && std::isfinite(v.Y) && std::isfinite(v.Z)) << size << ": " << n;
    }
    // A wall vertex has a unit normal pointing away from the axis (the sphere is a can).
    const gl3d::TVector3f& wall = normals.List()[size * (size / 2)];
    EXPECT_NEAR(std::sqrt(wall.X * wall.X + wall.Y * wall.Y + wall.Z * wall.Z), 1, 1e-3);
  }
}

TEST(BuildPreviewMesh, DamagedGridSizesStayInsideTheGrid) {
  const struct {
    int columns, rows, vertices;
  } cases[] = {{0, 9, 9}, {1, 1, 1}, {-5, 400, 257}, {1000, 2, 257 * 2}};
  for (const auto& c : cases) {
    TMeshFixture f;
    auto cs = NewShape(SCTYPE_PLANE, 9, 9);
    cs->CPMaxI = c.columns;
    cs->CPMaxJ = c.rows;
    BuildPreviewMesh(*cs, *f.object);
    EXPECT_EQ(f.Mesh().Vertices()->Count(), c.vertices) << c.columns << " x " << c.rows;
    for (int n = 0; n < f.Mesh().TexCoords()->Count(); ++n) {
      const gl3d::TVector3f& t = f.Mesh().TexCoords()->List()[n];
      ASSERT_TRUE(std::isfinite(t.X) && std::isfinite(t.Y));
    }
  }
}
