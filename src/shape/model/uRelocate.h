#pragma once
// Relocation to the level of detail: with the setting "Edit Level" L at 2 or 4 only every L-th
// grid line is edited directly, and the points between those level lines follow by the rule
// the setting "RearrangeType" chooses (1 by Linear, 2 by Parent, 3 by Subdivision). Locked
// points are never written; the marks variants leave the lines marked in ColumnMarks or RowMarks
// alone.
#include <cstdint>

#include "shape/model/ShapeRecord.h"

namespace shape {

// The subdivision's work block: offsets -3..3 from a level point, element [a + 3][b + 3] for
// column offset a and row offset b.
using TSubdivBlock = TDbl3D[7][7];
// A 3 x 3 block of points, [a][b] for column a and row b.
using TDbl3DBlock3 = TDbl3D[3][3];

// Dispatchers by "RearrangeType"; nothing when "Edit Level" is 1.
void RelocateToLod(TCS& cs);
void RelocateToLodColumnMarks(TCS& cs);
void RelocateToLodRowMarks(TCS& cs);

// The whole-grid rules (L from the setting "Edit Level").
void RelocateLinear(TCS& cs);
void RelocateByParent(TCS& cs);
void RelocateLinearColumnMarks(TCS& cs);
void RelocateByParentColumnMarks(TCS& cs);
void RelocateLinearRowMarks(TCS& cs);
void RelocateByParentRowMarks(TCS& cs);
// Refines the grid round every selected level point (L from the setting).
void RelocateBySubdivision(TCS& cs);

// One row j.
void RelocateRowLinear(TCS& cs, int32_t row);
void RelocateRowByParent(TCS& cs, int32_t row);
void RelocateRowBySubdivision(TCS& cs, int32_t level, int32_t row);

// ScratchGrid := the CPMaxI x CPMaxJ points.
void CopyToScratchGrid(const TCS& cs);
// A ScratchGrid point with the indices brought into the grid: columns wrap modulo CPMaxI - 1
// (a plane clamps them), rows wrap modulo CPMaxJ - 1 on a torus (the other types clamp them).
void ScratchPointWrapped(const TCS& cs, int32_t column, int32_t row, TDbl3D& point);
// The same wrapping; where a clamping type would clamp, an index outside the grid becomes -1.
void WrapGridIndex(const TCS& cs, int32_t& column, int32_t& row);

// One Catmull-Clark refinement step about the centre of a 3 x 3 block.
void CatmullClarkCentre(const TDbl3DBlock3& p, TDbl3DBlock3& out);
// Half-spacing refinement of 3 x 3 level points into the work block (offsets -1..1).
void SubdivideBlock2(const TDbl3DBlock3& level, TSubdivBlock& work);
// Quarter-spacing refinement of 3 x 3 level points into the work block (offsets -3..3).
void SubdivideBlock4(const TDbl3DBlock3& level, TSubdivBlock& work);

}  // namespace shape
