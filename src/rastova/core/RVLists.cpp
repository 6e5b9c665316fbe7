#include "rastova/core/RVLists.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace rv {

namespace {
uint8_t* AllocItems(int64_t bytes) {
  if (bytes <= 0) return nullptr;
  if (bytes > std::numeric_limits<int32_t>::max()) throw std::bad_alloc();
  auto* p = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(bytes)));
  if (!p) throw std::bad_alloc();
  return p;
}
}  // namespace

// ---------------------------------------------------------------- TRVList

TRVList::TRVList() { TRVList::Clear(); }

TRVList::~TRVList() { std::free(items_); }

void TRVList::Clear() {
  std::free(items_);
  items_ = nullptr;
  capacity_ = 0;
  count_ = 0;
  flags_ = 0;
}

void TRVList::Reallocate(int32_t capacity, int32_t keep) {
  uint8_t* block = AllocItems(static_cast<int64_t>(capacity) * itemSize_);
  if (items_ && keep > 0 && block) std::memcpy(block, items_, static_cast<size_t>(int64_t(keep) * itemSize_));
  std::free(items_);
  items_ = block;
  capacity_ = capacity;
}

void TRVList::SetCount(int32_t newCount) {
  if (newCount < 0) newCount = 0;
  if (newCount > capacity_) {
    int64_t cap = std::max<int64_t>(int64_t(2) * capacity_, newCount);
    if (cap > std::numeric_limits<int32_t>::max()) cap = newCount;
    Reallocate(static_cast<int32_t>(cap), std::min(count_, newCount));
  }
  count_ = newCount;
  flags_ |= 1;
}

void TRVList::Delete(int32_t index) {
  if (index < 0 || index >= count_) return;
  int32_t n = count_ - 1;
  uint8_t* block = AllocItems(int64_t(n) * itemSize_);
  if (block) {
    size_t before = static_cast<size_t>(int64_t(index) * itemSize_);
    std::memcpy(block, items_, before);
    std::memcpy(block + before, items_ + before + itemSize_, static_cast<size_t>(int64_t(n - index) * itemSize_));
  }
  std::free(items_);
  items_ = block;
  count_ = capacity_ = n;
  flags_ |= 1;
}

int32_t TRVList::Add(const void* item) {
  int32_t index = count_;
  SetCount(count_ + 1);
  std::memcpy(ItemPtr(index), item, static_cast<size_t>(itemSize_));
  flags_ |= 1;
  return index;
}

void TRVList::SetItemData(int32_t index, const void* item) {
  if (index < 0 || index >= count_) return;
  std::memcpy(ItemPtr(index), item, static_cast<size_t>(itemSize_));
  flags_ |= 1;
}

void TRVList::Assign(const TRVList* source) {
  if (!source || source == this) return;
  uint8_t* block = AllocItems(int64_t(source->count_) * source->itemSize_);
  if (block) std::memcpy(block, source->items_, static_cast<size_t>(int64_t(source->count_) * source->itemSize_));
  std::free(items_);
  items_ = block;
  count_ = capacity_ = source->count_;
  itemSize_ = source->itemSize_;
  flags_ = source->flags_;
}

void TRVIntegerList::Clear() {
  TRVList::Clear();
  std::memset(Extra, 0, sizeof Extra);
  itemSize_ = 4;
}

void TRVIntegerList::Assign(const TRVList* source) {
  TRVList::Assign(source);
  if (!source) return;
  auto* s = dynamic_cast<const TRVIntegerList*>(source);
  if (!s) throw EInvalidCast("Invalid class typecast");
  std::memcpy(Extra, s->Extra, sizeof Extra);
}

int32_t TRVIntegerList::GetItem(int32_t index) const {
  int32_t v;
  std::memcpy(&v, ItemPtr(index), 4);
  return v;
}

void TRVIntegerList::SetItem(int32_t index, int32_t value) { SetItemData(index, &value); }

void TRVDoubleList::Clear() {
  TRVList::Clear();
  std::memset(Extra, 0, sizeof Extra);
  itemSize_ = 8;
}

void TRVDoubleList::Assign(const TRVList* source) {
  TRVList::Assign(source);
  if (!source) return;
  auto* s = dynamic_cast<const TRVDoubleList*>(source);
  if (!s) throw EInvalidCast("Invalid class typecast");
  std::memcpy(Extra, s->Extra, sizeof Extra);
}

double TRVDoubleList::GetItem(int32_t index) const {
  double v;
  std::memcpy(&v, ItemPtr(index), 8);
  return v;
}

void TRVDoubleList::SetItem(int32_t index, double value) { SetItemData(index, &value); }

// ---------------------------------------------------------------- TRVByteArray

TRVByteArray::TRVByteArray(int32_t blockSize) : blockSize_(std::max(blockSize, 1)) { Reallocate(blockSize_); }

TRVByteArray::~TRVByteArray() { std::free(data_); }

void TRVByteArray::Reallocate(int32_t capacity) {
  auto* block = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(std::max(capacity, 1))));
  if (!block) throw std::bad_alloc();
  if (data_) std::memcpy(block, data_, static_cast<size_t>(std::min(size_, capacity)));
  std::free(data_);
  data_ = block;
  capacity_ = capacity;
}

