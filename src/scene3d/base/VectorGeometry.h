#pragma once
// Single-precision vector maths of the 3D library.
//
// Matrices are row-major and vectors are row vectors: a point p maps to p·M, row 3 holds the
// translation, and MultiplyMatrix4f(M1, M2) = M1·M2 applies M1 first. Angles are radians unless
// a routine says degrees. Every routine computes in extended precision (long double) and stores
// singles, so results do not depend on the compiler's choice of float intermediates.
//
// Naming: routines that begin with "Vector" write to an output argument; routines whose name
// ends in "Vector" (before the size suffix) change their first argument in place.
#include <array>
#include <cstdint>
#include <type_traits>

namespace gl3d {

struct TVector3f {
  float X, Y, Z;
  float& operator[](int i) { return i == 0 ? X : (i == 1 ? Y : Z); }
  float operator[](int i) const { return i == 0 ? X : (i == 1 ? Y : Z); }
};
using TAffineVector = TVector3f;

struct TVector4f {
  float X, Y, Z, W;
  float& operator[](int i) { return i == 0 ? X : (i == 1 ? Y : (i == 2 ? Z : W)); }
  float operator[](int i) const { return i == 0 ? X : (i == 1 ? Y : (i == 2 ? Z : W)); }
};
using TVector = TVector4f;

struct TMatrix4f {
  TVector4f Row[4];
  TVector4f& operator[](int i) { return Row[i]; }
  const TVector4f& operator[](int i) const { return Row[i]; }
};
using TMatrix = TMatrix4f;

struct TTexPoint {
  float S, T;
};

// Imaginary part x, y, z first, then the real part w. The identity is (0, 0, 0, 1).
struct TQuaternion {
  float X, Y, Z, W;
};

// A plane (a, b, c, d) means a·x + b·y + c·z + d = 0; the normal points to the inside.
// A frustum holds six planes in the order left, top, right, bottom, near, far.
struct TFrustum {
  enum { pLeft = 0, pTop = 1, pRight = 2, pBottom = 3, pNear = 4, pFar = 5 };
  TVector4f Planes[6];
};

// The 16 values of DecomposeMatrix4f.
enum TTransType {
  ttScaleX,
  ttScaleY,
  ttScaleZ,
  ttShearXY,
  ttShearXZ,
  ttShearYZ,
  ttRotateX,
  ttRotateY,
  ttRotateZ,
  ttTranslateX,
  ttTranslateY,
  ttTranslateZ,
  ttPerspectiveX,
  ttPerspectiveY,
  ttPerspectiveZ,
  ttPerspectiveW
};
using TTransformations = std::array<float, 16>;

// These types are handed to GL as client arrays and stored raw in archives.
static_assert(sizeof(TVector3f) == 12 && std::is_trivially_copyable_v<TVector3f>);
static_assert(sizeof(TVector4f) == 16 && std::is_trivially_copyable_v<TVector4f>);
static_assert(sizeof(TMatrix4f) == 64 && std::is_trivially_copyable_v<TMatrix4f>);
static_assert(sizeof(TTexPoint) == 8 && std::is_trivially_copyable_v<TTexPoint>);
static_assert(sizeof(TQuaternion) == 16 && std::is_trivially_copyable_v<TQuaternion>);

// Constants.
inline constexpr TMatrix4f IdentityMatrix4f{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
inline constexpr TVector3f NullVector3f{0, 0, 0};
inline constexpr TVector4f NullVector4f{0, 0, 0, 0};
inline constexpr TVector3f XVector3f{1, 0, 0};
inline constexpr TVector3f YVector3f{0, 1, 0};
inline constexpr TVector3f ZVector3f{0, 0, 1};
inline constexpr TVector4f OriginPoint4f{0, 0, 0, 1};
inline constexpr TQuaternion IdentityQuaternion{0, 0, 0, 1};
// A determinant below this magnitude counts as singular (a denormal single).
inline constexpr float cInvertThreshold = 1e-40f;
// The general tolerance.
inline constexpr float cEpsilon30 = 1e-30f;

// ---- Additive and scaling routines (a count of 0 does nothing) ----
void ClearVector4f(TVector4f& v);
void VectorAdd3f(const TVector3f& a, const TVector3f& b, TVector3f& out);
void VectorAdd4f(const TVector4f& a, const TVector4f& b, TVector4f& out);
void AddVector3f(TVector3f& a, const TVector3f& b);
void VectorArrayAdd3f(const TVector3f* src, const TVector3f& v, int count, TVector3f* out);
void VectorSubtract3f(const TVector3f& a, const TVector3f& b, TVector3f& out);
void VectorSubtractToVector4f(const TVector3f& a, const TVector3f& b, TVector4f& out);
void VectorSubtractPoint4f(const TVector4f& a, const TVector3f& b, TVector4f& out);
void VectorSubtract4f(const TVector4f& a, const TVector4f& b, TVector4f& out);
void VectorSubtractInto4f(const TVector4f& a, const TVector4f& b, TVector4f& out);
void SubtractVector3f(TVector3f& a, const TVector3f& b);
void SubtractVector4f(TVector4f& a, const TVector4f& b);
void AddScaledVector3f(TVector3f& vr, const TVector3f& v, const float& f);
void VectorCombine4f(const TVector4f& a, const TVector4f& b, float f, TVector4f& out);
void VectorCombineAffine3f(const TVector3f& a, const TVector3f& b, float f, TVector3f& out);
void VectorNegate3f(const TVector3f& v, TVector3f& out);
void VectorNegate4f(const TVector4f& v, TVector4f& out);
void NegateVector3f(TVector3f& v);
void NegateVector4f(TVector4f& v);
void ScaleVector3f(TVector3f& v, float f);
void ScaleVector4f(TVector4f& v, float f);
void ScaleVectorByVector3f(TVector3f& v, const TVector3f& s);
void ScaleVectorByVector4f(TVector4f& v, const TVector4f& s);
void VectorScale3f(const TVector3f& v, float f, TVector3f& out);
void VectorScale4f(const TVector4f& v, float f, TVector4f& out);
void ScaleSingleArray(float* values, int count, const float& f);
void MaxVector4f(TVector4f& v, const TVector4f& m);

// ---- Products, lengths and comparisons ----
float VectorDotProduct3f(const TVector3f& a, const TVector3f& b);
float VectorDotProduct4f(const TVector4f& a, const TVector4f& b);
float VectorDotProductXYZ(const TVector4f& a, const TVector3f& b);
float ProjectPointOnAxis3f(const TVector3f& p, const TVector3f& origin, const TVector3f& direction);
float ProjectPointOnAxis4f(const TVector3f& p, const TVector3f& origin, const TVector4f& direction);
void VectorCrossProduct3f(const TVector3f& a, const TVector3f& b, TVector3f& out);
void VectorCrossProduct4f(const TVector4f& a, const TVector4f& b, TVector4f& out);
void VectorCrossProductTo3f(const TVector4f& a, const TVector4f& b, TVector3f& out);
float VectorLengthXY(float x, float y);
float VectorLength3f(const TVector3f& v);
float VectorLength4f(const TVector4f& v);
float VectorNorm3f(const TVector3f& v);
float VectorNorm4f(const TVector4f& v);
float VectorDistance3f(const TVector3f& a, const TVector3f& b);
float VectorDistanceSquared3f(const TVector3f& a, const TVector3f& b);
float VectorSpacing3f(const TVector3f& a, const TVector3f& b);
// Bit-for-bit: 0.0 and -0.0 differ, a NaN equals its own bit pattern.
bool VectorEquals4f(const TVector4f& a, const TVector4f& b);
bool VectorEquals3f(const TVector3f& a, const TVector3f& b);
void VectorRejection3f(const TVector3f& v, const TVector3f& n, TVector3f& out);

// ---- Normalisation (a zero vector stays zero) ----
void NormalizeVector3f(TVector3f& v);
void VectorNormalize3f(const TVector3f& v, TVector3f& out);
void NormalizeVectorArray3f(TVector3f* list, int count);
void NormalizeVector4f(TVector4f& v);
void VectorNormalize4f(const TVector4f& v, TVector4f& out);

// ---- Interpolation (the target may be one of the sources) ----
void VectorLerp3f(const TVector3f& a, const TVector3f& b, float t, TVector3f& out);
void VectorArrayLerp3f(const TVector3f* src1, const TVector3f* src2, float t, int count, TVector3f* out);
void VectorArrayLerp4f(const TVector4f* src1, const TVector4f* src2, float t, int count, TVector4f* out);
void LerpTexPointArray(const TTexPoint* src1, const TTexPoint* src2, float t, int count, TTexPoint* out);
// Euler angles in radians, interpolated through quaternions.
void LerpEulerAngles3f(const TVector3f& a1, const TVector3f& a2, float t, TVector3f& out);

// ---- Matrix builders ----
TMatrix4f CreateScaleMatrix3f(const TVector3f& v);
TMatrix4f CreateTranslationMatrix3f(const TVector3f& v);
TMatrix4f CreateTranslationMatrix4f(const TVector4f& v);
TMatrix4f CreateScaleAndTranslationMatrix(const TVector4f& scale, const TVector4f& offset);
TMatrix4f CreateRotationMatrixXSinCos(float sine, float cosine);
TMatrix4f CreateRotationMatrixYSinCos(float sine, float cosine);
TMatrix4f CreateRotationMatrixZSinCos(float sine, float cosine);
TMatrix4f CreateRotationMatrixX(float angle);
TMatrix4f CreateRotationMatrixY(float angle);
TMatrix4f CreateRotationMatrixZ(float angle);
// Turns the opposite way from CreateRotationMatrixX/Y/Z for the same axis and angle.
TMatrix4f CreateAxisRotationMatrix4f(const TVector4f& axis, float angle);
TMatrix4f CreateLookAtMatrix(const TVector4f& eye, const TVector4f& centre, const TVector4f& up);
TMatrix4f CreateFrustumMatrix(float left, float right, float bottom, float top, float znear, float zfar);
TMatrix4f CreateOrthoMatrix(float left, float right, float bottom, float top, float znear, float zfar);
// viewport: left, top, width, height.
TMatrix4f CreatePickMatrix(float x, float y, float deltax, float deltay,
                           const std::array<int32_t, 4>& viewport);

// ---- Matrix operations ----
// out must be neither operand.
void MultiplyMatrix4f(const TMatrix4f& m1, const TMatrix4f& m2, TMatrix4f& out);
// out may be m1 or m2.
void MatrixMultiplyInto(const TMatrix4f& m1, const TMatrix4f& m2, TMatrix4f& out);
void VectorTransform4f(const TVector4f& v, const TMatrix4f& m, TVector4f& out);
// v as a point with an implicit w of 1.
void VectorTransform3f(const TVector3f& v, const TMatrix4f& m, TVector3f& out);
void RotateVector4f(TVector4f& v, const TVector4f& axis, float angle);
float MatrixDeterminant4f(const TMatrix4f& m);
void AdjointMatrix4f(TMatrix4f& m);
void ScaleMatrix4f(TMatrix4f& m, float factor);
void TransposeMatrix4fInPlace(TMatrix4f& m);
// A singular matrix (|det| below 1e-40) becomes the identity; no error is reported.
void InvertMatrix(TMatrix4f& m);
// For rotation, uniform scale and translation only.
void InvertAnglePreservingMatrix(const TMatrix4f& m, TMatrix4f& out);
void NormalizeMatrix(TMatrix4f& m);
// False for a degenerate matrix. Scales are the lengths of the rows.
bool DecomposeMatrix4f(const TMatrix4f& m, TTransformations& out);
void CalcPlaneNormal3f(const TVector3f& p1, const TVector3f& p2, const TVector3f& p3, TVector3f& out);

// ---- Quaternions ----
void QuaternionMultiply(const TQuaternion& q, const TQuaternion& r, TQuaternion& out);
float QuaternionMagnitude(const TQuaternion& q);
// A magnitude of at most 1e-30 gives the identity.
void NormalizeQuaternion(TQuaternion& q);
void QuaternionToMatrix(const TQuaternion& q, TMatrix4f& out);
// angle in degrees.
void QuaternionFromAxisAngle(const TVector3f& axis, float angle, TQuaternion& out);
// Angles in degrees; order 0..5 (see the order table in the implementation).
void QuaternionFromEuler(float x, float y, float z, int order, TQuaternion& out);
void QuaternionSlerp(const TQuaternion& q1, const TQuaternion& q2, float t, TQuaternion& out);

// ---- Planes, frustum and intersection tests ----
void NormalizePlane(TVector4f& plane);
float PlaneEvaluatePoint(const TVector4f& plane, const TVector3f& p);
void ExtractFrustumPlanes(const TMatrix4f& modelViewProjection, TFrustum& out);
bool IsSphereClipped(const TVector3f& centre, float radius, const TFrustum& frustum);
bool IsSphereClipped4f(const TVector4f& centre, float radius, const TFrustum& frustum);
bool IsBoxClipped(const TVector3f& min, const TVector3f& max, const TFrustum& frustum);
bool RayTriangleIntersect(const TVector4f& rayStart, const TVector4f& rayVector, const TVector3f& p1,
                          const TVector3f& p2, const TVector3f& p3, TVector4f* intersectPoint = nullptr,
                          TVector4f* intersectNormal = nullptr);
// rayVector must be a unit vector. Returns the number of intersections, 0 to 2.
int RaySphereIntersect(const TVector4f& rayStart, const TVector4f& rayVector, const TVector3f& centre,
                       float radius, TVector4f& i1, TVector4f& i2);
float SphereApparentRadius(float distance, float radius);

// ---- Angles ----
long double DegToRadExtended(long double degrees);
long double RadToDegExtended(long double radians);
float DegToRadSingle(float degrees);
float RadToDegSingle(float radians);
// Into [-180, 180].
float NormalizeDegAngle(float angle);
void SinCosExtended(long double angle, long double& sine, long double& cosine);
void SinCosSingle(float angle, float& sine, float& cosine);
void SinCosScaled(float angle, float radius, float& sine, float& cosine);
long double ArcCosExtended(long double x);
float ArcCosSingle(float x);
long double ArcSinExtended(long double x);
long double ArcTan2Extended(long double y, long double x);
float ArcTan2Single(float y, float x);
long double TanExtended(long double x);

// ---- Scalars ----
float PowerSingle(float base, float exponent);
float PowerInteger(int32_t exponent, float base);
float RSqrtSingle(float x);
// Nearest integer, ties to even; saturates instead of overflowing.
int32_t RoundSingle(float x);
float RoundToWholeSingle(float x);
int32_t TruncSingle(float x);
long double IntExtended(long double x);
float FracSingle(float x);
int32_t CeilSingle(float x);
int32_t FloorSingle(float x);
long double MaxExtended(long double a, long double b);
int32_t SmallerInteger(int32_t a, int32_t b);
int32_t LargerInteger(int32_t a, int32_t b);
float ClampSingle(float value, float min, float max);

}  // namespace gl3d
