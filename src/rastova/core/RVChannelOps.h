#pragma once
// Pixel-value operations over whole images: filling an area with a colour, the grey-level
// histogram, conversion to black and white by a fixed, average or automatic threshold,
// histogram matching against a reference and rearranging the colour channels.
#include <cstdint>
#include <string_view>

#include "rastova/core/RVDefs.h"
#include "rastova/core/RVProgress.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;

// Fills [left, right) x [top, bottom) (clipped) with the colour: 1-bit white when red is not
// 0, 8-bit grey its grey level, 24-bit its bytes, other formats through TRVBitmap::FillRect.
void FillArea(TRVBitmap& bitmap, int32_t left, int32_t top, int32_t right, int32_t bottom, const TRGB& colour,
              void* sender, const TRVProgressEvent& onProgress);
// Counts the grey level of every pixel (1-bit pixels count as 0 or 1).
void BuildGrayHistogram(TRVBitmap& bitmap, uint32_t (&histogram)[256]);
// Converts `source` into the allocated rv1g `dest` (same size): white where the grey level is
// at least the threshold. -1 takes the grey level of the average colour, -2 the maximum-
// entropy threshold; a 1-bit source is copied.
void ThresholdTo1Bit(TRVBitmap& source, TRVBitmap& dest, int32_t threshold, TRVProgressRec& progress);
// The maximum-entropy threshold of an image (-2 when the histogram gives none).
int32_t MaxEntropyThreshold(TRVBitmap& bitmap);
// Matches each colour channel of `bitmap` (24 or 48-bit RGB) to the reference's (24-bit RGB).
void MatchHistogram(TRVBitmap& reference, TRVBitmap& bitmap);
// Matches one channel (0 blue, 1 green, 2 red) to a target histogram of `targetCount` pixels.
void MatchChannelHistogram(TRVBitmap& bitmap, int32_t channel, const uint32_t (&target)[256],
                           int64_t targetCount);
// Rearranges the channels of a 24 or 48-bit image: three characters of "B", "G", "R", "0"
// (any case) give the new blue, green and red.
void ReorderChannels(TRVBitmap& bitmap, std::string_view order, void* sender,
                     const TRVProgressEvent& onProgress);

}  // namespace rv
