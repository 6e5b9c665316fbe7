#include "rastova/view/canvas/RVCanvas.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <vector>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "common/Round.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Color.h"
#include "rastova/core/RVUtils.h"
#include "rastova/core/draw/RVGeometry.h"

namespace rv {

using platform::TColor;
using platform::TPoint;
using platform::TRect;

// ---------------------------------------------------------------------------------------
// The binding

bool GdiPlusEnabled = false;

namespace {

bool loaded = false;
int32_t userCount = 0;
bool missingForTesting = false;

constexpr double kDegreesPerRadian = 57.29577951308232;

// Qt's raster engine fills runs of pixels with AVX code that returns without clearing the upper
// halves of the vector registers; until they are cleared, every SSE instruction after it (ours
// and Qt's own) runs many times slower on some processors. The canvas clears them after each
// painter call.
#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx"))) void ZeroUpperAvx() { _mm256_zeroupper(); }
// Asked while the globals are set up, possibly before the run-time library has looked at the
// processor itself.
const bool hasAvx = (__builtin_cpu_init(), __builtin_cpu_supports("avx"));
void ZeroUpper() {
  if (hasAvx) ZeroUpperAvx();
}
#else
void ZeroUpper() {}
#endif

bool IsHatch(platform::TBrushStyle style) {
  return style >= platform::bsHorizontal && style <= platform::bsDiagCross;
}

// Where the smoothing painter draws: a 32-bit picture the size of the bitmap, with one QPainter
// kept open on it from call to call and from canvas to canvas (opening a painter costs more than
// the small shapes the overlays draw). A call copies the part of the bitmap it can reach in,
// paints it and copies it back, so the bitmap stays the only keeper of its pixels between calls:
// what else writes them meanwhile (text, direct pixel writes, other painters) is what the next
// call paints over. 24-bit pixels are painted as 32-bit ones, with the same blending arithmetic;
// Qt blends 24-bit spans by fetching, converting and storing them in batches it hands to its
// thread pool, which costs far more than the painting of a small shape.
class TSmoothSurface {
 public:
  TSmoothSurface() = default;
  TSmoothSurface(const TSmoothSurface&) = delete;
  TSmoothSurface& operator=(const TSmoothSurface&) = delete;
  ~TSmoothSurface() { Release(); }

  // The painter for Bitmap (24 or 32 bits), clipped to Clip, with pixel centres on whole
  // coordinates when Smooth; null when the surface cannot be had. The painter is set up afresh
  // whenever the size, the clip or the smoothing differs from the previous call's.
  QPainter* Begin(const platform::TBitmap& Bitmap, const std::optional<QRegion>& Clip, bool Smooth) {
    const int w = Bitmap.Width(), h = Bitmap.Height();
    if (w <= 0 || h <= 0) return nullptr;
    const bool sameClip = Clip.has_value() == clipped_ && (!clipped_ || *Clip == clip_);
    if (painter_.isActive() && image_.width() == w && image_.height() == h && sameClip && Smooth == smooth_)
      return &painter_;
    if (painter_.isActive()) painter_.end();
    if (image_.width() != w || image_.height() != h) {
      // The memory only grows, so that drawing on a small bitmap between passes on a large one
      // does not give it back and take it again.
      image_ = QImage();
      const size_t size = size_t(w) * size_t(h);
      if (size > capacity_) {
        pixels_.reset();
        capacity_ = 0;
        pixels_.reset(new (std::nothrow) uint32_t[size]);
        if (!pixels_) return nullptr;
        capacity_ = size;
      }
      image_ = QImage(reinterpret_cast<uchar*>(pixels_.get()), w, h, qsizetype(w) * 4, QImage::Format_RGB32);
      if (image_.isNull()) return nullptr;
    }
    if (!painter_.begin(&image_)) return nullptr;
    clipped_ = Clip.has_value();
    clip_ = clipped_ ? *Clip : QRegion();
    smooth_ = Smooth;
    if (clipped_) painter_.setClipRegion(clip_);
    painter_.setRenderHint(QPainter::Antialiasing, Smooth);
    // Aliased drawing already rounds whole coordinates onto pixels.
    if (Smooth) painter_.translate(0.5, 0.5);
    return &painter_;
  }

