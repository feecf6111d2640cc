// Where the tool's own messages go. The camera link, the flash engine and the operations never show
// anything themselves: the dialog turns a message into a message box (OK only, exclamation icon,
// application name as caption), the command line prints it, a test records it. Texts are UTF-8.
#pragma once

#include <string>

namespace torvane::platform {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Blocks until the user has seen the message (a message box is dismissed).
  virtual void ShowMessage(const std::string& text) = 0;
};

}  // namespace torvane::platform
