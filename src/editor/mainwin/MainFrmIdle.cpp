// The main window's idle loop: the work that edits left pending, carried out each time the event
// queue has run empty, in a fixed order; each flag is cleared just before its work, so work
// asked for while it runs stays pending for the next pass.
#include <QMenu>

#include "editor/editors/uScDODUDA.h"
#include "editor/mainwin/EditorModules.h"
#include "editor/mainwin/MainFrm.h"
#include "editor/mainwin/PreviewScene.h"
#include "platform/ui/Application.h"
#include "platform/ui/Control.h"
#include "settings/AppSettings.h"
#include "shape/model/uScPrim.h"

namespace editor {

void TMainFrm::IdleLoop() {
  // 1
  if (Starting) return;
  auto step = [this](const char* name) {
    if (OnIdleStep) OnIdleStep(name);
  };
  // 2: the messages that are waiting first (a drag's moves come in bursts).
  if (MeshDirty || TextureDirty || PaneRequest != 0)
    if (platform::TApplication* app = platform::TApplication::Instance()) app->ProcessMessages();
  // 3
  if (MeshDirty) {
    MeshDirty = false;
    step("mesh");
    Preview->BuildPreviewMesh(shape::CurrentShape);
  }
  // 4
  if (TextureDirty) {
    TextureDirty = false;
    step("texture");
    Preview->UploadPreviewTexture();
  }
  // 5
  if (PlaneDirty) {
    PlaneDirty = false;
    step("plane");
    const bool visible = settings::AppSettings.DodudaBackground && EditorMode == 0;
    const int side = ScDODUDA->ViewSide;
    const bool hasPicture = side >= 0 && side < 6 && !ScDODUDA->SideBackgrounds[side].Empty();
    Preview->UpdatePlane(visible, side, hasPicture,
                         hasPicture ? ScDODUDA->SideBackgrounds[side] : ScDODUDA->BackgroundBitmap);
  }
  // 6
  if (PaneRequest != 0) {
    const int32_t request = PaneRequest;
    step("pane");
    switch (request) {
      case 1:
        CurrentEditor->PaintAlt(shape::CurrentShape, *Image1);
        FillChannelBoxes(true);
        break;
      case 2:
        FullRedraw();
        break;
      case 3:
        AfterCommand();
        break;
      default:
        break;
    }
    SyncScrollBars();
    PaneRequest = 0;
  }
  // 7
  Preview->PollSpaceMouse();
  // The actions' enabling follows the state the pass left.
  ActionManager1.UpdateActions();
  ViewMenu->menuAction()->setEnabled(EditorMode != 6 && EditorMode != 7);
  ToolsMenu->menuAction()->setEnabled(EditorMode == 0);
}

}  // namespace editor
