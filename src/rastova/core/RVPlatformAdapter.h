#pragma once
// The image library over the drawing layer: the platform bitmap behind the rvTBitmap
// location, system colours, and the few helpers that draw on a canvas.
#include <cstdint>

#include "rastova/core/RVDefs.h"
#include "rastova/core/RVMask.h"

namespace platform {
class TCanvas;
}

namespace rv {

// Installs the drawing layer's bitmap and colour resolver (run by the core's start-up); a
// build without the drawing layer keeps the memory stand-in.
void InstallPlatformBitmapAdapter();
// Whether the drawing layer is linked in.
bool HasPlatformDrawing();

// With a solid pen in copy mode, width 1: Color1 from (x1, y2) to (x1, y1) and on to
// (x2, y1); Color2 from (x1, y2) to (x2, y2) and on to (x2, y1).
void DrawEdgeFrame(platform::TCanvas& canvas, int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor color1,
                   TColor color2);

// Paints the mask routines' pixels on a canvas.
class TRVCanvasMaskPainter : public TRVMaskPainter {
 public:
  explicit TRVCanvasMaskPainter(platform::TCanvas& canvas) : canvas_(canvas) {}
  void PaintPixel(int32_t x, int32_t y, const TRGB& colour) override;
  void InvertPixel(int32_t x, int32_t y) override;

 private:
  platform::TCanvas& canvas_;
};

}  // namespace rv
