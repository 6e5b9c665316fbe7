// The cube, the plane, the dummy cube and the direct-GL, render-point and camera-invariant objects
// on the recording table: what they emit, their ray casts, their caches and display lists.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ObjectsTestSupport.h"
#include "scene3d/scene/objects/GLCube.h"
#include "scene3d/scene/objects/GLDummyCube.h"
#include "scene3d/scene/objects/GLPlane.h"
#include "scene3d/scene/texture/GLMultitextureCoordinator.h"

using namespace gl3d;
using namespace gl3d::test;

namespace {

class SceneObjects : public ObjectsFixture {
 protected:
  // The vertices of the recorded Vertex2f/Vertex3f calls.
  std::vector<TVector3f> Vertices() const {
    std::vector<TVector3f> out;
    for (const TGLRecordedCall& c : rec.Calls) {
      if (c.Name == "Vertex3f") out.push_back({float(c.Args[0].F), float(c.Args[1].F), float(c.Args[2].F)});
      if (c.Name == "Vertex2f") out.push_back({float(c.Args[0].F), float(c.Args[1].F), 0});
      if (c.Name == "Vertex3fv") out.push_back({float(c.Values[0]), float(c.Values[1]), float(c.Values[2])});
    }
    return out;
  }
  std::vector<TTexPoint> TexCoords() const {
    std::vector<TTexPoint> out;
    for (const TGLRecordedCall& c : rec.Calls) {
      if (c.Name == "TexCoord2f") out.push_back({float(c.Args[0].F), float(c.Args[1].F)});
      if (c.Name == "TexCoord2fv") out.push_back({float(c.Values[0]), float(c.Values[1])});
    }
    return out;
  }
};

}  // namespace

TEST_F(SceneObjects, TheEditorsCubeFacesItsCentre) {
  auto* cube = root->AddNewChild<TGLCube>();
  cube->WriteCubeWidth(2);
  cube->WriteCubeHeight(2);
  cube->WriteCubeDepth(2);
  cube->SetNormalDirection(ndInside);
  CurrentMultitextureCoordinator()->SetMainMapping();
  cube->BuildList(rci);
  const std::vector<TVector3f> v = Vertices();
  ASSERT_EQ(v.size(), 36u);
  EXPECT_EQ(TexCoords().size(), 30u);  // the fourth vertex of each face repeats the third's
  for (const TVector3f& p : v)
    for (int k = 0; k < 3; ++k) EXPECT_EQ(std::fabs(p[k]), 1) << k;
  // Every triangle's front side (counter-clockwise) faces the centre, as do the normals.
  for (size_t t = 0; t < 36; t += 3) {
    TVector3f n, centroid{(v[t].X + v[t + 1].X + v[t + 2].X) / 3, (v[t].Y + v[t + 1].Y + v[t + 2].Y) / 3,
                          (v[t].Z + v[t + 1].Z + v[t + 2].Z) / 3};
    CalcPlaneNormal3f(v[t], v[t + 1], v[t + 2], n);
    EXPECT_LT(VectorDotProduct3f(n, centroid), 0) << t;
  }
  std::vector<TVector3f> normals;
  for (const TGLRecordedCall& c : rec.Calls)
    if (c.Name == "Normal3f") normals.push_back({float(c.Args[0].F), float(c.Args[1].F), float(c.Args[2].F)});
  ASSERT_EQ(normals.size(), 6u);
  for (size_t f = 0; f < 6; ++f) {
    TVector3f centre{0, 0, 0};
    for (size_t k = 0; k < 6; ++k) AddVector3f(centre, v[6 * f + k]);
    EXPECT_LT(VectorDotProduct3f(normals[f], centre), 0) << f;
  }

  rec.Clear();
  cube->SetParts(CubePartBit(cpTop));
  cube->BuildList(rci);
  EXPECT_EQ(Vertices().size(), 6u);
  rec.Clear();
  cube->SetParts(0);
  cube->BuildList(rci);
  EXPECT_EQ(rec.Names(), "Begin End");
}

