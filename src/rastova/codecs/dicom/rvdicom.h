#pragma once
// DICOM medical images (read only). The reader parses the data set element by element (with or
// without the 128-byte preamble; explicit or implicit representation, little- or big-endian;
// undefined lengths), keeps every element in the parameters' DICOM_Tags, takes the image
// attributes from group 0028 and decodes one frame of the pixel data: native 8-, 12- and 16-bit
// samples, palette colour, RGB planar or interleaved, run-length segments, lossless JPEG (its own
// decoder), baseline JPEG (ReadJpegStream) and JPEG 2000 of both transfer syntaxes, the
// lossless-only one and the general one (ReadJ2000Stream). Grey images are then windowed or
// stretched to the full range, and MONOCHROME1 images inverted.
//
// Every entry here reads untrusted bytes: lengths, offsets, counts and sizes are checked against
// the data before anything is read or allocated.
#include <cstdint>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;
class TStream;

// Reads the data set at the position and, unless `paramsOnly`, frame `ImageIndex` (clamped to the
// frames there are) of its pixel data. Failures set the abort flag and leave the bitmap as it was:
// a damaged file, a data set without pixel data or a deflated one, and pixel data that no decoder
// here covers (a transfer syntax without a decoder, or samples and bits no layout takes, such as
// 16-bit RGB or 32-bit grey). Reading only the parameters fails only for the first three.
void ReadDICOMStream(TStream& stream, TIOParamsVals& params, TRVBitmap& bitmap, TRVProgressRec& progress,
                     bool paramsOnly);

// "DICM" after a 128-byte preamble; the position is restored.
bool IsDICOMStream(TStream& stream);

// Decodes the lossless (SOF3) JPEG image of `byteCount` bytes at the position into consecutive
// samples: bytes into `dest8` when given, else 16-bit samples into `dest16`, at most `capacity`
// samples. A stream without SOF3 decodes nothing and succeeds. False for a stream the decoder
// rejects: fewer than 32 bytes, a missing marker byte, a segment past the end, a table of more
// than 17 codes, a value above 16 or more codes of a length than that length has, more than four
// tables, no table, no scan or a second scan.
bool DecodeLosslessJPEG(TStream& stream, uint16_t* dest16, uint8_t* dest8, int64_t capacity,
                        TRVProgressRec* progress, int64_t byteCount);
bool DecodeLosslessJPEGBuffer(const uint8_t* data, int64_t size, uint16_t* dest16, uint8_t* dest8, int64_t capacity,
                              TRVProgressRec* progress);

// Decodes PackBits data until `count` bytes are produced or the input ends; returns the bytes
// consumed (and the bytes produced in `produced` when given). Runs are cut at `count`.
int64_t DecodePackBitsSegment(TStream& stream, uint8_t* dest, int64_t count);
int64_t DecodePackBits(const uint8_t* source, int64_t size, uint8_t* dest, int64_t count,
                       int64_t* produced = nullptr);

}  // namespace rv
