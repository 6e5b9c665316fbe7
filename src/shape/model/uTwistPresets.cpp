#include "shape/model/uTwistPresets.h"

#include <cmath>
#include <initializer_list>
#include <numbers>
#include <utility>

#include "common/Round.h"
#include "shape/model/uScPrim.h"

namespace shape {

namespace {

using LD = long double;
constexpr LD kPi = std::numbers::pi_v<long double>;
constexpr LD kTwoPi = 2 * kPi;
// Below this, two squares count as equal and the parabola through them as flat.
constexpr double kZeroTolerance = 1e-12;

bool SizeValid(const TCS& cs) {
  return cs.CPMaxI >= 2 && cs.CPMaxI <= kGridMax && cs.CPMaxJ >= 2 && cs.CPMaxJ <= kGridMax;
}

TDbl3D P3(LD x, LD y, LD z) {
  return TDbl3D{{static_cast<double>(x), static_cast<double>(y), static_cast<double>(z)}};
}

// ((n - k) a + k b) / n, per axis.
TDbl3D Lerp(const TDbl3D& a, const TDbl3D& b, int32_t k, int32_t n) {
  return P3((static_cast<LD>(n - k) * a[0] + static_cast<LD>(k) * b[0]) / n,
            (static_cast<LD>(n - k) * a[1] + static_cast<LD>(k) * b[1]) / n,
            (static_cast<LD>(n - k) * a[2] + static_cast<LD>(k) * b[2]) / n);
}

LD AxisDistance(const TDbl3D& p) {
  return std::sqrt(static_cast<LD>(p[0]) * p[0] + static_cast<LD>(p[1]) * p[1]);
}

TDbl3D Bezier(LD t, const TDbl3D& a, const TDbl3D& b, const TDbl3D& c, const TDbl3D& d) {
  const LD s = 1 - t;
  const LD wa = s * s * s, wb = 3 * s * s * t, wc = 3 * s * t * t, wd = t * t * t;
  return P3(wa * a[0] + wb * b[0] + wc * c[0] + wd * d[0], wa * a[1] + wb * b[1] + wc * c[1] + wd * d[1],
            wa * a[2] + wb * b[2] + wc * c[2] + wd * d[2]);
}

}  // namespace

double DirectionAngle2D(double y, double x, double def) {
  if (x != 0) return std::atan2(y, x);
  if (y > 0) return std::numbers::pi / 2;
  if (y < 0) return 3 * std::numbers::pi / 2;
  return def;
}

void TwistRows(TCS& cs, int32_t a, int32_t b, double degrees) {
  if (!SizeValid(cs)) return;
  const int32_t I = cs.CPMaxI, J = cs.CPMaxJ;
  if (a > b) std::swap(a, b);
  if (a < 0) a = 0;
  if (b > J - 1) b = J - 1;
  if (b < a) return;  // both rows lay outside the grid: no rows to twist between
  const LD step = -(static_cast<LD>(degrees) * kPi / 180) / (b - a + 1);
  // On a plane the last column is a column of its own, not a seam copy of the first.
  const bool plane = cs.ScType == SCTYPE_PLANE;
  const int32_t lastTurned = plane ? I - 1 : I - 2;
  LD c = 1;
  for (int32_t r = b - 1; r >= 0; --r) {
    const LD angle = c * step;
    const LD cosA = std::cos(angle), sinA = std::sin(angle);
    for (int32_t i = 0; i <= lastTurned; ++i) {
      if (cs.RP[i][r]) continue;
      TDbl3D& p = cs.CP[i][r];
      const LD x = p[0], y = p[1];
      p[0] = static_cast<double>(x * cosA - y * sinA);
      p[1] = static_cast<double>(x * sinA + y * cosA);
    }
    if (!plane) cs.CP[I - 1][r] = cs.CP[0][r];
    if (r > a) c += 1;
  }
}

void ColumnDirection(const TCS& cs, int32_t column, int32_t& row, double& angle) {
  row = 0;
  LD best = -1;
  for (int32_t j = 0; j < cs.CPMaxJ; ++j) {
    const LD d = AxisDistance(cs.CP[column][j]);
    if (d > best) {
      best = d;
      row = j;
    }
  }
  const TDbl3D& p = cs.CP[column][row];
  angle = DirectionAngle2D(p[1], p[0], static_cast<double>(kTwoPi * column / (cs.CPMaxI - 1)));
}

void TubeSection(const TDbl3D& p, double& s, double& t) {
  s = static_cast<double>(AxisDistance(p));
  t = -p[2];
}

TDbl3D TubePoint(double s, double t, const TDbl3D& committed, double angle) {
  const LD d = AxisDistance(committed);
  const LD as = std::fabs(static_cast<LD>(s));
  if (d > 0) return P3(as * committed[0] / d, as * committed[1] / d, -static_cast<LD>(t));
  return P3(as * std::cos(static_cast<LD>(angle)), as * std::sin(static_cast<LD>(angle)),
            -static_cast<LD>(t));
}

void TwistTorus(TCS& cs, int32_t turns) {
  if (!SizeValid(cs)) return;
  const int32_t I = cs.CPMaxI, J = cs.CPMaxJ;
  for (int32_t i = 0; i < I; ++i) {
    int32_t farRow;
    double phi;
    ColumnDirection(cs, i, farRow, phi);
    double s[kGridMax], t[kGridMax];
    LD sMean = 0, tMean = 0;
    for (int32_t r = 0; r <= J - 2; ++r) {
      TubeSection(cs.CP[i][r], s[r], t[r]);
      sMean += s[r];
      tMean += t[r];
    }
    sMean /= J - 1;
    tMean /= J - 1;
    const LD theta = kTwoPi * i / (I - 1) * turns;
    const LD cosT = std::cos(theta), sinT = std::sin(theta);
    for (int32_t r = 0; r <= J - 2; ++r) {
      if (cs.RP[i][r]) continue;
      const LD ds = s[r] - sMean, dt = t[r] - tMean;
      const LD s2 = sMean + ds * cosT - dt * sinT;
      const LD t2 = tMean + ds * sinT + dt * cosT;
      cs.CP[i][r] = TubePoint(static_cast<double>(s2), static_cast<double>(t2), cs.DP[i][r], phi);
    }
    cs.CP[i][J - 1] = cs.CP[i][0];
  }
}

void ReshapeThroughMarks(TCS& cs, TLineMarks& marks) {
  if (!SizeValid(cs)) return;
  const int32_t J = cs.CPMaxJ;
  const uint8_t first = marks[0], last = marks[J - 1];
  if (cs.ScType != SCTYPE_TORUS) {
    marks[0] = 1;
    marks[J - 1] = 1;
    if (CountLineMarks(marks, J - 1) > 2) ReshapeOpenProfile(cs, marks);
  } else if (CountLineMarks(marks, J - 2) > 2) {
    ReshapeClosedProfile(cs, marks);
  }
  marks[0] = first;
  marks[J - 1] = last;
}

void ReshapeOpenProfile(TCS& cs, const TLineMarks& marks) {
  if (!SizeValid(cs)) return;
  const int32_t I = cs.CPMaxI, J = cs.CPMaxJ;
  int32_t marked[kGridMax];
  int32_t m = 0;
  for (int32_t r = 1; r <= J - 2; ++r)
    if (marks[r] != 0) marked[m++] = r;
  const LD h = static_cast<LD>(J - 1) / (m + 1);
  TDbl3D list[3 * kGridMax + 4];
  for (int32_t i = 0; i < I; ++i) {
    const TDbl3D& start = cs.CP[i][0];
    const TDbl3D& end = cs.CP[i][J - 1];
    list[0] = list[1] = start;
    list[3 * m + 2] = list[3 * m + 3] = end;
    for (int32_t k = 0; k < m; ++k) {
      const TDbl3D& q = cs.CP[i][marked[k]];
      const TDbl3D& qp = k == 0 ? start : cs.CP[i][marked[k - 1]];
      const TDbl3D& qn = k == m - 1 ? end : cs.CP[i][marked[k + 1]];
      TDbl3D in, out;
      for (int a = 0; a < 3; ++a) {
        const LD d = (static_cast<LD>(qn[a]) - qp[a]) / 4;
        in[a] = static_cast<double>(q[a] - d);
        out[a] = static_cast<double>(q[a] + d);
      }
      list[2 + 3 * k] = in;
      list[3 + 3 * k] = q;
      list[4 + 3 * k] = out;
    }
    for (int32_t g = 0; g <= m; ++g) {
      const int32_t o = static_cast<int32_t>(common::Round(h * g));
      const int32_t t = static_cast<int32_t>(common::Round(h * (g + 1)));
      for (int32_t v = o; v <= t; ++v) {
        // The segment's parameter never reaches 1 (it divides by the row count); the shared
        // rows get their exact point from the next segment, and the last row keeps its end
        // point, so the profile's end stays where it is.
        if (v == J - 1 || cs.RP[i][v]) continue;
        const LD param = static_cast<LD>(v - o) / (t - o + 1);
        cs.CP[i][v] = Bezier(param, list[3 * g], list[3 * g + 1], list[3 * g + 2], list[3 * g + 3]);
      }
    }
  }
}

void ReshapeClosedProfile(TCS& cs, const TLineMarks& marks) {
  if (!SizeValid(cs)) return;
  const int32_t I = cs.CPMaxI, n = cs.CPMaxJ - 1;  // rows 0..n - 1, taken cyclically
  bool any = false;
  for (int32_t r = 0; r < n; ++r) any = any || marks[r] != 0;
  if (!any) return;
  for (int32_t r = 0; r < n; ++r) {
    if (marks[r] != 0) continue;
    int32_t c = 1, e = 1;
    while (marks[((r - c) % n + n) % n] == 0) ++c;
    while (marks[(r + e) % n] == 0) ++e;
    const int32_t prev = ((r - c) % n + n) % n, next = (r + e) % n;
    for (int32_t i = 0; i < I; ++i) {
      if (cs.RP[i][r]) continue;
      // e steps to the next mark weigh the previous one: the nearer mark counts more.
      cs.CP[i][r] = Lerp(cs.CP[i][prev], cs.CP[i][next], c, c + e);
    }
  }
}

void MakeCircularPolygon(int32_t n, TDbl2D* points) {
  if (points == nullptr || n < 2) return;
  const int32_t count = n - 1;  // the distinct points; the last repeats the first
  // Turning direction from the fans of point 0; a zero-length side has no direction and
  // does not vote.
  int32_t positive = 0, negative = 0;
  for (int32_t k = 0; k + 2 < n; ++k) {
    const LD ax = static_cast<LD>(points[k + 1][0]) - points[0][0],
             ay = static_cast<LD>(points[k + 1][1]) - points[0][1];
    const LD bx = static_cast<LD>(points[k + 2][0]) - points[0][0],
             by = static_cast<LD>(points[k + 2][1]) - points[0][1];
    const LD la = std::sqrt(ax * ax + ay * ay), lb = std::sqrt(bx * bx + by * by);
    if (!(la > 0) || !(lb > 0)) continue;
    const LD z = (ax / la) * (by / lb) - (ay / la) * (bx / lb);
    if (z >= 0)
      ++positive;
    else
      ++negative;
  }
  const LD direction = negative > positive ? -1 : 1;
  LD cx = 0, cy = 0;
  for (int32_t k = 0; k < count; ++k) {
    cx += points[k][0];
    cy += points[k][1];
  }
  cx /= count;
  cy /= count;
  LD radius = 0, farthest = -1;
  int32_t f = 0;
  for (int32_t k = 0; k < count; ++k) {
    const LD dx = points[k][0] - cx, dy = points[k][1] - cy;
    const LD d = std::sqrt(dx * dx + dy * dy);
    radius += d;
    if (d > farthest) {
      farthest = d;
      f = k;
    }
  }
  radius /= count;
  const TDbl2D centre{{static_cast<double>(cx), static_cast<double>(cy)}};
  if (radius == 0) {
    for (int32_t k = 0; k < n; ++k) points[k] = centre;
    return;
  }
  const LD alpha =
      DirectionAngle2D(static_cast<double>(points[f][1] - cy), static_cast<double>(points[f][0] - cx), 0);
  // Each distinct point is written once and none is read again, so they change in place.
  for (int32_t w = 0; w < count; ++w) {
    const LD A = alpha + direction * kTwoPi * w / count;
    points[(f + w) % count] = TDbl2D{
        {static_cast<double>(cx + radius * std::cos(A)), static_cast<double>(cy + radius * std::sin(A))}};
  }
  points[n - 1] = points[0];
}

void ParabolaThrough(double x1, double z1, double x2, double z2, double& k, double& c) {
  const LD q1 = static_cast<LD>(x1) * x1, q2 = static_cast<LD>(x2) * x2;
  if (std::fabs(q2 - q1) <= kZeroTolerance) {
    k = 0;
    c = z2;
    return;
  }
  const LD kk = (static_cast<LD>(z2) - z1) / (q2 - q1);
  k = static_cast<double>(kk);
  c = static_cast<double>(z1 - kk * q1);
}

void MakeFillPillar(TCS& cs) {
  if (!SizeValid(cs)) return;
  const int32_t I = cs.CPMaxI, J = cs.CPMaxJ;
  const int32_t lowerRim = CapRows, upperRim = UpperRimRow;
  if (lowerRim < 1 || upperRim < 0 || lowerRim >= J || upperRim >= J) return;
  const int32_t h = (I - 1) / 4;
  // Poles.
  for (int32_t i = 0; i < I; ++i) {
    if (!cs.RP[i][0]) cs.CP[i][0] = TDbl3D{{0.0, 0.0, kCoordMin}};
    if (!cs.RP[i][J - 1]) cs.CP[i][J - 1] = TDbl3D{{0.0, 0.0, kCoordMax}};
  }
  // The square's corners on both rim rows (written even when locked).
  const double cornerX[4] = {kCoordMax, kCoordMin, kCoordMin, kCoordMax};
  const double cornerY[4] = {kCoordMax, kCoordMax, kCoordMin, kCoordMin};
  const double upperZ = cs.CP[0][J - 1][2], lowerZ = cs.CP[0][0][2];
  for (int32_t k = 0; k < 4; ++k) {
    cs.CP[k * h][upperRim] = TDbl3D{{cornerX[k], cornerY[k], upperZ}};
    cs.CP[k * h][lowerRim] = TDbl3D{{cornerX[k], cornerY[k], lowerZ}};
  }
  cs.CP[4 * h][upperRim] = cs.CP[0][upperRim];
  cs.CP[4 * h][lowerRim] = cs.CP[0][lowerRim];
  // The square's edges.
  if (I - 1 > 7)
    for (int32_t rim : {upperRim, lowerRim})
      for (int32_t k = 0; k < 4; ++k)
        for (int32_t u = 1; u < h; ++u) {
          const int32_t col = k * h + u;
          if (!cs.RP[col][rim]) cs.CP[col][rim] = Lerp(cs.CP[k * h][rim], cs.CP[(k + 1) * h][rim], u, h);
        }
  // Caps: straight from each pole to its rim.
  for (int32_t col = 0; col < I; ++col)
    for (int32_t k = 1; k < lowerRim; ++k) {
      if (!cs.RP[col][k]) cs.CP[col][k] = Lerp(cs.CP[col][0], cs.CP[col][lowerRim], k, lowerRim);
      const int32_t row = J - 1 - k;
      if (!cs.RP[col][row]) cs.CP[col][row] = Lerp(cs.CP[col][J - 1], cs.CP[col][upperRim], k, lowerRim);
    }
  // Wall: straight between the rims.
  const int32_t wall = upperRim - lowerRim;
  for (int32_t col = 0; col < I; ++col)
    for (int32_t row = lowerRim + 1; row < upperRim; ++row)
      cs.CP[col][row] = Lerp(cs.CP[col][lowerRim], cs.CP[col][upperRim], row - lowerRim, wall);
}

void MakeCushion(TCS& cs, int32_t s) {
  if (!SizeValid(cs) || cs.CPMaxJ - 1 < 8 || s < 0 || s >= cs.CPMaxI) return;
  const int32_t I = cs.CPMaxI, J = cs.CPMaxJ, n = I - 1;
  const int32_t a = (J - 1) / 2, q = a / 2, p = a / 4;
  // The column angles' cosines and sines, once for every row.
  LD cosT[kGridMax], sinT[kGridMax], cos2T[kGridMax];
  for (int32_t i = 0; i < n; ++i) {
    const LD th = kTwoPi * i / n;
    cosT[i] = std::cos(th);
    sinT[i] = std::sin(th);
    cos2T[i] = std::cos(2 * th);
  }
  auto closeSeam = [&](int32_t row) { cs.CP[I - 1][row] = cs.CP[0][row]; };
  // A cap row out to radius l on the parabola z = k x^2 + c, flat in y.
  auto capRow = [&](int32_t row, LD l, double k, double c) {
    for (int32_t i = 0; i < n; ++i) {
      const LD x = l * cosT[i];
      cs.CP[i][row] = P3(x, 0, k * x * x + c);
    }
    closeSeam(row);
  };
  // A middle row from the source point of `sourceRow`, blending towards the cap's height c.
  auto middleRow = [&](int32_t row, int32_t sourceRow, LD v, double c) {
    const TDbl3D& src = cs.CP[s][sourceRow];
    const LD u = AxisDistance(src), zs = src[2];
    const LD B = (zs + c * std::cos(v)) / 2, D = zs - B, sinV = std::sin(v);
    for (int32_t i = 0; i < n; ++i) cs.CP[i][row] = P3(u * cosT[i], sinT[i] * sinV, B + D * cos2T[i]);
    closeSeam(row);
  };
  double k, c;
  ParabolaThrough(cs.CP[s][p][0], cs.CP[s][p][2], cs.CP[s][q][0], cs.CP[s][q][2], k, c);
  const LD g = AxisDistance(cs.CP[s][q]);
  double k2, c2;
  ParabolaThrough(cs.CP[s][J - 1 - p][0], cs.CP[s][J - 1 - p][2], cs.CP[s][J - 1 - q][0],
                  cs.CP[s][J - 1 - q][2], k2, c2);
  const LD t = AxisDistance(cs.CP[s][J - 1 - q]);
  // Lower half.
  for (int32_t i = 0; i < I; ++i) cs.CP[i][0] = TDbl3D{{0.0, 0.0, c}};
  for (int32_t r = 1; r <= q; ++r) capRow(r, static_cast<LD>(r) * g / q, k, c);
  for (int32_t m = q + 1; m <= a; ++m) middleRow(m, m, (m - q) * kPi / (2 * (a - q)), c);
  // Upper half.
  for (int32_t i = 0; i < I; ++i) cs.CP[i][J - 1] = TDbl3D{{0.0, 0.0, c2}};
  for (int32_t w = 0; w < q; ++w) capRow(J - 2 - w, t * (w + 1) / q, k2, c2);
  for (int32_t i = q + 1; i <= a - 1; ++i) middleRow(J - 1 - i, J - 1 - i, (i - q) * kPi / (2 * (a - q)), c2);
}

}  // namespace shape
