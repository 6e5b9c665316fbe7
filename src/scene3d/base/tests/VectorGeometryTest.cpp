#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "common/Exception.h"
#include "scene3d/base/VectorGeometry.h"

using namespace gl3d;

namespace {

constexpr float kPi = 3.14159265358979f;

void ExpectVec(const TVector4f& v, float x, float y, float z, float w, float tol = 1e-6f) {
  EXPECT_NEAR(v.X, x, tol);
  EXPECT_NEAR(v.Y, y, tol);
  EXPECT_NEAR(v.Z, z, tol);
  EXPECT_NEAR(v.W, w, tol);
}

void ExpectVec3(const TVector3f& v, float x, float y, float z, float tol = 1e-6f) {
  EXPECT_NEAR(v.X, x, tol);
  EXPECT_NEAR(v.Y, y, tol);
  EXPECT_NEAR(v.Z, z, tol);
}

void ExpectMatrixNear(const TMatrix4f& a, const TMatrix4f& b, float tol) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(a[i][j], b[i][j], tol) << "[" << i << "][" << j << "]";
}

}  // namespace

TEST(VectorGeometry, RotationBuildersTurnRowVectorsOppositeWays) {
  TVector4f out;
  VectorTransform4f({0, 1, 0, 0}, CreateRotationMatrixX(kPi / 2), out);
  ExpectVec(out, 0, 0, 1, 0);
  VectorTransform4f({0, 1, 0, 0}, CreateAxisRotationMatrix4f({1, 0, 0, 0}, kPi / 2), out);
  ExpectVec(out, 0, 0, -1, 0);
  // Y and Z builders, and the in-place rotation.
  VectorTransform4f({1, 0, 0, 0}, CreateRotationMatrixZ(kPi / 2), out);
  ExpectVec(out, 0, 1, 0, 0);
  VectorTransform4f({0, 0, 1, 0}, CreateRotationMatrixY(kPi / 2), out);
  ExpectVec(out, 1, 0, 0, 0);
  TVector4f v{0, 1, 0, 0};
  RotateVector4f(v, {2, 0, 0, 0}, kPi / 2);  // the axis is normalised first
  ExpectVec(v, 0, 0, -1, 0);
}

TEST(VectorGeometry, ProductAppliesTheFirstMatrixFirst) {
  const TMatrix4f t = CreateTranslationMatrix3f({1, 0, 0});
  const TMatrix4f r = CreateRotationMatrixZ(kPi / 2);
  TMatrix4f m;
  MultiplyMatrix4f(t, r, m);
  TVector3f p;
  VectorTransform3f({0, 0, 0}, m, p);  // translated to (1,0,0), then rotated to (0,1,0)
  ExpectVec3(p, 0, 1, 0);
  // MatrixMultiplyInto may write over an operand.
  TMatrix4f a = t;
  MatrixMultiplyInto(a, r, a);
  ExpectMatrixNear(a, m, 0);
}

TEST(VectorGeometry, InversionThresholdAndIdentityFallback) {
  struct Case {
    float scale;
    bool inverts;
  };
  for (Case c : {Case{2, true}, Case{1e-11f, true}, Case{1e-14f, false}, Case{0, false}}) {
    TMatrix4f m = CreateScaleMatrix3f({c.scale, c.scale, c.scale});
    InvertMatrix(m);
    if (c.inverts) {
      EXPECT_NEAR(m[0][0] * c.scale, 1, 1e-5) << c.scale;
      EXPECT_NEAR(m[3][3], 1, 1e-5);
    } else {
      ExpectMatrixNear(m, IdentityMatrix4f, 0);
    }
  }
  // A general matrix times its inverse is the identity.
  TMatrix4f m = CreateRotationMatrixX(0.3f), inv, prod;
  MatrixMultiplyInto(m, CreateTranslationMatrix3f({1, -2, 3}), m);
  MatrixMultiplyInto(m, CreateScaleMatrix3f({2, 3, 0.5f}), m);
  inv = m;
  InvertMatrix(inv);
  MultiplyMatrix4f(m, inv, prod);
  ExpectMatrixNear(prod, IdentityMatrix4f, 1e-5f);
  // The angle-preserving inverse agrees for rotation and translation.
  TMatrix4f rt;
  MultiplyMatrix4f(CreateRotationMatrixY(1.1f), CreateTranslationMatrix3f({4, 5, 6}), rt);
  TMatrix4f fast, general = rt;
  InvertAnglePreservingMatrix(rt, fast);
  InvertMatrix(general);
  ExpectMatrixNear(fast, general, 1e-5f);
  InvertAnglePreservingMatrix(TMatrix4f{}, fast);
  ExpectMatrixNear(fast, IdentityMatrix4f, 0);
}

