#include "rastova/core/RVDibTransfer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVBitmapInternal.h"
#include "rastova/core/RVDibBitmap.h"
#include "rastova/core/RVPlatformBitmap.h"
#include "rastova/core/RVUtils.h"

namespace rv {

namespace {

inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void Put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
inline int32_t NearestI(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

inline void Put24(uint8_t* row, int32_t x, const TRGB& c) { std::memcpy(row + 3 * int64_t(x), &c, 3); }

// The decoding state of one packed DIB.
struct DibReader {
  const uint8_t* block = nullptr;
  size_t size = 0;
  TBitmapInfoHeader header;
  int32_t width = 0, height = 0;  // height made positive
  bool topDown = false;
  int32_t bitCount = 0;
  uint32_t compression = 0;
  std::vector<TRGB> table;
  const uint8_t* rows = nullptr;  // pixel data
  size_t rowsSize = 0;
  uint32_t masks[3] = {0, 0, 0};

  TRGB Entry(uint32_t i) const { return i < table.size() ? table[i] : TRGB{}; }

  bool Parse(const uint8_t* dib, size_t n, const uint8_t* bits, size_t bitsSize) {
    block = dib;
    size = n;
    if (dib == nullptr || n < sizeof(TBitmapInfoHeader)) return false;
    std::memcpy(&header, dib, sizeof(header));
    const uint32_t headerSize = header.biSize;
    if (headerSize < 40 || headerSize > n) return false;
    if (header.biWidth <= 0 || header.biHeight == 0 || header.biHeight == INT32_MIN) return false;
    width = header.biWidth;
    height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    topDown = header.biHeight < 0;
    bitCount = header.biBitCount;
    compression = header.biCompression;
    size_t offset = headerSize;
    if (compression == BI_BITFIELDS && (bitCount == 16 || bitCount == 32)) {
      // Three masks follow a plain header; larger headers hold them at the same place. A
      // header too short to hold them has them after it as well, and the block must too.
      if (n < 52) return false;
      offset = std::max<size_t>(headerSize, 52);
      for (int i = 0; i < 3; ++i) masks[i] = Get32(dib + 40 + 4 * i);
    }
    // The colour table: the entries in use, or the full table of a palette depth.
    uint64_t entries = header.biClrUsed;
    // (YUV layouts of 8 bits or fewer have no table unless the header counts one.)
    if (entries == 0 && bitCount <= 8 && bitCount > 0 && compression <= BI_BITFIELDS)
      entries = uint64_t(1) << bitCount;
    if (bitCount <= 8 && entries > 256) entries = 256;
    if (entries > (n - offset) / 4) return false;
    if (bitCount <= 8) {
      table.resize(static_cast<size_t>(entries));
      for (size_t i = 0; i < table.size(); ++i) {
        const uint8_t* e = dib + offset + 4 * i;
        table[i] = TRGB{e[0], e[1], e[2]};
      }
    }
    offset += static_cast<size_t>(entries) * 4;
    if (bits != nullptr) {
      rows = bits;
      rowsSize = bitsSize;
    } else {
      rows = dib + offset;
      rowsSize = n - offset;
    }
    return true;
  }

  int64_t RowLength() const { return (int64_t(width) * bitCount + 31) / 32 * 4; }

  // Uncompressed and bit-field rows.
  bool DecodeRGB(TRVBitmap& out) {
    const int64_t rowLen = RowLength();
    int64_t bytes = 0;
    if (rowLen <= 0 || __builtin_mul_overflow(rowLen, int64_t(height), &bytes) ||
        bytes > static_cast<int64_t>(rowsSize))
      return false;
    if (!out.Allocate(width, height, bitCount == 1 ? rv1g : rv24RGB)) return false;
    bool invert = false;
    if (bitCount == 1 && table.size() >= 2) {
      // Bit set is white in the image: a table with the brighter colour first is inverted.
      const TRGB a = table[0], b = table[1];
      invert = Gray8(a.r, a.g, a.b) > Gray8(b.r, b.g, b.b);
    }
    BitField r(0), g(0), b(0);
    const bool fields = compression == BI_BITFIELDS;
    if (bitCount == 16 || (bitCount == 32 && fields)) {
      r = BitField(fields ? masks[0] : 0x7C00);
      g = BitField(fields ? masks[1] : 0x03E0);
      b = BitField(fields ? masks[2] : 0x001F);
    }
    RowAccessScope wo(out, 2);
    for (int32_t i = 0; i < height; ++i) {
      const uint8_t* s = rows + rowLen * i;
      uint8_t* d = out.GetScanLine(topDown ? i : height - 1 - i);
      switch (bitCount) {
        case 1: {
          const int64_t bytes = (int64_t(width) + 7) / 8;
          std::memcpy(d, s, static_cast<size_t>(bytes));
          if (invert) InvertBytesRow(d, bytes);
          break;
        }
        case 4:
          for (int32_t x = 0; x < width; ++x)
            Put24(d, x, Entry((x & 1) ? (s[x >> 1] & 0x0F) : (s[x >> 1] >> 4)));
          break;
        case 8:
          for (int32_t x = 0; x < width; ++x) Put24(d, x, Entry(s[x]));
          break;
        case 16:
          for (int32_t x = 0; x < width; ++x) {
            const uint32_t v = Get16(s + 2 * x);
            Put24(d, x, TRGB{b.Get(v), g.Get(v), r.Get(v)});
          }
          break;
        case 24:
          std::memcpy(d, s, static_cast<size_t>(width) * 3);
          break;
        case 32:
          if (fields) {
            for (int32_t x = 0; x < width; ++x) {
              const uint32_t v = Get32(s + 4 * int64_t(x));
              Put24(d, x, TRGB{b.Scaled(v), g.Scaled(v), r.Scaled(v)});
            }
          } else {
            for (int32_t x = 0; x < width; ++x) std::memcpy(d + 3 * int64_t(x), s + 4 * int64_t(x), 3);
          }
          break;
        default:
          break;
      }
    }
    out.ReleaseFileRows();
    return true;
  }

  static void InvertBytesRow(uint8_t* p, int64_t n) {
    for (int64_t i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(~p[i]);
  }

  // RLE8 and RLE4: runs and literal groups, with end-of-line, end-of-bitmap and delta
  // escapes. Pixels that no run reaches take colour 0 of the table.
  bool DecodeRLE(TRVBitmap& out, bool four) {
    if (topDown) return false;  // run-length images are always stored bottom-up
    if (!RLEImageFits(width, height, static_cast<int64_t>(rowsSize))) return false;
    const int64_t pixels = int64_t(width) * height;
    if (!out.Allocate(width, height, rv24RGB)) return false;
    const TRGB background = Entry(0);
    std::vector<uint8_t> indices(static_cast<size_t>(pixels), 0);
    int64_t x = 0, y = 0;  // y counts from the bottom row
    size_t p = 0;
    auto put = [&](uint32_t index) {
      if (x < width && y < height) indices[static_cast<size_t>(y * width + x)] = static_cast<uint8_t>(index);
      ++x;
    };
    bool done = false;
    while (!done && p + 2 <= rowsSize && y < height) {
      const uint8_t count = rows[p], value = rows[p + 1];
      p += 2;
      if (count > 0) {
        for (int i = 0; i < count; ++i) put(four ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
        continue;
      }
      switch (value) {
        case 0:  // end of line
          x = 0;
          ++y;
          break;
        case 1:
          done = true;
          break;  // end of bitmap
        case 2:   // delta
          if (p + 2 > rowsSize) return false;
          x += rows[p];
          y += rows[p + 1];
          p += 2;
          break;
        default: {  // literal group, padded to a 16-bit boundary
          const size_t bytes = four ? (value + 1u) / 2 : value;
          if (p + bytes > rowsSize) return false;
          for (int i = 0; i < value; ++i) {
            const uint8_t byte = rows[p + (four ? i / 2 : i)];
            put(four ? ((i & 1) ? (byte & 0x0F) : (byte >> 4)) : byte);
          }
          p += bytes + (bytes & 1);
          break;
        }
      }
    }
    RowAccessScope wo(out, 2);
    for (int32_t row = 0; row < height; ++row) {
      uint8_t* d = out.GetScanLine(height - 1 - row);
      const uint8_t* s = indices.data() + int64_t(row) * width;
      for (int32_t i = 0; i < width; ++i) Put24(d, i, s[i] < table.size() ? table[s[i]] : background);
    }
    out.ReleaseFileRows();
    return true;
  }

  // YUV layouts named by FourCC codes.
  bool DecodeYUV(TRVBitmap& out) {
    struct Packed {
      uint32_t code;
      int32_t groupPixels, groupBytes;
    };
    static const Packed packed[] = {
        {MakeFourCC('I', 'Y', 'U', '1'), 4, 6},  {MakeFourCC('I', 'Y', 'U', '2'), 1, 3},
        {MakeFourCC('U', 'Y', 'V', 'Y'), 2, 4},  {MakeFourCC('U', 'Y', 'N', 'V'), 2, 4},
        {MakeFourCC('c', 'y', 'u', 'v'), 2, 4},  {MakeFourCC('Y', 'U', 'Y', '2'), 2, 4},
        {MakeFourCC('Y', 'U', 'N', 'V'), 2, 4},  {MakeFourCC('Y', 'V', 'Y', 'U'), 2, 4},
        {MakeFourCC('Y', '4', '1', 'P'), 8, 12}, {MakeFourCC('Y', '2', '1', '1'), 4, 4},
        {MakeFourCC('C', 'L', 'J', 'R'), 4, 4}};
    const bool yvu9 = compression == MakeFourCC('Y', 'V', 'U', '9');
    const bool yv12 = compression == MakeFourCC('Y', 'V', '1', '2');
    const bool i420 =
        compression == MakeFourCC('I', '4', '2', '0') || compression == MakeFourCC('I', 'Y', 'U', 'V');
    const Packed* layout = nullptr;
    for (const Packed& l : packed)
      if (l.code == compression) layout = &l;
    if (!layout && !yvu9 && !yv12 && !i420) return false;
    // Rows run from the top for a positive height, except for Y41P and cyuv.
    bool fromTop = header.biHeight > 0;
    if (compression == MakeFourCC('Y', '4', '1', 'P') || compression == MakeFourCC('c', 'y', 'u', 'v'))
      fromTop = !fromTop;
    const int64_t w = width, h = height;
    if (layout) {
      const int64_t rowBytes = (w + layout->groupPixels - 1) / layout->groupPixels * layout->groupBytes;
      int64_t bytes = 0;
      if (__builtin_mul_overflow(rowBytes, h, &bytes) || bytes > static_cast<int64_t>(rowsSize)) return false;
      if (!out.Allocate(width, height, rv24RGB)) return false;
      RowAccessScope wo(out, 2);
      for (int32_t i = 0; i < height; ++i) {
        DecodePackedRow(rows + rowBytes * i, out.GetScanLine(fromTop ? i : height - 1 - i), layout->code);
      }
      out.ReleaseFileRows();
      return true;
    }
    const int32_t sub = yvu9 ? 4 : 2;
    const int64_t cw = w / sub, ch = h / sub;
    int64_t luma = 0, chroma = 0, needed = 0;
    if (__builtin_mul_overflow(w, h, &luma) || __builtin_mul_overflow(2 * cw, ch, &chroma) ||
        __builtin_add_overflow(luma, chroma, &needed) || needed > static_cast<int64_t>(rowsSize))
      return false;
    if (!out.Allocate(width, height, rv24RGB)) return false;
    const uint8_t* yPlane = rows;
    const uint8_t* first = rows + w * h;
    const uint8_t* second = first + cw * ch;
    const uint8_t* uPlane = i420 ? first : second;
    const uint8_t* vPlane = i420 ? second : first;
    RowAccessScope wo(out, 2);
    for (int32_t i = 0; i < height; ++i) {
      uint8_t* d = out.GetScanLine(fromTop ? i : height - 1 - i);
      const int64_t cy = std::min<int64_t>(i / sub, std::max<int64_t>(ch - 1, 0));
      for (int32_t x = 0; x < width; ++x) {
        const int64_t cx = std::min<int64_t>(x / sub, std::max<int64_t>(cw - 1, 0));
        const bool chroma = cw > 0 && ch > 0;
        const int32_t u = chroma ? uPlane[cy * cw + cx] : 128, v = chroma ? vPlane[cy * cw + cx] : 128;
        Put24(d, x, YUVToRGB(yPlane[int64_t(i) * w + x], u, v));
      }
    }
    out.ReleaseFileRows();
    return true;
  }

  void DecodePackedRow(const uint8_t* s, uint8_t* d, uint32_t code) const {
    auto px = [&](int32_t x, int32_t y, int32_t u, int32_t v) {
      if (x < width) Put24(d, x, YUVToRGB(y, u, v));
    };
    if (code == MakeFourCC('I', 'Y', 'U', '2')) {
      for (int32_t x = 0; x < width; ++x, s += 3) px(x, s[1], s[0], s[2]);
      return;
    }
    const int32_t group = code == MakeFourCC('I', 'Y', 'U', '1')   ? 4
                          : code == MakeFourCC('Y', '4', '1', 'P') ? 8
                          : code == MakeFourCC('Y', '2', '1', '1') ? 4
                          : code == MakeFourCC('C', 'L', 'J', 'R') ? 4
                                                                   : 2;
    for (int32_t x = 0; x < width - 1; x += group) {
      if (code == MakeFourCC('I', 'Y', 'U', '1')) {  // U Y0 Y1 V Y2 Y3
        px(x, s[1], s[0], s[3]);
        px(x + 1, s[2], s[0], s[3]);
        px(x + 2, s[4], s[0], s[3]);
        px(x + 3, s[5], s[0], s[3]);
        s += 6;
      } else if (code == MakeFourCC('Y', 'U', 'Y', '2') ||
                 code == MakeFourCC('Y', 'U', 'N', 'V')) {  // Y0 U Y1 V
        px(x, s[0], s[1], s[3]);
        px(x + 1, s[2], s[1], s[3]);
        s += 4;
      } else if (code == MakeFourCC('Y', 'V', 'Y', 'U')) {  // Y0 V Y1 U
        px(x, s[0], s[3], s[1]);
        px(x + 1, s[2], s[3], s[1]);
        s += 4;
      } else if (code == MakeFourCC('Y', '4', '1', 'P')) {  // U0 Y0 V0 Y1 U4 Y2 V4 Y3 Y4 Y5 Y6 Y7
        const int32_t y[8] = {s[1], s[3], s[5], s[7], s[8], s[9], s[10], s[11]};
        for (int k = 0; k < 8; ++k) px(x + k, y[k], k < 4 ? s[0] : s[4], k < 4 ? s[2] : s[6]);
        s += 12;
      } else if (code == MakeFourCC('Y', '2', '1', '1')) {  // Y0 U Y2 V
        px(x, s[0], s[1], s[3]);
        px(x + 1, s[0], s[1], s[3]);
        px(x + 2, s[2], s[1], s[3]);
        px(x + 3, s[2], s[1], s[3]);
        s += 4;
      } else if (code == MakeFourCC('C', 'L', 'J', 'R')) {
        const uint32_t word = Get32(s);
        const int32_t u = (word >> 6) & 0x3F, v = word & 0x3F;
        for (int k = 0; k < 4; ++k) px(x + k, (word >> (12 + 5 * k)) & 0x1F, u, v);
        s += 4;
      } else {  // UYVY, UYNV, cyuv: U Y0 V Y1
        px(x, s[1], s[0], s[2]);
        px(x + 1, s[3], s[0], s[2]);
        s += 4;
      }
    }
  }
};

}  // namespace

BitField::BitField(uint32_t m) : mask(m) {
  if (m == 0) return;
  while (!((m >> shift) & 1)) ++shift;
  width = BitMaskWidth(m);
}

bool RLEImageFits(int64_t width, int64_t height, int64_t dataBytes) {
  // Run-length coding compresses flat areas a lot, but not without bound: a picture of up to
  // 4096 x 4096 pixels is always allowed, a larger one only with 1 byte of data per 256 pixels.
  constexpr int64_t kMinPixelAllowance = int64_t(4096) * 4096;
  constexpr int64_t kPixelsPerByte = 256;
  if (width <= 0 || height <= 0 || dataBytes < 0) return false;
  int64_t pixels = 0, allowance = 0;
  if (__builtin_mul_overflow(width, height, &pixels)) return false;
  if (__builtin_mul_overflow(dataBytes, kPixelsPerByte, &allowance)) return true;
  return pixels <= std::max(kMinPixelAllowance, allowance);
}

TRGB YUVToRGB(int32_t y, int32_t u, int32_t v) {
  const double d = 1.164 * (y - 16);
  return TRGB{ClampToByte(NearestI(d + 2.018 * (u - 128))),
              ClampToByte(NearestI(d - 0.813 * (v - 128) - 0.391 * (u - 128))),
              ClampToByte(NearestI(d + 1.596 * (v - 128)))};
}

std::vector<uint8_t> CopyBitmaptoDIBEx(TRVBitmap& bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                                       int32_t dpiX, int32_t dpiY) {
  const TRVPixelFormat f = bitmap.GetPixelFormat();
  if (f != rv1g && f != rv8p && f != rv8g && f != rv24RGB) {
    if (bitmap.IsEmpty()) return {};
    TRVBitmap copy;
    copy.Assign(&bitmap);
    copy.SetPixelFormat(rv24RGB);
    if (copy.GetPixelFormat() != rv24RGB) return {};
    return CopyBitmaptoDIBEx(copy, x1, y1, x2, y2, dpiX, dpiY);
  }
  if (x2 == 0) x2 = bitmap.GetWidth();
  if (y2 == 0) y2 = bitmap.GetHeight();
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, bitmap.GetWidth());
  y2 = std::min(y2, bitmap.GetHeight());
  const int32_t w = x2 - x1, h = y2 - y1;
  if (w <= 0 || h <= 0) return {};
  const int32_t bits = f == rv1g ? 1 : f == rv24RGB ? 24 : 8;
  const int64_t rowLen = AlignedRowLength64(w, bits, 32);
  const int64_t tableBytes = bits == 1 ? 8 : bits == 8 ? 1024 : 0;
  const int64_t total = tableBytes + rowLen * h + 44;
  std::vector<uint8_t> dib;
  try {
    dib.assign(static_cast<size_t>(total), 0);
  } catch (const std::bad_alloc&) {
    return {};
  }
  TBitmapInfoHeader header;
  header.biWidth = w;
  header.biHeight = h;
  header.biBitCount = static_cast<uint16_t>(bits);
  header.biXPelsPerMeter = common::TruncInt(dpiX * 39.3700787L);
  header.biYPelsPerMeter = common::TruncInt(dpiY * 39.3700787L);
  std::memcpy(dib.data(), &header, sizeof(header));
  uint8_t* table = dib.data() + 40;
  if (bits == 1) {
    Put32(table + 4, 0xFFFFFFFF);
  } else if (bits == 8) {
    // Always the full table, as the header announces it (colours used 0).
    for (int32_t i = 0; i < 256; ++i) {
      TRGB c{static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i)};
      if (f == rv8p) c = i < bitmap.GetPaletteLength() ? bitmap.GetPalette(i) : TRGB{};
      table[4 * i] = c.b;
      table[4 * i + 1] = c.g;
      table[4 * i + 2] = c.r;
    }
  }
  uint8_t* out = table + tableBytes;
  RowAccessScope ro(bitmap, 1);
  for (int32_t y = y2 - 1; y >= y1; --y, out += rowLen) {
    const uint8_t* s = bitmap.GetScanLine(y);
    if (bits == 1)
      CopyBitBlock(s, out, x1, 0, w);
    else
      std::memcpy(out, s + int64_t(x1) * (bits / 8), static_cast<size_t>(w) * (bits / 8));
  }
  bitmap.ReleaseFileRows();
  return dib;
}

int32_t PackedDIBToBitmap(const uint8_t* dib, size_t size, TRVBitmap& bitmap, const uint8_t* bits,
                          size_t bitsSize) {
  DibReader r;
  bool ok = r.Parse(dib, size, bits, bitsSize);
  if (ok) {
    switch (r.compression) {
      case BI_RGB:
        ok = r.bitCount == 1 || r.bitCount == 4 || r.bitCount == 8 || r.bitCount == 16 || r.bitCount == 24 ||
             r.bitCount == 32;
        ok = ok && r.DecodeRGB(bitmap);
        break;
      case BI_BITFIELDS:
        ok = (r.bitCount == 16 || r.bitCount == 32) && r.DecodeRGB(bitmap);
        break;
      case BI_RLE8:
        ok = r.bitCount == 8 && r.DecodeRLE(bitmap, false);
        break;
      case BI_RLE4:
        ok = r.bitCount == 4 && r.DecodeRLE(bitmap, true);
        break;
      default:
        ok = r.DecodeYUV(bitmap);
        break;
    }
  }
  if (!ok) {
    bitmap.FreeImage(false);
    return 0;
  }
  return r.bitCount > 0 ? r.bitCount : 1;
}

int32_t PackedDIBToDibBitmap(const uint8_t* dib, size_t size, TRVDibbitmap& dibBitmap, const uint8_t* bits,
                             size_t bitsSize) {
  TRVBitmap decoded;
  const int32_t count = PackedDIBToBitmap(dib, size, decoded, bits, bitsSize);
  if (count == 0) return 0;
  const bool one = decoded.GetPixelFormat() == rv1g;
  if (!dibBitmap.AllocateBits(decoded.GetWidth(), decoded.GetHeight(), one ? 1 : 24)) return 0;
  const size_t bytes = static_cast<size_t>(AlignedRowLength64(decoded.GetWidth(), one ? 1 : 24, 8));
  for (int32_t y = 0; y < decoded.GetHeight(); ++y)
    std::memcpy(dibBitmap.GetScanLine(y), decoded.GetScanLine(y), bytes);
  return count;
}

void CopyTBitmapPixels(TRVPlatformBitmap& source, TRVPlatformBitmap& dest) {
  const int32_t w = source.Width(), h = source.Height();
  TPixelFormat f = source.PixelFormat();
  if (f != pf1bit && f != pf8bit && f != pf24bit && f != pf32bit) f = pf24bit;
  if (w <= 0 || h <= 0) {
    dest.SetSize(1, 1);
    dest.SetPixelFormat(f);
    return;
  }
  if (dest.Width() != w || dest.Height() != h || dest.PixelFormat() != f) {
    dest.SetSize(1, 1);
    dest.SetPixelFormat(f);
    dest.SetSize(w, h);
  }
  const int32_t n = source.ColorTableSize();
  if (n > 0) {
    std::vector<TRGB> table(static_cast<size_t>(n));
    source.GetColorTable(table.data(), n);
    dest.SetColorTable(table.data(), n);
  }
  const size_t len = static_cast<size_t>(BitmapRowLength(w, f));
  for (int32_t y = 0; y < h; ++y) std::memcpy(dest.ScanLine(y), source.ScanLine(y), len);
}

std::unique_ptr<TRVPlatformBitmap> DuplicateTBitmap(TRVPlatformBitmap& source) {
  auto copy = CreatePlatformBitmap();
  if (copy) CopyTBitmapPixels(source, *copy);
  return copy;
}

}  // namespace rv