  // Copies Area (inside the bitmap) from the bitmap in, or back out to it.
  void Load(platform::TBitmap& Bitmap, const QRect& Area) { Copy(Bitmap, Area, true); }
  void Store(platform::TBitmap& Bitmap, const QRect& Area) { Copy(Bitmap, Area, false); }

  void Release() {
    if (painter_.isActive()) painter_.end();
    image_ = QImage();
    pixels_.reset();
    capacity_ = 0;
    clipped_ = false;
    clip_ = QRegion();
    pen_ = QPen();
    brush_ = QBrush();
  }

  // The pen or brush kept from an earlier call when it is equal to Value, so that the painter
  // sees the same one and need not set it up again.
  const QPen& Same(const QPen& Value) {
    if (!(Value == pen_)) pen_ = Value;
    return pen_;
  }
  const QBrush& Same(const QBrush& Value) {
    if (!(Value == brush_)) brush_ = Value;
    return brush_;
  }

 private:
  void Copy(platform::TBitmap& Bitmap, const QRect& Area, bool in) {
    ZeroUpper();
    const size_t stride = size_t(Bitmap.BytesPerLine());
    const bool wide = Bitmap.PixelFormat() == platform::pf32bit;
    const size_t surfaceStride = size_t(image_.width()) * 4;
    uint8_t* const bits = Bitmap.Bits();
    uint8_t* const surfaceBits = reinterpret_cast<uint8_t*>(pixels_.get());
    const int l = Area.left(), n = Area.width();
    for (int y = Area.top(); y <= Area.bottom(); ++y) {
      uint8_t* row = bits + size_t(y) * stride;
      auto* px = reinterpret_cast<uint32_t*>(surfaceBits + size_t(y) * surfaceStride) + l;
      if (wide) {
        // The fourth byte goes both ways as it stands, as if painted in place.
        if (in)
          std::memcpy(px, row + size_t(l) * 4, size_t(n) * 4);
        else
          std::memcpy(row + size_t(l) * 4, px, size_t(n) * 4);
        continue;
      }
      if (in)
        Widen(row + size_t(l) * 3, px, n);
      else
        Narrow(px, row + size_t(l) * 3, n);
    }
  }

  // Blue, green, red bytes to opaque 32-bit pixels and back, four pixels (twelve bytes) a step
  // where the words are little-endian.
  static void Widen(const uint8_t* p, uint32_t* px, int n) {
    int i = 0;
    if constexpr (std::endian::native == std::endian::little) {
      for (; i + 4 <= n; i += 4, p += 12) {
        uint32_t a, b, c;
        std::memcpy(&a, p, 4), std::memcpy(&b, p + 4, 4), std::memcpy(&c, p + 8, 4);
        px[i] = 0xFF000000u | (a & 0xFFFFFFu);
        px[i + 1] = 0xFF000000u | a >> 24 | (b & 0xFFFFu) << 8;
        px[i + 2] = 0xFF000000u | b >> 16 | (c & 0xFFu) << 16;
        px[i + 3] = 0xFF000000u | c >> 8;
      }
    }
    for (; i < n; ++i, p += 3) px[i] = 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
  }
  static void Narrow(const uint32_t* px, uint8_t* p, int n) {
    int i = 0;
    if constexpr (std::endian::native == std::endian::little) {
      for (; i + 4 <= n; i += 4, p += 12) {
        const uint32_t v0 = px[i], v1 = px[i + 1], v2 = px[i + 2], v3 = px[i + 3];
        const uint32_t a = (v0 & 0xFFFFFFu) | v1 << 24, b = (v1 >> 8 & 0xFFFFu) | v2 << 16, c = (v2 >> 16 & 0xFFu) | v3 << 8;
        std::memcpy(p, &a, 4), std::memcpy(p + 4, &b, 4), std::memcpy(p + 8, &c, 4);
      }
    }
    for (; i < n; ++i, p += 3) {
      const uint32_t v = px[i];
      p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16);
    }
  }

  std::unique_ptr<uint32_t[]> pixels_;
  size_t capacity_ = 0;
  QImage image_;  // over pixels_
  QPainter painter_;
  bool clipped_ = false;
  QRegion clip_;
  bool smooth_ = false;
  QPen pen_;
  QBrush brush_;
};

// Per thread, as QPainter is; released with the binding.
thread_local TSmoothSurface surface;

}  // namespace

