// The built `torvane` binary on the simulated camera, as a bench script runs it.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "rom/RomImage.h"
#include "rom/Utf.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& word) {
  std::string q = "'";
  for (char c : word) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string ReadText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> ReadBytes(const fs::path& file) {
  const std::string text = ReadText(file);
  return {text.begin(), text.end()};
}

void WriteBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("torvane-cli-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs torvane in the test's folder with LANG=C, standard input closed.
  Outcome Torvane(const std::vector<std::string>& args) {
    std::string command = "cd " + Quote(dir_.string()) + " && LANG=C LC_ALL= LANGUAGE= " + Quote(TORVANE_BINARY);
    for (const auto& a : args) command += " " + Quote(a);
    command += " >out.txt 2>err.txt </dev/null";
    const int raw = std::system(command.c_str());
    Outcome run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadText(dir_ / "out.txt");
    run.err = ReadText(dir_ / "err.txt");
    return run;
  }

  fs::path Path(const std::string& name) const { return dir_ / name; }

  // A configuration file for --simulate=.
  std::string Config(const std::string& name, const std::string& text) {
    std::ofstream(Path(name)) << text;
    return "--simulate=" + Path(name).string();
  }

  fs::path dir_;
};

// The sample with its last group made non-blank, so that a burn leaving it unprogrammed shows.
std::vector<std::uint8_t> SampleWithLastGroupSet() {
  std::vector<std::uint8_t> image = ReadBytes(TORVANE_SAMPLE);
  EXPECT_EQ(image.size(), torvane::rom::kRomSize);
  for (std::size_t i = image.size() - 8; i < image.size(); ++i) image[i] = 0x5A;
  return image;
}

TEST_F(CommandLine, BurnThenExportGivesTheImageButItsLastGroup) {
  const auto image = SampleWithLastGroupSet();
  WriteBytes(Path("image.rom"), image);

  const Outcome burn = Torvane({"--simulate", "--sim-flash", "flash.bin", "burn", "image.rom"});
  ASSERT_EQ(burn.status, 0) << burn.out << burn.err;
  EXPECT_NE(burn.out.find("Burning..."), std::string::npos);
  EXPECT_NE(burn.out.find("Burn Successes!"), std::string::npos);
  EXPECT_EQ(burn.out.find('\x1b'), std::string::npos) << "no control codes when not on a terminal";

  const Outcome exported = Torvane({"--simulate", "--sim-flash", "flash.bin", "export", "--output", "copy.bin"});
  ASSERT_EQ(exported.status, 0) << exported.err;
  const auto copy = ReadBytes(Path("copy.bin"));
  ASSERT_EQ(copy.size(), image.size());
  EXPECT_TRUE(std::equal(image.begin(), image.end() - 8, copy.begin()));
  EXPECT_EQ(std::vector<std::uint8_t>(copy.end() - 8, copy.end()), std::vector<std::uint8_t>(8, 0xFF));
  EXPECT_EQ(ReadBytes(Path("image.rom")), image) << "the image file is never changed";
}

TEST_F(CommandLine, ExportWithoutOutputUsesTheBuiltName) {
  ASSERT_EQ(Torvane({"--simulate", "--sim-flash", "flash.bin", "burn", TORVANE_SAMPLE}).status, 0);
  const Outcome exported = Torvane({"--simulate", "--sim-flash", "flash.bin", "export"});
  ASSERT_EQ(exported.status, 0) << exported.err;
  EXPECT_TRUE(fs::exists(Path("TVSM-CAM000042-1-V010203_AB_01-20240601.src")));
}

TEST_F(CommandLine, EraseLeavesTheFlashFileBlank) {
  ASSERT_EQ(Torvane({"--simulate", "--sim-flash", "flash.bin", "burn", TORVANE_SAMPLE}).status, 0);
  const Outcome erase = Torvane({"--simulate", "--sim-flash=flash.bin", "erase"});
  ASSERT_EQ(erase.status, 0) << erase.err;
  EXPECT_NE(erase.out.find("Flash Erase Successes!"), std::string::npos);
  EXPECT_EQ(ReadBytes(Path("flash.bin")), std::vector<std::uint8_t>(torvane::rom::kRomSize, 0xFF));
}

TEST_F(CommandLine, AFlashFileThatCannotBeSavedFailsTheCommand) {
  // The folder is missing: the flash starts blank, the erase succeeds on it, but what it did is lost.
  const Outcome erase = Torvane({"--simulate", "--sim-flash", "missing/flash.bin", "erase"});
  EXPECT_EQ(erase.status, 1) << erase.out << erase.err;
  EXPECT_NE(erase.err.find("missing/flash.bin"), std::string::npos) << erase.err;
  EXPECT_FALSE(fs::exists(Path("missing")));
}

