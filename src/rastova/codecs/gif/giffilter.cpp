#include "rastova/codecs/gif/giffilter.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "common/CodePage.h"
#include "rastova/codecs/CodecUtils.h"
#include "rastova/codecs/gif/giflzw.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVColorReduce.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVQuantizer.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv {

using namespace codecs;

namespace {

constexpr uint8_t kExtension = 0x21, kImage = 0x2C, kTrailer = 0x3B;
constexpr uint8_t kGraphicControl = 0xF9, kComment = 0xFE;
// No LZW code yields more than this many pixels.
constexpr int64_t kMaxPixelsPerCode = 4096;

// Skips data sub-blocks up to the size byte 0 or the end of the stream.
void SkipSubBlocks(TStream& stream) {
  const int64_t size = stream.GetSize();
  for (;;) {
    const int n = StreamByte(stream);
    if (n <= 0) return;
    const int64_t next = stream.GetPosition() + n;
    if (next >= size) {
      stream.SetPosition(size);
      return;
    }
    stream.SetPosition(next);
  }
}

// Reads a colour table of `count` entries (file order red, green, blue) into TRGB entries.
bool ReadColorTable(TStream& stream, std::vector<TRGB>& table, int32_t count) {
  std::vector<uint8_t> raw(static_cast<size_t>(count) * 3);
  const bool ok = ReadAll(stream, raw.data(), static_cast<int64_t>(raw.size()));
  table.assign(static_cast<size_t>(count), TRGB{});
  if (!ok) return false;
  for (int32_t i = 0; i < count; ++i)
    table[size_t(i)] = TRGB{raw[size_t(i) * 3 + 2], raw[size_t(i) * 3 + 1], raw[size_t(i) * 3]};
  return true;
}

// What the reader keeps between the blocks of one call.
struct TGIFReadState {
  std::vector<TRGB> global;
  int32_t globalBits = 0;  // table size n + 1 of the header, 0 without a global table
  uint8_t control[4] = {0, 0, 0, 0};  // flags, delay (2 bytes), transparent index
};

void ReadGraphicControl(TStream& stream, TGIFReadState& st) {
  const int n = StreamByte(stream);
  if (n <= 0) return;
  uint8_t block[255] = {};
  if (!ReadAll(stream, block, n)) return;
  std::memcpy(st.control, block, 4);
  SkipSubBlocks(stream);
}

void ReadComments(TStream& stream, TIOParamsVals& params) {
  uint8_t block[256];
  for (;;) {
    const int n = StreamByte(stream);
    if (n <= 0) return;
    const int64_t got = stream.Read(block, n);
    if (got <= 0) return;
    // The text ends at its first zero byte.
    const size_t len = strnlen(reinterpret_cast<const char*>(block), static_cast<size_t>(got));
    if (len > 0) params.GIF_Comments.push_back(common::Cp1252ToUtf8(std::string_view(reinterpret_cast<char*>(block), len)));
    if (got < n) return;
  }
}

bool IsBlackAndWhite(const std::vector<TRGB>& map, int32_t bits) {
  if (bits != 1 || map.size() < 2) return false;
  const TRGB& a = map[0];
  const TRGB& b = map[1];
  return a.r == 0 && a.g == 0 && a.b == 0 && b.r == 255 && b.g == 255 && b.b == 255;
}

// Stores the decoded indices into the bitmap and the alpha mask.
void StoreIndices(TRVBitmap& bitmap, const uint8_t* indices, int32_t w, int32_t h, const std::vector<TRGB>& map,
                  int32_t transparent, TRVMask* mask, TRVProgressRec& progress) {
  const TRVPixelFormat format = bitmap.GetPixelFormat();
  const int32_t count = static_cast<int32_t>(map.size());
  const TRGB black{};
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* src = indices + static_cast<int64_t>(y) * w;
    uint8_t* row = bitmap.GetScanLine(y);
    if (format == rv8p) {
      std::memcpy(row, src, static_cast<size_t>(w));
    } else if (format == rv24RGB) {
      auto* px = reinterpret_cast<TRGB*>(row);
      for (int32_t x = 0; x < w; ++x) px[x] = src[x] < count ? map[src[x]] : black;
    } else {
      std::memset(row, 0, static_cast<size_t>((w + 7) / 8));
      for (int32_t x = 0; x < w; ++x)
        if (src[x] == 1) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    }
    if (mask && transparent >= 0) {
      uint8_t* m = mask->GetScanLine(y);
      for (int32_t x = 0; x < w; ++x)
        if (src[x] == transparent) m[x] = 0;
    }
    if (progress.IsAborting()) return;
  }
}

