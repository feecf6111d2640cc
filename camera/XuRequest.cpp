#include "camera/XuRequest.h"

namespace torvane::camera {

bool XuRequest(platform::BoundDevice& filter, std::uint32_t nodeId, XuSelector selector, std::uint32_t flags,
               std::span<std::uint8_t> payload) {
  platform::KsNodeProperty property;
  property.set = kXuPropertySet;
  property.id = static_cast<std::uint32_t>(selector);
  property.flags = flags;
  property.nodeId = nodeId;
  property.reserved = 0;
  // Only exactly S_OK counts: positive codes are not success for a request.
  return filter.KsProperty(property, payload) == platform::kS_OK;
}

}  // namespace torvane::camera
