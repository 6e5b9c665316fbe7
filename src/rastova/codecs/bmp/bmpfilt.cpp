#include "rastova/codecs/bmp/bmpfilt.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/Round.h"
#include "rastova/codecs/CodecUtils.h"
#include "rastova/core/RVColorReduce.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVDibTransfer.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv {

using namespace codecs;

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void PutLe32(uint8_t* p, uint32_t v) {
  PutLe16(p, v);
  PutLe16(p + 2, v >> 16);
}

int64_t BmpRowLength(int64_t width, int32_t bits) { return (width * bits + 31) / 32 * 4; }

// Reads exactly n bytes; false at the end of the stream.
bool ReadExact(TStream& s, void* buffer, int64_t n) { return n <= 0 || s.Read(buffer, n) == n; }

// ---------------------------------------------------------------- run-length decoding

template <bool kFour, typename Put>
void DecodeRLE(TRVBitmap& bitmap, const uint8_t* data, int64_t size, int32_t flip, TRVProgressRec& progress,
               Put put) {
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  if (w <= 0 || h <= 0 || !data) return;
  const double step = 100.0 / h;
  int32_t r = h - 1, x = 0;
  auto rowOf = [&](int32_t fileRow) { return bitmap.GetScanLine(std::abs(flip - fileRow)); };
  uint8_t* row = rowOf(r);
  // Pixels past the right edge are dropped (writers such as ImageMagick pad their rows with
  // them; writing them over the last pixel would spoil the last column).
  auto emit = [&](uint8_t v) {
    if (x < w) put(row, x, v);
    ++x;
  };
  int64_t p = 0;
  while (p + 1 < size) {
    const uint8_t a = data[p], b = data[p + 1];
    p += 2;
    if (a > 0) {
      for (int32_t i = 0; i < a; ++i) emit(kFour ? ((i & 1) ? (b & 0x0F) : (b >> 4)) : b);
    } else if (b == 0) {
      if (--r < 0) break;
      x = 0;
      row = rowOf(r);
      if (progress.HasEvent()) progress.Report(common::TruncInt((h - r) * step));
      if (progress.IsAborting()) break;
    } else if (b == 1) {
      break;
    } else if (b == 2) {
      if (p + 1 >= size) break;
      x += data[p];
      r -= data[p + 1];
      p += 2;
      if (r < 0 || x > w) break;
      row = rowOf(r);
    } else {
      const int64_t bytes = kFour ? (b + 1) / 2 : b;
      if (p + bytes > size) break;
      for (int32_t i = 0; i < b; ++i) {
        const uint8_t v = kFour ? ((i & 1) ? (data[p + i / 2] & 0x0F) : (data[p + i / 2] >> 4)) : data[p + i];
        emit(v);
      }
      p += bytes + (bytes & 1);
    }
  }
}

auto RGBPut(const TRGB* colorMap, int32_t colorCount) {
  return [colorMap, colorCount](uint8_t* row, int32_t x, uint8_t v) {
    static const TRGB kBlack{};
    std::memcpy(row + 3 * int64_t(x), (v < colorCount && colorMap) ? &colorMap[v] : &kBlack, 3);
  };
}
void IndexPut(uint8_t* row, int32_t x, uint8_t v) { row[x] = v; }

// ---------------------------------------------------------------- reader

// What the headers say about the pixels.
struct BmpLayout {
  int64_t start = 0;      // stream position of the BMP
  int64_t block = 0;      // its length when known, else 0 or less
  uint32_t dataOffset = 0;
  int64_t width = 0, height = 0;
  int32_t bitCount = 0, compression = 0;
  int64_t imageSize = 0;
  bool topDown = false;
  uint32_t masks[4] = {0x7C00, 0x03E0, 0x001F, 0};  // red, green, blue, alpha
};

// The file header (unless the stream starts with the bitmap header): the BMP's length and the
// pixels' offset. False when it is cut short or not "BM".
bool ReadFileHeader(TStream& stream, int32_t blockSize, const TIOParamsVals& params, bool noFileHeader,
                    BmpLayout& l) {
  l.start = stream.GetPosition();
  l.block = blockSize;
  uint8_t fh[14] = {'B', 'M'};
  uint32_t fileSize;
  if (noFileHeader || params.IsResource) {
    fileSize = static_cast<uint32_t>(std::min<int64_t>(stream.GetSize(), 0xFFFFFFFF));
  } else {
    if (!ReadExact(stream, fh, 14)) return false;
    fileSize = Le32(fh + 2);
    l.dataOffset = Le32(fh + 10);
  }
  if (fileSize != 0 && l.block <= 0) l.block = fileSize;
  return fh[0] == 'B' && fh[1] == 'M';
}

