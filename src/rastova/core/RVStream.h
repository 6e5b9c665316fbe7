#pragma once
// Byte streams of the image library: the stream base (read, write, 64-bit seek, size), file,
// memory and temporary-file streams, the buffered reader of the parsers, the file buffer that
// keeps the pixels of large images, temporary file names and the block copy between streams.
//
// File names are UTF-8 paths; the wide-name entry points convert from UTF-16.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/Exception.h"

namespace rv {

class EStreamError : public common::Exception {
 public:
  using Exception::Exception;
};
// "Stream read error": a read-exactly operation got fewer bytes than asked.
class EReadError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
// "Stream write error": a write-exactly operation wrote fewer bytes than asked.
class EWriteError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EInOutError : public common::Exception {
 public:
  using Exception::Exception;
};

enum TSeekOrigin : uint8_t { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream {
 public:
  virtual ~TStream() = default;
  // Read and Write move up to `count` bytes and return how many they moved (0 at the end).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t GetSize();
  virtual void SetSize(int64_t size);
  int64_t GetPosition() { return Seek(0, soCurrent); }
  void SetPosition(int64_t pos) { Seek(pos, soBeginning); }
  // Exactly `count` bytes, or EReadError / EWriteError.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies `count` bytes from `source` (count 0: the whole source from its start).
  int64_t CopyFrom(TStream& source, int64_t count);
  // Streams whose size and position cannot be trusted (the zlib streams) answer true.
  virtual bool IsCompressionStream() const { return false; }
};

// A stream over an operating-system file descriptor, which it closes.
class THandleStream : public TStream {
 public:
  explicit THandleStream(int fd) : fd_(fd) {}
  ~THandleStream() override;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  int Handle() const { return fd_; }

 protected:
  THandleStream() = default;
  int fd_ = -1;
};

// Memory stream over a block it owns, growing as it is written.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t size) override;
  uint8_t* Memory() { return data_.data(); }
  const std::vector<uint8_t>& Data() const { return data_; }
  void Clear() { data_.clear(); pos_ = 0; }
  // Room for `size` bytes without touching them, so that writing up to it moves nothing.
  void Reserve(int64_t size) { data_.reserve(static_cast<size_t>(size > 0 ? size : 0)); }

 private:
  std::vector<uint8_t> data_;
  int64_t pos_ = 0;
};

// Another stream seen from `base` on: positions and the size count from there, reads (and, when
// `writable`, writes) go to the source at its position. Without `writable` writing stores nothing
// and returns 0.
class TRVOffsetStream : public TStream {
 public:
  TRVOffsetStream(TStream& source, int64_t base, bool writable) : source_(source), base_(base), writable_(writable) {}
  int64_t Read(void* buffer, int64_t count) override { return source_.Read(buffer, count); }
  int64_t Write(const void* buffer, int64_t count) override { return writable_ ? source_.Write(buffer, count) : 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return source_.GetSize() - base_; }

 private:
  TStream& source_;
  int64_t base_;
  bool writable_;
};

// Read-only stream over memory that belongs to the caller. Writing stores nothing and returns
// 0; seeking past the end is allowed and reading there yields 0 bytes.
class TRVMemStream : public TStream {
 public:
  TRVMemStream(const void* memory, int64_t size) : mem_(static_cast<const uint8_t*>(memory)), size_(size < 0 ? 0 : size) {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return size_; }
  void SetSize(int64_t) override {}
  const uint8_t* Memory() const { return mem_; }

 private:
  const uint8_t* mem_;
  int64_t size_;
  int64_t pos_ = 0;
};

// Read/write stream on a new temporary file. The file's name is removed as soon as the file
// is open, so the data vanishes when the stream closes or the process ends in any way (also
// when it is killed); FileName() still reports the name the file was created under. Raises
// EInOutError ("Unable to create " + name) when the file cannot be created.
class TRVTemporaryFileStream : public THandleStream {
 public:
  explicit TRVTemporaryFileStream(const std::string& fileName);
  ~TRVTemporaryFileStream() override;
  const std::string& FileName() const { return name_; }
  // Reserves disk space for `size` bytes so that later writes inside it cannot run out of
  // space; false when the file system cannot hold them.
  bool Reserve(int64_t size);

