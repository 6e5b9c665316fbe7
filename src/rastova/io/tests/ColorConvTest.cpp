// CMYK and row conversions: the formulas, and the colour-managed path against lcms2's own
// transicc.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

#include "IoTestTools.h"
#include "rastova/codecs/IOParamsVals.h"
#include "rastova/core/RVUtils.h"
#include "rastova/io/RVColorConv.h"

namespace rv {
namespace {

// Runs a test body with the CMYK-conversion switch set, restoring it afterwards.
class CMYKSwitch {
 public:
  explicit CMYKSwitch(bool on) : saved_(CMYKConversionOn) { CMYKConversionOn = on; }
  ~CMYKSwitch() { CMYKConversionOn = saved_; }

 private:
  bool saved_;
};

TEST(CMYKFormulas, PixelConversionsWithoutColourManagement) {
  CMYKSwitch off(false);
  EXPECT_EQ(RGBToCMYK(0x000000), (TCMYK{0, 0, 0, 1}));
  EXPECT_EQ(CMYKToRGB(TCMYK{0, 0, 0, 1}), (TRGB{0, 0, 0}));
  EXPECT_EQ(RGBToCMYK(0xFF8000), (TCMYK{255, 128, 0, 255}));  // red 255, green 128, blue 0
  EXPECT_EQ(CMYKToRGB(TCMYK{255, 128, 0, 255}), (TRGB{0, 128, 255}));
  EXPECT_EQ(CMYKToRGB(TCMYK{255, 255, 255, 255}), (TRGB{255, 255, 255}));
  // Lossless both ways up to integer rounding.
  for (uint32_t c : {0x123456u, 0xFEDCBAu, 0x7F7F7Fu, 0x010203u, 0xFFFFFFu, 0x00FF00u}) {
    const TRGB back = CMYKToRGB(RGBToCMYK(c));
    EXPECT_NEAR(back.r, int((c >> 16) & 255), 1) << std::hex << c;
    EXPECT_NEAR(back.g, int((c >> 8) & 255), 1) << std::hex << c;
    EXPECT_NEAR(back.b, int(c & 255), 1) << std::hex << c;
  }
}

TEST(CMYKFormulas, RowConversionsByFormat) {
  CMYKSwitch off(false);
  // 0 -> 1: red and blue exchanged.
  uint8_t rgb[6] = {10, 20, 30, 40, 50, 60};
  uint8_t out[12];
  ConvertPixelRow(rgb, 0, out, nullptr, 2, 1);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 6), (std::vector<uint8_t>{30, 20, 10, 60, 50, 40}));
  // 1 -> 5: the library's grey weights.
  uint8_t bgr[3] = {30, 20, 10};  // red 10, green 20, blue 30
  ConvertPixelRow(bgr, 1, out, nullptr, 1, 5);
  EXPECT_EQ(out[0], (10 * 21 + 20 * 71 + 30 * 8) / 100);
  // 1 -> 2 per pixel by the formula.
  uint8_t orange[3] = {0, 128, 255};
  ConvertPixelRow(orange, 1, out, nullptr, 1, 2);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{255, 128, 0, 255}));
  // 2 -> 5 and 5 -> 1 have no conversion: the destination stays as it was.
  std::memset(out, 0xAB, sizeof out);
  uint8_t cmyk[4] = {1, 2, 3, 4};
  ConvertPixelRow(cmyk, 2, out, nullptr, 1, 5);
  ConvertPixelRow(cmyk, 5, out, nullptr, 1, 1);
  EXPECT_EQ(out[0], 0xAB);
  EXPECT_EQ(out[3], 0xAB);
  // 3 -> 1: plain ink in 6-byte units, inverted in the caller's buffer.
  uint8_t units[12] = {0, 127, 255, 0, 9, 9, 255, 255, 255, 255, 7, 7};
  ConvertPixelRow(units, 3, out, nullptr, 2, 1);
  EXPECT_EQ(std::vector<uint8_t>(units, units + 12),
            (std::vector<uint8_t>{255, 128, 0, 255, 9, 9, 0, 0, 0, 0, 7, 7}));
  EXPECT_EQ(std::vector<uint8_t>(out, out + 6), (std::vector<uint8_t>{0, 128, 255, 0, 0, 0}));
  // 6 and 7 -> 1: the high byte of each 16-bit sample.
  uint8_t le[6] = {0x11, 0xA1, 0x22, 0xA2, 0x33, 0xA3};
  ConvertPixelRow(le, 6, out, nullptr, 1, 1);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 3), (std::vector<uint8_t>{0xA3, 0xA2, 0xA1}));
  ConvertPixelRow(le, 7, out, nullptr, 1, 1);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 3), (std::vector<uint8_t>{0x33, 0x22, 0x11}));
}

// The CMYK profile's results according to transicc (floating-point mode: RGB in 0..255, CMYK ink
// in per cent); each line of `input` holds the samples of one colour.
// Bounded mode clips the RGB results; CMYK results are read unbounded (bounded mode would clip
// the per-cent values to 0..1).
std::vector<std::vector<double>> Transicc(const std::string& args, const std::string& input) {
  iotest::TempDir dir;
  const std::string in = dir.File("in.txt");
  iotest::WriteFileBytes(in, std::vector<uint8_t>(input.begin(), input.end()));
  bool ok = false;
  const std::string out = iotest::RunCapture("transicc " + args + " -t0 -n < " + in + " 2>/dev/null", ok);
  std::vector<std::vector<double>> rows;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream f(line);
    std::vector<double> v;
    double x;
    while (f >> x) v.push_back(x);
    if (!v.empty()) rows.push_back(v);
  }
  return rows;
}

