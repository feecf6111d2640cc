// The interface between the firmware operations and whatever shows them. The operations address the
// dialog's controls by their numeric ids, exactly as the dialog lays them out; the dialog implements
// this on real widgets, the command line on a terminal, the tests with a recorder that keeps the trace.
#pragma once

#include <string>

#include "platform/MessageSink.h"
#include "resources/ResourceIds.h"

namespace torvane::operations {

// Controls the operations drive, by the dialog's own ids.
constexpr int kBarStep = resources::kStepBar;    // progress within the running step
constexpr int kBarTotal = resources::kTotalBar;  // stage reached in a burn
constexpr int kEraseButton = resources::kEraseButton;
constexpr int kLabelEraseAndCheck = resources::kLabelEraseAndCheck;
constexpr int kLabelEraseOk = resources::kLabelEraseOk;
constexpr int kLabelBurning = resources::kLabelBurning;
constexpr int kLabelBurnOk = resources::kLabelBurnOk;
constexpr int kLabelVerify = resources::kLabelVerify;
constexpr int kLabelVerifyOk = resources::kLabelVerifyOk;
constexpr int kExportNameEdit = resources::kExportNameEdit;
constexpr int kStatusLine = resources::kStatusLine;

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
