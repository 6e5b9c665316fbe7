// TIFF sample decoding: each row of a strip or tile is decompressed, its horizontal prediction
// undone, and its samples converted into the bitmap row and the alpha mask. The case list of
// ConvertRow is the list of image kinds the reader supports; any other kind leaves the bitmap as
// allocated.
#include <libdeflate.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "rastova/codecs/tiff/tifccitt.h"
#include "rastova/codecs/tiff/tiffdefs.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"
#include "rastova/core/RVZLib.h"

namespace rv {
namespace testing {
bool TIFFInflateWhole = true;
}  // namespace testing

namespace tiff {

namespace {

bool IsDeflate(uint16_t c) { return c == 8 || c == 32946; }
bool IsFax(uint16_t c) { return c >= 2 && c <= 4; }

uint8_t Reversed(uint8_t b) {
  ReverseBitsInByte(b);
  return b;
}

// The thread's libdeflate decompressor (null when it cannot be had).
libdeflate_decompressor* Inflater() {
  struct Decompressor {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    ~Decompressor() { libdeflate_free_decompressor(d); }
  };
  static thread_local Decompressor decompressor;
  return decompressor.d;
}

// Whether rows go through the input colour profile.
bool ProfileApplies(TIOParamsVals* params) {
  if (!ColorManagementOn || !params || !params->HasInputICCProfile()) return false;
  TRVICC& icc = params->GetInputICCProfile();
  return icc.IsValid() && !icc.Applied();
}

// The row source of one strip or tile: decompression state and the row buffer.
class TBlockRows {
 public:
  // `blockRows`: how many rows the block's data decode to at most (the rows that will be asked).
  TBlockRows(TTIFFVars& vars, const uint8_t* input, int64_t inputSize, int64_t rowBytes, int32_t width,
             int32_t blockRows)
      : v_(vars), input_(input), size_(inputSize), rowBytes_(rowBytes), width_(width), blockRows_(blockRows) {
    // Room for the 4-bit expansion and for samples of fewer than 8 bits read one byte each; the
    // rows of one 1-bit sample (fax pages among them) are converted from their bits.
    const int32_t bits = v_.BitsPerSample, samples = std::max(v_.SamplesPerPixel, 1);
    const int64_t unpacked = bits < 8 && !(bits == 1 && samples == 1) ? int64_t(width) * samples : 0;
    buffer_.assign(static_cast<size_t>(std::max(rowBytes * 2, unpacked) + 16), 0);
    if (IsFax(v_.Compression)) reference_.assign(static_cast<size_t>((int64_t(width) + 7) / 8) + 8, 0xFF);
  }
  ~TBlockRows() {
    if (lzw_ && v_.LZWDecompress) v_.LZWDecompress(nullptr, 0, 0, lzw_, 0);
  }
  TBlockRows(const TBlockRows&) = delete;
  TBlockRows& operator=(const TBlockRows&) = delete;

  // Whether the input has been used up by the decoders that advance through it.
  bool UsedUp() const { return pos_ >= size_; }
  // Deflate data that have failed to inflate in one call go straight to the row-by-row reader.
  void InflateByRows() { inflatedRows_ = -1; }

  // The decoded row `r`; null when there is none to convert (the data ended) and `failed` set
  // when the block must stop with a failure.
  uint8_t* DecodeTIFFRow(bool& failed);

 private:
  uint8_t* DecodeCompressed(bool& failed);
  int64_t InflateWhole();
  uint8_t* PackBits();
  void Unpack(uint8_t* row);

