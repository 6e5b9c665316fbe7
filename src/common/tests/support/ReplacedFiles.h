#pragma once
// What a save that replaces a file must keep (common/FileReplace.h), checked the same way for
// every such save: the image I/O component, the settings store, the shape files and the 3D
// library's file saves.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace common::test {

// Saves through `save`(name) onto a link to a file of mode 0640, onto a link (relative, through
// a second link) to a file not made yet, and onto a plain file of mode 0640, each in a scratch
// folder. The links must stay links, the files they name must hold new contents, the modes must
// be kept, and no other file may be left in the folder.
inline void ExpectSaveKeepsLinksAndModes(const std::string& extension,
                                         const std::function<void(const std::string& name)>& save) {
  namespace fs = std::filesystem;
  std::string pattern = (fs::temp_directory_path() / "zephor-save-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const fs::path dir = pattern;
  const std::string old = "old contents";
  auto write = [](const fs::path& path, const std::string& text) { std::ofstream(path) << text; };
  auto read = [](const fs::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  };
  auto mode = [](const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0u;
  };
  const std::string file = "kept" + extension, later = "later" + extension, plain = "plain" + extension;
  fs::create_directory(dir / "real");
  write(dir / "real" / file, old);
  ::chmod((dir / "real" / file).c_str(), 0640);
  write(dir / plain, old);
  ::chmod((dir / plain).c_str(), 0640);
  fs::create_symlink(dir / "real" / file, dir / ("link" + extension));
  fs::create_symlink("real/" + later, dir / ("relative" + extension));
  fs::create_symlink("relative" + extension, dir / ("chained" + extension));

  const struct {
    std::string saved, written;
    unsigned mode;
  } cases[] = {
      {"link" + extension, "real/" + file, 0640},
      {"chained" + extension, "real/" + later, 0},
      {plain, plain, 0640},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("saved as " + c.saved);
    save((dir / c.saved).string());
    const std::string now = read(dir / c.written);
    EXPECT_FALSE(now.empty());
    EXPECT_NE(now, old);
    if (c.mode != 0) {
      EXPECT_EQ(mode(dir / c.written), c.mode);
    }
  }
  for (const char* link : {"link", "relative", "chained"})
    EXPECT_TRUE(fs::is_symlink(dir / (link + extension))) << link;
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    names.push_back(e.path().lexically_relative(dir).string());
  std::sort(names.begin(), names.end());
  std::vector<std::string> expected = {
      "chained" + extension, "link" + extension,    plain, "real", "real/" + file,
      "real/" + later,       "relative" + extension};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
  fs::remove_all(dir);
}

}  // namespace common::test
