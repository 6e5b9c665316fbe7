// The layer stream's image formats and the marching border of a mask selection, each against
// the plain work it stands on: one 4000 x 3000 24-bit layer with alpha saved and loaded as
// format -1 (against zlib's compress2 / uncompress at the default level on the same raw
// bytes), -2 (against a memcpy of those bytes) and 8 (against the I/O component's PNG writer
// on the image alone); and one animation tick of the border of a magic-wand-like selection of
// a 4096 x 4096 image in a 1920 x 1080 view (against writing as many pixels into the surface).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <QApplication>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVRawStream.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVLayerStream.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/view/RastovaViewStartup.h"
#include "BenchApp.h"
#include "rastova/view/core/RastovaView.h"

namespace {

using viewbench::App;

// A photograph-like layer: smooth gradients with some texture, and a soft alpha.
rv::TRVBitmap& Layer() {
  static rv::TRVBitmap* b = [] {
    auto* l = new rv::TRVBitmap(4000, 3000, rv::rv24RGB);
    rv::TRVBitmap* a = l->AlphaBitmap();
    for (int y = 0; y < 3000; ++y) {
      uint8_t* p = l->GetScanLine(y);
      for (int x = 0; x < 4000; ++x) {
        p[3 * x] = uint8_t(x / 16 + ((x * y) >> 9 & 7));
        p[3 * x + 1] = uint8_t(y / 12 + ((x ^ y) & 3));
        p[3 * x + 2] = uint8_t((x + y) / 28);
      }
      uint8_t* q = a->GetScanLine(y);
      for (int x = 0; x < 4000; ++x) q[x] = uint8_t(255 - ((x + y) >> 5));
    }
    return l;
  }();
  return *b;
}

const std::vector<uint8_t>& RawBytes() {
  static std::vector<uint8_t> raw = [] {
    rv::TMemoryStream s;
    rv::SaveRawToStream(Layer(), s);
    return s.Data();
  }();
  return raw;
}

void BM_LayerSaveZlib(benchmark::State& state) {
  for (auto _ : state) {
    rv::TMemoryStream s;
    rv::WriteLayerRawImage(s, Layer(), true);
    benchmark::DoNotOptimize(s.Memory());
  }
}
void BM_Compress2(benchmark::State& state) {
  const auto& raw = RawBytes();
  std::vector<uint8_t> out(compressBound(raw.size()));
  for (auto _ : state) {
    uLongf n = out.size();
    compress2(out.data(), &n, raw.data(), raw.size(), Z_DEFAULT_COMPRESSION);
    benchmark::DoNotOptimize(out.data());
  }
}
const std::vector<uint8_t>& Stored(bool compressed) {
  static std::vector<uint8_t> c, r;
  std::vector<uint8_t>& v = compressed ? c : r;
  if (v.empty()) {
    rv::TMemoryStream s;
    rv::WriteLayerRawImage(s, Layer(), compressed);
    v = s.Data();
  }
  return v;
}
void BM_LayerLoadZlib(benchmark::State& state) {
  const auto& data = Stored(true);
  for (auto _ : state) {
    rv::TRVMemStream s(data.data(), int64_t(data.size()));
    rv::TRVBitmap b;
    rv::ReadLayerRawImage(s, b, true);
    benchmark::DoNotOptimize(b.GetScanLine(0));
  }
}
void BM_Uncompress(benchmark::State& state) {
  const auto& raw = RawBytes();
  const auto& stored = Stored(true);
  std::vector<uint8_t> out(raw.size());
  for (auto _ : state) {
    uLongf n = out.size();
    uncompress(out.data(), &n, stored.data() + 4, stored.size() - 4);
    benchmark::DoNotOptimize(out.data());
  }
}
void BM_LayerSaveRaw(benchmark::State& state) {
  for (auto _ : state) {
    rv::TMemoryStream s;
    rv::WriteLayerRawImage(s, Layer(), false);
    benchmark::DoNotOptimize(s.Memory());
  }
}
void BM_LayerLoadRaw(benchmark::State& state) {
  const auto& data = Stored(false);
  for (auto _ : state) {
    rv::TRVMemStream s(data.data(), int64_t(data.size()));
    rv::TRVBitmap b;
    rv::ReadLayerRawImage(s, b, false);
    benchmark::DoNotOptimize(b.GetScanLine(0));
  }
}
void BM_Memcpy(benchmark::State& state) {
  const auto& raw = RawBytes();
  for (auto _ : state) {
    std::vector<uint8_t> out(raw.size());
    std::memcpy(out.data(), raw.data(), raw.size());
    benchmark::DoNotOptimize(out.data());
  }
}
void BM_LayerSavePNG(benchmark::State& state) {
  App();
  rv::TRVLayerProps props;
  for (auto _ : state) {
    rv::TMemoryStream s;
    rv::WriteLayerStream(s, 8, {{&props, &Layer()}});
    benchmark::DoNotOptimize(s.Memory());
  }
}
void BM_SaveToStreamPNG(benchmark::State& state) {
  App();
  for (auto _ : state) {
    rv::TMemoryStream s;
    rv::TRastovaIO io(&Layer());
    io.SaveToStreamPNG(s);
    benchmark::DoNotOptimize(s.Memory());
  }
}

// ---- the border of a mask selection

struct TBorderView {
  bool appReady = (App(), true);
  QWidget parent;
  rv::TRastovaView* view;
  int64_t borderPixels = 0;
  TBorderView() {
    parent.resize(2000, 1200);
    view = new rv::TRastovaView(&parent);
    view->WriteBorderStyle(platform::bsNone);
    view->WriteScrollBars(rv::ssNone);
    view->resize(1920, 1080);
    rv::TRVBitmap& b = *view->GetRVBitmap();
    b.Allocate(4096, 4096, rv::rv24RGB);
    for (int y = 0; y < 4096; ++y) std::memset(b.GetScanLine(y), (y / 64) & 1 ? 200 : 40, 4096 * 3);
    view->Update();
    view->PaintPendingNow();
    // A blotchy region with a long border, as a magic wand leaves on a textured picture.
    rv::TRVMask& m = *view->FSelectionMask;
    for (int y = 0; y < 1080; ++y)
      for (int x = 0; x < 1920; ++x)
        if (((x / 7) * 13 + (y / 5) * 7 + (x * y) / 997) % 5 < 2) m.SetPixel(x, y, 1);
    m.RecomputeBounds();
    view->FSelected = true;
    view->FSelectionPolygon->Visible = true;
    // The border: selected pixels with an unselected neighbour.
    for (int y = 0; y < 1080; ++y)
      for (int x = 0; x < 1920; ++x)
        if (m.IsPointInside(x, y) && (!m.IsPointInside(x - 1, y) || !m.IsPointInside(x + 1, y) ||
                                      !m.IsPointInside(x, y - 1) || !m.IsPointInside(x, y + 1)))
          ++borderPixels;
  }
};

void BM_MaskBorderTick(benchmark::State& state) {
  TBorderView b;
  for (auto _ : state) {
    b.view->AnimateSelections(b.view->AnimTimer(), true);
    benchmark::DoNotOptimize(b.view->Surface().Bits());
  }
  state.counters["border_px"] = double(b.borderPixels);
}
void BM_SurfaceWrites(benchmark::State& state) {
  TBorderView b;
  platform::TBitmap& s = b.view->Surface();
  const int64_t n = b.borderPixels;
  for (auto _ : state) {
    uint8_t* bits = s.Bits();
    const int64_t stride = s.BytesPerLine();
    for (int64_t i = 0; i < n; ++i) {
      const int64_t x = (i * 7) % 1920, y = (i / 1920 + i * 3) % 1080;
      uint8_t* p = bits + y * stride + x * 4;
      p[0] = p[1] = p[2] = uint8_t(i);
    }
    benchmark::DoNotOptimize(bits);
  }
}

}  // namespace

BENCHMARK(BM_LayerSaveZlib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Compress2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LayerLoadZlib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Uncompress)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LayerSaveRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LayerLoadRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LayerSavePNG)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveToStreamPNG)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MaskBorderTick)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SurfaceWrites)->Unit(benchmark::kMillisecond);
