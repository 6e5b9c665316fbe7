// The text editor's layout and paint of a 5,000-character memo with mixed formats wrapped at 400
// pixels, against drawing the same characters at the same positions with one QPainter::drawText
// call each; and the paint after typing one character, against a paint with nothing changed.
// Run headless: QT_QPA_PLATFORM=offscreen build/bench/bench_rastova_text
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFont>
#include <QPainter>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "common/CodePage.h"
#include "platform/gfx/Bitmap.h"
#include "rastova/view/canvas/RVCanvas.h"
#include "rastova/view/text/RVTextControl.h"

namespace {

constexpr int kChars = 5000, kWidth = 400;

QApplication& App() {
  static int argc = 1;
  static char name[] = "bench_rastova_text";
  static char* argv[] = {name, nullptr};
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

struct Memo {
  rv::TRVTextControl control;
  std::unique_ptr<platform::TBitmap> bitmap;
  int height = 0;

  Memo() {
    control.FTextFont.Name = "Arial";
    control.FTextFont.SetHeight(-13);
    control.FTextFont.Color = platform::clBlack;
    control.FBackgroundBrush = {platform::clWhite, platform::bsSolid};
    control.FTextBrush = {platform::clWhite, platform::bsClear};
    // Words of 3 to 9 letters, a line break now and then.
    std::string text;
    for (int i = 0; static_cast<int>(text.size()) < kChars; ++i) {
      text += std::string(3 + i % 7, char('a' + i % 26));
      text += i % 23 == 22 ? '\n' : ' ';
    }
    text.resize(kChars);
    control.FText = rv::TRVTextControl::AllocText(text);
    control.InitText();
    // Four formats by word: plain, bold, italic at another size, and another face.
    rv::TRVCharFormat base;
    control.GetCharFormat(0, base);
    rv::TRVCharFormat formats[4] = {base, base, base, base};
    formats[1].FontStyle = rv::rvfsBold;
    formats[2].FontStyle = rv::rvfsItalic;
    formats[2].FontHeight = -16;
    rv::SetCharFormatFontName(formats[3], "Times New Roman");
    int word = 0;
    for (int i = 0; i < control.FTextLength; ++i) {
      control.SetCharFormat(i, formats[word % 4]);
      if (control.FText[i] == ' ' || control.FText[i] == '\n') word++;
    }
    control.PackFormats();
    // The height the text needs: lay out once in a tall box.
    bitmap = std::make_unique<platform::TBitmap>(kWidth, 20000, platform::pf24bit);
    Paint();
    height = control.FCaretY + 40;
    for (int i = 0; i < control.FTextLength; ++i) height = std::max(height, control.FCharY[i] + 40);
    bitmap = std::make_unique<platform::TBitmap>(kWidth, height, platform::pf24bit);
    Paint();
  }
  ~Memo() { std::free(control.FText); }

  void Paint() {
    rv::TRVCanvas canvas(bitmap->Canvas(), false, true);
    control.LayoutAndDraw(canvas, 0, 0, kWidth, bitmap->Height());
  }
};

Memo& TheMemo() {
  App();
  static Memo memo;
  return memo;
}

// Layout (every character measured again) and paint.
void BM_LayoutAndPaint(benchmark::State& state) {
  Memo& memo = TheMemo();
  for (auto _ : state) {
    memo.control.Update();
    memo.Paint();
  }
  state.SetItemsProcessed(state.iterations() * kChars);
}
BENCHMARK(BM_LayoutAndPaint)->Unit(benchmark::kMillisecond);

// The same characters at the same positions: one drawText each, the font set where it changes.
void BM_DrawTextEach(benchmark::State& state) {
  Memo& memo = TheMemo();
  memo.control.Update();
  memo.Paint();
  rv::TRVTextControl& c = memo.control;
  std::vector<QFont> fonts;
  for (const auto& f : *c.FFormats) {
    QFont font(platform::StandInFontFamily(std::string(rv::CharFormatFontName(*f))));
    font.setPixelSize(std::abs(f->FontHeight));
    font.setBold(f->FontStyle & rv::rvfsBold);
    font.setItalic(f->FontStyle & rv::rvfsItalic);
    fonts.push_back(font);
  }
  std::vector<QString> glyphs(256);
  for (int b = 0; b < 256; ++b)
    glyphs[b] = QString(QChar(static_cast<char16_t>(common::Cp1252ToCodePoint(b))));
  for (auto _ : state) {
    QImage image = memo.bitmap->Image();
    QPainter p(&image);
    p.fillRect(image.rect(), Qt::white);
    p.setPen(Qt::black);
    int current = -1;
    for (int i = 0; i < c.FTextLength; ++i) {
      const int f = c.FCharFormats[i];
      if (f != current) {
        p.setFont(fonts[f]);
        current = f;
      }
      p.drawText(QPoint(c.FCharX[i], c.FCharY[i] + c.FCharHeights[i] - c.FCharLeadings[i]),
                 glyphs[static_cast<uint8_t>(c.FText[i])]);
    }
  }
  state.SetItemsProcessed(state.iterations() * kChars);
}
BENCHMARK(BM_DrawTextEach)->Unit(benchmark::kMillisecond);

// A repaint with nothing changed: measures stay.
void BM_Repaint(benchmark::State& state) {
  Memo& memo = TheMemo();
  memo.Paint();
  for (auto _ : state) memo.Paint();
}
BENCHMARK(BM_Repaint)->Unit(benchmark::kMillisecond);

// Typing one character in the middle (taken out again untimed): measured again from there on.
void BM_PaintAfterTyping(benchmark::State& state) {
  Memo& memo = TheMemo();
  memo.Paint();
  for (auto _ : state) {
    memo.control.FCaret = kChars / 2;
    memo.control.InsertChar('x');
    memo.Paint();
    state.PauseTiming();
    memo.control.DeleteChar(kChars / 2);
    memo.Paint();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_PaintAfterTyping)->Unit(benchmark::kMillisecond);

}  // namespace
