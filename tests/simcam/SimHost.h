// A minimal host for driving the simulated camera through the camera-platform layer in tests: raw
// extension-unit requests, register accesses, and SPI commands through the flash port registers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "simcam/SimCamera.h"

namespace torvane::simcam::test {

constexpr std::uint32_t kSet = platform::KSPROPERTY_TYPE_SET | platform::KSPROPERTY_TYPE_TOPOLOGY;
constexpr std::uint32_t kGet = platform::KSPROPERTY_TYPE_GET | platform::KSPROPERTY_TYPE_TOPOLOGY;
constexpr std::uint32_t kSetSupport = platform::KSPROPERTY_TYPE_SETSUPPORT | platform::KSPROPERTY_TYPE_TOPOLOGY;
constexpr std::uint32_t kUnitNode = 2;

class SimHost {
 public:
  explicit SimHost(SimCamera& sim, std::size_t device = 0) : sim_(sim) {
    EXPECT_EQ(sim.BindDevice(device, device_), platform::kS_OK);
  }

  platform::BoundDevice& Device() { return *device_; }

  platform::HResult Request(std::uint32_t selector, std::uint32_t flags, Bytes& payload,
                            std::uint32_t node = kUnitNode) {
    platform::KsNodeProperty p;
    p.set = kExtensionUnitSet;
    p.id = selector;
    p.flags = flags;
    p.nodeId = node;
    return device_->KsProperty(p, payload);
  }
  platform::HResult Set(std::uint32_t selector, Bytes payload) { return Request(selector, kSet, payload); }
  // A get with a zeroed buffer of `length`; the answer is left in `answer`.
  platform::HResult Get(std::uint32_t selector, std::size_t length, Bytes& answer) {
    answer.assign(length, 0);
    return Request(selector, kGet, answer);
  }

  void WriteReg(std::uint16_t address, std::uint8_t value) {
    ASSERT_EQ(Set(1, {static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(address >> 8), value, 0x00}),
              platform::kS_OK);
  }
  std::uint8_t ReadReg(std::uint16_t address) {
    EXPECT_EQ(Set(1, {static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(address >> 8), 0x00, 0xFF}),
              platform::kS_OK);
    Bytes answer;
    EXPECT_EQ(Get(1, 4, answer), platform::kS_OK);
    return answer[2];
  }

  // The flash port, byte by byte.
  void Open() { WriteReg(reg::kSfPortEnable, 1); }
  void Close() { WriteReg(reg::kSfPortEnable, 0); }
  void Select() { WriteReg(reg::kSfChipSelect, 0); }
  void Deselect() { WriteReg(reg::kSfChipSelect, 1); }
  void WaitReady() {
    for (int poll = 0; poll < 1000 && ReadReg(reg::kSfPortStatus) != 1; ++poll) sim_.Clock().SleepMs(1);
  }
  void Send(std::uint8_t b) {
    WriteReg(reg::kSfTxData, b);
    WriteReg(reg::kSfTransferControl, 1);
    WaitReady();
  }
  std::uint8_t Receive() {
    WriteReg(reg::kSfRxData, 0);
    WriteReg(reg::kSfTransferControl, 2);
    WaitReady();
    return ReadReg(reg::kSfRxData);
  }
  // One framed command on an open port: select, send, receive `receive` bytes, deselect.
  Bytes Command(const Bytes& out, std::size_t receive = 0) {
    Select();
    for (const std::uint8_t b : out) Send(b);
    Bytes in;
    for (std::size_t i = 0; i < receive; ++i) in.push_back(Receive());
    Deselect();
    return in;
  }
  std::uint8_t ReadStatus() { return Command({opcode::kReadStatus}, 1)[0]; }

  // The flash window (11-byte form): a read request and one fetch.
  Bytes WindowRead(std::uint16_t address, std::uint8_t control) {
    EXPECT_EQ(Set(3, {static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(address >> 8), control, 0, 0, 0,
                      0, 0, 0, 0, 0}),
              platform::kS_OK);
    return Fetch();
  }
  Bytes Fetch() {
    Bytes answer;
    EXPECT_EQ(Get(3, 11, answer), platform::kS_OK);
    return Bytes(answer.begin() + 3, answer.end());
  }
  platform::HResult WindowWrite(std::uint16_t address, std::uint8_t control, const Bytes& data) {
    Bytes payload{static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(address >> 8), control};
    payload.insert(payload.end(), data.begin(), data.end());
    payload.resize(11, 0);
    return Set(3, payload);
  }

 private:
  SimCamera& sim_;
  std::unique_ptr<platform::BoundDevice> device_;
};

}  // namespace torvane::simcam::test
