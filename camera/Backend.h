// The device-access back end: its own camera binding (BackendBinding, made by every OpenDevice), the
// table of request builders it binds, 24 device slots, and MemoryTransfer, which splits a transfer of
// any length into window or block requests of at most eight bytes and switches to the flash's upper
// bank when a read passes 0xFFF8.
//
// Everything the back end keeps (binding, slots, ChunkSize, the bank flags) lives in this object, one
// per camera link.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

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

// OpenDevice results.
constexpr int kOpenOk = 2;
constexpr int kOpenNoDevice = -1;        // "No Device!"
constexpr int kOpenUnknownBackend = -2;  // "Unknown Backend!"
constexpr int kOpenInitFailed = 0;       // "Camera init failed!"

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
  std::uint8_t ProbeMaskRomType(std::span<std::uint8_t> buffer);

  // Slot forms: false at once, nothing sent, when the slot is not open.
  bool WriteRegister(int slot, std::uint16_t address, std::uint8_t value);
  bool ReadRegister(int slot, std::uint16_t address, std::uint8_t& value);
  bool MemoryTransfer(int slot, int mode, std::uint32_t address, std::span<std::uint8_t> buffer, std::uint32_t chunk);

  int BindBackendCamera();
  int AttachBackendCamera();

  bool SlotOpen(int slot) const;
  std::int32_t MaskRomTypeIndex(int slot) const;
  const BackendBinding& Binding() const { return BackendBinding_; }
  platform::Clock& Clock() { return clock_; }

  std::uint32_t ChunkSize = 8;
  bool WriteHighBank = false;
  bool ReadHighBank = false;

 private:
  // (implementation state: slots, operation table)
  platform::CameraPlatform& platform_;
  platform::Clock& clock_;
  BackendBinding BackendBinding_;
};

}  // namespace torvane::camera
