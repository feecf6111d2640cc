#include "platform/linux/UvcPlatform.h"

#include <fcntl.h>
#include <linux/uvcvideo.h>
#include <linux/videodev2.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

namespace torvane::platform::uvc {

namespace {

// Extension-unit request codes of the video class (the `query` of UVCIOC_CTRL_QUERY).
constexpr std::uint8_t kSetCur = UVC_SET_CUR;
constexpr std::uint8_t kGetCur = UVC_GET_CUR;
constexpr std::uint8_t kGetLen = UVC_GET_LEN;
constexpr std::uint8_t kGetInfo = UVC_GET_INFO;
constexpr std::size_t kGetLenSize = 2;   // wLength, little-endian
constexpr std::size_t kGetInfoSize = 1;  // bmCapabilities
constexpr std::uint8_t kInfoGet = UVC_CONTROL_CAP_GET;
constexpr std::uint8_t kInfoSet = UVC_CONTROL_CAP_SET;

// An interrupted ioctl has not reached the camera (the driver is interrupted while waiting for its
// lock), so it is safe to repeat; the bound keeps a storm of signals from holding the tool forever.
constexpr int kMaxInterruptedAttempts = 64;

// A camera's descriptors are a few kilobytes; the bound only guards the read of a broken sysfs file.
constexpr std::size_t kMaxDescriptorBytes = 1u << 20;
constexpr std::size_t kMaxAttributeBytes = 64;  // bInterfaceNumber, bConfigurationValue

constexpr int kOpenFlags = O_RDWR | O_CLOEXEC;

const char* QueryName(std::uint8_t query) {
  switch (query) {
    case kSetCur: return "SET_CUR";
    case kGetCur: return "GET_CUR";
    case kGetLen: return "GET_LEN";
    case kGetInfo: return "GET_INFO";
    default: return "query";
  }
}

// What an errno of UVCIOC_CTRL_QUERY means and what the layer answers for it. A STALL of the camera
// comes back as an errno the driver picks from the camera's request error code.
struct ErrnoOutcome {
  int error;
  HResult result;
  const char* meaning;
};
constexpr ErrnoOutcome kXuErrnoOutcomes[] = {
    {EPIPE, kE_FAIL, "the camera refused the request"},
    {EBUSY, kE_FAIL, "the camera refused the request (not ready)"},
    {EILSEQ, kE_FAIL, "the camera refused the request (wrong state)"},
    {EACCES, kE_FAIL, "the camera refused the request (wrong state)"},
    {EREMOTE, kE_FAIL, "the camera refused the request (power)"},
    {ERANGE, kE_FAIL, "the camera refused the request (out of range)"},
    {EIO, kE_FAIL, "the camera refused the request (invalid unit, control or request)"},
    {EINVAL, kE_FAIL, "the camera refused the request (invalid value)"},
    {ETIMEDOUT, kE_TIMEOUT, "the camera did not answer within the driver's timeout"},
    {ESHUTDOWN, kE_DEVICE_NOT_CONNECTED, "the camera was unplugged during the request"},
    {ENODEV, kE_DEVICE_NOT_CONNECTED, "the camera has been unplugged"},
    {ENOBUFS, kE_PROP_ID_UNSUPPORTED, "the driver refused the payload length"},
    {EBADRQC, kE_PROP_ID_UNSUPPORTED, "the control does not take this direction"},
    {ENOENT, kE_PROP_ID_UNSUPPORTED, "the driver knows no such unit or control"},
    {ENOTTY, kE_PROP_ID_UNSUPPORTED, "this video node takes no extension-unit requests"},
};

ErrnoOutcome OutcomeOf(int error) {
  for (const auto& o : kXuErrnoOutcomes)
    if (o.error == error) return o;
  return {error, kE_FAIL, "the request failed"};
}

std::string ErrnoText(int error) {
  const char* name = ::strerrorname_np(error);
  const char* desc = ::strerrordesc_np(error);
  std::string text = name ? name : "errno " + std::to_string(error);
  if (desc) text += std::string(": ") + desc;
  return text;
}

std::string PermissionText(const std::string& path, int error) {
  return "cannot open " + path + " (" + ErrnoText(error) +
         "): video devices belong to the group \"video\"; add this user to it (sudo usermod -aG video $USER) "
         "and log in again";
}

HResult OpenResult(int error) {
  switch (error) {
    case EACCES:
    case EPERM: return kE_ACCESSDENIED;
    case ENOENT:
    case ENODEV:
    case ENXIO: return kE_DEVICE_NOT_CONNECTED;
    default: return kE_FAIL;
  }
}

std::string FixedText(const __u8* bytes, std::size_t size) {
  const auto* chars = reinterpret_cast<const char*>(bytes);
  return std::string(chars, strnlen(chars, size));
}

bool IsUvcCapture(const v4l2_capability& caps) {
  const std::uint32_t nodeCaps =
      (caps.capabilities & V4L2_CAP_DEVICE_CAPS) != 0 ? caps.device_caps : caps.capabilities;
  return FixedText(caps.driver, sizeof caps.driver) == kUvcDriverName && (nodeCaps & V4L2_CAP_VIDEO_CAPTURE) != 0;
}

// "video12" -> 12; anything else (video, videoX, video-foo, vbi0) is no capture node of ours.
std::optional<unsigned> NodeNumber(const std::string& name) {
  constexpr std::string_view kPrefix = "video";
  constexpr std::size_t kMaxDigits = 6;  // minor numbers end far below a million
  if (name.size() <= kPrefix.size() || name.size() > kPrefix.size() + kMaxDigits || name.rfind(kPrefix, 0) != 0)
    return std::nullopt;
  unsigned n = 0;
  for (std::size_t i = kPrefix.size(); i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return std::nullopt;
    n = n * 10 + static_cast<unsigned>(name[i] - '0');
  }
  return n;
}

// A sysfs attribute holding one number and a line end, in `base` 10 or 16; at most 255.
std::optional<std::uint8_t> ParseAttribute(const std::vector<std::uint8_t>& text, unsigned base) {
  unsigned value = 0;
  std::size_t digits = 0;
  for (const std::uint8_t c : text) {
    unsigned d;
    if (c >= '0' && c <= '9') {
      d = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      d = static_cast<unsigned>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      d = static_cast<unsigned>(c - 'A' + 10);
    } else if (c == '\n' && digits > 0) {
      break;
    } else {
      return std::nullopt;
    }
    value = value * base + d;
    if (++digits > 3 || value > 255) return std::nullopt;
  }
  if (digits == 0) return std::nullopt;
  return static_cast<std::uint8_t>(value);
}

const char* NodeKindName(std::uint8_t subtype) {
  switch (subtype) {
    case UVC_VC_INPUT_TERMINAL: return "an input terminal";
    case UVC_VC_OUTPUT_TERMINAL: return "an output terminal";
    case UVC_VC_SELECTOR_UNIT: return "a selector unit";
    case UVC_VC_PROCESSING_UNIT: return "a processing unit";
    case kUvcVcEncodingUnit: return "an encoding unit";
    default: return "an extension unit";
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// UvcDevice

UvcDevice::UvcDevice(SystemCalls& system, int fd, std::string path, std::optional<VideoControlInterface> topology,
                     std::string topologyError)
    : system_(system),
      fd_(fd),
      path_(std::move(path)),
      topology_(std::move(topology)),
      topologyError_(std::move(topologyError)) {}

UvcDevice::~UvcDevice() { system_.Close(fd_); }

HResult UvcDevice::Fail(HResult result, std::string text, int error) {
  lastError_ = path_ + ": " + std::move(text);
  lastErrno_ = error;
  return result;
}

HResult UvcDevice::NodeCount(std::uint32_t& count) {
  lastError_.clear();
  lastErrno_ = 0;
  if (!topology_) return Fail(kE_FAIL, topologyError_);
  count = static_cast<std::uint32_t>(topology_->nodes.size());
  return kS_OK;
}

HResult UvcDevice::NodeType(std::uint32_t node, Guid& type) {
  lastError_.clear();
  lastErrno_ = 0;
  if (!topology_) return Fail(kE_FAIL, topologyError_);
  if (node >= topology_->nodes.size()) return Fail(kE_INVALIDARG, "no topology node " + std::to_string(node));
  // The standard units and terminals have no vendor type; the camera link only looks for this one.
  type = topology_->nodes[node].extensionUnit ? KSNODETYPE_DEV_SPECIFIC : Guid{};
  return kS_OK;
}

HResult UvcDevice::Query(std::uint8_t unit, std::uint8_t selector, std::uint8_t query, std::span<std::uint8_t> data) {
  uvc_xu_control_query request{};
  request.unit = unit;
  request.selector = selector;
  request.query = query;
  request.size = static_cast<__u16>(data.size());
  request.data = data.data();
  const std::string what = std::string(QueryName(query)) + " of selector " + std::to_string(selector) +
                           " on unit " + std::to_string(unit);
  for (int attempt = 1;; ++attempt) {
    const SysResult r = system_.Ioctl(fd_, UVCIOC_CTRL_QUERY, &request);
    // Only exactly 0 is success: on some kernels a short answer from the camera returns its byte
    // count, with the rest of the buffer undefined.
    if (r.value == 0) return kS_OK;
    if (r.value > 0)
      return Fail(kE_FAIL, what + ": short answer (" + std::to_string(r.value) + " of " +
                               std::to_string(data.size()) + " bytes)");
    if (r.error == EINTR && attempt < kMaxInterruptedAttempts) continue;
    const ErrnoOutcome o = OutcomeOf(r.error);
    return Fail(o.result, what + ": " + o.meaning + " (" + ErrnoText(r.error) + ")", r.error);
  }
}

HResult UvcDevice::Control(std::uint8_t unit, std::uint8_t selector, ControlInfo& info) {
  const std::uint16_t key = static_cast<std::uint16_t>(unit << 8 | selector);
  if (const auto it = controls_.find(key); it != controls_.end()) {
    info = it->second;
    return kS_OK;
  }
  std::array<std::uint8_t, kGetLenSize> len{};
  if (const HResult r = Query(unit, selector, kGetLen, len); r != kS_OK) return r;
  std::array<std::uint8_t, kGetInfoSize> caps{};
  if (const HResult r = Query(unit, selector, kGetInfo, caps); r != kS_OK) return r;
  info.length = static_cast<std::uint16_t>(len[0] | len[1] << 8);
  info.info = caps[0];
  controls_[key] = info;  // the driver caches the length too, until the camera is unplugged
  return kS_OK;
}

HResult UvcDevice::Transfer(const ExtensionUnit& xu, std::uint8_t selector, bool set, std::span<std::uint8_t> data) {
  ControlInfo info;
  if (const HResult r = Control(xu.bUnitID, selector, info); r != kS_OK) return r;
  const std::string what = std::string(set ? "SET_CUR" : "GET_CUR") + " of selector " + std::to_string(selector) +
                           " on unit " + std::to_string(xu.bUnitID);
  if ((info.info & (set ? kInfoSet : kInfoGet)) == 0)
    return Fail(kE_PROP_ID_UNSUPPORTED, what + ": the control does not take this direction (GET_INFO " +
                                            std::to_string(info.info) + "); nothing sent");
  if (data.size() > info.length)
    return Fail(kE_INVALIDARG, what + ": payload of " + std::to_string(data.size()) + " bytes is longer than the " +
                                   std::to_string(info.length) + " bytes of the control; refused, nothing sent");
  // The driver takes exactly the control's length: a shorter payload is sent with zeros after it,
  // and a get copies back only the bytes asked for.
  std::vector<std::uint8_t> wire(info.length, 0);
  if (set) std::copy(data.begin(), data.end(), wire.begin());
  if (const HResult r = Query(xu.bUnitID, selector, set ? kSetCur : kGetCur, wire); r != kS_OK) return r;
  if (!set) std::copy_n(wire.begin(), data.size(), data.begin());
  return kS_OK;
}

HResult UvcDevice::KsProperty(const KsNodeProperty& property, std::span<std::uint8_t> data) {
  lastError_.clear();
  lastErrno_ = 0;
  if (!topology_) return Fail(kE_FAIL, topologyError_);
  const std::string node = "node " + std::to_string(property.nodeId);
  if (property.nodeId >= topology_->nodes.size())
    return Fail(kE_PROP_ID_UNSUPPORTED, node + " does not exist (" + std::to_string(topology_->nodes.size()) +
                                            " nodes); nothing sent");
  const TopologyNode& n = topology_->nodes[property.nodeId];
  // Only the extension unit named by the request's property set ever receives it: a request meant
  // for the vendor unit must not reach some other unit of the camera under the same selector.
  if (!n.extensionUnit)
    return Fail(kE_PROP_ID_UNSUPPORTED,
                node + " is " + NodeKindName(n.bDescriptorSubtype) + ", not an extension unit; nothing sent");
  const ExtensionUnit& xu = topology_->extensionUnits[*n.extensionUnit];
  if (xu.guidExtensionCode != property.set)
    return Fail(kE_PROP_ID_UNSUPPORTED, node + " is extension unit " + std::to_string(xu.bUnitID) + " of " +
                                            xu.guidExtensionCode.ToString() + ", not of " + property.set.ToString() +
                                            "; nothing sent");

  if ((property.flags & KSPROPERTY_TYPE_TOPOLOGY) == 0)
    return Fail(kE_INVALIDARG, "a node request without the topology flag; nothing sent");
  const std::uint32_t direction = property.flags & ~KSPROPERTY_TYPE_TOPOLOGY;
  if (direction == KSPROPERTY_TYPE_SETSUPPORT) return kS_OK;  // the unit is the one asked for
  if (direction != KSPROPERTY_TYPE_SET && direction != KSPROPERTY_TYPE_GET)
    return Fail(kE_INVALIDARG, "request flags " + std::to_string(property.flags) + " are neither a get nor a set");

  if (!xu.HasControl(property.id))
    return Fail(kE_PROP_ID_UNSUPPORTED, "extension unit " + std::to_string(xu.bUnitID) + " has no selector " +
                                            std::to_string(property.id) + "; nothing sent");
  return Transfer(xu, static_cast<std::uint8_t>(property.id), direction == KSPROPERTY_TYPE_SET, data);
}

// ---------------------------------------------------------------------------------------------------
// UvcPlatform

UvcPlatform::UvcPlatform() : ownSystem_(std::make_unique<PosixSystemCalls>()), system_(*ownSystem_) {}

UvcPlatform::UvcPlatform(SystemCalls& system) : system_(system) {}

HResult UvcPlatform::Fail(HResult result, std::string text) {
  lastError_ = std::move(text);
  return result;
}

HResult UvcPlatform::EnumerateDevices(std::size_t& count) {
  count = 0;
  cameras_.clear();
  lastError_.clear();
  std::vector<std::string> names;
  if (const int error = system_.ListDirectory(kDevDirectory, names); error != 0)
    return Fail(kE_FAIL, std::string("cannot list ") + kDevDirectory + " (" + ErrnoText(error) + ")");

  std::vector<std::pair<unsigned, std::string>> nodes;
  for (const auto& name : names)
    if (const auto number = NodeNumber(name)) nodes.emplace_back(*number, std::string(kDevDirectory) + "/" + name);
  std::sort(nodes.begin(), nodes.end());

  bool permissionDenied = false;
  std::string notes;
  for (const auto& [number, path] : nodes) {
    const SysResult opened = system_.Open(path, kOpenFlags);
    if (opened.value < 0) {
      // A node that vanished since the listing is no camera of this enumeration; others are told.
      if (OpenResult(opened.error) == kE_DEVICE_NOT_CONNECTED) continue;
      permissionDenied |= OpenResult(opened.error) == kE_ACCESSDENIED;
      if (!notes.empty()) notes += "\n";
      notes += OpenResult(opened.error) == kE_ACCESSDENIED ? PermissionText(path, opened.error)
                                                           : "cannot open " + path + " (" + ErrnoText(opened.error) + ")";
      continue;
    }
    const int fd = static_cast<int>(opened.value);
    v4l2_capability caps{};
    const SysResult queried = system_.Ioctl(fd, VIDIOC_QUERYCAP, &caps);
    system_.Close(fd);
    if (queried.value != 0 || !IsUvcCapture(caps)) continue;
    cameras_.push_back({path, FixedText(caps.card, sizeof caps.card), FixedText(caps.bus_info, sizeof caps.bus_info)});
  }
  lastError_ = notes;
  count = cameras_.size();
  if (count > 0) return kS_OK;
  if (permissionDenied) return kE_ACCESSDENIED;  // there may well be a camera behind the refusal
  return kS_FALSE;
}

HResult UvcPlatform::ReadFriendlyName(std::size_t index, std::string& name) {
  if (index >= cameras_.size()) return kE_INVALIDARG;
  name = cameras_[index].card;
  return kS_OK;
}

HResult UvcPlatform::ReadDevicePath(std::size_t index, std::string& path) {
  if (index >= cameras_.size()) return kE_INVALIDARG;
  path = cameras_[index].path;
  return kS_OK;
}

HResult UvcPlatform::BindDevice(std::size_t index, std::unique_ptr<BoundDevice>& device) {
  device.reset();
  lastError_.clear();
  if (index >= cameras_.size()) return Fail(kE_INVALIDARG, "no device " + std::to_string(index));
  const Camera& camera = cameras_[index];
  const SysResult opened = system_.Open(camera.path, kOpenFlags);
  if (opened.value < 0) {
    const HResult r = OpenResult(opened.error);
    return Fail(r, r == kE_ACCESSDENIED ? PermissionText(camera.path, opened.error)
                                        : "cannot open " + camera.path + " (" + ErrnoText(opened.error) + ")");
  }
  const int fd = static_cast<int>(opened.value);
  v4l2_capability caps{};
  const SysResult queried = system_.Ioctl(fd, VIDIOC_QUERYCAP, &caps);
  if (queried.value != 0 || !IsUvcCapture(caps) || FixedText(caps.bus_info, sizeof caps.bus_info) != camera.busInfo ||
      FixedText(caps.card, sizeof caps.card) != camera.card) {
    system_.Close(fd);
    return Fail(kE_DEVICE_NOT_CONNECTED, camera.path + " is no longer the camera \"" + camera.card + "\" found by the enumeration");
  }
  std::optional<VideoControlInterface> topology;
  std::string topologyError;
  ReadTopology(fd, topology, topologyError);
  device = std::make_unique<UvcDevice>(system_, fd, camera.path, std::move(topology), std::move(topologyError));
  return kS_OK;
}

// The node's character device leads through sysfs to its VideoControl interface (the driver binds
// there) and to the USB device above it, whose `descriptors` hold that interface's units.
void UvcPlatform::ReadTopology(int fd, std::optional<VideoControlInterface>& topology, std::string& error) {
  struct stat status {};
  if (const SysResult r = system_.Fstat(fd, status); r.value != 0) {
    error = "cannot stat the video node (" + ErrnoText(r.error) + ")";
    return;
  }
  if (!S_ISCHR(status.st_mode)) {
    error = "the video node is not a character device";
    return;
  }
  const std::string link = std::string(kSysCharDevices) + "/" + std::to_string(major(status.st_rdev)) + ":" +
                           std::to_string(minor(status.st_rdev)) + "/device";
  std::string interfaceDir;
  if (const int e = system_.ResolvePath(link, interfaceDir); e != 0) {
    error = "cannot follow " + link + " (" + ErrnoText(e) + ")";
    return;
  }
  const auto slash = interfaceDir.find_last_of('/');
  if (slash == std::string::npos || slash == 0) {
    error = link + " leads to " + interfaceDir + ", which has no parent USB device";
    return;
  }
  const std::string usbDevice = interfaceDir.substr(0, slash);

  struct Attribute {
    std::string path;
    unsigned base;
    std::uint8_t value = 0;
  };
  Attribute interfaceNumber{interfaceDir + "/bInterfaceNumber", 16};  // sysfs writes it as two hex digits
  Attribute configurationValue{usbDevice + "/bConfigurationValue", 10};
  for (Attribute* a : {&interfaceNumber, &configurationValue}) {
    std::vector<std::uint8_t> text;
    if (const int e = system_.ReadFile(a->path, kMaxAttributeBytes, text); e != 0) {
      error = "cannot read " + a->path + " (" + ErrnoText(e) + ")";
      return;
    }
    const auto value = ParseAttribute(text, a->base);
    if (!value) {
      error = a->path + " does not hold a number (the camera may be unconfigured)";
      return;
    }
    a->value = *value;
  }

  const std::string descriptorsPath = usbDevice + "/descriptors";
  std::vector<std::uint8_t> blob;
  if (const int e = system_.ReadFile(descriptorsPath, kMaxDescriptorBytes, blob); e != 0) {
    error = "cannot read " + descriptorsPath + " (" + ErrnoText(e) + ")";
    return;
  }
  const DescriptorParse parse = ParseUsbDescriptors(blob);
  if (!parse.Ok()) {
    error = descriptorsPath + ": " + parse.error;
    return;
  }
  const VideoControlInterface* vc = FindVideoControl(parse, configurationValue.value, interfaceNumber.value);
  if (vc == nullptr) {
    error = descriptorsPath + " has no VideoControl interface " + std::to_string(interfaceNumber.value) +
            " in configuration " + std::to_string(configurationValue.value);
    return;
  }
  topology = *vc;
}

}  // namespace torvane::platform::uvc
