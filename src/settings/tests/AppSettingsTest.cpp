#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "settings/AppSettings.h"
#include "settings/RegStore.h"
#include "settings/RegistryIniFile.h"

using namespace settings;
using namespace settings_test;

namespace {

const std::string kKey = "\\Software\\DURIM PROJECT\\ZEPHOR6";

std::string DoubleBytes(double d) {
  uint64_t bits = std::bit_cast<uint64_t>(d);
  std::string out(8, '\0');
  for (int i = 0; i < 8; ++i) out[i] = static_cast<char>(bits >> (8 * i));
  return out;
}

TRegValue Int(uint32_t v) { return TRegValue::FromInteger(v); }
TRegValue Bool(bool v) { return TRegValue::FromString(v ? "1" : "0"); }
TRegValue Dbl(double v) { return TRegValue::FromBinary(DoubleBytes(v)); }
TRegValue Str(const char* v) { return TRegValue::FromString(v); }

struct TEntry {
  const char* section;
  const char* name;
  TRegValue value;
};

// Every stored entry with its built-in default, in the order the settings are written.
const std::vector<TEntry>& DefaultEntries() {
  static const std::vector<TEntry> entries = {
      {"Setup", "View Level", Int(1)},
      {"Setup", "ZoomBitmap", Int(2)},
      {"Setup", "Pointer Size", Int(3)},
      {"Setup", "Grid", Int(0)},
      {"Setup", "RotateDegreeF", Dbl(30.0)},
      {"Setup", "TwistDegreeF", Dbl(60.0)},
      {"Setup", "Maximized Window", Bool(false)},
      {"Setup", "File OverWrite", Bool(true)},
      {"Setup", "Fixed To axis", Bool(true)},
      {"Setup", "PreViewZoom", Dbl(1.02)},
      {"Setup", "TgaSize", Int(128)},
      {"Setup", "Outline Adjustment", Bool(false)},
      {"Setup", "GaussRadius", Dbl(1.5)},
      {"Setup", "DodudaMode", Int(0)},
      {"Setup", "SculptTransparent", Bool(false)},
      {"Setup", "RearrangeType", Int(1)},
      {"Setup", "GridRad", Int(36)},
      {"Setup", "DODUDA Surface", Bool(true)},
      {"Setup", "DODUDA Line", Bool(false)},
      {"Setup", "Divided Horizontal", Bool(true)},
      {"Setup", "3 Panes Display", Bool(false)},
      {"Setup", "Cube of preview", Bool(true)},
      {"Setup", "DODUDA Background", Bool(false)},
      {"Setup", "Auto Split BkImage", Bool(true)},
      {"Setup", "Edit Level", Int(1)},
      {"Setup", "Auto Maximize", Bool(true)},
      {"Setup", "Output text for KELPO", Bool(true)},
      {"Setup", "Simplified display", Bool(false)},
      {"Setup", "useDirect2D", Bool(true)},
      {"Setup", "MaximizeWithSymmetry", Bool(true)},
      {"Setup", "Crystallized", Bool(false)},
      {"Setup", "Mesh Size Type", Int(0)},
      {"TxDraw", "PenWdith", Int(3)},
      {"TxDraw", "EraseWidth", Int(10)},
      {"TxDraw", "PenColor", Int(0)},
      {"TxDraw", "PenColors0", Int(0x000000)},
      {"TxDraw", "PenColors1", Int(0x0000FF)},
      {"TxDraw", "PenColors2", Int(0xFF0000)},
      {"TxDraw", "PenColors3", Int(0xFFFFFF)},
      {"Sp3D", "FocalLength", Int(1)},
      {"Sp3D", "AroundTargetX", Int(3)},
      {"Sp3D", "AroundTargetY", Int(4)},
      {"OldFile", "SclpFile", Str("")},
      {"OldFile", "TxtrFile", Str("")},
      {"OldFile", "BkgdFile", Str("")},
      {"OldFile", "FilterIndex", Int(3)},
      {"Collada", "Hard Angle", Dbl(75.0)},
      {"Collada", "Scale", Dbl(1.0)},
      {"Collada", "Optimize Mesh", Int(0)},
      {"Collada", "Save OBJ2", Bool(false)},
      {"Collada", "Save LOD", Bool(true)},
      {"Collada", "Save Cube Phisics", Bool(true)},
      {"Setup", "Smart ScrollBar", Bool(true)},
  };
  return entries;
}

class Settings : public TSettingsFolder {
 protected:
  void SetUp() override {
    TSettingsFolder::SetUp();
    AppSettings = TAppSettings{};
    for (int i = 0; i < 3; ++i) ObjectSize[i] = AxisScales[i] = AxisRatios[i] = 1.0;
    MaxAxisRatio = 1.0;
    UpdateGridAngleStep();
  }
  // Replaces the settings file with one holding only `entries`.
  void StoreOnly(const std::vector<TEntry>& entries) {
    std::filesystem::remove(SettingsPath());
    TRegStore store;
    for (const TEntry& e : entries) store.WriteValue(kKey + "\\" + e.section, e.name, e.value);
    store.Flush();
  }
};

}  // namespace

