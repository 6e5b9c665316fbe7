// One preview of the save-parameters dialog on a 4000 x 3000 image against the work it stands
// on: on the JPEG page against SaveToStreamJpeg and LoadFromStreamJpeg of the image alone, and
// on the TIFF page (256 colours) against SaveToStreamTIFF into a TNulStream plus the colour
// reduction of a copy (the copy made outside the timing).
#include <benchmark/benchmark.h>

#include <memory>

#include "BenchApp.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVLists.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RastovaProc.h"
#include "rastova/core/RastovaProcColor.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/view/core/RastovaView.h"
#include "rastova/view/previews/IOPreviews.h"

namespace {

using viewbench::App;

rv::TRVBitmap& Image() {
  static rv::TRVBitmap* b = [] {
    auto* l = new rv::TRVBitmap(4000, 3000, rv::rv24RGB);
    for (int y = 0; y < 3000; ++y) {
      uint8_t* p = l->GetScanLine(y);
      for (int x = 0; x < 4000; ++x) {
        p[3 * x] = uint8_t(x / 16 + ((x * y) >> 9 & 7));
        p[3 * x + 1] = uint8_t(y / 12 + ((x ^ y) & 3));
        p[3 * x + 2] = uint8_t((x + y) / 28);
      }
    }
    return l;
  }();
  return *b;
}

void SetTIFF(rv::TIOParamsVals& p) {
  p.FileType = rv::ioTIFF;
  p.TIFF_Compression = 0;
  p.TIFF_Photometric = 3;
  p.BitsPerSample = 8;
  p.SamplesPerPixel = 1;
}

// The dialog on the image, activated on its one page.
std::unique_ptr<rv::TfIOPreviews> Dialog(rv::TIOParamsVals& params, uint16_t page) {
  auto form = std::make_unique<rv::TfIOPreviews>();
  form->Params = &params;
  form->Rastova1->SetExternalBitmap(&Image());
  form->Prepare(page);
  form->FormActivate();
  return form;
}

void BM_DialogPreviewJpeg(benchmark::State& state) {
  App();
  rv::TIOParamsVals params;
  params.FileType = rv::ioJPEG;
  params.JPEG_Quality = 80;
  auto form = Dialog(params, rv::ppJPEG);
  for (auto _ : state) form->MakePreview();
  form->Rastova1->SetExternalBitmap(nullptr);
}

void BM_SaveLoadJpeg(benchmark::State& state) {
  App();
  rv::TRastovaIO source(&Image()), result;
  source.Params.JPEG_Quality = 80;
  for (auto _ : state) {
    rv::TMemoryStream stream;
    source.SaveToStreamJpeg(stream);
    stream.Seek(0, rv::soBeginning);
    result.LoadFromStreamJpeg(stream);
  }
}

void BM_DialogPreviewTIFF(benchmark::State& state) {
  App();
  rv::TIOParamsVals params;
  SetTIFF(params);
  auto form = Dialog(params, rv::ppTIFF);
  for (auto _ : state) form->MakePreview();
  form->Rastova1->SetExternalBitmap(nullptr);
}

void BM_SaveTIFFAndReduce(benchmark::State& state) {
  App();
  rv::TRastovaIO source(&Image());
  SetTIFF(source.Params);
  rv::TRVBitmap copy;
  rv::TRastovaProc proc;
  std::vector<rv::TRGB> palette;
  for (auto _ : state) {
    rv::TNulStream counter;
    source.SaveToStreamTIFF(counter);
    state.PauseTiming();
    copy.Assign(&Image());
    state.ResumeTiming();
    proc.SetAttachedRVBitmap(&copy);
    palette.clear();
    rv::ConvertToPalette(proc, 256, palette, false);
    benchmark::DoNotOptimize(counter.GetSize());
  }
}

}  // namespace

BENCHMARK(BM_DialogPreviewJpeg)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SaveLoadJpeg)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_DialogPreviewTIFF)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SaveTIFFAndReduce)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
