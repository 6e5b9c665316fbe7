#include "rastova/codecs/pages/pdffilt.h"

#include <algorithm>

#include "rastova/codecs/pages/PageImage.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv {

namespace {

TRVPDFNameObject* Name(const char* name) { return new TRVPDFNameObject(name); }
TRVPDFNumericObject* Number(double value) { return new TRVPDFNumericObject(value); }

// The coded samples of an image and the dictionary keys that describe them.
struct TImageData {
  std::vector<uint8_t> bytes;
  TRVPDFObject* filter = nullptr;
  TRVPDFDictionaryObject* decodeParms = nullptr;
  const char* colorSpace = "DeviceRGB";
  int32_t bitsPerComponent = 8;
};

// Rows in red, green, blue order (the bitmap holds blue, green, red), one row at a time.
template <class F>
void ForEachRGBRow(TRVBitmap& bitmap, F&& use) {
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * 3);
  for (int32_t y = 0; y < h; ++y) {
    CopyBGRToRGB(rgb.data(), bitmap.GetScanLine(y), w);
    use(rgb.data(), static_cast<int32_t>(rgb.size()));
  }
}

std::vector<uint8_t> TakeData(TMemoryStream& stream) {
  const uint8_t* p = stream.Memory();
  return std::vector<uint8_t>(p, p + stream.GetSize());
}

// Fax coded rows; the /DecodeParms of the coding.
bool CodeFax(TRVBitmap& bitmap, bool group4, TImageData& out) {
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  TMemoryStream coded;
  if (!FaxCodeRows(bitmap, group4, coded)) return false;
  out.bytes = TakeData(coded);
  out.filter = Name("CCITTFaxDecode");
  auto* parms = new TRVPDFDictionaryObject();
  parms->Add("K", Number(group4 ? -1 : 1));
  parms->Add("BlackIs1", new TRVPDFBooleanObject(true));
  parms->Add("Columns", Number(w));
  parms->Add("Rows", Number(h));
  parms->Add("EndOfLine", new TRVPDFBooleanObject(false));
  parms->Add("Uncompressed", new TRVPDFBooleanObject(true));
  parms->Add("EncodedByteAlign", new TRVPDFBooleanObject(false));
  parms->Add("EndOfBlock", new TRVPDFBooleanObject(false));
  out.decodeParms = parms;
  return true;
}

// LZW coded rows through the parameters' encoder (a final call ends the data).
template <class Rows>
bool CodeLZW(TIOParamsVals& params, Rows&& rows, TImageData& out) {
  TTIFFLZWCompressProc lzw = params.TIFF_LZWCompress ? params.TIFF_LZWCompress : TIFFLZWEncoderHook;
  if (!lzw) return false;
  TMemoryStream coded;
  void* state = nullptr;
  rows([&](const uint8_t* row, int32_t n) { lzw(row, n, coded, state); });
  lzw(nullptr, 0, coded, state);
  out.bytes = TakeData(coded);
  out.filter = Name("LZWDecode");
  return true;
}

bool CodeBilevel(TRVBitmap& bitmap, TIOParamsVals& params, TImageData& out) {
  out.colorSpace = "DeviceGray";
  out.bitsPerComponent = 1;
  switch (params.PDF_Compression) {
    case 1: {
      const std::vector<uint8_t> rows = BilevelRows(bitmap);
      out.bytes.resize(static_cast<size_t>(RunLengthEncodeBound(static_cast<int64_t>(rows.size()))));
      out.bytes.resize(static_cast<size_t>(
          RunLengthEncode(rows.data(), static_cast<int64_t>(rows.size()), out.bytes.data())));
      auto* filter = new TRVPDFArrayObject();
      filter->Add(Name("RunLengthDecode"));
      out.filter = filter;
      return true;
    }
    case 2:
    case 3:
      return CodeFax(bitmap, params.PDF_Compression == 2, out);
    case 5: {
      const int64_t rowBytes = (int64_t(bitmap.GetWidth()) + 7) / 8;
      return CodeLZW(
          params,
          [&](auto&& put) {
            for (int32_t y = 0; y < bitmap.GetHeight(); ++y)
              put(bitmap.GetScanLine(y), static_cast<int32_t>(rowBytes));
          },
          out);
    }
    default:
      // 0, and the values without a coding of their own for 1-bit images.
      out.bytes = BilevelRows(bitmap);
      return true;
  }
}

