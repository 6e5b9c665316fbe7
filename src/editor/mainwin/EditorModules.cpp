#include "editor/mainwin/EditorModules.h"

#include <QImage>
#include <chrono>
#include <memory>

#include "common/MainThreadQueue.h"
#include "editor/editors/uScDODUDA.h"
#include "editor/editors/uScGYRAN.h"
#include "editor/editors/uScMAGE.h"
#include "editor/editors/uScTOKOROTEN.h"
#include "editor/editors/uScWAPPA.h"
#include "editor/panes/ScBitmap.h"
#include "editor/panes/TxDraw.h"
#include "platform/ui/Cursors.h"
#include "platform/ui/SystemClipboard.h"
#include "rastova/core/RVStartup.h"
#include "rastova/io/RastovaIOStartup.h"
#include "scene3d/base/Scene3dBase.h"
#include "scene3d/gl/GLContextManager.h"
#include "scene3d/platform/Scene3dPlatform.h"
#include "scene3d/scene/Scene3dScene.h"
#include "settings/AppSettings.h"
#include "shape/PointClipboard.h"
#include "shape/TextureBitmaps.h"

// The pictures are compiled into the editor library; a static library's resources are
// registered by name.
static void InitEditorResources() { Q_INIT_RESOURCE(editor_resources); }

namespace editor {

TScGYRAN* ScGYRAN = nullptr;
TScTOKOROTEN* ScTOKOROTEN = nullptr;
TScDODUDA* ScDODUDA = nullptr;
TScMAGE* ScMAGE = nullptr;
TScMAGETorus* ScMAGETorus = nullptr;
TScBitmap* ScBitmap = nullptr;
TScWAPPA* ScWAPPA = nullptr;
TTxDraw* TxDraw = nullptr;

const char* const CursorNames[12] = {"ROTURN", "RONWSE", "RONESW", "HAND1", "HAND2", "RONS",
                                     "ROEW",   "BTNWSE", "BTNESW", "BTNS",  "BTEW",  "ARMOVE"};

namespace {

// Hot spots of the cursor pictures (32 x 32): the centre, but the hands hold where the palm is.
constexpr int kHotSpots[12][2] = {{16, 16}, {16, 16}, {16, 16}, {16, 18}, {16, 18}, {16, 16},
                                  {16, 16}, {16, 16}, {16, 16}, {16, 16}, {16, 16}, {16, 16}};

std::unique_ptr<platform::TSystemClipboard>& Clipboard() {
  static std::unique_ptr<platform::TSystemClipboard> clipboard;
  return clipboard;
}

template <class T>
void Free(T*& editor) {
  delete editor;
  editor = nullptr;
}

}  // namespace

void CreateEditors() {
  ScGYRAN = new TScGYRAN();
  ScTOKOROTEN = new TScTOKOROTEN();
  ScDODUDA = new TScDODUDA();
  ScMAGE = new TScMAGE();
  ScMAGETorus = new TScMAGETorus();
  ScBitmap = new TScBitmap();
  ScWAPPA = new TScWAPPA();
  TxDraw = new TTxDraw();
}

void FreeEditors() {
  Free(TxDraw);
  Free(ScWAPPA);
  Free(ScBitmap);
  Free(ScMAGETorus);
  Free(ScMAGE);
  Free(ScDODUDA);
  Free(ScTOKOROTEN);
  Free(ScGYRAN);
}

void LoadProgramCursors() {
  InitEditorResources();
  for (int k = 0; k < 12; ++k) {
    const QImage image(QString(":/zephor/cursors/%1.png").arg(CursorNames[k]));
    platform::Cursors().SetFromImage(k + 1, image, kHotSpots[k][0], kHotSpots[k][1]);
  }
}

void FreeProgramCursors() {
  for (int k = 1; k <= 12; ++k) platform::Cursors().Remove(k);
}

QImage SplashPicture() {
  InitEditorResources();
  return QImage(":/zephor/splash.png");
}

void CreateServiceContext() {
  gl3d::GLContextManager().CreateServiceContext();
  // Start-up goes on once the context exists: its start-up task has run on the service thread.
  gl3d::TFinishTaskEvent done;
  gl3d::QueueServiceContextTask(&done, [] {});
  while (!done.WaitFor(std::chrono::milliseconds(10))) common::TMainThreadQueue::Instance().Drain();
}

void AddProgramSteps(common::TStartupSequence& sequence) {
  sequence.Add(
      "fpu", [] { common::MaskFloatingPointExceptions(); }, nullptr);
  // The GL layer first: its shut-down, which stops the service thread, runs last.
  sequence.Add(
      "scene3d_gl", [] { gl3d::GLContextStartup(); }, [] { gl3d::GLContextShutdown(); });
  gl3d::AddScene3dBaseSteps(sequence);
  gl3d::AddScene3dSceneSteps(sequence);
  gl3d::AddScene3dPlatformSteps(sequence);
  sequence.Add(
      "rastova",
      [] {
        rv::RegisterRastovaIOStartup();
        rv::RastovaLibraryStartup();
      },
      [] { rv::RastovaLibraryShutdown(); });
  sequence.Add(
      "texture_bitmaps", [] { shape::CreateTextureBitmaps(); }, [] { shape::FreeTextureBitmaps(); });
  sequence.Add(
      "settings", [] { settings::UpdateGridAngleStep(); }, nullptr);
  sequence.Add(
      "point_clipboard",
      [] {
        Clipboard() = std::make_unique<platform::TSystemClipboard>();
        shape::RegisterPointClipboardFormat(Clipboard().get());
      },
      [] {
        shape::RegisterPointClipboardFormat(nullptr);
        Clipboard().reset();
      });
  sequence.Add(
      "editors", [] { CreateEditors(); }, [] { FreeEditors(); });
  sequence.Add(
      "cursors", [] { LoadProgramCursors(); }, [] { FreeProgramCursors(); });
}

}  // namespace editor
