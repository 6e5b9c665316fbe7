#include "shape/PictureResample.h"

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RastovaProc.h"
#include "shape/PictureFiles.h"

namespace shape {

void ResamplePictureLanczos3(rv::TRVBitmap& bitmap, int32_t width, int32_t height) {
  rv::TRastovaProc proc;
  proc.SetAttachedRVBitmap(&bitmap);
  proc.Resample(width, height, rv::rfLanczos3);
  if (bitmap.GetWidth() != width || bitmap.GetHeight() != height)
    throw EPictureLoadError("The picture could not be resampled");
}

}  // namespace shape
