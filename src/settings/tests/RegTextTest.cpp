#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "settings/RegText.h"

using namespace settings;

namespace {

TRegTree SmallTree() {
  TRegTree t;
  const char* setup = "\\Software\\DURIM PROJECT\\ZEPHOR6\\Setup";
  t.SetValue(setup, "View Level", TRegValue::FromInteger(30));
  t.SetValue(setup, "File OverWrite", TRegValue::FromString("1"));
  t.SetValue(setup, "RotateDegreeF", TRegValue::FromBinary(std::string("\0\0\0\0\0\0\x3e\x40", 8)));
  t.SetValue(setup, "Path \"q\"", TRegValue::FromString("C:\\dir\\\"x\""));
  t.SetValue("Software\\DURIM PROJECT\\ZEPHOR6\\Polyhedron\\Setup", "", TRegValue::FromString("d"));
  t.SetValue("Software\\DURIM PROJECT\\ZEPHOR6\\Polyhedron\\Setup", "Lines", TRegValue::FromString("a\r\nb"));
  t.SetValue("Software\\DURIM PROJECT\\ZEPHOR6\\Polyhedron\\Setup", "Empty", TRegValue::FromBinary(""));
  t.SetValue("Software\\DURIM PROJECT\\ZEPHOR6\\Polyhedron\\Setup", "Max",
             TRegValue::FromInteger(0xFFFFFFFFu));
  return t;
}

const char kSmallText[] =
    "REGEDIT4\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\DURIM PROJECT\\ZEPHOR6\\Setup]\n"
    "\"View Level\"=dword:0000001e\n"
    "\"File OverWrite\"=\"1\"\n"
    "\"RotateDegreeF\"=hex:00,00,00,00,00,00,3e,40\n"
    "\"Path \\\"q\\\"\"=\"C:\\\\dir\\\\\\\"x\\\"\"\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\DURIM PROJECT\\ZEPHOR6\\Polyhedron\\Setup]\n"
    "@=\"d\"\n"
    "\"Lines\"=hex(1):61,0d,0a,62,00\n"
    "\"Empty\"=hex:\n"
    "\"Max\"=dword:ffffffff\n"
    "\n";

// Every value of `part` exists in `whole` with the same data.
void ExpectPartOf(const TRegTree& part, const TRegTree& whole) {
  for (const auto& key : part.Keys()) {
    ASSERT_NE(whole.FindKey(key.Path), nullptr) << key.Path;
    for (const auto& e : key.Values) {
      const TRegValue* v = whole.FindValue(key.Path, e.Name);
      ASSERT_NE(v, nullptr) << key.Path << " / " << e.Name;
      EXPECT_EQ(*v, e.Value) << key.Path << " / " << e.Name;
    }
  }
}

size_t ValueCount(const TRegTree& t) {
  size_t n = 0;
  for (const auto& key : t.Keys()) n += key.Values.size();
  return n;
}

}  // namespace

TEST(RegText, WritesTheExactText) {
  TRegTree t = SmallTree();
  EXPECT_EQ(FormatRegText(t), kSmallText);
  EXPECT_EQ(FormatRegText(TRegTree()), "REGEDIT4\n\n");
}

TEST(RegText, ReadsBackWhatItWrote) {
  TRegTree t = SmallTree();
  TRegTree back = ParseRegText(FormatRegText(t));
  ASSERT_EQ(back.Keys().size(), t.Keys().size());
  for (size_t k = 0; k < t.Keys().size(); ++k) {
    EXPECT_EQ(back.Keys()[k].Path, t.Keys()[k].Path);
    ASSERT_EQ(back.Keys()[k].Values.size(), t.Keys()[k].Values.size());
    for (size_t i = 0; i < t.Keys()[k].Values.size(); ++i) {
      EXPECT_EQ(back.Keys()[k].Values[i].Name, t.Keys()[k].Values[i].Name);
      EXPECT_EQ(back.Keys()[k].Values[i].Value, t.Keys()[k].Values[i].Value);
    }
  }
  // Text with every byte value survives, including NUL.
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  TRegTree bytes;
  bytes.SetValue("K", "all", TRegValue::FromString(all));
  bytes.SetValue("K", "bin", TRegValue::FromBinary(all));
  TRegTree bytesBack = ParseRegText(FormatRegText(bytes));
  ExpectPartOf(bytes, bytesBack);
  EXPECT_EQ(ValueCount(bytesBack), 2u);
}

