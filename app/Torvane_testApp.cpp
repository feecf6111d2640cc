#include "app/Torvane_testApp.h"

#include "app/Torvane_testDlg.h"

namespace torvane::app {

CTorvane_testApp::CTorvane_testApp(DialogHost& host, DialogCamera& camera, DialogOperations operations)
    : host_(host), camera_(camera), operations_(std::move(operations)) {}

bool CTorvane_testApp::InitInstance() {
  CTorvane_testDlg dialog(host_, camera_, operations_);
  dialogResult_ = dialog.DoModal();
  return false;
}

}  // namespace torvane::app
