#include "rastova/core/RVStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <random>

#include "common/CodePage.h"
#include "rastova/core/RVDefs.h"
#include "rastova/core/RVUtils.h"

namespace rv {

// ---------------------------------------------------------------- TStream

int64_t TStream::GetSize() {
  int64_t pos = Seek(0, soCurrent);
  int64_t size = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return size;
}

void TStream::SetSize(int64_t) {}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  uint8_t* p = static_cast<uint8_t*>(buffer);
  while (count > 0) {
    int64_t n = Read(p, count);
    if (n <= 0) throw EReadError("Stream read error");
    p += n;
    count -= n;
  }
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  const uint8_t* p = static_cast<const uint8_t*>(buffer);
  while (count > 0) {
    int64_t n = Write(p, count);
    if (n <= 0) throw EWriteError("Stream write error");
    p += n;
    count -= n;
  }
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.GetSize();
  }
  int64_t total = count;
  std::vector<uint8_t> buf(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(count, 1), 65536)));
  while (count > 0) {
    int64_t n = std::min<int64_t>(count, static_cast<int64_t>(buf.size()));
    source.ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    count -= n;
  }
  return total;
}

// ---------------------------------------------------------------- THandleStream

THandleStream::~THandleStream() {
  if (fd_ >= 0) ::close(fd_);
}

int64_t THandleStream::Read(void* buffer, int64_t count) {
  if (fd_ < 0 || count <= 0) return 0;
  int64_t total = 0;
  uint8_t* p = static_cast<uint8_t*>(buffer);
  while (count > 0) {
    ssize_t n = ::read(fd_, p, static_cast<size_t>(std::min<int64_t>(count, 1 << 30)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    total += n;
    p += n;
    count -= n;
  }
  return total;
}

int64_t THandleStream::Write(const void* buffer, int64_t count) {
  if (fd_ < 0 || count <= 0) return 0;
  int64_t total = 0;
  const uint8_t* p = static_cast<const uint8_t*>(buffer);
  while (count > 0) {
    ssize_t n = ::write(fd_, p, static_cast<size_t>(std::min<int64_t>(count, 1 << 30)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    total += n;
    p += n;
    count -= n;
  }
  return total;
}

int64_t THandleStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (fd_ < 0) return 0;
  int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(fd_, static_cast<off_t>(offset), whence);
  if (r < 0) return ::lseek(fd_, 0, SEEK_CUR);
  return r;
}

void THandleStream::SetSize(int64_t size) {
  if (fd_ < 0) return;
  int64_t pos = GetPosition();
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) throw EWriteError("Stream write error");
  if (pos > size) Seek(size, soBeginning);
}

// ---------------------------------------------------------------- TMemoryStream

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  int64_t avail = static_cast<int64_t>(data_.size()) - pos_;
  if (count <= 0 || avail <= 0) return 0;
  int64_t n = std::min(count, avail);
  std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0 || pos_ < 0) return 0;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  const int64_t size = static_cast<int64_t>(data_.size());
  // Bytes inside the data are overwritten; the rest is appended as it is copied, so that a
  // growing stream never zero-fills what it is about to write (a gap before the position is).
  const int64_t inside = std::clamp<int64_t>(size - pos_, 0, count);
  try {
    if (pos_ > size) data_.resize(static_cast<size_t>(pos_));
    data_.insert(data_.end(), bytes + inside, bytes + count);
  } catch (const std::bad_alloc&) {
    data_.resize(static_cast<size_t>(size));  // shrinking back to where it was cannot fail
    return 0;
  }
  if (inside > 0) std::memcpy(data_.data() + pos_, bytes, static_cast<size_t>(inside));
  pos_ += count;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case soBeginning: pos_ = offset; break;
    case soCurrent: pos_ += offset; break;
    case soEnd: pos_ = static_cast<int64_t>(data_.size()) + offset; break;
  }
  if (pos_ < 0) pos_ = 0;
  return pos_;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) size = 0;
  data_.resize(static_cast<size_t>(size));
  if (pos_ > size) pos_ = size;
}

