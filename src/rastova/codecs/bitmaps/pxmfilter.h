#pragma once
// The portable bitmap family (PBM, PGM, PPM: P1 to P6, text and binary, 8 and 16-bit samples)
// and the Wireless Bitmap (WBMP type 0). Headers carry no resolution: the readers store the
// library's default one.
#include <cstdint>
#include <string>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;
class TStream;

// The next header token: "#" and the comment text to the end of the line (trimmed), or a run of
// letters and digits (the byte ending it is consumed); empty at the end of the stream. Every
// other byte separates tokens, a minus sign too: "-1" reads as "1".
void ReadPNMToken(TStream& stream, std::string& token);
// A P1 to P6 header with a width and a height above 0; the position is restored.
bool IsPXMStream(TStream& stream);

// Decodes the image at the stream's position: rv1g for P1 and P4, rv24RGB for the others, or
// rv16g and rv48RGB for 16-bit samples with NativePixelFormat. Without it 16-bit grey reads
// as trunc(v / maximum x 255), 16-bit colour as the high byte of trunc(v / maximum x 65,535).
// Comments go to PXM_Comments.
// A header the reader cannot use, or sizes the data cannot hold, set the abort flag and leave the
// bitmap untouched; samples above the maximum are taken as the maximum.
void ReadPXMStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
                   TRVProgressRec& progress);
// Writes P4 (1 bit), P5 (8-bit grey) or P6 (8 or 16-bit colour) as BitsPerSample,
// SamplesPerPixel and the pixel format select. A short write sets the abort flag.
void WritePXMStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress);

// A multi-byte integer of at most 4 bytes; -1 when a fourth byte still announces more.
int32_t ReadWBMPInteger(TStream& stream);
// Decodes a type 0 WBMP into an rv1g bitmap; anything else sets the abort flag.
void ReadWBMPStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
                    TRVProgressRec& progress);
// Writes the bitmap as a 1-bit WBMP, cut to its top-left 255 x 255 part at most (keeping the
// proportions); the bitmap itself is not changed. A short write sets the abort flag.
void WriteWBMPStream(TStream& stream, TRVBitmap& bitmap, TRVProgressRec& progress);

}  // namespace rv
