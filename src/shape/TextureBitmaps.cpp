#include "shape/TextureBitmaps.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <tuple>

#include "common/Exception.h"
#include "platform/gfx/Canvas.h"
#include "settings/AppSettings.h"
#include "shape/model/LineMarks.h"
#include "shape/model/uScPrim.h"

namespace shape {

bool ShowTextureGrid = true;

namespace {

std::unique_ptr<TTextureBitmaps> gTextures;

void ResizeTextures(int32_t width, int32_t height) {
  if (!gTextures) return;
  TTextureBitmaps& t = *gTextures;
  for (platform::TBitmap* b :
       {&t.LoadedColor, &t.LoadedAlpha, &t.BaseColor, &t.BaseAlpha, &t.DisplayColor, &t.DisplayAlpha})
    b->SetSize(width, height);
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

// A line across the whole bitmap, `width` pixels wide (columns or rows pos - width div 2 onwards,
// as a pen of that width covers them), filled as one rectangle: straight full-length lines need no
// path stroking, which on an 8-bit bitmap costs a pass over the whole image per line.
void FullLine(platform::TCanvas& c, bool vertical, int pos, int width, platform::TColor color) {
  const platform::TBitmap& b = c.Bitmap();
  const int from = pos - width / 2;
  c.Brush.Style = platform::bsSolid;
  c.Brush.Color = color;
  if (vertical)
    c.FillRect(platform::TRect{from, 0, from + width, b.Height()});
  else
    c.FillRect(platform::TRect{0, from, b.Width(), from + width});
}

// One label character as drawn by the canvas: the pixels it changes relative to the text
// position, with their coverage (blue, green, red; one byte on 8-bit bitmaps, drawn aliased).
struct TGlyphStamp {
  std::vector<int32_t> dx, dy;
  std::vector<uint8_t> coverage;
};

// Stamps of the label characters of one font, built once by drawing each character white on
// black through the canvas. Labels are drawn thousands of times per refresh; stamping them is
// much cheaper than laying out text every time.
const TGlyphStamp& GlyphStamp(const platform::TFont& font, char ch, bool aliased) {
  using Key = std::tuple<std::string, int, bool, bool, bool, bool, char>;
  static std::map<Key, TGlyphStamp> cache;
  const Key key{font.Name, font.Height(), font.Style.Bold, font.Style.Italic, font.Style.Underline, aliased,
                ch};
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  const int pixels = font.Height() < 0 ? -font.Height() : font.Height();
  const int size = 3 * pixels + 16;
  platform::TBitmap scratch(size, size, aliased ? platform::pf8bit : platform::pf32bit);
  platform::TCanvas& c = scratch.Canvas();
  c.Font = font;
  c.Font.Color = platform::clWhite;
  c.Brush.Style = platform::bsClear;
  const int origin = 8;
  c.TextOut(origin, origin, std::string(1, ch));
  TGlyphStamp stamp;
  for (int y = 0; y < size; ++y) {
    const uint8_t* row = scratch.ScanLine(y);
    for (int x = 0; x < size; ++x) {
      const uint8_t* p = aliased ? row + x : row + 4 * x;
      if (aliased ? p[0] == 0 : (p[0] | p[1] | p[2]) == 0) continue;
      stamp.dx.push_back(x - origin);
      stamp.dy.push_back(y - origin);
      stamp.coverage.insert(stamp.coverage.end(), p, p + (aliased ? 1 : 3));
    }
  }
  return cache.emplace(key, std::move(stamp)).first->second;
}

// Draws one label character at (x, y) in the canvas's font colour, as TextOut with a clear brush.
void StampText(platform::TCanvas& c, int x, int y, char ch) {
  platform::TBitmap& b = c.Bitmap();
  const bool aliased = b.PixelFormat() == platform::pf8bit;
  if (!aliased && b.PixelFormat() != platform::pf32bit) {
    c.Brush.Style = platform::bsClear;
    c.TextOut(x, y, std::string(1, ch));
    return;
  }
  const TGlyphStamp& stamp = GlyphStamp(c.Font, ch, aliased);
  const platform::TColor rgb = platform::ColorToRGB(c.Font.Color);
  const int ink[3] = {platform::GetBValue(rgb), platform::GetGValue(rgb), platform::GetRValue(rgb)};
  const uint8_t index = static_cast<uint8_t>(b.NearestIndex(rgb));
  const int w = b.Width();
  const int h = b.Height();
  uint8_t* bits = b.Bits();
  const int64_t stride = b.BytesPerLine();
  for (size_t k = 0; k < stamp.dx.size(); ++k) {
    const int px = x + stamp.dx[k];
    const int py = y + stamp.dy[k];
    if (px < 0 || py < 0 || px >= w || py >= h) continue;
    uint8_t* row = bits + py * stride;
    if (aliased) {
      row[px] = index;
      continue;
    }
    uint8_t* p = row + 4 * px;
    const uint8_t* cov = &stamp.coverage[3 * k];
    for (int n = 0; n < 3; ++n) {
      const int d = (ink[n] - p[n]) * cov[n];
      p[n] = static_cast<uint8_t>(p[n] + (d + (d >= 0 ? 127 : -127)) / 255);
    }
  }
}

void SetPen(platform::TCanvas& c, platform::TColor color, int width) {
  c.Pen.Color = color;
  c.Pen.Width = width;
  c.Pen.Style = platform::psSolid;
  c.Pen.Mode = platform::pmCopy;
}

platform::TColor MarkColor(uint8_t mark) {
  switch (mark) {
    case 2:
      return kLineMark2Color;
    case 3:
      return kLineMark3Color;
    default:
      return kLineMark4Color;
  }
}

// The overlay's lines and points on one canvas; `alphaPen` >= 0 draws the alpha version
// (every line, only mark 2 doubled, every point in that colour).
void DrawOverlayShapes(platform::TCanvas& c, const TCS& cs, platform::TColor alphaPen) {
  const bool alpha = alphaPen >= 0;
  const int32_t maxI = std::clamp(cs.CPMaxI, 0, kGridMax);
  const int32_t maxJ = std::clamp(cs.CPMaxJ, 0, kGridMax);
  auto columnX = [](int32_t i) { return 16 * i; };
  auto rowY = [&](int32_t j) { return 16 * (maxJ - 1 - j); };

  for (int32_t i = 0; i < maxI; ++i)
    FullLine(c, true, columnX(i), 2,
             alpha                 ? alphaPen
             : ColumnMarks[i] != 0 ? GridLineColor(i, maxI, 0)
                                   : kGridUnmarkedColor);
  for (int32_t j = 0; j < maxJ; ++j)
    FullLine(c, false, rowY(j), 2,
             alpha              ? alphaPen
             : RowMarks[j] != 0 ? GridLineColor(j, maxJ, 1)
                                : kGridUnmarkedColor);

  auto doubled = [&](uint8_t mark) { return alpha ? mark == 2 : mark >= 2 && mark <= 4; };
  for (int32_t i = 0; i < maxI; ++i)
    if (doubled(ColumnMarks[i])) {
      const platform::TColor color = alpha ? alphaPen : MarkColor(ColumnMarks[i]);
      FullLine(c, true, columnX(i) - 3, 3, color);
      FullLine(c, true, columnX(i) + 2, 3, color);
    }
  for (int32_t j = 0; j < maxJ; ++j)
    if (doubled(RowMarks[j])) {
      const platform::TColor color = alpha ? alphaPen : MarkColor(RowMarks[j]);
      FullLine(c, false, rowY(j) - 3, 3, color);
      FullLine(c, false, rowY(j) + 2, 3, color);
    }

  c.Brush.Style = platform::bsSolid;
  for (int32_t j = 0; j < maxJ; ++j)
    for (int32_t i = 0; i < maxI; ++i) {
      const bool locked = cs.RP[i][j];
      const bool selected = cs.SP[i][j];
      if (!locked && !selected) continue;
      const int x = columnX(i);
      const int y = rowY(j);
      if (alpha) {
        SetPen(c, alphaPen, 1);
        c.Brush.Color = alphaPen;
        const int r = locked ? 6 : 5;
        c.Ellipse(x - r, y - r, x + r, y + r);
        continue;
      }
      if (locked) {
        SetPen(c, kLockedPointColor, 1);
        c.Brush.Color = kLockedPointColor;
        c.Ellipse(x - 6, y - 6, x + 6, y + 6);
      }
      if (selected) {
        SetPen(c, kSelectedPointColor, 1);
        c.Brush.Color = kSelectedPointColor;
        c.Ellipse(x - 5, y - 5, x + 5, y + 5);
      }
    }
}

}  // namespace

void CreateTextureBitmaps() {
  gTextures = std::make_unique<TTextureBitmaps>();
  ResizeTextures(std::max(TextureWidth, 0), std::max(TextureHeight, 0));
  SetTextureResizeHook(&ResizeTextures);
}

void FreeTextureBitmaps() {
  SetTextureResizeHook(nullptr);
  gTextures.reset();
}

TTextureBitmaps& TextureBitmaps() {
  ZASSERT(gTextures != nullptr, "Texture bitmaps are not created");
  return *gTextures;
}

platform::TColor GridLineColor(int32_t index, int32_t count, int32_t direction) {
  const int32_t l = LinesPerPart;
  const bool divided = l != count - 1 && l > 0 && index % l == 0;
  const bool horizontal = settings::AppSettings.DividedHorizontal;
  if (direction == 0) {
    if (divided && !horizontal) return kGridPartBoundaryColor;
  } else {
    if (divided && horizontal) return kGridPartBoundaryColor;
    if (index == UpperRimRow) return kGridUpperRimColor;
  }
  if (index % 8 == 0) return platform::clRed;
  if (index % 4 == 0) return platform::clBlue;
  if (index % 2 != 0) return platform::clGray;
  return platform::clBlack;
}

std::string GridLabelChar(int32_t index, int32_t count) {
  if (index == count - 1) return "G";
  return std::string(1, kHexDigits[((index / 2) % 16 + 16) % 16]);
}

std::string GridLabelPair(int32_t index, int32_t count) {
  if (index == count - 1) return "G0";
  return GridLabelChar(index, count) + static_cast<char>(index % 2 == 0 ? '0' : '1');
}

platform::TColor GetPaletteColor255(const platform::TBitmap& bitmap) {
  const std::vector<platform::TRGBQuad> table = bitmap.GetColorTable();
  if (table.size() < 256) return platform::clWhite;
  const platform::TRGBQuad& q = table[255];
  return platform::RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

void DrawTextureBackground(int32_t columns, int32_t rows) {
  platform::TBitmap& bmp = TextureBitmaps().LoadedColor;
  if (bmp.Empty()) return;
  platform::TCanvas& c = bmp.Canvas();
  c.Brush.Style = platform::bsSolid;
  auto band = [&](platform::TColor color, int x1, int y1, int x2, int y2) {
    SetPen(c, color, 1);
    c.Brush.Color = color;
    c.Rectangle(x1, y1, x2, y2);
  };
  const int w = bmp.Width();
  const int h = bmp.Height();
  if (int64_t{columns - 1} * (rows - 1) <= 1024 || columns < 2 || rows < 2) {
    band(kGroundColor, 0, 0, w, h);
    return;
  }
  if (settings::AppSettings.DividedHorizontal) {
    const int32_t l = 1024 / (columns - 1);
    for (int32_t e = 0; e < rows - 1; e += 2 * l) {
      band(kGroundColor, 0, 16 * e, w, 16 * (e + l));
      band(kGroundBandColor, 0, 16 * (e + l), w, 16 * (e + 2 * l));
    }
  } else {
    const int32_t l = 1024 / (rows - 1);
    for (int32_t e = 0; e < columns - 1; e += 2 * l) {
      band(kGroundColor, 16 * e, 0, 16 * (e + l), h);
      band(kGroundBandColor, 16 * (e + l), 0, 16 * (e + 2 * l), h);
    }
  }
}

void DrawDefaultGridLines(int32_t columns, int32_t rows) {
  platform::TBitmap& bmp = TextureBitmaps().LoadedColor;
  if (bmp.Empty()) return;
  platform::TCanvas& c = bmp.Canvas();
  // Column lines are indexed from the right edge, row lines from the bottom.
  for (int32_t e = 1; e <= columns - 1; ++e)
    FullLine(c, true, 16 * e - 1, 1, GridLineColor(columns - 1 - e, columns, 0));
  for (int32_t f = 1; f <= rows - 1; ++f)
    FullLine(c, false, 16 * f - 1, 1, GridLineColor(rows - 1 - f, rows, 1));
  for (int32_t e = 0; e <= columns - 2; ++e)
    FullLine(c, true, 16 * e, 1, GridLineColor(columns - 1 - e, columns, 0));
  for (int32_t f = 0; f <= rows - 2; ++f) FullLine(c, false, 16 * f, 1, GridLineColor(rows - 1 - f, rows, 1));
  c.Brush.Style = platform::bsClear;
}

void DrawGridLabels(platform::TCanvas& canvas, int32_t columns, int32_t rows) {
  // A grid of 2 or 3 lines still has one label cell (no division by zero).
  const int32_t nc = std::max((columns - 1) / 2, 1);
  const int32_t nr = std::max((rows - 1) / 2, 1);
  const int32_t cw = TextureWidth / nc;
  const int32_t ch = TextureHeight / nr;
  if (cw <= 0 || ch <= 0) return;
  canvas.Brush.Style = platform::bsClear;
  canvas.Font.SetSize(std::max(cw / 2, 1));
  for (int32_t f = 0; f < nc; ++f)
    for (int32_t g = 0; g < nr; ++g) {
      StampText(canvas, cw * f + 4, ch * g + 4, GridLabelChar(2 * f, columns)[0]);
      StampText(canvas, cw / 2 + cw * f, ch * g + 4, GridLabelChar(2 * g, rows)[0]);
    }
}

void DrawDefaultTexture(int32_t columns, int32_t rows) {
  TTextureBitmaps& t = TextureBitmaps();
  DrawTextureBackground(columns, rows);
  DrawDefaultGridLines(columns, rows);
  if (!t.LoadedColor.Empty()) DrawGridLabels(t.LoadedColor.Canvas(), columns, rows);
  for (int y = 0; y < t.LoadedAlpha.Height(); ++y)
    std::memset(t.LoadedAlpha.ScanLine(y), 255, static_cast<size_t>(t.LoadedAlpha.Width()));
  CopyColorPixels(t.LoadedColor, t.BaseColor);
  CopyAlphaRows(t.LoadedAlpha, t.BaseAlpha);
}

void RefreshTextureDisplay(const TCS& cs) {
  TTextureBitmaps& t = TextureBitmaps();
  CopyColorPixels(t.BaseColor, t.DisplayColor);
  CopyAlphaRows(t.BaseAlpha, t.DisplayAlpha);
  if (ShowTextureGrid) DrawGridOverlay(cs);
}

void DrawGridOverlay(const TCS& cs) {
  TTextureBitmaps& t = TextureBitmaps();
  if (t.DisplayColor.Empty() || t.DisplayAlpha.Empty()) return;
  platform::TCanvas& c = t.DisplayColor.Canvas();
  DrawOverlayShapes(c, cs, -1);
  DrawGridLabels(c, cs.CPMaxI, cs.CPMaxJ);

  platform::TCanvas& a = t.DisplayAlpha.Canvas();
  const platform::TColor v = GetPaletteColor255(t.DisplayAlpha);
  DrawOverlayShapes(a, cs, v);
  const platform::TColor fontColor = a.Font.Color;
  a.Font.Color = v;
  DrawGridLabels(a, cs.CPMaxI, cs.CPMaxJ);
  a.Font.Color = fontColor;
}

void CopyAlphaRows(const platform::TBitmap& source, platform::TBitmap& target) {
  if (&source == &target) return;
  if (source.Height() != TextureHeight || target.Height() != TextureHeight) return;
  if (source.Width() < TextureWidth || target.Width() < TextureWidth) return;
  if (source.PixelFormat() != platform::pf8bit || target.PixelFormat() != platform::pf8bit) return;
  for (int y = 0; y < TextureHeight; ++y)
    std::memcpy(target.ScanLine(y), source.ScanLine(y), static_cast<size_t>(TextureWidth));
}

void CopyColorPixels(const platform::TBitmap& source, platform::TBitmap& target) {
  if (&source == &target || source.Empty()) return;
  if (source.Width() != target.Width() || source.Height() != target.Height() ||
      source.PixelFormat() != target.PixelFormat())
    return;
  std::memcpy(target.Bits(), source.Bits(),
              static_cast<size_t>(int64_t{source.BytesPerLine()} * source.Height()));
}

void CopyPreviewTexture(TRGBAImage& image) {
  image.Width = std::max(TextureWidth, 0);
  image.Height = std::max(TextureHeight, 0);
  // Every byte is written below, so an image of the right size is reused as it is.
  image.Pixels.resize(static_cast<size_t>(int64_t{image.Width} * image.Height * 4));
  CopyPreviewTexture(image.Pixels.data());
}

void CopyPreviewTexture(uint8_t* pixels) {
  const int32_t w = std::max(TextureWidth, 0);
  const int32_t h = std::max(TextureHeight, 0);
  const TTextureBitmaps& t = TextureBitmaps();
  const platform::TBitmap& color = t.DisplayColor;
  const platform::TBitmap& alpha = t.DisplayAlpha;
  if (h == 0 || color.Height() != h || alpha.Height() != h || color.Width() < w || alpha.Width() < w ||
      color.PixelFormat() != platform::pf32bit || alpha.PixelFormat() != platform::pf8bit) {
    std::fill(pixels, pixels + int64_t{w} * h * 4, uint8_t{0});
    return;
  }
  for (int32_t r = 0; r < h; ++r) {
    const uint8_t* src = color.ScanLine(r);
    const uint8_t* a = alpha.ScanLine(r);
    uint8_t* dst = pixels + int64_t{h - 1 - r} * w * 4;
    for (int32_t x = 0; x < w; ++x) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
      dst[3] = a[x];
      dst += 4;
      src += 4;
    }
  }
}

}  // namespace shape