void InitGdiPlusBinding() {
  GdiPlusEnabled = true;
  loaded = false;
  userCount = 0;
}

void LoadGdiPlus() {
  ++userCount;
  if (!loaded && GdiPlusEnabled && !missingForTesting) loaded = true;
}

void UnloadGdiPlus() {
  // An unmatched release must not leave the count negative: the next view would then count
  // to 0 and the binding would stay loaded after the last view has gone.
  if (userCount > 0) --userCount;
  if (loaded && userCount == 0) {
    loaded = false;
    surface.Release();
  }
}

bool GdiPlusLoaded() { return loaded; }

bool GdiPlusAvailable() { return GdiPlusEnabled && loaded; }

int32_t GdiPlusUserCount() { return userCount; }

void SetGdiPlusMissingForTesting(bool missing) {
  missingForTesting = missing;
  if (missing) {
    loaded = false;
    surface.Release();
  }
}

QColor ColorWithOpacity(TColor Color, int32_t Opacity) {
  QColor c = platform::ToQColor(Color);
  c.setAlpha(std::clamp(Opacity, 0, 255));
  return c;
}

void AdjustEllipseBox(int32_t& Left, int32_t& Top, int32_t& Right, int32_t& Bottom, float PenWidth) {
  if (PenWidth == 1.0f) return;
  // In 64 bits: a box can span the whole integer range.
  int64_t L = Left, T = Top, R = Right, B = Bottom;
  const int64_t e = common::RoundInt(static_cast<long double>(PenWidth) / 2);
  if (L > R) L += e;
  if (L <= R && e >= R - L - 1) R = L + e;
  if (L > R && e >= L - R - 1) R = L - e;
  if (T > B) T += e;
  if (T <= B && e >= B - T - 1) B = T + e;
  if (T > B && e >= T - B - 1) B = T - e;
  if (L == R - e) L -= e;
  if (T == B - e) T -= e;
  if (L == R) {
    L -= e + 1;
    R -= e + 1;
  }
  if (T == B) {
    T -= e + 1;
    B -= e + 1;
  }
  if (L > R) {
    L -= e;
    R -= e - 1;
  }
  Left = common::SaturateInt32(L);
  Top = common::SaturateInt32(T);
  Right = common::SaturateInt32(R);
  Bottom = common::SaturateInt32(B);
}

// ---------------------------------------------------------------------------------------
// TRVPen

TRVPen::TRVPen(platform::TPen& Pen)
    : pen_(Pen),
      color_(Pen.Color),
      width_(static_cast<float>(Pen.Width)),
      style_(Pen.Style),
      mode_(Pen.Mode) {
  if (GdiPlusAvailable()) Build();
}

void TRVPen::Build() {
  qpen_ = QPen();
  qpen_.setCapStyle(roundCap_ ? Qt::RoundCap : Qt::FlatCap);
  qpen_.setWidthF(width_);
  qpen_.setColor(ColorWithOpacity(color_, style_ == platform::psClear ? 0 : transparency_));
  built_ = true;
  ApplyStyle();
  ApplyLineJoin();
}

void TRVPen::SetRoundCap(bool Value) {
  roundCap_ = Value;
  if (built_ && GdiPlusAvailable()) qpen_.setCapStyle(Value ? Qt::RoundCap : Qt::FlatCap);
}

void TRVPen::ApplyColor() {
  if (built_ && GdiPlusAvailable())
    qpen_.setColor(ColorWithOpacity(color_, style_ == platform::psClear ? 0 : transparency_));
}

void TRVPen::ApplyStyle() {
  if (!built_ || !GdiPlusAvailable()) return;
  // Dashes in units of the pen's width, as the smoothing painter's own styles lay them out.
  switch (style_) {
    case platform::psDash:
      qpen_.setDashPattern({3, 1});
      break;
    case platform::psDot:
      qpen_.setDashPattern({1, 1});
      break;
    case platform::psDashDot:
      qpen_.setDashPattern({3, 1, 1, 1});
      break;
    case platform::psDashDotDot:
      qpen_.setDashPattern({3, 1, 1, 1, 1, 1});
      break;
    case platform::psClear:
      // Transparent until Color or Transparency is set again, even after the style changes.
      qpen_.setColor(ColorWithOpacity(color_, 0));
      qpen_.setStyle(Qt::SolidLine);
      break;
    default:
      qpen_.setStyle(Qt::SolidLine);
      break;
  }
}

