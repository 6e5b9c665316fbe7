#include "rastova/core/RVTIFFHandler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_set>

#include "common/Round.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv {

namespace {

constexpr uint16_t kExifIFD = 34665, kGPSIFD = 34853, kInteropIFD = 40965;
constexpr uint16_t kStripOffsets = 273, kJpegIF = 513, kJpegIFLength = 514;
// Nested IFDs deeper than this are not followed (EXIF -> interoperability is two levels).
constexpr int32_t kMaxDepth = 4;

bool IsSubIFDTag(uint16_t tag) { return tag == kExifIFD || tag == kGPSIFD || tag == kInteropIFD; }

// Pads the stream to an even position with a zero byte.
void AlignToWord(TStream& s) {
  if (s.GetPosition() & 1) {
    const uint8_t zero = 0;
    s.WriteBuffer(&zero, 1);
  }
}

}  // namespace

struct TRVTIFFHandler::TReadState {
  TStream* stream = nullptr;
  int64_t size = 0;
  std::unordered_set<int64_t> seen;  // positions of the IFDs read
  // Image bytes read so far: blocks past a budget of twice the stream are left empty, so that
  // overlapping strips cannot multiply the file in memory.
  int64_t blockBytes = 0;
  // Entry data read so far, under the same budget: entries may all point at the same bytes, and
  // a file of thousands of entries each naming the whole file would otherwise hold it thousands
  // of times over.
  int64_t dataBytes = 0;
  // What a file of `size` bytes can justify holding in memory.
  int64_t Budget() const { return 2 * size + 65536; }
};

TRVTIFFEntry TRVTIFFEntry::Clone() const {
  TRVTIFFEntry c;
  c.tag = tag;
  c.type = type;
  c.count = count;
  std::memcpy(c.value, value, 4);
  c.data = data;
  c.blocks = blocks;
  c.isOffsets = isOffsets;
  if (sub) {
    c.sub = std::make_unique<TRVTIFFEntryList>();
    for (const TRVTIFFEntry& e : sub->entries) c.sub->entries.push_back(e.Clone());
  }
  return c;
}

