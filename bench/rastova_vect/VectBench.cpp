// The vector layer against the obvious alternatives: painting 10,000 mixed objects anti-aliased
// on a 1920 x 1080 back buffer at 100 and 25 % (against bare QPainter calls), flattening 200
// texts at transparency 128 (against QPainter text at half opacity), finding the object under a
// point among 10,000 lines and boxes (against a plain loop of segment distances), and attaching
// 200 different 256 x 256 bitmaps with sharing on (against a memcpy of their pixels into as many
// newly allocated blocks).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include <sys/resource.h>

#include "rastova/core/RVStartup.h"
#include "rastova/core/RVUtils.h"
#include "BenchApp.h"
#include "rastova/view/RastovaViewStartup.h"
#include "rastova/view/vector/RastovaVect.h"

namespace {

constexpr int kW = 1920, kH = 1080;

using viewbench::App;

struct TAppFirst {
  TAppFirst() { App(); }
};

struct TLayer {
  TAppFirst app;
  QWidget parent;
  rv::TRastovaVect* v;
  TLayer() {
    v = viewbench::NewVectLayer(parent, kW, kH);
    v->Update();
  }
};

// 10,000 objects: lines, boxes, ellipses and ten-point poly-lines, spread over the picture.
void AddMixed(rv::TRastovaVect& v, int count) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> x(0, kW - 60), y(0, kH - 60), s(5, 60);
  for (int i = 0; i < count; ++i) {
    rv::TRVVObjRecord o = v.NewObjectTemplate;
    o.Kind = i % 4 == 0 ? rv::rvkLINE : i % 4 == 1 ? rv::rvkBOX : i % 4 == 2 ? rv::rvkELLIPSE : rv::rvkPOLYLINE;
    o.X1 = x(rng), o.Y1 = y(rng), o.X2 = o.X1 + s(rng), o.Y2 = o.Y1 + s(rng);
    o.PenColor = 0x204080;
    o.PenWidth = 2;
    const int32_t h = v.AddNewObject(o);
    if (o.Kind == rv::rvkPOLYLINE) {
      const int32_t x0 = o.X1, y0 = o.Y1;
      for (int k = 0; k < 10; ++k) v.AddPolylinePoint(h, x0 + (k * 37) % 50, y0 + (k * 23) % 50);
    }
  }
}

void BM_PaintMixedObjects(benchmark::State& state) {
  TLayer l;
  AddMixed(*l.v, 10000);
  l.v->SetZoom(double(state.range(0)));
  platform::TBitmap target(kW, kH, platform::pf24bit);
  for (auto _ : state) l.v->DrawObjectsToBitmap(nullptr, false, &target, true, rv::kObjAll);
}
BENCHMARK(BM_PaintMixedObjects)->Arg(100)->Arg(25)->Unit(benchmark::kMillisecond);

void BM_PaintMixedQPainter(benchmark::State& state) {
  TLayer l;
  AddMixed(*l.v, 10000);
  const double z = double(state.range(0)) / 100;
  QImage img(kW, kH, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x80, 0x40, 0x20), std::max(1.0, 2 * z)));
    for (const rv::TRVVObjRecord& o : l.v->Objects) {
      const QRectF r(o.X1 * z, o.Y1 * z, (o.X2 - o.X1 + 1) * z, (o.Y2 - o.Y1 + 1) * z);
      switch (o.Kind) {
        case rv::rvkLINE: p.drawLine(QPointF(o.X1 * z, o.Y1 * z), QPointF(o.X2 * z, o.Y2 * z)); break;
        case rv::rvkBOX: p.drawRect(r); break;
        case rv::rvkELLIPSE: p.drawEllipse(r); break;
        default: {
          QPolygonF poly;
          for (int k = 0; k < o.PolyPointsCount; ++k) poly << QPointF(o.PolyPoints[k].x * z, o.PolyPoints[k].y * z);
          p.drawPolyline(poly);
        }
      }
    }
  }
}
BENCHMARK(BM_PaintMixedQPainter)->Arg(100)->Arg(25)->Unit(benchmark::kMillisecond);

