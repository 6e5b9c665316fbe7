#pragma once
// The pixel side of sculpt maps: how a coordinate becomes an 8-bit channel value and back, the
// grid sizes and sampling steps a picture can carry, and the scale text of a written block.
// Pure arithmetic over the shape record; the files themselves are in SculptImage.h.
//
// Colour words are the platform's: red in the low byte, then green, then blue.
#include <cstdint>
#include <string>

#include "shape/model/ShapeRecord.h"
#include "shape/model/uScSelect.h"  // CoordToChannelValue, the read-out the plain encoding clamps

namespace shape {

// Plain encoding: CoordToChannelValue(c) = 255 - nearest(128 - 128 c), brought into 0..255
// (coordinates outside the representable range [-0.9921875, 1.0] give the nearest end, never a
// wrapped value).
uint8_t EncodeChannel(double c);
// Red = x, green = y, blue = z in the plain encoding.
uint32_t EncodePointColor(const TDbl3D& p);
// Box encoding of one channel: t = (c - min) / (max - min) scaled to 0..254 ("MaximizeWithSymmetry"
// on) or 0..255 (off); 127 when min equals max. Values outside the box are brought into 0..255.
uint8_t EncodeChannelInBox(double min, double max, double c);
uint32_t EncodePointColorInBox(const TDbl3D& p, const TDbl3D& boxMax, const TDbl3D& boxMin);
// EncodePointColorInBox (`box` true) or EncodePointColor of `count` points into `colors`; the
// settings are read once for the whole row.
void EncodePointColors(const TDbl3D* points, int32_t count, bool box, const TDbl3D& boxMax,
                       const TDbl3D& boxMin, uint32_t* colors);

// The current decoding: (v - 127) / 128 per channel, red x, green y, blue z.
TDbl3D DecodePixel127(uint32_t color);
// The earlier decoding (Targa pictures whose author text is exactly "DURIM PROJECT"): x from
// green, y from red, each axis running the other way: (128 - v) / 128.
TDbl3D DecodePixel128(uint32_t color);

// Per-axis minimum (starting at 2.0) and maximum (starting at -2.0) over the block of `columns`
// columns from firstColumn and `rows` rows from firstRow.
void BlockBounds(const TACP256& points, int32_t firstColumn, int32_t firstRow, int32_t rows, int32_t columns,
                 TDbl3D& min, TDbl3D& max);
// "<X1,Y1,Z1>:<X2,Y2,Z2>" ("%1.8f" in FileFormatSettings) for a block with "Auto Maximize" on, by ObjectSize
// and the setting "MaximizeWithSymmetry".
std::string FormatScaleText(const TDbl3D& boxMax, const TDbl3D& boxMin);
// The scale text with "Auto Maximize" off.
inline constexpr char kUnscaledScaleText[] = "<0.0,0.0,0.0>:<1.0,1.0,1.0>";
// scale text + ":<0.0,0.0,0.0>:" + stitch type name.
std::string BlockDescription(const std::string& scaleText, const std::string& stitchTypeName);

// The grid a picture of that size carries: CPMaxI by the exact width / height ratio (1, 4, 16,
// 64, 1/4, 1/16, 1/64 give 33, 65, 129, 257, 17, 9, 5), CPMaxJ = 1024 div (CPMaxI - 1) + 1, and
// the sampling step: the first of 2, 4, 8, 16 with width = (CPMaxI - 1) * step. False for any
// other size (the caller falls back to the default shape).
bool SculptGridOfPicture(int32_t width, int32_t height, int32_t& cpMaxI, int32_t& cpMaxJ, int32_t& step);
// Every picture size SculptGridOfPicture accepts, as lines of "width x height" texts, one line
// per grid, the sizes separated by ", ".
std::string SculptMapSizesText();

// Where grid point (i, j) is read in a picture of that width and height sampled at `step`:
// grid row CPMaxJ - 1 from picture row 0 and row CPMaxJ - 1 - m from picture row m * step - 1;
// column i from picture column i * step and the last column from the picture's last column.
// Both are kept inside the picture.
int32_t SculptPictureColumn(int32_t i, int32_t cpMaxI, int32_t step, int32_t width);
int32_t SculptPictureRow(int32_t j, int32_t cpMaxJ, int32_t step, int32_t height);

}  // namespace shape
