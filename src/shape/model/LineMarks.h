#pragma once
// Line marks (one byte per grid column or row) and the queries on runs of selected points.
//
// Mark values: 0 unmarked, 1 marked; the editors also store 2 for the current line and 3 and 4
// for lines shown in other colours (those are only displayed).
#include <array>
#include <cstdint>

#include "shape/model/ShapeRecord.h"

namespace shape {

using TLineMarks = std::array<uint8_t, kGridMax>;

// The marks the current editor publishes for the texture overlay and the relocation; all 1 at
// start.
extern TLineMarks ColumnMarks;
extern TLineMarks RowMarks;

void FillLineMarks(TLineMarks& marks, uint8_t value);
// Entry i := 1 when (i div n) is even, else 0: runs of n marked and n unmarked lines.
void MarkLineRuns(TLineMarks& marks, int32_t n);
// 0 becomes 1 and 1 becomes 0; other values stay.
void InvertLineMarks(TLineMarks& marks);
void CopyLineMarks(const TLineMarks& source, TLineMarks& target);
// 1 becomes 0, any other value becomes 1.
void ToggleLineMark(uint8_t& entry);
// The non-zero entries among indices 0..n.
int32_t CountLineMarks(const TLineMarks& marks, int32_t n);
// index := restart when it equals bound, else index + step.
void StepLineIndex(int32_t& index, int32_t step, int32_t bound, int32_t restart);

// The selected points of column i over rows 0..CPMaxJ - 1: their number and the lowest and
// highest such row (-1 and -1 when none).
void SelectedSpanInColumn(const TCS& cs, int32_t i, int32_t& count, int32_t& first, int32_t& last);
// True when the selected points of column i, over rows 0..CPMaxJ - 2 taken cyclically, form
// exactly one run from `start` to `end`. A wholly selected or unselected column gives false.
bool SingleRunInColumn(const TCS& cs, int32_t i, int32_t& start, int32_t& end);
// The same along row j over columns 0..CPMaxI - 2.
bool SingleRunInRow(const TCS& cs, int32_t j, int32_t& start, int32_t& end);

}  // namespace shape