TEST_F(Settings, FirstStartUsesTheDefaultsAndSaveWritesEveryEntry) {
  LoadAppSettings();
  EXPECT_EQ(AppSettings, TAppSettings{});
  EXPECT_FALSE(std::filesystem::exists(SettingsPath()));  // loading writes nothing
  EXPECT_DOUBLE_EQ(GridAngleStep, 2 * std::numbers::pi / 36);

  SaveAppSettings(false);
  TRegTree file = ParseRegText(ReadWholeFile(SettingsPath()));
  std::vector<std::string> keys;
  for (const auto& k : file.Keys()) keys.push_back(k.Path);
  EXPECT_EQ(keys, (std::vector<std::string>{
                      "Software\\DURIM PROJECT\\ZEPHOR6\\Setup", "Software\\DURIM PROJECT\\ZEPHOR6\\TxDraw",
                      "Software\\DURIM PROJECT\\ZEPHOR6\\Sp3D", "Software\\DURIM PROJECT\\ZEPHOR6\\OldFile",
                      "Software\\DURIM PROJECT\\ZEPHOR6\\Collada"}));
  // Each section holds exactly its entries, in the table's order, with the right kinds.
  for (const auto& k : file.Keys()) {
    std::vector<const TEntry*> expected;
    for (const TEntry& e : DefaultEntries())
      if (k.Path == "Software\\DURIM PROJECT\\ZEPHOR6\\" + std::string(e.section)) expected.push_back(&e);
    ASSERT_EQ(k.Values.size(), expected.size()) << k.Path;
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(k.Values[i].Name, expected[i]->name) << k.Path;
      EXPECT_EQ(k.Values[i].Value, expected[i]->value) << expected[i]->name;
    }
  }
  // The file a person reads.
  std::string text = ReadWholeFile(SettingsPath());
  EXPECT_TRUE(
      text.starts_with("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\DURIM PROJECT\\ZEPHOR6\\Setup]\n\"View "
                       "Level\"=dword:00000001\n"))
      << text;
  EXPECT_NE(text.find("\n\"RotateDegreeF\"=hex:00,00,00,00,00,00,3e,40\n"), std::string::npos);
  EXPECT_NE(text.find("\n\"Maximized Window\"=\"0\"\n"), std::string::npos);
  EXPECT_NE(text.find("\n\"PenColors3\"=dword:00ffffff\n"), std::string::npos);
}

#define FIELD(f) [] { return static_cast<double>(AppSettings.f); }

