// Every object kind drawn over the layer at 100 % and 200 %, compared pixel for pixel with its
// reference picture (tests/data/vector/<kind>_<zoom>.png), so that a kind that stops drawing or
// draws elsewhere fails; and user-registered objects drawn on the screen and into the picture.
// With ZEPHOR_WRITE_VECTOR_REFERENCES=1 in the environment the references are written anew
// instead of compared: look at each and check it against the drawing rules before keeping it.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <cstdlib>
#include <string>

#include "rastova/io/vector/RVExtendedObject.h"
#include "rastova/view/vector/tests/VectTestTools.h"

using namespace rv;
using namespace rv::vecttest;

namespace {

class VectPicture : public viewtest::ViewLibraryTest {};

// A user object that fills its box in red and frames it in blue, noting how it was asked.
class TFramedPatch : public TRVExtendedObject {
 public:
  void Draw(platform::TBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, bool drawingAlpha,
            double ZoomX, double ZoomY) override {
    ++Draws;
    LastBox = platform::TRect{X1, Y1, X2, Y2};
    LastZoomX = ZoomX, LastZoomY = ZoomY;
    LastAlpha = drawingAlpha;
    platform::TCanvas& c = Bitmap->Canvas();
    c.Brush.Style = platform::bsSolid;
    c.Brush.Color = platform::clRed;
    c.FillRect(platform::TRect{X1, Y1, X2 + 1, Y2 + 1});
    c.Brush.Color = platform::clBlue;
    c.FrameRect(platform::TRect{X1, Y1, X2 + 1, Y2 + 1});
  }
  int Draws = 0;
  platform::TRect LastBox;
  double LastZoomX = 0, LastZoomY = 0;
  bool LastAlpha = true;
};

// A small picture of four colours for bitmap objects.
void FillQuarters(TRVBitmap& b) {
  b.Allocate(4, 3, rv24RGB);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x)
      *b.GetPPixels_rv24RGB(x, y) =
          x < 2 ? (y < 2 ? TRGB{0, 0, 200} : TRGB{0, 160, 0}) : (y < 2 ? TRGB{200, 0, 0} : TRGB{0, 200, 200});
}

// One object of each kind on a 64 x 48 picture, with settings that show its drawing rules.
int32_t AddSample(TRastovaVect& v, TRVVObjectKind kind) {
  TRVVObjRecord o = Obj(v, kind, 8, 6, 55, 41);
  switch (kind) {
    case rvkLINE:
      o.X1 = 4, o.Y1 = 43, o.X2 = 59, o.Y2 = 6;
      o.PenWidth = 2;
      o.EndShape = rvsOUTARROW;
      o.ShapeWidth = 8, o.ShapeHeight = 10;
      break;
    case rvkBOX:
      o.BrushStyle = platform::bsSolid;
      o.BrushColor = 0x00FFFF;  // yellow
      break;
    case rvkELLIPSE:
      o.BrushStyle = platform::bsSolid;
      o.BrushColor = 0x00C000;
      break;
    case rvkARC:
      o.ArcStartingAngle = 0;
      o.ArcEndingAngle = M_PI;
      o.PenWidth = 2;
      break;
    case rvkTEXT:
    case rvkMEMO:
      o.X1 = 4, o.Y1 = 8, o.X2 = 59, o.Y2 = 40;
      o.PenColor = 0x800000;
      break;
    case rvkRULER:
      // Inches at 100 pixels per inch: a tick every 10 pixels, the label "0" at the start.
      v.SetDPI(100, 100);
      o.X1 = 4, o.Y1 = 35, o.X2 = 59, o.Y2 = 35;
      o.RulerType = rvrtRULER;
      o.RulerUnit = rvuINCHES;
      break;
    case rvkLINELABEL:
      o.X1 = 8, o.Y1 = 40, o.X2 = 40, o.Y2 = 16;
      o.LabelBrushColor = 0xC0FFC0;
      break;
    case rvkANGLE:
      o.AnglePoints[0] = {58, 20}, o.AnglePoints[1] = {8, 20}, o.AnglePoints[2] = {26, 1};
      break;
    default:
      break;
  }
  const int32_t h = v.AddNewObject(o);
  switch (kind) {
    case rvkTEXT:
      v.SetObjText(h, "Ab");
      break;
    case rvkMEMO:
      v.SetObjText(h, "Memo\ntext");
      break;
    case rvkLINELABEL:
      v.SetObjText(h, "L7");
      break;
    case rvkPOLYLINE:
      for (TRVPoint p : {TRVPoint{6, 40}, TRVPoint{20, 8}, TRVPoint{40, 30}, TRVPoint{58, 6}})
        v.AddPolylinePoint(h, p.x, p.y);
      break;
    case rvkBITMAP: {
      TRVBitmap quarters;
      FillQuarters(quarters);
      v.SetObjBitmap(h, &quarters);
      break;
    }
    case rvkEXTENDED: {
      TRVVObjRecord& r = *v.GetObj(h);
      r.ExtendedObject = new TFramedPatch();  // the record owns it
      r.ExtendedObject->Owner = &v;
      r.ExtendedObject->ObjRecord = &r;
      r.ExtendedObject->SetHandle(h);
      break;
    }
    default:
      break;
  }
  return h;
}

bool WritingReferences() {
  const char* e = std::getenv("ZEPHOR_WRITE_VECTOR_REFERENCES");
  return e && std::string(e) == "1";
}

