#include "rastova/view/text/RVTextControl.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QStyleHints>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "common/CodePage.h"
#include "platform/ui/FontColorDialogs.h"
#include "platform/ui/Keys.h"
#include "platform/ui/SystemClipboard.h"
#include "rastova/view/text/RVTextMemoBlock.h"

namespace rv {

using platform::TShiftState;

platform::TShortCut TextControlShortcuts[12] = {};
uint32_t TextMemoClipboardFormat = 0;

void RegisterTextMemoFormat() {
  TextMemoClipboardFormat = platform::Clipboard().RegisterFormat(kTextMemoFormatName);
}

namespace {

// The shortcut slots, in the order of TextControlShortcuts.
enum TShortcutSlot { scL, scE, scR, scJ, scC, scX, scV, scF, scB, scI, scU, scG };

// Reallocates a buffer to the smallest multiple of 256 bytes larger than `bytes`.
template <class T>
void Grow(T*& p, size_t count) {
  const size_t bytes = count * sizeof(T);
  const size_t size = (bytes / 256 + 1) * 256;
  void* q = std::realloc(p, size);
  if (!q) throw std::bad_alloc();
  p = static_cast<T*>(q);
}

}  // namespace

TRVTextControl::TRVTextControl(QWidget* AOwner) : platform::TCustomControl(AOwner) {
  FBackBuffer = std::make_unique<platform::TBitmap>(10, 10, platform::pf24bit);
  FCurrentFormat = std::make_unique<TRVCharFormat>();
  std::memset(FCurrentFormat.get(), 0, sizeof(TRVCharFormat));
  if (AOwner) SetCursor(platform::crIBeam);
  SetClickFocus(true);
  setAttribute(Qt::WA_InputMethodEnabled);
  caretTimer_.callOnTimeout([this] {
    if (caretVisible_) InvertCaret();
  });
}

TRVTextControl::~TRVTextControl() {
  DestroyCaret();
  std::free(FCharHeights);
  std::free(FCharWidths);
  std::free(FCharLeadings);
  std::free(FCharDescents);
  std::free(FCharX);
  std::free(FCharY);
  std::free(FCharFormats);
}

char* TRVTextControl::AllocText(std::string_view Text) {
  char* p = static_cast<char*>(std::malloc(Text.size() + 1));
  if (!p) throw std::bad_alloc();
  std::memcpy(p, Text.data(), Text.size());
  p[Text.size()] = 0;
  return p;
}

// ---------------------------------------------------------------------------------------
// Text and formats

void TRVTextControl::DefaultFormat(TRVCharFormat& F) const {
  std::memset(&F, 0, sizeof F);
  SetCharFormatFontName(F, common::Utf8ToCp1252(FTextFont.Name));
  F.FontHeight = FTextFont.Height();
  F.FontStyle = static_cast<uint8_t>(
      (FTextFont.Style.Bold ? rvfsBold : 0) | (FTextFont.Style.Italic ? rvfsItalic : 0) |
      (FTextFont.Style.Underline ? rvfsUnderline : 0) | (FTextFont.Style.StrikeOut ? rvfsStrikeOut : 0));
  F.FontColor = FTextFont.Color;
  F.BackColor = FTextBrush.Color;
  F.BackStyle = FTextBrush.Style;
  F.Alignment = FDefaultAlignment;
}

void TRVTextControl::GrowArrays(int32_t Count) {
  const size_t n = static_cast<size_t>(Count) + 1;
  Grow(FCharHeights, n);
  Grow(FCharWidths, n);
  Grow(FCharLeadings, n);
  Grow(FCharDescents, n);
  Grow(FCharX, n);
  Grow(FCharY, n);
}

void TRVTextControl::ClearMeasures(int32_t From) {
  const int32_t n = FTextLength + 1;
  if (!FCharHeights || From >= n) return;
  From = std::max(From, 0);
  std::fill(FCharHeights + From, FCharHeights + n, int16_t{0});
  std::fill(FCharWidths + From, FCharWidths + n, int16_t{0});
  std::fill(FCharLeadings + From, FCharLeadings + n, uint8_t{0});
  std::fill(FCharDescents + From, FCharDescents + n, uint8_t{0});
  std::fill(FCharX + From, FCharX + n, -1);
  std::fill(FCharY + From, FCharY + n, -1);
}

void TRVTextControl::InitText() {
  FSelStart = FSelEnd = 0;
  FCaret = 0;
  FTextLength = FText ? static_cast<int32_t>(std::strlen(FText)) : 0;
  if (!FCharFormats) {
    Grow(FCharFormats, static_cast<size_t>(FTextLength) + 1);
    std::fill(FCharFormats, FCharFormats + FTextLength + 1, 0);
  }
  if (!FFormats) {
    FFormats = std::make_unique<TRVCharFormatList>();
    if (FTextLength > 0) {
      auto f = std::make_unique<TRVCharFormat>();
      DefaultFormat(*f);
      f->RefCount = FTextLength;
      FFormats->push_back(std::move(f));
    }
  }
  GrowArrays(FTextLength);
  ClearMeasures(0);
  DefaultFormat(*FCurrentFormat);
  PaintBackground();
}

int32_t TRVTextControl::FindFormat(const TRVCharFormat& F) const {
  if (!FFormats) return -1;
  for (size_t i = 0; i < FFormats->size(); ++i)
    if (SameCharFormat(*(*FFormats)[i], F)) return static_cast<int32_t>(i);
  return -1;
}

void TRVTextControl::SetCharFormat(int32_t i, const TRVCharFormat& F) {
  if (!FFormats) FFormats = std::make_unique<TRVCharFormatList>();
  int32_t index = FindFormat(F);
  if (index < 0) {
    auto copy = std::make_unique<TRVCharFormat>(F);
    copy->RefCount = 0;
    FFormats->push_back(std::move(copy));
    index = static_cast<int32_t>(FFormats->size() - 1);
  }
  FCharFormats[i] = index;
  (*FFormats)[index]->RefCount++;
}

const TRVCharFormat& TRVTextControl::FormatOf(int32_t i) const {
  // An index the list does not hold (from a damaged memo) reads as the current format.
  if (!FFormats || !FCharFormats || i < 0 || i >= FTextLength) return *FCurrentFormat;
  const int32_t index = FCharFormats[i];
  if (index < 0 || index >= static_cast<int32_t>(FFormats->size())) return *FCurrentFormat;
  return *(*FFormats)[index];
}

void TRVTextControl::GetCharFormat(int32_t i, TRVCharFormat& F) const {
  if (FTextLength <= 0) return;
  F = FormatOf(std::clamp(i, 0, FTextLength - 1));
}

void TRVTextControl::PackFormats() {
  if (!FFormats) return;
  for (int32_t r = static_cast<int32_t>(FFormats->size()) - 1; r >= 0; --r) {
    if ((*FFormats)[r]->RefCount != 0) continue;
    FFormats->erase(FFormats->begin() + r);
    for (int32_t i = 0; i < FTextLength; ++i)
      if (FCharFormats[i] > r) FCharFormats[i]--;
  }
}

void TRVTextControl::SetFixedFormat(bool Value) {
  FFixedFormat = Value;
  Update();
}

// ---------------------------------------------------------------------------------------
// Editing

void TRVTextControl::InsertChar(char C) {
  if (!FText) {
    FText = static_cast<char*>(std::malloc(2));
    if (!FText) throw std::bad_alloc();
    FText[0] = 0;
    FTextLength = 0;
  }
  const size_t len = static_cast<size_t>(FTextLength);
  Grow(FText, len + 2);
  Grow(FCharFormats, len + 2);
  std::memmove(FText + FCaret + 1, FText + FCaret, len - FCaret + 1);
  std::memmove(FCharFormats + FCaret + 1, FCharFormats + FCaret, (len - FCaret + 1) * sizeof(int32_t));
  FText[FCaret] = C;
  SetCharFormat(FCaret, *FCurrentFormat);
  GrowArrays(FTextLength + 1);
  FTextLength++;
  ClearMeasures(FCaret);
  FCaret++;
}

void TRVTextControl::DeleteChar(int32_t i) {
  if (i < 0 || i >= FTextLength) return;
  const int32_t index = FCharFormats[i];
  if (FFormats && index >= 0 && index < static_cast<int32_t>(FFormats->size()) &&
      (*FFormats)[index]->RefCount > 0)
    (*FFormats)[index]->RefCount--;
  std::memmove(FText + i, FText + i + 1, static_cast<size_t>(FTextLength - i));  // with the terminator
  std::memmove(FCharFormats + i, FCharFormats + i + 1,
               static_cast<size_t>(FTextLength - i) * sizeof(int32_t));
  FTextLength--;
  ClearMeasures(i);
}

void TRVTextControl::DeleteSelection() {
  if (FSelStart >= FSelEnd) return;
  const int32_t from = std::clamp(FSelStart, 0, FTextLength), to = std::clamp(FSelEnd, 0, FTextLength);
  for (int32_t i = to - 1; i >= from; --i) DeleteChar(i);
  FCaret = from;
  FSelStart = FSelEnd = 0;
}

void TRVTextControl::LayOutPending() {
  // Keys and clicks can come faster than paints: the positions they need must be current.
  platform::TCustomControl::Update();
}

void TRVTextControl::Update() {
  ClearMeasures(0);
  Invalidate();
}

// ---------------------------------------------------------------------------------------
// Caret movement

void TRVTextControl::CaretLeft() {
  if (FCaret > 0) FCaret--;
}

void TRVTextControl::CaretRight() {
  if (FCaret < FTextLength) FCaret++;
}

void TRVTextControl::CaretWordLeft() {
  auto code = [&](int32_t i) { return static_cast<uint8_t>(FText[i]); };
  int32_t c = FCaret;
  while (c > 0 && code(c - 1) <= 32) c--;
  while (c > 0 && code(c - 1) > 32) c--;
  FCaret = std::clamp(c, 0, std::max(FTextLength - 1, 0));
}

void TRVTextControl::CaretWordRight() {
  auto code = [&](int32_t i) { return static_cast<uint8_t>(FText[i]); };
  int32_t c = FCaret;
  if (c < FTextLength) c++;
  while (c < FTextLength && code(c) <= 32) c++;
  while (c < FTextLength && code(c) > 32) c++;
  FCaret = std::clamp(c, 0, std::max(FTextLength - 1, 0));
}

void TRVTextControl::CaretLineStart() {
  if (!FCharY) return;
  int32_t c = FCaret;
  while (c > 0 && FCharY[c - 1] >= FCaretY) c--;
  FCaret = c;
}

void TRVTextControl::CaretLineEnd() {
  if (!FCharY) return;
  int32_t c = FCaret;
  while (c < FTextLength && FCharY[c + 1] == FCaretY) c++;
  FCaret = c;
}

void TRVTextControl::CaretLineUp() {
  if (!FCharY) return;
  int32_t c = FCaret - 1;
  while (c >= 0 && !(FCharY[c] >= 0 && FCharY[c] < FCaretY)) c--;
  if (c < 0) return;
  const int32_t lineY = FCharY[c];
  const int32_t last = c;
  while (c > 0 && FCharY[c] == lineY && FCharX[c] > FCaretX) c--;
  if (FCharY[c] != lineY) {
    c = last;  // the walk left the line: its last character
  } else if (c + 1 <= last && FCharY[c + 1] == lineY &&
             std::abs(FCharX[c + 1] - FCaretX) < std::abs(FCharX[c] - FCaretX)) {
    c++;
  }
  FCaret = c;
}

void TRVTextControl::CaretLineDown() {
  if (!FCharY) return;
  int32_t c = FCaret + 1;
  while (c <= FTextLength && !(FCharY[c] > FCaretY)) c++;
  if (c > FTextLength) return;
  const int32_t lineY = FCharY[c];
  const int32_t first = c;
  while (c < FTextLength && FCharY[c] == lineY && FCharX[c] < FCaretX) c++;
  if (FCharY[c] != lineY) {
    c--;  // the walk left the line: its last character
  } else if (c - 1 >= first && FCharY[c - 1] == lineY &&
             std::abs(FCharX[c - 1] - FCaretX) < std::abs(FCharX[c] - FCaretX)) {
    c--;
  }
  FCaret = c;
}

void TRVTextControl::CaretFromPoint(int32_t X, int32_t Y) {
  if (!FCharY) return;
  // The first character of a line below Y (or the end), then back to the last character of the
  // line that holds Y; then left while X lies left of the character.
  int32_t c = 0;
  while (c < FTextLength && !(FCharY[c] > Y)) c++;
  if (c > 0 && FCharY[c] > Y) c--;
  while (c > 0 && X < FCharX[c] - 1) c--;
  FCaret = std::max(c, 0);
  GetCharFormat(FCaret - 1, *FCurrentFormat);
}

void TRVTextControl::ExtendSelection(int32_t Old, bool Shift) {
  if (!Shift) {
    FSelStart = FSelEnd = 0;
    return;
  }
  if (FSelEnd == 0) {
    FSelStart = Old;
    FSelEnd = FCaret;
  } else if (FCaret > Old) {
    if (FCaret > FSelEnd)
      FSelEnd = FCaret;
    else
      FSelStart = FCaret;
  } else if (FCaret < Old) {
    if (FCaret < FSelStart)
      FSelStart = FCaret;
    else
      FSelEnd = FCaret;
  }
  if (FSelEnd < FSelStart) std::swap(FSelStart, FSelEnd);
}

// ---------------------------------------------------------------------------------------
// Format commands

template <class Change>
void TRVTextControl::ChangeSelectionFormat(Change change) {
  const int32_t from = std::clamp(FSelStart, 0, FTextLength), to = std::clamp(FSelEnd, 0, FTextLength);
  for (int32_t i = from; i < to; ++i) {
    TRVCharFormat f;
    GetCharFormat(i, f);
    change(f);
    SetCharFormat(i, f);
  }
  change(*FCurrentFormat);
}

void TRVTextControl::SetAlignment(uint8_t A) {
  // The paragraph of the caret, whatever the selection.
  int32_t from = std::clamp(FCaret, 0, FTextLength), to = from;
  while (from > 0 && FText[from - 1] != 10) from--;
  while (to < FTextLength && FText[to] != 10) to++;
  for (int32_t i = from; i < to; ++i) {
    TRVCharFormat f;
    GetCharFormat(i, f);
    f.Alignment = A;
    SetCharFormat(i, f);
  }
  FCurrentFormat->Alignment = A;
}

void TRVTextControl::ToggleFontStyle(uint8_t Bit) {
  const uint8_t mask = static_cast<uint8_t>(1u << Bit);
  if (FSelStart >= FSelEnd || FTextLength == 0) {
    FCurrentFormat->FontStyle ^= mask;
    return;
  }
  // The first selected character decides, and every selected character takes its style.
  TRVCharFormat first;
  GetCharFormat(FSelStart, first);
  const uint8_t style = static_cast<uint8_t>(first.FontStyle ^ mask);
  ChangeSelectionFormat([style](TRVCharFormat& f) { f.FontStyle = style; });
}

void TRVTextControl::ChangeFontHeights(int Step) {
  // Step -1: smaller (a negative height grows towards 0), +1: larger.
  ChangeSelectionFormat([Step](TRVCharFormat& f) {
    if (f.FontHeight == 0)
      f.FontHeight = 1;
    else if (f.FontHeight < 0)
      f.FontHeight = std::max(f.FontHeight - Step, -kMaxFontHeight);
    else
      f.FontHeight = std::min(f.FontHeight + Step, kMaxFontHeight);
  });
}

void TRVTextControl::FontDialog() {
  platform::TFont font;
  font.Name = common::Cp1252ToUtf8(CharFormatFontName(*FCurrentFormat));
  font.SetHeight(FCurrentFormat->FontHeight);
  font.Style.Bold = FCurrentFormat->FontStyle & rvfsBold;
  font.Style.Italic = FCurrentFormat->FontStyle & rvfsItalic;
  font.Style.Underline = FCurrentFormat->FontStyle & rvfsUnderline;
  font.Style.StrikeOut = FCurrentFormat->FontStyle & rvfsStrikeOut;
  font.Color = FCurrentFormat->FontColor;
  if (!platform::ExecuteFontDialog(this, font)) return;
  const std::string name = common::Utf8ToCp1252(font.Name);
  const int32_t height = std::clamp(font.Height(), -kMaxFontHeight, kMaxFontHeight);
  const uint8_t style = static_cast<uint8_t>(
      (font.Style.Bold ? rvfsBold : 0) | (font.Style.Italic ? rvfsItalic : 0) |
      (font.Style.Underline ? rvfsUnderline : 0) | (font.Style.StrikeOut ? rvfsStrikeOut : 0));
  const int32_t color = font.Color;
  ChangeSelectionFormat([&](TRVCharFormat& f) {
    SetCharFormatFontName(f, name);
    f.FontHeight = height;
    f.FontStyle = style;
    f.FontColor = color;
  });
}

void TRVTextControl::ColorDialog() {
  platform::TColor color = FCurrentFormat->BackColor;
  if (!platform::ExecuteColorDialog(this, color)) return;
  ChangeSelectionFormat([color](TRVCharFormat& f) { f.BackColor = color; });
}

// ---------------------------------------------------------------------------------------
// Keys

void TRVTextControl::KeyPress(char32_t& Key) {
  // The character in the program's code page; one it lacks becomes "?".
  const int cp = common::CodePointToCp1252(Key);
  const uint8_t c = cp < 0 ? uint8_t('?') : static_cast<uint8_t>(cp);
  if (c > 31 && c != 127) {
    DeleteSelection();
    if (!FInsertMode) DeleteChar(FCaret);
    InsertChar(static_cast<char>(c));
  }
  Paint();
  Key = 0;  // handled here
}

void TRVTextControl::KeyDown(uint16_t& Key, TShiftState Shift) {
  using namespace platform;
  LayOutPending();
  const int32_t old = FCaret;
  const bool ctrl = Shift.Contains(ssCtrl);
  bool move = false;
  switch (Key) {
    case VK_BACK:
      if (FSelStart < FSelEnd) {
        DeleteSelection();
      } else if (FCaret > 0) {
        FCaret--;
        DeleteChar(FCaret);
      }
      Update();
      break;
    case VK_RETURN:
      InsertChar(10);
      Update();
      break;
    case VK_END:
      ctrl ? void(FCaret = FTextLength) : CaretLineEnd();
      move = true;
      break;
    case VK_HOME:
      ctrl ? void(FCaret = 0) : CaretLineStart();
      move = true;
      break;
    case VK_LEFT:
      ctrl ? CaretWordLeft() : CaretLeft();
      move = true;
      break;
    case VK_RIGHT:
      ctrl ? CaretWordRight() : CaretRight();
      move = true;
      break;
    case VK_UP:
      CaretLineUp();
      move = true;
      break;
    case VK_DOWN:
      CaretLineDown();
      move = true;
      break;
    case VK_INSERT:
      FInsertMode = !FInsertMode;
      break;
    case VK_DELETE:
      if (FSelStart < FSelEnd)
        DeleteSelection();
      else
        DeleteChar(FCaret);
      Update();
      break;
    case VK_F1:
    case VK_F1 + 1:
      if (Shift.Contains(ssShift)) {
        ChangeFontHeights(Key == VK_F1 ? -1 : 1);
        Update();
      }
      break;
    default:
      break;
  }
  if (move && FCaret != old) {
    GetCharFormat(FCaret - 1, *FCurrentFormat);
    ExtendSelection(old, Shift.Contains(ssShift));
    Update();
  }

  const TShortCut shortcut = ShortCut(Key, Shift);
  int slot = -1;
  for (int i = 0; i < 12; ++i)
    if (shortcut != scNone && TextControlShortcuts[i] == shortcut) {
      slot = i;
      break;
    }
  switch (slot) {
    case scL:
    case scR:
    case scE:
    case scJ:
      SetAlignment(slot == scL ? rvtaLeft : slot == scR ? rvtaRight : slot == scE ? rvtaCenter : rvtaJustify);
      Update();
      break;
    case scC:
      CopyToClipboard();
      break;
    case scX:
      CopyToClipboard();
      DeleteSelection();
      Update();
      break;
    case scV:
      DeleteSelection();
      PasteFromClipboard();
      Update();
      break;
    case scF:
      if (!FFixedFormat) {
        FontDialog();
        Update();
      }
      break;
    case scB:
    case scI:
    case scU:
      ToggleFontStyle(slot == scB ? 0 : slot == scI ? 1 : 2);
      Update();
      break;
    case scG:
      if (!FFixedFormat) {
        ColorDialog();
        Update();
      }
      break;
    default:
      break;
  }
  TCustomControl::KeyDown(Key, Shift);
}

bool TRVTextControl::WantSpecialKey(uint16_t Key, TShiftState Shift) {
  if (Key != platform::VK_TAB && (Key < platform::VK_PRIOR || Key > platform::VK_DOWN)) return false;
  uint16_t key = Key;
  KeyUp(key, Shift);
  return true;
}

void TRVTextControl::keyPressEvent(QKeyEvent* event) {
  // Keys stay with the editor: none reaches the window below it.
  TCustomControl::keyPressEvent(event);
  event->accept();
}

void TRVTextControl::WMCut() {
  uint16_t key = 'X';
  KeyDown(key, platform::ssCtrl);
}

void TRVTextControl::WMCopy() {
  uint16_t key = 'C';
  KeyDown(key, platform::ssCtrl);
}

void TRVTextControl::WMPaste() {
  uint16_t key = 'V';
  KeyDown(key, platform::ssCtrl);
}

// ---------------------------------------------------------------------------------------
// Mouse and focus

void TRVTextControl::MouseDown(platform::TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (!Focused()) SetFocus();
  LayOutPending();
  if (Shift.Contains(platform::ssShift)) {
    SelectFromAnchor(X, Y);
    FAnchorX = X;
    FAnchorY = Y;
  } else {
    FAnchorX = X;
    FAnchorY = Y;
    FSelStart = FSelEnd = 0;
    CaretFromPoint(X, Y);
  }
  Update();
  if (FOnCursorMoved) FOnCursorMoved(this);
  // The second press of a double click selects the word under it.
  if (Shift.Contains(platform::ssDouble) && Button == platform::mbLeft) SelectWordAtCaret();
}

void TRVTextControl::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (!(Shift.Contains(platform::ssLeft) || Shift.Contains(platform::ssRight) ||
        Shift.Contains(platform::ssMiddle)))
    return;
  LayOutPending();
  FSelStart = FSelEnd = 0;
  SelectFromAnchor(X, Y);
  if (FOnCursorMoved) FOnCursorMoved(this);
}

