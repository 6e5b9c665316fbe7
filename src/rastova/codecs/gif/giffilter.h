#pragma once
// GIF images (GIF87a and GIF89a): the reader delivers one image of the file, chosen by
// GIF_ImageIndex, with its position, delay, disposal and transparency, and counts the images
// while it walks the blocks; the writer produces a single-image GIF89a file. Both reach the LZW
// coder (giflzw.h) through the parameters' hooks, or the global hooks when those are empty.
#include <cstdint>
#include <memory>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;
class TRVMask;
class TStream;

// Reads image GIF_ImageIndex: rv1g for a black-and-white two-entry table, else rv24RGB, or rv8p
// with NativePixelFormat. `imageNumber` ends as the number of images seen (also ImageCount and
// GIF_ImageCount). Unless `ignoreAlpha`, an image with a transparent index used by some pixel
// returns an 8-bit `alphaMask` (created when the caller passes none). Comments go to
// GIF_Comments as UTF-8. A damaged file ends with the abort flag set.
void ReadGIFStream(TStream& stream, TRVBitmap& bitmap, int32_t& imageNumber, TIOParamsVals& params,
                   TRVProgressRec& progress, bool paramsOnly, std::unique_ptr<TRVMask>& alphaMask, bool ignoreAlpha);

// Writes the bitmap as one GIF89a image of BitsPerSample bits per pixel (1 to 8); an alpha
// channel reserves the last table entry for pixels whose alpha is below 255. A short write sets
// the abort flag.
void WriteGIFStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress);

}  // namespace rv
