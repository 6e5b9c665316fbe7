#pragma once
// Test support: a comma-decimal locale ("de_DE.UTF-8") for setlocale. scripts/install-deps.sh
// generates it for the whole machine. Where that has not run, it is built once from the locale
// sources into a shared folder under the test temporary directory (guarded by a file lock, since
// tests run in parallel) and LOCPATH points there. A test skips only where the locale cannot be
// generated at all (CommaLocaleCanBeGenerated false); anywhere else a missing locale fails it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace common::testing_support {

inline const char* kCommaLocale = "de_DE.UTF-8";

// Whether setlocale can switch to the locale now; leaves the current locale as it was.
inline bool CommaLocaleAvailable() {
  std::string old = setlocale(LC_ALL, nullptr);
  bool ok = setlocale(LC_ALL, kCommaLocale) != nullptr;
  setlocale(LC_ALL, old.c_str());
  return ok;
}

// Whether this machine has what building the locale needs: localedef and the locale sources.
inline bool CommaLocaleCanBeGenerated() {
  return access("/usr/share/i18n/locales/de_DE", R_OK) == 0 &&
         std::system("command -v localedef >/dev/null 2>&1") == 0;
}

// True when setlocale(LC_ALL, kCommaLocale) can succeed; leaves the current locale as it was.
inline bool EnsureCommaLocale() {
  if (CommaLocaleAvailable()) return true;
  // The C library remembers, for the rest of the process, a locale it looked for in a folder and
  // did not find there: the private folder is made complete before setlocale first looks into it.
  const std::string dir = testing::TempDir() + "zephor-locales";
  const std::string cmd = "mkdir -p '" + dir + "' && flock '" + dir + ".lock' sh -c '[ -e \"" + dir +
                          "/de_DE.UTF-8/LC_NUMERIC\" ] || localedef -i de_DE -f UTF-8 \"" + dir +
                          "/de_DE.UTF-8\"' >/dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0) return false;
  setenv("LOCPATH", dir.c_str(), 1);
  return CommaLocaleAvailable();
}

}  // namespace common::testing_support