TEST_F(CommandLine, AFlashFileMeansTheSimulatedCamera) {
  const Outcome erase = Torvane({"--sim-flash", "flash.bin", "erase"});
  ASSERT_EQ(erase.status, 0) << erase.out << erase.err;
  EXPECT_EQ(ReadBytes(Path("flash.bin")), std::vector<std::uint8_t>(torvane::rom::kRomSize, 0xFF));
}

TEST_F(CommandLine, VersionPrintsTheFourFieldsOneALine) {
  ASSERT_EQ(Torvane({"--simulate", "--sim-flash", "flash.bin", "burn", TORVANE_SAMPLE}).status, 0);
  const Outcome version = Torvane({"--simulate", "--sim-flash", "flash.bin", "version"});
  ASSERT_EQ(version.status, 0) << version.err;
  EXPECT_EQ(version.out, "TVSM1\nCAM-000042\n2024-06-01\n010203AB01\n");
}

TEST_F(CommandLine, IdentityOptionsLandInTheFlashWithAFreshCrc) {
  const auto before = ReadBytes(TORVANE_SAMPLE);
  const Outcome burn = Torvane({"--simulate", "--sim-flash", "flash.bin", "burn", TORVANE_SAMPLE, "--vid", "abcd",
                            "--pid", "12", "--name", "Bench 7 摄像头"});
  ASSERT_EQ(burn.status, 0) << burn.err;
  EXPECT_EQ(ReadBytes(TORVANE_SAMPLE), before);

  const auto flash = ReadBytes(Path("flash.bin"));
  ASSERT_EQ(flash.size(), torvane::rom::kRomSize);
  torvane::rom::RomImage burned;
  burned.Replace(torvane::rom::ImageBytes(flash.data(), torvane::rom::kRomSize), {});
  const auto readout = torvane::rom::ReadIdentity(burned);
  ASSERT_TRUE(readout.identity) << readout.problem;
  EXPECT_EQ(readout.identity->vendorId, 0xABCD);
  EXPECT_EQ(readout.identity->productId, 0x0012);
  EXPECT_EQ(torvane::rom::Utf16ToUtf8(readout.identity->deviceName), "Bench 7 摄像头");
  EXPECT_EQ(readout.identity->storedCrc, readout.identity->computedCrc);
}

TEST_F(CommandLine, FullVerificationCatchesAFlipTheSampledCheckMisses) {
  // One read answer in 4000 has a bit flipped: the burn's own 254 sampled reads meet none with this
  // seed, the full read-back of 16383 groups meets several.
  const std::string faults = "fault.bit_flip_every = 4000\nfault.bit_flip_seed = 7\n";
  const Outcome sampled = Torvane({Config("sim.conf", faults), "burn", TORVANE_SAMPLE});
  ASSERT_EQ(sampled.status, 0) << sampled.err;
  const Outcome full = Torvane({Config("sim.conf", faults), "burn", TORVANE_SAMPLE, "--verify", "full"});
  EXPECT_EQ(full.status, 1);
  EXPECT_NE(full.err.find("Check Data Failed at 0x"), std::string::npos) << full.err;
  EXPECT_NE(full.out.find("Burn Failed!"), std::string::npos);
}

struct BadCase {
  const char* what;
  std::vector<std::string> args;
  int status;
  const char* message;  // expected in standard error
};

