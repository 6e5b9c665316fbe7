#pragma once
// TCanvas: GDI-style drawing on a TBitmap through QPainter.
//
// The canvas keeps a pen, a brush, a font, a pen position and a copy mode, and every drawing
// call uses them as they are at that moment. Drawing is aliased and follows the window
// system's rules: a line excludes its end point, a rectangle or ellipse given by (X1, Y1,
// X2, Y2) covers X1..X2-1 and Y1..Y2-1, the pen mode (copy, XOR, NOT and the other binary
// raster operations) applies to lines and to the fill of shapes, each pixel of a figure is
// touched once (by the pen or, inside, by the brush), and XOR or NOT drawn twice gives back
// every byte. Copy-mode drawing on pf32bit may set the fourth byte of the pixels it draws.
// FillRect, FrameRect, text and block copies ignore the pen mode. Text is smoothed on colour
// bitmaps and aliased on indexed ones.
//
// On pf8bit and pf1bit bitmaps colours are first mapped to the nearest entry of the colour
// table and the raster operations work on the indices, as on palette bitmaps of the window
// system.
//
// Text needs a running QGuiApplication (fonts come from the window system); the other calls
// work without one.
//
// Text and FillRect keep their painter open on the bitmap from one call to the next (the text
// control draws a character per call, and opening a painter costs more than the character).
// Every other call, a change of the clip region, the bitmap handing out its pixels or being
// resized, another canvas painting on the same bitmap, and the canvas's end close it.
#include <QPainter>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gfx/Color.h"
#include "platform/gfx/Region.h"
#include "platform/gfx/Types.h"

class QFont;

namespace platform {

class TBitmap;

enum TPenStyle : uint8_t { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear };

// Binary raster operations of the pen (P) with the destination (D).
enum TPenMode : uint8_t {
  pmBlack,        // 0
  pmWhite,        // 1
  pmNop,          // D
  pmNot,          // ~D
  pmCopy,         // P
  pmNotCopy,      // ~P
  pmMergePenNot,  // P | ~D
  pmMaskPenNot,   // P & ~D
  pmMergeNotPen,  // ~P | D
  pmMaskNotPen,   // ~P & D
  pmMerge,        // P | D
  pmNotMerge,     // ~(P | D)
  pmMask,         // P & D
  pmNotMask,      // ~(P & D)
  pmXor,          // P ^ D
  pmNotXor        // ~(P ^ D)
};

enum TBrushStyle : uint8_t {
  bsSolid,
  bsClear,
  bsHorizontal,
  bsVertical,
  bsFDiagonal,
  bsBDiagonal,
  bsCross,
  bsDiagCross
};

// Raster operations of block copies, with the window system's codes.
using TCopyMode = int32_t;
constexpr TCopyMode cmBlackness = 0x00000042;
constexpr TCopyMode cmDstInvert = 0x00550009;
constexpr TCopyMode cmMergePaint = 0x00BB0226;   // ~S | D
constexpr TCopyMode cmNotSrcCopy = 0x00330008;   // ~S
constexpr TCopyMode cmNotSrcErase = 0x001100A6;  // ~(S | D)
constexpr TCopyMode cmPatCopy = 0x00F00021;      // brush
constexpr TCopyMode cmPatInvert = 0x005A0049;    // brush ^ D
constexpr TCopyMode cmSrcAnd = 0x008800C6;       // S & D
constexpr TCopyMode cmSrcCopy = 0x00CC0020;      // S
constexpr TCopyMode cmSrcErase = 0x00440328;     // S & ~D
constexpr TCopyMode cmSrcInvert = 0x00660046;    // S ^ D
constexpr TCopyMode cmSrcPaint = 0x00EE0086;     // S | D
constexpr TCopyMode cmWhiteness = 0x00FF0062;

// How block copies scale: nearest pixel, or averaged (the window system's half-tone mode).
enum TStretchMode : uint8_t { smColorOnColor, smHalftone };

struct TPen {
  TColor Color = clBlack;
  int Width = 1;  // pixels; 0 counts as 1. Wider pens draw solid with round ends and joins.
  TPenStyle Style = psSolid;
  TPenMode Mode = pmCopy;
};

struct TBrush {
  TColor Color = clWhite;
  TBrushStyle Style = bsSolid;  // hatches draw their lines in Color and leave the rest alone
};

// Text alignment of TextOut and TextRect, as the window system's flags combine them: the
// reference point (x, y) is the cell's top (TA_TOP) or the text's baseline (TA_BASELINE), and
// its left end (TA_LEFT), right end (TA_RIGHT) or middle (TA_CENTER).
constexpr uint32_t TA_LEFT = 0, TA_TOP = 0, TA_NOUPDATECP = 0, TA_RIGHT = 2, TA_CENTER = 6, TA_BOTTOM = 8,
                   TA_BASELINE = 24;
// Text output options (ExtTextOut): ETO_OPAQUE fills the rectangle with the brush, ETO_CLIPPED
// clips the text to it, ETO_RTLREADING marks right-to-left text.
constexpr uint32_t ETO_OPAQUE = 2, ETO_CLIPPED = 4, ETO_RTLREADING = 128;

enum TCanvasOrientation : uint8_t { coLeftToRight, coRightToLeft };

// The Qt pattern of a brush style: solid, none for bsClear, the hatches as Qt's 8 x 8 patterns.
Qt::BrushStyle QtBrushStyle(TBrushStyle style);

struct TFontStyles {
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
};

class TFont {
 public:
  // The family; "Arial", "Tahoma", "MS Sans Serif", "Segoe UI", "Times New Roman" and
  // "Courier New" are drawn with their Liberation or DejaVu stand-ins.
  std::string Name = "Tahoma";
  TColor Color = clWindowText;
  TFontStyles Style;

