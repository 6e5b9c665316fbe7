#include "scene3d/base/VectorLists.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <typeinfo>
#include <utility>

#include "common/Exception.h"

namespace gl3d {

namespace {

constexpr const char* kAssertText = "Assertion failure (VectorLists)";

[[noreturn]] void CapacityError(int64_t n) {
  throw EListError("List capacity out of bounds (" + std::to_string(n) + ")");
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

// ---- TBaseList ----

TBaseList::TBaseList(int itemSize) : itemSize_(itemSize) {}

TBaseList::~TBaseList() {
  std::free(block_);
  std::free(scratch_);
}

void TBaseList::SetCount(int n) {
  ZASSERT(n >= 0, kAssertText);
  if (n > capacity_) SetCapacity(n);
  if (n > count_) ZeroItems(count_, n);
  count_ = n;
  ++revision_;
}

void TBaseList::SetCapacity(int n) {
  if (n == capacity_) return;
  if (n < 0) CapacityError(n);
  if (n == 0) {
    std::free(block_);
    block_ = nullptr;
    reserved_ = 0;
  } else if (n > reserved_) {
    // Reserve geometrically behind the capacity the growth rule asks for.
    const int64_t wanted = std::max<int64_t>(n, reserved_ * 2);
    void* p = std::realloc(block_, static_cast<size_t>(wanted * itemSize_));
    if (!p) {
      p = std::realloc(block_, static_cast<size_t>(static_cast<int64_t>(n) * itemSize_));
      if (!p) throw std::bad_alloc();  // the list keeps its old block
      reserved_ = n;
    } else {
      reserved_ = wanted;
    }
    block_ = static_cast<uint8_t*>(p);
  } else if (n < reserved_ / 2) {
    if (void* p = std::realloc(block_, static_cast<size_t>(static_cast<int64_t>(n) * itemSize_))) {
      block_ = static_cast<uint8_t*>(p);
      reserved_ = n;
    }
  }
  capacity_ = n;
  // The items beyond the capacity are gone; the count cannot point past them.
  if (count_ > n) count_ = n;
  ++revision_;
}

void TBaseList::GrowForAppend(int n) {
  const int64_t needed = static_cast<int64_t>(count_) + n;
  if (needed <= capacity_) return;
  const int64_t step = growthDelta_ > 0 ? growthDelta_ : 1;
  const int64_t steps = (needed - capacity_ + step - 1) / step;
  const int64_t cap = capacity_ + steps * step;
  if (cap > std::numeric_limits<int>::max()) {
    if (needed > std::numeric_limits<int>::max()) CapacityError(needed);
    SetCapacity(std::numeric_limits<int>::max());
  } else {
    SetCapacity(static_cast<int>(cap));
  }
}

void TBaseList::ZeroItems(int from, int to) {
  if (to > from)
    std::memset(block_ + static_cast<int64_t>(from) * itemSize_, 0,
                static_cast<size_t>(to - from) * itemSize_);
}

void TBaseList::AddNulls(int n) {
  if (n <= 0) return;
  const int64_t needed = static_cast<int64_t>(count_) + n;
  if (needed > std::numeric_limits<int>::max()) CapacityError(needed);
  if (needed > capacity_) SetCapacity(static_cast<int>(needed));
  ZeroItems(count_, static_cast<int>(needed));
  count_ = static_cast<int>(needed);
  ++revision_;
}

void* TBaseList::GetScratchItem() {
  if (!scratch_) {
    scratch_ = std::malloc(static_cast<size_t>(itemSize_));
    if (!scratch_) throw std::bad_alloc();
  }
  return scratch_;
}

void TBaseList::Clear() {
  SetCount(0);
  SetCapacity(0);
}

void TBaseList::Exchange(int index1, int index2) {
  uint8_t* a = block_ + static_cast<int64_t>(index1) * itemSize_;
  uint8_t* b = block_ + static_cast<int64_t>(index2) * itemSize_;
  if (itemSize_ == 4) {
    uint32_t t, u;
    std::memcpy(&t, a, 4);
    std::memcpy(&u, b, 4);
    std::memcpy(a, &u, 4);
    std::memcpy(b, &t, 4);
  } else if (a != b) {
    void* s = GetScratchItem();
    std::memcpy(s, a, static_cast<size_t>(itemSize_));
    std::memcpy(a, b, static_cast<size_t>(itemSize_));
    std::memcpy(b, s, static_cast<size_t>(itemSize_));
  }
  ++revision_;
}

void TBaseList::Reverse() {
  for (int k = 0, j = count_ - 1; k < j; ++k, --j) Exchange(k, j);
  ++revision_;
}

void TBaseList::Assign(const TPersistent* source) {
  if (!source) {
    Clear();
    return;
  }
  if (auto* src = dynamic_cast<const TBaseList*>(source)) {
    if (src == this) return;
    SetCapacity(src->count_);
    growthDelta_ = src->growthDelta_;
    tagString_ = src->tagString_;
    const int old = count_;
    count_ = src->count_;
    ++revision_;
    if (typeid(*src) == typeid(*this)) {
      if (count_ > 0) std::memcpy(block_, src->block_, static_cast<size_t>(count_) * itemSize_);
    } else {
      ZeroItems(old, count_);
    }
    return;
  }
  TPersistentObject::Assign(source);
}

void TBaseList::DefineStoredProperties(TFiler& filer) {
  TPersistentObject::DefineStoredProperties(filer);
  filer.DefineProperty(
      "Items", [this](TReader& r) { ReadItemsData(r); }, [this](TWriter& w) { WriteItemsData(w); }, true);
}

void TBaseList::WriteItemsData(TWriter& writer) const {
  static const char kHex[] = "0123456789ABCDEF";
  const std::string data = SaveToString();
  std::string hex;
  hex.reserve(data.size() * 2);
  for (unsigned char c : data) {
    hex.push_back(kHex[c >> 4]);
    hex.push_back(kHex[c & 15]);
  }
  writer.WriteString(hex);
}

void TBaseList::ReadItemsData(TReader& reader) {
  const std::string hex = reader.ReadString();
  std::string data(hex.size() / 2, '\0');
  for (size_t i = 0; i < data.size(); ++i) {
    const int hi = HexDigit(hex[2 * i]), lo = HexDigit(hex[2 * i + 1]);
    if (hi < 0 || lo < 0) throw EReadError("Invalid property value");
    data[i] = static_cast<char>(hi * 16 + lo);
  }
  LoadFromString(data);
}

void TBaseList::WriteToFiler(TVirtualWriter& writer) const {
  TPersistentObject::WriteToFiler(writer);
  writer.WriteInteger(0);  // archive version
  writer.WriteInteger(count_);
  writer.WriteInteger(itemSize_);
  if (count_ > 0) writer.Write(block_, static_cast<int64_t>(count_) * itemSize_);
}

void TBaseList::ReadFromFiler(TVirtualReader& reader) {
  TPersistentObject::ReadFromFiler(reader);
  const int32_t version = reader.ReadInteger();
  if (version != 0) RaiseFilerException(version);
  const int32_t n = reader.ReadInteger();
  const int32_t size = reader.ReadInteger();
  if (size != itemSize_)
    throw EReadError(std::string(ClassName()) + " : item size " + std::to_string(size) + " in the archive, " +
                     std::to_string(itemSize_) + " expected");
  if (n < 0 || static_cast<int64_t>(n) * size > reader.Stream().Remaining())
    throw EReadError("Stream read error");
  count_ = 0;
  SetCapacity(n);
  if (n > 0) reader.Read(block_, static_cast<int64_t>(n) * size);
  count_ = n;
  ++revision_;
}

// ---- TBaseVectorList ----

float TBaseVectorList::Component(int index, int c) const {
  if (c >= Components()) return 0;
  float v;
  std::memcpy(&v, block_ + static_cast<int64_t>(index) * itemSize_ + c * 4, 4);
  return v;
}

void TBaseVectorList::SetComponent(int index, int c, float v) {
  if (c < Components()) std::memcpy(block_ + static_cast<int64_t>(index) * itemSize_ + c * 4, &v, 4);
}

void TBaseVectorList::GetExtents(TVector3f& min, TVector3f& max) const {
  const float inf = std::numeric_limits<float>::infinity();
  min = {inf, inf, inf};
  max = {-inf, -inf, -inf};
  for (int i = 0; i < count_; ++i)
    for (int c = 0; c < 3; ++c) {
      const float v = Component(i, c);
      if (!(v >= min[c])) min[c] = v;
      if (v > max[c]) max[c] = v;
    }
}

TVector3f TBaseVectorList::Sum() const {
  TVector3f s = NullVector3f;
  for (int i = 0; i < count_; ++i) AddVector3f(s, {Component(i, 0), Component(i, 1), Component(i, 2)});
  return s;
}

void TBaseVectorList::Normalize() {
  for (int i = 0; i < count_; ++i) {
    TVector3f v{Component(i, 0), Component(i, 1), Component(i, 2)};
    NormalizeVector3f(v);
    for (int c = 0; c < 3; ++c) SetComponent(i, c, v[c]);
  }
  ++revision_;
}

float TBaseVectorList::MaxSpacing(const TBaseVectorList& other) const {
  ZASSERT(other.count_ == count_, kAssertText);
  float result = 0;
  for (int i = 0; i < count_; ++i) {
    const float s = VectorSpacing3f({Component(i, 0), Component(i, 1), Component(i, 2)},
                                    {other.Component(i, 0), other.Component(i, 1), other.Component(i, 2)});
    if (s > result) result = s;
  }
  return result;
}

void TBaseVectorList::Translate(const TVector3f& delta) {
  for (int i = 0; i < count_; ++i)
    for (int c = 0; c < 3; ++c) SetComponent(i, c, Component(i, c) + delta[c]);
  ++revision_;
}

void TBaseVectorList::TranslateByList(const TBaseVectorList& other) {
  ZASSERT(other.count_ >= count_, kAssertText);
  for (int i = 0; i < count_; ++i)
    for (int c = 0; c < 3; ++c) SetComponent(i, c, Component(i, c) + other.Component(i, c));
  ++revision_;
}

void TBaseVectorList::TranslateInvByList(const TBaseVectorList& other) {
  ZASSERT(other.count_ >= count_, kAssertText);
  for (int i = 0; i < count_; ++i)
    for (int c = 0; c < 3; ++c) SetComponent(i, c, Component(i, c) - other.Component(i, c));
  ++revision_;
}

void TBaseVectorList::Combine(const TBaseVectorList& other, float factor) {
  ZASSERT(other.count_ >= count_, kAssertText);
  for (int i = 0; i < count_; ++i)
    for (int c = 0; c < 3; ++c)
      SetComponent(
          i, c,
          static_cast<float>(Component(i, c) + static_cast<long double>(factor) * other.Component(i, c)));
  ++revision_;
}

void TBaseVectorList::AngleLerp(const TBaseVectorList& list1, const TBaseVectorList& list2,
                                float lerpFactor) {
  ZASSERT(list1.count_ == list2.count_, kAssertText);
  if (&list1 == &list2 || lerpFactor == 0) {
    Assign(&list1);
  } else if (lerpFactor == 1) {
    Assign(&list2);
  } else {
    const int n = list1.count_;
    SetCapacity(n);
    if (n > count_) ZeroItems(count_, n);
    count_ = n;
    for (int i = 0; i < n; ++i) {
      TVector3f r;
      LerpEulerAngles3f({list1.Component(i, 0), list1.Component(i, 1), list1.Component(i, 2)},
                        {list2.Component(i, 0), list2.Component(i, 1), list2.Component(i, 2)}, lerpFactor, r);
      for (int c = 0; c < 3; ++c) SetComponent(i, c, r[c]);
    }
  }
  ++revision_;
}

void TBaseVectorList::AngleCombine(const TBaseVectorList& other, float factor) {
  ZASSERT(other.count_ == count_, kAssertText);
  for (int i = 0; i < count_; ++i)
    for (int c = 0; c < 3; ++c)
      SetComponent(
          i, c,
          static_cast<float>(Component(i, c) + static_cast<long double>(factor) * other.Component(i, c)));
  ++revision_;
}

void TBaseVectorList::WriteToFiler(TVirtualWriter& writer) const {
  TBaseList::WriteToFiler(writer);
  writer.WriteInteger(0);  // archive version of the vector part
}

void TBaseVectorList::ReadFromFiler(TVirtualReader& reader) {
  TBaseList::ReadFromFiler(reader);
  const int32_t version = reader.ReadInteger();
  if (version != 0) RaiseFilerException(version);
}

// ---- TAffineVectorList ----

std::unique_ptr<TPersistentObject> TAffineVectorList::NewInstance() const {
  return std::make_unique<TAffineVectorList>();
}

void TAffineVectorList::AddThree(const TVector3f& a, const TVector3f& b, const TVector3f& c) {
  if (capacity_ - count_ < 3) GrowForAppend(3);
  TVector3f* p = List() + count_;
  p[0] = a;
  p[1] = b;
  p[2] = c;
  count_ += 3;
  ++revision_;
}

int TAffineVectorList::AddXY(float x, float y) { return Add({x, y, 0}); }

void TAffineVectorList::AddList(const TAffineVectorList* other) {
  if (other && other->count_ > 0) {
    const int64_t needed = static_cast<int64_t>(count_) + other->count_;
    if (needed > std::numeric_limits<int>::max()) CapacityError(needed);
    if (needed > capacity_) SetCapacity(static_cast<int>(needed));
    // other may be this list: its block is taken after the reallocation.
    std::memcpy(List() + count_, other->List(), static_cast<size_t>(other->count_) * sizeof(TVector3f));
    count_ = static_cast<int>(needed);
  }
  ++revision_;
}

int TAffineVectorList::IndexOf(const TVector3f& v) const {
  const TVector3f* p = List();
  for (int i = 0; i < count_; ++i)
    if (VectorEquals3f(p[i], v)) return i;
  return -1;
}

int TAffineVectorList::FindOrAdd(const TVector3f& v) {
  int i = IndexOf(v);
  if (i < 0) {
    i = Add(v);
    ++revision_;
  }
  return i;
}

void TAffineVectorList::Scale(float factor) {
  if (count_ > 0 && factor != 1) {
    ScaleSingleArray(reinterpret_cast<float*>(block_), count_ * 3, factor);
    ++revision_;
  }
}

void TAffineVectorList::ScaleByVector(const TVector3f& v) {
  TVector3f* p = List();
  for (int i = 0; i < count_; ++i) ScaleVectorByVector3f(p[i], v);
  ++revision_;
}

void TAffineVectorList::Translate(const TVector3f& delta) {
  VectorArrayAdd3f(List(), delta, count_, List());
  ++revision_;
}

void TAffineVectorList::Normalize() {
  NormalizeVectorArray3f(List(), count_);
  ++revision_;
}

void TAffineVectorList::Lerp(const TBaseVectorList& list1, const TBaseVectorList& list2, float lerpFactor) {
  auto* l1 = dynamic_cast<const TAffineVectorList*>(&list1);
  auto* l2 = dynamic_cast<const TAffineVectorList*>(&list2);
  if (!l1 || !l2) return;
  ZASSERT(l1->count_ == l2->count_, kAssertText);
  SetCapacity(l1->count_);
  count_ = l1->count_;
  VectorArrayLerp3f(l1->List(), l2->List(), lerpFactor, count_, List());
  ++revision_;
}

// ---- TVectorList ----

std::unique_ptr<TPersistentObject> TVectorList::NewInstance() const {
  return std::make_unique<TVectorList>();
}

void TVectorList::Lerp(const TBaseVectorList& list1, const TBaseVectorList& list2, float lerpFactor) {
  auto* l1 = dynamic_cast<const TVectorList*>(&list1);
  auto* l2 = dynamic_cast<const TVectorList*>(&list2);
  if (!l1 || !l2) return;
  ZASSERT(l1->count_ == l2->count_, kAssertText);
  SetCapacity(l1->count_);
  count_ = l1->count_;
  VectorArrayLerp4f(l1->List(), l2->List(), lerpFactor, count_, List());
}

// ---- TTexPointList ----

std::unique_ptr<TPersistentObject> TTexPointList::NewInstance() const {
  return std::make_unique<TTexPointList>();
}

void TTexPointList::Lerp(const TBaseVectorList& list1, const TBaseVectorList& list2, float lerpFactor) {
  auto* l1 = dynamic_cast<const TTexPointList*>(&list1);
  auto* l2 = dynamic_cast<const TTexPointList*>(&list2);
  if (!l1 || !l2) return;
  ZASSERT(l1->count_ == l2->count_, kAssertText);
  SetCapacity(l1->count_);
  count_ = l1->count_;
  LerpTexPointArray(l1->List(), l2->List(), lerpFactor, count_, List());
}

void TTexPointList::WriteToFiler(TVirtualWriter& writer) const { TBaseList::WriteToFiler(writer); }

void TTexPointList::ReadFromFiler(TVirtualReader& reader) { TBaseList::ReadFromFiler(reader); }

// ---- TQuaternionList ----

std::unique_ptr<TPersistentObject> TQuaternionList::NewInstance() const {
  return std::make_unique<TQuaternionList>();
}

void TQuaternionList::Lerp(const TBaseVectorList& list1, const TBaseVectorList& list2, float lerpFactor) {
  auto* l1 = dynamic_cast<const TQuaternionList*>(&list1);
  auto* l2 = dynamic_cast<const TQuaternionList*>(&list2);
  if (!l1 || !l2) return;
  ZASSERT(l1->count_ == l2->count_, kAssertText);
  SetCapacity(l1->count_);
  count_ = l1->count_;
  for (int i = 0; i < count_; ++i) QuaternionSlerp(l1->List()[i], l2->List()[i], lerpFactor, List()[i]);
}

void TQuaternionList::Combine(const TBaseVectorList& other, float factor) {
  ZASSERT(other.Count() >= count_, kAssertText);
  if (auto* q = dynamic_cast<const TQuaternionList*>(&other)) {
    for (int i = 0; i < count_; ++i) {
      TQuaternion s, r;
      QuaternionSlerp(IdentityQuaternion, q->List()[i], factor, s);
      QuaternionMultiply(List()[i], s, r);
      List()[i] = r;
    }
  } else {
    TBaseVectorList::Combine(other, factor);
  }
}

// ---- Scalar lists ----

std::unique_ptr<TPersistentObject> TIntegerList::NewInstance() const {
  return std::make_unique<TIntegerList>();
}
std::unique_ptr<TPersistentObject> TSingleList::NewInstance() const {
  return std::make_unique<TSingleList>();
}
std::unique_ptr<TPersistentObject> TDoubleList::NewInstance() const {
  return std::make_unique<TDoubleList>();
}
std::unique_ptr<TPersistentObject> TByteList::NewInstance() const { return std::make_unique<TByteList>(); }
std::unique_ptr<TPersistentObject> T4ByteList::NewInstance() const { return std::make_unique<T4ByteList>(); }
std::unique_ptr<TPersistentObject> TLongWordList::NewInstance() const {
  return std::make_unique<TLongWordList>();
}

// ---- Sorting ----

namespace {

// Ranges of at most this many keys try SortSmallDistinct before they are partitioned.
constexpr int kSmallRange = 16;

// A range whose keys all differ has one ascending order, so any sort leaves it as the partitions
// below would; only equal keys (and NaNs, which compare with nothing) leave their order to the
// partitions' exchanges. Sorts a short range by insertion, far cheaper than partitioning it
// down to pairs, and writes it back only when no two keys are equal and none is a NaN (-0 and
// +0 are equal). False, with the range untouched, otherwise.
bool SortSmallDistinct(int first, int last, float* k, TObject** o) {
  const int n = last - first + 1;
  float keys[kSmallRange];
  TObject* objects[kSmallRange];
  for (int a = 0; a < n; ++a) {
    const float key = k[first + a];
    if (std::isnan(key)) return false;
    TObject* object = o[first + a];
    int b = a;
    for (; b > 0 && key < keys[b - 1]; --b) {
      keys[b] = keys[b - 1];
      objects[b] = objects[b - 1];
    }
    keys[b] = key;
    objects[b] = object;
  }
  for (int a = 1; a < n; ++a)
    if (keys[a - 1] == keys[a]) return false;
  std::memcpy(k + first, keys, sizeof(float) * static_cast<size_t>(n));
  std::memcpy(o + first, objects, sizeof(TObject*) * static_cast<size_t>(n));
  return true;
}

// Hoare's partition on the raw arrays; keys and objects exchange together.
void SortRange(int first, int last, float* k, TObject** o) {
  if (last - first > 1) {
    int i;
    do {
      // What is left, first..last, is sorted by this pass alone from here on.
      if (last - first < kSmallRange && SortSmallDistinct(first, last, k, o)) return;
      i = first;
      int j = last;
      const float pivot = k[(i + j) >> 1];
      do {
        while (k[i] < pivot) ++i;
        while (k[j] > pivot) --j;
        if (i <= j) {
          std::swap(k[i], k[j]);
          std::swap(o[i], o[j]);
          ++i;
          --j;
        }
      } while (i <= j);
      if (first < j) SortRange(first, j, k, o);
      first = i;
    } while (i < last);
  } else if (last - first > 0) {
    if (k[last] < k[first]) {
      std::swap(k[first], k[last]);
      std::swap(o[first], o[last]);
    }
  }
}

// Ranges of at least this many keys try SortLongDistinct before they are partitioned.
constexpr int kLongRange = 64;

// The key's bits as an unsigned number in the keys' order (NaNs aside; -0 comes just below +0).
uint32_t OrderedBits(float key) {
  uint32_t bits;
  std::memcpy(&bits, &key, sizeof bits);
  return bits & 0x80000000u ? ~bits : bits | 0x80000000u;
}

float FromOrderedBits(uint32_t bits) {
  bits = bits & 0x80000000u ? bits & 0x7FFFFFFFu : ~bits;
  float key;
  std::memcpy(&key, &bits, sizeof key);
  return key;
}

// The long-range counterpart of SortSmallDistinct, for the same reason: the keys' bits, each
// carrying its position, sorted as one array of integers rather than two arrays exchanged in step.
// Written back only when no two keys are equal and none is a NaN; false, with the range untouched,
// otherwise.
bool SortLongDistinct(int first, int last, float* k, TObject** o) {
  const size_t n = static_cast<size_t>(last - first + 1);
  k += first;
  o += first;
  // The ordered key in the high half, the position in the range in the low half.
  // Without the room the partitions, which need none, still sort the range.
  const std::unique_ptr<uint64_t[]> items(new (std::nothrow) uint64_t[n]);
  if (!items) return false;
  for (size_t a = 0; a < n; ++a) {
    if (std::isnan(k[a])) return false;
    items[a] = uint64_t{OrderedBits(k[a])} << 32 | a;
  }
  std::sort(items.get(), items.get() + n);
  // Equal keys now stand side by side, and so do -0 and +0.
  for (size_t a = 1; a < n; ++a) {
    const uint32_t before = static_cast<uint32_t>(items[a - 1] >> 32),
                   bits = static_cast<uint32_t>(items[a] >> 32);
    if (bits == before || (before == OrderedBits(-0.0f) && bits == OrderedBits(0.0f))) return false;
  }
  // Each item, once read, takes the object it places.
  for (size_t a = 0; a < n; ++a) {
    k[a] = FromOrderedBits(static_cast<uint32_t>(items[a] >> 32));
    items[a] = reinterpret_cast<uintptr_t>(o[static_cast<uint32_t>(items[a])]);
  }
  for (size_t a = 0; a < n; ++a) o[a] = reinterpret_cast<TObject*>(static_cast<uintptr_t>(items[a]));
  return true;
}

}  // namespace

void QuickSortLists(int first, int last, TSingleList& keys, TPersistentObjectList& objects) {
  if (last <= first) return;
  if (first < 0 || last >= keys.Count() || last >= objects.Count()) throw EListError("Invalid list index");
  if (last - first + 1 < kLongRange || !SortLongDistinct(first, last, keys.List(), objects.List()))
    SortRange(first, last, keys.List(), objects.List());
  keys.SetRevision(keys.Revision() + 1);
}

void RegisterVectorListClasses() {
  TPersistentObjectRegistry& r = TPersistentObjectRegistry::Instance();
  r.Register<TAffineVectorList>("TAffineVectorList");
  r.Register<TVectorList>("TVectorList");
  r.Register<TTexPointList>("TTexPointList");
  r.Register<TSingleList>("TSingleList");
  r.Register<TDoubleList>("TDoubleList");
  r.Register<T4ByteList>("T4ByteList");
  r.Register<TLongWordList>("TLongWordList");
}

}  // namespace gl3d
