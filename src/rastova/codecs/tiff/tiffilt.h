#pragma once
// TIFF images: the reader of one page (strips, tiles and planar data in every compression the
// library knows: none, CCITT fax, LZW, Deflate, PackBits, JPEG and old-style JPEG), the writer
// of one page into a new little-endian file or into an existing one, and the signature tests of
// TIFF, camera-raw TIFF and HD Photo streams. The fax and LZW coders are in tifccitt.h and
// tiflzw.h; the sample decoding behind the reader in tiffsamples.cpp.
#include <cstdint>
#include <vector>
#include <memory>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"

namespace rv {

class TRVBitmap;
class TRVMask;
class TStream;

// "II" or "MM" with a first IFD inside the stream that holds ImageWidth and ImageLength.
bool IsTIFFStream(TStream& stream);
// A TIFF whose first IFD marks a camera raw file (DNG version, a colour-filter-array or linear
// raw photometric, or sub-IFDs with a TIFF/EP standard id and a small first image).
bool IsCameraRawTIFFStream(TStream& stream);
// A little-endian TIFF whose first IFD holds the HD Photo tags.
bool IsHDPStream(TStream& stream);

// Decodes page TIFF_ImageIndex (or sub-image TIFF_SubIndex of it) at the stream's position.
// `pageCount` receives the number of pages. `thumbnailMode` refuses images above 400 pixels;
// `noAlpha` produces no mask; `relativeOffsets` counts offsets from the stream's position (else
// from 0); `tagsOnly` fills the parameters without decoding pixels. Alpha goes into `alphaMask`,
// created when the caller passes none. A failure sets the abort flag and leaves the bitmap as it
// was when nothing could be decoded (a page whose IFD the file does not hold, a compression the
// reader does not know); a first IFD offset of 0, or a page past the end of a chain that ends
// normally, ends the read without failure and without touching the bitmap.
void ReadTIFFStream(TRVBitmap& bitmap, TStream& stream, int32_t& pageCount, bool thumbnailMode, bool noAlpha,
                    bool relativeOffsets, std::unique_ptr<TRVMask>& alphaMask, bool tagsOnly,
                    TRVProgressRec& progress, TIOParamsVals& params);

// Writes the bitmap as a page of a little-endian TIFF at the stream's position (a new file), or,
// with `insert`, into the "II" file there at page TIFF_ImageIndex (past the last page appends).
// Offsets are absolute stream positions. Returns the page count after the write (0 when an
// insertion is refused). `alphaMask` (or nullptr) is the bitmap's alpha channel. The parameters'
// BitsPerSample, SamplesPerPixel, TIFF_Compression and TIFF_Photometric are adjusted to what was
// written. A short write sets the abort flag.
int32_t WriteTIFFStream(TStream& stream, bool insert, TRVBitmap* bitmap, TRVMask* alphaMask,
                        TRVProgressRec& progress, TIOParamsVals& params);

// One row in PackBits: literal packets of up to 128 bytes and runs of 4 to 128 equal bytes.
void PackBitsEncodeRow(const uint8_t* row, int32_t length, TStream& stream, bool& errorFlag);
// The same appended to `out`; returns the bytes appended (the Photoshop writer's rows too).
int32_t PackBitsEncodeRow(const uint8_t* row, int32_t length, std::vector<uint8_t>& out);

// Reads page 0 of the TIFF in `data` with default parameters into `bitmap` (the entry that
// fuzzing drives); returns false when the read failed.
bool ReadTIFFFromMemory(const uint8_t* data, int64_t size, TRVBitmap& bitmap);

}  // namespace rv
