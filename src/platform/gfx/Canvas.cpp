#include "platform/gfx/Canvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <unordered_map>
#include <vector>

#include "common/Round.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/GraphicsError.h"

namespace platform {

namespace {

QPainter::CompositionMode ModeFor(TPenMode mode) {
  switch (mode) {
    case pmBlack: return QPainter::RasterOp_ClearDestination;
    case pmWhite: return QPainter::RasterOp_SetDestination;
    case pmNot: return QPainter::RasterOp_NotDestination;
    case pmNotCopy: return QPainter::RasterOp_NotSource;
    case pmMergePenNot: return QPainter::RasterOp_SourceOrNotDestination;
    case pmMaskPenNot: return QPainter::RasterOp_SourceAndNotDestination;
    case pmMergeNotPen: return QPainter::RasterOp_NotSourceOrDestination;
    case pmMaskNotPen: return QPainter::RasterOp_NotSourceAndDestination;
    case pmMerge: return QPainter::RasterOp_SourceOrDestination;
    case pmNotMerge: return QPainter::RasterOp_NotSourceAndNotDestination;
    case pmMask: return QPainter::RasterOp_SourceAndDestination;
    case pmNotMask: return QPainter::RasterOp_NotSourceOrNotDestination;
    case pmXor: return QPainter::RasterOp_SourceXorDestination;
    case pmNotXor: return QPainter::RasterOp_NotSourceXorDestination;
    case pmCopy:
    case pmNop:
    default: return QPainter::CompositionMode_SourceOver;
  }
}

// Modes where touching a pixel twice differs from touching it once: the fill of a shape must
// then leave out the pixels its outline covers.
bool TwiceDiffers(TPenMode mode) {
  switch (mode) {
    case pmNot:
    case pmMergePenNot:
    case pmMaskPenNot:
    case pmNotMerge:
    case pmNotMask:
    case pmXor:
    case pmNotXor: return true;
    default: return false;
  }
}

// Dash and gap lengths of the one-pixel pen styles, in pixels.
QList<qreal> DashPattern(TPenStyle style) {
  switch (style) {
    case psDash: return {18, 6};
    case psDot: return {3, 3};
    case psDashDot: return {9, 6, 3, 6};
    case psDashDotDot: return {9, 3, 3, 3, 3, 3};
    default: return {};
  }
}

Qt::BrushStyle QtBrushStyle(TBrushStyle style) {
  switch (style) {
    case bsSolid: return Qt::SolidPattern;
    case bsHorizontal: return Qt::HorPattern;
    case bsVertical: return Qt::VerPattern;
    case bsFDiagonal: return Qt::FDiagPattern;
    case bsBDiagonal: return Qt::BDiagPattern;
    case bsCross: return Qt::CrossPattern;
    case bsDiagCross: return Qt::DiagCrossPattern;
    case bsClear:
    default: return Qt::NoBrush;
  }
}

QString FontFamily(const std::string& name) {
  static const std::pair<const char*, const char*> kStandIns[] = {
      {"arial", "Liberation Sans"},          {"tahoma", "DejaVu Sans"},
      {"ms sans serif", "DejaVu Sans"},      {"microsoft sans serif", "DejaVu Sans"},
      {"segoe ui", "DejaVu Sans"},           {"verdana", "DejaVu Sans"},
      {"times new roman", "Liberation Serif"}, {"courier new", "Liberation Mono"},
      {"arial narrow", "Liberation Sans Narrow"},
  };
  const QString requested = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
  for (const auto& [from, to] : kStandIns)
    if (requested.compare(QLatin1String(from), Qt::CaseInsensitive) == 0) return QString::fromLatin1(to);
  return requested;
}

void RequireFonts() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    throw EInvalidGraphicOperation("Canvas does not allow drawing");
}

QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }

QRect PointsBounds(std::span<const TPoint> points, int margin) {
  if (points.empty()) return {};
  int l = points[0].X, t = points[0].Y, r = l, b = t;
  for (const auto& p : points) {
    l = std::min(l, p.X);
    t = std::min(t, p.Y);
    r = std::max(r, p.X);
    b = std::max(b, p.Y);
  }
  return QRect(QPoint(l, t), QPoint(r, b)).adjusted(-margin, -margin, margin, margin);
}

}  // namespace

