#pragma once
// Windows metafiles (WMF and EMF) drawn into the I/O component's working bitmap
// (TRastovaIO::ImportMetafile and its neighbours). This platform has no metafile player: the
// metafile here knows its size and kind from the file's header and cannot draw, so an import
// finds the size and then fails. The import works on the small interface TRVMetafile, which a
// player that can draw may implement.
#include <cstdint>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"

namespace platform {
class TCanvas;
}

namespace rv {

class TStream;

class TRVMetafile {
 public:
  virtual ~TRVMetafile() = default;
  // The size the picture is drawn at, in pixels; loading sets the picture's own size.
  int32_t Width = 0;
  int32_t Height = 0;
  // An enhanced metafile (EMF) rather than a Windows metafile (WMF).
  bool Enhanced = false;
  // Draws the picture over Width x Height pixels of the canvas from (left, top); false when
  // it cannot be drawn.
  virtual bool Draw(platform::TCanvas& canvas, int32_t left, int32_t top) = 0;
};

// The metafile of this platform: size and kind from the header, no drawing.
//
// EMF: the header's bounds (left, top, right, bottom, inclusive device pixels at offset 8);
// the size is |right - left| + 1 by |bottom - top| + 1. WMF: the placeable header (key
// 9AC6CDD7h, then the handle, the box left, top, right, bottom and the units per inch, 16 bits
// each) gives |right - left| x |bottom - top| units at 96 pixels per inch, 0 units per inch
// read as 1; a WMF without that header has no size. Sizes are held to 2^31 - 1.
class TRVHeaderMetafile : public TRVMetafile {
 public:
  // Reads the header at the stream's position; false (size 0) when the data are no metafile.
  bool LoadFromStream(TStream& stream);
  bool Draw(platform::TCanvas& canvas, int32_t left, int32_t top) override;
};

// The parameters of the metafile at the stream's position (TRastovaIO::ParamsFromMetafileStream):
// kind, size, 8 bits x 3 samples, the default resolutions; the abort flag is set for data that
// are no metafile.
void MetafileParams(TStream& stream, TIOParamsVals& params, TRVProgressRec& progress);

}  // namespace rv
