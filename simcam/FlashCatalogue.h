// The catalogue of SPI flash parts the simulated camera can carry, held as data: one row per part with
// its identification answers, size, command set, protection bits and timings. The flash model reads the
// row; no behaviour depends on which part it is beyond what its row says.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace torvane::simcam {

// The published serial-flash opcodes the catalogue refers to.
namespace opcode {
constexpr std::uint8_t kWriteStatus = 0x01;
constexpr std::uint8_t kPageProgram = 0x02;
constexpr std::uint8_t kRead = 0x03;
constexpr std::uint8_t kWriteDisable = 0x04;
constexpr std::uint8_t kReadStatus = 0x05;
constexpr std::uint8_t kWriteEnable = 0x06;
constexpr std::uint8_t kReadIdTwoBytes = 0x15;
constexpr std::uint8_t kEnableWriteStatus = 0x50;
constexpr std::uint8_t kChipErase60 = 0x60;
constexpr std::uint8_t kChipErase62 = 0x62;
constexpr std::uint8_t kReadManufacturerDevice = 0x90;
constexpr std::uint8_t kReadJedecId = 0x9F;
constexpr std::uint8_t kReleasePowerDownId = 0xAB;
constexpr std::uint8_t kAutoIncrementProgram = 0xAF;
constexpr std::uint8_t kChipEraseC7 = 0xC7;
constexpr std::uint8_t kPageStatusRead = 0xD7;
}  // namespace opcode

// Status register bits shared by the catalogue's parts.
constexpr std::uint8_t kStatusBusy = 0x01;               // write in progress
constexpr std::uint8_t kStatusWriteEnableLatch = 0x02;
constexpr std::uint8_t kStatusWriteProtectEnable = 0x80;  // with the write-protect pin low, no status write

// One identification command the part answers: after the opcode and `dummyBytes` further bytes, every
// byte clocked in the frame returns the next byte of `bytes`, starting over after `length` of them.
struct IdAnswer {
  std::uint8_t opcode = 0;
  std::uint8_t dummyBytes = 0;
  std::array<std::uint8_t, 4> bytes{};
  std::uint8_t length = 0;  // 0: unused slot
};

enum class ProgramKind : std::uint8_t {
  None,        // unused slot
  Page,        // data bytes program consecutive addresses, wrapping inside the page
  SingleByte,  // only the first data byte is programmed; the rest of the frame is ignored
  Run,         // every data byte programs the next address, across pages
};

struct ProgramCommand {
  std::uint8_t opcode = 0;
  ProgramKind kind = ProgramKind::None;
};

// Which commands arm a status-register write.
enum StatusWriteEnable : std::uint8_t {
  kStatusWriteByWriteEnable = 0x01,  // the write-enable latch (0x06)
  kStatusWriteByEnableOpcode = 0x02,  // 0x50, which arms only the next status write
};

struct FlashPart {
  std::string_view key;          // the name a configuration uses
  std::string_view description;  // one line for people
  std::uint32_t sizeBytes = 0;   // 65536 or 131072; a 64 KiB part answers the upper bank as the lower
  std::array<IdAnswer, 3> ids{};

  std::uint8_t readOpcode = 0;         // how the controller reads the array; 0: the part answers no read
  std::uint8_t statusOpcode = 0;       // the status read; 0: none
  std::uint8_t writeEnableOpcode = 0;  // 0: none
  std::uint8_t writeDisableOpcode = 0;
  std::uint8_t statusWriteOpcode = 0;  // 0: the status register cannot be written
  std::uint8_t statusWriteEnable = 0;  // StatusWriteEnable bits
  std::array<std::uint8_t, 2> chipEraseOpcodes{};  // 0: unused slot
  std::array<ProgramCommand, 2> programCommands{};
  std::uint16_t pageSize = 256;

  std::uint8_t blockProtectMask = 0;   // any of these set refuses program and chip erase
  std::uint8_t statusWritableMask = 0;  // bits a status write can change
  std::uint8_t defaultStatus = 0;       // status at power-up unless configured

  std::uint32_t chipEraseMs = 0;  // busy time of each operation, on the injected clock
  std::uint32_t programMs = 0;    // per program command
  std::uint32_t statusWriteMs = 0;
};

// The whole catalogue; the first row is the default part.
std::span<const FlashPart> FlashCatalogue();
const FlashPart& DefaultFlashPart();
// nullptr when no row has this key.
const FlashPart* FindFlashPart(std::string_view key);

}  // namespace torvane::simcam
