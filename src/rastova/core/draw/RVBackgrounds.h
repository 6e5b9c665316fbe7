#pragma once
// The backgrounds of the dialogs and of the image view: a bell-shaped ramp of values and the
// two grey patterns painted from it.
#include <cstdint>
#include <vector>

namespace platform {
class TBitmap;
}

namespace rv {

// Output[i] for i in 0 .. Count - 1: with t = 2 i / Count - 1 and v(i) = exp(-0.5 Sigma^2 t^2) /
// (Sigma sqrt(2 pi)), v(i) / max v x (High - Low) + Low, so the largest entry is High.
// (4, 130, 255, 0.5) gives 240.3.., 251.1.., 255, 251.1... Output is empty for Count <= 0.
void GaussianRamp(int32_t Count, double Low, double High, double Sigma, std::vector<double>& Output);

// Width x Height at 24 bits in horizontal grey stripes: row y is trunc(S[y mod 4]) with
// S = GaussianRamp (4, 130, 255, 0.5), that is 240, 251, 255, 251.
void PaintStripedBackground(platform::TBitmap& Bitmap, int32_t Width, int32_t Height);
// Width x Height at 24 bits: a grey ramp across, trunc(S[x]) with S = GaussianRamp (Width, 160,
// 208, 3), plus a noise n that starts at 0 and changes to Random(11) each time a count of pixels,
// restarted on every row, exceeds Random(Width) + 100; n carries over from row to row. The
// numbers come from the program-wide random generator, so a fixed seed repeats the picture.
void PaintNoisyBackground(platform::TBitmap& Bitmap, int32_t Width, int32_t Height);

}  // namespace rv
