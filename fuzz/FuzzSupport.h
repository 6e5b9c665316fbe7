#pragma once
// Shared by the fuzz targets: one input split into a choice and the bytes to read, and the bytes
// put in a file for the readers that only read files.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace zephor_fuzz {

// The first byte of an input as a choice among `n` ways to read the rest; data and size then
// describe the rest.
inline unsigned TakeChoice(const uint8_t*& data, size_t& size, unsigned n) {
  if (size == 0) return 0;
  const unsigned choice = data[0] % n;
  ++data;
  --size;
  return choice;
}

// The bytes written to a file of this process in /tmp whose name ends in `suffix` (an extension,
// which some readers go by); the file is removed again at the end of the scope. Name() is empty
// when the file could not be written.
class TempFile {
 public:
  TempFile(const char* target, const std::string& suffix, const uint8_t* data, size_t size) {
    const std::string name = "/tmp/zephor-" + std::string(target) + "-fuzz-" + std::to_string(getpid()) + suffix;
    FILE* f = std::fopen(name.c_str(), "wb");
    if (!f) return;
    const bool written = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) == 0 && written) name_ = name;
    else std::remove(name.c_str());
  }
  ~TempFile() {
    if (!name_.empty()) std::remove(name_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
};

}  // namespace zephor_fuzz
