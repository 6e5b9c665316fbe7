#pragma once
// The LZW coder of GIF image data: the decoder that turns the code-size byte and data sub-blocks
// at a stream's position into one index byte per pixel, and the hashed encoder that writes them.
// The I/O start-up installs both as GIFLZWDecoderHook and GIFLZWEncoderHook (IOParamsVals.h);
// the GIF reader and writer reach them only through the hooks.
#include <cstdint>

namespace rv {

class TStream;

// Decodes width x height indices into `pixels` (rows in file order, or the four interlace passes
// when `interlaced`). A code size outside 2..12, a code above the next free code (or equal to it
// once the table is full) and an end code right after a clear code while data remain are
// failures: the stream returns to where the call began. A full table of 4,096 codes is kept and
// used until a clear code comes (a deferred clear), with no new entries. Otherwise the stream
// stays after the sub-blocks; pixels the data does not reach are left as they were.
void GIFLZWDecompress(TStream& stream, int32_t height, int32_t width, bool interlaced, uint8_t* pixels);

// Encodes width x height indices of `bitsPerPixel` bits (code size at least 2): the code-size
// byte, sub-blocks of 254 bytes (the last shorter) and the terminating zero byte.
void GIFLZWCompress(TStream& stream, int32_t height, int32_t width, bool interlaced, const uint8_t* pixels,
                    int32_t bitsPerPixel);

// Bytes of LZW data in the sub-blocks after the code-size byte at the stream's position (the
// position is restored); -1 when there is no code-size byte. Sizes past the end are cut there,
// and `complete` tells whether the data are whole: a terminating zero size was found, or the
// last sub-block ends exactly with the stream (only the terminator and trailer are missing).
int64_t GIFLZWDataLength(TStream& stream, bool& complete);

}  // namespace rv