TEST_F(SceneObjects, CubeRayCasts) {
  auto* cube = root->AddNewChild<TGLCube>();
  TVector4f point, normal;
  ASSERT_TRUE(cube->RayCastIntersect({0, 0, 5, 1}, {0, 0, -1, 0}, &point, &normal));
  EXPECT_FLOAT_EQ(point.Z, 0.5f);
  EXPECT_FLOAT_EQ(point.X, 0);
  EXPECT_FLOAT_EQ(normal.Z, 1);
  EXPECT_FLOAT_EQ(normal.X, 0);
  // From inside: only faces the ray enters through count, and those lie behind it.
  EXPECT_FALSE(cube->RayCastIntersect({0, 0, 0, 1}, {0, 0, -1, 0}));
  EXPECT_FALSE(cube->RayCastIntersect({2, 0, 5, 1}, {0, 0, -1, 0}));
}

TEST_F(SceneObjects, CubeSizeIsStoredOnlyWhenASizeIsNot1) {
  TGLCube cube(nullptr);
  auto stored = [&cube] {
    TMemoryStream ms;
    TWriter writer(ms);
    writer.WriteDefinedProperties(cube);
    return ms.DataString();
  };
  EXPECT_EQ(stored(), std::string(1, '\0'));  // only the end of the list
  cube.WriteCubeDepth(2);
  const float size[3] = {1, 1, 2};
  EXPECT_EQ(stored(), BinaryProperty("CubeSize", std::string(reinterpret_cast<const char*>(size), 12)));
  // Read back into another cube; data of another length fails and keeps the sizes.
  TGLCube other(nullptr);
  TMemoryStream in(stored());
  TReader reader(in);
  reader.ReadDefinedProperties(other);
  EXPECT_EQ(other.CubeDepth(), 2);
  TMemoryStream bad(BinaryProperty("CubeSize", std::string(8, '\0')));
  TReader badReader(bad);
  EXPECT_THROW(badReader.ReadDefinedProperties(other), EReadError);
  EXPECT_EQ(other.CubeDepth(), 2);
}

TEST_F(SceneObjects, WritingTheSameSizeSendsNoNotice) {
  TComponent form(nullptr);
  auto* scene = new TGL3DScene(&form);
  TCountingBuffer buffer;
  scene->AddBuffer(&buffer);
  auto* cube = scene->Objects()->AddNewChild<TGLCube>();
  const int before = buffer.notices;
  cube->WriteCubeWidth(1);
  EXPECT_EQ(buffer.notices, before);
  cube->WriteCubeWidth(2);
  EXPECT_GT(buffer.notices, before);
  scene->RemoveBuffer(&buffer);
}

TEST_F(SceneObjects, TheEditorsPlaneIsTwoTrianglesWithTheWholeTexture) {
  auto* plane = root->AddNewChild<TGLPlane>();
  plane->SetWidth(4);
  plane->SetHeight(4);
  plane->SetStyle(PlaneStyleBit(psSingleQuad));
  CurrentMultitextureCoordinator()->SetMainMapping();
  plane->BuildList(rci);
  const std::vector<TVector3f> v = Vertices();
  ASSERT_EQ(v.size(), 6u);
  for (const TVector3f& p : v) {
    EXPECT_EQ(std::fabs(p.X), 2);
    EXPECT_EQ(std::fabs(p.Y), 2);
  }
  for (const TTexPoint& t : TexCoords()) {
    EXPECT_TRUE(t.S == 0 || t.S == 1);
    EXPECT_TRUE(t.T == 0 || t.T == 1);
  }
  // Texture coordinate (1, 1) goes with (2, 2), (0, 0) with (-2, -2).
  EXPECT_EQ(TexCoords()[0].S, 1);
  EXPECT_EQ(v[0].X, 2);
  EXPECT_EQ(TexCoords()[2].S, 0);
  EXPECT_EQ(v[2].X, -2);
}

