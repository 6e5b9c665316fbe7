// Keys of the vector layer and in-place editing of texts and memos, driven by key events; copying
// a layer, the area of the selection.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <cmath>
#include <cstring>

#include "platform/ui/Keys.h"
#include "rastova/core/RVMask.h"
#include "rastova/view/text/RVEdit.h"
#include "rastova/view/text/RVTextControl.h"
#include "rastova/view/vector/RVVectStreams.h"
#include "rastova/view/vector/tests/VectTestTools.h"

namespace rv::vecttest {
namespace {

class VectEdit : public viewtest::ViewLibraryTest {};

// The layer in a shown, active window with the keyboard focus, so that editors can take it.
struct TShownVect : TVectInWindow {
  TShownVect() : TVectInWindow(200, 200, 150, 150) {
    parent.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&parent));
    QApplication::setActiveWindow(&parent);
    QCoreApplication::processEvents();
    vect->SetFocus();
  }
};

int32_t AddText(TRastovaVect& v, const std::string& text, int32_t x1 = 10, int32_t y1 = 20, int32_t x2 = 60,
                int32_t y2 = 40) {
  TRVVObjRecord o = Obj(v, rvkTEXT, x1, y1, x2, y2);
  o.Text = text;
  return v.AddNewObject(o);
}

void SelectOnly(TRastovaVect& v, std::initializer_list<int32_t> handles) {
  v.UnSelAllObjects();
  for (int32_t h : handles) v.AddSelObject(h);
}

// F2 on the object alone, then the typed characters at the end of its text.
void EditAndType(TRastovaVect& v, int32_t h, const char* typed) {
  SelectOnly(v, {h});
  QTest::keyClick(&v, Qt::Key_F2);
  QTest::keyClick(v.TextEdit.get(), Qt::Key_End);
  QTest::keyClicks(v.TextEdit.get(), typed);
}

TRVCharFormat Format(int32_t height, uint8_t style, int32_t refs) {
  TRVCharFormat f;
  std::memset(&f, 0, sizeof f);
  SetCharFormatFontName(f, "Arial");
  f.FontHeight = height;
  f.FontStyle = style;
  f.RefCount = refs;
  return f;
}