TEST(VectorGeometry, NormalisationKeepsZeroAndClearsW) {
  TVector3f z{0, 0, 0};
  NormalizeVector3f(z);
  EXPECT_TRUE(VectorEquals3f(z, {0, 0, 0}));
  TVector4f v{3, 0, 4, 7};
  NormalizeVector4f(v);
  ExpectVec(v, 0.6f, 0, 0.8f, 0);
  TVector3f arr[2] = {{0, 5, 0}, {0, 0, 0}};
  NormalizeVectorArray3f(arr, 2);
  ExpectVec3(arr[0], 0, 1, 0);
  ExpectVec3(arr[1], 0, 0, 0);
}

TEST(VectorGeometry, EqualityIsBitwise) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(VectorEquals4f({0, 0, 0, 0}, {-0.0f, 0, 0, 0}));
  EXPECT_TRUE(VectorEquals4f({nan, 1, 2, 3}, {nan, 1, 2, 3}));
  EXPECT_FALSE(VectorEquals3f({1, 2, 3}, {1, 2, 3.0000005f}));
}

TEST(VectorGeometry, ProductsLengthsAndHelpers) {
  EXPECT_FLOAT_EQ(VectorDotProduct3f({1, 2, 3}, {4, 5, 6}), 32);
  EXPECT_FLOAT_EQ(VectorDotProduct4f({1, 2, 3, 4}, {4, 5, 6, 7}), 60);
  TVector3f c;
  VectorCrossProduct3f({1, 0, 0}, {0, 1, 0}, c);
  ExpectVec3(c, 0, 0, 1);
  TVector4f c4;
  VectorCrossProduct4f({0, 1, 0, 5}, {0, 0, 1, 5}, c4);
  ExpectVec(c4, 1, 0, 0, 0);
  EXPECT_FLOAT_EQ(VectorLength4f({3, 4, 0, 100}), 5);
  EXPECT_FLOAT_EQ(VectorNorm3f({1, 2, 2}), 9);
  EXPECT_FLOAT_EQ(VectorDistance3f({1, 1, 1}, {4, 5, 1}), 5);
  EXPECT_FLOAT_EQ(VectorSpacing3f({1, 1, 1}, {4, -5, 1}), 9);
  EXPECT_FLOAT_EQ(ProjectPointOnAxis3f({5, 3, 0}, {1, 0, 0}, {1, 0, 0}), 4);
  TVector3f rej;
  VectorRejection3f({1, 2, 3}, {0, 0, 1}, rej);
  ExpectVec3(rej, 1, 2, 0);
  TVector4f p;
  VectorSubtractPoint4f({5, 5, 5, 1}, {1, 2, 3}, p);
  ExpectVec(p, 4, 3, 2, 1);
  TVector4f m{1, 5, -2, 0};
  MaxVector4f(m, {2, 2, 2, 2});
  ExpectVec(m, 2, 5, 2, 2);
  float arr[3] = {1, 2, 3};
  ScaleSingleArray(arr, 3, 2.0f);
  EXPECT_EQ(arr[2], 6);
  TVector3f calc;
  CalcPlaneNormal3f({0, 0, 0}, {2, 0, 0}, {0, 3, 0}, calc);
  ExpectVec3(calc, 0, 0, 1);
}

