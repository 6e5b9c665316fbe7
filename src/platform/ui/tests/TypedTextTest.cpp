// Typed characters (the key event's text and input-method commits), keys kept from the focus
// chain, the clipboard's blocks with plain text, the one-line edit and the font and colour dialogs.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QColorDialog>
#include <QFontDialog>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <string>

#include "UiTestApp.h"
#include "platform/ui/Control.h"
#include "platform/ui/Edit.h"
#include "platform/ui/FontColorDialogs.h"
#include "platform/ui/Keys.h"
#include "platform/ui/ShortCut.h"
#include "platform/ui/SystemClipboard.h"

using namespace platform;
using platform::test::App;

namespace {

// A control that keeps Tab (and records what it was asked) and logs what it is typed.
class TypingControl : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  bool keepTab = false;
  std::u32string typed;
  std::vector<uint16_t> downs, asked;

 protected:
  void KeyPress(char32_t& key) override {
    typed.push_back(key);
    key = 0;
  }
  void KeyDown(uint16_t& key, TShiftState shift) override {
    downs.push_back(key);
    TCustomControl::KeyDown(key, shift);
  }
  bool WantSpecialKey(uint16_t key, TShiftState) override {
    asked.push_back(key);
    return keepTab;
  }
};

struct TypingApp {
  TypingApp() { App(); }
};

struct TypingWindow : TypingApp {
  QWidget window;
  TypingControl* control;
  QWidget* next;
  TypingWindow() {
    control = new TypingControl(&window);
    control->setGeometry(0, 0, 50, 30);
    control->SetClickFocus(true);
    control->setFocusPolicy(Qt::StrongFocus);
    next = new QWidget(&window);
    next->setFocusPolicy(Qt::StrongFocus);
    next->setGeometry(60, 0, 20, 20);
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    QApplication::setActiveWindow(&window);
    control->SetFocus();
  }
};

}  // namespace

TEST(TypedText, KeyTextAndInputMethodCommitsComeAsCharactersAfterTheKeyDown) {
  TypingWindow w;
  QTest::keyClicks(w.control, "aZ1");
  EXPECT_EQ(w.control->typed, U"aZ1");
  EXPECT_EQ(w.control->downs, (std::vector<uint16_t>{'A', 'Z', '1'}));
  // A character without a virtual-key code still types.
  w.control->typed.clear();
  QKeyEvent omega(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(0x3A9)));
  QCoreApplication::sendEvent(w.control, &omega);
  EXPECT_EQ(w.control->typed, U"\u03A9");
  // Enter, Backspace and Escape type their control codes; Delete types nothing.
  w.control->typed.clear();
  QTest::keyClick(w.control, Qt::Key_Return);
  QTest::keyClick(w.control, Qt::Key_Backspace);
  QTest::keyClick(w.control, Qt::Key_Delete);
  EXPECT_EQ(w.control->typed, U"\r\b");
  // A dead key's composed character comes from the input method.
  w.control->typed.clear();
  QInputMethodEvent commit;
  commit.setCommitString(QString::fromUtf8("é"));
  QCoreApplication::sendEvent(w.control, &commit);
  EXPECT_EQ(w.control->typed, U"é");
}

TEST(TypedText, CtrlTypesNothingButAltGrDoes) {
  TypingWindow w;
  QKeyEvent ctrlA(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, QString(QChar(1)));
  QCoreApplication::sendEvent(w.control, &ctrlA);
  EXPECT_TRUE(w.control->typed.empty());
  EXPECT_EQ(w.control->downs.back(), 'A');
  QKeyEvent altGr(QEvent::KeyPress, Qt::Key_E, Qt::ControlModifier | Qt::AltModifier, QString(QChar(0x20AC)));
  QCoreApplication::sendEvent(w.control, &altGr);
  QKeyEvent groupSwitch(QEvent::KeyPress, Qt::Key_Q, Qt::GroupSwitchModifier, QStringLiteral("@"));
  QCoreApplication::sendEvent(w.control, &groupSwitch);
  EXPECT_EQ(w.control->typed, U"\u20AC@");
}

TEST(TypedText, TabStaysWithAControlThatWantsIt) {
  TypingWindow w;
  QTest::keyClick(w.control, Qt::Key_Tab);
  EXPECT_TRUE(w.next->hasFocus()) << "a control that does not want Tab gives the focus on";
  w.control->SetFocus();
  w.control->keepTab = true;
  w.control->downs.clear();
  w.control->typed.clear();
  QTest::keyClick(w.control, Qt::Key_Tab);
  EXPECT_TRUE(w.control->hasFocus());
  EXPECT_EQ(w.control->downs, std::vector<uint16_t>{VK_TAB});
  EXPECT_EQ(w.control->typed, U"\t");
  // Page and arrow keys are asked too; letters are not.
  w.control->asked.clear();
  QTest::keyClick(w.control, Qt::Key_Left);
  QTest::keyClick(w.control, Qt::Key_PageDown);
  QTest::keyClick(w.control, Qt::Key_B);
  EXPECT_EQ(w.control->asked, (std::vector<uint16_t>{VK_LEFT, VK_NEXT}));
}

