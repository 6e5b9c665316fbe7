// Pixel conversion, resampling and mipmap chains. Block decoding, resampling and mipmaps are
// checked against tests/data/image_utils_reference.txt, written by the numpy script beside it.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "TextureTestTools.h"
#include "scene3d/base/GLUtils.h"
#include "scene3d/scene/texture/ImageUtils.h"

using namespace gl3d;

namespace {

using Bytes = std::vector<uint8_t>;

template <class T>
Bytes Of(std::initializer_list<T> values) {
  Bytes b(values.size() * sizeof(T));
  std::memcpy(b.data(), values.begin(), b.size());
  return b;
}

// The working pixels of a source, seen through the float writer (x / 255), scaled back.
std::vector<float> Working(const Bytes& src, uint32_t format, uint32_t type, int w, int h = 1) {
  std::vector<float> out(static_cast<size_t>(w) * h * 4);
  ConvertPixels(src.data(), out.data(), format, GL_RGBA, type, GL_FLOAT, w, h);
  for (float& v : out) v *= 255.0f;
  return out;
}

std::string Message(const std::function<void()>& f) {
  try {
    f();
  } catch (const EGLImageUtils& e) {
    return e.Message();
  }
  return "";
}

}  // namespace

TEST(ConvertPixels, EveryReaderRowGivesItsWorkingPixel) {
  const uint32_t word1010102 = (1023u << 22) | (4u << 12) | (2u << 2) | 3u;
  const uint32_t word2101010 = 1023u | (4u << 10) | (2u << 20) | (3u << 30);
  struct Case {
    const char* what;
    uint32_t type, format;
    Bytes src;
    float r, g, b, a;
  } cases[] = {
      {"ubyte red", GL_UNSIGNED_BYTE, GL_RED, {7}, 7, 0, 0, 255},
      {"ubyte green", GL_UNSIGNED_BYTE, GL_GREEN, {7}, 0, 7, 0, 255},
      {"ubyte blue", GL_UNSIGNED_BYTE, GL_BLUE, {7}, 0, 0, 7, 255},
      {"ubyte alpha", GL_UNSIGNED_BYTE, GL_ALPHA, {7}, 0, 0, 0, 7},
      {"ubyte rgb", GL_UNSIGNED_BYTE, GL_RGB, {1, 2, 3}, 1, 2, 3, 255},
      {"ubyte rgba", GL_UNSIGNED_BYTE, GL_RGBA, {1, 2, 3, 4}, 1, 2, 3, 4},
      {"ubyte luminance", GL_UNSIGNED_BYTE, GL_LUMINANCE, {9}, 9, 9, 9, 255},
      {"ubyte luminance alpha", GL_UNSIGNED_BYTE, GL_LUMINANCE_ALPHA, {9, 3}, 9, 9, 9, 3},
      {"ubyte intensity", GL_UNSIGNED_BYTE, GL_INTENSITY, {9}, 9, 9, 9, 9},
      {"ubyte bgr", GL_UNSIGNED_BYTE, GL_BGR, {10, 20, 30}, 30, 20, 10, 255},
      {"ubyte bgra", GL_UNSIGNED_BYTE, GL_BGRA, {1, 2, 3, 4}, 3, 2, 1, 4},
      {"ubyte rg", GL_UNSIGNED_BYTE, GL_RG, {1, 2}, 1, 2, 0, 255},
      {"ubyte red integer", GL_UNSIGNED_BYTE, GL_RED_INTEGER, {7}, 7, 0, 0, 255},
      {"ubyte green integer", GL_UNSIGNED_BYTE, GL_GREEN_INTEGER, {7}, 0, 7, 0, 255},
      {"ubyte blue integer", GL_UNSIGNED_BYTE, GL_BLUE_INTEGER, {7}, 0, 0, 7, 255},
      {"ubyte alpha integer", GL_UNSIGNED_BYTE, GL_ALPHA_INTEGER, {7}, 0, 0, 0, 7},
      {"ubyte rgb integer", GL_UNSIGNED_BYTE, GL_RGB_INTEGER, {1, 2, 3}, 1, 2, 3, 255},
      {"ubyte rgba integer", GL_UNSIGNED_BYTE, GL_RGBA_INTEGER, {1, 2, 3, 4}, 1, 2, 3, 4},
      {"ubyte bgr integer", GL_UNSIGNED_BYTE, GL_BGR_INTEGER, {10, 20, 30}, 30, 20, 10, 255},
      {"ubyte bgra integer", GL_UNSIGNED_BYTE, GL_BGRA_INTEGER, {1, 2, 3, 4}, 3, 2, 1, 4},
      {"ubyte rg integer", GL_UNSIGNED_BYTE, GL_RG_INTEGER, {1, 2}, 1, 2, 0, 255},
      {"ubyte luminance integer", GL_UNSIGNED_BYTE, GL_LUMINANCE_INTEGER_EXT, {9}, 9, 9, 9, 255},
      {"ubyte luminance alpha integer", GL_UNSIGNED_BYTE, GL_LUMINANCE_ALPHA_INTEGER_EXT, {9, 3}, 9, 9, 9, 3},
      {"byte: signed, not rescaled", GL_BYTE, GL_RGB, Of<int8_t>({-128, 127, 5}), -128, 127, 5, 255},
      {"ushort / 256", GL_UNSIGNED_SHORT, GL_RGB, Of<uint16_t>({256, 65535, 128}), 1, 255.99609375f, 0.5f,
       255},
      {"short / 256", GL_SHORT, GL_RGBA, Of<int16_t>({-512, 256, 0, 32767}), -2, 1, 0, 127.99609375f},
      {"uint / 2^24", GL_UNSIGNED_INT, GL_RGB, Of<uint32_t>({16777216u, 8388608u, 0u}), 1, 0.5f, 0, 255},
      {"int / 2^24", GL_INT, GL_RGB, Of<int32_t>({-16777216, 33554432, 0}), -1, 2, 0, 255},
      {"float * 255", GL_FLOAT, GL_RGBA, Of<float>({0.5f, 1, -1, 2}), 127.5f, 255, -255, 510},
      {"half * 255", GL_HALF_FLOAT, GL_RGB, Of<uint16_t>({0x3C00, 0x3800, 0xC000}), 255, 127.5f, -510, 255},
      {"3_3_2", GL_UNSIGNED_BYTE_3_3_2, GL_RGB, {0xFF}, 224, 224, 192, 255},
      {"3_3_2 bgr", GL_UNSIGNED_BYTE_3_3_2, GL_BGR, {0xE0}, 0, 0, 224, 255},
      {"2_3_3_rev", GL_UNSIGNED_BYTE_2_3_3_REV, GL_RGB, {0xC7}, 224, 0, 192, 255},
      {"8_8_8_8", GL_UNSIGNED_INT_8_8_8_8, GL_RGBA, Of<uint32_t>({0x11223344u}), 0x11, 0x22, 0x33, 0x44},
      {"8_8_8_8 bgra", GL_UNSIGNED_INT_8_8_8_8, GL_BGRA, Of<uint32_t>({0x11223344u}), 0x33, 0x22, 0x11, 0x44},
      {"8_8_8_8_rev", GL_UNSIGNED_INT_8_8_8_8_REV, GL_RGBA, Of<uint32_t>({0x11223344u}), 0x44, 0x33, 0x22,
       0x11},
      {"8_8_8_8_rev integer", GL_UNSIGNED_INT_8_8_8_8_REV, GL_RGBA_INTEGER, Of<uint32_t>({0x11223344u}), 0x44,
       0x33, 0x22, 0x11},
      {"4_4_4_4", GL_UNSIGNED_SHORT_4_4_4_4, GL_RGBA, Of<uint16_t>({0xF731}), 240, 112, 48, 16},
      {"4_4_4_4_rev", GL_UNSIGNED_SHORT_4_4_4_4_REV, GL_RGBA, Of<uint16_t>({0xF731}), 16, 48, 112, 240},
      {"5_6_5 all ones", GL_UNSIGNED_SHORT_5_6_5, GL_RGB, Of<uint16_t>({0xFFFF}), 248, 252, 248, 255},
      {"5_6_5 bgr integer", GL_UNSIGNED_SHORT_5_6_5, GL_BGR_INTEGER, Of<uint16_t>({0xF800}), 0, 0, 248, 255},
      {"5_6_5_rev", GL_UNSIGNED_SHORT_5_6_5_REV, GL_RGB, Of<uint16_t>({0x001F}), 248, 0, 0, 255},
      {"5_5_5_1", GL_UNSIGNED_SHORT_5_5_5_1, GL_RGBA, Of<uint16_t>({0x8001}), 128, 0, 0, 128},
      {"1_5_5_5_rev", GL_UNSIGNED_SHORT_1_5_5_5_REV, GL_RGBA, Of<uint16_t>({0x801F}), 248, 0, 0, 128},
      {"10_10_10_2", GL_UNSIGNED_INT_10_10_10_2, GL_RGBA, Of<uint32_t>({word1010102}), 255.75f, 1, 0.5f, 192},
      {"2_10_10_10_rev", GL_UNSIGNED_INT_2_10_10_10_REV, GL_BGRA, Of<uint32_t>({word2101010}), 0.5f, 1,
       255.75f, 192},
  };
  for (const Case& c : cases) {
    const std::vector<float> p = Working(c.src, c.format, c.type, 1);
    EXPECT_NEAR(p[0], c.r, 1e-3) << c.what;
    EXPECT_NEAR(p[1], c.g, 1e-3) << c.what;
    EXPECT_NEAR(p[2], c.b, 1e-3) << c.what;
    EXPECT_NEAR(p[3], c.a, 1e-3) << c.what;
  }
}

