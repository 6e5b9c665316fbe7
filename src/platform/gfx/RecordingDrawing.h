#pragma once
// TRecordingDrawing: a TDrawing (Drawing.h) that keeps every call, with its points, colours,
// widths and opacities, in the order made, and passes it on to another drawing when one is
// given. Tests read the record to see what a painter drew with which pen.
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/Drawing.h"

namespace platform {

struct TDrawCall {
  enum TKind : uint8_t {
    Antialias,
    Clear,
    Line,
    Lines,
    Polyline,
    FillPolygon,
    OutlinePolygon,
    FillRect,
    OutlineRect,
    FillEllipse,
    OutlineEllipse,
    Bitmap,
    Text
  };
  TKind Kind = Clear;
  TArgb Color = 0;
  float Width = 0;                  // strokes only
  bool On = false;                  // Antialias only
  float Opacity = 1;                // Bitmap only
  std::vector<TPointF> Points;      // lines and polygons
  TRectF Rect;                      // rectangles, ellipses, bitmaps, text
  const TBitmap* Source = nullptr;  // Bitmap only
  std::string String;               // Text: the text
  std::string Font;                 // Text: the font name
  float Height = 0;                 // Text: the pixel height
  // Whether the call fills (a brush) rather than strokes (a pen).
  bool Fills() const { return Kind == FillPolygon || Kind == FillRect || Kind == FillEllipse; }
};

class TRecordingDrawing : public TDrawing {
 public:
  // `forward`: the drawing every call is passed on to (not owned; may be null).
  explicit TRecordingDrawing(TDrawing* forward = nullptr) : forward_(forward) {}

  std::vector<TDrawCall> Calls;

  void SetAntialias(bool on) override;
  void Clear(TArgb color) override;
  void Line(TPointF a, TPointF b, TArgb color, float width) override;
  void Lines(std::span<const TPointF> ends, TArgb color, float width) override;
  void Polyline(std::span<const TPointF> points, TArgb color, float width) override;
  void FillPolygon(std::span<const TPointF> points, TArgb color) override;
  void OutlinePolygon(std::span<const TPointF> points, TArgb color, float width) override;
  void FillRect(const TRectF& r, TArgb color) override;
  void OutlineRect(const TRectF& r, TArgb color, float width) override;
  void FillEllipse(const TRectF& r, TArgb color) override;
  void OutlineEllipse(const TRectF& r, TArgb color, float width) override;
  void DrawBitmap(const TBitmap& bitmap, const TRectF& dest, float opacity) override;
  void Text(const TRectF& box, std::string_view text, TArgb color, const std::string& fontName,
            float pixelHeight) override;

 private:
  TDrawCall& Add(TDrawCall::TKind kind, TArgb color, float width);

  TDrawing* forward_;
};

}  // namespace platform
