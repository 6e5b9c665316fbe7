// The settings file's text parser; what it makes of any text must write out as text that
// reads back the same.
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/RegText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const settings::TRegTree tree = settings::ParseRegText(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string text = settings::FormatRegText(tree);
  if (settings::FormatRegText(settings::ParseRegText(text)) != text) std::abort();
  return 0;
}
