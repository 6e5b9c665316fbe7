// The OBJ reader on a file; the first byte chooses the forced stitch type (0 to 3, 4 detects).
#include <exception>
#include <string>

#include "fuzz/ShapeInput.h"
#include "shape/ObjFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::ShapeFileInput in("obj", ".obj", data, size, 5, shape::SCTYPE_SPHERE);
  if (in.Name().empty()) return 0;
  std::string mtl;
  try {
    shape::ReadObjFile(in.cs, in.Name(), mtl, in.choice == 4 ? -1 : static_cast<int32_t>(in.choice));
  } catch (const std::exception&) {
  }
  return 0;
}
