#include "editor/controls/QSKSpinEdit.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSlider>
#include <QToolButton>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "common/NumberText.h"
#include "editor/controls/RegionalNumbers.h"

namespace editor {

namespace {

constexpr int kEditFrame = 2;     // the edit box's border; the parts sit inside it
constexpr int kUpDownWidth = 15;  // the up/down button pair
constexpr int kDropButtonWidth = 13;
constexpr int kSystemBorder = 1;     // the system's border height
constexpr int kMaxRewriteDepth = 4;  // unit write-backs nested in one text change
// A track bar's usual height; the popup is 10 pixels thinner.
constexpr int kTrackBarHeight = 45;

// `v` as fixed-point text with `decimals` decimals after rounding to 15 significant digits
// (digits beyond them show as zeros); scientific when more than 15 digits stand before the
// point. Plain "C" text with "." and "-".
std::string FixedPoint15(double v, int decimals) {
  if (!std::isfinite(v)) return common::FormatC("%g", v);
  const std::string e = common::FormatC("%.14e", v);  // [-]d.dddddddddddddde[+-]xx
  const size_t ePos = e.find('e');
  if (ePos == std::string::npos) return e;
  std::string digits;
  for (size_t k = 0; k < ePos; ++k)
    if (e[k] >= '0' && e[k] <= '9') digits += e[k];
  const int exponent = std::stoi(e.substr(ePos + 1));
  if (exponent >= 15) return e;
  int intDigits = exponent + 1;  // digits before the point; 0 or less for |v| < 1
  const int keep = intDigits + decimals;
  if (keep < 0) {
    digits.clear();
  } else if (keep < static_cast<int>(digits.size())) {
    const bool roundUp = digits[static_cast<size_t>(keep)] >= '5';
    digits.resize(static_cast<size_t>(keep));
    if (roundUp) {
      int k = keep - 1;
      while (k >= 0 && digits[static_cast<size_t>(k)] == '9') digits[static_cast<size_t>(k--)] = '0';
      if (k >= 0) {
        ++digits[static_cast<size_t>(k)];
      } else {
        digits.insert(digits.begin(), '1');
        ++intDigits;
      }
    }
  }
  auto digitAt = [&](int index) {
    return index >= 0 && index < static_cast<int>(digits.size()) ? digits[static_cast<size_t>(index)] : '0';
  };
  std::string out;
  if (intDigits <= 0) out = "0";
  for (int k = 0; k < intDigits; ++k) out += digitAt(k);
  if (decimals > 0) {
    out += '.';
    for (int k = 0; k < decimals; ++k) out += digitAt(intDigits + k);
  }
  if (v < 0 && out.find_first_of("123456789") != std::string::npos) out.insert(out.begin(), '-');
  return out;
}

// Plain number text ("-", digits, one "."): its value, or for a number beyond the double range
// plus or minus infinity (or 0 for one too small to hold), so that huge numbers clamp.
bool PlainToFloat(const std::string& text, double& value) {
  if (common::TryStrToFloat(text, value)) return true;
  double v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc::result_out_of_range || end != text.data() + text.size()) return false;
  const bool negative = !text.empty() && text.front() == '-';
  const std::string whole = text.substr(0, text.find('.'));
  const bool large = whole.find_first_of("123456789") != std::string::npos;
  value = large ? (negative ? -HUGE_VAL : HUGE_VAL) : (negative ? -0.0 : 0.0);
  return true;
}

bool IsDialogKey(int key) {
  return key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Return || key == Qt::Key_Enter ||
         key == Qt::Key_Escape;
}

}  // namespace

