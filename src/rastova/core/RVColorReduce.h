#pragma once
// Colour routines that the image library shares: grey conversion, reduction of a 24-bit
// image to a palette or to black and white (ordered dither or threshold), detection of
// two-colour images, the average colour, HSL conversions, a 3 x 3 convolution of grey images
// and small colour constructors.
#include <cstdint>
#include <memory>

#include "rastova/core/RVDefs.h"
#include "rastova/core/RVProgress.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;
class TRVPlatformBitmap;

// Nine coefficients row by row (the row above the pixel first, left to right), then the divisor.
struct TFilter3x3 {
  int32_t Values[9] = {};
  int32_t Divisor = 1;
};
static_assert(sizeof(TFilter3x3) == 40);

// The 8 x 8 ordered-dither matrix, indexed [x mod 8][y mod 8].
extern const uint8_t OrderedDitherMatrix[8][8];
// Entry n: the 8 pixels of byte n (most significant bit first) as 3-byte black or white pixels.
const uint8_t (&BWExpandTable())[256][24];

// Grey level of every pixel of [x1, min(x2, width)) x [y1, min(y2, height)) of an rv24RGB
// image, written to all three channels. Other formats are left alone.
void ConvertRectToGray(TRVBitmap& bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                       const TRVProgressEvent& onProgress, void* sender);
// Quantizes an rv24RGB image in place to `numColors` colours (the image stays 24-bit); the
// palette, when given, receives the `numColors` entries.
void QuantizeBitmap(TRVBitmap& bitmap, int32_t numColors, TRGB* palette, void* sender,
                    const TRVProgressEvent& onProgress);
// rv24RGB to rv1g by the ordered dither, and by a threshold (-1: the grey level of the
// average colour, -2: automatic). The alpha channel stays; other formats are left alone.
void DitherTo1Bit(TRVBitmap& bitmap, TRVProgressRec& progress);
void BinarizeByThreshold(TRVBitmap& bitmap, int32_t threshold, TRVProgressRec& progress);
// BinarizeByThreshold under the name the image buffer calls it by.
void ThresholdTo1BitInPlace(TRVBitmap& bitmap, int32_t threshold, TRVProgressRec& progress);
// A new rv1g image when the image has exactly two colours (bit 0 the darker one, returned as
// color0), else nullptr.
std::unique_ptr<TRVBitmap> TwoColorBitmapTo1Bit(TRVBitmap& bitmap, TRGB& color0, TRGB& color1);
// The average colour, each channel 0..255 (128, 128, 128 when the pixels cannot be read).
void AverageRGB(TRVBitmap& bitmap, int32_t& r, int32_t& g, int32_t& b);
// Writes a 1-bit platform bitmap into `dest` as a pf24bit one of the same size.
void Expand1BitBitmap(TRVPlatformBitmap& source, TRVPlatformBitmap& dest, TRVProgressRec& progress);
// Expand1BitBitmap under the name the image buffer calls it by.
void TBitmap1To24(TRVPlatformBitmap& source, TRVPlatformBitmap& dest, TRVProgressRec& progress);

// Hue, saturation and lightness in 0..1.
void RGBToHSL(double& h, double& s, double& l, const TRGB& colour);
void HSLToRGB(TRGB& colour, double h, double s, double l);
double HueToRGB(double h, double m2, double m1);

// 3 x 3 filter over [x1, x2) x [y1, y2) of an rv8g image; neighbours outside the image are
// taken from its nearest edge; each result is |sum| div divisor, clamped to 0..255.
void Convolve3x3Gray(TRVBitmap& bitmap, const TFilter3x3& filter, int32_t x1, int32_t y1, int32_t x2,
                     int32_t y2);

// Gaussian blur of the rectangle left..right by top..bottom (inclusive, clamped into the image)
// of an rv8g image, in place: rows first, then columns. Weights g(k) = exp(-(k/sigma)^2 / 2)
// for k in -100..100, scaled to 65536 in all and rounded (halves to even); the radius is the
// largest |k| whose weight on either side is not 0 (at least 1). Samples beyond the rectangle's
// ends repeat the end sample; each result is (sum + 32768) >> 16. Nothing for other formats or
// a sigma that is not above 0 (NaN included).
void GaussianBlurGray(TRVBitmap& bitmap, int32_t left, int32_t top, int32_t right, int32_t bottom, double sigma);
// The same under the name and argument order the image buffer's shadows call it by.
void BlurGreyBitmap(TRVBitmap& bitmap, int32_t x1, int32_t y1, double radius, int32_t y2, int32_t x2);
namespace testing {
// When set, GaussianBlurGray takes its path for processors without AVX2 on every processor.
extern bool BlurWithoutAvx2;
}  // namespace testing

// A resolved TColor (system colours too) as alpha x 2^24 + R x 65536 + G x 256 + B.
uint32_t ColorToARGB(TColor color, uint8_t alpha);

}  // namespace rv
