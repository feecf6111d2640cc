#include "platform/DeviceFilter.h"

#include <utility>

namespace torvane::platform {

DeviceFilter::DeviceFilter(CameraPlatform& inner, std::string devicePath)
    : inner_(inner), devicePath_(std::move(devicePath)) {}

HResult DeviceFilter::EnumerateDevices(std::size_t& count) {
  visible_.clear();
  count = 0;
  std::size_t innerCount = 0;
  const HResult r = inner_.EnumerateDevices(innerCount);
  if (r != kS_OK) return r;
  for (std::size_t i = 0; i < innerCount; ++i) {
    std::string path;
    // A device whose path cannot be read can never be the one asked for.
    if (inner_.ReadDevicePath(i, path) == kS_OK && path == devicePath_) visible_.push_back(i);
  }
  count = visible_.size();
  return count == 0 ? kS_FALSE : kS_OK;
}

HResult DeviceFilter::ReadFriendlyName(std::size_t index, std::string& name) {
  if (index >= visible_.size()) return kE_INVALIDARG;
  return inner_.ReadFriendlyName(visible_[index], name);
}

HResult DeviceFilter::ReadDevicePath(std::size_t index, std::string& path) {
  if (index >= visible_.size()) return kE_INVALIDARG;
  return inner_.ReadDevicePath(visible_[index], path);
}

HResult DeviceFilter::BindDevice(std::size_t index, std::unique_ptr<BoundDevice>& device) {
  if (index >= visible_.size()) return kE_INVALIDARG;
  return inner_.BindDevice(visible_[index], device);
}

}  // namespace torvane::platform