TQSKSpinEdit::TQSKSpinEdit(QWidget* parent) : QWidget(parent) {
  setCursor(Qt::ArrowCursor);
  Edit = new QLineEdit(this);
  Edit->setCursor(Qt::ArrowCursor);
  Edit->setAcceptDrops(false);
  Edit->installEventFilter(this);

  ButtonPanel = new QFrame(Edit);
  ButtonPanel->setFrameShape(QFrame::NoFrame);
  ButtonPanel->setAutoFillBackground(true);
  {
    QPalette pal = ButtonPanel->palette();
    pal.setColor(QPalette::Window, platform::ToQColor(platform::clBtnFace));
    ButtonPanel->setPalette(pal);
  }
  ButtonPanel->setCursor(Qt::ArrowCursor);
  UpButton = new QToolButton(ButtonPanel);
  UpButton->setArrowType(Qt::UpArrow);
  DownButton = new QToolButton(ButtonPanel);
  DownButton->setArrowType(Qt::DownArrow);
  for (QToolButton* b : {UpButton, DownButton}) {
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoRepeat(true);
  }
  // The step runs on the press and on each repeat while the button is held.
  connect(UpButton, &QToolButton::pressed, this, [this] { Step(true); });
  connect(DownButton, &QToolButton::pressed, this, [this] { Step(false); });
  DropButton = new QToolButton(ButtonPanel);
  DropButton->setFocusPolicy(Qt::NoFocus);
  DropButton->installEventFilter(this);

  Gauge = new TQSKGauge(*this, Edit);
  Popup = new TPopupForm(this);
  PopupThickness = kTrackBarHeight - 10;
  Popup->hide();

  connect(Edit, &QLineEdit::textChanged, this, [this] { TextChanged(); });
  SetTrackBarOrientation(trHorizontal);
  SetValue(0);
  Increment = 1;
  setMinimumHeight(MinimumControlHeight());
  resize(121, std::max(MinimumControlHeight(), 24));
  SetBounds();
}

TQSKSpinEdit::~TQSKSpinEdit() {
  // The parts go with their parents; nothing may call back into a half-destroyed control.
  OnChange = nullptr;
  Edit->removeEventFilter(this);
  DropButton->removeEventFilter(this);
  disconnect(Edit, nullptr, this, nullptr);
}

// ---------------------------------------------------------------------------------------
// Text and value

QString TQSKSpinEdit::FormatValue(double v) const {
  const std::string plain = precision_ < 0 ? common::FormatC("%.4g", v) : FixedPoint15(v, precision_);
  QString text = ToRegionalText(plain);
  if (!valueUnit_.isEmpty()) text += QLatin1Char(' ') + valueUnit_;
  return text;
}

QString TQSKSpinEdit::StripUnit(const QString& text) const {
  const qsizetype p = valueUnit_.isEmpty() ? 0 : text.indexOf(valueUnit_) + 1;  // counting from 1
  if (p >= 3) return text.left(p - 1).trimmed();
  const qsizetype blank = text.indexOf(QLatin1Char(' ')) + 1;
  if (blank >= 2) return text.left(blank - 1);
  return text;
}

bool TQSKSpinEdit::ParseValue(const QString& text, double& value) const {
  if (text.isEmpty() || text == QStringLiteral("-")) {
    value = 0;
    return true;
  }
  const QString separator = RegionalDecimalSeparator();
  // Kept as plain text: digits, "-" and "." for the regional separator.
  std::string kept;
  for (qsizetype k = 0; k < text.size();) {
    if (!separator.isEmpty() && QStringView(text).mid(k).startsWith(separator)) {
      kept += '.';
      k += separator.size();
      continue;
    }
    const QChar c = text[k++];
    if ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-'))
      kept += static_cast<char>(c.unicode());
  }
  if (!kept.empty() && kept.front() == '.') kept.insert(kept.begin(), '0');
  if (!kept.empty() && kept.back() == '.') kept += '0';
  return PlainToFloat(kept, value);
}

double TQSKSpinEdit::ClampValue(double v) const {
  if (minValue_ == maxValue_) return v;
  if (v <= minValue_) return minValue_;
  if (v >= maxValue_) return maxValue_;
  return v;
}

double TQSKSpinEdit::CurrentValue() const {
  const QString text = Edit->text();
  double v = minValue_;
  if (text.isEmpty() || !ParseValue(StripUnit(text), v)) return minValue_;
  return v;
}

double TQSKSpinEdit::Value() {
  const QString text = Edit->text();
  double v = 0;
  if (!text.isEmpty() && ParseValue(StripUnit(text), v)) return v;
  SetText(FormatValue(minValue_));
  return minValue_;
}

void TQSKSpinEdit::SetValue(double x) {
  const double old = Value();
  SetText(FormatValue(ClampValue(x)));
  if (x != old) {
    Gauge->Repaint();
    if (Popup->isVisible()) PlaceTrackBar();
    RaiseChange();
  }
}

QString TQSKSpinEdit::Text() const { return Edit->text(); }

void TQSKSpinEdit::SetText(const QString& text) { Edit->setText(text); }

void TQSKSpinEdit::RaiseChange() {
  if (OnChange) OnChange();
}

