#pragma once
// What the conversion and the resampling parts of ImageUtils share. Not for use elsewhere.
#include <cstdint>
#include <memory>

#include "scene3d/scene/texture/ImageUtils.h"

namespace gl3d::image_utils_detail {

// The reader and the writer of a data type's row, or the routines raising
// "Unimplemented type of conversion" when the table has none.
TPixelReader ReaderFor(uint32_t dataType);
TPixelWriter WriterFor(uint32_t dataType);
// width x height working pixels (sides below 1 count as 1), not cleared; std::bad_alloc when the
// count cannot be represented.
std::unique_ptr<TWorkPixel[]> AllocateWork(int64_t width, int64_t height);
// Bytes of one pixel of a plain or packed layout the table reads; 0 for block formats and for
// layouts it does not know.
int64_t PixelBytes(uint32_t colorFormat, uint32_t dataType);
// Whether blocks of the two byte sizes at the two addresses share no byte.
bool BlocksApart(const void* a, int64_t aBytes, const void* b, int64_t bBytes);
// Pixels a working strip holds when work goes a strip of rows at a time (256 KiB of working
// pixels), and the rows of such a strip for a width (at least one).
constexpr int64_t kStripPixels = 16384;
int32_t StripRows(int32_t width);

}  // namespace gl3d::image_utils_detail
