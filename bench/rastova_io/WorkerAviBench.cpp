// An asynchronous load of a 4096 x 4096 Targa file followed by WaitThreads, against the same
// load in the calling thread; and one 1920 x 1080 uncompressed AVI frame loaded through
// LoadAVIFrame, against a memcpy of its pixels.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStartup.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/io/RastovaIOStartup.h"
#include "rastova/io/tests/AviTools.h"

namespace {

using namespace rv;

std::string BenchDir() {
  static const std::string dir = [] {
    RegisterRastovaIOStartup();
    RastovaLibraryStartup();
    std::string d = "/tmp/rvio-worker-bench-" + std::to_string(::getpid());
    ::mkdir(d.c_str(), 0700);
    return d;
  }();
  return dir;
}

const std::string& TargaFile() {
  static const std::string name = [] {
    const std::string n = BenchDir() + "/picture.tga";
    TRVBitmap b(4096, 4096, rv24RGB);
    for (int32_t y = 0; y < 4096; ++y) {
      uint8_t* row = b.GetScanLine(y);
      for (int32_t x = 0; x < 4096 * 3; ++x) row[x] = uint8_t((x * 7 + y * 13 + (x * y >> 6)) & 255);
    }
    TRastovaIO io(&b);
    io.Params.TGA_Compressed = false;
    io.SaveToFileTGA(n);
    return n;
  }();
  return name;
}

void TargaLoad(benchmark::State& state, bool asynchronous) {
  const std::string& name = TargaFile();
  TRVBitmap target;
  TRastovaIO io(&target);
  io.Asynchronous = asynchronous;
  for (auto _ : state) {
    io.LoadFromFileTGA(name);
    io.WaitThreads(false);
    if (io.Aborting) state.SkipWithError("load failed");
  }
}
void BM_TargaLoadInCallingThread(benchmark::State& state) { TargaLoad(state, false); }
void BM_TargaLoadOnWorker(benchmark::State& state) { TargaLoad(state, true); }
BENCHMARK(BM_TargaLoadInCallingThread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TargaLoadOnWorker)->Unit(benchmark::kMillisecond)->UseRealTime();

const std::string& AviFile() {
  static const std::string name = [] {
    const std::string n = BenchDir() + "/clip.avi";
    iotest::AviSpec spec;
    spec.width = 1920;
    spec.height = 1080;
    spec.frames = 1;
    const std::vector<uint8_t> bytes = iotest::MakeAvi(spec);
    std::ofstream(n, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return n;
  }();
  return name;
}

void BM_LoadAVIFrame(benchmark::State& state) {
  TRastovaIO io;
  if (io.OpenAVIFile(AviFile()) != 1) state.SkipWithError("cannot open");
  for (auto _ : state) {
    io.LoadAVIFrame(0);
    if (io.Aborting) state.SkipWithError("load failed");
  }
}
BENCHMARK(BM_LoadAVIFrame)->Unit(benchmark::kMillisecond);

void BM_MemcpyOfAFrame(benchmark::State& state) {
  const size_t size = 1920 * 1080 * 3;
  std::vector<uint8_t> from(size, 7), to(size);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), size);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MemcpyOfAFrame)->Unit(benchmark::kMillisecond);

}  // namespace
