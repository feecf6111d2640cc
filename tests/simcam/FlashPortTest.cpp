// The SPI flash port (registers 0x1080-0x1093) and the flash parts behind it: framing by chip select,
// identification answers, the write-enable latch, protection, the write-protect pin and busy time.
#include <gtest/gtest.h>

#include <set>

#include "simcam/SimCamera.h"
#include "SimHost.h"

namespace torvane::simcam::test {
namespace {

constexpr std::uint8_t kFF = 0xFF;

SimConfig WithPart(const char* part, std::optional<std::uint8_t> status = std::nullopt) {
  SimConfig config;
  config.flash.part = part;
  config.flash.status = status;
  return config;
}

// Waits on the virtual clock until the flash reports ready, at most `boundMs`.
void WaitWhileBusy(SimCamera& sim, SimHost& host, int boundMs = 20000) {
  for (int i = 0; i < boundMs && (host.ReadStatus() & kStatusBusy) != 0; ++i) sim.Clock().SleepMs(1);
}

TEST(SimCatalogue, RowsAreConsistent) {
  std::set<std::string_view> keys;
  std::set<std::vector<std::uint8_t>> identities;
  for (const FlashPart& p : FlashCatalogue()) {
    SCOPED_TRACE(std::string(p.key));
    EXPECT_TRUE(keys.insert(p.key).second) << "duplicate key";
    EXPECT_TRUE(p.sizeBytes == 64 * 1024 || p.sizeBytes == 128 * 1024);
    EXPECT_EQ(p.defaultStatus & kStatusBusy, 0);
    EXPECT_EQ(p.statusWritableMask & (kStatusBusy | kStatusWriteEnableLatch), 0);
    EXPECT_EQ(p.blockProtectMask & ~p.statusWritableMask, 0) << "protection bits must be writable";
    EXPECT_EQ(p.defaultStatus & kStatusWriteProtectEnable, 0);
    EXPECT_TRUE(p.pageSize != 0 && (p.pageSize & (p.pageSize - 1)) == 0);
    const bool writes = p.programCommands[0].kind != ProgramKind::None || p.chipEraseOpcodes[0] != 0;
    if (writes) {
      EXPECT_NE(p.writeEnableOpcode, 0) << "program and erase need the latch";
      EXPECT_NE(p.statusOpcode, 0) << "a host must be able to wait for it";
      EXPECT_NE(p.statusWriteOpcode, 0) << "protection must be removable";
      EXPECT_NE(p.statusWriteEnable, 0);
      EXPECT_NE(p.chipEraseMs, 0u);
    }
    std::vector<std::uint8_t> identity;
    for (const IdAnswer& id : p.ids) {
      EXPECT_LE(id.length, id.bytes.size());
      identity.push_back(id.opcode);
      identity.insert(identity.end(), id.bytes.begin(), id.bytes.begin() + id.length);
    }
    identity.push_back(p.statusOpcode);
    identity.push_back(static_cast<std::uint8_t>(p.sizeBytes >> 16));
    EXPECT_TRUE(identities.insert(identity).second) << "two parts the host cannot tell apart";
  }
  EXPECT_EQ(&DefaultFlashPart(), FindFlashPart("c22011"));
  EXPECT_EQ(FindFlashPart("nonesuch"), nullptr);
}

TEST(SimFlashPort, EachPartAnswersItsIdentificationCommands) {
  // 9F: four bytes received; 15: two; 90 and AB: three address bytes, then two; D7: two.
  struct Case {
    const char* part;
    Bytes jedec, twoByteId, manufacturerDevice, signature, pageStatus;
  };
  const Bytes none2{kFF, kFF}, none4{kFF, kFF, kFF, kFF};
  const Case cases[] = {
      {"c22011", {0xC2, 0x20, 0x11, 0xC2}, none2, none2, none2, none2},
      {"202011", {0x20, 0x20, 0x11, 0x20}, none2, none2, {0x10, 0x10}, none2},
      {"ef3011", {0xEF, 0x30, 0x11, 0xEF}, none2, none2, none2, none2},
      {"ef3010", {0xEF, 0x30, 0x10, 0xEF}, none2, none2, none2, none2},
      {"373011", {0x37, 0x30, 0x11, 0x37}, none2, none2, none2, none2},
      {"c84011", {0xC8, 0x40, 0x11, 0xC8}, none2, none2, none2, none2},
      {"1f6601", {0x1F, 0x66, 0x01, 0x1F}, none2, none2, none2, none2},
      {"7f9d7c", {0x7F, 0x9D, 0x7C, 0x7F}, none2, none2, {0x9D, 0x7C}, none2},
      {"1f60", none4, {0x1F, 0x60}, none2, none2, none2},
      {"bf49", none4, none2, {0xBF, 0x49}, {0xBF, 0x49}, none2},
      {"bf48", none4, none2, {0xBF, 0x48}, {0xBF, 0x48}, none2},
      {"page-d7", none4, none2, none2, none2, {0x0C, 0x0C}},
      {"8c2014", {0x8C, 0x20, 0x14, 0x8C}, none2, none2, none2, none2},
      {"none", none4, none2, none2, none2, none2},
  };
  ASSERT_EQ(std::size(cases), FlashCatalogue().size()) << "every part of the catalogue has a row here";
  for (const Case& c : cases) {
    SimCamera sim(WithPart(c.part));
    ASSERT_TRUE(sim.LastError().empty()) << c.part;
    SimHost host(sim);
    host.Open();
    EXPECT_EQ(host.Command({0x9F}, 4), c.jedec) << c.part;
    EXPECT_EQ(host.Command({0x15}, 2), c.twoByteId) << c.part;
    EXPECT_EQ(host.Command({0x90, 0, 0, 0}, 2), c.manufacturerDevice) << c.part;
    EXPECT_EQ(host.Command({0xAB, 0, 0, 0}, 2), c.signature) << c.part;
    EXPECT_EQ(host.Command({0xD7}, 2), c.pageStatus) << c.part;
    host.Close();
  }
}

// A part given as data takes the catalogue part's place, and the simulator keeps its own copy.
TEST(SimFlashPort, CustomPartAnswersInPlaceOfTheCatalogue) {
  SimConfig config;  // `part` still names the default c22011
  {
    FlashPart part;
    part.key = "custom";
    part.sizeBytes = 128 * 1024;
    part.ids[0] = IdAnswer{0x9F, 0, {0xC2, 0x20, 0x15, 0}, 3};
    part.ids[1] = IdAnswer{0xD7, 0, {0x00, 0x1C, 0, 0}, 2};
    config.flash.customPart = part;
  }
  SimCamera sim(config);
  config.flash.customPart.reset();
  ASSERT_TRUE(sim.LastError().empty());
  SimHost host(sim);
  host.Open();
  EXPECT_EQ(host.Command({0x9F}, 4), (Bytes{0xC2, 0x20, 0x15, 0xC2}));
  EXPECT_EQ(host.Command({0xD7}, 2), (Bytes{0x00, 0x1C}));
  EXPECT_EQ(host.Command({0x05}, 1), (Bytes{kFF}));  // no status read: the part answers only its two
  host.Close();
}

TEST(SimFlashPort, IdentificationReadClosedWithoutDeselectEndsItsFrame) {
  SimCamera sim;
  SimHost host(sim);
  // The identification read: open, select, opcode, three receives, close (no deselect).
  host.Open();
  host.Select();
  host.Send(0x9F);
  const Bytes id{host.Receive(), host.Receive(), host.Receive()};
  host.Close();
  EXPECT_EQ(id, (Bytes{0xC2, 0x20, 0x11}));
  EXPECT_FALSE(sim.Camera().ChipSelectAsserted());

  // The next command starts a frame of its own: a write enable is a one-byte frame and takes effect.
  host.Open();
  host.Command({opcode::kWriteEnable});
  EXPECT_NE(sim.Flash().Status() & kStatusWriteEnableLatch, 0);
  host.Close();

  const auto spi = sim.HostSpiLog();
  ASSERT_EQ(spi.size(), 2u);
  EXPECT_EQ(spi[0].end, FrameEnd::PortClosed);
  EXPECT_EQ(spi[0].Sent(), (Bytes{0x9F}));
  EXPECT_EQ(spi[0].Received(), (Bytes{0xC2, 0x20, 0x11}));
  EXPECT_EQ(spi[0].bytes[1], (SpiByte{0xFF, 0xC2, true}));
  EXPECT_EQ(spi[1].end, FrameEnd::Deselect);
  EXPECT_EQ(spi[1].Out(), (Bytes{0x06}));
}

TEST(SimFlashPort, SelectWhileSelectedContinuesTheFrame) {
  SimCamera sim;
  SimHost host(sim);
  host.Open();
  host.Select();
  host.Send(opcode::kWriteEnable);
  host.Select();  // no new frame: the part now sees a two-byte command
  host.Send(opcode::kWriteEnable);
  host.Deselect();
  EXPECT_EQ(sim.Flash().Status() & kStatusWriteEnableLatch, 0);
  ASSERT_EQ(sim.HostSpiLog().size(), 1u);
  EXPECT_EQ(sim.HostSpiLog()[0].Out(), (Bytes{0x06, 0x06}));
}

TEST(SimFlashPort, NothingShiftsWhileThePortIsClosedAndUnselectedBytesReachNoFlash) {
  SimCamera sim;
  SimHost host(sim);
  host.Select();  // port closed: the controller owns the bus
  host.Send(opcode::kWriteEnable);
  EXPECT_TRUE(sim.SpiLog().empty());
  host.Open();
  host.Send(opcode::kWriteEnable);  // open, but chip select released
  host.Deselect();
  EXPECT_EQ(sim.Flash().Status() & kStatusWriteEnableLatch, 0);
  ASSERT_EQ(sim.SpiLog().size(), 1u);
  EXPECT_FALSE(sim.SpiLog()[0].selected);
  EXPECT_EQ(sim.SpiLog()[0].In(), (Bytes{0xFF}));
}

TEST(SimFlashPort, PortStatusReportsCompletionAfterTheConfiguredPolls) {
  SimConfig config;
  config.controller.portReadyAfterPolls = 3;
  SimCamera sim(config);
  SimHost host(sim);
  host.Open();
  host.WriteReg(reg::kSfTxData, 0x05);
  host.WriteReg(reg::kSfTransferControl, 1);
  Bytes polls;
  for (int i = 0; i < 5; ++i) polls.push_back(host.ReadReg(reg::kSfPortStatus));
  EXPECT_EQ(polls, (Bytes{0, 0, 0, 1, 1}));
}

TEST(SimFlashPort, ReceiveLeavesTheByteInRxData) {
  SimCamera sim;
  SimHost host(sim);
  host.Open();
  host.Select();
  host.Send(0x9F);
  host.Receive();
  host.Receive();
  EXPECT_EQ(host.Receive(), 0x11);
  EXPECT_EQ(host.ReadReg(reg::kSfRxData), 0x11);  // read again without a transfer: still the last byte
  host.Deselect();
}

TEST(SimFlashPort, StatusReadAnswersTheCurrentStatusForEveryByteOfItsFrame) {
  SimCamera sim(WithPart("c22011", 0x00));
  SimHost host(sim);
  host.Open();
  host.Command({opcode::kWriteEnable});
  host.Command({opcode::kChipErase60});
  // The busy wait's pattern: the select is never released and 0x05 is sent again before each receive.
  host.Select();
  Bytes statuses;
  for (int attempt = 0; attempt < 3000; ++attempt) {
    host.Select();
    host.Send(opcode::kReadStatus);
    const std::uint8_t status = host.Receive();
    statuses.push_back(status);
    if ((status & kStatusBusy) == 0) break;
    sim.Clock().SleepMs(1);
  }
  host.Deselect();
  EXPECT_EQ(statuses.front(), kStatusBusy | kStatusWriteEnableLatch);
  EXPECT_EQ(statuses.back(), 0x00);
  EXPECT_EQ(statuses.size(), DefaultFlashPart().chipEraseMs + 1);
  const auto spi = sim.HostSpiLog();
  EXPECT_EQ(spi.back().Sent(), Bytes(statuses.size(), opcode::kReadStatus));
  EXPECT_EQ(spi.back().Received(), statuses);
}

TEST(SimFlashPort, ChipEraseTakesThePartsTimeAndOnlyStatusReadsAreHonouredMeanwhile) {
  SimCamera sim(WithPart("202011", 0x00));
  sim.Flash().Contents()[0x100] = 0x00;
  SimHost host(sim);
  host.Open();
  host.Command({opcode::kWriteEnable});
  const std::uint64_t start = sim.Clock().NowMs();
  host.Command({opcode::kChipEraseC7});
  EXPECT_NE(host.ReadStatus() & kStatusBusy, 0);
  EXPECT_EQ(host.Command({0x9F}, 3), (Bytes{kFF, kFF, kFF}));  // ignored while busy
  host.Command({opcode::kWriteEnable});                          // ignored while busy
  host.Close();
  EXPECT_EQ(host.WindowRead(0x0100, 0x88), Bytes(8, 0xFF));  // the controller's read is ignored too
  host.Open();
  WaitWhileBusy(sim, host);
  EXPECT_EQ(sim.Clock().NowMs() - start, 2500u);
  EXPECT_EQ(host.ReadStatus(), 0x00);  // the latch cleared on completion; the write enable was lost
  EXPECT_EQ(sim.Flash().Contents()[0x100], 0xFF);
}

TEST(SimFlashPort, ChipEraseOpcodesFollowThePart) {
  struct Case {
    const char* part;
    std::uint8_t opcode;
    bool erases;
  };
  const Case cases[] = {
      {"c22011", 0x60, true},  {"c22011", 0xC7, true},  {"c22011", 0x62, false}, {"202011", 0x60, false},
      {"202011", 0xC7, true},  {"ef3011", 0x60, true},  {"373011", 0x60, false}, {"373011", 0xC7, true},
      {"c84011", 0x60, true},  {"1f6601", 0xC7, true},  {"7f9d7c", 0x60, false}, {"7f9d7c", 0xC7, true},
      {"1f60", 0x62, true},    {"1f60", 0x60, false},   {"bf49", 0x60, true},    {"bf48", 0xC7, true},
      {"page-d7", 0x60, false}, {"8c2014", 0xC7, true}, {"none", 0x60, false},
  };
  for (const Case& c : cases) {
    SimCamera sim(WithPart(c.part, 0x00));
    std::fill(sim.Flash().Contents().begin(), sim.Flash().Contents().end(), std::uint8_t{0x00});
    SimHost host(sim);
    host.Open();
    host.Command({opcode::kWriteEnable});
    host.Command({c.opcode});
    sim.Clock().SleepMs(10000);
    host.Close();
    EXPECT_EQ(sim.Flash().Contents()[0x1234] == 0xFF, c.erases) << c.part << " " << int{c.opcode};
  }
}

TEST(SimFlashPort, WriteEnableLatchAndBlockProtection) {
  // Each case: the status at power-up, the commands sent (one frame each), then whether a chip erase
  // happened and the status left.
  struct Case {
    const char* what;
    std::uint8_t status;
    std::vector<Bytes> frames;
    bool erased;
    std::uint8_t statusAfter;
  };
  const Case cases[] = {
      {"erase without the latch", 0x00, {{0x60}}, false, 0x00},
      {"erase with the latch", 0x00, {{0x06}, {0x60}}, true, 0x00},
      {"erase while protected: refused, latch cleared", 0x0C, {{0x06}, {0x60}}, false, 0x0C},
      {"write enable with a byte too many", 0x00, {{0x06, 0x00}, {0x60}}, false, 0x00},
      {"write disable drops the latch", 0x00, {{0x06}, {0x04}, {0x60}}, false, 0x00},
      {"erase with a byte too many", 0x00, {{0x06}, {0x60, 0x00}}, false, 0x02},
      {"status write without the latch", 0x0C, {{0x01, 0x00}, {0x06}, {0x60}}, false, 0x0C},
      {"status write after the latch", 0x0C, {{0x06}, {0x01, 0x00}, {0x06}, {0x60}}, true, 0x00},
      {"status write only keeps writable bits", 0x00, {{0x06}, {0x01, 0xFF}}, false, 0x8C},
      {"0x50 means nothing to this part", 0x0C, {{0x50}, {0x01, 0x00}}, false, 0x0C},
  };
  for (const Case& c : cases) {
    SimCamera sim(WithPart("c22011", c.status));
    std::fill(sim.Flash().Contents().begin(), sim.Flash().Contents().end(), std::uint8_t{0x00});
    SimHost host(sim);
    host.Open();
    for (const Bytes& frame : c.frames) {
      host.Command(frame);
      WaitWhileBusy(sim, host);
    }
    host.Close();
    EXPECT_EQ(sim.Flash().Contents()[0] == 0xFF, c.erased) << c.what;
    EXPECT_EQ(sim.Flash().Status(), c.statusAfter) << c.what;
  }
}

TEST(SimFlashPort, EnableWriteStatusArmsOnlyTheNextStatusWriteAndTakesNoTime) {
  SimCamera sim(WithPart("bf49"));
  SimHost host(sim);
  host.Open();
  ASSERT_EQ(host.ReadStatus(), 0x0C);
  host.Command({opcode::kEnableWriteStatus});
  host.Command({opcode::kWriteStatus, 0x04});
  EXPECT_EQ(host.ReadStatus(), 0x04);  // at once: no busy time
  host.Command({opcode::kWriteStatus, 0x00});
  EXPECT_EQ(host.ReadStatus(), 0x04);  // not armed again
  host.Command({opcode::kWriteEnable});
  host.Command({opcode::kWriteStatus, 0x00});  // this part also takes the latch
  EXPECT_EQ(host.ReadStatus(), 0x00);
  host.Close();
}

TEST(SimFlashPort, StatusWriteIsRefusedWithBitSevenSetAndThePinLow) {
  struct Case {
    const char* what;
    bool undrivenLow;
    std::optional<std::pair<std::uint8_t, std::uint8_t>> drive;  // GpioOutputEnable, GpioData
    bool accepted;
  };
  const Case cases[] = {
      {"pin undriven, reads high", false, std::nullopt, true},
      {"pin undriven, reads low", true, std::nullopt, false},
      {"pin 2 driven high", true, std::pair{0x04, 0x04}, true},
      {"pin 2 driven low", false, std::pair{0x04, 0xFB}, false},
      {"another pin driven high", true, std::pair{0x08, 0x08}, false},
  };
  for (const Case& c : cases) {
    SimConfig config = WithPart("c22011", 0x8C);
    config.controller.undrivenPinLow = c.undrivenLow;
    SimCamera sim(config);
    SimHost host(sim);
    if (c.drive) {
      host.WriteReg(reg::kGpioOutputEnable, c.drive->first);
      host.WriteReg(reg::kGpioData, c.drive->second);
    }
    host.Open();
    host.Command({opcode::kWriteEnable});
    host.Command({opcode::kWriteStatus, 0x00});
    WaitWhileBusy(sim, host);
    EXPECT_EQ(host.ReadStatus(), c.accepted ? 0x00 : 0x8C) << c.what;  // a refusal clears the latch too
    host.Close();
  }
}

TEST(SimFlashPort, WriteProtectPinIsConfigurable) {
  SimConfig config = WithPart("c22011", 0x8C);
  config.controller.undrivenPinLow = true;
  config.controller.writeProtectPin = 5;
  SimCamera sim(config);
  SimHost host(sim);
  host.WriteReg(reg::kGpioOutputEnable, 0x20);
  host.WriteReg(reg::kGpioData, 0x20);
  EXPECT_TRUE(sim.Camera().WriteProtectPinHigh());
  host.WriteReg(reg::kGpioData, 0x00);
  EXPECT_FALSE(sim.Camera().WriteProtectPinHigh());
}

TEST(SimFlashPort, PageProgramWrapsInsideItsPage) {
  SimCamera sim(WithPart("c22011", 0x00));
  SimHost host(sim);
  host.Open();
  host.Command({opcode::kWriteEnable});
  host.Command({opcode::kPageProgram, 0x00, 0x01, 0xFE, 0x11, 0x22, 0x33});
  WaitWhileBusy(sim, host);
  host.Close();
  const auto& contents = sim.Flash().Contents();
  EXPECT_EQ(contents[0x1FE], 0x11);
  EXPECT_EQ(contents[0x1FF], 0x22);
  EXPECT_EQ(contents[0x100], 0x33);
  EXPECT_EQ(contents[0x200], 0xFF);
}

}  // namespace
}  // namespace torvane::simcam::test
