#pragma once
// The tables and records the renderer of RVRender.cpp shares with its callers: the row table
// of a destination, the index tables of one geometry, the clip rectangle and the arguments of
// the per-format row renderers. Kept apart so that the image buffer's header needs nothing more.
#include <cstdint>
#include <vector>

namespace rv {

class TRVBitmap;
enum TRVRenderOperation : uint8_t;

// One address per destination row, top row first.
using TRVRowTable = std::vector<uint8_t*>;
// XTable: the source column of every rendered destination column (from the first rendered
// one); YTable: the source row of every rendered destination row. An empty table asks the
// renderer to build it.
using TRVIndexTable = std::vector<int32_t>;

// Destination coordinates, corners included.
struct TRVClipRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// The arguments of the row renderers (TRVBitmap::RenderRows_* and RenderRowsAlpha_*).
struct TRVRenderRowsArgs {
  uint8_t* const* RowTable = nullptr;  // Dest height entries
  TRVBitmap* Dest = nullptr;
  TRVRenderOperation RenderOperation{};
  bool RowRepeat = false;
  int32_t YStep = 16384, XStep = 16384;  // 2.14 fixed point, 16384 = 1:1
  int32_t LastRow = -1, FirstRow = 0, LastCol = -1, FirstCol = 0;
  int32_t yDst = 0, xDst = 0, ySrc = 0, xSrc = 0;
  // Source row of destination row FirstRow + i and source column of FirstCol + i, both inside
  // the source. Both nullptr for the 1:1 block copy of a 24-bit source, whose source pixel of
  // (x, y) is (x + xSrc - xDst, y + ySrc - yDst).
  const int32_t* YTable = nullptr;
  const int32_t* XTable = nullptr;
  // Alpha variants only: whether the source's alpha channel is used, and the global
  // transparency (0..255, 255 opaque).
  bool UseAlpha = false;
  int32_t Transparency = 255;
};

}  // namespace rv
