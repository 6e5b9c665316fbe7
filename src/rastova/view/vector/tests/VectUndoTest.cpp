// The object undo list and copying objects between layers.
#include <gtest/gtest.h>

#include "rastova/core/RVStream.h"
#include "rastova/view/vector/RVVectStreams.h"
#include "rastova/view/vector/tests/VectTestTools.h"

using namespace rv;
using namespace rv::vecttest;

namespace {
class VectUndo : public viewtest::ViewLibraryTest {};

int32_t EntryObjects(TRastovaVect& probe, TMemoryStream& entry) {
  entry.SetPosition(0);
  EXPECT_TRUE(probe.LoadObjectsFromStream(entry));
  return probe.ObjectsCount();
}
}  // namespace

TEST_F(VectUndo, LimitKeepsTheNewestAndDropRemovesIt) {
  TVectInWindow w(50, 50, 50, 50), p(50, 50, 50, 50);
  TRastovaVect& v = *w.vect;
  int fired = 0;
  v.FOnSaveUndo = [&](TRastovaView*, TRVUndoSource s) { fired += s == rvuObject; };
  v.ObjAutoUndo = true;
  v.AddNewObject(Obj(v, rvkBOX, 1, 1, 5, 5));
  v.SaveObjUndo();
  v.AddNewObject(Obj(v, rvkBOX, 1, 1, 5, 5));
  v.SaveObjUndo();
  EXPECT_TRUE(v.UndoSaved);
  ASSERT_EQ(v.ObjUndoList.size(), 1u);
  EXPECT_EQ(EntryObjects(*p.vect, *v.ObjUndoList[0]), 2);
  EXPECT_EQ(fired, 2);
  v.ObjUndoLimit = 3;
  v.SaveObjUndo();
  v.DropLastObjUndo();
  EXPECT_EQ(v.ObjUndoList.size(), 1u);
  v.ObjUndoLimit = 0;
  v.SaveObjUndo();
  EXPECT_EQ(v.ObjUndoList.size(), 1u);
  v.ClearObjUndo();
  EXPECT_TRUE(v.ObjUndoList.empty());
  v.ObjAutoUndo = false;
  v.ObjUndoLimit = 5;
  v.SaveObjUndo();
  EXPECT_FALSE(v.UndoSaved);
  EXPECT_TRUE(v.ObjUndoList.empty());
}

TEST_F(VectUndo, CopiedBitmapObjectGetsItsOwnSlot) {
  TVectInWindow a(50, 50, 50, 50), b(50, 50, 50, 50);
  TRVBitmap bmp(4, 3, rv24RGB);
  const int32_t h1 = a.vect->AddNewObject(Obj(*a.vect, rvkBITMAP, 1, 1, 5, 5));
  a.vect->AttachObjBitmap(h1, &bmp);
  const int32_t h2 = a.vect->AddNewObject(Obj(*a.vect, rvkBITMAP, 1, 1, 5, 5));
  a.vect->ShareObjBitmap(h2, a.vect->GetObj(h1)->BitmapIdx);
  b.vect->ShareBitmaps = false;
  b.vect->AddNewObject(Obj(*b.vect, rvkLINE, 1, 1, 5, 5));
  a.vect->CopyAllObjectsTo(b.vect);
  ASSERT_EQ(b.vect->ObjectsCount(), 3);
  const int32_t s1 = b.vect->GetObj(1)->BitmapIdx, s2 = b.vect->GetObj(2)->BitmapIdx;
  ASSERT_GE(s1, 0);
  ASSERT_GE(s2, 0);
  EXPECT_NE(s1, s2);
  EXPECT_EQ(b.vect->SharedBitmaps[size_t(s1)].RefCount, 1);
  EXPECT_EQ(b.vect->GetSharedBitmap(s2)->GetWidth(), 4);
  EXPECT_NE(b.vect->GetSharedBitmap(s1), a.vect->GetSharedBitmap(a.vect->GetObj(h1)->BitmapIdx));
}
