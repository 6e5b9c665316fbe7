// Object streams: round trips, the template's bitmap, older versions built by hand, the
// "Layers and objects" stream, damaged streams that must leave the layer as it was, and the
// file types through the I/O component.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "common/tests/support/AllocationWatch.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVZLib.h"
#include "rastova/io/RVFileFormat.h"
#include "rastova/io/RVLayerStream.h"
#include "rastova/io/RastovaIO.h"
#include "rastova/io/vector/tests/VectStreamBytes.h"
#include "rastova/view/vector/RVVectStreams.h"
#include "rastova/view/vector/tests/VectTestTools.h"

using namespace rv;
using namespace rv::vecttest;
using namespace rv::vectbytes;

namespace {

class VectStream : public viewtest::ViewLibraryTest {};

std::unique_ptr<TRVBitmap> StreamSolid(int32_t w, int32_t h, uint8_t v) {
  auto b = std::make_unique<TRVBitmap>(w, h, rv24RGB);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) *b->GetPPixels_rv24RGB(x, y) = TRGB{v, uint8_t(x * 20), uint8_t(y * 20)};
  return b;
}

std::vector<uint8_t> SaveRVV(TRastovaVect& v) {
  TMemoryStream m;
  v.SaveObjectsToStream(m);
  return m.Data();
}

bool LoadRVV(TRastovaVect& v, const std::vector<uint8_t>& bytes) {
  TRVMemStream m(bytes.data(), int64_t(bytes.size()));
  return v.LoadObjectsFromStream(m);
}

// One object of every kind with fields set away from their defaults.
void FillEveryKind(TRastovaVect& v, TRVBitmap* bmp) {
  for (int k = rvkLINE; k <= rvkLINELABEL; ++k) {
    TRVVObjRecord o = Obj(v, TRVVObjectKind(k), 0, 0, 0, 0);
    SetEveryField(o, TRVVObjectKind(k));
    const int32_t h = v.AddNewObject(o);
    if (k == rvkBITMAP) v.AttachObjBitmap(h, bmp);
    if (k == rvkLINE) {
      v.SetObjUserData(h, std::malloc(5));
      std::memcpy(v.GetObjUserData(h), "abcde", 5);
      v.SetObjUserDataLength(h, 5);
    }
  }
}

}  // namespace

