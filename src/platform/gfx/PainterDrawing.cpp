#include "platform/gfx/PainterDrawing.h"

#include <QFont>
#include <QString>
#include <algorithm>
#include <vector>

#include "common/Round.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/GraphicsError.h"

namespace platform {

namespace {

QColor ToColor(TArgb c) { return QColor::fromRgba(c); }

QRectF ToQRectF(const TRectF& r) { return QRectF(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top); }

}  // namespace

TPainterDrawing::TPainterDrawing(TBitmap& target) {
  if (target.Empty() || (target.PixelFormat() != pf32bit && target.PixelFormat() != pf24bit))
    throw EInvalidGraphicOperation("Drawing needs a 24 or 32-bit bitmap");
  image_ = target.Image();
  painter_.begin(&image_);
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::TextAntialiasing, false);
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

TPainterDrawing::~TPainterDrawing() { End(); }

void TPainterDrawing::End() {
  if (painter_.isActive()) painter_.end();
}

void TPainterDrawing::SetAntialias(bool on) {
  antialias_ = on;
  if (painter_.isActive()) {
    painter_.setRenderHint(QPainter::Antialiasing, on);
    painter_.setRenderHint(QPainter::TextAntialiasing, on);
  }
}

void TPainterDrawing::UsePen(TArgb color, float width) {
  if (tool_ == TTool::Pen && toolColor_ == color && toolWidth_ == width) return;
  // Painters that take turns between a few pens (the point marks of a grid, one colour per
  // column) find them made already.
  TPenSlot* slot = nullptr;
  for (TPenSlot& p : pens_)
    if (p.Made && p.Color == color && p.Width == width) slot = &p;
  if (!slot) {
    slot = &pens_[nextPen_];
    nextPen_ = (nextPen_ + 1) % kPenSlots;
    *slot = {true, color, width,
             QPen(ToColor(color), std::max(width, 0.0f), Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin)};
  }
  painter_.setPen(slot->Pen);
  if (tool_ != TTool::Pen) painter_.setBrush(Qt::NoBrush);
  tool_ = TTool::Pen;
  toolColor_ = color;
  toolWidth_ = width;
}

void TPainterDrawing::UseBrush(TArgb color) {
  if (tool_ == TTool::Brush && toolColor_ == color) return;
  painter_.setBrush(ToColor(color));
  if (tool_ != TTool::Brush) painter_.setPen(Qt::NoPen);
  tool_ = TTool::Brush;
  toolColor_ = color;
}

const QPointF* TPainterDrawing::Points(std::span<const TPointF> points) {
  // One buffer for the thread, kept from drawing to drawing: a pane paint passes hundreds of
  // thousands of points, and fresh pages for them at every paint would cost more than the copy.
  // A buffer serves one call at a time; no call draws through another drawing.
  thread_local std::vector<QPointF> buffer;
  buffer.resize(points.size());
  for (size_t k = 0; k < points.size(); ++k) buffer[k] = QPointF(points[k].X, points[k].Y);
  return buffer.data();
}

void TPainterDrawing::Clear(TArgb color) {
  if (!painter_.isActive()) return;
  // The bitmaps drawn on have no alpha of their own: the colour is stored opaque.
  painter_.setCompositionMode(QPainter::CompositionMode_Source);
  painter_.fillRect(image_.rect(), ToColor(color | 0xFF000000u));
  painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void TPainterDrawing::Line(TPointF a, TPointF b, TArgb color, float width) {
  if (!painter_.isActive()) return;
  UsePen(color, width);
  painter_.drawLine(QPointF(a.X, a.Y), QPointF(b.X, b.Y));
}

void TPainterDrawing::Lines(std::span<const TPointF> ends, TArgb color, float width) {
  if (!painter_.isActive() || ends.size() < 2) return;
  UsePen(color, width);
  const size_t n = ends.size() / 2;
  painter_.drawLines(Points(ends.first(2 * n)), static_cast<int>(n));
}

void TPainterDrawing::Polyline(std::span<const TPointF> points, TArgb color, float width) {
  if (!painter_.isActive() || points.size() < 2) return;
  UsePen(color, width);
  painter_.drawPolyline(Points(points), static_cast<int>(points.size()));
}

void TPainterDrawing::FillPolygon(std::span<const TPointF> points, TArgb color) {
  if (!painter_.isActive() || points.size() < 3) return;
  UseBrush(color);
  painter_.drawPolygon(Points(points), static_cast<int>(points.size()), Qt::WindingFill);
}

void TPainterDrawing::OutlinePolygon(std::span<const TPointF> points, TArgb color, float width) {
  if (!painter_.isActive() || points.size() < 2) return;
  UsePen(color, width);
  painter_.drawPolygon(Points(points), static_cast<int>(points.size()));
}

void TPainterDrawing::FillRect(const TRectF& r, TArgb color) {
  if (!painter_.isActive()) return;
  UseBrush(color);
  painter_.drawRect(ToQRectF(r));
}

void TPainterDrawing::OutlineRect(const TRectF& r, TArgb color, float width) {
  if (!painter_.isActive()) return;
  UsePen(color, width);
  painter_.drawRect(ToQRectF(r));
}

void TPainterDrawing::FillEllipse(const TRectF& r, TArgb color) {
  if (!painter_.isActive()) return;
  UseBrush(color);
  painter_.drawEllipse(ToQRectF(r));
}

void TPainterDrawing::OutlineEllipse(const TRectF& r, TArgb color, float width) {
  if (!painter_.isActive()) return;
  UsePen(color, width);
  painter_.drawEllipse(ToQRectF(r));
}

void TPainterDrawing::DrawBitmap(const TBitmap& bitmap, const TRectF& dest, float opacity) {
  if (!painter_.isActive() || bitmap.Empty()) return;
  const QImage source = bitmap.Image();
  painter_.setOpacity(std::clamp(opacity, 0.0f, 1.0f));
  painter_.drawImage(ToQRectF(dest), source, QRectF(source.rect()));
  painter_.setOpacity(1.0);
}

void TPainterDrawing::Text(const TRectF& box, std::string_view text, TArgb color, const std::string& fontName,
                           float pixelHeight) {
  if (!painter_.isActive()) return;
  QFont font(StandInFontFamily(fontName));
  font.setPixelSize(std::clamp(common::RoundInt(pixelHeight), 1, 1000));
  font.setStyleStrategy(antialias_ ? QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias)
                                   : QFont::NoAntialias);
  painter_.setFont(font);
  UsePen(color, 1);
  painter_.drawText(ToQRectF(box), Qt::AlignCenter,
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace platform
