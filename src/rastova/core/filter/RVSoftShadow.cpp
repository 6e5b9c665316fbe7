#include "rastova/core/filter/RVSoftShadow.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVColorReduce.h"
#include "rastova/core/filter/RVFilterPresets.h"

namespace rv {

namespace {

// A rectangle with included corners, in 64 bits so that growing it cannot overflow.
struct TShadowBox {
  int64_t left, top, right, bottom;
  TShadowBox Grown(int64_t by) const { return {left - by, top - by, right + by, bottom + by}; }
  TShadowBox ClampedTo(int64_t w, int64_t h) const {
    return {std::max<int64_t>(left, 0), std::max<int64_t>(top, 0), std::min(right, w - 1),
            std::min(bottom, h - 1)};
  }
  bool Empty() const { return right < left || bottom < top; }
  int32_t L() const { return static_cast<int32_t>(left); }
  int32_t T() const { return static_cast<int32_t>(top); }
  int32_t R() const { return static_cast<int32_t>(right); }
  int32_t B() const { return static_cast<int32_t>(bottom); }
};

// Blurs the alpha inside `box` and moves the blurred box by the offsets, 0 left behind.
void BlurAndMove(TRVBitmap& alpha, const TShadowBox& box, double radius, int64_t dx, int64_t dy) {
  if (radius == 0)
    Convolve3x3Gray(alpha, kFilterPresetTable[kFilterPresetBlur], box.L(), box.T(), box.R() + 1, box.B() + 1);
  else
    GaussianBlurGray(alpha, box.L(), box.T(), box.R(), box.B(), radius);
  if (dx == 0 && dy == 0) return;
  const TShadowBox moved{box.left + dx, box.top + dy, box.right + dx, box.bottom + dy};
  if (moved.ClampedTo(alpha.GetWidth(), alpha.GetHeight()).Empty()) {
    // Moved out of the image altogether: only the place it leaves remains.
    alpha.FillRect(box.L(), box.T(), box.R(), box.B(), 0);
    return;
  }
  alpha.MoveRect(box.L(), box.T(), box.R(), box.B(), moved.L(), moved.T(), 0, true);
}

}  // namespace

int32_t ApplySoftShadow(TRVBitmap& bitmap, int32_t horizontalOffset, int32_t verticalOffset, double radius,
                        int32_t intensity, uint32_t shadowColor, int32_t left, int32_t top, int32_t right,
                        int32_t bottom) {
  if (!(radius >= 0)) radius = 0;
  const double sizes = radius == 0 ? 2 : std::min(radius, 1e9);
  const int64_t offset = std::max(std::llabs(horizontalOffset), std::llabs(verticalOffset));
  const int64_t border =
      std::clamp<int64_t>(2 * offset + common::Trunc(5 * sizes), 1, std::numeric_limits<int32_t>::max());
  const int64_t half = border / 2;
  const int32_t result = static_cast<int32_t>(border);
  if (bitmap.IsEmpty() || bitmap.IsAlphaChannel() || right < left || bottom < top) return result;
  const int64_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  const TShadowBox object{left, top, right, bottom};
  const TShadowBox area = object.Grown(border).ClampedTo(w, h);
  if (area.Empty()) return result;
  TRVBitmap& alpha = *bitmap.AlphaBitmap();
  alpha.Full = false;
  // The object's alpha as it was, over the area the shadow may reach.
  const size_t areaW = static_cast<size_t>(area.right - area.left + 1);
  std::vector<uint8_t> before(areaW * static_cast<size_t>(area.bottom - area.top + 1));
  for (int64_t y = area.top; y <= area.bottom; ++y)
    std::copy_n(alpha.GetScanLine(static_cast<int32_t>(y)) + area.left, areaW,
                before.begin() + static_cast<ptrdiff_t>((y - area.top) * static_cast<int64_t>(areaW)));
  const TShadowBox blurred = object.Grown(half).ClampedTo(w, h);
  if (!blurred.Empty()) BlurAndMove(alpha, blurred, radius, horizontalOffset, verticalOffset);

  const TRVPixelFormat format = bitmap.GetPixelFormat();
  const double f = 3 - 2 * std::clamp(intensity, 0, 100) / 100.0;
  const uint8_t colour[3] = {static_cast<uint8_t>(shadowColor), static_cast<uint8_t>(shadowColor >> 8),
                             static_cast<uint8_t>(shadowColor >> 16)};  // blue, green, red
  for (int64_t y = area.top; y <= area.bottom; ++y) {
    const uint8_t* o = before.data() + (y - area.top) * static_cast<int64_t>(areaW) - area.left;
    uint8_t* s = alpha.GetScanLine(static_cast<int32_t>(y));
    uint8_t* row = bitmap.GetScanLine(static_cast<int32_t>(y));
    for (int64_t x = area.left; x <= area.right; ++x) {
      if (o[x] != 0 || o[x] == s[x]) {
        // The object: its own alpha, a partly transparent 24-bit pixel mixed over the shadow.
        if (format == rv24RGB && o[x] > 0 && o[x] < 255) {
          const double l = s[x] / 255.0, p = o[x] / 255.0;
          uint8_t* px = row + 3 * x;
          for (int c = 0; c < 3; ++c) {
            const double under = static_cast<double>(common::Trunc(l * colour[c] + (1 - l) * px[c]));
            px[c] = static_cast<uint8_t>(common::Trunc(p * px[c] + (1 - p) * under));
          }
          s[x] = static_cast<uint8_t>(common::Trunc((p + l * (1 - p)) * 255));
        } else {
          s[x] = o[x];
        }
      } else if (format == rv1g) {
        row[x >> 3] &= static_cast<uint8_t>(~(0x80 >> (x & 7)));
      } else if (format == rv24RGB) {
        std::copy_n(colour, 3, row + 3 * x);
        if (f != 1) s[x] = static_cast<uint8_t>(common::Trunc(s[x] / f));
      }
    }
  }
  bitmap.ReleaseFileRows();
  alpha.ReleaseFileRows();
  return result;
}

}  // namespace rv
