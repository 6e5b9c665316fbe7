// Benchmarks of the six shape editors at 257 x 257: one drag step (MouseDrag: the move,
// ApplyShape and the editor's Generate) at "Edit Level" 1 and 4 (by Subdivision), against
// copying the grid's 257 x 257 points; and the six-sided editor's full paint against QPainter
// drawing the same segments and point marks straight onto a QImage.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstring>
#include <memory>
#include <vector>

#include "editor/editors/uScDODUDA.h"
#include "editor/editors/uScGYRAN.h"
#include "editor/editors/uScMAGE.h"
#include "editor/editors/uScTOKOROTEN.h"
#include "editor/editors/uScWAPPA.h"
#include "settings/AppSettings.h"
#include "shape/model/Dbl3D.h"
#include "shape/model/uScPrim.h"
#include "shape/model/uScSelect.h"

namespace {

constexpr int kPane = 800;

void StartApp() {
  static int argc = 1;
  static char name[] = "bench_shape_editors";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return new QApplication(argc, argv);
  }();
  (void)app;
}

std::unique_ptr<editor::TScEditable> MakeEditor(int kind) {
  switch (kind) {
    case 0:
      return std::make_unique<editor::TScDODUDA>();
    case 1:
      return std::make_unique<editor::TScGYRAN>();
    case 2:
      return std::make_unique<editor::TScTOKOROTEN>();
    case 3:
      return std::make_unique<editor::TScMAGE>();
    case 4:
      return std::make_unique<editor::TScMAGETorus>();
    default:
      return std::make_unique<editor::TScWAPPA>();
  }
}

// The baseline: copying the grid's points once.
void BM_CopyGridPoints(benchmark::State& state) {
  shape::TCS& cs = shape::CurrentShape;
  shape::InitShape(cs, shape::SCTYPE_SPHERE, 257, 257);
  for (auto _ : state) {
    std::memcpy(&cs.DP[0][0], &cs.CP[0][0], sizeof(cs.CP));
    benchmark::DoNotOptimize(&cs.DP[0][0]);
  }
}
BENCHMARK(BM_CopyGridPoints)->Unit(benchmark::kMicrosecond);

// Args: editor (0 DODUDA .. 5 WAPPA), "Edit Level".
void BM_DragStep(benchmark::State& state) {
  StartApp();
  const int kind = static_cast<int>(state.range(0));
  settings::AppSettings.EditLevel = static_cast<int>(state.range(1));
  settings::AppSettings.RearrangeType = 3;
  settings::AppSettings.Grid = 0;
  shape::TCS& cs = shape::CurrentShape;
  shape::InitShape(cs, kind == 4 ? shape::SCTYPE_TORUS : shape::SCTYPE_SPHERE, 257, 257);
  auto ed = MakeEditor(kind);
  platform::TCustomControl pane;
  pane.resize(kPane, kPane);
  ed->ResetForShape();
  ed->SyncFromShape(cs);
  ed->PublishLineMarks();
  ed->BeforePaint(pane);
  // The editor's own points selected; the DODUDA editor edits every point.
  settings::AppSettings.DodudaSurface = false;
  ed->ForEachEditable(cs, [&](int32_t i, int32_t j) {
    cs.SP[i][j] = true;
    return true;
  });
  shape::CountSelectedPoints(cs);
  shape::CommitShapePoints(cs);
  ed->UpdateSelectionBox(cs, true);
  ed->DragMode = 0;
  ed->AnchorX = kPane / 2;
  ed->AnchorY = kPane / 2;
  int step = 0;
  for (auto _ : state) {
    ed->MouseDrag(cs, pane, false, kPane / 2 + 1 + (step & 7), kPane / 2 - (step & 3));
    ++step;
    benchmark::DoNotOptimize(&cs.CP[0][0]);
  }
  settings::AppSettings.EditLevel = 1;
  settings::AppSettings.DodudaSurface = true;
}
BENCHMARK(BM_DragStep)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, {1, 4}})
    ->ArgNames({"editor", "level"})
    ->Unit(benchmark::kMillisecond);

// Constructed first, so the application exists before the pane (a widget) is made.
struct AppStarted {
  AppStarted() { StartApp(); }
};

