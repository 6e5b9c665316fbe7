// The TIFF writer: one page of a little-endian file, new or inserted into an existing one. The
// layout (samples, bits, photometric, compression, predictor) is chosen from the parameters and
// what the bitmap and the compression allow; the rows go out in strips of about 512 KB.
#include <algorithm>
#include <cstring>

#include "rastova/codecs/CodecUtils.h"
#include "rastova/codecs/jpeg/jpegfilt.h"
#include "rastova/codecs/tiff/tifccitt.h"
#include "rastova/codecs/tiff/tiffdefs.h"
#include "rastova/codecs/tiff/tiffilt.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVColorReduce.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVPixelRoutines.h"
#include "rastova/core/RVQuantizer.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"
#include "rastova/core/RVZLib.h"

namespace rv {

using namespace tiff;

void TTIFFEntryList::Add(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
  entries.push_back(TIFDEntry{tag, type, count, value});
}

namespace {

constexpr int64_t kStripBytes = 524288;

// Photometric codes of the parameters.
enum : uint8_t {
  phWhiteIsZero = 0,
  phBlackIsZero = 1,
  phRGB = 2,
  phPalette = 3,
  phMask = 4,
  phCMYK = 5,
  phYCbCr = 6,
  phLab = 7
};

// Forwards writes and notes a short one, so that every write of the page is checked.
class TCheckedStream : public TStream {
 public:
  TCheckedStream(TStream& target, TRVProgressRec& progress) : target_(target), progress_(progress) {}
  int64_t Read(void* buffer, int64_t count) override { return target_.Read(buffer, count); }
  int64_t Write(const void* buffer, int64_t count) override {
    if (progress_.IsAborting()) return 0;
    int64_t written = 0;
    try {
      written = target_.Write(buffer, count);
    } catch (const std::exception&) {
      written = 0;
    }
    if (written != count) progress_.SetAborting();
    return written;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override { return target_.Seek(offset, origin); }
  int64_t GetSize() override { return target_.GetSize(); }

 private:
  TStream& target_;
  TRVProgressRec& progress_;
};

// The working record of one write.
struct TWriter {
  TWriter(TCheckedStream& o, TRVProgressRec& pr, TIOParamsVals& pa) : out(o), progress(pr), params(pa) {}
  TCheckedStream& out;
  TRVProgressRec& progress;
  TIOParamsVals& params;
  TTIFFEntryList list;
  TTIFFLZWCompressProc lzw = nullptr;
  uint16_t compression = 1;
  bool g3TwoD = false;
  int32_t fillOrder = 1;
  uint8_t photometric = phRGB;
  int32_t predictor = 1;
  int32_t bits = 8;
  std::unique_ptr<TRVQuantizer> quantizer;
  std::vector<TRGB> palette;
  bool alphaWritten = false;
  TRVMask* alpha = nullptr;

