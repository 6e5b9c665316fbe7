#include "scene3d/base/VectorGeometry.h"

#include <cmath>
#include <cstring>

#include "common/Exception.h"
#include "common/Round.h"

namespace gl3d {

namespace {

using ext = long double;

constexpr ext cPi = 3.141592653589793238462643383279502884L;
constexpr float cPIdiv180 = 0.017453292f;
constexpr float c180divPI = 57.29578f;
constexpr float cInv360 = 0.0027777778f;
constexpr ext cEulerThreshold = 0.001L;

inline float F(ext v) { return static_cast<float>(v); }

// The 3x3 determinant shared by the determinant and the adjoint, rounded to single.
float Det3(ext a1, ext a2, ext a3, ext b1, ext b2, ext b3, ext c1, ext c2, ext c3) {
  return F(a1 * (b2 * c3 - b3 * c2) - b1 * (a2 * c3 - a3 * c2) + c1 * (a2 * b3 - a3 * b2));
}

// Minor of element (row, col): the determinant of the 3x3 matrix without that row and column.
float Minor(const TMatrix4f& m, int row, int col) {
  ext e[9];
  int k = 0;
  for (int i = 0; i < 4; ++i) {
    if (i == row) continue;
    for (int j = 0; j < 4; ++j) {
      if (j == col) continue;
      e[k++] = m[i][j];
    }
  }
  // Det3 takes its arguments column by column.
  return Det3(e[0], e[3], e[6], e[1], e[4], e[7], e[2], e[5], e[8]);
}

}  // namespace

// ---- Additive and scaling routines ----

void ClearVector4f(TVector4f& v) { v = {0, 0, 0, 0}; }

void VectorAdd3f(const TVector3f& a, const TVector3f& b, TVector3f& out) {
  out = {F(ext(a.X) + b.X), F(ext(a.Y) + b.Y), F(ext(a.Z) + b.Z)};
}

void VectorAdd4f(const TVector4f& a, const TVector4f& b, TVector4f& out) {
  out = {F(ext(a.X) + b.X), F(ext(a.Y) + b.Y), F(ext(a.Z) + b.Z), F(ext(a.W) + b.W)};
}

void AddVector3f(TVector3f& a, const TVector3f& b) { VectorAdd3f(a, b, a); }

void VectorArrayAdd3f(const TVector3f* src, const TVector3f& v, int count, TVector3f* out) {
  for (int i = 0; i < count; ++i) VectorAdd3f(src[i], v, out[i]);
}

void VectorSubtract3f(const TVector3f& a, const TVector3f& b, TVector3f& out) {
  out = {F(ext(a.X) - b.X), F(ext(a.Y) - b.Y), F(ext(a.Z) - b.Z)};
}

void VectorSubtractToVector4f(const TVector3f& a, const TVector3f& b, TVector4f& out) {
  out = {F(ext(a.X) - b.X), F(ext(a.Y) - b.Y), F(ext(a.Z) - b.Z), 0};
}

void VectorSubtractPoint4f(const TVector4f& a, const TVector3f& b, TVector4f& out) {
  out = {F(ext(a.X) - b.X), F(ext(a.Y) - b.Y), F(ext(a.Z) - b.Z), a.W};
}

void VectorSubtract4f(const TVector4f& a, const TVector4f& b, TVector4f& out) {
  out = {F(ext(a.X) - b.X), F(ext(a.Y) - b.Y), F(ext(a.Z) - b.Z), F(ext(a.W) - b.W)};
}

void VectorSubtractInto4f(const TVector4f& a, const TVector4f& b, TVector4f& out) {
  VectorSubtract4f(a, b, out);
}

void SubtractVector3f(TVector3f& a, const TVector3f& b) { VectorSubtract3f(a, b, a); }

void SubtractVector4f(TVector4f& a, const TVector4f& b) { VectorSubtract4f(a, b, a); }

void AddScaledVector3f(TVector3f& vr, const TVector3f& v, const float& f) {
  const ext k = f;
  vr = {F(vr.X + v.X * k), F(vr.Y + v.Y * k), F(vr.Z + v.Z * k)};
}

void VectorCombine4f(const TVector4f& a, const TVector4f& b, float f, TVector4f& out) {
  const ext k = f;
  out = {F(a.X + k * b.X), F(a.Y + k * b.Y), F(a.Z + k * b.Z), F(a.W + k * b.W)};
}

void VectorCombineAffine3f(const TVector3f& a, const TVector3f& b, float f, TVector3f& out) {
  const ext k = f;
  out = {F(a.X + k * b.X), F(a.Y + k * b.Y), F(a.Z + k * b.Z)};
}

void VectorNegate3f(const TVector3f& v, TVector3f& out) { out = {-v.X, -v.Y, -v.Z}; }
void VectorNegate4f(const TVector4f& v, TVector4f& out) { out = {-v.X, -v.Y, -v.Z, -v.W}; }
void NegateVector3f(TVector3f& v) { VectorNegate3f(v, v); }
void NegateVector4f(TVector4f& v) { VectorNegate4f(v, v); }

void ScaleVector3f(TVector3f& v, float f) { VectorScale3f(v, f, v); }
void ScaleVector4f(TVector4f& v, float f) { VectorScale4f(v, f, v); }

void ScaleVectorByVector3f(TVector3f& v, const TVector3f& s) {
  v = {F(ext(v.X) * s.X), F(ext(v.Y) * s.Y), F(ext(v.Z) * s.Z)};
}

void ScaleVectorByVector4f(TVector4f& v, const TVector4f& s) {
  v = {F(ext(v.X) * s.X), F(ext(v.Y) * s.Y), F(ext(v.Z) * s.Z), F(ext(v.W) * s.W)};
}

void VectorScale3f(const TVector3f& v, float f, TVector3f& out) {
  const ext k = f;
  out = {F(v.X * k), F(v.Y * k), F(v.Z * k)};
}

void VectorScale4f(const TVector4f& v, float f, TVector4f& out) {
  const ext k = f;
  out = {F(v.X * k), F(v.Y * k), F(v.Z * k), F(v.W * k)};
}

void ScaleSingleArray(float* values, int count, const float& f) {
  const ext k = f;
  for (int i = 0; i < count; ++i) values[i] = F(values[i] * k);
}

void MaxVector4f(TVector4f& v, const TVector4f& m) {
  for (int i = 0; i < 4; ++i)
    if (m[i] > v[i]) v[i] = m[i];
}

// ---- Products, lengths and comparisons ----

float VectorDotProduct3f(const TVector3f& a, const TVector3f& b) {
  return F(ext(a.X) * b.X + ext(a.Y) * b.Y + ext(a.Z) * b.Z);
}

float VectorDotProduct4f(const TVector4f& a, const TVector4f& b) {
  return F(ext(a.X) * b.X + ext(a.Y) * b.Y + ext(a.Z) * b.Z + ext(a.W) * b.W);
}

float VectorDotProductXYZ(const TVector4f& a, const TVector3f& b) {
  return F(ext(a.X) * b.X + ext(a.Y) * b.Y + ext(a.Z) * b.Z);
}

float ProjectPointOnAxis3f(const TVector3f& p, const TVector3f& origin, const TVector3f& direction) {
  return F((ext(p.X) - origin.X) * direction.X + (ext(p.Y) - origin.Y) * direction.Y +
           (ext(p.Z) - origin.Z) * direction.Z);
}

float ProjectPointOnAxis4f(const TVector3f& p, const TVector3f& origin, const TVector4f& direction) {
  return ProjectPointOnAxis3f(p, origin, {direction.X, direction.Y, direction.Z});
}

void VectorCrossProduct3f(const TVector3f& a, const TVector3f& b, TVector3f& out) {
  const TVector3f r{F(ext(a.Y) * b.Z - ext(a.Z) * b.Y), F(ext(a.Z) * b.X - ext(a.X) * b.Z),
                    F(ext(a.X) * b.Y - ext(a.Y) * b.X)};
  out = r;
}

void VectorCrossProduct4f(const TVector4f& a, const TVector4f& b, TVector4f& out) {
  TVector3f r;
  VectorCrossProduct3f({a.X, a.Y, a.Z}, {b.X, b.Y, b.Z}, r);
  out = {r.X, r.Y, r.Z, 0};
}

void VectorCrossProductTo3f(const TVector4f& a, const TVector4f& b, TVector3f& out) {
  VectorCrossProduct3f({a.X, a.Y, a.Z}, {b.X, b.Y, b.Z}, out);
}

float VectorLengthXY(float x, float y) { return F(std::sqrt(ext(x) * x + ext(y) * y)); }

float VectorLength3f(const TVector3f& v) {
  return F(std::sqrt(ext(v.X) * v.X + ext(v.Y) * v.Y + ext(v.Z) * v.Z));
}

float VectorLength4f(const TVector4f& v) { return VectorLength3f({v.X, v.Y, v.Z}); }

float VectorNorm3f(const TVector3f& v) { return F(ext(v.X) * v.X + ext(v.Y) * v.Y + ext(v.Z) * v.Z); }

float VectorNorm4f(const TVector4f& v) { return VectorNorm3f({v.X, v.Y, v.Z}); }

float VectorDistance3f(const TVector3f& a, const TVector3f& b) {
  return F(std::sqrt(VectorDistanceSquared3f(a, b)));
}

float VectorDistanceSquared3f(const TVector3f& a, const TVector3f& b) {
  const ext dx = ext(a.X) - b.X, dy = ext(a.Y) - b.Y, dz = ext(a.Z) - b.Z;
  return F(dx * dx + dy * dy + dz * dz);
}

float VectorSpacing3f(const TVector3f& a, const TVector3f& b) {
  return F(std::fabs(ext(a.X) - b.X) + std::fabs(ext(a.Y) - b.Y) + std::fabs(ext(a.Z) - b.Z));
}

bool VectorEquals4f(const TVector4f& a, const TVector4f& b) { return std::memcmp(&a, &b, sizeof(a)) == 0; }

bool VectorEquals3f(const TVector3f& a, const TVector3f& b) { return std::memcmp(&a, &b, sizeof(a)) == 0; }

void VectorRejection3f(const TVector3f& v, const TVector3f& n, TVector3f& out) {
  const ext d = ext(v.X) * n.X + ext(v.Y) * n.Y + ext(v.Z) * n.Z;
  out = {F(v.X - d * n.X), F(v.Y - d * n.Y), F(v.Z - d * n.Z)};
}

// ---- Normalisation ----

void VectorNormalize3f(const TVector3f& v, TVector3f& out) {
  const ext n = ext(v.X) * v.X + ext(v.Y) * v.Y + ext(v.Z) * v.Z;
  const ext k = n != 0 ? 1 / std::sqrt(n) : 0;
  out = {F(v.X * k), F(v.Y * k), F(v.Z * k)};
}

void NormalizeVector3f(TVector3f& v) { VectorNormalize3f(v, v); }

void NormalizeVectorArray3f(TVector3f* list, int count) {
  for (int i = 0; i < count; ++i) NormalizeVector3f(list[i]);
}

void VectorNormalize4f(const TVector4f& v, TVector4f& out) {
  TVector3f r;
  VectorNormalize3f({v.X, v.Y, v.Z}, r);
  out = {r.X, r.Y, r.Z, 0};
}

void NormalizeVector4f(TVector4f& v) { VectorNormalize4f(v, v); }

// ---- Interpolation ----

void VectorLerp3f(const TVector3f& a, const TVector3f& b, float t, TVector3f& out) {
  const ext k = t;
  out = {F(a.X + k * (ext(b.X) - a.X)), F(a.Y + k * (ext(b.Y) - a.Y)), F(a.Z + k * (ext(b.Z) - a.Z))};
}

void VectorArrayLerp3f(const TVector3f* src1, const TVector3f* src2, float t, int count, TVector3f* out) {
  for (int i = 0; i < count; ++i) VectorLerp3f(src1[i], src2[i], t, out[i]);
}

void VectorArrayLerp4f(const TVector4f* src1, const TVector4f* src2, float t, int count, TVector4f* out) {
  const ext k = t;
  for (int i = 0; i < count; ++i) {
    const TVector4f a = src1[i], b = src2[i];
    out[i] = {F(a.X + k * (ext(b.X) - a.X)), F(a.Y + k * (ext(b.Y) - a.Y)), F(a.Z + k * (ext(b.Z) - a.Z)),
              F(a.W + k * (ext(b.W) - a.W))};
  }
}

void LerpTexPointArray(const TTexPoint* src1, const TTexPoint* src2, float t, int count, TTexPoint* out) {
  const ext k = t;
  for (int i = 0; i < count; ++i) {
    const TTexPoint a = src1[i], b = src2[i];
    out[i] = {F(a.S + k * (ext(b.S) - a.S)), F(a.T + k * (ext(b.T) - a.T))};
  }
}

void LerpEulerAngles3f(const TVector3f& a1, const TVector3f& a2, float t, TVector3f& out) {
  if (VectorEquals3f(a1, a2)) {
    out = a1;
    return;
  }
  TQuaternion q1, q2, q;
  QuaternionFromEuler(RadToDegSingle(a1.X), RadToDegSingle(a1.Y), RadToDegSingle(a1.Z), 5, q1);
  QuaternionFromEuler(RadToDegSingle(a2.X), RadToDegSingle(a2.Y), RadToDegSingle(a2.Z), 5, q2);
  QuaternionSlerp(q1, q2, t, q);
  TMatrix4f m;
  QuaternionToMatrix(q, m);
  TTransformations tr{};
  DecomposeMatrix4f(m, tr);
  out = {tr[ttRotateX], tr[ttRotateY], tr[ttRotateZ]};
}

// ---- Matrix builders ----

TMatrix4f CreateScaleMatrix3f(const TVector3f& v) {
  TMatrix4f m = IdentityMatrix4f;
  m[0][0] = v.X;
  m[1][1] = v.Y;
  m[2][2] = v.Z;
  return m;
}

TMatrix4f CreateTranslationMatrix3f(const TVector3f& v) {
  TMatrix4f m = IdentityMatrix4f;
  m[3] = {v.X, v.Y, v.Z, 1};
  return m;
}

TMatrix4f CreateTranslationMatrix4f(const TVector4f& v) { return CreateTranslationMatrix3f({v.X, v.Y, v.Z}); }

TMatrix4f CreateScaleAndTranslationMatrix(const TVector4f& scale, const TVector4f& offset) {
  TMatrix4f m = IdentityMatrix4f;
  m[0][0] = scale.X;
  m[1][1] = scale.Y;
  m[2][2] = scale.Z;
  m[3] = {offset.X, offset.Y, offset.Z, 1};
  return m;
}

TMatrix4f CreateRotationMatrixXSinCos(float s, float c) {
  return {{{1, 0, 0, 0}, {0, c, s, 0}, {0, -s, c, 0}, {0, 0, 0, 1}}};
}

TMatrix4f CreateRotationMatrixYSinCos(float s, float c) {
  return {{{c, 0, -s, 0}, {0, 1, 0, 0}, {s, 0, c, 0}, {0, 0, 0, 1}}};
}

TMatrix4f CreateRotationMatrixZSinCos(float s, float c) {
  return {{{c, s, 0, 0}, {-s, c, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
}

TMatrix4f CreateRotationMatrixX(float angle) {
  return CreateRotationMatrixXSinCos(F(std::sin(ext(angle))), F(std::cos(ext(angle))));
}

TMatrix4f CreateRotationMatrixY(float angle) {
  return CreateRotationMatrixYSinCos(F(std::sin(ext(angle))), F(std::cos(ext(angle))));
}

TMatrix4f CreateRotationMatrixZ(float angle) {
  return CreateRotationMatrixZSinCos(F(std::sin(ext(angle))), F(std::cos(ext(angle))));
}

TMatrix4f CreateAxisRotationMatrix4f(const TVector4f& axis, float angle) {
  const ext c = std::cos(ext(angle)), s = std::sin(ext(angle)), t = 1 - c;
  TVector3f a;
  VectorNormalize3f({axis.X, axis.Y, axis.Z}, a);
  const ext x = a.X, y = a.Y, z = a.Z;
  return {{{F(t * x * x + c), F(t * x * y - z * s), F(t * x * z + y * s), 0},
           {F(t * x * y + z * s), F(t * y * y + c), F(t * y * z - x * s), 0},
           {F(t * x * z - y * s), F(t * y * z + x * s), F(t * z * z + c), 0},
           {0, 0, 0, 1}}};
}

TMatrix4f CreateLookAtMatrix(const TVector4f& eye, const TVector4f& centre, const TVector4f& up) {
  TVector4f f, s, u;
  VectorSubtract4f(centre, eye, f);
  NormalizeVector4f(f);
  VectorCrossProduct4f(f, up, s);
  NormalizeVector4f(s);
  VectorCrossProduct4f(s, f, u);
  TMatrix4f m{{{s.X, u.X, -f.X, 0}, {s.Y, u.Y, -f.Y, 0}, {s.Z, u.Z, -f.Z, 0}, {0, 0, 0, 1}}};
  TVector4f t;
  VectorTransform4f({-eye.X, -eye.Y, -eye.Z, 1}, m, t);
  m[3] = t;
  return m;
}

TMatrix4f CreateFrustumMatrix(float left, float right, float bottom, float top, float znear, float zfar) {
  const ext l = left, r = right, b = bottom, t = top, n = znear, f = zfar;
  TMatrix4f m{};
  m[0][0] = F(2 * n / (r - l));
  m[1][1] = F(2 * n / (t - b));
  m[2][0] = F((r + l) / (r - l));
  m[2][1] = F((t + b) / (t - b));
  m[2][2] = F(-(f + n) / (f - n));
  m[2][3] = -1;
  m[3][2] = F(-2 * f * n / (f - n));
  return m;
}

TMatrix4f CreateOrthoMatrix(float left, float right, float bottom, float top, float znear, float zfar) {
  const ext l = left, r = right, b = bottom, t = top, n = znear, f = zfar;
  TMatrix4f m{};
  m[0][0] = F(2 / (r - l));
  m[1][1] = F(2 / (t - b));
  m[2][2] = F(-2 / (f - n));
  m[3][0] = F((r + l) / (l - r));
  m[3][1] = F((t + b) / (b - t));
  m[3][2] = F((f + n) / (n - f));
  m[3][3] = 1;
  return m;
}

TMatrix4f CreatePickMatrix(float x, float y, float deltax, float deltay,
                           const std::array<int32_t, 4>& viewport) {
  TMatrix4f m = IdentityMatrix4f;
  if (deltax <= 0 || deltay <= 0) return m;
  const ext left = viewport[0], top = viewport[1], width = viewport[2], height = viewport[3];
  m[0][0] = F(width / deltax);
  m[1][1] = F(height / deltay);
  m[3][0] = F((width - 2 * (x - left)) / deltax);
  m[3][1] = F((height - 2 * (y - top)) / deltay);
  m[3][2] = 0;
  return m;
}

// ---- Matrix operations ----

void MultiplyMatrix4f(const TMatrix4f& m1, const TMatrix4f& m2, TMatrix4f& out) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      out[i][j] = F(ext(m1[i][0]) * m2[0][j] + ext(m1[i][1]) * m2[1][j] + ext(m1[i][2]) * m2[2][j] +
                    ext(m1[i][3]) * m2[3][j]);
}

void MatrixMultiplyInto(const TMatrix4f& m1, const TMatrix4f& m2, TMatrix4f& out) {
  TMatrix4f t;
  MultiplyMatrix4f(m1, m2, t);
  out = t;
}

void VectorTransform4f(const TVector4f& v, const TMatrix4f& m, TVector4f& out) {
  TVector4f r;
  for (int j = 0; j < 4; ++j)
    r[j] = F(ext(v.X) * m[0][j] + ext(v.Y) * m[1][j] + ext(v.Z) * m[2][j] + ext(v.W) * m[3][j]);
  out = r;
}

void VectorTransform3f(const TVector3f& v, const TMatrix4f& m, TVector3f& out) {
  const ext x = v.X, y = v.Y, z = v.Z;
  const TVector3f r{F(x * m[0][0] + y * m[1][0] + z * m[2][0] + m[3][0]),
                    F(x * m[0][1] + y * m[1][1] + z * m[2][1] + m[3][1]),
                    F(x * m[0][2] + y * m[1][2] + z * m[2][2] + m[3][2])};
  out = r;
}

void RotateVector4f(TVector4f& v, const TVector4f& axis, float angle) {
  VectorTransform4f(v, CreateAxisRotationMatrix4f(axis, angle), v);
}

float MatrixDeterminant4f(const TMatrix4f& m) {
  ext d = 0;
  for (int j = 0; j < 4; ++j) {
    const ext term = ext(m[0][j]) * Minor(m, 0, j);
    d += (j % 2 == 0) ? term : -term;
  }
  return F(d);
}

void AdjointMatrix4f(TMatrix4f& m) {
  TMatrix4f r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      const float c = Minor(m, j, i);
      r[i][j] = ((i + j) % 2 == 0) ? c : -c;
    }
  m = r;
}

void ScaleMatrix4f(TMatrix4f& m, float factor) {
  for (int i = 0; i < 4; ++i) ScaleVector4f(m[i], factor);
}

void TransposeMatrix4fInPlace(TMatrix4f& m) {
  for (int i = 0; i < 4; ++i)
    for (int j = i + 1; j < 4; ++j) {
      const float t = m[i][j];
      m[i][j] = m[j][i];
      m[j][i] = t;
    }
}

void InvertMatrix(TMatrix4f& m) {
  const float d = MatrixDeterminant4f(m);
  if (std::fabs(d) < cInvertThreshold) {
    m = IdentityMatrix4f;
    return;
  }
  AdjointMatrix4f(m);
  ScaleMatrix4f(m, F(1 / ext(d)));
}

void InvertAnglePreservingMatrix(const TMatrix4f& m, TMatrix4f& out) {
  const ext s = ext(m[0][0]) * m[0][0] + ext(m[0][1]) * m[0][1] + ext(m[0][2]) * m[0][2];
  if (std::fabs(s) < cInvertThreshold) {
    out = IdentityMatrix4f;
    return;
  }
  const ext k = 1 / s;
  TMatrix4f r;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) r[i][j] = F(m[j][i] * k);
    r[i][3] = 0;
  }
  for (int i = 0; i < 3; ++i)
    r[3][i] = F(-(ext(r[0][i]) * m[3][0] + ext(r[1][i]) * m[3][1] + ext(r[2][i]) * m[3][2]));
  r[3][3] = 1;
  out = r;
}

