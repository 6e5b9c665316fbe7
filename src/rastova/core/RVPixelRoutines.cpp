#include "rastova/core/RVPixelRoutines.h"

#include <cstring>
#include <limits>

#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVBitmapInternal.h"
#include "rastova/core/RVQuantizer.h"
#include "rastova/core/RVUtils.h"

namespace rv {

int32_t FloorToInt(long double x) {
  const int32_t t = common::TruncInt(x);
  if (common::Frac(x) < 0 && t > std::numeric_limits<int32_t>::min()) return t - 1;
  return t;
}

void CopyBitsOneByOne(void* dest, const void* source, int64_t destBit, int64_t bitCount, int64_t sourceBit) {
  if (bitCount < 1 || destBit < 0 || sourceBit < 0) return;
  for (int64_t i = 0; i < bitCount; ++i) SetBufferBit(dest, destBit + i, GetBufferBit(source, sourceBit + i));
}

void InvertBytes(void* buffer, int64_t count) {
  uint8_t* p = static_cast<uint8_t*>(buffer);
  for (int64_t i = 0; i < count; ++i) p[i] = static_cast<uint8_t>(~p[i]);
}

void InvertBitmapRows(TRVBitmap& bitmap) {
  const int32_t h = bitmap.GetHeight(), len = bitmap.GetRowLen();
  RowAccessScope rw(bitmap, 3);
  for (int32_t y = 0; y < h; ++y) InvertBytes(bitmap.GetScanLine(y), len);
  bitmap.ReleaseFileRows();
}

namespace {
// Only the pixels' own bits count: the padding at the end of a row is never written and differs
// between equal pictures.
bool SameRows(TRVBitmap& a, TRVBitmap& b) {
  if (a.GetPixelFormat() != b.GetPixelFormat()) return false;
  const int32_t h = a.GetHeight();
  const int64_t bits = int64_t(a.GetWidth()) * a.GetBitCount();
  const size_t whole = static_cast<size_t>(bits / 8);
  const uint8_t lastMask = static_cast<uint8_t>(0xFF00 >> (bits % 8));
  RowAccessScope ra(a, 1), rb(b, 1);
  bool same = true;
  for (int32_t y = 0; y < h && same; ++y) {
    const uint8_t* p = a.GetLockedRow(y);
    const uint8_t* q = b.GetLockedRow(y);
    same = p != nullptr && q != nullptr && std::memcmp(p, q, whole) == 0 &&
           (lastMask == 0 || ((p[whole] ^ q[whole]) & lastMask) == 0);
    a.ReleaseLockedRow(y);
    b.ReleaseLockedRow(y);
  }
  a.ReleaseFileRows();
  b.ReleaseFileRows();
  return same;
}
}  // namespace

bool SameBitmaps(TRVBitmap& a, TRVBitmap& b) {
  if (&a == &b) return true;
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() ||
      a.HasAlphaBitmap() != b.HasAlphaBitmap())
    return false;
  if (!SameRows(a, b)) return false;
  return !a.HasAlphaBitmap() || SameRows(*a.AlphaBitmap(), *b.AlphaBitmap());
}

int32_t ConvertRowBitDepth(const uint8_t* source, uint8_t* dest, int32_t sourceBits, TRVQuantizer* quantizer,
                           int32_t paletteCount, const TRGB* palette, int32_t pixelCount, int32_t destBits) {
  if (pixelCount < 0) pixelCount = 0;
  auto entry = [&](int32_t i) {
    return (palette != nullptr && i >= 0 && i < paletteCount) ? palette[i] : TRGB{};
  };
  auto put24 = [&](int32_t x, const TRGB& c) {
    dest[3 * x] = c.b;
    dest[3 * x + 1] = c.g;
    dest[3 * x + 2] = c.r;
  };
  auto nibble = [&](int32_t x) { return (x & 1) ? (source[x >> 1] & 0x0F) : (source[x >> 1] >> 4); };
  auto orNibble = [&](int32_t x, int32_t v) {
    dest[x >> 1] |= static_cast<uint8_t>((x & 1) ? (v & 0x0F) : ((v & 0x0F) << 4));
  };
  switch (sourceBits * 100 + destBits) {
    case 101:
      std::memcpy(dest, source, static_cast<size_t>((pixelCount + 7) / 8));
      break;
    case 104:
      for (int32_t x = 0; x < pixelCount; ++x) orNibble(x, GetBufferBit(source, x) ? 1 : 0);
      break;
    case 108:
      for (int32_t x = 0; x < pixelCount; ++x) dest[x] = GetBufferBit(source, x) ? 1 : 0;
      break;
    case 124:
      for (int32_t x = 0; x < pixelCount; ++x) put24(x, entry(GetBufferBit(source, x) ? 1 : 0));
      break;
    case 404:
      std::memcpy(dest, source, static_cast<size_t>((pixelCount + 1) / 2));
      break;
    case 408:
      for (int32_t x = 0; x < pixelCount; ++x) dest[x] = static_cast<uint8_t>(nibble(x));
      break;
    case 424:
      for (int32_t x = 0; x < pixelCount; ++x) put24(x, entry(nibble(x)));
      break;
    case 801:
      std::memset(dest, 0, static_cast<size_t>((pixelCount + 7) / 8));
      for (int32_t x = 0; x < pixelCount; ++x)
        dest[x >> 3] |= static_cast<uint8_t>((source[x] & 1) << (7 - (x & 7)));
      break;
    case 808:
      std::memcpy(dest, source, static_cast<size_t>(pixelCount));
      break;
    case 824:
      for (int32_t x = 0; x < pixelCount; ++x) put24(x, entry(source[x]));
      break;
    case 2404:
      if (quantizer)
        for (int32_t x = 0; x < pixelCount; ++x)
          orNibble(x, quantizer->GetRGBIndex(TRGB{source[3 * x], source[3 * x + 1], source[3 * x + 2]}));
      break;
    case 2408:
      if (quantizer)
        for (int32_t x = 0; x < pixelCount; ++x)
          dest[x] = static_cast<uint8_t>(
              quantizer->GetRGBIndex(TRGB{source[3 * x], source[3 * x + 1], source[3 * x + 2]}));
      break;
    case 2424:
      std::memcpy(dest, source, static_cast<size_t>(pixelCount) * 3);
      break;
    case 3224:
      for (int32_t x = 0; x < pixelCount; ++x) std::memcpy(dest + 3 * x, source + 4 * x, 3);
      break;
    default:
      break;
  }
  switch (destBits) {
    case 1:
      return (pixelCount + 7) / 8;
    case 4:
      return (pixelCount + 1) / 2;
    case 8:
      return pixelCount;
    case 24:
      return 3 * pixelCount;
    default:
      return 0;
  }
}

}  // namespace rv
