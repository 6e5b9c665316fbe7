#pragma once
// The resampling engine: the kernel filters, the fixed-point weight lists, the two-pass
// kernel resampler (horizontal pass on worker threads by bands of rows, vertical pass on the
// caller's thread) for 24-bit, 8-bit grey and 1-bit sources, and the fast linear, projection
// and area-weighted passes that the dispatch also reaches.
//
// Every routine writes into a destination the caller has allocated at the wanted size; none
// changes the destination's size. Weights are 8-bit fixed point (256 = 1) and sums 32-bit.
#include <cstdint>
#include <vector>

#include "rastova/core/RVProgress.h"

namespace rv {

class TRVBaseBitmap;
class TRVBitmap;

// Stored in settings and passed by plug-ins: the values must not change.
enum TResampleFilter : uint8_t {
  rfNone = 0,
  rfTriangle = 1,
  rfHermite = 2,
  rfBell = 3,
  rfBSpline = 4,
  rfLanczos3 = 5,
  rfMitchell = 6,
  rfNearest = 7,
  rfLinear = 8,
  rfFastLinear = 9,
  rfBilinear = 10,
  rfBicubic = 11,
  rfProjectBW = 12,
  rfProjectWB = 13,
};

// ---------------------------------------------------------------- kernels
double FilterTriangle(double x);
double FilterHermite(double x);
double FilterBell(double x);
double FilterBSpline(double x);
double SinC(double x);
double FilterLanczos3(double x);
double FilterMitchell(double x);
double FilterBox(double x);
double FilterLinear(double x);

struct TResampleFilterEntry {
  double (*Kernel)(double);
  double Support;
};
// Indexed by filter - rfTriangle, for rfTriangle .. rfLinear.
extern const TResampleFilterEntry ResampleFilterTable[8];
// Whether the filter runs through the kernel resampler (rfTriangle .. rfLinear).
inline bool IsKernelFilter(TResampleFilter f) { return f >= rfTriangle && f <= rfLinear; }

// ---------------------------------------------------------------- weight lists
// One weight term: a source index (already reflected and clamped into the source) and its
// weight (256 = 1).
struct TContributor {
  int32_t Pixel;
  int32_t Weight;
};
using TContributorList = std::vector<TContributor>;

// Scale of one axis: d / s when either size is 1, else (d - 1) / (s - 1) (corners map onto
// corners). The axis enlarges when the scale is at least 1.
double ResampleAxisScale(int32_t srcSize, int32_t dstSize);
// The weight list of every destination position of an axis of `srcSize` -> `dstSize`
// pixels for a kernel filter. Terms of weight 0 are left out. When every 8-bit weight of a
// position rounds to 0 (reductions of several hundred times), the position gets finer
// weights in the same proportions instead, so that it still averages its source span; the
// passes divide by the weight sum, so the scale of the weights does not matter there.
std::vector<TContributorList> BuildContributorLists(int32_t srcSize, int32_t dstSize, TResampleFilter filter);

// ---------------------------------------------------------------- dispatch
// Any pixel format; rfNone is handled by the callers. A source of another format than
// 24-bit RGB, 8-bit grey (and, for rfBilinear / rfBicubic, 16-bit grey and 48-bit RGB) is
// worked on as a 24-bit copy and the destination becomes 24-bit RGB (both images must be
// TRVBitmap for that). A 1 x 1 source fills the whole destination with its pixel.
void ResampleFiltered(TRVBaseBitmap& source, TRVBaseBitmap& dest, TResampleFilter filter, void* sender,
                      const TRVProgressEvent& onProgress);
// 8-bit grey source into an 8-bit grey destination (alpha channels); on the calling thread.
void ResampleGrayFiltered(TRVBitmap& source, TRVBitmap& dest, TResampleFilter filter);
// 1-bit source; the destination is 1-bit for rfProjectBW / rfProjectWB and 24-bit otherwise
// (the caller sets it).
void ResampleBWFiltered(TRVBitmap& source, TRVBitmap& dest, TResampleFilter filter);

// ---------------------------------------------------------------- other passes
void ResampleFastLinear24(TRVBaseBitmap& source, TRVBaseBitmap& dest, void* sender, const TRVProgressEvent& onProgress);
void ResampleFastLinearGray(TRVBaseBitmap& source, TRVBaseBitmap& dest, void* sender,
                            const TRVProgressEvent& onProgress);
// 1-bit source into a 24-bit destination.
void ResampleFastLinearBW(TRVBaseBitmap& source, TRVBaseBitmap& dest, void* sender, const TRVProgressEvent& onProgress);
// Projection of a 24-bit or 1-bit source into a 1-bit destination that keeps thin dark
// strokes (whiteOnBlack false) or thin light strokes (true).
TRVBaseBitmap& ResampleProject24(TRVBaseBitmap& source, TRVBaseBitmap& dest, bool whiteOnBlack, void* sender,
                                 const TRVProgressEvent& onProgress);
TRVBaseBitmap& ResampleProjectBW1(TRVBaseBitmap& source, TRVBaseBitmap& dest, bool whiteOnBlack, void* sender,
                                  const TRVProgressEvent& onProgress);
// Area-weighted passes with bilinear or bicubic sampling: 8-bit grey and 24-bit RGB, and
// 16-bit grey and 48-bit RGB. Other formats return at once.
void ResampleAreaInterp8(TRVBaseBitmap& source, TRVBaseBitmap& dest, bool bicubic, void* sender,
                         const TRVProgressEvent& onProgress);
void ResampleAreaInterp16(TRVBaseBitmap& source, TRVBaseBitmap& dest, bool bicubic, void* sender,
                          const TRVProgressEvent& onProgress);
// Reduces the rectangle x1..x2 by y1..y2 (inclusive) of a 1-bit image into the whole 24-bit
// destination by counting set bits.
void ReduceBWRectToGray(TRVBaseBitmap& source, int32_t x1, int32_t y1, TRVBaseBitmap& dest, int32_t y2, int32_t x2);
// The same passes under the names the image buffer and the codecs call them by:
// ResampleAlpha = ResampleGrayFiltered, Resample1Bit = ResampleBWFiltered, and
// Reduce1BitTo24 = ReduceBWRectToGray over the rectangle (x1, y1)-(x2, y2) of `source`.
void ResampleAlpha(TRVBitmap& source, TRVBitmap& dest, TResampleFilter filter);
void Resample1Bit(TRVBitmap& source, TRVBitmap& dest, TResampleFilter filter);
void Reduce1BitTo24(TRVBitmap& source, int32_t x1, int32_t y1, int32_t x2, int32_t y2, TRVBitmap& dest);
// Cubic convolution (a = -1) of samples at -1, 0, 1, 2 at t in the cell, clamped to lo..hi.
double CubicInterpolate(int32_t pm1, int32_t p0, int32_t p1, int32_t p2, double hi, double lo, double t);

namespace testing {
// When above 0, the kernel resampler uses this many worker threads instead of one per core.
extern int32_t ResampleThreadCount;
// The widest vector instructions the kernel resampler may use: -1 (the default) what the
// processor has, 0 the scalar passes, 1 at most SSE4.1, 2 at most AVX2.
extern int32_t ResampleVectorLevel;
}  // namespace testing

}  // namespace rv
