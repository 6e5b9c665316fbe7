#pragma once
// What the texture tests share: temporary folders, the independent tools (ImageMagick, and Pillow
// and numpy through the system's Python) and small file helpers.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace gl3d::test {

// A folder of its own, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// True on exit status 0; error output is discarded.
bool RunCommand(const std::string& command);
// Runs a script with /usr/bin/python3 (the interpreter that has Pillow and numpy).
bool RunPython(const std::string& script);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// A decoded picture: RGBA bytes, top row first.
struct Rgba {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Pixels;
};
// The file as Pillow decodes it (converted to RGBA), or false.
bool PillowDecode(const std::string& path, Rgba& out);
// Several files in one run of the interpreter; LoadDecoded then gives each one's result.
bool PillowDecodeAll(const std::vector<std::string>& paths);
bool LoadDecoded(const std::string& path, Rgba& out);
// The file as ImageMagick decodes it, or false.
bool MagickDecode(const std::string& path, Rgba& out);

// A picture with detail in every channel: pixel (x, y) of any size.
inline void TestPixel(int x, int y, uint8_t out[4]) {
  out[0] = static_cast<uint8_t>((x * 19 + y * 7) % 256);
  out[1] = static_cast<uint8_t>((x * 3 + y * 31) % 256);
  out[2] = static_cast<uint8_t>((x * y * 5 + 11) % 256);
  out[3] = static_cast<uint8_t>((x * 37 + y * 11) % 256);
}
// The same formula as Python source defining px(x, y) -> (r, g, b, a).
extern const char* const kPyTestPixel;

}  // namespace gl3d::test
