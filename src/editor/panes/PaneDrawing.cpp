#include "editor/panes/PaneDrawing.h"

#include "platform/gfx/PainterDrawing.h"
#include "settings/AppSettings.h"

namespace editor {

namespace {

TPaneDrawingFactory& Factory() {
  static TPaneDrawingFactory factory;
  return factory;
}

}  // namespace

std::unique_ptr<platform::TDrawing> CreatePaneDrawing(platform::TBitmap& Surface) {
  if (Factory()) return Factory()(Surface);
  return std::make_unique<platform::TPainterDrawing>(Surface);
}

void SetPaneDrawingFactory(TPaneDrawingFactory Factory_) { Factory() = std::move(Factory_); }

bool UseDirect2DPipeline() { return settings::AppSettings.UseDirect2D; }

platform::TArgb ColorToArgb(platform::TColor Colour, uint8_t Alpha) {
  const uint32_t c = static_cast<uint32_t>(Colour);
  return ((c >> 16) & 0xFF) | (c & 0xFF00) | ((c & 0xFF) << 16) | (static_cast<uint32_t>(Alpha) << 24);
}

}  // namespace editor
