#pragma once
// Turning images: by any angle to the nearest pixel or with bilinear or bicubic
// interpolation, by three shears with blended pixels, by exact quarter and half turns, and
// mirroring left-right or top-bottom. A positive angle (degrees) turns the picture
// counter-clockwise as seen on screen (row 0 is the top row).
//
// The nearest-pixel routines, the exact turns and the flips handle every pixel format of the
// image buffer; the interpolating and shearing routines work on the formats they name.
#include <cstdint>

#include "rastova/core/RVDefs.h"
#include "rastova/core/RVProgress.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;

// True when the angle has no fractional part and its integer part is a multiple of 90.
bool IsMultipleOf90(double angle);

// ---- any angle, nearest pixel or interpolated

// Turns the bitmap in place into its enlarged bounding size, nearest pixel; uncovered areas
// take `background` (a value in the bitmap's format as TRVBitmap::Fill takes it; 1-bit
// images always get 0). The alpha channel is left as it is.
void RotateBitmapNearest(TRVBitmap& bitmap, double background, void* sender,
                         const TRVProgressEvent& onProgress, double angle);
// Writes the turned source into `dest`, which it sizes itself. Whole multiples of 90 degrees
// are exact turns (0 copies the source).
void RotateBitmapTo(TRVBitmap& source, TRVBitmap& dest, double background, void* sender,
                    const TRVProgressEvent& onProgress, double angle);
// 24-bit RGB turned in place with interpolation: quality 1 bilinear, 2 bicubic; uncovered
// areas take `background` (a TColor). Other formats are left unchanged.
void RotateInterpolated24(TRVBitmap& bitmap, TColor background, int32_t quality, void* sender,
                          const TRVProgressEvent& onProgress, double angle);
// The same for an 8-bit grey image (an alpha channel), with a grey background level.
void RotateInterpolatedGray(TRVBitmap& bitmap, uint8_t background, int32_t quality, double angle);

// ---- three shears, exact turns, flips

// Three-shear rotation of an rv24RGB image in place, blending neighbours with 12-bit weights:
// the first shear blends only when `antialias` is set, the second and third always do;
// `background` is a packed RGB value. An rv1g image is turned by
// RotateBWNearest instead (background bit 1 when all three channels are non-zero).
void RotateShear24(TRVBitmap& bitmap, double angle, bool antialias, uint32_t background,
                   const TRVProgressEvent& onProgress, void* sender);
// The same for rv8g and rv8p images with a background byte; other formats are left unchanged.
void RotateShear8(TRVBitmap& bitmap, double angle, bool antialias, uint8_t background,
                  const TRVProgressEvent& onProgress, void* sender);
// Nearest-pixel rotation of an rv1g image (background bit) and of an 8-bit image (rv8g or
// rv8p, background byte); other formats are left unchanged.
void RotateBWNearest(TRVBitmap& bitmap, bool background, const TRVProgressRec& progress, double angle);
void RotateGrayNearest(TRVBitmap& bitmap, uint8_t background, double angle);

// Turns the image and its alpha channel in place by `degrees` (nothing for 0): rv24RGB and
// rv1g images by RotateShear24, rv8g and rv8p by RotateShear8 over the background's grey
// level, other formats by RotateBitmapNearest over the background in their own format. The
// alpha channel turns the same way over 0, so that it keeps the image's size.
void RotateBitmap(TRVBitmap& bitmap, bool antialias, const TRVProgressEvent& onProgress, void* sender,
                  const TRGB& background, double degrees);

// Quarter turns into `dest` (allocated H x W in the source's format): counter-clockwise puts
// source pixel (x, y) at (y, W - 1 - x), clockwise at (H - 1 - y, x). The 24 and 8 forms
// take 3-byte and 1-byte pixels; the general forms take any pixel format.
void Rotate90CW24(TRVBitmap& source, TRVBitmap& dest);
void Rotate90CCW24(TRVBitmap& source, TRVBitmap& dest);
void Rotate90CW8(TRVBitmap& source, TRVBitmap& dest);
void Rotate90CCW8(TRVBitmap& source, TRVBitmap& dest);
void Rotate90CW(TRVBitmap& source, TRVBitmap& dest);
void Rotate90CCW(TRVBitmap& source, TRVBitmap& dest);
// Half turn into `dest` (same size and format).
void Rotate180(TRVBitmap& source, TRVBitmap& dest);

// Direction 0 mirrors left and right, 1 turns the image upside down; the alpha channel is
// flipped the same way.
void FlipBitmap(TRVBitmap& bitmap, int32_t direction);

// Turns an image upright for an EXIF orientation value (1 to 8; other values do nothing),
// alpha channel included: 2 mirror, 3 half turn, 4 upside down, 5 transpose (mirror about
// the main diagonal), 6 quarter turn clockwise, 7 transverse (mirror about the other
// diagonal), 8 quarter turn counter-clockwise.
void ApplyEXIFOrientation(TRVBitmap& bitmap, int32_t orientation);

}  // namespace rv
