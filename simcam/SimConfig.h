// What the simulated camera is made of: its devices, the controller, the flash part and the faults it
// is asked to show. Filled from code by the tests and from a configuration file (simcam/README.md) by
// the command line. Every default here is the plain, healthy camera.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Guid.h"
#include "simcam/FlashCatalogue.h"

namespace torvane::simcam {

// One video input device in enumeration order.
struct DeviceConfig {
  enum class Kind {
    Camera,  // the controller behind its vendor extension unit
    Video,   // an ordinary video input device: no extension unit, every vendor request fails
  };
  Kind kind = Kind::Camera;
  std::string friendlyName = "Zidiz USB Camera";
  std::string devicePath = "/dev/video0";
  bool friendlyNameReadable = true;
  bool devicePathReadable = true;
  bool bindable = true;           // false: the device yields no filter
  bool topologyReadable = true;   // false: the node count is refused (the unit still answers at its node)
  std::uint32_t nodeCount = 4;
  std::uint32_t extensionUnitNode = 2;  // the vendor-specific node (cameras only); < nodeCount
};

// Which vendor property set answers the chip-id fallback on the property-set interface.
enum class ChipIdFallback {
  Absent,   // the device offers no property-set interface at all
  Refused,  // the interface exists and refuses every request
  First,    // {F1CAFC1D-D7D6-400F-A7FD-96715E0BD958} answers
  Second,   // {E02A32D0-D2FC-4628-A1DD-DE079B11DFE1} answers
};

inline const platform::Guid kChipIdPropertySetFirst =
    platform::Guid::FromString("{F1CAFC1D-D7D6-400F-A7FD-96715E0BD958}");
inline const platform::Guid kChipIdPropertySetSecond =
    platform::Guid::FromString("{E02A32D0-D2FC-4628-A1DD-DE079B11DFE1}");

struct ControllerConfig {
  std::uint8_t chipId = 0x32;         // register 0x101F
  std::uint8_t register3C5 = 0;       // register 0x3C5
  std::uint16_t deviceInfoWord = 0;   // selector 5, bytes 0-1
  std::uint8_t deviceInfoMode = 0;    // selector 5, byte 2
  bool blockRead = true;              // false: the unit has no selector 4
  ChipIdFallback chipIdFallback = ChipIdFallback::Refused;
  std::uint8_t writeProtectPin = 2;   // general-purpose pin tied to the flash's write-protect input
  bool undrivenPinLow = false;        // level of a pin whose output is not enabled (high unless set)
  std::uint32_t portReadyAfterPolls = 0;  // polls of SfPortStatus reading 0 before it reads 1
};

struct FlashConfig {
  std::string part = "c22011";          // a key of FlashCatalogue()
  // A part the catalogue does not have, given as data; used instead of `part` when set (its key and
  // description must outlive the simulator). For answers that benches meet and no catalogue row gives.
  std::optional<FlashPart> customPart;
  std::optional<std::uint8_t> status;   // the status register at power-up; the part's default if unset
  std::string file;                     // contents loaded from this raw file (missing: blank); empty: none
};

struct FaultConfig {
  std::uint64_t failRequest = 0;        // this one request (counted from 1) fails; 0: off
  std::uint64_t unplugAtRequest = 0;    // this request and every later one fail; 0: off
  std::optional<std::uint32_t> failSelector;  // every request with this property id fails
  bool portNeverReady = false;          // SfPortStatus never reads 1
  bool flashStaysBusy = false;          // an erase, program or status write never completes
  bool flashIgnoresErase = false;       // erases run their time and change nothing
  std::uint32_t bitFlipEvery = 0;       // on average one read answer in this many has a flipped bit; 0: off
  std::uint64_t bitFlipSeed = 1;
  bool unreadableDevicePath = false;    // every camera's device path read fails
  bool noExtensionUnit = false;         // cameras have no vendor-specific node and no unit answers
};

struct TimingConfig {
  std::uint32_t requestLatencyMs = 0;   // added to the virtual clock by every property request
  bool realLatency = false;             // also sleep that long for real (demonstrations only)
};

struct SimConfig {
  std::vector<DeviceConfig> devices{DeviceConfig{}};  // empty: no video input device
  bool enumerationFails = false;                      // the device enumeration cannot start
  ControllerConfig controller;
  FlashConfig flash;
  FaultConfig faults;
  TimingConfig timing;
};

// The result of reading a configuration: a config, or one clear error naming the line.
struct ConfigParseResult {
  std::optional<SimConfig> config;
  std::string error;
};

// Parses the text of a configuration file (format in simcam/README.md). Bounded: at most
// kMaxConfigBytes of text, kMaxConfigLineBytes per line and kMaxConfigDevices devices.
ConfigParseResult ParseSimConfig(std::string_view text);
// Reads and parses a file; the error names the file when it cannot be read.
ConfigParseResult LoadSimConfigFile(const std::string& path);

constexpr std::size_t kMaxConfigBytes = 64 * 1024;
constexpr std::size_t kMaxConfigLineBytes = 1024;
constexpr std::size_t kMaxConfigDevices = 16;

}  // namespace torvane::simcam
