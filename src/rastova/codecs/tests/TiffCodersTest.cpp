// The fax and LZW coders on their own: round trips, the run codes that matter, the row-by-row
// contract of the LZW decoder, and the data that libtiff's tiffcp produces.
#include <gtest/gtest.h>

#include <random>

#include "TiffTestTools.h"

namespace rv {
namespace {

using namespace test;

class TiffCoders : public TiffTest {};

std::vector<uint8_t> RandomRow(std::mt19937& rng, int width, int density) {
  // Runs of random length so that long and short runs both occur.
  std::vector<uint8_t> row(size_t((width + 7) / 8), 0);
  int x = 0;
  bool black = rng() % 2;
  while (x < width) {
    const int run = 1 + int(rng() % (rng() % 4 == 0 ? 3000 : density));
    for (int k = 0; k < run && x < width; ++k, ++x)
      if (black) row[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
    black = !black;
  }
  return row;
}

// Rows coded with one of the writers' encoders and decoded as the reader decodes them.
enum class Coding { MH, G3_1D, G3_2D, G4 };

std::vector<std::vector<uint8_t>> RoundTrip(Coding coding, const std::vector<std::vector<uint8_t>>& rows,
                                            int width, int fillOrder) {
  TMemoryStream s;
  bool error = false;
  int32_t count = 0;
  uint8_t pending = 0;
  std::vector<uint8_t> ref;
  std::vector<int64_t> mhStarts;
  for (const auto& r : rows) {
    mhStarts.push_back(s.GetPosition());
    switch (coding) {
      case Coding::MH:
        FaxEncodeMHRow(r.data(), width, s, fillOrder, error);
        break;
      case Coding::G3_1D:
        FaxEncode1DRow(r.data(), width, s, fillOrder, error, count, pending);
        break;
      case Coding::G3_2D:
        FaxEncodeG3Row(r.data(), width, s, fillOrder, error, ref, count, pending);
        break;
      case Coding::G4:
        FaxEncodeG4Row(r.data(), width, s, fillOrder, error, ref, count, pending);
        break;
    }
  }
  if (coding == Coding::G3_1D) FaxEncode1DRow(nullptr, 0, s, fillOrder, error, count, pending);
  if (coding == Coding::G3_2D) FaxEncodeG3Row(nullptr, width, s, fillOrder, error, ref, count, pending);
  if (coding == Coding::G4) FaxEncodeG4Row(nullptr, width, s, fillOrder, error, ref, count, pending);
  EXPECT_FALSE(error);
  const std::vector<uint8_t> data = s.Data();
  const size_t bytes = size_t((width + 7) / 8);
  std::vector<std::vector<uint8_t>> out;
  std::vector<uint8_t> reference(bytes, 0xFF);
  int64_t bit = 0, byte = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    std::vector<uint8_t> row(bytes);
    switch (coding) {
      case Coding::MH:
        byte +=
            FaxDecodeMHLine(row.data(), data.data() + byte, int64_t(data.size()) - byte, fillOrder, width);
        break;
      case Coding::G3_1D:
        bit = FaxDecode1DLine(row.data(), data.data(), int64_t(data.size()), fillOrder, bit, width);
        break;
      case Coding::G3_2D:
      case Coding::G4:
        bit = FaxDecode2DLine(row.data(), data.data(), int64_t(data.size()), coding == Coding::G3_2D,
                              fillOrder, bit, reference.data(), width);
        break;
    }
    // Decoded rows hold 1 for white: back to the encoders' convention.
    for (uint8_t& b : row) b = uint8_t(~b);
    if (width % 8) row.back() &= uint8_t(0xFF << (8 - width % 8));
    out.push_back(row);
  }
  return out;
}

TEST_F(TiffCoders, FaxRowsRoundTripInEveryCodingWidthAndFillOrder) {
  std::mt19937 rng(7);
  for (int width : {1, 2, 3, 4, 5, 6, 7, 8, 9, 1728, 2480, 5200}) {
    std::vector<std::vector<uint8_t>> rows;
    for (int i = 0; i < 12; ++i) rows.push_back(RandomRow(rng, width, i % 3 == 0 ? 4 : 60));
    rows.push_back(std::vector<uint8_t>(size_t((width + 7) / 8), 0xFF));  // all black
    rows.push_back(std::vector<uint8_t>(size_t((width + 7) / 8), 0));     // all white
    for (auto& r : rows)
      if (width % 8) r.back() &= uint8_t(0xFF << (8 - width % 8));
    for (Coding c : {Coding::MH, Coding::G3_1D, Coding::G3_2D, Coding::G4})
      for (int fill : {1, 2}) {
        SCOPED_TRACE("width " + std::to_string(width) + " coding " + std::to_string(int(c)) + " fill " +
                     std::to_string(fill));
        EXPECT_EQ(RoundTrip(c, rows, width, fill), rows);
      }
  }
}

std::string Bits(const std::vector<uint8_t>& data, size_t count) {
  std::string s;
  for (size_t i = 0; i < count; ++i) s += (data[i / 8] >> (7 - i % 8)) & 1 ? '1' : '0';
  return s;
}

TEST_F(TiffCoders, LongRunsUseTheExtendedAndTerminatingCodes) {
  // A white run of 2561: the 2560 make-up code and the terminating code for 1; then a run of
  // exactly 64 black: make-up 64 and terminating 0.
  const int width = 2561 + 64;
  std::vector<uint8_t> row(size_t((width + 7) / 8), 0);
  for (int x = 2561; x < width; ++x) row[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
  TMemoryStream s;
  bool error = false;
  FaxEncodeMHRow(row.data(), width, s, 1, error);
  EXPECT_EQ(Bits(s.Data(), 12 + 6 + 10 + 10),
            std::string("000000011111") + "000111" + "0000001111" + "0000110111");
  // A row that starts black begins with a white run of 0.
  std::vector<uint8_t> black(1, 0xC0);
  TMemoryStream t;
  FaxEncodeMHRow(black.data(), 8, t, 1, error);
  EXPECT_EQ(Bits(t.Data(), 8 + 2 + 4), std::string("00110101") + "11" + "1110");
}

TEST_F(TiffCoders, OneDimensionalDecodingSkipsLeadingEOLsAndEndsAtOthers) {
  // EOL, EOL, white 8 (10011), then an EOL inside the row: the rest gets the current colour,
  // black.
  const std::string bits = std::string("000000000001") + "000000000001" + "10011" + "000000000001";
  std::vector<uint8_t> data((bits.size() + 7) / 8 + 1, 0);
  for (size_t i = 0; i < bits.size(); ++i)
    if (bits[i] == '1') data[i / 8] |= uint8_t(0x80 >> (i % 8));
  std::vector<uint8_t> row(2);
  FaxDecode1DLine(row.data(), data.data(), int64_t(data.size()), 1, 0, 16);
  EXPECT_EQ(row[0], 0xFF);
  EXPECT_EQ(row[1], 0x00);
  // Past the end of the data the row ends as at an EOL (white stays white).
  std::vector<uint8_t> empty;
  EXPECT_EQ(FaxDecode1DLine(row.data(), empty.data(), 0, 1, 0, 16), 0);
  EXPECT_EQ(row[0], 0xFF);
}

TEST_F(TiffCoders, DamagedFaxDataEndsEveryRowWithinTheWidth) {
  std::mt19937 rng(3);
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<uint8_t> data(size_t(rng() % 40));
    for (auto& b : data) b = uint8_t(rng());
    const int width = 1 + int(rng() % 100);
    std::vector<uint8_t> row(size_t((width + 7) / 8) + 4, 0xAA), ref(size_t((width + 7) / 8) + 4, 0xFF);
    const uint8_t guard = row.back();
    int64_t bit = 0;
    for (int r = 0; r < 20; ++r) {
      const int64_t next =
          trial % 2 ? FaxDecode2DLine(row.data(), data.data(), int64_t(data.size()), trial % 4 == 1, 1, bit,
                                      ref.data(), width)
                    : FaxDecode1DLine(row.data(), data.data(), int64_t(data.size()), 1, bit, width);
      ASSERT_GE(next, bit);
      bit = next;
    }
    EXPECT_EQ(row.back(), guard);
  }
}

TEST_F(TiffCoders, LZWRowsEqualTheWholeStripAndRoundTrip) {
  std::mt19937 rng(11);
  std::vector<std::vector<uint8_t>> inputs;
  inputs.push_back(std::vector<uint8_t>(10000, 0x5A));  // equal bytes: long strings
  std::vector<uint8_t> random(200000);
  for (auto& b : random) b = uint8_t(rng());  // long enough to fill the table: clear blocks
  inputs.push_back(random);
  std::vector<uint8_t> smooth(60000);
  for (size_t i = 0; i < smooth.size(); ++i) smooth[i] = uint8_t((i / 7) % 13 + (rng() % 2));
  inputs.push_back(smooth);
  for (const auto& input : inputs) {
    for (int rowBytes : {1, 7, 100, 1000}) {
      TMemoryStream s;
      void* state = nullptr;
      for (size_t at = 0; at < input.size(); at += size_t(rowBytes))
        TIFFLZWCompress(input.data() + at, int32_t(std::min<size_t>(rowBytes, input.size() - at)), s, state);
      TIFFLZWCompress(nullptr, 0, s, state);
      EXPECT_EQ(state, nullptr);
      const std::vector<uint8_t> code = s.Data();
      // Whole strip at once, and row by row.
      void* d = nullptr;
      const uint8_t* all = TIFFLZWDecompress(code.data(), int64_t(code.size()), int32_t(input.size()), d, 1);
      ASSERT_NE(all, nullptr);
      EXPECT_TRUE(std::equal(input.begin(), input.end(), all));
      TIFFLZWDecompress(nullptr, 0, 0, d, 1);
      std::vector<uint8_t> joined;
      for (size_t at = 0; at < input.size(); at += size_t(rowBytes)) {
        const uint8_t* row = TIFFLZWDecompress(code.data(), int64_t(code.size()), rowBytes, d, 1);
        ASSERT_NE(row, nullptr);
        joined.insert(joined.end(), row, row + std::min<size_t>(rowBytes, input.size() - at));
      }
      TIFFLZWDecompress(nullptr, 0, 0, d, 1);
      EXPECT_EQ(joined, input);
      // Fill order 2: the same rows from bit-reversed bytes.
      std::vector<uint8_t> reversed = code;
      for (uint8_t& b : reversed) ReverseBitsInByte(b);
      all = TIFFLZWDecompress(reversed.data(), int64_t(reversed.size()), int32_t(input.size()), d, 2);
      ASSERT_NE(all, nullptr);
      EXPECT_TRUE(std::equal(input.begin(), input.end(), all));
      TIFFLZWDecompress(nullptr, 0, 0, d, 2);
    }
  }
}

// Codes packed most significant bit first at the widths the decoder expects.
std::vector<uint8_t> PackCodes(const std::vector<std::pair<int, int>>& codes) {
  std::vector<uint8_t> out;
  uint64_t acc = 0;
  int bits = 0;
  for (auto [code, width] : codes) {
    acc = (acc << width) | uint64_t(code);
    bits += width;
    while (bits >= 8) {
      bits -= 8;
      out.push_back(uint8_t(acc >> bits));
    }
  }
  if (bits) out.push_back(uint8_t(acc << (8 - bits)));
  return out;
}

TEST_F(TiffCoders, LZWDamagedDataEndsTheRowOrFails) {
  struct Case {
    const char* what;
    std::vector<std::pair<int, int>> codes;
    bool fails;
    std::vector<uint8_t> row;  // the first 4 bytes delivered
  };
  const Case cases[] = {
      // No leading Clear: the first code is output without an entry.
      {"no clear", {{65, 9}, {66, 9}, {257, 9}}, false, {65, 66, 0, 0}},
      // A code above the next free code ends the row, which is padded with zeros.
      {"code beyond table", {{256, 9}, {65, 9}, {300, 9}, {66, 9}}, false, {65, 0, 0, 0}},
      // The code after a Clear must be defined.
      {"undefined after clear", {{256, 9}, {400, 9}}, true, {}},
      // Cut short: the end of the data is EndOfInformation.
      {"cut short", {{256, 9}, {67, 9}}, false, {67, 0, 0, 0}},
      // KwKwK: code equal to the next free code.
      {"kwkwk", {{256, 9}, {65, 9}, {258, 9}, {257, 9}}, false, {65, 65, 65, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<uint8_t> data = PackCodes(c.codes);
    void* d = nullptr;
    const uint8_t* row = TIFFLZWDecompress(data.data(), int64_t(data.size()), 4, d, 1);
    if (c.fails) {
      EXPECT_EQ(row, nullptr);
    } else {
      ASSERT_NE(row, nullptr);
      EXPECT_EQ(std::vector<uint8_t>(row, row + 4), c.row);
    }
    TIFFLZWDecompress(nullptr, 0, 0, d, 1);
  }
  // Overflowing the table: 4,000 codes after one Clear fail the row.
  std::vector<std::pair<int, int>> many{{256, 9}, {1, 9}};
  int next = 258;
  for (int i = 0; i < 4000; ++i) {
    const int width = next >= 2047 ? 12 : next >= 1023 ? 11 : next >= 511 ? 10 : 9;
    many.push_back({1, width});
    ++next;
  }
  const std::vector<uint8_t> data = PackCodes(many);
  void* d = nullptr;
  EXPECT_EQ(TIFFLZWDecompress(data.data(), int64_t(data.size()), 100000, d, 1), nullptr);
  TIFFLZWDecompress(nullptr, 0, 0, d, 1);
}

}  // namespace
}  // namespace rv
