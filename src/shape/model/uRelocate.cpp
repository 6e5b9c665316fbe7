#include "shape/model/uRelocate.h"

#include <initializer_list>

#include "settings/AppSettings.h"
#include "shape/model/LineMarks.h"
#include "shape/model/uScSelect.h"
#include "shape/model/uScTransform.h"

namespace shape {

namespace {

using LD = long double;

enum TRearrange : int {
  REARRANGE_NONE = 0,
  REARRANGE_LINEAR = 1,
  REARRANGE_PARENT = 2,
  REARRANGE_SUBDIVISION = 3
};

// The subdivision's work block holds offsets up to 3: steps beyond 4 lines have no room there.
constexpr int32_t kMaxSubdivLevel = 4;

bool SizeValid(const TCS& cs) {
  return cs.CPMaxI >= 2 && cs.CPMaxI <= kGridMax && cs.CPMaxJ >= 2 && cs.CPMaxJ <= kGridMax;
}

int32_t EditLevel() { return settings::AppSettings.EditLevel; }

// ((L - k) a + k b) / L, per axis.
TDbl3D Lerp(const TDbl3D& a, const TDbl3D& b, int32_t k, int32_t L) {
  TDbl3D r;
  for (int c = 0; c < 3; ++c)
    r[c] = static_cast<double>((static_cast<LD>(L - k) * a[c] + static_cast<LD>(k) * b[c]) / L);
  return r;
}

TDbl3D Mean2(const TDbl3D& a, const TDbl3D& b) {
  TDbl3D r;
  for (int c = 0; c < 3; ++c) r[c] = static_cast<double>((static_cast<LD>(a[c]) + b[c]) / 2);
  return r;
}

// Calls fn(f, e, g, h) for every level cell (columns f..e, rows g..h) one of whose corners moved
// since the commit; rows of cells from the bottom, each from the left.
template <typename Fn>
void ForEachMovedCell(const TCS& cs, int32_t L, Fn fn) {
  const int32_t across = (cs.CPMaxI - 1) / L, up = (cs.CPMaxJ - 1) / L;
  for (int32_t r = 0; r < up; ++r)
    for (int32_t c = 0; c < across; ++c) {
      const int32_t f = c * L, e = f + L, g = r * L, h = g + L;
      if (PointMovedSinceCommit(cs, f, g) || PointMovedSinceCommit(cs, e, g) ||
          PointMovedSinceCommit(cs, f, h) || PointMovedSinceCommit(cs, e, h))
        fn(f, e, g, h);
    }
}

void RelocateWhole(TCS& cs, bool linear) {
  const int32_t L = EditLevel();
  if (L < 2 || !SizeValid(cs)) return;
  ForEachMovedCell(cs, L, [&](int32_t f, int32_t e, int32_t g, int32_t h) {
    for (int32_t col : {f, e})
      for (int32_t m = 1; m < L; ++m)
        if (!cs.RP[col][g + m])
          cs.CP[col][g + m] = linear ? Lerp(cs.CP[col][g], cs.CP[col][h], m, L) : cs.CP[col][g];
    for (int32_t row = g; row <= h; ++row)
      for (int32_t i = 1; i < L; ++i)
        if (!cs.RP[f + i][row])
          cs.CP[f + i][row] = linear ? Lerp(cs.CP[f][row], cs.CP[e][row], i, L) : cs.CP[f][row];
  });
}

// The marks variants in terms of lines x (the marked direction: columns for ColumnMarks, rows
// for RowMarks) and the cross direction y.
void RelocateMarked(TCS& cs, bool linear, bool rows) {
  const int32_t L = EditLevel();
  if (L < 2 || !SizeValid(cs)) return;
  const TLineMarks& marks = rows ? RowMarks : ColumnMarks;
  auto P = [&](int32_t x, int32_t y) -> TDbl3D& { return rows ? cs.CP[y][x] : cs.CP[x][y]; };
  auto locked = [&](int32_t x, int32_t y) { return rows ? cs.RP[y][x] : cs.RP[x][y]; };
  auto moved = [&](int32_t x, int32_t y) {
    return rows ? PointMovedSinceCommit(cs, y, x) : PointMovedSinceCommit(cs, x, y);
  };
  auto put = [&](int32_t x, int32_t y, const TDbl3D& v) {
    if (!locked(x, y)) P(x, y) = v;
  };
  ForEachMovedCell(cs, L, [&](int32_t c0, int32_t c1, int32_t r0, int32_t r1) {
    const int32_t f = rows ? r0 : c0, e = rows ? r1 : c1;  // along x
    const int32_t g = rows ? c0 : r0, h = rows ? c1 : r1;  // along y
    // The two bounding lines themselves, when not marked.
    for (int32_t x : {f, e}) {
      if (marks[x] != 0 || !(moved(x, g) || moved(x, h))) continue;
      for (int32_t y = g + 1; y < h; ++y) put(x, y, linear ? Lerp(P(x, g), P(x, h), y - g, L) : P(x, g));
    }
    // The two cross edges, across the unmarked lines.
    for (int32_t y : {g, h}) {
      if (!(moved(f, y) || moved(e, y))) continue;
      for (int32_t x = f + 1; x < e; ++x)
        if (marks[x] == 0) put(x, y, linear ? Lerp(P(f, y), P(e, y), x - f, L) : P(f, y));
    }
    // The inside of every unmarked line.
    for (int32_t i = 0; i <= L; ++i) {
      const int32_t x = f + i;
      if (marks[x] != 0) continue;
      for (int32_t y = g + 1; y < h; ++y) {
        if (linear)
          put(x, y, Mean2(Lerp(P(f, y), P(e, y), i, L), Lerp(P(x, g), P(x, h), y - g, L)));
        else
          put(x, y, P(f, y));
      }
    }
  });
}

// The 3 x 3 level points round the level point (c, r), L lines apart, from ScratchGrid.
void GatherLevel(const TCS& cs, int32_t c, int32_t r, int32_t L, TDbl3DBlock3& level) {
  for (int32_t a = 0; a < 3; ++a)
    for (int32_t b = 0; b < 3; ++b) ScratchPointWrapped(cs, c + (a - 1) * L, r + (b - 1) * L, level[a][b]);
}

void Refine(const TDbl3DBlock3& level, int32_t L, TSubdivBlock& work) {
  if (L == 2)
    SubdivideBlock2(level, work);
  else
    SubdivideBlock4(level, work);
}

void Dispatch(TCS& cs, void (*linear)(TCS&), void (*parent)(TCS&)) {
  if (EditLevel() <= 1) return;
  switch (settings::AppSettings.RearrangeType) {
    case REARRANGE_LINEAR:
      linear(cs);
      break;
    case REARRANGE_PARENT:
      parent(cs);
      break;
    case REARRANGE_SUBDIVISION:
      RelocateBySubdivision(cs);
      break;
    default:
      break;
  }
}

void RelocateRow(TCS& cs, int32_t row, bool linear) {
  const int32_t L = EditLevel();
  if (L < 2 || !SizeValid(cs) || row < 0 || row >= cs.CPMaxJ) return;
  const int32_t cells = (cs.CPMaxI - 1) / L;
  for (int32_t k = 0; k < cells; ++k) {
    const int32_t a = k * L, b = a + L;
    if (!PointMovedSinceCommit(cs, a, row) && !PointMovedSinceCommit(cs, b, row)) continue;
    for (int32_t i = 1; i < L; ++i)
      if (!cs.RP[a + i][row])
        cs.CP[a + i][row] = linear ? Lerp(cs.CP[a][row], cs.CP[b][row], i, L) : cs.CP[a][row];
  }
}

int32_t PositiveMod(int32_t v, int32_t m) { return ((v % m) + m) % m; }

}  // namespace

void RelocateToLod(TCS& cs) { Dispatch(cs, RelocateLinear, RelocateByParent); }
void RelocateToLodColumnMarks(TCS& cs) {
  Dispatch(cs, RelocateLinearColumnMarks, RelocateByParentColumnMarks);
}
void RelocateToLodRowMarks(TCS& cs) { Dispatch(cs, RelocateLinearRowMarks, RelocateByParentRowMarks); }

void RelocateLinear(TCS& cs) { RelocateWhole(cs, true); }
void RelocateByParent(TCS& cs) { RelocateWhole(cs, false); }
void RelocateLinearColumnMarks(TCS& cs) { RelocateMarked(cs, true, false); }
void RelocateByParentColumnMarks(TCS& cs) { RelocateMarked(cs, false, false); }
void RelocateLinearRowMarks(TCS& cs) { RelocateMarked(cs, true, true); }
void RelocateByParentRowMarks(TCS& cs) { RelocateMarked(cs, false, true); }

void RelocateBySubdivision(TCS& cs) {
  const int32_t L = EditLevel();
  if (L < 2 || L > kMaxSubdivLevel || !SizeValid(cs)) return;
  CopyToScratchGrid(cs);
  TDbl3DBlock3 level;
  TSubdivBlock work;
  for (int32_t c = 0; c <= (cs.CPMaxI - 1) / L; ++c)
    for (int32_t r = 0; r <= (cs.CPMaxJ - 1) / L; ++r) {
      const int32_t lc = c * L, lr = r * L;
      if (!cs.SP[lc][lr]) continue;
      GatherLevel(cs, lc, lr, L, level);
      Refine(level, L, work);
      for (int32_t a = -(L - 1); a <= L - 1; ++a)
        for (int32_t b = -(L - 1); b <= L - 1; ++b) {
          int32_t col = lc + a, row = lr + b;
          WrapGridIndex(cs, col, row);
          if (col >= 0 && row >= 0 && !cs.RP[col][row]) cs.CP[col][row] = work[a + 3][b + 3];
        }
    }
}

void RelocateRowLinear(TCS& cs, int32_t row) { RelocateRow(cs, row, true); }
void RelocateRowByParent(TCS& cs, int32_t row) { RelocateRow(cs, row, false); }

void RelocateRowBySubdivision(TCS& cs, int32_t L, int32_t row) {
  if (L < 2 || L > kMaxSubdivLevel || !SizeValid(cs) || row < 0 || row >= cs.CPMaxJ) return;
  CopyToScratchGrid(cs);
  const int32_t lr = (row / L) * L;
  TDbl3DBlock3 level;
  TSubdivBlock work;
  for (int32_t k = 0; k < (cs.CPMaxI - 1) / L; ++k) {
    const int32_t lc = k * L;
    if (!PointMovedSinceCommit(cs, lc, lr)) continue;
    GatherLevel(cs, lc, lr, L, level);
    Refine(level, L, work);
    for (int32_t a = -(L - 1); a <= L - 1; ++a) {
      int32_t col = lc + a, r = row;
      WrapGridIndex(cs, col, r);
      if (col >= 0 && r >= 0 && !cs.RP[col][r]) cs.CP[col][r] = work[a + 3][3];
    }
  }
}

void CopyToScratchGrid(const TCS& cs) {
  for (int32_t i = 0; i < cs.CPMaxI; ++i)
    for (int32_t j = 0; j < cs.CPMaxJ; ++j) ScratchGrid[i][j] = cs.CP[i][j];
}

void ScratchPointWrapped(const TCS& cs, int32_t column, int32_t row, TDbl3D& point) {
  const int32_t I = cs.CPMaxI, J = cs.CPMaxJ;
  if (cs.ScType == SCTYPE_PLANE || I < 2)
    column = column < 0 ? 0 : (column > I - 1 ? I - 1 : column);
  else
    column = PositiveMod(column, I - 1);
  if (cs.ScType == SCTYPE_TORUS && J >= 2)
    row = PositiveMod(row, J - 1);
  else
    row = row < 0 ? 0 : (row > J - 1 ? J - 1 : row);
  if (column < 0) column = 0;
  if (row < 0) row = 0;
  point = ScratchGrid[column][row];
}

void WrapGridIndex(const TCS& cs, int32_t& column, int32_t& row) {
  const int32_t I = cs.CPMaxI, J = cs.CPMaxJ;
  if (cs.ScType == SCTYPE_PLANE || I < 2)
    column = column < 0 || column > I - 1 ? -1 : column;
  else
    column = PositiveMod(column, I - 1);
  if (cs.ScType == SCTYPE_TORUS && J >= 2)
    row = PositiveMod(row, J - 1);
  else
    row = row < 0 || row > J - 1 ? -1 : row;
}

void CatmullClarkCentre(const TDbl3DBlock3& p, TDbl3DBlock3& out) {
  LD face[2][2][3];  // the four quads round the centre, [a][b] = quad of columns a..a+1, rows b..b+1
  for (int a = 0; a < 2; ++a)
    for (int b = 0; b < 2; ++b)
      for (int k = 0; k < 3; ++k)
        face[a][b][k] =
            (static_cast<LD>(p[a][b][k]) + p[a + 1][b][k] + p[a][b + 1][k] + p[a + 1][b + 1][k]) / 4;
  TDbl3DBlock3 r;
  for (int a = 0; a < 2; ++a)
    for (int b = 0; b < 2; ++b)
      for (int k = 0; k < 3; ++k) r[a * 2][b * 2][k] = static_cast<double>(face[a][b][k]);
  for (int k = 0; k < 3; ++k) {
    const LD c = p[1][1][k];
    // Edge points: centre, neighbour and the two faces beside the edge.
    r[0][1][k] = static_cast<double>((c + p[0][1][k] + face[0][0][k] + face[0][1][k]) / 4);
    r[2][1][k] = static_cast<double>((c + p[2][1][k] + face[1][0][k] + face[1][1][k]) / 4);
    r[1][0][k] = static_cast<double>((c + p[1][0][k] + face[0][0][k] + face[1][0][k]) / 4);
    r[1][2][k] = static_cast<double>((c + p[1][2][k] + face[0][1][k] + face[1][1][k]) / 4);
    const LD faceMean = (face[0][0][k] + face[0][1][k] + face[1][0][k] + face[1][1][k]) / 4;
    const LD edgeMid = (4 * c + p[0][1][k] + p[2][1][k] + p[1][0][k] + p[1][2][k]) / 8;
    r[1][1][k] = static_cast<double>(faceMean / 4 + edgeMid / 2 + c / 4);
  }
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) out[a][b] = r[a][b];
}

