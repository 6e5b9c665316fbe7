#pragma once
// The plug-in host: finds the plug-in libraries ("*.wqg") in the program's folder, keeps them
// loaded until exit and runs one of them on the shape record.
//
// The menu commands that show the plug-ins and what the main window does with a new shape
// belong to the main window; this class knows only the libraries.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "shape/model/PluginInterface.h"
#include "shape/model/ShapeRecord.h"

namespace editor {

// One kept plug-in library.
struct TPluginModule {
  void* Handle = nullptr;         // from dlopen
  std::string FileName;           // the file's name within the folder it was found in
  std::u16string Name;            // a copy of the text PluginNameZP6 returned
  TPluginExecZP6 Exec = nullptr;  // null when the library has no PluginExecZP6
};

// The folder of the running program (of /proc/self/exe).
std::filesystem::path ProgramFolder();

// The settings key path handed to a plug-in: "\Software\DURIM PROJECT\ZEPHOR6\" and the
// plug-in's key name, which is its name with backslashes and control characters replaced
// by "_" (the file name without extension when the name is empty).
std::u16string PluginKeyPath(const TPluginModule& plugin);

// True when the record's stitch type is one of the four and its grid size is 2 to 257 each
// way: what a plug-in must leave behind when it reports a new shape.
bool ValidPluginShape(const shape::TCS& cs);

class TPluginHost {
 public:
  TPluginHost() = default;
  ~TPluginHost();
  TPluginHost(const TPluginHost&) = delete;
  TPluginHost& operator=(const TPluginHost&) = delete;

  // Scans `folder` for files named "*.wqg", in sorted name order, and loads each with dlopen.
  // A file that does not load as a library, lacks PluginNameZP6 or returns no name from it is
  // unloaded again and dropped silently. Returns the number of plug-ins kept in all.
  int LoadPlugins(const std::filesystem::path& folder);
  // The same on the program's folder.
  int LoadPlugins();

  // The kept plug-ins in the order found (PluginHandles).
  int Count() const { return static_cast<int>(plugins_.size()); }
  const TPluginModule& Plugin(int index) const { return plugins_.at(static_cast<size_t>(index)); }

  // Runs plug-in `index` on `cs` with `owner` (the main window's QWidget, or null) as the
  // owner of its dialogs. Returns true when the plug-in reported a new shape and left a valid
  // one. When it reports no change, leaves an invalid shape or throws, the record is put back
  // byte for byte as it was and the result is false. A plug-in without PluginExecZP6, or an
  // index out of range, does nothing and returns false.
  bool RunPlugin(int index, void* owner, shape::TCS& cs) const;

  // Unloads every plug-in, in the order found.
  void UnloadPlugins();

 private:
  std::vector<TPluginModule> plugins_;
};

}  // namespace editor