TEST_F(CommandLine, BadInvocationsAndInputs) {
  std::vector<std::uint8_t> sample = ReadBytes(TORVANE_SAMPLE);
  WriteBytes(Path("short.rom"), std::vector<std::uint8_t>(sample.begin(), sample.end() - 1));
  auto longer = sample;
  longer.push_back(0);
  WriteBytes(Path("long.rom"), longer);
  auto unsigned_ = sample;
  unsigned_[0] = 'X';
  WriteBytes(Path("nosig.rom"), unsigned_);
  const std::string noDevices = Config("none.conf", "devices = none\n");

  const std::vector<BadCase> cases = {
      {"131071 bytes", {"--simulate", "burn", "short.rom"}, 2, "It is not a Rom file!"},
      {"131073 bytes", {"--simulate", "burn", "long.rom"}, 2, "It is not a Rom file!"},
      {"missing file", {"--simulate", "burn", "absent.rom"}, 2, "Can't Open File!"},
      {"no signature", {"--simulate", "burn", "nosig.rom"}, 1, "It isn't Zidiz Rom File!"},
      {"bad hex", {"--simulate", "burn", TORVANE_SAMPLE, "--vid", "12G4"}, 2, "--vid takes one to four"},
      {"five digits", {"--simulate", "burn", TORVANE_SAMPLE, "--pid", "12345"}, 2, "--pid takes one to four"},
      {"32-character name", {"--simulate", "burn", TORVANE_SAMPLE, "--name", std::string(32, 'n')}, 2,
       "--name takes at most 31"},
      {"unknown command", {"--simulate", "flash"}, 2, "unknown command flash"},
      {"unknown option", {"--simulate", "erase", "--force"}, 2, "unknown option --force"},
      {"empty device", {"--simulate", "--device=", "erase"}, 2, "--device needs a value"},
      {"version of an unknown chip", {Config("chip.conf", "chip_id = 0x42\n"), "version"}, 1,
       "No F/W Version for Chip ID 0x42!"},
      {"no camera", {noDevices, "erase"}, 3, "No camera found."},
      {"device naming nothing", {"--simulate", "--device", "/dev/video9", "version"}, 3,
       "No camera at /dev/video9."},
  };
  for (const auto& c : cases) {
    const Outcome run = Torvane(c.args);
    EXPECT_EQ(run.status, c.status) << c.what << ": " << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.what << ": " << run.err;
  }
}

TEST_F(CommandLine, DevicesListsEveryDeviceAndWhetherItQualifies) {
  const std::string two = Config("two.conf",
                                 "device = video\ndevice.name = Desk Camera\ndevice.path = /dev/video0\n"
                                 "device = camera\ndevice.path = /dev/video2\n");
  const Outcome run = Torvane({two, "devices"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("0  Desk Camera  /dev/video0\n   does not qualify"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("/dev/video2\n   qualifies: extension unit at node 2, chip id 0x32"), std::string::npos)
      << run.out;

  // The camera stops answering after discovery qualified it: its chip id is not made up.
  const Outcome unplugged = Torvane({Config("unplug.conf", "fault.unplug_at = 5\n"), "devices"});
  EXPECT_NE(unplugged.out.find("qualifies: extension unit at node 2, chip id unreadable"), std::string::npos)
      << unplugged.out;

  const Outcome none = Torvane({Config("none.conf", "devices = none\n"), "devices"});
  EXPECT_EQ(none.status, 3);
  EXPECT_NE(none.err.find("There are no video input devices."), std::string::npos);
}

TEST_F(CommandLine, SystemWithoutCamerasHasNoDevices) {
  if (fs::exists("/dev/video0")) GTEST_SKIP() << "this machine has a video device";
  const Outcome run = Torvane({"devices"});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("There are no video input devices."), std::string::npos) << run.err;
}

TEST_F(CommandLine, DeviceOptionSteersBothDiscoveries) {
  // The first device has no extension unit: the dialog-level discovery skips it, but the back end binds
  // the first device it can, so protection and erase go astray. --device keeps both on the camera.
  const std::string two = Config("two.conf", "device = video\ndevice.path = /dev/video0\n"
                                             "device = camera\ndevice.path = /dev/video2\n");
  const Outcome astray = Torvane({two, "erase"});
  EXPECT_EQ(astray.status, 1) << astray.err;
  const Outcome steered = Torvane({two, "--device=/dev/video2", "erase"});
  EXPECT_EQ(steered.status, 0) << steered.err;
  EXPECT_NE(steered.out.find("Flash Erase Successes!"), std::string::npos);
}

TEST_F(CommandLine, ImageCommands) {
  const Outcome made = Torvane({"image", "new", "new.rom", "--vid", "1234", "--name", "Made Here"});
  ASSERT_EQ(made.status, 0) << made.err;
  const Outcome shown = Torvane({"image", "show", "new.rom"});
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_NE(shown.out.find("Vendor id:        1234"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("Device name:      Made Here"), std::string::npos);
  EXPECT_NE(shown.out.find("(matches)"), std::string::npos);

  const Outcome set = Torvane({"image", "set", "new.rom", "--pid", "beef"});
  ASSERT_EQ(set.status, 0) << set.err;
  const Outcome again = Torvane({"image", "show", "new.rom"});
  EXPECT_NE(again.out.find("Product id:       beef"), std::string::npos) << again.out;
  EXPECT_NE(again.out.find("Vendor id:        1234"), std::string::npos);
  EXPECT_NE(again.out.find("(matches)"), std::string::npos);
}

TEST_F(CommandLine, HelpNamesTheExitStatuses) {
  const Outcome run = Torvane({"burn", "--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("3 no camera found"), std::string::npos);
}

}  // namespace
