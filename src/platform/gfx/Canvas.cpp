#include "platform/gfx/Canvas.h"

#include <immintrin.h>

#include <QFont>
#include <QFontMetrics>
#include <QTransform>
#include <QGuiApplication>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <unordered_map>
#include <vector>

#include "common/Round.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/GraphicsError.h"

namespace platform {

namespace {

// Dash and gap lengths of the one-pixel pen styles, in pixels.
QList<qreal> DashPattern(TPenStyle style) {
  switch (style) {
    case psDash:
      return {18, 6};
    case psDot:
      return {3, 3};
    case psDashDot:
      return {9, 6, 3, 6};
    case psDashDotDot:
      return {9, 3, 3, 3, 3, 3};
    default:
      return {};
  }
}

}  // namespace

Qt::BrushStyle QtBrushStyle(TBrushStyle style) {
  switch (style) {
    case bsSolid:
      return Qt::SolidPattern;
    case bsHorizontal:
      return Qt::HorPattern;
    case bsVertical:
      return Qt::VerPattern;
    case bsFDiagonal:
      return Qt::FDiagPattern;
    case bsBDiagonal:
      return Qt::BDiagPattern;
    case bsCross:
      return Qt::CrossPattern;
    case bsDiagCross:
      return Qt::DiagCrossPattern;
    case bsClear:
    default:
      return Qt::NoBrush;
  }
}

QString StandInFontFamily(const std::string& name) {
  static const std::pair<const char*, const char*> kStandIns[] = {
      {"arial", "Liberation Sans"},
      {"tahoma", "DejaVu Sans"},
      {"ms sans serif", "DejaVu Sans"},
      {"microsoft sans serif", "DejaVu Sans"},
      {"segoe ui", "DejaVu Sans"},
      {"verdana", "DejaVu Sans"},
      {"times new roman", "Liberation Serif"},
      {"courier new", "Liberation Mono"},
      {"arial narrow", "Liberation Sans Narrow"},
  };
  const QString requested = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
  for (const auto& [from, to] : kStandIns)
    if (requested.compare(QLatin1String(from), Qt::CaseInsensitive) == 0) return QString::fromLatin1(to);
  return requested;
}

namespace {

void RequireFonts() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    throw EInvalidGraphicOperation("Canvas does not allow drawing");
}

QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }

QRect PointsBounds(std::span<const TPoint> points, int margin) {
  if (points.empty()) return {};
  int64_t l = points[0].X, t = points[0].Y, r = l, b = t;
  for (const auto& p : points) {
    l = std::min<int64_t>(l, p.X);
    t = std::min<int64_t>(t, p.Y);
    r = std::max<int64_t>(r, p.X);
    b = std::max<int64_t>(b, p.Y);
  }
  // Far beyond any bitmap, yet clear of the ends of the int range that QRect's arithmetic
  // would overflow.
  auto kept = [](int64_t v) {
    return static_cast<int>(std::clamp<int64_t>(v, -(int64_t(1) << 30), int64_t(1) << 30));
  };
  return QRect(QPoint(kept(l - margin), kept(t - margin)), QPoint(kept(r + margin), kept(b + margin)));
}

}  // namespace

namespace {

inline uint8_t Rop(TPenMode mode, uint8_t p, uint8_t d) {
  switch (mode) {
    case pmBlack:
      return 0;
    case pmWhite:
      return 0xFF;
    case pmNop:
      return d;
    case pmNot:
      return static_cast<uint8_t>(~d);
    case pmCopy:
      return p;
    case pmNotCopy:
      return static_cast<uint8_t>(~p);
    case pmMergePenNot:
      return static_cast<uint8_t>(p | ~d);
    case pmMaskPenNot:
      return static_cast<uint8_t>(p & ~d);
    case pmMergeNotPen:
      return static_cast<uint8_t>(~p | d);
    case pmMaskNotPen:
      return static_cast<uint8_t>(~p & d);
    case pmMerge:
      return static_cast<uint8_t>(p | d);
    case pmNotMerge:
      return static_cast<uint8_t>(~(p | d));
    case pmMask:
      return static_cast<uint8_t>(p & d);
    case pmNotMask:
      return static_cast<uint8_t>(~(p & d));
    case pmXor:
      return static_cast<uint8_t>(p ^ d);
    case pmNotXor:
      return static_cast<uint8_t>(~(p ^ d));
  }
  return d;
}

// Mask values: what paints a pixel of a figure.
constexpr int kPenInk = 1;
constexpr int kBrushInk = 2;
constexpr QRgb MaskPixel(int ink) { return qRgb(ink, ink, ink); }

}  // namespace

// The Qt font of Font and its metrics (see Fonts()).
struct TCanvas::FontCache {
  std::string name;
  int height;
  TFontStyles style;
  TPixelFormat format;
  uint8_t quality;
  QFont font;
  QFontMetrics metrics;
  // Widths of single characters as measured, for text drawn a character at a time.
  mutable std::unordered_map<char16_t, int> advances;

  int Advance(const QString& text) const {
    if (text.size() != 1 || text[0].isSurrogate()) return metrics.horizontalAdvance(text);
    const auto [it, fresh] = advances.try_emplace(text[0].unicode(), 0);
    if (fresh) it->second = metrics.horizontalAdvance(text);
    return it->second;
  }
};

struct TCanvas::KeptPainter {
  QPainter painter;
  std::optional<QRect> box;                // the clip region is narrowed to it
  std::shared_ptr<const FontCache> font;  // set on the painter
  std::optional<QColor> pen;               // the colour of the pen set on the painter
};

