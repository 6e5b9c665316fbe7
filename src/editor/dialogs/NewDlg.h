#pragma once
// TNewDlg ("New"): the stitch type and size of a new shape. The two size lists are linked by
// the setting "Divided Horizontal": when it is on the columns drive the rows, else the rows
// drive the columns, and the driven list offers what the selection mode ("Mesh Size Type")
// allows for the driving size: 0 "single prim" one sculpt map of 1024 quads, 1 "single prim
// and multiple prims" that size and its doublings up to 256, 2 "all" every size.
#include <QDialog>
#include <cstdint>

class QComboBox;
class QPushButton;

namespace editor {

class TNewDlg : public QDialog {
 public:
  explicit TNewDlg(QWidget* owner);

  // `columns` and `rows` are the current shape's quads (CPMaxI - 1, CPMaxJ - 1). True on OK,
  // with the results set.
  bool Execute(int32_t stitchType, int32_t columns, int32_t rows);

  int32_t ResultType = 0;   // stitch type 0..3
  int32_t ResultCols = 33;  // columns of the new grid (quads + 1)
  int32_t ResultRows = 33;  // rows of the new grid

  // The columns list drives the rows (only while "Divided Horizontal" is on).
  void ComboBox2Change();
  // The rows list drives the columns (only while "Divided Horizontal" is off).
  void ComboBox3Change();
  // The user picked a selection mode: it is stored in "Mesh Size Type" at once.
  void ComboBox4Change();

  QComboBox* ComboBox1;  // "Sculpt Type"
  QComboBox* ComboBox2;  // "Size": columns, in quads
  QComboBox* ComboBox3;  // "x": rows, in quads
  QComboBox* ComboBox4;  // "You can select"
  QPushButton* OkButton;
  QPushButton* CancelButton;

 private:
  // Empties `driven` and refills it from the size `a` the other list shows, for the mode.
  void FillDriven(QComboBox& driven, int32_t a);
};

}  // namespace editor
