// Our own sample images: valid, with every part the other subsystems read, and the committed sample is
// exactly what the documented command makes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "RomTestSupport.h"
#include "rom/RomImage.h"
#include "rom/SampleImage.h"

namespace torvane::rom::test {
namespace {

std::string TextAt(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t count) {
  return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                     bytes.begin() + static_cast<std::ptrdiff_t>(at + count));
}

bool BlankGroup(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin() + static_cast<std::ptrdiff_t>(at + 8),
                     [](std::uint8_t b) { return b == 0xFF; });
}

TEST(SampleImage, DefaultIsAValidImageWithEveryPart) {
  const SampleImage sample = BuildSampleImage({});
  ASSERT_EQ(sample.problem, "");
  const std::vector<std::uint8_t>& bytes = sample.bytes;
  ASSERT_EQ(bytes.size(), kRomSize);
  const RomImage image = Loaded(HandImage{bytes});

  EXPECT_TRUE(image.HasSignature());
  const RomHeader header = ReadRomHeader(image.Bytes());
  for (const HeaderField& field : {header.IdentityOffset, header.IdentityLength, header.CrcBlockOffset}) {
    EXPECT_EQ(field.bytes[3], 0) << field.at;
    EXPECT_NE(field.Value(), 0u) << field.at;
  }
  const auto identity = ReadIdentity(image).identity;
  ASSERT_TRUE(identity);
  EXPECT_EQ(identity->vendorId, 0x1209);
  EXPECT_EQ(identity->productId, 0x0001);
  EXPECT_EQ(identity->deviceName, u"Torvane Sample Camera");
  EXPECT_EQ(identity->storedCrc, identity->computedCrc);

  // Chip 0x32: information fields at 0x0FD0, 0x0FDA, 0x0FE4 and the tag at 0x0153; pin byte at 0xC034.
  EXPECT_EQ(TextAt(bytes, 0x0FD0, 30), "2024-06-01CAM-000042010203AB01");
  EXPECT_EQ(TextAt(bytes, 0x0153, 5), "TVSM1");
  EXPECT_EQ(bytes[0xC034], 0x22);

  // Code in both halves, with whole blank groups among written ones (a burn skips those), and the
  // last group, which a burn never programs, blank.
  constexpr std::size_t kNear = 512;
  std::vector<bool> written(kRomSize / 8);
  for (std::size_t at = 0; at < kRomSize; at += 8) written[at / 8] = !BlankGroup(bytes, at);
  auto writtenWithin = [&](std::size_t from, std::size_t to) {
    return std::any_of(written.begin() + static_cast<std::ptrdiff_t>(from / 8),
                       written.begin() + static_cast<std::ptrdiff_t>(to / 8), [](bool w) { return w; });
  };
  std::size_t upperWritten = 0;
  std::size_t skippedAmongWritten = 0;
  for (std::size_t at = 0; at < kRomSize; at += 8) {
    if (written[at / 8] && at >= 0x10000) ++upperWritten;
    if (!written[at / 8] && at >= kNear && at + kNear < kRomSize && writtenWithin(at - kNear, at) &&
        writtenWithin(at + 8, at + kNear)) {
      ++skippedAmongWritten;
    }
  }
  EXPECT_GT(upperWritten, 1000u);
  EXPECT_GT(skippedAmongWritten, 500u);
  EXPECT_TRUE(BlankGroup(bytes, kRomSize - 8));
}

struct ChipCase {
  std::uint8_t chipId;
  std::vector<std::uint32_t> tagField1Field2Field3;  // one or two groups of four addresses
  std::uint32_t pinAddress;
};

class SampleForChip : public ::testing::TestWithParam<ChipCase> {};

TEST_P(SampleForChip, PlacesFieldsWhereThatChipsFirmwareKeepsThem) {
  const ChipCase& c = GetParam();
  SampleImageParams params;
  params.chipId = c.chipId;
  params.pinConfig = 0x58;
  const SampleImage sample = BuildSampleImage(params);
  ASSERT_EQ(sample.problem, "");
  for (std::size_t i = 0; i < c.tagField1Field2Field3.size(); i += 4) {
    EXPECT_EQ(TextAt(sample.bytes, c.tagField1Field2Field3[i], 5), "TVSM1");
    EXPECT_EQ(TextAt(sample.bytes, c.tagField1Field2Field3[i + 1], 10), "2024-06-01");
    EXPECT_EQ(TextAt(sample.bytes, c.tagField1Field2Field3[i + 2], 10), "CAM-000042");
    EXPECT_EQ(TextAt(sample.bytes, c.tagField1Field2Field3[i + 3], 10), "010203AB01");
  }
  EXPECT_EQ(sample.bytes[c.pinAddress], 0x58);
  const RomImage image = Loaded(HandImage{sample.bytes});
  EXPECT_EQ(ReadIdentity(image).identity->storedCrc, ReadIdentity(image).identity->computedCrc);
}

INSTANTIATE_TEST_SUITE_P(
    Rom, SampleForChip,
    ::testing::Values(
        // The export name and the version query read 0x16's fields at different places: both are filled.
        ChipCase{0x16, {0x01F3, 0x3E00, 0x3E0A, 0x3E14, 0x0153, 0x0FD0, 0x0FDA, 0x0FE4}, 0x5834},
        ChipCase{0x33, {0x01F3, 0x1E00, 0x1E0A, 0x1E14}, 0x000F},
        ChipCase{0x70, {0x3E00, 0x3E05, 0x3E0F, 0x3E19}, 0x8034},  // known to the version query only
        ChipCase{0x83, {0x200A, 0x2000, 0x2012, 0x201C}, 0x8034},
        ChipCase{0x90, {0x0150, 0x3E00, 0x3E0A, 0x3E14}, 0x8034},
        ChipCase{0x75, {}, 0xC034}),  // no information fields for this chip
    [](const auto& p) {
      char name[16];
      std::snprintf(name, sizeof name, "chip_%02x", static_cast<unsigned>(p.param.chipId));
      return std::string(name);
    });

