#pragma once
// Windows icons (ICO, read and written) and cursors (CUR, read only): a directory of entries,
// each a PNG stream or a device-independent bitmap (XOR image and 1-bit AND mask, bottom row
// first). PNG entries go to the PNG reader, icon files that are really BMPs to the BMP reader.
#include <cstdint>
#include <memory>
#include <vector>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;
class TRVMask;
class TStream;

// An icon (type 1) or cursor (type 2) directory whose entries have a reserved byte of 0, a byte
// count and an offset past the directory; the position is restored.
bool IsICOStream(TStream& stream);
bool IsCURStream(TStream& stream);

// Decodes entry ICO_ImageIndex (an index outside the directory changes nothing; a directory
// without entries sets the abort flag): rv1g for 1-bit entries, rv24RGB for the others, or rv8p
// for 4 and 8 bits with NativePixelFormat. The AND mask and 32-bit alpha go into `alphaMask`
// (created when the caller passes none, freed again when it marks nothing) unless `ignoreAlpha`.
// The size is the bitmap header's, or the directory's when the stream does not hold the header's;
// when neither fits the stream the abort flag is set. Raises common::Exception "Unsupported pixel
// format" for other bit counts with NativePixelFormat.
void ReadICOStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
                   TRVProgressRec& progress, std::unique_ptr<TRVMask>& alphaMask, bool ignoreAlpha);
// Decodes cursor entry CUR_ImageIndex with its hot spot; the mask comes back even when opaque.
void ReadCURStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
                   TRVProgressRec& progress, std::unique_ptr<TRVMask>& alphaMask, bool ignoreAlpha);

// Writes one entry per element of `sizes`, resampled to that size, at the depth `bitCounts`
// selects (1, 4, 8, 32, 0 for the parameters' depth, any other value 24). No sizes, an empty
// bitmap or a short write set the abort flag.
void WriteICOStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, const std::vector<int32_t>& bitCounts,
                    const std::vector<TIOParamsFields::TIcoSize>& sizes, TRVProgressRec& progress);

}  // namespace rv