void AddTexts(rv::TRastovaVect& v) {
  for (int i = 0; i < 200; ++i) {
    rv::TRVVObjRecord o = v.NewObjectTemplate;
    o.Kind = rv::rvkTEXT;
    o.X1 = (i % 10) * 190, o.Y1 = (i / 10) * 52, o.X2 = o.X1 + 180, o.Y2 = o.Y1 + 40;
    o.Transparency = 128;
    o.PenColor = 0x000080;
    o.PenStyle = platform::psClear;
    const int32_t h = v.AddNewObject(o);
    v.SetObjText(h, "Text " + std::to_string(i));
    v.SetObjFontHeight(h, -20);
  }
}

void BM_FlattenTexts(benchmark::State& state) {
  TLayer l;
  AddTexts(*l.v);
  rv::TRVBitmap img(kW, kH, rv::rv24RGB);
  img.SetLocation(rv::rvTBitmap);
  for (auto _ : state) l.v->DrawObjectsToRVBitmap(&img, false, rv::kObjAll);
}
BENCHMARK(BM_FlattenTexts)->Unit(benchmark::kMillisecond);

void BM_FlattenTextsQPainter(benchmark::State& state) {
  TLayer l;
  AddTexts(*l.v);
  QImage img(kW, kH, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter p(&img);
    p.setOpacity(0.5);
    QFont f("Liberation Sans");
    f.setPixelSize(20);
    p.setFont(f);
    p.setPen(QColor(0x80, 0, 0));
    for (const rv::TRVVObjRecord& o : l.v->Objects)
      p.drawText(QRect(o.X1, o.Y1, o.X2 - o.X1, o.Y2 - o.Y1), Qt::AlignCenter, QString::fromStdString(o.Text));
  }
}
BENCHMARK(BM_FlattenTextsQPainter)->Unit(benchmark::kMillisecond);

void AddLinesAndBoxes(rv::TRastovaVect& v) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> x(0, kW - 60), y(0, kH - 60), s(5, 60);
  for (int i = 0; i < 10000; ++i) {
    rv::TRVVObjRecord o = v.NewObjectTemplate;
    o.Kind = i % 2 ? rv::rvkLINE : rv::rvkBOX;
    o.X1 = x(rng), o.Y1 = y(rng), o.X2 = o.X1 + s(rng), o.Y2 = o.Y1 + s(rng);
    v.AddNewObject(o);
  }
}

void BM_FindObjectAt(benchmark::State& state) {
  TLayer l;
  AddLinesAndBoxes(*l.v);
  int i = 0;
  for (auto _ : state) {
    double d;
    benchmark::DoNotOptimize(l.v->FindObjectAt((i * 97) % kW, (i * 61) % kH, d, false));
    ++i;
  }
}
BENCHMARK(BM_FindObjectAt)->Unit(benchmark::kMicrosecond);

void BM_FindObjectAtPlainLoop(benchmark::State& state) {
  TLayer l;
  AddLinesAndBoxes(*l.v);
  int i = 0;
  for (auto _ : state) {
    const int px = (i * 97) % kW, py = (i * 61) % kH;
    double best = 1e300;
    for (const rv::TRVVObjRecord& o : l.v->Objects) {
      if (o.Kind == rv::rvkLINE) {
        best = std::min(best, rv::DistanceToSegment(px, py, o.X1, o.Y1, o.X2, o.Y2));
      } else {
        best = std::min(best, rv::DistanceToSegment(px, py, o.X1, o.Y1, o.X2, o.Y1));
        best = std::min(best, rv::DistanceToSegment(px, py, o.X2, o.Y1, o.X2, o.Y2));
        best = std::min(best, rv::DistanceToSegment(px, py, o.X2, o.Y2, o.X1, o.Y2));
        best = std::min(best, rv::DistanceToSegment(px, py, o.X1, o.Y2, o.X1, o.Y1));
      }
    }
    benchmark::DoNotOptimize(best);
    ++i;
  }
}
BENCHMARK(BM_FindObjectAtPlainLoop)->Unit(benchmark::kMicrosecond);