TEST(RegText, ReadsWhatPeopleAndOtherToolsWrite) {
  const char text[] =
      "\xEF\xBB\xBFREGEDIT4\r\n"
      "\r\n"
      "; a comment\r\n"
      "[hkey_current_user\\Software\\\\Z\\]\r\n"
      "\"A\" = DWORD:0000000A\r\n"
      "\"B\"=HEX:01,02,\\\r\n"
      "  03,04\r\n"
      "\"a\"=\"again\"\r\n"
      "\"Tab\"=\"x\ty\"\r\n"
      "\"Lone\"=\"C:\\dir\"\r\n"
      "  [HKEY_CURRENT_USER\\software\\z]  \r\n"
      "\"C\"=hex(1):68,69\r\n";
  TRegTree t = ParseRegText(text);
  ASSERT_EQ(t.Keys().size(), 1u);
  EXPECT_EQ(t.Keys()[0].Path, "Software\\Z");
  ASSERT_EQ(t.Keys()[0].Values.size(), 5u);
  // A value set twice keeps its first place and its last data; names ignore case.
  EXPECT_EQ(t.Keys()[0].Values[0].Name, "A");
  EXPECT_EQ(*t.FindValue("SOFTWARE\\z", "a"), TRegValue::FromString("again"));
  EXPECT_EQ(*t.FindValue("Software\\Z", "B"), TRegValue::FromBinary("\x01\x02\x03\x04"));
  EXPECT_EQ(*t.FindValue("Software\\Z", "Tab"), TRegValue::FromString("x\ty"));
  EXPECT_EQ(*t.FindValue("Software\\Z", "Lone"), TRegValue::FromString("C:\\dir"));
  EXPECT_EQ(*t.FindValue("Software\\Z", "C"), TRegValue::FromString("hi"));
}

// Each damaged line is skipped on its own; the well-formed line after it is still read.
TEST(RegText, SkipsDamagedLines) {
  const std::vector<std::string> damaged = {
      "\"V\"=dword:0000001",             // seven digits
      "\"V\"=dword:000000001",           // nine digits
      "\"V\"=dword:0000001g",            //
      "\"V\"=dword:",                    //
      "\"V\"=\"open",                    // no closing quote
      "\"V\"=\"ends in escape\\\"",      //
      "\"V\"=\"text\" junk",             // something after the string
      "\"V\"=hex:1,02",                  // one-digit byte
      "\"V\"=hex:01,,02",                //
      "\"V\"=hex:01,02,",                // trailing comma without a continuation
      "\"V\"=hex:01,02,\\",              // continuation without the next line
      "\"V\"=hex:0x1",                   //
      "\"V\"=hex(2):41,00",              // a kind the store does not keep
      "\"V\"=hex(7):41,00",              //
      "\"V\"=-",                         // a deletion
      "\"V\"=",                          //
      "\"V\"",                           //
      "\"V\"dword:00000001",             //
      "\"V=dword:00000001",              //
      "V=dword:00000001",                //
      "@dword:00000001",                 //
      "[HKEY_CURRENT_USER\\Open",        // a header that does not close
      "[HKEY_LOCAL_MACHINE\\Software]",  // another root
      "[-HKEY_CURRENT_USER\\Software]",  // a key deletion
      "[HKEY_CURRENT_USERS\\Software]",  //
      "\x01\x02\xff\xfe garbage",        //
  };
  for (const std::string& line : damaged) {
    SCOPED_TRACE(line);
    std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n" + line + "\n\"OK\"=dword:00000007\n";
    TRegTree t = ParseRegText(text);
    EXPECT_EQ(t.FindValue("K", "V"), nullptr);
    if (line.front() == '[') {
      // Values below a header that is not ours belong to nothing.
      EXPECT_EQ(t.FindValue("K", "OK"), nullptr);
    } else {
      ASSERT_NE(t.FindValue("K", "OK"), nullptr);
      EXPECT_EQ(*t.FindValue("K", "OK"), TRegValue::FromInteger(7));
    }
  }
  // Values before the first header have no key.
  EXPECT_TRUE(ParseRegText("REGEDIT4\n\"A\"=dword:00000001\n").Empty());
  // A continuation must be indented; an unindented line is read as a line of its own.
  TRegTree t = ParseRegText("[HKEY_CURRENT_USER\\K]\n\"V\"=hex:01,\\\n\"W\"=dword:00000002\n");
  EXPECT_EQ(t.FindValue("K", "V"), nullptr);
  ASSERT_NE(t.FindValue("K", "W"), nullptr);
}

