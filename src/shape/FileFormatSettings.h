#pragma once
// FileFormatSettings: the number format of every shape file reader and writer (sculpt-map scale
// texts, the OBJ, XML and COLLADA files): the "en-US" form with "." as the decimal separator and
// no grouping, whatever locale the program runs in. The text itself is made and read by the
// locale-free helpers of common/NumberText.h; file code goes through this object so that every
// number of a shape file takes the one format.
#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

namespace shape {

class TFileFormatSettings {
 public:
  static constexpr char DecimalSeparator = '.';

  // printf-style formatting ("%1.8f", "%.5f", "%2.1f", "%d").
  std::string Format(const char* fmt, ...) const __attribute__((format(printf, 2, 3)));
  // Appends `value` as Format("%.<decimals>f") writes it, and an integer as "%d" does, without an
  // allocation or a locale switch per number (the mesh writers put out millions of them).
  void AppendFixed(std::string& out, double value, int decimals) const;
  void AppendInt(std::string& out, int64_t value) const;
  // A whole decimal number with "." (optional sign and exponent, blanks around allowed); false,
  // with `out` untouched, for anything else ("1,5", "nan", "inf" and hexadecimal included, and a
  // number beyond the range of double).
  bool TryStrToFloat(std::string_view text, double& out) const;
  // The number, or `fallback` when the text is none.
  double StrToFloatDef(std::string_view text, double fallback) const;
};

extern const TFileFormatSettings FileFormatSettings;

}  // namespace shape
