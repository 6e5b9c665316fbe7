#pragma once
// A clipping region: a set of rectangles, combined as the window system combines regions.
#include <QRegion>
#include <span>
#include <vector>

#include "platform/gfx/Types.h"

namespace platform {

enum TRegionCombine { RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5 };

class TRegion {
 public:
  TRegion() = default;
  explicit TRegion(const TRect& rect);
  explicit TRegion(const QRegion& region) : region_(region) {}

  // The polygon through the points, filled by the winding rule (a point is inside when the
  // outline winds round it any number of times but zero). Fewer than three points: empty.
  static TRegion Polygon(std::span<const TPoint> points);
  // The ellipse inscribed in the box (edges in any order); an empty box gives an empty region.
  static TRegion Ellipse(const TRect& box);
  // The box with its corners rounded by quarters of an ellipse of the given width and height
  // (limited to the box's size); 0 for either gives plain corners.
  static TRegion RoundRect(const TRect& box, int ellipseWidth, int ellipseHeight);
  // The union of any rectangles, in any order and overlapping, made in one sweep: the list is
  // cut into horizontal bands at every top and bottom edge and each band's spans merged, so
  // the cost grows with the rectangles and the bands, not with their pairs. Rectangles with
  // right <= left or bottom <= top cover nothing.
  static TRegion FromRects(std::span<const TRect> rects);

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
