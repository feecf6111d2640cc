// Each fault the simulated camera can be asked to show.
#include <gtest/gtest.h>

#include <bit>
#include <functional>

#include "simcam/SimCamera.h"
#include "SimHost.h"

namespace torvane::simcam::test {
namespace {

using platform::HResult;

TEST(SimFaults, RequestFaultsFailTheRequestsTheyName) {
  // The same six requests under each fault: register write, register read (set, get), window read
  // (set, get), device information.
  struct Case {
    const char* what;
    std::function<void(FaultConfig&)> fault;
    std::vector<HResult> results;
  };
  using platform::kE_DEVICE_NOT_CONNECTED;
  using platform::kE_FAIL;
  using platform::kS_OK;
  const Case cases[] = {
      {"none", [](FaultConfig&) {}, {kS_OK, kS_OK, kS_OK, kS_OK, kS_OK, kS_OK}},
      {"request 3 fails", [](FaultConfig& f) { f.failRequest = 3; }, {kS_OK, kS_OK, kE_FAIL, kS_OK, kS_OK, kS_OK}},
      {"unplugged at request 4", [](FaultConfig& f) { f.unplugAtRequest = 4; },
       {kS_OK, kS_OK, kS_OK, kE_DEVICE_NOT_CONNECTED, kE_DEVICE_NOT_CONNECTED, kE_DEVICE_NOT_CONNECTED}},
      {"selector 3 fails", [](FaultConfig& f) { f.failSelector = 3; }, {kS_OK, kS_OK, kS_OK, kE_FAIL, kE_FAIL, kS_OK}},
      {"selector 1 fails", [](FaultConfig& f) { f.failSelector = 1; }, {kE_FAIL, kE_FAIL, kE_FAIL, kS_OK, kS_OK, kS_OK}},
  };
  for (const Case& c : cases) {
    SimConfig config;
    c.fault(config.faults);
    SimCamera sim(config);
    SimHost host(sim);
    Bytes answer;
    std::vector<HResult> results{
        host.Set(1, {0x00, 0x20, 0x5A, 0x00}),
        host.Set(1, {0x00, 0x20, 0x00, 0xFF}),
        host.Get(1, 4, answer),
        host.Set(3, {0, 0, 0x88, 0, 0, 0, 0, 0, 0, 0, 0}),
        host.Get(3, 11, answer),
        host.Get(5, 12, answer),
    };
    EXPECT_EQ(results, c.results) << c.what;
    // A failed request leaves the device untouched and is logged with its result.
    EXPECT_EQ(sim.Camera().PeekRegister(0x2000), c.results[0] == kS_OK ? 0x5A : 0x00) << c.what;
    for (std::size_t i = 0; i < results.size(); ++i) EXPECT_EQ(sim.Requests()[i].result, c.results[i]) << c.what;
  }
}

TEST(SimFaults, FaultsSetAfterConstructionApplyFromTheNextRequest) {
  SimCamera sim;
  SimHost host(sim);
  host.WriteReg(0x2000, 1);
  sim.Faults().unplugAtRequest = sim.RequestCount() + 2;
  EXPECT_EQ(host.Set(1, {0x00, 0x20, 0x02, 0x00}), platform::kS_OK);
  EXPECT_EQ(host.Set(1, {0x00, 0x20, 0x03, 0x00}), platform::kE_DEVICE_NOT_CONNECTED);
  EXPECT_EQ(sim.Camera().PeekRegister(0x2000), 2);
}

TEST(SimFaults, PortThatNeverReportsReadyStillShiftsItsBytes) {
  SimConfig config;
  config.faults.portNeverReady = true;
  SimCamera sim(config);
  SimHost host(sim);
  host.Open();
  host.Select();
  host.Send(0x9F);
  host.WriteReg(reg::kSfTransferControl, 2);
  Bytes polls;
  for (int i = 0; i < 5; ++i) polls.push_back(host.ReadReg(reg::kSfPortStatus));
  EXPECT_EQ(polls, Bytes(5, 0));
  EXPECT_EQ(host.ReadReg(reg::kSfRxData), 0xC2);
}

TEST(SimFaults, FlashThatStaysBusy) {
  SimConfig config;
  config.faults.flashStaysBusy = true;
  SimCamera sim(config);
  SimHost host(sim);
  host.Open();
  EXPECT_EQ(host.Command({0x9F}, 3), (Bytes{0xC2, 0x20, 0x11}));  // identification still answers
  host.Command({opcode::kWriteEnable});
  host.Command({opcode::kWriteStatus, 0x00});
  sim.Clock().SleepMs(60 * 1000);
  EXPECT_EQ(host.ReadStatus(), 0x0C | kStatusWriteEnableLatch | kStatusBusy);
  EXPECT_EQ(host.Command({0x9F}, 3), (Bytes{0xFF, 0xFF, 0xFF}));  // nothing but status reads now
  host.Close();
  // The controller's window write gives up waiting after its bound; nothing is programmed.
  ASSERT_EQ(host.WindowWrite(0x0000, 0x08, Bytes(8, 0x00)), platform::kS_OK);
  EXPECT_EQ(sim.Flash().Contents()[0], 0xFF);
}

TEST(SimFaults, FlashThatIgnoresEraseRunsItsTimeAndChangesNothing) {
  SimConfig config;
  config.flash.status = 0;
  config.faults.flashIgnoresErase = true;
  SimCamera sim(config);
  sim.Flash().Contents()[0x10] = 0x00;
  SimHost host(sim);
  host.Open();
  host.Command({opcode::kWriteEnable});
  host.Command({opcode::kChipEraseC7});
  EXPECT_NE(host.ReadStatus() & kStatusBusy, 0);
  sim.Clock().SleepMs(DefaultFlashPart().chipEraseMs);
  EXPECT_EQ(host.ReadStatus(), 0x00);
  host.Close();
  EXPECT_EQ(sim.Flash().Contents()[0x10], 0x00);
}

// Reads the first 64 KiB through the window in 8-byte groups.
Bytes ReadLowBank(SimHost& host) {
  Bytes all = host.WindowRead(0x0000, 0x88);
  for (int g = 1; g < 8192; ++g) {
    const Bytes next = host.Fetch();
    all.insert(all.end(), next.begin(), next.end());
  }
  return all;
}

TEST(SimFaults, BitFlipsAreSeededAndReproducible) {
  auto run = [](std::uint64_t seed, std::uint32_t every) {
    SimConfig config;
    config.faults.bitFlipEvery = every;
    config.faults.bitFlipSeed = seed;
    SimCamera sim(config);
    SimHost host(sim);
    return ReadLowBank(host);
  };
  auto flippedBits = [](const Bytes& b) {
    std::size_t n = 0;
    for (const std::uint8_t x : b) n += static_cast<std::size_t>(std::popcount(static_cast<std::uint8_t>(~x)));
    return n;
  };
  const Bytes a = run(42, 100);
  EXPECT_EQ(a, run(42, 100));
  EXPECT_NE(a, run(43, 100));
  const std::size_t flips = flippedBits(a);
  EXPECT_GT(flips, 40u);  // about 82 of 8192 answers
  EXPECT_LT(flips, 130u);
  EXPECT_EQ(flippedBits(run(7, 1)), 8192u);  // one bit in every answer
  EXPECT_EQ(flippedBits(run(7, 0)), 0u);
}

TEST(SimFaults, UnreadableDevicePath) {
  SimConfig config;
  config.faults.unreadableDevicePath = true;
  SimCamera sim(config);
  std::string name, path;
  EXPECT_EQ(sim.ReadFriendlyName(0, name), platform::kS_OK);
  EXPECT_LT(sim.ReadDevicePath(0, path), 0);
  std::unique_ptr<platform::BoundDevice> device;
  EXPECT_EQ(sim.BindDevice(0, device), platform::kS_OK);
}

TEST(SimFaults, NoExtensionUnitInTheTopology) {
  SimConfig config;
  config.faults.noExtensionUnit = true;
  SimCamera sim(config);
  SimHost host(sim);
  std::uint32_t nodes = 0;
  ASSERT_EQ(host.Device().NodeCount(nodes), platform::kS_OK);
  for (std::uint32_t n = 0; n < nodes; ++n) {
    platform::Guid type;
    ASSERT_EQ(host.Device().NodeType(n, type), platform::kS_OK);
    EXPECT_NE(type, platform::KSNODETYPE_DEV_SPECIFIC);
  }
  for (std::uint32_t node = 0; node < nodes; ++node) {
    Bytes payload{0x1F, 0x10, 0x00, 0xFF};
    EXPECT_LT(host.Request(1, kSet, payload, node), 0) << node;
  }
}

TEST(SimFaults, UnreadableTopologyLeavesTheUnitAnsweringAtItsNode) {
  SimConfig config;
  config.devices.front().topologyReadable = false;
  SimCamera sim(config);
  SimHost host(sim);
  std::uint32_t nodes = 0;
  EXPECT_LT(host.Device().NodeCount(nodes), 0);
  Bytes payload{0x1F, 0x10, 0x00, 0xFF};
  EXPECT_LT(host.Request(1, kSet, payload, 1), 0);
  EXPECT_EQ(host.Request(1, kSet, payload, 2), platform::kS_OK);
}

}  // namespace
}  // namespace torvane::simcam::test
