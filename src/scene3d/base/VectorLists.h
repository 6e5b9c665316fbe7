#pragma once
// Typed growable lists of fixed-size items in one contiguous block: vertices, normals, texture
// coordinates, indices, sort keys. The block can be handed to GL as a client array.
//
// Growth: an append that finds the list full raises the capacity by the growth delta (16),
// never doubling; appends of several items repeat that until they fit; AddList, AddNulls and
// SetCount grow to the exact size. The capacity is what those rules say, but the memory behind
// it is reserved in larger steps and moved with realloc (items are trivially copyable), so
// growing one delta at a time costs no copy in the common case.
//
// The inline appends read the count once and store count + 1 from that copy after the item: an
// item written through an int or float pointer could, as far as the compiler knows, be the count
// itself, and re-reading it after the store would chain every append to the one before through
// memory (the preview mesh appends 393,216 indices one at a time).
//
// Every change marked "revision + 1" raises the revision counter that caches compare against.
// Get and Put do not check their index: it must lie in 0..Count()-1.
#include <cstdint>
#include <cstring>
#include <string>

#include "scene3d/base/PersistentClasses.h"
#include "scene3d/base/VectorGeometry.h"

namespace gl3d {

class TBaseList : public TPersistentObject {
 public:
  ~TBaseList() override;
  TBaseList(const TBaseList&) = delete;
  TBaseList& operator=(const TBaseList&) = delete;
  const char* ClassName() const override { return "TBaseList"; }

  int Count() const { return count_; }
  // Negative counts fail an assertion. Grows the capacity to exactly n when needed and
  // zero-fills the new items. Revision + 1.
  void SetCount(int n);
  int Capacity() const { return capacity_; }
  // Reallocates to n items (the content up to the smaller size survives); does not change the
  // count, so callers lower the count first. Revision + 1 when the capacity changes.
  virtual void SetCapacity(int n);
  int GrowthDelta() const { return growthDelta_; }
  void SetGrowthDelta(int delta) { growthDelta_ = delta; }
  int Revision() const { return revision_; }
  void SetRevision(int revision) { revision_ = revision; }
  int ItemSize() const { return itemSize_; }
  const std::string& TagString() const { return tagString_; }
  void SetTagString(const std::string& tag) { tagString_ = tag; }
  // The item block (capacity items).
  void* BaseList() const { return block_; }

  // n zero-filled items after the last. Revision + 1.
  void AddNulls(int n);
  void EnsureCapacity(int n) {
    if (capacity_ < n) SetCapacity(n);
  }
  void* GetScratchItem();
  // Count 0, memory kept.
  void Flush() { SetCount(0); }
  // Count 0, memory released.
  void Clear();
  void Exchange(int index1, int index2);
  void Reverse();

  // nil: Clear. Another list: capacity and count of the source, its growth delta and tag; the
  // items themselves only from a list of the very same class (other new items are zero).
  void Assign(const TPersistent* source) override;
  // The stream property "Items": the archive as uppercase hexadecimal text.
  void DefineStoredProperties(TFiler& filer) override;
  virtual void ReadItemsData(TReader& reader);
  virtual void WriteItemsData(TWriter& writer) const;

  // Version 0, count, item size, then the raw items. A reader checks the version, that the item
  // size is this list's and that the items are in the data.
  void WriteToFiler(TVirtualWriter& writer) const override;
  void ReadFromFiler(TVirtualReader& reader) override;

 protected:
  explicit TBaseList(int itemSize);
  // Makes room for n more items by the growth rule (at least one step).
  void GrowForAppend(int n);
  void ZeroItems(int from, int to);

  uint8_t* block_ = nullptr;
  int count_ = 0;
  int capacity_ = 0;
  int growthDelta_ = 16;
  int revision_ = 0;
  int itemSize_;

 private:
  void* scratch_ = nullptr;
  int64_t reserved_ = 0;  // items the block can hold
  std::string tagString_;
};

// Lists whose items begin with three singles x, y, z. Items with fewer components (texture
// points) use only the components they have.
class TBaseVectorList : public TBaseList {
 public:
  const char* ClassName() const override { return "TBaseVectorList"; }
  // min starts at +infinity and max at -infinity on every axis.
  virtual void GetExtents(TVector3f& min, TVector3f& max) const;
  virtual TVector3f Sum() const;
  virtual void Normalize();
  virtual float MaxSpacing(const TBaseVectorList& other) const;
  virtual void Translate(const TVector3f& delta);
  virtual void TranslateByList(const TBaseVectorList& other);
  virtual void TranslateInvByList(const TBaseVectorList& other);
  virtual void Lerp(const TBaseVectorList& list1, const TBaseVectorList& list2, float lerpFactor) = 0;
  // Rotation angles (radians) interpolated through quaternions.
  void AngleLerp(const TBaseVectorList& list1, const TBaseVectorList& list2, float lerpFactor);
  void AngleCombine(const TBaseVectorList& other, float factor);
  virtual void Combine(const TBaseVectorList& other, float factor);
  void* GetItemAddress(int index) const { return block_ + static_cast<int64_t>(index) * itemSize_; }

