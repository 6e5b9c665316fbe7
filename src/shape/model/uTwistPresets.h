#pragma once
// Shape-forming routines of the profile editors: twisting rows about the z axis or a torus
// tube about itself, re-drawing a profile through its marked rows, making a closed polygon
// circular, and the two shape presets "Fill Pillar" and "Cushion".
#include <cstdint>

#include "shape/model/LineMarks.h"
#include "shape/model/ShapeRecord.h"

namespace shape {

// atan2(y, x) when x is not 0; for x = 0: pi/2 when y > 0, 3 pi/2 when y < 0, `def` when y = 0.
double DirectionAngle2D(double y, double x, double def);

// Turns the rows below b about the z axis: rows b - 1 down to a by one to b - a steps of
// -degrees / (b - a + 1), every row below a by b - a steps. Locked points stay.
void TwistRows(TCS& cs, int32_t a, int32_t b, double degrees);

// The steps of TwistTorus.
// The row of column i farthest from the z axis (the first such) and its direction angle.
void ColumnDirection(const TCS& cs, int32_t column, int32_t& row, double& angle);
// A point's place in its tube section: distance s from the z axis and t = -z.
void TubeSection(const TDbl3D& p, double& s, double& t);
// Back from the section to a point, in the direction of the committed point `committed` from
// the z axis (or along `angle` when that lies on the axis).
TDbl3D TubePoint(double s, double t, const TDbl3D& committed, double angle);
// Turns each column's tube section about its own centre, column i by 2 pi i / (CPMaxI - 1)
// times `turns`. Locked points stay.
void TwistTorus(TCS& cs, int32_t turns);

// Re-draws every column through its points on the marked rows (the end rows count as marked
// on an open profile); the marks of the first and last row are put back afterwards.
void ReshapeThroughMarks(TCS& cs, TLineMarks& marks);
// Open profile: cubic Bezier segments through the marked points, moved to evenly spaced rows.
void ReshapeOpenProfile(TCS& cs, const TLineMarks& marks);
// Torus: every unmarked row between its marked neighbours, rows taken cyclically.
void ReshapeClosedProfile(TCS& cs, const TLineMarks& marks);

// Replaces a closed polygon of n points (the last equal to the first) by a circle about its
// centre, keeping the farthest point's direction, the order and the turning direction.
void MakeCircularPolygon(int32_t n, TDbl2D* points);

// The parabola z = k x^2 + c through (x1, z1) and (x2, z2); k = 0 and c = z2 when x1^2 = x2^2.
void ParabolaThrough(double x1, double z1, double x2, double z2, double& k, double& c);

// "Fill Pillar": a square pillar filling the representable cube.
void MakeFillPillar(TCS& cs);
// "Cushion": a pillow built from the profile in `sourceColumn`; needs at least 9 rows.
void MakeCushion(TCS& cs, int32_t sourceColumn);

}  // namespace shape
