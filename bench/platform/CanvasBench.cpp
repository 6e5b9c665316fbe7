// The cost of drawing through the canvas (a painter per call, raster operations, colour-table
// mapping) against drawing with one QPainter held open.
#include <benchmark/benchmark.h>

#include <QPainter>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"

using namespace platform;

namespace {

constexpr int kLines = 256;

void BM_CanvasXorLines(benchmark::State& state) {
  TBitmap b(512, 512, static_cast<TPixelFormat>(state.range(0)));
  TCanvas& c = b.Canvas();
  c.Pen.Mode = pmXor;
  c.Pen.Color = clWhite;
  for (auto _ : state) {
    for (int i = 0; i < kLines; ++i) {
      c.MoveTo(i, 0);
      c.LineTo(511 - i, 511);
    }
    benchmark::DoNotOptimize(b.Bits());
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_CanvasXorLines)->Arg(pf32bit)->Arg(pf24bit)->Arg(pf8bit)->Arg(pf1bit);

void BM_OnePainterXorLines(benchmark::State& state) {
  TBitmap b(512, 512, pf32bit);
  QImage image = b.Image();
  for (auto _ : state) {
    QPainter p(&image);
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    QPen pen(Qt::white, 1);
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    for (int i = 0; i < kLines; ++i) p.drawLine(i, 0, 511 - i, 511);
    p.end();
    benchmark::DoNotOptimize(b.Bits());
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_OnePainterXorLines);

// The grid overlay of the largest texture: 2 x 257 lines two pixels wide over 4096 x 4096.
void BM_TextureGridLines(benchmark::State& state) {
  TBitmap b(4096, 4096, static_cast<TPixelFormat>(state.range(0)));
  TCanvas& c = b.Canvas();
  c.Pen.Width = 2;
  c.Pen.Color = clWhite;
  for (auto _ : state) {
    for (int i = 0; i < 257; ++i) {
      c.MoveTo(16 * i, 0);
      c.LineTo(16 * i, 4095);
      c.MoveTo(0, 16 * i);
      c.LineTo(4095, 16 * i);
    }
    benchmark::DoNotOptimize(b.Bits());
  }
  state.SetItemsProcessed(state.iterations() * 514);
}
BENCHMARK(BM_TextureGridLines)->Arg(pf32bit)->Arg(pf8bit)->Unit(benchmark::kMillisecond);

void BM_CanvasSmallEllipses(benchmark::State& state) {
  TBitmap b(512, 512, pf32bit);
  TCanvas& c = b.Canvas();
  c.Brush.Color = clRed;
  for (auto _ : state) {
    for (int i = 0; i < kLines; ++i) c.Ellipse(i, i, i + 11, i + 11);
    benchmark::DoNotOptimize(b.Bits());
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_CanvasSmallEllipses);

void BM_CopyRect(benchmark::State& state) {
  TBitmap src(512, 512, pf24bit);
  TBitmap dst(512, 512, static_cast<TPixelFormat>(state.range(0)));
  for (auto _ : state) {
    dst.Canvas().Draw(0, 0, src);
    benchmark::DoNotOptimize(dst.Bits());
  }
  state.SetBytesProcessed(state.iterations() * 512 * 512);
}
BENCHMARK(BM_CopyRect)->Arg(pf32bit)->Arg(pf24bit)->Arg(pf8bit);

}  // namespace
