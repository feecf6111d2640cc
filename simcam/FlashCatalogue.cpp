#include "simcam/FlashCatalogue.h"

namespace torvane::simcam {

namespace {

using namespace opcode;

constexpr std::uint32_t k64K = 64 * 1024;
constexpr std::uint32_t k128K = 128 * 1024;

constexpr IdAnswer Jedec(std::uint8_t m, std::uint8_t d1, std::uint8_t d2) {
  return IdAnswer{kReadJedecId, 0, {m, d1, d2, 0}, 3};
}
// 0x90 and 0xAB take three address (dummy) bytes before answering.
constexpr IdAnswer Addressed(std::uint8_t op, std::uint8_t a, std::uint8_t b) {
  return IdAnswer{op, 3, {a, b, 0, 0}, 2};
}
constexpr IdAnswer Signature(std::uint8_t op, std::uint8_t a) { return IdAnswer{op, 3, {a, 0, 0, 0}, 1}; }

constexpr ProgramCommand kPage{kPageProgram, ProgramKind::Page};

// A part with the common command set: 0x03 read, 0x05 status, 0x06/0x04 latch, 0x01 status write armed
// by the latch, 0x02 page program of 256 bytes. Rows below start from it and change what differs.
constexpr FlashPart Common(std::string_view key, std::string_view description, std::uint32_t size,
                           std::array<IdAnswer, 3> ids, std::array<std::uint8_t, 2> chipErase,
                           std::uint8_t blockProtect, std::uint32_t eraseMs) {
  FlashPart p;
  p.key = key;
  p.description = description;
  p.sizeBytes = size;
  p.ids = ids;
  p.readOpcode = kRead;
  p.statusOpcode = kReadStatus;
  p.writeEnableOpcode = kWriteEnable;
  p.writeDisableOpcode = kWriteDisable;
  p.statusWriteOpcode = kWriteStatus;
  p.statusWriteEnable = kStatusWriteByWriteEnable;
  p.chipEraseOpcodes = chipErase;
  p.programCommands = {kPage, ProgramCommand{}};
  p.pageSize = 256;
  p.blockProtectMask = blockProtect;
  p.statusWritableMask = static_cast<std::uint8_t>(blockProtect | kStatusWriteProtectEnable);
  p.defaultStatus = blockProtect;  // protected, bit 7 clear: the tool must switch protection off
  p.chipEraseMs = eraseMs;
  p.programMs = 2;
  p.statusWriteMs = 10;
  return p;
}

// Parts that answer 0x90 and 0xAB with their id, take 0x50 or the latch before a status write (which
// then takes no time), and program one byte per 0x02 or a run of bytes per 0xAF.
constexpr FlashPart ByteProgramming(std::string_view key, std::string_view description, std::uint32_t size,
                                    std::uint8_t device) {
  FlashPart p = Common(key, description, size,
                       {Addressed(kReadManufacturerDevice, 0xBF, device), Addressed(kReleasePowerDownId, 0xBF, device)},
                       {kChipErase60, kChipEraseC7}, 0x0C, 100);
  p.statusWriteEnable = kStatusWriteByWriteEnable | kStatusWriteByEnableOpcode;
  p.programCommands = {ProgramCommand{kPageProgram, ProgramKind::SingleByte},
                       ProgramCommand{kAutoIncrementProgram, ProgramKind::Run}};
  p.programMs = 1;
  p.statusWriteMs = 0;
  return p;
}

// The older page-organised part: answers its own status read 0xD7 and no other command.
constexpr FlashPart PageOrganised() {
  FlashPart p;
  p.key = "page-d7";
  p.description = "page-organised part: only 0xD7, status 0x0C";
  p.sizeBytes = k128K;
  p.statusOpcode = kPageStatusRead;
  p.defaultStatus = 0x0C;
  return p;
}

constexpr FlashPart Silent() {
  FlashPart p;
  p.key = "none";
  p.description = "no answer at all: every byte reads 0xFF";
  p.sizeBytes = k128K;
  return p;
}

constexpr FlashPart TwoByteIdPart() {
  FlashPart p = Common("1f60", "answers only 0x15 with 1F 60; chip erase 0x62", k128K,
                       {IdAnswer{kReadIdTwoBytes, 0, {0x1F, 0x60, 0, 0}, 2}}, {kChipErase62, 0}, 0x0C, 2000);
  return p;
}

constexpr FlashPart Continuation() {
  return Common("7f9d7c", "JEDEC answer 7F 9D 7C (continuation code first), 0xAB answers 9D 7C", k128K,
                {Jedec(0x7F, 0x9D, 0x7C), Addressed(kReleasePowerDownId, 0x9D, 0x7C)}, {kChipEraseC7, 0}, 0x0C, 1000);
}

const FlashPart kCatalogue[] = {
    Common("c22011", "JEDEC C2 20 11, 128 KiB (the default part)", k128K, {Jedec(0xC2, 0x20, 0x11)},
           {kChipErase60, kChipEraseC7}, 0x0C, 1000),
    Common("202011", "JEDEC 20 20 11, 0xAB answers 0x10; chip erase 0xC7 only", k128K,
           {Jedec(0x20, 0x20, 0x11), Signature(kReleasePowerDownId, 0x10)}, {kChipEraseC7, 0}, 0x0C, 2500),
    Common("ef3011", "JEDEC EF 30 11, 128 KiB", k128K, {Jedec(0xEF, 0x30, 0x11)}, {kChipEraseC7, kChipErase60}, 0x1C,
           1500),
    Common("ef3010", "JEDEC EF 30 10, 64 KiB", k64K, {Jedec(0xEF, 0x30, 0x10)}, {kChipEraseC7, kChipErase60}, 0x1C,
           1000),
    Common("373011", "JEDEC 37 30 11, 128 KiB; chip erase 0xC7", k128K, {Jedec(0x37, 0x30, 0x11)},
           {kChipEraseC7, 0}, 0x0C, 1000),
    Common("c84011", "JEDEC C8 40 11, 128 KiB", k128K, {Jedec(0xC8, 0x40, 0x11)}, {kChipErase60, kChipEraseC7}, 0x1C,
           1200),
    Common("1f6601", "JEDEC 1F 66 01, 128 KiB", k128K, {Jedec(0x1F, 0x66, 0x01)}, {kChipErase60, kChipEraseC7}, 0x0C,
           1500),
    Continuation(),
    TwoByteIdPart(),
    ByteProgramming("bf49", "0x90 and 0xAB answer BF 49, 128 KiB; byte program 0x02, run program 0xAF", k128K, 0x49),
    ByteProgramming("bf48", "0x90 and 0xAB answer BF 48, 64 KiB; byte program 0x02, run program 0xAF", k64K, 0x48),
    PageOrganised(),
    Common("8c2014", "JEDEC 8C 20 14, 128 KiB (a part the tool does not know)", k128K, {Jedec(0x8C, 0x20, 0x14)},
           {kChipErase60, kChipEraseC7}, 0x1C, 1000),
    Silent(),
};

}  // namespace

std::span<const FlashPart> FlashCatalogue() { return kCatalogue; }

const FlashPart& DefaultFlashPart() { return kCatalogue[0]; }

const FlashPart* FindFlashPart(std::string_view key) {
  for (const FlashPart& p : kCatalogue)
    if (p.key == key) return &p;
  return nullptr;
}

}  // namespace torvane::simcam
