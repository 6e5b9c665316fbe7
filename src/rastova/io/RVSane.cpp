#include "rastova/io/RVSane.h"

#include <map>
#include <mutex>

namespace rv {

namespace {

struct Session {
  int references = 0;
  SANE_Int version = 0;
};

// The library keeps process-wide state and its device list is valid only until its next
// call: every use goes through this lock.
std::mutex sessionLock;
std::map<const TRVSaneEntryPoints*, Session>& Sessions() {
  static std::map<const TRVSaneEntryPoints*, Session> sessions;
  return sessions;
}

std::string Text(SANE_String_Const s) { return s ? std::string(s) : std::string(); }

}  // namespace

const TRVSaneEntryPoints& SaneLibrary() {
  static const TRVSaneEntryPoints library{sane_init, sane_exit, sane_get_devices};
  return library;
}

SANE_Status SaneOpen(const TRVSaneEntryPoints& library, SANE_Int& version) {
  std::lock_guard lock(sessionLock);
  Session& s = Sessions()[&library];
  if (s.references == 0) {
    s.version = 0;
    const SANE_Status status = library.Init(&s.version, nullptr);
    if (status != SANE_STATUS_GOOD) {
      Sessions().erase(&library);
      version = 0;
      return status;
    }
  }
  ++s.references;
  version = s.version;
  return SANE_STATUS_GOOD;
}

void SaneClose(const TRVSaneEntryPoints& library) {
  std::lock_guard lock(sessionLock);
  auto it = Sessions().find(&library);
  if (it == Sessions().end()) return;
  if (--it->second.references == 0) {
    library.Exit();
    Sessions().erase(it);
  }
}

SANE_Status SaneListDevices(const TRVSaneEntryPoints& library, std::vector<TRVSaneDevice>& devices) {
  std::lock_guard lock(sessionLock);
  devices.clear();
  const SANE_Device** list = nullptr;
  const SANE_Status status = library.GetDevices(&list, SANE_TRUE);
  if (status != SANE_STATUS_GOOD) return status;
  for (size_t i = 0; list && list[i]; ++i)
    devices.push_back(
        {Text(list[i]->name), Text(list[i]->vendor), Text(list[i]->model), Text(list[i]->type)});
  return SANE_STATUS_GOOD;
}

std::string SaneVersionText(SANE_Int version) {
  return std::to_string(SANE_VERSION_MAJOR(version)) + "." + std::to_string(SANE_VERSION_MINOR(version)) +
         "." + std::to_string(SANE_VERSION_BUILD(version));
}

}  // namespace rv
