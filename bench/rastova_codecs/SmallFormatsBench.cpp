// Decoding of the smaller formats at 4096 x 4096: GIF against giflib's DGifSlurp on the same
// file (giflib is linked into this benchmark only, as the baseline), and Photoshop PackBits,
// PCX run-length and binary PNM (P6) against a memcpy of the pixel bytes. The noisy picture is
// the worst case of the run-length formats (almost no runs); PCX is also measured on the same
// picture without its noise.
//
// Every decoder writes into a bitmap whose pages one decode outside the loop has touched, as
// the memcpy's destination is zeroed before its timing.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstring>
#include <memory>
#include <vector>

#include "BenchPicture.h"
#include "rastova/codecs/IOParamsVals.h"
#include "rastova/codecs/bitmaps/pcxfilter.h"
#include "rastova/codecs/bitmaps/pxmfilter.h"
#include "rastova/codecs/gif/giffilter.h"
#include "rastova/codecs/gif/giflzw.h"
#include "rastova/codecs/psd/rvpsd.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RVStream.h"

namespace {

using namespace rv;

constexpr int kSize = 4096;

// A smooth picture with a little noise, as the other codec benchmarks use.
struct Picture {
  Picture() {
    RastovaLibraryStartup();
    bench::FillBenchPicture(bitmap, kSize);
    // The same picture as 8-bit indices for GIF: a 256-entry palette of its own.
    indexed.PaletteColorCount = 256;
    indexed.Allocate(kSize, kSize, rv8p);
    for (int i = 0; i < 256; ++i) indexed.SetPalette(i, TRGB{uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
    for (int y = 0; y < kSize; ++y) {
      const uint8_t* s = bitmap.GetScanLine(y);
      uint8_t* d = indexed.GetScanLine(y);
      for (int x = 0; x < kSize; ++x) d[x] = uint8_t((s[3 * x] + s[3 * x + 2]) / 2);
    }
    pixels.resize(size_t(kSize) * kSize * 3);
    for (int y = 0; y < kSize; ++y)
      std::memcpy(&pixels[size_t(y) * kSize * 3], bitmap.GetScanLine(y), size_t(kSize) * 3);
  }
  TRVBitmap bitmap, indexed;
  std::vector<uint8_t> pixels;
};

Picture& Pic() {
  static Picture p;
  return p;
}

using bench::StreamOf;

void SetBytes(benchmark::State& state, int bytesPerPixel) {
  state.SetBytesProcessed(int64_t(state.iterations()) * kSize * kSize * bytesPerPixel);
}

void BM_Memcpy(benchmark::State& state) {
  auto& p = Pic();
  std::vector<uint8_t> dst(p.pixels.size());
  for (auto _ : state) {
    std::memcpy(dst.data(), p.pixels.data(), dst.size());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  SetBytes(state, 3);
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- GIF

const std::vector<uint8_t>& GifFile() {
  static const std::vector<uint8_t> file = [] {
    TIOParamsVals params;
    params.GIF_LZWCompress = GIFLZWCompress;
    TMemoryStream s;
    TRVProgressRec progress;
    WriteGIFStream(s, Pic().indexed, params, progress);
    return s.Data();
  }();
  return file;
}

void BM_GifDecode(benchmark::State& state) {
  auto s = StreamOf(GifFile());
  TRVBitmap out;
  auto decode = [&] {
    s->SetPosition(0);
    TIOParamsVals params;
    params.NativePixelFormat = true;
    params.GIF_LZWDecompress = GIFLZWDecompress;
    std::unique_ptr<TRVMask> mask;
    TRVProgressRec progress;
    int32_t count = 0;
    ReadGIFStream(*s, out, count, params, progress, false, mask, true);
  };
  decode();
  for (auto _ : state) decode();
  SetBytes(state, 1);
}
BENCHMARK(BM_GifDecode)->Unit(benchmark::kMillisecond);

struct MemoryReader {
  const std::vector<uint8_t>* data;
  size_t pos;
};

int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int length) {
  auto* m = static_cast<MemoryReader*>(gif->UserData);
  const size_t n = std::min<size_t>(size_t(length), m->data->size() - m->pos);
  std::memcpy(buffer, m->data->data() + m->pos, n);
  m->pos += n;
  return int(n);
}

void BM_GiflibSlurp(benchmark::State& state) {
  const std::vector<uint8_t>& file = GifFile();
  for (auto _ : state) {
    MemoryReader reader{&file, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, ReadFromMemory, &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) state.SkipWithError("giflib failed");
    benchmark::DoNotOptimize(gif);
    if (gif) DGifCloseFile(gif, &error);
  }
  SetBytes(state, 1);
}
BENCHMARK(BM_GiflibSlurp)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- Photoshop, PCX, P6

template <typename Write>
std::vector<uint8_t> Encode(Write write) {
  TIOParamsVals params;
  TMemoryStream s;
  TRVProgressRec progress;
  write(s, params, progress);
  return s.Data();
}

template <typename Read>
void Decode(benchmark::State& state, const std::vector<uint8_t>& file, Read read) {
  auto s = StreamOf(file);
  TRVBitmap out;
  auto once = [&] {
    s->SetPosition(0);
    TIOParamsVals params;
    TRVProgressRec progress;
    read(*s, out, params, progress);
  };
  once();
  for (auto _ : state) once();
  SetBytes(state, 3);
}

void BM_PsdPackBitsDecode(benchmark::State& state) {
  static const auto file = Encode([](TStream& s, TIOParamsVals& p, TRVProgressRec& pr) {
    TPSDLayerList none;
    WritePSDStream(s, p, pr, none, Pic().bitmap);
  });
  Decode(state, file, [](TStream& s, TRVBitmap& b, TIOParamsVals& p, TRVProgressRec& pr) {
    ReadPSDStream(s, &b, p, nullptr, false, pr);
  });
}
BENCHMARK(BM_PsdPackBitsDecode)->Unit(benchmark::kMillisecond);

void BM_PcxRleDecode(benchmark::State& state) {
  static const auto file = Encode(
      [](TStream& s, TIOParamsVals& p, TRVProgressRec& pr) { WritePCXStream(s, Pic().bitmap, p, pr); });
  Decode(state, file, [](TStream& s, TRVBitmap& b, TIOParamsVals& p, TRVProgressRec& pr) {
    ReadPCXStream(s, b, p, s.GetSize(), pr, false);
  });
}
BENCHMARK(BM_PcxRleDecode)->Unit(benchmark::kMillisecond);

// The same picture without its noise: bands of 16 equal pixels, as drawings and scans give.
void BM_PcxRleDecodeBands(benchmark::State& state) {
  static const auto file = Encode([](TStream& s, TIOParamsVals& p, TRVProgressRec& pr) {
    TRVBitmap bands(kSize, kSize, rv24RGB);
    for (int y = 0; y < kSize; ++y) {
      uint8_t* row = bands.GetScanLine(y);
      for (int x = 0; x < kSize; ++x) {
        row[3 * x] = uint8_t(x / 16);
        row[3 * x + 1] = uint8_t(y / 16);
        row[3 * x + 2] = uint8_t((x + y) / 32);
      }
    }
    WritePCXStream(s, bands, p, pr);
  });
  Decode(state, file, [](TStream& s, TRVBitmap& b, TIOParamsVals& p, TRVProgressRec& pr) {
    ReadPCXStream(s, b, p, s.GetSize(), pr, false);
  });
}
BENCHMARK(BM_PcxRleDecodeBands)->Unit(benchmark::kMillisecond);

void BM_P6Decode(benchmark::State& state) {
  static const auto file = Encode(
      [](TStream& s, TIOParamsVals& p, TRVProgressRec& pr) { WritePXMStream(s, Pic().bitmap, p, pr); });
  Decode(state, file, [](TStream& s, TRVBitmap& b, TIOParamsVals& p, TRVProgressRec& pr) {
    ReadPXMStream(s, b, p, false, pr);
  });
}
BENCHMARK(BM_P6Decode)->Unit(benchmark::kMillisecond);

}  // namespace
