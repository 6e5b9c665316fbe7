#pragma once
// What the two page writers (psfilt.h, pdffilt.h) share: the image that goes on a page and its
// JPEG stream.
#include <memory>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;
class TStream;

// The bitmap itself when it is rv1g or rv24RGB, else an rv24RGB copy kept in `copy`; nullptr
// when no copy can be made or the image is empty.
TRVBitmap* PageImage(TRVBitmap& bitmap, std::unique_ptr<TRVBitmap>& copy);

// The JPEG stream of a colour page. The pages declare RGB (or grey) samples, so CMYK and YCCK
// settings are coded as YCbCr; the parameters keep their setting. Errors as WriteJpegStream.
void WritePageJpeg(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress);

}  // namespace rv
