#include "rastova/codecs/bitmaps/pcxfilter.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <new>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "common/Round.h"
#include "rastova/codecs/CodecUtils.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVColorReduce.h"
#include "rastova/core/RVQuantizer.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv {

using namespace codecs;

namespace {

constexpr int kHeaderSize = 128;
constexpr uint32_t kDCXMagic = 987654321;
constexpr int32_t kMaxDCXPages = 1024;

// A header's table of `count` entries (file order red, green, blue) as TRGB entries.
void TableFromFile(const uint8_t* raw, int32_t count, std::vector<TRGB>& table) {
  table.resize(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) table[size_t(i)] = TRGB{raw[3 * i + 2], raw[3 * i + 1], raw[3 * i]};
}

#if defined(__x86_64__)
// Shuffles that repeat each of eight bytes 0, 1 or 2 times, indexed by the repeat counts as base-3
// digits (byte t's count times 3^t), with the number of bytes they give.
struct TSpreadTables {
  static constexpr int kCount = 6561;  // 3^8
  alignas(16) uint8_t shuffle[kCount][16];
  uint8_t length[kCount];
  // The bits of a byte as base-3 digits: the index part of repeat counts of 1 where bits are set.
  uint16_t digits[256];
  TSpreadTables() {
    for (int i = 0; i < kCount; ++i) {
      std::memset(shuffle[i], 0x80, 16);
      int n = 0;
      for (int t = 0, v = i; t < 8; ++t, v /= 3)
        for (int k = 0; k < v % 3; ++k) shuffle[i][n++] = static_cast<uint8_t>(t);
      length[i] = static_cast<uint8_t>(n);
    }
    for (int b = 0; b < 256; ++b) {
      digits[b] = 0;
      for (int t = 0, weight = 1; t < 8; ++t, weight *= 3)
        if (b >> t & 1) digits[b] = static_cast<uint16_t>(digits[b] + weight);
    }
  }
};

// The first `used` bytes of a block, whose `headers` are all taken, spread out at `dest + filled`.
__attribute__((target("ssse3"))) inline void SpreadBlock(const TSpreadTables& tables, __m128i in,
                                                         uint32_t headers, int used, uint8_t* dest,
                                                         int32_t& filled) {
  // Repeat counts: 0 for a header, 1 for the other bytes taken, 2 for the value of a run of two.
  const uint32_t ones = ~headers & ((1u << used) - 1);
  const uint32_t twos =
      (headers << 1) &
      (static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(in, _mm_set1_epi8(static_cast<char>(0xC2)))))
       << 1);
  const int low = tables.digits[ones & 0xFF] + tables.digits[twos & 0xFF];
  const int upper = tables.digits[ones >> 8] + tables.digits[twos >> 8];
  const auto* shuffles = reinterpret_cast<const __m128i*>(tables.shuffle);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + filled),
                   _mm_shuffle_epi8(in, _mm_load_si128(shuffles + low)));
  filled += tables.length[low];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + filled),
                   _mm_shuffle_epi8(_mm_srli_si128(in, 8), _mm_load_si128(shuffles + upper)));
  filled += tables.length[upper];
}

// Decodes run-length data sixteen bytes at a time while runs are no longer than two, as in noisy
// pictures: the block, which starts at a token, is split at once into literals, run headers (bytes
// from 0xC0 up, every other one in a row of them) and the values after the headers, and each half
// is spread by one byte shuffle. Stops before a longer (or empty) run, near the end of the line or
// of the bytes, where the token loop goes on; `n - filled` stays above 16 after each block.
__attribute__((target("ssse3"))) void SpreadShortRuns(const uint8_t*& p, const uint8_t* end, uint8_t* dest,
                                                      int32_t& filled, int32_t n) {
  static const TSpreadTables tables;
  const __m128i c0 = _mm_set1_epi8(static_cast<char>(0xC0)), c1 = _mm_set1_epi8(static_cast<char>(0xC1)),
                c2 = _mm_set1_epi8(static_cast<char>(0xC2));
  while (end - p >= 16 && n - filled >= 32) {
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const uint32_t high = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(in, c0), in)));
    // In a row of high bytes the first is a header, the next its value, and so on: headers are the
    // bytes at even distance from the start of their row. Adding each even row's first bit clears
    // that row, which tells even rows from odd ones.
    const uint32_t starts = high & ~(high << 1);
    const uint32_t evenRows = high & ~(high + (starts & 0x5555));
    const uint32_t headers = (evenRows & 0x5555) | (high & ~evenRows & 0xAAAA);
    const uint32_t shortRuns =
        static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(_mm_max_epu8(in, c1), c2), in)));
    // The block ends before the first header it cannot take: a long run, or one whose value is in
    // the next block. The whole block, the usual case, keeps the next block's address apart from
    // these bytes.
    const uint32_t stop = (headers & ~shortRuns) | (headers & 0x8000);
    if (stop == 0) {
      SpreadBlock(tables, in, headers, 16, dest, filled);
      p += 16;
      continue;
    }
    const int used = std::countr_zero(stop);
    if (used == 0) break;
    SpreadBlock(tables, in, headers & ((1u << used) - 1), used, dest, filled);
    p += used;
  }
}
#endif

