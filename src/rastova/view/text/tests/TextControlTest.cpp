// The text editor control: text and formats, editing keys, caret movement, format commands,
// mouse selection and the clipboard.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>
#include <cstring>

#include "platform/ui/Keys.h"
#include "platform/ui/SystemClipboard.h"
#include "rastova/core/RVStartup.h"
#include "rastova/view/RastovaViewStartup.h"
#include "rastova/view/text/RVTextMemoBlock.h"
#include "rastova/view/text/tests/TextTestTools.h"

using namespace rv;
using rv::texttest::TextWindow;

namespace {

TRVCharFormat Format(const char* name, int32_t height, uint8_t style, uint8_t alignment = rvtaLeft) {
  TRVCharFormat f;
  std::memset(&f, 0, sizeof f);
  SetCharFormatFontName(f, name);
  f.FontHeight = height;
  f.FontStyle = style;
  f.FontColor = platform::clBlack;
  f.BackColor = platform::clWhite;
  f.BackStyle = platform::bsClear;
  f.Alignment = alignment;
  return f;
}

void Key(TRVTextControl* c, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::keyClick(c, key, mods);
}

}  // namespace

TEST(TextControl, RecordLayoutAndFormatList) {
  TextWindow w;
  TRVTextControl& c = *w.control;
  w.SetText("abc");
  ASSERT_EQ(c.FFormats->size(), 1u);
  EXPECT_EQ((*c.FFormats)[0]->RefCount, 3);
  EXPECT_EQ(CharFormatFontName(*(*c.FFormats)[0]), "Arial");
  EXPECT_EQ((*c.FFormats)[0]->FontHeight, -14);
  // Equal formats share a record whatever their reference counts; a new one is appended.
  TRVCharFormat bold = *(*c.FFormats)[0];
  bold.FontStyle |= rvfsBold;
  bold.RefCount = 99;
  c.SetCharFormat(1, bold);
  ASSERT_EQ(c.FFormats->size(), 2u);
  EXPECT_EQ((*c.FFormats)[1]->RefCount, 1);
  EXPECT_EQ(c.FindFormat(bold), 1);
  c.SetCharFormat(2, bold);
  EXPECT_EQ((*c.FFormats)[1]->RefCount, 2);
  TRVCharFormat got{};
  c.GetCharFormat(99, got);  // clamped to the last character
  EXPECT_TRUE(SameCharFormat(got, bold));
  // Deleting lowers the count; a record no character uses goes with PackFormats.
  c.FSelStart = 1;
  c.FSelEnd = 3;
  c.DeleteSelection();
  EXPECT_EQ((*c.FFormats)[1]->RefCount, 0);
  (*c.FFormats)[0]->RefCount = 1;
  c.SetCharFormat(0, bold);  // character 0 takes record 1 (record 0 is not decremented)
  (*c.FFormats)[0]->RefCount = 0;
  c.PackFormats();
  ASSERT_EQ(c.FFormats->size(), 1u);
  EXPECT_EQ(c.FCharFormats[0], 0);
  EXPECT_EQ((*c.FFormats)[0]->FontStyle & rvfsBold, rvfsBold);
}

TEST(TextControl, BuffersGrowInStepsOf256Bytes) {
  TextWindow w;
  TRVTextControl& c = *w.control;
  w.SetText("");
  for (int i = 0; i < 600; ++i) c.InsertChar('x');
  EXPECT_EQ(c.FTextLength, 600);
  EXPECT_EQ(std::strlen(c.FText), 600u);
  EXPECT_EQ(c.FCaret, 600);
  for (int i = 0; i <= 600; ++i) {
    ASSERT_EQ(c.FCharWidths[i], 0) << i;
    ASSERT_EQ(c.FCharX[i], -1) << i;
  }
  w.Layout();
  EXPECT_GT(c.FCharWidths[599], 0);
  EXPECT_NE(c.FCharX[599], -1);
}

TEST(TextControl, TypedCharactersReachTheTextAsOneByteCharacters) {
  TextWindow w;
  TRVTextControl& c = *w.control;
  w.SetText("");
  QTest::keyClicks(&c, "Ab ");
  // Characters the test's key table lacks come as the text of a key without a code.
  for (const QChar ch : QString::fromUtf8("é€Ω")) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
    QCoreApplication::sendEvent(&c, &press);
  }
  EXPECT_EQ(w.Text(), "Ab \xE9\x80?");
  // Ctrl-held keys type nothing; Tab is the control's and types nothing either.
  QTest::keyClick(&c, Qt::Key_A, Qt::ControlModifier);
  Key(&c, Qt::Key_Tab);
  EXPECT_TRUE(c.hasFocus());
  EXPECT_EQ(c.FTextLength, 6);
}

