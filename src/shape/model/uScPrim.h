#pragma once
// The program's shape, the values derived from its grid size, the four primitive shapes, the
// seam rules, the detection of the stitch type and the scaling to the modelling cube.
#include <cstdint>
#include <string>
#include <vector>

#include "shape/model/ShapeRecord.h"

namespace shape {

// Growable array of pane coordinates (profiles and cross-sections of the editors).
using TDbl2DAry = std::vector<TDbl2D>;

// The one shape of the program; every editor, file format, the undo ring, the preview and the
// plug-ins work on it in place.
extern TCS CurrentShape;

// Derived from the grid size; written only by SetGridSize.
extern int32_t CPHalfI;        // (CPMaxI - 1) div 2
extern int32_t CPHalfJ;        // (CPMaxJ - 1) div 2
extern int32_t CapRows;        // rows in each end cap of the sphere primitive (1..8)
extern int32_t UpperRimRow;    // CPMaxJ - 1 - CapRows
extern int32_t LinesPerPart;   // grid lines one part of a divided sculpt map spans
extern int32_t TextureWidth;   // (CPMaxI - 1) * 16
extern int32_t TextureHeight;  // (CPMaxJ - 1) * 16

// The texture module installs this to resize its bitmaps to TextureWidth x TextureHeight on
// every SetGridSize. Without a hook nothing is resized.
using TTextureResizeHook = void (*)(int32_t width, int32_t height);
void SetTextureResizeHook(TTextureResizeHook hook);
TTextureResizeHook GetTextureResizeHook();

// The coordinate range a sculpt map can hold: [-127/128, 128/128].
constexpr double kCoordMin = -0.9921875;
constexpr double kCoordMax = 1.0;
// Span of the plane primitive and of MaximizeShape, by the setting "MaximizeWithSymmetry".
double MaximizeSpan();

// Sets the stitch type and grid size, clears all 257 x 257 selection and lock flags, sets every
// group id to -1, fills the primitive and restores the seams. DP, R0, R1 and the points outside
// the block keep their values.
void InitShape(TCS& cs, TScType type, int32_t columns, int32_t rows);
// The 33 x 33 sphere that the file readers fall back to; masks, Count, DP and frames unchanged.
void ResetDefaultShape(TCS& cs);
// Recomputes the derived values and resizes the texture bitmaps through the hook.
void SetGridSize(const TCS& cs);
// Fills CP with the primitive of the stitch type.
void GeneratePrimitive(TCS& cs);
// Makes the seam duplicates of CP, SP, RP and GP equal to the points they duplicate; on a
// sphere the poles take the values of column `column`.
void CopySeams(TCS& cs, int32_t column);
// A forced value of 0..3 is returned as it is; any other value detects the type from CP.
TScType DetectStitchType(const TCS& cs, int32_t forced);
// The detection run on one block of a grid: "PLANE", "SPHERE", "TORUS" or "CYLINDER".
std::string StitchTypeName(const TACP256& points, int32_t firstColumn, int32_t firstRow, int32_t columns,
                           int32_t rows);
// Scales the block to the modelling cube, axis by axis.
void MaximizeShape(TCS& cs);

}  // namespace shape