// ---------------------------------------------------------------- TRVOffsetStream

int64_t TRVOffsetStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (origin == soBeginning) return source_.Seek(offset + base_, soBeginning) - base_;
  return source_.Seek(offset, origin) - base_;
}

// ---------------------------------------------------------------- TRVMemStream

int64_t TRVMemStream::Read(void* buffer, int64_t count) {
  int64_t avail = size_ - pos_;
  if (count <= 0 || avail <= 0) return 0;
  int64_t n = std::min(count, avail);
  std::memcpy(buffer, mem_ + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

int64_t TRVMemStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case soBeginning: pos_ = offset; break;
    case soCurrent: pos_ += offset; break;
    case soEnd: pos_ = size_ + offset; break;
  }
  if (pos_ < 0) pos_ = 0;
  return pos_;
}

// ---------------------------------------------------------------- temporary files

namespace {

std::string FullPath(const std::string& name) {
  if (!name.empty() && name[0] == '/') return name;
  char buf[4096];
  if (!::getcwd(buf, sizeof buf)) return name;
  std::string cwd = buf;
  if (cwd.empty() || cwd.back() != '/') cwd += '/';
  return cwd + name;
}

}  // namespace

TRVTemporaryFileStream::TRVTemporaryFileStream(const std::string& fileName) : name_(fileName) {
  // O_EXCL keeps the name from replacing someone else's file. The name goes away as soon as
  // the file is open: the open descriptor keeps the data, and the system frees it when the
  // descriptor closes, also when the process is killed.
  fd_ = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd_ < 0) throw EInOutError("Unable to create " + fileName);
  ::unlink(fileName.c_str());
}

TRVTemporaryFileStream::~TRVTemporaryFileStream() = default;

bool TRVTemporaryFileStream::Reserve(int64_t size) {
  if (size < 0) return false;
  if (size == 0) return true;
  int r = ::posix_fallocate(fd_, 0, static_cast<off_t>(size));
  if (r == 0) return true;
  if (r != EOPNOTSUPP && r != EINVAL) return false;
  // A file system without allocation: check the free space, then size the file.
  struct statvfs st;
  if (::fstatvfs(fd_, &st) == 0 && static_cast<int64_t>(st.f_bavail) * static_cast<int64_t>(st.f_frsize) < size)
    return false;
  return ::ftruncate(fd_, static_cast<off_t>(size)) == 0;
}

// ---------------------------------------------------------------- TRVWideFileStream

TRVWideFileStream::TRVWideFileStream(const std::string& fileName, uint16_t mode) {
  if (mode == fmCreate) {
    fd_ = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
      int e = errno;
      throw EFCreateError("Cannot create file \"" + FullPath(fileName) + "\". " + std::strerror(e));
    }
    return;
  }
  int access = mode & 3;
  int share = (mode & 0xF0);
  int e = EINVAL;
  if (access <= 2 && share <= 0x40) {
    int flags = (access == 0 ? O_RDONLY : access == 1 ? O_WRONLY : O_RDWR) | O_CLOEXEC;
    fd_ = ::open(fileName.c_str(), flags);
    if (fd_ >= 0) {
      struct stat st;
      if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        errno = EISDIR;
      }
    }
    if (fd_ >= 0) return;
    e = errno;
  }
  throw EFOpenError("Cannot open file \"" + FullPath(fileName) + "\". " + std::strerror(e));
}

TRVWideFileStream::TRVWideFileStream(const std::u16string& fileName, uint16_t mode)
    : TRVWideFileStream(common::Utf16ToUtf8(fileName), mode) {}

// ---------------------------------------------------------------- TRVBufferedReadStream

bool BufferedReaderRelative = false;

TRVBufferedReadStream::TRVBufferedReadStream(TStream& source, int32_t bufferSize, bool relative)
    : source_(source) {
  int64_t pos = source.GetPosition();
  base_ = relative ? pos : 0;
  sourceSize_ = source.GetSize();
  position_ = pos;
  SetBufferSize(bufferSize);
}

