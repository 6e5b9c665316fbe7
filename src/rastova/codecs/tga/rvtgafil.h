#pragma once
// Truevision Targa images, with the TGA 2.0 footer and extension area (author, job name, date,
// key colour, aspect ratio, gamma).
#include <memory>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;
class TRVMask;
class TStream;

// Reads 18 bytes at the position: a supported image type and depth, a colour-map type of 0 or 1
// and a non-zero size. The position is restored.
bool IsTGAStream(TStream& stream);

// Decodes the image at the stream's position: rv1g for 1-bit files, rv24RGB for the others.
// Alpha (32-bit pixels or a 32-bit colour map) goes into `alphaMask`, an 8-bit mask created when
// the caller passes none and freed again when every alpha value is 0. With `paramsOnly` only the
// parameters are filled. A damaged file ends with the abort flag set.
void ReadTGAStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool ignoreAlpha,
                   std::unique_ptr<TRVMask>& alphaMask, bool paramsOnly, TRVProgressRec& progress);

// Encodes an rv24RGB or rv1g bitmap at the stream's position (other formats write nothing). An
// alpha mask selects 32-bit output. A short write sets the abort flag.
void WriteTGAStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVMask* alphaMask,
                    TRVProgressRec& progress);

}  // namespace rv