// Steps 6 to 12 of one wanted image whose descriptor was read. Returns false after a failure.
bool ReadWantedImage(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress,
                     bool paramsOnly, std::unique_ptr<TRVMask>& alphaMask, bool ignoreAlpha,
                     const uint8_t* desc, std::vector<TRGB>& local, bool hasLocal, TGIFReadState& st) {
  progress.Report(30);
  if (progress.IsAborting()) return false;
  const int32_t left = GetLE16(desc), top = GetLE16(desc + 2), w = GetLE16(desc + 4), h = GetLE16(desc + 6);
  const uint8_t flags = desc[8];
  const int32_t transparentIndex = st.control[3];
  const std::vector<TRGB>& table = hasLocal ? local : st.global;
  params.GIF_TranspColor = transparentIndex < static_cast<int32_t>(table.size()) ? table[size_t(transparentIndex)] : TRGB{};
  params.GIF_XPos = left;
  params.GIF_YPos = top;
  params.Width = params.StoredWidth = w;
  params.Height = params.StoredHeight = h;
  params.GIF_DelayTime = GetLE16(st.control + 1);
  params.GIF_FlagTranspColor = (st.control[0] & 1) != 0;
  params.GIF_Interlaced = (flags & 0x40) != 0;
  params.GIF_Action = static_cast<uint8_t>((st.control[0] >> 2) & 7);

  std::unique_ptr<uint8_t[]> indices;
  bool truncated = false;
  if (paramsOnly) {
    // The LZW code-size byte comes before the sub-blocks.
    if (StreamByte(stream) >= 0) SkipSubBlocks(stream);
  } else {
    // A frame larger than its data can decode is refused before anything is allocated. Data
    // cut inside a sub-block are truncated; sub-blocks that end with the file, without their
    // terminator and the trailer, are data used up, the normal end of a frame.
    bool complete = false;
    const int64_t dataLength = GIFLZWDataLength(stream, complete);
    const int64_t pixels = int64_t(w) * h;
    const int64_t reachable = dataLength < 0 ? 0 : (dataLength * 8 / 3 + 1) * kMaxPixelsPerCode;
    if (w == 0 || h == 0 || pixels > reachable) {
      progress.SetAborting();
      return false;
    }
    indices.reset(new (std::nothrow) uint8_t[size_t(pixels)]);
    if (!indices) return false;
    std::memset(indices.get(), 0, size_t(pixels));
    const int64_t before = stream.GetPosition();
    TGIFLZWDecompressProc decoder = params.GIF_LZWDecompress ? params.GIF_LZWDecompress : GIFLZWDecoderHook;
    if (decoder) decoder(stream, h, w, params.GIF_Interlaced, indices.get());
    if (stream.GetPosition() == before) {
      progress.SetAborting();
      return false;
    }
    truncated = !complete;
    progress.Report(70);
    if (progress.IsAborting()) return false;
  }

  // The colour map: the local table, else the global one, else a black one.
  const int32_t bits = hasLocal ? (flags & 7) + 1 : st.globalBits > 0 ? st.globalBits : (flags & 7) + 1;
  params.BitsPerSample = bits;
  params.SetColorMapCount(1 << bits);
  if (hasLocal || st.globalBits > 0)
    for (int32_t i = 0; i < params.ColorMapCount && size_t(i) < table.size(); ++i) params.ColorMap[size_t(i)] = table[size_t(i)];
  if (paramsOnly) return true;

  const bool blackAndWhite = IsBlackAndWhite(params.ColorMap, bits);
  if (!blackAndWhite && (w > 65000 || h > 65000) && stream.GetSize() - stream.GetPosition() < 2000) {
    progress.SetAborting();
    return false;
  }
  TRVPixelFormat format = blackAndWhite ? rv1g : params.NativePixelFormat ? rv8p : rv24RGB;
  if (format == rv8p) bitmap.PaletteColorCount = params.ColorMapCount;
  if (!bitmap.Allocate(w, h, format)) {
    progress.SetAborting();
    return false;
  }
  if (format == rv8p)
    for (int32_t i = 0; i < params.ColorMapCount && i < bitmap.GetPaletteLength(); ++i)
      bitmap.SetPalette(i, params.ColorMap[size_t(i)]);
  TRVMask* mask = nullptr;
  if (!ignoreAlpha && params.GIF_FlagTranspColor) {
    if (!alphaMask) alphaMask = std::make_unique<TRVMask>();
    alphaMask->AllocateBits(w, h, 8);
    alphaMask->Fill(255);
    mask = alphaMask.get();
  }
  StoreIndices(bitmap, indices.get(), w, h, params.ColorMap, params.GIF_FlagTranspColor ? transparentIndex : -1, mask,
               progress);
  if (mask) {
    mask->CheckFull();
    if (mask->Full) alphaMask.reset();
  }
  // Data cut by the end of the file: what was decoded is kept, and the read reports failure.
  if (truncated) progress.SetAborting();
  return !truncated;
}

}  // namespace

