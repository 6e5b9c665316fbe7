#include "editor/dialogs/AboutDlg.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>

#include "editor/dialogs/DialogForm.h"
#include "editor/dialogs/ProgramIcon.h"

namespace editor {

std::string ProgramFileVersion() {
#ifdef ZEPHOR_FILE_VERSION
  return ZEPHOR_FILE_VERSION;
#else
  return std::string();
#endif
}

TAboutDlg::TAboutDlg(QWidget* owner) : QDialog(owner) {
  SetupDialogForm(*this, "Version Infomation", 300, 262);
  auto* panel = new QFrame(this);
  panel->setFrameShape(QFrame::StyledPanel);
  panel->setFrameShadow(QFrame::Sunken);
  panel->setGeometry(8, 8, 284, 210);
  auto* icon = new QLabel(panel);
  icon->setGeometry(12, 12, 32, 32);
  icon->setObjectName("ProgramIcon");
  icon->setPixmap(ProgramIcon().pixmap(32, 32));
  ProductName = AddLabel(panel, QStringLiteral("ZEPHOR"), 56, 12, 220, 16);
  QFont bold = ProductName->font();
  bold.setBold(true);
  ProductName->setFont(bold);
  AddLabel(panel, QStringLiteral("- Sculpted Prim Editor -"), 56, 32, 220, 14);
  AddLabel(panel, QStringLiteral("DURIM PROJECT"), 56, 52, 220, 14);
  QLabel* comments = AddLabel(panel, QStringLiteral("An editor for sculpted prims."), 12, 78, 260, 28);
  comments->setWordWrap(true);
  AddLabel(panel, QStringLiteral("Credits: 3D scene library"), 12, 112, 260, 14);
  AddLabel(panel, QStringLiteral("Credits: GDI plus"), 12, 132, 260, 14);
  AddLabel(panel, QStringLiteral("Credits: raster graphics library"), 12, 152, 260, 14);
  L1 = AddLabel(panel, QStringLiteral("https://example.org/"), 12, 182, 260, 14);
  QFont link = L1->font();
  link.setUnderline(true);
  L1->setFont(link);
  QPalette pal = L1->palette();
  pal.setColor(QPalette::WindowText, Qt::blue);
  L1->setPalette(pal);
  L1->setCursor(Qt::PointingHandCursor);
  L1->installEventFilter(this);
  OkButton = AddOkButton(*this, 112, 228);
  FormCreate();
}

void TAboutDlg::FormCreate() {
  ProductName->setText(ProductName->text() + QStringLiteral(" Ver.") +
                       QString::fromStdString(ProgramFileVersion()));
}

void TAboutDlg::L1Click() { QDesktopServices::openUrl(QUrl(L1->text())); }

bool TAboutDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == L1 && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    L1Click();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace editor
