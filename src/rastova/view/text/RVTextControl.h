#pragma once
// TRVTextControl: the small multi-line editor with a format per character that the vector layer
// opens over memo objects, and uses unseen to lay out and draw memos onto its canvas. The text is
// one-byte (Windows-1252) with line breaks as the single character 10; each character has an
// index into a list of TRVCharFormat records (RVCharFormat.h).
//
// The fields are public: the vector layer hands the text, the format list and the indexes in,
// calls InitText, and takes them back (after PackFormats) when editing ends. LayoutAndDraw lays
// the text out in a box, draws it through a TRVCanvas and records where every character and the
// caret went (RVTextLayout.cpp). The control keeps its own caret on its window surface.
//
// TRVEdit (RVEdit.h) is the one-line edit the layer opens over text objects.
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/CodePage.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "platform/ui/Control.h"
#include "platform/ui/ShortCut.h"
#include "rastova/core/draw/RVCharFormat.h"

namespace rv {

class TRVCanvas;

// The metrics of one font as the canvas draws it (the same family, size and style): the cell
// height, internal leading (the cell less the character height), descent and ascent, and the
// advance of each one-byte character, measured on first use.
struct TRVFontMetricsCache {
  explicit TRVFontMetricsCache(const platform::TFont& f) : font(platform::QtFontOf(f, true)), metrics(font) {
    height = metrics.height();
    ascent = metrics.ascent();
    descent = std::abs(metrics.descent());
    leading = std::abs(height - QFontInfo(font).pixelSize());
    widths.fill(-1);
  }
  int Width(uint8_t c) {
    int& w = widths[c];
    if (w < 0) w = metrics.horizontalAdvance(QChar(static_cast<char16_t>(common::Cp1252ToCodePoint(c))));
    return w;
  }
  QFont font;
  QFontMetrics metrics;
  int height = 0, ascent = 0, descent = 0, leading = 0;
  std::array<int, 256> widths;
};

// The twelve Ctrl shortcuts the control compares each key with, in this order: Ctrl+L, Ctrl+E,
// Ctrl+R, Ctrl+J, Ctrl+C, Ctrl+X, Ctrl+V, Ctrl+F, Ctrl+B, Ctrl+I, Ctrl+U, Ctrl+G. The vector
// layer's start-up fills them (RVVectStartup); 0 (no shortcut) before.
extern platform::TShortCut TextControlShortcuts[12];

// The registered number of "RASTOVA TEXTMEMO" (0 before RegisterTextMemoFormat).
extern uint32_t TextMemoClipboardFormat;
// The TextC start-up step: registers "RASTOVA TEXTMEMO" on the program's clipboard.
void RegisterTextMemoFormat();

using TRVCharFormatList = std::vector<std::unique_ptr<TRVCharFormat>>;

class TRVTextControl : public platform::TCustomControl {
 public:
  // With an owner window the control shows the I-beam cursor.
  explicit TRVTextControl(QWidget* AOwner = nullptr);
  ~TRVTextControl() override;

  // The text: zero-terminated one-byte characters in a buffer of std::malloc. It belongs to the
  // caller: the control grows it (std::realloc) while typing but never frees it.
  char* FText = nullptr;
  int32_t FTextLength = 0;
  int32_t FCaret = 0;                                  // insertion index 0 .. FTextLength
  std::unique_ptr<platform::TBitmap> FBackBuffer;      // 24-bit, the client area's size
  int32_t FCaretX = 0, FCaretY = 0, FCaretHeight = 0;  // written by the layout
  platform::TFont FTextFont;                           // font of the default format
  platform::TBrush FTextBrush;                         // character background of the default format
  platform::TPen FBorderPen;                           // border of the text box
  platform::TBrush FBackgroundBrush;                   // fill of the text box
  bool FInsertMode = true;                             // false: typing overwrites
  uint8_t FDefaultAlignment = rvtaLeft;
  double FZoom = 1.0;  // text units to pixels
  // The selection is the characters FSelStart .. FSelEnd - 1; empty when FSelStart >= FSelEnd.
  int32_t FSelStart = 0, FSelEnd = 0;
  int32_t FAnchorX = 0, FAnchorY = 0;             // client point of the last plain mouse press
  std::unique_ptr<TRVCharFormat> FCurrentFormat;  // given to typed and pasted characters
  bool FIgnoreColors = false;                     // colours of formats, brushes and pen are not applied
  bool FFixedFormat = false;     // all drawn with the default format; no font or colour dialog
  bool FAutoGrow = false;        // the control grows its height to fit the text
  int32_t FLineSpacing = 0;      // pixels between lines
  int32_t FFixedCharHeight = 0;  // when not 0, the height every character counts
  // One entry per character plus one (std::malloc, owned). 0 in the first four: not measured;
  // -1 in the last two: not placed. Positions are client pixels.
  int16_t* FCharHeights = nullptr;
  int16_t* FCharWidths = nullptr;
  uint8_t* FCharLeadings = nullptr;
  uint8_t* FCharDescents = nullptr;
  int32_t* FCharX = nullptr;
  int32_t* FCharY = nullptr;
  std::unique_ptr<TRVCharFormatList> FFormats;  // may be handed over by the caller
  int32_t* FCharFormats = nullptr;              // index into FFormats per character (std::malloc, owned)
  bool FCollectText = false;
  std::string FCollectedText;  // one-byte text of the lines drawn, each ending with 10
  platform::TNotifyEvent FOnCursorMoved;
  platform::TBitmap* FBackgroundBitmap = nullptr;  // behind the control, not owned
  double FMarginLeft = 0, FMarginTop = 0, FMarginRight = 0, FMarginBottom = 0;  // percent of the box