  bool Ok() const { return !progress.IsAborting(); }
  void Put(const void* data, int64_t size) { out.Write(data, size); }
  // Out-of-line data start on an even position.
  uint32_t Align() {
    if (out.GetPosition() & 1) {
      const uint8_t zero = 0;
      Put(&zero, 1);
    }
    return static_cast<uint32_t>(out.GetPosition());
  }
  void AddTIFFLong(uint16_t tag, uint32_t v) { list.Add(tag, ttLong, 1, v); }
  void AddTIFFShort(uint16_t tag, uint16_t v) { list.Add(tag, ttShort, 1, v); }
  void AddTIFFAscii(uint16_t tag, const std::string& s) {
    if (s.empty()) return;
    if (s.size() <= 4) {
      uint32_t v = 0;
      for (size_t i = 0; i < s.size(); ++i) v |= uint32_t(uint8_t(s[i])) << (8 * i);
      list.Add(tag, ttAscii, static_cast<uint32_t>(s.size()), v);
      return;
    }
    const uint32_t at = Align();
    Put(s.c_str(), static_cast<int64_t>(s.size()) + 1);
    list.Add(tag, ttAscii, static_cast<uint32_t>(s.size() + 1), at);
  }
  void AddTIFFRational(uint16_t tag, double value) {
    int32_t num = 0, den = 1;
    FloatToRational(num, den, value, 5e-9);
    uint8_t b[8];
    PutLE32(b, static_cast<uint32_t>(num));
    PutLE32(b + 4, static_cast<uint32_t>(den));
    const uint32_t at = Align();
    Put(b, 8);
    list.Add(tag, ttRational, 1, at);
  }
  void AddShorts(uint16_t tag, const std::vector<uint16_t>& v) {
    if (v.size() <= 2) {
      list.Add(tag, ttShort, static_cast<uint32_t>(v.size()),
               v.empty() ? 0 : v[0] | (v.size() > 1 ? uint32_t(v[1]) << 16 : 0));
      return;
    }
    std::vector<uint8_t> raw(v.size() * 2);
    for (size_t i = 0; i < v.size(); ++i) {
      raw[2 * i] = uint8_t(v[i]);
      raw[2 * i + 1] = uint8_t(v[i] >> 8);
    }
    const uint32_t at = Align();
    Put(raw.data(), static_cast<int64_t>(raw.size()));
    list.Add(tag, ttShort, static_cast<uint32_t>(v.size()), at);
  }
  void AddLongs(uint16_t tag, const std::vector<uint32_t>& v) {
    std::vector<uint8_t> raw(v.size() * 4);
    for (size_t i = 0; i < v.size(); ++i) PutLE32(&raw[4 * i], v[i]);
    const uint32_t at = Align();
    Put(raw.data(), static_cast<int64_t>(raw.size()));
    list.Add(tag, ttLong, static_cast<uint32_t>(v.size()), at);
  }
  static void PutLE32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
  }
};

// ---------------------------------------------------------------- layout

// Step 1: the bitmap in a format the layout can take (the caller's or a converted copy).
TRVBitmap* BitmapToWrite(TIOParamsVals& p, TRVBitmap& bitmap, std::unique_ptr<TRVBitmap>& copy) {
  TRVBitmap* b = &bitmap;
  // Grey and palette buffers are written as they are only as one sample of their own depth.
  const TRVPixelFormat f0 = b->GetPixelFormat();
  const bool keeps = (f0 == rv8g || f0 == rv8p) ? p.SamplesPerPixel == 1 && p.BitsPerSample == 8
                     : f0 == rv16g              ? p.SamplesPerPixel == 1 && p.BitsPerSample == 16
                                   : (f0 == rv1g || f0 == rv24RGB || f0 == rv48RGB || f0 == rvCMYK);
  if (!keeps) {
    copy = codecs::ConvertedCopy(*b, rv24RGB);
    if (!copy) return nullptr;
    b = copy.get();
  }
  const bool oneBit = p.BitsPerSample == 1 && p.SamplesPerPixel == 1;
  if (!oneBit && b->GetPixelFormat() == rv1g) {
    copy = codecs::ConvertedCopy(*b, rv24RGB);
    if (!copy) return nullptr;
    b = copy.get();
  } else if (oneBit && b->GetPixelFormat() != rv1g) {
    TRGB c0, c1;
    std::unique_ptr<TRVBitmap> two = TwoColorBitmapTo1Bit(*b, c0, c1);
    if (!two) two = codecs::ConvertedCopy(*b, rv1g);
    if (!two) return nullptr;
    copy = std::move(two);
    b = copy.get();
  }
  return b;
}

bool TakesIndexRows(uint8_t compression) {
  return compression == 0 || compression == 5 || compression == 8 || compression == 9;
}

// Steps 2 to 4: samples, bits and the photometric code.
void ChooseSamples(TWriter& w, TRVBitmap* b) {
  TIOParamsVals& p = w.params;
  uint8_t& ph = p.TIFF_Photometric;
  uint8_t& comp = p.TIFF_Compression;
  const TRVPixelFormat f = b->GetPixelFormat();
  if (f == rv8g || f == rv16g) {
    // Grey buffers are their own grey levels.
    if (!TakesIndexRows(comp)) comp = 0;
    ph = phBlackIsZero;
  } else if (p.SamplesPerPixel == 1 &&
             ((p.BitsPerSample >= 2 && p.BitsPerSample <= 8) || p.BitsPerSample == 16) && f != rv1g) {
    const int32_t colors = std::min(1 << std::min(p.BitsPerSample, 8), 256);
    w.palette.assign(size_t(colors), TRGB{});
    w.quantizer = std::make_unique<TRVQuantizer>(*b, colors, 134217727, w.palette.data());
    if (!TakesIndexRows(comp)) comp = 0;
    if (w.quantizer->Kind() == TRVQuantizerKind::GrayRamp) {
      ph = phBlackIsZero;
    } else {
      ph = phPalette;
      if (p.BitsPerSample == 16) p.BitsPerSample = 8;
    }
  }
  if (ph == phPalette && p.SamplesPerPixel > 1) ph = phRGB;
  if (b->GetPixelFormat() == rv48RGB) {
    p.SamplesPerPixel = 3;
    p.BitsPerSample = 16;
    ph = phRGB;
  }
  if (p.BitsPerSample > 8 && p.SamplesPerPixel > 1) {
    p.SamplesPerPixel = 3;
    p.BitsPerSample = 8;
    ph = phRGB;
  }
  if ((ph == phWhiteIsZero || ph == phBlackIsZero) && p.SamplesPerPixel == 3 && p.BitsPerSample == 8)
    ph = phRGB;
  if (ph == phRGB && p.SamplesPerPixel == 1 && p.BitsPerSample == 1) ph = phBlackIsZero;
  if (ph == phYCbCr && comp != 7) ph = phRGB;
  if (ph == phRGB && p.SamplesPerPixel > 3) p.SamplesPerPixel = 3;
  if (b->GetPixelFormat() == rv48RGB) {
    p.SamplesPerPixel = 3;
    p.BitsPerSample = 16;
    ph = phRGB;
  }
  if (b->GetPixelFormat() == rvCMYK) {
    p.SamplesPerPixel = 4;
    p.BitsPerSample = 8;
    ph = phCMYK;
  }
  // Step 4: the photometric code written.
  if (ph == phWhiteIsZero || ph == phBlackIsZero)
    w.photometric = phBlackIsZero;
  else if (ph == phPalette || ph == phCMYK || ph == phLab)
    w.photometric = ph;
  else
    w.photometric = phRGB;
  if (ph == phCMYK) p.SamplesPerPixel = 4;
}

// Steps 5 and 6: the compression, and the photometric code it implies.
void ChooseCompression(TWriter& w, TRVBitmap* b) {
  TIOParamsVals& p = w.params;
  const uint8_t comp = p.TIFF_Compression;
  const uint8_t chosen = w.photometric;
  switch (comp) {
    case 1:
    case 2:
    case 3:
    case 4:
      w.compression = comp == 1 ? 2 : comp == 4 ? 4 : 3;
      w.g3TwoD = comp == 3;
      w.photometric = phWhiteIsZero;
      break;
    case 5:
      w.lzw = p.TIFF_LZWCompress ? p.TIFF_LZWCompress : TIFFLZWEncoderHook;
      w.compression = w.lzw ? 5 : 1;
      break;
    case 6:
    case 7: {
      w.compression = comp;
      static constexpr uint8_t kSpace[5] = {phRGB, phBlackIsZero, phYCbCr, phCMYK, phRGB};
      w.photometric = kSpace[std::min<uint8_t>(p.TIFF_JPEGColorSpace, 4)];
      break;
    }
    case 8:
      w.compression = 32773;
      break;
    case 9:
    case 10:
      w.compression = 32946;
      break;
    default:
      w.compression = 1;
      break;
  }
  // Fax codings take bilevel images only; JPEG no palette or grey index rows.
  if (w.compression >= 2 && w.compression <= 4 && b->GetPixelFormat() != rv1g) {
    w.compression = 1;
    w.photometric = chosen;
  }
  if ((w.compression == 6 || w.compression == 7) && (w.quantizer || b->GetPixelFormat() == rv1g)) {
    w.compression = 1;
    w.photometric = w.quantizer
                        ? (w.quantizer->Kind() == TRVQuantizerKind::GrayRamp ? phBlackIsZero : phPalette)
                        : phBlackIsZero;
  }
}

// The layout of the page (steps 1 to 8); returns the bitmap to write, nullptr when no copy of
// it could be made.
TRVBitmap* ChooseLayout(TWriter& w, TRVBitmap& bitmap, std::unique_ptr<TRVBitmap>& copy) {
  TIOParamsVals& p = w.params;
  TRVBitmap* b = BitmapToWrite(p, bitmap, copy);
  if (!b) return nullptr;
  ChooseSamples(w, b);
  ChooseCompression(w, b);
  // Step 7: the predictor.
  if (p.BitsPerSample == 8 && (p.SamplesPerPixel == 1 || p.SamplesPerPixel == 3) &&
      w.photometric != phPalette && w.photometric != phBlackIsZero && !w.alpha && w.compression == 5)
    w.predictor = 2;
  w.fillOrder = p.TIFF_FillOrder == 2 ? 2 : 1;
  w.bits = p.BitsPerSample;
  // Step 8: fax rows hold 1 for black.
  if (w.compression >= 2 && w.compression <= 4) {
    if (b == &bitmap) {
      copy = std::make_unique<TRVBitmap>();
      copy->Assign(&bitmap);
      copy->RemoveAlphaBitmap(false, 0);
      b = copy.get();
    }
    InvertBitmapRows(*b);
  }
  return b;
}

// ---------------------------------------------------------------- rows

// The bytes of one row of the page.
struct TRowBuilder {
  TWriter& w;
  TRVBitmap& b;
  int32_t samples;
  std::vector<uint8_t> row;
  std::vector<uint8_t> tmp;

