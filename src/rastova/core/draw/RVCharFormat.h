#pragma once
// TRVCharFormat: the format of one character of the view's text editor
// (rastova/view/text/RVTextControl.h), kept byte for byte as memo objects store it in the vector
// object stream (rastova/io/vector/RVVObjStream.h) and as the "RASTOVA TEXTMEMO" clipboard block
// carries it (rastova/view/text/RVTextMemoBlock.h). Plain C++ without Qt, here beside the font
// record, so that the readers of those blocks build without a window system.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace rv {

// Bits of TRVCharFormat::FontStyle.
constexpr uint8_t rvfsBold = 1, rvfsItalic = 2, rvfsUnderline = 4, rvfsStrikeOut = 8;
// Paragraph alignments (TRVCharFormat::Alignment).
constexpr uint8_t rvtaLeft = 0, rvtaRight = 1, rvtaCenter = 2, rvtaJustify = 3;

// The largest font height (either sign) the editor uses; records from outside are held to it.
constexpr int32_t kMaxFontHeight = 16384;

struct TRVCharFormat {
  int32_t RefCount;       // characters that were given this record (SetCharFormat)
  uint8_t FontName[256];  // a length byte, then up to 255 one-byte (Windows-1252) characters
  int32_t FontHeight;     // the font's Height: negative for the character height in pixels
  uint8_t FontStyle;      // rvfsBold | rvfsItalic | rvfsUnderline | rvfsStrikeOut
  uint8_t Reserved1[3];
  int32_t FontColor;  // TColor
  int32_t BackColor;  // TColor of the character background
  uint8_t BackStyle;  // TBrushStyle of the character background
  uint8_t Alignment;  // of the paragraph: rvtaLeft .. rvtaJustify
  uint8_t Reserved2[2];
};

static_assert(std::endian::native == std::endian::little, "the record is stored little-endian");
static_assert(sizeof(TRVCharFormat) == 280);
static_assert(offsetof(TRVCharFormat, RefCount) == 0);
static_assert(offsetof(TRVCharFormat, FontName) == 4);
static_assert(offsetof(TRVCharFormat, FontHeight) == 260);
static_assert(offsetof(TRVCharFormat, FontStyle) == 264);
static_assert(offsetof(TRVCharFormat, Reserved1) == 265);
static_assert(offsetof(TRVCharFormat, FontColor) == 268);
static_assert(offsetof(TRVCharFormat, BackColor) == 272);
static_assert(offsetof(TRVCharFormat, BackStyle) == 276);
static_assert(offsetof(TRVCharFormat, Alignment) == 277);
static_assert(offsetof(TRVCharFormat, Reserved2) == 278);

// Two formats are the same when bytes 4 to 279 agree: the reference count is not compared.
inline bool SameCharFormat(const TRVCharFormat& a, const TRVCharFormat& b) {
  return std::memcmp(reinterpret_cast<const uint8_t*>(&a) + 4, reinterpret_cast<const uint8_t*>(&b) + 4,
                     sizeof(TRVCharFormat) - 4) == 0;
}

// The font name's one-byte characters (the length byte says how many; never more than 255).
inline std::string_view CharFormatFontName(const TRVCharFormat& f) {
  return std::string_view(reinterpret_cast<const char*>(f.FontName + 1), f.FontName[0]);
}
// Stores a one-byte name, cut at 255 characters; the bytes after it are cleared.
inline void SetCharFormatFontName(TRVCharFormat& f, std::string_view name) {
  const size_t n = name.size() < 255 ? name.size() : 255;
  std::memset(f.FontName, 0, sizeof f.FontName);
  f.FontName[0] = static_cast<uint8_t>(n);
  std::memcpy(f.FontName + 1, name.data(), n);
}

}  // namespace rv