// The OS/2 core header of 12 bytes, with its colour table of 3-byte entries.
bool ReadCoreHeader(TStream& stream, TIOParamsVals& params, BmpLayout& l) {
  uint8_t hb[12];
  if (!ReadExact(stream, hb, 12)) return false;
  params.BMP_Version = 2;
  l.width = Le16(hb + 4);
  l.height = Le16(hb + 6);
  l.bitCount = Le16(hb + 10);
  params.SetDpiX(DefaultDpiX);
  params.SetDpiY(DefaultDpiY);
  if (l.bitCount <= 8) {
    const int32_t n = 1 << l.bitCount;
    params.SetColorMapCount(n);
    if (!ReadExact(stream, params.ColorMap.data(), int64_t(n) * 3)) return false;
  }
  return true;
}

// Any longer header, the masks of a bit-field file and the colour table of 4-byte entries.
bool ReadInfoHeader(TStream& stream, uint32_t headerSize, TIOParamsVals& params, BmpLayout& l) {
  // Too short to hold a size, or longer than any header: not a bitmap header.
  if (headerSize < 16 || headerSize > 0x10000000) return false;
  uint8_t hb[64] = {};
  const int64_t take = std::min<int64_t>(64, headerSize);
  if (!ReadExact(stream, hb, take) || (headerSize > 64 && BytesLeft(stream) < int64_t(headerSize) - 64)) return false;
  if (headerSize > 64) stream.Seek(int64_t(headerSize) - 64, soCurrent);
  params.BMP_Version = headerSize == 64 ? 3 : (headerSize == 40 ? 1 : 0);
  l.width = static_cast<int32_t>(Le32(hb + 4));
  l.height = static_cast<int32_t>(Le32(hb + 8));
  if (l.height < 0) {
    l.height = -l.height;
    l.topDown = true;
  }
  l.bitCount = Le16(hb + 14);
  l.compression = static_cast<int32_t>(Le32(hb + 16));
  l.imageSize = Le32(hb + 20);
  const int32_t dpiX = common::RoundInt(static_cast<int32_t>(Le32(hb + 24)) / 100.0L * 2.54L);
  const int32_t dpiY = common::RoundInt(static_cast<int32_t>(Le32(hb + 28)) / 100.0L * 2.54L);
  params.SetDpiX(dpiX != 0 ? dpiX : DefaultDpiX);
  params.SetDpiY(dpiY != 0 ? dpiY : DefaultDpiY);
  if (l.compression == 3) {
    // Headers of 56 bytes and more (but the OS/2 one) hold their masks, alpha included; after
    // a shorter header the three colour masks come next, before the colour table.
    if (headerSize >= 56 && headerSize != 64) {
      for (int k = 0; k < 4; ++k) l.masks[k] = Le32(hb + 40 + 4 * k);
    } else if (headerSize >= 52 && headerSize != 64) {
      for (int k = 0; k < 3; ++k) l.masks[k] = Le32(hb + 40 + 4 * k);
    } else {
      uint8_t mb[12];
      if (!ReadExact(stream, mb, 12)) return false;
      for (int k = 0; k < 3; ++k) l.masks[k] = Le32(mb + 4 * k);
    }
  }
  uint32_t used = Le32(hb + 32);
  if (used > 256) used = 0;
  if (used == 0 && l.bitCount <= 8) used = 1u << l.bitCount;
  if (used != 0) {
    std::vector<uint8_t> table(size_t(used) * 4);
    if (!ReadExact(stream, table.data(), int64_t(table.size()))) return false;
    params.SetColorMapCount(static_cast<int32_t>(used));
    for (uint32_t i = 0; i < used; ++i) std::memcpy(&params.ColorMap[i], &table[size_t(i) * 4], 3);
  }
  return true;
}

