#pragma once
// The metafile player of this platform: WMF and EMF files read, checked and drawn through
// QPainter (RVEmfPlayer.h, RVWmfPlayer.h), behind the import's metafile interface
// (RVMetafile.h).
//
// Loading reads the data from the stream's position to its end (at most kMaxMetafileBytes,
// read in pieces, so that only bytes the stream has are held) and checks the headers and the
// whole record chain; a damaged file is refused there, before anything is drawn or a picture
// allocated. The picture's own size: an EMF's bounds, |right - left| + 1 by |bottom - top| + 1;
// a WMF's placeable header, |right - left| x |bottom - top| units at 96 pixels per inch (0
// units per inch read as 1); a WMF without that header loads with size 0 and cannot be drawn.
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <cstdint>
#include <vector>

#include "rastova/io/metafile/RVMetafile.h"

class QPainter;

namespace rv {

class TStream;

constexpr int64_t kMaxMetafileBytes = int64_t(1) << 30;

class TRVMetafilePlayer : public TRVMetafile {
 public:
  // Reads and checks the metafile at the stream's position; false (size 0) for data that are
  // no metafile or a damaged one. The stream's position is left where it was.
  bool LoadFromStream(TStream& stream);
  bool LoadFromBytes(std::vector<uint8_t> bytes);

  // Loaded, with a size.
  bool Drawable() const override;
  // Draws over Width x Height pixels of the canvas from (left, top), within the canvas's clip
  // region; the binary raster operations need a pf32bit bitmap.
  bool Draw(platform::TCanvas& canvas, int32_t left, int32_t top) override;
  // Plays the metafile onto the painter over `target`.
  void Play(QPainter& painter, const QRect& target) const;

 private:
  std::vector<uint8_t> bytes_;
  bool loaded_ = false;
  // The rectangle of the metafile's own units drawn onto the target, and those units per
  // millimetre.
  QRectF reference_;
  QPointF unitsPerMm_;
};

}  // namespace rv
