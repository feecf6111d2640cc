// The dialog-level walk over the flash in 8-byte groups that the burn, the erase check and the export
// share: a request carries the address's low 16 bits as a high and a low byte, and HighBankFlag supplies
// bit 16 from address 0x10000 on.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

#include "camera/CameraLink.h"

namespace torvane::operations {

inline constexpr std::uint32_t kGroupSize = 8;
inline constexpr std::uint32_t kBankSize = 0x10000;  // where HighBankFlag takes over bit 16
using Group = std::array<std::uint8_t, kGroupSize>;

// Puts HighBankFlag back to 0 however a pass ends, so that the next request never lands in the upper
// bank by accident.
class HighBankReset {
 public:
  explicit HighBankReset(camera::CameraLink& link) : link_(link) {}
  ~HighBankReset() { link_.HighBankFlag = 0; }
  HighBankReset(const HighBankReset&) = delete;
  HighBankReset& operator=(const HighBankReset&) = delete;

 private:
  camera::CameraLink& link_;
};

inline void SelectBank(camera::CameraLink& link, std::uint32_t address) {
  if (address >= kBankSize) link.HighBankFlag = 1;
}

// Reads the group at `address` into `group`, which is filled with 0xFF first. False when the camera did
// not answer: the group's bytes then mean nothing.
inline bool ReadGroup(camera::CameraLink& link, std::uint32_t address, Group& group) {
  group.fill(0xFF);
  SelectBank(link, address);
  return link.ReadFlash8(static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address), group);
}

inline bool WriteGroup(camera::CameraLink& link, std::uint32_t address, const Group& group) {
  SelectBank(link, address);
  return link.WriteFlash8(static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address), group);
}

// A message naming the flash address where a check or read failed: "<what> at 0x1FFF0!".
inline std::string AtAddress(const char* what, std::uint32_t address) {
  char text[64];
  std::snprintf(text, sizeof text, "%s at 0x%05X!", what, static_cast<unsigned>(address));
  return text;
}

// The blank test of the burn and erase checks: a group fails only when its first and sixth bytes both
// differ from 0xFF; a group with other stray bytes passes.
inline bool LooksBlank(const Group& group) { return group[0] == 0xFF || group[5] == 0xFF; }

}  // namespace torvane::operations
