#include "editor/panes/ScBitmap.h"

#include <algorithm>

#include "common/Round.h"
#include "editor/panes/BitmapCells.h"
#include "editor/panes/PaneDrawing.h"
#include "platform/ui/Keys.h"
#include "shape/TextureBitmaps.h"
#include "shape/model/uEqualSpacing.h"
#include "shape/model/uScColor.h"
#include "shape/model/uScSelect.h"
#include "shape/model/uScTransform.h"

namespace editor {

using platform::TArgb;
using platform::TRectF;

int32_t ChannelStep = 1;

namespace {

constexpr int32_t kPitch = 15;
constexpr TArgb kGrey = 0xFF808080;
constexpr TArgb kWhite = 0xFFFFFFFF;
constexpr TArgb kSilver = 0xFFC0C0C0;
constexpr TArgb kBlack = 0xFF000000;
const char* const kTableFont = "Tahoma";

bool ColumnSelected(const TCS& cs, int32_t i) {
  for (int32_t j = 0; j < cs.CPMaxJ; ++j)
    if (!cs.SP[i][j]) return false;
  return true;
}

bool RowSelected(const TCS& cs, int32_t j) {
  for (int32_t i = 0; i < cs.CPMaxI; ++i)
    if (!cs.SP[i][j]) return false;
  return true;
}

// The outline colour of a cell: yellow locked and selected, aqua locked, red selected.
platform::TColor CellOutline(bool locked, bool selected) {
  if (locked) return selected ? platform::clYellow : platform::clAqua;
  return selected ? platform::clRed : platform::clWhite;
}

TRectF Box(int32_t x, int32_t y, int32_t size) {
  return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + size),
          static_cast<float>(y + size)};
}

// A 15-pixel square: a one-pixel outline (its right and bottom edges on the next cell's first
// pixel less one, 14 x 14 as the outline's path runs) round a fill.
void OutlinedSquare(platform::TDrawing& g, int32_t x, int32_t y, TArgb outline, TArgb fill) {
  g.FillRect(Box(x, y, kPitch), outline);
  g.FillRect(Box(x + 1, y + 1, kPitch - 2), fill);
}

}  // namespace

TScBitmap::TScBitmap() {
  TScBitmap::ResetZoom();
  TScBitmap::ChoosePainters();
}

// ---------------------------------------------------------------------------------------
// Layout and hit test

int32_t TScBitmap::CellPixel(int32_t Index) { return (Index + 1) * kPitch + 1; }

void TScBitmap::PixelToCell(const TCS& Shape, int32_t X, int32_t Y, int32_t& Column, int32_t& Row) const {
  const int32_t c = X / kPitch - 1;
  if (c < 0) {
    Column = -1;
  } else {
    Column = c + common::RoundInt(OffsetX / static_cast<double>(kPitch));
    // An offset below zero (before a paint clamps it) puts no column left of the first.
    if (Column > Shape.CPMaxI - 1 || Column < 0) Column = -2;
  }
  const int32_t r = Y / kPitch - 1;
  if (r < 0) {
    Row = -1;
  } else {
    Row = Shape.CPMaxJ - Y / kPitch - common::RoundInt(OffsetY / static_cast<double>(kPitch));
    if (Row < 0 || Row > Shape.CPMaxJ - 1) Row = -2;
  }
}

bool TScBitmap::PressValue(const TCS& Shape, int32_t X, int32_t Y) const {
  int32_t c, r;
  PixelToCell(Shape, X, Y, c, r);
  if (c == -1 && r == -1) return false;
  // A line or cell outside the grid counts as not selected.
  if (c == -1) return r < 0 || !RowSelected(Shape, r);
  if (r == -1) return c < 0 || !ColumnSelected(Shape, c);
  if (c < 0 || r < 0) return true;
  return !Shape.SP[c][r];
}

void TScBitmap::BandSelect(TCS& Shape, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, bool Add) {
  int32_t c1, r1, c2, r2;
  PixelToCell(Shape, X1, Y1, c1, r1);
  PixelToCell(Shape, X2, Y2, c2, r2);
  // A corner right of the last column lies right of every column, not left of the first.
  if (c1 == -2) c1 = Shape.CPMaxI;
  if (c2 == -2) c2 = Shape.CPMaxI;
  if (!Add) {
    shape::FillPointFlags(Shape.SP, Shape.CPMaxI, Shape.CPMaxJ, false);
    SelectValue = true;
  }
  SelectCellBand(Shape, std::min(c1, c2), std::max(c1, c2), std::min(r1, r2), std::max(r1, r2), SelectValue);
}

// ---------------------------------------------------------------------------------------
// Events

