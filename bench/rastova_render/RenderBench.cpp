// The renderer against the obvious alternatives: a 6000 x 4000 24-bit picture drawn into
// 1600 x 1000 with nearest sampling (against QPainter::drawImage without smooth
// transformation, 24-bit to 24-bit and 32-bit to 32-bit), the same with an alpha channel
// (against QPainter blending an ARGB picture), and a 1:1 render (against memcpy of the rows).
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <cstdint>
#include <cstring>
#include <memory>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVRenderOperation.h"
#include "rastova/core/RVResample.h"
#include "SamplePattern.h"

namespace {

constexpr int kSrcW = 6000, kSrcH = 4000, kDstW = 1600, kDstH = 1000;

using benchpattern::Sample;

// The picture, with an alpha channel when asked.
rv::TRVBitmap& Source(bool alpha) {
  static std::unique_ptr<rv::TRVBitmap> plain, withAlpha;
  std::unique_ptr<rv::TRVBitmap>& b = alpha ? withAlpha : plain;
  if (!b) {
    b = std::make_unique<rv::TRVBitmap>(kSrcW, kSrcH, rv::rv24RGB);
    for (int y = 0; y < kSrcH; ++y) {
      uint8_t* p = b->GetScanLine(y);
      for (int x = 0; x < kSrcW; ++x)
        for (int c = 0; c < 3; ++c) p[3 * x + c] = Sample(x, y, c);
    }
    if (alpha) {
      rv::TRVBitmap* a = b->AlphaBitmap();
      for (int y = 0; y < kSrcH; ++y) {
        uint8_t* p = a->GetScanLine(y);
        for (int x = 0; x < kSrcW; ++x) p[x] = Sample(x, y, 3);
      }
      a->Full = false;
    }
  }
  return *b;
}

// The same pixels as a QImage: 24-bit (blue, green, red), 32-bit opaque or premultiplied ARGB.
QImage QtSource(QImage::Format format) {
  QImage img(kSrcW, kSrcH, format);
  for (int y = 0; y < kSrcH; ++y) {
    uint8_t* p = img.scanLine(y);
    for (int x = 0; x < kSrcW; ++x) {
      if (format == QImage::Format_BGR888) {
        for (int c = 0; c < 3; ++c) p[3 * x + c] = Sample(x, y, c);
      } else {
        const int a = format == QImage::Format_ARGB32_Premultiplied ? Sample(x, y, 3) : 255;
        for (int c = 0; c < 3; ++c) p[4 * x + c] = static_cast<uint8_t>(Sample(x, y, c) * a / 255);
        p[4 * x + 3] = static_cast<uint8_t>(a);
      }
    }
  }
  return img;
}

void BM_RenderNearest(benchmark::State& state) {
  rv::TRVBitmap& src = Source(state.range(0) != 0);
  rv::TRVBitmap dst(kDstW, kDstH, rv::rv24RGB);
  for (auto _ : state) {
    src.RenderToTRVBitmap(&dst, 0, 0, kDstW, kDstH, 0, 0, kSrcW, kSrcH, 255, rv::rfNone, rv::rvlNormal);
    benchmark::DoNotOptimize(dst.GetScanLine(0));
  }
}
BENCHMARK(BM_RenderNearest)->ArgName("alpha")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Arguments: 0 24-bit into 24-bit, 1 32-bit into 32-bit, 2 premultiplied ARGB blended into 32-bit.
void BM_QPainterDrawImage(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const QImage src = QtSource(kind == 0   ? QImage::Format_BGR888
                              : kind == 1 ? QImage::Format_RGB32
                                          : QImage::Format_ARGB32_Premultiplied);
  QImage dst(kDstW, kDstH, kind == 0 ? QImage::Format_BGR888 : QImage::Format_RGB32);
  dst.fill(Qt::gray);
  for (auto _ : state) {
    QPainter p(&dst);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(QRect(0, 0, kDstW, kDstH), src, QRect(0, 0, kSrcW, kSrcH));
    p.end();
    benchmark::DoNotOptimize(dst.bits());
  }
}
BENCHMARK(BM_QPainterDrawImage)
    ->ArgName("kind")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_Render1to1(benchmark::State& state) {
  rv::TRVBitmap& src = Source(false);
  rv::TRVBitmap dst(kSrcW, kSrcH, rv::rv24RGB);
  for (auto _ : state) {
    src.RenderToTRVBitmap(&dst, 0, 0, kSrcW, kSrcH, 0, 0, kSrcW, kSrcH, 255, rv::rfNone, rv::rvlNormal);
    benchmark::DoNotOptimize(dst.GetScanLine(0));
  }
}
BENCHMARK(BM_Render1to1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MemcpyRows(benchmark::State& state) {
  rv::TRVBitmap& src = Source(false);
  rv::TRVBitmap dst(kSrcW, kSrcH, rv::rv24RGB);
  for (auto _ : state) {
    for (int y = 0; y < kSrcH; ++y) std::memcpy(dst.GetScanLine(y), src.GetScanLine(y), size_t(kSrcW) * 3);
    benchmark::DoNotOptimize(dst.GetScanLine(0));
  }
}
BENCHMARK(BM_MemcpyRows)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
