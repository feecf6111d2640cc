#include "simcam/SimCamera.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace torvane::simcam {

using platform::HResult;

Bytes SpiTransaction::Sent() const {
  Bytes b;
  for (const SpiByte& x : bytes)
    if (!x.receive) b.push_back(x.out);
  return b;
}

Bytes SpiTransaction::Received() const {
  Bytes b;
  for (const SpiByte& x : bytes)
    if (x.receive) b.push_back(x.in);
  return b;
}

Bytes SpiTransaction::Out() const {
  Bytes b;
  for (const SpiByte& x : bytes) b.push_back(x.out);
  return b;
}

Bytes SpiTransaction::In() const {
  Bytes b;
  for (const SpiByte& x : bytes) b.push_back(x.in);
  return b;
}

namespace {

// Types of the topology nodes that are not the extension unit (camera terminal, processing unit,
// streaming output); what matters is only that they are not the vendor-specific type.
const platform::Guid kOtherNodeTypes[] = {
    platform::Guid::FromString("{DFF229E1-F70F-11D0-B917-00A0C9223196}"),
    platform::Guid::FromString("{DFF229E5-F70F-11D0-B917-00A0C9223196}"),
    platform::Guid::FromString("{DFF229E4-F70F-11D0-B917-00A0C9223196}"),
};

// Payload lengths of the unit's controls; selector 3 takes the 11-byte and the 12-byte form.
bool PayloadLengthFits(std::uint32_t selector, std::size_t length) {
  switch (selector) {
    case kSelectorRegister:
      return length == 4;
    case kSelectorTarget:
      return length == 8;
    case kSelectorWindow:
      return length == 11 || length == 12;
    case kSelectorBlockRead:
    case kSelectorDeviceInfo:
      return length == 12;
    default:
      return false;
  }
}

// The chip-id fallback block: ten little-endian 32-bit words.
constexpr std::size_t kFallbackBlockBytes = 40;
constexpr std::size_t kFallbackWordDirection = 5;  // 2 in the set, 1 in the get
constexpr std::size_t kFallbackWordRegister = 6;
constexpr std::size_t kFallbackWordValue = 7;
constexpr std::uint32_t kFallbackSet = 2;
constexpr std::uint32_t kFallbackGet = 1;

std::uint32_t Word(std::span<const std::uint8_t> block, std::size_t index) {
  std::uint32_t v = 0;
  for (std::size_t b = 0; b < 4; ++b) v |= static_cast<std::uint32_t>(block[4 * index + b]) << (8 * b);
  return v;
}

}  // namespace

struct SimCamera::Core {
  explicit Core(const SimConfig& c) : config(c) {}

  struct Device {
    std::unique_ptr<Controller> controller;  // null for a device that is not a camera
    std::uint16_t fallbackRegister = 0;      // latched by the property-set interface
  };

  // The tool may reach the camera from its interface thread and from a worker; each request is handled
  // whole under this lock. The test accessors do not take it: read the logs while the tool is idle.
  std::mutex mutex;
  SimConfig config;
  platform::VirtualClock clock;
  const FlashPart* part = &DefaultFlashPart();
  std::vector<Device> devices;
  std::vector<RequestRecord> requests;
  std::vector<SpiTransaction> spi;
  std::uint64_t requestCount = 0;
  std::string lastError;

  const DeviceConfig& Config(std::size_t index) const { return config.devices[index]; }
  bool IsCamera(std::size_t index) const { return devices[index].controller != nullptr; }

  // Numbers the request, spends its latency and applies the request-level faults. kS_OK lets it through.
  HResult Arrive(RequestRecord& record, std::uint32_t id) {
    record.number = ++requestCount;
    record.timeMs = clock.NowMs();
    const TimingConfig& t = config.timing;
    if (t.requestLatencyMs != 0) {
      clock.Advance(t.requestLatencyMs);
      if (t.realLatency) std::this_thread::sleep_for(std::chrono::milliseconds(t.requestLatencyMs));
    }
    const FaultConfig& f = config.faults;
    if (f.unplugAtRequest != 0 && record.number >= f.unplugAtRequest) return platform::kE_DEVICE_NOT_CONNECTED;
    if (f.failRequest != 0 && record.number == f.failRequest) return platform::kE_FAIL;
    if (f.failSelector && *f.failSelector == id) return platform::kE_FAIL;
    return platform::kS_OK;
  }

