#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "TestFiles.h"
#include "common/tests/support/ReplacedFiles.h"
#include "settings/RegStore.h"
#include "settings/RegistryIniFile.h"

using namespace settings;
using namespace settings_test;

namespace {

const char kStoreKey[] = "\\Software\\DURIM PROJECT\\ZEPHOR6";
const char kSetup[] = "\\Software\\DURIM PROJECT\\ZEPHOR6\\Setup";

using RegStore = TSettingsFolder;

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename());
  return names;
}

}  // namespace

TEST_F(RegStore, FileLivesInTheUsersConfigFolder) {
  EXPECT_EQ(DefaultSettingsFileName(), SettingsPath());
  EXPECT_EQ(SettingsFileName(), SettingsPath());
  std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("XDG_CONFIG_HOME", "relative/path", 1);  // not absolute: ignored
  ::setenv("HOME", "/home/someone/", 1);
  EXPECT_EQ(DefaultSettingsFileName(), "/home/someone/.config/DURIM PROJECT/ZEPHOR6.reg");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(DefaultSettingsFileName(), "/home/someone/.config/DURIM PROJECT/ZEPHOR6.reg");
  ::setenv("HOME", home.c_str(), 1);

  SetSettingsFileName("/elsewhere/x.reg");
  EXPECT_EQ(SettingsFileName(), "/elsewhere/x.reg");
  SetSettingsFileName("");
  ::setenv("XDG_CONFIG_HOME", Dir().c_str(), 1);
  EXPECT_EQ(SettingsFileName(), SettingsPath());
}

TEST_F(RegStore, WritesReachTheFileAtFlushOnly) {
  TRegStore store;
  EXPECT_FALSE(store.KeyExists(kSetup));
  store.WriteInteger(kSetup, "Grid", 4);
  EXPECT_TRUE(store.Modified());
  EXPECT_EQ(store.GetDataType(kSetup, "grid"), TRegDataType::rdInteger);
  EXPECT_FALSE(std::filesystem::exists(SettingsPath()));
  store.Flush();
  EXPECT_FALSE(store.Modified());
  EXPECT_EQ(ReadWholeFile(SettingsPath()),
            "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\DURIM "
            "PROJECT\\ZEPHOR6\\Setup]\n\"Grid\"=dword:00000004\n\n");
  // Only the settings file is left in the folder.
  EXPECT_EQ(FilesIn(SettingsFolder()), std::vector<std::string>{"ZEPHOR6.reg"});
}

TEST_F(RegStore, IniFileWritesEachKind) {
  {
    TRegistryIniFile ini(kStoreKey);
    ini.WriteInteger("Setup", "Int", -2);
    ini.WriteBool("Setup", "On", true);
    ini.WriteBool("Setup", "Off", false);
    ini.WriteFloat("Setup", "F", 30.0);
    ini.WriteString("OldFile", "S", "/home/u/a \"b\"\\c.tga");
    ini.UpdateFile();
  }
  EXPECT_EQ(ReadWholeFile(SettingsPath()),
            "REGEDIT4\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\DURIM PROJECT\\ZEPHOR6\\Setup]\n"
            "\"Int\"=dword:fffffffe\n"
            "\"On\"=\"1\"\n"
            "\"Off\"=\"0\"\n"
            "\"F\"=hex:00,00,00,00,00,00,3e,40\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\DURIM PROJECT\\ZEPHOR6\\OldFile]\n"
            "\"S\"=\"/home/u/a \\\"b\\\"\\\\c.tga\"\n"
            "\n");
  TRegistryIniFile ini(kStoreKey);
  EXPECT_EQ(ini.ReadInteger("Setup", "Int", 0), -2);
  EXPECT_TRUE(ini.ReadBool("Setup", "On", false));
  EXPECT_FALSE(ini.ReadBool("Setup", "Off", true));
  EXPECT_EQ(ini.ReadFloat("Setup", "F", 0), 30.0);
  EXPECT_EQ(ini.ReadString("OldFile", "S", ""), "/home/u/a \"b\"\\c.tga");
  EXPECT_TRUE(ini.SectionExists("setup"));
  EXPECT_FALSE(ini.SectionExists("Nothing"));
  EXPECT_EQ(ini.ReadSection("Setup"), (std::vector<std::string>{"Int", "On", "Off", "F"}));
  // Every double comes back bit for bit.
  for (double d :
       {0.1, -0.0, 1e-310, std::numeric_limits<double>::max(), std::numeric_limits<double>::infinity()}) {
    ini.WriteFloat("Setup", "D", d);
    ini.UpdateFile();
    TRegistryIniFile again(kStoreKey);
    double back = again.ReadFloat("Setup", "D", 7);
    EXPECT_EQ(std::memcmp(&back, &d, 8), 0) << d;
  }
  ini.WriteFloat("Setup", "D", std::nan(""));
  EXPECT_TRUE(std::isnan(ini.ReadFloat("Setup", "D", 7)));
}