void SetImageParams(const BmpLayout& l, TIOParamsVals& params) {
  params.Width = params.StoredWidth = static_cast<int32_t>(l.width);
  params.Height = params.StoredHeight = static_cast<int32_t>(l.height);
  params.SetImageCount(1);
  params.BMP_Compression = (l.compression == 1 || l.compression == 2) ? 1 : 0;
  switch (l.bitCount) {
    case 1: params.BitsPerSample = 1; params.SamplesPerPixel = 1; break;
    case 4: params.BitsPerSample = 4; params.SamplesPerPixel = 1; break;
    case 8: params.BitsPerSample = 8; params.SamplesPerPixel = 1; break;
    case 16: params.BitsPerSample = 5; params.SamplesPerPixel = 3; break;
    case 24: params.BitsPerSample = 8; params.SamplesPerPixel = 3; break;
    case 32: params.BitsPerSample = 8; params.SamplesPerPixel = 4; break;
    default: break;
  }
}

// Whether the pixels can be decoded from `dataSize` bytes: a depth and compression this reader
// knows, and rows the data can hold (run-length data within the bound of every RLE reader).
bool PixelsFit(const BmpLayout& l, int64_t dataSize) {
  const bool rle = (l.bitCount == 8 && l.compression == 1) || (l.bitCount == 4 && l.compression == 2);
  const bool depthKnown = l.bitCount == 1 || l.bitCount == 4 || l.bitCount == 8 || l.bitCount == 16 ||
                          l.bitCount == 24 || l.bitCount == 32;
  const bool known =
      rle || (depthKnown && l.compression == 0) || (l.compression == 3 && (l.bitCount == 16 || l.bitCount == 32));
  if (!known) return false;
  if (rle) return dataSize > 0 && RLEImageFits(l.width, l.height, dataSize);
  // The last row may lack its padding; anything shorter is a damaged file.
  int64_t needed = 0;
  return !__builtin_mul_overflow(BmpRowLength(l.width, l.bitCount), l.height - 1, &needed) &&
         dataSize - (l.width * l.bitCount + 7) / 8 >= needed;
}

void ReadRunLength(TStream& stream, TRVBitmap& bitmap, const BmpLayout& l, int64_t dataSize, bool native,
                   TIOParamsVals& params, TRVProgressRec& progress) {
  const int32_t flip = l.topDown ? bitmap.GetHeight() - 1 : 0;
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y)
    std::memset(bitmap.GetScanLine(y), 0, static_cast<size_t>(bitmap.GetRowLen()));
  std::vector<uint8_t> data(static_cast<size_t>(dataSize));
  const int64_t got = stream.Read(data.data(), dataSize);
  if (l.bitCount == 8) {
    if (native) DecodeRLE8ToIndex(bitmap, data.data(), got, flip, progress);
    else DecodeRLE8ToRGB(bitmap, data.data(), got, flip, progress, params.ColorMapData(), params.ColorMapCount);
  } else {
    if (native) DecodeRLE4ToIndex(bitmap, data.data(), got, flip, progress);
    else DecodeRLE4ToRGB(bitmap, data.data(), got, flip, progress, params.ColorMapData(), params.ColorMapCount);
  }
}

