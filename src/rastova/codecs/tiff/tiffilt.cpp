// The TIFF reader: header, page selection, the page's tags, the choice of the pixel format, the
// size checks that come before any allocation, and the strip, tile and JPEG loops.
#include "rastova/codecs/tiff/tiffilt.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "common/Round.h"
#include "rastova/codecs/CodecUtils.h"
#include "rastova/codecs/jpeg/jpegfilt.h"
#include "rastova/codecs/tiff/tiffdefs.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVRotate.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv {

using namespace tiff;

namespace {

constexpr int32_t kThumbnailLimit = 400;

// The most bytes of decoded samples that one byte of data can give, by compression: LZW codes of
// at least 9 bits standing for strings of up to 4,096 bytes, Deflate's 1,032 to 1, a PackBits
// run of 128 bytes in 2, and JPEG blocks of 64 pixels of three samples in as little as one bit.
// (Fax rows, at least one bit each, are bounded by their count instead.)
int64_t ExpansionBound(uint16_t compression) {
  switch (compression) {
    case 5:
      return 4096 * 8 / 9 + 1;
    case 8:
    case 32946:
      return 1032;
    case 32773:
      return 64;
    case 6:
    case 7:
      return 64 * 3 * 8;
    default:
      return 1;
  }
}

// Lets a cut file still show its rows: the bound above is applied to twice the data, and fax
// rows are counted in twice the data plus this many bytes.
constexpr int64_t kDataSlack = int64_t(1) << 20;
// Fax pages. One bit of Group 4 data can code a whole row (a row like the one above it, such as
// an all-white one), so the row bound alone lets a few bytes ask for a page of any width. No fax
// or scanned page is wider than this (a 54-inch roll at 1200 dpi; A3 at 1200 dpi is 14,031).
constexpr int64_t kFaxMaxWidth = int64_t(1) << 16;
// ... and none holds more pixels per bit of its data than this: an all-white A4 page at 1200 dpi
// (9,921 x 14,031, one bit a row) has 9,921, a page with any content far fewer.
constexpr int64_t kFaxPixelsPerBit = int64_t(1) << 14;
// Pixels any fax page may have whatever its data (a 1,024 x 1,024 page).
constexpr int64_t kFaxSlackPixels = int64_t(1) << 20;
// Decoded bytes a page may hold beyond what its data can give by the bounds above (applied to
// the decoded size, so that a small file cannot ask for a large page).
constexpr int64_t kDecodedSlack = int64_t(1) << 20;

// The product of sizes read from a file, in 64 bits; INT64_MAX when it does not fit.
int64_t CheckedProduct(std::initializer_list<int64_t> factors) {
  int64_t product = 1;
  for (const int64_t f : factors)
    if (__builtin_mul_overflow(product, f, &product)) return INT64_MAX;
  return product;
}

// Whether `decoded` bytes can come from `data` bytes expanding by at most `bound` each.
bool WithinExpansion(int64_t decoded, int64_t data, int64_t bound) {
  int64_t most = 0;
  if (__builtin_mul_overflow(2 * data, bound, &most)) return true;
  return decoded <= most + kDecodedSlack;
}

// ---------------------------------------------------------------- the page's tags

struct TPage {
  TTIFFIFD ifd;
  TTIFFVars v;
};

void ReadColorMap(const TTIFFIFD& ifd, TTIFFVars& v) {
  // Only maps of up to 16 bits whose 3 x 2^bits items all lie in the stream.
  const TIFDEntry* e = ifd.Find(320);
  if (!e || e->type != ttShort || v.BitsPerSample < 1 || v.BitsPerSample > 16) return;
  const uint32_t n = 1u << v.BitsPerSample;
  if (e->count < 3 * n) return;
  std::vector<uint8_t> raw(size_t(n) * 6);
  if (!ifd.ReadAt(ifd.DataPosition(*e), raw.data(), static_cast<int64_t>(raw.size()))) return;
  std::vector<uint16_t> items(size_t(n) * 3);
  uint16_t largest = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    items[i] = Get16(raw.data() + 2 * i, ifd.littleEndian);
    largest = std::max(largest, items[i]);
  }
  const int shift = largest < 256 ? 0 : 8;
  v.ColorMap.resize(n);
  for (uint32_t i = 0; i < n; ++i)
    v.ColorMap[i] =
        TRGB{static_cast<uint8_t>(items[2 * n + i] >> shift), static_cast<uint8_t>(items[n + i] >> shift),
             static_cast<uint8_t>(items[i] >> shift)};
}

