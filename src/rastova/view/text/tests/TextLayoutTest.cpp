// Layout and painting of the text editor: wrapping, alignments, zoom, the caret, selection,
// collection, auto-grow, and the paint through the back buffer. Expectations come from
// QFontMetrics of the font the text is drawn with, never from pinned pixel widths.
#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetrics>
#include <cmath>
#include <cstring>
#include <tuple>

#include "platform/gfx/Bitmap.h"
#include "rastova/view/canvas/RVCanvas.h"
#include "rastova/view/text/tests/TextTestTools.h"

using namespace rv;
using platform::TBitmap;

namespace {

// The test font ("Arial" at a character height of 14 pixels) as the canvas draws it.
QFontMetrics TestMetrics() {
  QFont font(platform::StandInFontFamily("Arial"));
  font.setPixelSize(14);
  return QFontMetrics(font);
}

int Advance(char c) { return TestMetrics().horizontalAdvance(QChar(c)); }

// A control that is never shown, as the vector layer uses one to draw memos.
struct Unseen : texttest::AppFirst {
  TRVTextControl control;
  TBitmap bitmap{400, 300, platform::pf24bit};
  Unseen() {
    control.FTextFont.Name = "Arial";
    control.FTextFont.SetHeight(-14);
    control.FTextFont.Color = platform::clBlack;
    control.FTextBrush = {platform::clWhite, platform::bsClear};
    control.FBackgroundBrush = {platform::clWhite, platform::bsSolid};
    control.FBorderPen = {platform::clBlack, 1, platform::psClear, platform::pmCopy};
  }
  ~Unseen() { std::free(control.FText); }
  void SetText(const std::string& text, uint8_t alignment = rvtaLeft) {
    std::free(control.FText);
    control.FText = TRVTextControl::AllocText(text);
    control.FFormats.reset();
    std::free(control.FCharFormats);
    control.FCharFormats = nullptr;
    control.FDefaultAlignment = alignment;
    control.InitText();
  }
  void Draw(int x, int y, int w, int h) {
    control.Update();
    TRVCanvas canvas(bitmap.Canvas(), false, true);
    control.LayoutAndDraw(canvas, x, y, w, h);
  }
  std::vector<int> Xs() const { return {control.FCharX, control.FCharX + control.FTextLength + 1}; }
  std::vector<int> Ys() const { return {control.FCharY, control.FCharY + control.FTextLength + 1}; }
};

void Fill(TBitmap& b, platform::TColor color) {
  b.Canvas().Brush = {color, platform::bsSolid};
  b.Canvas().FillRect(platform::Rect(0, 0, b.Width(), b.Height()));
}

}  // namespace

TEST(TextLayout, ABoxOfWidthOrHeightOneDrawsNothing) {
  Unseen u;
  u.SetText("abc");
  for (const auto& [w, h] : {std::pair{1, 50}, std::pair{50, 1}, std::pair{0, 0}}) {
    Fill(u.bitmap, platform::clLime);
    u.Draw(5, 5, w, h);
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 60; ++x) ASSERT_EQ(u.bitmap.PixelColor(x, y), platform::clLime);
    EXPECT_EQ(u.Xs(), std::vector<int>(4, -1));
  }
  // A box of two pixels is drawn.
  u.Draw(5, 5, 2, 50);
  EXPECT_NE(u.bitmap.PixelColor(5, 5), platform::clLime);
}

TEST(TextLayout, AnOverLongWordBreaksAtTheFirstCharacterThatDoesNotFit) {
  Unseen u;
  const std::string word(40, 'W');
  u.SetText(word);
  const int width = 150, w = Advance('W');
  const int textW = width - 2, lx = 1;
  u.Draw(0, 0, width, 200);
  // Character k stays on the first line while k * w + w + 2 < W'.
  int n = 0;
  while (n * w + w + 2 < textW) n++;
  const auto xs = u.Xs(), ys = u.Ys();
  for (int k = 0; k < n; ++k) EXPECT_EQ(xs[k], lx + k * w) << k;
  EXPECT_EQ(ys[n - 1], ys[0]);
  EXPECT_GT(ys[n], ys[0]);
  EXPECT_EQ(xs[n], lx);
  // Where not even one character fits the layout ends after the first.
  u.Draw(0, 0, w + 3, 200);
  EXPECT_EQ(u.Xs()[0], lx);
  EXPECT_EQ(u.Xs()[1], -1);
}

