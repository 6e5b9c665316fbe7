#include "RawTools.h"

#include <algorithm>
#include <cstring>

namespace rv::test {

namespace {

struct TEntry {
  uint16_t tag, type;
  uint32_t count;
  uint8_t value[4];
};

void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

}  // namespace

std::vector<uint8_t> MakeSyntheticDNG(const TSyntheticDNG& spec) {
  const int32_t w = spec.width, h = spec.height;
  std::vector<TEntry> e;
  std::vector<uint8_t> data;  // out-of-line values, then the samples
  constexpr size_t kEntries = 25;
  const uint32_t dataAt = 8 + 2 + 12 * kEntries + 4;
  auto add = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
    TEntry x{tag, type, count, {}};
    Put32(x.value, value);
    e.push_back(x);
  };
  auto blob = [&](const std::vector<uint8_t>& b) {
    const uint32_t at = dataAt + static_cast<uint32_t>(data.size());
    data.insert(data.end(), b.begin(), b.end());
    if (data.size() & 1) data.push_back(0);
    return at;
  };
  auto text = [&](const std::string& s) {
    std::vector<uint8_t> b(s.begin(), s.end());
    b.push_back(0);
    return b;
  };
  add(254, 4, 1, 0);
  add(256, 4, 1, uint32_t(w));
  add(257, 4, 1, uint32_t(h));
  add(258, 3, 1, 16);
  add(259, 3, 1, 1);
  add(262, 3, 1, 32803);
  add(271, 2, uint32_t(spec.make.size() + 1), spec.make.size() + 1 > 4 ? blob(text(spec.make)) : 0);
  add(272, 2, uint32_t(spec.model.size() + 1), spec.model.size() + 1 > 4 ? blob(text(spec.model)) : 0);
  add(273, 4, 1, 0);  // patched below
  add(274, 3, 1, 1);
  add(277, 3, 1, 1);
  add(278, 4, 1, uint32_t(h));
  add(279, 4, 1, uint32_t(w) * uint32_t(h) * 2);
  add(284, 3, 1, 1);
  add(33421, 3, 2, 2 | (2 << 16));
  add(33422, 1, 4, 0x02010100);  // R G G B
  add(50706, 1, 4, 0x00000401);  // 1.4.0.0
  add(50707, 1, 4, 0x00000101);
  add(50708, 2, uint32_t(spec.make.size() + spec.model.size() + 2), blob(text(spec.make + " " + spec.model)));
  add(50710, 1, 3, 0x00020100);
  add(50714, 4, 1, 0);
  add(50717, 4, 1, 4095);
  {
    std::vector<uint8_t> m(9 * 8);
    for (int i = 0; i < 9; ++i) {
      Put32(&m[8 * size_t(i)], i % 4 == 0 ? 10000 : 0);
      Put32(&m[8 * size_t(i) + 4], 10000);
    }
    add(50721, 10, 9, blob(m));
  }
  {
    std::vector<uint8_t> n(3 * 8);
    for (int i = 0; i < 3; ++i) {
      Put32(&n[8 * size_t(i)], 1);
      Put32(&n[8 * size_t(i) + 4], 1);
    }
    add(50728, 5, 3, blob(n));
  }
  add(50778, 3, 1, 21);
  // The samples last, so that a cut lands inside them.
  const uint32_t samplesAt = dataAt + static_cast<uint32_t>(data.size());
  for (TEntry& x : e)
    if (x.tag == 273) Put32(x.value, samplesAt);
  data.resize(data.size() + size_t(w) * size_t(h) * 2);
  uint8_t* s = data.data() + (samplesAt - dataAt);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const int32_t c = (y % 2 == 0) ? (x % 2 == 0 ? 0 : 1) : (x % 2 == 0 ? 1 : 2);
      const uint16_t v = spec.sample ? spec.sample(x, y, c)
                                     : static_cast<uint16_t>((c == 0   ? 3000
                                                              : c == 1 ? 2000
                                                                       : 1000) +
                                                             (x * 10 + y * 7) % 200);
      Put16(s + 2 * (size_t(y) * size_t(w) + size_t(x)), v);
    }
  std::sort(e.begin(), e.end(), [](const TEntry& a, const TEntry& b) { return a.tag < b.tag; });
  std::vector<uint8_t> out(8 + 2 + 12 * kEntries + 4, 0);
  out[0] = out[1] = 'I';
  Put16(&out[2], 42);
  Put32(&out[4], 8);
  Put16(&out[8], static_cast<uint32_t>(e.size()));
  for (size_t i = 0; i < e.size() && i < kEntries; ++i) {
    uint8_t* q = &out[10 + 12 * i];
    Put16(q, e[i].tag);
    Put16(q + 2, e[i].type);
    Put32(q + 4, e[i].count);
    std::memcpy(q + 8, e[i].value, 4);
  }
  out.insert(out.end(), data.begin(), data.end());
  if (spec.cut > 0) out.resize(out.size() - std::min(spec.cut, out.size()));
  return out;
}

}  // namespace rv::test