  // Size in points at 96 pixels per inch; Height in pixels, negative for the character
  // height without internal leading (-Size * 96 / 72), positive for the whole cell.
  int Size() const;
  void SetSize(int points);
  int Height() const { return height_; }
  void SetHeight(int pixels) { height_ = pixels; }
  // Tenths of a degree counter-clockwise: text turns about its reference point.
  int Escapement = 0;
  // The window system's output quality byte: 3 (non-antialiased) draws aliased glyphs; the
  // others keep the canvas's choice.
  uint8_t Quality = 0;

 private:
  int height_ = -11;  // 8 points
};

// 3D edges (DrawEdge): each edge is an outer and an inner border line, raised or sunken.
constexpr uint32_t BDR_RAISEDOUTER = 0x1, BDR_SUNKENOUTER = 0x2, BDR_RAISEDINNER = 0x4, BDR_SUNKENINNER = 0x8;
constexpr uint32_t EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER,
                   EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER,
                   EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER,
                   EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
constexpr uint32_t BF_LEFT = 0x1, BF_TOP = 0x2, BF_RIGHT = 0x4, BF_BOTTOM = 0x8, BF_RECT = 0xF;

// The family the window system draws the font `name` with: the stand-ins named above, any
// other name as it is.
QString StandInFontFamily(const std::string& name);
// The font the canvas draws `font` with (its stand-in family; a negative height is the character
// height in pixels, a positive one the whole cell), smoothed or not; for measuring text as drawn.
QFont QtFontOf(const TFont& font, bool smooth);

class TCanvas {
 public:
  explicit TCanvas(TBitmap& bitmap);
  ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  TBitmap& Bitmap() { return bitmap_; }

  TPen Pen;
  TBrush Brush;
  TFont Font;
  TCopyMode CopyMode = cmSrcCopy;
  TStretchMode StretchMode = smColorOnColor;
  // Text options added to every TextRect (ETO_RTLREADING, ETO_OPAQUE ...); 0 at creation.
  uint32_t TextFlags = 0;
  // Only left-to-right is drawn here; the value is kept for code that asks.
  TCanvasOrientation CanvasOrientation = coLeftToRight;

  // Called after every drawing call with the part of the bitmap it may have changed (already
  // limited to the bitmap and the clip region's box). A window control uses it to bring the
  // change to the screen.
  std::function<void(const TRect&)> OnChange;

  TPoint PenPos() const { return penPos_; }
  void SetPenPos(TPoint p) { penPos_ = p; }
  void MoveTo(int x, int y) { penPos_ = {x, y}; }
  // A line from the pen position to (x, y), without the end point; the pen moves there.
  void LineTo(int x, int y);
  // Joined lines through the points, without the last point.
  void Polyline(std::span<const TPoint> points);
  // A closed polygon filled with the brush (alternate fill) and outlined with the pen.
  void Polygon(std::span<const TPoint> points);
  // A rectangle filled with the brush and outlined with the pen; without a pen (psClear)
  // the fill covers one pixel less in each direction, as on the window system.
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  // Fills with the brush in copy mode, whatever the pen mode.
  void FillRect(const TRect& r);
  // A one-pixel border in the brush's colour, in copy mode.
  void FrameRect(const TRect& r);
  void Ellipse(int x1, int y1, int x2, int y2);
  void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
  // A rectangle with corners rounded by ellipses x3 wide and y3 high (at most the rectangle's
  // size), filled and outlined as Rectangle and Ellipse are.
  void RoundRect(int x1, int y1, int x2, int y2, int x3, int y3);
  // The part of the ellipse in (x1, y1, x2, y2) running counter-clockwise from the ray
  // through (x3, y3) to the ray through (x4, y4); equal rays draw the whole ellipse.
  void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);

