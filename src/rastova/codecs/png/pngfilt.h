#pragma once
// Portable Network Graphics images through libpng: the reader, the writer and the signature test.
#include "common/Exception.h"
#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;
class TRVMask;
class TStream;

// A picture that cannot be encoded: "Error on creating PNG".
class EInvalidGraphic : public common::Exception {
 public:
  using Exception::Exception;
};

// The first 4 bytes at the position are the PNG signature; the position is restored.
bool IsPNGStream(TStream& stream);

// Decodes the PNG at the stream's position into the bitmap (rv1g, rv8p, rv8g, rv16g or rv24RGB)
// and its alpha channel. With `paramsOnly` only the parameters are filled. A damaged file ends
// with the abort flag set; rows already decoded stay in the bitmap.
void ReadPNGStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
                   TRVProgressRec& progress);

// Encodes the bitmap at the stream's position; `alphaMask` is its alpha channel (or nullptr).
// A picture libpng refuses raises EInvalidGraphic; a short write sets the abort flag.
void WritePNGStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVMask* alphaMask,
                    TRVProgressRec& progress);

}  // namespace rv
