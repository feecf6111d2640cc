#include "simcam/SimConfig.h"

#include <charconv>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <set>

#include "simcam/FlashCatalogue.h"

namespace torvane::simcam {

namespace {

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

// Decimal or 0x-prefixed hexadecimal, within [0, max].
std::optional<std::uint64_t> ParseNumber(std::string_view text, std::uint64_t max) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc{} || end != text.data() + text.size() || value > max) return std::nullopt;
  return value;
}

std::optional<bool> ParseBool(std::string_view text) {
  if (text == "yes" || text == "on" || text == "true" || text == "1") return true;
  if (text == "no" || text == "off" || text == "false" || text == "0") return false;
  return std::nullopt;
}

// Parses one value into its place; returns an empty string or what the value should have been.
using Setter = std::function<std::string(std::string_view)>;

template <typename T>
Setter Number(T& field, std::uint64_t min, std::uint64_t max) {
  return [&field, min, max](std::string_view v) -> std::string {
    const auto n = ParseNumber(v, max);
    if (!n || *n < min) return "a number from " + std::to_string(min) + " to " + std::to_string(max);
    field = static_cast<T>(*n);
    return {};
  };
}

template <typename T>
Setter Number(T& field) {
  return Number(field, 0, std::numeric_limits<T>::max());
}

template <typename T>
Setter OptionalNumber(std::optional<T>& field, std::uint64_t max) {
  return [&field, max](std::string_view v) -> std::string {
    const auto n = ParseNumber(v, max);
    if (!n) return "a number from 0 to " + std::to_string(max);
    field = static_cast<T>(*n);
    return {};
  };
}

Setter Bool(bool& field) {
  return [&field](std::string_view v) -> std::string {
    const auto b = ParseBool(v);
    if (!b) return "yes or no";
    field = *b;
    return {};
  };
}

Setter Text(std::string& field) {
  return [&field](std::string_view v) -> std::string {
    field = std::string(v);
    return {};
  };
}

template <typename E>
Setter Choice(E& field, std::vector<std::pair<std::string_view, E>> choices) {
  return [&field, choices = std::move(choices)](std::string_view v) -> std::string {
    std::string names;
    for (const auto& [name, value] : choices) {
      if (name == v) {
        field = value;
        return {};
      }
      names += (names.empty() ? "" : ", ") + std::string(name);
    }
    return "one of " + names;
  };
}

Setter Part(std::string& field) {
  return [&field](std::string_view v) -> std::string {
    if (FindFlashPart(v) == nullptr) {
      std::string names;
      for (const FlashPart& p : FlashCatalogue()) names += (names.empty() ? "" : ", ") + std::string(p.key);
      return "a flash part of the catalogue: " + names;
    }
    field = std::string(v);
    return {};
  };
}

std::map<std::string, Setter, std::less<>> GlobalKeys(SimConfig& c, bool& noDevices) {
  ControllerConfig& k = c.controller;
  FaultConfig& f = c.faults;
  return {
      {"part", Part(c.flash.part)},
      {"status", OptionalNumber(c.flash.status, 0xFF)},
      {"flash_file", Text(c.flash.file)},
      {"chip_id", Number(k.chipId)},
      {"reg_3c5", Number(k.register3C5)},
      {"device_info_word", Number(k.deviceInfoWord)},
      {"device_info_mode", Number(k.deviceInfoMode)},
      {"block_read", Bool(k.blockRead)},
      {"chip_id_fallback", Choice(k.chipIdFallback, {{"absent", ChipIdFallback::Absent},
                                                     {"refused", ChipIdFallback::Refused},
                                                     {"first", ChipIdFallback::First},
                                                     {"second", ChipIdFallback::Second}})},
      {"wp_pin", Number(k.writeProtectPin, 0, 7)},
      {"wp_pin_undriven", Choice(k.undrivenPinLow, {{"high", false}, {"low", true}})},
      {"port_ready_after", Number(k.portReadyAfterPolls, 0, 1000000)},
      {"latency_ms", Number(c.timing.requestLatencyMs, 0, 60000)},
      {"latency", Choice(c.timing.realLatency, {{"virtual", false}, {"real", true}})},
      {"enumeration", Choice(c.enumerationFails, {{"ok", false}, {"fails", true}})},
      {"devices", Choice(noDevices, {{"none", true}})},
      {"fault.fail_request", Number(f.failRequest)},
      {"fault.unplug_at", Number(f.unplugAtRequest)},
      {"fault.fail_selector", OptionalNumber(f.failSelector, 5)},
      {"fault.port_never_ready", Bool(f.portNeverReady)},
      {"fault.flash_stays_busy", Bool(f.flashStaysBusy)},
      {"fault.flash_ignores_erase", Bool(f.flashIgnoresErase)},
      {"fault.bit_flip_every", Number(f.bitFlipEvery)},
      {"fault.bit_flip_seed", Number(f.bitFlipSeed)},
      {"fault.unreadable_device_path", Bool(f.unreadableDevicePath)},
      {"fault.no_extension_unit", Bool(f.noExtensionUnit)},
  };
}

