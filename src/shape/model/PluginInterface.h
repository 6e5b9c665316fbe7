#pragma once
// The interface between the editor and its plug-in libraries.
//
// A plug-in is an ELF shared library named "*.wqg" in the editor program's folder. The editor
// loads it with dlopen and binds two functions by their unmangled names:
//
//   PluginNameZP6()  returns the plug-in's zero-terminated UTF-16 menu caption. The text
//                    belongs to the library and stays valid while it is loaded; the editor
//                    copies it at once and never frees it.
//
//   PluginExecZP6(owner, keyPath, shape)
//                    runs the plug-in on the editor's one shape record, synchronously on the
//                    user-interface thread. `owner` is the editor's main window (a pointer to
//                    its QWidget, or null), for the plug-in's dialogs to be modal over and
//                    centred on. `keyPath` points to a variable that holds the address of the
//                    zero-terminated UTF-16 settings key path of the plug-in (for example
//                    "\Software\DURIM PROJECT\ZEPHOR6\Polyhedron"); the plug-in copies the
//                    text and keeps nothing of it after the call. `shape` is the record,
//                    written in place. The result is one byte: non-zero when the plug-in
//                    wrote a new grid into the record, 0 when the record is untouched.
//
// Both functions use the platform's one C calling convention. No C++ exception may cross
// this boundary: a plug-in catches everything inside and reports 0. The record's layout is
// fixed byte for byte by ShapeRecord.h, which is the only other header both sides share.
#include <cstdint>

#include "shape/model/ShapeRecord.h"

#if defined(__GNUC__)
#define ZEPHOR_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define ZEPHOR_PLUGIN_EXPORT
#endif

extern "C" {

// The one-byte Boolean result of PluginExecZP6: 0 false, any other value true.
typedef uint8_t TPluginBool;

typedef const char16_t* (*TPluginNameZP6)(void);
typedef TPluginBool (*TPluginExecZP6)(void* owner, const char16_t* const* keyPath, shape::TCS* shape);

// Declared here so that a plug-in's definitions are checked against the types above.
ZEPHOR_PLUGIN_EXPORT const char16_t* PluginNameZP6(void);
ZEPHOR_PLUGIN_EXPORT TPluginBool PluginExecZP6(void* owner, const char16_t* const* keyPath,
                                               shape::TCS* shape);

}  // extern "C"

namespace shape {

// The exported names the editor looks up.
inline constexpr const char* kPluginNameSymbol = "PluginNameZP6";
inline constexpr const char* kPluginExecSymbol = "PluginExecZP6";
// The file name extension of plug-in libraries in the program's folder.
inline constexpr const char* kPluginFileExtension = ".wqg";

}  // namespace shape
