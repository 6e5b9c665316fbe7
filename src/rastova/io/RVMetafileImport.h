#pragma once
// Windows metafiles (WMF and EMF) drawn into the I/O component's working bitmap
// (TRastovaIO::ImportMetafile and its neighbours). The import works on the small interface
// TRVMetafile (metafile/RVMetafile.h); files are read, checked and drawn by the player of
// metafile/RVMetafilePlayer.h.
#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"
#include "rastova/io/metafile/RVMetafile.h"

namespace rv {

class TStream;

// The parameters of the metafile at the stream's position (TRastovaIO::ParamsFromMetafileStream):
// kind, size, 8 bits x 3 samples, the default resolutions; the abort flag is set for data that
// are no metafile or a damaged one.
void MetafileParams(TStream& stream, TIOParamsVals& params, TRVProgressRec& progress);

}  // namespace rv
