#pragma once
// Keys as the window system's virtual-key codes, whatever the keyboard layout: letters are
// 'A'..'Z', digits '0'..'9' (shifted or not), the numeric pad has codes of its own.
#include <cstdint>
#include <string>

class QKeyEvent;

namespace platform {

constexpr uint16_t VK_LBUTTON = 0x01;
constexpr uint16_t VK_RBUTTON = 0x02;
constexpr uint16_t VK_CANCEL = 0x03;
constexpr uint16_t VK_MBUTTON = 0x04;
constexpr uint16_t VK_BACK = 0x08;
constexpr uint16_t VK_TAB = 0x09;
constexpr uint16_t VK_CLEAR = 0x0C;
constexpr uint16_t VK_RETURN = 0x0D;
constexpr uint16_t VK_SHIFT = 0x10;
constexpr uint16_t VK_CONTROL = 0x11;
constexpr uint16_t VK_MENU = 0x12;  // Alt
constexpr uint16_t VK_PAUSE = 0x13;
constexpr uint16_t VK_CAPITAL = 0x14;
constexpr uint16_t VK_ESCAPE = 0x1B;
constexpr uint16_t VK_SPACE = 0x20;
constexpr uint16_t VK_PRIOR = 0x21;  // Page Up
constexpr uint16_t VK_NEXT = 0x22;   // Page Down
constexpr uint16_t VK_END = 0x23;
constexpr uint16_t VK_HOME = 0x24;
constexpr uint16_t VK_LEFT = 0x25;
constexpr uint16_t VK_UP = 0x26;
constexpr uint16_t VK_RIGHT = 0x27;
constexpr uint16_t VK_DOWN = 0x28;
constexpr uint16_t VK_SNAPSHOT = 0x2C;
constexpr uint16_t VK_INSERT = 0x2D;
constexpr uint16_t VK_DELETE = 0x2E;
constexpr uint16_t VK_HELP = 0x2F;
constexpr uint16_t VK_LWIN = 0x5B;
constexpr uint16_t VK_APPS = 0x5D;
constexpr uint16_t VK_NUMPAD0 = 0x60;  // .. VK_NUMPAD9 = 0x69
constexpr uint16_t VK_MULTIPLY = 0x6A;
constexpr uint16_t VK_ADD = 0x6B;
constexpr uint16_t VK_SEPARATOR = 0x6C;
constexpr uint16_t VK_SUBTRACT = 0x6D;
constexpr uint16_t VK_DECIMAL = 0x6E;
constexpr uint16_t VK_DIVIDE = 0x6F;
constexpr uint16_t VK_F1 = 0x70;  // .. VK_F24 = 0x87
constexpr uint16_t VK_F12 = 0x7B;
constexpr uint16_t VK_NUMLOCK = 0x90;
constexpr uint16_t VK_SCROLL = 0x91;
constexpr uint16_t VK_OEM_1 = 0xBA;       // ;:
constexpr uint16_t VK_OEM_PLUS = 0xBB;    // =+
constexpr uint16_t VK_OEM_COMMA = 0xBC;   // ,<
constexpr uint16_t VK_OEM_MINUS = 0xBD;   // -_
constexpr uint16_t VK_OEM_PERIOD = 0xBE;  // .>
constexpr uint16_t VK_OEM_2 = 0xBF;       // /?
constexpr uint16_t VK_OEM_3 = 0xC0;       // `~
constexpr uint16_t VK_OEM_4 = 0xDB;       // [{
constexpr uint16_t VK_OEM_5 = 0xDC;       // \|
constexpr uint16_t VK_OEM_6 = 0xDD;       // ]}
constexpr uint16_t VK_OEM_7 = 0xDE;       // '"

// The virtual-key code of a Qt key event; 0 for keys without one.
uint16_t VirtualKeyOf(const QKeyEvent& event);
// The same from a Qt key and whether it came from the numeric pad.
uint16_t VirtualKeyOf(int qtKey, bool keypad);

// The characters a key event types, as the window system's character messages give them: the
// event's text (also for keys without a virtual-key code), Enter as 13, Backspace as 8, Tab as 9.
// A key held with Ctrl types nothing (there it would give a control code) unless Alt is held
// too or the layout's group switch (AltGr) is on; Delete types nothing.
std::u32string TypedText(const QKeyEvent& event);

// Whether a key is held: negative (high bit set) while it is down, else 0. Buttons and the
// Shift, Ctrl and Alt keys are asked of the window system; other keys are known from the key
// events the application has seen (a key released while another program had the focus
// counts as released once the application loses the focus).
int16_t GetKeyState(int virtualKey);

// Feeds the key-state table (the application helper and the controls call these).
void NoteKeyDown(uint16_t virtualKey);
void NoteKeyUp(uint16_t virtualKey);
void ForgetKeys();

}  // namespace platform
