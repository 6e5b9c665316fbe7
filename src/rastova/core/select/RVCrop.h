#pragma once
// Cropping: the component's members (TRastovaProc::Crop, CropToRect, CropToOpaqueArea) live in
// RVCrop.cpp beside the search for the opaque area they use.
#include "platform/gfx/Types.h"

namespace rv {

class TRVBitmap;

// The box of the pixels whose alpha is not 0, corners included: Left and Top the first column
// and row holding such a pixel, Right and Bottom the last. Without an alpha channel the whole
// image (0, 0, width - 1, height - 1); with one that is 0 everywhere the inverted box
// (width, height, -1, -1).
void GetOpaqueBounds(TRVBitmap& bitmap, platform::TRect& rect);

}  // namespace rv
