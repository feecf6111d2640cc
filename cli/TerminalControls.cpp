#include "cli/TerminalControls.h"

#include <algorithm>
#include <utility>

namespace torvane::cli {

namespace {
constexpr int kBarWidth = 30;
constexpr int kStageBarWidth = 9;
}

TerminalControls::TerminalControls(std::ostream& out, std::ostream& err, bool isTerminal, TextLookup strings,
                                   TextLookup controlTexts)
    : out_(out), err_(err), isTerminal_(isTerminal), strings_(std::move(strings)),
      controlTexts_(std::move(controlTexts)) {
  bars_[operations::kBarStep].shown = true;  // the step bar is always visible in the dialog
}

TerminalControls::~TerminalControls() { Finish(); }

void TerminalControls::Finish() { EndLine(); }

void TerminalControls::EndLine() {
  if (lineOpen_) {
    out_ << '\n';
    out_.flush();
    lineOpen_ = false;
  }
}

int TerminalControls::Percent(const Bar& bar) const {
  const int span = bar.maximum - bar.minimum;
  if (span <= 0) return 0;
  const int clamped = std::clamp(bar.position, bar.minimum, bar.maximum);  // as a progress control does
  return (clamped - bar.minimum) * 100 / span;
}

std::string TerminalControls::Drawn(const Bar& bar, int width) const {
  const int filled = Percent(bar) * width / 100;
  return "[" + std::string(static_cast<std::size_t>(filled), '#') +
         std::string(static_cast<std::size_t>(width - filled), '.') + "]";
}

void TerminalControls::Redraw() {
  if (!isTerminal_) return;
  // The step bar, then the stage bar of a burn when it is shown, then the step labels shown so far.
  const Bar& step = bars_[operations::kBarStep];
  std::string line = "\r" + Drawn(step, kBarWidth) + " " + std::to_string(Percent(step)) + "%";
  const Bar& total = bars_[operations::kBarTotal];
  if (total.shown) {
    line += "  " + Drawn(total, kStageBarWidth) + " " + std::to_string(std::clamp(total.position, total.minimum, total.maximum)) +
            "/" + std::to_string(total.maximum);
  }
  if (!labels_.empty()) line += "  " + labels_;
  out_ << line << "\x1b[K";
  out_.flush();
  lineOpen_ = true;
}

void TerminalControls::SetControlText(int id, const std::string& text) {
  if (id == operations::kStatusLine) {
    EndLine();
    status_ = text;
    out_ << text << '\n';
    out_.flush();
    return;
  }
  if (id == operations::kExportNameEdit) {
    EndLine();
    out_ << text << '\n';
    out_.flush();
  }
}

void TerminalControls::ShowControl(int id, bool show) {
  if (id == operations::kBarStep || id == operations::kBarTotal) {
    bars_[id].shown = show;
    if (id == operations::kBarTotal && !show) labels_.clear();
    Redraw();
    return;
  }
  if (id < operations::kLabelEraseAndCheck || id > operations::kLabelVerifyOk) return;
  if (!show) {
    labels_.clear();
    return;
  }
  const std::string text = controlTexts_ ? controlTexts_(id) : std::string();
  if (!labels_.empty()) labels_ += ' ';
  labels_ += text;
  if (isTerminal_) {
    Redraw();
  } else {
    out_ << text << '\n';
    out_.flush();
  }
}

void TerminalControls::EnableControl(int, bool) {}

void TerminalControls::SetBarRange(int id, int minimum, int maximum) {
  Bar& bar = bars_[id];
  bar.minimum = minimum;
  bar.maximum = maximum;
  Redraw();
}

void TerminalControls::SetBarPosition(int id, int position) {
  Bar& bar = bars_[id];
  bar.position = position;
  if (!isTerminal_) {
    if (id == operations::kBarTotal && bar.shown && position != lastPrinted_) {
      lastPrinted_ = position;
      out_ << "stage " << position << "/" << bar.maximum << '\n';
      out_.flush();
    }
    return;
  }
  // Redraw only when the visible figure changes: the burn moves the bar thousands of times.
  const int percent = Percent(bars_[operations::kBarStep]);
  if (id == operations::kBarStep && percent == lastPercent_) return;
  lastPercent_ = percent;
  Redraw();
}

std::string TerminalControls::LoadString(int id) { return strings_ ? strings_(id) : std::string(); }

void TerminalControls::ShowMessage(const std::string& text) {
  EndLine();
  ++messagesShown_;
  err_ << text << '\n';
  err_.flush();
}

void TerminalControls::ShowCaptionedMessage(const std::string& text, const std::string& caption) {
  EndLine();
  (void)caption;  // the caption is the dialog's; on a terminal the text stands alone
  ++captionedShown_;
  // A box's lines end in CR LF; a terminal's in LF.
  for (char c : text)
    if (c != '\r') out_ << c;
  out_ << '\n';
  out_.flush();
}

}  // namespace torvane::cli
