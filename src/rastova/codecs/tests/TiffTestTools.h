#pragma once
// Shared pieces of the TIFF tests: the coder set-up a codec test needs (the library's I/O
// start-up installs it in the program), reading and writing pages in memory, and the checker
// tools of libtiff.
#include <memory>
#include <string>
#include <vector>

#include "TestTools.h"
#include "rastova/codecs/tifccitt.h"
#include "rastova/codecs/tiffilt.h"
#include "rastova/codecs/tiflzw.h"

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

// Reads page `index` of the TIFF bytes; `setup` may change the parameters first.
std::unique_ptr<TiffRead> ReadTiff(const std::vector<uint8_t>& data, int32_t index = 0, bool native = false,
                                   bool tagsOnly = false, bool thumbnail = false);
// Writes the bitmap with the parameters as a new file.
std::vector<uint8_t> WriteTiff(TRVBitmap& bitmap, TIOParamsVals& params, TRVMask* alpha = nullptr,
                               bool* ok = nullptr);

bool HaveTiffTools();
// Output of `tiffdump` for the file.
std::string TiffDump(const std::string& path);

}  // namespace rv::test