// Applies the pen mode to single pixels with the pen's or the brush's ink, bitwise on the
// bytes the pixels are stored in (indices for indexed bitmaps, a bit for pf1bit). The fourth
// byte of pf32bit pixels is left alone.
class TCanvas::InkWriter {
 public:
  explicit InkWriter(TCanvas& canvas) : bitmap_(canvas.bitmap_), mode_(canvas.Pen.Mode) {
    format_ = bitmap_.PixelFormat();
    bpp_ = format_ == pf24bit ? 3 : 4;
    const TColor colors[3] = {0, canvas.Pen.Color, canvas.Brush.Color};
    for (int v = kPenInk; v <= kBrushInk; ++v) {
      if (format_ == pf8bit || format_ == pf1bit) {
        ink_[v][0] = static_cast<uint8_t>(bitmap_.NearestIndex(colors[v]));
      } else {
        const TColor rgb = ColorToRGB(colors[v]);
        ink_[v][0] = GetBValue(rgb);
        ink_[v][1] = GetGValue(rgb);
        ink_[v][2] = GetRValue(rgb);
      }
    }
  }

  void Put(uint8_t* row, int x, int v) const {
    const uint8_t* ink = ink_[v];
    switch (format_) {
      case pf24bit:
      case pf32bit: {
        uint8_t* px = row + x * bpp_;
        px[0] = Rop(mode_, ink[0], px[0]);
        px[1] = Rop(mode_, ink[1], px[1]);
        px[2] = Rop(mode_, ink[2], px[2]);
        break;
      }
      case pf8bit:
        row[x] = Rop(mode_, ink[0], row[x]);
        break;
      case pf1bit: {
        const int shift = 7 - (x & 7);
        const uint8_t d = (row[x >> 3] >> shift) & 1;
        const uint8_t r = Rop(mode_, ink[0] & 1, d) & 1;
        row[x >> 3] = static_cast<uint8_t>((row[x >> 3] & ~(1 << shift)) | (r << shift));
        break;
      }
      default:
        break;
    }
  }

  // Put for `count` pixels from x on.
  void PutRun(uint8_t* row, int x, int count, int v) const {
    const uint8_t* ink = ink_[v];
    if (mode_ == pmCopy && (format_ == pf24bit || format_ == pf32bit)) {
      for (uint8_t *px = row + x * bpp_, *end = px + count * bpp_; px != end; px += bpp_) {
        px[0] = ink[0];
        px[1] = ink[1];
        px[2] = ink[2];
      }
    } else if (mode_ == pmCopy && format_ == pf8bit) {
      std::memset(row + x, ink[0], static_cast<size_t>(count));
    } else {
      for (int k = 0; k < count; ++k) Put(row, x + k, v);
    }
  }

  TBitmap& Bitmap() { return bitmap_; }

 private:
  TBitmap& bitmap_;
  TPenMode mode_;
  TPixelFormat format_;
  int bpp_;
  uint8_t ink_[3][3] = {};
};

// One drawing call, over the part of the bitmap it may change (`bounds`).
//
// Copy-mode drawing on pf32bit paints straight into the bitmap. Everything else paints a
// 32-bit mask of `bounds` - the pen's pixels 1, the brush's 2, the pen over the brush -
// which is then applied to the bitmap with the pen mode, pixel by pixel (InkWriter). So
// each pixel of a figure is touched once, XOR or NOT drawn twice gives back every byte,
// indexed bitmaps get table indices, and Qt paints only on the format it draws fastest.
// Lines one pixel wide are rasterised here (ThinLines), straight into the bitmap or into the
// mask.
//
// Text and FillRect paint straight into the bitmap through the canvas's kept painter (Keep),
// which stays open after the call; such a session tracks the clip, font and pen it leaves on
// that painter (ClipTo, UseFont, UsePen), so that the next call changes only what differs.
class TCanvas::Session {
 public:
  // Without a painter: only ThinLines, straight into the bitmap.
  struct PixelsOnly {};
  Session(TCanvas& canvas, QRect bounds, PixelsOnly) : canvas_(canvas) {
    Limit(bounds);
    active_ = !bounds_.isEmpty();
    pixelsOnly_ = true;
  }

  Session(TCanvas& canvas, QRect bounds, bool direct) : canvas_(canvas) {
    Limit(bounds);
    if (bounds_.isEmpty()) return;
    useMask_ = !direct;
    Open();
  }

  // Straight into the bitmap through the kept painter (pf1bit, unpacked for each call, opens
  // one of its own).
  struct Keep {};
  Session(TCanvas& canvas, QRect bounds, Keep) : canvas_(canvas) {
    Limit(bounds);
    if (bounds_.isEmpty()) return;
    if (canvas.bitmap_.PixelFormat() == pf1bit) {
      Open();
      return;
    }
    kept_ = canvas.Kept();
    if (!kept_) return;
    painter_ = &kept_->painter;
    active_ = true;
  }

