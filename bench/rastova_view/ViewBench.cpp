// The image view's painting against the obvious alternatives, in a 1920 x 1080 view: a 4096 x
// 4096 picture fitted into the view (nearest pixel against QPainter::drawImage without smooth
// transformation; linear against smooth transformation), a repaint whose back buffer is clean
// and a 10-pixel scroll at 100 % (against a memcpy of the view's pixels), and three 1920 x 1080
// layers with alpha (against three QPainter source-over draws).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "rastova/core/RVStartup.h"
#include "rastova/view/RastovaViewStartup.h"
#include "BenchApp.h"
#include "rastova/view/core/RastovaView.h"
#include "../rastova_render/SamplePattern.h"

namespace {

constexpr int kViewW = 1920, kViewH = 1080, kPicture = 4096;

using viewbench::App;
using benchpattern::Sample;

void Fill(rv::TRVBitmap& b, int w, int h, bool alpha, int seed) {
  b.Allocate(w, h, rv::rv24RGB);
  for (int y = 0; y < h; ++y) {
    uint8_t* p = b.GetScanLine(y);
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) p[3 * x + c] = Sample(x + seed, y, c);
  }
  if (alpha) {
    rv::TRVBitmap* a = b.AlphaBitmap();
    for (int y = 0; y < h; ++y) {
      uint8_t* p = a->GetScanLine(y);
      for (int x = 0; x < w; ++x) p[x] = Sample(x + seed, y, 3);
    }
    a->Full = false;
  }
}

QImage QtPicture(int w, int h, QImage::Format format, int seed) {
  QImage img(w, h, format);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      img.setPixel(x, y,
                   qRgba(Sample(x + seed, y, 2), Sample(x + seed, y, 1), Sample(x + seed, y, 0),
                         format == QImage::Format_RGB888 ? 255 : Sample(x + seed, y, 3)));
  return img;
}

// A frameless view without scroll bars in a parent window.
struct TBenchView {
  bool appReady = (App(), true);  // the application comes before any widget
  QWidget parent;
  rv::TRastovaView* view;
  TBenchView() {
    parent.resize(kViewW, kViewH);
    view = new rv::TRastovaView(&parent);
    view->WriteBorderStyle(platform::bsNone);
    view->WriteScrollBars(rv::ssNone);
    view->resize(kViewW, kViewH);
  }
  void Repaint(bool compose) {
    view->FBackBufferDirty = compose;
    view->FRepaintAll = true;
    view->PaintControl();
  }
};

void FittedRepaint(benchmark::State& state, rv::TResampleFilter filter) {
  TBenchView b;
  Fill(*b.view->GetRVBitmap(), kPicture, kPicture, false, 0);
  b.view->Update();
  b.view->Fit();
  b.view->WriteZoomFilter(filter);
  for (auto _ : state) {
    b.Repaint(true);
    benchmark::DoNotOptimize(b.view->Surface().Bits());
  }
}

void BM_ViewFittedRepaintNearest(benchmark::State& state) { FittedRepaint(state, rv::rfNone); }
void BM_ViewFittedRepaintLinear(benchmark::State& state) { FittedRepaint(state, rv::rfLinear); }

void QtFitted(benchmark::State& state, bool smooth) {
  App();
  const QImage src = QtPicture(kPicture, kPicture, QImage::Format_RGB888, 0);
  QImage dst(kViewW, kViewH, QImage::Format_RGB32);
  const int side = kViewH;  // the fitted square
  const QRect target((kViewW - side) / 2, 0, side, side);
  for (auto _ : state) {
    QPainter p(&dst);
    p.fillRect(dst.rect(), Qt::lightGray);
    p.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    p.drawImage(target, src);
    p.end();
    benchmark::DoNotOptimize(dst.bits());
  }
}

void BM_QtDrawImageFast(benchmark::State& state) { QtFitted(state, false); }
void BM_QtDrawImageSmooth(benchmark::State& state) { QtFitted(state, true); }

void BM_ViewRepaintCleanBuffer(benchmark::State& state) {
  TBenchView b;
  Fill(*b.view->GetRVBitmap(), kPicture, kPicture, false, 0);
  b.view->Update();
  b.Repaint(true);
  for (auto _ : state) {
    b.Repaint(false);
    benchmark::DoNotOptimize(b.view->Surface().Bits());
  }
}

void BM_ViewScroll10(benchmark::State& state) {
  TBenchView b;
  Fill(*b.view->GetRVBitmap(), kPicture, kPicture, false, 0);
  b.view->Update();
  b.view->SetViewXY(1000, 1000);
  b.Repaint(true);
  int step = 10;
  for (auto _ : state) {
    b.view->SetViewXY(b.view->FViewX + step, b.view->FViewY);
    step = -step;
    benchmark::DoNotOptimize(b.view->Surface().Bits());
  }
}

void BM_MemcpyViewPixels(benchmark::State& state) {
  std::vector<uint8_t> a(size_t(kViewW) * kViewH * 4, 1), c(a.size());
  for (auto _ : state) {
    std::memcpy(c.data(), a.data(), a.size());
    benchmark::DoNotOptimize(c.data());
  }
}

void BM_ViewThreeAlphaLayers(benchmark::State& state) {
  TBenchView b;
  Fill(*b.view->GetRVBitmap(), kViewW, kViewH, false, 0);
  for (int i = 1; i <= 2; ++i) {
    b.view->LayersAdd();
    Fill(*b.view->GetRVBitmap(), kViewW, kViewH, true, i * 17);
  }
  b.view->Update();
  for (auto _ : state) {
    b.Repaint(true);
    benchmark::DoNotOptimize(b.view->Surface().Bits());
  }
}

void BM_QtThreeSourceOver(benchmark::State& state) {
  App();
  std::vector<QImage> layers;
  layers.push_back(QtPicture(kViewW, kViewH, QImage::Format_RGB32, 0));
  for (int i = 1; i <= 2; ++i)
    layers.push_back(QtPicture(kViewW, kViewH, QImage::Format_ARGB32_Premultiplied, i * 17));
  QImage dst(kViewW, kViewH, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter p(&dst);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    for (const QImage& l : layers) p.drawImage(0, 0, l);
    p.end();
    benchmark::DoNotOptimize(dst.bits());
  }
}

}  // namespace

BENCHMARK(BM_ViewFittedRepaintNearest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtDrawImageFast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewFittedRepaintLinear)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtDrawImageSmooth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewRepaintCleanBuffer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewScroll10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyViewPixels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewThreeAlphaLayers)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtThreeSourceOver)->Unit(benchmark::kMillisecond);