TEST_F(VectStream, EveryKindRoundTrips) {
  TVectInWindow a(100, 100, 100, 100), b(100, 100, 100, 100);
  auto bmp = StreamSolid(6, 5, 77);
  FillEveryKind(*a.vect, bmp.get());
  a.vect->MeasureBaseScale = 2.5;
  const auto bytes = SaveRVV(*a.vect);
  ASSERT_EQ(std::memcmp(bytes.data(), "RVVR", 4), 0);
  int32_t total;
  std::memcpy(&total, bytes.data() + 4, 4);
  EXPECT_EQ(size_t(total), bytes.size());
  ASSERT_TRUE(LoadRVV(*b.vect, bytes));
  TRastovaVect& v = *b.vect;
  EXPECT_EQ(v.MeasureBaseScale, 2.5);
  ASSERT_EQ(v.ObjectsCount(), a.vect->ObjectsCount());
  for (int32_t h = 0; h < v.ObjectsCount(); ++h) {
    const TRVVObjRecord& x = *a.vect->GetObj(h);
    const TRVVObjRecord& y = *v.GetObj(h);
    SCOPED_TRACE(int(x.Kind));
    EXPECT_EQ(y.Kind, x.Kind);
    EXPECT_EQ(std::tie(y.X1, y.Y1, y.X2, y.Y2), std::tie(x.X1, x.Y1, x.X2, x.Y2));
    EXPECT_EQ(y.Name, x.Name);
    EXPECT_EQ(y.ID, x.ID);
    EXPECT_EQ(y.PenColor, x.PenColor);
    EXPECT_EQ(y.Transparency, 200);
    EXPECT_EQ(y.BlendOperation, 2);
    EXPECT_TRUE(y.AspectRatio);
    EXPECT_EQ(y.FontQuality, rvfqDraft);
    EXPECT_FALSE(y.TextEditable);
    EXPECT_EQ(y.SoftShadow.Radius, 4.5);
    EXPECT_EQ(y.SoftShadow.OffsetX, -3);
    EXPECT_EQ(y.SoftShadow.ShadowColor, (TRGB{1, 2, 3}));
    EXPECT_EQ(y.Text, x.Text);
    EXPECT_EQ(y.LogFont.has_value(), x.LogFont.has_value());
    if (x.LogFont) {
      EXPECT_EQ(std::memcmp(&*y.LogFont, &*x.LogFont, sizeof(LOGFONTA)), 0);
    }
  }
  EXPECT_EQ(v.GetObj(rvkLINE - 1)->UserDataLen, 5);
  EXPECT_EQ(std::memcmp(v.GetObj(rvkLINE - 1)->UserData, "abcde", 5), 0);
  EXPECT_EQ(v.GetObj(rvkLINE - 1)->BeginShape, rvsINARROW);
  EXPECT_EQ(v.GetObj(rvkARC - 1)->ArcEndingAngle, 2.5);
  EXPECT_EQ(v.GetObj(rvkTEXT - 1)->CurvePointsCount, 2);
  EXPECT_EQ(v.GetObj(rvkTEXT - 1)->CurvePoints[1].y, 0.8);
  EXPECT_EQ(v.GetObj(rvkRULER - 1)->RulerType, rvrtQUOTEEND);
  EXPECT_EQ(v.GetObj(rvkPOLYLINE - 1)->PolyPointsCount, 3);
  EXPECT_EQ(v.GetObj(rvkPOLYLINE - 1)->PolyPoints[1].y, 60);
  EXPECT_TRUE(v.GetObj(rvkPOLYLINE - 1)->PolylineClosed);
  EXPECT_EQ(v.GetObj(rvkANGLE - 1)->AnglePoints[2].x, 5);
  EXPECT_EQ(v.GetObj(rvkMEMO - 1)->MemoCharFormatIdx, (std::vector<int32_t>{0, 1, 1, 0}));
  EXPECT_EQ(v.GetObj(rvkMEMO - 1)->MemoCharFormats[1].FontHeight, 22);
  EXPECT_EQ(v.GetObj(rvkLINELABEL - 1)->LabelBorder, rvlEllipse);
  TRVBitmap* got = v.GetObjBitmap(rvkBITMAP - 1);
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(got->GetWidth(), 6);
  EXPECT_EQ(got->GetPixels(3, 2).b, 77);
  // Written again, the stream is the same.
  EXPECT_EQ(SaveRVV(v), bytes);
}

TEST_F(VectStream, TemplateBitmapIsNeverASlotAndSurvivesALoad) {
  TVectInWindow a(50, 50, 50, 50), b(50, 50, 50, 50);
  auto bmp = StreamSolid(4, 4, 9);
  a.vect->AttachObjBitmap(kObjTemplate, bmp.get());
  const auto bytes = SaveRVV(*a.vect);
  // One slot, held only by the template: its count is 0 and no image follows; the block holds
  // only the object count 0.
  int32_t n, count;
  std::memcpy(&n, bytes.data() + 16, 4);
  std::memcpy(&count, bytes.data() + 20, 4);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(count, 0);
  TRVMemStream block(bytes.data() + 24, int64_t(bytes.size()) - 24);
  TZDecompressionStream z(block);
  int32_t m = -1;
  EXPECT_EQ(z.Read(&m, 4), 4);
  EXPECT_EQ(m, 0);
  auto mine = StreamSolid(3, 3, 5);
  b.vect->AttachObjBitmap(kObjTemplate, mine.get());
  b.vect->AddNewObject(Obj(*b.vect, rvkBOX, 1, 1, 5, 5));
  ASSERT_TRUE(LoadRVV(*b.vect, bytes));
  EXPECT_EQ(b.vect->ObjectsCount(), 0);
  ASSERT_NE(b.vect->GetObjBitmap(kObjTemplate), nullptr);
  EXPECT_EQ(b.vect->GetObjBitmap(kObjTemplate)->GetWidth(), 3);
}