  ~Session() {
    if (active_ && !pixelsOnly_ && !kept_) painter_->end();
    if (active_ && useMask_) ApplyMask();
    if (begun_) canvas_.bitmap_.EndPaint(bounds_);
    if (active_) canvas_.Changed(bounds_);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  bool Active() const { return active_; }
  QPainter& P() { return *painter_; }

  // Clips what follows to the clip region and `box` (none: the clip region alone).
  void ClipTo(const std::optional<QRect>& box) {
    if (!kept_) {
      if (box) painter_->setClipRect(*box, Qt::IntersectClip);
      return;
    }
    if (kept_->box == box) return;
    kept_->box = box;
    if (canvas_.clip_) {
      painter_->setClipRegion(*canvas_.clip_);
      if (box) painter_->setClipRect(*box, Qt::IntersectClip);
    } else if (box) {
      painter_->setClipRect(*box);
    } else {
      painter_->setClipping(false);
    }
  }
  // The canvas's font as Fonts() last made it.
  void UseFont() {
    if (kept_) {
      if (kept_->font == canvas_.fontCache_) return;
      kept_->font = canvas_.fontCache_;
    }
    painter_->setFont(canvas_.fontCache_->font);
  }
  void UsePen(const QColor& color) {
    if (kept_) {
      if (kept_->pen == color) return;
      kept_->pen = color;
    }
    painter_->setPen(color);
  }
  void NoPen() {
    if (kept_) kept_->pen.reset();
    painter_->setPen(Qt::NoPen);
  }
  QColor PenInk() const {
    return useMask_ ? QColor(MaskPixel(kPenInk)) : canvas_.MapColor(canvas_.Pen.Color);
  }
  QColor BrushInk() const {
    return useMask_ ? QColor(MaskPixel(kBrushInk)) : canvas_.MapColor(canvas_.Brush.Color);
  }

  // Lines one pixel wide with the pen's style through the points (closed: back to the
  // first), each without its end point; with a solid brush the gaps of a styled pen take
  // the brush's ink. Each pixel is written once.
  void ThinLines(const QPolygon& points, bool closed) {
    if (!active_ || points.size() < 2) return;
    if (!pixelsOnly_) own_.end();  // the mask or bitmap is written here directly; reopened below
    const QRect box = bounds_;
    const QRegion* region = canvas_.clip_ && canvas_.clip_->rectCount() > 1 ? &*canvas_.clip_ : nullptr;
    InkWriter writer(canvas_);
    const QList<qreal> pattern = DashPattern(canvas_.Pen.Style);
    const int gapInk = canvas_.Brush.Style == bsSolid ? kBrushInk : 0;
    int element = 0, left = pattern.isEmpty() ? 0 : static_cast<int>(pattern[0]);
    int64_t period = 0;
    for (qreal e : pattern) period += static_cast<int64_t>(e);
    // The pattern's state after `count` more pixels.
    auto advance = [&](int64_t count) {
      if (period <= 0) return;
      for (int64_t k = count % period; k > 0; --k)
        if (--left == 0) {
          element = (element + 1) % static_cast<int>(pattern.size());
          left = static_cast<int>(pattern[element]);
        }
    };
    auto put = [&](int64_t x, int64_t y) {
      int ink = kPenInk;
      if (!pattern.isEmpty()) {
        ink = (element % 2 == 0) ? kPenInk : gapInk;
        advance(1);
      }
      if (ink == 0 || !box.contains(int(x), int(y)) || (region && !region->contains(QPoint(int(x), int(y)))))
        return;
      if (useMask_) {
        reinterpret_cast<QRgb*>(mask_.scanLine(int(y) - box.top()))[x - box.left()] = MaskPixel(ink);
      } else {
        writer.Put(canvas_.bitmap_.ScanLine(int(y)), int(x), ink);
      }
    };
    const qsizetype n = points.size();
    for (qsizetype i = 0; i + 1 < n + (closed ? 1 : 0); ++i) {
      const QPoint a = points[i], b = points[(i + 1) % n];
      // Bresenham along the major axis, without the end point. Only the steps whose major
      // coordinate lies on the box are walked: the minor coordinate and the error of the first
      // of them are computed directly, and the dash pattern skips ahead, so a line far longer
      // than the bitmap costs no more than the bitmap.
      const bool xMajor = std::abs(int64_t(b.x()) - a.x()) >= std::abs(int64_t(b.y()) - a.y());
      const int64_t major0 = xMajor ? a.x() : a.y(), minor0 = xMajor ? a.y() : a.x();
      const int64_t major1 = xMajor ? b.x() : b.y(), minor1 = xMajor ? b.y() : b.x();
      const int64_t dMajor = std::abs(major1 - major0), dMinor = std::abs(minor1 - minor0);
      const int64_t sMajor = major1 > major0 ? 1 : -1, sMinor = minor1 > minor0 ? 1 : -1;
      const int64_t lo = xMajor ? box.left() : box.top(), hi = xMajor ? box.right() : box.bottom();
      const int64_t from = std::clamp<int64_t>(sMajor > 0 ? lo - major0 : major0 - hi, 0, dMajor);
      const int64_t to = std::clamp<int64_t>(sMajor > 0 ? hi - major0 + 1 : major0 - lo + 1, from, dMajor);
      advance(from);
      // After k steps the error is dMajor / 2 - k dMinor + m dMajor, kept in 0 .. dMajor - 1 by
      // the m minor steps taken.
      // (The products pass 64 bits for lines across the whole plane.)
      __extension__ using Wide = __int128;
      const Wide owed = Wide(from) * dMinor - dMajor / 2;
      const int64_t m = owed <= 0 ? 0 : static_cast<int64_t>((owed + dMajor - 1) / dMajor);
      int64_t err = static_cast<int64_t>(dMajor / 2 - Wide(from) * dMinor + Wide(m) * dMajor);
      int64_t major = major0 + sMajor * from, minor = minor0 + sMinor * m;
      for (int64_t k = from; k < to; ++k) {
        if (xMajor)
          put(major, minor);
        else
          put(minor, major);
        major += sMajor;
        err -= dMinor;
        if (err < 0) {
          minor += sMinor;
          err += dMajor;
        }
      }
      advance(dMajor - to);
    }
    if (!pixelsOnly_) Reopen();
  }

 private:
  void Limit(QRect bounds) {
    const TBitmap& bitmap = canvas_.bitmap_;
    bounds_ = bounds.intersected(QRect(0, 0, bitmap.Width(), bitmap.Height()));
    if (canvas_.clip_) bounds_ = bounds_.intersected(canvas_.clip_->boundingRect());
  }

  void Open() {
    TBitmap& bitmap = canvas_.bitmap_;
    if (useMask_) {
      mask_ = QImage(bounds_.size(), QImage::Format_RGB32);
      mask_.fill(0);
      if (!own_.begin(&mask_)) return;
      own_.translate(-bounds_.topLeft());
    } else {
      QImage* target = bitmap.BeginPaint(bounds_);
      if (!target) return;
      begun_ = true;
      if (!own_.begin(target)) return;
    }
    active_ = true;
    own_.setRenderHint(QPainter::Antialiasing, false);
    own_.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (canvas_.clip_) own_.setClipRegion(*canvas_.clip_);
    // pf1bit pixels outside `bounds` are not unpacked for painting: keep the painter off them.
    if (begun_ && bitmap.PixelFormat() == pf1bit) own_.setClipRect(bounds_, Qt::IntersectClip);
  }

  void Reopen() {
    QImage* target = useMask_ ? &mask_ : canvas_.bitmap_.BeginPaint(bounds_);
    if (!target || !own_.begin(target)) {
      active_ = false;
      return;
    }
    if (useMask_) own_.translate(-bounds_.topLeft());
    own_.setRenderHint(QPainter::Antialiasing, false);
    if (canvas_.clip_) own_.setClipRegion(*canvas_.clip_);
    if (begun_ && canvas_.bitmap_.PixelFormat() == pf1bit) own_.setClipRect(bounds_, Qt::IntersectClip);
  }

  void ApplyMask() {
    InkWriter writer(canvas_);
    const int width = bounds_.width();
    for (int y = bounds_.top(); y <= bounds_.bottom(); ++y) {
      const QRgb* m = reinterpret_cast<const QRgb*>(mask_.constScanLine(y - bounds_.top()));
      uint8_t* row = canvas_.bitmap_.ScanLine(y);
      // Runs of one mask value: empty ones skipped, filled ones written in one go.
      for (int i = 0; i < width;) {
        const QRgb value = m[i];
        int end = i + 1;
        while (end < width && m[end] == value) ++end;
        const int v = qBlue(value);
        if (v == kPenInk || v == kBrushInk) writer.PutRun(row, bounds_.left() + i, end - i, v);
        i = end;
      }
    }
  }

  TCanvas& canvas_;
  QRect bounds_;
  bool useMask_ = false;
  bool pixelsOnly_ = false;
  QImage mask_;
  QPainter own_;
  QPainter* painter_ = &own_;
  KeptPainter* kept_ = nullptr;
  bool begun_ = false;
  bool active_ = false;
};

int TFont::Size() const { return -common::MulDiv(height_, 72, 96); }
void TFont::SetSize(int points) { height_ = -common::MulDiv(points, 96, 72); }


TCanvas::TCanvas(TBitmap& bitmap) : bitmap_(bitmap) {}

TCanvas::~TCanvas() { EndKept(); }

TCanvas::KeptPainter* TCanvas::Kept() {
  if (kept_ && kept_->painter.isActive()) return kept_.get();
  QImage* target = bitmap_.BeginPaint(QRect(0, 0, bitmap_.Width(), bitmap_.Height()));
  if (!target) return nullptr;
  if (!kept_) kept_ = std::make_unique<KeptPainter>();
  QPainter& p = kept_->painter;
  if (!p.begin(target)) return nullptr;
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setRenderHint(QPainter::SmoothPixmapTransform, false);
  if (clip_) p.setClipRegion(*clip_);
  kept_->box.reset();
  kept_->font.reset();
  kept_->pen.reset();
  bitmap_.keeper_.store(this);
  return kept_.get();
}

void TCanvas::EndKept() {
  // The bitmap is only touched while the painter is open: a bitmap that goes first ends it.
  if (!kept_ || !kept_->painter.isActive()) return;
  TCanvas* self = this;
  bitmap_.keeper_.compare_exchange_strong(self, nullptr);
  kept_->painter.end();
  kept_->font.reset();
}

QColor TCanvas::MapColor(TColor color) const {
  switch (bitmap_.PixelFormat()) {
    case pf8bit: {
      const int i = bitmap_.NearestIndex(color);
      return QColor(i, i, i);
    }
    case pf1bit:
      return bitmap_.NearestIndex(color) ? QColor(255, 255, 255) : QColor(0, 0, 0);
    default:
      return ToQColor(color);
  }
}

bool TCanvas::DirectPaint() const { return Pen.Mode == pmCopy && bitmap_.PixelFormat() == pf32bit; }

bool TCanvas::ApplyWidePen(Session& s) const {
  QPen pen(s.PenInk());
  pen.setWidth(std::max(2, Pen.Width));
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  s.P().setPen(pen);
  return true;
}

void TCanvas::ApplyBrush(Session& s) const {
  const Qt::BrushStyle style = QtBrushStyle(Brush.Style);
  s.P().setBrush(style == Qt::NoBrush ? QBrush() : QBrush(s.BrushInk(), style));
}

void TCanvas::Changed(QRect bounds) {
  bounds = bounds.intersected(QRect(0, 0, bitmap_.Width(), bitmap_.Height()));
  if (clip_) bounds = bounds.intersected(clip_->boundingRect());
  if (bounds.isEmpty() || !OnChange) return;
  OnChange(TRect{bounds.left(), bounds.top(), bounds.right() + 1, bounds.bottom() + 1});
}

void TCanvas::NotifyChanged(const TRect& rect) {
  const TRect r = rect.Normalized();
  Changed(QRect(r.Left, r.Top, r.Width(), r.Height()));
}

void TCanvas::StrokeLines(const QPolygon& points, bool closed, QRect bounds) {
  if (points.size() < 2 || Pen.Style == psClear || Pen.Mode == pmNop) return;
  if (std::max(1, Pen.Width) == 1) {
    // Straight into the bitmap, pixel by pixel: no mask, whatever the mode.
    Session s(*this, bounds, Session::PixelsOnly{});
    s.ThinLines(points, closed);
    return;
  }
  Session s(*this, bounds, DirectPaint());
  if (!s.Active()) return;
  ApplyWidePen(s);
  s.P().setBrush(Qt::NoBrush);
  if (closed)
    s.P().drawPolygon(points);
  else
    s.P().drawPolyline(points);
}

void TCanvas::LineTo(int x, int y) {
  const TPoint from = penPos_;
  penPos_ = {x, y};
  if (from == penPos_) return;
  const TPoint ends[] = {from, penPos_};
  StrokeLines(QPolygon({QPoint(from.X, from.Y), QPoint(x, y)}), false,
              PointsBounds(ends, std::max(1, Pen.Width) + 1));
}

void TCanvas::Polyline(std::span<const TPoint> points) {
  QPolygon polygon;
  for (const auto& pt : points) polygon << QPoint(pt.X, pt.Y);
  StrokeLines(polygon, false, PointsBounds(points, std::max(1, Pen.Width) + 1));
}

// Fills `fill` with the brush, then draws the outline with the pen over it: `thin` (the
// corner points, for a one-pixel pen) or `wide` (a Qt stroke).
void TCanvas::FillAndStroke(const QPainterPath& fill, const QPolygon& thin,
                            const std::function<void(QPainter&)>& wide, QRect bounds) {
  if (Pen.Mode == pmNop) return;
  Session s(*this, bounds, DirectPaint());
  if (!s.Active()) return;
  QPainter& p = s.P();
  if (Brush.Style != bsClear && !fill.isEmpty()) {
    p.setPen(Qt::NoPen);
    ApplyBrush(s);
    p.drawPath(fill);
  }
  if (Pen.Style == psClear) return;
  if (std::max(1, Pen.Width) == 1 && !thin.isEmpty()) {
    s.ThinLines(thin, true);
  } else {
    ApplyWidePen(s);
    p.setBrush(Qt::NoBrush);
    wide(p);
  }
}

void TCanvas::Polygon(std::span<const TPoint> points) {
  if (points.size() < 2) return;
  QPolygon polygon;
  for (const auto& pt : points) polygon << QPoint(pt.X, pt.Y);
  QPainterPath fill;
  fill.setFillRule(Qt::OddEvenFill);
  fill.addPolygon(QPolygonF(polygon));
  fill.closeSubpath();
  FillAndStroke(
      fill, polygon, [&](QPainter& q) { q.drawPolygon(polygon); },
      PointsBounds(points, std::max(1, Pen.Width) + 1));
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  const TRect r = TRect{x1, y1, x2, y2}.Normalized();
  const int w = r.Width(), h = r.Height();
  if (w == 0 || h == 0) return;
  const int penWidth = std::max(1, Pen.Width);
  const bool hasPen = Pen.Style != psClear;
  // The fill covers the rectangle (the outline goes over its edge); without a pen one pixel
  // less each way.
  QPainterPath fill;
  fill.addRect(hasPen ? QRectF(ToQRect(r)) : QRectF(r.Left, r.Top, w - 1, h - 1));
  QPolygon thin;
  if (w == 1 || h == 1) {
    // One pixel thin: a single run of pixels, end point included.
    thin << QPoint(r.Left, r.Top) << QPoint(r.Right - 1 + (w > 1), r.Bottom - 1 + (h > 1));
  } else {
    thin << QPoint(r.Left, r.Top) << QPoint(r.Right - 1, r.Top) << QPoint(r.Right - 1, r.Bottom - 1)
         << QPoint(r.Left, r.Bottom - 1);
  }
  const QRectF centre(r.Left + 0.5, r.Top + 0.5, w - 1, h - 1);
  FillAndStroke(
      fill, thin, [&](QPainter& q) { q.drawRect(centre); },
      ToQRect(r).adjusted(-penWidth, -penWidth, penWidth, penWidth));
}

void TCanvas::FillRect(const TRect& r) {
  if (r.IsEmpty() || Brush.Style == bsClear) return;
  Session s(*this, ToQRect(r), Session::Keep{});
  if (!s.Active()) return;
  s.ClipTo(std::nullopt);
  s.NoPen();
  ApplyBrush(s);
  s.P().drawRect(ToQRect(r));
}

void TCanvas::FrameRect(const TRect& r) {
  if (r.IsEmpty() || Brush.Style == bsClear) return;
  Session s(*this, ToQRect(r), true);
  if (!s.Active()) return;
  QPainter& p = s.P();
  p.setPen(Qt::NoPen);
  ApplyBrush(s);
  const int w = r.Width(), h = r.Height();
  p.drawRect(QRect(r.Left, r.Top, w, 1));
  if (h > 1) p.drawRect(QRect(r.Left, r.Bottom - 1, w, 1));
  if (h > 2) {
    p.drawRect(QRect(r.Left, r.Top + 1, 1, h - 2));
    if (w > 1) p.drawRect(QRect(r.Right - 1, r.Top + 1, 1, h - 2));
  }
}

namespace {

// The points of a curve, flattened, as a closed or open polygon of whole pixels.
QPolygon PixelPolygon(const QPainterPath& path) {
  QPolygon out;
  for (const QPolygonF& poly : path.toSubpathPolygons()) {
    for (const QPointF& p : poly) {
      const QPoint q(static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y())));
      if (out.isEmpty() || out.back() != q) out << q;
    }
  }
  return out;
}

}  // namespace

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
  QPainterPath outline;
  outline.addEllipse(centre);
  QPolygon thin = PixelPolygon(outline);
  if (thin.size() > 1 && thin.front() == thin.back()) thin.removeLast();
  const int penWidth = std::max(1, Pen.Width);
  FillAndStroke(
      fill, thin, [&](QPainter& q) { q.drawEllipse(centre); },
      ToQRect(r).adjusted(-penWidth, -penWidth, penWidth, penWidth));
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int x3, int y3) {
  const TRect r = TRect{x1, y1, x2, y2}.Normalized();
  const int w = r.Width(), h = r.Height();
  if (w == 0 || h == 0) return;
  const bool hasPen = Pen.Style != psClear;
  // Corner ellipses of x3 by y3 (at most the rectangle), the outline through the centres of
  // the edge pixels as for Ellipse.
  const double cw = std::clamp(x3, 0, w) / 2.0, ch = std::clamp(y3, 0, h) / 2.0;
  const QRectF centre(r.Left + 0.5, r.Top + 0.5, w - 1, h - 1);
  QPainterPath fill;
  fill.addRoundedRect(hasPen ? QRectF(r.Left, r.Top, w, h) : QRectF(r.Left, r.Top, w - 1, h - 1), cw, ch);
  QPainterPath outline;
  outline.addRoundedRect(centre, cw, ch);
  QPolygon thin = PixelPolygon(outline);
  if (thin.size() > 1 && thin.front() == thin.back()) thin.removeLast();
  const int penWidth = std::max(1, Pen.Width);
  FillAndStroke(
      fill, thin, [&](QPainter& q) { q.drawRoundedRect(centre, cw, ch); },
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
  const int penWidth = std::max(1, Pen.Width);
  const QRect bounds = ToQRect(r).adjusted(-penWidth, -penWidth, penWidth, penWidth);
  if (penWidth == 1) {
    StrokeLines(PixelPolygon(path), false, bounds);
    return;
  }
  Session s(*this, bounds, DirectPaint());
  if (!s.Active()) return;
  ApplyWidePen(s);
  s.P().setBrush(Qt::NoBrush);
  s.P().drawPath(path);
}

QFont QtFontOf(const TFont& f, bool smooth) {
  QFont font(StandInFontFamily(f.Name));
  const int height = f.Height();
  int pixels = height == 0 ? 11 : std::abs(height);
  font.setPixelSize(std::max(1, pixels));
  if (height > 0) {
    // A positive height is the whole cell: scale the character size to fit it.
    const int cell = QFontMetrics(font).height();
    if (cell > 0) font.setPixelSize(std::max(1, common::MulDiv(pixels, pixels, cell)));
  }
  font.setBold(f.Style.Bold);
  font.setItalic(f.Style.Italic);
  font.setUnderline(f.Style.Underline);
  font.setStrikeOut(f.Style.StrikeOut);
  // Quality 3 (non-antialiased) asks for aliased glyphs.
  font.setStyleStrategy(smooth && f.Quality != 3
                            ? QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias)
                            : QFont::NoAntialias);
  return font;
}

