#pragma once
// TQSKSpinEdit: a numeric entry control for floating-point values. A single-line edit box holds
// the value as text in the user's regional format (optionally followed by a unit); at its right
// end sit an up/down button pair and a drop button, along its bottom edge a thin colour gauge
// (TQSKGauge) that shows the value and sets it with the mouse, and while the drop button is held
// a popup track bar (TPopupForm) sets it too.
//
// Files: QSKSpinEdit.cpp (value, text, keys, stepping, layout), QSKSpinEditGauge.cpp (the
// gauge), QSKSpinEditPopup.cpp (the drop button and its popup). The COLLADA options dialog
// uses two of them.
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "platform/gfx/Color.h"
#include "platform/ui/Control.h"

class QFrame;
class QLineEdit;
class QSlider;
class QToolButton;

namespace editor {

enum TTrackBarOrientation : uint8_t { trHorizontal, trVertical };

class TQSKSpinEdit;

// The gauge along the spin edit's bottom edge. It keeps the colours, the snap step and the
// centre for its spin edit and reads the value and the limits from it.
class TQSKGauge : public platform::TCustomControl {
 public:
  TQSKGauge(TQSKSpinEdit& spinEdit, QWidget* parent);

  TQSKSpinEdit& SpinEdit;
  platform::TColor GuageBeginColor = platform::clHighlight;
  platform::TColor GuageEndColor = platform::clRed;
  double IncrementGauge = 0;
  double GaugeAroundCenter = 0;

  // The range shown: the gauge limits, or the spin edit's limits when both gauge limits are 0.
  void GaugeRange(double& lo, double& hi) const;
  // The bar's column for `v`: nearest((v - lo) * w / span + 1), at most w = width - 1.
  int32_t GaugePos(double v) const;
  // The bar's colour for `v` on the ramp from the begin to the end colour.
  platform::TColor BarColor(double v) const;
  // Whether the gauge is two-sided: its centre lies strictly inside the range.
  bool TwoSided() const;

 protected:
  void Paint() override;
  void MouseDown(platform::TMouseButton button, platform::TShiftState shift, int x, int y) override;
  void MouseMove(platform::TShiftState shift, int x, int y) override;
  void MouseUp(platform::TMouseButton button, platform::TShiftState shift, int x, int y) override;

 private:
  void TrackTo(int x);
  bool tracking_ = false;
};

// The borderless tool window that carries the track bar. It stays on top and is shown without
// taking the focus from the edit.
class TPopupForm : public QWidget {
 public:
  explicit TPopupForm(QWidget* owner);

  QFrame* Panel;      // border width 4, filling the form
  QSlider* TrackBar;  // 0 to 1000, ticks every 50, no tab stop, filling the panel

 protected:
  void resizeEvent(QResizeEvent* event) override;
};

class TQSKSpinEdit : public QWidget {
 public:
  explicit TQSKSpinEdit(QWidget* parent = nullptr);
  ~TQSKSpinEdit() override;

  // Raised when the value or the text changes (see SetValue).
  std::function<void()> OnChange;

  // The number shown, read from the text: an empty text or one that does not convert is
  // replaced by the text of MinValue, which is then the result.
  double Value();
  // Writes FormatValue(ClampValue(x)) as the text; when x differs from the value before, the
  // gauge is repainted, the track bar re-placed and OnChange raised. The text change raises
  // OnChange as well, so one change can raise it twice.
  void SetValue(double x);
  // The value the text stands for now, without correcting the text (the gauge paints this).
  double CurrentValue() const;

