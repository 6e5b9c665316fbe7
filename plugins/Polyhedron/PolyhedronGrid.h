#pragma once
// The grid generator: writes one of the seventeen polyhedra into a shape record as a
// 33 x 33 sphere-stitched grid whose every point lies on a vertex of the polyhedron.
#include <cstdint>

#include "shape/model/ShapeRecord.h"

namespace polyhedron {

// The list entries offered to the user, in order. Entries 0 to 14 are the built-in sets of
// the same kind; 15 and 16 are the small and the great stellated dodecahedron.
constexpr int32_t PolyhedronEntryCount = 17;
extern const char* const PolyhedronEntryNames[PolyhedronEntryCount];

// Columns and rows of the generated grid.
constexpr int32_t PolyhedronGridPoints = 33;

// Empties PolyhedronVertices and collects the vertex list of `entry` (0 to 16) into it.
void BuildPolyhedronVertexList(int32_t entry);

// Writes the polyhedron of `entry` (0 to 16) at `size` out of `sizeMax` into `cs`: the stitch
// type, the grid size and the points CP[i][j] for i, j from 0 to 32. Nothing else of the
// record is read or written. The vertex list and all points are computed before the record
// is touched, so a failure (an out-of-range argument) leaves the record as it was.
void GeneratePolyhedronGrid(shape::TCS& cs, int32_t entry, int32_t size, int32_t sizeMax);

}  // namespace polyhedron
