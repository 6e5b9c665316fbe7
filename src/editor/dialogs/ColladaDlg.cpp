#include "editor/dialogs/ColladaDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

#include "editor/controls/QSKSpinEdit.h"
#include "editor/dialogs/DialogForm.h"
#include "settings/AppSettings.h"

namespace editor {

namespace {

TQSKSpinEdit* AddSpinEdit(QWidget* parent, double increment, double maxValue, int32_t precision, int x,
                          int y) {
  auto* spin = new TQSKSpinEdit(parent);
  spin->Increment = increment;
  spin->SetMinValue(0);
  spin->SetMaxValue(maxValue);
  spin->SetPrecision(precision);
  spin->setGeometry(x, y, 100, std::max(spin->MinimumControlHeight(), 26));
  return spin;
}

}  // namespace

TColladaDlg::TColladaDlg(QWidget* owner) : QDialog(owner) {
  SetupDialogForm(*this, "Collada Option", 290, 236);
  AddLabel(this, QStringLiteral("Scale"), 16, 20, 70, 13);
  QSKSpinEdit2 = AddSpinEdit(this, 0.1, 64, 2, 100, 12);
  AddLabel(this, QStringLiteral("Hard Angle"), 16, 54, 70, 13);
  QSKSpinEdit1 = AddSpinEdit(this, 1, 180, 3, 100, 46);
  CheckBox2 = AddCheckBox(this, QStringLiteral("Save .dae and .obj File"), 16, 82, 260, 17);
  CheckBox1 = AddCheckBox(this, QStringLiteral("Save lowest/low/medium/high LoD"), 16, 104, 260, 17);
  CheckBox3 = AddCheckBox(this, QStringLiteral("Save Cube Phisics Shape"), 16, 126, 260, 17);
  ComboBox1 =
      AddDropDownList(this, {"Not optimize vertices", "Optimize vertices - Keep UVMap", "Optimize vertices"},
                      16, 152, 258, 21);
  OkButton = AddOkButton(*this, 16, 196, 80);
  CancelButton = AddCancelButton(*this, 105, 196, 80);
  BitBtn3 = AddButton(this, QStringLiteral("Default"), 194, 196, 80, 25);
  connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
}

void TColladaDlg::BitBtn3Click() {
  QSKSpinEdit1->SetValue(75);
  QSKSpinEdit2->SetValue(1);
  ComboBox1->setCurrentIndex(0);
  CheckBox1->setChecked(true);
  CheckBox2->setChecked(false);
  CheckBox3->setChecked(true);
}

bool TColladaDlg::Execute() {
  settings::TAppSettings& s = settings::AppSettings;
  QSKSpinEdit2->SetValue(s.ColladaScale);
  QSKSpinEdit1->SetValue(s.ColladaHardAngle);
  CheckBox2->setChecked(s.ColladaSaveObj2);
  CheckBox1->setChecked(s.ColladaSaveLod);
  CheckBox3->setChecked(s.ColladaSaveCubePhysics);
  ComboBox1->setCurrentIndex(
      s.ColladaOptimizeMesh >= 0 && s.ColladaOptimizeMesh < ComboBox1->count() ? s.ColladaOptimizeMesh : -1);
  if (exec() != QDialog::Accepted) return false;
  // what the boxes show once left: a number typed past a limit and confirmed with Enter is
  // stored at the limit
  s.ColladaScale = QSKSpinEdit2->ClampValue(QSKSpinEdit2->Value());
  s.ColladaHardAngle = QSKSpinEdit1->ClampValue(QSKSpinEdit1->Value());
  s.ColladaSaveObj2 = CheckBox2->isChecked();
  s.ColladaSaveLod = CheckBox1->isChecked();
  s.ColladaSaveCubePhysics = CheckBox3->isChecked();
  if (ComboBox1->currentIndex() >= 0) s.ColladaOptimizeMesh = ComboBox1->currentIndex();
  return true;
}

}  // namespace editor