void NormalizeMatrix(TMatrix4f& m) {
  m[0][3] = 0;
  NormalizeVector4f(m[0]);
  m[1][3] = 0;
  NormalizeVector4f(m[1]);
  VectorCrossProduct4f(m[0], m[1], m[2]);
  VectorCrossProduct4f(m[1], m[2], m[0]);
  m[3] = {0, 0, 0, 1};
}

bool DecomposeMatrix4f(const TMatrix4f& matrix, TTransformations& out) {
  TMatrix4f locmat = matrix;
  if (locmat[3][3] == 0) return false;
  const float w = locmat[3][3];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) locmat[i][j] = F(ext(locmat[i][j]) / w);

  TMatrix4f pmat = locmat;
  for (int i = 0; i < 3; ++i) pmat[i][3] = 0;
  pmat[3][3] = 1;
  if (MatrixDeterminant4f(pmat) == 0) return false;

  if (locmat[0][3] != 0 || locmat[1][3] != 0 || locmat[2][3] != 0) {
    const TVector4f prhs{locmat[0][3], locmat[1][3], locmat[2][3], locmat[3][3]};
    InvertMatrix(pmat);
    TransposeMatrix4fInPlace(pmat);
    TVector4f psol;
    VectorTransform4f(prhs, pmat, psol);
    out[ttPerspectiveX] = psol.X;
    out[ttPerspectiveY] = psol.Y;
    out[ttPerspectiveZ] = psol.Z;
    out[ttPerspectiveW] = psol.W;
    for (int i = 0; i < 3; ++i) locmat[i][3] = 0;
    locmat[3][3] = 1;
  } else {
    out[ttPerspectiveX] = out[ttPerspectiveY] = out[ttPerspectiveZ] = out[ttPerspectiveW] = 0;
  }

  for (int i = 0; i < 3; ++i) {
    out[ttTranslateX + i] = locmat[3][i];
    locmat[3][i] = 0;
  }

  TVector3f row[3];
  for (int i = 0; i < 3; ++i) row[i] = {locmat[i][0], locmat[i][1], locmat[i][2]};

  // Scales are the row lengths; the shears are divided by those lengths.
  out[ttScaleX] = VectorLength3f(row[0]);
  ScaleVector3f(row[0], F(1 / ext(out[ttScaleX])));
  out[ttShearXY] = VectorDotProduct3f(row[0], row[1]);
  VectorCombineAffine3f(row[1], row[0], -out[ttShearXY], row[1]);
  out[ttScaleY] = VectorLength3f(row[1]);
  ScaleVector3f(row[1], F(1 / ext(out[ttScaleY])));
  out[ttShearXY] = F(ext(out[ttShearXY]) / out[ttScaleY]);

  out[ttShearXZ] = VectorDotProduct3f(row[0], row[2]);
  VectorCombineAffine3f(row[2], row[0], -out[ttShearXZ], row[2]);
  out[ttShearYZ] = VectorDotProduct3f(row[1], row[2]);
  VectorCombineAffine3f(row[2], row[1], -out[ttShearYZ], row[2]);
  out[ttScaleZ] = VectorLength3f(row[2]);
  ScaleVector3f(row[2], F(1 / ext(out[ttScaleZ])));
  out[ttShearXZ] = F(ext(out[ttShearXZ]) / out[ttScaleZ]);
  out[ttShearYZ] = F(ext(out[ttShearYZ]) / out[ttScaleZ]);

  TVector3f pdum3;
  VectorCrossProduct3f(row[1], row[2], pdum3);
  if (VectorDotProduct3f(row[0], pdum3) < 0) {
    for (int i = 0; i < 3; ++i) {
      out[ttScaleX + i] = -out[ttScaleX + i];
      NegateVector3f(row[i]);
    }
  }

  // A unit row may come out a rounding step above 1; arcsin must not turn that into NaN.
  ext sy = -ext(row[0].Z);
  if (sy > 1) sy = 1;
  if (sy < -1) sy = -1;
  out[ttRotateY] = F(std::asin(sy));
  if (std::cos(ext(out[ttRotateY])) != 0) {
    out[ttRotateX] = F(std::atan2(ext(row[1].Z), ext(row[2].Z)));
    out[ttRotateZ] = F(std::atan2(ext(row[0].Y), ext(row[0].X)));
  } else {
    out[ttRotateX] = F(std::atan2(ext(row[1].X), ext(row[1].Y)));
    out[ttRotateZ] = 0;
  }
  return true;
}

