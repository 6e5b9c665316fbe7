#include "rastova/view/canvas/RVCanvasDrawing.h"

namespace rv {

void DrawTranslucentTextHint(platform::TCanvas&, int32_t&, int32_t&, const std::string&, const std::string&) {}

void ShadeOutsideRect(platform::TCanvas&, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {}

}  // namespace rv
