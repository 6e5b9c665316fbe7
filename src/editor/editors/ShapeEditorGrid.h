#pragma once
// The grid routines of the shape editors that need no window: the symmetry partners of a
// moved point, the similarity step of the extrusion editor, the lathe's sweep and its Folder
// command, the upper cap's Optimize, and the chamfer walk of the bend editors. The editors
// (TScGYRAN, TScTOKOROTEN, TScMAGE, TScWAPPA) call them; they are kept here so their tests run
// without a window (and under the sanitizers).
//
// Every routine reads and writes only inside the grid of the shape it is given, for any size
// from 2 to 257 each way.
#include <cstdint>
#include <vector>

#include "shape/model/LineMarks.h"
#include "shape/model/ShapeRecord.h"

namespace editor {

// The View menu's symmetry choice: 0 None, 1 Mirror Image, 2 Rotation, 3 4 Mirror,
// 4 4 Rotation. 0 at start.
extern int32_t SymmetryMode;

// Rows of each end cap of the sphere primitive and its upper rim row, from the shape's own
// size (the values SetGridSize derives for it).
int32_t CapRowsOf(const shape::TCS& Shape);
int32_t UpperRimRowOf(const shape::TCS& Shape);

// ((n - k) a + k b) / n; a when n is 0.
double LerpSteps(double a, double b, int32_t k, int32_t n);

// A partner of a moved point on the same ring: its column and the map of the moved point's
// coordinates (u, v) about the centre of symmetry, (u', v') = (U.u u + U.v v, V.u u + V.v v).
struct TSymmetryPartner {
  int32_t Column;
  int32_t Uu, Uv, Vu, Vv;
};
// The partners of column i on a ring of `columns` points (the last one the seam copy), for
// `mode`. The extrusion and ring editors mirror column i to (N - i) mod N; the torus bend
// editor to (N - i + H) mod N, and its 4 Mirror exchanges the two mirror images (N = columns - 1,
// H = N div 2). Answers the number of partners (0..3).
int32_t SymmetryPartners(int32_t mode, int32_t i, int32_t columns, bool bendTwin, TSymmetryPartner (&out)[3]);

// The rotation and uniform scaling about c (in the xy plane) that carries a to b; the scaling
// is 1 when a lies on c. Made once, it carries every point that follows the same pair.
struct TSimilarity {
  double CentreX, CentreY;
  double Scale, Cosine, Sine;
};
TSimilarity MakeSimilarity(const shape::TDbl3D& c, const shape::TDbl3D& a, const shape::TDbl3D& b);
// Carries s into r's x and y (r.z is not written); r may be s.
inline void ApplySimilarity(const TSimilarity& m, const shape::TDbl3D& s, shape::TDbl3D& r) {
  const double dx = s[0] - m.CentreX, dy = s[1] - m.CentreY;
  r[0] = m.CentreX + m.Scale * (dx * m.Cosine - dy * m.Sine);
  r[1] = m.CentreY + m.Scale * (dx * m.Sine + dy * m.Cosine);
}
// Both in one: s carried by the similarity of (c, a, b) into r.
void FollowSimilarity(const shape::TDbl3D& c, const shape::TDbl3D& a, const shape::TDbl3D& b,
                      const shape::TDbl3D& s, shape::TDbl3D& r);

// The lathe's sweep: every unlocked profile point (column `profile`) that moved since the
// commit carries the columns marked 1 in `marks` with it on its row: each keeps its committed
// direction from the z axis scaled by the profile's change of radius (a circle at angle
// c 2 pi / (CPMaxI - 1) where the committed profile point lies on the axis), and takes the
// profile point's z.
void SweepProfile(shape::TCS& Shape, int32_t profile, const shape::TLineMarks& marks);

// The lathe's Folder command: with at least 2 marked columns among 0..CPMaxI - 2, every
// unmarked one is re-formed from its nearest marked neighbours on each side (taken
// cyclically): angle, radius and z interpolated by the steps to each. Locked points stay.
void FillUnmarkedColumns(shape::TCS& Shape, const shape::TLineMarks& marks);

// Optimize of the extrusion editor without its final ApplyShape: the upper cap (rows
// UpperRimRow .. CPMaxJ - 1) rebuilt in the xy plane from its pole and rim rows.
void OptimizeUpperCap(shape::TCS& Shape);

// The chamfer ring's walk over 2^L points (L = log2 of `ringPoints` to the nearest integer,
// in single precision): the weight s of the first edge and the depth of each point in turn,
// starting on the first edge. Empty when L is below 4.
struct TChamferStep {
  double S;
  double Depth;
};
void ChamferWalk(int32_t ringPoints, std::vector<TChamferStep>& steps);
// The width of the chamfer, in percent of the band.
constexpr int32_t ChamferPercent = 5;

}  // namespace editor
