#include "shape/model/uScColor.h"

#include <algorithm>

#include "common/Round.h"

namespace shape {

namespace {

double ChannelOfHue(double h, double p, double q) {
  if (h < 60) return p + (q - p) * h / 60;
  if (h < 180) return q;
  if (h < 240) return p + (q - p) * (240 - h) / 60;
  return p;
}

uint8_t ToByte(double channel) {
  return static_cast<uint8_t>(std::clamp(common::TruncInt(channel * 255), 0, 255));
}

}  // namespace

void RGBToHSL(uint32_t color, int32_t& hue, int32_t& saturation, int32_t& lightness) {
  const double r = (color & 0xFF) / 255.0;
  const double g = ((color >> 8) & 0xFF) / 255.0;
  const double b = ((color >> 16) & 0xFF) / 255.0;
  const double mx = std::max({r, g, b});
  const double mn = std::min({r, g, b});
  const double l = (mx + mn) / 2;
  double h = 0;
  double s = 0;
  if (!(mx - mn < 1e-6)) {
    const double d = mx - mn;
    s = l <= 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
    const double dr = (mx - r) / d;
    const double dg = (mx - g) / d;
    const double db = (mx - b) / d;
    if (mx == r)
      h = db - dg;
    else if (mx == g)
      h = 2 + dr - db;
    else
      h = 4 + dg - dr;
    h *= 60;
    if (h < 0) h += 360;
  }
  hue = common::TruncInt(h);
  saturation = common::TruncInt(s * 100);
  lightness = common::TruncInt(l * 100);
}

void HSLToRGB(int32_t hue, int32_t saturation, int32_t lightness, uint8_t& red, uint8_t& green,
              uint8_t& blue) {
  const double s = saturation / 100.0;
  const double l = lightness / 100.0;
  if (saturation == 0) {
    red = green = blue = ToByte(l);
    return;
  }
  const double q = l <= 0.5 ? l * (1 + s) : (1 - s) * l + s;
  const double p = 2 * l - q;
  int32_t hr = hue + 120;
  if (hr >= 360) hr -= 360;
  int32_t hb = hue - 120;
  if (hb < 0) hb += 360;
  red = ToByte(ChannelOfHue(hr, p, q));
  green = ToByte(ChannelOfHue(hue, p, q));
  blue = ToByte(ChannelOfHue(hb, p, q));
}

uint32_t GroupColor(int32_t id) {
  int32_t hue = common::RoundInt(common::Mod(id, 11) * 1440.0L / 11.0L) % 360;
  if (hue < 0) hue += 360;
  uint8_t r, g, b;
  HSLToRGB(hue, 100, 75, r, g, b);
  return r | (g << 8) | (static_cast<uint32_t>(b) << 16);
}

}  // namespace shape
