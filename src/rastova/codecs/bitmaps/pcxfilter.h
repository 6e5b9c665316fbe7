#pragma once
// PaintBrush images (PCX: 1, 4 and 8 bits on one plane, 16 colours on four 1-bit planes, 24-bit
// colour on three 8-bit planes, raw or run-length coded) and multipage DCX files, a table of
// page offsets followed by PCX pages.
#include <cstdint>
#include <vector>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;
class TStream;

// Reads the PCX image at the stream's position that occupies `size` bytes (header included):
// rv1g for 1-bit single-plane images, else rv24RGB. With `paramsOnly` only the parameters are
// filled. A bad header, an unsupported plane layout or data that end before the image set the
// abort flag (rows not reached stay black).
void ReadPCXStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, int64_t size, TRVProgressRec& progress,
                   bool paramsOnly);

// Writes the bitmap as one PCX image: 1 bit when BitsPerSample is 1, else 4, 8 or 24 bits by
// BitsPerSample x SamplesPerPixel (other depths as 24 bits). A short write sets the abort flag.
void WritePCXStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress);

// Run-length codes `count` bytes taken at source[offset], source[offset + step], ... into `dest`
// (room for 2 x count + 1 bytes); an odd count gets a zero byte appended. Returns the bytes written.
int32_t PCXEncodeLine(uint8_t* dest, const uint8_t* source, int32_t count, int32_t step, int32_t offset);

// The page offsets from the stream's position up to a zero entry (consumed) or 1,024 entries;
// `count` receives the number of pages. The table always has 1,024 entries.
std::vector<uint32_t> ReadDCXPageTable(TStream& stream, int32_t& count);
// Each page's length: up to the nearest larger offset of another page, or to the stream's end.
std::vector<int64_t> GetDCXPageSizes(TStream& stream, const std::vector<uint32_t>& offsets, int32_t count);
// The DCX magic and a table whose offsets all lie inside the stream; the position is restored.
bool IsDCXStream(TStream& stream);

// Reads page DCX_ImageIndex (clamped to the pages there are, and stored back as ImageIndex).
void ReadDCXStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress,
                   bool paramsOnly);
// Inserts the bitmap as page DCX_ImageIndex of the DCX file in the stream (an empty stream is a
// file without pages) and rewrites the whole stream. A stream that holds something else is left
// alone and sets the abort flag.
void WriteDCXStream(TStream& stream, TRVBitmap& bitmap, TIOParamsVals& params, TRVProgressRec& progress);

}  // namespace rv