TEST_F(VectStream, KindNoneAndEmptyTextReadBack) {
  TVectInWindow a(50, 50, 50, 50), b(50, 50, 50, 50);
  a.vect->AddNewObject(Obj(*a.vect, rvkNONE, 1, 1, 5, 5));
  TRVVObjRecord t = Obj(*a.vect, rvkTEXT, 1, 1, 9, 9);
  t.Text.clear();
  a.vect->AddNewObject(t);
  TRVVObjRecord memo = Obj(*a.vect, rvkMEMO, 1, 1, 9, 9);
  memo.Text = "ab";
  a.vect->AddNewObject(memo);  // no per-character formats
  ASSERT_TRUE(LoadRVV(*b.vect, SaveRVV(*a.vect)));
  // The kind-none entry is an empty group: nothing is added for it, the rest reads on.
  ASSERT_EQ(b.vect->ObjectsCount(), 2);
  EXPECT_EQ(b.vect->GetObj(0)->Kind, rvkTEXT);
  EXPECT_EQ(b.vect->GetObj(0)->Text, "");
  EXPECT_TRUE(b.vect->GetObj(1)->MemoCharFormatIdx.empty());
}

TEST_F(VectStream, OldVersionsTakeTheirDefaults) {
  TVectInWindow w(50, 50, 50, 50);
  TRastovaVect& v = *w.vect;
  v.NewObjectTemplate.TextAlign = 1;
  v.NewObjectTemplate.RulerUnit = rvuINCHES;
  // Version '1': a 4-byte scale; a text without alignment, auto size or curve; a ruler with
  // none of its fields; every object editable and opaque.
  TBytes text = OldCommon(rvkTEXT);
  text.str("hi").u8(0);
  TBytes ruler = OldCommon(rvkRULER);
  std::vector<uint8_t> entries = text.b;
  entries.insert(entries.end(), ruler.b.begin(), ruler.b.end());
  ASSERT_TRUE(LoadRVV(v, OldStream('1', entries, 2)));
  EXPECT_EQ(v.MeasureBaseScale, 3.0);
  ASSERT_EQ(v.ObjectsCount(), 2);
  EXPECT_EQ(v.GetObj(0)->Text, "hi");
  EXPECT_EQ(v.GetObj(0)->TextAlign, 1);
  EXPECT_EQ(v.GetObj(0)->Transparency, 255);
  EXPECT_TRUE(v.GetObj(0)->TextEditable);
  EXPECT_EQ(v.GetObj(0)->CurvePointsCount, 0);
  EXPECT_EQ(v.GetObj(1)->RulerUnit, rvuINCHES);
  EXPECT_FALSE(v.GetObj(1)->LogFont.has_value());
  // From '5' on a ruler stored without a font gets Arial of height 12.
  TBytes ruler5 = OldCommon(rvkRULER);
  ruler5.u8(rvuMETERS).u8(0);  // no font flag before 'A'
  ASSERT_TRUE(LoadRVV(v, OldStream('5', ruler5.b, 1)));
  EXPECT_EQ(v.GetObj(0)->RulerUnit, rvuMETERS);
  ASSERT_TRUE(v.GetObj(0)->LogFont.has_value());
  EXPECT_EQ(v.GetObj(0)->LogFont->lfHeight, 12);
  EXPECT_EQ(LogFontFaceName(*v.GetObj(0)->LogFont), "Arial");
  // Version '2' with a poly-line stores no points (before '8'), and memos before 'C' always
  // carry per-character indexes.
  TBytes poly = OldCommon(rvkPOLYLINE);
  ASSERT_TRUE(LoadRVV(v, OldStream('2', poly.b, 1)));
  ASSERT_EQ(v.ObjectsCount(), 1);
  EXPECT_EQ(v.GetObj(0)->PolyPointsCount, 0);
  TBytes memo = OldCommon(rvkMEMO);
  memo.str("ab").u8(0).i32(0).i32(5).i32(1);  // text, no font, indexes 0 and 5 (out of range)
  memo.b.resize(memo.b.size() + sizeof(TRVCharFormat), 0);
  memo.u8(1).u8(0).i32(0).i32(0).u8(0).u8(0).i32(0);
  ASSERT_TRUE(LoadRVV(v, OldStream(';', memo.b, 1)));
  ASSERT_EQ(v.ObjectsCount(), 1);
  EXPECT_EQ(v.GetObj(0)->MemoCharFormatIdx, (std::vector<int32_t>{0, 0}));
}

