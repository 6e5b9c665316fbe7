#pragma once
// The INI-style view of a registry key: each section is a subkey of the key, each entry a
// value of that subkey. This is how the program and its plug-ins keep their settings.
//
// Kinds as written and the conversions on reading:
//   WriteInteger: a DWORD.  ReadInteger: a DWORD as a signed 32-bit number; a string holding
//                 a decimal number (or "$"/"0x" hexadecimal), which is how Booleans are stored.
//   WriteBool:    the string "0" or "1".  ReadBool: ReadInteger, non-zero is true.
//   WriteFloat:   8 bytes, the raw little-endian double.  ReadFloat: exactly 8 binary bytes; a
//                 string holding a decimal number; a DWORD as a signed number.
//   WriteString:  a string.  ReadString: a string; a DWORD as its signed decimal text.
// A value that is missing, of a kind the read cannot convert, or whose text is not a number
// gives the caller's default. Reads never throw.
//
// Writes reach the file only at UpdateFile (see TRegStore::Flush), which throws when the
// file cannot be written. The destructor flushes writes still pending, unless UpdateFile has
// failed before; a failure there cannot be thrown and is only reported on stderr, so callers
// that care call UpdateFile themselves.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/RegStore.h"

namespace settings {

class TRegistryIniFile {
 public:
  // `keyPath`: a registry path under the current user, e.g. "\Software\DURIM PROJECT\ZEPHOR6".
  explicit TRegistryIniFile(std::string_view keyPath, std::string fileName = SettingsFileName());
  ~TRegistryIniFile();
  TRegistryIniFile(const TRegistryIniFile&) = delete;
  TRegistryIniFile& operator=(const TRegistryIniFile&) = delete;

  const std::string& KeyPath() const { return keyPath_; }
  TRegStore& Store() { return store_; }

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view ident) const;
  // The entry names of a section in their stored order.
  std::vector<std::string> ReadSection(std::string_view section) const;

  std::string ReadString(std::string_view section, std::string_view ident, std::string_view def) const;
  int32_t ReadInteger(std::string_view section, std::string_view ident, int32_t def) const;
  bool ReadBool(std::string_view section, std::string_view ident, bool def) const;
  double ReadFloat(std::string_view section, std::string_view ident, double def) const;

  void WriteString(std::string_view section, std::string_view ident, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view ident, int32_t value);
  void WriteBool(std::string_view section, std::string_view ident, bool value);
  void WriteFloat(std::string_view section, std::string_view ident, double value);

  // Writes the pending values to the file; throws ERegistryException on failure.
  void UpdateFile();

 private:
  std::string SectionKey(std::string_view section) const;

  std::string keyPath_;
  TRegStore store_;
  bool flushFailed_ = false;
};

}  // namespace settings