TEST(TextControl, EditingKeys) {
  struct Case {
    const char* name;
    const char* text;
    int caret, selStart, selEnd;
    bool overwrite;
    std::function<void(TRVTextControl*)> keys;
    const char* expected;
    int expectedCaret;
  };
  auto type = [](const char* s) { return [s](TRVTextControl* c) { QTest::keyClicks(c, s); }; };
  auto press = [](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
    return [k, m](TRVTextControl* c) { Key(c, k, m); };
  };
  const Case cases[] = {
      {"typing replaces the selection", "hello world", 0, 0, 5, false, type("bye"), "bye world", 3},
      {"overwrite replaces the character at the caret", "abcd", 1, 0, 0, true, type("XY"), "aXYd", 3},
      {"overwrite at the end appends", "ab", 2, 0, 0, true, type("c"), "abc", 3},
      {"backspace at 0 does nothing", "abc", 0, 0, 0, false, press(Qt::Key_Backspace), "abc", 0},
      {"backspace deletes the character before", "abc", 2, 0, 0, false, press(Qt::Key_Backspace), "ac", 1},
      {"backspace deletes the selection", "abcdef", 5, 1, 4, false, press(Qt::Key_Backspace), "aef", 1},
      {"delete at the end does nothing", "abc", 3, 0, 0, false, press(Qt::Key_Delete), "abc", 3},
      {"delete deletes the character at the caret", "abc", 0, 0, 0, false, press(Qt::Key_Delete), "bc", 0},
      {"enter inserts a line break", "ab", 1, 0, 0, false, press(Qt::Key_Return), "a\nb", 2},
      {"insert toggles overwrite", "ab", 0, 0, 0, false,
       [](TRVTextControl* c) {
         Key(c, Qt::Key_Insert);
         QTest::keyClicks(c, "Z");
       },
       "Zb", 1},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.name);
    TextWindow w;
    TRVTextControl& c = *w.control;
    w.SetText(t.text);
    c.FCaret = t.caret;
    c.FSelStart = t.selStart;
    c.FSelEnd = t.selEnd;
    c.FInsertMode = !t.overwrite;
    w.Layout();
    t.keys(&c);
    EXPECT_EQ(w.Text(), t.expected);
    EXPECT_EQ(c.FCaret, t.expectedCaret);
  }
}

