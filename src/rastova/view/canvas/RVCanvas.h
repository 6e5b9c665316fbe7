#pragma once
// The anti-aliased canvas of the image library's overlays (vector objects, rulers, the text
// editor, layer and selection frames): TRVCanvas has the drawing calls of platform::TCanvas and
// draws each shape either through the smoothing painter (anti-aliased when asked, with pen and
// brush opacity, dash styles and line joins) or, on the plain path, through the wrapped canvas
// (aliased, with its raster-op pen modes). Text always goes to the wrapped canvas.
//
// The smoothing painter is a binding counted by its users: every image view loads it when it is
// made and releases it when it is destroyed. It is QPainter, kept open from call to call on a
// 32-bit copy of the part of the wrapped bitmap each call reaches, which goes back to the bitmap
// at the end of the call (24- and 32-bit bitmaps; a canvas on an indexed bitmap draws plain).
#include <QBrush>
#include <QColor>
#include <QPen>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/gfx/Canvas.h"
#include "platform/gfx/Types.h"

namespace rv {

// ---------------------------------------------------------------------------------------
// The binding (one per process; user-interface thread only).

// Whether the smoothing painter may be used at all; set by InitGdiPlusBinding.
extern bool GdiPlusEnabled;

// GdiPlusEnabled := True, not loaded, no users. The image library's start-up runs it.
void InitGdiPlusBinding();
// One more user; loads the binding when it is not loaded and GdiPlusEnabled is set.
void LoadGdiPlus();
// One user less (never below 0); the last one unloads the binding.
void UnloadGdiPlus();
bool GdiPlusLoaded();
// GdiPlusEnabled and GdiPlusLoaded: canvases made now draw through the smoothing painter.
bool GdiPlusAvailable();
// The users counted.
int32_t GdiPlusUserCount();
// For tests: while set, loading finds no binding (as when the library is missing), so
// GdiPlusAvailable stays False and every canvas draws plain. Unloads a binding already loaded.
void SetGdiPlusMissingForTesting(bool missing);

// The smoothing modes; the painter smooths edges in SmoothingModeAntiAlias (and high quality).
enum TRVSmoothingMode : uint8_t {
  SmoothingModeInvalid,
  SmoothingModeDefault,
  SmoothingModeHighSpeed,
  SmoothingModeHighQuality,
  SmoothingModeNone,
  SmoothingModeAntiAlias
};

// The line joins of a smoothing pen.
constexpr uint8_t LineJoinMiter = 0, LineJoinBevel = 1, LineJoinRound = 2, LineJoinMiterClipped = 3;

// ---------------------------------------------------------------------------------------

// A pen that mirrors every setting into the wrapped canvas's pen and, while the binding is
// available, into a smoothing pen. Created from a canvas pen (not owned).
class TRVPen {
 public:
  explicit TRVPen(platform::TPen& Pen);
  TRVPen(const TRVPen&) = delete;
  TRVPen& operator=(const TRVPen&) = delete;

  platform::TColor Color() const { return color_; }
  void SetColor(platform::TColor Value);
  // Opacity 0..255 (255 at creation); the smoothing pen only.
  int32_t Transparency() const { return transparency_; }
  void SetTransparency(int32_t Value);
  // The wrapped pen takes the width truncated to whole pixels.
  float Width() const { return width_; }
  void SetWidth(float Value);
  platform::TPenStyle Style() const { return style_; }
  void SetStyle(platform::TPenStyle Value);
  // The wrapped pen's raster operation; the smoothing painter always draws over.
  platform::TPenMode Mode() const { return mode_; }
  void SetMode(platform::TPenMode Value);
  // LineJoinMiter .. LineJoinMiterClipped; LineJoinRound at creation.
  uint8_t LineJoin() const { return lineJoin_; }
  void SetLineJoin(uint8_t Value);
  // Round ends on the smoothing pen (flat at creation); the wrapped pen draws wide lines with
  // round ends already.
  void SetRoundCap(bool Value);
  // Replaces the wrapped pen's settings (the window system's pen handle) and nothing else.
  void SetHandle(const platform::TPen& Value);

  // The smoothing pen; built only while the binding is available (HasQtPen).
  bool HasQtPen() const { return built_; }
  const QPen& QtPen() const { return qpen_; }

 private:
  friend class TRVCanvas;
  void Build();
  void ApplyColor();
  void ApplyStyle();
  void ApplyLineJoin();

  platform::TPen& pen_;
  platform::TColor color_;
  int32_t transparency_ = 255;
  float width_;
  platform::TPenStyle style_;
  platform::TPenMode mode_;
  uint8_t lineJoin_ = LineJoinRound;
  bool roundCap_ = false;
  bool built_ = false;
  QPen qpen_;
};

// A brush that mirrors its settings into the wrapped canvas's brush and, while the binding is
// available, into a smoothing brush. Hatch styles draw their lines in Color over BackColor at
// BackTransparency (0 at creation: the background shows through).
class TRVBrush {
 public:
  explicit TRVBrush(platform::TBrush& Brush);
  TRVBrush(const TRVBrush&) = delete;
  TRVBrush& operator=(const TRVBrush&) = delete;

