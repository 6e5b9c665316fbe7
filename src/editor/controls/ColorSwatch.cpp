#include "editor/controls/ColorSwatch.h"

namespace editor {

TColorSwatch::TColorSwatch(QWidget* parent, bool round) : TCustomControl(parent), round_(round) {}

void TColorSwatch::SetBrushColor(platform::TColor color) {
  if (color == brushColor_) return;
  brushColor_ = color;
  Repaint();
}

void TColorSwatch::Paint() {
  platform::TCanvas& canvas = Canvas();
  canvas.Pen = platform::TPen{};
  canvas.Brush = platform::TBrush{brushColor_, platform::bsSolid};
  if (round_)
    canvas.Ellipse(0, 0, width(), height());
  else
    canvas.Rectangle(0, 0, width(), height());
}

}  // namespace editor