TEST(VectorGeometry, PickMatrix) {
  ExpectMatrixNear(CreatePickMatrix(10, 10, 0, 5, {0, 0, 100, 100}), IdentityMatrix4f, 0);
  ExpectMatrixNear(CreatePickMatrix(10, 10, 5, -1, {0, 0, 100, 100}), IdentityMatrix4f, 0);
  const TMatrix4f m = CreatePickMatrix(30, 40, 10, 20, {0, 0, 100, 200});
  EXPECT_FLOAT_EQ(m[0][0], 10);
  EXPECT_FLOAT_EQ(m[1][1], 10);
  EXPECT_FLOAT_EQ(m[3][0], 4);  // (100 - 60) / 10
  EXPECT_FLOAT_EQ(m[3][1], 6);  // (200 - 80) / 20
}

TEST(VectorGeometry, DecomposeGivesRowLengthsAsScales) {
  TTransformations t{};
  ASSERT_TRUE(DecomposeMatrix4f(IdentityMatrix4f, t));
  for (int i = ttScaleX; i <= ttScaleZ; ++i) EXPECT_FLOAT_EQ(t[i], 1);
  for (int i = ttShearXY; i <= ttPerspectiveW; ++i) EXPECT_EQ(t[i], 0) << i;

  TMatrix4f w0 = IdentityMatrix4f;
  w0[3][3] = 0;
  EXPECT_FALSE(DecomposeMatrix4f(w0, t));
  EXPECT_FALSE(DecomposeMatrix4f(CreateScaleMatrix3f({1, 0, 1}), t));

  // Scale (2, 3, 4), then rotate about Z, then translate: scales are lengths, not squares.
  TMatrix4f m;
  MultiplyMatrix4f(CreateScaleMatrix3f({2, 3, 4}), CreateRotationMatrixZ(0.5f), m);
  MatrixMultiplyInto(m, CreateTranslationMatrix3f({7, 8, 9}), m);
  ASSERT_TRUE(DecomposeMatrix4f(m, t));
  EXPECT_NEAR(t[ttScaleX], 2, 1e-5);
  EXPECT_NEAR(t[ttScaleY], 3, 1e-5);
  EXPECT_NEAR(t[ttScaleZ], 4, 1e-5);
  EXPECT_NEAR(t[ttShearXY], 0, 1e-6);
  EXPECT_NEAR(t[ttRotateZ], 0.5f, 1e-5);
  EXPECT_NEAR(t[ttRotateX], 0, 1e-6);
  EXPECT_NEAR(t[ttTranslateX], 7, 1e-5);
  EXPECT_NEAR(t[ttTranslateZ], 9, 1e-5);

  // A shear of 0.5 in a row scaled by 2: row 1 = (1, 2, 0) gives scale y 2 and shear 0.5.
  TMatrix4f sh = IdentityMatrix4f;
  sh[1] = {1, 2, 0, 0};
  ASSERT_TRUE(DecomposeMatrix4f(sh, t));
  EXPECT_NEAR(t[ttScaleY], 2, 1e-6);
  EXPECT_NEAR(t[ttShearXY], 0.5f, 1e-6);

  // A perspective column is recovered.
  TMatrix4f p = IdentityMatrix4f;
  p[0][3] = 0.25f;
  ASSERT_TRUE(DecomposeMatrix4f(p, t));
  EXPECT_NEAR(t[ttPerspectiveX], 0.25f, 1e-6);
  EXPECT_NEAR(t[ttPerspectiveW], 1, 1e-6);
}

TEST(VectorGeometry, NormalizeMatrixAndEulerLerp) {
  TMatrix4f m{{{2, 0, 0, 5}, {0, 3, 0, 5}, {9, 9, 9, 9}, {1, 2, 3, 4}}};
  NormalizeMatrix(m);
  ExpectMatrixNear(m, IdentityMatrix4f, 1e-6f);

  TVector3f out;
  LerpEulerAngles3f({0.1f, 0.2f, 0.3f}, {0.1f, 0.2f, 0.3f}, 0.5f, out);
  ExpectVec3(out, 0.1f, 0.2f, 0.3f, 0);
  LerpEulerAngles3f({0, 0, 0}, {0, 0, 1}, 0.5f, out);
  EXPECT_NEAR(out.Z, 0.5f, 1e-4);
}

