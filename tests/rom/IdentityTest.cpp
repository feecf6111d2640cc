// The checksum, the identity read-out as the dialog shows it, identity patching, and the rule for
// headers the tool cannot trust.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RomTestSupport.h"
#include "rom/Crc16.h"
#include "rom/RomImage.h"
#include "rom/Utf.h"

namespace torvane::rom::test {
namespace {

std::vector<std::uint8_t> Slice(ImageBytes image, std::size_t at, std::size_t count) {
  return std::vector<std::uint8_t>(image.begin() + static_cast<std::ptrdiff_t>(at),
                                   image.begin() + static_cast<std::ptrdiff_t>(at + count));
}

std::uint16_t CrcFieldOf(ImageBytes image, std::size_t at) {
  return static_cast<std::uint16_t>((image[at] << 8) | image[at + 1]);
}

TEST(Crc16, KnownValues) {
  const std::string digits = "123456789";
  const std::vector<std::uint8_t> nine(digits.begin(), digits.end());
  const std::vector<std::uint8_t> zeroByte{0x00};
  EXPECT_EQ(Crc16(nine), 0x4B37);  // the published check value of these parameters
  EXPECT_EQ(Crc16({}), 0xFFFF);
  EXPECT_EQ(Crc16(zeroByte), 0x40BF);
}

// ---- Identity read-out ----

struct ReadoutCase {
  const char* what;
  std::vector<std::uint8_t> ids;  // vendor id, product id as stored (big-endian)
  std::uint8_t bLength;
  std::u16string stored;  // code units written after the descriptor's two header bytes
  const char* vid;
  const char* pid;
  std::u16string shown;
};

class ReadoutTable : public ::testing::TestWithParam<ReadoutCase> {};

TEST_P(ReadoutTable, ShowsFieldsAsTheDialogDoes) {
  const ReadoutCase& c = GetParam();
  HandImage hand = StandardImage();
  hand.Put(kIdentity + 6, c.ids);
  std::fill_n(hand.bytes.begin() + kIdentity + 320, 64, std::uint8_t{0});
  hand.Descriptor(kIdentity + 320, c.bLength, c.stored);
  // Whatever follows the descriptor area must never show up in the name.
  hand.Put(kIdentity + 384, {'X', 0, 'Y', 0});

  const RomImage image = Loaded(hand);
  const auto readout = ReadIdentity(image);
  ASSERT_TRUE(readout.identity) << readout.problem;
  const IdentityTexts texts = ShownTexts(*readout.identity);
  EXPECT_EQ(texts.vid, std::u16string(c.vid, c.vid + std::char_traits<char>::length(c.vid)));
  EXPECT_EQ(texts.pid, std::u16string(c.pid, c.pid + std::char_traits<char>::length(c.pid)));
  EXPECT_EQ(texts.deviceName, c.shown);
}

const std::u16string k31 = u"ABCDEFGHIJKLMNOPQRSTUVWXYZ01234";

INSTANTIATE_TEST_SUITE_P(
    Rom, ReadoutTable,
    ::testing::Values(
        ReadoutCase{"bLength_2_empty", {0x0A, 0xBC, 0x00, 0x01}, 2, u"", "0abc", "0001", u""},
        ReadoutCase{"bLength_10_four_characters", {0x00, 0x01, 0xFF, 0xFF}, 10, u"ABCD", "0001", "ffff", u"ABCD"},
        ReadoutCase{"bLength_10_over_longer_text", {0, 0, 0, 0}, 10, u"ABCDEFGH", "0000", "0000", u"ABCD"},
        ReadoutCase{"bLength_0x40_31_characters_no_terminator", {0xAB, 0xCD, 0x12, 0x34}, 0x40, k31, "abcd", "1234", k31},
        ReadoutCase{"zero_unit_ends_the_name", {0, 0, 0, 0}, 10, std::u16string(u"AB\0D", 4), "0000",
                    "0000", u"AB"},
        ReadoutCase{"bLength_0", {0, 0, 0, 0}, 0, u"ABCD", "0000", "0000", u""},
        // An odd bLength copies half of the last unit: its high byte stays zero in the working buffer.
        ReadoutCase{"bLength_9_cuts_a_unit_in_half", {0, 0, 0, 0}, 9, u"ABC\u4E2D", "0000", "0000", u"ABC\u002D"},
        ReadoutCase{"not_latin_and_surrogate_pair", {0, 0, 0, 0}, 10, u"相机\U0001F600", "0000", "0000",
                    u"相机\U0001F600"}),
    [](const auto& p) { return std::string(p.param.what); });

// ---- Patching ----

struct PatchCase {
  const char* what;
  std::u16string vid, pid, name;
  std::vector<std::uint8_t> ids;         // expected at IdentityOffset + 6
  std::vector<std::uint8_t> descriptor;  // expected from IdentityOffset + 320 (old bytes included)
};

class PatchTable : public ::testing::TestWithParam<PatchCase> {};

TEST_P(PatchTable, WritesFieldsAndRenewsTheChecksum) {
  const PatchCase& c = GetParam();
  HandImage hand = StandardImage();  // holds the name "Camera" (bLength 14)
  hand.Put(kIdentity + 384, {0x5A});  // just past the 64-byte name area
  RomImage image = Loaded(hand);

  const ApplyResult result = ApplyIdentityToImage(image, {c.vid, c.pid, c.name});
  ASSERT_TRUE(result.applied) << result.problem;
  const ImageBytes bytes = image.Bytes();
  EXPECT_EQ(Slice(bytes, kIdentity + 6, 4), c.ids);
  EXPECT_EQ(Slice(bytes, kIdentity + 320, c.descriptor.size()), c.descriptor);
  EXPECT_EQ(bytes[kIdentity + 384], 0x5A) << "nothing written past the name area";
  const std::uint16_t crc = Crc16(bytes.subspan(kIdentity, kLength));
  EXPECT_EQ(CrcFieldOf(bytes, kCrcAt), crc);
  EXPECT_EQ(image.Layout()->StoredCrc, crc);
  // Everything else is as it was.
  for (std::size_t at : {std::size_t{0}, std::size_t{kIdentity - 1}, std::size_t{kIdentity + 10},
                         std::size_t{kCrcAt - 1}, std::size_t{kCrcAt + 2}}) {
    EXPECT_EQ(bytes[at], hand.bytes[at]) << "offset " << at;
  }
}

std::vector<std::uint8_t> ThirtyOneCharacterDescriptor() {
  std::vector<std::uint8_t> out{0x40, 0x03};
  for (char16_t unit : k31) out.insert(out.end(), {static_cast<std::uint8_t>(unit), 0x00});
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Rom, PatchTable,
    ::testing::Values(
        PatchCase{"ids_and_empty_name", u"0abc", u"ABCD", u"", {0x0A, 0xBC, 0xAB, 0xCD},
                  // 02 03, then the old "Camera" stays from its first unit on
                  {0x02, 0x03, 'C', 0, 'a', 0, 'm', 0, 'e', 0, 'r', 0, 'a', 0}},
        PatchCase{"empty_ids_and_two_characters", u"", u"12G4", u"AB", {0x00, 0x00, 0x00, 0x12},
                  {0x06, 0x03, 'A', 0, 'B', 0, 'm', 0, 'e', 0, 'r', 0, 'a', 0}},
        PatchCase{"thirty_one_characters", u"1", u"ffff", k31, {0x00, 0x01, 0xFF, 0xFF}, ThirtyOneCharacterDescriptor()},
        PatchCase{"surrogate_pair", u"FFFF", u"0", u"\U0001F600", {0xFF, 0xFF, 0x00, 0x00},
                  {0x06, 0x03, 0x3D, 0xD8, 0x00, 0xDE, 'm', 0}}),
    [](const auto& p) { return std::string(p.param.what); });

TEST(IdentityPatch, ShorterNameLeavesTheOldBytesAndReadsBackCut) {
  RomImage image = Loaded(StandardImage());
  ASSERT_TRUE(ApplyIdentity(image, 1, 2, u"ABCDEF").applied);
  ASSERT_TRUE(ApplyIdentity(image, 1, 2, u"AB").applied);
  EXPECT_EQ(Slice(image.Bytes(), kIdentity + 320, 14),
            (std::vector<std::uint8_t>{0x06, 0x03, 'A', 0, 'B', 0, 'C', 0, 'D', 0, 'E', 0, 'F', 0}));
  EXPECT_EQ(ReadIdentity(image).identity->deviceName, u"AB");
}

TEST(IdentityPatch, NameChangesTheChecksumOnlyInsideTheRange) {
  struct Case {
    std::uint32_t length;
    bool nameInside;
  };
  for (const Case c : {Case{0x200, true}, Case{0x100, false}}) {
    HandImage hand = StandardImage();
    hand.Field(371, c.length);
    RomImage image = Loaded(hand);
    ASSERT_TRUE(ApplyIdentity(image, 0x1234, 0x5678, u"One").applied);
    const std::uint16_t first = CrcFieldOf(image.Bytes(), kCrcAt);
    ASSERT_TRUE(ApplyIdentity(image, 0x1234, 0x5678, u"Two").applied);
    const std::uint16_t second = CrcFieldOf(image.Bytes(), kCrcAt);
    EXPECT_EQ(first != second, c.nameInside) << "length " << c.length;
    EXPECT_EQ(second, Crc16(image.Bytes().subspan(kIdentity, c.length)));
  }
}

TEST(IdentityPatch, RefusedWithoutChangingAnything) {
  RomImage image = Loaded(StandardImage());
  const std::vector<std::uint8_t> before(image.Bytes().begin(), image.Bytes().end());
  const ApplyResult tooLong = ApplyIdentity(image, 1, 2, k31 + u"5");
  EXPECT_FALSE(tooLong.applied);
  EXPECT_NE(tooLong.problem.find("at most 31"), std::string::npos);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), image.Bytes().begin()));

  RomImage blank;
  const ApplyResult none = ApplyIdentityToImage(blank, {u"1", u"2", u"x"});
  EXPECT_FALSE(none.applied);
  EXPECT_EQ(none.problem, "No ROM image is loaded.");
  EXPECT_TRUE(std::all_of(blank.Bytes().begin(), blank.Bytes().end(), [](std::uint8_t b) { return b == 0xFF; }));
}