  double MinValue() const { return minValue_; }
  void SetMinValue(double v);
  double MaxValue() const { return maxValue_; }
  void SetMaxValue(double v);
  double Increment = 1;
  // Decimals shown, -1 for four significant digits; below 0 becomes -1, above 5 becomes 6.
  int32_t Precision() const { return precision_; }
  void SetPrecision(int32_t v);
  const QString& ValueUnit() const { return valueUnit_; }
  void SetValueUnit(const QString& unit);
  // Typing, pasting and cutting allowed.
  bool EditorEnabled = true;
  double GaugeMinValue() const { return gaugeMinValue_; }
  void SetGaugeMinValue(double v);
  double GaugeMaxValue() const { return gaugeMaxValue_; }
  void SetGaugeMaxValue(double v);
  double GaugeAroundCenter() const;
  void SetGaugeAroundCenter(double v);
  double IncrementGauge() const;
  void SetIncrementGauge(double v);
  platform::TColor GuageBeginColor() const;
  void SetGuageBeginColor(platform::TColor c);
  platform::TColor GuageEndColor() const;
  void SetGuageEndColor(platform::TColor c);
  int32_t GuageHeight() const { return guageHeight_; }
  void SetGuageHeight(int32_t v);
  TTrackBarOrientation TrackBarOrientation() const { return orientation_; }
  void SetTrackBarOrientation(TTrackBarOrientation v);
  // Length of the popup in pixels, limited to 50..300.
  int32_t TrackBarWidth() const { return trackBarWidth_; }
  void SetTrackBarWidth(int32_t v);
  bool TrackBarEnabled() const { return trackBarEnabled_; }
  void SetTrackBarEnabled(bool v);
  // The usual properties of an edit box.
  bool AutoSelect = true;
  bool ReadOnly() const;
  void SetReadOnly(bool v);
  platform::TColor Color() const { return color_; }
  void SetColor(platform::TColor c);
  QString Text() const;
  void SetText(const QString& text);

  // The text of a value: four significant digits for Precision -1, else Precision decimals (of
  // 15 significant digits at most), in the regional format, then a blank and the unit if set.
  QString FormatValue(double v) const;
  // The text without its unit.
  QString StripUnit(const QString& text) const;
  // The number of a text without its unit: "" and "-" give 0; everything but digits, "-" and
  // the regional separator is dropped, a separator at either end gets a "0" beside it. False
  // when the rest does not convert.
  bool ParseValue(const QString& text, double& value) const;
  // MinValue and MaxValue limit the value unless they are equal.
  double ClampValue(double v) const;
  // The up and down steps of the buttons and the arrow keys.
  void StepUp();
  void StepDown();

  // The least height the control takes for its font and gauge.
  int32_t MinimumControlHeight() const;
  // The popup's track-bar position for the value: 0..1000 over MinValue..MaxValue.
  int32_t TrackBarPosition();
  // The value for a screen point along the popup's channel, snapped by IncrementGauge.
  double TrackValueAt(QPoint screenPos) const;
  // The drop button's glyph: "DropDown" (horizontal bar) or "DropLeft" (vertical).
  static QImage DropGlyph(TTrackBarOrientation orientation);

  // Parts. None exists yet while the constructor makes the first: the edit's event filter
  // already sees the events of the parts made after it.
  QLineEdit* Edit = nullptr;
  QFrame* ButtonPanel = nullptr;
  QToolButton* UpButton = nullptr;
  QToolButton* DownButton = nullptr;
  QToolButton* DropButton = nullptr;
  TQSKGauge* Gauge = nullptr;
  TPopupForm* Popup = nullptr;
  int32_t PopupThickness = 0;
  QPoint DropMousePos;  // screen position of the mouse when the drop button went down

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void SetBounds();
  void TextChanged();
  void Step(bool up);
  void AfterStep();
  bool EditKeyPress(QKeyEvent& event);
  void EditContextMenu(QContextMenuEvent& event);
  void EditEnter();
  void EditLeave();
  void RaiseChange();
  void SizePopup();
  void DropButtonDown(QPoint screenPos);
  void ShowTrackBar();
  void PlaceTrackBar();
  void PlacePopupUnderMouse();
  void TrackPopup(QPoint screenPos);
  void DropButtonUp();
  bool DropButtonEvent(QEvent& event);

  double minValue_ = 0;
  double maxValue_ = 100;
  int32_t precision_ = 2;
  QString valueUnit_;
  double gaugeMinValue_ = 0;
  double gaugeMaxValue_ = 0;
  int32_t guageHeight_ = 5;
  TTrackBarOrientation orientation_ = trHorizontal;
  int32_t trackBarWidth_ = 150;
  bool trackBarEnabled_ = true;
  platform::TColor color_ = platform::clWindow;
  int rewriteDepth_ = 0;
  bool dropHeld_ = false;
};

}  // namespace editor
