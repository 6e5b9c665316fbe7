// The editor panes' paints, each against a reference in the same run:
// - a shape editor at 257 x 257 (every point selected, "View Level" 1, a test editor that draws
//   the whole grid): one move step with ApplyShape plus the quick paint, against QPainter drawing
//   the same segments and marks straight onto an image of the pane's size; and the full paint
//   with and without antialiasing;
// - the sculpt-image table for a 257 x 257 grid against the same pane for 33 x 33;
// - the texture pane at 257 x 257 (a 4096 x 4096 texture) against QPainter drawing the same
//   image scaled into the pane once.
// Run by hand (Release build); the panes are headless.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <memory>
#include <vector>

#include "TestEditor.h"
#include "editor/panes/ScBitmap.h"
#include "editor/panes/TxDraw.h"
#include "settings/AppSettings.h"
#include "shape/TextureBitmaps.h"
#include "shape/model/uScPrim.h"
#include "shape/model/uScSelect.h"

namespace {

constexpr int kPane = 800;

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_editor_panes";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return new QApplication(argc, argv);
  }();
  return *app;
}

struct ShapeEditorSetup {
  std::unique_ptr<shape::TCS> cs = std::make_unique<shape::TCS>();
  editor_test::TTestEditor ed;
  std::unique_ptr<platform::TCustomControl> pane;

  explicit ShapeEditorSetup(bool antialias) {
    App();
    settings::AppSettings.ViewLevel = 1;
    settings::AppSettings.Grid = 0;
    settings::AppSettings.UseDirect2D = true;
    settings::AppSettings.SimplifiedDisplay = !antialias;
    shape::InitShape(*cs, shape::SCTYPE_SPHERE, 257, 257);
    shape::FillPointFlags(cs->SP, 257, 257, true);
    shape::CountSelectedPoints(*cs);
    shape::CommitShapePoints(*cs);
    pane = std::make_unique<platform::TCustomControl>();
    pane->resize(kPane, kPane);
    ed.SelectViewSide(1);
    ed.ChoosePainters();
    ed.SyncFromShape(*cs);
    ed.BeforePaint(*pane);
    ed.UpdateSelectionBox(*cs, true);
  }
};

// One drag step (the whole selection moved from its committed place) and the quick paint
// (simplified display: no surface, aliased).
void BM_ShapeEditorDragStep(benchmark::State& state) {
  ShapeEditorSetup s(false);
  s.ed.DragMode = 0;
  s.ed.AnchorX = kPane / 2;
  s.ed.AnchorY = kPane / 2;
  int step = 0;
  for (auto _ : state) {
    s.ed.MouseDrag(*s.cs, *s.pane, false, kPane / 2 + (step & 7), kPane / 2 - (step & 3));
    s.ed.PaintAlt(*s.cs, *s.pane);
    ++step;
    benchmark::DoNotOptimize(s.pane->Surface().Bits());
  }
}
BENCHMARK(BM_ShapeEditorDragStep)->Unit(benchmark::kMillisecond);

// The reference: the same grid segments and point marks with one QPainter on a QImage.
void BM_ReferenceGridPainter(benchmark::State& state) {
  ShapeEditorSetup s(false);
  QImage image(kPane, kPane, QImage::Format_RGB32);
  std::vector<QPointF> ends;
  const shape::TCS& cs = *s.cs;
  for (auto _ : state) {
    QPainter p(&image);
    p.fillRect(image.rect(), Qt::white);
    ends.clear();
    for (int i = 0; i < cs.CPMaxI; ++i)
      for (int j = 0; j + 1 < cs.CPMaxJ; ++j) {
        const platform::TPointF a = s.ed.PointToScreenF(cs.CP[i][j]),
                                b = s.ed.PointToScreenF(cs.CP[i][j + 1]);
        ends.emplace_back(a.X, a.Y);
        ends.emplace_back(b.X, b.Y);
      }
    p.setPen(QPen(Qt::black, 1));
    p.drawLines(ends.data(), static_cast<int>(ends.size() / 2));
    ends.clear();
    for (int j = 0; j < cs.CPMaxJ; ++j)
      for (int i = 0; i + 1 < cs.CPMaxI; ++i) {
        const platform::TPointF a = s.ed.PointToScreenF(cs.CP[i][j]),
                                b = s.ed.PointToScreenF(cs.CP[i + 1][j]);
        ends.emplace_back(a.X, a.Y);
        ends.emplace_back(b.X, b.Y);
      }
    p.setPen(QPen(Qt::blue, 1));
    p.drawLines(ends.data(), static_cast<int>(ends.size() / 2));
    const QPen outline(Qt::red, 1);
    for (int i = 0; i < cs.CPMaxI; ++i)
      for (int j = 0; j < cs.CPMaxJ; ++j) {
        const platform::TPointF c = s.ed.PointToScreenF(cs.CP[i][j]);
        const QRectF r(c.X - 3, c.Y - 3, 6, 6);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::red);
        p.drawRect(r);
        p.setPen(outline);
        p.setBrush(Qt::NoBrush);
        p.drawRect(r);
      }
    p.end();
    benchmark::DoNotOptimize(image.bits());
  }
}
BENCHMARK(BM_ReferenceGridPainter)->Unit(benchmark::kMillisecond);

