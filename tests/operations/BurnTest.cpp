// The burn against the simulated camera: the flash it leaves, the requests it sends, the progress it
// shows, and how each failure ends.
#include <algorithm>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "operations/Operations.h"
#include "rom/SampleImage.h"
#include "tests/operations/Bench.h"

namespace torvane::operations::testing {
namespace {

using Event = ControlEvent;

constexpr std::uint32_t kLastGroup = 0x1FFF8;

std::vector<std::uint8_t> SampleImage(const rom::SampleImageParams& params = {}) {
  auto sample = rom::BuildSampleImage(params);
  EXPECT_EQ(sample.problem, "");
  return sample.bytes;
}

ImageBytes Bytes(const std::vector<std::uint8_t>& image) { return ImageBytes(image.data(), kFlashSize); }

// The groups of `image` below the last one that hold anything but 0xFF, in ascending order.
std::vector<std::uint32_t> NonBlankGroups(const std::vector<std::uint8_t>& image) {
  std::vector<std::uint32_t> groups;
  for (std::uint32_t a = 0; a < kLastGroup; a += 8) {
    if (std::any_of(image.begin() + a, image.begin() + a + 8, [](std::uint8_t b) { return b != 0xFF; }))
      groups.push_back(a);
  }
  return groups;
}

// The progress of a successful burn without the positions of bar 1003, call by call.
std::vector<Event> BurnSteps() {
  return {
      Event::SetText(kStatusLine, "Burning..."),
      Event::Shown(kBarTotal),
      Event::Range(kBarTotal, 0, 9),
      Event::Position(kBarTotal, 0),
      Event::Shown(kLabelEraseAndCheck),
      Event::Range(kBarStep, 0, 2),
      Event::Position(kBarTotal, 0),
      Event::Position(kBarTotal, 1),
      Event::Range(kBarStep, 0, 13004),
      Event::Position(kBarTotal, 3),
      Event::Shown(kLabelEraseOk),
      Event::Shown(kLabelBurning),
      Event::Position(kBarTotal, 6),
      Event::Shown(kLabelBurnOk),
      Event::Shown(kLabelVerify),
      Event::Position(kBarTotal, 8),
      Event::Position(kBarTotal, 9),
      Event::Shown(kLabelVerifyOk),
  };
}

// Bar 1003 through a successful burn: 2 once protection is off, A / 10 through the blank check of one
// group in 128, A / 5 through the programming (restarting at 65536), A / 10 + 100 through the verification.
std::vector<int> BurnStepBar() {
  std::vector<int> positions{2};
  for (int a = 0; a < 130046; a += 1024) positions.push_back(a / 10);
  for (int a = 0; a < 131062; a += 8) positions.push_back((a < 65536 ? a : a - 65536) / 5);
  for (int a = 0; a < 130046; a += 1024) positions.push_back(a / 10 + 100);
  return positions;
}

TEST(Burn, WritesTheSampleImageAndShowsItsProgress) {
  Bench bench;
  // Whatever an earlier firmware left must go; the last group of the image is never programmed.
  std::fill(bench.Flash().begin(), bench.Flash().end(), std::uint8_t{0x00});
  auto image = SampleImage();
  std::fill(image.end() - 8, image.end(), std::uint8_t{0x5A});
  bench.FindCamera();

  const BurnReport report = BurnImage(bench.context, bench.controls, Bytes(image));

  EXPECT_EQ(report.result, 1);
  EXPECT_EQ(bench.controls.Messages(), std::vector<std::string>{});
  EXPECT_EQ(bench.context.link.HighBankFlag, 0u);
  const auto& flash = bench.Flash();
  EXPECT_TRUE(std::equal(flash.begin(), flash.end() - 8, image.begin()));
  EXPECT_TRUE(std::all_of(flash.end() - 8, flash.end(), [](std::uint8_t b) { return b == 0xFF; }));

  // One write per group that is not blank, in order, carrying the image's bytes and the bank bit.
  std::vector<std::uint32_t> written;
  for (const auto& r : bench.DialogWindowSets()) {
    if (IsWindowRead(r)) continue;
    const std::uint32_t a = WindowAddress(r);
    EXPECT_EQ(r.sent[2], a < 0x10000 ? 0x08 : 0x18);
    EXPECT_TRUE(std::equal(r.sent.begin() + 3, r.sent.end(), image.begin() + a)) << a;
    written.push_back(a);
  }
  EXPECT_EQ(written, NonBlankGroups(image));
  EXPECT_LT(written.size(), 16383u);  // the sample has blank groups to skip

  EXPECT_EQ(bench.controls.EventsWithoutPositionsOf(kBarStep), BurnSteps());
  EXPECT_EQ(bench.controls.PositionsOf(kBarStep), BurnStepBar());
}

TEST(Burn, SampledChecksReadOneGroupIn128) {
  Bench bench;
  const auto image = SampleImage();
  bench.FindCamera();
  ASSERT_EQ(BurnImage(bench.context, bench.controls, Bytes(image)).result, 1);

  std::vector<std::uint32_t> reads;
  for (const auto& r : bench.DialogWindowSets()) {
    if (IsWindowRead(r)) reads.push_back(WindowAddress(r));
  }
  std::vector<std::uint32_t> expected;
  for (int pass = 0; pass < 2; ++pass) {
    for (std::uint32_t a = 0; a <= 129024; a += 1024) expected.push_back(a);
  }
  EXPECT_EQ(reads, expected);
}

TEST(Burn, UpperBankGroupsAreWrittenWhenTheFirstUpperGroupIsBlank) {
  Bench bench;
  auto image = SampleImage();
  std::fill(image.begin() + 0x10000, image.begin() + 0x10008, std::uint8_t{0xFF});
  std::fill(image.begin() + 0x10008, image.begin() + 0x10010, std::uint8_t{0x11});
  bench.FindCamera();
  ASSERT_EQ(BurnImage(bench.context, bench.controls, Bytes(image)).result, 1);
  EXPECT_TRUE(std::equal(bench.Flash().begin() + 0x10000, bench.Flash().end() - 8, image.begin() + 0x10000));
}

struct FailureCase {
  const char* name;
  std::function<void(simcam::SimConfig&)> configure = [](simcam::SimConfig&) {};
  std::function<void(std::vector<std::uint8_t>&)> shapeImage = [](std::vector<std::uint8_t>&) {};
  // Called on every recorded event, to change the camera at a chosen step.
  std::function<void(Bench&, const Event&)> during = [](Bench&, const Event&) {};
  std::vector<std::string> messages;
  int result = 0;
};

// A flash that holds an older firmware whose pin configuration drives no pin, on a board that holds the
// write-protect input low when undriven: the status register's protection cannot be cleared.
void LockedStatusRegister(simcam::SimConfig& config) {
  config.flash.status = 0x9C;  // status write disabled, every block protected
  config.controller.undrivenPinLow = true;
}

// A group that did not take its bytes: once the programming is done, one byte at `address` is changed.
void SpoilAfterProgramming(Bench& bench, const Event& event, std::uint32_t address) {
  if (event == Event::Position(kBarTotal, 6)) bench.Flash()[address] ^= 0xFF;
}

std::vector<FailureCase> FailureCases() {
  return {
      {.name = "NoImage",
       .shapeImage = [](auto& image) { std::fill(image.begin(), image.end(), std::uint8_t{0xFF}); },
       .messages = {"No Source File!"}},
      {.name = "OnlyFirstSignatureByte",
       .shapeImage = [](auto& image) { image[1] = 'X'; },
       .messages = {"It isn't Zidiz Rom File!"}},
      {.name = "FirstThreeSignatureBytes",
       .shapeImage = [](auto& image) { image[3] = 'X'; },
       .messages = {"It isn't Zidiz Rom File!"}},
      {.name = "DeviceInformationRefused",
       .configure = [](auto& config) { config.faults.failSelector = simcam::kSelectorDeviceInfo; },
       .messages = {"Disable Flash Write Protect Failed!"}},
      {.name = "StatusWriteRefused",
       .configure = LockedStatusRegister,
       .messages = {"Check Flash Erase Failed!"}},
      {.name = "EraseIgnored",
       .configure = [](auto& config) { config.faults.flashIgnoresErase = true; },
       .messages = {"Check Flash Erase Failed!"}},
      {.name = "SmallFlashWithUpperHalf",
       .configure = [](auto& config) { config.flash.part = "ef3010"; },
       .shapeImage = [](auto& image) { std::fill(image.begin() + 0x10000, image.begin() + 0x10008, std::uint8_t{0}); },
       .messages = {"The Flash size is less than 128K, please confirm!"}},
      {.name = "FirstDifferenceAt1024",
       .during = [](Bench& bench, const Event& event) { SpoilAfterProgramming(bench, event, 1024); },
       .messages = {"Check Data Failed!"}},
      {.name = "WriteFails",
       .during =
           [](Bench& bench, const Event& event) {
             // The third write of the programming is refused.
             if (event == Event::Position(kBarTotal, 3)) bench.sim.Faults().failRequest = bench.sim.RequestCount() + 3;
           },
       .messages = {"Check Data Failed!"}},
      {.name = "EveryReadFails",
       .configure = [](auto& config) { config.faults.failSelector = simcam::kSelectorWindow; },
       .messages = {"Check Flash Erase Failed!"}},
      {.name = "EnableWriteProtectFails",
       .during =
           [](Bench& bench, const Event& event) {
             if (event == Event::Position(kBarTotal, 8)) bench.sim.Faults().failSelector = simcam::kSelectorDeviceInfo;
           },
       .messages = {"Enable Flash Write Protect Failed!"},
       .result = 1},
  };
}

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class BurnFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(BurnFailure, ShowsItsMessageAndResult) {
  const FailureCase& c = GetParam();
  simcam::SimConfig config;
  c.configure(config);
  Bench bench(config);
  // An older firmware in the flash, so that an erase that did not happen shows.
  rom::SampleImageParams older;
  older.seed = 99;
  older.pinConfig = 0x00;
  const auto previous = SampleImage(older);
  std::copy_n(previous.begin(), bench.Flash().size(), bench.Flash().begin());
  auto image = SampleImage();
  c.shapeImage(image);
  bench.FindCamera();
  bench.controls.onEvent = [&](const Event& event) { c.during(bench, event); };

  const BurnReport report = BurnImage(bench.context, bench.controls, Bytes(image));

  EXPECT_EQ(report.result, c.result);
  EXPECT_EQ(bench.controls.Messages(), c.messages);
  EXPECT_EQ(bench.context.link.HighBankFlag, 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, BurnFailure, ::testing::ValuesIn(FailureCases()),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(Burn, RefusedImageTouchesNoHardware) {
  Bench bench;
  std::vector<std::uint8_t> image(kFlashSize, 0xFF);
  bench.FindCamera();
  EXPECT_EQ(BurnImage(bench.context, bench.controls, Bytes(image)).result, 0);
  EXPECT_TRUE(bench.sim.Requests().empty());
  EXPECT_EQ(bench.controls.Events(), std::vector<Event>{Event::Box("No Source File!")});
}

TEST(Burn, RefusedWriteStopsTheProgrammingThere) {
  Bench bench;
  const auto image = SampleImage();
  const auto groups = NonBlankGroups(image);
  bench.FindCamera();
  bench.controls.onEvent = [&](const Event& event) {
    if (event == Event::Position(kBarTotal, 3)) bench.sim.Faults().failRequest = bench.sim.RequestCount() + 3;
  };
  const BurnReport report = BurnImage(bench.context, bench.controls, Bytes(image));
  ASSERT_EQ(report.failedAddress, groups[2]);
  std::vector<std::uint32_t> written;
  for (const auto& r : bench.DialogWindowSets()) {
    if (!IsWindowRead(r)) written.push_back(WindowAddress(r));
  }
  EXPECT_EQ(written, std::vector<std::uint32_t>(groups.begin(), groups.begin() + 3));
}

TEST(Burn, DifferenceOutsideTheSampledGroupsGoesUnnoticedUnlessFullyVerified) {
  const auto image = SampleImage();
  // 0x10408 lies in a group the sampled verification does not read.
  for (const bool full : {false, true}) {
    Bench bench;
    bench.FindCamera();
    bench.controls.onEvent = [&](const Event& event) { SpoilAfterProgramming(bench, event, 0x10408); };
    const BurnReport report = BurnImage(bench.context, bench.controls, Bytes(image), {.fullVerify = full});
    if (!full) {
      EXPECT_EQ(report.result, 1);
      EXPECT_EQ(bench.controls.Messages(), std::vector<std::string>{});
    } else {
      EXPECT_EQ(report.result, 0);
      EXPECT_EQ(report.failedAddress, 0x10408u);
      EXPECT_EQ(bench.controls.Messages(), std::vector<std::string>{"Check Data Failed at 0x10408!"});
      EXPECT_FALSE(bench.context.backend.ReadHighBank);
    }
    EXPECT_EQ(bench.context.link.HighBankFlag, 0u);
  }
}

TEST(Burn, FullVerificationFindsTheFirstDifferenceWithSingleBytePieces) {
  // A controller that answers no block reads and whose register 0x3C5 holds 3 takes window reads one
  // byte at a time.
  simcam::SimConfig config;
  config.controller.blockRead = false;
  config.controller.register3C5 = 3;
  Bench bench(config);
  const auto image = SampleImage();
  bench.FindCamera();
  bench.controls.onEvent = [&](const Event& event) {
    SpoilAfterProgramming(bench, event, 0x1FFF7);
    SpoilAfterProgramming(bench, event, 0x1FFF8);  // never programmed, never compared
  };
  const BurnReport report = BurnImage(bench.context, bench.controls, Bytes(image), {.fullVerify = true});
  ASSERT_EQ(bench.context.backend.ChunkSize, 1u);
  EXPECT_EQ(report.failedAddress, 0x1FFF7u);
  EXPECT_EQ(bench.controls.Messages(), std::vector<std::string>{"Check Data Failed at 0x1FFF7!"});
}

TEST(Burn, FullVerificationStreamsEveryGroupThroughTheBackEnd) {
  Bench bench;
  const auto image = SampleImage();
  bench.FindCamera();
  std::uint64_t verifiedAt = 0;
  bench.controls.onEvent = [&](const Event& event) {
    if (event == Event::Position(kBarTotal, 6)) bench.sim.ClearLogs();  // programming done
    if (event == Event::Position(kBarTotal, 8)) verifiedAt = bench.sim.RequestCount();
  };
  const BurnReport report = BurnImage(bench.context, bench.controls, Bytes(image), {.fullVerify = true});
  ASSERT_EQ(report.result, 1);
  EXPECT_EQ(bench.controls.Messages(), std::vector<std::string>{});
  EXPECT_FALSE(bench.context.backend.ReadHighBank);

  // After the sampled verification (127 sets and gets of 11 bytes), runs of 12-byte window reads: one
  // read request per 8 KiB and one fetch per group, the high bank from 0x10000 on, up to 0x1FFF0.
  std::uint32_t next = 0;
  std::size_t fetches = 0;
  for (const auto& r : bench.sim.Requests()) {
    if (r.number > verifiedAt || r.id != simcam::kSelectorWindow || r.sent.size() != 12) continue;
    if (r.flags == Bench::kGet) {
      ++fetches;
      continue;
    }
    ASSERT_EQ(fetches % 1024, 0u) << "a run of 1024 fetches before each read request";
    EXPECT_EQ(WindowAddress(r) & 0xFFFF, next & 0xFFFF);
    EXPECT_EQ(r.sent[2], next < 0x10000 ? 0x88 : 0x98);
    next += 0x2000;
  }
  EXPECT_EQ(next, 0x20000u);
  EXPECT_EQ(fetches, 0x1FFF8u / 8);
}

}  // namespace
}  // namespace torvane::operations::testing
