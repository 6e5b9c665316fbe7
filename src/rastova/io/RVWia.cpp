#include "rastova/io/RVWia.h"

namespace rv {

uint8_t WiaDeviceKind(const std::string& typeText) {
  if (typeText.find("video") != std::string::npos || typeText.find("frame grabber") != std::string::npos)
    return WIA_DEVICE_VIDEO;
  if (typeText.find("camera") != std::string::npos) return WIA_DEVICE_CAMERA;
  return WIA_DEVICE_SCANNER;
}

TRVWia::TRVWia(TRastovaIO* Owner, const TRVSaneEntryPoints* library) : owner_(Owner) {
  const TRVSaneEntryPoints& lib = library ? *library : SaneLibrary();
  if (SaneOpen(lib, version_) == SANE_STATUS_GOOD) manager_ = &lib;
}

TRVWia::~TRVWia() {
  devices_.clear();
  if (manager_) SaneClose(*manager_);
}

TRVWiaDeviceInfo* TRVWia::GetDevicesInfo(int32_t Index) {
  if (devices_.empty()) FillDeviceList();
  if (Index < 0 || static_cast<size_t>(Index) >= devices_.size()) return nullptr;
  return devices_[static_cast<size_t>(Index)].get();
}

void TRVWia::FillDeviceList() {
  if (!manager_) return;
  std::vector<TRVSaneDevice> found;
  if (SaneListDevices(*manager_, found) != SANE_STATUS_GOOD) return;
  devices_.clear();
  for (const TRVSaneDevice& d : found) {
    auto info = std::make_unique<TRVWiaDeviceInfo>();
    info->ID = d.Name;
    info->Name = d.Model;
    info->DeviceType = WiaDeviceKind(d.Type);
    info->DriverVersion = SaneVersionText(version_);
    const size_t colon = d.Name.find(':');
    info->PortName = colon == std::string::npos ? std::string() : d.Name.substr(colon + 1);
    info->ServerName = "local";
    info->VendorDescription = d.Vendor;
    devices_.push_back(std::move(info));
  }
}

}  // namespace rv
