// Flash identification against the simulated camera: the SPI primitives register by register, the
// family decision of DetectFlashType for every catalogue part (family, part, commands sent, and the
// back end's own type code for the same flash), and the port configuration that follows it.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
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

TEST(SpiPrimitivesTest, ReadIdBytesKeepsASecondContinuationCodeAsTheManufacturer) {
  simcam::FlashPart part;
  part.key = "bench";
  part.sizeBytes = 128 * 1024;
  part.ids[0] = simcam::IdAnswer{0x9F, 0, {0x7F, 0x7F, 0x9D, 0x7C}, 4};
  simcam::SimConfig config;
  config.flash.customPart = part;
  FlashRig rig(config);
  rig.Open();

  rig.flash.ReadIdBytes(0x9F, 0, 2);
  EXPECT_EQ(rig.flash.DetectedFlashId, (std::array<std::uint8_t, 3>{0x7F, 0x9D, 0x7C}));
  EXPECT_EQ(rig.sim.SpiLog().back().Received(), (Bytes{0x7F, 0x7F, 0x9D, 0x7C}));
}

struct IdentifyCase {
  std::string name;
  std::string part;  // a catalogue part, or
  std::optional<simcam::FlashPart> custom;  // a part the catalogue does not have
  std::uint8_t sfType;
  std::uint8_t sfModel;
  std::vector<std::uint8_t> opcodes;  // the identification commands DetectFlashType sent, in order
  int typeCode;                       // GetFlashTypeCode on the same flash
};

void PrintTo(const IdentifyCase& c, std::ostream* os) { *os << c.name; }

class IdentifyPartTest : public ::testing::TestWithParam<IdentifyCase> {};

TEST_P(IdentifyPartTest, DetectFlashTypeAndTheBackEndsTypeCode) {
  const IdentifyCase& c = GetParam();
  simcam::SimConfig config = PartConfig(c.part);
  config.flash.customPart = c.custom;
  FlashRig rig(config);
  ASSERT_TRUE(rig.sim.LastError().empty()) << rig.sim.LastError();
  rig.Open();
  rig.selection = FlashSelection{0x55, 0x55};  // left over from an earlier erase
  const std::size_t before = SelectedFrames(rig.sim).size();

  DetectFlashType(rig.flash, rig.selection);

  EXPECT_EQ(rig.selection.SFType, c.sfType);
  EXPECT_EQ(rig.selection.SfModel, c.sfModel);
  const auto all = SelectedFrames(rig.sim);
  std::vector<std::uint8_t> sent;
  for (std::size_t i = before; i < all.size(); ++i) {
    ASSERT_FALSE(all[i].Sent().empty());
    sent.push_back(all[i].Sent()[0]);
    EXPECT_EQ(all[i].end, simcam::FrameEnd::Deselect);  // every stage is a whole command
  }
  EXPECT_EQ(sent, c.opcodes);
  EXPECT_FALSE(rig.sim.Camera().PortOpen());

  EXPECT_EQ(rig.flash.GetFlashTypeCode(), c.typeCode);
}

const std::vector<std::uint8_t> kAllStages{0x9F, 0x9F, 0x15, 0xD7, 0x90, 0xAB};

IdentifyCase Part(std::string name, std::string part, std::uint8_t sfType, std::uint8_t sfModel,
                  std::vector<std::uint8_t> opcodes, int typeCode) {
  return {std::move(name), std::move(part), std::nullopt, sfType, sfModel, std::move(opcodes), typeCode};
}

