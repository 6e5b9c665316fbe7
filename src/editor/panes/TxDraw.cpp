#include "editor/panes/TxDraw.h"

#include <algorithm>
#include <cstring>

#include "common/Round.h"
#include "editor/panes/PaneDrawing.h"
#include "platform/gfx/Canvas.h"
#include "settings/AppSettings.h"
#include "shape/TextureBitmaps.h"

namespace editor {

using platform::TPoint;

namespace {

constexpr platform::TArgb kGrey = 0xFF808080;

platform::TBitmap& BaseColor() { return shape::TextureBitmaps().BaseColor; }

// Copies the rectangle of rows and columns both bitmaps have, at the same place.
void CopyBlock(const platform::TBitmap& source, platform::TBitmap& target, platform::TRect r) {
  if (source.PixelFormat() != target.PixelFormat()) return;
  r.Left = std::max(r.Left, 0);
  r.Top = std::max(r.Top, 0);
  r.Right = std::min({r.Right, source.Width(), target.Width()});
  r.Bottom = std::min({r.Bottom, source.Height(), target.Height()});
  if (r.IsEmpty()) return;
  const int bytes = source.BitsPerPixel() / 8;
  for (int y = r.Top; y < r.Bottom; ++y)
    std::memcpy(target.ScanLine(y) + static_cast<size_t>(r.Left) * bytes,
                source.ScanLine(y) + static_cast<size_t>(r.Left) * bytes,
                static_cast<size_t>(r.Width()) * bytes);
}

}  // namespace

TTxDraw::TTxDraw() { TTxDraw::ChoosePainters(); }

TPoint TTxDraw::PaneToTexture(int32_t X, int32_t Y) const {
  return {common::RoundInt((X - CentreX + OffsetX + HalfViewWidth) / ViewScale),
          common::RoundInt((Y - CentreY + OffsetY + HalfViewHeight) / ViewScale)};
}

// ---------------------------------------------------------------------------------------
// Strokes, lines, erasure

void TTxDraw::SetUpPens() {
  shape::TTextureBitmaps& t = shape::TextureBitmaps();
  const int width = settings::AppSettings.PenWidth;
  platform::TCanvas& color = t.BaseColor.Canvas();
  platform::TCanvas& alpha = t.BaseAlpha.Canvas();
  for (platform::TCanvas* c : {&color, &alpha}) {
    c->Pen.Mode = platform::pmCopy;
    c->Pen.Style = platform::psSolid;
    c->Pen.Width = width;
  }
  color.Pen.Color = settings::AppSettings.PenColor;
  alpha.Pen.Color = shape::GetPaletteColor255(t.BaseAlpha);
}

// XOR on the base colour bitmap: drawn twice it leaves every pixel as it was.
void TTxDraw::DrawLinePreview() {
  platform::TCanvas& c = BaseColor().Canvas();
  c.Pen.Mode = platform::pmXor;
  c.Pen.Color = kLinePreviewColor;
  c.MoveTo(LineStartX, LineStartY);
  c.LineTo(LineEndX, LineEndY);
  c.Pen.Mode = platform::pmCopy;
}

void TTxDraw::EraseAt(TPoint T) {
  shape::TTextureBitmaps& t = shape::TextureBitmaps();
  const int32_t r = settings::AppSettings.EraseWidth;
  const platform::TRect square{T.X - r, T.Y - r, T.X + r, T.Y + r};
  CopyBlock(t.LoadedColor, t.BaseColor, square);
  CopyBlock(t.LoadedAlpha, t.BaseAlpha, square);
}

bool TTxDraw::MouseDown(TCS&, TImage&, platform::TShiftState Shift, int32_t X, int32_t Y) {
  DragMode = DRAG_PAINT;
  const TPoint t = PaneToTexture(X, Y);
  if (DrawMode == TXDRAW_ERASER) {
    EraseAt(t);
    return true;
  }
  if (DrawMode != TXDRAW_PEN) return false;  // a line left unfinished
  SetUpPens();
  if (Shift.Contains(platform::ssShift)) {
    DrawMode = TXDRAW_LINE;
    LineStartX = LineEndX = t.X;
    LineStartY = LineEndY = t.Y;
    DrawLinePreview();
  } else {
    // The stroke starts at the first move: a click alone paints nothing.
    shape::TextureBitmaps().BaseColor.Canvas().MoveTo(t.X, t.Y);
    shape::TextureBitmaps().BaseAlpha.Canvas().MoveTo(t.X, t.Y);
  }
  return true;
}

void TTxDraw::MouseHover(TCS&, TImage& Image, platform::TShiftState, int32_t, int32_t) {
  Image.SetCursor(platform::crDefault);
}

bool TTxDraw::MouseDrag(TCS&, TImage&, bool, int32_t X, int32_t Y) {
  const TPoint t = PaneToTexture(X, Y);
  switch (DrawMode) {
    case TXDRAW_PEN:
      shape::TextureBitmaps().BaseColor.Canvas().LineTo(t.X, t.Y);
      shape::TextureBitmaps().BaseAlpha.Canvas().LineTo(t.X, t.Y);
      Changed = true;
      break;
    case TXDRAW_LINE:
      DrawLinePreview();  // erases the preview at the old end
      LineEndX = t.X;
      LineEndY = t.Y;
      DrawLinePreview();
      Changed = true;
      break;
    case TXDRAW_ERASER:
      EraseAt(t);
      Changed = true;
      break;
    default:
      Changed = false;
  }
  return Changed;
}

bool TTxDraw::MouseUp(TCS&, TImage&, bool, int32_t X, int32_t Y) {
  if (DrawMode != TXDRAW_LINE) return true;
  DrawLinePreview();
  const TPoint t = PaneToTexture(X, Y);
  LineEndX = t.X;
  LineEndY = t.Y;
  shape::TTextureBitmaps& tex = shape::TextureBitmaps();
  platform::TCanvas& color = tex.BaseColor.Canvas();
  platform::TCanvas& alpha = tex.BaseAlpha.Canvas();
  color.Pen.Color = settings::AppSettings.PenColor;
  alpha.Pen.Color = shape::GetPaletteColor255(tex.BaseAlpha);
  for (platform::TCanvas* c : {&color, &alpha}) {
    c->Pen.Mode = platform::pmCopy;
    c->MoveTo(LineStartX, LineStartY);
    c->LineTo(LineEndX, LineEndY);
  }
  DrawMode = TXDRAW_PEN;
  return true;
}

// ---------------------------------------------------------------------------------------
// View

void TTxDraw::BeforePaint(TImage& Image) {
  CentreX = Image.ClientWidth() / 2.0;
  CentreY = Image.ClientHeight() / 2.0;
  const int32_t b = common::RoundInt(BaseColor().Width() * ViewScale / 2);
  const int32_t c = common::RoundInt(BaseColor().Height() * ViewScale / 2);
  OffsetX = std::clamp(OffsetX, -b, b);
  OffsetY = std::clamp(OffsetY, -c, c);
}

void TTxDraw::SetScrollPosX(int32_t Position) {
  OffsetX = common::RoundInt(BaseColor().Width() * ((Position - 50) / 100.0 * ViewScale));
}

void TTxDraw::SetScrollPosY(int32_t Position) {
  OffsetY = common::RoundInt(BaseColor().Height() * ((Position - 50) / 100.0 * ViewScale));
}

void TTxDraw::GetScrollPos(int32_t& PositionX, int32_t& PositionY) {
  // Without a texture there is nothing to scroll: the middle.
  const double w = BaseColor().Width() * ViewScale, h = BaseColor().Height() * ViewScale;
  PositionX = w > 0 ? common::RoundInt((OffsetX * 2 / w + 1) * 50) : 50;
  PositionY = h > 0 ? common::RoundInt((OffsetY * 2 / h + 1) * 50) : 50;
}

void TTxDraw::ChoosePainters() {
  if (UseDirect2DPipeline())
    Painter = [this](TCS& s, TImage& i) { PaintTextureD2D(s, i); };
  else
    Painter = [this](TCS& s, TImage& i) { PaintTextureGdiPlus(s, i); };
  QuickPainter = Painter;
}

void TTxDraw::PaintTextureGdiPlus(TCS&, TImage& Image) { PaintTexture(Image); }

void TTxDraw::PaintTextureD2D(TCS&, TImage& Image) { PaintTexture(Image); }

// The base colour bitmap scaled into the pane about its centre (the alpha is not shown here).
void TTxDraw::PaintTexture(TImage& Image) {
  const platform::TBitmap& base = BaseColor();
  ViewScale = Scale / 256;
  const int32_t dw = common::RoundInt(base.Width() * ViewScale);
  const int32_t dh = common::RoundInt(base.Height() * ViewScale);
  HalfViewWidth = common::RoundInt(dw / 2.0);
  HalfViewHeight = common::RoundInt(dh / 2.0);
  const int32_t left = common::RoundInt(CentreX - OffsetX - HalfViewWidth);
  const int32_t top = common::RoundInt(CentreY - OffsetY - HalfViewHeight);
  platform::TBitmap& surface = Image.Surface();
  if (surface.Empty()) return;
  {
    std::unique_ptr<platform::TDrawing> drawing = CreatePaneDrawing(surface);
    drawing->SetAntialias(false);
    drawing->Clear(kGrey);
    drawing->DrawBitmap(base,
                        {static_cast<float>(left), static_cast<float>(top), static_cast<float>(left + dw),
                         static_cast<float>(top + dh)},
                        1.0f);
  }
  Image.SurfaceChanged(Image.ClientRect());
}

}  // namespace editor
