// TIFF decoding and encoding against libtiff on the same files in memory: a 4096 x 4096 RGB page
// with LZW and predictor 2 and with Deflate, and an A4 page at 300 dpi (2480 x 3508) in Group 4;
// and loading the LZW page through the I/O component against the codec alone.
//
// Both sides read the same file (the one our writer makes, which libtiff reads as well) and
// write the same layout (strips of our writer's size, the same predictor); outputs are touched
// before the timing. Both read the file where it lies in memory (libtiff through its mapping).
// The decoders' outputs differ in one way: libtiff's gives the samples as the file stores them
// (red first, rows top down in one buffer), ours the library's bitmap (blue first), so ours also
// converts every row.
#include <benchmark/benchmark.h>
#include <tiffio.h>
#include <zlib.h>

#include <cstring>
#include <memory>
#include <vector>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/codecs/tiff/tiffilt.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/io/RastovaIOStartup.h"
#include "../rastova_codecs/BenchPicture.h"

namespace {

using namespace rv;

constexpr int kSize = 4096;
constexpr int kA4W = 2480, kA4H = 3508;

struct Pictures {
  Pictures() {
    RegisterRastovaIOStartup();
    RastovaLibraryStartup();
    rv::bench::FillBenchPicture(rgb, kSize);
    uint32_t seed = 12345;
    // A page of text-like marks: short black strokes in lines.
    page.Allocate(kA4W, kA4H, rv1g);
    page.Fill(0xFFFFFF);
    for (int line = 200; line + 40 < kA4H - 200; line += 60)
      for (int x = 150; x < kA4W - 150;) {
        seed = seed * 1664525u + 1013904223u;
        const int wordLen = 20 + int(seed >> 27);
        for (int y = line; y < line + 36; ++y)
          for (int k = 0; k < wordLen; ++k)
            if (((k / 3) + (y - line) / 4 + (seed >> (k % 24))) % 3 == 0)
              page.SetPixels_rv1g(x + k, y, false);
        x += wordLen + 15;
      }
    lzw = Encode(rgb, 5, 3, 8);
    zip = Encode(rgb, 9, 3, 8);
    g4 = Encode(page, 4, 1, 1);
  }
  static std::vector<uint8_t> Encode(TRVBitmap& b, uint8_t compression, int samples, int bits) {
    TIOParamsVals params;
    params.TIFF_Compression = compression;
    params.SamplesPerPixel = samples;
    params.BitsPerSample = bits;
    TMemoryStream s;
    TRVProgressRec progress;
    WriteTIFFStream(s, false, &b, nullptr, progress, params);
    return s.Data();
  }
  TRVBitmap rgb, page;
  std::vector<uint8_t> lzw, zip, g4;
};

Pictures& Pics() {
  static Pictures p;
  return p;
}

// ---------------------------------------------------------------- libtiff over memory

struct MemFile {
  std::vector<uint8_t> data;
  toff_t pos = 0;
};

tsize_t MemRead(thandle_t h, tdata_t buf, tsize_t n) {
  auto* m = static_cast<MemFile*>(h);
  const tsize_t k = std::min<tsize_t>(n, tsize_t(m->data.size()) - tsize_t(m->pos));
  if (k <= 0) return 0;
  std::memcpy(buf, m->data.data() + m->pos, size_t(k));
  m->pos += toff_t(k);
  return k;
}
tsize_t MemWrite(thandle_t h, tdata_t buf, tsize_t n) {
  auto* m = static_cast<MemFile*>(h);
  if (m->pos + toff_t(n) > m->data.size()) m->data.resize(size_t(m->pos + toff_t(n)));
  std::memcpy(m->data.data() + m->pos, buf, size_t(n));
  m->pos += toff_t(n);
  return n;
}
toff_t MemSeek(thandle_t h, toff_t off, int whence) {
  auto* m = static_cast<MemFile*>(h);
  if (whence == SEEK_SET)
    m->pos = off;
  else if (whence == SEEK_CUR)
    m->pos += off;
  else
    m->pos = toff_t(m->data.size()) + off;
  return m->pos;
}
int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) { return toff_t(static_cast<MemFile*>(h)->data.size()); }
// Reading maps the file, as our reader reads a stream held in memory where it lies.
int MemMap(thandle_t h, tdata_t* base, toff_t* size) {
  auto* m = static_cast<MemFile*>(h);
  *base = m->data.data();
  *size = toff_t(m->data.size());
  return 1;
}
void MemUnmap(thandle_t, tdata_t, toff_t) {}

