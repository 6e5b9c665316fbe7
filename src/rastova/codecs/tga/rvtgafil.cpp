#include "rastova/codecs/tga/rvtgafil.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/Round.h"
#include "rastova/codecs/CodecUtils.h"
#include "rastova/core/RVColorReduce.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv {

using namespace codecs;

namespace {

constexpr char kSignature[18] = "TRUEVISION-XFILE.";  // with its zero byte
constexpr int kFooterSize = 26;
constexpr int kExtensionSize = 495;
constexpr int kHeaderSize = 18;
constexpr int kReadBuffer = 8192;

// Byte offsets inside the extension area.
constexpr int kExtAuthor = 2;
constexpr int kExtMonth = 367;
constexpr int kExtJobName = 379;
constexpr int kExtKeyColor = 470;
constexpr int kExtAspect = 474;
constexpr int kExtGamma = 478;
constexpr int kTextField = 41;  // 40 characters and a zero

struct TGAHeader {
  uint8_t idLength = 0, colorMapType = 0, imageType = 0;
  uint16_t firstEntry = 0, mapLength = 0;
  uint8_t entrySize = 0;
  uint16_t xOrigin = 0, yOrigin = 0, width = 0, height = 0;
  uint8_t depth = 0, descriptor = 0;
};

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }
void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void PutLe32(uint8_t* p, uint32_t v) {
  PutLe16(p, v);
  PutLe16(p + 2, v >> 16);
}

TGAHeader ParseHeader(const uint8_t* b) {
  TGAHeader h;
  h.idLength = b[0];
  h.colorMapType = b[1];
  h.imageType = b[2];
  h.firstEntry = Le16(b + 3);
  h.mapLength = Le16(b + 5);
  h.entrySize = b[7];
  h.xOrigin = Le16(b + 8);
  h.yOrigin = Le16(b + 10);
  h.width = Le16(b + 12);
  h.height = Le16(b + 14);
  h.depth = b[16];
  h.descriptor = b[17];
  return h;
}

bool ValidType(uint8_t t) { return t == 1 || t == 2 || t == 3 || t == 9 || t == 10 || t == 11; }
bool ValidDepth(uint8_t d) { return d == 1 || d == 4 || d == 8 || d == 16 || d == 24 || d == 32; }

// A text field of the extension area, up to its first zero byte.
std::string FieldText(const uint8_t* p, size_t size) {
  return std::string(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), size));
}

// Bytes per decoding unit: one pixel, or one byte of packed pixels for 1- and 4-bit images.
int UnitBytes(int depth) { return depth <= 8 ? 1 : depth / 8; }
int64_t RowUnits(int depth, int64_t width) {
  if (depth == 1) return (width + 7) / 8;
  if (depth == 4) return (width + 1) / 2;
  return width;
}

// A run-length packet that may continue into the next row.
struct RLEState {
  bool isRun = false;
  int32_t left = 0;
  uint8_t value[4] = {};
};

void DecodeRLERow(TBufferedInput& in, RLEState& st, uint8_t* out, int64_t units, int ub) {
  int64_t x = 0;
  while (x < units && !in.Truncated) {
    if (st.left == 0) {
      const uint8_t h = in.Byte();
      st.isRun = (h & 0x80) != 0;
      st.left = (h & 0x7F) + 1;
      if (st.isRun) in.Bytes(st.value, ub);
    }
    const int64_t n = std::min<int64_t>(st.left, units - x);
    if (st.isRun) {
      uint8_t* d = out + x * ub;
      if (ub == 1) std::memset(d, st.value[0], static_cast<size_t>(n));
      else
        for (int64_t k = 0; k < n; ++k) std::memcpy(d + k * ub, st.value, static_cast<size_t>(ub));
    } else {
      in.Bytes(out + x * ub, n * ub);
    }
    x += n;
    st.left -= static_cast<int32_t>(n);
  }
}

void MirrorBits(uint8_t* row, int32_t width) {
  for (int32_t a = 0, b = width - 1; a < b; ++a, --b) {
    const bool va = GetBufferBit(row, a), vb = GetBufferBit(row, b);
    SetBufferBit(row, a, vb);
    SetBufferBit(row, b, va);
  }
}

void MirrorPixels(uint8_t* row, int32_t width, int bytes) {
  for (int32_t a = 0, b = width - 1; a < b; ++a, --b)
    for (int k = 0; k < bytes; ++k) std::swap(row[a * bytes + k], row[b * bytes + k]);
}

