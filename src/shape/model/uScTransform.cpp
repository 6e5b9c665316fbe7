#include "shape/model/uScTransform.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

#include "common/Round.h"
#include "settings/AppSettings.h"
#include "shape/model/Dbl3D.h"
#include "shape/model/uScPrim.h"
#include "shape/model/uScSelect.h"

namespace shape {

TACP256 ScratchGrid;

namespace {

bool IsPlaneButton(int32_t button) { return button >= 0 && button <= 2; }

void CopyBlockToScratch(const TCS& cs, int32_t columns, int32_t rows) {
  for (int32_t i = 0; i < columns; ++i) std::copy(cs.CP[i], cs.CP[i] + rows, ScratchGrid[i]);
}

void ClampAndCount(TCS& cs) {
  ClampShapePoints(cs);
  CountSelectedPoints(cs);
}

// Sums of squared deviations from their mean, per axis, of n points given by at(k).
template <typename At>
int32_t LeastSpreadButton(int32_t n, At at) {
  double mean[3] = {0, 0, 0};
  for (int32_t k = 0; k < n; ++k)
    for (int a = 0; a < 3; ++a) mean[a] += at(k)[a];
  for (double& m : mean) m /= n;
  double s[3] = {0, 0, 0};
  for (int32_t k = 0; k < n; ++k)
    for (int a = 0; a < 3; ++a) s[a] += (at(k)[a] - mean[a]) * (at(k)[a] - mean[a]);
  const double sx = s[0], sy = s[1], sz = s[2];
  if (sx >= sy) return sy >= sz ? 0 : 2;
  return sx >= sz ? 0 : 1;
}

// The axis a half-mirror mirrors for a button: "XY" z, "YZ" x, "ZX" y.
int MirroredAxis(int32_t button) { return button == 0 ? 2 : button == 1 ? 0 : 1; }

// A block of flags or group ids turned a quarter with the points: new [i][j] := old [j][newI - 1 - i].
template <typename T>
void QuarterTurnArray(T (&a)[kGridMax][kGridMax], int32_t oldI, int32_t oldJ) {
  std::vector<T> old(static_cast<size_t>(oldI) * oldJ);
  for (int32_t i = 0; i < oldI; ++i)
    std::copy(a[i], a[i] + oldJ, old.begin() + static_cast<ptrdiff_t>(i) * oldJ);
  const int32_t newI = oldJ;
  const int32_t newJ = oldI;
  for (int32_t i = 0; i < newI; ++i)
    for (int32_t j = 0; j < newJ; ++j) a[i][j] = old[static_cast<size_t>(j) * oldJ + (newI - 1 - i)];
}

int32_t PositiveMod(int64_t a, int32_t m) {
  int64_t r = common::Mod(a, static_cast<int64_t>(m));
  if (r < 0) r += m;
  return static_cast<int32_t>(r);
}

}  // namespace

int32_t MirrorVerticalDefaultButton(const TCS& cs) {
  const int32_t m = (cs.CPMaxJ - 1) / 2;
  return LeastSpreadButton(cs.CPMaxI, [&](int32_t i) -> const TDbl3D& { return cs.CP[i][m]; });
}

int32_t MirrorHorizontalDefaultButton(const TCS& cs) {
  const int32_t m = (cs.CPMaxI - 1) / 2;
  return LeastSpreadButton(cs.CPMaxJ, [&](int32_t j) -> const TDbl3D& { return cs.CP[m][j]; });
}

void FlipShapeVertical(TCS& cs, int32_t button) {
  if (!IsPlaneButton(button)) return;
  const int32_t maxI = cs.CPMaxI;
  const int32_t maxJ = cs.CPMaxJ;
  double f[3] = {-1, -1, -1};
  f[button] = 1;
  for (int32_t i = 0; i < maxI; ++i)
    for (int32_t j = 0; j < maxJ; ++j)
      ScratchGrid[i][j] = {f[0] * cs.CP[i][j][0], f[1] * cs.CP[i][j][1], f[2] * cs.CP[i][j][2]};
  for (int32_t i = 0; i < maxI; ++i)
    for (int32_t j = 0; j < maxJ; ++j)
      if (!cs.RP[i][j]) cs.CP[i][j] = ScratchGrid[maxI - 1 - i][maxJ - 1 - j];
  ClampAndCount(cs);
}

void FlipShapeHorizontal(TCS& cs, int32_t button) {
  if (!IsPlaneButton(button)) return;
  const int32_t maxI = cs.CPMaxI;
  const int32_t maxJ = cs.CPMaxJ;
  double f[3] = {1, 1, 1};
  f[button] = -1;
  for (int32_t i = 0; i < maxI; ++i)
    for (int32_t j = 0; j < maxJ; ++j)
      ScratchGrid[i][j] = {f[0] * cs.CP[i][j][0], f[1] * cs.CP[i][j][1], f[2] * cs.CP[i][j][2]};
  for (int32_t i = 0; i < maxI; ++i)
    for (int32_t j = 0; j < maxJ; ++j)
      if (!cs.RP[i][j]) cs.CP[i][j] = ScratchGrid[maxI - 1 - i][j];
  ClampAndCount(cs);
}

void MirrorShapeVertical(TCS& cs, int32_t button) {
  if (IsPlaneButton(button)) {
    const int axis = MirroredAxis(button);
    const int32_t m = (cs.CPMaxJ - 1) / 2;
    for (int32_t r = 0; r < m; ++r) {
      const int32_t t = cs.CPMaxJ - 1 - r;
      for (int32_t i = 0; i < cs.CPMaxI; ++i) {
        if (cs.RP[i][r]) continue;
        TDbl3D p = cs.CP[i][t];
        p[axis] = 2 * cs.CP[i][m][axis] - cs.CP[i][t][axis];
        cs.CP[i][r] = p;
      }
    }
  }
  ClampAndCount(cs);
}

void MirrorShapeHorizontal(TCS& cs, int32_t button) {
  if (IsPlaneButton(button)) {
    const int axis = MirroredAxis(button);
    const int32_t m = (cs.CPMaxI - 1) / 2;
    for (int32_t c = 0; c < m; ++c) {
      const int32_t t = cs.CPMaxI - 1 - c;
      for (int32_t j = 0; j < cs.CPMaxJ; ++j) {
        if (cs.RP[t][j]) continue;
        TDbl3D p = cs.CP[c][j];
        p[axis] = 2 * cs.CP[m][j][axis] - cs.CP[c][j][axis];
        cs.CP[t][j] = p;
      }
    }
  }
  ClampAndCount(cs);
}

void TurnShapeInsideOut(TCS& cs) {
  // Half the columns, rounded down: with an even number of columns the two middle ones swap too,
  // so every row is fully reversed.
  const int32_t pairs = cs.CPMaxI / 2;
  for (int32_t j = 0; j < cs.CPMaxJ; ++j)
    for (int32_t i = 0; i < pairs; ++i) std::swap(cs.CP[i][j], cs.CP[cs.CPMaxI - 1 - i][j]);
  ClampAndCount(cs);
}

void RotateShapeGrid(TCS& cs, bool quarterTurn, bool halfTurn) {
  const int32_t oldI = cs.CPMaxI;
  const int32_t oldJ = cs.CPMaxJ;
  if (quarterTurn) {
    CopyBlockToScratch(cs, oldI, oldJ);
    cs.CPMaxI = oldJ;
    cs.CPMaxJ = oldI;
    SetGridSize(cs);
    for (int32_t i = 0; i < cs.CPMaxI; ++i)
      for (int32_t j = 0; j < cs.CPMaxJ; ++j) cs.CP[i][j] = ScratchGrid[j][cs.CPMaxI - 1 - i];
    // The flags turn with their points; left at their grid positions they would, on a grid that
    // is not square, land on other points or come alive from outside the old block.
    QuarterTurnArray(cs.SP, oldI, oldJ);
    QuarterTurnArray(cs.RP, oldI, oldJ);
    QuarterTurnArray(cs.GP, oldI, oldJ);
  } else if (halfTurn) {
    CopyBlockToScratch(cs, oldI, oldJ);
    for (int32_t i = 0; i < oldI; ++i)
      for (int32_t j = 0; j < oldJ; ++j) cs.CP[i][j] = ScratchGrid[oldI - 1 - i][oldJ - 1 - j];
  }
  ClampAndCount(cs);
}

void OffsetShapeGrid(TCS& cs, int32_t columnShift, int32_t rowShift) {
  int32_t e = cs.CPMaxI - 1;
  int32_t d = cs.CPMaxJ;
  switch (cs.ScType) {
    case SCTYPE_SPHERE:
    case SCTYPE_CYLINDER:
      break;
    case SCTYPE_TORUS:
      d = cs.CPMaxJ - 1;
      break;
    default:
      e = cs.CPMaxI;
      break;
  }
  if (e > 0 && d > 0) {
    CopyBlockToScratch(cs, e, d);
    for (int32_t i = 0; i < e; ++i) {
      const int32_t ti = PositiveMod(static_cast<int64_t>(i) + columnShift, e);
      for (int32_t j = 0; j < d; ++j)
        cs.CP[ti][PositiveMod(static_cast<int64_t>(j) + rowShift, d)] = ScratchGrid[i][j];
    }
  }
  ClampAndCount(cs);
}

void MagnetSelectedPoints(TCS& cs) {
  const TDbl3D centre = SelectionCentroid(cs);
  for (int32_t i = 0; i < cs.CPMaxI; ++i)
    for (int32_t j = 0; j < cs.CPMaxJ; ++j)
      if (cs.SP[i][j] && !cs.RP[i][j]) cs.CP[i][j] = centre;
  CountSelectedPoints(cs);
}

void SmoothGrid(TCS& cs, int32_t kernel) {
  const int32_t maxI = cs.CPMaxI;
  const int32_t maxJ = cs.CPMaxJ;
  if (cs.Count > 1 && kernel >= 0 && kernel <= 3) {
    // K[di + 1][dj + 1]: di runs over the columns i - 1, i, i + 1, dj over the rows.
    static constexpr double kFixed[3][3][3] = {
        {{1, 2, 1}, {2, 4, 2}, {1, 2, 1}},
        {{0, 1, 0}, {0, 1, 0}, {0, 1, 0}},
        {{0, 0, 0}, {1, 1, 1}, {0, 0, 0}},
    };
    const double gauss = settings::AppSettings.GaussRadius;
    double K[3][3];
    if (kernel == SMOOTH_GAUSS) {
      const double sigma = gauss >= 1 ? gauss : 1;
      for (int di = -1; di <= 1; ++di)
        for (int dj = -1; dj <= 1; ++dj)
          K[di + 1][dj + 1] = std::exp(-(di * di + dj * dj) / (2 * sigma * sigma)) /
                              (sigma * std::sqrt(2 * std::numbers::pi));
    } else {
      for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) K[a][b] = kFixed[kernel - 1][a][b];
    }
    const bool blend = kernel == SMOOTH_GAUSS && gauss < 1;

    CopyBlockToScratch(cs, maxI, maxJ);
    const int32_t D = maxI - 1;
    const int32_t F = maxJ - 1;
    // The neighbour (ii, jj) through the seams of the stitch type.
    auto locate = [&](int32_t ii, int32_t jj, int32_t& oi, int32_t& oj) {
      switch (cs.ScType) {
        case SCTYPE_SPHERE:
          if (jj < 0) {
            oi = 0, oj = 0;
          } else if (jj > F) {
            oi = D, oj = F;
          } else {
            oi = (D + ii) % D, oj = jj;
          }
          break;
        case SCTYPE_TORUS:
          oi = (D + ii) % D, oj = (jj + F) % F;
          break;
        case SCTYPE_CYLINDER:
          oi = (D + ii) % D, oj = std::clamp(jj, 0, F);
          break;
        default:
          oi = std::clamp(ii, 0, D), oj = std::clamp(jj, 0, F);
          break;
      }
    };
    for (int32_t i = 0; i < maxI; ++i)
      for (int32_t j = 0; j < maxJ; ++j) {
        if (!cs.SP[i][j] || cs.RP[i][j]) continue;
        const TDbl3D* n[3][3];
        bool flagged[3][3];
        for (int di = -1; di <= 1; ++di)
          for (int dj = -1; dj <= 1; ++dj) {
            int32_t oi, oj;
            locate(i + di, j + dj, oi, oj);
            n[di + 1][dj + 1] = &ScratchGrid[oi][oj];
            flagged[di + 1][dj + 1] = cs.SP[oi][oj] && !cs.RP[oi][oj];
          }
        const bool h = flagged[0][1] && flagged[2][1];
        const bool v = flagged[1][0] && flagged[1][2];
        if (!h && !v) continue;
        double sum[3] = {0, 0, 0};
        double weights = 0;
        auto add = [&](int a, int b) {
          const double w = K[a][b];
          for (int k = 0; k < 3; ++k) sum[k] += w * (*n[a][b])[k];
          weights += w;
        };
        if (h && v) {
          for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b) add(a, b);
        } else if (v) {
          for (int b = 0; b < 3; ++b) add(1, b);
        } else {
          for (int a = 0; a < 3; ++a) add(a, 1);
        }
        if (weights == 0) continue;
        const TDbl3D& old = ScratchGrid[i][j];
        TDbl3D& out = cs.CP[i][j];
        for (int k = 0; k < 3; ++k) {
          const double mean = sum[k] / weights;
          out[k] = blend ? gauss * mean + (1 - gauss) * old[k] : mean;
        }
      }
  }
  if (cs.ScType == SCTYPE_SPHERE) {
    // Both poles collapse to the mean of their points, so they stay one point each.
    for (int32_t row : {0, maxJ - 1}) {
      TDbl3D sum{0, 0, 0};
      for (int32_t i = 0; i <= maxI - 2; ++i) IncDbl3D(sum, cs.CP[i][row]);
      const TDbl3D mean{sum[0] / (maxI - 1), sum[1] / (maxI - 1), sum[2] / (maxI - 1)};
      for (int32_t i = 0; i <= maxI - 2; ++i) cs.CP[i][row] = mean;
    }
  }
}

void EqualizePolyline(TPolyline3D& line) {
  const int32_t n = line.Count;
  if (n <= 2 || n > kGridMax) return;
  TDbl3D copy[kGridMax];
  double len[kGridMax];
  std::copy(line.P, line.P + n, copy);
  len[0] = 0;
  for (int32_t k = 1; k < n; ++k) len[k] = len[k - 1] + Dbl3DLength(SubDbl3D(copy[k], copy[k - 1]));
  const double total = len[n - 1];
  // Coincident points (or coordinates that are not finite) give no length to share out.
  if (!(total > 0) || !std::isfinite(total)) return;
  // The targets grow with m, so the segment search resumes where the previous point stopped.
  int32_t e = 1;
  for (int32_t m = 1; m <= n - 2; ++m) {
    const double t = total / (n - 1) * m;
    while (e < n - 1 && len[e] < t) ++e;
    const double f = (t - len[e - 1]) / (len[e] - len[e - 1]);
    for (int k = 0; k < 3; ++k) line.P[m][k] = (1 - f) * copy[e - 1][k] + f * copy[e][k];
  }
}

}  // namespace shape
