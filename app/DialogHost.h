// The dialog host: what stands in for the platform's dialog framework. A host creates the window and
// the controls of a template, routes clicks, edit changes, tab changes, dropped files and menu
// commands to the dialog's handlers by control id, and carries out the window calls the dialog makes.
// The Qt 6 host lives in gui/; a Win32 host will implement the same interface.
//
// Everything here is called on the interface thread, except DialogHost::PostToInterface.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "resources/DialogTemplates.h"
#include "resources/Language.h"

namespace torvane::app {

class CDialog;

// Window calls on one live dialog, addressing its controls by id. Calls naming an id the template
// does not have do nothing (and report hidden, disabled, empty).
class DialogWindow {
 public:
  virtual ~DialogWindow() = default;

  virtual void ShowControl(int id, bool show) = 0;
  virtual void EnableControl(int id, bool enable) = 0;
  // The control's own visibility and enabled flags, whatever its parent window shows.
  virtual bool IsControlVisible(int id) const = 0;
  virtual bool IsControlEnabled(int id) const = 0;

  // Replaces a control's text. An edit then raises its change notification, as a platform edit does;
  // the dialog decides whether to dispatch it (CDialog::RouteEditChange).
  virtual void SetControlText(int id, const std::u16string& text) = 0;
  virtual std::u16string ControlText(int id) const = 0;

  virtual void SetBarRange(int id, int minimum, int maximum) = 0;
  virtual void SetBarPosition(int id, int position) = 0;

  // Tab items; neither inserting nor selecting raises a selection-change notification.
  virtual void InsertTab(int id, int index, const std::u16string& text) = 0;
  virtual void SelectTab(int id, int index) = 0;
  virtual int SelectedTab(int id) const = 0;  // -1 when none is selected

  // The window's own menu (the system menu on Windows, the context menu elsewhere).
  virtual bool HasSystemMenu() const = 0;
  virtual void AppendMenuSeparator() = 0;
  virtual void AppendMenuItem(int command, const std::u16string& text) = 0;

  virtual void SetIcon(int pictureId) = 0;
  virtual void UpdateWindow() = 0;
  // Ends the modal run with `result`; during initialisation the dialog ends as soon as it returns.
  virtual void EndDialog(int result) = 0;
};

// The open-file dialog's settings: filters as (label, pattern) pairs, the first one selected.
struct OpenFileRequest {
  std::u16string initialName;
  std::vector<std::pair<std::u16string, std::u16string>> filters;
  bool mustExist = true;
};

class DialogHost {
 public:
  virtual ~DialogHost() = default;

  // Creates the dialog's window from `dialogTemplate`, attaches `dialog`, runs its initialisation and
  // its modal loop, and destroys the window (after CDialog::RouteDestroy). Returns the EndDialog result.
  virtual int RunModal(const resources::DialogTemplate& dialogTemplate, CDialog& dialog) = 0;

  // A message box with only an OK button, the exclamation icon and the program's name as caption.
  // Returns when the user has dismissed it.
  virtual void ShowMessage(std::u16string_view text) = 0;
  // A message box with its own caption, an OK button and no icon (the firmware-version box).
  virtual void ShowCaptionedMessage(std::u16string_view text, std::u16string_view caption) = 0;

  // The open-file dialog: the chosen full path, or nothing when the user cancels.
  virtual std::optional<std::u16string> ChooseFileToOpen(const OpenFileRequest& request) = 0;

  // Runs `task` on the interface thread, after every task posted before it. Callable from any thread
  // while the host exists; the host outlives every dialog it runs.
  virtual void PostToInterface(std::function<void()> task) = 0;

  virtual resources::Language Language() const = 0;
};

}  // namespace torvane::app
