// torvane-sample-image OUTPUT [options]: writes a sample image of our own (see SampleImage.h).
// Exit status: 0 written; 1 the file could not be written; 2 bad usage.
#include <iostream>
#include <string>
#include <vector>

#include "rom/SampleImageCommand.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return torvane::rom::RunSampleImageCommand(args, "Usage: torvane-sample-image OUTPUT [options]", std::cout,
                                             std::cerr);
}
