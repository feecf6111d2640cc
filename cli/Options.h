// Parsing of the command line: global options, the command and its own options. Parsing only: no
// file is opened and no camera is touched here.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace torvane::cli {

// Exit statuses, one meaning each (documented in --help and the README).
constexpr int kExitSuccess = 0;
constexpr int kExitFailed = 1;     // the operation failed
constexpr int kExitUsage = 2;      // bad usage or bad input file
constexpr int kExitNoCamera = 3;   // no camera found, or the one named by --device is not there

enum class Command { None, Devices, Burn, Erase, Export, Version, ImageShow, ImageSet, ImageNew };

struct Options {
  bool help = false;
  bool simulate = false;
  std::string simConfig;          // empty: the default simulated camera
  std::string simFlash;           // --sim-flash FILE
  std::string device;             // --device PATH
  Command command = Command::None;
  std::string commandName;        // as typed, for messages and per-command help
  std::vector<std::string> positional;
  std::vector<std::string> rawArgs;   // image new: the words after the command, for the sample builder
  std::optional<std::string> vid, pid, name;
  std::optional<std::string> output;   // export --output
  std::string verify = "sampled";      // burn --verify sampled|full
};

struct ParseResult {
  Options options;
  std::string error;  // non-empty: a usage error, to be shown with the exit status kExitUsage
};

ParseResult ParseArguments(const std::vector<std::string>& args);

// The help text of the whole program, or of one command when `command` is not None.
std::string HelpText(Command command);

}  // namespace torvane::cli
