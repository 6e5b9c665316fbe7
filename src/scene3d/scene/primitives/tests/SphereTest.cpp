// The sphere on the recording table (strips, caps, inside normals and the winding), its
// property rules, ray cast and silhouette, and the primitives' registrations.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "scene3d/scene/Scene3dScene.h"
#include "scene3d/scene/primitives/GLSphere.h"
#include "scene3d/scene/primitives/tests/PrimitivesTestSupport.h"

using namespace gl3d;

namespace {

using Sphere = gl3d::test::PrimitivesFixture;

// The vertices of every glBegin(primitive) .. glEnd run, one list per run.
std::vector<std::vector<gl3d::test::TRecordedVertex>> Runs(const TGLCallRecorder& rec, GLenum primitive) {
  std::vector<std::vector<gl3d::test::TRecordedVertex>> runs;
  bool inside = false;
  for (const TGLRecordedCall& c : rec.Calls) {
    if (c.Name == "Begin") {
      inside = c.Args[0].I == primitive;
      if (inside) runs.emplace_back();
    } else if (c.Name == "End") {
      inside = false;
    } else if (inside && c.Name == "Vertex3fv") {
      runs.back().push_back({c.Values[0], c.Values[1], c.Values[2]});
    } else if (inside && c.Name == "Vertex3f") {
      runs.back().push_back({c.Args[0].F, c.Args[1].F, c.Args[2].F});
    }
  }
  return runs;
}

}  // namespace

TEST_F(Sphere, ADefaultSphereIsSixteenStripsOfThirtyFourVertices) {
  TGLSphere sphere(nullptr);
  sphere.BuildList(rci);
  const auto strips = Runs(rec, GL_TRIANGLE_STRIP);
  ASSERT_EQ(strips.size(), 16u);
  for (const auto& strip : strips) EXPECT_EQ(strip.size(), 34u);
  EXPECT_EQ(CountWith("Begin", GL_TRIANGLE_FAN), 0u);
  EXPECT_NEAR(strips[0][0].y, 1, 1e-6) << "from the north pole";
  EXPECT_NEAR(strips[15][1].y, -1, 1e-6) << "to the south pole";
  for (const auto& v : strips[7]) EXPECT_NEAR(std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z), 1, 1e-6);
  const auto scale = Triples("Scalef");
  ASSERT_EQ(scale.size(), 1u);
  EXPECT_EQ(scale[0].x, 0.5) << "the unit sphere scaled by Radius";
  EXPECT_EQ(CountWith("PushAttrib", GL_POLYGON_BIT), 1u);
  EXPECT_EQ(rec.Count("PopAttrib"), 1u);
  EXPECT_EQ(rec.Count("FrontFace"), 0u);
}

TEST_F(Sphere, CapsCloseACutSphere) {
  const float s45 = std::sin(std::numbers::pi_v<float> / 4);
  struct Case {
    TCapType top, bottom;
    int topAngle, bottomAngle;
    size_t fans;
    double firstY;  // the first fan's centre
  } cases[] = {
      {ctFlat, ctNone, 45, -90, 1, s45},
      {ctCenter, ctNone, 45, -90, 1, 0},
      {ctFlat, ctFlat, 90, -90, 0, 0},
      {ctNone, ctFlat, 90, -30, 1, -0.5},
      {ctFlat, ctCenter, 60, -60, 2, std::sin(std::numbers::pi / 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.topAngle) + " / " + std::to_string(c.bottomAngle));
    TGLSphere sphere(nullptr);
    sphere.SetTop(static_cast<TAngleLimit1>(c.topAngle));
    sphere.SetBottom(static_cast<TAngleLimit1>(c.bottomAngle));
    sphere.SetTopCap(c.top);
    sphere.SetBottomCap(c.bottom);
    rec.Clear();
    sphere.BuildList(rci);
    const auto fans = Runs(rec, GL_TRIANGLE_FAN);
    ASSERT_EQ(fans.size(), c.fans);
    if (fans.empty()) continue;
    EXPECT_EQ(fans[0].size(), 18u) << "the centre and 17 ring points";
    EXPECT_NEAR(fans[0][0].y, c.firstY, 1e-6);
    for (size_t i = 1; i < fans[0].size(); ++i)
      EXPECT_NEAR(fans[0][i].y, fans[0][1].y, 1e-6) << "a flat ring";
  }
}

TEST_F(Sphere, HalfASphereHasHalfDiscCaps) {
  TGLSphere sphere(nullptr);
  sphere.SetStop(180);
  sphere.SetTop(30);
  sphere.SetTopCap(ctFlat);
  sphere.SetBottom(-30);
  sphere.SetBottomCap(ctFlat);
  sphere.BuildList(rci);
  const auto fans = Runs(rec, GL_TRIANGLE_FAN);
  ASSERT_EQ(fans.size(), 2u);
  for (const auto& fan : fans)
    for (const auto& v : fan) EXPECT_GE(v.x, -1e-6) << "sin θ >= 0 for θ in [0, 180]";
  EXPECT_NEAR(fans[0][1].z, std::cos(std::numbers::pi / 6), 1e-6) << "the top cap starts at Start";
  EXPECT_NEAR(fans[1][1].z, -std::cos(std::numbers::pi / 6), 1e-6) << "the bottom cap starts at Stop";
  for (const auto& strip : Runs(rec, GL_TRIANGLE_STRIP))
    for (const auto& v : strip) EXPECT_GE(v.x, -1e-6);
}

