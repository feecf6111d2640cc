#include "cli/CommandLine.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>

#include "app/FieldChecks.h"
#include "camera/CameraLink.h"
#include "cli/Options.h"
#include "cli/TerminalControls.h"
#include "operations/CameraContext.h"
#include "operations/Operations.h"
#include "platform/DeviceFilter.h"
#include "platform/linux/UvcPlatform.h"
#include "resources/DialogTemplates.h"
#include "resources/StringTable.h"
#include "rom/Crc16.h"
#include "rom/RomFile.h"
#include "rom/RomImage.h"
#include "rom/SampleImageCommand.h"
#include "rom/Utf.h"
#include "simcam/SimCamera.h"
#include "simcam/SimConfig.h"

namespace torvane::cli {

namespace {

namespace fs = std::filesystem;

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

// Messages of the image commands (loading, saving) go to standard error, like the operations' own.
class ErrorSink final : public platform::MessageSink {
 public:
  explicit ErrorSink(std::ostream& err) : err_(err) {}
  void ShowMessage(const std::string& text) override {
    err_ << text << '\n';
    ++count_;
  }
  int Count() const { return count_; }

 private:
  std::ostream& err_;
  int count_ = 0;
};

// The camera the camera commands work on: the simulated one or the system's, seen through --device.
class Bench {
 public:
  // Empty `error` when the bench is ready.
  Bench(const Options& options, std::ostream& console, std::string& error) : options_(options) {
    if (options.simulate) {
      simcam::SimConfig config;
      if (!options.simConfig.empty()) {
        const simcam::ConfigParseResult read = simcam::LoadSimConfigFile(options.simConfig);
        if (!read.config) {
          error = read.error;
          return;
        }
        config = *read.config;
      }
      if (!options.simFlash.empty()) config.flash.file = options.simFlash;
      simulator_ = std::make_unique<simcam::SimCamera>(config);
      if (!simulator_->LastError().empty()) {
        error = simulator_->LastError();
        simulator_.reset();
        return;
      }
      platform_ = simulator_.get();
      clock_ = &simulator_->Clock();
    } else {
      system_ = std::make_unique<platform::uvc::UvcPlatform>();
      platform_ = system_.get();
      clock_ = &systemClock_;
    }
    if (!options.device.empty()) {
      filter_ = std::make_unique<platform::DeviceFilter>(*platform_, options.device);
      platform_ = filter_.get();
    }
    context_ = std::make_unique<operations::CameraContext>(*platform_, *clock_, console);
  }

  // Keeps the simulated flash in its file, also after a failed command. False, after saying why, when
  // the file could not be saved: the next run would not find what this one wrote into the flash.
  bool SaveSimulatedFlash(std::ostream& err) {
    if (!simulator_ || options_.simFlash.empty()) return true;
    std::string error;
    if (simulator_->SaveFlash(error)) return true;
    err << "torvane: " << error << '\n';
    return false;
  }

  platform::CameraPlatform& Platform() { return *platform_; }
  operations::CameraContext& Context() { return *context_; }

  // Why no camera was found, as far as the platform can tell.
  std::string NoCameraText() const {
    const std::string text = options_.device.empty() ? "No camera found." : "No camera at " + options_.device + ".";
    return text + PlatformProblem();
  }
  // What the system's platform could tell about the last enumeration (a permission problem, say).
  std::string PlatformProblem() const {
    return system_ && !system_->LastError().empty() ? " " + system_->LastError() : std::string();
  }

 private:
  const Options& options_;
  platform::SystemClock systemClock_;
  std::unique_ptr<simcam::SimCamera> simulator_;
  std::unique_ptr<platform::uvc::UvcPlatform> system_;
  std::unique_ptr<platform::DeviceFilter> filter_;
  platform::CameraPlatform* platform_ = nullptr;
  platform::Clock* clock_ = nullptr;
  std::unique_ptr<operations::CameraContext> context_;
};

// Shows one device of a platform as if it were the only one, so that the dialog's own discovery decides
// whether it qualifies.
class OneDevice final : public platform::CameraPlatform {
 public:
  OneDevice(platform::CameraPlatform& inner, std::size_t index) : inner_(inner), index_(index) {}
  platform::HResult EnumerateDevices(std::size_t& count) override {
    count = 1;
    return platform::kS_OK;
  }
  platform::HResult ReadFriendlyName(std::size_t, std::string& name) override {
    return inner_.ReadFriendlyName(index_, name);
  }
  platform::HResult ReadDevicePath(std::size_t, std::string& path) override {
    return inner_.ReadDevicePath(index_, path);
  }
  platform::HResult BindDevice(std::size_t, std::unique_ptr<platform::BoundDevice>& device) override {
    return inner_.BindDevice(index_, device);
  }

