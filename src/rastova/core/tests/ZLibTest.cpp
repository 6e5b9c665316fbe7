// The zlib streams against data written and read by Python's zlib.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "rastova/core/RVStream.h"
#include "rastova/core/RVZLib.h"

namespace rv {
namespace {

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>((i * 7 + i / 251) & 255);
  return v;
}

std::vector<uint8_t> ReadFixture(const std::string& name) {
  std::ifstream in(std::string(ZEPHOR_TEST_DATA_DIR) + "/" + name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TMemoryStream MemoryOf(const std::vector<uint8_t>& data) {
  TMemoryStream s;
  s.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  s.SetPosition(0);
  return s;
}

std::vector<uint8_t> Compress(const std::vector<uint8_t>& data, TZCompressionLevel level) {
  TMemoryStream out;
  {
    TZCompressionStream z(out, level);
    // Odd-sized writes cross the 64 KB buffer.
    for (size_t i = 0; i < data.size(); i += 7777)
      z.WriteBuffer(data.data() + i, static_cast<int64_t>(std::min<size_t>(7777, data.size() - i)));
    EXPECT_EQ(z.Seek(123, soEnd), static_cast<int64_t>(data.size()));
    z.Finish();
  }
  return out.Data();
}

TEST(ZLibStreams, ReadsWhatPythonWrote) {
  TMemoryStream src = MemoryOf(ReadFixture("zlib_pattern.z"));
  TZDecompressionStream z(src);
  std::vector<uint8_t> got(100000 + 10);
  EXPECT_EQ(z.Read(got.data(), static_cast<int64_t>(got.size())), 100000);
  got.resize(100000);
  EXPECT_EQ(got, Pattern(100000));
  // Rewinding to the start reads the same bytes again; forward seeks skip.
  EXPECT_EQ(z.Seek(0, soBeginning), 0);
  std::vector<uint8_t> again(50);
  EXPECT_EQ(z.Seek(1000, soBeginning), 1000);
  z.ReadBuffer(again.data(), 50);
  EXPECT_TRUE(std::equal(again.begin(), again.end(), Pattern(1050).begin() + 1000));
  EXPECT_EQ(z.Seek(10, soCurrent), 1060);
  EXPECT_EQ(z.Seek(0, soEnd), 100000);
  EXPECT_THROW(z.Seek(5, soBeginning), EZDecompressionError);
  EXPECT_THROW(z.Seek(-1, soCurrent), EZDecompressionError);
  EXPECT_THROW(z.Write(got.data(), 1), EZDecompressionError);
}

TEST(ZLibStreams, LeavesTheSourceRightAfterTheCompressedData) {
  TMemoryStream src = MemoryOf(ReadFixture("zlib_with_tail.bin"));
  TZDecompressionStream z(src);
  std::vector<uint8_t> got(1000);
  EXPECT_EQ(z.Read(got.data(), 1000), 190);
  char tail[4];
  src.ReadBuffer(tail, 4);
  EXPECT_EQ(std::string(tail, 4), "TAIL");
}

TEST(ZLibStreams, RoundTripsAndEmptyData) {
  std::vector<uint8_t> data = Pattern(300000);
  for (TZCompressionLevel level : {zcNone, zcFastest, zcDefault, zcMax}) {
    std::vector<uint8_t> packed = Compress(data, level);
    std::vector<uint8_t> unpacked;
    ZDecompressBuffer(packed.data(), static_cast<int64_t>(packed.size()), unpacked, 0);
    EXPECT_EQ(unpacked, data) << "level " << int(level);
  }
  // Nothing written still makes a complete stream.
  std::vector<uint8_t> empty = Compress({}, zcDefault);
  ASSERT_FALSE(empty.empty());
  std::vector<uint8_t> out;
  ZDecompressBuffer(empty.data(), static_cast<int64_t>(empty.size()), out, 0);
  EXPECT_TRUE(out.empty());
  // Two streams share one destination, each keeping its own place.
  TMemoryStream shared;
  {
    TZCompressionStream a(shared, zcDefault);
    a.WriteBuffer("first", 5);
    a.Finish();
    TZCompressionStream b(shared, zcDefault);
    b.WriteBuffer("second", 6);
  }
  shared.SetPosition(0);
  TZDecompressionStream ra(shared);
  char text[16] = {};
  EXPECT_EQ(ra.Read(text, 16), 5);
  TZDecompressionStream rb(shared);
  EXPECT_EQ(rb.Read(text, 16), 6);
  EXPECT_EQ(std::string(text, 6), "second");
  TMemoryStream sink;
  TZCompressionStream w(sink, zcDefault);
  EXPECT_THROW(w.Read(text, 1), EZCompressionError);
}

TEST(ZLibStreams, PythonReadsWhatWeWrote) {
  if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "no /usr/bin/python3";
  std::vector<uint8_t> data = Pattern(200000);
  std::vector<uint8_t> packed = Compress(data, zcMax);
  std::string path = ::testing::TempDir() + "rvzlib_test.z";
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(packed.data()), static_cast<std::streamsize>(packed.size()));
  }
  std::string cmd = "/usr/bin/python3 -c \"import zlib,sys; d=zlib.decompress(open(sys.argv[1],'rb').read()); "
                    "print(len(d), zlib.crc32(d))\" " + path;
  FILE* p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  char line[128] = {};
  ASSERT_NE(fgets(line, sizeof line, p), nullptr);
  pclose(p);
  std::remove(path.c_str());
  uLong crc = crc32(0, data.data(), static_cast<uInt>(data.size()));
  EXPECT_EQ(std::string(line), std::to_string(data.size()) + " " + std::to_string(crc) + "\n");
}

TEST(ZLibStreams, DamagedDataFailsWithZlibsText) {
  std::vector<uint8_t> packed = ReadFixture("zlib_pattern.z");
  std::vector<uint8_t> out;
  // Truncated: the data ends before the stream does.
  EXPECT_THROW(ZDecompressBuffer(packed.data(), static_cast<int64_t>(packed.size() / 2), out, 0), EZDecompressionError);
  std::vector<uint8_t> bad = packed;
  bad[0] = 0x00;  // not a zlib header
  try {
    ZDecompressBuffer(bad.data(), static_cast<int64_t>(bad.size()), out, 0);
    FAIL();
  } catch (const EZDecompressionError& e) {
    EXPECT_STREQ(e.what(), "data error");
  }
  TMemoryStream src = MemoryOf(bad);
  TZDecompressionStream z(src);
  std::vector<uint8_t> buf(100);
  EXPECT_THROW(z.Read(buf.data(), 100), EZDecompressionError);
  // Mutated bytes in the body end in an error or in different bytes, never in a hang.
  for (size_t i = 2; i < packed.size(); i += 97) {
    std::vector<uint8_t> m = packed;
    m[i] ^= 0x5A;
    try {
      ZDecompressBuffer(m.data(), static_cast<int64_t>(m.size()), out, 1);
    } catch (const EZDecompressionError&) {
    }
  }
}

TEST(ZLibStreams, PresetDictionaryIsADataErrorNotAHang) {
  std::vector<uint8_t> packed = ReadFixture("zlib_preset_dictionary.z");
  auto run = std::async(std::launch::async, [&packed] {
    std::string results;
    try {
      std::vector<uint8_t> out;
      ZDecompressBuffer(packed.data(), static_cast<int64_t>(packed.size()), out, 0);
      results += "no error;";
    } catch (const EZDecompressionError& e) {
      results += std::string(e.what()) + ";";
    }
    try {
      TMemoryStream src = MemoryOf(packed);
      TZDecompressionStream z(src);
      std::vector<uint8_t> buf(100);
      z.Read(buf.data(), 100);
      results += "no error";
    } catch (const EZDecompressionError& e) {
      results += e.what();
    }
    return results;
  });
  if (run.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    std::fprintf(stderr, "decompression of a preset-dictionary stream did not end\n");
    std::_Exit(1);
  }
  EXPECT_EQ(run.get(), "data error;data error");
}

TEST(ZLibStreams, BufferGrowsFromTheRoundedInputSize) {
  // 10 input bytes: the output starts at 256 bytes; larger outputs still come out whole.
  std::vector<uint8_t> packed = Compress(std::vector<uint8_t>(5, 'x'), zcDefault);
  ASSERT_LT(packed.size(), 256u);
  std::vector<uint8_t> out;
  ZDecompressBuffer(packed.data(), static_cast<int64_t>(packed.size()), out, 0);
  EXPECT_EQ(out, std::vector<uint8_t>(5, 'x'));
  std::vector<uint8_t> big(1 << 20, 'y');
  packed = Compress(big, zcMax);
  ZDecompressBuffer(packed.data(), static_cast<int64_t>(packed.size()), out, 0);
  EXPECT_EQ(out, big);
}

}  // namespace
}  // namespace rv
