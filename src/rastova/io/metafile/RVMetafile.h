#pragma once
// The small interface through which the I/O component draws a Windows metafile (WMF or EMF)
// into its working bitmap (TRastovaIO::ImportMetafileGraphic, RVMetafileImport.h). The player
// that implements it for files is TRVMetafilePlayer (RVMetafilePlayer.h, this folder).
#include <cstdint>

namespace platform {
class TCanvas;
}

namespace rv {

class TRVMetafile {
 public:
  virtual ~TRVMetafile() = default;
  // The size the picture is drawn at, in pixels; loading sets the picture's own size.
  int32_t Width = 0;
  int32_t Height = 0;
  // An enhanced metafile (EMF) rather than a Windows metafile (WMF).
  bool Enhanced = false;
  // Whether Draw can draw the picture. The import asks before it allocates the picture, so that
  // nothing of the picture's size is allocated for a metafile that then cannot be drawn.
  virtual bool Drawable() const { return true; }
  // Draws the picture over Width x Height pixels of the canvas from (left, top); false when
  // it cannot be drawn.
  virtual bool Draw(platform::TCanvas& canvas, int32_t left, int32_t top) = 0;
};

}  // namespace rv
