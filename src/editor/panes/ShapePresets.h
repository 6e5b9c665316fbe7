#pragma once
// The Shape menu's presets on the points of a shape record: Cylinder and the prisms with 3 to 8
// sides (also as the tube of a torus), and Ball, Cap, Cone, Bevel, Fill Pillar and Cushion.
// TScBase (ScBase.h) runs them and ends with its ApplyShape (Shape, false).
//
// Locked points are never written. Grids of any size from 2 to 257 each way work: the
// side-division table's row is taken for the nearest power of two within 5..257 points, and a
// walk along a polygon's sides stops at the grid's last distinct column (or row); columns or
// rows beyond the table's sum keep their points.
//
// Needs nothing of the window system (it builds and is tested without one).
#include <cstdint>
#include <span>

#include "shape/model/ShapeRecord.h"

namespace editor {

// Intervals per side of a polygon with `Sides` sides (3..8) along a direction of `Points` grid
// points: the table row of k = round(log2(Points)), k limited to 2..8 (5 to 257 points). The
// entries add up to 2^k. Empty for another number of sides.
std::span<const uint8_t> SideDivisionRow(int32_t Points, int32_t Sides);

// Sides 0: every row becomes a circle of its first point's radius at its first point's height;
// 3..8: a regular polygon through the same circle, each side taking the table's number of
// columns (every point of a side on its first corner with "Crystallized" on or "RearrangeType"
// 2). Rows: all when AllRows or nothing is selected, else those selected in column CurrentLine.
// The last column then repeats the first. Other values of Sides change nothing.
void PrismPresetPoints(shape::TCS& Shape, int32_t Sides, bool AllRows, int32_t CurrentLine);

// The same for the tube of a torus, measured once from column 0 (half the distance of rows 0
// and (CPMaxJ - 1) div 2, and their midpoint's distance from the origin), swept round the z axis.
void PrismPresetTorusPoints(shape::TCS& Shape, int32_t Sides);

// Kind 0 Ball, 1 Cap, 2 Cone, 3 Bevel, 4 Fill Pillar, 5 Cushion; on a torus only 0..2 act, on
// the tube of each column (a tube of thickness 0 gets 0.15).
void RoundPresetPoints(shape::TCS& Shape, int32_t Kind);

}  // namespace editor