  // A std::malloc copy of a one-byte text for FText.
  static char* AllocText(std::string_view Text);

  // After FText, FFormats and FCharFormats were set: no selection, caret 0, the length taken,
  // missing indexes (all 0) and format list (one record from the defaults) made, positions and
  // measures cleared, FCurrentFormat from the defaults, and the background painted.
  void InitText();
  int32_t FindFormat(const TRVCharFormat& F) const;
  void SetCharFormat(int32_t i, const TRVCharFormat& F);
  // i is clamped to the text; nothing is copied for an empty text.
  void GetCharFormat(int32_t i, TRVCharFormat& F) const;
  // Removes the records no character refers to (reference count 0) and renumbers the indexes.
  void PackFormats();
  void SetFixedFormat(bool Value);

  void InsertChar(char C);
  void DeleteChar(int32_t i);
  void DeleteSelection();
  // Marks every character not measured and not placed and invalidates the control.
  void Update();

  // Caret movement over the positions of the last layout (a line is a displayed line).
  void CaretLeft();
  void CaretRight();
  void CaretWordLeft();
  void CaretWordRight();
  void CaretLineStart();
  void CaretLineEnd();
  void CaretLineUp();
  void CaretLineDown();
  void CaretFromPoint(int32_t X, int32_t Y);
  void ExtendSelection(int32_t Old, bool Shift);

  // Format commands (KeyDown calls Update after them).
  void SetAlignment(uint8_t A);
  void ToggleFontStyle(uint8_t Bit);
  void CopyToClipboard();
  void PasteFromClipboard();

  // The window system's cut, copy and paste messages: the key-downs of Ctrl+X, Ctrl+C, Ctrl+V.
  void WMCut();
  void WMCopy();
  void WMPaste();

  // Lays out and draws the text in the box at (X, Y) of Width x Height text units (RVTextLayout.cpp).
  void LayoutAndDraw(TRVCanvas& Canvas, int32_t X, int32_t Y, int32_t Width, int32_t Height);
  void PaintBackground();

  // Key handling as the window system delivers it (public for the vector layer and tests).
  void KeyDown(uint16_t& Key, platform::TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;

  // The caret as it stands on the surface (for tests): whether it exists and where.
  bool CaretCreated() const { return caretCreated_; }
  platform::TRect CaretRect() const { return caretRect_; }

  using TFontMetricsCache = TRVFontMetricsCache;

 protected:
  void Paint() override;
  bool EraseBackground() override { return false; }
  void Resize() override;
  void MouseDown(platform::TMouseButton Button, platform::TShiftState Shift, int X, int Y) override;
  void MouseMove(platform::TShiftState Shift, int X, int Y) override;
  void Exit() override;
  void Enter() override;
  bool WantSpecialKey(uint16_t Key, platform::TShiftState Shift) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  friend class TRVTextLayout;

  void LayOutPending();
  void GrowArrays(int32_t Count);
  void ClearMeasures(int32_t From);
  void DefaultFormat(TRVCharFormat& F) const;
  const TRVCharFormat& FormatOf(int32_t i) const;
  template <class Change>
  void ChangeSelectionFormat(Change change);
  void SelectWordAtCaret();
  // The caret placed from the anchor, then from (X, Y); the selection extended over the move.
  void SelectFromAnchor(int32_t X, int32_t Y);
  void ChangeFontHeights(int Step);
  void FontDialog();
  void ColorDialog();

  // The caret on the window surface.
  void CreateCaret(int32_t Height);
  void SetCaretPos(int32_t X, int32_t Y);
  void ShowCaret();
  void DestroyCaret();
  void InvertCaret();

  TFontMetricsCache& Metrics(const platform::TFont& Font);

  bool caretCreated_ = false;
  bool caretVisible_ = false;
  bool caretInverted_ = false;
  platform::TRect caretRect_;
  QTimer caretTimer_;
  std::unordered_map<std::string, std::unique_ptr<TFontMetricsCache>> metrics_;
};

}  // namespace rv
