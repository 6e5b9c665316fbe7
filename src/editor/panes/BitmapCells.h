#pragma once
// The sculpt-image editor's operations on the shape record (TScBitmap in ScBitmap.h): the
// selection of a band of cells with the seam duplicates of each stitch type, the nudge of the
// selected points and typed channel values. Needs nothing of the window system (it builds and
// is tested without one).
#include <cstdint>

#include "shape/model/ShapeRecord.h"

namespace editor {

// Sets the selection flags of a band of the table to `Value`. Columns FirstColumn..LastColumn
// and rows FirstRow..LastRow are grid indices in order; -1 is the header (a first column of -1
// takes whole rows, a first row of -1 whole columns, both nothing), indices outside the grid
// are cut off. The seam duplicates the band reaches follow it by stitch type; then whole groups,
// the seam join (OR when Value, AND otherwise) and the count.
void SelectCellBand(shape::TCS& Shape, int32_t FirstColumn, int32_t LastColumn, int32_t FirstRow,
                    int32_t LastRow, bool Value);

// Every selected, unlocked point moves by (DX, DY, DZ) / 128; then the clamp.
void NudgePoints(shape::TCS& Shape, int32_t DX, int32_t DY, int32_t DZ);
// Every selected, unlocked point becomes ((Red - 127) / 128, (Green - 127) / 128,
// (Blue - 127) / 128); then the clamp.
void SetPointChannels(shape::TCS& Shape, int32_t Red, int32_t Green, int32_t Blue);

}  // namespace editor
