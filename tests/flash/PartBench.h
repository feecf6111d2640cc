// The simulated camera's own controller and flash model carrying a flash part that the simulator's
// catalogue does not have, behind the camera-platform layer: for identification answers that real
// benches meet and no catalogue part gives (C2 20 15, a 0xD7 status 0x1C, 7F 7F ...).
//
// One camera, four topology nodes, the extension unit at node 2; requests are checked as the simulated
// camera checks them (property set, node, flags, selector, payload length) before the controller
// answers. No request log: the tests read the controller's SPI log.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/CameraPlatform.h"
#include "platform/Clock.h"
#include "simcam/Controller.h"
#include "simcam/FlashCatalogue.h"
#include "simcam/SimCamera.h"
#include "simcam/SimConfig.h"

namespace torvane::flash::test {

class PartBench final : public platform::CameraPlatform {
 public:
  // `part` must outlive the bench.
  explicit PartBench(const simcam::FlashPart& part) : controller_(config_, part, clock_, faults_, spi_, 0) {}

  platform::HResult EnumerateDevices(std::size_t& count) override {
    count = 1;
    return platform::kS_OK;
  }
  platform::HResult ReadFriendlyName(std::size_t, std::string& name) override {
    name = "Zidiz USB Camera";
    return platform::kS_OK;
  }
  platform::HResult ReadDevicePath(std::size_t, std::string& path) override {
    path = "/dev/video0";
    return platform::kS_OK;
  }
  platform::HResult BindDevice(std::size_t, std::unique_ptr<platform::BoundDevice>& device) override {
    device = std::make_unique<Device>(controller_);
    return platform::kS_OK;
  }

  platform::VirtualClock& Clock() { return clock_; }
  const std::vector<simcam::SpiTransaction>& SpiLog() const { return spi_; }
  bool PortOpen() const { return controller_.PortOpen(); }

 private:
  static constexpr std::uint32_t kNodes = 4;
  static constexpr std::uint32_t kUnitNode = 2;

  class Device final : public platform::BoundDevice {
   public:
    explicit Device(simcam::Controller& controller) : controller_(controller) {}
    platform::HResult NodeCount(std::uint32_t& count) override {
      count = kNodes;
      return platform::kS_OK;
    }
    platform::HResult NodeType(std::uint32_t node, platform::Guid& type) override {
      if (node >= kNodes) return platform::kE_INVALIDARG;
      type = node == kUnitNode ? platform::KSNODETYPE_DEV_SPECIFIC : platform::Guid{};
      return platform::kS_OK;
    }
    platform::HResult KsProperty(const platform::KsNodeProperty& p, std::span<std::uint8_t> data) override {
      using namespace platform;
      if (p.set != simcam::kExtensionUnitSet || p.nodeId != kUnitNode) return kE_PROP_ID_UNSUPPORTED;
      if (p.flags == (KSPROPERTY_TYPE_SETSUPPORT | KSPROPERTY_TYPE_TOPOLOGY)) {
        return p.id == simcam::kSelectorProbe && data.empty() ? kS_OK : kE_INVALIDARG;
      }
      if (p.id == simcam::kSelectorProbe || !controller_.HasSelector(p.id)) return kE_PROP_ID_UNSUPPORTED;
      const bool set = p.flags == (KSPROPERTY_TYPE_SET | KSPROPERTY_TYPE_TOPOLOGY);
      const bool get = p.flags == (KSPROPERTY_TYPE_GET | KSPROPERTY_TYPE_TOPOLOGY);
      if (!set && !get) return kE_INVALIDARG;
      if (!LengthFits(p.id, data.size())) return kE_INVALIDARG;
      return set ? controller_.Set(p.id, data) : controller_.Get(p.id, data);
    }
    platform::PropertySetInterface* QueryPropertySet() override { return nullptr; }

   private:
    static bool LengthFits(std::uint32_t selector, std::size_t length) {
      switch (selector) {
        case simcam::kSelectorRegister:
          return length == 4;
        case simcam::kSelectorTarget:
          return length == 8;
        case simcam::kSelectorWindow:
          return length == 11 || length == 12;
        default:
          return length == 12;
      }
    }
    simcam::Controller& controller_;
  };

  simcam::ControllerConfig config_;
  simcam::FaultConfig faults_;
  platform::VirtualClock clock_;
  std::vector<simcam::SpiTransaction> spi_;
  simcam::Controller controller_;
};

}  // namespace torvane::flash::test