QFont TCanvas::MakeFont() const {
  // Smooth edges on colour bitmaps only: on indexed ones text sets whole table entries, as
  // the window system draws it there.
  return QtFontOf(Font, bitmap_.PixelFormat() == pf24bit || bitmap_.PixelFormat() == pf32bit);
}


const TCanvas::FontCache& TCanvas::Fonts() const {
  const TFontStyles& s = Font.Style;
  auto current = [&](const std::shared_ptr<FontCache>& c) {
    return c->name == Font.Name && c->height == Font.Height() && c->format == bitmap_.PixelFormat() &&
           c->quality == Font.Quality && c->style.Bold == s.Bold && c->style.Italic == s.Italic &&
           c->style.Underline == s.Underline && c->style.StrikeOut == s.StrikeOut;
  };
  if (fontCache_ && current(fontCache_)) return *fontCache_;
  // Text in a few formats goes back and forth between a few fonts: the last ones used are kept,
  // the most recent first.
  constexpr size_t kRecentFonts = 8;
  auto found = std::find_if(recentFonts_.begin(), recentFonts_.end(), current);
  if (found != recentFonts_.end()) {
    fontCache_ = *found;
    std::rotate(recentFonts_.begin(), found, found + 1);
    return *fontCache_;
  }
  RequireFonts();
  const QFont font = MakeFont();
  fontCache_ = std::make_shared<FontCache>(FontCache{Font.Name, Font.Height(), Font.Style, bitmap_.PixelFormat(),
                                                     Font.Quality, font, QFontMetrics(font), {}});
  recentFonts_.insert(recentFonts_.begin(), fontCache_);
  if (recentFonts_.size() > kRecentFonts) recentFonts_.pop_back();
  return *fontCache_;
}

