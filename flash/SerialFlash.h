// The serial-flash engine of one camera link: the SPI primitive steps built on the back end's register
// accesses, the two bounded waits, the back end's flash identification (IdentifyFlash, MatchJedecId,
// GetFlashTypeCode) with the state it leaves, and the shared write-protection routine.
//
// One SerialFlash lives beside each Backend and always addresses its device slot 0, the only slot this
// tool uses. It keeps no other state than the identification results below.
#pragma once

#include <array>
#include <cstdint>

#include "camera/Backend.h"

namespace torvane::flash {

// The write-protect record handed to ApplyWriteProtect and filled by it.
struct WpRecord {
  static constexpr std::uint16_t kNoRegister = 0xFFFF;
  std::uint16_t WpGpioRegister = kNoRegister;  // pin data register that was driven, kNoRegister for none
  std::uint8_t WpPinConfig = 0;                // in: pin-configuration byte; out: the value driven
};

enum class WpDirection : int { Off = 0, On = 1 };

class SerialFlash {
 public:
  // Bounds of the waits. A one-byte transfer completes within microseconds, so 1000 polls 1 ms apart
  // are ample; 10000 attempts 1 ms apart last at least 10 s, longer than a 128 KiB chip erase takes.
  static constexpr int kPortReadyPolls = 1000;
  static constexpr int kBusyAttempts = 10000;
  static constexpr std::uint32_t kPollSleepMs = 1;

  explicit SerialFlash(camera::Backend& backend) : backend_(backend) {}

  camera::Backend& backend() { return backend_; }

  // Primitive steps, each a fixed series of register accesses. Their results are not examined: the
  // workflows' blank checks and verification catch what matters.
  void SfOpenPort();
  void SfClosePort();
  void SfSelect();
  void SfDeselect();
  void SfSendByte(std::uint8_t b);
  // The received byte is 0 (what the host preset SfRxData to) when the camera does not answer the
  // read; the result says whether it answered.
  bool SfReceiveByte(std::uint8_t& value);

  // Both waits end silently at their bounds, and also at a status read the camera does not answer:
  // a camera that has stopped answering would otherwise cost every poll and every sleep of the bound
  // for each byte of a sequence. The callers' own checks report the failure.
  void WaitPortReady();
  // Polls the status register with 0x05 until its busy bit clears, then releases chip select. At the
  // bound chip select stays asserted. Expects the port open.
  void WaitWhileBusy();

  // One identification read into DetectedFlashId: opcode, dummyCount bytes 0x00, manufacturer (one
  // leading continuation code 0x7F skipped), and one or two device bytes (0xFF for the missing second).
  // Opens the port and closes it without releasing chip select; closing the port ends the frame.
  void ReadIdBytes(std::uint8_t opcode, int dummyCount, int deviceIdLength);

  // Up to four identification reads (0x9F, 0x15, 0x90, 0xAB), each looked up with MatchJedecId; stops
  // at the first known answer.
  void IdentifyFlash();
  // Looks DetectedFlashId up in JedecIdTable and stores the row found; non-zero exactly when a row other
  // than row 0 matched.
  std::uint8_t MatchJedecId();
  // -1 when slot 0 is not open (nothing sent); otherwise runs IdentifyFlash and returns FlashTypeCode.
  int GetFlashTypeCode();

  // Switches the flash's write protection off (pin, opcode registers, status register cleared) or back
  // on (pin restored from the record, register 0x1073 bit 0 cleared). 1 on success; 0 when slot 0 is
  // not open or the device-information byte cannot be read, before anything is touched.
  std::uint8_t ApplyWriteProtect(WpDirection direction, WpRecord& record);

  // Identification state, overwritten by every IdentifyFlash.
  std::array<std::uint8_t, 3> DetectedFlashId{};  // manufacturer, device byte 1, device byte 2
  std::uint8_t MatchedJedecRow = 0;
  std::uint8_t CommandSetRow = 0;
  std::uint8_t FlashTypeCode = 0;

 private:
  void Command(std::uint8_t opcode);  // select, opcode, deselect
  // Read, OR `bits` and write back; nothing is written when the read fails, so a register is never
  // overwritten with a value that was not read from it.
  void SetBits(std::uint16_t address, std::uint8_t bits);
  void ClearBits(std::uint16_t address, std::uint8_t bits);

  camera::Backend& backend_;
};

}  // namespace torvane::flash
