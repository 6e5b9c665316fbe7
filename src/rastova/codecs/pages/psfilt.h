#pragma once
// The PostScript writer: each page shows one image at the top-left corner of the page, as large
// as the page allows with its aspect ratio kept, in a Language Level 2 document with structuring
// comments. The data are ASCII85 text of run-length, CCITT fax (1-bit images, tifccitt.h) or JPEG
// (colour images, jpegfilt.h) coded samples. A document is begun, given pages and ended, so that
// several pages can go into one file; the page count line of the header is rewritten in place by
// every page, so the stream must stay open, readable and seekable in between. WritePSStream
// writes a one-page document. Every line ends with CR LF.
//
// Images are rv1g or rv24RGB (another format is written from an rv24RGB copy). Settings:
// PS_PaperWidth, PS_PaperHeight (points), PS_Compression (0 run-length; 1 Group 4 and 2 Group 3
// two-dimensional for 1-bit images; 3 JPEG for colour images; every other combination is
// run-length coded) and PS_Title. A short write or an empty image sets the abort flag.
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;
class TStream;
class TMemoryStream;

// Where the page count line starts and where the next page goes.
struct PSDocument {
  int64_t PageCountPosition = 0;
  int64_t EndPosition = 0;
  bool WriteError = false;  // a write fell short
};

// Writes the header comments; the page count reads 0.
std::unique_ptr<PSDocument> PSBeginDocument(TStream& stream, TIOParamsVals& params);
// Counts the page in the header and appends it.
void PSAddPage(PSDocument& document, TStream& stream, TRVBitmap& bitmap, TRVProgressRec& progress,
               TIOParamsVals& params);
// Writes the trailer and frees the record; nothing for nullptr. False when a write of the
// document fell short.
bool PSEndDocument(std::unique_ptr<PSDocument> document, TStream& stream);
// A one-page document.
void WritePSStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress);

// One page (its number `pageNumber`) at the stream's position.
void PSWritePage(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, int32_t paperHeight,
                 int32_t paperWidth, int32_t pageNumber, TRVProgressRec& progress, bool& error);
// The page's image data as ASCII85 text; returns the count of ASCII85 characters (line breaks
// and end markers not counted).
int64_t PSEncodeImageData(TMemoryStream& memoryStream, TRVBitmap& bitmap, TIOParamsVals& params,
                          TRVProgressRec& progress);
// The decimal text of `value` followed by blanks up to `width` characters.
std::string PadNumberRight(int64_t value, int32_t width);
// "ddd mmm dd hh:nn:ss yyyy" with English day and month names whatever the locale.
std::string PSFormatDate(const std::tm& time);

}  // namespace rv
