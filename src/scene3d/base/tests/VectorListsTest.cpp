#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "scene3d/base/VectorLists.h"

using namespace gl3d;

namespace {

using Bytes = std::vector<uint8_t>;
std::string ListText(const Bytes& b) { return std::string(b.begin(), b.end()); }

struct Lists : ::testing::Test {
  void SetUp() override {
    RegisterPersistentClasses();
    RegisterVectorListClasses();
  }
};

}  // namespace

TEST_F(Lists, GrowthFollowsTheDeltaAndKeepsItems) {
  TAffineVectorList list;
  for (int i = 0; i < 16; ++i) list.Add({float(i), 0, 0});
  EXPECT_EQ(list.Capacity(), 16);
  list.Add({16, 0, 0});
  EXPECT_EQ(list.Capacity(), 32);

  TAffineVectorList three;
  for (int i = 0; i < 15; ++i) three.Add({0, 0, 0});
  EXPECT_EQ(three.Capacity(), 16);
  three.AddThree({1, 0, 0}, {2, 0, 0}, {3, 0, 0});
  EXPECT_EQ(three.Capacity(), 32);
  EXPECT_EQ(three.Count(), 18);
  EXPECT_EQ(three[17].X, 3);

  // Many appends keep every item, whatever the reservation behind the capacity.
  TIntegerList ints;
  for (int i = 0; i < 100000; ++i) ints.Add(i * 7);
  EXPECT_EQ(ints.Capacity(), 100000);
  for (int i = 0; i < 100000; i += 997) ASSERT_EQ(ints[i], i * 7);
  ints.AddTwo(1, 2);
  ints.AddThree(3, 4, 5);
  EXPECT_EQ(ints.Count(), 100005);
  EXPECT_EQ(ints.Capacity(), 100016);
  EXPECT_EQ(ints[100004], 5);

  // SetCount, AddNulls and AddList grow to the exact size and zero-fill.
  TSingleList s;
  s.SetCount(5);
  EXPECT_EQ(s.Capacity(), 5);
  EXPECT_EQ(s[4], 0);
  s.AddNulls(3);
  EXPECT_EQ(s.Capacity(), 8);
  TAffineVectorList a, b;
  b.Add({1, 2, 3});
  b.Add({4, 5, 6});
  a.AddList(&b);
  EXPECT_EQ(a.Capacity(), 2);
  a.AddList(&a);  // appending a list to itself
  EXPECT_EQ(a.Count(), 4);
  EXPECT_EQ(a[3].Z, 6);
  // A growth delta of 0 still grows.
  TByteList bytes;
  bytes.SetGrowthDelta(0);
  bytes.Add(1);
  bytes.Add(2);
  EXPECT_EQ(bytes.Count(), 2);
  EXPECT_THROW(bytes.SetCount(-1), common::EAssertionFailed);
}

TEST_F(Lists, RevisionCounters) {
  TVectorList v;
  v.SetCapacity(4);
  int r = v.Revision();
  v.Add({1, 2, 3, 4});
  v.AddPoint({1, 1, 1});
  EXPECT_EQ(v.Revision(), r);
  EXPECT_EQ(v[1].W, 1);

  TIntegerList i;
  i.SetCapacity(4);
  r = i.Revision();
  i.Add(3);
  EXPECT_EQ(i.Revision(), r);

  TAffineVectorList a;
  a.SetCapacity(4);
  r = a.Revision();
  a.Add({1, 1, 1});
  EXPECT_EQ(a.Revision(), r + 1);
  EXPECT_EQ(a.FindOrAdd({1, 1, 1}), 0);
  EXPECT_EQ(a.Revision(), r + 1);
  EXPECT_EQ(a.FindOrAdd({2, 2, 2}), 1);
  EXPECT_EQ(a.Revision(), r + 3);
  a.Put(0, {5, 5, 5});
  EXPECT_EQ(a.Revision(), r + 4);
  a.Scale(1);  // no change
  EXPECT_EQ(a.Revision(), r + 4);
  a.Scale(2);
  EXPECT_EQ(a[0].X, 10);
  EXPECT_EQ(a.Revision(), r + 5);
  a.SetCapacity(4);  // same capacity: nothing
  EXPECT_EQ(a.Revision(), r + 5);
}