TEST(TextControl, WordMovesAndCtrlRightNeverReachesTheEnd) {
  TextWindow w;
  TRVTextControl& c = *w.control;
  w.SetText("one  two three");
  c.FCaret = 0;
  std::vector<int> rights;
  for (int i = 0; i < 5; ++i) {
    Key(&c, Qt::Key_Right, Qt::ControlModifier);
    rights.push_back(c.FCaret);
  }
  EXPECT_EQ(rights, (std::vector<int>{3, 8, 13, 13, 13}));
  std::vector<int> lefts;
  for (int i = 0; i < 4; ++i) {
    Key(&c, Qt::Key_Left, Qt::ControlModifier);
    lefts.push_back(c.FCaret);
  }
  EXPECT_EQ(lefts, (std::vector<int>{9, 5, 0, 0}));
  Key(&c, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(c.FCaret, c.FTextLength);
  // Shift extends the selection from where the caret was.
  Key(&c, Qt::Key_Left, Qt::ShiftModifier);
  Key(&c, Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_EQ(c.FSelStart, 12);
  EXPECT_EQ(c.FSelEnd, 14);
  Key(&c, Qt::Key_Right);
  EXPECT_EQ(c.FSelStart, 0);
  EXPECT_EQ(c.FSelEnd, 0);
}

TEST(TextControl, HomeEndUpDownGoByDisplayedLines) {
  // Four lines: two made by wrapping, one by a line break, and a shorter last one.
  TextWindow w(120, 200);
  TRVTextControl& c = *w.control;
  w.SetText("aaaa bbbb cccc dddd eeee ffff\nxx yy\nz");
  auto lineOf = [&](int i) { return c.FCharY[i]; };
  // The lines' tops, in order of the text.
  std::vector<int> tops;
  for (int i = 0; i < c.FTextLength; ++i)
    if (tops.empty() || lineOf(i) != tops.back()) tops.push_back(lineOf(i));
  ASSERT_GE(tops.size(), 4u);
  const char* text = c.FText;
  const int y = std::find(text, text + c.FTextLength, 'x') - text;  // first character of a line
  c.FCaret = y + 1;
  w.Layout();
  Key(&c, Qt::Key_Home);
  EXPECT_EQ(c.FCaret, y);
  Key(&c, Qt::Key_End);
  EXPECT_EQ(c.FCaret, y + 5) << "before the line break";
  // Up from the end of "xx yy" lands on the line above, near the same x.
  w.Settle();
  const int caretX = c.FCaretX;
  Key(&c, Qt::Key_Up);
  w.Settle();
  EXPECT_EQ(lineOf(c.FCaret), tops[tops.size() - 3]);
  EXPECT_LE(std::abs(c.FCaretX - caretX), 12) << "the nearest character of the line above";
  Key(&c, Qt::Key_Down);
  Key(&c, Qt::Key_Down);
  w.Settle();
  EXPECT_EQ(lineOf(c.FCaret), tops.back());
  EXPECT_EQ(c.FCaret, c.FTextLength) << "the last line is shorter: its end";
  Key(&c, Qt::Key_Down);
  EXPECT_EQ(c.FCaret, c.FTextLength);
  Key(&c, Qt::Key_Home, Qt::ControlModifier);
  Key(&c, Qt::Key_Up);
  EXPECT_EQ(c.FCaret, 0);
}

TEST(TextControl, BoldOnASelectionTakesTheFirstCharactersStyle) {
  TextWindow w;
  TRVTextControl& c = *w.control;
  w.SetText("abcd");
  c.SetCharFormat(0, Format("Arial", -14, rvfsBold));
  c.SetCharFormat(1, Format("Arial", -14, rvfsItalic));
  c.SetCharFormat(2, Format("Arial", -14, rvfsUnderline | rvfsBold));
  c.FSelStart = 0;
  c.FSelEnd = 3;
  Key(&c, Qt::Key_B, Qt::ControlModifier);
  for (int i = 0; i < 3; ++i) {
    TRVCharFormat f;
    c.GetCharFormat(i, f);
    EXPECT_EQ(f.FontStyle, 0) << i;
  }
  TRVCharFormat last;
  c.GetCharFormat(3, last);
  EXPECT_EQ(last.FontStyle, 0);
  // Without a selection only the current format changes.
  c.FSelStart = c.FSelEnd = 0;
  const uint8_t before = c.FCurrentFormat->FontStyle;
  Key(&c, Qt::Key_I, Qt::ControlModifier);
  EXPECT_EQ(c.FCurrentFormat->FontStyle, before ^ rvfsItalic);
  Key(&c, Qt::Key_U, Qt::ControlModifier);
  EXPECT_EQ(c.FCurrentFormat->FontStyle, before ^ rvfsItalic ^ rvfsUnderline);
  // Shift+F1 and Shift+F2 change the height of the selected characters.
  c.FSelStart = 1;
  c.FSelEnd = 2;
  Key(&c, Qt::Key_F2, Qt::ShiftModifier);
  TRVCharFormat f;
  c.GetCharFormat(1, f);
  EXPECT_EQ(f.FontHeight, -15);
  Key(&c, Qt::Key_F1, Qt::ShiftModifier);
  Key(&c, Qt::Key_F1, Qt::ShiftModifier);
  c.GetCharFormat(1, f);
  EXPECT_EQ(f.FontHeight, -13);
}

TEST(TextControl, AlignmentShortcutsWorkOnTheCaretsParagraph) {
  TextWindow w;
  TRVTextControl& c = *w.control;
  w.SetText("ab\ncd ef\ngh");
  c.FCaret = 4;
  c.FSelStart = 0;
  c.FSelEnd = 10;  // across three paragraphs
  Key(&c, Qt::Key_E, Qt::ControlModifier);
  std::string alignments;
  for (int i = 0; i < c.FTextLength; ++i) {
    TRVCharFormat f;
    c.GetCharFormat(i, f);
    alignments += char('0' + f.Alignment);
  }
  EXPECT_EQ(alignments, "00022222000");
  EXPECT_EQ(c.FCurrentFormat->Alignment, rvtaCenter);
  const struct {
    Qt::Key key;
    uint8_t alignment;
  } keys[] = {{Qt::Key_R, rvtaRight}, {Qt::Key_J, rvtaJustify}, {Qt::Key_L, rvtaLeft}};
  for (const auto& k : keys) {
    Key(&c, k.key, Qt::ControlModifier);
    TRVCharFormat f;
    c.GetCharFormat(5, f);
    EXPECT_EQ(f.Alignment, k.alignment);
  }
}

TEST(TextControl, CopyPutsPlainTextAndTheMemoBlock) {
  TextWindow w;
  TRVTextControl& c = *w.control;
  w.SetText("a\n\n\nb");
  c.SetCharFormat(2, Format("Times New Roman", 20, rvfsItalic, rvtaRight));
  c.FSelStart = 1;
  c.FSelEnd = 4;
  Key(&c, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("\r\n\r\n\r\n"));
  const QByteArray block =
      QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("application/x-RASTOVA TEXTMEMO"));
  ASSERT_EQ(block.size(), 844);
  // The block by hand: three characters 10, a 0, then the three records as the list holds them.
  std::vector<uint8_t> expected = {10, 10, 10, 0};
  for (int i = 1; i < 4; ++i) {
    const TRVCharFormat& f = *(*c.FFormats)[c.FCharFormats[i]];
    const auto* bytes = reinterpret_cast<const uint8_t*>(&f);
    expected.insert(expected.end(), bytes, bytes + 280);
  }
  EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.end()), expected);
  // The record of character 2 went out with its own font and alignment.
  EXPECT_EQ(std::string(block.constData() + 4 + 280 + 5, 15), "Times New Roman");
  EXPECT_EQ(uint8_t(block[4 + 280 + 277]), rvtaRight);

  // Paste puts the characters back with their formats; cut takes the selection away.
  c.FSelStart = c.FSelEnd = 0;
  c.FCaret = 0;
  Key(&c, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(w.Text(), "\n\n\na\n\n\nb");
  TRVCharFormat f;
  c.GetCharFormat(1, f);
  EXPECT_EQ(CharFormatFontName(f), "Times New Roman");
  EXPECT_EQ(f.FontStyle, rvfsItalic);
  c.FSelStart = 0;
  c.FSelEnd = 3;
  c.WMCut();
  EXPECT_EQ(w.Text(), "a\n\n\nb");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("\r\n\r\n\r\n"));
  // Copy without a selection leaves the clipboard alone.
  QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
  c.WMCopy();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
}

