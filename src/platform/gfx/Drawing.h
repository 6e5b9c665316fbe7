#pragma once
// TDrawing: the vector drawing the editor panes paint with, in the manner of the window
// system's two 2D pipelines (the classic "GDI+" one and the newer "Direct2D" one): colours with
// an alpha (ARGB), single-precision coordinates, pens of any width, translucent fills, and
// bitmaps stretched into a rectangle.
//
// Coordinates are pixels of the target with the pixel (x, y) covering [x, x+1) x [y, y+1), so
// its centre is (x + 0.5, y + 0.5). Strokes are centred on their path and end flat. Every
// primitive is drawn with the antialiasing mode set last: on, its edges are smoothed; off, it
// is drawn aliased.
//
// Two implementations: TPainterDrawing (PainterDrawing.h) draws through QPainter on a bitmap,
// TRecordingDrawing (RecordingDrawing.h) records every call with its colours and widths and may
// pass it on to another drawing.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace platform {

class TBitmap;

// Alpha in the top byte, then red, green and blue (the order the "GDI+" pipeline uses).
using TArgb = uint32_t;

constexpr TArgb Argb(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
  return (static_cast<uint32_t>(a) << 24) | (static_cast<uint32_t>(r) << 16) |
         (static_cast<uint32_t>(g) << 8) | b;
}
constexpr uint8_t ArgbAlpha(TArgb c) { return static_cast<uint8_t>(c >> 24); }

struct TPointF {
  float X = 0;
  float Y = 0;
  friend bool operator==(const TPointF&, const TPointF&) = default;
};

// Left and top edges included, right and bottom excluded, as for TRect.
struct TRectF {
  float Left = 0;
  float Top = 0;
  float Right = 0;
  float Bottom = 0;
  float Width() const { return Right - Left; }
  float Height() const { return Bottom - Top; }
  friend bool operator==(const TRectF&, const TRectF&) = default;
};

class TDrawing {
 public:
  virtual ~TDrawing() = default;

  // Antialiasing of the primitives that follow; off at the start.
  virtual void SetAntialias(bool on) = 0;
  // Every pixel becomes `color` (not blended; the targets have no alpha, so its alpha is ignored).
  virtual void Clear(TArgb color) = 0;

  virtual void Line(TPointF a, TPointF b, TArgb color, float width) = 0;
  // Separate segments of one pen: points 2k and 2k + 1 are the ends of segment k (a last
  // unpaired point is ignored).
  virtual void Lines(std::span<const TPointF> ends, TArgb color, float width) = 0;
  // Joined segments through the points, open at the ends.
  virtual void Polyline(std::span<const TPointF> points, TArgb color, float width) = 0;
  // A closed polygon: filled (non-zero winding, each pixel blended once) or outlined.
  virtual void FillPolygon(std::span<const TPointF> points, TArgb color) = 0;
  virtual void OutlinePolygon(std::span<const TPointF> points, TArgb color, float width) = 0;
  virtual void FillRect(const TRectF& r, TArgb color) = 0;
  // The outline runs along the rectangle's edges (Left, Top) to (Right, Bottom).
  virtual void OutlineRect(const TRectF& r, TArgb color, float width) = 0;
  // The ellipse inscribed in `r`.
  virtual void FillEllipse(const TRectF& r, TArgb color) = 0;
  virtual void OutlineEllipse(const TRectF& r, TArgb color, float width) = 0;
  // The whole bitmap stretched over `dest` with smooth (linear or better) scaling, blended
  // with `opacity` (0..1). A pf32bit or pf24bit bitmap is drawn without a conversion.
  virtual void DrawBitmap(const TBitmap& bitmap, const TRectF& dest, float opacity) = 0;
  // UTF-8 text centred in `box`, in the font `fontName` (drawn with its stand-in, see
  // StandInFontFamily) of `pixelHeight` pixels. Needs a running QGuiApplication.
  virtual void Text(const TRectF& box, std::string_view text, TArgb color, const std::string& fontName,
                    float pixelHeight) = 0;
};

}  // namespace platform