void SubdivideBlock2(const TDbl3DBlock3& level, TSubdivBlock& work) {
  TDbl3DBlock3 r;
  CatmullClarkCentre(level, r);
  for (int a = -1; a <= 1; ++a)
    for (int b = -1; b <= 1; ++b) work[a + 3][b + 3] = r[a + 1][b + 1];
}

void SubdivideBlock4(const TDbl3DBlock3& level, TSubdivBlock& work) {
  // Spread the level points to half spacing: level points at the even positions, midpoints
  // between neighbours along the lines, and the diagonal points beside the centre halfway
  // between their corner and the centre.
  TDbl3D s[5][5];
  for (int x = 0; x < 5; ++x)
    for (int y = 0; y < 5; ++y) {
      const bool ex = x % 2 == 0, ey = y % 2 == 0;
      if (ex && ey)
        s[x][y] = level[x / 2][y / 2];
      else if (!ex && ey)
        s[x][y] = Mean2(level[(x - 1) / 2][y / 2], level[(x + 1) / 2][y / 2]);
      else if (ex && !ey)
        s[x][y] = Mean2(level[x / 2][(y - 1) / 2], level[x / 2][(y + 1) / 2]);
      else
        s[x][y] = Mean2(level[x < 2 ? 0 : 2][y < 2 ? 0 : 2], level[1][1]);
    }
  // One refinement step in each of the nine windows round the centre; where windows overlap,
  // the later one wins.
  TDbl3DBlock3 window, r;
  for (int wx = -1; wx <= 1; ++wx)
    for (int wy = -1; wy <= 1; ++wy) {
      for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) window[a][b] = s[1 + wx + a][1 + wy + b];
      CatmullClarkCentre(window, r);
      for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) work[2 * wx + a - 1 + 3][2 * wy + b - 1 + 3] = r[a][b];
    }
}

}  // namespace shape
