// The plug-in host with test libraries: the scan, what it keeps, and the guarded run.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "editor/PluginHost.h"

namespace {

namespace fs = std::filesystem;
using editor::TPluginHost;
using shape::TCS;

fs::path TestPlugin(int kind) {
  return fs::path(ZEPHOR_TEST_PLUGIN_DIR) / ("test_plugin_kind" + std::to_string(kind) + ".wqg");
}

class PluginHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zephor_plugins_XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    // Created in reverse order, so that only sorting gives the order the host must keep.
    fs::create_directory(dir_ / "f.wqg");                // a folder, not a file
    std::ofstream(dir_ / "x.wqg") << "not a library\n";  // a text file
    fs::copy_file(TestPlugin(1), dir_ / "e.so");         // not a plug-in name
    fs::copy_file(TestPlugin(4), dir_ / "d.wqg");        // no name text
    fs::copy_file(TestPlugin(3), dir_ / "c.wqg");        // name, no exec
    fs::copy_file(TestPlugin(2), dir_ / "b.wqg");        // no entry points
    fs::copy_file(TestPlugin(1), dir_ / "a2.wqg");
    fs::copy_file(TestPlugin(1), dir_ / "a1.wqg");
    ASSERT_EQ(host_.LoadPlugins(dir_), 3);
  }
  void TearDown() override {
    host_.UnloadPlugins();
    fs::remove_all(dir_);
  }

  // An extra export of the configurable test plug-in `index`.
  template <typename F>
  F Hook(int index, const char* name) {
    auto f = reinterpret_cast<F>(::dlsym(host_.Plugin(index).Handle, name));
    EXPECT_NE(f, nullptr) << name;
    return f;
  }

  static std::unique_ptr<TCS> PatternRecord() {
    auto cs = std::make_unique<TCS>();
    auto* bytes = reinterpret_cast<unsigned char*>(cs.get());
    for (size_t k = 0; k < sizeof(TCS); ++k) bytes[k] = static_cast<unsigned char>(k * 13 + 1);
    cs->ScType = shape::SCTYPE_TORUS;
    cs->CPMaxI = 65;
    cs->CPMaxJ = 9;
    return cs;
  }

  fs::path dir_;
  TPluginHost host_;
};

TEST_F(PluginHostTest, KeepsThePlugInsInSortedNameOrder) {
  ASSERT_EQ(host_.Count(), 3);
  EXPECT_EQ(host_.Plugin(0).FileName, "a1.wqg");
  EXPECT_EQ(host_.Plugin(1).FileName, "a2.wqg");
  EXPECT_EQ(host_.Plugin(2).FileName, "c.wqg");
  EXPECT_EQ(host_.Plugin(0).Name, u"Test Plug-in");
  EXPECT_EQ(host_.Plugin(2).Name, u"Name Only");
  EXPECT_NE(host_.Plugin(0).Exec, nullptr);
  EXPECT_EQ(host_.Plugin(2).Exec, nullptr);
  // Two files are two libraries, each with its own state.
  EXPECT_NE(host_.Plugin(0).Handle, host_.Plugin(1).Handle);
}

TEST_F(PluginHostTest, RunPassesOwnerKeyPathAndRecord) {
  auto cs = PatternRecord();
  int owner = 0;
  ASSERT_TRUE(host_.RunPlugin(0, &owner, *cs));
  EXPECT_EQ(cs->ScType, shape::SCTYPE_PLANE);
  EXPECT_EQ(cs->CPMaxI, 2);
  EXPECT_EQ(cs->CPMaxJ, 3);
  EXPECT_EQ(cs->CP[1][2][0], 0.125);
  EXPECT_EQ(cs->CP[1][2][1], 0.5);
  EXPECT_EQ(cs->Count, 12345);  // what the plug-in wrote stays; the main window re-derives it
  EXPECT_EQ(Hook<int (*)()>(0, "TestPluginCalls")(), 1);
  EXPECT_EQ(Hook<int (*)()>(1, "TestPluginCalls")(), 0);
  EXPECT_EQ(Hook<void* (*)()>(0, "TestPluginLastOwner")(), &owner);
  EXPECT_EQ(std::u16string(Hook<const char16_t* (*)()>(0, "TestPluginLastKeyPath")()),
            u"\\Software\\DURIM PROJECT\\ZEPHOR6\\Test Plug-in");
}