// Each case stores one value, loads, and checks the variable it lands in.
TEST_F(Settings, LoadsAndClampsEachEntry) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct TCase {
    const char* section;
    const char* name;
    TRegValue stored;
    std::function<double()> get;
    double expected;
  };
  const TCase cases[] = {
      {"Setup", "View Level", Int(3), FIELD(ViewLevel), 2},
      {"Setup", "View Level", Int(0), FIELD(ViewLevel), 1},
      {"Setup", "View Level", Int(0xFFFFFFFB), FIELD(ViewLevel), 1},
      {"Setup", "View Level", Int(7), FIELD(ViewLevel), 4},
      {"Setup", "View Level", Int(4), FIELD(ViewLevel), 4},
      {"Setup", "View Level", Int(2), FIELD(ViewLevel), 2},
      {"Setup", "ZoomBitmap", Int(1), FIELD(ZoomBitmap), 2},
      {"Setup", "ZoomBitmap", Int(8), FIELD(ZoomBitmap), 8},
      {"Setup", "ZoomBitmap", Int(9), FIELD(ZoomBitmap), 8},
      {"Setup", "Pointer Size", Int(0), FIELD(PointerSize), 1},
      {"Setup", "Pointer Size", Int(20), FIELD(PointerSize), 20},
      {"Setup", "Pointer Size", Int(21), FIELD(PointerSize), 20},
      {"Setup", "Grid", Int(0xFFFFFFFF), FIELD(Grid), 0},
      {"Setup", "Grid", Int(8), FIELD(Grid), 8},
      {"Setup", "Grid", Int(9), FIELD(Grid), 8},
      {"Setup", "RotateDegreeF", Dbl(0.125), FIELD(RotateDegreeF), 0.125},
      {"Setup", "RotateDegreeF", Dbl(0.126), FIELD(RotateDegreeF), 0.126},
      {"Setup", "RotateDegreeF", Dbl(-5), FIELD(RotateDegreeF), 0.125},
      {"Setup", "RotateDegreeF", Dbl(180), FIELD(RotateDegreeF), 180},
      {"Setup", "RotateDegreeF", Dbl(180.5), FIELD(RotateDegreeF), 180},
      {"Setup", "RotateDegreeF", Dbl(nan), FIELD(RotateDegreeF), 0.125},
      {"Setup", "RotateDegreeF", Dbl(inf), FIELD(RotateDegreeF), 180},
      {"Setup", "RotateDegreeF", Dbl(-inf), FIELD(RotateDegreeF), 0.125},
      {"Setup", "TwistDegreeF", Dbl(nan), FIELD(TwistDegreeF), 0.125},
      {"Setup", "TwistDegreeF", Dbl(200), FIELD(TwistDegreeF), 180},
      {"Setup", "TwistDegreeF", Dbl(45), FIELD(TwistDegreeF), 45},
      {"Setup", "PreViewZoom", Dbl(1.5), FIELD(PreViewZoom), 1.5},
      {"Setup", "PreViewZoom", Dbl(1.0), FIELD(PreViewZoom), 1.02},
      {"Setup", "PreViewZoom", Dbl(0.5), FIELD(PreViewZoom), 1.02},
      {"Setup", "PreViewZoom", Dbl(-2), FIELD(PreViewZoom), 1.02},
      {"Setup", "PreViewZoom", Dbl(nan), FIELD(PreViewZoom), 1.02},
      {"Setup", "PreViewZoom", Dbl(inf), FIELD(PreViewZoom), 1.02},
      {"Setup", "TgaSize", Int(256), FIELD(TgaSize), 64},
      {"Setup", "TgaSize", Int(32), FIELD(TgaSize), 64},
      {"Setup", "TgaSize", Int(128), FIELD(TgaSize), 128},
      {"Setup", "Outline Adjustment", Bool(true), FIELD(OutlineAdjustment), 0},
      {"Setup", "GaussRadius", Dbl(-1), FIELD(GaussRadius), 0},
      {"Setup", "GaussRadius", Dbl(0), FIELD(GaussRadius), 0},
      {"Setup", "GaussRadius", Dbl(nan), FIELD(GaussRadius), 0},
      {"Setup", "GaussRadius", Dbl(2.5), FIELD(GaussRadius), 2.5},
      {"Setup", "GaussRadius", Dbl(2.6), FIELD(GaussRadius), 2.5},
      {"Setup", "DodudaMode", Int(0xFFFFFFFF), FIELD(DodudaMode), 0},
      {"Setup", "DodudaMode", Int(6), FIELD(DodudaMode), 5},
      {"Setup", "RearrangeType", Int(5), FIELD(RearrangeType), 0},
      {"Setup", "RearrangeType", Int(0xFFFFFFFF), FIELD(RearrangeType), 0},
      {"Setup", "RearrangeType", Int(3), FIELD(RearrangeType), 3},
      {"Setup", "GridRad", Int(0), FIELD(GridRad), 1},
      {"Setup", "GridRad", Int(0xFFFFFFF9), FIELD(GridRad), 1},
      {"Setup", "GridRad", Int(72), FIELD(GridRad), 72},
      {"Setup", "Edit Level", Int(3), FIELD(EditLevel), 1},
      {"Setup", "Edit Level", Int(2), FIELD(EditLevel), 2},
      {"Setup", "Edit Level", Int(4), FIELD(EditLevel), 4},
      {"Setup", "Edit Level", Int(0), FIELD(EditLevel), 1},
      {"Setup", "Mesh Size Type", Int(3), FIELD(MeshSizeType), 2},
      {"Setup", "Mesh Size Type", Int(0xFFFFFFFF), FIELD(MeshSizeType), 0},
      {"TxDraw", "PenWdith", Int(0), FIELD(PenWidth), 1},
      {"TxDraw", "PenWdith", Int(101), FIELD(PenWidth), 100},
      {"TxDraw", "PenWdith", Int(100), FIELD(PenWidth), 100},
      {"TxDraw", "PenWidth", Int(50), FIELD(PenWidth), 3},  // the stored name is "PenWdith"
      {"TxDraw", "EraseWidth", Int(0), FIELD(EraseWidth), 1},
      {"TxDraw", "EraseWidth", Int(101), FIELD(EraseWidth), 100},
      {"TxDraw", "PenColor", Int(0x12345678), FIELD(PenColor), 0},  // replaced by the first pen colour
      {"TxDraw", "PenColors0", Int(0x12345678), FIELD(PenColors[0]), 0x345678},
      {"TxDraw", "PenColors0", Int(0x12345678), FIELD(PenColor), 0x345678},
      {"TxDraw", "PenColors2", Int(0x80000001), FIELD(PenColors[2]), 0},
      {"TxDraw", "PenColors3", Int(0x01ABCDEF), FIELD(PenColors[3]), 0xABCDEF},
      {"Sp3D", "FocalLength", Int(0xFFFFFFFF), FIELD(FocalLength), 0},
      {"Sp3D", "AroundTargetX", Int(6), FIELD(AroundTargetX), 5},
      {"Sp3D", "AroundTargetY", Int(5), FIELD(AroundTargetY), 5},
      {"OldFile", "FilterIndex", Int(0xFFFFFFFF), FIELD(FilterIndex), -1},
      {"Collada", "Hard Angle", Dbl(-3), FIELD(ColladaHardAngle), 0},
      {"Collada", "Hard Angle", Dbl(nan), FIELD(ColladaHardAngle), 0},
      {"Collada", "Hard Angle", Dbl(181), FIELD(ColladaHardAngle), 180},
      {"Collada", "Scale", Dbl(0.5), FIELD(ColladaScale), 1},
      {"Collada", "Scale", Dbl(nan), FIELD(ColladaScale), 1},
      {"Collada", "Scale", Dbl(65), FIELD(ColladaScale), 64},
      {"Collada", "Scale", Dbl(64), FIELD(ColladaScale), 64},
      {"Collada", "Optimize Mesh", Int(3), FIELD(ColladaOptimizeMesh), 2},
      {"Collada", "Optimize Mesh", Int(0xFFFFFFFF), FIELD(ColladaOptimizeMesh), 0},
      // Booleans stored as DWORDs, and strings that are not numbers.
      {"Setup", "File OverWrite", Int(0), FIELD(FileOverWrite), 0},
      {"Setup", "Cube of preview", Int(0), FIELD(CubeOfPreview), 0},
      {"Setup", "Crystallized", Int(2), FIELD(Crystallized), 1},
      {"Setup", "Crystallized", Str("1"), FIELD(Crystallized), 1},
      {"Setup", "Crystallized", Str("yes"), FIELD(Crystallized), 0},
      {"Collada", "Save LOD", Str("0"), FIELD(ColladaSaveLod), 0},
      {"Collada", "Save Cube Phisics", Str("0"), FIELD(ColladaSaveCubePhysics), 0},
      {"Collada", "Save Cube Physics", Str("0"), FIELD(ColladaSaveCubePhysics), 1},
      // Values of the wrong kind: converted where the text is a number, else the default.
      {"Setup", "View Level", Str("2"), FIELD(ViewLevel), 2},
      {"Setup", "View Level", Str("two"), FIELD(ViewLevel), 1},
      {"Setup", "View Level", Dbl(2), FIELD(ViewLevel), 1},
      {"Setup", "RotateDegreeF", Str("45.5"), FIELD(RotateDegreeF), 45.5},
      {"Setup", "RotateDegreeF", Str("45,5"), FIELD(RotateDegreeF), 30},
      {"Setup", "RotateDegreeF", Int(90), FIELD(RotateDegreeF), 90},
      {"Setup", "RotateDegreeF", TRegValue::FromBinary("\x01\x02\x03\x04"), FIELD(RotateDegreeF), 30},
      {"Setup", "RotateDegreeF", TRegValue::FromBinary(DoubleBytes(45) + "x"), FIELD(RotateDegreeF), 30},
      {"Setup", "Maximized Window", Dbl(1), FIELD(MaximizedWindow), 0},
      // Names compare without regard to case, as in the registry.
      {"SETUP", "view level", Int(2), FIELD(ViewLevel), 2},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.section) + " / " + c.name);
    AppSettings = TAppSettings{};
    StoreOnly({{c.section, c.name, c.stored}});
    LoadAppSettings();
    EXPECT_EQ(c.get(), c.expected);
  }
}

