#pragma once
// The "RASTOVA TEXTMEMO" clipboard block of the text editor: N one-byte characters (line breaks as
// 10), a 0, then the 280-byte TRVCharFormat of each character in order, 281 x N + 1 bytes in all.
// Plain C++ without Qt: the block comes from other programs, and its reader is fuzzed.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rastova/core/draw/RVCharFormat.h"

namespace rv {

inline constexpr char kTextMemoFormatName[] = "RASTOVA TEXTMEMO";

// The block of `text` with formats[k] the record of character k (the two of the same length).
std::vector<uint8_t> BuildTextMemoBlock(std::string_view text, std::span<const TRVCharFormat> formats);

// Reads a block: N is the length of the zero-terminated text, taken only when the 0 lies inside
// the block and the block holds 281 x N + 1 bytes; anything else (a foreign or short block) gives
// false and nothing. Every record read is kept inside its ranges (SanitizeCharFormat).
bool ParseTextMemoBlock(std::span<const uint8_t> block, std::string& text,
                        std::vector<TRVCharFormat>& formats);

// Brings a record from outside into range: alignment 0 to 3 (else left), a known brush style
// (else clear), the four style bits only, a font height within +-kMaxFontHeight, padding and the
// name's unused bytes cleared. The reference count is left.
void SanitizeCharFormat(TRVCharFormat& f);

}  // namespace rv
