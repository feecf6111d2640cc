// CDialog: the part of a dialog that the platform framework would supply: the attachment to a live
// window, data exchange with its lock-out of change notifications, and the routing of notifications
// to handlers. Dialogs derive from it and handle commands by control id.
#pragma once

#include <string>
#include <vector>

#include "app/DialogHost.h"

namespace torvane::app {

// One direction of data exchange between edits and string members.
class DataExchange {
 public:
  DataExchange(DialogWindow& window, bool saving) : window_(window), saving_(saving) {}
  // Saving: the member receives the edit's whole text. Otherwise the edit's text is replaced when it
  // differs from the member.
  void Text(int id, std::u16string& member);
  bool Saving() const { return saving_; }

 private:
  DialogWindow& window_;
  bool saving_;
};

enum class Notification { Clicked, EditChange, TabSelectionChange };

class CDialog {
 public:
  CDialog(int templateId, DialogHost& host) : templateId_(templateId), host_(host) {}
  virtual ~CDialog() = default;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Runs the dialog modally on its template in the host's language; returns the EndDialog result.
  int DoModal();

  // Called by the host.
  void Attach(DialogWindow* window) { window_ = window; }
  virtual bool OnInitDialog();
  void RouteCommand(int id);            // a click, and OK (1) or Cancel (2)
  void RouteEditChange(int id);
  void RouteTabChange(int id);
  void RouteDropFiles(const std::vector<std::u16string>& paths);
  void RouteSysCommand(int command);
  void RouteDestroy();

  // Reads (true) or writes (false) the fields. Notifications raised meanwhile are not dispatched.
  void UpdateData(bool saveAndValidate);

  DialogWindow* Window() { return window_; }
  DialogHost& Host() { return host_; }
  int TemplateId() const { return templateId_; }

 protected:
  virtual void DoDataExchange(DataExchange& /*dx*/) {}
  // A handler for (code, id); false when the dialog has none, so that the defaults run.
  virtual bool OnNotify(Notification /*code*/, int /*id*/) { return false; }
  virtual void OnDropFiles(const std::vector<std::u16string>& /*paths*/) {}
  virtual void OnSysCommand(int /*command*/) {}
  virtual void OnDestroy() {}
  virtual void OnOK();      // reads the fields and ends with 1
  virtual void OnCancel();  // ends with 2
  void EndDialog(int result);

  DialogWindow& Wnd() { return *window_; }

 private:
  int templateId_;
  DialogHost& host_;
  DialogWindow* window_ = nullptr;
  bool notificationsLocked_ = false;
};

// The About box: no fields and no handlers of its own; OK and the close box end it.
class CAboutDlg : public CDialog {
 public:
  explicit CAboutDlg(DialogHost& host);
};

}  // namespace torvane::app
