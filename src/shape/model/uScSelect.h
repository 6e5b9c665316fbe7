#pragma once
// Selection, lock and group masks, the seam joins of each stitch type, the count of selected
// points, the commit of an edit, the clamp to the sculpt-map range and the channel read-out.
#include <cstdint>
#include <cstring>

#include "shape/model/ShapeRecord.h"

namespace shape {

// Calls fn(i, j) for every set flag of the block columns x rows, in the order of the plain loops
// (columns outer, rows inner). Flags a call sets or clears ahead of the walk are seen as they
// are then. Eight unset flags in a row are passed over at once, so a sparse selection costs
// little more than a read of the flags.
template <typename Fn>
void ForEachSetFlag(const TASP256& flags, int32_t columns, int32_t rows, Fn fn) {
  for (int32_t i = 0; i < columns; ++i) {
    const bool* line = flags[i];
    int32_t j = 0;
    for (; j + 8 <= rows; j += 8) {
      uint64_t word;
      std::memcpy(&word, line + j, sizeof word);
      if (word == 0) continue;
      for (int32_t k = j; k < j + 8; ++k)
        if (line[k]) fn(i, k);
    }
    for (; j < rows; ++j)
      if (line[j]) fn(i, j);
  }
}

// Flag arrays (SP or RP): the block columns x rows only.
void FillPointFlags(TASP256& flags, int32_t columns, int32_t rows, bool value);
void InvertPointFlags(TASP256& flags, int32_t columns, int32_t rows);
// Make the seam duplicates of `flags` agree with the stitch type of `cs`, by OR (a duplicate set
// on either side sets both) or by AND (cleared on either side clears both).
void JoinSeamFlagsOr(const TCS& cs, TASP256& flags);
void JoinSeamFlagsAnd(const TCS& cs, TASP256& flags);
// RP := value for every selected point of the block.
void LockSelectedPoints(TCS& cs, int32_t columns, int32_t rows, bool value);
// CopySeams with column 0, then Count := the selected unique points (each seam duplicate once).
void CountSelectedPoints(TCS& cs);
// The mean of the selected unique points; the zero vector when none is selected.
TDbl3D SelectionCentroid(const TCS& cs);

// DP := CP over the block, then R0 := R1.
void CommitShapePoints(TCS& cs);
// DP and CP of the point differ in any coordinate.
bool PointMovedSinceCommit(const TCS& cs, int32_t i, int32_t j);
// Every coordinate of the block into [-0.9921875, 1.0]; NaN becomes -0.9921875.
void ClampShapePoints(TCS& cs);
// A coordinate as a sculpt-map channel value: 255 - nearest(128 - 128 c) (halves to even, of the
// exact value), not brought into 0..255; huge and infinite coordinates give the nearest end of
// the 32-bit range, NaN gives 255. The plain encoding of a written sculpt map is
// this value brought into 0..255 (shape/SculptCodec.h), so the editors' read-out always shows
// what a map would store.
int32_t CoordToChannelValue(double c);
// The three channel values (red from x, green from y, blue from z) of point (i, j).
void PointChannelValues(const TACP256& points, int32_t i, int32_t j, int32_t& red, int32_t& green,
                        int32_t& blue);

// Groups: ids 0, 1, 2, ...; -1 for none.
bool IsGroupIdFree(const TCS& cs, int32_t id);
int32_t NewGroupId(const TCS& cs);
void SetSelectedGroup(TCS& cs, int32_t id);
void UngroupSelected(TCS& cs);
void ClearGroups(TCS& cs);
// Every point of a group that has a point whose SP equals `value` gets SP := value.
void SelectWholeGroups(TCS& cs, bool value);

}  // namespace shape
