// torvane: the command line for benches. See `torvane --help`.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  torvane::cli::Environment environment;
  environment.isTerminal = isatty(STDOUT_FILENO) == 1;
  environment.language = torvane::resources::LanguageFromEnvironment();
  return torvane::cli::RunCommandLine(args, std::cout, std::cerr, environment);
}
