// Result codes of the camera-platform layer.
//
// The callers above this layer keep one distinction the camera link depends on: exactly kS_OK is
// success; other non-negative codes (kS_FALSE, "no more devices", "empty category") are not errors of
// the platform but are not success either; negative codes are failures.
#pragma once

#include <cstdint>

namespace torvane::platform {

using HResult = std::int32_t;

constexpr HResult ToHResult(std::uint32_t bits) { return static_cast<HResult>(bits); }

constexpr HResult kS_OK = 0;
constexpr HResult kS_FALSE = 1;
constexpr HResult kE_FAIL = ToHResult(0x80004005u);
constexpr HResult kE_NOTIMPL = ToHResult(0x80004001u);
constexpr HResult kE_NOINTERFACE = ToHResult(0x80004002u);
constexpr HResult kE_POINTER = ToHResult(0x80004003u);
constexpr HResult kE_INVALIDARG = ToHResult(0x80070057u);
constexpr HResult kE_ACCESSDENIED = ToHResult(0x80070005u);
// A request the device does not know (wrong property set, node, selector or length).
constexpr HResult kE_PROP_ID_UNSUPPORTED = ToHResult(0x80070490u);
// The device stopped answering (unplugged, timed out).
constexpr HResult kE_DEVICE_NOT_CONNECTED = ToHResult(0x8007048Fu);
constexpr HResult kE_TIMEOUT = ToHResult(0x800705B4u);

constexpr bool Succeeded(HResult r) { return r >= 0; }
constexpr bool Failed(HResult r) { return r < 0; }

}  // namespace torvane::platform
