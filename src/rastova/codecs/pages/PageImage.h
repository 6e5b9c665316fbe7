#pragma once
// What the two page writers (psfilt.h, pdffilt.h) share: the image that goes on a page and its
// JPEG stream.
#include <cstdint>
#include <memory>
#include <vector>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;
class TStream;
class TMemoryStream;

// The bitmap itself when it is rv1g or rv24RGB, else an rv24RGB copy kept in `copy`; nullptr
// when no copy can be made or the image is empty.
TRVBitmap* PageImage(TRVBitmap& bitmap, std::unique_ptr<TRVBitmap>& copy);

// The JPEG stream of a colour page. The pages declare RGB (or grey) samples, so CMYK and YCCK
// settings are coded as YCbCr; the parameters keep their setting. Errors as WriteJpegStream.
void WritePageJpeg(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress);

// All rows of a 1-bit image, top first, ceil(width / 8) bytes each.
std::vector<uint8_t> BilevelRows(TRVBitmap& bitmap);

// The rows of a 1-bit image coded by the Group 4 (or Group 3 two-dimensional) fax encoder, ended
// by its final call. rv1g rows hold 1 for white, which the encoders code as black runs; the pages
// declare /BlackIs1 true, so the decoded samples are 1 for white again. False on a write error or
// when nothing was coded (the coder's tables are not built).
bool FaxCodeRows(TRVBitmap& bitmap, bool group4, TMemoryStream& coded);

}  // namespace rv
