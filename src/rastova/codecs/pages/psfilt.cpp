#include "rastova/codecs/pages/psfilt.h"

#include <algorithm>
#include <vector>

#include "rastova/codecs/CodecUtils.h"
#include "rastova/codecs/pages/PageImage.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVLists.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv {

namespace {

// How a page's samples are coded.
enum class TPSCoding { RunLengthColor, Jpeg, RunLength1Bit, Group4, Group3 };

TPSCoding CodingOf(TRVBitmap& bitmap, const TIOParamsVals& params) {
  if (bitmap.GetPixelFormat() != rv1g)
    return params.PS_Compression == 3 ? TPSCoding::Jpeg : TPSCoding::RunLengthColor;
  // A 1-bit image has no JPEG coding: it is run-length coded like every value without a coding.
  if (params.PS_Compression == 1) return TPSCoding::Group4;
  if (params.PS_Compression == 2) return TPSCoding::Group3;
  return TPSCoding::RunLength1Bit;
}

void WriteLine(TStream& stream, std::string_view text, bool& error) {
  SafeStreamWrite(stream, error, text.data(), static_cast<int64_t>(text.size()));
  SafeStreamWrite(stream, error, "\r\n", 2);
}

std::string Num(int64_t v) { return IntToStrA(v); }

// Appends data to the memory stream; false (and the abort flag) when memory runs out.
bool Put(TMemoryStream& ms, const void* data, int64_t n, TRVProgressRec& progress) {
  if (n <= 0 || ms.Write(data, n) == n) return true;
  progress.SetAborting();
  return false;
}

// ASCII85 text of one block, its end marker and line break included.
struct TA85Block {
  std::vector<uint8_t> text;
  // The most ASCII85Encode writes for `n` bytes: five characters a group, a line break at least
  // every 75 characters, the end marker and its line break.
  static int64_t Bound(int64_t n) {
    const int64_t groups = (n + 3) / 4;
    return groups * 5 + 2 * (groups / 15 + 2) + 8;
  }
  int64_t Encode(TMemoryStream& ms, const uint8_t* data, int64_t n, TRVProgressRec& progress) {
    text.resize(static_cast<size_t>(Bound(n)));
    const uint8_t* src = data;
    uint8_t* dst = text.data();
    int64_t counter = 0;
    const int64_t written = ASCII85Encode(src, n, dst, counter);
    Put(ms, text.data(), written, progress);
    return counter;
  }
};

// Every row's red, green and blue samples, each run-length coded and ASCII85 encoded on its own.
int64_t EncodeColorRows(TMemoryStream& ms, TRVBitmap& bitmap, TRVProgressRec& progress) {
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  std::vector<uint8_t> planes(static_cast<size_t>(w) * 3);
  uint8_t* red = planes.data();
  uint8_t* green = red + w;
  uint8_t* blue = green + w;
  std::vector<uint8_t> packed(static_cast<size_t>(RunLengthEncodeBound(w)));
  TA85Block a85;
  int64_t count = 0;
  codecs::StartProgress(progress, h);
  for (int32_t y = 0; y < h && !progress.IsAborting(); ++y) {
    const uint8_t* row = bitmap.GetScanLine(y);
    for (int32_t x = 0; x < w; ++x, row += 3) {  // rows hold blue, green, red
      blue[x] = row[0];
      green[x] = row[1];
      red[x] = row[2];
    }
    for (const uint8_t* plane : {red, green, blue}) {
      const int64_t n = RunLengthEncode(plane, w, packed.data());
      count += a85.Encode(ms, packed.data(), n, progress);
    }
    codecs::StepProgress(progress, true);
  }
  return count;
}

// All rows' bytes run-length coded and ASCII85 encoded as one block.
int64_t EncodeBilevelRunLength(TMemoryStream& ms, TRVBitmap& bitmap, TRVProgressRec& progress) {
  codecs::StartProgress(progress, bitmap.GetHeight());
  const std::vector<uint8_t> rows = BilevelRows(bitmap);
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y) codecs::StepProgress(progress, true);
  std::vector<uint8_t> packed(static_cast<size_t>(RunLengthEncodeBound(int64_t(rows.size()))));
  const int64_t n = RunLengthEncode(rows.data(), static_cast<int64_t>(rows.size()), packed.data());
  TA85Block a85;
  return a85.Encode(ms, packed.data(), n, progress);
}

// The fax coded rows, padded with zero bytes to a multiple of 4, ASCII85 encoded as one block.
int64_t EncodeFax(TMemoryStream& ms, TRVBitmap& bitmap, bool group4, TRVProgressRec& progress) {
  TMemoryStream coded;
  static const uint8_t kZeros[4] = {0, 0, 0, 0};
  const bool ok = FaxCodeRows(bitmap, group4, coded);
  const int64_t pad = (4 - coded.GetSize() % 4) % 4;
  if (!ok || coded.Write(kZeros, pad) != pad) {
    progress.SetAborting();
    return 0;
  }
  TA85Block a85;
  return a85.Encode(ms, coded.Memory(), coded.GetSize(), progress);
}

