// The spin edit: its text in both directions, the limits, the steps, the key and paste filters,
// OnChange, the gauge's picture and mouse, the popup track bar and the layout. The regional
// format here is the "C" locale's (decimal point "."); DialogLocaleTest covers a comma.
#include <QClipboard>
#include <QFocusEvent>
#include <QFrame>
#include <QLineEdit>
#include <QSlider>
#include <QToolButton>
#include <cmath>
#include <string>

#include "editor/controls/QSKSpinEdit.h"
#include "editor/tests/DialogTestUtil.h"

namespace editor_test {
namespace {

using editor::TQSKSpinEdit;

class SpinEditTest : public DialogTest {
 protected:
  SpinEditTest() {
    spin = std::make_unique<TQSKSpinEdit>();
    spin->resize(140, 30);
    spin->show();
    spin->OnChange = [this] { ++changes; };
  }
  // The text as typed: replaces the whole text.
  void TypeText(const QString& text) {
    spin->Edit->clear();
    QTest::keyClicks(spin->Edit, text);
  }

  std::unique_ptr<TQSKSpinEdit> spin;
  int changes = 0;
};

TEST_F(SpinEditTest, StartsAsDocumented) {
  EXPECT_EQ(spin->Text(), QStringLiteral("0.00"));
  EXPECT_EQ(spin->MinValue(), 0);
  EXPECT_EQ(spin->MaxValue(), 100);
  EXPECT_EQ(spin->Increment, 1);
  EXPECT_EQ(spin->Precision(), 2);
  EXPECT_EQ(spin->GuageHeight(), 5);
  EXPECT_EQ(spin->TrackBarWidth(), 150);
  EXPECT_TRUE(spin->TrackBarEnabled());
  EXPECT_TRUE(spin->EditorEnabled);
  EXPECT_EQ(spin->GuageBeginColor(), platform::clHighlight);
  EXPECT_EQ(spin->GuageEndColor(), platform::clRed);
  EXPECT_FALSE(spin->Popup->isVisible());
}

TEST_F(SpinEditTest, FormatsValuesWithPrecisionAndUnit) {
  struct Case {
    int precision;
    const char* unit;
    double value;
    const char* text;
  } cases[] = {
      {3, "", 75, "75.000"},
      {2, "mm", 1.5, "1.50 mm"},
      {-1, "", 3.14159, "3.142"},
      {0, "", 2.5, "3"},  // decimal halves round up
      {2, "", -0.001, "0.00"},
      {2, "", 0.005, "0.01"},
      {6, "", 123456789012.345678, "123456789012.346000"},  // 15 significant digits, then zeros
      {2, "", 1e20, "1.00000000000000e+20"},
  };
  spin->SetMinValue(-1e300);
  spin->SetMaxValue(1e300);
  for (const Case& c : cases) {
    spin->SetPrecision(c.precision);
    spin->SetValueUnit(QString::fromUtf8(c.unit));
    EXPECT_EQ(spin->FormatValue(c.value).toStdString(), c.text) << c.value;
  }
  spin->SetPrecision(2);
  spin->SetValueUnit(QStringLiteral("mm"));
  spin->SetValue(1.5);
  EXPECT_EQ(spin->Text(), QStringLiteral("1.50 mm"));
  EXPECT_DOUBLE_EQ(spin->Value(), 1.5);
}

TEST_F(SpinEditTest, ReadsTextsAndResetsWhatDoesNotConvert) {
  spin->SetMinValue(3);
  struct Case {
    const char* text;
    double value;
    bool reset;  // the text is replaced by that of MinValue
  } cases[] = {
      {"42.5", 42.5, false},  {"-", 0, false},     {".5", 0.5, false}, {"5.", 5, false},
      {"7 apples", 7, false}, {"a1b2", 12, false}, {"1-2", 3, true},   {"", 3, true},
      {"abc", 3, true},       {"1.2.3", 3, true},  {"--4", 3, true},
  };
  for (const Case& c : cases) {
    spin->SetText(QString::fromUtf8(c.text));
    EXPECT_DOUBLE_EQ(spin->Value(), c.value) << c.text;
    EXPECT_EQ(spin->Text() == QStringLiteral("3.00"), c.reset) << c.text;
  }
}

TEST_F(SpinEditTest, StripsTheUnit) {
  spin->SetValueUnit(QStringLiteral("mm"));
  struct Case {
    const char* text;
    const char* number;
  } cases[] = {
      {"12.5 mm", "12.5"}, {"12.5mm", "12.5"}, {"  3 mm", "3"}, {"mm 7", "mm"}, {"4 cm", "4"}, {" 9", " 9"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(spin->StripUnit(QString::fromUtf8(c.text)).toStdString(), c.number) << c.text;
}

TEST_F(SpinEditTest, ClampsToTheLimitsUnlessTheyAreEqual) {
  spin->SetValue(150);
  EXPECT_EQ(spin->Value(), 100);
  spin->SetValue(-3);
  EXPECT_EQ(spin->Value(), 0);
  spin->SetText(QStringLiteral("99999999999999999999999"));
  spin->SetValue(spin->Value());
  EXPECT_EQ(spin->Value(), 100);
  // a number too long for a double still clamps
  spin->SetText(QString(400, QLatin1Char('9')));
  spin->SetValue(spin->Value());
  EXPECT_EQ(spin->Value(), 100);
  // new limits clamp the value at once
  spin->SetValue(50);
  spin->SetMinValue(60);
  EXPECT_EQ(spin->Value(), 60);
  spin->SetMaxValue(60);
  spin->SetValue(1e9);
  EXPECT_EQ(spin->Value(), 1e9);
  spin->SetValue(-12345);
  EXPECT_EQ(spin->Value(), -12345);
}

TEST_F(SpinEditTest, ClampsPrecisionAndTrackBarWidth) {
  const int precisions[][2] = {{9, 6}, {6, 6}, {5, 5}, {0, 0}, {-1, -1}, {-5, -1}};
  for (const auto& p : precisions) {
    spin->SetPrecision(p[0]);
    EXPECT_EQ(spin->Precision(), p[1]) << p[0];
  }
  const int widths[][2] = {{20, 50}, {50, 50}, {150, 150}, {300, 300}, {500, 300}};
  for (const auto& w : widths) {
    spin->SetTrackBarWidth(w[0]);
    EXPECT_EQ(spin->TrackBarWidth(), w[1]) << w[0];
  }
}

TEST_F(SpinEditTest, StepsWithTheButtonsAndTheArrowKeys) {
  struct Case {
    double min, max, start;
    bool up;
    double result;
  } cases[] = {
      {0, 100, 99.5, true, 100}, {0, 100, 0.5, false, 0}, {0, 100, 50, true, 51}, {0, 100, 50, false, 49},
      {0, 100, 99, true, 100},   {0, 0, 5, true, 6},      {0, 0, -5, false, -6},  // no limits: a plain step
  };
  for (const Case& c : cases) {
    spin->SetMinValue(c.min);
    spin->SetMaxValue(c.max);
    spin->SetValue(c.start);
    Click(c.up ? spin->UpButton : spin->DownButton);
    EXPECT_DOUBLE_EQ(spin->Value(), c.result) << c.start << (c.up ? " up" : " down");
    spin->SetValue(c.start);
    QTest::keyClick(spin->Edit, c.up ? Qt::Key_Up : Qt::Key_Down);
    EXPECT_DOUBLE_EQ(spin->Value(), c.result) << c.start << (c.up ? " key up" : " key down");
    // a key step selects the whole text
    EXPECT_EQ(spin->Edit->selectedText(), spin->Text());
  }
}

TEST_F(SpinEditTest, KeepsOnlyNumberCharactersWhenTyped) {
  TypeText(QStringLiteral("a1b.2-+x e"));
  EXPECT_EQ(spin->Text(), QStringLiteral("1.2-+ "));
  spin->EditorEnabled = false;
  spin->SetValue(5);
  TypeText(QStringLiteral("123"));  // the clear goes through; the keys do not
  EXPECT_EQ(spin->Text(), QString());
  spin->SetValue(5);
  QTest::keyClick(spin->Edit, Qt::Key_Up);  // arrows still step
  EXPECT_EQ(spin->Value(), 6);
}

TEST_F(SpinEditTest, PastesAndCutsOnlyWhenEditable) {
  struct Case {
    bool editorEnabled, readOnly, pasted;
  } cases[] = {{true, false, true}, {false, false, false}, {true, true, false}};
  for (const Case& c : cases) {
    spin->EditorEnabled = c.editorEnabled;
    spin->SetReadOnly(c.readOnly);
    spin->SetText(QStringLiteral("1"));
    QApplication::clipboard()->setText(QStringLiteral("42"));
    spin->Edit->selectAll();
    QTest::keyClick(spin->Edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(spin->Text(), c.pasted ? QStringLiteral("42") : QStringLiteral("1"))
        << c.editorEnabled << c.readOnly;
    spin->Edit->selectAll();
    QTest::keyClick(spin->Edit, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(spin->Text().isEmpty(), c.pasted) << c.editorEnabled << c.readOnly;
  }
}

TEST_F(SpinEditTest, RaisesOnChangeForTheValueAndForTheText) {
  struct Case {
    double value;
    int changes;
  } cases[] = {
      {5, 2},    // new value, new text
      {5, 0},    // nothing changes
      {150, 2},  // clamped to 100: new text
      {200, 1},  // differs from 100, but the text stays "100.00"
  };
  for (const Case& c : cases) {
    changes = 0;
    spin->SetValue(c.value);
    EXPECT_EQ(changes, c.changes) << c.value;
  }
  // with a unit, a typed number is written back at once with its unit
  spin->SetValueUnit(QStringLiteral("mm"));
  TypeText(QStringLiteral("7"));
  EXPECT_EQ(spin->Text(), QStringLiteral("7.00 mm"));
  EXPECT_EQ(spin->Edit->cursorPosition(), 1);
}

TEST_F(SpinEditTest, EnteringSelectsAndLeavingClamps) {
  spin->SetText(QStringLiteral("500"));
  spin->Edit->deselect();
  QFocusEvent in(QEvent::FocusIn, Qt::OtherFocusReason);
  QApplication::sendEvent(spin->Edit, &in);
  EXPECT_EQ(spin->Edit->selectedText(), QStringLiteral("500"));
  QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
  QApplication::sendEvent(spin->Edit, &out);
  EXPECT_EQ(spin->Text(), QStringLiteral("100.00"));
}

TEST_F(SpinEditTest, LaysOutThePartsAndKeepsAMinimumHeight) {
  spin->resize(140, 5);
  EXPECT_EQ(spin->height(), spin->MinimumControlHeight());
  spin->resize(140, 40);
  // the button panel at the right, the gauge along the bottom, inside the 2-pixel border
  EXPECT_EQ(spin->ButtonPanel->geometry(), QRect(2 + 140 - 31 - 4, 2, 31, 40 - 5 - 4));
  EXPECT_EQ(spin->Gauge->geometry(), QRect(2, 2 + 40 - 5 - 5, 140 - 4, 5 + 2));
  EXPECT_EQ(spin->DropButton->geometry().height(), 40 - 5 - 4 - 2);
  spin->SetTrackBarEnabled(false);
  EXPECT_EQ(spin->ButtonPanel->width(), 18);
  EXPECT_TRUE(spin->DropButton->isHidden());
  const int lower = spin->MinimumControlHeight();
  spin->SetGuageHeight(9);
  EXPECT_EQ(spin->MinimumControlHeight(), lower + 4);
}

// --- the gauge ---------------------------------------------------------------------------

class GaugeTest : public SpinEditTest {
 protected:
  platform::TColor Pixel(int x, int y) {
    spin->Gauge->Repaint();
    return spin->Gauge->Surface().PixelColor(x, y);
  }
  // The columns of the gauge's middle row in the bar colour.
  std::pair<int, int> BarSpan(platform::TColor bar) {
    spin->Gauge->Repaint();
    int first = -1, last = -1;
    const int y = spin->Gauge->height() / 2;
    for (int x = 1; x < spin->Gauge->width() - 1; ++x) {
      if (spin->Gauge->Surface().PixelColor(x, y) != bar) continue;
      if (first < 0) first = x;
      last = x;
    }
    return {first, last};
  }
};

TEST_F(GaugeTest, DrawsAOneSidedBarToTheValue) {
  spin->resize(104, 30);  // gauge 100 wide: w = 99
  ASSERT_EQ(spin->Gauge->width(), 100);
  spin->SetValue(50);
  const platform::TColor bar = spin->Gauge->BarColor(50);
  EXPECT_EQ(spin->Gauge->GaugePos(50), 50);  // nearest(50 * 99 / 100 + 1), halves to even
  EXPECT_EQ(BarSpan(bar), std::make_pair(1, 49));
  EXPECT_EQ(Pixel(60, 3), platform::ColorToRGB(platform::clWindow));
  EXPECT_EQ(Pixel(0, 3), platform::ColorToRGB(platform::clBtnFace));  // the frame
  spin->SetValue(100);
  EXPECT_EQ(BarSpan(spin->Gauge->BarColor(100)), std::make_pair(1, 98));
  spin->SetValue(0);
  EXPECT_EQ(BarSpan(spin->Gauge->BarColor(0)).first, -1);
}

TEST_F(GaugeTest, DrawsATwoSidedBarFromTheCentre) {
  spin->resize(104, 30);
  spin->SetMinValue(-1);
  spin->SetMaxValue(1);
  spin->SetGaugeAroundCenter(0);
  const int centre = spin->Gauge->GaugePos(0);
  EXPECT_EQ(centre, 50);  // nearest(1 * 99 / 2 + 1), halves to even
  const platform::TColor frame = platform::ColorToRGB(platform::clWindowFrame);
  spin->SetValue(0.5);
  EXPECT_EQ(BarSpan(spin->Gauge->BarColor(0.5)), std::make_pair(centre + 1, spin->Gauge->GaugePos(0.5) - 1));
  EXPECT_EQ(Pixel(centre, 3), frame);
  spin->SetValue(-0.5);
  EXPECT_EQ(BarSpan(spin->Gauge->BarColor(-0.5)), std::make_pair(spin->Gauge->GaugePos(-0.5), centre - 1));
  spin->SetValue(0);  // only the centre line
  int coloured = 0;
  for (int x = 1; x < 99; ++x)
    if (Pixel(x, 3) != platform::ColorToRGB(platform::clWindow)) ++coloured;
  EXPECT_EQ(coloured, 1);
  EXPECT_EQ(Pixel(centre, 3), frame);
}

TEST_F(GaugeTest, RampsTheColourWithTruncatedDivision) {
  struct Case {
    platform::TColor begin, end;
    double value;
    platform::TColor color;
  } cases[] = {
      {0x000000, 0xFFFFFF, 0, 0x000000},    // t = 1: 255 / 256 truncates to 0
      {0x000000, 0xFFFFFF, 50, 0x808080},   // t = 129: 255 * 129 / 256 = 128.5
      {0x0000C8, 0x000000, 50, 0x000064},   // red 200 - 100.8 truncates toward zero: 100
      {0x000000, 0xFFFFFF, 100, 0xFFFFFF},  // t = 257 would carry one past white
      {0xFFFFFF, 0x000000, 100, 0x000000},  // and one below black
      {0x000000, 0xFFFFFF, 500, 0xFFFFFF},  // beyond the range: as at its end
  };
  for (const Case& c : cases) {
    spin->SetGuageBeginColor(c.begin);
    spin->SetGuageEndColor(c.end);
    EXPECT_EQ(spin->Gauge->BarColor(c.value), c.color) << c.value;
  }
  // two-sided: the ramp runs from the centre outward on either side
  spin->SetMinValue(-1);
  spin->SetMaxValue(1);
  spin->SetGaugeAroundCenter(0);
  spin->SetGuageBeginColor(0x000000);
  spin->SetGuageEndColor(0xFFFFFF);
  EXPECT_EQ(spin->Gauge->BarColor(0.5), spin->Gauge->BarColor(-0.5));
  EXPECT_EQ(spin->Gauge->BarColor(1), platform::TColor(0xFFFFFF));
}

TEST_F(GaugeTest, SetsTheValueWithTheMouse) {
  spin->resize(104, 30);  // travel: 100 - 2
  spin->Gauge->Repaint();
  QTest::mousePress(spin->Gauge, Qt::LeftButton, Qt::NoModifier, QPoint(49, 3));
  EXPECT_DOUBLE_EQ(spin->Value(), 50);
  QTest::mouseRelease(spin->Gauge, Qt::LeftButton, Qt::NoModifier, QPoint(49, 3));
  spin->SetIncrementGauge(10);
  QTest::mousePress(spin->Gauge, Qt::LeftButton, Qt::NoModifier, QPoint(46, 3));  // 46.9 snaps to 50
  EXPECT_DOUBLE_EQ(spin->Value(), 50);
  QTest::mouseRelease(spin->Gauge, Qt::LeftButton, Qt::NoModifier, QPoint(200, 3));
  EXPECT_DOUBLE_EQ(spin->Value(), 100);  // released beyond the end: clamped
  EXPECT_EQ(spin->Edit->selectedText(), spin->Text());
}

// --- the popup track bar -------------------------------------------------------------------

class PopupTest : public SpinEditTest {
 protected:
  void SendToDrop(QEvent::Type type, QPoint screen) {
    const QPointF local = spin->DropButton->mapFromGlobal(QPointF(screen));
    QMouseEvent e(type, local, QPointF(screen), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(spin->DropButton, &e);
  }
  // A point of the track bar's channel row, `x` pixels from its left, on the screen.
  QPoint OnChannel(int x, int y) { return spin->Popup->TrackBar->mapToGlobal(QPoint(x, y)); }
};

TEST_F(PopupTest, ShowsUnderTheDropButtonWithTheThumbUnderThePointer) {
  spin->SetValue(25);
  const QPoint press = spin->DropButton->mapToGlobal(QPoint(5, 5));
  SendToDrop(QEvent::MouseButtonPress, press);
  ASSERT_TRUE(spin->Popup->isVisible());
  EXPECT_TRUE(spin->DropButton->isDown());
  EXPECT_EQ(spin->Popup->TrackBar->value(), 250);
  EXPECT_EQ(spin->Popup->size(), QSize(150, spin->PopupThickness));
  EXPECT_EQ(spin->Popup->y(), spin->DropButton->mapToGlobal(QPoint(0, spin->DropButton->height())).y());
  // the value does not jump when the pointer first moves
  SendToDrop(QEvent::MouseMove, press);
  EXPECT_NEAR(spin->Value(), 25, 1.5);
  SendToDrop(QEvent::MouseButtonRelease, press);
  EXPECT_FALSE(spin->Popup->isVisible());
  EXPECT_FALSE(spin->DropButton->isDown());
}

TEST_F(PopupTest, MapsTheChannelsEndsToTheLimits) {
  spin->SetMinValue(-10);
  spin->SetMaxValue(30);
  for (editor::TTrackBarOrientation orientation : {editor::trHorizontal, editor::trVertical}) {
    spin->SetTrackBarOrientation(orientation);
    spin->SetValue(0);
    const QPoint press = spin->DropButton->mapToGlobal(QPoint(5, 5));
    SendToDrop(QEvent::MouseButtonPress, press);
    ASSERT_TRUE(spin->Popup->isVisible());
    const QSlider* bar = spin->Popup->TrackBar;
    const bool horizontal = orientation == editor::trHorizontal;
    // far beyond each end of the channel: the thumb's travel ends there
    const QPoint low = horizontal ? OnChannel(-500, bar->height() / 2) : OnChannel(bar->width() / 2, 1000);
    const QPoint high = horizontal ? OnChannel(1000, bar->height() / 2) : OnChannel(bar->width() / 2, -500);
    SendToDrop(QEvent::MouseMove, low);
    EXPECT_EQ(spin->Value(), -10) << horizontal;
    SendToDrop(QEvent::MouseMove, high);
    EXPECT_EQ(spin->Value(), 30) << horizontal;
    EXPECT_EQ(bar->value(), horizontal ? 1000 : 0);
    SendToDrop(QEvent::MouseButtonRelease, high);
    EXPECT_FALSE(spin->Popup->isVisible());
  }
}

TEST_F(PopupTest, DrawsTheDropGlyphsInCode) {
  const QImage down = TQSKSpinEdit::DropGlyph(editor::trHorizontal);
  const QImage left = TQSKSpinEdit::DropGlyph(editor::trVertical);
  EXPECT_EQ(down.size(), QSize(7, 4));
  EXPECT_EQ(left.size(), QSize(4, 7));
  // the point of each arrow: one pixel at the bottom middle, at the left middle
  EXPECT_EQ(qAlpha(down.pixel(3, 3)), 255);
  EXPECT_EQ(qAlpha(down.pixel(2, 3)), 0);
  EXPECT_EQ(qAlpha(left.pixel(0, 3)), 255);
  EXPECT_EQ(qAlpha(left.pixel(0, 2)), 0);
}

}  // namespace
}  // namespace editor_test
