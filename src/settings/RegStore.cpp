#include "settings/RegStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <system_error>

#include "common/FileReplace.h"

namespace settings {

namespace {

std::string& FileNameOverride() {
  static std::string name;
  return name;
}

std::string ErrnoText(int err) { return std::generic_category().message(err); }

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

std::string DirName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool ValidName(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

class TFd {
 public:
  explicit TFd(int fd = -1) : fd_(fd) {}
  ~TFd() { Close(); }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return fd_; }
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  int Close() {
    int rc = 0;
    if (fd_ >= 0) rc = ::close(fd_);
    fd_ = -1;
    return rc;
  }

 private:
  int fd_;
};

enum class TReadResult { Ok, Missing, Failed };

// The whole file. O_NONBLOCK keeps a FIFO put in the file's place from blocking the open.
TReadResult ReadFileText(const std::string& path, std::string& text, std::string& error) {
  text.clear();
  TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.Get() < 0) {
    if (errno == ENOENT) return TReadResult::Missing;
    error = ErrnoText(errno);
    return TReadResult::Failed;
  }
  struct stat st;
  if (::fstat(fd.Get(), &st) != 0) {
    error = ErrnoText(errno);
    return TReadResult::Failed;
  }
  if (!S_ISREG(st.st_mode)) {
    error = "not a regular file";
    return TReadResult::Failed;
  }
  if (st.st_size > 0 && static_cast<uint64_t>(st.st_size) <= kMaxSettingsFileSize)
    text.reserve(static_cast<size_t>(st.st_size));
  char buf[65536];
  while (true) {
    ssize_t n = ::read(fd.Get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = ErrnoText(errno);
      text.clear();
      return TReadResult::Failed;
    }
    if (n == 0) break;
    if (text.size() + static_cast<size_t>(n) > kMaxSettingsFileSize) {
      text.clear();  // not a settings file: reads as empty
      text.shrink_to_fit();
      return TReadResult::Ok;
    }
    text.append(buf, static_cast<size_t>(n));
  }
  return TReadResult::Ok;
}

[[noreturn]] void WriteFailure(const std::string& fileName, const std::string& why) {
  throw ERegistryException("Cannot write the settings file " + Quoted(fileName) + ": " + why);
}

void MakeFolders(const std::string& fileName, const std::string& dir) {
  for (size_t p = 1; p <= dir.size(); ++p) {
    if (p != dir.size() && dir[p] != '/') continue;
    std::string prefix = dir.substr(0, p);
    if (::mkdir(prefix.c_str(), 0700) == 0 || errno == EEXIST) continue;
    int err = errno;
    struct stat st;
    if (::stat(prefix.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
    WriteFailure(fileName, "cannot create the folder " + Quoted(prefix) + " (" + ErrnoText(err) + ")");
  }
}

// Serialises the flushes of every store of every process on this folder: flock locks belong
// to the open file, so two stores in one process exclude each other as well.
class TFolderLock {
 public:
  TFolderLock(const std::string& fileName, const std::string& dir)
      : fd_(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_.Get() < 0)
      WriteFailure(fileName, "cannot open the folder " + Quoted(dir) + " (" + ErrnoText(errno) + ")");
    while (::flock(fd_.Get(), LOCK_EX) != 0) {
      if (errno == EINTR) continue;
      WriteFailure(fileName, "cannot lock the folder " + Quoted(dir) + " (" + ErrnoText(errno) + ")");
    }
  }

 private:
  TFd fd_;  // closing it releases the lock
};

void ReplaceFile(const std::string& fileName, const std::string& target, const std::string& text) {
  static std::atomic<unsigned> counter{0};
  std::string temp;
  TFd fd;
  for (int attempt = 0; fd.Get() < 0; ++attempt) {
    temp = target + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    fd.Reset(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.Get() < 0 && (errno != EEXIST || attempt >= 100))
      WriteFailure(fileName, "cannot create " + Quoted(temp) + " (" + ErrnoText(errno) + ")");
  }
  auto fail = [&](const std::string& what, int err) {
    fd.Close();
    ::unlink(temp.c_str());
    WriteFailure(fileName, what + " (" + ErrnoText(err) + ")");
  };
  // The new file keeps the permissions the user gave the old one.
  (void)common::KeepFileMode(fd.Get(), target);
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd.Get(), text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("cannot write " + Quoted(temp), errno);
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd.Get()) != 0) fail("cannot write " + Quoted(temp), errno);
  if (fd.Close() != 0) fail("cannot write " + Quoted(temp), errno);
  if (::rename(temp.c_str(), target.c_str()) != 0) fail("cannot replace the file", errno);
  // Make the rename itself durable; the file is in place either way.
  TFd dir(::open(DirName(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Get() >= 0) ::fsync(dir.Get());
}

}  // namespace

std::string DefaultSettingsFileName() {
  std::string base;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (home && home[0]) {
      base = home;
    } else {
      struct passwd pw, *found = nullptr;
      std::vector<char> buf(16384);
      if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && pw.pw_dir &&
          pw.pw_dir[0])
        base = pw.pw_dir;
    }
    if (base.empty()) return "";
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    base += "/.config";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  if (base == "/") base.clear();
  return base + "/DURIM PROJECT/ZEPHOR6.reg";
}

