// The interface between the firmware operations and whatever shows them. The operations address the
// dialog's controls by their numeric ids, exactly as the dialog lays them out; the dialog implements
// this on real widgets, the command line on a terminal, the tests with a recorder that keeps the trace.
#pragma once

#include <string>

#include "platform/MessageSink.h"

namespace torvane::operations {

// Controls the operations drive.
constexpr int kBarStep = 1003;    // progress within the running step
constexpr int kBarTotal = 1004;   // stage reached in a burn
constexpr int kEraseButton = 1005;
constexpr int kLabelEraseAndCheck = 1007;
constexpr int kLabelEraseOk = 1008;
constexpr int kLabelBurning = 1009;
constexpr int kLabelBurnOk = 1010;
constexpr int kLabelVerify = 1011;
constexpr int kLabelVerifyOk = 1012;
constexpr int kExportNameEdit = 1013;
constexpr int kStatusLine = 1014;

class DialogControls : public platform::MessageSink {
 public:
  virtual void SetControlText(int id, const std::string& text) = 0;
  virtual void ShowControl(int id, bool show) = 0;
  virtual void EnableControl(int id, bool enable) = 0;
  virtual void SetBarRange(int id, int minimum, int maximum) = 0;
  virtual void SetBarPosition(int id, int position) = 0;
  // The string table entry `id` (101 to 114) in the current language.
  virtual std::string LoadString(int id) = 0;
  // A message box with its own caption (the firmware-version box); ShowMessage is the ordinary one.
  virtual void ShowCaptionedMessage(const std::string& text, const std::string& caption) = 0;
};

}  // namespace torvane::operations
