#pragma once
// Text encodings. Strings held in memory are UTF-8; 8-bit strings kept in files use the
// Windows-1252 code page, and the plug-in interface passes UTF-16.
#include <string>
#include <string_view>

namespace common {

// Windows-1252: every byte maps to one code point. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value, so
// any byte string survives a round trip.
char32_t Cp1252ToCodePoint(unsigned char byte) noexcept;
// The byte for a code point, or -1 when the code page has none.
int CodePointToCp1252(char32_t cp) noexcept;

std::string Cp1252ToUtf8(std::string_view bytes);
// Code points the code page lacks become `replacement`.
std::string Utf8ToCp1252(std::string_view utf8, char replacement = '?');

// Malformed sequences, lone surrogates and code points above U+10FFFF become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
std::u32string Utf8ToUtf32(std::string_view utf8);
std::string CodePointToUtf8(char32_t cp);

}  // namespace common
