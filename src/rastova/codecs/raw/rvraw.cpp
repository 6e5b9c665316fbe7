#include "rastova/codecs/raw/rvraw.h"

#include <libraw/libraw.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "common/Round.h"
#include "rastova/codecs/RVEXIF.h"
#include "rastova/codecs/jpeg/jpegfilt.h"
#include "rastova/codecs/tiff/tiffdefs.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVChannelOps.h"
#include "rastova/core/RVStream.h"

namespace rv {

namespace {

constexpr int32_t kHistogramBins = 8192;
constexpr int32_t kMaxHeapDepth = 4;

// ---------------------------------------------------------------- LibRaw over a TStream

class TRawDataStream : public LibRaw_abstract_datastream {
 public:
  explicit TRawDataStream(TStream& s) : s_(s), size_(s.GetSize()) {}
  int valid() override { return 1; }
  int read(void* ptr, size_t size, size_t nmemb) override {
    const int64_t bytes = int64_t(size) * int64_t(nmemb);
    if (size == 0 || bytes <= 0) return 0;
    const int64_t got = std::max<int64_t>(s_.Read(ptr, bytes), 0);
    return static_cast<int>(got / int64_t(size));
  }
  int seek(INT64 o, int whence) override {
    int64_t target = o;
    if (whence == SEEK_CUR) target += s_.GetPosition();
    if (whence == SEEK_END) target += size_;
    if (target < 0) return -1;
    s_.SetPosition(std::min<int64_t>(target, size_));
    return 0;
  }
  INT64 tell() override { return s_.GetPosition(); }
  INT64 size() override { return size_; }
  int get_char() override {
    uint8_t c;
    return s_.Read(&c, 1) == 1 ? c : -1;
  }
  char* gets(char* str, int sz) override {
    if (sz < 1) return nullptr;
    int i = 0;
    while (i < sz - 1) {
      const int c = get_char();
      if (c < 0) break;
      str[i++] = static_cast<char>(c);
      if (c == '\n') break;
    }
    str[i] = 0;
    return i > 0 ? str : nullptr;
  }
  int scanf_one(const char* fmt, void* val) override {
    // One number of text, as the few text headers need ("%d" or "%f").
    char buf[32];
    int n = 0, c = get_char();
    while (c == ' ' || c == '\t' || c == '\n' || c == '\r') c = get_char();
    while (c >= 0 && n < 31 && c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != 0) {
      buf[n++] = static_cast<char>(c);
      c = get_char();
    }
    buf[n] = 0;
    return n > 0 ? std::sscanf(buf, fmt, val) : -1;
  }
  int eof() override { return s_.GetPosition() >= size_; }
  void* make_jas_stream() override { return nullptr; }

