#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "scene3d/base/ApplicationFileIO.h"
#include "scene3d/base/PersistentClasses.h"

using namespace gl3d;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
std::string FromBytes(const Bytes& b) { return std::string(b.begin(), b.end()); }

template <class F>
Bytes Written(F&& f) {
  TMemoryStream ms;
  TBinaryWriter w(ms);
  f(w);
  return ToBytes(ms.DataString());
}

// A persistent class with a little data: version, then an integer.
class TSample : public TPersistentObject {
 public:
  int32_t value = 0;
  const char* ClassName() const override { return "TSample"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override { return std::make_unique<TSample>(); }
  void WriteToFiler(TVirtualWriter& w) const override {
    TPersistentObject::WriteToFiler(w);
    w.WriteInteger(0);
    w.WriteInteger(value);
  }
  void ReadFromFiler(TVirtualReader& r) override {
    TPersistentObject::ReadFromFiler(r);
    const int32_t v = r.ReadInteger();
    if (v != 0) RaiseFilerException(v);
    value = r.ReadInteger();
  }
};

class TSigned : public TSample {
 public:
  const char* ClassName() const override { return "TSigned"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override { return std::make_unique<TSigned>(); }
  std::string FileSignature() const override { return "SIG1"; }
};

// A sample that counts the instances alive.
class TCounted : public TSample {
 public:
  static inline int alive = 0;
  TCounted() { ++alive; }
  ~TCounted() override { --alive; }
  const char* ClassName() const override { return "TCounted"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override { return std::make_unique<TCounted>(); }
};

class TPlainObject : public TObject {};

struct Registered : ::testing::Test {
  void SetUp() override {
    RegisterPersistentClasses();
    TPersistentObjectRegistry::Instance().Register<TSample>("TSample");
    TPersistentObjectRegistry::Instance().Register<TCounted>("TCounted");
  }
};

}  // namespace

TEST(BinaryWriter, IntegerFormsAreTheSmallest) {
  struct Case {
    int32_t v;
    uint8_t tag;
    size_t size;
  };
  const Case cases[] = {{127, 2, 2},   {128, 3, 3},   {-128, 2, 2},       {-129, 3, 3},
                        {32767, 3, 3}, {32768, 4, 5}, {-32768, 3, 3},     {-32769, 4, 5},
                        {0, 2, 2},     {-1, 2, 2},    {2147483647, 4, 5}, {-2147483647 - 1, 4, 5}};
  for (const Case& c : cases) {
    const Bytes b = Written([&](TBinaryWriter& w) { w.WriteInteger(c.v); });
    ASSERT_EQ(b.size(), c.size) << c.v;
    EXPECT_EQ(b[0], c.tag) << c.v;
    TMemoryStream ms(FromBytes(b));
    TBinaryReader r(ms);
    EXPECT_EQ(r.ReadInteger(), c.v);
  }
}

TEST(BinaryWriter, ExactBytesOfEachValue) {
  EXPECT_EQ(Written([](TBinaryWriter& w) { w.WriteString(""); }), (Bytes{0x12, 0, 0, 0, 0}));
  EXPECT_EQ(Written([](TBinaryWriter& w) { w.WriteString("Aé"); }),
            (Bytes{0x12, 2, 0, 0, 0, 'A', 0, 0xE9, 0}));
  EXPECT_EQ(Written([](TBinaryWriter& w) {
              w.WriteBoolean(false);
              w.WriteBoolean(true);
              w.WriteListBegin();
              w.WriteListEnd();
            }),
            (Bytes{8, 9, 1, 0}));
  EXPECT_EQ(Written([](TBinaryWriter& w) { w.WriteAnsiString(std::string(255, 'x')); })[0], 6);
  const Bytes longAnsi = Written([](TBinaryWriter& w) { w.WriteAnsiString(std::string(256, 'x')); });
  EXPECT_EQ(longAnsi[0], 12);
  EXPECT_EQ(longAnsi.size(), 1u + 4 + 256);
  EXPECT_EQ(Written([](TBinaryWriter& w) { w.WriteAnsiString("é"); }), (Bytes{6, 1, 0xE9}));
  // 1.0 in the x87 format: mantissa 0x8000000000000000, exponent 0x3FFF.
  EXPECT_EQ(Written([](TBinaryWriter& w) { w.WriteFloat(1.0L); }),
            (Bytes{5, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}));
  EXPECT_EQ(Written([](TBinaryWriter& w) { w.WriteFloat(-2.5L); }),
            (Bytes{5, 0, 0, 0, 0, 0, 0, 0, 0xA0, 0x00, 0xC0}));
}

TEST(BinaryReader, ReadsEveryStringTagAndSignExtends) {
  struct Case {
    Bytes data;
    std::string text;
  };
  const Case cases[] = {
      {{6, 3, 'a', 'b', 0xE9}, "ab\xC3\xA9"},
      {{12, 2, 0, 0, 0, 'h', 'i'}, "hi"},
      {{18, 2, 0, 0, 0, 'h', 0, 0x3B, 0xD8}, "h\xEF\xBF\xBD"},  // a lone surrogate becomes U+FFFD
      {{20, 3, 0, 0, 0, 'x', 0xC3, 0xA9}, "x\xC3\xA9"},
      {{20, 4, 0, 0, 0, 0xF0, 0x9F, 0x98, 0x80}, "\xF0\x9F\x98\x80"},
      // Above U+10FFFF (a five-byte form) and a sequence cut off by the end become U+FFFD.
      {{20, 5, 0, 0, 0, 0xF8, 0x88, 0x80, 0x80, 0x80}, "\xEF\xBF\xBD"},
      {{20, 2, 0, 0, 0, 'a', 0xE2}, "a\xEF\xBF\xBD"},
      {{6, 0}, ""},
      {{18, 0, 0, 0, 0}, ""},
  };
  for (const Case& c : cases) {
    TMemoryStream ms(FromBytes(c.data));
    TBinaryReader r(ms);
    EXPECT_EQ(r.ReadString(), c.text);
    EXPECT_EQ(ms.Position(), ms.Size());
  }
  TMemoryStream ms(FromBytes({2, 0xFF, 3, 0xFF, 0xFF, 3, 0x00, 0x80}));
  TBinaryReader r(ms);
  EXPECT_EQ(r.ReadInteger(), -1);
  EXPECT_EQ(r.ReadInteger(), -1);
  EXPECT_EQ(r.ReadInteger(), -32768);
}

TEST(BinaryReader, TypeErrorsNameTheReaderAndConsumeOnlyTheTag) {
  TMemoryStream ms(FromBytes({18, 0, 0, 0, 0, 1, 0, 5}));
  TBinaryReader r(ms);
  EXPECT_EQ(r.NextValue(), vaWString);
  EXPECT_EQ(r.NextValue(), vaWString);
  try {
    r.ReadInteger();
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "TBinaryReader, read type error");
  }
  EXPECT_EQ(ms.Position(), 1);
  ms.SetPosition(0);
  EXPECT_EQ(r.ReadString(), "");
  EXPECT_THROW(r.ReadBoolean(), EReadError);
  ms.SetPosition(5);
  EXPECT_THROW(r.ReadListEnd(), EReadError);
  ms.SetPosition(5);
  r.ReadListBegin();
  EXPECT_TRUE(r.EndOfList());
  r.ReadListEnd();
  EXPECT_THROW(r.ReadFloat(), EReadError);  // tag 5 without its ten bytes
}

TEST(BinaryReader, FloatsRoundTripAllTenBytes) {
  for (long double v : {0.0L, 1.0L, -3.25L, 1e-4000L, 1.18973149535723176502e+4932L, 0.1L}) {
    TMemoryStream ms;
    TBinaryWriter w(ms);
    w.WriteFloat(v);
    ms.SetPosition(0);
    TBinaryReader r(ms);
    EXPECT_EQ(r.ReadFloat(), v);
  }
}

TEST(BinaryReader, TruncatedAndOversizedDataFailWithTheReadError) {
  const Bytes hostile[] = {
      {},                                // nothing at all
      {2},                               // integer without its byte
      {3, 1},                            // short 16-bit integer
      {4, 1, 2, 3},                      // short 32-bit integer
      {5, 0, 0, 0},                      // short float
      {6, 10, 'a'},                      // short string
      {12, 0xFF, 0xFF, 0xFF, 0x7F},      // 2 GB claimed
      {12, 0xFF, 0xFF, 0xFF, 0xFF},      // 4 GB claimed
      {18, 0x00, 0x00, 0x00, 0x80},      // 2^31 characters claimed
      {18, 3, 0, 0, 0, 'a', 0, 'b', 0},  // one code unit short
      {20, 9, 0, 0, 0, 'a'},
      {20, 1, 0},  // short length
  };
  for (const Bytes& b : hostile) {
    TMemoryStream ms(FromBytes(b));
    TBinaryReader r(ms);
    EXPECT_THROW(
        {
          if (!b.empty() && b[0] == 5)
            r.ReadFloat();
          else if (!b.empty() && b[0] >= 6)
            r.ReadString();
          else
            r.ReadInteger();
        },
        EReadError)
        << "size " << b.size();
  }
  // EndOfList on an exhausted stream fails instead of looping.
  TMemoryStream empty;
  TBinaryReader r(empty);
  EXPECT_THROW(r.EndOfList(), EReadError);
}

TEST_F(Registered, EmptyListAndNilElementsAreExactBytes) {
  TPersistentObjectList list;
  EXPECT_EQ(ToBytes(list.SaveToString()), (Bytes{2, 0, 1, 0}));
  list.Add(nullptr);
  EXPECT_EQ(ToBytes(list.SaveToString()), (Bytes{2, 0, 1, 8, 2, 0, 0}));
  TPersistentObjectList back;
  back.LoadFromString(list.SaveToString());
  ASSERT_EQ(back.Count(), 1);
  EXPECT_EQ(back[0], nullptr);
}

TEST_F(Registered, ClassNameIsWrittenOnceAndElementsComeBack) {
  TPersistentObjectList list;
  TSample a, b, c;
  a.value = 5;
  b.value = 300;
  c.value = -7;
  list.Add(&a);
  list.Add(&b);
  list.Add(nullptr);
  list.Add(&c);
  const Bytes bytes = ToBytes(list.SaveToString());
  const Bytes expected = {2,  0,   1,  // version, list
                          18, 7,   0, 0,   0, 'T',  0,    'S', 0, 'a', 0, 'm',
                          0,  'p', 0, 'l', 0, 'e',  0,    2,   0, 2,   5,  // a
                          2,  0,   2, 0,   3, 0x2C, 0x01,                  // index 0, b
                          8,  2,   0,                                      // nil
                          2,  0,   2, 0,   2, 0xF9,                        // index 0, c
                          0};
  EXPECT_EQ(bytes, expected);

  TPersistentObjectList back;
  std::vector<TObject*> created;
  TMemoryStream ms(FromBytes(bytes));
  TBinaryReader reader(ms);
  back.ReadFromFilerWithEvent(reader, [&](TObject*, TObject* o) { created.push_back(o); });
  ASSERT_EQ(back.Count(), 4);
  EXPECT_EQ(created.size(), 3u);
  EXPECT_EQ(dynamic_cast<TSample*>(back[0])->value, 5);
  EXPECT_EQ(dynamic_cast<TSample*>(back[1])->value, 300);
  EXPECT_EQ(back[2], nullptr);
  EXPECT_EQ(dynamic_cast<TSample*>(back[3])->value, -7);
  back.FreeItemsAndClear();
}

TEST_F(Registered, HostileListArchivesFail) {
  struct Case {
    Bytes data;
    const char* message;  // nullptr: any archive error
  };
  const Case cases[] = {
      {{2, 1, 1, 0}, "TPersistentObjectList : unknown archive version 1"},
      {{2, 0, 1, 2, 0, 0}, "Broken ObjectList archive"},     // class index with an empty table
      {{2, 0, 1, 2, 0xFF, 0}, "Broken ObjectList archive"},  // negative class index
      {{2, 0, 1, 8, 4, 0x10, 0x20, 0x30, 0x40, 0}, "Broken ObjectList archive"},  // a pointer value
      {{2, 0, 1, 5, 0}, "Broken ObjectList archive"},                             // unexpected tag
      {{2, 0, 1, 6, 3, 'T', 'Z', 'Z', 0}, "Class TZZ not found"},
      {{2, 0, 1, 8, 2, 0}, nullptr},  // no list end
      {{2, 0, 1}, nullptr},
      {{2, 0, 1, 6, 7, 'T', 'S', 'a', 'm', 'p', 'l', 'e', 2, 0}, nullptr},  // element cut short
      {{2, 0, 1, 6, 200, 'T'}, nullptr},
      {{2, 0}, nullptr},
  };
  for (const Case& c : cases) {
    TPersistentObjectList list;
    try {
      list.LoadFromString(FromBytes(c.data));
      ADD_FAILURE() << "no error for case " << (c.message ? c.message : "");
    } catch (const common::Exception& e) {
      if (c.message) {
        EXPECT_STREQ(e.what(), c.message);
      }
    }
    list.FreeItemsAndClear();
  }
  // Deeply nested lists fail instead of exhausting the stack.
  std::string deep;
  const std::string head = FromBytes({2, 0, 1, 6, 21});
  for (int i = 0; i < 5000; ++i) deep += head + "TPersistentObjectList";
  TPersistentObjectList list;
  EXPECT_THROW(list.LoadFromString(deep), common::Exception);
  list.FreeItemsAndClear();
}

TEST_F(Registered, ArchivesThatFailPartWayFreeWhatTheyRead) {
  // outer: [counted, inner: [counted, counted], counted]
  TCounted a, b, c, d;
  TPersistentObjectList inner, outer;
  inner.Add(&b);
  inner.Add(&c);
  outer.Add(&a);
  outer.Add(&inner);
  outer.Add(&d);
  const std::string whole = outer.SaveToString();
  ASSERT_EQ(TCounted::alive, 4);
  // The archive ends with b (4 bytes: version, value), c's class index (2), c (4), the inner
  // list's end (1), d's class index (2), d (4) and the outer list's end (1). It breaks after b,
  // before the inner list's end, and inside d (the inner list then complete).
  const size_t n = whole.size();
  const size_t cuts[] = {n - 13, n - 8, n - 3};
  for (size_t cut : cuts) {
    TPersistentObjectList back;
    EXPECT_THROW(back.LoadFromString(whole.substr(0, cut)), common::Exception) << "cut at " << cut;
    EXPECT_EQ(back.Count(), 0) << "cut at " << cut;
    EXPECT_EQ(TCounted::alive, 4) << "cut at " << cut;
  }
  // The whole archive reads back; its reader frees the tree.
  TPersistentObjectList back;
  back.LoadFromString(whole);
  ASSERT_EQ(back.Count(), 3);
  EXPECT_EQ(TCounted::alive, 8);
  auto* innerBack = dynamic_cast<TPersistentObjectList*>(back[1]);
  ASSERT_NE(innerBack, nullptr);
  EXPECT_EQ(innerBack->Count(), 2);
  innerBack->FreeItemsAndClear();
  back.FreeItemsAndClear();
  EXPECT_EQ(TCounted::alive, 4);
}

TEST_F(Registered, NonPersistentElementsAreNotArchived) {
  TPersistentObjectList list;
  TPlainObject plain;
  list.Add(&plain);
  EXPECT_THROW(list.SaveToString(), EWriteError);
}

TEST_F(Registered, ListOperations) {
  TPersistentObjectList list;
  TSample items[4];
  EXPECT_EQ(list.Pop(), nullptr);
  EXPECT_EQ(list.Count(), 0);
  for (int i = 0; i < 17; ++i) list.Add(&items[i % 4]);
  EXPECT_EQ(list.Capacity(), 32);
  list.Insert(list.Count(), &items[3]);
  EXPECT_EQ(list[17], &items[3]);
  list.Delete(list.Count() - 1);
  EXPECT_EQ(list.Count(), 17);
  list.Insert(0, &items[2]);
  EXPECT_EQ(list[0], &items[2]);
  EXPECT_EQ(list[1], &items[0]);
  EXPECT_EQ(list.Remove(&items[1]), 2);
  EXPECT_EQ(list.IndexOf(&items[1]), 5);
  EXPECT_EQ(list.Pop(), &items[0]);
  EXPECT_THROW(list.Get(100), EListError);
  EXPECT_THROW(list.Insert(-1, nullptr), EListError);
  EXPECT_THROW(list.Delete(list.Count()), EListError);
  try {
    list.Get(-1);
  } catch (const EListError& e) {
    EXPECT_STREQ(e.what(), "Invalid list index");
  }
  TPersistentObjectList two;
  two.Add(&items[0]);
  two.Add(&items[1]);
  two.SetCount(5);
  EXPECT_EQ(two[2], nullptr);
  EXPECT_EQ(two[4], nullptr);
  two.SetCapacity(1);
  EXPECT_EQ(two.Count(), 1);
  two.Clear();
  EXPECT_EQ(two.Capacity(), 0);
}

TEST_F(Registered, FreeItemsToleratesItemsThatRemoveOthers) {
  struct TSelfRemoving : TObject {
    TPersistentObjectList* list;
    TObject* other;
    ~TSelfRemoving() override {
      if (other) {
        list->Remove(other);
        delete other;
      }
    }
  };
  TPersistentObjectList list;
  auto* a = new TSelfRemoving;
  auto* b = new TSelfRemoving;
  a->list = b->list = &list;
  a->other = nullptr;
  b->other = a;  // b is freed first and takes a with it
  list.Add(a);
  list.Add(b);
  list.FreeItemsAndClear();
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(Registered, AssignCloneAndSignatures) {
  TSample a;
  a.value = 42;
  {
    TMemoryStream ms(a.SaveToString());
    TBinaryReader reader(ms);
    EXPECT_EQ(CreateFromFiler<TSample>(reader)->value, 42);
  }
  auto clone = a.CreateClone();
  EXPECT_EQ(dynamic_cast<TSample*>(clone.get())->value, 42);
  TSigned s;
  EXPECT_THROW(s.Assign(&a), EConvertError);  // different persistent classes never go through an archive
  try {
    s.Assign(&a);
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TSample to a TSigned");
  }
  s.value = 9;
  const std::string data = s.SaveToString();
  EXPECT_EQ(data.substr(0, 4), "SIG1");
  TSigned back;
  back.LoadFromString(data);
  EXPECT_EQ(back.value, 9);
  EXPECT_THROW(back.LoadFromString("SIG2" + data.substr(4)), EInvalidFileSignature);
  EXPECT_THROW(back.LoadFromString("SI"), EInvalidFileSignature);
  // An unknown version of an object names its class.
  try {
    a.LoadFromString(FromBytes({2, 3, 2, 0}));
    FAIL();
  } catch (const EFilerException& e) {
    EXPECT_STREQ(e.what(), "TSample : unknown archive version 3");
  }
}

TEST_F(Registered, FilesAndMissingFiles) {
  const std::string dir = ::testing::TempDir() + "/scene3d_base_archive";
  std::filesystem::create_directories(dir);
  const std::string name = dir + "/sample.bin";
  TSample a;
  a.value = 1234567;
  a.SaveToFile(name);
  EXPECT_TRUE(FileStreamExists(name));
  TSample b;
  b.LoadFromFile(name);
  EXPECT_EQ(b.value, 1234567);
  const std::string missing = dir + "/missing.bin";
  try {
    b.LoadFromFile(missing);
    FAIL();
  } catch (const common::Exception& e) {
    EXPECT_EQ(std::string(e.what()), "File not found: \"" + missing + "\"");
  }
  EXPECT_THROW(CreateFileStream(missing, fmShareDenyWrite), common::Exception);
  EXPECT_FALSE(FileStreamExists(dir));
  auto created = CreateFileStream(missing, fmCreate);
  EXPECT_TRUE(FileStreamExists(missing));
  std::filesystem::remove_all(dir);
}