TEST_F(PluginHostTest, FailedRunsLeaveTheRecordAsItWas) {
  struct Case {
    const char* what;
    int result, throws, scType, maxI, maxJ;
  };
  const Case cases[] = {
      {"stitch type 4", 1, 0, 4, 33, 33},
      {"stitch type 255", 1, 0, 255, 33, 33},
      {"one column", 1, 0, 0, 1, 33},
      {"258 columns", 1, 0, 0, 258, 33},
      {"no rows", 1, 0, 1, 33, 0},
      {"negative rows", 1, 0, 1, 33, -7},
      {"258 rows", 1, 0, 3, 2, 258},
      {"throws", 1, 1, 0, 33, 33},
      {"throws and says no", 0, 1, 0, 33, 33},
      {"writes but says no", 0, 0, 0, 33, 33},
  };
  auto set = Hook<void (*)(int, int, int, int32_t, int32_t)>(0, "TestPluginSet");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto cs = PatternRecord();
    const auto before = std::make_unique<TCS>(*cs);
    set(c.result, c.throws, c.scType, c.maxI, c.maxJ);
    EXPECT_FALSE(host_.RunPlugin(0, nullptr, *cs));
    EXPECT_EQ(std::memcmp(before.get(), cs.get(), sizeof(TCS)), 0);
  }
  // the edges of the valid range are accepted
  for (const Case& c : {Case{"2 x 257 cylinder", 1, 0, 3, 2, 257}, Case{"257 x 2 sphere", 1, 0, 0, 257, 2}}) {
    SCOPED_TRACE(c.what);
    auto cs = PatternRecord();
    set(c.result, c.throws, c.scType, c.maxI, c.maxJ);
    EXPECT_TRUE(host_.RunPlugin(0, nullptr, *cs));
    EXPECT_EQ(cs->CPMaxI, c.maxI);
  }
}

TEST_F(PluginHostTest, RunsThatCannotHappenDoNothing) {
  auto cs = PatternRecord();
  const auto before = std::make_unique<TCS>(*cs);
  EXPECT_FALSE(host_.RunPlugin(2, nullptr, *cs));  // no PluginExecZP6
  EXPECT_FALSE(host_.RunPlugin(3, nullptr, *cs));
  EXPECT_FALSE(host_.RunPlugin(-1, nullptr, *cs));
  EXPECT_EQ(std::memcmp(before.get(), cs.get(), sizeof(TCS)), 0);
  host_.UnloadPlugins();
  EXPECT_EQ(host_.Count(), 0);
  EXPECT_FALSE(host_.RunPlugin(0, nullptr, *cs));
}

TEST(PluginHost, KeyPathAndProgramFolder) {
  editor::TPluginModule p;
  p.FileName = "Tools.wqg";
  p.Name = u"A\\B\nC";
  EXPECT_EQ(editor::PluginKeyPath(p), u"\\Software\\DURIM PROJECT\\ZEPHOR6\\A_B_C");
  p.Name.clear();
  EXPECT_EQ(editor::PluginKeyPath(p), u"\\Software\\DURIM PROJECT\\ZEPHOR6\\Tools");
  // the test program lives in the build's tests folder
  EXPECT_EQ(editor::ProgramFolder().filename(), "tests");
  TPluginHost host;
  EXPECT_EQ(host.LoadPlugins(fs::path(ZEPHOR_TEST_PLUGIN_DIR) / "missing"), 0);
}

}  // namespace