TEST_F(Lists, VectorOperations) {
  TAffineVectorList empty;
  TVector3f mn, mx;
  empty.GetExtents(mn, mx);
  EXPECT_EQ(mn.X, std::numeric_limits<float>::infinity());
  EXPECT_EQ(mx.Z, -std::numeric_limits<float>::infinity());

  TAffineVectorList a;
  a.Add({1, -2, 3});
  a.Add({-4, 5, 0});
  a.GetExtents(mn, mx);
  EXPECT_EQ(mn.X, -4);
  EXPECT_EQ(mn.Y, -2);
  EXPECT_EQ(mx.Z, 3);
  const TVector3f s = a.Sum();
  EXPECT_EQ(s.X, -3);
  EXPECT_EQ(s.Y, 3);
  a.Translate({1, 1, 1});
  EXPECT_EQ(a[0].X, 2);
  TAffineVectorList b;
  b.Add({2, -1, 4});
  b.Add({-3, 6, 2});
  EXPECT_FLOAT_EQ(a.MaxSpacing(b), 1);
  a.TranslateInvByList(b);
  EXPECT_EQ(a[1].Z, -1);
  a.TranslateByList(b);
  a.Combine(b, 0.5f);
  EXPECT_FLOAT_EQ(a[0].Z, 6);
  a.Normalize();
  EXPECT_NEAR(VectorLength3f(a[0]), 1, 1e-6);
  TAffineVectorList shorter;
  EXPECT_THROW(a.MaxSpacing(shorter), common::EAssertionFailed);
  EXPECT_THROW(a.TranslateByList(shorter), common::EAssertionFailed);

  TAffineVectorList l1, l2, out;
  l1.Add({0, 0, 0});
  l2.Add({2, 4, 6});
  out.Lerp(l1, l2, 0.5f);
  EXPECT_EQ(out.Count(), 1);
  EXPECT_EQ(out[0].Y, 2);
  TVectorList other;
  out.Lerp(l1, other, 0.5f);  // not the receiver's class: nothing happens
  EXPECT_EQ(out[0].Y, 2);
  l2.Add({1, 1, 1});
  EXPECT_THROW(out.Lerp(l1, l2, 0.5f), common::EAssertionFailed);

  // Texture points have two components: vector operations never touch a third one.
  TTexPointList tex;
  tex.SetCount(2);
  tex.Put(0, {1, 2});
  tex.Put(1, {3, 4});
  tex.Translate({1, 1, 100});
  EXPECT_EQ(tex[0].S, 2);
  EXPECT_EQ(tex[0].T, 3);
  EXPECT_EQ(tex[1].S, 4);
  tex.GetExtents(mn, mx);
  EXPECT_EQ(mx.Y, 5);
  EXPECT_EQ(mx.Z, 0);
}

TEST_F(Lists, AngleLerpAndQuaternions) {
  TAffineVectorList a1, a2, out;
  a1.Add({0, 0, 0});
  a2.Add({0, 0, 1});
  out.AngleLerp(a1, a2, 0.5f);
  EXPECT_NEAR(out[0].Z, 0.5f, 1e-4);
  out.AngleLerp(a1, a2, 1);
  EXPECT_EQ(out[0].Z, 1);

  TQuaternionList q1, q2, q;
  q1.SetCount(1);
  q2.SetCount(1);
  q1.Put(0, IdentityQuaternion);
  TQuaternion z90;
  QuaternionFromAxisAngle({0, 0, 1}, 90, z90);
  q2.Put(0, z90);
  q.Lerp(q1, q2, 0.5f);
  TQuaternion z45;
  QuaternionFromAxisAngle({0, 0, 1}, 45, z45);
  EXPECT_NEAR(q[0].Z, z45.Z, 1e-6);
  q.Combine(q2, 0.5f);  // 45 + 45 degrees
  EXPECT_NEAR(q[0].Z, z90.Z, 1e-6);
  EXPECT_NEAR(q[0].W, z90.W, 1e-6);
}

