#include "shape/model/uScPrim.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/Round.h"
#include "settings/AppSettings.h"

namespace shape {

TCS CurrentShape;

int32_t CPHalfI = 0;
int32_t CPHalfJ = 0;
int32_t CapRows = 1;
int32_t UpperRimRow = 0;
int32_t LinesPerPart = 0;
int32_t TextureWidth = 0;
int32_t TextureHeight = 0;

namespace {

TTextureResizeHook gTextureResizeHook = nullptr;

constexpr long double kTwoPi = 2 * std::numbers::pi_v<long double>;

// Values within 1e-05 of zero are stored as exactly 0, so the primitives have clean axes.
double Snapped(long double v) { return std::fabs(v) <= 1e-05L ? 0.0 : static_cast<double>(v); }

template <typename T>
void CopySeamsOf(T (&a)[kGridMax][kGridMax], TScType type, int32_t maxI, int32_t maxJ, int32_t column) {
  const int32_t lastI = maxI - 1;
  const int32_t lastJ = maxJ - 1;
  if (type == SCTYPE_SPHERE) {
    const T lower = a[column][0];
    const T upper = a[column][lastJ];
    for (int32_t i = 0; i < maxI; ++i) {
      a[i][0] = lower;
      a[i][lastJ] = upper;
    }
  } else if (type == SCTYPE_TORUS) {
    for (int32_t i = 0; i < maxI; ++i) a[i][lastJ] = a[i][0];
  }
  if (type == SCTYPE_SPHERE || type == SCTYPE_TORUS || type == SCTYPE_CYLINDER) {
    for (int32_t j = 0; j < maxJ; ++j) a[lastI][j] = a[0][j];
  }
}

TScType DetectBlock(const TACP256& p, int32_t i0, int32_t j0, int32_t columns, int32_t rows) {
  const int32_t i1 = i0 + columns - 1;
  const int32_t j1 = j0 + rows - 1;
  for (int32_t j = j0; j <= j1; ++j)
    if (!(p[i0][j][0] == p[i1][j][0] && p[i0][j][1] == p[i1][j][1] && p[i0][j][2] == p[i1][j][2]))
      return SCTYPE_PLANE;
  auto same = [](const TDbl3D& a, const TDbl3D& b) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; };
  bool poles = true;
  for (int32_t i = i0 + 1; i <= i1 && poles; ++i)
    poles = same(p[i][j0], p[i0][j0]) && same(p[i][j1], p[i0][j1]);
  if (poles) return SCTYPE_SPHERE;
  for (int32_t i = i0; i <= i1; ++i)
    if (!same(p[i][j0], p[i][j1])) return SCTYPE_CYLINDER;
  return SCTYPE_TORUS;
}

}  // namespace

void SetTextureResizeHook(TTextureResizeHook hook) { gTextureResizeHook = hook; }
TTextureResizeHook GetTextureResizeHook() { return gTextureResizeHook; }

double MaximizeSpan() { return settings::AppSettings.MaximizeWithSymmetry ? 1.984375 : 1.9921875; }

void SetGridSize(const TCS& cs) {
  CPHalfI = common::Div(cs.CPMaxI - 1, 2);
  CPHalfJ = common::Div(cs.CPMaxJ - 1, 2);
  CapRows = std::max(1, std::min(8, common::Div(cs.CPMaxJ - 1, 2) - 2));
  UpperRimRow = cs.CPMaxJ - 1 - CapRows;
  LinesPerPart = settings::AppSettings.DividedHorizontal ? common::Div(1024, cs.CPMaxI - 1)
                                                         : common::Div(1024, cs.CPMaxJ - 1);
  TextureWidth = (cs.CPMaxI - 1) * 16;
  TextureHeight = (cs.CPMaxJ - 1) * 16;
  if (gTextureResizeHook) gTextureResizeHook(TextureWidth, TextureHeight);
}

void InitShape(TCS& cs, TScType type, int32_t columns, int32_t rows) {
  cs.ScType = type;
  cs.CPMaxI = columns;
  cs.CPMaxJ = rows;
  SetGridSize(cs);
  cs.Count = 0;
  std::fill(&cs.SP[0][0], &cs.SP[0][0] + kGridMax * kGridMax, false);
  std::fill(&cs.RP[0][0], &cs.RP[0][0] + kGridMax * kGridMax, false);
  std::fill(&cs.GP[0][0], &cs.GP[0][0] + kGridMax * kGridMax, -1);
  GeneratePrimitive(cs);
  CopySeams(cs, 0);
}

void ResetDefaultShape(TCS& cs) {
  cs.CPMaxI = 33;
  cs.CPMaxJ = 33;
  cs.ScType = SCTYPE_SPHERE;
  SetGridSize(cs);
  GeneratePrimitive(cs);
}

