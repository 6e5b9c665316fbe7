#include "editor/dialogs/NewDlg.h"

#include <QComboBox>
#include <QPushButton>

#include "editor/dialogs/DialogForm.h"
#include "settings/AppSettings.h"

namespace editor {

namespace {

constexpr std::initializer_list<const char*> kSizes = {"4", "8", "16", "32", "64", "128", "256"};
constexpr int32_t kNoSize = 32;         // a size list without selection counts as 32
constexpr int32_t kQuadsPerMap = 1024;  // one sculpt map holds 1024 quads
constexpr int32_t kLargestSize = 256;

int32_t SizeOf(const QComboBox& list) { return SelectedInteger(list, kNoSize); }

}  // namespace

TNewDlg::TNewDlg(QWidget* owner) : QDialog(owner) {
  SetupDialogForm(*this, "New", 290, 164);
  AddLabel(this, QStringLiteral("Sculpt Type"), 16, 16, 70, 13);
  ComboBox1 = AddDropDownList(this, {"SPHERE", "TORUS", "PLANE", "CYLINDER"}, 100, 12, 174, 21);
  AddLabel(this, QStringLiteral("Size"), 16, 45, 70, 13);
  ComboBox2 = AddDropDownList(this, kSizes, 100, 41, 55, 21);
  AddLabel(this, QStringLiteral("x"), 162, 45, 8, 13);
  ComboBox3 = AddDropDownList(this, kSizes, 175, 41, 55, 21);
  AddLabel(this, QStringLiteral("You can select"), 16, 74, 80, 13);
  ComboBox4 =
      AddDropDownList(this, {"single prim", "single prim and multiple prims", "all"}, 100, 70, 174, 21);
  OkButton = AddOkButton(*this, 64, 126);
  CancelButton = AddCancelButton(*this, 151, 126);
  // activated: only the user's picks act, not the selections made here
  connect(ComboBox2, &QComboBox::activated, this, [this] { ComboBox2Change(); });
  connect(ComboBox3, &QComboBox::activated, this, [this] { ComboBox3Change(); });
  connect(ComboBox4, &QComboBox::activated, this, [this] { ComboBox4Change(); });
}

void TNewDlg::FillDriven(QComboBox& driven, int32_t a) {
  const int32_t first = a > 0 ? kQuadsPerMap / a : kNoSize;
  driven.clear();
  switch (settings::AppSettings.MeshSizeType) {
    case 0:
      driven.addItem(QString::number(first));
      driven.setCurrentIndex(0);
      break;
    case 1:
      for (int32_t n = first; n > 0 && n <= kLargestSize; n *= 2) driven.addItem(QString::number(n));
      driven.setCurrentIndex(0);
      break;
    default:
      SetEntries(driven, kSizes);
      SelectEntry(driven, QString::number(first));
      break;
  }
}

void TNewDlg::ComboBox2Change() {
  if (settings::AppSettings.DividedHorizontal) FillDriven(*ComboBox3, SizeOf(*ComboBox2));
}

void TNewDlg::ComboBox3Change() {
  if (!settings::AppSettings.DividedHorizontal) FillDriven(*ComboBox2, SizeOf(*ComboBox3));
}

void TNewDlg::ComboBox4Change() {
  const int32_t mode = ComboBox4->currentIndex();
  if (mode < 0) return;
  settings::AppSettings.MeshSizeType = mode;
  ComboBox3->setEnabled(mode != 0);
  if (mode != 0) {
    ComboBox2Change();
    ComboBox3Change();
  }
}

bool TNewDlg::Execute(int32_t stitchType, int32_t columns, int32_t rows) {
  // Only the first two modes can be picked; a stored mode 2 still acts.
  if (ComboBox4->count() > 2) ComboBox4->removeItem(2);
  // The size lists start full each run, whichever of them drove last time.
  SetEntries(*ComboBox2, kSizes);
  SetEntries(*ComboBox3, kSizes);
  ComboBox1->setCurrentIndex(stitchType >= 0 && stitchType < ComboBox1->count() ? stitchType : -1);
  const int32_t mode = settings::AppSettings.MeshSizeType;
  ComboBox4->setCurrentIndex(mode >= 0 && mode < ComboBox4->count() ? mode : -1);
  ComboBox3->setEnabled(mode != 0);
  SelectEntry(*ComboBox2, QString::number(columns));
  ComboBox2Change();
  SelectEntry(*ComboBox3, QString::number(rows));
  ComboBox3Change();
  if (exec() != QDialog::Accepted) return false;
  ResultType = std::max(ComboBox1->currentIndex(), 0);
  ResultCols = SizeOf(*ComboBox2) + 1;
  ResultRows = SizeOf(*ComboBox3) + 1;
  return true;
}

}  // namespace editor
