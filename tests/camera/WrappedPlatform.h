// Test support: the simulated camera seen through a thin wrapper, for the few situations a healthy
// controller never produces: an answer altered on its way back (a block read that claims more bytes
// than its window holds), devices that vanish between two discoveries, and a count of the bound
// devices still held. Every request still reaches the simulator and its log.
#pragma once

#include <functional>
#include <memory>
#include <span>

#include "platform/CameraPlatform.h"

namespace torvane::camera::test {

// Rewrites an answer after the wrapped device produced it.
using AnswerHook = std::function<void(const platform::KsNodeProperty&, std::span<std::uint8_t>)>;

class WrappedDevice final : public platform::BoundDevice {
 public:
  WrappedDevice(std::unique_ptr<platform::BoundDevice> inner, const AnswerHook& hook, int& live)
      : inner_(std::move(inner)), hook_(hook), live_(live) {
    ++live_;
  }
  ~WrappedDevice() override { --live_; }
  WrappedDevice(const WrappedDevice&) = delete;
  WrappedDevice& operator=(const WrappedDevice&) = delete;

  platform::HResult NodeCount(std::uint32_t& count) override { return inner_->NodeCount(count); }
  platform::HResult NodeType(std::uint32_t node, platform::Guid& type) override { return inner_->NodeType(node, type); }
  platform::HResult KsProperty(const platform::KsNodeProperty& property, std::span<std::uint8_t> data) override {
    const platform::HResult r = inner_->KsProperty(property, data);
    if (r == platform::kS_OK && hook_) hook_(property, data);
    return r;
  }
  platform::PropertySetInterface* QueryPropertySet() override { return inner_->QueryPropertySet(); }

 private:
  std::unique_ptr<platform::BoundDevice> inner_;
  const AnswerHook& hook_;
  int& live_;
};

class WrappedPlatform final : public platform::CameraPlatform {
 public:
  explicit WrappedPlatform(platform::CameraPlatform& inner) : inner_(inner) {}

  platform::HResult EnumerateDevices(std::size_t& count) override {
    if (devicesGone) {
      count = 0;
      return platform::kS_FALSE;
    }
    return inner_.EnumerateDevices(count);
  }
  platform::HResult ReadFriendlyName(std::size_t index, std::string& name) override {
    return inner_.ReadFriendlyName(index, name);
  }
  platform::HResult ReadDevicePath(std::size_t index, std::string& path) override {
    return inner_.ReadDevicePath(index, path);
  }
  platform::HResult BindDevice(std::size_t index, std::unique_ptr<platform::BoundDevice>& device) override {
    std::unique_ptr<platform::BoundDevice> inner;
    const platform::HResult r = inner_.BindDevice(index, inner);
    if (inner) device = std::make_unique<WrappedDevice>(std::move(inner), answerHook, liveDevices);
    return r;
  }

  AnswerHook answerHook;
  bool devicesGone = false;  // the next enumerations find no video input device
  int liveDevices = 0;       // bound devices not yet released

 private:
  platform::CameraPlatform& inner_;
};

}  // namespace torvane::camera::test
