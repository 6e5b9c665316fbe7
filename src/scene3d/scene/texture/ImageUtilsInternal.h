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

}  // namespace gl3d::image_utils_detail