TEST(SampleImage, ParametersAreCheckedNotTrusted) {
  struct Case {
    const char* what;
    void (*change)(SampleImageParams&);
    const char* problem;
  };
  const Case cases[] = {
      {"32-character name", [](SampleImageParams& p) { p.deviceName = std::u16string(32, u'n'); }, "longer than 31"},
      {"6-byte tag", [](SampleImageParams& p) { p.InfoTag = "TVSM12"; }, "longer than 5"},
      {"11-byte field", [](SampleImageParams& p) { p.InfoField3 = "01234567890"; }, "longer than 10"},
      {"offset not a multiple of 256", [](SampleImageParams& p) { p.identityOffset = 0x0610; }, "multiples of 256"},
      {"ids over the chip's fields",
       [](SampleImageParams& p) {
         p.chipId = 0x83;  // field 1 at 0x2000
         p.identityOffset = 0x2000;
       },
       "overlaps"},
      {"identity past the end", [](SampleImageParams& p) { p.identityOffset = 0x1FF00; }, "outside the image"},
      {"identity over the header", [](SampleImageParams& p) { p.identityOffset = 0; }, "overlaps"},
  };
  for (const Case& c : cases) {
    SampleImageParams params;
    c.change(params);
    const SampleImage sample = BuildSampleImage(params);
    EXPECT_TRUE(sample.bytes.empty()) << c.what;
    EXPECT_NE(sample.problem.find(c.problem), std::string::npos) << c.what << ": " << sample.problem;
  }
  // A layout with the checksum inside its own range is valid, and comes out with a correct CRC.
  SampleImageParams inside;
  inside.crcBlockOffset = 0x0700;
  const SampleImage sample = BuildSampleImage(inside);
  ASSERT_EQ(sample.problem, "");
  const auto identity = ReadIdentity(Loaded(HandImage{sample.bytes})).identity;
  ASSERT_TRUE(identity);
  EXPECT_NE(identity->storedCrc, identity->computedCrc) << "the stored checksum now covers itself";
}

TEST(SampleImage, CommittedSampleIsTheDocumentedDefault) {
  const std::vector<std::uint8_t> committed = ReadFile(std::filesystem::path(TORVANE_SOURCE_DIR) / "examples/sample.rom");
  EXPECT_EQ(committed, BuildSampleImage({}).bytes);
}

TEST(SampleImage, CommandLine) {
  struct Case {
    std::vector<std::string> args;
    const char* error;  // nullptr: accepted
  };
  const Case cases[] = {
      {{"out.rom"}, nullptr},
      {{"out.rom", "--vid", "0abc", "--pid=FFFF", "--name", "Bench \xE7\x9B\xB8\xE6\x9C\xBA", "--chip-id", "16"}, nullptr},
      {{"--help"}, nullptr},
      {{}, "no output file"},
      {{"a.rom", "b.rom"}, "more than one output"},
      {{"out.rom", "--vid", "12345"}, "1 to 4 hexadecimal digits"},
      {{"out.rom", "--vid", "0x12"}, "1 to 4 hexadecimal digits"},
      {{"out.rom", "--pid", ""}, "1 to 4 hexadecimal digits"},
      {{"out.rom", "--chip-id", "123"}, "1 to 2 hexadecimal digits"},
      {{"out.rom", "--name", std::string(32, 'n')}, "at most 31"},
      {{"out.rom", "--name", "\xC3"}, "not valid UTF-8"},
      {{"out.rom", "--tag", "TOOLONG"}, "at most 5 bytes"},
      {{"out.rom", "--field1", "tab\there"}, "printable ASCII"},
      {{"out.rom", "--vid"}, "needs a value"},
      {{"out.rom", "--bogus", "1"}, "unknown option --bogus"},
  };
  for (const Case& c : cases) {
    std::string error;
    const auto command = ParseSampleImageArguments(c.args, error);
    const std::string joined = c.args.empty() ? "(none)" : c.args.front() + "...";
    if (c.error == nullptr) {
      EXPECT_TRUE(command) << joined << ": " << error;
    } else {
      EXPECT_FALSE(command) << joined;
      EXPECT_NE(error.find(c.error), std::string::npos) << joined << ": " << error;
    }
  }
  std::string error;
  const std::vector<std::string> args{"out.rom", "--vid", "0abc", "--name", "Bench \xE7\x9B\xB8\xE6\x9C\xBA",
                                      "--chip-id", "16", "--pin-config", "2a", "--tag", "AB"};
  const auto command = ParseSampleImageArguments(args, error);
  ASSERT_TRUE(command);
  EXPECT_EQ(command->output, "out.rom");
  EXPECT_EQ(command->params.vendorId, 0x0ABC);
  EXPECT_EQ(command->params.productId, 0x0001);  // default kept
  EXPECT_EQ(command->params.deviceName, u"Bench 相机");
  EXPECT_EQ(command->params.chipId, 0x16);
  EXPECT_EQ(command->params.pinConfig, 0x2A);
  EXPECT_EQ(command->params.InfoTag, "AB");
}

}  // namespace
}  // namespace torvane::rom::test