// The layer's window surface over the picture's w x h pixels, as an RGB image.
QImage SurfacePart(TRastovaView& v, int32_t w, int32_t h) {
  QImage out(w, h, QImage::Format_RGB32);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const TRGB p = viewtest::SurfacePixel(v, x, y);
      out.setPixel(x, y, qRgb(p.r, p.g, p.b));
    }
  return out;
}

}  // namespace

TEST_F(VectPicture, EveryKindMatchesItsReferenceAtBothZooms) {
  struct Kind {
    TRVVObjectKind kind;
    const char* name;
  } const kinds[] = {
      {rvkLINE, "line"},     {rvkBOX, "box"},   {rvkELLIPSE, "ellipse"},     {rvkARC, "arc"},
      {rvkBITMAP, "bitmap"}, {rvkTEXT, "text"}, {rvkRULER, "ruler"},         {rvkPOLYLINE, "polyline"},
      {rvkANGLE, "angle"},   {rvkMEMO, "memo"}, {rvkLINELABEL, "linelabel"}, {rvkEXTENDED, "extended"}};
  for (const Kind& k : kinds) {
    for (int zoom : {100, 200}) {
      const std::string name = std::string(k.name) + "_" + std::to_string(zoom);
      SCOPED_TRACE(name);
      TVectInWindow w(128, 96, 64, 48);
      TRastovaVect& v = *w.vect;
      v.WriteObjAntialias(false);
      AddSample(v, k.kind);
      v.SetZoom(zoom);
      v.Update();
      w.Paint();
      const QImage got = SurfacePart(v, 64 * zoom / 100, 48 * zoom / 100);
      const QString file =
          QStringLiteral(ZEPHOR_TEST_DATA_DIR "/vector/%1.png").arg(QString::fromStdString(name));
      if (WritingReferences()) {
        ASSERT_TRUE(got.save(file)) << name;
        continue;
      }
      const QImage want = QImage(file).convertToFormat(QImage::Format_RGB32);
      ASSERT_FALSE(want.isNull()) << name;
      ASSERT_EQ(want.size(), got.size());
      int32_t differing = 0, firstX = -1, firstY = -1;
      for (int32_t y = 0; y < got.height(); ++y)
        for (int32_t x = 0; x < got.width(); ++x)
          if (got.pixel(x, y) != want.pixel(x, y)) {
            if (differing++ == 0) firstX = x, firstY = y;
          }
      EXPECT_EQ(differing, 0) << "first at " << firstX << "," << firstY;
    }
  }
}

TEST_F(VectPicture, RegisteredObjectsDrawThemselvesOnScreenAndIntoThePicture) {
  RegisterExtendedObjectClass("TFramedPatch", [] { return new TFramedPatch(); });
  TVectInWindow w(128, 96, 64, 48);
  TRastovaVect& v = *w.vect;
  const int32_t h = v.AddNewObject(Obj(v, rvkEXTENDED, 10, 8, 29, 19));
  TRVVObjRecord& r = *v.GetObj(h);
  r.ExtendedObject = CreateExtendedObjectByName("TFramedPatch");
  ASSERT_NE(r.ExtendedObject, nullptr);
  r.ExtendedObject->Owner = &v;
  r.ExtendedObject->ObjRecord = &r;
  auto& patch = static_cast<TFramedPatch&>(*r.ExtendedObject);
  constexpr TRGB kRed{0, 0, 255}, kBlue{255, 0, 0}, kWhite{255, 255, 255};
  // On the screen at 100 % and 200 %: the box in view pixels, framed, filled, nothing around.
  for (int zoom : {100, 200}) {
    SCOPED_TRACE(zoom);
    v.SetZoom(zoom);
    v.Update();
    w.Paint();
    const int32_t z = zoom / 100;
    const int32_t l = 10 * z, t = 8 * z, rt = 29 * z, b = 19 * z;  // the far corner is not widened
    EXPECT_EQ(patch.LastBox.Left, l);
    EXPECT_EQ(patch.LastBox.Top, t);
    EXPECT_EQ(patch.LastBox.Right, rt);
    EXPECT_EQ(patch.LastBox.Bottom, b);
    EXPECT_DOUBLE_EQ(patch.LastZoomX, z);
    EXPECT_DOUBLE_EQ(patch.LastZoomY, z);
    EXPECT_FALSE(patch.LastAlpha);
    EXPECT_TRUE(viewtest::SurfacePixel(v, l, t) == kBlue);
    EXPECT_TRUE(viewtest::SurfacePixel(v, rt, b) == kBlue);
    EXPECT_TRUE(viewtest::SurfacePixel(v, l + 2, t + 2) == kRed);
    EXPECT_TRUE(viewtest::SurfacePixel(v, l - 1, t) == kWhite);
    EXPECT_TRUE(viewtest::SurfacePixel(v, rt + 1, b + 1) == kWhite);
  }
  // Flattened into the picture, in picture pixels.
  v.SetZoom(100);
  v.CopyObjectsToBack(false);
  TRVBitmap& img = *v.GetRVBitmap();
  EXPECT_TRUE(*img.GetPPixels_rv24RGB(10, 8) == kBlue);
  EXPECT_TRUE(*img.GetPPixels_rv24RGB(29, 19) == kBlue);
  EXPECT_TRUE(*img.GetPPixels_rv24RGB(20, 14) == kRed);
  EXPECT_TRUE(*img.GetPPixels_rv24RGB(30, 14) == kWhite);
  EXPECT_TRUE(*img.GetPPixels_rv24RGB(9, 8) == kWhite);
}
