#include "editor/panes/ShapePresets.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/Round.h"
#include "settings/AppSettings.h"
#include "shape/model/uTwistPresets.h"

namespace editor {

using shape::TCS;
using shape::TDbl3D;

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

// Intervals per side, by k = 2..8 (5 to 257 points) and by the number of sides 3..8.
constexpr uint8_t kSideDivisions[7][6][8] = {
    {{1, 2, 1},
     {1, 1, 1, 1},
     {1, 1, 0, 1, 1},
     {1, 0, 1, 1, 0, 1},
     {1, 0, 1, 0, 1, 0, 1},
     {0, 1, 0, 1, 0, 1, 0, 1}},
    {{2, 4, 2},
     {2, 2, 2, 2},
     {2, 1, 2, 1, 2},
     {1, 2, 1, 1, 2, 1},
     {1, 1, 1, 2, 1, 1, 1},
     {1, 1, 1, 1, 1, 1, 1, 1}},
    {{6, 4, 6},
     {4, 4, 4, 4},
     {4, 2, 4, 2, 4},
     {2, 4, 2, 2, 4, 2},
     {2, 2, 2, 4, 2, 2, 2},
     {2, 2, 2, 2, 2, 2, 2, 2}},
    {{12, 8, 12},
     {8, 8, 8, 8},
     {8, 4, 8, 4, 8},
     {4, 8, 4, 4, 8, 4},
     {4, 4, 4, 8, 4, 4, 4},
     {4, 4, 4, 4, 4, 4, 4, 4}},
    {{20, 24, 20},
     {16, 16, 16, 16},
     {16, 8, 16, 8, 16},
     {12, 8, 12, 12, 8, 12},
     {8, 12, 8, 8, 8, 12, 8},
     {8, 8, 8, 8, 8, 8, 8, 8}},
    {{44, 40, 44},
     {32, 32, 32, 32},
     {24, 28, 24, 28, 24},
     {20, 24, 20, 20, 24, 20},
     {16, 20, 20, 16, 20, 20, 16},
     {16, 16, 16, 16, 16, 16, 16, 16}},
    {{84, 88, 84},
     {64, 64, 64, 64},
     {52, 52, 48, 52, 52},
     {44, 40, 44, 44, 40, 44},
     {36, 36, 36, 40, 36, 36, 36},
     {32, 32, 32, 32, 32, 32, 32, 32}},
};

struct Vec2 {
  double a, b;
};

double Radius(const TDbl3D& p) { return std::sqrt(p[0] * p[0] + p[1] * p[1]); }

double Distance(const TDbl3D& p, const TDbl3D& q) {
  return std::sqrt((p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) +
                   (p[2] - q[2]) * (p[2] - q[2]));
}

double MidpointLength(const TDbl3D& p, const TDbl3D& q) {
  const double x = (p[0] + q[0]) / 2, y = (p[1] + q[1]) / 2, z = (p[2] + q[2]) / 2;
  return std::sqrt(x * x + y * y + z * z);
}

bool SidesOnCorners() {
  return settings::AppSettings.Crystallized || settings::AppSettings.RearrangeType == 2;
}

void Put(TCS& cs, int32_t i, int32_t j, const TDbl3D& p) {
  if (!cs.RP[i][j]) cs.CP[i][j] = p;
}

// Walks the sides of a polygon with `sides` corners along `last` + 1 grid lines (the last
// distinct column or row is `last`), calling put(index, point) for each line the table gives
// a side; corner(s) is the polygon's corner s (s = sides is corner 0 again).
template <typename Corner, typename PutFn>
void WalkPolygon(int32_t points, int32_t sides, int32_t last, Corner corner, PutFn put) {
  const std::span<const uint8_t> row = SideDivisionRow(points, sides);
  const bool onCorners = SidesOnCorners();
  int32_t index = 0;
  for (int32_t s = 0; s < sides && index <= last; ++s) {
    const int32_t n = row[static_cast<size_t>(s)];
    const Vec2 c0 = corner(s), c1 = corner(s + 1);
    for (int32_t d = 0; d < n && index <= last; ++d, ++index) {
      if (onCorners) {
        put(index, c0);
      } else {
        put(index, Vec2{((n - d) * c0.a + d * c1.a) / n, ((n - d) * c0.b + d * c1.b) / n});
      }
    }
  }
}

bool ValidSides(int32_t sides) { return sides == 0 || (sides >= 3 && sides <= 8); }

bool AnySelected(const TCS& cs) {
  for (int32_t i = 0; i < cs.CPMaxI; ++i)
    for (int32_t j = 0; j < cs.CPMaxJ; ++j)
      if (cs.SP[i][j]) return true;
  return false;
}

// The rows of the sphere primitive's caps, derived from the grid size as the shape model
// derives them (CPHalfJ, CapRows, UpperRimRow).
int32_t HalfRows(const TCS& cs) { return (cs.CPMaxJ - 1) / 2; }
int32_t CapRowsOf(const TCS& cs) { return std::clamp(HalfRows(cs) - 2, 1, 8); }

// ---------------------------------------------------------------------------------------
// Round presets on a torus: the tube of each column.

void TorusRoundColumn(TCS& cs, int32_t i, int32_t kind) {
  const int32_t N = cs.CPMaxJ;
  const int32_t m = HalfRows(cs);
  const double theta = kTwoPi * i / (cs.CPMaxI - 1);
  const double f = MidpointLength(cs.CP[i][0], cs.CP[i][m]);
  double o = Distance(cs.CP[i][0], cs.CP[i][m]) / 2;
  if (o == 0) o = 0.15;
  const double inner = f - o, outer = f + o;
  auto put = [&](int32_t j, double rho, double z) {
    Put(cs, i, j, TDbl3D{{rho * std::cos(theta), rho * std::sin(theta), z}});
  };
  auto ball = [&](int32_t j) {
    const double a = kTwoPi * j / (N - 1);
    put(j, f - o * std::cos(a), -o * std::sin(a));
  };
  // The flat ring from the inner to the outer rim over rows 0..m (all inner when m is 0).
  auto ringRho = [&](int32_t w) { return m > 0 ? (inner * (m - w) + outer * w) / m : inner; };
  switch (kind) {
    case 0:
      for (int32_t j = 0; j < N; ++j) ball(j);
      break;
    case 1:
      for (int32_t w = 0; w <= m; ++w) put(w, ringRho(w), 0);
      for (int32_t j = m + 1; j < N; ++j) ball(j);
      break;
    case 2: {
      for (int32_t w = 0; w <= m; ++w) put(w, ringRho(w), 1);
      // Half the tube's rows go down the outside, the rest come up the inside; h is at least 1
      // so short grids do not divide by zero.
      const int32_t h = std::max(1, m / 2);
      for (int32_t d = 1; d <= h && m + d < N; ++d)
        put(m + d, (outer * (h - d) + f * d) / h, 1 - 2.0 * d / h);
      for (int32_t e = 1; m + h + e < N; ++e) put(m + h + e, (f * (h - e) + inner * e) / h, -1 + 2.0 * e / h);
      break;
    }
    default:
      break;
  }
}

// ---------------------------------------------------------------------------------------
// Round presets on the other stitch types: one column about the z axis.

void RoundColumn(TCS& cs, int32_t i, int32_t kind) {
  const int32_t N = cs.CPMaxJ;
  const int32_t R = CapRowsOf(cs);
  const double theta = kTwoPi * i / (cs.CPMaxI - 1);
  const double ct = std::cos(theta), st = std::sin(theta);
  const double e = Radius(cs.CP[i][R]);
  const int32_t wallSteps = std::max(1, N - R - 1);
  auto ball = [&](int32_t j, double phi) {
    Put(cs, i, j, TDbl3D{{e * std::sin(phi) * ct, e * std::sin(phi) * st, -e * std::cos(phi)}});
  };
  switch (kind) {
    case 0:
      for (int32_t j = 0; j < N; ++j) ball(j, std::numbers::pi * j / (N - 1));
      break;
    case 1:
    case 2: {
      const double base = kind == 1 ? 0 : -1;
      for (int32_t j = 0; j <= R && j < N; ++j) Put(cs, i, j, TDbl3D{{j * e / R * ct, j * e / R * st, base}});
      for (int32_t j = R; j < N; ++j) {
        if (kind == 1) {
          ball(j,
               (static_cast<double>(j - R) / wallSteps + 1) * std::numbers::pi / 2);  // a dome over the disc
        } else {
          const double h = static_cast<double>(N - j - 1) / wallSteps;  // apex at z = 1
          Put(cs, i, j, TDbl3D{{h * e * ct, h * e * st, 1 - 2 * h}});
        }
      }
      break;
    }
    case 3: {
      // Both rims chamfered at 45 degrees between their neighbours, where the grid has them.
      const double q = 1 / std::sqrt(2.0), p = 1 - q;
      auto bevel = [&](int32_t row, double wBelow, double wAbove, double zBelow, double zAbove) {
        if (row < 1 || row > N - 2 || cs.RP[i][row]) return;
        const TDbl3D& below = cs.CP[i][row - 1];
        const TDbl3D& above = cs.CP[i][row + 1];
        const double radius = wBelow * Radius(below) + wAbove * Radius(above);
        const double z = zBelow * below[2] + zAbove * above[2];
        cs.CP[i][row] = TDbl3D{{radius * ct, radius * st, z}};
      };
      bevel(N - 1 - R, q, p, p, q);
      bevel(R, p, q, q, p);
      break;
    }
    default:
      break;
  }
}

}  // namespace