// Decodes plane lines from the image data, which it reads from the stream in blocks; a run that
// passes the end of a line carries on into the next one. Reads never pass the end of the data.
class TPCXLineDecoder {
 public:
  TPCXLineDecoder(TStream& stream, int64_t size, bool rle)
      : stream_(stream), left_(size), rle_(rle), buffer_(kBlock + 8) {}
  // Fills `n` bytes (and may store up to 64 bytes past them); false when the data ended first
  // (the rest stays as it was).
  bool Line(uint8_t* dest, int32_t n) {
    if (!rle_) {
      int32_t filled = 0;
      while (filled < n && Available(1)) {
        const int32_t k = static_cast<int32_t>(std::min<int64_t>(n - filled, length_ - pos_));
        std::memcpy(dest + filled, buffer_.data() + pos_, size_t(k));
        filled += k;
        pos_ += k;
      }
      return filled == n;
    }
    // A run carried over from the previous line goes first.
    int32_t filled = std::min(runLeft_, n);
    std::memset(dest, runValue_, static_cast<size_t>(filled));
    runLeft_ -= filled;
    while (filled < n) {
      if (!Available(2)) return Tail(dest, filled, n);
      const uint8_t* p = buffer_.data() + pos_;
      const uint8_t* const end = buffer_.data() + length_;
      // A literal and a run take the same steps: sixteen copies of the value are stored at once
      // (the line has room behind it), longer runs fill the rest.
      while (filled < n && end - p >= 2) {
        if (std::endian::native == std::endian::little && end - p >= 8 && n - filled >= 8) {
          // Literals come eight at a time until the first run header among them (a byte with
          // both top bits set).
          uint64_t bytes;
          std::memcpy(&bytes, p, 8);
          const uint64_t headers = bytes & (bytes << 1) & 0x8080808080808080ull;
          const int32_t literals = headers ? std::countr_zero(headers) >> 3 : 8;
          if (literals > 0) {
            std::memcpy(dest + filled, p, 8);
            filled += literals;
            p += literals;
            if (literals == 8 || end - p < 2 || filled >= n) continue;
          }
        }
        const uint8_t b = p[0];
        const bool run = b >= 0xC0;
        const int32_t count = run ? b & 0x3F : 1;
        const uint8_t value = run ? p[1] : b;
        const uint64_t eight = 0x0101010101010101ull * value;
        std::memcpy(dest + filled, &eight, 8);
        std::memcpy(dest + filled + 8, &eight, 8);
        if (count > 16) std::memset(dest + filled + 16, value, static_cast<size_t>(count - 16));
        filled += count;
        p += run ? 2 : 1;
#if defined(__x86_64__)
        // After a short token the next ones are likely short as well: blocks take them while they
        // are, starting at a short token so that they never stop at once.
        static const bool shuffle = __builtin_cpu_supports("ssse3");
        if (count <= 2 && shuffle && end - p >= 16 && n - filled >= 32 &&
            (p[0] < 0xC0 || p[0] == 0xC1 || p[0] == 0xC2))
          SpreadShortRuns(p, end, dest, filled, n);
#endif
      }
      pos_ = p - buffer_.data();
      if (filled > n) {
        // The run goes on in the next plane line.
        runLeft_ = filled - n;
        runValue_ = p[-1];
        filled = n;
      }
    }
    return true;
  }

