// JPEG 2000: decoding and encoding a 4096 x 4096 RGB picture through our codec against OpenJPEG
// called directly on the same data with the same settings (lossless, six resolution levels,
// the colour transform). DICOM: decoding one 2048 x 2048 16-bit lossless JPEG frame; the file is
// made by dcmtk and named by ZEPHOR_DICOM_BENCH_FILE, and compare.sh sets it and times dcmtk's own
// decoder (dcmdjpeg) on the same file.
#include <benchmark/benchmark.h>
#include <openjpeg.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "BenchPicture.h"
#include "rastova/codecs/IOParamsVals.h"
#include "rastova/codecs/dicom/rvdicom.h"
#include "rastova/codecs/j2000/rvj2000.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVProgressRec.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RVStream.h"

namespace {

using namespace rv;

constexpr int kSize = 4096;

// OpenJPEG over a block of memory, as the direct side reads and writes.
struct TMemory {
  std::vector<uint8_t>* data;
  size_t at = 0;
};
OPJ_SIZE_T MemRead(void* buffer, OPJ_SIZE_T n, void* user) {
  auto* m = static_cast<TMemory*>(user);
  if (m->at >= m->data->size()) return static_cast<OPJ_SIZE_T>(-1);
  n = std::min<OPJ_SIZE_T>(n, m->data->size() - m->at);
  std::memcpy(buffer, m->data->data() + m->at, n);
  m->at += n;
  return n;
}
OPJ_SIZE_T MemWrite(void* buffer, OPJ_SIZE_T n, void* user) {
  auto* m = static_cast<TMemory*>(user);
  if (m->at + n > m->data->size()) m->data->resize(m->at + n);
  std::memcpy(m->data->data() + m->at, buffer, n);
  m->at += n;
  return n;
}
OPJ_OFF_T MemSkip(OPJ_OFF_T n, void* user) {
  auto* m = static_cast<TMemory*>(user);
  m->at = static_cast<size_t>(static_cast<OPJ_OFF_T>(m->at) + n);
  return n;
}
OPJ_BOOL MemSeek(OPJ_OFF_T n, void* user) {
  static_cast<TMemory*>(user)->at = static_cast<size_t>(n);
  return OPJ_TRUE;
}
opj_stream_t* MemStream(TMemory& m, bool input) {
  opj_stream_t* s = opj_stream_create(1 << 16, input ? OPJ_TRUE : OPJ_FALSE);
  opj_stream_set_user_data(s, &m, nullptr);
  if (input) {
    opj_stream_set_read_function(s, MemRead);
    opj_stream_set_user_data_length(s, m.data->size());
  } else {
    opj_stream_set_write_function(s, MemWrite);
  }
  opj_stream_set_skip_function(s, MemSkip);
  opj_stream_set_seek_function(s, MemSeek);
  return s;
}

struct Fixture {
  TRVBitmap bitmap;
  std::vector<uint8_t> j2k;             // our lossless code stream of the picture
  std::vector<OPJ_INT32> planes[3];     // the same picture as OpenJPEG's component samples

  Fixture() {
    RegisterRastovaStartupStep(TRVStartupSlot::J2000, "RVJ2000", RVJ2000Startup, RVJ2000Shutdown);
    RastovaLibraryStartup();
    bench::FillBenchPicture(bitmap, kSize);
    TIOParamsVals params;
    TMemoryStream out;
    TRVProgressRec progress;
    WriteJ2000Stream(out, bitmap, params, progress, 1);
    j2k = out.Data();
    for (auto& p : planes) p.resize(size_t(kSize) * kSize);
    for (int y = 0; y < kSize; ++y) {
      const uint8_t* row = bitmap.GetScanLine(y);
      for (int x = 0; x < kSize; ++x)
        for (int c = 0; c < 3; ++c) planes[c][size_t(y) * kSize + x] = row[3 * x + 2 - c];
    }
  }

