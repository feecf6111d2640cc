#include "app/OperationControls.h"

#include "app/Text.h"
#include "resources/StringTable.h"

namespace torvane::app {

WorkerChannel::WorkerChannel(DialogHost& host, DialogWindow& window) : host_(host), window_(&window) {}

void WorkerChannel::Post(std::function<void(DialogWindow&)> call) {
  host_.PostToInterface([self = shared_from_this(), call = std::move(call)] {
    if (self->window_ != nullptr) call(*self->window_);
  });
}

void WorkerChannel::ShowMessageAndWait(std::u16string text, std::optional<std::u16string> caption) {
  const std::uint64_t ticket = ++boxesShown_;
  host_.PostToInterface([self = shared_from_this(), text = std::move(text), caption = std::move(caption)] {
    if (self->window_ != nullptr) {
      if (caption) {
        self->host_.ShowCaptionedMessage(text, *caption);
      } else {
        self->host_.ShowMessage(text);
      }
    }
    std::lock_guard lock(self->mutex_);
    ++self->boxesDismissed_;
    self->changed_.notify_all();
  });
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return boxesDismissed_ >= ticket || cancelled_; });
}

void WorkerChannel::Close() {
  window_ = nullptr;
  Cancel();
}

void WorkerChannel::Cancel() {
  std::lock_guard lock(mutex_);
  cancelled_ = true;
  changed_.notify_all();
}

bool WorkerChannel::Cancelled() const {
  std::lock_guard lock(mutex_);
  return cancelled_;
}

WorkerControls::WorkerControls(std::shared_ptr<WorkerChannel> channel, resources::Language language)
    : channel_(std::move(channel)), language_(language) {}

void WorkerControls::ShowMessage(const std::string& text) {
  channel_->ShowMessageAndWait(Utf8ToUtf16(text), std::nullopt);
}

void WorkerControls::ShowCaptionedMessage(const std::string& text, const std::string& caption) {
  channel_->ShowMessageAndWait(Utf8ToUtf16(text), Utf8ToUtf16(caption));
}

void WorkerControls::SetControlText(int id, const std::string& text) {
  channel_->Post([id, text = Utf8ToUtf16(text)](DialogWindow& w) { w.SetControlText(id, text); });
}

void WorkerControls::ShowControl(int id, bool show) {
  channel_->Post([id, show](DialogWindow& w) { w.ShowControl(id, show); });
}

void WorkerControls::EnableControl(int id, bool enable) {
  channel_->Post([id, enable](DialogWindow& w) { w.EnableControl(id, enable); });
}

void WorkerControls::SetBarRange(int id, int minimum, int maximum) {
  channel_->Post([id, minimum, maximum](DialogWindow& w) { w.SetBarRange(id, minimum, maximum); });
}

void WorkerControls::SetBarPosition(int id, int position) {
  channel_->Post([id, position](DialogWindow& w) { w.SetBarPosition(id, position); });
}

std::string WorkerControls::LoadString(int id) { return std::string(resources::LoadString(id, language_)); }

InterfaceControls::InterfaceControls(DialogHost& host, DialogWindow& window) : host_(host), window_(window) {}

void InterfaceControls::ShowMessage(const std::string& text) { host_.ShowMessage(Utf8ToUtf16(text)); }

void InterfaceControls::ShowCaptionedMessage(const std::string& text, const std::string& caption) {
  host_.ShowCaptionedMessage(Utf8ToUtf16(text), Utf8ToUtf16(caption));
}

void InterfaceControls::SetControlText(int id, const std::string& text) { window_.SetControlText(id, Utf8ToUtf16(text)); }
void InterfaceControls::ShowControl(int id, bool show) { window_.ShowControl(id, show); }
void InterfaceControls::EnableControl(int id, bool enable) { window_.EnableControl(id, enable); }
void InterfaceControls::SetBarRange(int id, int minimum, int maximum) { window_.SetBarRange(id, minimum, maximum); }
void InterfaceControls::SetBarPosition(int id, int position) { window_.SetBarPosition(id, position); }
std::string InterfaceControls::LoadString(int id) {
  return std::string(resources::LoadString(id, host_.Language()));
}

}  // namespace torvane::app
