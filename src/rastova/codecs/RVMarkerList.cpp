#include "rastova/codecs/RVMarkerList.h"

#include <cstring>

#include "common/CodePage.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

namespace rv {

namespace {
[[noreturn]] void ListIndexError(int32_t index) {
  throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

void Append(std::vector<uint8_t>& out, const void* data, size_t n) {
  if (n == 0) return;
  const size_t at = out.size();
  out.resize(at + n);
  std::memcpy(out.data() + at, data, n);
}

std::unique_ptr<TMemoryStream> MakeMarkerStream(const void* data, int32_t length) {
  auto s = std::make_unique<TMemoryStream>();
  const int32_t n = length & 0xFFFF;
  if (n > 0 && data) s->Write(data, n);
  s->SetPosition(0);
  return s;
}
}  // namespace

bool IsEXIFMarker(const uint8_t* data, int32_t length) {
  return data && length >= 6 && std::memcmp(data, "Exif\0", 5) == 0;
}

bool IsICCProfileMarker(const uint8_t* data, int32_t length) {
  return data && length >= 12 && std::memcmp(data, "ICC_PROFILE\0", 12) == 0;
}

TRVMarkerList::TRVMarkerList() = default;
TRVMarkerList::~TRVMarkerList() = default;

void TRVMarkerList::Check(int32_t index) const {
  if (index < 0 || index >= Count()) ListIndexError(index);
}

void TRVMarkerList::AddMarker(uint8_t markerType, const void* data, int32_t length) {
  data_.push_back(MakeMarkerStream(data, length));
  types_.push_back(markerType);
}

void TRVMarkerList::SetMarker(int32_t index, uint8_t markerType, const void* data, int32_t length) {
  Check(index);
  data_[static_cast<size_t>(index)] = MakeMarkerStream(data, length);
  types_[static_cast<size_t>(index)] = markerType;
}

void TRVMarkerList::DeleteMarker(int32_t index) {
  Check(index);
  data_.erase(data_.begin() + index);
  types_.erase(types_.begin() + index);
}

void TRVMarkerList::Clear() {
  data_.clear();
  types_.clear();
}

int32_t TRVMarkerList::IndexOf(uint8_t markerType) const {
  for (int32_t i = 0; i < Count(); ++i)
    if (types_[static_cast<size_t>(i)] == markerType) return i;
  return -1;
}

uint8_t TRVMarkerList::GetMarkerType(int32_t index) const {
  Check(index);
  return types_[static_cast<size_t>(index)];
}

int32_t TRVMarkerList::GetMarkerLength(int32_t index) const {
  Check(index);
  return static_cast<int32_t>(data_[static_cast<size_t>(index)]->GetSize());
}

const uint8_t* TRVMarkerList::GetMarkerData(int32_t index) const {
  Check(index);
  const auto& d = data_[static_cast<size_t>(index)]->Data();
  return d.empty() ? nullptr : d.data();
}

TMemoryStream& TRVMarkerList::GetMarkerStream(int32_t index) {
  Check(index);
  auto& s = *data_[static_cast<size_t>(index)];
  s.SetPosition(0);
  return s;
}

void TRVMarkerList::Assign(const TRVMarkerList* source) {
  if (!source || source == this) return;
  Clear();
  for (int32_t i = 0; i < source->Count(); ++i)
    AddMarker(source->GetMarkerType(i), source->GetMarkerData(i), source->GetMarkerLength(i));
}

namespace {
int32_t CompareMarkers(void* data, int32_t a, int32_t b) {
  auto* list = static_cast<TRVMarkerList*>(data);
  const uint8_t ta = list->GetMarkerType(a), tb = list->GetMarkerType(b);
  if (ta == 0xE2 && tb == 0xE2) {
    const int32_t la = list->GetMarkerLength(a), lb = list->GetMarkerLength(b);
    const uint8_t* da = list->GetMarkerData(a);
    const uint8_t* db = list->GetMarkerData(b);
    if (la > 13 && lb > 13 && IsICCProfileMarker(da, la) && IsICCProfileMarker(db, lb))
      return static_cast<int32_t>(da[12]) - static_cast<int32_t>(db[12]);
  }
  return static_cast<int32_t>(ta) - static_cast<int32_t>(tb);
}

struct ExchangeAccess {
  std::vector<std::unique_ptr<TMemoryStream>>* data;
  std::vector<uint8_t>* types;
};
void ExchangeMarkers(void* p, int32_t a, int32_t b) {
  auto* x = static_cast<ExchangeAccess*>(p);
  std::swap((*x->data)[static_cast<size_t>(a)], (*x->data)[static_cast<size_t>(b)]);
  std::swap((*x->types)[static_cast<size_t>(a)], (*x->types)[static_cast<size_t>(b)]);
}
}  // namespace

void TRVMarkerList::SortMarkers() {
  ExchangeAccess access{&data_, &types_};
  if (Count() > 1) SortIndexed(Count(), CompareMarkers, this, ExchangeMarkers, &access);
  const int32_t first = IndexOf(0xE1);
  if (first < 0) return;
  for (int32_t i = first + 1; i < Count(); ++i) {
    if (types_[static_cast<size_t>(i)] == 0xE1 && IsEXIFMarker(GetMarkerData(i), GetMarkerLength(i)))
      ExchangeMarkers(&access, first, i);
  }
}

// ---------------------------------------------------------------- IPTC

void TRVIPTCInfoList::Check(int32_t index) const {
  if (index < 0 || index >= Count()) ListIndexError(index);
}

int32_t TRVIPTCInfoList::AddItem(int32_t recordNumber, int32_t dataSet, const void* data, int32_t length) {
  Item it;
  it.record = recordNumber;
  it.dataSet = dataSet;
  if (length > 0 && data) {
    const auto* p = static_cast<const uint8_t*>(data);
    it.data.assign(p, p + length);
  }
  items_.push_back(std::move(it));
  Changed = true;
  return Count() - 1;
}

int32_t TRVIPTCInfoList::GetRecordNumber(int32_t index) const {
  Check(index);
  return items_[static_cast<size_t>(index)].record;
}
void TRVIPTCInfoList::SetRecordNumber(int32_t index, int32_t value) {
  Check(index);
  items_[static_cast<size_t>(index)].record = value;
  Changed = true;
}
int32_t TRVIPTCInfoList::GetDataSet(int32_t index) const {
  Check(index);
  return items_[static_cast<size_t>(index)].dataSet;
}
void TRVIPTCInfoList::SetDataSet(int32_t index, int32_t value) {
  Check(index);
  items_[static_cast<size_t>(index)].dataSet = value;
  Changed = true;
}
int32_t TRVIPTCInfoList::GetLength(int32_t index) const {
  Check(index);
  return static_cast<int32_t>(items_[static_cast<size_t>(index)].data.size());
}
const uint8_t* TRVIPTCInfoList::GetData(int32_t index) const {
  Check(index);
  const auto& d = items_[static_cast<size_t>(index)].data;
  return d.empty() ? nullptr : d.data();
}

std::string TRVIPTCInfoList::GetStrings(int32_t index) const {
  if (index < 0 || index >= Count()) return {};
  const auto& d = items_[static_cast<size_t>(index)].data;
  return common::Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(d.data()), d.size()));
}

