// Pages made by the independent tools (Pillow, ImageMagick and libtiff's tiffcp) decode as
// Pillow or ImageMagick decode them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "TiffTestTools.h"

namespace rv {
namespace {

using namespace test;

class TiffFixtures : public TiffTest {};

struct Fixture {
  const char* name;  // file made by the script below
  int tolerance;     // per channel (JPEG)
  bool magick;       // compare with ImageMagick's decoding instead of Pillow's
};

// The colour picture (the shared test picture, 70 x 45), its 1-bit and grey forms, and the
// variants tiffcp makes of them.
const char* const kScript = R"PY(
import subprocess, os
from PIL import Image
W, H = 70, 45
im = Image.new('RGB', (W, H))
im.putdata([px(x, y)[:3] for y in range(H) for x in range(W)])
im.save('rgb.tif')
im.convert('1').save('bw.tif')
g = im.convert('L')
g.save('grey.tif')
def tc(args, src, dst):
    subprocess.check_call(['tiffcp'] + args + [src, dst])
tc(['-c', 'none'], 'rgb.tif', 'none.tif')
tc(['-c', 'lzw:2'], 'rgb.tif', 'lzw2.tif')
tc(['-c', 'lzw'], 'rgb.tif', 'lzw.tif')
tc(['-c', 'zip:2'], 'rgb.tif', 'zip2.tif')
tc(['-c', 'packbits'], 'rgb.tif', 'packbits.tif')
tc(['-c', 'jpeg', '-r', '16'], 'rgb.tif', 'jpeg.tif')
tc(['-t', '-w', '32', '-l', '32'], 'rgb.tif', 'tiles.tif')
tc(['-t', '-w', '32', '-l', '32', '-c', 'lzw:2'], 'rgb.tif', 'tileslzw.tif')
tc(['-p', 'separate'], 'rgb.tif', 'planar.tif')
tc(['-p', 'separate', '-c', 'lzw'], 'rgb.tif', 'planarlzw.tif')
tc(['-B'], 'rgb.tif', 'big.tif')
tc(['-B', '-c', 'lzw:2', '-r', '7'], 'rgb.tif', 'biglzw.tif')
tc(['-f', 'lsb2msb', '-c', 'lzw'], 'rgb.tif', 'lsb.tif')
tc(['-c', 'lzw:2'], 'grey.tif', 'greylzw.tif')
tc(['-c', 'zip'], 'grey.tif', 'greyzip.tif')
tc(['-c', 'none'], 'bw.tif', 'bwnone.tif')
tc(['-c', 'g3:1d'], 'bw.tif', 'g31d.tif')
tc(['-c', 'g3:2d'], 'bw.tif', 'g32d.tif')
tc(['-c', 'g3:2d:fill'], 'bw.tif', 'g32dfill.tif')
tc(['-c', 'g4'], 'bw.tif', 'g4.tif')
tc(['-c', 'g4', '-f', 'lsb2msb'], 'bw.tif', 'g4lsb.tif')
tc(['-c', 'packbits'], 'bw.tif', 'bwpackbits.tif')
tc(['-c', 'lzw'], 'bw.tif', 'bwlzw.tif')
im.convert('CMYK').save('cmyk.tif')
im.convert('P', palette=Image.ADAPTIVE, colors=200).save('palette.tif')
im.convert('RGBA').save('rgba.tif')
Image.merge('RGBA', im.split() + (g,)).save('rgbalzw.tif', compression='tiff_lzw')
im.convert('I').point(lambda v: v * 257).convert('I;16').save('grey16.tif')
subprocess.check_call(['convert', 'rgb.tif', '-depth', '16', 'rgb16.tif'])
tc(['-B', '-c', 'lzw:2'], 'rgb16.tif', 'rgb16biglzw.tif')
tc(['-t', '-w', '16', '-l', '16'], 'rgb16.tif', 'rgb16tiles.tif')
tc(['-B', '-c', 'zip:2'], 'grey16.tif', 'grey16bigzip.tif')
subprocess.check_call(['convert', 'grey.tif', '-depth', '4', 'grey4.tif'])
subprocess.check_call(['convert', 'grey.tif', '-depth', '2', 'grey2.tif'])
subprocess.check_call(['tiffcp', 'lzw2.tif', 'greyzip.tif', 'g4.tif', 'multi.tif'])
)PY";

// The pages of multi.tif, each copied by tiffcp from one of the fixtures above.
const char* const kMultiPageSources[] = {"lzw2.tif", "greyzip.tif", "g4.tif"};

const Fixture kFixtures[] = {
    {"none.tif", 0, false},        {"lzw2.tif", 0, false},       {"lzw.tif", 0, false},
    {"zip2.tif", 0, false},        {"packbits.tif", 0, false},   {"jpeg.tif", 6, false},
    {"tiles.tif", 0, false},       {"tileslzw.tif", 0, false},   {"planar.tif", 0, false},
    {"planarlzw.tif", 0, false},   {"big.tif", 0, false},        {"biglzw.tif", 0, false},
    {"lsb.tif", 0, false},         {"greylzw.tif", 0, false},    {"greyzip.tif", 0, false},
    {"bwnone.tif", 0, false},      {"g31d.tif", 0, false},       {"g32d.tif", 0, false},
    {"g32dfill.tif", 0, false},    {"g4.tif", 0, false},         {"g4lsb.tif", 0, false},
    {"bwpackbits.tif", 0, false},  {"bwlzw.tif", 0, false},      {"cmyk.tif", 1, false},
    {"palette.tif", 0, false},     {"rgba.tif", 0, false},       {"rgbalzw.tif", 0, false},
    {"grey16.tif", 0, true},       {"rgb16.tif", 0, true},       {"grey4.tif", 0, true},
    {"grey2.tif", 0, true},        {"rgb16biglzw.tif", 0, true}, {"rgb16tiles.tif", 0, true},
    {"grey16bigzip.tif", 0, true},
};

// Page `page` of `file` in `dir` against the tools' decoding of `reference` (colours and alpha).
void CompareWithTool(const TempDir& dir, const char* file, int32_t page, const char* reference, int tolerance,
                     bool magick) {
  SCOPED_TRACE(std::string(file) + " page " + std::to_string(page));
  int w = 0, h = 0;
  std::vector<uint8_t> rgba;
  if (magick)
    ASSERT_TRUE(MagickDecode(dir.File(reference), w, h, rgba));
  else
    ASSERT_TRUE(LoadDecoded(dir.File(reference), w, h, rgba));
  auto r = ReadTiff(ReadFileBytes(dir.File(file)), page);
  ASSERT_TRUE(r->ok);
  ASSERT_EQ(r->bitmap.GetWidth(), w);
  ASSERT_EQ(r->bitmap.GetHeight(), h);
  if (std::string(file) == "multi.tif") {
    EXPECT_EQ(r->pages, 3);
  }
  int worst = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Rgba a = PixelOf(r->bitmap, x, y);
      const uint8_t* e = &rgba[(size_t(y) * w + x) * 4];
      // A transparent pixel has no colour to compare; a lost alpha counts as opaque.
      int d = e[3] == 0 ? 0 : std::max({std::abs(a.r - e[0]), std::abs(a.g - e[1]), std::abs(a.b - e[2])});
      const int alpha = r->mask && r->mask->HasBits() ? r->mask->GetScanLine(y)[x] : 255;
      d = std::max(d, std::abs(alpha - e[3]));
      if (d > tolerance && worst <= tolerance)
        ADD_FAILURE() << "first at " << x << "," << y << " ours " << int(a.r) << "," << int(a.g) << ","
                      << int(a.b) << " theirs " << int(e[0]) << "," << int(e[1]) << "," << int(e[2]) << ","
                      << int(e[3]);
      worst = std::max(worst, d);
    }
  EXPECT_LE(worst, tolerance);
}

