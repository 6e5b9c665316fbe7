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
#include "rastova/view/vector/RVVectStreams.h"
#include "rastova/view/vector/RastovaVect.h"

namespace rv {

namespace {

TRastovaVect* AttachedVect(TRastovaIO& io) { return dynamic_cast<TRastovaVect*>(io.GetAttachedView()); }

bool LoadInto(TRastovaVect& vect, bool all, TStream& stream) {
  return all ? vect.LoadAllFromStream(stream) : vect.LoadObjectsFromStream(stream);
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
      temp.SetCurrentLayer(0);
      temp.LayersMergeAll();
      target->Assign(temp.GetRVBitmap());
    } else {
      // The objects on white, the picture sized to their extent.
      platform::TRect r;
      temp.GetObjectsExtents(r);
      target->Allocate(std::max(1, r.Right), std::max(1, r.Bottom), rv24RGB);
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
