// The memory entries of the readers: a good file reads, noise and empty data are refused.
#include <gtest/gtest.h>

#include <random>

#include "TestTools.h"
#include "rastova/codecs/MemoryReaders.h"
#include "rastova/codecs/bitmaps/icofilt.h"
#include "rastova/codecs/bitmaps/pcxfilter.h"
#include "rastova/codecs/bitmaps/pxmfilter.h"
#include "rastova/codecs/gif/giffilter.h"
#include "rastova/codecs/gif/giflzw.h"
#include "rastova/codecs/psd/rvpsd.h"

namespace rv {
namespace {

using namespace test;

TEST(MemoryReaders, GoodFilesReadNoiseIsRefused) {
  TRVBitmap src;
  FillTestBitmap(src, 12, 9, true);
  auto write = [&](auto writer) {
    TMemoryStream s;
    TIOParamsVals p;
    p.GIF_LZWCompress = GIFLZWCompress;
    TRVProgressRec progress;
    writer(s, p, progress);
    return s.Data();
  };
  using Entry = bool (*)(const uint8_t*, size_t);
  struct Case {
    const char* name;
    Entry entry;
    std::vector<uint8_t> good;
  };
  const Case cases[] = {
      {"GIF", ReadGIFFromMemory,
       write([&](TStream& s, TIOParamsVals& p, TRVProgressRec& pr) { WriteGIFStream(s, src, p, pr); })},
      {"PCX", ReadPCXFromMemory,
       write([&](TStream& s, TIOParamsVals& p, TRVProgressRec& pr) { WritePCXStream(s, src, p, pr); })},
      {"DCX", ReadDCXFromMemory,
       write([&](TStream& s, TIOParamsVals& p, TRVProgressRec& pr) { WriteDCXStream(s, src, p, pr); })},
      {"ICO", ReadICOFromMemory,
       write([&](TStream& s, TIOParamsVals& p, TRVProgressRec& pr) { WriteICOStream(s, src, p, {24}, {{12, 9}}, pr); })},
      {"PXM", ReadPXMFromMemory,
       write([&](TStream& s, TIOParamsVals& p, TRVProgressRec& pr) { WritePXMStream(s, src, p, pr); })},
      {"WBMP", ReadWBMPFromMemory,
       write([&](TStream& s, TIOParamsVals&, TRVProgressRec& pr) { WriteWBMPStream(s, src, pr); })},
      {"PSD", ReadPSDFromMemory, write([&](TStream& s, TIOParamsVals& p, TRVProgressRec& pr) {
         TPSDLayerList none;
         WritePSDStream(s, p, pr, none, src);
       })},
  };
  std::mt19937 random(7);
  std::vector<uint8_t> noise(4000);
  for (auto& b : noise) b = uint8_t(random());
  for (const Case& c : cases) {
    EXPECT_TRUE(c.entry(c.good.data(), c.good.size())) << c.name;
    EXPECT_FALSE(c.entry(noise.data(), noise.size())) << c.name;
    EXPECT_FALSE(c.entry(nullptr, 0)) << c.name;
  }
  // The cursor reader takes an icon directory as it is (the content tests tell the two apart).
  EXPECT_TRUE(ReadCURFromMemory(cases[3].good.data(), cases[3].good.size()));
  const std::vector<uint8_t> raw = {1, 0, '1', '2', '3'};
  EXPECT_TRUE(ReadRawBitmapFromMemory(raw.data(), raw.size()));
}

}  // namespace
}  // namespace rv