// One drawing call: a painter on the bitmap's paint target, aliased, clipped.
class TCanvas::Session {
 public:
  explicit Session(TCanvas& canvas) : canvas_(canvas) {
    QImage* target = canvas.bitmap_.BeginPaint();
    if (!target) return;
    begun_ = true;
    if (!painter_.begin(target)) return;
    active_ = true;
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (canvas.clip_) painter_.setClipRegion(*canvas.clip_);
  }
  ~Session() {
    if (active_) painter_.end();
    if (begun_) canvas_.bitmap_.EndPaint();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  bool Active() const { return active_; }
  QPainter& P() { return painter_; }

 private:
  TCanvas& canvas_;
  QPainter painter_;
  bool begun_ = false;
  bool active_ = false;
};

int TFont::Size() const { return -common::MulDiv(height_, 72, 96); }
void TFont::SetSize(int points) { height_ = -common::MulDiv(points, 96, 72); }

TCanvas::TCanvas(TBitmap& bitmap) : bitmap_(bitmap) {}

QColor TCanvas::MapColor(TColor color) const {
  switch (bitmap_.PixelFormat()) {
    case pf8bit: {
      const int i = bitmap_.NearestIndex(color);
      return QColor(i, i, i);
    }
    case pf1bit: return bitmap_.NearestIndex(color) ? QColor(255, 255, 255) : QColor(0, 0, 0);
    default: return ToQColor(color);
  }
}

bool TCanvas::ApplyPen(QPainter& p) const {
  if (Pen.Style == psClear || Pen.Mode == pmNop) {
    p.setPen(Qt::NoPen);
    return false;
  }
  QPen pen(MapColor(Pen.Color));
  const int width = std::max(1, Pen.Width);
  pen.setWidth(width);
  if (width == 1) {
    // Flat ends leave out the end point of every line; joins touch each pixel once.
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    const QList<qreal> dashes = DashPattern(Pen.Style);
    if (!dashes.isEmpty()) pen.setDashPattern(dashes);
  } else {
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
  }
  p.setPen(pen);
  return true;
}

void TCanvas::ApplyBrush(QPainter& p) const {
  const Qt::BrushStyle style = QtBrushStyle(Brush.Style);
  p.setBrush(style == Qt::NoBrush ? QBrush() : QBrush(MapColor(Brush.Color), style));
}

// Draws with the pen set by ApplyPen; with a styled one-pixel pen and a solid brush the gaps
// between the dashes are drawn in the brush's colour, as the window system does for an
// opaque background.
void TCanvas::StrokeDashGaps(QPainter& p, const std::function<void(QPainter&)>& draw) const {
  draw(p);
  const QList<qreal> dashes = DashPattern(Pen.Style);
  if (dashes.isEmpty() || std::max(1, Pen.Width) != 1 || Brush.Style != bsSolid) return;
  // The pattern shifted by one element turns gaps into dashes; starting it so that its last
  // element (the first dash) lies at the line's start lines it up with the first pass.
  QList<qreal> gaps = dashes.mid(1);
  gaps.push_back(dashes.front());
  qreal total = 0;
  for (qreal d : dashes) total += d;
  QPen pen = p.pen();
  pen.setColor(MapColor(Brush.Color));
  pen.setDashPattern(gaps);
  pen.setDashOffset(total - dashes.front());
  const QPen saved = p.pen();
  p.setPen(pen);
  draw(p);
  p.setPen(saved);
}

void TCanvas::Changed(QRect bounds) {
  bounds = bounds.intersected(QRect(0, 0, bitmap_.Width(), bitmap_.Height()));
  if (clip_) bounds = bounds.intersected(clip_->boundingRect());
  if (bounds.isEmpty() || !OnChange) return;
  OnChange(TRect{bounds.left(), bounds.top(), bounds.right() + 1, bounds.bottom() + 1});
}

void TCanvas::LineTo(int x, int y) {
  const TPoint from = penPos_;
  penPos_ = {x, y};
  if (from == penPos_) return;
  {
    Session s(*this);
    if (!s.Active()) return;
    QPainter& p = s.P();
    p.setCompositionMode(ModeFor(Pen.Mode));
    if (!ApplyPen(p)) return;
    StrokeDashGaps(p, [&](QPainter& q) { q.drawLine(QPoint(from.X, from.Y), QPoint(x, y)); });
  }
  const TPoint ends[] = {from, penPos_};
  Changed(PointsBounds(ends, std::max(1, Pen.Width) + 1));
}

void TCanvas::Polyline(std::span<const TPoint> points) {
  if (points.size() < 2) return;
  QPolygon polygon;
  for (const auto& pt : points) polygon << QPoint(pt.X, pt.Y);
  {
    Session s(*this);
    if (!s.Active()) return;
    QPainter& p = s.P();
    p.setCompositionMode(ModeFor(Pen.Mode));
    if (!ApplyPen(p)) return;
    StrokeDashGaps(p, [&](QPainter& q) { q.drawPolyline(polygon); });
  }
  Changed(PointsBounds(points, std::max(1, Pen.Width) + 1));
}

// Fills `fill` with the brush and then strokes with the pen, both in the pen mode. Where
// touching a pixel twice would undo the first touch (XOR, NOT, ...), the fill leaves out
// the outline's area.
void TCanvas::FillAndStroke(const QPainterPath& fill, const std::function<void(QPainter&)>& stroke, QRect bounds) {
  if (Pen.Mode == pmNop) return;
  {
    Session s(*this);
    if (!s.Active()) return;
    QPainter& p = s.P();
    p.setCompositionMode(ModeFor(Pen.Mode));
    const bool hasPen = Pen.Style != psClear;
    if (Brush.Style != bsClear && !fill.isEmpty()) {
      QPainterPath area = fill;
      if (hasPen && TwiceDiffers(Pen.Mode)) {
        // The outline's own area, as wide as the pen.
        QPainterPathStroker stroker;
        stroker.setWidth(std::max(1, Pen.Width));
        stroker.setCapStyle(Qt::FlatCap);
        stroker.setJoinStyle(Qt::MiterJoin);
        area = fill.subtracted(stroker.createStroke(fill));
      }
      p.setPen(Qt::NoPen);
      ApplyBrush(p);
      p.drawPath(area);
    }
    if (hasPen && ApplyPen(p)) {
      p.setBrush(Qt::NoBrush);
      StrokeDashGaps(p, stroke);
    }
  }
  Changed(bounds);
}

void TCanvas::Polygon(std::span<const TPoint> points) {
  if (points.size() < 2) return;
  QPolygon polygon;
  for (const auto& pt : points) polygon << QPoint(pt.X, pt.Y);
  QPainterPath fill;
  fill.setFillRule(Qt::OddEvenFill);
  fill.addPolygon(QPolygonF(polygon));
  fill.closeSubpath();
  FillAndStroke(fill, [&](QPainter& q) { q.drawPolygon(polygon); }, PointsBounds(points, std::max(1, Pen.Width) + 1));
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  const TRect r = TRect{x1, y1, x2, y2}.Normalized();
  const int w = r.Width(), h = r.Height();
  if (w == 0 || h == 0 || Pen.Mode == pmNop) return;
  const int penWidth = std::max(1, Pen.Width);
  const bool hasPen = Pen.Style != psClear;
  const QRect bounds = ToQRect(r).adjusted(-penWidth, -penWidth, penWidth, penWidth);
  {
    Session s(*this);
    if (!s.Active()) return;
    QPainter& p = s.P();
    p.setCompositionMode(ModeFor(Pen.Mode));
    // The fill: the inside of the outline; without a pen one pixel less each way.
    QRect fill;
    if (!hasPen) {
      fill = QRect(r.Left, r.Top, w - 1, h - 1);
    } else if (penWidth == 1 || TwiceDiffers(Pen.Mode)) {
      const int inset = penWidth == 1 ? 1 : penWidth / 2 + 1;
      fill = QRect(r.Left + inset, r.Top + inset, w - 2 * inset, h - 2 * inset);
    } else {
      fill = ToQRect(r);  // the wide outline is drawn over it
    }
    if (Brush.Style != bsClear && fill.width() > 0 && fill.height() > 0) {
      p.setPen(Qt::NoPen);
      ApplyBrush(p);
      p.drawRect(fill);
    }
    if (hasPen && ApplyPen(p)) {
      p.setBrush(Qt::NoBrush);
      if (penWidth == 1 && (w == 1 || h == 1)) {
        // A rectangle one pixel thin is a single run of pixels.
        p.setPen(Qt::NoPen);
        p.setBrush(MapColor(Pen.Color));
        p.drawRect(ToQRect(r));
      } else if (penWidth == 1) {
        const QPolygon outline({QPoint(r.Left, r.Top), QPoint(r.Right - 1, r.Top), QPoint(r.Right - 1, r.Bottom - 1),
                                QPoint(r.Left, r.Bottom - 1)});
        StrokeDashGaps(p, [&](QPainter& q) { q.drawPolygon(outline); });
      } else {
        const QRectF centre(r.Left + 0.5, r.Top + 0.5, w - 1, h - 1);
        StrokeDashGaps(p, [&](QPainter& q) { q.drawRect(centre); });
      }
    }
  }
  Changed(bounds);
}

void TCanvas::FillRect(const TRect& r) {
  if (r.IsEmpty() || Brush.Style == bsClear) return;
  {
    Session s(*this);
    if (!s.Active()) return;
    QPainter& p = s.P();
    p.setPen(Qt::NoPen);
    ApplyBrush(p);
    p.drawRect(ToQRect(r));
  }
  Changed(ToQRect(r));
}

void TCanvas::FrameRect(const TRect& r) {
  if (r.IsEmpty() || Brush.Style == bsClear) return;
  {
    Session s(*this);
    if (!s.Active()) return;
    QPainter& p = s.P();
    p.setPen(Qt::NoPen);
    ApplyBrush(p);
    const int w = r.Width(), h = r.Height();
    p.drawRect(QRect(r.Left, r.Top, w, 1));
    if (h > 1) p.drawRect(QRect(r.Left, r.Bottom - 1, w, 1));
    if (h > 2) {
      p.drawRect(QRect(r.Left, r.Top + 1, 1, h - 2));
      if (w > 1) p.drawRect(QRect(r.Right - 1, r.Top + 1, 1, h - 2));
    }
  }
  Changed(ToQRect(r));
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  const TRect r = TRect{x1, y1, x2, y2}.Normalized();
  const int w = r.Width(), h = r.Height();
  if (w == 0 || h == 0) return;
  const bool hasPen = Pen.Style != psClear;
  // The outline runs through the centres of the edge pixels; without a pen the filled
  // ellipse is one pixel smaller each way.
  const QRectF centre(r.Left + 0.5, r.Top + 0.5, w - 1, h - 1);
  QPainterPath fill;
  fill.addEllipse(hasPen ? QRectF(r.Left, r.Top, w, h) : QRectF(r.Left, r.Top, w - 1, h - 1));
  const int penWidth = std::max(1, Pen.Width);
  FillAndStroke(fill, [&](QPainter& q) { q.drawEllipse(centre); },
                ToQRect(r).adjusted(-penWidth, -penWidth, penWidth, penWidth));
}

void TCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  const TRect r = TRect{x1, y1, x2, y2}.Normalized();
  const int w = r.Width(), h = r.Height();
  if (w == 0 || h == 0 || Pen.Mode == pmNop || Pen.Style == psClear) return;
  const QRectF centre(r.Left + 0.5, r.Top + 0.5, w - 1, h - 1);
  const double cx = centre.center().x(), cy = centre.center().y();
  const double a = std::max(centre.width() / 2, 0.5), b = std::max(centre.height() / 2, 0.5);
  // Angles of the ellipse's parameter (as QPainterPath takes them), counter-clockwise on
  // screen, of the points where the two rays meet the ellipse.
  auto angleOf = [&](int px, int py) {
    const double t = std::atan2((cy - py) / b, (px - cx) / a) * 180.0 / std::numbers::pi;
    return t < 0 ? t + 360.0 : t;
  };
  const double start = angleOf(x3, y3);
  double span = angleOf(x4, y4) - start;
  if (span <= 0) span += 360.0;
  QPainterPath path;
  path.arcMoveTo(centre, start);
  path.arcTo(centre, start, span);
  {
    Session s(*this);
    if (!s.Active()) return;
    QPainter& p = s.P();
    p.setCompositionMode(ModeFor(Pen.Mode));
    if (!ApplyPen(p)) return;
    p.setBrush(Qt::NoBrush);
    StrokeDashGaps(p, [&](QPainter& q) { q.drawPath(path); });
  }
  const int penWidth = std::max(1, Pen.Width);
  Changed(ToQRect(r).adjusted(-penWidth, -penWidth, penWidth, penWidth));
}

