#pragma once
// Shared pieces of the I/O tests: a temporary folder per test, the independent tools that
// write the fixtures (Pillow through the system's Python, ImageMagick), and file helpers.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/io/RastovaIO.h"

namespace rv::iotest {

// A view that hands out its own image buffer and takes every other call without a trace; tests
// override the calls they watch.
class StubView : public TRVIOView {
 public:
  void* AddBitmapChangeHandler(TBitmapChangeHandler) override { return this; }
  void RemoveBitmapChangeHandler(void*) override {}
  TRVBitmap* GetRVBitmap() override { return &bitmap; }
  platform::TBitmap* GetBitmap() override { return nullptr; }
  TColor GetBackground() override { return 0; }
  int32_t GetDpiX() override { return 96; }
  int32_t GetDpiY() override { return 96; }
  bool IsRastovaView() override { return false; }
  void LockPaint() override {}
  int32_t UnlockPaint() override { return 0; }
  void SetDPI(int32_t, int32_t) override {}
  void Update() override {}
  void ImageChange() override {}
  TRVBitmap bitmap;
};

class TempDir {
 public:
  TempDir();
  ~TempDir();
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& Path() const { return path_; }
  // Names of the entries of the folder, sorted.
  std::vector<std::string> Entries() const;

 private:
  std::filesystem::path path_;
};

bool HavePillow();
// Runs a Python script with the system interpreter (the one that has Pillow).
bool RunPython(const std::string& script);
// Runs a command and returns its standard output; `ok` tells whether it exited with 0.
std::string RunCapture(const std::string& command, bool& ok);

std::vector<uint8_t> ReadFileBytes(const std::string& path);
// The file's bytes as text (empty when it cannot be read).
inline std::string ReadFileText(const std::string& path) {
  const std::vector<uint8_t> b = ReadFileBytes(path);
  return std::string(b.begin(), b.end());
}
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& data);

// The test picture of the Python snippet kPyPixel (px(x, y) -> (r, g, b, a)).
struct Rgba {
  uint8_t r, g, b, a;
};
inline Rgba TestPixel(int x, int y) {
  return Rgba{uint8_t((x * 19 + y * 7) % 256), uint8_t((x * 3 + y * 31) % 256),
              uint8_t((x * y * 5 + 11) % 256), uint8_t((x * 37 + y * 11 + 3) % 256)};
}
extern const char* const kPyPixel;

// Points the scanner library at a configuration folder of the tests' own while it lives: its
// dll.conf lists `backends`, and the test backend offers `devices` devices. The library keeps
// the folder it found at its first start for the rest of the process, so every instance
// rewrites the files of one folder that lives as long as the test program.
class SaneConfig {
 public:
  SaneConfig(const std::string& backends, int devices);
  ~SaneConfig();

 private:
  bool had_ = false;
  std::string old_;
};

}  // namespace rv::iotest