  void WriteToFiler(TVirtualWriter& writer) const override;
  void ReadFromFiler(TVirtualReader& reader) override;

 protected:
  using TBaseList::TBaseList;
  int Components() const { return itemSize_ >= 12 ? 3 : itemSize_ / 4; }
  float Component(int index, int c) const;
  void SetComponent(int index, int c, float v);
};

class TAffineVectorList : public TBaseVectorList {
 public:
  TAffineVectorList() : TBaseVectorList(sizeof(TVector3f)) {}
  const char* ClassName() const override { return "TAffineVectorList"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;
  TVector3f* List() const { return reinterpret_cast<TVector3f*>(block_); }
  const TVector3f& Get(int index) const { return List()[index]; }
  TVector3f& operator[](int index) const { return List()[index]; }
  // Revision + 1.
  void Put(int index, const TVector3f& v) {
    List()[index] = v;
    ++revision_;
  }

  // Revision + 1 for every append.
  int Add(const TVector3f& v) {
    const int index = count_;
    if (index == capacity_) GrowForAppend(1);
    List()[index] = v;
    ++revision_;
    count_ = index + 1;
    return index;
  }
  void AddThree(const TVector3f& a, const TVector3f& b, const TVector3f& c);
  int AddXY(float x, float y);
  void AddList(const TAffineVectorList* other);
  int IndexOf(const TVector3f& v) const;
  int FindOrAdd(const TVector3f& v);
  void Scale(float factor);
  void ScaleByVector(const TVector3f& v);
  void Translate(const TVector3f& delta) override;
  void Normalize() override;
  void Lerp(const TBaseVectorList& list1, const TBaseVectorList& list2, float lerpFactor) override;
};

class TVectorList : public TBaseVectorList {
 public:
  TVectorList() : TBaseVectorList(sizeof(TVector4f)) {}
  const char* ClassName() const override { return "TVectorList"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;
  TVector4f* List() const { return reinterpret_cast<TVector4f*>(block_); }
  const TVector4f& Get(int index) const { return List()[index]; }
  TVector4f& operator[](int index) const { return List()[index]; }
  void Put(int index, const TVector4f& v) { List()[index] = v; }

  // The appends leave the revision unchanged.
  int Add(const TVector4f& v) {
    const int index = count_;
    if (index == capacity_) GrowForAppend(1);
    List()[index] = v;
    count_ = index + 1;
    return index;
  }
  int AddAffine(const TVector3f& v, float w) { return Add({v.X, v.Y, v.Z, w}); }
  int AddPoint(const TVector3f& v) { return Add({v.X, v.Y, v.Z, 1}); }
  int AddPointXYZ(float x, float y, float z) { return Add({x, y, z, 1}); }
  void Lerp(const TBaseVectorList& list1, const TBaseVectorList& list2, float lerpFactor) override;
};

class TTexPointList : public TBaseVectorList {
 public:
  TTexPointList() : TBaseVectorList(sizeof(TTexPoint)) {}
  const char* ClassName() const override { return "TTexPointList"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;
  TTexPoint* List() const { return reinterpret_cast<TTexPoint*>(block_); }
  const TTexPoint& Get(int index) const { return List()[index]; }
  TTexPoint& operator[](int index) const { return List()[index]; }
  void Put(int index, const TTexPoint& v) { List()[index] = v; }
  void Lerp(const TBaseVectorList& list1, const TBaseVectorList& list2, float lerpFactor) override;
  // Texture point lists write no archive version of their own after the base list's.
  void WriteToFiler(TVirtualWriter& writer) const override;
  void ReadFromFiler(TVirtualReader& reader) override;
};

class TQuaternionList : public TBaseVectorList {
 public:
  TQuaternionList() : TBaseVectorList(sizeof(TQuaternion)) {}
  const char* ClassName() const override { return "TQuaternionList"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;
  TQuaternion* List() const { return reinterpret_cast<TQuaternion*>(block_); }
  const TQuaternion& Get(int index) const { return List()[index]; }
  TQuaternion& operator[](int index) const { return List()[index]; }
  void Put(int index, const TQuaternion& q) { List()[index] = q; }
  void Lerp(const TBaseVectorList& list1, const TBaseVectorList& list2, float lerpFactor) override;
  void Combine(const TBaseVectorList& other, float factor) override;
};

class TIntegerList : public TBaseList {
 public:
  TIntegerList() : TBaseList(sizeof(int32_t)) {}
  const char* ClassName() const override { return "TIntegerList"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;
  int32_t* List() const { return reinterpret_cast<int32_t*>(block_); }
  int32_t Get(int index) const { return List()[index]; }
  int32_t& operator[](int index) const { return List()[index]; }
  void Put(int index, int32_t v) { List()[index] = v; }
  // The appends leave the revision unchanged.
  int Add(int32_t v) {
    const int index = count_;
    if (index == capacity_) GrowForAppend(1);
    List()[index] = v;
    count_ = index + 1;
    return index;
  }
  void AddTwo(int32_t a, int32_t b) {
    const int index = count_;
    if (capacity_ - index < 2) GrowForAppend(2);
    int32_t* p = List() + index;
    p[0] = a;
    p[1] = b;
    count_ = index + 2;
  }
  void AddThree(int32_t a, int32_t b, int32_t c) {
    const int index = count_;
    if (capacity_ - index < 3) GrowForAppend(3);
    int32_t* p = List() + index;
    p[0] = a;
    p[1] = b;
    p[2] = c;
    count_ = index + 3;
  }
};

class TSingleList : public TBaseList {
 public:
  TSingleList() : TBaseList(sizeof(float)) {}
  const char* ClassName() const override { return "TSingleList"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;
  float* List() const { return reinterpret_cast<float*>(block_); }
  float Get(int index) const { return List()[index]; }
  float& operator[](int index) const { return List()[index]; }
  void Put(int index, float v) { List()[index] = v; }
  int Add(float v) {
    const int index = count_;
    if (index == capacity_) GrowForAppend(1);
    List()[index] = v;
    count_ = index + 1;
    return index;
  }
};

class TDoubleList : public TBaseList {
 public:
  TDoubleList() : TBaseList(sizeof(double)) {}
  const char* ClassName() const override { return "TDoubleList"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;
  double* List() const { return reinterpret_cast<double*>(block_); }
  double Get(int index) const { return List()[index]; }
  double& operator[](int index) const { return List()[index]; }
  void Put(int index, double v) { List()[index] = v; }
};

class TByteList : public TBaseList {
 public:
  TByteList() : TBaseList(1) {}
  const char* ClassName() const override { return "TByteList"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;
  uint8_t* List() const { return block_; }
  uint8_t Get(int index) const { return block_[index]; }
  uint8_t& operator[](int index) const { return block_[index]; }
  void Put(int index, uint8_t v) { block_[index] = v; }
  int Add(uint8_t v) {
    const int index = count_;
    if (index == capacity_) GrowForAppend(1);
    block_[index] = v;
    count_ = index + 1;
    return index;
  }
};

// Four bytes, read and written as one 32-bit value.
union T4ByteData {
  uint8_t Bytes[4];
  uint32_t Int;
  float Float;
};
static_assert(sizeof(T4ByteData) == 4);

class T4ByteList : public TBaseList {
 public:
  T4ByteList() : TBaseList(sizeof(T4ByteData)) {}
  const char* ClassName() const override { return "T4ByteList"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;
  T4ByteData* List() const { return reinterpret_cast<T4ByteData*>(block_); }
  T4ByteData Get(int index) const { return List()[index]; }
  // Revision + 1.
  void Put(int index, T4ByteData v) {
    List()[index] = v;
    ++revision_;
  }
};

class TLongWordList : public TBaseList {
 public:
  TLongWordList() : TBaseList(sizeof(uint32_t)) {}
  const char* ClassName() const override { return "TLongWordList"; }
  std::unique_ptr<TPersistentObject> NewInstance() const override;
  uint32_t* List() const { return reinterpret_cast<uint32_t*>(block_); }
  uint32_t Get(int index) const { return List()[index]; }
  uint32_t& operator[](int index) const { return List()[index]; }
  void Put(int index, uint32_t v) { List()[index] = v; }
};

// Sorts keys[first..last] ascending and applies every exchange to objects at the same
// positions. Not stable.
void QuickSortLists(int first, int last, TSingleList& keys, TPersistentObjectList& objects);

// Registers the list classes that archives and stored properties may name.
void RegisterVectorListClasses();

}  // namespace gl3d
