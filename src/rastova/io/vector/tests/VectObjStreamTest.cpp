// The vector object stream without a layer: a round trip of every kind, the table of damaged
// streams (truncated anywhere, impossible counts and lengths, bad slots and versions) ending in
// their documented results without large allocations, repaired references, the content tests
// and one entry read on its own.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/tests/support/AllocationWatch.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVZLib.h"
#include "rastova/io/RVLayerStream.h"
#include "rastova/io/vector/RVExtendedObject.h"
#include "rastova/io/vector/RVVObjStream.h"
#include "rastova/io/vector/tests/VectStreamBytes.h"

namespace rv {
namespace {

using namespace vectbytes;

// An extended object that stores one int32.
class TDot : public TRVExtendedObject {
 public:
  void SaveToStream(TStream& Stream) override { Stream.WriteBuffer(&Value, 4); }
  bool LoadFromStream(TStream& Stream) override {
    Stream.ReadBuffer(&Value, 4);
    return true;
  }
  int32_t Value = 0;
};

// The registry as the vector unit's start-up makes it, with TDot registered.
class VectObjStream : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateExtendedObjectRegistry();
    RegisterExtendedObjectClass("TDot", [] { return new TDot(); });
  }
  void TearDown() override { FreeExtendedObjectRegistry(); }
};

std::unique_ptr<TRVBitmap> Solid(int32_t w, int32_t h, uint8_t v) {
  auto b = std::make_unique<TRVBitmap>(w, h, rv24RGB);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) *b->GetPPixels_rv24RGB(x, y) = TRGB{v, uint8_t(x * 20), uint8_t(y * 20)};
  return b;
}

// One record of every kind but none, the bitmap object in slot 0, the extended one with a TDot.
struct TEveryKind {
  std::vector<TRVVObjRecord> records;
  std::unique_ptr<TRVBitmap> bitmap = Solid(6, 5, 77);
  TDot dot;
  TEveryKind() {
    for (int k = rvkLINE; k <= rvkEXTENDED; ++k) {
      TRVVObjRecord& o = records.emplace_back();
      SetEveryField(o, TRVVObjectKind(k));
      KeepDataOfKind(o);  // as a layer keeps it, and so as it reads back
      if (k == rvkBITMAP) o.BitmapIdx = 0;
    }
    dot.Value = 4242;
    records.back().ExtendedObject = &dot;
    records[0].UserData = const_cast<char*>("abcde");
    records[0].UserDataLen = 5;
  }
  std::vector<uint8_t> Stream() {
    std::vector<TRVVEntryToWrite> entries;
    for (size_t i = 0; i < records.size(); ++i) entries.push_back({int32_t(i), &records[i]});
    TMemoryStream m;
    WriteObjectStream(m, 2.5, {{bitmap.get(), 1}}, entries);
    return m.Data();
  }
};

bool Read(const std::vector<uint8_t>& bytes, TRVVObjStreamContent& content) {
  TRVMemStream m(bytes.data(), int64_t(bytes.size()));
  return ReadObjectStream(m, content, TRVVObjRecord{}, nullptr);
}

bool Read(const std::vector<uint8_t>& bytes) {
  TRVVObjStreamContent content;
  return Read(bytes, content);
}

