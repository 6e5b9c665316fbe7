// The main window, headless, each figure against a reference in the same run:
// - the idle pass after a drag at 257 x 257 (the mesh rebuild, the texture upload and the full
//   repaint of the pane, with the rest of the pass: the plane, the scroll bars, the 3D mouse and
//   the actions' update handlers) against the same calls made directly;
// - the start of the window to its first frame shown (the form, the create handler with the
//   default shape and texture, the dialogs, the show and the viewer's first frame) against a bare
//   QMainWindow holding a viewer;
// - the update pass of every action and command menu, as each idle pass runs it, at 257 x 257
//   against 33 x 33, in each editor mode with a block of points selected; and, for comparison,
//   the first pass after a change, which asks the editors again what they allow.
// Run by hand (Release build): the ratio of the two lines of each pair is the figure.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QMainWindow>
#include <QTest>
#include <cstdlib>
#include <memory>

#include "common/StartupSequence.h"
#include "editor/mainwin/EditorModules.h"
#include "editor/mainwin/MainFrm.h"
#include "editor/mainwin/PreviewScene.h"
#include "editor/panes/EditBase.h"
#include "platform/ui/Application.h"
#include "scene3d/platform/GL3DSceneViewer.h"
#include "scene3d/scene/mesh/GLBaseMesh.h"
#include "settings/AppSettings.h"
#include "settings/RegStore.h"
#include "shape/TextureBitmaps.h"
#include "shape/model/uScPrim.h"
#include "shape/model/uScSelect.h"
#include "shape/preview/PreviewMesh.h"
#include "shape/preview/PreviewTexture.h"

namespace {

// The program's modules, once for the run; settings in a file of their own.
void Program() {
  static bool started = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "bench_main_window";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    new platform::TApplication();
    settings::SetSettingsFileName("/tmp/zephor_bench_main_window.reg");
    static common::TStartupSequence modules;
    editor::AddProgramSteps(modules);
    modules.Startup();
    editor::CreateServiceContext();
    return true;
  }();
  (void)started;
}

std::unique_ptr<editor::TMainFrm> ShownWindow() {
  auto f = std::make_unique<editor::TMainFrm>(editor::TMainFrmOptions{{}, "/nonexistent", nullptr});
  f->CreateDialogs();
  f->show();
  if (!QTest::qWaitForWindowExposed(f.get())) std::abort();
  return f;
}

// The state a drag's release leaves at 257 x 257: a point moved and committed, the texture
// display refreshed, the mesh, the texture and a full repaint pending. The frame the last pass
// asked for is rendered first: the viewer's frame is no part of either figure.
void Dragged(editor::TMainFrm& f, int k) {
  QCoreApplication::processEvents();
  shape::TCS& cs = shape::CurrentShape;
  cs.CP[128][128][0] = (k & 1) ? 0.25 : 0.5;
  shape::CommitShapePoints(cs);
  shape::RefreshTextureDisplay(cs);
  f.MeshDirty = true;
  f.TextureDirty = true;
  f.PaneRequest = 2;
}

// A shown window on the 257 x 257 sphere, its first idle pass done.
std::unique_ptr<editor::TMainFrm> Window257() {
  Program();
  auto f = ShownWindow();
  f->NewShape(shape::SCTYPE_SPHERE, 257, 257);
  f->IdleLoop();
  return f;
}

void BM_IdlePassAfterDrag257(benchmark::State& state) {
  auto f = Window257();
  int k = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Dragged(*f, ++k);
    state.ResumeTiming();
    f->IdleLoop();
  }
}
BENCHMARK(BM_IdlePassAfterDrag257)->Unit(benchmark::kMillisecond);

void BM_SameCallsDirectly257(benchmark::State& state) {
  auto f = Window257();
  int k = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Dragged(*f, ++k);
    f->MeshDirty = f->TextureDirty = false;
    f->PaneRequest = 0;
    state.ResumeTiming();
    shape::BuildPreviewMesh(shape::CurrentShape, *f->Preview->GLFreeForm1);
    shape::UploadPreviewTexture(*f->Preview->GLFreeForm1);
    f->CurrentEditor->Paint(shape::CurrentShape, *f->Image1);
    f->CurrentEditor->PublishLineMarks();
  }
}
BENCHMARK(BM_SameCallsDirectly257)->Unit(benchmark::kMillisecond);

void BM_WindowStartToFirstFrame(benchmark::State& state) {
  Program();
  for (auto _ : state) {
    auto f = ShownWindow();
    while (f->GL3DSceneViewer1->Buffer()->FrameCount() == 0) QCoreApplication::processEvents();
    state.PauseTiming();
    f.reset();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_WindowStartToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_BareWindowWithViewerToFirstFrame(benchmark::State& state) {
  Program();
  for (auto _ : state) {
    auto w = std::make_unique<QMainWindow>();
    auto* viewer = new gl3d::TGL3DSceneViewer();
    w->setCentralWidget(viewer);
    w->resize(1024, 600);
    w->show();
    if (!QTest::qWaitForWindowExposed(w.get())) std::abort();
    while (viewer->Buffer()->FrameCount() == 0) QCoreApplication::processEvents();
    state.PauseTiming();
    w.reset();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_BareWindowWithViewerToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(10);

// The update handlers of every action and the enabling of the command menus, in editor mode
// `mode` (the torus's bend editor for 4) on a grid of `size` x `size` with a 4 x 3 block
// selected; the pass before the loop has asked the editors what they allow.
std::unique_ptr<editor::TMainFrm> SelectedBlockWindow(int size, int mode) {
  Program();
  auto f = ShownWindow();
  f->NewShape(mode == 4 ? shape::SCTYPE_TORUS : shape::SCTYPE_SPHERE, size, size);
  shape::TCS& cs = shape::CurrentShape;
  for (int i = 4; i < 8; ++i)
    for (int j = 10; j < 13; ++j) cs.SP[i][j] = true;
  shape::CountSelectedPoints(cs);
  shape::CommitShapePoints(cs);
  f->SetEditorMode(mode);
  f->RefreshEditorUi(true);
  f->IdleLoop();
  return f;
}

void BM_UpdatePass(benchmark::State& state) {
  auto f = SelectedBlockWindow(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) {
    f->ActionManager1.UpdateActions();
    f->UpdateCommandMenus();
  }
}
BENCHMARK(BM_UpdatePass)
    ->ArgsProduct({{33, 257}, {0, 1, 2, 3, 4, 5, 6, 7}})
    ->ArgNames({"size", "mode"})
    ->Unit(benchmark::kMicrosecond);

// The same pass when the selection has just changed (here its count, one point more and one
// less in turn; the count is kept by hand, so that the loop times the pass, not a recount).
void BM_UpdatePassAfterChange(benchmark::State& state) {
  auto f = SelectedBlockWindow(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  shape::TCS& cs = shape::CurrentShape;
  for (auto _ : state) {
    cs.SP[9][20] = !cs.SP[9][20];
    cs.Count += cs.SP[9][20] ? 1 : -1;
    f->ActionManager1.UpdateActions();
    f->UpdateCommandMenus();
  }
}
BENCHMARK(BM_UpdatePassAfterChange)
    ->ArgsProduct({{33, 257}, {0, 7}})
    ->ArgNames({"size", "mode"})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