TEST_F(Lists, ExchangeReverseAndSort) {
  TSingleList keys;
  for (float k : {3.0f, -2.0f, -1.0f, 0.0f}) keys.Add(k);
  TPersistentObjectList objects;
  TSingleList A, B, C, D;
  for (TObject* o : std::vector<TObject*>{&A, &B, &C, &D}) objects.Add(o);
  QuickSortLists(0, 3, keys, objects);
  EXPECT_EQ(keys[0], -2);
  EXPECT_EQ(keys[1], -1);
  EXPECT_EQ(keys[2], 0);
  EXPECT_EQ(keys[3], 3);
  EXPECT_EQ(objects[0], &B);
  EXPECT_EQ(objects[1], &C);
  EXPECT_EQ(objects[2], &D);
  EXPECT_EQ(objects[3], &A);

  // A larger run with duplicates and negative keys comes out ordered and still paired.
  TSingleList k2;
  TPersistentObjectList o2;
  std::vector<TSingleList> owners(200);
  for (int i = 0; i < 200; ++i) {
    k2.Add(static_cast<float>((i * 37) % 23) - 11);
    o2.Add(&owners[i]);
  }
  std::vector<std::pair<TObject*, float>> before;
  for (int i = 0; i < 200; ++i) before.push_back({o2[i], k2[i]});
  QuickSortLists(0, 199, k2, o2);
  for (int i = 1; i < 200; ++i) ASSERT_LE(k2[i - 1], k2[i]);
  for (int i = 0; i < 200; ++i) {
    const int original = static_cast<int>(&dynamic_cast<TSingleList&>(*o2[i]) - owners.data());
    ASSERT_EQ(before[original].second, k2[i]);
  }

  TAffineVectorList v;
  for (int i = 0; i < 5; ++i) v.Add({float(i), 0, 0});
  v.Reverse();
  EXPECT_EQ(v[0].X, 4);
  EXPECT_EQ(v[4].X, 0);
  v.Exchange(0, 4);
  EXPECT_EQ(v[0].X, 0);
}

namespace {

// The partition sort written the plain way, down to pairs: the order QuickSortLists must give,
// equal keys included.
void PlainQuickSort(int first, int last, std::vector<float>& k, std::vector<int>& o) {
  if (last - first > 1) {
    int i;
    do {
      i = first;
      int j = last;
      const float pivot = k[static_cast<size_t>((i + j) >> 1)];
      do {
        while (k[static_cast<size_t>(i)] < pivot) ++i;
        while (k[static_cast<size_t>(j)] > pivot) --j;
        if (i <= j) {
          std::swap(k[static_cast<size_t>(i)], k[static_cast<size_t>(j)]);
          std::swap(o[static_cast<size_t>(i)], o[static_cast<size_t>(j)]);
          ++i;
          --j;
        }
      } while (i <= j);
      if (first < j) PlainQuickSort(first, j, k, o);
      first = i;
    } while (i < last);
  } else if (last - first > 0 && k[static_cast<size_t>(last)] < k[static_cast<size_t>(first)]) {
    std::swap(k[static_cast<size_t>(first)], k[static_cast<size_t>(last)]);
    std::swap(o[static_cast<size_t>(first)], o[static_cast<size_t>(last)]);
  }
}

}  // namespace