class ManagedCMYK : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v transicc >/dev/null 2>&1") != 0) GTEST_SKIP() << "transicc (liblcms2-utils) missing";
    ASSERT_TRUE(LoadCMYKProfile()) << "the CMYK profile " << kCMYKProfileFileName << " does not load";
  }
  CMYKSwitch on{true};
};

TEST_F(ManagedCMYK, RowsMatchTransiccAndTheSinglePixelPath) {
  // Inverted ink bytes, as the library keeps them.
  const std::vector<TCMYK> colours = {{255, 255, 255, 255}, {0, 255, 255, 255}, {255, 0, 255, 255},
                                      {255, 255, 0, 255},   {255, 255, 255, 0}, {200, 100, 50, 220},
                                      {17, 171, 93, 240},   {128, 128, 128, 128}, {0, 0, 0, 0}};
  std::string input;
  for (const TCMYK& c : colours) {
    for (uint8_t ink : {c.c, c.m, c.y, c.k}) input += std::to_string((255 - ink) * 100.0 / 255) + " ";
    input += "\n";
  }
  const auto expected = Transicc(std::string("-s -i") + kCMYKProfileFileName + " -o*sRGB", input);
  ASSERT_EQ(expected.size(), colours.size());
  std::vector<uint8_t> row(colours.size() * 3);
  std::vector<TCMYK> source = colours;
  ConvertPixelRow(source.data(), 2, row.data(), nullptr, static_cast<int32_t>(colours.size()), 1);
  for (size_t i = 0; i < colours.size(); ++i) {
    ASSERT_EQ(expected[i].size(), 3u);
    EXPECT_NEAR(row[i * 3 + 2], expected[i][0], 1.5) << "colour " << i;
    EXPECT_NEAR(row[i * 3 + 1], expected[i][1], 1.5) << "colour " << i;
    EXPECT_NEAR(row[i * 3 + 0], expected[i][2], 1.5) << "colour " << i;
    const TRGB one = CMYKToRGB(colours[i]);
    EXPECT_EQ(one, (TRGB{row[i * 3], row[i * 3 + 1], row[i * 3 + 2]})) << "colour " << i;
  }
}

TEST_F(ManagedCMYK, RGBToCMYKMatchesTransicc) {
  const std::vector<TRGB> colours = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {255, 255, 255}, {0, 0, 0}, {40, 90, 200}};
  std::string input;
  for (const TRGB& c : colours)
    input += std::to_string(c.r) + " " + std::to_string(c.g) + " " + std::to_string(c.b) + "\n";
  const auto expected = Transicc(std::string("-i*sRGB -o") + kCMYKProfileFileName, input);
  ASSERT_EQ(expected.size(), colours.size());
  std::vector<uint8_t> row(colours.size() * 4);
  ConvertPixelRow(const_cast<TRGB*>(colours.data()), 1, row.data(), nullptr, static_cast<int32_t>(colours.size()), 2);
  for (size_t i = 0; i < colours.size(); ++i) {
    ASSERT_EQ(expected[i].size(), 4u);
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(row[i * 4 + k], 255 - expected[i][k] * 255 / 100, 1.5) << i << "/" << k;
    const TCMYK one = RGBToCMYK(PackRGB(colours[i]));
    EXPECT_EQ(one, (TCMYK{row[i * 4], row[i * 4 + 1], row[i * 4 + 2], row[i * 4 + 3]})) << i;
  }
}

TEST_F(ManagedCMYK, RowColourManagementUsesTheInputProfileOfTheParameters) {
  const std::vector<uint8_t> profile = iotest::ReadFileBytes(kCMYKProfileFileName);
  TIOParamsVals params;
  params.GetInputICCProfile().LoadFromBuffer(profile.data(), static_cast<int64_t>(profile.size()));
  ASSERT_TRUE(params.GetInputICCProfile().IsValid());
  uint8_t cyan[4] = {0, 255, 255, 255};
  uint8_t managed[3] = {}, plain[3] = {};
  const bool saved = ColorManagementOn;
  ColorManagementOn = true;
  ConvertPixelRow(cyan, 2, managed, &params, 1, 1);
  ColorManagementOn = false;
  {
    CMYKSwitch off(false);
    ConvertPixelRow(cyan, 2, plain, &params, 1, 1);
  }
  ColorManagementOn = saved;
  const auto expected = Transicc(std::string("-s -i") + kCMYKProfileFileName + " -o*sRGB", "100 0 0 0\n");
  ASSERT_EQ(expected.size(), 1u);
  EXPECT_NEAR(managed[2], expected[0][0], 2);
  EXPECT_NEAR(managed[1], expected[0][1], 2);
  EXPECT_NEAR(managed[0], expected[0][2], 2);
  EXPECT_EQ(std::vector<uint8_t>(plain, plain + 3), (std::vector<uint8_t>{255, 255, 0}));
}

}  // namespace
}  // namespace rv
