#include "tests/operations/RecordingControls.h"

#include <ostream>
#include <utility>

#include "resources/StringTable.h"

namespace torvane::operations::testing {

void PrintTo(const ControlEvent& event, std::ostream* out) {
  using Kind = ControlEvent::Kind;
  switch (event.kind) {
    case Kind::Text: *out << "text " << event.id << " \"" << event.text << '"'; break;
    case Kind::Show: *out << "show " << event.id; break;
    case Kind::Hide: *out << "hide " << event.id; break;
    case Kind::Enable: *out << "enable " << event.id; break;
    case Kind::Disable: *out << "disable " << event.id; break;
    case Kind::Range: *out << "range " << event.id << ' ' << event.first << ".." << event.second; break;
    case Kind::Position: *out << "position " << event.id << ' ' << event.first; break;
    case Kind::Message: *out << "message \"" << event.text << '"'; break;
    case Kind::CaptionedMessage: *out << "message \"" << event.text << "\" captioned \"" << event.caption << '"'; break;
  }
}

void RecordingControls::Record(ControlEvent event) {
  events_.push_back(std::move(event));
  if (onEvent) onEvent(events_.back());
}

void RecordingControls::ShowMessage(const std::string& text) { Record(ControlEvent::Box(text)); }

void RecordingControls::SetControlText(int id, const std::string& text) {
  Record(ControlEvent::SetText(id, text));
}

void RecordingControls::ShowControl(int id, bool show) {
  Record(show ? ControlEvent::Shown(id) : ControlEvent::Hidden(id));
}

void RecordingControls::EnableControl(int id, bool enable) {
  Record({enable ? ControlEvent::Kind::Enable : ControlEvent::Kind::Disable, id, {}, {}, 0, 0});
}

void RecordingControls::SetBarRange(int id, int minimum, int maximum) {
  Record(ControlEvent::Range(id, minimum, maximum));
}

void RecordingControls::SetBarPosition(int id, int position) { Record(ControlEvent::Position(id, position)); }

std::string RecordingControls::LoadString(int id) { return std::string(resources::LoadString(id, language_)); }

void RecordingControls::ShowCaptionedMessage(const std::string& text, const std::string& caption) {
  Record(ControlEvent::CaptionedBox(text, caption));
}

std::vector<ControlEvent> RecordingControls::EventsWithoutPositionsOf(int id) const {
  std::vector<ControlEvent> kept;
  for (const ControlEvent& event : events_) {
    if (event.kind != ControlEvent::Kind::Position || event.id != id) kept.push_back(event);
  }
  return kept;
}

std::vector<int> RecordingControls::PositionsOf(int id) const {
  std::vector<int> positions;
  for (const ControlEvent& event : events_) {
    if (event.kind == ControlEvent::Kind::Position && event.id == id) positions.push_back(event.first);
  }
  return positions;
}

std::vector<std::string> RecordingControls::Messages() const {
  std::vector<std::string> texts;
  for (const ControlEvent& event : events_) {
    if (event.kind == ControlEvent::Kind::Message || event.kind == ControlEvent::Kind::CaptionedMessage)
      texts.push_back(event.text);
  }
  return texts;
}

std::string RecordingControls::TextOf(int id) const {
  for (auto it = events_.rbegin(); it != events_.rend(); ++it) {
    if (it->kind == ControlEvent::Kind::Text && it->id == id) return it->text;
  }
  return {};
}

}  // namespace torvane::operations::testing
