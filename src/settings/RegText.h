#pragma once
// The settings file's contents in memory, and its text form.
//
// The settings live in one text file in the REGEDIT4 format, the form in which the registry
// of the user's part is exported:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\DURIM PROJECT\ZEPHOR6\Setup]
//   "View Level"=dword:00000001
//   "File OverWrite"="1"
//   "RotateDegreeF"=hex:00,00,00,00,00,00,3e,40
//
// Keys and value names compare without regard to ASCII case, as the registry's do. Keys keep
// the order in which they were first seen, values within a key the order in which they were
// first set, so rewriting a file never shuffles it.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace settings {

enum class TRegDataType : uint8_t { rdUnknown, rdString, rdInteger, rdBinary };

struct TRegValue {
  TRegDataType Type = TRegDataType::rdUnknown;
  uint32_t Integer = 0;  // rdInteger (a DWORD)
  std::string Data;      // rdString: the text (UTF-8); rdBinary: the bytes

  static TRegValue FromString(std::string_view text);
  static TRegValue FromInteger(uint32_t value);
  static TRegValue FromBinary(std::string_view bytes);
  bool operator==(const TRegValue&) const = default;
};

struct TRegEntry {
  std::string Name;  // "" is the key's default value, written as @
  TRegValue Value;
};

// A key path in its stored form: the names between backslashes, empty names dropped
// ("\Software\DURIM PROJECT\" -> "Software\DURIM PROJECT"). "" is HKEY_CURRENT_USER itself.
std::string NormalizeKeyPath(std::string_view path);

// ASCII lower case, for comparing key paths and value names.
std::string FoldCase(std::string_view text);

class TRegTree {
 public:
  struct TKey {
    std::string Path;  // normalized
    std::vector<TRegEntry> Values;
  };

  const std::vector<TKey>& Keys() const { return keys_; }
  bool Empty() const { return keys_.empty(); }
  void Clear();

  // `path` is normalized here; nullptr when the key or value does not exist.
  const TKey* FindKey(std::string_view path) const;
  const TRegValue* FindValue(std::string_view path, std::string_view name) const;

  void CreateKey(std::string_view path);
  // Replaces a value of the same name (keeping its place) or appends a new one.
  void SetValue(std::string_view path, std::string_view name, const TRegValue& value);
  // Creates every key of `changes` and sets every value of it, in their order.
  void Merge(const TRegTree& changes);

 private:
  size_t KeyIndex(const std::string& normalizedPath);

  std::vector<TKey> keys_;
  std::unordered_map<std::string, size_t> keyIndex_;                 // folded path
  std::vector<std::unordered_map<std::string, size_t>> valueIndex_;  // per key: folded name
};

// Reads the text of a settings file. Never fails: lines that are not a well-formed header or
// value (garbage, values of kinds the file does not keep, deletions, keys outside
// HKEY_CURRENT_USER and the values under them) are skipped. A binary value whose last line
// has no line end is skipped too, since a cut file could otherwise yield a shorter value.
TRegTree ParseRegText(std::string_view text);

// The text of a settings file: "REGEDIT4", then each key as a header line followed by its
// values, a blank line before each header and at the end.
std::string FormatRegText(const TRegTree& tree);

}  // namespace settings
