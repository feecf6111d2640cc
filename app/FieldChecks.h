// The checks on the identity fields. Lengths count UTF-16 code units, as an edit holds them, and each
// unit is compared whole with the ranges 0x30-0x39, 0x41-0x46 and 0x61-0x66, so full-width digits and
// every character above U+00FF fail.
#pragma once

#include <cstddef>
#include <string_view>

namespace torvane::app {

constexpr std::size_t kMaxHexFieldUnits = 4;
constexpr std::size_t kMaxDeviceNameUnits = 31;  // a name of 32 is refused

// Vendor and product id: empty, or 1 to 4 hexadecimal digits.
bool IsAcceptedHexField(std::u16string_view text);
// Device name: any characters, at most 31 units.
bool IsAcceptedDeviceName(std::u16string_view text);

}  // namespace torvane::app
