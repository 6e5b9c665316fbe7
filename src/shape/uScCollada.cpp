#include "shape/uScCollada.h"

#include <algorithm>
#include <utility>
#include <vector>
#include <cmath>
#include <memory>
#include <numbers>

#include "common/Round.h"
#include "settings/AppSettings.h"
#include "shape/OutputNames.h"
#include "shape/model/Dbl3D.h"

namespace shape {

TCellRec CellTable[256][256];

namespace {

double CosDegrees(double degrees) { return std::cos(degrees * std::numbers::pi / 180); }

const TDbl3D& P(const TLevelGrid& g, int32_t i, int32_t j) { return g.CP[i][j]; }
const TDbl3D& N(int32_t c, int32_t r) { return CellTable[c][r].CellNormal; }

// Whether two cell normals count for each other within the hard angle (strictly). The test is the
// same both ways, and each pair of neighbouring cells takes part in up to six corners, so it is
// made once per pair: gPairCounts[c][r][k] for cell (c, r) and its neighbour at kPairOffsets[k]
// (wrapped round the grid).
constexpr int32_t kPairOffsets[4][2] = {{1, 0}, {-1, 1}, {0, 1}, {1, 1}};
bool gPairCounts[256][256][4];
int32_t gCellColumns = 0, gCellRows = 0;
double gHardCos = 0;

bool CountsDirect(int32_t mc, int32_t mr, int32_t c, int32_t r) { return CosAngleDbl3D(N(mc, mr), N(c, r)) > gHardCos; }

void PrecomputePairCounts(int32_t columns, int32_t rows, double g) {
  gCellColumns = columns;
  gCellRows = rows;
  gHardCos = g;
  std::vector<double> length(static_cast<size_t>(columns) * rows);
  for (int32_t c = 0; c < columns; ++c)
    for (int32_t r = 0; r < rows; ++r) length[static_cast<size_t>(c) * rows + r] = Dbl3DLength(N(c, r));
  for (int32_t c = 0; c < columns; ++c)
    for (int32_t r = 0; r < rows; ++r)
      for (int k = 0; k < 4; ++k) {
        int32_t mc = c + kPairOffsets[k][0], mr = r + kPairOffsets[k][1];
        mc = mc < 0 ? mc + columns : mc >= columns ? mc - columns : mc;
        mr = mr >= rows ? mr - rows : mr;
        gPairCounts[c][r][k] = CosAngleWithLengths(N(mc, mr), N(c, r), length[static_cast<size_t>(mc) * rows + mr],
                                                   length[static_cast<size_t>(c) * rows + r]) > g;
      }
}

// The normal of cell (mc, mr), a neighbour of cell (c, r) (across the seams where they wrap), counts
// for that of cell (c, r).
[[gnu::always_inline]] inline bool Counts(int32_t mc, int32_t mr, int32_t c, int32_t r) {
  const int32_t C = gCellColumns, R = gCellRows;
  // On grids of fewer than three cells a way a neighbour is reached is not unique.
  if (C < 3 || R < 3) return CountsDirect(mc, mr, c, r);
  int32_t dc = mc - c, dr = mr - r;
  if (dc > 1) dc -= C;
  if (dc < -1) dc += C;
  if (dr > 1) dr -= R;
  if (dr < -1) dr += R;
  if (dr < 0 || (dr == 0 && dc < 0)) {
    std::swap(mc, c);
    std::swap(mr, r);
    dc = -dc;
    dr = -dr;
  }
  // The index into kPairOffsets: (1, 0) is 0, (-1, 1), (0, 1), (1, 1) are 1, 2, 3.
  if (dr == 0 && dc == 1) return gPairCounts[c][r][0];
  if (dr == 1 && dc >= -1 && dc <= 1) return gPairCounts[c][r][dc + 2];
  return CountsDirect(mc, mr, c, r);
}

// ---- corner normals per stitch type ----

// Torus and plane: each corner from the three other cells at it. On the torus every neighbour
// exists (the grid wraps both ways); on the plane one outside the cells adds nothing.
void BuildWrappedCorners(const TLevelGrid& grid, bool wrap) {
  const int32_t C = grid.CPMaxI - 1, R = grid.CPMaxJ - 1;
  // Adds the neighbour (mc, mr) of cell (c, r) to `sum`.
  auto add = [&](TDbl3D& sum, int32_t c, int32_t r, int32_t mc, int32_t mr) {
    if (wrap) {
      mc = (mc + C) % C;
      mr = (mr + R) % R;
    } else if (mc < 0 || mc >= C || mr < 0 || mr >= R) {
      return;
    }
    IncDbl3D(sum, Counts(mc, mr, c, r) ? N(mc, mr) : N(c, r));
  };
  auto corner = [&](int32_t c, int32_t r, int32_t dc, int32_t dr) {
    TDbl3D sum = N(c, r);
    add(sum, c, r, c + dc, r + dr);
    add(sum, c, r, c + dc, r);
    add(sum, c, r, c, r + dr);
    return NormalizeDbl3D(sum);
  };
  for (int32_t c = 0; c < C; ++c)
    for (int32_t r = 0; r < R; ++r) {
      TCellRec& cell = CellTable[c][r];
      cell.CornerTL = corner(c, r, -1, -1);
      cell.CornerTR = corner(c, r, 1, -1);
      cell.CornerBL = corner(c, r, -1, 1);
      cell.CornerBR = corner(c, r, 1, 1);
    }
}

// Sphere and cylinder: the open ends (poles or rims), then the corners between rows, the columns
// wrapping across the seam.
void BuildSeamedCorners(const TLevelGrid& grid) {
  const int32_t C = grid.CPMaxI - 1, R = grid.CPMaxJ - 1;
  auto prev = [C](int32_t c) { return (c + C - 1) % C; };
  auto next = [C](int32_t c) { return (c + 1) % C; };
  if (grid.ScType == SCTYPE_SPHERE) {
    const double h = CosDegrees(settings::AppSettings.ColladaHardAngle / 2);
    TDbl3D s0{0, 0, 0}, s1{0, 0, 0};
    for (int32_t c = 0; c < C; ++c) {
      IncDbl3D(s0, N(c, 0));
      IncDbl3D(s1, N(c, R - 1));
    }
    s0 = NormalizeDbl3D(s0);
    s1 = NormalizeDbl3D(s1);
    for (int32_t c = 0; c < C; ++c) {
      const TDbl3D lower = CosAngleDbl3D(s0, N(c, 0)) > h ? s0 : N(c, 0);
      CellTable[c][0].CornerTL = CellTable[c][0].CornerTR = lower;
      const TDbl3D upper = CosAngleDbl3D(s1, N(c, R - 1)) > h ? s1 : N(c, R - 1);
      CellTable[c][R - 1].CornerBL = CellTable[c][R - 1].CornerBR = upper;
    }
  } else {
    // The rims: the neighbour across the seam counts as on any other cell edge.
    auto rim = [&](int32_t c, int32_t r, int32_t other) {
      TDbl3D sum = N(c, r);
      if (Counts(other, r, c, r)) IncDbl3D(sum, N(other, r));
      return NormalizeDbl3D(sum);
    };
    for (int32_t c = 0; c < C; ++c) {
      CellTable[c][0].CornerTL = rim(c, 0, prev(c));
      CellTable[c][0].CornerTR = rim(c, 0, next(c));
      CellTable[c][R - 1].CornerBL = rim(c, R - 1, prev(c));
      CellTable[c][R - 1].CornerBR = rim(c, R - 1, next(c));
    }
  }
  // Cells (c, r) and (c, r + 1), one above the other: the corner of cell (c, own) they share
  // with the column `side`.
  auto shared = [&](int32_t c, int32_t own, int32_t other, int32_t side, int32_t r) {
    TDbl3D sum = N(c, own);
    if (Counts(c, other, c, own)) IncDbl3D(sum, N(c, other));
    if (Counts(side, r, c, own)) IncDbl3D(sum, N(side, r));
    if (Counts(side, r + 1, c, own)) IncDbl3D(sum, N(side, r + 1));
    return NormalizeDbl3D(sum);
  };
  for (int32_t c = 0; c < C; ++c)
    for (int32_t r = 0; r + 1 < R; ++r) {
      CellTable[c][r].CornerBL = shared(c, r, r + 1, prev(c), r);
      CellTable[c][r].CornerBR = shared(c, r, r + 1, next(c), r);
      CellTable[c][r + 1].CornerTL = shared(c, r + 1, r, prev(c), r);
      CellTable[c][r + 1].CornerTR = shared(c, r + 1, r, next(c), r);
    }
}

// ---- merging ----

using TStripTest = bool (*)(const TDbl3D a[3], const TDbl3D b[3]);

bool SameCorners(const TCellRec& cell, const TCellRec& ref) {
  return SameDbl3D(cell.CornerTL, ref.CornerTL) && SameDbl3D(cell.CornerTR, ref.CornerTR) &&
         SameDbl3D(cell.CornerBL, ref.CornerBL) && SameDbl3D(cell.CornerBR, ref.CornerBR);
}

bool ZeroWithin(const TDbl3D& v, double tolerance) {
  for (int k = 0; k < 3; ++k)
    if (!(std::fabs(v[k]) <= tolerance)) return false;
  return true;
}

bool SameDirection(const TDbl3D& a, const TDbl3D& b) {
  for (int k = 0; k < 3; ++k)
    if (!(std::fabs(a[k] - b[k]) <= 1e-06)) return false;
  return true;
}

bool DirectionTest(const TDbl3D a[3], const TDbl3D b[3]) {
  return SameDirection(NormalizeDbl3D(SubDbl3D(a[0], a[2])), NormalizeDbl3D(SubDbl3D(a[1], a[2]))) &&
         SameDirection(NormalizeDbl3D(SubDbl3D(b[0], b[2])), NormalizeDbl3D(SubDbl3D(b[1], b[2])));
}

// The greedy merge: from each active cell, down as far as the rows join, then right as far as
// whole columns of that height join.
void MergeCells(const TLevelGrid& grid, TStripTest strip) {
  const int32_t I = grid.CPMaxI, J = grid.CPMaxJ;
  const int32_t r0 = grid.ScType == SCTYPE_SPHERE ? 1 : 0;
  const int32_t rN = grid.ScType == SCTYPE_SPHERE ? J - 3 : J - 2;
  for (int32_t i = 0; i <= I - 2; ++i)
    for (int32_t j = r0; j <= rN; ++j) {
      if (!CellTable[i][j].Active) continue;
      const TCellRec ref = CellTable[i][j];
      int32_t f = j;
      while (f < rN) {
        const TCellRec& cell = CellTable[i][f + 1];
        const TDbl3D a[3] = {P(grid, i, f), P(grid, i, f + 1), P(grid, i, f + 2)};
        const TDbl3D b[3] = {P(grid, i + 1, f), P(grid, i + 1, f + 1), P(grid, i + 1, f + 2)};
        if (!cell.Active || !SameCorners(cell, ref) || !strip(a, b)) break;
        ++f;
      }
      int32_t h = i;
      while (h < I - 2) {
        const int32_t k = h + 1;
        bool joins = true;
        for (int32_t r = j; r <= f && joins; ++r) {
          const TCellRec& cell = CellTable[k][r];
          const TDbl3D a[3] = {P(grid, k - 1, r), P(grid, k, r), P(grid, k + 1, r)};
          const TDbl3D b[3] = {P(grid, k - 1, r + 1), P(grid, k, r + 1), P(grid, k + 1, r + 1)};
          joins = cell.Active && SameCorners(cell, ref) && strip(a, b);
        }
        if (!joins) break;
        h = k;
      }
      if (h > i || f > j) {
        for (int32_t c = i; c <= h; ++c)
          for (int32_t r = j; r <= f; ++r) CellTable[c][r].Active = false;
        CellTable[i][j].Active = true;
        CellTable[i][j].LastCol = h;
        CellTable[i][j].LastRow = f;
      }
    }
}

bool Distinct3(const TDbl3D& a, const TDbl3D& b, const TDbl3D& c) {
  return !SameDbl3D(a, b) && !SameDbl3D(b, c) && !SameDbl3D(a, c);
}

// Restores "Hard Angle" when the physics box is done, whatever happens in between.
class THardAngleScope {
 public:
  explicit THardAngleScope(double angle) : saved_(settings::AppSettings.ColladaHardAngle) {
    settings::AppSettings.ColladaHardAngle = angle;
  }
  ~THardAngleScope() { settings::AppSettings.ColladaHardAngle = saved_; }
  THardAngleScope(const THardAngleScope&) = delete;
  THardAngleScope& operator=(const THardAngleScope&) = delete;

