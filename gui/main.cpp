// torvane-gui: the dialog program.
#include <QApplication>
#include <QLocale>
#include <QStringList>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/CameraSession.h"
#include "app/Torvane_testApp.h"
#include "gui/Options.h"
#include "gui/QtDialogHost.h"
#include "platform/Clock.h"
#include "platform/linux/UvcPlatform.h"
#include "resources/Language.h"
#include "simcam/SimCamera.h"
#include "simcam/SimConfig.h"

namespace {

// The first of the user's interface languages decides.
torvane::resources::Language InterfaceLanguage() {
  const QStringList languages = QLocale::system().uiLanguages();
  const QString first = languages.isEmpty() ? QLocale::system().name() : languages.front();
  return torvane::resources::LanguageFromLocale(first.toStdString());
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);  // takes Qt's own options; the program's name is the caption

  std::vector<std::string> arguments;
  const QStringList all = QApplication::arguments();
  for (qsizetype i = 1; i < all.size(); ++i) arguments.push_back(all[i].toStdString());
  const torvane::gui::OptionsResult parsed = torvane::gui::ParseOptions(arguments);
  if (!parsed.options) {
    std::fprintf(stderr, "torvane-gui: %s\n%s\n", parsed.error.c_str(), torvane::gui::kUsage);
    return 2;
  }
  torvane::gui::QtDialogHost host(InterfaceLanguage());
  const torvane::gui::GuiOptions& options = *parsed.options;
  if (!options.simulate) {
    // The system's cameras, on the machine's clock.
    torvane::platform::uvc::UvcPlatform platform;
    torvane::platform::SystemClock clock;
    torvane::app::CameraSession session(platform, clock, std::cout);
    torvane::app::CTorvane_testApp app(host, session.Camera(), session.Operations());
    app.InitInstance();
    if (app.DialogResult() != -1) return 0;
    // Ended at start-up for want of a camera: say why when the system told us (no access to the
    // video devices, typically).
    if (!platform.LastError().empty()) std::fprintf(stderr, "torvane-gui: %s\n", platform.LastError().c_str());
    return 1;
  }

  // The simulated camera, from its configuration file or the default healthy camera.
  torvane::simcam::SimConfig config;
  if (options.simulatorConfig) {
    const torvane::simcam::ConfigParseResult read = torvane::simcam::LoadSimConfigFile(*options.simulatorConfig);
    if (!read.config) {
      std::fprintf(stderr, "torvane-gui: %s\n", read.error.c_str());
      return 2;
    }
    config = *read.config;
  }
  if (options.simulatorFlash) config.flash.file = *options.simulatorFlash;
  torvane::simcam::SimCamera simulator(config);
  if (!simulator.LastError().empty()) {
    std::fprintf(stderr, "torvane-gui: %s\n", simulator.LastError().c_str());
    return 2;
  }
  // Its virtual clock: waits on the simulated flash cost no real time.
  torvane::app::CameraSession session(simulator, simulator.Clock(), std::cout);
  torvane::app::CTorvane_testApp app(host, session.Camera(), session.Operations());
  app.InitInstance();

  // The simulated flash keeps what the session wrote in it.
  int status = app.DialogResult() == -1 ? 1 : 0;
  if (!config.flash.file.empty()) {
    std::string error;
    if (!simulator.SaveFlash(error)) {
      std::fprintf(stderr, "torvane-gui: %s\n", error.c_str());
      status = 1;
    }
  }
  return status;
}
