// The command line's whole run, with its streams and environment handed in, so that tests can run it
// in-process as well as through the built binary.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "resources/Language.h"

namespace torvane::cli {

struct Environment {
  bool isTerminal = false;  // standard output is a terminal: draw progress bars in place
  resources::Language language = resources::Language::English;
};

// `args` without the program name. Returns the exit status.
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   const Environment& environment);

}  // namespace torvane::cli
