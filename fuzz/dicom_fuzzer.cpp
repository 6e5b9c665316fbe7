// The DICOM reader, and the decoders it runs over pixel data that the DICOM reader hands them
// as buffers: lossless JPEG (into 16-bit or 8-bit samples) and PackBits. The first byte chooses:
// 0 the whole image, 1 the parameters only, 2 and 3 lossless JPEG, 4 PackBits.
#include <vector>

#include "fuzz/ImageInput.h"
#include "rastova/codecs/dicom/rvdicom.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephor_fuzz::ImageInput in(data, size, 5);
  if (in.choice <= 1) {
    rv::ReadDICOMStream(*in.stream, in.params, in.bitmap, in.progress, in.choice == 1);
    return 0;
  }
  if (size > 0) {
    ++data;
    --size;
  }
  // Room for a few frames of the size an input of fuzzing length can describe.
  constexpr int64_t kCapacity = 1 << 16;
  if (in.choice == 4) {
    std::vector<uint8_t> out(kCapacity);
    rv::DecodePackBits(data, static_cast<int64_t>(size), out.data(), kCapacity);
  } else if (in.choice == 2) {
    std::vector<uint16_t> out(kCapacity);
    rv::DecodeLosslessJPEGBuffer(data, static_cast<int64_t>(size), out.data(), nullptr, kCapacity, &in.progress);
  } else {
    std::vector<uint8_t> out(kCapacity);
    rv::DecodeLosslessJPEGBuffer(data, static_cast<int64_t>(size), nullptr, out.data(), kCapacity, &in.progress);
  }
  return 0;
}
