#include "editor/dialogs/DialogForm.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <algorithm>
#include <cmath>
#include <vector>

#include "common/NumberText.h"
#include "platform/ui/MessageBoxes.h"

namespace editor {

namespace {

constexpr char kBaseGeometry[] = "zephorBaseGeometry";
constexpr char kBaseSize[] = "zephorBaseSize";

// Fits the dialog whenever it is shown or its font changes.
class TDialogFitter : public QObject {
 public:
  explicit TDialogFitter(QDialog& dialog) : QObject(&dialog), dialog_(dialog) { dialog.installEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched == &dialog_ && !fitting_ && (e->type() == QEvent::Show || e->type() == QEvent::FontChange)) {
      fitting_ = true;
      FitDialogToTexts(dialog_);
      fitting_ = false;
    }
    return false;
  }

 private:
  QDialog& dialog_;
  bool fitting_ = false;
};

// The controls whose places the dialog sets: its direct children and theirs, but nothing inside
// a drop-down list or a list box.
void CollectControls(QWidget& parent, std::vector<QWidget*>& controls) {
  for (QObject* o : parent.children()) {
    auto* w = qobject_cast<QWidget*>(o);
    if (!w || w->isWindow()) continue;
    controls.push_back(w);
    if (!qobject_cast<QComboBox*>(w) && !qobject_cast<QAbstractScrollArea*>(w)) CollectControls(*w, controls);
  }
}

}  // namespace

QSize TextNeed(const QWidget& control) {
  if (auto* label = qobject_cast<const QLabel*>(&control)) {
    if (label->text().isEmpty() || label->wordWrap() || !label->pixmap().isNull()) return {0, 0};
    return label->sizeHint();
  }
  if (auto* button = qobject_cast<const QPushButton*>(&control)) {
    if (button->text().isEmpty()) return {0, 0};
    const QFontMetrics fm(button->font());
    QString text = button->text();
    text.remove(QLatin1Char('&'));
    const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
    return {fm.horizontalAdvance(text) + icon + 12, fm.height() + 6};
  }
  if (auto* box = qobject_cast<const QAbstractButton*>(&control)) {
    if (box->text().isEmpty()) return {0, 0};
    return box->sizeHint();
  }
  return {0, 0};
}

void FitDialogToTexts(QDialog& dialog) {
  std::vector<QWidget*> controls;
  CollectControls(dialog, controls);
  if (!dialog.property(kBaseSize).isValid()) dialog.setProperty(kBaseSize, dialog.size());
  const QSize base = dialog.property(kBaseSize).toSize();
  double fx = 1, fy = 1;
  for (QWidget* w : controls) {
    if (!w->property(kBaseGeometry).isValid()) w->setProperty(kBaseGeometry, w->geometry());
    const QRect r = w->property(kBaseGeometry).toRect();
    const QSize need = TextNeed(*w);
    if (r.width() > 0 && need.width() > r.width()) fx = std::max(fx, static_cast<double>(need.width()) / r.width());
    if (r.height() > 0 && need.height() > r.height())
      fy = std::max(fy, static_cast<double>(need.height()) / r.height());
  }
  const int caption = platform::CaptionWidth(dialog.windowTitle().toStdString());
  if (base.width() > 0 && caption > base.width())
    fx = std::max(fx, static_cast<double>(caption) / base.width());
  auto scaled = [](int v, double f) { return static_cast<int>(std::ceil(v * f)); };
  for (QWidget* w : controls) {
    const QRect r = w->property(kBaseGeometry).toRect();
    w->setGeometry(scaled(r.x(), fx), scaled(r.y(), fy), scaled(r.width(), fx), scaled(r.height(), fy));
  }
  const QSize size(scaled(base.width(), fx), scaled(base.height(), fy));
  if (dialog.minimumSize() == dialog.maximumSize())
    dialog.setFixedSize(size);
  else
    dialog.resize(size);
}

void SetupDialogForm(QDialog& dialog, const char* caption, int width, int height) {
  dialog.setWindowTitle(QString::fromUtf8(caption));
  dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowCloseButtonHint |
                        (width > 0 ? Qt::MSWindowsFixedSizeDialogHint : Qt::WindowFlags()));
  dialog.setModal(true);
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(11);
  dialog.setFont(font);
  if (width > 0) {
    dialog.setFixedSize(width, height);
    new TDialogFitter(dialog);
  }
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
