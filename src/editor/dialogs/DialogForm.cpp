#include "editor/dialogs/DialogForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "common/NumberText.h"

namespace editor {

void SetupDialogForm(QDialog& dialog, const char* caption, int width, int height) {
  dialog.setWindowTitle(QString::fromUtf8(caption));
  dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowCloseButtonHint |
                        (width > 0 ? Qt::MSWindowsFixedSizeDialogHint : Qt::WindowFlags()));
  dialog.setModal(true);
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(11);
  dialog.setFont(font);
  if (width > 0) dialog.setFixedSize(width, height);
}

QLabel* AddLabel(QWidget* parent, const QString& text, int x, int y, int width, int height) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(x, y, width, height);
  return label;
}

QComboBox* AddDropDownList(QWidget* parent, std::initializer_list<const char*> entries, int x, int y,
                           int width, int height) {
  auto* list = new QComboBox(parent);
  list->setEditable(false);
  list->setGeometry(x, y, width, height);
  SetEntries(*list, entries);
  return list;
}

QCheckBox* AddCheckBox(QWidget* parent, const QString& text, int x, int y, int width, int height) {
  auto* box = new QCheckBox(text, parent);
  box->setGeometry(x, y, width, height);
  return box;
}

QPushButton* AddButton(QWidget* parent, const QString& text, int x, int y, int width, int height) {
  auto* button = new QPushButton(text, parent);
  button->setGeometry(x, y, width, height);
  button->setAutoDefault(false);
  return button;
}

QPushButton* AddOkButton(QDialog& dialog, int x, int y, int width, int height) {
  QPushButton* ok = AddButton(&dialog, QStringLiteral("OK"), x, y, width, height);
  ok->setIcon(dialog.style()->standardIcon(QStyle::SP_DialogOkButton));
  ok->setDefault(true);
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  return ok;
}

QPushButton* AddCancelButton(QDialog& dialog, int x, int y, int width, int height) {
  QPushButton* cancel = AddButton(&dialog, QStringLiteral("Cancel"), x, y, width, height);
  cancel->setIcon(dialog.style()->standardIcon(QStyle::SP_DialogCancelButton));
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  return cancel;
}

void SetEntries(QComboBox& list, std::initializer_list<const char*> entries) {
  list.clear();
  for (const char* entry : entries) list.addItem(QString::fromUtf8(entry));
  list.setCurrentIndex(-1);
}

void SelectEntry(QComboBox& list, const QString& text) { list.setCurrentIndex(list.findText(text)); }

int32_t SelectedInteger(const QComboBox& list, int32_t fallback) {
  if (list.currentIndex() < 0) return fallback;
  return common::StrToIntDef(list.currentText().toStdString(), fallback);
}

}  // namespace editor
