#include <gtest/gtest.h>

#include "shape/OutputNames.h"
#include "shape/tests/ShapeIoTestUtil.h"

using namespace shape;
using shape_test::RecordingPrompts;
using shape_test::ScratchDir;
using shape_test::SettingsGuard;

TEST(OutputNames, ConfirmOverwriteAsksOnlyForAnExistingFileWithOverwriteOn) {
  SettingsGuard guard;
  ScratchDir dir;
  RecordingPrompts prompts;
  SetFilePrompts(&prompts);
  dir.Touch("box.tga");

  settings::AppSettings.FileOverWrite = true;
  EXPECT_TRUE(ConfirmOverwrite(dir / "free.tga"));
  EXPECT_TRUE(prompts.questions.empty());
  prompts.answer = false;
  EXPECT_FALSE(ConfirmOverwrite(dir / "box.tga"));
  prompts.answer = true;
  EXPECT_TRUE(ConfirmOverwrite(dir / "box.tga"));
  ASSERT_EQ(prompts.questions.size(), 2u);
  EXPECT_EQ(prompts.questions[0], "box.tga already exists.\r\nDo you want to replace it?");

  // Nobody to ask: the file is kept.
  SetFilePrompts(nullptr);
  EXPECT_FALSE(ConfirmOverwrite(dir / "box.tga"));

  settings::AppSettings.FileOverWrite = false;
  SetFilePrompts(&prompts);
  EXPECT_TRUE(ConfirmOverwrite(dir / "box.tga"));
  EXPECT_EQ(prompts.questions.size(), 2u);
}

TEST(OutputNames, OverwriteOnNeverRenames) {
  SettingsGuard guard;
  ScratchDir dir;
  settings::AppSettings.FileOverWrite = true;
  dir.Touch("box.tga");
  EXPECT_EQ(MakeUniqueFileName(dir / "box.tga", ".tga"), dir / "box.tga");
  EXPECT_EQ(MakeUniqueFileName(dir / "box.obj", ".tga"), dir / "box.tga");
  EXPECT_TRUE(RenameNotice.empty());
}

TEST(OutputNames, NextFreeNameTable) {
  SettingsGuard guard;
  settings::AppSettings.FileOverWrite = false;
  struct Case {
    std::vector<std::string> existing;
    std::string name, ext, expected;
  };
  const Case cases[] = {
      {{}, "model.tga", ".tga", "model.tga"},
      {{}, "model.obj", ".tga", "model.tga"},
      {{"model.tga"}, "model.tga", ".tga", "model_001.tga"},
      {{"model.tga", "model_001.tga"}, "model.tga", ".tga", "model_002.tga"},
      // a counter continues
      {{"model_005.tga"}, "model_005.tga", ".tga", "model_006.tga"},
      {{"model_005.tga", "model_006.tga"}, "model_005.tga", ".tga", "model_007.tga"},
      {{"model_999.tga"}, "model_999.tga", ".tga", "model_1000.tga"},
      // _000 is no counter; a name of four characters carries none
      {{"model_000.tga"}, "model_000.tga", ".tga", "model_000_001.tga"},
      {{"a_12.tga"}, "a_12.tga", ".tga", "a_12_001.tga"},
      {{"m_x12.tga"}, "m_x12.tga", ".tga", "m_x12_001.tga"},
      // dots inside the name: only the last extension goes, once
      {{}, "my.shape.tga", ".tga", "my.shape.tga"},
      {{}, "my.shape.tga", ".png", "my.shape.png"},
      {{"my.shape.tga"}, "my.shape.tga", ".tga", "my.shape_001.tga"},
      // a dot in a folder name is no extension
      {{}, "dir.d/name", ".tga", "dir.d/name.tga"},
      {{"dir.d/name.tga"}, "dir.d/name", ".tga", "dir.d/name_001.tga"},
      // a missing folder counts as free
      {{}, "nowhere/model.tga", ".tga", "nowhere/model.tga"},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    std::filesystem::create_directories(dir / "dir.d");
    for (const auto& e : c.existing) dir.Touch(e);
    RenameNotice.clear();
    EXPECT_EQ(MakeUniqueFileName(dir / c.name, c.ext), dir / c.expected) << c.name;
    if (c.expected == c.name || c.existing.empty())
      EXPECT_TRUE(RenameNotice.empty()) << c.name;
    else
      EXPECT_EQ(RenameNotice, "File name was renamed to \"" + ExtractFileName(c.expected) + "\".") << c.name;
  }
}

TEST(OutputNames, OneNoticeListsEveryRenameOfACommand) {
  SettingsGuard guard;
  ScratchDir dir;
  RecordingPrompts prompts;
  SetFilePrompts(&prompts);
  settings::AppSettings.FileOverWrite = false;
  dir.Touch("a.tga");
  dir.Touch("a.txt");
  EXPECT_EQ(MakeUniqueFileName(dir / "a.tga", ".tga"), dir / "a_001.tga");
  EXPECT_EQ(MakeUniqueFileName(dir / "b.tga", ".tga"), dir / "b.tga");
  EXPECT_EQ(MakeUniqueFileName(dir / "a.tga", ".txt"), dir / "a_001.txt");
  ShowRenameNotice();
  ASSERT_EQ(prompts.notices.size(), 1u);
  EXPECT_EQ(prompts.notices[0],
            "File name was renamed to \"a_001.tga\".\r\nFile name was renamed to \"a_001.txt\".");
  EXPECT_TRUE(RenameNotice.empty());
  ShowRenameNotice();
  EXPECT_EQ(prompts.notices.size(), 1u);
}

TEST(OutputNames, SuffixAndPartNames) {
  EXPECT_EQ(ForceNameSuffix("box.dae", "-tx", ""), "box-tx");
  EXPECT_EQ(ForceNameSuffix("box-tx.dae", "-tx", ""), "box-tx");
  EXPECT_EQ(ForceNameSuffix("box.dae", "-tx", ".png"), "box-tx.png");
  EXPECT_EQ(ForceNameSuffix("box-tx.png", "-tx", ".png"), "box-tx.png");
  EXPECT_EQ(ForceNameSuffix("/a.b/my.box.dae", "-tx", ""), "/a.b/my.box-tx");
  EXPECT_EQ(ForceNameSuffix("/a.b/box", "-tx", ".png"), "/a.b/box-tx.png");

  EXPECT_EQ(PartFileName("model.tga", 3), "model-03.tga");
  EXPECT_EQ(PartFileName("my.shape.tga", 1), "my.shape-01.tga");
  EXPECT_EQ(PartFileName("model.tga", 64), "model-64.tga");
  EXPECT_EQ(PartFileName("model.tga", 100), "model-100.tga");
  EXPECT_EQ(PartFileName("dir.d/model", 2), "dir.d/model-02");

  EXPECT_EQ(ExtractBaseName("/x.y/my.shape.tga"), "my.shape");
  EXPECT_EQ(ExtractFileExt("/x.y/name"), "");
  EXPECT_EQ(ChangeFileExt("/x.y/name.TGA", ".png"), "/x.y/name.png");
}