TSize TCanvas::TextExtent(std::string_view text) {
  const FontCache& fonts = Fonts();
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  return {fonts.Advance(s), fonts.metrics.height()};
}

namespace {

// The top-left corner of the text's cell for the reference point (x, y) under `align`.
QPoint TextCellOrigin(int x, int y, uint32_t align, const QFontMetrics& metrics, int width) {
  if ((align & TA_CENTER) == TA_CENTER)
    x -= width / 2;
  else if (align & TA_RIGHT)
    x -= width;
  if ((align & TA_BASELINE) == TA_BASELINE)
    y -= metrics.ascent();
  else if (align & TA_BOTTOM)
    y -= metrics.height();
  return {x, y};
}

}  // namespace

struct TCanvas::TextCell {
  QString text;
  QRect cell;  // the text's cell as TextAlign places it
  int ascent;
};

TCanvas::TextCell TCanvas::PlaceText(int x, int y, std::string_view text) const {
  const FontCache& fonts = Fonts();
  TextCell t{QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), {}, 0};
  const QFontMetrics& metrics = fonts.metrics;
  const int width = fonts.Advance(t.text);
  t.cell = QRect(TextCellOrigin(x, y, textAlign_, metrics, width), QSize(width, metrics.height()));
  t.ascent = metrics.ascent();
  return t;
}