// The whole image as a JPEG stream, ASCII85 encoded as one block.
int64_t EncodeJpeg(TMemoryStream& ms, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress) {
  TMemoryStream jpeg;
  WritePageJpeg(jpeg, bitmap, params, progress);
  if (progress.IsAborting()) return 0;
  TA85Block a85;
  return a85.Encode(ms, jpeg.Memory(), jpeg.GetSize(), progress);
}

// The lines that open the data: the data source, the BeginData comment and the operator.
void WriteDataHeader(TStream& stream, TPSCoding coding, int32_t w, int32_t h, bool grayJpeg, int64_t count,
                     bool& error) {
  const std::string beginData = "%%BeginData:      " + Num(count) + " ASCII Bytes";
  switch (coding) {
    case TPSCoding::Jpeg:
      WriteLine(stream, "currentfile /ASCII85Decode filter << >> /DCTDecode filter", error);
      WriteLine(stream, grayJpeg ? "false 1" : "false 3", error);
      WriteLine(stream, beginData, error);
      WriteLine(stream, "colorimage", error);
      break;
    case TPSCoding::RunLengthColor:
      for (const char* s : {"/rstr ", "/gstr ", "/bstr "})
        WriteLine(stream, s + Num(w) + " string def", error);
      for (const char* s : {"rstr", "gstr", "bstr"})
        WriteLine(stream,
                  std::string("{currentfile /ASCII85Decode filter /RunLengthDecode filter ") + s +
                      " readstring pop}",
                  error);
      WriteLine(stream, "true 3", error);
      WriteLine(stream, beginData, error);
      WriteLine(stream, "colorimage", error);
      break;
    case TPSCoding::RunLength1Bit:
      WriteLine(stream, "currentfile /ASCII85Decode filter /RunLengthDecode filter", error);
      WriteLine(stream, beginData, error);
      WriteLine(stream, "image", error);
      break;
    case TPSCoding::Group4:
    case TPSCoding::Group3:
      WriteLine(stream,
                std::string("currentfile /ASCII85Decode filter << /K ") +
                    (coding == TPSCoding::Group4 ? "-1" : "1") + " /BlackIs1 true /Columns " + Num(w) +
                    " /Rows " + Num(h) +
                    " /EndOfLine false /Uncompressed true /EncodedByteAlign false /EndOfBlock false >> "
                    "/CCITTFaxDecode filter",
                error);
      WriteLine(stream, beginData, error);
      WriteLine(stream, "image", error);
      break;
  }
}

}  // namespace

std::string PadNumberRight(int64_t value, int32_t width) {
  std::string s = IntToStrA(value);
  if (static_cast<int64_t>(s.size()) < width) s.append(static_cast<size_t>(width) - s.size(), ' ');
  return s;
}

std::string PSFormatDate(const std::tm& t) {
  static const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  auto two = [](int v) { return std::string(v < 10 ? "0" : "") + std::to_string(v); };
  return std::string(kDays[std::clamp(t.tm_wday, 0, 6)]) + " " + kMonths[std::clamp(t.tm_mon, 0, 11)] + " " +
         two(t.tm_mday) + " " + two(t.tm_hour) + ":" + two(t.tm_min) + ":" + two(t.tm_sec) + " " +
         std::to_string(t.tm_year + 1900);
}

int64_t PSEncodeImageData(TMemoryStream& memoryStream, TRVBitmap& bitmap, TIOParamsVals& params,
                          TRVProgressRec& progress) {
  switch (CodingOf(bitmap, params)) {
    case TPSCoding::Jpeg:
      return EncodeJpeg(memoryStream, bitmap, params, progress);
    case TPSCoding::RunLengthColor:
      return EncodeColorRows(memoryStream, bitmap, progress);
    case TPSCoding::RunLength1Bit:
      return EncodeBilevelRunLength(memoryStream, bitmap, progress);
    case TPSCoding::Group4:
      return EncodeFax(memoryStream, bitmap, true, progress);
    case TPSCoding::Group3:
      return EncodeFax(memoryStream, bitmap, false, progress);
  }
  return 0;
}

