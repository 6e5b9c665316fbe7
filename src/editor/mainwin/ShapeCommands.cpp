// The Shape menu: the prism and round presets, which replace the shape through the current
// shape editor (ScBasePresets.cpp), and the "Crystallized" switch they read. Without a shape
// editor (the texture and sculpt-image modes) a preset does nothing.
#include "editor/mainwin/MainFrm.h"
#include "editor/panes/ScBase.h"
#include "settings/AppSettings.h"
#include "shape/model/uScPrim.h"

namespace editor {

using platform::TAction;
using settings::AppSettings;
using shape::CurrentShape;

void TMainFrm::WireShapeActions() {
  for (const char* name : {"ShapeCylinder", "ShapePrism", "ShapePillar", "ShapePentagon", "ShapeHexagon",
                           "ShapeHeptagon", "ShapeOctagon"}) {
    TAction* a = Act(name);
    a->OnUpdate = [](TAction* s) { s->SetEnabled(true); };
    a->OnExecute = [this](TAction* s) {
      if (!CurrentShapeEditor) return;
      // The lathe editor shapes a torus's tube; on the other stitch types it keeps to the rows
      // selected on its profile line, where every other editor takes all rows.
      if (EditorMode == 1 && CurrentShape.ScType == shape::SCTYPE_TORUS)
        CurrentShapeEditor->PrismPresetTorus(CurrentShape, s->Tag);
      else
        CurrentShapeEditor->PrismPreset(CurrentShape, s->Tag, EditorMode != 1);
      AfterCommand();
    };
  }
  TAction* crystallized = Act("ShapeCrystallized");
  crystallized->Action()->setCheckable(true);
  crystallized->OnUpdate = [](TAction* s) {
    s->SetEnabled(true);
    s->SetChecked(AppSettings.Crystallized);
  };
  crystallized->OnExecute = [](TAction*) { AppSettings.Crystallized = !AppSettings.Crystallized; };

  struct Round {
    const char* name;
    bool (*applies)(shape::TScType);
  };
  static const Round rounds[] = {
      {"ShapeBall", [](shape::TScType) { return true; }},
      {"ShapeCap", [](shape::TScType) { return true; }},
      {"ShapeCone", [](shape::TScType) { return true; }},
      {"ShapeBevel",
       [](shape::TScType t) { return t == shape::SCTYPE_SPHERE || t == shape::SCTYPE_CYLINDER; }},
      {"ShapeFillPillar", [](shape::TScType t) { return t != shape::SCTYPE_TORUS; }},
      {"ShapeCushion", [](shape::TScType t) { return t == shape::SCTYPE_SPHERE; }},
  };
  for (const Round& r : rounds) {
    TAction* a = Act(r.name);
    a->OnUpdate = [applies = r.applies](TAction* s) { s->SetEnabled(applies(CurrentShape.ScType)); };
    a->OnExecute = [this](TAction* s) {
      if (!CurrentShapeEditor) return;
      CurrentShapeEditor->RoundPreset(CurrentShape, s->Tag);
      AfterCommand();
    };
  }
}

}  // namespace editor