bool CodeColor(TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress, TImageData& out) {
  switch (params.PDF_Compression) {
    case 4: {
      TMemoryStream jpeg;
      WritePageJpeg(jpeg, bitmap, params, progress);
      if (progress.IsAborting()) return false;
      out.bytes = TakeData(jpeg);
      out.filter = Name("DCTDecode");
      if (params.JPEG_ColorSpace == 1) out.colorSpace = "DeviceGray";
      return true;
    }
    case 5:
      return CodeLZW(
          params, [&](auto&& put) { ForEachRGBRow(bitmap, put); }, out);
    default: {
      const int64_t rowBytes = int64_t(bitmap.GetWidth()) * 3;
      out.bytes.resize(static_cast<size_t>(rowBytes * bitmap.GetHeight()));
      uint8_t* p = out.bytes.data();
      ForEachRGBRow(bitmap, [&](const uint8_t* row, int32_t n) {
        std::copy_n(row, n, p);
        p += n;
      });
      return true;
    }
  }
}

// The image XObject: /Type and /Subtype first, then /Length, the size and the coding's keys.
std::unique_ptr<TRVPDFStreamObject> ImageObject(TImageData& data, int32_t w, int32_t h) {
  auto image = std::make_unique<TRVPDFStreamObject>(std::move(data.bytes));
  auto& entries = image->Dictionary->Entries;
  entries.insert(entries.begin(), {{"Type", Name("XObject")}, {"Subtype", Name("Image")}});
  TRVPDFDictionaryObject& d = *image->Dictionary;
  d.Add("Width", Number(w));
  d.Add("Height", Number(h));
  if (data.filter) d.Add("Filter", data.filter);
  if (data.decodeParms) d.Add("DecodeParms", data.decodeParms);
  d.Add("ColorSpace", Name(data.colorSpace));
  d.Add("BitsPerComponent", Number(data.bitsPerComponent));
  data.filter = nullptr;
  data.decodeParms = nullptr;
  return image;
}

std::string Num(int64_t v) { return IntToStrA(v); }

TRVPDFDictionaryObject* InfoDictionary(const TIOParamsVals& params) {
  auto* info = new TRVPDFDictionaryObject();
  const std::pair<const char*, const std::string*> texts[] = {
      {"Title", &params.PDF_Title},     {"Author", &params.PDF_Author},
      {"Subject", &params.PDF_Subject}, {"Keywords", &params.PDF_Keywords},
      {"Creator", &params.PDF_Creator}, {"Producer", &params.PDF_Producer},
  };
  for (const auto& t : texts)
    if (!t.second->empty()) info->Add(t.first, new TRVPDFStringObject(*t.second));
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  info->Add("CreationDate", new TRVPDFStringObject(PDFFormatDate(local)));
  return info;
}

}  // namespace

std::string PDFFormatDate(const std::tm& t) {
  auto two = [](int v) { return std::string(v < 10 ? "0" : "") + std::to_string(v); };
  return "D:" + std::to_string(t.tm_year + 1900) + two(t.tm_mon + 1) + two(t.tm_mday) + two(t.tm_hour) +
         two(t.tm_min) + two(t.tm_sec);
}

