// The zlib streams against data written and read by Python's zlib.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
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

std::vector<uint8_t> ReadInPieces(TZDecompressionStream& z, int64_t piece) {
  std::vector<uint8_t> out, buffer(static_cast<size_t>(piece));
  for (int64_t got; (got = z.Read(buffer.data(), piece)) > 0;) out.insert(out.end(), buffer.begin(), buffer.begin() + got);
  return out;
}

TEST(ZLibStreams, RewindGoesBackToWhereTheCompressedDataStart) {
  const std::vector<uint8_t> data = Pattern(70000);
  std::vector<uint8_t> file = {'H', 'E', 'A', 'D', ':'};
  const std::vector<uint8_t> packed = Compress(data, zcDefault);
  file.insert(file.end(), packed.begin(), packed.end());
  TMemoryStream src = MemoryOf(file);
  src.SetPosition(5);
  TZDecompressionStream z(src);
  EXPECT_EQ(ReadInPieces(z, 1000), data);
  EXPECT_EQ(z.Seek(0, soBeginning), 0);
  EXPECT_EQ(ReadInPieces(z, 333), data);
  // A forward move from the start after the rewind also reads from there.
  z.Seek(0, soBeginning);
  z.Seek(100, soBeginning);
  uint8_t next = 0;
  ASSERT_EQ(z.Read(&next, 1), 1);
  EXPECT_EQ(next, data[100]);
}

TEST(ZLibStreams, TruncatedDataGiveTheSameBytesWhateverThePieceSize) {
  const std::vector<uint8_t> text(std::begin("one, two, three, one, two, three"), std::end("one, two, three, one, two, three"));
  const std::vector<uint8_t> longer = Pattern(20000);
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
    size_t keep;  // compressed bytes kept
  };
  const std::vector<uint8_t> shortPacked = Compress(text, zcDefault), longPacked = Compress(longer, zcDefault);
  const Case cases[] = {
      {"short text cut before its check value", text, shortPacked.size() - 4},
      {"short text cut in the middle", text, shortPacked.size() / 2},
      {"long pattern cut in the middle", longer, longPacked.size() / 2},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> cut = Compress(c.data, zcDefault);
    cut.resize(c.keep);
    std::vector<std::vector<uint8_t>> results;
    for (int64_t piece : {1, 3, 4096, 1 << 20}) {
      TMemoryStream src = MemoryOf(cut);
      TZDecompressionStream z(src);
      results.push_back(ReadInPieces(z, piece));
    }
    ASSERT_FALSE(results[0].empty()) << c.what;
    EXPECT_TRUE(std::equal(results[0].begin(), results[0].end(), c.data.begin())) << c.what;
    for (size_t i = 1; i < results.size(); ++i) EXPECT_EQ(results[i], results[0]) << c.what << ", piece " << i;
  }
}

TEST(ZLibStreams, BoundOfWhatIsLeft) {
  const std::vector<uint8_t> packed = Compress(Pattern(5000), zcMax);
  TMemoryStream src = MemoryOf(packed);
  TZDecompressionStream z(src);
  const int64_t before = BytesLeftBound(z);
  EXPECT_GE(before, 5000);
  EXPECT_LE(before, static_cast<int64_t>(packed.size()) * 1032 + 65536);
  ReadInPieces(z, 4096);
  EXPECT_EQ(BytesLeftBound(z), 0);  // the data have ended
  TMemoryStream plain = MemoryOf(Pattern(10));
  plain.SetPosition(4);
  EXPECT_EQ(BytesLeftBound(plain), 6);
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