int32_t TScBitmap::KeyDown(TCS& Shape, uint16_t& Key, platform::TShiftState) {
  const int32_t s = ChannelStep;
  switch (Key) {
    case platform::VK_LEFT:
      NudgeSelected(Shape, s, 0, 0);
      return 2;
    case platform::VK_RIGHT:
      NudgeSelected(Shape, -s, 0, 0);
      return 2;
    case platform::VK_UP:
      NudgeSelected(Shape, 0, s, 0);
      return 2;
    case platform::VK_DOWN:
      NudgeSelected(Shape, 0, -s, 0);
      return 2;
    case platform::VK_PRIOR:
      NudgeSelected(Shape, 0, 0, s);
      return 2;
    case platform::VK_NEXT:
      NudgeSelected(Shape, 0, 0, -s);
      return 2;
    default:
      return 0;
  }
}

bool TScBitmap::MouseDown(TCS& Shape, TImage&, platform::TShiftState, int32_t X, int32_t Y) {
  DragMode = DRAG_BAND;
  SelectValue = PressValue(Shape, X, Y);
  return true;
}

void TScBitmap::MouseHover(TCS&, TImage& Image, platform::TShiftState, int32_t, int32_t) {
  Image.SetCursor(platform::crDefault);
}

bool TScBitmap::MouseDrag(TCS&, TImage&, bool, int32_t, int32_t) { return false; }

bool TScBitmap::MouseUp(TCS& Shape, TImage&, bool ShiftHeld, int32_t, int32_t) {
  BandSelect(Shape, AnchorX, AnchorY, BandX, BandY, ShiftHeld);
  return true;
}

// ---------------------------------------------------------------------------------------
// View

void TScBitmap::ZoomAt(int32_t Direction, double, double) {
  const int32_t step = Direction > 0 ? 16 : -16;
  if (ScrollRows < ScrollColumns)
    OffsetX += step;
  else
    OffsetY += step;
}

void TScBitmap::ResetZoom() {
  WheelCount = 0;
  Scale = CellSize * 258.0;
}

void TScBitmap::ScrollBy(int32_t CodeX, int32_t CodeY, int32_t, int32_t) {
  auto step = [](int32_t code) {
    switch (code) {
      case 1:
        return kPitch;
      case -1:
        return -kPitch;
      case 2:
        return 8 * kPitch;
      case -2:
        return -8 * kPitch;
      default:
        return 0;
    }
  };
  OffsetBy(step(CodeX), step(CodeY));
}

void TScBitmap::SetScrollPosX(int32_t Position) {
  OffsetX = common::RoundInt(Position / 100.0 * ScrollColumns * kPitch);
}

void TScBitmap::SetScrollPosY(int32_t Position) {
  OffsetY = common::RoundInt(Position / 100.0 * ScrollRows * kPitch);
}

void TScBitmap::GetScrollPos(int32_t& PositionX, int32_t& PositionY) {
  // A grid that fits the pane has nothing to scroll: position 0.
  PositionX = ScrollColumns > 0 ? common::RoundInt(OffsetX * 100.0 / (ScrollColumns * kPitch)) : 0;
  PositionY = ScrollRows > 0 ? common::RoundInt(OffsetY * 100.0 / (kPitch * ScrollRows)) : 0;
}

bool TScBitmap::ChannelValuesAt(const TCS& Shape, int32_t X, int32_t Y, int32_t& Red, int32_t& Green,
                                int32_t& Blue) {
  int32_t c, r;
  PixelToCell(Shape, X, Y, c, r);
  if (c < 0 || r < 0) return false;
  shape::PointChannelValues(Shape.CP, c, r, Red, Green, Blue);
  return true;
}

// ---------------------------------------------------------------------------------------
// Commands

bool TScBitmap::EqualIntervals(TCS& Shape) {
  shape::GridEqualIntervals(Shape);
  shape::ClampShapePoints(Shape);
  shape::CountSelectedPoints(Shape);
  return true;
}

bool TScBitmap::CanEqualIntervals(const TCS& Shape) { return shape::GridCanEqualIntervals(Shape); }

bool TScBitmap::EqualDistance(TCS& Shape) {
  shape::GridEqualDistance(Shape);
  shape::ClampShapePoints(Shape);
  shape::CountSelectedPoints(Shape);
  return true;
}

// The same test as Equal Intervals.
bool TScBitmap::CanEqualDistance(const TCS& Shape) { return shape::GridCanEqualIntervals(Shape); }

bool TScBitmap::Smooth(TCS& Shape, int32_t Kind) {
  shape::SmoothGrid(Shape, Kind);
  shape::ClampShapePoints(Shape);
  shape::CountSelectedPoints(Shape);
  return true;
}

bool TScBitmap::Magnet(TCS& Shape) {
  shape::MagnetSelectedPoints(Shape);
  return true;
}

void TScBitmap::NudgeSelected(TCS& Shape, int32_t DX, int32_t DY, int32_t DZ) {
  NudgePoints(Shape, DX, DY, DZ);
}

