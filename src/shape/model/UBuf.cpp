#include "shape/model/UBuf.h"

#include <algorithm>
#include <cstddef>

#include "shape/model/uScPrim.h"

namespace shape {

namespace {

// The record keeps a column contiguous, a snapshot a row; the copies go in bands of columns so
// that both sides are read and written in runs.
constexpr int32_t kBand = 8;

template <typename R, typename S>
void Gather(const R (&rec)[kGridMax][kGridMax], std::vector<S>& out, int32_t maxI, int32_t maxJ) {
  out.resize(static_cast<size_t>(maxI) * static_cast<size_t>(maxJ));
  S* dst = out.data();
  for (int32_t i0 = 0; i0 < maxI; i0 += kBand) {
    const int32_t i1 = std::min(maxI, i0 + kBand);
    for (int32_t j = 0; j < maxJ; ++j) {
      S* row = dst + static_cast<ptrdiff_t>(j) * maxI;
      for (int32_t i = i0; i < i1; ++i) row[i] = static_cast<S>(rec[i][j]);
    }
  }
}

template <typename R, typename S>
void Scatter(const std::vector<S>& in, R (&rec)[kGridMax][kGridMax], int32_t maxI, int32_t maxJ) {
  const S* src = in.data();
  for (int32_t i0 = 0; i0 < maxI; i0 += kBand) {
    const int32_t i1 = std::min(maxI, i0 + kBand);
    for (int32_t j = 0; j < maxJ; ++j) {
      const S* row = src + static_cast<ptrdiff_t>(j) * maxI;
      for (int32_t i = i0; i < i1; ++i) rec[i][j] = static_cast<R>(row[i]);
    }
  }
}

inline bool Differs(bool a, uint8_t b) { return a != (b != 0); }
inline bool Differs(int32_t a, int32_t b) { return a != b; }
// Exact comparison of each coordinate (so 0 equals -0, and a NaN never equals anything).
inline bool Differs(const TDbl3D& a, const TDbl3D& b) { return a[0] != b[0] || a[1] != b[1] || a[2] != b[2]; }

template <typename R, typename S>
bool BlockDiffers(const R (&rec)[kGridMax][kGridMax], const std::vector<S>& snap, int32_t maxI,
                  int32_t maxJ) {
  const S* src = snap.data();
  for (int32_t i0 = 0; i0 < maxI; i0 += kBand) {
    const int32_t i1 = std::min(maxI, i0 + kBand);
    for (int32_t j = 0; j < maxJ; ++j) {
      const S* row = src + static_cast<ptrdiff_t>(j) * maxI;
      for (int32_t i = i0; i < i1; ++i)
        if (Differs(rec[i][j], row[i])) return true;
    }
  }
  return false;
}

void Snapshot(const TCS& cs, TUbufState& s) {
  s.ScType = cs.ScType;
  s.CPMaxI = cs.CPMaxI;
  s.CPMaxJ = cs.CPMaxJ;
  s.Count = cs.Count;
  Gather(cs.RP, s.RP, cs.CPMaxI, cs.CPMaxJ);
  Gather(cs.SP, s.SP, cs.CPMaxI, cs.CPMaxJ);
  Gather(cs.CP, s.CP, cs.CPMaxI, cs.CPMaxJ);
  Gather(cs.DP, s.DP, cs.CPMaxI, cs.CPMaxJ);
  Gather(cs.GP, s.GP, cs.CPMaxI, cs.CPMaxJ);
  s.R1 = cs.R1;
  s.R0 = cs.R0;
}

void Restore(const TUbufState& s, TCS& cs) {
  cs.ScType = s.ScType;
  cs.CPMaxI = s.CPMaxI;
  cs.CPMaxJ = s.CPMaxJ;
  cs.Count = s.Count;
  Scatter(s.RP, cs.RP, s.CPMaxI, s.CPMaxJ);
  Scatter(s.SP, cs.SP, s.CPMaxI, s.CPMaxJ);
  Scatter(s.CP, cs.CP, s.CPMaxI, s.CPMaxJ);
  Scatter(s.DP, cs.DP, s.CPMaxI, s.CPMaxJ);
  Scatter(s.GP, cs.GP, s.CPMaxI, s.CPMaxJ);
  cs.R1 = s.R1;
  cs.R0 = s.R0;
}

// DP, R0 and R1 apart from its pivot are left out on purpose: an edit that only changes them
// leaves no undo step.
bool ShapeDiffers(const TCS& cs, const TUbufState& s) {
  if (cs.ScType != s.ScType || cs.CPMaxI != s.CPMaxI || cs.CPMaxJ != s.CPMaxJ || cs.Count != s.Count)
    return true;
  if (BlockDiffers(cs.RP, s.RP, cs.CPMaxI, cs.CPMaxJ)) return true;
  if (BlockDiffers(cs.SP, s.SP, cs.CPMaxI, cs.CPMaxJ)) return true;
  if (BlockDiffers(cs.GP, s.GP, cs.CPMaxI, cs.CPMaxJ)) return true;
  if (BlockDiffers(cs.CP, s.CP, cs.CPMaxI, cs.CPMaxJ)) return true;
  return cs.R1.rp[0] != s.R1.rp[0] || cs.R1.rp[1] != s.R1.rp[1];
}

int32_t Next(int32_t slot) { return (slot + 1) % kUndoSlots; }
int32_t Prev(int32_t slot) { return (slot + kUndoSlots - 1) % kUndoSlots; }

}  // namespace

void UndoInit(TUBuf& ring, const TCS& cs) {
  std::fill(std::begin(ring.States), std::end(ring.States), 0);
  ring.Current = 0;
  ring.Newest = 0;
  Snapshot(cs, ring.Slots[0]);
  ring.States[0] = 1;
}

void UndoPush(TUBuf& ring, const TCS& cs) {
  if (ring.States[ring.Current] == 1 && !ShapeDiffers(cs, ring.Slots[ring.Current])) return;
  ring.Current = Next(ring.Current);
  ring.Newest = ring.Current;
  Snapshot(cs, ring.Slots[ring.Current]);
  ring.States[ring.Current] = 1;
}

bool CanUndo(const TUBuf& ring) {
  const int32_t p = Prev(ring.Current);
  return p != ring.Newest && ring.States[p] == 1;
}

void Undo(TUBuf& ring, TCS& cs) {
  if (!CanUndo(ring)) return;
  ring.Current = Prev(ring.Current);
  Restore(ring.Slots[ring.Current], cs);
  SetGridSize(cs);
}

bool CanRedo(const TUBuf& ring) { return ring.Current != ring.Newest; }

void Redo(TUBuf& ring, TCS& cs) {
  // The slot ahead may still be marked filled after a push cut the redo chain; only the chain up
  // to the newest slot can be stepped through.
  if (!CanRedo(ring)) return;
  const int32_t n = Next(ring.Current);
  if (ring.States[n] != 1) return;
  ring.Current = n;
  Restore(ring.Slots[ring.Current], cs);
  SetGridSize(cs);
}

}  // namespace shape
