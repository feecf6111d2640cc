// The export: its file name from the firmware information, the file it writes, and what it never leaves
// behind when it fails.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "operations/FirmwareInfo.h"
#include "operations/Operations.h"
#include "rom/SampleImage.h"
#include "tests/operations/Bench.h"

namespace torvane::operations::testing {
namespace {

namespace fs = std::filesystem;
using Event = ControlEvent;
using Bytes = std::vector<std::uint8_t>;

template <std::size_t N>
std::array<std::uint8_t, N> Field(std::string_view text) {
  std::array<std::uint8_t, N> field{};
  std::copy_n(text.begin(), std::min(text.size(), N), field.begin());
  return field;
}

FirmwareInfo Info(std::string_view tag, std::string_view field1, std::string_view field2, std::string_view field3) {
  return {Field<kInfoTagSize>(tag), Field<kInfoFieldSize>(field1), Field<kInfoFieldSize>(field2),
          Field<kInfoFieldSize>(field3)};
}

struct NameCase {
  const char* name;
  FirmwareInfo info;
  std::optional<std::string> expected;
};

TEST(ExportFileName, IsBuiltFromTheFieldsOrNotAtAll) {
  const FirmwareInfo example = Info("ABCDE", "98-76-5432", "12-34-5678", "12345678AB");
  FirmwareInfo zeroInField1 = example;
  zeroInField1.InfoField1[9] = 0;
  FirmwareInfo zeroInField2 = example;
  zeroInField2.InfoField2[0] = 0;
  FirmwareInfo highByte = example;
  highByte.InfoField2[3] = 0xC4;
  const NameCase cases[] = {
      {"the layout", example, "ABCD-12345678-E-V123456_78_AB-98765432.src"},
      {"zero byte in InfoField1", zeroInField1, std::nullopt},
      {"zero byte in InfoField2", zeroInField2, std::nullopt},
      {"zero byte in the tag shortens its pieces", Info(std::string_view("AB\0DE", 5), "98-76-5432", "12-34-5678", "12345678AB"),
       "AB-12345678-E-V123456_78_AB-98765432.src"},
      {"zero tag byte 4 leaves its piece empty", Info("ABCD", "98-76-5432", "12-34-5678", "12345678AB"),
       "ABCD-12345678--V123456_78_AB-98765432.src"},
      {"zero byte in InfoField3 shortens its piece", Info("ABCDE", "98-76-5432", "12-34-5678", std::string_view("123\0005678AB", 10)),
       "ABCD-12345678-E-V123_78_AB-98765432.src"},
      {"dashes in the tag and InfoField3 stay", Info("A-CD-", "98-76-5432", "12-34-5678", "1-3456-8AB"),
       "A-CD-12345678---V1-3456_-8_AB-98765432.src"},
      {"space", Info("ABCDE", "98 76-5432", "12-34-5678", "12345678AB"), std::nullopt},
      {"full stop", Info("AB.DE", "98-76-5432", "12-34-5678", "12345678AB"), std::nullopt},
      {"square bracket", Info("ABCDE", "98-76-5432", "12-34-5678", "123456[8AB"), std::nullopt},
      {"at sign", Info("ABCDE", "98-76-5432", "12-3@-5678", "12345678AB"), std::nullopt},
      {"byte above 0x7F", highByte, std::nullopt},
  };
  for (const NameCase& c : cases) EXPECT_EQ(ComposeExportFileName(c.info), c.expected) << c.name;
}

class Export : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device device;
    directory_ = fs::temp_directory_path() / ("torvane-export-" + std::to_string(device()));
    fs::create_directories(directory_);
  }
  void TearDown() override {
    std::error_code error;
    fs::permissions(directory_, fs::perms::owner_all, error);
    fs::remove_all(directory_, error);
  }

