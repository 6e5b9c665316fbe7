#pragma once
// Number text in the fixed "en-US" form (decimal point ".", no grouping) that every file
// ZEPHOR reads or writes uses, whatever locale the process runs in. A Qt application
// switches the C locale to the user's; none of these functions depends on it.
#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

namespace common {

// printf-style formatting in the "C" numeric locale (for example FormatC("%1.8f", x)).
std::string FormatC(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string FormatCV(const char* fmt, va_list args) __attribute__((format(printf, 1, 0)));

// Fixed notation with `decimals` digits after the point, rounded as printf rounds.
std::string FormatFixed(double value, int decimals);

// Parses a whole decimal number (optional sign, ".", exponent; surrounding blanks allowed).
// Returns false and leaves `out` alone on anything else, including an empty text.
bool TryStrToFloat(std::string_view text, double& out);
double StrToFloatDef(std::string_view text, double fallback);
// As TryStrToFloat, throwing EConvertError("'<text>' is not a valid floating point value").
double StrToFloat(std::string_view text);

// Decimal integers (optional sign; "$" or "0x" prefix for hexadecimal), range-checked.
bool TryStrToInt64(std::string_view text, int64_t& out);
bool TryStrToInt(std::string_view text, int32_t& out);
int32_t StrToIntDef(std::string_view text, int32_t fallback);

std::string IntToStr(int64_t value);

}  // namespace common
