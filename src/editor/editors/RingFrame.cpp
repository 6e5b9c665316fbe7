// The ring frame (RingFrame.h).
#include "editor/editors/RingFrame.h"

#include <cmath>
#include <numbers>

#include "shape/model/Dbl3D.h"

namespace editor {

using shape::TDbl2D;
using shape::TDbl3D;

namespace {

void Product(const double (&a)[3][3], const double (&b)[3][3], double (&out)[3][3]) {
  double r[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) out[i][j] = r[i][j];
}

void ResetOffsets(TRingFrame& f) {
  f.OffsetH = 0;
  f.OffsetV = 0;
  const TDbl2D o = RingToPlane(f, {{0, 0, 0}});
  f.OffsetH = o[0];
  f.OffsetV = o[1];
}

}  // namespace

void BuildRingFrame(const shape::TCS& Shape, int32_t Row, TRingFrame& Frame) {
  const int32_t q = (Shape.CPMaxI - 1) / 4;
  const TDbl3D v[4] = {Shape.DP[0][Row], Shape.DP[q][Row], Shape.DP[2 * q][Row], Shape.DP[3 * q][Row]};
  TDbl3D centre{{0, 0, 0}};
  for (const TDbl3D& p : v) shape::IncDbl3D(centre, p);
  for (int k = 0; k < 3; ++k) centre[k] /= 4;
  double radius = 0;
  for (const TDbl3D& p : v) radius += shape::Dbl3DLength(shape::SubDbl3D(p, centre));
  Frame.Centre = centre;
  Frame.Radius = radius / 4;

  const TDbl3D n =
      shape::UnitDbl3D(shape::AddDbl3D(shape::UnitDbl3D(shape::FaceNormalDbl3D(v[0], v[1], v[3])),
                                       shape::UnitDbl3D(shape::FaceNormalDbl3D(v[3], v[1], v[2]))));
  // A turn about z brings the normal into the xz plane ...
  const double d = std::sqrt(n[0] * n[0] + n[1] * n[1]);
  double c = 1, s = 0;
  if (std::abs(d) > 0.01) {
    c = n[0] / d;
    s = n[1] / d;
  }
  const double a[3][3] = {{c, s, 0}, {-s, c, 0}, {0, 0, 1}};
  const TDbl3D n1 = MultiplyRotation(a, n);
  // ... and a tilt about y onto +z.
  const double e = std::sqrt(n1[0] * n1[0] + n1[2] * n1[2]);
  double c1 = 1, s1 = 0;
  if (std::abs(e) > 0.01) {
    c1 = n1[2] / e;
    s1 = n1[0] / e;
  }
  const double b[3][3] = {{c1, 0, -s1}, {0, 1, 0}, {s1, 0, c1}};
  Product(b, a, Frame.Rotation);
  ResetOffsets(Frame);

  // Column 0 onto the positive v axis.
  const TDbl3D w = MultiplyRotation(Frame.Rotation, shape::SubDbl3D(v[0], centre));
  double phi;
  if (std::abs(w[0]) <= 0.001)
    phi = w[1] >= 0 ? std::numbers::pi / 2 : -std::numbers::pi / 2;
  else
    phi = std::atan2(w[1], w[0]);
  const double t = phi - std::numbers::pi / 2;
  const double z[3][3] = {{std::cos(t), std::sin(t), 0}, {-std::sin(t), std::cos(t), 0}, {0, 0, 1}};
  Product(z, Frame.Rotation, Frame.Rotation);
  ResetOffsets(Frame);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) Frame.RotationT[i][j] = Frame.Rotation[j][i];
}

}  // namespace editor
