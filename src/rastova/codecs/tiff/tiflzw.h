#pragma once
// The LZW coder of TIFF compression 5: codes of 9 to 12 bits, most significant bit first, Clear
// 256, EndOfInformation 257, the code width growing one code early. Both routines work one row
// at a time on one strip and keep their state in a variable of the caller. The I/O front end's
// start-up stores them in TIFFLZWDecoderHook and TIFFLZWEncoderHook (IOParamsVals.h), which the
// TIFF reader and writer and the PDF writer call.
#include <cstdint>

namespace rv {

class TStream;

// With `state` null: starts decoding the strip of `inputSize` bytes at `input` and returns its
// first row. With `state` set and `input` not null: the next row (`input` is not used again).
// With `input` null: frees the state and returns null. The result holds `rowBytes` bytes, valid
// until the next call; null when the code table overflows or the code after a Clear is not yet
// defined. The end of the strip counts as EndOfInformation; a row that the data do not complete
// (also after a code beyond the table) has zeros in its remaining bytes.
const uint8_t* TIFFLZWDecompress(const uint8_t* input, int64_t inputSize, int32_t rowBytes, void*& state,
                                 int32_t fillOrder);

// With `state` null: starts a strip on `stream` (writes Clear) and encodes the row; with `state`
// set: the next row; with `row` null: writes the pending code and EndOfInformation, flushes and
// frees the state. Stream errors are the caller's to detect.
void TIFFLZWCompress(const uint8_t* row, int32_t rowBytes, TStream& stream, void*& state);

}  // namespace rv
