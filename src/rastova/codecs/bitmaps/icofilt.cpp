#include "rastova/codecs/bitmaps/icofilt.h"

#include <algorithm>
#include <cstring>

#include "common/Exception.h"
#include "common/Round.h"
#include "rastova/codecs/CodecUtils.h"
#include "rastova/codecs/bmp/bmpfilt.h"
#include "rastova/codecs/png/pngfilt.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVQuantizer.h"
#include "rastova/core/RastovaProc.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv {

using namespace codecs;

namespace {

constexpr uint8_t kPNGSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

bool IsDirectory(TStream& stream, uint16_t type) {
  const int64_t start = stream.GetPosition();
  const int64_t size = stream.GetSize();
  bool ok = size - start > 22;
  uint8_t head[6];
  if (ok) ok = ReadAll(stream, head, 6) && GetLE16(head) == 0 && GetLE16(head + 2) == type && GetLE16(head + 4) > 0;
  for (int32_t i = 0; ok && i < GetLE16(head + 4); ++i) {
    uint8_t e[16];
    ok = ReadAll(stream, e, 16) && e[3] == 0 && GetLE32(e + 8) != 0 && int64_t(GetLE32(e + 12)) >= stream.GetPosition() - start;
  }
  stream.SetPosition(start);
  return ok;
}

// The directory entry of the image to decode, as the readers see it.
struct TIconEntry {
  int32_t width = 0, height = 0;  // the entry's bytes (0 stands for 256 or "take the header's")
  int32_t colors = 0;
  int32_t planesOrX = 0, bitsOrY = 0;
  int64_t bytes = 0;   // byte count of the image, or -1 when there is no directory
  int64_t offset = 0;
};

TIconEntry EntryOf(const uint8_t* e) {
  TIconEntry r;
  r.width = e[0];
  r.height = e[1];
  r.colors = e[2];
  r.planesOrX = GetLE16(e + 4);
  r.bitsOrY = GetLE16(e + 6);
  r.bytes = GetLE32(e + 8);
  r.offset = GetLE32(e + 12);
  return r;
}

// How the pixels of one entry are decoded and what the decoder may rely on.
struct TIconDecode {
  bool cursor = false;
  int32_t bits = 0;
  int32_t width = 0, height = 0;
  int32_t paletteSize = 0;      // entries of 4 bytes after the header
  TRVPixelFormat format = rv24RGB;
  bool native = false;
  TRGB background{255, 255, 255};
  int64_t available = 0;        // bytes from the pixel data to the end of the entry or stream
};

int64_t XorRowLength(int64_t w, int32_t bits) { return (w * bits + 31) / 32 * 4; }
int64_t AndRowLength(int64_t w) { return (w + 31) / 32 * 4; }

// Reads the AND mask (bottom row first) into `andBits`, one row of AndRowLength bytes each.
bool ReadAndMask(TStream& s, const TIconDecode& d, std::vector<uint8_t>& andBits) {
  andBits.assign(size_t(AndRowLength(d.width) * d.height), 0);
  return ReadAll(s, andBits.data(), int64_t(andBits.size()));
}
bool AndBit(const std::vector<uint8_t>& andBits, const TIconDecode& d, int32_t x, int32_t fileRow) {
  return (andBits[size_t(AndRowLength(d.width) * fileRow + (x >> 3))] & (0x80 >> (x & 7))) != 0;
}

// Decodes the XOR image and the AND mask into the bitmap and the mask.
void DecodePixels(TStream& s, TRVBitmap& bitmap, const TIconDecode& d, const std::vector<TRGB>& map, TRVMask* mask) {
  const int32_t w = d.width, h = d.height;
  const int64_t xorRow = XorRowLength(w, d.bits);
  std::vector<uint8_t> xorData(size_t(xorRow * h));
  ReadAll(s, xorData.data(), int64_t(xorData.size()));
  std::vector<uint8_t> andBits;
  const int64_t andSize = AndRowLength(w) * h;
  const bool andFits = d.available - int64_t(xorData.size()) >= andSize;
  const bool haveAnd = andFits && ReadAndMask(s, d, andBits);
  bool alphaAllZero = true;
  const int32_t count = static_cast<int32_t>(map.size());
  const TRGB black{};
  for (int32_t y = 0; y < h; ++y) {
    const int32_t fileRow = h - 1 - y;
    const uint8_t* src = xorData.data() + xorRow * fileRow;
    uint8_t* row = bitmap.GetScanLine(y);
    uint8_t* m = mask ? mask->GetScanLine(y) : nullptr;
    for (int32_t x = 0; x < w; ++x) {
      const bool transparent = haveAnd && AndBit(andBits, d, x, fileRow);
      if (d.bits == 32) {
        std::memcpy(row + 3 * x, src + 4 * x, 3);
        if (m) m[x] = src[4 * x + 3];
        if (src[4 * x + 3] != 0) alphaAllZero = false;
        continue;
      }
      if (m && transparent) m[x] = 0;
      if (d.bits == 24) {
        std::memcpy(row + 3 * x, src + 3 * x, 3);
      } else if (d.bits == 1) {
        bool bit = (src[x >> 3] & (0x80 >> (x & 7))) != 0;
        const TRGB& bg = d.background;
        if (transparent && bg.r == 255 && bg.g == 255 && bg.b == 255) bit = !bit;
        if (bit) row[x >> 3] |= uint8_t(0x80 >> (x & 7));
        else row[x >> 3] &= uint8_t(~(0x80 >> (x & 7)));
      } else {
        const int32_t index = d.bits == 8 ? src[x] : (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
        if (d.native)
          row[x] = static_cast<uint8_t>(index);
        else
          reinterpret_cast<TRGB*>(row)[x] = transparent ? d.background : index < count ? map[size_t(index)] : black;
      }
    }
  }
  // A 32-bit entry whose alpha bytes are all 0 takes its transparency from the AND mask.
  if (d.bits == 32 && mask && haveAnd && alphaAllZero)
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) mask->GetScanLine(y)[x] = AndBit(andBits, d, x, h - 1 - y) ? 0 : 255;
}

// Steps shared by both readers after the stream reached the entry's bitmap header.
void ReadEntryBitmap(TStream& s, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly, TRVProgressRec& progress,
                     std::unique_ptr<TRVMask>& alphaMask, bool ignoreAlpha, const TIconEntry& entry, TIconDecode& d,
                     const uint8_t* header) {
  const int32_t headerSize = static_cast<int32_t>(GetLE32(header));
  const int32_t hw = static_cast<int32_t>(GetLE32(header + 4)), hh = static_cast<int32_t>(GetLE32(header + 8));
  const int32_t resX = static_cast<int32_t>(GetLE32(header + 24)), resY = static_cast<int32_t>(GetLE32(header + 28));
  params.SetDpiX(resX > 0 ? common::Round(resX / 100.0 * 2.54) : DefaultDpiX);
  params.SetDpiY(resY > 0 ? common::Round(resY / 100.0 * 2.54) : DefaultDpiY);
  // Bit count: the header's, else the entry's, else enough bits for the entry's colour count.
  d.bits = GetLE16(header + 14);
  if (d.bits == 0 && !d.cursor) d.bits = entry.bitsOrY;
  if (d.bits == 0 && entry.colors != 0) d.bits = std::max(CeilLog2(uint32_t(entry.colors)), 1);
  if (d.bits == 0) {
    progress.SetAborting();
    return;
  }
  if (d.cursor) {
    params.BitsPerSample = d.bits;
    params.SamplesPerPixel = 1;
  } else {
    params.BitsPerSample = d.bits <= 8 ? d.bits : 8;
    params.SamplesPerPixel = d.bits <= 8 ? 1 : d.bits == 32 ? 4 : 3;
  }
  // The directory's size: a cursor's 0 stands for 256, an icon's for the header's size.
  int32_t dirWidth, dirHeight;
  if (d.cursor) {
    dirWidth = entry.width != 0 ? entry.width : 256;
    dirHeight = entry.height != 0 ? entry.height : 256;
    if (entry.bytes < 0) dirWidth = hw, dirHeight = hh / 2;
    d.paletteSize = entry.colors != 0 ? (entry.colors == 255 ? 256 : entry.colors) : d.bits <= 8 ? 1 << d.bits : 0;
  } else {
    dirWidth = entry.width != 0 ? entry.width : hw;
    dirHeight = entry.height != 0 ? entry.height : hh / 2;
    d.paletteSize = d.bits <= 8 ? 1 << d.bits : 0;
  }
  // Everything the entry needs must lie in the stream. The entry's byte count is not trusted:
  // writers get it wrong as they get the directory's size wrong. The bitmap header's size is the
  // one its rows were written by; when its data are not there, the directory's size is tried.
  const bool knownDepth = d.bits == 1 || d.bits == 4 || d.bits == 8 || d.bits == 24 || d.bits == 32;
  const int64_t extra = headerSize > 40 ? headerSize - 40 : 0;
  const int64_t limit = BytesLeft(s);
  const int64_t palette = d.paletteSize <= 256 ? int64_t(d.paletteSize) * 4 : 0;
  auto fits = [&](int64_t w, int64_t h) {
    int64_t pixels = 0, andMask = 0;
    return w > 0 && h > 0 && w * h <= kMaxPixelCount &&
           !__builtin_mul_overflow(knownDepth ? XorRowLength(w, d.bits) : 0, h, &pixels) &&
           !__builtin_mul_overflow(d.bits <= 8 ? AndRowLength(w) : 0, h, &andMask) &&
           extra + palette + pixels + andMask <= limit;
  };
  if (fits(hw, hh / 2)) {
    d.width = hw, d.height = hh / 2;
  } else if (fits(dirWidth, dirHeight)) {
    d.width = dirWidth, d.height = dirHeight;
  } else {
    progress.SetAborting();
    return;
  }
  s.Seek(extra, soCurrent);
  params.FreeColorMap();
  if (d.paletteSize > 0 && d.paletteSize <= 256) {
    std::vector<uint8_t> raw(size_t(d.paletteSize) * 4);
    ReadAll(s, raw.data(), int64_t(raw.size()));
    params.SetColorMapCount(d.paletteSize);
    for (int32_t i = 0; i < d.paletteSize; ++i) params.ColorMap[size_t(i)] = TRGB{raw[4 * i], raw[4 * i + 1], raw[4 * i + 2]};
  }
  params.Width = params.StoredWidth = d.width;
  params.Height = params.StoredHeight = d.height;
  if (paramsOnly) return;
  if (!knownDepth) {
    if (d.native) throw common::Exception("Unsupported pixel format");
    progress.SetAborting();
    return;
  }
  d.available = limit - extra - palette;
  d.format = d.bits == 1 ? rv1g : d.native && d.bits <= 8 ? rv8p : rv24RGB;
  if (d.format == rv8p) bitmap.PaletteColorCount = 1 << d.bits;
  if (!bitmap.Allocate(d.width, d.height, d.format)) {
    progress.SetAborting();
    return;
  }
  if (d.format == rv8p)
    for (int32_t i = 0; i < params.ColorMapCount && i < bitmap.GetPaletteLength(); ++i) bitmap.SetPalette(i, params.ColorMap[size_t(i)]);
  TRVMask* mask = nullptr;
  if (!ignoreAlpha) {
    if (!alphaMask) alphaMask = std::make_unique<TRVMask>();
    alphaMask->AllocateBits(d.width, d.height, 8);
    alphaMask->Fill(255);
    alphaMask->Full = false;
    mask = alphaMask.get();
  }
  DecodePixels(s, bitmap, d, params.ColorMap, mask);
  if (mask && !d.cursor) {
    mask->CheckFull();
    if (mask->Full) alphaMask.reset();
  }
}

// Reads the directory and finds the entry to decode; false when the index is outside it.
bool ReadDirectory(TStream& s, TIOParamsVals& params, TRVProgressRec& progress, bool cursor, int32_t index,
                   TIconEntry& chosen) {
  uint8_t head[6];
  if (!ReadAll(s, head, 6)) {
    progress.SetAborting();
    return false;
  }
  // A directory without entries holds nothing to read: a failure, where an index outside a
  // directory that has entries changes nothing.
  const int32_t count = GetLE16(head + 4);
  if (count == 0) progress.SetAborting();
  if (index < 0 || index >= count) return false;
  std::vector<uint8_t> table(size_t(count) * 16);
  if (!ReadAll(s, table.data(), int64_t(table.size()))) {
    progress.SetAborting();
    return false;
  }
  if (cursor) {
    chosen = EntryOf(&table[size_t(index) * 16]);
    params.CUR_XHotSpot = chosen.planesOrX;
    params.CUR_YHotSpot = chosen.bitsOrY;
    return true;
  }
  for (auto& sz : params.ICO_Sizes) sz = {};
  std::fill(std::begin(params.ICO_BitCount), std::end(params.ICO_BitCount), 0);
  for (int32_t i = 0; i < count && i < 16; ++i) {
    const TIconEntry e = EntryOf(&table[size_t(i) * 16]);
    if (e.width == 0 || e.height == 0) continue;
    params.ICO_Sizes[i] = {e.width, e.height};
    params.ICO_BitCount[i] = e.bitsOrY != 0 ? e.bitsOrY : e.colors != 0 ? CeilLog2(uint32_t(e.colors)) : 24;
  }
  chosen = EntryOf(&table[size_t(index) * 16]);
  if (chosen.width == 0 || chosen.height == 0) chosen = EntryOf(&table[size_t(count - 1) * 16]);
  return true;
}

void ReadIconOrCursor(TStream& s, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly, TRVProgressRec& progress,
                      std::unique_ptr<TRVMask>& alphaMask, bool ignoreAlpha, bool cursor) {
  const int64_t start = s.GetPosition();
  TIconEntry entry;
  entry.bytes = -1;
  TIconDecode d;
  d.cursor = cursor;
  d.native = !cursor && params.NativePixelFormat;
  d.background = cursor ? params.CUR_Background : params.ICO_Background;
  if (!params.IsResource) {
    uint8_t two[2];
    if (!cursor && ReadAll(s, two, 2) && two[0] == 'B' && two[1] == 'M') {
      s.SetPosition(start);
      ReadBMPStream(s, bitmap, static_cast<int32_t>(std::min<int64_t>(s.GetSize(), INT32_MAX)), params, progress,
                    paramsOnly, false, alphaMask, ignoreAlpha);
      return;
    }
    s.SetPosition(start);
    if (!ReadDirectory(s, params, progress, cursor, cursor ? params.CUR_ImageIndex : params.ICO_ImageIndex, entry))
      return;
    if (start + entry.offset >= s.GetSize()) {
      progress.SetAborting();
      return;
    }
    s.SetPosition(start + entry.offset);
  } else if (cursor) {
    uint8_t hot[4];
    if (!ReadAll(s, hot, 4)) {
      progress.SetAborting();
      return;
    }
    params.CUR_XHotSpot = GetLE16(hot);
    params.CUR_YHotSpot = GetLE16(hot + 2);
  }
  uint8_t header[40];
  if (!ReadAll(s, header, 40)) {
    progress.SetAborting();
    return;
  }
  if (!cursor && std::memcmp(header, kPNGSignature, 8) == 0) {
    s.Seek(-40, soCurrent);
    ReadPNGStream(s, bitmap, params, paramsOnly, progress);
    return;
  }
  if (params.IsResource && !cursor) {
    params.SetImageIndex(0);
    params.ICO_Sizes[0] = {static_cast<int32_t>(GetLE32(header + 4)), static_cast<int32_t>(GetLE32(header + 8)) / 2};
    entry.width = GetLE32(header + 4) & 0xFF;
    entry.height = (GetLE32(header + 8) / 2) & 0xFF;
  }
  ReadEntryBitmap(s, bitmap, params, paramsOnly, progress, alphaMask, ignoreAlpha, entry, d, header);
}

}  // namespace

