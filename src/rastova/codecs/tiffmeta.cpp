// The metadata of TIFF pages: the descriptive tags of IFD 0, the EXIF and GPS IFDs and the IPTC,
// XMP, annotation and ICC blocks. The reader and the writer call these two routines at the
// places where a page's metadata are read and written; until the tag tables join them, pages
// are read and written without that metadata.
#include "rastova/codecs/tiffdefs.h"

namespace rv::tiff {

void ReadTIFFMetadata(const TTIFFIFD& page, TIOParamsVals& params) {
  (void)page;
  (void)params;
}

bool WriteTIFFMetadata(TTIFFMetaStep step, TTIFFEntryList& entries, TStream& stream, TIOParamsVals& params,
                       TRVProgressRec& progress) {
  (void)step;
  (void)entries;
  (void)stream;
  (void)params;
  (void)progress;
  return false;
}

}  // namespace rv::tiff
