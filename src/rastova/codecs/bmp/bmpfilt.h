#pragma once
// Windows and OS/2 device-independent bitmap files: 1, 4, 8, 16, 24 and 32 bits per pixel,
// uncompressed, run-length coded (RLE4, RLE8) and bit-field coded, with the alpha byte of 32-bit
// pixels carried through on request.
#include <cstdint>
#include <memory>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"
#include "rastova/core/RVDefs.h"

namespace rv {

class TRVBitmap;
class TRVMask;
class TStream;

// Decodes the BMP at the stream's position into the bitmap (rv1g, rv8p or rv24RGB). `blockSize`
// is the BMP's length when the caller knows it (else 0 or less). With `noFileHeader` (or the
// parameters' IsResource) the stream begins with the bitmap header. Unless `ignoreAlpha`, the
// alpha of 32-bit pixels goes into `alphaMask`, created when the caller passes none and freed
// again when it holds nothing of use. Bit fields of 16-bit pixels keep their bits at the top of
// the byte; those of 32-bit pixels are scaled as v x 255 / (2^n - 1), rounded, whatever their
// width n. A damaged file ends with the abort flag set.
void ReadBMPStream(TStream& stream, TRVBitmap& bitmap, int32_t blockSize, TIOParamsVals& params,
                   TRVProgressRec& progress, bool paramsOnly, bool noFileHeader, std::unique_ptr<TRVMask>& alphaMask,
                   bool ignoreAlpha);

// Encodes the bitmap at the stream's position; the stream must allow seeking back, since both
// headers are completed at the end. A short write sets the abort flag.
void WriteBMPStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress,
                    bool saveAlpha);

// Run-length decoders: one block of RLE8 or RLE4 data into the rows of an allocated bitmap,
// file rows bottom-up unless `flip` (height - 1) turns them top-down. The RGB forms write rv24RGB
// pixels through the colour map (indices past it read as black), the Index forms one index a byte.
void DecodeRLE8ToRGB(TRVBitmap& bitmap, const uint8_t* data, int64_t size, int32_t flip, TRVProgressRec& progress,
                     const TRGB* colorMap, int32_t colorCount);
void DecodeRLE8ToIndex(TRVBitmap& bitmap, const uint8_t* data, int64_t size, int32_t flip, TRVProgressRec& progress);
void DecodeRLE4ToRGB(TRVBitmap& bitmap, const uint8_t* data, int64_t size, int32_t flip, TRVProgressRec& progress,
                     const TRGB* colorMap, int32_t colorCount);
void DecodeRLE4ToIndex(TRVBitmap& bitmap, const uint8_t* data, int64_t size, int32_t flip, TRVProgressRec& progress);

// One row of `count` indices (one a byte for both depths) coded into `output`, which must hold
// 10 x count + 4 bytes; ends with the end-of-line code. Returns the bytes written.
int32_t EncodeRLE8Row(const uint8_t* indices, int32_t count, uint8_t* output);
int32_t EncodeRLE4Row(const uint8_t* indices, int32_t count, uint8_t* output);

}  // namespace rv
