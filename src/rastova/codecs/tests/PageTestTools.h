#pragma once
// Shared pieces of the PostScript and PDF writer tests: the pictures put on pages, the outside
// renderers (Ghostscript, poppler) and the comparison of a rendered page with its picture.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "TestTools.h"
#include "rastova/codecs/tiff/tifccitt.h"
#include "rastova/codecs/tiff/tiflzw.h"
#include "rastova/core/RVBitmap.h"

namespace rv::test {

// Builds the fax tables and installs the LZW encoder, as the I/O start-up does in the program.
class PageWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TifCCITTStartup();
    TIFFLZWEncoderHook = TIFFLZWCompress;
  }
};

// Tools installed by scripts/install-deps.sh.
bool HaveGhostscript();
bool HavePoppler();
bool HaveQpdf();

// Takes the first `room` bytes, then refuses; reads back what it holds.
class TFullDisk : public TMemoryStream {
 public:
  explicit TFullDisk(int64_t room) : room_(room) {}
  int64_t Write(const void* buffer, int64_t count) override {
    const int64_t n = count < room_ - GetPosition() ? count : room_ - GetPosition();
    return TMemoryStream::Write(buffer, n > 0 ? n : 0);
  }

 private:
  int64_t room_;
};

// A rendered page: RGB bytes, rows top first.
struct TPage {
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  const uint8_t* At(int x, int y) const { return rgb.data() + (static_cast<size_t>(y) * w + x) * 3; }
};

// Every page of a PostScript or PDF file rendered by Ghostscript at 72 dpi on A4, or of a PDF
// file by pdftoppm at 72 dpi. Empty on failure.
std::vector<TPage> RenderWithGhostscript(const std::string& path, int pages);
std::vector<TPage> RenderWithPoppler(const std::string& path, int pages);

// Pictures whose size scales to the default A4 page by the whole factor 5 (595 x 420 points).
constexpr int kPageW = 119, kPageH = 84, kScale = 5;
// A noisy colour picture (the codecs' test picture), a smooth one (for JPEG) and a bilevel one.
void FillNoisy(TRVBitmap& bitmap, int w = kPageW, int h = kPageH);
void FillSmooth(TRVBitmap& bitmap, int w = kPageW, int h = kPageH);
void FillBilevel(TRVBitmap& bitmap, int w = kPageW, int h = kPageH);
// Pairs of equal bytes in every row (A B B C C ...): the costliest input of run-length coding.
void FillPairs(TRVBitmap& bitmap, TRVPixelFormat format, int w = kPageW, int h = kPageH);
// The pictures of the rendering tables by kind.
enum class TPicture { Bilevel, Noisy, Smooth, BilevelPairs, ColorPairs };
void FillPicture(TRVBitmap& bitmap, TPicture kind);
// A row of the rendering tables: a picture written with a coding (and a JPEG colour space) must
// render like the picture within a tolerance.
struct TRenderCase {
  const char* what;
  TPicture picture;
  uint8_t compression;
  uint8_t jpegColorSpace;
  int tolerance;
};
// Writes the case's picture through `write` (which sets the coding from the case) into the file
// `path`, asserting success and that the JPEG colour space setting is kept. `bytes` receives the
// file, `expected` the picture as the page must show it (its grey levels for a grey JPEG).
using TPageWrite = std::function<void(TStream&, TRVBitmap&, TIOParamsVals&, TRVProgressRec&)>;
void WriteRenderCase(const TRenderCase& c, const std::string& path, const TPageWrite& write,
                     TRVBitmap& expected, std::vector<uint8_t>& bytes);
// The colour picture turned into the grey levels a grey JPEG holds (ITU-R BT.601 weights).
void MakeGrey(TRVBitmap& bitmap);

// Asserts that the page shows `bitmap` at its top-left corner, each pixel as a `scale` x `scale`
// block (compared at the blocks' centres within `tolerance`), and white below it.
void ExpectPageShows(const TPage& page, TRVBitmap& bitmap, int scale, int tolerance, const std::string& what);

std::string TextOf(const std::vector<uint8_t>& bytes);

}  // namespace rv::test
