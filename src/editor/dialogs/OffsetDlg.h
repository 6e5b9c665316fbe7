#pragma once
// TOffsetDlg ("Offset"): the column and row shift of the grid layout, or a half or quarter turn
// instead. The Edit > Offset command creates one per use, runs it for the shape's stitch type
// and reads the four results, whatever closed the dialog.
#include <QDialog>
#include <cstdint>

#include "shape/model/ShapeRecord.h"

class QCheckBox;
class QComboBox;
class QPushButton;

namespace editor {

class TOffsetDlg : public QDialog {
 public:
  explicit TOffsetDlg(QWidget* owner);

  // Resets and enables the controls for the stitch type, shows the dialog modally and reads
  // the results: sphere and cylinder offer the column shift and the half turn, torus and plane
  // all four controls.
  void Execute(shape::TScType stitchType);

  shape::TScType StitchType = shape::SCTYPE_SPHERE;
  int32_t ResultX = 0;  // column shift (0 when no entry is selected)
  int32_t ResultY = 0;  // row shift
  bool Rotate180 = false;
  bool Rotate90 = false;

  QComboBox* ComboBox1;  // "X:"
  QComboBox* ComboBox2;  // "Y:"
  QCheckBox* CheckBox1;  // "Rotate 180 degrees. "
  QCheckBox* CheckBox2;  // "Rotate 90 degrees. "
  QPushButton* OkButton;

 private:
  void ResetAndEnable();
  // Ticking a rotation box puts both shifts to "0" and locks them and the other box; unticking
  // it gives back the enabling of the stitch type.
  void RotationClicked(QCheckBox* other, bool checked);
};

}  // namespace editor
