#pragma once
// The CCITT fax coder of TIFF compressions 2 (modified Huffman), 3 (Group 3, one- and
// two-dimensional) and 4 (Group 4), one bilevel row per call. The TIFF reader's row routine calls
// the decoders; the TIFF, PostScript and PDF writers call the encoders.
//
// Rows are bit arrays, most significant bit first. The decoders produce 1 for white and 0 for
// black; the encoders take 0 for white and 1 for black. Fill order 1 reads and writes the first
// bit of the data in the most significant bit of each byte, fill order 2 in the least.
//
// The state of a strip lives in the caller: the bit position and reference line of the decoders,
// the pending partial byte and reference line of the encoders. The decode tables are built by
// TifCCITTStartup (run by the library start-up in its TifCCITT slot) and freed by
// TifCCITTShutdown; before the start-up the decoders leave every row white.
#include <cstdint>
#include <vector>

namespace rv {

class TStream;

void TifCCITTStartup();
void TifCCITTShutdown();
// Registers the two steps above in the library start-up (done with the I/O front end's step).
void RegisterTifCCITTStartup();

// ---- decoders: each returns the bit position after the row. `width` is in pixels; `row` holds
// ceil(width / 8) bytes. Bits past the end of the data read as zeros and a code met there ends
// the row, so every call ends.

// One-dimensional row starting at `startBit` (modified Huffman runs; leading EOLs are skipped).
int64_t FaxDecode1DLine(uint8_t* row, const uint8_t* data, int64_t dataLength, int32_t fillOrder,
                        int64_t startBit, int32_t width);
// A modified Huffman row from bit 0 of `data`; returns the whole bytes it used.
int64_t FaxDecodeMHLine(uint8_t* row, const uint8_t* data, int64_t dataLength, int32_t fillOrder,
                        int32_t width);
// A two-dimensional row against `referenceLine` (ceil(width / 8) bytes, 1 = white; all white at
// the start of a strip), which then receives the decoded row. `zeroSkip` accepts fill bits of any
// length before an EOL (Group 3).
int64_t FaxDecode2DLine(uint8_t* row, const uint8_t* data, int64_t dataLength, bool zeroSkip,
                        int32_t fillOrder, int64_t startBit, uint8_t* referenceLine, int32_t width);

// ---- encoders. Each writes whole bytes to the stream and keeps the partial last byte in
// `pendingCount` (0-7 bits) and `pendingByte` for the next call; a short write sets `errorFlag`.
// `referenceLine` is empty at the start of a strip; the end call (a null row) flushes and empties
// it.

// One modified Huffman row, starting and ending on a byte boundary.
void FaxEncodeMHRow(const uint8_t* row, int32_t width, TStream& stream, int32_t fillOrder, bool& errorFlag);
// One-dimensional runs after an EOL, without alignment; a null row ends the data.
void FaxEncode1DRow(const uint8_t* row, int32_t width, TStream& stream, int32_t fillOrder, bool& errorFlag,
                    int32_t& pendingCount, uint8_t& pendingByte);
// Group 3 two-dimensional: EOL, tag bit, then the row one-dimensionally (first row of a strip) or
// against the previous row; a null row writes the final EOL and ends the data.
void FaxEncodeG3Row(const uint8_t* row, int32_t width, TStream& stream, int32_t fillOrder, bool& errorFlag,
                    std::vector<uint8_t>& referenceLine, int32_t& pendingCount, uint8_t& pendingByte);
// Group 4: every row against the previous one (all white before the first); a null row writes
// the end-of-facsimile block and ends the data.
void FaxEncodeG4Row(const uint8_t* row, int32_t width, TStream& stream, int32_t fillOrder, bool& errorFlag,
                    std::vector<uint8_t>& referenceLine, int32_t& pendingCount, uint8_t& pendingByte);

}  // namespace rv
