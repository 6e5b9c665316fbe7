#include "rastova/codecs/bitmaps/rawbmpfilt.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/Exception.h"
#include "common/Round.h"
#include "rastova/codecs/CodecUtils.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv {

using namespace codecs;

namespace {

// Reads up to n bytes at the position into a zeroed buffer, then restores the position.
void Peek(TStream& stream, uint8_t* buffer, int64_t n) {
  const int64_t start = stream.GetPosition();
  std::memset(buffer, 0, size_t(n));
  stream.Read(buffer, n);
  stream.SetPosition(start);
}

enum class TSampleKind { Byte, Word, Float };

TSampleKind KindOf(TRVPixelFormat f) {
  if (f == rv16g || f == rv48RGB) return TSampleKind::Word;
  if (f == rv32f) return TSampleKind::Float;
  return TSampleKind::Byte;
}

bool IsDecimalDigitA(int c) { return c >= '0' && c <= '9'; }
bool IsUpperHexDigitA(int c) { return IsDecimalDigitA(c) || (c >= 'A' && c <= 'F'); }

// Skips bytes up to the first digit, which is returned (-1 at the end of the data).
int SkipToDecimalDigit(TStream& s) {
  int c;
  while ((c = StreamByte(s)) >= 0 && !IsDecimalDigitA(c)) {
  }
  return c;
}
int SkipToHexDigit(TStream& s) {
  int c;
  while ((c = StreamByte(s)) >= 0 && !IsUpperHexDigitA(c)) {
  }
  return c;
}

// A run of at most 34 digits starting with `first`; the byte after it is consumed. Float samples
// take a decimal point into the run.
std::string ReadDecimalDigits(TStream& s, int first, bool withPoint) {
  std::string run(1, static_cast<char>(first));
  int c;
  while (run.size() < 34 && (c = StreamByte(s)) >= 0 && (IsDecimalDigitA(c) || (withPoint && c == '.')))
    run.push_back(static_cast<char>(c));
  return run;
}
std::string ReadHexDigits(TStream& s, int first) {
  std::string run(1, static_cast<char>(first));
  int c;
  while (run.size() < 34 && (c = StreamByte(s)) >= 0 && IsUpperHexDigitA(c)) run.push_back(static_cast<char>(c));
  return run;
}

uint64_t HexTextToInt(const std::string& text) {
  uint64_t v = 0;
  for (char c : text) {
    v = std::min<uint64_t>(v * 16 + uint64_t(IsDecimalDigitA(c) ? c - '0' : c - 'A' + 10), UINT32_MAX);
  }
  return v;
}

uint64_t DecimalTextToInt(const std::string& text) {
  uint64_t v = 0;
  for (char c : text) v = std::min<uint64_t>(v * 10 + uint64_t(c - '0'), UINT32_MAX);
  return v;
}

// Stores one value at sample `index` of `dest`, clamped to the sample's range.
void StoreValue(uint8_t* dest, int64_t index, TSampleKind kind, uint64_t value) {
  if (kind == TSampleKind::Byte)
    dest[index] = static_cast<uint8_t>(std::min<uint64_t>(value, 255));
  else
    reinterpret_cast<uint16_t*>(dest)[index] = static_cast<uint16_t>(std::min<uint64_t>(value, 65535));
}

void StoreRawDecimalValue(TStream& s, uint8_t* dest, int64_t index, TSampleKind kind) {
  const int first = SkipToDecimalDigit(s);
  if (first < 0) return;
  const std::string run = ReadDecimalDigits(s, first, kind == TSampleKind::Float);
  if (kind == TSampleKind::Float)
    reinterpret_cast<float*>(dest)[index] = std::strtof(run.c_str(), nullptr);
  else
    StoreValue(dest, index, kind, DecimalTextToInt(run));
}

void StoreRawHexValue(TStream& s, uint8_t* dest, int64_t index, TSampleKind kind) {
  if (kind == TSampleKind::Float) throw common::Exception("Format unsupported");
  const int first = SkipToHexDigit(s);
  if (first < 0) return;
  StoreValue(dest, index, kind, HexTextToInt(ReadHexDigits(s, first)));
}

// `count` samples (text) or `bytes` bytes (binary) into `dest`.
void ReadRawValues(TStream& s, uint8_t* dest, int64_t count, int64_t bytes, TSampleKind kind, uint8_t format) {
  if (format == 0) {
    s.Read(dest, bytes);
    return;
  }
  for (int64_t i = 0; i < count; ++i) {
    if (format == 1)
      StoreRawDecimalValue(s, dest, i, kind);
    else
      StoreRawHexValue(s, dest, i, kind);
  }
}

// Reports a percentage when an event is assigned and it differs from the last one.
void ReportRawProgress(TRVProgressRec& progress, int32_t percent) {
  if (!progress.HasEvent() || percent == progress.Extra) return;
  progress.Extra = percent;
  progress.Report(percent);
}

// Samples of one row of the buffer in the text codings: the channels of every pixel, or the
// bytes of a packed 1-bit row.
int64_t TextSamplesOfRow(TRVBitmap& b) {
  return b.GetPixelFormat() == rv1g ? (int64_t(b.GetWidth()) + 7) / 8 : int64_t(b.GetWidth()) * b.GetChannelCount();
}

void ReadRawRows(TStream& s, TRVBitmap& b, TIOParamsVals& params, int64_t storedRow, TRVProgressRec& progress) {
  const TSampleKind kind = KindOf(b.GetPixelFormat());
  const int64_t rowLen = b.GetRowLen();
  const int64_t usedBytes = (int64_t(b.GetWidth()) * b.GetBitCount() + 7) / 8;
  for (int32_t y = 0; y < b.GetHeight(); ++y) {
    const int64_t bytes = std::min<int64_t>(std::min(rowLen, usedBytes), storedRow);
    ReadRawValues(s, b.GetScanLine(y), TextSamplesOfRow(b), bytes, kind, params.RAWBMP_DataFormat);
    if (storedRow > bytes && params.RAWBMP_DataFormat == 0) s.Seek(storedRow - bytes, soCurrent);
    ReportRawProgress(progress, common::TruncInt(y * progress.per1));
  }
}

// One plane of 8 or 16-bit samples into channel `channel` of every pixel.
void ReadRawPlane(TStream& s, TRVBitmap& b, TIOParamsVals& params, int32_t channel, int32_t channels, bool wide) {
  const int32_t w = b.GetWidth();
  const int64_t planeRow = AlignedRowLength64(w, wide ? 16 : 8, params.RAWBMP_RowAlign);
  std::vector<uint8_t> scratch(size_t(std::max<int64_t>(planeRow, int64_t(w) * (wide ? 2 : 1))) + 8, 0);
  for (int32_t y = 0; y < b.GetHeight(); ++y) {
    ReadRawValues(s, scratch.data(), w, planeRow, wide ? TSampleKind::Word : TSampleKind::Byte,
                  params.RAWBMP_DataFormat);
    uint8_t* row = b.GetScanLine(y);
    for (int32_t x = 0; x < w; ++x) {
      if (wide)
        reinterpret_cast<uint16_t*>(row)[int64_t(x) * channels + channel] = reinterpret_cast<uint16_t*>(scratch.data())[x];
      else
        row[int64_t(x) * channels + channel] = scratch[size_t(x)];
    }
  }
}

void ReadRawPlanes8(TStream& s, TRVBitmap& b, TIOParamsVals& params, int32_t channels, TRVProgressRec& progress) {
  for (int32_t c = 0; c < channels; ++c) {
    ReportRawProgress(progress, c * 100 / channels);
    ReadRawPlane(s, b, params, c, channels, false);
  }
  ReportRawProgress(progress, 100);
}

void ReadRawPlanes16(TStream& s, TRVBitmap& b, TIOParamsVals& params, TRVProgressRec& progress) {
  for (int32_t c = 0; c < 3; ++c) {
    ReportRawProgress(progress, c * 100 / 3);
    ReadRawPlane(s, b, params, c, 3, true);
  }
  ReportRawProgress(progress, 100);
}

void SwapRowsRedBlue(TRVBitmap& b) {
  for (int32_t y = 0; y < b.GetHeight(); ++y) SwapRedBlue(b.GetScanLine(y), b.GetWidth());
}
void SwapRowsRedBlue48(TRVBitmap& b) {
  for (int32_t y = 0; y < b.GetHeight(); ++y) SwapRedBlue48(b.GetScanLine(y), b.GetWidth());
}

}  // namespace

