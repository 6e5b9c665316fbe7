// TScBase: the Shape menu's presets (ShapePresets.h), each ending with ApplyShape (Shape,
// false): clamp, seams and count, without snapping and without Generate.
#include "editor/panes/ScBase.h"
#include "editor/panes/ShapePresets.h"

namespace editor {

void TScBase::PrismPreset(TCS& Shape, int32_t Sides, bool AllRows) {
  PrismPresetPoints(Shape, Sides, AllRows, CurrentLine);
  ApplyShape(Shape, false);
}

void TScBase::PrismPresetTorus(TCS& Shape, int32_t Sides) {
  PrismPresetTorusPoints(Shape, Sides);
  ApplyShape(Shape, false);
}

void TScBase::RoundPreset(TCS& Shape, int32_t Kind) {
  RoundPresetPoints(Shape, Kind);
  ApplyShape(Shape, false);
}

}  // namespace editor