void TCanvas::TextOut(int x, int y, std::string_view text) {
  const TextCell t = PlaceText(x, y, text);
  penPos_ = {x + t.cell.width(), y};
  // Italic and overhanging glyphs may reach a little beyond the advance.
  const int slack = t.cell.height() / 2 + 2;
  QTransform turn;
  if (Font.Escapement != 0) turn.translate(x, y).rotate(-Font.Escapement / 10.0).translate(-x, -y);
  // Turned text paints with a painter of its own, so that the kept one never carries a turn.
  const QRect bounds = turn.mapRect(t.cell.adjusted(-slack, -1, slack, 1));
  std::optional<Session> turned, kept;
  Session& session = Font.Escapement != 0 ? turned.emplace(*this, bounds, true)
                                          : kept.emplace(*this, bounds, Session::Keep{});
  if (!session.Active()) return;
  QPainter& p = session.P();
  session.ClipTo(std::nullopt);
  if (Font.Escapement != 0) p.setTransform(turn, true);
  if (Brush.Style == bsSolid && !t.cell.isEmpty()) p.fillRect(t.cell, MapColor(Brush.Color));
  session.UseFont();
  session.UsePen(MapColor(Font.Color));
  p.drawText(QPoint(t.cell.left(), t.cell.top() + t.ascent), t.text);
}