TEST(VectorGeometry, LerpArraysMayWriteOverASource) {
  TVector3f a[2] = {{0, 0, 0}, {2, 2, 2}}, b[2] = {{2, 4, 6}, {4, 4, 4}};
  VectorArrayLerp3f(a, b, 0.5f, 2, a);
  ExpectVec3(a[0], 1, 2, 3);
  ExpectVec3(a[1], 3, 3, 3);
  TTexPoint s[1] = {{0, 1}}, t[1] = {{1, 0}};
  LerpTexPointArray(s, t, 0.25f, 1, s);
  EXPECT_FLOAT_EQ(s[0].S, 0.25f);
  EXPECT_FLOAT_EQ(s[0].T, 0.75f);
}

// ---- Quaternions, planes and intersections ----

TEST(Quaternion, NormalisationSlerpAndMatrix) {
  TQuaternion z{0, 0, 0, 0};
  NormalizeQuaternion(z);
  EXPECT_EQ(z.W, 1);
  EXPECT_EQ(z.X, 0);

  TQuaternion q;
  QuaternionFromAxisAngle({0, 0, 2}, 90, q);
  EXPECT_NEAR(q.Z, std::sqrt(0.5f), 1e-6);
  EXPECT_NEAR(q.W, std::sqrt(0.5f), 1e-6);
  TQuaternion neg{-q.X, -q.Y, -q.Z, -q.W}, s;
  QuaternionSlerp(q, neg, 0.5f, s);
  EXPECT_NEAR(s.Z, q.Z, 1e-6);
  EXPECT_NEAR(s.W, q.W, 1e-6);

  TMatrix4f m;
  QuaternionToMatrix(q, m);
  ExpectMatrixNear(m, CreateRotationMatrixZ(kPi / 2), 1e-6f);

  TQuaternion r, ident = IdentityQuaternion;
  QuaternionMultiply(q, ident, r);
  EXPECT_FLOAT_EQ(r.Z, q.Z);
  QuaternionMultiply(q, q, r);  // two quarter turns about z make a half turn
  EXPECT_NEAR(r.Z, 1, 1e-6);
  EXPECT_NEAR(r.W, 0, 1e-6);
}

TEST(Quaternion, EulerOrdersAndGuard) {
  TQuaternion a, b;
  // Order 0 is X ⊗ Y ⊗ Z.
  QuaternionFromEuler(30, 40, 50, 0, a);
  TQuaternion qx, qy, qz, t, expect;
  QuaternionFromAxisAngle(XVector3f, 30, qx);
  QuaternionFromAxisAngle(YVector3f, 40, qy);
  QuaternionFromAxisAngle(ZVector3f, 50, qz);
  QuaternionMultiply(qy, qz, t);
  QuaternionMultiply(qx, t, expect);
  EXPECT_FLOAT_EQ(a.X, expect.X);
  EXPECT_FLOAT_EQ(a.W, expect.W);
  // Order 5 is Z ⊗ Y ⊗ X.
  QuaternionFromEuler(30, 40, 50, 5, b);
  QuaternionMultiply(qy, qx, t);
  QuaternionMultiply(qz, t, expect);
  EXPECT_FLOAT_EQ(b.Y, expect.Y);
  // At exactly 90 degrees the guard slerps the rotations at 89.999 and 90.001.
  QuaternionFromEuler(0, 90, 0, 0, a);
  EXPECT_NEAR(a.Y, std::sqrt(0.5f), 1e-5);
  EXPECT_NEAR(a.W, std::sqrt(0.5f), 1e-5);
  EXPECT_NEAR(QuaternionMagnitude(a), 1, 1e-6);
  EXPECT_THROW(QuaternionFromEuler(0, 0, 0, 6, a), common::EAssertionFailed);
}

