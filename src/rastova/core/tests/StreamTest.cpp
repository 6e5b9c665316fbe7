#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVDefs.h"
#include "rastova/core/RVStream.h"
#include "rastova/core/RVUtils.h"

using namespace rv;

namespace {
std::vector<uint8_t> Bytes(int n) {
  std::vector<uint8_t> v(static_cast<size_t>(n));
  std::iota(v.begin(), v.end(), uint8_t(0));
  return v;
}

// A source that delivers at most `chunk` bytes per read, as pipes and sockets do.
class TDribbleStream : public TStream {
 public:
  TDribbleStream(std::vector<uint8_t> d, int64_t chunk) : data_(std::move(d)), chunk_(chunk) {}
  int64_t Read(void* b, int64_t count) override {
    int64_t n = std::min({count, chunk_, static_cast<int64_t>(data_.size()) - pos_});
    if (n <= 0) return 0;
    std::memcpy(b, data_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t o, TSeekOrigin origin) override {
    pos_ = origin == soBeginning ? o : origin == soCurrent ? pos_ + o : static_cast<int64_t>(data_.size()) + o;
    return pos_;
  }

 private:
  std::vector<uint8_t> data_;
  int64_t chunk_;
  int64_t pos_ = 0;
};
}  // namespace

TEST(BufferedReadStream, ReadsSeeksAndClampsAsTheParsersExpect) {
  std::vector<uint8_t> data = Bytes(10);
  TRVMemStream src(data.data(), 10);
  TRVBufferedReadStream s(src, 4, false);
  uint8_t buf[8];
  EXPECT_EQ(s.Read(buf, 4), 4);
  EXPECT_EQ(s.Read(buf, 4), 4);
  EXPECT_EQ(s.Read(buf, 4), 2);
  EXPECT_EQ(buf[0], 8);
  EXPECT_EQ(buf[1], 9);
  EXPECT_EQ(s.Read(buf, 4), 0);
  EXPECT_EQ(s.Seek(-3, soEnd), 7);
  EXPECT_EQ(s.Read(buf, 8), 3);
  EXPECT_EQ(buf[0], 7);
  EXPECT_EQ(s.Seek(5, soEnd), 10);
  EXPECT_EQ(s.Read(buf, 1), 0);
  EXPECT_EQ(s.Seek(-100, soCurrent), 0);
  EXPECT_EQ(s.Read(buf, 1), 1);
  EXPECT_EQ(buf[0], 0);
  EXPECT_THROW(s.Write(buf, 1), common::Exception);
}

TEST(BufferedReadStream, RelativeModeStartsAtTheSourcePosition) {
  std::vector<uint8_t> data = Bytes(200);
  TRVMemStream src(data.data(), 200);
  src.Seek(100, soBeginning);
  TRVBufferedReadStream s(src, 16, true);
  EXPECT_EQ(s.GetPosition(), 0);
  EXPECT_EQ(s.GetSize(), 100);
  uint8_t b;
  s.Seek(0, soBeginning);
  s.Read(&b, 1);
  EXPECT_EQ(b, 100);
  // Nothing before the base is reachable: a seek below it lands on position 0.
  EXPECT_EQ(s.Seek(-50, soCurrent), 0);
  s.Read(&b, 1);
  EXPECT_EQ(b, 100);
}

TEST(BufferedReadStream, ASourceThatReadsShortNeverYieldsStaleBytes) {
  std::vector<uint8_t> data = Bytes(100);
  TDribbleStream src(data, 3);
  TRVBufferedReadStream s(src, 32, false);
  std::vector<uint8_t> got(100);
  int64_t total = 0;
  while (total < 100) {
    int64_t n = s.Read(got.data() + total, 100 - total);
    ASSERT_GT(n, 0);
    total += n;
  }
  EXPECT_EQ(got, data);
}

TEST(MemStream, WritesNothingAndReadsNothingPastTheEnd) {
  uint8_t mem[4] = {1, 2, 3, 4};
  TRVMemStream s(mem, 4);
  EXPECT_EQ(s.Write("xx", 2), 0);
  EXPECT_EQ(mem[0], 1);
  s.Seek(10, soBeginning);
  uint8_t b;
  EXPECT_EQ(s.Read(&b, 1), 0);
  EXPECT_THROW(s.ReadBuffer(&b, 1), EReadError);
}

TEST(FileBuffer, BlocksAreLoadedAndWrittenBackByTheirFlags) {
  TRVFileBuffer fb;
  fb.Close();  // never allocated: nothing happens
  uint8_t* loose = fb.MapBlock(3, 0, 16);
  ASSERT_NE(loose, nullptr);
  fb.UnmapBlock(loose);
  EXPECT_EQ(fb.BlockCount(), 0u);

  ASSERT_TRUE(fb.AllocateFile("IMG", true, 64));
  std::string name = fb.FileName();
  EXPECT_FALSE(FileExistsUnicode(name)) << "the file keeps its name while in use";
  EXPECT_EQ(name.rfind(TemporaryDirectory() + "IMG-", 0), 0u);
  ASSERT_EQ(name.size(), TemporaryDirectory().size() + 16);
  for (char c : name.substr(name.size() - 12, 8)) EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(c)) && !std::islower(c));
  EXPECT_EQ(name.substr(name.size() - 4), ".tmp");

  // Two blocks over the same bytes: the older one is written last and wins.
  uint8_t* a = fb.MapBlock(3, 0, 8);
  uint8_t* b = fb.MapBlock(3, 0, 8);
  std::memset(a, 0xAA, 8);
  std::memset(b, 0xBB, 8);
  fb.UnmapAll();
  uint8_t* c = fb.MapBlock(1, 0, 8);
  EXPECT_EQ(c[0], 0xAA);
  c[0] = 0x11;  // read-only block: not written back
  fb.UnmapBlock(c);
  uint8_t* d = fb.MapBlock(1, 0, 8);
  EXPECT_EQ(d[0], 0xAA);
  fb.UnmapBlock(d);
  uint8_t* w = fb.MapBlock(2, 8, 8);  // write-only: starts as zeros, never read
  EXPECT_EQ(w[0], 0);
  std::memset(w, 0x22, 8);
  fb.UnmapBlock(w);

  TRVFileBuffer other;
  ASSERT_TRUE(other.AllocateFile("IMG", true, 64));
  fb.CopyTo(other, 0, 64);
  uint8_t* e = other.MapBlock(1, 8, 1);
  EXPECT_EQ(e[0], 0x22);
  other.UnmapAll();

  // A second allocation replaces the old file.
  ASSERT_TRUE(fb.AllocateFile("IMG", true, 32));
  EXPECT_FALSE(FileExistsUnicode(name));
  std::string second = fb.FileName();
  fb.Close();
  EXPECT_FALSE(FileExistsUnicode(second));
}

