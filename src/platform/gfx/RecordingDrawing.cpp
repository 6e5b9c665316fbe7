#include "platform/gfx/RecordingDrawing.h"

namespace platform {

TDrawCall& TRecordingDrawing::Add(TDrawCall::TKind kind, TArgb color, float width) {
  TDrawCall& c = Calls.emplace_back();
  c.Kind = kind;
  c.Color = color;
  c.Width = width;
  return c;
}

void TRecordingDrawing::SetAntialias(bool on) {
  Add(TDrawCall::Antialias, 0, 0).On = on;
  if (forward_) forward_->SetAntialias(on);
}

void TRecordingDrawing::Clear(TArgb color) {
  Add(TDrawCall::Clear, color, 0);
  if (forward_) forward_->Clear(color);
}

void TRecordingDrawing::Line(TPointF a, TPointF b, TArgb color, float width) {
  Add(TDrawCall::Line, color, width).Points = {a, b};
  if (forward_) forward_->Line(a, b, color, width);
}

void TRecordingDrawing::Lines(std::span<const TPointF> ends, TArgb color, float width) {
  Add(TDrawCall::Lines, color, width).Points.assign(ends.begin(), ends.end());
  if (forward_) forward_->Lines(ends, color, width);
}

void TRecordingDrawing::Polyline(std::span<const TPointF> points, TArgb color, float width) {
  Add(TDrawCall::Polyline, color, width).Points.assign(points.begin(), points.end());
  if (forward_) forward_->Polyline(points, color, width);
}

void TRecordingDrawing::FillPolygon(std::span<const TPointF> points, TArgb color) {
  Add(TDrawCall::FillPolygon, color, 0).Points.assign(points.begin(), points.end());
  if (forward_) forward_->FillPolygon(points, color);
}

void TRecordingDrawing::OutlinePolygon(std::span<const TPointF> points, TArgb color, float width) {
  Add(TDrawCall::OutlinePolygon, color, width).Points.assign(points.begin(), points.end());
  if (forward_) forward_->OutlinePolygon(points, color, width);
}

void TRecordingDrawing::FillRect(const TRectF& r, TArgb color) {
  Add(TDrawCall::FillRect, color, 0).Rect = r;
  if (forward_) forward_->FillRect(r, color);
}

void TRecordingDrawing::OutlineRect(const TRectF& r, TArgb color, float width) {
  Add(TDrawCall::OutlineRect, color, width).Rect = r;
  if (forward_) forward_->OutlineRect(r, color, width);
}

void TRecordingDrawing::FillEllipse(const TRectF& r, TArgb color) {
  Add(TDrawCall::FillEllipse, color, 0).Rect = r;
  if (forward_) forward_->FillEllipse(r, color);
}

void TRecordingDrawing::OutlineEllipse(const TRectF& r, TArgb color, float width) {
  Add(TDrawCall::OutlineEllipse, color, width).Rect = r;
  if (forward_) forward_->OutlineEllipse(r, color, width);
}

void TRecordingDrawing::DrawBitmap(const TBitmap& bitmap, const TRectF& dest, float opacity) {
  TDrawCall& c = Add(TDrawCall::Bitmap, 0, 0);
  c.Rect = dest;
  c.Opacity = opacity;
  c.Source = &bitmap;
  if (forward_) forward_->DrawBitmap(bitmap, dest, opacity);
}

void TRecordingDrawing::Text(const TRectF& box, std::string_view text, TArgb color,
                             const std::string& fontName, float pixelHeight) {
  TDrawCall& c = Add(TDrawCall::Text, color, 0);
  c.Rect = box;
  c.String = std::string(text);
  c.Font = fontName;
  c.Height = pixelHeight;
  if (forward_) forward_->Text(box, text, color, fontName, pixelHeight);
}

}  // namespace platform
