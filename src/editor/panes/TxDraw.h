#pragma once
// TTxDraw: the texture painter. The pane shows the base colour bitmap of the shape's texture
// (shape/TextureBitmaps.h), scaled and scrolled like the other panes; the user paints on the
// base pair with a pen of the chosen colour and width (the colour bitmap in the pen colour, the
// alpha bitmap fully opaque), draws straight lines while Shift is held, and erases back to the
// loaded pair. The main window refreshes the display pair and the preview afterwards.
#include <cstdint>

#include "editor/panes/EditBase.h"
#include "platform/gfx/Types.h"

namespace editor {

// What a press of the mouse does.
constexpr uint8_t TXDRAW_PEN = 0;
constexpr uint8_t TXDRAW_LINE = 1;  // only during a Shift drag
constexpr uint8_t TXDRAW_ERASER = 2;

// The drag mode of a stroke, a line or an erasure.
constexpr int32_t DRAG_PAINT = -3;

// The colour of the straight line's XOR preview.
constexpr platform::TColor kLinePreviewColor = 0x585858;

class TTxDraw : public TEditBase {
 public:
  TTxDraw();

  int32_t LineStartX = 0;  // texture pixel where the straight line began
  int32_t LineStartY = 0;
  int32_t LineEndX = 0;
  int32_t LineEndY = 0;
  double ViewScale = 1.0;     // Scale / 256, taken at each paint
  int32_t HalfViewWidth = 0;  // half the displayed texture, taken at each paint
  int32_t HalfViewHeight = 0;
  uint8_t DrawMode = TXDRAW_PEN;

  bool MouseDown(TCS& Shape, TImage& Image, platform::TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseHover(TCS& Shape, TImage& Image, platform::TShiftState Shift, int32_t X, int32_t Y) override;
  bool MouseDrag(TCS& Shape, TImage& Image, bool ShiftHeld, int32_t X, int32_t Y) override;
  bool MouseUp(TCS& Shape, TImage& Image, bool ShiftHeld, int32_t X, int32_t Y) override;
  // Centre, then the offsets within half the displayed texture either way.
  void BeforePaint(TImage& Image) override;
  void SetScrollPosX(int32_t Position) override;
  void SetScrollPosY(int32_t Position) override;
  void GetScrollPos(int32_t& PositionX, int32_t& PositionY) override;
  void ChoosePainters() override;

  // The texture pixel under a pane pixel (ties to even). It may lie outside the texture.
  platform::TPoint PaneToTexture(int32_t X, int32_t Y) const;
  // Copies the square of half-size "EraseWidth" round T (right and bottom exclusive) from the
  // loaded pair to the base pair, as far as it lies on both.
  void EraseAt(platform::TPoint T);

  // The texture painters of the two pipelines (the same picture).
  void PaintTextureGdiPlus(TCS& Shape, TImage& Image);
  void PaintTextureD2D(TCS& Shape, TImage& Image);

 private:
  void PaintTexture(TImage& Image);
  void DrawLinePreview();
  void SetUpPens();
};

}  // namespace editor
