// Write protection against the simulated camera: the pin-configuration byte decoded into the pin
// registers, the opcode registers of the probed mask ROM and the status write, as one table; where the
// byte is read from; switching back on; and every way the operation fails.
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

const std::vector<std::uint16_t> kProtectionRegisters{GpioData,       GpioOutputEnable, SfWriteEnableOpcode, 0x05F8,
                                                      0x05F9,         0x05FA,           0x05FB,              SfProgramOpcode,
                                                      0x1073,         0x17C1,           0x17C2};

std::vector<simcam::RegisterAccess> Opcodes(std::uint8_t writeEnable, std::uint8_t program) {
  return {W(0x05F3, writeEnable), W(0x05F8, 0x12), W(0x05F9, 0x12), W(0x05FA, 0xED), W(0x05FB, 0xED),
          W(0x05F5, program)};
}
std::vector<simcam::RegisterAccess> Drive(std::uint8_t enable, std::uint8_t data) {
  return {W(GpioOutputEnable, enable), W(GpioData, data)};
}
// After the status write: pin 2's data and enable bits and bit 0 of 0x17C1 and 0x17C2 set by read,
// OR and write back.
std::vector<simcam::RegisterAccess> Finish(std::uint8_t data, std::uint8_t enable) {
  return {W(GpioData, static_cast<std::uint8_t>(data | 0x04)), W(GpioOutputEnable, static_cast<std::uint8_t>(enable | 0x04)),
          W(0x17C1, 0x01), W(0x17C2, 0x01)};
}
std::vector<simcam::RegisterAccess> Join(std::initializer_list<std::vector<simcam::RegisterAccess>> parts) {
  std::vector<simcam::RegisterAccess> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

struct PinCase {
  std::string name;
  std::string part = "c22011";
  std::uint8_t pinConfig;
  bool probed;  // the back end's mask-ROM probe succeeds: row 23 instead of row 0
  std::uint8_t deviceInfoMode;
  std::vector<simcam::RegisterAccess> writes;  // to the protection registers, in order
  std::vector<Bytes> commands;  // SPI frames after identification (busy waits shown as {0x05})
  std::uint16_t recordRegister;
  std::uint8_t recordValue;
};
void PrintTo(const PinCase& c, std::ostream* os) { *os << c.name; }


const std::vector<Bytes> kStatusWrite{{0x06}, {0x05}, {0x01, 0x00}, {0x05}};
const std::vector<Bytes> kStatusWriteWith50{{0x06}, {0x05}, {0x50}, {0x01, 0x00}, {0x05}};

class PinConfigTest : public ::testing::TestWithParam<PinCase> {};

TEST_P(PinConfigTest, SwitchingOffDrivesThePinLoadsOpcodesAndClearsTheStatus) {
  const PinCase& c = GetParam();
  simcam::SimConfig config = PartConfig(c.part);
  config.controller.blockRead = c.probed;
  config.controller.deviceInfoMode = c.deviceInfoMode;
  FlashRig rig(config);
  rig.Open();
  ASSERT_EQ(rig.backend.MaskRomTypeIndex(0), c.probed ? 23 : 0);
  // Identification alone, to know how many frames it takes on this part.
  rig.flash.IdentifyFlash();
  const std::size_t identification = SelectedFrames(rig.sim).size();
  rig.sim.ClearLogs();

  WpRecord record;
  record.WpPinConfig = c.pinConfig;
  EXPECT_EQ(rig.flash.ApplyWriteProtect(WpDirection::Off, record), 1);

  EXPECT_EQ(WritesTo(rig.sim, kProtectionRegisters), c.writes);
  std::vector<Bytes> commands;
  const auto frames = SentFrames(rig.sim);
  for (std::size_t i = identification; i < frames.size(); ++i) {
    // A busy wait is one frame of repeated 0x05; its length depends on the flash's time.
    commands.push_back(frames[i].at(0) == 0x05 ? Bytes{0x05} : frames[i]);
  }
  EXPECT_EQ(commands, c.commands);
  EXPECT_EQ(record.WpGpioRegister, c.recordRegister);
  EXPECT_EQ(record.WpPinConfig, c.recordValue);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, PinConfigTest,
    ::testing::Values(
        // Row 0: no opcode registers, whatever the byte.
        PinCase{"zero drives no pin, status still written", "c22011", 0x00, false, 0, Finish(0x00, 0x00), kStatusWrite,
                0xFFFF, 0x00},
        PinCase{"pin 3 mode 0 level 1 drives low", "c22011", 0x31, false, 0,
                Join({Drive(0x08, 0xF7), Finish(0xF7, 0x08)}), kStatusWrite, 0x1006, 0xF7},
        PinCase{"pin 1 mode 1 level 2 drives high", "c22011", 0x16, false, 0,
                Join({Drive(0x02, 0x02), Finish(0x02, 0x02)}), kStatusWrite, 0x1006, 0x02},
        PinCase{"pin 6 mode 3 level 3 drives high", "c22011", 0x6F, false, 0,
                Join({Drive(0x40, 0x40), Finish(0x40, 0x40)}), kStatusWrite, 0x1006, 0x40},
        PinCase{"pin 4 mode 3 level 0 drives nothing", "c22011", 0x4C, false, 0, Finish(0x00, 0x00), kStatusWrite,
                0xFFFF, 0x00},
        PinCase{"bit 7 is not read", "c22011", 0xB1, false, 0, Join({Drive(0x08, 0xF7), Finish(0xF7, 0x08)}),
                kStatusWrite, 0x1006, 0xF7},
        PinCase{"table mode level 2 drives low", "c22011", 0x2A, false, 0, Join({Drive(0x04, 0xFB), Finish(0xFB, 0x04)}),
                kStatusWrite, 0x1006, 0xFB},
        PinCase{"table mode level 3 drives high", "c22011", 0x7B, false, 0,
                Join({Drive(0x80, 0x80), Finish(0x80, 0x80)}), kStatusWrite, 0x1006, 0x80},
        PinCase{"table mode level 0 drives high", "c22011", 0x58, false, 0,
                Join({Drive(0x20, 0x20), Finish(0x20, 0x20)}), kStatusWrite, 0x1006, 0x20},
        PinCase{"table mode level 1 drives high", "c22011", 0x09, false, 0,
                Join({Drive(0x01, 0x01), Finish(0x01, 0x01)}), kStatusWrite, 0x1006, 0x01},
        PinCase{"device-information mode 2 does not matter to row 0", "c22011", 0x00, false, 2, Finish(0x00, 0x00),
                kStatusWrite, 0xFFFF, 0x00},
        PinCase{"type code 3 enables the status write with 0x50", "bf48", 0x00, false, 0, Finish(0x00, 0x00),
                kStatusWriteWith50, 0xFFFF, 0x00},
        // Row 23: the opcode registers before the pin.
        PinCase{"probed, mode 0: fixed opcodes", "c22011", 0x31, true, 0,
                Join({Opcodes(0x06, 0x02), Drive(0x08, 0xF7), Finish(0xF7, 0x08)}), kStatusWrite, 0x1006, 0xF7},
        PinCase{"probed, mode 0, type code 3: run program", "bf48", 0x00, true, 0,
                Join({Opcodes(0x06, 0xAF), Finish(0x00, 0x00)}), kStatusWriteWith50, 0xFFFF, 0x00},
        PinCase{"probed, table mode: opcodes of the command set", "bf48", 0x2A, true, 0,
                Join({Opcodes(0x06, 0xAF), Drive(0x04, 0xFB), Finish(0xFB, 0x04)}), kStatusWriteWith50, 0x1006, 0xFB},
        PinCase{"probed, table mode, flash unknown to the back end: command set 0", "8c2014", 0x2A, true, 0,
                Join({Opcodes(0x04, 0x03), Drive(0x04, 0xFB), Finish(0xFB, 0x04)}), kStatusWrite, 0x1006, 0xFB},
        // Row 23 with mode 2: the controller keeps the status register; nothing after the pin.
        PinCase{"probed, device-information mode 2", "c22011", 0x31, true, 2,
                Join({Opcodes(0x06, 0x02), Drive(0x08, 0xF7)}), {}, 0x1006, 0xF7}),
    CaseName{});

TEST(WriteProtectTest, DisableReadsThePinByteWhereTheChipIdSays) {
  struct Case {
    std::uint8_t chipId;
    std::uint16_t address;
  };
  const Case cases[] = {{0x33, 0x000F}, {0x32, 0xC034}, {0x75, 0xC034}, {0x76, 0xC034}, {0x16, 0x5834}, {0x40, 0x8034}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chipId);
    simcam::SimConfig config;
    config.controller.chipId = c.chipId;
    FlashRig rig(config);
    // Pin 3 low at the right address; a read elsewhere meets 0xFF, which would drive pin 7.
    rig.sim.Flash().Contents()[c.address] = 0x31;
    rig.FindCamera();

    EXPECT_EQ(DisableWriteProtect(rig.link, rig.flash, rig.messages), 1);
    EXPECT_EQ(rig.link.ChipId, c.chipId);
    const auto writes = WritesTo(rig.sim, {GpioOutputEnable});
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes[0], W(GpioOutputEnable, 0x08));
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_TRUE(rig.backend.SlotOpen(0));  // left open for the erase that follows
  }
}

