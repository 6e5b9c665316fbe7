// The Tools menu: one command per plug-in kept at start-up, enabled in the six-sided editor only;
// a plug-in that reports a new shape has it taken as a new shape with one undo step.
#include <QMenu>

#include "editor/mainwin/EditorModules.h"
#include "editor/mainwin/MainFrm.h"
#include "editor/panes/ScBase.h"
#include "shape/model/uScPrim.h"

namespace editor {

using shape::CurrentShape;

void TMainFrm::LoadPlugins() {
  // The menu is shown while the folder is searched and hidden again when nothing was kept.
  ToolsMenu->menuAction()->setVisible(true);
  const int kept =
      options_.PluginFolder.empty() ? PluginHandles.LoadPlugins() : PluginHandles.LoadPlugins(options_.PluginFolder);
  for (int k = 0; k < kept; ++k) {
    const TPluginModule& plugin = PluginHandles.Plugin(k);
    platform::TAction* a =
        NewAction("ActPlugin" + std::to_string(k), QString::fromStdU16String(plugin.Name), k);
    a->Category = "Tools";
    a->OnExecute = [this](platform::TAction* s) { RunPlugin(s); };
    a->OnUpdate = [this](platform::TAction* s) { PluginActionUpdate(s); };
    ToolsMenu->addAction(a->Action());
    pluginActions_.push_back(a);
  }
  if (kept == 0) ToolsMenu->menuAction()->setVisible(false);
}

void TMainFrm::PluginActionUpdate(platform::TAction* action) { action->SetEnabled(EditorMode == 0); }

void TMainFrm::RunPlugin(platform::TAction* action) {
  if (!PluginHandles.RunPlugin(action->Tag, static_cast<QWidget*>(this), CurrentShape)) return;
  // 3.1
  if (CurrentShapeEditor) CurrentShapeEditor->ApplyShape(CurrentShape, true);
  // 3.2
  SetSelectionAll(false);
  // 3.3
  shape::SetGridSize(CurrentShape);
  ShowDefaultTexture();
  UpdateTabsAndStatus();
  ResetEditorsForShape();
  TabControl1Change();
  // 3.4
  shape::UndoPush(*UndoRing, CurrentShape);
  MeshDirty = true;
  SetStatusText(2, "Sculpted Prim:Plug-in Data");
}

void TMainFrm::UnloadPlugins() { PluginHandles.UnloadPlugins(); }

}  // namespace editor
