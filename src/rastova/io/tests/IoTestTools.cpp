#include "IoTestTools.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

namespace rv::iotest {

const char* const kPyPixel =
    "def px(x, y):\n"
    "    return ((x*19 + y*7) % 256, (x*3 + y*31) % 256, (x*y*5 + 11) % 256, (x*37 + y*11 + 3) % 256)\n";

TempDir::TempDir() {
  std::random_device rd;
  path_ = std::filesystem::temp_directory_path() /
          ("rvio-test-" + std::to_string(::getpid()) + "-" + std::to_string(rd()));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> TempDir::Entries() const {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(path_))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool HavePillow() {
  static const int have = std::system("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1") == 0 ? 1 : 0;
  return have != 0;
}

bool RunPython(const std::string& script) {
  TempDir dir;
  const std::string path = dir.File("script.py");
  {
    std::ofstream f(path);
    f << script;
  }
  return std::system(("/usr/bin/python3 " + path).c_str()) == 0;
}

std::string RunCapture(const std::string& command, bool& ok) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) {
    ok = false;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  ok = ::pclose(p) == 0;
  return out;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& data) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

SaneConfig::SaneConfig(const std::string& backends, int devices) {
  static TempDir dir;
  std::ofstream(dir.File("dll.conf")) << backends;
  std::ofstream(dir.File("test.conf")) << "number_of_devices " << devices << "\n";
  const char* old = std::getenv("SANE_CONFIG_DIR");
  had_ = old != nullptr;
  if (old) old_ = old;
  ::setenv("SANE_CONFIG_DIR", dir.Path().c_str(), 1);
}

SaneConfig::~SaneConfig() {
  if (had_)
    ::setenv("SANE_CONFIG_DIR", old_.c_str(), 1);
  else
    ::unsetenv("SANE_CONFIG_DIR");
}

}  // namespace rv::iotest