TEST(FileBuffer, ASizeTheDiskCannotHoldFailsInsteadOfMakingAHugeFile) {
  TRVFileBuffer fb;
  EXPECT_FALSE(fb.AllocateFile("IMG", true, int64_t(1) << 60));
  EXPECT_FALSE(fb.IsAllocated());
  EXPECT_FALSE(fb.AllocateFile("IMG", true, -5));
  TempDirectory = "/nonexistent-dir-for-zephor-tests/";
  EXPECT_FALSE(fb.AllocateFile("IMG", true, 10));
  TempDirectory.clear();
}

TEST(TemporaryFiles, NamesAreFreeAndFilesGoAwayWithTheirStream) {
  std::string dir = TemporaryDirectory();
  std::string n1 = MakeRandomFileName("IMG", dir);
  EXPECT_FALSE(FileExistsUnicode(n1));
  {
    TRVTemporaryFileStream t(n1);
    EXPECT_EQ(t.FileName(), n1);
    EXPECT_FALSE(FileExistsUnicode(n1)) << "the name stays on disk while the file is open";
    t.WriteBuffer("abc", 3);
    EXPECT_EQ(t.GetSize(), 3);
    t.SetPosition(0);
    char back[3];
    t.ReadBuffer(back, 3);
    EXPECT_EQ(std::string(back, 3), "abc");
  }
  EXPECT_FALSE(FileExistsUnicode(n1));
  // An existing file of the name is neither taken over nor removed.
  const std::string taken = MakeRandomFileName("IMG", dir);
  {
    TRVWideFileStream f(taken, TRVWideFileStream::fmCreate);
    f.WriteBuffer("keep", 4);
  }
  EXPECT_THROW(TRVTemporaryFileStream again(taken), EInOutError);
  EXPECT_TRUE(FileExistsUnicode(taken));
  ::unlink(taken.c_str());
  // A directory without a trailing separator: the prefix is glued to its name.
  std::string glued = MakeRandomFileName("rvtemp", "/tmp");
  EXPECT_EQ(glued.rfind("/tmprvtemp-", 0), 0u);
  EXPECT_EQ(MakeTempFileName().rfind(dir + "rvtemp-", 0), 0u);
  try {
    TRVTemporaryFileStream bad("/nonexistent-dir-for-zephor-tests/x.tmp");
    FAIL();
  } catch (const EInOutError& e) {
    EXPECT_STREQ(e.what(), "Unable to create /nonexistent-dir-for-zephor-tests/x.tmp");
  }
}

// Names in a folder, "." and ".." left out.
std::vector<std::string> FolderEntries(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d))
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
    ::closedir(d);
  }
  return names;
}