TEST(ConvertPixels, EveryWriterRowStoresItsElements) {
  // Working pixel (306, 127.5, -25.5, 510) from float data.
  const Bytes src = Of<float>({1.2f, 0.5f, -0.1f, 2.0f});
  const float l = (306.0f + 127.5f - 25.5f) / 3.0f;  // 136
  struct Case {
    const char* what;
    uint32_t type, format;
    Bytes expected;
  } cases[] = {
      {"ubyte clamps", GL_UNSIGNED_BYTE, GL_RGBA, {255, 127, 0, 255}},
      {"ubyte integer keeps the low byte", GL_UNSIGNED_BYTE, GL_RGBA_INTEGER, {50, 127, 0xE7, 254}},
      {"ubyte red", GL_UNSIGNED_BYTE, GL_RED, {255}},
      {"ubyte green", GL_UNSIGNED_BYTE, GL_GREEN, {127}},
      {"ubyte blue", GL_UNSIGNED_BYTE, GL_BLUE, {0}},
      {"ubyte alpha", GL_UNSIGNED_BYTE, GL_ALPHA, {255}},
      {"ubyte rgb", GL_UNSIGNED_BYTE, GL_RGB, {255, 127, 0}},
      {"ubyte luminance", GL_UNSIGNED_BYTE, GL_LUMINANCE, {static_cast<uint8_t>(l)}},
      {"ubyte luminance alpha", GL_UNSIGNED_BYTE, GL_LUMINANCE_ALPHA, {static_cast<uint8_t>(l), 255}},
      {"ubyte intensity", GL_UNSIGNED_BYTE, GL_INTENSITY, {static_cast<uint8_t>(l)}},
      {"ubyte bgr", GL_UNSIGNED_BYTE, GL_BGR, {0, 127, 255}},
      {"ubyte bgra", GL_UNSIGNED_BYTE, GL_BGRA, {0, 127, 255, 255}},
      {"ubyte rg", GL_UNSIGNED_BYTE, GL_RG, {255, 127}},
      {"ubyte bgr integer", GL_UNSIGNED_BYTE, GL_BGR_INTEGER, {0xE7, 127, 50}},
      {"ubyte luminance integer", GL_UNSIGNED_BYTE, GL_LUMINANCE_INTEGER_EXT, {136}},
      {"byte clamps to 127", GL_BYTE, GL_RGBA, Of<int8_t>({127, 127, -25, 127})},
      {"byte integer", GL_BYTE, GL_RGBA_INTEGER, Of<int8_t>({50, 127, -25, -2})},
      {"ushort does not scale back", GL_UNSIGNED_SHORT, GL_RGBA, Of<uint16_t>({306, 127, 0, 510})},
      {"short", GL_SHORT, GL_RGBA, Of<int16_t>({306, 127, -25, 510})},
      {"uint", GL_UNSIGNED_INT, GL_RGBA, Of<uint32_t>({306, 127, 0, 510})},
      {"uint integer wraps", GL_UNSIGNED_INT, GL_RGBA_INTEGER, Of<uint32_t>({306, 127, 0xFFFFFFE7u, 510})},
      {"int", GL_INT, GL_RGBA, Of<int32_t>({306, 127, -25, 510})},
      {"float / 255", GL_FLOAT, GL_RGBA, Of<float>({1.2f, 0.5f, -0.1f, 2.0f})},
      {"half", GL_HALF_FLOAT, GL_RG, Of<uint16_t>({FloatToHalf(1.2f), FloatToHalf(0.5f)})},
  };
  for (const Case& c : cases) {
    Bytes out(c.expected.size() + 4, 0xAB);
    ConvertPixels(src.data(), out.data(), GL_RGBA, c.format, GL_FLOAT, c.type, 1, 1);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<long>(c.expected.size())), c.expected) << c.what;
    EXPECT_EQ(out[c.expected.size()], 0xAB) << c.what << ": wrote past its pixel";
  }
}

