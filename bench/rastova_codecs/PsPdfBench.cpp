// The page writers against the coders they are built on: a PDF page of an A4 300 dpi 1-bit image
// in Group 4 against the fax encoder alone on the same rows, and a PostScript page of a 4096 x 4096
// colour image (run-length and ASCII85) against RunLengthEncode and ASCII85Encode alone on the same
// colour planes. The document frame should add little beyond the coders (goal: within 1.1x); the
// PostScript page keeps its text in a memory stream until its length is known, and the coders
// writing into such a stream are measured as well.
#include <benchmark/benchmark.h>

#include <vector>

#include "BenchPicture.h"
#include "rastova/codecs/IOParamsVals.h"
#include "rastova/codecs/pages/pdffilt.h"
#include "rastova/codecs/pages/psfilt.h"
#include "rastova/codecs/tiff/tifccitt.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVLists.h"
#include "rastova/core/RVProgressRec.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace {

using namespace rv;

constexpr int kA4W = 2480, kA4H = 3508, kColorSize = 4096;

// A page of "text": bands of small black marks on white (rv1g: 1 is white).
TRVBitmap& Bilevel() {
  static TRVBitmap b;
  if (b.GetWidth() == 0) {
    TifCCITTStartup();
    b.Allocate(kA4W, kA4H, rv1g);
    for (int y = 0; y < kA4H; ++y)
      for (int x = 0; x < kA4W; ++x) {
        const bool line = (y % 50) < 30 && x > 200 && x < kA4W - 200;
        const uint32_t h = uint32_t(x / 6 + 977 * (y / 8)) * 2654435761u;
        b.SetPixels_rv1g(x, y, !(line && (h >> 29) < 3 && (x + y) % 5 != 0));
      }
  }
  return b;
}

TRVBitmap& Color() {
  static TRVBitmap b;
  if (b.GetWidth() == 0) rv::bench::FillBenchPicture(b, kColorSize);
  return b;
}

// A one-page document into a stream that keeps nothing.
template <class Write>
void RunPageWriter(benchmark::State& state, TRVBitmap& bitmap, Write&& write) {
  for (auto _ : state) {
    TNulStream out;
    TIOParamsVals params;
    TRVProgressRec progress;
    write(out, bitmap, params, progress);
    if (progress.IsAborting()) state.SkipWithError("writing failed");
    benchmark::DoNotOptimize(out.GetSize());
  }
}

void BM_PDFGroup4Page_Ours(benchmark::State& state) {
  RunPageWriter(state, Bilevel(),
                [](TStream& out, TRVBitmap& b, TIOParamsVals& params, TRVProgressRec& progress) {
                  params.PDF_Compression = 2;
                  WritePDFStream(out, b, params, progress);
                });
}

void BM_PDFGroup4Page_FaxEncoder(benchmark::State& state) {
  TRVBitmap& b = Bilevel();
  for (auto _ : state) {
    TMemoryStream coded;
    bool error = false;
    std::vector<uint8_t> reference;
    int32_t pendingCount = 0;
    uint8_t pendingByte = 0;
    for (int y = 0; y < kA4H; ++y)
      FaxEncodeG4Row(b.GetScanLine(y), kA4W, coded, 1, error, reference, pendingCount, pendingByte);
    FaxEncodeG4Row(nullptr, kA4W, coded, 1, error, reference, pendingCount, pendingByte);
    benchmark::DoNotOptimize(coded.GetSize());
  }
}

void BM_PSColorPage_Ours(benchmark::State& state) {
  RunPageWriter(state, Color(),
                [](TStream& out, TRVBitmap& b, TIOParamsVals& params, TRVProgressRec& progress) {
                  params.PS_Compression = 0;
                  WritePSStream(out, b, params, progress);
                });
}

// The coders alone; with `kept`, their text also goes into a fresh memory stream with room for the
// whole page, as the page frame keeps it until the BeginData count is known.
void EncodeColorPlanes(benchmark::State& state, bool kept) {
  TRVBitmap& b = Color();
  // The colour planes of every row, made before timing.
  std::vector<uint8_t> planes(size_t(kColorSize) * kColorSize * 3);
  for (int y = 0; y < kColorSize; ++y) {
    const uint8_t* row = b.GetScanLine(y);
    for (int c = 0; c < 3; ++c)
      for (int x = 0; x < kColorSize; ++x) planes[(size_t(y) * 3 + c) * kColorSize + x] = row[3 * x + 2 - c];
  }
  std::vector<uint8_t> packed(static_cast<size_t>(RunLengthEncodeBound(kColorSize)));
  const size_t groups = (packed.size() + 3) / 4;
  std::vector<uint8_t> text(groups * 5 + 2 * (groups / 15 + 2) + 8);
  for (auto _ : state) {
    TMemoryStream memory;
    if (kept) memory.Reserve(int64_t(kColorSize) * 3 * int64_t(text.size()));
    int64_t total = 0;
    for (int i = 0; i < kColorSize * 3; ++i) {
      const int64_t n = RunLengthEncode(planes.data() + size_t(i) * kColorSize, kColorSize, packed.data());
      const uint8_t* src = packed.data();
      uint8_t* dst = text.data();
      int64_t counter = 0;
      const int64_t written = ASCII85Encode(src, n, dst, counter);
      if (kept) memory.Write(text.data(), written);
      total += written;
    }
    benchmark::DoNotOptimize(total);
    benchmark::DoNotOptimize(memory.GetSize());
  }
}
void BM_PSColorPage_Encoders(benchmark::State& state) { EncodeColorPlanes(state, false); }
void BM_PSColorPage_EncodersIntoMemory(benchmark::State& state) { EncodeColorPlanes(state, true); }

BENCHMARK(BM_PDFGroup4Page_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PDFGroup4Page_FaxEncoder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PSColorPage_Ours)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PSColorPage_Encoders)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PSColorPage_EncodersIntoMemory)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
