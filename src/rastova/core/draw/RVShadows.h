#pragma once
// Drop shadows of the image view's frame: the strips right of and below an image on a canvas,
// and a soft shadow blurred around an image rectangle of a bitmap.
//
// The strips take their rectangle X1, Y1, X2, Y2 with edges included (w = X2 - X1 + 1 wide,
// h = Y2 - Y1 + 1 high). Only pixels on the canvas (or on Bitmap) are visited, so a strip far
// larger than the canvas costs no more than the canvas; an empty strip paints nothing.
#include <cstdint>

namespace platform {
class TBitmap;
class TCanvas;
}  // namespace platform

namespace rv {

// The strip right of an image, by Style:
// 1 fills X1 .. X2 - 1 by Y1 + w .. Y2 with the canvas's brush (the strip starts w pixels lower
//   than the image's top);
// 2 darkens column X1 + g (g = 0 .. w - 1) from row Y1 + w to Y2 + g - w + 3 by
//   exp(-0.1 - t^2 / 6) with t = (w - g) / (w / 3): about 0.2 next to the image, 0.9 at the far
//   side. Each byte is multiplied and truncated, in Bitmap's rows where Bitmap is given (24 or
//   32 bits) and holds the pixel, else through the canvas;
// 3 paints a grey gradient: row Y1 + i (i = 0 .. h) has v = trunc(exp((h - 3 i) / h) / e x 255),
//   clamped to 0 .. 255, and from column X1 + k to X1 + w, where k counts the rows past
//   h - w + 1, each pixel is max(v, trunc(exp(j / w) / e x 255)) at column offset j;
// any other style paints nothing.
void DrawVerticalShadow(platform::TCanvas& Canvas, platform::TBitmap* Bitmap, int32_t X1, int32_t Y1,
                        int32_t X2, int32_t Y2, uint8_t Style);
// The strip below an image: the same styles with rows and columns exchanged (style 1 fills
// X1 + h .. X2 by Y1 .. Y2 - 1; style 2 darkens row Y1 + g from column X1 + h to X2 + g - h + 1).
void DrawHorizontalShadow(platform::TCanvas& Canvas, platform::TBitmap* Bitmap, int32_t X1, int32_t Y1,
                          int32_t X2, int32_t Y2, uint8_t Style);

// Darkens the 24-bit (or 32-bit) bitmap around the image X1 .. X2 - 1 by Y1 .. Y2 - 1, five
// pixels out on every side: the rectangle X1 .. X2 + 2 by Y1 .. Y2 + 2 is drawn white on black,
// blurred with sigma 2.5, and each byte outside the image becomes trunc(byte x (1 - s / 255)) for
// the blurred value s. The image itself is left untouched. Only the part of the shadow on the
// bitmap is computed.
void DrawSoftShadow(platform::TBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);

}  // namespace rv
