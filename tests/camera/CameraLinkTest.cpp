// Discovery of the camera (both bindings) and the dialog-level requests, against configured device
// lists of the simulated camera.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "camera/Backend.h"
#include "camera/CameraLink.h"
#include "tests/camera/WireLog.h"
#include "tests/camera/WrappedPlatform.h"

namespace torvane::camera::test {
namespace {

using simcam::DeviceConfig;
using simcam::SimConfig;

constexpr std::uint8_t kChipId = 0x32;  // the simulated controller's default

DeviceConfig PlainVideo(std::string path) {
  DeviceConfig d;
  d.kind = DeviceConfig::Kind::Video;
  d.friendlyName = "Plain Webcam";
  d.devicePath = std::move(path);
  return d;
}

DeviceConfig Camera(std::string path) {
  DeviceConfig d;
  d.devicePath = std::move(path);
  return d;
}

struct Discovery {
  explicit Discovery(const SimConfig& config) : sim(config), link(sim, console), backend(sim, sim.Clock()) {}
  simcam::SimCamera sim;
  std::ostringstream console;
  CameraLink link;
  Backend backend;
};

// ---- Discovery ----------------------------------------------------------------------------------

struct NoCameraCase {
  std::string name;
  SimConfig config;
  std::string consoleText;
  int openResult;
};

void PrintTo(const NoCameraCase& c, std::ostream* os) { *os << c.name; }

SimConfig WithDevices(std::vector<DeviceConfig> devices) {
  SimConfig c;
  c.devices = std::move(devices);
  return c;
}

NoCameraCase Unbindable() {
  DeviceConfig d;
  d.bindable = false;
  DeviceConfig video = PlainVideo("/dev/video1");
  video.bindable = false;
  return {"NothingBinds", WithDevices({d, video}), "", kOpenUnknownBackend};
}
NoCameraCase NoFriendlyName() {
  DeviceConfig d;
  d.friendlyNameReadable = false;
  return {"NoFriendlyName", WithDevices({d}), "", kOpenUnknownBackend};
}
NoCameraCase EnumerationFails() {
  SimConfig c;
  c.enumerationFails = true;
  return {"EnumerationFails", c, "No devices found in the device list.", kOpenNoDevice};
}

class NoCameraTest : public ::testing::TestWithParam<NoCameraCase> {};

TEST_P(NoCameraTest, FindCameraFailsAndOpenDeviceSaysWhy) {
  Discovery d(GetParam().config);
  EXPECT_EQ(d.link.FindCamera(), 1);
  EXPECT_EQ(d.console.str(), GetParam().consoleText);
  EXPECT_EQ(d.link.Binding().filter, nullptr);
  EXPECT_EQ(d.backend.OpenDevice(), GetParam().openResult);
  EXPECT_FALSE(d.backend.SlotOpen(0));
  EXPECT_TRUE(d.sim.Requests().empty());
}

INSTANTIATE_TEST_SUITE_P(Devices, NoCameraTest,
                         ::testing::Values(NoCameraCase{"NoDeviceAtAll", WithDevices({}),
                                                        "There are no VideoInputDevice devices available",
                                                        kOpenNoDevice},
                                           EnumerationFails(), Unbindable(), NoFriendlyName()),
                         CaseName{});

TEST(DiscoveryTest, HealthyCameraQualifiesByItsChipId) {
  Discovery d(SimConfig{});
  EXPECT_EQ(d.link.FindCamera(), 0);
  EXPECT_EQ(d.link.Binding().nodeId, kDefaultNode);
  EXPECT_EQ(KsRequests(d.sim), (std::vector<Wire>{Probe(kDefaultNode),
                                                  SetReq(XuSelector::RegisterAccess, {0x1F, 0x10, 0x00, 0xFF}),
                                                  RegisterGet()}));
  EXPECT_EQ(d.console.str(), "");
}

TEST(DiscoveryTest, DeviceWithoutTheUnitIsTriedAtNodes1And2ThenReleased) {
  Discovery d(WithDevices({PlainVideo("/dev/video0")}));
  EXPECT_EQ(d.link.FindCamera(), 1);
  EXPECT_EQ(d.link.Binding().filter, nullptr);
  EXPECT_EQ(KsRequests(d.sim), (std::vector<Wire>{RegisterReadSet(0x101F, 1), RegisterReadSet(0x101F, 2)}));

  // The back end takes it all the same, at node 1, and its first requests fail.
  d.sim.ClearLogs();
  EXPECT_EQ(d.backend.OpenDevice(), kOpenInitFailed);
  EXPECT_EQ(d.backend.Binding().nodeId, 1u);
  EXPECT_EQ(KsRequests(d.sim), (std::vector<Wire>{SetReq(XuSelector::BlockRead, BlockSet(0x9FF8).sent, 1),
                                                  RegisterReadSet(0x3C5, 1)}));
}

struct FallbackNodeCase {
  std::string name;
  std::uint32_t unitNode;
  std::vector<Wire> wire;
};

void PrintTo(const FallbackNodeCase& c, std::ostream* os) { *os << c.name; }

class UnreadableTopologyTest : public ::testing::TestWithParam<FallbackNodeCase> {};

// Without a topology the node search finds nothing: the chip id is read at node 1, then at node 2.
TEST_P(UnreadableTopologyTest, FallsBackToNodeIds1And2) {
  SimConfig config;
  config.devices[0].topologyReadable = false;
  config.devices[0].extensionUnitNode = GetParam().unitNode;
  Discovery d(config);
  EXPECT_EQ(d.link.FindCamera(), 0);
  EXPECT_EQ(d.link.Binding().nodeId, GetParam().unitNode);
  EXPECT_EQ(KsRequests(d.sim), GetParam().wire);

  // The back end's own fallback is node 1.
  d.sim.ClearLogs();
  d.backend.OpenDevice();
  EXPECT_EQ(d.backend.Binding().nodeId, 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Nodes, UnreadableTopologyTest,
    ::testing::Values(FallbackNodeCase{"UnitAtNode1", 1, {RegisterReadSet(0x101F, 1), RegisterGet(1)}},
                      FallbackNodeCase{"UnitAtNode2", 2,
                                       {RegisterReadSet(0x101F, 1), RegisterReadSet(0x101F, 2), RegisterGet(2)}}),
    CaseName{});

TEST(DiscoveryTest, TwoDevicesWithTheFirstLackingTheUnitGiveTwoDifferentBindings) {
  Discovery d(WithDevices({PlainVideo("/dev/video0"), Camera("/dev/video1")}));
  EXPECT_EQ(d.link.FindCamera(), 0);
  EXPECT_EQ(KsRequests(d.sim), (std::vector<Wire>{RegisterReadSet(0x101F, 1, 0), RegisterReadSet(0x101F, 2, 0),
                                                  Probe(kDefaultNode, 1), RegisterReadSet(0x101F, kDefaultNode, 1),
                                                  RegisterGet(kDefaultNode, 1)}));

  // The back end binds the first device that yields a filter: the one without the unit.
  EXPECT_EQ(d.backend.OpenDevice(), kOpenInitFailed);
  EXPECT_EQ(d.backend.GetDevicePath(), "/dev/video0");
  d.sim.ClearLogs();
  std::uint8_t chipId = 0;
  EXPECT_TRUE(d.link.GetChipIDValue(chipId));
  std::uint8_t value = 0;
  EXPECT_FALSE(d.backend.ReadRegister(0x101F, value));
  const auto wire = KsRequests(d.sim);
  ASSERT_EQ(wire.size(), 3u);
  EXPECT_EQ(wire[0].device, 1u);  // dialog-level requests go to the camera
  EXPECT_EQ(wire[1].device, 1u);
  EXPECT_EQ(wire[2].device, 0u);  // back-end requests to the first device, and fail
}

TEST(DiscoveryTest, UnreadableDevicePathFailsTheOpenWithAFilterBound) {
  SimConfig config;
  config.devices[0].devicePathReadable = false;
  Discovery d(config);
  EXPECT_LT(d.backend.BindBackendCamera(), 0);  // the failed read's code, never 1 or 2
  EXPECT_EQ(d.backend.AttachBackendCamera(), -2);
  d.sim.ClearLogs();
  EXPECT_EQ(d.backend.OpenDevice(), kOpenInitFailed);
  EXPECT_NE(d.backend.Binding().filter, nullptr);
  EXPECT_FALSE(d.backend.SlotOpen(0));
  EXPECT_EQ(d.backend.GetDevicePath(), "");
  EXPECT_EQ(KsRequests(d.sim), (std::vector<Wire>{Probe(kDefaultNode)}));  // only the node search
}

TEST(DiscoveryTest, BindAndAttachCodes) {
  struct Case {
    const char* name;
    SimConfig config;
    int bind;
    int attach;
  };
  SimConfig unbindable;
  unbindable.devices[0].bindable = false;
  SimConfig failing;
  failing.enumerationFails = true;
  for (const Case& c : {Case{"bound", SimConfig{}, 0, 1}, Case{"no device", WithDevices({}), 1, 0},
                        Case{"enumeration fails", failing, 1, 0}, Case{"no filter", unbindable, 2, -1}}) {
    Discovery d(c.config);
    EXPECT_EQ(d.backend.BindBackendCamera(), c.bind) << c.name;
    EXPECT_EQ(d.backend.AttachBackendCamera(), c.attach) << c.name;
  }
}

TEST(DiscoveryTest, EachDiscoveryReplacesTheBoundDevice) {
  simcam::SimCamera sim;
  WrappedPlatform platform(sim);
  std::ostringstream console;
  CameraLink link(platform, console);
  EXPECT_EQ(link.FindCamera(), 0);
  EXPECT_EQ(link.FindCamera(), 0);
  EXPECT_EQ(platform.liveDevices, 1);
  platform.devicesGone = true;
  EXPECT_EQ(link.FindCamera(), 1);
  EXPECT_EQ(platform.liveDevices, 0);
  EXPECT_EQ(link.Binding().filter, nullptr);
  platform.devicesGone = false;
  EXPECT_EQ(link.FindCamera(), 0);
  link.ReleaseCamera();
  EXPECT_EQ(platform.liveDevices, 0);
}

// ---- The node search ----------------------------------------------------------------------------

// A topology as data: the node search is a walk over it, the simulated camera has one unit only.
class FakeTopology final : public platform::BoundDevice {
 public:
  struct Node {
    platform::Guid type;
    platform::HResult typeResult = platform::kS_OK;
    platform::HResult probeResult = platform::kE_PROP_ID_UNSUPPORTED;
  };
  FakeTopology(platform::HResult countResult, std::vector<Node> nodes)
      : countResult_(countResult), nodes_(std::move(nodes)) {}

  platform::HResult NodeCount(std::uint32_t& count) override {
    count = static_cast<std::uint32_t>(nodes_.size());
    return countResult_;
  }
  platform::HResult NodeType(std::uint32_t node, platform::Guid& type) override {
    type = nodes_.at(node).type;
    return nodes_.at(node).typeResult;
  }
  platform::HResult KsProperty(const platform::KsNodeProperty& p, std::span<std::uint8_t> data) override {
    probes.push_back(p);
    probeDataLengths.push_back(data.size());
    return nodes_.at(p.nodeId).probeResult;
  }
  platform::PropertySetInterface* QueryPropertySet() override { return nullptr; }

  std::vector<platform::KsNodeProperty> probes;
  std::vector<std::size_t> probeDataLengths;

 private:
  platform::HResult countResult_;
  std::vector<Node> nodes_;
};

const platform::Guid kOtherType = platform::Guid::FromString("{DFF229E1-F70F-11D0-B917-00A0C9223196}");

struct NodeSearchCase {
  std::string name;
  platform::HResult countResult;
  std::vector<FakeTopology::Node> nodes;
  bool found;
  std::uint32_t node;                 // the id found (or the untouched 77)
  std::vector<std::uint32_t> probed;  // nodes that received the probe
};

void PrintTo(const NodeSearchCase& c, std::ostream* os) { *os << c.name; }

class NodeSearchTest : public ::testing::TestWithParam<NodeSearchCase> {};

TEST_P(NodeSearchTest, LowestVendorNodeThatTakesTheProbeWins) {
  const NodeSearchCase& c = GetParam();
  FakeTopology topology(c.countResult, c.nodes);
  std::uint32_t node = 77;
  EXPECT_EQ(FindXuNode(topology, node), c.found);
  EXPECT_EQ(node, c.node);
  std::vector<std::uint32_t> probed;
  for (const auto& p : topology.probes) {
    probed.push_back(p.nodeId);
    EXPECT_EQ(p.set, kXuPropertySet);
    EXPECT_EQ(p.id, 0u);
    EXPECT_EQ(p.flags, 0x10000100u);
    EXPECT_EQ(p.reserved, 0u);
  }
  EXPECT_EQ(probed, c.probed);
  for (const std::size_t length : topology.probeDataLengths) EXPECT_EQ(length, 0u);
}

const platform::Guid& Xu() { return platform::KSNODETYPE_DEV_SPECIFIC; }

INSTANTIATE_TEST_SUITE_P(
    Topologies, NodeSearchTest,
    ::testing::Values(
        NodeSearchCase{"SeveralQualifyingLowestWins",
                       platform::kS_OK,
                       {{kOtherType}, {Xu(), platform::kS_OK, platform::kE_PROP_ID_UNSUPPORTED},
                        {Xu(), platform::kS_OK, platform::kS_OK}, {Xu(), platform::kS_OK, platform::kS_OK}},
                       true,
                       2,
                       {1, 2}},
        // Any non-negative answer to the probe counts.
        NodeSearchCase{"PositiveProbeAnswer", platform::kS_OK, {{Xu(), platform::kS_OK, platform::kS_FALSE}}, true, 0, {0}},
        NodeSearchCase{"UnreadableTypeIsSkipped",
                       platform::kS_OK,
                       {{Xu(), platform::kE_FAIL, platform::kS_OK}, {Xu(), platform::kS_OK, platform::kS_OK}},
                       true,
                       1,
                       {1}},
        NodeSearchCase{"NoVendorNode", platform::kS_OK, {{kOtherType}, {kOtherType}}, false, 77, {}},
        NodeSearchCase{"NoNodeTakesTheProbe", platform::kS_OK, {{Xu()}, {Xu()}}, false, 77, {0, 1}},
        NodeSearchCase{"TopologyRefused", platform::kE_NOTIMPL, {{Xu(), platform::kS_OK, platform::kS_OK}}, false,
                       77, {}},
        NodeSearchCase{"NoNodes", platform::kS_OK, {}, false, 77, {}}),
    CaseName{});

// ---- Device path --------------------------------------------------------------------------------

struct PathCase {
  std::string name;
  std::string path;
  std::size_t kept;  // bytes kept
};

void PrintTo(const PathCase& c, std::ostream* os) { *os << c.name; }

class DevicePathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(DevicePathTest, KeptWholeOrCutBeforeTheCharacterThatDoesNotFit) {
  std::array<char, 256> text;
  text.fill('x');
  CopyDevicePath(GetParam().path, text);
  EXPECT_EQ(std::string(text.data()), GetParam().path.substr(0, GetParam().kept));
  EXPECT_EQ(text[GetParam().kept], '\0');
  EXPECT_EQ(text.back(), '\0');
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DevicePathTest,
    ::testing::Values(PathCase{"Short", "/dev/video0", 11}, PathCase{"Exactly255", std::string(255, 'a'), 255},
                      PathCase{"Ascii300", std::string(300, 'a'), 255},
                      PathCase{"TwoByteCharFits", std::string(253, 'a') + "\xC3\xA9" + "b", 255},
                      PathCase{"TwoByteCharCut", std::string(254, 'a') + "\xC3\xA9", 254},
                      PathCase{"ThreeByteCharCut", std::string(253, 'a') + "\xE2\x82\xAC", 253},
                      PathCase{"FourByteCharCut", std::string(252, 'a') + "\xF0\x9F\x93\xB7", 252},
                      PathCase{"FourByteCharFits", std::string(251, 'a') + "\xF0\x9F\x93\xB7" + "z", 255},
                      // Not UTF-8: a run of continuation bytes is cut at the bound.
                      PathCase{"NotUtf8", std::string(300, '\x80'), 255}),
    CaseName{});

TEST(DevicePathTest, OpenKeepsThePlatformsPathBounded) {
  SimConfig config;
  const std::string longPath = "/dev/v4l/by-id/usb-" + std::string(234, 'c') + "\xE2\x82\xAC-video-index0";
  config.devices[0].devicePath = longPath;
  Discovery d(config);
  ASSERT_EQ(d.backend.OpenDevice(), kOpenOk);
  EXPECT_EQ(d.backend.GetDevicePath(), longPath.substr(0, 253));  // the euro sign at 253-255 does not fit
}

// ---- Dialog-level requests ----------------------------------------------------------------------

class DialogRequestTest : public ::testing::Test {
 protected:
  DialogRequestTest() : d_(SimConfig{}) {
    auto& flash = d_.sim.Flash().Contents();
    for (std::size_t i = 0; i < flash.size(); ++i) flash[i] = 0xFF;
    flash[0x1234] = 0x11;
    flash[0x123B] = 0x18;
    flash[0x11234] = 0x91;
    flash[0x1123B] = 0x98;
  }
  void Find() {
    ArmControllerProgramming(d_.sim);
    ASSERT_EQ(d_.link.FindCamera(), 0);
    d_.sim.ClearLogs();
  }
  static Wire Dialog(std::uint32_t flags, simcam::Bytes bytes) {
    return Wire{3, flags, std::move(bytes), kDefaultNode, 0, true};
  }
  Discovery d_;
};

TEST_F(DialogRequestTest, ChipIdIsTheThirdByteOfTheRegisterAnswer) {
  Find();
  std::uint8_t chipId = 0;
  EXPECT_TRUE(d_.link.GetChipIDValue(chipId));
  EXPECT_EQ(chipId, kChipId);
  EXPECT_EQ(d_.link.ChipId, 0);  // the callers store it
  EXPECT_EQ(KsRequests(d_.sim),
            (std::vector<Wire>{SetReq(XuSelector::RegisterAccess, {0x1F, 0x10, 0x00, 0xFF}), RegisterGet()}));
}

TEST_F(DialogRequestTest, ReadFlash8TakesItsBankFromHighBankFlag) {
  Find();
  std::array<std::uint8_t, 8> out{};
  EXPECT_TRUE(d_.link.ReadFlash8(0x12, 0x34, out));
  EXPECT_EQ(out, (std::array<std::uint8_t, 8>{0x11, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x18}));
  d_.link.HighBankFlag = 1;
  EXPECT_TRUE(d_.link.ReadFlash8(0x12, 0x34, out));
  EXPECT_EQ(out, (std::array<std::uint8_t, 8>{0x91, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x98}));
  EXPECT_EQ(KsRequests(d_.sim),
            (std::vector<Wire>{Dialog(kXuSetFlags, {0x34, 0x12, 0x88, 0, 0, 0, 0, 0, 0, 0, 0}),
                               Dialog(kXuGetFlags, simcam::Bytes(11, 0)),
                               Dialog(kXuSetFlags, {0x34, 0x12, 0x98, 0, 0, 0, 0, 0, 0, 0, 0}),
                               Dialog(kXuGetFlags, simcam::Bytes(11, 0))}));
}

TEST_F(DialogRequestTest, WriteFlash8IsOneSet) {
  Find();
  const std::array<std::uint8_t, 8> data{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
  EXPECT_TRUE(d_.link.WriteFlash8(0xFF, 0xF8, data));
  d_.link.HighBankFlag = 1;
  EXPECT_TRUE(d_.link.WriteFlash8(0xFF, 0xF8, data));
  EXPECT_EQ(KsRequests(d_.sim),
            (std::vector<Wire>{Dialog(kXuSetFlags, {0xF8, 0xFF, 0x08, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}),
                               Dialog(kXuSetFlags, {0xF8, 0xFF, 0x18, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF})}));
  const auto& flash = d_.sim.Flash().Contents();
  EXPECT_TRUE(std::equal(data.begin(), data.end(), flash.begin() + 0xFFF8));
  EXPECT_TRUE(std::equal(data.begin(), data.end(), flash.begin() + 0x1FFF8));
}

TEST_F(DialogRequestTest, FailedRequestsSendNoGetAndLeaveTheOutput) {
  Find();
  std::array<std::uint8_t, 8> out{};
  out.fill(0x77);
  for (const std::uint64_t failing : {1u, 2u}) {  // the set, then the get
    d_.sim.ClearLogs();
    d_.sim.Faults().failRequest = d_.sim.RequestCount() + failing;
    EXPECT_FALSE(d_.link.ReadFlash8(0x12, 0x34, out));
    EXPECT_EQ(KsRequests(d_.sim).size(), failing);
    EXPECT_EQ(out, (std::array<std::uint8_t, 8>{0x77, 0x77, 0x77, 0x77, 0x77, 0x77, 0x77, 0x77}));
  }
  d_.sim.Faults().failRequest = d_.sim.RequestCount() + 1;
  EXPECT_FALSE(d_.link.WriteFlash8(0x12, 0x34, out));

  // A refused get after an accepted set fails at once: the fallback is not tried.
  d_.sim.ClearLogs();
  d_.sim.Faults().failRequest = d_.sim.RequestCount() + 2;
  std::uint8_t chipId = 0x77;
  EXPECT_FALSE(d_.link.GetChipIDValue(chipId));
  EXPECT_EQ(chipId, 0x77);
  EXPECT_EQ(d_.sim.Requests().size(), 2u);
}

TEST_F(DialogRequestTest, NothingIsSentWithoutABoundCamera) {
  std::uint8_t chipId = 0;
  std::array<std::uint8_t, 8> out{};
  EXPECT_FALSE(d_.link.GetChipIDValue(chipId));
  EXPECT_FALSE(d_.link.ReadFlash8(0, 0, out));
  EXPECT_FALSE(d_.link.WriteFlash8(0, 0, out));
  Find();
  d_.link.ReleaseCamera();
  EXPECT_FALSE(d_.link.GetChipIDValue(chipId));
  EXPECT_TRUE(d_.sim.Requests().empty());
}

// ---- Chip-id fallback through the vendor property sets ------------------------------------------

simcam::Bytes FallbackBlock(std::uint8_t direction, bool withRegister) {
  simcam::Bytes b(40, 0);
  b[20] = direction;  // word 5
  if (withRegister) {
    b[24] = 0x1F;  // word 6: 0x101F
    b[25] = 0x10;
  }
  return b;
}

struct PropertySetCall {
  simcam::RequestKind kind;
  platform::Guid set;
  simcam::Bytes sent;
  friend bool operator==(const PropertySetCall&, const PropertySetCall&) = default;
};

PropertySetCall SetOn(const platform::Guid& set) {
  return {simcam::RequestKind::PropertySetSet, set, FallbackBlock(2, true)};
}
PropertySetCall GetOn(const platform::Guid& set) {
  return {simcam::RequestKind::PropertySetGet, set, FallbackBlock(1, false)};
}

struct FallbackCase {
  std::string name;
  simcam::ChipIdFallback fallback;
  bool succeeds;
  std::vector<PropertySetCall> calls;
};

void PrintTo(const FallbackCase& c, std::ostream* os) { *os << c.name; }

class ChipIdFallbackTest : public ::testing::TestWithParam<FallbackCase> {};

TEST_P(ChipIdFallbackTest, TriesTheFirstVendorSetThenTheSecond) {
  const FallbackCase& c = GetParam();
  SimConfig config;
  config.controller.chipIdFallback = c.fallback;
  config.faults.failSelector = 1;  // the unit refuses the register read request
  Discovery d(config);

  EXPECT_EQ(d.link.FindCamera(), c.succeeds ? 0 : 1);
  if (c.succeeds) {
    d.sim.ClearLogs();
    std::uint8_t chipId = 0;
    EXPECT_TRUE(d.link.GetChipIDValue(chipId));
    EXPECT_EQ(chipId, kChipId);
  }

  std::vector<PropertySetCall> calls;
  for (const auto& r : d.sim.Requests())
    if (r.kind != simcam::RequestKind::KsProperty) calls.push_back({r.kind, r.set, r.sent});
  // A discovery that fails makes both attempts.
  std::vector<PropertySetCall> expected = c.calls;
  if (!c.succeeds) expected.insert(expected.end(), c.calls.begin(), c.calls.end());
  EXPECT_EQ(calls, expected);
  // Only the register set went to the unit: no get follows the refused set.
  for (const auto& w : KsRequests(d.sim)) EXPECT_NE(w.flags, kXuGetFlags);
}

const platform::Guid& First() { return simcam::kChipIdPropertySetFirst; }
const platform::Guid& Second() { return simcam::kChipIdPropertySetSecond; }

INSTANTIATE_TEST_SUITE_P(
    PropertySets, ChipIdFallbackTest,
    ::testing::Values(FallbackCase{"FirstAnswers", simcam::ChipIdFallback::First, true, {SetOn(First()), GetOn(First())}},
                      FallbackCase{"SecondAnswers",
                                   simcam::ChipIdFallback::Second,
                                   true,
                                   {SetOn(First()), SetOn(Second()), GetOn(First()), GetOn(Second())}},
                      FallbackCase{"NeitherAnswers", simcam::ChipIdFallback::Refused, false,
                                   {SetOn(First()), SetOn(Second())}},
                      FallbackCase{"NoPropertySetInterface", simcam::ChipIdFallback::Absent, false, {}}),
    CaseName{});

}  // namespace
}  // namespace torvane::camera::test