TEST(Planes, FrustumPlanesAndClipping) {
  TFrustum fr;
  ExtractFrustumPlanes(CreateOrthoMatrix(-1, 1, -1, 1, -1, 1), fr);
  EXPECT_NEAR(fr.Planes[TFrustum::pLeft].X, 1, 1e-6);
  EXPECT_NEAR(fr.Planes[TFrustum::pLeft].W, 1, 1e-6);
  EXPECT_FALSE(IsSphereClipped({0, 0, 0}, 0.1f, fr));
  EXPECT_FALSE(IsSphereClipped({1.5f, 0, 0}, 0.5f, fr));  // touching counts as inside
  EXPECT_TRUE(IsSphereClipped({1.6f, 0, 0}, 0.5f, fr));
  EXPECT_TRUE(IsSphereClipped4f({0, -3, 0, 1}, 1, fr));
  EXPECT_FALSE(IsBoxClipped({0.9f, 0.9f, 0}, {1.5f, 1.5f, 0}, fr));
  EXPECT_TRUE(IsBoxClipped({2.9f, 2.9f, 0}, {3.5f, 3.5f, 0}, fr));
  TVector4f plane{0, 0, 2, 4};
  NormalizePlane(plane);
  ExpectVec(plane, 0, 0, 1, 2);
  EXPECT_FLOAT_EQ(PlaneEvaluatePoint(plane, {5, 5, 1}), 3);
}

