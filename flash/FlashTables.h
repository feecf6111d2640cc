// The serial-flash engine's tables, held as data: JEDEC answers the back end knows, the command sets
// they point to, the controller's mask-ROM types, and where each controller firmware expects the
// detected flash family.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace torvane::flash {

// One known identification answer. A device byte of kAnyDevice matches every value.
struct JedecIdRow {
  std::uint8_t manufacturer;
  std::uint8_t device1;
  std::uint8_t device2;
  std::uint8_t typeCode;       // FlashTypeCode: the back end's own numbering, not SFType
  std::uint8_t commandSetRow;  // row of FlashCommandSetTable
};
constexpr std::uint8_t kAnyDevice = 0xFF;

// Row 0 is the answer when nothing matches; rows 1 to 13 are searched in order, first match wins.
constexpr std::size_t kJedecRowCount = 14;
inline constexpr std::array<JedecIdRow, kJedecRowCount> JedecIdTable{{
    {0x00, 0x00, 0x00, 0, 0},
    {0xC2, 0x20, 0x11, 1, 1},
    {0xC2, 0x22, 0x11, 1, 1},
    {0xC2, 0x20, 0x10, 1, 1},
    {0xC2, 0x22, 0x10, 1, 1},
    {0x1F, 0x65, 0x01, 4, 2},
    {0x9D, 0x20, kAnyDevice, 8, 3},
    {0x9D, 0x7B, kAnyDevice, 8, 3},
    {0xBF, 0x48, kAnyDevice, 3, 4},
    {0x8C, 0x30, 0x10, 12, 1},
    {0xC8, 0x40, 0x10, 13, 1},
    {0xEF, 0x30, 0x10, 7, 1},
    {0x37, 0x30, 0x10, 10, 5},
    {0xA1, 0x31, 0x10, 14, 1},
}};

// The only type code with a meaning outside the table: its parts take the enable-status-write opcode
// and program runs of bytes.
constexpr std::uint8_t kTypeCodeStatusEnable = 3;

// Seven opcodes per row: read, write enable, program, write status, chip erase, sector erase, write
// disable. Write protection reads the write-enable and program columns.
struct FlashCommandSet {
  std::array<std::uint8_t, 7> opcodes;
};
constexpr std::size_t kCommandSetWriteEnable = 1;
constexpr std::size_t kCommandSetProgram = 2;
inline constexpr std::array<FlashCommandSet, 6> FlashCommandSetTable{{
    {{0x03, 0x04, 0x03, 0x05, 0x03, 0x03, 0x04}},
    {{0x03, 0x06, 0x02, 0x01, 0x60, 0x20, 0x04}},
    {{0x03, 0x06, 0x02, 0x01, 0x60, 0x20, 0x04}},
    {{0x03, 0x06, 0x02, 0x01, 0xC7, 0xD7, 0x04}},
    {{0x03, 0x06, 0xAF, 0x01, 0x60, 0x20, 0x04}},
    {{0x03, 0x06, 0x02, 0x01, 0xC7, 0x20, 0x04}},
}};

// One row per controller mask-ROM type, six flag bytes each. The controller's three 16-bit values that
// precede the flags in its own table are not used by this tool and are not carried.
struct MaskRomType {
  std::array<std::uint8_t, 6> flags;
};
// Set: switching protection off loads the controller's flash opcode registers.
constexpr std::size_t kMaskRomLoadsOpcodes = 3;
// Set: with device-information mode 2 the controller keeps the flash's status register itself, so the
// status write (off) and register 0x1073 (on) are left alone.
constexpr std::size_t kMaskRomKeepsStatus = 4;
constexpr std::uint8_t kDeviceInfoModeKeepsStatus = 2;

constexpr std::size_t kMaskRomTypeCount = 28;
extern const std::array<MaskRomType, kMaskRomTypeCount> MaskRomTypeTable;

// Where a controller firmware expects the detected SFType. The search takes the first row whose code
// equals the firmware's code ignoring letter case and whose version fits; row 0 when none does.
struct SfTypeRegisterRow {
  std::array<char, 4> code;
  std::array<std::uint8_t, 3> version;
  std::uint16_t sfTypeRegister;
  std::uint8_t matchMode;  // kMatchExactVersion, or any other value: major version at least version[0]
};
constexpr std::uint8_t kMatchExactVersion = 0;

// The firmware's description of itself as the erase receives it: a four-character code, one byte not
// read, three version bytes. Zero-filled when the caller has nothing to tell.
struct RomTag {
  std::array<std::uint8_t, 8> bytes{};
};

}  // namespace torvane::flash