std::span<const uint8_t> SideDivisionRow(int32_t Points, int32_t Sides) {
  if (Sides < 3 || Sides > 8) return {};
  const int32_t k = std::clamp(common::RoundInt(std::log2(static_cast<double>(std::max(Points, 1)))), 2, 8);
  return std::span<const uint8_t>(kSideDivisions[k - 2][Sides - 3], static_cast<size_t>(Sides));
}

void PrismPresetPoints(TCS& Shape, int32_t Sides, bool AllRows, int32_t CurrentLine) {
  if (!ValidSides(Sides)) return;
  const int32_t I = Shape.CPMaxI;
  const bool all = AllRows || !AnySelected(Shape);
  for (int32_t j = 0; j < Shape.CPMaxJ; ++j) {
    if (!all && (CurrentLine < 0 || CurrentLine >= I || !Shape.SP[CurrentLine][j])) continue;
    const double r = Radius(Shape.CP[0][j]);
    const double z0 = Shape.CP[0][j][2];
    if (Sides == 0) {
      for (int32_t i = 0; i <= I - 2; ++i) {
        const double a = kTwoPi * i / (I - 1);
        Put(Shape, i, j, TDbl3D{{r * std::cos(a), r * std::sin(a), z0}});
      }
    } else {
      WalkPolygon(
          I, Sides, I - 2,
          [&](int32_t s) {
            const double a = kTwoPi * s / Sides;
            return Vec2{r * std::cos(a), r * std::sin(a)};
          },
          [&](int32_t i, Vec2 p) {
            Put(Shape, i, j, TDbl3D{{p.a, p.b, z0}});
          });
    }
    Put(Shape, I - 1, j, Shape.CP[0][j]);  // the seam column
  }
}