void TRVBufferedReadStream::SetBufferSize(int32_t size) {
  buffer_.assign(static_cast<size_t>(std::max(size, 1)), 0);
  Fill();
}

void TRVBufferedReadStream::Fill() {
  source_.Seek(position_, soBeginning);
  int64_t want = std::min<int64_t>(static_cast<int64_t>(buffer_.size()), std::max<int64_t>(sourceSize_ - position_, 0));
  int64_t got = 0;
  while (got < want) {
    int64_t n = source_.Read(buffer_.data() + got, want - got);
    if (n <= 0) break;
    got += n;
  }
  valid_ = static_cast<int32_t>(got);
  index_ = 0;
}

int64_t TRVBufferedReadStream::Read(void* buffer, int64_t count) {
  if (sourceSize_ - position_ < count) count = sourceSize_ - position_;
  if (count <= 0) return 0;
  uint8_t* dst = static_cast<uint8_t*>(buffer);
  int64_t total = 0;
  while (count > 0) {
    if (index_ >= valid_) {
      Fill();
      if (valid_ == 0) break;  // the source delivered less than its size promised
    }
    int64_t n = std::min<int64_t>(count, valid_ - index_);
    std::memcpy(dst, buffer_.data() + index_, static_cast<size_t>(n));
    index_ += static_cast<int32_t>(n);
    position_ += n;
    dst += n;
    total += n;
    count -= n;
  }
  return total;
}

int64_t TRVBufferedReadStream::Write(const void*, int64_t) {
  throw common::Exception("TRVBufferedReadStream cannot write!");
}

int64_t TRVBufferedReadStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t target = position_;
  switch (origin) {
    case soBeginning: target = base_ + offset; break;
    case soCurrent: target = position_ + offset; break;
    case soEnd: target = sourceSize_ + offset; break;
  }
  // Nothing before position 0 of this stream is reachable, nothing beyond the source's end.
  if (target < base_) target = base_;
  if (target >= sourceSize_) target = std::max(sourceSize_, base_);
  int64_t newIndex = target - position_ + index_;
  if (newIndex >= 0 && newIndex < valid_) {
    index_ = static_cast<int32_t>(newIndex);
    position_ = target;
  } else {
    position_ = target;
    valid_ = 0;  // refilled by the next read
    index_ = 0;
  }
  return position_ - base_;
}

// ---------------------------------------------------------------- TRVFileBuffer

TRVFileBuffer::~TRVFileBuffer() { Close(); }

bool TRVFileBuffer::AllocateFile(const std::string& prefix, bool useFile, int64_t size) {
  if (stream_) Close();
  if (size < 0) return false;
  try {
    std::string dir = TemporaryDirectory();
    for (int attempt = 0; attempt < 8; ++attempt) {
      fileName_ = MakeRandomFileName(prefix, dir);
      if (!useFile) {
        auto m = std::make_unique<TMemoryStream>();
        m->SetSize(size);
        stream_ = std::move(m);
        return true;
      }
      std::unique_ptr<TRVTemporaryFileStream> f;
      try {
        f = std::make_unique<TRVTemporaryFileStream>(fileName_);
      } catch (const EInOutError&) {
        if (FileExistsUnicode(fileName_)) continue;  // another process took the name meanwhile
        return false;
      }
      if (!f->Reserve(size)) return false;
      stream_ = std::move(f);
      return true;
    }
  } catch (...) {
  }
  return false;
}

void TRVFileBuffer::Close() {
  // The stream is about to be discarded: blocks are dropped without writing them back.
  for (auto& b : blocks_) delete[] b.memory;
  blocks_.clear();
  // The temporary file has had no name since it was opened; removing the name here could only
  // hit another file that took it since.
  stream_.reset();
  fileName_.clear();
}

