#pragma once
// The raw bitmap stream: the library's own lossless, uncompressed serialisation of one image
// with its palette, display attributes and alpha channel (signature "TRVBITMAPRAW"), used in
// the image view's layer files. Little-endian throughout; rows are stored top row first, each
// as long as the stored row alignment makes it.
#include <cstdint>

namespace rv {

class TRVBitmap;
class TStream;

// Writes the image at the stream's position (EWriteError when the stream takes less).
void SaveRawToStream(TRVBitmap& bitmap, TStream& stream);
// Reads an image written by SaveRawToStream into `bitmap`. False, and the image left as it
// was or emptied, for another signature, a negative version, a palette count outside 0..256,
// an unknown pixel format, a row alignment that is not a positive multiple of 8, a negative
// size, sizes the stream cannot hold, an image that cannot be allocated, or a short read.
bool LoadRawFromStream(TRVBitmap& bitmap, TStream& stream);

// The inner transfers: exactly `count` bytes, or EWriteError / false.
void WriteRawBytes(TStream& stream, const void* buffer, int64_t count);
bool ReadRawBytes(TStream& stream, void* buffer, int64_t count);

}  // namespace rv