  TTIFFVars& v_;
  const uint8_t* input_;
  int64_t size_;
  int64_t rowBytes_;
  int32_t width_;
  int32_t blockRows_;
  int64_t pos_ = 0;
  int64_t bitPos_ = 0;
  std::vector<uint8_t> buffer_;
  std::vector<uint8_t> reference_;
  void* lzw_ = nullptr;
  std::vector<uint8_t> reversed_;
  std::unique_ptr<TRVMemStream> deflateSource_;
  std::unique_ptr<TZDecompressionStream> inflater_;
  // The block inflated at once: its whole rows, or -1 when the stream is read row by row.
  std::unique_ptr<uint8_t[]> inflated_;
  int64_t inflatedRows_ = -2;  // -2: not tried yet
  int64_t nextRow_ = 0;
};

// A block's decoded size is known before it is inflated, so a valid stream is inflated in one
// call into a buffer of that size. Anything else (damaged data, a stream longer than its rows)
// is left to the row-by-row stream reader, which decides what is read and what fails exactly as
// it always has.
int64_t TBlockRows::InflateWhole() {
  const int64_t want = int64_t(blockRows_) * rowBytes_;
  if (blockRows_ <= 0 || rowBytes_ <= 0) return -1;
  // Deflate expands at most about 1032 times; a block that claims more cannot be all there, and
  // the buffer never grows past what its input can fill.
  const int64_t room = std::min<int64_t>(want, size_ * 1032 + 1024);
  libdeflate_decompressor* inflater = Inflater();
  if (!inflater) return -1;
  inflated_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(room)]);
  if (!inflated_) return -1;
  size_t got = 0;
  if (libdeflate_zlib_decompress(inflater, input_, static_cast<size_t>(size_), inflated_.get(),
                                 static_cast<size_t>(room), &got) != LIBDEFLATE_SUCCESS) {
    inflated_.reset();
    return -1;
  }
  return static_cast<int64_t>(got) / rowBytes_;
}

uint8_t* TBlockRows::PackBits() {
  // Runs that pass the row end are cut there; header -128 is skipped.
  uint8_t* row = buffer_.data();
  const bool lsb = v_.FillOrder == 2;
  int64_t produced = 0;
  while (produced < rowBytes_ && pos_ < size_) {
    uint8_t hb = input_[pos_++];
    if (lsb) hb = Reversed(hb);
    const int8_t h = static_cast<int8_t>(hb);
    if (h >= 0) {
      const int64_t n = std::min<int64_t>(h + 1, size_ - pos_);
      for (int64_t k = 0; k < n; ++k, ++produced) {
        const uint8_t b = input_[pos_ + k];
        if (produced < rowBytes_) row[produced] = lsb ? Reversed(b) : b;
      }
      pos_ += n;
    } else if (h != -128) {
      if (pos_ >= size_) break;
      uint8_t b = input_[pos_++];
      if (lsb) b = Reversed(b);
      const int64_t n = -int64_t(h) + 1;
      const int64_t k = std::min(n, rowBytes_ - produced);
      std::memset(row + produced, b, static_cast<size_t>(k));
      produced += n;
    }
  }
  if (produced < rowBytes_) std::memset(row + produced, 0, static_cast<size_t>(rowBytes_ - produced));
  return row;
}

uint8_t* TBlockRows::DecodeCompressed(bool& failed) {
  uint8_t* row = buffer_.data();
  const uint16_t c = v_.Compression;
  if (c == 2) {
    if (pos_ >= size_) return nullptr;
    pos_ += FaxDecodeMHLine(row, input_ + pos_, size_ - pos_, v_.FillOrder, width_);
    return row;
  }
  if (c == 3) {
    if (v_.T4Options & 1)
      bitPos_ = FaxDecode2DLine(row, input_, size_, true, v_.FillOrder, bitPos_, reference_.data(), width_);
    else
      bitPos_ = FaxDecode1DLine(row, input_, size_, v_.FillOrder, bitPos_, width_);
    return row;
  }
  if (c == 4) {
    bitPos_ = FaxDecode2DLine(row, input_, size_, (v_.T4Options & 4) != 0, v_.FillOrder, bitPos_,
                              reference_.data(), width_);
    return row;
  }
  if (c == 5) {
    const uint8_t* got = v_.LZWDecompress(input_, size_, static_cast<int32_t>(rowBytes_), lzw_, v_.FillOrder);
    if (!got) {
      failed = true;
      return nullptr;
    }
    std::memcpy(row, got, static_cast<size_t>(rowBytes_));
    return row;
  }
  if (IsDeflate(c)) {
    if (inflatedRows_ == -2) inflatedRows_ = testing::TIFFInflateWhole ? InflateWhole() : -1;
    if (inflatedRows_ >= 0) {
      if (nextRow_ >= inflatedRows_) return nullptr;
      uint8_t* whole = inflated_.get() + nextRow_++ * rowBytes_;
      // Each row is converted once, so rows of whole-byte samples are used where they were
      // inflated; rows whose samples expand in place need the larger row buffer.
      if (v_.BitsPerSample >= 8) return whole;
      std::memcpy(row, whole, static_cast<size_t>(rowBytes_));
      return row;
    }
    // Inflated as the rows are needed, so a block never inflates beyond its rows.
    if (!inflater_) {
      // Bit-reversed data hold a bit-reversed Deflate stream (every byte as written).
      const uint8_t* source = input_;
      if (v_.FillOrder == 2) {
        reversed_.assign(input_, input_ + size_);
        for (uint8_t& b : reversed_) ReverseBitsInByte(b);
        source = reversed_.data();
      }
      deflateSource_ = std::make_unique<TRVMemStream>(source, size_);
      inflater_ = std::make_unique<TZDecompressionStream>(*deflateSource_);
    }
    try {
      if (inflater_->Read(row, rowBytes_) != rowBytes_) return nullptr;
    } catch (const std::exception&) {
      failed = true;
      return nullptr;
    }
    return row;
  }
  if (c == 32773) return PackBits();
  return row;  // an unknown compression: the row stays as it is
}

uint8_t* TBlockRows::DecodeTIFFRow(bool& failed) {
  const int32_t bits = v_.BitsPerSample;
  uint8_t* row = nullptr;
  if (v_.Compression == 1) {
    if (pos_ + rowBytes_ > size_) return nullptr;
    const uint8_t* src = input_ + pos_;
    pos_ += rowBytes_;
    // Bit-reversed data are reversed byte by byte whatever the sample size.
    const bool reverse = v_.FillOrder == 2;
    const bool swap = bits == 16 && !v_.LittleEndian;
    if (bits >= 8 && !reverse && !swap) return const_cast<uint8_t*>(src);  // used in place
    row = buffer_.data();
    std::memcpy(row, src, static_cast<size_t>(rowBytes_));
    if (reverse)
      for (int64_t i = 0; i < rowBytes_; ++i) ReverseBitsInByte(row[i]);
  } else {
    row = DecodeCompressed(failed);
    if (!row) return nullptr;
  }
  // 16-bit samples are brought to host order before anything else reads them.
  if (bits == 16 && !v_.LittleEndian) ByteSwap16Array(reinterpret_cast<uint16_t*>(row), rowBytes_ / 2);
  if (!IsFax(v_.Compression)) Unpack(row);
  return row;
}

// Samples of fewer than 8 bits to one byte each (the 1-bit rows stay packed).
void TBlockRows::Unpack(uint8_t* row) {
  const int32_t bits = v_.BitsPerSample;
  const bool grey = v_.Photometric <= 1;
  if (bits == 4) {
    for (int64_t i = rowBytes_ - 1; i >= 0; --i) {
      const uint8_t b = row[i];
      row[2 * i + 1] = static_cast<uint8_t>(b & 15);
      row[2 * i] = static_cast<uint8_t>(b >> 4);
    }
    if (grey)
      for (int64_t i = 0; i < rowBytes_ * 2; ++i) row[i] = static_cast<uint8_t>(row[i] * 17);
    return;
  }
  if (bits < 2 || bits > 7) return;
  // From the end, so that the expansion can be in place.
  const int64_t count = std::min<int64_t>(width_, rowBytes_ * 8 / bits);
  for (int64_t i = count - 1; i >= 0; --i) {
    const int64_t bit = i * bits;
    const uint32_t two =
        (uint32_t(row[bit >> 3]) << 8) | ((bit >> 3) + 1 < rowBytes_ ? row[(bit >> 3) + 1] : 0);
    row[i] = static_cast<uint8_t>((two >> (16 - bits - (bit & 7))) & ((1u << bits) - 1));
  }
  if (!grey) return;
  if (bits == 2)
    for (int64_t i = 0; i < count; ++i) row[i] = static_cast<uint8_t>(row[i] * 85);
  else if (bits == 7)
    for (int64_t i = 0; i < count; ++i) row[i] = static_cast<uint8_t>(row[i] * 2);
}

// ---------------------------------------------------------------- conversion of one row

struct TRowTarget {
  uint8_t* dest;
  uint8_t* mask;  // null without alpha
  TRVPixelFormat format;
  TRVBitmap* bitmap;
};

void GreyToTriplets(const uint8_t* s, uint8_t* d, int32_t w, int32_t stride, bool invert) {
  for (int32_t x = 0; x < w; ++x, s += stride, d += 3)
    d[0] = d[1] = d[2] = static_cast<uint8_t>(invert ? 255 - *s : *s);
}

TRGB MapEntry(const TTIFFVars& v, uint32_t index) {
  return index < v.ColorMap.size() ? v.ColorMap[index] : TRGB{0, 0, 0};
}

void PaletteRow(const TTIFFVars& v, const uint8_t* s, TRowTarget& t, int32_t w, int32_t stride) {
  if (t.format == rv8p) {
    for (int32_t x = 0; x < w; ++x) t.dest[x] = s[int64_t(x) * stride];
    return;
  }
  for (int32_t x = 0; x < w; ++x)
    *reinterpret_cast<TRGB*>(t.dest + 3 * int64_t(x)) = MapEntry(v, s[int64_t(x) * stride]);
}

// A colour sample of premultiplied (associated) alpha back to its straight value: divided by the
// alpha, rounded and clamped at the sample's maximum (a zero alpha is taken as one step).
int32_t Unpremultiply(int32_t c, int32_t a, int32_t max) {
  const int64_t d = std::max(a, 1);
  return static_cast<int32_t>(std::min<int64_t>(max, (int64_t(c) * max + d / 2) / d));
}

// P 2 with 8-bit samples (cases 1 and 2).
void RGB8Row(TTIFFVars& v, uint8_t* s, TRowTarget& t, int32_t w, std::vector<uint8_t>& scratch) {
  const int32_t S = v.SamplesPerPixel;
  if (S == 3 || S == 4) {
    if (S == 4 && t.mask) {
      const bool associated = v.ExtraSample == 1;
      for (int32_t x = 0; x < w; ++x) {
        const uint8_t* p = s + 4 * int64_t(x);
        const uint8_t a = p[3];
        for (int k = 0; k < 3; ++k)
          t.dest[3 * x + 2 - k] = static_cast<uint8_t>(associated ? Unpremultiply(p[k], a, 255) : p[k]);
        t.mask[x] = a;
      }
      return;
    }
    const uint8_t* src = s;
    if (S == 4) {
      scratch.resize(size_t(w) * 3);
      for (int32_t x = 0; x < w; ++x) std::memcpy(&scratch[size_t(x) * 3], s + 4 * int64_t(x), 3);
      src = scratch.data();
    }
    ConvertPixelRow(src, 0, t.dest, v.Params, w, 1);
    return;
  }
  // More than four samples: the extra samples in order.
  for (int32_t x = 0; x < w; ++x) {
    const uint8_t* p = s + int64_t(x) * S;
    int32_t b = p[2], g = p[1], r = p[0];
    if (t.mask) {
      for (int32_t k = 0; k < v.ExtraSampleCount && 3 + k < S; ++k) {
        const uint8_t a = p[3 + k];
        if (v.ExtraSamples[k] == 1) {
          t.mask[x] = a;
          // Associated alpha: the colours are divided by it, clamped at white.
          b = Unpremultiply(b, a, 255);
          g = Unpremultiply(g, a, 255);
          r = Unpremultiply(r, a, 255);
        } else if (v.ExtraSamples[k] == 2) {
          t.mask[x] = a;
        }
      }
    }
    t.dest[3 * x] = static_cast<uint8_t>(b);
    t.dest[3 * x + 1] = static_cast<uint8_t>(g);
    t.dest[3 * x + 2] = static_cast<uint8_t>(r);
  }
}

// 16-bit RGB samples in host order (cases 3 and 4); the sample after them is the alpha when
// the page has a mask, premultiplied when the page says so.
void RGB16Row(TTIFFVars& v, const uint8_t* s, TRowTarget& t, int32_t w, std::vector<uint8_t>& scratch) {
  int32_t S = v.SamplesPerPixel;
  const uint16_t* in = reinterpret_cast<const uint16_t*>(s);
  std::vector<uint16_t> straight;
  if (t.mask && S >= 4) {
    const bool associated = v.ExtraSample == 1;
    straight.resize(size_t(w) * 3);
    for (int32_t x = 0; x < w; ++x) {
      const uint16_t* p = in + int64_t(x) * S;
      const uint16_t a = p[3];
      for (int k = 0; k < 3; ++k)
        straight[size_t(x) * 3 + k] = static_cast<uint16_t>(associated ? Unpremultiply(p[k], a, 65535) : p[k]);
      t.mask[x] = static_cast<uint8_t>(a >> 8);
    }
    in = straight.data();
    s = reinterpret_cast<const uint8_t*>(in);
    S = 3;
  }
  if (t.format == rv48RGB) {
    auto* d = reinterpret_cast<uint16_t*>(t.dest);
    for (int32_t x = 0; x < w; ++x) std::memcpy(d + 3 * x, in + int64_t(x) * S, 6);
    return;
  }
  if (!ProfileApplies(v.Params)) {
    // The high bytes, as the plain conversion takes them.
    for (int32_t x = 0; x < w; ++x) {
      const uint16_t* p = in + int64_t(x) * S;
      t.dest[3 * x] = static_cast<uint8_t>(p[2] >> 8);
      t.dest[3 * x + 1] = static_cast<uint8_t>(p[1] >> 8);
      t.dest[3 * x + 2] = static_cast<uint8_t>(p[0] >> 8);
    }
    return;
  }
  const uint8_t* src = s;
  if (S != 3) {
    scratch.resize(size_t(w) * 6);
    for (int32_t x = 0; x < w; ++x) std::memcpy(&scratch[size_t(x) * 6], in + int64_t(x) * S, 6);
    src = scratch.data();
  }
  ConvertPixelRow(src, 6, t.dest, v.Params, w, 1);
}

void GreyRow(TTIFFVars& v, const uint8_t* s, TRowTarget& t, int32_t w, std::vector<uint8_t>& scratch) {
  const int32_t S = v.SamplesPerPixel;
  const bool invert = v.Photometric == 0;
  const int32_t bits = v.BitsPerSample;
  if (S == 1 && (bits == 8 || bits == 4 || bits == 2 || bits == 7)) {
    if (t.format == rv8g) {
      for (int32_t x = 0; x < w; ++x) t.dest[x] = static_cast<uint8_t>(invert ? 255 - s[x] : s[x]);
      return;
    }
    GreyToTriplets(s, t.dest, w, 1, invert);
    return;
  }
  if (S >= 2 && bits == 8) {
    if (t.mask)
      for (int32_t x = 0; x < w; ++x) t.mask[x] = s[int64_t(x) * S + 1];
    if (!invert && ProfileApplies(v.Params)) {
      scratch.resize(size_t(w));
      for (int32_t x = 0; x < w; ++x) scratch[size_t(x)] = s[int64_t(x) * S];
      ConvertPixelRow(scratch.data(), 5, t.dest, v.Params, w, 1);
      return;
    }
    GreyToTriplets(s, t.dest, w, S, invert);
    return;
  }
  if (S == 1 && bits == 16) {
    const uint16_t* in = reinterpret_cast<const uint16_t*>(s);
    if (t.format == rv16g) {
      auto* d = reinterpret_cast<uint16_t*>(t.dest);
      for (int32_t x = 0; x < w; ++x) d[x] = static_cast<uint16_t>(invert ? 65535 - in[x] : in[x]);
      return;
    }
    const int shift = v.Software.compare(0, 15, "Look@Molli v1.1") == 0 ? 4 : 8;
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t g = uint32_t(invert ? 65535 - in[x] : in[x]) >> shift;
      t.dest[3 * x] = t.dest[3 * x + 1] = t.dest[3 * x + 2] =
          static_cast<uint8_t>(std::min<uint32_t>(g, 255));
    }
  }
}