TEST_F(VectEdit, F2OpensTheEditorOfTheFirstSelectedTextOrMemoOnly) {
  TShownVect w;
  TRastovaVect& v = *w.vect;
  v.SetZoom(200);
  v.SetViewXY(0, 0);
  const int32_t box = v.AddNewObject(Obj(v, rvkBOX, 5, 5, 30, 30));
  const int32_t text = AddText(v, "Hello");
  TRVVObjRecord locked = Obj(v, rvkTEXT, 70, 70, 90, 80);
  locked.Text = "fixed";
  locked.TextEditable = false;
  const int32_t fixed = v.AddNewObject(locked);
  const int32_t memo = v.AddNewObject(Obj(v, rvkMEMO, 20, 60, 60, 90));
  // Each case starts from the state the one before left; the memo's typing must go back to the
  // memo when F2 opens the text next.
  const struct {
    const char* what;
    std::vector<int32_t> selection;
    int32_t edited;
    const char* typed;
  } cases[] = {{"a box selected before the text", {box, text}, -1, ""},
               {"a text that cannot be edited", {fixed}, -1, ""},
               {"a memo", {memo, text}, memo, "Q"},
               {"a text", {text, box}, text, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    v.UnSelAllObjects();
    for (int32_t h : c.selection) v.AddSelObject(h);
    QTest::keyClick(&v, Qt::Key_F2);
    EXPECT_EQ(v.EditingObject, c.edited);
    EXPECT_EQ(v.IsEditingText(), c.edited >= 0);
    EXPECT_EQ(v.TextEdit->isVisible(), c.edited == text);
    EXPECT_EQ(v.MemoEdit->isVisible(), c.edited == memo);
    if (*c.typed) QTest::keyClicks(v.MemoEdit.get(), c.typed);
  }
  EXPECT_EQ(v.GetObjText(memo), "Q");
  EXPECT_EQ(v.GetObjText(text), "Hello");
  // At 200 % the text box (10, 20)-(60, 40) covers (20, 40)-(120, 80) of the control.
  EXPECT_EQ(v.TextEdit->geometry(), QRect(20, 40, 100, 40));
  EXPECT_EQ(v.TextEdit->text(), QString("Hello"));
  EXPECT_TRUE(v.TextEdit->hasFocus());
  // The layer given the focus hands it on to the open editor.
  v.setFocus();
  QCoreApplication::processEvents();
  EXPECT_TRUE(v.TextEdit->hasFocus());
}

TEST_F(VectEdit, EscapeRevertsTheLastChangeAndEndsTheEdit) {
  TShownVect w;
  TRastovaVect& v = *w.vect;
  const int32_t h = AddText(v, "Hello");
  int32_t changed = 0, deactivated = 0;
  v.OnVectorialChanged = [&](TRastovaVect*) { ++changed; };
  v.OnDeactivateTextEdit = [&](TRastovaVect*) { ++deactivated; };
  // Typing nothing must not revert to what the editor held before the object's text was given.
  for (const char* typed : {"XY", ""}) {
    SCOPED_TRACE(typed);
    SelectOnly(v, {h});
    QTest::keyClick(&v, Qt::Key_F2);
    ASSERT_TRUE(v.TextEdit->isVisible());
    QTest::keyClicks(v.TextEdit.get(), typed);
    EXPECT_EQ(v.TextEdit->text(), QString("Hello") + typed);
    QTest::keyClick(v.TextEdit.get(), Qt::Key_Escape);
    EXPECT_EQ(v.GetObjText(h), "Hello");
    EXPECT_EQ(v.EditingObject, -1);
    EXPECT_FALSE(v.TextEdit->isVisible());
  }
  EXPECT_EQ(deactivated, 2);
  EXPECT_EQ(changed, 2);
  EXPECT_TRUE(v.hasFocus());
}

TEST_F(VectEdit, EscapeAtTheLayerKeepsTheTypingAndDrawsTheTextAgain) {
  TShownVect w;
  TRastovaVect& v = *w.vect;
  TRVVObjRecord o = Obj(v, rvkTEXT, 10, 20, 90, 50);
  o.Text = "Hello";
  const int32_t h = v.AddNewObject(o);
  EditAndType(v, h, "W");
  w.Paint();
  // While edited the object is only framed: the inside of its box (clear of the grips) stays
  // white.
  EXPECT_EQ(NonWhite(v.Surface(), 16, 26, 84, 45), 0);
  QTest::keyClick(&v, Qt::Key_Escape);
  EXPECT_EQ(v.EditingObject, -1);
  EXPECT_EQ(v.GetObjText(h), "HelloW");
  w.Paint();
  EXPECT_GT(NonWhite(v.Surface(), 16, 26, 84, 45), 0);
}

TEST_F(VectEdit, EnterKeepsTheTextInTheCodePageAndFiresTheChange) {
  TShownVect w;
  TRastovaVect& v = *w.vect;
  const int32_t h = AddText(v, "Hello");
  int32_t changed = 0;
  std::vector<uint16_t> seen;
  v.OnVectorialChanged = [&](TRastovaVect*) { ++changed; };
  v.OnTextKeyDown = [&](QWidget* sender, uint16_t& key, platform::TShiftState) {
    EXPECT_EQ(sender, v.TextEdit.get());
    seen.push_back(key);
  };
  EditAndType(v, h, "x");
  // E acute and the euro sign have bytes of their own; alpha has none.
  v.TextEdit->insert(QString::fromUtf8("\xC3\xA9\xE2\x82\xAC\xCE\xB1"));
  QTest::keyClick(v.TextEdit.get(), Qt::Key_Return);
  EXPECT_EQ(v.GetObjText(h), "Hellox\xE9\x80?");
  EXPECT_EQ(v.EditingObject, -1);
  EXPECT_FALSE(v.TextEdit->isVisible());
  EXPECT_GE(changed, 1);
  EXPECT_TRUE(v.ObjectsChanged);
  EXPECT_EQ(seen, (std::vector<uint16_t>{platform::VK_END, 'X', platform::VK_RETURN}));
}

TEST_F(VectEdit, AutoSizedTextWidensWithTheTypedTextAtAnyZoom) {
  TShownVect w;
  TRastovaVect& v = *w.vect;
  TRVVObjRecord o = Obj(v, rvkTEXT, 10, 20, 20, 40);
  o.Text = "W";
  o.TextAutoSize = true;
  const int32_t h = v.AddNewObject(o);
  v.SetObjFontHeight(h, -16);
  int32_t widths[2] = {0, 0};
  const double zooms[2] = {100, 200};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(zooms[i]);
    v.SetZoom(zooms[i]);
    v.SetObjText(h, "W");
    v.SetObjWidth(h, 10);
    EditAndType(v, h, "WWWWWWW");
    const int32_t typing = v.Objects[size_t(h)].X2 - v.Objects[size_t(h)].X1;
    QTest::keyClick(v.TextEdit.get(), Qt::Key_Return);
    widths[i] = v.Objects[size_t(h)].X2 - v.Objects[size_t(h)].X1;
    // Eight 16-pixel capitals: far wider than the box; while typing one "M" more.
    EXPECT_GT(widths[i], 60);
    EXPECT_GT(typing, widths[i]);
  }
  // The font follows the zoom and the width is taken back to picture pixels.
  EXPECT_NEAR(widths[1], widths[0], widths[0] * 0.15);
}

