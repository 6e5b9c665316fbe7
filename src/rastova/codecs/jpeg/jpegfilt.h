#pragma once
// JPEG (JFIF) images through libjpeg: the reader, the writer, the start-of-image search, the
// length scan and the assembly of ICC profiles from their APP2 chunks.
#include <cstdint>

#include "common/Exception.h"
#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;
class TStream;

// An error of the JPEG library, with the library's message ("?" in place of its arguments).
class ERVJpegException : public common::Exception {
 public:
  using Exception::Exception;
};

// The EXIF reader that a later part of the library supplies; until it is installed the reader
// keeps the EXIF segment in the marker list without interpreting it (and so has no orientation
// to turn the picture upright by).
// Reads an EXIF APP1 payload into the parameters (values, thumbnail); true when it was one.
using TJpegReadEXIFProc = bool (*)(const uint8_t* data, int32_t length, TIOParamsVals& params);
extern TJpegReadEXIFProc JpegReadEXIFMarkerHook;

// Decodes the JPEG found at (or up to 150 bytes after) the stream's position. `tablesStream`, when
// given and not `stream`, holds a table-only datastream read first. `nativeFormat` keeps grey as
// rv8g and CMYK as rvCMYK (else rv24RGB); `maxRows` limits the rows (-1: all); `readICC` assembles
// the ICC profile of the markers; `dropICCMarkers` removes the APP2 markers when the pixels went
// through that profile; `invertCMYK` inverts CMYK samples before conversion; `readMetadata` fills
// IPTC, EXIF and XMP; `rawYCbCr` delivers YCbCr samples unconverted; `paramsOnly` stops after the
// header. Returns the rows decoded; a failure sets the abort flag. A file that ends early decodes
// to its end, with libjpeg's warnings counted in JPEG_WarningCount.
int32_t ReadJpegStream(TStream& stream, TStream* tablesStream, TRVBitmap& bitmap, bool nativeFormat, int32_t maxRows,
                       bool readICC, bool dropICCMarkers, bool invertCMYK, bool readMetadata, bool rawYCbCr,
                       bool paramsOnly, TRVProgressRec& progress, TIOParamsVals& params);

// Encodes the bitmap with the JPEG settings of the parameters, writing back their markers. A
// libjpeg error raises ERVJpegException; a short write sets the abort flag.
void WriteJpegStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress);

// The position of the bytes FF D8 FF: with `scan` the absolute position among the next 150
// positions (or -1); without, 0 when they are at the position, else -1. Position restored.
int64_t FindJpegSOI(TStream& stream, bool scan);

// Bytes from the position to the end of the EOI marker; the position is restored.
int64_t GetJpegStreamLength(TStream& stream);

// Joins the ICC_PROFILE chunks of the APP2 markers that follow the position into the input
// profile of the parameters; the position is restored.
void ReadJpegICCProfile(TStream& stream, TIOParamsVals& params);

}  // namespace rv
