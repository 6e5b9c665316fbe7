#include "platform/ui/Edit.h"

#include <QKeyEvent>

#include "platform/ui/Application.h"
#include "platform/ui/Keys.h"

namespace platform {

TEdit::TEdit(QWidget* parent) : QLineEdit(parent) {}

std::string TEdit::Text() const { return text().toStdString(); }

void TEdit::SetText(const std::string& text) { setText(QString::fromStdString(text)); }

bool TEdit::WantSpecialKey(uint16_t, TShiftState) { return false; }

void TEdit::KeyPress(char32_t&) {}

bool TEdit::event(QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(event);
    if (KeepsSpecialKey(*k, [this](uint16_t key, TShiftState shift) { return WantSpecialKey(key, shift); })) {
      keyPressEvent(k);
      return true;
    }
  }
  return QLineEdit::event(event);
}

void TEdit::keyPressEvent(QKeyEvent* event) {
  const std::u32string typed = TypedText(*event);
  if (typed.size() == 1) {
    char32_t key = typed[0];
    GuardedCall([&] { KeyPress(key); });
    if (key == 0) return event->accept();
    if (key != typed[0]) {
      const char32_t one[1] = {key};
      insert(QString::fromUcs4(one, 1));
      return event->accept();
    }
  }
  QLineEdit::keyPressEvent(event);
  // Tab kept from the focus chain is the edit's even when it types nothing.
  if (VirtualKeyOf(*event) == VK_TAB) event->accept();
}

}  // namespace platform