// Reads of each stored kind through each read of the INI view.
TEST_F(RegStore, IniReadsConvertOrFallBackToTheDefault) {
  struct TCase {
    const char* line;  // the value as stored
    int32_t asInteger;
    bool asBool;
    double asFloat;
    const char* asString;
  };
  // Defaults of the reads: 99, true, 99.5, "def".
  const TCase cases[] = {
      {"dword:00000000", 0, false, 0.0, "0"},
      {"dword:00000001", 1, true, 1.0, "1"},
      {"dword:00000002", 2, true, 2.0, "2"},
      {"dword:ffffffff", -1, true, -1.0, "-1"},
      {"\"0\"", 0, false, 0.0, "0"},
      {"\"1\"", 1, true, 1.0, "1"},
      {"\"-17\"", -17, true, -17.0, "-17"},
      {"\"$1F\"", 31, true, 99.5, "$1F"},
      {"\"2.5\"", 99, true, 2.5, "2.5"},
      {"\"true\"", 99, true, 99.5, "true"},
      {"\"\"", 99, true, 99.5, ""},
      {"\"99999999999\"", 99, true, 99999999999.0, "99999999999"},
      {"\"nan\"", 99, true, 99.5, "nan"},
      {"hex:00,00,00,00,00,00,3e,40", 99, true, 30.0, "def"},
      {"hex:00,00,00,00,00,00,3e", 99, true, 99.5, "def"},
      {"hex:00,00,00,00,00,00,00,3e,40", 99, true, 99.5, "def"},
      {"hex:01,00,00,00", 99, true, 99.5, "def"},
      {"hex:", 99, true, 99.5, "def"},
      {"hex(1):31,00", 1, true, 1.0, "1"},
  };
  std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\DURIM PROJECT\\ZEPHOR6\\Setup]\n";
  for (size_t i = 0; i < std::size(cases); ++i)
    text += "\"V" + std::to_string(i) + "\"=" + cases[i].line + "\n";
  WriteWholeFile(SettingsPath(), text);
  TRegistryIniFile ini(kStoreKey);
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].line);
    std::string name = "V";
    name += std::to_string(i);
    ASSERT_TRUE(ini.ValueExists("Setup", name));
    EXPECT_EQ(ini.ReadInteger("Setup", name, 99), cases[i].asInteger);
    EXPECT_EQ(ini.ReadBool("Setup", name, true), cases[i].asBool);
    // (99 marks a value that is not an integer: the Boolean read gives its default too)
    EXPECT_EQ(ini.ReadBool("Setup", name, false), cases[i].asInteger == 99 ? false : cases[i].asBool);
    EXPECT_EQ(ini.ReadFloat("Setup", name, 99.5), cases[i].asFloat);
    EXPECT_EQ(ini.ReadString("Setup", name, "def"), cases[i].asString);
  }
  // Missing values and sections.
  EXPECT_EQ(ini.ReadInteger("Setup", "Missing", 5), 5);
  EXPECT_EQ(ini.ReadString("Nothing", "x", "d"), "d");
  EXPECT_EQ(ini.ReadFloat("Nothing", "x", 2.5), 2.5);
  EXPECT_FALSE(ini.ReadBool("Nothing", "x", false));
}