// Values beyond 32 bits saturate through 64 bits and NaN gives 0; the clamped top of the
// normalised 32-bit writers is the type's largest value, not a wrapped one.
TEST(ConvertPixels, OutOfRangeValuesSaturate) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Bytes src = Of<float>({1e30f, -1e30f, nan, 20000000.0f});
  uint32_t u[4];
  int32_t i[4];
  uint8_t b[4];
  ConvertPixels(src.data(), u, GL_RGBA, GL_RGBA, GL_FLOAT, GL_UNSIGNED_INT, 1, 1);
  EXPECT_EQ(u[0], 0xFFFFFFFFu);
  EXPECT_EQ(u[1], 0u);
  EXPECT_EQ(u[2], 0u);
  ConvertPixels(src.data(), i, GL_RGBA, GL_RGBA, GL_FLOAT, GL_INT, 1, 1);
  EXPECT_EQ(i[0], std::numeric_limits<int32_t>::max());
  EXPECT_EQ(i[1], std::numeric_limits<int32_t>::min());
  EXPECT_EQ(i[2], 0);
  ConvertPixels(src.data(), u, GL_RGBA, GL_RGBA_INTEGER, GL_FLOAT, GL_UNSIGNED_INT, 1, 1);
  EXPECT_EQ(u[0], 0xFFFFFFFFu);  // low 32 bits of the 64-bit maximum
  EXPECT_EQ(u[1], 0u);           // ... of the minimum
  EXPECT_EQ(u[2], 0u);           // NaN
  EXPECT_EQ(u[3], static_cast<uint32_t>(static_cast<uint64_t>(20000000.0f * 255.0f)));
  ConvertPixels(src.data(), b, GL_RGBA, GL_RGBA, GL_FLOAT, GL_UNSIGNED_BYTE, 1, 1);
  EXPECT_EQ(b[2], 0);
}