// Step 5: the image tags with their defaults; false when BitsPerSample values differ.
bool ReadPageTags(const TTIFFIFD& ifd, TTIFFVars& v, const TIOParamsVals& params) {
  v.TileWidth = static_cast<int32_t>(ifd.Integer(322, -1));
  v.TileLength = static_cast<int32_t>(ifd.Integer(323, -1));
  if (params.TIFF_GetTile != -1) {
    v.Width = v.TileWidth;
    v.Height = v.TileLength;
  } else {
    v.Width = static_cast<int32_t>(std::min<int64_t>(ifd.Integer(256, 0), INT32_MAX));
    v.Height = static_cast<int32_t>(std::min<int64_t>(ifd.Integer(257, 0), INT32_MAX));
  }
  v.SamplesPerPixel = static_cast<int32_t>(std::min<int64_t>(ifd.Integer(277, 1), 65535));
  const TIFDEntry* bps = ifd.Find(258);
  v.BitsPerSample = 1;
  if (bps) {
    const uint32_t n = std::min<uint32_t>(bps->count, 65535);
    for (uint32_t i = 0; i < n; ++i) {
      const int64_t b = ifd.Item(258, i, -1);
      if (b < 0) break;
      if (i > 0 && b != v.BitsPerSample) return false;
      v.BitsPerSample = static_cast<int32_t>(b);
    }
  }
  const int64_t rps = ifd.Integer(278, v.Height);
  v.RowsPerStrip = rps <= 0 || rps >= v.Height || rps == 0xFFFFFFFF ? v.Height : static_cast<int32_t>(rps);
  v.Photometric = static_cast<uint16_t>(ifd.Integer(262, 2));
  v.PlanarConfiguration = static_cast<uint16_t>(ifd.Integer(284, 1));
  v.Orientation = static_cast<uint16_t>(ifd.Integer(274, 1));
  v.Compression = static_cast<uint16_t>(ifd.Integer(259, 1));
  v.Predictor = static_cast<int32_t>(ifd.Integer(317, 1));
  v.ResolutionUnit = static_cast<int32_t>(ifd.Integer(296, 2));
  v.XResolution = ifd.Rational(282, DefaultDpiX);
  v.YResolution = ifd.Rational(283, DefaultDpiY);
  v.T4Options = static_cast<int32_t>(ifd.Integer(292, 0));
  v.T6Options = static_cast<int32_t>(ifd.Integer(293, 0));
  v.FillOrder = static_cast<int32_t>(ifd.Integer(266, 1));
  if (v.FillOrder != 1 && v.FillOrder != 2) v.FillOrder = 1;
  v.XPosition = ifd.Rational(286, 0);
  v.YPosition = ifd.Rational(287, 0);
  v.DocumentName = ifd.Ascii(269);
  v.ImageDescription = ifd.Ascii(270);
  v.PageName = ifd.Ascii(285);
  v.Software = ifd.Ascii(305);
  v.Artist = ifd.Ascii(315);
  v.PageNumber = static_cast<int32_t>(ifd.Item(297, 0, 0));
  v.PageCount = static_cast<int32_t>(ifd.Item(297, 1, 0));
  v.InkSet = static_cast<int32_t>(ifd.Integer(332, 1));
  v.NumberOfInks = static_cast<int32_t>(ifd.Integer(334, 4));
  v.JPEGProc = static_cast<int32_t>(ifd.Integer(512, 0));
  v.JPEGIFOffset = static_cast<int32_t>(ifd.Integer(513, 0));
  v.JPEGIFByteCount = static_cast<int32_t>(ifd.Integer(514, 0));
  v.JPEGRestartInterval = static_cast<int32_t>(ifd.Integer(515, 0));
  const uint32_t jn = static_cast<uint32_t>(std::clamp(v.SamplesPerPixel, 0, 7));
  for (uint32_t i = 0; i < jn; ++i) {
    v.JPEGLosslessPredictors[i] = static_cast<int32_t>(ifd.Item(517, i, 0));
    v.JPEGPointTransforms[i] = static_cast<int32_t>(ifd.Item(518, i, 0));
    v.JPEGQTables[i] = static_cast<int32_t>(ifd.Item(519, i, 0));
    v.JPEGDCTables[i] = static_cast<int32_t>(ifd.Item(520, i, 0));
    v.JPEGACTables[i] = static_cast<int32_t>(ifd.Item(521, i, 0));
  }
  const TIFDEntry* extra = ifd.Find(338);
  v.ExtraSampleCount = extra ? static_cast<int32_t>(std::min<uint32_t>(extra->count, 10)) : 0;
  for (int32_t i = 0; i < v.ExtraSampleCount; ++i)
    v.ExtraSamples[i] = static_cast<int32_t>(ifd.Item(338, i, 0));
  v.ExtraSample = v.ExtraSampleCount > 0 ? v.ExtraSamples[0] : 0;
  v.YCbCrSubsampleH = static_cast<int32_t>(ifd.Item(530, 0, 2));
  v.YCbCrSubsampleV = static_cast<int32_t>(ifd.Item(530, 1, 2));
  if (v.YCbCrSubsampleH == 0) v.YCbCrSubsampleH = 2;
  if (v.YCbCrSubsampleV == 0) v.YCbCrSubsampleV = 2;
  for (uint32_t i = 0; i < 8; ++i) v.DotRange[i] = static_cast<int32_t>(ifd.Item(336, i, 0));
  v.StripOffsets = ifd.Array(273);
  v.StripByteCounts = ifd.Array(279);
  v.TileOffsets = ifd.Array(324);
  v.TileByteCounts = ifd.Array(325);
  v.JPEGTables = ifd.Raw(347);
  ReadColorMap(ifd, v);
  const TIFDEntry* tf = ifd.Find(301);
  if (tf && tf->type == ttShort && v.BitsPerSample >= 1 && v.BitsPerSample <= 16) {
    const int64_t n = int64_t(3) << v.BitsPerSample;
    if (tf->count >= n && n * 2 <= ifd.stream->GetSize()) {
      std::vector<uint8_t> raw(static_cast<size_t>(n * 2));
      if (ifd.ReadAt(ifd.DataPosition(*tf), raw.data(), n * 2)) {
        v.TransferFunction.resize(static_cast<size_t>(n));
        for (int64_t i = 0; i < n; ++i)
          v.TransferFunction[size_t(i)] = Get16(raw.data() + 2 * i, ifd.littleEndian);
      }
    }
  }
  // A bilevel image that claims RGB is WhiteIsZero.
  if (v.SamplesPerPixel == 1 && v.BitsPerSample == 1 && v.Compression >= 1 && v.Compression <= 4 &&
      v.Photometric == 2)
    v.Photometric = 0;
  return true;
}

int32_t CompressionCode(const TTIFFVars& v) {
  switch (v.Compression) {
    case 1:
      return 0;
    case 2:
      return 1;
    case 3:
      return (v.T4Options & 1) ? 3 : 2;
    case 4:
      return 4;
    case 5:
      return 5;
    case 6:
      return 6;
    case 7:
      return 7;
    case 32773:
      return 8;
    case 32946:
      return 9;
    case 8:
      return 10;
    default:
      return 11;
  }
}