void TScBitmap::SetSelectedChannels(TCS& Shape, int32_t Red, int32_t Green, int32_t Blue) {
  SetPointChannels(Shape, Red, Green, Blue);
}

// ---------------------------------------------------------------------------------------
// Painting

void TScBitmap::ChoosePainters() {
  if (UseDirect2DPipeline())
    Painter = [this](TCS& s, TImage& i) { PaintTableD2D(s, i); };
  else
    Painter = [this](TCS& s, TImage& i) { PaintTableGdiPlus(s, i); };
  QuickPainter = Painter;
}

void TScBitmap::PaintTableGdiPlus(TCS& Shape, TImage& Image) { PaintTable(Shape, Image, false); }

void TScBitmap::PaintTableD2D(TCS& Shape, TImage& Image) { PaintTable(Shape, Image, true); }

void TScBitmap::PaintTable(TCS& Shape, TImage& Image, bool D2D) {
  platform::TBitmap& surface = Image.Surface();
  const int32_t width = surface.Width(), height = surface.Height();
  // What can scroll, and the offsets within it (the upper bound first, then 0).
  ScrollColumns = Shape.CPMaxI - (width / kPitch - 1);
  ScrollRows = Shape.CPMaxJ - (height / kPitch - 1);
  OffsetX = std::max(std::min(OffsetX, ScrollColumns * kPitch), 0);
  OffsetY = std::max(std::min(OffsetY, ScrollRows * kPitch), 0);
  if (surface.Empty()) return;
  const int32_t firstColumn = common::RoundInt(OffsetX / static_cast<double>(kPitch));
  const int32_t firstRow = common::RoundInt(OffsetY / static_cast<double>(kPitch));
  const float textHeight = static_cast<float>(CellInner - (D2D ? 3 : 4));
  {
    std::unique_ptr<platform::TDrawing> drawing = CreatePaneDrawing(surface);
    platform::TDrawing& g = *drawing;
    g.SetAntialias(false);
    g.Clear(kGrey);
    g.FillRect(Box(0, 0, kPitch), kWhite);
    // Only the visible lines are drawn: display column c while its cell starts inside the pane.
    int32_t columns = 0, rows = 0;
    for (int32_t c = 0; (c + 1) * kPitch < width && c + firstColumn < Shape.CPMaxI; ++c) {
      const int32_t i = c + firstColumn;
      const TArgb fill = ColumnSelected(Shape, i) ? kSilver : kWhite;
      const int32_t x = (c + 1) * kPitch;
      if (D2D)
        g.FillRect(Box(x, 0, kPitch), fill);
      else
        OutlinedSquare(g, x, 0, kSilver, fill);
      g.Text(Box(x, 0, kPitch), shape::GridLabelPair(i, Shape.CPMaxI), kBlack, kTableFont, textHeight);
      columns = c + 1;
    }
    for (int32_t r = 0; (r + 1) * kPitch < height && Shape.CPMaxJ - 1 - (r + firstRow) >= 0; ++r) {
      const int32_t j = Shape.CPMaxJ - 1 - (r + firstRow);
      const TArgb fill = RowSelected(Shape, j) ? kSilver : kWhite;
      const int32_t y = (r + 1) * kPitch;
      if (D2D)
        g.FillRect(Box(0, y, kPitch), fill);
      else
        OutlinedSquare(g, 0, y, kSilver, fill);
      // Labelled by the display row counted from the top, as the sculpt map's rows are.
      g.Text(Box(0, y, kPitch), shape::GridLabelPair(r + firstRow, Shape.CPMaxJ), kBlack, kTableFont,
             textHeight);
      rows = r + 1;
    }
    for (int32_t c = 0; c < columns; ++c)
      for (int32_t r = 0; r < rows; ++r) {
        const int32_t i = c + firstColumn, j = Shape.CPMaxJ - 1 - (r + firstRow);
        int32_t red, green, blue;
        shape::PointChannelValues(Shape.CP, i, j, red, green, blue);
        const TArgb fill = platform::Argb(255, static_cast<uint8_t>(red), static_cast<uint8_t>(green),
                                          static_cast<uint8_t>(blue));
        const int32_t x = (c + 1) * kPitch, y = (r + 1) * kPitch;
        OutlinedSquare(g, x, y, ColorToArgb(CellOutline(Shape.RP[i][j], Shape.SP[i][j]), 255), fill);
        if (Shape.GP[i][j] != -1)
          g.OutlineEllipse({x + 1.5f, y + 1.5f, x + 13.5f, y + 13.5f},
                           ColorToArgb(static_cast<platform::TColor>(shape::GroupColor(Shape.GP[i][j])), 255),
                           1);
      }
  }
  Image.SurfaceChanged(Image.ClientRect());
}

}  // namespace editor