void ReadGIFStream(TStream& stream, TRVBitmap& bitmap, int32_t& imageNumber, TIOParamsVals& params,
                   TRVProgressRec& progress, bool paramsOnly, std::unique_ptr<TRVMask>& alphaMask, bool ignoreAlpha) {
  imageNumber = 0;
  progress.Report(0);
  if (progress.IsAborting()) return;
  const int64_t size = stream.GetSize();
  uint8_t header[13];
  if (!ReadAll(stream, header, 13) || std::memcmp(header, "GIF", 3) != 0) {
    progress.SetAborting();
    return;
  }
  TGIFReadState st;
  params.GIF_Version.assign(reinterpret_cast<const char*>(header), 6);
  params.GIF_ScreenWidth = GetLE16(header + 6);
  params.GIF_ScreenHeight = GetLE16(header + 8);
  params.GIF_AspectRatio = header[12];
  params.SetDpiX(DefaultDpiX);
  params.SetDpiY(DefaultDpiY);
  params.SamplesPerPixel = 1;
  if (header[10] & 0x80) {
    st.globalBits = (header[10] & 7) + 1;
    if (!ReadColorTable(stream, st.global, 1 << st.globalBits)) {
      progress.SetAborting();
      params.SetImageCount(0);
      return;
    }
    params.GIF_Background = st.global[header[11] < st.global.size() ? header[11] : 0];
  }
  if (stream.GetPosition() >= size) progress.SetAborting();

  while (!progress.IsAborting()) {
    int block = StreamByte(stream);
    if (block < 0 || stream.GetPosition() >= size) block = kTrailer;
    if (block == kTrailer) break;
    if (block == kExtension) {
      const int label = StreamByte(stream);
      if (label == kGraphicControl && imageNumber == params.GIF_ImageIndex)
        ReadGraphicControl(stream, st);
      else if (label == kComment)
        ReadComments(stream, params);
      else
        SkipSubBlocks(stream);
    } else if (block == kImage) {
      uint8_t desc[9];
      if (!ReadAll(stream, desc, 9)) {
        progress.SetAborting();
        break;
      }
      std::vector<TRGB> local;
      const bool hasLocal = (desc[8] & 0x80) != 0;
      if (hasLocal && !ReadColorTable(stream, local, 1 << ((desc[8] & 7) + 1))) {
        progress.SetAborting();
        break;
      }
      if (imageNumber != params.GIF_ImageIndex) {
        StreamByte(stream);
        SkipSubBlocks(stream);
      } else {
        ReadWantedImage(stream, bitmap, params, progress, paramsOnly, alphaMask, ignoreAlpha, desc, local, hasLocal,
                        st);
      }
      ++imageNumber;
    }
  }
  params.SetImageCount(imageNumber);
  if (!progress.IsAborting()) progress.Report(100);
}

