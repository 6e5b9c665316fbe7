#pragma once
// Shared pieces of the codec tests: temporary folders, the independent tools (Pillow through the
// system's Python, ImageMagick), a deterministic test picture and small stream helpers.
#include <gtest/gtest.h>

#include <functional>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVProgressRec.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVMask.h"
#include "rastova/core/RVStream.h"

namespace rv::test {

// A folder of its own per test, removed afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

bool HavePillow();
bool HaveMagick();
// Runs a Python script with the system interpreter; true on exit status 0.
bool RunPython(const std::string& script);
// Runs a shell command; true on exit status 0.
bool RunCommand(const std::string& command);

std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& data);
std::unique_ptr<TMemoryStream> StreamOf(const std::vector<uint8_t>& data);
std::vector<uint8_t> BytesOf(TMemoryStream& stream);
// Appends bytes (a plain copy; vector::insert trips a false warning of the compiler here).
void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& from);

// The test picture: colour and alpha of pixel (x, y), the same in C++ and in the Python
// snippet below (which defines px(x, y) -> (r, g, b, a)).
struct Rgba {
  uint8_t r, g, b, a;
};
inline Rgba TestPixel(int x, int y) {
  return Rgba{uint8_t((x * 19 + y * 7) % 256), uint8_t((x * 3 + y * 31) % 256), uint8_t((x * y * 5 + 11) % 256),
              uint8_t((x * 37 + y * 11) % 256)};
}
extern const char* const kPyTestPixel;
// A picture of few colours (for palette formats): at most 16 distinct colours.
inline Rgba FewColorPixel(int x, int y) {
  const int k = (x / 2 + y) % 16;
  return Rgba{uint8_t(k * 16), uint8_t(255 - k * 16), uint8_t((k * 40) % 256), uint8_t(k < 8 ? 255 : 0)};
}
extern const char* const kPyFewColorPixel;

// An rv24RGB bitmap of the test picture (few colours when `few`).
void FillTestBitmap(TRVBitmap& bitmap, int w, int h, bool few = false);
// An 8-bit mask of the picture's alpha.
std::unique_ptr<TRVMask> TestAlphaMask(int w, int h, bool few = false);

// Pixel of a decoded bitmap as RGB (any of rv1g, rv8p, rv8g, rv24RGB).
Rgba PixelOf(TRVBitmap& bitmap, int x, int y);

// Decodes every file with each available outside tool (tool 0 Pillow, 1 ImageMagick), asserts
// that each decodes to w x h, and hands the RGBA bytes to `check` with the file's index.
void ForEachToolDecoding(const std::vector<std::string>& paths, bool pil, bool magick, int w, int h,
                         const std::function<void(size_t i, int tool, const std::vector<uint8_t>& rgba)>& check);

// Asserts that a decoded bitmap is the w x h test picture (colours only).
void ExpectPicture(TRVBitmap& b, int w, int h, bool few, const char* what);

// RGBA bytes of a file as Pillow decodes it (w, h returned), or false.
bool PillowDecode(const std::string& path, int& w, int& h, std::vector<uint8_t>& rgba, const std::string& mode = "RGBA");
// Decodes several files in one run of the interpreter; LoadDecoded then gives each result.
bool PillowDecodeAll(const std::vector<std::string>& paths, const std::string& mode = "RGBA");
bool LoadDecoded(const std::string& path, int& w, int& h, std::vector<uint8_t>& rgba);
// The same through ImageMagick.
bool MagickDecode(const std::string& path, int& w, int& h, std::vector<uint8_t>& rgba);

}  // namespace rv::test