bool IsICOStream(TStream& stream) { return IsDirectory(stream, 1); }
bool IsCURStream(TStream& stream) { return IsDirectory(stream, 2); }

void ReadICOStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
                   TRVProgressRec& progress, std::unique_ptr<TRVMask>& alphaMask, bool ignoreAlpha) {
  ReadIconOrCursor(stream, bitmap, params, paramsOnly, progress, alphaMask, ignoreAlpha, false);
}

void ReadCURStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool paramsOnly,
                   TRVProgressRec& progress, std::unique_ptr<TRVMask>& alphaMask, bool ignoreAlpha) {
  ReadIconOrCursor(stream, bitmap, params, paramsOnly, progress, alphaMask, ignoreAlpha, true);
}

// ---------------------------------------------------------------- writer

namespace {

int32_t DepthOf(int32_t bitCount, const TIOParamsVals& params) {
  switch (bitCount) {
    case 1:
    case 4:
    case 8:
    case 32:
      return bitCount;
    case 0: {
      const int32_t spp = params.SamplesPerPixel, bps = params.BitsPerSample;
      if (spp == 1 && bps == 1) return 1;
      if (spp == 1 && bps == 4) return 4;
      if (spp == 3 && bps == 8) return 24;
      if (spp == 4 && bps == 8) return 32;
      return 8;
    }
    default:
      return 24;
  }
}

// The scratch copy of one entry: resampled to its size, in the format its depth reads.
std::unique_ptr<TRVBitmap> EntryImage(TRVBitmap& source, int32_t w, int32_t h, int32_t depth) {
  auto scratch = std::make_unique<TRVBitmap>();
  scratch->Assign(&source);
  const bool oneBit = scratch->GetPixelFormat() == rv1g;
  if (scratch->GetWidth() != w || scratch->GetHeight() != h) {
    TRastovaProc proc;
    proc.SetAttachedRVBitmap(scratch.get());
    proc.Resample(w, h, oneBit ? rfNone : rfFastLinear);
  }
  const TRVPixelFormat f = scratch->GetPixelFormat();
  const TRVPixelFormat wanted = depth == 1 ? rv1g : (depth <= 8 && f == rv8p) ? rv8p : rv24RGB;
  if (f != wanted) scratch->SetPixelFormat(wanted);
  return scratch;
}

// Palette (4 bytes an entry) and pixel rows (bottom row first) of one entry.
void EncodeEntry(TRVBitmap& img, int32_t depth, TIOParamsVals& params, std::vector<uint8_t>& out) {
  const int32_t w = img.GetWidth(), h = img.GetHeight();
  const bool alpha = img.HasAlphaBitmap();
  const int64_t xorRow = XorRowLength(w, depth);
  std::vector<uint8_t> palette;
  std::vector<uint8_t> rows(size_t(xorRow * h), 0);
  std::unique_ptr<TRVQuantizer> quantizer;
  if (depth == 1) {
    palette = {0, 0, 0, 0, 255, 255, 255, 0};
  } else if (depth <= 8) {
    const int32_t entries = 1 << depth;
    std::vector<TRGB> colors(size_t(entries), TRGB{});
    if (img.GetPixelFormat() == rv8p) {
      for (int32_t i = 0; i < entries && i < img.GetPaletteLength(); ++i) colors[size_t(i)] = img.GetPalette(i);
    } else {
      quantizer = std::make_unique<TRVQuantizer>(img, entries - 1, 134217727, colors.data() + 1);
      colors[0] = TRGB{};
      params.ColorMap = colors;
      params.ColorMapCount = entries;
    }
    for (const TRGB& c : colors) palette.insert(palette.end(), {c.b, c.g, c.r, 0});
  }
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = img.GetScanLine(y);
    std::vector<uint8_t> a(size_t(w), 255);
    if (alpha) std::memcpy(a.data(), img.AlphaBitmap()->GetScanLine(y), size_t(w));
    uint8_t* dst = rows.data() + xorRow * (h - 1 - y);
    if (depth == 1) {
      std::memcpy(dst, row, size_t((w + 7) / 8));
    } else if (depth == 24) {
      std::memcpy(dst, row, size_t(w) * 3);
    } else if (depth == 32) {
      for (int32_t x = 0; x < w; ++x) {
        std::memcpy(dst + 4 * x, row + 3 * x, 3);
        dst[4 * x + 3] = a[size_t(x)];
      }
    } else {
      for (int32_t x = 0; x < w; ++x) {
        int32_t index;
        if (img.GetPixelFormat() == rv8p)
          index = std::min<int32_t>(row[x], (1 << depth) - 1);
        else
          index = alpha && a[size_t(x)] < 255 ? 0 : quantizer->GetRGBIndex(reinterpret_cast<const TRGB*>(row)[x]) + 1;
        if (depth == 8)
          dst[x] = static_cast<uint8_t>(index);
        else
          dst[x >> 1] |= static_cast<uint8_t>((x & 1) ? index : index << 4);
      }
    }
  }
  // The AND mask: set where the alpha is below 255.
  const int64_t andRow = AndRowLength(w);
  std::vector<uint8_t> andBits(size_t(andRow * h), 0);
  if (alpha)
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* a = img.AlphaBitmap()->GetScanLine(y);
      for (int32_t x = 0; x < w; ++x)
        if (a[x] < 255) andBits[size_t(andRow * (h - 1 - y) + (x >> 3))] |= uint8_t(0x80 >> (x & 7));
    }
  const int64_t sizeField = depth == 1 ? h * xorRow + int64_t(w) * h / 8
                            : depth <= 8 ? int64_t(w) * h / 8 + h * xorRow : 0;
  uint8_t header[40] = {};
  SetLE32(header, 40);
  SetLE32(header + 4, uint32_t(w));
  SetLE32(header + 8, uint32_t(h * 2));
  SetLE16(header + 12, 1);
  SetLE16(header + 14, uint32_t(depth));
  SetLE32(header + 20, uint32_t(sizeField));
  SetLE32(header + 24, uint32_t(common::Round(params.DpiX / 2.54 * 100)));
  SetLE32(header + 28, uint32_t(common::Round(params.DpiY / 2.54 * 100)));
  out.assign(header, header + 40);
  out.insert(out.end(), palette.begin(), palette.end());
  out.insert(out.end(), rows.begin(), rows.end());
  out.insert(out.end(), andBits.begin(), andBits.end());
}

}  // namespace

void WriteICOStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, const std::vector<int32_t>& bitCounts,
                    const std::vector<TIOParamsFields::TIcoSize>& sizes, TRVProgressRec& progress) {
  const int32_t n = static_cast<int32_t>(std::min<size_t>(sizes.size(), 65535));
  // A directory without entries is no icon.
  if (n == 0 || bitmap.IsEmpty()) {
    progress.SetAborting();
    return;
  }
  const int64_t start = stream.GetPosition();
  uint8_t head[6] = {0, 0, 1, 0, 0, 0};
  SetLE16(head + 4, uint32_t(n));
  std::vector<uint8_t> directory(size_t(n) * 16, 0);
  if (!WriteChecked(stream, progress, head, 6) ||
      !WriteChecked(stream, progress, directory.data(), int64_t(directory.size())))
    return;
  progress.per1 = n > 0 ? 100.0 / n : 0;
  params.FreeColorMap();
  if (bitmap.GetPixelFormat() != rv24RGB) params.BitsPerSample = params.SamplesPerPixel = 1;
  for (int32_t k = 0; k < n; ++k) {
    if (progress.HasEvent()) progress.Report(common::TruncInt(k * progress.per1));
    if (progress.IsAborting()) return;
    const int32_t w = std::clamp(sizes[size_t(k)].cx, 1, 256), h = std::clamp(sizes[size_t(k)].cy, 1, 256);
    const int32_t depth = DepthOf(size_t(k) < bitCounts.size() ? bitCounts[size_t(k)] : 0, params);
    std::unique_ptr<TRVBitmap> img = EntryImage(bitmap, w, h, depth);
    std::vector<uint8_t> data;
    EncodeEntry(*img, depth, params, data);
    const int64_t entryStart = stream.GetPosition();
    if (!WriteChecked(stream, progress, data.data(), int64_t(data.size()))) return;
    uint8_t* e = directory.data() + size_t(k) * 16;
    e[0] = uint8_t(w);
    e[1] = uint8_t(h);
    if (depth >= 24) {
      SetLE16(e + 4, 1);
      SetLE16(e + 6, uint32_t(depth));
    } else {
      e[2] = uint8_t(std::min(1 << depth, 255));
    }
    SetLE32(e + 8, uint32_t(data.size()));
    SetLE32(e + 12, uint32_t(entryStart - start));
  }
  const int64_t end = stream.GetPosition();
  stream.SetPosition(start + 6);
  WriteChecked(stream, progress, directory.data(), int64_t(directory.size()));
  stream.SetPosition(end);
}

}  // namespace rv
