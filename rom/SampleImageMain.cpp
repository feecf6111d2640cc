// torvane-sample-image OUTPUT [options]: writes a sample image of our own (see SampleImage.h).
// Exit status: 0 written; 1 the file could not be written; 2 bad usage.
#include <cstdio>
#include <string>
#include <vector>

#include "rom/RomFile.h"
#include "rom/SampleImage.h"
#include "rom/Utf.h"

namespace {

constexpr int kExitWritten = 0;
constexpr int kExitWriteFailed = 1;
constexpr int kExitUsage = 2;

void PrintUsage(std::FILE* to) {
  std::fprintf(to, "Usage: torvane-sample-image OUTPUT [options]\n\n%s",
               torvane::rom::SampleImageOptionsHelp().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  using namespace torvane::rom;
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  const std::optional<SampleImageCommand> command = ParseSampleImageArguments(args, error);
  if (!command) {
    std::fprintf(stderr, "torvane-sample-image: %s\n\n", error.c_str());
    PrintUsage(stderr);
    return kExitUsage;
  }
  if (command->help) {
    PrintUsage(stdout);
    return kExitWritten;
  }
  const SampleImage image = BuildSampleImage(command->params);
  if (!image.problem.empty()) {
    std::fprintf(stderr, "torvane-sample-image: %s\n", image.problem.c_str());
    return kExitUsage;
  }
  AtomicFileWriter writer;
  if (writer.Write(command->output, image.bytes) != AtomicFileWriter::Result::Written) {
    std::fprintf(stderr, "torvane-sample-image: could not write %s\n", PathText(command->output).c_str());
    return kExitWriteFailed;
  }
  const SampleImageParams& p = command->params;
  std::printf("%s: vendor id %s, product id %s, name \"%s\", chip id %02x\n", PathText(command->output).c_str(),
              FormatIdField(p.vendorId).c_str(), FormatIdField(p.productId).c_str(),
              Utf16ToUtf8(p.deviceName).c_str(), static_cast<unsigned>(p.chipId));
  return kExitWritten;
}