  // A camera whose flash holds a sample image with these fields, for a controller of this chip id, and
  // something other than 0xFF in its last group.
  static simcam::SimConfig Config(std::uint8_t chipId) {
    simcam::SimConfig config;
    config.controller.chipId = chipId;
    return config;
  }
  static void LoadSample(Bench& bench, const rom::SampleImageParams& params) {
    const auto sample = rom::BuildSampleImage(params);
    ASSERT_EQ(sample.problem, "");
    std::copy(sample.bytes.begin(), sample.bytes.end(), bench.Flash().begin());
    std::fill(bench.Flash().end() - 8, bench.Flash().end(), std::uint8_t{0x42});
  }
  static rom::SampleImageParams ExampleFields(std::uint8_t chipId) {
    rom::SampleImageParams params;
    params.chipId = chipId;
    params.InfoTag = "ABCDE";
    params.InfoField1 = "98-76-5432";
    params.InfoField2 = "12-34-5678";
    params.InfoField3 = "12345678AB";
    return params;
  }

  static Bytes ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::vector<fs::path> Entries() const {
    std::vector<fs::path> entries;
    for (const auto& entry : fs::directory_iterator(directory_)) entries.push_back(entry.path().filename());
    std::sort(entries.begin(), entries.end());
    return entries;
  }

  fs::path directory_;
};

TEST_F(Export, WritesTheFlashUnderTheNameOfItsFirmware) {
  Bench bench(Config(0x32));
  LoadSample(bench, ExampleFields(0x32));
  bench.FindCamera();

  const ExportReport report = ExportRom(bench.context, bench.controls, directory_);

  const std::string name = "ABCD-12345678-E-V123456_78_AB-98765432.src";
  EXPECT_EQ(report.result, 1);
  EXPECT_EQ(report.file, directory_ / name);
  EXPECT_EQ(Entries(), std::vector<fs::path>{name});
  Bytes expected = bench.Flash();
  std::fill(expected.end() - 8, expected.end(), std::uint8_t{0xFF});  // the last group is not read
  EXPECT_EQ(ReadFile(directory_ / name), expected);
  EXPECT_EQ(bench.context.link.ChipId, 0x32);
  EXPECT_EQ(bench.context.link.HighBankFlag, 0u);
  EXPECT_FALSE(bench.context.backend.SlotOpen(0));

  EXPECT_EQ(bench.controls.EventsWithoutPositionsOf(kBarStep),
            (std::vector<Event>{Event::SetText(kStatusLine, "Exporting..."), Event::SetText(kExportNameEdit, name),
                                Event::Range(kBarStep, 0, 13106)}));
  std::vector<int> positions;
  for (int a = 0; a < 131064; a += 8) positions.push_back(a / 10);
  EXPECT_EQ(bench.controls.PositionsOf(kBarStep), positions);
}

TEST_F(Export, ReadsTheFieldsWhereTheChipIdPlacesThem) {
  // 0x16 keeps its name fields at 0x3E00 for the export (and elsewhere for the version box).
  Bench bench(Config(0x16));
  LoadSample(bench, ExampleFields(0x16));
  bench.FindCamera();
  EXPECT_EQ(ExportRom(bench.context, bench.controls, directory_).file.filename(),
            "ABCD-12345678-E-V123456_78_AB-98765432.src");
}

TEST_F(Export, FallsBackToTheDefaultName) {
  struct Case {
    const char* name;
    std::uint8_t chipId;
    std::string InfoField1;
  };
  const Case cases[] = {
      {"chip id without a row", 0x70, "98-76-5432"},
      {"another chip id without a row", 0x42, "98-76-5432"},
      {"zero byte in InfoField1", 0x32, "98-76"},
      {"forbidden character", 0x32, "98.76-5432"},
  };
  for (const Case& c : cases) {
    Bench bench(Config(c.chipId));
    auto params = ExampleFields(c.chipId);
    params.InfoField1 = c.InfoField1;
    LoadSample(bench, params);
    bench.FindCamera();
    const ExportReport report = ExportRom(bench.context, bench.controls, directory_);
    EXPECT_EQ(report.result, 1) << c.name;
    EXPECT_EQ(report.file, directory_ / "ZidizAllRomFile.src") << c.name;
    EXPECT_EQ(bench.controls.TextOf(kExportNameEdit), "ZidizAllRomFile.src") << c.name;
    EXPECT_EQ(Entries(), std::vector<fs::path>{"ZidizAllRomFile.src"}) << c.name;
  }
}