// Every part of the simulator's catalogue.
INSTANTIATE_TEST_SUITE_P(
    Catalogue, IdentifyPartTest,
    ::testing::Values(Part("default C2 20 11", "c22011", 1, 2, {0x9F}, 1), Part("20 20 11", "202011", 2, 0x11, {0x9F}, 0),
                      Part("EF 30 11", "ef3011", 7, 0x78, {0x9F}, 0),
                      // C 0x10 is no part of the EF 30 list; the back end's table knows the answer.
                      Part("EF 30 10", "ef3010", 7, 0, {0x9F}, 7),
                      Part("37 30 11 with T unexamined", "373011", 10, 0x93, {0x9F}, 0),
                      // Ended by the second JEDEC read.
                      Part("C8 40 11", "c84011", 0, 0xA2, {0x9F, 0x9F}, 0),
                      // The receive register still holds C 0x01, not 0x04: no part number.
                      Part("1F 66 01", "1f6601", 5, 0, {0x9F}, 0),
                      Part("7F 9D 7C continuation", "7f9d7c", 8, 0x81, {0x9F, 0x9F}, 0),
                      Part("1F 60 answering only 0x15", "1f60", 4, 0x21, {0x9F, 0x9F, 0x15}, 0),
                      Part("BF 49", "bf49", 3, 0x51, {0x9F, 0x9F, 0x15, 0xD7, 0x90}, 0),
                      Part("BF 48 known to the back end", "bf48", 3, 0x50, {0x9F, 0x9F, 0x15, 0xD7, 0x90}, 3),
                      Part("page-organised 0xD7 status 0C", "page-d7", 6, 0x40, {0x9F, 0x9F, 0x15, 0xD7}, 0),
                      // Unknown maker with T 0x20: 0xFF, kept through all six stages.
                      Part("8C 20 14 unknown", "8c2014", 0xFF, 0, kAllStages, 0),
                      Part("silent flash", "none", 0, 0, kAllStages, 0)),
    CaseName{});

// Parts that answer only the commands given, each answer repeating for as long as the frame runs.
simcam::FlashPart Answering(std::initializer_list<simcam::IdAnswer> answers) {
  simcam::FlashPart part;
  part.key = "bench";
  part.sizeBytes = 128 * 1024;
  std::size_t i = 0;
  for (const simcam::IdAnswer& a : answers) part.ids.at(i++) = a;
  part.statusOpcode = 0x05;
  return part;
}
simcam::IdAnswer Jedec(std::uint8_t m, std::uint8_t t, std::uint8_t c) { return {0x9F, 0, {m, t, c, 0}, 3}; }
simcam::IdAnswer Answer(std::uint8_t opcode, std::uint8_t dummies, std::uint8_t a, std::uint8_t b) {
  return {opcode, dummies, {a, b, 0, 0}, 2};
}

IdentifyCase Custom(std::string name, simcam::FlashPart part, std::uint8_t sfType, std::uint8_t sfModel,
                    std::vector<std::uint8_t> opcodes, int typeCode) {
  return {std::move(name), "", part, sfType, sfModel, std::move(opcodes), typeCode};
}

