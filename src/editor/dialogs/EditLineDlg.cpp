#include "editor/dialogs/EditLineDlg.h"

#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "editor/dialogs/DialogForm.h"
#include "shape/TextureBitmaps.h"

namespace editor {

namespace {

constexpr int kWidth = 225;
constexpr int kMinHeight = 228;

bool Ticked(const QListWidget& list, int32_t k) { return list.item(k)->checkState() == Qt::Checked; }

void Tick(QListWidget& list, int32_t k, bool on) {
  list.item(k)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

// Grid sizes as the marks can hold them.
int32_t Bounded(int32_t n) { return std::clamp(n, 0, shape::kGridMax); }

}  // namespace

TEditLineDlg::TEditLineDlg(QWidget* owner) : QDialog(owner) {
  SetupDialogForm(*this, "Edit Line", 0, 0);
  setMinimumSize(kWidth, kMinHeight);
  setMaximumWidth(kWidth);
  resize(kWidth, 320);
  columnsLabel_ = AddLabel(this, QStringLiteral("Columns:"), 8, 6, 60, 13);
  rowsLabel_ = AddLabel(this, QStringLiteral("Rows:"), 76, 6, 60, 13);
  CLBLnI = new QListWidget(this);
  CLBlnJ = new QListWidget(this);
  OkButton = AddOkButton(*this, 0, 0, 70, 25);
  RetryButton = AddButton(this, QStringLiteral("Retry"), 0, 0, 70, 25);
  ReverseButton = AddButton(this, QStringLiteral("Reverse"), 0, 0, 70, 25);
  SelectAllButton = AddButton(this, QStringLiteral("Select All"), 0, 0, 70, 25);
  SelectNoneButton = AddButton(this, QStringLiteral("Select None"), 0, 0, 70, 25);
  connect(RetryButton, &QPushButton::clicked, this, [this] { RetryClick(); });
  connect(ReverseButton, &QPushButton::clicked, this, [this] { ReverseClick(); });
  connect(SelectAllButton, &QPushButton::clicked, this, [this] { SelectAllClick(); });
  connect(SelectNoneButton, &QPushButton::clicked, this, [this] { SelectNoneClick(); });
  built_ = true;
  FormResize();
}

void TEditLineDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  FormResize();
}

bool TEditLineDlg::event(QEvent* event) {
  const bool handled = QDialog::event(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::Show) FormResize();
  return handled;
}

void TEditLineDlg::FormResize() {
  // Two lists side by side filling the height, the buttons in a column at the right; the
  // columns as wide as their texts need, at least as the form was drawn. The width is held,
  // the height kept at least kMinHeight.
  if (!built_) return;
  QPushButton* buttons[] = {OkButton, RetryButton, ReverseButton, SelectAllButton, SelectNoneButton};
  int list = 60, button = 71, line = 13;
  for (QWidget* label : {columnsLabel_, rowsLabel_}) {
    list = std::max(list, TextNeed(*label).width());
    line = std::max(line, TextNeed(*label).height());
  }
  for (QPushButton* b : buttons) button = std::max(button, TextNeed(*b).width());
  const int width = kWidth - 2 * 60 - 71 + 2 * list + button;
  if (minimumWidth() != width || maximumWidth() != width) {
    setMinimumSize(width, kMinHeight);
    setMaximumWidth(width);
  }
  const int h = height(), top = 9 + line;
  columnsLabel_->setGeometry(8, 6, list, line);
  rowsLabel_->setGeometry(16 + list, 6, list, line);
  CLBLnI->setGeometry(8, top, list, std::max(h - top - 8, 10));
  CLBlnJ->setGeometry(16 + list, top, list, std::max(h - top - 8, 10));
  const int buttonHeight = std::max(25, TextNeed(*OkButton).height());
  for (int k = 0; k < 5; ++k) buttons[k]->setGeometry(26 + 2 * list, top + k * (buttonHeight + 8), button, buttonHeight);
}

int32_t TEditLineDlg::ColumnEntries() const {
  return StitchType == shape::SCTYPE_PLANE ? Bounded(Cols) : Bounded(Cols - 1);
}

int32_t TEditLineDlg::RowEntries() const {
  return StitchType == shape::SCTYPE_TORUS ? Bounded(Rows - 1) : Bounded(Rows);
}

void TEditLineDlg::FillLists() {
  CLBLnI->clear();
  CLBlnJ->clear();
  for (int32_t k = 0; k < ColumnEntries(); ++k)
    CLBLnI->addItem(QString::fromStdString(shape::GridLabelPair(k, Cols)));
  for (int32_t k = 0; k < RowEntries(); ++k)
    CLBlnJ->addItem(QString::fromStdString(shape::GridLabelPair(k, Rows)));
  for (QListWidget* list : {CLBLnI, CLBlnJ})
    for (int k = 0; k < list->count(); ++k)
      list->item(k)->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
}

void TEditLineDlg::MarksToChecks() {
  for (int32_t k = 0; k < ColumnEntries(); ++k) Tick(*CLBLnI, k, (*columnMarks_)[k] != 0);
  for (int32_t k = 0; k < RowEntries(); ++k) Tick(*CLBlnJ, k, (*rowMarks_)[Rows - 1 - k] != 0);
}

void TEditLineDlg::ChecksToMarks() {
  shape::TLineMarks& columns = *columnMarks_;
  shape::TLineMarks& rows = *rowMarks_;
  for (int32_t k = 0; k < ColumnEntries(); ++k) columns[k] = Ticked(*CLBLnI, k) ? 1 : 0;
  if (StitchType != shape::SCTYPE_PLANE && Cols >= 1) columns[Cols - 1] = columns[0];
  for (int32_t k = 0; k < RowEntries(); ++k) rows[Rows - 1 - k] = Ticked(*CLBlnJ, k) ? 1 : 0;
  if (StitchType == shape::SCTYPE_TORUS && Rows >= 1) rows[0] = rows[Rows - 1];
}

void TEditLineDlg::Execute(const shape::TCS& shape, shape::TLineMarks& columnMarks,
                           shape::TLineMarks& rowMarks) {
  StitchType = shape.ScType;
  Cols = Bounded(shape.CPMaxI);
  Rows = Bounded(shape.CPMaxJ);
  columnMarks_ = &columnMarks;
  rowMarks_ = &rowMarks;
  SavedColumnMarks = columnMarks;
  SavedRowMarks = rowMarks;
  FillLists();
  MarksToChecks();
  if (exec() == QDialog::Accepted) ChecksToMarks();
}

void TEditLineDlg::RetryClick() {
  *columnMarks_ = SavedColumnMarks;
  *rowMarks_ = SavedRowMarks;
  MarksToChecks();
}

void TEditLineDlg::ReverseClick() {
  ChecksToMarks();
  for (int32_t k = 0; k < Cols; ++k) (*columnMarks_)[k] ^= 1;
  for (int32_t k = 0; k < Rows; ++k) (*rowMarks_)[k] ^= 1;
  MarksToChecks();
}

void TEditLineDlg::SetAllMarks(uint8_t value) {
  std::fill_n(columnMarks_->begin(), Cols, value);
  std::fill_n(rowMarks_->begin(), Rows, value);
  MarksToChecks();
}

void TEditLineDlg::SelectAllClick() { SetAllMarks(1); }

void TEditLineDlg::SelectNoneClick() { SetAllMarks(0); }

}  // namespace editor