TEST_F(Sphere, InsideNormalsPointInAndTheWindingIsSwappedBack) {
  TGLSphere sphere(nullptr);
  sphere.SetNormalDirection(ndInside);
  sphere.BuildList(rci);
  EXPECT_EQ(CountWith("FrontFace", GL_CW), 1u);
  EXPECT_EQ(CountWith("FrontFace", GL_CCW), 1u);
  EXPECT_EQ(S().FrontFace(), windCounterClockwise) << "the swap is undone";
  const auto normals = Triples("Normal3f");
  const auto vertices = Vertices();
  ASSERT_EQ(normals.size(), vertices.size());
  for (size_t i = 0; i < vertices.size(); i += 37) {
    EXPECT_NEAR(normals[i].x, -vertices[i].x, 1e-6);
    EXPECT_NEAR(normals[i].y, -vertices[i].y, 1e-6);
  }
  // The caps' first normal turns too: a flat top cap faces down from inside.
  Restart();
  sphere.SetTop(45);
  sphere.SetTopCap(ctFlat);
  sphere.BuildList(rci);
  const auto first = Triples("Normal3f");
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(first[0].y, -1);
}

TEST(SphereProperties, LimitsAndAssertionsKeepTheValues) {
  TGLSphere sphere(nullptr);
  sphere.SetSlices(0);
  EXPECT_EQ(sphere.Slices(), 1);
  sphere.SetStacks(-4);
  EXPECT_EQ(sphere.Stacks(), 1);
  sphere.SetStop(200);
  EXPECT_THROW(sphere.SetStart(250), common::EAssertionFailed);
  EXPECT_EQ(sphere.Start(), 0);
  sphere.SetStart(100);
  EXPECT_THROW(sphere.SetStop(50), common::EAssertionFailed);
  EXPECT_EQ(sphere.Stop(), 200);

  sphere.SetRadius(-2);
  EXPECT_EQ(sphere.AxisAlignedDimensionsUnscaled().Y, 2);
  sphere.SetTopCap(ctCenter);
  sphere.SetNormals(nsFlat);
  TGLSphere copy(nullptr);
  copy.SetStop(50);
  copy.Assign(&sphere);
  EXPECT_EQ(copy.Start(), 100) << "copied as a pair, whatever the receiver had";
  EXPECT_EQ(copy.Stop(), 200);
  EXPECT_EQ(copy.Radius(), -2);
  EXPECT_EQ(copy.Slices(), 1);
  EXPECT_EQ(copy.TopCap(), ctNone) << "the caps are not copied";
  EXPECT_EQ(copy.Normals(), nsFlat);
}

TEST(SphereGeometry, RayCastHitsTheSurfaceInAbsoluteCoordinates) {
  TGLSphere sphere(nullptr);
  sphere.Position()->SetPoint(1, 0, 0);
  sphere.Scale()->SetVector(2, 2, 2);
  TVector4f point, normal;
  ASSERT_TRUE(sphere.RayCastIntersect({1, 0, 5, 1}, {0, 0, -3, 0}, &point, &normal));
  EXPECT_NEAR(point.X, 1, 1e-6);
  EXPECT_NEAR(point.Z, 1, 1e-6) << "radius 0.5 scaled by 2";
  EXPECT_NEAR(normal.Z, 1, 1e-6) << "the radius vector in absolute coordinates";
  EXPECT_EQ(normal.W, 0);
  EXPECT_FALSE(sphere.RayCastIntersect({3, 0, 5, 1}, {0, 0, -1, 0}, &point, &normal));
}

TEST(SphereGeometry, TheSilhouetteIsARingAcrossTheViewingDirection) {
  TGLSphere sphere(nullptr);
  TSilhouetteQuery query{{0, 0, 5}, {0, 0, 0}, ssOmni, false};
  auto s = sphere.GenerateSilhouette(query);
  ASSERT_EQ(s->Vertices().Count(), 16);
  EXPECT_EQ(s->Indices().Count(), 32);
  EXPECT_EQ(s->CapIndices().Count(), 0);
  for (int i = 0; i < 16; ++i) {
    const TVector4f& v = s->Vertices()[i];
    EXPECT_NEAR(std::hypot(v.X, v.Y), 0.5, 1e-6);
    EXPECT_NEAR(v.Z, 0, 1e-6);
  }
  EXPECT_EQ(s->Indices()[31], 0) << "the ring closes";

  sphere.SetStacks(24);
  query.CappingRequired = true;
  query.SeenFrom = {5, 0, 0};  // along X: the other reference axis
  s = sphere.GenerateSilhouette(query);
  ASSERT_EQ(s->Vertices().Count(), 25) << "24 ring points and the centre";
  EXPECT_EQ(s->CapIndices().Count(), 72);
  EXPECT_EQ(s->CapIndices()[0], 24);
  EXPECT_NEAR(s->Vertices()[3].X, 0, 1e-6);
}

TEST(PrimitiveRegistrations, EveryPrimitiveIsCreatedByName) {
  Scene3dSceneStartup();
  for (const char* name : {"TGLSphere", "TGLSprite", "TGLPoints", "TGLLines"}) {
    const auto object = CreateRegisteredClass(name);
    ASSERT_NE(object, nullptr) << name;
    EXPECT_STREQ(object->ClassName(), name);
  }
}
