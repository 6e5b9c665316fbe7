// Decoding and encoding a 4096 x 4096 picture in each format. PNG and JPEG are measured against
// libpng and libjpeg-turbo called directly on the same pixels with the same settings; Targa and
// uncompressed BMP against a memcpy of the pixel bytes.
//
// Both sides of a comparison do the same work: the direct decoders use the same transforms and
// write rows laid out as the image buffer keeps them (64-byte aligned, last row first), and every
// output buffer has had its pages touched before the timing starts (the decoders' bitmaps by one
// decode outside the loop, as the direct side's buffers by their zeroing). The "Fresh" pairs
// allocate a new output on both sides in every iteration instead, as a load into a new image does.
#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdio>
#include <jpeglib.h>

#include <cstring>
#include <memory>
#include <vector>

#include "BenchPicture.h"
#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"
#include "rastova/codecs/bmp/bmpfilt.h"
#include "rastova/codecs/jpeg/jpegfilt.h"
#include "rastova/codecs/png/pngfilt.h"
#include "rastova/codecs/tga/rvtgafil.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RVStream.h"

namespace {

using namespace rv;

constexpr int kSize = 4096;

// The benchmarks' picture, also kept as plain rows.
struct Picture {
  Picture() {
    RastovaLibraryStartup();
    bench::FillBenchPicture(bitmap, kSize);
    pixels.resize(size_t(kSize) * kSize * 3);
    for (int y = 0; y < kSize; ++y) std::memcpy(&pixels[size_t(y) * kSize * 3], bitmap.GetScanLine(y), size_t(kSize) * 3);
  }
  TRVBitmap bitmap;
  std::vector<uint8_t> pixels;
};

Picture& Pic() {
  static Picture p;
  return p;
}

using bench::StreamOf;

void SetBytes(benchmark::State& state) { state.SetBytesProcessed(int64_t(state.iterations()) * kSize * kSize * 3); }

// ---------------------------------------------------------------- memcpy floor

void BM_Memcpy(benchmark::State& state) {
  auto& p = Pic();
  std::vector<uint8_t> dst(p.pixels.size());
  for (auto _ : state) {
    std::memcpy(dst.data(), p.pixels.data(), dst.size());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  SetBytes(state);
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- Targa and BMP

std::vector<uint8_t> EncodeTga() {
  TIOParamsVals params;
  params.TGA_Compressed = false;
  TMemoryStream s;
  TRVProgressRec progress;
  WriteTGAStream(s, Pic().bitmap, params, nullptr, progress);
  return s.Data();
}

void BM_TgaEncode(benchmark::State& state) {
  auto& p = Pic();
  TIOParamsVals params;
  params.TGA_Compressed = false;
  TMemoryStream s;
  s.SetSize(int64_t(p.pixels.size()) + 4096);
  for (auto _ : state) {
    s.SetPosition(0);
    TRVProgressRec progress;
    WriteTGAStream(s, p.bitmap, params, nullptr, progress);
  }
  SetBytes(state);
}
BENCHMARK(BM_TgaEncode)->Unit(benchmark::kMillisecond);

void BM_TgaDecode(benchmark::State& state) {
  auto s = StreamOf(EncodeTga());
  TRVBitmap out;
  auto decode = [&] {
    s->SetPosition(0);
    TIOParamsVals params;
    std::unique_ptr<TRVMask> mask;
    TRVProgressRec progress;
    ReadTGAStream(*s, out, params, false, mask, false, progress);
  };
  decode();
  for (auto _ : state) decode();
  SetBytes(state);
}
BENCHMARK(BM_TgaDecode)->Unit(benchmark::kMillisecond);

void BM_BmpEncode(benchmark::State& state) {
  auto& p = Pic();
  TIOParamsVals params;
  TMemoryStream s;
  s.SetSize(int64_t(p.pixels.size()) + 4096);
  for (auto _ : state) {
    s.SetPosition(0);
    TRVProgressRec progress;
    WriteBMPStream(s, p.bitmap, params, progress, false);
  }
  SetBytes(state);
}
BENCHMARK(BM_BmpEncode)->Unit(benchmark::kMillisecond);

void BM_BmpDecode(benchmark::State& state) {
  TIOParamsVals wp;
  TMemoryStream enc;
  TRVProgressRec wprog;
  WriteBMPStream(enc, Pic().bitmap, wp, wprog, false);
  auto s = StreamOf(enc.Data());
  TRVBitmap out;
  auto decode = [&] {
    s->SetPosition(0);
    TIOParamsVals params;
    std::unique_ptr<TRVMask> mask;
    TRVProgressRec progress;
    ReadBMPStream(*s, out, 0, params, progress, false, false, mask, true);
  };
  decode();
  for (auto _ : state) decode();
  SetBytes(state);
}
BENCHMARK(BM_BmpDecode)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- PNG

constexpr int kPngLevel = 5;

void PngWrite(png_structp png, png_bytep data, size_t n) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}
void PngFlush(png_structp) {}

std::vector<uint8_t> DirectPngEncode(const std::vector<uint8_t>& pixels) {
  std::vector<uint8_t> out;
  out.reserve(pixels.size());
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, PngWrite, PngFlush);
  png_set_IHDR(png, info, kSize, kSize, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_compression_level(png, kPngLevel);
  png_set_bgr(png);
  png_write_info(png, info);
  for (int y = 0; y < kSize; ++y) png_write_row(png, &pixels[size_t(y) * kSize * 3]);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

struct MemReader {
  const uint8_t* data;
  size_t pos;
};
void PngRead(png_structp png, png_bytep data, size_t n) {
  auto* r = static_cast<MemReader*>(png_get_io_ptr(png));
  std::memcpy(data, r->data + r->pos, n);
  r->pos += n;
}

// Rows as the image buffer lays them out: each row starts on a 64-byte boundary and the last
// row comes first in memory.
struct ImageRows {
  static constexpr size_t kRowLen = size_t(kSize) * 3;  // a multiple of 64
  // Zeroed, so every page is touched; `touch` false leaves the fresh allocation untouched.
  explicit ImageRows(bool touch = true)
      : block(touch ? new uint8_t[kRowLen * kSize + 64]() : new uint8_t[kRowLen * kSize + 64]) {
    base = block.get() + (64 - reinterpret_cast<uintptr_t>(block.get()) % 64) % 64;
  }
  uint8_t* Row(int y) const { return base + kRowLen * size_t(kSize - 1 - y); }
  std::unique_ptr<uint8_t[]> block;
  uint8_t* base;
};

// The reader's transforms for an 8-bit RGB file without transparency: blue-green-red order.
void DirectPngDecode(const std::vector<uint8_t>& file, const ImageRows& out) {
  MemReader r{file.data(), 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return;
  }
  png_set_read_fn(png, &r, PngRead);
  png_read_info(png, info);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  for (int y = 0; y < kSize; ++y) png_read_row(png, out.Row(y), nullptr);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
}

void BM_PngEncode(benchmark::State& state) {
  auto& p = Pic();
  TIOParamsVals params;
  params.PNG_Compression = kPngLevel;
  for (auto _ : state) {
    TMemoryStream s;
    TRVProgressRec progress;
    WritePNGStream(s, p.bitmap, params, nullptr, progress);
  }
  SetBytes(state);
}
BENCHMARK(BM_PngEncode)->Unit(benchmark::kMillisecond);

void BM_PngEncodeDirect(benchmark::State& state) {
  auto& p = Pic();
  for (auto _ : state) benchmark::DoNotOptimize(DirectPngEncode(p.pixels));
  SetBytes(state);
}
BENCHMARK(BM_PngEncodeDirect)->Unit(benchmark::kMillisecond);

void BM_PngDecode(benchmark::State& state) {
  auto s = StreamOf(DirectPngEncode(Pic().pixels));
  TRVBitmap out;
  auto decode = [&] {
    s->SetPosition(0);
    TIOParamsVals params;
    TRVProgressRec progress;
    ReadPNGStream(*s, out, params, false, progress);
  };
  decode();
  for (auto _ : state) decode();
  SetBytes(state);
}
BENCHMARK(BM_PngDecode)->Unit(benchmark::kMillisecond);

void BM_PngDecodeDirect(benchmark::State& state) {
  const auto file = DirectPngEncode(Pic().pixels);
  const ImageRows out;
  for (auto _ : state) DirectPngDecode(file, out);
  SetBytes(state);
}
BENCHMARK(BM_PngDecodeDirect)->Unit(benchmark::kMillisecond);

void BM_PngDecodeFresh(benchmark::State& state) {
  auto s = StreamOf(DirectPngEncode(Pic().pixels));
  for (auto _ : state) {
    s->SetPosition(0);
    TRVBitmap out;
    TIOParamsVals params;
    TRVProgressRec progress;
    ReadPNGStream(*s, out, params, false, progress);
  }
  SetBytes(state);
}
BENCHMARK(BM_PngDecodeFresh)->Unit(benchmark::kMillisecond);

void BM_PngDecodeDirectFresh(benchmark::State& state) {
  const auto file = DirectPngEncode(Pic().pixels);
  for (auto _ : state) {
    const ImageRows out(false);
    DirectPngDecode(file, out);
  }
  SetBytes(state);
}
BENCHMARK(BM_PngDecodeDirectFresh)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- JPEG

std::vector<uint8_t> DirectJpegEncode(const std::vector<uint8_t>& pixels) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buf = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buf, &size);
  c.image_width = kSize;
  c.image_height = kSize;
  c.input_components = 3;
  c.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&c);
  jpeg_set_colorspace(&c, JCS_YCbCr);
  c.dct_method = JDCT_ISLOW;
  jpeg_set_quality(&c, 80, TRUE);
  c.comp_info[0].h_samp_factor = c.comp_info[0].v_samp_factor = 2;
  jpeg_start_compress(&c, TRUE);
  for (int y = 0; y < kSize; ++y) {
    JSAMPROW row = const_cast<uint8_t*>(&pixels[size_t(y) * kSize * 3]);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::vector<uint8_t> out(buf, buf + size);
  free(buf);
  return out;
}

void DirectJpegDecode(const std::vector<uint8_t>& file, const ImageRows& out) {
  jpeg_decompress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_decompress(&c);
  jpeg_mem_src(&c, file.data(), file.size());
  jpeg_read_header(&c, TRUE);
  c.out_color_space = JCS_EXT_BGR;
  c.dct_method = JDCT_ISLOW;
  jpeg_start_decompress(&c);
  while (c.output_scanline < c.output_height) {
    JSAMPROW row = out.Row(int(c.output_scanline));
    jpeg_read_scanlines(&c, &row, 1);
  }
  jpeg_finish_decompress(&c);
  jpeg_destroy_decompress(&c);
}

void BM_JpegEncode(benchmark::State& state) {
  auto& p = Pic();
  TIOParamsVals params;
  for (auto _ : state) {
    TMemoryStream s;
    TRVProgressRec progress;
    WriteJpegStream(s, p.bitmap, params, progress);
  }
  SetBytes(state);
}
BENCHMARK(BM_JpegEncode)->Unit(benchmark::kMillisecond);

void BM_JpegEncodeDirect(benchmark::State& state) {
  auto& p = Pic();
  for (auto _ : state) benchmark::DoNotOptimize(DirectJpegEncode(p.pixels));
  SetBytes(state);
}
BENCHMARK(BM_JpegEncodeDirect)->Unit(benchmark::kMillisecond);

void BM_JpegDecode(benchmark::State& state) {
  auto s = StreamOf(DirectJpegEncode(Pic().pixels));
  TRVBitmap out;
  auto decode = [&] {
    s->SetPosition(0);
    TIOParamsVals params;
    TRVProgressRec progress;
    ReadJpegStream(*s, nullptr, out, false, -1, true, true, false, true, false, false, progress, params);
  };
  decode();
  for (auto _ : state) decode();
  SetBytes(state);
}
BENCHMARK(BM_JpegDecode)->Unit(benchmark::kMillisecond);

void BM_JpegDecodeDirect(benchmark::State& state) {
  const auto file = DirectJpegEncode(Pic().pixels);
  const ImageRows out;
  for (auto _ : state) DirectJpegDecode(file, out);
  SetBytes(state);
}
BENCHMARK(BM_JpegDecodeDirect)->Unit(benchmark::kMillisecond);

void BM_JpegDecodeFresh(benchmark::State& state) {
  auto s = StreamOf(DirectJpegEncode(Pic().pixels));
  for (auto _ : state) {
    s->SetPosition(0);
    TRVBitmap out;
    TIOParamsVals params;
    TRVProgressRec progress;
    ReadJpegStream(*s, nullptr, out, false, -1, true, true, false, true, false, false, progress, params);
  }
  SetBytes(state);
}
BENCHMARK(BM_JpegDecodeFresh)->Unit(benchmark::kMillisecond);

void BM_JpegDecodeDirectFresh(benchmark::State& state) {
  const auto file = DirectJpegEncode(Pic().pixels);
  for (auto _ : state) {
    const ImageRows out(false);
    DirectJpegDecode(file, out);
  }
  SetBytes(state);
}
BENCHMARK(BM_JpegDecodeDirectFresh)->Unit(benchmark::kMillisecond);

}  // namespace