void PSWritePage(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, int32_t paperHeight,
                 int32_t paperWidth, int32_t pageNumber, TRVProgressRec& progress, bool& error) {
  std::unique_ptr<TRVBitmap> copy;
  TRVBitmap* image = PageImage(bitmap, copy);
  if (!image) {
    progress.SetAborting();
    return;
  }
  const int32_t w = image->GetWidth(), h = image->GetHeight();
  int32_t fitW = 0, fitH = 0;
  FitSizeKeepingAspect(w, h, paperWidth, paperHeight, fitW, fitH);
  WriteLine(stream, "%%Page: " + Num(pageNumber) + " " + Num(pageNumber), error);
  WriteLine(stream, "0 " + Num(paperHeight) + " translate", error);
  WriteLine(stream, Num(fitW) + " -" + Num(fitH) + " scale", error);
  const bool bilevel = image->GetPixelFormat() == rv1g;
  params.BitsPerSample = bilevel ? 1 : 8;
  params.SamplesPerPixel = bilevel ? 1 : 3;
  WriteLine(stream, Num(w) + " " + Num(h) + " " + Num(params.BitsPerSample), error);
  WriteLine(stream, "[ " + Num(w) + " 0 0 " + Num(h) + " 0 0 ]", error);

  const TPSCoding coding = CodingOf(*image, params);
  TMemoryStream data;
  // Room for the text at once (only what is written is ever touched): 8 MB, or as much as the
  // run-length text of a colour page may take.
  int64_t room = 8 << 20;
  if (coding == TPSCoding::RunLengthColor)
    room = std::max(room, 3 * int64_t(h) * TA85Block::Bound(RunLengthEncodeBound(w)));
  try {
    data.Reserve(room);
  } catch (const std::bad_alloc&) {
    // The stream grows as it is written.
  }
  const bool grayJpeg = params.JPEG_ColorSpace == 1;
  const int64_t count = PSEncodeImageData(data, *image, params, progress);
  if (progress.IsAborting()) return;
  WriteDataHeader(stream, coding, w, h, grayJpeg, count, error);
  SafeStreamWrite(stream, error, data.Memory(), data.GetSize());
  WriteLine(stream, "%%EndData", error);
  WriteLine(stream, "showpage", error);
}

std::unique_ptr<PSDocument> PSBeginDocument(TStream& stream, TIOParamsVals& params) {
  auto doc = std::make_unique<PSDocument>();
  bool& error = doc->WriteError;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  WriteLine(stream, "%!PS-Adobe-3.0", error);
  WriteLine(stream, "%%Creator: Rastova image library", error);
  WriteLine(stream, "%%Title: " + params.PS_Title, error);
  WriteLine(stream, "%%CreationDate: " + PSFormatDate(local), error);
  WriteLine(stream, "%%DocumentData: Clean7Bit", error);
  WriteLine(stream, "%%LanguageLevel: 2", error);
  doc->PageCountPosition = stream.GetPosition();
  WriteLine(stream, "%%Pages: " + PadNumberRight(0, 6), error);
  WriteLine(stream,
            "%%BoundingBox: 0 0 " + Num(int64_t(params.PS_PaperWidth) - 1) + " " +
                Num(int64_t(params.PS_PaperHeight) - 1),
            error);
  WriteLine(stream, "%%EndComments", error);
  doc->EndPosition = stream.GetPosition();
  return doc;
}

void PSAddPage(PSDocument& document, TStream& stream, TRVBitmap& bitmap, TRVProgressRec& progress,
               TIOParamsVals& params) {
  if (bitmap.GetWidth() <= 0 || bitmap.GetHeight() <= 0) {
    progress.SetAborting();
    return;
  }
  stream.SetPosition(document.PageCountPosition);
  char line[15] = {};
  const int64_t got = stream.Read(line, 15);
  std::string digits;
  for (int64_t i = 9; i < 14 && i < got; ++i)
    if (line[i] != ' ') digits += line[i];
  const int32_t count = StrToIntDefA(digits, 1) + 1;
  stream.SetPosition(document.PageCountPosition);
  WriteLine(stream, "%%Pages: " + PadNumberRight(count, 6), document.WriteError);
  stream.SetPosition(document.EndPosition);
  PSWritePage(stream, bitmap, params, params.PS_PaperHeight, params.PS_PaperWidth, count, progress,
              document.WriteError);
  document.EndPosition = stream.GetPosition();
  if (document.WriteError) progress.SetAborting();
}

bool PSEndDocument(std::unique_ptr<PSDocument> document, TStream& stream) {
  if (!document) return true;
  stream.SetPosition(document->EndPosition);
  WriteLine(stream, "%%Trailer", document->WriteError);
  WriteLine(stream, "%%EOF", document->WriteError);
  return !document->WriteError;
}

void WritePSStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress) {
  if (bitmap.GetWidth() <= 0 || bitmap.GetHeight() <= 0) {
    progress.SetAborting();
    return;
  }
  std::unique_ptr<PSDocument> doc = PSBeginDocument(stream, params);
  PSAddPage(*doc, stream, bitmap, progress, params);
  if (!PSEndDocument(std::move(doc), stream)) progress.SetAborting();
}

}  // namespace rv