void CMYKRow(TTIFFVars& v, const uint8_t* s, TRowTarget& t, int32_t w, std::vector<uint8_t>& scratch) {
  const int32_t S = v.SamplesPerPixel;
  uint8_t* out = t.format == rvCMYK ? t.dest : (scratch.resize(size_t(w) * 4), scratch.data());
  if (v.BitsPerSample == 16) {
    const uint16_t* in = reinterpret_cast<const uint16_t*>(s);
    for (int32_t x = 0; x < w; ++x)
      for (int k = 0; k < 4; ++k) out[4 * int64_t(x) + k] = static_cast<uint8_t>(255 - (in[int64_t(x) * S + k] >> 8));
  } else {
    for (int32_t x = 0; x < w; ++x)
      for (int k = 0; k < 4; ++k) out[4 * int64_t(x) + k] = static_cast<uint8_t>(255 - s[int64_t(x) * S + k]);
    if (t.mask && S >= 5 && v.ExtraSample == 2)
      for (int32_t x = 0; x < w; ++x) t.mask[x] = s[int64_t(x) * S + 4];
  }
  if (t.format != rvCMYK) ConvertPixelRow(out, 2, t.dest, v.Params, w, 1);
}

void YCbCrRow(TTIFFVars& v, const uint8_t* s, TRowTarget& t, int32_t w, std::vector<uint8_t>& scratch) {
  scratch.resize(size_t(w) * 3 + 6);
  uint8_t* d = scratch.data();
  for (int32_t x = 0; x < w; x += 2) {
    const uint8_t* g = s + int64_t(x / 2) * 4;
    d[3 * x] = g[0];
    d[3 * x + 1] = g[2];
    d[3 * x + 2] = g[3];
    if (x + 1 < w) {
      d[3 * x + 3] = g[1];
      d[3 * x + 4] = g[2];
      d[3 * x + 5] = g[3];
    }
  }
  ConvertPixelRow(d, 8, t.dest, v.Params, w, 1);
}

