// Loading frame 99 of a 100-frame 512 x 512 animation through TRastovaIO against decoding each of
// the 100 frames once with ReadGIFStream.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "rastova/codecs/gif/giffilter.h"
#include "rastova/codecs/gif/giflzw.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/io/RastovaIOStartup.h"

namespace {

using namespace rv;

constexpr int kSize = 512;
constexpr int kFrames = 100;

// One GIF file per frame, joined: the first file without its trailer, then the image blocks of
// the others (their header and global table dropped).
const std::vector<uint8_t>& Animation() {
  static const std::vector<uint8_t> file = [] {
    RegisterRastovaIOStartup();
    RastovaLibraryStartup();
    std::vector<uint8_t> out;
    for (int k = 0; k < kFrames; ++k) {
      TRVBitmap frame(kSize, kSize, rv8p);
      for (int i = 0; i < 256; ++i) frame.SetPalette(i, TRGB{uint8_t(i), uint8_t(i * 3), uint8_t(255 - i)});
      for (int y = 0; y < kSize; ++y) {
        uint8_t* row = frame.GetScanLine(y);
        for (int x = 0; x < kSize; ++x) row[x] = uint8_t((x + y + k * 5) / 8 + ((x * y) >> 12));
      }
      TIOParamsVals params;
      params.GIF_LZWCompress = GIFLZWCompress;
      params.GIF_DelayTime = 4;
      TMemoryStream s;
      TRVProgressRec progress;
      WriteGIFStream(s, frame, params, progress);
      const std::vector<uint8_t>& one = s.Data();
      const size_t head = 13 + 768;
      out.insert(out.end(), one.begin() + (k == 0 ? 0 : long(head)), one.end() - 1);
    }
    out.push_back(0x3B);
    return out;
  }();
  return file;
}

void BM_LoadFrame99ThroughTheComponent(benchmark::State& state) {
  const auto& file = Animation();
  TRastovaIO io;
  for (auto _ : state) {
    TRVMemStream s(file.data(), int64_t(file.size()));
    io.Params.SetImageIndex(kFrames - 1);
    io.LoadFromStreamGIF(s);
    if (io.Aborting) state.SkipWithError("load failed");
  }
}
BENCHMARK(BM_LoadFrame99ThroughTheComponent)->Unit(benchmark::kMillisecond);

void BM_DecodeEveryFrameOnce(benchmark::State& state) {
  const auto& file = Animation();
  TRVBitmap frame;
  for (auto _ : state) {
    for (int k = 0; k < kFrames; ++k) {
      TRVMemStream s(file.data(), int64_t(file.size()));
      TIOParamsVals params;
      params.GIF_LZWDecompress = GIFLZWDecompress;
      params.SetImageIndex(k);
      std::unique_ptr<TRVMask> mask;
      TRVProgressRec progress;
      int32_t count = 0;
      ReadGIFStream(s, frame, count, params, progress, false, mask, false);
    }
  }
}
BENCHMARK(BM_DecodeEveryFrameOnce)->Unit(benchmark::kMillisecond);

}  // namespace
