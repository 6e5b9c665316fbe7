#include "editor/panes/EditBase.h"

#include <algorithm>
#include <cstdlib>

#include "common/Round.h"
#include "platform/gfx/Canvas.h"
#include "platform/ui/Keys.h"
#include "settings/AppSettings.h"
#include "shape/model/LineMarks.h"

namespace editor {

namespace {

constexpr double kZoomFactor = 1.15;
constexpr double kMinScale = 192;
constexpr double kMaxScale = 1536;

bool SpaceBarHeld() { return platform::GetKeyState(platform::VK_SPACE) < 0; }

int Sign(double v) { return (v > 0) - (v < 0); }

// One scroll-bar step on one axis: a line is 5 % of the pane, a page 25 %. An offset that
// crosses or reaches zero stops at exactly zero.
void ScrollAxis(int32_t& offset, int32_t code, int32_t size) {
  const int magnitude = std::abs(code);
  if (magnitude != 1 && magnitude != 2) return;
  const double part = magnitude == 1 ? 0.05 : 0.25;
  const int32_t before = offset;
  offset = common::SaturateInt32(static_cast<int64_t>(offset) + common::RoundInt(Sign(code) * size * part));
  if (before != 0 && Sign(before) != Sign(offset)) offset = 0;
}

// The offset range the scroll bar covers: plus or minus 1.5 x Scale x the largest axis ratio.
double ScrollRange(double scale) { return scale * 1.5 * settings::MaxAxisRatio; }

}  // namespace

TEditBase::TEditBase() {
  ResetView();
  DragMode = DRAG_NONE;
  MouseIsDown = false;
  Changed = false;
  TEditBase::SetEditMode(EDIT_NORMAL);
}

TEditBase::~TEditBase() = default;

// ---------------------------------------------------------------------------------------
// Slots with the base's behaviour

int32_t TEditBase::KeyDown(TCS&, uint16_t&, platform::TShiftState) { return 0; }
bool TEditBase::MouseDown(TCS&, TImage&, platform::TShiftState, int32_t, int32_t) { return false; }
void TEditBase::MouseHover(TCS&, TImage&, platform::TShiftState, int32_t, int32_t) {}
bool TEditBase::MouseDrag(TCS&, TImage&, bool, int32_t, int32_t) { return false; }
bool TEditBase::MouseUp(TCS&, TImage&, bool, int32_t, int32_t) { return false; }

void TEditBase::ZoomAt(int32_t Direction, double DX, double DY) {
  const double old = Scale;
  if (Direction > 0)
    Scale = std::min(Scale * kZoomFactor, kMaxScale);
  else
    Scale = std::max(Scale / kZoomFactor, kMinScale);
  // The model point under the mouse stays where it is.
  const double k = Scale / old;
  OffsetX = common::RoundInt(OffsetX * k + DX - k * DX);
  OffsetY = common::RoundInt(OffsetY * k + DY - k * DY);
  WheelCount = 0;
}

void TEditBase::BeforePaint(TImage&) {}

void TEditBase::ResetZoom() {
  Scale = 256;
  WheelCount = 0;
}

void TEditBase::PublishLineMarks() {
  shape::FillLineMarks(shape::ColumnMarks, 1);
  shape::FillLineMarks(shape::RowMarks, 1);
}

void TEditBase::ScrollBy(int32_t CodeX, int32_t CodeY, int32_t Width, int32_t Height) {
  ScrollAxis(OffsetX, CodeX, Width);
  ScrollAxis(OffsetY, CodeY, Height);
}

void TEditBase::SetScrollPosX(int32_t Position) {
  OffsetX = common::RoundInt((Position - 50) / 50.0 * ScrollRange(Scale));
}

void TEditBase::SetScrollPosY(int32_t Position) {
  OffsetY = common::RoundInt((Position - 50) / 50.0 * ScrollRange(Scale));
}

void TEditBase::GetScrollPos(int32_t& PositionX, int32_t& PositionY) {
  const double range = ScrollRange(Scale);
  PositionX = common::RoundInt((OffsetX / range + 1) * 50);
  PositionY = common::RoundInt((OffsetY / range + 1) * 50);
}

bool TEditBase::ChannelValuesAt(const TCS&, int32_t, int32_t, int32_t&, int32_t&, int32_t&) { return false; }
void TEditBase::SetEditMode(int32_t Mode) { EditMode = Mode; }
bool TEditBase::EqualIntervals(TCS&) { return false; }
bool TEditBase::CanEqualIntervals(const TCS&) { return false; }
bool TEditBase::EqualDistance(TCS&) { return false; }
bool TEditBase::CanEqualDistance(const TCS&) { return false; }
bool TEditBase::CanEqualCurves(const TCS&) { return false; }
bool TEditBase::Smooth(TCS&, int32_t) { return false; }
bool TEditBase::Magnet(TCS&) { return false; }
bool TEditBase::CanSameWidth(const TCS&) { return false; }
bool TEditBase::TwistApplies(shape::TScType) { return false; }
bool TEditBase::CanTwist(const TCS&) { return false; }
bool TEditBase::CanCustomSides() { return false; }

// ---------------------------------------------------------------------------------------
// View

void TEditBase::ResetOffsets() {
  OffsetX = 0;
  OffsetY = 0;
}

void TEditBase::ResetView() {
  ResetOffsets();
  ResetZoom();
}

void TEditBase::OffsetBy(int32_t DX, int32_t DY) {
  OffsetX = common::SaturateInt32(static_cast<int64_t>(OffsetX) + DX);
  OffsetY = common::SaturateInt32(static_cast<int64_t>(OffsetY) + DY);
}

bool TEditBase::PanTo(int32_t X, int32_t Y) {
  OffsetBy(AnchorX - X, AnchorY - Y);
  AnchorX = X;
  AnchorY = Y;
  return true;
}

void TEditBase::ZoomStep(int32_t Direction) { ZoomAt(Direction, 0, 0); }

void TEditBase::WheelZoom(int32_t Direction, double DX, double DY) {
  ++WheelCount;
  if (WheelCount > 2) ZoomAt(Direction, DX, DY);
}

void TEditBase::SetZoomLevel(int32_t Level) {
  WheelCount = 0;
  const double old = Scale;
  Scale = Level * 128.0;
  const double k = Scale / old;
  OffsetX = common::RoundInt(OffsetX * k);
  OffsetY = common::RoundInt(OffsetY * k);
}

int32_t TEditBase::GetZoomLevel() const { return common::RoundInt(Scale / 128); }

// ---------------------------------------------------------------------------------------
// Events

void TEditBase::HandleMouseDown(TCS& Shape, TImage& Image, platform::TShiftState Shift, int32_t X,
                                int32_t Y) {
  MouseIsDown = true;
  AnchorX = BandX = X;
  AnchorY = BandY = Y;
  if (SpaceBarHeld()) {
    // Panning wins over everything once the space bar is held at the press.
    Image.SetCursor(crHand2);
    DragMode = DRAG_PAN;
    return;
  }
  MouseDown(Shape, Image, Shift, X, Y);
  if (DragMode == DRAG_BAND) DrawRubberBand(Image);
}

bool TEditBase::HandleMouseMove(TCS& Shape, TImage& Image, platform::TShiftState Shift, int32_t X,
                                int32_t Y) {
  if (!MouseIsDown) {
    if (SpaceBarHeld())
      Image.SetCursor(crHand1);
    else
      MouseHover(Shape, Image, Shift, X, Y);
    return false;
  }
  if (DragMode == DRAG_PAN) return PanTo(X, Y);
  if (DragMode == DRAG_BAND) {
    DrawRubberBand(Image);  // XOR: erases the band at its old corner
    BandX = X;
    BandY = Y;
    DrawRubberBand(Image);
    return false;
  }
  return MouseDrag(Shape, Image, Shift.Contains(platform::ssShift), X, Y);
}

bool TEditBase::HandleMouseUp(TCS& Shape, TImage& Image, platform::TShiftState Shift, int32_t X, int32_t Y) {
  bool result = false;
  if (MouseIsDown) {
    MouseIsDown = false;
    if (DragMode == DRAG_PAN) {
      result = PanTo(X, Y);
    } else if (DragMode != DRAG_NONE) {
      if (DragMode == DRAG_BAND) {
        // The last outline stays until the next repaint.
        platform::TCanvas& canvas = Image.Canvas();
        canvas.Pen.Mode = platform::pmCopy;
        canvas.Pen.Style = platform::psSolid;
      }
      result = MouseUp(Shape, Image, Shift.Contains(platform::ssShift), X, Y);
    }
  }
  DragMode = DRAG_NONE;
  return result;
}

int32_t TEditBase::HandleKeyDown(TCS& Shape, uint16_t& Key, platform::TShiftState Shift) {
  if (Shift.Contains(platform::ssCtrl)) {
    if (Key == platform::VK_OEM_PLUS || Key == platform::VK_ADD) {
      ZoomStep(1);
      return 1;
    }
    if (Key == platform::VK_OEM_MINUS || Key == platform::VK_SUBTRACT) {
      ZoomStep(-1);
      return 1;
    }
  }
  if (Shape.Count > 0) return KeyDown(Shape, Key, Shift);
  return 0;
}

void TEditBase::DrawRubberBand(TImage& Image) {
  platform::TCanvas& canvas = Image.Canvas();
  canvas.Pen.Mode = platform::pmXor;
  canvas.Pen.Color = platform::clWhite;
  canvas.Pen.Width = 1;
  canvas.Pen.Style = platform::psDot;
  canvas.Brush.Style = platform::bsClear;
  canvas.Rectangle(std::min(AnchorX, BandX), std::min(AnchorY, BandY), std::max(AnchorX, BandX),
                   std::max(AnchorY, BandY));
}

void TEditBase::Paint(TCS& Shape, TImage& Image) {
  Image.Canvas().Pen.Mode = platform::pmCopy;
  Image.Surface();  // the surface takes the pane's size
  BeforePaint(Image);
  if (Painter) Painter(Shape, Image);
}

void TEditBase::PaintAlt(TCS& Shape, TImage& Image) {
  if (QuickPainter) QuickPainter(Shape, Image);
}

}  // namespace editor