void BilevelRow(const TTIFFVars& v, const uint8_t* s, TRowTarget& t, int32_t w) {
  const int32_t bytes = (w + 7) / 8;
  const uint16_t c = v.Compression;
  // Raw WhiteIsZero data hold 1 for black. The fax decoders give 1 for the white code, which
  // codes the sample value 0: white for WhiteIsZero, black for BlackIsZero.
  const bool invert = (v.Photometric == 0 && (c == 1 || c >= 5)) || (v.Photometric == 1 && IsFax(c));
  if (t.format == rv1g) {
    if (invert)
      for (int32_t i = 0; i < bytes; ++i) t.dest[i] = static_cast<uint8_t>(~s[i]);
    else
      std::memcpy(t.dest, s, static_cast<size_t>(bytes));
    return;
  }
  for (int32_t x = 0; x < w; ++x) {
    const bool white = ((s[x >> 3] >> (7 - (x & 7))) & 1) != invert;
    t.dest[3 * x] = t.dest[3 * x + 1] = t.dest[3 * x + 2] = white ? 255 : 0;
  }
}

// Whether the page's kind carries alpha into the mask.
bool WritesAlpha(const TTIFFVars& v) {
  const int32_t P = v.Photometric, S = v.SamplesPerPixel, B = v.BitsPerSample;
  if (P == 2 && S >= 4 && B == 16) return true;
  if (B != 8) return false;
  if (P == 2 && S == 4) return true;
  if (P == 2 && S > 4)
    for (int32_t k = 0; k < v.ExtraSampleCount; ++k)
      if (v.ExtraSamples[k] == 1 || v.ExtraSamples[k] == 2) return true;
  if ((P == 0 || P == 1) && S >= 2) return true;
  if (P == 5 && S >= 5 && v.ExtraSample == 2) return true;
  return P == 3 && S == 2;
}

