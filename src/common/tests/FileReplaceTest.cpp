// Replacing a file through a temporary one: links are followed to the file they name, the new
// file keeps the old one's permissions, and a failed write or rename leaves the old file and no
// temporary file behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/FileReplace.h"

using common::FileToReplace;
using common::ReplaceFileThrough;

namespace {

class FileReplace : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "zephor-replace-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  static void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }
  static std::string Read(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static unsigned Mode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
  }
  // Replaces `name` with `text` as the shape and 3D library saves do.
  int Save(const std::string& name, const std::string& text) {
    return ReplaceFileThrough(Path(name), ".tmp~",
                              [&](const std::string& temporary) { Write(temporary, text); });
  }
  // The names in the folder and its sub-folders, sorted.
  std::string Entries() const {
    std::string out;
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir_))
      names.push_back(e.path().lexically_relative(dir_).string());
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) out += n + " ";
    return out;
  }

  std::string dir_;
};

}  // namespace

TEST_F(FileReplace, LinksAreFollowedToTheFileTheyName) {
  std::filesystem::create_directory(Path("real"));
  Write(Path("real/file"), "old");
  std::filesystem::create_symlink("real/file", Path("relative"));      // relative to its folder
  std::filesystem::create_symlink(Path("relative"), Path("chained"));  // a link to a link
  std::filesystem::create_symlink("real/later", Path("dangling"));     // names a file not made yet
  std::filesystem::create_symlink("loop2", Path("loop1"));
  std::filesystem::create_symlink("loop1", Path("loop2"));
  std::filesystem::create_symlink(Path("real"), Path("folder"));
  const struct {
    const char* name;
    const char* replaced;
  } cases[] = {
      {"relative", "real/file"}, {"chained", "real/file"}, {"dangling", "real/later"},
      {"loop1", "loop1"},        {"plain", "plain"},       {"folder/file", "folder/file"},
  };
  for (const auto& c : cases) EXPECT_EQ(FileToReplace(Path(c.name)), Path(c.replaced)) << c.name;
  EXPECT_EQ(FileToReplace("plain"), "plain");
  std::filesystem::remove(Path("loop1"));
  std::filesystem::remove(Path("loop2"));

  for (const char* name : {"relative", "chained", "dangling", "folder/file"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(Save(name, name), 0);
    EXPECT_EQ(Read(Path(name)), name);
  }
  EXPECT_TRUE(std::filesystem::is_symlink(Path("relative")));
  EXPECT_TRUE(std::filesystem::is_symlink(Path("chained")));
  EXPECT_TRUE(std::filesystem::is_symlink(Path("dangling")));
  EXPECT_EQ(Read(Path("real/later")), "dangling");
  EXPECT_EQ(Entries(), "chained dangling folder real real/file real/later relative ");
}

TEST_F(FileReplace, TheNewFileTakesTheOldOnesPermissions) {
  Write(Path("kept"), "old");
  ::chmod(Path("kept").c_str(), 0640);
  std::filesystem::create_symlink("kept", Path("link"));
  ASSERT_EQ(Save("link", "new"), 0);
  EXPECT_EQ(Mode(Path("kept")), 0640u);
  EXPECT_EQ(Read(Path("kept")), "new");

  ASSERT_EQ(Save("fresh", "new"), 0);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(Mode(Path("fresh")), 0666u & ~mask) << "a new file keeps the mode it was made with";
}

TEST_F(FileReplace, AFailedSaveLeavesTheOldFileAndNoTemporaryFile) {
  Write(Path("kept"), "old");
  EXPECT_THROW(ReplaceFileThrough(Path("kept"), ".tmp~",
                                  [&](const std::string& temporary) {
                                    Write(temporary, "half");
                                    throw std::runtime_error("disk full");
                                  }),
               std::runtime_error);
  // A folder where the file should be: the rename fails with its error.
  std::filesystem::create_directory(Path("folder"));
  Write(Path("folder/inside"), "x");
  EXPECT_NE(Save("folder", "new"), 0);
  EXPECT_EQ(Read(Path("kept")), "old");
  EXPECT_EQ(Entries(), "folder folder/inside kept ");
}
