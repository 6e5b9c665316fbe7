#pragma once
// One record of a metafile as bytes, read little-endian and only inside the record. Every
// reader of a field or an array asks Has / HasArray first; the readers themselves return 0
// for bytes outside the record, so a forgotten check reads zeros, never past the record.
//
// The record layouts are libUEMF's (uemf.h for EMF, uwmf.h for WMF); the EMF structures are
// copied out with Copy, which also checks their size against the record.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace rv {

class TRVMetaRecord {
 public:
  TRVMetaRecord(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  const uint8_t* Data() const { return data_; }
  size_t Size() const { return size_; }

  // `bytes` bytes from `offset` lie inside the record.
  bool Has(uint64_t offset, uint64_t bytes) const { return offset <= size_ && bytes <= size_ - offset; }
  // `count` items of `item` bytes from `offset` lie inside the record (no overflow whatever the
  // count).
  bool HasArray(uint64_t offset, uint64_t count, uint64_t item) const {
    if (offset > size_) return false;
    return item == 0 || count <= (size_ - offset) / item;
  }

  uint8_t U8(uint64_t o) const { return Has(o, 1) ? data_[o] : 0; }
  uint16_t U16(uint64_t o) const {
    return Has(o, 2) ? static_cast<uint16_t>(data_[o] | (data_[o + 1] << 8)) : 0;
  }
  int16_t I16(uint64_t o) const { return static_cast<int16_t>(U16(o)); }
  uint32_t U32(uint64_t o) const {
    if (!Has(o, 4)) return 0;
    return uint32_t(data_[o]) | (uint32_t(data_[o + 1]) << 8) | (uint32_t(data_[o + 2]) << 16) |
           (uint32_t(data_[o + 3]) << 24);
  }
  int32_t I32(uint64_t o) const { return static_cast<int32_t>(U32(o)); }
  float F32(uint64_t o) const {
    const uint32_t bits = U32(o);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
  }

  // Copies the structure at `offset` (the fixed part of a record as libUEMF declares it); false
  // when the record is shorter than `bytes` (default: the whole structure). Bytes of the
  // structure beyond `bytes` are zero.
  template <class T>
  bool Copy(uint64_t offset, T& out, size_t bytes = sizeof(T)) const {
    static_assert(std::is_trivially_copyable_v<T>);
    if (bytes > sizeof(T) || !Has(offset, bytes)) return false;
    std::memset(static_cast<void*>(&out), 0, sizeof(T));
    std::memcpy(static_cast<void*>(&out), data_ + offset, bytes);
    return true;
  }

  // The part of the record from `offset` of `bytes` bytes, or an empty record outside it.
  TRVMetaRecord Sub(uint64_t offset, uint64_t bytes) const {
    return Has(offset, bytes) ? TRVMetaRecord(data_ + offset, static_cast<size_t>(bytes))
                              : TRVMetaRecord(nullptr, 0);
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

}  // namespace rv
