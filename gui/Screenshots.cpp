// torvane-gui-screenshots DIR: renders the dialog offscreen, both tabs in both languages, into
// DIR/dialog-{en,zh}-tab{0,1}.png, for the README. Run with QT_QPA_PLATFORM=offscreen.
//
// Each picture shows the dialog on the simulated camera after a real burn of the sample image: the
// "Burn" tab with the image's identity fields, the step labels and bars as the burn leaves them and
// its result in the status line; the "Auxiliary Function" tab after the switch that hides them.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPixmap>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "app/CameraSession.h"
#include "app/Text.h"
#include "app/Torvane_testDlg.h"
#include "gui/QtDialogHost.h"
#include "resources/DialogTemplates.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "rom/SampleImage.h"
#include "simcam/SimCamera.h"

namespace {

using torvane::resources::Language;

// A message box means the burn did not go as it should: dismiss it (nobody is there to) and remember it.
class BoxCatcher final : public QObject {
 public:
  BoxCatcher() { qApp->installEventFilter(this); }
  ~BoxCatcher() override { qApp->removeEventFilter(this); }
  QString text;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (auto* box = qobject_cast<QMessageBox*>(object); box != nullptr && event->type() == QEvent::Show) {
      if (text.isEmpty()) text = box->text();
      QMetaObject::invokeMethod(box, [box] { box->done(QMessageBox::Ok); }, Qt::QueuedConnection);
    }
    return false;
  }
};

bool WriteSampleImage(const std::filesystem::path& path) {
  const torvane::rom::SampleImage sample = torvane::rom::BuildSampleImage({});
  if (!sample.problem.empty()) return false;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(sample.bytes.data()), static_cast<std::streamsize>(sample.bytes.size()));
  return static_cast<bool>(out.flush());
}

// Loads the sample image with Browse and burns it; false with the reason when that did not succeed.
bool BurnSample(torvane::gui::QtDialogHost& host, torvane::app::CTorvane_testDlg& dialog,
                torvane::gui::QtDialogWindow& window, const std::u16string& file, std::string& problem) {
  BoxCatcher boxes;
  host.SetFileChooser([file](const torvane::app::OpenFileRequest&) { return std::optional<std::u16string>(file); });
  dialog.BrowseForImage();
  dialog.OnBnClickedGo();
  // The burn on the simulated camera's virtual clock takes well under a second.
  QElapsedTimer waited;
  waited.start();
  while (dialog.OperationRunning() && waited.elapsed() < 30000) {
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  if (dialog.OperationRunning()) {
    problem = "the burn did not end";
    return false;
  }
  QApplication::processEvents();
  if (!boxes.text.isEmpty()) {
    problem = "the dialog said: " + boxes.text.toStdString();
    return false;
  }
  const std::string_view succeeded = torvane::resources::LoadString(torvane::resources::kStrBurnOk, host.Language());
  if (window.ControlText(torvane::resources::kStatusLine) != torvane::app::Utf8ToUtf16(succeeded)) {
    problem = "the burn did not succeed";
    return false;
  }
  return true;
}

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
  // The sample image under a fixed name, so that the path the pictures show stays the same between runs.
  std::error_code error;
  const std::filesystem::path scratch = std::filesystem::temp_directory_path(error) / "torvane-gui-screenshots";
  std::filesystem::create_directories(scratch, error);
  const std::filesystem::path samplePath = scratch / "TorvaneSample.src";
  if (error || !WriteSampleImage(samplePath)) {
    std::fprintf(stderr, "torvane-gui-screenshots: cannot write the sample image into %s\n", scratch.c_str());
    return 1;
  }
  struct Cleanup {
    std::filesystem::path directory;
    ~Cleanup() {
      std::error_code ignored;
      std::filesystem::remove_all(directory, ignored);
    }
  } cleanup{scratch};

  for (Language language : {Language::English, Language::Chinese}) {
    torvane::gui::QtDialogHost host(language);
    torvane::simcam::SimCamera simulator;
    std::ostringstream console;
    torvane::app::CameraSession session(simulator, simulator.Clock(), console);
    torvane::app::CTorvane_testDlg dialog(host, session.Camera(), session.Operations());
    torvane::gui::QtDialogWindow* window = host.Open(torvane::resources::MainDialogTemplate(language), dialog, true);
    std::string problem;
    if (!BurnSample(host, dialog, *window, samplePath.u16string(), problem)) {
      std::fprintf(stderr, "torvane-gui-screenshots: %s\n", problem.c_str());
      host.Close(window);
      return 1;
    }
    for (int tab : {0, 1}) {
      window->SelectTab(torvane::resources::kTabControl, tab);
      dialog.OnTabSelectionChange();
      QApplication::processEvents();
      const QString name = QStringLiteral("dialog-%1-tab%2.png")
                               .arg(language == Language::English ? QStringLiteral("en") : QStringLiteral("zh"))
                               .arg(tab);
      if (!window->grab().save(dir.filePath(name))) {
        std::fprintf(stderr, "torvane-gui-screenshots: cannot write %s\n", qPrintable(dir.filePath(name)));
        host.Close(window);
        return 1;
      }
    }
    host.Close(window);
  }
  return 0;
}