  platform::TColor Color() const { return color_; }
  void SetColor(platform::TColor Value);
  int32_t Transparency() const { return transparency_; }
  void SetTransparency(int32_t Value);
  platform::TBrushStyle Style() const { return style_; }
  void SetStyle(platform::TBrushStyle Value);
  // Plain fields: they count at the brush's next rebuild (a change of Color, Transparency or
  // Style).
  platform::TColor BackColor = 0;
  int32_t BackTransparency = 0;

  bool HasQtBrush() const { return built_; }
  // The smoothing brush: solid, clear (transparent) or a hatch pattern in Color.
  const QBrush& QtBrush() const { return qbrush_; }
  // The background of a hatch brush (transparent for solid and clear brushes).
  const QColor& QtBackColor() const { return qback_; }

 private:
  void Build();

  platform::TBrush& brush_;
  platform::TColor color_;
  int32_t transparency_ = 255;
  platform::TBrushStyle style_;
  bool built_ = false;
  QBrush qbrush_;
  QColor qback_;
};

// The canvas. Made around a platform canvas for one drawing pass and destroyed at its end; the
// wrapped canvas and its bitmap must outlive it and keep their size meanwhile. Coordinates are
// device pixels. Drawing through the smoothing painter respects the wrapped canvas's clip region
// and reports what it changed through the wrapped canvas's OnChange (so a window surface shows
// it).
class TRVCanvas {
 public:
  // UseGDIPlus asks for the smoothing painter; it is used when the binding is available and the
  // bitmap is of 24 or 32 bits. AntiAlias chooses SmoothingModeAntiAlias, else high speed.
  TRVCanvas(platform::TCanvas& Canvas, bool AntiAlias, bool UseGDIPlus);
  ~TRVCanvas();
  TRVCanvas(const TRVCanvas&) = delete;
  TRVCanvas& operator=(const TRVCanvas&) = delete;

  // The wrapped canvas (the window system's device context).
  platform::TCanvas& Handle() { return canvas_; }
  // Whether this canvas draws through the smoothing painter (fixed at creation).
  bool UsesGdiPlus() const { return gdiPlus_; }

  // The smoothing painter only; a plain canvas ignores it.
  TRVSmoothingMode SmoothingMode() const { return smoothingMode_; }
  void SetSmoothingMode(TRVSmoothingMode Value);

  platform::TPoint PenPos() const { return penPos_; }
  void SetPenPos(platform::TPoint P);
  void MoveTo(int32_t X, int32_t Y);
  void LineTo(int32_t X, int32_t Y);
  // A line with both end points (the plain path draws a two-point polygon); the pen position
  // stays.
  void DrawLine(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  // The smoothing painter fills (Left, Top) .. (Right - 1, Bottom - 1) with the corners put in
  // order: one pixel narrower and lower than the plain fill.
  void FillRect(const platform::TRect& Rect);
  void Rectangle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  void Rectangle(const platform::TRect& Rect);
  void Ellipse(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  void Ellipse(const platform::TRect& Rect);
  // The smoothing painter outlines first, then fills (alternate rule).
  void Polygon(std::span<const platform::TPoint> Points);
  void Polyline(std::span<const platform::TPoint> Points);
  // The arc of the ellipse in (X1, Y1)-(X2, Y2) counter-clockwise from the ray through (X3, Y3)
  // to the ray through (X4, Y4).
  void Arc(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3, int32_t X4, int32_t Y4);
  // Corner ellipses of X3 x Y3, clamped to the rectangle's size on the smoothing path.
  void RoundRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3);

  int32_t TextWidth(std::string_view Text);
  int32_t TextHeight(std::string_view Text);
  void TextOut(int32_t X, int32_t Y, std::string_view Text);
  void TextRect(const platform::TRect& Rect, int32_t X, int32_t Y, std::string_view Text);
  // Text clipped to Rect with the wrapped canvas's TextFlags, never filling the background; a
  // right-to-left text on a right-to-left canvas starts its text width + 1 further right.
  void TextRectEx(const platform::TRect& Rect, int32_t X, int32_t Y, std::string_view Text);

  platform::TFont& Font() { return canvas_.Font; }
  TRVPen& Pen() { return pen_; }
  TRVBrush& Brush() { return brush_; }

 private:
  class Painter;

  platform::TCanvas& canvas_;
  TRVPen pen_;
  platform::TPoint penPos_;
  TRVBrush brush_;
  bool gdiPlus_ = false;
  TRVSmoothingMode smoothingMode_ = SmoothingModeHighSpeed;
};

// The box the smoothing painter draws an ellipse in for the box (L, T, R, B) and a pen of
// PenWidth: unchanged for a width of exactly 1; otherwise, with e the half width rounded, a box
// narrower or lower than e + 1 becomes one about 2 e across around its first corner, so a tiny
// ellipse is drawn at least as large as the pen.
void AdjustEllipseBox(int32_t& L, int32_t& T, int32_t& R, int32_t& B, float PenWidth);

// The window-system colour as a QColor with the given opacity (0..255, clamped).
QColor ColorWithOpacity(platform::TColor Color, int32_t Opacity);

}  // namespace rv
