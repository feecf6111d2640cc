// The simulated camera's configuration file and the persistence of its flash contents.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "simcam/SimCamera.h"
#include "simcam/SimConfig.h"
#include "SimHost.h"

namespace torvane::simcam::test {
namespace {

namespace fs = std::filesystem;

// A directory of its own for each test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::temp_directory_path() /
            ("torvane-simcam-" + std::to_string(::getpid()) + "-" + info->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(File(name), std::ios::binary) << bytes;
  }

 private:
  fs::path path_;
};

TEST(SimConfigFile, EveryKeyIsRead) {
  const char* text = R"(# a bench rehearsal
part = bf49
status = 0x8C
flash_file = /tmp/flash.bin
chip_id = 0x75
reg_3c5 = 3
device_info_word = 0x1234
device_info_mode = 2
block_read = no
chip_id_fallback = second
wp_pin = 5
wp_pin_undriven = low
port_ready_after = 2
latency_ms = 4
latency = real
enumeration = fails
fault.fail_request = 10
fault.unplug_at = 20
fault.fail_selector = 4
fault.port_never_ready = yes
fault.flash_stays_busy = on
fault.flash_ignores_erase = true
fault.bit_flip_every = 1000
fault.bit_flip_seed = 99
fault.unreadable_device_path = yes
fault.no_extension_unit = yes

device = video
device.name = Integrated Webcam
device = camera
device.path = /dev/video4
device.name_readable = no
device.path_readable = no
device.bindable = no
device.topology_readable = no
device.nodes = 6
device.unit_node = 5
)";
  const ConfigParseResult r = ParseSimConfig(text);
  ASSERT_TRUE(r.config) << r.error;
  const SimConfig& c = *r.config;
  EXPECT_EQ(c.flash.part, "bf49");
  EXPECT_EQ(c.flash.status, 0x8C);
  EXPECT_EQ(c.flash.file, "/tmp/flash.bin");
  EXPECT_EQ(c.controller.chipId, 0x75);
  EXPECT_EQ(c.controller.register3C5, 3);
  EXPECT_EQ(c.controller.deviceInfoWord, 0x1234);
  EXPECT_EQ(c.controller.deviceInfoMode, 2);
  EXPECT_FALSE(c.controller.blockRead);
  EXPECT_EQ(c.controller.chipIdFallback, ChipIdFallback::Second);
  EXPECT_EQ(c.controller.writeProtectPin, 5);
  EXPECT_TRUE(c.controller.undrivenPinLow);
  EXPECT_EQ(c.controller.portReadyAfterPolls, 2u);
  EXPECT_EQ(c.timing.requestLatencyMs, 4u);
  EXPECT_TRUE(c.timing.realLatency);
  EXPECT_TRUE(c.enumerationFails);
  EXPECT_EQ(c.faults.failRequest, 10u);
  EXPECT_EQ(c.faults.unplugAtRequest, 20u);
  EXPECT_EQ(c.faults.failSelector, 4u);
  EXPECT_TRUE(c.faults.portNeverReady);
  EXPECT_TRUE(c.faults.flashStaysBusy);
  EXPECT_TRUE(c.faults.flashIgnoresErase);
  EXPECT_EQ(c.faults.bitFlipEvery, 1000u);
  EXPECT_EQ(c.faults.bitFlipSeed, 99u);
  EXPECT_TRUE(c.faults.unreadableDevicePath);
  EXPECT_TRUE(c.faults.noExtensionUnit);
  ASSERT_EQ(c.devices.size(), 2u);
  EXPECT_EQ(c.devices[0].kind, DeviceConfig::Kind::Video);
  EXPECT_EQ(c.devices[0].friendlyName, "Integrated Webcam");
  const DeviceConfig& cam = c.devices[1];
  EXPECT_EQ(cam.kind, DeviceConfig::Kind::Camera);
  EXPECT_EQ(cam.devicePath, "/dev/video4");
  EXPECT_FALSE(cam.friendlyNameReadable);
  EXPECT_FALSE(cam.devicePathReadable);
  EXPECT_FALSE(cam.bindable);
  EXPECT_FALSE(cam.topologyReadable);
  EXPECT_EQ(cam.nodeCount, 6u);
  EXPECT_EQ(cam.extensionUnitNode, 5u);
}

