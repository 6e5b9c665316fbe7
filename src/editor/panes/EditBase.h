#pragma once
// TEditBase: the base of every 2D editor that draws into one of the main window's panes (the
// shape-editor base TScBase in ScBase.h, the sculpt-image table TScBitmap, the texture painter
// TTxDraw). It holds what every pane shares: the view offset and zoom, panning with the space
// bar, the XOR rubber band, the routing of mouse and key events to the 27 virtual slots below,
// the two painters and the scroll-bar arithmetic.
//
// The main window keeps one instance of each editor for the whole run and calls the Handle...
// operations, Paint and the zoom and scroll operations from the pane's events; it never calls
// slots 0 to 4 itself.
#include <cstdint>
#include <functional>

#include "platform/ui/Control.h"
#include "shape/model/ShapeRecord.h"

namespace editor {

using shape::TCS;
// The pane an editor draws into (its window surface is the picture the painters fill).
using TImage = platform::TCustomControl;
// Paints the whole pane.
using TPanePainter = std::function<void(TCS& Shape, TImage& Image)>;

// The program's own cursors, by their index in the screen's cursor table (their images come
// with the main window; the editors only set the ids).
constexpr platform::TCursor crRoturn = 1;
constexpr platform::TCursor crRonwse = 2;
constexpr platform::TCursor crRonesw = 3;
constexpr platform::TCursor crHand1 = 4;  // open hand: the space bar is held
constexpr platform::TCursor crHand2 = 5;  // closed hand: the view is being dragged
constexpr platform::TCursor crRons = 6;
constexpr platform::TCursor crRoew = 7;
constexpr platform::TCursor crBtnwse = 8;
constexpr platform::TCursor crBtnesw = 9;
constexpr platform::TCursor crBtns = 10;
constexpr platform::TCursor crBtew = 11;
constexpr platform::TCursor crArmove = 12;

// Drag modes of the base; 0 and above belong to the descendants.
constexpr int32_t DRAG_NONE = -1;
constexpr int32_t DRAG_BAND = -2;
constexpr int32_t DRAG_PAN = -4;

// Edit modes.
constexpr int32_t EDIT_NORMAL = 0;
constexpr int32_t EDIT_WORP = 1;

class TEditBase {
 public:
  // ResetView, no drag, SetEditMode (0). A descendant that overrides ResetZoom or SetEditMode
  // calls its own in its constructor (a constructor reaches only the base's slots).
  TEditBase();
  virtual ~TEditBase();
  TEditBase(const TEditBase&) = delete;
  TEditBase& operator=(const TEditBase&) = delete;

  bool MouseIsDown = false;
  int32_t OffsetX = 0;  // view offset, subtracted from the screen position of every drawn point
  int32_t OffsetY = 0;
  double CentreX = 0;  // pane centre, set before painting
  double CentreY = 0;
  double Scale = 256;  // pixels per model unit
  int32_t WheelCount = 0;
  int32_t AnchorX = 0;  // where the button went down; while panning, the last position handled
  int32_t AnchorY = 0;
  int32_t BandX = 0;  // the rubber band's moving corner
  int32_t BandY = 0;
  int32_t DragMode = DRAG_NONE;
  TPanePainter Painter;       // the whole pane
  TPanePainter QuickPainter;  // the pane while something is dragged
  bool Changed = false;
  int32_t EditMode = EDIT_NORMAL;