TEST_F(SceneObjects, PlaneScopesTilesAndTheirMesh) {
  TGLPlane plane(nullptr);
  plane.SetXScope(3);
  EXPECT_EQ(plane.XScope(), 1);
  plane.SetStyle(PlaneStyleBit(psTileTexture));
  plane.SetXScope(0.5f);
  plane.SetXOffset(0.25f);
  plane.SetXTiles(4);
  CurrentMultitextureCoordinator()->SetMainMapping();
  plane.BuildList(rci);
  // s1 = 4 * 0.5 + 0.25; the tile mesh spans s1 - s0 = 2 without the offset.
  ASSERT_EQ(plane.TileMesh().size(), 2u);
  ASSERT_EQ(plane.TileMesh()[0].size(), 5u);
  EXPECT_FLOAT_EQ(plane.TileMesh()[0][4].TexCoord.S, 2);
  EXPECT_EQ(Vertices().size(), 4u * 6u);
  // A style change keeps the mesh; a tile change drops it.
  plane.SetStyle(PlaneStyleBit(psTileTexture) | PlaneStyleBit(psSingleQuad));
  EXPECT_FALSE(plane.TileMesh().empty());
  plane.SetXTiles(2);
  EXPECT_TRUE(plane.TileMesh().empty());
}

TEST_F(SceneObjects, PlaneRayCasts) {
  auto* plane = root->AddNewChild<TGLPlane>();
  plane->SetWidth(4);
  plane->SetHeight(4);
  TVector4f point, normal;
  ASSERT_TRUE(plane->RayCastIntersect({1, 1, 3, 1}, {0, 0, -1, 0}, &point, &normal));
  EXPECT_FLOAT_EQ(point.X, 1);
  EXPECT_FLOAT_EQ(point.Z, 0);
  EXPECT_FLOAT_EQ(normal.Z, 1);
  ASSERT_TRUE(plane->RayCastIntersect({1, 1, -3, 1}, {0, 0, 1, 0}, &point, &normal));
  EXPECT_FLOAT_EQ(normal.Z, -1);
  // Parallel, away from the plane, or beside it: no hit.
  EXPECT_FALSE(plane->RayCastIntersect({0, 0, 1, 1}, {1, 0, 0, 0}));
  EXPECT_FALSE(plane->RayCastIntersect({0, 0, 0, 1}, {1, 0, 0, 0}));
  EXPECT_FALSE(plane->RayCastIntersect({0, 0, 3, 1}, {0, 0, 1, 0}));
  EXPECT_FALSE(plane->RayCastIntersect({3, 0, 3, 1}, {0, 0, -1, 0}));
}

TEST_F(SceneObjects, AnAmalgamatedDummyCubeCompilesItsSubtreeOnce) {
  auto* dummy = root->AddNewChild<TGLDummyCube>();
  dummy->SetAmalgamate(true);
  auto* child = dummy->AddNewChild<TMarker>();
  child->Marker = 4;
  child->SetObjectStyle(ObjectStyleBit(sfDirectDraw));
  Frame();
  Frame();
  EXPECT_EQ(child->builds, 1);
  EXPECT_EQ(rec.Count("NewList"), 0u);
  EXPECT_EQ(rec.Count("CallList"), 1u);
  // A child's own structure change does not reach the group; the dummy cube's does.
  child->StructureChanged();
  Frame();
  EXPECT_EQ(child->builds, 1);
  dummy->StructureChanged();
  Frame();
  EXPECT_EQ(child->builds, 2);
  EXPECT_EQ(rec.Count("NewList"), 1u);
  EXPECT_FALSE(rci.Amalgamating);
}

