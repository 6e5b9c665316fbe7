#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "rastova/core/RVLists.h"

using namespace rv;

TEST(Lists, GrowthDeleteAndAssign) {
  TRVIntegerList l;
  int32_t caps[3];
  for (int i = 0; i < 3; ++i) {
    int32_t v = 10 + i;
    EXPECT_EQ(l.Add(&v), i);
    caps[i] = l.Capacity();
  }
  EXPECT_EQ(caps[0], 1);
  EXPECT_EQ(caps[1], 2);
  EXPECT_EQ(caps[2], 4);
  EXPECT_EQ(l.Count(), 3);
  EXPECT_EQ(l.GetItem(2), 12);
  EXPECT_EQ(l.Flags() & 1, 1);
  l.SetItem(7, 5);  // beyond the count: ignored
  l.Delete(-1);
  l.Delete(3);
  EXPECT_EQ(l.Count(), 3);
  l.Delete(1);
  EXPECT_EQ(l.Count(), 2);
  EXPECT_EQ(l.Capacity(), 2);
  EXPECT_EQ(l.GetItem(1), 12);

  TRVIntegerList big;
  for (int i = 0; i < 5; ++i) big.Add(&i);  // capacity 8
  big.SetCount(3);
  TRVIntegerList copy;
  copy.Extra[0] = 0;
  big.Extra[0] = 42;
  copy.Assign(&big);
  EXPECT_EQ(copy.Count(), 3);
  EXPECT_EQ(copy.Capacity(), 3);
  EXPECT_EQ(copy.Extra[0], 42);
  int32_t v = 9;
  copy.Add(&v);
  EXPECT_EQ(copy.Capacity(), 6);
  EXPECT_EQ(copy.GetItem(3), 9);

  TRVIntegerList one;
  one.Add(&v);
  one.Delete(0);
  EXPECT_EQ(one.Count(), 0);
  EXPECT_EQ(one.Capacity(), 0);

  TRVDoubleList d;
  EXPECT_THROW(d.Assign(&big), EInvalidCast);
  EXPECT_EQ(d.Count(), 3);  // the common part was copied first
  TRVRecordList r(16);
  uint8_t rec[16] = {1, 2, 3};
  r.Add(rec);
  EXPECT_EQ(std::memcmp(r.GetItem(0), rec, 16), 0);
}

TEST(ByteArray, GrowsAndShrinksInBlocks) {
  TRVByteArray a(4096);
  int reallocations = 0;
  int32_t cap = a.Capacity();
  for (int i = 0; i < 4097; ++i) {
    a.AppendByte(static_cast<uint8_t>(i));
    if (a.Capacity() != cap) {
      ++reallocations;
      cap = a.Capacity();
      EXPECT_EQ(i, 4096);
    }
  }
  EXPECT_EQ(reallocations, 1);
  EXPECT_EQ(a.Capacity(), 8193);
  EXPECT_EQ(a.Data()[4096], static_cast<uint8_t>(4096));
  a.SetSize(10);
  EXPECT_EQ(a.Capacity(), 10 + 4096);
  EXPECT_EQ(a.Data()[9], 9);
  std::vector<uint8_t> src = {1, 2, 3};
  TRVMemStream s(src.data(), 3);
  EXPECT_EQ(a.AppendFromStream(s, 10), 3);
  EXPECT_EQ(a.Size(), 13);
  EXPECT_EQ(a.Data()[12], 3);
}

TEST(Hash, ChainsKeysThatShareTheirLowBits) {
  THash1 h(4);
  EXPECT_EQ(h.Add(0x10), 1);
  EXPECT_EQ(h.Add(0x20), 1);
  EXPECT_EQ(h.BucketState(0), 2);
  EXPECT_EQ(h.BucketChain(0)->key, 0x10);
  EXPECT_EQ(h.BucketChain(0)->next->key, 0x20);
  EXPECT_EQ(h.Add(0x10), 0);
  EXPECT_EQ(h.Count(), 2);
  EXPECT_EQ(h.Add(0x30), 1);
  EXPECT_EQ(h.Add(0x30), 0);
  EXPECT_EQ(h.Add(5), 1);
  EXPECT_EQ(h.BucketState(5), 1);
  EXPECT_EQ(h.Count(), 4);
}

TEST(NulStream, CountsIn64Bits) {
  TNulStream s;
  EXPECT_EQ(s.Write(nullptr, 100), 100);
  s.Seek(10, soBeginning);
  s.Write(nullptr, 5);
  EXPECT_EQ(s.GetPosition(), 15);
  EXPECT_EQ(s.GetSize(), 100);
  for (int i = 0; i < 3; ++i) s.Write(nullptr, int64_t(1) << 31);
  EXPECT_EQ(s.GetSize(), 15 + 3 * (int64_t(1) << 31));
  EXPECT_EQ(s.Seek(-5, soEnd), s.GetSize() - 5);
}

namespace {
class TRefusingStream : public TStream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void*, int64_t count) override { return count > 2 ? 2 : count; }
  int64_t Seek(int64_t, TSeekOrigin) override { return 0; }
};
}  // namespace

TEST(StreamHelpers, StringsRoundTripAndDamagedLengthsFail) {
  TMemoryStream m;
  SaveAnsiStringToStream(m, "hello");
  SaveAnsiStringToStream(m, "");
  EXPECT_EQ(m.GetSize(), 4 + 5 + 4);
  m.SetPosition(0);
  std::string s;
  LoadAnsiStringFromStream(m, s);
  EXPECT_EQ(s, "hello");
  LoadAnsiStringFromStream(m, s);
  EXPECT_EQ(s, "");

  struct Damaged {
    std::vector<uint8_t> bytes;
  } cases[] = {
      {{5, 0, 0, 0, 'a', 'b'}},               // truncated text
      {{0xFF, 0xFF, 0xFF, 0x7F, 'a'}},        // a length the stream cannot hold
      {{0xFF, 0xFF, 0xFF, 0xFF}},             // negative as a signed count
      {{5, 0}},                               // truncated length
  };
  for (auto& c : cases) {
    TRVMemStream in(c.bytes.data(), static_cast<int64_t>(c.bytes.size()));
    std::string out = "keep";
    EXPECT_THROW(LoadAnsiStringFromStream(in, out), EReadError);
    EXPECT_EQ(out, "keep");
  }

  TRefusingStream r;
  bool error = false;
  SafeStreamWrite(r, error, "ab", 2);
  EXPECT_FALSE(error);
  SafeStreamWrite(r, error, "abcd", 4);
  EXPECT_TRUE(error);
  SafeStreamWrite(r, error, "ab", 2);
  EXPECT_TRUE(error);
}
