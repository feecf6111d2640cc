#include "camera/Backend.h"

#include <algorithm>
#include <string>

#include "camera/CameraLink.h"

namespace torvane::camera {

namespace {

using platform::HResult;
using platform::kS_OK;

// The serial flash: 128 KiB in two banks of 64 KiB; the wire carries 16 address bits and the bank is
// a control bit.
constexpr std::uint32_t kBankSize = 0x10000;
constexpr std::uint32_t kFlashSize = 2 * kBankSize;

constexpr std::uint8_t Low(std::uint32_t value) { return static_cast<std::uint8_t>(value & 0xFF); }
constexpr std::uint8_t High(std::uint32_t value) { return static_cast<std::uint8_t>((value >> 8) & 0xFF); }

// The length field of a window control byte: at most the eight bytes of the window.
constexpr std::uint8_t WindowLength(std::uint32_t length) {
  return static_cast<std::uint8_t>(std::min<std::uint32_t>(length, kWindowBytes));
}

// Field length of a target access: address width (two bytes when the code in bits 4-7 is 2, else
// one) plus the data count in bits 0-3.
constexpr std::size_t TargetAddressWidth(std::uint8_t control) { return (control >> 4) == 2 ? 2 : 1; }
constexpr std::size_t TargetFieldLength(std::uint8_t control) {
  return TargetAddressWidth(control) + (control & 0x0F);
}

}  // namespace

void CopyDevicePath(std::string_view path, std::array<char, 256>& text) {
  text.fill('\0');
  std::size_t length = std::min(path.size(), text.size() - 1);
  if (length < path.size()) {
    // Cut before the character the bound splits: step back over continuation bytes (10xxxxxx) to its
    // first byte. A UTF-8 character has at most three continuation bytes; text that is not UTF-8 is
    // cut at the bound.
    std::size_t cut = length;
    for (int back = 0; back < 3 && cut > 0 && (static_cast<unsigned char>(path[cut]) & 0xC0) == 0x80; ++back) --cut;
    if ((static_cast<unsigned char>(path[cut]) & 0xC0) != 0x80) length = cut;
  }
  std::copy_n(path.begin(), length, text.begin());
}

Backend::Backend(platform::CameraPlatform& platform, platform::Clock& clock) : platform_(platform), clock_(clock) {}

Backend::~Backend() = default;

// ---- Discovery -------------------------------------------------------------------------------

int Backend::BindBackendCamera() {
  // The new discovery replaces the old binding: release its device first.
  BackendBinding_.filter.reset();
  BackendBinding_.devicePath.fill('\0');

  std::size_t count = 0;
  if (platform_.EnumerateDevices(count) != kS_OK || count == 0) return kBindNoDevice;

  int code = kBindNoFilter;
  for (std::size_t index = 0; index < count; ++index) {
    std::string friendlyName;  // read as a presence test only
    if (platform_.ReadFriendlyName(index, friendlyName) != kS_OK) continue;
    std::unique_ptr<platform::BoundDevice> device;
    if (platform_.BindDevice(index, device) != kS_OK || !device) continue;
    BackendBinding_.filter = std::move(device);

    // The first device that binds is taken, without a chip-id test; node 1 when the search fails.
    if (!FindXuNode(*BackendBinding_.filter, BackendBinding_.nodeId)) BackendBinding_.nodeId = 1;
    std::string path;
    const HResult read = platform_.ReadDevicePath(index, path);
    if (read == kS_OK) {
      CopyDevicePath(path, BackendBinding_.devicePath);
      code = kBindOk;
    } else {
      // The read's own code, unless it is positive: 1 and 2 would read as "no device" and "no filter".
      code = platform::Failed(read) ? read : platform::kE_FAIL;
    }
    break;
  }
  if (!BackendBinding_.filter) code = kBindNoFilter;
  return code;
}

int Backend::AttachBackendCamera() {
  switch (BindBackendCamera()) {
    case kBindOk:
      return 1;
    case kBindNoDevice:
      return 0;
    case kBindNoFilter:
      return -1;
    default:
      return -2;
  }
}

bool Backend::CloseBinding() {
  BackendBinding_.filter.reset();
  return true;
}

std::string_view Backend::GetDevicePath() const { return BackendBinding_.devicePath.data(); }

// ---- Slots and the slot-0 forms --------------------------------------------------------------

bool Backend::IsOpen(int slot) const {
  return slot >= 0 && slot < kSlotCount && slots_[static_cast<std::size_t>(slot)].SlotOpen != 0;
}

bool Backend::SlotOpen(int slot) const { return IsOpen(slot); }

std::int32_t Backend::MaskRomTypeIndex(int slot) const {
  if (slot < 0 || slot >= kSlotCount) return 0;
  return slots_[static_cast<std::size_t>(slot)].MaskRomTypeIndex;
}

int Backend::OpenDevice() {
  WriteHighBank = false;
  ReadHighBank = false;

  switch (AttachBackendCamera()) {
    case 1:
      break;
    case 0:
      return kOpenNoDevice;
    case -1:
      return kOpenUnknownBackend;
    default:
      return kOpenInitFailed;
  }

  constexpr int slot = 0;
  Slot& state = slots_[slot];
  BackendOps_.registerWrite = &Backend::XuWriteRegister;
  BackendOps_.registerRead = &Backend::XuReadRegister;
  BackendOps_.windowCommandC8 = &Backend::XuWindowCommandC8;
  BackendOps_.deviceInfoByte = &Backend::XuReadDeviceInfoByte;
  BackendOps_.deviceInfoWord = &Backend::XuReadDeviceInfoWord;
  BackendOps_.windowCommand40 = &Backend::XuWindowCommand40;
  BackendOps_.memoryTransfer = &Backend::MemoryTransfer;
  BackendOps_.close = &Backend::CloseBinding;
  BackendOps_.targetWrite = &Backend::XuWriteTarget;
  BackendOps_.targetRead = &Backend::XuReadTarget;
  BackendOps_.devicePath = &Backend::GetDevicePath;
  ChunkSize = kWindowBytes;
  state.SlotOpen = 1;

  ProbeMaskRomType(slot, state.probeRecord);

  if (state.MaskRomTypeIndex == 0) {
    // The controller refused the block reads: its register 0x3C5 tells whether window reads must go
    // one byte at a time. The slot stays open when the register cannot be read.
    std::uint8_t mode = 0;
    if (!(this->*BackendOps_.registerRead)(slot, kChunkModeRegister, mode)) return kOpenInitFailed;
    if (mode == kChunkModeSingleBytes) ChunkSize = 1;
  }
  return kOpenOk;
}

bool Backend::Close(int slot) {
  if (!IsOpen(slot)) return false;
  slots_[static_cast<std::size_t>(slot)].SlotOpen = 0;
  return (this->*BackendOps_.close)();
}

bool Backend::CloseDevice() { return Close(0); }

bool Backend::WriteRegister(int slot, std::uint16_t address, std::uint8_t value) {
  if (!IsOpen(slot)) return false;
  return (this->*BackendOps_.registerWrite)(slot, address, value);
}

bool Backend::ReadRegister(int slot, std::uint16_t address, std::uint8_t& value) {
  if (!IsOpen(slot)) return false;
  return (this->*BackendOps_.registerRead)(slot, address, value);
}

bool Backend::ReadMemory(int slot, int mode, std::uint32_t address, std::span<std::uint8_t> buffer) {
  if (!IsOpen(slot)) return false;
  return (this->*BackendOps_.memoryTransfer)(slot, mode, address, buffer, ChunkSize);
}

bool Backend::ReadDeviceInfoByte(int slot, std::uint8_t& value) {
  if (!IsOpen(slot)) return false;
  return (this->*BackendOps_.deviceInfoByte)(slot, value);
}

bool Backend::ReadDeviceInfoWord(int slot, std::uint16_t& value) {
  if (!IsOpen(slot)) return false;
  return (this->*BackendOps_.deviceInfoWord)(slot, value);
}

bool Backend::WriteRegister(std::uint16_t address, std::uint8_t value) { return WriteRegister(0, address, value); }
bool Backend::ReadRegister(std::uint16_t address, std::uint8_t& value) { return ReadRegister(0, address, value); }
bool Backend::ReadMemory(TransferMode mode, std::uint32_t address, std::span<std::uint8_t> buffer) {
  return ReadMemory(0, static_cast<int>(mode), address, buffer);
}
bool Backend::ReadMemory(int mode, std::uint32_t address, std::span<std::uint8_t> buffer) {
  return ReadMemory(0, mode, address, buffer);
}
bool Backend::ReadDeviceInfoByte(std::uint8_t& value) { return ReadDeviceInfoByte(0, value); }
bool Backend::ReadDeviceInfoWord(std::uint16_t& value) { return ReadDeviceInfoWord(0, value); }

std::uint8_t Backend::ProbeMaskRomType(std::span<std::uint8_t> buffer) {
  if (!IsOpen(0)) return 0;
  return ProbeMaskRomType(0, buffer);
}

std::uint8_t Backend::ProbeMaskRomType(int slot, std::span<std::uint8_t> buffer) {
  if (buffer.empty() || BackendOps_.memoryTransfer == nullptr) return 0;
  // The probe tests only that the controller answers block reads at all five addresses; what they
  // read is not looked at, and the caller's buffer is not written.
  std::array<std::uint8_t, kWindowBytes> scratch{};
  for (const std::uint16_t address : MaskRomProbeAddresses) {
    if (!(this->*BackendOps_.memoryTransfer)(slot, static_cast<int>(TransferMode::ReadBlocks), address, scratch,
                                              kWindowBytes))
      return 0;
  }
  slots_[static_cast<std::size_t>(slot)].MaskRomTypeIndex = kMaskRomRow;
  return 1;
}

// ---- Memory transfer -------------------------------------------------------------------------

bool Backend::MemoryTransfer(int slot, int mode, std::uint32_t address, std::span<std::uint8_t> buffer,
                             std::uint32_t chunk) {
  if (!IsOpen(slot)) return false;
  if (mode != static_cast<int>(TransferMode::WriteWindow) && mode != static_cast<int>(TransferMode::ReadWindow) &&
      mode != static_cast<int>(TransferMode::ReadBlocks))
    return false;
  if (chunk == 0) return false;  // a piece of no bytes would never advance
  const std::uint32_t piece = std::min<std::uint32_t>(chunk, kWindowBytes);
  const auto wireAddress = static_cast<std::uint16_t>(address & 0xFFFF);
  switch (static_cast<TransferMode>(mode)) {
    case TransferMode::WriteWindow:
      return WindowWriteTransfer(slot, wireAddress, buffer, piece);
    case TransferMode::ReadWindow:
      return WindowReadTransfer(slot, wireAddress, buffer, piece);
    case TransferMode::ReadBlocks:
      return BlockReadTransfer(slot, wireAddress, buffer, piece);
  }
  return false;
}

// Reads stream: one read request starts a run, and each fetch returns the next `piece` bytes. A step
// never runs past 0xFFFF of the low bank: the step that reads the byte at 0xFFFF turns ReadHighBank on,
// and the transfer goes on at address 0 of the high bank with a new read request.
bool Backend::WindowReadTransfer(int slot, std::uint16_t address, std::span<std::uint8_t> buffer,
                                 std::uint32_t piece) {
  const std::size_t length = buffer.size();
  // Nothing lies above the high bank: a read past the top of the flash is refused whole.
  if ((ReadHighBank ? kBankSize : 0) + address + length > kFlashSize) return false;

  std::uint32_t a = address;
  std::size_t n = length / piece;
  std::size_t r = length % piece;
  if (n == 0) return WindowReadStep(slot, a, buffer.first(r));

  std::size_t pos = 0;
  bool runOpen = false;
  while (n > 0) {
    if (!ReadHighBank && a + piece > kBankSize) {
      // The next piece would straddle the end of the low bank (possible only when the start or the
      // piece size is not aligned to it): read up to 0xFFFF alone, then split the rest anew.
      const std::size_t upToTop = kBankSize - a;
      if (!WindowReadStep(slot, a, buffer.subspan(pos, upToTop))) return false;
      pos += upToTop;
      runOpen = false;
      n = (length - pos) / piece;
      r = (length - pos) % piece;
      continue;
    }
    if (!runOpen) {
      if (!XuRequestWindowRead(slot, static_cast<std::uint16_t>(a), piece)) return false;
      runOpen = true;
    }
    std::array<std::uint8_t, kWindowBytes> fetched{};
    if (!XuFetchWindow(slot, fetched)) return false;
    std::copy_n(fetched.begin(), piece, buffer.begin() + static_cast<std::ptrdiff_t>(pos));
    pos += piece;
    --n;
    a += piece;
    if (a == kBankSize) {
      // The piece just fetched ended at 0xFFFF: the rest lies in the high bank, from its address 0.
      ReadHighBank = true;
      a = 0;
      runOpen = false;
    }
  }
  if (r == 0) return true;
  return WindowReadStep(slot, a, buffer.subspan(pos, r));
}

// One read request and one fetch for `bytes` (0 to 8 bytes), cut in two at the end of the low bank.
bool Backend::WindowReadStep(int slot, std::uint32_t& address, std::span<std::uint8_t> bytes) {
  if (ReadHighBank || address + bytes.size() <= kBankSize) return WindowReadOnce(slot, address, bytes);
  const std::size_t upToTop = kBankSize - address;
  return WindowReadOnce(slot, address, bytes.first(upToTop)) &&
         WindowReadOnce(slot, address, bytes.subspan(upToTop));
}

bool Backend::WindowReadOnce(int slot, std::uint32_t& address, std::span<std::uint8_t> bytes) {
  const auto length = static_cast<std::uint32_t>(bytes.size());
  if (!XuRequestWindowRead(slot, static_cast<std::uint16_t>(address), length)) return false;
  std::array<std::uint8_t, kWindowBytes> fetched{};
  if (!XuFetchWindow(slot, fetched)) return false;
  std::copy_n(fetched.begin(), bytes.size(), bytes.begin());
  address += length;
  if (address == kBankSize) {
    ReadHighBank = true;
    address = 0;
  }
  return true;
}

// Writes are aligned to the piece size first, then written piece by piece, then the remainder. The
// bank follows XuWriteWindow's own rule (the write that reaches 0xFFFF of the low bank turns
// WriteHighBank on); a step that would straddle that end is cut there.
bool Backend::WindowWriteTransfer(int slot, std::uint16_t address, std::span<std::uint8_t> buffer,
                                  std::uint32_t piece) {
  const std::size_t length = buffer.size();
  // A write past the top of the flash would wrap into the high bank's start: refused whole, nothing sent.
  if ((WriteHighBank ? kBankSize : 0) + address + length > kFlashSize) return false;

  std::uint32_t a = address;
  std::size_t pos = 0;
  if (a % piece != 0) {
    const std::size_t toAlign = piece - a % piece;
    if (toAlign >= length) return WindowWriteStep(slot, a, buffer);
    if (!WindowWriteStep(slot, a, buffer.first(toAlign))) return false;
    pos = toAlign;
  }
  const std::size_t n = (length - pos) / piece;
  const std::size_t r = (length - pos) % piece;
  if (n == 0) return WindowWriteStep(slot, a, buffer.subspan(pos, r));
  for (std::size_t i = 0; i < n; ++i) {
    if (!WindowWriteStep(slot, a, buffer.subspan(pos, piece))) return false;
    pos += piece;
  }
  if (r == 0) return true;
  return WindowWriteStep(slot, a, buffer.subspan(pos, r));
}

bool Backend::WindowWriteStep(int slot, std::uint32_t& address, std::span<const std::uint8_t> bytes) {
  std::span<const std::uint8_t> first = bytes;
  if (!WriteHighBank && address + bytes.size() > kBankSize) first = bytes.first(kBankSize - address);
  if (!XuWriteWindow(slot, static_cast<std::uint16_t>(address), static_cast<std::uint32_t>(first.size()), first))
    return false;
  address += static_cast<std::uint32_t>(first.size());
  if (address >= kBankSize) address -= kBankSize;
  if (first.size() == bytes.size()) return true;
  return WindowWriteStep(slot, address, bytes.subspan(first.size()));
}

// Block reads ask for eight bytes each and store the bytes the answer holds, at most the piece. They
// read controller memory, which has one 16-bit address space and no banks.
bool Backend::BlockReadTransfer(int slot, std::uint16_t address, std::span<std::uint8_t> buffer,
                                std::uint32_t piece) {
  const auto readInto = [&](std::uint16_t at, std::span<std::uint8_t> bytes) {
    std::array<std::uint8_t, kWindowBytes> data{};
    std::size_t count = 0;
    if (!XuReadBlock(slot, at, data, count)) return false;
    std::copy_n(data.begin(), std::min(count, bytes.size()), bytes.begin());
    return true;
  };
  const std::size_t n = buffer.size() / piece;
  const std::size_t r = buffer.size() % piece;
  if (n == 0) return readInto(address, buffer.first(r));
  std::uint16_t a = address;
  std::size_t pos = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!readInto(a, buffer.subspan(pos, piece))) return false;
    pos += piece;
    a = static_cast<std::uint16_t>(a + piece);
  }
  if (r == 0) return true;
  return readInto(a, buffer.subspan(pos, r));
}

