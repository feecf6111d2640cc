#include "simcam/Controller.h"

#include <algorithm>

namespace torvane::simcam {

namespace {

// Selector 1 direction markers, selector 3 control bits, selector 2 direction.
constexpr std::uint8_t kDirectionWrite = 0x00;
constexpr std::uint8_t kDirectionRead = 0xFF;
constexpr std::uint8_t kWindowRead = 0x80;
constexpr std::uint8_t kWindowVendorCommand = 0x40;  // the unit's own commands; the model takes no action on them
constexpr std::uint8_t kWindowHighBank = 0x10;
constexpr std::uint8_t kWindowLengthMask = 0x0F;
constexpr std::uint8_t kWindowMaxLength = 8;
constexpr std::size_t kWindowData = 3;  // data bytes start here in selectors 3 and 4
constexpr std::uint32_t kHighBank = 0x10000;
constexpr std::uint8_t kBlockMaxCount = 8;

// The controller waits for the flash after programming by reading its status, one byte per
// millisecond, in one frame. It gives up after this many reads (a real controller's firmware has a
// bound too; the window write is answered either way and the host's verification finds the loss).
constexpr std::uint32_t kControllerWaitPolls = 200;

std::uint64_t SplitMix64(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::uint16_t Address16(std::span<const std::uint8_t> payload) {
  return static_cast<std::uint16_t>(payload[0] | payload[1] << 8);
}

}  // namespace

std::uint8_t BlockReadPattern(std::uint16_t address) {
  // Fixed and deterministic, and not a plain counter, so a read from the wrong address shows.
  return static_cast<std::uint8_t>((address * 0x9Du) ^ (address >> 8) ^ 0x5Au);
}

Controller::Controller(const ControllerConfig& config, const FlashPart& part, platform::Clock& clock,
                       const FaultConfig& faults, std::vector<SpiTransaction>& spiLog, std::size_t device)
    : config_(config), clock_(clock), faults_(faults), spiLog_(spiLog), device_(device) {
  flash_ = std::make_unique<FlashModel>(part, clock, faults, [this] { return WriteProtectPinHigh(); });
  registers_[reg::kChipId] = config.chipId;
  registers_[reg::kRegister3C5] = config.register3C5;
  registers_[reg::kSfWriteEnableOpcode] = opcode::kWriteEnable;
  registers_[reg::kSfProgramOpcode] = opcode::kPageProgram;
}

bool Controller::HasSelector(std::uint32_t selector) const {
  switch (selector) {
    case 1:
    case 2:
    case 3:
    case 5:
      return true;
    case 4:
      return config_.blockRead;
    default:
      return false;
  }
}

bool Controller::WriteProtectPinHigh() const {
  const std::uint8_t mask = static_cast<std::uint8_t>(1u << (config_.writeProtectPin & 7u));
  if ((registers_[reg::kGpioOutputEnable] & mask) != 0) return (registers_[reg::kGpioData] & mask) != 0;
  return !config_.undrivenPinLow;
}

// ---- selectors ----

platform::HResult Controller::Set(std::uint32_t selector, std::span<const std::uint8_t> payload) {
  switch (selector) {
    case 1:
      return SetRegisterAccess(payload);
    case 2:
      // The model has no target devices behind selector 2: it keeps the request and a get echoes it. The
      // tool binds its target builders but no operation sends them; their tests check the wire bytes.
      std::copy_n(payload.begin(), target_.size(), target_.begin());
      return platform::kS_OK;
    case 3:
      return SetWindow(payload);
    case 4:
      blockAddress_ = Address16(payload);
      blockCount_ = std::min(payload[2], kBlockMaxCount);
      return platform::kS_OK;
    default:
      return platform::kE_NOTIMPL;  // selector 5 has no set
  }
}

platform::HResult Controller::Get(std::uint32_t selector, std::span<std::uint8_t> payload) {
  std::fill(payload.begin(), payload.end(), std::uint8_t{0});
  switch (selector) {
    case 1: {
      const std::uint8_t value = ReadRegister(readAddress_);
      payload[0] = static_cast<std::uint8_t>(readAddress_);
      payload[1] = static_cast<std::uint8_t>(readAddress_ >> 8);
      payload[2] = value;
      payload[3] = kDirectionRead;
      return platform::kS_OK;
    }
    case 2:
      std::copy(target_.begin(), target_.end(), payload.begin());
      return platform::kS_OK;
    case 3:
      GetWindow(payload);
      return platform::kS_OK;
    case 4:
      payload[0] = static_cast<std::uint8_t>(blockAddress_);
      payload[1] = static_cast<std::uint8_t>(blockAddress_ >> 8);
      payload[2] = blockCount_;
      for (std::uint8_t i = 0; i < blockCount_; ++i)
        payload[kWindowData + i] = BlockReadPattern(static_cast<std::uint16_t>(blockAddress_ + i));
      FlipBits(payload.subspan(kWindowData, blockCount_));
      return platform::kS_OK;
    case 5:
      payload[0] = static_cast<std::uint8_t>(config_.deviceInfoWord);
      payload[1] = static_cast<std::uint8_t>(config_.deviceInfoWord >> 8);
      payload[2] = config_.deviceInfoMode;
      return platform::kS_OK;
    default:
      return platform::kE_PROP_ID_UNSUPPORTED;
  }
}

platform::HResult Controller::SetRegisterAccess(std::span<const std::uint8_t> payload) {
  const std::uint16_t address = Address16(payload);
  switch (payload[3]) {
    case kDirectionWrite:
      WriteRegister(address, payload[2]);
      return platform::kS_OK;
    case kDirectionRead:
      readAddress_ = address;  // the value is taken when the get arrives
      return platform::kS_OK;
    default:
      return platform::kE_INVALIDARG;
  }
}

platform::HResult Controller::SetWindow(std::span<const std::uint8_t> payload) {
  const std::uint8_t control = payload[2];
  const std::uint8_t length = control & kWindowLengthMask;
  if (length > kWindowMaxLength) return platform::kE_INVALIDARG;
  if ((control & kWindowVendorCommand) != 0) return platform::kS_OK;
  const bool high = (control & kWindowHighBank) != 0;
  if ((control & kWindowRead) != 0) {
    windowReadLatched_ = true;
    windowHighBank_ = high;
    windowAddress_ = Address16(payload);
    windowLength_ = length;
    windowControl_ = control;
    return platform::kS_OK;
  }
  windowReadLatched_ = false;
  WindowWrite((high ? kHighBank : 0) | Address16(payload), payload.subspan(kWindowData, length));
  return platform::kS_OK;
}

void Controller::GetWindow(std::span<std::uint8_t> payload) {
  if (!windowReadLatched_) return;  // nothing latched: an empty answer
  payload[0] = static_cast<std::uint8_t>(windowAddress_);
  payload[1] = static_cast<std::uint8_t>(windowAddress_ >> 8);
  payload[2] = windowControl_;
  for (std::uint8_t i = 0; i < windowLength_; ++i) {
    // The counter wraps inside its bank; moving to the other bank is the host's business.
    const std::uint32_t address = (windowHighBank_ ? kHighBank : 0) | static_cast<std::uint16_t>(windowAddress_ + i);
    // While the host holds the port, the controller cannot reach the flash and reads the idle line.
    payload[kWindowData + i] = portOpen_ ? std::uint8_t{0xFF} : flash_->ReadForController(address);
  }
  windowAddress_ = static_cast<std::uint16_t>(windowAddress_ + windowLength_);
  FlipBits(payload.subspan(kWindowData, windowLength_));
}

void Controller::WindowWrite(std::uint32_t address, std::span<const std::uint8_t> data) {
  if (data.empty() || portOpen_) return;  // nothing to program, or the bus is the host's
  // The controller programs with the opcodes it holds, whatever the part accepts.
  ControllerFrame(std::array{registers_[reg::kSfWriteEnableOpcode]});
  std::vector<std::uint8_t> program{registers_[reg::kSfProgramOpcode], static_cast<std::uint8_t>(address >> 16),
                                    static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
  program.insert(program.end(), data.begin(), data.end());
  ControllerFrame(program);
  ControllerWaitReady();
}

void Controller::ControllerFrame(std::span<const std::uint8_t> out) {
  SpiTransaction t;
  t.device = device_;
  t.source = SpiSource::Controller;
  t.startMs = clock_.NowMs();
  flash_->Select();
  for (const std::uint8_t b : out) t.bytes.push_back(SpiByte{b, flash_->Exchange(b), false});
  flash_->Deselect();
  t.end = FrameEnd::Deselect;
  t.endMs = clock_.NowMs();
  spiLog_.push_back(std::move(t));
}

void Controller::ControllerWaitReady() {
  // The status opcode and ready bit the host configured for the family; the common ones until then.
  const std::uint8_t statusOpcode =
      registers_[reg::kSfStatusOpcode] != 0 ? registers_[reg::kSfStatusOpcode] : opcode::kReadStatus;
  const std::uint8_t readyMask = registers_[reg::kSfReadyMask] != 0 ? registers_[reg::kSfReadyMask] : kStatusBusy;
  const bool readyLevel = (registers_[reg::kSfReadyLevel] & 1) != 0;
  SpiTransaction t;
  t.device = device_;
  t.source = SpiSource::Controller;
  t.startMs = clock_.NowMs();
  flash_->Select();
  t.bytes.push_back(SpiByte{statusOpcode, flash_->Exchange(statusOpcode), false});
  for (std::uint32_t poll = 0; poll < kControllerWaitPolls; ++poll) {
    const std::uint8_t status = flash_->Exchange(kReceiveFillByte);
    t.bytes.push_back(SpiByte{kReceiveFillByte, status, true});
    if (((status & readyMask) != 0) == readyLevel) break;
    clock_.SleepMs(1);
  }
  flash_->Deselect();
  t.end = FrameEnd::Deselect;
  t.endMs = clock_.NowMs();
  spiLog_.push_back(std::move(t));
}

void Controller::FlipBits(std::span<std::uint8_t> data) {
  if (faults_.bitFlipEvery == 0 || data.empty()) return;
  if (faults_.bitFlipSeed != flipSeed_ || flipState_ == 0) {
    flipSeed_ = faults_.bitFlipSeed;
    flipState_ = flipSeed_ ^ 0xA5A5A5A5A5A5A5A5ull;  // never 0, so a fresh start is recognisable
  }
  const std::uint64_t r = SplitMix64(flipState_);
  if (r % faults_.bitFlipEvery != 0) return;
  const std::uint64_t bit = (r >> 32) % (data.size() * 8);
  data[bit / 8] = static_cast<std::uint8_t>(data[bit / 8] ^ (1u << (bit % 8)));
}

// ---- registers and the flash port ----

void Controller::WriteRegister(std::uint16_t address, std::uint8_t value) {
  registers_[address] = value;
  switch (address) {
    case reg::kSfPortEnable:
      if ((value & 1) != 0)
        OpenPort();
      else
        ClosePort();
      break;
    case reg::kSfChipSelect:
      WriteChipSelect(value);
      break;
    case reg::kSfTransferControl:
      Transfer(value);
      break;
    default:
      break;
  }
}

std::uint8_t Controller::ReadRegister(std::uint16_t address) {
  if (address == reg::kSfPortStatus) return PortStatus();
  return registers_[address];
}

void Controller::OpenPort() {
  // Opening hands the bus to the host with chip select released; a frame starts only with a write of
  // 0 to SfChipSelect while the port is open.
  portOpen_ = true;
}

void Controller::ClosePort() {
  if (!portOpen_) return;
  // The controller takes the bus back and releases chip select: whatever frame was running ends here.
  flash_->Deselect();
  EndHostTransaction(FrameEnd::PortClosed);
  portOpen_ = false;
}

void Controller::WriteChipSelect(std::uint8_t value) {
  if (!portOpen_) return;  // the controller owns the bus; the register is stored and nothing else happens
  if ((value & 1) == 0) {
    if (flash_->Selected()) return;  // already selected: the frame goes on
    EndHostTransaction(FrameEnd::Selected);
    flash_->Select();
    BeginHostTransaction(true);
    return;
  }
  if (!flash_->Selected()) return;
  flash_->Deselect();
  EndHostTransaction(FrameEnd::Deselect);
}

// The byte shifts at once: on the bus it takes microseconds and each request of the host a USB round trip,
// so on real parts too it is in place by the host's next request. Only the completion report is held back
// (port_ready_after, the never-ready fault), to exercise the host's wait.
void Controller::Transfer(std::uint8_t command) {
  if (!portOpen_) return;  // nothing is shifted while the controller owns the bus
  std::uint8_t in = 0;
  if (command == kTransferTransmit) {
    ClockByte(registers_[reg::kSfTxData], false, in);
  } else if (command == kTransferReceive) {
    ClockByte(kReceiveFillByte, true, in);
    registers_[reg::kSfRxData] = in;
  } else {
    return;
  }
  transferPending_ = true;
  pollsSinceTransfer_ = 0;
}

void Controller::ClockByte(std::uint8_t out, bool receive, std::uint8_t& in) {
  const bool selected = flash_->Selected();
  in = selected ? flash_->Exchange(out) : std::uint8_t{0xFF};
  if (!hostTransactionOpen_) BeginHostTransaction(selected);
  spiLog_[hostTransaction_].bytes.push_back(SpiByte{out, in, receive});
}

void Controller::BeginHostTransaction(bool selected) {
  SpiTransaction t;
  t.device = device_;
  t.source = SpiSource::Host;
  t.selected = selected;
  t.startMs = clock_.NowMs();
  spiLog_.push_back(std::move(t));
  hostTransaction_ = spiLog_.size() - 1;
  hostTransactionOpen_ = true;
}

void Controller::EndHostTransaction(FrameEnd end) {
  if (!hostTransactionOpen_) return;
  spiLog_[hostTransaction_].end = end;
  spiLog_[hostTransaction_].endMs = clock_.NowMs();
  hostTransactionOpen_ = false;
}

void Controller::LogCleared() {
  if (!hostTransactionOpen_) return;
  hostTransactionOpen_ = false;
  BeginHostTransaction(flash_->Selected());
}

std::uint8_t Controller::PortStatus() {
  if (faults_.portNeverReady) return 0;
  if (!transferPending_) return 1;
  if (pollsSinceTransfer_ >= config_.portReadyAfterPolls) {
    transferPending_ = false;
    return 1;
  }
  ++pollsSinceTransfer_;
  return 0;
}

}  // namespace torvane::simcam