QFont TCanvas::MakeFont() const {
  QFont font(FontFamily(Font.Name));
  const int height = Font.Height();
  int pixels = height == 0 ? 11 : std::abs(height);
  font.setPixelSize(std::max(1, pixels));
  if (height > 0) {
    // A positive height is the whole cell: scale the character size to fit it.
    const int cell = QFontMetrics(font).height();
    if (cell > 0) font.setPixelSize(std::max(1, common::MulDiv(pixels, pixels, cell)));
  }
  font.setBold(Font.Style.Bold);
  font.setItalic(Font.Style.Italic);
  font.setUnderline(Font.Style.Underline);
  font.setStrikeOut(Font.Style.StrikeOut);
  // Smooth edges on colour bitmaps only: on indexed ones text sets whole table entries, as
  // the window system draws it there.
  const bool blend = bitmap_.PixelFormat() == pf24bit || bitmap_.PixelFormat() == pf32bit;
  font.setStyleStrategy(blend ? QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias)
                              : QFont::NoAntialias);
  return font;
}

TSize TCanvas::TextExtent(std::string_view text) {
  RequireFonts();
  const QFontMetrics metrics(MakeFont());
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  return {metrics.horizontalAdvance(s), metrics.height()};
}

void TCanvas::TextOut(int x, int y, std::string_view text) {
  RequireFonts();
  const QFont font = MakeFont();
  const QFontMetrics metrics(font);
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  const QRect cell(x, y, metrics.horizontalAdvance(s), metrics.height());
  {
    Session s2(*this);
    if (!s2.Active()) return;
    QPainter& p = s2.P();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (Brush.Style == bsSolid && !cell.isEmpty()) p.fillRect(cell, MapColor(Brush.Color));
    p.setFont(font);
    p.setPen(MapColor(Font.Color));
    p.drawText(QPoint(x, y + metrics.ascent()), s);
  }
  penPos_ = {x + cell.width(), y};
  // Italic and overhanging glyphs may reach a little beyond the advance.
  const int slack = metrics.height() / 2 + 2;
  Changed(cell.adjusted(-slack, 0, slack, 0));
}

