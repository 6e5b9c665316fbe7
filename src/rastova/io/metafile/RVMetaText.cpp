// Text of metafile playback: the logical font made a Qt font at the size the mapping gives it,
// placed by the text alignment, turned by the escapement, spaced by the records' character
// advances, over the background colour in the opaque background mode.
//
// Fonts come from the window system, so text is drawn only while a QGuiApplication runs; without
// one the record's opaque rectangle is still filled and the text left out.
#include <uemf.h>

#include <QCoreApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/Round.h"
#include "platform/gfx/Canvas.h"
#include "rastova/io/metafile/RVMetaDC.h"

namespace rv {

namespace {

// Pixel sizes above this are not asked of the fonts (the picture's size bounds them before).
constexpr double kMaxFontPixels = 1 << 16;

// The font at `pixels` target pixels of height (character height for a negative logical
// height, whole cell for a positive one).
QFont MakeFont(const TRVMetaFont& f, double pixels) {
  const std::string face = f.Face.isEmpty() ? std::string("Arial") : f.Face.toStdString();
  QFont font(platform::StandInFontFamily(face));
  font.setWeight(static_cast<QFont::Weight>(f.Weight <= 0 ? 400 : std::clamp(f.Weight, 1, 1000)));
  font.setItalic(f.Italic);
  font.setUnderline(f.Underline);
  font.setStrikeOut(f.StrikeOut);
  if (f.Quality == U_NONANTIALIASED_QUALITY) font.setStyleStrategy(QFont::NoAntialias);
  double em = pixels;
  if (f.Height > 0) {
    // A cell height: the character height is the part of it the font's em takes.
    QFont probe = font;
    probe.setPixelSize(100);
    const QFontMetricsF m(probe);
    const double cell = m.ascent() + m.descent();
    if (cell > 0) em = pixels * 100 / cell;
  }
  font.setPixelSize(std::max(1, common::RoundInt(std::min(em, kMaxFontPixels))));
  return font;
}

// The length of the logical vector v in target pixels.
double MappedLength(const QTransform& t, QPointF v) {
  const QPointF d = t.map(v) - t.map(QPointF(0, 0));
  return std::hypot(d.x(), d.y());
}

}  // namespace

void TRVMetaDC::Text(QPointF reference, const QString& text, std::span<const double> dx, uint32_t options,
                     const std::optional<QRectF>& rect) {
  const QTransform t = Transform();
  if (rect && (options & U_ETO_OPAQUE)) {
    QPainterPath box;
    box.addRect(rect->normalized());
    if (BeginDraw(t, box.controlPointRect(), 1)) painter_.fillPath(box, QColor::fromRgb(state_.BkColor));
  }
  if (text.isEmpty() || !qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
  const bool updatePosition = state_.TextAlign & U_TA_UPDATECP;
  const QPointF anchor = updatePosition ? state_.Position : reference;
  if (!BeginDraw(t, QRectF(anchor, QSizeF(0, 0)), 1e9)) return;
  const bool clipped = rect && (options & U_ETO_CLIPPED);
  if (clipped) {
    // For this text only: the rectangle within the clip region.
    painter_.setTransform(QTransform());
    painter_.setClipRegion(TargetRegion(*rect), Qt::IntersectClip);
  }
  const QString shown = text.left(qsizetype(kMaxTextChars));
  DrawTextRun(shown, dx.first(std::min(dx.size(), size_t(shown.size()))), anchor, t);
  if (clipped) clipApplied_ = false;
  painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// Draws `text` from the logical point `anchor`; with U_TA_UPDATECP the current position moves to
// the end of the text. False when nothing could be drawn.
bool TRVMetaDC::DrawTextRun(const QString& text, std::span<const double> dx, QPointF anchor,
                            const QTransform& t) {
  const TRVMetaFont& f = state_.Font;
  const double yScale = MappedLength(t, QPointF(0, 1));
  double pixels = f.Height == 0 ? 12 : std::abs(f.Height) * yScale;
  if (!std::isfinite(pixels) || pixels < 0.5) return false;
  // A character four times the picture's size shows no more of the picture than one that size.
  pixels = std::min(pixels, 4.0 * std::max(target_.width(), target_.height()) + 16);
  QFont font = MakeFont(f, pixels);
  // The baseline's direction: the escapement (tenths of a degree, counter-clockwise as seen)
  // through the mapping, kept upright when the mapping mirrors.
  const double e = f.Escapement / 10.0 * std::numbers::pi / 180;
  const QPointF along(std::cos(e), -std::sin(e));
  QPointF d = t.map(along) - t.map(QPointF(0, 0));
  if (t.determinant() < 0) d.setY(-d.y());
  const double alongScale = std::hypot(d.x(), d.y());
  if (!(alongScale > 0)) return false;
  if (f.Width != 0) {
    // The average character width the font asks for, as a stretch of the face.
    const double average = QFontMetricsF(font).averageCharWidth();
    const double wanted = std::abs(f.Width) * MappedLength(t, QPointF(1, 0));
    if (average > 0) font.setStretch(std::clamp(common::RoundInt(100 * wanted / average), 1, 4000));
  }
  const QFontMetricsF metrics(font);
  // Advances in target pixels along the baseline.
  std::vector<double> advances;
  double width = 0;
  if (!dx.empty()) {
    advances.reserve(dx.size());
    for (double a : dx) {
      advances.push_back(std::isfinite(a) ? a * alongScale : 0);
      width += advances.back();
    }
  } else {
    width = metrics.horizontalAdvance(text);
  }
  if (!std::isfinite(width)) return false;
  double x = 0;
  switch (state_.TextAlign & U_TA_CENTER) {
    case U_TA_RIGHT:
      x = -width;
      break;
    case U_TA_CENTER:
      x = -width / 2;
      break;
    default:
      break;
  }
  double baseline = metrics.ascent();  // U_TA_TOP
  if ((state_.TextAlign & U_TA_BASELINE) == U_TA_BASELINE)
    baseline = 0;
  else if (state_.TextAlign & U_TA_BOTTOM)
    baseline = -metrics.descent();
  const QPointF origin = t.map(anchor);
  QTransform glyphs;
  glyphs.translate(origin.x(), origin.y());
  glyphs.rotateRadians(std::atan2(d.y(), d.x()));
  painter_.setTransform(glyphs);
  painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
  if (state_.BkMode == U_OPAQUE)
    painter_.fillRect(QRectF(x, baseline - metrics.ascent(), width, metrics.ascent() + metrics.descent()),
                      QColor::fromRgb(state_.BkColor));
  painter_.setFont(font);
  painter_.setPen(QColor::fromRgb(state_.TextColor));
  if (advances.empty()) {
    painter_.drawText(QPointF(x, baseline), text);
  } else {
    // Each character at its own advance; a surrogate pair is one character of two advances.
    double at = x;
    for (qsizetype i = 0; i < text.size(); ++i) {
      const qsizetype n = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
      painter_.drawText(QPointF(at, baseline), text.mid(i, n));
      for (qsizetype k = 0; k < n && size_t(i + k) < advances.size(); ++k) at += advances[size_t(i + k)];
      i += n - 1;
    }
  }
  if (state_.TextAlign & U_TA_UPDATECP) {
    const QPointF end = glyphs.map(QPointF(x + width, 0));
    if (t.isInvertible()) state_.Position = t.inverted().map(end);
  }
  return true;
}

}  // namespace rv