TEST_F(Settings, GridAngleStepFollowsGridRad) {
  StoreOnly({{"Setup", "GridRad", Int(0)}});
  LoadAppSettings();
  EXPECT_EQ(GridAngleStep, static_cast<double>(2 * std::numbers::pi_v<long double>));
  StoreOnly({{"Setup", "GridRad", Int(72)}});
  LoadAppSettings();
  EXPECT_EQ(GridAngleStep, static_cast<double>(2 * std::numbers::pi_v<long double> / 72));
  // The setup dialog changes the variable and asks again; the step never becomes infinite.
  AppSettings.GridRad = 0;
  UpdateGridAngleStep();
  EXPECT_TRUE(std::isfinite(GridAngleStep));
}

TEST_F(Settings, FileNamesLoadAsStoredExceptAMissingTexture) {
  std::string texture = Dir() + "/texture.png";
  WriteWholeFile(texture, "png");
  StoreOnly({{"OldFile", "SclpFile", Str("/gone/shape.tga")},
             {"OldFile", "TxtrFile", TRegValue::FromString(texture)},
             {"OldFile", "BkgdFile", Str("/gone/back.png")}});
  LoadAppSettings();
  EXPECT_EQ(AppSettings.SclpFile, "/gone/shape.tga");
  EXPECT_EQ(AppSettings.TxtrFile, texture);
  EXPECT_EQ(AppSettings.BkgdFile, "/gone/back.png");

  std::filesystem::remove(texture);
  AppSettings = TAppSettings{};
  LoadAppSettings();
  EXPECT_EQ(AppSettings.TxtrFile, "");
  EXPECT_EQ(AppSettings.SclpFile, "/gone/shape.tga");
  // A folder is not a texture file.
  std::filesystem::create_directories(texture);
  LoadAppSettings();
  EXPECT_EQ(AppSettings.TxtrFile, "");
  // A missing entry leaves the value as it was.
  StoreOnly({{"OldFile", "SclpFile", Str("s")}});
  AppSettings.BkgdFile = "";
  LoadAppSettings();
  EXPECT_EQ(AppSettings.BkgdFile, "");
}

