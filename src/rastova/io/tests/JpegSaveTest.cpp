// JPEG through the component: the content decides over the extension where asked, and the
// resolution block of a Photoshop marker is rewritten on save only inside its marker.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "IoTestTools.h"
#include "rastova/codecs/RVMarkerList.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RastovaIO.h"

namespace rv {
namespace {

std::vector<uint8_t> Be32(uint32_t v) {
  return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}

// An APP13 payload: "Photoshop 3.0", then one resource 1005 with a name and a data size.
std::vector<uint8_t> PhotoshopBlock(uint32_t declaredSize, size_t dataBytes) {
  std::vector<uint8_t> b = {'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3', '.', '0', 0};
  const uint8_t res[] = {'8', 'B', 'I', 'M', 0x03, 0xED, 2, 'a', 'b', 0};  // name "ab", padded to even
  b.insert(b.end(), res, res + sizeof res);
  const std::vector<uint8_t> size = Be32(declaredSize);
  b.insert(b.end(), size.begin(), size.end());
  b.insert(b.end(), dataBytes, 0xEE);
  return b;
}

TEST(JpegSave, ResolutionBlockIsRewrittenOnlyInsideItsMarker) {
  TRVBitmap picture(16, 8, rv24RGB);
  picture.Fill(0x336699);
  struct Case {
    uint32_t declared;
    size_t present;
    bool rewritten;
  } cases[] = {{16, 16, true}, {40, 40, true}, {16, 10, false}, {0xFFFFFFF0u, 4, false}, {8, 8, false}};
  for (const Case& c : cases) {
    TRastovaIO io(&picture);
    io.Params.SetDpiX(300);
    io.Params.SetDpiY(150);
    const std::vector<uint8_t> block = PhotoshopBlock(c.declared, c.present);
    io.Params.JPEG_MarkerList.AddMarker(0xED, block.data(), static_cast<int32_t>(block.size()));
    TMemoryStream stream;
    io.SaveToStreamJpeg(stream);
    ASSERT_FALSE(io.Aborting);
    const int32_t index = io.Params.JPEG_MarkerList.IndexOf(0xED);
    ASSERT_GE(index, 0);
    ASSERT_EQ(io.Params.JPEG_MarkerList.GetMarkerLength(index), static_cast<int32_t>(block.size()));
    const uint8_t* data = io.Params.JPEG_MarkerList.GetMarkerData(index);
    const size_t at = 14 + 10 + 4;
    if (c.rewritten) {
      const std::vector<uint8_t> expected = {0x01, 0x2C, 0, 0, 0, 1, 0, 1, 0x00, 0x96, 0, 0, 0, 1, 0, 1};
      EXPECT_EQ(std::vector<uint8_t>(data + at, data + at + 16), expected) << c.declared;
      EXPECT_EQ(data[at + 16 < block.size() ? at + 16 : at + 15], c.present > 16 ? 0xEE : expected[15]);
    } else {
      EXPECT_EQ(std::memcmp(data, block.data(), block.size()), 0) << c.declared;
    }
  }
}

// An APP13 payload of Photoshop resources, each with an empty name and its data padded to even.
std::vector<uint8_t> PhotoshopResources(const std::vector<std::pair<uint16_t, std::vector<uint8_t>>>& resources) {
  std::vector<uint8_t> b = {'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3', '.', '0', 0};
  for (const auto& [id, data] : resources) {
    const uint8_t head[] = {'8', 'B', 'I', 'M', uint8_t(id >> 8), uint8_t(id), 0, 0};
    b.insert(b.end(), head, head + sizeof head);
    const std::vector<uint8_t> size = Be32(static_cast<uint32_t>(data.size()));
    b.insert(b.end(), size.begin(), size.end());
    b.insert(b.end(), data.begin(), data.end());
    if (data.size() % 2) b.push_back(0);
  }
  return b;
}

std::vector<uint8_t> App13Of(const std::string& file) {
  TRastovaIO io;
  io.LoadFromFile(file);
  EXPECT_FALSE(io.Aborting) << file;
  const TRVMarkerList& m = io.Params.JPEG_MarkerList;
  const int32_t i = m.IndexOf(0xED);
  if (i < 0) return {};
  return std::vector<uint8_t>(m.GetMarkerData(i), m.GetMarkerData(i) + m.GetMarkerLength(i));
}

// A Photoshop marker is written back as it was read unless the user edits the IPTC records:
// whether the picture was loaded, the marker added to a fresh component, or the parameters
// copied from the component that loaded it; with and without IPTC records in the marker.
TEST(JpegSave, PhotoshopMarkerSurvivesResaving) {
  iotest::TempDir dir;
  TRVBitmap picture(16, 8, rv24RGB);
  picture.Fill(0x336699);
  const std::vector<uint8_t> digest(16, 0x5A);
  const std::vector<uint8_t> iptc = {0x1C, 2, 120, 0, 7, 'c', 'a', 'p', 't', 'i', 'o', 'n'};
  const std::vector<uint8_t> blocks[] = {PhotoshopResources({{0x0425, digest}}),
                                         PhotoshopResources({{0x0404, iptc}, {0x0425, digest}})};
  for (size_t k = 0; k < std::size(blocks); ++k) {
    const std::vector<uint8_t>& block = blocks[k];
    const std::string first = dir.File("first" + std::to_string(k) + ".jpg");
    {
      // A component that loaded another picture before: its reset is no edit of the records.
      TRastovaIO io(&picture);
      io.SaveToFile(dir.File("plain.png"));
      io.LoadFromFile(dir.File("plain.png"));
      ASSERT_FALSE(io.Aborting);
      io.Params.JPEG_MarkerList.AddMarker(0xED, block.data(), static_cast<int32_t>(block.size()));
      io.SaveToFile(first);
      ASSERT_FALSE(io.Aborting);
    }
    EXPECT_EQ(App13Of(first), block) << "added, case " << k;

    TRastovaIO loaded;
    loaded.LoadFromFile(first);
    ASSERT_FALSE(loaded.Aborting);
    EXPECT_EQ(loaded.Params.IPTC_Info.Count(), k == 0 ? 0 : 1);
    const std::string again = dir.File("again" + std::to_string(k) + ".jpg");
    loaded.SaveToFile(again);
    ASSERT_FALSE(loaded.Aborting);
    EXPECT_EQ(App13Of(again), block) << "re-saved, case " << k;

    TRVBitmap other(8, 8, rv24RGB);
    TRastovaIO copy(&other);
    copy.Params.Assign(loaded.Params);
    const std::string copied = dir.File("copied" + std::to_string(k) + ".jpg");
    copy.SaveToFile(copied);
    ASSERT_FALSE(copy.Aborting);
    EXPECT_EQ(App13Of(copied), block) << "copied parameters, case " << k;
  }

  // An edit of the records re-encodes the marker.
  TRastovaIO edited;
  edited.LoadFromFile(dir.File("first1.jpg"));
  ASSERT_EQ(edited.Params.IPTC_Info.Count(), 1);
  edited.Params.IPTC_Info.SetStrings(0, "new text");
  edited.SaveToFile(dir.File("edited.jpg"));
  ASSERT_FALSE(edited.Aborting);
  TRastovaIO back;
  back.LoadFromFile(dir.File("edited.jpg"));
  ASSERT_EQ(back.Params.IPTC_Info.Count(), 1);
  EXPECT_EQ(back.Params.IPTC_Info.GetStrings(0), "new text");
}

TEST(JpegLoad, ContentDecidesWhereTheExtensionIsNotChecked) {
  iotest::TempDir dir;
  TRVBitmap picture(10, 6, rv24RGB);
  picture.Fill(0x00FF00);
  {
    TRastovaIO io(&picture);
    io.SaveToFile(dir.File("real.png"));
    ASSERT_FALSE(io.Aborting);
  }
  const std::string named = dir.File("x.jpg");
  iotest::WriteFileBytes(named, iotest::ReadFileBytes(dir.File("real.png")));
  TRastovaIO auto_;
  auto_.LoadFromFileAuto(named);
  EXPECT_FALSE(auto_.Aborting);
  EXPECT_EQ(auto_.Params.FileType, ioPNG);
  EXPECT_EQ(auto_.GetAttachedRVBitmap()->GetWidth(), 10);
  TRastovaIO params;
  params.ParamsFromFile(named);
  EXPECT_EQ(params.Params.FileType, 0);
  // By extension the JPEG reader meets PNG data and fails.
  TRastovaIO byName;
  byName.LoadFromFile(named);
  EXPECT_TRUE(byName.Aborting);
  // A picture.JPG is a JPEG by its extension in any case.
  {
    TRastovaIO io(&picture);
    io.SaveToFile(dir.File("picture.JPG"));
    ASSERT_FALSE(io.Aborting);
  }
  TRastovaIO upper;
  upper.LoadFromFile(dir.File("picture.JPG"));
  EXPECT_FALSE(upper.Aborting);
  EXPECT_EQ(upper.Params.FileType, ioJPEG);
  EXPECT_EQ(FindFileFormat(dir.File("picture.JPG"), true), ioJPEG);
}

}  // namespace
}  // namespace rv
