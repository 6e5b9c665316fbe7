#include "DicomTestTools.h"

#include <cstring>

namespace rv::test {

namespace {

bool IsLong(const char* vr) {
  for (const char* l : {"OB", "OW", "UN", "SQ", "UT"})
    if (std::strcmp(vr, l) == 0) return true;
  return false;
}

void LE16(std::vector<uint8_t>& o, uint16_t v) {
  o.push_back(uint8_t(v));
  o.push_back(uint8_t(v >> 8));
}
void LE32(std::vector<uint8_t>& o, uint32_t v) {
  for (int i = 0; i < 4; ++i) o.push_back(uint8_t(v >> (8 * i)));
}

}  // namespace

void DicomBuilder::Put16(std::vector<uint8_t>& to, uint16_t v, bool bigEndian) {
  if (bigEndian) {
    to.push_back(uint8_t(v >> 8));
    to.push_back(uint8_t(v));
  } else {
    LE16(to, v);
  }
}

DicomBuilder::DicomBuilder(const std::string& syntax, Encoding encoding, bool preamble) : encoding_(encoding) {
  if (!preamble) return;
  out_.assign(128, 0);
  for (char c : std::string("DICM")) out_.push_back(uint8_t(c));
  // The meta group is always explicit little-endian.
  std::string uid = syntax;
  if (uid.size() % 2) uid.push_back('\0');
  LE16(out_, 0x0002);
  LE16(out_, 0x0010);
  out_.push_back('U');
  out_.push_back('I');
  LE16(out_, uint16_t(uid.size()));
  for (char c : uid) out_.push_back(uint8_t(c));
}

void DicomBuilder::Tag(uint16_t group, uint16_t element) {
  Put16(out_, group, encoding_ == ExplicitBE);
  Put16(out_, element, encoding_ == ExplicitBE);
}

void DicomBuilder::Put32(uint32_t v) {
  if (encoding_ == ExplicitBE) {
    for (int i = 3; i >= 0; --i) out_.push_back(uint8_t(v >> (8 * i)));
  } else {
    LE32(out_, v);
  }
}

DicomBuilder& DicomBuilder::Header(uint16_t group, uint16_t element, const char* vr, uint32_t length) {
  Tag(group, element);
  if (encoding_ == ImplicitLE || group == 0xFFFE) {
    Put32(length);
  } else if (IsLong(vr)) {
    out_.push_back(uint8_t(vr[0]));
    out_.push_back(uint8_t(vr[1]));
    out_.push_back(0);
    out_.push_back(0);
    Put32(length);
  } else {
    out_.push_back(uint8_t(vr[0]));
    out_.push_back(uint8_t(vr[1]));
    Put16(out_, uint16_t(length), encoding_ == ExplicitBE);
  }
  return *this;
}

DicomBuilder& DicomBuilder::Element(uint16_t group, uint16_t element, const char* vr, std::vector<uint8_t> value,
                                    uint8_t pad) {
  if (value.size() % 2) value.push_back(pad);
  Header(group, element, vr, uint32_t(value.size()));
  out_.insert(out_.end(), value.begin(), value.end());
  return *this;
}

DicomBuilder& DicomBuilder::Text(uint16_t group, uint16_t element, const char* vr, const std::string& text) {
  return Element(group, element, vr, std::vector<uint8_t>(text.begin(), text.end()),
                 std::strcmp(vr, "UI") == 0 ? 0 : ' ');
}

DicomBuilder& DicomBuilder::US(uint16_t group, uint16_t element, uint16_t value) {
  std::vector<uint8_t> v;
  Put16(v, value, encoding_ == ExplicitBE);
  return Element(group, element, "US", v);
}

DicomBuilder& DicomBuilder::Image(int rows, int columns, int samples, int bitsAllocated, int bitsStored,
                                  const std::string& photometric, int pixelRepresentation, int frames) {
  US(0x0028, 0x0002, uint16_t(samples));
  Text(0x0028, 0x0004, "CS", photometric);
  if (samples > 1) US(0x0028, 0x0006, 0);
  if (frames > 0) Text(0x0028, 0x0008, "IS", std::to_string(frames));
  US(0x0028, 0x0010, uint16_t(rows));
  US(0x0028, 0x0011, uint16_t(columns));
  US(0x0028, 0x0100, uint16_t(bitsAllocated));
  US(0x0028, 0x0101, uint16_t(bitsStored));
  US(0x0028, 0x0102, uint16_t(bitsStored - 1));
  US(0x0028, 0x0103, uint16_t(pixelRepresentation));
  return *this;
}

DicomBuilder& DicomBuilder::NativePixels(const std::vector<uint8_t>& bytes) {
  return Element(0x7FE0, 0x0010, "OW", bytes);
}

DicomBuilder& DicomBuilder::EncapsulatedPixels(const std::vector<std::vector<uint8_t>>& frames, bool offsets) {
  Header(0x7FE0, 0x0010, "OB", 0xFFFFFFFFu);
  // Items are always little-endian.
  auto item = [&](uint32_t length) {
    LE16(out_, 0xFFFE);
    LE16(out_, 0xE000);
    LE32(out_, length);
  };
  std::vector<uint8_t> table;
  uint32_t at = 0;
  for (const auto& f : frames) {
    if (offsets) LE32(table, at);
    at += 8 + uint32_t(f.size() + f.size() % 2);
  }
  item(uint32_t(table.size()));
  out_.insert(out_.end(), table.begin(), table.end());
  for (const auto& f : frames) {
    item(uint32_t(f.size() + f.size() % 2));
    out_.insert(out_.end(), f.begin(), f.end());
    if (f.size() % 2) out_.push_back(0);
  }
  LE16(out_, 0xFFFE);
  LE16(out_, 0xE0DD);
  LE32(out_, 0);
  return *this;
}

std::vector<uint8_t> LosslessJpeg(int w, int h, int precision, int restart, const std::vector<int>& samples) {
  std::vector<uint8_t> out = {0xFF, 0xD8, 0xFF, 0xC3, 0, 11, uint8_t(precision), 0, uint8_t(h), 0, uint8_t(w), 1, 1, 0x11, 0};
  out.insert(out.end(), {0xFF, 0xC4, 0, 36, 0x00, 0, 0, 0, 0, 17, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  for (int v = 0; v <= 16; ++v) out.push_back(uint8_t(v));
  if (restart) out.insert(out.end(), {0xFF, 0xDD, 0, 4, 0, uint8_t(restart)});
  out.insert(out.end(), {0xFF, 0xDA, 0, 8, 1, 1, 0, 1, 0, 0});
  uint32_t acc = 0;
  int bits = 0;
  auto flush = [&](bool pad) {
    while (bits >= 8 || (pad && bits > 0)) {
      uint8_t byte;
      if (bits >= 8) {
        byte = uint8_t(acc >> (bits - 8));
        bits -= 8;
      } else {
        byte = uint8_t((acc << (8 - bits)) | ((1 << (8 - bits)) - 1));
        bits = 0;
      }
      out.push_back(byte);
      if (byte == 0xFF) out.push_back(0);
    }
    acc &= (1u << bits) - 1;
  };
  auto put = [&](uint32_t value, int n) {
    acc = (acc << n) | (value & ((1u << n) - 1));
    bits += n;
    flush(false);
  };
  const int initial = 1 << (precision - 1);
  int count = 0, marker = 0, intervalRow = 0;
  bool start = true;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (restart && count == restart) {
        flush(true);
        out.push_back(0xFF);
        out.push_back(uint8_t(0xD0 + (marker++ & 7)));
        count = 0;
        start = true;
        intervalRow = y;
      }
      const int predicted = start ? initial : (y == intervalRow ? samples[size_t(y * w + x - 1)]
                                                                : (x == 0 ? samples[size_t((y - 1) * w)] : samples[size_t(y * w + x - 1)]));
      int diff = samples[size_t(y * w + x)] - predicted;
      int category = 0;
      while ((diff < 0 ? -diff : diff) >= (1 << category)) ++category;
      put(uint32_t(category), 5);
      if (category) put(uint32_t(diff < 0 ? diff + (1 << category) - 1 : diff), category);
      start = false;
      ++count;
    }
  flush(true);
  out.insert(out.end(), {0xFF, 0xD9});
  return out;
}

}  // namespace rv::test