void GeneratePrimitive(TCS& cs) {
  const int32_t maxI = cs.CPMaxI;
  const int32_t maxJ = cs.CPMaxJ;
  const long double stepsI = maxI - 1;
  const long double stepsJ = maxJ - 1;
  auto u = [&](int32_t i) { return kTwoPi * i / stepsI; };
  auto v = [&](int32_t j) { return kTwoPi * j / stepsJ; };
  switch (cs.ScType) {
    case SCTYPE_SPHERE: {
      // A can with flat ends: radius 0.75, height -0.75 to 0.75.
      const long double caps = CapRows;
      for (int32_t j = 0; j < CapRows; ++j) {
        const long double r = j * 0.75L / caps;
        for (int32_t i = 0; i <= maxI - 2; ++i)
          cs.CP[i][j] = {Snapped(r * std::cos(u(i))), Snapped(r * std::sin(u(i))), -0.75};
      }
      // A wall of one row (3 rows in all) is both rims: it lies halfway, at z = 0.
      const long double wallSteps = maxJ - 1 - 2 * CapRows;
      for (int32_t j = CapRows; j <= UpperRimRow; ++j) {
        const double z =
            wallSteps > 0 ? static_cast<double>((j - CapRows) / wallSteps * 2 * 0.75L - 0.75L) : 0.0;
        for (int32_t i = 0; i <= maxI - 2; ++i)
          cs.CP[i][j] = {Snapped(0.75L * std::cos(u(i))), Snapped(0.75L * std::sin(u(i))), z};
      }
      for (int32_t j = maxJ - CapRows; j <= maxJ - 1; ++j) {
        const long double r = (maxJ - 1 - j) * 0.75L / caps;
        for (int32_t i = 0; i <= maxI - 2; ++i)
          cs.CP[i][j] = {Snapped(r * std::cos(u(i))), Snapped(r * std::sin(u(i))), 0.75};
      }
      break;
    }
    case SCTYPE_TORUS:
      for (int32_t j = 0; j < maxJ; ++j) {
        const long double g = 0.6L - 0.3L * std::cos(v(j));
        const double z = Snapped(-0.3L * std::sin(v(j)));
        for (int32_t i = 0; i < maxI; ++i)
          cs.CP[i][j] = {Snapped(g * std::cos(u(i))), Snapped(g * std::sin(u(i))), z};
      }
      break;
    case SCTYPE_PLANE: {
      const long double span = MaximizeSpan();
      for (int32_t j = 0; j < maxJ; ++j) {
        const double z = static_cast<double>(j / stepsJ * span - 0.9921875L);
        for (int32_t i = 0; i < maxI; ++i)
          cs.CP[i][j] = {static_cast<double>(i / stepsI * span - 0.9921875L), 0.0, z};
      }
      break;
    }
    case SCTYPE_CYLINDER:
      for (int32_t j = 0; j < maxJ; ++j) {
        const double z = static_cast<double>(j / stepsJ * 2 * 0.75L - 0.75L);
        for (int32_t i = 0; i <= maxI - 2; ++i)
          cs.CP[i][j] = {Snapped(0.75L * std::cos(u(i))), Snapped(0.75L * std::sin(u(i))), z};
        cs.CP[maxI - 1][j] = cs.CP[0][j];
      }
      break;
    default:
      break;  // not a stitch type: the points stay as they are
  }
}

void CopySeams(TCS& cs, int32_t column) {
  CopySeamsOf(cs.SP, cs.ScType, cs.CPMaxI, cs.CPMaxJ, column);
  CopySeamsOf(cs.RP, cs.ScType, cs.CPMaxI, cs.CPMaxJ, column);
  CopySeamsOf(cs.CP, cs.ScType, cs.CPMaxI, cs.CPMaxJ, column);
  CopySeamsOf(cs.GP, cs.ScType, cs.CPMaxI, cs.CPMaxJ, column);
}

TScType DetectStitchType(const TCS& cs, int32_t forced) {
  if (forced >= 0 && forced <= 3) return static_cast<TScType>(forced);
  return DetectBlock(cs.CP, 0, 0, cs.CPMaxI, cs.CPMaxJ);
}

std::string StitchTypeName(const TACP256& points, int32_t firstColumn, int32_t firstRow, int32_t columns,
                           int32_t rows) {
  switch (DetectBlock(points, firstColumn, firstRow, columns, rows)) {
    case SCTYPE_SPHERE:
      return "SPHERE";
    case SCTYPE_TORUS:
      return "TORUS";
    case SCTYPE_CYLINDER:
      return "CYLINDER";
    default:
      return "PLANE";
  }
}

void MaximizeShape(TCS& cs) {
  double lo[3], hi[3];
  for (int k = 0; k < 3; ++k) lo[k] = hi[k] = cs.CP[0][0][k];
  for (int32_t i = 0; i < cs.CPMaxI; ++i)
    for (int32_t j = 0; j < cs.CPMaxJ; ++j)
      for (int k = 0; k < 3; ++k) {
        const double c = cs.CP[i][j][k];
        if (c < lo[k]) lo[k] = c;
        if (c > hi[k]) hi[k] = c;
      }
  const double span = MaximizeSpan();
  for (int32_t i = 0; i < cs.CPMaxI; ++i)
    for (int32_t j = 0; j < cs.CPMaxJ; ++j)
      for (int k = 0; k < 3; ++k) {
        double& c = cs.CP[i][j][k];
        c = lo[k] == hi[k] ? 0.0 : (c - lo[k]) * span / (hi[k] - lo[k]) - 0.9921875;
      }
}

}  // namespace shape
