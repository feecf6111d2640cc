// The dialog host on Qt 6 Widgets: builds a dialog's window and controls from its template (dialog
// units converted with the base units of the dialog font, 6 x 13 pixels at 96 dpi, scaled by the
// screen's dpi; font WenQuanYi Micro Hei), routes the controls' notifications to the dialog by id,
// and carries out its window calls. Message boxes are OK-only with the exclamation icon and the
// program's name as caption. The window's own menu is its context menu.
#pragma once

#include <QDialog>
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/Dialog.h"
#include "app/DialogHost.h"

namespace torvane::gui {

class QtDialogHost;

class QtDialogWindow final : public QDialog, public app::DialogWindow {
 public:
  QtDialogWindow(QtDialogHost& host, const resources::DialogTemplate& dialogTemplate, app::CDialog& dialog,
                 QWidget* parent);

  // app::DialogWindow
  void ShowControl(int id, bool show) override;
  void EnableControl(int id, bool enable) override;
  bool IsControlVisible(int id) const override;
  bool IsControlEnabled(int id) const override;
  void SetControlText(int id, const std::u16string& text) override;
  std::u16string ControlText(int id) const override;
  void SetBarRange(int id, int minimum, int maximum) override;
  void SetBarPosition(int id, int position) override;
  void InsertTab(int id, int index, const std::u16string& text) override;
  void SelectTab(int id, int index) override;
  int SelectedTab(int id) const override;
  bool HasSystemMenu() const override;
  void AppendMenuSeparator() override;
  void AppendMenuItem(int command, const std::u16string& text) override;
  void SetIcon(int pictureId) override;
  void UpdateWindow() override;
  void EndDialog(int result) override;

  // The widget of control `id` (the first with that id), or nullptr.
  QWidget* Control(int id) const;
  const resources::DialogTemplate& Template() const { return template_; }
  app::CDialog& Dialog() { return dialog_; }
  bool EndRequested() const { return endRequested_; }
  int EndResult() const { return endResult_; }
  // The entries of the window's menu: command ids, 0 for a separator.
  std::vector<std::pair<int, QString>> MenuEntries() const { return menu_; }
  void GiveInitialFocus(bool toFirstTabStop);

 public:  // QDialog: every way of closing goes to the dialog's OK and Cancel
  void accept() override;
  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateControls(double dpi);
  QWidget* CreateControl(const resources::ControlTemplate& control, double dpi);

  QtDialogHost& host_;
  const resources::DialogTemplate& template_;
  app::CDialog& dialog_;
  std::map<int, QWidget*> controls_;
  std::vector<QWidget*> tabStops_;
  std::vector<std::pair<int, QString>> menu_;
  bool endRequested_ = false;
  int endResult_ = 0;
};

class QtDialogHost final : public QObject, public app::DialogHost {
 public:
  explicit QtDialogHost(resources::Language language);
  ~QtDialogHost() override;

  // app::DialogHost
  int RunModal(const resources::DialogTemplate& dialogTemplate, app::CDialog& dialog) override;
  void ShowMessage(std::u16string_view text) override;
  void ShowCaptionedMessage(std::u16string_view text, std::u16string_view caption) override;
  std::optional<std::u16string> ChooseFileToOpen(const app::OpenFileRequest& request) override;
  void PostToInterface(std::function<void()> task) override;
  resources::Language Language() const override { return language_; }

  // The parts of RunModal, for tests and screenshots: Open creates the window, attaches the dialog and
  // runs its initialisation (and shows the window unless it ended there); Close destroys it.
  QtDialogWindow* Open(const resources::DialogTemplate& dialogTemplate, app::CDialog& dialog, bool show);
  void Close(QtDialogWindow* window);

  // Replaces the platform's open-file dialog (tests inject the answer).
  using FileChooser = std::function<std::optional<std::u16string>(const app::OpenFileRequest&)>;
  void SetFileChooser(FileChooser chooser) { fileChooser_ = std::move(chooser); }

 private:
  QWidget* MessageOwner() const;

  resources::Language language_;
  std::vector<QtDialogWindow*> windows_;  // open windows, innermost last
  FileChooser fileChooser_;
};

}  // namespace torvane::gui
