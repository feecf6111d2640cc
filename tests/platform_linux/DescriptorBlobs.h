// USB descriptor blobs built from our own bytes, laid out as a camera's sysfs `descriptors` file:
// the device descriptor, then each configuration with its interfaces and class-specific descriptors.
#pragma once

#include <linux/usb/ch9.h>
#include <linux/usb/video.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace blobs {

using Bytes = std::vector<std::uint8_t>;
using GuidWire = std::array<std::uint8_t, 16>;

// {28F03370-6311-4A2E-BA2C-6890EB334016}, the controller's vendor unit, as it stands in the descriptor.
constexpr GuidWire kVendorUnitWire = {0x70, 0x33, 0xF0, 0x28, 0x11, 0x63, 0x2E, 0x4A,
                                      0xBA, 0x2C, 0x68, 0x90, 0xEB, 0x33, 0x40, 0x16};
// {0F3F95DC-2632-4C4E-92C9-A04782F43BC8}, some other maker's unit.
constexpr GuidWire kOtherUnitWire = {0xDC, 0x95, 0x3F, 0x0F, 0x32, 0x26, 0x4E, 0x4C,
                                     0x92, 0xC9, 0xA0, 0x47, 0x82, 0xF4, 0x3B, 0xC8};

constexpr std::uint8_t kAudioClass = USB_CLASS_AUDIO;
constexpr std::uint8_t kAudioControl = 0x01;
constexpr std::uint8_t kVsInputHeader = UVC_VS_INPUT_HEADER;
constexpr std::uint8_t kVsFormatMjpeg = UVC_VS_FORMAT_MJPEG;  // 0x06, the extension unit's subtype in a VC interface

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline Bytes Device() {
  return {18, USB_DT_DEVICE, 0x00, 0x02, 0xEF, 0x02, 0x01, 64, 0x34, 0x12, 0x78, 0x56, 0x00, 0x01, 1, 2, 0, 1};
}

// A configuration descriptor whose wTotalLength covers `body`.
inline Bytes Config(std::uint8_t value, const Bytes& body, std::uint8_t numInterfaces = 2) {
  const std::size_t total = 9 + body.size();
  Bytes d = {9, USB_DT_CONFIG, static_cast<std::uint8_t>(total), static_cast<std::uint8_t>(total >> 8),
             numInterfaces, value, 0, 0x80, 250};
  d.insert(d.end(), body.begin(), body.end());
  return d;
}

inline Bytes Association(std::uint8_t first, std::uint8_t count) {
  return {8, USB_DT_INTERFACE_ASSOCIATION, first, count, USB_CLASS_VIDEO, UVC_SC_VIDEO_INTERFACE_COLLECTION, 0, 0};
}

inline Bytes Interface(std::uint8_t number, std::uint8_t alternate, std::uint8_t cls, std::uint8_t subclass) {
  return {9, USB_DT_INTERFACE, number, alternate, 1, cls, subclass, 0, 0};
}
inline Bytes VideoControl(std::uint8_t number) { return Interface(number, 0, USB_CLASS_VIDEO, UVC_SC_VIDEOCONTROL); }
inline Bytes VideoStreaming(std::uint8_t number, std::uint8_t alternate = 0) {
  return Interface(number, alternate, USB_CLASS_VIDEO, UVC_SC_VIDEOSTREAMING);
}

inline Bytes Endpoint(std::uint8_t address) { return {7, USB_DT_ENDPOINT, address, 0x03, 16, 0, 6}; }

inline Bytes VcHeader() {
  return {13, USB_DT_CS_INTERFACE, UVC_VC_HEADER, 0x00, 0x01, 0x4D, 0x00, 0x80, 0x8D, 0x5B, 0x00, 1, 1};
}
inline Bytes CameraTerminal(std::uint8_t id) {
  return {18, USB_DT_CS_INTERFACE, UVC_VC_INPUT_TERMINAL, id, 0x01, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0x0A, 0x00, 0x00};
}
inline Bytes ProcessingUnit(std::uint8_t id, std::uint8_t source) {
  return {11, USB_DT_CS_INTERFACE, UVC_VC_PROCESSING_UNIT, id, source, 0, 0, 2, 0x7F, 0x15, 0};
}
inline Bytes SelectorUnit(std::uint8_t id, std::uint8_t a, std::uint8_t b) {
  return {8, USB_DT_CS_INTERFACE, UVC_VC_SELECTOR_UNIT, id, 2, a, b, 0};
}
inline Bytes OutputTerminal(std::uint8_t id, std::uint8_t source) {
  return {9, USB_DT_CS_INTERFACE, UVC_VC_OUTPUT_TERMINAL, id, 0x01, 0x01, 0, source, 0};
}

// An extension unit, 24 + sources + controls bytes, as a camera would describe it.
inline Bytes ExtensionUnit(std::uint8_t id, const GuidWire& guid, std::uint8_t numControls, const Bytes& sources,
                           const Bytes& bmControls) {
  Bytes d(24 + sources.size() + bmControls.size(), 0);  // iExtension, the last byte, stays 0
  std::size_t i = 0;
  d[i++] = static_cast<std::uint8_t>(d.size());
  d[i++] = USB_DT_CS_INTERFACE;
  d[i++] = UVC_VC_EXTENSION_UNIT;
  d[i++] = id;
  for (const auto b : guid) d[i++] = b;
  d[i++] = numControls;
  d[i++] = static_cast<std::uint8_t>(sources.size());
  for (const auto b : sources) d[i++] = b;
  d[i++] = static_cast<std::uint8_t>(bmControls.size());
  for (const auto b : bmControls) d[i++] = b;
  return d;
}

inline Bytes VsInputHeader() {
  return {14, USB_DT_CS_INTERFACE, kVsInputHeader, 1, 0x47, 0x00, 0x81, 0, 5, 0, 0, 0, 1, 0};
}
// Subtype 0x06 in a streaming interface: a format, not an extension unit.
inline Bytes MjpegFormat() { return {11, USB_DT_CS_INTERFACE, kVsFormatMjpeg, 1, 1, 1, 1, 0, 0, 0, 0}; }

// The streaming side of a camera: interface `number`, a header, a format, and an alternate setting.
inline Bytes Streaming(std::uint8_t number) {
  return Cat({VideoStreaming(number), VsInputHeader(), MjpegFormat(), VideoStreaming(number, 1), Endpoint(0x81)});
}

// A camera of the kind the tool meets: one function (association, VideoControl 0 with camera
// terminal 1, processing unit 2, the vendor unit 3 with selectors 1 to 5, output terminal 4, then
// VideoStreaming 1).
inline Bytes TypicalCamera() {
  return Cat({Device(), Config(1, Cat({Association(0, 2), VideoControl(0), VcHeader(), CameraTerminal(1),
                                       ProcessingUnit(2, 1), ExtensionUnit(3, kVendorUnitWire, 5, {2}, {0x1F}),
                                       OutputTerminal(4, 3), Endpoint(0x83), Streaming(1)}))});
}

}  // namespace blobs
