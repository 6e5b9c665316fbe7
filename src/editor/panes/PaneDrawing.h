#pragma once
// What the pane painters share: the drawing they paint a pane's surface with (one factory, so
// tests can record the calls), the choice between the two pipelines, and the conversion of the
// program's colours to ARGB.
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/gfx/Color.h"
#include "platform/gfx/Drawing.h"

namespace platform {
class TBitmap;
}

namespace editor {

// Makes the drawing for a pane's surface bitmap.
using TPaneDrawingFactory = std::function<std::unique_ptr<platform::TDrawing>(platform::TBitmap& Surface)>;

// The drawing a painter paints `Surface` with: a TPainterDrawing, or what the installed factory
// makes.
std::unique_ptr<platform::TDrawing> CreatePaneDrawing(platform::TBitmap& Surface);
// Installs a factory (an empty one brings back the QPainter drawing).
void SetPaneDrawingFactory(TPaneDrawingFactory Factory);

// Whether the painters take the "Direct2D" pipeline rather than the "GDI+" one. The system
// version always counts as new enough and that pipeline as supported here, so the "useDirect2D"
// setting alone decides.
bool UseDirect2DPipeline();

// A program colour ($00BBGGRR) with an alpha as ARGB: red and blue swapped, alpha on top. The
// "Direct2D" pipeline's opacities n/255 are the alpha n.
platform::TArgb ColorToArgb(platform::TColor Colour, uint8_t Alpha);

}  // namespace editor