void CalcPlaneNormal3f(const TVector3f& p1, const TVector3f& p2, const TVector3f& p3, TVector3f& out) {
  TVector3f v1, v2;
  VectorSubtract3f(p2, p1, v1);
  VectorSubtract3f(p3, p1, v2);
  VectorCrossProduct3f(v1, v2, out);
  NormalizeVector3f(out);
}

// ---- Quaternions ----

void QuaternionMultiply(const TQuaternion& q, const TQuaternion& r, TQuaternion& out) {
  const ext qx = q.X, qy = q.Y, qz = q.Z, qw = q.W, rx = r.X, ry = r.Y, rz = r.Z, rw = r.W;
  out = {F(qw * rx + qx * rw + qy * rz - qz * ry), F(qw * ry + rw * qy + rx * qz - qx * rz),
         F(qw * rz + rw * qz + qx * ry - rx * qy), F(qw * rw - qx * rx - qy * ry - qz * rz)};
}

float QuaternionMagnitude(const TQuaternion& q) {
  return F(std::sqrt(ext(q.X) * q.X + ext(q.Y) * q.Y + ext(q.Z) * q.Z + ext(q.W) * q.W));
}

void NormalizeQuaternion(TQuaternion& q) {
  const float m = QuaternionMagnitude(q);
  if (m > cEpsilon30) {
    const ext k = 1 / ext(m);
    q = {F(q.X * k), F(q.Y * k), F(q.Z * k), F(q.W * k)};
  } else {
    q = IdentityQuaternion;
  }
}