  int64_t RowBytes() const {
    switch (b.GetPixelFormat()) {
      case rv1g:
        return (b.GetWidth() + 7) / 8;
      case rv8p:
      case rv8g:
        return b.GetWidth();
      case rv16g:
        return int64_t(b.GetWidth()) * 2;
      case rvCMYK:
        return int64_t(b.GetWidth()) * 4;
      case rv48RGB:
        return int64_t(b.GetWidth()) * 6;
      default:
        if (w.quantizer) return (int64_t(b.GetWidth()) * w.bits + 7) / 8;
        return int64_t(b.GetWidth()) * samples;
    }
  }

  void PackIndices(const uint8_t* src, int32_t n) {
    std::fill(row.begin(), row.end(), 0);
    if (w.bits == 8) {
      std::memcpy(row.data(), src, static_cast<size_t>(n));
      return;
    }
    for (int32_t x = 0; x < n; ++x) {
      const int64_t bit = int64_t(x) * w.bits;
      const uint32_t v = src[x] & ((1u << w.bits) - 1);
      // Values of up to 7 bits span at most two bytes.
      const uint32_t shifted = v << (16 - w.bits - (bit & 7));
      row[size_t(bit >> 3)] |= uint8_t(shifted >> 8);
      if ((bit >> 3) + 1 < static_cast<int64_t>(row.size())) row[size_t((bit >> 3) + 1)] |= uint8_t(shifted);
    }
  }