// Steps 8 and 9: the parameters of the page.
void FillParams(const TTIFFVars& v, int32_t pageCount, TIOParamsVals& p) {
  p.BitsPerSample = v.BitsPerSample;
  p.SamplesPerPixel = v.SamplesPerPixel;
  p.Width = p.StoredWidth = v.Width;
  p.Height = p.StoredHeight = v.Height;
  p.TIFF_LittleEndian = v.LittleEndian;
  p.SetImageCount(pageCount);
  p.SetTIFF_Orientation(v.Orientation);
  p.TIFF_Compression = static_cast<uint8_t>(CompressionCode(v));
  if (v.Photometric <= 6)
    p.TIFF_Photometric = static_cast<uint8_t>(v.Photometric);
  else if (v.Photometric == 8)
    p.TIFF_Photometric = 7;
  p.TIFF_PlanarConfiguration = v.PlanarConfiguration;
  p.TIFF_DocumentName = v.DocumentName;
  p.TIFF_ImageDescription = v.ImageDescription;
  p.TIFF_PageName = v.PageName;
  p.TIFF_PageNumber = v.PageNumber;
  p.TIFF_PageCount = v.PageCount;
  p.TIFF_FillOrder = v.FillOrder;
  p.FreeColorMap();
  if (!v.ColorMap.empty()) {
    p.SetColorMapCount(static_cast<int32_t>(v.ColorMap.size()));
    std::copy(v.ColorMap.begin(), v.ColorMap.end(), p.ColorMap.begin());
  }
  // Centimetres become inches: resolutions are multiplied, positions divided.
  const bool cm = v.ResolutionUnit == 3;
  const double factor = cm ? 2.54 : 1.0;
  p.SetEXIF_XResolution(v.XResolution * factor);
  p.SetEXIF_YResolution(v.YResolution * factor);
  p.TIFF_XPos = common::TruncInt(cm ? v.XPosition / 2.54 : v.XPosition);
  p.TIFF_YPos = common::TruncInt(cm ? v.YPosition / 2.54 : v.YPosition);
}

// ---------------------------------------------------------------- size checks

int64_t ClippedCount(const TTIFFVars& v, const std::vector<uint32_t>& offsets,
                     const std::vector<uint32_t>& counts, size_t i, int64_t streamSize) {
  const int64_t at = v.Base + offsets[i];
  if (at >= streamSize) return 0;
  const int64_t count = i < counts.size() && counts[i] != 0 ? counts[i] : streamSize - at;
  return std::min(count, streamSize - at);
}

// Whether the page's samples are within what its data can decode to (checked before the bitmap
// is allocated).
bool DataCanFill(const TTIFFVars& v, bool tiled, int64_t streamSize) {
  const auto& offsets = tiled ? v.TileOffsets : v.StripOffsets;
  const auto& counts = tiled ? v.TileByteCounts : v.StripByteCounts;
  int64_t data = 0;
  for (size_t i = 0; i < offsets.size(); ++i) data += ClippedCount(v, offsets, counts, i, streamSize);
  // Blocks may share their bytes; the page cannot have more data than the file has.
  data = std::min(data, streamSize);
  int64_t needed = 0;
  // The rows decoded and their width: a tiled page decodes each tile whole.
  int64_t rows = v.Height, width = v.Width;
  if (tiled) {
    const int64_t across = (int64_t(v.Width) + v.TileWidth - 1) / v.TileWidth;
    const int64_t down = (int64_t(v.Height) + v.TileLength - 1) / v.TileLength;
    const int64_t tiles = v.Params && v.Params->TIFF_GetTile >= 0 ? 1 : across * down;
    needed = CheckedProduct({TIFFRowBytes(v, v.TileWidth, false), v.TileLength, tiles});
    rows = CheckedProduct({v.TileLength, tiles});
    width = v.TileWidth;
  } else {
    needed = CheckedProduct({TIFFRowBytes(v, v.Width, v.PlanarConfiguration == 2), v.Height,
                             v.PlanarConfiguration == 2 ? v.SamplesPerPixel : 1});
  }
  // Fax rows take at least one bit each; the width and the pixels per bit are bounded above (as
  // decoded bits, so that samples of more than one bit count as what they fill).
  if (v.Compression >= 2 && v.Compression <= 4)
    return rows <= (2 * data + kDataSlack) * 8 && width <= kFaxMaxWidth &&
           CheckedProduct({needed, 8}) <= data * 8 * kFaxPixelsPerBit + kFaxSlackPixels;
  return WithinExpansion(needed, data, ExpansionBound(v.Compression));
}

bool KnownCompression(uint16_t c) {
  return (c >= 1 && c <= 5) || c == 7 || c == 8 || c == 32773 || c == 32946;
}

TRVPixelFormat ChooseFormat(const TTIFFVars& v, bool native) {
  const int32_t P = v.Photometric, S = v.SamplesPerPixel, B = v.BitsPerSample;
  if (B == 1 && S == 1 && P != 3) return rv1g;
  if (native) {
    if (B == 8 && S == 1 && P == 3) return rv8p;
    if (B == 8 && S == 1 && (P == 0 || P == 1)) return rv8g;
    if (B == 16 && S == 1 && (P == 0 || P == 1)) return rv16g;
    if (P == 5 && ((B == 8 && S > 3) || (B == 16 && S == 4))) return rvCMYK;
    if (B == 16 && S == 3 && P == 2) return rv48RGB;
  }
  return rv24RGB;
}

// ---------------------------------------------------------------- strips

