// The window-free grid routines of the shape editors (ShapeEditorGrid.h).
#include "editor/editors/ShapeEditorGrid.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "common/Round.h"
#include "shape/model/uScSelect.h"

namespace editor {

using shape::TCS;
using shape::TDbl3D;

int32_t SymmetryMode = 0;

int32_t CapRowsOf(const TCS& Shape) { return std::clamp((Shape.CPMaxJ - 1) / 2 - 2, 1, 8); }

int32_t UpperRimRowOf(const TCS& Shape) { return Shape.CPMaxJ - 1 - CapRowsOf(Shape); }

double LerpSteps(double a, double b, int32_t k, int32_t n) {
  if (n == 0) return a;
  return ((n - k) * a + k * b) / n;
}

int32_t SymmetryPartners(int32_t mode, int32_t i, int32_t columns, bool bendTwin,
                         TSymmetryPartner (&out)[3]) {
  const int32_t n = columns - 1;
  if (n <= 0) return 0;
  const int32_t h = n / 2, q = n / 4;
  auto wrap = [n](int32_t c) { return ((c % n) + n) % n; };
  constexpr int32_t mirrorU[4] = {-1, 0, 0, 1};  // (-u, v)
  constexpr int32_t mirrorV[4] = {1, 0, 0, -1};  // (u, -v)
  constexpr int32_t half[4] = {-1, 0, 0, -1};    // (-u, -v)
  auto set = [&](int k, int32_t column, const int32_t(&m)[4]) {
    out[k] = {wrap(column), m[0], m[1], m[2], m[3]};
  };
  switch (mode) {
    case 1:
      set(0, bendTwin ? n - i + h : n - i, mirrorU);
      return 1;
    case 2:
      set(0, h + i, half);
      return 1;
    case 3:
      set(0, h + i, half);
      if (bendTwin) {
        set(1, n - i, mirrorV);
        set(2, n + h - i, mirrorU);
      } else {
        set(1, n + h - i, mirrorV);
        set(2, n - i, mirrorU);
      }
      return 3;
    case 4: {
      constexpr int32_t quarter[4] = {0, 1, -1, 0};       // (v, -u)
      constexpr int32_t threeQuarter[4] = {0, -1, 1, 0};  // (-v, u)
      const int32_t c1 = wrap(i + q), c2 = wrap(c1 + q), c3 = wrap(c2 + q);
      set(0, c1, quarter);
      set(1, c2, half);
      set(2, c3, threeQuarter);
      return 3;
    }
    default:
      return 0;
  }
}

TSimilarity MakeSimilarity(const TDbl3D& c, const TDbl3D& a, const TDbl3D& b) {
  const double delta = std::atan2(b[1] - c[1], b[0] - c[0]) - std::atan2(a[1] - c[1], a[0] - c[0]);
  const double la = std::hypot(a[0] - c[0], a[1] - c[1]);
  const double k = la > 0 ? std::hypot(b[0] - c[0], b[1] - c[1]) / la : 1.0;
  return {c[0], c[1], k, std::cos(delta), std::sin(delta)};
}

void FollowSimilarity(const TDbl3D& c, const TDbl3D& a, const TDbl3D& b, const TDbl3D& s, TDbl3D& r) {
  ApplySimilarity(MakeSimilarity(c, a, b), s, r);
}

void SweepProfile(TCS& Shape, int32_t profile, const shape::TLineMarks& marks) {
  const double step = 2 * std::numbers::pi / (Shape.CPMaxI - 1);
  // The rows to carry, with the profile point's committed and current radius and its z; then
  // each marked column is walked down those rows, along its points as they lie in memory.
  struct TSweptRow {
    int32_t Row;
    double Committed, Current, Z;
  };
  TSweptRow rows[shape::kGridMax];
  int32_t count = 0;
  bool onAxis = false;
  for (int32_t j = 0; j < Shape.CPMaxJ; ++j) {
    if (Shape.RP[profile][j] || !shape::PointMovedSinceCommit(Shape, profile, j)) continue;
    const TDbl3D& committed = Shape.DP[profile][j];
    const TDbl3D& current = Shape.CP[profile][j];
    rows[count] = {j, std::hypot(committed[0], committed[1]), std::hypot(current[0], current[1]), current[2]};
    onAxis = onAxis || !(rows[count].Committed > 0);
    ++count;
  }
  if (count == 0) return;
  for (int32_t c = 0; c < Shape.CPMaxI; ++c) {
    if (c == profile || marks[c] != 1) continue;
    const double cosine = onAxis ? std::cos(c * step) : 0, sine = onAxis ? std::sin(c * step) : 0;
    for (int32_t k = 0; k < count; ++k) {
      const TSweptRow& row = rows[k];
      const int32_t j = row.Row;
      if (Shape.RP[c][j]) continue;
      TDbl3D& p = Shape.CP[c][j];
      const double g = row.Committed, t = row.Current;
      if (g > 0) {
        p[0] = Shape.DP[c][j][0] / g * t;
        p[1] = Shape.DP[c][j][1] / g * t;
      } else {
        p[0] = cosine * t;
        p[1] = sine * t;
      }
      p[2] = row.Z;
    }
  }
}

void FillUnmarkedColumns(TCS& Shape, const shape::TLineMarks& marks) {
  const int32_t n = Shape.CPMaxI - 1;
  if (n < 1) return;
  int32_t marked = 0;
  for (int32_t i = 0; i < n; ++i)
    if (marks[i] != 0) ++marked;
  if (marked < 2) return;
  for (int32_t i = 0; i < n; ++i) {
    if (marks[i] != 0) continue;
    int32_t a = 1, b = 1;
    while (marks[((i - a) % n + n) % n] == 0) ++a;
    while (marks[(i + b) % n] == 0) ++b;
    const int32_t p = ((i - a) % n + n) % n, q = (i + b) % n;
    for (int32_t r = 0; r < Shape.CPMaxJ; ++r) {
      if (Shape.RP[i][r]) continue;
      const TDbl3D& pp = Shape.CP[p][r];
      const TDbl3D& pq = Shape.CP[q][r];
      const double rp = std::hypot(pp[0], pp[1]), rq = std::hypot(pq[0], pq[1]);
      const double ap = std::atan2(pp[1], pp[0]);
      double aq = std::atan2(pq[1], pq[0]);
      if (ap > aq) aq += 2 * std::numbers::pi;
      const double alpha = (b * ap + a * aq) / (a + b);
      const double rho = (b * rp + a * rq) / (a + b);
      Shape.CP[i][r] = {{rho * std::cos(alpha), rho * std::sin(alpha), (b * pp[2] + a * pq[2]) / (a + b)}};
    }
  }
}

namespace {

struct TCapLevel {
  double X = 0;
  double Y = 0;
  bool Set = false;
};

double Cross(const TCapLevel& o, const TCapLevel& a, const TCapLevel& b) {
  return (a.X - o.X) * (b.Y - o.Y) - (a.Y - o.Y) * (b.X - o.X);
}

// Each segment's end points lie strictly on opposite sides of the other's line.
bool SegmentsCross(const TCapLevel& a1, const TCapLevel& a2, const TCapLevel& b1, const TCapLevel& b2) {
  return Cross(a1, a2, b1) * Cross(a1, a2, b2) < 0 && Cross(b1, b2, a1) * Cross(b1, b2, a2) < 0;
}

}  // namespace

void OptimizeUpperCap(TCS& Shape) {
  const int32_t n = Shape.CPMaxI - 1;
  if (n < 1) return;
  const int32_t caps = CapRowsOf(Shape);
  const int32_t top = Shape.CPMaxJ - 1;
  // Level k stands for row top - k: level 0 the pole row, level `caps` the rim row.
  std::vector<std::array<TCapLevel, 9>> level(static_cast<size_t>(n) + 1);
  for (int32_t i = 0; i < n; ++i) {
    level[i][0] = {Shape.CP[i][top][0], Shape.CP[i][top][1], true};
    level[i][caps] = {Shape.CP[i][top - caps][0], Shape.CP[i][top - caps][1], true};
  }
  const TCapLevel pole = level[0][0];
  for (int32_t a = caps; a >= 1; --a) {
    for (int32_t i = 0; i < n; ++i) {
      TCapLevel& here = level[i][a];
      if (!here.Set) {
        // The midpoint of its ring neighbours, each at this level when set there, else one out.
        const int32_t prev = (i - 1 + n) % n, next = (i + 1) % n;
        const TCapLevel& l = level[prev][a].Set ? level[prev][a] : level[prev][a + 1];
        const TCapLevel& r = level[next][a].Set ? level[next][a] : level[next][a + 1];
        here = {(l.X + r.X) / 2, (l.Y + r.Y) / 2, true};
      }
      if (level[i][a - 1].Set) continue;
      bool crosses = false;
      for (int32_t e = 0; e < n && !crosses; ++e)
        crosses = SegmentsCross(pole, here, level[e][a], level[(e + 1) % n][a]);
      if (crosses) continue;
      // A straight spoke from the pole to this point.
      for (int32_t l = 1; l < a; ++l) {
        const double f = static_cast<double>(l) / a;
        level[i][l] = {f * here.X + (1 - f) * pole.X, f * here.Y + (1 - f) * pole.Y, true};
      }
    }
    level[n][a] = level[0][a];
  }
  for (int32_t k = 0; k <= caps; ++k) {
    const int32_t row = top - k;
    for (int32_t i = 0; i < n; ++i)
      if (!Shape.RP[i][row]) {
        Shape.CP[i][row][0] = level[i][k].X;
        Shape.CP[i][row][1] = level[i][k].Y;
      }
    Shape.CP[n][row][0] = level[0][k].X;
    Shape.CP[n][row][1] = level[0][k].Y;
  }
}

void ChamferWalk(int32_t ringPoints, std::vector<TChamferStep>& steps) {
  steps.clear();
  if (ringPoints < 1) return;
  const int32_t l = std::min(8, common::RoundInt(std::log2(static_cast<float>(ringPoints))));
  if (l < 4) return;
  // Points per segment: the sides t0, the long edges t1, the corner cuts t2.
  const int32_t t0 = (1 << (l - 3)) - 1, t1 = 2 * t0, t2 = 2;
  const double o = ChamferPercent / 100.0;
  const TChamferStep corners[10] = {{1, 0},     {1, 1 - o},  {1 - o / 2, 1},  {o / 2, 1}, {0, 1 - o},
                                    {0, o - 1}, {o / 2, -1}, {1 - o / 2, -1}, {1, o - 1}, {1, 0}};
  const int32_t counts[9] = {t0, t2, t1, t2, t1, t2, t1, t2, t0};
  for (int s = 0; s < 9; ++s) {
    const int32_t n = counts[s];
    for (int32_t k = 0; k < n; ++k)
      steps.push_back({((n - k) * corners[s].S + k * corners[s + 1].S) / n,
                       ((n - k) * corners[s].Depth + k * corners[s + 1].Depth) / n});
  }
}

}  // namespace editor