void TQSKSpinEdit::TextChanged() {
  if (!valueUnit_.isEmpty() && rewriteDepth_ < kMaxRewriteDepth) {
    const QString number = StripUnit(Edit->text());
    const QChar last = number.isEmpty() ? QChar() : number.back();
    if (last >= QLatin1Char('0') && last <= QLatin1Char('9')) {
      // Write the value back so the unit reappears while typing; the caret stays.
      const int caret = Edit->cursorPosition();
      ++rewriteDepth_;
      SetValue(Value());
      --rewriteDepth_;
      Edit->setCursorPosition(std::min(caret, static_cast<int>(Edit->text().size())));
    }
  }
  Gauge->Repaint();
  RaiseChange();
}

// ---------------------------------------------------------------------------------------
// Properties

void TQSKSpinEdit::SetMinValue(double v) {
  if (v == minValue_) return;
  minValue_ = v;
  SetValue(Value());
  Gauge->Repaint();
}

void TQSKSpinEdit::SetMaxValue(double v) {
  if (v == maxValue_) return;
  maxValue_ = v;
  SetValue(Value());
  Gauge->Repaint();
}

void TQSKSpinEdit::SetPrecision(int32_t v) {
  v = std::clamp(v, -1, 6);
  if (v == precision_) return;
  const double value = Value();
  precision_ = v;
  SetText(FormatValue(value));
}

void TQSKSpinEdit::SetValueUnit(const QString& unit) {
  const double value = Value();
  valueUnit_ = unit;
  SetText(FormatValue(value));
}

void TQSKSpinEdit::SetGaugeMinValue(double v) {
  if (v == gaugeMinValue_) return;
  gaugeMinValue_ = v;
  Gauge->Repaint();
}

void TQSKSpinEdit::SetGaugeMaxValue(double v) {
  if (v == gaugeMaxValue_) return;
  gaugeMaxValue_ = v;
  Gauge->Repaint();
}

double TQSKSpinEdit::GaugeAroundCenter() const { return Gauge->GaugeAroundCenter; }

void TQSKSpinEdit::SetGaugeAroundCenter(double v) {
  if (v == Gauge->GaugeAroundCenter) return;
  Gauge->GaugeAroundCenter = v;
  Gauge->Repaint();
}

double TQSKSpinEdit::IncrementGauge() const { return Gauge->IncrementGauge; }

void TQSKSpinEdit::SetIncrementGauge(double v) { Gauge->IncrementGauge = v; }

platform::TColor TQSKSpinEdit::GuageBeginColor() const { return Gauge->GuageBeginColor; }

void TQSKSpinEdit::SetGuageBeginColor(platform::TColor c) {
  if (c == Gauge->GuageBeginColor) return;
  Gauge->GuageBeginColor = c;
  Gauge->Repaint();
}

platform::TColor TQSKSpinEdit::GuageEndColor() const { return Gauge->GuageEndColor; }

void TQSKSpinEdit::SetGuageEndColor(platform::TColor c) {
  if (c == Gauge->GuageEndColor) return;
  Gauge->GuageEndColor = c;
  Gauge->Repaint();
}

void TQSKSpinEdit::SetGuageHeight(int32_t v) {
  if (v == guageHeight_) return;
  guageHeight_ = std::max(v, 0);
  setMinimumHeight(MinimumControlHeight());
  SetBounds();
}

void TQSKSpinEdit::SetTrackBarWidth(int32_t v) { trackBarWidth_ = std::clamp(v, 50, 300); }

void TQSKSpinEdit::SetTrackBarEnabled(bool v) {
  trackBarEnabled_ = v;
  DropButton->setVisible(v);
  SetBounds();
  Edit->update();
  Gauge->Repaint();
}

bool TQSKSpinEdit::ReadOnly() const { return Edit->isReadOnly(); }

void TQSKSpinEdit::SetReadOnly(bool v) { Edit->setReadOnly(v); }

void TQSKSpinEdit::SetColor(platform::TColor c) {
  color_ = c;
  QPalette pal = Edit->palette();
  pal.setColor(QPalette::Base, platform::ToQColor(c));
  Edit->setPalette(pal);
  Gauge->Repaint();
}

// ---------------------------------------------------------------------------------------
// Stepping and keys

void TQSKSpinEdit::StepUp() { Step(true); }

void TQSKSpinEdit::StepDown() { Step(false); }

void TQSKSpinEdit::Step(bool up) {
  Edit->setFocus();
  const double v = Value();
  double next;
  if (minValue_ == maxValue_)  // no limits: a plain step
    next = up ? v + Increment : v - Increment;
  else if (up)
    next = v < maxValue_ - Increment ? v + Increment : maxValue_;
  else
    next = v > minValue_ + Increment ? v - Increment : minValue_;
  SetValue(next);
  AfterStep();
}