  HResult KsProperty(std::size_t index, const platform::KsNodeProperty& p, std::span<std::uint8_t> data) {
    const std::lock_guard lock(mutex);
    RequestRecord record;
    record.device = index;
    record.kind = RequestKind::KsProperty;
    record.set = p.set;
    record.id = p.id;
    record.flags = p.flags;
    record.node = p.nodeId;
    record.sent.assign(data.begin(), data.end());
    HResult r = Arrive(record, p.id);
    if (r == platform::kS_OK) r = Dispatch(index, p, data);
    record.answered.assign(data.begin(), data.end());
    record.result = r;
    requests.push_back(std::move(record));
    return r;
  }

  HResult Dispatch(std::size_t index, const platform::KsNodeProperty& p, std::span<std::uint8_t> data) {
    using namespace platform;
    if (!IsCamera(index) || config.faults.noExtensionUnit) return kE_PROP_ID_UNSUPPORTED;
    if (p.set != kExtensionUnitSet || p.nodeId != Config(index).extensionUnitNode) return kE_PROP_ID_UNSUPPORTED;
    // The request's reserved field is not looked at, as the platform's drivers do not look at it.
    Controller& c = *devices[index].controller;
    if (p.flags == (KSPROPERTY_TYPE_SETSUPPORT | KSPROPERTY_TYPE_TOPOLOGY)) {
      // The support probe names the property set as a whole: property id 0 and no data.
      return p.id == kSelectorProbe && data.empty() ? kS_OK : kE_INVALIDARG;
    }
    if (p.id == kSelectorProbe || !c.HasSelector(p.id)) return kE_PROP_ID_UNSUPPORTED;
    const bool set = p.flags == (KSPROPERTY_TYPE_SET | KSPROPERTY_TYPE_TOPOLOGY);
    const bool get = p.flags == (KSPROPERTY_TYPE_GET | KSPROPERTY_TYPE_TOPOLOGY);
    if (!set && !get) return kE_INVALIDARG;
    if (!PayloadLengthFits(p.id, data.size())) return kE_INVALIDARG;
    return set ? c.Set(p.id, data) : c.Get(p.id, data);
  }

  HResult PropertySet(std::size_t index, bool isSet, const platform::Guid& set, std::uint32_t id,
                      std::span<const std::uint8_t> instance, std::span<std::uint8_t> data) {
    const std::lock_guard lock(mutex);
    RequestRecord record;
    record.device = index;
    record.kind = isSet ? RequestKind::PropertySetSet : RequestKind::PropertySetGet;
    record.set = set;
    record.id = id;
    record.sent.assign(data.begin(), data.end());
    HResult r = Arrive(record, id);
    if (r == platform::kS_OK) r = PropertySetDispatch(index, isSet, set, id, instance, data);
    record.answered.assign(data.begin(), data.end());
    record.result = r;
    requests.push_back(std::move(record));
    return r;
  }

  HResult PropertySetDispatch(std::size_t index, bool isSet, const platform::Guid& set, std::uint32_t id,
                              std::span<const std::uint8_t> instance, std::span<std::uint8_t> data) {
    using namespace platform;
    const ChipIdFallback answering = config.controller.chipIdFallback;
    const bool answers = IsCamera(index) && ((answering == ChipIdFallback::First && set == kChipIdPropertySetFirst) ||
                                             (answering == ChipIdFallback::Second && set == kChipIdPropertySetSecond));
    if (!answers) return kE_PROP_ID_UNSUPPORTED;
    if (id != 0 || instance.size() != kFallbackBlockBytes || data.size() != kFallbackBlockBytes) return kE_INVALIDARG;
    Device& d = devices[index];
    const std::uint32_t direction = Word(instance, kFallbackWordDirection);
    if (isSet && direction == kFallbackSet) {
      d.fallbackRegister = static_cast<std::uint16_t>(Word(instance, kFallbackWordRegister));
      return kS_OK;
    }
    if (!isSet && direction == kFallbackGet) {
      const std::uint8_t value = d.controller->ReadRegister(d.fallbackRegister);
      const std::size_t at = 4 * kFallbackWordValue;
      data[at] = value;
      data[at + 1] = data[at + 2] = data[at + 3] = 0;
      return kS_OK;
    }
    return kE_INVALIDARG;
  }
};

