#include "platform/ui/Keys.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <bitset>

namespace platform {

namespace {

std::bitset<256>& HeldKeys() {
  static std::bitset<256> held;
  return held;
}

}  // namespace

uint16_t VirtualKeyOf(int key, bool keypad) {
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<uint16_t>('A' + (key - Qt::Key_A));
  if (key >= Qt::Key_0 && key <= Qt::Key_9) {
    const int digit = key - Qt::Key_0;
    return static_cast<uint16_t>(keypad ? VK_NUMPAD0 + digit : '0' + digit);
  }
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return static_cast<uint16_t>(VK_F1 + (key - Qt::Key_F1));
  switch (key) {
    // Punctuation: the key that carries the character on a US keyboard.
    case Qt::Key_Exclam:
      return '1';
    case Qt::Key_At:
      return '2';
    case Qt::Key_NumberSign:
      return '3';
    case Qt::Key_Dollar:
      return '4';
    case Qt::Key_Percent:
      return '5';
    case Qt::Key_AsciiCircum:
      return '6';
    case Qt::Key_Ampersand:
      return '7';
    case Qt::Key_Asterisk:
      return keypad ? VK_MULTIPLY : '8';
    case Qt::Key_ParenLeft:
      return '9';
    case Qt::Key_ParenRight:
      return '0';
    case Qt::Key_Plus:
      return keypad ? VK_ADD : VK_OEM_PLUS;
    case Qt::Key_Equal:
      return VK_OEM_PLUS;
    case Qt::Key_Minus:
      return keypad ? VK_SUBTRACT : VK_OEM_MINUS;
    case Qt::Key_Underscore:
      return VK_OEM_MINUS;
    case Qt::Key_Slash:
      return keypad ? VK_DIVIDE : VK_OEM_2;
    case Qt::Key_Question:
      return VK_OEM_2;
    case Qt::Key_Period:
      return keypad ? VK_DECIMAL : VK_OEM_PERIOD;
    case Qt::Key_Greater:
      return VK_OEM_PERIOD;
    case Qt::Key_Comma:
      return keypad ? VK_SEPARATOR : VK_OEM_COMMA;
    case Qt::Key_Less:
      return VK_OEM_COMMA;
    case Qt::Key_Semicolon:
    case Qt::Key_Colon:
      return VK_OEM_1;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde:
      return VK_OEM_3;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft:
      return VK_OEM_4;
    case Qt::Key_Backslash:
    case Qt::Key_Bar:
      return VK_OEM_5;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight:
      return VK_OEM_6;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl:
      return VK_OEM_7;
    // Control keys.
    case Qt::Key_Backspace:
      return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return VK_TAB;
    case Qt::Key_Clear:
      return VK_CLEAR;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return VK_RETURN;
    case Qt::Key_Shift:
      return VK_SHIFT;
    case Qt::Key_Control:
      return VK_CONTROL;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
      return VK_MENU;
    case Qt::Key_Pause:
      return VK_PAUSE;
    case Qt::Key_CapsLock:
      return VK_CAPITAL;
    case Qt::Key_Escape:
      return VK_ESCAPE;
    case Qt::Key_Space:
      return VK_SPACE;
    case Qt::Key_PageUp:
      return VK_PRIOR;
    case Qt::Key_PageDown:
      return VK_NEXT;
    case Qt::Key_End:
      return VK_END;
    case Qt::Key_Home:
      return VK_HOME;
    case Qt::Key_Left:
      return VK_LEFT;
    case Qt::Key_Up:
      return VK_UP;
    case Qt::Key_Right:
      return VK_RIGHT;
    case Qt::Key_Down:
      return VK_DOWN;
    case Qt::Key_Print:
      return VK_SNAPSHOT;
    case Qt::Key_Insert:
      return VK_INSERT;
    case Qt::Key_Delete:
      return VK_DELETE;
    case Qt::Key_Help:
      return VK_HELP;
    case Qt::Key_Meta:
      return VK_LWIN;
    case Qt::Key_Menu:
      return VK_APPS;
    case Qt::Key_NumLock:
      return VK_NUMLOCK;
    case Qt::Key_ScrollLock:
      return VK_SCROLL;
    default:
      return 0;
  }
}

uint16_t VirtualKeyOf(const QKeyEvent& event) {
  return VirtualKeyOf(event.key(), event.modifiers().testFlag(Qt::KeypadModifier));
}

std::u32string TypedText(const QKeyEvent& event) {
  const Qt::KeyboardModifiers mods = event.modifiers();
  const bool altGr = mods.testFlag(Qt::GroupSwitchModifier) || mods.testFlag(Qt::AltModifier);
  if (mods.testFlag(Qt::ControlModifier) && !altGr) return {};
  if (event.key() == Qt::Key_Delete) return {};
  std::u32string typed;
  for (const uint cp : event.text().toUcs4()) typed.push_back(static_cast<char32_t>(cp));
  return typed;
}

int16_t GetKeyState(int virtualKey) {
  constexpr int16_t kDown = static_cast<int16_t>(0x8000);
  if (virtualKey <= 0 || virtualKey > 255) return 0;
  const bool gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
  if (gui) {
    const Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
    const Qt::KeyboardModifiers modifiers = QGuiApplication::keyboardModifiers();
    switch (virtualKey) {
      case VK_LBUTTON:
        return buttons.testFlag(Qt::LeftButton) ? kDown : 0;
      case VK_RBUTTON:
        return buttons.testFlag(Qt::RightButton) ? kDown : 0;
      case VK_MBUTTON:
        return buttons.testFlag(Qt::MiddleButton) ? kDown : 0;
      case VK_SHIFT:
        if (modifiers.testFlag(Qt::ShiftModifier)) return kDown;
        break;
      case VK_CONTROL:
        if (modifiers.testFlag(Qt::ControlModifier)) return kDown;
        break;
      case VK_MENU:
        if (modifiers.testFlag(Qt::AltModifier)) return kDown;
        break;
      default:
        break;
    }
  }
  return HeldKeys().test(static_cast<size_t>(virtualKey)) ? kDown : 0;
}

void NoteKeyDown(uint16_t virtualKey) {
  if (virtualKey > 0 && virtualKey < 256) HeldKeys().set(virtualKey);
}

void NoteKeyUp(uint16_t virtualKey) {
  if (virtualKey > 0 && virtualKey < 256) HeldKeys().reset(virtualKey);
}

void ForgetKeys() { HeldKeys().reset(); }

}  // namespace platform
