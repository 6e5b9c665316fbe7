// The TIFF file structure as read: the IFD chain and the access to the tags of one IFD. Every
// offset and count is checked against the stream before anything is read or allocated.
#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "rastova/codecs/tiff/tiffdefs.h"
#include "rastova/core/RVStream.h"

namespace rv::tiff {

namespace {

// Strings and arrays longer than this are not read.
constexpr uint32_t kMaxTextCount = 1048575;

int32_t TypeSize(uint16_t type) {
  switch (type) {
    case ttShort:
      return 2;
    case ttLong:
      return 4;
    case ttRational:
      return 8;
    default:
      return 1;
  }
}

}  // namespace

uint16_t Get16(const uint8_t* p, bool le) {
  return le ? static_cast<uint16_t>(p[0] | (p[1] << 8)) : static_cast<uint16_t>((p[0] << 8) | p[1]);
}

uint32_t Get32(const uint8_t* p, bool le) {
  return le ? uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24)
            : (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

bool TTIFFIFD::ReadAt(int64_t position, void* dest, int64_t size) const {
  if (size <= 0) return size == 0;
  if (position < 0 || position > stream->GetSize() - size) return false;
  stream->SetPosition(position);
  return stream->Read(dest, size) == size;
}

const TIFDEntry* TTIFFIFD::Find(uint16_t tag) const {
  for (const TIFDEntry& e : entries)
    if (e.tag == tag) return &e;
  return nullptr;
}

int64_t TTIFFIFD::Integer(uint16_t tag, int64_t fallback) const {
  const TIFDEntry* e = Find(tag);
  if (!e) return fallback;
  // The value field was swapped as a whole word for "MM" files, so a BYTE or SHORT stands in its
  // top bits there.
  switch (e->type) {
    case ttByte:
      return littleEndian ? (e->value & 0xFF) : (e->value >> 24);
    case ttShort:
      return littleEndian ? (e->value & 0xFFFF) : (e->value >> 16);
    default:
      return e->value;
  }
}

int64_t TTIFFIFD::Item(uint16_t tag, uint32_t index, int64_t fallback) const {
  const TIFDEntry* e = Find(tag);
  if (!e || index >= e->count) return fallback;
  if (e->type == ttLong) {
    if (e->count == 1) return e->value;
    uint8_t b[4];
    if (!ReadAt(DataPosition(*e) + int64_t(index) * 4, b, 4)) return fallback;
    return Get32(b, littleEndian);
  }
  if (e->type == ttShort) {
    if (e->count == 1) return Integer(tag, fallback);
    if (e->count == 2) {
      const uint32_t lo = e->value & 0xFFFF, hi = e->value >> 16;
      return littleEndian == (index == 0) ? lo : hi;
    }
    uint8_t b[2];
    if (!ReadAt(DataPosition(*e) + int64_t(index) * 2, b, 2)) return fallback;
    return Get16(b, littleEndian);
  }
  if (e->type == ttByte) {
    if (e->count <= 4) {
      const uint32_t v = e->value;
      return littleEndian ? (v >> (8 * index)) & 0xFF : (v >> (24 - 8 * index)) & 0xFF;
    }
    uint8_t b;
    if (!ReadAt(DataPosition(*e) + index, &b, 1)) return fallback;
    return b;
  }
  return fallback;
}

std::vector<uint32_t> TTIFFIFD::Array(uint16_t tag) const {
  std::vector<uint32_t> out;
  const TIFDEntry* e = Find(tag);
  if (!e || e->count == 0) return out;
  if (e->type != ttShort && e->type != ttLong && e->type != ttByte) return out;
  const int64_t size = int64_t(e->count) * TypeSize(e->type);
  if (size > 4) {
    // Out of line: the items must lie in the stream (this also bounds the allocation).
    if (size > stream->GetSize()) return out;
    std::vector<uint8_t> raw(static_cast<size_t>(size));
    if (!ReadAt(DataPosition(*e), raw.data(), size)) return out;
    out.resize(e->count);
    for (uint32_t i = 0; i < e->count; ++i) {
      const uint8_t* p = raw.data() + int64_t(i) * TypeSize(e->type);
      out[i] = e->type == ttLong    ? Get32(p, littleEndian)
               : e->type == ttShort ? Get16(p, littleEndian)
                                    : p[0];
    }
    return out;
  }
  out.resize(e->count);
  for (uint32_t i = 0; i < e->count; ++i) out[i] = static_cast<uint32_t>(Item(tag, i, 0));
  return out;
}

double TTIFFIFD::RationalItem(uint16_t tag, uint32_t index, double fallback) const {
  const TIFDEntry* e = Find(tag);
  if (!e || index >= e->count || e->type != ttRational) return fallback;
  uint8_t b[8];
  if (!ReadAt(DataPosition(*e) + int64_t(index) * 8, b, 8)) return fallback;
  const uint32_t num = Get32(b, littleEndian);
  uint32_t den = Get32(b + 4, littleEndian);
  if (den == 0) den = 1;
  return static_cast<double>(num) / static_cast<double>(den);
}

double TTIFFIFD::Rational(uint16_t tag, double fallback) const { return RationalItem(tag, 0, fallback); }

std::string TTIFFIFD::Ascii(uint16_t tag) const {
  const TIFDEntry* e = Find(tag);
  if (!e || e->count == 0) return {};
  std::string s;
  if (e->count <= 4) {
    uint8_t b[4];
    const uint32_t v = e->value;
    // Back to the file's byte order.
    for (int i = 0; i < 4; ++i) b[i] = littleEndian ? uint8_t(v >> (8 * i)) : uint8_t(v >> (24 - 8 * i));
    s.assign(reinterpret_cast<const char*>(b), e->count);
  } else {
    if (e->count > kMaxTextCount) return {};
    s.resize(e->count);
    if (!ReadAt(DataPosition(*e), s.data(), e->count)) return {};
  }
  const size_t nul = s.find('\0');
  if (nul != std::string::npos) s.resize(nul);
  return s;
}

std::u16string TTIFFIFD::Wide(uint16_t tag) const {
  const TIFDEntry* e = Find(tag);
  if (!e) return {};
  if (e->count <= 4) return std::u16string(1, static_cast<char16_t>(e->value & 0xFFFF));
  if (e->count > kMaxTextCount) return {};
  const uint32_t chars = (e->count - 2) / 2;
  std::vector<uint8_t> raw(size_t(chars) * 2);
  if (!ReadAt(DataPosition(*e), raw.data(), static_cast<int64_t>(raw.size()))) return {};
  std::u16string s(chars, u'\0');
  for (uint32_t i = 0; i < chars; ++i) s[i] = static_cast<char16_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
  return s;
}

std::vector<uint8_t> TTIFFIFD::Raw(uint16_t tag) const {
  const TIFDEntry* e = Find(tag);
  if (!e || e->count == 0) return {};
  const int64_t size = int64_t(e->count) * TypeSize(e->type);
  if (size > stream->GetSize()) return {};
  std::vector<uint8_t> out(static_cast<size_t>(size));
  if (size <= 4) {
    for (int64_t i = 0; i < size; ++i)
      out[size_t(i)] = littleEndian ? uint8_t(e->value >> (8 * i)) : uint8_t(e->value >> (24 - 8 * i));
    return out;
  }
  if (!ReadAt(DataPosition(*e), out.data(), size)) return {};
  return out;
}

bool LoadTIFFIFD(int32_t wantedIndex, uint32_t firstOffset, TTIFFIFD& ifd, int32_t& count, bool* damaged) {
  count = 0;
  ifd.entries.clear();
  TStream& s = *ifd.stream;
  const int64_t size = s.GetSize();
  std::unordered_set<int64_t> seen;
  int64_t offset = firstOffset;
  bool loaded = false, cut = false;
  while (offset != 0) {
    const int64_t at = ifd.base + offset;
    if (!seen.insert(at).second) break;
    uint8_t b[4];
    if (at < 0 || at > size - 2) {
      cut = true;
      break;
    }
    s.SetPosition(at);
    if (s.Read(b, 2) != 2) {
      cut = true;
      break;
    }
    const uint16_t n = Get16(b, ifd.littleEndian);
    if (n == 0) break;
    const int64_t bytes = int64_t(n) * 12;
    if (count == wantedIndex) {
      // Only the entries that lie in the stream are kept.
      const int64_t avail = std::clamp<int64_t>(size - at - 2, 0, bytes);
      const int64_t whole = avail / 12;
      std::vector<uint8_t> raw(static_cast<size_t>(whole * 12));
      if (whole > 0 && s.Read(raw.data(), whole * 12) != whole * 12) {
        cut = true;
        break;
      }
      ifd.entries.resize(static_cast<size_t>(whole));
      for (int64_t i = 0; i < whole; ++i) {
        const uint8_t* p = raw.data() + i * 12;
        TIFDEntry& e = ifd.entries[size_t(i)];
        e.tag = Get16(p, ifd.littleEndian);
        e.type = Get16(p + 2, ifd.littleEndian);
        e.count = Get32(p + 4, ifd.littleEndian);
        e.value = Get32(p + 8, ifd.littleEndian);
      }
      loaded = true;
    }
    const int64_t next = at + 2 + bytes;
    if (next >= size) {  // the IFD runs to the end: not counted
      cut = true;
      break;
    }
    if (next > size - 4) {
      ++count;
      cut = true;
      break;
    }
    s.SetPosition(next);
    if (s.Read(b, 4) != 4) {
      cut = true;
      break;
    }
    int64_t nextOffset = Get32(b, ifd.littleEndian);
    // A link to itself ends the chain as 0 does; one outside the stream cuts it.
    if (nextOffset != 0 && nextOffset != offset && (nextOffset < 8 || ifd.base + nextOffset >= size)) cut = true;
    if (nextOffset == offset || ifd.base + nextOffset < ifd.base + 8 || ifd.base + nextOffset >= size)
      nextOffset = 0;
    ++count;
    offset = nextOffset;
  }
  if (damaged) *damaged = cut;
  if (!loaded) ifd.entries.clear();
  return loaded && !ifd.entries.empty();
}

}  // namespace rv::tiff