// Uncompressed and bit-field rows, file row r into image row |flip - r|.
void ReadRows(TStream& stream, TRVBitmap& bitmap, const BmpLayout& l, bool native, TIOParamsVals& params,
              TRVProgressRec& progress, std::unique_ptr<TRVMask>& alphaMask, bool ignoreAlpha) {
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight(), bitCount = l.bitCount;
  const int32_t flip = l.topDown ? h - 1 : 0;
  const int64_t rowLen = BmpRowLength(w, bitCount);
  const TRGB* cmap = params.ColorMapData();
  const int32_t ccount = params.ColorMapCount;
  // 32-bit pixels: blue, green, red and alpha bytes, or with bit fields whatever the masks
  // say (alpha only from a header that holds an alpha mask).
  const bool fields32 = bitCount == 32 && l.compression == 3;
  const bool readAlpha = bitCount == 32 && !ignoreAlpha && (!fields32 || l.masks[3] != 0);
  if (readAlpha) {
    if (!alphaMask) alphaMask = std::make_unique<TRVMask>();
    alphaMask->AllocateBits(w, h, 8);
    alphaMask->Fill(255);
  }
  bool anyNonZero = false, anyNot255 = false;
  // 16-bit fields keep their bits at the top of the byte (a full 5-bit field reads as 248);
  // 32-bit fields are scaled.
  const BitField red(l.masks[0]), green(l.masks[1]), blue(l.masks[2]);
  const BitField red32(l.masks[0]), green32(l.masks[1]), blue32(l.masks[2]), alphaField(l.masks[3]);
  std::vector<uint8_t> line(static_cast<size_t>(rowLen));
  const bool invert1 = bitCount == 1 && ccount == 2 && params.ColorMap[0] == TRGB{255, 255, 255} &&
                       params.ColorMap[1] == TRGB{0, 0, 0};
  for (int32_t r = h - 1; r >= 0; --r) {
    if (progress.IsAborting()) break;
    const int64_t got = stream.Read(line.data(), rowLen);
    if (got < rowLen) std::memset(line.data() + std::max<int64_t>(got, 0), 0, static_cast<size_t>(rowLen - std::max<int64_t>(got, 0)));
    const int32_t y = std::abs(flip - r);
    uint8_t* row = bitmap.GetScanLine(y);
    const uint8_t* s = line.data();
    switch (bitCount) {
      case 1:
        std::memcpy(row, s, static_cast<size_t>((w + 7) / 8));
        if (invert1)
          for (int32_t i = 0; i < (w + 7) / 8; ++i) row[i] = static_cast<uint8_t>(~row[i]);
        break;
      case 4:
      case 8:
        for (int32_t x = 0; x < w; ++x) {
          const uint8_t v = bitCount == 8 ? s[x] : ((x & 1) ? (s[x / 2] & 0x0F) : (s[x / 2] >> 4));
          if (native) row[x] = v;
          else if (v < ccount) std::memcpy(row + 3 * x, &cmap[v], 3);
          else std::memset(row + 3 * x, 0, 3);
        }
        break;
      case 16:
        for (int32_t x = 0; x < w; ++x) {
          const uint32_t word = Le16(s + 2 * x);
          row[3 * x] = blue.Get(word);
          row[3 * x + 1] = green.Get(word);
          row[3 * x + 2] = red.Get(word);
        }
        break;
      case 24:
        std::memcpy(row, s, static_cast<size_t>(w) * 3);
        break;
      default: {
        uint8_t* a = readAlpha ? alphaMask->GetScanLine(y) : nullptr;
        for (int32_t x = 0; x < w; ++x) {
          const uint32_t word = Le32(s + 4 * x);
          if (fields32) {
            row[3 * x] = blue32.Scaled(word);
            row[3 * x + 1] = green32.Scaled(word);
            row[3 * x + 2] = red32.Scaled(word);
          } else {
            std::memcpy(row + 3 * x, s + 4 * x, 3);
          }
          if (a) {
            const uint8_t v = fields32 ? alphaField.Scaled(word) : s[4 * x + 3];
            a[x] = v;
            anyNonZero |= v != 0;
            anyNot255 |= v != 255;
          }
        }
        break;
      }
    }
    StepProgress(progress, true);
  }
  if (readAlpha) {
    if (!anyNonZero || !anyNot255) {
      alphaMask.reset();
    } else {
      alphaMask->Full = false;
      alphaMask->RecomputeBounds();
    }
  }
}

void ReadImpl(TStream& stream, TRVBitmap& bitmap, int32_t blockSize, TIOParamsVals& params,
              TRVProgressRec& progress, bool paramsOnly, bool noFileHeader, std::unique_ptr<TRVMask>& alphaMask,
              bool ignoreAlpha) {
  BmpLayout l;
  if (!ReadFileHeader(stream, blockSize, params, noFileHeader, l)) {
    progress.SetAborting();
    return;
  }
  uint8_t size[4];
  if (!ReadExact(stream, size, 4)) {
    progress.SetAborting();
    return;
  }
  stream.Seek(-4, soCurrent);
  const uint32_t headerSize = Le32(size);
  params.FreeColorMap();
  const bool headersRead =
      headerSize == 12 ? ReadCoreHeader(stream, params, l) : ReadInfoHeader(stream, headerSize, params, l);
  if (!headersRead || l.width < 0 || l.height < 0) {
    progress.SetAborting();
    return;
  }
  SetImageParams(l, params);
  if (l.dataOffset != 0) {
    if (l.start + int64_t(l.dataOffset) > stream.GetSize()) {
      progress.SetAborting();
      return;
    }
    stream.SetPosition(l.start + l.dataOffset);
  }
  int64_t dataSize = l.block > 0 ? l.block - (stream.GetPosition() - l.start) : l.imageSize;
  dataSize = std::min(dataSize, BytesLeft(stream));
  if (l.width == 0 || l.height == 0 || paramsOnly) return;

  // What cannot be decoded is refused instead of leaving the pixels unset.
  if (!PixelsFit(l, dataSize)) {
    progress.SetAborting();
    return;
  }
  const bool native = params.NativePixelFormat && (l.bitCount == 4 || l.bitCount == 8);
  const TRVPixelFormat format = l.bitCount == 1 ? rv1g : (native ? rv8p : rv24RGB);
  if (!bitmap.Allocate(static_cast<int32_t>(l.width), static_cast<int32_t>(l.height), format)) {
    progress.SetAborting();
    return;
  }
  if (native) {
    for (int32_t i = 0; i < 256; ++i) bitmap.SetPalette(i, i < params.ColorMapCount ? params.ColorMap[size_t(i)] : TRGB{});
    bitmap.PaletteColorCount = l.bitCount == 4 ? 16 : 256;
  }
  StartProgress(progress, bitmap.GetHeight());
  if (l.compression == 1 || l.compression == 2)
    ReadRunLength(stream, bitmap, l, dataSize, native, params, progress);
  else
    ReadRows(stream, bitmap, l, native, params, progress, alphaMask, ignoreAlpha);
}

