#include "rastova/core/draw/RVBackgrounds.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/Random.h"
#include "common/Round.h"
#include "platform/gfx/Bitmap.h"

namespace rv {

namespace {

// Sizes the bitmap at 24 bits; false when nothing is left to paint.
bool PrepareBackground(platform::TBitmap& bitmap, int32_t width, int32_t height) {
  bitmap.SetPixelFormat(platform::pf24bit);
  bitmap.SetSize(width, height);
  return !bitmap.Empty();
}

uint8_t Grey(double v) { return static_cast<uint8_t>(std::clamp<int64_t>(common::Trunc(v), 0, 255)); }

}  // namespace

void GaussianRamp(int32_t Count, double Low, double High, double Sigma, std::vector<double>& Output) {
  Output.assign(static_cast<size_t>(std::max(Count, 0)), 0.0);
  if (Count <= 0) return;
  const double scale = 1 / (Sigma * std::sqrt(2 * std::numbers::pi));
  double m = -100000;
  for (int32_t i = 0; i < Count; ++i) {
    const double t = 2.0 * i / Count - 1;
    Output[i] = scale * std::exp(-0.5 * Sigma * Sigma * t * t);
    if (Output[i] > m) m = Output[i];
  }
  for (double& v : Output) v = v / m * (High - Low) + Low;
}

void PaintStripedBackground(platform::TBitmap& Bitmap, int32_t Width, int32_t Height) {
  if (!PrepareBackground(Bitmap, Width, Height)) return;
  std::vector<double> s;
  GaussianRamp(4, 130, 255, 0.5, s);
  for (int32_t y = 0; y < Bitmap.Height(); ++y) {
    uint8_t* row = Bitmap.ScanLine(y);
    std::fill(row, row + 3 * Bitmap.Width(), Grey(s[y % 4]));
  }
}

void PaintNoisyBackground(platform::TBitmap& Bitmap, int32_t Width, int32_t Height) {
  if (!PrepareBackground(Bitmap, Width, Height)) return;
  std::vector<double> s;
  GaussianRamp(Width, 160, 208, 3, s);
  int32_t n = 0;
  for (int32_t y = 0; y < Bitmap.Height(); ++y) {
    uint8_t* row = Bitmap.ScanLine(y);
    int32_t counter = 0;
    for (int32_t x = 0; x < Bitmap.Width(); ++x) {
      std::fill(row + 3 * x, row + 3 * x + 3, Grey(common::Trunc(s[x]) + n));
      ++counter;
      if (counter > common::Random(Width) + 100) {
        n = common::Random(11);
        counter = 0;
      }
    }
  }
}

}  // namespace rv