void TRVPen::ApplyLineJoin() {
  if (!built_ || !GdiPlusAvailable()) return;
  switch (lineJoin_) {
    case LineJoinMiter:
      qpen_.setJoinStyle(Qt::MiterJoin);
      break;
    case LineJoinBevel:
      qpen_.setJoinStyle(Qt::BevelJoin);
      break;
    case LineJoinMiterClipped:
      qpen_.setJoinStyle(Qt::SvgMiterJoin);
      break;
    default:
      qpen_.setJoinStyle(Qt::RoundJoin);
      break;
  }
}

void TRVPen::SetColor(TColor Value) {
  color_ = Value;
  ApplyColor();
  pen_.Color = Value;
}

void TRVPen::SetTransparency(int32_t Value) {
  transparency_ = Value;
  ApplyColor();
}

void TRVPen::SetWidth(float Value) {
  width_ = Value;
  if (built_ && GdiPlusAvailable()) qpen_.setWidthF(std::isfinite(Value) ? std::max(Value, 0.0f) : 0.0f);
  pen_.Width = common::TruncInt(Value);
}

void TRVPen::SetStyle(platform::TPenStyle Value) {
  style_ = Value;
  ApplyStyle();
  pen_.Style = Value;
}

void TRVPen::SetMode(platform::TPenMode Value) {
  mode_ = Value;
  pen_.Mode = Value;
}

void TRVPen::SetLineJoin(uint8_t Value) {
  lineJoin_ = Value;
  ApplyLineJoin();
}

void TRVPen::SetHandle(const platform::TPen& Value) { pen_ = Value; }

// ---------------------------------------------------------------------------------------
// TRVBrush

TRVBrush::TRVBrush(platform::TBrush& Brush) : brush_(Brush), color_(Brush.Color), style_(Brush.Style) {
  if (GdiPlusAvailable()) Build();
}

void TRVBrush::Build() {
  if (!GdiPlusAvailable()) return;
  // Changed in place: a drawing pass sets a brush up several times, and a new one each time
  // would allocate.
  const bool hatch = IsHatch(style_);
  const Qt::BrushStyle style = hatch ? platform::QtBrushStyle(style_) : Qt::SolidPattern;
  const QColor color = ColorWithOpacity(color_, hatch || style_ != platform::bsClear ? transparency_ : 0);
  if (qbrush_.style() != style) qbrush_.setStyle(style);
  if (qbrush_.color() != color) qbrush_.setColor(color);
  qback_ = hatch ? ColorWithOpacity(BackColor, BackTransparency) : QColor(0, 0, 0, 0);
  built_ = true;
}

void TRVBrush::SetColor(TColor Value) {
  color_ = Value;
  Build();
  brush_.Color = Value;
}

void TRVBrush::SetTransparency(int32_t Value) {
  transparency_ = Value;
  Build();
}

void TRVBrush::SetStyle(platform::TBrushStyle Value) {
  style_ = Value;
  Build();
  brush_.Style = Value;
}

// ---------------------------------------------------------------------------------------
// TRVCanvas