TEST_F(VectStream, DamagedStreamsLeaveTheLayerAsItWas) {
  TVectInWindow a(100, 100, 100, 100), b(100, 100, 100, 100);
  auto bmp = StreamSolid(6, 5, 77);
  FillEveryKind(*a.vect, bmp.get());
  const auto good = SaveRVV(*a.vect);
  TRastovaVect& v = *b.vect;
  v.AddNewObject(Obj(v, rvkBOX, 1, 2, 3, 4));
  v.AddSelObject(0);
  auto unchanged = [&] {
    return v.ObjectsCount() == 1 && v.GetObj(0)->Kind == rvkBOX && v.SelObjectsCount() == 1;
  };
  // Every truncation: refused whole (the signature alone cut short answers false).
  for (size_t len = 0; len < good.size(); len += (len < 64 ? 1 : 7)) {
    SCOPED_TRACE(len);
    std::vector<uint8_t> cut(good.begin(), good.begin() + long(len));
    try {
      EXPECT_FALSE(LoadRVV(v, cut));
    } catch (const ERVVectStreamError&) {
    }
    ASSERT_TRUE(unchanged());
  }
  // Hand-built damaged blocks of the current version.
  for (const TDamagedBlock& c : DamagedObjectBlocks()) {
    SCOPED_TRACE(c.name);
    EXPECT_THROW(LoadRVV(v, OldStream(kRVVVersion, c.entries, c.count)), ERVVectStreamError);
    ASSERT_TRUE(unchanged());
  }
  // Header damage: negative and huge slot counts, a bad PNG, an unknown version.
  for (int32_t nslots : {-1, 0x7FFFFFFF}) {
    auto bad = good;
    std::memcpy(bad.data() + 16, &nslots, 4);
    EXPECT_THROW(LoadRVV(v, bad), ERVVectStreamError);
  }
  {
    auto bad = good;
    bad[24 + 4 + 10] ^= 0xFF;  // inside the first slot's PNG
    EXPECT_THROW(LoadRVV(v, bad), ERVVectStreamError);
  }
  for (char ver : {'0', 'S'}) {
    auto bad = good;
    bad[3] = uint8_t(ver);
    EXPECT_FALSE(LoadRVV(v, bad));
  }
  EXPECT_TRUE(unchanged());
  // A reference outside the slot table is repaired; the load goes on.
  TBytes ref = Entry(rvkBITMAP, [](TBytes& e) { Common(e), e.i32(9).u8(0).str("").u8(1); });
  ASSERT_TRUE(LoadRVV(v, OldStream(kRVVVersion, ref.b, 1)));
  ASSERT_EQ(v.ObjectsCount(), 1);
  EXPECT_EQ(v.GetObj(0)->BitmapIdx, -1);
}