std::string SettingsFileName() {
  const std::string& name = FileNameOverride();
  return name.empty() ? DefaultSettingsFileName() : name;
}

void SetSettingsFileName(std::string fileName) { FileNameOverride() = std::move(fileName); }

TRegStore::TRegStore(std::string fileName) : fileName_(std::move(fileName)) { Reload(); }

void TRegStore::Reload() {
  tree_.Clear();
  std::string text, error;
  if (!fileName_.empty() && ReadFileText(fileName_, text, error) == TReadResult::Ok)
    tree_ = ParseRegText(text);
  tree_.Merge(pending_);
}

bool TRegStore::KeyExists(std::string_view key) const { return tree_.FindKey(key) != nullptr; }

bool TRegStore::ValueExists(std::string_view key, std::string_view name) const {
  return tree_.FindValue(key, name) != nullptr;
}

TRegDataType TRegStore::GetDataType(std::string_view key, std::string_view name) const {
  const TRegValue* v = tree_.FindValue(key, name);
  return v ? v->Type : TRegDataType::rdUnknown;
}

const TRegValue* TRegStore::GetValue(std::string_view key, std::string_view name) const {
  return tree_.FindValue(key, name);
}

std::vector<std::string> TRegStore::GetValueNames(std::string_view key) const {
  std::vector<std::string> names;
  if (const TRegTree::TKey* k = tree_.FindKey(key))
    for (const TRegEntry& e : k->Values) names.push_back(e.Name);
  return names;
}

void TRegStore::CreateKey(std::string_view key) {
  if (!ValidName(key)) throw ERegistryException("Invalid registry key " + Quoted(std::string(key)));
  tree_.CreateKey(key);
  pending_.CreateKey(key);
}

void TRegStore::WriteValue(std::string_view key, std::string_view name, const TRegValue& value) {
  if (!ValidName(key)) throw ERegistryException("Invalid registry key " + Quoted(std::string(key)));
  if (!ValidName(name)) throw ERegistryException("Invalid value name " + Quoted(std::string(name)));
  if (value.Type == TRegDataType::rdUnknown)
    throw ERegistryException("Invalid data type for " + Quoted(std::string(name)));
  tree_.SetValue(key, name, value);
  pending_.SetValue(key, name, value);
}

void TRegStore::WriteInteger(std::string_view key, std::string_view name, uint32_t value) {
  WriteValue(key, name, TRegValue::FromInteger(value));
}

void TRegStore::WriteString(std::string_view key, std::string_view name, std::string_view text) {
  WriteValue(key, name, TRegValue::FromString(text));
}

void TRegStore::WriteBinary(std::string_view key, std::string_view name, std::string_view bytes) {
  WriteValue(key, name, TRegValue::FromBinary(bytes));
}

void TRegStore::Flush() {
  if (pending_.Empty()) return;
  if (fileName_.empty())
    throw ERegistryException(
        "Cannot write the settings: no folder for them is known (neither XDG_CONFIG_HOME nor HOME is set)");
  std::string dir = DirName(fileName_);
  MakeFolders(fileName_, dir);
  TFolderLock lock(fileName_, dir);
  // A settings file that is a symbolic link is replaced where the link points, keeping the link.
  std::string target = common::FileToReplace(fileName_);
  std::string text, error;
  TRegTree merged;
  switch (ReadFileText(target, text, error)) {
    case TReadResult::Ok:
      merged = ParseRegText(text);
      break;
    case TReadResult::Missing:
      break;
    case TReadResult::Failed:
      WriteFailure(fileName_, "the file there cannot be read (" + error + ")");
  }
  text.clear();
  merged.Merge(pending_);
  ReplaceFile(fileName_, target, FormatRegText(merged));
  tree_ = std::move(merged);
  pending_.Clear();
}

}  // namespace settings