// Reads `size` bytes at the absolute position into `buffer` (zero-padded to `minSize`); returns
// the bytes read.
int64_t ReadBlock(TStream& s, int64_t at, int64_t size, int64_t minSize, std::vector<uint8_t>& buffer) {
  const int64_t streamSize = s.GetSize();
  if (at < 0 || at >= streamSize) return 0;
  size = std::min(size, streamSize - at);
  buffer.assign(static_cast<size_t>(std::max(size, minSize)), 0);
  s.SetPosition(at);
  const int64_t got = size > 0 ? s.Read(buffer.data(), size) : 0;
  return std::max<int64_t>(got, 0);
}

// The bytes of the stream when it holds them all in memory (null otherwise).
const uint8_t* StreamMemory(TStream& s) {
  if (auto* m = dynamic_cast<TRVMemStream*>(&s)) return m->Memory();
  if (auto* m = dynamic_cast<TMemoryStream*>(&s)) return m->Memory();
  return nullptr;
}

// As ReadBlock without padding, but the block of a stream held in memory is used where it lies
// instead of being copied into `buffer`; the stream is left where the read would leave it.
const uint8_t* BlockBytes(TStream& s, int64_t at, int64_t size, std::vector<uint8_t>& buffer, int64_t& got) {
  const uint8_t* memory = StreamMemory(s);
  const int64_t streamSize = s.GetSize();
  if (!memory || at < 0 || at >= streamSize) {
    got = ReadBlock(s, at, size, 0, buffer);
    return buffer.data();
  }
  got = std::max<int64_t>(std::min(size, streamSize - at), 0);
  s.SetPosition(at + got);
  return memory + at;
}

void ReadTIFFStrips(TTIFFVars& v, TRVBitmap& bitmap, TRVProgressRec& progress) {
  TStream& s = *v.Stream;
  const int64_t streamSize = s.GetSize();
  const int64_t rowBytes = TIFFRowBytes(v, v.Width, false);
  const int32_t rps = std::max(v.RowsPerStrip, 1);
  const bool oneStrip = v.StripOffsets.size() == 1;
  std::vector<uint8_t> buffer;
  int32_t y = 0;
  for (size_t i = 0; i < v.StripOffsets.size() && y < v.Height && !progress.IsAborting(); ++i, y += rps) {
    const int64_t at = v.Base + v.StripOffsets[i];
    if (at >= streamSize) continue;
    int64_t size = i < v.StripByteCounts.size() ? v.StripByteCounts[i] : 0;
    if (v.Compression == 1) size = std::max(size, rowBytes * rps);
    if (size == 0) size = streamSize - at;
    const int32_t rows = std::min(rps, v.Height - y);
    if (v.Compression == 7) {
      const int64_t got = ReadBlock(s, at, size, 0, buffer);
      ReadTIFFJpegBlock(v, bitmap, 0, y, v.Width, rows, buffer.data(), got, oneStrip, progress);
      continue;
    }
    if (v.Compression == 1 && rps == v.Height && v.BitsPerSample == 8) {
      // One strip of raw rows: read a row at a time.
      buffer.assign(static_cast<size_t>(rowBytes), 0);
      s.SetPosition(at);
      for (int32_t r = 0; r < rows && !progress.IsAborting(); ++r) {
        if (s.Read(buffer.data(), rowBytes) != rowBytes) break;
        ConvertTIFFRows(v, bitmap, r, progress, 1, v.Width, rowBytes, buffer.data(), 0);
      }
      continue;
    }
    // Raw rows may be used where they lie, so they always come from a copy of their own.
    int64_t got = 0;
    const uint8_t* data = v.Compression == 1 ? (got = ReadBlock(s, at, size, 0, buffer), buffer.data())
                                             : BlockBytes(s, at, size, buffer, got);
    ConvertTIFFRows(v, bitmap, y, progress, rows, v.Width, got, data, 0);
  }
}

void ReadStripsPlanar(TTIFFVars& v, TRVBitmap& bitmap, TRVProgressRec& progress) {
  TStream& s = *v.Stream;
  const int64_t streamSize = s.GetSize();
  const int32_t S = v.SamplesPerPixel;
  const size_t perPlane = v.StripOffsets.size() / static_cast<size_t>(S);
  const int32_t rps = std::max(v.RowsPerStrip, 1);
  const int64_t planeRow = TIFFRowBytes(v, v.Width, true);
  std::vector<std::vector<uint8_t>> buffers(static_cast<size_t>(S));
  std::vector<TTIFFPlane> planes(static_cast<size_t>(S));
  int32_t y = 0;
  for (size_t b = 0; b < perPlane && y < v.Height && !progress.IsAborting(); ++b, y += rps) {
    for (int32_t g = 0; g < S; ++g) {
      const size_t index = size_t(g) * perPlane + b;
      int64_t size = index < v.StripByteCounts.size() ? v.StripByteCounts[index] : 0;
      if (v.Compression == 1) size = std::max(size, planeRow * rps);
      const int64_t at = v.Base + v.StripOffsets[index];
      if (size == 0 && at < streamSize) size = streamSize - at;
      const int64_t got = ReadBlock(s, at, size, 0, buffers[size_t(g)]);
      planes[size_t(g)] = TTIFFPlane{buffers[size_t(g)].data(), got};
    }
    ConvertTIFFPlanarRows(v, bitmap, y, progress, std::min(rps, v.Height - y), v.Width, planes);
  }
}

// ---------------------------------------------------------------- tiles

// Copies the visible part of a decoded tile into the bitmap (and its alpha into the mask).
void PlaceTile(TRVBitmap& tile, TRVMask* tileMask, TRVBitmap& bitmap, TRVMask* mask, int32_t x, int32_t y) {
  const int32_t w = std::min(tile.GetWidth(), bitmap.GetWidth() - x);
  const int32_t h = std::min(tile.GetHeight(), bitmap.GetHeight() - y);
  const int32_t bpp = bitmap.GetBitCount();
  for (int32_t r = 0; r < h; ++r) {
    const uint8_t* s = tile.GetScanLine(r);
    uint8_t* d = bitmap.GetScanLine(y + r);
    if (bpp == 1)
      CopyBitBlock(s, d, 0, x, w);
    else
      std::memcpy(d + int64_t(x) * bpp / 8, s, static_cast<size_t>(int64_t(w) * bpp / 8));
    if (tileMask && mask)
      std::memcpy(mask->GetScanLine(y + r) + x, tileMask->GetScanLine(r), static_cast<size_t>(w));
  }
}

