#pragma once
// The preview mesh: the shape record turned into the one mesh object of the preview's free form,
// its vertices quantised as the saved sculpt map will quantise them (PreviewQuantizer.h).
//
// The mesh: W x H vertices at the "View Level" step s (W = (CPMaxI - 1) div s + 1, H likewise),
// row by row from the top: vertex c + W r is grid point (s c, s (H - 1 - r)) with the texture
// coordinate (i / (CPMaxI - 1), j / (CPMaxJ - 1), 0); one face group of triangles, k, k + W, k + 1
// and k + 1, k + W, k + W + 1 for each quad k = c + W r; per-vertex normals from BuildNormals (a
// zero-area triangle, as at a sphere's poles, adds nothing, so every normal is finite).
#include "shape/model/ShapeRecord.h"
#include "shape/preview/PreviewQuantizer.h"

namespace gl3d {
class TGLFreeForm;
}

namespace shape {

// Replaces the free form's mesh objects by one new mesh object in face-group mode built from the
// shape, then signals the free form's structure change (the viewer redraws). A grid size outside
// 1..257 is taken as its nearest end, so a damaged record reads no point outside the grid.
void BuildPreviewMesh(const TCS& cs, gl3d::TGLFreeForm& freeForm);

}  // namespace shape