// One drawing call through the smoothing painter on the bitmap's pixels, clipped as the wrapped
// canvas is, with pixel centres on whole coordinates (so a one-pixel line along a whole coordinate
// covers one row of pixels). At its end the wrapped canvas reports the change.
class TRVCanvas::Painter {
 public:
  explicit Painter(TRVCanvas& canvas) : canvas_(canvas), bitmap_(canvas.canvas_.Bitmap()) {
    const TRVSmoothingMode mode = canvas.smoothingMode_;
    smooth_ = mode == SmoothingModeAntiAlias || mode == SmoothingModeHighQuality;
    const auto& clip = canvas.canvas_.ClipRegion();
    painter_ = surface.Begin(bitmap_, clip, smooth_);
    if (!painter_) return;
    limit_ = QRect(0, 0, bitmap_.Width(), bitmap_.Height());
    if (clip) limit_ &= clip->boundingRect();
  }
  ~Painter() {
    if (!painter_) return;
    if (!loaded_.isEmpty()) surface.Store(bitmap_, loaded_);
    if (bounds_.isEmpty()) return;
    const QRect r = bounds_.toAlignedRect();
    canvas_.canvas_.NotifyChanged(TRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1});
  }
  Painter(const Painter&) = delete;
  Painter& operator=(const Painter&) = delete;

  bool Active() const { return painter_ != nullptr; }

  // Fills with the brush: a hatch's background first, then its lines.
  void Fill(const QPainterPath& path) {
    const TRVBrush& brush = canvas_.brush_;
    if (!brush.HasQtBrush()) return;
    Touch(path.boundingRect(), 0);
    const bool back = brush.QtBackColor().alpha() != 0, lines = brush.QtBrush().color().alpha() != 0;
    if ((!back && !lines) || !Reach(path, 0)) return;
    if (back) painter_->fillPath(path, surface.Same(QBrush(brush.QtBackColor())));
    if (lines) painter_->fillPath(path, surface.Same(brush.QtBrush()));
    ZeroUpper();
  }

  // The sharpest corner of a path: a miter join's point stands off it further the sharper it is.
  enum class TCorners { None, Right, Any };

  // Outlines with the pen.
  void Stroke(const QPainterPath& path, TCorners Corners = TCorners::Any) {
    const TRVPen& pen = canvas_.pen_;
    if (!pen.HasQtPen() || pen.QtPen().color().alpha() == 0) return;
    const QPen& q = pen.QtPen();
    Touch(path.boundingRect(), q.widthF());
    // How far the outline can stand off the path: half the width (a thinner pen still draws a
    // line a pixel wide), a miter's point or a square end further.
    const double w = std::max(q.widthF(), 1.0), half = w / 2;
    double reach = half;
    if (q.joinStyle() == Qt::MiterJoin || q.joinStyle() == Qt::SvgMiterJoin) {
      if (Corners == TCorners::Any) reach = half + w * std::max(q.miterLimit(), 0.0);
      if (Corners == TCorners::Right) reach = half * M_SQRT2;
    }
    if (q.capStyle() == Qt::SquareCap) reach = std::max(reach, half * M_SQRT2);
    if (!Reach(path, reach)) return;
    painter_->strokePath(path, surface.Same(q));
    ZeroUpper();
  }

 private:
  void Touch(const QRectF& box, double penWidth) {
    const double margin = (std::isfinite(penWidth) ? std::min(penWidth, 1e6) : 0) / 2 + 2;
    // Only the bitmap inside the clip changes: a figure near the ends of the integer range would
    // otherwise report a box whose sides do not fit in an int.
    bounds_ |= box.translated(0.5, 0.5).adjusted(-margin, -margin, margin, margin) & QRectF(limit_);
  }
  // Brings the pixels the path can reach, Margin around it (and a pixel more), into the
  // surface; false when it reaches none of the bitmap inside the clip.
  bool Reach(const QPainterPath& path, double Margin) {
    const QRectF box = path.controlPointRect();
    const double m = (std::isfinite(Margin) ? Margin : 1e9) + 1, shift = smooth_ ? 0.5 : 0;
    const double l = std::max<double>(std::floor(box.left() + shift - m), limit_.left());
    const double t = std::max<double>(std::floor(box.top() + shift - m), limit_.top());
    const double r = std::min<double>(std::ceil(box.right() + shift + m), limit_.right() + 1);
    const double b = std::min<double>(std::ceil(box.bottom() + shift + m), limit_.bottom() + 1);
    if (!(l < r && t < b)) return false;
    const QRect area(int(l), int(t), int(r - l), int(b - t));
    if (loaded_.contains(area)) return true;
    // What this call painted goes back first, so that loading the larger part does not lose it.
    if (!loaded_.isEmpty()) surface.Store(bitmap_, loaded_);
    loaded_ |= area;
    surface.Load(bitmap_, loaded_);
    return true;
  }

  TRVCanvas& canvas_;
  platform::TBitmap& bitmap_;
  QPainter* painter_ = nullptr;
  bool smooth_ = false;
  QRect limit_;   // the bitmap inside the clip box
  QRect loaded_;  // the part of the bitmap copied into the surface
  QRectF bounds_;
};