TIFF* OpenMem(MemFile& m, const char* mode) {
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  return TIFFClientOpen("mem", mode, &m, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap, MemUnmap);
}

// Decodes every strip into `out`, laid out row after row.
void LibTiffDecode(MemFile& m, std::vector<uint8_t>& out) {
  m.pos = 0;
  TIFF* t = OpenMem(m, "r");
  const tstrip_t strips = TIFFNumberOfStrips(t);
  const tsize_t stripSize = TIFFStripSize(t);
  size_t at = 0;
  for (tstrip_t s = 0; s < strips; ++s) {
    const tsize_t got = TIFFReadEncodedStrip(t, s, out.data() + at, stripSize);
    if (got > 0) at += size_t(got);
  }
  TIFFClose(t);
}

void LibTiffEncode(TRVBitmap& b, uint16_t compression, bool predictor, int rowsPerStrip,
                   std::vector<uint8_t>& rowBuf) {
  MemFile m;
  TIFF* t = OpenMem(m, "w");
  const bool bilevel = b.GetPixelFormat() == rv1g;
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(b.GetWidth()));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(b.GetHeight()));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bilevel ? 1 : 8);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, bilevel ? 1 : 3);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, bilevel ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
  if (predictor) TIFFSetField(t, TIFFTAG_PREDICTOR, 2);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(rowsPerStrip));
  const int w = b.GetWidth();
  for (int y = 0; y < b.GetHeight(); ++y) {
    const uint8_t* s = b.GetScanLine(y);
    if (bilevel) {
      for (int i = 0; i < (w + 7) / 8; ++i) rowBuf[size_t(i)] = uint8_t(~s[i]);
    } else {
      for (int x = 0; x < w; ++x) {
        rowBuf[size_t(3 * x)] = s[3 * x + 2];
        rowBuf[size_t(3 * x + 1)] = s[3 * x + 1];
        rowBuf[size_t(3 * x + 2)] = s[3 * x];
      }
    }
    TIFFWriteScanline(t, rowBuf.data(), uint32_t(y), 0);
  }
  TIFFClose(t);
  benchmark::DoNotOptimize(m.data.data());
}

// ---------------------------------------------------------------- decoding

void OurDecode(benchmark::State& state, const std::vector<uint8_t>& file) {
  TRVMemStream s(file.data(), int64_t(file.size()));
  TRVBitmap out;
  auto decode = [&] {
    s.SetPosition(0);
    TIOParamsVals params;
    std::unique_ptr<TRVMask> mask;
    TRVProgressRec progress;
    int32_t pages = 0;
    ReadTIFFStream(out, s, pages, false, false, true, mask, false, progress, params);
  };
  decode();
  for (auto _ : state) decode();
}

void TheirDecode(benchmark::State& state, const std::vector<uint8_t>& file, size_t size) {
  MemFile m{file, 0};
  std::vector<uint8_t> out(size + 65536, 0);
  LibTiffDecode(m, out);
  for (auto _ : state) {
    LibTiffDecode(m, out);
    benchmark::ClobberMemory();
  }
}