// Converts one decoded row by the page's kind.
void ConvertRow(TTIFFVars& v, uint8_t* s, TRowTarget& t, int32_t w, std::vector<uint8_t>& scratch) {
  const int32_t P = v.Photometric, S = v.SamplesPerPixel, B = v.BitsPerSample;
  if (P == 2 && B == 8 && (S == 3 || S == 4 || (S > 4 && v.ExtraSampleCount > 0))) {
    RGB8Row(v, s, t, w, scratch);
  } else if (P == 2 && B == 16 && S >= 3) {
    RGB16Row(v, s, t, w, scratch);
  } else if (P == 2 && B == 16 && S == 1) {
    const uint16_t* in = reinterpret_cast<const uint16_t*>(s);
    for (int32_t x = 0; x < w; ++x) {
      const uint16_t p = in[x];
      t.dest[3 * x + 2] = static_cast<uint8_t>(((p >> 10) & 31) * 8);
      t.dest[3 * x + 1] = static_cast<uint8_t>(((p >> 5) & 31) * 8);
      t.dest[3 * x] = static_cast<uint8_t>((p & 31) * 8);
    }
  } else if (P == 3 && B == 1 && S == 1) {
    if (t.format == rv8p) {
      for (int32_t x = 0; x < w; ++x) t.dest[x] = (s[x >> 3] >> (7 - (x & 7))) & 1;
    } else {
      for (int32_t x = 0; x < w; ++x)
        *reinterpret_cast<TRGB*>(t.dest + 3 * x) = MapEntry(v, (s[x >> 3] >> (7 - (x & 7))) & 1);
    }
  } else if ((P == 0 || P == 1) && S == 1 && B == 1) {
    BilevelRow(v, s, t, w);
  } else if (P == 0 || P == 1) {
    GreyRow(v, s, t, w, scratch);
  } else if (P == 5 && B == 8 && S >= 4) {
    CMYKRow(v, s, t, w, scratch);
  } else if (P == 5 && B == 16 && S == 4) {
    CMYKRow(v, s, t, w, scratch);
  } else if (P == 8 && S == 3 && B == 8) {
    ConvertPixelRow(s, 4, t.dest, v.Params, w, 1);
  } else if (P == 6 && S == 3 && B == 8 && v.YCbCrSubsampleH == 2 && v.YCbCrSubsampleV == 1) {
    YCbCrRow(v, s, t, w, scratch);
  } else if (P == 3 && S == 2 && B == 8) {
    for (int32_t x = 0; x < w; ++x) {
      *reinterpret_cast<TRGB*>(t.dest + 3 * int64_t(x)) = MapEntry(v, s[2 * int64_t(x)]);
      if (t.mask) t.mask[x] = s[2 * int64_t(x) + 1];
    }
  } else if (P == 3 && B <= 8) {
    PaletteRow(v, s, t, w, S);
  }
}

