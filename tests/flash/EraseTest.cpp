// Chip erase against the simulated camera: each family's SPI transcript from the simulator's log, the
// SFType registration, the whole flash blank (or not) after a real sequence on every catalogue part,
// and the two bounded waits ending at their bounds, or at once when the camera stops answering.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "flash/FlashOperations.h"
#include "flash/SfRegisters.h"
#include "tests/flash/FlashRig.h"

namespace torvane::flash::test {
namespace {

constexpr std::uint16_t kSfTypeRegister = 0x05F0;

struct TranscriptCase {
  std::string name;
  std::string part;
  std::uint8_t sfType;
  std::size_t identificationCommands;
  std::vector<Bytes> commands;  // between SfOpenPort and the busy wait
};
void PrintTo(const TranscriptCase& c, std::ostream* os) { *os << c.name; }


class EraseTranscriptTest : public ::testing::TestWithParam<TranscriptCase> {};

TEST_P(EraseTranscriptTest, FamilyCommandsThenOneBusyWait) {
  const TranscriptCase& c = GetParam();
  FlashRig rig(PartConfig(c.part));
  rig.FindCamera();
  ASSERT_EQ(DisableWriteProtect(rig.link, rig.flash, rig.messages), 1);
  rig.sim.ClearLogs();

  EraseFlashChip(RomTag{}, rig.flash, rig.selection, rig.messages);

  EXPECT_EQ(rig.selection.SFType, c.sfType);
  EXPECT_EQ(WritesTo(rig.sim, {kSfTypeRegister}), (std::vector{W(kSfTypeRegister, c.sfType)}));
  const auto frames = SelectedFrames(rig.sim);
  ASSERT_EQ(frames.size(), c.identificationCommands + c.commands.size() + 1);
  for (std::size_t i = 0; i < c.commands.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& frame = frames[c.identificationCommands + i];
    EXPECT_EQ(frame.Sent(), c.commands[i]);
    EXPECT_EQ(frame.end, simcam::FrameEnd::Deselect);
  }
  // The only busy wait: status reads in one frame until the busy bit clears, then a deselect.
  const auto& wait = frames.back();
  for (std::uint8_t b : wait.Sent()) EXPECT_EQ(b, 0x05);
  ASSERT_FALSE(wait.Received().empty());
  EXPECT_EQ(wait.Received().back() & 0x01, 0);
  EXPECT_EQ(wait.end, simcam::FrameEnd::Deselect);
  EXPECT_FALSE(rig.sim.Camera().PortOpen());
  EXPECT_TRUE(rig.messages.shown.empty());
  EXPECT_TRUE(AllBlank(rig.sim.Flash().Contents()));
}

INSTANTIATE_TEST_SUITE_P(
    Families, EraseTranscriptTest,
    ::testing::Values(TranscriptCase{"family 0 (C8 40 11)", "c84011", 0, 2, {{0x06}, {0x60}}},
                      TranscriptCase{"family 1", "c22011", 1, 1, {{0x06}, {0x60}}},
                      TranscriptCase{"family 2", "202011", 2, 1, {{0x06}, {0xC7}}},
                      TranscriptCase{"family 3", "bf49", 3, 5, {{0x50}, {0x01, 0x00}, {0x06}, {0x60}}},
                      TranscriptCase{"family 5", "1f6601", 5, 1, {{0x06}, {0x60}}},
                      TranscriptCase{"family 7", "ef3011", 7, 1, {{0x06}, {0xC7}}},
                      TranscriptCase{"family 8", "7f9d7c", 8, 2, {{0x06}, {0xC7}}},
                      TranscriptCase{"family 10", "373011", 10, 1, {{0x06}, {0xC7}}},
                      TranscriptCase{"family FF", "8c2014", 0xFF, 6, {{0x06}, {0x60}}}),
    CaseName{});

TEST(EraseFlashChipTest, Family4HoldsChipSelectFor2500MsAfter0x62) {
  FlashRig rig(PartConfig("1f60"));
  rig.FindCamera();
  ASSERT_EQ(DisableWriteProtect(rig.link, rig.flash, rig.messages), 1);
  rig.sim.ClearLogs();

  EraseFlashChip(RomTag{}, rig.flash, rig.selection, rig.messages);

  EXPECT_EQ(rig.selection.SFType, 4);
  const auto frames = SelectedFrames(rig.sim);
  ASSERT_EQ(frames.size(), 3u + 3u);  // three identification commands, 0x06, 0x62, the busy wait
  const auto& writeEnable = frames[3];
  const auto& erase = frames[4];
  const auto& wait = frames[5];
  EXPECT_EQ(writeEnable.Sent(), Bytes{0x06});
  EXPECT_EQ(erase.Sent(), Bytes{0x62});
  EXPECT_EQ(erase.end, simcam::FrameEnd::Deselect);
  EXPECT_EQ(erase.endMs - erase.startMs, 2500u);  // chip select held
  EXPECT_EQ(wait.startMs - erase.endMs, 900u);    // then released for 900 ms before the busy wait
  EXPECT_EQ(wait.Sent().front(), 0x05);
  EXPECT_EQ(wait.end, simcam::FrameEnd::Deselect);
  EXPECT_TRUE(AllBlank(rig.sim.Flash().Contents()));
}

// Family 6 gets the default commands; the page-organised part knows neither them nor the 0x05 status
// read, which answers 0xFF (busy) until the wait's bound.
TEST(EraseFlashChipTest, Family6SendsTheDefaultCommandsAndWaitsOutTheBound) {
  FlashRig rig(PartConfig("page-d7"));
  rig.Open();
  rig.sim.ClearLogs();
  const std::uint64_t start = rig.Now();

  EraseFlashChip(RomTag{}, rig.flash, rig.selection, rig.messages);

  EXPECT_EQ(rig.selection.SFType, 6);
  EXPECT_EQ(rig.Now() - start, 10000u);
  const auto frames = SelectedFrames(rig.sim);
  ASSERT_EQ(frames.size(), 4u + 3u);
  EXPECT_EQ(frames[4].Sent(), Bytes{0x06});
  EXPECT_EQ(frames[5].Sent(), Bytes{0x60});
  EXPECT_EQ(frames[6].Sent(), Bytes(10000, 0x05));
  EXPECT_EQ(frames[6].end, simcam::FrameEnd::PortClosed);
}

// Writes to the SFType register, register 0x1040 and the port enable, in order.
std::vector<simcam::RegisterAccess> Registration(std::uint8_t sfType, bool eraseMode) {
  std::vector<simcam::RegisterAccess> writes{W(SfPortEnable, 1), W(SfPortEnable, 0), W(kSfTypeRegister, sfType)};
  if (eraseMode) writes.push_back(W(0x1040, 0));
  writes.push_back(W(SfPortEnable, 1));
  writes.push_back(W(SfPortEnable, 0));
  return writes;
}

RomTag Tag(std::string code, std::uint8_t major) {
  RomTag tag;
  for (std::size_t i = 0; i < 4 && i < code.size(); ++i) tag.bytes[i] = static_cast<std::uint8_t>(code[i]);
  tag.bytes[5] = major;
  return tag;
}

TEST(EraseFlashChipTest, RegistersSFTypeAndSetsRegister1040ForOneFirmware) {
  struct Case {
    std::string name;
    RomTag tag;
    bool eraseMode;
  };
  const Case cases[] = {
      {"zero-filled tag", RomTag{}, false},
      {"code 230r in lower case", Tag("230r", 0), true},
      {"code 230R", Tag("230R", 7), true},
      {"major version 1, any code", Tag("QQQQ", 1), true},
      {"similar code", Tag("230Q", 2), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FlashRig rig;
    rig.Open();
    rig.sim.ClearLogs();
    EraseFlashChip(c.tag, rig.flash, rig.selection, rig.messages);
    EXPECT_EQ(WritesTo(rig.sim, {kSfTypeRegister, 0x1040, SfPortEnable}), Registration(1, c.eraseMode));
    EXPECT_EQ(rig.sim.Camera().PeekRegister(kSfTypeRegister), 1);
    EXPECT_TRUE(rig.messages.shown.empty());
  }
}

TEST(EraseFlashChipTest, AFailedSFTypeWriteIsShownAndTheEraseStillRuns) {
  // Twice the same run; the second fails exactly the request that wrote SFType in the first.
  std::uint64_t sfTypeWrite = 0;
  for (int run = 0; run < 2; ++run) {
    FlashRig rig;
    FillPattern(rig.sim.Flash().Contents());
    rig.FindCamera();
    ASSERT_EQ(DisableWriteProtect(rig.link, rig.flash, rig.messages), 1);
    if (run == 1) rig.sim.Faults().failRequest = sfTypeWrite;
    const std::size_t before = rig.sim.Requests().size();

    EraseFlashChip(RomTag{}, rig.flash, rig.selection, rig.messages);

    if (run == 0) {
      for (std::size_t i = before; i < rig.sim.Requests().size(); ++i) {
        const simcam::RequestRecord& r = rig.sim.Requests()[i];
        if (r.id == 1 && r.sent == Bytes{0xF0, 0x05, 0x01, 0x00}) sfTypeWrite = r.number;
      }
      ASSERT_NE(sfTypeWrite, 0u);
      EXPECT_TRUE(rig.messages.shown.empty());
    } else {
      EXPECT_EQ(rig.messages.shown, (std::vector<std::string>{"Write SFType Data To Mask Rom Failed!"}));
      EXPECT_NE(rig.sim.Camera().PeekRegister(kSfTypeRegister), 1);
    }
    EXPECT_TRUE(AllBlank(rig.sim.Flash().Contents()));
  }
}

// ---- End to end: the flash, protected at power-up, after the real sequence ----

struct EndToEndCase {
  std::string name;
  std::string part;
  bool blankAfterDisableAndErase;
  bool blankAfterEraseAlone;
  bool waitsRunOut;  // the part answers no status read: every busy wait ends at its bound
};
void PrintTo(const EndToEndCase& c, std::ostream* os) { *os << c.name; }


class EndToEndTest : public ::testing::TestWithParam<EndToEndCase> {};

TEST_P(EndToEndTest, DisableThenEraseAndEraseAlone) {
  const EndToEndCase& c = GetParam();
  // Switch protection off, then erase.
  {
    FlashRig rig(PartConfig(c.part));
    FillPattern(rig.sim.Flash().Contents());
    const auto before = rig.sim.Flash().Contents();
    rig.FindCamera();
    EXPECT_EQ(DisableWriteProtect(rig.link, rig.flash, rig.messages), 1);
    rig.sim.ClearLogs();  // the waits of a silent part cost a great many requests
    const std::uint64_t start = rig.Now();
    EraseFlashChip(RomTag{}, rig.flash, rig.selection, rig.messages);
    const std::uint64_t elapsed = rig.Now() - start;
    if (c.blankAfterDisableAndErase) {
      EXPECT_TRUE(AllBlank(rig.sim.Flash().Contents()));
    } else {
      EXPECT_EQ(rig.sim.Flash().Contents(), before);
    }
    EXPECT_EQ(elapsed >= 10000, c.waitsRunOut) << elapsed << " ms";
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_FALSE(rig.sim.Camera().PortOpen());
  }
  // The erase alone, on a flash still protected.
  {
    FlashRig rig(PartConfig(c.part));
    FillPattern(rig.sim.Flash().Contents());
    const auto before = rig.sim.Flash().Contents();
    rig.Open();
    EraseFlashChip(RomTag{}, rig.flash, rig.selection, rig.messages);
    if (c.blankAfterEraseAlone) {
      EXPECT_TRUE(AllBlank(rig.sim.Flash().Contents()));
    } else {
      EXPECT_EQ(rig.sim.Flash().Contents(), before);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, EndToEndTest,
    ::testing::Values(EndToEndCase{"default C2 20 11", "c22011", true, false, false},
                      EndToEndCase{"20 20 11", "202011", true, false, false},
                      EndToEndCase{"EF 30 11", "ef3011", true, false, false},
                      EndToEndCase{"EF 30 10, 64 KiB", "ef3010", true, false, false},
                      EndToEndCase{"37 30 11", "373011", true, false, false},
                      EndToEndCase{"C8 40 11", "c84011", true, false, false},
                      EndToEndCase{"1F 66 01", "1f6601", true, false, false},
                      EndToEndCase{"7F 9D 7C", "7f9d7c", true, false, false},
                      EndToEndCase{"1F 60, held 0x62", "1f60", true, false, false},
                      // The family's own erase sequence clears the status register first.
                      EndToEndCase{"BF 49", "bf49", true, true, false},
                      EndToEndCase{"BF 48, 64 KiB", "bf48", true, true, false},
                      EndToEndCase{"8C 20 14 unknown to the tool", "8c2014", true, false, false},
                      // Neither knows 0x06, 0x01, 0x60 or 0x05: nothing changes, and every status read
                      // answers 0xFF, so each busy wait runs to its bound.
                      EndToEndCase{"page-organised", "page-d7", false, false, true},
                      EndToEndCase{"silent flash", "none", false, false, true}),
    CaseName{});

// ---- The bounded waits ----

TEST(WaitTest, APortThatIsNeverReadyCostsAThousandPollsPerByte) {
  FlashRig rig;
  rig.Open();
  rig.sim.Faults().portNeverReady = true;
  rig.flash.SfOpenPort();
  rig.sim.ClearLogs();
  const std::uint64_t start = rig.Now();

  rig.flash.SfSendByte(0x9F);

  EXPECT_EQ(rig.Now() - start, 1000u);
  const auto accesses = rig.sim.RegisterAccesses();
  ASSERT_EQ(accesses.size(), 2u + 1000u);
  EXPECT_EQ(accesses[0], W(SfTxData, 0x9F));
  EXPECT_EQ(accesses[1], W(SfTransferControl, 1));
  for (std::size_t i = 2; i < accesses.size(); ++i) EXPECT_EQ(accesses[i], R(SfPortStatus, 0));

  // The sequence goes on as if the byte had gone out.
  std::uint8_t received = 0;
  EXPECT_TRUE(rig.flash.SfReceiveByte(received));
  EXPECT_EQ(rig.Now() - start, 2000u);
}

TEST(WaitTest, AFlashThatStaysBusyEndsTheWaitAfterTenThousandAttemptsWithChipSelectAsserted) {
  FlashRig rig;
  rig.FindCamera();
  ASSERT_EQ(DisableWriteProtect(rig.link, rig.flash, rig.messages), 1);
  rig.sim.Faults().flashStaysBusy = true;
  rig.sim.ClearLogs();
  const std::uint64_t start = rig.Now();

  EraseFlashChip(RomTag{}, rig.flash, rig.selection, rig.messages);

  // Family 1 has no sleeps of its own: all the time is the wait's.
  EXPECT_EQ(rig.Now() - start, 10000u);
  const auto frames = SelectedFrames(rig.sim);
  ASSERT_FALSE(frames.empty());
  const auto& wait = frames.back();
  EXPECT_EQ(wait.Sent(), Bytes(10000, 0x05));
  for (std::uint8_t status : wait.Received()) EXPECT_EQ(status & 0x01, 1);
  // Released only by the port's close, not by a deselect of the wait.
  EXPECT_EQ(wait.end, simcam::FrameEnd::PortClosed);
  EXPECT_TRUE(rig.messages.shown.empty());
}

TEST(WaitTest, ACameraThatStopsAnsweringEndsEitherWaitAtOnce) {
  constexpr std::uint64_t kRequestsPerAttempt = 11;  // select 1; send 2 + poll 2; receive 2 + poll 2 + read 2
  for (bool portNeverReady : {false, true}) {
    SCOPED_TRACE(portNeverReady ? "port never ready" : "flash stays busy");
    FlashRig rig;
    rig.Open();
    rig.sim.Faults().flashStaysBusy = true;
    // A status write of 0 that never completes (bit 7 is clear, so the flash takes it).
    rig.flash.SfOpenPort();
    rig.flash.SfSelect();
    rig.flash.SfSendByte(0x06);
    rig.flash.SfDeselect();
    rig.flash.SfSelect();
    rig.flash.SfSendByte(0x01);
    rig.flash.SfSendByte(0x00);
    rig.flash.SfDeselect();
    ASSERT_TRUE(rig.sim.Flash().Busy());
    rig.sim.Faults().portNeverReady = portNeverReady;
    const std::uint64_t start = rig.Now();
    if (portNeverReady) {
      // The first poll that goes unanswered ends WaitPortReady.
      rig.sim.Faults().unplugAtRequest = rig.sim.RequestCount() + 2 + 2 * 10 + 1;
      rig.flash.SfSendByte(0x05);
      EXPECT_EQ(rig.Now() - start, 10u);
    } else {
      // Two whole attempts, then the camera is gone.
      rig.sim.Faults().unplugAtRequest = rig.sim.RequestCount() + 2 * kRequestsPerAttempt + 1;
      const std::uint64_t first = rig.sim.RequestCount();
      rig.flash.WaitWhileBusy();
      EXPECT_EQ(rig.Now() - start, 2u);
      // After the unplug: a select, a send (two writes, one poll) and a receive (two writes, a poll and
      // the status read); no further attempt.
      EXPECT_LE(rig.sim.RequestCount() - first, 2 * kRequestsPerAttempt + 8);
    }
  }
}

}  // namespace
}  // namespace torvane::flash::test
