#pragma once
// Test support: makes a comma-decimal locale ("de_DE.UTF-8") available to setlocale. When the
// machine has not generated it, it is built once from the locale sources into a shared folder
// under the test temporary directory (guarded by a file lock, since tests run in parallel) and
// LOCPATH points there.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace common::testing_support {

inline const char* kCommaLocale = "de_DE.UTF-8";

// True when setlocale(LC_ALL, kCommaLocale) can succeed; leaves the current locale as it was.
inline bool EnsureCommaLocale() {
  auto available = [] {
    std::string old = setlocale(LC_ALL, nullptr);
    bool ok = setlocale(LC_ALL, kCommaLocale) != nullptr;
    setlocale(LC_ALL, old.c_str());
    return ok;
  };
  if (available()) return true;
  const std::string dir = testing::TempDir() + "zephor-locales";
  setenv("LOCPATH", dir.c_str(), 1);
  if (available()) return true;
  const std::string cmd = "mkdir -p '" + dir + "' && flock '" + dir + ".lock' sh -c '[ -e \"" + dir +
                          "/de_DE.UTF-8/LC_NUMERIC\" ] || localedef -i de_DE -f UTF-8 \"" + dir +
                          "/de_DE.UTF-8\"' >/dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0) return false;
  return available();
}

}  // namespace common::testing_support
