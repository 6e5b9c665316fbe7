#pragma once
// The background the image view paints around and behind its image: a plain or hatched colour,
// a chessboard (showing through transparent pixels), diagonals, a sunken frame, drop shadows, a
// gradient or a photo-like frame, and over it the optional wallpaper. The view's composition
// paints its back buffer with PaintViewBackground, and PaintBackgroundTo paints a whole control.
#include <cstdint>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"

namespace rv {

enum TRVBackgroundStyle : uint8_t {
  rvbsSolid,
  rvbsHorizontal,
  rvbsVertical,
  rvbsFDiagonal,
  rvbsBDiagonal,
  rvbsCross,
  rvbsDiagCross,
  rvbsChessboard,
  rvbsDiagonals,
  rvbsCropped,
  rvbsCropShadow,
  rvbsGradient,
  rvbsSoftShadow,
  rvbsPhotoLike
};

enum TRVWallPaperStyle : uint8_t { rvwoNormal, rvwoStretch, rvwoTile };

// Paints the area (AreaLeft, AreaTop, AreaWidth x AreaHeight) of Canvas in Style around the
// image rectangle ImageLeft .. ImageRight by ImageTop .. ImageBottom, then the wallpaper over it.
// Bitmap is the bitmap behind Canvas, or nullptr (then the direct chessboard and the soft
// shadow are not available: rvbsSoftShadow paints nothing). Designing (the control is being
// designed) turns the cropped and shadow styles into a solid fill. WallPaper nullptr or empty:
// none. The complement of a colour is its value with every bit inverted.
void PaintViewBackground(bool Designing, platform::TCanvas& Canvas, platform::TBitmap* Bitmap,
                         TRVWallPaperStyle WallPaperStyle, const platform::TBitmap* WallPaper,
                         platform::TColor GradientEndColor, platform::TBrushStyle ChessboardBrushStyle,
                         int32_t ChessboardSize, int32_t ImageLeft, int32_t ImageTop, int32_t ImageRight,
                         int32_t ImageBottom, int32_t AreaLeft, int32_t AreaTop, int32_t AreaWidth,
                         int32_t AreaHeight, platform::TColor Color, TRVBackgroundStyle Style);

// The chessboard over (X0, Y0, W x H) in squares of Size pixels (at least 1). With a 24-bit
// Bitmap and a solid BrushStyle the pixels are written directly, the top-left square in Color
// and the next in its complement, rows and columns kept inside the bitmap; otherwise the
// canvas fills the squares with BrushStyle, the top-left one in the complement. Each row of
// squares starts with the other colour than the row above.
void PaintChessboard(platform::TCanvas& Canvas, platform::TBitmap* Bitmap, int32_t X0, int32_t Y0, int32_t W,
                     int32_t H, int32_t Size, platform::TBrushStyle BrushStyle, platform::TColor Color);

// The wallpaper: rvwoNormal at (0, 0), rvwoStretch into (0, 0, AreaWidth, AreaHeight), rvwoTile
// repeated from (0, 0) rightwards and downwards until AreaWidth and AreaHeight are covered (a
// wallpaper without width or height is not tiled).
void PaintWallPaper(platform::TCanvas& Canvas, TRVWallPaperStyle Style, const platform::TBitmap& WallPaper,
                    int32_t AreaWidth, int32_t AreaHeight);

}  // namespace rv
