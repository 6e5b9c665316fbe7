#pragma once
// The point clipboard: a rectangular block of points moved between shapes (or within one) under
// the private format "DURIM_ZEPHOR_FORMAT". Copy takes the box around the selection, its
// unselected points stored as holes; Paste lays the block over the current selection's box,
// wrapping across the seams of the stitch type, and leaves locked points alone.
//
// The block's bytes, little-endian: width w and height h (signed 32-bit), then w x h points of
// three 64-bit doubles x, y, z, row by row from the block's first row; a hole is (-100, 0, 0).
// The transport is the IClipboard that a start-up step installs (platform/ui), so the block
// codec and the paste rules work and test without a window system.
#include <cstdint>
#include <vector>

#include "platform/ui/Clipboard.h"
#include "shape/model/ShapeRecord.h"

namespace shape {

inline constexpr char kPointClipboardFormatName[] = "DURIM_ZEPHOR_FORMAT";
// The x of a hole.
constexpr double kClipHoleX = -100.0;

// A block of points: element r * Width + c is block row r, column c.
struct TBitmapClip {
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<TDbl3D> Points;
};

// Start-up step: the clipboard Copy and Paste use, and the private format registered on it.
// Without one (nullptr) Copy does nothing and nothing can be pasted.
void RegisterPointClipboardFormat(platform::IClipboard* clipboard);

// The box of the selected points over the unique columns (all on a plane) and rows (the torus's
// last row left out). With nothing selected: lastColumn -1, firstColumn CPMaxI, firstRow CPMaxJ.
void SelectionBox(const TCS& cs, int32_t& firstColumn, int32_t& lastColumn, int32_t& firstRow,
                  int32_t& lastRow);

// The selection's box as a block (0 x 0 with nothing selected).
TBitmapClip CopySelectionBlock(const TCS& cs);
std::vector<uint8_t> EncodePointBlock(const TBitmapClip& block);
// False (and `block` empty) unless width and height are 1 to 257 and the bytes hold every point.
bool DecodePointBlock(const std::vector<uint8_t>& bytes, TBitmapClip& block);
// Pastes the block over the selection's box: the selection is cleared, every point of the block
// that is no hole and lands on an unlocked point is written and selected; then the clamp and the
// count. With nothing selected nothing changes.
void PastePointBlock(TCS& cs, const TBitmapClip& block);

// Puts the selection's block on the clipboard; nothing when nothing is selected.
void CopyPointsToClipboard(const TCS& cs);
// Whether the clipboard offers the private format.
bool CanPastePoints();
// The clipboard's block: false (and `block` empty) when the clipboard offers none or the block
// is refused by DecodePointBlock.
bool ReadPointsFromClipboard(TBitmapClip& block);
// Reads the clipboard's block (a damaged one counts as empty) and pastes it.
void PastePointsFromClipboard(TCS& cs);

}  // namespace shape
