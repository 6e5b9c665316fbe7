#pragma once
// A private settings folder per test: a temporary folder that stands for XDG_CONFIG_HOME.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace settings_test {

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteWholeFile(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

inline bool IsRoot() { return ::geteuid() == 0; }

class TSettingsFolder : public testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = testing::TempDir() + "zephor-settings-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) oldXdg_ = old;
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  }
  void TearDown() override {
    if (oldXdg_)
      ::setenv("XDG_CONFIG_HOME", oldXdg_->c_str(), 1);
    else
      ::unsetenv("XDG_CONFIG_HOME");
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(dir_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
      if (it->is_directory(ec) && !it->is_symlink(ec)) ::chmod(it->path().c_str(), 0700);
    ::chmod(dir_.c_str(), 0700);
    std::filesystem::remove_all(dir_, ec);
  }

  const std::string& Dir() const { return dir_; }
  // Where the store keeps the settings for this test.
  std::string SettingsPath() const { return dir_ + "/DURIM PROJECT/ZEPHOR6.reg"; }
  std::string SettingsFolder() const { return dir_ + "/DURIM PROJECT"; }

 private:
  std::string dir_;
  std::optional<std::string> oldXdg_;
};

}  // namespace settings_test
