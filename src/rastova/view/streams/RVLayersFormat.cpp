// The layers file (file type 26) for the I/O component: its content test, loading into an
// attached view or merged into the component's image, and saving an attached view's layers.
#include "rastova/view/streams/RVLayersFormat.h"

#include <QApplication>

#include "rastova/core/RVBitmap.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RVLayerStream.h"
#include "rastova/io/RVViewFormats.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/view/core/RastovaView.h"

namespace rv {

namespace {

TRastovaView* AttachedLayerView(TRastovaIO& io) { return dynamic_cast<TRastovaView*>(io.GetAttachedView()); }

// Whether the merged picture of the view's layers is one their images can justify.
bool MergedSizeJustified(TRastovaView& view) {
  int64_t w = 0, h = 0;
  view.LayersDrawSize(w, h);
  int64_t held = 0;
  for (int32_t i = 0; i < view.GetLayersCount(); ++i) held += HeldImageBytes(*view.GetLayer(i)->Bitmap);
  return PlacedPictureJustified(w, h, held);
}

// Without a view the layers are merged into the component's image by a view of its own, which
// needs the application's widgets.
bool MergeLayersFile(TRastovaIO& io, const std::string& fileName) {
  TRVBitmap* target = io.GetAttachedRVBitmap();
  if (!qobject_cast<QApplication*>(QCoreApplication::instance()) || !target) return false;
  TRastovaView temp(nullptr);
  temp.WriteLegacyBitmap(false);
  if (!temp.LoadLayersFromFile(fileName) || !MergeLoadedLayers(temp, *target)) return false;
  io.Update();
  return true;
}

bool LoadLayersFile(TRastovaIO& io, const std::string& fileName) {
  try {
    if (TRastovaView* view = AttachedLayerView(io)) return view->LoadLayersFromFile(fileName);
    return MergeLayersFile(io, fileName);
  } catch (const ERVLayerStreamError&) {
    return false;
  }
}

TRVViewLoad LoadLayersStream(TRastovaIO& io, TStream& stream) {
  TRastovaView* view = AttachedLayerView(io);
  if (!view) return TRVViewLoad::NoView;
  try {
    return view->LoadLayersFromStream(stream) ? TRVViewLoad::Loaded : TRVViewLoad::Damaged;
  } catch (const ERVLayerStreamError&) {
    return TRVViewLoad::Damaged;
  }
}

bool SaveLayersStream(TRastovaIO& io, TStream& stream) {
  TRastovaView* view = AttachedLayerView(io);
  if (!view) return false;
  view->SaveLayersToStream(stream, kLayerImageZlib);
  return true;
}

const TRVViewFormatOps kLayersOps{IsLayersStream, LoadLayersFile, LoadLayersStream, SaveLayersStream};

}  // namespace

bool MergeLoadedLayers(TRastovaView& View, TRVBitmap& Target) {
  if (!MergedSizeJustified(View)) return false;
  View.SetCurrentLayer(0);
  View.LayersMergeAll();
  TRVBitmap* merged = View.GetRVBitmap();
  if (!merged || merged->IsEmpty()) return false;
  Target.Assign(merged);
  return !Target.IsEmpty();
}

void InstallLayersFormat() { SetViewFormatOps(ioLYR, &kLayersOps); }

}  // namespace rv