// The compressions whose rows move through the input byte by byte.
bool AdvancesThroughInput(uint16_t c) { return c == 1 || c == 2 || c == 32773; }

// Counts a row of the page done and reports a new whole percentage.
void StepRow(TRVProgressRec& progress) {
  ++progress.val;
  if (progress.HasEvent()) {
    const int32_t per = static_cast<int32_t>(progress.val * progress.per1);
    if (per != progress.Extra) {
      progress.Extra = per;
      progress.Report(per);
    }
  }
}

// A Deflate block of whole-row 8-bit RGB, on a page whose unconverted rows are cleared when it is
// done, is inflated straight into the bitmap rows it belongs to when they lie next to each other
// in memory (upwards or downwards) with nothing between them: no block-sized buffer is filled and
// copied. Each row then has its prediction undone and goes through the pixel-row conversion, as
// on the row-by-row path, into its own place (where the bitmap runs upwards, the stream's rows lie
// in reverse order and trade places pair by pair).
// Returns false when the layout does not allow this or when the data are not one valid stream of
// at most the block's rows (`tried` set then): the block is decoded row by row, which decides what
// is read and what fails, and the rows it leaves out are cleared with the page's others.
bool InflateIntoBitmap(TTIFFVars& v, TRVBitmap& bitmap, int32_t firstRow, TRVProgressRec& progress,
                       int32_t rowCount, int32_t width, int64_t inputSize, const uint8_t* input,
                       int64_t rowByteOffset, bool& tried) {
  if (!testing::TIFFInflateWhole || !v.RowsWritten || !IsDeflate(v.Compression) || v.FillOrder != 1 ||
      rowByteOffset != 0 || width != bitmap.GetWidth() || bitmap.GetLocation() != rvInMemory ||
      !TIFFWritesWholeRows(v, bitmap) || progress.IsAborting())
    return false;
  const int64_t rowBytes = int64_t(width) * 3;
  const int32_t height = bitmap.GetHeight();
  if (bitmap.GetRowLen() != rowBytes || firstRow < 0 || firstRow >= height ||
      v.RowsWritten->size() != static_cast<size_t>(height))
    return false;
  const int32_t n = std::min(rowCount, height - firstRow);
  if (n <= 0) return false;
  // Every row of the block where the first two say it is (compared as addresses, since rows of
  // a chunked bitmap lie in separate blocks).
  const uintptr_t first = reinterpret_cast<uintptr_t>(bitmap.GetScanLine(firstRow));
  const int64_t step =
      n > 1 ? int64_t(reinterpret_cast<uintptr_t>(bitmap.GetScanLine(firstRow + 1)) - first) : rowBytes;
  if (step != rowBytes && step != -rowBytes) return false;
  for (int32_t r = 2; r < n; ++r)
    if (reinterpret_cast<uintptr_t>(bitmap.GetScanLine(firstRow + r)) != first + uintptr_t(int64_t(r) * step))
      return false;
  libdeflate_decompressor* inflater = Inflater();
  if (!inflater) return false;
  uint8_t* base = bitmap.GetScanLine(step > 0 ? firstRow : firstRow + n - 1);
  // The block's rows in the stream's order, at most what the input can fill (as the row buffer
  // of a block inflated whole).
  const int64_t room = std::min<int64_t>(int64_t(n) * rowBytes, inputSize * 1032 + 1024);
  size_t got = 0;
  tried = true;
  if (inputSize <= 0 || libdeflate_zlib_decompress(inflater, input, static_cast<size_t>(inputSize), base,
                                                   static_cast<size_t>(room), &got) != LIBDEFLATE_SUCCESS)
    return false;
  const int64_t rowsGot = static_cast<int64_t>(got) / rowBytes;
  std::vector<uint8_t>& written = *v.RowsWritten;
  std::vector<uint8_t> spare(static_cast<size_t>(rowBytes));
  const auto slot = [&](int64_t i) { return base + i * rowBytes; };
  // The stream's row `from` (its prediction undone where it was inflated) converted into slot
  // `to`; a row converted where it lies is converted from a copy, as the conversion reads and
  // writes different rows.
  const auto convert = [&](int64_t from, int64_t to) {
    if (from >= rowsGot) return;
    uint8_t* source = slot(from);
    UndoTIFFPredictor(v, source, width, false);
    if (from == to)
      source = static_cast<uint8_t*>(std::memcpy(spare.data(), source, static_cast<size_t>(rowBytes)));
    ConvertPixelRow(source, 0, slot(to), v.Params, width, 1);
  };
  // Row r of the block is the stream's row r: it belongs in slot r where the bitmap runs
  // downwards, in slot n - 1 - r where it runs upwards, and then trades places with the row
  // there (both are converted as the first of them is reached). Rows are counted and stopped as
  // the row-by-row loop does; a row converted with its partner but not reached stays unmarked,
  // and so is cleared.
  for (int32_t r = 0; r < n && !progress.IsAborting(); ++r) {
    const int32_t m = n - 1 - r;
    if (step > 0) {
      convert(r, r);
    } else if (r < m) {
      const bool both = m < rowsGot;
      if (both) {
        // Row r is kept aside while row m is converted into its slot.
        UndoTIFFPredictor(v, slot(r), width, false);
        std::memcpy(spare.data(), slot(r), static_cast<size_t>(rowBytes));
        UndoTIFFPredictor(v, slot(m), width, false);
        ConvertPixelRow(slot(m), 0, slot(r), v.Params, width, 1);
        ConvertPixelRow(spare.data(), 0, slot(m), v.Params, width, 1);
      } else {
        convert(r, m);
      }
    } else if (r == m) {
      convert(r, r);
    }
    if (r < rowsGot) written[size_t(firstRow + r)] = 1;
    StepRow(progress);
  }
  return true;
}

}  // namespace