 private:
  platform::CameraPlatform& inner_;
  std::size_t index_;
};

std::unique_ptr<TerminalControls> MakeControls(std::ostream& out, std::ostream& err, const Environment& env) {
  const resources::Language language = env.language;
  return std::make_unique<TerminalControls>(
      out, err, env.isTerminal, [language](int id) { return std::string(resources::LoadString(id, language)); },
      [language](int id) {
        const resources::ControlTemplate* control = resources::MainDialogTemplate(language).Find(id);
        return control ? std::string(control->text) : std::string();
      });
}

// The identity options, checked as the dialog's fields are. Empty result: all accepted.
std::string CheckIdentityOptions(const Options& o) {
  for (const auto& [option, value] : {std::pair{"--vid", o.vid}, std::pair{"--pid", o.pid}}) {
    if (!value) continue;
    const auto units = rom::Utf8ToUtf16(*value);
    if (!units || units->empty() || !app::IsAcceptedHexField(*units))
      return std::string(option) + " takes one to four hexadecimal digits, not \"" + *value + "\"";
  }
  if (o.name) {
    const auto units = rom::Utf8ToUtf16(*o.name);
    if (!units) return "--name is not valid UTF-8";
    if (!app::IsAcceptedDeviceName(*units))
      return "--name takes at most " + std::to_string(app::kMaxDeviceNameUnits) + " UTF-16 code units, not " +
             std::to_string(units->size());
  }
  return {};
}

// The image's own identity with the options laid over it.
std::optional<rom::IdentityTexts> IdentityFor(const rom::RomImage& image, const Options& o, std::string& problem) {
  const rom::IdentityReadout readout = rom::ReadIdentity(image);
  if (!readout.identity) {
    problem = readout.problem;
    return std::nullopt;
  }
  rom::IdentityTexts texts = rom::ShownTexts(*readout.identity);
  if (o.vid) texts.vid = *rom::Utf8ToUtf16(*o.vid);
  if (o.pid) texts.pid = *rom::Utf8ToUtf16(*o.pid);
  if (o.name) texts.deviceName = *rom::Utf8ToUtf16(*o.name);
  return texts;
}

int Usage(std::ostream& err, const std::string& message) {
  err << "torvane: " << message << "\nTry 'torvane --help'.\n";
  return kExitUsage;
}

// ---- Commands ----

int RunDevices(Bench& bench, std::ostream& out, std::ostream& err) {
  platform::CameraPlatform& platform = bench.Platform();
  std::size_t count = 0;
  if (platform.EnumerateDevices(count) != platform::kS_OK || count == 0) {
    err << "There are no video input devices." << bench.PlatformProblem() << '\n';
    return kExitNoCamera;
  }
  int qualifying = 0;
  std::ostringstream discard;
  for (std::size_t i = 0; i < count; ++i) {
    std::string name, path;
    if (platform.ReadFriendlyName(i, name) != platform::kS_OK) name = "(name unreadable)";
    if (platform.ReadDevicePath(i, path) != platform::kS_OK) path = "(path unreadable)";
    out << i << "  " << name << "  " << path << '\n';

    OneDevice one(platform, i);
    camera::CameraLink link(one, discard);
    if (link.FindCamera() != 0) {
      out << "   does not qualify: the chip id cannot be read through it\n";
      continue;
    }
    ++qualifying;
    std::uint32_t node = 0;
    const bool found = camera::FindXuNode(*link.Binding().filter, node);
    // Read again for the listing: a camera that stops answering now is not shown with a made-up id.
    std::uint8_t chipId = 0;
    const bool chipIdRead = link.GetChipIDValue(chipId);
    out << "   qualifies: " << (found ? "extension unit at node " : "no extension unit found, fallback node ")
        << link.Binding().nodeId << ", chip id " << (chipIdRead ? Hex(chipId, 2) : std::string("unreadable"))
        << '\n';
  }
  return qualifying > 0 ? kExitSuccess : kExitNoCamera;
}

// Loads IMAGE as Browse does; false (after the loader's message) when it is refused.
bool LoadImage(rom::RomImage& image, const std::string& path, platform::MessageSink& messages) {
  return rom::LoadImageFile(image, fs::path(path), messages) == rom::LoadStatus::Loaded;
}

int RunBurn(Bench& bench, const Options& o, TerminalControls& controls, std::ostream& err) {
  rom::RomImage image;
  if (!LoadImage(image, o.positional[0], controls)) return kExitUsage;
  std::string problem;
  const std::optional<rom::IdentityTexts> texts = IdentityFor(image, o, problem);
  if (!texts) {
    err << problem << '\n';
    return kExitUsage;
  }
  // The image file is never changed: the identity goes into the copy in memory only.
  const rom::ApplyResult applied = rom::ApplyIdentityToImage(image, *texts);
  if (!applied.applied) {
    err << applied.problem << '\n';
    return kExitUsage;
  }
  operations::CameraContext& context = bench.Context();
  if (context.link.FindCamera() != 0) {
    err << bench.NoCameraText() << '\n';
    return kExitNoCamera;
  }
  operations::BurnOptions options;
  options.fullVerify = o.verify == "full";
  const operations::BurnReport report = operations::BurnImage(context, controls, image.Bytes(), options);
  operations::ShowOperationResult(controls, operations::Operation::Burn, report.result);
  return report.result ? kExitSuccess : kExitFailed;
}

int RunErase(Bench& bench, TerminalControls& controls, std::ostream& err) {
  operations::CameraContext& context = bench.Context();
  if (context.link.FindCamera() != 0) {
    err << bench.NoCameraText() << '\n';
    return kExitNoCamera;
  }
  const int result = operations::EraseAndCheck(context, controls);
  operations::ShowOperationResult(controls, operations::Operation::Erase, result);
  return result ? kExitSuccess : kExitFailed;
}

int RunExport(Bench& bench, const Options& o, TerminalControls& controls, std::ostream& err) {
  operations::CameraContext& context = bench.Context();
  if (context.link.FindCamera() != 0) {
    err << bench.NoCameraText() << '\n';
    return kExitNoCamera;
  }
  const operations::ExportReport report =
      o.output ? operations::ExportRomTo(context, controls, fs::path(*o.output))
               : operations::ExportRom(context, controls, fs::current_path());
  operations::ShowOperationResult(controls, operations::Operation::Export, report.result);
  if (report.result) controls.SetControlText(operations::kStatusLine, rom::PathText(report.file));
  return report.result ? kExitSuccess : kExitFailed;
}

// The firmware-version box becomes its fields, one a line; any other message means it failed.
int RunVersion(Bench& bench, TerminalControls& controls, std::ostream& err) {
  operations::CameraContext& context = bench.Context();
  if (context.link.FindCamera() != 0) {
    err << bench.NoCameraText() << '\n';
    return kExitNoCamera;
  }
  operations::ShowFirmwareVersion(context, controls);
  return controls.CaptionedShown() == 1 && controls.MessagesShown() == 0 ? kExitSuccess : kExitFailed;
}

int RunImageShow(const Options& o, std::ostream& out, std::ostream& err) {
  ErrorSink messages(err);
  rom::RomImage image;
  if (!LoadImage(image, o.positional[0], messages)) return kExitUsage;
  const auto bytes = image.Bytes();
  out << "File:             " << o.positional[0] << '\n';
  out << "Signature:        " << (image.HasSignature() ? "VI9R" : "missing (not a ROM image this tool burns)")
      << '\n';
  const rom::RomHeader header = rom::ReadRomHeader(bytes);
  for (const auto& [label, field] : {std::pair{"Identity offset:  ", header.IdentityOffset},
                                     std::pair{"Identity length:  ", header.IdentityLength},
                                     std::pair{"Checksum block:   ", header.CrcBlockOffset}}) {
    out << label;
    if (field.LowByteClear()) {
      out << Hex(field.Value(), 5);
    } else {
      out << "unusable (bytes";
      for (std::uint8_t b : field.bytes) out << ' ' << Hex(b, 2);
      out << ")";
    }
    out << " at offset " << field.at << '\n';
  }
  const rom::IdentityReadout readout = rom::ReadIdentity(image);
  if (!readout.identity) {
    out << "Identity:         not shown: " << readout.problem << '\n';
    return kExitSuccess;
  }
  const rom::Identity& id = *readout.identity;
  out << "Vendor id:        " << rom::FormatIdField(id.vendorId) << '\n';
  out << "Product id:       " << rom::FormatIdField(id.productId) << '\n';
  out << "Device name:      " << rom::Utf16ToUtf8(id.deviceName) << '\n';
  out << "CRC-16:           " << Hex(id.storedCrc, 4)
      << (id.storedCrc == id.computedCrc ? " (matches)" : " (does not match: computed " + Hex(id.computedCrc, 4) + ")")
      << '\n';
  return kExitSuccess;
}

int RunImageSet(const Options& o, std::ostream& out, std::ostream& err) {
  ErrorSink messages(err);
  rom::RomImage image;
  const fs::path path(o.positional[0]);
  if (!LoadImage(image, o.positional[0], messages)) return kExitUsage;
  std::string problem;
  const std::optional<rom::IdentityTexts> texts = IdentityFor(image, o, problem);
  if (!texts) {
    err << problem << '\n';
    return kExitUsage;
  }
  switch (rom::SaveImageToFile(image, path, *texts, messages)) {
    case rom::SaveStatus::Saved: out << "Saved " << rom::PathText(path) << '\n'; return kExitSuccess;
    case rom::SaveStatus::IdentityRefused:
    case rom::SaveStatus::NoPath: return kExitUsage;
    default: return kExitFailed;
  }
}

int RunCameraCommand(Bench& bench, const Options& o, std::ostream& out, std::ostream& err,
                     const Environment& environment) {
  if (o.command == Command::Devices) return RunDevices(bench, out, err);
  const std::unique_ptr<TerminalControls> controls = MakeControls(out, err, environment);
  switch (o.command) {
    case Command::Burn: return RunBurn(bench, o, *controls, err);
    case Command::Erase: return RunErase(bench, *controls, err);
    case Command::Export: return RunExport(bench, o, *controls, err);
    case Command::Version: return RunVersion(bench, *controls, err);
    default: return Usage(err, "no command given");
  }
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                   const Environment& environment) {
  const ParseResult parsed = ParseArguments(args);
  if (!parsed.error.empty()) return Usage(err, parsed.error);
  const Options& o = parsed.options;
  if (o.help && o.command != Command::ImageNew) {
    out << HelpText(o.command);
    return kExitSuccess;
  }
  if (const std::string problem = CheckIdentityOptions(o); !problem.empty()) return Usage(err, problem);

  switch (o.command) {
    case Command::ImageShow: return RunImageShow(o, out, err);
    case Command::ImageSet: return RunImageSet(o, out, err);
    case Command::ImageNew:
      return rom::RunSampleImageCommand(o.rawArgs, "Usage: torvane image new OUTPUT [options]", out, err);
    default: break;
  }

  std::string error;
  std::ostringstream console;  // discovery's diagnostic texts; the reason for "no camera" is said plainly
  Bench bench(o, console, error);
  if (!error.empty()) {
    err << "torvane: " << error << '\n';
    return kExitUsage;
  }
  const int status = RunCameraCommand(bench, o, out, err, environment);
  // A command that did its work still fails when the simulated flash it worked on could not be kept.
  if (!bench.SaveSimulatedFlash(err) && status == kExitSuccess) return kExitFailed;
  return status;
}

}  // namespace torvane::cli