// ---------------------------------------------------------------- writing

namespace {

// The working picture of a write: indices, colour table and transparency.
struct TGIFPicture {
  int32_t bits = 8;
  int32_t width = 0, height = 0;
  std::vector<uint8_t> indices;
  std::vector<TRGB> table;  // 2^bits entries
  int32_t background = 0;
  int32_t transparent = 0;
};

// Indices of a 1-bit picture: black and white, one index per pixel; the background is the
// nearer of the two to GIF_Background.
void BuildOneBit(TRVBitmap& source, TGIFPicture& pic, const TIOParamsVals& params) {
  TRVBitmap* work = &source;
  std::unique_ptr<TRVBitmap> made;
  if (source.GetPixelFormat() != rv1g) {
    TRGB c0, c1;
    made = TwoColorBitmapTo1Bit(source, c0, c1);
    if (!made) made = ConvertedCopy(source, rv1g);
    work = made.get();
  }
  pic.bits = 1;
  pic.table = {TRGB{0, 0, 0}, TRGB{255, 255, 255}};
  pic.background = NearestPaletteIndex(pic.table.data(), 2, params.GIF_Background);
  if (!work) return;
  for (int32_t y = 0; y < pic.height; ++y) {
    const uint8_t* row = work->GetScanLine(y);
    uint8_t* out = pic.indices.data() + static_cast<int64_t>(y) * pic.width;
    for (int32_t x = 0; x < pic.width; ++x) out[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
  }
}

// Indices of a palette or 24-bit picture through the quantizer; returns the quantized table.
void BuildColor(TRVBitmap& source, TGIFPicture& pic, TIOParamsVals& params, bool withAlpha) {
  TRVBitmap* work = &source;
  std::unique_ptr<TRVBitmap> made;
  const TRVPixelFormat f = source.GetPixelFormat();
  if (f != rv8p && f != rv24RGB) {
    made = ConvertedCopy(source, rv24RGB);
    work = made.get();
  }
  const int32_t colors = (1 << pic.bits) - (withAlpha ? 1 : 0);
  pic.table.assign(size_t(1) << pic.bits, TRGB{});
  if (!work) return;
  TRVQuantizer quantizer(*work, colors, 134217727, pic.table.data());
  const bool palette = work->GetPixelFormat() == rv8p;
  for (int32_t y = 0; y < pic.height; ++y) {
    const uint8_t* row = work->GetScanLine(y);
    uint8_t* out = pic.indices.data() + static_cast<int64_t>(y) * pic.width;
    for (int32_t x = 0; x < pic.width; ++x) {
      if (palette) {
        out[x] = row[x] < colors ? row[x] : static_cast<uint8_t>(quantizer.GetRGBIndex(work->GetPalette(row[x])));
      } else {
        out[x] = static_cast<uint8_t>(quantizer.GetRGBIndex(reinterpret_cast<const TRGB*>(row)[x]));
      }
    }
  }
  if (withAlpha) pic.table[size_t(colors)] = TRGB{};
  pic.background = palette ? NearestPaletteIndex(pic.table.data(), colors, params.GIF_Background)
                           : quantizer.GetRGBIndex(params.GIF_Background);
  pic.transparent = palette ? NearestPaletteIndex(pic.table.data(), colors, params.GIF_TranspColor)
                            : quantizer.GetRGBIndex(params.GIF_TranspColor);
}

// The comment extension, one sub-block per 255 bytes of each line; an empty line adds nothing
// (its size byte 0 would end the extension). Without any text the extension is left out: an
// extension of no sub-block at all (0x21, 0xFE, 0) makes giflib's whole-file reader fail
// ("Failed to read from given file"), so such a file would not open in the programs built on it.
void WriteComments(std::vector<uint8_t>& out, const std::vector<std::string>& comments) {
  bool any = false;
  for (const std::string& line : comments) any = any || !line.empty();
  if (!any) return;
  out.insert(out.end(), {kExtension, kComment});
  for (const std::string& line : comments) {
    const std::string text = common::Utf8ToCp1252(line);
    for (size_t at = 0; at < text.size(); at += 255) {
      const size_t n = std::min<size_t>(255, text.size() - at);
      out.push_back(static_cast<uint8_t>(n));
      out.insert(out.end(), text.begin() + long(at), text.begin() + long(at + n));
    }
  }
  out.push_back(0);
}

void PutLe16(std::vector<uint8_t>& out, int32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

}  // namespace

void WriteGIFStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress) {
  progress.Report(0);
  if (progress.IsAborting()) return;
  TGIFPicture pic;
  pic.width = bitmap.GetWidth();
  pic.height = bitmap.GetHeight();
  if (pic.width <= 0 || pic.height <= 0 || pic.width > 65535 || pic.height > 65535) {
    progress.SetAborting();
    return;
  }
  pic.indices.assign(static_cast<size_t>(pic.width) * pic.height, 0);
  const bool hasAlpha = bitmap.HasAlphaBitmap();
  bool transparentFlag = params.GIF_FlagTranspColor;
  if (params.BitsPerSample == 1) {
    BuildOneBit(bitmap, pic, params);
    // Two colours leave no room for a reserved index: a 1-bit picture is written opaque.
    transparentFlag = false;
  } else {
    pic.bits = std::clamp(params.BitsPerSample, 2, 8);
    if (hasAlpha) params.GIF_FlagTranspColor = transparentFlag = true;
    BuildColor(bitmap, pic, params, hasAlpha);
    if (hasAlpha) {
      pic.transparent = (1 << pic.bits) - 1;
      TRVBitmap* alpha = bitmap.AlphaBitmap();
      for (int32_t y = 0; y < pic.height; ++y) {
        const uint8_t* a = alpha->GetScanLine(y);
        uint8_t* out = pic.indices.data() + static_cast<int64_t>(y) * pic.width;
        for (int32_t x = 0; x < pic.width; ++x)
          if (a[x] < 255) out[x] = static_cast<uint8_t>(pic.transparent);
      }
    }
  }
  progress.Report(30);
  if (progress.IsAborting()) return;

  std::vector<uint8_t> head;
  std::string version = params.GIF_Version;
  version.resize(6, ' ');
  head.insert(head.end(), version.begin(), version.end());
  PutLe16(head, pic.width);
  PutLe16(head, pic.height);
  head.push_back(static_cast<uint8_t>(0x80 + (pic.bits - 1) * 17));
  head.push_back(static_cast<uint8_t>(pic.background));
  head.push_back(0);
  for (const TRGB& c : pic.table) head.insert(head.end(), {c.r, c.g, c.b});
  head.insert(head.end(), {kExtension, kGraphicControl, 4});
  head.push_back(static_cast<uint8_t>((transparentFlag ? 1 : 0) + (params.GIF_Action & 7) * 4));
  PutLe16(head, params.GIF_DelayTime);
  head.push_back(static_cast<uint8_t>(pic.transparent));
  head.push_back(0);
  head.push_back(kImage);
  PutLe16(head, params.GIF_XPos);
  PutLe16(head, params.GIF_YPos);
  PutLe16(head, pic.width);
  PutLe16(head, pic.height);
  head.push_back(params.GIF_Interlaced ? 0x40 : 0);
  if (!WriteChecked(stream, progress, head.data(), static_cast<int64_t>(head.size()))) return;

  progress.Report(70);
  if (progress.IsAborting()) return;
  TGIFLZWCompressProc encoder = params.GIF_LZWCompress ? params.GIF_LZWCompress : GIFLZWEncoderHook;
  if (!encoder) {
    progress.SetAborting();
    return;
  }
  // The encoder writes into memory; the result goes out through the checked write.
  TMemoryStream data;
  encoder(data, pic.height, pic.width, params.GIF_Interlaced, pic.indices.data(), pic.bits);
  if (!WriteChecked(stream, progress, data.Memory(), data.GetSize())) return;

  std::vector<uint8_t> tail;
  WriteComments(tail, params.GIF_Comments);
  tail.push_back(kTrailer);
  if (!WriteChecked(stream, progress, tail.data(), static_cast<int64_t>(tail.size()))) return;
  progress.Report(100);
}

}  // namespace rv
