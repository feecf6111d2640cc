// The USB descriptors of a UVC camera, as the kernel shows them in the device's sysfs `descriptors`
// file: the 18-byte device descriptor followed by the raw configuration descriptors, each with its
// interfaces, endpoints and class-specific descriptors.
//
// What the camera link needs from them is the topology of each VideoControl interface (class 0x0E,
// subclass 0x01): its units and terminals in descriptor order, and its extension units with their
// GUIDs and the selectors their bmControls announce. Field names follow the USB video class.
//
// The parse is a pure function over the bytes and trusts no length in them: a bLength below 2 or one
// that runs past the end of the blob, and an extension unit whose pin or control counts run past its
// own bLength, make the whole parse fail with the offset of the bad descriptor; so do two units or
// terminals of one VideoControl interface with the same id.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <linux/usb/ch9.h>
#include <linux/usb/video.h>

#include "platform/Guid.h"

namespace torvane::platform::uvc {

// Descriptor types, class codes and VideoControl subtypes come from the kernel's own headers
// (USB_DT_*, USB_CLASS_VIDEO, UVC_SC_VIDEOCONTROL, UVC_VC_*); the encoding unit of UVC 1.5 is not there.
constexpr std::uint8_t kUvcVcEncodingUnit = 0x07;

struct ExtensionUnit {
  std::uint8_t bUnitID = 0;
  Guid guidExtensionCode;
  std::uint8_t bNumControls = 0;
  std::vector<std::uint8_t> baSourceID;  // bNrInPins entries
  std::vector<std::uint8_t> bmControls;  // bControlSize bytes; bit s-1 set when selector s exists

  bool HasControl(std::uint32_t selector) const;
  std::vector<std::uint8_t> Selectors() const;  // ascending
};

// A unit or terminal of a VideoControl interface: one topology node.
struct TopologyNode {
  std::uint8_t bDescriptorSubtype = 0;
  std::uint8_t bID = 0;                             // bTerminalID or bUnitID
  std::optional<std::size_t> extensionUnit;         // index into VideoControlInterface::extensionUnits
};

struct VideoControlInterface {
  std::uint8_t bConfigurationValue = 0;
  std::uint8_t bInterfaceNumber = 0;
  std::vector<TopologyNode> nodes;  // descriptor order
  std::vector<ExtensionUnit> extensionUnits;
};

struct DescriptorParse {
  std::vector<VideoControlInterface> interfaces;  // every VideoControl interface of every configuration
  std::string error;                              // empty when the blob parsed
  bool Ok() const { return error.empty(); }
};

DescriptorParse ParseUsbDescriptors(std::span<const std::uint8_t> blob);

// The VideoControl interface with this number in this configuration, or nullptr.
const VideoControlInterface* FindVideoControl(const DescriptorParse& parse, std::uint8_t bConfigurationValue,
                                              std::uint8_t bInterfaceNumber);

}  // namespace torvane::platform::uvc
