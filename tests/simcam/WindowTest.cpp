// The flash window (selector 3): streamed reads, and writes that the controller programs through the
// flash with the opcodes it holds.
#include <gtest/gtest.h>

#include <numeric>

#include "simcam/SimCamera.h"
#include "SimHost.h"

namespace torvane::simcam::test {
namespace {

// Fills the flash with a pattern where every byte tells its address.
void FillPattern(SimCamera& sim) {
  auto& contents = sim.Flash().Contents();
  for (std::size_t a = 0; a < contents.size(); ++a)
    contents[a] = static_cast<std::uint8_t>((a * 7) ^ (a >> 8) ^ (a >> 16));
}

Bytes Expected(SimCamera& sim, std::uint32_t address, std::size_t length) {
  const auto& contents = sim.Flash().Contents();
  return Bytes(contents.begin() + address, contents.begin() + address + static_cast<std::ptrdiff_t>(length));
}

// Switches protection off the way a host does: write enable, then a status write of 0, then a wait.
void Unprotect(SimCamera& sim, SimHost& host) {
  host.Open();
  host.Command({opcode::kWriteEnable});
  host.Command({opcode::kWriteStatus, 0x00});
  for (int i = 0; i < 100 && (host.ReadStatus() & kStatusBusy) != 0; ++i) sim.Clock().SleepMs(1);
  host.Close();
}

TEST(SimWindow, ReadStreamsConsecutiveGroupsAfterOneRequest) {
  struct Case {
    const char* what;
    std::uint16_t address;
    std::uint8_t control;
    std::size_t groups;
    std::uint32_t firstFlashAddress;
  };
  const Case cases[] = {
      {"low bank, 8 bytes", 0x1230, 0x88, 4, 0x01230},
      {"high bank, 8 bytes", 0x1230, 0x98, 3, 0x11230},
      {"low bank, 3 bytes", 0x0101, 0x83, 5, 0x00101},
      {"high bank, 1 byte", 0xFFF0, 0x91, 6, 0x1FFF0},
  };
  for (const Case& c : cases) {
    SimCamera sim;
    FillPattern(sim);
    SimHost host(sim);
    const std::uint8_t length = c.control & 0x0F;
    Bytes got = host.WindowRead(c.address, c.control);
    for (std::size_t g = 1; g < c.groups; ++g) {
      const Bytes next = host.Fetch();
      got.insert(got.end(), next.begin(), next.end());
    }
    Bytes expected;
    for (std::size_t g = 0; g < c.groups; ++g) {
      Bytes group = Expected(sim, c.firstFlashAddress + static_cast<std::uint32_t>(g * length), length);
      group.resize(8, 0);  // bytes past the length are not data
      expected.insert(expected.end(), group.begin(), group.end());
    }
    EXPECT_EQ(got, expected) << c.what;
  }
}

TEST(SimWindow, AddressCounterWrapsInsideItsBank) {
  SimCamera sim;
  FillPattern(sim);
  SimHost host(sim);
  EXPECT_EQ(host.WindowRead(0xFFF8, 0x88), Expected(sim, 0xFFF8, 8));
  EXPECT_EQ(host.Fetch(), Expected(sim, 0x0000, 8));  // not 0x10000: switching banks is the host's job
  EXPECT_EQ(host.WindowRead(0xFFF8, 0x98), Expected(sim, 0x1FFF8, 8));
  EXPECT_EQ(host.Fetch(), Expected(sim, 0x10000, 8));
}

TEST(SimWindow, TwelveByteFormAnswersTheSame) {
  SimCamera sim;
  FillPattern(sim);
  SimHost host(sim);
  ASSERT_EQ(host.Set(3, {0x00, 0x3E, 0x88, 0, 0, 0, 0, 0, 0, 0, 0, 0}), platform::kS_OK);
  Bytes answer;
  ASSERT_EQ(host.Get(3, 12, answer), platform::kS_OK);
  EXPECT_EQ(Bytes(answer.begin() + 3, answer.begin() + 11), Expected(sim, 0x3E00, 8));
}

TEST(SimWindow, WriteIsRefusedWhileProtectedAndProgramsAfterProtectionIsOff) {
  SimCamera sim;
  SimHost host(sim);
  const Bytes data{1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_EQ(host.WindowWrite(0x1234, 0x08, data), platform::kS_OK);  // the unit takes it; the flash does not
  EXPECT_EQ(host.WindowRead(0x1234, 0x88), Bytes(8, 0xFF));
  EXPECT_EQ(sim.Flash().Status() & kStatusWriteEnableLatch, 0);  // the refused program cleared the latch

  Unprotect(sim, host);
  EXPECT_EQ(sim.Flash().Status(), 0x00);
  sim.ClearLogs();
  ASSERT_EQ(host.WindowWrite(0x1234, 0x18, data), platform::kS_OK);
  EXPECT_EQ(host.WindowRead(0x1234, 0x98), data);
  EXPECT_EQ(Expected(sim, 0x11234, 8), data);

  // The controller's own transactions: write enable, program, then its wait on the status.
  const auto& spi = sim.SpiLog();
  ASSERT_EQ(spi.size(), 3u);
  for (const SpiTransaction& t : spi) EXPECT_EQ(t.source, SpiSource::Controller);
  EXPECT_EQ(spi[0].Out(), (Bytes{0x06}));
  EXPECT_EQ(spi[1].Out(), (Bytes{0x02, 0x01, 0x12, 0x34, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(spi[2].Out().front(), 0x05);
  EXPECT_EQ(spi[2].In().back() & kStatusBusy, 0);
  EXPECT_GE(spi[2].endMs - spi[2].startMs, DefaultFlashPart().programMs);
}

TEST(SimWindow, ProgramOnlyClearsBits) {
  SimConfig config;
  config.flash.status = 0;
  SimCamera sim(config);
  SimHost host(sim);
  ASSERT_EQ(host.WindowWrite(0x0100, 0x02, {0xF0, 0x3C}), platform::kS_OK);
  ASSERT_EQ(host.WindowWrite(0x0100, 0x02, {0x0F, 0xFF}), platform::kS_OK);
  EXPECT_EQ(Expected(sim, 0x0100, 3), (Bytes{0x00, 0x3C, 0xFF}));
}

TEST(SimWindow, ControllerProgramsWithTheOpcodesItHolds) {
  struct Case {
    const char* part;
    std::uint8_t programOpcode;
    Bytes expected;
  };
  const Bytes data{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
  const Case cases[] = {
      {"c22011", 0x02, data},
      {"bf49", 0x02, {0x11, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},  // one byte per 0x02 command
      {"bf49", 0xAF, data},
      {"c22011", 0xAF, Bytes(8, 0xFF)},  // an opcode the part does not know
  };
  for (const Case& c : cases) {
    SimConfig config;
    config.flash.part = c.part;
    config.flash.status = 0;
    SimCamera sim(config);
    SimHost host(sim);
    host.WriteReg(reg::kSfProgramOpcode, c.programOpcode);
    ASSERT_EQ(host.WindowWrite(0x0040, 0x08, data), platform::kS_OK);
    EXPECT_EQ(Expected(sim, 0x0040, 8), c.expected) << c.part << " with " << int{c.programOpcode};
  }
}

TEST(SimWindow, WriteEnableOpcodeComesFromItsRegister) {
  SimConfig config;
  config.flash.status = 0;
  SimCamera sim(config);
  SimHost host(sim);
  host.WriteReg(reg::kSfWriteEnableOpcode, 0x04);  // write disable instead: nothing is programmed
  ASSERT_EQ(host.WindowWrite(0x0040, 0x08, {1, 2, 3, 4, 5, 6, 7, 8}), platform::kS_OK);
  EXPECT_EQ(Expected(sim, 0x0040, 8), Bytes(8, 0xFF));
  EXPECT_EQ(sim.SpiLog()[0].Out(), (Bytes{0x04}));
}

TEST(SimWindow, SixtyFourKiBPartAnswersTheUpperBankAsTheLower) {
  SimConfig config;
  config.flash.part = "ef3010";
  config.flash.status = 0;
  SimCamera sim(config);
  SimHost host(sim);
  ASSERT_EQ(sim.Flash().Contents().size(), 65536u);
  ASSERT_EQ(host.WindowWrite(0x0010, 0x18, {9, 8, 7, 6, 5, 4, 3, 2}), platform::kS_OK);
  EXPECT_EQ(host.WindowRead(0x0010, 0x88), (Bytes{9, 8, 7, 6, 5, 4, 3, 2}));
  EXPECT_EQ(host.WindowRead(0x0010, 0x98), (Bytes{9, 8, 7, 6, 5, 4, 3, 2}));
}

TEST(SimWindow, ControllerCannotReachTheFlashWhileTheHostHoldsThePort) {
  SimConfig config;
  config.flash.status = 0;
  SimCamera sim(config);
  FillPattern(sim);
  SimHost host(sim);
  host.Open();
  EXPECT_EQ(host.WindowRead(0x0000, 0x88), Bytes(8, 0xFF));
  ASSERT_EQ(host.WindowWrite(0x0000, 0x08, Bytes(8, 0x00)), platform::kS_OK);
  host.Close();
  EXPECT_EQ(host.WindowRead(0x0000, 0x88), Expected(sim, 0, 8));
  EXPECT_NE(Expected(sim, 0, 8), Bytes(8, 0x00));
}

TEST(SimWindow, LengthZeroAndVendorCommandsChangeNothing) {
  SimConfig config;
  config.flash.status = 0;
  SimCamera sim(config);
  SimHost host(sim);
  ASSERT_EQ(host.WindowWrite(0x0000, 0x00, {}), platform::kS_OK);
  ASSERT_EQ(host.Set(3, {0, 0, 0xC8, 0, 0, 0, 0, 0, 0, 0, 0, 0}), platform::kS_OK);
  ASSERT_EQ(host.Set(3, {0, 0, 0x40, 0x12, 0x34, 0x56, 0, 0, 0, 0, 0, 0}), platform::kS_OK);
  EXPECT_TRUE(sim.SpiLog().empty());
  EXPECT_EQ(host.WindowRead(0x0000, 0x80), Bytes(8, 0x00));  // a read of length 0 answers no data
  EXPECT_LT(host.WindowWrite(0x0000, 0x09, Bytes(8, 0)), 0);  // more than eight bytes cannot be carried
}

}  // namespace
}  // namespace torvane::simcam::test
