// The camera-platform layer: the few things the camera link needs from the operating system, and no
// more. Enumerate video input devices in a fixed order, read each one's friendly name and device path,
// bind one (the bound device stands for the capture "filter"), list its topology nodes with their type
// GUIDs, and send node-scoped property requests to it.
//
// Implementations: the simulated camera (simcam/), the Linux UVC driver (platform/linux/), and later
// Windows kernel streaming. The layer passes payloads and their lengths through unchanged; padding a
// payload to what a driver wants is the implementation's business.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/Guid.h"
#include "platform/Result.h"

namespace torvane::platform {

// Request flags (the kernel-streaming property type bits).
constexpr std::uint32_t KSPROPERTY_TYPE_GET = 0x00000001;
constexpr std::uint32_t KSPROPERTY_TYPE_SET = 0x00000002;
constexpr std::uint32_t KSPROPERTY_TYPE_SETSUPPORT = 0x00000100;
constexpr std::uint32_t KSPROPERTY_TYPE_TOPOLOGY = 0x10000000;

// Type of a vendor-specific topology node: the extension unit.
inline const Guid KSNODETYPE_DEV_SPECIFIC = Guid::FromString("{941C7AC0-C559-11D0-8A2B-00A0C9255AC1}");

// The node-scoped property request, shaped like the 32-byte request a kernel-streaming driver takes:
// property set, property id, flags, node id, reserved.
struct KsNodeProperty {
  Guid set;
  std::uint32_t id = 0;
  std::uint32_t flags = 0;
  std::uint32_t nodeId = 0;
  std::uint32_t reserved = 0;

  static constexpr std::size_t kWireSize = 32;
  std::array<std::uint8_t, kWireSize> ToWire() const;  // little-endian fields after the GUID's wire form
};

// The property-set interface of a bound device (used only by the chip-id fallback). `instance` and
// `data` are passed as the driver would receive them; a get writes its answer into `data`.
class PropertySetInterface {
 public:
  virtual ~PropertySetInterface() = default;
  virtual HResult Set(const Guid& set, std::uint32_t id, std::span<const std::uint8_t> instance,
                      std::span<const std::uint8_t> data) = 0;
  virtual HResult Get(const Guid& set, std::uint32_t id, std::span<const std::uint8_t> instance,
                      std::span<std::uint8_t> data) = 0;
};

// A bound device: what the camera link calls the capture filter. Released by destroying it.
class BoundDevice {
 public:
  virtual ~BoundDevice() = default;

  // Number of nodes in the device's topology; a negative result means the topology is unavailable.
  virtual HResult NodeCount(std::uint32_t& count) = 0;
  virtual HResult NodeType(std::uint32_t node, Guid& type) = 0;

  // One property request. A set sends `data`; a get fills `data` with the device's answer. The
  // set-support probe is sent with an empty `data`. Exactly kS_OK means the device took it.
  virtual HResult KsProperty(const KsNodeProperty& property, std::span<std::uint8_t> data) = 0;

  // The property-set interface, or nullptr when the platform offers none for this device.
  virtual PropertySetInterface* QueryPropertySet() = 0;
};

class CameraPlatform {
 public:
  virtual ~CameraPlatform() = default;

  // Starts an enumeration of the video input devices, in the platform's fixed order. kS_OK with
  // count >= 1; kS_FALSE when there are no video input devices; negative when enumeration cannot start.
  virtual HResult EnumerateDevices(std::size_t& count) = 0;
  // Per device of the last enumeration; kS_OK when the property could be read.
  virtual HResult ReadFriendlyName(std::size_t index, std::string& name) = 0;
  virtual HResult ReadDevicePath(std::size_t index, std::string& path) = 0;  // UTF-8 on Linux
  // Binds the device; kS_OK with a non-null device, anything else without one.
  virtual HResult BindDevice(std::size_t index, std::unique_ptr<BoundDevice>& device) = 0;
};

}  // namespace torvane::platform
