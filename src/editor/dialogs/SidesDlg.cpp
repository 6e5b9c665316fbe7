#include "editor/dialogs/SidesDlg.h"

#include <QListWidget>
#include <QPushButton>
#include <algorithm>
#include <vector>

#include "editor/dialogs/DialogForm.h"
#include "editor/panes/ScBase.h"

namespace editor {

TSidesDlg::TSidesDlg(QWidget* owner) : QDialog(owner) {
  SetupDialogForm(*this, "Sides", 210, 250);
  CheckListBox1 = new QListWidget(this);
  CheckListBox1->setGeometry(8, 8, 105, 234);
  CloseButton = AddButton(this, QStringLiteral("Close"), 124, 8, 78, 25);
  CloseButton->setDefault(true);
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
  SelectAllButton = AddButton(this, QStringLiteral("Select &All"), 124, 48, 78, 25);
  SelectNoneButton = AddButton(this, QStringLiteral("Select &None"), 124, 80, 78, 25);
  SmoothButton = AddButton(this, QStringLiteral("&Smooth"), 124, 112, 78, 25);
  ReverseButton = AddButton(this, QStringLiteral("&Reverse"), 124, 144, 78, 25);
  connect(SelectAllButton, &QPushButton::clicked, this, [this] { RunSideCommand("Select &All"); });
  connect(SelectNoneButton, &QPushButton::clicked, this, [this] { RunSideCommand("Select &None"); });
  connect(ReverseButton, &QPushButton::clicked, this, [this] { RunSideCommand("&Reverse"); });
  connect(CheckListBox1, &QListWidget::itemChanged, this, [this] {
    if (!filling_) CheckListClickCheck();
  });
}

void TSidesDlg::MarksToChecks() {
  filling_ = true;
  const int n = std::min<int>(CheckListBox1->count(), shape::kGridMax);
  for (int k = 0; k < n; ++k)
    CheckListBox1->item(k)->setCheckState(Marks[k] != 0 ? Qt::Checked : Qt::Unchecked);
  filling_ = false;
}

void TSidesDlg::Execute(TScBase* editor, shape::TCS& shape) {
  editor_ = editor;
  shape_ = &shape;
  filling_ = true;
  CheckListBox1->clear();
  Marks.fill(0);
  if (editor_ != nullptr) {
    std::vector<std::string> labels;
    editor_->ListSideLabels(shape, labels);
    for (const std::string& label : labels) {
      auto* item = new QListWidgetItem(QString::fromStdString(label), CheckListBox1);
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
      item->setCheckState(Qt::Unchecked);
    }
    editor_->GetSideMarks(Marks, shape);
  }
  filling_ = false;
  MarksToChecks();
  exec();
  editor_ = nullptr;
  shape_ = nullptr;
}

void TSidesDlg::CheckListClickCheck() {
  if (editor_ == nullptr) return;
  const int n = std::min<int>(CheckListBox1->count(), shape::kGridMax);
  for (int k = 0; k < n; ++k) Marks[k] = CheckListBox1->item(k)->checkState() == Qt::Checked ? 1 : 0;
  editor_->SetSideMarks(Marks, *shape_);
  if (OnSidesChanged) OnSidesChanged();
}

void TSidesDlg::RunSideCommand(const char* caption) {
  if (OnSideCommand) OnSideCommand(caption);
  if (editor_ == nullptr) return;
  editor_->GetSideMarks(Marks, *shape_);
  MarksToChecks();
}

}  // namespace editor