void ReadTIFFTiles(TTIFFVars& v, TRVBitmap& bitmap, TRVProgressRec& progress) {
  TStream& s = *v.Stream;
  const int64_t streamSize = s.GetSize();
  const TRVPixelFormat f = bitmap.GetPixelFormat();
  if (v.PlanarConfiguration == 2 || !(f == rv24RGB || f == rv1g || f == rv8g || f == rv8p || f == rv16g)) {
    progress.SetAborting();
    return;
  }
  const int32_t tw = v.TileWidth, tl = v.TileLength;
  const int64_t across = (int64_t(v.Width) + tw - 1) / tw;
  const int64_t down = (int64_t(v.Height) + tl - 1) / tl;
  const bool one = v.Params->TIFF_GetTile >= 0;
  const size_t count =
      one ? v.TileOffsets.size() : std::min<size_t>(v.TileOffsets.size(), static_cast<size_t>(across * down));
  progress.per1 = 100.0 / std::max<double>(1.0, double(count) * tl);
  // Each tile is decoded whole into a bitmap of its own and its visible part copied.
  TRVBitmap tile;
  if (!tile.Allocate(tw, tl, f)) {
    progress.SetAborting();
    return;
  }
  if (f == rv8p) bitmap.CopyPaletteTo(&tile);
  std::unique_ptr<TRVMask> tileMask;
  TRVMask* mask = v.AlphaMask;
  if (mask) {
    tileMask = std::make_unique<TRVMask>();
    tileMask->AllocateBits(tw, tl, 8);
    v.AlphaMask = tileMask.get();
  }
  const int64_t tileBytes = TIFFRowBytes(v, tw, false) * tl;
  std::vector<uint8_t> buffer;
  int32_t x = 0, y = 0;
  for (size_t i = one ? size_t(v.Params->TIFF_GetTile) : 0; i < count && !progress.IsAborting(); ++i) {
    const int64_t at = v.Base + v.TileOffsets[i];
    if (at < streamSize) {
      int64_t size = i < v.TileByteCounts.size() ? v.TileByteCounts[i] : 0;
      if (size == 0) size = streamSize - at;
      const int64_t got = ReadBlock(s, at, size, tileBytes, buffer);
      if (v.Compression == 7)
        ReadTIFFJpegBlock(v, tile, 0, 0, tw, tl, buffer.data(), got, count == 1 || one, progress);
      else
        ConvertTIFFRows(v, tile, 0, progress, tl, tw, v.Compression == 1 ? tileBytes : got, buffer.data(), 0);
      PlaceTile(tile, tileMask.get(), bitmap, mask, x, y);
    }
    if (one) break;
    x += tw;
    if (x >= v.Width) {
      x = 0;
      y += tl;
    }
    if (y >= v.Height) break;
  }
  v.AlphaMask = mask;
}

// ---------------------------------------------------------------- old-style JPEG

// The JPEG stream of the page: interchange format data and strips, decoded into the bitmap. A
// `limit` above 0 refuses a JPEG wider or higher than that before it is decoded.
void ReadTIFFOldJpeg(TTIFFVars& v, TRVBitmap& bitmap, int32_t limit, TRVProgressRec& progress) {
  TStream& s = *v.Stream;
  const int64_t streamSize = s.GetSize();
  TIOParamsVals temp;
  if (!v.StripByteCounts.empty() && !v.StripOffsets.empty() && v.Width > 0 && v.Height > 0) {
    if (!bitmap.Allocate(v.Width, v.Height, rv24RGB)) {
      progress.SetAborting();
      return;
    }
    // The marker segment that opens strip 0, repeated before every later strip; its length
    // must lie inside strip 0.
    std::vector<uint8_t> first;
    const int64_t first0 = ReadBlock(s, v.Base + v.StripOffsets[0], v.StripByteCounts[0], 0, first);
    int64_t segment = 0;
    if (first0 >= 4) segment = ((first[2] << 8) | first[3]) + 2;
    if (segment > first0) segment = 0;
    std::vector<uint8_t> header;
    if (v.JPEGIFOffset > 0 && v.JPEGIFByteCount > 0)
      ReadBlock(s, v.Base + uint32_t(v.JPEGIFOffset), v.JPEGIFByteCount, 0, header);
    const int32_t rps = std::max(v.RowsPerStrip, 1);
    const size_t strips = std::min(v.StripOffsets.size(), v.StripByteCounts.size());
    std::vector<uint8_t> strip;
    for (size_t r = 0; r < strips && !progress.IsAborting(); ++r) {
      const int32_t y = static_cast<int32_t>(std::min<int64_t>(int64_t(r) * rps, INT32_MAX));
      if (y >= v.Height) break;
      TMemoryStream m;
      m.WriteBuffer(header.data(), static_cast<int64_t>(header.size()));
      if (r > 0 && segment > 0) m.WriteBuffer(first.data(), segment);
      const int64_t got = ReadBlock(s, v.Base + v.StripOffsets[r], v.StripByteCounts[r], 0, strip);
      m.WriteBuffer(strip.data(), got);
      m.SetPosition(0);
      TRVBitmap part;
      TRVProgressRec inner(progress.Aborting);
      int32_t rows = 0;
      try {
        rows = ReadJpegStream(m, nullptr, part, false, rps, false, false, false, false, false, false, inner,
                              temp);
      } catch (...) {
        progress.SetAborting();
      }
      if (progress.IsAborting() && rows > rps / 2) *progress.Aborting = false;
      if (part.GetPixelFormat() != rv24RGB && !part.IsEmpty()) part.SetPixelFormat(rv24RGB);
      const int32_t h = std::min({rows, part.GetHeight(), v.Height - y});
      const int32_t w = std::min(part.GetWidth(), v.Width);
      for (int32_t k = 0; k < h; ++k)
        std::memcpy(bitmap.GetScanLine(y + k), part.GetScanLine(k), static_cast<size_t>(w) * 3);
      if (progress.HasEvent()) progress.Report(common::TruncInt(double(r) / double(strips) * 100.0));
    }
    return;
  }
  int64_t at = v.JPEGIFOffset != 0 ? v.Base + uint32_t(v.JPEGIFOffset)
                                   : (!v.StripOffsets.empty() ? v.Base + v.StripOffsets[0] : -1);
  if (at < 0 || at >= streamSize) return;
  s.SetPosition(at);
  const int64_t length = GetJpegStreamLength(s);
  if (length <= 0 || at + length > streamSize) return;
  std::vector<uint8_t> data;
  const int64_t got = ReadBlock(s, at, length, 0, data);
  TRVMemStream m(data.data(), got);
  try {
    if (limit > 0) {
      TRVBitmap none;
      ReadJpegStream(m, nullptr, none, false, -1, false, false, false, false, false, true, progress, temp);
      if (temp.Width <= 0 || temp.Height <= 0 || temp.Width > limit || temp.Height > limit) {
        progress.SetAborting();
        return;
      }
      m.SetPosition(0);
    }
    ReadJpegStream(m, nullptr, bitmap, false, -1, false, false, false, false, false, false, progress, temp);
  } catch (...) {
    progress.SetAborting();
  }
}

