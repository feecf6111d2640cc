#include <cstdio>
#include <vector>

#include "operations/FirmwareInfo.h"
#include "operations/FlashWalk.h"
#include "operations/Operations.h"
#include "resources/ResourceIds.h"
#include "rom/RomFile.h"

namespace torvane::operations {
namespace {

namespace fs = std::filesystem;

// The export reads every group up to 0x1FFF0; the last group is never read and stays 0xFF in the file.
constexpr std::uint32_t kExportEnd = 131064;
constexpr int kExportBarMax = 13106;

// Closes the back end on every way out once it has been opened (also after an open that failed half-way
// and left the slot open).
class BackendCloser {
 public:
  explicit BackendCloser(camera::Backend& backend) : backend_(backend) {}
  ~BackendCloser() { backend_.CloseDevice(); }
  BackendCloser(const BackendCloser&) = delete;
  BackendCloser& operator=(const BackendCloser&) = delete;

 private:
  camera::Backend& backend_;
};

// Says why an export failed: the status line alone says only that it did.
void ShowFileProblem(DialogControls& controls, const char* what, const fs::path& file) {
  controls.ShowMessage(std::string(what) + " \"" + rom::PathText(file) + "\"!");
}

template <std::size_t N>
bool ReadField(camera::Backend& backend, std::uint16_t address, std::array<std::uint8_t, N>& field) {
  field.fill(0);
  return backend.ReadMemory(camera::TransferMode::ReadWindow, address, field);
}

}  // namespace

std::optional<std::string> BuildExportFileName(CameraContext& context) {
  camera::Backend& backend = context.backend;
  const int opened = backend.OpenDevice();
  BackendCloser closer(backend);
  if (opened <= 0) return std::nullopt;

  std::uint8_t chipId = 0;
  if (!context.link.GetChipIDValue(chipId)) return std::nullopt;
  context.link.ChipId = chipId;

  const auto addresses = FindExportInfoAddresses(chipId);
  if (!addresses) return std::nullopt;

  // A field whose read failed holds nothing that was read: no name is built from it.
  FirmwareInfo info;
  if (!ReadField(backend, addresses->InfoField1, info.InfoField1) ||
      !ReadField(backend, addresses->InfoField2, info.InfoField2) ||
      !ReadField(backend, addresses->InfoField3, info.InfoField3) ||
      !ReadField(backend, addresses->InfoTag, info.InfoTag))
    return std::nullopt;
  return ComposeExportFileName(info);
}

namespace {

// Copies the flash into `file`, showing `name` in the export-name edit.
ExportReport ExportInto(CameraContext& context, DialogControls& controls, const std::string& name,
                        const fs::path& target) {
  ExportReport report;
  camera::CameraLink& link = context.link;
  HighBankReset bankReset(link);
  report.file = target;

  std::vector<std::uint8_t> contents(kFlashSize, 0xFF);
  controls.SetControlText(kStatusLine, controls.LoadString(resources::kStrExporting));
  controls.SetControlText(kExportNameEdit, name);

  // The file is made (under a temporary name beside the target) before the flash is read, so that a
  // directory that takes no file costs no reading.
  rom::AtomicFileWriter writer;
  rom::AtomicFileWriter::Pending file;
  if (writer.Begin(target, file) != rom::AtomicFileWriter::Result::Written) {
    ShowFileProblem(controls, "Can't create the file", target);
    return report;
  }

  controls.SetBarRange(kBarStep, 0, kExportBarMax);
  Group group{};
  for (std::uint32_t a = 0; a < kExportEnd; a += kGroupSize) {
    controls.SetBarPosition(kBarStep, static_cast<int>(a / 10));
    if (!ReadGroup(link, a, group)) {
      // The file would hold 0xFF where the flash was never read, as if that were its contents.
      report.failedReadAddress = a;
      controls.ShowMessage(AtAddress("Read Flash Failed", a));
      return report;
    }
    std::copy(group.begin(), group.end(), contents.begin() + a);
  }
  link.HighBankFlag = 0;

  if (writer.Finish(file, contents) != rom::AtomicFileWriter::Result::Written) {
    ShowFileProblem(controls, "Can't write the file", target);
    return report;
  }
  report.result = 1;
  return report;
}

}  // namespace

ExportReport ExportRom(CameraContext& context, DialogControls& controls, const fs::path& directory) {
  const std::string name = BuildExportFileName(context).value_or(kDefaultExportFileName);
  return ExportInto(context, controls, name, directory / name);
}

ExportReport ExportRomTo(CameraContext& context, DialogControls& controls, const fs::path& file) {
  return ExportInto(context, controls, file.filename().string(), file);
}

}  // namespace torvane::operations
