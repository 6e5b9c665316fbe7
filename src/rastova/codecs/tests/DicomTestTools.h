#pragma once
// Builds DICOM files for the reader's tests: the file meta group, data elements in any of the
// three encodings, sequences of undefined length and native or encapsulated pixel data.
#include <cstdint>
#include <string>
#include <vector>

namespace rv::test {

class DicomBuilder {
 public:
  enum Encoding { ExplicitLE, ImplicitLE, ExplicitBE };

  // Starts a file: with `preamble` the 128 zero bytes, "DICM" and the meta group naming `syntax`.
  DicomBuilder(const std::string& syntax, Encoding encoding, bool preamble = true);

  // One element of the data set with its value (padded to an even length with `pad`).
  DicomBuilder& Element(uint16_t group, uint16_t element, const char* vr, std::vector<uint8_t> value,
                        uint8_t pad = 0);
  DicomBuilder& Text(uint16_t group, uint16_t element, const char* vr, const std::string& text);
  DicomBuilder& US(uint16_t group, uint16_t element, uint16_t value);
  // The element header alone, with a given 32-bit length (0xFFFFFFFF: undefined).
  DicomBuilder& Header(uint16_t group, uint16_t element, const char* vr, uint32_t length);
  // The image attributes of group 0028.
  DicomBuilder& Image(int rows, int columns, int samples, int bitsAllocated, int bitsStored,
                      const std::string& photometric, int pixelRepresentation = 0, int frames = 0);
  // Native pixel data (16-bit samples are written in the data set's byte order by the caller).
  DicomBuilder& NativePixels(const std::vector<uint8_t>& bytes);
  // Encapsulated pixel data: one fragment per frame, with or without the offset table.
  DicomBuilder& EncapsulatedPixels(const std::vector<std::vector<uint8_t>>& frames, bool offsets);
  std::vector<uint8_t> Bytes() const { return out_; }

  // The data set's byte order for 16-bit samples.
  static void Put16(std::vector<uint8_t>& to, uint16_t v, bool bigEndian);

 private:
  void Tag(uint16_t group, uint16_t element);
  void Put32(uint32_t v);
  Encoding encoding_;
  std::vector<uint8_t> out_;
};

// A lossless JPEG stream (SOF3) of one component with predictor 1 and, when `restart` is not 0, a
// restart interval of that many samples: every category has a 5-bit code equal to its number.
std::vector<uint8_t> LosslessJpeg(int w, int h, int precision, int restart, const std::vector<int>& samples);

}  // namespace rv::test