 private:
  static constexpr int64_t kBlock = 1 << 16;
  // At least `k` unread bytes in the buffer, refilling it from the stream; false at the end.
  bool Available(int64_t k) {
    if (length_ - pos_ >= k) return true;
    const int64_t keep = length_ - pos_;
    std::memmove(buffer_.data(), buffer_.data() + pos_, size_t(keep));
    pos_ = 0;
    length_ = keep;
    const int64_t want = std::min<int64_t>(kBlock - keep, left_);
    const int64_t got = want > 0 ? std::max<int64_t>(0, stream_.Read(buffer_.data() + keep, want)) : 0;
    left_ = got < want ? 0 : left_ - got;
    length_ += got;
    return length_ >= k;
  }
  // The last byte of the data: a literal, or a run without its value.
  bool Tail(uint8_t* dest, int32_t filled, int32_t n) {
    if (length_ - pos_ == 1 && buffer_[size_t(pos_)] < 0xC0 && filled < n) {
      dest[filled++] = buffer_[size_t(pos_++)];
      if (filled == n) return true;
    }
    pos_ = length_;
    return false;
  }

  TStream& stream_;
  int64_t left_;
  bool rle_;
  std::vector<uint8_t> buffer_;
  int64_t pos_ = 0, length_ = 0;
  int32_t runLeft_ = 0;
  uint8_t runValue_ = 0;
};

struct TPCXHeader {
  uint8_t raw[kHeaderSize];
  int32_t bits() const { return raw[3]; }
  int32_t planes() const { return raw[65]; }
  int32_t bytesPerLine() const { return GetLE16(raw + 66); }
};

// Whether the reader decodes this layout: bits per pixel and number of planes.
bool SupportedLayout(int32_t bits, int32_t planes) {
  return (planes == 1 && (bits == 1 || bits == 4 || bits == 8)) || (planes == 3 && bits == 8) ||
         (planes == 4 && bits == 1);
}

