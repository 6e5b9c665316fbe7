#pragma once
// The OpenGL entry points and extension flags of one rendering context.
//
// Every GL call of the 3D library goes through the record of the calling thread's current
// context (CurrentGLEntryPoints). Entries are bound only when the context's version or one of
// its extensions provides the name (eglGetProcAddress answers even for names the driver lacks,
// so a resolved address alone proves nothing); every other entry points at a typed stub that
// logs and raises EAbort. The fields are generated from the Khronos registry.
#include <string>
#include <string_view>

#include "scene3d/gl/GLEntryPointsGen.h"

namespace gl3d {

class TGLExtensionsAndEntryPoints : public TGLEntryPoints, public TGLExtensionFlags {
 public:
  // Looks a name up in the driver (eglGetProcAddress unless set otherwise).
  using TProcResolver = void* (*)(const char* name);

  TGLExtensionsAndEntryPoints();

  void SetProcResolver(TProcResolver resolver) { resolver_ = resolver; }

  // Reads the current context's version, extensions and entry points; the context must be current
  // on the calling thread. A temporary initialisation reads only the version and the four basic
  // entries GetString, GetStringi, GetIntegerv and GetError.
  void Initialize(bool temporary);
  // Back to the uninitialised state: every flag off, every entry at its stub.
  void Close();
  bool Initialized() const { return initialized_; }

  // Reads and reports pending OpenGL errors (never raises); ClearError discards them.
  void CheckError();
  void ClearError();

  // Points every entry at its recording function (see GLRecordingFunctions.h), sets the version
  // flags for major.minor and switches every extension flag on; tests switch flags off.
  void InitializeRecording(int major, int minor);

  // A debug context was asked for: Initialize installs the driver's message callback.
  bool DebugMode = false;

  bool VERSION_1_0 = false, VERSION_1_1 = false, VERSION_1_2 = false, VERSION_1_3 = false,
       VERSION_1_4 = false, VERSION_1_5 = false, VERSION_2_0 = false, VERSION_2_1 = false,
       VERSION_3_0 = false, VERSION_3_1 = false, VERSION_3_2 = false, VERSION_3_3 = false,
       VERSION_4_0 = false, VERSION_4_1 = false, VERSION_4_2 = false;
  // The version the driver reported (0.0 when unreadable).
  int MajorVersion = 0;
  int MinorVersion = 0;

  // Whether `name` is a whole blank-separated token of `list`; a name without the "GL_" prefix
  // also matches the token with it.
  static bool ListHasExtension(std::string_view list, std::string_view name);

 private:
  void SetVersionFlags(int major, int minor);
  void BindEntries(bool recording);

  std::string extensions_;
  bool initialized_ = false;
  unsigned id_slot_ = 0;  // its address is the (empty) id list of the debug-output controls
  TProcResolver resolver_;
};

bool IsGLVersionMet(int neededMajor, int neededMinor, int actualMajor, int actualMinor);
// "4.2.0 vendor words" gives 4 and 2; "OpenGL ES 2.0" gives 2 and 0; anything unreadable 0 and 0.
void SplitGLVersionString(std::string_view text, int& major, int& minor);

}  // namespace gl3d
