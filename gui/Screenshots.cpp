// torvane-gui-screenshots DIR: renders the dialog offscreen, both tabs in both languages, into
// DIR/dialog-{en,zh}-tab{0,1}.png, for the README. Run with QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QDir>
#include <QPixmap>

#include <cstdio>

#include "app/Torvane_testDlg.h"
#include "gui/QtDialogHost.h"
#include "resources/DialogTemplates.h"
#include "resources/ResourceIds.h"

namespace {

// The pictures show the dialog as it looks after start-up with a camera attached; no camera is
// talked to.
class AttachedCameraPicture final : public torvane::app::DialogCamera {
 public:
  std::int32_t FindCamera() override { return 0; }
  bool GetChipIDValue(std::uint8_t& chipId) override {
    chipId = 0;
    return true;
  }
  void StoreChipId(std::uint8_t /*chipId*/) override {}
  bool CloseDevice() override { return true; }
};

}  // namespace

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
    torvane::gui::QtDialogHost host(language);
    AttachedCameraPicture camera;
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