TEST(SimConfigFile, DevicesDefaultToOneCamera) {
  struct Case {
    const char* text;
    std::vector<DeviceConfig::Kind> kinds;
  };
  using K = DeviceConfig::Kind;
  const Case cases[] = {
      {"", {K::Camera}},
      {"# nothing but a comment\n\n   \n", {K::Camera}},
      {"device.unit_node = 1\n", {K::Camera}},  // describes the default camera
      {"devices = none\n", {}},
      {"device = video\ndevice = camera\n", {K::Video, K::Camera}},
  };
  for (const Case& c : cases) {
    const ConfigParseResult r = ParseSimConfig(c.text);
    ASSERT_TRUE(r.config) << c.text << r.error;
    std::vector<K> kinds;
    for (const DeviceConfig& d : r.config->devices) kinds.push_back(d.kind);
    EXPECT_EQ(kinds, c.kinds) << c.text;
  }
  EXPECT_EQ(ParseSimConfig("device.unit_node = 1\n").config->devices[0].extensionUnitNode, 1u);
  const SimConfig plain = *ParseSimConfig("").config;
  EXPECT_EQ(plain.flash.part, DefaultFlashPart().key);
  EXPECT_FALSE(plain.flash.status);
}

TEST(SimConfigFile, BadInputGetsOneClearError) {
  struct Case {
    std::string text;
    std::string error;
  };
  const Case cases[] = {
      {"part = nope", "line 1: \"part\" must be a flash part of the catalogue: c22011, "},
      {"\nwp_pin = 9", "line 2: \"wp_pin\" must be a number from 0 to 7, not \"9\""},
      {"chip_id = 0x100", "line 1: \"chip_id\" must be a number from 0 to 255, not \"0x100\""},
      {"chip_id = -1", "line 1: \"chip_id\" must be a number from 0 to 255"},
      {"chip_id = 12abc", "line 1: \"chip_id\" must be a number"},
      {"fault.fail_selector = 6", "line 1: \"fault.fail_selector\" must be a number from 0 to 5"},
      {"block_read = maybe", "line 1: \"block_read\" must be yes or no, not \"maybe\""},
      {"latency = slow", "line 1: \"latency\" must be one of virtual, real, not \"slow\""},
      {"bogus = 1", "line 1: unknown key \"bogus\""},
      {"device.colour = red", "line 1: unknown key \"device.colour\""},
      {"just words", "line 1: expected \"key = value\", found \"just words\""},
      {"part =", "line 1: \"part\" has no value"},
      {"part = c22011\npart = bf49", "line 2: \"part\" given twice"},
      {"device = camera\ndevice.nodes = 3\ndevice.nodes = 4", "line 3: \"device.nodes\" given twice for the same device"},
      {"device = tablet", "line 1: \"device\" must be one of camera, video, not \"tablet\""},
      {"device.nodes = 2\ndevice.unit_node = 2", "device 1: \"device.unit_node\" 2 is not below \"device.nodes\" 2"},
      {"devices = none\ndevice = camera", "\"devices = none\" and a device are both given"},
      {"part = c22011\n" + std::string(2000, 'x'), "line 2: longer than 1024 characters"},
      {std::string(70000, '#'), "the configuration holds more than 65536 bytes"},
  };
  for (const Case& c : cases) {
    const ConfigParseResult r = ParseSimConfig(c.text);
    EXPECT_FALSE(r.config) << c.text.substr(0, 40);
    EXPECT_EQ(r.error.substr(0, c.error.size()), c.error) << r.error;
  }
  std::string many;
  for (int i = 0; i < 17; ++i) many += "device = camera\n";
  EXPECT_EQ(ParseSimConfig(many).error, "line 17: more than 16 devices");
}

