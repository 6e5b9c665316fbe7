#include "editor/dialogs/ColorDlg.h"

#include <QPushButton>
#include <cmath>
#include <numbers>

#include "common/Round.h"
#include "editor/controls/ColorSwatch.h"
#include "editor/dialogs/DialogForm.h"
#include "platform/gfx/Canvas.h"
#include "shape/model/uScColor.h"

namespace editor {

namespace {

constexpr int kSize = 200;
constexpr int kCentre = 100;
constexpr int kSquareLeft = 50;  // pixel (50 + s, 50 + l) shows saturation s, lightness l
constexpr int kMarkerRadius = 5;
constexpr int kHueMarkerDistance = 85;

platform::TColor HslColor(int32_t hue, int32_t sat, int32_t light) {
  uint8_t r, g, b;
  shape::HSLToRGB(hue, sat, light, r, g, b);
  return platform::RGB(r, g, b);
}

// The distance of (x, y) from the centre, to the nearest whole pixel.
int32_t CentreDistance(int x, int y) {
  const double dx = x - kCentre;
  const double dy = y - kCentre;
  return common::RoundInt(std::sqrt(dx * dx + dy * dy));
}

bool InSquare(int x, int y) { return x >= 51 && x <= 150 && y >= 51 && y <= 150; }

}  // namespace

int32_t ColorWheelAngle(int32_t a, int32_t b) {
  if (b == 0) return a > 0 ? 90 : 270;
  const int32_t t = common::RoundInt(std::atan(static_cast<double>(a) / b) * 180 / std::numbers::pi);
  if (b < 0) return t + 180;
  if (a < 0) return t + 360;
  return t;
}

TColorDlg::TColorDlg(QWidget* owner) : QDialog(owner) {
  SetupDialogForm(*this, "Color Picker", 300, 216);
  Image1 = new platform::TCustomControl(this);
  Image1->setGeometry(8, 8, kSize, kSize);
  Image1->OnPaint = [this](platform::TControl*) {
    if (!Picture.Empty()) Image1->Canvas().Draw(0, 0, Picture);
  };
  Image1->OnMouseDown = [this](platform::TControl*, platform::TMouseButton, platform::TShiftState, int x,
                               int y) { ImageMouseDown(x, y); };
  Image1->OnMouseMove = [this](platform::TControl*, platform::TShiftState, int x, int y) {
    ImageMouseMove(x, y);
  };
  Image1->OnMouseUp = [this](platform::TControl*, platform::TMouseButton, platform::TShiftState, int, int) {
    ImageMouseUp();
  };
  Shape1 = new TColorSwatch(this, false);
  Shape1->setGeometry(216, 8, 76, 40);
  OkButton = AddOkButton(*this, 216, 150, 76);
  CancelButton = AddCancelButton(*this, 216, 183, 76);
  connect(OkButton, &QPushButton::clicked, this, [this] { PickedColor = CurrentColor(); });
  FormCreate();
}

void TColorDlg::FormCreate() {
  // The picture; without it nothing is drawn, and the dialog still works.
  try {
    Picture.SetSize(kSize, kSize);
  } catch (...) {
    Picture.SetSize(0, 0);
  }
}

TColorDlg::~TColorDlg() = default;

platform::TColor TColorDlg::CurrentColor() const { return HslColor(Hue, Sat, Light); }

bool TColorDlg::Execute(platform::TColor color) {
  PickedColor = color;
  shape::RGBToHSL(static_cast<uint32_t>(platform::ColorToRGB(color)), Hue, Sat, Light);
  DragPart = 0;
  DrawPicker();
  return exec() == QDialog::Accepted;
}

void TColorDlg::DrawPicker() {
  Shape1->SetBrushColor(CurrentColor());
  if (Picture.Empty()) return;
  platform::TCanvas& canvas = Picture.Canvas();
  canvas.Brush = platform::TBrush{platform::clBtnFace, platform::bsSolid};
  canvas.FillRect(platform::Rect(0, 0, kSize, kSize));
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const int32_t d = CentreDistance(x, y);
      if (d > 75 && d < 95)
        Picture.SetPixelColor(x, y, HslColor(ColorWheelAngle(kCentre - x, kCentre - y), Sat, Light));
    }
  }
  for (int l = 0; l <= 100; ++l)
    for (int s = 0; s <= 100; ++s)
      Picture.SetPixelColor(kSquareLeft + s, kSquareLeft + l, HslColor(Hue, s, l));
  DrawMarkers();
  Image1->Repaint();
}

void TColorDlg::DrawMarkers() {
  if (Picture.Empty()) return;
  platform::TCanvas& canvas = Picture.Canvas();
  canvas.Pen = platform::TPen{platform::clWhite, 1, platform::psSolid, platform::pmXor};
  canvas.Brush.Style = platform::bsClear;
  const double h = Hue * std::numbers::pi / 180;
  const int hx = kCentre - common::RoundInt(kHueMarkerDistance * std::sin(h));
  const int hy = kCentre - common::RoundInt(kHueMarkerDistance * std::cos(h));
  canvas.Ellipse(hx - kMarkerRadius, hy - kMarkerRadius, hx + kMarkerRadius, hy + kMarkerRadius);
  const int sx = Sat + kSquareLeft;
  const int sy = Light + kSquareLeft;
  canvas.Ellipse(sx - kMarkerRadius, sy - kMarkerRadius, sx + kMarkerRadius, sy + kMarkerRadius);
  canvas.Pen = platform::TPen{};
  canvas.Brush.Style = platform::bsSolid;
}

void TColorDlg::ImageMouseDown(int x, int y) {
  if (InSquare(x, y)) {
    DragPart = 1;
    Sat = x - kSquareLeft;
    Light = y - kSquareLeft;
  } else {
    const int32_t d = CentreDistance(x, y);
    if (d < 76 || d > 94) return;
    DragPart = 2;
    Hue = ColorWheelAngle(kCentre - x, kCentre - y);
  }
  DrawPicker();
}

void TColorDlg::ImageMouseMove(int x, int y) {
  if (DragPart == 1 && InSquare(x, y)) {
    Sat = x - kSquareLeft;
    Light = y - kSquareLeft;
  } else if (DragPart == 2) {
    Hue = ColorWheelAngle(kCentre - x, kCentre - y);
  } else {
    return;
  }
  DrawPicker();
}

void TColorDlg::ImageMouseUp() { DragPart = 0; }

}  // namespace editor
