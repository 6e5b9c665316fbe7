#pragma once
// Mesh support shared by the mesh objects and the preview builder: smooth per-vertex normals of an
// indexed triangle list, the expansion of triangle strips into plain triangle lists, and the
// colour-material reset of the meshes that carry vertex colours.
#include <memory>

#include "scene3d/base/VectorLists.h"
#include "scene3d/scene/core/GLRenderContextInfo.h"

namespace gl3d {

// One normal per vertex (the caller owns the new list): the unit plane normals of the triangles
// round each vertex, summed and multiplied by 1 / (their number) through a 256-entry reciprocal
// table and one-byte counters (which wrap at 256 faces, giving the zero vector), not normalised
// again, so a vertex whose faces disagree gets a normal shorter than 1 and a vertex of no triangle
// the zero vector. The indices are read in whole triangles up to the last whole one; a triangle
// with an index outside the vertex list is skipped.
std::unique_ptr<TAffineVectorList> BuildNormals(const TAffineVectorList& vertices,
                                                const TIntegerList& indices);
// Whether BuildNormals may use 256-bit vectors where the processor has them (the default); tests
// turn it off to check the four-wide path on such processors too. The results are the same.
void AllowWideVectorsInBuildNormals(bool allowed);

// Appends the triangles of a strip: (v[k], v[k+1], v[k+2]) for even k and (v[k+2], v[k+1], v[k])
// for odd k, so every triangle keeps the strip's winding. Nothing for fewer than 3 points.
void StripToTriangles(const TAffineVectorList& strip, TAffineVectorList& destination);
// The same over vertices[indices[k]]; an index outside the vertex list gives the zero vector.
void IndexedStripToTriangles(const TAffineVectorList& vertices, const TIntegerList& indices,
                             TAffineVectorList& destination);

// Colour material on for both faces (ambient and diffuse follow the vertex colours), and both
// faces' material colours back to OpenGL's defaults: emission (0, 0, 0, 1), ambient (0.2, 0.2, 0.2,
// 1), diffuse (0.8, 0.8, 0.8, 1), specular (0, 0, 0, 1), shininess 0. Left on afterwards.
void ResetColorMaterial(TRenderContextInfo& rci);

}  // namespace gl3d
