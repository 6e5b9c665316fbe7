#pragma once
// TColorDlg ("Color Picker"): a hue ring round a saturation-lightness square, drawn into a
// 200 x 200 bitmap, with a swatch of the current colour. Hue 0 lies at the top of the ring and
// grows anticlockwise; in the square saturation grows to the right and lightness downwards.
#include <QDialog>
#include <cstdint>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Color.h"
#include "platform/ui/Control.h"

class QPushButton;

namespace editor {

class TColorSwatch;

// The angle of (a, b) in whole degrees, 0 for (0, positive b), growing anticlockwise.
int32_t ColorWheelAngle(int32_t a, int32_t b);

class TColorDlg : public QDialog {
 public:
  explicit TColorDlg(QWidget* owner);
  ~TColorDlg() override;

  // Makes the 200 x 200 picture (left empty when it cannot be made).
  void FormCreate();
  // Shows the dialog for `color`; true when OK closed it, PickedColor then holding the choice.
  bool Execute(platform::TColor color);

  platform::TColor PickedColor = platform::clBlack;
  int32_t Hue = 0;       // 0..359
  int32_t Sat = 0;       // 0..100
  int32_t Light = 0;     // 0..100
  int32_t DragPart = 0;  // 0 no drag, 1 in the square, 2 on the ring

  // The colour of Hue, Sat and Light.
  platform::TColor CurrentColor() const;
  // Draws ring, square and swatch, then the two markers, and shows the picture.
  void DrawPicker();
  // The two markers: white circles drawn in XOR, so drawing them again takes them off.
  void DrawMarkers();
  void ImageMouseDown(int x, int y);
  void ImageMouseMove(int x, int y);
  void ImageMouseUp();

  platform::TBitmap Picture;         // the 200 x 200 picture (empty when it could not be made)
  platform::TCustomControl* Image1;  // shows Picture and takes the mouse
  TColorSwatch* Shape1;
  QPushButton* OkButton;
  QPushButton* CancelButton;
};

}  // namespace editor