uint8_t* TRVFileBuffer::MapBlock(uint8_t access, int64_t position, int64_t size) {
  if (size < 0 || size > std::numeric_limits<int32_t>::max()) throw std::bad_alloc();
  uint8_t* mem = new uint8_t[static_cast<size_t>(size)];
  if (stream_ && (access & 1)) {
    int64_t got = 0;
    if (stream_->Seek(position, soBeginning) == position) {
      while (got < size) {
        int64_t n = stream_->Read(mem + got, size - got);
        if (n <= 0) break;
        got += n;
      }
    }
    if (got < size) std::memset(mem + got, 0, static_cast<size_t>(size - got));
  } else {
    std::memset(mem, 0, static_cast<size_t>(size));  // not read: deterministic content
  }
  try {
    blocks_.push_back(Block{position, size, mem, access});
  } catch (...) {
    delete[] mem;
    throw;
  }
  return mem;
}

int32_t TRVFileBuffer::IndexOfBlock(const void* block) const {
  for (size_t i = 0; i < blocks_.size(); ++i)
    if (blocks_[i].memory == block) return static_cast<int32_t>(i);
  return -1;
}

void TRVFileBuffer::Unmap(size_t index, bool report) {
  Block b = blocks_[index];
  blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(index));
  bool ok = true;
  if (stream_ && (b.access & 2)) {
    ok = stream_->Seek(b.position, soBeginning) == b.position && stream_->Write(b.memory, b.size) == b.size;
  }
  delete[] b.memory;
  if (!ok && report) throw EWriteError("Stream write error");
}

void TRVFileBuffer::UnmapBlock(void* block) {
  int32_t i = IndexOfBlock(block);
  if (i >= 0) Unmap(static_cast<size_t>(i), true);
}

void TRVFileBuffer::UnmapAll() {
  if (!stream_) return;
  bool failed = false;
  while (!blocks_.empty()) {
    try {
      Unmap(blocks_.size() - 1, true);
    } catch (const EWriteError&) {
      failed = true;
    }
  }
  if (failed) throw EWriteError("Stream write error");
}

void TRVFileBuffer::CopyTo(TRVFileBuffer& dest, int64_t position, int64_t count) {
  if (!stream_ || !dest.stream_) return;
  UnmapAll();
  dest.UnmapAll();
  stream_->Seek(position, soBeginning);
  dest.stream_->Seek(position, soBeginning);
  std::vector<uint8_t> buf(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(count, 1), 1048576)));
  while (count > 0) {
    int64_t n = std::min<int64_t>(count, static_cast<int64_t>(buf.size()));
    stream_->ReadBuffer(buf.data(), n);
    dest.stream_->WriteBuffer(buf.data(), n);
    count -= n;
  }
}

// ---------------------------------------------------------------- free routines

std::string MakeRandomFileName(const std::string& prefix, const std::string& directory) {
  // A generator of its own, so that temporary names never disturb the replayable process-wide one.
  static std::mutex lock;
  static std::mt19937 gen{std::random_device{}()};
  std::lock_guard<std::mutex> g(lock);
  std::uniform_int_distribution<uint32_t> dist(0, 0x7FFFFFFE);
  for (;;) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", dist(gen));
    std::string name = directory + prefix + "-" + hex + ".tmp";
    if (!FileExistsUnicode(name)) return name;
  }
}

std::string MakeTempFileName() { return MakeRandomFileName("rvtemp", TemporaryDirectory()); }

int64_t CopyStreamData(TStream& dest, TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.GetSize();
  }
  if (!source.IsCompressionStream()) {
    int64_t rest = source.GetSize() - source.GetPosition();
    if (count > rest) count = rest;
    if (count < 0) count = 0;
  }
  if (count == 0) return 0;
  std::vector<uint8_t> buf(static_cast<size_t>(std::min<int64_t>(count, 196607)));
  int64_t left = count;
  while (left > 0) {
    int64_t n = std::min<int64_t>(left, static_cast<int64_t>(buf.size()));
    source.ReadBuffer(buf.data(), n);
    dest.WriteBuffer(buf.data(), n);
    left -= n;
  }
  return count;
}

}  // namespace rv