// The decision tree's edge cases, on parts only a bench meets.
INSTANTIATE_TEST_SUITE_P(
    Answers, IdentifyPartTest,
    ::testing::Values(
        Custom("C2 20 15", Answering({Jedec(0xC2, 0x20, 0x15)}), 1, 6, {0x9F}, 0),
        // The family is decided by M alone; no later stage runs.
        Custom("C2 24 15", Answering({Jedec(0xC2, 0x24, 0x15)}), 1, 0, {0x9F}, 0),
        Custom("C2 20 11 also answering 0x90", Answering({Jedec(0xC2, 0x20, 0x11), Answer(0x90, 3, 0xC2, 0x16)}), 1,
               2, {0x9F}, 1),
        Custom("20 30 16: family without part", Answering({Jedec(0x20, 0x30, 0x16)}), 2, 0, {0x9F}, 0),
        // The receive register is read once more and still holds C.
        Custom("1F 66 04", Answering({Jedec(0x1F, 0x66, 0x04)}), 5, 0x30, {0x9F}, 0),
        Custom("1F 65 01 known to the back end", Answering({Jedec(0x1F, 0x65, 0x01)}), 5, 0, {0x9F}, 4),
        Custom("EF 20 16", Answering({Jedec(0xEF, 0x20, 0x16)}), 7, 0x75, {0x9F}, 0),
        Custom("EF 30 14", Answering({Jedec(0xEF, 0x30, 0x14)}), 7, 0x7B, {0x9F}, 0),
        Custom("9D 7B 00", Answering({Jedec(0x9D, 0x7B, 0x00)}), 8, 0x80, {0x9F}, 8),
        Custom("37 45 20", Answering({Jedec(0x37, 0x45, 0x20)}), 10, 0x90, {0x9F}, 0),
        Custom("C8 40 16 ends at the second read", Answering({Jedec(0xC8, 0x40, 0x16)}), 0, 0, {0x9F, 0x9F}, 0),
        Custom("C8 40 10", Answering({Jedec(0xC8, 0x40, 0x10)}), 0, 0xA3, {0x9F, 0x9F}, 13),
        // T 0x20 first marks it 0xFF; the second read's C8 clears that and the search goes on.
        Custom("C8 20 13", Answering({Jedec(0xC8, 0x20, 0x13)}), 0, 0, kAllStages, 0),
        Custom("01 20 13 unknown", Answering({Jedec(0x01, 0x20, 0x13)}), 0xFF, 0, kAllStages, 0),
        // Known to the back end, unknown to the decision tree.
        Custom("A1 31 10", Answering({Jedec(0xA1, 0x31, 0x10)}), 0, 0, kAllStages, 14),
        // A second continuation code is not dropped by the repeated read: M 0x7F decides nothing, and
        // the repeated read comes on top of the six stages.
        Custom("7F 7F 9D 7C", Answering({simcam::IdAnswer{0x9F, 0, {0x7F, 0x7F, 0x9D, 0x7C}, 4}}), 0, 0,
               {0x9F, 0x9F, 0x9F, 0x15, 0xD7, 0x90, 0xAB}, 0),
        Custom("1F 64 on 0x15", Answering({Answer(0x15, 0, 0x1F, 0x64)}), 4, 0x23, {0x9F, 0x9F, 0x15}, 0),
        Custom("0x15 answer of another maker", Answering({Answer(0x15, 0, 0xC2, 0x65)}), 0, 0, kAllStages, 0),
        Custom("0xD7 status 1C", Answering({Answer(0xD7, 0, 0x00, 0x1C)}), 6, 0x41, {0x9F, 0x9F, 0x15, 0xD7}, 0),
        // Only the second status byte decides.
        Custom("0xD7 status 0C first", Answering({Answer(0xD7, 0, 0x0C, 0x00)}), 0, 0, kAllStages, 0),
        Custom("EF 42 on 0x90", Answering({Answer(0x90, 3, 0xEF, 0x42)}), 7, 0x77, {0x9F, 0x9F, 0x15, 0xD7, 0x90}, 0),
        Custom("C2 05 on 0x90", Answering({Answer(0x90, 3, 0xC2, 0x05)}), 1, 1, {0x9F, 0x9F, 0x15, 0xD7, 0x90}, 0),
        Custom("BF 4A on 0x90", Answering({Answer(0x90, 3, 0xBF, 0x4A)}), 3, 0, {0x9F, 0x9F, 0x15, 0xD7, 0x90}, 0),
        Custom("signature 05", Answering({Answer(0xAB, 3, 0x05, 0x05)}), 2, 0x10, kAllStages, 0),
        Custom("9D 7D on 0xAB", Answering({Answer(0xAB, 3, 0x9D, 0x7D)}), 8, 0x82, kAllStages, 0),
        // An unknown JEDEC answer keeps its 0xFF when the signature decides nothing.
        Custom("01 20 13 with signature 42", Answering({Jedec(0x01, 0x20, 0x13), Answer(0xAB, 3, 0x42, 0x00)}), 0xFF, 0,
               kAllStages, 0),
        Custom("01 20 13 with signature 10", Answering({Jedec(0x01, 0x20, 0x13), Answer(0xAB, 3, 0x10, 0x00)}), 2,
               0x11, kAllStages, 0)),
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
