#pragma once
// JPEG 2000 images through OpenJPEG: JP2 files (format 0) and bare code streams (format 1). The
// two signature tests, the start-up step with the YCbCr tables, the reader and the writer. The
// DICOM reader decodes its JPEG 2000 frames through ReadJ2000Stream.
//
// Mapping of the writer's settings: J2000_Rate of 1 or more encodes losslessly (reversible 5/3
// transform); below 1 it encodes with the irreversible 9/7 transform at a compression ratio of
// 1 / rate (rates below 0.001 count as 0.001). J2000_Progression 0 is LRCP, 1 RLCP. The number of
// resolution levels is lowered to what the image size allows.
#include <cstdint>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;
class TStream;

// The JP2 signature box (length 12, type 'jP  ', 0D 0A 87 0A) at the position; restored.
bool IsJP2Stream(TStream& stream);
// The code-stream start: SOC (FF 4F) followed by SIZ (FF 51); position restored.
bool IsJ2KStream(TStream& stream);

// Decodes the JP2 file or code stream at the position. Grey, RGB and YCbCr images become rv24RGB
// (1-bit grey rv1g); an opacity component becomes the alpha channel. No signature, a decoding
// failure or a colour space other than those sets the abort flag and leaves the bitmap as it was.
void ReadJ2000Stream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress,
                     bool paramsOnly);

// Decodes a grey JP2 file or code stream at the position into an rv16g bitmap of its sample
// values (clamped to 16 bits; signed samples as their two's complement), for callers that scale
// the samples themselves. False with the abort flag set when the stream is refused; false without
// it, and the position restored, when the image is not one grey component.
bool ReadJ2000GreySamples(TStream& stream, TRVBitmap& bitmap, TRVProgressRec& progress);

// Encodes an rv24RGB or rv1g bitmap (others are converted) as a JP2 file (format 0) or a code
// stream (format 1). J2000_ColorSpace above 2 is refused before anything is written; an encoder
// failure or a short write sets the abort flag.
void WriteJ2000Stream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress,
                      int32_t format);

// The YCbCr tables, indexed by a chroma byte (value - 128), built by RVJ2000Startup.
extern int32_t J2000CrToRed[256];
extern int32_t J2000CbToBlue[256];
extern int32_t J2000CrToGreen[256];
extern int32_t J2000CbToGreen[256];

void RVJ2000Startup();
void RVJ2000Shutdown();

}  // namespace rv
