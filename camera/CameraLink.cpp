#include "camera/CameraLink.h"

#include <algorithm>
#include <ostream>

#include "camera/XuRequest.h"

namespace torvane::camera {

namespace {

using platform::HResult;
using platform::kS_OK;

// Diagnostic texts of discovery (written without a line end).
constexpr const char* kNoEnumeratorText = "No devices found in the device list.";
constexpr const char* kNoVideoDevicesText = "There are no VideoInputDevice devices available";

// FindCamera's two qualification attempts; when no node passes the search, the attempt number is
// used as the node id.
constexpr std::uint32_t kQualificationAttempts = 2;

// The 40-byte block of the chip-id fallback: ten little-endian 32-bit words, passed both as instance
// data and as property data.
constexpr std::size_t kFallbackWords = 10;
constexpr std::size_t kFallbackBlock = 4 * kFallbackWords;
constexpr std::size_t kFallbackDirectionWord = 5;
constexpr std::size_t kFallbackRegisterWord = 6;
constexpr std::size_t kFallbackValueWord = 7;
constexpr std::uint32_t kFallbackSet = 2;
constexpr std::uint32_t kFallbackGet = 1;
constexpr std::uint32_t kFallbackPropertyId = 0;

using FallbackBlock = std::array<std::uint8_t, kFallbackBlock>;

void PutWord(FallbackBlock& block, std::size_t word, std::uint32_t value) {
  for (std::size_t b = 0; b < 4; ++b) block[4 * word + b] = static_cast<std::uint8_t>(value >> (8 * b));
}

// Runs `call` on the first vendor property set, then on the second when the first is not S_OK.
template <typename Call>
bool OnEitherFallbackSet(Call call) {
  return call(kChipIdFallbackSet1) == kS_OK || call(kChipIdFallbackSet2) == kS_OK;
}

bool ReadChipIdThroughPropertySet(platform::BoundDevice& filter, std::uint8_t& chipId) {
  platform::PropertySetInterface* propertySet = filter.QueryPropertySet();
  if (propertySet == nullptr) return false;

  FallbackBlock block{};
  PutWord(block, kFallbackDirectionWord, kFallbackSet);
  PutWord(block, kFallbackRegisterWord, kChipIdRegister);
  if (!OnEitherFallbackSet([&](const platform::Guid& set) {
        return propertySet->Set(set, kFallbackPropertyId, block, block);
      }))
    return false;

  FallbackBlock answer{};
  if (!OnEitherFallbackSet([&](const platform::Guid& set) {
        // Each get starts from the get column, whatever a refused get left in the block.
        answer.fill(0);
        PutWord(answer, kFallbackDirectionWord, kFallbackGet);
        return propertySet->Get(set, kFallbackPropertyId, answer, answer);
      }))
    return false;
  chipId = answer[4 * kFallbackValueWord];
  return true;
}

}  // namespace

bool FindXuNode(platform::BoundDevice& filter, std::uint32_t& nodeId) {
  std::uint32_t count = 0;
  const HResult counted = filter.NodeCount(count);
  if (platform::Failed(counted) || count == 0) return false;
  for (std::uint32_t node = 0; node < count; ++node) {
    platform::Guid type;
    if (platform::Failed(filter.NodeType(node, type))) continue;
    if (type != platform::KSNODETYPE_DEV_SPECIFIC) continue;
    platform::KsNodeProperty probe;
    probe.set = kXuPropertySet;
    probe.id = 0;
    probe.flags = kXuSetSupportFlags;
    probe.nodeId = node;
    probe.reserved = 0;
    // The probe asks only whether the node takes the unit's property set: any non-negative answer.
    if (platform::Succeeded(filter.KsProperty(probe, {}))) {
      nodeId = node;
      return true;
    }
  }
  return false;
}

CameraLink::CameraLink(platform::CameraPlatform& platform, std::ostream& console)
    : platform_(platform), console_(console) {}

std::int32_t CameraLink::FindCamera() {
  // A new discovery replaces the old binding; release it first so that the device handle does not
  // outlive a discovery that finds nothing, and so that rebinding the same device never meets it open.
  CameraBinding_.filter.reset();

  std::size_t count = 0;
  const HResult enumerated = platform_.EnumerateDevices(count);
  if (platform::Failed(enumerated)) {
    console_ << kNoEnumeratorText << std::flush;
    return 1;
  }
  if (enumerated != kS_OK || count == 0) {
    console_ << kNoVideoDevicesText << std::flush;
    return 1;
  }

  for (std::size_t index = 0; index < count; ++index) {
    std::string friendlyName;  // read as a presence test; the name itself is not used
    if (platform_.ReadFriendlyName(index, friendlyName) != kS_OK) continue;
    std::unique_ptr<platform::BoundDevice> device;
    if (platform_.BindDevice(index, device) != kS_OK || !device) continue;
    CameraBinding_.filter = std::move(device);

    for (std::uint32_t attempt = 1; attempt <= kQualificationAttempts; ++attempt) {
      if (!FindXuNode(*CameraBinding_.filter, CameraBinding_.nodeId)) CameraBinding_.nodeId = attempt;
      std::uint8_t chipId = 0;  // discarded: the operations read it again
      if (GetChipIDValue(chipId)) return 0;
    }
    CameraBinding_.filter.reset();
  }
  return 1;
}

void CameraLink::ReleaseCamera() { CameraBinding_.filter.reset(); }

bool CameraLink::GetChipIDValue(std::uint8_t& chipId) {
  if (!CameraBinding_.filter) return false;
  platform::BoundDevice& filter = *CameraBinding_.filter;
  const std::uint32_t node = CameraBinding_.nodeId;

  std::array<std::uint8_t, kRegisterPayload> request{};
  request[kAddressLow] = static_cast<std::uint8_t>(kChipIdRegister & 0xFF);
  request[kAddressHigh] = static_cast<std::uint8_t>(kChipIdRegister >> 8);
  request[kRegisterData] = 0x00;
  request[kRegisterDirection] = kDirectionRead;
  if (XuRequest(filter, node, XuSelector::RegisterAccess, kXuSetFlags, request)) {
    // The unit took the read request: its answer decides, and the fallback is not tried.
    std::array<std::uint8_t, kRegisterPayload> answer{};
    if (!XuRequest(filter, node, XuSelector::RegisterAccess, kXuGetFlags, answer)) return false;
    chipId = answer[kRegisterData];
    return true;
  }
  return ReadChipIdThroughPropertySet(filter, chipId);
}

bool CameraLink::ReadFlash8(std::uint8_t addressHigh, std::uint8_t addressLow, std::array<std::uint8_t, 8>& out) {
  if (!CameraBinding_.filter) return false;
  std::array<std::uint8_t, kDialogWindowPayload> request{};
  request[kAddressLow] = addressLow;
  request[kAddressHigh] = addressHigh;
  request[kWindowControl] = static_cast<std::uint8_t>(kWindowRead | (HighBankFlag != 0 ? kWindowHighBank : 0) |
                                                      kWindowBytes);
  if (!XuRequest(*CameraBinding_.filter, CameraBinding_.nodeId, XuSelector::FlashWindow, kXuSetFlags, request))
    return false;
  std::array<std::uint8_t, kDialogWindowPayload> answer{};
  if (!XuRequest(*CameraBinding_.filter, CameraBinding_.nodeId, XuSelector::FlashWindow, kXuGetFlags, answer))
    return false;
  std::copy_n(answer.begin() + kWindowData, out.size(), out.begin());
  return true;
}

bool CameraLink::WriteFlash8(std::uint8_t addressHigh, std::uint8_t addressLow,
                             const std::array<std::uint8_t, 8>& data) {
  if (!CameraBinding_.filter) return false;
  std::array<std::uint8_t, kDialogWindowPayload> request{};
  request[kAddressLow] = addressLow;
  request[kAddressHigh] = addressHigh;
  request[kWindowControl] = static_cast<std::uint8_t>((HighBankFlag != 0 ? kWindowHighBank : 0) | kWindowBytes);
  std::copy(data.begin(), data.end(), request.begin() + kWindowData);
  return XuRequest(*CameraBinding_.filter, CameraBinding_.nodeId, XuSelector::FlashWindow, kXuSetFlags, request);
}

}  // namespace torvane::camera
