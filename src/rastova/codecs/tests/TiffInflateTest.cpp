// Deflate blocks inflated in one call give what the row-by-row reader gives: the same pixels on
// valid data, and the same outcome on streams that are cut, damaged, checksummed wrongly or
// longer than the block's rows.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "TiffTestTools.h"
#include "rastova/codecs/tiff/tiffdefs.h"
#include "rastova/core/RVBitmapInternal.h"
#include "rastova/core/RVDefs.h"

namespace rv::test {
namespace {

std::vector<uint8_t> Zlib(const std::vector<uint8_t>& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> out(size);
  EXPECT_EQ(compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 6), Z_OK);
  out.resize(size);
  return out;
}

struct Outcome {
  bool ok;
  std::vector<uint8_t> pixels;
};

Outcome ReadBoth(const std::vector<uint8_t>& file, bool whole) {
  testing::TIFFInflateWhole = whole;
  auto r = ReadTiff(file);
  testing::TIFFInflateWhole = true;
  Outcome o{r->ok, {}};
  for (int32_t y = 0; y < r->bitmap.GetHeight(); ++y) {
    const uint8_t* p = r->bitmap.GetScanLine(y);
    o.pixels.insert(o.pixels.end(), p, p + (r->bitmap.GetWidth() * r->bitmap.GetBitCount() + 7) / 8);
  }
  return o;
}

TEST_F(TiffTest, WholeBlockInflateAgreesWithTheRowReader) {
  const int width = 37, height = 23;
  std::vector<uint8_t> raw(size_t(width) * height);
  for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(i * 7 + i / 37);
  const std::vector<uint8_t> good = Zlib(raw);
  std::vector<uint8_t> longer = raw;
  longer.insert(longer.end(), 500, 9);  // the stream holds more than the page's rows
  struct Case {
    std::string name;
    std::vector<uint8_t> strip;
  };
  std::vector<Case> cases{{"valid", good}, {"longer than its rows", Zlib(longer)}};
  for (size_t cut : {good.size() - 1, good.size() - 4, good.size() / 2, size_t(3)})
    cases.push_back({"cut to " + std::to_string(cut), std::vector<uint8_t>(good.begin(), good.begin() + cut)});
  for (size_t at : {size_t(1), good.size() / 3, good.size() - 2}) {
    std::vector<uint8_t> bad = good;
    bad[at] ^= 0x5A;
    cases.push_back({"byte " + std::to_string(at) + " changed", bad});
  }
  for (const Case& c : cases) {
    for (uint16_t compression : {uint16_t(8), uint16_t(32946)}) {
      const std::vector<uint8_t> file = TiffBuilder::Page(width, height, 8, c.strip, compression);
      const Outcome whole = ReadBoth(file, true), rows = ReadBoth(file, false);
      EXPECT_EQ(whole.ok, rows.ok) << c.name;
      EXPECT_EQ(whole.pixels, rows.pixels) << c.name;
      if (c.name == "valid") {  // the grey page comes out as 24-bit grey
        EXPECT_TRUE(whole.ok);
        std::vector<uint8_t> green;
        for (size_t i = 1; i < whole.pixels.size(); i += 3) green.push_back(whole.pixels[i]);
        EXPECT_EQ(green, raw);
      }
    }
  }
}

// ---------------------------------------------------------------- colour rows into the bitmap

// An 8-bit RGB page of `rps`-row Deflate strips (horizontal differencing when `predictor`).
std::vector<uint8_t> RGBPage(int width, int height, int rps, bool predictor,
                             const std::vector<std::vector<uint8_t>>& strips) {
  TiffBuilder b;
  std::vector<uint32_t> offsets, counts;
  for (const auto& strip : strips) {
    offsets.push_back(b.Data(strip));
    counts.push_back(static_cast<uint32_t>(strip.size()));
  }
  b.Entry(256, 4, {uint32_t(width)});
  b.Entry(257, 4, {uint32_t(height)});
  b.Entry(258, 3, {8, 8, 8});
  b.Entry(259, 3, {8});
  b.Entry(262, 3, {2});
  b.Entry(273, 4, offsets);
  b.Entry(277, 3, {3});
  b.Entry(278, 4, {uint32_t(rps)});
  b.Entry(279, 4, counts);
  if (predictor) b.Entry(317, 3, {2});
  return b.Bytes();
}

// Rows y0 .. y0 + count - 1 of the test picture as the file stores them (R, G, B).
std::vector<uint8_t> PictureRows(int width, int y0, int count, bool predictor) {
  std::vector<uint8_t> out;
  for (int y = y0; y < y0 + count; ++y) {
    std::vector<uint8_t> row;
    for (int x = 0; x < width; ++x) {
      const Rgba p = TestPixel(x, y);
      row.insert(row.end(), {p.r, p.g, p.b});
    }
    if (predictor)
      for (size_t i = row.size() - 1; i >= 3; --i) row[i] = static_cast<uint8_t>(row[i] - row[i - 3]);
    Append(out, row);
  }
  return out;
}

// Where the reader's bitmap keeps its rows.
struct Layout {
  const char* name;
  int32_t alignment;  // row alignment in bits
  int64_t maxBlock;   // see testing::MaxBlockSize: small enough for chunks
  bool inFile;        // rows in a temporary file
  bool prefilled;     // the bitmap already holds a picture of the page's size
};

struct Rows {
  bool ok;
  std::vector<std::vector<uint8_t>> rows;  // whole rows, padding included
};

Rows ReadWithLayout(const std::vector<uint8_t>& file, bool whole, const Layout& layout, int width,
                    int height) {
  testing::TIFFInflateWhole = whole;
  rv::testing::MaxBlockSize = layout.maxBlock;
  if (layout.inFile) GlobalMemoryThreshold = 0;
  TRVBitmap bitmap;
  bitmap.SetRowAlignment(layout.alignment);
  if (layout.prefilled) {
    bitmap.Allocate(width, height, rv24RGB);
    bitmap.Fill(0x778899);
    bitmap.Full = true;
  }
  TIOParamsVals params;
  std::unique_ptr<TRVMask> mask;
  TRVProgressRec progress;
  int32_t pages = 0;
  auto stream = StreamOf(file);
  ReadTIFFStream(bitmap, *stream, pages, false, false, true, mask, false, progress, params);
  testing::TIFFInflateWhole = true;
  rv::testing::MaxBlockSize = -1;
  GlobalMemoryThreshold = -1;
  Rows r{!progress.IsAborting(), {}};
  EXPECT_FALSE(bitmap.Full) << layout.name;
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y) {
    const uint8_t* p = bitmap.GetScanLine(y);
    r.rows.emplace_back(p, p + bitmap.GetRowLen());
  }
  return r;
}

