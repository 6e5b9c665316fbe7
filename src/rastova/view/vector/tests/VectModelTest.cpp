// The object store: handles, properties, deep copies, shared bitmaps and the template.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "rastova/view/vector/RVVectStreams.h"
#include "rastova/view/vector/tests/VectTestTools.h"

using namespace rv;
using namespace rv::vecttest;

namespace {
std::unique_ptr<TRVBitmap> Solid(int32_t w, int32_t h, uint8_t v) {
  auto b = std::make_unique<TRVBitmap>(w, h, rv24RGB);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) *b->GetPPixels_rv24RGB(x, y) = TRGB{v, v, v};
  return b;
}
}  // namespace

TEST_F(VectModel, PropertyAccessors) {
  TVectInWindow w(40, 40, 40, 40);
  TRastovaVect& v = *w.vect;
  const int32_t line = v.AddNewObject(Obj(v, rvkLINE, 30, 4, 30, 9));
  const int32_t back = v.AddNewObject(Obj(v, rvkLINE, 20, 0, 5, 0));
  const int32_t box = v.AddNewObject(Obj(v, rvkBOX, 5, 5, 20, 20));
  EXPECT_EQ(v.GetObjWidth(line), 1);
  EXPECT_EQ(v.GetObjHeight(line), 6);
  EXPECT_EQ(v.GetObjWidth(back), 16);  // drawn right to left
  v.SetObjLeft(box, 10);
  EXPECT_EQ(v.GetObj(box)->X1, 10);
  EXPECT_EQ(v.GetObj(box)->X2, 25);
  v.SetObjWidth(box, 4);
  EXPECT_EQ(v.GetObj(box)->X2, 13);
  const int32_t text = v.AddNewObject(Obj(v, rvkTEXT, 0, 0, 10, 10));
  v.SetObjText(text, "one\r\ntwo\r\n");
  EXPECT_EQ(v.GetObjText(text), "one\ntwo\n");
  v.SetObjFontName(text, std::string(40, 'F'));
  EXPECT_EQ(v.GetObjFontName(text), std::string(31, 'F'));
  v.SetObjFontAngle(text, -12.39);
  EXPECT_EQ(v.GetObj(text)->LogFont->lfEscapement, -123);
  platform::TFontStyles bold;
  bold.Bold = true;
  v.SetObjFontStyles(text, bold);
  EXPECT_EQ(v.GetObj(text)->LogFont->lfWeight, 700);
  EXPECT_TRUE(v.GetObjFontStyles(text).Bold);
  // A line has no font: reads give 0 and writes are ignored.
  EXPECT_EQ(v.GetObjFontHeight(line), 0);
  v.SetObjFontHeight(line, 30);
  EXPECT_FALSE(v.GetObj(line)->LogFont.has_value());
  // Kinds that show text take the template's font when they get one.
  v.SetObjKind(line, rvkRULER);
  EXPECT_EQ(v.GetObjFontName(line), "Arial");
}

TEST_F(VectModel, HandlesAreChecked) {
  TVectInWindow w(20, 20, 20, 20);
  TRastovaVect& v = *w.vect;
  EXPECT_EQ(v.GetObj(-2), nullptr);  // no last object yet
  EXPECT_EQ(v.GetObj(-1), &v.NewObjectTemplate);
  const int32_t h = v.AddNewObject(Obj(v, rvkBOX, 1, 1, 5, 5));
  EXPECT_EQ(v.GetObj(-2), v.GetObj(h));
  for (int32_t bad : {-3, -4, -5, 1, 7, INT32_MAX, INT32_MIN}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(v.GetObj(bad), nullptr);
    EXPECT_EQ(v.GetObjWidth(bad), 0);
    EXPECT_EQ(v.GetObjText(bad), "");
    EXPECT_EQ(v.GetObjBitmap(bad), nullptr);
    v.SetObjLeft(bad, 3);
    v.SetObjText(bad, "x");
    v.AddPolylinePoint(bad, 1, 1);
    v.SetObjStyle(bad, 0);
  }
  EXPECT_EQ(v.GetObj(h)->X1, 1);
  // Poly-line points outside 0 .. count - 1 leave the result alone, negative ones too.
  const int32_t p = v.AddNewObject(Obj(v, rvkPOLYLINE, 0, 0, 0, 0));
  v.AddPolylinePoint(p, 2, 3);
  for (int32_t index : {-1, 1, INT32_MIN}) {
    platform::TPoint pt{77, 88};
    v.GetObjPolylinePoints(p, index, pt);
    EXPECT_EQ(pt.X, 77);
    EXPECT_EQ(pt.Y, 88);
  }
}

