#pragma once
// TScBitmap: the sculpt-image editor. The pane shows the shape as the sculpt map sees it: a
// table of cells, one per grid point, filled with the point's red, green and blue channel
// values, under a header row of column labels and beside a header column of row labels. The
// last grid row is on top, as in the sculpt map. Cells are selected with clicks and bands
// (whole columns and rows through the headers) and nudged with the arrow and page keys.
//
// Layout in pixels: cells on a 15-pixel pitch (CellSize) with 13-pixel interiors (CellInner);
// the header row at y 0..14 and the header column at x 0..14; display column c at
// x = (c + 1) x 15 shows grid column c + round(OffsetX / 15), display row r at y = (r + 1) x 15
// shows grid row CPMaxJ - 1 - (r + round(OffsetY / 15)). The view does not zoom: zoom requests
// scroll instead.
#include <cstdint>

#include "editor/panes/EditBase.h"

namespace editor {

// The step of a nudge in channel units (1/128 of the modelling cube), kept by the main window
// equal to its step spin edit (1..255; 1 at start).
extern int32_t ChannelStep;

class TScBitmap : public TEditBase {
 public:
  TScBitmap();

  bool SelectValue = false;  // what the current click or band writes into SP
  int32_t CellInner = 13;
  int32_t CellSize = 15;
  int32_t ScrollColumns = 257;  // how far the view scrolls, recomputed by every paint
  int32_t ScrollRows = 257;

  // Left/Right +-ChannelStep on x, Up/Down on y, Page Up/Page Down on z (code 2).
  int32_t KeyDown(TCS& Shape, uint16_t& Key, platform::TShiftState Shift) override;
  // A band always; SelectValue from the press (a header toggles its whole line).
  bool MouseDown(TCS& Shape, TImage& Image, platform::TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseHover(TCS& Shape, TImage& Image, platform::TShiftState Shift, int32_t X, int32_t Y) override;
  bool MouseDrag(TCS& Shape, TImage& Image, bool ShiftHeld, int32_t X, int32_t Y) override;
  bool MouseUp(TCS& Shape, TImage& Image, bool ShiftHeld, int32_t X, int32_t Y) override;
  // Scrolls 16 pixels (-16 for Direction 0 or below) along the axis with more to scroll.
  void ZoomAt(int32_t Direction, double DX, double DY) override;
  void ResetZoom() override;
  void ScrollBy(int32_t CodeX, int32_t CodeY, int32_t Width, int32_t Height) override;
  void SetScrollPosX(int32_t Position) override;
  void SetScrollPosY(int32_t Position) override;
  void GetScrollPos(int32_t& PositionX, int32_t& PositionY) override;
  void ChoosePainters() override;
  bool ChannelValuesAt(const TCS& Shape, int32_t X, int32_t Y, int32_t& Red, int32_t& Green,
                       int32_t& Blue) override;
  bool EqualIntervals(TCS& Shape) override;
  bool CanEqualIntervals(const TCS& Shape) override;
  bool EqualDistance(TCS& Shape) override;
  bool CanEqualDistance(const TCS& Shape) override;
  bool Smooth(TCS& Shape, int32_t Kind) override;
  bool Magnet(TCS& Shape) override;

  // The step buttons and the "Update" buttons of the main window.
  void NudgeSelected(TCS& Shape, int32_t DX, int32_t DY, int32_t DZ);
  void SetSelectedChannels(TCS& Shape, int32_t Red, int32_t Green, int32_t Blue);
  // The pixel where the interior of cell `Index` starts: (Index + 1) x 15 + 1.
  static int32_t CellPixel(int32_t Index);

  // The grid column and row under a pane pixel: -1 on the header, -2 outside the grid.
  void PixelToCell(const TCS& Shape, int32_t X, int32_t Y, int32_t& Column, int32_t& Row) const;
  // Selects the band from (X1, Y1) to (X2, Y2); without Add the band replaces the selection.
  void BandSelect(TCS& Shape, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, bool Add);

  // The table painters of the two pipelines (the same picture; the text differs by a pixel).
  void PaintTableGdiPlus(TCS& Shape, TImage& Image);
  void PaintTableD2D(TCS& Shape, TImage& Image);

 private:
  void PaintTable(TCS& Shape, TImage& Image, bool D2D);
  bool PressValue(const TCS& Shape, int32_t X, int32_t Y) const;
};

}  // namespace editor
