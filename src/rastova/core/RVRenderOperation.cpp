// The 43 blend operations. Channels are combined with integer arithmetic (div truncating)
// unless an operation says otherwise.
#include "rastova/core/RVRenderOperation.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/Round.h"
#include "rastova/core/RVUtils.h"

namespace rv {

namespace {

inline int32_t Clamp(int32_t v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// One channel of the per-channel operations; s is the source channel, d the destination's.
int32_t Blend(TRVRenderOperation op, int32_t s, int32_t d) {
  switch (op) {
    case rvlAdd: return Clamp(s + d);
    case rvlSub: return std::abs(d - s);
    case rvlDiv: return Clamp(d / std::clamp(s, 1, 255));
    case rvlMul: return (s * d) >> 8;
    case rvlOR: return d | s;
    case rvlAND: return d & s;
    case rvlXOR: return d ^ s;
    case rvlMAX: return std::max(s, d);
    case rvlMIN: return std::min(s, d);
    case rvlAverage: return (s + d) >> 1;
    case rvlScreen: return common::TruncInt(255.0 - (255.0 - d) * (255.0 - s) / 255.0);
    case rvlNegation: return 255 - std::abs(255 - s - d);
    case rvlExclusion: return (d + s - (s * d) / 128) % 256;
    case rvlOverlay: return d >= 128 ? 255 - (((255 - d) * (255 - s)) >> 7) : (s * d) >> 7;
    case rvlHardLight: return s >= 128 ? 255 - (((255 - d) * (255 - s)) >> 7) : (s * d) >> 7;
    case rvlSoftLight: {
      double a = s / 255.0, b = d / 255.0;
      double v = a >= 0.5 ? std::sqrt(b) * (2 * a - 1) + 2 * b * (1 - a) : b * b * (1 - 2 * a) + 2 * a * b;
      return common::TruncInt(v * 255.0);
    }
    case rvlXFader: {
      int32_t m = (s * d) / 256;
      int32_t c = 255 - ((255 - d) * (255 - s)) / 256;
      return m + (((c - m) * d) >> 8);
    }
    case rvlColorEdge: return s == 255 ? 255 : std::min(255, (d * 256) / (255 - s));
    case rvlColorBurn: return s == 0 ? 0 : std::max(0, 255 - ((255 - d) * 256) / s);
    case rvlInverseColorDodge: return d == 255 ? 255 : std::min(255, (s * 256) / (255 - d));
    case rvlInverseColorBurn: return d == 0 ? 0 : std::max(0, 255 - ((255 - s) * 256) / d);
    case rvlSoftDodge:
      if (s + d > 255) return std::max(0, 255 - ((255 - s) * 128) / d);
      return s == 255 ? 255 : std::min(255, (d * 128) / (255 - s));
    case rvlSoftBurn:
      if (s + d > 255) return std::max(0, 255 - ((255 - d) * 128) / s);
      return d == 255 ? 255 : std::min(255, (s * 128) / (255 - d));
    case rvlReflect: return s == 255 ? 255 : std::min(255, (d * d) / (255 - s));
    case rvlGlow: return d == 255 ? 255 : std::min(255, (s * s) / (255 - d));
    case rvlFreeze: return s == 0 ? 0 : std::max(0, 255 - ((255 - d) * (255 - d)) / s);
    case rvlEat: return d == 0 ? 0 : std::max(0, 255 - ((255 - s) * (255 - s)) / d);
    case rvlSubtractive: return Clamp(s + d - 256);
    case rvlInterpolation: return std::min(255, CosineRampTable[s] + CosineRampTable[d]);
    case rvlStamp: {
      int32_t v = d + 2 * s;
      if (v <= 255) return 0;
      return v < 512 ? v - 256 : 255;
    }
    default: return d;
  }
}

uint8_t RoundClamp(double v) { return static_cast<uint8_t>(Clamp(common::RoundInt(v))); }

// Hue, saturation and lightness of a pixel.
struct HSL {
  double h, s, l;
};
HSL ToHSL(const TRGB& c) {
  HSL v{};
  TRGBToHSL(v.h, v.s, v.l, PackRGB(c));
  return v;
}

}  // namespace

void ApplyRenderOperation(const TRGB* source, TRGB* dest, TRVRenderOperation operation, int32_t row) {
  const TRGB s = *source;
  TRGB& d = *dest;
  switch (operation) {
    case rvlNormal:
      d = s;
      return;
    case rvlRed:
      d.r = s.r;
      return;
    case rvlGreen:
      d.g = s.g;
      return;
    case rvlBlue:
      d.b = s.b;
      return;
    case rvlHue:
    case rvlSaturation:
    case rvlColor:
    case rvlLuminosity: {
      HSL hs = ToHSL(s), hd = ToHSL(d);
      HSL r = operation == rvlHue          ? HSL{hs.h, hd.s, hd.l}
              : operation == rvlSaturation ? HSL{hd.h, hs.s, hd.l}
              : operation == rvlColor      ? HSL{hs.h, hs.s, hd.l}
                                           : HSL{hs.h, hd.s, hs.l};
      HSLToTRGB(d, r.l, r.s, r.h);
      return;
    }
    case rvlStereoBW: {
      auto left = static_cast<uint8_t>(Gray8(d.r, d.g, d.b));
      auto right = static_cast<uint8_t>(Gray8(s.r, s.g, s.b));
      d.r = left;
      d.g = d.b = right;
      return;
    }
    case rvlStereoColor:
      d.g = s.g;
      d.b = s.b;
      return;
    case rvlStereoColorDubois: {
      const double rl = d.r, gl = d.g, bl = d.b, rr = s.r, gr = s.g, br = s.b;
      double red = 0.4561 * rl + 0.500484 * gl + 0.176381 * bl - 0.0434706 * rr - 0.0879388 * gr - 0.00155529 * br;
      double green = -0.0400822 * rl - 0.0378246 * gl - 0.0157589 * bl + 0.378476 * rr + 0.73364 * gr - 0.0184503 * br;
      double blue = -0.0152161 * rl - 0.0205971 * gl - 0.00546856 * bl - 0.0721527 * rr - 0.112961 * gr + 1.2264 * br;
      d.r = RoundClamp(red);
      d.g = RoundClamp(green);
      d.b = RoundClamp(blue);
      return;
    }
    case rvlStereoEven:
      if (row % 2 == 0) d = s;
      return;
    case rvlStereoOdd:
      if (row % 2 != 0) d = s;
      return;
    default:
      break;
  }
  if (operation > rvlStereoOdd) return;
  d.b = static_cast<uint8_t>(Blend(operation, s.b, d.b));
  d.g = static_cast<uint8_t>(Blend(operation, s.g, d.g));
  d.r = static_cast<uint8_t>(Blend(operation, s.r, d.r));
}

}  // namespace rv
