#include "platform/gfx/Region.h"

namespace platform {

namespace {
TRect FromQRect(const QRect& r) {
  return r.isEmpty() ? TRect{} : TRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
}
}  // namespace

TRegion::TRegion(const TRect& rect) {
  const TRect r = rect.Normalized();
  if (!r.IsEmpty()) region_ = QRegion(r.Left, r.Top, r.Width(), r.Height());
}

void TRegion::Combine(const TRegion& a, const TRegion& b, TRegionCombine mode) {
  switch (mode) {
    case RGN_AND:
      region_ = a.region_.intersected(b.region_);
      break;
    case RGN_OR:
      region_ = a.region_.united(b.region_);
      break;
    case RGN_XOR:
      region_ = a.region_.xored(b.region_);
      break;
    case RGN_DIFF:
      region_ = a.region_.subtracted(b.region_);
      break;
    case RGN_COPY:
      region_ = a.region_;
      break;
  }
}

TRect TRegion::BoundingBox() const { return FromQRect(region_.boundingRect()); }

std::vector<TRect> TRegion::Rects() const {
  std::vector<TRect> rects;
  for (const QRect& r : region_) rects.push_back(FromQRect(r));
  return rects;
}

}  // namespace platform
