// TScBase: painting a shape editor's pane through one of the two pipelines, the common steps
// (background, translucent surface, cube or grid, axes), the selection and warp frames and the
// point marks the editors draw their points with.
//
// Both pipelines paint through TDrawing (PaneDrawing.h); they differ in antialiasing and in
// the colours and opacities of the common steps. Colours are ARGB; a "Direct2D" opacity n/255
// is the alpha n.
#include <algorithm>

#include "editor/panes/PaneDrawing.h"
#include "editor/panes/ScBase.h"
#include "settings/AppSettings.h"
#include "shape/model/uScColor.h"

namespace editor {

using platform::Argb;
using platform::TArgb;
using platform::TDrawing;
using platform::TPointF;
using platform::TRectF;

namespace {

constexpr TArgb kOpaqueWhite = 0xFFFFFFFF;
constexpr TArgb kOpaqueBlack = 0xFF000000;
constexpr TArgb kYellow = 0xFFFFFF00;
constexpr TArgb kCyan = 0xFF00FFFF;
constexpr double kCubeLow = -0.9921875;
constexpr double kCubeHigh = 1.0;

int32_t PointerSize() { return settings::AppSettings.PointerSize; }

TRectF Square(TPointF c, float half) { return {c.X - half, c.Y - half, c.X + half, c.Y + half}; }

TPointF Middle(TPointF a, TPointF b) { return {(a.X + b.X) / 2, (a.Y + b.Y) / 2}; }

}  // namespace

// The pens and brushes of the selection frame and of the warp frame in one pipeline.
struct TScBase::TFrameStyle {
  TArgb Outline;        // the frame's outline, width 3
  TArgb HandleOutline;  // handles and pivot, width 1
  TArgb HandleFill;
};

struct TScBase::TWarpStyle {
  TArgb Committed;  // R0's outline, width 3
  TArgb Arm;        // corner to handle, width 2
  TArgb Handle;     // the filled corner squares and handle circles
};

// ---------------------------------------------------------------------------------------
// Painter choice and the two painters

void TScBase::ChoosePainters() {
  const bool simplified = settings::AppSettings.SimplifiedDisplay;
  if (UseDirect2DPipeline()) {
    Painter = [this, simplified](TCS& s, TImage& i) { PaintD2D(s, i, true, simplified); };
    if (simplified)
      QuickPainter = [this](TCS& s, TImage& i) { PaintD2D(s, i, false, true); };
    else
      QuickPainter = Painter;
  } else {
    Painter = [this](TCS& s, TImage& i) { PaintGdiPlus(s, i, true); };
    QuickPainter = [this, simplified](TCS& s, TImage& i) { PaintGdiPlus(s, i, !simplified); };
  }
}

void TScBase::PaintGdiPlus(TCS& Shape, TImage& Image, bool WithSurface) {
  PaintPane(Shape, Image, false, WithSurface, true);
}

void TScBase::PaintD2D(TCS& Shape, TImage& Image, bool WithSurface, bool Aliased) {
  PaintPane(Shape, Image, true, WithSurface, Aliased);
}

void TScBase::PaintPane(TCS& Shape, TImage& Image, bool D2D, bool WithSurface, bool Aliased) {
  platform::TBitmap& surface = Image.Surface();
  if (surface.Empty()) return;
  {
    std::unique_ptr<TDrawing> drawing = CreatePaneDrawing(surface);
    TDrawing& g = *drawing;
    g.SetAntialias(D2D && !Aliased);
    g.Clear(kOpaqueWhite);
    if (D2D) {
      if (ShowBackground) DrawBackgroundD2D(g);
      if (WithSurface) DrawSurfaceD2D(Shape, g);
      if (SnapGrid > 0)
        DrawGridD2D(g);
      else
        DrawCubeD2D(g);
      DrawAxesD2D(g);
      DrawShapeD2D(Shape, g);
      if (FramePainterD2D) FramePainterD2D(Shape, g);
    } else {
      if (ShowBackground) DrawBackgroundGdiPlus(g);
      if (WithSurface) DrawSurfaceGdiPlus(Shape, g);
      if (SnapGrid > 0)
        DrawGridGdiPlus(g);
      else
        DrawCubeGdiPlus(g);
      DrawAxesGdiPlus(g);
      DrawShapeGdiPlus(Shape, g);
      if (FramePainter) FramePainter(Shape, g);
    }
  }
  Image.SurfaceChanged(Image.ClientRect());
}

// ---------------------------------------------------------------------------------------
// Common steps

void TScBase::DrawBitmapGdiPlus(TDrawing& Graphics, const platform::TBitmap& Bitmap) {
  Graphics.DrawBitmap(Bitmap, CubeRectGdiPlus(), 1.0f);
}

void TScBase::DrawBitmapD2D(TDrawing& Canvas, const platform::TBitmap& Bitmap) {
  Canvas.DrawBitmap(Bitmap, CubeRectD2D(), 1.0f);
}

void TScBase::DrawBackgroundGdiPlus(TDrawing& Graphics) {
  if (BackgroundBitmap.Width() > 0) DrawBitmapGdiPlus(Graphics, BackgroundBitmap);
}

void TScBase::DrawBackgroundD2D(TDrawing& Canvas) {
  if (BackgroundBitmap.Width() > 0) DrawBitmapD2D(Canvas, BackgroundBitmap);
}

void TScBase::DrawSurfaceGdiPlus(TCS& Shape, TDrawing& Graphics) {
  DrawSurfaceWith(Shape, Graphics, 0x18181818);
}
void TScBase::DrawSurfaceD2D(TCS& Shape, TDrawing& Canvas) {
  DrawSurfaceWith(Shape, Canvas, Argb(20, 0, 0, 0));
}
void TScBase::DrawCubeGdiPlus(TDrawing& Graphics) { DrawCubeWith(Graphics, 0x40404040); }
void TScBase::DrawCubeD2D(TDrawing& Canvas) { DrawCubeWith(Canvas, ColorToArgb(platform::clSilver, 128)); }
void TScBase::DrawGridGdiPlus(TDrawing& Graphics) { DrawGridWith(Graphics, 0x80404040); }
void TScBase::DrawGridD2D(TDrawing& Canvas) { DrawGridWith(Canvas, ColorToArgb(platform::clSilver, 128)); }
void TScBase::DrawAxesGdiPlus(TDrawing& Graphics) { DrawAxesWith(Graphics, 128); }
void TScBase::DrawAxesD2D(TDrawing& Canvas) { DrawAxesWith(Canvas, 200); }

// Every cell of the grid at the "View Level" step, filled on its own so overlaps darken.
// Each point is taken to the screen once, though it is a corner of up to four cells.
void TScBase::DrawSurfaceWith(const TCS& Shape, TDrawing& Drawing, TArgb Color) {
  const int32_t s = std::max(1, settings::AppSettings.ViewLevel);
  if (s > Shape.CPMaxI - 1 || s > Shape.CPMaxJ - 1) return;
  GridToScreenF(Shape, screenPoints_);
  const int32_t nj = Shape.CPMaxJ;
  auto at = [&](int32_t i, int32_t j) { return screenPoints_[static_cast<size_t>(i) * nj + j]; };
  TPointF quad[4];
  for (int32_t i = 0; i + s <= Shape.CPMaxI - 1; i += s)
    for (int32_t j = 0; j + s <= Shape.CPMaxJ - 1; j += s) {
      quad[0] = at(i, j);
      quad[1] = at(i + s, j);
      quad[2] = at(i + s, j + s);
      quad[3] = at(i, j + s);
      Drawing.FillPolygon(quad, Color);
    }
}

// The twelve edges of the modelling box.
void TScBase::DrawCubeWith(TDrawing& Drawing, TArgb Color) {
  auto corner = [&](int k) {
    const TDbl3D p{
        {(k & 1) ? kCubeHigh : kCubeLow, (k & 2) ? kCubeHigh : kCubeLow, (k & 4) ? kCubeHigh : kCubeLow}};
    return PointToScreenF(p);
  };
  TPointF ends[24];
  int n = 0;
  for (int k = 0; k < 8; ++k)
    for (int bit = 1; bit < 8; bit <<= 1)
      if (!(k & bit)) {
        ends[n++] = corner(k);
        ends[n++] = corner(k | bit);
      }
  Drawing.Lines(ends, Color, 1);
}

// n + 1 lines each way across the pane square, n = 256 div "Grid".
void TScBase::DrawGridWith(TDrawing& Drawing, TArgb Color) {
  if (SnapGrid <= 0) return;
  const int32_t n = 256 / SnapGrid;
  std::vector<TPointF> ends;
  ends.reserve(4 * (static_cast<size_t>(n) + 1));
  for (int32_t k = 0; k <= n; ++k) {
    const double c = 2.0 * k / n - 1;
    ends.push_back(ToScreenF({{c, -1}}));
    ends.push_back(ToScreenF({{c, 1}}));
  }
  for (int32_t k = 0; k <= n; ++k) {
    const double c = 2.0 * k / n - 1;
    ends.push_back(ToScreenF({{-1, c}}));
    ends.push_back(ToScreenF({{1, c}}));
  }
  Drawing.Lines(ends, Color, 1);
}

// From the origin to +2 and to -2 on each axis, each half in its colour.
void TScBase::DrawAxesWith(TDrawing& Drawing, uint8_t Alpha) {
  const TPointF origin = PointToScreenF({{0, 0, 0}});
  for (int axis = 0; axis < 3; ++axis) {
    TDbl3D end{{0, 0, 0}};
    end[axis] = 2;
    Drawing.Line(origin, PointToScreenF(end), ColorToArgb(AxisColors[axis].Positive, Alpha), 1);
    end[axis] = -2;
    Drawing.Line(origin, PointToScreenF(end), ColorToArgb(AxisColors[axis].Negative, Alpha), 1);
  }
}

// ---------------------------------------------------------------------------------------
// Frames

void TScBase::DrawFrameGdiPlus(TCS& Shape, TDrawing& Graphics) {
  DrawFrameWith(Shape, Graphics, {0x80808080, 0x80000000, 0xEEFFFFFF});
}

void TScBase::DrawFrameD2D(TCS& Shape, TDrawing& Canvas) {
  DrawFrameWith(Shape, Canvas, {Argb(128, 0, 0, 0), kOpaqueBlack, kOpaqueWhite});
}

void TScBase::DrawFrameWith(const TCS& Shape, TDrawing& Drawing, const TFrameStyle& Style) {
  if (Shape.Count < 2) return;
  const TRengeD& f = Shape.R1;
  const TPointF r00 = ToScreenF(f.r00), r01 = ToScreenF(f.r01), r10 = ToScreenF(f.r10),
                r11 = ToScreenF(f.r11);
  const TPointF outline[4] = {r00, r01, r11, r10};
  Drawing.OutlinePolygon(outline, Style.Outline, 3);
  const float p = static_cast<float>(PointerSize());
  Drawing.OutlineRect(Square(ToScreenF(f.rp), p), Style.HandleOutline, 1);
  const TPointF handles[8] = {
      Middle(r00, r01), Middle(r01, r11), Middle(r11, r10), Middle(r10, r00), r00, r01, r10, r11};
  for (const TPointF& h : handles) {
    Drawing.FillRect(Square(h, p), Style.HandleFill);
    Drawing.OutlineRect(Square(h, p), Style.HandleOutline, 1);
  }
}

void TScBase::DrawWarpFrameGdiPlus(TCS& Shape, TDrawing& Graphics) {
  DrawWarpFrameWith(Shape, Graphics, {0x20808080, 0x80202020, 0x80404040});
}

void TScBase::DrawWarpFrameD2D(TCS& Shape, TDrawing& Canvas) {
  DrawWarpFrameWith(Shape, Canvas,
                    {ColorToArgb(0x808080, 32), ColorToArgb(0x202020, 128), ColorToArgb(0x404040, 128)});
}

void TScBase::DrawWarpFrameWith(const TCS& Shape, TDrawing& Drawing, const TWarpStyle& Style) {
  if (Shape.Count < 2) return;
  const TRengeD& c = Shape.R0;
  const TPointF committed[4] = {ToScreenF(c.r00), ToScreenF(c.r01), ToScreenF(c.r11), ToScreenF(c.r10)};
  Drawing.OutlinePolygon(committed, Style.Committed, 3);
  const TRengeD& f = Shape.R1;
  const float r = 2.0f * static_cast<float>(PointerSize());
  const TDbl2D* groups[4][3] = {
      {&f.r00, &f.b0, &f.b2}, {&f.r01, &f.b3, &f.b6}, {&f.r10, &f.b1, &f.b4}, {&f.r11, &f.b5, &f.b7}};
  for (const auto& group : groups) {
    const TPointF corner = ToScreenF(*group[0]);
    const TPointF a = ToScreenF(*group[1]);
    const TPointF b = ToScreenF(*group[2]);
    Drawing.Line(corner, a, Style.Arm, 2);
    Drawing.Line(corner, b, Style.Arm, 2);
    Drawing.FillRect(Square(corner, r), Style.Handle);
    Drawing.FillEllipse(Square(a, r), Style.Handle);
    Drawing.FillEllipse(Square(b, r), Style.Handle);
  }
}

// ---------------------------------------------------------------------------------------
// Point marks

void TScBase::DrawPointMarkGdiPlus(TDrawing& Graphics, platform::TColor Colour, bool Locked, bool Selected,
                                   int32_t GroupId, TPointF Centre, bool Square_) {
  DrawPointMarkWith(Graphics, Colour, Locked, Selected, GroupId, Centre, Square_);
}

void TScBase::DrawPointMarkD2D(TDrawing& Canvas, platform::TColor Colour, bool Locked, bool Selected,
                               int32_t GroupId, TPointF Centre, bool Square_) {
  DrawPointMarkWith(Canvas, Colour, Locked, Selected, GroupId, Centre, Square_);
}

void TScBase::DrawPointMarkWith(TDrawing& Drawing, platform::TColor Colour, bool Locked, bool Selected,
                                int32_t GroupId, TPointF Centre, bool Square_) {
  const float p = static_cast<float>(PointerSize());
  if (GroupId != -1) {
    const TArgb ring = ColorToArgb(static_cast<platform::TColor>(shape::GroupColor(GroupId)), 255);
    if (Square_)
      Drawing.OutlineRect(Square(Centre, p + 1), ring, 1);
    else
      Drawing.OutlineEllipse(Square(Centre, p + 1), ring, 1);
  }
  const TArgb colour = ColorToArgb(Colour, 255);
  const bool filled = Locked || Selected;
  const TArgb fill = Locked ? (Selected ? kYellow : kCyan) : colour;
  const TRectF box = Square(Centre, p);
  if (Square_) {
    if (filled) Drawing.FillRect(box, fill);
    Drawing.OutlineRect(box, colour, 1);
  } else {
    if (filled) Drawing.FillEllipse(box, fill);
    Drawing.OutlineEllipse(box, colour, 1);
  }
}

}  // namespace editor