TEST_F(VectModel, StoreGrowsByChunks) {
  TVectInWindow w(20, 20, 20, 20);
  TRastovaVect& v = *w.vect;
  const TRVVObjRecord o = Obj(v, rvkLINE, 0, 0, 1, 1);
  v.AddNewObject(o);
  EXPECT_EQ(v.ObjectsCapacity(), 522);
  while (v.ObjectsCount() < 512) v.AddNewObject(o);
  EXPECT_EQ(v.ObjectsCapacity(), 522);
  v.AddNewObject(o);  // the 513th
  EXPECT_EQ(v.ObjectsCapacity(), 1034);
  EXPECT_EQ(v.ObjectOrderCount(), 513);
  EXPECT_EQ(v.ObjectOrder[512], 512);
}

namespace {
class TModelDot : public TRVExtendedObject {};
}  // namespace

// Every copy of an extended object gets its own instance, and each instance keeps naming its own
// record when the store grows and its records move; a record of the store copied into the same
// store at the moment it grows is read before it moves.
TEST_F(VectModel, ExtendedObjectsAreClonedAndFollowTheirRecords) {
  RegisterExtendedObjectClass("TModelDot", [] { return new TModelDot(); });
  TVectInWindow w(20, 20, 20, 20);
  TRastovaVect& v = *w.vect;
  const int32_t first = v.AddNewObject(Obj(v, rvkEXTENDED, 0, 0, 4, 4));
  v.GetObj(first)->ExtendedObject = new TModelDot();
  v.GetObj(first)->Text = "dot";
  while (v.ObjectsCount() < 512) v.AddNewObject(*v.GetObj(first));
  v.AddNewObject(*v.GetObj(first));  // the store grows here
  ASSERT_EQ(v.ObjectsCount(), 513);
  EXPECT_EQ(v.GetObjText(512), "dot");
  std::vector<TRVExtendedObject*> seen;
  for (int32_t h = 0; h < v.ObjectsCount(); ++h) {
    TRVExtendedObject* e = v.GetObjExtendedObject(h);
    ASSERT_NE(e, nullptr) << h;
    EXPECT_EQ(e->ObjRecord, v.GetObj(h)) << h;
    if (h > 0) {
      EXPECT_EQ(e->Handle, h);
    }
    seen.push_back(e);
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());
}

TEST_F(VectModel, CopiesAreDeepAndCarryNoUserData) {
  TVectInWindow w(20, 20, 20, 20);
  TRastovaVect& v = *w.vect;
  TRVVObjRecord src = Obj(v, rvkTEXT, 9, 9, 1, 1);
  src.Text = "hello";
  src.Name = "n";
  src.UserDataLen = 8;
  src.UserData = std::malloc(8);
  src.CurvePoints = {{0, 0}, {1, 1}};
  src.CurvePointsCount = 2;
  src.SoftShadow.Enabled = true;
  const int32_t a = v.AddNewObject(src);
  std::free(src.UserData);
  const TRVVObjRecord& c = *v.GetObj(a);
  EXPECT_EQ(c.UserData, nullptr);
  EXPECT_EQ(c.UserDataLen, 0);
  EXPECT_EQ(c.Text, "hello");
  EXPECT_EQ(c.CurvePointsCount, 2);
  EXPECT_TRUE(c.SoftShadow.Enabled);
  EXPECT_EQ(c.X1, 1);  // box-like kinds are stored ordered
  EXPECT_EQ(c.X2, 9);
  // A line keeps its direction; a poly-line gets its own points.
  TRVVObjRecord line = Obj(v, rvkLINE, 9, 9, 1, 1);
  EXPECT_EQ(v.GetObj(v.AddNewObject(line))->X1, 9);
  const int32_t p = v.AddNewObject(Obj(v, rvkPOLYLINE, 0, 0, 0, 0));
  v.AddPolylinePoint(p, 3, 7);
  v.AddPolylinePoint(p, 3, 7);  // the same point again: not added
  v.AddPolylinePoint(p, 7, 3);
  EXPECT_EQ(v.GetObjPolylinePointsCount(p), 2);
  const int32_t q = v.AddNewObject(*v.GetObj(p));
  v.GetObj(p)->PolyPoints[0] = {100, 100};
  EXPECT_EQ(v.GetObj(q)->PolyPoints[0].x, 3);
  EXPECT_EQ(v.GetObj(q)->PolyPointsCount, 2);
}