// ---- Request builders ------------------------------------------------------------------------

bool Backend::Send(XuSelector selector, std::uint32_t flags, std::span<std::uint8_t> payload) {
  if (!BackendBinding_.filter) return false;
  return XuRequest(*BackendBinding_.filter, BackendBinding_.nodeId, selector, flags, payload);
}

bool Backend::XuWriteRegister(int, std::uint16_t address, std::uint8_t value) {
  std::array<std::uint8_t, kRegisterPayload> request{Low(address), High(address), value, kDirectionWrite};
  return Send(XuSelector::RegisterAccess, kXuSetFlags, request);
}

bool Backend::XuReadRegister(int, std::uint16_t address, std::uint8_t& value) {
  std::array<std::uint8_t, kRegisterPayload> request{Low(address), High(address), 0x00, kDirectionRead};
  if (!Send(XuSelector::RegisterAccess, kXuSetFlags, request)) return false;
  std::array<std::uint8_t, kRegisterPayload> answer{};
  if (!Send(XuSelector::RegisterAccess, kXuGetFlags, answer)) return false;
  value = answer[kRegisterData];
  return true;
}

bool Backend::XuWriteTarget(std::uint8_t target, std::uint8_t control, std::span<const std::uint8_t> field) {
  const std::size_t fieldLength = TargetFieldLength(control);
  if (fieldLength > kTargetFieldMax || fieldLength > field.size()) return false;
  std::array<std::uint8_t, kTargetPayload> request{};
  request[kTargetId] = target;
  request[kTargetControl] = control;
  std::copy_n(field.begin(), fieldLength, request.begin() + kTargetField);
  request[kTargetDirection] = kDirectionWrite;
  return Send(XuSelector::TargetAccess, kXuSetFlags, request);
}

