// The sample builder's command, shared by `torvane-sample-image` and `torvane image new`.
#pragma once

#include <ostream>
#include <span>
#include <string>

namespace torvane::rom {

constexpr int kSampleWritten = 0;
constexpr int kSampleWriteFailed = 1;
constexpr int kSampleUsage = 2;

// `args` are the words after the program or command name; `usage` is its first help line. Writes the
// image atomically and says what it wrote. Returns kSampleWritten, kSampleWriteFailed or kSampleUsage.
int RunSampleImageCommand(std::span<const std::string> args, const std::string& usage, std::ostream& out,
                          std::ostream& err);

}  // namespace torvane::rom