void BM_FindObjectAtWideEllipses(benchmark::State& state) {
  TLayer l;
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> x(0, kW - 60), y(0, kH - 60), s(5, 60);
  for (int i = 0; i < 10000; ++i) {
    rv::TRVVObjRecord o = l.v->NewObjectTemplate;
    o.Kind = rv::rvkELLIPSE;
    o.BrushStyle = platform::bsSolid;
    o.PenWidth = 9;
    o.X1 = x(rng), o.Y1 = y(rng), o.X2 = o.X1 + s(rng), o.Y2 = o.Y1 + s(rng);
    l.v->AddNewObject(o);
  }
  int i = 0;
  for (auto _ : state) {
    double d;
    benchmark::DoNotOptimize(l.v->FindObjectAt((i * 97) % kW, (i * 61) % kH, d, false));
    ++i;
  }
}
BENCHMARK(BM_FindObjectAtWideEllipses)->Unit(benchmark::kMillisecond);

// Page faults so far: copying into new memory pays one for each page it first touches, and
// the figure shows that both sides of the comparison pay the same.
long MinorFaults() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_minflt;
}

std::vector<std::unique_ptr<rv::TRVBitmap>> Different(int n) {
  std::vector<std::unique_ptr<rv::TRVBitmap>> out;
  for (int i = 0; i < n; ++i) {
    auto b = std::make_unique<rv::TRVBitmap>(256, 256, rv::rv24RGB);
    for (int y = 0; y < 256; ++y) std::memset(b->GetScanLine(y), (i * 31 + y) & 0xFF, 256 * 3);
    out.push_back(std::move(b));
  }
  return out;
}

void BM_AttachBitmaps(benchmark::State& state) {
  App();
  const auto bitmaps = Different(200);
  long faults = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto l = std::make_unique<TLayer>();
    std::vector<int32_t> h;
    for (int i = 0; i < 200; ++i) {
      rv::TRVVObjRecord o = l->v->NewObjectTemplate;
      o.Kind = rv::rvkBITMAP;
      h.push_back(l->v->AddNewObject(o));
    }
    state.ResumeTiming();
    const long before = MinorFaults();
    for (int i = 0; i < 200; ++i) l->v->AttachObjBitmap(h[size_t(i)], bitmaps[size_t(i)].get());
    faults += MinorFaults() - before;
    state.PauseTiming();
    l.reset();
    state.ResumeTiming();
  }
  state.counters["page_faults"] = double(faults) / double(state.iterations());
}
BENCHMARK(BM_AttachBitmaps)->Unit(benchmark::kMillisecond);

// Attaching keeps its own copy of every bitmap, in memory it allocates then; so the copies
// here go into 200 newly allocated blocks of the bitmaps' size each time, freed outside the
// timing as the layer is.
void BM_AttachBitmapsMemcpy(benchmark::State& state) {
  const auto bitmaps = Different(200);
  const size_t size = size_t(bitmaps[0]->GetRowLen()) * 256;
  std::vector<std::unique_ptr<uint8_t[]>> copies;
  copies.reserve(200);
  long faults = 0;
  for (auto _ : state) {
    const long before = MinorFaults();
    for (int i = 0; i < 200; ++i) {
      copies.push_back(std::make_unique_for_overwrite<uint8_t[]>(size));
      for (int y = 0; y < 256; ++y)
        std::memcpy(copies.back().get() + y * 768, bitmaps[size_t(i)]->GetScanLine(y), 768);
    }
    benchmark::DoNotOptimize(copies.data());
    benchmark::ClobberMemory();
    faults += MinorFaults() - before;
    state.PauseTiming();
    copies.clear();
    state.ResumeTiming();
  }
  state.counters["page_faults"] = double(faults) / double(state.iterations());
}
BENCHMARK(BM_AttachBitmapsMemcpy)->Unit(benchmark::kMillisecond);

}  // namespace