 private:
  double saved_;
};

}  // namespace

void LevelGridSize(int32_t columns, int32_t rows, int32_t level, int32_t& levelColumns, int32_t& levelRows) {
  if (level <= 0) {
    levelColumns = columns;
    levelRows = rows;
    return;
  }
  const int64_t d = int64_t{1} << std::min(level, 8);
  const int64_t quads = int64_t{columns - 1} * (rows - 1);
  int64_t qi = (columns - 1) / d, qj = (rows - 1) / d;
  if (qi < 4) {
    qi = 4;
    qj = quads / (4 * d * d);
  }
  if (qj < 4) {
    qi = quads / (4 * d * d);
    qj = 4;
  }
  // A level of no quads on an axis would divide by zero when the grid is thinned.
  levelColumns = static_cast<int32_t>(std::clamp<int64_t>(qi, 1, kGridMax - 1)) + 1;
  levelRows = static_cast<int32_t>(std::clamp<int64_t>(qj, 1, kGridMax - 1)) + 1;
}

void MakeLevelGrid(const TCS& cs, TLevelGrid& grid, int32_t level) {
  const int32_t I0 = std::clamp(cs.CPMaxI, 2, kGridMax), J0 = std::clamp(cs.CPMaxJ, 2, kGridMax);
  grid.ScType = cs.ScType;
  LevelGridSize(I0, J0, level, grid.CPMaxI, grid.CPMaxJ);
  const double ri = static_cast<double>(I0 - 1) / (grid.CPMaxI - 1);
  const double rj = static_cast<double>(J0 - 1) / (grid.CPMaxJ - 1);
  int32_t rows[kGridMax];
  for (int32_t f = 0; f < grid.CPMaxJ; ++f) rows[f] = std::clamp(common::RoundInt(f * rj), 0, J0 - 1);
  for (int32_t g = 0; g < grid.CPMaxI; ++g) {
    const int32_t i = std::clamp(common::RoundInt(g * ri), 0, I0 - 1);
    for (int32_t f = 0; f < grid.CPMaxJ; ++f) grid.CP[g][f] = cs.CP[i][rows[f]];
  }
}

void BuildCellNormals(const TLevelGrid& grid) {
  const int32_t I = grid.CPMaxI, J = grid.CPMaxJ;
  // The two triangles' normals, Normalize(b - a) x Normalize(c - a) each, with every edge direction
  // normalised once: the diagonal serves both triangles (reversed), and the edge along a row serves
  // the cell below it too (normalising -v gives exactly -Normalize(v)). Column by column, as the
  // cells and the grid points lie in memory.
  for (int32_t c = 0; c <= I - 2; ++c) {
    // Normalize(P(c + 1, r) - P(c, r)), the edge along the row above the cell.
    TDbl3D top = NormalizeDbl3D(SubDbl3D(P(grid, c + 1, 0), P(grid, c, 0)));
    for (int32_t r = 0; r <= J - 2; ++r) {
      const TDbl3D bottom = NormalizeDbl3D(SubDbl3D(P(grid, c + 1, r + 1), P(grid, c, r + 1)));
      const TDbl3D diagonal = NormalizeDbl3D(SubDbl3D(P(grid, c + 1, r + 1), P(grid, c, r)));
      // (c, r), (c + 1, r), (c + 1, r + 1) and (c + 1, r + 1), (c, r + 1), (c, r).
      const TDbl3D first = CrossDbl3D(top, diagonal);
      const TDbl3D second = CrossDbl3D({-bottom[0], -bottom[1], -bottom[2]}, {-diagonal[0], -diagonal[1], -diagonal[2]});
      TCellRec& cell = CellTable[c][r];
      cell.CellNormal = NormalizeDbl3D(AddDbl3D(first, second));
      cell.Active = true;
      cell.LastCol = c;
      cell.LastRow = r;
      top = bottom;
    }
  }
  const double g = CosDegrees(settings::AppSettings.ColladaHardAngle);
  PrecomputePairCounts(I - 1, J - 1, g);
  switch (grid.ScType) {
    case SCTYPE_TORUS:
      BuildWrappedCorners(grid, true);
      break;
    case SCTYPE_SPHERE:
    case SCTYPE_CYLINDER:
      BuildSeamedCorners(grid);
      break;
    default:
      BuildWrappedCorners(grid, false);
      break;
  }
}

void MarkDegenerateCells(const TLevelGrid& grid) {
  for (int32_t c = 0; c <= grid.CPMaxI - 2; ++c)
    for (int32_t r = 0; r <= grid.CPMaxJ - 2; ++r) {
      TCellRec& cell = CellTable[c][r];
      const int32_t C1 = cell.LastCol + 1, R1 = cell.LastRow + 1;
      const TDbl3D &a = P(grid, c, r), &b = P(grid, C1, r), &c2 = P(grid, C1, R1), &d = P(grid, c, R1);
      cell.Active = !((SameDbl3D(a, d) && SameDbl3D(b, c2)) || (SameDbl3D(a, b) && SameDbl3D(d, c2)) ||
                      (SameDbl3D(a, c2) && SameDbl3D(b, d)));
    }
}

bool IsEvenStrip(const TDbl3D a[3], const TDbl3D b[3]) {
  constexpr double kTolerance = 1e-05;
  TDbl3D t[4];
  for (int k = 0; k < 3; ++k) {
    t[0][k] = a[0][k] + a[2][k] - 2 * a[1][k];
    t[1][k] = b[0][k] + b[2][k] - 2 * b[1][k];
    t[2][k] = (a[0][k] - b[0][k]) - (a[2][k] - b[2][k]);
    t[3][k] = (a[1][k] - b[1][k]) - (a[2][k] - b[2][k]);
  }
  for (const TDbl3D& v : t)
    if (!ZeroWithin(v, kTolerance)) return false;
  return true;
}

bool IsStraightStrip(const TDbl3D a[3], const TDbl3D b[3]) {
  if (SameDbl3D(a[0], b[0])) {
    if (SameDbl3D(a[1], b[1])) return SameDbl3D(a[2], b[2]);
    return DirectionTest(a, b);
  }
  if (SameDbl3D(a[1], b[1])) return false;
  return DirectionTest(a, b);
}

void MergeCellsKeepUV(const TLevelGrid& grid) { MergeCells(grid, &IsEvenStrip); }
void MergeCellsFree(const TLevelGrid& grid) { MergeCells(grid, &IsStraightStrip); }

void OptimizeCells(const TLevelGrid& grid) {
  switch (settings::AppSettings.ColladaOptimizeMesh) {
    case 1:
      MergeCellsKeepUV(grid);
      break;
    case 2:
      MergeCellsFree(grid);
      break;
    default:
      break;
  }
}

void MarkCellTriangles(const TLevelGrid& grid) {
  for (int32_t c = 0; c <= grid.CPMaxI - 2; ++c)
    for (int32_t r = 0; r <= grid.CPMaxJ - 2; ++r) {
      TCellRec& cell = CellTable[c][r];
      cell.Tri1 = cell.Tri2 = false;
      if (!cell.Active) continue;
      const int32_t C1 = cell.LastCol + 1, R1 = cell.LastRow + 1;
      cell.Tri1 = Distinct3(P(grid, c, r), P(grid, C1, r), P(grid, C1, R1));
      cell.Tri2 = Distinct3(P(grid, C1, R1), P(grid, c, R1), P(grid, c, r));
    }
}

void InitFaceRecord(TFRec& face) {
  for (int k = 0; k < 3; ++k) face.TIdx[k] = face.VIdx[k];
  const TDbl3D& a = MeshVertices[face.VIdx[0]].P;
  const TDbl3D& b = MeshVertices[face.VIdx[1]].P;
  const TDbl3D& c = MeshVertices[face.VIdx[2]].P;
  face.Used = Distinct3(a, b, c);
  face.FaceNormal = face.Used ? TriangleNormal(a, b, c) : TDbl3D{0, 0, 0};
}

void BuildMeshTables(const TLevelGrid& grid) {
  const int32_t I = grid.CPMaxI, J = grid.CPMaxJ;
  MeshVertices.assign(static_cast<size_t>(I) * J, TVRec{});
  MeshTexCoords.assign(static_cast<size_t>(I) * J, TTRec{});
  for (int32_t j = 0; j < J; ++j)
    for (int32_t i = 0; i < I; ++i) {
      const size_t v = static_cast<size_t>(GridIndex(i, j, I));
      MeshVertices[v].Used = true;
      MeshVertices[v].P = P(grid, i, j);
      MeshTexCoords[v].Used = true;
      MeshTexCoords[v].U = static_cast<double>(i) / (I - 1);
      MeshTexCoords[v].V = static_cast<double>(j) / (J - 1);
    }
  MeshFaces.assign(static_cast<size_t>(2) * (I - 1) * (J - 1), TFRec{});
  for (int32_t r = 0; r <= J - 2; ++r)
    for (int32_t c = 0; c <= I - 2; ++c) {
      const TCellRec& cell = CellTable[c][r];
      const int32_t C1 = cell.LastCol + 1, R1 = cell.LastRow + 1;
      const size_t k = static_cast<size_t>(c) + static_cast<size_t>(r) * (I - 1);
      TFRec& f1 = MeshFaces[2 * k];
      TFRec& f2 = MeshFaces[2 * k + 1];
      f1.Used = cell.Tri1;
      f2.Used = cell.Tri2;
      if (f1.Used) {
        f1.VIdx[0] = GridIndex(c, r, I);
        f1.VIdx[1] = GridIndex(C1, r, I);
        f1.VIdx[2] = GridIndex(C1, R1, I);
        InitFaceRecord(f1);
      }
      if (f2.Used) {
        f2.VIdx[0] = GridIndex(C1, R1, I);
        f2.VIdx[1] = GridIndex(c, R1, I);
        f2.VIdx[2] = GridIndex(c, r, I);
        InitFaceRecord(f2);
      }
    }
  switch (grid.ScType) {
    case SCTYPE_SPHERE:
      WeldSphereSeams(grid);
      break;
    case SCTYPE_TORUS:
      WeldTorusSeams(grid);
      break;
    case SCTYPE_CYLINDER:
      WeldCylinderSeam(grid);
      break;
    default:
      break;
  }
  DropDegenerateFaces();
}

void WeldVertices(const std::vector<std::pair<int32_t, int32_t>>& welds) {
  // The value a slot ends with depends only on the value it starts with: follow the welds in
  // order from it. Within one seam list every key occurs once, so one weld per key is kept.
  const size_t n = MeshVertices.size();
  std::vector<int32_t> order(n, -1), target(n, 0);
  for (size_t w = 0; w < welds.size(); ++w) {
    const auto [key, to] = welds[w];
    if (key < 0 || static_cast<size_t>(key) >= n || to < 0 || static_cast<size_t>(to) >= n) continue;
    if (order[key] < 0) {
      order[key] = static_cast<int32_t>(w);
      target[key] = to;
    }
    MeshVertices[key].Used = false;
  }
  auto resolve = [&](int32_t v) {
    int32_t after = -1;
    while (order[v] > after) {
      after = order[v];
      v = target[v];
    }
    return v;
  };
  for (TFRec& f : MeshFaces)
    if (f.Used)
      for (int32_t& v : f.VIdx) v = resolve(v);
}

void WeldVertex(int32_t key, int32_t target) { WeldVertices({{key, target}}); }

void WeldSphereSeams(const TLevelGrid& grid) {
  const int32_t I = grid.CPMaxI, J = grid.CPMaxJ;
  std::vector<std::pair<int32_t, int32_t>> welds;
  for (int32_t c = 1; c <= I - 1; ++c) {
    welds.emplace_back(GridIndex(c, 0, I), GridIndex(0, 0, I));
    welds.emplace_back(GridIndex(c, J - 1, I), GridIndex(0, J - 1, I));
  }
  for (int32_t r = 1; r <= J - 2; ++r) welds.emplace_back(GridIndex(I - 1, r, I), GridIndex(0, r, I));
  WeldVertices(welds);
}

void WeldTorusSeams(const TLevelGrid& grid) {
  const int32_t I = grid.CPMaxI, J = grid.CPMaxJ;
  std::vector<std::pair<int32_t, int32_t>> welds;
  for (int32_t r = 0; r <= J - 2; ++r) welds.emplace_back(GridIndex(I - 1, r, I), GridIndex(0, r, I));
  for (int32_t c = 0; c <= I - 2; ++c) welds.emplace_back(GridIndex(c, J - 1, I), GridIndex(c, 0, I));
  welds.emplace_back(GridIndex(I - 1, J - 1, I), GridIndex(0, 0, I));
  WeldVertices(welds);
}

void WeldCylinderSeam(const TLevelGrid& grid) {
  const int32_t I = grid.CPMaxI, J = grid.CPMaxJ;
  std::vector<std::pair<int32_t, int32_t>> welds;
  for (int32_t r = 0; r <= J - 1; ++r) welds.emplace_back(GridIndex(I - 1, r, I), GridIndex(0, r, I));
  WeldVertices(welds);
}

void DropDegenerateFaces() {
  for (TFRec& f : MeshFaces) {
    if (!f.Used) continue;
    if (f.VIdx[0] == f.VIdx[1] || f.VIdx[1] == f.VIdx[2] || f.VIdx[0] == f.VIdx[2]) {
      f.Used = false;
      f.FaceNormal = {0, 0, 0};
    }
  }
}

namespace {

// Clears Used of every entry of `table` that no slot `slots` of a used face names.
template <typename Rec>
void DropUnnamed(std::vector<Rec>& table, int32_t (TFRec::*slots)[3]) {
  std::vector<char> named(table.size(), 0);
  for (TFRec& f : MeshFaces)
    if (f.Used)
      for (int32_t k : f.*slots) named[static_cast<size_t>(k)] = 1;
  for (size_t k = 0; k < table.size(); ++k)
    if (!named[k]) table[k].Used = false;
}

}  // namespace

void DropUnusedVertices() { DropUnnamed(MeshVertices, &TFRec::VIdx); }

void DropUnusedTexCoords() { DropUnnamed(MeshTexCoords, &TFRec::TIdx); }

void BuildVertexNormals() {
  const double g = CosDegrees(settings::AppSettings.ColladaHardAngle);
  MeshNormals.clear();
  // The face slots naming each vertex, in ascending face order (built once: the lists stay linear).
  const size_t nv = MeshVertices.size();
  std::vector<int32_t> start(nv + 1, 0);
  for (const TFRec& f : MeshFaces)
    if (f.Used)
      for (int32_t v : f.VIdx) ++start[static_cast<size_t>(v) + 1];
  for (size_t v = 0; v < nv; ++v) start[v + 1] += start[v];
  std::vector<int32_t> slots(static_cast<size_t>(start[nv]));  // face * 3 + slot
  std::vector<int32_t> fill(start.begin(), start.end() - 1);
  for (size_t fi = 0; fi < MeshFaces.size(); ++fi) {
    const TFRec& f = MeshFaces[fi];
    if (!f.Used) continue;
    for (int k = 0; k < 3; ++k) slots[static_cast<size_t>(fill[static_cast<size_t>(f.VIdx[k])]++)] =
        static_cast<int32_t>(fi * 3 + k);
  }
  MeshNormals.reserve(slots.size());
  // The lengths of the face normals at one vertex, each taken once for all the pairs it is in.
  std::vector<double> lengths;
  for (size_t v = 0; v < nv; ++v) {
    if (!MeshVertices[v].Used) continue;
    const int32_t first = start[v], last = start[v + 1];
    if (first == last) {
      MeshVertices[v].Used = false;
      continue;
    }
    lengths.resize(static_cast<size_t>(last - first));
    for (int32_t a = first; a < last; ++a)
      lengths[static_cast<size_t>(a - first)] =
          Dbl3DLength(MeshFaces[static_cast<size_t>(slots[a] / 3)].FaceNormal);
    for (int32_t a = first; a < last; ++a) {
      TFRec& f = MeshFaces[static_cast<size_t>(slots[a] / 3)];
      const double lengthF = lengths[static_cast<size_t>(a - first)];
      TDbl3D s = f.FaceNormal;
      for (int32_t b = first; b < last; ++b) {
        if (b == a) continue;
        const TDbl3D& e = MeshFaces[static_cast<size_t>(slots[b] / 3)].FaceNormal;
        if (CosAngleWithLengths(e, f.FaceNormal, lengths[static_cast<size_t>(b - first)], lengthF) >= g)
          IncDbl3D(s, e);
      }
      f.NIdx[slots[a] % 3] = static_cast<int32_t>(MeshNormals.size());
      MeshNormals.push_back(TNRec{true, NormalizeDbl3D(s), 0});
    }
  }
}

void BuildLodMesh(const TLevelGrid& grid) {
  BuildCellNormals(grid);
  MarkDegenerateCells(grid);
  OptimizeCells(grid);
  MarkCellTriangles(grid);
  BuildMeshTables(grid);
  DropUnusedVertices();
  BuildVertexNormals();
  DropUnusedTexCoords();
}

void BuildPhysicsBox(const TCS& cs) {
  TDbl3D hi{-0.9921875, -0.9921875, -0.9921875}, lo{1.0, 1.0, 1.0};
  for (int32_t i = 0; i < std::clamp(cs.CPMaxI, 0, kGridMax); ++i)
    for (int32_t j = 0; j < std::clamp(cs.CPMaxJ, 0, kGridMax); ++j)
      for (int k = 0; k < 3; ++k) {
        hi[k] = std::max(hi[k], cs.CP[i][j][k]);
        lo[k] = std::min(lo[k], cs.CP[i][j][k]);
      }
  const TDbl3D corners[8] = {{hi[0], hi[1], hi[2]}, {lo[0], hi[1], hi[2]}, {lo[0], lo[1], hi[2]},
                             {hi[0], lo[1], hi[2]}, {hi[0], hi[1], lo[2]}, {lo[0], hi[1], lo[2]},
                             {lo[0], lo[1], lo[2]}, {hi[0], lo[1], lo[2]}};
  MeshVertices.assign(8, TVRec{});
  MeshTexCoords.assign(8, TTRec{});
  for (int v = 0; v < 8; ++v) {
    MeshVertices[v] = TVRec{true, corners[v], 0};
    MeshTexCoords[v] = TTRec{true, 0, 0, 0};
  }
  static const int32_t kFaces[12][3] = {{0, 4, 1}, {1, 4, 5}, {1, 5, 2}, {2, 5, 6}, {2, 6, 3}, {3, 6, 7},
                                        {3, 7, 0}, {0, 7, 4}, {0, 1, 2}, {2, 3, 0}, {4, 6, 5}, {6, 4, 7}};
  MeshFaces.assign(12, TFRec{});
  for (int f = 0; f < 12; ++f) {
    MeshFaces[f].Used = true;
    for (int k = 0; k < 3; ++k) MeshFaces[f].VIdx[k] = kFaces[f][k];
    InitFaceRecord(MeshFaces[f]);
  }
  DropDegenerateFaces();
  DropUnusedVertices();
  BuildVertexNormals();
  DropUnusedTexCoords();
}

void FreeMeshTables() {
  MeshVertices = TArV();
  MeshNormals = TArN();
  MeshFaces = TArF();
}

namespace {
const char* const kLevelNames[4] = {"high", "medium", "low", "lowest"};
}

std::vector<std::string> ColladaFileNames(const std::string& daePath) {
  const std::string base = RemoveFileExt(daePath);
  std::vector<std::string> names;
  if (settings::AppSettings.ColladaSaveLod) {
    for (int32_t level = 3; level >= 0; --level) names.push_back(base + "-" + kLevelNames[level] + ".dae");
  } else {
    names.push_back(base + ".dae");
  }
  if (settings::AppSettings.ColladaSaveObj2) {
    names.push_back(base + "-Collada.obj");
    names.push_back(base + "-Collada.mtl");
  }
  if (settings::AppSettings.ColladaSaveCubePhysics) names.push_back(base + "-phisics.dae");
  return names;
}

std::string ExportColladaLods(const TCS& cs, const std::string& daePath, const std::string& texturePath) {
  auto grid = std::make_unique<TLevelGrid>();
  const std::string base = RemoveFileExt(daePath);
  std::string written;
  if (settings::AppSettings.ColladaSaveLod) {
    for (int32_t level = 3; level >= 0; --level) {
      MakeLevelGrid(cs, *grid, level);
      BuildLodMesh(*grid);
      written = WriteColladaFile(base, kLevelNames[level], texturePath, MeshVertices, MeshNormals, MeshTexCoords,
                                 MeshFaces);
    }
  } else {
    MakeLevelGrid(cs, *grid, 0);
    BuildLodMesh(*grid);
    written = WriteColladaFile(base, "", texturePath, MeshVertices, MeshNormals, MeshTexCoords, MeshFaces);
  }
  grid.reset();
  if (settings::AppSettings.ColladaSaveObj2)
    WriteColladaObjFile(daePath, texturePath, MeshVertices, MeshNormals, MeshTexCoords, MeshFaces);
  if (settings::AppSettings.ColladaSaveCubePhysics) {
    THardAngleScope smoothAll(180);
    BuildPhysicsBox(cs);
    WriteColladaFile(base, "phisics", texturePath, MeshVertices, MeshNormals, MeshTexCoords, MeshFaces);
  }
  FreeMeshTables();
  return written;
}

}  // namespace shape
