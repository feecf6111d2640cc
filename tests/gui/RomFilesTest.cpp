// Browse, drop, SetToFile and GO's identity step, with an injected file dialog and real files.
#include <QLineEdit>
#include <QTabWidget>

#include <filesystem>
#include <fstream>

#include "rom/RomFile.h"
#include "rom/SampleImage.h"
#include "tests/gui/DialogTestSupport.h"

namespace torvane::gui::testing {
namespace {

using resources::Language;
using namespace resources;  // control ids
namespace fs = std::filesystem;

class RomFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) / ("torvane-gui-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  static std::vector<std::uint8_t> Sample(std::uint16_t vid, std::uint16_t pid, std::u16string name) {
    rom::SampleImageParams params;
    params.vendorId = vid;
    params.productId = pid;
    params.deviceName = std::move(name);
    rom::SampleImage image = rom::BuildSampleImage(params);
    EXPECT_TRUE(image.problem.empty()) << image.problem;
    return image.bytes;
  }
  static std::vector<std::uint8_t> ReadBack(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  static void Choose(MainDialog& d, std::optional<fs::path> path) {
    d.host.SetFileChooser([path](const app::OpenFileRequest&) -> std::optional<std::u16string> {
      if (!path) return std::nullopt;
      return path->u16string();
    });
  }
  static QString Q(const fs::path& path) { return QString::fromStdU16String(path.u16string()); }

  fs::path dir_;
};

TEST_F(RomFiles, BrowseFillsTheIdentityFieldsWithoutJudgingThem) {
  ModalWatcher watcher;
  MainDialog d(Language::English);
  const fs::path file = Write("camera.src", Sample(0x0ABC, 0x0001, u"Bench Camera"));
  Choose(d, file);

  d.Click(kBrowseButton);

  EXPECT_TRUE(watcher.boxes.empty());
  EXPECT_EQ(d.Text(kRomPathEdit), Q(file));
  EXPECT_EQ(d.dialog->m_strRomPath, file.u16string());
  EXPECT_EQ(d.Text(kStatusLine), QStringLiteral("Click 'GO' to start burning..."));
  EXPECT_EQ(d.Text(kVidEdit), QStringLiteral("0abc"));
  EXPECT_EQ(d.Text(kPidEdit), QStringLiteral("0001"));
  EXPECT_EQ(d.Text(kDeviceNameEdit), QStringLiteral("Bench Camera"));
  EXPECT_TRUE(d.dialog->RomImage->HoldsImage());
}

TEST_F(RomFiles, RefusedFilesKeepThePreviousImageButShowTheirPath) {
  ModalWatcher watcher;
  MainDialog d(Language::Chinese);
  const fs::path good = Write("good.src", Sample(0x1209, 0x0001, u"Good"));
  Choose(d, good);
  d.Click(kBrowseButton);
  const auto before = std::vector<std::uint8_t>(d.dialog->RomImage->Bytes().begin(), d.dialog->RomImage->Bytes().end());

  struct Case {
    fs::path path;
    const char* message;
  };
  const std::vector<Case> cases{
      {Write("short.src", std::vector<std::uint8_t>(131071, 0x11)), "It is not a Rom file!"},
      {Write("long.src", std::vector<std::uint8_t>(131073, 0x11)), "It is not a Rom file!"},
      {dir_ / "missing.src", "Can't Open File!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.string());
    watcher.boxes.clear();
    Choose(d, c.path);
    d.Click(kBrowseButton);
    EXPECT_EQ(watcher.Texts(), (std::vector<QString>{QString::fromUtf8(c.message)}));
    EXPECT_EQ(d.Text(kRomPathEdit), Q(c.path));
    EXPECT_EQ(d.dialog->m_strRomPath, c.path.u16string());
    EXPECT_TRUE(std::equal(before.begin(), before.end(), d.dialog->RomImage->Bytes().begin()));
    EXPECT_EQ(d.Text(kVidEdit), QStringLiteral("1209"));
  }

  // Cancelling the file dialog changes nothing.
  const QString shown = d.Text(kRomPathEdit);
  Choose(d, std::nullopt);
  d.Click(kBrowseButton);
  EXPECT_EQ(d.Text(kRomPathEdit), shown);
}

TEST_F(RomFiles, BrowseOfAnImageWhoseIdentityCannotBeUsedEmptiesTheFields) {
  ModalWatcher watcher;
  MainDialog d(Language::English);
  Choose(d, Write("good.src", Sample(0x1209, 0x0001, u"Good")));
  d.Click(kBrowseButton);
  auto untrusted = Sample(0x3333, 0x4444, u"Untrusted");
  untrusted[370] = 0x01;  // the identity offset's fourth byte
  const fs::path file = Write("untrusted.src", untrusted);
  Choose(d, file);

  d.Click(kBrowseButton);

  ASSERT_EQ(watcher.boxes.size(), 1u);
  EXPECT_TRUE(watcher.boxes[0].text.contains(QStringLiteral("are not shown"))) << watcher.boxes[0].text.toStdString();
  EXPECT_EQ(d.dialog->RomImage->SourcePath(), file);
  for (int id : {kVidEdit, kPidEdit, kDeviceNameEdit}) EXPECT_EQ(d.Text(id), QString()) << id;
  EXPECT_TRUE(d.dialog->m_strVid.empty());
  EXPECT_TRUE(d.dialog->m_strDeviceName.empty());
}

TEST_F(RomFiles, DropAfterBrowseLoadsOnlyTheFirstFileAndKeepsTheBrowsedFields) {
  ModalWatcher watcher;
  MainDialog d(Language::English);
  const fs::path browsed = Write("browsed.src", Sample(0x1111, 0x2222, u"Browsed"));
  const fs::path first = Write("first.src", Sample(0x3333, 0x4444, u"First"));
  const fs::path second = Write("second.src", Sample(0x5555, 0x6666, u"Second"));
  Choose(d, browsed);
  d.Click(kBrowseButton);
  d.SelectTabByMouse(1);

  d.dialog->RouteDropFiles({first.u16string(), second.u16string()});

  EXPECT_TRUE(watcher.boxes.empty());
  EXPECT_EQ(d.Text(kRomPathEdit), Q(first));
  EXPECT_EQ(d.dialog->m_strRomPath, browsed.u16string());
  EXPECT_EQ(d.dialog->RomImage->SourcePath(), first);
  EXPECT_EQ(d.Text(kVidEdit), QStringLiteral("1111"));
  EXPECT_EQ(d.Text(kDeviceNameEdit), QStringLiteral("Browsed"));
  // Back on the "Burn" tab, with its buttons; the auxiliary ones hidden.
  EXPECT_EQ(d.ControlAs<QTabWidget>(kTabControl)->currentIndex(), 0);
  EXPECT_FALSE(d.Control(kGoButton)->isHidden());
  EXPECT_TRUE(d.Control(kEraseButton)->isHidden());
  EXPECT_TRUE(d.Control(kFwVersionButton)->isHidden());
}

TEST_F(RomFiles, SetToFileWritesTheEditedIdentityOverTheBrowsedFile) {
  ModalWatcher watcher;
  MainDialog d(Language::English);
  const fs::path file = Write("edit.src", Sample(0x1209, 0x0001, u"Old Name"));
  Choose(d, file);
  d.Click(kBrowseButton);

  auto* vid = d.ControlAs<QLineEdit>(kVidEdit);
  vid->selectAll();
  QTest::keyClicks(vid, "beef");
  auto* name = d.ControlAs<QLineEdit>(kDeviceNameEdit);
  name->selectAll();
  QTest::keyClicks(name, "AB");
  d.Click(kSetToFileButton);

  EXPECT_TRUE(watcher.boxes.empty());
  rom::RomImage reloaded;
  app::InterfaceControls messages(d.host, *d.window);
  ASSERT_EQ(rom::LoadImageFile(reloaded, file, messages), rom::LoadStatus::Loaded);
  const rom::IdentityReadout readout = rom::ReadIdentity(reloaded);
  ASSERT_TRUE(readout.identity);
  EXPECT_EQ(readout.identity->vendorId, 0xBEEF);
  EXPECT_EQ(readout.identity->productId, 0x0001);
  EXPECT_EQ(readout.identity->deviceName, u"AB");
  EXPECT_EQ(readout.identity->storedCrc, readout.identity->computedCrc);
}

TEST_F(RomFiles, SetToFileAfterADropOfAnotherFileDoesNotOverwriteTheBrowsedFile) {
  ModalWatcher watcher;
  MainDialog d(Language::English);
  const fs::path browsed = Write("browsed.src", Sample(0x1209, 0x0001, u"Browsed"));
  const std::vector<std::uint8_t> original = ReadBack(browsed);
  Choose(d, browsed);
  d.Click(kBrowseButton);
  d.dialog->RouteDropFiles({Write("other.src", Sample(0x7777, 0x8888, u"Other")).u16string()});

  d.Click(kSetToFileButton);

  EXPECT_EQ(watcher.boxes.size(), 1u);  // refused, and said so
  EXPECT_EQ(ReadBack(browsed), original);
}

TEST_F(RomFiles, GoWritesTheFieldsIntoTheImageBeforeTheBurnStarts) {
  std::vector<std::uint8_t> burned;
  app::DialogOperations operations;
  operations.BurnImage = [&](app::OperationContext& context) {
    burned.assign(context.romImage.begin(), context.romImage.end());
    return true;
  };
  MainDialog d(Language::English, operations);
  const fs::path file = Write("go.src", Sample(0x1209, 0x0001, u"Cam"));
  Choose(d, file);
  d.Click(kBrowseButton);
  auto* pid = d.ControlAs<QLineEdit>(kPidEdit);
  pid->selectAll();
  QTest::keyClicks(pid, "00a5");

  d.Click(kGoButton);
  ASSERT_TRUE(ProcessUntil([&] { return !d.dialog->OperationRunning() && !burned.empty(); }));

  rom::RomImage image;
  image.Replace(rom::ImageBytes(burned.data(), rom::kRomSize), {});
  const rom::IdentityReadout readout = rom::ReadIdentity(image);
  ASSERT_TRUE(readout.identity);
  EXPECT_EQ(readout.identity->productId, 0x00A5);
  EXPECT_EQ(readout.identity->storedCrc, readout.identity->computedCrc);
  EXPECT_EQ(d.Text(kStatusLine), QStringLiteral("Burn Successes!"));
}

}  // namespace
}  // namespace torvane::gui::testing
