// The XML object reader on a file; the first byte chooses whether the shape is reset first.
#include "fuzz/ShapeInput.h"
#include "shape/XmlObject.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::ShapeFileInput in("xml-object", ".xml", data, size, 2, shape::SCTYPE_PLANE);
  if (in.Name().empty()) return 0;
  shape::ReadXmlObject(in.cs, in.Name(), in.choice == 1);
  return 0;
}
