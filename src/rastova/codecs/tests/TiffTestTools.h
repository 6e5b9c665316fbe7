#pragma once
// Shared pieces of the TIFF tests: the coder set-up a codec test needs (the library's I/O
// start-up installs it in the program), reading and writing pages in memory, and the checker
// tools of libtiff.
#include <memory>
#include <string>
#include <vector>

#include "TestTools.h"
#include "rastova/codecs/tiff/tifccitt.h"
#include "rastova/codecs/tiff/tiffilt.h"
#include "rastova/codecs/tiff/tiflzw.h"

namespace rv::test {

// Builds the fax tables and installs the LZW hooks (as the I/O start-up does).
class TiffTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TifCCITTStartup();
    TIFFLZWDecoderHook = TIFFLZWDecompress;
    TIFFLZWEncoderHook = TIFFLZWCompress;
  }
};

struct TiffRead {
  TRVBitmap bitmap;
  TIOParamsVals params;
  std::unique_ptr<TRVMask> mask;
  int32_t pages = 0;
  bool ok = false;
};

// Reads page `index` of the TIFF bytes (offsets from the start of the data).
std::unique_ptr<TiffRead> ReadTiff(const std::vector<uint8_t>& data, int32_t index = 0, bool native = false,
                                   bool tagsOnly = false, bool thumbnail = false);
// Writes the bitmap with the parameters as a new file.
std::vector<uint8_t> WriteTiff(TRVBitmap& bitmap, TIOParamsVals& params, TRVMask* alpha = nullptr,
                               bool* ok = nullptr);

bool HaveTiffTools();
// Output of `tiffdump` for the file.
std::string TiffDump(const std::string& path);

}  // namespace rv::test

namespace rv::test {

// Builds small TIFF files by hand: entries with their values, data blocks placed after the
// header, little- or big-endian, and several IFDs chained.
class TiffBuilder {
 public:
  explicit TiffBuilder(bool littleEndian = true) : le_(littleEndian) {}
  // Appends a block of data and returns its offset.
  uint32_t Data(const std::vector<uint8_t>& bytes);
  // An entry of `type` with its values (SHORT and LONG values as numbers, ASCII and BYTE as
  // bytes); values that do not fit in the entry are placed as data.
  void Entry(uint16_t tag, uint16_t type, const std::vector<uint32_t>& values);
  // An entry given exactly as stored (count and value field).
  void RawEntry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value);
  // Ends the current IFD; the next entries go into a new one.
  void NextIFD();
  // The file: header, data, then the IFDs chained in order (or as `links` say: the next-IFD
  // offset of IFD i is that of IFD links[i], -1 for 0).
  std::vector<uint8_t> Bytes(const std::vector<int>& links = {});
  // A minimal page: width x height, one sample of `bits`, the given strips.
  static std::vector<uint8_t> Page(int width, int height, int bits, const std::vector<uint8_t>& strip,
                                   uint16_t compression = 1, uint16_t photometric = 1);

 private:
  struct E {
    uint16_t tag, type;
    uint32_t count, value;
  };
  void Put16(std::vector<uint8_t>& b, uint32_t v) const;
  void Put32(std::vector<uint8_t>& b, uint32_t v) const;
  bool le_;
  std::vector<uint8_t> data_;
  std::vector<std::vector<E>> ifds_{{}};
};

}  // namespace rv::test
