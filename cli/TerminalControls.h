// The operations' controls on a terminal. Status texts go to standard output, message texts to
// standard error. On a terminal the step bar (1003) and the stage bar (1004) are drawn on one line that
// is redrawn in place, with the step labels shown so far; when the output is not a terminal, each stage
// (a label shown, the stage bar moving) prints one plain line and no control codes are written.
#pragma once

#include <functional>
#include <map>
#include <ostream>
#include <string>

#include "operations/DialogControls.h"

namespace torvane::cli {

class TerminalControls final : public operations::DialogControls {
 public:
  using TextLookup = std::function<std::string(int id)>;

  // `strings` gives string-table entries by id, `controlTexts` the dialog's own control captions by
  // control id (the step labels), both in the chosen language.
  TerminalControls(std::ostream& out, std::ostream& err, bool isTerminal, TextLookup strings,
                   TextLookup controlTexts);
  ~TerminalControls() override;

  void SetControlText(int id, const std::string& text) override;
  void ShowControl(int id, bool show) override;
  void EnableControl(int id, bool enable) override;
  void SetBarRange(int id, int minimum, int maximum) override;
  void SetBarPosition(int id, int position) override;
  std::string LoadString(int id) override;
  void ShowMessage(const std::string& text) override;
  void ShowCaptionedMessage(const std::string& text, const std::string& caption) override;

  // Ends a progress line still open on the terminal.
  void Finish();

  // How many ordinary (failure) messages and captioned boxes were shown.
  int MessagesShown() const { return messagesShown_; }
  int CaptionedShown() const { return captionedShown_; }

 private:
  struct Bar {
    int minimum = 0;
    int maximum = 100;
    int position = 0;
    bool shown = false;
  };
  int Percent(const Bar& bar) const;
  std::string Drawn(const Bar& bar, int width) const;
  void Redraw();
  void EndLine();

  std::ostream& out_;
  std::ostream& err_;
  bool isTerminal_;
  TextLookup strings_;
  TextLookup controlTexts_;
  std::map<int, Bar> bars_;
  std::string labels_;      // step labels shown so far, in order
  std::string status_;      // last status text
  bool lineOpen_ = false;   // a progress line is on screen without its line end
  int lastPrinted_ = -1;    // last stage printed in plain mode
  int lastPercent_ = -1;
  int messagesShown_ = 0;
  int captionedShown_ = 0;
};

}  // namespace torvane::cli