void StoreRow(TRVBitmap& bitmap, int32_t y, const uint8_t* line, int32_t bpl, int32_t bits, int32_t planes,
              int32_t width, const std::vector<TRGB>& table16, const std::vector<TRGB>& table256) {
  uint8_t* row = bitmap.GetScanLine(y);
  if (planes == 1 && bits == 1) {
    std::memcpy(row, line, static_cast<size_t>((width + 7) / 8));
    return;
  }
  auto* px = reinterpret_cast<TRGB*>(row);
  if (planes == 1 && bits == 8) {
    for (int32_t x = 0; x < width; ++x) px[x] = table256[line[x]];
  } else if (planes == 1 && bits == 4) {
    for (int32_t x = 0; x < width; ++x) px[x] = table16[(line[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
  } else if (planes == 3) {
    PlanesToBGR(row, line, line + bpl, line + 2 * int64_t(bpl), width);
  } else {
    for (int32_t x = 0; x < width; ++x) {
      int32_t index = 0;
      for (int32_t p = 0; p < 4; ++p)
        if (line[p * bpl + (x >> 3)] & (0x80 >> (x & 7))) index |= 1 << p;
      px[x] = table16[size_t(index)];
    }
  }
}

}  // namespace

void ReadPCXStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, int64_t size, TRVProgressRec& progress,
                   bool paramsOnly) {
  const int64_t start = stream.GetPosition();
  size = std::min(size, stream.GetSize() - start);
  TPCXHeader h;
  if (size < kHeaderSize || stream.Read(h.raw, kHeaderSize) != kHeaderSize || h.raw[0] != 10 || h.bits() > 8 ||
      h.raw[2] > 1) {
    progress.SetAborting();
    return;
  }
  const int32_t xmin = GetLE16(h.raw + 4), ymin = GetLE16(h.raw + 6), xmax = GetLE16(h.raw + 8), ymax = GetLE16(h.raw + 10);
  const int32_t width = xmax - xmin + 1, height = ymax - ymin + 1;
  const int32_t bits = h.bits(), planes = h.planes(), bpl = h.bytesPerLine();
  if (xmax < xmin || ymax < ymin || !SupportedLayout(bits, planes) ||
      (int64_t(width) * bits + 7) / 8 > bpl) {
    progress.SetAborting();
    return;
  }
  params.SetImageCount(1);
  int32_t dpiX = GetLE16(h.raw + 12), dpiY = GetLE16(h.raw + 14);
  if (dpiX == 0 || dpiY == 0) dpiX = DefaultDpiX, dpiY = DefaultDpiY;
  params.SetDpiX(dpiX);
  params.SetDpiY(dpiY);

  std::vector<TRGB> table16, table256(256, TRGB{});
  TableFromFile(h.raw + 16, 16, table16);
  // The 256-entry table of 8-bit images fills the last 768 bytes, when they lie after the header.
  if (planes == 1 && bits > 4 && size >= kHeaderSize + 768) {
    uint8_t raw[768];
    stream.SetPosition(start + size - 768);
    if (stream.Read(raw, 768) == 768) TableFromFile(raw, 256, table256);
    stream.SetPosition(start + kHeaderSize);
  }
  params.BitsPerSample = bits;
  params.SamplesPerPixel = planes;
  params.Width = params.StoredWidth = width;
  params.Height = params.StoredHeight = height;
  params.PCX_Version = h.raw[1];
  if (bits == 8 && planes == 1) {
    params.ColorMap = table256;
  } else if (bits == 1 && planes == 4) {
    params.ColorMap = table16;
    params.BitsPerSample = 4;
    params.SamplesPerPixel = 1;
  } else if (bits < 8) {
    params.ColorMap.assign(table16.begin(), table16.begin() + (1 << bits));
  } else {
    params.ColorMap.clear();
  }
  params.ColorMapCount = static_cast<int32_t>(params.ColorMap.size());
  if (paramsOnly) return;

  // Run-length data give at most 63 bytes for every 2: a size the data cannot fill is refused
  // before anything is allocated.
  const int64_t dataSize = size - kHeaderSize;
  const int64_t lineBytes = int64_t(bpl) * planes;
  if (int64_t(width) * height > kMaxPixelCount || lineBytes * height > (dataSize / 2 + 1) * 63) {
    progress.SetAborting();
    return;
  }
  if (!bitmap.Allocate(width, height, planes == 1 && bits == 1 ? rv1g : rv24RGB)) {
    progress.SetAborting();
    return;
  }
  // Room behind the last plane line for the decoder's stores past its end.
  std::vector<uint8_t> line(size_t(lineBytes) + 128, 0);
  TPCXLineDecoder decoder(stream, dataSize, h.raw[2] == 1);
  StartProgress(progress, height);
  int32_t reported = -1;
  for (int32_t y = 0; y < height; ++y) {
    const int32_t per = common::TruncInt(y * progress.per1);
    if (per != reported && progress.HasEvent()) progress.Report(reported = per);
    if (progress.IsAborting()) return;
    bool complete = true;
    for (int32_t p = 0; p < planes && complete; ++p) complete = decoder.Line(line.data() + int64_t(p) * bpl, bpl);
    if (!complete) {
      // The data end before the image: the rows not reached stay black.
      for (int32_t r = y; r < height; ++r) std::memset(bitmap.GetScanLine(r), 0, size_t(bitmap.GetRowLen()));
      progress.SetAborting();
      return;
    }
    StoreRow(bitmap, y, line.data(), bpl, bits, planes, width, table16, table256);
  }
}

int32_t PCXEncodeLine(uint8_t* dest, const uint8_t* source, int32_t count, int32_t step, int32_t offset) {
  int32_t out = 0;
  int32_t i = 0;
  const uint8_t* s = source + offset;
  while (i < count) {
    const uint8_t b = s[int64_t(i) * step];
    int32_t run = 1;
    while (i + run < count && run < 63 && s[int64_t(i + run) * step] == b) ++run;
    if (run > 1 || b >= 0xC0) {
      dest[out++] = static_cast<uint8_t>(0xC0 + run);
      dest[out++] = b;
    } else {
      dest[out++] = b;
    }
    i += run;
  }
  if (count & 1) dest[out++] = 0;
  return out;
}

namespace {

// The writer's working picture: the rows to write and the colour tables.
struct TPCXPicture {
  int32_t depth = 24;
  TRVBitmap* work = nullptr;
  std::unique_ptr<TRVBitmap> made;
  std::unique_ptr<TRVQuantizer> quantizer;
  TRGB colors[256] = {};
};

void PreparePicture(TRVBitmap& bitmap, TIOParamsVals& params, TPCXPicture& pic) {
  if (params.SamplesPerPixel > 3) params.SamplesPerPixel = 3;
  pic.work = &bitmap;
  if (params.BitsPerSample == 1) {
    pic.depth = 1;
    pic.colors[1] = TRGB{255, 255, 255};
    if (bitmap.GetPixelFormat() != rv1g) {
      pic.made = TwoColorBitmapTo1Bit(bitmap, pic.colors[0], pic.colors[1]);
      if (!pic.made) {
        pic.colors[0] = TRGB{};
        pic.colors[1] = TRGB{255, 255, 255};
        pic.made = ConvertedCopy(bitmap, rv1g);
      }
      pic.work = pic.made.get();
    }
    return;
  }
  pic.depth = params.BitsPerSample * params.SamplesPerPixel;
  if (pic.depth != 4 && pic.depth != 8) pic.depth = 24;
  if (bitmap.GetPixelFormat() != rv24RGB) {
    pic.made = ConvertedCopy(bitmap, rv24RGB);
    pic.work = pic.made.get();
  }
  if (pic.work && pic.depth != 24)
    pic.quantizer = std::make_unique<TRVQuantizer>(*pic.work, pic.depth == 4 ? 16 : 256, 134217727, pic.colors);
}

}  // namespace

void WritePCXStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress) {
  TPCXPicture pic;
  PreparePicture(bitmap, params, pic);
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  if (!pic.work || w <= 0 || h <= 0 || w > 65536 || h > 65536) {
    progress.SetAborting();
    return;
  }
  const bool rle = params.PCX_Compression != 0;
  const int32_t planes = pic.depth == 24 ? 3 : 1;
  int32_t bpl = pic.depth == 1 ? (w + 7) / 8 : pic.depth == 4 ? (w + 1) / 2 : w;
  const int32_t dataBytes = bpl;
  if (bpl & 1) ++bpl;
  uint8_t header[kHeaderSize] = {};
  header[0] = 10;
  header[1] = static_cast<uint8_t>(params.PCX_Version);
  header[2] = rle ? 1 : 0;
  header[3] = static_cast<uint8_t>(pic.depth == 24 ? 8 : pic.depth);
  SetLE16(header + 8, w - 1);
  SetLE16(header + 10, h - 1);
  SetLE16(header + 12, params.DpiX);
  SetLE16(header + 14, params.DpiY);
  const int32_t headerColors = pic.depth == 1 ? 2 : pic.depth == 4 ? 16 : 0;
  for (int32_t i = 0; i < headerColors; ++i) {
    header[16 + 3 * i] = pic.colors[i].r;
    header[17 + 3 * i] = pic.colors[i].g;
    header[18 + 3 * i] = pic.colors[i].b;
  }
  header[65] = static_cast<uint8_t>(planes);
  SetLE16(header + 66, bpl);
  SetLE16(header + 68, pic.depth == 24 ? 0 : 1);
  if (!WriteChecked(stream, progress, header, kHeaderSize)) return;

  std::vector<uint8_t> line(size_t(bpl) + 8, 0), coded(size_t(bpl) * 2 + 8, 0);
  auto writeLine = [&](const uint8_t* source, int32_t step, int32_t offset) {
    if (rle) {
      const int32_t n = PCXEncodeLine(coded.data(), source, dataBytes, step, offset);
      return WriteChecked(stream, progress, coded.data(), n);
    }
    std::fill(line.begin(), line.end(), 0);
    for (int32_t i = 0; i < dataBytes; ++i) line[size_t(i)] = source[offset + int64_t(i) * step];
    return WriteChecked(stream, progress, line.data(), bpl);
  };
  std::vector<uint8_t> indices(size_t(w) + 8, 0);
  for (int32_t y = 0; y < h; ++y) {
    if (progress.HasEvent()) progress.Report(common::TruncInt(y * 100.0 / h));
    if (progress.IsAborting()) return;
    const uint8_t* row = pic.work->GetScanLine(y);
    bool ok = true;
    if (pic.depth == 1) {
      ok = writeLine(row, 1, 0);
    } else if (pic.depth == 24) {
      for (int32_t c = 0; c < 3 && ok; ++c) ok = writeLine(row, 3, 2 - c);
    } else {
      const auto* px = reinterpret_cast<const TRGB*>(row);
      std::fill(indices.begin(), indices.end(), 0);
      for (int32_t x = 0; x < w; ++x) {
        const auto index = static_cast<uint8_t>(pic.quantizer->GetRGBIndex(px[x]));
        if (pic.depth == 8)
          indices[size_t(x)] = index;
        else
          indices[size_t(x >> 1)] |= static_cast<uint8_t>((x & 1) ? index : index << 4);
      }
      ok = writeLine(indices.data(), 1, 0);
    }
    if (!ok) return;
  }
  if (pic.depth == 8 && !progress.IsAborting()) {
    uint8_t table[769];
    table[0] = 12;
    for (int32_t i = 0; i < 256; ++i) {
      table[1 + 3 * i] = pic.colors[i].r;
      table[2 + 3 * i] = pic.colors[i].g;
      table[3 + 3 * i] = pic.colors[i].b;
    }
    WriteChecked(stream, progress, table, sizeof table);
  }
}