TEST(WriteProtectTest, AnUnreadablePinByteDrivesNoPin) {
  FlashRig rig;
  rig.sim.Flash().Contents()[0xC034] = 0x31;  // would drive pin 3 low if it were read
  rig.FindCamera();
  // Only the pin-configuration read uses the flash window here.
  rig.sim.Faults().failSelector = 3;

  EXPECT_EQ(DisableWriteProtect(rig.link, rig.flash, rig.messages), 1);
  // Only the read-OR-write of pin 2 after the status write; no drive of its own.
  EXPECT_EQ(WritesTo(rig.sim, {GpioData, GpioOutputEnable}), (std::vector{W(GpioData, 0x04), W(GpioOutputEnable, 0x04)}));
  EXPECT_EQ(rig.sim.Flash().Status() & 0x1C, 0);  // the status write still went through
}

TEST(WriteProtectTest, EnableWithAFreshRecordOnlyClearsBit0Of1073) {
  struct Case {
    std::string name;
    bool probed;
    std::uint8_t deviceInfoMode;
    std::vector<simcam::RegisterAccess> writes;
  };
  const Case cases[] = {
      {"row 0", false, 0, {W(0x1073, 0xFE)}},
      {"row 23", true, 0, {W(0x1073, 0xFE)}},
      {"row 0, mode 2", false, 2, {W(0x1073, 0xFE)}},
      {"row 23, mode 2: nothing", true, 2, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    simcam::SimConfig config;
    config.controller.blockRead = c.probed;
    config.controller.deviceInfoMode = c.deviceInfoMode;
    FlashRig rig(config);
    rig.sim.Camera().PokeRegister(0x1073, 0xFF);
    rig.sim.Flash().Contents()[0xC034] = 0x31;
    rig.FindCamera();

    EXPECT_EQ(EnableWriteProtect(rig.link, rig.flash, rig.messages), 1);
    EXPECT_EQ(WritesTo(rig.sim, kProtectionRegisters), c.writes);
    // Switching on sends identification only: no write enable, no status write.
    const auto frames = SentFrames(rig.sim);
    ASSERT_FALSE(frames.empty());
    for (const Bytes& frame : frames) EXPECT_NE(frame.at(0), 0x06);
  }
}

TEST(WriteProtectTest, OnWithTheRecordOfAnOffDrivesThePinBack) {
  FlashRig rig;
  rig.Open();
  WpRecord record;
  record.WpPinConfig = 0x31;
  ASSERT_EQ(rig.flash.ApplyWriteProtect(WpDirection::Off, record), 1);
  rig.sim.ClearLogs();

  EXPECT_EQ(rig.flash.ApplyWriteProtect(WpDirection::On, record), 1);
  EXPECT_EQ(WritesTo(rig.sim, kProtectionRegisters), (std::vector{W(GpioData, 0x08), W(0x1073, 0x00)}));
}

// The number of the get that answers the last read of `address` in the simulator's log.
std::uint64_t LastReadGet(const simcam::SimCamera& sim, std::uint16_t address) {
  const auto& requests = sim.Requests();
  std::uint64_t number = 0;
  for (std::size_t i = 0; i + 1 < requests.size(); ++i) {
    const simcam::RequestRecord& set = requests[i];
    if (set.id == 1 && set.flags == camera::kXuSetFlags && set.sent.size() == 4 && set.sent[3] == 0xFF &&
        (set.sent[0] | set.sent[1] << 8) == address)
      number = requests[i + 1].number;
  }
  return number;
}

// A read-OR-write (or read-AND-write) whose read goes unanswered writes nothing: a value preset in place
// of the register's would drive every other pin low or clear bits it never read.
TEST(WriteProtectTest, ARegisterWhoseReadFailsIsNotWritten) {
  struct Case {
    WpDirection direction;
    std::uint16_t address;
  };
  const Case cases[] = {{WpDirection::Off, GpioData},
                        {WpDirection::Off, GpioOutputEnable},
                        {WpDirection::Off, 0x17C1},
                        {WpDirection::Off, 0x17C2},
                        {WpDirection::On, 0x1073}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    const auto run = [&](FlashRig& rig, std::uint64_t failingGet) {
      rig.sim.Camera().PokeRegister(c.address, 0x5A);
      rig.Open();
      rig.sim.Faults().failRequest = failingGet;
      WpRecord record;  // pin byte 0: no pin is driven, so only the read-modify-write touches these
      EXPECT_EQ(rig.flash.ApplyWriteProtect(c.direction, record), 1);
    };
    // A first run finds the request to fail; the simulator numbers requests the same way every time.
    FlashRig probe;
    run(probe, 0);
    const std::uint64_t failing = LastReadGet(probe.sim, c.address);
    ASSERT_NE(failing, 0u);
    ASSERT_EQ(WritesTo(probe.sim, {c.address}).size(), 1u);

    FlashRig rig;
    run(rig, failing);
    EXPECT_EQ(rig.sim.Requests()[failing - 1].result, platform::kE_FAIL);
    EXPECT_TRUE(WritesTo(rig.sim, {c.address}).empty());
    EXPECT_EQ(rig.sim.Camera().PeekRegister(c.address), 0x5A);
  }
}

TEST(WriteProtectTest, FailuresShowTheirMessageAndReturnZero) {
  struct Case {
    std::string name;
    simcam::SimConfig config;
    bool findCamera;
    std::vector<std::string> messages;
    bool slotOpenAfter;
  };
  simcam::SimConfig noDevice;
  noDevice.devices.clear();
  simcam::SimConfig unbindable;
  unbindable.devices[0].bindable = false;
  simcam::SimConfig noPath;
  noPath.faults.unreadableDevicePath = true;
  simcam::SimConfig noDeviceInfo;
  noDeviceInfo.faults.failSelector = 5;
  const Case cases[] = {
      {"no device", noDevice, false, {"No Device!"}, false},
      {"no filter", unbindable, false, {"Unknown Backend!"}, false},
      {"unreadable device path", noPath, false, {"Camera init failed!"}, false},
      // The dialog's binding is empty: the chip id cannot be read and the back end is closed again.
      {"chip id unreadable", simcam::SimConfig{}, false, {"GetChipIDValue Failed!"}, false},
      // No message of its own: the caller reports the failure.
      {"device information refused", noDeviceInfo, true, {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (WpDirection direction : {WpDirection::Off, WpDirection::On}) {
      FlashRig rig(c.config);
      const bool camera = !c.config.devices.empty();
      if (camera) rig.sim.Flash().Contents()[0xC034] = 0x31;
      if (c.findCamera) rig.FindCamera();
      const std::uint8_t status = camera ? rig.sim.Flash().Status() : 0;
      const int result = direction == WpDirection::Off ? DisableWriteProtect(rig.link, rig.flash, rig.messages)
                                                       : EnableWriteProtect(rig.link, rig.flash, rig.messages);
      EXPECT_EQ(result, 0);
      EXPECT_EQ(rig.messages.shown, c.messages);
      EXPECT_EQ(rig.backend.SlotOpen(0), c.slotOpenAfter);
      // Nothing was touched: no pin, no opcode register, no 0x1073, no status write.
      EXPECT_TRUE(WritesTo(rig.sim, kProtectionRegisters).empty());
      if (camera) {
        EXPECT_EQ(rig.sim.Flash().Status(), status);
      }
    }
  }
}

}  // namespace
}  // namespace torvane::flash::test

namespace torvane::flash::test {
namespace {

// A board whose write-protect input (pin 2) reads low unless driven, with the status register's
// protect bit set: only the pin the configuration byte names, driven high, lets the status write and
// so the erase through.
TEST(WriteProtectTest, TheStatusWriteNeedsTheRightPinDrivenHigh) {
  struct Case {
    std::string name;
    std::uint8_t pinConfig;
    bool erased;
  };
  const Case cases[] = {
      {"pin 2 high", 0x22, true},
      {"pin 2 high in table mode", 0x2B, true},
      {"pin 2 low", 0x21, false},
      {"pin 3 high", 0x32, false},
      {"no pin", 0x00, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    simcam::SimConfig config;
    config.controller.undrivenPinLow = true;
    config.flash.status = 0x80 | 0x0C;
    FlashRig rig(config);
    FillPattern(rig.sim.Flash().Contents());
    rig.sim.Flash().Contents()[0xC034] = c.pinConfig;
    const auto before = rig.sim.Flash().Contents();
    rig.FindCamera();

    // The status write's success is not examined: switching off reports success either way.
    EXPECT_EQ(DisableWriteProtect(rig.link, rig.flash, rig.messages), 1);
    EraseFlashChip(RomTag{}, rig.flash, rig.selection, rig.messages);
    if (c.erased) {
      EXPECT_TRUE(AllBlank(rig.sim.Flash().Contents()));
    } else {
      EXPECT_EQ(rig.sim.Flash().Status() & 0x8C, 0x8C);
      EXPECT_EQ(rig.sim.Flash().Contents(), before);
    }
  }
}

}  // namespace
}  // namespace torvane::flash::test