// ---------------------------------------------------------------- writer

// A literal of `len` indices from `p`, in pieces of at most 255.
void PutLiteral(const uint8_t* p, int32_t len, bool four, uint8_t* out, int32_t& o) {
  while (len > 0) {
    const int32_t n = std::min(len, 255);
    if (n == 1) {
      out[o++] = 1;
      out[o++] = four ? uint8_t(p[0] << 4) : p[0];
    } else if (n == 2) {
      if (four) {
        out[o++] = 2;
        out[o++] = uint8_t((p[0] << 4) | (p[1] & 0x0F));
      } else {
        out[o++] = 1;
        out[o++] = p[0];
        out[o++] = 1;
        out[o++] = p[1];
      }
    } else {
      out[o++] = 0;
      out[o++] = uint8_t(n);
      if (four) {
        const int32_t bytes = (n + 1) / 2;
        for (int32_t i = 0; i < bytes; ++i) {
          const uint8_t hi = uint8_t(p[2 * i] << 4);
          const uint8_t lo = 2 * i + 1 < n ? uint8_t(p[2 * i + 1] & 0x0F) : 0;
          out[o++] = hi | lo;
        }
        if (bytes & 1) out[o++] = 0;
      } else {
        std::memcpy(out + o, p, static_cast<size_t>(n));
        o += n;
        if (n & 1) out[o++] = 0;
      }
    }
    p += n;
    len -= n;
  }
}

int32_t EncodeRLERow(const uint8_t* ix, int32_t count, uint8_t* out, bool four) {
  int32_t o = 0, pos = 0, lit = 0;
  while (pos < count) {
    if (pos - lit > 255) {
      PutLiteral(ix + lit, pos - lit, four, out, o);
      lit = pos;
    }
    if (pos + 1 < count && ix[pos] == ix[pos + 1]) {
      PutLiteral(ix + lit, pos - lit, four, out, o);
      int32_t end = pos + 2;
      while (end < count && ix[end] == ix[pos] && end - pos < 255) ++end;
      out[o++] = uint8_t(end - pos);
      out[o++] = four ? uint8_t((ix[pos] << 4) | (ix[pos] & 0x0F)) : ix[pos];
      pos = lit = end;
    } else {
      ++pos;
    }
  }
  PutLiteral(ix + lit, pos - lit, four, out, o);
  out[o++] = 0;
  out[o++] = 0;
  return o;
}