TEST(ConvertPixels, ExtentsAndSharedBlocks) {
  Bytes dst(8, 0xAB);
  const Bytes src = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  ConvertPixels(src.data(), dst.data(), GL_RGB, GL_RGB, GL_UNSIGNED_BYTE, GL_UNSIGNED_BYTE, 0, 5);
  EXPECT_EQ(dst, Bytes(8, 0xAB)) << "width 0 touches nothing";
  Bytes row(9, 0);
  ConvertPixels(src.data(), row.data(), GL_RGB, GL_BGR, GL_UNSIGNED_BYTE, GL_UNSIGNED_BYTE, 3, 0);
  EXPECT_EQ(row, (Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7})) << "height 0 is one row";

  Bytes all(256 * 4);
  for (size_t k = 0; k < all.size(); ++k) all[k] = static_cast<uint8_t>(k);
  Bytes copy(all.size());
  ConvertPixels(all.data(), copy.data(), GL_RGBA, GL_RGBA, GL_UNSIGNED_BYTE, GL_UNSIGNED_BYTE, 16, 16);
  EXPECT_EQ(copy, all) << "every byte value survives the working form";

  // One block as source and destination, the destination larger per pixel.
  Bytes shared = {10, 20, 30, 40, 50, 60, 0, 0};
  ConvertPixels(shared.data(), shared.data(), GL_BGR, GL_RGBA, GL_UNSIGNED_BYTE, GL_UNSIGNED_BYTE, 2, 1);
  EXPECT_EQ(shared, (Bytes{30, 20, 10, 255, 60, 50, 40, 255}));
}

