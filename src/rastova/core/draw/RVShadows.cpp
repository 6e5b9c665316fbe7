#include "rastova/core/draw/RVShadows.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/Round.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVColorReduce.h"

namespace rv {

namespace {

// A strip seen along its length: `across` runs away from the image (columns of the vertical
// strip, rows of the horizontal one), `along` beside it.
struct Strip {
  platform::TCanvas& canvas;
  platform::TBitmap* bitmap;
  bool vertical;
  int64_t acrossOrigin, alongOrigin;  // X1, Y1 of the vertical strip; Y1, X1 of the horizontal one
  int64_t acrossLimit, alongLimit;    // the drawing area's extent on each axis

  int32_t X(int64_t across, int64_t along) const {
    return static_cast<int32_t>(vertical ? acrossOrigin + across : alongOrigin + along);
  }
  int32_t Y(int64_t across, int64_t along) const {
    return static_cast<int32_t>(vertical ? alongOrigin + along : acrossOrigin + across);
  }
  // The offsets from..to (inclusive) of an axis that fall on the drawing area.
  static void Clip(int64_t origin, int64_t limit, int64_t& from, int64_t& to) {
    from = std::max(from, -origin);
    to = std::min(to, limit - 1 - origin);
  }
};

// The drawing area: the canvas's bitmap and the given bitmap together.
Strip MakeStrip(platform::TCanvas& canvas, platform::TBitmap* bitmap, bool vertical, int32_t x1, int32_t y1) {
  int64_t width = canvas.Bitmap().Width(), height = canvas.Bitmap().Height();
  if (bitmap) {
    width = std::max<int64_t>(width, bitmap->Width());
    height = std::max<int64_t>(height, bitmap->Height());
  }
  return vertical ? Strip{canvas, bitmap, true, x1, y1, width, height}
                  : Strip{canvas, bitmap, false, y1, x1, height, width};
}

void Darken(const Strip& s, int32_t x, int32_t y, double factor) {
  platform::TBitmap* b = s.bitmap;
  if (b && x < b->Width() && y < b->Height() &&
      (b->PixelFormat() == platform::pf24bit || b->PixelFormat() == platform::pf32bit)) {
    uint8_t* p = b->ScanLine(y) + static_cast<ptrdiff_t>(x) * (b->BitsPerPixel() / 8);
    for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(common::Trunc(p[c] * factor));
    return;
  }
  const TColor color = s.canvas.Pixels(x, y);
  if (color == -1) return;
  const auto scale = [&](int shift) {
    return static_cast<TColor>(common::Trunc(((color >> shift) & 0xFF) * factor)) << shift;
  };
  s.canvas.SetPixels(x, y, scale(0) | scale(8) | scale(16));
}

// Style 2: the fading strip, `across` columns (or rows) of `a` pixels, each darkened from
// alongFrom to alongTo(g) beside the image.
void FadingStrip(const Strip& s, int64_t a, int64_t alongFrom, int64_t alongEnd, int64_t extra) {
  int64_t gFrom = 0, gTo = a - 1;
  Strip::Clip(s.acrossOrigin, s.acrossLimit, gFrom, gTo);
  for (int64_t g = gFrom; g <= gTo; ++g) {
    const double t = static_cast<double>(a - g) / (static_cast<double>(a) / 3);
    const double factor = std::exp(-0.1 - t * t / 6);
    int64_t from = alongFrom, to = alongEnd + g - a + extra;
    Strip::Clip(s.alongOrigin, s.alongLimit, from, to);
    for (int64_t r = from; r <= to; ++r) Darken(s, s.X(g, r), s.Y(g, r), factor);
  }
}

uint8_t GradientGrey(double exponent) {
  return static_cast<uint8_t>(
      std::clamp<int64_t>(common::Trunc(std::exp(exponent) / std::numbers::e * 255), 0, 255));
}

// Style 3: the grey gradient, `length` + 1 lines beside the image, `a` + 1 pixels across.
void GradientStrip(const Strip& s, int64_t a, int64_t length) {
  int64_t iFrom = 0, iTo = length;
  Strip::Clip(s.alongOrigin, s.alongLimit, iFrom, iTo);
  // The line start k grows by one for every line past `length - a + 1`.
  const int64_t kneeBefore = std::max<int64_t>(length - a + 1, -1);
  for (int64_t i = iFrom; i <= iTo; ++i) {
    const uint8_t v = GradientGrey(static_cast<double>(length - 3 * i) / static_cast<double>(length));
    int64_t from = std::max<int64_t>(0, i - kneeBefore), to = a;
    Strip::Clip(s.acrossOrigin, s.acrossLimit, from, to);
    for (int64_t j = from; j <= to; ++j) {
      const uint8_t g = std::max(v, GradientGrey(static_cast<double>(j) / static_cast<double>(a)));
      s.canvas.SetPixels(s.X(j, i), s.Y(j, i), platform::RGB(g, g, g));
    }
  }
}

void DrawShadowStrip(platform::TCanvas& canvas, platform::TBitmap* bitmap, int32_t x1, int32_t y1, int32_t x2,
                     int32_t y2, uint8_t style, bool vertical) {
  const int64_t w = int64_t(x2) - x1 + 1, h = int64_t(y2) - y1 + 1;
  if (w <= 0 || h <= 0) return;
  const auto sat = [](int64_t v) { return common::SaturateInt32(v); };
  const Strip s = MakeStrip(canvas, bitmap, vertical, x1, y1);
  const int64_t across = vertical ? w : h, length = vertical ? h : w;
  switch (style) {
    case 1:
      canvas.FillRect(vertical ? platform::Rect(x1, sat(y1 + w), x2, sat(int64_t(y2) + 1))
                               : platform::Rect(sat(x1 + h), y1, sat(int64_t(x2) + 1), y2));
      break;
    case 2:
      FadingStrip(s, across, across, (vertical ? y2 : x2) - int64_t(vertical ? y1 : x1), vertical ? 3 : 1);
      break;
    case 3:
      GradientStrip(s, across, length);
      break;
    default:
      break;
  }
}

}  // namespace

void DrawVerticalShadow(platform::TCanvas& Canvas, platform::TBitmap* Bitmap, int32_t X1, int32_t Y1,
                        int32_t X2, int32_t Y2, uint8_t Style) {
  DrawShadowStrip(Canvas, Bitmap, X1, Y1, X2, Y2, Style, true);
}

void DrawHorizontalShadow(platform::TCanvas& Canvas, platform::TBitmap* Bitmap, int32_t X1, int32_t Y1,
                          int32_t X2, int32_t Y2, uint8_t Style) {
  DrawShadowStrip(Canvas, Bitmap, X1, Y1, X2, Y2, Style, false);
}

void DrawSoftShadow(platform::TBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  const int bytes = Bitmap.PixelFormat() == platform::pf24bit   ? 3
                    : Bitmap.PixelFormat() == platform::pf32bit ? 4
                                                                : 0;
  if (bytes == 0 || Bitmap.Empty()) return;
  // The shadow spans X1 - 5 .. X2 + 5; only its part on the bitmap is darkened.
  const int64_t left = std::max<int64_t>(int64_t(X1) - 5, 0),
                right = std::min<int64_t>(int64_t(X2) + 5, Bitmap.Width() - 1);
  const int64_t top = std::max<int64_t>(int64_t(Y1) - 5, 0),
                bottom = std::min<int64_t>(int64_t(Y2) + 5, Bitmap.Height() - 1);
  if (left > right || top > bottom) return;
  // The grey picture covers that part and the blur's reach around it (at most 100 pixels),
  // within the shadow's own extent, so every darkened pixel sees the same neighbours as in a
  // grey picture of the whole shadow.
  constexpr int64_t kReach = 100;
  const int64_t gx = std::max<int64_t>(left - kReach, int64_t(X1) - 5),
                gy = std::max<int64_t>(top - kReach, int64_t(Y1) - 5);
  const int64_t gw = std::min<int64_t>(right + kReach, int64_t(X2) + 5) - gx + 1;
  const int64_t gh = std::min<int64_t>(bottom + kReach, int64_t(Y2) + 5) - gy + 1;
  TRVBitmap grey(static_cast<int32_t>(gw), static_cast<int32_t>(gh), rv8g);
  if (grey.IsEmpty()) return;
  grey.Fill(0);
  const auto local = [](int64_t v, int64_t origin) { return common::SaturateInt32(v - origin); };
  grey.FillRect(local(X1, gx), local(Y1, gy), local(int64_t(X2) + 2, gx), local(int64_t(Y2) + 2, gy), 255);
  BlurGreyBitmap(grey, 0, 0, 2.5, grey.GetHeight() - 1, grey.GetWidth() - 1);
  for (int64_t y = top; y <= bottom; ++y) {
    uint8_t* row = Bitmap.ScanLine(static_cast<int>(y));
    const uint8_t* shade = grey.GetScanLine(static_cast<int32_t>(y - gy));
    const bool imageRow = y >= Y1 && y < Y2;
    for (int64_t x = left; x <= right; ++x) {
      if (imageRow && x >= X1 && x < X2) continue;
      const double keep = 1 - shade[x - gx] / 255.0;
      uint8_t* p = row + x * bytes;
      for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(common::Trunc(p[c] * keep));
    }
  }
}

}  // namespace rv