TEST(IdentityTexts, HexFieldsAndFormatting) {
  EXPECT_EQ(ParseHexField(u""), 0);
  EXPECT_EQ(ParseHexField(u"0abc"), 0x0ABC);
  EXPECT_EQ(ParseHexField(u"12G4"), 0x12);
  EXPECT_EQ(ParseHexField(u"x1"), 0);
  EXPECT_EQ(ParseHexField(u"123456"), 0x3456);  // the low 16 bits
  EXPECT_EQ(ParseHexField(u"\uFF11"), 0);        // a full-width digit is not a digit
  EXPECT_EQ(FormatIdField(0x0ABC), "0abc");
  EXPECT_EQ(FormatIdField(0x0001), "0001");
  EXPECT_EQ(FormatIdField(0xFFFF), "ffff");
}

TEST(IdentityTexts, Utf8ForMessagesAndCommandLines) {
  const std::u16string name = u"Bench 相机\U0001F600";
  EXPECT_EQ(Utf16ToUtf8(name), "Bench \xE7\x9B\xB8\xE6\x9C\xBA\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(name)), name);
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t{0xD800}) + u"A"), "\xEF\xBF\xBD" "A");  // lone surrogate
  for (const char* bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF"}) {
    EXPECT_FALSE(Utf8ToUtf16(bad)) << "cut short, overlong, surrogate, above U+10FFFF, not a lead byte";
  }
  // For display each malformed sequence becomes one U+FFFD and the text around it is kept.
  EXPECT_EQ(Utf8ToUtf16Replacing("a\xFF" "b\xC3"), u"a\uFFFDb\uFFFD");
  EXPECT_EQ(Utf8ToUtf16Replacing("\xE7\x9B" "x"), u"\uFFFDx");
  EXPECT_EQ(Utf8ToUtf16Replacing("Bench \xE7\x9B\xB8"), u"Bench 相");
}

