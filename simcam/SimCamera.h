// The simulated camera behind the camera-platform layer: a list of video input devices, each camera
// with its own controller and SPI flash, a virtual clock the tool is handed, a log of every property
// request and SPI transaction, and the faults a test or a configuration asks for.
//
//   SimConfig config;                    // one healthy camera with the default flash part
//   config.flash.part = "bf49";          // another part of FlashCatalogue()
//   config.faults.failSelector = 4;      // a fault
//   SimCamera sim(config);
//   camera::CameraLink link(sim, console);   // the tool takes it as its CameraPlatform
//   ... sim.Clock() ... sim.Requests() ... sim.SpiLog() ... sim.Camera().Flash().Contents() ...
//
// Bound devices share the simulator's state and keep it alive; a device bound twice is the same camera.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/CameraPlatform.h"
#include "platform/Clock.h"
#include "simcam/Controller.h"
#include "simcam/FlashCatalogue.h"
#include "simcam/SimConfig.h"
#include "simcam/SimLog.h"

namespace torvane::simcam {

// The extension unit's property set.
inline const platform::Guid kExtensionUnitSet = platform::Guid::FromString("{28F03370-6311-4A2E-BA2C-6890EB334016}");

// Property ids (selectors) the unit has; 0 is the set-support probe.
constexpr std::uint32_t kSelectorProbe = 0;
constexpr std::uint32_t kSelectorRegister = 1;
constexpr std::uint32_t kSelectorTarget = 2;
constexpr std::uint32_t kSelectorWindow = 3;
constexpr std::uint32_t kSelectorBlockRead = 4;
constexpr std::uint32_t kSelectorDeviceInfo = 5;

class SimCamera final : public platform::CameraPlatform {
 public:
  // Builds the devices. A flash file named by the configuration is loaded here; when that fails (or the
  // part key is unknown) the simulator stays usable with a blank flash and LastError() says why.
  explicit SimCamera(const SimConfig& config = SimConfig{});
  ~SimCamera() override;
  SimCamera(const SimCamera&) = delete;
  SimCamera& operator=(const SimCamera&) = delete;

  // Reads a configuration file and builds the simulator; nullptr with `error` set when the file is bad.
  static std::unique_ptr<SimCamera> FromConfigFile(const std::string& path, std::string& error);

  // CameraPlatform.
  platform::HResult EnumerateDevices(std::size_t& count) override;
  platform::HResult ReadFriendlyName(std::size_t index, std::string& name) override;
  platform::HResult ReadDevicePath(std::size_t index, std::string& path) override;
  platform::HResult BindDevice(std::size_t index, std::unique_ptr<platform::BoundDevice>& device) override;

  // The clock the simulator's time runs on; hand it to the tool.
  platform::VirtualClock& Clock();

  // The controller of a camera device by enumeration index, or of the first camera. Aborts when that
  // device is not a camera (a test error).
  Controller& Camera(std::size_t deviceIndex);
  Controller& Camera();
  FlashModel& Flash() { return Camera().Flash(); }

  // Faults can also be changed after construction; they apply from the next request.
  FaultConfig& Faults();
  TimingConfig& Timing();
  const SimConfig& Config() const;

  // Logs, oldest first. ClearLogs empties both; the request count goes on.
  const std::vector<RequestRecord>& Requests() const;
  const std::vector<SpiTransaction>& SpiLog() const;
  std::vector<SpiTransaction> HostSpiLog() const;  // only the tool's own transactions
  std::vector<RegisterAccess> RegisterAccesses() const;  // selector-1 writes and answered reads
  void ClearLogs();
  std::uint64_t RequestCount() const;  // requests so far, the number of the last one

  // The flash file named by the configuration (or another one).
  bool SaveFlash(std::string& error) const;
  bool SaveFlash(const std::string& path, std::string& error) const;
  bool LoadFlash(const std::string& path, std::string& error);

  // The error met while building from the configuration, empty when none.
  const std::string& LastError() const;

  struct Core;  // shared with the bound devices

 private:
  std::shared_ptr<Core> core_;
};

}  // namespace torvane::simcam