TEST_F(VectEdit, MemoEditKeepsEachCharactersFormat) {
  TShownVect w;
  TRastovaVect& v = *w.vect;
  TRVVObjRecord m = Obj(v, rvkMEMO, 10, 10, 120, 80);
  m.Text = "abc";
  const TRVCharFormat bold = Format(-12, rvfsBold, 1), italic = Format(-16, rvfsItalic, 2),
                      unused = Format(-30, 0, 0);
  m.MemoCharFormats = {bold, italic, unused};
  m.MemoCharFormatIdx = {0, 1, 1};
  const int32_t h = v.AddNewObject(m);
  bool activated = false;
  v.OnActivateTextEdit = [&](TRastovaVect*) { activated = true; };
  SelectOnly(v, {h});
  QTest::keyClick(&v, Qt::Key_F2);
  ASSERT_TRUE(v.MemoEdit->isVisible());
  EXPECT_TRUE(activated);
  EXPECT_TRUE(v.MemoEdit->hasFocus());
  EXPECT_EQ(v.MemoEdit->FTextLength, 3);
  QTest::keyClicks(v.MemoEdit.get(), "X");
  QTest::keyClick(v.MemoEdit.get(), Qt::Key_Escape);
  EXPECT_EQ(v.EditingObject, -1);
  EXPECT_FALSE(v.MemoEdit->isVisible());
  EXPECT_EQ(v.MemoEdit->FText, nullptr);
  const TRVVObjRecord& r = v.Objects[size_t(h)];
  ASSERT_EQ(r.Text, "Xabc");
  ASSERT_EQ(r.MemoCharFormatIdx.size(), 4u);
  auto formatOf = [&](size_t i) -> const TRVCharFormat& {
    const int32_t k = r.MemoCharFormatIdx[i];
    EXPECT_GE(k, 0);
    EXPECT_LT(size_t(k), r.MemoCharFormats.size());
    return r.MemoCharFormats[size_t(std::clamp<int32_t>(k, 0, int32_t(r.MemoCharFormats.size()) - 1))];
  };
  EXPECT_TRUE(SameCharFormat(formatOf(1), bold));
  EXPECT_TRUE(SameCharFormat(formatOf(2), italic));
  EXPECT_TRUE(SameCharFormat(formatOf(3), italic));
  // The format no character uses was packed away.
  for (const TRVCharFormat& f : r.MemoCharFormats) EXPECT_FALSE(SameCharFormat(f, unused));
  // The memo is drawn again from its record: the text shows.
  w.Paint();
  EXPECT_GT(NonWhite(v.Surface(), 10, 10, 120, 80), 0);
}

TEST_F(VectEdit, ResizeEndsTheEditKeepingTheText) {
  TShownVect w;
  TRastovaVect& v = *w.vect;
  const int32_t h = AddText(v, "Hello");
  EditAndType(v, h, "Z");
  v.resize(180, 190);
  QCoreApplication::processEvents();
  EXPECT_EQ(v.EditingObject, -1);
  EXPECT_FALSE(v.TextEdit->isVisible());
  EXPECT_EQ(v.GetObjText(h), "HelloZ");
}

TEST_F(VectEdit, AssignCopiesObjectsAndScaleFromAnotherLayerOnly) {
  TVectInWindow src(100, 100, 100, 100), dst(100, 100, 100, 100);
  TRastovaVect& s = *src.vect;
  TRastovaVect& d = *dst.vect;
  s.AddNewObject(Obj(s, rvkBOX, 1, 2, 30, 40));
  AddText(s, "copied");
  s.SetScale(2.5);
  d.AddNewObject(Obj(d, rvkELLIPSE, 5, 5, 9, 9));
  int32_t changed = 0;
  d.OnVectorialChanged = [&](TRastovaVect*) { ++changed; };
  d.Assign(&s);
  ASSERT_EQ(d.ObjectsCount(), 2);
  EXPECT_EQ(d.Objects[0].Kind, rvkBOX);
  EXPECT_EQ((std::array{d.Objects[0].X1, d.Objects[0].Y1, d.Objects[0].X2, d.Objects[0].Y2}),
            (std::array{1, 2, 30, 40}));
  EXPECT_EQ(d.GetObjText(1), "copied");
  EXPECT_EQ(d.MeasureBaseScale, 2.5);
  EXPECT_EQ(d.MeasureScaleX, s.MeasureScaleX);
  EXPECT_GE(changed, 1);
  EXPECT_EQ(s.ObjectsCount(), 2);
  // A layer given itself keeps its objects; a plain view changes only the image.
  d.Assign(&d);
  EXPECT_EQ(d.ObjectsCount(), 2);
  TRastovaView plain;
  d.Assign(&plain);
  EXPECT_EQ(d.ObjectsCount(), 2);
  d.Assign(nullptr);
  EXPECT_EQ(d.ObjectsCount(), 0);
}

