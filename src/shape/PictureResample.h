#pragma once
// Resampling of loaded pictures through the image library's processing component. Kept apart
// from the I/O front end's headers so that each translation unit sees only one of the library's
// two progress-event declarations.
#include <cstdint>

namespace rv {
class TRVBitmap;
}

namespace shape {

// Scales `bitmap` (alpha channel included) to width x height with the Lanczos filter of radius
// 3. Throws EPictureLoadError when the image does not come out at that size.
void ResamplePictureLanczos3(rv::TRVBitmap& bitmap, int32_t width, int32_t height);

}  // namespace shape