TEST(TextLayout, JustifiedLinesStretchButTheLastOneKeepsLeft) {
  Unseen u;
  const std::string text = "aaa bbb ccc ddd eee fff ggg hhh";
  u.SetText(text, rvtaJustify);
  const int width = 90, textW = width - 2, lx = 1;
  u.Draw(0, 0, width, 300);
  const auto xs = u.Xs(), ys = u.Ys();
  // The lines by their tops.
  std::vector<std::pair<int, int>> lines;  // first, last character
  for (int k = 0; k < u.control.FTextLength; ++k) {
    if (lines.empty() || ys[k] != ys[lines.back().first])
      lines.push_back({k, k});
    else
      lines.back().second = k;
  }
  ASSERT_GE(lines.size(), 3u);
  for (size_t l = 0; l < lines.size(); ++l) {
    const auto [first, last] = lines[l];
    int visible = last;  // the line's last character that is not a space
    while (text[visible] == ' ') visible--;
    int raw = 0;
    for (int k = first; k < visible; ++k) raw += Advance(text[k]);
    const int plain = lx + raw;
    if (l + 1 < lines.size()) {
      const double factor = double(textW) / (plain + Advance(text[visible]) + 1);
      EXPECT_EQ(xs[visible], lx + int(raw * factor)) << "line " << l;
      EXPECT_GT(xs[visible], plain) << "line " << l << " is stretched";
    } else {
      EXPECT_EQ(xs[visible], plain) << "the last line keeps left";
    }
  }
}

TEST(TextLayout, ARightAlignedLineEndsAtTheTextAreasWidthLessOneWhateverTheLeftMargin) {
  for (double margin : {0.0, 10.0, 25.0}) {
    SCOPED_TRACE(margin);
    Unseen u;
    u.control.FMarginLeft = margin;
    u.SetText("right", rvtaRight);
    const int width = 200;
    u.Draw(7, 3, width, 60);
    const int textW = int(width - width * margin / 100) - 2;
    const int last = u.control.FTextLength - 1;
    EXPECT_EQ(u.control.FCharX[last] + Advance('t'), textW - 1);
    // Centred: half of what is left.
    u.SetText("mid", rvtaCenter);
    u.Draw(7, 3, width, 60);
    const int lx = int(width * margin / 100) + 1;
    const int textWidth = Advance('m') + Advance('i') + Advance('d');
    EXPECT_EQ(u.control.FCharX[0], lx + (textW - lx - textWidth) / 2);
  }
}

TEST(TextLayout, AtZoomTwoEveryPositionAndTheCaretAreTwiceTheUnzoomed) {
  Unseen u;
  u.SetText("justified text over\nseveral lines that wrap in the box", rvtaJustify);
  u.control.FCaret = 25;
  u.Draw(4, 6, 120, 140);
  const auto xs = u.Xs(), ys = u.Ys();
  const int cx = u.control.FCaretX, cy = u.control.FCaretY, ch = u.control.FCaretHeight;
  u.control.FZoom = 2.0;
  u.Draw(4, 6, 120, 140);
  const auto zx = u.Xs(), zy = u.Ys();
  for (size_t k = 0; k < xs.size(); ++k) {
    EXPECT_EQ(zx[k], xs[k] == -1 ? -1 : 2 * xs[k]) << k;
    EXPECT_EQ(zy[k], ys[k] == -1 ? -1 : 2 * ys[k]) << k;
  }
  EXPECT_EQ(u.control.FCaretX, 2 * cx);
  EXPECT_EQ(u.control.FCaretY, 2 * cy);
  EXPECT_EQ(u.control.FCaretHeight, 2 * ch);
}

TEST(TextLayout, AnEmptyTextPutsTheCaretAtTheTextAreasCorner) {
  Unseen u;
  u.control.FMarginLeft = 10;
  u.control.FMarginTop = 20;
  u.SetText("");
  u.Draw(0, 0, 200, 100);
  EXPECT_EQ(u.control.FCaretX, 21);
  EXPECT_EQ(u.control.FCaretY, 21);
  EXPECT_EQ(u.control.FCaretHeight, 14) << "the magnitude of the font's height";
  EXPECT_EQ(u.control.FCharX[0], 21);
  // The caret after a final line break starts the next line.
  u.SetText("ab\n");
  u.control.FCaret = 3;
  u.Draw(0, 0, 200, 100);
  EXPECT_EQ(u.control.FCaretX, 21);
  EXPECT_EQ(u.control.FCaretY, 21 + TestMetrics().height());
}

