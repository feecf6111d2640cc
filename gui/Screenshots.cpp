// torvane-gui-screenshots DIR: renders the dialog offscreen, both tabs in both languages, into
// DIR/dialog-{en,zh}-tab{0,1}.png, for the README. Run with QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QDir>
#include <QPixmap>

#include <cstdio>

#include <sstream>

#include "app/LinkedCamera.h"
#include "app/Torvane_testDlg.h"
#include "camera/Backend.h"
#include "camera/CameraLink.h"
#include "gui/QtDialogHost.h"
#include "simcam/SimCamera.h"
#include "resources/DialogTemplates.h"
#include "resources/ResourceIds.h"


int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: torvane-gui-screenshots DIR\n");
    return 2;
  }
  const QDir dir(QString::fromLocal8Bit(argv[1]));
  if (!dir.exists() && !QDir().mkpath(dir.path())) {
    std::fprintf(stderr, "torvane-gui-screenshots: cannot create %s\n", argv[1]);
    return 1;
  }
  using torvane::resources::Language;
  for (Language language : {Language::English, Language::Chinese}) {
    // The dialog as it looks after start-up on the simulated camera.
    torvane::gui::QtDialogHost host(language);
    torvane::simcam::SimCamera simulator;
    std::ostringstream console;
    torvane::camera::CameraLink link(simulator, console);
    torvane::camera::Backend backend(simulator, simulator.Clock());
    torvane::app::LinkedCamera camera(link, backend);
    torvane::app::CTorvane_testDlg dialog(host, camera);
    torvane::gui::QtDialogWindow* window = host.Open(torvane::resources::MainDialogTemplate(language), dialog, true);
    for (int tab : {0, 1}) {
      window->SelectTab(torvane::resources::kTabControl, tab);
      dialog.OnTabSelectionChange();
      QApplication::processEvents();
      const QString name = QStringLiteral("dialog-%1-tab%2.png")
                               .arg(language == Language::English ? QStringLiteral("en") : QStringLiteral("zh"))
                               .arg(tab);
      if (!window->grab().save(dir.filePath(name))) {
        std::fprintf(stderr, "torvane-gui-screenshots: cannot write %s\n", qPrintable(dir.filePath(name)));
        return 1;
      }
    }
    host.Close(window);
  }
  return 0;
}
