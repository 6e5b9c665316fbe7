// Every dialog shows its texts whole: each label, box and button is as wide as its text needs
// and lies inside the dialog, the dialog is wide enough for its caption, and a fixed-size
// dialog offers neither a minimise nor a maximise button. Checked at the dialogs' own font and
// with that font a quarter larger, as at 125 % scaling.
#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QPushButton>
#include <QLabel>
#include <memory>

#include "editor/dialogs/AboutDlg.h"
#include "editor/dialogs/ColladaDlg.h"
#include "editor/dialogs/ColorDlg.h"
#include "editor/dialogs/EditLineDlg.h"
#include "editor/dialogs/MirrorDlg.h"
#include "editor/dialogs/NewDlg.h"
#include "editor/dialogs/OffsetDlg.h"
#include "editor/dialogs/SetupDlg.h"
#include "editor/dialogs/SidesDlg.h"
#include "editor/tests/DialogTestUtil.h"

namespace {

using editor_test::DialogTest;

// The texts of `dialog` that do not fit, one line each.
std::string CutTexts(QDialog& dialog) {
  std::string cut;
  const QRect inside(QPoint(0, 0), dialog.size());
  for (QWidget* w : dialog.findChildren<QWidget*>()) {
    if (w->isHidden() || w->isWindow() || w->window() != &dialog) continue;
    bool inList = false;  // the parts of drop-down lists and list boxes are theirs to place
    for (QWidget* p = w->parentWidget(); p && p != &dialog; p = p->parentWidget())
      inList = inList || qobject_cast<QComboBox*>(p) || qobject_cast<QAbstractScrollArea*>(p);
    if (inList) continue;
    QString text;
    if (auto* label = qobject_cast<QLabel*>(w)) text = label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) text = button->text();
    const QRect r(w->mapTo(&dialog, QPoint(0, 0)), w->size());
    if (!inside.contains(r)) cut += std::string("outside: ") + w->metaObject()->className() + " " + text.toStdString() + "\n";
    auto* label = qobject_cast<QLabel*>(w);
    if (text.isEmpty() || (label && label->wordWrap())) continue;
    int need = w->sizeHint().width();
    if (auto* push = qobject_cast<QPushButton*>(w)) {  // its text and icon, not the style's least width
      QString shown = text;
      shown.remove(QLatin1Char('&'));
      need = QFontMetrics(push->font()).horizontalAdvance(shown) + (push->icon().isNull() ? 0 : push->iconSize().width()) + 8;
    }
    if (w->width() < need)
      cut += "cut: \"" + text.toStdString() + "\" " + std::to_string(w->width()) + " < " + std::to_string(need) + "\n";
  }
  // The caption, with room for an icon and the close button.
  const int caption = QFontMetrics(QApplication::font()).horizontalAdvance(dialog.windowTitle()) + 48;
  if (dialog.width() < caption) cut += "caption: " + dialog.windowTitle().toStdString() + "\n";
  return cut;
}

class DialogFitTest : public DialogTest {};

TEST_F(DialogFitTest, EveryDialogFitsItsTexts) {
  editor::TColorDlg color(nullptr);
  std::vector<std::pair<const char*, std::unique_ptr<QDialog>>> dialogs;
  dialogs.emplace_back("About", std::make_unique<editor::TAboutDlg>(nullptr));
  dialogs.emplace_back("Collada", std::make_unique<editor::TColladaDlg>(nullptr));
  dialogs.emplace_back("Color", std::make_unique<editor::TColorDlg>(nullptr));
  dialogs.emplace_back("EditLine", std::make_unique<editor::TEditLineDlg>(nullptr));
  dialogs.emplace_back("Mirror", std::make_unique<editor::TMirrorDlg>(nullptr));
  dialogs.emplace_back("New", std::make_unique<editor::TNewDlg>(nullptr));
  dialogs.emplace_back("Offset", std::make_unique<editor::TOffsetDlg>(nullptr));
  dialogs.emplace_back("Setup", std::make_unique<editor::TSetupDlg>(nullptr, &color));
  dialogs.emplace_back("Sides", std::make_unique<editor::TSidesDlg>(nullptr));
  for (auto& [name, dialog] : dialogs) {
    for (double scale : {1.0, 1.25}) {
      SCOPED_TRACE(std::string(name) + " at " + std::to_string(scale));
      QFont font = dialog->font();
      if (font.pixelSize() > 0)
        font.setPixelSize(static_cast<int>(font.pixelSize() * scale + 0.5));
      else
        font.setPointSizeF(font.pointSizeF() * scale);
      dialog->setFont(font);
      dialog->show();
      QCoreApplication::processEvents();
      EXPECT_EQ(CutTexts(*dialog), "");
      const Qt::WindowFlags flags = dialog->windowFlags();
      EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
      EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
      dialog->hide();
    }
  }
}

}  // namespace
