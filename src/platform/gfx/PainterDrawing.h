#pragma once
// TPainterDrawing: TDrawing (Drawing.h) through one QPainter held open on a bitmap's pixels for
// the drawing's whole life, so a paint of many primitives pays for the painter once. Pens and
// brushes are set only when a primitive needs another one than the last.
#include <QImage>
#include <QPainter>

#include "platform/gfx/Drawing.h"

namespace platform {

class TPainterDrawing : public TDrawing {
 public:
  // Draws on a pf32bit or pf24bit bitmap (EInvalidGraphicOperation for any other format or an
  // empty bitmap). The bitmap must not be resized or drawn on otherwise until End.
  explicit TPainterDrawing(TBitmap& target);
  ~TPainterDrawing() override;
  TPainterDrawing(const TPainterDrawing&) = delete;
  TPainterDrawing& operator=(const TPainterDrawing&) = delete;

  // Finishes the drawing (the destructor does it too); later calls draw nothing.
  void End();

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
  void UsePen(TArgb color, float width);
  void UseBrush(TArgb color);
  const QPointF* Points(std::span<const TPointF> points);

  QImage image_;
  QPainter painter_;
  bool antialias_ = false;
  // What the painter holds now: a pen (no brush) or a brush (no pen).
  enum class TTool : uint8_t { None, Pen, Brush } tool_ = TTool::None;
  TArgb toolColor_ = 0;
  float toolWidth_ = 0;
  // The pens made last, kept for reuse.
  struct TPenSlot {
    bool Made = false;
    TArgb Color = 0;
    float Width = 0;
    QPen Pen;
  };
  static constexpr int kPenSlots = 8;
  TPenSlot pens_[kPenSlots];
  int nextPen_ = 0;
};

}  // namespace platform