TEST_F(VectModel, SharedBitmapsAreCountedAndPacked) {
  TVectInWindow w(20, 20, 20, 20);
  TRastovaVect& v = *w.vect;
  const int32_t slotsBefore = v.SharedBitmapsCount();  // the template's icon
  auto b1 = Solid(8, 6, 40), b2 = Solid(8, 6, 40), b3 = Solid(8, 6, 41);
  const int32_t a = v.AddNewObject(Obj(v, rvkBITMAP, 0, 0, 7, 5));
  const int32_t b = v.AddNewObject(Obj(v, rvkBITMAP, 0, 0, 7, 5));
  const int32_t c = v.AddNewObject(Obj(v, rvkBITMAP, 0, 0, 7, 5));
  v.SetObjBitmap(a, b1.get());
  v.SetObjBitmap(b, b2.get());
  v.SetObjBitmap(c, b3.get());
  EXPECT_EQ(v.GetObj(a)->BitmapIdx, v.GetObj(b)->BitmapIdx);
  EXPECT_NE(v.GetObj(a)->BitmapIdx, v.GetObj(c)->BitmapIdx);
  EXPECT_EQ(v.SharedBitmaps[size_t(v.GetObj(a)->BitmapIdx)].RefCount, 2);
  // One alpha plane for both.
  v.GetObjBitmapAlpha(a)->SetAlpha(1, 1, 7);
  EXPECT_EQ(v.GetObjBitmapAlpha(b)->GetAlpha(1, 1), 7);
  // A copy shares the slot; releasing all but one keeps the bitmap.
  const int32_t d = v.AddNewObject(*v.GetObj(a));
  EXPECT_EQ(v.SharedBitmaps[size_t(v.GetObj(d)->BitmapIdx)].RefCount, 3);
  v.SetObjBitmap(a, nullptr);
  v.SetObjBitmap(b, nullptr);
  EXPECT_EQ(v.GetObjBitmap(d)->GetWidth(), 8);
  // Freeing the last user frees the slot; packing closes the gap and renumbers.
  const int32_t freed = v.GetObj(d)->BitmapIdx;
  v.SetObjBitmap(d, nullptr);
  EXPECT_EQ(v.GetSharedBitmap(freed), nullptr);
  const TRGB cColour = *v.GetObjBitmap(c)->GetPPixels_rv24RGB(0, 0);
  v.PackSharedBitmaps();
  EXPECT_EQ(v.SharedBitmapsCount(), slotsBefore + 1);
  EXPECT_TRUE(*v.GetObjBitmap(c)->GetPPixels_rv24RGB(0, 0) == cColour);
  EXPECT_NE(v.GetObjBitmap(-1), nullptr);
  // With sharing off equal bitmaps get their own slots.
  v.ShareBitmaps = false;
  const int32_t e = v.AddNewObject(Obj(v, rvkBITMAP, 0, 0, 7, 5));
  v.SetObjBitmap(e, b3.get());
  EXPECT_NE(v.GetObj(e)->BitmapIdx, v.GetObj(c)->BitmapIdx);
}

TEST_F(VectModel, BitmapsShareASlotOnlyWhenEveryRowAndTheAlphaAreEqual) {
  // Finding an equal bitmap first looks at part of one row: a difference anywhere else, in
  // bitmaps too narrow for that look, or in the alpha must still keep the bitmaps apart.
  TVectInWindow w(20, 20, 20, 20);
  TRastovaVect& v = *w.vect;
  // Whole rows are written, the padding of a one-pixel row too, since rows compare whole.
  auto pattern = [](int32_t wd, int32_t ht) {
    auto b = std::make_unique<TRVBitmap>(wd, ht, rv24RGB);
    for (int32_t y = 0; y < ht; ++y)
      for (int32_t i = 0; i < b->GetRowLen(); ++i) b->GetScanLine(y)[i] = uint8_t(i * 7 + y * 3);
    return b;
  };
  auto pixel = [](int32_t x, int32_t y) {
    return [x, y](TRVBitmap& b) { b.GetPPixels_rv24RGB(x, y)->g ^= 1; };
  };
  auto alpha = [](int32_t x, int32_t y) {
    return [x, y](TRVBitmap& b) { b.AlphaBitmap()->GetScanLine(y)[x] = 7; };
  };
  struct Case {
    const char* what;
    int32_t w, h;
    bool alphaOnBoth;
    std::function<void(TRVBitmap&)> change;
    bool shared;
  } const cases[] = {
      {"equal", 200, 40, false, nullptr, true},
      {"top row", 200, 40, false, pixel(5, 0), false},
      {"middle row past the first 256 bytes", 200, 40, false, pixel(150, 20), false},
      {"middle row, first pixel", 200, 40, false, pixel(0, 20), false},
      {"last row", 200, 40, false, pixel(199, 39), false},
      {"one pixel wide, equal", 1, 5, false, nullptr, true},
      {"one pixel wide, last row", 1, 5, false, pixel(0, 4), false},
      {"alpha on one only", 8, 6, false, [](TRVBitmap& b) { b.AlphaBitmap(); }, false},
      {"equal alpha", 8, 6, true, nullptr, true},
      {"alpha differs", 8, 6, true, alpha(3, 5), false},
  };
  const int32_t a = v.AddNewObject(Obj(v, rvkBITMAP, 0, 0, 7, 5));
  const int32_t b = v.AddNewObject(Obj(v, rvkBITMAP, 0, 0, 7, 5));
  for (const Case& c : cases) {
    auto first = pattern(c.w, c.h), second = pattern(c.w, c.h);
    if (c.alphaOnBoth) first->AlphaBitmap(), second->AlphaBitmap();
    if (c.change) c.change(*second);
    v.SetObjBitmap(a, first.get());
    v.SetObjBitmap(b, second.get());
    EXPECT_EQ(v.GetObj(a)->BitmapIdx == v.GetObj(b)->BitmapIdx, c.shared) << c.what;
    // A slot's own bitmap attached again is found at once.
    v.SetObjBitmap(b, v.GetObjBitmap(a));
    EXPECT_EQ(v.GetObj(a)->BitmapIdx, v.GetObj(b)->BitmapIdx) << c.what;
    v.SetObjBitmap(a, nullptr);
    v.SetObjBitmap(b, nullptr);
  }
}