void TRVTextControl::SelectFromAnchor(int32_t X, int32_t Y) {
  CaretFromPoint(FAnchorX, FAnchorY);
  const int32_t previous = FCaret;
  CaretFromPoint(X, Y);
  if (FCaret != previous) {
    ExtendSelection(previous, true);
    Update();
  }
}

void TRVTextControl::SelectWordAtCaret() {
  if (FTextLength <= 0) return;
  LayOutPending();
  FSelStart = FSelEnd = 0;
  CaretWordLeft();
  const int32_t start = FCaret;
  CaretWordRight();
  while (FCaret > 0 && static_cast<uint8_t>(FText[FCaret]) < 33) FCaret--;
  FCaret = std::min(FCaret + 1, FTextLength);
  GetCharFormat(FCaret - 1, *FCurrentFormat);
  FSelStart = start;
  FSelEnd = FCaret;
  Update();
}

void TRVTextControl::Resize() {
  TCustomControl::Resize();
  Update();
}

void TRVTextControl::Enter() {
  TCustomControl::Enter();
  Invalidate();  // the caret appears with the next paint
}

void TRVTextControl::Exit() {
  TCustomControl::Exit();
  DestroyCaret();
}

// ---------------------------------------------------------------------------------------
// Clipboard

void TRVTextControl::CopyToClipboard() {
  const int32_t from = std::clamp(FSelStart, 0, FTextLength), to = std::clamp(FSelEnd, 0, FTextLength);
  if (from >= to || !platform::OpenClipboardRetry()) return;
  const std::string_view text(FText + from, static_cast<size_t>(to - from));
  // Plain text: Unicode from the one-byte text, each line break as 13 10.
  std::string lines;
  for (char c : text) {
    if (c == 10) lines.push_back(13);
    lines.push_back(c);
  }
  const std::u16string plain = common::Utf8ToUtf16(common::Cp1252ToUtf8(lines));
  std::vector<TRVCharFormat> formats(text.size());
  for (int32_t i = from; i < to; ++i) GetCharFormat(i, formats[i - from]);
  std::vector<platform::TClipboardBlock> blocks;
  if (TextMemoClipboardFormat != 0)
    blocks.push_back({TextMemoClipboardFormat, BuildTextMemoBlock(text, formats)});
  platform::Clipboard().Put(blocks, &plain);
}