TEST(ConvertPixels, ErrorsLeaveTheDestination) {
  const Bytes src(64, 7);
  Bytes dst(64, 0xAB);
  auto convert = [&](uint32_t sf, uint32_t df, uint32_t st, uint32_t dt) {
    return Message([&] { ConvertPixels(src.data(), dst.data(), sf, df, st, dt, 2, 2); });
  };
  const std::string unimplemented = "Unimplemented type of conversion", invalid = "Invalid data type";
  EXPECT_EQ(convert(GL_RGB, GL_RGB, GL_UNSIGNED_BYTE, GL_UNSIGNED_SHORT_5_6_5), unimplemented);
  EXPECT_EQ(convert(GL_RGBA, GL_RGBA, GL_UNSIGNED_BYTE, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT), unimplemented);
  EXPECT_EQ(convert(GL_RGBA, GL_RGBA, GL_COMPRESSED_SRGB_S3TC_DXT1_EXT, GL_UNSIGNED_BYTE), unimplemented);
  EXPECT_EQ(convert(GL_RGBA, GL_RGBA, 0x8837, GL_UNSIGNED_BYTE), unimplemented);
  EXPECT_EQ(convert(GL_RGBA, GL_RGBA, 0x1234, GL_UNSIGNED_BYTE), unimplemented);
  EXPECT_EQ(convert(GL_RGB, GL_RGBA, GL_UNSIGNED_INT_8_8_8_8, GL_UNSIGNED_BYTE), invalid);
  EXPECT_EQ(convert(GL_RGB_INTEGER, GL_RGBA, GL_UNSIGNED_BYTE_3_3_2, GL_UNSIGNED_BYTE), invalid);
  EXPECT_EQ(convert(GL_DEPTH_COMPONENT, GL_RGBA, GL_UNSIGNED_BYTE, GL_UNSIGNED_BYTE), invalid);
  EXPECT_EQ(convert(GL_RGBA, GL_DEPTH_COMPONENT, GL_UNSIGNED_BYTE, GL_UNSIGNED_BYTE), invalid);
  EXPECT_EQ(convert(GL_RGBA, GL_RGBA, GL_UNSIGNED_BYTE, GL_UNSIGNED_INT_8_8_8_8), unimplemented);
  EXPECT_EQ(dst, Bytes(64, 0xAB));
}

TEST(ConvertPixels, TableRowsInOrder) {
  const uint32_t types[kPixelConverterRowCount] = {
      0x1401, 0x8032, 0x8362, 0x1400, 0x1403, 0x1402, 0x1405, 0x1404, 0x1406, 0x140B, 0x8035, 0x8367, 0x8033,
      0x8365, 0x8363, 0x8364, 0x8034, 0x8366, 0x8036, 0x8368, 0x83F0, 0x83F1, 0x83F2, 0x83F3, 0x8C4C, 0x8C4D,
      0x8C4E, 0x8C4F, 0x8C70, 0x8C71, 0x8C72, 0x8C73, 0x8837, 0x8DBB, 0x8DBC, 0x8DBD, 0x8DBE};
  for (int i = 0; i < kPixelConverterRowCount; ++i) EXPECT_EQ(PixelConverterTable[i].DataType, types[i]) << i;
}

// ---- Against the numpy reference ----