TEST_F(VectObjStream, EveryKindRoundTrips) {
  TEveryKind every;
  const auto bytes = every.Stream();
  ASSERT_EQ(std::memcmp(bytes.data(), "RVVR", 4), 0);
  int32_t total;
  std::memcpy(&total, bytes.data() + 4, 4);
  EXPECT_EQ(size_t(total), bytes.size());
  TRVVObjStreamContent c;
  ASSERT_TRUE(Read(bytes, c));
  EXPECT_EQ(c.MeasureBaseScale, 2.5);
  ASSERT_EQ(c.Slots.size(), 1u);
  ASSERT_NE(c.Slots[0], nullptr);
  EXPECT_EQ(c.Slots[0]->GetPixels(3, 2).b, 77);
  ASSERT_EQ(c.Objects.size(), every.records.size());
  for (size_t i = 0; i < c.Objects.size(); ++i) {
    const TRVVObjRecord& x = every.records[i];
    const TRVVObjRecord& y = c.Objects[i];
    SCOPED_TRACE(int(x.Kind));
    EXPECT_EQ(y.Kind, x.Kind);
    EXPECT_EQ(std::tie(y.X1, y.Y1, y.X2, y.Y2), std::tie(x.X1, x.Y1, x.X2, x.Y2));
    EXPECT_EQ(y.Name, x.Name);
    EXPECT_EQ(y.ID, x.ID);
    EXPECT_EQ(y.Transparency, 200);
    EXPECT_EQ(y.SoftShadow.ShadowColor, (TRGB{1, 2, 3}));
    EXPECT_FALSE(y.TextEditable);
  }
  auto of = [&](TRVVObjectKind k) -> const TRVVObjRecord& { return c.Objects[size_t(k - 1)]; };
  EXPECT_EQ(of(rvkLINE).UserDataLen, 5);
  EXPECT_EQ(std::memcmp(of(rvkLINE).UserData, "abcde", 5), 0);
  EXPECT_EQ(of(rvkBITMAP).BitmapIdx, 0);
  EXPECT_EQ(of(rvkTEXT).CurvePoints.size(), 2u);
  EXPECT_EQ(of(rvkTEXT).CurveCharRot, 450);
  EXPECT_EQ(of(rvkMEMO).MemoCharFormatIdx, (std::vector<int32_t>{0, 1, 1, 0}));
  EXPECT_EQ(of(rvkMEMO).MemoCharFormats[1].FontHeight, 22);
  EXPECT_EQ(of(rvkPOLYLINE).PolyPoints[1].y, 60);
  EXPECT_EQ(of(rvkANGLE).AnglePoints[2].x, 5);
  auto* dot = dynamic_cast<TDot*>(of(rvkEXTENDED).ExtendedObject);
  ASSERT_NE(dot, nullptr);
  EXPECT_EQ(dot->Value, 4242);
  // Written again from what was read, the stream is the same.
  std::vector<TRVVEntryToWrite> entries;
  for (size_t i = 0; i < c.Objects.size(); ++i) entries.push_back({int32_t(i), &c.Objects[i]});
  TMemoryStream again;
  WriteObjectStream(again, c.MeasureBaseScale, {{c.Slots[0].get(), 1}}, entries);
  EXPECT_EQ(again.Data(), bytes);
}

TEST_F(VectObjStream, DamagedStreamsFailCleanly) {
  TEveryKind every;
  const auto good = every.Stream();
  // Every truncation: refused whole (the signature alone cut short answers false).
  for (size_t len = 0; len < good.size(); ++len) {
    SCOPED_TRACE(len);
    std::vector<uint8_t> cut(good.begin(), good.begin() + long(len));
    try {
      EXPECT_FALSE(Read(cut));
    } catch (const ERVVectStreamError&) {
    }
  }
  // Damaged blocks: refused, and no count asks for memory the stream cannot fill.
  for (const TDamagedBlock& c : DamagedObjectBlocks()) {
    SCOPED_TRACE(c.name);
    const auto bytes = OldStream(kRVVVersion, c.entries, c.count);
    const size_t largest =
        test_support::LargestAllocationDuring([&] { EXPECT_THROW(Read(bytes), ERVVectStreamError); });
    EXPECT_LT(largest, size_t(1) << 20);
  }
  // Header damage: negative and huge slot counts, a bad PNG, a total length beyond the stream.
  auto patched = [&](size_t at, int32_t v) {
    auto b = good;
    std::memcpy(b.data() + at, &v, 4);
    return b;
  };
  for (int32_t nslots : {-1, 0x7FFFFFFF}) EXPECT_THROW(Read(patched(16, nslots)), ERVVectStreamError);
  EXPECT_THROW(Read(patched(4, int32_t(good.size()) + 1)), ERVVectStreamError);
  EXPECT_THROW(Read(patched(4, 3)), ERVVectStreamError);
  {
    auto bad = good;
    bad[24 + 4 + 10] ^= 0xFF;  // inside the slot's PNG
    EXPECT_THROW(Read(bad), ERVVectStreamError);
  }
  {
    // The compressed block damaged in its deflate data.
    auto bad = good;
    for (size_t i = bad.size() - 40; i < bad.size() - 8; ++i) bad[i] ^= 0x5A;
    EXPECT_THROW(Read(bad), ERVVectStreamError);
  }
  // Unknown versions are another format: false, with the content untouched.
  for (char ver : {'0', 'S', '\x7F'}) {
    auto bad = good;
    bad[3] = uint8_t(ver);
    TRVVObjStreamContent c;
    EXPECT_FALSE(Read(bad, c));
    EXPECT_TRUE(c.Objects.empty() && c.Slots.empty());
  }
}

