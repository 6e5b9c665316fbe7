// Loading a 32 MB PNG from a loopback HTTP server through LoadFromFile of its address, against
// downloading it with a bare libcurl transfer into memory and calling LoadFromStream.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "rastova/core/RVStartup.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/io/RastovaIOStartup.h"
#include "rastova/io/tests/LoopbackServer.h"

namespace {

using namespace rv;

struct Fixture {
  Fixture() {
    RegisterRastovaIOStartup();
    RastovaLibraryStartup();
    dir = "/tmp/rvio-url-bench-" + std::to_string(::getpid());
    ::mkdir(dir.c_str(), 0700);
    ::mkdir((dir + "/www").c_str(), 0700);
    // Noise does not compress: about 32 MB of PNG.
    const std::string script =
        "import numpy\nfrom PIL import Image\n"
        "a = numpy.random.default_rng(7).integers(0, 256, (3300, 3400, 3), dtype=numpy.uint8)\n"
        "Image.fromarray(a, 'RGB').save('" +
        dir + "/www/big.png', compress_level=1)\n";
    const std::string path = dir + "/make.py";
    FILE* f = std::fopen(path.c_str(), "w");
    std::fputs(script.c_str(), f);
    std::fclose(f);
    made = std::system(("/usr/bin/python3 " + path).c_str()) == 0;
    server = std::make_unique<iotest::LoopbackServer>("files", dir, 10000, 900.0);
    url = server->Url("/big.png");
  }
  ~Fixture() {
    server.reset();
    std::system(("rm -rf " + dir).c_str());
  }
  std::string dir, url;
  bool made = false;
  std::unique_ptr<iotest::LoopbackServer> server;
};

Fixture& Setup() {
  static Fixture fixture;
  return fixture;
}

size_t Append(char* data, size_t size, size_t count, void* user) {
  static_cast<TMemoryStream*>(user)->Write(data, static_cast<int64_t>(size * count));
  return size * count;
}

void BM_LoadFromFileAddress(benchmark::State& state) {
  Fixture& f = Setup();
  if (!f.made || f.server->Port() == 0) return state.SkipWithError("no picture or server");
  for (auto _ : state) {
    TRastovaIO io;
    io.LoadFromFile(f.url);
    if (io.Aborting) return state.SkipWithError("load failed");
    benchmark::DoNotOptimize(io.GetAttachedRVBitmap());
  }
}
BENCHMARK(BM_LoadFromFileAddress)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CurlThenLoadFromStream(benchmark::State& state) {
  Fixture& f = Setup();
  if (!f.made || f.server->Port() == 0) return state.SkipWithError("no picture or server");
  for (auto _ : state) {
    TMemoryStream stream;
    CURL* h = curl_easy_init();
    curl_easy_setopt(h, CURLOPT_URL, f.url.c_str());
    curl_easy_setopt(h, CURLOPT_PROXY, "");
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, Append);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &stream);
    const CURLcode rc = curl_easy_perform(h);
    curl_easy_cleanup(h);
    if (rc != CURLE_OK) return state.SkipWithError("download failed");
    stream.SetPosition(0);
    TRastovaIO io;
    io.LoadFromStream(stream);
    if (io.Aborting) return state.SkipWithError("load failed");
    benchmark::DoNotOptimize(io.GetAttachedRVBitmap());
  }
}
BENCHMARK(BM_CurlThenLoadFromStream)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
