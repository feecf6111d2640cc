// What the dialog tests share: a stand-in camera, a watcher that records every message box and
// dialog the program shows (and dismisses it, as a user pressing OK would), and the main dialog
// opened on the Qt host.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QThread>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/OperationControls.h"
#include "app/Torvane_testDlg.h"
#include "gui/QtDialogHost.h"
#include "resources/DialogTemplates.h"
#include "resources/ResourceIds.h"

namespace torvane::gui::testing {

class FakeCamera final : public app::DialogCamera {
 public:
  bool present = true;
  bool chipIdReadable = true;
  std::uint8_t chipId = 0x25;

  int findCalls = 0;
  int closeCalls = 0;
  std::optional<std::uint8_t> storedChipId;

  std::int32_t FindCamera() override {
    ++findCalls;
    return present ? 0 : 1;
  }
  bool GetChipIDValue(std::uint8_t& value) override {
    if (!present || !chipIdReadable) return false;
    value = chipId;
    return true;
  }
  void StoreChipId(std::uint8_t value) override { storedChipId = value; }
  bool CloseDevice() override {
    ++closeCalls;
    return true;
  }
};

struct ShownBox {
  QString text;
  QString caption;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  bool onInterfaceThread = false;
  QString probe;  // what the test's probe read while the box was open
};

// Records every message box when it is shown and presses its OK button once the box runs its loop.
class ModalWatcher final : public QObject {
 public:
  ModalWatcher() { qApp->installEventFilter(this); }
  ~ModalWatcher() override { qApp->removeEventFilter(this); }

  std::vector<ShownBox> boxes;
  std::vector<QString> dialogCaptions;             // other dialogs shown (the About box)
  std::vector<std::vector<QString>> dialogTexts;   // their labels
  std::function<QString()> probe;                  // run while each box is open

  std::vector<QString> Texts() const {
    std::vector<QString> texts;
    for (const ShownBox& box : boxes) texts.push_back(box.text);
    return texts;
  }

 protected:
  bool eventFilter(QObject* object, QEvent* event) override;
};

// The main dialog, initialised and shown on the Qt host in one language.
class MainDialog {
 public:
  explicit MainDialog(resources::Language language, app::DialogOperations operations = {},
                      std::function<void(FakeCamera&)> setUp = {});
  ~MainDialog();

  QtDialogHost host;
  FakeCamera camera;
  std::unique_ptr<app::CTorvane_testDlg> dialog;
  QtDialogWindow* window = nullptr;

  QWidget* Control(int id) const { return window->Control(id); }
  template <typename T>
  T* ControlAs(int id) const {
    return qobject_cast<T*>(window->Control(id));
  }
  QString Text(int id) const { return QString::fromStdU16String(window->ControlText(id)); }
  void Click(int id);
  void SelectTabByMouse(int index);
  void CloseWindow();  // destroys the window now, as the platform would on any close
};

// Processes events until `done` holds; false after five seconds (a hang fails, it does not block).
bool ProcessUntil(const std::function<bool()>& done);

}  // namespace torvane::gui::testing
