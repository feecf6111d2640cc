#include "flash/SerialFlash.h"

#include <cstddef>

#include "flash/FlashTables.h"
#include "flash/SfRegisters.h"

namespace torvane::flash {

namespace {

constexpr std::uint8_t kOpcodeKeyLow = 0x12;
constexpr std::uint8_t kOpcodeKeyHigh = 0xED;
constexpr std::uint8_t kWpStatusCleared = 0x00;
constexpr std::uint8_t kDummyByte = 0x00;
constexpr std::uint8_t kMissingDeviceByte = 0xFF;
constexpr std::uint8_t kUnprotectPinBit = 0x04;  // pin 2: set in GpioData and GpioOutputEnable when unprotected
constexpr std::uint8_t kRegisterBit0 = 0x01;

// The pin-configuration byte: bits 0-1 level code, bits 2-3 mode, bits 4-6 pin number.
constexpr std::uint8_t kLevelMask = 0x03;
constexpr int kModeShift = 2;
constexpr std::uint8_t kModeMask = 0x03;
constexpr std::uint8_t kTableMode = 2;
constexpr int kPinShift = 4;
constexpr std::uint8_t kPinMask = 0x07;
constexpr std::uint8_t kDriveNone = 0;
constexpr std::uint8_t kDriveLow = 1;

}  // namespace

void SerialFlash::SfOpenPort() { backend_.WriteRegister(SfPortEnable, kPortOpen); }

void SerialFlash::SfClosePort() { backend_.WriteRegister(SfPortEnable, kPortClosed); }

void SerialFlash::SfSelect() { backend_.WriteRegister(SfChipSelect, kChipSelectAssert); }

void SerialFlash::SfDeselect() { backend_.WriteRegister(SfChipSelect, kChipSelectRelease); }

void SerialFlash::SfSendByte(std::uint8_t b) {
  backend_.WriteRegister(SfTxData, b);
  backend_.WriteRegister(SfTransferControl, kTransferSend);
  WaitPortReady();
}

bool SerialFlash::SfReceiveByte(std::uint8_t& value) {
  backend_.WriteRegister(SfRxData, 0);
  backend_.WriteRegister(SfTransferControl, kTransferReceive);
  WaitPortReady();
  value = 0;
  return backend_.ReadRegister(SfRxData, value);
}

void SerialFlash::WaitPortReady() {
  for (int poll = 0; poll < kPortReadyPolls; ++poll) {
    std::uint8_t status = 0;
    if (!backend_.ReadRegister(SfPortStatus, status)) return;  // the camera stopped answering
    if (status == kPortTransferDone) return;
    backend_.Clock().SleepMs(kPollSleepMs);
  }
}

void SerialFlash::WaitWhileBusy() {
  for (int attempt = 0; attempt < kBusyAttempts; ++attempt) {
    // Chip select is not released between attempts: the flash keeps answering its status for every
    // byte of the frame, so re-sending 0x05 inside it is harmless.
    SfSelect();
    SfSendByte(kOpReadStatus);
    std::uint8_t status = 0;
    if (!SfReceiveByte(status)) return;  // no answer: counting it as busy would only wait out the bound
    if ((status & kStatusBusyBit) == 0) {
      SfDeselect();
      return;
    }
    backend_.Clock().SleepMs(kPollSleepMs);
  }
}

void SerialFlash::ReadIdBytes(std::uint8_t opcode, int dummyCount, int deviceIdLength) {
  SfOpenPort();
  SfSelect();
  SfSendByte(opcode);
  for (int i = 0; i < dummyCount; ++i) SfSendByte(kDummyByte);
  std::uint8_t manufacturer = 0;
  SfReceiveByte(manufacturer);
  if (manufacturer == kJedecContinuation) SfReceiveByte(manufacturer);  // a second 0x7F stays
  std::uint8_t device1 = 0;
  SfReceiveByte(device1);
  std::uint8_t device2 = kMissingDeviceByte;
  if (deviceIdLength == 2) SfReceiveByte(device2);
  SfClosePort();
  DetectedFlashId = {manufacturer, device1, device2};
}

void SerialFlash::IdentifyFlash() {
  struct IdRead {
    std::uint8_t opcode;
    int dummyCount;
    int deviceIdLength;
  };
  static constexpr std::array<IdRead, 4> kReads{{
      {kOpReadJedecId, 0, 2},
      {kOpReadId15, 0, 1},
      {kOpReadId90, 3, 1},
      {kOpReadSignatureAB, 3, 1},
  }};
  for (const IdRead& read : kReads) {
    ReadIdBytes(read.opcode, read.dummyCount, read.deviceIdLength);
    if (MatchJedecId() != 0) return;
  }
}

std::uint8_t SerialFlash::MatchJedecId() {
  std::size_t found = 0;
  for (std::size_t row = 1; row < JedecIdTable.size(); ++row) {
    const JedecIdRow& r = JedecIdTable[row];
    if (r.manufacturer == DetectedFlashId[0] && (r.device1 == kAnyDevice || r.device1 == DetectedFlashId[1]) &&
        (r.device2 == kAnyDevice || r.device2 == DetectedFlashId[2])) {
      found = row;
      break;
    }
  }
  MatchedJedecRow = static_cast<std::uint8_t>(found);
  CommandSetRow = JedecIdTable[found].commandSetRow;
  FlashTypeCode = JedecIdTable[found].typeCode;
  return FlashTypeCode;
}

int SerialFlash::GetFlashTypeCode() {
  if (!backend_.SlotOpen(0)) return -1;
  IdentifyFlash();
  return FlashTypeCode;
}

void SerialFlash::Command(std::uint8_t opcode) {
  SfSelect();
  SfSendByte(opcode);
  SfDeselect();
}

void SerialFlash::SetBits(std::uint16_t address, std::uint8_t bits) {
  std::uint8_t value = 0;
  if (!backend_.ReadRegister(address, value)) return;
  backend_.WriteRegister(address, static_cast<std::uint8_t>(value | bits));
}

void SerialFlash::ClearBits(std::uint16_t address, std::uint8_t bits) {
  std::uint8_t value = 0;
  if (!backend_.ReadRegister(address, value)) return;
  backend_.WriteRegister(address, static_cast<std::uint8_t>(value & ~bits));
}

std::uint8_t SerialFlash::ApplyWriteProtect(WpDirection direction, WpRecord& record) {
  if (!backend_.SlotOpen(0)) return 0;
  const int typeCode = GetFlashTypeCode();
  std::uint8_t deviceInfoMode = 0;
  if (!backend_.ReadDeviceInfoByte(deviceInfoMode)) return 0;
  const std::int32_t maskRomIndex = backend_.MaskRomTypeIndex(0);
  if (maskRomIndex < 0 || static_cast<std::size_t>(maskRomIndex) >= MaskRomTypeTable.size()) return 0;
  const MaskRomType& maskRom = MaskRomTypeTable[static_cast<std::size_t>(maskRomIndex)];
  const bool keepsStatus =
      maskRom.flags[kMaskRomKeepsStatus] != 0 && deviceInfoMode == kDeviceInfoModeKeepsStatus;

  if (direction == WpDirection::On) {
    // Drives the pin back when the record was filled by an earlier switch-off.
    if (record.WpGpioRegister != WpRecord::kNoRegister) {
      backend_.WriteRegister(record.WpGpioRegister, static_cast<std::uint8_t>(~record.WpPinConfig));
    }
    if (keepsStatus) return 1;
    ClearBits(kProtectControlRegister, kRegisterBit0);
    return 1;
  }

  record.WpGpioRegister = WpRecord::kNoRegister;
  const std::uint8_t config = record.WpPinConfig;
  const std::uint8_t level = config & kLevelMask;
  const std::uint8_t mode = (config >> kModeShift) & kModeMask;
  const std::uint8_t pin = (config >> kPinShift) & kPinMask;
  const bool tableMode = mode == kTableMode;
  if (tableMode) {
    // Table mode shifts the level codes down by one; codes 0 and 1 leave the whole byte, which is
    // never 0 or 1 in this mode and so drives high.
    if (level == 2) record.WpPinConfig = 1;
    if (level == 3) record.WpPinConfig = 2;
  } else {
    record.WpPinConfig = level;
  }

  if (maskRom.flags[kMaskRomLoadsOpcodes] != 0) {
    const FlashCommandSet& commands = FlashCommandSetTable[CommandSetRow];
    const std::uint8_t writeEnable = tableMode ? commands.opcodes[kCommandSetWriteEnable] : kOpWriteEnable;
    const std::uint8_t program = tableMode ? commands.opcodes[kCommandSetProgram]
                                 : typeCode == kTypeCodeStatusEnable ? kOpProgramRun
                                                                     : kOpProgram;
    backend_.WriteRegister(SfWriteEnableOpcode, writeEnable);
    backend_.WriteRegister(kOpcodeKeyRegister0, kOpcodeKeyLow);
    backend_.WriteRegister(kOpcodeKeyRegister1, kOpcodeKeyLow);
    backend_.WriteRegister(kOpcodeKeyRegister2, kOpcodeKeyHigh);
    backend_.WriteRegister(kOpcodeKeyRegister3, kOpcodeKeyHigh);
    backend_.WriteRegister(SfProgramOpcode, program);
  }

  const std::uint8_t drive = record.WpPinConfig;
  if (drive != kDriveNone) {
    const auto mask = static_cast<std::uint8_t>(1u << pin);
    const auto data = drive == kDriveLow ? static_cast<std::uint8_t>(~mask) : mask;
    backend_.WriteRegister(GpioOutputEnable, mask);
    backend_.WriteRegister(GpioData, data);
    record.WpPinConfig = data;
    record.WpGpioRegister = GpioData;
  }

  if (keepsStatus) return 1;

  SfOpenPort();
  Command(kOpWriteEnable);
  WaitWhileBusy();
  if (typeCode == kTypeCodeStatusEnable) Command(kOpEnableWriteStatus);
  SfSelect();
  SfSendByte(kOpWriteStatus);
  SfSendByte(kWpStatusCleared);
  SfDeselect();
  WaitWhileBusy();
  SfClosePort();

  SetBits(GpioData, kUnprotectPinBit);
  SetBits(GpioOutputEnable, kUnprotectPinBit);
  SetBits(kUnprotectFlagRegister1, kRegisterBit0);
  SetBits(kUnprotectFlagRegister2, kRegisterBit0);
  return 1;
}

}  // namespace torvane::flash
