// Drawing one vector object through the anti-aliased canvas, and the layer's paint hooks.
#include <QFontMetrics>
#include <QGuiApplication>
#include <algorithm>
#include <cmath>

#include "common/CodePage.h"
#include "common/Round.h"
#include "rastova/core/draw/RVGeometry.h"
#include "rastova/view/text/RVTextControl.h"
#include "rastova/view/vector/RastovaVect.h"

namespace rv {

using common::RoundInt;
using common::TruncInt;

namespace {
// Object texts are one-byte text; the canvas takes UTF-8.
std::string Utf8(std::string_view s) { return common::Cp1252ToUtf8(s); }

void Include(platform::TRect& R, int32_t X, int32_t Y) { RectIncludePoint(R, X, Y); }

// The object's font on the canvas at height Height (0: the record's own), quality from the table.
void SelectObjectFont(TRVCanvas& Canvas, const TRVVObjRecord& Obj, int32_t Height, platform::TColor Color) {
  platform::TFont& f = Canvas.Font();
  if (Obj.LogFont) {
    LOGFONTA lf = *Obj.LogFont;
    lf.lfQuality = kFontQualityByte[std::min<uint8_t>(Obj.FontQuality, 6)];
    LogFontToFont(lf, f);
  }
  f.SetHeight(Height);
  f.Color = Color;
}

// Unsets the escapement and quality a text left on the wrapped canvas's font.
struct TFontRestore {
  platform::TFont& font;
  platform::TFont saved;
  explicit TFontRestore(platform::TFont& f) : font(f), saved(f) {}
  ~TFontRestore() { font = saved; }
};
}  // namespace

// Drawing coordinates stay within +-2^28, far beyond any bitmap, so that the sizes, margins and
// far edges added to them cannot overflow.
constexpr int64_t kDrawLimit = int64_t(1) << 28;

int32_t TRastovaVect::XBmpToDraw(int32_t X, bool UseZoom, int32_t Factor) {
  const int64_t v = int64_t(UseZoom ? XBmp2Scr(X) : X) * Factor;
  return static_cast<int32_t>(std::clamp<int64_t>(v, -kDrawLimit, kDrawLimit));
}

int32_t TRastovaVect::YBmpToDraw(int32_t Y, bool UseZoom, int32_t Factor) {
  const int64_t v = int64_t(UseZoom ? YBmp2Scr(Y) : Y) * Factor;
  return static_cast<int32_t>(std::clamp<int64_t>(v, -kDrawLimit, kDrawLimit));
}

int32_t TRastovaVect::GetObjPenWidthZoomed(const TRVVObjRecord& Obj, double ZX, double ZY) {
  if (!FZoomObjectsWidth) return Obj.PenWidth;
  return CeilToInt(FloatMax(FloatMin(ZY, ZX) * Obj.PenWidth, 1.0));
}

void TRastovaVect::GetPolylineScale(const TRVVObjRecord& Obj, double& SX, double& SY) {
  const int64_t bw = int64_t(Obj.PolyBaseX2) - Obj.PolyBaseX1, bh = int64_t(Obj.PolyBaseY2) - Obj.PolyBaseY1;
  SX = bw == 0 ? 1.0 : (double(Obj.X2) - Obj.X1) / double(bw);
  SY = bh == 0 ? 1.0 : (double(Obj.Y2) - Obj.Y1) / double(bh);
}

void TRastovaVect::NormalizePolyline(TRVVObjRecord& Obj) {
  if (Obj.PolyPointsCount <= 0) return;
  double sx, sy;
  GetPolylineScale(Obj, sx, sy);
  int32_t x1 = 1000000, y1 = 1000000, x2 = -1000000, y2 = -1000000;
  int32_t bx1 = INT32_MAX, by1 = INT32_MAX, bx2 = INT32_MIN, by2 = INT32_MIN;
  for (int32_t i = 0; i < Obj.PolyPointsCount; ++i) {
    const TRVPoint& p = Obj.PolyPoints[size_t(i)];
    const int32_t mx = RoundInt((static_cast<long double>(p.x) - Obj.PolyBaseX1) * sx + Obj.X1);
    const int32_t my = RoundInt((static_cast<long double>(p.y) - Obj.PolyBaseY1) * sy + Obj.Y1);
    x1 = std::min(x1, mx), y1 = std::min(y1, my), x2 = std::max(x2, mx), y2 = std::max(y2, my);
    bx1 = std::min(bx1, p.x), by1 = std::min(by1, p.y), bx2 = std::max(bx2, p.x), by2 = std::max(by2, p.y);
  }
  Obj.X1 = x1, Obj.Y1 = y1, Obj.X2 = x2, Obj.Y2 = y2;
  Obj.PolyBaseX1 = bx1, Obj.PolyBaseY1 = by1, Obj.PolyBaseX2 = bx2, Obj.PolyBaseY2 = by2;
}

namespace {
// ANDs the box's pixels with the colour (24-bit), or sets them to its red (8-bit).
void HighlightBox(platform::TBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, const TRGB& Colour) {
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  if (w <= 0 || h <= 0) return;
  X1 = std::clamp(X1, 0, w - 1), X2 = std::clamp(X2, 0, w - 1);
  Y1 = std::clamp(Y1, 0, h - 1), Y2 = std::clamp(Y2, 0, h - 1);
  OrderRectCorners(X1, Y1, X2, Y2);
  const int bpp = Bitmap.BitsPerPixel();
  if (bpp != 24 && bpp != 32 && bpp != 8) return;
  for (int32_t y = Y1; y <= Y2; ++y) {
    uint8_t* row = Bitmap.ScanLine(y);
    for (int32_t x = X1; x <= X2; ++x) {
      if (bpp == 8) {
        row[x] = Colour.r;
        continue;
      }
      uint8_t* p = row + size_t(x) * size_t(bpp / 8);
      p[0] &= Colour.b, p[1] &= Colour.g, p[2] &= Colour.r;
    }
  }
}

// PenWidth nested one-pixel frames in Colour, straight into the bitmap.
void DrawBitmapBorder(TRVBitmap& Target, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t PenWidth,
                      platform::TColor Colour) {
  if (Target.GetPixelFormat() != rv24RGB) return;
  const TRGB c = ColorToTRGB(Colour);
  const int32_t w = Target.GetWidth(), h = Target.GetHeight();
  const bool alpha = Target.HasAlphaBitmap();
  auto put = [&](int32_t x, int32_t y) {
    if (x < 0 || y < 0 || x >= w || y >= h) return;
    *Target.GetPPixels_rv24RGB(x, y) = c;
    if (alpha) Target.SetAlpha(x, y, 255);
  };
  for (int32_t k = 0; k < PenWidth && X1 <= X2 && Y1 <= Y2; ++k, ++X1, ++Y1, --X2, --Y2) {
    for (int32_t x = std::max(X1, 0); x <= std::min(X2, w - 1); ++x) put(x, Y1), put(x, Y2);
    for (int32_t y = std::max(Y1, 0); y <= std::min(Y2, h - 1); ++y) put(X1, y), put(X2, y);
  }
}
}  // namespace

void TRastovaVect::DrawBitmapObject(platform::TBitmap* Target, TRVVObjRecord& Obj, int32_t PenWidth,
                                    TRVBitmap* TargetRV, int32_t X1d, int32_t Y1d, int32_t X2d, int32_t Y2d) {
  TRVBitmap* source = GetSharedBitmap(Obj.BitmapIdx);
  if (!source) {
    platform::TCanvas& c = Target->Canvas();
    c.MoveTo(X1d, Y1d), c.LineTo(X2d, Y2d);
    c.MoveTo(X2d, Y1d), c.LineTo(X1d, Y2d);
    c.Brush.Style = platform::bsClear;
    c.Rectangle(X1d, Y1d, X2d + 1, Y2d + 1);
    return;
  }
  OrderRectCorners(X1d, Y1d, X2d, Y2d);
  const TResampleFilter filter = ObjectMoving > 0 ? rfNone : FBitmapResampleFilter;
  int32_t bx1 = X1d, by1 = Y1d, bx2 = X2d, by2 = Y2d;
  TRVBitmap view;
  TRVBitmap* into = TargetRV;
  if (!into) {
    view.EncapsulateTBitmap(Target, false);
    into = &view;
  }
  if (Obj.BitmapBorder) {
    DrawBitmapBorder(*into, bx1, by1, bx2, by2, PenWidth, Obj.PenColor);
    bx1 += PenWidth, by1 += PenWidth, bx2 -= PenWidth, by2 -= PenWidth;
  }
  if (bx2 < bx1 || by2 < by1) return;
  const int32_t dw = bx2 - bx1 + 1, dh = by2 - by1 + 1;
  if (TargetRV)
    source->StretchRectTo(TargetRV, bx1, by1, dw, dh, 0, 0, source->GetWidth(), source->GetHeight(), filter,
                          Obj.Transparency);
  else
    source->RenderToTBitmap(Target, bx1, by1, dw, dh, 0, 0, source->GetWidth(), source->GetHeight(),
                            Obj.Transparency, filter, TRVRenderOperation(0));
}

void TRastovaVect::GetGlyphExtent(TRVCanvas& Canvas, char Char, int32_t& W, int32_t& H) {
  const QFont f(platform::StandInFontFamily(Canvas.Font().Name));
  QFont font = f;
  font.setPixelSize(std::max(1, std::abs(Canvas.Font().Height())));
  const QRect r = QFontMetrics(font).boundingRect(QChar(common::Cp1252ToCodePoint(uint8_t(Char))));
  W = r.width(), H = r.height();
}

void TRastovaVect::DrawCurveChar(TRVCanvas& Canvas, TRVVObjRecord& Obj, const platform::TRect& Box, char Char,
                                 const TRVDoublePoint& Q, const TRVDoublePoint& P) {
  int32_t rot = Obj.CurveCharRot;
  if (rot == -10) {
    const double dx = Q.x - P.x, dy = Q.y - P.y;
    if (std::abs(dx) < 0.01)
      rot = dy > 0 ? 2700 : 900;
    else
      rot = TruncInt((std::atan(-dy / dx) + (P.x > Q.x ? M_PI : 0)) * 1800 / M_PI + 0.5);
  }
  Canvas.Font().Escapement = rot;
  const int32_t x = static_cast<int32_t>(std::clamp<int64_t>(int64_t(TruncInt(P.x)) + Box.Left, INT32_MIN, INT32_MAX));
  const int32_t y = static_cast<int32_t>(std::clamp<int64_t>(int64_t(TruncInt(P.y)) + Box.Top, INT32_MIN, INT32_MAX));
  Canvas.TextOut(x, y, Utf8(std::string_view(&Char, 1)));
  int32_t w, h;
  GetGlyphExtent(Canvas, Char, w, h);
  Include(Obj.DrawnRect, x, y);
  Include(Obj.DrawnRect, x - w, y - h);
  Include(Obj.DrawnRect, x + w, y + h);
}

void TRastovaVect::DrawTextObject(TRVCanvas& Canvas, TRVVObjRecord& Obj, int32_t hobj, bool drawingAlpha, double ZX,
                                  double ZY, int32_t X1d, int32_t Y1d, int32_t X2d, int32_t Y2d) {
  TFontRestore restore(Canvas.Font());
  if (Obj.Kind == rvkMEMO) {
    if (hobj == EditingObject && hobj >= 0) return;
    TRVTextControl tc;
    tc.FText = TRVTextControl::AllocText(Obj.Text);
    tc.FFormats = std::make_unique<TRVCharFormatList>();
    for (const TRVCharFormat& f : Obj.MemoCharFormats) tc.FFormats->push_back(std::make_unique<TRVCharFormat>(f));
    if (!Obj.MemoCharFormatIdx.empty() && Obj.MemoCharFormatIdx.size() >= Obj.Text.size()) {
      tc.FCharFormats = static_cast<int32_t*>(std::malloc(std::max<size_t>(1, Obj.Text.size()) * 4));
      std::copy(Obj.MemoCharFormatIdx.begin(), Obj.MemoCharFormatIdx.begin() + std::ptrdiff_t(Obj.Text.size()),
                tc.FCharFormats);
    }
    tc.FZoom = ZY;
    tc.FMarginLeft = Obj.MemoMarginLeft, tc.FMarginTop = Obj.MemoMarginTop;
    tc.FMarginRight = Obj.MemoMarginRight, tc.FMarginBottom = Obj.MemoMarginBottom;
    if (Obj.LogFont) {
      tc.FTextFont.Name = LogFontFaceName(*Obj.LogFont);
      const uint8_t s = LogFontStyleBits(*Obj.LogFont);
      tc.FTextFont.Style = {bool(s & fsBold), bool(s & fsItalic), bool(s & fsUnderline), bool(s & fsStrikeOut)};
      tc.FTextFont.SetHeight(Obj.LogFont->lfHeight);
    }
    tc.FTextFont.Color = Obj.PenColor;
    tc.FTextBrush.Color = Obj.BrushColor, tc.FTextBrush.Style = Obj.MemoCharsBrushStyle;
    tc.FDefaultAlignment = Obj.TextAlign;
    tc.FBackgroundBrush.Color = Obj.BrushColor, tc.FBackgroundBrush.Style = Obj.BrushStyle;
    tc.FIgnoreColors = drawingAlpha;
    tc.SetFixedFormat(Obj.FontLocked);
    tc.FAutoGrow = Obj.TextAutoSize;
    tc.FLineSpacing = Obj.MemoLineSpace;
    tc.FBorderPen.Color = Obj.MemoBorderColor, tc.FBorderPen.Style = Obj.MemoBorderStyle;
    tc.FFixedCharHeight = Obj.MemoFixedHeight;
    tc.FBackgroundBitmap = nullptr;
    tc.InitText();
    const int32_t left = std::min(X1d, X2d), top = std::min(Y1d, Y2d);
    tc.LayoutAndDraw(Canvas, left, top, static_cast<int32_t>(std::abs(int64_t(Obj.X2) - Obj.X1) + 1),
                     static_cast<int32_t>(std::abs(int64_t(Obj.Y2) - Obj.Y1) + 1));
    // The control may have grown or packed the text and its formats: take them back.
    Obj.Text = tc.FText ? std::string(tc.FText) : std::string();
    Obj.MemoCharFormats.clear();
    if (tc.FFormats)
      for (const auto& f : *tc.FFormats) Obj.MemoCharFormats.push_back(*f);
    if (tc.FCharFormats)
      Obj.MemoCharFormatIdx.assign(tc.FCharFormats, tc.FCharFormats + Obj.Text.size());
    std::free(tc.FText);
    tc.FText = nullptr;
    std::free(tc.FCharFormats);
    tc.FCharFormats = nullptr;
    tc.FFormats.reset();
    return;
  }
  if (Obj.Text.empty()) return;
  if (hobj == EditingObject && hobj >= 0) {
    Canvas.Brush().SetStyle(platform::bsClear);
    Canvas.Rectangle(X1d - 1, Y1d - 1, X2d + 1, Y2d + 1);
    return;
  }
  const int32_t lfHeight = Obj.LogFont ? Obj.LogFont->lfHeight : 0;
  const int32_t height = lfHeight == 0 ? Y2d - Y1d : TruncInt(lfHeight * static_cast<long double>(ZY));
  SelectObjectFont(Canvas, Obj, height, Obj.PenColor);
  const std::string text = Utf8(Obj.Text);
  if (Obj.CurvePointsCount <= 0) {
    const double t = Canvas.Font().Escapement / 10.0 * M_PI / 180.0;
    const double tw = Canvas.TextWidth(text), th = Canvas.TextHeight(text);
    const double bh = double(Y2d) - Y1d, bw = double(X2d) - X1d;
    const int32_t v = TruncInt(bh - std::cos(t) * th + std::sin(t) * tw) / 2;
    int32_t u;
    const bool pen = Obj.PenStyle != platform::psClear;
    switch (Obj.TextAlign) {
      case 0:
        u = std::abs(TruncInt(std::sin(t) * th)) + (pen ? RoundInt(ZX * (Obj.PenWidth + 1)) : 0);
        break;
      case 1:
        u = TruncInt(bw - std::cos(t) * tw) - (pen ? RoundInt(ZX * (Obj.PenWidth + 1)) : 0);
        break;
      default:
        u = TruncInt(bw - std::cos(t) * tw - std::sin(t) * th) / 2;
        break;
    }
    Canvas.Rectangle(X1d, Y1d, X2d + 1, Y2d + 1);
    Canvas.Brush().SetStyle(platform::bsClear);
    Canvas.TextRect(platform::TRect{X1d, Y1d, X2d, Y2d}, X1d + u, Y1d + v, text);
    return;
  }
  // Curved text: the characters step along the path through the curve points, scaled to the box.
  const double bw = std::abs(double(X2d) - X1d), bh = std::abs(double(Y2d) - Y1d);
  const uint32_t oldAlign = Canvas.Handle().TextAlign();
  Canvas.Handle().SetTextAlign(platform::TA_BASELINE | platform::TA_CENTER);
  std::vector<TRVDoublePoint> path;
  for (int32_t i = 0; i < Obj.CurvePointsCount && size_t(i) < Obj.CurvePoints.size(); ++i)
    path.push_back({Obj.CurvePoints[size_t(i)].x * bw, Obj.CurvePoints[size_t(i)].y * bh});
  double len = 0;
  for (size_t i = 1; i < path.size(); ++i) len += std::hypot(path[i].x - path[i - 1].x, path[i].y - path[i - 1].y);
  const int32_t step = TruncInt(len / double(Obj.Text.size()));
  const platform::TRect box{std::min(X1d, X2d), std::min(Y1d, Y2d), std::max(X1d, X2d), std::max(Y1d, Y2d)};
  size_t next = 0;
  if (!path.empty() && step > 0) {
    TRVDoublePoint p = path[0];
    double a = 0;
    for (size_t i = 1; i < path.size(); ++i) {
      a += std::hypot(path[i].x - path[i - 1].x, path[i].y - path[i - 1].y);
      while (a >= step && a != 0 && next < Obj.Text.size()) {
        const TRVDoublePoint q{p.x + (path[i].x - p.x) * step / a, p.y + (path[i].y - p.y) * step / a};
        DrawCurveChar(Canvas, Obj, box, Obj.Text[next++], q, p);
        p = q;
        a -= step;
      }
      p = path[i];
    }
  }
  Canvas.Handle().SetTextAlign(oldAlign);
}

void TRastovaVect::DrawLineLabel(TRVCanvas& Canvas, TRVVObjRecord& Obj, double ZY, int32_t X1d, int32_t Y1d,
                                 int32_t X2d, int32_t Y2d) {
  TFontRestore restore(Canvas.Font());
  const bool atEnd = Obj.LabelPos == rvlEnd;
  const int32_t ax = atEnd ? X2d : X1d, ay = atEnd ? Y2d : Y1d, ox = atEnd ? X1d : X2d, oy = atEnd ? Y1d : Y2d;
  const int32_t lfHeight = Obj.LogFont ? Obj.LogFont->lfHeight : 0;
  SelectObjectFont(Canvas, Obj, TruncInt(lfHeight * static_cast<long double>(ZY)), Obj.PenColor);
  const std::string text = Utf8(Obj.Text);
  const int32_t tw = Canvas.TextWidth(text), th = Canvas.TextHeight(text);
  const int32_t left = ax < ox ? ax - tw : ax, top = ay < oy ? ay - th : ay;
  const int32_t right = left + tw, bottom = top + th;
  const double t = Canvas.Font().Escapement / 10.0 * M_PI / 180.0;
  const int32_t v = TruncInt(th - std::cos(t) * th + std::sin(t) * tw) / 2;
  int32_t u;
  switch (Obj.TextAlign) {
    case 0: u = std::abs(TruncInt(std::sin(t) * th)); break;
    case 1: u = TruncInt(tw - std::cos(t) * tw); break;
    default: u = TruncInt(tw - std::cos(t) * tw - std::sin(t) * th) / 2; break;
  }
  Canvas.Brush().SetColor(Obj.LabelBrushColor);
  Canvas.Brush().SetStyle(Obj.LabelBrushStyle);
  Canvas.Pen().SetStyle(Obj.LabelBorder == rvlNone ? platform::psClear : platform::psSolid);
  Canvas.Pen().SetColor(Obj.PenColor);
  switch (Obj.LabelBorder) {
    case rvlRoundRect: Canvas.RoundRect(left, top, right + 1, bottom + 1, 10, 10); break;
    case rvlEllipse:
      Canvas.Ellipse(left, top - th, right + 1, bottom + 1 + th);
      Include(Obj.DrawnRect, left, top - th);
      Include(Obj.DrawnRect, right, bottom + th);
      break;
    default: Canvas.Rectangle(left, top, right + 1, bottom + 1); break;
  }
  Include(Obj.DrawnRect, left, top);
  Include(Obj.DrawnRect, right + 1, bottom + 1);
  Canvas.Brush().SetStyle(platform::bsClear);
  Canvas.TextRect(platform::TRect{left, top, right, bottom}, left + u, top + v, text);
  Obj.LabelRect[0] = XScr2Bmp(left), Obj.LabelRect[1] = YScr2Bmp(top);
  Obj.LabelRect[2] = XScr2Bmp(right), Obj.LabelRect[3] = YScr2Bmp(bottom);
}

bool TRastovaVect::DrawObject(TRVVObjRecord& Obj, int32_t hobj, bool drawingAlpha, int32_t Factor,
                              TRVBitmap* TargetRV, bool UseZoom, bool OnlyVisible, platform::TBitmap* Target) {
  if (!Target) return false;
  double zx = UseZoom ? FZoomFactorX : 1.0, zy = UseZoom ? FZoomFactorY : 1.0;
  if (Factor > 1) zx *= Factor, zy *= Factor;
  int32_t x1d = XBmpToDraw(Obj.X1, UseZoom, Factor), y1d = YBmpToDraw(Obj.Y1, UseZoom, Factor);
  int32_t x2d = XBmpToDraw(Obj.X2, UseZoom, Factor), y2d = YBmpToDraw(Obj.Y2, UseZoom, Factor);
  const int32_t x2e = XBmpToDraw(Obj.X2 + (Obj.X2 < INT32_MAX), UseZoom, Factor);
  const int32_t y2e = YBmpToDraw(Obj.Y2 + (Obj.Y2 < INT32_MAX), UseZoom, Factor);
  if (Obj.BoxHighLight) Obj.PenWidth = 1;
  const int32_t penWidth = GetObjPenWidthZoomed(Obj, zx, zy);
  if (Obj.Kind == rvkBITMAP) {
    if (zx != 1.0) x2d = x2e - 1;
    if (zy != 1.0) y2d = y2e - 1;
  }
  Obj.DrawnRect = platform::TRect{2000000000, 2000000000, -2000000000, -2000000000};
  Obj.DrawnPenWidth = penWidth;
  if (!(Obj.Style & rvvsVisible)) return false;
  if (OnlyVisible && !RectsOverlap(x1d, y1d, x2d, y2d, FOffsetX * Factor, FOffsetY * Factor,
                                   (FOffsetX + FExtentX) * Factor, (FOffsetY + FExtentY) * Factor))
    return false;
  TRVCanvas c(Target->Canvas(), FObjAntialias && !FastDrawing, true);
  c.Pen().SetStyle(Obj.PenStyle);
  c.Pen().SetWidth(static_cast<float>(penWidth));
  c.Pen().SetMode(platform::pmCopy);
  c.Pen().SetColor(Obj.PenColor);
  c.Pen().SetTransparency(Obj.Transparency);
  c.Brush().SetTransparency(Obj.Transparency);
  c.Brush().SetColor(Obj.BrushColor);
  c.Brush().SetStyle(Obj.BrushStyle);
  bool handled = false;
  const platform::TRect destRect{x1d, y1d, x2d, y2d};
  if (OnBeforeDrawObject) {
    OnBeforeDrawObject(this, hobj, Target, destRect, drawingAlpha, handled);
    Include(Obj.DrawnRect, x1d, y1d);
    Include(Obj.DrawnRect, x2d, y2d);
  }
  if (!handled && Obj.Kind >= rvkLINE && Obj.Kind <= rvkEXTENDED) {
    switch (Obj.Kind) {
      case rvkLINE:
      case rvkLINELABEL: {
        if (penWidth > 1) {
          // Wide lines end and join round.
          c.Pen().SetRoundCap(true);
          c.Pen().SetLineJoin(LineJoinRound);
        }
        c.DrawLine(x1d, y1d, x2d, y2d);
        Include(Obj.DrawnRect, x1d, y1d);
        Include(Obj.DrawnRect, x2d, y2d);
        const int32_t sw = TruncInt(Obj.ShapeWidth * static_cast<long double>(zx));
        const int32_t sh = TruncInt(Obj.ShapeHeight * static_cast<long double>(zy));
        DrawLineShape(Obj, c, x1d, y1d, x2d, y2d, Obj.BeginShape, sw, sh, Obj.DrawnRect);
        DrawLineShape(Obj, c, x2d, y2d, x1d, y1d, Obj.EndShape, sw, sh, Obj.DrawnRect);
        if (Obj.Kind == rvkLINELABEL && !Obj.Text.empty()) DrawLineLabel(c, Obj, zy, x1d, y1d, x2d, y2d);
        break;
      }
      case rvkBOX:
        c.Pen().SetLineJoin(LineJoinMiter);
        Include(Obj.DrawnRect, x1d, y1d);
        Include(Obj.DrawnRect, x2d, y2d);
        if (Obj.BoxHighLight)
          HighlightBox(*Target, x1d, y1d, x2d, y2d, ColorToTRGB(Obj.BrushColor));
        else
          c.Rectangle(x1d, y1d, x2d + 1, y2d + 1);
        break;
      case rvkELLIPSE:
        Include(Obj.DrawnRect, x1d, y1d);
        Include(Obj.DrawnRect, x2d, y2d);
        c.Ellipse(x1d, y1d, x2d + 1, y2d + 1);
        break;
      case rvkARC: {
        const double hx = (double(x2d) - x1d) / 2, hy = (double(y2d) - y1d) / 2;
        const int32_t sx = TruncInt(std::cos(Obj.ArcStartingAngle) * hx + hx) + x1d;
        const int32_t sy = TruncInt(std::sin(Obj.ArcStartingAngle) * hy + hy) + y1d;
        const int32_t ex = TruncInt(std::cos(Obj.ArcEndingAngle) * hx + hx) + x1d;
        const int32_t ey = TruncInt(std::sin(Obj.ArcEndingAngle) * hy + hy) + y1d;
        c.Arc(x1d, y1d, x2d + 1, y2d + 1, sx, sy, ex, ey);
        Include(Obj.DrawnRect, x1d, y1d);
        Include(Obj.DrawnRect, x2d, y2d);
        break;
      }
      case rvkBITMAP:
        Include(Obj.DrawnRect, x1d, y1d);
        Include(Obj.DrawnRect, x2d, y2d);
        DrawBitmapObject(Target, Obj, penWidth, TargetRV, x1d, y1d, x2d, y2d);
        break;
      case rvkTEXT:
      case rvkMEMO:
        c.Pen().SetLineJoin(LineJoinMiter);
        Include(Obj.DrawnRect, x1d, y1d);
        Include(Obj.DrawnRect, x2d, y2d);
        if (Obj.Kind == rvkMEMO && Obj.MemoHasBitmap && !drawingAlpha)
          DrawBitmapObject(Target, Obj, penWidth, TargetRV, x1d, y1d, x2d, y2d);
        DrawTextObject(c, Obj, hobj, drawingAlpha, zx, zy, x1d, y1d, x2d, y2d);
        break;
      case rvkRULER: {
        const double len = -1;
        DrawRuler(c, x1d, y1d, x2d, y2d, len, Obj.RulerUnit, Obj.PenColor, Obj.PenWidth, Obj.RulerType, 1.0 / zx,
                  1.0 / zy, Obj.DrawnRect, Obj.LogFont ? &*Obj.LogFont : nullptr);
        break;
      }
      case rvkANGLE:
        DrawAngle(c, Obj.AnglePoints, Obj.LogFont ? &*Obj.LogFont : nullptr, 1.0 / zy, Factor, UseZoom,
                  Obj.DrawnRect, Obj.PenWidth, Obj.PenColor);
        break;
      case rvkPOLYLINE: {
        c.Pen().SetLineJoin(LineJoinRound);
        if ((Obj.PolyBaseX1 != Obj.PolyBaseX2 || Obj.PolyBaseY1 != Obj.PolyBaseY2) && Obj.PolyPointsCount > 0) {
          if (Obj.PolyPointsCount > Obj.DrawnPointsAlloc) {
            Obj.DrawnPointsAlloc = Obj.PolyPointsCount * 2;
            Obj.DrawnPoints.resize(size_t(Obj.DrawnPointsAlloc));
          }
          Obj.DrawnPointsCount = Obj.PolyPointsCount;
          double sx, sy;
          GetPolylineScale(Obj, sx, sy);
          std::vector<platform::TPoint> pts(size_t(Obj.PolyPointsCount));
          for (int32_t i = 0; i < Obj.PolyPointsCount; ++i) {
            const TRVPoint& p = Obj.PolyPoints[size_t(i)];
            pts[size_t(i)].X = XBmpToDraw(RoundInt((static_cast<long double>(p.x) - Obj.PolyBaseX1) * sx + Obj.X1),
                                          UseZoom, Factor);
            pts[size_t(i)].Y = YBmpToDraw(RoundInt((static_cast<long double>(p.y) - Obj.PolyBaseY1) * sy + Obj.Y1),
                                          UseZoom, Factor);
            Obj.DrawnPoints[size_t(i)] = {pts[size_t(i)].X / Factor, pts[size_t(i)].Y / Factor};
          }
          if (Obj.PolylineClosed)
            c.Polygon(pts);
          else
            c.Polyline(pts);
        }
        Include(Obj.DrawnRect, x1d, y1d);
        Include(Obj.DrawnRect, x2d, y2d);
        break;
      }
      case rvkEXTENDED:
        // Extended objects draw themselves once the object streams' registry provides them.
        Include(Obj.DrawnRect, x1d, y1d);
        Include(Obj.DrawnRect, x2d, y2d);
        break;
      default:
        break;
    }
    ++DrawnObjectsCount;
  }
  if (OnAfterDrawObject) {
    OnAfterDrawObject(this, hobj, Target, destRect, drawingAlpha, handled);
    Include(Obj.DrawnRect, x1d, y1d);
    Include(Obj.DrawnRect, x2d, y2d);
  }
  return true;
}

// ---------------------------------------------------------------- paint hooks

void TRastovaVect::PaintControl() {
  const bool down = PrimaryButtonProbe ? PrimaryButtonProbe() : QGuiApplication::mouseButtons() & Qt::LeftButton;
  if (!QualityTimer->Enabled() && !FastDrawing && down) {
    FastDrawing = true;
    QualityTimer->SetEnabled(true);
  }
  const bool whole = FRepaintAll;
  TRastovaView::PaintControl();
  RedrawRubber(whole);
  if (HintBackground) HintBackground->SetSize(1, HintBackground->Height());
  if (FDelayScrollCountdown == 0) DrawMeasureHint(-1000000, -1000000);
}

void TRastovaVect::QualityTimerTick() {
  const bool down = PrimaryButtonProbe ? PrimaryButtonProbe() : QGuiApplication::mouseButtons() & Qt::LeftButton;
  if (down) return;
  QualityTimer->SetEnabled(false);
  FastDrawing = false;
  Update();
}

void TRastovaVect::DrawLayersTo(TRVBitmap* Dest, TRVRowTable* RowTable, bool DrawMarks, bool DrawBackground,
                                const platform::TRect* ClipRect) {
  TRastovaView::DrawLayersTo(Dest, RowTable, DrawMarks, DrawBackground, ClipRect);
  if (!Dest) return;
  if (DrawMarks || DrawBackground || !Objects.empty())
    if (platform::TBitmap* b = Dest->BitmapView()) DrawObjectsOnBackBuffer(b);
}

void TRastovaVect::DrawObjectsOnBackBuffer(platform::TBitmap* Target) {
  DrawnObjectsCount = 0;
  DrawObjectsToBitmap(nullptr, false, Target, FObjAntialias, kObjAll);
  DrawSelectionGrips(Target->Canvas());
  if (ObjectInteract & rvoiEditPolylinePoints) DrawPolylinePointMarkers(Target->Canvas());
}

void TRastovaVect::DrawPolylinePointMarkers(platform::TCanvas& Canvas) {
  if (SelObjectsCount() != 1) return;
  const TRVVObjRecord* o = GetObj(SelObjects[0]);
  if (!o || o->Kind != rvkPOLYLINE) return;
  Canvas.Brush.Color = platform::clRed;
  Canvas.Brush.Style = platform::bsSolid;
  Canvas.Pen.Color = platform::clBlack;
  Canvas.Pen.Style = platform::psSolid;
  Canvas.Pen.Mode = platform::pmCopy;
  Canvas.Pen.Width = 1;
  for (int32_t i = 0; i < o->DrawnPointsCount; ++i) {
    const TRVPoint& p = o->DrawnPoints[size_t(i)];
    Canvas.Ellipse(p.x - 3, p.y - 3, p.x + 3, p.y + 3);
  }
}

void TRastovaVect::CopyObjectsToBack(bool Antialias) {
  if (!FRVBitmap) return;
  DrawObjectsToRVBitmap(FRVBitmap, Antialias, kObjAll);
  Update();
  ImageChange();
}

void TRastovaVect::DrawObjectsToRVBitmap(TRVBitmap* Bitmap, bool Antialias, int32_t hobj) {
  if (!Bitmap || Bitmap->GetWidth() <= 0 || Bitmap->GetHeight() <= 0) return;
  const bool savedAA = AntialiasedDrawing, savedFast = FastDrawing;
  AntialiasedDrawing = Antialias;
  FastDrawing = false;
  if (Bitmap->GetPixelFormat() == rv24RGB && Bitmap->PlatformBitmap()) {
    DrawObjectsToBitmap(Bitmap, true, Bitmap->BitmapView(), Antialias, hobj);
  } else {
    TRVBitmap work;
    work.AssignImage(*Bitmap);
    const TRVPixelFormat former = Bitmap->GetPixelFormat();
    work.ConvertToPixelFormat(rv24RGB);
    work.SetLocation(rvTBitmap);
    DrawObjectsToBitmap(&work, true, work.BitmapView(), Antialias, hobj);
    work.SetLocation(rvInMemory);
    if (former != rv24RGB) work.ConvertToPixelFormat(former);
    Bitmap->AssignImage(work);
  }
  AntialiasedDrawing = savedAA;
  FastDrawing = savedFast;
}

void TRastovaVect::GetObjectsExtents(platform::TRect& Rect) {
  Rect = platform::TRect{0, 0, 0, 0};
  for (const TRVVObjRecord& o : Objects) {
    Rect.Right = std::max(Rect.Right, common::SaturateInt32(int64_t(std::max(o.X1, o.X2)) + 1));
    Rect.Bottom = std::max(Rect.Bottom, common::SaturateInt32(int64_t(std::max(o.Y1, o.Y2)) + 1));
  }
}

void TRastovaVect::WriteObjAntialias(bool Value) {
  if (Value == FObjAntialias) return;
  FObjAntialias = Value;
  Update();
}

void TRastovaVect::WriteBitmapResampleFilter(TResampleFilter Value) {
  FBitmapResampleFilter = Value;
  Update();
}

void TRastovaVect::WriteZoomObjectsWidth(bool Value) {
  FZoomObjectsWidth = Value;
  Update();
}

}  // namespace rv