namespace {

struct ReferenceLine {
  std::string kind;
  std::vector<std::string> head;
  std::vector<long> values;
};

std::vector<ReferenceLine> LoadReference() {
  std::ifstream in(std::string(ZEPHOR_TEST_DATA_DIR) + "/image_utils_reference.txt");
  std::vector<ReferenceLine> lines;
  std::string text;
  while (std::getline(in, text)) {
    const size_t colon = text.find(" : ");
    std::istringstream head(text.substr(0, colon)), values(text.substr(colon + 3));
    ReferenceLine line;
    head >> line.kind;
    for (std::string word; head >> word;) line.head.push_back(word);
    for (long v; values >> v;) line.values.push_back(v);
    lines.push_back(std::move(line));
  }
  return lines;
}

Bytes SourcePicture(int w, int h) {
  Bytes b(static_cast<size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &b[(static_cast<size_t>(y) * w + x) * 4];
      p[0] = static_cast<uint8_t>((x * 37 + y * 11) % 256);
      p[1] = static_cast<uint8_t>((x * x + 3 * y) % 256);
      p[2] = static_cast<uint8_t>((x * y * 7 + 5) % 256);
      p[3] = static_cast<uint8_t>((200 + x + y) % 256);
    }
  return b;
}

TImageFilterFunction Kernel(const std::string& name) {
  return name == "tent" ? TentFilterKernel : Lanczos3FilterKernel;
}

void ExpectWithin(const Bytes& got, const std::vector<long>& want, long tolerance, const std::string& what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (size_t i = 0; i < got.size(); ++i)
    ASSERT_LE(std::labs(static_cast<long>(got[i]) - want[i]), tolerance) << what << " at byte " << i;
}

}  // namespace

TEST(ImageUtilsReference, BlockDecodersMatchExactly) {
  int checked = 0;
  for (const ReferenceLine& line : LoadReference()) {
    if (line.kind != "block") continue;
    const uint32_t type = static_cast<uint32_t>(std::stoul(line.head[0], nullptr, 16));
    const int w = std::stoi(line.head[1]), h = std::stoi(line.head[2]);
    Bytes data;
    for (size_t i = 0; i + 1 < line.head[3].size(); i += 2)
      data.push_back(static_cast<uint8_t>(std::stoul(line.head[3].substr(i, 2), nullptr, 16)));
    const std::vector<float> got = Working(data, GL_RGBA, type, w, h);
    ASSERT_EQ(got.size(), line.values.size());
    for (size_t i = 0; i < got.size(); ++i)
      ASSERT_EQ(std::lround(got[i]), line.values[i])
          << line.head[0] << " " << w << "x" << h << " " << line.head[3] << " value " << i;
    ++checked;
  }
  EXPECT_GE(checked, 100);
}

TEST(ImageUtilsReference, ResamplingWithinOneOfFloat64) {
  int checked = 0;
  for (const ReferenceLine& line : LoadReference()) {
    if (line.kind != "resample") continue;
    const int sw = std::stoi(line.head[1]), sh = std::stoi(line.head[2]);
    const int dw = std::stoi(line.head[3]), dh = std::stoi(line.head[4]);
    const Bytes src = SourcePicture(sw, sh);
    Bytes dst(static_cast<size_t>(dw) * dh * 4);
    ResamplePixels(src.data(), dst.data(), GL_RGBA, GL_UNSIGNED_BYTE, Kernel(line.head[0]), sw, sh, dw, dh);
    ExpectWithin(dst, line.values, 1,
                 line.head[0] + " " + std::to_string(sw) + "x" + std::to_string(sh) + " to " +
                     std::to_string(dw) + "x" + std::to_string(dh));
    ++checked;
  }
  EXPECT_EQ(checked, 22);
}

TEST(ImageUtilsReference, MipmapChainsWithinOneOfFloat64) {
  int checked = 0;
  for (const ReferenceLine& line : LoadReference()) {
    if (line.kind != "mipmap") continue;
    const int w = std::stoi(line.head[1]), h = std::stoi(line.head[2]), levels = std::stoi(line.head[3]);
    const Bytes src = SourcePicture(w, h);
    std::vector<Bytes> out;
    std::vector<void*> pointers;
    for (int i = 0, lw = w, lh = h; i < levels; ++i) {
      lw = std::max(lw / 2, 1);
      lh = std::max(lh / 2, 1);
      out.emplace_back(static_cast<size_t>(lw) * lh * 4);
    }
    for (Bytes& b : out) pointers.push_back(b.data());
    const Bytes before = src;
    BuildMipmapChain(src.data(), pointers, GL_RGBA, GL_UNSIGNED_BYTE, Kernel(line.head[0]), w, h);
    EXPECT_EQ(src, before) << "the source is not changed";
    Bytes all;
    for (const Bytes& b : out) all.insert(all.end(), b.begin(), b.end());
    ExpectWithin(all, line.values, 1, line.head[0] + " " + std::to_string(w) + "x" + std::to_string(h));
    ++checked;
  }
  EXPECT_EQ(checked, 12);
}

