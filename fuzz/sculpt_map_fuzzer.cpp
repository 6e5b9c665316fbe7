// The sculpt-map reader on a picture file; the first byte chooses the file's extension and
// the forced stitch type.
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "fuzz/ImageInput.h"
#include "shape/SculptImage.h"
#include "shape/model/uScPrim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::StartImageLibrary();
  static const char* const kExtensions[] = {".png", ".tga", ".bmp", ".jpg"};
  const unsigned choice = zephor_fuzz::TakeChoice(data, size, 20);
  static const std::string base = "/tmp/zephor-sculpt-fuzz-" + std::to_string(getpid());
  const std::string name = base + kExtensions[choice % 4];
  FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) return 0;
  const bool written = std::fwrite(data, 1, size, f) == size;
  std::fclose(f);
  if (written) {
    shape::TCS cs;
    shape::InitShape(cs, shape::SCTYPE_SPHERE, 9, 9);
    try {
      shape::ReadSculptImage(cs, name, static_cast<int32_t>(choice / 4) - 1);
    } catch (const std::exception&) {
    }
  }
  std::remove(name.c_str());
  return 0;
}
