// A DialogControls that shows nothing and records every call in order, for tests to compare with the
// dialog's expected sequence of bars, labels, status texts and message boxes. Strings come from the
// resources' string table in the language chosen at construction.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "operations/DialogControls.h"
#include "resources/Language.h"

namespace torvane::operations::testing {

struct ControlEvent {
  enum class Kind { Text, Show, Hide, Enable, Disable, Range, Position, Message, CaptionedMessage };
  Kind kind = Kind::Text;
  int id = 0;          // the control (0 for message boxes)
  std::string text;    // Text: the text set; Message: the message; CaptionedMessage: the message
  std::string caption; // CaptionedMessage only
  int first = 0;       // Range: minimum; Position: the position
  int second = 0;      // Range: maximum

  static ControlEvent SetText(int id, std::string text) { return {Kind::Text, id, std::move(text), {}, 0, 0}; }
  static ControlEvent Shown(int id) { return {Kind::Show, id, {}, {}, 0, 0}; }
  static ControlEvent Hidden(int id) { return {Kind::Hide, id, {}, {}, 0, 0}; }
  static ControlEvent Range(int id, int minimum, int maximum) { return {Kind::Range, id, {}, {}, minimum, maximum}; }
  static ControlEvent Position(int id, int position) { return {Kind::Position, id, {}, {}, position, 0}; }
  static ControlEvent Box(std::string text) { return {Kind::Message, 0, std::move(text), {}, 0, 0}; }
  static ControlEvent CaptionedBox(std::string text, std::string caption) {
    return {Kind::CaptionedMessage, 0, std::move(text), std::move(caption), 0, 0};
  }

  friend bool operator==(const ControlEvent&, const ControlEvent&) = default;
};

void PrintTo(const ControlEvent& event, std::ostream* out);

class RecordingControls final : public DialogControls {
 public:
  explicit RecordingControls(resources::Language language = resources::Language::English) : language_(language) {}

  void ShowMessage(const std::string& text) override;
  void SetControlText(int id, const std::string& text) override;
  void ShowControl(int id, bool show) override;
  void EnableControl(int id, bool enable) override;
  void SetBarRange(int id, int minimum, int maximum) override;
  void SetBarPosition(int id, int position) override;
  std::string LoadString(int id) override;
  void ShowCaptionedMessage(const std::string& text, const std::string& caption) override;

  const std::vector<ControlEvent>& Events() const { return events_; }
  // The events without the positions of bar `id`: the steps of an operation without its progress.
  std::vector<ControlEvent> EventsWithoutPositionsOf(int id) const;
  // Every position given to bar `id`, in order.
  std::vector<int> PositionsOf(int id) const;
  // The texts of the message boxes shown (both kinds), in order.
  std::vector<std::string> Messages() const;
  // The last text set on control `id` (empty when none was).
  std::string TextOf(int id) const;
  void Clear() { events_.clear(); }

  // Called after each event is recorded: lets a test change the camera at a chosen step of an
  // operation (a fault from the moment the programming starts, say).
  std::function<void(const ControlEvent&)> onEvent;

 private:
  void Record(ControlEvent event);

  resources::Language language_;
  std::vector<ControlEvent> events_;
};

}  // namespace torvane::operations::testing
