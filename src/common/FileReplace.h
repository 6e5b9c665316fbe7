#pragma once
// Saves that replace a file write a temporary file beside it and rename that over the old one,
// so that a failed save leaves the old file as it was. These routines keep what the replaced name
// stood for: a symbolic link stays a link and the file it names gets the new contents, and the
// new file takes the permissions of the old one. The image I/O component's saves
// (rastova/io/RastovaIO.cpp), the settings store (settings/RegStore.cpp), the shape files
// (shape/ShapeText.cpp) and the 3D library's file saves use them.
#include <functional>
#include <string>

namespace common {

// The file that a save of `fileName` replaces. A symbolic link is followed to the file it names,
// through further links, also when that file does not exist yet (the save creates it there); a
// relative link is read against the folder the link is in. Any other name comes back as it is,
// as does `fileName` when its links run in a loop.
std::string FileToReplace(const std::string& fileName);

// Gives the open new file `fd` the permission bits of `replaced` when that is a regular file;
// nothing otherwise (a new file keeps the mode it was created with). False when the bits could
// not be set.
bool KeepFileMode(int fd, const std::string& replaced);

// Replaces `fileName` through the temporary file FileToReplace(fileName) + `temporarySuffix`:
// `write` makes that file (given its name); it then takes the permissions of the file it
// replaces and is renamed over it. When `write` raises, the temporary file is removed and the
// exception passes on; when the rename fails, the temporary file is removed and the error number
// returned. 0 when the file was replaced.
int ReplaceFileThrough(const std::string& fileName, const std::string& temporarySuffix,
                       const std::function<void(const std::string& temporary)>& write);

}  // namespace common