std::map<std::string, Setter, std::less<>> DeviceKeys(DeviceConfig& d) {
  return {
      {"device.name", Text(d.friendlyName)},
      {"device.path", Text(d.devicePath)},
      {"device.name_readable", Bool(d.friendlyNameReadable)},
      {"device.path_readable", Bool(d.devicePathReadable)},
      {"device.bindable", Bool(d.bindable)},
      {"device.topology_readable", Bool(d.topologyReadable)},
      {"device.nodes", Number(d.nodeCount, 1, 64)},
      {"device.unit_node", Number(d.extensionUnitNode, 0, 63)},
  };
}

DeviceConfig NewDevice(DeviceConfig::Kind kind, std::size_t index) {
  DeviceConfig d;
  d.kind = kind;
  d.devicePath = "/dev/video" + std::to_string(index);
  if (kind == DeviceConfig::Kind::Video) d.friendlyName = "USB Video Device";
  return d;
}

}  // namespace

ConfigParseResult ParseSimConfig(std::string_view text) {
  ConfigParseResult result;
  if (text.size() > kMaxConfigBytes) {
    result.error = "the configuration holds more than " + std::to_string(kMaxConfigBytes) + " bytes";
    return result;
  }
  SimConfig config;
  config.devices.clear();
  bool noDevices = false;
  auto globals = GlobalKeys(config, noDevices);
  std::set<std::string, std::less<>> seenGlobal;
  std::set<std::string, std::less<>> seenDevice;

  std::size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const auto newline = text.find('\n');
    const std::string_view raw = text.substr(0, newline);
    text = newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    if (raw.size() > kMaxConfigLineBytes) {
      result.error = where + "longer than " + std::to_string(kMaxConfigLineBytes) + " characters";
      return result;
    }
    const std::string_view line = Trim(raw);
    if (line.empty() || line.front() == '#') continue;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) {
      result.error = where + "expected \"key = value\", found \"" + std::string(line) + "\"";
      return result;
    }
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    if (value.empty()) {
      result.error = where + "\"" + std::string(key) + "\" has no value";
      return result;
    }

    std::string problem;
    if (key == "device") {
      DeviceConfig::Kind kind{};
      problem = Choice(kind, {{"camera", DeviceConfig::Kind::Camera}, {"video", DeviceConfig::Kind::Video}})(value);
      if (problem.empty()) {
        if (config.devices.size() == kMaxConfigDevices) {
          result.error = where + "more than " + std::to_string(kMaxConfigDevices) + " devices";
          return result;
        }
        config.devices.push_back(NewDevice(kind, config.devices.size()));
        seenDevice.clear();
        continue;
      }
    } else if (key.starts_with("device.")) {
      // Before any "device =" line these keys describe the one default camera.
      if (config.devices.empty()) config.devices.push_back(NewDevice(DeviceConfig::Kind::Camera, 0));
      auto keys = DeviceKeys(config.devices.back());
      const auto it = keys.find(key);
      if (it == keys.end()) {
        result.error = where + "unknown key \"" + std::string(key) + "\"";
        return result;
      }
      if (!seenDevice.insert(std::string(key)).second) {
        result.error = where + "\"" + std::string(key) + "\" given twice for the same device";
        return result;
      }
      problem = it->second(value);
    } else {
      const auto it = globals.find(key);
      if (it == globals.end()) {
        result.error = where + "unknown key \"" + std::string(key) + "\"";
        return result;
      }
      if (!seenGlobal.insert(std::string(key)).second) {
        result.error = where + "\"" + std::string(key) + "\" given twice";
        return result;
      }
      problem = it->second(value);
    }
    if (!problem.empty()) {
      result.error = where + "\"" + std::string(key) + "\" must be " + problem + ", not \"" + std::string(value) + "\"";
      return result;
    }
  }

  if (noDevices && !config.devices.empty()) {
    result.error = "\"devices = none\" and a device are both given";
    return result;
  }
  if (config.devices.empty() && !noDevices) config.devices.push_back(DeviceConfig{});
  for (std::size_t i = 0; i < config.devices.size(); ++i) {
    const DeviceConfig& d = config.devices[i];
    if (d.kind == DeviceConfig::Kind::Camera && d.extensionUnitNode >= d.nodeCount) {
      result.error = "device " + std::to_string(i + 1) + ": \"device.unit_node\" " +
                     std::to_string(d.extensionUnitNode) + " is not below \"device.nodes\" " +
                     std::to_string(d.nodeCount);
      return result;
    }
  }
  result.config = std::move(config);
  return result;
}

ConfigParseResult LoadSimConfigFile(const std::string& path) {
  ConfigParseResult result;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    result.error = "cannot open simulator configuration \"" + path + "\"";
    return result;
  }
  // Reads one byte past the limit so that an oversized file is recognised without reading all of it.
  std::string text(kMaxConfigBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad()) {
    result.error = "cannot read simulator configuration \"" + path + "\"";
    return result;
  }
  text.resize(static_cast<std::size_t>(in.gcount()));
  result = ParseSimConfig(text);
  if (!result.config) result.error = path + ": " + result.error;
  return result;
}

}  // namespace torvane::simcam