  const uint8_t* Build(int32_t y) {
    const int32_t width = b.GetWidth();
    const uint8_t* s = b.GetScanLine(y);
    row.resize(static_cast<size_t>(RowBytes()));
    switch (b.GetPixelFormat()) {
      case rv1g:
      case rv16g:
        std::memcpy(row.data(), s, row.size());
        return row.data();
      case rv8g:
      case rv8p:
        if (w.bits == 8) {
          std::memcpy(row.data(), s, row.size());
          return row.data();
        }
        PackIndices(s, width);
        return row.data();
      case rvCMYK:
        for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<uint8_t>(255 - s[i]);
        return row.data();
      case rv48RGB:
        std::memcpy(row.data(), s, row.size());
        return row.data();
      default:
        break;
    }
    if (w.photometric == phCMYK) {
      ConvertPixelRow(s, 1, row.data(), &w.params, width, 2);
      for (uint8_t& c : row) c = static_cast<uint8_t>(255 - c);
    } else if (w.photometric == phLab) {
      ConvertPixelRow(s, 1, row.data(), &w.params, width, 4);
    } else if (w.quantizer) {
      const TRGB* px = reinterpret_cast<const TRGB*>(s);
      if (w.bits == 16) {
        auto* d = reinterpret_cast<uint16_t*>(row.data());
        for (int32_t x = 0; x < width; ++x)
          d[x] = static_cast<uint16_t>(w.quantizer->GetRGBIndex(px[x]) * 257);
      } else {
        tmp.resize(size_t(width));
        for (int32_t x = 0; x < width; ++x)
          tmp[size_t(x)] = static_cast<uint8_t>(w.quantizer->GetRGBIndex(px[x]));
        PackIndices(tmp.data(), width);
      }
    } else if (samples == 4) {
      const uint8_t* a = w.alpha->GetScanLine(y);
      for (int32_t x = 0; x < width; ++x) {
        row[4 * size_t(x)] = s[3 * x + 2];
        row[4 * size_t(x) + 1] = s[3 * x + 1];
        row[4 * size_t(x) + 2] = s[3 * x];
        row[4 * size_t(x) + 3] = a[x];
      }
    } else {
      CopyBGRToRGB(row.data(), s, width);
      if (w.predictor == 2)
        for (int64_t i = int64_t(width) * 3 - 1; i >= 3; --i)
          row[size_t(i)] = static_cast<uint8_t>(row[size_t(i)] - row[size_t(i - 3)]);
    }
    return row.data();
  }
};

// One strip's coder: none, fax, LZW, PackBits or Deflate.
struct TStripCoder {
  TWriter& w;
  int32_t width;
  std::vector<uint8_t> reference;
  int32_t pendingCount = 0;
  uint8_t pendingByte = 0;
  void* lzwState = nullptr;
  std::unique_ptr<TZCompressionStream> zip;
  bool faxError = false;

