#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QTest>
#include <vector>

#include "UiTestApp.h"
#include "platform/ui/Control.h"
#include "platform/ui/Keys.h"

using namespace platform;
using platform::test::App;

namespace {

struct KeyRecord {
  bool down;
  uint16_t key;
  TShiftState shift;
  bool repeat;
};

// Sends one key event as the window system would (QTest's key functions add presses of the
// modifier keys around it).
void SendKey(QWidget& w, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers,
             bool autoRepeat = false) {
  QKeyEvent e(type, key, modifiers, QString(), autoRepeat);
  QApplication::sendEvent(&w, &e);
}

struct KeyRecorder {
  explicit KeyRecorder(TControl& c) {
    c.OnKeyDown = [this](TControl* s, uint16_t& k, TShiftState sh) {
      log.push_back({true, k, sh, s->KeyRepeat()});
    };
    c.OnKeyUp = [this](TControl* s, uint16_t& k, TShiftState sh) {
      log.push_back({false, k, sh, s->KeyRepeat()});
    };
  }
  std::vector<KeyRecord> log;
};

}  // namespace

TEST(Keys, VirtualKeyCodesOnDownAndUp) {
  App();
  TControl c;
  KeyRecorder rec(c);
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    uint16_t vk;
  };
  const Case cases[] = {
      {Qt::Key_A, Qt::NoModifier, 'A'},          {Qt::Key_Z, Qt::ShiftModifier, 'Z'},
      {Qt::Key_0, Qt::NoModifier, '0'},          {Qt::Key_9, Qt::NoModifier, '9'},
      {Qt::Key_Exclam, Qt::ShiftModifier, '1'},  {Qt::Key_Left, Qt::NoModifier, 37},
      {Qt::Key_Up, Qt::NoModifier, 38},          {Qt::Key_Right, Qt::NoModifier, 39},
      {Qt::Key_Down, Qt::NoModifier, 40},        {Qt::Key_PageUp, Qt::NoModifier, 33},
      {Qt::Key_PageDown, Qt::NoModifier, 34},    {Qt::Key_Plus, Qt::ControlModifier, 187},
      {Qt::Key_Equal, Qt::ControlModifier, 187}, {Qt::Key_Plus, Qt::KeypadModifier, 107},
      {Qt::Key_Minus, Qt::ControlModifier, 189}, {Qt::Key_Minus, Qt::KeypadModifier, 109},
      {Qt::Key_5, Qt::KeypadModifier, 101},      {Qt::Key_Escape, Qt::NoModifier, 27},
      {Qt::Key_Return, Qt::NoModifier, 13},      {Qt::Key_Enter, Qt::KeypadModifier, 13},
      {Qt::Key_Delete, Qt::NoModifier, 46},      {Qt::Key_Insert, Qt::NoModifier, 45},
      {Qt::Key_Home, Qt::NoModifier, 36},        {Qt::Key_End, Qt::NoModifier, 35},
      {Qt::Key_Space, Qt::NoModifier, 32},       {Qt::Key_F1, Qt::NoModifier, 112},
      {Qt::Key_F12, Qt::NoModifier, 123},        {Qt::Key_Backspace, Qt::NoModifier, 8},
      {Qt::Key_Tab, Qt::NoModifier, 9},          {Qt::Key_Shift, Qt::NoModifier, 16},
      {Qt::Key_Control, Qt::NoModifier, 17},     {Qt::Key_Alt, Qt::NoModifier, 18},
  };
  for (const auto& k : cases) {
    rec.log.clear();
    SendKey(c, QEvent::KeyPress, k.key, k.modifiers);
    SendKey(c, QEvent::KeyRelease, k.key, k.modifiers);
    ASSERT_EQ(rec.log.size(), 2u) << k.key;
    EXPECT_TRUE(rec.log[0].down);
    EXPECT_EQ(rec.log[0].key, k.vk) << "down " << QTest::toString(k.key);
    EXPECT_FALSE(rec.log[1].down);
    EXPECT_EQ(rec.log[1].key, k.vk) << "up " << QTest::toString(k.key);
    EXPECT_FALSE(rec.log[0].repeat);
  }
}

TEST(Keys, ShiftStateOfKeys) {
  App();
  TControl c;
  KeyRecorder rec(c);
  SendKey(c, QEvent::KeyPress, Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
  ASSERT_EQ(rec.log.size(), 1u);
  EXPECT_EQ(rec.log[0].key, VK_ADD);
  EXPECT_EQ(rec.log[0].shift, TShiftState(ssCtrl)) << "the keypad is not a shift key";
  rec.log.clear();
  // The modifier key itself counts as held when it goes down and as released when it goes up.
  SendKey(c, QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier);
  SendKey(c, QEvent::KeyRelease, Qt::Key_Shift, Qt::ShiftModifier);
  ASSERT_EQ(rec.log.size(), 2u);
  EXPECT_EQ(rec.log[0].shift, TShiftState(ssShift));
  EXPECT_TRUE(rec.log[1].shift.Empty());
  rec.log.clear();
  SendKey(c, QEvent::KeyPress, Qt::Key_A, Qt::AltModifier | Qt::ShiftModifier);
  EXPECT_EQ(rec.log[0].shift, ssAlt | ssShift);
}

TEST(Keys, AutoRepeatRepeatsOnlyTheKeyDown) {
  App();
  TControl c;
  KeyRecorder rec(c);
  auto send = [&](QEvent::Type type, bool autoRepeat) {
    SendKey(c, type, Qt::Key_Right, Qt::NoModifier, autoRepeat);
  };
  send(QEvent::KeyPress, false);
  // The window system of this platform reports a held key as release and press pairs.
  for (int i = 0; i < 3; ++i) {
    send(QEvent::KeyRelease, true);
    send(QEvent::KeyPress, true);
  }
  send(QEvent::KeyRelease, false);
  ASSERT_EQ(rec.log.size(), 5u);
  EXPECT_FALSE(rec.log[0].repeat);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_TRUE(rec.log[i].down);
    EXPECT_TRUE(rec.log[i].repeat);
    EXPECT_EQ(rec.log[i].key, VK_RIGHT);
  }
  EXPECT_FALSE(rec.log[4].down);
  EXPECT_FALSE(rec.log[4].repeat);
  EXPECT_FALSE(c.KeyRepeat());
}

TEST(Keys, HandledKeysStopAndKeyStateFollowsTheKeys) {
  App();
  TControl c;
  c.OnKeyDown = [](TControl*, uint16_t& key, TShiftState) {
    if (key == VK_ESCAPE) key = 0;
  };
  EXPECT_EQ(GetKeyState(VK_SPACE), 0);
  QTest::keyPress(&c, Qt::Key_Space);
  EXPECT_LT(GetKeyState(VK_SPACE), 0);
  QTest::keyRelease(&c, Qt::Key_Space);
  EXPECT_EQ(GetKeyState(VK_SPACE), 0);
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(&c, &esc);
  EXPECT_TRUE(esc.isAccepted());
  // Keys without a virtual-key code are passed on untouched.
  QKeyEvent other(QEvent::KeyPress, Qt::Key_Launch0, Qt::NoModifier);
  QApplication::sendEvent(&c, &other);
  EXPECT_FALSE(other.isAccepted());
  EXPECT_EQ(GetKeyState(0), 0);
  EXPECT_EQ(GetKeyState(1000), 0);
}
