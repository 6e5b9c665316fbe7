// Extents, points inside, ray casts (against numpy's float64 hits), silhouettes and the cached
// boxes of a scene object.
#include <gtest/gtest.h>

#include <cmath>

#include "GeometryTable.h"
#include "SceneTestSupport.h"

using namespace gl3d;
using namespace gl3d::test;

namespace {

void SetUniformScale(TGLBaseSceneObject& o, float s) {
  TGLCoordinates3 scale(nullptr, {s, s, s, 0}, ckVector);
  o.SetScale(scale);
}

}  // namespace

TEST(Extents, DimensionsRadiusAndPointsInside) {
  TGLBaseSceneObject object(nullptr);
  EXPECT_EQ(object.BoundingSphereRadiusUnscaled(), std::sqrt(0.75f));
  SetUniformScale(object, 2);
  EXPECT_TRUE(VectorEquals4f(object.AxisAlignedDimensions(), {1, 1, 1, 0}));
  EXPECT_FLOAT_EQ(object.BoundingSphereRadius(), std::sqrt(3.0f));

  TGLBaseSceneObject plain(nullptr);
  plain.Position()->SetPoint(5, 6, 7);
  plain.SetTurnAngle(90);
  EXPECT_TRUE(plain.PointInObject(plain.AbsolutePosition()));
  // 0.6 along the local x axis is outside, 0.4 inside; the local axis is turned in the world.
  const TVector4f x = plain.LocalToAbsolute({0.6f, 0, 0, 1});
  EXPECT_FALSE(plain.PointInObject(x));
  EXPECT_TRUE(plain.PointInObject(plain.LocalToAbsolute({0.4f, 0.5f, -0.5f, 1})));  // on two faces
  // Turned by +90 degrees, Direction is (1, 0, 0) and the local x axis (Up x Direction) is
  // (0, 0, -1).
  EXPECT_NEAR(x.Z, 7 - 0.6f, 1e-5);
  EXPECT_NEAR(x.X, 5, 1e-5);
  EXPECT_FLOAT_EQ(plain.SqrDistanceTo({5, 6, 10, 1}), 9);
}

TEST(Extents, RayCastOnTheBoundingSphereAgreesWithNumpy) {
  int hits = 0;
  for (const TSphereCase& c : kSphereCases) {
    TGLBaseSceneObject o(nullptr);
    o.Position()->SetPoint(c.centre[0], c.centre[1], c.centre[2]);
    SetUniformScale(o, c.radius / 0.8660254f);
    const TVector4f start{c.start[0], c.start[1], c.start[2], 1}, dir{c.dir[0], c.dir[1], c.dir[2], 0};
    TVector4f point{9, 9, 9, 9}, normal{9, 9, 9, 9};
    ASSERT_EQ(o.RayCastIntersect(start, dir, &point, &normal), c.hit);
    if (!c.hit) {
      EXPECT_TRUE(VectorEquals4f(point, {9, 9, 9, 9}));  // untouched on a miss
      EXPECT_TRUE(VectorEquals4f(normal, {9, 9, 9, 9}));
      continue;
    }
    ++hits;
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(point[i], c.point[i], 2e-4);
    // The normal points from the centre to the hit.
    const TVector3f n{point.X - c.centre[0], point.Y - c.centre[1], point.Z - c.centre[2]};
    const float len = VectorLength3f(n);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(normal[i], n[i] / len, 1e-4);
    EXPECT_TRUE(o.RayCastIntersect(start, dir));  // the outputs are optional
  }
  EXPECT_GT(hits, 5);
  EXPECT_LT(hits, static_cast<int>(std::size(kSphereCases)) - 5);
}

TEST(Extents, SilhouetteIsACircleOf21Points) {
  TGLBaseSceneObject object(nullptr);
  const float radius = std::sqrt(0.75f);
  for (const bool capping : {false, true}) {
    // Seen along x, the (1, 0, 0) cross product is zero and (0, 1, 0) is taken.
    auto s = object.GenerateSilhouette({{5, 0, 0}, {0, 0, 0}, ssParallel, capping});
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Vertices().Count(), capping ? 22 : 21);
    EXPECT_EQ(s->Indices().Count(), 42);
    EXPECT_EQ(s->CapIndices().Count(), capping ? 63 : 0);
    for (int i = 0; i < 21; ++i) {
      const TVector4f v = s->Vertices()[i];
      EXPECT_EQ(v.X, 0);  // in the plane facing the viewer
      EXPECT_NEAR(std::sqrt(v.Y * v.Y + v.Z * v.Z), 0.98f * radius, 1e-6);
      EXPECT_EQ(v.W, 1);
      EXPECT_EQ(s->Indices()[2 * i + 1], (i + 1) % 21);
    }
    if (capping) {
      EXPECT_TRUE(VectorEquals4f(s->Vertices()[21], {0, 0, 0, 1}));
      EXPECT_EQ(s->CapIndices()[0], 21);
    }
  }
  // Seen from a point, the circle is the apparent outline of the sphere.
  auto omni = object.GenerateSilhouette({{0, 0, 4}, {0, 0, 0}, ssOmni, false});
  const TVector4f v = omni->Vertices()[3];
  EXPECT_NEAR(std::sqrt(v.X * v.X + v.Y * v.Y), 0.98f * SphereApparentRadius(4, radius), 1e-6);
}

TEST(Extents, BoxesWithChildrenAndTheirCaches) {
  TGLBaseSceneObject parent(nullptr);
  SetUniformScale(parent, 2);
  TAxisBox box = parent.AxisAlignedBoundingBox(false);
  EXPECT_TRUE(VectorEquals3f(box.Max, {1, 1, 1}));

  parent.OwnBoundingBoxCached();
  parent.ChildrenBoundingBoxCached();
  EXPECT_EQ(parent.BoundsChanges(), 0);
  auto* child = parent.AddNewChild<TGLBaseSceneObject>();
  EXPECT_NE(parent.BoundsChanges() & BBChangeBit(bcChildren), 0);
  child->Position()->SetPoint(3, 0, 0);
  TAxisBox with;
  CornerBoxToAxisBox(parent.BoundingBoxWithChildrenCached(), with);
  EXPECT_TRUE(VectorEquals3f(with.Min, {-0.5f, -0.5f, -0.5f}));
  EXPECT_TRUE(VectorEquals3f(with.Max, {3.5f, 0.5f, 0.5f}));
  // In the world, the parent's scale applies.
  const TAxisBox absolute = parent.AbsoluteBoundingBoxWithChildren();
  EXPECT_TRUE(VectorEquals3f(absolute.Max, {7, 1, 1}));
  // The unscaled and scaled axis boxes with children agree with it.
  box = parent.AxisAlignedBoundingBox(true);
  EXPECT_TRUE(VectorEquals3f(box.Max, {7, 1, 1}));
  EXPECT_TRUE(VectorEquals3f(box.Min, {-1, -1, -1}));

  // Moving, adding and removing children bring the cache up to date.
  child->Position()->SetPoint(0, -4, 0);
  CornerBoxToAxisBox(parent.BoundingBoxWithChildrenCached(), with);
  EXPECT_TRUE(VectorEquals3f(with.Min, {-0.5f, -4.5f, -0.5f}));
  EXPECT_TRUE(VectorEquals3f(with.Max, {0.5f, 0.5f, 0.5f}));
  TGLBaseSceneObject other(nullptr);
  other.Insert(0, child);
  CornerBoxToAxisBox(parent.BoundingBoxWithChildrenCached(), with);
  EXPECT_TRUE(VectorEquals3f(with.Min, {-0.5f, -0.5f, -0.5f}));
}