// ---------------------------------------------------------------- DCX

std::vector<uint32_t> ReadDCXPageTable(TStream& stream, int32_t& count) {
  std::vector<uint32_t> table(kMaxDCXPages, 0);
  count = 0;
  while (count < kMaxDCXPages) {
    uint8_t b[4];
    if (stream.Read(b, 4) != 4) break;
    const uint32_t v = uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
    if (v == 0) break;
    table[size_t(count++)] = v;
  }
  return table;
}

std::vector<int64_t> GetDCXPageSizes(TStream& stream, const std::vector<uint32_t>& offsets, int32_t count) {
  const int64_t end = stream.GetSize();
  std::vector<int64_t> sizes(size_t(std::max(count, 0)), 0);
  for (int32_t i = 0; i < count; ++i) {
    int64_t next = end;
    for (int32_t j = 0; j < count; ++j)
      if (offsets[size_t(j)] > offsets[size_t(i)]) next = std::min<int64_t>(next, offsets[size_t(j)]);
    sizes[size_t(i)] = std::max<int64_t>(0, next - offsets[size_t(i)]);
  }
  return sizes;
}

bool IsDCXStream(TStream& stream) {
  const int64_t start = stream.GetPosition();
  const int64_t size = stream.GetSize();
  uint8_t b[4];
  bool ok = stream.Read(b, 4) == 4 &&
            (uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24)) == kDCXMagic;
  if (ok) {
    int32_t count = 0;
    const std::vector<uint32_t> table = ReadDCXPageTable(stream, count);
    for (int32_t i = 0; i < count && ok; ++i) ok = table[size_t(i)] < size;
  }
  stream.SetPosition(start);
  return ok;
}

void ReadDCXStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress,
                   bool paramsOnly) {
  if (!IsDCXStream(stream)) {
    progress.SetAborting();
    return;
  }
  uint8_t magic[4];
  stream.Read(magic, 4);
  int32_t count = 0;
  const std::vector<uint32_t> table = ReadDCXPageTable(stream, count);
  if (count == 0) {
    progress.SetAborting();
    return;
  }
  const int32_t index = std::clamp(params.DCX_ImageIndex, 0, count - 1);
  params.SetImageIndex(index);
  const std::vector<int64_t> sizes = GetDCXPageSizes(stream, table, count);
  stream.SetPosition(table[size_t(index)]);
  ReadPCXStream(stream, bitmap, params, sizes[size_t(index)], progress, paramsOnly);
}

void WriteDCXStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress) {
  int32_t count = 0;
  std::vector<uint32_t> table;
  std::vector<int64_t> sizes;
  if (stream.GetSize() > 0) {
    stream.SetPosition(0);
    if (!IsDCXStream(stream)) {
      progress.SetAborting();
      return;
    }
    stream.SetPosition(4);
    table = ReadDCXPageTable(stream, count);
    sizes = GetDCXPageSizes(stream, table, count);
  }
  TMemoryStream out;
  std::vector<uint8_t> head(size_t(4) * (count + 3), 0);
  for (int k = 0; k < 4; ++k) head[size_t(k)] = static_cast<uint8_t>(kDCXMagic >> (8 * k));
  out.WriteBuffer(head.data(), static_cast<int64_t>(head.size()));
  std::vector<uint32_t> positions;
  auto writeNew = [&] {
    positions.push_back(static_cast<uint32_t>(out.GetPosition()));
    WritePCXStream(out, bitmap, params, progress);
  };
  for (int32_t i = 0; i < count && !progress.IsAborting(); ++i) {
    if (params.DCX_ImageIndex == i) writeNew();
    positions.push_back(static_cast<uint32_t>(out.GetPosition()));
    stream.SetPosition(table[size_t(i)]);
    if (sizes[size_t(i)] > 0) out.CopyFrom(stream, sizes[size_t(i)]);
  }
  if (params.DCX_ImageIndex == count && !progress.IsAborting()) writeNew();
  if (progress.IsAborting()) return;
  for (size_t i = 0; i < positions.size() && i < kMaxDCXPages; ++i)
    for (int k = 0; k < 4; ++k) out.Memory()[4 + 4 * i + size_t(k)] = static_cast<uint8_t>(positions[i] >> (8 * k));
  stream.SetSize(0);
  stream.SetPosition(0);
  WriteChecked(stream, progress, out.Memory(), out.GetSize());
}

}  // namespace rv