void QuaternionToMatrix(const TQuaternion& quat, TMatrix4f& m) {
  TQuaternion q = quat;
  NormalizeQuaternion(q);
  const ext x = q.X, y = q.Y, z = q.Z, w = q.W;
  m[0] = {F(1 - 2 * (y * y + z * z)), F(2 * (x * y + z * w)), F(2 * (x * z - y * w)), 0};
  m[1] = {F(2 * (x * y - z * w)), F(1 - 2 * (z * z + x * x)), F(2 * (y * z + x * w)), 0};
  m[2] = {F(2 * (x * z + y * w)), F(2 * (y * z - x * w)), F(1 - 2 * (x * x + y * y)), 0};
  m[3] = {0, 0, 0, 1};
}

void QuaternionFromAxisAngle(const TVector3f& axis, float angle, TQuaternion& out) {
  const ext h = DegToRadExtended(ext(angle) * 0.5L);
  const ext s = std::sin(h), c = std::cos(h);
  const ext k = s / VectorLength3f(axis);
  out = {F(axis.X * k), F(axis.Y * k), F(axis.Z * k), F(c)};
}

namespace {

// Row per Euler order: the slot (1..3) of the X, Y and Z quaternions, and which angle the
// near-90-degree guard tests (0 = x, 1 = y, 2 = z). The product is slot 1 ⊗ (slot 2 ⊗ slot 3).
struct EulerOrderRow {
  int slotX, slotY, slotZ, tested;
};
constexpr EulerOrderRow cEulerOrders[6] = {{1, 2, 3, 1}, {1, 3, 2, 2}, {2, 1, 3, 0},
                                           {2, 3, 1, 2}, {3, 1, 2, 0}, {3, 2, 1, 1}};

void QuaternionFromEulerDirect(ext x, ext y, ext z, const EulerOrderRow& row, TQuaternion& out) {
  TQuaternion slots[3];
  QuaternionFromAxisAngle(XVector3f, F(x), slots[row.slotX - 1]);
  QuaternionFromAxisAngle(YVector3f, F(y), slots[row.slotY - 1]);
  QuaternionFromAxisAngle(ZVector3f, F(z), slots[row.slotZ - 1]);
  TQuaternion t;
  QuaternionMultiply(slots[1], slots[2], t);
  QuaternionMultiply(slots[0], t, out);
}

}  // namespace

