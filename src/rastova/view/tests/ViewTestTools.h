#pragma once
// Helpers shared by the view library's tests.
#include "platform/gfx/Bitmap.h"

namespace rv::test {

// Sets every pixel of the bitmap to the colour.
inline void FillBitmap(platform::TBitmap& b, platform::TColor color) {
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) b.SetPixelColor(x, y, color);
}

}  // namespace rv::test
