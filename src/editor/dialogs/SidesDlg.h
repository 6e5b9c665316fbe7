#pragma once
// TSidesDlg ("Sides"): ticks the sides of the current shape editor while it is open. A tick
// goes to the editor's side marks at once and asks the main window to refresh; three buttons run
// the main window's side commands. The main window is reached only through the two callbacks.
#include <QDialog>
#include <functional>
#include <string>

#include "shape/model/LineMarks.h"
#include "shape/model/ShapeRecord.h"

class QListWidget;
class QPushButton;

namespace editor {

class TScBase;

class TSidesDlg : public QDialog {
 public:
  explicit TSidesDlg(QWidget* owner);

  // After a tick: the preview mesh is out of date and the editor's display must follow.
  std::function<void()> OnSidesChanged;
  // Runs the main window's side command of this caption ("Select &All", "Select &None",
  // "&Reverse").
  std::function<void(const std::string& caption)> OnSideCommand;

  // Lists the sides of `editor` (the current shape editor; none when null) with their ticks
  // and shows the dialog modally.
  void Execute(TScBase* editor, shape::TCS& shape);

  shape::TLineMarks Marks{};  // one mark byte per side

  // The ticks into Marks and the editor, then the refresh.
  void CheckListClickCheck();
  // Runs a side command and ticks the list from the editor's marks again.
  void RunSideCommand(const char* caption);

  QListWidget* CheckListBox1;
  QPushButton* CloseButton;
  QPushButton* SelectAllButton;
  QPushButton* SelectNoneButton;
  QPushButton* SmoothButton;
  QPushButton* ReverseButton;

 private:
  void MarksToChecks();
  TScBase* editor_ = nullptr;
  shape::TCS* shape_ = nullptr;
  bool filling_ = false;
};

}  // namespace editor
