#pragma once
// The palette dialog: a modal form, built in code, that shows a palette as a grid of colour
// swatches and lets the user pick one (the save-parameters preview shows and picks palette
// colours with it).
//
// Swatch i lies in column i mod 32 and row i div 32 of a 16-pixel grid, its rectangle
// (16 column + 1, 16 row + 1) to (16 column + 16, 16 row + 16). The swatch under the mouse is
// framed black (the others white); a click picks the framed swatch and closes the form with OK.
// Moving the mouse off the swatches keeps the last frame, and a click then still picks it. A
// click before any swatch was framed is ignored, and the columns end at 31: the mouse right of
// the grid frames nothing rather than a swatch of the next row.
#include <QDialog>
#include <cstdint>

#include "platform/gfx/Bitmap.h"
#include "rastova/core/RVDefs.h"

class QPushButton;

namespace rv {

class TRastovaPaletteDialog : public QDialog {
 public:
  // The form "Palette", 520 x 199, centred on the screen, with the "&Cancel" button at (4, 136).
  explicit TRastovaPaletteDialog(QWidget* AOwner = nullptr);

  // Shows Count entries of Palette, which stays the caller's (not copied).
  void SetPalette(const TRGB* Palette, int32_t Count);
  // Shows the form modally; true when a swatch was picked. The colour is then PickedColor.
  bool Execute();

  int32_t HighlightedIndex() const { return highlightedIndex_; }
  TColor PickedColor() const { return pickedColor_; }
  QPushButton* CancelButton() const { return cancelButton_; }
  // The swatch index at a client position; -1 when no swatch is there.
  int32_t SwatchAt(int32_t X, int32_t Y) const;
  // What the form shows (its swatches over the face colour).
  const platform::TBitmap& Surface() const { return surface_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void PaintSwatches();
  void MouseMoveHandler(int32_t X, int32_t Y);
  void ClickHandler();

  int32_t highlightedIndex_ = -1;
  const TRGB* palette_ = nullptr;
  int32_t colorCount_ = 0;
  QPushButton* cancelButton_ = nullptr;
  TColor pickedColor_ = 0;
  platform::TBitmap surface_;
};

}  // namespace rv
