#include <algorithm>
#include <cstring>

#include "rastova/codecs/psd/rvpsd.h"

namespace rv {

bool PackBitsDecodeRow(const uint8_t* src, int64_t srcLen, uint8_t* dest, int64_t destLen) {
  int64_t in = 0, out = 0;
  while (out < destLen) {
    if (in >= srcLen) {
      std::memset(dest + out, 0, size_t(destLen - out));
      return false;
    }
    const int n = static_cast<int8_t>(src[in++]);
    if (n >= 0) {
      const int64_t k = std::min<int64_t>({n + 1, destLen - out, srcLen - in});
      std::memcpy(dest + out, src + in, size_t(k));
      out += k;
      in += n + 1;
    } else if (n != -128) {
      if (in >= srcLen) continue;
      const int64_t k = std::min<int64_t>(1 - n, destLen - out);
      std::memset(dest + out, src[in++], size_t(k));
      out += k;
    }
  }
  return true;
}

int32_t PackBitsEncodeRow(const uint8_t* row, int32_t length, std::vector<uint8_t>& out) {
  const size_t before = out.size();
  int32_t literalStart = 0, literalLen = 0;
  auto flush = [&] {
    if (literalLen == 0) return;
    out.push_back(static_cast<uint8_t>(literalLen - 1));
    out.insert(out.end(), row + literalStart, row + literalStart + literalLen);
    literalLen = 0;
  };
  int32_t i = 0;
  while (i < length) {
    int32_t run = 1;
    while (i + run < length && run < 128 && row[i + run] == row[i]) ++run;
    if (run >= 4) {
      flush();
      out.push_back(static_cast<uint8_t>(257 - run));
      out.push_back(row[i]);
      i += run;
      continue;
    }
    if (literalLen == 0) literalStart = i;
    ++literalLen;
    ++i;
    if (literalLen == 128) flush();
  }
  flush();
  return static_cast<int32_t>(out.size() - before);
}

}  // namespace rv