  void Start() {
    if (w.compression == 32946) {
      static constexpr TZCompressionLevel kLevel[3] = {zcFastest, zcDefault, zcMax};
      zip = std::make_unique<TZCompressionStream>(w.out,
                                                  kLevel[std::clamp(w.params.TIFF_ZIPCompression, 0, 2)]);
    }
  }
  void Row(const uint8_t* row, int64_t bytes) {
    switch (w.compression) {
      case 2:
        FaxEncodeMHRow(row, width, w.out, w.fillOrder, faxError);
        break;
      case 3:
        if (w.g3TwoD)
          FaxEncodeG3Row(row, width, w.out, w.fillOrder, faxError, reference, pendingCount, pendingByte);
        else
          FaxEncode1DRow(row, width, w.out, w.fillOrder, faxError, pendingCount, pendingByte);
        break;
      case 4:
        FaxEncodeG4Row(row, width, w.out, w.fillOrder, faxError, reference, pendingCount, pendingByte);
        break;
      case 5:
        w.lzw(row, static_cast<int32_t>(bytes), w.out, lzwState);
        break;
      case 32773:
        PackBitsEncodeRow(row, static_cast<int32_t>(bytes), w.out, faxError);
        break;
      case 32946:
        zip->Write(row, bytes);
        break;
      default:
        w.Put(row, bytes);
        break;
    }
  }
  void End() {
    if (w.compression == 3 && w.g3TwoD)
      FaxEncodeG3Row(nullptr, width, w.out, w.fillOrder, faxError, reference, pendingCount, pendingByte);
    else if (w.compression == 3)
      FaxEncode1DRow(nullptr, 0, w.out, w.fillOrder, faxError, pendingCount, pendingByte);
    else if (w.compression == 4)
      FaxEncodeG4Row(nullptr, width, w.out, w.fillOrder, faxError, reference, pendingCount, pendingByte);
    else if (w.compression == 5)
      w.lzw(nullptr, 0, w.out, lzwState);
    else if (zip) {
      try {
        zip->Finish();
      } catch (const std::exception&) {
        w.progress.SetAborting();
      }
      zip.reset();
    }
    if (faxError) w.progress.SetAborting();
  }
};

void WriteJpegStrip(TWriter& w, TRVBitmap& b) {
  TIOParamsVals temp;
  temp.JPEG_Quality = w.params.TIFF_JPEGQuality;
  temp.JPEG_ColorSpace = w.params.TIFF_JPEGColorSpace == 4 ? 0 : w.params.TIFF_JPEGColorSpace;
  // The colour planes keep every sample: halving them in both directions loses the detail of
  // the picture's colours far beyond what the quality setting allows (on a detailed picture at
  // quality 80, a mean error of 33 and a worst of 221 against 11.5 and 81). The page says so,
  // since a TIFF reader takes 2 x 2 otherwise.
  temp.JPEG_ChromaSubsampling = 2;
  if (w.photometric == phYCbCr) w.AddShorts(530, {1, 1});
  const uint32_t start = static_cast<uint32_t>(w.out.GetPosition());
  WriteJpegStream(w.out, b, temp, w.progress);
  const uint32_t end = static_cast<uint32_t>(w.out.GetPosition());
  w.AddTIFFLong(278, static_cast<uint32_t>(b.GetHeight()));
  w.AddTIFFLong(273, start);
  w.AddTIFFLong(279, end - start);
}

// Samples per pixel of the rows; alpha that is not fully opaque joins three samples as a fourth
// for the compressions that take it.
int32_t RowSamples(const TWriter& w, TRVBitmap& b) {
  const int32_t samples = w.photometric == phWhiteIsZero || w.photometric == phBlackIsZero ||
                                  w.photometric == phPalette || w.photometric == phMask
                              ? 1
                          : w.photometric == phCMYK ? 4
                                                    : 3;
  if (w.alpha && !w.alpha->Full && samples == 3 && !w.quantizer &&
      (w.compression == 1 || w.compression == 5 || w.compression == 32773) && b.GetPixelFormat() == rv24RGB)
    return 4;
  return samples;
}

void WriteTIFFStrips(TWriter& w, TRVBitmap& b) {
  const int32_t height = b.GetHeight();
  const int32_t samples = RowSamples(w, b);
  w.alphaWritten = samples == 4 && w.photometric != phCMYK;
  if (w.compression == 7) {
    WriteJpegStrip(w, b);
    return;
  }
  int32_t rowsPerStrip = height;
  if (w.compression != 32946) {
    const int64_t strips = std::max<int64_t>(int64_t(height) * b.GetRowLen() / kStripBytes, 1);
    rowsPerStrip = static_cast<int32_t>(std::max<int64_t>(height / strips, 1));
  }
  TRowBuilder rows{w, b, samples, {}, {}};
  std::vector<uint32_t> offsets, counts;
  codecs::StartProgress(w.progress, height);
  for (int32_t y = 0; y < height && w.Ok();) {
    const uint32_t start = static_cast<uint32_t>(w.out.GetPosition());
    TStripCoder coder{w, b.GetWidth(), {}, 0, 0, nullptr, nullptr, false};
    coder.Start();
    const int32_t end = std::min(height, y + rowsPerStrip);
    for (; y < end && w.Ok(); ++y) {
      const uint8_t* row = rows.Build(y);
      coder.Row(row, static_cast<int64_t>(rows.row.size()));
      codecs::StepProgress(w.progress);
    }
    coder.End();
    offsets.push_back(start);
    counts.push_back(static_cast<uint32_t>(w.out.GetPosition()) - start);
  }
  if (!w.Ok()) return;
  w.AddTIFFLong(278, static_cast<uint32_t>(rowsPerStrip));
  if (offsets.size() == 1) {
    w.AddTIFFLong(273, offsets[0]);
    w.AddTIFFLong(279, counts[0]);
  } else {
    w.AddLongs(273, offsets);
    w.AddLongs(279, counts);
  }
}

// An old-style JPEG page: the JPEG data whole, its scan as the one strip.
void WriteTIFFOldJpeg(TWriter& w, TRVBitmap& b) {
  TIOParamsVals temp;
  temp.JPEG_Quality = w.params.TIFF_JPEGQuality;
  temp.JPEG_ColorSpace = w.params.TIFF_JPEGColorSpace == 4 ? 0 : w.params.TIFF_JPEGColorSpace;
  TMemoryStream m;
  WriteJpegStream(m, b, temp, w.progress);
  if (!w.Ok()) return;
  const std::vector<uint8_t>& data = m.Data();
  int64_t scan = 0;
  for (size_t i = 0; i + 1 < data.size(); ++i)
    if (data[i] == 0xFF && data[i + 1] == 0xDA) {
      scan = static_cast<int64_t>(i);
      break;
    }
  const uint32_t p = static_cast<uint32_t>(w.out.GetPosition());
  w.Put(data.data(), static_cast<int64_t>(data.size()));
  w.AddTIFFLong(514, static_cast<uint32_t>(data.size()));
  w.AddTIFFLong(513, p);
  w.AddTIFFLong(278, static_cast<uint32_t>(b.GetHeight()));
  w.AddTIFFLong(279, static_cast<uint32_t>(data.size() - static_cast<size_t>(scan)));
  w.AddTIFFLong(273, p + static_cast<uint32_t>(scan));
  w.AddTIFFShort(512, 1);
  w.AddShorts(530, {2, 2});
}

// ---------------------------------------------------------------- the page

// Insert mode: the pointer to patch and its old value; the page count after the insertion, or
// 0 when the stream is no "II" file.
int32_t FindInsertPoint(TStream& s, int32_t index, int64_t& pointerPos, uint32_t& pointerValue) {
  const int64_t size = s.GetSize();
  uint8_t h[8];
  if (s.Read(h, 8) < 4 || h[0] != 'I' || h[1] != 'I') return 0;
  int64_t ptr = 4;
  uint32_t value = Get32(h + 4, true);
  std::vector<int64_t> seen;
  int32_t i = 0, found = 0;
  pointerPos = -1;
  for (;;) {
    if (i == index || (value == 0 && i < index && pointerPos < 0)) {
      pointerPos = ptr;
      pointerValue = value;
    }
    if (value == 0 || value >= size || std::find(seen.begin(), seen.end(), value) != seen.end()) break;
    seen.push_back(value);
    uint8_t c[2];
    s.SetPosition(value);
    if (s.Read(c, 2) != 2) break;
    const int64_t next = int64_t(value) + 2 + int64_t(Get16(c, true)) * 12;
    ++found;
    if (next + 4 > size) break;
    uint8_t b[4];
    s.SetPosition(next);
    if (s.Read(b, 4) != 4) break;
    ptr = next;
    value = Get32(b, true);
    ++i;
  }
  if (pointerPos < 0) {
    // Past the last page: the new page follows it.
    pointerPos = ptr;
    pointerValue = 0;
  }
  return found + 1;
}

void WritePageTags(TWriter& w, TRVBitmap& b) {
  TIOParamsVals& p = w.params;
  const TRVPixelFormat f = b.GetPixelFormat();
  w.AddTIFFLong(256, static_cast<uint32_t>(b.GetWidth()));
  w.AddTIFFLong(257, static_cast<uint32_t>(b.GetHeight()));
  if (f == rv1g)
    w.AddTIFFShort(258, 1);
  else if (f == rv8p || f == rv8g)
    w.AddTIFFShort(258, 8);
  else if (f == rv16g)
    w.AddTIFFShort(258, 16);
  else if (f == rvCMYK)
    w.AddShorts(258, {8, 8, 8, 8});
  else if (f == rv48RGB)
    w.AddShorts(258, {16, 16, 16});
  else if (w.photometric == phBlackIsZero || w.photometric == phPalette)
    w.AddTIFFShort(258, static_cast<uint16_t>(w.bits));
  else if (w.photometric == phCMYK || RowSamples(w, b) == 4)
    w.AddShorts(258, {8, 8, 8, 8});
  else
    w.AddShorts(258, {8, 8, 8});
  w.AddTIFFShort(259, w.compression);
  if (f == rv1g) {
    w.AddTIFFShort(262, w.compression >= 2 && w.compression <= 4 ? 0 : 1);
  } else {
    static constexpr uint16_t kFile[8] = {1, 1, 2, 3, 2, 5, 6, 8};
    w.AddTIFFShort(262, w.photometric == phYCbCr && (w.compression == 6 || w.compression == 7)
                            ? 6
                            : kFile[std::min<uint8_t>(w.photometric, 7)]);
  }
  w.AddTIFFAscii(269, p.TIFF_DocumentName);
  if (w.compression >= 2 && w.compression <= 4) {
    w.AddTIFFShort(266, static_cast<uint16_t>(w.fillOrder));
    w.AddTIFFShort(284, 1);
    w.AddTIFFShort(327, 0);
  }
}

// Step 4: the tags after the pixel data (without a bitmap, those that do not describe pixels).
void WriteLateTags(TWriter& w, TRVBitmap* b) {
  TIOParamsVals& p = w.params;
  if (b) {
    const TRVPixelFormat f = b->GetPixelFormat();
    uint16_t spp = 3;
    if (f == rv1g || f == rv8g || f == rv8p || f == rv16g || w.photometric == phBlackIsZero ||
        w.photometric == phPalette)
      spp = 1;
    else if (w.photometric == phCMYK || f == rvCMYK)
      spp = 4;
    else if (w.alphaWritten)
      spp = 4;
    w.AddTIFFShort(277, spp);
    // Alpha whose colours are not premultiplied: unassociated.
    if (w.alphaWritten) w.AddTIFFShort(338, 2);
    if (w.predictor == 2) w.AddTIFFShort(317, 2);
  }
  w.AddTIFFAscii(285, p.TIFF_PageName);
  if (p.TIFF_XPos != 0) w.AddTIFFRational(286, p.TIFF_XPos);
  if (p.TIFF_YPos != 0) w.AddTIFFRational(287, p.TIFF_YPos);
  if (w.compression == 3) w.AddTIFFLong(292, w.g3TwoD ? 1 : 0);
  if (w.compression == 4) w.AddTIFFLong(292, 0);
  if (w.compression == 3 || w.compression == 4) w.AddTIFFLong(293, 0);
  w.AddTIFFLong(254, 0);
  if (p.TIFF_PageNumber >= 0 || p.TIFF_PageCount >= 0)
    w.AddShorts(297, {static_cast<uint16_t>(p.TIFF_PageNumber), static_cast<uint16_t>(p.TIFF_PageCount)});
  WriteTIFFMetadata(TTIFFMetaStep::Blocks, w.list, w.out, p, w.progress);
  if (w.photometric == phPalette && w.quantizer) {
    const size_t n = size_t(1) << std::min(w.bits, 8);
    std::vector<uint16_t> map(3 * n, 0);
    for (size_t i = 0; i < n && i < w.palette.size(); ++i) {
      map[i] = static_cast<uint16_t>(w.palette[i].r * 257);
      map[n + i] = static_cast<uint16_t>(w.palette[i].g * 257);
      map[2 * n + i] = static_cast<uint16_t>(w.palette[i].b * 257);
    }
    w.AddShorts(320, map);
  }
}

void WriteIFD(TWriter& w, uint32_t next) {
  auto& e = w.list.entries;
  std::stable_sort(e.begin(), e.end(), [](const TIFDEntry& a, const TIFDEntry& b) { return a.tag < b.tag; });
  std::vector<uint8_t> raw(2 + e.size() * 12 + 4);
  raw[0] = uint8_t(e.size());
  raw[1] = uint8_t(e.size() >> 8);
  for (size_t i = 0; i < e.size(); ++i) {
    uint8_t* q = &raw[2 + 12 * i];
    q[0] = uint8_t(e[i].tag);
    q[1] = uint8_t(e[i].tag >> 8);
    q[2] = uint8_t(e[i].type);
    q[3] = uint8_t(e[i].type >> 8);
    TWriter::PutLE32(q + 4, e[i].count);
    TWriter::PutLE32(q + 8, e[i].value);
  }
  TWriter::PutLE32(&raw[2 + 12 * e.size()], next);
  w.Put(raw.data(), static_cast<int64_t>(raw.size()));
}

}  // namespace

int32_t PackBitsEncodeRow(const uint8_t* row, int32_t length, std::vector<uint8_t>& out) {
  const size_t before = out.size();
  // Callers append row after row to one buffer: growing it to the exact need each time would copy
  // the whole buffer once a row.
  const size_t need = before + static_cast<size_t>(length) + length / 128 + 2;
  if (out.capacity() < need) out.reserve(std::max(need, out.capacity() * 2));
  int32_t literal = 0;  // start of the pending literal
  auto flushLiteral = [&](int32_t end) {
    if (end > literal) {
      out.push_back(static_cast<uint8_t>(end - literal - 1));
      out.insert(out.end(), row + literal, row + end);
    }
  };
  int32_t i = 0;
  while (i < length) {
    int32_t run = 1;
    while (i + run < length && run < 128 && row[i + run] == row[i]) ++run;
    if (run < 4) {
      if (i - literal == 128) {
        flushLiteral(i);
        literal = i;
      }
      ++i;
      continue;
    }
    flushLiteral(i);
    out.push_back(static_cast<uint8_t>(1 - run));
    out.push_back(row[i]);
    i += run;
    literal = i;
  }
  flushLiteral(length);
  return static_cast<int32_t>(out.size() - before);
}

void PackBitsEncodeRow(const uint8_t* row, int32_t length, TStream& stream, bool& errorFlag) {
  std::vector<uint8_t> out;
  PackBitsEncodeRow(row, length, out);
  if (!codecs::WriteAll(stream, out.data(), static_cast<int64_t>(out.size()))) errorFlag = true;
}

int32_t WriteTIFFStream(TStream& stream, bool insert, TRVBitmap* bitmap, TRVMask* alphaMask,
                        TRVProgressRec& progress, TIOParamsVals& params) {
  TCheckedStream out(stream, progress);
  TWriter w(out, progress, params);
  w.alpha = alphaMask && bitmap && alphaMask->BitsPerPixel() == 8 &&
                    alphaMask->Width() >= bitmap->GetWidth() && alphaMask->Height() >= bitmap->GetHeight()
                ? alphaMask
                : nullptr;
  const int64_t start = stream.GetPosition();
  int64_t pointerPos = -1;
  uint32_t pointerValue = 0;
  int32_t pages = 1;
  if (insert) {
    pages = FindInsertPoint(stream, params.TIFF_ImageIndex, pointerPos, pointerValue);
    if (pages == 0) {
      progress.SetAborting();
      return 0;
    }
    out.Seek(0, soEnd);
  } else {
    const uint8_t placeholder[8] = {'I', 'I', 42, 0, 0, 0, 0, 0};
    w.Put(placeholder, 8);
  }
  if (!WriteTIFFMetadata(TTIFFMetaStep::Descriptive, w.list, out, params, progress)) {
    w.AddTIFFAscii(270, params.TIFF_ImageDescription);
    w.AddTIFFRational(282, params.DpiX);
    w.AddTIFFRational(283, params.DpiY);
    w.AddTIFFShort(296, 2);
  }
  std::unique_ptr<TRVBitmap> copy;
  TRVBitmap* b = nullptr;
  if (bitmap) {
    b = ChooseLayout(w, *bitmap, copy);
    if (!b) {
      progress.SetAborting();
      return pages;
    }
    WritePageTags(w, *b);
    const uint8_t access = b->RowAccess;
    b->RowAccess = 1;
    try {
      if (w.compression == 6)
        WriteTIFFOldJpeg(w, *b);
      else
        WriteTIFFStrips(w, *b);
    } catch (...) {
      b->RowAccess = access;
      throw;
    }
    b->RowAccess = access;
  }
  if (!w.Ok()) return pages;
  WriteLateTags(w, b);
  const uint32_t ifd = w.Align();
  if (insert) {
    out.SetPosition(pointerPos);
    uint8_t q[4];
    TWriter::PutLE32(q, ifd);
    w.Put(q, 4);
  } else {
    out.SetPosition(start);
    uint8_t h[8] = {'I', 'I', 42, 0, 0, 0, 0, 0};
    TWriter::PutLE32(h + 4, ifd);
    w.Put(h, 8);
  }
  out.SetPosition(ifd);
  WriteIFD(w, insert ? pointerValue : 0);
  return pages;
}

}  // namespace rv