// The full paint (translucent surface included), antialiased or aliased.
void BM_ShapeEditorFullPaint(benchmark::State& state) {
  ShapeEditorSetup s(state.range(0) != 0);
  for (auto _ : state) {
    s.ed.Paint(*s.cs, *s.pane);
    benchmark::DoNotOptimize(s.pane->Surface().Bits());
  }
  state.SetLabel(state.range(0) ? "antialiased" : "aliased");
}
BENCHMARK(BM_ShapeEditorFullPaint)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The sculpt-image table in one pane for a grid of the given size.
void BM_SculptTable(benchmark::State& state) {
  App();
  const int n = static_cast<int>(state.range(0));
  auto cs = std::make_unique<shape::TCS>();
  shape::InitShape(*cs, shape::SCTYPE_SPHERE, n, n);
  for (int i = 0; i < n; i += 3) cs->SP[i][i % n] = true;
  shape::CountSelectedPoints(*cs);
  editor::TScBitmap table;
  platform::TCustomControl pane;
  pane.resize(400, 400);
  table.Paint(*cs, pane);
  for (auto _ : state) {
    table.Paint(*cs, pane);
    benchmark::DoNotOptimize(pane.Surface().Bits());
  }
}
BENCHMARK(BM_SculptTable)->Arg(257)->Arg(33)->Unit(benchmark::kMicrosecond);

struct TextureSetup {
  std::unique_ptr<shape::TCS> cs = std::make_unique<shape::TCS>();
  TextureSetup() {
    App();
    shape::CreateTextureBitmaps();
    shape::InitShape(*cs, shape::SCTYPE_SPHERE, 257, 257);
    shape::SetGridSize(*cs);
    shape::DrawDefaultTexture(257, 257);
  }
  ~TextureSetup() { shape::FreeTextureBitmaps(); }
};

// The texture pane at a zoom level (Scale 256 shows the texture 1:1, 192 scaled to 3/4).
void BM_TexturePane(benchmark::State& state) {
  TextureSetup t;
  editor::TTxDraw painter;
  painter.Scale = static_cast<double>(state.range(0));
  platform::TCustomControl pane;
  pane.resize(kPane, kPane);
  painter.Paint(*t.cs, pane);
  for (auto _ : state) {
    painter.Paint(*t.cs, pane);
    benchmark::DoNotOptimize(pane.Surface().Bits());
  }
}
BENCHMARK(BM_TexturePane)->Arg(256)->Arg(192)->Unit(benchmark::kMillisecond);

// The reference: the base colour bitmap drawn scaled into a pane-sized image, smooth.
void BM_ReferenceTextureDraw(benchmark::State& state) {
  TextureSetup t;
  const QImage texture = shape::TextureBitmaps().BaseColor.Image();
  QImage image(kPane, kPane, QImage::Format_RGB32);
  const double scale = state.range(0) / 256.0;
  const double w = texture.width() * scale, h = texture.height() * scale;
  for (auto _ : state) {
    QPainter p(&image);
    p.fillRect(image.rect(), Qt::gray);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRectF(kPane / 2.0 - w / 2, kPane / 2.0 - h / 2, w, h), texture, QRectF(texture.rect()));
    p.end();
    benchmark::DoNotOptimize(image.bits());
  }
}
BENCHMARK(BM_ReferenceTextureDraw)->Arg(256)->Arg(192)->Unit(benchmark::kMillisecond);

}  // namespace
