#pragma once
// Shared pieces of the EXIF, HD Photo and camera-raw tests: exiftool as a black-box reader,
// a parameter set carrying a known EXIF block, and JPEG bytes with chosen APP1 payloads.
#include <map>
#include <string>
#include <vector>

#include "TiffTestTools.h"
#include "rastova/codecs/RVEXIF.h"
#include "rastova/codecs/jpeg/jpegfilt.h"

namespace rv::test {

bool HaveExifTool();
// The tags exiftool finds ("-a -G1 -n"), keyed "Group:Tag" (e.g. "IFD0:Make").
std::map<std::string, std::string> ExifToolTags(const std::string& path);

// Fills the parameters with a known EXIF block (IFD 0, EXIF and GPS fields, XP texts, comment).
void FillKnownEXIF(TIOParamsVals& p);
// Expects the fields FillKnownEXIF sets (the description only when `description`: injection
// does not copy it).
void ExpectKnownEXIF(const TIOParamsVals& p, bool description = true);

// A small JPEG of the test picture whose markers are those given (type, payload).
std::vector<uint8_t> JpegWithMarkers(const std::vector<std::pair<uint8_t, std::vector<uint8_t>>>& markers,
                                     int w = 32, int h = 24);
// Reads JPEG bytes with the EXIF glue installed; false when the read failed.
bool ReadJpegWithEXIF(const std::vector<uint8_t>& data, TRVBitmap& bitmap, TIOParamsVals& params);

// Installs the EXIF reader into the JPEG reader for the life of the object.
class ExifHook {
 public:
  ExifHook() : saved_(JpegReadEXIFMarkerHook) { JpegReadEXIFMarkerHook = ReadEXIFMarker; }
  ~ExifHook() { JpegReadEXIFMarkerHook = saved_; }

 private:
  TJpegReadEXIFProc saved_;
};

}  // namespace rv::test
