// Flash identification against the simulated camera: the SPI primitives register by register, the
// family decision of DetectFlashType for every catalogue part (family, part, commands sent, and the
// back end's own type code for the same flash), and the port configuration that follows it.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "flash/FlashOperations.h"
#include "flash/SfRegisters.h"
#include "simcam/FlashCatalogue.h"
#include "tests/flash/FlashRig.h"

namespace torvane::flash::test {
namespace {

TEST(SpiPrimitivesTest, ReadIdBytesIsOneFrameClosedByThePortNotByADeselect) {
  FlashRig rig;
  rig.Open();
  rig.sim.ClearLogs();

  rig.flash.ReadIdBytes(0x9F, 0, 2);

  // Every step in its order: send = data, start, poll; receive = clear, start, poll, read.
  const std::vector<simcam::RegisterAccess> expected{
      W(SfPortEnable, 1),       W(SfChipSelect, 0),
      W(SfTxData, 0x9F),        W(SfTransferControl, 1), R(SfPortStatus, 1),
      W(SfRxData, 0),           W(SfTransferControl, 2), R(SfPortStatus, 1), R(SfRxData, 0xC2),
      W(SfRxData, 0),           W(SfTransferControl, 2), R(SfPortStatus, 1), R(SfRxData, 0x20),
      W(SfRxData, 0),           W(SfTransferControl, 2), R(SfPortStatus, 1), R(SfRxData, 0x11),
      W(SfPortEnable, 0),
  };
  EXPECT_EQ(rig.sim.RegisterAccesses(), expected);
  EXPECT_EQ(rig.flash.DetectedFlashId, (std::array<std::uint8_t, 3>{0xC2, 0x20, 0x11}));
  const auto frames = SelectedFrames(rig.sim);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].end, simcam::FrameEnd::PortClosed);
}

TEST(SpiPrimitivesTest, ReadIdBytesSkipsOneContinuationCodeAndFillsAMissingSecondByte) {
  FlashRig rig(PartConfig("7f9d7c"));
  rig.Open();
  rig.sim.ClearLogs();

  // 0xAB with three dummy bytes and a one-byte device id: 9D 7C, and 0xFF without a transfer.
  rig.flash.ReadIdBytes(0xAB, 3, 1);
  EXPECT_EQ(rig.flash.DetectedFlashId, (std::array<std::uint8_t, 3>{0x9D, 0x7C, 0xFF}));
  // 0x9F answers 7F 9D 7C: the leading 0x7F is dropped and one more byte is received.
  rig.flash.ReadIdBytes(0x9F, 0, 2);
  EXPECT_EQ(rig.flash.DetectedFlashId, (std::array<std::uint8_t, 3>{0x9D, 0x7C, 0x7F}));

  const auto frames = SelectedFrames(rig.sim);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].Sent(), (Bytes{0xAB, 0, 0, 0}));
  EXPECT_EQ(frames[0].Received().size(), 2u);
  EXPECT_EQ(frames[1].Sent(), (Bytes{0x9F}));
  EXPECT_EQ(frames[1].Received(), (Bytes{0x7F, 0x9D, 0x7C, 0x7F}));
}

struct IdentifyCase {
  std::string name;
  std::string part;
  std::uint8_t sfType;
  std::uint8_t sfModel;
  std::vector<std::uint8_t> opcodes;  // the identification commands DetectFlashType sent, in order
  int typeCode;                       // GetFlashTypeCode on the same flash
};
void PrintTo(const IdentifyCase& c, std::ostream* os) { *os << c.name; }


class IdentifyPartTest : public ::testing::TestWithParam<IdentifyCase> {};

TEST_P(IdentifyPartTest, DetectFlashTypeAndTheBackEndsTypeCode) {
  const IdentifyCase& c = GetParam();
  FlashRig rig(PartConfig(c.part));
  rig.Open();
  rig.selection = {0x55, 0x55};  // left over from an earlier erase
  rig.sim.ClearLogs();

  DetectFlashType(rig.flash, rig.selection);

  EXPECT_EQ(rig.selection.SFType, c.sfType);
  EXPECT_EQ(rig.selection.SfModel, c.sfModel);
  std::vector<std::uint8_t> sent;
  for (const auto& frame : SelectedFrames(rig.sim)) {
    ASSERT_FALSE(frame.Sent().empty());
    sent.push_back(frame.Sent()[0]);
    EXPECT_EQ(frame.end, simcam::FrameEnd::Deselect);  // every stage is a whole command
  }
  EXPECT_EQ(sent, c.opcodes);
  EXPECT_FALSE(rig.sim.Camera().PortOpen());

  rig.sim.ClearLogs();
  EXPECT_EQ(rig.flash.GetFlashTypeCode(), c.typeCode);
}

const std::vector<std::uint8_t> kAllStages{0x9F, 0x9F, 0x15, 0xD7, 0x90, 0xAB};