TEST(SimConfigFile, FileIsReadAndNamedInItsErrors) {
  TempDir dir;
  dir.Write("good.cfg", "part = 1f60\nchip_id = 0x16\n");
  dir.Write("bad.cfg", "part = 1f60\nchip_id = 0x1600\n");
  std::string error;
  auto sim = SimCamera::FromConfigFile(dir.File("good.cfg"), error);
  ASSERT_TRUE(sim) << error;
  EXPECT_EQ(sim->Flash().Part().key, "1f60");
  SimHost host(*sim);
  EXPECT_EQ(host.ReadReg(reg::kChipId), 0x16);

  EXPECT_FALSE(SimCamera::FromConfigFile(dir.File("bad.cfg"), error));
  EXPECT_EQ(error, dir.File("bad.cfg") + ": line 2: \"chip_id\" must be a number from 0 to 255, not \"0x1600\"");
  EXPECT_FALSE(SimCamera::FromConfigFile(dir.File("missing.cfg"), error));
  EXPECT_EQ(error, "cannot open simulator configuration \"" + dir.File("missing.cfg") + "\"");
}

TEST(SimPersistence, FlashContentsSurviveASaveAndALoad) {
  TempDir dir;
  SimConfig config;
  config.flash.file = dir.File("flash.bin");
  config.flash.status = 0;
  {
    SimCamera sim(config);  // no file yet: a blank flash
    ASSERT_TRUE(sim.LastError().empty()) << sim.LastError();
    EXPECT_EQ(sim.Flash().Contents(), Bytes(128 * 1024, 0xFF));
    SimHost host(sim);
    ASSERT_EQ(host.WindowWrite(0x0000, 0x08, {'V', 'I', '9', 'R', 1, 2, 3, 4}), platform::kS_OK);
    ASSERT_EQ(host.WindowWrite(0xFFF8, 0x18, {5, 6, 7, 8, 9, 10, 11, 12}), platform::kS_OK);
    std::string error;
    ASSERT_TRUE(sim.SaveFlash(error)) << error;
  }
  EXPECT_EQ(fs::file_size(config.flash.file), 128u * 1024u);
  EXPECT_FALSE(fs::exists(config.flash.file + ".tmp"));
  SimCamera again(config);
  ASSERT_TRUE(again.LastError().empty()) << again.LastError();
  SimHost host(again);
  EXPECT_EQ(host.WindowRead(0x0000, 0x88), (Bytes{'V', 'I', '9', 'R', 1, 2, 3, 4}));
  EXPECT_EQ(host.WindowRead(0xFFF8, 0x98), (Bytes{5, 6, 7, 8, 9, 10, 11, 12}));
  EXPECT_EQ(again.Flash().Contents()[0x8000], 0xFF);
}

TEST(SimPersistence, FileOfTheWrongSizeIsRefused) {
  TempDir dir;
  dir.Write("short.bin", std::string(1000, '\0'));
  dir.Write("full.bin", std::string(128 * 1024, '\0'));
  SimConfig config;
  config.flash.file = dir.File("short.bin");
  SimCamera sim(config);
  EXPECT_EQ(sim.LastError(),
            "flash file \"" + dir.File("short.bin") + "\" holds 1000 bytes; the part holds 131072");
  EXPECT_EQ(sim.Flash().Contents(), Bytes(128 * 1024, 0xFF));  // blank, not half-loaded

  config.flash.file = dir.File("full.bin");
  config.flash.part = "ef3010";  // 64 KiB: a 128 KiB file does not fit
  SimCamera small(config);
  EXPECT_NE(small.LastError().find("holds 131072 bytes; the part holds 65536"), std::string::npos);
}

TEST(SimPersistence, SaveThatCannotBeWrittenLeavesNothingBehind) {
  TempDir dir;
  SimCamera sim;
  std::string error;
  EXPECT_FALSE(sim.SaveFlash(error));
  EXPECT_EQ(error, "no flash file is configured");
  const std::string target = dir.File("no-such-dir/flash.bin");
  EXPECT_FALSE(sim.SaveFlash(target, error));
  EXPECT_NE(error.find("cannot write flash file"), std::string::npos);
  EXPECT_FALSE(fs::exists(target));
  EXPECT_FALSE(fs::exists(target + ".tmp"));
}

}  // namespace
}  // namespace torvane::simcam::test
