// Loading and saving a 4096 x 4096 picture through TRastovaIO by file name, against calling the
// codec directly on the same file; and CMYK rows through the colour-managed conversion.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"
#include "rastova/codecs/png/pngfilt.h"
#include "rastova/codecs/tga/rvtgafil.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVColorConv.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/io/RastovaIOStartup.h"

namespace {

using namespace rv;

constexpr int32_t kSide = 4096;

struct Library {
  Library() {
    RegisterRastovaIOStartup();
    RastovaLibraryStartup();
  }
};

std::string Dir() {
  static const std::string dir = "/tmp/rvio-bench-" + std::to_string(::getpid());
  static const bool made = ::mkdir(dir.c_str(), 0700) == 0 || true;
  (void)made;
  return dir;
}

TRVBitmap& Picture() {
  static Library library;
  static std::unique_ptr<TRVBitmap> picture = [] {
    auto b = std::make_unique<TRVBitmap>(kSide, kSide, rv24RGB);
    for (int32_t y = 0; y < kSide; ++y) {
      uint8_t* row = b->GetScanLine(y);
      for (int32_t x = 0; x < kSide * 3; ++x)
        row[x] = static_cast<uint8_t>((x * 7 + y * 13 + (x * y >> 6)) & 255);
    }
    return b;
  }();
  return *picture;
}

std::string FileOf(int32_t type) { return Dir() + (type == ioTGA ? "/picture.tga" : "/picture.png"); }

// The file the load benchmarks read, written once.
const std::string& Prepared(int32_t type) {
  static std::string names[2];
  std::string& name = names[type == ioTGA ? 0 : 1];
  if (name.empty()) {
    name = FileOf(type) + ".in";
    TRastovaIO io(&Picture());
    io.Params.TGA_Compressed = false;
    io.SaveToFile(name + (type == ioTGA ? ".tga" : ".png"));
    name += type == ioTGA ? ".tga" : ".png";
  }
  return name;
}

void DirectWrite(int32_t type, const std::string& name) {
  TIOParamsVals params;
  params.TGA_Compressed = false;
  std::atomic<bool> aborting{false};
  TRVProgressRec progress(&aborting);
  TRVWideFileStream file(name, TRVWideFileStream::fmCreate);
  if (type == ioTGA)
    WriteTGAStream(file, Picture(), params, nullptr, progress);
  else
    WritePNGStream(file, Picture(), params, nullptr, progress);
}

void DirectRead(int32_t type, const std::string& name, TRVBitmap& target) {
  TIOParamsVals params;
  std::atomic<bool> aborting{false};
  TRVProgressRec progress(&aborting);
  TRVWideFileStream file(name, TRVWideFileStream::fmOpenRead);
  std::unique_ptr<TRVMask> mask;
  if (type == ioTGA)
    ReadTGAStream(file, target, params, false, mask, false, progress);
  else
    ReadPNGStream(file, target, params, false, progress);
}

void BM_SaveDirect(benchmark::State& state) {
  const int32_t type = static_cast<int32_t>(state.range(0));
  Picture();
  for (auto _ : state) DirectWrite(type, FileOf(type));
}

void BM_SaveThroughIO(benchmark::State& state) {
  const int32_t type = static_cast<int32_t>(state.range(0));
  TRastovaIO io(&Picture());
  io.Params.TGA_Compressed = false;
  for (auto _ : state) {
    io.SaveToFile(FileOf(type));
    if (io.Aborting) state.SkipWithError("save failed");
  }
}

void BM_LoadDirect(benchmark::State& state) {
  const int32_t type = static_cast<int32_t>(state.range(0));
  const std::string& name = Prepared(type);
  TRVBitmap target;
  for (auto _ : state) DirectRead(type, name, target);
}

void BM_LoadThroughIO(benchmark::State& state) {
  const int32_t type = static_cast<int32_t>(state.range(0));
  const std::string& name = Prepared(type);
  TRVBitmap target;
  TRastovaIO io(&target);
  for (auto _ : state) {
    io.LoadFromFile(name);
    if (io.Aborting) state.SkipWithError("load failed");
  }
}

// A 12-megapixel CMYK picture converted row by row to 24-bit, with and without the profile.
void BM_CMYKRows12MP(benchmark::State& state) {
  static Library library;
  const bool managed = state.range(0) != 0;
  const bool saved = CMYKConversionOn;
  CMYKConversionOn = managed;
  if (managed && !LoadCMYKProfile()) state.SkipWithError("no CMYK profile");
  constexpr int32_t w = 4000, h = 3000;
  std::vector<uint8_t> cmyk(size_t(w) * 4), bgr(size_t(w) * 3);
  for (int32_t x = 0; x < w * 4; ++x) cmyk[size_t(x)] = static_cast<uint8_t>(x * 13);
  for (auto _ : state)
    for (int32_t y = 0; y < h; ++y) ConvertPixelRow(cmyk.data(), 2, bgr.data(), nullptr, w, 1);
  CMYKConversionOn = saved;
}

// A 12-megapixel CMYK JPEG loaded through the component, with and without the CMYK profile.
const std::string& CMYKJpeg() {
  static Library library;
  static const std::string name = [] {
    const std::string n = Dir() + "/cmyk.jpg";
    TRVBitmap b(4000, 3000, rv24RGB);
    for (int32_t y = 0; y < 3000; ++y) {
      uint8_t* row = b.GetScanLine(y);
      for (int32_t x = 0; x < 4000 * 3; ++x)
        row[x] = static_cast<uint8_t>((x / 3 + y * 2 + (x % 3) * 85) & 255);
    }
    const bool saved = CMYKConversionOn;
    CMYKConversionOn = false;
    TRastovaIO io(&b);
    io.Params.JPEG_ColorSpace = 3;  // CMYK
    io.Params.JPEG_Quality = 90;
    io.SaveToFile(n);
    CMYKConversionOn = saved;
    return n;
  }();
  return name;
}

void BM_CMYKJpegLoad12MP(benchmark::State& state) {
  const std::string& name = CMYKJpeg();
  const bool saved = CMYKConversionOn;
  CMYKConversionOn = state.range(0) != 0;
  TRVBitmap target;
  TRastovaIO io(&target);
  for (auto _ : state) {
    io.LoadFromFile(name);
    if (io.Aborting) state.SkipWithError("load failed");
  }
  CMYKConversionOn = saved;
}

BENCHMARK(BM_SaveDirect)->Arg(ioTGA)->Arg(ioPNG)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveThroughIO)->Arg(ioTGA)->Arg(ioPNG)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDirect)->Arg(ioTGA)->Arg(ioPNG)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadThroughIO)->Arg(ioTGA)->Arg(ioPNG)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CMYKRows12MP)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CMYKJpegLoad12MP)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
