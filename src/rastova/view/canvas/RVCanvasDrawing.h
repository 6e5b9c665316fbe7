#pragma once
// Overlays the image view and its tools draw through the anti-aliased canvas: the translucent
// hint box and the shading around a rectangle. Their opaque siblings (DrawTextHint, the
// shadows) are in rastova/core/draw.
#include <cstdint>
#include <string>

#include "platform/gfx/Canvas.h"

namespace rv {

// A half-transparent light-yellow box ($60FFFF at opacity 128) with Text in black 9-point
// "Arial": W = the wider of Text and WidthText + 12, H = Text's height + 12; X and Y are raised
// to at least 0 (and given back); the box fills (X + 6, Y + 6) .. (X + W, Y + H), framed white
// on the left and top and grey ($808080) on the right and bottom; Text is written at (X + 9,
// Y + 9). WidthText only sizes the box.
void DrawTranslucentTextHint(platform::TCanvas& Canvas, int32_t& X, int32_t& Y, const std::string& Text,
                             const std::string& WidthText);

// Darkens the area (X0, Y0, W x H) around the rectangle (L, T, R, B) by filling, not
// anti-aliased, black at opacity 150: (X0, Y0, L + 2, Y0 + H + 1) on the left, (R, Y0, X0 + W + 1,
// Y0 + H + 1) on the right, (L + 1, Y0, R + 1, T + 2) above and (L + 1, B + 1, R + 1, Y0 + H + 1)
// below (each one pixel narrower and lower on the smoothing path). Nothing when L >= R or T >= B.
void ShadeOutsideRect(platform::TCanvas& Canvas, int32_t X0, int32_t Y0, int32_t W, int32_t H, int32_t L,
                      int32_t T, int32_t R, int32_t B);

}  // namespace rv
