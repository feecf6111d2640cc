// The dialog's camera on the camera link: discovery and the chip id through the dialog's own binding
// (CameraLink), CloseDevice through the device-access back end.
#pragma once

#include "app/DialogServices.h"
#include "camera/Backend.h"
#include "camera/CameraLink.h"

namespace torvane::app {

class LinkedCamera final : public DialogCamera {
 public:
  LinkedCamera(camera::CameraLink& link, camera::Backend& backend) : link_(link), backend_(backend) {}

  std::int32_t FindCamera() override { return link_.FindCamera(); }
  bool GetChipIDValue(std::uint8_t& chipId) override { return link_.GetChipIDValue(chipId); }
  void StoreChipId(std::uint8_t chipId) override { link_.ChipId = chipId; }
  bool CloseDevice() override { return backend_.CloseDevice(); }

  camera::CameraLink& Link() { return link_; }
  camera::Backend& Backend() { return backend_; }

 private:
  camera::CameraLink& link_;
  camera::Backend& backend_;
};

}  // namespace torvane::app