TEST(Intersections, RayTriangle) {
  TVector4f point, normal;
  EXPECT_TRUE(RayTriangleIntersect({0.2f, 0.2f, 5, 1}, {0, 0, -1, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, &point,
                                   &normal));
  ExpectVec(point, 0.2f, 0.2f, 0, 1);
  ExpectVec(normal, 0, 0, 1, 0);
  // Outside the triangle, behind the start, parallel.
  EXPECT_FALSE(RayTriangleIntersect({0.8f, 0.8f, 5, 1}, {0, 0, -1, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
  EXPECT_FALSE(RayTriangleIntersect({0.2f, 0.2f, 5, 1}, {0, 0, 1, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
  EXPECT_FALSE(RayTriangleIntersect({0.2f, 0.2f, 5, 1}, {1, 0, 0, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
}

TEST(Intersections, RaySphere) {
  TVector4f i1{}, i2{};
  EXPECT_EQ(RaySphereIntersect({-5, 0, 0, 1}, {1, 0, 0, 0}, {0, 0, 0}, 1, i1, i2), 2);
  ExpectVec(i1, -1, 0, 0, 1);
  ExpectVec(i2, 1, 0, 0, 1);
  // From inside: exactly one hit, the exit point.
  EXPECT_EQ(RaySphereIntersect({0, 0, 0, 1}, {1, 0, 0, 0}, {0, 0, 0}, 1, i1, i2), 1);
  ExpectVec(i1, 1, 0, 0, 1);
  // Pointing away, and passing beside.
  EXPECT_EQ(RaySphereIntersect({5, 0, 0, 1}, {1, 0, 0, 0}, {0, 0, 0}, 1, i1, i2), 0);
  EXPECT_EQ(RaySphereIntersect({-5, 3, 0, 1}, {1, 0, 0, 0}, {0, 0, 0}, 1, i1, i2), 0);
  // Tangent: one hit ahead.
  EXPECT_EQ(RaySphereIntersect({-5, 1, 0, 1}, {1, 0, 0, 0}, {0, 0, 0}, 1, i1, i2), 1);
  ExpectVec(i1, 0, 1, 0, 1);
  EXPECT_NEAR(SphereApparentRadius(2, 1), 1.1547005f, 1e-6);
}

TEST(Scalars, RoundingTable) {
  struct Case {
    float x;
    int round, trunc, floor, ceil;
  };
  const Case cases[] = {
      {2.5f, 2, 2, 2, 3}, {3.5f, 4, 3, 3, 4},      {-2.5f, -2, -2, -3, -2}, {-2.0f, -2, -2, -2, -2},
      {2.7f, 3, 2, 2, 3}, {-2.7f, -3, -2, -3, -2}, {-1.5f, -2, -1, -2, -1}, {2.0f, 2, 2, 2, 2},
      {0.0f, 0, 0, 0, 0}, {-0.5f, 0, 0, -1, 0},    {0.5f, 0, 0, 0, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RoundSingle(c.x), c.round) << c.x;
    EXPECT_EQ(TruncSingle(c.x), c.trunc) << c.x;
    EXPECT_EQ(FloorSingle(c.x), c.floor) << c.x;
    EXPECT_EQ(CeilSingle(c.x), c.ceil) << c.x;
  }
  EXPECT_EQ(RoundToWholeSingle(2.5f), 2.0f);
  EXPECT_EQ(RoundToWholeSingle(-3.5f), -4.0f);
  EXPECT_EQ(RoundToWholeSingle(1e30f), 1e30f);
  EXPECT_FLOAT_EQ(FracSingle(-2.75f), -0.75f);
  EXPECT_EQ(IntExtended(-7.9L), -7.0L);
  // Values that do not fit saturate instead of overflowing.
  EXPECT_EQ(RoundSingle(std::numeric_limits<float>::quiet_NaN()), 0);
  EXPECT_EQ(TruncSingle(1e20f), 2147483647);
  EXPECT_EQ(FloorSingle(-1e20f), -2147483647 - 1);
}

TEST(Scalars, PowersAnglesAndClamps) {
  EXPECT_EQ(PowerSingle(0, 0), 1);
  EXPECT_EQ(PowerSingle(0, 3), 0);
  EXPECT_FLOAT_EQ(PowerSingle(2, -2), 0.25f);
  EXPECT_TRUE(std::isinf(PowerSingle(0, -1)));
  EXPECT_NEAR(PowerSingle(4, 0.5f), 2, 1e-6);
  EXPECT_TRUE(std::isnan(PowerSingle(-4, 0.5f)));
  EXPECT_FLOAT_EQ(PowerInteger(10, 2), 1024);
  EXPECT_FLOAT_EQ(PowerInteger(-3, 2), 0.125f);

  EXPECT_FLOAT_EQ(NormalizeDegAngle(370), 10);
  EXPECT_FLOAT_EQ(NormalizeDegAngle(-190), 170);
  EXPECT_FLOAT_EQ(NormalizeDegAngle(180), 180);
  EXPECT_FLOAT_EQ(NormalizeDegAngle(-180), -180);
  EXPECT_FLOAT_EQ(NormalizeDegAngle(725), 5);

  EXPECT_EQ(ClampSingle(5, 0, 1), 1);
  EXPECT_EQ(ClampSingle(-1, 0, 1), 0);
  EXPECT_EQ(ClampSingle(0.5f, 0, 1), 0.5f);
  EXPECT_EQ(DegToRadSingle(180), 0.017453292f * 180);
  EXPECT_NEAR(RadToDegExtended(DegToRadExtended(33)), 33, 1e-15);
  EXPECT_NEAR(ArcCosExtended(0.5L), std::acos(0.5L), 1e-15);
  EXPECT_NEAR(ArcSinExtended(0.5L), std::asin(0.5L), 1e-15);
  EXPECT_NEAR(ArcCosSingle(-1), kPi, 1e-6);
  float s, c;
  SinCosScaled(kPi / 2, 3, s, c);
  EXPECT_NEAR(s, 3, 1e-6);
  EXPECT_NEAR(c, 0, 1e-6);
  EXPECT_FLOAT_EQ(RSqrtSingle(4), 0.5f);
  EXPECT_EQ(SmallerInteger(-3, 2), -3);
  EXPECT_EQ(LargerInteger(-3, 2), 2);
}
