#include "rastova/view/background/RVViewBackground.h"

#include <algorithm>

#include "platform/gfx/Color.h"
#include "rastova/core/draw/RVShadows.h"
#include "rastova/view/RastovaViewStartup.h"

namespace rv {

using platform::TBitmap;
using platform::TCanvas;
using platform::TColor;
using platform::TRect;

namespace {

// The colour with every bit inverted, as an RGB value: the inverted top byte would otherwise
// read as a system colour index.
TColor Complement(TColor color) { return static_cast<TColor>(~static_cast<uint32_t>(color) & 0x00FFFFFFu); }

// Coordinates are kept within 2^29 of the origin: far beyond any bitmap, and clear of the
// ends of the 32-bit range where widths and heights of rectangles would overflow.
constexpr int64_t kFar = int64_t(1) << 29;
int32_t Far(int64_t v) { return static_cast<int32_t>(std::clamp(v, -kFar, kFar)); }
// A coordinate moved by d.
int32_t Moved(int32_t v, int64_t d) { return Far(int64_t(v) + d); }

void SolidFill(TCanvas& canvas, const TRect& area, TColor color) {
  canvas.Brush.Color = color;
  canvas.Brush.Style = platform::bsSolid;
  canvas.FillRect(area);
}

// The direct chessboard on a 24-bit bitmap: the top-left square in `color`. Only the part of
// the rectangle on the bitmap is written; the squares keep their places.
void DirectChessboard(TBitmap& bitmap, int32_t x0, int32_t y0, int32_t w, int32_t h, int32_t size,
                      TColor color) {
  const TColor first = platform::ColorToRGB(color), second = Complement(color);
  const uint8_t ink[2][3] = {
      {uint8_t(first >> 16), uint8_t(first >> 8), uint8_t(first)},
      {uint8_t(second >> 16), uint8_t(second >> 8), uint8_t(second)},
  };
  const int64_t top = std::max<int64_t>(y0, 0), bottom = std::min<int64_t>(int64_t(y0) + h, bitmap.Height());
  const int64_t left = std::max<int64_t>(x0, 0), right = std::min<int64_t>(int64_t(x0) + w, bitmap.Width());
  for (int64_t y = top; y < bottom; ++y) {
    uint8_t* row = bitmap.ScanLine(static_cast<int>(y));
    const int64_t band = (y - y0) / size;
    for (int64_t x = left; x < right; ++x) {
      const uint8_t* c = ink[((x - x0) / size + band) % 2];
      uint8_t* p = row + 3 * x;
      p[0] = c[0];  // blue, green, red
      p[1] = c[1];
      p[2] = c[2];
    }
  }
}

}  // namespace

void PaintChessboard(TCanvas& Canvas, TBitmap* Bitmap, int32_t X0, int32_t Y0, int32_t W, int32_t H,
                     int32_t Size, platform::TBrushStyle BrushStyle, TColor Color) {
  if (W <= 0 || H <= 0) return;
  const int32_t size = std::max(Size, 1);
  if (Bitmap && Bitmap->PixelFormat() == platform::pf24bit && BrushStyle == platform::bsSolid) {
    DirectChessboard(*Bitmap, X0, Y0, W, H, size, Color);
    Canvas.NotifyChanged(platform::Bounds(X0, Y0, W, H));
    return;
  }
  // Only the squares that meet the canvas are filled; each keeps its place in the pattern.
  const TRect clip = Canvas.ClipRect();
  const int64_t right = int64_t(X0) + W, bottom = int64_t(Y0) + H;
  const int64_t firstRow = std::max<int64_t>(0, (int64_t(clip.Top) - Y0) / size);
  const int64_t firstCol = std::max<int64_t>(0, (int64_t(clip.Left) - X0) / size);
  Canvas.Brush.Style = BrushStyle;
  for (int64_t row = firstRow; int64_t(Y0) + row * size < std::min<int64_t>(bottom, clip.Bottom); ++row) {
    const int64_t y = int64_t(Y0) + row * size;
    for (int64_t col = firstCol; int64_t(X0) + col * size < std::min<int64_t>(right, clip.Right); ++col) {
      const int64_t x = int64_t(X0) + col * size;
      Canvas.Brush.Color = (row + col) % 2 == 0 ? Complement(Color) : Color;
      Canvas.FillRect(TRect{int(x), int(y), int(std::min({x + size, right, int64_t(clip.Right)})),
                            int(std::min({y + size, bottom, int64_t(clip.Bottom)}))});
    }
  }
}

void PaintWallPaper(TCanvas& Canvas, TRVWallPaperStyle Style, const TBitmap& WallPaper, int32_t AreaWidth,
                    int32_t AreaHeight) {
  switch (Style) {
    case rvwoStretch:
      Canvas.StretchDraw(TRect{0, 0, AreaWidth, AreaHeight}, WallPaper);
      break;
    case rvwoTile: {
      const int64_t w = WallPaper.Width(), h = WallPaper.Height();
      if (w <= 0 || h <= 0) break;
      for (int64_t y = 0; y < AreaHeight; y += h)
        for (int64_t x = 0; x < AreaWidth; x += w) Canvas.Draw(int(x), int(y), WallPaper);
      break;
    }
    default:
      Canvas.Draw(0, 0, WallPaper);
      break;
  }
}

void PaintViewBackground(bool Designing, TCanvas& Canvas, TBitmap* Bitmap, TRVWallPaperStyle WallPaperStyle,
                         const TBitmap* WallPaper, TColor GradientEndColor,
                         platform::TBrushStyle ChessboardBrushStyle, int32_t ChessboardSize,
                         int32_t ImageLeft, int32_t ImageTop, int32_t ImageRight, int32_t ImageBottom,
                         int32_t AreaLeft, int32_t AreaTop, int32_t AreaWidth, int32_t AreaHeight,
                         TColor Color, TRVBackgroundStyle Style) {
  const TRect area{Far(AreaLeft), Far(AreaTop), Moved(AreaLeft, AreaWidth), Moved(AreaTop, AreaHeight)};
  AreaLeft = area.Left, AreaTop = area.Top, AreaWidth = area.Width(), AreaHeight = area.Height();
  ImageLeft = Far(ImageLeft), ImageTop = Far(ImageTop), ImageRight = Far(ImageRight),
  ImageBottom = Far(ImageBottom);
  const int64_t imageWidth = int64_t(ImageRight) - ImageLeft, imageHeight = int64_t(ImageBottom) - ImageTop;
  switch (Style) {
    case rvbsSolid:
    case rvbsHorizontal:
    case rvbsVertical:
    case rvbsFDiagonal:
    case rvbsBDiagonal:
    case rvbsCross:
    case rvbsDiagCross: {
      static constexpr platform::TBrushStyle kStyles[] = {
          platform::bsSolid,     platform::bsHorizontal, platform::bsVertical, platform::bsFDiagonal,
          platform::bsBDiagonal, platform::bsCross,      platform::bsDiagCross};
      // A hatch draws only its lines: the gaps are filled first, white as a fresh canvas's
      // background, or a reused back buffer would show the previous picture between them.
      if (Style != rvbsSolid) SolidFill(Canvas, area, platform::clWhite);
      Canvas.Brush.Color = Color;
      Canvas.Brush.Style = kStyles[Style];
      Canvas.FillRect(area);
      break;
    }
    case rvbsChessboard:
      PaintChessboard(Canvas, Bitmap, AreaLeft, AreaTop, AreaWidth, AreaHeight, ChessboardSize,
                      ChessboardBrushStyle, Color);
      break;
    case rvbsDiagonals:
      SolidFill(Canvas, area, Color);
      Canvas.Pen.Color = Complement(Color);
      Canvas.Pen.Style = platform::psSolid;
      Canvas.MoveTo(area.Left, area.Top);
      Canvas.LineTo(area.Right, area.Bottom);
      Canvas.MoveTo(area.Right, area.Top);
      Canvas.LineTo(area.Left, area.Bottom);
      break;
    case rvbsCropped:
      if (Designing) {
        SolidFill(Canvas, area, Color);
        break;
      }
      SolidFill(Canvas, area, platform::clBtnFace);
      if (imageWidth >= 2 && imageHeight >= 2)
        platform::DrawEdge(Canvas,
                           TRect{Moved(ImageLeft, -int64_t(EdgeWidth)), Moved(ImageTop, -int64_t(EdgeHeight)),
                                 Moved(ImageRight, EdgeWidth), Moved(ImageBottom, EdgeHeight)},
                           platform::EDGE_SUNKEN, platform::BF_RECT);
      break;
    case rvbsCropShadow:
      SolidFill(Canvas, area, Color);
      if (!Designing && imageWidth > 1 && imageHeight > 1) {
        DrawVerticalShadow(Canvas, Bitmap, ImageRight, ImageTop, Moved(ImageRight, 5), Moved(ImageBottom, 3),
                           2);
        DrawHorizontalShadow(Canvas, Bitmap, ImageLeft, ImageBottom, Moved(ImageRight, 4),
                             Moved(ImageBottom, 5), 2);
        Canvas.NotifyChanged(TRect{ImageLeft, ImageTop, Moved(ImageRight, 6), Moved(ImageBottom, 6)});
      }
      break;
    case rvbsGradient:
      GradientRect(area, Canvas, Color, true, GradientEndColor);
      break;
    case rvbsSoftShadow:
      if (Designing) {
        SolidFill(Canvas, area, Color);
        break;
      }
      if (Bitmap == nullptr) break;
      SolidFill(Canvas, area, Color);
      if (imageWidth > 1 && imageHeight > 1) {
        DrawSoftShadow(*Bitmap, ImageLeft, ImageTop, ImageRight, ImageBottom);
        Canvas.NotifyChanged(area);
      }
      break;
    case rvbsPhotoLike:
      SolidFill(Canvas, area, 0xB0B0B0);
      Canvas.Pen.Color = platform::clBlack;
      Canvas.Pen.Style = platform::psSolid;
      Canvas.Pen.Width = 1;
      Canvas.Pen.Mode = platform::pmCopy;
      Canvas.Brush.Style = platform::bsClear;
      Canvas.Rectangle(Moved(ImageLeft, -1), Moved(ImageTop, -1), Moved(ImageRight, 1),
                       Moved(ImageBottom, 1));
      PaintChessboard(Canvas, Bitmap, ImageLeft, ImageTop,
                      static_cast<int32_t>(std::clamp<int64_t>(imageWidth, 0, INT32_MAX)),
                      static_cast<int32_t>(std::clamp<int64_t>(imageHeight, 0, INT32_MAX)), ChessboardSize,
                      ChessboardBrushStyle, Color);
      break;
  }
  if (WallPaper && !WallPaper->Empty())
    PaintWallPaper(Canvas, WallPaperStyle, *WallPaper, AreaWidth, AreaHeight);
}

}  // namespace rv