TEST(ResamplePixels, PartCases) {
  // 1 x 1 to 4 x 4 with the tent: every output is the source pixel.
  const Bytes one = {9, 99, 199, 255};
  Bytes grown(64);
  ResamplePixels(one.data(), grown.data(), GL_RGBA, GL_UNSIGNED_BYTE, TentFilterKernel, 1, 1, 4, 4);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(Bytes(grown.begin() + 4 * i, grown.begin() + 4 * i + 4), one) << i;
  // The same size with the tent copies.
  const Bytes picture = SourcePicture(7, 5);
  Bytes same(picture.size());
  ResamplePixels(picture.data(), same.data(), GL_RGBA, GL_UNSIGNED_BYTE, TentFilterKernel, 7, 5, 7, 5);
  EXPECT_EQ(same, picture);
  // Lanczos-3 overshoots a step in working form; the byte writer clamps.
  const Bytes step = {0, 0, 0, 0, 0, 0, 255, 255};
  std::vector<float> wide(16);
  ResamplePixels(Of<float>({0, 0, 0, 0, 0, 0, 1, 1}).data(), wide.data(), GL_LUMINANCE, GL_FLOAT,
                 Lanczos3FilterKernel, 8, 1, 16, 1);
  Bytes narrow(16);
  ResamplePixels(step.data(), narrow.data(), GL_LUMINANCE, GL_UNSIGNED_BYTE, Lanczos3FilterKernel, 8, 1, 16,
                 1);
  bool under = false, over = false;
  for (size_t i = 0; i < wide.size(); ++i) {
    under |= wide[i] < 0;
    over |= wide[i] > 1;
    EXPECT_NEAR(narrow[i], std::clamp(wide[i] * 255.0f, 0.0f, 255.0f), 1.0f) << i;
  }
  EXPECT_TRUE(under && over);
  // A width below 1 does nothing.
  Bytes untouched(4, 0xAB);
  ResamplePixels(one.data(), untouched.data(), GL_RGBA, GL_UNSIGNED_BYTE, TentFilterKernel, 1, 1, 0, 1);
  EXPECT_EQ(untouched, Bytes(4, 0xAB));
}

// Separate blocks go strip by strip, a block resampled in place through whole arrays; both give the
// same bytes, also when the pictures span many strips and for shrinking, growing and float data.
TEST(ResamplePixels, StripsGiveWhatWholeArraysGive) {
  struct TCase {
    uint32_t format, type;
    int elementBytes, sw, sh, dw, dh;
  };
  const TCase cases[] = {
      {GL_RGBA, GL_UNSIGNED_BYTE, 1, 301, 203, 257, 311},  // about 54 source rows a strip
      {GL_BGR, GL_UNSIGNED_BYTE, 1, 1021, 40, 1024, 37},
      {GL_LUMINANCE_ALPHA, GL_UNSIGNED_SHORT, 2, 130, 300, 61, 17},
      {GL_RGB, GL_FLOAT, 4, 97, 180, 200, 91},
      {GL_RGBA, GL_UNSIGNED_SHORT_4_4_4_4, 0, 70, 300, 70, 300},  // packed: read, never written
  };
  for (const TCase& c : cases) {
    const size_t channels = c.format == GL_RGBA ? 4 : c.format == GL_LUMINANCE_ALPHA ? 2 : 3;
    const size_t pixel = c.elementBytes ? channels * static_cast<size_t>(c.elementBytes) : 2;
    const size_t sourceBytes = pixel * static_cast<size_t>(c.sw * c.sh);
    const size_t destinationBytes = pixel * static_cast<size_t>(c.dw * c.dh);
    Bytes source(sourceBytes);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>((i * 2654435761u) >> 11);
    if (c.type == GL_FLOAT) {
      auto* f = reinterpret_cast<float*>(source.data());
      for (size_t i = 0; i < source.size() / 4; ++i) f[i] = static_cast<float>(i % 97) / 64.0f - 0.25f;
    }
    Bytes apart(destinationBytes, 0xAB);
    Bytes inPlace(std::max(sourceBytes, destinationBytes), 0xAB);
    std::copy(source.begin(), source.end(), inPlace.begin());
    const auto resample = [&](const void* from, void* to) {
      ResamplePixels(from, to, c.format, c.type, Lanczos3FilterKernel, c.sw, c.sh, c.dw, c.dh);
    };
    if (c.elementBytes == 0) {
      EXPECT_EQ(Message([&] { resample(source.data(), apart.data()); }), "Unimplemented type of conversion");
      EXPECT_EQ(apart, Bytes(destinationBytes, 0xAB));
      continue;
    }
    resample(source.data(), apart.data());
    resample(inPlace.data(), inPlace.data());
    EXPECT_TRUE(std::equal(apart.begin(), apart.end(), inPlace.begin())) << c.sw << " x " << c.sh;
  }
}

