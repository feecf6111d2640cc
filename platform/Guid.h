// A GUID as a value: the registry string form "{28F03370-6311-4A2E-BA2C-6890EB334016}" and the
// 16-byte wire form, whose first three fields are little-endian (70 33 F0 28 11 63 2E 4A BA 2C ...).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace torvane::platform {

struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::array<std::uint8_t, 8> data4{};

  // Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional, either case).
  static std::optional<Guid> Parse(std::string_view text);
  // For constants written in the source; a malformed literal is a programming error and aborts.
  static Guid FromString(std::string_view text);
  static Guid FromWire(std::span<const std::uint8_t, 16> bytes);

  std::string ToString() const;  // upper case, with braces
  std::array<std::uint8_t, 16> ToWire() const;

  friend bool operator==(const Guid&, const Guid&) = default;
};

}  // namespace torvane::platform