// ---------------------------------------------------------------- the page

void DecideAlpha(TTIFFVars& v, bool noAlpha, std::unique_ptr<TRVMask>& alphaMask) {
  const int32_t S = v.SamplesPerPixel;
  const bool wanted = !noAlpha && ((S == 4 && v.ExtraSample == 2) || (S >= 4 && v.ExtraSampleCount > 0) ||
                                   (S == 2 && v.BitsPerSample == 8) || (S >= 2 && v.ExtraSample == 1) ||
                                   (S == 4 && v.Photometric == 2));
  if (wanted && !alphaMask) alphaMask = std::make_unique<TRVMask>();
  v.NoAlpha = !alphaMask;
  if (alphaMask) {
    alphaMask->AllocateBits(v.Width, v.Height, 8);
    alphaMask->Fill(255);
  }
  v.AlphaMask = alphaMask.get();
}

// Clears the page for the rows no data cover: at once, or, for a page whose decoded rows are
// written whole (`afterwards`), when it is done (also when it stops early): its rows are marked
// as they are converted and the others cleared then, so that the page is written once.
class TPageClearing {
 public:
  TPageClearing(TTIFFVars& v, TRVBitmap& bitmap, bool afterwards) : v_(v), bitmap_(bitmap) {
    if (!afterwards) {
      bitmap.Fill(0);
      return;
    }
    written_.assign(static_cast<size_t>(bitmap.GetHeight()), 0);
    bitmap.Full = false;
    v.RowsWritten = &written_;
  }
  ~TPageClearing() {
    if (v_.RowsWritten != &written_) return;
    v_.RowsWritten = nullptr;
    const int64_t rowLen = bitmap_.GetRowLen();
    const int64_t used = (int64_t(bitmap_.GetWidth()) * bitmap_.GetBitCount() + 7) / 8;
    for (int32_t y = 0; y < bitmap_.GetHeight(); ++y) {
      const int64_t from = written_[size_t(y)] ? used : 0;
      if (from < rowLen) std::memset(bitmap_.GetScanLine(y) + from, 0, static_cast<size_t>(rowLen - from));
    }
  }
  TPageClearing(const TPageClearing&) = delete;
  TPageClearing& operator=(const TPageClearing&) = delete;

 private:
  TTIFFVars& v_;
  TRVBitmap& bitmap_;
  std::vector<uint8_t> written_;
};