void TRVIPTCInfoList::SetStrings(int32_t index, const std::string& value) {
  Check(index);
  const std::string bytes = common::Utf8ToCp1252(value);
  items_[static_cast<size_t>(index)].data.assign(bytes.begin(), bytes.end());
  Changed = true;
}

void TRVIPTCInfoList::Clear() {
  items_.clear();
  Changed = true;
}

void TRVIPTCInfoList::Assign(const TRVIPTCInfoList* source) {
  if (!source || source == this) return;
  Clear();
  for (const auto& it : source->items_)
    AddItem(it.record, it.dataSet, it.data.data(), static_cast<int32_t>(it.data.size()));
  Changed = true;
}

std::vector<uint8_t> TRVIPTCInfoList::SaveToBuffer(bool photoshopHeader) const {
  std::vector<uint8_t> out;
  if (items_.empty()) return out;
  if (photoshopHeader) {
    static const uint8_t kHeader[26] = {'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3', '.', '0',
                                        0,   '8', 'B', 'I', 'M', 0x04, 0x04, 0, 0, 0, 0, 0, 0};
    Append(out, kHeader, sizeof kHeader);
  } else {
    const uint8_t version[] = {0x1C, 0x02, 0x00, 0x00, 0x02, 0x00, 0x02};
    Append(out, version, sizeof version);
  }
  uint32_t total = 0;
  for (const auto& it : items_) {
    if ((it.record == 2 && it.dataSet == 0) || it.data.empty()) continue;
    const uint32_t n = static_cast<uint32_t>(it.data.size());
    out.push_back(0x1C);
    out.push_back(static_cast<uint8_t>(it.record));
    out.push_back(static_cast<uint8_t>(it.dataSet));
    if (n < 32768) {
      out.push_back(static_cast<uint8_t>(n >> 8));
      out.push_back(static_cast<uint8_t>(n));
      total += 5 + n;
    } else {
      const uint8_t len[] = {0x80, 0x04, uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
      Append(out, len, sizeof len);
      total += 9 + n;
    }
    Append(out, it.data.data(), it.data.size());
  }
  if (out.size() & 1) out.push_back(0);
  if (photoshopHeader) {
    out[22] = uint8_t(total >> 24);
    out[23] = uint8_t(total >> 16);
    out[24] = uint8_t(total >> 8);
    out[25] = uint8_t(total);
  }
  return out;
}

bool TRVIPTCInfoList::LoadFromBuffer(const uint8_t* buffer, int32_t length) {
  Clear();
  if (length <= 0 || !buffer) return false;
  int64_t i = 0;
  const int64_t len = length;
  if (len >= 13 && std::memcmp(buffer, "Photoshop 3.0", 13) == 0) {
    static const uint8_t kRes[] = {'8', 'B', 'I', 'M', 0x04, 0x04};
    i = len;
    for (int64_t k = 0; k + 6 <= len; ++k) {
      if (std::memcmp(buffer + k, kRes, 6) == 0) {
        i = k + 6;
        break;
      }
    }
  }
  while (i < len && buffer[i] != 0x1C) ++i;
  while (i + 1 < len && buffer[i + 1] == 0x1C) ++i;
  bool any = false;
  while (i < len && buffer[i] == 0x1C && i + 5 < len) {
    const int32_t rec = buffer[i + 1], ds = buffer[i + 2];
    int64_t n, start;
    if (buffer[i + 3] & 0x80) {
      if (i + 9 > len) break;
      const int32_t v = static_cast<int32_t>((uint32_t(buffer[i + 5]) << 24) | (uint32_t(buffer[i + 6]) << 16) |
                                             (uint32_t(buffer[i + 7]) << 8) | buffer[i + 8]);
      n = v < 0 ? -static_cast<int64_t>(v) : v;
      start = i + 9;
    } else {
      n = (int32_t(buffer[i + 3]) << 8) | buffer[i + 4];
      start = i + 5;
    }
    if (start + n > len) break;
    AddItem(rec, ds, buffer + start, static_cast<int32_t>(n));
    any = true;
    i = start + n;
  }
  Changed = false;
  return any;
}

}  // namespace rv
