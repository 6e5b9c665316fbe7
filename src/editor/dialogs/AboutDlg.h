#pragma once
// TAboutDlg ("Version Infomation"): the program's name with its file version, the maker and the
// credits, and a link label that opens its own text. Shown modally; nothing is read back.
#include <QDialog>
#include <string>

class QLabel;
class QPushButton;

namespace editor {

// The program file's version as major.minor.release.build ("6.205.0.0"), compiled in from the
// build; empty when the build gives none.
std::string ProgramFileVersion();

class TAboutDlg : public QDialog {
 public:
  explicit TAboutDlg(QWidget* owner);

  // ProductName := its text + " Ver." + the program file's version.
  void FormCreate();
  // Asks the desktop to open the link label's text.
  void L1Click();

  QLabel* ProductName;
  QLabel* L1;
  QPushButton* OkButton;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace editor