void TQSKSpinEdit::AfterStep() {
  if (AutoSelect && !QGuiApplication::mouseButtons().testFlag(Qt::LeftButton)) Edit->selectAll();
  Gauge->Repaint();
}

bool TQSKSpinEdit::EditKeyPress(QKeyEvent& event) {
  if (event.key() == Qt::Key_Up || event.key() == Qt::Key_Down) {
    Step(event.key() == Qt::Key_Up);
    return true;
  }
  if (IsDialogKey(event.key())) return false;
  if (!EditorEnabled) return true;
  if (event.matches(QKeySequence::Paste) || event.matches(QKeySequence::Cut)) return ReadOnly();
  if (event.modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) return false;
  const QString separator = RegionalDecimalSeparator();
  for (const QChar c : event.text()) {
    if (!c.isPrint() || c <= QLatin1Char(' ')) continue;
    const bool allowed = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-') ||
                         c == QLatin1Char('+') || separator.contains(c);
    if (!allowed) return true;
  }
  return false;
}

void TQSKSpinEdit::EditContextMenu(QContextMenuEvent& event) {
  QMenu* menu = Edit->createStandardContextMenu();
  const bool editable = EditorEnabled && !ReadOnly();
  for (QAction* action : menu->actions()) {
    const QString name = action->objectName();
    if (!editable && (name == QStringLiteral("edit-paste") || name == QStringLiteral("edit-cut") ||
                      name == QStringLiteral("edit-delete")))
      action->setEnabled(false);
  }
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event.globalPos());
}

void TQSKSpinEdit::EditEnter() {
  if (AutoSelect && !QGuiApplication::mouseButtons().testFlag(Qt::LeftButton)) Edit->selectAll();
}

void TQSKSpinEdit::EditLeave() {
  const double v = Value();
  const double clamped = ClampValue(v);
  if (clamped != v) SetValue(clamped);
}

bool TQSKSpinEdit::eventFilter(QObject* watched, QEvent* event) {
  if (watched == DropButton) return DropButtonEvent(*event);
  if (watched != Edit) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::KeyPress:
      return EditKeyPress(static_cast<QKeyEvent&>(*event));
    case QEvent::ContextMenu:
      EditContextMenu(static_cast<QContextMenuEvent&>(*event));
      return true;
    case QEvent::MouseButtonRelease:
      // the selection paste of the middle button counts as a paste
      return static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton && (!EditorEnabled || ReadOnly());
    case QEvent::FocusIn:
      Edit->event(event);
      EditEnter();
      return true;
    case QEvent::FocusOut:
      EditLeave();
      return false;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------------------
// Layout

int32_t TQSKSpinEdit::MinimumControlHeight() const {
  const int fontHeight = QFontMetrics(font()).height();
  const int systemFontHeight = QFontMetrics(QApplication::font()).height();
  return 4 * kSystemBorder + fontHeight + std::min(systemFontHeight, fontHeight) / 4 + guageHeight_ + 3;
}

void TQSKSpinEdit::SetBounds() {
  const int w = width();
  const int h = height();
  Edit->setGeometry(0, 0, w, h);
  // The parts' places count from the inside of the edit box's border.
  const int panelWidth = kUpDownWidth + (trackBarEnabled_ ? kDropButtonWidth : 0) + 3;
  const int panelHeight = std::max(h - guageHeight_ - 4, 2);
  ButtonPanel->setGeometry(kEditFrame + w - panelWidth - 4, kEditFrame, panelWidth, panelHeight);
  const int buttonHeight = panelHeight - 2;
  const int upHeight = buttonHeight / 2;
  UpButton->setGeometry(1, 1, kUpDownWidth, upHeight);
  DownButton->setGeometry(1, 1 + upHeight, kUpDownWidth, buttonHeight - upHeight);
  DropButton->setGeometry(1 + kUpDownWidth + 1, 1, kDropButtonWidth, buttonHeight);
  Gauge->setGeometry(kEditFrame, kEditFrame + h - guageHeight_ - 5, std::max(w - 4, 0), guageHeight_ + 2);
  Edit->setTextMargins(0, 0, panelWidth, guageHeight_);
  Gauge->Repaint();
}

void TQSKSpinEdit::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (height() < MinimumControlHeight()) {
    resize(width(), MinimumControlHeight());
    return;
  }
  SetBounds();
}

void TQSKSpinEdit::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    setMinimumHeight(MinimumControlHeight());
    SetBounds();
  }
}

}  // namespace editor