uint32_t TRVTIFFHandler::TypeSize(uint16_t type) {
  static constexpr uint32_t kSizes[13] = {1, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
  return type <= 12 ? kSizes[type] : 1;
}

uint16_t TRVTIFFHandler::DataPairTags(uint16_t tag, uint16_t magic) {
  switch (tag) {
    case 273:
      return 279;
    case 324:
      return 325;
    case 513:
      return 514;
    case 48320:
      return magic == 444 ? 48321 : 0;
    case 48322:
      return magic == 444 ? 48323 : 0;
    default:
      return 0;
  }
}

uint16_t TRVTIFFHandler::Get16(const uint8_t* p) const {
  return bigEndian_ ? uint16_t((p[0] << 8) | p[1]) : uint16_t(p[0] | (p[1] << 8));
}
uint32_t TRVTIFFHandler::Get32(const uint8_t* p) const {
  return bigEndian_
             ? (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]
             : uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void TRVTIFFHandler::Put16(uint8_t* p, uint16_t v) const {
  p[bigEndian_ ? 0 : 1] = uint8_t(v >> 8);
  p[bigEndian_ ? 1 : 0] = uint8_t(v);
}
void TRVTIFFHandler::Put32(uint8_t* p, uint32_t v) const {
  for (int i = 0; i < 4; ++i) p[bigEndian_ ? 3 - i : i] = uint8_t(v >> (8 * i));
}

std::unique_ptr<TRVTIFFHandler> TRVTIFFHandler::CreateFromFile(const std::string& fileName) {
  auto h = std::make_unique<TRVTIFFHandler>();
  h->LoadFromFile(fileName);
  return h;
}

std::unique_ptr<TRVTIFFHandler> TRVTIFFHandler::CreateFromStream(TStream& stream) {
  auto h = std::make_unique<TRVTIFFHandler>();
  h->LoadFromStream(stream);
  return h;
}

bool TRVTIFFHandler::LoadFromFile(const std::string& fileName) {
  if (!FileExistsUnicode(fileName)) return false;
  TRVWideFileStream file(fileName, TRVWideFileStream::fmOpenRead | TRVWideFileStream::fmShareDenyWrite);
  return LoadFromStream(file);
}

bool TRVTIFFHandler::ReadHeader(TStream& stream, uint32_t& firstOffset) {
  uint8_t h[8];
  if (stream.Read(h, 8) != 8) return false;
  if (!((h[0] == 'I' && h[1] == 'I') || (h[0] == 'M' && h[1] == 'M'))) return false;
  bigEndian_ = h[0] == 'M';
  magic_ = Get16(h + 2);
  firstOffset = Get32(h + 4);
  return true;
}

bool TRVTIFFHandler::LoadFromStream(TStream& stream) {
  Clear();
  bigEndian_ = false;
  magic_ = 42;
  uint32_t first = 0;
  if (!ReadHeader(stream, first)) return false;
  TReadState st;
  st.stream = &stream;
  st.size = stream.GetSize();
  // The page chain, read in a loop so that a long chain needs no deep recursion.
  int64_t offset = first;
  while (offset != 0 && offset < st.size && !st.seen.count(offset)) {
    pages_.emplace_back();
    offset = ReadIFD(st, offset, pages_.back(), 0);
  }
  return true;
}

uint32_t TRVTIFFHandler::ReadIFD(TReadState& st, int64_t offset, TRVTIFFEntryList& list, int32_t depth) {
  TStream& s = *st.stream;
  st.seen.insert(offset);
  uint8_t b[12];
  s.SetPosition(offset);
  if (s.Read(b, 2) != 2) return 0;
  const uint16_t n = Get16(b);
  int64_t after = offset + 2;  // the position after the last entry read
  for (uint16_t i = 0; i < n; ++i) {
    s.SetPosition(offset + 2 + int64_t(i) * 12);
    if (s.Read(b, 12) != 12) break;
    after = offset + 2 + int64_t(i + 1) * 12;
    const uint64_t size = uint64_t(Get32(b + 4)) * TypeSize(Get16(b + 2));
    // A data size that the whole stream cannot hold ends the IFD.
    if (size > 4 && size >= uint64_t(st.size)) break;
    TRVTIFFEntry e;
    if (ReadEntry(st, b, e, depth)) list.entries.push_back(std::move(e));
  }
  ReadBlocks(st, list);
  // Old-style JPEG: the complete stream stays in 513; the strips and tables it replaces go.
  if (GetTagInteger(list, 259, 0) == 6 && FindTagInList(list, kStripOffsets) >= 0 &&
      FindTagInList(list, kJpegIF) >= 0) {
    for (uint16_t tag : {kStripOffsets, uint16_t(519), uint16_t(520), uint16_t(521)})
      DeleteListEntry(list, FindTagInList(list, tag));
  }
  SortEntries(list);
  if (depth > 0) return 0;  // sub-IFDs have no chain of their own
  uint8_t next[4];
  s.SetPosition(after);
  if (s.Read(next, 4) != 4) return 0;
  const uint32_t v = Get32(next);
  if (v == offset || v >= st.size || st.seen.count(v)) return 0;
  return v;
}

bool TRVTIFFHandler::ReadEntry(TReadState& st, const uint8_t* raw, TRVTIFFEntry& e, int32_t depth) {
  TStream& s = *st.stream;
  e.tag = Get16(raw);
  e.type = Get16(raw + 2);
  e.count = Get32(raw + 4);
  std::memcpy(e.value, raw + 8, 4);
  const uint64_t size = uint64_t(e.count) * TypeSize(e.type);
  if (size > 4) {
    const uint64_t at = Get32(e.value);
    if (at + size > uint64_t(st.size)) return false;  // data outside the stream: dropped
    if (st.dataBytes + int64_t(size) > st.Budget()) return false;  // past the budget: dropped
    st.dataBytes += static_cast<int64_t>(size);
    e.data.resize(static_cast<size_t>(size));
    s.SetPosition(static_cast<int64_t>(at));
    if (s.Read(e.data.data(), static_cast<int64_t>(size)) != static_cast<int64_t>(size)) return false;
  }
  if (IsSubIFDTag(e.tag) && size <= 4) {
    const uint32_t at = Get32(e.value);
    e.sub = std::make_unique<TRVTIFFEntryList>();
    if (at != 0 && at < st.size && !st.seen.count(at) && depth < kMaxDepth)
      ReadIFD(st, at, *e.sub, depth + 1);
  }
  return true;
}

// Replaces the offsets values of each offsets tag by the image blocks they point at.
void TRVTIFFHandler::ReadBlocks(TReadState& st, TRVTIFFEntryList& list) {
  TStream& s = *st.stream;
  for (TRVTIFFEntry& e : list.entries) {
    const uint16_t pair = DataPairTags(e.tag, magic_);
    if (pair == 0 || e.isOffsets) continue;
    const int32_t pairIndex = FindTagInList(list, pair);
    TRVTIFFEntry* counts = pairIndex >= 0 ? &list.entries[size_t(pairIndex)] : nullptr;
    e.blocks.resize(e.count);
    for (uint32_t i = 0; i < e.count; ++i) {
      const int64_t at = GetEntryInteger(e, i);
      int64_t length = counts && i < counts->count ? GetEntryInteger(*counts, i) : 0;
      length = std::clamp<int64_t>(length, 0, std::max<int64_t>(0, st.size - at));
      if (st.blockBytes + length > st.Budget()) length = 0;
      // A cut block is written back with its cut length.
      if (counts && i < counts->count && length != GetEntryInteger(*counts, i)) {
        uint8_t* p = const_cast<uint8_t*>(GetValuePointer(*counts, i));
        if (counts->type == 4) Put32(p, static_cast<uint32_t>(length));
        if (counts->type == 3) Put16(p, static_cast<uint16_t>(length));
      }
      std::vector<uint8_t>& block = e.blocks[i];
      block.assign(static_cast<size_t>(length), 0);  // short reads stay zero-filled
      if (length > 0) {
        s.SetPosition(at);
        s.Read(block.data(), length);
      }
      st.blockBytes += length;
    }
    e.data.clear();
    e.type = 4;
    e.isOffsets = true;
  }
}

void TRVTIFFHandler::DeletePage(int32_t page) {
  if (page >= 0 && page < PageCount()) pages_.erase(pages_.begin() + page);
}

void TRVTIFFHandler::DeleteTag(int32_t page, int32_t entryIndex) {
  if (page >= 0 && page < PageCount()) DeleteListEntry(pages_[size_t(page)], entryIndex);
}

void TRVTIFFHandler::DeleteListEntry(TRVTIFFEntryList& list, int32_t entryIndex) {
  if (entryIndex >= 0 && entryIndex < int32_t(list.entries.size()))
    list.entries.erase(list.entries.begin() + entryIndex);
}

int32_t TRVTIFFHandler::FindTag(int32_t page, uint16_t tag) const {
  if (page < 0 || page >= PageCount()) return -1;
  return FindTagInList(pages_[size_t(page)], tag);
}

int32_t TRVTIFFHandler::FindTagInList(const TRVTIFFEntryList& list, uint16_t tag) {
  for (size_t i = 0; i < list.entries.size(); ++i)
    if (list.entries[i].tag == tag) return static_cast<int32_t>(i);
  return -1;
}

const uint8_t* TRVTIFFHandler::GetValuePointer(const TRVTIFFEntry& e, uint32_t index) {
  if (index >= e.count) return nullptr;
  const uint64_t size = uint64_t(e.count) * TypeSize(e.type);
  const uint64_t at = uint64_t(index) * TypeSize(e.type);
  if (size <= 4) return e.value + at;
  if (at + TypeSize(e.type) > e.data.size()) return nullptr;
  return e.data.data() + at;
}

int64_t TRVTIFFHandler::GetEntryInteger(const TRVTIFFEntry& e, uint32_t index) const {
  if (e.isOffsets) {
    // Offsets values live in the blocks now; their old file offsets are not kept.
    return 0;
  }
  const uint8_t* p = GetValuePointer(e, index);
  if (!p) return 0;
  switch (e.type) {
    case 1:
    case 2:
    case 7:
      return p[0];
    case 6:
      return static_cast<int8_t>(p[0]);
    case 3:
    case 8:
      return Get16(p);
    case 4:
    case 9:
      return Get32(p);
    default:
      return 0;
  }
}

int64_t TRVTIFFHandler::GetTagInteger(const TRVTIFFEntryList& list, uint16_t tag, uint32_t index) const {
  const int32_t i = FindTagInList(list, tag);
  return i < 0 ? 0 : GetEntryInteger(list.entries[size_t(i)], index);
}

void TRVTIFFHandler::SetTagValue(TRVTIFFEntryList& list, uint16_t tag, double value, uint16_t type) {
  DeleteListEntry(list, FindTagInList(list, tag));
  TRVTIFFEntry e;
  e.tag = tag;
  e.type = type;
  e.count = 1;
  uint8_t b[8] = {};
  switch (type) {
    case 3:
    case 8:
      Put16(b, static_cast<uint16_t>(common::TruncInt(value)));
      break;
    case 4:
    case 9:
      Put32(b, static_cast<uint32_t>(common::Trunc(value)));
      break;
    case 5:
    case 10:
      Put32(b, static_cast<uint32_t>(common::Trunc(value * 10000)));
      Put32(b + 4, 10000);
      break;
    case 11: {
      const float f = static_cast<float>(value);
      uint32_t bits;
      std::memcpy(&bits, &f, 4);
      Put32(b, bits);
      break;
    }
    case 12: {
      uint64_t bits;
      std::memcpy(&bits, &value, 8);
      if (bigEndian_) {
        Put32(b, uint32_t(bits >> 32));
        Put32(b + 4, uint32_t(bits));
      } else {
        Put32(b, uint32_t(bits));
        Put32(b + 4, uint32_t(bits >> 32));
      }
      break;
    }
    default:
      b[0] = static_cast<uint8_t>(common::TruncInt(value));
      break;
  }
  const uint32_t size = TypeSize(type);
  if (size > 4)
    e.data.assign(b, b + size);
  else
    std::memcpy(e.value, b, 4);
  list.entries.push_back(std::move(e));
}

void TRVTIFFHandler::SetTagValue(TRVTIFFEntryList& list, uint16_t tag, const std::string& text) {
  DeleteListEntry(list, FindTagInList(list, tag));
  TRVTIFFEntry e;
  e.tag = tag;
  e.type = 2;
  e.count = static_cast<uint32_t>(text.size() + 1);
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  if (bytes.size() > 4)
    e.data = std::move(bytes);
  else
    std::memcpy(e.value, bytes.data(), bytes.size());
  list.entries.push_back(std::move(e));
}

void TRVTIFFHandler::SortPage(int32_t page) {
  if (page >= 0 && page < PageCount()) SortEntries(pages_[size_t(page)]);
}

void TRVTIFFHandler::SortEntries(TRVTIFFEntryList& list) {
  std::stable_sort(list.entries.begin(), list.entries.end(),
                   [](const TRVTIFFEntry& a, const TRVTIFFEntry& b) { return a.tag < b.tag; });
}

// ---------------------------------------------------------------- copying

void TRVTIFFHandler::CopyTag(int32_t srcPage, int32_t entryIndex, const TRVTIFFHandler& source,
                             int32_t destPage) {
  if (srcPage < 0 || srcPage >= source.PageCount() || destPage < 0 || destPage >= PageCount()) return;
  CopyEntry(source.pages_[size_t(srcPage)], entryIndex, pages_[size_t(destPage)], source);
}

void TRVTIFFHandler::CopyEntry(const TRVTIFFEntryList& srcList, int32_t entryIndex,
                               TRVTIFFEntryList& destList, const TRVTIFFHandler& source) {
  if (entryIndex < 0 || entryIndex >= int32_t(srcList.entries.size()) || source.bigEndian_ != bigEndian_)
    return;
  const TRVTIFFEntry& src = srcList.entries[size_t(entryIndex)];
  DeleteListEntry(destList, FindTagInList(destList, src.tag));
  TRVTIFFEntry copy = src.Clone();
  // Whether the tag holds image blocks is the source's judgement (its magic).
  copy.isOffsets = src.isOffsets && DataPairTags(src.tag, source.magic_) != 0;
  destList.entries.push_back(std::move(copy));
}

// ---------------------------------------------------------------- writing

void TRVTIFFHandler::WriteFile(const std::string& fileName, int32_t page) {
  TRVWideFileStream file(fileName, TRVWideFileStream::fmCreate);
  WriteStream(file, page);
}

void TRVTIFFHandler::WriteStream(TStream& stream, int32_t page) {
  uint8_t h[8] = {uint8_t(bigEndian_ ? 'M' : 'I'), uint8_t(bigEndian_ ? 'M' : 'I')};
  Put16(h + 2, magic_);
  const int64_t start = stream.GetPosition();
  Put32(h + 4, static_cast<uint32_t>(start + 8));
  stream.WriteBuffer(h, 8);
  std::vector<TRVTIFFEntryList*> order;
  if (page >= 0 && page < PageCount())
    order.push_back(&pages_[size_t(page)]);
  else
    for (TRVTIFFEntryList& p : pages_) order.push_back(&p);
  uint8_t next[4] = {};
  int64_t end = stream.GetPosition();
  for (size_t i = 0; i < order.size(); ++i) {
    SortEntries(*order[i]);
    end = WriteIFD(stream, *order[i]);
    if (i + 1 == order.size()) break;
    const int64_t field = stream.GetPosition();
    stream.SetPosition(end);
    if (end & 1) {
      const uint8_t zero = 0;
      stream.WriteBuffer(&zero, 1);
      ++end;
    }
    Put32(next, static_cast<uint32_t>(end));
    stream.SetPosition(field);
    stream.WriteBuffer(next, 4);
    stream.SetPosition(end);
  }
  Put32(next, 0);
  stream.WriteBuffer(next, 4);
  // Leave the stream at the end of what was written.
  stream.SetPosition(std::max(end, stream.GetPosition()));
}

int64_t TRVTIFFHandler::WriteIFD(TStream& stream, TRVTIFFEntryList& list) {
  // Room for the StripOffsets entry that points into an old-style JPEG stream.
  const bool addStrip = FindTagInList(list, kJpegIF) >= 0 && FindTagInList(list, kStripOffsets) < 0;
  const size_t n = list.entries.size() + (addStrip ? 1 : 0);
  const int64_t at = stream.GetPosition();
  uint8_t b[12];
  Put16(b, static_cast<uint16_t>(n));
  stream.WriteBuffer(b, 2);
  int64_t dataEnd = at + 2 + 12 * int64_t(n) + 4;
  int64_t stripValue = -1;
  for (size_t i = 0; i < list.entries.size(); ++i) {
    TRVTIFFEntry& e = list.entries[i];
    stream.SetPosition(dataEnd);
    WriteEntryData(stream, list, e, b);
    dataEnd = stream.GetPosition();
    stream.SetPosition(at + 2 + 12 * int64_t(i));
    stream.WriteBuffer(b, 12);
    if (e.tag == kJpegIF && addStrip) {
      const int64_t jpegAt = Get32(b + 8);
      const std::vector<uint8_t>* js = e.blocks.empty() ? nullptr : &e.blocks[0];
      int64_t found = js ? int64_t(js->size()) : 0;
      if (js) {
        const int64_t limit = std::min<int64_t>(int64_t(js->size()), GetTagInteger(list, kJpegIFLength, 0));
        for (int64_t k = 0; k + 1 < limit; ++k)
          if ((*js)[size_t(k)] == 0xFF && (*js)[size_t(k + 1)] == 0xDA) {
            found = k;
            break;
          }
      }
      stripValue = jpegAt + found;
    }
  }
  if (addStrip) {
    // Written as the last entry, not kept in the list.
    Put16(b, kStripOffsets);
    Put16(b + 2, 4);
    Put32(b + 4, 1);
    Put32(b + 8, static_cast<uint32_t>(std::max<int64_t>(stripValue, 0)));
    stream.SetPosition(at + 2 + 12 * int64_t(list.entries.size()));
    stream.WriteBuffer(b, 12);
  }
  stream.SetPosition(at + 2 + 12 * int64_t(n));
  return dataEnd;
}

void TRVTIFFHandler::WriteEntryData(TStream& stream, TRVTIFFEntryList& list, TRVTIFFEntry& e,
                                    uint8_t out[12]) {
  Put16(out, e.tag);
  Put16(out + 2, e.type);
  Put32(out + 4, e.count);
  std::memcpy(out + 8, e.value, 4);
  if (e.isOffsets) {
    // The blocks go out unpadded; their lengths are those of the byte-count tag as it stands.
    const uint16_t pair = DataPairTags(e.tag, magic_);
    const int32_t pairIndex = FindTagInList(list, pair);
    std::vector<uint32_t> offsets(e.count, 0);
    for (uint32_t i = 0; i < e.count && i < e.blocks.size(); ++i) {
      int64_t length = pairIndex >= 0 ? GetEntryInteger(list.entries[size_t(pairIndex)], i) : 0;
      length = std::clamp<int64_t>(length, 0, int64_t(e.blocks[i].size()));
      offsets[i] = static_cast<uint32_t>(stream.GetPosition());
      if (length > 0) stream.WriteBuffer(e.blocks[i].data(), length);
    }
    Put16(out + 2, 4);
    if (e.count == 1) {
      Put32(out + 8, offsets[0]);
    } else if (e.count > 1) {
      std::vector<uint8_t> raw(offsets.size() * 4);
      for (size_t i = 0; i < offsets.size(); ++i) Put32(&raw[4 * i], offsets[i]);
      AlignToWord(stream);
      Put32(out + 8, static_cast<uint32_t>(stream.GetPosition()));
      stream.WriteBuffer(raw.data(), static_cast<int64_t>(raw.size()));
    } else {
      Put32(out + 8, 0);
    }
    return;
  }
  if (e.sub) {
    AlignToWord(stream);
    Put32(out + 8, static_cast<uint32_t>(stream.GetPosition()));
    SortEntries(*e.sub);
    const int64_t end = WriteIFD(stream, *e.sub);
    const uint8_t zero[4] = {};
    stream.WriteBuffer(zero, 4);
    stream.SetPosition(end);
    return;
  }
  if (!e.data.empty()) {
    AlignToWord(stream);
    Put32(out + 8, static_cast<uint32_t>(stream.GetPosition()));
    stream.WriteBuffer(e.data.data(), static_cast<int64_t>(e.data.size()));
  }
}

}  // namespace rv
