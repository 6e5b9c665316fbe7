#include "TiffTestTools.h"

#include <algorithm>
#include <cstdio>

namespace rv::test {

std::unique_ptr<TiffRead> ReadTiff(const std::vector<uint8_t>& data, int32_t index, bool native,
                                   bool tagsOnly, bool thumbnail) {
  auto r = std::make_unique<TiffRead>();
  r->params.TIFF_ImageIndex = index;
  r->params.NativePixelFormat = native;
  auto s = StreamOf(data);
  TRVProgressRec progress;
  ReadTIFFStream(r->bitmap, *s, r->pages, thumbnail, false, true, r->mask, tagsOnly, progress, r->params);
  r->ok = !progress.IsAborting();
  return r;
}

std::vector<uint8_t> WriteTiff(TRVBitmap& bitmap, TIOParamsVals& params, TRVMask* alpha, bool* ok) {
  TMemoryStream s;
  TRVProgressRec progress;
  WriteTIFFStream(s, false, &bitmap, alpha, progress, params);
  if (ok) *ok = !progress.IsAborting();
  return s.Data();
}

bool HaveTiffTools() { return RunCommand("command -v tiffcp >/dev/null && command -v tiffdump >/dev/null"); }

std::string TiffDump(const std::string& path) {
  const std::string out = path + ".dump";
  if (!RunCommand("tiffdump '" + path + "' > '" + out + "' 2>&1")) return {};
  const std::vector<uint8_t> b = ReadFileBytes(out);
  return std::string(b.begin(), b.end());
}

}  // namespace rv::test

namespace rv::test {

void TiffBuilder::Put16(std::vector<uint8_t>& b, uint32_t v) const {
  if (le_) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
  } else {
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
  }
}

void TiffBuilder::Put32(std::vector<uint8_t>& b, uint32_t v) const {
  if (le_) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
  } else {
    Put16(b, v >> 16);
    Put16(b, v & 0xFFFF);
  }
}

uint32_t TiffBuilder::Data(const std::vector<uint8_t>& bytes) {
  if (data_.size() & 1) data_.push_back(0);
  const uint32_t at = uint32_t(8 + data_.size());
  Append(data_, bytes);
  return at;
}

void TiffBuilder::RawEntry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
  ifds_.back().push_back(E{tag, type, count, value});
}

void TiffBuilder::Entry(uint16_t tag, uint16_t type, const std::vector<uint32_t>& values) {
  const int size = type == 3 ? 2 : type == 4 ? 4 : type == 5 ? 8 : 1;
  std::vector<uint8_t> raw;
  for (uint32_t v : values) {
    if (size == 1)
      raw.push_back(uint8_t(v));
    else if (size == 2)
      Put16(raw, v);
    else
      Put32(raw, v);
  }
  if (type == 5) raw.clear();
  if (type == 5)
    for (size_t i = 0; i + 1 < values.size(); i += 2) {
      Put32(raw, values[i]);
      Put32(raw, values[i + 1]);
    }
  const uint32_t count = type == 5 ? uint32_t(values.size() / 2) : uint32_t(values.size());
  if (raw.size() <= 4) {
    raw.resize(4, 0);
    // The value field as the reader takes it: the bytes in file order read as one word.
    const uint32_t v =
        le_ ? uint32_t(raw[0]) | uint32_t(raw[1]) << 8 | uint32_t(raw[2]) << 16 | uint32_t(raw[3]) << 24
            : uint32_t(raw[0]) << 24 | uint32_t(raw[1]) << 16 | uint32_t(raw[2]) << 8 | uint32_t(raw[3]);
    RawEntry(tag, type, count, v);
  } else {
    RawEntry(tag, type, count, Data(raw));
  }
}

void TiffBuilder::NextIFD() { ifds_.push_back({}); }

std::vector<uint8_t> TiffBuilder::Bytes(const std::vector<int>& links) {
  std::vector<uint8_t> out;
  out.push_back(le_ ? 'I' : 'M');
  out.push_back(le_ ? 'I' : 'M');
  Put16(out, 42);
  std::vector<uint32_t> at;
  uint32_t pos = uint32_t(8 + data_.size());
  if (pos & 1) ++pos;
  for (const auto& ifd : ifds_) {
    at.push_back(pos);
    pos += uint32_t(2 + 12 * ifd.size() + 4);
  }
  Put32(out, at.empty() ? 0 : at[0]);
  Append(out, data_);
  if (out.size() & 1) out.push_back(0);
  for (size_t i = 0; i < ifds_.size(); ++i) {
    auto ifd = ifds_[i];
    std::stable_sort(ifd.begin(), ifd.end(), [](const E& a, const E& b) { return a.tag < b.tag; });
    Put16(out, uint32_t(ifd.size()));
    for (const E& e : ifd) {
      Put16(out, e.tag);
      Put16(out, e.type);
      Put32(out, e.count);
      // The value field back to file order.
      const uint32_t v = e.value;
      if (le_) {
        for (int k = 0; k < 4; ++k) out.push_back(uint8_t(v >> (8 * k)));
      } else {
        for (int k = 3; k >= 0; --k) out.push_back(uint8_t(v >> (8 * k)));
      }
    }
    int link = i + 1 < ifds_.size() ? int(i + 1) : -1;
    if (i < links.size()) link = links[i];
    Put32(out, link < 0 ? 0 : at[size_t(link)]);
  }
  return out;
}

std::vector<uint8_t> TiffBuilder::Page(int width, int height, int bits, const std::vector<uint8_t>& strip,
                                       uint16_t compression, uint16_t photometric) {
  TiffBuilder b;
  const uint32_t offset = b.Data(strip);
  b.Entry(256, 4, {uint32_t(width)});
  b.Entry(257, 4, {uint32_t(height)});
  b.Entry(258, 3, {uint32_t(bits)});
  b.Entry(259, 3, {compression});
  b.Entry(262, 3, {photometric});
  b.Entry(273, 4, {offset});
  b.Entry(278, 4, {uint32_t(height)});
  b.Entry(279, 4, {uint32_t(strip.size())});
  return b.Bytes();
}

}  // namespace rv::test
