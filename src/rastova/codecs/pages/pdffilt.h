#pragma once
// The PDF writer: PDF 1.4 documents whose pages each show one image at the top-left corner of the
// page, as large as the page allows with its aspect ratio kept. A document is built in memory
// (begin, one call per page) and written whole when it is ended; WritePDFStream writes a one-page
// document. The objects and their text forms are core/RVPDFObjects.h.
//
// Objects in the order they are numbered: the catalog (1), the resources shared by all pages (2),
// then per page the image XObject, its content stream and the page, and at the end the page tree
// and the document information.
//
// Images are rv1g or rv24RGB (another format is written from an rv24RGB copy). PDF_Compression:
// 0 none; 1 run-length, 2 CCITT Group 4 and 3 (or 4, which becomes 3) Group 3 two-dimensional for
// 1-bit images; 4 JPEG for colour images; 5 LZW (through TIFF_LZWCompress); every other
// combination is stored uncompressed. An empty image, a missing LZW encoder or a short write sets
// the abort flag.
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVPDFObjects.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;
class TStream;

struct PDFDocument {
  TRVPDFObjectList Objects;  // every object, in the order of its number (refers only)
  std::vector<std::unique_ptr<TRVPDFDictionaryObject>> Pages;
  std::vector<std::unique_ptr<TRVPDFStreamObject>> Images;
  std::vector<std::unique_ptr<TRVPDFStreamObject>> Contents;
  std::unique_ptr<TRVPDFDictionaryObject> Resources;
  std::unique_ptr<TRVPDFDictionaryObject> Catalog;
  TRVPDFDictionaryObject* XObjects = nullptr;  // the resources' /XObject entry
};

// A document holding the catalog (object 1) and the resources (object 2).
std::unique_ptr<PDFDocument> PDFBeginDocument();
// Adds a page showing the image; nothing is written yet.
void PDFAddImagePage(PDFDocument& document, TRVBitmap& bitmap, TIOParamsVals& params,
                     TRVProgressRec& progress);
// Adds the page tree and the information, writes the whole document at the stream's position
// (its cross-reference offsets count from there) and frees it. Nothing for nullptr. False when a
// write fell short.
bool PDFEndDocument(std::unique_ptr<PDFDocument> document, TStream& stream, TIOParamsVals& params);
// A one-page document; nothing is written when the page could not be made.
void WritePDFStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress);

// "D:yyyymmddhhmmss"
std::string PDFFormatDate(const std::tm& time);

}  // namespace rv
