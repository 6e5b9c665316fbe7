#pragma once
// The plug-in's dialog: a size track bar, the list of seventeen polyhedra and an OK button.
// On OK the chosen polyhedron is written into the shape record and the choice is stored
// under the settings key the editor passes.
#include <QDialog>
#include <string>

#include "shape/model/ShapeRecord.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

namespace polyhedron {

class TPlugSetupDlg : public QDialog {
  Q_OBJECT

 public:
  // `owner`: the editor's main window (may be null); the dialog is modal over it and centred on it.
  explicit TPlugSetupDlg(QWidget* owner);

  // Loads the settings under `regPath`, shows the dialog modally and, when it ends with OK,
  // writes the polyhedron into `cs`, stores the settings and returns true. Otherwise the
  // shape and the stored settings stay as they were and the result is false.
  bool Execute(const char16_t* regPath, shape::TCS& cs);

  // Writes the polyhedron of PolyhdType at PolyhdSize into `cs`.
  void _Execute(shape::TCS& cs);
  void LoadSettings();
  void SaveSettings();
  void SettingsToControls();
  void ControlsToSettings();
  // The dialog as wide as its caption needs under a window manager, as the editor's dialogs are:
  // the caption's text at the default font and the room of the window's icon and three caption
  // buttons, each a square of the text's line height and 8 pixels; never narrower than its
  // controls' 196 pixels, which stay centred.
  void FitToCaption();

  QLabel* Label1;
  QSlider* TrackBar1;
  QComboBox* ComboBox1;
  QPushButton* BitBtn2;

  std::u16string RegPath;
  int32_t PolyhdType = 0;
  int32_t PolyhdSize = 10;
};

}  // namespace polyhedron
