// Extension-unit requests: the vendor unit's property set, the five selectors and their payload
// lengths, the request flags, and the one call every request goes through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/CameraPlatform.h"

namespace torvane::camera {

// The controller's vendor extension unit.
inline const platform::Guid kXuPropertySet = platform::Guid::FromString("{28F03370-6311-4A2E-BA2C-6890EB334016}");

enum class XuSelector : std::uint32_t {
  RegisterAccess = 1,  // 4 bytes: address low, address high, data, direction (0x00 write, 0xFF read)
  TargetAccess = 2,    // 8 bytes
  FlashWindow = 3,     // 11 bytes (dialog-level) or 12 bytes (back end)
  BlockRead = 4,       // 12 bytes
  DeviceInfo = 5,      // 12 bytes, get only
};

constexpr std::uint32_t kXuSetFlags = platform::KSPROPERTY_TYPE_SET | platform::KSPROPERTY_TYPE_TOPOLOGY;
constexpr std::uint32_t kXuGetFlags = platform::KSPROPERTY_TYPE_GET | platform::KSPROPERTY_TYPE_TOPOLOGY;
constexpr std::uint32_t kXuSetSupportFlags = platform::KSPROPERTY_TYPE_SETSUPPORT | platform::KSPROPERTY_TYPE_TOPOLOGY;

constexpr std::size_t kRegisterPayload = 4;
constexpr std::size_t kTargetPayload = 8;
constexpr std::size_t kDialogWindowPayload = 11;
constexpr std::size_t kBackendWindowPayload = 12;
constexpr std::size_t kBlockReadPayload = 12;
constexpr std::size_t kDeviceInfoPayload = 12;

// Register-access direction markers (byte 3) and window control bits (byte 2).
constexpr std::uint8_t kDirectionWrite = 0x00;
constexpr std::uint8_t kDirectionRead = 0xFF;
constexpr std::uint8_t kWindowRead = 0x80;
constexpr std::uint8_t kWindowHighBank = 0x10;
constexpr std::uint8_t kWindowLengthMask = 0x0F;
constexpr std::uint8_t kWindowCommandC8 = 0xC8;  // control byte of XuWindowCommandC8
constexpr std::uint8_t kWindowCommand40 = 0x40;  // control bit of XuWindowCommand40
constexpr std::size_t kWindowBytes = 8;          // data bytes one window or block request carries

// Offsets inside the payloads.
constexpr std::size_t kAddressLow = 0;
constexpr std::size_t kAddressHigh = 1;
constexpr std::size_t kRegisterData = 2;
constexpr std::size_t kRegisterDirection = 3;
constexpr std::size_t kWindowControl = 2;
constexpr std::size_t kWindowData = 3;
constexpr std::size_t kBlockCount = 2;  // request: bytes wanted (8); answer: bytes it holds
constexpr std::size_t kBlockData = 3;
constexpr std::size_t kTargetId = 0;
constexpr std::size_t kTargetControl = 1;
constexpr std::size_t kTargetField = 2;
constexpr std::size_t kTargetFieldMax = 5;
constexpr std::size_t kTargetDirection = 7;
constexpr std::size_t kDeviceInfoWord = 0;
constexpr std::size_t kDeviceInfoByte = 2;

// The controller register that holds the chip id.
constexpr std::uint16_t kChipIdRegister = 0x101F;

// The two vendor property sets of the chip-id fallback, tried in this order.
inline const platform::Guid kChipIdFallbackSet1 = platform::Guid::FromString("{F1CAFC1D-D7D6-400F-A7FD-96715E0BD958}");
inline const platform::Guid kChipIdFallbackSet2 = platform::Guid::FromString("{E02A32D0-D2FC-4628-A1DD-DE079B11DFE1}");

// Sends one request with `flags` for `selector` to node `nodeId`. True only when the device
// answered exactly S_OK.
bool XuRequest(platform::BoundDevice& filter, std::uint32_t nodeId, XuSelector selector, std::uint32_t flags,
               std::span<std::uint8_t> payload);

}  // namespace torvane::camera
