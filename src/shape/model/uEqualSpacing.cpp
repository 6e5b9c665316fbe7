#include "shape/model/uEqualSpacing.h"

#include <cmath>
#include <initializer_list>
#include <numbers>

#include "shape/model/uScSelect.h"
#include "shape/model/uScTransform.h"

namespace shape {

namespace {

using LD = long double;
constexpr LD kTwoPi = 2 * std::numbers::pi_v<long double>;

bool SizeValid(const TCS& cs) {
  return cs.CPMaxI >= 2 && cs.CPMaxI <= kGridMax && cs.CPMaxJ >= 2 && cs.CPMaxJ <= kGridMax;
}

// The block's ranges walked step by step: columns cyclic unless on a plane, rows cyclic on a
// torus only.
struct BlockWalk {
  int32_t S, E, A, Z;
  int32_t I, J;
  bool cyclicColumns, cyclicRows;

  // Column steps from S to E; row steps from A to Z (negative when a straight range is empty).
  int32_t ColumnSteps() const { return cyclicColumns ? CyclicSteps(S, E, I) : E - S; }
  int32_t RowSteps() const { return cyclicRows ? CyclicSteps(A, Z, J) : Z - A; }
  int32_t Column(int32_t u) const { return cyclicColumns ? (S + u) % (I - 1) : S + u; }
  int32_t Row(int32_t v) const { return cyclicRows ? (A + v) % (J - 1) : A + v; }
};

BlockWalk Walk(const TCS& cs, int32_t S, int32_t E, int32_t A, int32_t Z) {
  BlockWalk w{S, E, A, Z, cs.CPMaxI, cs.CPMaxJ, cs.ScType != SCTYPE_PLANE, cs.ScType == SCTYPE_TORUS};
  return w;
}

bool BlockInGrid(const TCS& cs, int32_t S, int32_t E, int32_t A, int32_t Z) {
  return S >= 0 && S < cs.CPMaxI && E >= 0 && E < cs.CPMaxI && A >= 0 && A < cs.CPMaxJ && Z >= 0 &&
         Z < cs.CPMaxJ;
}

// (u * b + (n - u) * a) / n, per axis.
TDbl3D Between(const TDbl3D& a, const TDbl3D& b, int32_t u, int32_t n) {
  TDbl3D r;
  for (int k = 0; k < 3; ++k)
    r[k] = static_cast<double>((static_cast<LD>(u) * b[k] + static_cast<LD>(n - u) * a[k]) / n);
  return r;
}

// The mean of `count` points and their mean distance from it.
template <typename Get>
void CentreAndRadius(int32_t count, Get get, LD c[3], LD& radius) {
  c[0] = c[1] = c[2] = 0;
  for (int32_t k = 0; k < count; ++k) {
    const TDbl3D& p = get(k);
    for (int a = 0; a < 3; ++a) c[a] += p[a];
  }
  for (int a = 0; a < 3; ++a) c[a] /= count;
  radius = 0;
  for (int32_t k = 0; k < count; ++k) {
    const TDbl3D& p = get(k);
    const LD dx = p[0] - c[0], dy = p[1] - c[1], dz = p[2] - c[2];
    radius += std::sqrt(dx * dx + dy * dy + dz * dz);
  }
  radius /= count;
}

// Sphere and cylinder: the runs along rows r0..r1 must start in one column and end in one
// column, and the rows that end a run must follow each other.
bool ScanRowRuns(const TCS& cs, int32_t r0, int32_t r1, int32_t& S, int32_t& E, int32_t& A, int32_t& Z) {
  const int32_t I = cs.CPMaxI;
  int32_t lastEndRow = -1;
  for (int32_t r = r0; r <= r1; ++r) {
    bool hasEnd = false;
    for (int32_t c = 0; c <= I - 2; ++c) {
      const bool a = cs.SP[c][r], b = cs.SP[c + 1][r];
      if (!a && b) {
        if (S == -1)
          S = c + 1;
        else if (S != c + 1)
          return false;
        if (A == -1) A = r;
      } else if (a && !b) {
        if (E == -1)
          E = c;
        else if (E != c)
          return false;
        hasEnd = true;
      }
    }
    if (hasEnd) {
      if (lastEndRow != -1 && r != lastEndRow + 1) return false;
      lastEndRow = r;
    }
  }
  Z = lastEndRow;
  if (S == I - 1) S = 0;
  return E != -1;
}

bool ScanTorus(const TCS& cs, int32_t& S, int32_t& E, int32_t& A, int32_t& Z) {
  const int32_t I = cs.CPMaxI, J = cs.CPMaxJ;
  for (int32_t r = 0; r <= J - 2; ++r)
    for (int32_t c = 0; c <= I - 2; ++c) {
      const bool a = cs.SP[c][r], b = cs.SP[c + 1][r];
      if (!a && b) {
        if (S == -1)
          S = c + 1;
        else if (S != c + 1)
          return false;
      } else if (a && !b) {
        if (E == -1)
          E = c;
        else if (E != c)
          return false;
      }
    }
  for (int32_t c = 0; c <= I - 2; ++c)
    for (int32_t r = 0; r <= J - 2; ++r) {
      const bool a = cs.SP[c][r], b = cs.SP[c][r + 1];
      if (!a && b) {
        if (A == -1)
          A = r + 1;
        else if (A != r + 1)
          return false;
      } else if (a && !b) {
        if (Z == -1)
          Z = r;
        else if (Z != r)
          return false;
      }
    }
  if (S == I - 1) S = 0;
  if (A == J - 1) A = 0;
  return E != -1;
}

bool ScanPlane(const TCS& cs, int32_t& S, int32_t& E, int32_t& A, int32_t& Z) {
  for (int32_t i = 0; i < cs.CPMaxI; ++i)
    for (int32_t j = 0; j < cs.CPMaxJ; ++j)
      if (cs.SP[i][j]) {
        if (S == -1 || i < S) S = i;
        if (E == -1 || i > E) E = i;
        if (A == -1 || j < A) A = j;
        if (Z == -1 || j > Z) Z = j;
      }
  if (S == -1) return false;
  for (int32_t i = S; i <= E; ++i)
    for (int32_t j = A; j <= Z; ++j)
      if (!cs.SP[i][j]) return false;
  return true;
}

}  // namespace

int32_t CyclicSteps(int32_t a, int32_t b, int32_t n) {
  const int32_t m = n - 1;
  if (m <= 0) return 0;
  return ((b - a) % m + m) % m;
}

bool WholeRowsSelected(const TCS& cs) {
  if (!SizeValid(cs)) return false;
  bool any = false;
  for (int32_t j = 0; j < cs.CPMaxJ; ++j) {
    int32_t n = 0;
    for (int32_t i = 0; i <= cs.CPMaxI - 2; ++i) n += cs.SP[i][j] ? 1 : 0;
    if (n != 0 && n != cs.CPMaxI - 1) return false;
    any = any || n != 0;
  }
  return any;
}

bool WholeColumnsSelected(const TCS& cs) {
  if (!SizeValid(cs)) return false;
  bool any = false;
  for (int32_t i = 0; i < cs.CPMaxI; ++i) {
    int32_t n = 0;
    for (int32_t j = 0; j <= cs.CPMaxJ - 2; ++j) n += cs.SP[i][j] ? 1 : 0;
    if (n != 0 && n != cs.CPMaxJ - 1) return false;
    any = any || n != 0;
  }
  return any;
}

int32_t SelectionKind(const TCS& cs) {
  if (cs.ScType != SCTYPE_SPHERE && cs.ScType != SCTYPE_TORUS && cs.ScType != SCTYPE_CYLINDER) return 0;
  if (WholeRowsSelected(cs)) return 1;
  if (cs.ScType == SCTYPE_TORUS && WholeColumnsSelected(cs)) return 2;
  return 0;
}

bool SelectionBlock(const TCS& cs, int32_t& startColumn, int32_t& endColumn, int32_t& firstRow,
                    int32_t& lastRow) {
  startColumn = endColumn = firstRow = lastRow = -1;
  if (!SizeValid(cs)) return false;
  bool found = false;
  switch (cs.ScType) {
    case SCTYPE_PLANE:
      found = ScanPlane(cs, startColumn, endColumn, firstRow, lastRow);
      break;
    case SCTYPE_SPHERE:
      if (cs.SP[0][0] || cs.SP[cs.CPMaxI - 1][cs.CPMaxJ - 1]) return false;
      found = ScanRowRuns(cs, 1, cs.CPMaxJ - 2, startColumn, endColumn, firstRow, lastRow);
      break;
    case SCTYPE_CYLINDER:
      found = ScanRowRuns(cs, 0, cs.CPMaxJ - 1, startColumn, endColumn, firstRow, lastRow);
      break;
    case SCTYPE_TORUS:
      found = ScanTorus(cs, startColumn, endColumn, firstRow, lastRow);
      break;
    default:
      break;
  }
  // A bound left at -1 (a torus band of whole loops has no first or last row, a row run cut
  // off by an unjoined seam has no start) is no block the commands could walk.
  return found && BlockInGrid(cs, startColumn, endColumn, firstRow, lastRow);
}

void EqualIntervalsRows(TCS& cs) {
  if (!SizeValid(cs)) return;
  const int32_t I = cs.CPMaxI, J = cs.CPMaxJ, n = I - 1;
  for (int32_t j = 0; j < J; ++j) {
    bool all = true;
    for (int32_t i = 0; i < n && all; ++i) all = cs.SP[i][j];
    if (!all) continue;
    LD c[3], r;
    CentreAndRadius(
        n, [&](int32_t k) -> const TDbl3D& { return cs.CP[k][j]; }, c, r);
    for (int32_t i = 0; i < n; ++i) {
      const LD a = kTwoPi * i / n;
      cs.CP[i][j] = TDbl3D{{static_cast<double>(c[0] + r * std::cos(a)),
                            static_cast<double>(c[1] + r * std::sin(a)), static_cast<double>(c[2])}};
    }
    cs.CP[I - 1][j] = cs.CP[0][j];
  }
}

void EqualIntervalsColumns(TCS& cs) {
  if (!SizeValid(cs)) return;
  const int32_t I = cs.CPMaxI, J = cs.CPMaxJ, n = J - 1;
  for (int32_t i = 0; i < I; ++i) {
    bool all = true;
    for (int32_t j = 0; j < n && all; ++j) all = cs.SP[i][j];
    if (!all) continue;
    LD c[3], r;
    CentreAndRadius(
        n, [&](int32_t k) -> const TDbl3D& { return cs.CP[i][k]; }, c, r);
    LD phi;
    if (c[0] == 0)
      phi = c[1] >= 0 ? std::numbers::pi_v<long double> / 2 : -std::numbers::pi_v<long double> / 2;
    else
      phi = std::atan2(c[1], c[0]);
    const LD R = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
    for (int32_t k = 0; k < n; ++k) {
      const LD v = kTwoPi * k / n + std::numbers::pi_v<long double>;
      const LD w = R + r * std::cos(v);
      cs.CP[i][k] = TDbl3D{{static_cast<double>(w * std::cos(phi)), static_cast<double>(w * std::sin(phi)),
                            static_cast<double>(c[2] + r * std::sin(v))}};
    }
    cs.CP[i][J - 1] = cs.CP[i][0];
  }
}

void EqualIntervalsBlock(TCS& cs, int32_t S, int32_t E, int32_t A, int32_t Z) {
  if (!SizeValid(cs) || !BlockInGrid(cs, S, E, A, Z)) return;
  CommitShapePoints(cs);
  const BlockWalk w = Walk(cs, S, E, A, Z);
  const int32_t n = w.RowSteps(), m = w.ColumnSteps();
  // The two boundary columns run straight from row A to row Z.
  if (n > 1)
    for (int32_t col : {S, E})
      for (int32_t u = 1; u < n; ++u) cs.CP[col][w.Row(u)] = Between(cs.CP[col][A], cs.CP[col][Z], u, n);
  // Every column between them runs straight across from column S to column E.
  if (m > 1)
    for (int32_t u = 1; u < m; ++u) {
      const int32_t col = w.Column(u);
      for (int32_t v = 0; v <= n; ++v) {
        const int32_t row = w.Row(v);
        cs.CP[col][row] = Between(cs.CP[S][row], cs.CP[E][row], u, m);
      }
    }
  // Locked points keep their committed place.
  for (int32_t u = 0; u <= m; ++u)
    for (int32_t v = 0; v <= n; ++v) {
      const int32_t col = w.Column(u), row = w.Row(v);
      if (cs.RP[col][row]) cs.CP[col][row] = cs.DP[col][row];
    }
  switch (cs.ScType) {
    case SCTYPE_SPHERE:
    case SCTYPE_CYLINDER:
      for (int32_t row = A; row <= Z; ++row) cs.CP[cs.CPMaxI - 1][row] = cs.CP[0][row];
      break;
    case SCTYPE_TORUS:
      for (int32_t row = 0; row < cs.CPMaxJ; ++row) cs.CP[cs.CPMaxI - 1][row] = cs.CP[0][row];
      for (int32_t col = 0; col < cs.CPMaxI; ++col) cs.CP[col][cs.CPMaxJ - 1] = cs.CP[col][0];
      break;
    default:
      break;
  }
  for (int32_t col : {S, E})
    for (int32_t row : {A, Z}) cs.CP[col][row] = cs.DP[col][row];
}

void GridEqualIntervals(TCS& cs) {
  switch (SelectionKind(cs)) {
    case 1:
      EqualIntervalsRows(cs);
      return;
    case 2:
      EqualIntervalsColumns(cs);
      return;
    default: {
      int32_t S, E, A, Z;
      if (SelectionBlock(cs, S, E, A, Z)) EqualIntervalsBlock(cs, S, E, A, Z);
    }
  }
}

bool GridCanEqualIntervals(const TCS& cs) {
  if (SelectionKind(cs) != 0) return true;
  int32_t S, E, A, Z;
  return SelectionBlock(cs, S, E, A, Z);
}

bool GridEqualDistance(TCS& cs) {
  int32_t S, E, A, Z;
  if (!SelectionBlock(cs, S, E, A, Z)) return false;
  const int32_t I = cs.CPMaxI, J = cs.CPMaxJ;
  for (int32_t i = 0; i < I; ++i)
    for (int32_t j = 0; j < J; ++j) ScratchGrid[i][j] = cs.CP[i][j];
  const BlockWalk w = Walk(cs, S, E, A, Z);
  const int32_t n = w.RowSteps(), m = w.ColumnSteps();
  TPolyline3D line;
  // Column pass: each column of the block spaced evenly along itself.
  if (n > 1)
    for (int32_t u = 0; u <= m; ++u) {
      const int32_t col = w.Column(u);
      line.Count = n + 1;
      for (int32_t v = 0; v <= n; ++v) line.P[v] = cs.CP[col][w.Row(v)];
      EqualizePolyline(line);
      for (int32_t v = 1; v < n; ++v) ScratchGrid[col][w.Row(v)] = line.P[v];
    }
  // Row pass: the block's first and last rows take it alone, the inside the mean of both passes.
  if (m > 1)
    for (int32_t v = 0; v <= n; ++v) {
      const int32_t row = w.Row(v);
      line.Count = m + 1;
      for (int32_t u = 0; u <= m; ++u) line.P[u] = cs.CP[w.Column(u)][row];
      EqualizePolyline(line);
      const bool edge = v == 0 || v == n;
      for (int32_t u = 1; u < m; ++u) {
        TDbl3D& s = ScratchGrid[w.Column(u)][row];
        if (edge) {
          s = line.P[u];
        } else {
          for (int k = 0; k < 3; ++k) s[k] = static_cast<double>((static_cast<LD>(s[k]) + line.P[u][k]) / 2);
        }
      }
    }
  if (cs.ScType == SCTYPE_SPHERE || cs.ScType == SCTYPE_CYLINDER)
    for (int32_t row = A + 1; row <= Z - 1; ++row) cs.CP[I - 1][row] = cs.CP[0][row];
  for (int32_t i = 0; i < I; ++i)
    for (int32_t j = 0; j < J; ++j)
      if (cs.SP[i][j] && !cs.RP[i][j]) cs.CP[i][j] = ScratchGrid[i][j];
  return true;
}

bool GridCanEqualDistance(const TCS& cs) {
  int32_t S, E, A, Z;
  return SelectionBlock(cs, S, E, A, Z);
}

}  // namespace shape