 private:
  TStream& s_;
  int64_t size_;
};

// LibRaw polls this during the decode: a set abort flag cancels it.
int ProgressCallback(void* data, enum LibRaw_progress, int, int) {
  return static_cast<TRVProgressRec*>(data)->IsAborting() ? 1 : 0;
}

std::string Text(const char* s, size_t n) { return std::string(s, strnlen(s, n)); }

// ---------------------------------------------------------------- CIFF

struct TCIFFRecord {
  uint16_t noteTag;
  std::vector<uint16_t> values;
};

struct TCIFFState {
  TStream& s;
  bool le;
  int64_t size;
  TIOParamsVals& params;
  std::vector<TCIFFRecord> records;
  int64_t jpegAt = -1, jpegSize = 0;
  int32_t bestW = 0, bestH = 0;
};

using tiff::Get16;
using tiff::Get32;

bool ReadAt(TStream& s, int64_t at, void* buffer, int64_t n) {
  if (at < 0 || n < 0 || at + n > s.GetSize()) return false;
  s.SetPosition(at);
  return s.Read(buffer, n) == n;
}

// LibRaw trusts the TIFF structure of the files it parses: an IFD that runs past the end of the
// data or an entry of no TIFF type has made it read far outside its own tables. So a file that
// starts with a TIFF header must have sound IFDs (the main chain, the sub-IFDs and the EXIF IFD,
// each table and each entry's values inside the data, types 1 to 13) before LibRaw sees it;
// other files are left to LibRaw. The position is restored.
bool TIFFStructureIsSound(TStream& stream) {
  constexpr int32_t kMaxIFDs = 64;
  const int64_t start = stream.GetPosition(), size = stream.GetSize() - start;
  uint8_t header[8];
  const bool read = ReadAt(stream, start, header, 8);
  stream.SetPosition(start);
  if (!read || !((header[0] == 'I' && header[1] == 'I') || (header[0] == 'M' && header[1] == 'M'))) return true;
  const bool le = header[0] == 'I';
  static const uint8_t kTypeSizes[14] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
  std::vector<uint32_t> pending{Get32(header + 4, le)}, seen;
  bool sound = true;
  while (sound && !pending.empty()) {
    const uint32_t at = pending.back();
    pending.pop_back();
    if (at == 0 || std::find(seen.begin(), seen.end(), at) != seen.end()) continue;
    if (seen.size() == kMaxIFDs) break;
    seen.push_back(at);
    uint8_t countBytes[2];
    sound = ReadAt(stream, start + at, countBytes, 2);
    const int64_t count = sound ? Get16(countBytes, le) : 0;
    std::vector<uint8_t> table(static_cast<size_t>(count * 12 + 4));
    // The next-IFD offset may be missing at the very end of the data.
    sound = sound && ReadAt(stream, start + at + 2, table.data(), std::min<int64_t>(count * 12 + 4, size - at - 2)) &&
            size - at - 2 >= count * 12;
    for (int64_t i = 0; sound && i < count; ++i) {
      const uint8_t* e = table.data() + i * 12;
      const uint16_t tag = Get16(e, le), type = Get16(e + 2, le);
      const int64_t bytes = type >= 1 && type <= 13 ? int64_t(Get32(e + 4, le)) * kTypeSizes[type] : -1;
      const int64_t valueAt = Get32(e + 8, le);
      sound = bytes >= 0 && (bytes <= 4 || valueAt + bytes <= size);
      if (sound && (tag == 330 || tag == 34665) && (type == 4 || type == 13)) {
        const int64_t n = std::min<int64_t>(Get32(e + 4, le), kMaxIFDs);
        for (int64_t k = 0; k < n; ++k) {
          uint8_t v[4];
          if (n == 1) std::memcpy(v, e + 8, 4);
          else if (!ReadAt(stream, start + valueAt + 4 * k, v, 4)) break;
          pending.push_back(Get32(v, le));
        }
      }
    }
    if (sound && size - at - 2 >= count * 12 + 4) pending.push_back(Get32(table.data() + count * 12, le));
  }
  stream.SetPosition(start);
  return sound;
}

// Measures an embedded JPEG without decoding it; keeps it when it is smaller in both sizes.
void ConsiderJpeg(TCIFFState& st, int64_t at, int64_t size) {
  std::vector<uint8_t> data(static_cast<size_t>(size));
  if (!ReadAt(st.s, at, data.data(), size)) return;
  TRVMemStream m(data.data(), size);
  TIOParamsVals probe;
  TRVBitmap scratch;
  std::atomic<bool> aborting{false};
  TRVProgressRec progress(&aborting);
  try {
    ReadJpegStream(m, nullptr, scratch, false, -1, false, false, false, false, false, true, progress, probe);
  } catch (...) {
    return;
  }
  if (aborting || probe.Width <= 0 || probe.Height <= 0) return;
  if (st.jpegAt < 0 || (probe.Width < st.bestW && probe.Height < st.bestH)) {
    st.jpegAt = at;
    st.jpegSize = size;
    st.bestW = probe.Width;
    st.bestH = probe.Height;
  }
}

void ParseHeap(TCIFFState& st, int64_t start, int64_t length, int32_t depth) {
  if (depth > kMaxHeapDepth || length < 6 || start < 0 || start + length > st.size) return;
  uint8_t b[10];
  if (!ReadAt(st.s, start + length - 4, b, 4)) return;
  const int64_t dir = start + Get32(b, st.le);
  // The directory, and every entry, must lie inside the heap (before its last 4 bytes).
  const int64_t end = start + length - 4;
  if (dir + 2 > end || !ReadAt(st.s, dir, b, 2)) return;
  const int32_t count = std::min<int32_t>(Get16(b, st.le), 256);
  for (int32_t i = 0; i < count; ++i) {
    const int64_t at = dir + 2 + 10 * int64_t(i);
    if (at + 10 > end || !ReadAt(st.s, at, b, 10)) return;
    const uint16_t rawTag = Get16(b, st.le);
    const int64_t size = Get32(b + 2, st.le), off = Get32(b + 6, st.le);
    int64_t dataAt = start + off, dataSize = size;
    if ((rawTag >> 14) == 1) {
      dataAt = at + 2;
      dataSize = 8;
    } else if (off + size > length - 4) {
      continue;
    }
    const uint16_t tag = rawTag & 0x3FFF;
    const bool text = ((rawTag >> 11) & 7) == 1;
    auto readText = [&]() {
      std::string s(static_cast<size_t>(std::min<int64_t>(dataSize, 65536)), '\0');
      if (!ReadAt(st.s, dataAt, s.data(), static_cast<int64_t>(s.size()))) return std::string();
      return s;
    };
    switch (tag) {
      case 0x0805:
      case 0x080B: {
        const std::string s = readText();
        (tag == 0x0805 ? st.params.EXIF_ImageDescription : st.params.EXIF_Software) =
            s.substr(0, s.find('\0'));
        break;
      }
      case 0x080A: {
        const std::string s = readText();
        const size_t z = s.find('\0');
        st.params.EXIF_Make = s.substr(0, z);
        if (z != std::string::npos) {
          const std::string rest = s.substr(z + 1);
          st.params.EXIF_Model = rest.substr(0, rest.find('\0'));
        }
        break;
      }
      case 0x102A:
      case 0x102D: {
        TCIFFRecord r{uint16_t(tag == 0x102A ? 4 : 1), {}};
        std::vector<uint8_t> raw(static_cast<size_t>(std::min<int64_t>(dataSize, 65536)));
        if (!ReadAt(st.s, dataAt, raw.data(), static_cast<int64_t>(raw.size()))) break;
        for (size_t k = 0; k + 1 < raw.size(); k += 2) r.values.push_back(Get16(raw.data() + k, st.le));
        st.records.push_back(std::move(r));
        break;
      }
      case 0x1810:
        if (dataSize >= 8 && ReadAt(st.s, dataAt, b, 8)) {
          st.params.SetEXIF_PixelXDimension(Get32(b, st.le));
          st.params.SetEXIF_PixelYDimension(Get32(b + 4, st.le));
        }
        break;
      case 0x2007:
      case 0x2008:
        if (dataSize > 0) ConsiderJpeg(st, dataAt, dataSize);
        break;
      case 0x2800:
      case 0x2807:
      case 0x3000:
      case 0x3002:
      case 0x3003:
      case 0x3004:
      case 0x300A:
      case 0x300B:
        ParseHeap(st, dataAt, dataSize, depth + 1);
        break;
      default:
        (void)text;  // other texts and entries are passed over
        break;
    }
  }
}

// The kept records as a normalised MakerNote: count, entries (SHORT values), then the data.
void StoreCIFFRecords(const std::vector<TCIFFRecord>& records, TRVTagsHandler& note) {
  note.Clear();
  if (records.empty()) return;
  const size_t n = std::min<size_t>(records.size(), 256);
  std::vector<uint8_t> out(2 + 12 * n);
  auto put16 = [](uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
  };
  auto put32 = [](uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
  };
  put16(out.data(), static_cast<uint16_t>(n));
  for (size_t i = 0; i < n; ++i) {
    const TCIFFRecord& r = records[i];
    uint8_t* e = out.data() + 2 + 12 * i;
    put16(e, r.noteTag);
    put16(e + 2, 3);
    put32(e + 4, static_cast<uint32_t>(r.values.size()));
    if (r.values.size() * 2 <= 4) {
      put32(e + 8, 0);
      for (size_t k = 0; k < r.values.size(); ++k) put16(e + 8 + 2 * k, r.values[k]);
      continue;
    }
    put32(e + 8, static_cast<uint32_t>(out.size()));
    for (uint16_t v : r.values) {
      out.push_back(uint8_t(v));
      out.push_back(uint8_t(v >> 8));
    }
  }
  note.InternalStream().WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
  note.IndexEntries();
}

// ---------------------------------------------------------------- Fuji rotation

template <typename Pixel>
void FujiRotate(TRVBitmap& bitmap, TRVPixelFormat format) {
  const int32_t W = bitmap.GetWidth(), H = bitmap.GetHeight();
  if (W <= 0 || H <= 0) return;
  auto black = [](const Pixel& p) { return p.c[0] == 0 && p.c[1] == 0 && p.c[2] == 0; };
  const Pixel* row0 = reinterpret_cast<const Pixel*>(bitmap.GetScanLine(0));
  int32_t L = 0;
  while (L < W && black(row0[L])) ++L;
  int32_t N = 0;
  for (int32_t k = W - 1; k >= 0; --k)
    if (!black(row0[k])) {
      N = k;
      break;
    }
  const int64_t T = 2 * int64_t(W - L) - 4;
  if (T <= 1 || N <= 0 || T > 65536 || int64_t(T) * 2 * N > (int64_t(1) << 31)) return;
  std::vector<Pixel> grid(static_cast<size_t>(T) * size_t(N));
  for (int32_t r = 0; r < H; ++r) {
    const Pixel* src = reinterpret_cast<const Pixel*>(bitmap.GetScanLine(r));
    for (int32_t k = 0; k < W; ++k) {
      const int64_t f = int64_t(r) + k - N + 5;
      const int64_t h = (int64_t(k) + N - r - 1) / 2;
      if (f >= 0 && f < T && h >= 0 && h < N) grid[size_t(f) * size_t(N) + size_t(h)] = src[k];
    }
  }
  TRVBitmap out;
  if (!out.Allocate(2 * N, static_cast<int32_t>(T), format)) return;
  out.Fill(0);
  std::vector<Pixel> line(size_t(2) * N);
  auto g = [&](int64_t row, int64_t col) -> const Pixel& {
    return grid[size_t(row) * size_t(N) + size_t(col)];
  };
  // Grid rows 1 to T - 1 give output rows 0 to T - 2; the last grid row has no row below it, so
  // its odd pixels keep the row before's values.
  for (int64_t k = 1; k <= T - 1; ++k) {
    for (int32_t m = 1; m < 2 * N; ++m) {
      if ((k + m) % 2 == 0) {
        line[size_t(m)] = g(k, m / 2);
      } else if (k - 1 < T - 2 && m - 1 < 2 * N - 2) {
        const int32_t j = (k % 2 == 1) ? m / 2 - 1 : m / 2;
        if (j < 0 || j + 1 >= N) continue;
        for (int c = 0; c < 3; ++c) {
          const uint32_t sum =
              uint32_t(g(k - 1, m / 2).c[c]) + g(k + 1, m / 2).c[c] + g(k, j).c[c] + g(k, j + 1).c[c];
          line[size_t(m)].c[c] = static_cast<std::remove_reference_t<decltype(line[0].c[0])>>(sum >> 2);
        }
      }
    }
    std::memcpy(out.GetScanLine(static_cast<int32_t>(k - 1)), line.data(), line.size() * sizeof(Pixel));
  }
  bitmap.AssignImage(out);
}

struct TPixel24 {
  uint8_t c[3];
};
struct TPixel48 {
  uint16_t c[3];
};

// ---------------------------------------------------------------- the reader's steps

// Step 1: the embedded thumbnail instead of the image, when asked and there is one.
bool DeliverThumbnail(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress) {
  const int64_t start = stream.GetPosition();
  if (params.EXIF_Thumbnail) params.EXIF_Thumbnail->FreeImage(true);
  params.RAW_GetExifThumbnail = false;
  TRVBitmap unused;
  ReadCameraRawStream(stream, unused, params, progress, true);
  params.RAW_GetExifThumbnail = true;
  if (params.EXIF_Thumbnail && !params.EXIF_Thumbnail->IsEmpty()) {
    // Delivered: whether the decoder could have read the sensor data does not matter.
    bitmap.Assign(params.EXIF_Thumbnail.get());
    *progress.Aborting = false;
    return true;
  }
  stream.SetPosition(start);
  *progress.Aborting = false;
  return false;
}

// Step 3: the metadata; problems end it quietly.
void ReadRawMetadata(TStream& stream, TIOParamsVals& params) {
  try {
    TRVBufferedReadStream buffered(stream, 8192, true);
    const int64_t header = FindTIFFHeader(buffered);
    if (header < 0) {
      ReadCRWMetadata(buffered, params);
    } else {
      buffered.SetPosition(header);
      ReadRawEXIF(buffered, params);
    }
  } catch (...) {
  }
}

// Steps 9 to 11: the linear 16-bit output through the white point and curve into the bitmap.
bool ConvertRawImage(LibRaw& raw, TRVBitmap& bitmap, TIOParamsVals& params, int32_t trim, double bright) {
  const libraw_image_sizes_t& sz = raw.imgdata.sizes;
  const int32_t w = sz.iwidth, h = sz.iheight;
  const ushort(*img)[4] = raw.imgdata.image;
  if (!img || w <= 2 * trim || h <= 2 * trim) return false;
  const int64_t pixels = int64_t(w) * h;
  // Red and blue scaled by their factors (in 16.16 fixed point), limited to 16 bits.
  const bool scaled = params.RAW_RedFactor != 1.0 || params.RAW_BlueFactor != 1.0;
  const int64_t rf = common::Round(std::clamp(params.RAW_RedFactor, 0.0, 256.0) * 65536);
  const int64_t bf = common::Round(std::clamp(params.RAW_BlueFactor, 0.0, 256.0) * 65536);
  const int32_t kr = RedToGrayCoef, kg = GreenToGrayCoef, kb = BlueToGrayCoef;
  // The linear samples of pixel i with the factors applied, and its brightness: its grey level,
  // which a grey pixel keeps. Computed on the fly in both passes rather than kept.
  auto linear = [&](int64_t i, uint32_t& r, uint32_t& g, uint32_t& b) {
    r = img[i][0];
    g = img[i][1];
    b = img[i][2];
    if (scaled) {
      r = static_cast<uint32_t>(std::min<int64_t>(65535, (r * rf) >> 16));
      b = static_cast<uint32_t>(std::min<int64_t>(65535, (b * bf) >> 16));
    }
    return std::min<uint32_t>(65535, (r * kr + g * kg + b * kb) / 100);
  };
  std::vector<uint32_t> histogram(kHistogramBins, 0);
  for (int64_t i = 0; i < pixels; ++i) {
    uint32_t r, g, b;
    ++histogram[linear(i, r, g, b) >> 3];
  }
  const double percentile = Text(raw.imgdata.idata.make, 64) == "FUJIFILM" ? 0.005 : 0.01;
  const int32_t white = RawWhitePoint(histogram.data(), pixels, percentile);
  const bool sixteen = params.NativePixelFormat;
  std::vector<double> table(65536);
  BuildRawCurve(table.data(), white, params.RAW_OutputGamma, bright, sixteen);
  params.BitsPerSample = sixteen ? 16 : 8;
  params.SamplesPerPixel = 3;
  // Magnification of pixels that are not square.
  const double aspect = sz.pixel_aspect > 0 ? sz.pixel_aspect : 1.0;
  const int32_t hmag = aspect > 1 ? std::clamp(common::RoundInt(aspect), 1, 4) : 1;
  const int32_t vmag = aspect < 1 ? std::clamp(common::RoundInt(1 / aspect), 1, 4) : 1;
  const int32_t ow = (w - 2 * trim) * hmag, oh = (h - 2 * trim) * vmag;
  if (!bitmap.Allocate(ow, oh, sixteen ? rv48RGB : rv24RGB)) return false;
  const double limit = sixteen ? 65535.0 : 255.0;
  for (int32_t y = trim; y < h - trim; ++y) {
    const int32_t outRow = (y - trim) * vmag;
    uint8_t* row = bitmap.GetScanLine(outRow);
    for (int32_t x = trim; x < w - trim; ++x) {
      uint32_t r, g, b;
      const double k = table[linear(int64_t(y) * w + x, r, g, b)];
      const uint32_t c0 = static_cast<uint32_t>(std::min(limit, r * k));
      const uint32_t c1 = static_cast<uint32_t>(std::min(limit, g * k));
      const uint32_t c2 = static_cast<uint32_t>(std::min(limit, b * k));
      for (int32_t m = 0; m < hmag; ++m) {
        const int64_t ox = int64_t(x - trim) * hmag + m;
        if (sixteen) {
          uint16_t* q = reinterpret_cast<uint16_t*>(row) + ox * 3;
          q[0] = uint16_t(c0);
          q[1] = uint16_t(c1);
          q[2] = uint16_t(c2);
        } else {
          uint8_t* q = row + ox * 3;
          q[0] = uint8_t(c2);
          q[1] = uint8_t(c1);
          q[2] = uint8_t(c0);
        }
      }
    }
    for (int32_t m = 1; m < vmag; ++m)
      std::memcpy(bitmap.GetScanLine(outRow + m), row, static_cast<size_t>(bitmap.GetRowLen()));
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------- public routines

int32_t RawWhitePoint(const uint32_t* histogram, int64_t pixels, double percentile) {
  const int64_t count = common::Trunc(percentile * static_cast<double>(pixels));
  int64_t sum = 0;
  int32_t bin = kHistogramBins - 1;
  for (; bin > 0; --bin) {
    sum += histogram[bin];
    if (sum > count) break;
  }
  return std::max(bin * 16, 1);
}

void BuildRawCurve(double* table, int32_t white, double gamma, double bright, bool sixteenBits) {
  const double w = std::max(white, 1);
  const double scale = sixteenBits ? 65535.0 / 255.0 : 1.0;
  table[0] = 0;
  for (int32_t i = 1; i < 65536; ++i) table[i] = std::pow(2.0 * i / w, gamma - 1) * bright * 442 / w * scale;
}

bool IsCameraRawStream(TStream& stream) {
  const int64_t start = stream.GetPosition();
  bool ok = false;
  try {
    if (!TIFFStructureIsSound(stream)) return false;
    TRVBufferedReadStream buffered(stream, 65536, true);
    TRawDataStream ds(buffered);
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPIONS_NO_DATAERR_CALLBACK);
    ok = raw->open_datastream(&ds) == LIBRAW_SUCCESS;
  } catch (...) {
    ok = false;
  }
  stream.SetPosition(start);
  return ok;
}

void ReadCRWMetadata(TStream& stream, TIOParamsVals& params) {
  const int64_t start = stream.GetPosition();
  uint8_t h[14];
  if (stream.Read(h, 14) != 14) return;
  const bool ii = h[0] == 'I' && h[1] == 'I', mm = h[0] == 'M' && h[1] == 'M';
  if (!ii && !mm && std::memcmp(h + 6, "HEAPCCDR", 8) != 0) return;
  TCIFFState st{stream, !mm, stream.GetSize(), params, {}, -1, 0, 0, 0};
  const int64_t headerLength = Get32(h + 2, st.le);
  ParseHeap(st, start + headerLength, st.size - start - headerLength, 0);
  if (!params.EXIF_Thumbnail) params.EXIF_Thumbnail = std::make_unique<TRVBitmap>();
  params.EXIF_Thumbnail->FreeImage(true);
  if (st.jpegAt >= 0) {
    std::vector<uint8_t> data(static_cast<size_t>(st.jpegSize));
    if (ReadAt(stream, st.jpegAt, data.data(), st.jpegSize)) {
      TRVMemStream m(data.data(), st.jpegSize);
      TIOParamsVals temp;
      std::atomic<bool> aborting{false};
      TRVProgressRec progress(&aborting);
      try {
        ReadJpegStream(m, nullptr, *params.EXIF_Thumbnail, false, -1, false, false, false, false, false,
                       false, progress, temp);
      } catch (...) {
        aborting = true;
      }
      if (aborting) params.EXIF_Thumbnail->FreeImage(true);
    }
  }
  StoreCIFFRecords(st.records, params.EXIF_MakerNote);
}

void FujiRotate48(TRVBitmap& bitmap) {
  if (bitmap.GetPixelFormat() == rv48RGB) FujiRotate<TPixel48>(bitmap, rv48RGB);
}
void FujiRotate24(TRVBitmap& bitmap) {
  if (bitmap.GetPixelFormat() == rv24RGB) FujiRotate<TPixel24>(bitmap, rv24RGB);
}

void ReadCameraRawStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress,
                         bool paramsOnly) {
  if (params.RAW_GetExifThumbnail && !paramsOnly && DeliverThumbnail(stream, bitmap, params, progress))
    return;
  const int64_t start = stream.GetPosition();
  ReadRawMetadata(stream, params);
  const bool hasThumbnail = params.EXIF_Thumbnail && !params.EXIF_Thumbnail->IsEmpty();
  const double bright = params.RAW_MatchThumbnailColors && hasThumbnail ? 0.5 : params.RAW_Brightness;
  stream.SetPosition(start);
  try {
    if (!TIFFStructureIsSound(stream)) {
      progress.SetAborting();
      return;
    }
    TRVBufferedReadStream buffered(stream, 65536, true);
    TRawDataStream ds(buffered);
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPIONS_NO_DATAERR_CALLBACK);
    libraw_output_params_t& o = raw->imgdata.params;
    o.half_size = params.RAW_HalfSize ? 1 : 0;
    o.use_auto_wb = params.RAW_AutoWhiteBalance ? 1 : 0;
    o.use_camera_wb = params.RAW_CameraWhiteBalance ? 1 : 0;
    o.four_color_rgb = params.RAW_FourColorInterpolation ? 1 : 0;
    o.user_qual = 0;
    o.use_fuji_rotate = 0;
    o.output_bps = 16;
    o.gamm[0] = o.gamm[1] = 1;
    o.no_auto_bright = 1;
    raw->set_progress_handler(ProgressCallback, &progress);
    if (raw->open_datastream(&ds) != LIBRAW_SUCCESS) {
      progress.SetAborting();
      return;
    }
    const libraw_iparams_t& id = raw->imgdata.idata;
    params.RAW_Camera =
        Text(id.make, 64) + " " + Text(id.model, 64) + " " + Text(raw->imgdata.color.model2, 64);
    params.SetDpiX(DefaultDpiX);
    params.SetDpiY(DefaultDpiY);
    params.FreeColorMap();
    params.Width = params.StoredWidth = raw->imgdata.sizes.width - 2;
    params.Height = params.StoredHeight = raw->imgdata.sizes.height - 2;
    if (paramsOnly) return;
    // Camera sensors code at least a few bits a pixel even losslessly compressed, so a raw area
    // far beyond what the file's bytes can hold is a damaged header: refuse it before LibRaw
    // allocates for it (generously: 64 pixels a byte, and any file may claim 4 M pixels).
    const int64_t rawPixels = int64_t(raw->imgdata.sizes.raw_width) * raw->imgdata.sizes.raw_height;
    if (rawPixels > (stream.GetSize() - start) * 64 + (int64_t(1) << 22)) {
      progress.SetAborting();
      return;
    }
    if (progress.HasEvent()) progress.Report(0);
    // A shrunk mosaic is not interpolated, so it keeps its border.
    const bool shrink = params.RAW_HalfSize && id.filters != 0;
    if (raw->unpack() != LIBRAW_SUCCESS || raw->dcraw_process() != LIBRAW_SUCCESS || progress.IsAborting()) {
      progress.SetAborting();
      return;
    }
    if (progress.HasEvent()) progress.Report(85);
    params.SetImageCount(1);
    const int32_t trim = (id.filters != 0 && !shrink) ? 1 : 0;
    if (!ConvertRawImage(*raw, bitmap, params, trim, bright)) {
      progress.SetAborting();
      return;
    }
    if (progress.HasEvent()) progress.Report(90);
    if (raw->imgdata.rawdata.ioparams.fuji_width != 0) {
      FujiRotate48(bitmap);
      FujiRotate24(bitmap);
    }
  } catch (...) {
    progress.SetAborting();
    return;
  }
  if (params.RAW_MatchThumbnailColors && hasThumbnail) MatchHistogram(*params.EXIF_Thumbnail, bitmap);
  if (progress.HasEvent()) progress.Report(100);
}

bool ReadCameraRawFromMemory(const uint8_t* data, int64_t size, TRVBitmap& bitmap) {
  TRVMemStream stream(data, size);
  TIOParamsVals params;
  std::atomic<bool> aborting{false};
  TRVProgressRec progress(&aborting);
  ReadCameraRawStream(stream, bitmap, params, progress, false);
  return !aborting;
}

}  // namespace rv