TEST(TemporaryFiles, NothingStaysBehindAProcessThatIsKilled) {
  char pattern[] = "/tmp/zephor-killed-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string dir = std::string(pattern) + "/";
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // A large image kept in a temporary file, held until the parent kills the process.
    ::close(ready[0]);
    TempDirectory = dir;
    GlobalMemoryThreshold = 0;
    TRVBitmap image(256, 256, rv24RGB);
    std::memset(image.GetScanLine(10), 0x5A, 256 * 3);
    image.GetScanLine(11);  // the row goes to the file
    const std::string name = image.GetLocation() == rvInTempFile ? image.FileBuffer().FileName() : "";
    const bool sent = ::write(ready[1], name.c_str(), name.size() + 1) == static_cast<ssize_t>(name.size() + 1);
    ::close(ready[1]);
    if (sent) ::pause();
    ::_exit(1);
  }
  ::close(ready[1]);
  char buf[512] = {};
  ssize_t got = 0, n;
  while ((n = ::read(ready[0], buf + got, sizeof buf - 1 - static_cast<size_t>(got))) > 0) {
    got += n;
    if (buf[got - 1] == 0) break;
  }
  ::close(ready[0]);
  const std::string name = buf;
  // The holder still reports the name of its file; the folder has no entry for it.
  EXPECT_EQ(name.rfind(dir + "IMG-", 0), 0u) << name;
  EXPECT_EQ(FolderEntries(dir), std::vector<std::string>{}) << "while the image is held";
  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(FolderEntries(dir), std::vector<std::string>{}) << "after the holder was killed";
  for (const std::string& e : FolderEntries(dir)) ::unlink((dir + e).c_str());
  ::rmdir(pattern);
}

TEST(WideFileStream, CreatesOpensAndReportsTheFullPath) {
  std::string name = MakeTempFileName();
  {
    TRVWideFileStream f(name, TRVWideFileStream::fmCreate);
    f.WriteBuffer("hello", 5);
  }
  {
    TRVWideFileStream f(std::u16string(name.begin(), name.end()), 0x20);
    char buf[5];
    f.ReadBuffer(buf, 5);
    EXPECT_EQ(std::string(buf, 5), "hello");
    EXPECT_EQ(f.Write("x", 1), 0);  // opened for reading
  }
  ::unlink(name.c_str());
  char cwd[4096];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  try {
    TRVWideFileStream f(std::string("missing-file-zephor.bin"), 0x20);
    FAIL();
  } catch (const EFOpenError& e) {
    std::string m = e.what();
    EXPECT_EQ(m.rfind(std::string("Cannot open file \"") + cwd + "/missing-file-zephor.bin\". ", 0), 0u) << m;
    EXPECT_NE(m.find("No such file"), std::string::npos);
  }
  EXPECT_THROW(TRVWideFileStream(name, 0x03), EFOpenError);   // no such access mode
  EXPECT_THROW(TRVWideFileStream(name, 0x50), EFOpenError);   // no such share mode
  EXPECT_THROW(TRVWideFileStream(std::string("/nonexistent-dir-for-zephor-tests/f"), TRVWideFileStream::fmCreate),
               EFCreateError);
}

TEST(CopyStreamData, WholeSourcesAndClippedCounts) {
  std::vector<uint8_t> data = Bytes(50);
  TRVMemStream src(data.data(), 50);
  TMemoryStream dst;
  src.Seek(20, soBeginning);
  EXPECT_EQ(CopyStreamData(dst, src, 0), 50);
  EXPECT_EQ(dst.Data(), data);
  dst.Clear();
  src.Seek(40, soBeginning);
  EXPECT_EQ(CopyStreamData(dst, src, 1000), 10);
  EXPECT_EQ(dst.GetSize(), 10);
  dst.Clear();
  src.Seek(60, soBeginning);  // past the end: nothing
  EXPECT_EQ(CopyStreamData(dst, src, 5), 0);
}

TEST(OffsetStream, CountsFromItsBase) {
  TMemoryStream source;
  source.Write("0123456789", 10);
  for (bool writable : {false, true}) {
    TRVOffsetStream view(source, 4, writable);
    EXPECT_EQ(view.GetSize(), 6);
    EXPECT_EQ(view.Seek(1, soBeginning), 1);
    char c = 0;
    EXPECT_EQ(view.Read(&c, 1), 1);
    EXPECT_EQ(c, '5');
    EXPECT_EQ(view.GetPosition(), 2);
    EXPECT_EQ(view.Seek(-1, soEnd), 5);
    EXPECT_EQ(view.Write("x", 1), writable ? 1 : 0);
    source.SetPosition(9);
    source.Read(&c, 1);
    EXPECT_EQ(c, writable ? 'x' : '9');
  }
}
