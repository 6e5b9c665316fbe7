#pragma once
// TColorSwatch: a plain shape filled with one colour, a rectangle or a circle, that reports the
// mouse as every control does (the dialogs open the colour picker on a click).
#include "platform/gfx/Color.h"
#include "platform/ui/Control.h"

namespace editor {

class TColorSwatch : public platform::TCustomControl {
 public:
  TColorSwatch(QWidget* parent, bool round);

  platform::TColor BrushColor() const { return brushColor_; }
  void SetBrushColor(platform::TColor color);

 protected:
  void Paint() override;

 private:
  bool round_;
  platform::TColor brushColor_ = platform::clWhite;
};

}  // namespace editor
