#pragma once
// The scanner library (SANE) as the scanner clients share it: one process-wide session, opened
// (sane_init) by the first client that needs it and closed (sane_exit) when the last one lets
// go, and a copy of the list of local devices. The TWAIN client (RVTwain.h) and the WIA client
// (RVWia.h) list their sources from it.
//
// The library is reached through a table of entry points, so that tests can stand in a library
// of their own; the default table is libsane's.
#include <sane/sane.h>

#include <string>
#include <vector>

namespace rv {

struct TRVSaneEntryPoints {
  SANE_Status (*Init)(SANE_Int* version, SANE_Auth_Callback authorize);
  void (*Exit)();
  SANE_Status (*GetDevices)(const SANE_Device*** list, SANE_Bool localOnly);
};

// libsane's entry points.
const TRVSaneEntryPoints& SaneLibrary();

// One device as the library lists it.
struct TRVSaneDevice {
  std::string Name;  // "backend:address", the name a device is opened by
  std::string Vendor;
  std::string Model;
  std::string Type;  // "flatbed scanner", "still camera", "video camera", ...
};

// Takes a reference on the session of `library`, initialising it on the first one. On failure
// no reference is held. `version` receives the library's version code.
SANE_Status SaneOpen(const TRVSaneEntryPoints& library, SANE_Int& version);
// Lets go of a reference taken by SaneOpen; the last one ends the session.
void SaneClose(const TRVSaneEntryPoints& library);
// The local devices (never those behind the network backend's servers).
SANE_Status SaneListDevices(const TRVSaneEntryPoints& library, std::vector<TRVSaneDevice>& devices);
// "major.minor.build" of a version code.
std::string SaneVersionText(SANE_Int version);

}  // namespace rv
