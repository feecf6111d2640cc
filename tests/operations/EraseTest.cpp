// The erase against the simulated camera: the flash it leaves, the sampled check's reads, its progress and
// its failures.
#include <algorithm>
#include <functional>
#include <ostream>
#include <optional>
#include <utility>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "operations/Operations.h"
#include "tests/operations/Bench.h"

namespace torvane::operations::testing {
namespace {

using Event = ControlEvent;

TEST(Erase, LeavesTheFlashBlankAfterReadingOneGroupInFour) {
  Bench bench;
  std::fill(bench.Flash().begin(), bench.Flash().end(), std::uint8_t{0x00});
  bench.FindCamera();

  EXPECT_EQ(EraseAndCheck(bench.context, bench.controls), 1);
  EXPECT_TRUE(std::all_of(bench.Flash().begin(), bench.Flash().end(), [](std::uint8_t b) { return b == 0xFF; }));
  EXPECT_EQ(bench.context.link.HighBankFlag, 0u);

  std::vector<std::uint32_t> reads;
  for (const auto& r : bench.DialogWindowSets()) {
    ASSERT_TRUE(IsWindowRead(r));
    EXPECT_EQ(r.sent[2], WindowAddress(r) < 0x10000 ? 0x88 : 0x98);
    reads.push_back(WindowAddress(r));
  }
  ASSERT_EQ(reads.size(), 4096u);
  for (std::size_t i = 0; i < reads.size(); ++i) ASSERT_EQ(reads[i], 32 * i);
  EXPECT_EQ(reads.back(), 131040u);

  EXPECT_EQ(bench.controls.EventsWithoutPositionsOf(kBarStep),
            (std::vector<Event>{Event::SetText(kStatusLine, "Erasing..."), Event::Range(kBarStep, 0, 6552)}));
  std::vector<int> positions{1};
  for (int a = 0; a < 131064; a += 32) positions.push_back(a / 10);
  EXPECT_EQ(bench.controls.PositionsOf(kBarStep), positions);
}

TEST(Erase, WriteProtectionStaysOffForTheNextBurn) {
  Bench bench;
  bench.FindCamera();
  ASSERT_EQ(EraseAndCheck(bench.context, bench.controls), 1);
  // The status register was cleared and nothing set it again.
  EXPECT_EQ(bench.sim.Flash().Status() & 0x9C, 0);
}

struct EraseCase {
  const char* name;
  std::function<void(simcam::SimConfig&)> configure;
  // A sampled group the erase does not clear; only its bytes 0 and 5 are set here.
  std::optional<std::pair<std::uint8_t, std::uint8_t>> strayBytes;
  std::vector<std::string> messages;
  int result;
};

std::vector<EraseCase> EraseCases() {
  const auto ignoresErase = [](simcam::SimConfig& config) { config.faults.flashIgnoresErase = true; };
  return {
      {"DeviceInformationRefused", [](auto& config) { config.faults.failSelector = simcam::kSelectorDeviceInfo; },
       std::nullopt, {"Disable Flash Write Protect Failed!"}, 0},
      {"EveryReadFails", [](auto& config) { config.faults.failSelector = simcam::kSelectorWindow; }, std::nullopt,
       {"Check Flash Erase Failed!"}, 0},
      {"FirstByteOnly", ignoresErase, std::pair<std::uint8_t, std::uint8_t>{0x00, 0xFF}, {}, 1},
      {"SixthByteOnly", ignoresErase, std::pair<std::uint8_t, std::uint8_t>{0xFF, 0x00}, {}, 1},
      {"FirstAndSixthBytes", ignoresErase, std::pair<std::uint8_t, std::uint8_t>{0x00, 0x00},
       {"Check Flash Erase Failed!"}, 0},
  };
}

void PrintTo(const EraseCase& c, std::ostream* out) { *out << c.name; }

class EraseFailure : public ::testing::TestWithParam<EraseCase> {};

TEST_P(EraseFailure, ShowsItsMessageAndResult) {
  const EraseCase& c = GetParam();
  simcam::SimConfig config;
  c.configure(config);
  Bench bench(config);
  if (c.strayBytes) {
    // In the upper bank, to show that the check reads there too.
    bench.Flash()[0x1F000] = c.strayBytes->first;
    bench.Flash()[0x1F005] = c.strayBytes->second;
  }
  bench.FindCamera();
  EXPECT_EQ(EraseAndCheck(bench.context, bench.controls), c.result);
  EXPECT_EQ(bench.controls.Messages(), c.messages);
  EXPECT_EQ(bench.context.link.HighBankFlag, 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, EraseFailure, ::testing::ValuesIn(EraseCases()),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace torvane::operations::testing
