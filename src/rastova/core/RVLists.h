#pragma once
// Small containers and stream helpers of the image library: growable lists of fixed-size
// items, a byte array that grows in steps, a hash set of 32-bit keys, a stream that stores
// nothing, length-prefixed 8-bit strings and the checked stream write of the writers.
#include <cstdint>
#include <string>
#include <vector>

#include "common/Exception.h"
#include "rastova/core/RVStream.h"

namespace rv {

// "Invalid class typecast".
class EInvalidCast : public common::Exception {
 public:
  using Exception::Exception;
};

// A growable array of items of `ItemSize` bytes in one heap block.
class TRVList {
 public:
  TRVList();
  virtual ~TRVList();
  TRVList(const TRVList&) = delete;
  TRVList& operator=(const TRVList&) = delete;

  // Grows the block to max(2 x capacity, newCount) when needed; never shrinks it.
  virtual void SetCount(int32_t newCount);
  // Removes one item, reallocating to exactly count - 1 items; a bad index does nothing.
  virtual void Delete(int32_t index);
  virtual void Clear();
  // Copies count, item size, flags and items; the capacity becomes the count.
  virtual void Assign(const TRVList* source);

  int32_t Add(const void* item);
  // No range check: callers keep the index within 0..Count - 1.
  uint8_t* ItemPtr(int32_t index) { return items_ + static_cast<int64_t>(index) * itemSize_; }
  const uint8_t* ItemPtr(int32_t index) const { return items_ + static_cast<int64_t>(index) * itemSize_; }
  // Ignored for an index outside 0..Count - 1.
  void SetItemData(int32_t index, const void* item);

  int32_t Count() const { return count_; }
  int32_t Capacity() const { return capacity_; }
  int32_t ItemSize() const { return itemSize_; }
  uint8_t Flags() const { return flags_; }
  const uint8_t* Items() const { return items_; }

 protected:
  void Reallocate(int32_t capacity, int32_t keep);
  int32_t capacity_ = 0;
  int32_t count_ = 0;
  int32_t itemSize_ = 0;
  uint8_t* items_ = nullptr;
  uint8_t flags_ = 0;
};

class TRVIntegerList : public TRVList {
 public:
  TRVIntegerList() { TRVIntegerList::Clear(); }
  void Clear() override;
  // Raises EInvalidCast after the common part when `source` is another kind of list.
  void Assign(const TRVList* source) override;
  int32_t GetItem(int32_t index) const;
  void SetItem(int32_t index, int32_t value);
  uint8_t Extra[16] = {};
};

class TRVDoubleList : public TRVList {
 public:
  TRVDoubleList() { TRVDoubleList::Clear(); }
  void Clear() override;
  void Assign(const TRVList* source) override;
  double GetItem(int32_t index) const;
  void SetItem(int32_t index, double value);
  uint8_t Extra[32] = {};
};

class TRVRecordList : public TRVList {
 public:
  explicit TRVRecordList(int32_t itemSize) { itemSize_ = itemSize; }
  uint8_t* GetItem(int32_t index) { return ItemPtr(index); }
  void SetItem(int32_t index, const void* item) { SetItemData(index, item); }
};

// A byte buffer that grows and shrinks in steps of the block size.
class TRVByteArray {
 public:
  explicit TRVByteArray(int32_t blockSize);
  ~TRVByteArray();
  TRVByteArray(const TRVByteArray&) = delete;
  TRVByteArray& operator=(const TRVByteArray&) = delete;

  void SetSize(int32_t newSize);
  void AppendByte(uint8_t value);
  // Grows by `count`, reads up to `count` bytes into the new tail, shrinks back to what
  // arrived and returns that number.
  int32_t AppendFromStream(TStream& stream, int32_t count);
  int32_t Size() const { return size_; }
  int32_t Capacity() const { return capacity_; }
  uint8_t* Data() { return data_; }

 private:
  void Reallocate(int32_t capacity);
  int32_t size_ = 0;
  int32_t capacity_ = 0;
  int32_t blockSize_ = 0;
  uint8_t* data_ = nullptr;
};

// One key of a chained bucket.
struct THash1Item {
  intptr_t key = 0;
  THash1Item* next = nullptr;
  void* data = nullptr;
};

// Hash set of keys with 2^bits buckets; the hash is the low bits of the key.
class THash1 {
 public:
  explicit THash1(int32_t bits);
  ~THash1();
  THash1(const THash1&) = delete;
  THash1& operator=(const THash1&) = delete;

  int32_t HashOf(intptr_t key) const { return static_cast<int32_t>(key & (bucketCount_ - 1)); }
  // 1 when the key was added, 0 when it was present.
  int32_t Insert(intptr_t key, int32_t& bucketIndex, THash1Item*& newItem);
  int32_t Add(intptr_t key);
  int32_t Count() const { return count_; }
  int32_t BucketCount() const { return bucketCount_; }
  // 0 empty, 1 one key, 2 a chain.
  int32_t BucketState(int32_t index) const { return states_[static_cast<size_t>(index)]; }
  // The first item of a chained bucket.
  const THash1Item* BucketChain(int32_t index) const;

 private:
  std::vector<intptr_t> values_;
  std::vector<uint8_t> states_;
  std::vector<void*> data_;
  int32_t bits_ = 0;
  int32_t bucketCount_ = 0;
  int32_t count_ = 0;
};

// Stores nothing; tracks position and size (the highest position reached) in 64 bits, so a
// writer can be run to learn how many bytes it would produce.
class TNulStream : public TStream {
 public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return size_; }

 private:
  int64_t Advance(int64_t count);
  int64_t position_ = 0;
  int64_t size_ = 0;
};

// A 32-bit little-endian length, then the bytes.
void SaveAnsiStringToStream(TStream& stream, const std::string& s);
// The length is checked against what the stream holds: EReadError when the bytes are not there.
void LoadAnsiStringFromStream(TStream& stream, std::string& s);
// Writes `count` bytes; sets `error` when the stream takes fewer (never clears it).
void SafeStreamWrite(TStream& stream, bool& error, const void* buffer, int64_t count);

}  // namespace rv
