// The Sides menu of the line editors (lathe, extrusion, ring), with its Custom dialog, and the
// Section menu of the bend editors: the eight cross-section profiles, built at start-up with a
// glyph of each profile's line.
#include <QIcon>
#include <QMenu>
#include <QPixmap>

#include "editor/dialogs/SidesDlg.h"
#include "editor/editors/uScKANTEN.h"
#include "editor/mainwin/MainFrm.h"
#include "editor/panes/ScBase.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "shape/model/uScPrim.h"

namespace editor {

using platform::TAction;
using shape::CurrentShape;

void DrawSectionGlyph(platform::TBitmap& bitmap, int32_t type) {
  bitmap.SetSize(16, 16);
  platform::TCanvas canvas(bitmap);
  canvas.Pen.Color = platform::clWhite;
  canvas.Brush.Color = platform::clWhite;
  canvas.Rectangle(0, 0, 16, 16);
  TIconPixel pixels[33];
  SectionIconPixels(type, pixels);
  platform::TPoint line[33];
  for (int k = 0; k < 33; ++k) line[k] = {pixels[k].X, pixels[k].Y};
  canvas.Pen.Color = platform::clBlack;
  canvas.Polyline(line);
}

// ---- Sides ----

void TMainFrm::SidesCustomExecute() {
  if (!SidesDlg) return;
  SidesDlg->OnSidesChanged = [this] {
    MeshDirty = true;
    RefreshEditorUi(false);
  };
  // The dialog's buttons run the menu's commands of the same captions.
  SidesDlg->OnSideCommand = [this](const std::string& caption) {
    const char* name = caption == "Select &All"    ? "SidesAll"
                       : caption == "Select &None" ? "SidesNone"
                       : caption == "&Reverse"     ? "SidesReverse"
                                                   : nullptr;
    if (TAction* a = name ? Act(name) : nullptr) a->OnExecute(a);
  };
  SidesDlg->Execute(CurrentShapeEditor, CurrentShape);
}

void TMainFrm::WireSidesSectionActions() {
  auto sidesModes = [this](TAction* a) {
    a->SetEnabled(EditorMode == 1 || EditorMode == 2 || EditorMode == 5);
  };
  // After a change of the marks the mesh follows; the selection frame only where the marked
  // lines themselves may have moved.
  auto changed = [this](bool withHandles) {
    MeshDirty = true;
    RefreshEditorUi(withHandles);
  };
  for (const char* name : {"SidesAll", "SidesNone"}) {
    TAction* a = Act(name);
    a->OnUpdate = sidesModes;
    a->OnExecute = [this, changed, all = std::string(name) == "SidesAll"](TAction*) {
      if (CurrentShapeEditor && CurrentShapeEditor->MarkAllSides(all)) changed(false);
    };
  }
  for (const char* name : {"Sides16", "Sides08", "Sides04", "Sides02", "Sides01"}) {
    TAction* a = Act(name);
    a->OnUpdate = sidesModes;
    a->OnExecute = [this, changed](TAction* s) {
      if (CurrentShapeEditor && CurrentShapeEditor->MarkSidesEveryN(s->Tag)) changed(true);
    };
  }
  Act("SidesReverse")->OnUpdate = sidesModes;
  Act("SidesReverse")->OnExecute = [this, changed](TAction*) {
    if (CurrentShapeEditor && CurrentShapeEditor->ReverseSides()) changed(false);
  };
  Act("SidesCustom")->OnUpdate = [this](TAction* a) { a->SetEnabled(CommandQueries().CustomSides); };
  Act("SidesCustom")->OnExecute = [this](TAction*) { SidesCustomExecute(); };
  Act("SideFolder")->OnUpdate = sidesModes;
  Act("SideFolder")->OnExecute = [this](TAction*) {
    if (CurrentShapeEditor && CurrentShapeEditor->FillUnmarkedSides(CurrentShape)) AfterCommand();
  };
}

// ---- Section ----

void TMainFrm::BuildSectionActions() {
  for (int32_t type = 0; type < SectionTypeCount; ++type) {
    TAction* a = NewAction("Section" + std::to_string(type), SectionCaptions[type], type);
    a->Category = "Section";
    a->SetGroupIndex(7);
    if (type >= 2) {
      platform::TBitmap glyph;
      DrawSectionGlyph(glyph, type);
      ImageList1.push_back(glyph.Image().copy());
      a->Action()->setIcon(QIcon(QPixmap::fromImage(ImageList1.back())));
    }
    a->OnUpdate = [this](TAction* s) {
      s->SetEnabled(EditorMode == 3 || EditorMode == 4);
      s->SetChecked(s->Tag == CurrentSection);
    };
    a->OnExecute = [this](TAction* s) {
      CurrentSection = s->Tag;
      if (CurrentShapeEditor && CurrentShapeEditor->SectionChanged(CurrentShape)) AfterCommand();
    };
    SectionMenu->addAction(a->Action());
  }
}

}  // namespace editor
