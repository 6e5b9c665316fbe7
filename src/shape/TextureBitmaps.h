#pragma once
// The shape's texture: 16 pixels per grid cell, TextureWidth x TextureHeight pixels, held in three
// pairs of a 32-bit colour bitmap and an 8-bit alpha bitmap (the alpha pixel is the opacity,
// 255 opaque):
// - Loaded: the default texture drawn here, or the texture picture loaded from a file;
// - Base: a copy of Loaded made after each drawing or load, which the texture painter paints;
// - Display: Base plus, while ShowTextureGrid is on, the grid overlay of lines, line marks,
//   selected and locked points. The preview and the texture pane show it.
// Also the colour rule of grid lines and the line labels every 2D editor uses.
//
// Label text needs a running QGuiApplication (fonts come from the window system); everything
// else draws without one.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Color.h"
#include "shape/model/ShapeRecord.h"

namespace platform {
class TCanvas;
}

namespace shape {

struct TTextureBitmaps {
  platform::TBitmap LoadedColor{0, 0, platform::pf32bit};
  platform::TBitmap LoadedAlpha{0, 0, platform::pf8bit};
  platform::TBitmap BaseColor{0, 0, platform::pf32bit};
  platform::TBitmap BaseAlpha{0, 0, platform::pf8bit};
  platform::TBitmap DisplayColor{0, 0, platform::pf32bit};
  platform::TBitmap DisplayAlpha{0, 0, platform::pf8bit};
};

// Start-up step: creates the six bitmaps at TextureWidth x TextureHeight and lets every
// SetGridSize resize them. Shut-down step: removes the hook and frees them.
void CreateTextureBitmaps();
void FreeTextureBitmaps();
// The six bitmaps (EAssertionFailed before CreateTextureBitmaps).
TTextureBitmaps& TextureBitmaps();

// Whether the display pair carries the grid overlay ("Disp Mesh"); true at start.
extern bool ShowTextureGrid;

// Colours of the texture and the overlay.
constexpr platform::TColor kGridPartBoundaryColor = 0x00FF00;
constexpr platform::TColor kGridUpperRimColor = 0xFF00FF;
constexpr platform::TColor kGridUnmarkedColor = 0xC0C0C0;
constexpr platform::TColor kLineMark2Color = 0x0F81EF;
constexpr platform::TColor kLineMark3Color = 0x000099;
constexpr platform::TColor kLineMark4Color = 0x990000;
constexpr platform::TColor kSelectedPointColor = 0x0000FF;
constexpr platform::TColor kLockedPointColor = 0xFFFF00;
constexpr platform::TColor kGroundColor = 0xFFFFFF;
constexpr platform::TColor kGroundBandColor = 0xDDDDDD;

// Colour of grid line `index` of `count` lines; direction 0 column lines, 1 row lines. Part
// boundaries of a divided map green, the sphere's upper rim row magenta, then by the index:
// multiples of 8 red, other multiples of 4 blue, odd grey, other even black.
platform::TColor GridLineColor(int32_t index, int32_t count, int32_t direction);
// "G" for the last line; else the hexadecimal digit of (index div 2) mod 16.
std::string GridLabelChar(int32_t index, int32_t count);
// "G0" for the last line; else that digit followed by index mod 2 ("00", "01", "10", ...).
std::string GridLabelPair(int32_t index, int32_t count);
// Colour of palette entry 255 of an 8-bit bitmap: the pen colour of full opacity.
platform::TColor GetPaletteColor255(const platform::TBitmap& bitmap);

// The ground of the default texture on the loaded colour bitmap: white, or on a divided map
// alternating white and light-grey bands, one per part.
void DrawTextureBackground(int32_t columns, int32_t rows);
// The double grid lines of the default texture on the loaded colour bitmap.
void DrawDefaultGridLines(int32_t columns, int32_t rows);
// The labels of every cell of two grid cells, in the canvas's font colour.
void DrawGridLabels(platform::TCanvas& canvas, int32_t columns, int32_t rows);
// The default texture into the loaded pair (opaque), copied into the base pair.
void DrawDefaultTexture(int32_t columns, int32_t rows);
// Display pair := base pair, then the overlay while ShowTextureGrid is on.
void RefreshTextureDisplay(const TCS& cs);
// The overlay of lines, marks, locked and selected points and labels on the display pair.
void DrawGridOverlay(const TCS& cs);

// Copies TextureWidth bytes of each of TextureHeight rows, only when both 8-bit bitmaps have
// exactly TextureHeight rows and at least TextureWidth columns; otherwise nothing.
void CopyAlphaRows(const platform::TBitmap& source, platform::TBitmap& target);
// Copies the colour bitmap's pixels into target when both have the same size and format.
void CopyColorPixels(const platform::TBitmap& source, platform::TBitmap& target);

// The display pair as the preview's texture image: Width x Height pixels of red, green, blue,
// alpha bytes, the rows bottom-up (row 0 is the texture's last row).
struct TRGBAImage {
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<uint8_t> Pixels;
};
// Fills `image` at TextureWidth x TextureHeight; all zero when the display bitmaps do not have
// that size.
void CopyPreviewTexture(TRGBAImage& image);
// The same into `pixels`, which holds TextureWidth x TextureHeight x 4 bytes (the preview's texture
// image takes the pixels this way, without a copy in between).
void CopyPreviewTexture(uint8_t* pixels);

}  // namespace shape
