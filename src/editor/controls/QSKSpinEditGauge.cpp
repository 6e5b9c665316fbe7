// TQSKGauge: the colour gauge of the spin edit, painted on its window surface, and the value
// set by dragging along it.
#include <QLineEdit>
#include <algorithm>

#include "common/Round.h"
#include "editor/controls/QSKSpinEdit.h"

namespace editor {

using platform::TColor;

TQSKGauge::TQSKGauge(TQSKSpinEdit& spinEdit, QWidget* parent) : TCustomControl(parent), SpinEdit(spinEdit) {
  setCursor(Qt::ArrowCursor);
}

void TQSKGauge::GaugeRange(double& lo, double& hi) const {
  lo = SpinEdit.GaugeMinValue();
  hi = SpinEdit.GaugeMaxValue();
  if (lo == 0 && hi == 0) {
    lo = SpinEdit.MinValue();
    hi = SpinEdit.MaxValue();
  }
}

namespace {

double SpanOf(double lo, double hi) {
  const double span = hi - lo;
  return span > 0 ? span : 100;
}

// One channel of the ramp: begin + (end - begin) * t / 256, the division truncated toward
// zero. At the top of the range t is 257, which would carry a full 0-to-255 ramp one step past
// its end; the channel is kept inside 0..255.
int RampChannel(int begin, int end, int t) {
  const int64_t c = begin + static_cast<int64_t>(end - begin) * t / 256;
  return static_cast<int>(std::clamp<int64_t>(c, 0, 255));
}

}  // namespace

bool TQSKGauge::TwoSided() const {
  double lo, hi;
  GaugeRange(lo, hi);
  return GaugeAroundCenter > lo && GaugeAroundCenter < hi;
}

int32_t TQSKGauge::GaugePos(double v) const {
  double lo, hi;
  GaugeRange(lo, hi);
  const int w = width() - 1;
  return std::min(common::RoundInt((static_cast<long double>(v) - lo) * w / SpanOf(lo, hi) + 1), w);
}

TColor TQSKGauge::BarColor(double value) const {
  double lo, hi;
  GaugeRange(lo, hi);
  double v = value;
  if (v < lo) v = lo;
  if (v > hi) v = hi;
  const double c = GaugeAroundCenter;
  int32_t t;
  if (TwoSided())
    t = v > c ? common::RoundInt((v - c) * 256 / (hi - c) + 1)
              : common::RoundInt((c - v) * 256 / (c - lo) + 1);
  else
    t = common::RoundInt((v - lo) * 256 / SpanOf(lo, hi) + 1);
  const TColor b = platform::ColorToRGB(GuageBeginColor);
  const TColor e = platform::ColorToRGB(GuageEndColor);
  return platform::RGB(static_cast<uint8_t>(RampChannel(platform::GetRValue(b), platform::GetRValue(e), t)),
                       static_cast<uint8_t>(RampChannel(platform::GetGValue(b), platform::GetGValue(e), t)),
                       static_cast<uint8_t>(RampChannel(platform::GetBValue(b), platform::GetBValue(e), t)));
}

void TQSKGauge::Paint() {
  platform::TCanvas& canvas = Canvas();
  const int w = width();
  const int h = height();
  const double value = SpinEdit.CurrentValue();
  canvas.Pen = platform::TPen{};
  canvas.Brush = platform::TBrush{SpinEdit.Color(), platform::bsSolid};
  canvas.FillRect(platform::Rect(0, 0, w, h));
  canvas.Brush.Color = BarColor(value);
  const int pv = GaugePos(value);
  if (TwoSided()) {
    const int pc = GaugePos(GaugeAroundCenter);
    if (value != GaugeAroundCenter) canvas.FillRect(platform::Rect(std::min(pc, pv), 0, std::max(pc, pv), h));
    canvas.Pen.Color = platform::clWindowFrame;
    canvas.MoveTo(pc, 0);
    canvas.LineTo(pc, h);
  } else if (pv > 0) {
    canvas.FillRect(platform::Rect(0, 0, pv, h));
  }
  canvas.Brush.Color = platform::clBtnFace;
  canvas.FrameRect(platform::Rect(0, 0, w, h));
}

void TQSKGauge::TrackTo(int x) {
  double lo, hi;
  GaugeRange(lo, hi);
  const int travel = width() - 2;
  if (!(hi > lo) || travel <= 0) return;
  double v = lo + (hi - lo) * x / travel;
  if (IncrementGauge > 0) v = static_cast<double>(common::Round(v / IncrementGauge)) * IncrementGauge;
  SpinEdit.SetValue(v);
}

void TQSKGauge::MouseDown(platform::TMouseButton button, platform::TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  tracking_ = true;  // the pressed button keeps the mouse until it is released
  TrackTo(x);
  SpinEdit.Edit->setFocus();
  SpinEdit.Edit->deselect();
}

void TQSKGauge::MouseMove(platform::TShiftState shift, int x, int y) {
  TCustomControl::MouseMove(shift, x, y);
  if (tracking_) TrackTo(x);
}

void TQSKGauge::MouseUp(platform::TMouseButton button, platform::TShiftState shift, int x, int y) {
  TCustomControl::MouseUp(button, shift, x, y);
  if (!tracking_) return;
  TrackTo(x);
  tracking_ = false;
  if (SpinEdit.AutoSelect) SpinEdit.Edit->selectAll();
}

}  // namespace editor