TEST(TextLayout, SelectedCharactersAreInverted) {
  Unseen u;
  u.SetText("MMMM");
  u.control.FSelStart = 2;
  u.control.FSelEnd = 4;
  Fill(u.bitmap, platform::clWhite);
  u.Draw(0, 0, 200, 60);
  const int m = Advance('M');
  // Inside each character's cell, at its top row (above the glyph): white, and black when selected.
  const int top = u.control.FCharY[0] + 1;
  EXPECT_EQ(u.bitmap.PixelColor(u.control.FCharX[0] + m / 2, top), platform::clWhite);
  EXPECT_EQ(u.bitmap.PixelColor(u.control.FCharX[1] + m / 2, top), platform::clWhite);
  EXPECT_EQ(u.bitmap.PixelColor(u.control.FCharX[2] + m / 2, top), platform::clBlack);
  EXPECT_EQ(u.bitmap.PixelColor(u.control.FCharX[3] + m / 2, top), platform::clBlack);
  // The glyph itself is drawn: some pixel of an unselected cell is dark, of a selected one light.
  auto count = [&](int k, bool dark) {
    int n = 0;
    for (int y = u.control.FCharY[k]; y < u.control.FCharY[k] + TestMetrics().height(); ++y)
      for (int x = u.control.FCharX[k]; x < u.control.FCharX[k] + m; ++x)
        n += (platform::GetRValue(u.bitmap.PixelColor(x, y)) < 128) == dark;
    return n;
  };
  EXPECT_GT(count(0, true), 5);
  EXPECT_GT(count(3, false), 5);
}

TEST(TextLayout, CollectedTextHoldsTheLinesThatFit) {
  Unseen u;
  u.control.FCollectText = true;
  u.SetText("aaa bbb\nccc");
  u.Draw(0, 0, 300, 100);
  EXPECT_EQ(u.control.FCollectedText, "aaa bbb\nccc\n");
  // Lines below the box are not collected.
  u.Draw(0, 0, 300, TestMetrics().height() + 4);
  EXPECT_EQ(u.control.FCollectedText, "aaa bbb\n");
}

TEST(TextLayout, CharactersOfABiggerFontMakeTheirLineTaller) {
  Unseen u;
  u.SetText("ab\ncd");
  TRVCharFormat big;
  u.control.GetCharFormat(0, big);
  big.FontHeight = -30;
  u.control.SetCharFormat(1, big);
  u.Draw(0, 0, 300, 200);
  QFont bigFont(platform::StandInFontFamily("Arial"));
  bigFont.setPixelSize(30);
  EXPECT_EQ(u.control.FCharY[3] - u.control.FCharY[0], QFontMetrics(bigFont).height());
  EXPECT_EQ(u.control.FCharWidths[1], QFontMetrics(bigFont).horizontalAdvance(QChar('b')));
  // Measures stay until an edit: a character inserted re-measures from there on only.
  u.control.FCaret = 1;
  u.control.InsertChar('x');
  EXPECT_NE(u.control.FCharWidths[0], 0);
  EXPECT_EQ(u.control.FCharWidths[1], 0);
  EXPECT_EQ(u.control.FCharWidths[4], 0);
}

TEST(TextLayout, PaintGoesThroughTheBackBufferWithTheBackgroundBitmapBehind) {
  texttest::TextWindow w(120, 60);
  TRVTextControl& c = *w.control;
  c.move(10, 5);
  TBitmap picture(200, 100, platform::pf24bit);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x) picture.SetPixelColor(x, y, platform::RGB(x, y, 7));
  c.FBackgroundBitmap = &picture;
  c.FBackgroundBrush = {platform::clWhite, platform::bsClear};
  c.FBorderPen.Style = platform::psClear;
  w.SetText("");
  c.clearFocus();
  w.Layout();
  // The part of the picture under the control, on the back buffer and on the window surface.
  for (const auto& [x, y] : {std::pair{0, 0}, std::pair{50, 30}, std::pair{119, 59}}) {
    EXPECT_EQ(c.FBackBuffer->PixelColor(x, y), platform::RGB(x + 10, y + 5, 7));
    EXPECT_EQ(c.Surface().PixelColor(x, y), platform::RGB(x + 10, y + 5, 7));
  }
  // A hatched fill goes over the picture.
  c.FBackgroundBrush = {platform::clRed, platform::bsCross};
  w.Layout();
  int red = 0;
  for (int x = 0; x < 120; ++x) red += c.FBackBuffer->PixelColor(x, 30) == platform::clRed;
  EXPECT_GT(red, 5);
  EXPECT_LT(red, 120);
}