TEST_F(TiffFixtures, ToolFilesDecodeAsTheToolsDecodeThem) {
  if (!HavePillow() || !HaveMagick() || !HaveTiffTools())
    GTEST_SKIP() << "Pillow, ImageMagick or tiffcp missing";
  TempDir dir;
  const std::string folder = dir.File("");
  std::ostringstream script;
  script << kPyTestPixel << "import os\nos.chdir('" << folder << "')\n" << kScript;
  ASSERT_TRUE(RunPython(script.str()));
  std::vector<std::string> pillowFiles;
  for (const Fixture& f : kFixtures)
    if (!f.magick) pillowFiles.push_back(dir.File(f.name));
  ASSERT_TRUE(PillowDecodeAll(pillowFiles));
  for (const Fixture& f : kFixtures) CompareWithTool(dir, f.name, 0, f.name, f.tolerance, f.magick);
  // A file of several pages of different kinds: each page as its source decodes.
  for (int32_t k = 0; k < 3; ++k) CompareWithTool(dir, "multi.tif", k, kMultiPageSources[k], 0, false);
}

}  // namespace
}  // namespace rv

namespace rv {
namespace {

using namespace test;

// Layouts beside the common ones: separate planes with alpha under each compression, 16-bit
// planes and alpha, premultiplied alpha, a palette with an alpha sample, bit-reversed 16-bit
// samples and CMYK coded as JPEG. Each is compared with ImageMagick's decoding.
const char* const kVariantScript = R"PY(
import subprocess
from PIL import Image
W, H = 70, 45
im = Image.new('RGB', (W, H))
im.putdata([px(x, y)[:3] for y in range(H) for x in range(W)])
a = Image.new('L', (W, H))
a.putdata([px(x, y)[3] for y in range(H) for x in range(W)])
im.save('rgb.tif')
Image.merge('RGBA', im.split() + (a,)).save('rgba.tif')
def run(args):
    subprocess.check_call(args)
for c in ['none', 'lzw', 'lzw:2', 'zip:2', 'packbits']:
    run(['tiffcp', '-p', 'separate', '-c', c, 'rgba.tif', 'planar-rgba-%s.tif' % c.replace(':', '')])
run(['convert', 'rgb.tif', '-depth', '16', 'rgb16.tif'])
run(['convert', 'rgba.tif', '-depth', '16', 'rgba16.tif'])
run(['convert', 'rgba.tif', '-depth', '16', '-define', 'tiff:alpha=associated', 'rgba16-assoc.tif'])
run(['convert', 'rgba.tif', '-define', 'tiff:alpha=associated', 'rgba-assoc.tif'])
run(['convert', 'rgb16.tif', '-interlace', 'plane', 'rgb16-planar.tif'])
run(['convert', 'rgb16.tif', '-interlace', 'plane', '-compress', 'lzw', 'rgb16-planar-lzw.tif'])
run(['convert', 'rgba16.tif', '-interlace', 'plane', 'rgba16-planar.tif'])
run(['convert', 'rgba16.tif', '-interlace', 'plane', '-compress', 'zip', 'rgba16-planar-zip.tif'])
run(['convert', 'rgba.tif', '-type', 'PaletteMatte', 'palette-alpha.tif'])
run(['tiffcp', '-f', 'lsb2msb', 'rgb16.tif', 'rgb16-lsb.tif'])
run(['tiffcp', '-f', 'lsb2msb', 'rgba16.tif', 'rgba16-lsb.tif'])
for c in ['lzw', 'zip', 'packbits']:
    run(['tiffcp', '-f', 'lsb2msb', '-c', c, 'rgb16.tif', 'rgb16-lsb-%s.tif' % c])
    run(['tiffcp', '-f', 'lsb2msb', '-c', c, 'rgb.tif', 'rgb-lsb-%s.tif' % c])
im.convert('CMYK').save('cmyk.tif')
run(['tiffcp', '-c', 'jpeg', '-r', '16', 'cmyk.tif', 'cmyk-jpeg.tif'])
)PY";

const Fixture kVariants[] = {
    {"planar-rgba-none.tif", 0, true},  {"planar-rgba-lzw.tif", 0, true},   {"planar-rgba-lzw2.tif", 0, true},
    {"planar-rgba-zip2.tif", 0, true},  {"planar-rgba-packbits.tif", 0, true},
    {"rgba16.tif", 0, true},            {"rgba16-assoc.tif", 1, true},      {"rgba-assoc.tif", 1, true},
    {"rgb16-planar.tif", 0, true},      {"rgb16-planar-lzw.tif", 0, true},  {"rgba16-planar.tif", 0, true},
    {"rgba16-planar-zip.tif", 0, true}, {"palette-alpha.tif", 1, true},     {"rgb16-lsb.tif", 0, true},
    {"rgba16-lsb.tif", 0, true},        {"cmyk-jpeg.tif", 6, true},         {"rgb16-lsb-lzw.tif", 0, true},
    {"rgb16-lsb-zip.tif", 0, true},     {"rgb16-lsb-packbits.tif", 0, true}, {"rgb-lsb-lzw.tif", 0, true},
    {"rgb-lsb-zip.tif", 0, true},       {"rgb-lsb-packbits.tif", 0, true},
};

TEST_F(TiffFixtures, OtherLayoutsDecodeAsImageMagickDecodesThem) {
  if (!HavePillow() || !HaveMagick() || !HaveTiffTools())
    GTEST_SKIP() << "Pillow, ImageMagick or tiffcp missing";
  TempDir dir;
  std::ostringstream script;
  script << kPyTestPixel << "import os\nos.chdir('" << dir.File("") << "')\n" << kVariantScript;
  ASSERT_TRUE(RunPython(script.str()));
  for (const Fixture& f : kVariants) CompareWithTool(dir, f.name, 0, f.name, f.tolerance, f.magick);
  // CMYK JPEG data read into a CMYK bitmap hold the same inks as read into RGB.
  const std::vector<uint8_t> cmyk = ReadFileBytes(dir.File("cmyk-jpeg.tif"));
  auto rgb = ReadTiff(cmyk);
  auto native = ReadTiff(cmyk, 0, true);
  ASSERT_TRUE(native->ok);
  ASSERT_EQ(native->bitmap.GetPixelFormat(), rvCMYK);
  native->bitmap.ConvertToPixelFormat(rv24RGB);
  int worst = 0;
  for (int y = 0; y < 45; ++y)
    for (int x = 0; x < 70; ++x) {
      const Rgba a = PixelOf(native->bitmap, x, y), b = PixelOf(rgb->bitmap, x, y);
      worst = std::max({worst, std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
    }
  EXPECT_LE(worst, 1);
}


// Compressions the reader does not decode, as libtiff writes them: the read fails.
TEST_F(TiffFixtures, PagesOfCompressionsTheReaderLacksFail) {
  if (!HavePillow() || !HaveTiffTools()) GTEST_SKIP() << "Pillow or tiffcp missing";
  TempDir dir;
  std::ostringstream script;
  script << kPyTestPixel << "import os, subprocess\nos.chdir('" << dir.File("") << "')\n"
         << "from PIL import Image\nim = Image.new('RGB', (20, 9))\n"
         << "im.putdata([px(x, y)[:3] for y in range(9) for x in range(20)])\nim.save('rgb.tif')\n"
         << "for c in ['lzma', 'zstd', 'webp']:\n"
         << "    subprocess.call(['tiffcp', '-c', c, 'rgb.tif', c + '.tif'])\n";
  ASSERT_TRUE(RunPython(script.str()));
  int tried = 0;
  for (const char* c : {"lzma", "zstd", "webp"}) {
    const std::string path = dir.File(std::string(c) + ".tif");
    if (!std::filesystem::exists(path)) continue;  // a libtiff built without that codec
    ++tried;
    auto r = ReadTiff(ReadFileBytes(path));
    EXPECT_FALSE(r->ok) << c;
    EXPECT_TRUE(r->bitmap.IsEmpty()) << c;
  }
  if (tried == 0) GTEST_SKIP() << "tiffcp writes none of these compressions";
}

}  // namespace
}  // namespace rv