TEST_F(Lists, QuickSortGivesThePlainPartitionOrder) {
  // Short ranges whose keys all differ are sorted another way; any equal keys, signed zeros or
  // NaNs in a range must still leave it in the order of the partitions.
  std::mt19937 random(41);
  const float specials[] = {0.0f, -0.0f, std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()};
  std::vector<TSingleList> owners(600);
  for (int round = 0; round < 300; ++round) {
    const int n = 1 + static_cast<int>(random() % (round % 5 == 0 ? 40 : 600));
    // Few distinct values in some rounds, so that most short ranges hold equal keys.
    const int spread = round % 3 == 0 ? 1 + static_cast<int>(random() % 8) : 1000000;
    std::vector<float> k(static_cast<size_t>(n));
    std::vector<int> o(static_cast<size_t>(n));
    TSingleList keys;
    TPersistentObjectList objects;
    for (int i = 0; i < n; ++i) {
      float key =
          static_cast<float>(static_cast<int>(random() % static_cast<unsigned>(spread)) - spread / 2) / 7;
      if (round % 4 == 1 && random() % 40 == 0) key = specials[random() % std::size(specials)];
      k[static_cast<size_t>(i)] = key;
      o[static_cast<size_t>(i)] = i;
      keys.Add(key);
      objects.Add(&owners[static_cast<size_t>(i)]);
    }
    const int first = round % 2 ? static_cast<int>(random() % static_cast<unsigned>(n)) : 0;
    const int last = first + static_cast<int>(random() % static_cast<unsigned>(n - first));
    PlainQuickSort(first, last, k, o);
    QuickSortLists(first, last, keys, objects);
    for (int i = 0; i < n; ++i) {
      const float got = keys[i], want = k[static_cast<size_t>(i)];
      ASSERT_EQ(std::memcmp(&got, &want, sizeof(float)), 0) << "round " << round << ", position " << i;
      ASSERT_EQ(objects[i], &owners[static_cast<size_t>(o[static_cast<size_t>(i)])])
          << "round " << round << ", position " << i;
    }
  }
}

TEST_F(Lists, QuickSortOfALongRangeWithOneOddKey) {
  // Long ranges whose keys all differ are sorted another way too; a single pair of equal keys,
  // of signed zeros or a single NaN among them must bring back the order of the partitions.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    const char* name;
    float a, b;  // put at two places of otherwise distinct keys
  };
  const Case cases[] = {{"distinct", 1e6f, -1e6f},
                        {"equal pair", 3.5f, 3.5f},
                        {"signed zeros", -0.0f, 0.0f},
                        {"a NaN", nan, 2e6f},
                        {"infinities", std::numeric_limits<float>::infinity(), -0.0f}};
  std::mt19937 random(5);
  std::vector<TSingleList> owners(300);
  for (const Case& c : cases)
    for (const int n : {64, 65, 300}) {
      std::vector<float> k(static_cast<size_t>(n));
      std::vector<int> o(static_cast<size_t>(n));
      for (int i = 0; i < n; ++i) {
        k[static_cast<size_t>(i)] = static_cast<float>(i * 7 % n) - 0.25f * static_cast<float>(n);
        o[static_cast<size_t>(i)] = i;
      }
      std::shuffle(k.begin(), k.end(), random);
      k[static_cast<size_t>(n / 3)] = c.a;
      k[static_cast<size_t>(n - 2)] = c.b;
      TSingleList keys;
      TPersistentObjectList objects;
      for (int i = 0; i < n; ++i) {
        keys.Add(k[static_cast<size_t>(i)]);
        objects.Add(&owners[static_cast<size_t>(i)]);
      }
      PlainQuickSort(0, n - 1, k, o);
      QuickSortLists(0, n - 1, keys, objects);
      for (int i = 0; i < n; ++i) {
        const float got = keys[i], want = k[static_cast<size_t>(i)];
        ASSERT_EQ(std::memcmp(&got, &want, sizeof(float)), 0)
            << c.name << ", " << n << " keys, position " << i;
        ASSERT_EQ(objects[i], &owners[static_cast<size_t>(o[static_cast<size_t>(i)])])
            << c.name << ", " << n << " keys, position " << i;
      }
    }
}

TEST_F(Lists, AssignBetweenLists) {
  TIntegerList ints;
  ints.Add(7);
  ints.Add(8);
  ints.SetTagString("tag");
  ints.SetGrowthDelta(5);
  TIntegerList copy;
  copy.Assign(&ints);
  EXPECT_EQ(copy.Count(), 2);
  EXPECT_EQ(copy[1], 8);
  EXPECT_EQ(copy.TagString(), "tag");
  EXPECT_EQ(copy.GrowthDelta(), 5);

  TSingleList singles;
  singles.Assign(&ints);  // count set, no items copied
  EXPECT_EQ(singles.Count(), 2);
  EXPECT_EQ(singles[0], 0);

  copy.Assign(nullptr);
  EXPECT_EQ(copy.Count(), 0);
  EXPECT_EQ(copy.Capacity(), 0);

  auto clone = ints.CreateClone();
  EXPECT_EQ(dynamic_cast<TIntegerList&>(*clone)[0], 7);
}