// Decoding (not in tags-only mode): false when the page is refused.
bool DecodePage(TTIFFVars& v, TRVBitmap& bitmap, bool thumbnailMode, bool noAlpha,
                std::unique_ptr<TRVMask>& alphaMask, TRVProgressRec& progress) {
  TIOParamsVals& params = *v.Params;
  if (thumbnailMode && (v.Width > kThumbnailLimit || v.Height > kThumbnailLimit)) return false;
  const int64_t streamSize = v.Stream->GetSize();
  if (v.Width < 0 || v.Height < 0 || int64_t(v.Width) * v.Height > codecs::kMaxPixelCount) return false;
  // An old-style JPEG page takes its size from the JPEG data when its tags give none, as the
  // thumbnail directory of an EXIF block does (only its offset and length are required there).
  if ((v.Compression == 6 || (v.JPEGIFOffset != 0 && v.Compression != 5)) && v.JPEGProc < 2) {
    if (!WithinExpansion(int64_t(v.Width) * v.Height * 3, streamSize, ExpansionBound(6))) return false;
    if ((v.Width == 0 || v.Height == 0) && !thumbnailMode) return false;
    DecideAlpha(v, noAlpha, alphaMask);
    ReadTIFFOldJpeg(v, bitmap, thumbnailMode ? kThumbnailLimit : 0, progress);
    return true;
  }
  if (v.Width == 0 || v.Height == 0) return false;
  if (v.BitsPerSample < 1 || v.BitsPerSample > 16 || v.SamplesPerPixel < 1) return false;
  if (v.PlanarConfiguration == 2 && v.SamplesPerPixel > kMaxPlanes) return false;
  // Data of a compression the reader does not know would decode to garbage.
  if (!KnownCompression(v.Compression)) return false;
  const bool tiled = v.TileWidth > 0 || v.TileLength > 0;
  if (tiled) {
    if (v.TileOffsets.empty() && !v.StripOffsets.empty()) {
      v.TileOffsets = v.StripOffsets;
      v.TileByteCounts = v.StripByteCounts;
    }
    if (v.TileWidth <= 0 || v.TileLength <= 0 || int64_t(v.TileWidth) * v.TileLength > codecs::kMaxPixelCount)
      return false;
    if (!DataCanFill(v, true, streamSize)) return false;
  } else {
    if (v.StripOffsets.empty()) return false;
    if (!DataCanFill(v, false, streamSize)) return false;
  }
  DecideAlpha(v, noAlpha, alphaMask);
  const TRVPixelFormat format = ChooseFormat(v, params.NativePixelFormat);
  if (!bitmap.Allocate(v.Width, v.Height, format)) return false;
  if (format == rv8p)
    for (int32_t i = 0; i < 256; ++i)
      bitmap.SetPalette(i, i < int32_t(v.ColorMap.size()) ? v.ColorMap[size_t(i)] : TRGB{});
  // Rows that no data cover stay black rather than hold what the memory held.
  TPageClearing clearing(v, bitmap,
                         !tiled && v.PlanarConfiguration != 2 && v.Compression != 7 &&
                             bitmap.GetLocation() == rvInMemory && TIFFWritesWholeRows(v, bitmap));
  progress.val = 0;
  progress.per1 = 100.0 / v.Height;
  progress.Extra = -1;
  if (tiled) {
    if (!v.TileOffsets.empty()) ReadTIFFTiles(v, bitmap, progress);
  } else {
    progress.per2 = 100.0 / std::max<size_t>(v.StripOffsets.size(), 1);
    if (v.PlanarConfiguration == 2)
      ReadStripsPlanar(v, bitmap, progress);
    else
      ReadTIFFStrips(v, bitmap, progress);
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------- JPEG strips and tiles

void tiff::ReadTIFFJpegBlock(TTIFFVars& v, TRVBitmap& bitmap, int32_t x, int32_t y, int32_t width,
                             int32_t rows, const uint8_t* input, int64_t inputSize, bool ownProgress,
                             TRVProgressRec& progress) {
  TIOParamsVals& p = *v.Params;
  TRVMemStream data(input, inputSize);
  std::unique_ptr<TRVMemStream> tables;
  if (!v.JPEGTables.empty())
    tables = std::make_unique<TRVMemStream>(v.JPEGTables.data(), static_cast<int64_t>(v.JPEGTables.size()));
  // The JPEG reader overwrites the page's size, resolution and counts.
  const int32_t saved[9] = {p.Width,        p.Height,     p.DpiX,          p.DpiY,           p.StoredWidth,
                            p.StoredHeight, p.ImageCount, p.BitsPerSample, p.SamplesPerPixel};
  TRVBitmap part;
  TRVProgressRec quiet(progress.Aborting);
  TRVProgressRec& used = ownProgress ? progress : quiet;
  const bool rgb = v.Photometric == 2;
  try {
    // CMYK samples stand in a TIFF as ink amounts, not in the inverted form of Adobe's JPEG files.
    ReadJpegStream(data, tables.get(), part, p.NativePixelFormat, -1, false, false, true, false, rgb, false, used,
                   p);
  } catch (...) {
    progress.SetAborting();
  }
  const bool rawOrder = rgb && p.JPEG_ColorSpace == 2;
  p.Width = saved[0];
  p.Height = saved[1];
  p.SetDpiX(saved[2]);
  p.SetDpiY(saved[3]);
  p.StoredWidth = saved[4];
  p.StoredHeight = saved[5];
  p.SetImageCount(saved[6]);
  p.BitsPerSample = saved[7];
  p.SamplesPerPixel = saved[8];
  if (!ownProgress) {
    progress.val += 1;
    if (progress.HasEvent()) progress.Report(common::TruncInt(progress.val * progress.per2));
  }
  if (progress.IsAborting() || part.IsEmpty()) return;
  if (part.GetPixelFormat() != bitmap.GetPixelFormat()) part.ConvertToPixelFormat(bitmap.GetPixelFormat());
  const int32_t w = std::min({width, part.GetWidth(), bitmap.GetWidth() - x});
  const int32_t h = std::min({rows, part.GetHeight(), bitmap.GetHeight() - y});
  const int32_t bpp = bitmap.GetBitCount();
  if (w <= 0 || bpp < 8) return;
  for (int32_t r = 0; r < h; ++r) {
    uint8_t* s = part.GetScanLine(r);
    // Samples stored as R, G, B arrive in the order of the file.
    if (rawOrder && part.GetPixelFormat() == rv24RGB) SwapRedBlue(s, w);
    std::memcpy(bitmap.GetScanLine(y + r) + int64_t(x) * bpp / 8, s,
                static_cast<size_t>(int64_t(w) * bpp / 8));
  }
}

// ---------------------------------------------------------------- the read

void ReadTIFFStream(TRVBitmap& bitmap, TStream& stream, int32_t& pageCount, bool thumbnailMode, bool noAlpha,
                    bool relativeOffsets, std::unique_ptr<TRVMask>& alphaMask, bool tagsOnly,
                    TRVProgressRec& progress, TIOParamsVals& params) {
  pageCount = 0;
  const int64_t start = stream.GetPosition();
  TPage page;
  TTIFFIFD& ifd = page.ifd;
  TTIFFVars& v = page.v;
  ifd.stream = &stream;
  ifd.base = relativeOffsets ? start : 0;
  uint8_t header[8];
  if (stream.Read(header, 8) != 8 ||
      !((header[0] == 'I' && header[1] == 'I') || (header[0] == 'M' && header[1] == 'M'))) {
    progress.SetAborting();
    return;
  }
  ifd.littleEndian = header[0] == 'I';
  const uint32_t first = Get32(header + 4, ifd.littleEndian);
  if (first == 0) return;
  // Steps 2 and 3: the page, or its sub-image.
  // A page past a chain that ends normally is only absent (the page count tells the caller); a
  // chain that points outside the file, or a page whose entries it does not hold, is damaged.
  bool damaged = false;
  if (!LoadTIFFIFD(params.TIFF_ImageIndex, first, ifd, pageCount, &damaged)) {
    if (damaged || pageCount == 0 || params.TIFF_ImageIndex < pageCount) progress.SetAborting();
    return;
  }
  if (params.TIFF_SubIndex >= 0) {
    const int64_t sub = ifd.Item(330, static_cast<uint32_t>(params.TIFF_SubIndex), 0);
    if (sub > 0) {
      int32_t dummy = 0;
      if (!LoadTIFFIFD(0, static_cast<uint32_t>(sub), ifd, dummy)) {
        progress.SetAborting();
        return;
      }
    }
  }
  v.LittleEndian = ifd.littleEndian;
  v.Params = &params;
  v.Stream = &stream;
  v.Base = ifd.base;
  if (!ReadPageTags(ifd, v, params)) {
    progress.SetAborting();
    return;
  }
  ReadTIFFMetadata(ifd, params);
  FillParams(v, pageCount, params);
  if (!((params.Width != 0 && params.Height != 0) || thumbnailMode)) {
    progress.SetAborting();
    return;
  }
  v.LZWDecompress = params.TIFF_LZWDecompress ? params.TIFF_LZWDecompress : TIFFLZWDecoderHook;
  if (v.Compression == 5 && !v.LZWDecompress) {
    progress.SetAborting();
    return;
  }
  if (tagsOnly) return;
  const bool decoded = DecodePage(v, bitmap, thumbnailMode, noAlpha, alphaMask, progress);
  // The rows are converted: a colour transform the conversion opened is not needed any more.
  if (params.HasInputICCProfile() && params.GetInputICCProfile().HasTransform())
    params.GetInputICCProfile().FreeTransform();
  if (!decoded) {
    progress.SetAborting();
    return;
  }
  if (params.TIFF_EnableAdjustOrientation && v.Orientation > 1 && v.Orientation <= 8) {
    // The mask turns with the picture.
    if (alphaMask) bitmap.AlphaBitmap()->CopyFromTRVMask(alphaMask.get());
    ApplyEXIFOrientation(bitmap, v.Orientation);
    if (alphaMask) {
      bitmap.AlphaBitmap()->CopyToTRVMask(*alphaMask);
      bitmap.RemoveAlphaBitmap(false, 0);
    }
    params.SetTIFF_Orientation(1);
  }
}

// ---------------------------------------------------------------- signature tests

namespace {

// Loads IFD 0 of the TIFF at the stream's position (offsets from there); false when it is none.
bool LoadFirstIFD(TStream& stream, TTIFFIFD& ifd, bool littleOnly) {
  const int64_t start = stream.GetPosition();
  const int64_t size = stream.GetSize() - start;
  uint8_t h[9];
  if (size <= 8 || stream.Read(h, 9) < 8) return false;
  const bool ii = h[0] == 'I' && h[1] == 'I', mm = h[0] == 'M' && h[1] == 'M';
  if (!ii && !(mm && !littleOnly)) return false;
  const uint32_t first = Get32(h + 4, ii);
  if (first >= size) return false;
  if (mm && h[8] == 0xBA) return false;
  ifd.stream = &stream;
  ifd.base = start;
  ifd.littleEndian = ii;
  int32_t count = 0;
  return LoadTIFFIFD(0, first, ifd, count);
}

template <typename Test>
bool PeekTIFF(TStream& stream, bool littleOnly, Test test) {
  const int64_t start = stream.GetPosition();
  bool result = false;
  try {
    TRVBufferedReadStream buffered(stream, 1024, true);
    TTIFFIFD ifd;
    result = LoadFirstIFD(buffered, ifd, littleOnly) && test(ifd);
  } catch (...) {
    result = false;
  }
  stream.SetPosition(start);
  return result;
}

}  // namespace

bool IsTIFFStream(TStream& stream) {
  return PeekTIFF(stream, false, [](const TTIFFIFD& ifd) { return ifd.Has(256) && ifd.Has(257); });
}

bool IsCameraRawTIFFStream(TStream& stream) {
  return PeekTIFF(stream, false, [](const TTIFFIFD& ifd) {
    const TIFDEntry* dng = ifd.Find(50706);
    if (dng && dng->type == ttByte && dng->count == 4) return true;
    const TIFDEntry* ph = ifd.Find(262);
    if (ph && ph->type == ttShort && ph->count == 1) {
      const int64_t value = ifd.Integer(262, 0);
      if (value == 32803 || value == 34892) return true;
    }
    return ifd.Has(330) && ifd.Has(37398) && ifd.Integer(256, 0) < 200 && ifd.Integer(257, 0) < 200;
  });
}

bool IsHDPStream(TStream& stream) {
  return PeekTIFF(stream, true, [](const TTIFFIFD& ifd) {
    return ifd.Has(0xBC80) && ifd.Has(0xBC81) && ifd.Has(0xBC01) && ifd.Has(0xBCC0) && ifd.Has(0xBCC1);
  });
}

bool ReadTIFFFromMemory(const uint8_t* data, int64_t size, TRVBitmap& bitmap) {
  TRVMemStream stream(data, size);
  TIOParamsVals params;
  TRVProgressRec progress;
  std::unique_ptr<TRVMask> mask;
  int32_t pages = 0;
  try {
    ReadTIFFStream(bitmap, stream, pages, false, false, true, mask, false, progress, params);
  } catch (...) {
    return false;
  }
  return !progress.IsAborting();
}

}  // namespace rv