TRVCanvas::TRVCanvas(platform::TCanvas& Canvas, bool AntiAlias, bool UseGDIPlus)
    : canvas_(Canvas), pen_(Canvas.Pen), brush_(Canvas.Brush) {
  const platform::TPixelFormat format = Canvas.Bitmap().PixelFormat();
  // The painter cannot draw on indexed pixels: such a canvas draws plain.
  gdiPlus_ = GdiPlusAvailable() && UseGDIPlus && (format == platform::pf24bit || format == platform::pf32bit);
  SetSmoothingMode(AntiAlias ? SmoothingModeAntiAlias : SmoothingModeHighSpeed);
}

TRVCanvas::~TRVCanvas() = default;

void TRVCanvas::SetSmoothingMode(TRVSmoothingMode Value) {
  if (gdiPlus_) smoothingMode_ = Value;
}

void TRVCanvas::SetPenPos(TPoint P) {
  penPos_ = P;
  if (!gdiPlus_) canvas_.SetPenPos(P);
}

void TRVCanvas::MoveTo(int32_t X, int32_t Y) {
  penPos_ = {X, Y};
  if (!gdiPlus_) canvas_.MoveTo(X, Y);
}

void TRVCanvas::LineTo(int32_t X, int32_t Y) {
  if (!gdiPlus_) return canvas_.LineTo(X, Y);
  DrawLine(penPos_.X, penPos_.Y, X, Y);
  penPos_ = {X, Y};
}

void TRVCanvas::DrawLine(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  if (!gdiPlus_) {
    const TPoint points[] = {{X1, Y1}, {X2, Y2}};
    return canvas_.Polygon(points);
  }
  Painter p(*this);
  if (!p.Active()) return;
  QPainterPath path(QPointF(X1, Y1));
  path.lineTo(X2, Y2);
  p.Stroke(path, Painter::TCorners::None);
}

void TRVCanvas::FillRect(const TRect& Rect) {
  if (!gdiPlus_) return canvas_.FillRect(Rect);
  int32_t l = Rect.Left, t = Rect.Top, r = Rect.Right, b = Rect.Bottom;
  OrderRectCorners(l, t, r, b);
  Painter p(*this);
  if (!p.Active()) return;
  QPainterPath path;
  path.addRect(QRectF(l, t, double(r) - l - 1, double(b) - t - 1));
  p.Fill(path);
}

void TRVCanvas::Rectangle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  Rectangle(TRect{X1, Y1, X2, Y2});
}

void TRVCanvas::Rectangle(const TRect& Rect) {
  if (!gdiPlus_) return canvas_.Rectangle(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom);
  int32_t l = Rect.Left, t = Rect.Top, r = Rect.Right, b = Rect.Bottom;
  OrderRectCorners(l, t, r, b);
  Painter p(*this);
  if (!p.Active()) return;
  QPainterPath path;
  path.addRect(QRectF(l, t, double(r) - l - 1, double(b) - t - 1));
  p.Fill(path);
  // A rectangle without width or height turns back on itself.
  p.Stroke(path, int64_t(r) - l > 1 && int64_t(b) - t > 1 ? Painter::TCorners::Right : Painter::TCorners::Any);
}

void TRVCanvas::Ellipse(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) { Ellipse(TRect{X1, Y1, X2, Y2}); }

void TRVCanvas::Ellipse(const TRect& Rect) {
  if (!gdiPlus_) return canvas_.Ellipse(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom);
  int32_t l = Rect.Left, t = Rect.Top, r = Rect.Right, b = Rect.Bottom;
  AdjustEllipseBox(l, t, r, b, pen_.Width());
  Painter p(*this);
  if (!p.Active()) return;
  QPainterPath path;
  path.addEllipse(QRectF(l, t, double(r) - l - 1, double(b) - t - 1).normalized());
  p.Fill(path);
  p.Stroke(path);
}

void TRVCanvas::Polygon(std::span<const TPoint> Points) {
  if (!gdiPlus_) return canvas_.Polygon(Points);
  if (Points.empty()) return;
  Painter p(*this);
  if (!p.Active()) return;
  QPainterPath path;
  path.setFillRule(Qt::OddEvenFill);
  path.moveTo(Points[0].X, Points[0].Y);
  for (size_t i = 1; i < Points.size(); ++i) path.lineTo(Points[i].X, Points[i].Y);
  path.closeSubpath();
  // The outline goes first and the fill over it, so a wide pen's inner half is covered.
  p.Stroke(path);
  p.Fill(path);
}

