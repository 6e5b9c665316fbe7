// The object undo of the vector layer (its own list or the processing component's) and copying
// objects between layers.
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RastovaProc.h"
#include "rastova/view/vector/RVVectStreams.h"
#include "rastova/view/vector/RastovaVect.h"

namespace rv {

void TRastovaVect::SaveObjUndo() {
  UndoSaved = ObjAutoUndo;
  if (!ObjAutoUndo) return;
  if (ObjUndoMode == rvumSeparated)
    PushObjUndo();
  else if (TRastovaProc* proc = GetProc())
    proc->SaveUndo(rvuObject);
}

void TRastovaVect::PushObjUndo() {
  if (ObjUndoLimit <= 0) return;
  auto entry = std::make_unique<TMemoryStream>();
  SaveObjectsToStream(*entry);
  while (int32_t(ObjUndoList.size()) >= ObjUndoLimit) ObjUndoList.erase(ObjUndoList.begin());
  ObjUndoList.push_back(std::move(entry));
  if (FOnSaveUndo) FOnSaveUndo(this, rvuObject);
}

void TRastovaVect::ClearObjUndo() { ObjUndoList.clear(); }

void TRastovaVect::DropLastObjUndo() {
  if (!ObjUndoList.empty()) ObjUndoList.pop_back();
}

int32_t TRastovaVect::CopyObjectTo(int32_t hobj, TRastovaVect* Dest) {
  TRVVObjRecord* o = GetObj(hobj);
  if (!o || !Dest) return kNoGrip;
  int32_t slot = -1;
  TRVBitmap* src = (o->Kind == rvkBITMAP || (o->Kind == rvkMEMO && o->MemoHasBitmap)) ? GetSharedBitmap(o->BitmapIdx)
                                                                                     : nullptr;
  if (src) {
    slot = Dest->AllocSharedBitmapSlot();
    auto copy = std::make_unique<TRVBitmap>();
    copy->Assign(src);
    Dest->SharedBitmaps[size_t(slot)].Bitmap = std::move(copy);
    Dest->SharedBitmaps[size_t(slot)].RefCount = 1;
  }
  TRVVObjRecord rec = *o;
  rec.BitmapIdx = -1;
  const int32_t h = Dest->AddNewObject(rec);
  TRVVObjRecord& n = Dest->Objects[size_t(h)];
  n.BitmapIdx = slot;
  if (n.ExtendedObject) n.ExtendedObject->Owner = Dest;
  Dest->Update();
  return h;
}

void TRastovaVect::CopyAllObjectsTo(TRastovaVect* Dest) {
  if (!Dest) return;
  for (int32_t h : std::vector<int32_t>(ObjectOrder)) CopyObjectTo(h, Dest);
  Dest->Update();
}

void TRastovaVect::SetScale(double Value) {
  MeasureBaseScale = Value;
  ComputeMeasureScale(MeasureScaleX, MeasureScaleY, FMUnit);
  RedrawMeasureHint(kAnglePointUnset, kAnglePointUnset);
  Update();
}

}  // namespace rv
