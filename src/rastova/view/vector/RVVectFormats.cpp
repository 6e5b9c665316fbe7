// The "Vectorial objects" and "Layers and objects" files for the I/O component: content tests,
// loading into an attached vector layer or drawn into the component's image by a temporary
// layer, and saving an attached layer's objects (with its layers for the second type).
#include <QApplication>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RVLayerStream.h"
#include "rastova/io/RVViewFormats.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/view/streams/RVLayersFormat.h"
#include "rastova/view/vector/RVVectStreams.h"
#include "rastova/view/vector/RastovaVect.h"

namespace rv {

namespace {

TRastovaVect* AttachedVect(TRastovaIO& io) { return dynamic_cast<TRastovaVect*>(io.GetAttachedView()); }

bool LoadInto(TRastovaVect& vect, bool all, TStream& stream) {
  return all ? vect.LoadAllFromStream(stream) : vect.LoadObjectsFromStream(stream);
}

// The picture of an object file: from (0, 0) to the largest right and bottom edge plus one, in
// 64 bits since the edges are numbers from the file. It must be one the file can justify (a
// 69-byte file names a 16,000 x 16,000 box as easily as a small one); false when it is not.
bool SizeObjectsPicture(TRastovaVect& vect, TRVBitmap& target) {
  int64_t right = 0, bottom = 0, held = 0;
  for (const TRVVObjRecord& o : vect.Objects) {
    right = std::max(right, int64_t(std::max(o.X1, o.X2)) + 1);
    bottom = std::max(bottom, int64_t(std::max(o.Y1, o.Y2)) + 1);
  }
  for (const TRVVSharedBitmap& slot : vect.SharedBitmaps)
    if (slot.Bitmap) held += HeldImageBytes(*slot.Bitmap);
  right = std::max<int64_t>(right, 1);
  bottom = std::max<int64_t>(bottom, 1);
  if (!PlacedPictureJustified(right, bottom, held)) return false;
  return target.Allocate(static_cast<int32_t>(right), static_cast<int32_t>(bottom), rv24RGB) &&
         !target.IsEmpty();
}

template <bool All>
bool LoadVectFile(TRastovaIO& io, const std::string& fileName) {
  TRVWideFileStream file(fileName, TRVWideFileStream::fmOpenRead | TRVWideFileStream::fmShareDenyWrite);
  try {
    if (TRastovaVect* vect = AttachedVect(io)) return LoadInto(*vect, All, file);
    // Without a layer a temporary one draws the file's objects into the component's image,
    // which needs the application's widgets.
    TRVBitmap* target = io.GetAttachedRVBitmap();
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()) || !target) return false;
    TRastovaVect temp(nullptr);
    temp.WriteLegacyBitmap(false);
    if (!LoadInto(temp, All, file)) return false;
    if (All) {
      if (!MergeLoadedLayers(temp, *target)) return false;
    } else {
      // The objects on white, the picture sized to their extent.
      if (!SizeObjectsPicture(temp, *target)) return false;
      target->Fill(0xFFFFFF);
    }
    temp.DrawObjectsToRVBitmap(target, true, kObjAll);
    io.Update();
    return true;
  } catch (const ERVVectStreamError&) {
    return false;
  } catch (const ERVLayerStreamError&) {
    return false;
  }
}

template <bool All>
TRVViewLoad LoadVectStream(TRastovaIO& io, TStream& stream) {
  TRastovaVect* vect = AttachedVect(io);
  if (!vect) return TRVViewLoad::NoView;
  try {
    return LoadInto(*vect, All, stream) ? TRVViewLoad::Loaded : TRVViewLoad::Damaged;
  } catch (const ERVVectStreamError&) {
    return TRVViewLoad::Damaged;
  } catch (const ERVLayerStreamError&) {
    return TRVViewLoad::Damaged;
  }
}

template <bool All>
bool SaveVectStream(TRastovaIO& io, TStream& stream) {
  TRastovaVect* vect = AttachedVect(io);
  if (!vect) return false;
  if (All)
    vect->SaveAllToStream(stream, kLayerImageZlib);
  else
    vect->SaveObjectsToStream(stream);
  return true;
}

const TRVViewFormatOps kObjectsOps{IsRVVStream, LoadVectFile<false>, LoadVectStream<false>, SaveVectStream<false>};
const TRVViewFormatOps kAllOps{IsAllStream, LoadVectFile<true>, LoadVectStream<true>, SaveVectStream<true>};

}  // namespace

void InstallVectFormats() {
  SetViewFormatOps(ioRVV, &kObjectsOps);
  SetViewFormatOps(ioALL, &kAllOps);
}

}  // namespace rv