TEST(TextLayout, AutoGrowMakesTheControlTallEnoughForItsText) {
  texttest::TextWindow w(100, 30);
  TRVTextControl& c = *w.control;
  c.FAutoGrow = true;
  w.SetText("one two three four five six seven eight");
  for (int i = 0; i < 5; ++i) w.Layout();
  EXPECT_GT(c.height(), 30);
  // The last line's caret lies inside the control now.
  c.FCaret = c.FTextLength;
  w.Layout();
  EXPECT_LE(c.FCaretY + c.FCaretHeight, c.height());
}

TEST(TextLayout, IndexesOutsideTheFormatListDrawInTheCurrentFormat) {
  // A memo handed over with indexes its list does not hold (a damaged object).
  Unseen u;
  u.SetText("abc");
  u.control.FCharFormats[1] = 7;
  u.control.FCharFormats[2] = -3;
  u.control.FCurrentFormat->FontHeight = -30;
  u.Draw(0, 0, 300, 100);
  QFont big(platform::StandInFontFamily("Arial"));
  big.setPixelSize(30);
  EXPECT_EQ(u.control.FCharWidths[0], Advance('a'));
  EXPECT_EQ(u.control.FCharWidths[1], QFontMetrics(big).horizontalAdvance(QChar('b')));
  EXPECT_EQ(u.control.FCharWidths[2], QFontMetrics(big).horizontalAdvance(QChar('c')));
  TRVCharFormat f;
  u.control.GetCharFormat(1, f);
  EXPECT_EQ(f.FontHeight, -30);
  u.control.DeleteChar(1);  // no count to lower
  EXPECT_EQ(std::string(u.control.FText), "ac");
}

TEST(TextLayout, AClearFillWithoutAPictureStartsFromTheWindowColour) {
  // Nothing under a clear fill: the old text must not show through the next paint.
  texttest::TextWindow w(120, 40);
  TRVTextControl& c = *w.control;
  c.FBackgroundBrush = {platform::clWhite, platform::bsClear};
  c.FBorderPen.Style = platform::psClear;
  c.SetColor(platform::clWhite);
  w.SetText("WWWW");
  c.clearFocus();
  w.Layout();
  auto dark = [&] {
    int n = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 120; ++x) n += platform::GetRValue(c.FBackBuffer->PixelColor(x, y)) < 128;
    return n;
  };
  EXPECT_GT(dark(), 10);
  w.SetText("");
  w.Layout();
  EXPECT_EQ(dark(), 0);
}

TEST(TextLayout, MarginsAndLineSpacingFromADamagedFileStayInsideTheIntegerRange) {
  // Memo margins and line spacing come from object files unchecked. A margin is bounded to the box's
  // own size on either side; a line that would start further away than the layout can address is
  // not placed. Before, the sums of positions wrapped round.
  constexpr double kHuge = 1e300;
  struct Case {
    double left, top;
    int32_t spacing;
    int firstX, firstY;
    bool secondLinePlaced;
  };
  // Box at (0, 0), 100 x 80.
  const Case cases[] = {
      {kHuge, 0, 0, 101, 1, false},  // no text area left: nothing fits
      {-kHuge, -kHuge, 0, -99, -79, true},
      {std::nan(""), std::nan(""), 0, 1, 1, true},
      {0, 0, INT32_MAX, 1, 1, false},
      {0, 0, INT32_MIN, 1, 1, false},
      {0, kHuge, INT32_MAX - 100, 1, 81, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.left << " " << c.top << " " << c.spacing);
    Unseen u;
    u.SetText("a\nb");
    u.control.FMarginLeft = c.left;
    u.control.FMarginTop = c.top;
    u.control.FLineSpacing = c.spacing;
    u.control.FCaret = 3;  // the caret's own position is written over its index
    u.Draw(0, 0, 100, 80);
    const auto xs = u.Xs(), ys = u.Ys();
    EXPECT_EQ(xs[0], c.firstX);
    EXPECT_EQ(ys[0], c.firstY);
    EXPECT_EQ(ys[2] != -1, c.secondLinePlaced);
  }
}

TEST(TextLayout, ABoxReachingBeyondTheAddressableRangeIsNotLaidOut) {
  Unseen u;
  u.SetText("ab");
  for (const auto& [x, y, w, h] : {std::tuple{INT32_MAX - 10, 0, 50, 50}, std::tuple{0, INT32_MIN, 50, 50},
                                   std::tuple{0, 0, INT32_MAX, 50}, std::tuple{0, 0, 50, 1 << 29}}) {
    u.Draw(x, y, w, h);
    EXPECT_EQ(u.Xs(), std::vector<int>(3, -1));
  }
  u.Draw(0, 0, 50, 50);
  EXPECT_NE(u.Xs()[0], -1);
}
