// Layout and painting of TRVTextControl: lines with word wrap, paragraph alignment and a format
// per character, drawn through a TRVCanvas, with the position of every character and of the caret
// recorded; the control's Paint through its back buffer.
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "common/CodePage.h"
#include "common/Round.h"
#include "rastova/view/canvas/RVCanvas.h"
#include "rastova/view/text/RVTextControl.h"
#include "rastova/view/text/RVTextMemoBlock.h"

namespace rv {

using common::TruncInt;

TRVTextControl::TFontMetricsCache& TRVTextControl::Metrics(const platform::TFont& Font) {
  std::string key = Font.Name;
  key += '|' + std::to_string(Font.Height()) + '|' + char('0' + Font.Style.Bold) +
         char('0' + Font.Style.Italic) + char('0' + Font.Style.Underline) + char('0' + Font.Style.StrikeOut);
  auto& slot = metrics_[key];
  if (!slot) slot = std::make_unique<TFontMetricsCache>(Font);
  return *slot;
}

namespace {

// What a one-byte character draws as: the controls and 127 as a space.
uint8_t Shown(uint8_t c) { return (c < 31 || c == 127) ? uint8_t(' ') : c; }

std::string Utf8Of(uint8_t c) { return common::CodePointToUtf8(common::Cp1252ToCodePoint(c)); }

platform::TColor Inverted(platform::TColor c) { return ~platform::ColorToRGB(c) & 0xFFFFFF; }

// Text is laid out in 32-bit pixels. A box, a margin or a line that reaches further than this from
// the canvas origin, which only a damaged file makes, is not laid out, so that no sum of positions
// inside the layout wraps round.
constexpr int32_t kMaxLayoutReach = int32_t(1) << 28;

// A margin is a percentage of the box; one wider than the box on either side says no more than one
// of exactly the box's size.
double BoundedMargin(double m) { return std::isnan(m) ? 0.0 : std::clamp(m, -100.0, 100.0); }

}  // namespace

// One run of LayoutAndDraw.
class TRVTextLayout {
 public:
  TRVTextLayout(TRVTextControl& control, TRVCanvas& canvas, int32_t X, int32_t Y, int32_t Width,
                int32_t Height)
      : c_(control), canvas_(canvas), X_(X), Y_(Y), Width_(Width), Height_(Height) {}

  void Run();

 private:
  struct TDeferred {
    int32_t x, y;
    uint8_t ch;
    int32_t index;
  };

  bool Zoomed() const { return c_.FZoom != 1.0; }
  uint8_t Code(int32_t k) const { return k < c_.FTextLength ? static_cast<uint8_t>(c_.FText[k]) : 0; }
  void ApplyCharFormat(int32_t i);
  void MeasureChar(int32_t k, bool measuring);
  int32_t AlignOffset(int32_t i);
  bool DrawChar(int32_t k);
  void DrawGlyph(int32_t x, int32_t baseline, uint8_t ch, int32_t index);
  void CaretAt(int32_t k);
  bool Grow(int32_t baseline);
  void DrawDeferred();