bool IsEMFStream(TStream& stream) {
  uint8_t b[108];
  Peek(stream, b, 108);
  return GetLE32(b) == 1 && GetLE32(b + 40) == 0x464D4520;
}

bool IsWMFStream(TStream& stream) {
  const int64_t start = stream.GetPosition();
  uint8_t b[22];
  Peek(stream, b, 20);
  if (GetLE32(b) == 0x9AC6CDD7) stream.SetPosition(start + 22);
  uint8_t h[18];
  Peek(stream, h, 18);
  stream.SetPosition(start);
  return GetLE16(h) == 1 && GetLE16(h + 2) == 9 && GetLE16(h + 16) == 0;
}

void ReadRawBitmapStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress) {
  TRVBufferedReadStream s(stream, 8192, true);
  const int32_t h = bitmap.GetHeight();
  progress.per1 = h > 0 ? 100.0 / h : 0;
  progress.Extra = -1;
  if (params.RAWBMP_HeaderSize > 0) s.Seek(params.RAWBMP_HeaderSize, soCurrent);
  const int64_t storedRow = AlignedRowLength64(bitmap.GetWidth(), bitmap.GetBitCount(), params.RAWBMP_RowAlign);
  const bool planar = params.RAWBMP_Planar == 1;
  switch (bitmap.GetPixelFormat()) {
    case rv1g:
    case rv8p:
    case rv8g:
    case rv16g:
    case rv32f:
      ReadRawRows(s, bitmap, params, storedRow, progress);
      break;
    case rv24RGB:
      if (planar)
        ReadRawPlanes8(s, bitmap, params, 3, progress);
      else
        ReadRawRows(s, bitmap, params, storedRow, progress);
      if (params.RAWBMP_ChannelOrder != 1) SwapRowsRedBlue(bitmap);
      break;
    case rvCMYK:
      if (planar)
        ReadRawPlanes8(s, bitmap, params, 4, progress);
      else
        ReadRawRows(s, bitmap, params, storedRow, progress);
      break;
    case rv48RGB:
      if (planar)
        ReadRawPlanes16(s, bitmap, params, progress);
      else
        ReadRawRows(s, bitmap, params, storedRow, progress);
      if (params.RAWBMP_ChannelOrder != 1) SwapRowsRedBlue48(bitmap);
      break;
    default:
      break;
  }
}

}  // namespace rv
