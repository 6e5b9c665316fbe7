#pragma once
// TEditLineDlg ("Edit Line", resizable): ticks the edit lines of the six-sided point editor, one
// check list for the columns and one for the rows. It works on the two mark arrays it is given
// (one byte per grid column or row): "Retry", "Reverse", "Select All" and "Select None" change
// them at once, OK writes the ticks into them. The caller then runs its after-command step.
#include <QDialog>

#include "shape/model/LineMarks.h"
#include "shape/model/ShapeRecord.h"

class QListWidget;
class QPushButton;

namespace editor {

class TEditLineDlg : public QDialog {
 public:
  explicit TEditLineDlg(QWidget* owner);

  // Keeps the shape's stitch type and size, copies the marks for "Retry", fills the lists,
  // ticks them from the marks and shows the dialog modally.
  void Execute(const shape::TCS& shape, shape::TLineMarks& columnMarks, shape::TLineMarks& rowMarks);

  shape::TScType StitchType = shape::SCTYPE_SPHERE;
  int32_t Cols = 0;
  int32_t Rows = 0;
  shape::TLineMarks SavedColumnMarks{};
  shape::TLineMarks SavedRowMarks{};

  // Column entry k stands for column k; row entry k for row Rows - 1 - k (the rows list runs
  // from the top of the grid down).
  int32_t ColumnEntries() const;
  int32_t RowEntries() const;
  void MarksToChecks();
  // The ticks into the marks; the seam column (and for the torus the seam row) follows its
  // twin.
  void ChecksToMarks();
  void RetryClick();
  void ReverseClick();
  void SelectAllClick();
  void SelectNoneClick();

  QListWidget* CLBLnI;  // "Columns:"
  QListWidget* CLBlnJ;  // "Rows:"
  QPushButton* OkButton;
  QPushButton* RetryButton;
  QPushButton* ReverseButton;
  QPushButton* SelectAllButton;
  QPushButton* SelectNoneButton;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;
  // The layout: the height stays at least 228 and the width is held at 225, or at what the
  // texts need at a larger font.
  void FormResize();

 private:
  void FillLists();
  void SetAllMarks(uint8_t value);
  shape::TLineMarks* columnMarks_ = nullptr;
  shape::TLineMarks* rowMarks_ = nullptr;
  QWidget* columnsLabel_;
  QWidget* rowsLabel_;
  bool built_ = false;  // the controls exist (layout events come while the form is built)
};

}  // namespace editor
