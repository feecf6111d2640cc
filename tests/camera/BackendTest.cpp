// The back end against the simulated camera: what OpenDevice sends and decides, the request builders
// byte for byte, and that every failure is reported and stops what follows it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "camera/Backend.h"
#include "tests/camera/WireLog.h"
#include "tests/camera/WrappedPlatform.h"

namespace torvane::camera::test {
namespace {

std::vector<Wire> ProbeFailsThenRegister3C5() {
  return {Probe(kDefaultNode), BlockSet(0x9FF8), RegisterReadSet(0x3C5), RegisterGet()};
}

TEST(OpenDeviceTest, HealthyCameraAnswersTheProbeAndKeepsEightBytePieces) {
  simcam::SimCamera sim;
  Backend backend(sim, sim.Clock());
  EXPECT_EQ(backend.OpenDevice(), kOpenOk);
  EXPECT_EQ(KsRequests(sim), HealthyOpen());
  EXPECT_TRUE(backend.SlotOpen(0));
  EXPECT_EQ(backend.MaskRomTypeIndex(0), Backend::kMaskRomRow);
  EXPECT_EQ(backend.ChunkSize, 8u);
  EXPECT_EQ(backend.Binding().nodeId, kDefaultNode);
  EXPECT_EQ(backend.GetDevicePath(), "/dev/video0");
}

struct ChunkCase {
  std::string name;
  std::uint8_t register3C5;
  std::uint32_t chunk;
};

void PrintTo(const ChunkCase& c, std::ostream* os) { *os << c.name; }

class ChunkDecisionTest : public ::testing::TestWithParam<ChunkCase> {};

TEST_P(ChunkDecisionTest, RefusedBlockReadsLetRegister3C5Decide) {
  simcam::SimConfig config;
  config.controller.blockRead = false;
  config.controller.register3C5 = GetParam().register3C5;
  simcam::SimCamera sim(config);
  Backend backend(sim, sim.Clock());

  EXPECT_EQ(backend.OpenDevice(), kOpenOk);
  // The first refused block read ends the probe; no get follows it.
  EXPECT_EQ(KsRequests(sim), ProbeFailsThenRegister3C5());
  EXPECT_EQ(backend.MaskRomTypeIndex(0), 0);
  EXPECT_EQ(backend.ChunkSize, GetParam().chunk);
}

INSTANTIATE_TEST_SUITE_P(Register3C5, ChunkDecisionTest,
                         ::testing::Values(ChunkCase{"Three", 3, 1}, ChunkCase{"Zero", 0, 8}, ChunkCase{"Two", 2, 8},
                                           ChunkCase{"Four", 4, 8}),
                         CaseName{});

TEST(OpenDeviceTest, OneBytePiecesReadTenBytesWithOneRequest) {
  simcam::SimConfig config;
  config.controller.blockRead = false;
  config.controller.register3C5 = 3;
  simcam::SimCamera sim(config);
  auto& flash = sim.Flash().Contents();
  for (std::size_t i = 0; i < 10; ++i) flash[0x2000 + i] = static_cast<std::uint8_t>(0x40 + i);
  Backend backend(sim, sim.Clock());
  ASSERT_EQ(backend.OpenDevice(), kOpenOk);
  sim.ClearLogs();

  std::array<std::uint8_t, 10> buffer{};
  EXPECT_TRUE(backend.ReadMemory(TransferMode::ReadWindow, 0x2000, buffer));
  std::vector<Wire> expected{WindowSet(0x2000, 0x81)};
  expected.insert(expected.end(), 10, WindowGet());
  EXPECT_EQ(KsRequests(sim), expected);
  for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(buffer[i], 0x40 + i);

  // The next open decides again.
  sim.Camera().PokeRegister(simcam::reg::kRegister3C5, 0);
  ASSERT_EQ(backend.OpenDevice(), kOpenOk);
  EXPECT_EQ(backend.ChunkSize, 8u);
}

TEST(OpenDeviceTest, ProbeWhoseThirdReadFailsLeavesTheIndexAndReadsRegister3C5) {
  simcam::SimCamera sim;
  Backend backend(sim, sim.Clock());
  // Request 1 is the node probe; the block reads are 2/3, 4/5, 6/7...: the third set is request 6.
  sim.Faults().failRequest = sim.RequestCount() + 6;
  EXPECT_EQ(backend.OpenDevice(), kOpenOk);
  EXPECT_EQ(KsRequests(sim), (std::vector<Wire>{Probe(kDefaultNode), BlockSet(0x9FF8), BlockGet(), BlockSet(0xD2B2),
                                                BlockGet(), BlockSet(0xDFF8), RegisterReadSet(0x3C5), RegisterGet()}));
  EXPECT_EQ(backend.MaskRomTypeIndex(0), 0);
}

TEST(OpenDeviceTest, UnreadableRegister3C5FailsTheOpenButLeavesTheSlotOpen) {
  simcam::SimConfig config;
  config.controller.blockRead = false;
  simcam::SimCamera sim(config);
  Backend backend(sim, sim.Clock());
  sim.Faults().failRequest = sim.RequestCount() + 3;  // the set of the 0x3C5 read
  EXPECT_EQ(backend.OpenDevice(), kOpenInitFailed);
  EXPECT_EQ(KsRequests(sim), (std::vector<Wire>{Probe(kDefaultNode), BlockSet(0x9FF8), RegisterReadSet(0x3C5)}));
  EXPECT_TRUE(backend.SlotOpen(0));
  EXPECT_TRUE(backend.CloseDevice());
}

TEST(OpenDeviceTest, ASucceededProbeIsRememberedByLaterOpens) {
  simcam::SimCamera sim;
  Backend backend(sim, sim.Clock());
  ASSERT_EQ(backend.OpenDevice(), kOpenOk);
  sim.ClearLogs();
  sim.Faults().failSelector = 4;  // the block reads now fail
  EXPECT_EQ(backend.OpenDevice(), kOpenOk);
  // No register 0x3C5 read: the index is still 23.
  EXPECT_EQ(KsRequests(sim), (std::vector<Wire>{Probe(kDefaultNode), BlockSet(0x9FF8)}));
  EXPECT_EQ(backend.MaskRomTypeIndex(0), Backend::kMaskRomRow);
  EXPECT_EQ(backend.ChunkSize, 8u);
}

TEST(OpenDeviceTest, ProbeMaskRomTypeLeavesTheCallersBufferAlone) {
  simcam::SimCamera sim;
  Backend backend(sim, sim.Clock());
  ASSERT_EQ(backend.OpenDevice(), kOpenOk);
  sim.ClearLogs();
  std::array<std::uint8_t, 8> record{};
  record.fill(0x5C);
  EXPECT_EQ(backend.ProbeMaskRomType(record), 1);
  const std::vector<Wire> open = HealthyOpen();
  EXPECT_EQ(KsRequests(sim), std::vector<Wire>(open.begin() + 1, open.end()));  // the open less its node probe
  EXPECT_EQ(record, (std::array<std::uint8_t, 8>{0x5C, 0x5C, 0x5C, 0x5C, 0x5C, 0x5C, 0x5C, 0x5C}));
  sim.ClearLogs();
  EXPECT_EQ(backend.ProbeMaskRomType({}), 0);  // no buffer
  EXPECT_TRUE(KsRequests(sim).empty());
}

// ---- Request builders ---------------------------------------------------------------------------

class BuilderTest : public ::testing::Test {
 protected:
  BuilderTest() {
    config_.controller.deviceInfoWord = 0xBEEF;
    config_.controller.deviceInfoMode = 0x5A;
    sim_ = std::make_unique<simcam::SimCamera>(config_);
    backend_ = std::make_unique<Backend>(*sim_, sim_->Clock());
  }
  void Open() {
    ASSERT_EQ(backend_->OpenDevice(), kOpenOk);
    sim_->ClearLogs();
  }
  simcam::SimConfig config_;
  std::unique_ptr<simcam::SimCamera> sim_;
  std::unique_ptr<Backend> backend_;
};

TEST_F(BuilderTest, RegisterAccessPayloads) {
  Open();
  EXPECT_TRUE(backend_->WriteRegister(0x1091, 0x5A));
  EXPECT_EQ(sim_->Camera().PeekRegister(0x1091), 0x5A);
  sim_->Camera().PokeRegister(0x0234, 0xC3);
  std::uint8_t value = 0;
  EXPECT_TRUE(backend_->ReadRegister(0x0234, value));
  EXPECT_EQ(value, 0xC3);
  EXPECT_EQ(KsRequests(*sim_), (std::vector<Wire>{SetReq(XuSelector::RegisterAccess, {0x91, 0x10, 0x5A, 0x00}),
                                                  RegisterReadSet(0x0234), RegisterGet()}));
}

TEST_F(BuilderTest, DeviceInformationIsAGetAlone) {
  Open();
  std::uint8_t mode = 0;
  std::uint16_t word = 0;
  EXPECT_TRUE(backend_->ReadDeviceInfoByte(mode));
  EXPECT_TRUE(backend_->ReadDeviceInfoWord(word));
  EXPECT_EQ(mode, 0x5A);
  EXPECT_EQ(word, 0xBEEF);
  EXPECT_EQ(KsRequests(*sim_), (std::vector<Wire>{GetReq(XuSelector::DeviceInfo, 12), GetReq(XuSelector::DeviceInfo, 12)}));
}

TEST_F(BuilderTest, WindowCommandsAndTargetAccess) {
  Open();
  EXPECT_TRUE(backend_->XuWindowCommandC8(0));
  EXPECT_TRUE(backend_->XuWindowCommand40(0, 0x11, 0x2233));
  const std::array<std::uint8_t, 4> written{0x12, 0x34, 0xAA, 0xBB};
  EXPECT_TRUE(backend_->XuWriteTarget(0x50, 0x22, written));  // two address bytes, two data bytes
  std::array<std::uint8_t, 4> field{0x7F, 0xEE, 0xEE, 0xEE};
  EXPECT_TRUE(backend_->XuReadTarget(0x51, 0x13, field));  // one address byte, three data bytes
  const std::vector<Wire> wire = KsRequests(*sim_);
  EXPECT_EQ(wire, (std::vector<Wire>{WindowSet(0, 0xC8), WindowSet(0, 0x40, {0x11, 0x33, 0x22}),
                                     SetReq(XuSelector::TargetAccess, {0x50, 0x22, 0x12, 0x34, 0xAA, 0xBB, 0x00, 0x00}),
                                     SetReq(XuSelector::TargetAccess, {0x51, 0x13, 0x7F, 0x00, 0x00, 0x00, 0x00, 0xFF}),
                                     GetReq(XuSelector::TargetAccess, 8)}));
  // The field is the answer's bytes 2 to 5.
  const auto& answer = sim_->Requests().back().answered;
  EXPECT_EQ(field, (std::array<std::uint8_t, 4>{answer[2], answer[3], answer[4], answer[5]}));

  // A field longer than the five bytes the payload holds, or than the caller's bytes, is refused.
  sim_->ClearLogs();
  std::array<std::uint8_t, 6> six{};
  EXPECT_FALSE(backend_->XuWriteTarget(0x50, 0x24, six));
  EXPECT_FALSE(backend_->XuReadTarget(0x50, 0x15, six));
  EXPECT_FALSE(backend_->XuWriteTarget(0x50, 0x03, std::span(six).first(3)));
  EXPECT_TRUE(KsRequests(*sim_).empty());
}

TEST_F(BuilderTest, BlockReadStoresAtMostEightBytesWhateverItsAnswerClaims) {
  WrappedPlatform platform(*sim_);
  Backend backend(platform, sim_->Clock());
  ASSERT_EQ(backend.OpenDevice(), kOpenOk);
  std::uint8_t claimed = 0;
  platform.answerHook = [&](const platform::KsNodeProperty& p, std::span<std::uint8_t> data) {
    if (p.id == 4 && p.flags == kXuGetFlags) data[2] = claimed;
  };

  struct Case {
    std::uint8_t claimed;
    std::size_t count;
  };
  for (const Case c : {Case{0x20, 8}, Case{0xFF, 8}, Case{9, 8}, Case{3, 3}, Case{0, 0}}) {
    claimed = c.claimed;
    std::array<std::uint8_t, 8> data{};
    data.fill(0xEE);
    std::size_t count = 99;
    EXPECT_TRUE(backend.XuReadBlock(0, 0x0100, data, count));
    EXPECT_EQ(count, c.count) << "claimed " << int{c.claimed};
    for (std::size_t i = 0; i < 8; ++i)
      EXPECT_EQ(data[i], i < c.count ? simcam::BlockReadPattern(static_cast<std::uint16_t>(0x100 + i)) : 0xEE);

    // Through a transfer, a piece stores no more than its own bytes.
    std::array<std::uint8_t, 7> guarded{};
    guarded.fill(0xEE);
    EXPECT_TRUE(backend.ReadMemory(TransferMode::ReadBlocks, 0x0100, std::span(guarded).first(5)));
    for (std::size_t i = 0; i < 7; ++i) {
      const bool stored = i < std::min<std::size_t>(c.count, 5);
      EXPECT_EQ(guarded[i], stored ? simcam::BlockReadPattern(static_cast<std::uint16_t>(0x100 + i)) : 0xEE);
    }
  }
}

// Every read builder: a refused set sends no get, a refused get fails, and the output stays as it was.
TEST_F(BuilderTest, FailedReadsSendNoGetAndLeaveTheirOutput) {
  Open();
  struct Read {
    const char* name;
    std::function<bool()> call;
    std::function<bool()> untouched;
  };
  std::uint8_t value = 0x77;
  std::uint16_t word = 0x7777;
  std::array<std::uint8_t, 8> data{};
  std::size_t count = 77;
  std::array<std::uint8_t, 3> field{0x01, 0x77, 0x77};
  const std::vector<Read> reads{
      {"register", [&] { return backend_->XuReadRegister(0, 0x1084, value); }, [&] { return value == 0x77; }},
      {"block", [&] { return backend_->XuReadBlock(0, 0x100, data, count); },
       [&] { return count == 77 && data[0] == 0x77; }},
      {"target", [&] { return backend_->XuReadTarget(0x50, 0x12, field); },
       [&] { return field == std::array<std::uint8_t, 3>{0x01, 0x77, 0x77}; }},
  };
  for (const Read& r : reads) {
    for (const std::uint64_t failing : {1u, 2u}) {  // the set, then the get
      data.fill(0x77);
      sim_->ClearLogs();
      sim_->Faults().failRequest = sim_->RequestCount() + failing;
      EXPECT_FALSE(r.call()) << r.name;
      EXPECT_EQ(KsRequests(*sim_).size(), failing) << r.name;
      EXPECT_TRUE(r.untouched()) << r.name;
    }
  }
  sim_->ClearLogs();
  sim_->Faults().failSelector = 5;
  EXPECT_FALSE(backend_->ReadDeviceInfoByte(value));
  EXPECT_FALSE(backend_->ReadDeviceInfoWord(word));
  EXPECT_EQ(value, 0x77);
  EXPECT_EQ(word, 0x7777);
}

// Without a bound device nothing reaches the platform, whether the slot was never opened or its
// binding was emptied by an open that found no device.
TEST_F(BuilderTest, NothingIsSentOnAnEmptyBinding) {
  WrappedPlatform platform(*sim_);
  Backend backend(platform, sim_->Clock());
  const auto allRefused = [&] {
    std::uint8_t value = 0;
    std::uint16_t word = 0;
    std::array<std::uint8_t, 8> data{};
    std::size_t count = 0;
    EXPECT_FALSE(backend.XuWriteRegister(0, 0x1080, 1));
    EXPECT_FALSE(backend.XuReadRegister(0, 0x1080, value));
    EXPECT_FALSE(backend.XuWriteTarget(0x50, 0x11, data));
    EXPECT_FALSE(backend.XuReadTarget(0x50, 0x11, data));
    EXPECT_FALSE(backend.XuWriteWindow(0, 0, 8, data));
    EXPECT_FALSE(backend.XuRequestWindowRead(0, 0, 8));
    EXPECT_FALSE(backend.XuFetchWindow(0, data));
    EXPECT_FALSE(backend.XuReadBlock(0, 0, data, count));
    EXPECT_FALSE(backend.XuReadDeviceInfoByte(0, value));
    EXPECT_FALSE(backend.XuReadDeviceInfoWord(0, word));
    EXPECT_FALSE(backend.XuWindowCommandC8(0));
    EXPECT_FALSE(backend.XuWindowCommand40(0, 1, 2));
  };
  allRefused();
  EXPECT_TRUE(sim_->Requests().empty());

  ASSERT_EQ(backend.OpenDevice(), kOpenOk);
  platform.devicesGone = true;
  EXPECT_EQ(backend.OpenDevice(), kOpenNoDevice);
  EXPECT_EQ(platform.liveDevices, 0);  // the old device was released
  EXPECT_TRUE(backend.SlotOpen(0));    // a failed attach changes nothing else
  sim_->ClearLogs();
  allRefused();
  std::array<std::uint8_t, 8> buffer{};
  EXPECT_FALSE(backend.ReadMemory(TransferMode::ReadWindow, 0, buffer));
  EXPECT_TRUE(sim_->Requests().empty());
}

TEST(BindingLifetimeTest, EachOpenReplacesTheDeviceAndCloseReleasesIt) {
  simcam::SimCamera sim;
  WrappedPlatform platform(sim);
  Backend backend(platform, sim.Clock());
  ASSERT_EQ(backend.OpenDevice(), kOpenOk);
  ASSERT_EQ(backend.OpenDevice(), kOpenOk);
  EXPECT_EQ(platform.liveDevices, 1);
  EXPECT_TRUE(backend.CloseDevice());
  EXPECT_EQ(platform.liveDevices, 0);
  EXPECT_FALSE(backend.CloseDevice());
}

}  // namespace
}  // namespace torvane::camera::test
