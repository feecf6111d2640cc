// Loading, the open check, and saving that never loses a file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "RomTestSupport.h"
#include "rom/Crc16.h"
#include "rom/RomFile.h"

namespace torvane::rom::test {
namespace {

namespace fs = std::filesystem;

using RomLoad = ScratchDir;
using RomSave = ScratchDir;

struct Snapshot {
  std::vector<std::uint8_t> bytes;
  fs::path source;
  std::optional<std::uint32_t> identityOffset;

  explicit Snapshot(const RomImage& image)
      : bytes(image.Bytes().begin(), image.Bytes().end()), source(image.SourcePath()) {
    if (image.Layout()) identityOffset = image.Layout()->IdentityOffset;
  }
  bool operator==(const Snapshot&) const = default;
};

TEST_F(RomLoad, WholeImageReplacesTheOldOne) {
  HandImage hand = StandardImage();
  WriteFile(Path("a.src"), hand.bytes);
  RomImage image = Loaded(HandImage{});  // something else in memory first
  RecordingSink sink;

  EXPECT_EQ(LoadImageFile(image, Path("a.src"), sink), LoadStatus::Loaded);
  EXPECT_TRUE(sink.messages.empty());
  EXPECT_TRUE(std::equal(hand.bytes.begin(), hand.bytes.end(), image.Bytes().begin()));
  EXPECT_EQ(image.SourcePath(), Path("a.src"));
  ASSERT_TRUE(image.Layout());
  EXPECT_EQ(image.Layout()->IdentityOffset, kIdentity);
  EXPECT_EQ(ReadIdentity(image).identity->deviceName, u"Camera");
}

TEST_F(RomLoad, RefusedFilesLeaveTheImageInMemoryUnchanged) {
  struct Case {
    const char* name;
    std::size_t size;  // 0: not created
    const char* message;
  };
  const Case cases[] = {
      {"short.src", kRomSize - 1, "It is not a Rom file!"},
      {"long.src", kRomSize + 1, "It is not a Rom file!"},
      {"empty.src", 0, nullptr},  // created empty below
      {"missing.src", 0, "Can't Open File!"},
      {"a-directory", 0, "Can't Open File!"},
  };
  WriteFile(Path("good.src"), StandardImage().bytes);
  WriteFile(Path("empty.src"), {});
  fs::create_directory(Path("a-directory"));
  for (const Case& c : cases) {
    if (c.size != 0) WriteFile(Path(c.name), std::vector<std::uint8_t>(c.size, 0x56));
    RomImage image;
    RecordingSink sink;
    ASSERT_EQ(LoadImageFile(image, Path("good.src"), sink), LoadStatus::Loaded);
    const Snapshot before(image);

    const LoadStatus status = LoadImageFile(image, Path(c.name), sink);
    const std::string expected = c.message ? c.message : "It is not a Rom file!";
    EXPECT_EQ(status, expected == kCantOpenFile ? LoadStatus::CannotOpen : LoadStatus::NotRomFile) << c.name;
    EXPECT_EQ(sink.messages, std::vector<std::string>{expected}) << c.name;
    EXPECT_TRUE(Snapshot(image) == before) << c.name;
  }
}

TEST_F(RomLoad, AnyHeaderLoadsAndTheRenameCheckOnlyOpens) {
  // A wrong file of the right size loads; its header is judged when the identity is read.
  WriteFile(Path("odd.bin"), std::vector<std::uint8_t>(kRomSize, 0x00));
  RomImage image;
  RecordingSink sink;
  EXPECT_EQ(LoadImageFile(image, Path("odd.bin"), sink), LoadStatus::Loaded);
  EXPECT_FALSE(image.HasSignature());
  EXPECT_FALSE(image.Layout());  // identity at 0: its name area would overwrite the header
  EXPECT_TRUE(sink.messages.empty());

  EXPECT_TRUE(CheckFileOpens(Path("odd.bin"), sink));
  EXPECT_TRUE(sink.messages.empty());
  EXPECT_FALSE(CheckFileOpens(Path("nothing.bin"), sink));
  EXPECT_EQ(sink.messages, std::vector<std::string>{"Can't Open File!"});
}

// ---- Saving ----

// Fails one step of a save the way a full disk or a crash would.
class FailingWriter : public AtomicFileWriter {
 public:
  enum class Step { None, Write, Rename };
  explicit FailingWriter(Step step) : step_(step) {}
  bool renameReached = false;

