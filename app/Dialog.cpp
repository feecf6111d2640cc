#include "app/Dialog.h"

#include "resources/ResourceIds.h"

namespace torvane::app {

void DataExchange::Text(int id, std::u16string& member) {
  if (saving_) {
    member = window_.ControlText(id);
  } else if (window_.ControlText(id) != member) {
    window_.SetControlText(id, member);
  }
}

int CDialog::DoModal() {
  const resources::DialogTemplate* dialogTemplate = resources::FindDialogTemplate(templateId_, host_.Language());
  if (dialogTemplate == nullptr) return -1;
  return host_.RunModal(*dialogTemplate, *this);
}

bool CDialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void CDialog::UpdateData(bool saveAndValidate) {
  if (window_ == nullptr) return;
  const bool wasLocked = notificationsLocked_;
  notificationsLocked_ = true;
  DataExchange dx(*window_, saveAndValidate);
  DoDataExchange(dx);
  notificationsLocked_ = wasLocked;
}

void CDialog::RouteCommand(int id) {
  if (window_ == nullptr || notificationsLocked_) return;
  if (OnNotify(Notification::Clicked, id)) return;
  if (id == resources::kIdOk) {
    OnOK();
  } else if (id == resources::kIdCancel) {
    OnCancel();
  }
}

void CDialog::RouteEditChange(int id) {
  if (window_ == nullptr || notificationsLocked_) return;
  OnNotify(Notification::EditChange, id);
}

void CDialog::RouteTabChange(int id) {
  if (window_ == nullptr || notificationsLocked_) return;
  OnNotify(Notification::TabSelectionChange, id);
}

void CDialog::RouteDropFiles(const std::vector<std::u16string>& paths) {
  if (window_ == nullptr) return;
  OnDropFiles(paths);
}

void CDialog::RouteSysCommand(int command) {
  if (window_ == nullptr) return;
  OnSysCommand(command);
}

void CDialog::RouteDestroy() {
  if (window_ == nullptr) return;
  OnDestroy();
}

void CDialog::OnOK() {
  UpdateData(true);
  EndDialog(resources::kIdOk);
}

void CDialog::OnCancel() { EndDialog(resources::kIdCancel); }

void CDialog::EndDialog(int result) {
  if (window_ != nullptr) window_->EndDialog(result);
}

CAboutDlg::CAboutDlg(DialogHost& host) : CDialog(resources::kAboutDialog, host) {}

}  // namespace torvane::app
