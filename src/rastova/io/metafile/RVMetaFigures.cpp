// The figures of metafile playback: lines, poly-lines and polygons, Bézier curves, rectangles,
// rounded rectangles, ellipses, arcs, chords and pies, pixels and regions, each drawn with the
// current pen and brush or, inside a path bracket, added to the path.
#include <uemf.h>

#include <QImage>
#include <cmath>
#include <numbers>

#include "rastova/io/metafile/RVMetaDC.h"

namespace rv {

namespace {

// A figure from `from` through `points`.
QPainterPath OpenFigure(QPointF from, const QPolygonF& points) {
  QPainterPath path(from);
  for (const QPointF& p : points) path.lineTo(p);
  return path;
}

// Bézier segments from `from`: two control points and the end point each; a last incomplete
// triple is left out.
QPainterPath BezierFigure(QPointF from, const QPolygonF& points, qsizetype first) {
  QPainterPath path(from);
  for (qsizetype i = first; i + 2 < points.size(); i += 3)
    path.cubicTo(points[i], points[i + 1], points[i + 2]);
  return path;
}

// The angle Qt's arcs take (degrees, counter-clockwise as seen, 0 at three o'clock) of the point
// where the ray from the ellipse's centre through p meets the ellipse.
double EllipseAngle(const QRectF& box, QPointF p) {
  const QPointF c = box.center();
  const double a = box.width() / 2, b = box.height() / 2;
  return std::atan2(-(p.y() - c.y()) / b, (p.x() - c.x()) / a) * 180 / std::numbers::pi;
}

// Degrees into (0, 360].
double Positive(double degrees) {
  double d = std::fmod(degrees, 360.0);
  if (d <= 0) d += 360;
  return d;
}

}  // namespace

void TRVMetaDC::MoveTo(QPointF p) {
  state_.Position = p;
  if (state_.InPath && !PathFull(1)) {
    const QTransform t = Transform();
    state_.Path.moveTo(t.map(p));
  }
}

void TRVMetaDC::LineTo(QPointF p) {
  const QPainterPath line = OpenFigure(state_.Position, QPolygonF{p});
  state_.Position = p;
  if (state_.InPath)
    AddToPath(line, true);
  else
    Paint(line, false, true);
}

void TRVMetaDC::Polyline(const QPolygonF& points) {
  if (points.size() < 2 || size_t(points.size()) > kMaxPathPoints) return;
  const QPainterPath line = OpenFigure(points.front(), points.mid(1));
  if (state_.InPath)
    AddToPath(line, false);
  else
    Paint(line, false, true);
}

void TRVMetaDC::PolylineTo(const QPolygonF& points) {
  if (points.empty() || size_t(points.size()) > kMaxPathPoints) return;
  const QPainterPath line = OpenFigure(state_.Position, points);
  state_.Position = points.back();
  if (state_.InPath)
    AddToPath(line, true);
  else
    Paint(line, false, true);
}

void TRVMetaDC::PolyBezier(const QPolygonF& points) {
  if (points.size() < 4 || size_t(points.size()) > kMaxPathPoints) return;
  const QPainterPath curve = BezierFigure(points.front(), points, 1);
  if (state_.InPath)
    AddToPath(curve, false);
  else
    Paint(curve, false, true);
}

void TRVMetaDC::PolyBezierTo(const QPolygonF& points) {
  if (points.size() < 3 || size_t(points.size()) > kMaxPathPoints) return;
  const QPainterPath curve = BezierFigure(state_.Position, points, 0);
  state_.Position = curve.currentPosition();
  if (state_.InPath)
    AddToPath(curve, true);
  else
    Paint(curve, false, true);
}

void TRVMetaDC::PolyDraw(const QPolygonF& points, std::span<const uint8_t> types) {
  if (size_t(points.size()) != types.size() || types.size() > kMaxPathPoints) return;
  QPainterPath path(state_.Position);
  QPointF position = state_.Position;
  for (qsizetype i = 0; i < points.size(); ++i) {
    const uint8_t type = types[size_t(i)];
    switch (type & ~U_PT_CLOSEFIGURE) {
      case U_PT_MOVETO:
        path.moveTo(points[i]);
        break;
      case U_PT_LINETO:
        path.lineTo(points[i]);
        break;
      case U_PT_BEZIERTO:
        // Three points of the same kind make one curve.
        if (i + 2 >= points.size()) return;
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
        i += 2;
        break;
      default:
        return;  // the window system refuses the whole call
    }
    position = points[i];
    if (types[size_t(i)] & U_PT_CLOSEFIGURE) path.closeSubpath();
  }
  state_.Position = position;
  if (state_.InPath)
    AddToPath(path, true);
  else
    Paint(path, false, true);
}

void TRVMetaDC::PolyPolygon(const std::vector<QPolygonF>& polygons) {
  QPainterPath path;
  size_t points = 0;
  for (const QPolygonF& polygon : polygons) {
    points += size_t(polygon.size());
    if (points > kMaxPathPoints) return;
    if (polygon.size() < 2) continue;
    path.addPolygon(polygon);
    path.closeSubpath();
  }
  Figure(path, true);
}

void TRVMetaDC::PolyPolyline(const std::vector<QPolygonF>& polylines) {
  QPainterPath path;
  size_t points = 0;
  for (const QPolygonF& polyline : polylines) {
    points += size_t(polyline.size());
    if (points > kMaxPathPoints) return;
    if (polyline.size() >= 2) path.addPolygon(polyline);
  }
  if (state_.InPath)
    AddToPath(path, false);
  else
    Paint(path, false, true);
}

namespace {

// A geometric pen of the inside-frame style keeps the figure's outline inside its box.
QRectF InsideFrame(const QRectF& box, const TRVMetaPen& pen) {
  const QRectF r = box.normalized();
  if ((pen.Style & U_PS_STYLE_MASK) != U_PS_INSIDEFRAME || !pen.Geometric || pen.Width <= 1) return r;
  const double half = std::min({pen.Width / 2, r.width() / 2, r.height() / 2});
  return r.adjusted(half, half, -half, -half);
}

}  // namespace

void TRVMetaDC::Rectangle(const QRectF& box) {
  QPainterPath path;
  path.addRect(InsideFrame(box, state_.Pen));
  Figure(path, true);
}

void TRVMetaDC::RoundRect(const QRectF& box, QSizeF corner) {
  const QRectF r = InsideFrame(box, state_.Pen);
  const double rx = std::min(std::abs(corner.width()) / 2, r.width() / 2);
  const double ry = std::min(std::abs(corner.height()) / 2, r.height() / 2);
  QPainterPath path;
  path.addRoundedRect(r, rx, ry, Qt::AbsoluteSize);
  Figure(path, true);
}

void TRVMetaDC::Ellipse(const QRectF& box) {
  QPainterPath path;
  path.addEllipse(InsideFrame(box, state_.Pen));
  Figure(path, true);
}

void TRVMetaDC::ArcFigure(TArcKind kind, const QRectF& box, QPointF start, QPointF end) {
  const bool closed = kind == TArcKind::Chord || kind == TArcKind::Pie;
  const QRectF r = closed ? InsideFrame(box, state_.Pen) : box.normalized();
  if (r.width() <= 0 || r.height() <= 0) return;
  const double a0 = EllipseAngle(r, start), a1 = EllipseAngle(r, end);
  double sweep = Positive(a1 - a0);
  if (state_.ArcDirection == U_AD_CLOCKWISE) sweep = -Positive(a0 - a1);
  QPainterPath path;
  switch (kind) {
    case TArcKind::Pie:
      path.moveTo(r.center());
      path.arcTo(r, a0, sweep);
      path.closeSubpath();
      break;
    case TArcKind::ArcTo:
      path.moveTo(state_.Position);
      path.arcTo(r, a0, sweep);
      break;
    default:
      path.arcMoveTo(r, a0);
      path.arcTo(r, a0, sweep);
      if (kind == TArcKind::Chord) path.closeSubpath();
      break;
  }
  if (kind == TArcKind::ArcTo) {
    state_.Position = path.currentPosition();
    if (state_.InPath)
      AddToPath(path, true);
    else
      Paint(path, false, true);
    return;
  }
  if (closed) {
    Figure(path, true);
  } else if (state_.InPath) {
    AddToPath(path, false);
  } else {
    Paint(path, false, true);
  }
}

void TRVMetaDC::AngleArc(QPointF centre, double radius, double startAngle, double sweepAngle) {
  if (!(radius >= 0) || !std::isfinite(startAngle) || !std::isfinite(sweepAngle)) return;
  // More than a few turns draw the same circle.
  sweepAngle = std::clamp(sweepAngle, -720.0, 720.0);
  const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
  QPainterPath path(state_.Position);
  path.arcTo(box, startAngle, sweepAngle);
  state_.Position = path.currentPosition();
  if (state_.InPath)
    AddToPath(path, true);
  else
    Paint(path, false, true);
}

void TRVMetaDC::SetPixel(QPointF p, QRgb color) {
  const QTransform t = Transform();
  const QPointF d = t.map(p);
  if (!std::isfinite(d.x()) || !std::isfinite(d.y())) return;
  const QPoint at(int(std::floor(std::clamp(d.x(), -1.0, double(target_.right() + 1)))),
                  int(std::floor(std::clamp(d.y(), -1.0, double(target_.bottom() + 1)))));
  if (!target_.contains(at)) return;
  ApplyClip();
  painter_.setTransform(QTransform());
  painter_.fillRect(QRect(at, QSize(1, 1)), QColor::fromRgb(color));
}

void TRVMetaDC::FillRegion(std::span<const QRectF> logical, const TRVMetaBrush& brush) {
  QPainterPath path;
  for (const QRectF& r : logical) path.addRect(r);
  const QTransform t = Transform();
  if (state_.Rop2 == U_R2_NOP || !BeginDraw(t, path.controlPointRect(), 1)) return;
  FillWithBrush(path, brush, t);
  painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void TRVMetaDC::InvertRegion(std::span<const QRectF> logical) {
  QPainterPath path;
  for (const QRectF& r : logical) path.addRect(r);
  const QTransform t = Transform();
  if (!BeginDraw(t, path.controlPointRect(), 1)) return;
  painter_.setCompositionMode(QPainter::RasterOp_NotDestination);
  painter_.fillPath(path, Qt::black);
  painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

}  // namespace rv
