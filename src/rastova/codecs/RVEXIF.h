#pragma once
// The EXIF glue: EXIF travels inside other files as a small TIFF structure (in JPEG as the
// payload of an APP1 marker that starts with "Exif", 0, 0; in camera-raw and HD Photo files as
// the file's own TIFF structure). These routines build and read such structures with the TIFF
// codec (tiffilt.h) and its tag mapping (tiffmeta.cpp), copy the EXIF fields between parameter
// sets, and inject the EXIF tags into a page of an existing TIFF or HD Photo file through the
// structure handler (core/RVTIFFHandler.h).
#include <cstdint>
#include <string>
#include <vector>

#include "rastova/codecs/IOParamsVals.h"

namespace rv {

class TStream;

// The EXIF fields and thumbnail of the parameters as a little-endian TIFF (IFD 0 with the EXIF
// and GPS IFDs, IFD 1 with the thumbnail as an old-style JPEG page when there is one), behind the
// 6-byte "Exif" header when asked. Offsets count from the TIFF header.
std::vector<uint8_t> BuildEXIFBlock(TIOParamsVals& params, bool withHeader);

// Reads an APP1 EXIF payload (header included) into the parameters: the fields, the MakerNote
// and the thumbnail of IFD 1, turned upright. False when the payload is no EXIF block; a damaged
// block gives what could be read and no thumbnail when it cannot be decoded.
bool ReadEXIFMarker(const uint8_t* data, int32_t length, TIOParamsVals& params);

// The position, relative to the stream's, of the first TIFF header among the next 131,072
// bytes ("II" or "MM", magic 42, 0x4F52 or 0x5352, a first IFD inside the stream); -1 when
// there is none. The position is restored.
int64_t FindTIFFHeader(TStream& stream);

// Reads the EXIF of the TIFF structure at the stream's position (a camera-raw file's) and keeps
// the smaller of the images of IFD 0 and IFD 1 that is not all black as the EXIF thumbnail. The
// position is restored.
bool ReadRawEXIF(TStream& stream, TIOParamsVals& params);

// Reads the TIFF tags at the stream's position directly into the parameters (an HD Photo file's
// metadata). The position is restored.
bool ReadTIFFStreamEXIF(TStream& stream, TIOParamsVals& params);

// Copies the EXIF present-tag list, every EXIF and GPS field and the MakerNote, through the
// setters that keep orientation and resolution consistent. EXIF_ImageDescription receives the
// source's TIFF_ImageDescription. EXIF_HasEXIFData and the thumbnail are not copied.
void CopyEXIFParams(const TIOParamsVals& source, TIOParamsVals& dest);

// The tags whose values InjectTIFFEXIF copies into the target page.
extern const uint16_t kInjectedEXIFTags[23];

// Copies the EXIF-related tags of the parameters into page `page` of an existing TIFF (or HD
// Photo) file, read from `source` (from its position) or else from the file `sourceFile`, and
// writes every page to `dest` (back at the source's position when it is the same stream) or else
// to the file `destFile`. Returns false, writing nothing, when the target holds no page or is
// big-endian (the block is little-endian and tags are copied byte for byte).
bool InjectTIFFEXIF(TStream* source, TStream* dest, const std::string& sourceFile, TIOParamsVals& params,
                    int32_t page, const std::string& destFile);

}  // namespace rv