TEST_F(VectStream, ContentTestsRestoreThePosition) {
  TVectInWindow a(50, 50, 50, 50);
  a.vect->AddNewObject(Obj(*a.vect, rvkBOX, 1, 1, 5, 5));
  TMemoryStream m;
  m.WriteBuffer("prefix", 6);
  a.vect->SaveAllToStream(m, kLayerImageZlib);
  m.SetPosition(6);
  int32_t p;
  m.ReadBuffer(&p, 4);
  // The stored position is absolute and lands on the object stream.
  m.SetPosition(p);
  EXPECT_TRUE(IsRVVStream(m));
  EXPECT_EQ(m.GetPosition(), p);
  m.SetPosition(6);
  EXPECT_TRUE(IsAllStream(m));
  EXPECT_EQ(m.GetPosition(), 6);
  EXPECT_FALSE(IsRVVStream(m));
  TVectInWindow b(50, 50, 50, 50);
  m.SetPosition(6);
  ASSERT_TRUE(b.vect->LoadAllFromStream(m));
  EXPECT_EQ(b.vect->ObjectsCount(), 1);
  // A position outside the stream: refused by the test, an error for the reader, no change.
  auto bytes = m.Data();
  int32_t far = int32_t(bytes.size()) + 100;
  std::memcpy(bytes.data() + 6, &far, 4);
  TRVMemStream bad(bytes.data(), int64_t(bytes.size()));
  bad.SetPosition(6);
  EXPECT_FALSE(IsAllStream(bad));
  EXPECT_EQ(bad.GetPosition(), 6);
  EXPECT_THROW(b.vect->LoadAllFromStream(bad), ERVVectStreamError);
  EXPECT_EQ(b.vect->ObjectsCount(), 1);
  for (size_t len : {size_t(0), size_t(2), size_t(5)}) {
    TRVMemStream s(bytes.data(), int64_t(len));
    EXPECT_FALSE(IsAllStream(s));
    EXPECT_FALSE(IsRVVStream(s));
    EXPECT_EQ(s.GetPosition(), 0);
  }
}

