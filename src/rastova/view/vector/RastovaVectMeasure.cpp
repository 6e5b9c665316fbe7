// Measuring: units per bitmap pixel, the length of the selection polygon, and the hint box that
// shows a measured value next to the pointer.
#include <QLocale>
#include <algorithm>
#include <cmath>

#include "common/CodePage.h"
#include "rastova/core/draw/RVTextHint.h"
#include "rastova/view/vector/RastovaVect.h"

namespace rv {

namespace {
constexpr int32_t kSeparatorX = 0xFFFFF;
constexpr int32_t kLastPosition = -1000000;
}  // namespace

void TRastovaVect::ComputeMeasureScale(double& ScaleX, double& ScaleY, TRVUnits Unit) {
  double sx = 1.0, sy = 1.0;
  if (Unit != rvuPIXELS && FDpiX > 0 && FDpiY > 0) {
    sx = 1.0 / FDpiX;
    sy = 1.0 / FDpiY;
    double f = 1.0;
    switch (Unit) {
      case rvuKM: f = 2.54 / 100000; break;
      case rvuMETERS: f = 2.54 / 100; break;
      case rvuCENTIMETERS: f = 2.54; break;
      case rvuMILLIMETERS: f = 2.54 * 10; break;
      case rvuMICRONS: f = 2.54 * 10000; break;
      case rvuNANOMETERS: f = 2.54 * 10000000; break;
      case rvuFEET: f = 1.0 / 12; break;
      case rvuYARDS: f = 1.0 / 36; break;
      case rvuMILES: f = 1.0 / 63360; break;
      default: break;
    }
    sx *= f;
    sy *= f;
  }
  ScaleX = sx * MeasureBaseScale;
  ScaleY = sy * MeasureBaseScale;
}

double TRastovaVect::GetSelectionLength() {
  const TRVSelectionPolygon* sel = FSelectionPolygon;
  if (!sel) return 0;
  const std::vector<TRVPoint>& p = sel->Points;
  const int32_t n = static_cast<int32_t>(p.size());
  auto seg = [this](const TRVPoint& a, const TRVPoint& b) {
    const double dx = std::abs(double(a.x) - b.x) * MeasureScaleX, dy = std::abs(double(a.y) - b.y) * MeasureScaleY;
    return std::sqrt(dx * dx + dy * dy);
  };
  double len = 0;
  int32_t first = 0;
  if (n >= 2) {
    for (int32_t i = 0; i <= n - 2; ++i) {
      if (p[size_t(i)].x == kSeparatorX) continue;
      if (p[size_t(i + 1)].x == kSeparatorX) {
        len += seg(p[size_t(i)], p[size_t(first)]);
        first = i + 2;
        ++i;
      } else {
        len += seg(p[size_t(i)], p[size_t(i + 1)]);
      }
    }
    if (!FPolySelecting && n > 2 && first < n && p[size_t(n - 1)].x != kSeparatorX)
      len += seg(p[size_t(n - 1)], p[size_t(first)]);
  }
  if (n > 0 && FPolySelecting && p[size_t(n - 1)].x != kSeparatorX)
    len += seg(p[size_t(n - 1)], TRVPoint{XScr2Bmp(FPolyLastX), YScr2Bmp(FPolyLastY)});
  return len;
}

double TRastovaVect::GetSelectionArea() {
  const double C = MeasureScaleX * MeasureScaleY;
  const TRVSelectionPolygon* sel = FSelectionPolygon;
  if (sel && sel->Points.size() > 2) {
    // The shoelace area of each sub-polygon, closed back to its first point. Each counts
    // positive: polygons drawn in opposite directions add up instead of cancelling.
    double total = 0, part = 0;
    const std::vector<TRVPoint>& p = sel->Points;
    size_t start = 0;
    auto close = [&](size_t end) {
      for (size_t i = start; i < end; ++i) {
        const TRVPoint& a = p[i];
        const TRVPoint& b = p[i + 1 < end ? i + 1 : start];
        part += (double(a.x) - b.x) * (double(a.y) + b.y);
      }
      total += std::abs(part) / 2;
      part = 0;
    };
    for (size_t i = 0; i < p.size(); ++i)
      if (p[i].x == kSeparatorX) {
        close(i);
        start = i + 1;
      }
    close(p.size());
    return total * C;
  }
  // Too few points for an area: the selected pixels of the mask.
  const TRVMask* m = FSelectionMask.get();
  if (!m || m->IsEmpty() || m->BitsPerPixel() != 1) return 0;
  int64_t n = 0;
  for (int32_t y = m->Top; y <= m->Bottom; ++y)
    for (int32_t x = m->Left; x <= m->Right; ++x)
      if (m->GetPixel(x, y) != 0) ++n;
  return double(n) * C;
}

std::string TRastovaVect::FormatMeasure(double Value) {
  // Fixed notation; the general form once the value has more integer digits than the precision.
  const int32_t digits = std::clamp(FFloatDigits, 0, 18);
  const int32_t precision = std::clamp(FFloatPrecision, 1, 18);
  QString s;
  if (std::isfinite(Value) && std::abs(Value) < std::pow(10.0, precision))
    s = QLocale::system().toString(Value, 'f', digits);
  else
    s = QLocale::system().toString(Value, 'g', precision);
  s.remove(QLocale::system().groupSeparator());
  return s.toLatin1().toStdString();  // one-byte text, as every object text
}

void TRastovaVect::EraseMeasureHint() {
  if (!HintVisible || !HintBackground || HintBackground->Width() < 2) return;
  GetCanvas().Draw(HintX, HintY, *HintBackground);
  HintBackground->SetSize(1, HintBackground->Height());
}

void TRastovaVect::DrawMeasureHint(int32_t X, int32_t Y) {
  if (!HintVisible) return;
  if (X == kLastPosition) X = HintX;
  if (Y == kLastPosition) Y = HintY;
  X = std::max(X, 0);
  Y = std::max(Y, 0);
  std::string text;
  double value = 0;
  TRVVValType type = rvvtLENGTH;
  bool have = true;
  if (ObjectInteract & rvoiMeasureArea) {
    value = GetSelectionArea();
    type = rvvtAREA;
  } else if (ObjectInteract & rvoiMeasureLength) {
    value = GetSelectionLength();
  } else if (ObjectInteract & rvoiDragLength) {
    const double dx = (double(X) - FDownInImageX + 1) * MeasureScaleX * FInvZoomX;
    const double dy = (double(Y) - FDownInImageY + 1) * MeasureScaleY * FInvZoomY;
    value = std::sqrt(dx * dx + dy * dy);
  } else {
    have = false;
  }
  if (have) {
    if (value == 0) value = LastMeasure;
    LastMeasure = value;
    text = FormatMeasure(value) + " " + kRVUnitNames[FMUnit];
    // "²" as the program's code page stores it.
    if (type == rvvtAREA) text += '\xB2';
    if (OnMeasureHint) OnMeasureHint(this, text, value);
    if (OnPresentMeasure) OnPresentMeasure(this, text, value, type);
  }
  if (!HintBackground) HintBackground = std::make_unique<platform::TBitmap>(1, 1, platform::pf24bit);
  DrawTextHint(GetCanvas(), X, Y, common::Cp1252ToUtf8(text), HintFont, HintBrush, *HintBackground, GetViewWidth(), GetViewHeight(),
               HintFrameLightColor, HintFrameShadowColor);
  HintX = X;
  HintY = Y;
}

void TRastovaVect::RedrawMeasureHint(int32_t X, int32_t Y) {
  EraseMeasureHint();
  DrawMeasureHint(X, Y);
}

void TRastovaVect::WriteMUnit(TRVUnits Value) {
  FMUnit = Value;
  NewObjectTemplate.RulerUnit = Value;
  ComputeMeasureScale(MeasureScaleX, MeasureScaleY, FMUnit);
  RedrawMeasureHint(kLastPosition, kLastPosition);
}

void TRastovaVect::WriteFloatDigits(int32_t Value) {
  FFloatDigits = Value;
  RedrawMeasureHint(kLastPosition, kLastPosition);
}

void TRastovaVect::WriteFloatPrecision(int32_t Value) {
  FFloatPrecision = Value;
  RedrawMeasureHint(kLastPosition, kLastPosition);
}

void TRastovaVect::SetDpiX(int32_t Value) {
  TRastovaView::SetDpiX(Value);
  ComputeMeasureScale(MeasureScaleX, MeasureScaleY, FMUnit);
  RedrawMeasureHint(kLastPosition, kLastPosition);
  Update();
}

void TRastovaVect::SetDpiY(int32_t Value) {
  TRastovaView::SetDpiY(Value);
  ComputeMeasureScale(MeasureScaleX, MeasureScaleY, FMUnit);
  RedrawMeasureHint(kLastPosition, kLastPosition);
  Update();
}

}  // namespace rv
