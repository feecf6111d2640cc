// torvane-gui: the dialog program.
#include <QApplication>
#include <QLocale>
#include <QStringList>

#include <cstdio>
#include <string>
#include <vector>

#include "app/Torvane_testApp.h"
#include "gui/Options.h"
#include "gui/QtDialogHost.h"
#include "resources/Language.h"

namespace {

// Until the camera link is built into this program, no camera can be found: the dialog says so at
// start-up and ends.
class NoCameraLink final : public torvane::app::DialogCamera {
 public:
  std::int32_t FindCamera() override { return 1; }
  bool GetChipIDValue(std::uint8_t& /*chipId*/) override { return false; }
  void StoreChipId(std::uint8_t /*chipId*/) override {}
  bool CloseDevice() override { return true; }
};

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
  if (parsed.options->simulate) {
    std::fprintf(stderr, "torvane-gui: the simulated camera is not built into this program yet\n");
    return 2;
  }

  torvane::gui::QtDialogHost host(InterfaceLanguage());
  NoCameraLink camera;
  torvane::app::CTorvane_testApp app(host, camera);
  app.InitInstance();
  // The dialog ended at start-up for want of a camera.
  return app.DialogResult() == -1 ? 1 : 0;
}
