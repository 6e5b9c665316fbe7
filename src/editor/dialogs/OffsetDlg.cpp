#include "editor/dialogs/OffsetDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

#include "editor/dialogs/DialogForm.h"

namespace editor {

namespace {

constexpr std::initializer_list<const char*> kShifts = {"0",  "1",  "2",  "4",  "8",  "16",
                                                        "-1", "-2", "-4", "-8", "-16"};

}  // namespace

TOffsetDlg::TOffsetDlg(QWidget* owner) : QDialog(owner) {
  SetupDialogForm(*this, "Offset", 200, 156);
  AddLabel(this, QStringLiteral("X:"), 24, 15, 14, 13);
  ComboBox1 = AddDropDownList(this, kShifts, 44, 12, 65, 21);
  AddLabel(this, QStringLiteral("Y:"), 24, 42, 14, 13);
  ComboBox2 = AddDropDownList(this, kShifts, 44, 39, 65, 21);
  CheckBox1 = AddCheckBox(this, QStringLiteral("Rotate 180 degrees. "), 24, 68, 160, 17);
  CheckBox2 = AddCheckBox(this, QStringLiteral("Rotate 90 degrees. "), 24, 90, 160, 17);
  OkButton = AddOkButton(*this, 62, 120);
  // clicked, not toggled: only the user's ticks act, not the boxes set here
  connect(CheckBox1, &QCheckBox::clicked, this,
          [this](bool checked) { RotationClicked(CheckBox2, checked); });
  connect(CheckBox2, &QCheckBox::clicked, this,
          [this](bool checked) { RotationClicked(CheckBox1, checked); });
}

void TOffsetDlg::ResetAndEnable() {
  for (QComboBox* list : {ComboBox1, ComboBox2}) {
    SelectEntry(*list, QStringLiteral("0"));
    list->setEnabled(false);
  }
  for (QCheckBox* box : {CheckBox1, CheckBox2}) {
    box->setChecked(false);
    box->setEnabled(false);
  }
  const bool all = StitchType == shape::SCTYPE_TORUS || StitchType == shape::SCTYPE_PLANE;
  ComboBox1->setEnabled(true);
  CheckBox1->setEnabled(true);
  ComboBox2->setEnabled(all);
  CheckBox2->setEnabled(all);
}

void TOffsetDlg::RotationClicked(QCheckBox* other, bool checked) {
  if (!checked) {
    ResetAndEnable();
    return;
  }
  for (QComboBox* list : {ComboBox1, ComboBox2}) {
    SelectEntry(*list, QStringLiteral("0"));
    list->setEnabled(false);
  }
  other->setChecked(false);
  other->setEnabled(false);
}

void TOffsetDlg::Execute(shape::TScType stitchType) {
  StitchType = stitchType;
  ResetAndEnable();
  exec();
  ResultX = SelectedInteger(*ComboBox1, 0);
  ResultY = SelectedInteger(*ComboBox2, 0);
  Rotate180 = CheckBox1->isChecked();
  Rotate90 = CheckBox2->isChecked();
}

}  // namespace editor