void ReadImpl(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool ignoreAlpha,
              std::unique_ptr<TRVMask>& alphaMask, bool paramsOnly, TRVProgressRec& progress) {
  const int64_t start = stream.GetPosition();
  const int64_t size = stream.GetSize();

  // Footer and extension area (TGA 2.0 files). A stream too short to hold a header and a footer
  // after the start is never sought before the start.
  bool tga2 = false;
  uint8_t footer[kFooterSize] = {};
  if (size - start >= kHeaderSize + kFooterSize) {
    stream.SetPosition(size - kFooterSize);
    tga2 = stream.Read(footer, kFooterSize) == kFooterSize && std::memcmp(footer + 8, kSignature, 18) == 0;
  }
  params.TGA_Author.clear();
  params.TGA_ImageName.clear();
  params.TGA_Date = DateToday();
  params.TGA_Background = TRGB{};
  params.TGA_AspectRatio = 1.0;
  params.TGA_Gamma = 2.2;
  if (tga2) {
    const int64_t ext = start + Le32(footer);
    uint8_t e[kExtensionSize];
    if (ext >= start && ext + kExtensionSize <= size) {
      stream.SetPosition(ext);
      if (stream.Read(e, kExtensionSize) == kExtensionSize) {
        params.TGA_Author = FieldText(e + kExtAuthor, kTextField);
        params.TGA_ImageName = FieldText(e + kExtJobName, kTextField);
        const int32_t mo = Le16(e + kExtMonth), da = Le16(e + kExtMonth + 2), ye = Le16(e + kExtMonth + 4);
        const int32_t hh = Le16(e + kExtMonth + 6), mi = Le16(e + kExtMonth + 8), se = Le16(e + kExtMonth + 10);
        TDateTime date;
        if (mo >= 1 && mo <= 12 && da >= 1 && da <= 31 && ye >= 1 && ye <= 2499 && hh < 24 && mi < 60 && se < 60 &&
            TryEncodeDateTime(ye, mo, da, hh, mi, se, date))
          params.TGA_Date = date;
        params.TGA_Background = MakeRGB(e[kExtKeyColor + 1], e[kExtKeyColor + 2], e[kExtKeyColor + 3]);
        const uint16_t an = Le16(e + kExtAspect), ad = Le16(e + kExtAspect + 2);
        if (an != 0 && ad != 0) params.TGA_AspectRatio = double(an) / ad;
        const uint16_t gn = Le16(e + kExtGamma), gd = Le16(e + kExtGamma + 2);
        if (gn != 0 && gd != 0) params.TGA_Gamma = double(gn) / gd;
      }
    }
  }

  TBufferedInput in(stream, kReadBuffer);
  in.SeekTo(start);
  uint8_t hb[kHeaderSize];
  if (!in.Bytes(hb, kHeaderSize)) {
    progress.SetAborting();
    return;
  }
  const TGAHeader h = ParseHeader(hb);
  params.TGA_XPos = h.xOrigin;
  params.TGA_YPos = h.yOrigin;
  if (!ValidType(h.imageType) || !ValidDepth(h.depth) || h.colorMapType > 1) {
    progress.SetAborting();
    return;
  }
  params.TGA_Descriptor.assign(h.idLength, '\0');
  if (h.idLength > 0 && !in.Bytes(params.TGA_Descriptor.data(), h.idLength)) {
    progress.SetAborting();
    return;
  }

  // The default 3-3-2 colour cube.
  TRGB palette[256];
  uint8_t paletteAlpha[256];
  bool paletteHasAlpha = false;
  for (int i = 0; i < 256; ++i) {
    palette[i] = MakeRGB(uint8_t(28 + 32 * (i / 32)), uint8_t(28 + 32 * ((i / 4) % 8)), uint8_t(60 + 64 * (i % 4)));
    paletteAlpha[i] = 255;
  }
  if (h.colorMapType == 1) {
    const int es = h.entrySize;
    for (int32_t i = 0; i < h.mapLength; ++i) {
      const int32_t index = h.firstEntry + i;  // entries beyond the palette are read and dropped
      TRGB c;
      uint8_t a = 255;
      if (es == 15 || es == 16) {
        const uint16_t v = in.Word();
        c = MakeRGB(uint8_t(((v >> 10) & 31) * 8), uint8_t(((v >> 5) & 31) * 8), uint8_t((v & 31) * 8));
      } else if (es == 24 || es == 32) {
        c.b = in.Byte();
        c.g = in.Byte();
        c.r = in.Byte();
        if (es == 32) a = in.Byte();
      } else {
        // Entries of another size cannot be used, but their bytes are stepped over so that the
        // pixels are read from their place.
        in.Skip((es + 7) / 8);
        continue;
      }
      if (index < 256) {
        palette[index] = c;
        if (es == 32) {
          paletteAlpha[index] = a;
          paletteHasAlpha = true;
        }
      }
    }
    if (in.Truncated) {
      progress.SetAborting();
      return;
    }
    params.SetColorMapCount(h.mapLength);
    for (int32_t i = 0; i < h.mapLength && i < 256; ++i) params.ColorMap[static_cast<size_t>(i)] = palette[i];
    params.TGA_GrayLevel = false;
  } else {
    params.FreeColorMap();
    params.TGA_GrayLevel = h.depth == 8;
    if (h.depth == 8)
      for (int i = 0; i < 256; ++i) palette[i] = TRGB{uint8_t(i), uint8_t(i), uint8_t(i)};
    else if (h.depth == 1) {
      palette[0] = TRGB{0, 0, 0};
      palette[1] = TRGB{255, 255, 255};
    }
  }
  params.TGA_Compressed = h.imageType >= 9;

  params.Width = params.StoredWidth = h.width;
  params.Height = params.StoredHeight = h.height;
  params.SetDpiX(DefaultDpiX);
  params.SetDpiY(DefaultDpiY);
  params.SetImageCount(1);
  switch (h.depth) {
    case 1: params.BitsPerSample = 1; params.SamplesPerPixel = 1; break;
    case 4: params.BitsPerSample = 4; params.SamplesPerPixel = 1; break;
    case 8: params.BitsPerSample = 8; params.SamplesPerPixel = 1; break;
    case 16: params.BitsPerSample = 5; params.SamplesPerPixel = 3; break;
    case 24: params.BitsPerSample = 8; params.SamplesPerPixel = 3; break;
    default: params.BitsPerSample = 8; params.SamplesPerPixel = 4; break;
  }
  if (paramsOnly) return;

  const int32_t w = h.width, hh = h.height;
  if (w == 0 || hh == 0) {
    progress.SetAborting();
    return;
  }
  const int ub = UnitBytes(h.depth);
  const int64_t units = RowUnits(h.depth, w);
  const bool rle = h.imageType >= 9;
  // The least number of bytes the pixel data can take; a stream holding fewer is damaged, and
  // nothing is allocated for it.
  const int64_t totalUnits = units * hh;
  const int64_t least = rle ? (totalUnits + 127) / 128 * (1 + ub) : totalUnits * ub;
  if (size - in.Position() < least) {
    progress.SetAborting();
    return;
  }

  if (!bitmap.Allocate(w, hh, h.depth == 1 ? rv1g : rv24RGB)) {
    progress.SetAborting();
    return;
  }
  const bool readAlpha = !ignoreAlpha && (h.depth == 32 || (h.colorMapType == 1 && h.entrySize == 32));
  std::vector<uint8_t> alphaRow;
  if (readAlpha) {
    if (!alphaMask) alphaMask = std::make_unique<TRVMask>();
    alphaMask->AllocateBits(w, hh, 8);
    alphaMask->Fill(255);
    alphaMask->Full = false;
    alphaRow.assign(static_cast<size_t>(w), 255);
  }
  const bool paletteAlpha8 = readAlpha && paletteHasAlpha;
  const bool topDown = (h.descriptor & 0x20) != 0;
  const bool rightToLeft = (h.descriptor & 0x10) != 0;
  std::vector<uint8_t> raw(static_cast<size_t>(units * ub));
  RLEState state;
  StartProgress(progress, hh);

  for (int32_t i = 0; i < hh && !progress.IsAborting(); ++i) {
    const int32_t y = topDown ? i : hh - 1 - i;
    uint8_t* row = bitmap.GetScanLine(y);
    // 24-bit pixels land in the bitmap's row directly.
    uint8_t* dst = h.depth == 24 ? row : raw.data();
    if (rle) DecodeRLERow(in, state, dst, units, ub);
    else in.Bytes(dst, units * ub);
    if (in.Truncated) {
      progress.SetAborting();
      break;
    }
    switch (h.depth) {
      case 1:
        std::memcpy(row, raw.data(), static_cast<size_t>(units));
        if (rightToLeft) MirrorBits(row, w);
        break;
      case 4:
      case 8:
        for (int32_t x = 0; x < w; ++x) {
          const uint8_t index = h.depth == 8 ? raw[static_cast<size_t>(x)]
                                             : uint8_t((x & 1) ? raw[static_cast<size_t>(x / 2)] & 0x0F
                                                               : raw[static_cast<size_t>(x / 2)] >> 4);
          std::memcpy(row + 3 * x, &palette[index], 3);
          if (paletteAlpha8) alphaRow[static_cast<size_t>(x)] = paletteAlpha[index];
        }
        break;
      case 16:
        for (int32_t x = 0; x < w; ++x) {
          const uint16_t v = Le16(raw.data() + 2 * x);
          row[3 * x] = uint8_t((v & 31) * 8);
          row[3 * x + 1] = uint8_t(((v >> 5) & 31) * 8);
          row[3 * x + 2] = uint8_t(((v >> 10) & 31) * 8);
        }
        break;
      case 24:
        break;
      default:
        for (int32_t x = 0; x < w; ++x) {
          std::memcpy(row + 3 * x, raw.data() + 4 * x, 3);
          if (readAlpha) alphaRow[static_cast<size_t>(x)] = raw[static_cast<size_t>(4 * x + 3)];
        }
        break;
    }
    if (rightToLeft && h.depth != 1) {
      MirrorPixels(row, w, 3);
      if (readAlpha) MirrorPixels(alphaRow.data(), w, 1);
    }
    if (readAlpha) std::memcpy(alphaMask->GetScanLine(y), alphaRow.data(), static_cast<size_t>(w));
    StepProgress(progress);
  }
  if (alphaMask && readAlpha) {
    alphaMask->RecomputeBounds();
    if (alphaMask->IsEmpty()) alphaMask.reset();
  }
}

