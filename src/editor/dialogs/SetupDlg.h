#pragma once
// TSetupDlg ("Setup"): shows the settings of the program's options and writes them back on OK
// (nothing on Cancel). Applying them to the running program is the setup command's work.
//
// The three degree lists show their setting in the user's regional format and read their
// entries in it or, when that fails, in the "." format their fixed entries are written in, so
// "22.5" keeps its value under a comma-decimal locale.
#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;

namespace editor {

class TColorDlg;
class TColorSwatch;

class TSetupDlg : public QDialog {
 public:
  // `colorDlg`: the colour picker the pen swatches open (may be null: the swatches then do
  // nothing).
  TSetupDlg(QWidget* owner, TColorDlg* colorDlg);

  // Fills the controls from the settings, shows the dialog modally and on OK writes them back.
  // True on OK.
  bool Execute();

  // A pen swatch was clicked: the colour picker for its colour, which it takes on OK.
  void ShapeXMouseUp(int32_t index);
  // The label of the Gauss track bar follows its position.
  void TrackBar1Change();

  QComboBox* ComboBox1;  // "Rotation Degree"
  QComboBox* ComboBox2;  // "Twist Degree"
  QComboBox* ComboBox5;  // "Shift Rotate Deg."
  QComboBox* ComboBox3;  // "TGA Save Size"
  QComboBox* ComboBox4;  // "Relocation to LOD"
  QSlider* TrackBar1;    // Gauss radius, 0..50
  QLabel* Label4;
  QCheckBox* CheckBox1;        // "Auto Split Background Image"
  QCheckBox* CheckBox2;        // "Copy Protection by transparent"
  QCheckBox* CheckBox3;        // "Auto Rename"
  QCheckBox* CheckBox4;        // "Fixed to Axis"
  QCheckBox* CheckBox5;        // "The independent Bitmap tab"
  QCheckBox* CheckBox6;        // "Auto Maximize"
  QCheckBox* CheckBox7;        // "Output text for KELPO"
  QCheckBox* CheckBox8;        // "Simplified Display"
  QCheckBox* CheckBox9;        // "Maximize with Symmetry"
  QCheckBox* CheckBox10;       // "use Direct2D"
  QCheckBox* CheckBox12;       // "Smart Scroll"
  QRadioButton* RadioButton1;  // "Horizontal"
  QRadioButton* RadioButton2;  // "Vertical"
  // The four pen swatches of the group "Texture Pen Color", by name and by index.
  TColorSwatch* PenColor[4];
  TColorSwatch*& PenColor0 = PenColor[0];
  TColorSwatch*& PenColor1 = PenColor[1];
  TColorSwatch*& PenColor2 = PenColor[2];
  TColorSwatch*& PenColor3 = PenColor[3];
  QPushButton* OkButton;
  QPushButton* CancelButton;

 private:
  void SettingsToControls();
  void ControlsToSettings();
  TColorDlg* colorDlg_;
};

}  // namespace editor
