#pragma once
// Pictures for the shape file tests: written through the I/O component or by Pillow, and read
// back by Pillow.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/io/RastovaIO.h"

namespace shape_test {

// Writes a w x h picture whose pixel (x, y) is `rgb(x, y)` (colour word, red low), with an alpha
// channel from `alpha` when given, and the Targa author text. True when the save succeeded.
inline bool WritePicture(const std::string& fileName, int w, int h,
                         const std::function<uint32_t(int, int)>& rgb, const std::string& author = "",
                         const std::function<uint8_t(int, int)>& alpha = nullptr) {
  rv::TRVBitmap b(w, h, rv::rv24RGB);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t c = rgb(x, y);
      b.SetPixels(x, y, ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF));
    }
  if (alpha) {
    rv::TRVBitmap* a = b.AlphaBitmap();
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) a->SetPixels_rv8(x, y, alpha(x, y));
  }
  rv::TRastovaIO io(&b);
  io.Params.TGA_Author = author;
  io.SaveToFile(fileName);
  return !io.Aborting;
}

inline bool RunPython(const std::string& script, std::string* output = nullptr) {
  const std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                           "/zephor_shape_py_" + std::to_string(::getpid()) + ".py";
  std::ofstream(path) << script;
  FILE* pipe = ::popen(("/usr/bin/python3 " + path + " 2>&1").c_str(), "r");
  if (!pipe) return false;
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
  const int rc = ::pclose(pipe);
  std::remove(path.c_str());
  if (output) *output = out;
  return rc == 0;
}

inline bool HavePillow() { return RunPython("import PIL.Image\n"); }

}  // namespace shape_test