 private:
  std::string name_;
};

// The file stream of the I/O front end. Mode 0xFF00 creates (replacing an existing file);
// any other mode opens an existing file: access = mode & 3 (0 read, 1 write, 2 both), sharing
// = (mode & 0xF0) >> 4 (advisory here). Raises EFCreateError "Cannot create file \"<full
// path>\". <system text>" or EFOpenError "Cannot open file \"<full path>\". <system text>".
class TRVWideFileStream : public THandleStream {
 public:
  static constexpr uint16_t fmCreate = 0xFF00;
  static constexpr uint16_t fmOpenRead = 0x0000;
  static constexpr uint16_t fmOpenWrite = 0x0001;
  static constexpr uint16_t fmOpenReadWrite = 0x0002;
  static constexpr uint16_t fmShareDenyWrite = 0x0020;
  TRVWideFileStream(const std::string& fileName, uint16_t mode);
  TRVWideFileStream(const std::u16string& fileName, uint16_t mode);
};

// Whether the buffered readers that the I/O front end and the codecs create count positions
// from where their source stood when they were made (true) or from the source's start (false,
// as the I/O start-up sets it).
extern bool BufferedReaderRelative;

// Reads another stream through a buffer; single-byte reads and seeks inside the buffer do not
// touch the source. In relative mode the source position at creation is position 0.
class TRVBufferedReadStream : public TStream {
 public:
  TRVBufferedReadStream(TStream& source, int32_t bufferSize, bool relative);
  int64_t Read(void* buffer, int64_t count) override;
  // Raises common::Exception "TRVBufferedReadStream cannot write!".
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return sourceSize_ - base_; }
  void SetSize(int64_t) override {}
  void SetBufferSize(int32_t size);

 private:
  void Fill();
  TStream& source_;
  std::vector<uint8_t> buffer_;
  int64_t position_ = 0;   // absolute source position of the next byte
  int32_t index_ = 0;      // index of that byte in the buffer
  int32_t valid_ = 0;      // bytes of the buffer actually read from the source
  int64_t sourceSize_ = 0;
  int64_t base_ = 0;
};

// Backing store of an image whose pixels do not stay in memory: one stream (normally a
// temporary file) and blocks mapped onto byte ranges of it. Access bit 0: load the block when
// mapped; bit 1: write it back when unmapped.
class TRVFileBuffer {
 public:
  TRVFileBuffer() = default;
  ~TRVFileBuffer();
  TRVFileBuffer(const TRVFileBuffer&) = delete;
  TRVFileBuffer& operator=(const TRVFileBuffer&) = delete;

  // Creates the backing stream (a temporary file "<prefix>-XXXXXXXX.tmp" when useFile, else a
  // memory stream) of `size` bytes. The file has no name on disk once created (see
  // TRVTemporaryFileStream); FileName() keeps the one it was made under. False on any failure, including a size the disk (or
  // memory) cannot hold.
  bool AllocateFile(const std::string& prefix, bool useFile, int64_t size);
  bool IsAllocated() const { return stream_ != nullptr; }
  // Drops every block and closes the stream, which frees the file.
  void Close();
  // A block of `size` bytes (at most 2 GB), loaded from the stream when access bit 0 is set.
  // Bytes the stream cannot deliver read as zero.
  uint8_t* MapBlock(uint8_t access, int64_t position, int64_t size);
  // Writes the block back when access bit 1 is set (EWriteError on a short write) and frees it.
  void UnmapBlock(void* block);
  int32_t IndexOfBlock(const void* block) const;
  // Unmaps every block, newest first. Does nothing without a backing stream.
  void UnmapAll();
  // Copies `count` bytes at `position` from this buffer's stream to dest's.
  void CopyTo(TRVFileBuffer& dest, int64_t position, int64_t count);
  const std::string& FileName() const { return fileName_; }
  TStream* Stream() { return stream_.get(); }
  size_t BlockCount() const { return blocks_.size(); }

 private:
  struct Block {
    int64_t position;
    int64_t size;
    uint8_t* memory;
    uint8_t access;
  };
  void Unmap(size_t index, bool report);
  std::unique_ptr<TStream> stream_;
  std::string fileName_;
  std::vector<Block> blocks_;
};

// Directory + prefix + "-" + 8 upper-case hex digits + ".tmp", naming no existing file.
std::string MakeRandomFileName(const std::string& prefix, const std::string& directory);
// A free name with the prefix "rvtemp" in the library's temporary directory.
std::string MakeTempFileName();
// Copies `count` bytes from source's position to dest's (count 0: the whole source from its
// start). Except for compression streams the count is clipped to what the source holds.
int64_t CopyStreamData(TStream& dest, TStream& source, int64_t count);

}  // namespace rv
