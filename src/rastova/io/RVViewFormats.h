#pragma once
// The image view's own file formats (25 vector objects, 26 layers, 27 layers and objects) are
// read and written by the view library, which sits above the I/O component. The view library
// installs their operations here before the I/O start-up builds the format registry; a format
// without operations has no registry row, so its extension and content stay unknown.
#include <cstdint>
#include <string>

namespace rv {

class TRastovaIO;
class TStream;

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