struct DodudaPaintSetup : AppStarted {
  editor::TScDODUDA ed;
  platform::TCustomControl pane;
  DodudaPaintSetup() {
    settings::AppSettings.ViewLevel = 1;
    settings::AppSettings.DodudaSurface = true;
    settings::AppSettings.Grid = 0;
    settings::AppSettings.UseDirect2D = true;
    settings::AppSettings.SimplifiedDisplay = true;
    shape::InitShape(shape::CurrentShape, shape::SCTYPE_SPHERE, 257, 257);
    shape::CommitShapePoints(shape::CurrentShape);
    pane.resize(kPane, kPane);
    ed.ChoosePainters();
    ed.ResetForShape();
    ed.SyncFromShape(shape::CurrentShape);
  }
};

// The full paint at "View Level" 1 with "DODUDA Surface" on.
void BM_DodudaFullPaint(benchmark::State& state) {
  DodudaPaintSetup s;
  for (auto _ : state) {
    s.ed.Paint(shape::CurrentShape, s.pane);
    benchmark::DoNotOptimize(s.pane.Surface().Bits());
  }
}
BENCHMARK(BM_DodudaFullPaint)->Unit(benchmark::kMillisecond);

// The reference: the same facing segments and the marks of the facing points, one QPainter.
// Like the editor it takes each point to the screen once and tests each triangle once per paint,
// and it keeps its buffers from paint to paint.
void BM_ReferenceDodudaPaint(benchmark::State& state) {
  DodudaPaintSetup s;
  s.ed.Paint(shape::CurrentShape, s.pane);  // positions the pane and builds the mask
  const shape::TCS& cs = shape::CurrentShape;
  const int ni = cs.CPMaxI, nj = cs.CPMaxJ;
  QImage image(kPane, kPane, QImage::Format_RGB32);
  std::vector<QPointF> screen(static_cast<size_t>(ni) * nj), ends;
  size_t segments = 0, marks = 0;
  for (auto _ : state) {
    QPainter p(&image);
    p.fillRect(image.rect(), Qt::white);
    for (int i = 0; i < ni; ++i)
      for (int j = 0; j < nj; ++j) {
        const platform::TPointF c = s.ed.PointToScreenF(cs.CP[i][j]);
        screen[static_cast<size_t>(i) * nj + j] = QPointF(c.X, c.Y);
      }
    auto at = [&](int i, int j) { return screen[static_cast<size_t>(i) * nj + j]; };
    ends.clear();
    for (int i = 0; i + 1 < ni; ++i)
      for (int j = 0; j + 1 < nj; ++j) {
        if (s.ed.Faces(cs.CP[i][j], cs.CP[i + 1][j], cs.CP[i][j + 1])) {
          ends.insert(ends.end(), {at(i, j), at(i, j + 1), at(i, j), at(i + 1, j)});
        }
        if (s.ed.Faces(cs.CP[i + 1][j + 1], cs.CP[i][j + 1], cs.CP[i + 1][j])) {
          ends.insert(ends.end(), {at(i + 1, j), at(i + 1, j + 1), at(i, j + 1), at(i + 1, j + 1)});
        }
      }
    p.setPen(QPen(Qt::black, 1));
    p.drawLines(ends.data(), static_cast<int>(ends.size() / 2));
    segments = ends.size() / 2;
    marks = 0;
    const QPen outline(Qt::red, 1);
    p.setBrush(Qt::NoBrush);
    p.setPen(outline);
    for (int j = 0; j < nj; ++j)
      for (int i = 0; i < ni; ++i) {
        if (!s.ed.SurfaceMask[i][j]) continue;
        const QPointF c = at(i, j);
        p.drawEllipse(QRectF(c.x() - 3, c.y() - 3, 6, 6));
        ++marks;
      }
    p.end();
    benchmark::DoNotOptimize(image.bits());
  }
  state.counters["segments"] = static_cast<double>(segments);
  state.counters["marks"] = static_cast<double>(marks);
}
BENCHMARK(BM_ReferenceDodudaPaint)->Unit(benchmark::kMillisecond);

}  // namespace
