#include "rom/Crc16.h"

namespace torvane::rom {

std::uint16_t Crc16(std::span<const std::uint8_t> data) {
  std::uint16_t crc = kCrc16Initial;
  for (std::uint8_t byte : data) {
    // Bits are taken from the least significant one up (a reflected CRC).
    for (int bit = 0; bit < 8; ++bit) {
      const bool differs = ((byte >> bit) & 1u) != (crc & 1u);
      crc = static_cast<std::uint16_t>(crc >> 1);
      if (differs) crc ^= kCrc16Polynomial;
    }
  }
  return crc;
}

}  // namespace torvane::rom
