#include "platform/CameraPlatform.h"

namespace torvane::platform {

std::array<std::uint8_t, KsNodeProperty::kWireSize> KsNodeProperty::ToWire() const {
  std::array<std::uint8_t, kWireSize> out{};
  const auto g = set.ToWire();
  std::copy(g.begin(), g.end(), out.begin());
  const std::uint32_t words[4] = {id, flags, nodeId, reserved};
  for (std::size_t w = 0; w < 4; ++w)
    for (std::size_t b = 0; b < 4; ++b) out[16 + 4 * w + b] = static_cast<std::uint8_t>(words[w] >> (8 * b));
  return out;
}

}  // namespace torvane::platform