TEST_F(VectStream, FileTypesThroughTheIOComponent) {
  const auto dir = std::filesystem::temp_directory_path() / ("vectio" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string rvv = (dir / "a.rvv").string(), all = (dir / "a.all").string(), none = (dir / "n.rvv").string();
  TVectInWindow a(100, 100, 100, 100);
  TRVVObjRecord box = Obj(*a.vect, rvkBOX, 10, 10, 49, 29);
  box.BrushColor = 0x0000FF;  // red
  box.BrushStyle = platform::bsSolid;
  box.Style = rvvsVisible;
  a.vect->AddNewObject(box);
  {
    TRastovaIO io;
    io.SetAttachedView(a.vect);
    io.SaveToFile(rvv);
    EXPECT_FALSE(io.Aborting);
    io.SaveToFile(all);
    EXPECT_FALSE(io.Aborting);
  }
  {
    // Without a layer attached nothing is written.
    TRastovaIO io;
    io.SaveToFile(none);
    EXPECT_TRUE(io.Aborting);
    EXPECT_FALSE(std::filesystem::exists(none));
  }
  {
    TRVWideFileStream f(rvv, TRVWideFileStream::fmOpenRead);
    EXPECT_EQ(FindStreamFormat(f), ioRVV);
  }
  {
    TRVWideFileStream f(all, TRVWideFileStream::fmOpenRead);
    EXPECT_EQ(FindStreamFormat(f), ioALL);
  }
  {
    // No view: the objects drawn on white, sized to their extent.
    TRastovaIO io;
    io.LoadFromFile(rvv);
    ASSERT_FALSE(io.Aborting);
    TRVBitmap* b = io.GetAttachedRVBitmap();
    EXPECT_EQ(b->GetWidth(), 50);
    EXPECT_EQ(b->GetHeight(), 30);
    EXPECT_EQ(b->GetPixels(2, 2).r, 255);
    EXPECT_EQ(b->GetPixels(30, 20).r, 255);
    EXPECT_EQ(b->GetPixels(30, 20).g, 0);
  }
  {
    TVectInWindow c(100, 100, 100, 100);
    TRastovaIO io;
    io.SetAttachedView(c.vect);
    io.LoadFromFile(all);
    EXPECT_FALSE(io.Aborting);
    EXPECT_EQ(c.vect->ObjectsCount(), 1);
    // A damaged file sets Aborting and leaves the objects.
    auto bytes = [&] {
      std::ifstream in(rvv, std::ios::binary);
      return std::vector<char>((std::istreambuf_iterator<char>(in)), {});
    }();
    bytes.resize(bytes.size() - 6);
    std::ofstream(rvv, std::ios::binary).write(bytes.data(), long(bytes.size()));
    io.LoadFromFile(rvv);
    EXPECT_TRUE(io.Aborting);
    EXPECT_EQ(c.vect->ObjectsCount(), 1);
  }
  std::filesystem::remove_all(dir);
}

namespace {

// The layer's objects (with its layers for a ".all" name) saved through the I/O component, then
// loaded from that file without a layer into a 5 x 4 picture: whether the load failed, and the
// largest block it asked for.
struct TLoadWithoutLayer {
  bool aborted;
  size_t largest;
};
TLoadWithoutLayer SaveAndLoadWithoutLayer(TRastovaVect& vect, const std::string& name, TRVBitmap& picture) {
  const auto dir = std::filesystem::temp_directory_path() / ("vectbig" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string file = (dir / name).string();
  {
    TRastovaIO io;
    io.SetAttachedView(&vect);
    io.SaveToFile(file);
    EXPECT_FALSE(io.Aborting);
  }
  picture.Allocate(5, 4, rv24RGB);
  TRastovaIO io(&picture);
  const size_t largest = test_support::LargestAllocationDuring([&] { io.LoadFromFile(file); });
  std::filesystem::remove_all(dir);
  return {io.Aborting, largest};
}

// A refused load asked for no more than the temporary layer's own surface (1.2 MB) and a little
// more, and left the picture as it was.
void ExpectRefusedLoad(const TLoadWithoutLayer& load, TRVBitmap& picture, size_t limit) {
  EXPECT_TRUE(load.aborted);
  EXPECT_LT(load.largest, limit);
  EXPECT_EQ(picture.GetWidth(), 5);
  EXPECT_EQ(picture.GetHeight(), 4);
}

}  // namespace

TEST_F(VectStream, AnObjectFileWithoutALayerMakesNoPictureItCannotJustify) {
  // The picture of an object file loaded without a vector layer is sized to the objects' extent:
  // a line needs a few bytes whatever its length, so the extent alone may not ask for more than
  // 2^25 pixels (or twice what the file's own pictures take).
  struct Case {
    const char* what;
    int32_t x2, y2;
    bool loads;
  } const cases[] = {
      {"16,000 x 16,000", 15999, 15999, false},
      {"as far right as a number goes", 0x7FFFFFFE, 10, false},
      {"past the largest number", 0x7FFFFFFF, 0x7FFFFFFF, false},
      {"1,000 x 700", 999, 699, true},
      {"wide and low", 70000, 2, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TVectInWindow a(100, 100, 100, 100);
    TRVVObjRecord line = Obj(*a.vect, rvkLINE, 0, 0, c.x2, c.y2);
    line.Style = rvvsVisible;
    a.vect->AddNewObject(line);
    TRVBitmap picture;
    const TLoadWithoutLayer load = SaveAndLoadWithoutLayer(*a.vect, "line.rvv", picture);
    if (!c.loads) {
      ExpectRefusedLoad(load, picture, size_t(4) << 20);
      continue;
    }
    EXPECT_FALSE(load.aborted);
    EXPECT_EQ(picture.GetWidth(), c.x2 + 1);
    EXPECT_EQ(picture.GetHeight(), c.y2 + 1);
  }
}

TEST_F(VectStream, ALayersAndObjectsFileWithoutALayerMergesOnlyAPictureItJustifies) {
  // Loaded without a vector layer, the layers of a "layers and objects" file are merged like those
  // of a layers file: a layer far away or shown much larger than its image makes a failed load, not
  // a picture of gigabytes.
  struct Case {
    const char* what;
    int32_t posX, displayW;
    bool loads;
  } const cases[] = {
      {"a layer at x = 300", 300, 0, true},
      {"a layer at x = 2^31 - 1", 0x7FFFFFFF, 0, false},
      {"a layer shown 2,000,000,000 wide", 0, 2000000000, false},
      {"a layer shown 100,000 wide", 0, 100000, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TVectInWindow a(100, 100, 100, 100);
    TRVVObjRecord box = Obj(*a.vect, rvkBOX, 2, 2, 20, 20);
    box.Style = rvvsVisible;
    a.vect->AddNewObject(box);
    a.vect->LayersAdd();
    a.vect->GetRVBitmap()->Allocate(2, 2, rv24RGB);
    a.vect->GetCurrentLayer()->PosX = c.posX;
    a.vect->GetCurrentLayer()->DisplayWidth = c.displayW;
    a.vect->GetCurrentLayer()->DisplayHeight = c.displayW;
    TRVBitmap picture;
    const TLoadWithoutLayer load = SaveAndLoadWithoutLayer(*a.vect, "case.all", picture);
    if (!c.loads) {
      ExpectRefusedLoad(load, picture, size_t(8) << 20);
      continue;
    }
    EXPECT_FALSE(load.aborted);
    EXPECT_EQ(picture.GetWidth(), c.posX + 2);
  }
}

namespace {

const std::filesystem::path kRVVScript = std::filesystem::path(__FILE__).parent_path() / "rvv_stream.py";

std::string RunRVVScript(const std::string& args, bool& ok) {
  std::string out;
  FILE* p = ::popen(("/usr/bin/python3 " + kRVVScript.string() + " " + args).c_str(), "r");
  ok = p != nullptr;
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  ok = ::pclose(p) == 0;
  return out;
}

}  // namespace

TEST_F(VectStream, IndependentScriptReadsAndWritesTheStream) {
  const auto dir = std::filesystem::temp_directory_path() / ("vectpy" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string ours = (dir / "ours.rvv").string(), theirs = (dir / "theirs.rvv").string();
  // Ours, walked by the script: the scale, the slot PNG, every entry in z-order.
  TVectInWindow a(100, 100, 100, 100);
  auto bmp = StreamSolid(6, 5, 77);
  FillEveryKind(*a.vect, bmp.get());
  a.vect->MeasureBaseScale = 0.5;
  {
    TRVWideFileStream f(ours, TRVWideFileStream::fmCreate);
    a.vect->SaveObjectsToStream(f);
  }
  bool ok = false;
  const std::string walked = RunRVVScript("walk " + ours, ok);
  ASSERT_TRUE(ok) << walked;
  // The template's icon holds a slot of its own, written with a count of 0 and no image.
  EXPECT_EQ(walked.rfind("scale 0.5 slots " + std::to_string(a.vect->SharedBitmapsCount()) + "\n", 0), 0u) << walked;
  EXPECT_NE(walked.find(" count 1 png 6x5\n"), std::string::npos) << walked;
  EXPECT_NE(walked.find("6 16 26 66 96 12345c 654321 obj6|text6\n"), std::string::npos) << walked;
  EXPECT_NE(walked.find("10 20 30 70 100 123460 654321 obj10|memo\n"), std::string::npos) << walked;
  EXPECT_NE(walked.find("|text11\n"), std::string::npos) << walked;
  // Theirs, recognised by content and drawn through the I/O component with no view attached.
  RunRVVScript("write " + theirs, ok);
  ASSERT_TRUE(ok);
  {
    TRVWideFileStream f(theirs, TRVWideFileStream::fmOpenRead);
    EXPECT_EQ(FindStreamFormat(f), ioRVV);
  }
  TRastovaIO io;
  io.LoadFromFile(theirs);
  ASSERT_FALSE(io.Aborting);
  TRVBitmap* b = io.GetAttachedRVBitmap();
  EXPECT_EQ(b->GetWidth(), 60);
  EXPECT_EQ(b->GetHeight(), 40);
  EXPECT_EQ(b->GetPixels(30, 15), (TRGB{0, 0, 255}));     // inside the red box (solid brush)
  EXPECT_EQ(b->GetPixels(2, 2), (TRGB{255, 255, 255}));   // white around it
  EXPECT_EQ(b->GetPixels(30, 39), (TRGB{255, 0, 0}));     // the blue line
  TVectInWindow c(100, 100, 100, 100);
  ASSERT_TRUE(c.vect->LoadObjectsFromFile(theirs));
  EXPECT_EQ(c.vect->ObjectsCount(), 2);
  EXPECT_EQ(c.vect->GetObjName(1), "line");
  std::filesystem::remove_all(dir);
}

namespace {

class TStreamDot : public TRVExtendedObject {
 public:
  TStreamDot() { ++Live; }
  ~TStreamDot() override { --Live; }
  static inline int Live = 0;  // instances in existence
  void Initialize() override { ++Initialized; }
  void SaveToStream(TStream& Stream) override { Stream.WriteBuffer(&Value, 4); }
  bool LoadFromStream(TStream& Stream) override {
    Stream.ReadBuffer(&Value, 4);
    return true;
  }
  int32_t Value = 0;
  int Initialized = 0;
};

}  // namespace

TEST_F(VectStream, ExtendedObjectsAreMadeByTheirExactName) {
  RegisterExtendedObjectClass("TStreamDot", [] { return new TStreamDot(); });
  EXPECT_EQ(CreateExtendedObjectByName("tstreamdot"), nullptr);
  TVectInWindow a(50, 50, 50, 50), b(50, 50, 50, 50);
  const int32_t h = a.vect->AddNewObject(Obj(*a.vect, rvkEXTENDED, 1, 1, 9, 9));
  auto* dot = new TStreamDot();
  dot->Value = 4242;
  a.vect->GetObj(h)->ExtendedObject = dot;
  EXPECT_EQ(GetExtendedObjectName(dot), "TStreamDot");
  ASSERT_TRUE(LoadRVV(*b.vect, SaveRVV(*a.vect)));
  auto* got = dynamic_cast<TStreamDot*>(b.vect->GetObjExtendedObject(0));
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(got->Value, 4242);
  EXPECT_EQ(got->Initialized, 1);
  EXPECT_EQ(got->Owner, b.vect);
  EXPECT_EQ(got->Handle, 0);
  // Copied into another layer, the object is cloned (a new instance, no data).
  a.vect->CopyAllObjectsTo(b.vect);
  auto* clone = dynamic_cast<TStreamDot*>(b.vect->GetObjExtendedObject(1));
  ASSERT_NE(clone, nullptr);
  EXPECT_NE(clone, dot);
  EXPECT_EQ(clone->Owner, b.vect);
}

TEST_F(VectStream, OneEntryReadOnItsOwnKeepsItsExtendedObject) {
  RegisterExtendedObjectClass("TStreamDot", [] { return new TStreamDot(); });
  const int live = TStreamDot::Live;
  {
    TVectInWindow a(50, 50, 50, 50), b(50, 50, 50, 50);
    const int32_t h = a.vect->AddNewObject(Obj(*a.vect, rvkEXTENDED, 1, 1, 9, 9));
    auto* dot = new TStreamDot();
    dot->Value = 77;
    a.vect->GetObj(h)->ExtendedObject = dot;
    TMemoryStream m;
    a.vect->SaveObjectToStream(m, h);
    m.SetPosition(0);
    const int32_t got = b.vect->LoadObjectFromStream(m, kRVVVersion);
    ASSERT_EQ(got, 0);
    // The instance read is the object's own (its data, initialized once), not a fresh copy.
    auto* read = dynamic_cast<TStreamDot*>(b.vect->GetObjExtendedObject(got));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->Value, 77);
    EXPECT_EQ(read->Initialized, 1);
    EXPECT_EQ(read->ObjRecord, b.vect->GetObj(got));
    EXPECT_EQ(TStreamDot::Live, live + 2);
  }
  // Every instance went with its layer: none was made and left behind.
  EXPECT_EQ(TStreamDot::Live, live);
}
