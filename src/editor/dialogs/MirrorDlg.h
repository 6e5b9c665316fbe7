#pragma once
// TMirrorDlg ("Mirror"): asks for the symmetry plane of a flip or half-mirror. Three picture
// buttons, "XY", "YZ" and "ZX" (tags 0, 1, 2), each showing its two axis letters in their axis
// colours.
#include <QDialog>
#include <QImage>
#include <cstdint>

class QPushButton;

namespace editor {

class TMirrorDlg : public QDialog {
 public:
  explicit TMirrorDlg(QWidget* owner);

  // Sets the caption, gives the default button (0..2) the focus and shows the dialog modally.
  // The result is the tag of the button pressed, -1 when the dialog was closed otherwise.
  int32_t Execute(const char* caption, int32_t defaultButton);

  // The picture of button `tag`: its two axis letters, each in its axis colour.
  static QImage PlanePicture(int32_t tag);

  QPushButton* PlaneButtons[3];

 private:
  int32_t result_ = -1;
};

}  // namespace editor