namespace {

class SimBoundDevice final : public platform::BoundDevice, public platform::PropertySetInterface {
 public:
  SimBoundDevice(std::shared_ptr<SimCamera::Core> core, std::size_t index) : core_(std::move(core)), index_(index) {}

  HResult NodeCount(std::uint32_t& count) override {
    const DeviceConfig& d = core_->Config(index_);
    if (!d.topologyReadable) return platform::kE_FAIL;
    count = d.nodeCount;
    return platform::kS_OK;
  }

  HResult NodeType(std::uint32_t node, platform::Guid& type) override {
    const DeviceConfig& d = core_->Config(index_);
    if (!d.topologyReadable || node >= d.nodeCount) return platform::kE_INVALIDARG;
    if (core_->IsCamera(index_) && node == d.extensionUnitNode && !core_->config.faults.noExtensionUnit) {
      type = platform::KSNODETYPE_DEV_SPECIFIC;
    } else {
      type = kOtherNodeTypes[node % std::size(kOtherNodeTypes)];
    }
    return platform::kS_OK;
  }

  HResult KsProperty(const platform::KsNodeProperty& property, std::span<std::uint8_t> data) override {
    return core_->KsProperty(index_, property, data);
  }

  platform::PropertySetInterface* QueryPropertySet() override {
    if (core_->IsCamera(index_) && core_->config.controller.chipIdFallback == ChipIdFallback::Absent) return nullptr;
    return this;
  }

  HResult Set(const platform::Guid& set, std::uint32_t id, std::span<const std::uint8_t> instance,
              std::span<const std::uint8_t> data) override {
    std::vector<std::uint8_t> copy(data.begin(), data.end());  // a set does not write back
    return core_->PropertySet(index_, true, set, id, instance, copy);
  }

  HResult Get(const platform::Guid& set, std::uint32_t id, std::span<const std::uint8_t> instance,
              std::span<std::uint8_t> data) override {
    return core_->PropertySet(index_, false, set, id, instance, data);
  }

 private:
  std::shared_ptr<SimCamera::Core> core_;
  std::size_t index_;
};

}  // namespace

SimCamera::SimCamera(const SimConfig& config) : core_(std::make_shared<Core>(config)) {
  Core& c = *core_;
  if (c.config.flash.customPart) {
    c.part = &*c.config.flash.customPart;  // the core keeps this copy of the configuration for its life
  } else if (const FlashPart* part = FindFlashPart(c.config.flash.part)) {
    c.part = part;
  } else {
    c.lastError = "unknown flash part \"" + c.config.flash.part + "\"";
  }
  for (std::size_t i = 0; i < c.config.devices.size(); ++i) {
    Core::Device d;
    if (c.config.devices[i].kind == DeviceConfig::Kind::Camera) {
      d.controller = std::make_unique<Controller>(c.config.controller, *c.part, c.clock, c.config.faults, c.spi, i);
      if (c.config.flash.status) d.controller->Flash().SetStatus(*c.config.flash.status);
      std::string error;
      if (!c.config.flash.file.empty() && !d.controller->Flash().Load(c.config.flash.file, error) &&
          c.lastError.empty())
        c.lastError = error;
    }
    c.devices.push_back(std::move(d));
  }
}

SimCamera::~SimCamera() = default;

std::unique_ptr<SimCamera> SimCamera::FromConfigFile(const std::string& path, std::string& error) {
  ConfigParseResult parsed = LoadSimConfigFile(path);
  if (!parsed.config) {
    error = parsed.error;
    return nullptr;
  }
  auto sim = std::make_unique<SimCamera>(*parsed.config);
  if (!sim->LastError().empty()) {
    error = path + ": " + sim->LastError();
    return nullptr;
  }
  return sim;
}

HResult SimCamera::EnumerateDevices(std::size_t& count) {
  if (core_->config.enumerationFails) return platform::kE_FAIL;
  count = core_->devices.size();
  return count == 0 ? platform::kS_FALSE : platform::kS_OK;
}

