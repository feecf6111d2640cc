// The dialog with its real operations on the simulated camera, end to end through the Qt host: start-up,
// GO, Erase SF, Rom Export, the firmware-version box, and closing while a burn runs.
#include <QLineEdit>
#include <QProgressBar>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "app/CameraSession.h"
#include "app/Text.h"
#include "app/Torvane_testApp.h"
#include "camera/XuRequest.h"
#include "flash/SfRegisters.h"
#include "resources/StringTable.h"
#include "rom/RomFile.h"
#include "rom/SampleImage.h"
#include "simcam/SimCamera.h"
#include "tests/gui/DialogTestSupport.h"

namespace torvane::gui::testing {
namespace {

using resources::Language;
using namespace resources;  // control and string ids
namespace fs = std::filesystem;

constexpr std::uint8_t kWindowReadBit = 0x80;  // control byte of a flash-window request: a read
constexpr std::size_t kLastGroup = rom::kRomSize - 8;  // 0x1FFF8: a burn never programs it

// The operations' clock: the simulator's virtual clock, able to hold the worker at its first wait while
// the chip erase runs (the erase command sent, the flash busy) until the test lets it go. A camera held
// there is mid-write: stopping the program now would leave it with a half-erased flash.
class HoldingClock final : public platform::Clock {
 public:
  explicit HoldingClock(simcam::SimCamera& sim) : sim_(sim) {}

  std::uint64_t NowMs() override { return sim_.Clock().NowMs(); }
  void SleepMs(std::uint32_t ms) override {
    if (armed_ && !held_ && ChipEraseRunning()) {
      std::unique_lock lock(mutex_);
      held_ = true;
      changed_.wait(lock, [&] { return released_; });
    }
    sim_.Clock().SleepMs(ms);
  }

  void HoldDuringTheErase() { armed_ = true; }
  void Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  bool Held() const { return held_; }

 private:
  bool ChipEraseRunning() {
    if (!sim_.Flash().Busy()) return false;
    const std::vector<simcam::SpiTransaction> log = sim_.HostSpiLog();
    return std::any_of(log.begin(), log.end(), [](const simcam::SpiTransaction& t) {
      const simcam::Bytes sent = t.Sent();
      return !sent.empty() && (sent[0] == flash::kOpChipErase60 || sent[0] == flash::kOpChipEraseC7);
    });
  }

  simcam::SimCamera& sim_;
  std::atomic<bool> armed_{false};
  std::atomic<bool> held_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  bool released_ = false;
};

struct Bench {
  explicit Bench(const simcam::SimConfig& config = {}, fs::path exportDirectory = ".")
      : simulator(config), session(simulator, clock, console, std::move(exportDirectory)) {}

  simcam::SimCamera simulator;
  HoldingClock clock{simulator};
  std::ostringstream console;
  app::CameraSession session;

  std::vector<std::uint8_t>& Flash() { return simulator.Flash().Contents(); }
};

// The main dialog as the program builds it, with a hook into the window's destruction.
class ObservedDialog final : public app::CTorvane_testDlg {
 public:
  using CTorvane_testDlg::CTorvane_testDlg;
  std::function<void()> onDestroy;

 protected:
  void OnDestroy() override {
    if (onDestroy) onDestroy();
    CTorvane_testDlg::OnDestroy();
  }
};

struct SimulatedDialog {
  SimulatedDialog(Bench& b, Language language, app::DialogOperations operations)
      : bench(b), host(language), dialog(host, b.session.Camera(), std::move(operations)) {
    window = host.Open(MainDialogTemplate(language), dialog, true);
  }
  SimulatedDialog(Bench& b, Language language) : SimulatedDialog(b, language, b.session.Operations()) {}
  ~SimulatedDialog() {
    bench.clock.Release();  // a failed test must not leave the worker held while the window goes
    Close();
  }
  void Close() {
    if (window != nullptr) host.Close(window);
    window = nullptr;
  }