bool TIFFWritesWholeRows(const TTIFFVars& v, TRVBitmap& bitmap) {
  return v.Photometric == 2 && v.BitsPerSample == 8 && v.SamplesPerPixel == 3 &&
         bitmap.GetPixelFormat() == rv24RGB;
}

int64_t TIFFRowBytes(const TTIFFVars& v, int64_t width, bool plane) {
  const int64_t bits = v.BitsPerSample;
  if (plane) {
    int64_t n = width * bits / 8;
    if (bits == 4 && (width & 1)) ++n;
    return n;
  }
  if (v.Photometric == 6 && v.SamplesPerPixel == 3 && bits == 8 && v.YCbCrSubsampleH == 2 &&
      v.YCbCrSubsampleV == 1 && v.Compression != 7)
    return (width + 1) / 2 * 4;
  const int64_t total = width * v.SamplesPerPixel * bits;
  int64_t n = total / 8;
  // A partial last byte: the bit packing of one-sample rows, and of any row whose samples do not
  // end on a byte boundary.
  if (total % 8 != 0) ++n;
  return n;
}

void UndoTIFFPredictor(const TTIFFVars& v, uint8_t* row, int32_t pixels, bool singlePlane) {
  if (v.Predictor != 2 || !(v.Compression == 5 || IsDeflate(v.Compression)) || pixels < 2) return;
  const int32_t S = singlePlane ? 1 : v.SamplesPerPixel;
  if (v.BitsPerSample == 8) {
    const int64_t n = int64_t(pixels) * S;
    for (int64_t i = S; i < n; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - S]);
    return;
  }
  if (v.BitsPerSample == 16 && (S == 1 || S == 3)) {
    auto* w = reinterpret_cast<uint16_t*>(row);
    const int64_t n = int64_t(pixels) * S;
    for (int64_t i = S; i < n; ++i) w[i] = static_cast<uint16_t>(w[i] + w[i - S]);
  }
}