TEST(TextControl, PastingPlainTextDropsCarriageReturns) {
  TextWindow w;
  TRVTextControl& c = *w.control;
  w.SetText("[]");
  c.FCaret = 1;
  QGuiApplication::clipboard()->setText(QString::fromUtf8("x\r\ny\r\r\u00e9\u03a9"));
  c.WMPaste();
  EXPECT_EQ(w.Text(), "[x\ny\xE9?]");
  EXPECT_EQ(c.FCaret, 6);
}

TEST(TextControl, ABlockThatDoesNotHoldItsTextFallsBackToPlainText) {
  // Foreign or short blocks: no terminator, a terminator but too few bytes for the records.
  const std::vector<std::vector<uint8_t>> blocks = {
      {'a', 'b'}, {'a', 'b', 0, 1, 2, 3}, {0},  // an empty text: a valid block that pastes nothing
  };
  for (size_t i = 0; i < blocks.size(); ++i) {
    SCOPED_TRACE(i);
    TextWindow w;
    TRVTextControl& c = *w.control;
    w.SetText("");
    auto* data = new QMimeData;
    data->setData(QStringLiteral("application/x-RASTOVA TEXTMEMO"),
                  QByteArray(reinterpret_cast<const char*>(blocks[i].data()), blocks[i].size()));
    data->setText(QStringLiteral("plain"));
    QGuiApplication::clipboard()->setMimeData(data);
    c.WMPaste();
    EXPECT_EQ(w.Text(), i == 2 ? "" : "plain");
  }
}