// Missing entries keep the variable's current value, not the built-in default.
TEST_F(Settings, LoadKeepsCurrentValuesOfMissingEntries) {
  StoreOnly({{"Setup", "Pointer Size", Int(7)}});
  AppSettings.Grid = 5;
  AppSettings.RotateDegreeF = 12.5;
  AppSettings.SclpFile = "current";
  LoadAppSettings();
  EXPECT_EQ(AppSettings.PointerSize, 7);
  EXPECT_EQ(AppSettings.Grid, 5);
  EXPECT_EQ(AppSettings.RotateDegreeF, 12.5);
  EXPECT_EQ(AppSettings.SclpFile, "current");
}

TEST_F(Settings, SaveAndReloadGiveEveryValueBack) {
  std::string texture = Dir() + "/tex ü.png";
  WriteWholeFile(texture, "png");
  TAppSettings& s = AppSettings;
  s.ViewLevel = 4;
  s.ZoomBitmap = 8;
  s.PointerSize = 20;
  s.Grid = 8;
  s.RotateDegreeF = 0.3;
  s.TwistDegreeF = 179.9;
  s.FileOverWrite = false;
  s.FixedToAxis = false;
  s.PreViewZoom = 1.1;
  s.TgaSize = 64;
  s.GaussRadius = 2.5;
  s.DodudaMode = 5;
  s.SculptTransparent = true;
  s.RearrangeType = 3;
  s.GridRad = 72;
  s.DodudaSurface = false;
  s.DodudaLine = true;
  s.DividedHorizontal = false;
  s.ThreePanesDisplay = true;
  s.CubeOfPreview = false;
  s.DodudaBackground = true;
  s.AutoSplitBkImage = false;
  s.EditLevel = 4;
  s.AutoMaximize = false;
  s.OutputTextForKelpo = false;
  s.SimplifiedDisplay = true;
  s.UseDirect2D = false;
  s.MaximizeWithSymmetry = false;
  s.Crystallized = true;
  s.MeshSizeType = 2;
  s.PenWidth = 100;
  s.EraseWidth = 1;
  s.PenColors[0] = 0x123456;
  s.PenColors[1] = 0xABCDEF;
  s.PenColors[2] = 0x000001;
  s.PenColors[3] = 0xFFFFFF;
  s.PenColor = 0x123456;
  s.FocalLength = 5;
  s.AroundTargetX = 0;
  s.AroundTargetY = 2;
  s.SclpFile = "/x/ü \"shape\"\\a.tga";
  s.TxtrFile = texture;
  s.BkgdFile = "C:\\old\\bk.png";
  s.FilterIndex = 7;
  s.ColladaHardAngle = 0;
  s.ColladaScale = 64;
  s.ColladaOptimizeMesh = 2;
  s.ColladaSaveObj2 = true;
  s.ColladaSaveLod = false;
  s.ColladaSaveCubePhysics = false;
  s.SmartScrollBar = false;
  TAppSettings expected = s;
  expected.MaximizedWindow = true;  // from the argument

  SaveAppSettings(true);
  AppSettings = TAppSettings{};
  LoadAppSettings();
  EXPECT_EQ(AppSettings, expected);
  EXPECT_EQ(GridAngleStep, static_cast<double>(2 * std::numbers::pi_v<long double> / 72));

  // Saving again over the file changes nothing in it.
  std::string first = ReadWholeFile(SettingsPath());
  SaveAppSettings(true);
  EXPECT_EQ(ReadWholeFile(SettingsPath()), first);
}