void TRVCanvas::Polyline(std::span<const TPoint> Points) {
  if (!gdiPlus_) return canvas_.Polyline(Points);
  if (Points.size() < 2) return;
  Painter p(*this);
  if (!p.Active()) return;
  QPainterPath path(QPointF(Points[0].X, Points[0].Y));
  for (size_t i = 1; i < Points.size(); ++i) path.lineTo(Points[i].X, Points[i].Y);
  p.Stroke(path);
}

void TRVCanvas::Arc(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3, int32_t X4,
                    int32_t Y4) {
  if (!gdiPlus_) return canvas_.Arc(X1, Y1, X2, Y2, X3, Y3, X4, Y4);
  const TRVPoint c{static_cast<int32_t>((int64_t(X1) + X2) / 2),
                   static_cast<int32_t>((int64_t(Y1) + Y2) / 2)};
  const double start = LineAngle(c.x, c.y, X4, Y4) * kDegreesPerRadian;
  double sweep = VertexAngle(TRVPoint{X3, Y3}, c, TRVPoint{X4, Y4}) * kDegreesPerRadian;
  // Rays on one line measure 0: the same ray makes the whole ellipse, as on the plain path (not
  // an empty arc), and opposite rays half of it, as the plain path draws an arc of 180 degrees.
  if (sweep == 0) {
    const double dot = (double(X3) - c.x) * (double(X4) - c.x) + (double(Y3) - c.y) * (double(Y4) - c.y);
    sweep = dot < 0 ? 180 : 360;
  }
  Painter p(*this);
  if (!p.Active()) return;
  // From the end ray clockwise by the sweep, back to the start ray: the same points as the
  // counter-clockwise arc.
  const QRectF box(X1, Y1, double(X2) - X1 + 1, double(Y2) - Y1 + 1);
  QPainterPath path;
  path.arcMoveTo(box, start);
  path.arcTo(box, start, -sweep);
  p.Stroke(path);
}

void TRVCanvas::RoundRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3) {
  if (!gdiPlus_) return canvas_.RoundRect(X1, Y1, X2, Y2, X3, Y3);
  OrderRectCorners(X1, Y1, X2, Y2);
  const double w = double(X2) - X1, h = double(Y2) - Y1;
  const double cw = std::min<double>(X3, w), ch = std::min<double>(Y3, h);
  Painter p(*this);
  if (!p.Active()) return;
  // Four quarter arcs joined by the straight sides, clockwise from the left end of the top-left
  // corner, and the left side back up to where the first arc began.
  QPainterPath path;
  path.setFillRule(Qt::OddEvenFill);
  const QRectF tl(X1, Y1, cw, ch), tr(X1 + w - cw, Y1, cw, ch), br(X1 + w - cw, Y1 + h - ch, cw, ch),
      bl(X1, Y1 + h - ch, cw, ch);
  path.arcMoveTo(tl, 180);
  path.arcTo(tl, 180, -90);
  path.arcTo(tr, 90, -90);
  path.arcTo(br, 0, -90);
  path.arcTo(bl, 270, -90);
  path.lineTo(X1, Y1 + h - ch);
  path.lineTo(X1, Y1 + ch / 2);
  p.Fill(path);
  p.Stroke(path);
}

int32_t TRVCanvas::TextWidth(std::string_view Text) { return canvas_.TextWidth(Text); }

int32_t TRVCanvas::TextHeight(std::string_view Text) { return canvas_.TextHeight(Text); }

void TRVCanvas::TextOut(int32_t X, int32_t Y, std::string_view Text) { canvas_.TextOut(X, Y, Text); }

void TRVCanvas::TextRect(const TRect& Rect, int32_t X, int32_t Y, std::string_view Text) {
  canvas_.TextRect(Rect, X, Y, Text, platform::ETO_CLIPPED);
}

void TRVCanvas::TextRectEx(const TRect& Rect, int32_t X, int32_t Y, std::string_view Text) {
  const uint32_t options = canvas_.TextFlags | platform::ETO_CLIPPED;
  if ((canvas_.TextFlags & platform::ETO_RTLREADING) && canvas_.CanvasOrientation == platform::coRightToLeft)
    X = static_cast<int32_t>(
        std::clamp<int64_t>(int64_t(X) + canvas_.TextWidth(Text) + 1, INT32_MIN, INT32_MAX));
  canvas_.TextRect(Rect, X, Y, Text, options);
}

}  // namespace rv