 protected:
  bool WriteContents(std::FILE* file, std::span<const std::uint8_t> bytes) override {
    if (step_ != Step::Write) return AtomicFileWriter::WriteContents(file, bytes);
    AtomicFileWriter::WriteContents(file, bytes.first(bytes.size() / 2));  // half, then the disk is full
    return false;
  }
  bool RenameOver(const fs::path& from, const fs::path& to) override {
    renameReached = true;
    if (step_ != Step::Rename) return AtomicFileWriter::RenameOver(from, to);
    // Interrupted before the rename: the temporary file is complete, the target untouched.
    EXPECT_EQ(ReadFile(from).size(), kRomSize);
    return false;
  }

 private:
  Step step_;
};

const IdentityTexts kNewFields{u"0abc", u"1234", u"Bench Camera"};

TEST_F(RomSave, WritesTheWholePatchedImageOverItsOwnFile) {
  WriteFile(Path("cam.src"), StandardImage().bytes);
  fs::permissions(Path("cam.src"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  RomImage image;
  RecordingSink sink;
  ASSERT_EQ(LoadImageFile(image, Path("cam.src"), sink), LoadStatus::Loaded);

  EXPECT_EQ(SaveImageToFile(image, Path("cam.src"), kNewFields, sink), SaveStatus::Saved);
  EXPECT_TRUE(sink.messages.empty());
  const std::vector<std::uint8_t> saved = ReadFile(Path("cam.src"));
  ASSERT_EQ(saved.size(), kRomSize);
  EXPECT_TRUE(std::equal(saved.begin(), saved.end(), image.Bytes().begin()));
  EXPECT_EQ(saved[kIdentity + 6], 0x0A);
  EXPECT_EQ(saved[kIdentity + 7], 0xBC);
  EXPECT_EQ(fs::status(Path("cam.src")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(Entries(), std::vector<fs::path>{"cam.src"}) << "no temporary file left";

  // A reload shows what was saved.
  RomImage again;
  ASSERT_EQ(LoadImageFile(again, Path("cam.src"), sink), LoadStatus::Loaded);
  const auto identity = ReadIdentity(again).identity;
  EXPECT_EQ(ShownTexts(*identity).deviceName, u"Bench Camera");
  EXPECT_EQ(identity->storedCrc, identity->computedCrc);
}

TEST_F(RomSave, TwiceInARowWithTheChecksumOutsideAndInsideItsRange) {
  struct Case {
    const char* what;
    std::uint32_t crcBlock;
    bool filesDiffer;
  };
  // Inside: the checksum at 0x1114 lies within 0x1000..0x11FF, so the second one covers the first.
  for (const Case c : {Case{"outside", kCrcBlock, false}, Case{"inside", 0x1100, true}}) {
    HandImage hand = StandardImage();
    hand.Field(391, c.crcBlock);
    const fs::path file = Path(std::string(c.what) + ".src");
    WriteFile(file, hand.bytes);
    RomImage image;
    RecordingSink sink;
    ASSERT_EQ(LoadImageFile(image, file, sink), LoadStatus::Loaded);

    ASSERT_EQ(SaveImageToFile(image, file, kNewFields, sink), SaveStatus::Saved);
    const std::vector<std::uint8_t> first = ReadFile(file);
    ASSERT_EQ(SaveImageToFile(image, file, kNewFields, sink), SaveStatus::Saved);
    const std::vector<std::uint8_t> second = ReadFile(file);

    const std::size_t crcAt = c.crcBlock + 20;
    std::vector<std::size_t> differing;
    for (std::size_t i = 0; i < kRomSize; ++i) {
      if (first[i] != second[i]) differing.push_back(i);
    }
    if (c.filesDiffer) {
      EXPECT_EQ(differing, (std::vector<std::size_t>{crcAt, crcAt + 1})) << c.what;
    } else {
      EXPECT_TRUE(differing.empty()) << c.what;
    }
    // Each file's checksum is the CRC of its range as it was just before the checksum was written.
    std::vector<std::uint8_t> range(first.begin() + kIdentity, first.begin() + kIdentity + kLength);
    if (c.filesDiffer) {
      range[crcAt - kIdentity] = 0x00;  // what the hand image held there before the first save
      range[crcAt - kIdentity + 1] = 0x00;
    }
    EXPECT_EQ((first[crcAt] << 8) | first[crcAt + 1], Crc16(range)) << c.what;
  }
}

TEST_F(RomSave, AFailedSaveLeavesTheOldFileIntact) {
  for (const FailingWriter::Step step : {FailingWriter::Step::Write, FailingWriter::Step::Rename}) {
    const std::vector<std::uint8_t> old = StandardImage().bytes;
    WriteFile(Path("cam.src"), old);
    RomImage image;
    RecordingSink sink;
    ASSERT_EQ(LoadImageFile(image, Path("cam.src"), sink), LoadStatus::Loaded);

    FailingWriter writer(step);
    EXPECT_EQ(SaveImageToFile(image, Path("cam.src"), kNewFields, sink, writer), SaveStatus::WriteFailed);
    EXPECT_EQ(writer.renameReached, step == FailingWriter::Step::Rename);
    EXPECT_EQ(ReadFile(Path("cam.src")), old);
    EXPECT_EQ(Entries(), std::vector<fs::path>{"cam.src"}) << "the temporary file is removed";
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_NE(sink.messages[0].find("was left as it was"), std::string::npos);
    // The image in memory carries the new fields (as GO would burn them); a later save can still succeed.
    EXPECT_EQ(ReadIdentity(image).identity->deviceName, u"Bench Camera");
    EXPECT_EQ(SaveImageToFile(image, Path("cam.src"), kNewFields, sink), SaveStatus::Saved);
  }
}

TEST_F(RomSave, AMissingFolderShowsTheCannotOpenText) {
  fs::create_directory(Path("stick"));
  WriteFile(Path("stick") / "cam.src", StandardImage().bytes);
  RomImage image;
  RecordingSink sink;
  ASSERT_EQ(LoadImageFile(image, Path("stick") / "cam.src", sink), LoadStatus::Loaded);
  fs::remove_all(Path("stick"));  // the stick was pulled

  EXPECT_EQ(SaveImageToFile(image, Path("stick") / "cam.src", kNewFields, sink), SaveStatus::CannotCreate);
  EXPECT_EQ(sink.messages, std::vector<std::string>{"无法打开文件"});
}

TEST_F(RomSave, OnlyOverTheFileTheImageCameFrom) {
  const std::vector<std::uint8_t> browsed = StandardImage().bytes;
  HandImage other = StandardImage();
  other.Put(kIdentity + 6, {0xEE, 0xEE});
  WriteFile(Path("browsed.src"), browsed);
  WriteFile(Path("other.src"), other.bytes);
  WriteFile(Path("short.src"), std::vector<std::uint8_t>(kRomSize - 1, 0));

  {  // A refused Browse: m_strRomPath names the short file, the image is still the browsed one.
    RomImage image;
    RecordingSink sink;
    ASSERT_EQ(LoadImageFile(image, Path("browsed.src"), sink), LoadStatus::Loaded);
    ASSERT_EQ(LoadImageFile(image, Path("short.src"), sink), LoadStatus::NotRomFile);
    const Snapshot before(image);
    EXPECT_EQ(SaveImageToFile(image, Path("short.src"), kNewFields, sink), SaveStatus::NotLoadedFromPath);
    EXPECT_EQ(ReadFile(Path("short.src")).size(), kRomSize - 1);
    EXPECT_TRUE(Snapshot(image) == before) << "nothing patched either";
    ASSERT_EQ(sink.messages.size(), 2u);
    EXPECT_NE(sink.messages[1].find("was not loaded from"), std::string::npos);
    EXPECT_NE(sink.messages[1].find("short.src"), std::string::npos);
  }
  {  // A drop after a Browse: m_strRomPath still names the browsed file, the image is the dropped one.
    RomImage image;
    RecordingSink sink;
    ASSERT_EQ(LoadImageFile(image, Path("browsed.src"), sink), LoadStatus::Loaded);
    ASSERT_EQ(LoadImageFile(image, Path("other.src"), sink), LoadStatus::Loaded);
    EXPECT_EQ(SaveImageToFile(image, Path("browsed.src"), kNewFields, sink), SaveStatus::NotLoadedFromPath);
    EXPECT_EQ(ReadFile(Path("browsed.src")), browsed);
    EXPECT_EQ(sink.messages.size(), 1u);
  }
  {  // Another spelling of the same file is the same file.
    RomImage image;
    RecordingSink sink;
    ASSERT_EQ(LoadImageFile(image, Path("browsed.src"), sink), LoadStatus::Loaded);
    EXPECT_EQ(SaveImageToFile(image, dir_ / "." / "browsed.src", kNewFields, sink), SaveStatus::Saved);
  }
  {  // No path chosen yet: nothing happens and nothing is shown; nor for an empty image.
    RomImage image;
    RecordingSink sink;
    EXPECT_EQ(SaveImageToFile(image, {}, kNewFields, sink), SaveStatus::NoPath);
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(SaveImageToFile(image, Path("other.src"), kNewFields, sink), SaveStatus::NotLoadedFromPath);
    EXPECT_EQ(ReadFile(Path("other.src")), other.bytes);
  }
}

TEST_F(RomSave, RefusedIdentityOrNameSavesNothing) {
  HandImage bad = StandardImage();
  bad.Field(367, kIdentity, 0x01);
  WriteFile(Path("bad.src"), bad.bytes);
  WriteFile(Path("good.src"), StandardImage().bytes);
  RomImage image;
  RecordingSink sink;

  ASSERT_EQ(LoadImageFile(image, Path("bad.src"), sink), LoadStatus::Loaded);
  EXPECT_EQ(SaveImageToFile(image, Path("bad.src"), kNewFields, sink), SaveStatus::IdentityRefused);
  EXPECT_EQ(ReadFile(Path("bad.src")), bad.bytes);
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_NE(sink.messages[0].find("non-zero fourth byte"), std::string::npos);

  ASSERT_EQ(LoadImageFile(image, Path("good.src"), sink), LoadStatus::Loaded);
  const IdentityTexts tooLong{u"1", u"2", std::u16string(32, u'n')};
  EXPECT_EQ(SaveImageToFile(image, Path("good.src"), tooLong, sink), SaveStatus::IdentityRefused);
  EXPECT_EQ(ReadFile(Path("good.src")), StandardImage().bytes);
}

TEST_F(RomSave, ThroughASymbolicLinkTheLinkStays) {
  WriteFile(Path("real.src"), StandardImage().bytes);
  std::error_code error;
  fs::create_symlink(Path("real.src"), Path("link.src"), error);
  if (error) GTEST_SKIP() << "no symbolic links here";
  RomImage image;
  RecordingSink sink;
  ASSERT_EQ(LoadImageFile(image, Path("link.src"), sink), LoadStatus::Loaded);
  ASSERT_EQ(SaveImageToFile(image, Path("link.src"), kNewFields, sink), SaveStatus::Saved);
  EXPECT_TRUE(fs::is_symlink(Path("link.src")));
  EXPECT_EQ(ReadFile(Path("real.src"))[kIdentity + 6], 0x0A);
}

}  // namespace
}  // namespace torvane::rom::test