TColor TCanvas::Pixels(int x, int y) const {
  if (x < 0 || y < 0 || x >= bitmap_.Width() || y >= bitmap_.Height()) return -1;
  if (clip_ && !clip_->contains(QPoint(x, y))) return -1;
  return bitmap_.PixelColor(x, y);
}

void TCanvas::SetPixels(int x, int y, TColor color) {
  if (x < 0 || y < 0 || x >= bitmap_.Width() || y >= bitmap_.Height()) return;
  if (clip_ && !clip_->contains(QPoint(x, y))) return;
  bitmap_.SetPixelColor(x, y, color);
  Changed(QRect(x, y, 1, 1));
}

TRect TCanvas::ClipRect() const {
  QRect r(0, 0, bitmap_.Width(), bitmap_.Height());
  if (clip_) r = r.intersected(clip_->boundingRect());
  return r.isEmpty() ? TRect{} : TRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
}

void TCanvas::SetClipRegion(const TRegion* region) {
  if (region) clip_ = region->Region();
  else clip_.reset();
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& src) {
  CopyFrom(dest, source.bitmap_, src, CopyMode);
}

void TCanvas::Draw(int x, int y, const TBitmap& bitmap) {
  CopyFrom(Bounds(x, y, bitmap.Width(), bitmap.Height()), bitmap, Rect(0, 0, bitmap.Width(), bitmap.Height()),
           CopyMode);
}