// Every part of the simulator's catalogue.
INSTANTIATE_TEST_SUITE_P(
    Catalogue, IdentifyPartTest,
    ::testing::Values(IdentifyCase{"default C2 20 11", "c22011", 1, 2, {0x9F}, 1},
                      IdentifyCase{"20 20 11", "202011", 2, 0x11, {0x9F}, 0},
                      IdentifyCase{"EF 30 11", "ef3011", 7, 0x78, {0x9F}, 0},
                      // C 0x10 is no part of the EF 30 list; the back end's table knows the answer.
                      IdentifyCase{"EF 30 10", "ef3010", 7, 0, {0x9F}, 7},
                      IdentifyCase{"37 30 11 with T unexamined", "373011", 10, 0x93, {0x9F}, 0},
                      // Ended by the second JEDEC read.
                      IdentifyCase{"C8 40 11", "c84011", 0, 0xA2, {0x9F, 0x9F}, 0},
                      // The receive register still holds C 0x01, not 0x04: no part number.
                      IdentifyCase{"1F 66 01", "1f6601", 5, 0, {0x9F}, 0},
                      IdentifyCase{"7F 9D 7C continuation", "7f9d7c", 8, 0x81, {0x9F, 0x9F}, 0},
                      IdentifyCase{"1F 60 answering only 0x15", "1f60", 4, 0x21, {0x9F, 0x9F, 0x15}, 0},
                      IdentifyCase{"BF 49", "bf49", 3, 0x51, {0x9F, 0x9F, 0x15, 0xD7, 0x90}, 0},
                      IdentifyCase{"BF 48 known to the back end", "bf48", 3, 0x50, {0x9F, 0x9F, 0x15, 0xD7, 0x90}, 3},
                      IdentifyCase{"page-organised 0xD7 status 0C", "page-d7", 6, 0x40, {0x9F, 0x9F, 0x15, 0xD7}, 0},
                      // Unknown maker with T 0x20: 0xFF, kept through all six stages.
                      IdentifyCase{"8C 20 14 unknown", "8c2014", 0xFF, 0, kAllStages, 0},
                      IdentifyCase{"silent flash", "none", 0, 0, kAllStages, 0}),
    CaseName{});

TEST(IdentifyFlashTest, StopsAtTheFirstKnownAnswerAndRunsAllFourReadsOtherwise) {
  struct Case {
    std::string part;
    std::vector<std::uint8_t> opcodes;
    std::array<std::uint8_t, 3> detected;
    std::uint8_t row;
  };
  const Case cases[] = {
      {"c22011", {0x9F}, {0xC2, 0x20, 0x11}, 1},
      {"bf48", {0x9F, 0x15, 0x90}, {0xBF, 0x48, 0xFF}, 8},
      {"none", {0x9F, 0x15, 0x90, 0xAB}, {0xFF, 0xFF, 0xFF}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.part);
    FlashRig rig(PartConfig(c.part));
    rig.Open();
    rig.flash.CommandSetRow = 9;  // stale
    rig.sim.ClearLogs();
    rig.flash.IdentifyFlash();
    std::vector<std::uint8_t> sent;
    for (const auto& frame : SelectedFrames(rig.sim)) sent.push_back(frame.Sent().at(0));
    EXPECT_EQ(sent, c.opcodes);
    EXPECT_EQ(rig.flash.DetectedFlashId, c.detected);
    EXPECT_EQ(rig.flash.MatchedJedecRow, c.row);
    EXPECT_EQ(rig.flash.CommandSetRow, JedecIdTable[c.row].commandSetRow);
  }
}

TEST(IdentifyFlashTest, GetFlashTypeCodeOnAClosedSlotSendsNothing) {
  FlashRig rig;
  EXPECT_EQ(rig.flash.GetFlashTypeCode(), -1);
  rig.Open();
  ASSERT_TRUE(rig.backend.CloseDevice());
  rig.sim.ClearLogs();
  EXPECT_EQ(rig.flash.GetFlashTypeCode(), -1);
  EXPECT_TRUE(rig.sim.Requests().empty());
}

TEST(DetectFlashTypeTest, ConfiguresThePortForTheFamilyAfterClosingIt) {
  struct Case {
    std::string part;
    std::vector<simcam::RegisterAccess> tail;
  };
  const Case cases[] = {
      {"page-d7",
       {W(SfPortEnable, 0), W(SfReadDummyBytes, 0), W(0x108D, 7), W(0x108E, 7), W(0x108F, 7), W(SfStatusOpcode, 0xD7),
        W(SfReadOpcode, 0xE8), W(SfReadyMask, 0x80), W(SfReadyLevel, 1), W(SfReadDummyBytes, 4)}},
      {"c22011",
       {W(SfPortEnable, 0), W(SfReadDummyBytes, 0), W(0x108D, 7), W(0x108E, 7), W(0x108F, 7), W(SfStatusOpcode, 0x05),
        W(SfReadOpcode, 0x03), W(SfReadyMask, 0x01), W(SfReadyLevel, 0)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.part);
    FlashRig rig(PartConfig(c.part));
    rig.Open();
    rig.sim.ClearLogs();
    DetectFlashType(rig.flash, rig.selection);
    const auto accesses = rig.sim.RegisterAccesses();
    ASSERT_GE(accesses.size(), c.tail.size());
    EXPECT_EQ(std::vector<simcam::RegisterAccess>(accesses.end() - static_cast<std::ptrdiff_t>(c.tail.size()),
                                                  accesses.end()),
              c.tail);
  }
}

}  // namespace
}  // namespace torvane::flash::test
