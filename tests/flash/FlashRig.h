// A simulated camera with the tool's objects for one camera link on top of it, as the operations hold
// them: the dialog-level link, the back end, the serial-flash engine beside it, the caller's flash
// selection and a sink that records the messages shown.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "camera/Backend.h"
#include "camera/CameraLink.h"
#include "flash/FlashOperations.h"
#include "flash/SerialFlash.h"
#include "platform/MessageSink.h"
#include "simcam/SimCamera.h"

namespace torvane::flash::test {

using Bytes = std::vector<std::uint8_t>;

class RecordingSink final : public platform::MessageSink {
 public:
  void ShowMessage(const std::string& text) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

inline simcam::SimConfig PartConfig(const std::string& part) {
  simcam::SimConfig config;
  config.flash.part = part;
  return config;
}

struct FlashRig {
  explicit FlashRig(const simcam::SimConfig& config = simcam::SimConfig{})
      : sim(config), link(sim, console), backend(sim, sim.Clock()), flash(backend) {}

  // What the operations have done before they reach the flash engine: the dialog found the camera.
  void FindCamera() { ASSERT_EQ(link.FindCamera(), 0); }
  void Open() { ASSERT_EQ(backend.OpenDevice(), camera::kOpenOk); }
  std::uint64_t Now() { return sim.Clock().NowMs(); }

  simcam::SimCamera sim;
  std::ostringstream console;
  camera::CameraLink link;
  camera::Backend backend;
  SerialFlash flash;
  FlashSelection selection;
  RecordingSink messages;
};

// The tool's own SPI frames (chip select asserted), oldest first, as the bytes it transmitted.
inline std::vector<Bytes> SentFrames(const simcam::SimCamera& sim) {
  std::vector<Bytes> frames;
  for (const simcam::SpiTransaction& t : sim.HostSpiLog()) {
    if (t.selected) frames.push_back(t.Sent());
  }
  return frames;
}

inline std::vector<simcam::SpiTransaction> SelectedFrames(const simcam::SimCamera& sim) {
  std::vector<simcam::SpiTransaction> frames;
  for (const simcam::SpiTransaction& t : sim.HostSpiLog()) {
    if (t.selected) frames.push_back(t);
  }
  return frames;
}

// Register writes to the given addresses, in order.
inline std::vector<simcam::RegisterAccess> WritesTo(const simcam::SimCamera& sim, std::vector<std::uint16_t> addresses) {
  std::vector<simcam::RegisterAccess> writes;
  for (const simcam::RegisterAccess& a : sim.RegisterAccesses()) {
    if (a.kind == simcam::RegisterAccess::Kind::Write &&
        std::find(addresses.begin(), addresses.end(), a.address) != addresses.end()) {
      writes.push_back(a);
    }
  }
  return writes;
}

inline simcam::RegisterAccess W(std::uint16_t address, std::uint8_t value) {
  return {simcam::RegisterAccess::Kind::Write, address, value};
}
inline simcam::RegisterAccess R(std::uint16_t address, std::uint8_t value) {
  return {simcam::RegisterAccess::Kind::Read, address, value};
}

// A recognisable, nowhere-blank pattern to see whether an erase happened.
inline void FillPattern(std::vector<std::uint8_t>& contents) {
  for (std::size_t i = 0; i < contents.size(); ++i) contents[i] = static_cast<std::uint8_t>((i * 7 + 1) % 0xFF);
}
inline bool AllBlank(const std::vector<std::uint8_t>& contents) {
  return std::all_of(contents.begin(), contents.end(), [](std::uint8_t b) { return b == 0xFF; });
}

// Names for parameterised tests.
struct CaseName {
  template <typename Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
    std::string name = info.param.name;
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
  }
};

}  // namespace torvane::flash::test