TEST_F(VectModel, TemplateAndRemoveAllObjects) {
  TVectInWindow w(20, 20, 20, 20);
  TRastovaVect& v = *w.vect;
  const TRVVObjRecord& t = v.NewObjectTemplate;
  EXPECT_EQ(t.X2, 63);
  EXPECT_EQ(t.Style, 15);
  EXPECT_EQ(t.CurveCharRot, -10);
  EXPECT_EQ(t.RulerType, rvrtQUOTECENTER);
  EXPECT_EQ(t.PenColor, platform::clWindowText);
  ASSERT_TRUE(t.LogFont.has_value());
  EXPECT_EQ(LogFontFaceName(*t.LogFont), "Arial");
  ASSERT_NE(v.GetObjBitmap(-1), nullptr);
  EXPECT_EQ(v.GetObjBitmap(-1)->GetWidth(), 64);
  const TRGB icon = *v.GetObjBitmap(-1)->GetPPixels_rv24RGB(30, 30);
  auto other = Solid(4, 4, 9);
  for (int i = 0; i < 3; ++i) {
    const int32_t h = v.AddNewObject(Obj(v, rvkBITMAP, 0, 0, 3, 3));
    v.SetObjBitmap(h, other.get());
  }
  v.AddNewObject(Obj(v, rvkBITMAP, 0, 0, 3, 3));  // shares the template's icon
  v.AddSelObject(0);
  int changed = 0;
  v.OnVectorialChanged = [&](TRastovaVect*) { ++changed; };
  v.RemoveAllObjects();
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(v.ObjectsCount(), 0);
  EXPECT_EQ(v.SelObjectsCount(), 0);
  EXPECT_EQ(v.SharedBitmapsCount(), 1);
  EXPECT_EQ(v.NewObjectTemplate.BitmapIdx, 0);
  EXPECT_TRUE(*v.GetObjBitmap(-1)->GetPPixels_rv24RGB(30, 30) == icon);
  // The next bitmap object made from the template shows the icon.
  TRVVObjRecord next = v.NewObjectTemplate;
  next.Kind = rvkBITMAP;
  const int32_t h = v.AddNewObject(next);
  EXPECT_EQ(v.GetObjBitmap(h), v.GetObjBitmap(-1));
}

TEST_F(VectModel, FontRecordLayout) {
  LOGFONTA f;
  SetLogFontFaceName(f, std::string(40, 'a'));
  EXPECT_EQ(f.lfFaceName[30], 'a');
  EXPECT_EQ(f.lfFaceName[31], 0);
  f.lfWeight = 700;
  f.lfUnderline = 1;
  EXPECT_EQ(LogFontStyleBits(f), fsBold | fsUnderline);
  f.lfEscapement = 450;
  f.lfQuality = 3;
  f.lfHeight = -20;
  platform::TFont font;
  LogFontToFont(f, font);
  EXPECT_EQ(font.Escapement, 450);
  EXPECT_EQ(font.Quality, 3);
  EXPECT_EQ(font.Height(), -20);
  EXPECT_TRUE(font.Style.Bold && font.Style.Underline && !font.Style.Italic);
}

TEST_F(VectModel, EventTriggers) {
  TVectInWindow w(20, 20, 20, 20);
  TRastovaVect& v = *w.vect;
  int changed = 0, grip = -1;
  v.OnVectorialChanged = [&](TRastovaVect*) { ++changed; };
  v.OnObjectMoveResize = [&](TRastovaVect*, int32_t, int32_t g, int32_t&, int32_t&) { grip = g; };
  v.DoVectorialChanged();
  // After a change the once-trigger fires one time.
  v.DoVectorialChangedOnce();
  v.DoVectorialChangedOnce();
  EXPECT_EQ(changed, 2);
  int32_t ox = 0, oy = 0;
  v.DoObjectMoveResize(0, 0x80 | 5, ox, oy);
  EXPECT_EQ(grip, 5);
}