  TRVTextControl& c_;
  TRVCanvas& canvas_;
  int32_t X_, Y_, Width_, Height_;
  int32_t W_ = 0, H_ = 0, lx_ = 0, ty_ = 0;
  platform::TRect clip_;
  // The current line.
  int32_t lineTop_ = 0, lineHeight_ = 0, lineLeading_ = 0, lineDescent_ = 0, lineStart_ = 0;
  double justify_ = 1.0;
  int32_t raw_ = 0, x_ = 0, endX_ = 0;
  // The last character measured.
  int32_t lastHeight_ = 0, lastLeading_ = 0, lastDescent_ = 0;
  bool any_ = false;
  bool stopped_ = false;
  std::string appliedName_;  // the canvas font's name as one-byte characters
  TRVTextControl::TFontMetricsCache* metrics_ = nullptr;
  std::vector<TDeferred> deferred_;
};

void TRVTextLayout::ApplyCharFormat(int32_t i) {
  platform::TFont& font = canvas_.Font();
  TRVBrush& brush = canvas_.Brush();
  std::string_view name;
  std::string fixedName;
  int32_t height;
  platform::TFontStyles style;
  platform::TColor color, back;
  platform::TBrushStyle backStyle;
  if (c_.FFixedFormat) {
    fixedName = common::Utf8ToCp1252(c_.FTextFont.Name);
    name = fixedName;
    height = c_.FTextFont.Height();
    style = c_.FTextFont.Style;
    color = c_.FTextFont.Color;
    back = c_.FTextBrush.Color;
    backStyle = c_.FTextBrush.Style;
  } else {
    const TRVCharFormat& f = c_.FormatOf(i);
    name = CharFormatFontName(f);
    height = f.FontHeight;
    style = {(f.FontStyle & rvfsBold) != 0, (f.FontStyle & rvfsItalic) != 0,
             (f.FontStyle & rvfsUnderline) != 0, (f.FontStyle & rvfsStrikeOut) != 0};
    color = f.FontColor;
    back = f.BackColor;
    backStyle = f.BackStyle <= platform::bsDiagCross ? platform::TBrushStyle(f.BackStyle) : platform::bsClear;
  }
  height = std::clamp(height, -kMaxFontHeight, kMaxFontHeight);
  // Only what differs from the canvas is set.
  if (name != appliedName_) {
    appliedName_ = name;
    font.Name = common::Cp1252ToUtf8(name);
    metrics_ = nullptr;
  }
  if (font.Height() != height) {
    font.SetHeight(height);
    metrics_ = nullptr;
  }
  if (font.Style.Bold != style.Bold || font.Style.Italic != style.Italic ||
      font.Style.Underline != style.Underline || font.Style.StrikeOut != style.StrikeOut) {
    font.Style = style;
    metrics_ = nullptr;
  }
  if (!c_.FIgnoreColors) {
    if (font.Color != color) font.Color = color;
    if (brush.Color() != back) brush.SetColor(back);
  }
  if (brush.Style() != backStyle) brush.SetStyle(backStyle);
  if (!metrics_) metrics_ = &c_.Metrics(font);
}

void TRVTextLayout::MeasureChar(int32_t k, bool measuring) {
  ApplyCharFormat(k);
  const uint8_t ch = Shown(Code(k));
  if (c_.FCharWidths[k] == 0)
    c_.FCharWidths[k] = static_cast<int16_t>(std::clamp(metrics_->Width(ch), 0, 32767));
  if (c_.FCharHeights[k] == 0) {
    if (c_.FFixedCharHeight != 0) {
      c_.FCharHeights[k] = static_cast<int16_t>(std::clamp(c_.FFixedCharHeight, -32768, 32767));
      c_.FCharLeadings[k] = 0;
      c_.FCharDescents[k] = 0;
    } else {
      c_.FCharHeights[k] = static_cast<int16_t>(std::clamp(metrics_->height, 0, 32767));
      c_.FCharLeadings[k] = static_cast<uint8_t>(std::clamp(metrics_->leading, 0, 255));
      c_.FCharDescents[k] = static_cast<uint8_t>(std::clamp(metrics_->descent, 0, 255));
    }
  }
  lastHeight_ = c_.FCharHeights[k];
  lastLeading_ = c_.FCharLeadings[k];
  lastDescent_ = c_.FCharDescents[k];
  any_ = true;
  if (measuring) {
    lineHeight_ = std::max(lineHeight_, lastHeight_);
    lineLeading_ = std::max(lineLeading_, lastLeading_);
    lineDescent_ = std::max(lineDescent_, lastDescent_);
  }
}

int32_t TRVTextLayout::AlignOffset(int32_t i) {
  uint8_t alignment;
  if (c_.FFixedFormat)
    alignment = c_.FDefaultAlignment;
  else if (i - 1 >= c_.FTextLength || c_.FTextLength == 0)
    alignment = c_.FCurrentFormat->Alignment;
  else
    alignment = c_.FormatOf(std::max(i - 1, 0)).Alignment;
  if (alignment == rvtaLeft || alignment > rvtaJustify) return 0;
  int32_t k = i - 1;
  if (k >= 0 && k >= c_.FTextLength) k--;
  if (k >= 0 && Code(k) == 10) k--;
  if (k >= 0 && Code(k) == ' ') k--;
  if (k < 0) return 0;
  const int32_t right = c_.FCharX[k] + c_.FCharWidths[k];
  switch (alignment) {
    case rvtaRight:
      return W_ - right - 1;
    case rvtaCenter:
      return (W_ - right) / 2;
    default:
      // The last line of a paragraph and of the text is not stretched.
      if (k + 1 < c_.FTextLength && Code(k + 1) != 10 && k + 2 < c_.FTextLength)
        justify_ = right + 1 == 0 ? 1.0 : double(W_) / double(right + 1);
      return 0;
  }
}

void TRVTextLayout::CaretAt(int32_t k) {
  if (k == c_.FCaret) {
    c_.FCaretX = lx_ + x_;
    c_.FCaretY = ty_ + lineTop_;
    c_.FCaretHeight = lineHeight_;
  } else if (k < c_.FCaret) {
    c_.FCaretX = lx_ + x_ + c_.FCharWidths[k];
    c_.FCaretY = ty_ + lineTop_;
    c_.FCaretHeight = lineHeight_;
  }
  if (k < c_.FTextLength && Code(k) == 10) {
    if (k == 0 && c_.FCaret == 0) {
      c_.FCaretX = lx_;
      c_.FCaretY = ty_;
    } else if (c_.FCaret > k) {
      c_.FCaretX = lx_;
      c_.FCaretY = ty_ + lineTop_ + lineHeight_;
    }
  }
}

// The control grows to show the line; true when it did (the layout then ends: the resize paints).
bool TRVTextLayout::Grow(int32_t baseline) {
  if (!c_.FAutoGrow || !c_.isVisible() || !c_.parentWidget()) return false;
  if (Y_ + ty_ + H_ >= baseline + lineDescent_) return false;
  c_.resize(c_.width(), TruncInt((double(baseline) + lineDescent_ + lineHeight_) * c_.FZoom));
  return true;
}

void TRVTextLayout::DrawGlyph(int32_t x, int32_t baseline, uint8_t ch, int32_t index) {
  const bool selected = index >= c_.FSelStart && index < c_.FSelEnd;
  platform::TFont& font = canvas_.Font();
  TRVBrush& brush = canvas_.Brush();
  const platform::TColor fontColor = font.Color, brushColor = brush.Color();
  const platform::TBrushStyle brushStyle = brush.Style();
  if (selected) {
    brush.SetColor(Inverted(brushColor));
    font.Color = Inverted(fontColor);
    brush.SetStyle(platform::bsSolid);
  }
  const std::string text = Utf8Of(ch);
  if (brush.Style() == platform::bsSolid) {
    // The character's cell takes the background, as text drawn over an opaque background does.
    if (!metrics_) metrics_ = &c_.Metrics(font);
    TRVTextControl::TFontMetricsCache& m = *metrics_;
    const int width = m.Width(ch);
    const platform::TRect cell{std::max(x, clip_.Left), std::max(baseline - m.ascent, clip_.Top),
                               std::min(x + width, clip_.Right),
                               std::min(baseline - m.ascent + m.height, clip_.Bottom)};
    if (cell.Left < cell.Right && cell.Top < cell.Bottom) canvas_.Handle().FillRect(cell);
  }
  canvas_.TextRectEx(clip_, x, baseline, text);
  if (selected) {
    // Back to the format's own colours, so that the next character compares with them.
    font.Color = fontColor;
    brush.SetColor(brushColor);
    brush.SetStyle(brushStyle);
  }
}

// Draws character k of the current line (drawing pass); false when the layout ends here.
bool TRVTextLayout::DrawChar(int32_t k) {
  const int32_t baseline = Y_ + ty_ + lineTop_ + lineHeight_ - lineLeading_;
  const uint8_t ch = Code(k);
  if (c_.FCollectText) {
    if (baseline > Y_ + ty_ + H_) return false;
    if (ch != 10) c_.FCollectedText.push_back(static_cast<char>(ch));
  }
  if (Grow(baseline)) return false;
  if (ch != 10) {
    // A justified line: the gap left by stretching is filled with spaces, one per pixel.
    if (x_ != raw_ && endX_ < x_) {
      for (int32_t px = endX_; px < x_; ++px) {
        if (Zoomed())
          deferred_.push_back({X_ + lx_ + px, baseline, uint8_t(' '), k});
        else
          DrawGlyph(X_ + lx_ + px, baseline, ' ', k);
      }
    }
    if (Zoomed())
      deferred_.push_back({X_ + lx_ + x_, baseline, Shown(ch), k});
    else
      DrawGlyph(X_ + lx_ + x_, baseline, Shown(ch), k);
  }
  return true;
}

void TRVTextLayout::Run() {
  if (Width_ <= 1 || Height_ <= 1) return;
  c_.FCollectedText.clear();
  platform::TCanvas& dc = canvas_.Handle();
  // The box.
  canvas_.Pen().SetWidth(1);
  dc.Font.Color = c_.FTextFont.Color;
  canvas_.Pen().SetColor(c_.FTextFont.Color);
  canvas_.Pen().SetStyle(c_.FBorderPen.Style);
  if (!c_.FIgnoreColors) canvas_.Pen().SetColor(c_.FBorderPen.Color);
  canvas_.Pen().SetMode(platform::pmCopy);
  canvas_.Brush().SetColor(c_.FBackgroundBrush.Color);
  canvas_.Brush().SetStyle(c_.FBackgroundBrush.Style);
  // Boxes from a file can lie anywhere: sides and the text area saturate instead of wrapping round.
  const auto sat = [](int64_t v) { return common::SaturateInt32(v); };
  canvas_.Rectangle(X_, Y_, sat(int64_t(X_) + common::RoundInt(Width_ * c_.FZoom)),
                    sat(int64_t(Y_) + common::RoundInt(Height_ * c_.FZoom)));
  canvas_.Pen().SetStyle(platform::psSolid);
  // The text area inside the margins.
  const double marginLeft = BoundedMargin(c_.FMarginLeft), marginTop = BoundedMargin(c_.FMarginTop);
  const double marginRight = BoundedMargin(c_.FMarginRight), marginBottom = BoundedMargin(c_.FMarginBottom);
  W_ = sat(int64_t(TruncInt(Width_ - Width_ * marginRight / 100 - Width_ * marginLeft / 100)) - 2);
  H_ = sat(int64_t(TruncInt(Height_ - Height_ * marginBottom / 100 - Height_ * marginTop / 100)) - 2);
  lx_ = sat(int64_t(TruncInt(Width_ * marginLeft / 100)) + 1);
  ty_ = sat(int64_t(TruncInt(Height_ * marginTop / 100)) + 1);
  clip_ = platform::Rect(sat(int64_t(X_) + lx_), sat(int64_t(Y_) + ty_), TruncInt(W_ * c_.FZoom + X_ + lx_),
                         TruncInt(H_ * c_.FZoom + Y_ + ty_));
  const uint32_t oldAlign = dc.TextAlign();
  dc.SetTextAlign(platform::TA_BASELINE);
  appliedName_ = common::Utf8ToCp1252(dc.Font.Name);
  c_.Metrics(dc.Font);

  if (c_.FText && c_.FCharWidths && c_.FTextLength > 0) {
    const int32_t len = c_.FTextLength;
    lineStart_ = 0;
    while (!stopped_) {
      // Measuring pass: up to a line break, the end, or the first character that does not fit.
      int32_t k = lineStart_, brk = -1, next = -1;
      bool last = false;
      x_ = raw_ = endX_ = 0;
      justify_ = 1.0;
      int32_t offset = 0;
      for (;; ++k) {
        c_.FCharX[k] = lx_ + x_;
        c_.FCharY[k] = ty_ + lineTop_;
        MeasureChar(k, true);
        if (k >= len || Code(k) == 10) {
          // EndOfLine: the line ends here, with the break or the end drawn on it.
          brk = k;
          next = k + 1;
          last = k >= len || k == len - 1;
          offset = AlignOffset(k);
          break;
        }
        const int32_t w = c_.FCharWidths[k];
        if (x_ + w + 2 >= W_) {
          // WrapLine: after the last space of the line, or at this character when there is none.
          int32_t j = k;
          while (j > lineStart_ && Code(j) != ' ') j--;
          brk = j == lineStart_ ? k : j + 1;
          if (brk == lineStart_) {
            stopped_ = true;
            break;
          }
          next = brk < len && Code(brk) == ' ' ? brk + 1 : brk;
          offset = AlignOffset(brk);
          break;
        }
        raw_ += w;
        endX_ = x_ + w;
        x_ = raw_;
      }
      if (stopped_) break;
      // Drawing pass from the line start with the alignment's offset.
      x_ = raw_ = offset;
      endX_ = 0;
      const bool hardEnd = brk >= len || Code(brk) == 10;
      const int32_t to = hardEnd ? brk : brk - 1;
      for (k = lineStart_; k <= to; ++k) {
        c_.FCharX[k] = lx_ + x_;
        c_.FCharY[k] = ty_ + lineTop_;
        MeasureChar(k, false);
        if (k < len && !DrawChar(k)) {
          stopped_ = true;
          break;
        }
        CaretAt(k);
        if (k >= len) break;
        raw_ += c_.FCharWidths[k];
        endX_ = x_ + c_.FCharWidths[k];
        x_ = TruncInt(raw_ * justify_);
      }
      if (stopped_) break;
      // EndOfLine after the drawing pass.
      if (c_.FCollectText) c_.FCollectedText.push_back(10);
      if (last) break;
      // A line that starts that far from the box is never seen; its position would wrap round.
      const int64_t nextTop = int64_t(lineTop_) + lineHeight_ + c_.FLineSpacing;
      if (nextTop > kMaxLayoutReach || nextTop < -kMaxLayoutReach) break;
      lineTop_ = int32_t(nextTop);
      lineHeight_ = lastHeight_;
      lineLeading_ = lastLeading_;
      lineDescent_ = lastDescent_;
      lineStart_ = next;
      if (lineStart_ > len) break;
    }
  }
  if (!any_) {
    // An empty text: the caret at the text area's corner, as high as the font's height value says
    // (the font the next typed character takes).
    ApplyCharFormat(0);
    c_.FCaretX = lx_;
    c_.FCaretY = ty_;
    c_.FCaretHeight = std::abs(std::clamp(dc.Font.Height(), -kMaxFontHeight, kMaxFontHeight));
  }
  if (Zoomed()) DrawDeferred();
  if (c_.FAutoGrow && c_.isVisible() && c_.parentWidget() &&
      TruncInt(H_ * c_.FZoom) < c_.FCaretY + c_.FCaretHeight)
    c_.resize(c_.width(), c_.FCaretY + c_.FCaretHeight + lineDescent_);
  if (c_.FCharX && c_.FCaret >= 0 && c_.FCaret <= c_.FTextLength) {
    c_.FCharX[c_.FCaret] = c_.FCaretX;
    c_.FCharY[c_.FCaret] = c_.FCaretY;
  }
  dc.SetTextAlign(oldAlign);
}

void TRVTextLayout::DrawDeferred() {
  platform::TFont& font = canvas_.Font();
  const double zoom = c_.FZoom;
  for (size_t e = 0; e < deferred_.size(); ++e) {
    const TDeferred& d = deferred_[e];
    ApplyCharFormat(d.index);
    font.SetHeight(TruncInt(font.Height() * zoom));
    metrics_ = &c_.Metrics(font);
    const auto zoomed = [zoom](int32_t origin, int32_t v) {
      return common::SaturateInt32(int64_t(origin) + TruncInt((double(v) - origin) * zoom));
    };
    const int32_t x = zoomed(X_, d.x), y = zoomed(Y_, d.y);
    if (e + 1 < deferred_.size() && deferred_[e + 1].y == d.y) {
      const int32_t nextX = zoomed(X_, deferred_[e + 1].x);
      const int32_t space = std::max(1, metrics_->Width(' '));
      for (int32_t px = x; px < nextX; px += space) DrawGlyph(px, y, ' ', d.index);
    }
    DrawGlyph(x, y, d.ch, d.index);
  }
  // Every recorded position and the caret in zoomed pixels; "not placed" stays.
  for (int32_t k = 0; k <= c_.FTextLength && c_.FCharX; ++k) {
    if (c_.FCharX[k] != -1) c_.FCharX[k] = TruncInt(c_.FCharX[k] * zoom);
    if (c_.FCharY[k] != -1) c_.FCharY[k] = TruncInt(c_.FCharY[k] * zoom);
  }
  c_.FCaretX = TruncInt(c_.FCaretX * zoom);
  c_.FCaretY = TruncInt(c_.FCaretY * zoom);
  c_.FCaretHeight = TruncInt(c_.FCaretHeight * zoom);
}

void TRVTextControl::LayoutAndDraw(TRVCanvas& Canvas, int32_t X, int32_t Y, int32_t Width, int32_t Height) {
  constexpr double kMaxReach = kMaxLayoutReach;
  const double zoom = std::max(1.0, std::abs(FZoom));
  const double reachX = std::abs(double(X)) + std::abs(double(Width)) * zoom;
  const double reachY = std::abs(double(Y)) + std::abs(double(Height)) * zoom;
  if (!(reachX <= kMaxReach && reachY <= kMaxReach)) return;
  TRVTextLayout(*this, Canvas, X, Y, Width, Height).Run();
}

void TRVTextControl::PaintBackground() {
  platform::TBitmap& buffer = *FBackBuffer;
  platform::TCanvas& canvas = buffer.Canvas();
  const platform::TBrushStyle style = FBackgroundBrush.Style;
  const bool fromBitmap = style != platform::bsSolid && FBackgroundBitmap;
  if (fromBitmap) {
    // The part of the picture under the control.
    const QPoint at = pos();
    const platform::TRect all = platform::Rect(0, 0, buffer.Width(), buffer.Height());
    canvas.CopyMode = platform::cmSrcCopy;
    canvas.CopyRect(all, FBackgroundBitmap->Canvas(),
                    platform::Rect(at.x(), at.y(), at.x() + buffer.Width(), at.y() + buffer.Height()));
  } else if (style != platform::bsSolid) {
    // Nothing under a clear or hatched fill: start from the window colour rather than from what
    // the buffer held before (old text would show through).
    canvas.Brush = platform::TBrush{Color(), platform::bsSolid};
    canvas.FillRect(platform::Rect(0, 0, buffer.Width(), buffer.Height()));
  }
  if (style != platform::bsClear) {
    canvas.Brush = FBackgroundBrush;
    canvas.FillRect(platform::Rect(0, 0, buffer.Width(), buffer.Height()));
  }
}

void TRVTextControl::Paint() {
  if (!isVisible() || !parentWidget()) return;
  DestroyCaret();
  const int w = std::max(ClientWidth(), 1), h = std::max(ClientHeight(), 1);
  if (FBackBuffer->Width() != w || FBackBuffer->Height() != h) FBackBuffer->SetSize(w, h);
  PaintBackground();
  {
    TRVCanvas canvas(FBackBuffer->Canvas(), false, true);
    LayoutAndDraw(canvas, 0, 0, TruncInt(ClientWidth() / FZoom), TruncInt(ClientHeight() / FZoom));
  }
  Canvas().Draw(0, 0, *FBackBuffer);
  if (Focused()) {
    CreateCaret(FCaretHeight);
    SetCaretPos(FCaretX, FCaretY);
    ShowCaret();
  }
}

}  // namespace rv
