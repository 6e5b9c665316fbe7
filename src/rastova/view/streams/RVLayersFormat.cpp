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

bool LoadLayersFile(TRastovaIO& io, const std::string& fileName) {
  try {
    if (TRastovaView* view = AttachedLayerView(io)) return view->LoadLayersFromFile(fileName);
    // Without a view the layers are merged into the component's image by a view of its own,
    // which needs the application's widgets.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()) || !io.GetAttachedRVBitmap()) return false;
    TRastovaView temp(nullptr);
    temp.WriteLegacyBitmap(false);
    if (!temp.LoadLayersFromFile(fileName)) return false;
    temp.SetCurrentLayer(0);
    temp.LayersMergeAll();
    io.GetAttachedRVBitmap()->Assign(temp.GetRVBitmap());
    io.Update();
    return true;
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

void InstallLayersFormat() { SetViewFormatOps(ioLYR, &kLayersOps); }

}  // namespace rv