TEST_F(Export, OverwritesAnEarlierFile) {
  Bench bench(Config(0x70));
  LoadSample(bench, ExampleFields(0x70));
  std::ofstream(directory_ / "ZidizAllRomFile.src") << "an earlier export";
  bench.FindCamera();
  ASSERT_EQ(ExportRom(bench.context, bench.controls, directory_).result, 1);
  EXPECT_EQ(ReadFile(directory_ / "ZidizAllRomFile.src").size(), kFlashSize);
  EXPECT_EQ(Entries(), std::vector<fs::path>{"ZidizAllRomFile.src"});
}

TEST_F(Export, FailedReadLeavesNoFileUnderTheName) {
  Bench bench(Config(0x70));
  LoadSample(bench, ExampleFields(0x70));
  std::ofstream(directory_ / "ZidizAllRomFile.src") << "an earlier export";
  bench.FindCamera();
  // The read of the group at 0x10000 is refused: 8192 groups of two requests each before it.
  bench.controls.onEvent = [&](const Event& event) {
    if (event == Event::Range(kBarStep, 0, 13106)) bench.sim.Faults().failRequest = bench.sim.RequestCount() + 2 * 8192 + 1;
  };
  const ExportReport report = ExportRom(bench.context, bench.controls, directory_);
  EXPECT_EQ(report.result, 0);
  EXPECT_EQ(report.failedReadAddress, 0x10000u);
  EXPECT_EQ(bench.controls.Messages(), std::vector<std::string>{"Read Flash Failed at 0x10000!"});
  EXPECT_EQ(bench.context.link.HighBankFlag, 0u);
  EXPECT_EQ(Entries(), std::vector<fs::path>{"ZidizAllRomFile.src"});
  const Bytes earlier = ReadFile(directory_ / "ZidizAllRomFile.src");
  EXPECT_EQ(std::string(earlier.begin(), earlier.end()), "an earlier export");
}

TEST_F(Export, FailsWhereNoFileCanBeMade) {
  Bench bench(Config(0x70));
  bench.FindCamera();
  // A directory that is not there: nothing is read from the flash for a file that cannot be made.
  const ExportReport missing = ExportRom(bench.context, bench.controls, directory_ / "missing");
  EXPECT_EQ(missing.result, 0);
  EXPECT_TRUE(bench.DialogWindowSets().empty());
  const std::string where = (directory_ / "missing" / "ZidizAllRomFile.src").string();
  EXPECT_EQ(bench.controls.Messages(), std::vector<std::string>{"Can't create the file \"" + where + "\"!"});
  bench.controls.Clear();

  // A directory in the way of the name: nothing is read either, it stays, and no temporary file is left
  // beside it.
  fs::create_directory(directory_ / "ZidizAllRomFile.src");
  EXPECT_EQ(ExportRom(bench.context, bench.controls, directory_).result, 0);
  EXPECT_TRUE(bench.DialogWindowSets().empty());
  const std::string blocked = (directory_ / "ZidizAllRomFile.src").string();
  EXPECT_EQ(bench.controls.Messages(), std::vector<std::string>{"Can't create the file \"" + blocked + "\"!"});
  EXPECT_TRUE(fs::is_directory(directory_ / "ZidizAllRomFile.src"));
  EXPECT_EQ(Entries(), std::vector<fs::path>{"ZidizAllRomFile.src"});
  EXPECT_EQ(bench.context.link.HighBankFlag, 0u);
}

TEST_F(Export, FailsOnAReadOnlyDirectory) {
  fs::permissions(directory_, fs::perms::owner_read | fs::perms::owner_exec);
  if (std::ofstream(directory_ / "probe")) {
    fs::remove(directory_ / "probe");
    GTEST_SKIP() << "this user writes into read-only directories (root)";
  }
  Bench bench(Config(0x70));
  bench.FindCamera();
  EXPECT_EQ(ExportRom(bench.context, bench.controls, directory_).result, 0);
  EXPECT_EQ(Entries(), std::vector<fs::path>{});
}

}  // namespace
}  // namespace torvane::operations::testing
