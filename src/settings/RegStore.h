#pragma once
// The settings store: registry keys and typed values kept in one REGEDIT4 text file,
// by default $XDG_CONFIG_HOME/DURIM PROJECT/ZEPHOR6.reg (~/.config when XDG_CONFIG_HOME is not
// set). A key is named by its registry path under the current user, for example
// "\Software\DURIM PROJECT\ZEPHOR6\Setup".
//
// Several stores may use the same file at once, in one process or in several (the program
// and a plug-in, which links its own copy of this library). A store reads the file when it
// is created; writes change its own view at once and reach the file at Flush, which takes
// an exclusive lock on the file's folder, re-reads the file as it is on disk, applies this
// store's changes to it and replaces it atomically (a temporary file in the same folder,
// synced, then renamed over it). Values that other stores wrote meanwhile stay; for a value
// both wrote, the last flush wins.
//
// A missing, empty or damaged file reads as empty, or as the part of it that is well formed.
// A failed flush throws ERegistryException and leaves the file as it was.
//
// One store is used by one thread at a time.
#include <string>
#include <string_view>
#include <vector>

#include "common/Exception.h"
#include "settings/RegText.h"

namespace settings {

class ERegistryException : public common::Exception {
 public:
  using Exception::Exception;
};

// $XDG_CONFIG_HOME/DURIM PROJECT/ZEPHOR6.reg; when XDG_CONFIG_HOME is unset, empty or not an
// absolute path, ~/.config stands for it. "" when no home folder is known either.
std::string DefaultSettingsFileName();
// The file that stores use unless given another: the one set by SetSettingsFileName, else
// DefaultSettingsFileName() as the environment is now.
std::string SettingsFileName();
// Points this copy of the library at another file ("" returns to the default). For tests and
// tools; call it before stores are created.
void SetSettingsFileName(std::string fileName);

// Files larger than this are not settings files; they read as empty.
constexpr size_t kMaxSettingsFileSize = 64u << 20;

class TRegStore {
 public:
  explicit TRegStore(std::string fileName = SettingsFileName());

  const std::string& FileName() const { return fileName_; }

  // Reads the file again; this store's unflushed writes stay on top of what it holds.
  void Reload();

  bool KeyExists(std::string_view key) const;
  bool ValueExists(std::string_view key, std::string_view name) const;
  // rdUnknown when the value does not exist.
  TRegDataType GetDataType(std::string_view key, std::string_view name) const;
  // nullptr when the value does not exist.
  const TRegValue* GetValue(std::string_view key, std::string_view name) const;
  // The names of the key's values in their stored order; empty when the key does not exist.
  std::vector<std::string> GetValueNames(std::string_view key) const;

  // Key paths and value names may not contain line ends or NUL characters, which the file
  // cannot hold (ERegistryException).
  void CreateKey(std::string_view key);
  void WriteInteger(std::string_view key, std::string_view name, uint32_t value);
  void WriteString(std::string_view key, std::string_view name, std::string_view text);
  void WriteBinary(std::string_view key, std::string_view name, std::string_view bytes);
  void WriteValue(std::string_view key, std::string_view name, const TRegValue& value);

  // True while writes wait for Flush.
  bool Modified() const { return !pending_.Empty(); }
  // Merges the writes into the file (see above). Nothing happens when there are none. Throws
  // ERegistryException when the folder or the file cannot be written, or when a file exists
  // there that cannot be read (replacing it would lose its values); the writes then stay
  // pending.
  void Flush();

 private:
  std::string fileName_;
  TRegTree tree_;     // the file as last read or written, with the pending writes applied
  TRegTree pending_;  // writes since the last flush
};

}  // namespace settings
