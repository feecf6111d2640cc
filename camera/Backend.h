// The device-access back end: its own camera binding (BackendBinding, made by every OpenDevice), the
// table of request builders it binds, 24 device slots, and MemoryTransfer, which splits a transfer of
// any length into window or block requests of at most eight bytes and switches to the flash's upper
// bank when a read passes the top of the lower one.
//
// Everything the back end keeps (binding, slots, ChunkSize, the bank flags) lives in this object, one
// per camera link.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "camera/XuRequest.h"
#include "platform/CameraPlatform.h"
#include "platform/Clock.h"

namespace torvane::camera {

enum class TransferMode : int {
  WriteWindow = 6,  // XuWriteWindow
  ReadWindow = 7,   // XuRequestWindowRead, then XuFetchWindow per piece
  ReadBlocks = 9,   // XuReadBlock
};

struct BackendBinding {
  std::unique_ptr<platform::BoundDevice> filter;
  std::uint32_t nodeId = 0;
  std::array<char, 256> devicePath{};  // zero-terminated; truncated on a character boundary
};

// Copies a UTF-8 device path into the zero-terminated text of a binding: at most 255 bytes, cut
// before a character that would not fit whole.
void CopyDevicePath(std::string_view path, std::array<char, 256>& text);

// OpenDevice results.
constexpr int kOpenOk = 2;
constexpr int kOpenNoDevice = -1;        // "No Device!"
constexpr int kOpenUnknownBackend = -2;  // "Unknown Backend!"
constexpr int kOpenInitFailed = 0;       // "Camera init failed!"

// BindBackendCamera codes (any other value is the failed read of the device path).
constexpr int kBindOk = 0;
constexpr int kBindNoDevice = 1;
constexpr int kBindNoFilter = 2;

// The addresses ProbeMaskRomType reads, in order, eight bytes each in block-read mode.
inline constexpr std::array<std::uint16_t, 5> MaskRomProbeAddresses = {0x9FF8, 0xD2B2, 0xDFF8, 0xBFF8, 0xC7F8};

// The controller register whose value 3 asks for one-byte pieces (read when the probe failed).
constexpr std::uint16_t kChunkModeRegister = 0x3C5;
constexpr std::uint8_t kChunkModeSingleBytes = 3;

class Backend;

// The operation table OpenDevice binds: one entry per request builder or back-end operation.
struct BackendOps {
  bool (Backend::*registerWrite)(int, std::uint16_t, std::uint8_t) = nullptr;
  bool (Backend::*registerRead)(int, std::uint16_t, std::uint8_t&) = nullptr;
  bool (Backend::*windowCommandC8)(int) = nullptr;
  bool (Backend::*deviceInfoByte)(int, std::uint8_t&) = nullptr;
  bool (Backend::*deviceInfoWord)(int, std::uint16_t&) = nullptr;
  bool (Backend::*windowCommand40)(int, std::uint8_t, std::uint16_t) = nullptr;
  bool (Backend::*memoryTransfer)(int, int, std::uint32_t, std::span<std::uint8_t>, std::uint32_t) = nullptr;
  bool (Backend::*close)() = nullptr;
  bool (Backend::*targetWrite)(std::uint8_t, std::uint8_t, std::span<const std::uint8_t>) = nullptr;
  bool (Backend::*targetRead)(std::uint8_t, std::uint8_t, std::span<std::uint8_t>) = nullptr;
  std::string_view (Backend::*devicePath)() const = nullptr;
};

class Backend {
 public:
  static constexpr int kSlotCount = 24;
  static constexpr std::int32_t kMaskRomRow = 23;

  Backend(platform::CameraPlatform& platform, platform::Clock& clock);
  ~Backend();
  Backend(const Backend&) = delete;
  Backend& operator=(const Backend&) = delete;

  // Slot-0 forms used by the application.
  int OpenDevice();
  bool CloseDevice();
  bool WriteRegister(std::uint16_t address, std::uint8_t value);
  bool ReadRegister(std::uint16_t address, std::uint8_t& value);
  bool ReadMemory(TransferMode mode, std::uint32_t address, std::span<std::uint8_t> buffer);
  bool ReadMemory(int mode, std::uint32_t address, std::span<std::uint8_t> buffer);  // refuses unknown modes
  bool ReadDeviceInfoByte(std::uint8_t& value);
  bool ReadDeviceInfoWord(std::uint16_t& value);
  // 1 when all five probe reads succeeded (MaskRomTypeIndex of slot 0 is then 23); 0 when the buffer is
  // empty, slot 0 is not open or a read failed. The caller's buffer is not written.
  std::uint8_t ProbeMaskRomType(std::span<std::uint8_t> buffer);

