// The device context of metafile playback: mapping, the state stack, clipping, paths and the
// painting of figures with the pen and brush (figures themselves: RVMetaFigures.cpp; text:
// RVMetaText.cpp; pictures: RVMetaPictures.cpp).
#include "rastova/io/metafile/RVMetaDC.h"

#include <uemf.h>

#include <QPainterPathStroker>
#include <algorithm>
#include <cmath>

#include "platform/gfx/Canvas.h"

namespace rv {

namespace {

bool Finite(const QTransform& t) {
  for (double v : {t.m11(), t.m12(), t.m13(), t.m21(), t.m22(), t.m23(), t.m31(), t.m32(), t.m33()})
    if (!std::isfinite(v)) return false;
  return true;
}

// A transform that maps areas to areas: finite and not singular.
bool Usable(const QTransform& t) {
  if (!Finite(t)) return false;
  const double det = t.determinant();
  return std::isfinite(det) && std::abs(det) > 1e-12;
}

// Millimetres per logical unit of the metric mapping modes.
double MillimetresPerUnit(uint32_t mode) {
  switch (mode) {
    case U_MM_LOMETRIC:
      return 0.1;
    case U_MM_HIMETRIC:
      return 0.01;
    case U_MM_LOENGLISH:
      return 0.254;
    case U_MM_HIENGLISH:
      return 0.0254;
    case U_MM_TWIPS:
      return 25.4 / 1440;
    default:
      return 0;
  }
}

}  // namespace

TRVMetaDC::TRVMetaDC(QPainter& painter, const QRect& target, const QRectF& reference, QPointF unitsPerMm)
    : painter_(painter), target_(target), unitsPerMm_(unitsPerMm) {
  base_ = QRegion(target);
  if (painter.hasClipping()) base_ &= painter.clipRegion();
  const double sx = reference.width() > 0 ? target.width() / reference.width() : 1;
  const double sy = reference.height() > 0 ? target.height() / reference.height() : 1;
  outer_ = QTransform(sx, 0, 0, sy, target.x() - reference.x() * sx, target.y() - reference.y() * sy);
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
  painter_.setClipRegion(base_);
}

TRVMetaDC::~TRVMetaDC() {
  painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
  painter_.setTransform(QTransform());
}

// ---------------------------------------------------------------- mapping

void TRVMetaDC::SetMapMode(uint32_t mode) {
  if (mode < U_MM_MIN || mode > U_MM_MAX) return;
  state_.MapMode = mode;
  // The fixed modes set the extents, which the isotropic and anisotropic modes then start from.
  const double mm = MillimetresPerUnit(mode);
  if (mode == U_MM_TEXT) {
    state_.WindowExt = state_.ViewportExt = QPointF(1, 1);
  } else if (mm > 0) {
    state_.WindowExt = QPointF(1, 1);
    state_.ViewportExt = QPointF(unitsPerMm_.x() * mm, -unitsPerMm_.y() * mm);
  }
}

void TRVMetaDC::SetWindowOrg(QPointF p) { state_.WindowOrg = p; }
void TRVMetaDC::SetViewportOrg(QPointF p) { state_.ViewportOrg = p; }

void TRVMetaDC::SetWindowExt(QPointF e) {
  if (state_.MapMode != U_MM_ISOTROPIC && state_.MapMode != U_MM_ANISOTROPIC) return;
  if (e.x() == 0 || e.y() == 0 || !std::isfinite(e.x()) || !std::isfinite(e.y())) return;
  state_.WindowExt = e;
}

void TRVMetaDC::SetViewportExt(QPointF e) {
  if (state_.MapMode != U_MM_ISOTROPIC && state_.MapMode != U_MM_ANISOTROPIC) return;
  if (e.x() == 0 || e.y() == 0 || !std::isfinite(e.x()) || !std::isfinite(e.y())) return;
  state_.ViewportExt = e;
}

void TRVMetaDC::ScaleWindowExt(double xNum, double xDenom, double yNum, double yDenom) {
  if (xDenom == 0 || yDenom == 0) return;
  SetWindowExt(QPointF(state_.WindowExt.x() * xNum / xDenom, state_.WindowExt.y() * yNum / yDenom));
}

void TRVMetaDC::ScaleViewportExt(double xNum, double xDenom, double yNum, double yDenom) {
  if (xDenom == 0 || yDenom == 0) return;
  SetViewportExt(QPointF(state_.ViewportExt.x() * xNum / xDenom, state_.ViewportExt.y() * yNum / yDenom));
}

void TRVMetaDC::SetWorldTransform(const QTransform& t) {
  if (Finite(t) && t.isAffine()) state_.World = t;
}

void TRVMetaDC::ModifyWorldTransform(const QTransform& t, uint32_t mode) {
  QTransform next;
  switch (mode) {
    case U_MWT_IDENTITY:
      break;
    case U_MWT_LEFTMULTIPLY:
      next = t * state_.World;
      break;
    case U_MWT_RIGHTMULTIPLY:
      next = state_.World * t;
      break;
    case 4:  // set
      next = t;
      break;
    default:
      return;
  }
  SetWorldTransform(next);
}

QTransform TRVMetaDC::PageTransform() const {
  double sx = 1, sy = 1;
  if (state_.MapMode != U_MM_TEXT) {
    sx = state_.ViewportExt.x() / state_.WindowExt.x();
    sy = state_.ViewportExt.y() / state_.WindowExt.y();
  }
  if (state_.MapMode == U_MM_ISOTROPIC) {
    // Both axes take the smaller scale, each keeping its direction.
    const double m = std::min(std::abs(sx), std::abs(sy));
    sx = std::copysign(m, sx);
    sy = std::copysign(m, sy);
  }
  return QTransform(sx, 0, 0, sy, state_.ViewportOrg.x() - state_.WindowOrg.x() * sx,
                    state_.ViewportOrg.y() - state_.WindowOrg.y() * sy);
}

QTransform TRVMetaDC::Transform() const { return state_.World * PageTransform() * outer_; }

// ---------------------------------------------------------------- the state stack

void TRVMetaDC::Save() {
  if (saved_.size() < kMaxSavedStates) saved_.push_back(state_);
}

void TRVMetaDC::Restore(int32_t which) {
  const int64_t n = static_cast<int64_t>(saved_.size());
  int64_t index = -1;  // the save to go back to
  if (which < 0 && -int64_t(which) <= n) index = n + which;
  if (which > 0 && which <= n) index = which - 1;
  if (index < 0) return;
  state_ = std::move(saved_[static_cast<size_t>(index)]);
  saved_.resize(static_cast<size_t>(index));
}

// ---------------------------------------------------------------- clipping

void TRVMetaDC::CombineClip(const QRegion& region, uint32_t mode) {
  const QRegion current = state_.Clip.value_or(base_);
  switch (mode) {
    case U_RGN_AND:
      state_.Clip = current & region;
      break;
    case U_RGN_OR:
      state_.Clip = current | region;
      break;
    case U_RGN_XOR:
      state_.Clip = current ^ region;
      break;
    case U_RGN_DIFF:
      state_.Clip = current - region;
      break;
    case U_RGN_COPY:
      state_.Clip = region;
      break;
    default:
      break;
  }
}

void TRVMetaDC::SelectClipRegion(const std::optional<QRegion>& target, uint32_t mode) {
  if (!target) {
    if (mode == U_RGN_COPY) state_.Clip.reset();
    return;
  }
  CombineClip(*target, mode);
}

namespace {

// The pixels whose centres lie inside the polygon (a rectangle mapped to the target), within
// `bound`. Only the part within the picture matters; and Qt's polygon regions take time that
// grows with the square of their height, and fail (empty, and leaking a block) when very tall.
QRegion PolygonRegion(const QPolygonF& polygon, const QRectF& bound, Qt::FillRule rule = Qt::OddEvenFill) {
  const QRectF box = polygon.boundingRect();
  if (!std::isfinite(box.width()) || !std::isfinite(box.height()) || !box.intersects(bound)) return {};
  auto rounded = [](QPointF p) { return QPoint(int(std::lround(p.x())), int(std::lround(p.y()))); };
  if (polygon.size() == 5 && polygon[0].y() == polygon[1].y() && polygon[1].x() == polygon[2].x()) {
    const QRectF r = box.intersected(bound);
    return QRegion(QRect(rounded(r.topLeft()), rounded(r.bottomRight()) - QPoint(1, 1)));
  }
  const QPolygonF inside = bound.contains(box) ? polygon : polygon.intersected(QPolygonF(bound));
  QPolygon p;
  p.reserve(inside.size());
  for (const QPointF& q : inside) p << rounded(q);
  return QRegion(p, rule);
}

}  // namespace

QRegion TRVMetaDC::TargetRegion(const QRectF& logical) const {
  const QTransform t = Transform();
  if (!Finite(t)) return {};
  return PolygonRegion(t.map(QPolygonF(logical.normalized())), Bound());
}

void TRVMetaDC::IntersectClipRect(const QRectF& logical) {
  const QTransform t = Transform();
  if (!Finite(t)) return;
  CombineClip(PolygonRegion(t.map(QPolygonF(logical.normalized())), Bound()), U_RGN_AND);
}

void TRVMetaDC::ExcludeClipRect(const QRectF& logical) {
  const QTransform t = Transform();
  if (!Finite(t)) return;
  CombineClip(PolygonRegion(t.map(QPolygonF(logical.normalized())), Bound()), U_RGN_DIFF);
}

void TRVMetaDC::OffsetClip(QPointF logical) {
  if (!state_.Clip) return;
  const QTransform t = PageTransform() * outer_;
  const QPointF d = t.map(logical) - t.map(QPointF(0, 0));
  if (!std::isfinite(d.x()) || !std::isfinite(d.y())) return;
  const double limit = 1 << 24;
  state_.Clip->translate(int(std::lround(std::clamp(d.x(), -limit, limit))),
                         int(std::lround(std::clamp(d.y(), -limit, limit))));
}

namespace {

QRegion UniteRegions(std::vector<QRegion> parts) {
  while (parts.size() > 1) {
    std::vector<QRegion> next;
    next.reserve(parts.size() / 2 + 1);
    for (size_t i = 0; i + 1 < parts.size(); i += 2) next.push_back(parts[i] | parts[i + 1]);
    if (parts.size() % 2) next.push_back(parts.back());
    parts.swap(next);
  }
  return parts.empty() ? QRegion() : parts.front();
}

}  // namespace

QRegion UniteRects(std::span<const QRect> rects) {
  std::vector<QRegion> parts;
  parts.reserve(rects.size());
  for (const QRect& r : rects) parts.emplace_back(r);
  return UniteRegions(std::move(parts));
}

QRegion TRVMetaDC::ReferenceRegion(std::span<const QRectF> rects) const {
  std::vector<QRegion> parts;
  parts.reserve(rects.size());
  for (const QRectF& r : rects) parts.push_back(PolygonRegion(outer_.map(QPolygonF(r)), Bound()));
  return UniteRegions(std::move(parts));
}

QRegion TRVMetaDC::LogicalRegion(const QRegion& logical) const {
  const QTransform t = Transform();
  if (!Finite(t)) return {};
  std::vector<QRegion> parts;
  for (const QRect& r : logical) parts.push_back(PolygonRegion(t.map(QPolygonF(QRectF(r))), Bound()));
  return UniteRegions(std::move(parts));
}

bool TRVMetaDC::SpendDibPixels(int64_t pixels) {
  if (pixels < 0 || pixels > kMaxDibWork - dibWork_) return false;
  dibWork_ += pixels;
  return true;
}

void TRVMetaDC::ApplyClip() {
  if (clipApplied_ && appliedClip_ == state_.Clip) return;
  painter_.setTransform(QTransform());
  painter_.setClipRegion(state_.Clip ? (*state_.Clip & base_) : base_);
  appliedClip_ = state_.Clip;
  clipApplied_ = true;
}

// ---------------------------------------------------------------- paths

bool TRVMetaDC::PathFull(size_t more) {
  if (size_t(state_.Path.elementCount()) + more <= kMaxPathPoints) return false;
  // A path beyond the limit is abandoned, as a failed path is.
  state_.Path = QPainterPath();
  state_.InPath = false;
  state_.PathReady = false;
  return true;
}

void TRVMetaDC::AddToPath(const QPainterPath& logical, bool continueFigure) {
  if (PathFull(size_t(logical.elementCount()))) return;
  const QTransform t = Transform();
  if (!Finite(t)) return;
  const QPainterPath mapped = t.map(logical);
  if (!continueFigure || mapped.elementCount() == 0) {
    state_.Path.addPath(mapped);
    return;
  }
  // Continue the open figure from the current position, which `mapped` starts at.
  const QPointF start = mapped.elementAt(0);
  if (state_.Path.elementCount() == 0 || state_.Path.currentPosition() != start) state_.Path.moveTo(start);
  for (int i = 1; i < mapped.elementCount(); ++i) {
    const QPainterPath::Element e = mapped.elementAt(i);
    if (e.isMoveTo()) {
      state_.Path.moveTo(e);
    } else if (e.isLineTo()) {
      state_.Path.lineTo(e);
    } else if (e.isCurveTo() && i + 2 < mapped.elementCount()) {
      state_.Path.cubicTo(e, mapped.elementAt(i + 1), mapped.elementAt(i + 2));
      i += 2;
    }
  }
}

void TRVMetaDC::BeginPath() {
  state_.Path = QPainterPath();
  state_.InPath = true;
  state_.PathReady = false;
}

void TRVMetaDC::EndPath() {
  if (!state_.InPath) return;
  state_.InPath = false;
  state_.PathReady = true;
}

void TRVMetaDC::CloseFigure() {
  if (state_.InPath) state_.Path.closeSubpath();
}

void TRVMetaDC::AbortPath() {
  state_.Path = QPainterPath();
  state_.InPath = false;
  state_.PathReady = false;
}

void TRVMetaDC::WidenPath() {
  if (!state_.PathReady) return;
  const QTransform t = Transform();
  if (!Usable(t)) return;
  // The outline of the pen's stroke, in target pixels.
  const QPainterPath logical = t.inverted().map(state_.Path);
  double unit = 1;
  const QPen pen = MakePen(t, unit);
  if (pen.style() == Qt::NoPen) return;
  QPainterPathStroker stroker(pen);
  stroker.setWidth(pen.widthF() * unit);
  state_.Path = t.map(stroker.createStroke(logical));
}

void TRVMetaDC::FillPath() {
  if (!state_.PathReady) return;
  PaintTarget(state_.Path, true, false);
  AbortPath();
}

void TRVMetaDC::StrokePath() {
  if (!state_.PathReady) return;
  PaintTarget(state_.Path, false, true);
  AbortPath();
}

void TRVMetaDC::StrokeAndFillPath() {
  if (!state_.PathReady) return;
  PaintTarget(state_.Path, true, true);
  AbortPath();
}

void TRVMetaDC::SelectClipPath(uint32_t mode) {
  if (!state_.PathReady) return;
  const Qt::FillRule rule = state_.PolyFillMode == U_WINDING ? Qt::WindingFill : Qt::OddEvenFill;
  QRegion region;
  for (const QPolygonF& polygon : state_.Path.toFillPolygons())
    region ^= PolygonRegion(polygon, Bound(), rule);
  CombineClip(region, mode);
  AbortPath();
}

// ---------------------------------------------------------------- painting

bool TRVMetaDC::PenMode(QColor& color) {
  using CM = QPainter::CompositionMode;
  CM mode = QPainter::CompositionMode_SourceOver;
  switch (state_.Rop2) {
    case U_R2_BLACK:
      color = Qt::black;
      break;
    case U_R2_WHITE:
      color = Qt::white;
      break;
    case U_R2_NOP:
      return false;
    case U_R2_NOT:
      mode = QPainter::RasterOp_NotDestination;
      break;
    case U_R2_NOTCOPYPEN:
      mode = QPainter::RasterOp_NotSource;
      break;
    case U_R2_XORPEN:
      mode = QPainter::RasterOp_SourceXorDestination;
      break;
    case U_R2_NOTXORPEN:
      mode = QPainter::RasterOp_NotSourceXorDestination;
      break;
    case U_R2_MASKPEN:
      mode = QPainter::RasterOp_SourceAndDestination;
      break;
    case U_R2_NOTMASKPEN:
      mode = QPainter::RasterOp_NotSourceOrNotDestination;
      break;
    case U_R2_MERGEPEN:
      mode = QPainter::RasterOp_SourceOrDestination;
      break;
    case U_R2_NOTMERGEPEN:
      mode = QPainter::RasterOp_NotSourceAndNotDestination;
      break;
    case U_R2_MASKNOTPEN:
      mode = QPainter::RasterOp_NotSourceAndDestination;
      break;
    case U_R2_MASKPENNOT:
      mode = QPainter::RasterOp_SourceAndNotDestination;
      break;
    case U_R2_MERGENOTPEN:
      mode = QPainter::RasterOp_NotSourceOrDestination;
      break;
    case U_R2_MERGEPENNOT:
      mode = QPainter::RasterOp_SourceOrNotDestination;
      break;
    default:  // U_R2_COPYPEN and unknown modes
      break;
  }
  painter_.setCompositionMode(static_cast<CM>(mode));
  return true;
}

QPen TRVMetaDC::MakePen(const QTransform& t, double& unit) const {
  unit = 1;
  const TRVMetaPen& p = state_.Pen;
  const uint32_t dash = p.Style & U_PS_STYLE_MASK;
  if (dash == U_PS_NULL) return QPen(Qt::NoPen);
  QPen pen{QColor::fromRgb(p.Color)};
  // The width in target pixels, for the choice of a one-pixel pen.
  const double scale = std::sqrt(std::abs(t.determinant()));
  const bool thin = !p.Geometric || p.Width * scale <= 1.5;
  if (thin) {
    pen.setWidth(0);
    pen.setCosmetic(true);
    pen.setCapStyle(Qt::FlatCap);
    // The window system's one-pixel dash patterns.
    switch (dash) {
      case U_PS_DASH:
        pen.setDashPattern({18, 6});
        break;
      case U_PS_DOT:
      case U_PS_ALTERNATE:
        pen.setDashPattern(dash == U_PS_DOT ? QList<qreal>{3, 3} : QList<qreal>{1, 1});
        break;
      case U_PS_DASHDOT:
        pen.setDashPattern({9, 6, 3, 6});
        break;
      case U_PS_DASHDOTDOT:
        pen.setDashPattern({9, 3, 3, 3, 3, 3});
        break;
      default:
        break;
    }
    return pen;
  }
  // Wider than a few pictures of the size limit draws nothing more; Qt takes widths below 2^16
  // only, so a wider pen is drawn in larger units.
  constexpr double kMaxPenPixels = 1 << 16;
  const double width = std::min(p.Width, kMaxPenPixels / scale);
  if (width > 1 << 14) unit = width / (1 << 10);
  pen.setWidthF(width / unit);
  pen.setMiterLimit(state_.MiterLimit);
  const bool ext = (p.Style & U_PS_TYPE_MASK) == U_PS_GEOMETRIC;
  switch (ext ? p.Style & U_PS_ENDCAP_MASK : U_PS_ENDCAP_ROUND) {
    case U_PS_ENDCAP_SQUARE:
      pen.setCapStyle(Qt::SquareCap);
      break;
    case U_PS_ENDCAP_FLAT:
      pen.setCapStyle(Qt::FlatCap);
      break;
    default:
      pen.setCapStyle(Qt::RoundCap);
      break;
  }
  switch (ext ? p.Style & U_PS_JOIN_MASK : U_PS_JOIN_ROUND) {
    case U_PS_JOIN_BEVEL:
      pen.setJoinStyle(Qt::BevelJoin);
      break;
    case U_PS_JOIN_MITER:
      pen.setJoinStyle(Qt::MiterJoin);
      break;
    default:
      pen.setJoinStyle(Qt::RoundJoin);
      break;
  }
  // Wide pens of the plain kind draw solid; geometric pens keep their dashes, which Qt counts
  // in pen widths.
  if (ext) {
    if (dash == U_PS_USERSTYLE && !p.Dashes.empty()) {
      QList<qreal> pattern;
      for (double d : p.Dashes) pattern << std::max(d / p.Width, 0.01);
      if (pattern.size() % 2) pattern << pattern.back();
      pen.setDashPattern(pattern);
    } else if (dash >= U_PS_DASH && dash <= U_PS_DASHDOTDOT) {
      pen.setStyle(static_cast<Qt::PenStyle>(Qt::DashLine + (dash - U_PS_DASH)));
    }
  }
  return pen;
}

void TRVMetaDC::FillWithBrush(const QPainterPath& path, const TRVMetaBrush& b, const QTransform& t) {
  QColor color = QColor::fromRgb(b.Color);
  switch (b.Style) {
    case U_BS_NULL:
      return;
    case U_BS_HATCHED: {
      if (b.Hatch > U_HS_DIAGCROSS) break;  // the solid hatches fill with the colour
      if (state_.BkMode == U_OPAQUE) {
        QColor bk = QColor::fromRgb(state_.BkColor);
        if (PenMode(bk)) painter_.fillPath(path, bk);
      }
      if (!PenMode(color)) return;
      QBrush brush(color, platform::QtBrushStyle(
                              static_cast<platform::TBrushStyle>(platform::bsHorizontal + b.Hatch)));
      painter_.setBrushOrigin(outer_.map(state_.BrushOrg));
      painter_.fillPath(path, brush);
      return;
    }
    case U_BS_PATTERN:
    case U_BS_DIBPATTERN:
    case U_BS_DIBPATTERNPT:
    case U_BS_DIBPATTERN8X8:
    case U_BS_MONOPATTERN: {
      if (!b.Pattern || b.Pattern->isNull()) break;
      QImage tile = *b.Pattern;
      if (tile.format() == QImage::Format_Indexed8) {
        tile.setColorTable({state_.TextColor, state_.BkColor});
        tile = tile.convertToFormat(QImage::Format_RGB32);
      }
      QBrush brush(tile);
      // Tiles lie in target pixels from the brush origin, whatever the mapping.
      const QPointF origin = outer_.map(state_.BrushOrg);
      brush.setTransform(QTransform::fromTranslate(origin.x(), origin.y()) * t.inverted());
      if (!PenMode(color)) return;
      painter_.fillPath(path, brush);
      return;
    }
    default:
      break;
  }
  if (PenMode(color)) painter_.fillPath(path, color);
}

// Sets the clip and the transform for a figure whose logical bounds are given; false when the
// mapping is unusable or the figure (with `margin` target pixels around it) misses the picture.
bool TRVMetaDC::BeginDraw(const QTransform& t, const QRectF& logicalBounds, double margin) {
  if (!Usable(t)) return false;
  const QRectF box = t.mapRect(logicalBounds).adjusted(-margin, -margin, margin, margin);
  if (!std::isfinite(box.width()) || !std::isfinite(box.height())) return false;
  if (!box.intersects(QRectF(target_))) return false;
  ApplyClip();
  painter_.setTransform(t);
  return true;
}

bool TRVMetaDC::Visible(const QRectF& logical) const {
  const QTransform t = Transform();
  if (!Usable(t)) return false;
  const QRectF box = t.mapRect(logical.normalized()).adjusted(-1, -1, 1, 1);
  return std::isfinite(box.width()) && std::isfinite(box.height()) && box.intersects(QRectF(target_));
}

void TRVMetaDC::Paint(const QPainterPath& logical, bool fill, bool stroke) {
  if (state_.Rop2 == U_R2_NOP) return;
  const QTransform t = Transform();
  double unit = 1;
  const QPen pen = stroke ? MakePen(t, unit) : QPen(Qt::NoPen);
  const double margin =
      pen.style() == Qt::NoPen ? 1 : pen.widthF() * unit * std::sqrt(std::abs(t.determinant())) + 2;
  if (!BeginDraw(t, logical.controlPointRect(), margin)) return;
  QPainterPath path = logical;
  path.setFillRule(state_.PolyFillMode == U_WINDING ? Qt::WindingFill : Qt::OddEvenFill);
  if (fill) FillWithBrush(path, state_.Brush, t);
  if (pen.style() != Qt::NoPen) {
    QColor color = pen.color();
    if (PenMode(color)) {
      QPen p = pen;
      p.setColor(color);
      if (unit != 1) {
        painter_.setTransform(QTransform::fromScale(unit, unit) * t);
        path = QTransform::fromScale(1 / unit, 1 / unit).map(path);
      }
      painter_.strokePath(path, p);
    }
  }
  painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void TRVMetaDC::PaintTarget(const QPainterPath& target, bool fill, bool stroke) {
  // Drawn in logical units, so that the pen takes its width and shape from the mapping.
  const QTransform t = Transform();
  if (!Usable(t)) return;
  Paint(t.inverted().map(target), fill, stroke);
}

void TRVMetaDC::Figure(const QPainterPath& outline, bool fill) {
  if (state_.InPath) {
    AddToPath(outline, false);
    return;
  }
  Paint(outline, fill, true);
}

}  // namespace rv
