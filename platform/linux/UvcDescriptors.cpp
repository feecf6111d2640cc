#include "platform/linux/UvcDescriptors.h"


namespace torvane::platform::uvc {

namespace {

// Byte offsets inside the descriptors we read.
constexpr std::size_t kConfigValueOffset = 5;       // bConfigurationValue of a configuration descriptor
constexpr std::size_t kConfigMinLength = 9;
constexpr std::size_t kInterfaceNumberOffset = 2;   // bInterfaceNumber
constexpr std::size_t kAlternateSettingOffset = 3;  // bAlternateSetting
constexpr std::size_t kInterfaceClassOffset = 5;
constexpr std::size_t kInterfaceSubClassOffset = 6;
constexpr std::size_t kInterfaceMinLength = 9;
constexpr std::size_t kSubtypeOffset = 2;   // bDescriptorSubtype of a class-specific descriptor
constexpr std::size_t kEntityIdOffset = 3;  // bTerminalID / bUnitID
constexpr std::size_t kEntityMinLength = 4;

// Extension unit: bUnitID, guidExtensionCode (16), bNumControls, bNrInPins p, baSourceID (p),
// bControlSize n, bmControls (n), iExtension. Its bLength is at least 24 + p + n, as the driver requires.
constexpr std::size_t kXuGuidOffset = 4;
constexpr std::size_t kXuNumControlsOffset = 20;
constexpr std::size_t kXuNrInPinsOffset = 21;
constexpr std::size_t kXuSourcesOffset = 22;
constexpr std::size_t kXuFixedLength = 24;  // every byte but the sources and bmControls

std::string At(std::size_t offset) { return "descriptor at offset " + std::to_string(offset); }

// One class-specific descriptor of a VideoControl interface; `d` is exactly bLength bytes.
bool ParseVideoControlEntity(std::span<const std::uint8_t> d, std::size_t offset, VideoControlInterface& vc,
                             std::string& error) {
  if (d.size() <= kSubtypeOffset) {
    error = At(offset) + ": class-specific descriptor of " + std::to_string(d.size()) + " bytes has no subtype";
    return false;
  }
  const std::uint8_t subtype = d[kSubtypeOffset];
  // Units and terminals share one id space. Two with the same id would make a request addressed to
  // the vendor unit's id ambiguous, so such a function is refused.
  const auto duplicate = [&](std::uint8_t id) {
    for (const auto& node : vc.nodes)
      if (node.bID == id) {
        error = At(offset) + ": a second unit or terminal with id " + std::to_string(id);
        return true;
      }
    return false;
  };
  switch (subtype) {
    case UVC_VC_INPUT_TERMINAL:
    case UVC_VC_OUTPUT_TERMINAL:
    case UVC_VC_SELECTOR_UNIT:
    case UVC_VC_PROCESSING_UNIT:
    case kUvcVcEncodingUnit:
      if (d.size() < kEntityMinLength) {
        error = At(offset) + ": unit or terminal of " + std::to_string(d.size()) + " bytes has no id";
        return false;
      }
      if (duplicate(d[kEntityIdOffset])) return false;
      vc.nodes.push_back({subtype, d[kEntityIdOffset], std::nullopt});
      return true;
    case UVC_VC_EXTENSION_UNIT: {
      if (d.size() < kXuFixedLength) {
        error = At(offset) + ": extension unit of " + std::to_string(d.size()) + " bytes (at least " +
                std::to_string(kXuFixedLength) + " needed)";
        return false;
      }
      const std::size_t p = d[kXuNrInPinsOffset];
      if (d.size() < kXuFixedLength + p) {
        error = At(offset) + ": extension unit's " + std::to_string(p) + " input pins run past its bLength " +
                std::to_string(d.size());
        return false;
      }
      const std::size_t n = d[kXuSourcesOffset + p];  // bControlSize
      if (d.size() < kXuFixedLength + p + n) {
        error = At(offset) + ": extension unit's bControlSize " + std::to_string(n) + " runs past its bLength " +
                std::to_string(d.size());
        return false;
      }
      if (duplicate(d[kEntityIdOffset])) return false;
      ExtensionUnit xu;
      xu.bUnitID = d[kEntityIdOffset];
      xu.guidExtensionCode = Guid::FromWire(d.subspan(kXuGuidOffset).first<16>());
      xu.bNumControls = d[kXuNumControlsOffset];
      const auto sources = d.subspan(kXuSourcesOffset, p);
      xu.baSourceID.assign(sources.begin(), sources.end());
      const auto controls = d.subspan(kXuSourcesOffset + p + 1, n);
      xu.bmControls.assign(controls.begin(), controls.end());
      vc.nodes.push_back({subtype, xu.bUnitID, vc.extensionUnits.size()});
      vc.extensionUnits.push_back(std::move(xu));
      return true;
    }
    default:  // the header and anything newer: not topology nodes
      return true;
  }
}

}  // namespace

bool ExtensionUnit::HasControl(std::uint32_t selector) const {
  if (selector == 0) return false;
  const std::size_t bit = selector - 1;
  const std::size_t byte = bit / 8;
  return byte < bmControls.size() && (static_cast<unsigned>(bmControls[byte]) >> (bit % 8) & 1u) != 0;
}

std::vector<std::uint8_t> ExtensionUnit::Selectors() const {
  std::vector<std::uint8_t> out;
  // bControlSize is one byte, so at most 255 bytes of bits; selectors are one byte too (1 to 255).
  for (std::uint32_t s = 1; s <= 255; ++s)
    if (HasControl(s)) out.push_back(static_cast<std::uint8_t>(s));
  return out;
}

DescriptorParse ParseUsbDescriptors(std::span<const std::uint8_t> blob) {
  DescriptorParse result;
  // What is being walked: the configuration's bConfigurationValue (none before the first configuration
  // descriptor) and the VideoControl interface's index in the result (none outside one).
  constexpr int kNone = -1;
  int configuration = kNone;
  int videoControl = kNone;
  std::size_t offset = 0;
  while (offset < blob.size()) {
    const std::size_t remaining = blob.size() - offset;
    if (remaining < 2) {
      result.error = At(offset) + ": 1 byte left, too short for a descriptor header";
      break;
    }
    const std::size_t bLength = blob[offset];
    const std::uint8_t bDescriptorType = blob[offset + 1];
    if (bLength < 2) {
      result.error = At(offset) + ": bLength " + std::to_string(bLength);
      break;
    }
    if (bLength > remaining) {
      result.error = At(offset) + ": bLength " + std::to_string(bLength) + " runs past the end (" +
                     std::to_string(remaining) + " bytes left)";
      break;
    }
    const auto d = blob.subspan(offset, bLength);
    if (bDescriptorType == USB_DT_CONFIG) {
      if (bLength < kConfigMinLength) {
        result.error = At(offset) + ": configuration descriptor of " + std::to_string(bLength) + " bytes";
        break;
      }
      configuration = d[kConfigValueOffset];
      videoControl = kNone;
    } else if (bDescriptorType == USB_DT_INTERFACE) {
      if (bLength < kInterfaceMinLength) {
        result.error = At(offset) + ": interface descriptor of " + std::to_string(bLength) + " bytes";
        break;
      }
      videoControl = kNone;
      // The class-specific VideoControl descriptors follow alternate setting 0, the only one it has.
      if (configuration != kNone && d[kInterfaceClassOffset] == USB_CLASS_VIDEO &&
          d[kInterfaceSubClassOffset] == UVC_SC_VIDEOCONTROL && d[kAlternateSettingOffset] == 0) {
        VideoControlInterface vc;
        vc.bConfigurationValue = static_cast<std::uint8_t>(configuration);
        vc.bInterfaceNumber = d[kInterfaceNumberOffset];
        videoControl = static_cast<int>(result.interfaces.size());
        result.interfaces.push_back(std::move(vc));
      }
    } else if (bDescriptorType == USB_DT_CS_INTERFACE && videoControl != kNone) {
      auto& vc = result.interfaces[static_cast<std::size_t>(videoControl)];
      if (!ParseVideoControlEntity(d, offset, vc, result.error)) break;
    }
    // Everything else (device, association, endpoint, class-specific endpoint, and the class-specific
    // descriptors of other interfaces, whose subtypes mean other things) is framing only.
    offset += bLength;
  }
  if (!result.Ok()) result.interfaces.clear();
  return result;
}

const VideoControlInterface* FindVideoControl(const DescriptorParse& parse, std::uint8_t bConfigurationValue,
                                              std::uint8_t bInterfaceNumber) {
  for (const auto& vc : parse.interfaces)
    if (vc.bConfigurationValue == bConfigurationValue && vc.bInterfaceNumber == bInterfaceNumber) return &vc;
  return nullptr;
}

}  // namespace torvane::platform::uvc
