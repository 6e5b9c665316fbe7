#pragma once
// The undo ring: 256 snapshots of the shape record, each holding only the block in use.
#include <cstdint>
#include <vector>

#include "shape/model/ShapeRecord.h"

namespace shape {

constexpr int32_t kUndoSlots = 256;

// One snapshot. The arrays hold CPMaxI * CPMaxJ entries, point (i, j) at index i + j * CPMaxI.
struct TUbufState {
  TScType ScType = SCTYPE_SPHERE;
  int32_t CPMaxI = 0;
  int32_t CPMaxJ = 0;
  int32_t Count = 0;
  TRengeD R0{};
  TRengeD R1{};
  std::vector<TDbl3D> CP;
  std::vector<TDbl3D> DP;
  std::vector<uint8_t> SP;
  std::vector<uint8_t> RP;
  std::vector<int32_t> GP;
};

struct TUBuf {
  int32_t Current = 0;              // the slot that matches the shape being edited
  int32_t Newest = 0;               // the slot written last
  int32_t States[kUndoSlots] = {};  // 0 empty, 1 filled
  TUbufState Slots[kUndoSlots];
};

// Empties the ring and stores the shape in slot 0.
void UndoInit(TUBuf& ring, const TCS& cs);
// Stores the shape in the slot after the current one, unless it equals the current snapshot.
// DP, R0 and every field of R1 but its pivot take no part in that comparison.
void UndoPush(TUBuf& ring, const TCS& cs);
bool CanUndo(const TUBuf& ring);
// Steps back one slot and restores it into the shape (with SetGridSize); nothing when CanUndo
// is false.
void Undo(TUBuf& ring, TCS& cs);
bool CanRedo(const TUBuf& ring);
// Steps forward one slot and restores it; nothing when CanRedo is false.
void Redo(TUBuf& ring, TCS& cs);

}  // namespace shape
