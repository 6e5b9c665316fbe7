#pragma once
// The image view's own file formats (25 vector objects, 26 layers, 27 layers and objects) are
// read and written by the view library, which sits above the I/O component. The view library
// installs their operations here before the I/O start-up builds the format registry; a format
// without operations has no registry row, so its extension and content stay unknown.
#include <cstdint>
#include <string>

namespace rv {

class TRastovaIO;
class TRVBitmap;
class TStream;

// Loaded without a view, these files become one picture whose size comes from numbers in the
// file (object coordinates, layer positions and display sizes) rather than from pixels it
// holds: a few bytes could ask for gigabytes. Such a picture takes at most this many pixels
// (8192 x 8192), or up to twice the memory of the images the file holds when that is more.
constexpr int64_t kMaxPlacedPicturePixels = int64_t(8192) * 8192;

// Whether a picture of Width x Height pixels of 3 bytes, made from a file whose images take
// `HeldBytes` (their pixels and alpha channels), keeps to that bound; sizes outside 1 ..
// 2^31 - 1 never do.
bool PlacedPictureJustified(int64_t Width, int64_t Height, int64_t HeldBytes);
// The memory an image takes, its alpha channel included: what it justifies of such a picture.
int64_t HeldImageBytes(TRVBitmap& Image);

// The outcome of loading a stream into a view.
enum class TRVViewLoad { NoView, Loaded, Damaged };

struct TRVViewFormatOps {
  // The content test at the stream's position (restored).
  bool (*IsStream)(TStream& stream) = nullptr;
  // Loads a file of the format for the component: into its attached view when that view is of
  // the format's kind, else merged into its working bitmap. False for content that cannot be
  // read (nothing changed); errors opening the file propagate.
  bool (*LoadFile)(TRastovaIO& io, const std::string& fileName) = nullptr;
  // Loads a stream into the component's attached view of the format's kind; nothing changes
  // without such a view or with content that cannot be read.
  TRVViewLoad (*LoadStream)(TRastovaIO& io, TStream& stream) = nullptr;
  // Writes the attached view's content in the format. False when there is no such view.
  bool (*SaveStream)(TRastovaIO& io, TStream& stream) = nullptr;
};

// Installs (or with nullptr removes) the operations of file type 25, 26 or 27; the table must
// outlive its use. Other file types are ignored.
void SetViewFormatOps(int32_t fileType, const TRVViewFormatOps* ops);
// The installed operations of a file type, nullptr when none.
const TRVViewFormatOps* GetViewFormatOps(int32_t fileType);

}  // namespace rv
