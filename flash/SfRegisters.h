// The controller's flash port and the neighbouring registers the serial-flash engine touches, and the
// SPI opcodes it sends. Every register is one byte wide and is reached with one register access of the
// back end; the host never speaks SPI itself.
#pragma once

#include <cstdint>

namespace torvane::flash {

// Flash port.
constexpr std::uint16_t SfPortEnable = 0x1080;       // 1 opens the port for host commands, 0 closes it
constexpr std::uint16_t SfTransferControl = 0x1081;  // 1 shifts SfTxData out, 2 shifts one byte into SfRxData
constexpr std::uint16_t SfTxData = 0x1082;
constexpr std::uint16_t SfRxData = 0x1083;           // the host writes 0 to it before every receive
constexpr std::uint16_t SfPortStatus = 0x1084;       // reads 1 when the transfer last started has completed
constexpr std::uint16_t SfStatusOpcode = 0x1087;
constexpr std::uint16_t SfReadOpcode = 0x1088;
constexpr std::uint16_t SfReadDummyBytes = 0x108C;
// 0x108D to 0x108F have no name of their own; identification sets each to 7.
constexpr std::uint16_t kPortRegister108D = 0x108D;
constexpr std::uint16_t kPortRegister108E = 0x108E;
constexpr std::uint16_t kPortRegister108F = 0x108F;
constexpr std::uint16_t SfChipSelect = 0x1091;  // 0 asserts the flash's chip select, 1 releases it
constexpr std::uint16_t SfReadyMask = 0x1092;
constexpr std::uint16_t SfReadyLevel = 0x1093;

// Values of the port registers.
constexpr std::uint8_t kPortOpen = 1;
constexpr std::uint8_t kPortClosed = 0;
constexpr std::uint8_t kChipSelectAssert = 0;
constexpr std::uint8_t kChipSelectRelease = 1;
constexpr std::uint8_t kTransferSend = 1;
constexpr std::uint8_t kTransferReceive = 2;
constexpr std::uint8_t kPortTransferDone = 1;
constexpr std::uint8_t kPortRegister108xValue = 7;

// Pins and the controller's own protection settings.
constexpr std::uint16_t GpioData = 0x1006;
constexpr std::uint16_t GpioOutputEnable = 0x1007;
constexpr std::uint16_t kProtectControlRegister = 0x1073;  // bit 0 cleared when protection goes back on
constexpr std::uint16_t kUnprotectFlagRegister1 = 0x17C1;  // bit 0 set after protection is switched off
constexpr std::uint16_t kUnprotectFlagRegister2 = 0x17C2;
constexpr std::uint16_t SfWriteEnableOpcode = 0x05F3;
constexpr std::uint16_t SfProgramOpcode = 0x05F5;
constexpr std::uint16_t kOpcodeKeyRegister0 = 0x05F8;  // 0x05F8 to 0x05FB take 0x12, 0x12, 0xED, 0xED
constexpr std::uint16_t kOpcodeKeyRegister1 = 0x05F9;
constexpr std::uint16_t kOpcodeKeyRegister2 = 0x05FA;
constexpr std::uint16_t kOpcodeKeyRegister3 = 0x05FB;
constexpr std::uint16_t kEraseModeRegister = 0x1040;  // written 0 for one firmware family before the erase

// SPI opcodes (the published serial-flash commands).
constexpr std::uint8_t kOpReadStatus = 0x05;
constexpr std::uint8_t kOpWriteEnable = 0x06;
constexpr std::uint8_t kOpWriteStatus = 0x01;
constexpr std::uint8_t kOpEnableWriteStatus = 0x50;
constexpr std::uint8_t kOpChipErase60 = 0x60;
constexpr std::uint8_t kOpChipEraseC7 = 0xC7;
constexpr std::uint8_t kOpChipErase62 = 0x62;
constexpr std::uint8_t kOpReadJedecId = 0x9F;
constexpr std::uint8_t kOpReadId15 = 0x15;
constexpr std::uint8_t kOpReadId90 = 0x90;
constexpr std::uint8_t kOpReadSignatureAB = 0xAB;
constexpr std::uint8_t kOpPageStatusD7 = 0xD7;
constexpr std::uint8_t kOpRead = 0x03;
constexpr std::uint8_t kOpPageRead = 0xE8;
constexpr std::uint8_t kOpProgram = 0x02;
constexpr std::uint8_t kOpProgramRun = 0xAF;  // programs a run of bytes (the family with type code 3)

constexpr std::uint8_t kJedecContinuation = 0x7F;
constexpr std::uint8_t kStatusBusyBit = 0x01;

}  // namespace torvane::flash