// The plug-in (and anything else) writes to the file between the program's load and save;
// the program's save keeps those values.
TEST_F(Settings, SaveKeepsWhatOthersWroteSinceTheLoad) {
  StoreOnly({{"Setup", "Grid", Int(2)}, {"Setup", "Option Of A Later Version", Str("x")}});
  LoadAppSettings();
  EXPECT_EQ(AppSettings.Grid, 2);
  {
    TRegistryIniFile plugin(kKey + "\\Polyhedron");
    plugin.WriteInteger("Setup", "Type", 3);
    plugin.WriteInteger("Setup", "Size", 25);
    plugin.UpdateFile();
    TRegistryIniFile other(kKey);
    other.WriteString("Setup", "Option Of A Later Version", "y");
    other.UpdateFile();
  }
  AppSettings.Grid = 4;
  SaveAppSettings(false);

  TRegistryIniFile check(kKey);
  EXPECT_EQ(check.ReadInteger("Polyhedron\\Setup", "Type", 0), 3);
  EXPECT_EQ(check.ReadInteger("Polyhedron\\Setup", "Size", 0), 25);
  EXPECT_EQ(check.ReadString("Setup", "Option Of A Later Version", ""), "y");
  EXPECT_EQ(check.ReadInteger("Setup", "Grid", 0), 4);
  EXPECT_EQ(check.ReadSection("Collada").size(), 6u);
}