void TRVByteArray::SetSize(int32_t newSize) {
  if (newSize < 0) newSize = 0;
  int64_t wanted = int64_t(newSize) + blockSize_;
  if (newSize > size_) {
    if (newSize > capacity_) {
      if (wanted > std::numeric_limits<int32_t>::max()) throw std::bad_alloc();
      Reallocate(static_cast<int32_t>(wanted));
    }
  } else if (newSize < int64_t(capacity_) - blockSize_) {
    Reallocate(static_cast<int32_t>(wanted));
  }
  size_ = newSize;
}

void TRVByteArray::AppendByte(uint8_t value) {
  SetSize(size_ + 1);
  data_[size_ - 1] = value;
}

int32_t TRVByteArray::AppendFromStream(TStream& stream, int32_t count) {
  if (count <= 0) return 0;
  int32_t old = size_;
  SetSize(static_cast<int32_t>(std::min<int64_t>(int64_t(old) + count, std::numeric_limits<int32_t>::max())));
  int64_t got = stream.Read(data_ + old, size_ - old);
  if (got < 0) got = 0;
  if (old + got < size_) SetSize(static_cast<int32_t>(old + got));
  return static_cast<int32_t>(got);
}

// ---------------------------------------------------------------- THash1

THash1::THash1(int32_t bits) : bits_(std::clamp(bits, 0, 24)) {
  bucketCount_ = 1 << bits_;
  values_.assign(static_cast<size_t>(bucketCount_), 0);
  states_.assign(static_cast<size_t>(bucketCount_), 0);
  data_.assign(static_cast<size_t>(bucketCount_), nullptr);
}

THash1::~THash1() {
  for (size_t i = 0; i < states_.size(); ++i) {
    if (states_[i] != 2) continue;
    auto* item = reinterpret_cast<THash1Item*>(values_[i]);
    while (item) {
      THash1Item* next = item->next;
      delete item;
      item = next;
    }
  }
}

const THash1Item* THash1::BucketChain(int32_t index) const {
  return states_[static_cast<size_t>(index)] == 2 ? reinterpret_cast<const THash1Item*>(values_[static_cast<size_t>(index)])
                                                  : nullptr;
}

int32_t THash1::Insert(intptr_t key, int32_t& bucketIndex, THash1Item*& newItem) {
  newItem = nullptr;
  bucketIndex = HashOf(key);
  size_t b = static_cast<size_t>(bucketIndex);
  switch (states_[b]) {
    case 0:
      states_[b] = 1;
      values_[b] = key;
      break;
    case 1: {
      if (values_[b] == key) return 0;
      auto* added = new THash1Item{key, nullptr, nullptr};
      auto* head = new THash1Item{values_[b], added, data_[b]};
      values_[b] = reinterpret_cast<intptr_t>(head);
      states_[b] = 2;
      newItem = added;
      break;
    }
    default: {
      auto* item = reinterpret_cast<THash1Item*>(values_[b]);
      for (;;) {
        if (item->key == key) return 0;
        if (!item->next) break;
        item = item->next;
      }
      item->next = new THash1Item{key, nullptr, nullptr};
      newItem = item->next;
      break;
    }
  }
  ++count_;
  return 1;
}

int32_t THash1::Add(intptr_t key) {
  int32_t bucket;
  THash1Item* item;
  return Insert(key, bucket, item);
}

// ---------------------------------------------------------------- TNulStream

int64_t TNulStream::Advance(int64_t count) {
  if (count < 0) count = 0;
  position_ += count;
  if (position_ >= size_) size_ = position_;
  return count;
}

int64_t TNulStream::Read(void*, int64_t count) { return Advance(count); }
int64_t TNulStream::Write(const void*, int64_t count) { return Advance(count); }

int64_t TNulStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case soBeginning:
      position_ = offset;
      if (position_ >= size_) size_ = position_;
      break;
    case soCurrent:
      position_ += offset;
      if (position_ >= size_) size_ = position_;
      break;
    case soEnd: position_ = size_ + offset; break;
  }
  return position_;
}

// ---------------------------------------------------------------- stream helpers

void SaveAnsiStringToStream(TStream& stream, const std::string& s) {
  if (s.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) throw EWriteError("Stream write error");
  uint32_t n = static_cast<uint32_t>(s.size());
  uint8_t len[4] = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n >> 16),
                    static_cast<uint8_t>(n >> 24)};
  stream.WriteBuffer(len, 4);
  if (n) stream.WriteBuffer(s.data(), n);
}

void LoadAnsiStringFromStream(TStream& stream, std::string& s) {
  uint8_t len[4];
  stream.ReadBuffer(len, 4);
  uint32_t n = uint32_t(len[0]) | (uint32_t(len[1]) << 8) | (uint32_t(len[2]) << 16) | (uint32_t(len[3]) << 24);
  if (n > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) throw EReadError("Stream read error");
  if (!stream.IsCompressionStream() && static_cast<int64_t>(n) > stream.GetSize() - stream.GetPosition())
    throw EReadError("Stream read error");
  // Read in pieces so that a length the stream cannot back never turns into one huge allocation.
  std::string out;
  int64_t left = n;
  while (left > 0) {
    int64_t piece = std::min<int64_t>(left, 65536);
    size_t at = out.size();
    out.resize(at + static_cast<size_t>(piece));
    stream.ReadBuffer(out.data() + at, piece);
    left -= piece;
  }
  s = std::move(out);
}

void SafeStreamWrite(TStream& stream, bool& error, const void* buffer, int64_t count) {
  if (count <= 0) return;
  if (stream.Write(buffer, count) < count) error = true;
}

}  // namespace rv
