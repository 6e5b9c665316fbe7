#include "shape/FileFormatSettings.h"

#include <charconv>
#include <system_error>

#include "common/NumberText.h"

namespace shape {

const TFileFormatSettings FileFormatSettings;

std::string TFileFormatSettings::Format(const char* fmt, ...) const {
  va_list args;
  va_start(args, fmt);
  std::string out = common::FormatCV(fmt, args);
  va_end(args);
  return out;
}

void TFileFormatSettings::AppendFixed(std::string& out, double value, int decimals) const {
  // std::to_chars writes what printf writes in the "C" locale. The buffer holds the largest double
  // in fixed notation with the decimals the files use; more decimals go through Format.
  char buf[400];
  const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  if (result.ec == std::errc())
    out.append(buf, result.ptr);
  else
    out += Format("%.*f", decimals, value);
}

void TFileFormatSettings::AppendInt(std::string& out, int64_t value) const {
  char buf[24];
  const auto result = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, result.ptr);
}

bool TFileFormatSettings::TryStrToFloat(std::string_view text, double& out) const {
  std::string_view s = text;
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  // from_chars takes no leading "+", and a sign may not follow it.
  if (!s.empty() && s.front() == '+') {
    s.remove_prefix(1);
    if (!s.empty() && s.front() == '-') return false;
  }
  // A digit or the point comes first (after a "-"): from_chars would also read "inf" and "nan".
  // In its general form it reads no hexadecimal, and the whole text must be the number.
  const size_t first = !s.empty() && s.front() == '-' ? 1 : 0;
  if (s.size() <= first || !((s[first] >= '0' && s[first] <= '9') || s[first] == '.')) return false;
  double v = 0;
  const auto result = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
  if (result.ptr != s.data() + s.size()) return false;
  // Out of range: underflow reads as the nearest representable value, overflow as no number.
  if (result.ec == std::errc::result_out_of_range) return common::TryStrToFloat(text, out);
  if (result.ec != std::errc()) return false;
  out = v;
  return true;
}

double TFileFormatSettings::StrToFloatDef(std::string_view text, double fallback) const {
  double v = 0;
  return TryStrToFloat(text, v) ? v : fallback;
}

}  // namespace shape