void BM_LzwDecode_Ours(benchmark::State& state) { OurDecode(state, Pics().lzw); }
void BM_LzwDecode_LibTiff(benchmark::State& state) {
  TheirDecode(state, Pics().lzw, size_t(kSize) * kSize * 3);
}
void BM_DeflateDecode_Ours(benchmark::State& state) { OurDecode(state, Pics().zip); }
void BM_DeflateDecode_LibTiff(benchmark::State& state) {
  TheirDecode(state, Pics().zip, size_t(kSize) * kSize * 3);
}
void BM_G4Decode_Ours(benchmark::State& state) { OurDecode(state, Pics().g4); }
void BM_G4Decode_LibTiff(benchmark::State& state) {
  TheirDecode(state, Pics().g4, size_t(kA4W + 7) / 8 * kA4H);
}
// The floor of any zlib-based reader: inflating the same strip with zlib alone (libtiff here
// inflates with libdeflate, which is about twice as fast as zlib).
void BM_DeflateDecode_ZlibOnly(benchmark::State& state) {
  MemFile m{Pics().zip, 0};
  TIFF* t = OpenMem(m, "r");
  std::vector<uint8_t> raw(size_t(TIFFRawStripSize(t, 0)));
  TIFFReadRawStrip(t, 0, raw.data(), tsize_t(raw.size()));
  TIFFClose(t);
  std::vector<uint8_t> out(size_t(kSize) * kSize * 3);
  for (auto _ : state) {
    uLongf size = uLongf(out.size());
    uncompress(out.data(), &size, raw.data(), uLong(raw.size()));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DeflateDecode_ZlibOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LzwDecode_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LzwDecode_LibTiff)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeflateDecode_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeflateDecode_LibTiff)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_G4Decode_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_G4Decode_LibTiff)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- encoding

void OurEncode(benchmark::State& state, TRVBitmap& b, uint8_t compression, int samples, int bits) {
  TMemoryStream s;
  s.SetSize(int64_t(b.ImageSize()) * 2 + 65536);
  for (auto _ : state) {
    s.SetPosition(0);
    TIOParamsVals params;
    params.TIFF_Compression = compression;
    params.SamplesPerPixel = samples;
    params.BitsPerSample = bits;
    TRVProgressRec progress;
    WriteTIFFStream(s, false, &b, nullptr, progress, params);
  }
}

// Our writer's strips: about 512 KB of bitmap rows each.
int OurRowsPerStrip(TRVBitmap& b) {
  const int64_t strips = std::max<int64_t>(int64_t(b.GetHeight()) * b.GetRowLen() / 524288, 1);
  return int(std::max<int64_t>(b.GetHeight() / strips, 1));
}

void BM_LzwEncode_Ours(benchmark::State& state) { OurEncode(state, Pics().rgb, 5, 3, 8); }
void BM_LzwEncode_LibTiff(benchmark::State& state) {
  std::vector<uint8_t> row(size_t(kSize) * 3);
  for (auto _ : state) LibTiffEncode(Pics().rgb, COMPRESSION_LZW, true, OurRowsPerStrip(Pics().rgb), row);
}
void BM_G4Encode_Ours(benchmark::State& state) { OurEncode(state, Pics().page, 4, 1, 1); }
void BM_G4Encode_LibTiff(benchmark::State& state) {
  std::vector<uint8_t> row(size_t(kA4W + 7) / 8);
  for (auto _ : state)
    LibTiffEncode(Pics().page, COMPRESSION_CCITTFAX4, false, OurRowsPerStrip(Pics().page), row);
}
BENCHMARK(BM_LzwEncode_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LzwEncode_LibTiff)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_G4Encode_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_G4Encode_LibTiff)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- through the component

void BM_LzwLoad_RastovaIO(benchmark::State& state) {
  const std::vector<uint8_t>& file = Pics().lzw;
  TRastovaIO io;
  TRVMemStream s(file.data(), int64_t(file.size()));
  io.LoadFromStreamTIFF(s);
  for (auto _ : state) {
    s.SetPosition(0);
    io.LoadFromStreamTIFF(s);
  }
}
BENCHMARK(BM_LzwLoad_RastovaIO)->Unit(benchmark::kMillisecond);

}  // namespace
