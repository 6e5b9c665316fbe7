// The TIFF structure handler: files made by libtiff's tools and exiftool loaded and written back
// unchanged (as tiffcmp and tiffdump see them), the special pages (old-style JPEG, HD Photo
// planes), copying tags, and damaged structures.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>

#include "common/tests/support/AllocationWatch.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVTIFFHandler.h"

namespace rv {
namespace {

bool Shell(const std::string& cmd) { return std::system(cmd.c_str()) == 0; }

class TempFolder {
 public:
  TempFolder() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("zephor-tiffh-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& n) const { return (path_ / n).string(); }

 private:
  std::filesystem::path path_;
};

std::vector<uint8_t> Load(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> WriteBack(TRVTIFFHandler& h, int32_t page) {
  TMemoryStream out;
  h.WriteStream(out, page);
  return out.Data();
}

// A TIFF built byte by byte: header, IFDs at given offsets, data anywhere.
struct Raw {
  bool le = true;
  std::vector<uint8_t> b;
  explicit Raw(bool littleEndian = true, uint16_t magic = 42) : le(littleEndian) {
    b = {uint8_t(le ? 'I' : 'M'), uint8_t(le ? 'I' : 'M')};
    U16(magic);
    U32(8);
  }
  void U16(uint32_t v) {
    if (le) {
      b.push_back(uint8_t(v));
      b.push_back(uint8_t(v >> 8));
    } else {
      b.push_back(uint8_t(v >> 8));
      b.push_back(uint8_t(v));
    }
  }
  void U32(uint32_t v) {
    if (le) {
      U16(v & 0xFFFF);
      U16(v >> 16);
    } else {
      U16(v >> 16);
      U16(v & 0xFFFF);
    }
  }
  void Entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
    U16(tag);
    U16(type);
    U32(count);
    U32(value);
  }
  void Short(uint16_t tag, uint16_t value) {
    U16(tag);
    U16(3);
    U32(1);
    U16(value);
    U16(0);
  }
  void Pad(size_t to) { b.resize(std::max(b.size(), to), 0); }
  void Put32At(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(le ? v >> (8 * i) : v >> (24 - 8 * i));
  }
};

TRVTIFFHandler LoadBytes(const std::vector<uint8_t>& bytes, bool* ok = nullptr) {
  TRVTIFFHandler h;
  TRVMemStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
  const bool loaded = h.LoadFromStream(s);
  if (ok) *ok = loaded;
  return h;
}

// tiffdump's listing without offsets: for each entry "tag type count" and, unless the tag holds
// offsets, its values.
std::vector<std::string> DumpWithoutOffsets(const std::string& path) {
  const std::string out = path + ".dump";
  if (!Shell("tiffdump '" + path + "' > '" + out + "' 2>&1")) return {};
  std::ifstream f(out);
  std::vector<std::string> lines;
  std::string line;
  const std::regex entry(R"(^(\S.*?) \((\d+)\) (\S+) \((\d+)\) (\d+)(.*)$)");
  std::smatch m;
  while (std::getline(f, line)) {
    if (!std::regex_match(line, m, entry)) continue;
    const int tag = std::stoi(m[2]);
    const bool offsets =
        tag == 273 || tag == 324 || tag == 513 || tag == 34665 || tag == 34853 || tag == 40965;
    lines.push_back(m[2].str() + " " + m[4].str() + " " + m[5].str() + (offsets ? "" : m[6].str()));
  }
  return lines;
}

bool HaveTools() {
  return Shell(
      "command -v tiffcp >/dev/null && command -v tiffdump >/dev/null && command -v tiffcmp >/dev/null && "
      "command -v exiftool >/dev/null && /usr/bin/python3 -c 'import PIL' 2>/dev/null");
}

TEST(TIFFHandler, ToolFilesWrittenBackKeepEveryTagAndStrip) {
  if (!HaveTools()) GTEST_SKIP() << "tiffcp, tiffdump, tiffcmp, exiftool or Pillow missing";
  TempFolder dir;
  std::ostringstream py;
  py << "from PIL import Image\n"
     << "a = Image.new('RGB', (37, 21)); a.putdata([((x*7)%256, (y*11)%256, (x*y)%256) for y in range(21) "
        "for x in range(37)])\n"
     << "b = a.rotate(90, expand=True)\n"
     << "a.save('" << dir.File("two.tif") << "', save_all=True, append_images=[b])\n";
  std::ofstream(dir.File("make.py")) << py.str();
  ASSERT_TRUE(Shell("/usr/bin/python3 " + dir.File("make.py")));
  ASSERT_TRUE(Shell("tiffcp -c lzw -r 5 " + dir.File("two.tif") + " " + dir.File("le.tif")));
  ASSERT_TRUE(Shell("tiffcp -B -c zip -r 7 " + dir.File("two.tif") + " " + dir.File("be.tif")));
  ASSERT_TRUE(Shell("tiffcp -B -t -w 16 -l 16 " + dir.File("two.tif") + " " + dir.File("tiled.tif")));
  for (const char* name : {"le.tif", "be.tif", "tiled.tif"}) {
    SCOPED_TRACE(name);
    const std::string src = dir.File(name);
    ASSERT_TRUE(
        Shell("exiftool -q -overwrite_original -Make=Cam -ExposureTime=1/60 -GPSLatitude=10.5 "
              "-GPSLatitudeRef=S -InteropIndex=R98 -Artist='An artist' '" +
              src + "'"));
    TRVTIFFHandler h;
    ASSERT_TRUE(h.LoadFromFile(src));
    ASSERT_EQ(h.PageCount(), 2);
    const bool tiled = std::string(name) == "tiled.tif";
    EXPECT_EQ(h.BigEndian(), std::string(name) != "le.tif");
    const std::string back = dir.File(std::string("back-") + name);
    h.WriteFile(back, -1);
    // tiffcmp compares the pixels of strips; tiles are compared block by block below.
    if (!tiled) {
      EXPECT_TRUE(Shell("tiffcmp '" + src + "' '" + back + "' >/dev/null 2>&1"));
    }
    EXPECT_EQ(DumpWithoutOffsets(src), DumpWithoutOffsets(back));
    // Data blocks and sub-IFDs start on even offsets.
    TRVTIFFHandler again;
    ASSERT_TRUE(again.LoadFromFile(back));
    for (int32_t p = 0; p < 2; ++p) {
      const uint16_t data = tiled ? 324 : 273;
      ASSERT_GE(again.FindTag(p, data), 0);
      EXPECT_EQ(again.Page(p).entries[size_t(again.FindTag(p, data))].blocks,
                h.Page(p).entries[size_t(h.FindTag(p, data))].blocks);
    }
    const std::vector<uint8_t> bytes = Load(back);
    TRVMemStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
    // Walk page 0's raw entries.
    const bool le = bytes[0] == 'I';
    auto get32 = [&](size_t at) {
      return le ? uint32_t(bytes[at]) | (uint32_t(bytes[at + 1]) << 8) | (uint32_t(bytes[at + 2]) << 16) |
                      (uint32_t(bytes[at + 3]) << 24)
                : (uint32_t(bytes[at]) << 24) | (uint32_t(bytes[at + 1]) << 16) |
                      (uint32_t(bytes[at + 2]) << 8) | uint32_t(bytes[at + 3]);
    };
    auto get16 = [&](size_t at) {
      return le ? bytes[at] | (bytes[at + 1] << 8) : (bytes[at] << 8) | bytes[at + 1];
    };
    const size_t ifd = get32(4);
    const int n = get16(ifd);
    for (int i = 0; i < n; ++i) {
      const size_t e = ifd + 2 + 12 * size_t(i);
      const int tag = get16(e), type = get16(e + 2);
      const uint64_t size = uint64_t(get32(e + 4)) * TRVTIFFHandler::TypeSize(uint16_t(type));
      if ((size > 4 && tag != 273 && tag != 324) || tag == 34665 || tag == 34853) {
        EXPECT_EQ(get32(e + 8) % 2, 0u) << "tag " << tag;
      }
    }
  }
}

TEST(TIFFHandler, OnePageOrAllPages) {
  Raw r;
  // Two IFDs of one entry each, chained.
  r.U16(1);
  r.Short(256, 5);
  r.U32(26);
  r.U16(1);
  r.Short(256, 9);
  r.U32(0);
  TRVTIFFHandler h = LoadBytes(r.b);
  ASSERT_EQ(h.PageCount(), 2);
  TRVTIFFHandler all = LoadBytes(WriteBack(h, -1));
  ASSERT_EQ(all.PageCount(), 2);
  EXPECT_EQ(all.GetTagInteger(all.Page(1), 256, 0), 9);
  TRVTIFFHandler second = LoadBytes(WriteBack(h, 1));
  ASSERT_EQ(second.PageCount(), 1);
  EXPECT_EQ(second.GetTagInteger(second.Page(0), 256, 0), 9);
  EXPECT_EQ(h.FindTag(5, 256), -1);
  EXPECT_EQ(h.FindTag(0, 257), -1);
  EXPECT_EQ(h.GetTagInteger(h.Page(0), 257, 0), 0);
}

TEST(TIFFHandler, OldStyleJpegPageGetsItsStripOffsetsAtTheScan) {
  // A fake JPEG stream whose start-of-scan marker is at byte 6.
  const std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x02, 0xFF, 0xDA, 1, 2, 3, 4, 0xFF, 0xD9};
  Raw r;
  const uint32_t jpegAt = 200;
  r.U16(7);
  r.Short(256, 8);
  r.Short(259, 6);
  r.Entry(273, 4, 1, jpegAt + 6);
  r.Entry(279, 4, 1, 8);
  r.Entry(513, 4, 1, jpegAt);
  r.Entry(514, 4, 1, static_cast<uint32_t>(jpeg.size()));
  r.Entry(519, 4, 1, 0);
  r.U32(0);
  r.Pad(jpegAt);
  r.b.insert(r.b.end(), jpeg.begin(), jpeg.end());
  TRVTIFFHandler h = LoadBytes(r.b);
  ASSERT_EQ(h.PageCount(), 1);
  EXPECT_EQ(h.FindTag(0, 273), -1);
  EXPECT_EQ(h.FindTag(0, 519), -1);
  ASSERT_GE(h.FindTag(0, 513), 0);
  const std::vector<uint8_t> out = WriteBack(h, -1);
  // The StripOffsets entry is the last of the IFD and points at FF DA in the stored stream.
  const size_t ifd = out[4] | (out[5] << 8);
  const int n = out[ifd] | (out[ifd + 1] << 8);
  const size_t last = ifd + 2 + 12 * size_t(n - 1);
  EXPECT_EQ(out[last] | (out[last + 1] << 8), 273);
  const uint32_t strip =
      out[last + 8] | (out[last + 9] << 8) | (out[last + 10] << 16) | (uint32_t(out[last + 11]) << 24);
  ASSERT_LT(strip + 1, out.size());
  EXPECT_EQ(out[strip], 0xFF);
  EXPECT_EQ(out[strip + 1], 0xDA);
  TRVTIFFHandler back = LoadBytes(out);
  EXPECT_EQ(back.Page(0).entries[size_t(back.FindTag(0, 513))].blocks.at(0), jpeg);
}

TEST(TIFFHandler, HDPhotoPlanesAreImageBlocksOnlyUnderMagic444) {
  for (uint16_t magic : {uint16_t(444), uint16_t(42)}) {
    SCOPED_TRACE(magic);
    Raw r(true, magic);
    r.U16(4);
    r.Entry(48320, 4, 1, 100);
    r.Entry(48321, 4, 1, 6);
    r.Entry(48322, 4, 1, 120);
    r.Entry(48323, 4, 1, 3);
    r.U32(0);
    r.Pad(100);
    r.b.insert(r.b.end(), {1, 2, 3, 4, 5, 6});
    r.Pad(120);
    r.b.insert(r.b.end(), {7, 8, 9});
    TRVTIFFHandler h = LoadBytes(r.b);
    EXPECT_EQ(h.Magic(), magic);
    const TRVTIFFEntry& image = h.Page(0).entries[size_t(h.FindTag(0, 48320))];
    EXPECT_EQ(image.isOffsets, magic == 444);
    // Written back, the planes follow their entries to their new place.
    TRVTIFFHandler back = LoadBytes(WriteBack(h, -1));
    const TRVTIFFEntry& alpha = back.Page(0).entries[size_t(back.FindTag(0, 48322))];
    if (magic == 444) {
      EXPECT_EQ(alpha.blocks.at(0), (std::vector<uint8_t>{7, 8, 9}));
    } else {
      EXPECT_FALSE(alpha.isOffsets);
      EXPECT_EQ(back.GetEntryInteger(alpha, 0), 120);
    }
  }
}

TEST(TIFFHandler, CopiedStripsFollowTheirByteCounts) {
  Raw r;
  r.U16(2);
  r.Entry(273, 4, 1, 60);
  r.Entry(279, 4, 1, 4);
  r.U32(0);
  r.Pad(60);
  r.b.insert(r.b.end(), {9, 8, 7, 6});
  TRVTIFFHandler source = LoadBytes(r.b);
  Raw t;
  t.U16(1);
  t.Short(256, 3);
  t.U32(0);
  TRVTIFFHandler target = LoadBytes(t.b);
  target.CopyTag(0, source.FindTag(0, 273), source, 0);
  target.CopyTag(0, source.FindTag(0, 279), source, 0);
  target.CopyTag(3, 0, source, 0);  // out of range: nothing
  TRVTIFFHandler back = LoadBytes(WriteBack(target, -1));
  ASSERT_GE(back.FindTag(0, 273), 0);
  EXPECT_EQ(back.Page(0).entries[size_t(back.FindTag(0, 273))].blocks.at(0),
            (std::vector<uint8_t>{9, 8, 7, 6}));
  // A big-endian source is not copied into a little-endian handler.
  Raw m(false);
  m.U16(1);
  m.Short(305, 1);
  m.U32(0);
  TRVTIFFHandler big = LoadBytes(m.b);
  target.CopyTag(0, 0, big, 0);
  EXPECT_EQ(target.FindTag(0, 305), -1);
}

// Damaged structures load what can be read, write back, and never read outside the file or walk
// for ever.
TEST(TIFFHandler, DamagedStructures) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    bool loads;
    int32_t pages;
  };
  std::vector<Case> cases;
  {
    Raw r;
    r.b[0] = r.b[1] = 'X';
    cases.push_back({"byte order XX", r.b, false, 0});
  }
  {
    Raw r;  // IFD 0 at 8 points to itself
    r.U16(1);
    r.Short(256, 1);
    r.U32(8);
    cases.push_back({"next IFD is itself", r.b, true, 1});
  }
  {
    Raw r;  // IFD 0 -> IFD 1 -> IFD 0
    r.U16(1);
    r.Short(256, 1);
    r.U32(26);
    r.U16(1);
    r.Short(256, 2);
    r.U32(8);
    cases.push_back({"chain that loops", r.b, true, 2});
  }
  {
    Raw r;  // the EXIF IFD pointer points at IFD 0 itself, and a GPS IFD at the EXIF IFD
    r.U16(2);
    r.Entry(34665, 4, 1, 8);
    r.Entry(34853, 4, 1, 8);
    r.U32(0);
    cases.push_back({"sub-IFD that loops", r.b, true, 1});
  }
  {
    Raw r;
    r.U16(2);
    r.Entry(300, 12, 0x80000000u, 40);  // DOUBLE: 16 GiB of data claimed
    r.Short(256, 4);
    r.U32(0);
    cases.push_back({"count 0x80000000 of DOUBLE", r.b, true, 1});
  }
  {
    Raw r;
    r.U16(3);
    r.Entry(273, 4, 1, 0x7FFFFFF0);
    r.Entry(279, 4, 1, 0x100000);
    r.Entry(305, 2, 20, 0x7FFFFF00);
    r.U32(0);
    cases.push_back({"offsets beyond the file", r.b, true, 1});
  }
  {
    Raw r;
    r.U16(2);
    r.Entry(273, 4, 4, 40);  // four strips, one byte count
    r.Entry(279, 4, 1, 3);
    r.U32(0);
    r.Pad(40);
    for (uint32_t v : {60u, 62u, 64u, 66u}) r.U32(v);
    r.Pad(70);
    cases.push_back({"more offsets than byte counts", r.b, true, 1});
  }
  {
    Raw r;
    r.U16(2);
    r.Entry(34665, 13, 1, 100);  // type 13 (IFD) pointing outside
    r.Entry(700, 13, 3, 0x01020304);
    r.U32(0);
    cases.push_back({"type 13", r.b, true, 1});
  }
  {
    Raw r;
    r.U16(2);
    r.Entry(273, 4, 0, 0);  // offsets tag with no values
    r.Entry(279, 4, 0, 0);
    r.U32(0);
    cases.push_back({"offsets with count 0", r.b, true, 1});
  }
  {
    Raw r;
    r.U16(40);  // 40 entries announced, file ends after two
    r.Short(256, 1);
    r.Short(257, 1);
    cases.push_back({"cut inside the entries", r.b, true, 1});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bool ok = false;
    TRVTIFFHandler h = LoadBytes(c.bytes, &ok);
    EXPECT_EQ(ok, c.loads);
    EXPECT_EQ(h.PageCount(), c.pages);
    if (!ok) continue;
    const std::vector<uint8_t> out = WriteBack(h, -1);
    EXPECT_LT(out.size(), 4096u);
    bool again = false;
    TRVTIFFHandler back = LoadBytes(out, &again);
    EXPECT_TRUE(again);
    EXPECT_EQ(back.PageCount(), c.pages);
  }
}