void WriteImpl(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress,
               bool saveAlpha) {
  const int64_t start = stream.GetPosition();
  int32_t bits;
  if (params.BitsPerSample == 1) bits = 1;
  else if (params.BitsPerSample == 4) bits = 4;
  else if (params.SamplesPerPixel == 1) bits = 8;
  else bits = bitmap.HasAlphaBitmap() ? 32 : 24;

  // The source in a form the output is built from.
  std::unique_ptr<TRVBitmap> copy;
  TRVBitmap* src = &bitmap;
  const TRVPixelFormat f = bitmap.GetPixelFormat();
  std::vector<TRGB> palette;
  TRVBitmap indices;
  const uint8_t* remap = nullptr;
  uint8_t remapTable[256];
  if (bits == 1) {
    if (f == rv1g) {
      palette = {TRGB{0, 0, 0}, TRGB{255, 255, 255}};
    } else {
      TRGB c0, c1;
      if (f == rv24RGB) copy = TwoColorBitmapTo1Bit(bitmap, c0, c1);
      if (copy) {
        palette = {c0, c1};
      } else {
        copy = ConvertedCopy(bitmap, rv1g);
        palette = {TRGB{0, 0, 0}, TRGB{255, 255, 255}};
      }
    }
  } else if (f != rv24RGB && !(bits <= 8 && f == rv8p)) {
    copy = ConvertedCopy(bitmap, rv24RGB);
  }
  if (copy) src = copy.get();
  if (!src->GetWidth() || !src->GetHeight() || (bits == 1 && src->GetPixelFormat() != rv1g) ||
      (bits > 1 && src->GetPixelFormat() != rv24RGB && src->GetPixelFormat() != rv8p)) {
    progress.SetAborting();
    return;
  }
  const int32_t w = src->GetWidth(), h = src->GetHeight();
  const bool core = params.BMP_Version == 2;
  if (core && (w > 0xFFFF || h > 0xFFFF)) {
    progress.SetAborting();  // the core header holds 16-bit sizes
    return;
  }
  if (bits == 4 || bits == 8) {
    const int32_t n = 1 << bits;
    if (src->GetPixelFormat() == rv8p) {
      for (int32_t i = 0; i < n; ++i) palette.push_back(src->GetPalette(i));
      // Indices beyond the smaller palette go to their nearest colour in it.
      for (int32_t i = 0; i < 256; ++i)
        remapTable[i] = uint8_t(i < n ? i : NearestPaletteIndex(palette.data(), n, src->GetPalette(i)));
      remap = remapTable;
    } else if (!ReduceToPalette(*src, n, indices, palette)) {
      progress.SetAborting();
      return;
    }
  }
  if (!palette.empty()) {
    params.SetColorMapCount(static_cast<int32_t>(palette.size()));
    std::copy(palette.begin(), palette.end(), params.ColorMap.begin());
  }
  const bool rle = !core && params.BMP_Compression == 1 && (bits == 4 || bits == 8);

  uint8_t fh[14] = {'B', 'M'};
  WriteChecked(stream, progress, fh, 14);
  uint8_t ih[64] = {};
  const int32_t headerSize = core ? 12 : (params.BMP_Version == 3 ? 64 : 40);
  PutLe32(ih, uint32_t(headerSize));
  if (core) {
    PutLe16(ih + 4, uint32_t(w));
    PutLe16(ih + 6, uint32_t(h));
    PutLe16(ih + 8, 1);
  } else {
    PutLe32(ih + 4, uint32_t(w));
    PutLe32(ih + 8, uint32_t(h));
    PutLe16(ih + 12, 1);
    PutLe32(ih + 16, rle ? (bits == 4 ? 2u : 1u) : 0u);
    PutLe32(ih + 24, uint32_t(common::RoundInt(params.DpiX / 2.54L * 100)));
    PutLe32(ih + 28, uint32_t(common::RoundInt(params.DpiY / 2.54L * 100)));
    PutLe32(ih + 32, bits <= 8 ? (1u << bits) : 0u);
    PutLe32(ih + 36, 1u << (bits % 32));
  }
  const int64_t headerAt = stream.GetPosition();
  WriteChecked(stream, progress, ih, headerSize);
  for (const TRGB& c : palette) {
    const uint8_t e[4] = {c.b, c.g, c.r, 0};
    WriteChecked(stream, progress, e, core ? 3 : 4);
  }
  const int64_t dataStart = stream.GetPosition();

  const int64_t rowLen = BmpRowLength(w, bits);
  std::vector<uint8_t> line(static_cast<size_t>(std::max<int64_t>(rowLen, w) + 16), 0);
  std::vector<uint8_t> coded(rle ? static_cast<size_t>(w) * 10 + 16 : 0);
  TRVBitmap* alpha = saveAlpha && bits == 32 && bitmap.HasAlphaBitmap() ? bitmap.AlphaBitmap() : nullptr;
  StartProgress(progress, h);
  for (int32_t y = h - 1; y >= 0 && !progress.IsAborting(); --y) {
    std::fill(line.begin(), line.end(), 0);
    const uint8_t* s = src->GetScanLine(y);
    switch (bits) {
      case 1:
        std::memcpy(line.data(), s, static_cast<size_t>((w + 7) / 8));
        break;
      case 4:
      case 8: {
        const uint8_t* ix = indices.IsEmpty() ? s : indices.GetScanLine(y);
        if (rle || bits == 8) {
          for (int32_t x = 0; x < w; ++x) line[size_t(x)] = remap ? remap[ix[x]] : ix[x];
        } else {
          for (int32_t x = 0; x < w; ++x) {
            const uint8_t v = uint8_t((remap ? remap[ix[x]] : ix[x]) & 0x0F);
            line[size_t(x / 2)] |= (x & 1) ? v : uint8_t(v << 4);
          }
        }
        break;
      }
      case 24:
        std::memcpy(line.data(), s, static_cast<size_t>(w) * 3);
        break;
      default: {
        const uint8_t* a = alpha ? alpha->GetScanLine(y) : nullptr;
        for (int32_t x = 0; x < w; ++x) {
          std::memcpy(&line[size_t(4 * x)], s + 3 * x, 3);
          line[size_t(4 * x + 3)] = a ? a[x] : 255;
        }
        break;
      }
    }
    if (rle) {
      const int32_t n = bits == 4 ? EncodeRLE4Row(line.data(), w, coded.data()) : EncodeRLE8Row(line.data(), w, coded.data());
      WriteChecked(stream, progress, coded.data(), n);
    } else {
      WriteChecked(stream, progress, line.data(), rowLen);
    }
    StepProgress(progress, bits == 1);
  }
  if (rle && !progress.IsAborting()) {
    const uint8_t eob[2] = {0, 1};
    WriteChecked(stream, progress, eob, 2);
  }
  if (progress.IsAborting()) return;
  const int64_t end = stream.GetPosition();
  PutLe32(fh + 2, uint32_t(end - start));
  PutLe32(fh + 10, uint32_t(dataStart - start));
  if (core) {
    PutLe16(ih + 10, uint32_t(bits));
  } else {
    PutLe16(ih + 14, uint32_t(bits));
    PutLe32(ih + 20, uint32_t(end - dataStart));
  }
  stream.SetPosition(start);
  WriteChecked(stream, progress, fh, 14);
  stream.SetPosition(headerAt);
  WriteChecked(stream, progress, ih, headerSize);
  stream.SetPosition(end);
}

}  // namespace

