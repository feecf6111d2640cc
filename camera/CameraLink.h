// The dialog-level camera link: discovery with chip-id qualification (FindCamera), the binding it
// keeps (CameraBinding), and the requests made on that binding: GetChipIDValue, ReadFlash8 and
// WriteFlash8, with the bank flag HighBankFlag and the last chip id read, ChipId.
//
// One CameraLink per camera: tests and benches with several cameras never share this state.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <memory>

#include "platform/CameraPlatform.h"

namespace torvane::camera {

struct CameraBinding {
  std::unique_ptr<platform::BoundDevice> filter;  // empty until FindCamera binds a qualifying device
  std::uint32_t nodeId = 0;
};

// Searches the device's topology for the extension unit: the lowest node of the vendor-specific type
// that accepts the unit's property set in a set-support probe. Nothing is written when none passes.
bool FindXuNode(platform::BoundDevice& filter, std::uint32_t& nodeId);

class CameraLink {
 public:
  // `console` receives the two diagnostic texts of discovery (the dialog has no console; the command
  // line may show them).
  CameraLink(platform::CameraPlatform& platform, std::ostream& console);

  // 0 when a device qualified and CameraBinding holds it; non-zero when none did.
  std::int32_t FindCamera();
  void ReleaseCamera();  // empties CameraBinding

  bool GetChipIDValue(std::uint8_t& chipId);
  // The 16-bit address is given as a high and a low byte; the bank comes from HighBankFlag.
  bool ReadFlash8(std::uint8_t addressHigh, std::uint8_t addressLow, std::array<std::uint8_t, 8>& out);
  bool WriteFlash8(std::uint8_t addressHigh, std::uint8_t addressLow, const std::array<std::uint8_t, 8>& data);

  CameraBinding& Binding() { return CameraBinding_; }

  // Non-zero: ReadFlash8 and WriteFlash8 address the upper 64 KiB of the flash.
  std::uint32_t HighBankFlag = 0;
  // The chip id most recently read by an operation (GetChipIDValue does not store it).
  std::uint8_t ChipId = 0;

 private:
  platform::CameraPlatform& platform_;
  std::ostream& console_;
  CameraBinding CameraBinding_;
};

}  // namespace torvane::camera
