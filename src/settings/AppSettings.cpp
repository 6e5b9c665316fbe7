#include "settings/AppSettings.h"

#include <sys/stat.h>

#include <cmath>
#include <numbers>
#include <string>

#include "settings/RegistryIniFile.h"

namespace settings {

TAppSettings AppSettings;

double ObjectSize[3] = {1.0, 1.0, 1.0};
double AxisScales[3] = {1.0, 1.0, 1.0};
double AxisRatios[3] = {1.0, 1.0, 1.0};
double MaxAxisRatio = 1.0;
double GridAngleStep = static_cast<double>(2 * std::numbers::pi_v<long double> / 36);

namespace {

// Every stored entry in the order it is read and written: section, name as stored, variable.
// The kind of each entry follows from the type of its variable.
template <class F>
void ForEachEntry(TAppSettings& s, F&& f) {
  f("Setup", "View Level", s.ViewLevel);
  f("Setup", "ZoomBitmap", s.ZoomBitmap);
  f("Setup", "Pointer Size", s.PointerSize);
  f("Setup", "Grid", s.Grid);
  f("Setup", "RotateDegreeF", s.RotateDegreeF);
  f("Setup", "TwistDegreeF", s.TwistDegreeF);
  f("Setup", "Maximized Window", s.MaximizedWindow);
  f("Setup", "File OverWrite", s.FileOverWrite);
  f("Setup", "Fixed To axis", s.FixedToAxis);
  f("Setup", "PreViewZoom", s.PreViewZoom);
  f("Setup", "TgaSize", s.TgaSize);
  f("Setup", "Outline Adjustment", s.OutlineAdjustment);
  f("Setup", "GaussRadius", s.GaussRadius);
  f("Setup", "DodudaMode", s.DodudaMode);
  f("Setup", "SculptTransparent", s.SculptTransparent);
  f("Setup", "RearrangeType", s.RearrangeType);
  f("Setup", "GridRad", s.GridRad);
  f("Setup", "DODUDA Surface", s.DodudaSurface);
  f("Setup", "DODUDA Line", s.DodudaLine);
  f("Setup", "Divided Horizontal", s.DividedHorizontal);
  f("Setup", "3 Panes Display", s.ThreePanesDisplay);
  f("Setup", "Cube of preview", s.CubeOfPreview);
  f("Setup", "DODUDA Background", s.DodudaBackground);
  f("Setup", "Auto Split BkImage", s.AutoSplitBkImage);
  f("Setup", "Edit Level", s.EditLevel);
  f("Setup", "Auto Maximize", s.AutoMaximize);
  f("Setup", "Output text for KELPO", s.OutputTextForKelpo);
  f("Setup", "Simplified display", s.SimplifiedDisplay);
  f("Setup", "useDirect2D", s.UseDirect2D);
  f("Setup", "MaximizeWithSymmetry", s.MaximizeWithSymmetry);
  f("Setup", "Crystallized", s.Crystallized);
  f("Setup", "Mesh Size Type", s.MeshSizeType);
  f("TxDraw", "PenWdith", s.PenWidth);
  f("TxDraw", "EraseWidth", s.EraseWidth);
  f("TxDraw", "PenColor", s.PenColor);
  for (int i = 0; i < 4; ++i) f("TxDraw", "PenColors" + std::to_string(i), s.PenColors[i]);
  f("Sp3D", "FocalLength", s.FocalLength);
  f("Sp3D", "AroundTargetX", s.AroundTargetX);
  f("Sp3D", "AroundTargetY", s.AroundTargetY);
  f("OldFile", "SclpFile", s.SclpFile);
  f("OldFile", "TxtrFile", s.TxtrFile);
  f("OldFile", "BkgdFile", s.BkgdFile);
  f("OldFile", "FilterIndex", s.FilterIndex);
  f("Collada", "Hard Angle", s.ColladaHardAngle);
  f("Collada", "Scale", s.ColladaScale);
  f("Collada", "Optimize Mesh", s.ColladaOptimizeMesh);
  f("Collada", "Save OBJ2", s.ColladaSaveObj2);
  f("Collada", "Save LOD", s.ColladaSaveLod);
  f("Collada", "Save Cube Phisics", s.ColladaSaveCubePhysics);
  f("Setup", "Smart ScrollBar", s.SmartScrollBar);
}

struct TReader {
  TRegistryIniFile& ini;
  void operator()(const char* section, const std::string& name, int& v) const {
    v = ini.ReadInteger(section, name, v);
  }
  void operator()(const char* section, const std::string& name, bool& v) const {
    v = ini.ReadBool(section, name, v);
  }
  void operator()(const char* section, const std::string& name, double& v) const {
    v = ini.ReadFloat(section, name, v);
  }
  void operator()(const char* section, const std::string& name, std::string& v) const {
    v = ini.ReadString(section, name, v);
  }
};

struct TWriter {
  TRegistryIniFile& ini;
  void operator()(const char* section, const std::string& name, const int& v) const {
    ini.WriteInteger(section, name, v);
  }
  void operator()(const char* section, const std::string& name, const bool& v) const {
    ini.WriteBool(section, name, v);
  }
  void operator()(const char* section, const std::string& name, const double& v) const {
    ini.WriteFloat(section, name, v);
  }
  void operator()(const char* section, const std::string& name, const std::string& v) const {
    ini.WriteString(section, name, v);
  }
};

// A colour: negative -> 0, otherwise its low 24 bits.
int MaskColor(int c) { return c < 0 ? 0 : (c & 0xFFFFFF); }

bool FileExists(const std::string& name) {
  struct stat st;
  return !name.empty() && ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void Load(TRegistryIniFile& ini) {
  TAppSettings& s = AppSettings;
  ForEachEntry(s, TReader{ini});
  s.PenColor = MaskColor(s.PenColor);
  for (int& c : s.PenColors) c = MaskColor(c);

  if (s.ViewLevel <= 0) s.ViewLevel = 1;
  if (s.ViewLevel == 3) s.ViewLevel = 2;
  if (s.ViewLevel > 4) s.ViewLevel = 4;
  if (s.ZoomBitmap < 2) s.ZoomBitmap = 2;
  if (s.ZoomBitmap > 8) s.ZoomBitmap = 8;
  if (s.PointerSize <= 0) s.PointerSize = 1;
  if (s.PointerSize > 20) s.PointerSize = 20;
  if (s.Grid < 0) s.Grid = 0;
  if (s.Grid > 8) s.Grid = 8;
  // Lower bounds as negated comparisons: a stored NaN becomes the bound.
  if (!(s.RotateDegreeF > 0.125)) s.RotateDegreeF = 0.125;
  if (s.RotateDegreeF > 180) s.RotateDegreeF = 180;
  if (!(s.TwistDegreeF > 0.125)) s.TwistDegreeF = 0.125;
  if (s.TwistDegreeF > 180) s.TwistDegreeF = 180;
  if (s.TgaSize != 128) s.TgaSize = 64;
  if (!(s.GaussRadius >= 0)) s.GaussRadius = 0;
  if (s.GaussRadius > 2.5) s.GaussRadius = 2.5;
  if (s.DodudaMode < 0) s.DodudaMode = 0;
  if (s.DodudaMode > 5) s.DodudaMode = 5;
  if (s.RearrangeType < 0 || s.RearrangeType > 3) s.RearrangeType = 0;
  if (s.PenWidth <= 0) s.PenWidth = 1;
  if (s.PenWidth > 100) s.PenWidth = 100;
  if (s.EraseWidth <= 0) s.EraseWidth = 1;
  if (s.EraseWidth > 100) s.EraseWidth = 100;
  if (s.EditLevel != 1 && s.EditLevel != 2 && s.EditLevel != 4) s.EditLevel = 1;
  if (s.MeshSizeType < 0) s.MeshSizeType = 0;
  if (s.MeshSizeType > 2) s.MeshSizeType = 2;
  s.PenColor = s.PenColors[0];
  s.OutlineAdjustment = false;
  if (!FileExists(s.TxtrFile)) s.TxtrFile.clear();
  ClampSp3DValue(s.FocalLength);
  ClampSp3DValue(s.AroundTargetX);
  ClampSp3DValue(s.AroundTargetY);
  if (!(s.ColladaHardAngle >= 0)) s.ColladaHardAngle = 0;
  if (s.ColladaHardAngle > 180) s.ColladaHardAngle = 180;
  if (!(s.ColladaScale >= 1)) s.ColladaScale = 1;
  if (s.ColladaScale > 64) s.ColladaScale = 64;
  if (s.ColladaOptimizeMesh < 0) s.ColladaOptimizeMesh = 0;
  if (s.ColladaOptimizeMesh > 2) s.ColladaOptimizeMesh = 2;
  // Fewer than one grid division would make the angle step infinite.
  if (s.GridRad < 1) s.GridRad = 1;
  // The wheel zoom multiplies and divides by this factor: it must be a finite number above 1.
  if (!(std::isfinite(s.PreViewZoom) && s.PreViewZoom > 1)) s.PreViewZoom = TAppSettings{}.PreViewZoom;

  UpdateGridAngleStep();
}

void Save(TRegistryIniFile& ini, bool maximized) {
  TAppSettings s = AppSettings;
  s.MaximizedWindow = maximized;
  ForEachEntry(s, TWriter{ini});
  ini.UpdateFile();
}

}  // namespace

void LoadAppSettings() { LoadAppSettings(SettingsFileName()); }

void LoadAppSettings(const std::string& fileName) {
  TRegistryIniFile ini(AppSettingsKey, fileName);
  Load(ini);
}

void SaveAppSettings(bool maximized) { SaveAppSettings(maximized, SettingsFileName()); }

void SaveAppSettings(bool maximized, const std::string& fileName) {
  TRegistryIniFile ini(AppSettingsKey, fileName);
  Save(ini, maximized);
}

void UpdateGridAngleStep() {
  int rad = AppSettings.GridRad < 1 ? 1 : AppSettings.GridRad;
  GridAngleStep = static_cast<double>(2 * std::numbers::pi_v<long double> / rad);
}

void NormalizeAxisScales() {
  for (double& v : ObjectSize) {
    if (!(v >= 1)) v = 1;
    if (v > 5) v = 5;
  }
  double m = ObjectSize[0], n = ObjectSize[0];
  for (double v : ObjectSize) {
    if (v > m) m = v;
    if (v < n) n = v;
  }
  for (int i = 0; i < 3; ++i) AxisScales[i] = m > 0 ? ObjectSize[i] / m : 1.0;
  MaxAxisRatio = 0;
  for (int i = 0; i < 3; ++i) {
    AxisRatios[i] = n > 0 ? ObjectSize[i] / n : 1.0;
    if (AxisRatios[i] > 3) AxisRatios[i] = 3;
    if (AxisRatios[i] > MaxAxisRatio) MaxAxisRatio = AxisRatios[i];
  }
}

void ClampSp3DValue(int& value) {
  if (value < 0) value = 0;
  if (value > 5) value = 5;
}

}  // namespace settings