void TCanvas::TextRect(const TRect& rect, int x, int y, std::string_view text, uint32_t options) {
  const TextCell t = PlaceText(x, y, text);
  const QRect box = ToQRect(rect.Normalized());
  const int slack = t.cell.height();
  QRect bounds = t.cell.adjusted(-slack, -1, slack, 1);
  if (options & ETO_CLIPPED) bounds &= box;
  if (options & ETO_OPAQUE) bounds |= box;
  QTransform turn;
  if (Font.Escapement != 0) {
    // Turned text is clipped by the box as it stands; the glyphs turn about (x, y).
    turn.translate(x, y).rotate(-Font.Escapement / 10.0).translate(-x, -y);
    bounds = turn.mapRect(t.cell.adjusted(-slack, -1, slack, 1));
    if (options & ETO_CLIPPED) bounds &= box;
    if (options & ETO_OPAQUE) bounds |= box;
  }
  std::optional<Session> turned, kept;
  Session& session = Font.Escapement != 0 ? turned.emplace(*this, bounds, true)
                                          : kept.emplace(*this, bounds, Session::Keep{});
  if (!session.Active()) return;
  QPainter& p = session.P();
  if (options & ETO_OPAQUE) {
    session.ClipTo(std::nullopt);
    p.fillRect(box, MapColor(Brush.Color));
  }
  session.ClipTo(options & ETO_CLIPPED ? std::optional<QRect>(box) : std::nullopt);
  if (Font.Escapement != 0) p.setTransform(turn, true);
  session.UseFont();
  session.UsePen(MapColor(Font.Color));
  p.drawText(QPoint(t.cell.left(), t.cell.top() + t.ascent), t.text);
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
  EndKept();
  if (region)
    clip_ = region->Region();
  else
    clip_.reset();
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
  const bool sameTable =
      source.PixelFormat() == dest.PixelFormat() && source.GetColorTable() == dest.GetColorTable();
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
    case cmBlackness:
      fillMode = QPainter::RasterOp_ClearDestination;
      break;
    case cmWhiteness:
      fillMode = QPainter::RasterOp_SetDestination;
      break;
    case cmDstInvert:
      fillMode = QPainter::RasterOp_NotDestination;
      break;
    case cmPatCopy:
      fillMode = QPainter::CompositionMode_SourceOver;
      useBrush = true;
      break;
    case cmPatInvert:
      fillMode = QPainter::RasterOp_SourceXorDestination;
      useBrush = true;
      break;
    default:
      break;
  }
  if (fillMode) {
    if (useBrush && Brush.Style == bsClear) return;
    Session s(*this, dq, true);
    if (!s.Active()) return;
    QPainter& p = s.P();
    p.setCompositionMode(*fillMode);
    p.setPen(Qt::NoPen);
    if (useBrush)
      ApplyBrush(s);
    else
      p.setBrush(Qt::black);
    p.drawRect(dq);
    return;
  }
  QPainter::CompositionMode op;
  switch (mode) {
    case cmSrcCopy:
      op = QPainter::CompositionMode_Source;
      break;
    case cmSrcAnd:
      op = QPainter::RasterOp_SourceAndDestination;
      break;
    case cmSrcPaint:
      op = QPainter::RasterOp_SourceOrDestination;
      break;
    case cmSrcInvert:
      op = QPainter::RasterOp_SourceXorDestination;
      break;
    case cmSrcErase:
      op = QPainter::RasterOp_SourceAndNotDestination;
      break;
    case cmNotSrcCopy:
      op = QPainter::RasterOp_NotSource;
      break;
    case cmNotSrcErase:
      op = QPainter::RasterOp_NotSourceAndNotDestination;
      break;
    case cmMergePaint:
      op = QPainter::RasterOp_NotSourceOrDestination;
      break;
    default:
      throw EInvalidGraphicOperation("Invalid copy mode");
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
  const bool indexed = bitmap_.PixelFormat() == pf8bit || bitmap_.PixelFormat() == pf1bit;
  if (op == QPainter::CompositionMode_Source && !indexed && !mirrorX && !mirrorY &&
      target == QRectF(target.toRect()) && target.toRect().size() == sq.size() &&
      CopyRows(target.toRect(), source, sq.topLeft()))
    return;
  QImage image;
  if (indexed) {
    image = IndexImage(source, sq, bitmap_);
  } else {
    // A private copy of the rectangle: the source may be this very bitmap.
    image = source.Image().copy(sq);
  }
  if (mirrorX || mirrorY) image = image.mirrored(mirrorX, mirrorY);
  Session s(*this, target.toAlignedRect(), true);
  if (!s.Active()) return;
  QPainter& p = s.P();
  p.setCompositionMode(op);
  if (StretchMode == smHalftone && !indexed) p.setRenderHint(QPainter::SmoothPixmapTransform, true);
  p.drawImage(target, image, QRectF(0, 0, image.width(), image.height()));
}

namespace {

// 24-bit pixels to opaque 32-bit ones, four at a time by a byte shuffle, as far as whole blocks
// of sixteen source bytes lie inside the row; returns how many pixels it wrote.
__attribute__((target("ssse3"))) int WidenPixelsShuffle(uint8_t* to, const uint8_t* from, int width) {
  const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i opaque = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
  int x = 0;
  // Pixels x .. x + 3 read the bytes 3x .. 3x + 15, which stay inside a row of `width` pixels
  // while x + 6 <= width.
  for (; x + 6 <= width; x += 4) {
    const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 3 * static_cast<size_t>(x)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 4 * static_cast<size_t>(x)),
                     _mm_or_si128(_mm_shuffle_epi8(px, spread), opaque));
  }
  return x;
}

int WidenPixels(uint8_t* to, const uint8_t* from, int width) {
  static const bool shuffle = __builtin_cpu_supports("ssse3");
  return shuffle ? WidenPixelsShuffle(to, from, width) : 0;
}

}  // namespace

