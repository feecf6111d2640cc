// Start-up on the real camera link against the simulated camera.
#include <sstream>

#include "app/LinkedCamera.h"
#include "app/Torvane_testApp.h"
#include "camera/Backend.h"
#include "camera/CameraLink.h"
#include "simcam/SimCamera.h"
#include "tests/gui/DialogTestSupport.h"

namespace torvane::gui::testing {
namespace {

using resources::Language;

struct Bench {
  explicit Bench(const simcam::SimConfig& config) : simulator(config) {}
  simcam::SimCamera simulator;
  std::ostringstream console;
  camera::CameraLink link{simulator, console};
  camera::Backend backend{simulator, simulator.Clock()};
  app::LinkedCamera camera{link, backend};
};

TEST(SimulatedCamera, StartUpReadsTheChipIdAndShowsNoMessage) {
  ModalWatcher watcher;
  simcam::SimConfig config;
  config.controller.chipId = 0x56;
  Bench bench(config);
  QtDialogHost host(Language::English);
  app::CTorvane_testDlg dialog(host, bench.camera);
  QtDialogWindow* window = host.Open(resources::MainDialogTemplate(Language::English), dialog, true);

  EXPECT_TRUE(watcher.boxes.empty());
  EXPECT_FALSE(window->EndRequested());
  EXPECT_EQ(bench.link.ChipId, 0x56);
  EXPECT_NE(bench.link.Binding().filter, nullptr);
  host.Close(window);
}

TEST(SimulatedCamera, WithoutACameraTheTwoMessagesComeInOrderAndTheProgramEnds) {
  simcam::SimConfig noDevices;
  noDevices.devices.clear();
  simcam::SimConfig noUnit;
  noUnit.faults.noExtensionUnit = true;
  for (const simcam::SimConfig& config : {noDevices, noUnit}) {
    ModalWatcher watcher;
    Bench bench(config);
    QtDialogHost host(Language::Chinese);
    app::CTorvane_testApp application(host, bench.camera);
    application.InitInstance();
    EXPECT_EQ(application.DialogResult(), -1);
    EXPECT_EQ(watcher.Texts(), (std::vector<QString>{"Can't find video device!", "GetChipIDValue Failed!"}));
  }
}

}  // namespace
}  // namespace torvane::gui::testing