void QuaternionFromEuler(float x, float y, float z, int order, TQuaternion& out) {
  ZASSERT(order >= 0 && order <= 5, "Invalid Euler angle order");
  const EulerOrderRow& row = cEulerOrders[order];
  ext a[3] = {x, y, z};
  const ext tested = a[row.tested];
  if (std::fabs(std::fabs(tested) - 90) <= ext(cEpsilon30)) {
    // Singular at exactly +-90 degrees: interpolate between the rotations just before and after.
    TQuaternion q1, q2;
    a[row.tested] = tested - cEulerThreshold;
    QuaternionFromEulerDirect(a[0], a[1], a[2], row, q1);
    a[row.tested] = tested + cEulerThreshold;
    QuaternionFromEulerDirect(a[0], a[1], a[2], row, q2);
    QuaternionSlerp(q1, q2, 0.5f, out);
  } else {
    QuaternionFromEulerDirect(a[0], a[1], a[2], row, out);
  }
}

void QuaternionSlerp(const TQuaternion& q1, const TQuaternion& source2, float t, TQuaternion& out) {
  TQuaternion q2 = source2;
  ext c = ext(q1.X) * q2.X + ext(q1.Y) * q2.Y + ext(q1.Z) * q2.Z + ext(q1.W) * q2.W;
  if (!(c >= 0)) {
    q2 = {-q2.X, -q2.Y, -q2.Z, -q2.W};
    c = -c;
  }
  ext f1, f2;
  if (1 - c > ext(cEpsilon30)) {
    const ext w = ArcCosExtended(c), s = std::sin(w);
    f1 = std::sin((1 - ext(t)) * w) / s;
    f2 = std::sin(ext(t) * w) / s;
  } else {
    f1 = 1 - ext(t);
    f2 = t;
  }
  out = {F(f1 * q1.X + f2 * q2.X), F(f1 * q1.Y + f2 * q2.Y), F(f1 * q1.Z + f2 * q2.Z),
         F(f1 * q1.W + f2 * q2.W)};
  NormalizeQuaternion(out);
}