// Entries may all name the same bytes: 8,000 entries each pointing at the whole 96 KB file asked
// for 768 MB. What the handler copies is bounded by twice the file, the entries past that bound
// dropped (the input is kept in fuzz/regressions/tiff_handler/).
TEST(TIFFHandler, EntriesNamingTheSameBytesAreBoundedByTheFile) {
  constexpr uint32_t kEntries = 8000;
  const uint32_t size = 8 + 2 + 12 * kEntries + 4;
  Raw r;
  r.U16(kEntries);
  for (uint32_t i = 0; i < kEntries; ++i) r.Entry(uint16_t(1000 + i), 1, size - 8, 8);
  r.U32(0);
  ASSERT_EQ(r.b.size(), size);
  bool ok = false;
  TRVTIFFHandler h;
  const size_t total = test_support::TotalAllocationDuring([&] { h = LoadBytes(r.b, &ok); });
  EXPECT_TRUE(ok);
  EXPECT_EQ(h.PageCount(), 1);
  EXPECT_LE(total, size_t(8) << 20);
  // The entries that were kept are written back whole.
  ASSERT_GE(h.Page(0).entries.size(), 2u);
  const std::vector<uint8_t> out = WriteBack(h, -1);
  EXPECT_LE(out.size(), size_t(4) * size);
  bool again = false;
  TRVTIFFHandler back = LoadBytes(out, &again);
  EXPECT_TRUE(again);
  EXPECT_EQ(back.Page(0).entries.size(), h.Page(0).entries.size());
}

}  // namespace
}  // namespace rv