  // Slots 0 to 26.
  // 0: code 0 nothing, 1 view changed, 2 shape changed.
  virtual int32_t KeyDown(TCS& Shape, uint16_t& Key, platform::TShiftState Shift);
  // 1: a drag began; sets DragMode.
  virtual bool MouseDown(TCS& Shape, TImage& Image, platform::TShiftState Shift, int32_t X, int32_t Y);
  // 2: no button held: cursor shape, status.
  virtual void MouseHover(TCS& Shape, TImage& Image, platform::TShiftState Shift, int32_t X, int32_t Y);
  // 3 and 4: the result tells whether the shape changed.
  virtual bool MouseDrag(TCS& Shape, TImage& Image, bool ShiftHeld, int32_t X, int32_t Y);
  virtual bool MouseUp(TCS& Shape, TImage& Image, bool ShiftHeld, int32_t X, int32_t Y);
  // 5: one zoom step about a pane point; DX, DY are the pane centre minus that point.
  virtual void ZoomAt(int32_t Direction, double DX, double DY);
  // 6: run by Paint before the painter.
  virtual void BeforePaint(TImage& Image);
  // 7: Scale := 256, WheelCount := 0.
  virtual void ResetZoom();
  // 8: fills ColumnMarks and RowMarks (every line marked by default).
  virtual void PublishLineMarks();
  // 9: scroll-bar steps, codes -2..2 (the scroll bar position minus 2) for each axis.
  virtual void ScrollBy(int32_t CodeX, int32_t CodeY, int32_t Width, int32_t Height);
  // 10 to 12: scroll positions 0..100, 50 in the middle.
  virtual void SetScrollPosX(int32_t Position);
  virtual void SetScrollPosY(int32_t Position);
  virtual void GetScrollPos(int32_t& PositionX, int32_t& PositionY);
  // 13: sets Painter and QuickPainter.
  virtual void ChoosePainters() = 0;
  // 14: the three sculpt-map channel values of the point under (X, Y).
  virtual bool ChannelValuesAt(const TCS& Shape, int32_t X, int32_t Y, int32_t& Red, int32_t& Green,
                               int32_t& Blue);
  // 15: EditMode := Mode.
  virtual void SetEditMode(int32_t Mode);
  // 16 to 26: the commands the main window enables and runs per editor.
  virtual bool EqualIntervals(TCS& Shape);
  virtual bool CanEqualIntervals(const TCS& Shape);
  virtual bool EqualDistance(TCS& Shape);
  virtual bool CanEqualDistance(const TCS& Shape);
  virtual bool CanEqualCurves(const TCS& Shape);
  // Kind: 0 Gauss, 1 moving average, 2 horizontal, 3 vertical moving average.
  virtual bool Smooth(TCS& Shape, int32_t Kind);
  virtual bool Magnet(TCS& Shape);
  virtual bool CanSameWidth(const TCS& Shape);
  virtual bool TwistApplies(shape::TScType StitchType);
  virtual bool CanTwist(const TCS& Shape);
  virtual bool CanCustomSides();

  void ResetOffsets();
  void ResetView();
  void OffsetBy(int32_t DX, int32_t DY);

  // The pane's events, as the main window routes them.
  void HandleMouseDown(TCS& Shape, TImage& Image, platform::TShiftState Shift, int32_t X, int32_t Y);
  bool HandleMouseMove(TCS& Shape, TImage& Image, platform::TShiftState Shift, int32_t X, int32_t Y);
  bool HandleMouseUp(TCS& Shape, TImage& Image, platform::TShiftState Shift, int32_t X, int32_t Y);
  // Ctrl with a plus key (187, 107) or minus key (189, 109) zooms (code 1); other keys reach
  // KeyDown only while the shape has selected points.
  int32_t HandleKeyDown(TCS& Shape, uint16_t& Key, platform::TShiftState Shift);

  // Moves the view by the mouse's way since the anchor; the anchor follows.
  bool PanTo(int32_t X, int32_t Y);
  // XOR, white, dotted, no fill: drawn twice it leaves the pane as it was.
  void DrawRubberBand(TImage& Image);

  // Paint: copy pen mode, surface at the pane's size, BeforePaint, Painter. PaintAlt: the
  // quick painter only.
  void Paint(TCS& Shape, TImage& Image);
  void PaintAlt(TCS& Shape, TImage& Image);

  void ZoomStep(int32_t Direction);
  // Every third wheel event zooms.
  void WheelZoom(int32_t Direction, double DX, double DY);
  // Scale := Level x 128 (without the zoom limits), the offsets scaled with it.
  void SetZoomLevel(int32_t Level);
  int32_t GetZoomLevel() const;
};

}  // namespace editor
