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
  for (size_t i = 0; i < points.size(); ++i) polygon[static_cast<qsizetype>(i)] = QPoint(points[i].X, points[i].Y);
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
  std::vector<TRect> sorted;
  sorted.reserve(rects.size());
  std::vector<int> edges;
  edges.reserve(rects.size() * 2);
  for (const TRect& r : rects) {
    if (r.IsEmpty()) continue;
    sorted.push_back(r);
    edges.push_back(r.Top);
    edges.push_back(r.Bottom);
  }
  if (sorted.empty()) return {};
  std::sort(sorted.begin(), sorted.end(), [](const TRect& a, const TRect& b) { return a.Top < b.Top; });
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());

  // QRegion takes its rectangles banded: y-x sorted, one height per band, no overlaps, no
  // horizontal neighbours touching, and a band that repeats the one above it joined to it.
  std::vector<QRect> out;
  std::vector<TRect> active;  // rectangles crossing the current band, by left edge
  std::vector<std::pair<int, int>> spans, previous;
  size_t next = 0, previousStart = 0;
  int previousBottom = 0;
  for (size_t i = 0; i + 1 < edges.size(); ++i) {
    const int top = edges[i], bottom = edges[i + 1];
    std::erase_if(active, [top](const TRect& r) { return r.Bottom <= top; });
    for (; next < sorted.size() && sorted[next].Top <= top; ++next) {
      const auto at = std::upper_bound(active.begin(), active.end(), sorted[next],
                                       [](const TRect& a, const TRect& b) { return a.Left < b.Left; });
      active.insert(at, sorted[next]);
    }
    spans.clear();
    for (const TRect& r : active) {
      if (!spans.empty() && r.Left <= spans.back().second)
        spans.back().second = std::max(spans.back().second, r.Right);
      else
        spans.emplace_back(r.Left, r.Right);
    }
    if (spans.empty()) continue;
    if (previousBottom == top && spans == previous && !out.empty()) {
      for (size_t k = previousStart; k < out.size(); ++k) out[k].setBottom(bottom - 1);
    } else {
      previousStart = out.size();
      for (const auto& [left, right] : spans) out.emplace_back(left, top, right - left, bottom - top);
      previous.swap(spans);
    }
    previousBottom = bottom;
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