void TRVTextControl::PasteFromClipboard() {
  if (!platform::OpenClipboardRetry()) return;
  platform::TSystemClipboard& clipboard = platform::Clipboard();
  std::vector<uint8_t> block;
  std::string text;
  std::vector<TRVCharFormat> formats;
  if (TextMemoClipboardFormat != 0 && clipboard.GetBytes(TextMemoClipboardFormat, block) &&
      ParseTextMemoBlock(block, text, formats)) {
    for (size_t k = 0; k < text.size(); ++k) {
      *FCurrentFormat = formats[k];
      InsertChar(text[k]);
    }
    return;
  }
  std::u16string plain;
  if (!clipboard.GetText(plain)) return;
  for (char c : common::Utf8ToCp1252(common::Utf16ToUtf8(plain)))
    if (c != 13) InsertChar(c);
}

// ---------------------------------------------------------------------------------------
// The caret: a bar inverted on the window surface, blinking at the cursor flash time.

void TRVTextControl::InvertCaret() {
  platform::TBitmap& surface = Surface();
  const platform::TRect r{std::max(caretRect_.Left, 0), std::max(caretRect_.Top, 0),
                          std::min(caretRect_.Right, surface.Width()),
                          std::min(caretRect_.Bottom, surface.Height())};
  if (r.Left < r.Right && r.Top < r.Bottom) {
    const int bpp = surface.BitsPerPixel() / 8;
    for (int y = r.Top; y < r.Bottom; ++y) {
      uint8_t* row = surface.ScanLine(y);
      for (int x = r.Left; x < r.Right; ++x)
        for (int b = 0; b < 3; ++b) row[x * bpp + b] = static_cast<uint8_t>(~row[x * bpp + b]);
    }
    SurfaceChanged(r);
  }
  caretInverted_ = !caretInverted_;
}

void TRVTextControl::CreateCaret(int32_t Height) {
  DestroyCaret();
  caretCreated_ = true;
  caretRect_ = platform::Bounds(0, 0, 1, std::max(Height, 0));  // the system's default width
}

void TRVTextControl::SetCaretPos(int32_t X, int32_t Y) {
  if (!caretCreated_) return;
  const bool shown = caretInverted_;
  if (shown) InvertCaret();
  caretRect_ = platform::Bounds(X, Y, caretRect_.Width(), caretRect_.Height());
  if (shown) InvertCaret();
}

void TRVTextControl::ShowCaret() {
  if (!caretCreated_ || caretVisible_) return;
  caretVisible_ = true;
  if (!caretInverted_) InvertCaret();
  const int flash = QGuiApplication::styleHints()->cursorFlashTime();
  if (flash > 0) caretTimer_.start(flash / 2);
}

void TRVTextControl::DestroyCaret() {
  caretTimer_.stop();
  if (caretInverted_) InvertCaret();
  caretVisible_ = false;
  caretCreated_ = false;
}

}  // namespace rv
