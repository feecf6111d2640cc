// The program's options: only those that start it on the simulated camera, as on the command line.
//   --simulate[=CONFIG]   use the simulated camera (CONFIG: its configuration file)
//   --sim-flash FILE      the simulated camera's flash contents (implies --simulate)
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace torvane::gui {

struct GuiOptions {
  bool simulate = false;
  std::optional<std::string> simulatorConfig;
  std::optional<std::string> simulatorFlash;
};

struct OptionsResult {
  std::optional<GuiOptions> options;  // empty when the arguments are refused
  std::string error;
};

// `arguments` without the program name.
OptionsResult ParseOptions(const std::vector<std::string>& arguments);
constexpr const char* kUsage = "usage: torvane-gui [--simulate[=CONFIG]] [--sim-flash FILE]";

}  // namespace torvane::gui