bool Backend::XuReadTarget(std::uint8_t target, std::uint8_t control, std::span<std::uint8_t> field) {
  const std::size_t fieldLength = TargetFieldLength(control);
  if (fieldLength > kTargetFieldMax || fieldLength > field.size()) return false;
  std::array<std::uint8_t, kTargetPayload> request{};
  request[kTargetId] = target;
  request[kTargetControl] = control;
  std::copy_n(field.begin(), TargetAddressWidth(control), request.begin() + kTargetField);
  request[kTargetDirection] = kDirectionRead;
  if (!Send(XuSelector::TargetAccess, kXuSetFlags, request)) return false;
  std::array<std::uint8_t, kTargetPayload> answer{};
  if (!Send(XuSelector::TargetAccess, kXuGetFlags, answer)) return false;
  std::copy_n(answer.begin() + kTargetField, fieldLength, field.begin());
  return true;
}

// The control byte carries the length, and the high-bank bit once WriteHighBank is on. The length stays
// the piece's own in the high bank too: a byte announcing eight (0x18) for a shorter piece would have the
// controller program the zero padding past it. The write that reaches 0xFFFF of the low bank (for
// eight-byte pieces: the one at 0xFFF8) turns WriteHighBank on, so the writes that follow, whose 16-bit
// addresses have wrapped to 0, land in the high bank; a shorter write at 0xFFF8 leaves the low bank's
// last bytes in the low bank.
bool Backend::XuWriteWindow(int, std::uint16_t address, std::uint32_t length, std::span<const std::uint8_t> data) {
  if (!BackendBinding_.filter) return false;
  ReadHighBank = false;
  const std::uint8_t count = WindowLength(length);
  std::array<std::uint8_t, kBackendWindowPayload> request{};
  request[kAddressLow] = Low(address);
  request[kAddressHigh] = High(address);
  request[kWindowControl] = static_cast<std::uint8_t>((WriteHighBank ? kWindowHighBank : 0) | count);
  std::copy_n(data.begin(), std::min<std::size_t>(data.size(), count), request.begin() + kWindowData);
  if (!WriteHighBank && count > 0 && address + std::uint32_t{count} >= kBankSize) WriteHighBank = true;
  return Send(XuSelector::FlashWindow, kXuSetFlags, request);
}

