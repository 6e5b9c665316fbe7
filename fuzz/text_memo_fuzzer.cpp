// The text editor's "RASTOVA TEXTMEMO" clipboard block: read, and a block read is written again
// and must read back the same.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "rastova/view/text/RVTextMemoBlock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text;
  std::vector<rv::TRVCharFormat> formats;
  if (!rv::ParseTextMemoBlock(std::span(data, size), text, formats)) return 0;
  const std::vector<uint8_t> again = rv::BuildTextMemoBlock(text, formats);
  std::string text2;
  std::vector<rv::TRVCharFormat> formats2;
  if (!rv::ParseTextMemoBlock(again, text2, formats2) || text2 != text || formats2.size() != formats.size() ||
      (!formats.empty() &&
       std::memcmp(formats.data(), formats2.data(), formats.size() * sizeof(rv::TRVCharFormat))))
    std::abort();
  return 0;
}
