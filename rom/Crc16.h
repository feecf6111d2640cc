// The identity checksum: CRC-16 with the reflected polynomial 0xA001, initial value 0xFFFF and no
// final XOR (the parameters known as CRC-16/MODBUS). Over the nine ASCII digits "123456789" it is 0x4B37.
#pragma once

#include <cstdint>
#include <span>

namespace torvane::rom {

inline constexpr std::uint16_t kCrc16Initial = 0xFFFF;
inline constexpr std::uint16_t kCrc16Polynomial = 0xA001;  // 0x8005 bit-reversed

// No bytes give the initial value 0xFFFF.
std::uint16_t Crc16(std::span<const std::uint8_t> data);

}  // namespace torvane::rom