// ---- Headers the tool cannot trust ----

struct HeaderCase {
  const char* what;
  void (*damage)(HandImage&);
  const char* reason;  // part of the message
};

class RefusedHeaderTable : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(RefusedHeaderTable, ImageLoadsButItsIdentityIsNeitherShownNorPatched) {
  HandImage hand = StandardImage();
  GetParam().damage(hand);
  RomImage image = Loaded(hand);

  EXPECT_TRUE(image.HasSignature());
  EXPECT_FALSE(image.Layout());
  const auto readout = ReadIdentity(image);
  EXPECT_FALSE(readout.identity);
  EXPECT_NE(readout.problem.find(GetParam().reason), std::string::npos) << readout.problem;
  EXPECT_NE(readout.problem.find("cannot be changed"), std::string::npos);

  const ApplyResult result = ApplyIdentityToImage(image, {u"ffff", u"ffff", k31});
  EXPECT_FALSE(result.applied);
  EXPECT_EQ(result.problem, readout.problem);
  EXPECT_TRUE(std::equal(hand.bytes.begin(), hand.bytes.end(), image.Bytes().begin()));
}

INSTANTIATE_TEST_SUITE_P(
    Rom, RefusedHeaderTable,
    ::testing::Values(
        HeaderCase{"fourth_byte_identity_offset", [](HandImage& h) { h.Field(367, kIdentity, 0x01); },
                   "offset 367 has a non-zero fourth byte (0x1)"},
        HeaderCase{"fourth_byte_length", [](HandImage& h) { h.Field(371, kLength, 0x80); }, "offset 371 has"},
        HeaderCase{"fourth_byte_crc_block", [](HandImage& h) { h.Field(391, kCrcBlock, 0xFF); }, "offset 391 has"},
        HeaderCase{"identity_at_last_page", [](HandImage& h) { h.Field(367, 0x1FF00); }, "no room for the device name"},
        HeaderCase{"identity_far_out", [](HandImage& h) { h.Field(367, 0xFFFFFF00); }, "no room for the device name"},
        HeaderCase{"range_past_end", [](HandImage& h) { h.Field(367, 0x1FE00).Field(371, 0x300); }, "ends outside"},
        HeaderCase{"range_huge", [](HandImage& h) { h.Field(371, 0xFFFFFF00); }, "ends outside"},
        HeaderCase{"checksum_at_end", [](HandImage& h) { h.Field(391, 0x20000); }, "checksum at 0x20014 lies outside"},
        HeaderCase{"checksum_far_out", [](HandImage& h) { h.Field(391, 0xFFFFFF00); }, "lies outside the image"},
        HeaderCase{"name_over_header", [](HandImage& h) { h.Field(367, 0); },
                   "device-name area would overwrite the header field at offset 367"},
        HeaderCase{"descriptor_65_bytes", [](HandImage& h) { h.bytes[kIdentity + 320] = 65; }, "65 bytes long"},
        HeaderCase{"descriptor_255_bytes", [](HandImage& h) { h.bytes[kIdentity + 320] = 0xFF; }, "255 bytes long"},
        HeaderCase{"all_ff_image", [](HandImage& h) { std::fill(h.bytes.begin() + 4, h.bytes.end(), 0xFF); },
                   "non-zero fourth byte"}),
    [](const auto& p) { return std::string(p.param.what); });

TEST(RefusedHeader, LayoutAtTheVeryEndIsAccepted) {
  // The last places that fit: name area up to 0x1FF80, checksum in the last bytes it may take.
  HandImage hand;
  hand.Header(0x1FE00, 0x100, 0x1FF00).Descriptor(0x1FE00 + 320, 0x40, k31);
  RomImage image = Loaded(hand);
  ASSERT_TRUE(image.Layout()) << image.LayoutProblem();
  EXPECT_EQ(ReadIdentity(image).identity->deviceName, k31);
  ASSERT_TRUE(ApplyIdentity(image, 0xABCD, 0x0102, k31).applied);
  EXPECT_EQ(CrcFieldOf(image.Bytes(), 0x1FF14), Crc16(image.Bytes().subspan(0x1FE00, 0x100)));
  EXPECT_TRUE(ReadIdentity(image).identity);  // the patched image stays loadable
}

}  // namespace
}  // namespace torvane::rom::test