TEST(ResamplePixels, FailuresPropagate) {
  const Bytes src(64, 1);
  Bytes dst(64, 0xAB);
  EXPECT_EQ(
      Message([&] { ResamplePixels(src.data(), dst.data(), GL_RGBA, 0x1234, TentFilterKernel, 2, 2, 3, 3); }),
      "Unimplemented type of conversion");
  EXPECT_EQ(Message([&] {
              ResamplePixels(src.data(), dst.data(), GL_DEPTH_COMPONENT, GL_UNSIGNED_BYTE, TentFilterKernel,
                             2, 2, 3, 3);
            }),
            "Invalid data type");
  EXPECT_EQ(dst, Bytes(64, 0xAB));
  // A block format reads but cannot be written.
  Bytes level(8, 0xAB);
  std::vector<void*> levels = {level.data()};
  EXPECT_EQ(Message([&] {
              BuildMipmapChain(src.data(), levels, GL_RGBA, GL_COMPRESSED_RGB_S3TC_DXT1_EXT, TentFilterKernel,
                               8, 8);
            }),
            "Unimplemented type of conversion");
}

// DXT files written by ImageMagick decode within 8 per channel of its own decoding: the 5- and
// 6-bit colours are widened without bit replication.
TEST(ConvertPixels, ImageMagickDxtFiles) {
  test::TempDir dir;
  const int w = 16, h = 12;
  struct Case {
    const char* name;
    const char* compression;
    bool alpha;
    uint32_t type;
  } cases[] = {{"dxt1", "dxt1", false, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT},
               {"dxt5", "dxt5", true, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT}};
  for (const Case& c : cases) {
    const std::string png = dir.File(std::string(c.name) + ".png"),
                      dds = dir.File(std::string(c.name) + ".dds");
    std::ostringstream py;
    py << "from PIL import Image\n"
       << test::kPyTestPixel << "im = Image.new('RGBA', (" << w << ", " << h << "))\n"
       << "im.putdata([px(x, y)[:3] + ((px(x, y)[3],) if " << (c.alpha ? "True" : "False")
       << " else (255,)) for y in range(" << h << ") for x in range(" << w << ")])\n"
       << "im.save('" << png << "')\n";
    ASSERT_TRUE(test::RunPython(py.str()));
    ASSERT_TRUE(test::RunCommand("/usr/bin/convert '" + png + "' -define dds:compression=" + c.compression +
                                 " -define dds:mipmaps=0 '" + dds + "'"));
    const std::string file = test::ReadFile(dds);
    ASSERT_GT(file.size(), 128u);
    ASSERT_EQ(file.substr(84, 4), c.alpha ? "DXT5" : "DXT1");
    test::Rgba magick;
    ASSERT_TRUE(test::MagickDecode(dds, magick));
    ASSERT_EQ(magick.Width, w);
    Bytes ours(static_cast<size_t>(w) * h * 4);
    ConvertPixels(file.data() + 128, ours.data(), GL_RGBA, GL_RGBA, c.type, GL_UNSIGNED_BYTE, w, h);
    for (size_t i = 0; i < ours.size(); ++i)
      ASSERT_LE(std::abs(int(ours[i]) - int(magick.Pixels[i])), 8) << c.name << " byte " << i;
  }
}