// The program and a plug-in each hold a store on the same file; neither flush erases what
// the other wrote.
TEST_F(RegStore, StoresOnTheSameFileMergeTheirWrites) {
  WriteWholeFile(SettingsPath(),
                 "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\DURIM PROJECT\\ZEPHOR6\\Setup]\n"
                 "\"Grid\"=dword:00000001\n\"Future\"=\"kept\"\n\n");
  TRegistryIniFile program(kStoreKey);
  TRegistryIniFile plugin("\\Software\\DURIM PROJECT\\ZEPHOR6\\Polyhedron");
  plugin.WriteInteger("Setup", "Type", 2);
  plugin.WriteInteger("Setup", "Size", 20);
  plugin.UpdateFile();
  // The program's store still has the file as it was when it read it...
  EXPECT_FALSE(program.Store().KeyExists("\\Software\\DURIM PROJECT\\ZEPHOR6\\Polyhedron\\Setup"));
  program.WriteInteger("Setup", "Grid", 3);
  program.WriteInteger("Setup", "Size", 8);  // same name, other key: no clash
  program.UpdateFile();
  // ...and its flush keeps the plug-in's values and the value nobody touched.
  TRegistryIniFile check(kStoreKey);
  EXPECT_EQ(check.ReadInteger("Setup", "Grid", 0), 3);
  EXPECT_EQ(check.ReadString("Setup", "Future", ""), "kept");
  EXPECT_EQ(check.ReadInteger("Setup", "Size", 0), 8);
  EXPECT_EQ(check.ReadInteger("Polyhedron\\Setup", "Type", 0), 2);
  EXPECT_EQ(check.ReadInteger("Polyhedron\\Setup", "Size", 0), 20);
  // After a flush the store sees the merged file.
  EXPECT_EQ(program.ReadInteger("Polyhedron\\Setup", "Type", 0), 2);
  // A value both write: the later flush wins.
  plugin.WriteInteger("Setup", "Type", 4);
  program.Store().WriteInteger("\\Software\\DURIM PROJECT\\ZEPHOR6\\Polyhedron\\Setup", "Type", 5);
  program.UpdateFile();
  plugin.UpdateFile();
  EXPECT_EQ(TRegistryIniFile(kStoreKey).ReadInteger("Polyhedron\\Setup", "Type", 0), 4);
  // Reload shows others' flushes under this store's pending writes.
  program.WriteInteger("Setup", "Pending", 1);
  plugin.WriteInteger("Setup", "Other", 1);
  plugin.UpdateFile();
  program.Store().Reload();
  EXPECT_EQ(program.ReadInteger("Polyhedron\\Setup", "Other", 0), 1);
  EXPECT_EQ(program.ReadInteger("Setup", "Pending", 0), 1);
}

// Flushes from several threads, each with its own store, lose nothing.
TEST_F(RegStore, ConcurrentFlushesKeepEveryValue) {
  const int kThreads = 4, kRounds = 25;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int r = 0; r < kRounds; ++r) {
        TRegStore store;
        std::string key = kStoreKey;
        key += "\\T";
        key += std::to_string(t);
        std::string name = "V";
        name += std::to_string(r);
        store.WriteInteger(key, name, static_cast<uint32_t>(r));
        store.Flush();
      }
    });
  }
  for (auto& th : threads) th.join();
  TRegStore check;
  for (int t = 0; t < kThreads; ++t)
    EXPECT_EQ(check.GetValueNames(std::string(kStoreKey) + "\\T" + std::to_string(t)).size(),
              static_cast<size_t>(kRounds));
  EXPECT_EQ(FilesIn(SettingsFolder()).size(), 1u);
}

TEST_F(RegStore, IniFileFlushesWhatIsLeftWhenDestroyed) {
  {
    TRegistryIniFile ini(kStoreKey);
    ini.WriteInteger("Setup", "Grid", 6);
  }
  EXPECT_EQ(TRegistryIniFile(kStoreKey).ReadInteger("Setup", "Grid", 0), 6);
}