  // Text at (x, y) placed by TextAlign() (by default the cell's top-left corner) in the font's
  // colour; a solid brush fills the cell behind it first. The pen moves to the end of the
  // text. UTF-8.
  void TextOut(int x, int y, std::string_view text);
  // Text at (x, y) placed by TextAlign(), drawn only inside `rect` (ETO_CLIPPED). The cell
  // behind the text is never filled, whatever the brush; with ETO_OPAQUE in `options` the
  // rectangle is filled with a solid brush first. The pen does not move.
  void TextRect(const TRect& rect, int x, int y, std::string_view text, uint32_t options = ETO_CLIPPED);
  // The alignment flags (TA_*) TextOut and TextRect follow; TA_TOP | TA_LEFT at creation.
  uint32_t TextAlign() const { return textAlign_; }
  void SetTextAlign(uint32_t flags) { textAlign_ = flags; }
  TSize TextExtent(std::string_view text);
  int TextWidth(std::string_view text) { return TextExtent(text).cx; }
  int TextHeight(std::string_view text) { return TextExtent(text).cy; }

  // The colour of a pixel; -1 outside the bitmap or the clip region.
  TColor Pixels(int x, int y) const;
  // Sets one pixel (copy, whatever the pen mode); nothing outside the bitmap or clip region.
  void SetPixels(int x, int y, TColor color);

  // Copies `src` of `source` to `dest` with CopyMode, stretching (nearest pixel, or smoothly
  // in smHalftone on 24- and 32-bit bitmaps) when the sizes differ and mirroring when one of
  // them is given right-to-left or bottom-to-top. The source may be this canvas: the whole
  // source area is read before anything is written. EInvalidGraphicOperation for an unknown
  // copy mode.
  void CopyRect(const TRect& dest, TCanvas& source, const TRect& src);
  void Draw(int x, int y, const TBitmap& bitmap);
  void StretchDraw(const TRect& dest, const TBitmap& bitmap);

  // The clip box: the bitmap, or the part of it the clip region covers.
  TRect ClipRect() const;
  // Limits drawing to the region (nullptr: no limit). The region is copied.
  void SetClipRegion(const TRegion* region);
  // The clip region in force, or none.
  const std::optional<QRegion>& ClipRegion() const { return clip_; }

  // Reports `rect` as changed by drawing that did not go through this canvas (a painter of
  // its own on Bitmap().Image()): OnChange hears of it, limited to the bitmap and the clip box.
  void NotifyChanged(const TRect& rect);

 private:
  friend class TBitmap;
  class InkWriter;
  class Session;
  struct TextCell;
  struct FontCache;
  struct KeptPainter;

  // The painter kept open on the bitmap (opened when none is), or null when the bitmap cannot
  // be painted on; EndKept closes it (the bitmap calls it before others use the pixels).
  KeptPainter* Kept();
  void EndKept();

  // The Qt font of Font and its metrics, made again only when Font or the bitmap's format changed
  // to one not among the last few used (text is drawn a character at a time by the text control:
  // a font and its metrics per call cost more than the drawing).
  const FontCache& Fonts() const;
  TextCell PlaceText(int x, int y, std::string_view text) const;
  QColor MapColor(TColor color) const;
  QFont MakeFont() const;
  bool DirectPaint() const;
  bool ApplyWidePen(Session& s) const;
  void ApplyBrush(Session& s) const;
  void StrokeLines(const QPolygon& points, bool closed, QRect bounds);
  void FillAndStroke(const QPainterPath& fill, const QPolygon& thin,
                     const std::function<void(QPainter&)>& wide, QRect bounds);
  void CopyFrom(const TRect& dest, const TBitmap& source, const TRect& src, TCopyMode mode);
  bool CopyRows(const QRect& dest, const TBitmap& source, QPoint from);
  void Changed(QRect bounds);

  TBitmap& bitmap_;
  mutable std::shared_ptr<FontCache> fontCache_;
  mutable std::vector<std::shared_ptr<FontCache>> recentFonts_;
  std::unique_ptr<KeptPainter> kept_;
  TPoint penPos_;
  std::optional<QRegion> clip_;
  uint32_t textAlign_ = TA_TOP | TA_LEFT;
};

// One-pixel lines of a 3D edge inside `rect` on the sides `flags` names, as the window system
// draws them: the outer border on the rectangle's edge, the inner one a pixel inside; a sunken
// border is shadowed (clBtnShadow outer, cl3DDkShadow inner) on the left and top and lit
// (clBtnHighlight outer, cl3DLight inner) on the right and bottom, a raised one the other way
// round. Each line is a rectangle in one colour; `line` receives them in drawing order.
void EdgeLines(const TRect& rect, uint32_t edge, uint32_t flags,
               const std::function<void(const TRect& line, TColor color)>& line);
// Draws those lines on a canvas (copy mode). False for an empty rectangle.
bool DrawEdge(TCanvas& canvas, const TRect& rect, uint32_t edge, uint32_t flags);

}  // namespace platform