  QWidget* Control(int id) const { return window->Control(id); }
  QProgressBar* Bar(int id) const { return qobject_cast<QProgressBar*>(window->Control(id)); }
  QString Text(int id) const { return QString::fromStdU16String(window->ControlText(id)); }
  QString String(int id) const {
    return QString::fromStdString(std::string(resources::LoadString(id, host.Language())));
  }
  void Click(int id) { QTest::mouseClick(Control(id), Qt::LeftButton); }
  void SelectTab(int index) {
    window->SelectTab(kTabControl, index);
    dialog.OnTabSelectionChange();
  }
  void Browse(const fs::path& file) {
    host.SetFileChooser([file](const app::OpenFileRequest&) { return std::optional<std::u16string>(file.u16string()); });
    Click(kBrowseButton);
  }
  bool RunToTheEnd() {
    return ProcessUntil([&] { return !dialog.OperationRunning(); });
  }

  Bench& bench;
  QtDialogHost host;
  ObservedDialog dialog;
  QtDialogWindow* window = nullptr;
};

// The sample image with its last group filled, so that the group a burn leaves out shows.
std::vector<std::uint8_t> SampleImage() {
  rom::SampleImage sample = rom::BuildSampleImage({});
  EXPECT_TRUE(sample.problem.empty()) << sample.problem;
  std::fill(sample.bytes.begin() + kLastGroup, sample.bytes.end(), std::uint8_t{0x5A});
  return sample.bytes;
}

class SimulatedCamera : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) /
           ("torvane-sim-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    image_ = SampleImage();
    imageFile_ = dir_ / "camera.src";
    std::ofstream(imageFile_, std::ios::binary)
        .write(reinterpret_cast<const char*>(image_.data()), static_cast<std::streamsize>(image_.size()));
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The flash holds `image` except its last group, which the erase left blank.
  static void ExpectBurnt(const std::vector<std::uint8_t>& flash, rom::ImageBytes image) {
    ASSERT_EQ(flash.size(), rom::kRomSize);
    EXPECT_TRUE(std::equal(flash.begin(), flash.begin() + kLastGroup, image.begin()));
    EXPECT_TRUE(std::all_of(flash.begin() + kLastGroup, flash.end(), [](std::uint8_t b) { return b == 0xFF; }));
  }

  fs::path dir_;
  fs::path imageFile_;
  std::vector<std::uint8_t> image_;
};

TEST_F(SimulatedCamera, StartUpReadsTheChipIdAndShowsNoMessage) {
  ModalWatcher watcher;
  simcam::SimConfig config;
  config.controller.chipId = 0x56;
  Bench bench(config);
  SimulatedDialog d(bench, Language::English);

  EXPECT_TRUE(watcher.boxes.empty());
  EXPECT_FALSE(d.window->EndRequested());
  EXPECT_EQ(bench.session.Context().link.ChipId, 0x56);
  EXPECT_NE(bench.session.Context().link.Binding().filter, nullptr);
}

TEST_F(SimulatedCamera, WithoutACameraTheTwoMessagesComeInOrderAndTheProgramEnds) {
  simcam::SimConfig noDevices;
  noDevices.devices.clear();
  simcam::SimConfig noUnit;
  noUnit.faults.noExtensionUnit = true;
  for (const simcam::SimConfig& config : {noDevices, noUnit}) {
    ModalWatcher watcher;
    Bench bench(config);
    QtDialogHost host(Language::Chinese);
    app::CTorvane_testApp application(host, bench.session.Camera(), bench.session.Operations());
    application.InitInstance();
    EXPECT_EQ(application.DialogResult(), -1);
    EXPECT_EQ(watcher.Texts(), (std::vector<QString>{"Can't find video device!", "GetChipIDValue Failed!"}));
  }
}

TEST_F(SimulatedCamera, GoBurnsTheImageWithTheEditedIdentityAndLeavesTheStepDisplayShown) {
  for (Language language : {Language::English, Language::Chinese}) {
    SCOPED_TRACE(language == Language::English ? "English" : "Chinese");
    ModalWatcher watcher;
    Bench bench;
    SimulatedDialog d(bench, language);
    d.Browse(imageFile_);
    auto* pid = qobject_cast<QLineEdit*>(d.Control(kPidEdit));
    pid->selectAll();
    QTest::keyClicks(pid, "00a5");
    bench.simulator.ClearLogs();

    d.Click(kGoButton);
    ASSERT_TRUE(d.RunToTheEnd());

    EXPECT_TRUE(watcher.boxes.empty());
    EXPECT_EQ(d.Text(kStatusLine), d.String(kStrBurnOk));
    // Bars and labels as the burn leaves them: the stage bar full, the step bar where the sampled
    // verification ended (its last group at 129024, 129024 / 10 + 100), every step label shown.
    EXPECT_FALSE(d.Control(kTotalBar)->isHidden());
    EXPECT_EQ(d.Bar(kTotalBar)->maximum(), 9);
    EXPECT_EQ(d.Bar(kTotalBar)->value(), 9);
    EXPECT_EQ(d.Bar(kStepBar)->maximum(), 13004);
    EXPECT_EQ(d.Bar(kStepBar)->value(), 13002);
    for (int id : {kLabelEraseAndCheck, kLabelEraseOk, kLabelBurning, kLabelBurnOk, kLabelVerify, kLabelVerifyOk}) {
      EXPECT_FALSE(d.Control(id)->isHidden()) << id;
    }
    for (int id : {kGoButton, kBrowseButton, kSetToFileButton, kEraseButton, kFwVersionButton}) {
      EXPECT_TRUE(d.Control(id)->isEnabled()) << id;
    }

    // The flash holds the image GO burnt (the file with the new product id), all but its last group.
    const rom::ImageBytes burnt = d.dialog.RomImage->Bytes();
    ExpectBurnt(bench.Flash(), burnt);
    EXPECT_EQ(burnt[kLastGroup], 0x5A);
    rom::RomImage readBack;
    readBack.Replace(rom::ImageBytes(bench.Flash().data(), rom::kRomSize), {});
    const rom::IdentityReadout identity = rom::ReadIdentity(readBack);
    ASSERT_TRUE(identity.identity) << identity.problem;
    EXPECT_EQ(identity.identity->productId, 0x00A5);
    EXPECT_EQ(identity.identity->storedCrc, identity.identity->computedCrc);

    // The writes went through the dialog's own link (the one FindCamera bound): one 11-byte flash-window
    // write per group that is not blank.
    std::size_t groups = 0;
    for (std::size_t a = 0; a < kLastGroup; a += 8) {
      groups += std::any_of(burnt.begin() + static_cast<std::ptrdiff_t>(a), burnt.begin() + static_cast<std::ptrdiff_t>(a + 8),
                            [](std::uint8_t b) { return b != 0xFF; });
    }
    const auto& requests = bench.simulator.Requests();
    const auto writes = std::count_if(requests.begin(), requests.end(), [](const simcam::RequestRecord& r) {
      return r.id == simcam::kSelectorWindow && r.flags == camera::kXuSetFlags && r.sent.size() == 11 &&
             (r.sent[2] & kWindowReadBit) == 0 && r.result == platform::kS_OK;
    });
    EXPECT_EQ(static_cast<std::size_t>(writes), groups);
  }
}

TEST_F(SimulatedCamera, AFailedBurnSaysWhyAndEnablesGoAndBrowseAgain) {
  ModalWatcher watcher;
  simcam::SimConfig config;
  config.faults.flashIgnoresErase = true;
  Bench bench(config);
  bench.Flash().assign(rom::kRomSize, 0x00);  // not blank, and the erase will not change that
  SimulatedDialog d(bench, Language::English);
  d.Browse(imageFile_);

  d.Click(kGoButton);
  ASSERT_TRUE(d.RunToTheEnd());

  ASSERT_EQ(watcher.boxes.size(), 1u);
  EXPECT_EQ(watcher.boxes[0].text, QStringLiteral("Check Flash Erase Failed!"));
  EXPECT_TRUE(watcher.boxes[0].onInterfaceThread);
  EXPECT_EQ(d.Text(kStatusLine), QStringLiteral("Burn Failed!"));
  EXPECT_TRUE(d.Control(kGoButton)->isEnabled());
  EXPECT_TRUE(d.Control(kBrowseButton)->isEnabled());
  EXPECT_FALSE(d.Control(kLabelEraseAndCheck)->isHidden());  // where the burn stopped
  EXPECT_TRUE(d.Control(kLabelEraseOk)->isHidden());
}

TEST_F(SimulatedCamera, EraseSfLeavesTheFlashBlank) {
  ModalWatcher watcher;
  Bench bench;
  bench.Flash() = image_;
  SimulatedDialog d(bench, Language::English);
  d.SelectTab(1);

  d.Click(kEraseButton);
  ASSERT_TRUE(d.RunToTheEnd());

  EXPECT_TRUE(watcher.boxes.empty());
  EXPECT_EQ(d.Text(kStatusLine), QStringLiteral("Flash Erase Successes!"));
  EXPECT_TRUE(std::all_of(bench.Flash().begin(), bench.Flash().end(), [](std::uint8_t b) { return b == 0xFF; }));
  EXPECT_EQ(d.Bar(kStepBar)->maximum(), 6552);
  EXPECT_EQ(d.Bar(kStepBar)->value(), 6552);  // full from the check's middle on
  EXPECT_TRUE(d.Control(kTotalBar)->isHidden());
  EXPECT_TRUE(d.Control(kEraseButton)->isEnabled());
  EXPECT_TRUE(d.Control(kFwVersionButton)->isEnabled());
}

TEST_F(SimulatedCamera, RomExportWritesTheFlashIntoItsDirectory) {
  // The button stays hidden; its command still reaches the launcher.
  ModalWatcher watcher;
  Bench bench({}, dir_);
  bench.Flash() = image_;
  SimulatedDialog d(bench, Language::English);

  d.dialog.RouteCommand(kRomExportButton);
  ASSERT_TRUE(d.RunToTheEnd());

  EXPECT_TRUE(watcher.boxes.empty());
  EXPECT_EQ(d.Text(kStatusLine), QStringLiteral("Export Rom Successes!"));
  std::ifstream in(dir_ / "TVSM-CAM000042-1-V010203_AB_01-20240601.src", std::ios::binary);
  const std::vector<std::uint8_t> exported(std::istreambuf_iterator<char>(in), {});
  ExpectBurnt(exported, rom::ImageBytes(image_.data(), rom::kRomSize));
}

TEST_F(SimulatedCamera, FirmwareVersionShowsTheFourFieldsInItsOwnBox) {
  ModalWatcher watcher;
  Bench bench;
  bench.Flash() = image_;
  SimulatedDialog d(bench, Language::Chinese);
  d.SelectTab(1);

  d.Click(kFwVersionButton);

  ASSERT_EQ(watcher.boxes.size(), 1u);
  EXPECT_EQ(watcher.boxes[0].text, QStringLiteral("TVSM1\r\nCAM-000042\r\n2024-06-01\r\n010203AB01"));
  EXPECT_EQ(watcher.boxes[0].caption, QStringLiteral("Get F/W Version"));
  EXPECT_EQ(watcher.boxes[0].icon, QMessageBox::NoIcon);
  EXPECT_EQ(watcher.boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_FALSE(d.dialog.OperationRunning());  // it ran on the interface thread, no worker

  // The hidden ROM-type button's command: the probe's answer in the status line.
  d.dialog.RouteCommand(kGetRomTypeButton);
  EXPECT_EQ(d.Text(kStatusLine), QStringLiteral("Rom Type: 23"));
}

TEST_F(SimulatedCamera, ClosingWhileABurnRunsIsRefusedAndTheBurnGoesOn) {
  ModalWatcher watcher;
  Bench bench;
  SimulatedDialog d(bench, Language::English);
  d.Browse(imageFile_);
  bench.clock.HoldDuringTheErase();

  d.Click(kGoButton);
  ASSERT_TRUE(ProcessUntil([&] { return bench.clock.Held(); }));
  QCoreApplication::processEvents();  // what the worker posted before the hold

  // Mid-burn: write protection is off, the chip erase runs.
  EXPECT_TRUE(bench.simulator.Flash().Busy());
  EXPECT_EQ(d.Text(kStatusLine), QStringLiteral("Burning..."));
  EXPECT_EQ(d.Bar(kStepBar)->value(), 2);
  EXPECT_EQ(d.Bar(kTotalBar)->value(), 0);
  EXPECT_FALSE(d.Control(kLabelEraseAndCheck)->isHidden());
  EXPECT_TRUE(d.Control(kLabelEraseOk)->isHidden());

  d.window->close();                                  // the close box
  QTest::keyClick(d.window, Qt::Key_Escape);          // Escape
  d.dialog.RouteCommand(kIdOk);                       // OK
  const QString refused = QString::fromStdU16String(std::u16string(app::messages::kOperationRunning));
  EXPECT_EQ(watcher.Texts(), std::vector<QString>(3, refused));
  EXPECT_FALSE(d.window->EndRequested());
  EXPECT_TRUE(d.window->isVisible());

  bench.clock.Release();
  ASSERT_TRUE(d.RunToTheEnd());
  EXPECT_EQ(d.Text(kStatusLine), QStringLiteral("Burn Successes!"));
  ExpectBurnt(bench.Flash(), d.dialog.RomImage->Bytes());
  EXPECT_EQ(watcher.boxes.size(), 3u);

  d.window->close();  // now it closes
  EXPECT_TRUE(d.window->EndRequested());
}

TEST_F(SimulatedCamera, AWindowDestroyedMidBurnWaitsForTheBurnBeforeReleasingTheImage) {
  ModalWatcher watcher;
  Bench bench;
  std::atomic<int> burnResult{-1};
  app::DialogOperations operations = bench.session.Operations();
  operations.BurnImage = [burn = operations.BurnImage, &burnResult](app::OperationContext& run) {
    const bool succeeded = burn(run);
    burnResult = succeeded ? 1 : 0;
    return succeeded;
  };
  SimulatedDialog d(bench, Language::English, operations);
  d.Browse(imageFile_);
  const std::vector<std::uint8_t> burning(d.dialog.RomImage->Bytes().begin(), d.dialog.RomImage->Bytes().end());
  bench.clock.HoldDuringTheErase();
  d.Click(kGoButton);
  ASSERT_TRUE(ProcessUntil([&] { return bench.clock.Held(); }));

  // The window goes while the erase runs (as when the session ends); the worker goes on only once the
  // destruction has begun.
  bool erasingAtDestroy = false;
  d.dialog.onDestroy = [&] {
    erasingAtDestroy = bench.clock.Held() && burnResult == -1;
    bench.clock.Release();
  };
  d.Close();

  EXPECT_TRUE(erasingAtDestroy);
  EXPECT_EQ(burnResult, 1);  // the burn ran to its end on an image that was still there
  ExpectBurnt(bench.Flash(), rom::ImageBytes(burning.data(), rom::kRomSize));
  EXPECT_EQ(d.dialog.RomImage, nullptr);  // released after the worker ended
  EXPECT_FALSE(d.dialog.OperationRunning());
  QCoreApplication::processEvents();  // the worker's last posts find no window
  EXPECT_TRUE(watcher.boxes.empty());
}

}  // namespace
}  // namespace torvane::gui::testing