// ---------------------------------------------------------------- writer

enum class OutMode { Bits1, Bits4, Bits8, Grey8, Rgb24, Rgba32 };

// One row of `count` units of `ub` bytes, run-length encoded into `out`; returns the bytes.
size_t EncodeRLERow(const uint8_t* p, int32_t count, int ub, uint8_t* out) {
  auto eq = [&](int32_t a, int32_t b) { return std::memcmp(p + a * ub, p + b * ub, static_cast<size_t>(ub)) == 0; };
  size_t o = 0;
  int32_t i = 0;
  while (i < count) {
    int32_t run = 1;
    while (i + run < count && run < 128 && eq(i + run, i)) ++run;
    if (run >= 2) {
      out[o++] = static_cast<uint8_t>((run - 1) | 0x80);
      std::memcpy(out + o, p + i * ub, static_cast<size_t>(ub));
      o += static_cast<size_t>(ub);
      i += run;
      continue;
    }
    int32_t n = 0;
    while (i + n < count) {
      if (i + n == count - 1) {  // the row's last pixel joins the raw packet
        ++n;
        break;
      }
      if (n == 127 || eq(i + n, i + n + 1)) break;
      ++n;
    }
    out[o++] = static_cast<uint8_t>(n - 1);
    std::memcpy(out + o, p + i * ub, static_cast<size_t>(n) * ub);
    o += static_cast<size_t>(n) * ub;
    i += n;
  }
  return o;
}