TEST_F(SceneObjects, DummyCubeVisibilityAndWireFrame) {
  auto* dummy = root->AddNewChild<TGLDummyCube>();
  auto* child = dummy->AddNewChild<TMarker>();
  child->Marker = 4;
  child->SetObjectStyle(ObjectStyleBit(sfDirectDraw));
  dummy->OnVisibilityDetermination = [](TObject*, TRenderContextInfo&) { return false; };
  Frame();
  EXPECT_TRUE(Drawn().empty());
  dummy->OnVisibilityDetermination = nullptr;
  Frame();
  EXPECT_EQ(Drawn(), (std::vector<int>{4}));
  EXPECT_EQ(rec.Count("Begin"), 0u);  // invisible at run time
  dummy->SetVisibleAtRunTime(true);
  dummy->SetCubeSize(2);
  Frame();
  EXPECT_EQ(Vertices().size(), 16u);
  for (const TVector3f& p : Vertices()) EXPECT_EQ(std::fabs(p.X), 1);
  EXPECT_NE(rec.Log().find("LineStipple(1, 52428)"), std::string::npos) << rec.Log();
  EXPECT_FLOAT_EQ(dummy->AxisAlignedDimensionsUnscaled().Y, 1);
}

TEST_F(SceneObjects, DirectGLCompilesIntoAListWhenAsked) {
  auto* direct = root->AddNewChild<TGLDirectOpenGL>();
  int calls = 0;
  direct->OnRender = [&calls](TObject*, TRenderContextInfo&) {
    ++calls;
    CurrentGLEntryPoints().PassThrough(9);
  };
  Frame();
  Frame();
  EXPECT_EQ(calls, 2);
  direct->SetUseBuildList(true);
  Frame();
  Frame();
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(rec.Count("CallList"), 1u);
  direct->StructureChanged();
  Frame();
  EXPECT_EQ(calls, 4);
  EXPECT_FLOAT_EQ(direct->AxisAlignedDimensionsUnscaled().W, 1);
}

TEST_F(SceneObjects, RenderPointCallsItsPairsAndLetsThemGoLastFirst) {
  auto* point = root->AddNewChild<TGLRenderPoint>();
  std::vector<std::string> log;
  for (const char* name : {"a", "b"})
    point->RegisterCallback([&log, name](TObject*, TRenderContextInfo&) { log.push_back(std::string("draw ") + name); },
                            [&log, name](TObject*) { log.push_back(std::string("free ") + name); });
  Frame();
  delete point;
  EXPECT_EQ(log, (std::vector<std::string>{"draw a", "draw b", "free b", "free a"}));
}

TEST_F(SceneObjects, CamInvarianceCancelsTheCamerasPlaceOrTurn) {
  // A marker that keeps the view matrix it was drawn with.
  struct TViewProbe : TMarker {
    using TMarker::TMarker;
    void BuildList(TRenderContextInfo& rci) override { view = rci.Transformation->GetViewMatrix(); }
    TMatrix4f view{};
  };
  auto* dummy = root->AddNewChild<TGLDummyCube>();
  auto* probe = new TViewProbe(dummy->Owner());
  dummy->AddChild(probe);
  probe->SetObjectStyle(ObjectStyleBit(sfDirectDraw));
  TGLTransformation& t = *rci.Transformation;
  const TMatrix4f turn = CreateRotationMatrixY(0.5f);
  dummy->SetCamInvarianceMode(cimPosition);
  for (const float cameraX : {0.0f, 7.0f}) {
    rci.CameraPosition = {cameraX, 0, 10, 1};
    TMatrix4f view;
    MultiplyMatrix4f(CreateTranslationMatrix4f({-cameraX, 0, -10, 1}), turn, view);
    t.SetViewMatrix(view);
    Frame();
    // The camera's turn stays, its translation is gone; the view is back afterwards.
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(probe->view[r][c], turn[r][c], 1e-6);
    EXPECT_NEAR(probe->view[3].X, 0, 1e-5) << cameraX;
    EXPECT_NEAR(probe->view[3].Z, 0, 1e-5) << cameraX;
    EXPECT_FLOAT_EQ(t.GetViewMatrix()[3].Z, view[3].Z);
  }
  dummy->SetCamInvarianceMode(cimOrientation);
  Frame();
  EXPECT_FLOAT_EQ(probe->view[1].Y, -1);
  EXPECT_FLOAT_EQ(probe->view[2].Z, -1);
  EXPECT_FLOAT_EQ(probe->view[3].X, 0);
}
