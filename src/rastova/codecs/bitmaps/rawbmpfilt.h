#pragma once
// Headerless raw pixels: the caller allocates the bitmap with the expected size and pixel
// format, and the BMPRAW parameters (RAWBMP_* fields) say how the samples are stored: a header to
// skip, the row alignment, interleaved or planar channels, binary, decimal or hexadecimal text.
// Also the signature tests of the Windows metafile formats, which are recognised only.
#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;
class TStream;

// An enhanced metafile: record type 1 and " EMF" at offset 40. The position is restored.
bool IsEMFStream(TStream& stream);
// A Windows metafile, with or without the 22-byte placeable header: type 1, a header of 9 words
// and no parameters. The position is restored.
bool IsWMFStream(TStream& stream);

// Fills the allocated bitmap from the raw data at the stream's position; short data leave the
// rest of the bitmap as it was. Text values above a sample's range are taken as its maximum.
// Hexadecimal text into an rv32f bitmap raises common::Exception "Format unsupported".
void ReadRawBitmapStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress);

}  // namespace rv