TEST_F(Lists, ArchivesAndItemsProperty) {
  TVectorList v;
  v.Add({1, 2, 3, 4});
  TTexPointList t;
  t.SetCount(1);
  const std::string vs = v.SaveToString(), ts = t.SaveToString();
  // Version, count, item size, items, then the vector part's own version.
  EXPECT_EQ(vs, ListText({2, 0, 2, 1, 2, 16}) + std::string(reinterpret_cast<const char*>(v.List()), 16) +
                    ListText({2, 0}));
  // A texture point list has one version integer fewer.
  EXPECT_EQ(ts.size(), 6u + 8);

  TVectorList back;
  back.LoadFromString(vs);
  EXPECT_EQ(back.Count(), 1);
  EXPECT_EQ(back[0].W, 4);
  TTexPointList tback;
  tback.LoadFromString(ts);
  EXPECT_EQ(tback.Count(), 1);

  // A list inside an object list comes back as the right class.
  TPersistentObjectList holder;
  holder.Add(&v);
  holder.Add(&t);
  TPersistentObjectList read;
  read.LoadFromString(holder.SaveToString());
  ASSERT_EQ(read.Count(), 2);
  EXPECT_STREQ(read[0]->ClassName(), "TVectorList");
  EXPECT_EQ(dynamic_cast<TTexPointList*>(read[1])->Count(), 1);
  read.FreeItemsAndClear();

  // The "Items" property holds the archive as hexadecimal text.
  TMemoryStream ms;
  TWriter w(ms);
  w.WriteDefinedProperties(v);
  ms.SetPosition(0);
  TVectorList fromProperty;
  TReader r(ms);
  r.ReadDefinedProperties(fromProperty);
  EXPECT_EQ(fromProperty.Count(), 1);
  EXPECT_EQ(fromProperty[0].Z, 3);
  const std::string text = ms.DataString();
  EXPECT_NE(text.find("0200020102"), std::string::npos);
}

TEST_F(Lists, HostileListArchivesAreRejected) {
  struct Case {
    Bytes data;
    const char* message;
  };
  const Case cases[] = {
      {{2, 1, 2, 0, 2, 12}, "TAffineVectorList : unknown archive version 1"},
      {{2, 0, 2, 1, 2, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0},
       "TAffineVectorList : item size 16 in the archive, 12 expected"},
      {{2, 0, 2, 2, 2, 12, 1, 2, 3}, "Stream read error"},              // items cut short
      {{2, 0, 4, 0xFF, 0xFF, 0xFF, 0x7F, 2, 12}, "Stream read error"},  // 2^31 - 1 items claimed
      {{2, 0, 2, 0xFF, 2, 12}, "Stream read error"},                    // negative count
      {{2, 0, 2, 0, 2, 12, 2, 5}, "TAffineVectorList : unknown archive version 5"},
      {{2, 0, 2, 0}, "Stream read error"},
  };
  for (const Case& c : cases) {
    TAffineVectorList list;
    list.Add({9, 9, 9});
    try {
      list.LoadFromString(ListText(c.data));
      ADD_FAILURE() << "no error: " << c.message;
    } catch (const common::Exception& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
  // A wrong first version leaves the list unchanged.
  TAffineVectorList list;
  list.Add({9, 9, 9});
  EXPECT_THROW(list.LoadFromString(ListText({2, 1})), EFilerException);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0].X, 9);
  // Bad hexadecimal text in the "Items" property.
  TMemoryStream ms;
  TWriter w(ms);
  w.WritePropName("Items");
  w.WriteString("02ZZ");
  w.WriteListEnd();
  ms.SetPosition(0);
  TReader r(ms);
  EXPECT_THROW(r.ReadDefinedProperties(list), EReadError);
}