// The control byte is the read bit, the bank and the length, in the high bank as in the low one. The
// camera answers each following get with the next `length` bytes, so a read request announcing eight
// (0x98) ahead of one-byte fetches would move eight bytes on per fetch and the transfer would store
// every eighth byte.
bool Backend::XuRequestWindowRead(int, std::uint16_t address, std::uint32_t length) {
  std::array<std::uint8_t, kBackendWindowPayload> request{};
  request[kAddressLow] = Low(address);
  request[kAddressHigh] = High(address);
  request[kWindowControl] =
      static_cast<std::uint8_t>(kWindowRead | (ReadHighBank ? kWindowHighBank : 0) | WindowLength(length));
  return Send(XuSelector::FlashWindow, kXuSetFlags, request);
}

bool Backend::XuFetchWindow(int, std::array<std::uint8_t, 8>& data) {
  std::array<std::uint8_t, kBackendWindowPayload> answer{};
  if (!Send(XuSelector::FlashWindow, kXuGetFlags, answer)) return false;
  std::copy_n(answer.begin() + kWindowData, data.size(), data.begin());
  return true;
}

bool Backend::XuReadBlock(int, std::uint16_t address, std::array<std::uint8_t, 8>& data, std::size_t& count) {
  std::array<std::uint8_t, kBlockReadPayload> request{};
  request[kAddressLow] = Low(address);
  request[kAddressHigh] = High(address);
  request[kBlockCount] = static_cast<std::uint8_t>(kWindowBytes);
  if (!Send(XuSelector::BlockRead, kXuSetFlags, request)) return false;
  std::array<std::uint8_t, kBlockReadPayload> answer{};
  if (!Send(XuSelector::BlockRead, kXuGetFlags, answer)) return false;
  // The answer holds eight data bytes at most, whatever count it states.
  count = std::min<std::size_t>(answer[kBlockCount], kWindowBytes);
  std::copy_n(answer.begin() + kBlockData, count, data.begin());
  return true;
}

