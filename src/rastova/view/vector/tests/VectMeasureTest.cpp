// Measuring: units, the selection length, the measure hint and its events.
#include <gtest/gtest.h>

#include <QLocale>
#include <cmath>

#include "rastova/view/vector/tests/VectTestTools.h"

using namespace rv;
using namespace rv::vecttest;

TEST_F(VectMeasure, ScalesPerUnit) {
  TVectInWindow w(20, 20, 20, 20);
  TRastovaVect& v = *w.vect;
  v.SetDPI(300, 150);
  const struct {
    TRVUnits unit;
    double perInchX;  // units per inch
  } cases[] = {{rvuINCHES, 1},          {rvuKM, 2.54 / 100000}, {rvuMETERS, 0.0254},      {rvuCENTIMETERS, 2.54},
               {rvuMILLIMETERS, 25.4},  {rvuMICRONS, 25400},    {rvuNANOMETERS, 25400000}, {rvuFEET, 1.0 / 12},
               {rvuYARDS, 1.0 / 36},    {rvuMILES, 1.0 / 63360}};
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.unit));
    v.WriteMUnit(c.unit);
    EXPECT_NEAR(v.MeasureScaleX / (c.perInchX / 300), 1.0, 1e-12);
    EXPECT_NEAR(v.MeasureScaleY / (c.perInchX / 150), 1.0, 1e-12);
    EXPECT_EQ(v.NewObjectTemplate.RulerUnit, c.unit);
  }
  v.WriteMUnit(rvuPIXELS);
  EXPECT_EQ(v.MeasureScaleX, 1.0);
  v.MeasureBaseScale = 2;
  v.SetDpiX(300);
  EXPECT_EQ(v.MeasureScaleX, 2.0);
  v.SetDpiX(0);  // ignored
  v.MeasureBaseScale = 1;
  v.WriteMUnit(rvuMILLIMETERS);
  EXPECT_NEAR(v.MeasureScaleX, 25.4 / 300, 1e-15);
}

TEST_F(VectMeasure, NumbersUseTheLocaleSeparatorAndTheUnitSigns) {
  TVectInWindow w(20, 20, 20, 20);
  TRastovaVect& v = *w.vect;
  const std::string sep = QLocale::system().decimalPoint().toLatin1().toStdString();
  EXPECT_EQ(v.FormatMeasure(12.3456), "12" + sep + "35");
  v.WriteFloatDigits(0);
  EXPECT_EQ(v.FormatMeasure(89.9999999), "90");
  v.WriteFloatDigits(2);
  v.WriteFloatPrecision(3);
  EXPECT_EQ(v.FormatMeasure(123456.0).find(sep + "00"), std::string::npos);  // too many digits: general form
}

TEST_F(VectMeasure, HintValuesAndEvents) {
  TVectInWindow w(120, 80, 40, 40);
  TRastovaVect& v = *w.vect;
  w.Paint();
  std::string shown;
  double value = -1;
  TRVVValType type = rvvtAREA;
  v.OnPresentMeasure = [&](TRastovaVect*, std::string& text, double val, TRVVValType t) {
    shown = text, value = val, type = t;
  };
  v.HintVisible = true;
  v.ObjectInteract = rvoiDragLength;
  v.FDownInImageX = 10, v.FDownInImageY = 12;
  v.DrawMeasureHint(10, 12);  // the differences count inclusively
  EXPECT_NEAR(value, std::sqrt(2.0), 1e-12);
  EXPECT_EQ(type, rvvtLENGTH);
  EXPECT_EQ(shown.substr(shown.size() - 7), " pixels");
  // A zero value shows the last one: a selection length without a selection.
  v.ObjectInteract = rvoiMeasureLength | rvoiDragLength;
  v.RedrawMeasureHint(30, 30);
  EXPECT_NEAR(value, std::sqrt(2.0), 1e-12);
  // The area text ends in the code page's superscript two.
  v.ObjectInteract = rvoiMeasureArea;
  v.RedrawMeasureHint(30, 30);
  EXPECT_EQ(type, rvvtAREA);
  EXPECT_EQ(shown.back(), '\xB2');
  // OnMeasureHint runs first and may rewrite the text.
  v.OnMeasureHint = [](TRastovaVect*, std::string& text, double) { text = "X"; };
  v.RedrawMeasureHint(30, 30);
  EXPECT_EQ(shown, "X");
  v.HintVisible = false;
}

TEST_F(VectMeasure, EraseRestoresEverySurfacePixel) {
  TVectInWindow w(120, 80, 40, 40);
  TRastovaVect& v = *w.vect;
  w.Paint();
  const platform::TBitmap& s = v.Surface();
  std::vector<platform::TColor> before;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) before.push_back(s.PixelColor(x, y));
  v.HintVisible = true;
  v.ObjectInteract = rvoiDragLength;
  v.DrawMeasureHint(110, 70);  // pushed back inside the view
  EXPECT_LE(v.HintX + v.HintBackground->Width(), 120);
  int changed = 0;
  size_t i = 0;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) changed += s.PixelColor(x, y) != before[i++];
  EXPECT_GT(changed, 50);
  v.EraseMeasureHint();
  i = 0;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) ASSERT_EQ(s.PixelColor(x, y), before[i++]) << x << "," << y;
  EXPECT_EQ(v.HintBackground->Width(), 1);
  v.HintVisible = false;
}

TEST_F(VectMeasure, SelectionLength) {
  TVectInWindow w(60, 60, 60, 60);
  TRastovaVect& v = *w.vect;
  TRVSelectionPolygon poly;
  poly.Points = {{0, 0}, {30, 0}, {30, 40}, {0xFFFFF, 0xFFFFF}, {0, 0}, {10, 0}};
  v.FSelectionPolygon = &poly;
  v.FPolySelecting = false;
  // The triangle closed at its separator (30 + 40 + 50), then the open pair closed at the end.
  EXPECT_NEAR(v.GetSelectionLength(), 120 + 10 + 10, 1e-9);
  poly.Points.resize(1);
  EXPECT_EQ(v.GetSelectionLength(), 0);
  v.FSelectionPolygon = nullptr;
}