void PrismPresetTorusPoints(TCS& Shape, int32_t Sides) {
  if (!ValidSides(Sides)) return;
  const int32_t I = Shape.CPMaxI, J = Shape.CPMaxJ;
  const TDbl3D a = Shape.CP[0][0], b = Shape.CP[0][HalfRows(Shape)];
  const double w = Distance(a, b) / 2;
  const double A = MidpointLength(a, b);
  for (int32_t i = 0; i < I; ++i) {
    const double phi = kTwoPi * i / (I - 1);
    const double cp = std::cos(phi), sp = std::sin(phi);
    auto put = [&](int32_t j, double rho, double z) { Put(Shape, i, j, TDbl3D{{rho * cp, rho * sp, z}}); };
    if (Sides == 0) {
      for (int32_t j = 0; j < J; ++j) {
        const double t = kTwoPi * j / (J - 1);
        put(j, A - w * std::cos(t), -w * std::sin(t));
      }
    } else {
      WalkPolygon(
          J, Sides, J - 2,
          [&](int32_t s) {
            const double t = kTwoPi * s / Sides;
            return Vec2{A - w * std::cos(t), -w * std::sin(t)};
          },
          [&](int32_t j, Vec2 p) { put(j, p.a, p.b); });
    }
  }
  for (int32_t i = 0; i < I; ++i) Put(Shape, i, J - 1, Shape.CP[i][0]);
}

void RoundPresetPoints(TCS& Shape, int32_t Kind) {
  if (Shape.ScType == shape::SCTYPE_TORUS) {
    for (int32_t i = 0; i < Shape.CPMaxI; ++i) TorusRoundColumn(Shape, i, Kind);
    return;
  }
  if (Kind == 4) {
    shape::MakeFillPillar(Shape);
    return;
  }
  if (Kind == 5) {
    shape::MakeCushion(Shape, 0);
    return;
  }
  for (int32_t i = 0; i < Shape.CPMaxI; ++i) RoundColumn(Shape, i, Kind);
}

}  // namespace editor
