#pragma once
// The plug-in's built-in polyhedra: fifteen vertex sets on the unit sphere in fixed
// orientations, and the vertex list that a grid generation collects them into.
//
// The grid's poles lie on the z axis and its seam on the +x half of the x-z plane, so the
// orientation of each set is part of its definition.
#include <cstdint>
#include <span>
#include <vector>

#include "shape/model/ShapeRecord.h"

namespace polyhedron {

using shape::TDbl3D;

// Kinds 0 to 14: tetrahedron, octahedron, cube, dodecahedron, icosahedron, cuboctahedron,
// icosidodecahedron, truncated tetrahedron, truncated octahedron, truncated cube,
// truncated icosahedron, truncated dodecahedron, rhombicuboctahedron,
// rhombicosidodecahedron, truncated cuboctahedron.
constexpr int32_t PolyhedronKindCount = 15;

// The built-in set of a kind (0 to 14): every vertex at distance 1 from the origin, exact to
// double precision. The sets are computed on first use and stay constant afterwards.
std::span<const TDbl3D> PolyhedronSet(int32_t kind);

// The vertex list of the current generation, and the number of vertices in it.
extern std::vector<TDbl3D> PolyhedronVertices;
extern int32_t PolyhedronVertexCount;

// Appends the set of `kind` (0 to 14) to PolyhedronVertices, each vertex scaled per axis.
// A scale of -1 on one axis mirrors the set in the plane of the other two.
void AddPolyhedronVertices(int32_t kind, double xScale, double yScale, double zScale);

// Empties PolyhedronVertices.
void ClearPolyhedronVertices();

}  // namespace polyhedron
