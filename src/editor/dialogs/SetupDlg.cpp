#include "editor/dialogs/SetupDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "common/Round.h"
#include "editor/controls/ColorSwatch.h"
#include "editor/controls/RegionalNumbers.h"
#include "editor/dialogs/ColorDlg.h"
#include "editor/dialogs/DialogForm.h"
#include "settings/AppSettings.h"

namespace editor {

namespace {

constexpr std::initializer_list<const char*> kRotationDegrees = {
    "1", "5", "5.625", "7.5", "10", "11.25", "15", "22.5", "30", "36", "45", "60", "72", "90", "180"};
constexpr std::initializer_list<const char*> kTwistDegrees = {
    "1", "5", "5.625", "7.5", "10", "11.25", "15", "22.5", "30", "36", "45", "60", "72"};
constexpr int kShiftFallbackEntry = 4;  // "10"
constexpr double kRotationFallback = 30;
constexpr double kTwistFallback = 60;
constexpr double kShiftFallback = 10;
constexpr double kGaussMax = 2.5;
constexpr int kTrackBarMax = 50;

// Refills a degree list and selects `value`: the entry of the same text or of the same number.
// A value that no entry holds is added at the end and selected, or with `addMissing` off the
// fallback entry is selected.
void ShowDegree(QComboBox& list, std::initializer_list<const char*> entries, double value, bool addMissing) {
  SetEntries(list, entries);
  const QString text = ShortestRegionalText(value);
  int found = list.findText(text);
  for (int k = 0; found < 0 && k < list.count(); ++k) {
    double entry = 0;
    if (TryListNumber(list.itemText(k), entry) && entry == value) found = k;
  }
  if (found < 0 && addMissing) {
    list.addItem(text);
    found = list.count() - 1;
  }
  list.setCurrentIndex(found >= 0 ? found : kShiftFallbackEntry);
}

double SelectedDegree(const QComboBox& list, double fallback) {
  double v = 0;
  return list.currentIndex() >= 0 && TryListNumber(list.currentText(), v) ? v : fallback;
}

}  // namespace

TSetupDlg::TSetupDlg(QWidget* owner, TColorDlg* colorDlg) : QDialog(owner), colorDlg_(colorDlg) {
  SetupDialogForm(*this, "Setup", 470, 330);
  AddLabel(this, QStringLiteral("Rotation Degree"), 16, 16, 110, 13);
  ComboBox1 = AddDropDownList(this, kRotationDegrees, 130, 12, 80, 21);
  AddLabel(this, QStringLiteral("Twist Degree"), 16, 44, 110, 13);
  ComboBox2 = AddDropDownList(this, kTwistDegrees, 130, 40, 80, 21);
  AddLabel(this, QStringLiteral("Shift Rotate Deg."), 16, 72, 110, 13);
  ComboBox5 = AddDropDownList(this, kTwistDegrees, 130, 68, 80, 21);
  AddLabel(this, QStringLiteral("TGA Save Size"), 16, 100, 110, 13);
  ComboBox3 = AddDropDownList(this, {"64x64", "128x128"}, 130, 96, 90, 21);
  AddLabel(this, QStringLiteral("Relocation to LOD"), 16, 128, 110, 13);
  ComboBox4 = AddDropDownList(this, {"None", "by Linear", "by Parent", "by Subdivision"}, 130, 124, 110, 21);
  TrackBar1 = new QSlider(Qt::Horizontal, this);
  TrackBar1->setGeometry(12, 154, 130, 26);
  TrackBar1->setRange(0, kTrackBarMax);
  TrackBar1->setTickPosition(QSlider::TicksBelow);
  TrackBar1->setTickInterval(5);
  Label4 = AddLabel(this, QString(), 148, 160, 108, 13);
  connect(TrackBar1, &QSlider::valueChanged, this, [this] { TrackBar1Change(); });
  AddLabel(this, QStringLiteral("Split of object :"), 16, 192, 90, 13);
  RadioButton1 = new QRadioButton(QStringLiteral("Horizontal"), this);
  RadioButton1->setGeometry(106, 190, 80, 17);
  RadioButton2 = new QRadioButton(QStringLiteral("Vertical"), this);
  RadioButton2->setGeometry(186, 190, 70, 17);
  auto* pens = new QGroupBox(QStringLiteral("Texture Pen Color"), this);
  pens->setGeometry(16, 216, 224, 58);
  for (int k = 0; k < 4; ++k) {
    PenColor[k] = new TColorSwatch(pens, true);
    PenColor[k]->setObjectName(QStringLiteral("PenColor%1").arg(k));
    PenColor[k]->setGeometry(16 + k * 52, 22, 26, 26);
    PenColor[k]->OnMouseUp = [this, k](platform::TControl*, platform::TMouseButton, platform::TShiftState,
                                       int, int) { ShapeXMouseUp(k); };
  }
  int y = 12;
  auto nextBox = [this, &y](const char* text) {
    QCheckBox* box = AddCheckBox(this, QString::fromUtf8(text), 262, y, 200, 17);
    y += 22;
    return box;
  };
  CheckBox2 = nextBox("Copy Protection by transparent");
  CheckBox3 = nextBox("Auto Rename");
  CheckBox4 = nextBox("Fixed to Axis");
  CheckBox5 = nextBox("The independent Bitmap tab");
  CheckBox6 = nextBox("Auto Maximize");
  CheckBox1 = nextBox("Auto Split Background Image");
  CheckBox7 = nextBox("Output text for KELPO");
  CheckBox8 = nextBox("Simplified Display");
  CheckBox9 = nextBox("Maximize with Symmetry");
  CheckBox10 = nextBox("use Direct2D");
  CheckBox12 = nextBox("Smart Scroll");
  OkButton = AddOkButton(*this, 298, 292);
  CancelButton = AddCancelButton(*this, 382, 292);
}

void TSetupDlg::TrackBar1Change() {
  Label4->setText(QStringLiteral("Smooth Radius ") + QString::number(TrackBar1->value()));
}

void TSetupDlg::ShapeXMouseUp(int32_t index) {
  if (index < 0 || index > 3 || colorDlg_ == nullptr) return;
  if (colorDlg_->Execute(PenColor[index]->BrushColor()))
    PenColor[index]->SetBrushColor(colorDlg_->PickedColor);
}

void TSetupDlg::SettingsToControls() {
  const settings::TAppSettings& s = settings::AppSettings;
  ShowDegree(*ComboBox1, kRotationDegrees, s.RotateDegreeF, true);
  ShowDegree(*ComboBox2, kTwistDegrees, s.TwistDegreeF, true);
  ShowDegree(*ComboBox5, kTwistDegrees, 360.0 / s.GridRad, false);
  ComboBox3->setCurrentIndex(s.TgaSize == 64 ? 0 : 1);
  ComboBox4->setCurrentIndex(s.RearrangeType >= 0 && s.RearrangeType < ComboBox4->count() ? s.RearrangeType
                                                                                          : -1);
  TrackBar1->setValue(common::RoundInt(s.GaussRadius / kGaussMax * kTrackBarMax));
  TrackBar1Change();
  CheckBox2->setChecked(s.SculptTransparent);
  CheckBox3->setChecked(!s.FileOverWrite);
  CheckBox4->setChecked(s.FixedToAxis);
  CheckBox5->setChecked(s.ThreePanesDisplay);
  CheckBox6->setChecked(s.AutoMaximize);
  RadioButton1->setChecked(s.DividedHorizontal);
  RadioButton2->setChecked(!s.DividedHorizontal);
  CheckBox1->setChecked(s.AutoSplitBkImage);
  CheckBox7->setChecked(s.OutputTextForKelpo);
  CheckBox8->setChecked(s.SimplifiedDisplay);
  CheckBox9->setChecked(s.MaximizeWithSymmetry);
  // the 2D painters of both kinds are always there
  CheckBox10->setEnabled(true);
  CheckBox10->setChecked(s.UseDirect2D);
  CheckBox12->setChecked(s.SmartScrollBar);
  for (int k = 0; k < 4; ++k) PenColor[k]->SetBrushColor(s.PenColors[k]);
}

void TSetupDlg::ControlsToSettings() {
  settings::TAppSettings& s = settings::AppSettings;
  s.RotateDegreeF = SelectedDegree(*ComboBox1, kRotationFallback);
  s.TwistDegreeF = SelectedDegree(*ComboBox2, kTwistFallback);
  s.TgaSize = ComboBox3->currentIndex() == 0 ? 64 : 128;
  if (ComboBox4->currentIndex() >= 0) s.RearrangeType = ComboBox4->currentIndex();
  s.GridRad = common::RoundInt(360.0 / SelectedDegree(*ComboBox5, kShiftFallback));
  settings::UpdateGridAngleStep();
  s.SculptTransparent = CheckBox2->isChecked();
  s.FileOverWrite = !CheckBox3->isChecked();
  s.FixedToAxis = CheckBox4->isChecked();
  s.ThreePanesDisplay = CheckBox5->isChecked();
  s.AutoMaximize = CheckBox6->isChecked();
  s.DividedHorizontal = RadioButton1->isChecked();
  s.AutoSplitBkImage = CheckBox1->isChecked();
  s.OutputTextForKelpo = CheckBox7->isChecked();
  s.SimplifiedDisplay = CheckBox8->isChecked();
  s.MaximizeWithSymmetry = CheckBox9->isChecked();
  s.UseDirect2D = CheckBox10->isChecked();
  s.SmartScrollBar = CheckBox12->isChecked();
  for (int k = 0; k < 4; ++k) s.PenColors[k] = PenColor[k]->BrushColor() & 0xFFFFFF;
  s.GaussRadius = TrackBar1->value() * kGaussMax / kTrackBarMax;
}

bool TSetupDlg::Execute() {
  SettingsToControls();
  if (exec() != QDialog::Accepted) return false;
  ControlsToSettings();
  return true;
}

}  // namespace editor
