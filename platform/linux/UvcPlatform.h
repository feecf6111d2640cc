// The camera-platform layer over the kernel's UVC driver (uvcvideo).
//
// Devices are the video capture nodes /dev/videoN of cameras the driver runs, in node-number order
// (each camera also has a metadata node, which takes no extension-unit requests and is skipped). A
// bound device is an open descriptor of its node. Its topology is read from the camera's USB
// descriptors in sysfs: the units and terminals of its VideoControl interface in descriptor order,
// extension units typed KSNODETYPE_DEV_SPECIFIC. A property request on an extension-unit node whose
// GUID is the request's property set becomes one UVCIOC_CTRL_QUERY to that unit, the property id as
// selector; any other node refuses it without sending anything.
//
//   torvane::platform::uvc::UvcPlatform platform;  // the machine's cameras
//   std::size_t count = 0;
//   if (platform.EnumerateDevices(count) != kS_OK) std::puts(platform.LastError().c_str());
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/CameraPlatform.h"
#include "platform/linux/SystemCalls.h"
#include "platform/linux/UvcDescriptors.h"

namespace torvane::platform::uvc {

// Where the platform looks; tests hand their fake system the same paths.
inline constexpr const char* kDevDirectory = "/dev";
inline constexpr const char* kSysCharDevices = "/sys/dev/char";
inline constexpr const char* kUvcDriverName = "uvcvideo";

class UvcDevice final : public BoundDevice {
 public:
  // Takes over `fd` (closed on destruction). `topology` is empty when it could not be read; then
  // `topologyError` says why and NodeCount fails.
  UvcDevice(SystemCalls& system, int fd, std::string path, std::optional<VideoControlInterface> topology,
            std::string topologyError);
  ~UvcDevice() override;
  UvcDevice(const UvcDevice&) = delete;
  UvcDevice& operator=(const UvcDevice&) = delete;

  HResult NodeCount(std::uint32_t& count) override;
  HResult NodeType(std::uint32_t node, Guid& type) override;
  HResult KsProperty(const KsNodeProperty& property, std::span<std::uint8_t> data) override;
  // The chip-id fallback's vendor property sets are not offered by the UVC driver.
  PropertySetInterface* QueryPropertySet() override { return nullptr; }

  // Why the last call failed (empty after a success), and the errno behind it (0 when none was).
  const std::string& LastError() const { return lastError_; }
  int LastErrno() const { return lastErrno_; }
  const std::string& Path() const { return path_; }
  const VideoControlInterface* Topology() const { return topology_ ? &*topology_ : nullptr; }

 private:
  struct ControlInfo {
    std::uint16_t length = 0;  // GET_LEN: the size the driver insists on for GET_CUR and SET_CUR
    std::uint8_t info = 0;     // GET_INFO: which directions the control takes
  };

  HResult Fail(HResult result, std::string text, int error = 0);
  // One UVCIOC_CTRL_QUERY; `data` is exactly the size the query needs.
  HResult Query(std::uint8_t unit, std::uint8_t selector, std::uint8_t query, std::span<std::uint8_t> data);
  HResult Control(std::uint8_t unit, std::uint8_t selector, ControlInfo& info);
  HResult Transfer(const ExtensionUnit& xu, std::uint8_t selector, bool set, std::span<std::uint8_t> data);

  SystemCalls& system_;
  int fd_;
  std::string path_;
  std::optional<VideoControlInterface> topology_;
  std::string topologyError_;
  std::map<std::uint16_t, ControlInfo> controls_;  // by unit << 8 | selector, asked once per device
  std::string lastError_;
  int lastErrno_ = 0;
};

class UvcPlatform final : public CameraPlatform {
 public:
  UvcPlatform();                              // the machine's own system calls
  explicit UvcPlatform(SystemCalls& system);  // any other, e.g. a test's

  HResult EnumerateDevices(std::size_t& count) override;
  HResult ReadFriendlyName(std::size_t index, std::string& name) override;
  HResult ReadDevicePath(std::size_t index, std::string& path) override;
  HResult BindDevice(std::size_t index, std::unique_ptr<BoundDevice>& device) override;

  // Why the last enumeration or bind failed, or which video nodes an enumeration could not open
  // (the permission problem is named with its remedy). Empty when there is nothing to tell.
  const std::string& LastError() const { return lastError_; }

 private:
  struct Camera {
    std::string path;
    std::string card;     // VIDIOC_QUERYCAP card: the friendly name
    std::string busInfo;  // tells the same camera from another that took its node number since
  };

  HResult Fail(HResult result, std::string text);
  void ReadTopology(int fd, std::optional<VideoControlInterface>& topology, std::string& error);

  std::unique_ptr<SystemCalls> ownSystem_;
  SystemCalls& system_;
  std::vector<Camera> cameras_;
  std::string lastError_;
};

}  // namespace torvane::platform::uvc
