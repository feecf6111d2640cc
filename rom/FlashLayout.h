// Where the firmware keeps what the tool reads back from the camera's flash, by controller chip id: the
// firmware information fields (a 5-byte tag and three 10-byte texts) and the pin-configuration byte that
// write protection consults. One table for every user: the export name and the firmware-version query
// read these places, write protection reads the pin byte there, and the sample builder writes them.
#pragma once

#include <cstdint>
#include <optional>

namespace torvane::rom {

// Flash addresses of the four information fields for one chip id.
struct FirmwareInfoAddresses {
  std::uint8_t chipId;
  std::uint16_t InfoField1;
  std::uint16_t InfoField2;
  std::uint16_t InfoField3;
  std::uint16_t InfoTag;
};

// FirmwareInfoMap, the table the export name uses. Chip ids without a row give no name.
std::optional<FirmwareInfoAddresses> FindExportInfoAddresses(std::uint8_t chipId);
// The table of the firmware-version query; it differs in the rows for 0x16 (which reads the 0x0FD0
// group here) and 0x70 (which has a row only here).
std::optional<FirmwareInfoAddresses> FindVersionInfoAddresses(std::uint8_t chipId);

// Address of the pin-configuration byte in the flash.
std::uint16_t PinConfigAddress(std::uint8_t chipId);

}  // namespace torvane::rom