void ConvertTIFFRows(TTIFFVars& v, TRVBitmap& bitmap, int32_t firstRow, TRVProgressRec& progress,
                     int32_t rowCount, int32_t width, int64_t inputSize, const uint8_t* input,
                     int64_t rowByteOffset) {
  const int64_t rowBytes = TIFFRowBytes(v, width, false);
  if (rowBytes <= 0 || width <= 0) return;
  if (v.Compression == 1) rowCount = static_cast<int32_t>(std::min<int64_t>(rowCount, inputSize / rowBytes));
  bool inflateTried = false;
  if (InflateIntoBitmap(v, bitmap, firstRow, progress, rowCount, width, inputSize, input, rowByteOffset,
                        inflateTried))
    return;
  TBlockRows rows(v, input, inputSize, rowBytes, width, rowCount);
  if (inflateTried) rows.InflateByRows();
  std::vector<uint8_t> scratch;
  const bool bilevel = v.BitsPerSample == 1 && v.SamplesPerPixel == 1 && (v.Photometric <= 1);
  TRVMask* mask = !v.NoAlpha && v.AlphaMask && WritesAlpha(v) ? v.AlphaMask : nullptr;
  if (mask) mask->Full = false;
  for (int32_t r = 0; r < rowCount && !progress.IsAborting(); ++r) {
    const int32_t y = firstRow + r;
    if (y >= bitmap.GetHeight()) break;
    if (bilevel && AdvancesThroughInput(v.Compression) && rows.UsedUp()) break;
    bool failed = false;
    uint8_t* s = rows.DecodeTIFFRow(failed);
    if (failed) {
      progress.SetAborting();
      break;
    }
    if (s) {
      UndoTIFFPredictor(v, s, width, false);
      TRowTarget t{bitmap.GetScanLine(y) + rowByteOffset, nullptr, bitmap.GetPixelFormat(), &bitmap};
      if (mask && y < mask->Height() && width <= mask->Width()) t.mask = mask->GetScanLine(y);
      ConvertRow(v, s, t, width, scratch);
      if (v.RowsWritten && static_cast<size_t>(y) < v.RowsWritten->size()) (*v.RowsWritten)[size_t(y)] = 1;
    }
    StepRow(progress);
  }
}

void ConvertTIFFPlanarRows(TTIFFVars& v, TRVBitmap& bitmap, int32_t firstRow, TRVProgressRec& progress,
                           int32_t rowCount, int32_t width, const std::vector<TTIFFPlane>& planes) {
  // Each plane's row is decoded and has its prediction undone on its own; the samples are then
  // interleaved into one row and converted as the rows of a single plane are, alpha included.
  const int32_t S = v.SamplesPerPixel, B = v.BitsPerSample;
  if ((B != 8 && B != 16) || S < 1 || planes.size() < static_cast<size_t>(S)) return;
  const int64_t rowBytes = TIFFRowBytes(v, width, true);
  const int32_t sampleBytes = B / 8;
  std::vector<std::unique_ptr<TBlockRows>> sources;
  for (int32_t g = 0; g < S; ++g)
    sources.push_back(std::make_unique<TBlockRows>(v, planes[size_t(g)].data, planes[size_t(g)].size, rowBytes,
                                                   width, rowCount));
  std::vector<uint8_t> row(static_cast<size_t>(int64_t(width) * S * sampleBytes) + 16), scratch;
  TRVMask* mask = !v.NoAlpha && v.AlphaMask && WritesAlpha(v) ? v.AlphaMask : nullptr;
  if (mask) mask->Full = false;
  for (int32_t r = 0; r < rowCount && !progress.IsAborting(); ++r) {
    const int32_t y = firstRow + r;
    if (y >= bitmap.GetHeight()) break;
    bool ok = true;
    for (int32_t g = 0; g < S; ++g) {
      bool failed = false;
      uint8_t* p = sources[size_t(g)]->DecodeTIFFRow(failed);
      if (failed) {
        progress.SetAborting();
        return;
      }
      if (!p) {
        ok = false;
        continue;
      }
      UndoTIFFPredictor(v, p, width, true);
      for (int32_t x = 0; x < width; ++x)
        std::memcpy(&row[(size_t(x) * S + size_t(g)) * sampleBytes], p + int64_t(x) * sampleBytes,
                    static_cast<size_t>(sampleBytes));
    }
    if (ok) {
      TRowTarget t{bitmap.GetScanLine(y), nullptr, bitmap.GetPixelFormat(), &bitmap};
      if (mask && y < mask->Height() && width <= mask->Width()) t.mask = mask->GetScanLine(y);
      ConvertRow(v, row.data(), t, width, scratch);
    }
    ++progress.val;
    if (progress.HasEvent()) progress.Report(static_cast<int32_t>(progress.val * progress.per1));
  }
}

}  // namespace tiff
}  // namespace rv
