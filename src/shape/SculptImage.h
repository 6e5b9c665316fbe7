#pragma once
// Sculpt maps on disk: the shape's grid rendered as coloured squares into a 32-bit colour image
// with an 8-bit alpha image and stored through SaveImageWithAlpha (a grid of more than 1024 quads
// as several numbered maps, optionally with a text list of their scales), and any picture the
// image library opens read back into the grid.
#include <cstdint>
#include <string>
#include <vector>

#include "shape/model/ShapeRecord.h"

namespace platform {
class TBitmap;
}

namespace shape {

// Fills the shape from the picture: the grid size from its aspect ratio and width, the points
// decoded from its pixels, the stitch type detected (or forced by 0..3) and the seams restored.
// Selection, locks, groups, Count, DP and the warp frames are not touched. A picture that cannot
// be loaded or used makes the shape the default 33 x 33 sphere (ResetDefaultShape); the result
// then is false.
// `problem`, when given, tells why a picture that loaded could not be used (its size).
bool ReadSculptImage(TCS& cs, const std::string& fileName, int32_t forcedType, std::string* problem = nullptr);

// Writes the shape as one sculpt map or as the parts of a divided map (and the text list when
// "Output text for KELPO" is on). For a single map `fileName` comes back as the name written.
// True when every file was written; a part that fails does not stop the others.
bool WriteSculptMap(const TCS& cs, std::string& fileName);

// The files WriteSculptMap writes for `fileName` (with ".tga"), before any renaming: the map,
// or the numbered parts and, with "Output text for KELPO", the text list.
std::vector<std::string> SculptMapFileNames(const TCS& cs, const std::string& fileName);

// Loads the picture into `bitmap` (32 bits per pixel, the picture's size; alpha ignored).
// 1 when it is a Targa picture whose author text is exactly "DURIM PROJECT" (the earlier
// decoding), 0 otherwise, -1 when the picture could not be loaded.
int32_t LoadSculptPicture(const std::string& fileName, platform::TBitmap& bitmap);

// The two images of a map of `columnCells` x `rowCells` grid cells, `cell` pixels each:
// colour (32 bits per pixel) and alpha (8 bits, all 255, or all 0 with "SculptTransparent").
void CreateSculptBitmaps(int32_t columnCells, int32_t rowCells, int32_t cell, platform::TBitmap& color,
                         platform::TBitmap& alpha);

// Paints the block of `columns` x `rows` points from (firstColumn, firstRow) into the colour
// image: grid row firstRow + rows - 1 - y in image row y, each point a square of `cell` pixels
// centred on (i * cell, y * cell), in the plain encoding or ("Auto Maximize") the box encoding of
// the block. Indices beyond the shape's grid are clamped to its last column and row. Returns the
// block's description (scale text and stitch type).
std::string RenderSculptBlock(platform::TBitmap& color, int32_t cell, int32_t firstColumn, const TCS& cs,
                              int32_t rows, int32_t columns, int32_t firstRow);

// Pixels per grid cell of written maps: "TgaSize" div 32 (2 or 4).
int32_t SculptCellSize();

}  // namespace shape