  // OpenJPEG takes over the samples of the image it encodes, so each encoding gets its own.
  opj_image_t* MakeImage() {
    opj_image_cmptparm_t parts[3];
    std::memset(parts, 0, sizeof parts);
    for (auto& c : parts) {
      c.dx = c.dy = 1;
      c.w = c.h = kSize;
      c.prec = 8;
    }
    opj_image_t* image = opj_image_create(3, parts, OPJ_CLRSPC_SRGB);
    image->x1 = image->y1 = kSize;
    for (int c = 0; c < 3; ++c)
      std::memcpy(image->comps[c].data, planes[c].data(), planes[c].size() * sizeof(OPJ_INT32));
    return image;
  }
};

Fixture& Data() {
  static Fixture f;
  return f;
}

void BM_J2000Decode_Ours(benchmark::State& state) {
  Fixture& f = Data();
  TRVBitmap out;
  for (auto _ : state) {
    TRVMemStream s(f.j2k.data(), int64_t(f.j2k.size()));
    TIOParamsVals params;
    TRVProgressRec progress;
    ReadJ2000Stream(s, out, params, progress, false);
    if (progress.IsAborting()) state.SkipWithError("decoding failed");
    benchmark::DoNotOptimize(out.GetScanLine(0));
  }
}

void BM_J2000Decode_OpenJPEG(benchmark::State& state) {
  Fixture& f = Data();
  for (auto _ : state) {
    TMemory m{&f.j2k};
    opj_stream_t* s = MemStream(m, true);
    opj_codec_t* codec = opj_create_decompress(OPJ_CODEC_J2K);
    opj_dparameters_t p;
    opj_set_default_decoder_parameters(&p);
    opj_setup_decoder(codec, &p);
    opj_image_t* image = nullptr;
    if (!opj_read_header(s, codec, &image) || !opj_decode(codec, s, image) || !opj_end_decompress(codec, s))
      state.SkipWithError("decoding failed");
    benchmark::DoNotOptimize(image);
    opj_image_destroy(image);
    opj_destroy_codec(codec);
    opj_stream_destroy(s);
  }
}

void BM_J2000Encode_Ours(benchmark::State& state) {
  Fixture& f = Data();
  for (auto _ : state) {
    TMemoryStream out;
    TIOParamsVals params;
    TRVProgressRec progress;
    WriteJ2000Stream(out, f.bitmap, params, progress, 1);
    if (progress.IsAborting()) state.SkipWithError("encoding failed");
    benchmark::DoNotOptimize(out.GetSize());
  }
}

void BM_J2000Encode_OpenJPEG(benchmark::State& state) {
  Fixture& f = Data();
  for (auto _ : state) {
    std::vector<uint8_t> data;
    TMemory m{&data};
    opj_stream_t* s = MemStream(m, false);
    opj_codec_t* codec = opj_create_compress(OPJ_CODEC_J2K);
    opj_cparameters_t p;
    opj_set_default_encoder_parameters(&p);
    p.tcp_numlayers = 1;
    p.cp_disto_alloc = 1;
    p.tcp_rates[0] = 0;
    p.numresolution = 6;
    p.tcp_mct = 1;
    opj_image_t* image = f.MakeImage();
    opj_setup_encoder(codec, &p, image);
    if (!opj_start_compress(codec, image, s) || !opj_encode(codec, s) || !opj_end_compress(codec, s))
      state.SkipWithError("encoding failed");
    benchmark::DoNotOptimize(data.size());
    opj_image_destroy(image);
    opj_destroy_codec(codec);
    opj_stream_destroy(s);
  }
}

void BM_DicomLossless2048(benchmark::State& state) {
  const char* path = std::getenv("ZEPHOR_DICOM_BENCH_FILE");
  if (!path) {
    state.SkipWithError("ZEPHOR_DICOM_BENCH_FILE is not set (bench/rastova_codecs/compare.sh makes the file)");
    return;
  }
  std::ifstream f(path, std::ios::binary);
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  Data();
  for (auto _ : state) {
    TRVMemStream s(file.data(), int64_t(file.size()));
    TIOParamsVals params;
    TRVBitmap out;
    TRVProgressRec progress;
    ReadDICOMStream(s, params, out, progress, false);
    if (progress.IsAborting() || out.GetWidth() != 2048) state.SkipWithError("decoding failed");
    benchmark::DoNotOptimize(out.GetScanLine(0));
  }
}

BENCHMARK(BM_J2000Decode_Ours)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_J2000Decode_OpenJPEG)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_J2000Encode_Ours)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_J2000Encode_OpenJPEG)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_DicomLossless2048)->Unit(benchmark::kMillisecond);

}  // namespace