  // Slot forms: false at once, nothing sent, when the slot is not open (or out of range).
  bool WriteRegister(int slot, std::uint16_t address, std::uint8_t value);
  bool ReadRegister(int slot, std::uint16_t address, std::uint8_t& value);
  bool ReadMemory(int slot, int mode, std::uint32_t address, std::span<std::uint8_t> buffer);
  bool ReadDeviceInfoByte(int slot, std::uint8_t& value);
  bool ReadDeviceInfoWord(int slot, std::uint16_t& value);
  bool Close(int slot);
  // Address: its low 16 bits go on the wire; the bank of window transfers comes from the bank flags.
  // Chunk: the piece size, 1 to 8 (larger is taken as 8; 0 is refused).
  bool MemoryTransfer(int slot, int mode, std::uint32_t address, std::span<std::uint8_t> buffer, std::uint32_t chunk);

  int BindBackendCamera();
  int AttachBackendCamera();
  bool CloseBinding();
  std::string_view GetDevicePath() const;

  // Request builders on BackendBinding. Each fails without sending anything when the binding holds
  // no device; where a set is followed by a get, the get is sent only when the set succeeded, and a
  // read leaves its outputs untouched when it fails. The slot is accepted and not used.
  bool XuWriteRegister(int slot, std::uint16_t address, std::uint8_t value);
  bool XuReadRegister(int slot, std::uint16_t address, std::uint8_t& value);
  // The field is the address bytes (one, or two when the control's bits 4-7 are 2) followed by the
  // data bytes (control bits 0-3); a field longer than five bytes, or longer than `field`, is refused.
  bool XuWriteTarget(std::uint8_t target, std::uint8_t control, std::span<const std::uint8_t> field);
  bool XuReadTarget(std::uint8_t target, std::uint8_t control, std::span<std::uint8_t> field);
  // Writes the first min(length, 8) bytes of `data` (bytes past `data` are sent as 0).
  bool XuWriteWindow(int slot, std::uint16_t address, std::uint32_t length, std::span<const std::uint8_t> data);
  bool XuRequestWindowRead(int slot, std::uint16_t address, std::uint32_t length);
  bool XuFetchWindow(int slot, std::array<std::uint8_t, 8>& data);
  // `count`: the data bytes the answer states, at most 8; `data` receives that many.
  bool XuReadBlock(int slot, std::uint16_t address, std::array<std::uint8_t, 8>& data, std::size_t& count);
  bool XuReadDeviceInfoByte(int slot, std::uint8_t& value);
  bool XuReadDeviceInfoWord(int slot, std::uint16_t& value);
  bool XuWindowCommandC8(int slot);
  bool XuWindowCommand40(int slot, std::uint8_t b, std::uint16_t w);

  bool SlotOpen(int slot) const;
  std::int32_t MaskRomTypeIndex(int slot) const;
  const BackendBinding& Binding() const { return BackendBinding_; }
  const BackendOps& Ops() const { return BackendOps_; }
  platform::Clock& Clock() { return clock_; }

  std::uint32_t ChunkSize = 8;
  bool WriteHighBank = false;
  bool ReadHighBank = false;

 private:
  struct Slot {
    std::uint8_t SlotOpen = 0;
    std::int32_t MaskRomTypeIndex = 0;
    std::array<std::uint8_t, 8> probeRecord{};
  };

  bool IsOpen(int slot) const;
  std::uint8_t ProbeMaskRomType(int slot, std::span<std::uint8_t> buffer);
  bool WindowReadTransfer(int slot, std::uint16_t address, std::span<std::uint8_t> buffer, std::uint32_t piece);
  bool WindowWriteTransfer(int slot, std::uint16_t address, std::span<std::uint8_t> buffer, std::uint32_t piece);
  bool BlockReadTransfer(int slot, std::uint16_t address, std::span<std::uint8_t> buffer, std::uint32_t piece);
  bool WindowReadStep(int slot, std::uint32_t& address, std::span<std::uint8_t> bytes);
  bool WindowReadOnce(int slot, std::uint32_t& address, std::span<std::uint8_t> bytes);
  bool WindowWriteStep(int slot, std::uint32_t& address, std::span<const std::uint8_t> bytes);
  bool Send(XuSelector selector, std::uint32_t flags, std::span<std::uint8_t> payload);

  platform::CameraPlatform& platform_;
  platform::Clock& clock_;
  BackendBinding BackendBinding_;
  BackendOps BackendOps_;
  std::array<Slot, kSlotCount> slots_{};
};

}  // namespace torvane::camera
