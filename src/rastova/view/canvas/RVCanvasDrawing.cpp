#include "rastova/view/canvas/RVCanvasDrawing.h"

#include <algorithm>

#include "rastova/view/canvas/RVCanvas.h"

namespace rv {

void DrawTranslucentTextHint(platform::TCanvas& Canvas, int32_t& X, int32_t& Y, const std::string& Text,
                             const std::string& WidthText) {
  TRVCanvas c(Canvas, true, true);
  c.Font().Name = "Arial";
  c.Font().SetSize(9);
  c.Font().Color = platform::clBlack;
  c.Brush().SetColor(0x60FFFF);
  c.Brush().SetStyle(platform::bsSolid);
  c.Brush().SetTransparency(128);
  const int32_t w = std::max(c.TextWidth(Text), c.TextWidth(WidthText)) + 12;
  const int32_t h = c.TextHeight(Text) + 12;
  X = std::max(X, 0);
  Y = std::max(Y, 0);
  c.FillRect(platform::TRect{X + 6, Y + 6, X + w, Y + h});
  // Lit on the left and top, shaded on the right and bottom.
  c.Pen().SetStyle(platform::psSolid);
  c.Pen().SetWidth(1);
  c.Pen().SetColor(platform::clWhite);
  c.DrawLine(X + 6, Y + h - 1, X + 6, Y + 6);
  c.DrawLine(X + 6, Y + 6, X + w - 1, Y + 6);
  c.Pen().SetColor(platform::clGray);
  c.DrawLine(X + w - 1, Y + 6, X + w - 1, Y + h - 1);
  c.DrawLine(X + w - 1, Y + h - 1, X + 6, Y + h - 1);
  c.Brush().SetStyle(platform::bsClear);
  c.TextOut(X + 9, Y + 9, Text);
}

void ShadeOutsideRect(platform::TCanvas& Canvas, int32_t X0, int32_t Y0, int32_t W, int32_t H, int32_t L,
                      int32_t T, int32_t R, int32_t B) {
  if (L >= R || T >= B) return;
  TRVCanvas c(Canvas, false, true);
  c.Brush().SetColor(platform::clBlack);
  c.Brush().SetStyle(platform::bsSolid);
  c.Brush().SetTransparency(150);
  const int32_t right = X0 + W + 1, bottom = Y0 + H + 1;
  c.FillRect(platform::TRect{X0, Y0, L + 2, bottom});        // left
  c.FillRect(platform::TRect{R, Y0, right, bottom});         // right
  c.FillRect(platform::TRect{L + 1, Y0, R + 1, T + 2});      // top
  c.FillRect(platform::TRect{L + 1, B + 1, R + 1, bottom});  // bottom
}

}  // namespace rv
