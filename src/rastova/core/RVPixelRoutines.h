#pragma once
// Bit, row and numeric routines of the image library that complete those of RVUtils.h:
// bit-by-bit copies, inverting bytes and rows, comparing images, converting one row between
// bit depths, and rounding toward minus infinity.
#include <cstdint>

#include "rastova/core/RVDefs.h"

namespace rv {

class TRVBitmap;
class TRVQuantizer;

// Trunc(x) - 1 when the fractional part is negative, else Trunc(x) (saturating).
int32_t FloorToInt(long double x);

// Copies `bitCount` bits one at a time from bit `sourceBit` of `source` to bit `destBit` of
// `dest` (most significant bit first); nothing when the count is below 1 or an offset is
// negative.
void CopyBitsOneByOne(void* dest, const void* source, int64_t destBit, int64_t bitCount, int64_t sourceBit);
void InvertBytes(void* buffer, int64_t count);
// Every byte of every row (row padding included) inverted.
void InvertBitmapRows(TRVBitmap& bitmap);
// Same width, height and alpha presence, and equal rows (the row length of `a`) and alpha rows.
bool SameBitmaps(TRVBitmap& a, TRVBitmap& b);

// Converts one row of `pixelCount` pixels from `sourceBits` (1, 4, 8, 24 or 32) to `destBits`
// (1, 4, 8 or 24) and returns the destination size in bytes (0 for depths it does not know).
// Pixels go through the palette (1, 4 and 8 bits to 24) or the quantizer (24 bits to 4 or 8);
// a 4-bit destination is ORed into and must be cleared by the caller. Palette indices past
// `paletteCount` give black.
int32_t ConvertRowBitDepth(const uint8_t* source, uint8_t* dest, int32_t sourceBits, TRVQuantizer* quantizer,
                           int32_t paletteCount, const TRGB* palette, int32_t pixelCount, int32_t destBits);

}  // namespace rv
