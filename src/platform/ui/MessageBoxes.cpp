#include "platform/ui/MessageBoxes.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace platform {

namespace {

TMessageBoxHandler& Handler() {
  static TMessageBoxHandler handler;
  return handler;
}
int gBeeps = 0;

QMessageBox::Icon IconOf(TMsgDlgType type) {
  switch (type) {
    case TMsgDlgType::Warning:
      return QMessageBox::Warning;
    case TMsgDlgType::Confirmation:
      return QMessageBox::Question;
    case TMsgDlgType::Error:
      return QMessageBox::Critical;
    case TMsgDlgType::Information:
    default:
      return QMessageBox::NoIcon;
  }
}

TModalResult ShowQtBox(const TMessageBoxRequest& r) {
  QMessageBox box(IconOf(r.Type), QApplication::applicationDisplayName(),
                  QString::fromStdString(DisplayLineBreaks(r.Text)), QMessageBox::NoButton,
                  QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  // The box takes the width its layout needs at least: a row as wide as the caption needs.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    const QMargins margins = grid->contentsMargins();
    const int width = CaptionWidth(box.windowTitle().toStdString()) - margins.left() - margins.right();
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                  grid->columnCount());
  }
  switch (r.Buttons) {
    case TMsgDlgButtons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::Yes);
      box.setEscapeButton(QMessageBox::No);
      break;
    case TMsgDlgButtons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Ok);
      box.setEscapeButton(QMessageBox::Cancel);
      break;
    case TMsgDlgButtons::Ok:
    default:
      box.setStandardButtons(QMessageBox::Ok);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Ok:
      return TModalResult::Ok;
    case QMessageBox::Yes:
      return TModalResult::Yes;
    case QMessageBox::No:
      return TModalResult::No;
    default:
      return r.Buttons == TMsgDlgButtons::YesNo ? TModalResult::No : TModalResult::Cancel;
  }
}

}  // namespace

int CaptionWidth(const std::string& caption) {
  const QFontMetrics fm(QApplication::font());
  return fm.horizontalAdvance(QString::fromStdString(caption)) + 4 * (fm.height() + 8);
}

std::string DisplayLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t k = 0; k < text.size(); ++k) {
    if (text[k] == '\r') {
      out += '\n';
      if (k + 1 < text.size() && text[k + 1] == '\n') ++k;
    } else {
      out += text[k];
    }
  }
  return out;
}

TModalResult MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) {
  const TMessageBoxRequest request{type, buttons, text};
  if (Handler()) return Handler()(request);
  return ShowQtBox(request);
}

void ShowMessage(const std::string& text) { MessageDlg(text, TMsgDlgType::Information, TMsgDlgButtons::Ok); }

void ShowWarning(const std::string& text) { MessageDlg(text, TMsgDlgType::Warning, TMsgDlgButtons::Ok); }

bool AskWarningYesNo(const std::string& text) {
  return MessageDlg(text, TMsgDlgType::Warning, TMsgDlgButtons::YesNo) == TModalResult::Yes;
}

bool AskOkCancel(const std::string& text) {
  return MessageDlg(text, TMsgDlgType::Confirmation, TMsgDlgButtons::OkCancel) == TModalResult::Ok;
}

void MessageBeep() {
  ++gBeeps;
  QApplication::beep();
}

int BeepCount() { return gBeeps; }

void SetMessageBoxHandler(TMessageBoxHandler handler) { Handler() = std::move(handler); }

}  // namespace platform