HResult SimCamera::ReadFriendlyName(std::size_t index, std::string& name) {
  if (index >= core_->devices.size()) return platform::kE_INVALIDARG;
  const DeviceConfig& d = core_->Config(index);
  if (!d.friendlyNameReadable) return platform::kE_FAIL;
  name = d.friendlyName;
  return platform::kS_OK;
}

HResult SimCamera::ReadDevicePath(std::size_t index, std::string& path) {
  if (index >= core_->devices.size()) return platform::kE_INVALIDARG;
  const DeviceConfig& d = core_->Config(index);
  if (!d.devicePathReadable || (core_->IsCamera(index) && core_->config.faults.unreadableDevicePath))
    return platform::kE_FAIL;
  path = d.devicePath;
  return platform::kS_OK;
}

HResult SimCamera::BindDevice(std::size_t index, std::unique_ptr<platform::BoundDevice>& device) {
  if (index >= core_->devices.size()) return platform::kE_INVALIDARG;
  if (!core_->Config(index).bindable) return platform::kE_NOINTERFACE;
  device = std::make_unique<SimBoundDevice>(core_, index);
  return platform::kS_OK;
}

platform::VirtualClock& SimCamera::Clock() { return core_->clock; }

Controller& SimCamera::Camera(std::size_t deviceIndex) {
  if (deviceIndex >= core_->devices.size() || !core_->IsCamera(deviceIndex)) {
    std::fprintf(stderr, "simulated device %zu is not a camera\n", deviceIndex);
    std::abort();
  }
  return *core_->devices[deviceIndex].controller;
}

Controller& SimCamera::Camera() {
  for (std::size_t i = 0; i < core_->devices.size(); ++i)
    if (core_->IsCamera(i)) return *core_->devices[i].controller;
  std::fprintf(stderr, "the simulator has no camera device\n");
  std::abort();
}

FaultConfig& SimCamera::Faults() { return core_->config.faults; }
TimingConfig& SimCamera::Timing() { return core_->config.timing; }
const SimConfig& SimCamera::Config() const { return core_->config; }

const std::vector<RequestRecord>& SimCamera::Requests() const { return core_->requests; }
const std::vector<SpiTransaction>& SimCamera::SpiLog() const { return core_->spi; }

std::vector<SpiTransaction> SimCamera::HostSpiLog() const {
  std::vector<SpiTransaction> host;
  for (const SpiTransaction& t : core_->spi)
    if (t.source == SpiSource::Host) host.push_back(t);
  return host;
}

std::vector<RegisterAccess> SimCamera::RegisterAccesses() const {
  std::vector<RegisterAccess> accesses;
  for (const RequestRecord& r : core_->requests) {
    if (r.kind != RequestKind::KsProperty || r.id != kSelectorRegister || r.result != platform::kS_OK) continue;
    const bool set = (r.flags & platform::KSPROPERTY_TYPE_SET) != 0;
    const Bytes& p = set ? r.sent : r.answered;
    const auto address = static_cast<std::uint16_t>(p[0] | p[1] << 8);
    if (set && p[3] == 0x00) accesses.push_back({RegisterAccess::Kind::Write, address, p[2]});
    if (!set) accesses.push_back({RegisterAccess::Kind::Read, address, p[2]});
  }
  return accesses;
}

void SimCamera::ClearLogs() {
  core_->requests.clear();
  core_->spi.clear();
  for (Core::Device& d : core_->devices)
    if (d.controller) d.controller->LogCleared();
}

std::uint64_t SimCamera::RequestCount() const { return core_->requestCount; }

bool SimCamera::SaveFlash(std::string& error) const {
  if (core_->config.flash.file.empty()) {
    error = "no flash file is configured";
    return false;
  }
  return SaveFlash(core_->config.flash.file, error);
}

bool SimCamera::SaveFlash(const std::string& path, std::string& error) const {
  for (const Core::Device& d : core_->devices)
    if (d.controller) return d.controller->Flash().Save(path, error);
  error = "the simulator has no camera device";
  return false;
}

bool SimCamera::LoadFlash(const std::string& path, std::string& error) {
  for (Core::Device& d : core_->devices)
    if (d.controller) return d.controller->Flash().Load(path, error);
  error = "the simulator has no camera device";
  return false;
}

const std::string& SimCamera::LastError() const { return core_->lastError; }

}  // namespace torvane::simcam
