#pragma once
// The WIA client of the I/O component, with the scanner library (RVSane.h) in the place of the
// WIA device manager: TRVWia lists the local devices with their identifying texts. The
// library reports no device arrivals or removals, so there are no device events; nothing
// acquires an image through this object.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rastova/io/RVSane.h"

namespace rv {

class TRastovaIO;

// Device kinds.
constexpr uint8_t WIA_DEVICE_SCANNER = 0;
constexpr uint8_t WIA_DEVICE_CAMERA = 1;
constexpr uint8_t WIA_DEVICE_VIDEO = 2;

// One device.
class TRVWiaDeviceInfo {
 public:
  std::string ID;    // the library's device name, by which it is opened
  std::string Name;  // the model
  uint8_t DeviceType = WIA_DEVICE_SCANNER;
  std::string DriverVersion;  // the library's version
  std::string PortName;       // the backend's address of the device (the name after "backend:")
  std::string ServerName;     // "local": only local devices are listed
  std::string VendorDescription;
};

// The kind a device type text of the library stands for: video for "video" and "frame
// grabber", camera for other cameras, else scanner.
uint8_t WiaDeviceKind(const std::string& typeText);

class TRVWia {
 public:
  // Opens the library (nullptr: libsane); without it the device list stays empty.
  explicit TRVWia(TRastovaIO* Owner, const TRVSaneEntryPoints* library = nullptr);
  ~TRVWia();
  TRVWia(const TRVWia&) = delete;
  TRVWia& operator=(const TRVWia&) = delete;

  // The device at Index, or nullptr past the end. An empty list is filled first, so a list
  // found empty is asked for again on every call.
  TRVWiaDeviceInfo* GetDevicesInfo(int32_t Index);
  TRastovaIO* GetOwner() { return owner_; }

  // Progress of a transfer in per cent; answers false to stop. The owning component sets it.
  std::function<bool(int32_t per)> OnProgress;

 private:
  void FillDeviceList();
  TRastovaIO* owner_;
  const TRVSaneEntryPoints* manager_ = nullptr;
  SANE_Int version_ = 0;
  std::vector<std::unique_ptr<TRVWiaDeviceInfo>> devices_;
};

}  // namespace rv