// A file cut anywhere (a crash of some other writer, a full disk) yields part of its values,
// never a value that differs from the whole file's.
TEST(RegText, EveryCutOfAFileYieldsPartOfIt) {
  TRegTree whole = SmallTree();
  whole.SetValue("K2", "Long", TRegValue::FromBinary(std::string(40, '\x5a')));
  std::string text = FormatRegText(whole);
  // A long binary as other tools wrap it.
  text += "[HKEY_CURRENT_USER\\K3]\n\"Wrapped\"=hex:01,02,03,\\\n  04,05,06,\\\n  07,08\n";
  whole.SetValue("K3", "Wrapped", TRegValue::FromBinary("\x01\x02\x03\x04\x05\x06\x07\x08"));
  for (std::string_view ending : {"\n", "\r\n"}) {
    std::string t = text;
    if (ending == "\r\n") {
      t.clear();
      for (char c : text) {
        if (c == '\n') t += '\r';
        t += c;
      }
    }
    ASSERT_EQ(ValueCount(ParseRegText(t)), ValueCount(whole));
    for (size_t n = 0; n <= t.size(); ++n) {
      SCOPED_TRACE(n);
      ExpectPartOf(ParseRegText(std::string_view(t).substr(0, n)), whole);
      if (HasFatalFailure()) return;
    }
  }
}

TEST(RegText, SurvivesJunkAndHugeInput) {
  std::mt19937 rng(12345);
  // Random bytes, with and without a valid start.
  for (int round = 0; round < 20; ++round) {
    std::string junk(4096 + round * 997, '\0');
    for (char& c : junk) c = static_cast<char>(rng());
    ParseRegText(junk);
    TRegTree t = ParseRegText("REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"A\"=dword:00000001\n" + junk +
                              "\n[HKEY_CURRENT_USER\\K]\n\"B\"=\"b\"\n");
    EXPECT_NE(t.FindValue("K", "A"), nullptr);
    EXPECT_NE(t.FindValue("K", "B"), nullptr);
  }
  // Mutated bytes of a valid file.
  std::string good = kSmallText;
  for (int round = 0; round < 2000; ++round) {
    std::string t = good;
    for (int k = 0; k < 3; ++k) t[rng() % t.size()] = static_cast<char>(rng());
    ParseRegText(t);
  }
  // Huge lines: junk, an endless hex list, a long but valid string.
  std::string huge = "[HKEY_CURRENT_USER\\K]\n" + std::string(8 << 20, 'A') + "\n\"H\"=hex:";
  for (int i = 0; i < 500000; ++i) huge += "00,";
  huge += "01\n\"S\"=\"" + std::string(1 << 20, 's') + "\"\n";
  TRegTree t = ParseRegText(huge);
  ASSERT_NE(t.FindValue("K", "H"), nullptr);
  EXPECT_EQ(t.FindValue("K", "H")->Data.size(), 500001u);
  ASSERT_NE(t.FindValue("K", "S"), nullptr);
  EXPECT_EQ(t.FindValue("K", "S")->Data.size(), 1u << 20);
  // Many values in one key and many keys stay quick to read.
  std::string many = "[HKEY_CURRENT_USER\\K]\n";
  for (int i = 0; i < 100000; ++i) many += "\"V" + std::to_string(i) + "\"=dword:00000001\n";
  for (int i = 0; i < 20000; ++i) many += "[HKEY_CURRENT_USER\\K\\" + std::to_string(i) + "]\n";
  TRegTree m = ParseRegText(many);
  EXPECT_EQ(m.Keys().size(), 20001u);
  EXPECT_EQ(m.Keys()[0].Values.size(), 100000u);
}

TEST(RegText, KeyPathsAndMerging) {
  EXPECT_EQ(NormalizeKeyPath("\\Software\\DURIM PROJECT\\ZEPHOR6\\"), "Software\\DURIM PROJECT\\ZEPHOR6");
  EXPECT_EQ(NormalizeKeyPath("A\\\\B"), "A\\B");
  EXPECT_EQ(NormalizeKeyPath("\\"), "");

  TRegTree disk = ParseRegText(kSmallText);
  TRegTree changes;
  changes.SetValue("Software\\DURIM PROJECT\\ZEPHOR6\\SETUP", "view level", TRegValue::FromInteger(2));
  changes.SetValue("New", "N", TRegValue::FromString("n"));
  disk.Merge(changes);
  // The changed value keeps its place and stored name; the new key comes last.
  const auto& setup = disk.Keys()[0];
  EXPECT_EQ(setup.Values[0].Name, "View Level");
  EXPECT_EQ(setup.Values[0].Value, TRegValue::FromInteger(2));
  EXPECT_EQ(setup.Values.size(), 4u);
  EXPECT_EQ(disk.Keys().back().Path, "New");
  // An empty key is kept too.
  TRegTree empty;
  empty.CreateKey("\\Only\\Key");
  EXPECT_EQ(FormatRegText(empty), "REGEDIT4\n\n[HKEY_CURRENT_USER\\Only\\Key]\n\n");
  EXPECT_NE(ParseRegText(FormatRegText(empty)).FindKey("Only\\Key"), nullptr);
}
