#include "common/NumberText.h"

#include <locale.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include <cerrno>
#include <cmath>
#include <charconv>
#include <climits>

#include "common/Exception.h"

namespace common {

namespace {

// One "C" locale object for the process; uselocale() switches only the calling thread.
locale_t CLocale() {
  static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return loc;
}

class ScopedCLocale {
 public:
  ScopedCLocale() : old_(uselocale(CLocale())) {}
  ~ScopedCLocale() { uselocale(old_); }
  ScopedCLocale(const ScopedCLocale&) = delete;
  ScopedCLocale& operator=(const ScopedCLocale&) = delete;

 private:
  locale_t old_;
};

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

std::string FormatCV(const char* fmt, va_list args) {
  ScopedCLocale scope;
  char small[128];
  va_list again;
  va_copy(again, args);
  int n = vsnprintf(small, sizeof small, fmt, args);
  if (n < 0) {
    va_end(again);
    return std::string();
  }
  std::string out;
  if (static_cast<size_t>(n) < sizeof small) {
    out.assign(small, static_cast<size_t>(n));
  } else {
    out.assign(static_cast<size_t>(n), '\0');
    vsnprintf(out.data(), out.size() + 1, fmt, again);
  }
  va_end(again);
  return out;
}

std::string FormatC(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string out = FormatCV(fmt, args);
  va_end(args);
  return out;
}

std::string FormatFixed(double value, int decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > 60) decimals = 60;
  return FormatC("%.*f", decimals, value);
}

bool TryStrToFloat(std::string_view text, double& out) {
  std::string s(TrimBlanks(text));
  if (s.empty()) return false;
  // Only plain decimal numbers: strtod would also take "inf", "nan" and hexadecimal floats.
  for (char c : s) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
      return false;
  }
  char* end = nullptr;
  errno = 0;
  double v = strtod_l(s.c_str(), &end, CLocale());
  if (end != s.c_str() + s.size()) return false;
  if (errno == ERANGE && (v == HUGE_VAL || v == -HUGE_VAL)) return false;
  out = v;
  return true;
}

double StrToFloatDef(std::string_view text, double fallback) {
  double v;
  return TryStrToFloat(text, v) ? v : fallback;
}

double StrToFloat(std::string_view text) {
  double v;
  if (!TryStrToFloat(text, v))
    throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
  return v;
}

bool TryStrToInt64(std::string_view text, int64_t& out) {
  std::string_view s = TrimBlanks(text);
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (!s.empty() && s.front() == '$') {
    base = 16;
    s.remove_prefix(1);
  } else if (s.size() > 1 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty()) return false;
  uint64_t mag = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), mag, base);
  if (ec != std::errc() || p != s.data() + s.size()) return false;
  if (negative) {
    if (mag > static_cast<uint64_t>(INT64_MAX) + 1) return false;
    out = static_cast<int64_t>(0 - mag);
  } else {
    if (mag > static_cast<uint64_t>(INT64_MAX)) return false;
    out = static_cast<int64_t>(mag);
  }
  return true;
}

bool TryStrToInt(std::string_view text, int32_t& out) {
  int64_t v;
  if (!TryStrToInt64(text, v) || v < INT32_MIN || v > INT32_MAX) return false;
  out = static_cast<int32_t>(v);
  return true;
}

int32_t StrToIntDef(std::string_view text, int32_t fallback) {
  int32_t v;
  return TryStrToInt(text, v) ? v : fallback;
}

std::string IntToStr(int64_t value) {
  char buf[24];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, value);
  (void)ec;
  return std::string(buf, p);
}

}  // namespace common