TEST(TypedText, ShortCutsCombineKeyAndModifiers) {
  EXPECT_EQ(ShortCut('L', ssCtrl), scCtrl | 'L');
  EXPECT_EQ(ShortCut(VK_F1, ssShift | ssCtrl), scShift | scCtrl | VK_F1);
  EXPECT_EQ(ShortCut('A', TShiftState(ssAlt) | ssLeft), scAlt | 'A');  // buttons are not part of it
  EXPECT_EQ(ShortCut(0x100, ssCtrl), scNone);
}

TEST(SystemClipboard, BlocksAndPlainTextGoTogetherAndTextComesBack) {
  App();
  ASSERT_TRUE(OpenClipboardRetry());
  TSystemClipboard& clipboard = Clipboard();
  EXPECT_EQ(&clipboard, &Clipboard());
  const TClipboardFormat memo = clipboard.RegisterFormat("TYPED TEST");
  const std::u16string text = u"a\r\nb\u00E9";
  clipboard.Put({{memo, {1, 0, 2}}, {0, {9}}}, &text);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(clipboard.GetBytes(memo, bytes));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 0, 2}));
  std::u16string back;
  ASSERT_TRUE(clipboard.HasText());
  ASSERT_TRUE(clipboard.GetText(back));
  EXPECT_EQ(back, text);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf16(text.data(), text.size()));
  // Without text only the block is there; another program's text is read as it stands.
  clipboard.Put({{memo, {7}}}, nullptr);
  EXPECT_FALSE(clipboard.HasText());
  EXPECT_FALSE(clipboard.GetText(back));
  EXPECT_TRUE(back.empty());
  QGuiApplication::clipboard()->setText(QStringLiteral("x\r\ny"));
  EXPECT_FALSE(clipboard.HasFormat(memo));
  ASSERT_TRUE(clipboard.GetText(back));
  EXPECT_EQ(back, u"x\r\ny");
}

namespace {

class SwallowingEdit : public TEdit {
 public:
  using TEdit::TEdit;

 protected:
  bool WantSpecialKey(uint16_t key, TShiftState) override { return key == VK_TAB; }
  void KeyPress(char32_t& key) override {
    if (key == U'\t') key = 0;
    if (key == U'x') key = U'y';
  }
};

}  // namespace

TEST(Edit, KeepsTabAndTakesWhatKeyPressLeaves) {
  App();
  QWidget window;
  auto* edit = new SwallowingEdit(&window);
  auto* next = new QLineEdit(&window);
  next->move(0, 40);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QApplication::setActiveWindow(&window);
  edit->setFocus();
  QTest::keyClicks(edit, "ab");
  QTest::keyClick(edit, Qt::Key_Tab);
  QTest::keyClicks(edit, "x");
  EXPECT_EQ(edit->Text(), "aby");
  EXPECT_TRUE(edit->hasFocus());
  edit->SetText("\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(edit->text(), QString::fromUtf8("été"));
}

TEST(FontColorDialogs, ChoicesComeBackOnlyOnOk) {
  App();
  QWidget owner;
  auto answer = [](bool ok, std::function<void(QDialog*)> set) {
    QTimer::singleShot(0, [=] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      set(dialog);
      ok ? dialog->accept() : dialog->reject();
    });
  };
  TFont font;
  font.Name = "Arial";
  font.SetHeight(-13);
  font.Color = clRed;
  answer(false, [](QDialog*) {});
  EXPECT_FALSE(ExecuteFontDialog(&owner, font));
  EXPECT_EQ(font.Name, "Arial");
  answer(true, [](QDialog* d) {
    QFont f(QStringLiteral("DejaVu Serif"));
    f.setPixelSize(20);
    f.setBold(true);
    f.setItalic(true);
    static_cast<QFontDialog*>(d)->setCurrentFont(f);
  });
  ASSERT_TRUE(ExecuteFontDialog(&owner, font));
  EXPECT_EQ(font.Name, "DejaVu Serif");
  EXPECT_LT(font.Height(), 0);
  EXPECT_NEAR(-font.Height(), 20, 2);
  EXPECT_TRUE(font.Style.Bold);
  EXPECT_TRUE(font.Style.Italic);
  EXPECT_FALSE(font.Style.Underline);
  EXPECT_EQ(font.Color, clRed);

  TColor color = clWindow;
  answer(false, [](QDialog*) {});
  EXPECT_FALSE(ExecuteColorDialog(&owner, color));
  EXPECT_EQ(color, clWindow);
  answer(true, [](QDialog* d) { static_cast<QColorDialog*>(d)->setCurrentColor(QColor(10, 20, 30)); });
  ASSERT_TRUE(ExecuteColorDialog(&owner, color));
  EXPECT_EQ(color, RGB(10, 20, 30));
}
