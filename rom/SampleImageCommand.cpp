#include "rom/SampleImageCommand.h"

#include <cstdio>

#include "rom/RomFile.h"
#include "rom/SampleImage.h"
#include "rom/Utf.h"

namespace torvane::rom {

int RunSampleImageCommand(std::span<const std::string> args, const std::string& usage, std::ostream& out,
                          std::ostream& err) {
  std::string error;
  const std::optional<SampleImageCommand> command = ParseSampleImageArguments(args, error);
  if (!command) {
    err << error << "\n\n" << usage << "\n\n" << SampleImageOptionsHelp();
    return kSampleUsage;
  }
  if (command->help) {
    out << usage << "\n\n" << SampleImageOptionsHelp();
    return kSampleWritten;
  }
  const SampleImage image = BuildSampleImage(command->params);
  if (!image.problem.empty()) {
    err << image.problem << '\n';
    return kSampleUsage;
  }
  AtomicFileWriter writer;
  if (writer.Write(command->output, image.bytes) != AtomicFileWriter::Result::Written) {
    err << "could not write " << PathText(command->output) << '\n';
    return kSampleWriteFailed;
  }
  const SampleImageParams& p = command->params;
  char chip[8];
  std::snprintf(chip, sizeof chip, "%02x", static_cast<unsigned>(p.chipId));
  out << PathText(command->output) << ": vendor id " << FormatIdField(p.vendorId) << ", product id "
      << FormatIdField(p.productId) << ", name \"" << Utf16ToUtf8(p.deviceName) << "\", chip id " << chip << '\n';
  return kSampleWritten;
}

}  // namespace torvane::rom
