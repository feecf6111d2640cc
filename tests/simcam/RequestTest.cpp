// The simulated camera's devices, topology and extension-unit requests, driven through the layer.
#include <gtest/gtest.h>

#include "simcam/SimCamera.h"
#include "SimHost.h"

namespace torvane::simcam::test {
namespace {

using platform::Guid;
using platform::HResult;

TEST(SimDevices, DefaultCameraHasFourNodesWithTheUnitAtNodeTwo) {
  SimCamera sim;
  std::size_t count = 0;
  ASSERT_EQ(sim.EnumerateDevices(count), platform::kS_OK);
  ASSERT_EQ(count, 1u);
  std::string name, path;
  EXPECT_EQ(sim.ReadFriendlyName(0, name), platform::kS_OK);
  EXPECT_EQ(sim.ReadDevicePath(0, path), platform::kS_OK);
  EXPECT_FALSE(name.empty());
  EXPECT_FALSE(path.empty());

  std::unique_ptr<platform::BoundDevice> device;
  ASSERT_EQ(sim.BindDevice(0, device), platform::kS_OK);
  std::uint32_t nodes = 0;
  ASSERT_EQ(device->NodeCount(nodes), platform::kS_OK);
  ASSERT_EQ(nodes, 4u);
  for (std::uint32_t n = 0; n < nodes; ++n) {
    Guid type;
    ASSERT_EQ(device->NodeType(n, type), platform::kS_OK);
    EXPECT_EQ(type == platform::KSNODETYPE_DEV_SPECIFIC, n == 2) << "node " << n;
  }
  Guid type;
  EXPECT_LT(device->NodeType(4, type), 0);
  EXPECT_LT(sim.BindDevice(1, device), 0);
}

TEST(SimDevices, ListFollowsTheConfiguration) {
  struct Case {
    const char* what;
    std::vector<DeviceConfig> devices;
    bool enumerationFails;
    HResult enumeration;
    std::size_t count;
  };
  DeviceConfig video;
  video.kind = DeviceConfig::Kind::Video;
  const Case cases[] = {
      {"no device", {}, false, platform::kS_FALSE, 0},
      {"enumeration fails", {DeviceConfig{}}, true, platform::kE_FAIL, 0},
      {"a video device, then the camera", {video, DeviceConfig{}}, false, platform::kS_OK, 2},
  };
  for (const Case& c : cases) {
    SimConfig config;
    config.devices = c.devices;
    config.enumerationFails = c.enumerationFails;
    SimCamera sim(config);
    std::size_t count = 0;
    EXPECT_EQ(sim.EnumerateDevices(count), c.enumeration) << c.what;
    EXPECT_EQ(count, c.count) << c.what;
  }
}

TEST(SimDevices, OrdinaryVideoDeviceHasNoUnit) {
  SimConfig config;
  config.devices.front().kind = DeviceConfig::Kind::Video;
  config.devices.push_back(DeviceConfig{});
  SimCamera sim(config);
  SimHost first(sim, 0);
  std::uint32_t nodes = 0;
  ASSERT_EQ(first.Device().NodeCount(nodes), platform::kS_OK);
  for (std::uint32_t n = 0; n < nodes; ++n) {
    Guid type;
    ASSERT_EQ(first.Device().NodeType(n, type), platform::kS_OK);
    EXPECT_NE(type, platform::KSNODETYPE_DEV_SPECIFIC);
  }
  Bytes probe;
  EXPECT_LT(first.Request(0, kSetSupport, probe), 0);
  SimHost second(sim, 1);
  EXPECT_EQ(second.Request(0, kSetSupport, probe), platform::kS_OK);
  EXPECT_EQ(second.ReadReg(reg::kChipId), 0x32);
}

TEST(SimRequests, OnlyWellFormedRequestsToTheUnitSucceed) {
  struct Case {
    const char* what;
    Guid set;
    std::uint32_t id;
    std::uint32_t flags;
    std::uint32_t node;
    std::size_t length;
    bool ok;
  };
  const Guid other = Guid::FromString("{00000000-0000-0000-0000-000000000001}");
  const Case cases[] = {
      {"support probe", kExtensionUnitSet, 0, kSetSupport, 2, 0, true},
      {"probe carrying data", kExtensionUnitSet, 0, kSetSupport, 2, 4, false},
      {"probe on another node", kExtensionUnitSet, 0, kSetSupport, 1, 0, false},
      {"probe on another set", other, 0, kSetSupport, 2, 0, false},
      {"probe on a selector", kExtensionUnitSet, 1, kSetSupport, 2, 0, false},
      {"set of property id 0", kExtensionUnitSet, 0, kSet, 2, 4, false},
      {"register set", kExtensionUnitSet, 1, kSet, 2, 4, true},
      {"register get", kExtensionUnitSet, 1, kGet, 2, 4, true},
      {"register, 3 bytes", kExtensionUnitSet, 1, kSet, 2, 3, false},
      {"register, 5 bytes", kExtensionUnitSet, 1, kSet, 2, 5, false},
      {"register without the topology flag", kExtensionUnitSet, 1, platform::KSPROPERTY_TYPE_SET, 2, 4, false},
      {"register, set and get at once", kExtensionUnitSet, 1, kSet | kGet, 2, 4, false},
      {"register on node 3", kExtensionUnitSet, 1, kSet, 3, 4, false},
      {"register on another set", other, 1, kSet, 2, 4, false},
      {"target, 8 bytes", kExtensionUnitSet, 2, kSet, 2, 8, true},
      {"target, 4 bytes", kExtensionUnitSet, 2, kSet, 2, 4, false},
      {"window, 11 bytes", kExtensionUnitSet, 3, kSet, 2, 11, true},
      {"window, 12 bytes", kExtensionUnitSet, 3, kGet, 2, 12, true},
      {"window, 10 bytes", kExtensionUnitSet, 3, kSet, 2, 10, false},
      {"window, 13 bytes", kExtensionUnitSet, 3, kSet, 2, 13, false},
      {"block read, 12 bytes", kExtensionUnitSet, 4, kSet, 2, 12, true},
      {"block read, 11 bytes", kExtensionUnitSet, 4, kSet, 2, 11, false},
      {"device info get", kExtensionUnitSet, 5, kGet, 2, 12, true},
      {"device info set", kExtensionUnitSet, 5, kSet, 2, 12, false},
      {"selector 6", kExtensionUnitSet, 6, kGet, 2, 12, false},
  };
  SimCamera sim;
  SimHost host(sim);
  for (const Case& c : cases) {
    platform::KsNodeProperty p;
    p.set = c.set;
    p.id = c.id;
    p.flags = c.flags;
    p.nodeId = c.node;
    Bytes payload(c.length, 0);
    const HResult r = host.Device().KsProperty(p, payload);
    if (c.ok)
      EXPECT_EQ(r, platform::kS_OK) << c.what;
    else
      EXPECT_LT(r, 0) << c.what;
  }
  // Every request is in the log with its result, in order.
  ASSERT_EQ(sim.Requests().size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const RequestRecord& r = sim.Requests()[i];
    EXPECT_EQ(r.number, i + 1);
    EXPECT_EQ(r.id, cases[i].id);
    EXPECT_EQ(r.flags, cases[i].flags);
    EXPECT_EQ(r.node, cases[i].node);
    EXPECT_EQ(r.result == platform::kS_OK, cases[i].ok) << cases[i].what;
  }
}

TEST(SimRequests, RegisterWriteReadsBackAndTheLogHoldsTheExactPayloads) {
  SimCamera sim;
  SimHost host(sim);
  host.WriteReg(0x1234, 0xA5);
  EXPECT_EQ(host.ReadReg(0x1234), 0xA5);
  EXPECT_EQ(sim.Camera().PeekRegister(0x1234), 0xA5);

  ASSERT_EQ(sim.Requests().size(), 3u);
  const RequestRecord& write = sim.Requests()[0];
  EXPECT_EQ(write.set, kExtensionUnitSet);
  EXPECT_EQ(write.flags, kSet);
  EXPECT_EQ(write.id, 1u);
  EXPECT_EQ(write.node, 2u);
  EXPECT_EQ(write.sent, (Bytes{0x34, 0x12, 0xA5, 0x00}));
  EXPECT_EQ(sim.Requests()[1].sent, (Bytes{0x34, 0x12, 0x00, 0xFF}));
  EXPECT_EQ(sim.Requests()[2].flags, kGet);
  EXPECT_EQ(sim.Requests()[2].sent, (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(sim.Requests()[2].answered, (Bytes{0x34, 0x12, 0xA5, 0xFF}));

  using K = RegisterAccess::Kind;
  EXPECT_EQ(sim.RegisterAccesses(), (std::vector<RegisterAccess>{{K::Write, 0x1234, 0xA5}, {K::Read, 0x1234, 0xA5}}));
  sim.ClearLogs();
  EXPECT_TRUE(sim.Requests().empty());
  EXPECT_EQ(sim.RequestCount(), 3u);
}

TEST(SimRequests, RegistersHoldTheirResetValues) {
  SimConfig config;
  config.controller.chipId = 0x75;
  config.controller.register3C5 = 3;
  SimCamera sim(config);
  SimHost host(sim);
  EXPECT_EQ(host.ReadReg(reg::kChipId), 0x75);
  EXPECT_EQ(host.ReadReg(reg::kRegister3C5), 3);
  EXPECT_EQ(host.ReadReg(reg::kSfWriteEnableOpcode), 0x06);
  EXPECT_EQ(host.ReadReg(reg::kSfProgramOpcode), 0x02);
  EXPECT_EQ(host.ReadReg(0x4000), 0);
  EXPECT_EQ(host.ReadReg(reg::kSfPortStatus), 1);  // no transfer pending
}

TEST(SimRequests, UnknownDirectionMarkerIsRefused) {
  SimCamera sim;
  SimHost host(sim);
  EXPECT_LT(host.Set(1, {0x34, 0x12, 0x55, 0x01}), 0);
  EXPECT_EQ(sim.Camera().PeekRegister(0x1234), 0);
}

TEST(SimRequests, DeviceInfoTargetAndBlockRead) {
  SimConfig config;
  config.controller.deviceInfoWord = 0xBEEF;
  config.controller.deviceInfoMode = 2;
  SimCamera sim(config);
  SimHost host(sim);
  Bytes answer;
  ASSERT_EQ(host.Get(5, 12, answer), platform::kS_OK);
  EXPECT_EQ(answer, (Bytes{0xEF, 0xBE, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

  // Target access is stored and echoed.
  ASSERT_EQ(host.Set(2, {0x50, 0x21, 0x10, 0x20, 0x30, 0, 0, 0xFF}), platform::kS_OK);
  ASSERT_EQ(host.Get(2, 8, answer), platform::kS_OK);
  EXPECT_EQ(answer, (Bytes{0x50, 0x21, 0x10, 0x20, 0x30, 0, 0, 0xFF}));

  // Block read: the count asked for (at most 8) and the fixed pattern at that address.
  ASSERT_EQ(host.Set(4, {0xF8, 0x9F, 0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0}), platform::kS_OK);
  ASSERT_EQ(host.Get(4, 12, answer), platform::kS_OK);
  Bytes expected{0xF8, 0x9F, 0x08};
  for (std::uint16_t a = 0x9FF8; a < 0xA000; ++a) expected.push_back(BlockReadPattern(a));
  expected.push_back(0);
  EXPECT_EQ(answer, expected);
  Bytes other;
  ASSERT_EQ(host.Set(4, {0xF9, 0x9F, 0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0}), platform::kS_OK);
  ASSERT_EQ(host.Get(4, 12, other), platform::kS_OK);
  EXPECT_NE(Bytes(other.begin() + 3, other.end() - 1), Bytes(expected.begin() + 4, expected.end()));
}

TEST(SimRequests, BlockReadIsRefusedWhenConfigured) {
  SimConfig config;
  config.controller.blockRead = false;
  SimCamera sim(config);
  SimHost host(sim);
  EXPECT_LT(host.Set(4, {0xF8, 0x9F, 0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 0);
  Bytes answer;
  EXPECT_LT(host.Get(4, 12, answer), 0);
}

TEST(SimRequests, ChipIdFallbackAnswersOnTheConfiguredSetOnly) {
  struct Case {
    ChipIdFallback fallback;
    bool firstAnswers;
    bool secondAnswers;
  };
  const Case cases[] = {
      {ChipIdFallback::Refused, false, false},
      {ChipIdFallback::First, true, false},
      {ChipIdFallback::Second, false, true},
  };
  auto block = [](std::uint32_t direction, std::uint32_t reg) {
    Bytes b(40, 0);
    b[20] = static_cast<std::uint8_t>(direction);
    b[24] = static_cast<std::uint8_t>(reg);
    b[25] = static_cast<std::uint8_t>(reg >> 8);
    return b;
  };
  for (const Case& c : cases) {
    SimConfig config;
    config.controller.chipIdFallback = c.fallback;
    config.controller.chipId = 0x16;
    SimCamera sim(config);
    SimHost host(sim);
    platform::PropertySetInterface* ps = host.Device().QueryPropertySet();
    ASSERT_NE(ps, nullptr);
    for (const auto& [set, answers] : {std::pair{kChipIdPropertySetFirst, c.firstAnswers},
                                       std::pair{kChipIdPropertySetSecond, c.secondAnswers}}) {
      const Bytes setBlock = block(2, 0x101F);
      EXPECT_EQ(ps->Set(set, 0, setBlock, setBlock) == platform::kS_OK, answers);
      Bytes getBlock = block(1, 0);
      const Bytes instance = getBlock;
      EXPECT_EQ(ps->Get(set, 0, instance, getBlock) == platform::kS_OK, answers);
      EXPECT_EQ(getBlock[28], answers ? 0x16 : 0x00);
    }
    EXPECT_EQ(sim.Requests().size(), 4u);
    EXPECT_EQ(sim.Requests()[0].kind, RequestKind::PropertySetSet);
  }
  SimConfig absent;
  absent.controller.chipIdFallback = ChipIdFallback::Absent;
  SimCamera sim(absent);
  SimHost host(sim);
  EXPECT_EQ(host.Device().QueryPropertySet(), nullptr);
}

TEST(SimRequests, LatencyRunsOnTheVirtualClock) {
  SimConfig config;
  config.timing.requestLatencyMs = 7;
  SimCamera sim(config);
  SimHost host(sim);
  host.WriteReg(0x2000, 1);
  host.ReadReg(0x2000);
  EXPECT_EQ(sim.Clock().NowMs(), 21u);
  EXPECT_EQ(sim.Requests()[2].timeMs, 14u);
}

}  // namespace
}  // namespace torvane::simcam::test