// ---- Planes, frustum and intersection tests ----

void NormalizePlane(TVector4f& plane) {
  const ext k = 1 / std::sqrt(ext(plane.X) * plane.X + ext(plane.Y) * plane.Y + ext(plane.Z) * plane.Z);
  plane = {F(plane.X * k), F(plane.Y * k), F(plane.Z * k), F(plane.W * k)};
}

float PlaneEvaluatePoint(const TVector4f& plane, const TVector3f& p) {
  return F(ext(plane.X) * p.X + ext(plane.Y) * p.Y + ext(plane.Z) * p.Z + plane.W);
}

void ExtractFrustumPlanes(const TMatrix4f& m, TFrustum& out) {
  auto column = [&](int j) { return TVector4f{m[0][j], m[1][j], m[2][j], m[3][j]}; };
  const TVector4f c0 = column(0), c1 = column(1), c2 = column(2), c3 = column(3);
  VectorAdd4f(c3, c0, out.Planes[TFrustum::pLeft]);
  VectorSubtract4f(c3, c1, out.Planes[TFrustum::pTop]);
  VectorSubtract4f(c3, c0, out.Planes[TFrustum::pRight]);
  VectorAdd4f(c3, c1, out.Planes[TFrustum::pBottom]);
  VectorAdd4f(c3, c2, out.Planes[TFrustum::pNear]);
  VectorSubtract4f(c3, c2, out.Planes[TFrustum::pFar]);
  for (TVector4f& p : out.Planes) NormalizePlane(p);
}

