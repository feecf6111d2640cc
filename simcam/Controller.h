// The camera's controller as the extension unit shows it: 64 KiB of one-byte registers, the five
// selectors of the unit, the SPI flash port the host drives through registers 0x1080 to 0x1093, the
// general-purpose pins that hold the flash's write-protect input, and the flash window through which the
// controller itself reads and programs the flash.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "platform/Clock.h"
#include "platform/Result.h"
#include "simcam/FlashModel.h"
#include "simcam/SimConfig.h"
#include "simcam/SimLog.h"

namespace torvane::simcam {

// Controller registers with a behaviour of their own.
namespace reg {
constexpr std::uint16_t kRegister3C5 = 0x03C5;
constexpr std::uint16_t kSfWriteEnableOpcode = 0x05F3;
constexpr std::uint16_t kSfProgramOpcode = 0x05F5;
constexpr std::uint16_t kGpioData = 0x1006;
constexpr std::uint16_t kGpioOutputEnable = 0x1007;
constexpr std::uint16_t kChipId = 0x101F;
constexpr std::uint16_t kSfPortEnable = 0x1080;
constexpr std::uint16_t kSfTransferControl = 0x1081;
constexpr std::uint16_t kSfTxData = 0x1082;
constexpr std::uint16_t kSfRxData = 0x1083;
constexpr std::uint16_t kSfPortStatus = 0x1084;
constexpr std::uint16_t kSfStatusOpcode = 0x1087;
constexpr std::uint16_t kSfReadOpcode = 0x1088;
constexpr std::uint16_t kSfReadDummyBytes = 0x108C;
constexpr std::uint16_t kSfChipSelect = 0x1091;
constexpr std::uint16_t kSfReadyMask = 0x1092;
constexpr std::uint16_t kSfReadyLevel = 0x1093;
}  // namespace reg

// SfTransferControl commands.
constexpr std::uint8_t kTransferTransmit = 1;
constexpr std::uint8_t kTransferReceive = 2;
// What the controller clocks out while it receives a byte (the data line idles high).
constexpr std::uint8_t kReceiveFillByte = 0xFF;

// Selector 4: the controller memory that block reads answer, a fixed deterministic pattern.
std::uint8_t BlockReadPattern(std::uint16_t address);

class Controller {
 public:
  // `spiLog` receives every SPI transaction, marked with `device`; `faults` is consulted live.
  Controller(const ControllerConfig& config, const FlashPart& part, platform::Clock& clock,
             const FaultConfig& faults, std::vector<SpiTransaction>& spiLog, std::size_t device);

  // The extension unit's selectors, after the request has been checked (selector, flags, length).
  // A set carries the payload; a get fills it. Selector 0 is not handled here.
  platform::HResult Set(std::uint32_t selector, std::span<const std::uint8_t> payload);
  platform::HResult Get(std::uint32_t selector, std::span<std::uint8_t> payload);
  bool HasSelector(std::uint32_t selector) const;

  // Registers as the host reaches them through selector 1 (with every side effect).
  void WriteRegister(std::uint16_t address, std::uint8_t value);
  std::uint8_t ReadRegister(std::uint16_t address);

  // Inspection and set-up by tests, without side effects.
  std::uint8_t PeekRegister(std::uint16_t address) const { return registers_[address]; }
  void PokeRegister(std::uint16_t address, std::uint8_t value) { registers_[address] = value; }
  FlashModel& Flash() { return *flash_; }
  const FlashModel& Flash() const { return *flash_; }
  // The level on the flash's write-protect input: true high (writes allowed), false low.
  bool WriteProtectPinHigh() const;
  bool PortOpen() const { return portOpen_; }
  bool ChipSelectAsserted() const { return flash_->Selected(); }

  // The SPI log was emptied: a frame still running goes on in a fresh entry.
  void LogCleared();

 private:
  platform::HResult SetRegisterAccess(std::span<const std::uint8_t> payload);
  platform::HResult SetWindow(std::span<const std::uint8_t> payload);
  void GetWindow(std::span<std::uint8_t> payload);
  void WindowWrite(std::uint32_t address, std::span<const std::uint8_t> data);
  void ControllerFrame(std::span<const std::uint8_t> out);
  void ControllerWaitReady();
  void FlipBits(std::span<std::uint8_t> data);

  // The host's flash port.
  void OpenPort();
  void ClosePort();
  void WriteChipSelect(std::uint8_t value);
  void Transfer(std::uint8_t command);
  void ClockByte(std::uint8_t out, bool receive, std::uint8_t& in);
  void BeginHostTransaction(bool selected);
  void EndHostTransaction(FrameEnd end);
  std::uint8_t PortStatus();

  const ControllerConfig& config_;
  platform::Clock& clock_;
  const FaultConfig& faults_;
  std::vector<SpiTransaction>& spiLog_;
  std::size_t device_;
  std::unique_ptr<FlashModel> flash_;
  std::array<std::uint8_t, 0x10000> registers_{};

  // Selector 1: the register named by the last read request.
  std::uint16_t readAddress_ = 0;
  // Selector 2: the last target access, echoed.
  std::array<std::uint8_t, 8> target_{};
  // Selector 3: the read stream latched by the last read request.
  bool windowReadLatched_ = false;
  bool windowHighBank_ = false;
  std::uint16_t windowAddress_ = 0;
  std::uint8_t windowLength_ = 0;
  std::uint8_t windowControl_ = 0;
  // Selector 4: the address of the last block read request and the count asked for.
  std::uint16_t blockAddress_ = 0;
  std::uint8_t blockCount_ = 0;

  // The flash port.
  bool portOpen_ = false;
  bool hostTransactionOpen_ = false;  // spiLog_[hostTransaction_] is the host's and still running
  std::size_t hostTransaction_ = 0;
  bool transferPending_ = false;
  std::uint32_t pollsSinceTransfer_ = 0;

  std::uint64_t flipState_ = 0;
  std::uint64_t flipSeed_ = 0;  // the seed flipState_ started from
};

}  // namespace torvane::simcam