TEST_F(VectEdit, SelectionAreaAddsPolygonsOrCountsTheMask) {
  TVectInWindow w(100, 100, 100, 100);
  TRastovaVect& v = *w.vect;
  v.SetScale(2);  // four square units per pixel
  constexpr int32_t B = 0xFFFFF;
  const struct {
    const char* what;
    std::vector<TRVPoint> polygon;
    bool maskRect;
    double area;
  } cases[] = {
      {"a 10 x 10 square clockwise and a 20 x 20 one counter-clockwise",
       {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {B, B}, {30, 30}, {30, 50}, {50, 50}, {50, 30}},
       false,
       (100 + 400) * 4.0},
      {"a single triangle", {{0, 0}, {10, 0}, {0, 10}}, true, 50 * 4.0},
      {"two points and a 6 x 4 mask", {{3, 3}, {8, 8}}, true, 24 * 4.0},
      {"two points and an empty mask", {{3, 3}, {8, 8}}, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    v.FSelectionPolygon->Points = c.polygon;
    TRVMask& m = *v.FSelectionMask;
    m.Clear();
    if (c.maskRect)
      for (int32_t y = 40; y < 44; ++y)
        for (int32_t x = 20; x < 26; ++x) m.SetPixel(x, y, 1);
    EXPECT_DOUBLE_EQ(v.GetSelectionArea(), c.area);
  }
}

// An extended object that notes the keys it is given.
struct TKeyNoter : TRVExtendedObject {
  std::vector<uint16_t>* keys;
  explicit TKeyNoter(std::vector<uint16_t>* k) : keys(k) {}
  void KeyDown(uint16_t& Key, platform::TShiftState) override { keys->push_back(Key); }
};

TEST_F(VectEdit, KeysGoToTheOnlySelectedExtendedObject) {
  TShownVect w;
  TRastovaVect& v = *w.vect;
  std::vector<uint16_t> keys;
  const int32_t ext = v.AddNewObject(Obj(v, rvkEXTENDED, 10, 10, 40, 40));
  v.Objects[size_t(ext)].ExtendedObject = new TKeyNoter(&keys);
  const int32_t bare = v.AddNewObject(Obj(v, rvkEXTENDED, 50, 50, 60, 60));  // no instance
  const int32_t box = v.AddNewObject(Obj(v, rvkBOX, 70, 70, 80, 80));
  const struct {
    const char* what;
    std::vector<int32_t> selection;
    bool forwarded;
  } cases[] = {{"alone", {ext}, true},
               {"with a box", {ext, box}, false},
               {"without an instance", {bare}, false},
               {"nothing selected", {}, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    keys.clear();
    v.UnSelAllObjects();
    for (int32_t h : c.selection) v.AddSelObject(h);
    QTest::keyClick(&v, Qt::Key_Left);
    QTest::keyClick(&v, Qt::Key_A);
    const std::vector<uint16_t> expected = c.forwarded ? std::vector<uint16_t>{platform::VK_LEFT, 'A'}
                                                       : std::vector<uint16_t>{};
    EXPECT_EQ(keys, expected);
  }
}

// A window that notes the keys its children leave to it.
struct TKeyNotingWindow : QWidget {
  std::vector<int> keys;
  void keyPressEvent(QKeyEvent* e) override { keys.push_back(e->key()); }
};

TEST_F(VectEdit, ArrowsAndCharactersStayWithTheLayer) {
  TKeyNotingWindow window;
  auto* v = new TRastovaVect(&window);
  for (Qt::Key k : {Qt::Key_Left, Qt::Key_Down, Qt::Key_A, Qt::Key_Space, Qt::Key_Escape, Qt::Key_F5})
    QTest::keyClick(v, k);
  EXPECT_EQ(window.keys, (std::vector<int>{Qt::Key_Escape, Qt::Key_F5}));
}

}  // namespace
}  // namespace rv::vecttest