// Damaged files read as empty or as their well-formed part; a flush then writes a clean file.
TEST_F(RegStore, DamagedFilesReadAsTheirWellFormedPart) {
  const std::string good =
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\DURIM PROJECT\\ZEPHOR6\\Setup]\n\"Grid\"=dword:00000002\n";
  std::string binary(3000, '\0');
  for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 131 + 7);
  struct TCase {
    const char* what;
    std::string text;
    bool gridSurvives;
  };
  const TCase cases[] = {
      {"empty", "", false},
      {"header only", "REGEDIT4", false},
      {"truncated", good.substr(0, good.size() - 5), false},
      {"garbage", "this is not\na settings file\n[\n]\n\"\"\"\n", false},
      {"binary junk", binary, false},
      {"junk after values", good + binary, true},
      {"junk before values", binary + "\n" + good.substr(9), true},
      {"huge line", good + std::string(4 << 20, 'x') + "\n", true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    WriteWholeFile(SettingsPath(), c.text);
    TRegistryIniFile ini(kStoreKey);
    EXPECT_EQ(ini.ReadInteger("Setup", "Grid", -1), c.gridSurvives ? 2 : -1);
    ini.WriteInteger("Setup", "Pointer Size", 5);
    ini.UpdateFile();
    std::string expected = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\DURIM PROJECT\\ZEPHOR6\\Setup]\n";
    if (c.gridSurvives) expected += "\"Grid\"=dword:00000002\n";
    expected += "\"Pointer Size\"=dword:00000005\n\n";
    EXPECT_EQ(ReadWholeFile(SettingsPath()), expected);
  }
  // A file too large to be a settings file reads as empty.
  WriteWholeFile(SettingsPath(), good);
  std::filesystem::resize_file(SettingsPath(), kMaxSettingsFileSize + 1);  // sparse: quick to make
  EXPECT_FALSE(TRegStore().KeyExists(kSetup));
  // A folder in the file's place reads as empty.
  std::filesystem::remove(SettingsPath());
  std::filesystem::create_directories(SettingsPath());
  EXPECT_FALSE(TRegStore().KeyExists(kSetup));
}

// The file kept when a write fails: here the file size limit of the process stops the write
// of the temporary file (this works for any user, root included).
TEST_F(RegStore, FailedWriteKeepsTheOldFileAndThrows) {
  const std::string old =
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\DURIM PROJECT\\ZEPHOR6\\Setup]\n\"Grid\"=dword:00000002\n\n";
  WriteWholeFile(SettingsPath(), old);
  TRegistryIniFile ini(kStoreKey);
  ini.WriteString("Setup", "Long", std::string(4000, 'x'));

  struct rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string message;
  try {
    ini.UpdateFile();
  } catch (const ERegistryException& e) {
    message = e.what();
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, oldHandler);

  EXPECT_NE(message.find("Cannot write the settings file \"" + SettingsPath() + "\""), std::string::npos)
      << message;
  EXPECT_EQ(ReadWholeFile(SettingsPath()), old);
  EXPECT_EQ(FilesIn(SettingsFolder()), std::vector<std::string>{"ZEPHOR6.reg"});
  // The writes stay pending: a later flush succeeds.
  EXPECT_TRUE(ini.Store().Modified());
  ini.UpdateFile();
  EXPECT_EQ(TRegistryIniFile(kStoreKey).ReadString("Setup", "Long", "").size(), 4000u);
}

// Folder permissions do not bind root, so as root the checks run in a child
// that has given up root for an unprivileged user owning the test folder.
static std::string UnwritableFolderChecks(const std::string& folder, const std::string& path) {
  std::string failed;
  auto check = [&](bool ok, const char* what) {
    if (!ok) failed += std::string(what) + "; ";
  };
  auto throwsOnFlush = [](TRegStore& store) {
    try {
      store.Flush();
    } catch (const ERegistryException&) {
      return true;
    }
    return false;
  };
  const std::string old = "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"a\"\n\n";
  WriteWholeFile(path, old);
  ::chmod(folder.c_str(), 0500);
  TRegStore store;
  store.WriteString("K", "B", "b");
  check(throwsOnFlush(store), "a flush into a read-only folder did not throw");
  ::chmod(folder.c_str(), 0700);
  check(ReadWholeFile(path) == old, "the old file changed");
  // An existing file that cannot be read is not replaced by one without its values.
  ::chmod(path.c_str(), 0);
  check(throwsOnFlush(store), "a flush over an unreadable file did not throw");
  ::chmod(path.c_str(), 0600);
  check(ReadWholeFile(path) == old, "the unreadable file was replaced");
  return failed;
}