bool IsSphereClipped(const TVector3f& centre, float radius, const TFrustum& frustum) {
  const float negRadius = -radius;
  for (const TVector4f& p : frustum.Planes)
    if (PlaneEvaluatePoint(p, centre) < negRadius) return true;
  return false;
}

bool IsSphereClipped4f(const TVector4f& centre, float radius, const TFrustum& frustum) {
  return IsSphereClipped({centre.X, centre.Y, centre.Z}, radius, frustum);
}

bool IsBoxClipped(const TVector3f& min, const TVector3f& max, const TFrustum& frustum) {
  TVector3f centre, d;
  VectorAdd3f(min, max, centre);
  ScaleVector3f(centre, 0.5f);
  VectorSubtract3f(max, min, d);
  return IsSphereClipped(centre, F(ext(VectorLength3f(d)) * 0.5L), frustum);
}

bool RayTriangleIntersect(const TVector4f& rayStart, const TVector4f& rayVector, const TVector3f& p1,
                          const TVector3f& p2, const TVector3f& p3, TVector4f* intersectPoint,
                          TVector4f* intersectNormal) {
  TVector4f e1, e2, pv, tv, qv;
  VectorSubtractToVector4f(p2, p1, e1);
  VectorSubtractToVector4f(p3, p1, e2);
  VectorCrossProduct4f(rayVector, e2, pv);
  const float det = VectorDotProduct3f({e1.X, e1.Y, e1.Z}, {pv.X, pv.Y, pv.Z});
  if (det > -cEpsilon30 && det < cEpsilon30) return false;
  const ext inv = 1 / ext(det);
  VectorSubtractPoint4f(rayStart, p1, tv);
  tv.W = 0;
  const ext u = VectorDotProductXYZ(tv, {pv.X, pv.Y, pv.Z}) * inv;
  if (u < 0 || u > 1) return false;
  VectorCrossProduct4f(tv, e1, qv);
  const ext v = VectorDotProductXYZ(rayVector, {qv.X, qv.Y, qv.Z}) * inv;
  if (v < 0 || u + v > 1) return false;
  const ext t = VectorDotProductXYZ(e2, {qv.X, qv.Y, qv.Z}) * inv;
  if (!(t > 0)) return false;
  if (intersectPoint) VectorCombine4f(rayStart, rayVector, F(t), *intersectPoint);
  if (intersectNormal) VectorCrossProduct4f(e1, e2, *intersectNormal);
  return true;
}

