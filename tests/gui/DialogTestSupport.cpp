#include "tests/gui/DialogTestSupport.h"

#include <QLabel>
#include <QTabBar>
#include <QTabWidget>

namespace torvane::gui::testing {

bool ModalWatcher::eventFilter(QObject* object, QEvent* event) {
  if (event->type() != QEvent::Show) return false;
  if (auto* box = qobject_cast<QMessageBox*>(object)) {
    ShownBox shown{box->text(), box->windowTitle(), box->icon(), box->standardButtons(),
                   QThread::currentThread() == qApp->thread(), probe ? probe() : QString()};
    boxes.push_back(shown);
    QMetaObject::invokeMethod(
        box, [box] { box->button(QMessageBox::Ok)->click(); }, Qt::QueuedConnection);
  } else if (auto* window = dynamic_cast<QtDialogWindow*>(object);
             window != nullptr && window->Template().id == resources::kAboutDialog) {
    dialogCaptions.push_back(window->windowTitle());
    std::vector<QString> labels;
    for (auto* label : window->findChildren<QLabel*>()) {
      if (!label->text().isEmpty()) labels.push_back(label->text());
    }
    dialogTexts.push_back(labels);
    QMetaObject::invokeMethod(
        window, [window] { qobject_cast<QPushButton*>(window->Control(resources::kIdOk))->click(); },
        Qt::QueuedConnection);
  }
  return false;
}

MainDialog::MainDialog(resources::Language language, app::DialogOperations operations,
                       std::function<void(FakeCamera&)> setUp)
    : host(language) {
  if (setUp) setUp(camera);
  dialog = std::make_unique<app::CTorvane_testDlg>(host, camera, std::move(operations));
  window = host.Open(resources::MainDialogTemplate(language), *dialog, true);
}

MainDialog::~MainDialog() { CloseWindow(); }

void MainDialog::CloseWindow() {
  if (window != nullptr) host.Close(window);
  window = nullptr;
}

void MainDialog::Click(int id) {
  QTest::mouseClick(Control(id), Qt::LeftButton);
}

void MainDialog::SelectTabByMouse(int index) {
  QTabBar* bar = ControlAs<QTabWidget>(resources::kTabControl)->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(index).center());
}

bool ProcessUntil(const std::function<bool()>& done) { return QTest::qWaitFor(done, 5000); }

}  // namespace torvane::gui::testing
