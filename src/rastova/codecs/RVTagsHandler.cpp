#include "rastova/codecs/RVTagsHandler.h"

#include <algorithm>
#include <cstring>

#include "rastova/codecs/tiff/tiffdefs.h"

namespace rv {

namespace {

constexpr int32_t kMaxEntries = 256;
constexpr int64_t kMaxWritten = 65000;

uint32_t TypeSize(uint16_t type) {
  static constexpr uint32_t kSizes[13] = {1, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
  return type <= 12 ? kSizes[type] : 1;
}

using tiff::Get16;
using tiff::Get32;
void Write16(uint8_t* p, uint16_t v, bool le) {
  p[le ? 0 : 1] = uint8_t(v);
  p[le ? 1 : 0] = uint8_t(v >> 8);
}
void Write32(uint8_t* p, uint32_t v, bool le) {
  for (int i = 0; i < 4; ++i) p[le ? i : 3 - i] = uint8_t(v >> (8 * i));
}

TRVEXIFMakerNoteDeviceInfo Device(const char* sig, size_t len, uint8_t base, uint8_t kind, uint8_t order) {
  TRVEXIFMakerNoteDeviceInfo d;
  d.Signature.assign(sig, len);
  d.OffsetBase = base;
  d.HeaderKind = kind;
  d.ByteOrder = order;
  return d;
}

}  // namespace

const std::vector<TRVEXIFMakerNoteDeviceInfo>& MakerNoteDevices() {
  static const std::vector<TRVEXIFMakerNoteDeviceInfo> kDevices = {
      Device("SONY CAM \0\0\0", 12, 0, 0, 0),     Device("SONY DSC \0\0\0", 12, 0, 0, 0),
      Device("Nikon\0\x02\x10\0\0", 10, 1, 1, 1), Device("QVC\0\0\0", 6, 0, 0, 3),
      Device("EPSON\0\x01\0", 8, 0, 0, 0),        Device("Nikon\0\x01\0", 8, 0, 0, 0),
      Device("Panasonic\0\0\0", 12, 0, 0, 0),     Device("FUJIFILM", 8, 1, 2, 2),
  };
  return kDevices;
}

void TRVTagsHandler::Clear() {
  table_.clear();
  raw_.clear();
  entryCount_ = 0;
  device_ = TRVEXIFMakerNoteDeviceInfo{};
  stream_.Clear();
}

void TRVTagsHandler::SetRawData(std::vector<uint8_t> data) { raw_ = std::move(data); }

void TRVTagsHandler::IdentifyMaker() {
  device_ = TRVEXIFMakerNoteDeviceInfo{};
  for (const TRVEXIFMakerNoteDeviceInfo& d : MakerNoteDevices()) {
    const size_t n = std::min(raw_.size(), d.Signature.size());
    if (std::memcmp(raw_.data(), d.Signature.data(), n) == 0) {
      device_ = d;
      return;
    }
  }
}

void TRVTagsHandler::ReadMakerNote(TStream& stream, int32_t size, bool littleEndian) {
  Clear();
  const int64_t start = stream.GetPosition();
  // The note cannot be longer than what the stream holds from here.
  const int64_t available = std::max<int64_t>(0, stream.GetSize() - start);
  const int64_t total = std::clamp<int64_t>(size, 0, available);
  std::vector<uint8_t> raw(static_cast<size_t>(total));
  if (total > 0 && stream.Read(raw.data(), total) != total) {
    Clear();
    return;
  }
  SetRawData(std::move(raw));
  const int64_t S = total;
  if (S < 2) {
    Clear();
    return;
  }
  IdentifyMaker();
  const uint8_t* r = raw_.data();
  int64_t p = static_cast<int64_t>(device_.Signature.size());
  int64_t base = 0;
  if (device_.HeaderKind == 1) {
    if (p + 8 > S) {
      Clear();
      return;
    }
    std::memcpy(device_.TIFFHeader, r + p, 8);
    base = p;
    p += 8;
  } else if (device_.HeaderKind == 2) {
    if (p + 4 > S) {
      Clear();
      return;
    }
    p = p + int64_t(Get32(r + p, true)) - 8;
  }
  bool le = littleEndian;
  if (device_.ByteOrder == 1) le = device_.TIFFHeader[0] == 'I' && device_.TIFFHeader[1] == 'I';
  if (device_.ByteOrder == 2) le = true;
  if (device_.ByteOrder == 3) le = false;
  if (p < 0 || p + 2 > S) {
    Clear();
    return;
  }
  const int32_t n = Get16(r + p, le);
  p += 2;
  if (n > kMaxEntries || 12 * int64_t(n) > S || p + 12 * int64_t(n) > S) {
    Clear();
    return;
  }
  std::vector<uint8_t> out(2 + 12 * size_t(n));
  Write16(out.data(), static_cast<uint16_t>(n), true);
  for (int32_t i = 0; i < n; ++i) {
    const uint8_t* e = r + p + 12 * int64_t(i);
    const uint16_t tag = Get16(e, le), type = Get16(e + 2, le);
    uint32_t count = Get32(e + 4, le), value = Get32(e + 8, le);
    const uint64_t bytes = uint64_t(count) * TypeSize(type);
    if (bytes > 4) {
      const int64_t s = device_.OffsetBase == 0 ? int64_t(value) - start : int64_t(value) + base;
      // Out-of-line values must lie inside the note; their copies are bounded by a few notes.
      if (s >= 0 && uint64_t(s) + bytes <= uint64_t(S) && out.size() + bytes <= uint64_t(4 * S + 65536)) {
        value = static_cast<uint32_t>(out.size());
        out.insert(out.end(), r + s, r + s + bytes);
      } else {
        count = 0;
        value = 0;
      }
    }
    uint8_t* q = out.data() + 2 + 12 * size_t(i);
    Write16(q, tag, true);
    Write16(q + 2, type, true);
    Write32(q + 4, count, true);
    Write32(q + 8, value, true);
  }
  stream_.WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
  IndexEntries();
}

void TRVTagsHandler::IndexEntries() {
  table_.clear();
  entryCount_ = 0;
  if (stream_.GetSize() < 2) return;
  const uint8_t* m = stream_.Memory();
  const int32_t n = std::min<int32_t>(Get16(m, true), static_cast<int32_t>((stream_.GetSize() - 2) / 12));
  table_.assign(m + 2, m + 2 + 12 * size_t(n));
  entryCount_ = n;
}

TRVTagsHandler::TEntry TRVTagsHandler::GetEntry(int32_t index) const {
  TEntry e;
  if (index < 0 || index >= entryCount_) return e;
  const uint8_t* q = table_.data() + 12 * size_t(index);
  e.tag = Get16(q, true);
  e.type = Get16(q + 2, true);
  e.count = Get32(q + 4, true);
  e.value = Get32(q + 8, true);
  return e;
}

std::vector<uint8_t> TRVTagsHandler::GetEntryData(int32_t index) {
  const TEntry e = GetEntry(index);
  const uint64_t bytes = uint64_t(e.count) * TypeSize(e.type);
  if (index < 0 || index >= entryCount_ || bytes == 0) return {};
  if (bytes <= 4) {
    const uint8_t* q = table_.data() + 12 * size_t(index) + 8;
    return std::vector<uint8_t>(q, q + bytes);
  }
  if (uint64_t(e.value) + bytes > uint64_t(stream_.GetSize())) return {};
  const uint8_t* m = stream_.Memory() + e.value;
  return std::vector<uint8_t>(m, m + bytes);
}

int32_t TRVTagsHandler::WriteMakerNote(TStream& stream) {
  if (stream_.GetSize() < 2) return 0;
  const int64_t start = stream.GetPosition();
  const int64_t sigLen = static_cast<int64_t>(device_.Signature.size());
  std::vector<uint8_t> out(device_.Signature.begin(), device_.Signature.end());
  // Byte order: little-endian, the kept header's for notes with a TIFF header, big-endian for
  // the notes that are read that way.
  bool le = device_.ByteOrder != 3;
  if (device_.HeaderKind == 1) {
    uint8_t h[8];
    std::memcpy(h, device_.TIFFHeader, 8);
    le = h[0] == 'I' && h[1] == 'I';
    Write32(h + 4, 8, le);
    out.insert(out.end(), h, h + 8);
  } else if (device_.HeaderKind == 2) {
    // The IFD follows its own 32-bit offset, counted from the note's first byte.
    uint8_t o[4];
    Write32(o, static_cast<uint32_t>(sigLen + 4), true);
    out.insert(out.end(), o, o + 4);
  }
  const uint8_t* m = stream_.Memory();
  const int64_t internalSize = stream_.GetSize();
  const int32_t n = std::min<int32_t>(Get16(m, true), static_cast<int32_t>((internalSize - 2) / 12));
  const size_t entryAt = out.size() + 2;
  out.resize(entryAt + 12 * size_t(n) + 4, 0);
  Write16(out.data() + entryAt - 2, static_cast<uint16_t>(n), le);
  for (int32_t i = 0; i < n; ++i) {
    const uint8_t* e = m + 2 + 12 * size_t(i);
    const uint16_t tag = Get16(e, true), type = Get16(e + 2, true);
    const uint32_t count = Get32(e + 4, true);
    uint32_t value = Get32(e + 8, true);
    const uint64_t bytes = uint64_t(count) * TypeSize(type);
    if (bytes > 4) {
      const int64_t dataPos = start + static_cast<int64_t>(out.size());
      const int64_t noteOffset = static_cast<int64_t>(out.size());
      value = static_cast<uint32_t>(device_.OffsetBase == 0   ? dataPos
                                    : device_.HeaderKind == 1 ? noteOffset - sigLen
                                                              : noteOffset);
      const uint64_t src = Get32(e + 8, true);
      if (src + bytes <= uint64_t(internalSize))
        out.insert(out.end(), m + src, m + src + bytes);
      else
        out.resize(out.size() + static_cast<size_t>(std::min<uint64_t>(bytes, uint64_t(kMaxWritten) + 1)), 0);
      if (out.size() & 1) out.push_back(0);
      if (static_cast<int64_t>(out.size()) > kMaxWritten) break;
    }
    uint8_t* q = out.data() + entryAt + 12 * size_t(i);
    Write16(q, tag, le);
    Write16(q + 2, type, le);
    Write32(q + 4, count, le);
    // Short values stay as the 32-bit word they were read as.
    Write32(q + 8, value, le);
  }
  if (static_cast<int64_t>(out.size()) > kMaxWritten) return 0;
  stream.WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
  return static_cast<int32_t>(out.size());
}

void TRVTagsHandler::Assign(const TRVTagsHandler& source) {
  if (&source == this) return;
  Clear();
  if (!source.stream_.Data().empty())
    stream_.WriteBuffer(source.stream_.Data().data(), static_cast<int64_t>(source.stream_.Data().size()));
  IndexEntries();
  raw_ = source.raw_;
  device_ = source.device_;
}

}  // namespace rv
