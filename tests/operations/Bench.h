// One simulated camera with the operations' context and a recorder beside it, for the operations' tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "operations/CameraContext.h"
#include "simcam/SimCamera.h"
#include "tests/operations/RecordingControls.h"

namespace torvane::operations::testing {

struct Bench {
  explicit Bench(const simcam::SimConfig& config = simcam::SimConfig{})
      : sim(config), context(sim, sim.Clock(), console) {}

  // Finds the camera as the dialog does before every operation, and forgets what that sent.
  void FindCamera() {
    ASSERT_EQ(context.link.FindCamera(), 0);
    sim.ClearLogs();
  }

  std::vector<std::uint8_t>& Flash() { return sim.Flash().Contents(); }

  // The property requests of the flash window (selector 3) that the dialog-level link sends: 11 bytes.
  std::vector<simcam::RequestRecord> DialogWindowSets() const {
    std::vector<simcam::RequestRecord> found;
    for (const auto& r : sim.Requests()) {
      if (r.id == simcam::kSelectorWindow && r.flags == kSet && r.sent.size() == 11) found.push_back(r);
    }
    return found;
  }

  static constexpr std::uint32_t kSet = 0x10000002;
  static constexpr std::uint32_t kGet = 0x10000001;

  simcam::SimCamera sim;
  std::ostringstream console;
  CameraContext context;
  RecordingControls controls;
};

// Flash address of a dialog-level window request: bank bit from the control byte, then the 16 bits.
inline std::uint32_t WindowAddress(const simcam::RequestRecord& r) {
  const std::uint32_t bank = (r.sent[2] & 0x10) != 0 ? 0x10000 : 0;
  return bank | static_cast<std::uint32_t>(r.sent[0] | (r.sent[1] << 8));
}
inline bool IsWindowRead(const simcam::RequestRecord& r) { return (r.sent[2] & 0x80) != 0; }

}  // namespace torvane::operations::testing
