#include "gui/Options.h"

namespace torvane::gui {

OptionsResult ParseOptions(const std::vector<std::string>& arguments) {
  GuiOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--simulate") {
      options.simulate = true;
    } else if (argument.starts_with("--simulate=")) {
      options.simulate = true;
      options.simulatorConfig = argument.substr(std::string("--simulate=").size());
      if (options.simulatorConfig->empty()) return {std::nullopt, "--simulate= needs a configuration file"};
    } else if (argument == "--sim-flash") {
      if (i + 1 >= arguments.size() || arguments[i + 1].empty()) return {std::nullopt, "--sim-flash needs a file"};
      options.simulate = true;
      options.simulatorFlash = arguments[++i];
    } else if (argument.starts_with("--sim-flash=")) {
      options.simulate = true;
      options.simulatorFlash = argument.substr(std::string("--sim-flash=").size());
      if (options.simulatorFlash->empty()) return {std::nullopt, "--sim-flash needs a file"};
    } else {
      return {std::nullopt, "unknown option: " + argument};
    }
  }
  return {options, {}};
}

}  // namespace torvane::gui
