// The vector layer's object streams: the layer's store written as an object stream, and the
// content read from one installed in its place; the "Layers and objects" stream around it.
#include "rastova/view/vector/RVVectStreams.h"

#include <numeric>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/view/vector/RastovaVect.h"

namespace rv {

namespace {

void W32(TStream& s, int32_t v) { s.WriteBuffer(&v, 4); }

}  // namespace

void TRastovaVect::SaveObjectToStream(TStream& Stream, int32_t hobj) {
  if (hobj == kObjTemplate || hobj == kObjLast) return;
  if (!ValidHandle(hobj)) {
    for (int32_t h : ObjectOrder) SaveObjectToStream(Stream, h);
    return;
  }
  WriteObjectEntry(Stream, Objects[size_t(hobj)], hobj);
}

void TRastovaVect::SaveObjectsToStream(TStream& Stream) {
  PackSharedBitmaps();
  std::vector<TRVVSlotToWrite> table(SharedBitmaps.size());
  for (int32_t i = 0; i < SharedBitmapsCount(); ++i) {
    const TRVVSharedBitmap& slot = SharedBitmaps[size_t(i)];
    // The template's own use of its slot is not counted.
    table[size_t(i)] = {slot.Bitmap.get(), slot.RefCount - (i == NewObjectTemplate.BitmapIdx ? 1 : 0)};
  }
  std::vector<TRVVEntryToWrite> entries;
  if (ObjectsCount() > 0) {
    entries.reserve(ObjectOrder.size());
    for (int32_t h : ObjectOrder)
      if (h >= 0 && h < ObjectsCount()) entries.push_back({h, &Objects[size_t(h)]});
  }
  WriteObjectStream(Stream, MeasureBaseScale, table, entries);
}

void TRastovaVect::InstallObjects(TRVVObjStreamContent& Content) {
  const bool share = ShareBitmaps;
  const bool autoUndo = ObjAutoUndo;
  std::unique_ptr<TRVBitmap> templ;
  if (TRVBitmap* tb = GetSharedBitmap(NewObjectTemplate.BitmapIdx)) {
    templ = std::make_unique<TRVBitmap>();
    templ->Assign(tb);
    AttachObjBitmap(kObjTemplate, nullptr);
  }
  ObjAutoUndo = false;
  RemoveAllObjects();
  ObjAutoUndo = autoUndo;
  ShareBitmaps = true;
  MeasureBaseScale = Content.MeasureBaseScale;
  SharedBitmaps.clear();
  for (auto& b : Content.Slots) SharedBitmaps.push_back(TRVVSharedBitmap{std::move(b), 0});
  // The records are taken as they were read (no copies; the reader trimmed each as AddNewObject
  // trims a copy); the store keeps its spare records past them, as after adding them one by one.
  const int32_t n = int32_t(Content.Objects.size());
  Objects.swap(Content.Objects);
  FObjectsAlloc = FOrderAlloc = n > 0 ? (n - 1) / 512 * 512 + 522 : 0;
  Objects.reserve(size_t(FObjectsAlloc));
  ObjectOrder.resize(size_t(n));
  ObjectOrder.reserve(size_t(FOrderAlloc));
  std::iota(ObjectOrder.begin(), ObjectOrder.end(), 0);
  // Only bitmaps, memos and extended objects need more (the reader gives a slot or an extended
  // object to no other kind), so most records are not looked at past their kind.
  for (int32_t h = 0; h < n; ++h) {
    TRVVObjRecord& o = Objects[size_t(h)];
    if (o.Kind == rvkBITMAP || (o.Kind == rvkMEMO && o.MemoHasBitmap)) {
      const int32_t slot = o.BitmapIdx;
      o.BitmapIdx = -1;
      ShareObjBitmap(h, slot);
    } else if (o.Kind == rvkEXTENDED && o.ExtendedObject) {
      o.ExtendedObject->ObjRecord = &o;
      o.ExtendedObject->SetHandle(h);
    }
  }
  // Slots no object took stay free.
  for (auto& s : SharedBitmaps)
    if (s.RefCount == 0) s.Bitmap.reset();
  ShareBitmaps = share;
  if (templ) AttachObjBitmap(kObjTemplate, templ.get());
  DoVectorialChanged();
  Update();
}

bool TRastovaVect::LoadObjectsFromStream(TStream& Stream) {
  TRVVObjStreamContent content;
  if (!ReadObjectStream(Stream, content, NewObjectTemplate, this)) return false;
  InstallObjects(content);
  return true;
}

int32_t TRastovaVect::LoadObjectFromStream(TStream& Stream, char Version) {
  TRVVObjStreamContent content;
  ReadObjectEntry(Stream, Version, content, NewObjectTemplate, this);
  int32_t last = kNoGrip;
  const bool single = content.Objects.size() == 1 && content.Objects[0].Kind != rvkNONE;
  for (TRVVObjRecord& rec : content.Objects) {
    // The object read is the record's own: taken out first, so that adding makes no clone.
    TRVExtendedObject* ext = rec.ExtendedObject;
    rec.ExtendedObject = nullptr;
    // Stored slot indexes refer to the layer's own table.
    last = AddNewObject(rec);
    TRVVObjRecord& o = Objects[size_t(last)];
    o.UserData = rec.UserData, o.UserDataLen = rec.UserDataLen;
    rec.UserData = nullptr, rec.UserDataLen = 0;
    o.ExtendedObject = ext;
    if (ext) ext->ObjRecord = &o, ext->SetHandle(last);
  }
  return single ? last : kNoGrip;
}

void TRastovaVect::SaveAllToStream(TStream& Stream, int32_t Compression) {
  const int64_t S = Stream.GetPosition();
  W32(Stream, 0);
  SaveLayersToStream(Stream, Compression);
  const int64_t P = Stream.GetPosition();
  Stream.SetPosition(S);
  W32(Stream, int32_t(P));
  Stream.SetPosition(P);
  SaveObjectsToStream(Stream);
}

bool TRastovaVect::LoadAllFromStream(TStream& Stream) {
  int32_t P = 0;
  if (Stream.Read(&P, 4) != 4) return false;
  if (P < 0 || P > Stream.GetSize())
    throw ERVVectStreamError("The object stream's position lies outside the stream");
  // The objects are read first, so that damaged objects leave layers and objects as they were.
  const int64_t layersAt = Stream.GetPosition();
  TRVVObjStreamContent content;
  Stream.SetPosition(P);
  if (!ReadObjectStream(Stream, content, NewObjectTemplate, this)) return false;
  const int64_t end = Stream.GetPosition();
  Stream.SetPosition(layersAt);
  if (!LoadLayersFromStream(Stream)) return false;
  Stream.SetPosition(end);
  InstallObjects(content);
  return true;
}

bool TRastovaVect::LoadAllFromFile(const std::string& FileName) {
  if (FileName.empty()) return false;
  TRVWideFileStream file(FileName, TRVWideFileStream::fmOpenRead | TRVWideFileStream::fmShareDenyWrite);
  return LoadAllFromStream(file);
}

bool TRastovaVect::LoadObjectsFromFile(const std::string& FileName) {
  if (FileName.empty()) return false;
  TRVWideFileStream file(FileName, TRVWideFileStream::fmOpenRead | TRVWideFileStream::fmShareDenyWrite);
  return LoadObjectsFromStream(file);
}

}  // namespace rv