bool Backend::XuReadDeviceInfoByte(int, std::uint8_t& value) {
  std::array<std::uint8_t, kDeviceInfoPayload> answer{};
  if (!Send(XuSelector::DeviceInfo, kXuGetFlags, answer)) return false;
  value = answer[kDeviceInfoByte];
  return true;
}

bool Backend::XuReadDeviceInfoWord(int, std::uint16_t& value) {
  std::array<std::uint8_t, kDeviceInfoPayload> answer{};
  if (!Send(XuSelector::DeviceInfo, kXuGetFlags, answer)) return false;
  value = static_cast<std::uint16_t>(answer[kDeviceInfoWord] | (answer[kDeviceInfoWord + 1] << 8));
  return true;
}

bool Backend::XuWindowCommandC8(int) {
  std::array<std::uint8_t, kBackendWindowPayload> request{};
  request[kWindowControl] = kWindowCommandC8;
  return Send(XuSelector::FlashWindow, kXuSetFlags, request);
}

bool Backend::XuWindowCommand40(int, std::uint8_t b, std::uint16_t w) {
  std::array<std::uint8_t, kBackendWindowPayload> request{};
  request[kWindowControl] = kWindowCommand40;
  request[kWindowData] = b;
  request[kWindowData + 1] = Low(w);
  request[kWindowData + 2] = High(w);
  return Send(XuSelector::FlashWindow, kXuSetFlags, request);
}

}  // namespace torvane::camera
