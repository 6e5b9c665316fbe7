#include "common/FileReplace.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace common {

namespace {

// As many links as the system itself follows before it reports a loop.
constexpr int kMaxLinks = 40;

// The target of the link `path`, or false when it is not a link that can be read.
bool ReadLink(const std::string& path, std::string& target) {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (n < 0) return false;
    if (static_cast<size_t>(n) < buffer.size()) {
      target.assign(buffer.data(), static_cast<size_t>(n));
      return !target.empty();
    }
    buffer.resize(buffer.size() * 2);
  }
}

// The permission bits of `path` when it is a regular file.
bool RegularFileMode(const std::string& path, mode_t& mode) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  mode = st.st_mode & 07777;
  return true;
}

}  // namespace

std::string FileToReplace(const std::string& fileName) {
  std::string path = fileName;
  for (int links = 0; links <= kMaxLinks; ++links) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string target;
    if (!ReadLink(path, target)) return path;
    if (target[0] != '/') {
      const size_t slash = path.rfind('/');
      if (slash != std::string::npos) target = path.substr(0, slash + 1) + target;
    }
    path = target;
  }
  return fileName;
}

bool KeepFileMode(int fd, const std::string& replaced) {
  mode_t mode = 0;
  if (!RegularFileMode(replaced, mode)) return true;
  return ::fchmod(fd, mode) == 0;
}

int ReplaceFileThrough(const std::string& fileName, const std::string& temporarySuffix,
                       const std::function<void(const std::string& temporary)>& write) {
  const std::string target = FileToReplace(fileName);
  const std::string temporary = target + temporarySuffix;
  try {
    write(temporary);
  } catch (...) {
    std::remove(temporary.c_str());
    throw;
  }
  mode_t mode = 0;
  if (RegularFileMode(target, mode)) ::chmod(temporary.c_str(), mode);
  if (std::rename(temporary.c_str(), target.c_str()) != 0) {
    const int error = errno;
    std::remove(temporary.c_str());
    return error;
  }
  return 0;
}

}  // namespace common
