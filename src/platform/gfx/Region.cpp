#include "platform/gfx/Region.h"

#include <QPainterPath>
#include <QPolygon>
#include <algorithm>

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

TRegion TRegion::Polygon(std::span<const TPoint> points) {
  if (points.size() < 3) return {};
  QPolygon polygon(static_cast<qsizetype>(points.size()));
  for (size_t i = 0; i < points.size(); ++i)
    polygon[static_cast<qsizetype>(i)] = QPoint(points[i].X, points[i].Y);
  return TRegion(QRegion(polygon, Qt::WindingFill));
}

TRegion TRegion::Ellipse(const TRect& box) {
  const TRect r = box.Normalized();
  if (r.IsEmpty()) return {};
  return TRegion(QRegion(r.Left, r.Top, r.Width(), r.Height(), QRegion::Ellipse));
}

TRegion TRegion::RoundRect(const TRect& box, int ellipseWidth, int ellipseHeight) {
  const TRect r = box.Normalized();
  if (r.IsEmpty()) return {};
  const double rx = std::min(std::abs(double(ellipseWidth)), double(r.Width())) / 2;
  const double ry = std::min(std::abs(double(ellipseHeight)), double(r.Height())) / 2;
  if (rx == 0 || ry == 0) return TRegion(r);
  QPainterPath path;
  path.addRoundedRect(QRectF(r.Left, r.Top, r.Width(), r.Height()), rx, ry);
  return TRegion(QRegion(path.toFillPolygon().toPolygon(), Qt::WindingFill));
}

TRegion TRegion::FromRects(std::span<const TRect> rects) {
  // The list by top edge, without the rectangles that cover nothing; a list that comes in that
  // order (as grids and fringes are built) is used as it is.
  const auto byTop = [](const TRect& a, const TRect& b) { return a.Top < b.Top; };
  std::vector<TRect> copy;
  std::span<const TRect> sorted = rects;
  const bool clean = std::none_of(rects.begin(), rects.end(), [](const TRect& r) { return r.IsEmpty(); });
  if (!clean || !std::is_sorted(rects.begin(), rects.end(), byTop)) {
    copy.reserve(rects.size());
    for (const TRect& r : rects)
      if (!r.IsEmpty()) copy.push_back(r);
    std::sort(copy.begin(), copy.end(), byTop);
    sorted = copy;
  }
  if (sorted.empty()) return {};

  // QRegion takes its rectangles banded: y-x sorted, one height per band, no overlaps, no
  // horizontal neighbours touching, and a band that repeats the one above it joined to it.
  // The sweep runs from edge to edge: a band ends at the next top still to come or at the
  // nearest bottom of the rectangles crossing it.
  // The output list is kept between calls: a transition makes one such region per frame, and
  // fresh memory of that size would be mapped and faulted in every time.
  thread_local std::vector<QRect> out;
  out.clear();
  std::vector<TRect> active, merged, entering;  // rectangles crossing the current band, by left edge
  std::vector<std::pair<int, int>> spans, previous;
  size_t next = 0, previousStart = 0;
  int previousBottom = 0;
  int top = sorted[0].Top;
  const auto byLeft = [](const TRect& a, const TRect& b) { return a.Left < b.Left; };
  while (next < sorted.size() || !active.empty()) {
    if (active.empty()) top = std::max(top, sorted[next].Top);
    // One pass: drop the rectangles that ended, merge in those that start here.
    entering.clear();
    for (; next < sorted.size() && sorted[next].Top <= top; ++next) entering.push_back(sorted[next]);
    std::sort(entering.begin(), entering.end(), byLeft);
    merged.clear();
    auto in = entering.begin();
    for (const TRect& r : active) {
      if (r.Bottom <= top) continue;
      for (; in != entering.end() && in->Left < r.Left; ++in) merged.push_back(*in);
      merged.push_back(r);
    }
    merged.insert(merged.end(), in, entering.end());
    active.swap(merged);
    if (active.empty()) continue;
    int bottom = next < sorted.size() ? sorted[next].Top : active[0].Bottom;
    spans.clear();
    for (const TRect& r : active) {
      bottom = std::min(bottom, r.Bottom);
      if (!spans.empty() && r.Left <= spans.back().second)
        spans.back().second = std::max(spans.back().second, r.Right);
      else
        spans.emplace_back(r.Left, r.Right);
    }
    if (previousBottom == top && spans == previous && !out.empty()) {
      for (size_t k = previousStart; k < out.size(); ++k) out[k].setBottom(bottom - 1);
    } else {
      previousStart = out.size();
      for (const auto& [left, right] : spans) out.emplace_back(left, top, right - left, bottom - top);
      previous.swap(spans);
    }
    previousBottom = bottom;
    top = bottom;
  }
  QRegion region;
  if (!out.empty()) region.setRects(out.data(), static_cast<int>(out.size()));
  return TRegion(region);
}

TRect TRegion::BoundingBox() const { return FromQRect(region_.boundingRect()); }

std::vector<TRect> TRegion::Rects() const {
  std::vector<TRect> rects;
  for (const QRect& r : region_) rects.push_back(FromQRect(r));
  return rects;
}

}  // namespace platform
