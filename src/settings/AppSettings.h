#pragma once
// The program's options: plain program-wide values with built-in defaults, read once from the
// settings store when the main window is created and written back when it is destroyed.
#include <string>

namespace settings {

struct TAppSettings {
  // "Setup"
  int ViewLevel = 1;
  int ZoomBitmap = 2;
  int PointerSize = 3;
  int Grid = 0;
  double RotateDegreeF = 30.0;
  double TwistDegreeF = 60.0;
  bool MaximizedWindow = false;
  bool FileOverWrite = true;
  bool FixedToAxis = true;
  double PreViewZoom = 1.02;
  int TgaSize = 128;
  bool OutlineAdjustment = false;
  double GaussRadius = 1.5;
  int DodudaMode = 0;
  bool SculptTransparent = false;
  int RearrangeType = 1;
  int GridRad = 36;
  bool DodudaSurface = true;
  bool DodudaLine = false;
  bool DividedHorizontal = true;
  bool ThreePanesDisplay = false;
  bool CubeOfPreview = true;
  bool DodudaBackground = false;
  bool AutoSplitBkImage = true;
  int EditLevel = 1;
  bool AutoMaximize = true;
  bool OutputTextForKelpo = true;
  bool SimplifiedDisplay = false;
  bool UseDirect2D = true;
  bool MaximizeWithSymmetry = true;
  bool Crystallized = false;
  int MeshSizeType = 0;
  bool SmartScrollBar = true;
  // "TxDraw" (colours are 24-bit values, red in the low byte)
  int PenWidth = 3;
  int EraseWidth = 10;
  int PenColor = 0;
  int PenColors[4] = {0x000000, 0x0000FF, 0xFF0000, 0xFFFFFF};
  // "Sp3D": indices of 3D-mouse axes, 0..5
  int FocalLength = 1;
  int AroundTargetX = 3;
  int AroundTargetY = 4;
  // "OldFile"
  std::string SclpFile;
  std::string TxtrFile;
  std::string BkgdFile;
  int FilterIndex = 3;
  // "Collada"
  double ColladaHardAngle = 75.0;
  double ColladaScale = 1.0;
  int ColladaOptimizeMesh = 0;
  bool ColladaSaveObj2 = false;
  bool ColladaSaveLod = true;
  bool ColladaSaveCubePhysics = true;

  bool operator==(const TAppSettings&) const = default;
};

// The one instance the program reads and changes.
extern TAppSettings AppSettings;

// Values derived from the settings and the object size; not stored.
extern double ObjectSize[3];  // 1.0 .. 5.0 each
extern double AxisScales[3];  // each ObjectSize / the largest
extern double AxisRatios[3];  // each ObjectSize / the smallest, capped at 3
extern double MaxAxisRatio;   // the largest of AxisRatios
extern double GridAngleStep;  // 2 pi / GridRad

// The registry key of the program's settings (under the current user); each section is a
// subkey, and each plug-in keeps its own values under a subkey of it.
inline constexpr char AppSettingsKey[] = "\\Software\\DURIM PROJECT\\ZEPHOR6";

// Reads every entry from the settings store, applies the clamps, then UpdateGridAngleStep.
void LoadAppSettings();
// Writes every entry back, "Maximized Window" taking `maximized`, merging them into the
// settings file (values others wrote there stay). Throws ERegistryException (settings/RegStore.h)
// when the file cannot be written; the old file is then left as it was.
void SaveAppSettings(bool maximized);
// The same over another settings file (tests and tools).
void LoadAppSettings(const std::string& fileName);
void SaveAppSettings(bool maximized, const std::string& fileName);
void UpdateGridAngleStep();
void NormalizeAxisScales();
void ClampSp3DValue(int& value);

}  // namespace settings