TEST_F(Settings, DamagedFileLoadsAsDefaultsAndIsRepairedBySave) {
  std::string junk(5000, '\0');
  for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>(i * 37 + 11);
  WriteWholeFile(SettingsPath(), junk);
  LoadAppSettings();
  EXPECT_EQ(AppSettings, TAppSettings{});
  SaveAppSettings(false);
  EXPECT_EQ(ParseRegText(ReadWholeFile(SettingsPath())).Keys().size(), 5u);
}

TEST_F(Settings, FailedSaveThrows) {
  // A file where the settings folder should be: the save cannot happen and says so.
  WriteWholeFile(SettingsFolder(), "in the way");
  EXPECT_THROW(SaveAppSettings(false), ERegistryException);
  EXPECT_EQ(ReadWholeFile(SettingsFolder()), "in the way");
  // And an explicit file name works the same as the default one.
  std::string other = Dir() + "/other/settings.reg";
  AppSettings.Grid = 6;
  SaveAppSettings(false, other);
  AppSettings = TAppSettings{};
  LoadAppSettings(other);
  EXPECT_EQ(AppSettings.Grid, 6);
}

TEST(SettingsDerived, AxisScalesAndRatios) {
  struct TCase {
    double size[3];
    double scales[3];
    double ratios[3];
    double maxRatio;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const TCase cases[] = {
      {{2, 4, 1}, {0.5, 1, 0.25}, {2, 3, 1}, 3},
      {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}, 1},
      {{1.5, 3, 1.5}, {0.5, 1, 0.5}, {1, 2, 1}, 2},
      {{0, nan, 7}, {0.2, 0.2, 1}, {1, 1, 3}, 3},  // clamped into 1..5 first
      {{-1, 5, 2.5}, {0.2, 1, 0.5}, {1, 3, 2.5}, 3},
  };
  for (const TCase& c : cases) {
    for (int i = 0; i < 3; ++i) ObjectSize[i] = c.size[i];
    NormalizeAxisScales();
    for (int i = 0; i < 3; ++i) {
      EXPECT_DOUBLE_EQ(AxisScales[i], c.scales[i]) << i;
      EXPECT_DOUBLE_EQ(AxisRatios[i], c.ratios[i]) << i;
      EXPECT_GE(ObjectSize[i], 1.0);
      EXPECT_LE(ObjectSize[i], 5.0);
    }
    EXPECT_DOUBLE_EQ(MaxAxisRatio, c.maxRatio);
  }
}

TEST(SettingsDerived, ClampSp3DValue) {
  const int in[] = {-100, -1, 0, 3, 5, 6, 1000};
  const int out[] = {0, 0, 0, 3, 5, 5, 5};
  for (size_t i = 0; i < std::size(in); ++i) {
    int v = in[i];
    ClampSp3DValue(v);
    EXPECT_EQ(v, out[i]) << in[i];
  }
}