void DecodeRLE8ToRGB(TRVBitmap& bitmap, const uint8_t* data, int64_t size, int32_t flip, TRVProgressRec& progress,
                     const TRGB* colorMap, int32_t colorCount) {
  DecodeRLE<false>(bitmap, data, size, flip, progress, RGBPut(colorMap, colorCount));
}
void DecodeRLE8ToIndex(TRVBitmap& bitmap, const uint8_t* data, int64_t size, int32_t flip, TRVProgressRec& progress) {
  DecodeRLE<false>(bitmap, data, size, flip, progress, IndexPut);
}
void DecodeRLE4ToRGB(TRVBitmap& bitmap, const uint8_t* data, int64_t size, int32_t flip, TRVProgressRec& progress,
                     const TRGB* colorMap, int32_t colorCount) {
  DecodeRLE<true>(bitmap, data, size, flip, progress, RGBPut(colorMap, colorCount));
}
void DecodeRLE4ToIndex(TRVBitmap& bitmap, const uint8_t* data, int64_t size, int32_t flip, TRVProgressRec& progress) {
  DecodeRLE<true>(bitmap, data, size, flip, progress, IndexPut);
}

int32_t EncodeRLE8Row(const uint8_t* indices, int32_t count, uint8_t* output) {
  return EncodeRLERow(indices, count, output, false);
}
int32_t EncodeRLE4Row(const uint8_t* indices, int32_t count, uint8_t* output) {
  return EncodeRLERow(indices, count, output, true);
}

void ReadBMPStream(TStream& stream, TRVBitmap& bitmap, int32_t blockSize, TIOParamsVals& params,
                   TRVProgressRec& progress, bool paramsOnly, bool noFileHeader, std::unique_ptr<TRVMask>& alphaMask,
                   bool ignoreAlpha) {
  try {
    ReadImpl(stream, bitmap, blockSize, params, progress, paramsOnly, noFileHeader, alphaMask, ignoreAlpha);
  } catch (const std::exception&) {
    progress.SetAborting();
  }
}

void WriteBMPStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress,
                    bool saveAlpha) {
  try {
    WriteImpl(stream, bitmap, params, progress, saveAlpha);
  } catch (const std::exception&) {
    progress.SetAborting();
  }
}

}  // namespace rv
