// Keys of the vector layer and in-place editing of texts and memos: a one-line edit opens over
// a text object, the multi-line text control over a memo; what was typed goes back into the
// object when the edit ends. Also copying a whole layer (Assign), and the size and focus steps.
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QPalette>
#include <algorithm>
#include <cstdlib>
#include <new>

#include "common/CodePage.h"
#include "common/Round.h"
#include "platform/gfx/Color.h"
#include "platform/ui/Application.h"
#include "platform/ui/Keys.h"
#include "rastova/view/text/RVEdit.h"
#include "rastova/view/text/RVTextControl.h"
#include "rastova/view/vector/RVVectStreams.h"
#include "rastova/view/vector/RastovaVect.h"

namespace rv {

using common::TruncInt;
using platform::TShiftState;

namespace {

constexpr uint16_t kVK_F2 = platform::VK_F1 + 1;

// The character set the user's language needs in the editors' font, or the one held.
uint8_t EditorCharset(uint8_t Current) {
  switch (QLocale::system().language()) {
    case QLocale::Greek:
      return 161;
    case QLocale::Russian:
      return 204;
    default:
      return Current;
  }
}

}  // namespace

// ---------------------------------------------------------------- keys

void TRastovaVect::KeyDown(uint16_t& Key, TShiftState Shift) {
  if (Key == platform::VK_ESCAPE) {
    const bool editing = IsEditingText();
    EndTextEdit();
    EditingObject = -1;
    // The object was drawn as a frame while its editor showed the text.
    if (editing) Update();
  } else if (Key == kVK_F2 && !SelObjects.empty()) {
    const int32_t h = SelObjects[0];
    const TRVVObjRecord* o = GetObj(h);
    if (o && (o->Kind == rvkTEXT || o->Kind == rvkMEMO)) {
      EditingObject = h;
      BeginTextEdit();
    }
  }
  TRastovaView::KeyDown(Key, Shift);
  if (Key != 0 && SelObjects.size() == 1) {
    TRVVObjRecord* o = GetObj(SelObjects[0]);
    if (o && o->Kind == rvkEXTENDED && o->ExtendedObject) o->ExtendedObject->KeyDown(Key, Shift);
  }
}

bool TRastovaVect::WantSpecialKey(uint16_t Key, TShiftState Shift) {
  const bool handled = TRastovaView::WantSpecialKey(Key, Shift);
  return handled || (Key >= platform::VK_LEFT && Key <= platform::VK_DOWN);
}

void TRastovaVect::keyPressEvent(QKeyEvent* Event) {
  TRastovaView::keyPressEvent(Event);
  const uint16_t key = platform::VirtualKeyOf(*Event);
  bool keep = key >= platform::VK_LEFT && key <= platform::VK_DOWN;
  for (char32_t c : platform::TypedText(*Event)) keep = keep || c >= 32;
  if (keep) Event->accept();
}

// ---------------------------------------------------------------- in-place editing

void TRastovaVect::BeginTextEdit() {
  TRVVObjRecord* o = EditingObject >= 0 ? GetObj(EditingObject) : nullptr;
  if (!o || !o->TextEditable || (o->Kind != rvkTEXT && o->Kind != rvkMEMO)) {
    // An edit still open goes back to its object: the editor would otherwise stay up with
    // nothing marked as edited.
    EndTextEdit();
    EditingObject = -1;
    return;
  }
  // An editor still open belongs to another object (or to this one's older text): its text goes
  // back to its own object before the editor is reused.
  if (FEditedKind != rvkNONE) {
    const int32_t next = EditingObject;
    EndTextEdit();
    EditingObject = next;
    o = GetObj(next);
    if (!o) {
      EditingObject = -1;
      return;
    }
  }
  FEditedObject = EditingObject;
  FontCharset = EditorCharset(FontCharset);
  if (o->Kind == rvkTEXT) {
    FEditedKind = rvkTEXT;
    TextEdit->setFrame(false);
    PlaceTextEditor();
    TextEdit->installEventFilter(this);
    QObject::disconnect(TextEdit.get(), nullptr, this, nullptr);
    QObject::connect(TextEdit.get(), &QLineEdit::textChanged, this, [this] { TextEditChange(); });
    // A new text starts a new undo history: Escape reverts what is typed, not the text itself.
    TextEdit->SetText(common::Cp1252ToUtf8(o->Text));
    TextEdit->show();
    TextEdit->setFocus();
  } else {
    FEditedKind = rvkMEMO;
    TRVTextControl& m = *MemoEdit;
    m.FBackgroundBitmap = GetBackBufferBitmap();
    PlaceTextEditor();
    m.OnKeyDown = [this](platform::TControl*, uint16_t& Key, TShiftState Shift) { MemoEditKeyDown(Key, Shift); };
    // The control works on its own buffers while the record keeps its text; they are taken
    // back when the edit ends.
    std::free(m.FText);
    m.FText = TRVTextControl::AllocText(o->Text);
    std::free(m.FCharFormats);
    m.FCharFormats = nullptr;
    if (!o->MemoCharFormatIdx.empty() && o->MemoCharFormatIdx.size() >= o->Text.size()) {
      m.FCharFormats = static_cast<int32_t*>(std::malloc((o->Text.size() + 1) * sizeof(int32_t)));
      if (!m.FCharFormats) throw std::bad_alloc();
      std::copy_n(o->MemoCharFormatIdx.begin(), o->Text.size(), m.FCharFormats);
      m.FCharFormats[o->Text.size()] = 0;
    }
    m.FFormats.reset();
    if (!o->MemoCharFormats.empty()) {
      m.FFormats = std::make_unique<TRVCharFormatList>();
      for (const TRVCharFormat& f : o->MemoCharFormats) m.FFormats->push_back(std::make_unique<TRVCharFormat>(f));
    }
    m.InitText();
    m.show();
    m.SetFocus();
  }
  if (OnActivateTextEdit) OnActivateTextEdit(this);
}

void TRastovaVect::PlaceTextEditor() {
  if (FEditedKind == rvkNONE) return;
  TRVVObjRecord* o = GetObj(FEditedObject);
  if (!o) return;
  const int32_t L = XBmp2Scr(o->X1), T = YBmp2Scr(o->Y1), R = XBmp2Scr(o->X2);
  const int32_t H = YBmp2Scr(o->Y2) - T;
  const QPoint at = QPoint(L, T) + ClientOffset();
  const int32_t lfHeight = o->LogFont ? o->LogFont->lfHeight : 0;
  platform::TFont font;
  if (o->LogFont) font.Name = common::Cp1252ToUtf8(LogFontFaceName(*o->LogFont));
  font.Style = GetObjFontStyles(FEditedObject);
  if (FEditedKind == rvkTEXT) {
    TextEdit->setGeometry(at.x(), at.y(), std::max(R - L, 0), std::max(H, 0));
    font.SetHeight(lfHeight == 0 ? H : TruncInt(lfHeight * static_cast<long double>(FZoomFactorY)));
    TextEdit->setFont(platform::QtFontOf(font, true));
    QPalette p = TextEdit->palette();
    p.setColor(QPalette::Text, platform::ToQColor(o->PenColor));
    p.setColor(QPalette::Base,
               platform::ToQColor(o->BrushStyle == platform::bsSolid ? o->BrushColor : Background()));
    TextEdit->setPalette(p);
    return;
  }
  TRVTextControl& m = *MemoEdit;
  m.setGeometry(at.x(), at.y(), std::max(R - L + 1, 0), std::max(H + 1, 0));
  m.FMarginLeft = o->MemoMarginLeft, m.FMarginTop = o->MemoMarginTop;
  m.FMarginRight = o->MemoMarginRight, m.FMarginBottom = o->MemoMarginBottom;
  font.SetHeight(lfHeight);
  font.Color = o->PenColor;
  m.FTextFont = font;
  m.FTextBrush.Color = o->BrushColor, m.FTextBrush.Style = o->MemoCharsBrushStyle;
  m.FDefaultAlignment = o->TextAlign;
  m.FBackgroundBrush.Color = o->BrushColor, m.FBackgroundBrush.Style = o->BrushStyle;
  m.SetFixedFormat(o->FontLocked);
  m.FAutoGrow = o->TextAutoSize;
  m.FLineSpacing = o->MemoLineSpace;
  m.FBorderPen.Color = o->MemoBorderColor, m.FBorderPen.Style = o->MemoBorderStyle;
  m.FFixedCharHeight = o->MemoFixedHeight;
  m.FZoom = FZoomY / 100.0;
}

void TRastovaVect::EndTextEdit() {
  if (FEditedKind == rvkNONE) return;
  const TRVVObjectKind kind = FEditedKind;
  const int32_t h = FEditedObject;
  // Closed first: the focus moving away from the editor finds no edit open.
  FEditedKind = rvkNONE;
  FEditedObject = -1;
  TRVVObjRecord* o = GetObj(h);
  if (kind == rvkTEXT) {
    QObject::disconnect(TextEdit.get(), nullptr, this, nullptr);
    TextEdit->removeEventFilter(this);
    if (o) {
      const QString typed = TextEdit->text();
      o->Text = common::Utf8ToCp1252(typed.toStdString());
      if (!FDestroying && o->TextAutoSize)
        o->X2 = o->X1 + TruncInt(QFontMetrics(TextEdit->font()).horizontalAdvance(typed) /
                                 static_cast<long double>(FZoomFactorX));
    }
    TextEdit->hide();
  } else {
    TRVTextControl& m = *MemoEdit;
    m.PackFormats();
    if (o) {
      if (!FDestroying && o->TextAutoSize)
        o->Y2 = o->Y1 + TruncInt(m.ClientHeight() / static_cast<long double>(FZoomFactorY));
      const size_t n = m.FText ? size_t(std::max(m.FTextLength, 0)) : 0;
      o->Text.assign(m.FText ? m.FText : "", n);
      o->MemoCharFormats.clear();
      if (m.FFormats)
        for (const auto& f : *m.FFormats) o->MemoCharFormats.push_back(*f);
      if (m.FCharFormats) o->MemoCharFormatIdx.assign(m.FCharFormats, m.FCharFormats + n);
      else o->MemoCharFormatIdx.clear();
    }
    std::free(m.FText);
    m.FText = nullptr;
    std::free(m.FCharFormats);
    m.FCharFormats = nullptr;
    m.FFormats.reset();
    m.FTextLength = m.FCaret = m.FSelStart = m.FSelEnd = 0;
    m.FBackgroundBitmap = nullptr;
    m.OnKeyDown = nullptr;
    m.hide();
  }
  if (OnDeactivateTextEdit) OnDeactivateTextEdit(this);
  if (!FDestroying) SetFocus();
  DoVectorialChanged();
}

void TRastovaVect::TextEditChange() {
  if (FEditedKind != rvkTEXT) return;
  TRVVObjRecord* o = GetObj(FEditedObject);
  if (o && o->TextAutoSize) {
    const QFontMetrics fm(TextEdit->font());
    const int32_t tw = fm.horizontalAdvance(TextEdit->text()), mw = fm.horizontalAdvance(QStringLiteral("M"));
    TextEdit->resize(tw, TextEdit->height());
    o->X2 = o->X1 + TruncInt((int64_t(tw) + mw) / static_cast<long double>(FZoomFactorX));
  }
  Update();
}

void TRastovaVect::TextEditKeyDown(uint16_t& Key, TShiftState Shift) {
  if (OnTextKeyDown) OnTextKeyDown(TextEdit.get(), Key, Shift);
  if (Key == platform::VK_RETURN) {
    Key = 0;
    CancelInteraction();
    DoVectorialChanged();
  } else if (Key == platform::VK_ESCAPE) {
    Key = 0;
    TextEdit->undo();
    CancelInteraction();
  }
}

void TRastovaVect::MemoEditKeyDown(uint16_t& Key, TShiftState Shift) {
  if (OnTextKeyDown) OnTextKeyDown(MemoEdit.get(), Key, Shift);
  if (Key == platform::VK_ESCAPE) {
    Key = 0;
    CancelInteraction();
  }
}

bool TRastovaVect::eventFilter(QObject* Watched, QEvent* Event) {
  // The one-line edit's key-downs, before the edit acts on them: a key set to 0 is the layer's.
  if (Watched == TextEdit.get() && Event->type() == QEvent::KeyPress) {
    const auto* k = static_cast<QKeyEvent*>(Event);
    uint16_t key = platform::VirtualKeyOf(*k);
    if (key != 0) {
      const TShiftState shift = platform::ShiftStateOf(k->modifiers(), QGuiApplication::mouseButtons());
      platform::GuardedCall([&] { TextEditKeyDown(key, shift); });
      if (key == 0) return true;
    }
  }
  return TRastovaView::eventFilter(Watched, Event);
}

platform::TNotifyEvent TRastovaVect::OnTextEditCursorMoved() const { return MemoEdit->FOnCursorMoved; }

void TRastovaVect::WriteOnTextEditCursorMoved(platform::TNotifyEvent Value) {
  MemoEdit->FOnCursorMoved = std::move(Value);
}

// ---------------------------------------------------------------- copying a layer

void TRastovaVect::Assign(TRastovaView* Source) {
  TRastovaView::Assign(Source);
  if (!Source) {
    CancelInteraction();
    RemoveAllObjects();
    return;
  }
  auto* from = dynamic_cast<TRastovaVect*>(Source);
  // A layer given itself keeps its objects (removing them first would leave nothing to copy).
  if (!from || from == this) return;
  CancelInteraction();
  RemoveAllObjects();
  from->CopyAllObjectsTo(this);
  SetScale(from->MeasureBaseScale);
  DoVectorialChanged();
  Update();
}

// ---------------------------------------------------------------- window steps

void TRastovaVect::OffsetMouseDownPoints(int32_t DX, int32_t DY) {
  TRastovaView::OffsetMouseDownPoints(DX, DY);
  InsertX -= DX;
  InsertY -= DY;
}

void TRastovaVect::Resize() {
  TRastovaView::Resize();
  CancelInteraction();
  // A resize that the view's own update caused (a scroll bar shown or hidden) is followed by
  // the rest of that update.
  if (!FUpdating) Update();
}

void TRastovaVect::Enter() {
  TRastovaView::Enter();
  if (FEditedKind == rvkMEMO && MemoEdit->isEnabled() && MemoEdit->isVisible())
    MemoEdit->SetFocus();
  else if (FEditedKind == rvkTEXT && TextEdit->isEnabled() && TextEdit->isVisible())
    TextEdit->setFocus();
  Invalidate();
}

void TRastovaVect::Exit() {
  TRastovaView::Exit();
  Invalidate();
}

}  // namespace rv
