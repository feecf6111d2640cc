#include "simcam/FlashModel.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <system_error>

#include "rom/RomFile.h"

namespace torvane::simcam {

namespace {

constexpr std::uint8_t kIdle = 0xFF;  // what the data line reads when the flash drives nothing
constexpr std::size_t kProgramHeader = 4;  // opcode and three address bytes

}  // namespace

FlashModel::FlashModel(const FlashPart& part, platform::Clock& clock, const FaultConfig& faults,
                       std::function<bool()> writeProtectPinHigh)
    : part_(part),
      clock_(clock),
      faults_(faults),
      writeProtectPinHigh_(std::move(writeProtectPinHigh)),
      array_(part.sizeBytes, kIdle),
      status_(static_cast<std::uint8_t>(part.defaultStatus & ~kStatusBusy)) {}

void FlashModel::Settle() {
  if (busy_ && clock_.NowMs() >= busyUntil_) Complete();
}

void FlashModel::StartBusy(std::uint32_t ms, PendingKind kind) {
  pending_ = kind;
  busy_ = true;
  busyUntil_ = faults_.flashStaysBusy ? std::numeric_limits<std::uint64_t>::max() : clock_.NowMs() + ms;
  Settle();  // an operation of no time completes at once
}

void FlashModel::Complete() {
  switch (pending_) {
    case PendingKind::ChipErase:
      if (!faults_.flashIgnoresErase) std::fill(array_.begin(), array_.end(), kIdle);
      break;
    case PendingKind::Program:
      for (const auto& [address, data] : pendingProgram_) array_[address] &= data;  // programming only clears bits
      pendingProgram_.clear();
      break;
    case PendingKind::StatusWrite: {
      const std::uint8_t keep = static_cast<std::uint8_t>(status_ & ~part_.statusWritableMask);
      status_ = static_cast<std::uint8_t>(keep | (pendingStatus_ & part_.statusWritableMask));
      break;
    }
    case PendingKind::None:
      break;
  }
  pending_ = PendingKind::None;
  busy_ = false;
  ClearLatch();
}

std::uint8_t FlashModel::Status() {
  Settle();
  return static_cast<std::uint8_t>(status_ | (busy_ ? kStatusBusy : 0));
}

void FlashModel::SetStatus(std::uint8_t status) { status_ = static_cast<std::uint8_t>(status & ~kStatusBusy); }

bool FlashModel::Busy() {
  Settle();
  return busy_;
}

void FlashModel::Select() {
  Settle();
  selected_ = true;
  frame_.clear();
  frameBytes_ = 0;
  frameIgnored_ = false;
}

std::uint8_t FlashModel::Exchange(std::uint8_t out) {
  if (!selected_) return kIdle;
  Settle();
  const std::size_t index = frameBytes_++;
  // The frame is only kept as long as a command can use it; a status read may run for thousands of bytes.
  if (index < kProgramHeader + part_.pageSize + 1) frame_.push_back(out);
  if (index == 0) {
    // While busy the part listens only for its status read.
    if (busy_ && (part_.statusOpcode == 0 || out != part_.statusOpcode)) frameIgnored_ = true;
    return kIdle;
  }
  if (frameIgnored_) return kIdle;
  const std::uint8_t op = frame_[0];
  // A status read answers the current status for every byte clocked after the opcode, whatever is sent.
  if (part_.statusOpcode != 0 && op == part_.statusOpcode) return Status();
  for (const IdAnswer& id : part_.ids) {
    if (id.length == 0 || id.opcode != op) continue;
    if (index <= id.dummyBytes) return kIdle;
    return id.bytes[(index - 1 - id.dummyBytes) % id.length];
  }
  return kIdle;
}

void FlashModel::Deselect() {
  if (!selected_) return;
  selected_ = false;
  Settle();
  EndFrame();
  frame_.clear();
}

void FlashModel::EndFrame() {
  if (frame_.empty() || frameIgnored_ || busy_) return;
  const std::uint8_t op = frame_[0];
  const std::size_t n = frameBytes_;
  // One-byte commands, the chip erases among them, are executed only when the frame ends right after the
  // opcode, as on real parts: a frame held open longer (family 4's erase is held 2500 ms) only delays them.
  if (part_.writeEnableOpcode != 0 && op == part_.writeEnableOpcode) {
    if (n == 1) status_ |= kStatusWriteEnableLatch;
    return;
  }
  if (part_.writeDisableOpcode != 0 && op == part_.writeDisableOpcode) {
    if (n == 1) ClearLatch();
    return;
  }
  if ((part_.statusWriteEnable & kStatusWriteByEnableOpcode) != 0 && op == opcode::kEnableWriteStatus) {
    if (n == 1) statusWriteArmed_ = true;
    return;
  }
  if (part_.statusWriteOpcode != 0 && op == part_.statusWriteOpcode) {
    if (n != 2) return;  // not a status write: the part waits for exactly one data byte
    const bool armed = ((part_.statusWriteEnable & kStatusWriteByWriteEnable) != 0 && WriteEnabled()) ||
                       ((part_.statusWriteEnable & kStatusWriteByEnableOpcode) != 0 && statusWriteArmed_);
    statusWriteArmed_ = false;  // 0x50 arms only the next status write
    if (!armed) {
      ClearLatch();
      return;
    }
    if ((status_ & kStatusWriteProtectEnable) != 0 && !writeProtectPinHigh_()) {
      ClearLatch();  // refused: bit 7 set and the write-protect pin low
      return;
    }
    pendingStatus_ = frame_[1];
    StartBusy(part_.statusWriteMs, PendingKind::StatusWrite);
    return;
  }
  for (const std::uint8_t erase : part_.chipEraseOpcodes) {
    if (erase == 0 || op != erase) continue;
    if (n != 1 || !WriteEnabled()) return;
    if ((status_ & part_.blockProtectMask) != 0) {
      ClearLatch();
      return;
    }
    StartBusy(part_.chipEraseMs, PendingKind::ChipErase);
    return;
  }
  for (const ProgramCommand& program : part_.programCommands) {
    if (program.kind == ProgramKind::None || op != program.opcode) continue;
    EndProgram();
    return;
  }
}

void FlashModel::EndProgram() {
  if (frame_.size() < kProgramHeader + 1 || !WriteEnabled()) return;
  if ((status_ & part_.blockProtectMask) != 0) {
    ClearLatch();
    return;
  }
  ProgramKind kind = ProgramKind::None;
  for (const ProgramCommand& program : part_.programCommands)
    if (program.kind != ProgramKind::None && program.opcode == frame_[0]) kind = program.kind;
  const std::uint32_t address = static_cast<std::uint32_t>(frame_[1]) << 16 |
                                static_cast<std::uint32_t>(frame_[2]) << 8 | frame_[3];
  const std::span<const std::uint8_t> data(frame_.data() + kProgramHeader, frame_.size() - kProgramHeader);
  pendingProgram_.clear();
  switch (kind) {
    case ProgramKind::SingleByte:
      pendingProgram_.emplace_back(Mask(address), data[0]);
      break;
    case ProgramKind::Run:
      for (std::size_t i = 0; i < data.size(); ++i)
        pendingProgram_.emplace_back(Mask(address + static_cast<std::uint32_t>(i)), data[i]);
      break;
    case ProgramKind::Page: {
      // Data past the end of the page wraps to its start; a later byte for the same cell replaces the
      // earlier one in the part's page buffer.
      const std::uint32_t page = part_.pageSize;
      const std::uint32_t base = address & ~(page - 1);
      std::vector<std::int16_t> buffer(page, -1);
      for (std::size_t i = 0; i < data.size(); ++i)
        buffer[(address - base + i) % page] = data[i];
      for (std::uint32_t offset = 0; offset < page; ++offset)
        if (buffer[offset] >= 0)
          pendingProgram_.emplace_back(Mask(base + offset), static_cast<std::uint8_t>(buffer[offset]));
      break;
    }
    case ProgramKind::None:
      return;
  }
  StartBusy(part_.programMs, PendingKind::Program);
}

std::uint8_t FlashModel::ReadForController(std::uint32_t address) {
  Settle();
  if (busy_ || part_.readOpcode == 0) return kIdle;
  return array_[Mask(address)];
}

bool FlashModel::Load(const std::string& path, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const bool exists = fs::exists(path, ec);
  if (ec) {
    error = "cannot look at flash file \"" + path + "\": " + ec.message();
    return false;
  }
  if (!exists) {
    std::fill(array_.begin(), array_.end(), kIdle);
    return true;
  }
  const auto size = fs::file_size(path, ec);
  if (ec) {
    error = "cannot read flash file \"" + path + "\": " + ec.message();
    return false;
  }
  if (size != array_.size()) {
    error = "flash file \"" + path + "\" holds " + std::to_string(size) + " bytes; the part holds " +
            std::to_string(array_.size());
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes(array_.size());
  if (!in || !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) {
    error = "cannot read flash file \"" + path + "\"";
    return false;
  }
  array_ = std::move(bytes);
  return true;
}

bool FlashModel::Save(const std::string& path, std::string& error) const {
  // The same atomic replacement as every file the tool writes: a temporary file beside the target,
  // synced, then renamed over it; a failure leaves the old file as it was.
  rom::AtomicFileWriter writer;
  switch (writer.Write(path, array_)) {
    case rom::AtomicFileWriter::Result::Written: return true;
    case rom::AtomicFileWriter::Result::CannotCreate:
      error = "cannot write flash file \"" + path + "\"";
      return false;
    case rom::AtomicFileWriter::Result::Failed: break;
  }
  error = "cannot replace flash file \"" + path + "\"";
  return false;
}

}  // namespace torvane::simcam