TEST_F(RegStore, UnwritableFolderKeepsTheOldFileAndThrows) {
  if (!IsRoot()) {
    EXPECT_EQ(UnwritableFolderChecks(SettingsFolder(), SettingsPath()), "");
    return;
  }
  const uid_t nobody = 65534;
  std::filesystem::create_directories(SettingsFolder());
  for (const auto& e : std::filesystem::recursive_directory_iterator(Dir()))
    ASSERT_EQ(::chown(e.path().c_str(), nobody, nobody), 0);
  ASSERT_EQ(::chown(Dir().c_str(), nobody, nobody), 0);
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(pipeFds[0]);
    std::string failed;
    if (::setgid(nobody) != 0 || ::setuid(nobody) != 0)
      failed = "cannot give up root";
    else
      failed = UnwritableFolderChecks(SettingsFolder(), SettingsPath());
    if (!failed.empty() && ::write(pipeFds[1], failed.data(), failed.size()) < 0)
      ::_exit(2);
    ::_exit(failed.empty() ? 0 : 1);
  }
  ::close(pipeFds[1]);
  std::string report;
  char buf[256];
  for (ssize_t n; (n = ::read(pipeFds[0], buf, sizeof buf)) > 0;)
    report.append(buf, static_cast<size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << report;
  EXPECT_EQ(report, "");
}

TEST_F(RegStore, WhatCannotBeReplacedIsLeftAlone) {
  // A folder where the file should be.
  std::filesystem::create_directories(SettingsPath());
  TRegStore store;
  store.WriteString("K", "B", "b");
  EXPECT_THROW(store.Flush(), ERegistryException);
  EXPECT_TRUE(std::filesystem::is_directory(SettingsPath()));
  // A file where the folder should be.
  std::filesystem::remove_all(SettingsFolder());
  WriteWholeFile(SettingsFolder(), "not a folder");
  EXPECT_THROW(store.Flush(), ERegistryException);
  EXPECT_EQ(ReadWholeFile(SettingsFolder()), "not a folder");
  // A pipe where the file should be neither blocks the reader nor gets replaced.
  std::filesystem::remove_all(SettingsFolder());
  std::filesystem::create_directories(SettingsFolder());
  ASSERT_EQ(::mkfifo(SettingsPath().c_str(), 0600), 0);
  TRegStore fromPipe;
  EXPECT_FALSE(fromPipe.KeyExists("K"));
  EXPECT_THROW(store.Flush(), ERegistryException);
  EXPECT_TRUE(std::filesystem::is_fifo(SettingsPath()));
  // Names the file cannot hold.
  EXPECT_THROW(store.WriteString("K", "line\nbreak", "x"), ERegistryException);
  EXPECT_THROW(store.WriteInteger("K\r", "x", 1), ERegistryException);
  EXPECT_THROW(store.WriteValue("K", "x", TRegValue()), ERegistryException);
}

TEST_F(RegStore, ASaveKeepsALinkAndThePermissionsOfWhatItReplaces) {
  common::test::ExpectSaveKeepsLinksAndModes(".reg", [](const std::string& name) {
    SetSettingsFileName(name);
    TRegStore store;
    store.WriteString("K", "B", "b");
    store.Flush();
  });
  SetSettingsFileName("");
}

TEST_F(RegStore, KeepsALinkedFileLinkedAndItsPermissions) {
  std::string real = Dir() + "/dotfiles/ZEPHOR6.reg";
  WriteWholeFile(real, "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"a\"\n\n");
  ::chmod(real.c_str(), 0640);
  std::filesystem::create_directories(SettingsFolder());
  std::filesystem::create_symlink(real, SettingsPath());
  TRegStore store;
  EXPECT_TRUE(store.ValueExists("K", "A"));
  store.WriteString("K", "B", "b");
  store.Flush();
  EXPECT_TRUE(std::filesystem::is_symlink(SettingsPath()));
  EXPECT_EQ(ReadWholeFile(real), "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"a\"\n\"B\"=\"b\"\n\n");
  struct stat st;
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}
