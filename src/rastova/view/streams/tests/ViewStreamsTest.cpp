// The view's layers and selection through streams, layer records, the layers file through the
// I/O component, Photoshop layers and the preset images.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/tests/support/AllocationWatch.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RVLayerStream.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/view/core/RastovaView.h"
#include "rastova/view/presets/RVPresetIm.h"
#include "rastova/view/tests/ViewTestTools.h"

namespace rv {
namespace {

using viewtest::FillPicture;
using viewtest::PictureColour;

const std::filesystem::path kStreamsScript =
    std::filesystem::path(__FILE__).parent_path().parent_path().parent_path().parent_path() / "io" / "tests" / "layers_file.py";

std::string StreamsRun(const std::string& command, bool& ok) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  ok = p != nullptr;
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  ok = ::pclose(p) == 0;
  return out;
}

bool StreamsHave(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0; }
bool StreamsHavePillow() { return std::system("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1") == 0; }

struct TStreamsDir {
  std::filesystem::path path = std::filesystem::temp_directory_path() /
                               ("vint-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  TStreamsDir() { std::filesystem::create_directories(path); }
  ~TStreamsDir() { std::filesystem::remove_all(path); }
  std::string File(const char* name) const { return (path / name).string(); }
  static inline int counter = 0;
};

class ViewStreams : public viewtest::ViewLibraryTest {};

bool StreamsSamePixel(TRGB a, TRGB b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// A view of three layers: the picture, a 4 x 3 top layer at (2, 1) with a name and user data,
// and a hidden unselectable one.
struct TLayeredView {
  viewtest::TViewInWindow w{64, 48};
  TRastovaView& v = *w.view;
  TLayeredView() {
    w.SetPicture(12, 10);
    v.LayersAdd();
    FillPicture(*v.GetRVBitmap(), 4, 3);
    TRVLayer* l = v.GetCurrentLayer();
    l->PosX = 2;
    l->PosY = 1;
    l->Name = "Top";
    l->Opacity = 200;
    l->UserData = std::malloc(3);
    std::memcpy(l->UserData, "abc", 3);
    l->UserDataLen = 3;
    v.LayersAdd();
    FillPicture(*v.GetRVBitmap(), 2, 2);
    v.GetCurrentLayer()->Visible = false;
    v.GetCurrentLayer()->Selectable = false;
    v.SetCurrentLayer(1);
  }
};

// A layer added on top with a W x H picture at (X, Y); it becomes the current layer.
void AddPlacedLayer(TRastovaView& v, int32_t W, int32_t H, int32_t X, int32_t Y) {
  v.LayersAdd();
  FillPicture(*v.GetRVBitmap(), W, H);
  v.GetCurrentLayer()->PosX = X;
  v.GetCurrentLayer()->PosY = Y;
}

// A 40 x 40 picture under a 30 x 30 layer at (10, 20), the current one, with the rectangle
// (2, 3) - (6, 8) selected on it.
struct TSelectedTopLayer {
  viewtest::TViewInWindow w{64, 48};
  TRastovaView& v = *w.view;
  TSelectedTopLayer() {
    w.SetPicture(40, 40);
    AddPlacedLayer(v, 30, 30, 10, 20);
    v.FSelectionBase = rvsbBitmap;
    v.SelectRectangle(2, 3, 6, 8, 0);
  }
};

TEST_F(ViewStreams, LayersRoundTripInEveryFormatAndKeepTheCurrentLayer) {
  for (int32_t format : {kLayerImageZlib, kLayerImageRaw, int32_t(ioPNG), int32_t(ioTIFF)}) {
    SCOPED_TRACE(format);
    TLayeredView a;
    TMemoryStream s;
    a.v.SaveLayersToStream(s, format);
    EXPECT_EQ(a.v.FLayersCurrent, 1);
    EXPECT_TRUE(a.v.FSkipUnselectableLayers);
    viewtest::TViewInWindow w{64, 48};
    TRastovaView& b = *w.view;
    s.SetPosition(0);
    ASSERT_TRUE(b.LoadLayersFromStream(s));
    ASSERT_EQ(b.GetLayersCount(), 3);
    TRVLayer* top = b.GetLayer(1);
    EXPECT_EQ(top->Name, "Top");
    EXPECT_EQ(top->PosX, 2);
    EXPECT_EQ(top->PosY, 1);
    EXPECT_EQ(top->Opacity, 200);
    ASSERT_EQ(top->UserDataLen, 3);
    EXPECT_EQ(std::memcmp(top->UserData, "abc", 3), 0);
    EXPECT_EQ(top->Bitmap->GetWidth(), 4);
    EXPECT_TRUE(StreamsSamePixel(top->Bitmap->GetPixels(3, 2), PictureColour(3, 2)));
    EXPECT_TRUE(StreamsSamePixel(b.GetLayer(0)->Bitmap->GetPixels(11, 9), PictureColour(11, 9)));
    EXPECT_FALSE(b.GetLayer(2)->Visible);
    EXPECT_FALSE(b.GetLayer(2)->Selectable);
  }
}

TEST_F(ViewStreams, NoLayersAndOlderVersionsKeepLayerZerosOwnFields) {
  TLayeredView a;
  TRVLayer* base = a.v.GetLayer(0);
  base->Name = "Base";
  base->ShadeOutside = true;
  base->Selectable = false;
  // N = 0: every layer but 0 goes, layer 0's image stays.
  std::vector<uint8_t> none = {'R', 'A', 'S', 'T', 'O', 'V', 'A', 'L', 'A', 'Y', 'E', 'R', 'S', 6, 0, 0, 0, 0xFF, 0xFF,
                               0xFF, 0xFF, 0, 0, 0, 0};
  TRVMemStream s0(none.data(), int64_t(none.size()));
  EXPECT_TRUE(a.v.LoadLayersFromStream(s0));
  EXPECT_EQ(a.v.GetLayersCount(), 1);
  EXPECT_EQ(a.v.GetLayer(0)->Bitmap->GetWidth(), 12);
  // A version 2 stream of one layer at (7, 0): the fields from version 3 on stay as they were.
  std::vector<uint8_t> v2(none.begin(), none.end());
  v2[13] = 2;
  v2[17] = 0xFE;  // image format -2
  v2[21] = 1;
  const uint8_t record[35] = {1, 1, 255, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0};
  v2.insert(v2.end(), record, record + 35);
  const int32_t imagePos = int32_t(v2.size()) + 8;
  v2.insert(v2.end(), reinterpret_cast<const uint8_t*>(&imagePos), reinterpret_cast<const uint8_t*>(&imagePos) + 4);
  v2.insert(v2.end(), 4, 0);
  TRVBitmap img(3, 3, rv24RGB);
  TMemoryStream raw;
  WriteLayerRawImage(raw, img, false);
  v2.insert(v2.end(), raw.Data().begin(), raw.Data().end());
  TRVMemStream s2(v2.data(), int64_t(v2.size()));
  EXPECT_TRUE(a.v.LoadLayersFromStream(s2));
  EXPECT_EQ(a.v.GetLayer(0)->PosX, 7);
  EXPECT_EQ(a.v.GetLayer(0)->Name, "Base");
  EXPECT_TRUE(a.v.GetLayer(0)->ShadeOutside);
  EXPECT_FALSE(a.v.GetLayer(0)->Selectable);
  EXPECT_EQ(a.v.GetLayer(0)->Bitmap->GetWidth(), 3);
}

TEST_F(ViewStreams, ADamagedStreamLeavesTheLayersAsTheyWere) {
  TLayeredView a;
  TMemoryStream s;
  a.v.SaveLayersToStream(s, kLayerImageZlib);
  std::vector<uint8_t> b = s.Data();
  b.resize(b.size() - 10);  // the last image is cut short
  TRVMemStream d(b.data(), int64_t(b.size()));
  EXPECT_THROW(a.v.LoadLayersFromStream(d), ERVLayerStreamError);
  EXPECT_EQ(a.v.GetLayersCount(), 3);
  EXPECT_EQ(a.v.GetLayer(1)->Name, "Top");
  EXPECT_EQ(a.v.GetLayer(0)->Bitmap->GetWidth(), 12);
  b[0] = 'X';
  TRVMemStream n(b.data(), int64_t(b.size()));
  EXPECT_FALSE(a.v.LoadLayersFromStream(n));
  EXPECT_EQ(a.v.GetLayersCount(), 3);
}

TEST_F(ViewStreams, LayerRecordsKeepIdentityAndAnOwnedUserDataBlock) {
  TLayeredView a;
  TRVLayer* top = a.v.GetLayer(1);
  TMemoryStream s;
  a.v.SaveLayerToStream(1, s, true);
  int32_t length;
  std::memcpy(&length, s.Memory(), 4);
  EXPECT_EQ(length, s.GetSize());
  void* own = top->UserData;
  top->PosX = 99;
  top->Name = "changed";
  top->Bitmap->Allocate(1, 1, rv24RGB);
  s.SetPosition(0);
  a.v.LoadLayerFromStream(1, s);
  EXPECT_EQ(s.GetPosition(), length);
  EXPECT_EQ(top->PosX, 2);
  EXPECT_EQ(top->Name, "Top");
  EXPECT_EQ(top->Bitmap->GetWidth(), 4);
  EXPECT_EQ(top->UserData, own);  // the block stays, nothing is freed twice
  EXPECT_EQ(top->UserDataLen, 3);
  // A record cut short changes nothing.
  std::vector<uint8_t> cut(s.Data().begin(), s.Data().begin() + 60);
  TRVMemStream c(cut.data(), int64_t(cut.size()));
  top->PosX = 5;
  EXPECT_THROW(a.v.LoadLayerFromStream(1, c), ERVLayerStreamError);
  EXPECT_EQ(top->PosX, 5);
}

TEST_F(ViewStreams, ASelectionCarriedFromALayerFarAwayTakesNoMoreThanTheLayer) {
  // A selection made on a layer far away and carried to the bottom layer keeps its place over
  // the bottom layer. Before, it went through a mask spanning both places: gigabytes for a layer
  // at x = 2^30, as a layers file may place one.
  struct Case {
    int32_t posX, posY;
    bool overlaps;  // whether the selection lies over the bottom layer
  } const cases[] = {{1 << 30, 0, false}, {0, INT32_MAX - 10, false}, {-(1 << 30), 0, false}, {11, 22, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.posX);
    viewtest::TViewInWindow w{64, 48};
    TRastovaView& v = *w.view;
    w.SetPicture(40, 40);
    AddPlacedLayer(v, 20, 20, c.posX, c.posY);
    v.FSelectionBase = rvsbBitmap;
    v.SelectRectangle(2, 3, 6, 8, 0);
    ASSERT_TRUE(v.FSelected);
    const size_t largest = test_support::LargestAllocationDuring([&] { v.SetCurrentLayer(0); });
    EXPECT_LT(largest, size_t(1) << 20);
    EXPECT_EQ(v.FSelectionMask->Width(), 40);
    EXPECT_EQ(v.FSelectionMask->Height(), 40);
    // The layer's pixels 2..5 and 3..7 lie over the bottom layer's 13..16 and 25..29.
    EXPECT_EQ(v.FSelectionMask->IsPointInside(13, 25), c.overlaps);
    EXPECT_EQ(v.FSelectionMask->IsPointInside(16, 29), c.overlaps);
    EXPECT_FALSE(v.FSelectionMask->IsPointInside(17, 30));
    EXPECT_FALSE(v.FSelectionMask->IsPointInside(12, 24));
    EXPECT_EQ(v.FSelected, c.overlaps);
  }
}

TEST_F(ViewStreams, SelectionFollowsTheLayerInModeTwoAndTheStackRestores) {
  TSelectedTopLayer t;
  TRastovaView& v = t.v;
  ASSERT_TRUE(v.FSelectionMask->IsPointInside(2, 3));
  EXPECT_FALSE(v.RestoreSelection(true, 0));
  v.SaveSelection();
  v.SetCurrentLayer(0);
  ASSERT_TRUE(v.RestoreSelection(false, 2));
  EXPECT_EQ(v.FSavedSelections.size(), 1u);
  // The same pixels of the bottom layer: 10 to the right and 20 down.
  EXPECT_TRUE(v.FSelectionMask->IsPointInside(12, 23));
  EXPECT_TRUE(v.FSelectionMask->IsPointInside(15, 27));
  EXPECT_FALSE(v.FSelectionMask->IsPointInside(2, 3));
  EXPECT_EQ(v.GetPolySelCount(), 0);
  EXPECT_TRUE(v.FSelected);
  v.SetCurrentLayer(1);
  ASSERT_TRUE(v.RestoreSelection(true, 0));
  EXPECT_TRUE(v.FSavedSelections.empty());
  EXPECT_TRUE(v.FSelectionMask->IsPointInside(2, 3));
  EXPECT_EQ(v.GetPolySelCount(), 4);

  // Damaged selection streams fail before the selection changes.
  TMemoryStream good;
  v.SaveSelectionToStream(good);
  struct Case {
    const char* what;
    size_t at;
    int32_t value;
    size_t keep;
  };
  const Case cases[] = {
      {"negative width", 0, -1, 0},
      {"huge point count", 8, 0x7FFFFFF0, 0},
      {"three bits per pixel", 12 + 32 + 16 + 1 + 8, 3, 0},
      {"mask rows past the end", 4, 0x00FFFFFF, 0},
      {"truncated", 0, 0, 50},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> b = good.Data();
    if (c.keep) b.resize(c.keep);
    else std::memcpy(b.data() + c.at, &c.value, 4);
    TRVMemStream s(b.data(), int64_t(b.size()));
    EXPECT_THROW(v.LoadSelectionFromStream(s, 0), ERVLayerStreamError);
    EXPECT_EQ(v.GetPolySelCount(), 4);
    EXPECT_TRUE(v.FSelectionMask->IsPointInside(2, 3));
  }
}

TEST_F(ViewStreams, LayersFilesThroughTheIOComponent) {
  if (!StreamsHavePillow()) GTEST_SKIP() << "Pillow (python3-pil) is not installed";
  TStreamsDir dir;
  const std::string theirs = dir.File("theirs.lyr");
  bool ok = false;
  StreamsRun("/usr/bin/python3 " + kStreamsScript.string() + " write " + theirs, ok);
  ASSERT_TRUE(ok);
  // Recognised by content, also under another name.
  const std::string renamed = dir.File("picture.bin");
  std::filesystem::copy_file(theirs, renamed);
  EXPECT_EQ(FindFileFormat(renamed, false), int32_t(ioLYR));
  {
    // Without a view: the layers merged into one picture.
    TRVBitmap picture;
    TRastovaIO io(&picture);
    io.LoadFromFile(theirs);
    EXPECT_FALSE(io.Aborting);
    EXPECT_EQ(io.Params.FileType, int32_t(ioLYR));
    ASSERT_EQ(picture.GetWidth(), 40);
    EXPECT_TRUE(StreamsSamePixel(picture.GetPixels(0, 0), TRGB{20, 10, 200}));   // red (stored b, g, r)
    EXPECT_TRUE(StreamsSamePixel(picture.GetPixels(6, 7), TRGB{250, 20, 5}));    // the blue box at (5, 6)
    EXPECT_TRUE(StreamsSamePixel(picture.GetPixels(20, 20), TRGB{20, 10, 200}));
  }
  {
    // With a view: the view takes the layers; saving writes them back.
    viewtest::TViewInWindow w{64, 48};
    TRastovaIO& io = *w.view->GetIO();
    io.LoadFromFileAuto(renamed);
    EXPECT_FALSE(io.Aborting);
    ASSERT_EQ(w.view->GetLayersCount(), 2);
    EXPECT_EQ(w.view->GetLayer(1)->Name, "Blue box");
    const std::string ours = dir.File("ours.lyr");
    io.SaveToFile(ours);
    EXPECT_FALSE(io.Aborting);
    const std::string out = StreamsRun("/usr/bin/python3 " + kStreamsScript.string() + " read " + ours, ok);
    ASSERT_TRUE(ok) << out;
    EXPECT_NE(out.find("\"Name\": \"Blue box\""), std::string::npos);
    EXPECT_NE(out.find("\"PosX\": 5, \"PosY\": 6"), std::string::npos);
    // A damaged file is reported and leaves the view's layers.
    std::filesystem::resize_file(ours, std::filesystem::file_size(ours) - 7);
    io.LoadFromFile(ours);
    EXPECT_TRUE(io.Aborting);
    EXPECT_EQ(w.view->GetLayersCount(), 2);
  }
  {
    // Saving a layers file without a view fails and makes nothing.
    TRVBitmap picture(4, 4, rv24RGB);
    TRastovaIO io(&picture);
    const std::string none = dir.File("none.lyr");
    io.SaveToFile(none);
    EXPECT_TRUE(io.Aborting);
    EXPECT_FALSE(std::filesystem::exists(none));
    TMemoryStream s;
    io.SaveToStream(s, ioLYR);
    EXPECT_TRUE(io.Aborting);
    EXPECT_EQ(s.GetSize(), 0);
  }
}

TEST_F(ViewStreams, ALayersFileMergedWithoutAViewEndsInAPictureItJustifies) {
  // A 4 x 3 picture under a 2 x 2 layer placed or shown as each case says, saved as a layers
  // file and loaded without a view: the merged picture, or a failed load that leaves the
  // component's picture as it was.
  TStreamsDir dir;
  struct Case {
    const char* what;
    int32_t posX, posY, displayW;
    int32_t layers;
    int32_t width, height;  // 0: the load fails
  } const cases[] = {
      {"a layer far right, above the picture", 5000, -7, 0, 2, 5002, 10},
      {"a layer at x = 2^31 - 1", 0x7FFFFFFF, 0, 0, 2, 0, 0},
      {"a layer at x = 2^30", 1 << 30, 0, 0, 2, 0, 0},
      {"a layer at x = -2^31", INT32_MIN, 0, 0, 2, 0, 0},
      {"a layer shown 2,000,000,000 wide", 0, 0, 2000000000, 2, 0, 0},
      {"no layer at all", 0, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    viewtest::TViewInWindow w{64, 48};
    TRastovaView& v = *w.view;
    w.SetPicture(4, 3);
    AddPlacedLayer(v, 2, 2, c.posX, c.posY);
    v.GetCurrentLayer()->DisplayWidth = c.displayW;
    TMemoryStream s;
    v.SaveLayersToStream(s, kLayerImageZlib);
    std::vector<uint8_t> bytes = s.Data();
    if (c.layers == 0) {
      bytes.resize(25);
      std::fill(bytes.begin() + 21, bytes.end(), 0);  // the header's layer count
    }
    const std::string file = dir.File("case.lyr");
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
    TRVBitmap picture(5, 4, rv24RGB);
    TRastovaIO io(&picture);
    io.LoadFromFile(file);
    EXPECT_EQ(io.Aborting, c.width == 0);
    EXPECT_EQ(picture.GetWidth(), c.width == 0 ? 5 : c.width);
    EXPECT_EQ(picture.GetHeight(), c.width == 0 ? 4 : c.height);
  }
}

TEST_F(ViewStreams, PhotoshopLayersLoadAndSaveThroughTheView) {
  if (!StreamsHave("convert") || !StreamsHave("identify")) GTEST_SKIP() << "ImageMagick is not installed";
  TStreamsDir dir;
  // A layered file from ImageMagick: a 30 x 20 background and two layers at their offsets.
  const std::string theirs = dir.File("theirs.psd");
  bool ok = false;
  // The first image is the merged picture, the others are the layers.
  StreamsRun("convert \\( -size 30x20 xc:red \\) \\( -size 30x20 xc:red -set label Background \\) "
             "\\( -size 10x8 xc:blue -set label Blue -repage +4+3 \\) " + theirs,
             ok);
  ASSERT_TRUE(ok);
  viewtest::TViewInWindow w{64, 48};
  TRastovaIO& io = *w.view->GetIO();
  io.Params.PSD_ReadLayers = true;
  io.LoadFromFile(theirs);
  ASSERT_FALSE(io.Aborting);
  ASSERT_GE(w.view->GetLayersCount(), 2);
  bool foundBlue = false;
  for (int32_t i = 0; i < w.view->GetLayersCount(); ++i) {
    TRVLayer* l = w.view->GetLayer(i);
    if (l->Bitmap->GetWidth() == 10 && l->Bitmap->GetHeight() == 8) {
      foundBlue = true;
      EXPECT_EQ(l->PosX, 4);
      EXPECT_EQ(l->PosY, 3);
      EXPECT_EQ(l->Name, "Blue");
    }
  }
  EXPECT_TRUE(foundBlue);

  // Ours: the view's layers, one with a display size other than its bitmap's.
  viewtest::TViewInWindow o{64, 48};
  o.SetPicture(12, 10);
  o.view->LayersAdd();
  FillPicture(*o.view->GetRVBitmap(), 4, 3);
  o.view->GetCurrentLayer()->PosX = 5;
  o.view->GetCurrentLayer()->PosY = 2;
  o.view->GetCurrentLayer()->DisplayWidth = 8;
  o.view->GetCurrentLayer()->DisplayHeight = 6;
  o.view->GetCurrentLayer()->Name = "Scaled";
  const std::string ours = dir.File("ours.psd");
  o.view->GetIO()->SaveToFile(ours);
  ASSERT_FALSE(o.view->GetIO()->Aborting);
  const std::string out = StreamsRun("identify -format '%w %h %X %Y %l\\n' " + ours, ok);
  ASSERT_TRUE(ok) << out;
  EXPECT_NE(out.find("8 6 +5 +2 Scaled"), std::string::npos) << out;
  EXPECT_NE(out.find("12 10 +0 +0"), std::string::npos) << out;
}

TEST_F(ViewStreams, PresetImagesExistBetweenStartUpAndShutDown) {
  ASSERT_NE(PresetImages, nullptr);
  ASSERT_EQ(PresetImages->size(), 4u);
  struct Expect {
    int w, h;
    const char* type;
  } const expect[4] = {{162, 159, "6"}, {112, 100, "2"}, {163, 108, "3"}, {150, 150, "3"}};  // PNG colour types
  const bool magick = StreamsHave("identify");
  TStreamsDir dir;
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const TRVPresetImage& p = *(*PresetImages)[i];
    EXPECT_EQ(p.Format, int32_t(ioPNG));
    TRVBitmap b;
    TRastovaIO io(&b);
    io.LoadFromBuffer(p.Data, p.Size, ioPNG);
    ASSERT_FALSE(io.Aborting);
    EXPECT_EQ(b.GetWidth(), expect[i].w);
    EXPECT_EQ(b.GetHeight(), expect[i].h);
    EXPECT_TRUE(p.InnerRect.Left >= 0 && p.InnerRect.Top >= 0 && p.InnerRect.Right <= b.GetWidth() &&
                p.InnerRect.Bottom <= b.GetHeight() && !p.InnerRect.IsEmpty());
    if (!magick) continue;
    const std::string f = dir.File(("p" + std::to_string(i) + ".png").c_str());
    std::ofstream(f, std::ios::binary).write(reinterpret_cast<const char*>(p.Data), p.Size);
    bool ok = false;
    const std::string out = StreamsRun("identify -format '%w %h %[png:IHDR.color-type-orig]' " + f, ok);
    EXPECT_EQ(out, std::to_string(expect[i].w) + " " + std::to_string(expect[i].h) + " " + expect[i].type);
  }
  FreePresetImages();
  EXPECT_EQ(PresetImages, nullptr);
  CreatePresetImages();
  EXPECT_EQ(PresetImages->size(), 4u);
}

}  // namespace
}  // namespace rv

namespace rv {
namespace {

TEST_F(ViewStreams, ChangingTheLayerCarriesTheSelectionOverTheBottomLayer) {
  TSelectedTopLayer t;
  TRastovaView& v = t.v;
  v.SetCurrentLayer(0);
  EXPECT_TRUE(v.FSelectionMask->IsPointInside(12, 23));
  EXPECT_FALSE(v.FSelectionMask->IsPointInside(2, 3));
  EXPECT_TRUE(v.FSavedSelections.empty());
  v.SetCurrentLayer(1);
  EXPECT_TRUE(v.FSelectionMask->IsPointInside(2, 3));
  EXPECT_TRUE(v.FSelectionMask->IsPointInside(5, 7));
}

}  // namespace
}  // namespace rv
