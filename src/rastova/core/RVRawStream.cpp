// Raw bitmap stream: writer and checked reader.
#include "rastova/core/RVRawStream.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVResampleInternal.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"
#include "rastova/core/RVZLib.h"

namespace rv {

namespace {

constexpr char kSignature[12] = {'T', 'R', 'V', 'B', 'I', 'T', 'M', 'A', 'P', 'R', 'A', 'W'};
constexpr int32_t kMaxPalette = 256;
// Width .. RowAlignment after the palette.
constexpr int64_t kFixedFields = 55;

void PutI32(std::vector<uint8_t>& out, int32_t v) {
  auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

void PutF64(std::vector<uint8_t>& out, double v) {
  static_assert(sizeof(double) == 8);
  uint64_t u;
  std::memcpy(&u, &v, 8);
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

int32_t GetI32(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24));
}

double GetF64(const uint8_t* p) {
  uint64_t u = 0;
  for (int i = 7; i >= 0; --i) u = (u << 8) | p[i];
  double v;
  std::memcpy(&v, &u, 8);
  return v;
}

// Row alignments beyond this many bits are refused: no image lays out its rows so sparsely,
// and the bound keeps a row's length within what the data could hold.
constexpr int32_t kMaxRowAlignment = 4096;

// Whether `count` blocks of `size` bytes and `extra` bytes more can follow in the stream (for
// a decompression stream: as many as its compressed bytes could hold).
bool Fits(TStream& stream, int64_t count, int64_t size, int64_t extra) {
  int64_t needed = 0;
  if (__builtin_mul_overflow(count, size, &needed) || __builtin_add_overflow(needed, extra, &needed)) return false;
  return needed <= BytesLeftBound(stream);
}

}  // namespace

void WriteRawBytes(TStream& stream, const void* buffer, int64_t count) { stream.WriteBuffer(buffer, count); }

bool ReadRawBytes(TStream& stream, void* buffer, int64_t count) {
  auto* p = static_cast<uint8_t*>(buffer);
  while (count > 0) {
    int64_t n = stream.Read(p, count);
    if (n <= 0) return false;
    p += n;
    count -= n;
  }
  return true;
}

void SaveRawToStream(TRVBitmap& bitmap, TStream& stream) {
  const int32_t width = bitmap.GetWidth(), height = bitmap.GetHeight();
  const int32_t bits = bitmap.GetBitCount();
  const int32_t alignment = bitmap.GetRowAlignment();
  const int32_t paletteLength = std::min(bitmap.GetPaletteLength(), kMaxPalette);

  std::vector<uint8_t> header(kSignature, kSignature + 12);
  PutI32(header, 0);
  PutI32(header, paletteLength);
  for (int32_t i = 0; i < paletteLength; ++i) {
    TRGB c = bitmap.GetPalette(i);
    header.insert(header.end(), {c.b, c.g, c.r});
  }
  PutI32(header, width);
  PutI32(header, height);
  header.push_back(static_cast<uint8_t>(bitmap.GetPixelFormat()));
  header.push_back(bitmap.Full ? 1 : 0);
  PutI32(header, bitmap.PaletteColorCount);
  PutF64(header, bitmap.DisplayMin);
  PutF64(header, bitmap.DisplayMax);
  for (int32_t v : bitmap.ChannelOffset) PutI32(header, v);
  header.push_back(bitmap.ChannelOffsetSet ? 1 : 0);
  PutI32(header, bitmap.Contrast);
  PutI32(header, alignment);
  WriteRawBytes(stream, header.data(), static_cast<int64_t>(header.size()));

  auto presize = [&stream](int64_t bytes) {
    if (stream.IsCompressionStream()) return;
    try {
      int64_t end = stream.GetPosition() + bytes;
      if (stream.GetSize() < end) stream.SetSize(end);
    } catch (...) {
      // Growing ahead is only an optimisation; the writes below grow the stream anyway.
    }
  };

  const int64_t rowLen = bitmap.IsEmpty() ? 0 : AlignedRowLength64(width, bits, alignment);
  if (rowLen > 0) {
    presize(rowLen * height);
    resample_detail::AccessScope readOnly(bitmap, 1);
    std::vector<uint8_t> row(static_cast<size_t>(rowLen));
    const int64_t shared = std::min<int64_t>(rowLen, bitmap.GetRowLen());
    for (int32_t y = 0; y < height; ++y) {
      std::fill(row.begin(), row.end(), 0);
      const uint8_t* p = bitmap.GetScanLine(y);
      if (p) std::memcpy(row.data(), p, static_cast<size_t>(shared));
      WriteRawBytes(stream, row.data(), rowLen);
    }
  }

  const bool hasAlpha = bitmap.HasAlphaBitmap() && !bitmap.IsEmpty();
  const uint8_t present = hasAlpha ? 1 : 0;
  WriteRawBytes(stream, &present, 1);
  if (!hasAlpha) return;
  TRVBitmap* alpha = bitmap.AlphaBitmap();
  const int64_t alphaRowLen = AlignedRowLength64(width, 8, 32);
  presize(alphaRowLen * height + 1);
  resample_detail::AccessScope alphaRead(*alpha, 1);
  std::vector<uint8_t> row(static_cast<size_t>(alphaRowLen));
  const int64_t shared = std::min<int64_t>(alphaRowLen, alpha->GetRowLen());
  for (int32_t y = 0; y < height; ++y) {
    std::fill(row.begin(), row.end(), 0);
    const uint8_t* p = alpha->GetScanLine(y);
    if (p) std::memcpy(row.data(), p, static_cast<size_t>(shared));
    WriteRawBytes(stream, row.data(), alphaRowLen);
  }
  const uint8_t full = alpha->Full ? 1 : 0;
  WriteRawBytes(stream, &full, 1);
}

bool LoadRawFromStream(TRVBitmap& bitmap, TStream& stream) {
  uint8_t signature[12];
  if (!ReadRawBytes(stream, signature, 12) || std::memcmp(signature, kSignature, 12) != 0) return false;
  uint8_t buf[kFixedFields];
  if (!ReadRawBytes(stream, buf, 8)) return false;
  const int32_t version = GetI32(buf);
  const int32_t paletteCount = GetI32(buf + 4);
  if (version < 0 || paletteCount < 0 || paletteCount > kMaxPalette) return false;
  if (!Fits(stream, paletteCount, 3, kFixedFields)) return false;
  std::vector<TRGB> palette(static_cast<size_t>(paletteCount));
  for (TRGB& c : palette) {
    uint8_t e[3];
    if (!ReadRawBytes(stream, e, 3)) return false;
    c = TRGB{e[0], e[1], e[2]};
  }
  if (!ReadRawBytes(stream, buf, kFixedFields)) return false;
  const int32_t width = GetI32(buf), height = GetI32(buf + 4);
  const uint8_t format = buf[8];
  const bool full = buf[9] != 0;
  const int32_t paletteColorCount = GetI32(buf + 10);
  const double displayMin = GetF64(buf + 14), displayMax = GetF64(buf + 22);
  int32_t offsets[4];
  for (int i = 0; i < 4; ++i) offsets[i] = GetI32(buf + 30 + 4 * i);
  const bool offsetsSet = buf[46] != 0;
  const int32_t contrast = GetI32(buf + 47);
  const int32_t alignment = GetI32(buf + 51);
  if (width < 0 || height < 0 || format >= kRVPixelFormatCount) return false;
  if (alignment <= 0 || alignment % 8 != 0 || alignment > kMaxRowAlignment) return false;
  const bool empty = width == 0 || height == 0;
  if (!empty && format == rvNone) return false;

  const int32_t bits = kRVBitCount[format];
  const int64_t rowLen = empty ? 0 : AlignedRowLength64(width, bits, alignment);
  const int64_t alphaRowLen = empty ? 0 : AlignedRowLength64(width, 8, 32);
  if (!Fits(stream, rowLen, height, 1)) return false;

  if (empty) {
    bitmap.FreeImage(true);
  } else {
    bitmap.SetRowAlignment(alignment);
    if (!bitmap.Allocate(width, height, static_cast<TRVPixelFormat>(format)) || bitmap.IsEmpty()) return false;
  }
  bitmap.Full = full;
  bitmap.PaletteColorCount = paletteColorCount;
  bitmap.DisplayMin = displayMin;
  bitmap.DisplayMax = displayMax;
  for (int i = 0; i < 4; ++i) bitmap.ChannelOffset[i] = offsets[i];
  bitmap.ChannelOffsetSet = offsetsSet;
  bitmap.Contrast = contrast;
  const int32_t shared = std::min(paletteCount, bitmap.GetPaletteLength());
  for (int32_t i = 0; i < shared; ++i) bitmap.SetPalette(i, palette[static_cast<size_t>(i)]);

  if (!empty) {
    resample_detail::AccessScope writeOnly(bitmap, 2);
    std::vector<uint8_t> row(static_cast<size_t>(rowLen));
    const int64_t copy = std::min<int64_t>(rowLen, bitmap.GetRowLen());
    for (int32_t y = 0; y < height; ++y) {
      if (!ReadRawBytes(stream, row.data(), rowLen)) return false;
      uint8_t* p = bitmap.GetScanLine(y);
      if (!p) return false;
      std::memcpy(p, row.data(), static_cast<size_t>(copy));
      if (copy < bitmap.GetRowLen()) std::memset(p + copy, 0, static_cast<size_t>(bitmap.GetRowLen() - copy));
    }
  }

  uint8_t present = 0;
  if (!ReadRawBytes(stream, &present, 1)) return false;
  if (present == 0 || empty) {
    if (present == 0) bitmap.RemoveAlphaBitmap(false, 0);
    return present == 0;
  }
  if (!Fits(stream, alphaRowLen, height, 1)) return false;
  TRVBitmap* alpha = bitmap.AlphaBitmap();
  std::vector<uint8_t> row(static_cast<size_t>(alphaRowLen));
  std::unique_ptr<resample_detail::AccessScope> writeOnly;
  if (alpha) writeOnly = std::make_unique<resample_detail::AccessScope>(*alpha, 2);
  for (int32_t y = 0; y < height; ++y) {
    if (!ReadRawBytes(stream, row.data(), alphaRowLen)) return false;
    if (!alpha) continue;  // an alpha channel has no alpha channel of its own
    uint8_t* p = alpha->GetScanLine(y);
    if (!p) return false;
    std::memcpy(p, row.data(), static_cast<size_t>(std::min<int64_t>(alphaRowLen, alpha->GetRowLen())));
  }
  uint8_t alphaFull = 0;
  if (!ReadRawBytes(stream, &alphaFull, 1)) return false;
  if (alpha) alpha->Full = alphaFull != 0;
  return true;
}

}  // namespace rv
