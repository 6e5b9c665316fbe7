#pragma once
// A clipping region: a set of rectangles, combined as the window system combines regions.
#include <QRegion>
#include <vector>

#include "platform/gfx/Types.h"

namespace platform {

enum TRegionCombine { RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5 };

class TRegion {
 public:
  TRegion() = default;
  explicit TRegion(const TRect& rect);
  explicit TRegion(const QRegion& region) : region_(region) {}

  // this := a <mode> b (RGN_COPY takes a).
  void Combine(const TRegion& a, const TRegion& b, TRegionCombine mode);
  void Offset(int dx, int dy) { region_.translate(dx, dy); }
  bool Contains(int x, int y) const { return region_.contains(QPoint(x, y)); }
  bool IsEmpty() const { return region_.isEmpty(); }
  // The smallest rectangle holding the region (empty for an empty region).
  TRect BoundingBox() const;
  std::vector<TRect> Rects() const;

  const QRegion& Region() const { return region_; }

 private:
  QRegion region_;
};

}  // namespace platform