// A one-to-one copy between bitmaps of the same 24- or 32-bit format, row by row through the
// clip region's rectangles. From this bitmap onto itself without a clip the rows are moved in
// the order that reads each one before it is overwritten; with a clip the source is taken
// whole first. False when the formats do not allow it.
bool TCanvas::CopyRows(const QRect& dest, const TBitmap& source, QPoint from) {
  const TPixelFormat format = bitmap_.PixelFormat();
  // 24-bit pixels onto 32-bit ones take an opaque fourth byte, as the painter writes them.
  const bool widen = format == pf32bit && source.PixelFormat() == pf24bit;
  if (!widen && (format != source.PixelFormat() || (format != pf24bit && format != pf32bit))) return false;
  const int bpp = format == pf24bit ? 3 : 4, srcBpp = widen ? 3 : bpp;
  const QRect area = dest.intersected(QRect(0, 0, bitmap_.Width(), bitmap_.Height()));
  QRegion parts(area);
  if (clip_) parts = parts.intersected(*clip_);
  if (parts.isEmpty()) return true;
  const QPoint shift = from - dest.topLeft();
  const uint8_t* src = source.Bits();
  size_t srcStride = static_cast<size_t>(source.BytesPerLine());
  QPoint origin(0, 0);  // the pixel at the start of `src`, in source coordinates
  std::vector<uint8_t> staged;
  if (&source == &bitmap_ && parts.rectCount() > 1) {
    // Rectangles of a clip may overlap each other's sources: read the whole area first.
    const QRect box = parts.boundingRect().translated(shift);
    srcStride = static_cast<size_t>(box.width()) * bpp;
    staged.resize(srcStride * box.height());
    for (int y = 0; y < box.height(); ++y)
      std::memcpy(staged.data() + y * srcStride,
                  src + static_cast<size_t>(box.top() + y) * source.BytesPerLine() +
                      static_cast<size_t>(box.left()) * bpp,
                  srcStride);
    src = staged.data();
    origin = box.topLeft();
  }
  uint8_t* dst = bitmap_.Bits();
  const size_t dstStride = static_cast<size_t>(bitmap_.BytesPerLine());
  // From this bitmap onto itself with the source above the destination: last row first.
  const bool upward = staged.empty() && &source == &bitmap_ && shift.y() < 0;
  for (const QRect& r : parts) {
    const size_t bytes = static_cast<size_t>(r.width()) * bpp;
    for (int k = 0; k < r.height(); ++k) {
      const int y = upward ? r.bottom() - k : r.top() + k;
      uint8_t* to = dst + y * dstStride + static_cast<size_t>(r.left()) * bpp;
      const uint8_t* from = src + static_cast<size_t>(y + shift.y() - origin.y()) * srcStride +
                            static_cast<size_t>(r.left() + shift.x() - origin.x()) * srcBpp;
      if (!widen) {
        std::memmove(to, from, bytes);
        continue;
      }
      // Four bytes read per pixel (the next pixel's first among them), but not past the row's end.
      int x = WidenPixels(to, from, r.width());
      to += 4 * static_cast<size_t>(x);
      from += 3 * static_cast<size_t>(x);
      for (; x + 1 < r.width(); ++x, to += 4, from += 3) {
        uint32_t v;
        std::memcpy(&v, from, 4);
        v |= 0xFF000000u;
        std::memcpy(to, &v, 4);
      }
      if (x < r.width()) {
        to[0] = from[0];
        to[1] = from[1];
        to[2] = from[2];
        to[3] = 0xFF;
      }
    }
  }
  Changed(area);
  return true;
}

}  // namespace platform

namespace platform {

void EdgeLines(const TRect& rect, uint32_t edge, uint32_t flags,
               const std::function<void(const TRect& line, TColor color)>& line) {
  TRect r = rect;
  // Outer border first, then the inner one a pixel further in.
  for (int ring = 0; ring < 2; ++ring) {
    const uint32_t raised = ring == 0 ? BDR_RAISEDOUTER : BDR_RAISEDINNER;
    const uint32_t sunken = ring == 0 ? BDR_SUNKENOUTER : BDR_SUNKENINNER;
    if ((edge & (raised | sunken)) == 0 || r.IsEmpty()) continue;
    TColor dark = ring == 0 ? clBtnShadow : cl3DDkShadow, light = ring == 0 ? clBtnHighlight : cl3DLight;
    if (ring == 0 && (edge & raised)) dark = cl3DDkShadow, light = cl3DLight;
    if (ring == 1 && (edge & raised)) dark = clBtnShadow, light = clBtnHighlight;
    const TColor topLeft = (edge & sunken) ? dark : light, bottomRight = (edge & sunken) ? light : dark;
    if (flags & BF_LEFT) line({r.Left, r.Top, r.Left + 1, r.Bottom}, topLeft);
    if (flags & BF_TOP) line({r.Left, r.Top, r.Right, r.Top + 1}, topLeft);
    if (flags & BF_RIGHT) line({r.Right - 1, r.Top, r.Right, r.Bottom}, bottomRight);
    if (flags & BF_BOTTOM) line({r.Left, r.Bottom - 1, r.Right, r.Bottom}, bottomRight);
    if (flags & BF_LEFT) ++r.Left;
    if (flags & BF_TOP) ++r.Top;
    if (flags & BF_RIGHT) --r.Right;
    if (flags & BF_BOTTOM) --r.Bottom;
  }
}

bool DrawEdge(TCanvas& canvas, const TRect& rect, uint32_t edge, uint32_t flags) {
  if (rect.IsEmpty()) return false;
  const TBrush saved = canvas.Brush;
  canvas.Brush.Style = bsSolid;
  EdgeLines(rect, edge, flags, [&](const TRect& r, TColor color) {
    canvas.Brush.Color = color;
    canvas.FillRect(r);
  });
  canvas.Brush = saved;
  return true;
}

}  // namespace platform