int RaySphereIntersect(const TVector4f& rayStart, const TVector4f& rayVector, const TVector3f& centre,
                       float radius, TVector4f& i1, TVector4f& i2) {
  TVector3f d;
  VectorSubtract3f(centre, {rayStart.X, rayStart.Y, rayStart.Z}, d);
  const float proj = VectorDotProductXYZ(rayVector, d);
  TVector3f closest;
  VectorCombineAffine3f({rayStart.X, rayStart.Y, rayStart.Z}, {rayVector.X, rayVector.Y, rayVector.Z}, proj,
                        closest);
  const float d2 = F(ext(radius) * radius - VectorDistanceSquared3f(centre, closest));
  if (std::signbit(d2)) return 0;
  if (d2 == 0) {
    if (proj > 0) {
      VectorCombine4f(rayStart, rayVector, proj, i1);
      return 1;
    }
    return 0;
  }
  const float h = F(std::sqrt(ext(d2)));
  if (proj >= h) {
    VectorCombine4f(rayStart, rayVector, F(ext(proj) - h), i1);
    VectorCombine4f(rayStart, rayVector, F(ext(proj) + h), i2);
    return 2;
  }
  if (ext(proj) + h >= 0) {
    VectorCombine4f(rayStart, rayVector, F(ext(proj) + h), i1);
    return 1;
  }
  return 0;
}

float SphereApparentRadius(float distance, float radius) {
  const float d2 = F(ext(distance) * distance);
  const float r2 = F(ext(radius) * radius);
  const float t = F(std::sqrt(ext(d2) - r2));
  const float k = F((ext(d2) + r2 - ext(t) * t) / (2 * ext(t)));
  return F(std::sqrt(ext(r2) + ext(k) * k));
}

// ---- Angles ----

long double DegToRadExtended(long double degrees) { return degrees * (cPi / 180); }
long double RadToDegExtended(long double radians) { return radians * (180 / cPi); }
float DegToRadSingle(float degrees) { return F(ext(degrees) * cPIdiv180); }
float RadToDegSingle(float radians) { return F(ext(radians) * c180divPI); }

float NormalizeDegAngle(float angle) {
  ext r = angle - IntExtended(ext(angle) * cInv360) * 360;
  if (r > 180)
    r -= 360;
  else if (r < -180)
    r += 360;
  return F(r);
}

void SinCosExtended(long double angle, long double& sine, long double& cosine) {
  sine = std::sin(angle);
  cosine = std::cos(angle);
}

void SinCosSingle(float angle, float& sine, float& cosine) {
  sine = F(std::sin(ext(angle)));
  cosine = F(std::cos(ext(angle)));
}

void SinCosScaled(float angle, float radius, float& sine, float& cosine) {
  sine = F(std::sin(ext(angle)) * radius);
  cosine = F(std::cos(ext(angle)) * radius);
}

long double ArcCosExtended(long double x) { return std::atan2(std::sqrt(1 - x * x), x); }
float ArcCosSingle(float x) { return F(std::atan2(std::sqrt(1 - ext(F(ext(x) * x))), ext(x))); }
long double ArcSinExtended(long double x) { return std::atan2(x, std::sqrt(1 - x * x)); }
long double ArcTan2Extended(long double y, long double x) { return std::atan2(y, x); }
float ArcTan2Single(float y, float x) { return F(std::atan2(ext(y), ext(x))); }
long double TanExtended(long double x) { return std::tan(x); }

// ---- Scalars ----

float PowerInteger(int32_t exponent, float base) {
  int64_t n = exponent;
  const bool negative = n < 0;
  if (negative) n = -n;
  ext result = 1, b = base;
  while (n > 0) {
    if (n & 1) result *= b;
    b *= b;
    n >>= 1;
  }
  return negative ? F(1 / result) : F(result);
}

float PowerSingle(float base, float exponent) {
  if (exponent == 0) return 1;
  if (base == 0 && exponent > 0) return 0;
  if (std::isfinite(exponent) && std::fabs(exponent) < 2147483647.0f && FracSingle(exponent) == 0)
    return PowerInteger(TruncSingle(exponent), base);
  return F(std::exp(ext(exponent) * std::log(ext(base))));
}

float RSqrtSingle(float x) { return F(1 / std::sqrt(ext(x))); }

int32_t RoundSingle(float x) { return common::RoundInt(x); }

float RoundToWholeSingle(float x) {
  // From 2^23 upwards every single is whole already (and NaN or infinity stay as they are).
  if (!(std::fabs(x) < 8388608.0f)) return x;
  const float r = static_cast<float>(common::Round(x));
  return (r == 0 && std::signbit(x)) ? -0.0f : r;
}

int32_t TruncSingle(float x) { return common::TruncInt(x); }

long double IntExtended(long double x) {
  // From 2^63 upwards every extended value is whole already.
  if (!(std::fabs(x) < 9.2233720368547758e18L)) return x;
  return static_cast<long double>(common::Trunc(x));
}

float FracSingle(float x) { return F(ext(x) - IntExtended(x)); }

int32_t CeilSingle(float x) {
  const int64_t t = TruncSingle(x);
  return FracSingle(x) > 0 ? common::SaturateInt32(t + 1) : static_cast<int32_t>(t);
}

int32_t FloorSingle(float x) {
  const int64_t t = TruncSingle(x);
  return FracSingle(x) < 0 ? common::SaturateInt32(t - 1) : static_cast<int32_t>(t);
}

long double MaxExtended(long double a, long double b) { return a > b ? a : b; }
int32_t SmallerInteger(int32_t a, int32_t b) { return a < b ? a : b; }
int32_t LargerInteger(int32_t a, int32_t b) { return a > b ? a : b; }

float ClampSingle(float value, float min, float max) {
  if (value < min) return min;
  if (value > max) return max;
  return value;
}

}  // namespace gl3d
