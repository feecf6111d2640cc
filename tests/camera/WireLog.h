// Test support: the simulated camera's request log as short, comparable records, and builders for
// the requests a test expects. Every record keeps what goes on the wire: the property set, selector,
// flags, node, device, and the payload bytes as sent.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "camera/XuRequest.h"
#include "simcam/SimCamera.h"

namespace torvane::camera::test {

using simcam::Bytes;

struct Wire {
  std::uint32_t selector = 0;
  std::uint32_t flags = 0;
  Bytes sent;
  std::uint32_t node = 0;
  std::size_t device = 0;
  bool unitSet = true;  // addressed to the extension unit's property set

  friend bool operator==(const Wire&, const Wire&) = default;
};

inline void PrintTo(const Wire& w, std::ostream* os) {
  *os << "{sel " << w.selector << ", flags 0x" << std::hex << w.flags << ", [";
  for (std::size_t i = 0; i < w.sent.size(); ++i) *os << (i ? " " : "") << static_cast<int>(w.sent[i]);
  *os << "], node " << std::dec << w.node << ", device " << w.device << (w.unitSet ? "" : ", other set") << "}";
}

// The controller programs window writes with the write-enable and program opcodes the flash engine
// stores in its registers, into a flash whose protection the engine has switched off; tests of the
// link alone set both up directly.
inline void ArmControllerProgramming(simcam::SimCamera& sim) {
  sim.Flash().SetStatus(0);
  sim.Camera().PokeRegister(simcam::reg::kSfWriteEnableOpcode, 0x06);
  sim.Camera().PokeRegister(simcam::reg::kSfProgramOpcode, 0x02);
}

// Names a parameterised case by its `name` field.
struct CaseName {
  template <typename P>
  std::string operator()(const ::testing::TestParamInfo<P>& p) const {
    return p.param.name;
  }
};

// The node-scoped property requests of the log (the property-set interface's are left out).
inline std::vector<Wire> KsRequests(const simcam::SimCamera& sim) {
  std::vector<Wire> out;
  for (const auto& r : sim.Requests()) {
    if (r.kind != simcam::RequestKind::KsProperty) continue;
    out.push_back(Wire{r.id, r.flags, r.sent, r.node, r.device, r.set == kXuPropertySet});
  }
  return out;
}

// Expected requests; node and device default to the default camera's unit (node 2, device 0).
constexpr std::uint32_t kDefaultNode = 2;

inline Wire SetReq(XuSelector sel, Bytes bytes, std::uint32_t node = kDefaultNode, std::size_t device = 0) {
  return Wire{static_cast<std::uint32_t>(sel), kXuSetFlags, std::move(bytes), node, device, true};
}
inline Wire GetReq(XuSelector sel, std::size_t length, std::uint32_t node = kDefaultNode, std::size_t device = 0) {
  return Wire{static_cast<std::uint32_t>(sel), kXuGetFlags, Bytes(length, 0), node, device, true};
}
inline Wire Probe(std::uint32_t node, std::size_t device = 0) {
  return Wire{0, kXuSetSupportFlags, {}, node, device, true};
}

// A 12-byte window request: address, control byte, then data bytes (the rest zero).
inline Wire WindowSet(std::uint16_t address, std::uint8_t control, std::initializer_list<std::uint8_t> data = {}) {
  Bytes b(kBackendWindowPayload, 0);
  b[0] = static_cast<std::uint8_t>(address & 0xFF);
  b[1] = static_cast<std::uint8_t>(address >> 8);
  b[2] = control;
  std::size_t i = 3;
  for (const auto d : data) b[i++] = d;
  return SetReq(XuSelector::FlashWindow, b);
}
inline Wire WindowGet() { return GetReq(XuSelector::FlashWindow, kBackendWindowPayload); }

inline Wire BlockSet(std::uint16_t address) {
  Bytes b(kBlockReadPayload, 0);
  b[0] = static_cast<std::uint8_t>(address & 0xFF);
  b[1] = static_cast<std::uint8_t>(address >> 8);
  b[2] = 0x08;
  return SetReq(XuSelector::BlockRead, b);
}
inline Wire BlockGet() { return GetReq(XuSelector::BlockRead, kBlockReadPayload); }

inline Wire RegisterReadSet(std::uint16_t address, std::uint32_t node = kDefaultNode, std::size_t device = 0) {
  return SetReq(XuSelector::RegisterAccess,
                {static_cast<std::uint8_t>(address & 0xFF), static_cast<std::uint8_t>(address >> 8), 0x00, 0xFF}, node,
                device);
}
inline Wire RegisterGet(std::uint32_t node = kDefaultNode, std::size_t device = 0) {
  return GetReq(XuSelector::RegisterAccess, kRegisterPayload, node, device);
}

// The requests OpenDevice sends to a healthy default camera: the node search's probe, then the five
// block reads of the mask-ROM probe.
inline std::vector<Wire> HealthyOpen() {
  std::vector<Wire> w{Probe(kDefaultNode)};
  for (const std::uint16_t a : std::array<std::uint16_t, 5>{0x9FF8, 0xD2B2, 0xDFF8, 0xBFF8, 0xC7F8}) {
    w.push_back(BlockSet(a));
    w.push_back(BlockGet());
  }
  return w;
}

}  // namespace torvane::camera::test
