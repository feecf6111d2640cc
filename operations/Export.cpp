#include <cstdio>
#include <random>
#include <system_error>
#include <vector>

#include <unistd.h>

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

// A temporary name that clashes with a file already there (left by a crash) just takes another suffix.
constexpr int kTemporaryNameAttempts = 16;

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

// The file being written, under a temporary name beside the target, until Commit renames it over the
// target. Removed unless committed.
class TemporaryFile {
 public:
  explicit TemporaryFile(const fs::path& target) : target_(target) {
    std::random_device device;
    for (int attempt = 0; attempt < kTemporaryNameAttempts && file_ == nullptr; ++attempt) {
      char suffix[16];
      std::snprintf(suffix, sizeof suffix, ".tmp%08x", static_cast<unsigned>(device()));
      path_ = target;
      path_ += suffix;
      file_ = std::fopen(path_.c_str(), "wbx");  // never opens a file that is already there
    }
    created_ = file_ != nullptr;
  }
  ~TemporaryFile() {
    if (file_ != nullptr) std::fclose(file_);
    if (created_ && !committed_) {
      std::error_code error;
      fs::remove(path_, error);
    }
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  bool Created() const { return file_ != nullptr; }

  // Writes everything, puts it on the disk, closes the file and renames it over the target.
  bool Commit(std::span<const std::uint8_t> bytes) {
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
    ok = std::fflush(file_) == 0 && ok;
    ok = ::fsync(::fileno(file_)) == 0 && ok;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    if (!ok) return false;
    std::error_code error;
    fs::rename(path_, target_, error);
    committed_ = !error;
    return committed_;
  }

 private:
  fs::path target_;
  fs::path path_;
  std::FILE* file_ = nullptr;
  bool created_ = false;
  bool committed_ = false;
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

  // The file is made before the flash is read, so that a directory that takes no file costs no reading.
  TemporaryFile file(report.file);
  if (!file.Created()) {
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

  if (!file.Commit(contents)) {
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
