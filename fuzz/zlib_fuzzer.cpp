// The zlib decompression stream read in pieces of a size the first byte chooses, rewound and
// read again (both reads must agree), and the whole-block inflater.
#include <cstdlib>
#include <exception>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVZLib.h"

namespace {

std::vector<uint8_t> ReadAll(rv::TZDecompressionStream& z, int64_t piece) {
  std::vector<uint8_t> out, buffer(static_cast<size_t>(piece));
  for (;;) {
    const int64_t got = z.Read(buffer.data(), piece);
    if (got <= 0) break;
    out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    if (out.size() > (64u << 20)) std::abort();  // far beyond what an input of fuzzing size holds
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const unsigned choice = zephor_fuzz::TakeChoice(data, size, 256);
  const int64_t piece = 1 + (choice * choice) % 5000;
  rv::TRVMemStream stream(data, static_cast<int64_t>(size));
  try {
    rv::TZDecompressionStream z(stream);
    const std::vector<uint8_t> first = ReadAll(z, piece);
    z.Seek(0, rv::soBeginning);
    if (ReadAll(z, 4096) != first) std::abort();  // the piece size must not change the data
  } catch (const std::exception&) {
  }
  try {
    std::vector<uint8_t> out;
    rv::ZDecompressBuffer(data, static_cast<int64_t>(size), out, choice);
  } catch (const std::exception&) {
  }
  return 0;
}