void TCanvas::StretchDraw(const TRect& dest, const TBitmap& bitmap) {
  CopyFrom(dest, bitmap, Rect(0, 0, bitmap.Width(), bitmap.Height()), CopyMode);
}

namespace {

// The source rectangle as indices into `dest`'s colour table, one byte per pixel (pf1bit
// destinations take 0 or 255, the grey levels their paint target uses).
QImage IndexImage(const TBitmap& source, const QRect& s, const TBitmap& dest) {
  QImage out(s.width(), s.height(), QImage::Format_Grayscale8);
  const bool toMono = dest.PixelFormat() == pf1bit;
  const bool sameTable = source.PixelFormat() == dest.PixelFormat() && source.GetColorTable() == dest.GetColorTable();
  std::vector<int> tableMap;
  if (!sameTable && (source.PixelFormat() == pf8bit || source.PixelFormat() == pf1bit)) {
    const auto table = source.GetColorTable();
    for (const auto& q : table) tableMap.push_back(dest.NearestIndex(RGB(q.rgbRed, q.rgbGreen, q.rgbBlue)));
  }
  std::unordered_map<TColor, int> cache;
  for (int y = 0; y < s.height(); ++y) {
    const uint8_t* row = source.ScanLine(s.top() + y);
    uint8_t* o = out.scanLine(y);
    for (int x = 0; x < s.width(); ++x) {
      const int sx = s.left() + x;
      int index;
      if (source.PixelFormat() == pf8bit) {
        index = sameTable ? row[sx] : tableMap[row[sx]];
      } else if (source.PixelFormat() == pf1bit) {
        const int bit = (row[sx >> 3] >> (7 - (sx & 7))) & 1;
        index = sameTable ? bit : tableMap[bit];
      } else {
        const TColor c = source.PixelColor(sx, s.top() + y);
        auto it = cache.find(c);
        if (it == cache.end()) it = cache.emplace(c, dest.NearestIndex(c)).first;
        index = it->second;
      }
      o[x] = static_cast<uint8_t>(toMono ? (index ? 255 : 0) : index);
    }
  }
  return out;
}

}  // namespace

