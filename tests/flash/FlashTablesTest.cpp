// The flash tables as data: a self-check that walks them, the JEDEC lookup as one table of answers, and
// the search for the firmware's SFType register as one table of tags against a table of rows.
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "camera/Backend.h"
#include "flash/FlashOperations.h"
#include "flash/FlashTables.h"
#include "tests/flash/FlashRig.h"

namespace torvane::flash::test {
namespace {

bool Covers(const JedecIdRow& earlier, const JedecIdRow& later) {
  return earlier.manufacturer == later.manufacturer &&
         (earlier.device1 == kAnyDevice || earlier.device1 == later.device1) &&
         (earlier.device2 == kAnyDevice || earlier.device2 == later.device2);
}

TEST(FlashTablesTest, JedecRowsAreReachableAndPointIntoTheCommandSets) {
  EXPECT_EQ(JedecIdTable.size(), 14u);
  const JedecIdRow& none = JedecIdTable[0];
  EXPECT_EQ(none.manufacturer | none.device1 | none.device2 | none.typeCode | none.commandSetRow, 0);
  for (std::size_t row = 1; row < JedecIdTable.size(); ++row) {
    SCOPED_TRACE(row);
    const JedecIdRow& r = JedecIdTable[row];
    // MatchJedecId reports a match by a non-zero type code.
    EXPECT_NE(r.typeCode, 0);
    EXPECT_LT(r.commandSetRow, FlashCommandSetTable.size());
    for (std::size_t earlier = 1; earlier < row; ++earlier) {
      EXPECT_FALSE(Covers(JedecIdTable[earlier], r)) << "row " << row << " is hidden behind row " << earlier;
    }
  }
}

TEST(FlashTablesTest, CommandSetsCarryTheOpcodesWriteProtectionLoads) {
  for (std::size_t row = 1; row < FlashCommandSetTable.size(); ++row) {
    SCOPED_TRACE(row);
    const auto& opcodes = FlashCommandSetTable[row].opcodes;
    EXPECT_EQ(opcodes[kCommandSetWriteEnable], 0x06);
    EXPECT_TRUE(opcodes[kCommandSetProgram] == 0x02 || opcodes[kCommandSetProgram] == 0xAF);
  }
  // The part with type code 3 programs runs of bytes.
  for (const JedecIdRow& r : JedecIdTable) {
    if (r.typeCode == kTypeCodeStatusEnable) {
      EXPECT_EQ(FlashCommandSetTable[r.commandSetRow].opcodes[kCommandSetProgram], 0xAF);
    }
  }
}

TEST(FlashTablesTest, MaskRomTypesHoldFlagBytesAndTheTwoSelectableRows) {
  ASSERT_LT(static_cast<std::size_t>(camera::Backend::kMaskRomRow), MaskRomTypeTable.size());
  for (const MaskRomType& type : MaskRomTypeTable) {
    for (std::uint8_t flag : type.flags) EXPECT_LE(flag, 1);
    // A row that keeps the status register is also one that loads the opcode registers.
    if (type.flags[kMaskRomKeepsStatus] != 0) {
      EXPECT_NE(type.flags[kMaskRomLoadsOpcodes], 0);
    }
  }
  const MaskRomType& unprobed = MaskRomTypeTable[0];
  const MaskRomType& probed = MaskRomTypeTable[static_cast<std::size_t>(camera::Backend::kMaskRomRow)];
  EXPECT_EQ(unprobed.flags[kMaskRomLoadsOpcodes], 0);
  EXPECT_EQ(unprobed.flags[kMaskRomKeepsStatus], 0);
  EXPECT_EQ(probed.flags[kMaskRomLoadsOpcodes], 1);
  EXPECT_EQ(probed.flags[kMaskRomKeepsStatus], 1);
}

RomTag Tag(std::string code, std::array<std::uint8_t, 3> version = {0, 0, 0}) {
  RomTag tag;
  for (std::size_t i = 0; i < code.size() && i < 4; ++i) tag.bytes[i] = static_cast<std::uint8_t>(code[i]);
  tag.bytes[4] = 0x5A;  // not read
  tag.bytes[5] = version[0];
  tag.bytes[6] = version[1];
  tag.bytes[7] = version[2];
  return tag;
}

TEST(FlashTablesTest, EverySfTypeRegisterRowIsFoundByItsOwnTag) {
  ASSERT_FALSE(SfTypeRegisterTable.empty());
  for (std::size_t row = 0; row < SfTypeRegisterTable.size(); ++row) {
    const SfTypeRegisterRow& r = SfTypeRegisterTable[row];
    RomTag tag;
    for (std::size_t i = 0; i < 4; ++i) tag.bytes[i] = static_cast<std::uint8_t>(r.code[i]);
    for (std::size_t i = 0; i < 3; ++i) tag.bytes[5 + i] = r.version[i];
    EXPECT_EQ(FindSfTypeRegisterRow(tag, SfTypeRegisterTable), row);
  }
  // The tag the workflows hand in is zero-filled: it lands on row 0.
  EXPECT_EQ(FindSfTypeRegisterRow(RomTag{}, SfTypeRegisterTable), 0u);
}

// A table of firmware rows for the search alone.
constexpr std::uint8_t kMinimum = 1;
constexpr std::array<SfTypeRegisterRow, 6> kRows{{
    {{'Z', 'D', '0', '0'}, {0, 0, 0}, 0x0100, kMatchExactVersion},
    {{'A', 'B', 'C', 'D'}, {1, 2, 3}, 0x0101, kMatchExactVersion},
    {{'A', 'B', 'C', 'D'}, {0x80, 0, 0}, 0x0102, kMinimum},
    {{'a', 'b', 'c', 'e'}, {2, 0, 0}, 0x0103, 7},  // any non-zero mode is a minimum
    {{'`', 'B', 'C', 'D'}, {0, 0, 0}, 0x0104, kMinimum},
    {{'A', 'B', 'C', 'D'}, {0, 0, 0}, 0x0105, kMinimum},  // only after the rows above
}};

struct RowCase {
  std::string name;
  RomTag tag;
  std::size_t row;
};

TEST(FlashTablesTest, SfTypeRegisterRowSearch) {
  const RowCase cases[] = {
      {"exact version", Tag("ABCD", {1, 2, 3}), 1},
      {"code ignores letter case", Tag("abcd", {1, 2, 3}), 1},
      {"exact version differs in the last byte: next fitting row", Tag("ABCD", {1, 2, 4}), 5},
      {"minimum met with a higher major", Tag("ABCD", {0x90, 0, 0}), 2},
      {"minimum met exactly", Tag("ABCD", {0x80, 9, 9}), 2},
      {"majors compare unsigned", Tag("ABCD", {0xFF, 0, 0}), 2},
      {"below the minimum falls through", Tag("ABCD", {0x7F, 0, 0}), 5},
      {"lower-case row code", Tag("ABCE", {2, 0, 0}), 3},
      {"mode 7 is a minimum too", Tag("abce", {3, 0, 0}), 3},
      {"mode 7 below its minimum", Tag("ABCE", {1, 0, 0}), 0},
      {"only letters fold: @ is not a back-quote", Tag("@BCD", {0, 0, 0}), 0},
      {"back-quote matches itself", Tag("`bcd", {0, 0, 0}), 4},
      {"unknown code", Tag("QQQQ", {1, 2, 3}), 0},
      {"zero-filled tag", RomTag{}, 0},
  };
  for (const RowCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FindSfTypeRegisterRow(c.tag, kRows), c.row);
  }
}

struct JedecCase {
  std::string name;
  std::array<std::uint8_t, 3> detected;
  std::uint8_t row;
  std::uint8_t typeCode;
  std::uint8_t commandSet;
};

TEST(MatchJedecIdTest, LooksTheDetectedBytesUpAndKeepsTheRow) {
  const JedecCase cases[] = {
      {"first row", {0xC2, 0x20, 0x11}, 1, 1, 1},
      {"fourth of one maker", {0xC2, 0x22, 0x10}, 4, 1, 1},
      {"two-byte device answer", {0x1F, 0x65, 0x01}, 5, 4, 2},
      {"one-byte answer of 0x15 cannot match a specific second byte", {0x1F, 0x65, 0xFF}, 0, 0, 0},
      {"wildcard second byte", {0x9D, 0x20, 0x00}, 6, 8, 3},
      {"wildcard second byte, second row", {0x9D, 0x7B, 0x55}, 7, 8, 3},
      {"wildcard does not widen the first byte", {0x9D, 0x7C, 0xFF}, 0, 0, 0},
      {"one-byte answer of 0x90", {0xBF, 0x48, 0xFF}, 8, 3, 4},
      {"sibling not in the table", {0xBF, 0x49, 0xFF}, 0, 0, 0},
      {"type code 13", {0xC8, 0x40, 0x10}, 10, 13, 1},
      {"command set 5", {0x37, 0x30, 0x10}, 12, 10, 5},
      {"last row", {0xA1, 0x31, 0x10}, 13, 14, 1},
      {"no answer, zeros", {0x00, 0x00, 0x00}, 0, 0, 0},
      {"no answer, ones", {0xFF, 0xFF, 0xFF}, 0, 0, 0},
      {"continuation code kept", {0x7F, 0x9D, 0x7C}, 0, 0, 0},
  };
  FlashRig rig;
  // One engine for all cases: every lookup must overwrite what the one before left.
  for (const JedecCase& c : cases) {
    SCOPED_TRACE(c.name);
    rig.flash.DetectedFlashId = c.detected;
    EXPECT_EQ(rig.flash.MatchJedecId(), c.typeCode);
    EXPECT_EQ(rig.flash.MatchedJedecRow, c.row);
    EXPECT_EQ(rig.flash.FlashTypeCode, c.typeCode);
    EXPECT_EQ(rig.flash.CommandSetRow, c.commandSet);
  }
  EXPECT_TRUE(rig.sim.Requests().empty());
}

}  // namespace
}  // namespace torvane::flash::test