TEST(TextControl, MouseClickDragAndDoubleClick) {
  TextWindow w;
  TRVTextControl& c = *w.control;
  w.SetText("hello brave world");
  const int b = 6;  // "brave"
  std::vector<QPoint> points;
  for (int i = 0; i <= c.FTextLength; ++i) points.push_back(QPoint(c.FCharX[i] + 1, c.FCharY[i] + 2));
  auto at = [&](int i) { return points[i]; };
  int moved = 0;
  c.FOnCursorMoved = [&](platform::TControl*) { moved++; };
  QTest::mouseClick(&c, Qt::LeftButton, Qt::NoModifier, at(b));
  EXPECT_EQ(c.FCaret, b);
  EXPECT_EQ(moved, 1);
  // Right of the last character: the end of the text.
  QTest::mouseClick(&c, Qt::LeftButton, Qt::NoModifier, at(c.FTextLength) + QPoint(30, 0));
  EXPECT_EQ(c.FCaret, c.FTextLength);
  // A drag from there selects up to the point.
  QTest::mousePress(&c, Qt::LeftButton, Qt::NoModifier, at(b));
  QMouseEvent move(QEvent::MouseMove, at(b + 3), c.mapToGlobal(at(b + 3)), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(&c, &move);
  QTest::mouseRelease(&c, Qt::LeftButton, Qt::NoModifier, at(b + 3));
  EXPECT_EQ(c.FSelStart, b);
  EXPECT_EQ(c.FSelEnd, b + 3);
  // Shift+click extends from the anchor.
  QTest::mouseClick(&c, Qt::LeftButton, Qt::ShiftModifier, at(b + 4));
  EXPECT_EQ(c.FSelStart, b);
  EXPECT_EQ(c.FSelEnd, b + 4);
  // A double click selects the word without the space after it.
  QTest::mouseDClick(&c, Qt::LeftButton, Qt::NoModifier, at(b + 2));
  EXPECT_EQ(c.FSelStart, b);
  EXPECT_EQ(c.FSelEnd, b + 5);
  EXPECT_EQ(c.FCaret, b + 5);
}

TEST(TextControl, CaretBlinksOnTheSurfaceWhileFocused) {
  TextWindow w;
  TRVTextControl& c = *w.control;
  w.SetText("abc");
  c.FCaret = 1;
  w.Layout();
  ASSERT_TRUE(c.hasFocus());
  ASSERT_TRUE(c.CaretCreated());
  const platform::TRect r = c.CaretRect();
  EXPECT_EQ(r.Left, c.FCaretX);
  EXPECT_EQ(r.Top, c.FCaretY);
  EXPECT_EQ(r.Height(), c.FCaretHeight);
  EXPECT_GT(r.Height(), 0);
  // The caret inverts the surface under it; losing the focus takes it away.
  const platform::TColor under = c.FBackBuffer->PixelColor(r.Left, r.Top + 1);
  const platform::TColor shown = c.Surface().PixelColor(r.Left, r.Top + 1);
  EXPECT_EQ(shown, ~under & 0xFFFFFF);
  QWidget other(&w.window);
  other.setFocusPolicy(Qt::StrongFocus);
  other.show();
  other.setFocus();
  EXPECT_FALSE(c.CaretCreated());
  EXPECT_EQ(c.Surface().PixelColor(r.Left, r.Top + 1), under);
}

TEST(TextControl, StartUpStepsFillTheShortcutsAndRegisterTheMemoFormat) {
  platform::test::App();
  RegisterRastovaViewStartup();
  const std::vector<std::string> names = RastovaStartupStepNames();
  auto at = [&](const char* name) { return std::find(names.begin(), names.end(), name) - names.begin(); };
  ASSERT_LT(at("RVVect"), static_cast<long>(names.size()));
  ASSERT_LT(at("RVTextC"), static_cast<long>(names.size()));
  EXPECT_LT(at("RVVect"), at("RastovaView"));
  EXPECT_GT(at("RVTextC"), at("RastovaView"));
  RVVectStartup();
  const char keys[] = "LERJCXVFBIUG";
  for (int i = 0; i < 12; ++i) EXPECT_EQ(TextControlShortcuts[i], platform::scCtrl | keys[i]) << i;
  RegisterTextMemoFormat();
  EXPECT_NE(TextMemoClipboardFormat, 0u);
  EXPECT_EQ(platform::Clipboard().MimeType(TextMemoClipboardFormat), "application/x-RASTOVA TEXTMEMO");
}
