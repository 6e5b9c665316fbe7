#pragma once
// The codec routines the I/O front end calls, behind one uniform set of wrappers, and which
// codecs are built. A format whose codec is not built gets no registry row, so its wrappers are
// never reached; if they are, they fail through the abort flag.
#include <cstdint>
#include <memory>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;
class TRVMask;
class TStream;

extern const bool kHavePngCodec;
extern const bool kHaveBmpCodec;
extern const bool kHaveJpegCodec;
extern const bool kHaveTiffCodec;
extern const bool kHaveJ2000Codec;
extern const bool kHaveDicomCodec;
extern const bool kHaveRawCodec;
extern const bool kHaveHDPCodec;
extern const bool kHavePsCodec;
extern const bool kHavePdfCodec;

bool CodecIsPNGStream(TStream& stream);
// Absolute position of the JPEG start bytes (within 150 positions when scanning), -1 when absent.
int64_t CodecFindJpegSOI(TStream& stream, bool scan);

void CodecReadPNG(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
                  TRVProgressRec& progress);
void CodecWritePNG(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVMask* alpha,
                   TRVProgressRec& progress);
// `length`: the bytes the BMP may occupy from the position.
void CodecReadBMP(TStream& stream, TRVBitmap& bitmap, int64_t length, TIOParamsVals& params, bool paramsOnly,
                  std::unique_ptr<TRVMask>& alpha, bool ignoreAlpha, TRVProgressRec& progress);
void CodecWriteBMP(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool saveAlpha,
                   TRVProgressRec& progress);
void CodecReadJpeg(TStream& stream, TRVBitmap& bitmap, bool nativeFormat, bool paramsOnly,
                   TIOParamsVals& params, TRVProgressRec& progress);
void CodecWriteJpeg(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress);
// A TIFF that is not a camera raw file.
bool CodecIsPlainTIFFStream(TStream& stream);
bool CodecIsHDPStream(TStream& stream);
// Reads page TIFF_ImageIndex; returns the page count. Offsets count from the stream's position
// unless `absoluteOffsets`.
int32_t CodecReadTIFF(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
                      bool absoluteOffsets, std::unique_ptr<TRVMask>& alpha, TRVProgressRec& progress);
int32_t CodecWriteTIFF(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVMask* alpha,
                       TRVProgressRec& progress);
// Camera raw (read only) and HD Photo.
bool CodecIsCameraRawStream(TStream& stream);
void CodecReadRAW(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
                  TRVProgressRec& progress);
void CodecReadHDP(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress);
void CodecWriteHDP(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress);

bool CodecIsJP2Stream(TStream& stream);
bool CodecIsJ2KStream(TStream& stream);
void CodecReadJ2000(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
                    TRVProgressRec& progress);
// `format`: 0 JP2 file, 1 code stream.
void CodecWriteJ2000(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, int32_t format,
                     TRVProgressRec& progress);
bool CodecIsDICOMStream(TStream& stream);
void CodecReadDICOM(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
                    TRVProgressRec& progress);
// One-page PostScript and PDF documents.
void CodecWritePS(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress);
void CodecWritePDF(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress);
// Adds the JPEG 2000 codec's step (its colour tables) to the library's start-up.
void RegisterCodecStartupSteps();

}  // namespace rv
