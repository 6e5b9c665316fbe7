// What a save leaves beside its target: the new data reaches the disk before the rename and
// the rename before the save returns, and the temporary files of saves that were killed go
// away with the next save into the same folder, while those of running saves stay.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "IoTestTools.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/io/RastovaIO.h"

namespace {

// What the disk held when a file or folder was synced.
struct SyncRecord {
  std::string path;                  // what the descriptor names
  std::vector<uint8_t> targetBytes;  // the target file's content at that moment
};
bool recordSyncs = false;
std::string syncTarget;
std::vector<SyncRecord> syncs;

}  // namespace

// Every fsync of this test program passes here, so that a test can see what was synced when.
extern "C" int fsync(int fd) {
  if (recordSyncs) {
    char link[PATH_MAX] = {};
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(self.c_str(), link, sizeof link - 1);
    SyncRecord r;
    r.path = n > 0 ? std::string(link, static_cast<size_t>(n)) : std::string();
    if (::access(syncTarget.c_str(), F_OK) == 0) r.targetBytes = rv::iotest::ReadFileBytes(syncTarget);
    syncs.push_back(std::move(r));
  }
  return static_cast<int>(::syscall(SYS_fsync, fd));
}

namespace rv {
namespace {

using iotest::TempDir;

std::unique_ptr<TRVBitmap> Picture() {
  auto b = std::make_unique<TRVBitmap>(48, 40, rv24RGB);
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 0; x < 48; ++x) b->SetPixels(x, y, uint32_t(x * 5) << 16 | uint32_t(y * 6) << 8 | 77u);
  return b;
}

std::string SaveFileName(pid_t pid, const char* hex) {
  return ".rvsave-" + std::to_string(pid) + "-" + hex + ".tmp";
}

// The id of a process that has ended and been reaped.
pid_t EndedProcess() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  int status = 0;
  ::waitpid(child, &status, 0);
  return child;
}

TEST(SaveFiles, TheDataIsSyncedBeforeTheRenameAndTheFolderAfterIt) {
  TempDir dir;
  const std::string target = dir.File("map.tga");
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  iotest::WriteFileBytes(target, old);
  auto picture = Picture();
  TRastovaIO io(picture.get());
  syncTarget = target;
  syncs.clear();
  recordSyncs = true;
  io.SaveToFile(target);
  recordSyncs = false;
  ASSERT_FALSE(io.Aborting);
  const std::vector<uint8_t> saved = iotest::ReadFileBytes(target);
  ASSERT_NE(saved, old);
  const std::string folder = std::filesystem::canonical(dir.Path()).string();
  ASSERT_EQ(syncs.size(), 2u);
  // First the temporary file, while the target still held the old picture.
  EXPECT_EQ(syncs[0].path.rfind(folder + "/.rvsave-" + std::to_string(::getpid()) + "-", 0), 0u) << syncs[0].path;
  EXPECT_EQ(syncs[0].targetBytes, old);
  // Then the folder, once the new picture had taken the target's name.
  EXPECT_EQ(syncs[1].path, folder);
  EXPECT_EQ(syncs[1].targetBytes, saved);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"map.tga"});
}

TEST(SaveFiles, ASaveRemovesWhatKilledSavesLeftAndKeepsWhatRunningOnesWrite) {
  TempDir dir;
  const pid_t ended = EndedProcess();
  const pid_t running = ::fork();
  ASSERT_GE(running, 0);
  if (running == 0) {
    ::pause();
    ::_exit(0);
  }
  const std::vector<std::string> kept = {
      SaveFileName(::getpid(), "0000ABCD"),  // this process: a save of another thread
      SaveFileName(running, "0000ABCD"),     // another process still running
      SaveFileName(ended, "0000abcd"),       // not a name a save makes
      ".rvsave-" + std::to_string(ended) + ".tmp",
      ".rvsave-x" + std::to_string(ended) + "-0000ABCD.tmp",
      SaveFileName(ended, "0000ABCD") + ".bak",
      "notes.txt",
  };
  for (const std::string& name : kept) iotest::WriteFileBytes(dir.File(name), {1, 2, 3});
  const std::string abandoned = SaveFileName(ended, "12345678");
  iotest::WriteFileBytes(dir.File(abandoned), std::vector<uint8_t>(4096, 9));
  // A folder of such a name is not a file a save wrote.
  const std::string folderLike = SaveFileName(ended, "0000FFFF");
  std::filesystem::create_directory(dir.File(folderLike));

  auto picture = Picture();
  TRastovaIO io(picture.get());
  io.SaveToFile(dir.File("map.tga"));
  EXPECT_FALSE(io.Aborting);
  ::kill(running, SIGKILL);
  ::waitpid(running, nullptr, 0);

  std::vector<std::string> expected = kept;
  expected.push_back(folderLike);
  expected.push_back("map.tga");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(dir.Entries(), expected);
}

TEST(SaveFiles, ASaveKilledHalfWayLeavesAFileTheNextSaveRemoves) {
  TempDir dir;
  const std::string target = dir.File("map.tga");
  int halfway[2];
  ASSERT_EQ(::pipe(halfway), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(halfway[0]);
    auto picture = Picture();
    TRastovaIO io(picture.get());
    io.OnProgress = [&](TRastovaIO&, int32_t per) {
      if (per < 50) return;
      const char c = 'x';
      if (::write(halfway[1], &c, 1) == 1) ::pause();
      ::_exit(1);
    };
    io.SaveToFile(target);
    ::_exit(1);
  }
  ::close(halfway[1]);
  char c = 0;
  ASSERT_EQ(::read(halfway[0], &c, 1), 1);
  ::close(halfway[0]);
  ::kill(child, SIGKILL);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  // The killed save left its temporary file, named after its process.
  const std::vector<std::string> left = dir.Entries();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].rfind(".rvsave-" + std::to_string(child) + "-", 0), 0u) << left[0];

  auto picture = Picture();
  TRastovaIO io(picture.get());
  io.SaveToFile(target);
  EXPECT_FALSE(io.Aborting);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"map.tga"});
}

}  // namespace
}  // namespace rv