// 8-bit RGB Deflate strips decoded in one call, into the bitmap's own rows where they lie next
// to each other, give what the row-by-row reader gives, whatever the layout of the bitmap's rows
// and whatever it held before: rows that decode are the picture, rows that do not are black
// (row padding included), and a damaged strip fails the read the same way.
TEST_F(TiffTest, ColourStripsInflatedIntoTheBitmapAgreeWithTheRowReader) {
  const int height = 23, rps = 4, bad = 2;  // strip 2 holds rows 8 to 11
  const Layout layouts[] = {
      {"rows of 32 bits", 32, -1, false, false},
      {"rows of bytes", 8, -1, false, false},
      {"chunks", 8, 1000, false, false},
      {"temporary file", 8, -1, true, false},
      {"prefilled, rows of 32 bits", 32, -1, false, true},
      {"prefilled, rows of bytes", 8, -1, false, true},
      {"prefilled chunks", 8, 1000, false, true},
  };
  struct Case {
    std::string name;
    std::vector<uint8_t> strip;  // in place of strip 2
    bool intact;                 // every row of the page is either its picture or black
  };
  for (const int width : {36, 37})
    for (const bool predictor : {false, true}) {
      std::vector<std::vector<uint8_t>> strips;
      for (int y = 0; y < height; y += rps)
        strips.push_back(Zlib(PictureRows(width, y, std::min(rps, height - y), predictor)));
      const std::vector<uint8_t>& good = strips[bad];
      const auto cut = [&](size_t n) { return std::vector<uint8_t>(good.begin(), good.begin() + n); };
      const auto changed = [&](size_t at, uint8_t bits) {
        std::vector<uint8_t> b = good;
        b[at] ^= bits;
        return b;
      };
      const std::vector<Case> cases{
          {"valid", good, true},
          {"cut in half", cut(good.size() / 2), true},
          {"cut to 3 bytes", cut(3), true},
          {"byte changed", changed(good.size() / 2, 0x5A), false},
          {"checksum wrong", changed(good.size() - 1, 1), true},
          {"two rows only", Zlib(PictureRows(width, 8, 2, predictor)), true},
          {"six rows", Zlib(PictureRows(width, 8, 6, predictor)), true},
      };
      for (const Case& c : cases) {
        std::vector<std::vector<uint8_t>> damaged = strips;
        damaged[bad] = c.strip;
        const std::vector<uint8_t> file = RGBPage(width, height, rps, predictor, damaged);
        const std::string what =
            c.name + ", width " + std::to_string(width) + (predictor ? ", predictor" : "");
        const Rows reference = ReadWithLayout(file, false, layouts[0], width, height);
        ASSERT_EQ(reference.rows.size(), size_t(height)) << what;
        const size_t used = size_t(width) * 3;
        // The rows as they should be: the picture (blue, green, red) before the damaged strip,
        // then the picture or black (a failed strip ends the read).
        for (int y = 0; y < height; ++y) {
          const auto& row = reference.rows[size_t(y)];
          bool picture = true, black = true;
          for (int x = 0; x < width; ++x) {
            const Rgba p = TestPixel(x, y);
            const uint8_t* q = &row[size_t(x) * 3];
            picture = picture && q[0] == p.b && q[1] == p.g && q[2] == p.r;
            black = black && q[0] == 0 && q[1] == 0 && q[2] == 0;
          }
          EXPECT_TRUE(picture || (y / rps >= bad && c.name != "valid")) << what << ", row " << y;
          EXPECT_TRUE(picture || black || !c.intact) << what << ", row " << y;
        }
        EXPECT_TRUE(reference.ok || c.name != "valid") << what;
        for (const Layout& layout : layouts)
          for (const bool whole : {true, false}) {
            const Rows got = ReadWithLayout(file, whole, layout, width, height);
            const std::string where = what + ", " + layout.name + (whole ? ", whole" : ", by rows");
            EXPECT_EQ(got.ok, reference.ok) << where;
            ASSERT_EQ(got.rows.size(), size_t(height)) << where;
            for (int y = 0; y < height; ++y) {
              const auto& row = got.rows[size_t(y)];
              EXPECT_TRUE(std::equal(row.begin(), row.begin() + used, reference.rows[size_t(y)].begin()))
                  << where << ", row " << y;
              EXPECT_TRUE(std::all_of(row.begin() + used, row.end(), [](uint8_t b) { return b == 0; }))
                  << where << ", padding of row " << y;
            }
          }
      }
    }
}

}  // namespace
}  // namespace rv::test
