// CTorvane_testApp: the application object. It runs the main dialog modally; the program ends when
// the dialog ends.
#pragma once

#include "app/DialogHost.h"
#include "app/DialogServices.h"

namespace torvane::app {

class CTorvane_testApp {
 public:
  CTorvane_testApp(DialogHost& host, DialogCamera& camera, DialogOperations operations = {});

  // Runs the main dialog; returns false, as there is no message loop after it.
  bool InitInstance();
  // The dialog's result: 1 (OK), 2 (Cancel) or -1 (ended at start-up for want of a camera).
  int DialogResult() const { return dialogResult_; }

 private:
  DialogHost& host_;
  DialogCamera& camera_;
  DialogOperations operations_;
  int dialogResult_ = 0;
};

}  // namespace torvane::app
