#pragma once
// The soft drop shadow of the image view's vector objects: the object's alpha, blurred and
// offset, becomes a shadow of one colour round the object.
#include <cstdint>

namespace rv {

class TRVBitmap;

// Draws the shadow of the object occupying left..right by top..bottom (corners included) into
// the bitmap's alpha channel (created, all opaque, when missing) and, for 1-bit and 24-bit
// images, into the pixels round the object. Returns the border the shadow may reach beyond the
// object: max(2 x the larger offset + Trunc(5 x radius), 1), the radius taken as 2 for the
// sizes when it is 0.
//
// The alpha is blurred inside the object's box grown by half the border (a radius of 0 blurs
// with the preset "Blur", any other with GaussianBlurGray at that sigma), and the blurred box is
// moved by the offsets, leaving 0 where it was. Then, for each pixel of the object's box grown
// by the border, with o the object's alpha from before and s the shadow's alpha:
// - o not 0, or o equal to s (the object): the alpha becomes o; in a 24-bit image a pixel with
//   0 < o < 255 is mixed over the shadow colour under it and takes the alpha of both;
// - otherwise (the shadow): a 1-bit pixel turns black; a 24-bit pixel takes the shadow colour
//   (packed red x 65536 + green x 256 + blue) and the alpha s / (3 - 2 x intensity / 100)
//   (intensity clamped to 0..100, so 100 keeps s); other formats keep their pixels.
// A radius that is NaN or below 0 counts as 0. Nothing is drawn on an empty image.
int32_t ApplySoftShadow(TRVBitmap& bitmap, int32_t horizontalOffset, int32_t verticalOffset, double radius,
                        int32_t intensity, uint32_t shadowColor, int32_t left, int32_t top, int32_t right,
                        int32_t bottom);

}  // namespace rv
