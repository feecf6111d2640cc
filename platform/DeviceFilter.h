// A camera platform that shows only the device with one device path. `--device PATH` puts it in
// front of the real or simulated platform, so that both discoveries (the dialog-level one and the
// back end's) can only ever reach that camera.
#pragma once

#include <string>
#include <vector>

#include "platform/CameraPlatform.h"

namespace torvane::platform {

class DeviceFilter final : public CameraPlatform {
 public:
  DeviceFilter(CameraPlatform& inner, std::string devicePath);

  HResult EnumerateDevices(std::size_t& count) override;
  HResult ReadFriendlyName(std::size_t index, std::string& name) override;
  HResult ReadDevicePath(std::size_t index, std::string& path) override;
  HResult BindDevice(std::size_t index, std::unique_ptr<BoundDevice>& device) override;

 private:
  CameraPlatform& inner_;
  std::string devicePath_;
  std::vector<std::size_t> visible_;  // indexes into the inner platform's last enumeration
};

}  // namespace torvane::platform
