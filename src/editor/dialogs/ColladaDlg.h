#pragma once
// TColladaDlg ("Collada Option"): the options of the COLLADA export, kept in the "Collada"
// settings: scale, hard angle, the optimisation of the vertices, and whether the OBJ, the levels
// of detail and the physics cube are written too. "Default" puts the controls (not the
// settings) to the built-in values.
#include <QDialog>

class QCheckBox;
class QComboBox;
class QPushButton;

namespace editor {

class TQSKSpinEdit;

class TColladaDlg : public QDialog {
 public:
  explicit TColladaDlg(QWidget* owner);

  // Fills the controls from the settings and shows the dialog; on OK writes the six settings
  // and answers true (the save goes on), otherwise changes nothing and answers false.
  bool Execute();
  void BitBtn3Click();

  TQSKSpinEdit* QSKSpinEdit2;  // "Scale"
  TQSKSpinEdit* QSKSpinEdit1;  // "Hard Angle"
  QCheckBox* CheckBox2;        // "Save .dae and .obj File"
  QCheckBox* CheckBox1;        // "Save lowest/low/medium/high LoD"
  QCheckBox* CheckBox3;        // "Save Cube Phisics Shape"
  QComboBox* ComboBox1;        // the optimisation of the vertices
  QPushButton* OkButton;
  QPushButton* CancelButton;
  QPushButton* BitBtn3;  // "Default"
};

}  // namespace editor
