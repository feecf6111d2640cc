// The operations' control interface, served by the dialog host. Two forms:
// - WorkerControls, for an operation on a worker thread. It never touches a widget: every call is
//   posted to the interface thread and carried out there in order. A message box is shown on the
//   interface thread while the worker waits for it to be dismissed, or for the dialog to go away
//   (Cancel), whichever comes first, so that closing the dialog with a box pending cannot deadlock.
// - InterfaceControls, for an operation that runs on the interface thread itself (the firmware
//   version): direct window calls.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "app/DialogHost.h"
#include "operations/DialogControls.h"
#include "resources/Language.h"

namespace torvane::app {

// What a running worker shares with the dialog. Created and closed on the interface thread.
class WorkerChannel : public std::enable_shared_from_this<WorkerChannel> {
 public:
  WorkerChannel(DialogHost& host, DialogWindow& window);

  // Posts `call` to the interface thread; it runs there only while the dialog's window lives.
  void Post(std::function<void(DialogWindow&)> call);
  // Shows a message box on the interface thread and waits until it is dismissed or the channel is
  // closed. Without a caption it is the ordinary box.
  void ShowMessageAndWait(std::u16string text, std::optional<std::u16string> caption);

  // Interface thread: the dialog's window is going away. Later posts are dropped, waits end.
  void Close();
  bool Cancelled() const;
  DialogHost& Host() { return host_; }

 private:
  void Cancel();

  DialogHost& host_;
  DialogWindow* window_;  // interface thread only; null once closed
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool cancelled_ = false;
  std::uint64_t boxesDismissed_ = 0;  // guarded by mutex_
  std::uint64_t boxesShown_ = 0;      // worker side only
};

class WorkerControls final : public operations::DialogControls {
 public:
  WorkerControls(std::shared_ptr<WorkerChannel> channel, resources::Language language);

  void ShowMessage(const std::string& text) override;
  void SetControlText(int id, const std::string& text) override;
  void ShowControl(int id, bool show) override;
  void EnableControl(int id, bool enable) override;
  void SetBarRange(int id, int minimum, int maximum) override;
  void SetBarPosition(int id, int position) override;
  std::string LoadString(int id) override;
  void ShowCaptionedMessage(const std::string& text, const std::string& caption) override;

 private:
  std::shared_ptr<WorkerChannel> channel_;
  resources::Language language_;
};

class InterfaceControls final : public operations::DialogControls {
 public:
  InterfaceControls(DialogHost& host, DialogWindow& window);

  void ShowMessage(const std::string& text) override;
  void SetControlText(int id, const std::string& text) override;
  void ShowControl(int id, bool show) override;
  void EnableControl(int id, bool enable) override;
  void SetBarRange(int id, int minimum, int maximum) override;
  void SetBarPosition(int id, int position) override;
  std::string LoadString(int id) override;
  void ShowCaptionedMessage(const std::string& text, const std::string& caption) override;

 private:
  DialogHost& host_;
  DialogWindow& window_;
};

}  // namespace torvane::app