void WriteImpl(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVMask* alphaMask,
               TRVProgressRec& progress) {
  const TRVPixelFormat format = bitmap.GetPixelFormat();
  if (format != rv24RGB && format != rv1g) return;
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  if (w <= 0 || h <= 0 || w > 65535 || h > 65535) {
    // The header holds 16-bit sizes: such an image cannot be stored.
    progress.SetAborting();
    return;
  }
  const int64_t start = stream.GetPosition();

  OutMode mode;
  if (params.SamplesPerPixel == 1 && params.BitsPerSample == 1) mode = OutMode::Bits1;
  else if (params.SamplesPerPixel == 1 && params.BitsPerSample == 4) mode = OutMode::Bits4;
  else if (params.SamplesPerPixel == 1) mode = params.TGA_GrayLevel ? OutMode::Grey8 : OutMode::Bits8;
  else mode = alphaMask ? OutMode::Rgba32 : OutMode::Rgb24;
  bool compress = params.TGA_Compressed;
  if (mode == OutMode::Bits1 || mode == OutMode::Bits4 || mode == OutMode::Rgba32) {
    compress = false;
    params.TGA_Compressed = false;
  }

  // Source pixels in the form the output needs.
  std::unique_ptr<TRVBitmap> converted;
  TRVBitmap* src = &bitmap;
  TRVBitmap indices;
  std::vector<TRGB> palette;
  if (mode == OutMode::Bits1) {
    if (format != rv1g) {
      TRGB c0, c1;
      converted = TwoColorBitmapTo1Bit(bitmap, c0, c1);
      if (!converted) converted = ConvertedCopy(bitmap, rv1g);
    }
  } else if (format == rv1g) {
    converted = ConvertedCopy(bitmap, rv24RGB);
  }
  if (converted) src = converted.get();
  else if (mode == OutMode::Bits1 && format != rv1g) {
    progress.SetAborting();
    return;
  } else if (mode != OutMode::Bits1 && format == rv1g) {
    progress.SetAborting();
    return;
  }
  const int32_t mapLength = mode == OutMode::Bits4 ? 16 : (mode == OutMode::Bits8 ? 256 : 0);
  if (mapLength > 0) {
    if (!ReduceToPalette(*src, mapLength, indices, palette)) {
      progress.SetAborting();
      return;
    }
    params.SetColorMapCount(mapLength);
    std::copy(palette.begin(), palette.end(), params.ColorMap.begin());
  }

  uint8_t header[kHeaderSize] = {};
  const std::string id = params.TGA_Descriptor.substr(0, 254);  // with its zero byte, 255 at most
  header[0] = static_cast<uint8_t>(id.size() + 1);
  header[1] = mapLength > 0 ? 1 : 0;
  uint8_t type = 2, depth = 24;
  switch (mode) {
    case OutMode::Bits1: type = 3; depth = 1; break;
    case OutMode::Bits4: type = 1; depth = 4; break;
    case OutMode::Bits8: type = compress ? 9 : 1; depth = 8; break;
    case OutMode::Grey8: type = compress ? 11 : 3; depth = 8; break;
    case OutMode::Rgb24: type = compress ? 10 : 2; depth = 24; break;
    case OutMode::Rgba32: type = 2; depth = 32; break;
  }
  header[2] = type;
  if (mapLength > 0) {
    PutLe16(header + 5, static_cast<uint32_t>(mapLength));
    header[7] = 24;
  }
  PutLe16(header + 8, static_cast<uint32_t>(params.TGA_XPos));
  PutLe16(header + 10, static_cast<uint32_t>(params.TGA_YPos));
  PutLe16(header + 12, static_cast<uint32_t>(w));
  PutLe16(header + 14, static_cast<uint32_t>(h));
  header[16] = depth;
  header[17] = mode == OutMode::Rgba32 ? 0x28 : 0x20;
  WriteChecked(stream, progress, header, kHeaderSize);
  WriteChecked(stream, progress, id.c_str(), static_cast<int64_t>(id.size()) + 1);
  if (mapLength > 0) WriteChecked(stream, progress, palette.data(), int64_t(mapLength) * 3);

  const int ub = mode == OutMode::Rgb24 ? 3 : (mode == OutMode::Rgba32 ? 4 : 1);
  std::vector<uint8_t> rowBuf(static_cast<size_t>(w) * 4 + 8);
  std::vector<uint8_t> rleBuf(compress ? static_cast<size_t>(w) * (ub + 1) + 16 : 0);
  StartProgress(progress, h);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* out = nullptr;
    int64_t count = 0;
    switch (mode) {
      case OutMode::Bits1:
        out = src->GetScanLine(y);
        count = (w + 7) / 8;
        break;
      case OutMode::Bits4: {
        const uint8_t* ix = indices.GetScanLine(y);
        std::fill(rowBuf.begin(), rowBuf.end(), 0);
        for (int32_t x = 0; x < w; ++x)
          rowBuf[static_cast<size_t>(x / 2)] |= static_cast<uint8_t>((x & 1) ? (ix[x] & 0x0F) : (ix[x] << 4));
        out = rowBuf.data();
        count = (w + 1) / 2;
        break;
      }
      case OutMode::Bits8:
        out = indices.GetScanLine(y);
        count = w;
        break;
      case OutMode::Grey8: {
        const uint8_t* s = src->GetScanLine(y);
        for (int32_t x = 0; x < w; ++x)
          rowBuf[static_cast<size_t>(x)] = static_cast<uint8_t>(Gray8(s[3 * x + 2], s[3 * x + 1], s[3 * x]));
        out = rowBuf.data();
        count = w;
        break;
      }
      case OutMode::Rgb24:
        out = src->GetScanLine(y);
        count = int64_t(w) * 3;
        break;
      case OutMode::Rgba32: {
        const uint8_t* s = src->GetScanLine(y);
        const bool maskRow = y < alphaMask->Height() && alphaMask->BitsPerPixel() == 8;
        const uint8_t* a = maskRow ? alphaMask->GetScanLine(y) : nullptr;
        for (int32_t x = 0; x < w; ++x) {
          std::memcpy(&rowBuf[static_cast<size_t>(4 * x)], s + 3 * x, 3);
          rowBuf[static_cast<size_t>(4 * x + 3)] = (a && x < alphaMask->Width()) ? a[x] : 255;
        }
        out = rowBuf.data();
        count = int64_t(w) * 4;
        break;
      }
    }
    if (compress) {
      const size_t n = EncodeRLERow(out, w, ub, rleBuf.data());
      WriteChecked(stream, progress, rleBuf.data(), static_cast<int64_t>(n));
    } else {
      WriteChecked(stream, progress, out, count);
    }
    StepProgress(progress);
  }

  // Extension area and footer.
  uint8_t ext[kExtensionSize] = {};
  PutLe16(ext, kExtensionSize);
  const std::string author = params.TGA_Author.substr(0, kTextField - 1);
  const std::string job = params.TGA_ImageName.substr(0, kTextField - 1);
  std::memcpy(ext + kExtAuthor, author.data(), author.size());
  std::memcpy(ext + kExtJobName, job.data(), job.size());
  int32_t ye, mo, da, hh, mi, se;
  if (DecodeDateTime(params.TGA_Date, ye, mo, da, hh, mi, se) && ye >= 0 && ye <= 65535) {
    PutLe16(ext + kExtMonth, uint32_t(mo));
    PutLe16(ext + kExtMonth + 2, uint32_t(da));
    PutLe16(ext + kExtMonth + 4, uint32_t(ye));
    PutLe16(ext + kExtMonth + 6, uint32_t(hh));
    PutLe16(ext + kExtMonth + 8, uint32_t(mi));
    PutLe16(ext + kExtMonth + 10, uint32_t(se));
  }
  ext[kExtKeyColor] = 0;
  ext[kExtKeyColor + 1] = params.TGA_Background.r;
  ext[kExtKeyColor + 2] = params.TGA_Background.g;
  ext[kExtKeyColor + 3] = params.TGA_Background.b;
  auto ratio = [](double v) {
    return static_cast<uint32_t>(std::clamp<int64_t>(common::Trunc(static_cast<long double>(v) * 10000), 0, 65535));
  };
  PutLe16(ext + kExtAspect, ratio(params.TGA_AspectRatio));
  PutLe16(ext + kExtAspect + 2, 10000);
  PutLe16(ext + kExtGamma, ratio(params.TGA_Gamma));
  PutLe16(ext + kExtGamma + 2, 10000);
  const int64_t extOffset = stream.GetPosition() - start;
  WriteChecked(stream, progress, ext, kExtensionSize);
  uint8_t foot[kFooterSize] = {};
  PutLe32(foot, static_cast<uint32_t>(extOffset));
  std::memcpy(foot + 8, kSignature, 18);
  WriteChecked(stream, progress, foot, kFooterSize);
}

}  // namespace

bool IsTGAStream(TStream& stream) {
  try {
    const int64_t pos = stream.GetPosition();
    uint8_t b[kHeaderSize];
    const int64_t n = stream.Read(b, kHeaderSize);
    stream.SetPosition(pos);
    if (n < kHeaderSize) return false;
    const TGAHeader h = ParseHeader(b);
    return ValidType(h.imageType) && ValidDepth(h.depth) && h.colorMapType <= 1 && h.width != 0 && h.height != 0;
  } catch (const std::exception&) {
    return false;
  }
}

void ReadTGAStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, bool ignoreAlpha,
                   std::unique_ptr<TRVMask>& alphaMask, bool paramsOnly, TRVProgressRec& progress) {
  try {
    ReadImpl(stream, bitmap, params, ignoreAlpha, alphaMask, paramsOnly, progress);
  } catch (const std::exception&) {
    // Stream errors and failed allocations end the read like any damaged file.
    progress.SetAborting();
  }
}

void WriteTGAStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVMask* alphaMask,
                    TRVProgressRec& progress) {
  try {
    WriteImpl(stream, bitmap, params, alphaMask, progress);
  } catch (const std::bad_alloc&) {
    progress.SetAborting();
  }
}

}  // namespace rv