TEST_F(VectObjStream, ReferencesOutsideWhatWasReadAreRepaired) {
  // A bitmap slot 9 of none, and a memo whose second character names format 5 of one.
  TBytes bitmap = Entry(rvkBITMAP, [](TBytes& e) { Common(e), e.i32(9).u8(0).str("").u8(1); });
  TBytes memo = Entry(rvkMEMO, [](TBytes& e) {
    Common(e), e.str("ab").u8(0).u8(1).i32(0).i32(5).i32(1).zeros(sizeof(TRVCharFormat));
    e.u8(1).u8(0).i32(0).i32(0).u8(0).u8(0).i32(0).u8(0).zeros(32).u8(0).u8(1);
  });
  TRVVObjStreamContent c;
  ASSERT_TRUE(Read(OldStream(kRVVVersion, TBytes(bitmap).add(memo).b, 2), c));
  ASSERT_EQ(c.Objects.size(), 2u);
  EXPECT_EQ(c.Objects[0].BitmapIdx, -1);
  EXPECT_EQ(c.Objects[1].MemoCharFormatIdx, (std::vector<int32_t>{0, 0}));
}

TEST_F(VectObjStream, ContentTestsNeverRaiseAndRestoreThePosition) {
  TEveryKind every;
  const auto objects = every.Stream();
  // "Layers and objects": the position of the object stream, a layer stream, the object stream.
  TMemoryStream m;
  m.WriteBuffer("prefix", 6);
  int32_t zero = 0;
  m.WriteBuffer(&zero, 4);
  auto layer = Solid(4, 3, 9);
  TRVLayerProps props;
  WriteLayerStream(m, kLayerImageZlib, {{&props, layer.get()}});
  const int32_t p = int32_t(m.GetPosition());
  m.WriteBuffer(objects.data(), int64_t(objects.size()));
  auto bytes = m.Data();
  std::memcpy(bytes.data() + 6, &p, 4);
  auto check = [](std::vector<uint8_t> b, int64_t at, bool all, bool rvv) {
    TRVMemStream s(b.data(), int64_t(b.size()));
    s.SetPosition(at);
    EXPECT_EQ(IsAllStream(s), all);
    EXPECT_EQ(s.GetPosition(), at);
    EXPECT_EQ(IsRVVStream(s), rvv);
    EXPECT_EQ(s.GetPosition(), at);
  };
  check(bytes, 6, true, false);
  check(bytes, p, false, true);
  // A position outside the stream, or pointing at the layers: not the format.
  for (int32_t far : {int32_t(bytes.size()) + 100, -1, 10}) {
    auto b = bytes;
    std::memcpy(b.data() + 6, &far, 4);
    check(b, 6, false, false);
  }
  for (size_t len : {size_t(6), size_t(8), size_t(20), size_t(p + 2)})
    check({bytes.begin(), bytes.begin() + long(len)}, 6, false, false);
}

TEST_F(VectObjStream, OneEntryOnItsOwnTakesOnlyWhatArrives) {
  TEveryKind every;
  TMemoryStream m;
  WriteObjectEntry(m, every.records[rvkMEMO - 1], 7);
  TRVVObjStreamContent c;
  m.SetPosition(0);
  ReadObjectEntry(m, kRVVVersion, c, TRVVObjRecord{}, nullptr);
  ASSERT_EQ(c.Objects.size(), 1u);
  EXPECT_EQ(c.Objects[0].Text, "memo");
  EXPECT_EQ(m.GetPosition(), m.GetSize());
  // A name length inside a compressed stream that its compressed bytes could hold but that its
  // data does not: the name grows only as its bytes arrive and the short read fails.
  TBytes e = Entry(rvkBOX, [](TBytes& x) { x.i32(50000).zeros(100); });
  TMemoryStream packed;
  {
    TZCompressionStream z(packed, zcDefault);
    z.WriteBuffer(e.b.data(), int64_t(e.b.size()));
    z.Finish();
  }
  packed.SetPosition(0);
  TZDecompressionStream z(packed);
  TRVVObjStreamContent d;
  const size_t largest = test_support::LargestAllocationDuring([&] {
    EXPECT_THROW(ReadObjectEntry(z, kRVVVersion, d, TRVVObjRecord{}, nullptr), ERVVectStreamError);
  });
  EXPECT_LT(largest, size_t(1) << 20);
}

}  // namespace
}  // namespace rv
