#pragma once
// TEdit: the one-line edit control (QLineEdit) with the two steps a derived control may take over
// from the window system's edit: which keys it keeps from the focus chain, and the characters
// it is typed.
#include <QLineEdit>
#include <cstdint>
#include <string>

#include "platform/ui/Control.h"

namespace platform {

class TEdit : public QLineEdit {
 public:
  explicit TEdit(QWidget* parent = nullptr);

  // The text, UTF-8.
  std::string Text() const;
  void SetText(const std::string& text);

 protected:
  // Asked before the key-down of Tab and of the keys 33 to 40, as TControl::WantSpecialKey: true
  // keeps Tab in the edit instead of moving the focus. False in the base.
  virtual bool WantSpecialKey(uint16_t key, TShiftState shift);
  // A typed character before the edit takes it: set to 0 it is swallowed, set to another
  // character that one is typed instead. The base leaves it.
  virtual void KeyPress(char32_t& key);

  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace platform