std::unique_ptr<PDFDocument> PDFBeginDocument() {
  auto doc = std::make_unique<PDFDocument>();
  doc->Catalog.reset(PDFAddCatalog(doc->Objects));
  doc->Resources = std::make_unique<TRVPDFDictionaryObject>();
  doc->Resources->Shared = true;
  auto* procSet = new TRVPDFArrayObject();
  procSet->Add(Name("PDF"));
  procSet->Add(Name("ImageB"));
  doc->Resources->Add("ProcSet", procSet);
  doc->XObjects = new TRVPDFDictionaryObject();
  doc->Resources->Add("XObject", doc->XObjects);
  PDFAddObject(doc->Objects, doc->Resources.get());
  return doc;
}

void PDFAddImagePage(PDFDocument& document, TRVBitmap& bitmap, TIOParamsVals& params,
                     TRVProgressRec& progress) {
  std::unique_ptr<TRVBitmap> copy;
  TRVBitmap* image = PageImage(bitmap, copy);
  if (!image) {
    progress.SetAborting();
    return;
  }
  const bool bilevel = image->GetPixelFormat() == rv1g;
  params.BitsPerSample = bilevel ? 1 : 8;
  params.SamplesPerPixel = bilevel ? 1 : 3;
  if (bilevel && params.PDF_Compression == 4) params.PDF_Compression = 3;

  TImageData data;
  const bool coded = bilevel ? CodeBilevel(*image, params, data) : CodeColor(*image, params, progress, data);
  if (!coded) {
    delete data.filter;
    delete data.decodeParms;
    progress.SetAborting();
    return;
  }
  const int32_t w = image->GetWidth(), h = image->GetHeight();
  std::unique_ptr<TRVPDFStreamObject> xobject = ImageObject(data, w, h);
  PDFAddObject(document.Objects, xobject.get());
  document.Images.push_back(std::move(xobject));
  const size_t imageNumber = document.Images.size();

  int32_t fitW = 0, fitH = 0;
  FitSizeKeepingAspect(w, h, params.PDF_PaperWidth, params.PDF_PaperHeight, fitW, fitH);
  const std::string text = "q\n" + Num(fitW) + " 0 0 " + Num(fitH) + " 0 " +
                           Num(int64_t(params.PDF_PaperHeight) - fitH) + " cm\n/lm" +
                           Num(int64_t(imageNumber)) + " Do\nQ";
  auto contents = std::make_unique<TRVPDFStreamObject>(text.data(), static_cast<int64_t>(text.size()));
  PDFAddObject(document.Objects, contents.get());
  const int32_t contentsNumber = contents->ObjectNumber;
  document.Contents.push_back(std::move(contents));

  document.XObjects->Add("lm" + Num(int64_t(imageNumber)),
                         new TRVPDFRefObject(document.Images.back()->ObjectNumber, 0));
  auto* mediaBox = new TRVPDFArrayObject();
  for (const int32_t v : {0, 0, params.PDF_PaperWidth, params.PDF_PaperHeight}) mediaBox->Add(Number(v));
  PDFAddPage(document.Objects, document.Pages, document.Resources.get(), contentsNumber, mediaBox);
}

bool PDFEndDocument(std::unique_ptr<PDFDocument> document, TStream& stream, TIOParamsVals& params) {
  if (!document) return true;
  std::unique_ptr<TRVPDFDictionaryObject> tree(PDFAddPages(document->Objects, document->Pages));
  std::unique_ptr<TRVPDFDictionaryObject> info(InfoDictionary(params));
  PDFAddObject(document->Objects, info.get());
  // The cross-reference offsets count from the document's first byte.
  TRVOffsetStream out(stream, stream.GetPosition(), true);
  bool error = false;
  PDFWriteHeader(out, error);
  PDFWriteObjects(out, document->Objects, error);
  PDFWriteXRefAndTrailer(out, document->Objects, *info, error);
  return !error;
}

void WritePDFStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress) {
  std::unique_ptr<PDFDocument> doc = PDFBeginDocument();
  PDFAddImagePage(*doc, bitmap, params, progress);
  if (progress.IsAborting()) return;
  if (!PDFEndDocument(std::move(doc), stream, params)) progress.SetAborting();
}

}  // namespace rv
