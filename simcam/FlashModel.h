// The SPI serial flash: its array, status register, write-enable latch and busy time, driven one byte
// at a time inside chip-select frames, as a real part is. A command takes effect when its frame ends.
//
// Strict like a real part: unknown opcodes read 0xFF and do nothing; the write-enable latch is required
// for program and erase (and for a status write, unless the part arms it with 0x50); a status write is
// refused while bit 7 is set and the write-protect pin is low; program and chip erase are refused while
// any block-protect bit is set; program only clears bits; while busy only the status read is honoured.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "simcam/FlashCatalogue.h"
#include "simcam/SimConfig.h"

namespace torvane::simcam {

class FlashModel {
 public:
  // `faults` and `writeProtectPinHigh` are consulted live, so faults can be switched on mid-test.
  FlashModel(const FlashPart& part, platform::Clock& clock, const FaultConfig& faults,
             std::function<bool()> writeProtectPinHigh);

  const FlashPart& Part() const { return part_; }

  // The bus side: chip select asserted, one byte exchanged, chip select released.
  void Select();
  std::uint8_t Exchange(std::uint8_t out);
  void Deselect();
  bool Selected() const { return selected_; }

  // The array as the controller's read command sees it: 0xFF while busy or when the part answers no
  // read. `address` is taken modulo the part's size (a 64 KiB part answers the upper bank as the lower).
  std::uint8_t ReadForController(std::uint32_t address);

  // Inspection and set-up by tests and the simulator (no SPI, no timing).
  std::uint8_t Status();                 // current status, busy bit included
  void SetStatus(std::uint8_t status);   // writes the register directly, as a programmer would
  bool Busy();
  std::vector<std::uint8_t>& Contents() {  // completes an operation whose time has passed first
    Settle();
    return array_;
  }
  const std::vector<std::uint8_t>& Contents() const { return array_; }

  // Persistence of the array in a raw file of the part's size. Load: a missing file means blank (0xFF);
  // a file of another size is refused. Save: a temporary file beside the target, then a rename.
  bool Load(const std::string& path, std::string& error);
  bool Save(const std::string& path, std::string& error) const;

 private:
  enum class PendingKind { None, ChipErase, Program, StatusWrite };

  void Settle();  // completes the operation in progress once its time has passed
  void StartBusy(std::uint32_t ms, PendingKind kind);
  void Complete();
  void EndFrame();
  void EndProgram();
  bool WriteEnabled() const { return (status_ & kStatusWriteEnableLatch) != 0; }
  void ClearLatch() { status_ = static_cast<std::uint8_t>(status_ & ~kStatusWriteEnableLatch); }
  std::uint32_t Mask(std::uint32_t address) const { return address & (part_.sizeBytes - 1); }

  const FlashPart& part_;
  platform::Clock& clock_;
  const FaultConfig& faults_;
  std::function<bool()> writeProtectPinHigh_;

  std::vector<std::uint8_t> array_;
  std::uint8_t status_ = 0;        // bits kept by the register; busy is derived from busyUntil_
  bool statusWriteArmed_ = false;  // by 0x50

  bool busy_ = false;
  std::uint64_t busyUntil_ = 0;
  PendingKind pending_ = PendingKind::None;
  std::vector<std::pair<std::uint32_t, std::uint8_t>> pendingProgram_;
  std::uint8_t pendingStatus_ = 0;

  // The frame in progress.
  bool selected_ = false;
  std::vector<std::uint8_t> frame_;  // bytes received by the flash in this frame (as many as a command uses)
  std::size_t frameBytes_ = 0;       // bytes clocked in this frame
  bool frameIgnored_ = false;        // its opcode arrived while busy
};

}  // namespace torvane::simcam
