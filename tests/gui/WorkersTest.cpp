// Operations launched from the dialog: one worker each, every effect on the interface thread, nothing
// else started or changed while one runs, and no deadlock or freed image when the window goes.
#include <QLineEdit>
#include <QProgressBar>

#include <atomic>
#include <cstdio>
#include <future>
#include <numeric>
#include <thread>

#include "tests/gui/DialogTestSupport.h"

namespace torvane::gui::testing {
namespace {

using resources::Language;
using namespace resources;  // control ids

// An operation the test holds in the middle until it lets it go.
struct HeldOperation {
  std::atomic<int> runs{0};
  std::atomic<bool> started{false};
  std::promise<void> release;
  std::shared_future<void> released{release.get_future().share()};
  std::atomic<bool> onInterfaceThread{false};
  std::size_t imageSize = 0;
  bool result = true;

  app::WorkerOperation Make() {
    return [this](app::OperationContext& context) {
      ++runs;
      onInterfaceThread = QThread::currentThread() == qApp->thread();
      imageSize = context.romImage.size();
      auto& c = context.controls;
      c.SetControlText(kStatusLine, c.LoadString(kStrBurning));
      for (int id : {kTotalBar, kLabelEraseAndCheck, kLabelEraseOk}) c.ShowControl(id, true);
      c.SetBarRange(kStepBar, 0, 100);
      c.SetBarPosition(kStepBar, 40);
      started = true;
      released.wait();
      c.ShowMessage("Flash write protection is on");
      return result;
    };
  }
};

TEST(Workers, GoRunsTheBurnOnAWorkerAndBlocksEverythingElseUntilItEnds) {
  ModalWatcher watcher;
  HeldOperation burn;
  int erases = 0;
  app::DialogOperations operations;
  operations.BurnImage = burn.Make();
  operations.EraseAndCheck = [&](app::OperationContext&) { return ++erases > 0; };
  MainDialog d(Language::English, operations);

  d.Click(kGoButton);
  ASSERT_TRUE(ProcessUntil([&] { return burn.started && d.Text(kStatusLine) == "Burning..."; }));
  EXPECT_FALSE(burn.onInterfaceThread);
  EXPECT_EQ(burn.imageSize, 131072u);
  EXPECT_EQ(d.camera.findCalls, 2);  // start-up, then GO
  EXPECT_TRUE(ProcessUntil([&] { return d.ControlAs<QProgressBar>(kStepBar)->value() == 40; }));
  EXPECT_FALSE(d.Control(kTotalBar)->isHidden());

  // While it runs: the operation buttons, Browse and SetToFile are disabled; a second GO, an erase, a
  // drop and every way of closing are refused.
  for (int id : {kGoButton, kBrowseButton, kEraseButton, kFwVersionButton, kSetToFileButton}) {
    EXPECT_FALSE(d.Control(id)->isEnabled()) << id;
  }
  d.dialog->RouteCommand(kGoButton);
  d.dialog->RouteCommand(kEraseButton);
  d.dialog->RouteDropFiles({u"/tmp/other.src"});
  d.window->reject();
  d.window->accept();
  EXPECT_EQ(watcher.Texts(), std::vector<QString>(3, QString::fromStdU16String(std::u16string(
                                                         app::messages::kOperationRunning))));
  EXPECT_FALSE(d.window->EndRequested());
  EXPECT_EQ(burn.runs, 1);
  EXPECT_EQ(erases, 0);
  EXPECT_EQ(d.Text(kRomPathEdit), QString());

  burn.release.set_value();
  ASSERT_TRUE(ProcessUntil([&] { return !d.dialog->OperationRunning(); }));
  EXPECT_EQ(d.Text(kStatusLine), QStringLiteral("Burn Successes!"));
  ASSERT_EQ(watcher.boxes.size(), 4u);
  EXPECT_EQ(watcher.boxes[3].text, QStringLiteral("Flash write protection is on"));
  EXPECT_TRUE(watcher.boxes[3].onInterfaceThread);
  EXPECT_EQ(watcher.boxes[3].icon, QMessageBox::Warning);
  for (int id : {kGoButton, kBrowseButton, kEraseButton, kFwVersionButton, kSetToFileButton}) {
    EXPECT_TRUE(d.Control(id)->isEnabled()) << id;
  }
  EXPECT_FALSE(d.Control(kGetRomTypeButton)->isEnabled());  // never enabled
  EXPECT_FALSE(d.Control(kRenameButton)->isEnabled());
}

TEST(Workers, FailureTextComesFromTheStringTableOfTheInterfaceLanguage) {
  app::DialogOperations operations;
  operations.EraseAndCheck = [](app::OperationContext& context) {
    context.controls.SetControlText(kStatusLine, context.controls.LoadString(kStrErasing));
    return false;
  };
  operations.BurnImage = [](app::OperationContext&) -> bool { throw std::runtime_error("lost the camera"); };
  MainDialog d(Language::Chinese, operations);
  d.SelectTabByMouse(1);

  d.Click(kEraseButton);
  ASSERT_TRUE(ProcessUntil([&] { return !d.dialog->OperationRunning(); }));
  EXPECT_EQ(d.Text(kStatusLine), QStringLiteral("擦除失败！"));
  EXPECT_TRUE(d.Control(kEraseButton)->isEnabled());

  d.SelectTabByMouse(0);
  d.Click(kGoButton);  // an operation that throws has failed, and the dialog goes on
  ASSERT_TRUE(ProcessUntil([&] { return !d.dialog->OperationRunning(); }));
  EXPECT_EQ(d.Text(kStatusLine), QStringLiteral("烧录失败！"));
  EXPECT_TRUE(d.Control(kGoButton)->isEnabled());
  EXPECT_TRUE(d.Control(kBrowseButton)->isEnabled());
}

TEST(Workers, WithoutACameraGoHidesTheStepDisplayStartsNothingAndSaysSo) {
  ModalWatcher watcher;
  HeldOperation burn;
  app::DialogOperations operations;
  operations.BurnImage = burn.Make();
  MainDialog d(Language::English, operations);
  for (int id : {kTotalBar, kLabelEraseAndCheck, kLabelVerifyOk}) d.window->ShowControl(id, true);
  d.camera.present = false;

  d.Click(kGoButton);
  QCoreApplication::processEvents();

  EXPECT_EQ(burn.runs, 0);
  EXPECT_FALSE(d.dialog->OperationRunning());
  for (int id : {kTotalBar, kLabelEraseAndCheck, kLabelVerifyOk}) EXPECT_TRUE(d.Control(id)->isHidden()) << id;
  EXPECT_TRUE(d.Control(kGoButton)->isEnabled());
  EXPECT_EQ(d.Text(kStatusLine), QStringLiteral("No Task is Running..."));
  EXPECT_EQ(watcher.Texts(), (std::vector<QString>{"Can't find video device!"}));
}

TEST(Workers, AnOperationNotYetBuiltSaysSoAndTouchesNothing) {
  ModalWatcher watcher;
  MainDialog d(Language::English);
  d.Click(kGoButton);
  EXPECT_EQ(watcher.Texts(), (std::vector<QString>{"Burning is not built into this program yet."}));
  EXPECT_EQ(d.camera.findCalls, 1);
  EXPECT_EQ(d.Text(kStatusLine), QStringLiteral("No Task is Running..."));
}

TEST(Workers, DestroyingTheWindowWithABoxPendingStopsTheWorkerBeforeTheImageGoes) {
  ModalWatcher watcher;
  std::atomic<bool> started{false};
  std::atomic<bool> sawCancel{false};
  std::atomic<std::uint64_t> imageSum{0};
  app::DialogOperations operations;
  operations.BurnImage = [&](app::OperationContext& context) {
    started = true;
    context.controls.ShowMessage("Verify failed at 0x00100");  // waits for the interface thread
    sawCancel = context.cancelled();
    imageSum = std::accumulate(context.romImage.begin(), context.romImage.end(), std::uint64_t{0});
    return false;
  };
  MainDialog d(Language::English, operations);

  d.Click(kGoButton);
  while (!started) std::this_thread::yield();  // the worker is on its way to the box
  d.CloseWindow();  // no event processed: the box was never shown, and the close must not deadlock

  EXPECT_TRUE(sawCancel);
  EXPECT_EQ(imageSum, 131072u * 0xFF);  // the image was still there when the worker read it
  EXPECT_EQ(d.dialog->RomImage, nullptr);
  EXPECT_FALSE(d.dialog->OperationRunning());
  QCoreApplication::processEvents();  // the worker's late posts find no window and do nothing
  EXPECT_TRUE(watcher.boxes.empty());
}

TEST(InterfaceOperations, FirmwareVersionBoxHasItsOwnCaptionAndNoIcon) {
  ModalWatcher watcher;
  app::DialogOperations operations;
  operations.ShowFirmwareVersion = [](operations::DialogControls& controls) {
    EXPECT_EQ(QThread::currentThread(), qApp->thread());
    controls.ShowCaptionedMessage("V2.1\r\nZC0301", "Get F/W Version");
  };
  MainDialog d(Language::English, operations);
  d.SelectTabByMouse(1);
  d.Click(kFwVersionButton);
  ASSERT_EQ(watcher.boxes.size(), 1u);
  EXPECT_EQ(watcher.boxes[0].text, QStringLiteral("V2.1\r\nZC0301"));
  EXPECT_EQ(watcher.boxes[0].caption, QStringLiteral("Get F/W Version"));
  EXPECT_EQ(watcher.boxes[0].icon, QMessageBox::NoIcon);
}

TEST(ProgressBars, APositionOutsideTheRangeIsClampedToIt) {
  // Operations pass positions beyond the maximum on for the control to clamp (the burn's programming
  // pass does); an ignored position would leave the bar short of full.
  MainDialog d(Language::English);
  auto* bar = d.ControlAs<QProgressBar>(kStepBar);
  d.window->SetBarRange(kStepBar, 0, 100);
  d.window->SetBarPosition(kStepBar, 40);
  d.window->SetBarPosition(kStepBar, 140);
  EXPECT_EQ(bar->value(), 100);
  d.window->SetBarPosition(kStepBar, -3);
  EXPECT_EQ(bar->value(), 0);
}

TEST(Rename, ChecksThatTheChosenFileOpens) {
  ModalWatcher watcher;
  MainDialog d(Language::English);
  const std::string existing = ::testing::TempDir() + "rename-check.src";
  std::FILE* file = std::fopen(existing.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fclose(file);

  std::u16string answer = u"/nonexistent/folder/file.src";
  d.host.SetFileChooser([&](const app::OpenFileRequest& request) -> std::optional<std::u16string> {
    EXPECT_EQ(request.initialName, u"*.SRC");
    EXPECT_EQ(request.filters.size(), 4u);
    return answer;
  });
  d.dialog->OnBnClickedRename();
  answer = QString::fromStdString(existing).toStdU16String();
  d.dialog->OnBnClickedRename();
  EXPECT_EQ(watcher.Texts(), (std::vector<QString>{"Can't Open File!"}));
  std::remove(existing.c_str());
}

}  // namespace
}  // namespace torvane::gui::testing