void TCanvas::CopyFrom(const TRect& dest, const TBitmap& source, const TRect& src, TCopyMode mode) {
  const TRect d = dest.Normalized();
  if (d.IsEmpty()) return;
  const QRect dq = ToQRect(d);
  // Operations that do not read the source.
  std::optional<QPainter::CompositionMode> fillMode;
  bool useBrush = false;
  switch (mode) {
    case cmBlackness: fillMode = QPainter::RasterOp_ClearDestination; break;
    case cmWhiteness: fillMode = QPainter::RasterOp_SetDestination; break;
    case cmDstInvert: fillMode = QPainter::RasterOp_NotDestination; break;
    case cmPatCopy: fillMode = QPainter::CompositionMode_SourceOver; useBrush = true; break;
    case cmPatInvert: fillMode = QPainter::RasterOp_SourceXorDestination; useBrush = true; break;
    default: break;
  }
  if (fillMode) {
    if (useBrush && Brush.Style == bsClear) return;
    {
      Session s(*this);
      if (!s.Active()) return;
      QPainter& p = s.P();
      p.setCompositionMode(*fillMode);
      p.setPen(Qt::NoPen);
      if (useBrush) ApplyBrush(p);
      else p.setBrush(Qt::black);
      p.drawRect(dq);
    }
    Changed(dq);
    return;
  }
  QPainter::CompositionMode op;
  switch (mode) {
    case cmSrcCopy: op = QPainter::CompositionMode_Source; break;
    case cmSrcAnd: op = QPainter::RasterOp_SourceAndDestination; break;
    case cmSrcPaint: op = QPainter::RasterOp_SourceOrDestination; break;
    case cmSrcInvert: op = QPainter::RasterOp_SourceXorDestination; break;
    case cmSrcErase: op = QPainter::RasterOp_SourceAndNotDestination; break;
    case cmNotSrcCopy: op = QPainter::RasterOp_NotSource; break;
    case cmNotSrcErase: op = QPainter::RasterOp_NotSourceAndNotDestination; break;
    case cmMergePaint: op = QPainter::RasterOp_NotSourceOrDestination; break;
    default: throw EInvalidGraphicOperation("Invalid copy mode");
  }
  if (source.Empty()) return;
  const TRect sn = src.Normalized();
  QRect sq = ToQRect(sn);
  if (sq.isEmpty()) return;
  const bool mirrorX = (dest.Width() < 0) != (src.Width() < 0);
  const bool mirrorY = (dest.Height() < 0) != (src.Height() < 0);
  // Only the part of the source inside the bitmap is read; the target shrinks with it.
  const QRect inside = sq.intersected(QRect(0, 0, source.Width(), source.Height()));
  if (inside.isEmpty()) return;
  QRectF target(dq);
  if (inside != sq) {
    const double kx = double(dq.width()) / sq.width(), ky = double(dq.height()) / sq.height();
    const double l = mirrorX ? sq.right() - inside.right() : inside.left() - sq.left();
    const double t = mirrorY ? sq.bottom() - inside.bottom() : inside.top() - sq.top();
    target = QRectF(dq.left() + l * kx, dq.top() + t * ky, inside.width() * kx, inside.height() * ky);
    sq = inside;
  }
  QImage image;
  const bool indexed = bitmap_.PixelFormat() == pf8bit || bitmap_.PixelFormat() == pf1bit;
  if (indexed) {
    image = IndexImage(source, sq, bitmap_);
  } else {
    // A private copy of the rectangle: the source may be this very bitmap.
    image = source.Image().copy(sq);
  }
  if (mirrorX || mirrorY) image = image.mirrored(mirrorX, mirrorY);
  {
    Session s(*this);
    if (!s.Active()) return;
    QPainter& p = s.P();
    p.setCompositionMode(op);
    p.drawImage(target, image, QRectF(0, 0, image.width(), image.height()));
  }
  Changed(target.toAlignedRect());
}

}  // namespace platform
